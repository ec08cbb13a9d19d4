// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/bluetooth_transport.h"

#include "presentation/localization.h"
#include "bluetooth/bluetooth_api.h"
#include "bluetooth/bluez_caller.h"
#include "bluetooth/bluez_names.h"
#include "link/serial_port.h"

#include <QAtomicInt>
#include <QDBusArgument>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace BluezNames;

const QString ProfilePath = QStringLiteral("/org/aqualumora/serial_port");

// How often a waiting call looks at the stop check.
constexpr int CallPollMs = 2;
constexpr int ListTimeoutMs = 1000;
constexpr int CallTimeoutMs = 25000;
// NewConnection comes before ConnectProfile returns; this only covers a slow hand-over.
constexpr int HandOverWaitMs = 2000;

QAtomicInt g_connectionCount;

QString systemMessage(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The outcome of a D-Bus step: empty code on success; otherwise a D-Bus error name or
// an errno value in decimal, with its text.
struct Outcome
{
    QString code;
    QString text;
    bool ok() const { return code.isEmpty(); }
    static Outcome fromErrno(int error) { return {QString::number(error), systemMessage(error)}; }
};

QString failureText(const char *fixedPart, const Outcome &outcome)
{
    return QStringLiteral("%1 (Error: %2, \"%3\")").arg(QLatin1String(fixedPart), outcome.code, outcome.text);
}

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;

// GetManagedObjects' answer; empty when it has another shape.
ManagedObjects parseManagedObjects(const QDBusMessage &reply)
{
    ManagedObjects objects;
    if (reply.arguments().isEmpty() || !reply.arguments().first().canConvert<QDBusArgument>())
        return objects;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{oa{sa{sv}}}"))
        return objects;
    argument >> objects;
    return objects;
}

QStringList stringList(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QStringList>(value.value<QDBusArgument>());
    return value.toStringList();
}

bool offersSerialPort(const QVariantMap &device)
{
    const QStringList uuids = stringList(device.value(QStringLiteral("UUIDs")));
    return std::any_of(uuids.cbegin(), uuids.cend(), [](const QString &uuid) {
        return uuid.compare(QLatin1String(SerialPortProfileUuid), Qt::CaseInsensitive) == 0;
    });
}

} // namespace

QDBusConnection ConnectToSystemBus(const QString &connectionName)
{
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    return address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, connectionName)
                             : QDBusConnection::connectToBus(address, connectionName);
}

QStringList BluetoothPortEntries()
{
    // One connection for every listing; made again when the bus went away.
    static QMutex mutex;
    static QString connectionName;
    QMutexLocker lock(&mutex);
    if (connectionName.isEmpty())
        connectionName = QStringLiteral("aqualumora-bluetooth-ports");
    QDBusConnection bus(connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(connectionName);
        bus = ConnectToSystemBus(connectionName);
        if (!bus.isConnected())
            return {};
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(BluezService, QStringLiteral("/"), ObjectManagerInterface,
                                       QStringLiteral("GetManagedObjects"));
    // A system without BlueZ running is not made to start it just for a menu.
    message.setAutoStartService(false);
    const QDBusMessage reply = bus.call(message, QDBus::Block, ListTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    QStringList entries;
    const ManagedObjects objects = parseManagedObjects(reply);
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        if (!it->contains(DeviceInterface))
            continue;
        const QVariantMap device = it->value(DeviceInterface);
        const QString address = device.value(QStringLiteral("Address")).toString().toUpper();
        if (device.value(QStringLiteral("Name")).toString() != QLatin1String(ControllerBluetoothName)
            || !device.value(QStringLiteral("Paired")).toBool() || !offersSerialPort(device)
            || !IsBluetoothAddress(address))
            continue;
        entries << address + QStringLiteral(" (") + Translate(QStringLiteral("BluetoothPortEntry")) + u')';
    }
    return entries;
}

// --- the profile object BlueZ talks to ------------------------------------------------

// What the profile object and the transports share: the connections BlueZ has handed over
// and not yet been taken, and the sockets in use (so that BlueZ can ask for one to end).
struct ProfileConnections
{
    QMutex mutex;
    QWaitCondition arrived;
    QHash<QString, int> waiting;   // device path -> socket, -1 until it has come
    QHash<QString, int> active;    // device path -> socket of an open transport
};

// org.bluez.Profile1 of the program. Lives on a thread of its own with an event loop, so
// BlueZ's calls are answered while the link thread waits for ConnectProfile.
class SerialProfile : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.bluez.Profile1")
public:
    // Only BlueZ's calls are served: another process could otherwise end the link.
    SerialProfile(ProfileConnections &connections, const QDBusConnection &bus)
        : m_connections(connections), m_caller(new BluezCaller(bus, this))
    {
    }

public slots:
    void Release() { m_caller->admit(*this); }

    void NewConnection(const QDBusObjectPath &device, const QDBusUnixFileDescriptor &fd, const QVariantMap &)
    {
        if (!m_caller->admit(*this))
            return;
        QMutexLocker lock(&m_connections.mutex);
        auto it = m_connections.waiting.find(device.path());
        // Only a connection this program has asked for is kept; BlueZ closes a refused one.
        if (it == m_connections.waiting.end() || *it >= 0 || !fd.isValid()) {
            lock.unlock();
            sendErrorReply(RejectedError, QStringLiteral("No connection was requested for this device"));
            return;
        }
        const int own = ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
        if (own < 0) {
            const int error = errno;
            lock.unlock();
            sendErrorReply(FailedError, systemMessage(error));
            return;
        }
        *it = own;
        m_connections.arrived.wakeAll();
    }

    void RequestDisconnection(const QDBusObjectPath &device)
    {
        if (!m_caller->admit(*this))
            return;
        // The socket is ended here; the link notices it at its next read or write.
        QMutexLocker lock(&m_connections.mutex);
        if (auto it = m_connections.active.constFind(device.path()); it != m_connections.active.cend())
            ::shutdown(*it, SHUT_RDWR);
    }

private:
    ProfileConnections &m_connections;
    BluezCaller *m_caller;
};

