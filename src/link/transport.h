// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>

#include "link/fd_io.h"

#include <functional>
#include <memory>

// The byte stream between the link thread and the controller. The wire protocol, the
// link thread and the firmware transfer talk only to this; whether the bytes go through
// a serial port or a Bluetooth socket is the implementation's business.
//
// Failures are thrown as SerialError (link/serial_port.h) whose text names the failed
// operation and carries the system's error code and message, e.g.
// Unable to open com port (Error: 13, "Permission denied").
// An object is created, used and destroyed on one thread (the link thread).
class LinkTransport
{
public:
    virtual ~LinkTransport() = default;

    // Takes effect with the next open().
    void setName(const QString &name) { m_name = name; }
    // The name the transport was opened with, or the name set last while closed.
    QString name() const { return m_name; }

    // Opens the stream; an open one is left untouched. Throws "Unable to open com port (...)"
    // or a setting failure.
    virtual void open() = 0;
    // Discards what is queued and closes; closing a closed transport does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Discards what is queued in both directions. Throws "Port Not Open" when closed.
    virtual void clearBuffers() = 0;
    // Writes all bytes, waiting at most the write time-out; returns the count written.
    virtual qint64 write(const QByteArray &data) = 0;
    // Reads up to count bytes: returns when count bytes have arrived, when the total read
    // time-out has run out, or early when the stop check says so. 0 when nothing came.
    virtual qint64 read(char *buf, qint64 count) = 0;
    // Whether the last read() returned early because of the stop check.
    bool lastReadInterrupted() const { return m_interrupted; }

    void setReadTimeout(int ms) { m_readTimeoutMs = ms; }
    void setWriteTimeout(int ms) { m_writeTimeoutMs = ms; }
    int readTimeout() const { return m_readTimeoutMs; }
    // Polled every few milliseconds while a read (or a connection) waits.
    void setStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }

    // After open() has failed: one line telling the user what would let this program open
    // the port (for example a group membership), or empty when there is nothing to suggest.
    virtual QString accessRemedy() const { return {}; }
    // The device file behind the transport (/dev/ttyUSB0), or empty when there is none.
    virtual QString devicePath() const { return {}; }

    static constexpr int DefaultTimeoutMs = 5000;

protected:
    // read() and write() of an open transport on its descriptor (see link/fd_io.h), with
    // the time-outs and the stop check set here.
    qint64 writeDescriptor(const FdStream &stream, const QByteArray &data);
    qint64 readDescriptor(const FdStream &stream, char *buf, qint64 got, qint64 count);

    QString m_name;
    std::function<bool()> m_stopCheck;
    bool m_interrupted = false;

private:
    int m_readTimeoutMs = DefaultTimeoutMs;
    int m_writeTimeoutMs = DefaultTimeoutMs;
};

// Makes the transport for a port name (already named, not yet open).
using TransportFactory = std::function<std::unique_ptr<LinkTransport>(const QString &portName)>;

// Whether a port name is a Bluetooth device address: six pairs of hexadecimal digits
// joined by colons (00:11:22:AA:BB:CC, either letter case).
bool IsBluetoothAddress(const QString &portName);

// The program's transports: the controller's Bluetooth serial-port profile for a
// Bluetooth address, the serial port for any other name.
std::unique_ptr<LinkTransport> CreateTransport(const QString &portName);

// For a device file the user may not open for reading and writing although its group
// may: the line naming the remedy (join that group, then log in again). Empty otherwise.
QString PortAccessRemedy(const QString &devicePath);
