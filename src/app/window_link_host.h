// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "app/frm_lumora.h"
#include "link/device_model.h"
#include "link/link_host.h"

// The link thread's view of the window. Every call runs on the UI thread, in the order the
// link thread handed it in; the reports after a copy-in, and the model's change signal
// after them, run before anything handed in later, so they see the request word as the
// copy-in left it. Destroying the host releases a waiting link thread for good.
class WindowLinkHost : public LinkHost {
public:
    WindowLinkHost(TfrmLumora *window, DeviceModel &model) : LinkHost(model), w(window) {}
    ~WindowLinkHost() override { detachLink(); }

    void addLog(const QString &text) override { w->AddLog(text, lcLink()); }
    void addTrace(const QString &text) override { w->AddLog(text, lcLinkTrace(), QtDebugMsg); }
    void setStatusText(const QString &text) override { w->SetStatusText(text, lcLink()); }
    void setConnected(bool connected) override { w->SetConnected(connected); }
    void connectionChanged(quint64 link, const ConnectionState &state, const QString &statusLine) override
    {
        w->LinkStateChanged(link, state, statusLine);
    }
    // Only a copied record counts for the download; the refresh follows from the model's
    // change signal right after this.
    void recordRead(uint32_t readBit, bool copied) override
    {
        if (const std::optional<DownloadGate::Record> record = DownloadGate::recordOfRead(readBit))
            w->Download.recordRead(*record, copied);
        switch (readBit) {
        case GetInfo: w->DownloadStep(DownloadProgress::Info); break;
        case GetConfig: w->DownloadStep(DownloadProgress::Config); break;
        case GetExpert: w->DownloadStep(DownloadProgress::Expert); break;
        case GetExpertWeather:
            w->ExpertWeatherArrived();
            w->DownloadStep(DownloadProgress::ExpertWeather);
            break;
        case GetChart:
            w->DownloadStep(DownloadProgress::Chart);
            break;
        default:
            break;
        }
    }
    void scheduleDownloaded(bool complete) override
    {
        w->Download.scheduleRead(complete, w->device().Schedule.size());
        w->SetTaskbarProgress(1, 1);   // also when the download broke off
    }
    void scheduleLineRead(int done, int count) override { w->ScheduleLineRead(done, count); }
    void recordSent(uint32_t bit) override { w->RecordSent(bit); }
    void settingsSaved() override { w->SettingsSaved(); }
    void setTaskbarProgress(qint64 done, qint64 total) override { w->SetTaskbarProgress(done, total); }
    QString chooseFirmwareFile() override { return w->ChooseFirmwareFile(); }

private:
    TfrmLumora *w;
};
