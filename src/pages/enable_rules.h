// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QPointer>

#include <initializer_list>
#include <vector>

#include "pages/page.h"

class PageHost;
class QWidget;

// When a device-dependent control is enabled.
enum class Enable {
    Connected,
    Manual,          // connected, mode Manual
    FanOff,          // connected, fan not run by the water sensor alone
    WeatherTrigger,  // connected, mode Auto or Geo
    Sensor,          // a water temperature is reported
    SensorNotLed,    // Sensor, and the fan is not guided by brightness
    Slave,           // a slave temperature is reported
};

struct EnableRule {
    const char *name;   // a trailing '#' stands for the channel number 0..11
    Enable when;
};

// A part's slice of the enabling rules. The controls are looked up once, among the part's
// sheets (the sheets themselves included) and the window's menu items.
class EnableRules {
public:
    EnableRules(std::initializer_list<EnableRule> rules) : m_rules(rules) {}

    // fanByLed: the "guided by brightness" button is checked (only the part that owns it knows).
    void apply(PageHost &host, const QList<QWidget *> &sheets, const EnableState &state, bool fanByLed = false);

private:
    struct Target {
        QPointer<QObject> object;
        Enable when;
    };
    void resolve(PageHost &host, const QList<QWidget *> &sheets);

    std::vector<EnableRule> m_rules;
    std::vector<Target> m_targets;
    bool m_resolved = false;
};
