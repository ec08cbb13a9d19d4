// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "bluetooth/bluetooth_api.h"

#include <QList>
#include <QMutex>
#include <QStringList>

#include <functional>

// A scripted Bluetooth stack for tests and demonstrations. The search returns the
// scripted devices in order; each call takes the next scripted result of its kind for
// that device (success once the script is used up). Every call is written to a trace,
// to which the caller may add its own events (log lines, waits) so that one list shows
// the exact order of everything a run did. Thread-safe: a run calls it from its worker.
class FakeBluetoothApi : public BluetoothApi
{
public:
    struct Device
    {
        // As the search returns it (the name too, which a removal run lists as it is).
        BluetoothDeviceInfo info;
        // The name a refresh returns from the refresh numbered nameFromQuery on (1 = the
        // first); 0 = never, the device stays nameless.
        QString transmittedName;
        int nameFromQuery = 1;
        // The connected state after each refresh, in order; the last value stays.
        QList<bool> connectedAfterQuery;
        // Results of the successive calls; an empty script means success.
        QList<BluetoothResult> infoResults;
        QList<BluetoothResult> pairResults;
        QList<BluetoothResult> serviceResults;
        QList<BluetoothResult> removeResults;
        // When set, that call throws std::runtime_error with this text.
        QString throwOnPair;
        QString throwOnEnumerate;
    };

    // A device with a name and, optionally, paired and connected state.
    static Device device(const QString &address, const QString &name, bool paired = false, bool connected = false);

    // Failure of the search start; NoMoreItems when no devices are scripted.
    BluetoothResult searchResult = BluetoothResult::success();
    QList<Device> devices;
    // Called at the start of findFirstDevice, on the caller's thread.
    std::function<void()> onSearchStart;

    void record(const QString &event);
    QStringList trace() const;
    // Every traced event that starts with prefix.
    QStringList traceMatching(const QString &prefix) const;
    // Addresses removed so far.
    QStringList removedAddresses() const;

    SearchHandle findFirstDevice(const BluetoothSearchParams &params, BluetoothDeviceInfo &info,
                                 BluetoothResult &result) override;
    bool findNextDevice(SearchHandle search, BluetoothDeviceInfo &info) override;
    void findDeviceClose(SearchHandle search) override;
    BluetoothResult getDeviceInfo(BluetoothDeviceInfo &info) override;
    int enumerateInstalledServices(const BluetoothDeviceInfo &info) override;
    BluetoothResult authenticateDevice(const BluetoothDeviceInfo &info, const QString &passkey) override;
    BluetoothResult setServiceState(const BluetoothDeviceInfo &info, const QUuid &service, bool enable) override;
    BluetoothResult removeDevice(const BluetoothAddress &address) override;

private:
    struct State
    {
        int queries = 0;
    };
    Device *find(const BluetoothAddress &address);
    static BluetoothResult take(QList<BluetoothResult> &script);

    mutable QMutex m_mutex;
    QStringList m_trace;
    QList<State> m_state;
    int m_next = 0;
    bool m_searchOpen = false;
    QStringList m_removed;
};
