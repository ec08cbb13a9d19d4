// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_recorder.h"

#include <chrono>

#include <QDateTime>
#include <QRegularExpression>

HistoryReading HistoryReadingFrom(const InfoRecord &info, uint8_t mode)
{
    HistoryReading r;
    r.water = info.WaterTemp;
    r.slave = info.SlaveTemp;
    r.voltage = info.InputVoltage;
    r.errorFlags = info.ErrorFlags;
    r.mode = mode;
    for (int i = 0; i < ChannelCount; ++i)
        r.levels[size_t(i)] = info.Level[i];
    return r;
}

QString HistoryControllerKey(const QString &portEntry)
{
    const QString entry = portEntry.trimmed();
    QString key = entry.section(u' ', 0, 0);
    static const QRegularExpression address(QStringLiteral("\\b[0-9A-Fa-f]{2}(?::[0-9A-Fa-f]{2}){5}\\b"));
    const QRegularExpressionMatch m = address.match(entry);
    if (m.hasMatch()) {
        const QString found = m.captured(0).toUpper();
        if (key.compare(found, Qt::CaseInsensitive) == 0)
            key = found;
        else
            key += u' ' + found;
    }
    return key;
}

// ---------------------------------------------------------------------------

void MinuteAggregator::reset()
{
    m_count = 0;
    for (int i = 0; i < 3; ++i) {
        m_sum[i] = 0;
        m_n[i] = 0;
    }
    m_last = HistoryRow{};
}

bool MinuteAggregator::add(qint64 minute, const HistoryReading &reading, HistoryRow &finished)
{
    bool done = false;
    // A reading from an earlier minute (the clock was set back) also closes the running one.
    if (m_count > 0 && minute != m_minute)
        done = take(finished);
    if (m_count == 0) {
        m_minute = minute;
        m_last.errorFlags = 0;
    }
    ++m_count;
    const int16_t values[3] = {reading.water, reading.slave, reading.voltage};
    for (int i = 0; i < 3; ++i) {
        if (values[i] != NoValue16) {
            m_sum[i] += values[i];
            ++m_n[i];
        }
    }
    m_last.errorFlags |= reading.errorFlags;
    m_last.mode = reading.mode;
    m_last.levels = reading.levels;
    return done;
}

bool MinuteAggregator::take(HistoryRow &row)
{
    if (m_count == 0)
        return false;
    row = m_last;
    row.minute = m_minute;
    row.water = HistoryMean(m_sum[0], m_n[0]);
    row.slave = HistoryMean(m_sum[1], m_n[1]);
    row.voltage = HistoryMean(m_sum[2], m_n[2]);
    reset();
    return true;
}

// ---------------------------------------------------------------------------

HistoryRecorder::HistoryRecorder(const QString &path, EventSink events, Clock clock)
    : m_path(path), m_events(std::move(events)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    m_thread = std::thread([this] { run(); });
}

HistoryRecorder::~HistoryRecorder()
{
    {
        std::lock_guard guard(m_lock);
        HistoryRow row;
        if (m_minute.take(row))
            queueLocked(m_minuteController, row);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QString HistoryRecorder::lastController() const
{
    std::lock_guard guard(m_lock);
    return m_lastController;
}

void HistoryRecorder::queueLocked(const QString &controller, const HistoryRow &row)
{
    if (m_unavailable.load())
        return;
    m_queue.push_back({controller, row});
    ++m_queued;
}

void HistoryRecorder::record(const QString &controller, const HistoryReading &reading)
{
    record(controller, reading, m_clock());
}

void HistoryRecorder::record(const QString &controller, const HistoryReading &reading, qint64 msSinceEpoch)
{
    const qint64 minute = msSinceEpoch >= 0 ? msSinceEpoch / 60000 : (msSinceEpoch - 59999) / 60000;
    bool wake = false;
    {
        std::lock_guard guard(m_lock);
        HistoryRow row;
        if (controller != m_minuteController && m_minute.take(row)) {
            queueLocked(m_minuteController, row);
            wake = true;
        }
        m_minuteController = controller;
        m_lastController = controller;
        if (m_minute.add(minute, reading, row)) {
            queueLocked(controller, row);
            wake = true;
        }
    }
    if (wake)
        m_wake.notify_one();
}

void HistoryRecorder::finishMinute()
{
    {
        std::lock_guard guard(m_lock);
        HistoryRow row;
        if (!m_minute.take(row))
            return;
        queueLocked(m_minuteController, row);
    }
    m_wake.notify_one();
}

void HistoryRecorder::flush()
{
    std::unique_lock guard(m_lock);
    HistoryRow row;
    const qint64 target = m_queued;
    m_wake.notify_one();
    m_done.wait(guard, [&] { return m_handled >= target || m_unavailable.load(); });
}

void HistoryRecorder::run()
{
    HistoryStore store;
    HistoryStore::OpenResult opened = store.openForWriting(m_path);
    // Another program (a second service) may be setting the file up at this moment; that
    // takes it for a moment only.
    for (int attempt = 0; attempt < 20 && opened == HistoryStore::OpenResult::Failed
                          && store.errorText().contains(QLatin1String("locked")); ++attempt) {
        {
            std::unique_lock guard(m_lock);
            if (m_wake.wait_for(guard, std::chrono::milliseconds(250), [this] { return m_stop; }))
                break;
        }
        opened = store.openForWriting(m_path);
    }
    if (opened == HistoryStore::OpenResult::Failed) {
        {
            std::lock_guard guard(m_lock);
            m_unavailable = true;
            m_queue.clear();
        }
        m_done.notify_all();
        if (m_events)
            m_events(Event::Unavailable, store.errorText());
        return;
    }
    if (m_events)
        m_events(opened == HistoryStore::OpenResult::MovedAside ? Event::MovedAside : Event::Opened, store.movedTo());
    m_ready = true;

    bool failing = false;
    std::unique_lock guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty() && m_stop)
            break;
        std::vector<Pending> batch;
        batch.swap(m_queue);
        guard.unlock();

        // One transaction per controller run of the batch.
        std::size_t written = 0;
        for (std::size_t begin = 0; begin < batch.size();) {
            std::size_t end = begin;
            std::vector<HistoryRow> rows;
            while (end < batch.size() && batch[end].controller == batch[begin].controller)
                rows.push_back(batch[end++].row);
            if (store.write(batch[begin].controller, rows)) {
                written += rows.size();
                m_lastMinute = rows.back().minute;
                failing = false;
            } else if (!failing) {
                failing = true;
                if (m_events)
                    m_events(Event::WriteFailed, store.errorText());
            }
            begin = end;
        }
        m_written += qint64(written);
        if (written && m_events)
            m_events(Event::Written, QString());

        guard.lock();
        m_handled += qint64(batch.size());
        m_done.notify_all();
    }
}
