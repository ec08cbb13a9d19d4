// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Alerts from the polled Info: the water temperature leaving a range the user set (off by
// default) and each error flag the controller raises. Every condition is an episode that is
// reported once when it begins and once when it ends, however many polls it lasts.

#include "link/records.h"

#include <QString>
#include <QStringList>

#include <vector>

struct AlertRange {
    bool enabled = false;
    int low = 240; // 0.1 degC
    int high = 280;
};

struct AlertEvent {
    bool start = true; // false: the episode ended
    QString key; // message key of the text
    QStringList args; // its %s values, in order
    uint8_t flag = 0; // the error flag, 0 for the temperature
    // The episode ended because it is no longer watched (alerts switched off): no text of
    // its own, the caller's notice says why.
    bool withdrawn = false;
};

class AlertMonitor
{
public:
    // A temperature episode ends only once the water is this far back inside the range, so
    // a reading that wavers on the border does not start a new episode with every poll.
    static constexpr int HysteresisTenths = 2;

    // A new range judges the last reading again: an episode the new range no longer covers
    // ends, one it still covers is told again with the new limit, and a reading outside the
    // new range begins one at once.
    std::vector<AlertEvent> setRange(const AlertRange &range);
    AlertRange range() const { return m_range; }
    // Another controller: every episode is forgotten without an end report.
    void reset();
    // A temperature episode is running.
    bool waterAlert() const { return m_temperature != 0; }
    // Events for one freshly read Info; temperatures in the texts follow the Fahrenheit flag.
    std::vector<AlertEvent> update(const InfoRecord &info, bool fahrenheit);

private:
    // state: -1 below, 0 inside, +1 above; the events that lead from m_temperature to it.
    void moveTo(int state, std::vector<AlertEvent> &events, bool restate);

    AlertRange m_range;
    int m_temperature = 0; // -1 below, 0 inside, +1 above
    uint8_t m_flags = 0;
    int m_water = NoValue16; // the last reading, and its unit
    bool m_fahrenheit = false;
};

// The error flags that are alerts: all that the health line shows.
inline constexpr uint8_t AlertFlagMask = 0xFF & ~0x20;
// Message key of an error flag's own text ("Overtemperature", ...).
QString ErrorFlagKey(uint8_t flag);
