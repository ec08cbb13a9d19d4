// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "link/transport.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QSerialPort;

// A failure of the serial layer. The text is what the message log shows, e.g.
// Unable to open com port (Error: 2, "No such file or directory")
class SerialError : public std::runtime_error
{
public:
    explicit SerialError(const QString &text);
    QString text() const { return m_text; }
    // The system error code behind it (errno), 0 when none is known.
    int code() const { return m_code; }

    // "<fixed> (Error: <code>, "<system message>")"
    static SerialError withCode(const char *fixedPart, int code, const QString &systemMessage);
    // The same with the system's own message for errno code (strerror).
    static SerialError fromErrno(const char *fixedPart, int code);

private:
    QString m_text;
    int m_code = 0;
};

// The serial port of one link thread: 115200 baud 8N1, no flow control, DTR and RTS
// inactive, raw bytes, 1024-byte receive queue. All input is read on demand; there
// is no event-driven reading. A name beginning with "/" is a device path (/dev/pts/3),
// any other a port name (ttyUSB0, COM5). The object must be created, used and destroyed on one
// thread (the link thread); it needs no event loop there.
class TSerialPort : public LinkTransport
{
public:
    TSerialPort();
    ~TSerialPort() override;
    TSerialPort(const TSerialPort &) = delete;
    TSerialPort &operator=(const TSerialPort &) = delete;

    // Opens with the settings above; an open port is left untouched.
    // Throws SerialError "Unable to open com port (...)" or one of the setting failures.
    void open() override;
    // Discards both queues and closes; closing a closed port does nothing.
    void close() override;
    bool isOpen() const override;

    // Throws "Port Not Open" when closed, "PurgeComm function failed (...)" on failure.
    void clearBuffers() override;
    // Writes all bytes and waits until they have left, at most the write time-out.
    // Returns the count written. Throws "WriteFile function failed (...)" on failure.
    qint64 write(const QByteArray &data) override;
    // Reads up to count bytes into buf: returns when count bytes have arrived, when
    // the total read time-out has run out, or early when the stop check says so.
    // Returns the count read (0 when nothing came). Throws "ReadFile function failed
    // (...)" when the device fails (for example when it vanished).
    qint64 read(char *buf, qint64 count) override;

    // The group that owns the device, when the user is not in it (dialout on Debian).
    QString accessRemedy() const override;
    // A port name (ttyUSB0) is a device in /dev.
    QString devicePath() const override;

    static constexpr int QueueSize = 1024;

private:
    [[noreturn]] void fail(const char *fixedPart);

    std::unique_ptr<QSerialPort> m_port;
};
