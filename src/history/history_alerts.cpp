// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_alerts.h"

#include "schedule/sensor_chart.h"

#include <algorithm>

QString ErrorFlagKey(uint8_t flag)
{
    switch (flag) {
    case ErrorOvertemperature: return QStringLiteral("Overtemperature");
    case ErrorUndervoltage: return QStringLiteral("Undervoltage");
    case ErrorQuartz: return QStringLiteral("QuarzError");
    case ErrorCRC: return QStringLiteral("CRCError");
    case ErrorRAMFull: return QStringLiteral("RAMFull");
    case ErrorRTC: return QStringLiteral("RTCError");
    case ErrorPWM: return QStringLiteral("PWMError");
    default: return {};
    }
}

std::vector<AlertEvent> AlertMonitor::setRange(const AlertRange &range)
{
    const AlertRange before = m_range;
    m_range = range;
    if (m_range.low > m_range.high)
        std::swap(m_range.low, m_range.high);
    std::vector<AlertEvent> events;
    if (!m_range.enabled) {
        if (m_temperature != 0)
            events.push_back({false, QString(), {}, 0, true});
        m_temperature = 0;
        return events;
    }
    if (m_water == NoValue16)
        return events;
    // No hysteresis here: the user moved the limit past the water on purpose.
    const int state = m_water > m_range.high ? 1 : m_water < m_range.low ? -1 : 0;
    const bool limitMoved = state > 0 ? before.high != m_range.high : before.low != m_range.low;
    moveTo(state, events, limitMoved || !before.enabled);
    return events;
}

void AlertMonitor::moveTo(int state, std::vector<AlertEvent> &events, bool restate)
{
    const auto text = [this](int tenths) { return ChartValueText(tenths, ChartWaterTemp, m_fahrenheit); };
    if (state == m_temperature && !(restate && state != 0))
        return;
    if (m_temperature != 0 && state != m_temperature)
        events.push_back({false, QStringLiteral("AlertWaterBack"), {text(m_water), text(m_range.low), text(m_range.high)}});
    if (state != 0)
        events.push_back({true, state > 0 ? QStringLiteral("AlertWaterHigh") : QStringLiteral("AlertWaterLow"),
                          {text(m_water), text(state > 0 ? m_range.high : m_range.low)}});
    m_temperature = state;
}

void AlertMonitor::reset()
{
    m_temperature = 0;
    m_flags = 0;
    m_water = NoValue16;
}

std::vector<AlertEvent> AlertMonitor::update(const InfoRecord &info, bool fahrenheit)
{
    std::vector<AlertEvent> events;

    // Flags in the order the health line lists them.
    const uint8_t flags = info.ErrorFlags & AlertFlagMask;
    for (uint8_t bit : {ErrorOvertemperature, ErrorUndervoltage, ErrorQuartz, ErrorCRC, ErrorRAMFull, ErrorRTC, ErrorPWM}) {
        const bool now = flags & bit, before = m_flags & bit;
        if (now != before)
            events.push_back({now, now ? QStringLiteral("AlertErrorFlag") : QStringLiteral("AlertErrorFlagEnd"),
                              {ErrorFlagKey(bit)}, bit});
    }
    m_flags = flags;

    const int water = info.WaterTemp;
    // Without a reading the episode neither begins nor ends.
    if (water == NoValue16)
        return events;
    m_water = water;
    m_fahrenheit = fahrenheit;
    if (!m_range.enabled)
        return events;
    int state = m_temperature;
    if (water > m_range.high)
        state = 1;
    else if (water < m_range.low)
        state = -1;
    else {
        const int margin = std::min(HysteresisTenths, (m_range.high - m_range.low) / 2);
        if (water >= m_range.low + margin && water <= m_range.high - margin)
            state = 0;
    }
    moveTo(state, events, false);
    return events;
}
