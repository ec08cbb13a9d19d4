// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/bluetooth_api.h"

#include <cstring>

QString BluetoothAddressText(const BluetoothAddress &address)
{
    QString text;
    text.reserve(17);
    for (size_t i = 0; i < address.size(); ++i) {
        if (i)
            text += u':';
        text += QStringLiteral("%1").arg(address[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

namespace {
bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
} // namespace

bool ParseBluetoothAddress(const QString &text, BluetoothAddress &address)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 6)
        return false;
    BluetoothAddress parsed{};
    for (int i = 0; i < 6; ++i) {
        if (parts[i].size() != 2 || !isHexDigit(parts[i][0]) || !isHexDigit(parts[i][1]))
            return false;
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        if (!ok)
            return false;
        parsed[size_t(i)] = uint8_t(value);
    }
    address = parsed;
    return true;
}

BluetoothResult BluetoothResult::fromErrno(int error)
{
    return failure(QString::number(error), QString::fromLocal8Bit(std::strerror(error)));
}
