// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/download_gate.h"

#include "link/device_image.h"

void DownloadGate::reset()
{
    m_connected = false;
    m_port.clear();
    m_filled = 0;
    m_scheduleLines = 0;
}

void DownloadGate::connected(const QString &port)
{
    reset();
    m_connected = true;
    m_port = port;
}

void DownloadGate::recordRead(Record record, bool copied)
{
    if (m_connected && copied)
        m_filled |= record;
}

void DownloadGate::scheduleRead(bool complete, std::size_t lines)
{
    // Read before this connection's Info (its copy was dropped for a pending write), the
    // schedule had the length of an earlier one; complete() holds it against the length
    // this connection's Info gives.
    if (!m_connected || !complete)
        return;
    m_filled |= Schedule;
    m_scheduleLines = lines;
}

bool DownloadGate::complete(std::size_t lineCount) const
{
    constexpr unsigned All = Info | Config | Expert | ExpertWeather | Schedule;
    return m_connected && (m_filled & All) == All && m_scheduleLines == lineCount;
}

std::optional<DownloadGate::Record> DownloadGate::recordOfRead(uint32_t readBit)
{
    switch (readBit) {
    case GetInfo: return Info;
    case GetConfig: return Config;
    case GetExpert: return Expert;
    case GetExpertWeather: return ExpertWeather;
    default: return std::nullopt;
    }
}
