// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Desktop notifications through org.freedesktop.Notifications. The call is sent without
// waiting for its answer; where there is no session bus or nobody serves the name, nothing
// is shown and nothing is reported (the caller logs every alert anyway).

#include <QDBusConnection>
#include <QObject>
#include <QString>

class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    // By default the session bus; tests pass a private one.
    explicit DesktopNotifier(QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    // Sends one notification; false when there is no bus to send it on.
    bool notify(const QString &summary, const QString &body, bool urgent);

    // Answers that came back as errors (no such service, ...), for tests.
    int failures() const { return m_failures; }
    int sent() const { return m_sent; }

private:
    QDBusConnection m_bus;
    int m_failures = 0;
    int m_sent = 0;
};
