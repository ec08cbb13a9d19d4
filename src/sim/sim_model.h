// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the simulated controller does between frames: its factory settings, its day
// schedule, how its outputs follow the schedule by clock time or by the sun, and the
// sensors it pretends to read. Pure functions, so each piece can be checked on its own.

#include <array>
#include <cstdint>
#include <vector>

#include <QDateTime>

#include "link/records.h"

namespace sim {

// Factory settings, as after a firmware update.
InfoRecord defaultInfo();
ConfigRecord defaultConfig();
ExpertRecord defaultExpert();
ExpertWeatherRecord defaultExpertWeather();
// Ten lines from midnight to midnight: night, dawn, a rising sun up to early afternoon,
// a falling sun, dusk and night again; the altitudes rise and fall with the times.
std::vector<ScheduleLine> defaultSchedule();

// The stored form of a sun altitude: round(sin(altitude) * 10000).
int16_t altitudeValue(double degrees);

using Levels = std::array<uint16_t, ChannelCount>; // 0..LevelFull per channel

struct ScheduleState {
    Levels levels{};
    int activeLine = -1; // -1 without lines
};

// Mode Auto: the outputs at a time of day (minutes since midnight, fractions allowed).
// Between two lines a level changes linearly with time; before the first line it comes
// from the level the previous day ended with, and after the last line it stays there.
ScheduleState levelsByTime(const std::vector<ScheduleLine> &lines, double minuteOfDay);

// Position of every line on the sun's path, in degrees: 0 is 90 deg below the horizon
// while rising, 90 sunrise, 180 the zenith, 270 sunset, 360 90 deg below while setting.
// Lines up to the highest altitude sit on the rising side, the rest on the setting side.
std::vector<double> sunPathPositions(const std::vector<ScheduleLine> &lines);
// The sun's own position on that path.
double sunPathPosition(double altitudeDegrees, bool east);

// Mode Geo: the outputs for the sun's present altitude, interpolated along the path.
ScheduleState levelsBySun(const std::vector<ScheduleLine> &lines, double altitudeDegrees, bool east);

// Minutes to add to UTC to get the controller's local time at a local wall-clock time,
// by the time-zone rule of the expert settings: Bias, plus one hour between the daylight
// and the standard transition. A transition is the last given weekday (0 = Sunday) on or
// before the given day of the given month, at the given hour; month 0 means no daylight
// saving time. Both hemispheres are handled (daylight time may span the new year).
int utcOffsetMinutes(const ExpertRecord &expert, const QDateTime &localWall);
// The transition of one rule in a year; invalid when the rule is not usable.
QDateTime transitionTime(int year, int month, int day, int hour, int dayOfWeek);

struct SunAltitude {
    double degrees = 0;
    bool east = true; // before the meridian passage: the sun is rising
};
// A low-precision sun position (good to a fraction of a degree), for a UTC time and a
// place in degrees (north and east positive).
SunAltitude sunAltitude(const QDateTime &utc, double latitudeDeg, double longitudeDeg);

// Sensor readings at a controller wall-clock time around a base value (no variation
// for NoValue16): the water warms up a little in the afternoon, the supply ripples.
int16_t waterTemperatureAt(int16_t base, const QDateTime &wall);
int16_t boardTemperatureAt(int16_t base, const QDateTime &wall);
int16_t inputVoltageAt(int16_t base, const QDateTime &wall);
int16_t slaveTemperatureAt(int16_t base, const QDateTime &wall);

} // namespace sim
