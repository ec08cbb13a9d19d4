// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ports.h"

#include "presentation/localization.h"
#include "link/bluetooth_transport.h"
#include "link/sleep_inhibitor.h"

#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSocketNotifier>

#include <exception>

#ifdef AQ_HAVE_LIBUDEV
#include <cerrno>
#include <libudev.h>
#include <unistd.h>
#endif

namespace {

QMutex simulatedMutex;
QStringList simulatedPorts;

const QString PortKey = QStringLiteral("Port");

// On Windows this is HKEY_CURRENT_USER\Software\Aqualumora; elsewhere the per-user
// settings file of the organization.
QSettings portSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
}

// Started port watchers; a change of the simulated ports or of the paired Bluetooth
// controllers wakes them (no device notice does).
QMutex watchersMutex;
QList<SerialPortWatcher *> watchers;

} // namespace

void WakePortWatchers()
{
    QMutexLocker lock(&watchersMutex);
    for (SerialPortWatcher *w : std::as_const(watchers))
        QMetaObject::invokeMethod(w, "look", Qt::QueuedConnection);
}

QString PortEntry(const QSerialPortInfo &info)
{
    const QString detail = info.description().isEmpty() ? info.systemLocation() : info.description();
    return info.portName() + QStringLiteral(" (") + detail + u')';
}

void RegisterSimulatedPort(const QString &devicePath)
{
    QMutexLocker lock(&simulatedMutex);
    if (!simulatedPorts.contains(devicePath))
        simulatedPorts.append(devicePath);
    lock.unlock();
    WakePortWatchers();
}

void UnregisterSimulatedPort(const QString &devicePath)
{
    QMutexLocker lock(&simulatedMutex);
    simulatedPorts.removeAll(devicePath);
    lock.unlock();
    WakePortWatchers();
}

QString SimulatedPortEntry(const QString &devicePath)
{
    // Before a language table is loaded the key itself would come back.
    QString description = Translate(QStringLiteral("SimulatedController"));
    if (description == QLatin1String("SimulatedController"))
        description = QStringLiteral("Simulated controller");
    return devicePath + QStringLiteral(" (") + description + u')';
}

QStringList AvailablePortEntries()
{
    QStringList entries;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        entries.append(PortEntry(info));
    {
        QMutexLocker lock(&simulatedMutex);
        for (const QString &path : std::as_const(simulatedPorts))
            entries.append(SimulatedPortEntry(path));
    }
    // Last, as a port that has just come: a controller paired a moment ago is the entry
    // that the new-port notice takes.
    entries.append(BluetoothPortEntries());
    return entries;
}

void ListPorts(QStringList &portList, const PortLogFn &addLog)
{
    addLog(Translate("ListingSerialPorts"));
    try {
        const QStringList entries = AvailablePortEntries();
        for (const QString &entry : entries)
            addLog(entry);
        portList = entries;
    } catch (const std::exception &e) {
        addLog(QString::fromLocal8Bit(e.what()));
    }
    if (portList.isEmpty())
        addLog(Translate("NoSerialPorts"));
}

bool IsRememberablePort(const QString &portEntry)
{
    const QString port = portEntry.section(u' ', 0, 0);
    if (port.isEmpty() || portEntry.endsWith(QStringLiteral(" (Simulated controller)")) ||
        portEntry == SimulatedPortEntry(port))
        return false;
    {
        QMutexLocker lock(&simulatedMutex);
        if (simulatedPorts.contains(port))
            return false;
    }
    // The number of a pseudo-terminal goes to the next terminal opened once its creator is
    // gone; remembered, it would make a later start write into someone's shell. A link to
    // one counts the same, unless it is already gone.
    const auto isPseudoTerminal = [](const QString &path) {
        return path.startsWith(QStringLiteral("/dev/pts/")) || path == QStringLiteral("/dev/ptmx");
    };
    if (isPseudoTerminal(port))
        return false;
    const QFileInfo info(port);
    if (info.isSymLink() && isPseudoTerminal(info.canonicalFilePath()))
        return false;
    return true;
}

void SavePort(const QString &portName, const PortLogFn &addLog)
{
    if (!IsRememberablePort(portName))
        return;
    QSettings settings = portSettings();
    settings.setValue(PortKey, portName);
    settings.sync();
    addLog(QStringLiteral("Written to registry: ") + portName);
}

bool LoadPort(QString &portName, const PortLogFn &addLog)
{
    const QSettings settings = portSettings();
    if (settings.allKeys().isEmpty())
        return false;
    portName = settings.value(PortKey).toString();
    // Earlier versions remembered the built-in simulator's pseudo-terminal.
    if (!portName.isEmpty() && !IsRememberablePort(portName))
        portName.clear();
    addLog(QStringLiteral("Read from registry: ") + portName);
    return true;
}

