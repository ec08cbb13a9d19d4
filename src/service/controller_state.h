// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller's state as a script or home automation sees it: plain values in SI units
// (degrees Celsius, volts, percent), independent of the controller's display settings.

#include "link/device_image.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

struct ControllerFacts {
    QString port;
    int firmwareVersion = -1;
};

// Percent of a channel level (0..4096), one decimal.
double LevelPercent(uint16_t level);
// The channel's colour name in the program's language (what Home Assistant shows).
QString ChannelName(const DeviceImage &image, int channel);
// The mode's stable name ("Manual", "Auto", "Geo", "RGBDemo", "Flash"); empty when unknown.
QString ModeName(int mode);
int ModeFromName(const QString &name);   // -1 when unknown (any letter case)
// Water temperature in degrees Celsius, voltage in volts; nullopt when not measured.
std::optional<double> WaterTemperature(const InfoRecord &info);
std::optional<double> SlaveTemperature(const InfoRecord &info);
std::optional<double> SupplyVoltage(const InfoRecord &info);
// Whether the fan runs, as far as the state tells: with the fan led by the water
// temperature, on at or above the upper and off at or below the lower threshold (between
// them it keeps wasOn); led by the brightness, on while a channel is lit.
bool FanRunning(const DeviceImage &image, bool wasOn);

// --status: product, firmware, port, clock and its offset from now, mode, flags, levels,
// temperatures and voltage.
QJsonObject StatusJson(const DeviceImage &image, const ControllerFacts &facts, const QDateTime &now);
