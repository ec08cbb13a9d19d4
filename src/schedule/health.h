// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "link/records.h"

// The device status line: the port, the error texts, the temperatures and the input
// voltage, separated by " • " (a separator only after something non-empty).
QString DeviceStatusLine(const QString &portName, const InfoRecord &info, const ConfigRecord &config);

// Whether the status line is shown in red: any error but "RAM full".
constexpr bool DeviceStatusIsAlarm(const InfoRecord &info) { return (info.ErrorFlags & ~ErrorRAMFull & 0xFF) != 0; }