void ForgetPort()
{
    QSettings settings = portSettings();
    settings.clear();
    settings.sync();
}

// --- SerialPortWatcher ---------------------------------------------------------------------

SerialPortWatcher::SerialPortWatcher(QObject *parent, int intervalMs, Source source)
    : QObject(parent), m_source(source)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SerialPortWatcher::look);
    m_settle.setSingleShot(true);
    m_settle.setInterval(500);
    connect(&m_settle, &QTimer::timeout, this, &SerialPortWatcher::look);
}

SerialPortWatcher::~SerialPortWatcher()
{
    stop();
}

void SerialPortWatcher::start()
{
    stop();
    const QStringList entries = AvailablePortEntries();
    m_known = QSet<QString>(entries.begin(), entries.end());
    {
        QMutexLocker lock(&watchersMutex);
        watchers.append(this);
    }
    if (m_source == Source::Comparison || !openMonitor())
        m_timer.start();
}

void SerialPortWatcher::stop()
{
    {
        QMutexLocker lock(&watchersMutex);
        watchers.removeAll(this);
    }
    m_timer.stop();
    m_settle.stop();
    closeMonitor();
}

QStringList SerialPortWatcher::newEntries(const QSet<QString> &known, const QStringList &now)
{
    QStringList arrived;
    for (const QString &entry : now)
        if (!known.contains(entry) && !arrived.contains(entry))
            arrived.append(entry);
    return arrived;
}

void SerialPortWatcher::look()
{
    // Queued wake-ups may still arrive after stop().
    if (!m_timer.isActive() && !m_monitor)
        return;
    const QStringList entries = AvailablePortEntries();
    const QStringList arrived = newEntries(m_known, entries);
    // Emitted after updating, so a receiver that lists the ports itself sees the same state.
    m_known = QSet<QString>(entries.begin(), entries.end());
    for (const QString &entry : arrived)
        emit serialPortArrived(entry);
}

#ifdef AQ_HAVE_LIBUDEV

bool SerialPortWatcher::openMonitor()
{
    m_udev = udev_new();
    if (!m_udev)
        return false;
    // udev's own notices come once the device is set up (node, permissions, properties). Where
    // no udev daemon runs (containers, some WSL set-ups) the kernel's notices are all there is.
    const bool daemon = ::access("/run/udev/control", F_OK) == 0;
    m_monitor = udev_monitor_new_from_netlink(m_udev, daemon ? "udev" : "kernel");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0 || udev_monitor_get_fd(m_monitor) < 0) {
        closeMonitor();
        return false;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SerialPortWatcher::readNotices);
    return true;
}

void SerialPortWatcher::closeMonitor()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    if (m_udev)
        udev_unref(m_udev);
    m_udev = nullptr;
}

void SerialPortWatcher::readNotices()
{
    // The socket does not block: take every waiting notice, then look once. Removals count
    // too, so that a port that leaves and comes back is reported again. When the socket's
    // buffer ran over, notices were lost: look as well.
    bool changed = false;
    errno = 0;
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(device);
        if (action && (qstrcmp(action, "add") == 0 || qstrcmp(action, "remove") == 0))
            changed = true;
        udev_device_unref(device);
        errno = 0;
    }
    if (!changed && errno != ENOBUFS)
        return;
    look();
    m_settle.start();
}

#else

bool SerialPortWatcher::openMonitor()
{
    return false;
}

void SerialPortWatcher::closeMonitor() {}

void SerialPortWatcher::readNotices() {}

#endif

// --- PowerWatcher --------------------------------------------------------------------------

PowerWatcher::PowerWatcher(QObject *parent) : QObject(parent)
{
    listen(QDBusConnection::systemBus());
}

PowerWatcher::PowerWatcher(const QDBusConnection &bus, QObject *parent) : QObject(parent)
{
    listen(bus);
}

void PowerWatcher::listen(QDBusConnection bus)
{
    if (!bus.isConnected())
        return;
    m_listening = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                              QStringLiteral("org.freedesktop.login1.Manager"),
                              QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    if (!m_listening)
        return;
    m_inhibitor = new SleepInhibitor(bus, this);
    m_inhibitor->acquire();
}

bool PowerWatcher::holdsSleepLock() const { return m_inhibitor && m_inhibitor->isHeld(); }

void PowerWatcher::onPrepareForSleep(bool start)
{
    if (!start) {
        // Ready for the next suspend before anything else happens.
        m_inhibitor->acquire();
        emit powerEvent(ResumeEvent);
        emit resumed();
        return;
    }
    // The handlers run now, while the lock holds the suspend back; the lock goes also when
    // one of them throws, so that the system never waits for us longer than needed.
    const auto release = qScopeGuard([this] { m_inhibitor->release(); });
    emit powerEvent(SuspendEvent);
    emit suspending();
}
