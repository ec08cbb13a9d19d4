// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device image: the program's copy of one controller's state, and the request bits
// through which an edit and the link thread keep it in step with that controller. The
// image is plain data; DeviceModel (link/device_model.h) owns one, with its request word,
// and is the only way the program changes it.

#include "link/records.h"

#include <cstdint>
#include <vector>

// ---------------------------------------------------------------------------
// Request bits: each names one transfer

inline constexpr uint32_t GetInfo = 0x1;
inline constexpr uint32_t SetInfoTime = 0x2;
inline constexpr uint32_t SetInfoLevels = 0x4;
inline constexpr uint32_t SetInfoActiveLine = 0x8;
inline constexpr uint32_t GetConfig = 0x10;
inline constexpr uint32_t SetConfig = 0x20;
inline constexpr uint32_t GetSchedule = 0x40;
inline constexpr uint32_t SetSchedule = 0x80;
inline constexpr uint32_t GetExpert = 0x100;
inline constexpr uint32_t SetExpert = 0x200;
inline constexpr uint32_t GetExpertWeather = 0x400;
inline constexpr uint32_t SetExpertWeather = 0x800;
inline constexpr uint32_t GetChart = 0x1000;
inline constexpr uint32_t FirmwareUpdate = 0x2000;
inline constexpr uint32_t SaveEEPROM = 0x4000;
inline constexpr uint32_t ToggleCloud = 0x8000;
inline constexpr uint32_t ToggleStorm = 0x10000;

inline constexpr uint32_t SetInfoAny = SetInfoTime | SetInfoLevels | SetInfoActiveLine;
inline constexpr uint32_t AllRequestBits = 0x1FFFF;

// Combined values
inline constexpr uint32_t FullDownload = 0x1551; // after identifying this product and firmware
inline constexpr uint32_t Poll = 0x11; // the link thread's periodic poll
inline constexpr uint32_t Refresh = 0x551; // "Refresh" and the export
inline constexpr uint32_t ImportConfig = 0xA20; // "Import configuration..."
inline constexpr uint32_t ColumnPaste = 0xA0; // column paste and swap in the schedule grid
inline constexpr uint32_t ChartSource = 0x1200; // choosing the chart source

static_assert(FullDownload == (GetInfo | GetConfig | GetSchedule | GetExpert | GetExpertWeather | GetChart));
static_assert(Refresh == (FullDownload & ~GetChart));
static_assert(ImportConfig == (SetConfig | SetExpert | SetExpertWeather));
static_assert(ColumnPaste == (SetConfig | SetSchedule));
static_assert(ChartSource == (SetExpert | GetChart));

// ---------------------------------------------------------------------------
// The image (zero when made; see setStartupValues)

// Start-up values set before any connection: position 50.1 N 8.5 E, empty chart.
inline constexpr int16_t StartupLat = 501;
inline constexpr int16_t StartupLon = 85;

struct DeviceImage
{
    InfoRecord Info{};
    ConfigRecord Config{};
    ExpertRecord Expert{};
    ExpertWeatherRecord ExpertWeather{};
    ChartRecord Chart{};
    // As long as Info.LineCount after every copied Info; the two tables share one length.
    std::vector<ScheduleLine> Schedule;
    // Nonzero: the line was edited and has not been sent yet.
    std::vector<uint8_t> ScheduleDirty;

    void setStartupValues();
    // Both tables to n lines; new lines are zero and unmarked.
    void resizeSchedule(std::size_t n);
};
