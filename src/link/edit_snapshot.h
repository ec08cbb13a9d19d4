// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an edit of the user's may change, as plain bytes: the four records a page edits and
// the schedule lines. An edit is recorded as the bytes it changed (before and after), so
// that taking it back restores exactly those bytes and nothing the controller changed
// meanwhile in the same record. The clock is the exception: it runs, so it is restored as
// a shift (see EditHistory).

#include "link/device_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <tuple>
#include <type_traits>
#include <vector>

enum class EditRegion : uint8_t { Info, Config, Expert, ExpertWeather, Line };

// The image's editable part as it stood before an edit (the chart is never edited).
struct EditSnapshot
{
    InfoRecord Info{};
    ConfigRecord Config{};
    ExpertRecord Expert{};
    ExpertWeatherRecord ExpertWeather{};
    std::vector<ScheduleLine> Schedule;

    static EditSnapshot of(const DeviceImage &d)
    {
        return {d.Info, d.Config, d.Expert, d.ExpertWeather, d.Schedule};
    }
};

// The bytes of one region (line: the schedule line of that index; empty when beyond the
// table). Works on an EditSnapshot and on a DeviceImage alike.
template <class Image>
auto EditRegionBytes(Image &image, EditRegion region, int line = 0)
{
    using Byte = std::conditional_t<std::is_const_v<Image>, const uint8_t, uint8_t>;
    auto bytesOf = [](auto &record) { return std::span<Byte>(reinterpret_cast<Byte *>(&record), sizeof record); };
    switch (region) {
    case EditRegion::Info: return bytesOf(image.Info);
    case EditRegion::Config: return bytesOf(image.Config);
    case EditRegion::Expert: return bytesOf(image.Expert);
    case EditRegion::ExpertWeather: return bytesOf(image.ExpertWeather);
    case EditRegion::Line: break;
    }
    if (line < 0 || std::size_t(line) >= image.Schedule.size())
        return std::span<Byte>();
    return bytesOf(image.Schedule[std::size_t(line)]);
}

// The clock's bytes in Info (centisecond up to the byte after the year).
inline constexpr std::size_t InfoClockFirst = offsetof(InfoRecord, Centisecond);
inline constexpr std::size_t InfoClockEnd = offsetof(InfoRecord, Reserved12) + 1;
inline constexpr bool IsInfoClockByte(std::size_t offset) { return offset >= InfoClockFirst && offset < InfoClockEnd; }

// The twelve channel levels in Info: what the level variant of the Info write sends.
inline constexpr std::size_t InfoLevelFirst = offsetof(InfoRecord, Level);
inline constexpr std::size_t InfoLevelEnd = InfoLevelFirst + sizeof(InfoRecord::Level);

// One byte an edit changed.
struct EditedByte
{
    EditRegion region;
    int line;  // the schedule line for EditRegion::Line, else 0
    uint16_t offset;
    uint8_t before;
    uint8_t after;

    auto key() const { return std::tuple(region, line, offset); }
};
