// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/fake_bluetooth_api.h"

#include <stdexcept>

namespace {
constexpr BluetoothApi::SearchHandle FakeSearch = 1;
}

FakeBluetoothApi::Device FakeBluetoothApi::device(const QString &address, const QString &name, bool paired,
                                                  bool connected)
{
    Device d;
    ParseBluetoothAddress(address, d.info.address);
    d.info.name = name;
    d.info.authenticated = paired;
    d.info.connected = connected;
    d.transmittedName = name;
    d.connectedAfterQuery = {connected};
    return d;
}

void FakeBluetoothApi::record(const QString &event)
{
    QMutexLocker lock(&m_mutex);
    m_trace << event;
}

QStringList FakeBluetoothApi::trace() const
{
    QMutexLocker lock(&m_mutex);
    return m_trace;
}

QStringList FakeBluetoothApi::traceMatching(const QString &prefix) const
{
    QStringList matching;
    for (const QString &event : trace()) {
        if (event.startsWith(prefix))
            matching << event;
    }
    return matching;
}

QStringList FakeBluetoothApi::removedAddresses() const
{
    QMutexLocker lock(&m_mutex);
    return m_removed;
}

FakeBluetoothApi::Device *FakeBluetoothApi::find(const BluetoothAddress &address)
{
    for (Device &d : devices) {
        if (d.info.address == address)
            return &d;
    }
    return nullptr;
}

BluetoothResult FakeBluetoothApi::take(QList<BluetoothResult> &script)
{
    return script.isEmpty() ? BluetoothResult::success() : script.takeFirst();
}

BluetoothApi::SearchHandle FakeBluetoothApi::findFirstDevice(const BluetoothSearchParams &params,
                                                             BluetoothDeviceInfo &info, BluetoothResult &result)
{
    if (onSearchStart)
        onSearchStart();
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("FindFirst inquiry=%1 multiplier=%2")
                   .arg(params.issueInquiry ? 1 : 0)
                   .arg(params.timeoutMultiplier);
    m_state = QList<State>(devices.size());
    if (!searchResult.ok() || devices.isEmpty()) {
        result = searchResult.ok() ? BluetoothResult::noMoreItems() : searchResult;
        return 0;
    }
    result = BluetoothResult::success();
    m_searchOpen = true;
    m_next = 1;
    info = devices.first().info;
    return FakeSearch;
}

bool FakeBluetoothApi::findNextDevice(SearchHandle search, BluetoothDeviceInfo &info)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("FindNext");
    if (search != FakeSearch || !m_searchOpen || m_next >= devices.size())
        return false;
    info = devices[m_next++].info;
    return true;
}

void FakeBluetoothApi::findDeviceClose(SearchHandle search)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("FindClose");
    if (search == FakeSearch)
        m_searchOpen = false;
}

BluetoothResult FakeBluetoothApi::getDeviceInfo(BluetoothDeviceInfo &info)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("GetDeviceInfo ") + BluetoothAddressText(info.address);
    Device *d = find(info.address);
    if (!d)
        return BluetoothResult::failure(QStringLiteral("19"), QStringLiteral("No such device"));
    const int query = ++m_state[int(d - devices.data())].queries;
    const BluetoothResult result = take(d->infoResults);
    if (!result.ok())
        return result;
    info = d->info;
    info.name = (d->nameFromQuery > 0 && query >= d->nameFromQuery) ? d->transmittedName : QString();
    if (!d->connectedAfterQuery.isEmpty()) {
        info.connected = d->connectedAfterQuery.size() > 1 ? d->connectedAfterQuery.takeFirst()
                                                           : d->connectedAfterQuery.first();
    }
    return result;
}

int FakeBluetoothApi::enumerateInstalledServices(const BluetoothDeviceInfo &info)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("EnumerateServices ") + BluetoothAddressText(info.address);
    if (Device *d = find(info.address); d && !d->throwOnEnumerate.isEmpty())
        throw std::runtime_error(d->throwOnEnumerate.toStdString());
    return 1;
}

BluetoothResult FakeBluetoothApi::authenticateDevice(const BluetoothDeviceInfo &info, const QString &passkey)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("Authenticate %1 %2").arg(BluetoothAddressText(info.address), passkey);
    Device *d = find(info.address);
    if (!d)
        return BluetoothResult::failure(QStringLiteral("19"), QStringLiteral("No such device"));
    if (!d->throwOnPair.isEmpty())
        throw std::runtime_error(d->throwOnPair.toStdString());
    const BluetoothResult result = take(d->pairResults);
    if (result.ok())
        d->info.authenticated = true;
    return result;
}

BluetoothResult FakeBluetoothApi::setServiceState(const BluetoothDeviceInfo &info, const QUuid &service, bool enable)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("SetServiceState %1 %2 %3")
                   .arg(BluetoothAddressText(info.address), service.toString(QUuid::WithBraces).toUpper(),
                        enable ? QStringLiteral("on") : QStringLiteral("off"));
    Device *d = find(info.address);
    if (!d)
        return BluetoothResult::failure(QStringLiteral("19"), QStringLiteral("No such device"));
    return take(d->serviceResults);
}

BluetoothResult FakeBluetoothApi::removeDevice(const BluetoothAddress &address)
{
    QMutexLocker lock(&m_mutex);
    m_trace << QStringLiteral("Remove ") + BluetoothAddressText(address);
    Device *d = find(address);
    if (!d)
        return BluetoothResult::failure(QStringLiteral("19"), QStringLiteral("No such device"));
    const BluetoothResult result = take(d->removeResults);
    if (result.ok()) {
        d->info.authenticated = false;
        m_removed << BluetoothAddressText(address);
    }
    return result;
}
