// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions between the controller's setting fields and what the settings pages show
// and accept. Everything here is plain code without widgets, so that each rule can be
// checked on its own.

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

#include "astro/timezone.h"

struct ExpertRecord;

// ---------------------------------------------------------------------------
// Clouds and thunderstorms
//
// The controller starts and ends a cloud once per 0.1 s tick with a fixed probability, held
// as a fraction of 2^19 (clouds) or 2^23 (thunderstorms). The pages show an average number
// per day or week and an average duration instead. Every product is formed in 64 bits: a
// 1000-per-week count times 2^23 does not fit in 32. Results are kept within 16 bits.

inline constexpr int64_t CloudScale = int64_t(1) << 19;
inline constexpr int64_t StormScale = int64_t(1) << 23;
inline constexpr int64_t TicksPerDay = 864000;
inline constexpr int64_t TicksPerWeek = 7 * TicksPerDay;
// Stored for a duration of zero or less: the event ends at once.
inline constexpr uint16_t EndAtOnce = 0xFFFF;

uint16_t CloudPFromCount(int64_t cloudsPerDay);
int64_t CloudCountFromP(uint16_t cloudP);
uint16_t CloudDFromSeconds(int64_t seconds);
// nullopt for 0: there is no duration to show.
std::optional<int64_t> CloudSecondsFromD(uint16_t cloudD);

uint16_t StormPFromCount(int64_t stormsPerWeek);
int64_t StormCountFromP(uint16_t stormP);
uint16_t StormDFromMinutes(int64_t minutes);
std::optional<int64_t> StormMinutesFromD(uint16_t stormD);

// Share of time with an event in percent: p * 100 / (p + d); nullopt when both are 0.
std::optional<double> EventRatioPercent(uint16_t p, uint16_t d);
// "<caption>: 6.4%", or empty when there is no ratio.
QString EventRatioText(const QString &caption, uint16_t p, uint16_t d, const QLocale &locale = QLocale());
// The ratio label: the ratio text, or while an event is active "<active> • <ratio text>"
// (just "<active>" when there is no ratio).
QString EventLabelText(const QString &ratioText, const QString &activeText, bool active);

// ---------------------------------------------------------------------------
// Track-bar pairs: how a typed text becomes a position and a position a text

enum class PairScale {
    Integer,       // the number as is
    PercentOf255,  // field 0..255 shown as percent "0.#"
    Tenths,        // field in tenths shown "0.#" (delays in seconds)
    Moon,          // field 0..4096 shown as percent "0.##"
};

// A typed text as a position: parsed per scale (integers for Integer, decimal numbers with
// the locale's separator otherwise), rounded half to even, limited to min..max. nullopt
// when the text is not a number.
std::optional<int> ParsePairText(PairScale scale, const QString &text, int min, int max,
                                 const QLocale &locale = QLocale());
// A field value as shown in the pair's edit.
QString PairText(PairScale scale, int value, const QLocale &locale = QLocale());

// Three levels kept in the order low <= mid <= high when a slider moves (display backlight:
// night, dim, bright; fan: off, slow, fast). Returns the value the moved slider may take.
enum class LevelRole { High, Mid, Low };
int OrderedLevel(LevelRole moved, int value, int high, int mid, int low);

// ---------------------------------------------------------------------------
// Temperatures and other decimal fields in tenths

// Tenths of a degree Celsius as shown without unit: value / 10, or value * 9 / 50 + 32 in
// Fahrenheit, formatted "0.0".
QString TemperatureValueText(int tenthsCelsius, bool fahrenheit, const QLocale &locale = QLocale());
QString TemperatureUnit(bool fahrenheit);
// A typed temperature as tenths of a degree Celsius: round(x * 10), or in Fahrenheit
// round((x - 32) / 9 * 50); limited to a signed 16-bit field. nullopt when not a number.
std::optional<int> ParseTemperature(const QString &text, bool fahrenheit, const QLocale &locale = QLocale());

// round(x * 10) of a typed decimal number, limited to min..max.
std::optional<int> ParseTenths(const QString &text, int min, int max, const QLocale &locale = QLocale());
// A typed whole number limited to min..max.
std::optional<int> ParseLimitedInteger(const QString &text, int min, int max);

// ---------------------------------------------------------------------------
// Time zone

// The nine edits in the order bias, standard month, day, hour, day of week, daylight month,
// day, hour, day of week. Either all nine are whole numbers, each limited to its field's
// width, or the result is nullopt.
std::optional<ControllerTimeZone> ParseTimeZoneTexts(const QString (&texts)[9]);
// The nine values in the same order.
void TimeZoneValues(const ControllerTimeZone &zone, int (&values)[9]);

ControllerTimeZone TimeZoneOfExpert(const ExpertRecord &expert);
// Stores the nine fields, each limited to its field's width.
void StoreTimeZone(ExpertRecord &expert, const ControllerTimeZone &zone);
