// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

#include <memory>

#include "pages/enable_rules.h"
#include "pages/page.h"

class PageHost;
class SettingsPair;

// The Configuration page: time-lapse factor with "Realtime", display backlight levels
// (bright, dim, night) and fan speeds (fast, slow, off). The window keeps its device status
// line at the bottom of the page.
class ConfigPage : public QObject, public Page {
    Q_OBJECT
public:
    ConfigPage(PageHost &host, DeviceModel &model);
    ~ConfigPage() override;

    QList<QWidget *> sheets() const override { return {m_sheet}; }
    // The fan-off level is meaningless while the water-temperature sensor runs the fan.
    void applyEnabling(const EnableState &state) override;

    // "Realtime": time-lapse factor 1, shown in both controls, sent with Config.
    void btnRealtimeClick();

protected:
    // Controls of the Config fields (time lapse, bright, dim, fast, slow).
    void showConfig() override;
    // Controls of the Expert fields (night, fan off).
    void showExpert() override;

private:
    PageHost &w;
    QWidget *m_sheet;
    std::unique_ptr<SettingsPair> m_timeLapse;
    std::unique_ptr<SettingsPair> m_lcdMax, m_lcdMin, m_lcdNight;
    std::unique_ptr<SettingsPair> m_fanHigh, m_fanLow, m_fanOff;
    EnableRules m_rules{
        {"trbTimeLapse", Enable::Connected}, {"btnRealtime", Enable::Connected}, {"edtTimeLapse", Enable::Connected},
        {"edtLCDBLMax", Enable::Connected}, {"edtLCDBLMin", Enable::Connected}, {"edtLCDBLNight", Enable::Connected},
        {"trbLCDBLMax", Enable::Connected}, {"trbLCDBLMin", Enable::Connected}, {"trbLCDBLNight", Enable::Connected},
        {"edtFanHigh", Enable::Connected}, {"edtFanLow", Enable::Connected},
        {"trbFanHigh", Enable::Connected}, {"trbFanLow", Enable::Connected},
        {"edtFanOff", Enable::FanOff}, {"trbFanOff", Enable::FanOff},
    };
};
