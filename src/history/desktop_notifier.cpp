// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/desktop_notifier.h"

#include "app/build_info.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

constexpr uchar UrgencyNormal = 1;
constexpr uchar UrgencyCritical = 2;
// Expiry: -1 the server's default, 0 never.
constexpr int ServerDefault = -1;
constexpr int Never = 0;

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    // An alert the user dismissed is gone: its end is then told by a new notice alone.
    if (m_bus.isConnected())
        m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                      SLOT(notificationClosed(uint, uint)));
}

bool DesktopNotifier::notify(const QString &summary, const QString &body, bool urgent)
{
    return send(summary, body, urgent ? UrgencyCritical : UrgencyNormal, 0, urgent ? Never : ServerDefault);
}

bool DesktopNotifier::alert(const QString &tag, const QString &summary, const QString &body)
{
    const auto known = m_alerts.constFind(tag);
    const uint replaces = known == m_alerts.cend() ? 0 : known->id;
    if (known == m_alerts.cend())
        m_alerts.insert(tag, Alert{});
    return send(summary, body, UrgencyCritical, replaces, Never, [this, tag](uint id) {
        auto it = m_alerts.find(tag);
        if (it == m_alerts.end()) // withdrawn before the answer came: the id belongs to nobody
            return close(id);
        if (!id) { // the call failed: nothing is on the desktop
            m_alerts.erase(it);
            return;
        }
        // Two texts sent before the first answer came give two notifications: one stays.
        if (it->id && it->id != id)
            close(it->id);
        it->id = id;
        if (it->closeWhenKnown) {
            close(id);
            m_alerts.erase(it);
        }
    });
}

bool DesktopNotifier::alertEnded(const QString &tag, const QString &summary, const QString &body)
{
    alertWithdrawn(tag);
    return send(summary, body, UrgencyNormal, 0, EndNoticeMs);
}

void DesktopNotifier::alertWithdrawn(const QString &tag)
{
    auto it = m_alerts.find(tag);
    if (it == m_alerts.end())
        return;
    if (it->id) {
        close(it->id);
        m_alerts.erase(it);
    } else {
        it->closeWhenKnown = true;
    }
}

void DesktopNotifier::notificationClosed(uint id, uint)
{
    for (auto it = m_alerts.begin(); it != m_alerts.end(); ++it)
        if (it->id == id) {
            m_alerts.erase(it);
            return;
        }
}

void DesktopNotifier::close(uint id)
{
    if (!id || !m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("CloseNotification"));
    call << id;
    m_bus.send(call);
}

bool DesktopNotifier::send(const QString &summary, const QString &body, uchar urgency, uint replaces, int expireMs,
                           IdHandler done)
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(urgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(AQ_APP_ID));
    call << QStringLiteral("Aqualumora") << replaces << QStringLiteral(AQ_APP_ID) << summary << body << QStringList()
         << hints << expireMs;
    ++m_sent;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, done](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            ++m_failures;
        if (done)
            done(reply.isError() ? 0 : reply.value());
        w->deleteLater();
    });
    return true;
}
