// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

// Whether the device image holds the whole state of the controller that is connected now:
// the records that go into a backup or an export (Config, Expert, ExpertWeather and every
// schedule line, and Info for the number of lines) have each been read from this
// controller since it was identified in this connection. Until then the image is partly
// the previous controller's, or the start-up values, and must not be written to a file.
//
// Every new connection attempt and every loss of the connection starts again from
// nothing; the port the connection was made on is kept, so that the image of one port
// never passes for another's.
class DownloadGate {
public:
    enum Record { Info = 0x1, Config = 0x2, Expert = 0x4, ExpertWeather = 0x8, Schedule = 0x10 };

    // The record a read of this request bit fills (GetInfo, GetConfig, GetExpert,
    // GetExpertWeather); nothing for any other bit.
    static std::optional<Record> recordOfRead(uint32_t readBit);

    // A new connection attempt, a switch to another port, the end of a connection.
    void reset();
    // The controller on port has been identified; its download starts now.
    void connected(const QString &port);

    // A record was read from the controller. copied: it went into the image (a read is
    // dropped while a write of the same record is pending; the image then still holds
    // what it held before).
    void recordRead(Record record, bool copied);
    // The schedule download ended: complete when every line was read; lines is the number
    // of lines the image has now.
    void scheduleRead(bool complete, std::size_t lines);

    // The image is wholly this connection's controller's: every record read, and the
    // schedule read whole with the length it has now (lineCount: the image's present
    // number of lines, which this connection's Info has set).
    bool complete(std::size_t lineCount) const;
    // The port entry of the connection (empty when not connected).
    const QString &port() const { return m_port; }
    bool isConnected() const { return m_connected; }

private:
    bool m_connected = false;
    QString m_port;
    unsigned m_filled = 0;
    std::size_t m_scheduleLines = 0;
};
