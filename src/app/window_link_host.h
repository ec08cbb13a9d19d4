#pragma once
#include "app/frm_lumora.h"
#include "link/link_host.h"

// The link thread's view of the window. Every call runs on the UI thread while the link
// thread waits; destroying it releases a waiting link thread for good.
class WindowLinkHost : public LinkHost {
public:
    explicit WindowLinkHost(TfrmLumora *window) : w(window) {}
    ~WindowLinkHost() override { detachLink(); }

    void addLog(const QString &text) override { w->AddLog(text); }
    void setStatusText(const QString &text) override { w->SetStatusText(text); }
    void setConnected(bool connected) override { w->SetConnected(connected); }
    void showInfo() override { w->ShowInfo(); }
    void showConfig() override { w->ShowConfig(); }
    void showExpert() override { w->ShowExpert(); }
    void showExpertWeather() override { w->ShowExpertWeather(); }
    void fillScheduleGrid() override { w->FillScheduleGrid(); }
    void drawSensorChart() override { w->DrawSensorChart(); }
    void setTaskbarProgress(qint64 done, qint64 total) override { w->SetTaskbarProgress(done, total); }
    QString chooseFirmwareFile() override { return w->ChooseFirmwareFile(); }

private:
    TfrmLumora *w;
};

