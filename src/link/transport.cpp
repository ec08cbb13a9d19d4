// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/transport.h"

#include "presentation/localization.h"
#include "link/bluetooth_transport.h"
#include "link/serial_port.h"

#include <QRegularExpression>

#include <cerrno>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool IsBluetoothAddress(const QString &portName)
{
    static const QRegularExpression address(QStringLiteral("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"));
    return address.match(portName).hasMatch();
}

std::unique_ptr<LinkTransport> CreateTransport(const QString &portName)
{
    std::unique_ptr<LinkTransport> transport;
    if (IsBluetoothAddress(portName))
        transport = std::make_unique<BluetoothTransport>();
    else
        transport = std::make_unique<TSerialPort>();
    transport->setName(portName);
    return transport;
}

qint64 LinkTransport::writeDescriptor(const FdStream &stream, const QByteArray &data)
{
    return FdWrite(stream, data.constData(), data.size(), m_writeTimeoutMs);
}

qint64 LinkTransport::readDescriptor(const FdStream &stream, char *buf, qint64 got, qint64 count)
{
    return FdRead(stream, buf, got, count, m_readTimeoutMs, m_stopCheck, m_interrupted);
}

QString PortAccessRemedy(const QString &devicePath)
{
    const QByteArray path = devicePath.toLocal8Bit();
    if (::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return {};
    // Only a group that may read and write the device is worth joining.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    char buffer[4096];
    group gr{};
    group *found = nullptr;
    if (::getgrgid_r(st.st_gid, &gr, buffer, sizeof buffer, &found) != 0 || !found)
        return {};
    const QString groupName = QString::fromLocal8Bit(found->gr_name);
    QString user = QStringLiteral("$USER");
    passwd pw{};
    passwd *me = nullptr;
    char userBuffer[4096];
    if (::getpwuid_r(::getuid(), &pw, userBuffer, sizeof userBuffer, &me) == 0 && me)
        user = QString::fromLocal8Bit(me->pw_name);
    return TranslateFmt(QStringLiteral("PortAccessRemedy"), {devicePath, groupName, user, groupName});
}

QString TSerialPort::devicePath() const
{
    return name().startsWith(u'/') ? name() : QStringLiteral("/dev/") + name();
}

QString TSerialPort::accessRemedy() const { return PortAccessRemedy(devicePath()); }
