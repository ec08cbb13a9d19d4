// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "link/transport.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <memory>

class SerialProfileService;

// The system bus: the one DBUS_SYSTEM_BUS_ADDRESS names when it is set (a test's private
// bus), else the system's own. A connection of its own under the given name.
QDBusConnection ConnectToSystemBus(const QString &connectionName);

// Port-list entries of the paired Bluetooth devices named "Aqualumora" that offer the
// serial-port service, in BlueZ's order: "00:11:22:AA:BB:CC (Aqualumora, Bluetooth)".
// Empty without a system bus or BlueZ; never starts BlueZ.
QStringList BluetoothPortEntries();

// The controller's serial-port service over Bluetooth, through BlueZ's profile API: the
// program registers a client-role Serial Port profile, asks BlueZ to connect it to the
// device (Device1.ConnectProfile) and talks over the RFCOMM socket that BlueZ hands to
// the profile's NewConnection. No privilege and no serial device are needed.
// The name is the device address (00:11:22:AA:BB:CC).
class BluetoothTransport : public LinkTransport
{
public:
    BluetoothTransport();
    ~BluetoothTransport() override;
    BluetoothTransport(const BluetoothTransport &) = delete;
    BluetoothTransport &operator=(const BluetoothTransport &) = delete;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    void clearBuffers() override;
    qint64 write(const QByteArray &data) override;
    qint64 read(char *buf, qint64 count) override;

    // How long BlueZ may take to set up the connection (paging the device included).
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }

private:
    [[noreturn]] void fail(const char *fixedPart, int error);

    std::shared_ptr<SerialProfileService> m_service;
    QString m_devicePath;
    int m_fd = -1;
    int m_connectTimeoutMs = 30000;
};
