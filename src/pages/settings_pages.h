#pragma once
#include <QObject>

class ChannelSettingsPages;
class ConfigPage;
class ExpertPage;
class TfrmLumora;
class WeatherPage;

// The settings pages together (Configuration, Weather, Delays, Moon, White balance, Expert
// options, JMP pin, 433 MHz), with the refresh steps the window runs for them.
class SettingsPages : public QObject {
    Q_OBJECT
public:
    explicit SettingsPages(TfrmLumora *window);

    // Part of ShowInfo: sensor-dependent enabling, the "currently active" weather texts.
    void showInfo();
    // Part of ShowConfig: configuration controls, format buttons, ratio texts.
    void showConfig();
    // After every read of Expert (and a configuration import).
    void showExpert();
    // After every read of ExpertWeather. The first complete download ends here: the window
    // leaves the message log for the page of the current mode, and the port is remembered.
    void showExpertWeather();

    void btnRealtimeClick();

    ConfigPage *config = nullptr;
    WeatherPage *weather = nullptr;
    ChannelSettingsPages *channels = nullptr;
    ExpertPage *expert = nullptr;

private:
    TfrmLumora *w;
};
