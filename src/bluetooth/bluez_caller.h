// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The objects this program exports on the system bus (the pairing agent, the serial-port
// profile) serve BlueZ alone: any local process may call them, and a stranger's call could
// learn the pairing code or end the link. A call is taken only from the unique name that owns
// org.bluez, learnt from the bus and followed through NameOwnerChanged (BlueZ restarts).
#include <QDBusConnection>
#include <QDBusContext>
#include <QMutex>
#include <QObject>
#include <QString>

class BluezCaller : public QObject
{
    Q_OBJECT
public:
    // Make it a child of the exported object: it then lives on that object's thread.
    BluezCaller(const QDBusConnection &bus, QObject *parent);

    // Whether the call being served comes from BlueZ; otherwise it is answered with
    // org.freedesktop.DBus.Error.AccessDenied. A call not made over D-Bus passes.
    bool admit(const QDBusContext &context);

private slots:
    void ownerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    QString lookUpOwner();

    QDBusConnection m_bus;
    QMutex m_mutex;
    QString m_owner;
};
