#include "pages/modes.h"

#include <QAction>
#include <QPushButton>
#include <QWidget>

#include "presentation/localization.h"
#include "link/device_image.h"
#include "presentation/mode_text.h"
#include "pages/page_host.h"

namespace {
const char *const ModeItems[] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
}

ModeCommands::ModeCommands(PageHost &host) : QObject(host.window()), w(host)
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

void ModeCommands::SetMode(int mode)
{
    if (Config.Mode == mode)
        return;
    Config.Mode = uint8_t(mode);
    if (!isRequestPending(GetSchedule))
        w.imageChanged(RefreshSchedule);
}

void ModeCommands::modeItemClick(int mode)
{
    SetMode(mode);
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
    // RGB demo and Flash take over the lamp: whatever else was pending is dropped (the
    // schedule marks stay and go out with the next schedule write).
    if (mode == ModeRGBDemo || mode == ModeFlash)
        setRequestFlags(SetConfig);
    else
        raiseRequest(SetConfig);
}

void ModeCommands::mnuSetTimeDateClick()
{
    // "Set time and date" is the Geo page's "Now", pressed from the menu.
    QWidget *geo = w.page(QStringLiteral("tsGeo"));
    w.selectPage(geo);
    if (auto *now = geo ? geo->findChild<QPushButton *>(QStringLiteral("btnNow")) : nullptr)
        now->click();
}

void ModeCommands::mnuSaveEEPROMClick() { raiseRequest(SaveEEPROM); }

void ModeCommands::mnuRefreshClick() { raiseRequest(Refresh); }

void ModeCommands::mnuIRLearnClick()
{
    const QString text = TranslateFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Aqualumora")});
    if (!w.confirmYesNo(text, Translate(QStringLiteral("IRLearnDlgCaption"))))
        return;
    ToggleIrPairing(Expert);
    raiseRequest(SetExpert);
}

void ModeCommands::showConfig()
{
    if (!ModeKey(Config.Mode).isEmpty())
        m_modeName = Translate(ModeKey(Config.Mode));
    w.setStatusPanel(2, ModeStatusText(Config, Info, m_modeName));
}

void ModeCommands::applyEnabling(const EnableState &state) { m_rules.apply(w, {}, state); }