// The program's connection to BlueZ for the serial-port profile: one bus connection and
// one profile object, shared by the transports alive at a time.
class SerialProfileService
{
public:
    SerialProfileService()
        : m_connectionName(QStringLiteral("aqualumora-serial-profile-%1").arg(g_connectionCount.fetchAndAddRelaxed(1))),
          m_bus(ConnectToSystemBus(m_connectionName))
    {
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ManagedObjects>();
        m_thread.setObjectName(QStringLiteral("Bluetooth profile"));
        m_profile = new SerialProfile(m_connections, m_bus);
        m_profile->moveToThread(&m_thread);
        m_thread.start();
        m_registeredObject = m_bus.isConnected()
                             && m_bus.registerObject(ProfilePath, m_profile, QDBusConnection::ExportAllSlots);
    }

    ~SerialProfileService()
    {
        // BlueZ drops the profile when this connection goes; no call that could wait.
        if (m_registeredObject)
            m_bus.unregisterObject(ProfilePath);
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_thread.quit();
        m_thread.wait();
        delete m_profile;
        QMutexLocker lock(&m_connections.mutex);
        for (int fd : std::as_const(m_connections.waiting))
            if (fd >= 0)
                ::close(fd);
    }

    static std::shared_ptr<SerialProfileService> instance()
    {
        static std::mutex mutex;
        static std::weak_ptr<SerialProfileService> current;
        std::lock_guard<std::mutex> lock(mutex);
        std::shared_ptr<SerialProfileService> service = current.lock();
        if (!service) {
            service = std::make_shared<SerialProfileService>();
            current = service;
        }
        return service;
    }

    // Connects the device's serial-port profile and returns the socket in fd.
    Outcome connect(const QString &address, const std::function<bool()> &stop, int timeoutMs, int &fd,
                    QString &devicePath)
    {
        fd = -1;
        if (!m_bus.isConnected()) {
            const QDBusError error = m_bus.lastError();
            if (error.isValid())
                return {error.name(), error.message()};
            return {DisconnectedError,
                    QStringLiteral("Not connected to the system bus")};
        }
        if (!m_registeredObject)
            return {ObjectPathInUseError,
                    QStringLiteral("The serial-port profile could not be offered on the bus")};
        QDBusMessage reply;
        Outcome outcome = call(QStringLiteral("/"), ObjectManagerInterface, QStringLiteral("GetManagedObjects"), {},
                               stop, CallTimeoutMs, &reply);
        if (!outcome.ok())
            return outcome;
        devicePath = devicePathOf(parseManagedObjects(reply), address);
        if (devicePath.isEmpty())
            return Outcome::fromErrno(ENODEV);

        // Registered on every connection: BlueZ may have restarted since the last one.
        QVariantMap options;
        options.insert(QStringLiteral("Name"), QStringLiteral("Aqualumora serial port"));
        options.insert(QStringLiteral("Role"), QStringLiteral("client"));
        options.insert(QStringLiteral("AutoConnect"), false);
        outcome = call(QStringLiteral("/org/bluez"), ProfileManagerInterface, QStringLiteral("RegisterProfile"),
                       {QVariant::fromValue(QDBusObjectPath(ProfilePath)), QString::fromLatin1(SerialPortProfileUuid),
                        options},
                       stop, CallTimeoutMs);
        if (!outcome.ok() && outcome.code != AlreadyExistsError)
            return outcome;

        {
            QMutexLocker lock(&m_connections.mutex);
            m_connections.waiting.insert(devicePath, -1);
        }
        outcome = connectProfile(devicePath, stop, timeoutMs);
        if (outcome.code == AlreadyConnectedError) {
            // A connection of an earlier run that BlueZ has not let go of yet.
            call(devicePath, DeviceInterface, QStringLiteral("DisconnectProfile"),
                 {QString::fromLatin1(SerialPortProfileUuid)}, stop, CallTimeoutMs);
            outcome = connectProfile(devicePath, stop, timeoutMs);
        }
        QMutexLocker lock(&m_connections.mutex);
        if (outcome.ok()) {
            QDeadlineTimer deadline(HandOverWaitMs);
            while (m_connections.waiting.value(devicePath, -1) < 0 && !deadline.hasExpired())
                m_connections.arrived.wait(&m_connections.mutex, deadline);
        }
        const int arrived = m_connections.waiting.take(devicePath);
        if (outcome.ok() && arrived < 0)
            outcome = Outcome::fromErrno(ECONNREFUSED);
        if (!outcome.ok()) {
            if (arrived >= 0)
                ::close(arrived);
            return outcome;
        }
        fd = arrived;
        m_connections.active.insert(devicePath, fd);
        return outcome;
    }

