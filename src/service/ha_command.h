// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A command from Home Assistant, read from its topic and payload against the controller's
// present state: what to do, or why nothing is done. Plain code with no broker and no
// link, so that any bytes a broker hands over can be tried on it.

#include "link/device_image.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

struct HaCommand {
    enum Kind { Drop, Level, Mode, Weather, SetClock };
    Kind kind = Drop;
    QString why;          // Drop: the reason, naming the topic; never the payload
    int channel = -1;     // Level
    uint16_t level = 0;   // Level: 0..LevelFull
    int mode = -1;        // Mode
    uint32_t toggle = 0;  // Weather: ToggleCloud or ToggleStorm, 0 when it is so already
};

// what: the topic below the controller without "/set" ("channel/a", "mode", "clouds",
// "thunderstorm", "set_clock/press"). lastLit: each channel's last level above zero, for
// an "ON" without brightness (0: full).
HaCommand ParseHaCommand(const QString &what, const QByteArray &payload, const DeviceImage &image,
                         const std::array<uint16_t, ChannelCount> &lastLit);
