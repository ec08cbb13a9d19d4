// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QStatusBar>

#include "app/frm_lumora.h"
#include "pages/page_host.h"

// The window as its parts see it.
class WindowPageHost : public PageHost {
public:
    explicit WindowPageHost(TfrmLumora *window) : w(window) {}

    QWidget *window() const override { return w; }
    QWidget *page(const QString &name) const override { return w->page(name); }
    QAction *action(const QString &name) const override { return w->action(name); }
    QWidget *currentPage() const override { return w->pc ? w->pc->currentWidget() : nullptr; }
    void selectPage(QWidget *sheet) override { w->SelectPage(sheet); }
    void addLog(const QString &text) override { w->AddLog(text); }
    void setStatusPanel(int panel, const QString &text) override
    {
        if (panel >= 0 && panel < 3 && w->sbPanel[panel])
            w->sbPanel[panel]->setText(text);
    }
    bool isConnected() const override { return w->IsConnected(); }
    bool confirmYesNo(const QString &text, const QString &caption) override { return w->ConfirmYesNo(text, caption); }
    void enablingChanged() override { w->UpdateEnabling(false); }
    ScheduleEdit &scheduleEdit() override { return w->Edit; }

private:
    TfrmLumora *w;
};
