// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Puts a SimulatedController behind a pseudo-terminal, so that the program (or a test)
// opens the slave side like any serial port. The slave is in raw mode: no byte is
// translated, echoed or held back. One worker thread serves the master side.
//
// The device can vanish (the master is closed; whoever holds the slave open then reads
// end-of-file or EIO and sees a hang-up) and come back on a new pseudo-terminal. Since
// the system picks the terminal's number, it may come back under another /dev/pts path;
// with a link path set, a symbolic link at that path always names the current one.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include <QString>
#include <QStringList>

class SimulatedController;

class SimulatorPort
{
public:
    // Runs the given controller, or a new one with the real clock when none is given.
    explicit SimulatorPort(std::shared_ptr<SimulatedController> controller = nullptr);
    // Stops at once, also while the other side holds the slave open.
    ~SimulatorPort();

    SimulatorPort(const SimulatorPort &) = delete;
    SimulatorPort &operator=(const SimulatorPort &) = delete;

    // Optional: keep a symbolic link at this path pointing to the current slave (an
    // existing symbolic link there is replaced; any other file is left alone and start
    // fails). Set it before start().
    void setLinkPath(const QString &path);
    QString linkPath() const;

    // Opens the pseudo-terminal and starts serving. False with errorString() on failure.
    bool start();
    // Stops serving and closes everything; the link is removed. Safe to call repeatedly.
    void stop();
    bool isRunning() const;

    // The slave device (/dev/pts/N) while the device is present, else empty.
    QString slavePath() const;
    // What the program should open: the link path when set, else the slave path.
    QString portPath() const;

    // The device disappears: the master is closed and the link removed. The controller
    // keeps its state.
    void vanish();
    struct Return {
        bool ok = false;
        QString slavePath; // the new slave device
        bool samePath = false; // it has the number it had before vanishing
    };
    // The device is back on a new pseudo-terminal (after vanish(); also when not running).
    Return comeBack();

    // Whether a program holds the slave side open (as far as the master can tell).
    bool clientConnected() const;

    // While it runs, the port path is in the port list (RegisterSimulatedPort), shown with
    // this description.
    static constexpr const char *Description = "Simulated controller";

    SimulatedController &controller();
    std::shared_ptr<SimulatedController> controllerPointer() const;

    QString errorString() const;

private:
    bool openTerminal();
    void closeTerminal();
    void run(int master, int wake);
    // Sends an answer whose first byte starts on the line at start.
    bool writePaced(int master, int wake, const QByteArray &bytes, bool throttle,
                    std::chrono::steady_clock::time_point start);

    std::shared_ptr<SimulatedController> m_controller;
    std::mutex m_control; // one start, stop, vanish or come-back at a time
    mutable std::mutex m_mutex; // guards the paths and the error text
    QString m_linkPath;
    QString m_slavePath;
    QString m_previousSlavePath;
    QString m_error;

    std::thread m_thread;
    int m_master = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_clientConnected{false};
};
