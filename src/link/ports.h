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

// Reports serial ports that appear, by comparing the port list every interval.
class SerialPortWatcher : public QObject
{
    Q_OBJECT
public:
    // Event code and device type of a port arrival, for the debug lines of the window.
    static constexpr int DeviceArrivalEvent = 0x8000;
    static constexpr int DeviceTypePort = 3;

    explicit SerialPortWatcher(QObject *parent = nullptr, int intervalMs = 1000);
    void start();
    void stop();

signals:
    // One entry that was not listed at the previous look.
    void serialPortArrived(const QString &entry);

private:
    void look();

    QTimer m_timer;
    QSet<QString> m_known;
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
