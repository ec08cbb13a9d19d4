// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/sleep_inhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

SleepInhibitor::SleepInhibitor(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {}

SleepInhibitor::~SleepInhibitor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void SleepInhibitor::acquire()
{
    m_wanted = true;
    if (m_fd >= 0 || m_asking || !m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Aqualumora")
         << QStringLiteral("Saving the lamp controller's backup and closing its port") << QStringLiteral("delay");
    m_asking = true;
    // Asynchronous: a slow or missing login manager never holds up the window.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isError()) {
            m_lastError = reply.error().message();
            return;
        }
        m_lastError.clear();
        // Our own copy: the reply's copies are closed when the reply goes, ours when we release.
        const QDBusUnixFileDescriptor lock = reply.value();
        const int fd = lock.isValid() ? ::fcntl(lock.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
        if (fd < 0)
            return;
        if (!m_wanted) {   // released while the answer was on its way
            ::close(fd);
            return;
        }
        m_fd = fd;
        emit heldChanged(true);
    });
}

void SleepInhibitor::release()
{
    m_wanted = false;
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    emit heldChanged(false);
}
