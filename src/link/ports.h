// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QSerialPortInfo;

using PortLogFn = std::function<void(const QString &)>;

// The port-list entry of a port: name, blank, and in parentheses its description, or its
// system location when it has none: "ttyUSB0 (FT232R USB UART)".
QString PortEntry(const QSerialPortInfo &info);

// A running built-in simulated controller announces its pseudo-terminal here
// ("/dev/pts/4"); it is listed as "/dev/pts/4 (Simulated controller)" until unregistered.
// Safe to call from any thread.
void RegisterSimulatedPort(const QString &devicePath);
void UnregisterSimulatedPort(const QString &devicePath);
// The list entry of a simulated port, its description in the loaded language.
QString SimulatedPortEntry(const QString &devicePath);

// Has every started SerialPortWatcher compare the port list soon. For ports that no
// udev notice announces (simulated ports, a Bluetooth controller just paired). Any thread.
void WakePortWatchers();

// The current entries: the system's serial ports in its order, then the simulated ones,
// then the paired Bluetooth controllers (BluetoothPortEntries).
QStringList AvailablePortEntries();

// Refills portList with the current entries, logging "Listing seral ports...", each entry
// and, when the list ends up empty, "No serial ports found.".
void ListPorts(QStringList &portList, const PortLogFn &addLog);

// Whether a port entry may be remembered: not the built-in simulator's, and no
// pseudo-terminal (nor a link to one), whose number is reused by other terminals.
bool IsRememberablePort(const QString &portEntry);
// The remembered port (value "Port" of the per-user settings of "Aqualumora").
// Errors are ignored silently. A port that may not be remembered is not written (and
// nothing is logged).
void SavePort(const QString &portName, const PortLogFn &addLog);
// When settings exist: portName := "Port" (empty when absent, or when it names a port that
// may not be remembered), logged; returns true. Otherwise portName is left alone and false
// returned.
bool LoadPort(QString &portName, const PortLogFn &addLog);
// Removes every stored value.
void ForgetPort();

struct udev;
struct udev_monitor;
class QSocketNotifier;

// Reports serial ports that appear. Woken by the system's device notices (a udev monitor on the
// tty subsystem) wherever one can be opened; only without one is the port list compared every
// interval. Simulated ports announce themselves, so they are reported either way.
class SerialPortWatcher : public QObject
{
    Q_OBJECT
public:
    // Event code and device type of a port arrival, for the debug lines of the window.
    static constexpr int DeviceArrivalEvent = 0x8000;
    static constexpr int DeviceTypePort = 3;

    enum class Source {
        Automatic,   // device notices, or the comparison when they cannot be had
        Comparison,  // the comparison only
    };

    explicit SerialPortWatcher(QObject *parent = nullptr, int intervalMs = 1000,
                               Source source = Source::Automatic);
    ~SerialPortWatcher() override;
    void start();
    void stop();

    // While started: woken by device notices, or comparing every interval.
    bool usesDeviceNotices() const { return m_monitor != nullptr; }
    bool isComparing() const { return m_timer.isActive(); }

    // The entries of now that known lacks, in the order of now, each once.
    static QStringList newEntries(const QSet<QString> &known, const QStringList &now);

signals:
    // One entry that was not listed at the previous look.
    void serialPortArrived(const QString &entry);

private slots:
    void look();

private:
    bool openMonitor();
    void closeMonitor();
    void readNotices();

    Source m_source;
    QTimer m_timer;   // the comparison
    QTimer m_settle;  // one more look after a notice, for a port listed a moment late
    QSet<QString> m_known;
    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};

class SleepInhibitor;

// Suspend and resume notices of the system (logind's PrepareForSleep on the system bus).
// From the start it holds logind's delay lock on sleep; a suspend waits for the handlers of
// powerEvent and suspending (backup, link stop), then the lock is released and the system
// goes on. After the resume it takes a new one. Without a system bus it stays silent.
class PowerWatcher : public QObject
{
    Q_OBJECT
public:
    // Event codes reported with powerEvent (suspend, resume automatically).
    static constexpr int SuspendEvent = 4;
    static constexpr int ResumeEvent = 18;

    explicit PowerWatcher(QObject *parent = nullptr);
    // Listens on the given bus instead (tests use a private bus).
    PowerWatcher(const QDBusConnection &bus, QObject *parent = nullptr);

    bool isListening() const { return m_listening; }
    bool holdsSleepLock() const;

signals:
    void powerEvent(int code);
    void suspending();
    void resumed();

private slots:
    void onPrepareForSleep(bool start);

private:
    void listen(QDBusConnection bus);
    bool m_listening = false;
    SleepInhibitor *m_inhibitor = nullptr;
};
