// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/bluez_api.h"

#include "bluetooth/bluez_names.h"
#include "link/bluetooth_transport.h"

#include <QAtomicInt>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>

namespace {

using namespace BluezNames;

constexpr int PollMs = 2;
constexpr int SleepStepMs = 20;
constexpr int UnregisterTimeoutMs = 2000;

QAtomicInt g_connectionCount;

bool interrupted()
{
    QThread *self = QThread::currentThread();
    return self && self->isInterruptionRequested();
}

// A property value as QtDBus hands it over: plain types arrive as such, arrays of
// strings may still be wrapped.
QStringList stringList(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QStringList>(value.value<QDBusArgument>());
    return value.toStringList();
}

QString objectPath(const QVariant &value)
{
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

QVariantMap variantMap(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

void fillInfo(const QVariantMap &props, BluetoothDeviceInfo &info)
{
    ParseBluetoothAddress(props.value(QStringLiteral("Address")).toString(), info.address);
    // Name is what the device itself sent; Alias falls back to the address, which would
    // make a nameless device look named.
    info.name = props.value(QStringLiteral("Name")).toString();
    info.authenticated = props.value(QStringLiteral("Paired")).toBool();
    info.connected = props.value(QStringLiteral("Connected")).toBool();
    info.lastUsed = QDateTime();   // BlueZ does not keep it
}

BluetoothResult cancelled() { return BluetoothResult::fromErrno(ECANCELED); }

} // namespace

// --- PairingAgent ---

void PairingAgent::setPairing(const QString &devicePath, const QString &code)
{
    QMutexLocker lock(&m_mutex);
    m_devicePath = devicePath;
    m_code = code;
}

bool PairingAgent::accept(const QDBusObjectPath &device)
{
    if (!m_caller->admit(*this))
        return false;
    QMutexLocker lock(&m_mutex);
    if (!m_devicePath.isEmpty() && device.path() == m_devicePath)
        return true;
    lock.unlock();
    if (calledFromDBus())
        sendErrorReply(RejectedError, QStringLiteral("Not pairing with this device"));
    return false;
}

void PairingAgent::Release() { m_caller->admit(*this); }

QString PairingAgent::RequestPinCode(const QDBusObjectPath &device)
{
    if (!accept(device))
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_code;
}

uint PairingAgent::RequestPasskey(const QDBusObjectPath &device)
{
    if (!accept(device))
        return 0;
    QMutexLocker lock(&m_mutex);
    return m_code.toUInt();
}

void PairingAgent::DisplayPinCode(const QDBusObjectPath &device, const QString &) { accept(device); }

void PairingAgent::DisplayPasskey(const QDBusObjectPath &, uint, ushort) { m_caller->admit(*this); }

void PairingAgent::RequestConfirmation(const QDBusObjectPath &device, uint) { accept(device); }

void PairingAgent::RequestAuthorization(const QDBusObjectPath &device) { accept(device); }

void PairingAgent::AuthorizeService(const QDBusObjectPath &device, const QString &) { accept(device); }

void PairingAgent::Cancel() { m_caller->admit(*this); }

// --- BluezApi ---

BluezApi::BluezApi() : BluezApi(Options{}) {}

BluezApi::BluezApi(Options options)
    : m_options(std::move(options)),
      m_bus(QStringLiteral("")),
      m_connectionName(QStringLiteral("aqualumora-bluetooth-%1").arg(g_connectionCount.fetchAndAddRelaxed(1)))
{
    // A connection of its own: the agent object is registered on it, and a second
    // instance never meets the first one's registration.
    m_bus = m_options.busAddress.isEmpty() ? ConnectToSystemBus(m_connectionName)
                                           : QDBusConnection::connectToBus(m_options.busAddress, m_connectionName);
    m_agentThread.setObjectName(QStringLiteral("Bluetooth agent"));
}

BluezApi::~BluezApi()
{
    QStringList discovering;
    for (const QStringList &adapters : std::as_const(m_discovering))
        discovering << adapters;
    stopDiscovery(discovering);
    if (m_agentRegistered) {
        call(QStringLiteral("/org/bluez"), AgentManagerInterface, QStringLiteral("UnregisterAgent"),
             {QVariant::fromValue(QDBusObjectPath(agentPath()))}, nullptr, UnregisterTimeoutMs);
        m_bus.unregisterObject(agentPath());
    }
    m_agentThread.quit();
    m_agentThread.wait();
    delete m_agent;
    QDBusConnection::disconnectFromBus(m_connectionName);
}

QString BluezApi::agentService() const { return m_bus.baseService(); }

QString BluezApi::agentPath() { return QStringLiteral("/aqualumora/agent"); }

BluetoothResult BluezApi::call(const QString &path, const QString &interface, const QString &method,
                               const QVariantList &args, QVariantList *out, int timeoutMs)
{
    if (!m_bus.isConnected()) {
        const QDBusError error = m_bus.lastError();
        if (error.isValid())
            return BluetoothResult::failure(error.name(), error.message());
        return BluetoothResult::failure(DisconnectedError,
                                        QStringLiteral("Not connected to the system bus"));
    }
    if (interrupted())
        return cancelled();
    QDBusMessage message = QDBusMessage::createMethodCall(BluezService, path, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = m_bus.asyncCall(message, timeoutMs < 0 ? m_options.callTimeoutMs : timeoutMs);
    // Polled rather than waited for, so that a run told to stop is not held for the
    // call's whole time-out.
    while (!pending.isFinished()) {
        if (interrupted())
            return cancelled();
        QThread::msleep(PollMs);
    }
    const QDBusMessage reply = pending.reply();
    if (reply.type() == QDBusMessage::ErrorMessage)
        return BluetoothResult::failure(reply.errorName(), reply.errorMessage());
    if (out)
        *out = reply.arguments();
    return BluetoothResult::success();
}

BluetoothResult BluezApi::managedObjects(ManagedObjects &objects)
{
    QVariantList out;
    const BluetoothResult result =
        call(QStringLiteral("/"), ObjectManagerInterface, QStringLiteral("GetManagedObjects"), {}, &out);
    if (!result.ok())
        return result;
    objects.clear();
    if (out.isEmpty() || !out.first().canConvert<QDBusArgument>())
        return result;
    const QDBusArgument argument = out.first().value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{oa{sa{sv}}}"))
        return result;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        InterfaceMap interfaces;
        argument.beginMapEntry();
        argument >> path >> interfaces;
        argument.endMapEntry();
        objects.insert(path, interfaces);
    }
    argument.endMap();
    return result;
}

QList<BluezApi::DeviceEntry> BluezApi::devicesOf(const ManagedObjects &objects)
{
    QHash<QString, QString> adapterAddress;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        if (it->contains(AdapterInterface))
            adapterAddress.insert(it.key().path(),
                                  it->value(AdapterInterface).value(QStringLiteral("Address")).toString());
    }
    QList<DeviceEntry> devices;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        if (!it->contains(DeviceInterface))
            continue;
        const QVariantMap props = it->value(DeviceInterface);
        DeviceEntry entry;
        entry.path = it.key().path();
        entry.adapterPath = objectPath(props.value(QStringLiteral("Adapter")));
        if (!adapterAddress.contains(entry.adapterPath))
            continue;   // left over from an adapter that has gone
        fillInfo(props, entry.info);
        entry.services = int(stringList(props.value(QStringLiteral("UUIDs"))).size());
        devices << entry;
    }
    std::sort(devices.begin(), devices.end(),
              [](const DeviceEntry &a, const DeviceEntry &b) { return a.path < b.path; });
    QMutexLocker lock(&m_mutex);
    for (const DeviceEntry &entry : std::as_const(devices))
        m_devices.insert(BluetoothAddressText(entry.info.address), entry);
    return devices;
}

