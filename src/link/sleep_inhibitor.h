// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QString>

// logind's delay lock on sleep (org.freedesktop.login1.Manager.Inhibit("sleep", ..., "delay")):
// while it is held, a suspend waits (at most logind's InhibitDelayMaxSec) until it is released,
// so the program can save its backup and close the port first. The lock is the file
// descriptor logind hands out; closing it releases the lock.
class SleepInhibitor : public QObject
{
    Q_OBJECT
public:
    explicit SleepInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // Asks for a lock unless one is held or asked for already. The answer comes later; a
    // refusal or a bus without logind leaves the program without a lock and says nothing.
    void acquire();
    // Closes the lock at once; a lock still being asked for is closed when it arrives.
    void release();

    bool isHeld() const { return m_fd >= 0; }
    // The error of the last refused request, empty when none (for the debug log).
    QString lastError() const { return m_lastError; }

signals:
    void heldChanged(bool held);

private:
    QDBusConnection m_bus;
    int m_fd = -1;
    bool m_asking = false;
    bool m_wanted = false;
    QString m_lastError;
};
