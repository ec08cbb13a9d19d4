// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// BlueZ's D-Bus names, as the pairing code and the Bluetooth transport address them.
namespace BluezNames {

inline const QString BluezService = QStringLiteral("org.bluez");
inline const QString AdapterInterface = QStringLiteral("org.bluez.Adapter1");
inline const QString DeviceInterface = QStringLiteral("org.bluez.Device1");
inline const QString AgentManagerInterface = QStringLiteral("org.bluez.AgentManager1");
inline const QString ProfileManagerInterface = QStringLiteral("org.bluez.ProfileManager1");
inline const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString ObjectManagerInterface = QStringLiteral("org.freedesktop.DBus.ObjectManager");

inline const QString RejectedError = QStringLiteral("org.bluez.Error.Rejected");
inline const QString FailedError = QStringLiteral("org.bluez.Error.Failed");
inline const QString AlreadyExistsError = QStringLiteral("org.bluez.Error.AlreadyExists");
inline const QString AlreadyConnectedError = QStringLiteral("org.bluez.Error.AlreadyConnected");
inline const QString DisconnectedError = QStringLiteral("org.freedesktop.DBus.Error.Disconnected");
inline const QString ObjectPathInUseError = QStringLiteral("org.freedesktop.DBus.Error.ObjectPathInUse");

} // namespace BluezNames
