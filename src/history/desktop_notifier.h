// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Desktop notifications through org.freedesktop.Notifications. Calls are sent without
// waiting for their answer; where there is no session bus or nobody serves the name, nothing
// is shown and nothing is reported (the caller logs every alert anyway).
//
// An alert is a notification with a tag (which condition of which controller): it stays on
// the desktop until its condition ends, and then it is closed and a short notice of the end
// takes its place. The id the server gives an alert arrives later than the call; an end that
// comes before it is carried out once the id is known.

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    // How long a notice of an ended condition stays on the screen.
    static constexpr int EndNoticeMs = 6000;

    // By default the session bus; tests pass a private one.
    explicit DesktopNotifier(QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    // Sends one notification; false when there is no bus to send it on. An urgent one stays
    // until the user dismisses it, any other goes after the server's usual time.
    bool notify(const QString &summary, const QString &body, bool urgent);

    // The condition `tag` began (or its text changed): a notification that stays until
    // alertEnded or alertWithdrawn. A tag that is already shown has its notification replaced.
    bool alert(const QString &tag, const QString &summary, const QString &body);
    // The condition ended: its notification is closed and `body` shown for a few seconds.
    bool alertEnded(const QString &tag, const QString &summary, const QString &body);
    // The condition is no longer watched: its notification is closed, nothing else shown.
    void alertWithdrawn(const QString &tag);
    // Tags whose alert is on the desktop (or on its way there).
    QStringList openAlerts() const { return m_alerts.keys(); }

    // Answers that came back as errors (no such service, ...), for tests.
    int failures() const { return m_failures; }
    int sent() const { return m_sent; }

private slots:
    void notificationClosed(uint id, uint reason);

private:
    struct Alert {
        uint id = 0; // 0 while the server's answer is on its way
        bool closeWhenKnown = false;
    };
    using IdHandler = std::function<void(uint id)>;
    bool send(const QString &summary, const QString &body, uchar urgency, uint replaces, int expireMs,
              IdHandler done = {});
    void close(uint id);

    QDBusConnection m_bus;
    QHash<QString, Alert> m_alerts;
    int m_failures = 0;
    int m_sent = 0;
};
