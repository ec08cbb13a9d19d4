// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

#include <memory>

#include "pages/enable_rules.h"
#include "pages/page.h"

class PageHost;
class QLabel;
class QPushButton;
class SettingsPair;

// The Weather page: clouds and thunderstorms as an average count and duration (the
// controller's start and end probabilities per tick behind them), their remaining
// brightness and dimming speed, the lightning frequency, the share of time with an event
// and the buttons that trigger or stop an event now.
class WeatherPage : public QObject, public Page {
    Q_OBJECT
public:
    WeatherPage(PageHost &host, DeviceModel &model);
    ~WeatherPage() override;

    QList<QWidget *> sheets() const override { return {m_sheet}; }
    void applyEnabling(const EnableState &state) override;

    // lblCloudRatio and lblStormRatio; in Auto and Geo they also say when an event is active.
    void showRatios();

    QPushButton *btnCloud = nullptr;
    QPushButton *btnStorm = nullptr;

protected:
    // Count and duration pairs from Config, then the ratio texts.
    void showConfig() override;
    // Brightness, speed and lightning pairs from ExpertWeather.
    void showExpertWeather() override;
    // The "currently active" texts.
    void showInfo() override { showRatios(); }

private:
    // Both fields of an event come from the two slider positions together.
    void storeClouds(ConfigRecord &c) const;
    void storeStorms(ConfigRecord &c) const;

    PageHost &w;
    QWidget *m_sheet;
    QLabel *m_cloudRatio = nullptr;
    QLabel *m_stormRatio = nullptr;
    std::unique_ptr<SettingsPair> m_cloudCount, m_cloudSeconds, m_cloudAlpha, m_cloudStep;
    std::unique_ptr<SettingsPair> m_stormCount, m_stormMinutes, m_stormAlpha, m_stormStep;
    std::unique_ptr<SettingsPair> m_lightning;
    EnableRules m_rules{
        {"trbCloudCount", Enable::Connected}, {"edtCloudCount", Enable::Connected},
        {"trbCloudSeconds", Enable::Connected}, {"edtCloudSeconds", Enable::Connected},
        {"trbStormCount", Enable::Connected}, {"edtStormCount", Enable::Connected},
        {"trbStormMinutes", Enable::Connected}, {"edtStormMinutes", Enable::Connected},
        {"lblCloudRatio", Enable::Connected}, {"lblStormRatio", Enable::Connected},
        {"edtCloudAlpha", Enable::Connected}, {"trbCloudAlpha", Enable::Connected},
        {"edtStormAlpha", Enable::Connected}, {"trbStormAlpha", Enable::Connected},
        {"edtCloudStep", Enable::Connected}, {"trbCloudStep", Enable::Connected},
        {"edtStormStep", Enable::Connected}, {"trbStormStep", Enable::Connected},
        {"edtLightningP", Enable::Connected}, {"trbLightningP", Enable::Connected},
        {"btnCloud", Enable::WeatherTrigger}, {"btnStorm", Enable::WeatherTrigger},
    };
};
