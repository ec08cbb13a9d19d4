// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/modes.h"

#include <QAction>
#include <QPushButton>
#include <QWidget>

#include "presentation/localization.h"
#include "link/device_model.h"
#include "presentation/mode_text.h"
#include "pages/page_host.h"

namespace {
const char *const ModeItems[] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
}

ModeCommands::ModeCommands(PageHost &host, DeviceModel &model) : QObject(host.window()), Page(model), w(host)
{
    for (int mode = 0; mode < 5; ++mode)
        connect(w.action(QString::fromLatin1(ModeItems[mode])), &QAction::triggered, this,
                [this, mode] { modeItemClick(mode); });
    auto on = [this](const char *item, void (ModeCommands::*handler)()) {
        connect(w.action(QString::fromLatin1(item)), &QAction::triggered, this, handler);
    };
    on("mnuSetTimeDate", &ModeCommands::mnuSetTimeDateClick);
    on("mnuSaveEEPROM", &ModeCommands::mnuSaveEEPROMClick);
    on("mnuRefresh", &ModeCommands::mnuRefreshClick);
    on("mnuIRLearn", &ModeCommands::mnuIRLearnClick);

}

void ModeCommands::modeItemClick(int mode)
{
    // Switched (and sent) before the page changes, so the page shows the new mode.
    model().switchMode(mode);
    QWidget *gl = w.page(QStringLiteral("tsChannelsGL"));
    switch (mode) {
    case ModeAuto: w.selectPage(w.page(QStringLiteral("tsSchedule"))); break;
    case ModeGeo: w.selectPage(w.page(QStringLiteral("tsGeo"))); break;
    case ModeRGBDemo: w.selectPage(gl); break;
    default:
        if (w.currentPage() != gl)
            w.selectPage(w.page(QStringLiteral("tsChannels")));
        break;
    }
}

void ModeCommands::mnuSetTimeDateClick()
{
    // "Set time and date" is the Geo page's "Now", pressed from the menu.
    QWidget *geo = w.page(QStringLiteral("tsGeo"));
    w.selectPage(geo);
    if (auto *now = geo ? geo->findChild<QPushButton *>(QStringLiteral("btnNow")) : nullptr)
        now->click();
}

void ModeCommands::mnuSaveEEPROMClick() { model().request(SaveEEPROM); }

void ModeCommands::mnuRefreshClick() { model().request(Refresh); }

void ModeCommands::mnuIRLearnClick()
{
    const QString text = TranslateFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Aqualumora")});
    if (!w.confirmYesNo(text, Translate(QStringLiteral("IRLearnDlgCaption"))))
        return;
    model().editExpert([](ExpertRecord &e) { ToggleIrPairing(e); });
}

void ModeCommands::showConfig()
{
    if (!ModeKey(device().Config.Mode).isEmpty())
        m_modeName = Translate(ModeKey(device().Config.Mode));
    w.setStatusPanel(2, ModeStatusText(device().Config, device().Info, m_modeName));
}

void ModeCommands::applyEnabling(const EnableState &state) { m_rules.apply(w, {}, state); }
