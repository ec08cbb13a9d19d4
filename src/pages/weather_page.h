#pragma once
#include <QObject>

#include <memory>

class QLabel;
class SettingsPair;
class TfrmLumora;

// The Weather page: clouds and thunderstorms as an average count and duration (the
// controller's start and end probabilities per tick behind them), their remaining
// brightness and dimming speed, the lightning frequency, the share of time with an event
// and the trigger buttons of the mode commands.
class WeatherPage : public QObject {
    Q_OBJECT
public:
    explicit WeatherPage(TfrmLumora *window);
    ~WeatherPage() override;

    // Count and duration pairs from Config, then the ratio texts.
    void showConfig();
    // Brightness, speed and lightning pairs from ExpertWeather.
    void showExpertWeather();
    // lblCloudRatio and lblStormRatio; in Auto and Geo they also say when an event is active.
    void showRatios();

private:
    // Both fields of an event come from the two slider positions together.
    void storeClouds();
    void storeStorms();

    TfrmLumora *w;
    QLabel *m_cloudRatio = nullptr;
    QLabel *m_stormRatio = nullptr;
    std::unique_ptr<SettingsPair> m_cloudCount, m_cloudSeconds, m_cloudAlpha, m_cloudStep;
    std::unique_ptr<SettingsPair> m_stormCount, m_stormMinutes, m_stormAlpha, m_stormStep;
    std::unique_ptr<SettingsPair> m_lightning;
};
