// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who holds a port. Every instance of this program (a window, a background service, a
// one-shot command) claims the port it connects to with a lock file in the user's runtime
// folder, so another instance that wants the same port learns at once which process has it
// and how to end that, instead of failing to open it over and over. The lock is an flock on
// an open file: the system drops it when the holder ends, however it ends.
//
// A serial device held by some other program is found in /proc instead (only processes of
// this user are visible there).

#include <QString>

#include <optional>
#include <vector>

struct PortHolder {
    qint64 pid = 0;
    QString program;   // its command line, shortened: "aqualumora --headless ttyUSB0"
    QString unit;      // the systemd unit it runs in ("aqualumora@ttyUSB0.service"), if any
    bool userUnit = false;
};

// What the program knows of a running process (pid 0 or gone: nothing but the pid).
PortHolder DescribeProcess(qint64 pid);
// The log line naming the holder of port and how to stop it.
QString PortBusyText(const QString &port, const PortHolder &holder);

// What kind of program holds a port, for the remedy the log gives with its name. Two system
// services take serial ports on their own: ModemManager probes new ones for a modem, brltty
// claims many USB serial adapters for a braille display.
enum class HolderKind { ThisProgram, ModemManager, Brltty, OtherProgram };
// program: a PortHolder's command line or a process's comm name.
HolderKind HolderKindOf(const QString &program);

// The USB ids of the adapter behind a tty (four hex digits each); empty where it is no USB device.
struct UsbIds {
    QString vendor;
    QString product;
};
UsbIds UsbIdsOf(const QString &devicePath, const QString &sysRoot = QStringLiteral("/sys"));

// A running service that takes serial ports (ModemManager or brltty). It runs as root, so its
// open files are hidden from a user's scan, but its name is not: where an open fails as busy
// and no process of the user holds the device, this is the likely holder.
std::optional<HolderKind> PortTakingService(const QString &procRoot = QStringLiteral("/proc"));

// The log line that says what kind of program holds port and what to do about it.
QString PortHolderRemedy(HolderKind kind, const QString &port, const UsbIds &ids);

class PortClaim
{
public:
    PortClaim() = default;
    ~PortClaim() { release(); }
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;

    // Claims port for this process. When another process holds it, returns that process
    // (nothing is claimed then). A lock folder that cannot be used claims nothing and
    // stops nobody: the port's own open decides then.
    std::optional<PortHolder> acquire(const QString &port);
    void release();
    QString port() const { return m_port; }

    // The folder of the lock files ($XDG_RUNTIME_DIR/aqualumora, else one in /tmp).
    static QString folder();

private:
    int m_fd = -1;
    QString m_port;
};

// Processes other than this one that have the device file open.
std::vector<qint64> ProcessesHolding(const QString &devicePath);
