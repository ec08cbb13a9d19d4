// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recording the sensor history while connected. The window hands every freshly read Info
// to record(): that adds the reading to the running minute and, when a new minute begins,
// queues the finished one - a few additions under a lock held for nanoseconds. A writer
// thread of the recorder's own opens the file and writes what is queued in batches, so
// neither the link thread (waiting in its hand-over) nor the window ever waits for SQLite.

#include "history/history_store.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// What one poll brings.
struct HistoryReading {
    int16_t water = NoValue16;
    int16_t slave = NoValue16;
    int16_t voltage = NoValue16;
    uint8_t errorFlags = 0;
    uint8_t mode = 0;
    std::array<uint16_t, ChannelCount> levels{};
};
HistoryReading HistoryReadingFrom(const InfoRecord &info, uint8_t mode);

// A controller is told apart by its port entry's first word (the port name) and, where the
// entry names one, its Bluetooth address.
QString HistoryControllerKey(const QString &portEntry);

// Folds the readings of one minute into one row.
class MinuteAggregator
{
public:
    // Adds a reading; when it belongs to a later minute than the running one, the running
    // one is finished first and returned through finished (true).
    bool add(qint64 minute, const HistoryReading &reading, HistoryRow &finished);
    // The running minute as a row, and a fresh start; false when there is none.
    bool take(HistoryRow &row);
    bool empty() const { return m_count == 0; }

private:
    void reset();
    qint64 m_minute = 0;
    int m_count = 0;
    qint64 m_sum[3] = {};
    int m_n[3] = {};
    HistoryRow m_last;
};

class HistoryRecorder
{
public:
    enum class Event {
        Opened,
        MovedAside, // detail: where the old file went
        Unavailable, // detail: why; nothing is recorded from now on
        WriteFailed, // detail: why; reported once until a write succeeds again
        Written, // rows of a batch are in the file; no detail
    };
    // Called on the writer thread.
    using EventSink = std::function<void(Event, const QString &detail)>;
    using Clock = std::function<qint64()>; // milliseconds since the epoch

    explicit HistoryRecorder(const QString &path, EventSink events = {}, Clock clock = {});
    // Writes the running minute and everything queued, then stops the writer.
    ~HistoryRecorder();
    HistoryRecorder(const HistoryRecorder &) = delete;
    HistoryRecorder &operator=(const HistoryRecorder &) = delete;

    QString path() const { return m_path; }
    // Any thread; cheap. Another controller than the running minute's finishes that minute.
    void record(const QString &controller, const HistoryReading &reading);
    void record(const QString &controller, const HistoryReading &reading, qint64 msSinceEpoch);
    // Queues the running minute now (the link went down).
    void finishMinute();
    // Waits until everything queued so far is written (tests, the export).
    void flush();

    // The writer has opened the file and may be read from other connections.
    bool ready() const { return m_ready.load(); }
    bool unavailable() const { return m_unavailable.load(); }
    // Rows written so far; the last minute written (0 before any).
    qint64 rowsWritten() const { return m_written.load(); }
    qint64 lastWrittenMinute() const { return m_lastMinute.load(); }
    QString lastController() const;

private:
    struct Pending {
        QString controller;
        HistoryRow row;
    };
    void run();
    void queueLocked(const QString &controller, const HistoryRow &row);

    const QString m_path;
    EventSink m_events;
    Clock m_clock;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<Pending> m_queue;
    MinuteAggregator m_minute;
    QString m_minuteController;
    QString m_lastController;
    qint64 m_queued = 0; // rows queued in all
    qint64 m_handled = 0; // rows taken by the writer and written (or dropped)
    bool m_stop = false;

    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_unavailable{false};
    std::atomic<qint64> m_written{0};
    std::atomic<qint64> m_lastMinute{0};
    std::thread m_thread;
};
