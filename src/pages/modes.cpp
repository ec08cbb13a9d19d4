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

void ModeCommands::SetMode(int mode)
{
    if (device().Config.Mode == mode)
        return;
    // Sent by the caller, which knows whether the mode takes over the whole request word.
    model().editSetting(SetConfig, [mode](DeviceImage &d) { d.Config.Mode = uint8_t(mode); }, DeviceModel::Origin::Edit,
                        false);
    // The grid's columns depend on the mode.
    if (!model().scheduleDownloading())
        model().announce(RefreshSchedule);
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
        model().replaceRequests(SetConfig);
    else
        model().request(SetConfig);
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
