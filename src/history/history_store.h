// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sensor history on disk: one SQLite file (Qt's QSQLITE driver, WAL journal) with a row
// per controller and minute, and an hourly summary kept in step with it so that a month or a
// year is read from a few thousand summary rows instead of half a million minutes.
//
// A HistoryStore is one connection and belongs to the thread that opened it (Qt SQL's rule):
// the recorder's writer thread has one, every reader (the view, the export) has its own.

#include "link/records.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

class QIODevice;

// One minute of one controller: the mean of the minute's readings (missing readings left
// out; NoValue16 when there was none), the error flags of all readings OR-ed, the mode and
// channel levels of the minute's last reading.
struct HistoryRow {
    qint64 minute = 0; // minutes since 1970-01-01 00:00 UTC
    int16_t water = NoValue16; // 0.1 degC
    int16_t slave = NoValue16; // 0.1 degC
    int16_t voltage = NoValue16; // 0.01 V
    uint8_t errorFlags = 0;
    uint8_t mode = 0;
    std::array<uint16_t, ChannelCount> levels{};
    bool operator==(const HistoryRow &) const = default;
};

// One point of a downsampled series: the minutes [minute, minute + width) that have rows.
struct HistoryBucket {
    static constexpr double None = std::numeric_limits<double>::quiet_NaN();
    qint64 minute = 0;
    int minutes = 0; // recorded minutes in the bucket
    // Mean, lowest and highest minute value of each quantity in raw units; NaN when absent.
    double water = None, waterMin = None, waterMax = None;
    double slave = None, slaveMin = None, slaveMax = None;
    double voltage = None, voltageMin = None, voltageMax = None;
    uint8_t errorFlags = 0;
};

class HistoryStore
{
public:
    enum class OpenResult {
        Opened,
        MovedAside, // the file was not a history (or damaged): moved aside, a new one begun
        Failed, // no history: folder not writable, disk error, ...
    };

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // The file the program uses: $XDG_DATA_HOME/Aqualumora/history.sqlite on Linux.
    static QString defaultPath();

    // Opens (creating the folder and file when missing) for writing. A file that is not a
    // readable history of this program is renamed to "<name>.unreadable-<date-time>" and a
    // new one started; movedTo() then names the new place of the old file.
    OpenResult openForWriting(const QString &path);
    // Opens an existing history for reading only; false when there is none (yet).
    bool openForReading(const QString &path);
    bool isOpen() const;
    void close();
    QString errorText() const { return m_error; }
    QString movedTo() const { return m_movedTo; }

    // Writes the rows of one controller in one transaction, replacing rows of the same
    // minute, and brings the hourly summary of the touched hours up to date.
    bool write(const QString &controller, const std::vector<HistoryRow> &rows);

    // Controllers that have rows, the most recently recorded first.
    QStringList controllers();
    // The recorded minutes of [fromMinute, toMinute), in order.
    std::vector<HistoryRow> rows(const QString &controller, qint64 fromMinute, qint64 toMinute);
    // Buckets of widthMinutes aligned to multiples of widthMinutes since the epoch. A width of
    // an hour or more is read from the hourly summary (and is rounded up to whole hours).
    std::vector<HistoryBucket> buckets(const QString &controller, qint64 fromMinute, qint64 toMinute,
                                       int widthMinutes);
    // First and last recorded minute, or false without rows.
    bool recordedSpan(const QString &controller, qint64 &first, qint64 &last);

private:
    bool openConnection(const QString &path);
    // bad: the file is damaged or someone else's (not merely busy or unreadable now).
    bool isHistoryFile(bool &bad);
    bool createSchema();
    qint64 controllerId(const QString &controller, bool create);
    bool exec(const QString &sql);

    QString m_connection;
    QString m_error;
    QString m_movedTo;
};

// Round-half-even mean of integer readings, as the device records round.
int16_t HistoryMean(qint64 sum, int count);

// CSV of the rows: a header line, then one line per minute with its local time in ISO 8601
// (with the UTC offset), temperatures in degC with one decimal, the voltage with two, the
// error flags and mode as integers and the levels in percent; a dot as decimal separator,
// an empty field for a missing value. Returns false when the device fails.
bool WriteHistoryCsv(QIODevice &out, const std::vector<HistoryRow> &rows);
QString HistoryCsvHeader();
QString HistoryCsvLine(const HistoryRow &row);
