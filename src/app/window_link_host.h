#pragma once
#include "app/frm_lumora.h"
#include "link/device_image.h"
#include "link/link_host.h"
#include "app/history_feature.h"

// The link thread's view of the window. Every call runs on the UI thread, in the order the
// link thread handed it in; the refreshes after a copy-in run right after it, before anything
// handed in later, so they see the request word as the copy-in left it. Destroying the host
// releases a waiting link thread for good.
class WindowLinkHost : public LinkHost {
public:
    explicit WindowLinkHost(TfrmLumora *window) : w(window) {}
    ~WindowLinkHost() override { detachLink(); }

    void addLog(const QString &text) override { w->AddLog(text); }
    void setStatusText(const QString &text) override { w->SetStatusText(text); }
    void setConnected(bool connected) override { w->SetConnected(connected); }
    // A read record is dropped while a write of it is pending (the bit is still raised
    // during this hand-over); only a copied one counts for the download.
    void showInfo() override
    {
        const bool copied = !isRequestPending(SetInfoAny);
        w->Download.recordRead(DownloadGate::Info, copied);
        w->DownloadStep(DownloadProgress::Info);
        w->ShowInfo();
        if (copied)
            RecordHistory(w);
    }
    void showConfig() override
    {
        w->Download.recordRead(DownloadGate::Config, !isRequestPending(SetConfig));
        w->DownloadStep(DownloadProgress::Config);
        w->ShowConfig();
    }
    void showExpert() override
    {
        w->Download.recordRead(DownloadGate::Expert, !isRequestPending(SetExpert));
        w->DownloadStep(DownloadProgress::Expert);
        w->ShowExpert();
    }
    void showExpertWeather() override
    {
        w->Download.recordRead(DownloadGate::ExpertWeather, !isRequestPending(SetExpertWeather));
        w->ShowExpertWeather();
        w->DownloadStep(DownloadProgress::ExpertWeather);
    }
    void scheduleDownloaded(bool complete) override
    {
        w->Download.scheduleRead(complete, Schedule.size());
        w->SetTaskbarProgress(1, 1);   // also when the download broke off
    }
    void fillScheduleGrid() override { w->FillScheduleGrid(); }
    void scheduleLineRead(int done, int count) override { w->ScheduleLineRead(done, count); }
    void recordSent(uint32_t bit) override { w->RecordSent(bit); }
    void settingsSaved() override { w->SettingsSaved(); }
    void drawSensorChart() override
    {
        w->DrawSensorChart();
        w->DownloadStep(DownloadProgress::Chart);
    }
    void setTaskbarProgress(qint64 done, qint64 total) override { w->SetTaskbarProgress(done, total); }
    QString chooseFirmwareFile() override { return w->ChooseFirmwareFile(); }

private:
    TfrmLumora *w;
};

