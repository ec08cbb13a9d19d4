// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluez_stand_in.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/simulated_controller.h"

namespace {

const QString SerialPortUuid = QStringLiteral("00001101-0000-1000-8000-00805f9b34fb");
const QString AdapterPath = QStringLiteral("/org/bluez/hci0");
const QString DeviceInterface = QStringLiteral("org.bluez.Device1");
const QString AdapterInterface = QStringLiteral("org.bluez.Adapter1");

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;

} // namespace

// --- PrivateBus ----------------------------------------------------------------------------

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

bool PrivateBus::start(QString &error)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        error = QStringLiteral("dbus-daemon is not installed (tools/bootstrap.sh installs it)");
        return false;
    }
    // An abstract socket and a policy that lets every user in, so that a program started
    // as another user can join, as it joins the system bus.
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <listen>unix:tmpdir=/tmp</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow user=\"*\"/>\n"
               "    <allow own=\"*\"/>\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "  </policy>\n"
               "</busconfig>\n");
    file.close();
    m_daemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000)) {
        error = m_daemon.errorString();
        return false;
    }
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(5000)) {
            error = QStringLiteral("dbus-daemon did not say its address: ") +
                    QString::fromLocal8Bit(m_daemon.readAllStandardError());
            return false;
        }
    }
    m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
    return !m_address.isEmpty();
}

// --- FarEnd ----------------------------------------------------------------------------------

