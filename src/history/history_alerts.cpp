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

void AlertMonitor::setRange(const AlertRange &range)
{
    m_range = range;
    if (m_range.low > m_range.high)
        std::swap(m_range.low, m_range.high);
    // A new range judges the water afresh; an episode under the old one is not carried over.
    m_temperature = 0;
}

void AlertMonitor::reset()
{
    m_temperature = 0;
    m_flags = 0;
}

std::vector<AlertEvent> AlertMonitor::update(const InfoRecord &info, bool fahrenheit)
{
    std::vector<AlertEvent> events;
    const auto text = [fahrenheit](int tenths) { return ChartValueText(tenths, ChartWaterTemp, fahrenheit); };

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
    if (!m_range.enabled || water == NoValue16)
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
    if (state != m_temperature) {
        if (m_temperature != 0)
            events.push_back({false, QStringLiteral("AlertWaterBack"), {text(water), text(m_range.low), text(m_range.high)}});
        if (state != 0)
            events.push_back({true, state > 0 ? QStringLiteral("AlertWaterHigh") : QStringLiteral("AlertWaterLow"),
                              {text(water), text(state > 0 ? m_range.high : m_range.low)}});
        m_temperature = state;
    }
    return events;
}