bool BluezApi::entryFor(const BluetoothAddress &address, DeviceEntry &entry)
{
    const QString key = BluetoothAddressText(address);
    {
        QMutexLocker lock(&m_mutex);
        if (auto it = m_devices.constFind(key); it != m_devices.cend()) {
            entry = *it;
            return true;
        }
    }
    ManagedObjects objects;
    if (!managedObjects(objects).ok())
        return false;
    devicesOf(objects);
    QMutexLocker lock(&m_mutex);
    if (auto it = m_devices.constFind(key); it != m_devices.cend()) {
        entry = *it;
        return true;
    }
    return false;
}

bool BluezApi::waitInterruptibly(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (interrupted())
            return false;
        QThread::msleep(ulong(std::clamp<qint64>(deadline.remainingTime(), 1, SleepStepMs)));
    }
    return !interrupted();
}

BluetoothApi::SearchHandle BluezApi::findFirstDevice(const BluetoothSearchParams &params, BluetoothDeviceInfo &info,
                                                     BluetoothResult &result)
{
    ManagedObjects objects;
    result = managedObjects(objects);
    if (!result.ok())
        return 0;
    QStringList adapters;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        if (it->contains(AdapterInterface))
            adapters << it.key().path();
    }
    if (adapters.isEmpty()) {
        result = BluetoothResult::fromErrno(ENODEV);
        return 0;
    }

    if (params.issueInquiry && params.timeoutMultiplier > 0) {
        QStringList discovering;
        BluetoothResult firstFailure;
        for (const QString &adapter : std::as_const(adapters)) {
            // The serial-port profile is classic Bluetooth only; low-energy devices would
            // just lengthen the list. A stack without filters searches for everything.
            QVariantMap filter;
            filter.insert(QStringLiteral("Transport"), QStringLiteral("bredr"));
            call(adapter, AdapterInterface, QStringLiteral("SetDiscoveryFilter"), {filter});
            const BluetoothResult started = call(adapter, AdapterInterface, QStringLiteral("StartDiscovery"), {});
            if (started.ok())
                discovering << adapter;
            else if (firstFailure.ok())
                firstFailure = started;
        }
        if (discovering.isEmpty()) {
            // Every radio refused: switched off, blocked or busy.
            result = firstFailure;
            return 0;
        }
        const bool completed = waitInterruptibly(params.timeoutMultiplier * m_options.inquiryUnitMs);
        SearchHandle handle = 0;
        if (!completed)
            result = cancelled();
        else if ((result = managedObjects(objects)).ok())
            handle = listFound(params, objects, info, result, discovering);
        if (!handle)
            stopDiscovery(discovering);
        return handle;
    }

    return listFound(params, objects, info, result, {});
}

