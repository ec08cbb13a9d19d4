#include "pages/modes.h"

#include <QAction>
#include <QPushButton>

#include "app/frm_lumora.h"
#include "app/localization.h"
#include "link/device_image.h"
#include "pages/channels_page.h"
#include "pages/mode_text.h"

namespace {
const char *const ModeItems[] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
}

ModeCommands::ModeCommands(TfrmLumora *window) : QObject(window), w(window)
{
    for (int mode = 0; mode < 5; ++mode)
        connect(w->action(QString::fromLatin1(ModeItems[mode])), &QAction::triggered, this,
                [this, mode] { modeItemClick(mode); });
    auto on = [this](const char *item, void (ModeCommands::*handler)()) {
        connect(w->action(QString::fromLatin1(item)), &QAction::triggered, this, handler);
    };
    on("mnuSetTimeDate", &ModeCommands::mnuSetTimeDateClick);
    on("mnuSaveEEPROM", &ModeCommands::mnuSaveEEPROMClick);
    on("mnuRefresh", &ModeCommands::mnuRefreshClick);
    on("mnuIRLearn", &ModeCommands::mnuIRLearnClick);

    QWidget *weather = w->page(QStringLiteral("tsWeather"));
    btnCloud = new QPushButton(QStringLiteral("Trigger/stop now"), weather);
    btnCloud->setObjectName(QStringLiteral("btnCloud"));
    btnStorm = new QPushButton(QStringLiteral("Trigger/stop now"), weather);
    btnStorm->setObjectName(QStringLiteral("btnStorm"));
    connect(btnCloud, &QPushButton::clicked, this, &ModeCommands::btnCloudClick);
    connect(btnStorm, &QPushButton::clicked, this, &ModeCommands::btnStormClick);
}

void ModeCommands::SetMode(int mode)
{
    if (Config.Mode == mode)
        return;
    Config.Mode = uint8_t(mode);
    if (!isRequestPending(GetSchedule))
        w->FillScheduleGrid();
}

void ModeCommands::modeItemClick(int mode)
{
    SetMode(mode);
    QWidget *gl = w->page(QStringLiteral("tsChannelsGL"));
    switch (mode) {
    case ModeAuto: w->SelectPage(w->page(QStringLiteral("tsSchedule"))); break;
    case ModeGeo: w->SelectPage(w->page(QStringLiteral("tsGeo"))); break;
    case ModeRGBDemo: w->SelectPage(gl); break;
    default:
        if (w->pc->currentWidget() != gl)
            w->SelectPage(w->page(QStringLiteral("tsChannels")));
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
    w->SelectPage(w->page(QStringLiteral("tsGeo")));
    w->btnNowClick();
}

void ModeCommands::mnuSaveEEPROMClick() { raiseRequest(SaveEEPROM); }

void ModeCommands::mnuRefreshClick() { raiseRequest(Refresh); }

void ModeCommands::mnuIRLearnClick()
{
    const QString text = TranslateFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Aqualumora")});
    if (!w->ConfirmYesNo(text, Translate(QStringLiteral("IRLearnDlgCaption"))))
        return;
    ToggleIrPairing(Expert);
    raiseRequest(SetExpert);
}

void ModeCommands::btnCloudClick() { raiseRequest(ToggleCloud); }

void ModeCommands::btnStormClick() { raiseRequest(ToggleStorm); }

void ModeCommands::showConfig()
{
    const bool manual = Config.Mode == ModeManual && w->IsConnected();
    if (w->channels)
        w->channels->enableForMode(manual);
    const bool weather = Config.Mode == ModeAuto || Config.Mode == ModeGeo;
    btnCloud->setEnabled(weather && w->IsConnected());
    btnStorm->setEnabled(btnCloud->isEnabled());
    if (!ModeKey(Config.Mode).isEmpty())
        m_modeName = Translate(ModeKey(Config.Mode));
    w->sbPanel[2]->setText(ModeStatusText(Config, Info, m_modeName));
}
