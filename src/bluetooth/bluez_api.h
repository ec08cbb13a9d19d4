// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "bluetooth/bluetooth_api.h"
#include "bluetooth/bluez_caller.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QThread>

#include <memory>

// Answers BlueZ's pairing requests with the fixed code, and only for the device being
// paired by this program at that moment; every other request is rejected, so that
// running the program never lets a stranger pair with the computer. Only BlueZ's own calls
// are answered (BluezCaller): another process asking for the code is refused.
class PairingAgent : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.bluez.Agent1")
public:
    explicit PairingAgent(const QDBusConnection &bus) : m_caller(new BluezCaller(bus, this)) {}
    // The device path pairing now, and its code; an empty path ends the pairing.
    void setPairing(const QString &devicePath, const QString &code);

public slots:
    void Release();
    QString RequestPinCode(const QDBusObjectPath &device);
    uint RequestPasskey(const QDBusObjectPath &device);
    void DisplayPinCode(const QDBusObjectPath &device, const QString &code);
    void DisplayPasskey(const QDBusObjectPath &device, uint passkey, ushort entered);
    void RequestConfirmation(const QDBusObjectPath &device, uint passkey);
    void RequestAuthorization(const QDBusObjectPath &device);
    void AuthorizeService(const QDBusObjectPath &device, const QString &uuid);
    void Cancel();

private:
    // Whether device is the one pairing; otherwise the caller gets a rejection.
    bool accept(const QDBusObjectPath &device);

    BluezCaller *m_caller;

    QMutex m_mutex;
    QString m_devicePath;
    QString m_code;
};

// The Bluetooth stack through BlueZ on the D-Bus system bus (or on the bus at a given
// address, for tests). The search covers every adapter; an inquiry runs discovery on
// each for the requested time. Pairing goes through Device1.Pair with PairingAgent
// registered as this program's agent. Switching on the serial-port service means: the
// device is paired, trusted and offers the Serial Port service, so that the link can
// connect its profile (link/bluetooth_transport.h); nothing is bound and nothing needs
// privileges. Discovery goes on until the search is closed, so that BlueZ keeps the
// devices it found while their names are asked for. Calls made on a thread that is told
// to stop give up at once with ECANCELED.
class BluezApi : public BluetoothApi
{
public:
    struct Options
    {
        QString busAddress;          // empty: the system bus (DBUS_SYSTEM_BUS_ADDRESS when set)
        int inquiryUnitMs = 1280;    // one unit of the search's inquiry length
        int callTimeoutMs = 25000;
        int pairTimeoutMs = 60000;   // the remote side may ask its user
    };

    BluezApi();
    explicit BluezApi(Options options);
    ~BluezApi() override;

    SearchHandle findFirstDevice(const BluetoothSearchParams &params, BluetoothDeviceInfo &info,
                                 BluetoothResult &result) override;
    bool findNextDevice(SearchHandle search, BluetoothDeviceInfo &info) override;
    void findDeviceClose(SearchHandle search) override;
    BluetoothResult getDeviceInfo(BluetoothDeviceInfo &info) override;
    int enumerateInstalledServices(const BluetoothDeviceInfo &info) override;
    BluetoothResult authenticateDevice(const BluetoothDeviceInfo &info, const QString &passkey) override;
    BluetoothResult setServiceState(const BluetoothDeviceInfo &info, const QUuid &service, bool enable) override;
    BluetoothResult removeDevice(const BluetoothAddress &address) override;

    // The bus name and object path the agent is reachable at once a pairing has begun.
    QString agentService() const;
    static QString agentPath();

private:
    struct DeviceEntry
    {
        QString path;
        QString adapterPath;
        BluetoothDeviceInfo info;
        int services = 0;
    };
    using InterfaceMap = QMap<QString, QVariantMap>;
    using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;

    BluetoothResult call(const QString &path, const QString &interface, const QString &method,
                         const QVariantList &args, QVariantList *out = nullptr, int timeoutMs = -1);
    BluetoothResult managedObjects(ManagedObjects &objects);
    // Refreshes m_devices from the bus; the devices in bus order.
    QList<DeviceEntry> devicesOf(const ManagedObjects &objects);
    bool entryFor(const BluetoothAddress &address, DeviceEntry &entry);
    BluetoothResult ensureAgent();
    bool waitInterruptibly(int ms);
    void stopDiscovery(const QStringList &adapters);
    // Starts a search over the devices in objects that params asks for: the first in info,
    // the rest kept under the new handle returned, with the adapters discovering for it.
    // 0 with NoMoreItems in result when there is none.
    SearchHandle listFound(const BluetoothSearchParams &params, const ManagedObjects &objects, BluetoothDeviceInfo &info,
                   BluetoothResult &result, const QStringList &discovering);

    Options m_options;
    QDBusConnection m_bus;
    QString m_connectionName;

    QThread m_agentThread;
    PairingAgent *m_agent = nullptr;
    bool m_agentRegistered = false;

    QMutex m_mutex;   // guards what follows
    QHash<QString, DeviceEntry> m_devices;   // by address text
    QHash<SearchHandle, QList<DeviceEntry>> m_searches;
    QHash<SearchHandle, QStringList> m_discovering;   // adapters searching for a search
    SearchHandle m_nextSearch = 1;
};
