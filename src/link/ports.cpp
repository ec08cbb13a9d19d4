#include "link/ports.h"

#include "app/localization.h"
#include "link/bluetooth_transport.h"
#include "link/sleep_inhibitor.h"

#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QSettings>

#include <exception>

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

} // namespace

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
}

void UnregisterSimulatedPort(const QString &devicePath)
{
    QMutexLocker lock(&simulatedMutex);
    simulatedPorts.removeAll(devicePath);
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
            entries.append(path + QStringLiteral(" (Simulated controller)"));
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
    if (port.isEmpty() || portEntry.endsWith(QStringLiteral(" (Simulated controller)")))
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

SerialPortWatcher::SerialPortWatcher(QObject *parent, int intervalMs) : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SerialPortWatcher::look);
}

void SerialPortWatcher::start()
{
    const QStringList entries = AvailablePortEntries();
    m_known = QSet<QString>(entries.begin(), entries.end());
    m_timer.start();
}

void SerialPortWatcher::stop()
{
    m_timer.stop();
}

void SerialPortWatcher::look()
{
    const QStringList entries = AvailablePortEntries();
    QSet<QString> now(entries.begin(), entries.end());
    // Emitted after updating, so a receiver that lists the ports itself sees the same state.
    QStringList arrived;
    for (const QString &entry : entries)
        if (!m_known.contains(entry))
            arrived.append(entry);
    m_known = std::move(now);
    for (const QString &entry : std::as_const(arrived))
        emit serialPortArrived(entry);
}

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
