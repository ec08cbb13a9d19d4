#pragma once
#include <QObject>

#include <memory>

class SettingsPair;
class TfrmLumora;

// The Configuration page: time-lapse factor with "Realtime", display backlight levels
// (bright, dim, night) and fan speeds (fast, slow, off). The device status line lblBoard,
// built by the window, stays at the bottom of the page.
class ConfigPage : public QObject {
    Q_OBJECT
public:
    explicit ConfigPage(TfrmLumora *window);
    ~ConfigPage() override;

    // Controls of the Config fields (time lapse, bright, dim, fast, slow).
    void showConfig();
    // Controls of the Expert fields (night, fan off).
    void showExpert();

    // "Realtime": time-lapse factor 1, shown in both controls, sent with Config.
    void btnRealtimeClick();

    // The fan-off level is meaningless while the water-temperature sensor runs the fan.
    void setFanOffEnabled(bool enabled);

private:
    TfrmLumora *w;
    std::unique_ptr<SettingsPair> m_timeLapse;
    std::unique_ptr<SettingsPair> m_lcdMax, m_lcdMin, m_lcdNight;
    std::unique_ptr<SettingsPair> m_fanHigh, m_fanLow, m_fanOff;
};
