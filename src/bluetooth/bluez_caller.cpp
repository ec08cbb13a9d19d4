// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/bluez_caller.h"

#include "bluetooth/bluez_names.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

BluezCaller::BluezCaller(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                  SLOT(ownerChanged(QString, QString, QString)));
    const QString owner = lookUpOwner();
    QMutexLocker lock(&m_mutex);
    m_owner = owner;
}

QString BluezCaller::lookUpOwner()
{
    QDBusConnectionInterface *bus = m_bus.interface();
    if (!bus)
        return {};
    const QDBusReply<QString> owner = bus->serviceOwner(BluezNames::BluezService);
    return owner.isValid() ? owner.value() : QString();
}

void BluezCaller::ownerChanged(const QString &name, const QString &, const QString &newOwner)
{
    if (name != BluezNames::BluezService)
        return;
    QMutexLocker lock(&m_mutex);
    m_owner = newOwner;
}

bool BluezCaller::admit(const QDBusContext &context)
{
    if (!context.calledFromDBus())
        return true;
    const QString sender = context.message().service();
    {
        QMutexLocker lock(&m_mutex);
        if (!sender.isEmpty() && sender == m_owner)
            return true;
    }
    // BlueZ may have come (back) before its NameOwnerChanged reached this thread: the bus
    // is asked once more before a call is refused.
    const QString owner = lookUpOwner();
    {
        QMutexLocker lock(&m_mutex);
        m_owner = owner;
    }
    if (!sender.isEmpty() && sender == owner)
        return true;
    context.sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Only BlueZ may call this object"));
    return false;
}
