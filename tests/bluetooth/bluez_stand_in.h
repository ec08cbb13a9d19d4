// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private message bus that any user may join, and a BlueZ stand-in on it: one adapter
// and one controller device, with the calls the program makes (object listing,
// properties, discovery, pairing, the profile manager and Device1.ConnectProfile). A
// connected profile gets one end of a socket pair in its NewConnection; a simulated
// controller serves the other end.
#include <QDBusConnection>
#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

class SimulatedController;

class PrivateBus
{
public:
    ~PrivateBus();
    // Starts dbus-daemon on an abstract socket; false with the reason in error.
    bool start(QString &error);
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// Serves one socket with the simulated controller on a thread of its own.
class FarEnd
{
public:
    FarEnd(int fd, std::shared_ptr<SimulatedController> controller);
    ~FarEnd();
    // Closes the socket: the program's end reads end-of-file.
    void close();
    // False once either side has closed.
    bool alive() const { return m_alive; }

private:
    void serve();
    int m_fd;
    int m_wake[2] = {-1, -1};
    std::shared_ptr<SimulatedController> m_controller;
    std::atomic<bool> m_alive{true};
    std::thread m_thread;
};

class StandInWorker;

class BluezStandIn
{
public:
    static constexpr const char *Address = "00:11:22:AA:BB:CC";
    static constexpr const char *DevicePath = "/org/bluez/hci0/dev_00_11_22_AA_BB_CC";

    explicit BluezStandIn(std::shared_ptr<SimulatedController> controller);
    ~BluezStandIn();
    // Takes the name org.bluez on the bus; false when that fails.
    bool start(const QString &busAddress);

    // The device: paired or not, offering the serial-port service or not, answering a
    // connection or not (its radio out of reach).
    void setDevice(bool paired, bool serialPort, bool connectable);
    void setConnectable(bool connectable);
    bool paired() const;
    bool trusted() const;
    // Ends the current connection from the controller's side.
    void dropConnection();
    // Connections handed to the program so far.
    int connections() const;
    // The user id of the connection that registered the profile last; -1 before.
    qint64 profileOwnerUid() const;
    // The bus name and object path of the profile registered last (empty before).
    QString profileOwner() const;
    QString profilePath() const;
    // Every method called, as "path interface.member".
    QStringList calls() const;

private:
    friend class StandInWorker;
    QString m_connectionName;
    QThread m_thread;
    StandInWorker *m_worker = nullptr;
    QObject *m_object = nullptr;
};
