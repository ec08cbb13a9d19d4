// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/download_progress.h"

#include <bit>

#include "presentation/localization.h"

void DownloadProgress::start()
{
    *this = DownloadProgress();
    m_active = true;
}

void DownloadProgress::stop() { *this = DownloadProgress(); }

void DownloadProgress::recordRead(Record record)
{
    if (!m_active)
        return;
    m_records |= record;
    m_inSchedule = false;
    if (record == ExpertWeather)
        stop();
}

void DownloadProgress::scheduleLineRead(int done, int count)
{
    if (!m_active || count <= 0)
        return;
    m_lineCount = count;
    m_linesDone = qBound(0, done, count);
    m_inSchedule = m_linesDone < m_lineCount;
}

int DownloadProgress::done() const { return std::popcount(m_records) + m_linesDone; }

int DownloadProgress::total() const { return RecordCount + m_lineCount; }

QString DownloadProgress::text() const
{
    if (m_inSchedule)
        return TranslateFmt(QStringLiteral("DownloadingScheduleLine"),
                            {QString::number(m_linesDone + 1), QString::number(m_lineCount)});
    return TranslateFmt(QStringLiteral("DownloadingStep"), {QString::number(done()), QString::number(total())});
}