BluetoothApi::SearchHandle BluezApi::listFound(const BluetoothSearchParams &params, const ManagedObjects &objects, BluetoothDeviceInfo &info,
                         BluetoothResult &result, const QStringList &discovering)
{
    QList<DeviceEntry> devices;
    for (const DeviceEntry &entry : devicesOf(objects)) {
        const bool paired = entry.info.authenticated;
        const bool connected = entry.info.connected;
        if ((paired && params.returnAuthenticated) || (connected && params.returnConnected) ||
            (!paired && !connected && (params.returnRemembered || params.returnUnknown)))
            devices << entry;
    }
    if (devices.isEmpty()) {
        result = BluetoothResult::noMoreItems();
        return 0;
    }
    info = devices.takeFirst().info;
    QMutexLocker lock(&m_mutex);
    const SearchHandle handle = m_nextSearch++;
    m_searches.insert(handle, devices);
    if (!discovering.isEmpty())
        m_discovering.insert(handle, discovering);
    result = BluetoothResult::success();
    return handle;
}

void BluezApi::stopDiscovery(const QStringList &adapters)
{
    for (const QString &adapter : adapters)
        call(adapter, AdapterInterface, QStringLiteral("StopDiscovery"), {}, nullptr, UnregisterTimeoutMs);
}

bool BluezApi::findNextDevice(SearchHandle search, BluetoothDeviceInfo &info)
{
    QMutexLocker lock(&m_mutex);
    auto it = m_searches.find(search);
    if (it == m_searches.end() || it->isEmpty())
        return false;
    info = it->takeFirst().info;
    return true;
}

void BluezApi::findDeviceClose(SearchHandle search)
{
    QMutexLocker lock(&m_mutex);
    m_searches.remove(search);
    const QStringList discovering = m_discovering.take(search);
    lock.unlock();
    stopDiscovery(discovering);
}

BluetoothResult BluezApi::getDeviceInfo(BluetoothDeviceInfo &info)
{
    DeviceEntry entry;
    if (!entryFor(info.address, entry))
        return interrupted() ? cancelled() : BluetoothResult::fromErrno(ENODEV);
    QVariantList out;
    const BluetoothResult result =
        call(entry.path, PropertiesInterface, QStringLiteral("GetAll"), {DeviceInterface}, &out);
    if (!result.ok())
        return result;
    const QVariantMap props = out.isEmpty() ? QVariantMap() : variantMap(out.first());
    BluetoothDeviceInfo refreshed;
    fillInfo(props, refreshed);
    refreshed.address = info.address;
    info = refreshed;
    entry.info = refreshed;
    entry.services = int(stringList(props.value(QStringLiteral("UUIDs"))).size());
    QMutexLocker lock(&m_mutex);
    m_devices.insert(BluetoothAddressText(info.address), entry);
    return result;
}

int BluezApi::enumerateInstalledServices(const BluetoothDeviceInfo &info)
{
    DeviceEntry entry;
    return entryFor(info.address, entry) ? entry.services : 0;
}