    // The socket is about to be closed: BlueZ's requests no longer reach it.
    void release(const QString &devicePath, int fd)
    {
        QMutexLocker lock(&m_connections.mutex);
        if (m_connections.active.value(devicePath, -1) == fd)
            m_connections.active.remove(devicePath);
    }

private:
    Outcome connectProfile(const QString &devicePath, const std::function<bool()> &stop, int timeoutMs)
    {
        return call(devicePath, DeviceInterface, QStringLiteral("ConnectProfile"),
                    {QString::fromLatin1(SerialPortProfileUuid)}, stop, timeoutMs);
    }

    static QString devicePathOf(const ManagedObjects &objects, const QString &address)
    {
        for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
            if (it->contains(DeviceInterface)
                && it->value(DeviceInterface).value(QStringLiteral("Address")).toString().compare(address, Qt::CaseInsensitive) == 0)
                return it.key().path();
        }
        return {};
    }

    // A call that gives up as soon as stop says so, without waiting for BlueZ's answer.
    Outcome call(const QString &path, const QString &interface, const QString &method, const QVariantList &args,
                 const std::function<bool()> &stop, int timeoutMs, QDBusMessage *reply = nullptr)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(BluezService, path, interface, method);
        message.setArguments(args);
        QDBusPendingCall pending = m_bus.asyncCall(message, timeoutMs);
        while (!pending.isFinished()) {
            if (stop && stop())
                return Outcome::fromErrno(ECANCELED);
            QThread::msleep(CallPollMs);
        }
        const QDBusMessage answer = pending.reply();
        if (answer.type() == QDBusMessage::ErrorMessage)
            return {answer.errorName(), answer.errorMessage()};
        if (reply)
            *reply = answer;
        return {};
    }

    QString m_connectionName;
    QDBusConnection m_bus;
    QThread m_thread;
    SerialProfile *m_profile = nullptr;
    bool m_registeredObject = false;
    ProfileConnections m_connections;
};

// --- BluetoothTransport ------------------------------------------------------------------

BluetoothTransport::BluetoothTransport() = default;

BluetoothTransport::~BluetoothTransport()
{
    close();
}

void BluetoothTransport::fail(const char *fixedPart, int error)
{
    throw SerialError(failureText(fixedPart, Outcome::fromErrno(error)));
}

void BluetoothTransport::open()
{
    if (isOpen())
        return;
    if (!IsBluetoothAddress(m_name))
        throw SerialError(failureText("Unable to open com port", Outcome::fromErrno(EINVAL)));
    if (!m_service)
        m_service = SerialProfileService::instance();
    int fd = -1;
    const Outcome outcome = m_service->connect(m_name, m_stopCheck, m_connectTimeoutMs, fd, m_devicePath);
    if (!outcome.ok())
        throw SerialError(failureText("Unable to open com port", outcome));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        const int error = errno;
        m_service->release(m_devicePath, fd);
        ::close(fd);
        fail("SetCommState function failed", error);
    }
    m_fd = fd;
}

void BluetoothTransport::close()
{
    if (m_fd < 0)
        return;
    m_service->release(m_devicePath, m_fd);
    // Ends the RFCOMM link itself, also for the copy BlueZ holds.
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
}

void BluetoothTransport::clearBuffers()
{
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    char scratch[512];
    for (;;) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n == 0)
            fail("PurgeComm function failed", ECONNRESET);   // the far side has gone
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        fail("PurgeComm function failed", errno);
    }
}

qint64 BluetoothTransport::write(const QByteArray &data)
{
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    return writeDescriptor({m_fd, true, ECONNRESET}, data);
}

qint64 BluetoothTransport::read(char *buf, qint64 count)
{
    m_interrupted = false;
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    // A socket the device has closed reads as end of file.
    return readDescriptor({m_fd, true, ECONNRESET}, buf, 0, count);
}

#include "bluetooth_transport.moc"