FarEnd::FarEnd(int fd, std::shared_ptr<SimulatedController> controller) : m_fd(fd), m_controller(std::move(controller))
{
    if (::pipe(m_wake) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_controller->resetInput();
    m_thread = std::thread(&FarEnd::serve, this);
}

FarEnd::~FarEnd()
{
    close();
    for (int &fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void FarEnd::close()
{
    if (m_thread.joinable()) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    if (m_fd >= 0) {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_fd = -1;
    }
    m_alive = false;
}

void FarEnd::serve()
{
    char buffer[512];
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            return;
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            break;   // the program has closed its end
        }
        const QByteArray answer = m_controller->feed(QByteArrayView(buffer, n));
        qsizetype sent = 0;
        while (sent < answer.size()) {
            const ssize_t w = ::send(m_fd, answer.constData() + sent, size_t(answer.size() - sent), MSG_NOSIGNAL);
            if (w <= 0)
                break;
            sent += w;
        }
    }
    m_alive = false;
}

// --- the stand-in's objects -----------------------------------------------------------------

class StandInWorker : public QObject
{
    Q_OBJECT
public:
    StandInWorker(std::shared_ptr<SimulatedController> controller) : m_controller(std::move(controller)) {}
    ~StandInWorker() override { m_farEnd.reset(); }

    void handle(const QDBusMessage &message);

    QDBusConnection bus{QString()};
    mutable QMutex mutex;
    bool exists = true;
    bool paired = false;
    bool trusted = false;
    bool serialPort = true;
    bool connectable = true;
    int connections = 0;
    qint64 profileUid = -1;
    QString profileOwner;
    QString profilePath;
    QStringList calls;
    std::unique_ptr<FarEnd> m_farEnd;

private:
    QVariantMap deviceProperties() const;
    void reply(const QDBusMessage &message, const QVariantList &args = {}) { bus.send(message.createReply(args)); }
    void error(const QDBusMessage &message, const QString &name, const QString &text)
    {
        bus.send(message.createErrorReply(name, text));
    }
    void connectProfile(const QDBusMessage &message);

    std::shared_ptr<SimulatedController> m_controller;
};

QVariantMap StandInWorker::deviceProperties() const
{
    QStringList uuids;
    if (paired) {
        uuids << QStringLiteral("00001200-0000-1000-8000-00805f9b34fb");
        if (serialPort)
            uuids << SerialPortUuid;
    }
    return {
        {QStringLiteral("Address"), QString::fromLatin1(BluezStandIn::Address)},
        {QStringLiteral("Name"), QStringLiteral("Aqualumora")},
        {QStringLiteral("Alias"), QStringLiteral("Aqualumora")},
        {QStringLiteral("Paired"), paired},
        {QStringLiteral("Trusted"), trusted},
        {QStringLiteral("Connected"), bool(m_farEnd && m_farEnd->alive())},
        {QStringLiteral("UUIDs"), uuids},
        {QStringLiteral("Adapter"), QVariant::fromValue(QDBusObjectPath(AdapterPath))},
    };
}

void StandInWorker::handle(const QDBusMessage &message)
{
    const QString path = message.path();
    const QString member = message.member();
    const QVariantList args = message.arguments();
    QMutexLocker lock(&mutex);
    calls << path + u' ' + message.interface() + u'.' + member;
    const bool device = path == QLatin1String(BluezStandIn::DevicePath) && exists;

    if (member == QLatin1String("GetManagedObjects") && path == u"/") {
        ManagedObjects objects;
        objects[QDBusObjectPath(AdapterPath)][AdapterInterface] = {
            {QStringLiteral("Address"), QStringLiteral("00:01:02:03:04:05")}, {QStringLiteral("Powered"), true}};
        if (exists)
            objects[QDBusObjectPath(QString::fromLatin1(BluezStandIn::DevicePath))][DeviceInterface] = deviceProperties();
        reply(message, {QVariant::fromValue(objects)});
    } else if (member == QLatin1String("GetAll") && device) {
        reply(message, {deviceProperties()});
    } else if (member == QLatin1String("Get") && args.size() == 2) {
        const QVariant value = device ? deviceProperties().value(args[1].toString())
                                      : QVariant(QStringLiteral("00:01:02:03:04:05"));
        reply(message, {QVariant::fromValue(QDBusVariant(value))});
    } else if (member == QLatin1String("Set") && device && args.size() == 3) {
        if (args[1].toString() == QLatin1String("Trusted"))
            trusted = args[2].value<QDBusVariant>().variant().toBool();
        reply(message);
    } else if (member == QLatin1String("RegisterProfile") && args.size() == 3) {
        const QString owner = message.service();
        const QString object = args[0].value<QDBusObjectPath>().path();
        if (owner == profileOwner && object == profilePath) {
            error(message, QStringLiteral("org.bluez.Error.AlreadyExists"), QStringLiteral("Already Exists"));
            return;
        }
        profileOwner = owner;
        profilePath = object;
        lock.unlock();
        const qint64 uid = bus.interface()->serviceUid(owner).value();
        lock.relock();
        profileUid = uid;
        reply(message);
    } else if (member == QLatin1String("UnregisterProfile")) {
        profileOwner.clear();
        profilePath.clear();
        reply(message);
    } else if (member == QLatin1String("Pair") && device) {
        if (paired) {
            error(message, QStringLiteral("org.bluez.Error.AlreadyExists"), QStringLiteral("Already Exists"));
            return;
        }
        paired = true;
        reply(message);
    } else if (member == QLatin1String("ConnectProfile") && device) {
        lock.unlock();
        connectProfile(message);
    } else if (member == QLatin1String("DisconnectProfile") && device) {
        std::unique_ptr<FarEnd> end = std::move(m_farEnd);
        lock.unlock();
        end.reset();
        reply(message);
    } else if (member == QLatin1String("RemoveDevice") && path == AdapterPath) {
        exists = false;
        paired = trusted = false;
        reply(message);
    } else if (path == AdapterPath || path == QLatin1String("/org/bluez")) {
        // Discovery, its filter and the agent: nothing to simulate.
        reply(message);
    } else {
        error(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"), path);
    }
}

void StandInWorker::connectProfile(const QDBusMessage &message)
{
    QMutexLocker lock(&mutex);
    const QString uuid = message.arguments().value(0).toString();
    if (!paired || uuid.compare(SerialPortUuid, Qt::CaseInsensitive) != 0 || !serialPort || profileOwner.isEmpty()) {
        error(message, QStringLiteral("org.bluez.Error.NotAvailable"), QStringLiteral("Operation currently not available"));
        return;
    }
    if (!connectable) {
        error(message, QStringLiteral("org.bluez.Error.Failed"), QStringLiteral("br-connection-page-timeout"));
        return;
    }
    if (m_farEnd && m_farEnd->alive()) {
        error(message, QStringLiteral("org.bluez.Error.AlreadyConnected"), QStringLiteral("Already Connected"));
        return;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        error(message, QStringLiteral("org.bluez.Error.Failed"), QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    m_farEnd = std::make_unique<FarEnd>(pair[0], m_controller);
    const QString owner = profileOwner;
    const QString object = profilePath;
    lock.unlock();
    // As BlueZ does: NewConnection first, ConnectProfile's answer after it.
    QDBusMessage call = QDBusMessage::createMethodCall(owner, object, QStringLiteral("org.bluez.Profile1"),
                                                       QStringLiteral("NewConnection"));
    call.setArguments({QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(BluezStandIn::DevicePath))),
                       QVariant::fromValue(QDBusUnixFileDescriptor(pair[1])), QVariantMap()});
    const QDBusMessage answer = bus.call(call, QDBus::Block, 10000);
    ::close(pair[1]);
    lock.relock();
    if (answer.type() != QDBusMessage::ReplyMessage) {
        std::unique_ptr<FarEnd> end = std::move(m_farEnd);
        lock.unlock();
        end.reset();
        error(message, QStringLiteral("org.bluez.Error.Failed"), answer.errorMessage());
        return;
    }
    ++connections;
    reply(message);
}

// Every call to org.bluez arrives here, on the stand-in's own thread (the object lives
// there), which may wait for the program without holding up the test's thread.
class StandInObject : public QDBusVirtualObject
{
public:
    explicit StandInObject(StandInWorker *worker) : m_worker(worker) {}
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        m_worker->handle(message);
        return true;
    }

private:
    StandInWorker *m_worker;
};

// --- BluezStandIn ----------------------------------------------------------------------------

BluezStandIn::BluezStandIn(std::shared_ptr<SimulatedController> controller)
{
    static int count = 0;
    m_connectionName = QStringLiteral("bluez-stand-in-%1").arg(++count);
    qDBusRegisterMetaType<InterfaceMap>();
    qDBusRegisterMetaType<ManagedObjects>();
    m_worker = new StandInWorker(std::move(controller));
    m_worker->moveToThread(&m_thread);
    m_object = nullptr;
    m_thread.start();
}

BluezStandIn::~BluezStandIn()
{
    QDBusConnection bus(m_connectionName);
    bus.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
    bus.unregisterService(QStringLiteral("org.bluez"));
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
    delete static_cast<StandInObject *>(m_object);
}

bool BluezStandIn::start(const QString &busAddress)
{
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    if (!bus.isConnected())
        return false;
    m_worker->bus = bus;
    auto *object = new StandInObject(m_worker);
    m_object = object;
    const bool registered = bus.registerVirtualObject(QStringLiteral("/"), object, QDBusConnection::SubPath);
    object->moveToThread(&m_thread);
    return registered && bus.registerService(QStringLiteral("org.bluez"));
}

void BluezStandIn::setDevice(bool paired, bool serialPort, bool connectable)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->exists = true;
    m_worker->paired = paired;
    m_worker->trusted = paired;
    m_worker->serialPort = serialPort;
    m_worker->connectable = connectable;
}

void BluezStandIn::setConnectable(bool connectable)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->connectable = connectable;
}

bool BluezStandIn::paired() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->paired;
}

bool BluezStandIn::trusted() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->trusted;
}

void BluezStandIn::dropConnection()
{
    QMutexLocker lock(&m_worker->mutex);
    if (m_worker->m_farEnd)
        m_worker->m_farEnd->close();
}

int BluezStandIn::connections() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->connections;
}

QString BluezStandIn::profileOwner() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->profileOwner;
}

QString BluezStandIn::profilePath() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->profilePath;
}

qint64 BluezStandIn::profileOwnerUid() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->profileUid;
}

QStringList BluezStandIn::calls() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->calls;
}

#include "bluez_stand_in.moc"