BluetoothResult BluezApi::ensureAgent()
{
    if (m_agentRegistered)
        return BluetoothResult::success();
    if (!m_agent) {
        m_agent = new PairingAgent(m_bus);
        m_agent->moveToThread(&m_agentThread);
        m_agentThread.start();
    }
    if (!m_bus.registerObject(agentPath(), m_agent, QDBusConnection::ExportAllSlots))
        return BluetoothResult::failure(ObjectPathInUseError,
                                        QStringLiteral("The pairing agent could not be registered"));
    const BluetoothResult result =
        call(QStringLiteral("/org/bluez"), AgentManagerInterface, QStringLiteral("RegisterAgent"),
             {QVariant::fromValue(QDBusObjectPath(agentPath())), QStringLiteral("KeyboardDisplay")});
    if (!result.ok() && result.code != AlreadyExistsError) {
        m_bus.unregisterObject(agentPath());
        return result;
    }
    m_agentRegistered = true;
    return BluetoothResult::success();
}

BluetoothResult BluezApi::authenticateDevice(const BluetoothDeviceInfo &info, const QString &passkey)
{
    DeviceEntry entry;
    if (!entryFor(info.address, entry))
        return interrupted() ? cancelled() : BluetoothResult::fromErrno(ENODEV);
    const BluetoothResult agent = ensureAgent();
    if (!agent.ok())
        return agent;
    m_agent->setPairing(entry.path, passkey);
    BluetoothResult result = call(entry.path, DeviceInterface, QStringLiteral("Pair"), {}, nullptr,
                                  m_options.pairTimeoutMs);
    m_agent->setPairing(QString(), QString());
    if (!result.ok() && result.code == AlreadyExistsError)
        result = BluetoothResult::success();
    if (result.ok()) {
        // Trusted, so that opening the serial port later needs no confirmation.
        call(entry.path, PropertiesInterface, QStringLiteral("Set"),
             {DeviceInterface, QStringLiteral("Trusted"), QVariant::fromValue(QDBusVariant(true))});
    }
    return result;
}

BluetoothResult BluezApi::setServiceState(const BluetoothDeviceInfo &info, const QUuid &service, bool enable)
{
    if (service != SerialPortServiceClass)
        return BluetoothResult::fromErrno(EOPNOTSUPP);
    // Nothing is set up for the service, so there is nothing to take down either.
    if (!enable)
        return BluetoothResult::success();
    DeviceEntry entry;
    if (!entryFor(info.address, entry))
        return interrupted() ? cancelled() : BluetoothResult::fromErrno(ENODEV);
    QVariantList out;
    const BluetoothResult result =
        call(entry.path, PropertiesInterface, QStringLiteral("GetAll"), {DeviceInterface}, &out);
    if (!result.ok())
        return result;
    const QVariantMap props = out.isEmpty() ? QVariantMap() : variantMap(out.first());
    if (!props.value(QStringLiteral("Paired")).toBool())
        return BluetoothResult::fromErrno(EACCES);
    // The service list is read from the device after pairing; until it has come, or when
    // the device has no serial-port service, there is nothing to connect to.
    const QStringList uuids = stringList(props.value(QStringLiteral("UUIDs")));
    const bool offered = std::any_of(uuids.cbegin(), uuids.cend(), [](const QString &uuid) {
        return QUuid(uuid) == SerialPortServiceClass;
    });
    if (!offered)
        return BluetoothResult::fromErrno(EPROTONOSUPPORT);
    if (!props.value(QStringLiteral("Trusted")).toBool()) {
        // Trusted, so that connecting the serial port later asks nobody.
        const BluetoothResult trusted =
            call(entry.path, PropertiesInterface, QStringLiteral("Set"),
                 {DeviceInterface, QStringLiteral("Trusted"), QVariant::fromValue(QDBusVariant(true))});
        if (!trusted.ok())
            return trusted;
    }
    return BluetoothResult::success();
}

BluetoothResult BluezApi::removeDevice(const BluetoothAddress &address)
{
    DeviceEntry entry;
    if (!entryFor(address, entry))
        return interrupted() ? cancelled() : BluetoothResult::fromErrno(ENODEV);
    const BluetoothResult result = call(entry.adapterPath, AdapterInterface, QStringLiteral("RemoveDevice"),
                                        {QVariant::fromValue(QDBusObjectPath(entry.path))});
    if (result.ok()) {
        QMutexLocker lock(&m_mutex);
        m_devices.remove(BluetoothAddressText(address));
    }
    return result;
}
