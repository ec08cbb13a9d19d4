// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/desktop_notifier.h"

#include "app/build_info.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(QObject *parent) : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {}

bool DesktopNotifier::notify(const QString &summary, const QString &body, bool urgent)
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // 1 normal, 2 critical: a critical one stays until the user dismisses it.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(urgent ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(AQ_APP_ID));
    call << QStringLiteral("Aqualumora") << uint(0) << QStringLiteral(AQ_APP_ID) << summary << body << QStringList()
         << hints << int(-1);
    ++m_sent;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        if (w->isError())
            ++m_failures;
        w->deleteLater();
    });
    return true;
}
