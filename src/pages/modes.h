#pragma once
#include <QObject>

class TfrmLumora;
class QPushButton;

// The Options menu's mode items and one-shot device commands, the cloud and storm
// triggers, and the mode display of ShowConfig.
class ModeCommands : public QObject {
    Q_OBJECT
public:
    explicit ModeCommands(TfrmLumora *window);

    // Config.Mode := mode; a real change refills the schedule grid (its layout depends on
    // the mode) unless a schedule download is pending.
    void SetMode(int mode);

    void modeItemClick(int mode);
    void mnuSetTimeDateClick();
    void mnuSaveEEPROMClick();
    void mnuRefreshClick();
    void mnuIRLearnClick();
    void btnCloudClick();
    void btnStormClick();

    // ShowConfig steps for the mode: level controls, trigger buttons, status panel 2.
    void showConfig();

    // The two trigger buttons; the Weather page places them in its layout.
    QPushButton *btnCloud = nullptr;
    QPushButton *btnStorm = nullptr;

private:
    TfrmLumora *w;
    QString m_modeName;   // the last valid mode's name
};
