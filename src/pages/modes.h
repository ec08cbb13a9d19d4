// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>

#include "pages/enable_rules.h"
#include "pages/page.h"

class PageHost;

// The Options menu's mode items and one-shot device commands, and the mode shown in
// status panel 2.
class ModeCommands : public QObject, public Page {
    Q_OBJECT
public:
    ModeCommands(PageHost &host, DeviceModel &model);

    void applyEnabling(const EnableState &state) override;

    void modeItemClick(int mode);
    void mnuSetTimeDateClick();
    void mnuSaveEEPROMClick();
    void mnuRefreshClick();
    void mnuIRLearnClick();

protected:
    // Status panel 2: the mode and the active-condition letters.
    void showConfig() override;

private:
    PageHost &w;
    QString m_modeName;   // the last valid mode's name
    EnableRules m_rules{
        {"mnuModeManual", Enable::Connected}, {"mnuModeAuto", Enable::Connected}, {"mnuModeGeo", Enable::Connected},
        {"mnuModeRGBDemo", Enable::Connected}, {"mnuModeFlash", Enable::Connected},
        {"mnuRefresh", Enable::Connected}, {"mnuSaveEEPROM", Enable::Connected},
        {"mnuIRLearn", Enable::Connected}, {"mnuSetTimeDate", Enable::Connected},
    };
};
