// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/settings_convert.h"

#include <algorithm>
#include <limits>

#include "link/records.h"
#include "presentation/number_format.h"

namespace {

uint16_t toField16(int64_t value) { return uint16_t(std::clamp<int64_t>(value, 0, 0xFFFF)); }

template <class T>
T limited(long long value)
{
    return T(std::clamp<long long>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

int limitedTo(long long value, int min, int max) { return int(std::clamp<long long>(value, min, max)); }

} // namespace

// ---------------------------------------------------------------------------
// Clouds and thunderstorms

uint16_t CloudPFromCount(int64_t cloudsPerDay)
{
    if (cloudsPerDay <= 0)
        return 0;
    return toField16(cloudsPerDay * CloudScale / TicksPerDay);
}

int64_t CloudCountFromP(uint16_t cloudP) { return int64_t(cloudP) * TicksPerDay / CloudScale; }

uint16_t CloudDFromSeconds(int64_t seconds)
{
    if (seconds <= 0)
        return EndAtOnce;
    return toField16(CloudScale / seconds / 10);
}

std::optional<int64_t> CloudSecondsFromD(uint16_t cloudD)
{
    if (cloudD == 0)
        return std::nullopt;
    return CloudScale / cloudD / 10;
}

uint16_t StormPFromCount(int64_t stormsPerWeek)
{
    if (stormsPerWeek <= 0)
        return 0;
    return toField16(stormsPerWeek * StormScale / TicksPerDay / 7);
}

int64_t StormCountFromP(uint16_t stormP) { return int64_t(stormP) * TicksPerWeek / StormScale; }

uint16_t StormDFromMinutes(int64_t minutes)
{
    if (minutes <= 0)
        return EndAtOnce;
    return toField16(StormScale / minutes / 10 / 60);
}

std::optional<int64_t> StormMinutesFromD(uint16_t stormD)
{
    if (stormD == 0)
        return std::nullopt;
    return StormScale / stormD / 10 / 60;
}

std::optional<double> EventRatioPercent(uint16_t p, uint16_t d)
{
    const int sum = int(p) + int(d);
    if (sum == 0)
        return std::nullopt;
    return p * 100.0 / sum;
}

QString EventRatioText(const QString &caption, uint16_t p, uint16_t d, const QLocale &locale)
{
    const std::optional<double> ratio = EventRatioPercent(p, d);
    if (!ratio)
        return QString();
    return caption + QStringLiteral(": ") + FormatUpTo(*ratio, 1, locale) + u'%';
}

QString EventLabelText(const QString &ratioText, const QString &activeText, bool active)
{
    if (!active)
        return ratioText;
    if (ratioText.isEmpty())
        return activeText;
    return activeText + QStringLiteral(" \u2022 ") + ratioText;
}

// ---------------------------------------------------------------------------
// Track-bar pairs

std::optional<int> ParsePairText(PairScale scale, const QString &text, int min, int max, const QLocale &locale)
{
    if (scale == PairScale::Integer) {
        const std::optional<long long> value = ParseInteger(text);
        if (!value)
            return std::nullopt;
        return limitedTo(*value, min, max);
    }
    const std::optional<double> number = ParseDecimal(text, locale);
    if (!number)
        return std::nullopt;
    double scaled = *number;
    switch (scale) {
    case PairScale::PercentOf255: scaled = *number / 100.0 * 255.0; break;
    case PairScale::Tenths: scaled = *number * 10.0; break;
    case PairScale::Moon: scaled = *number / 100.0 * LevelFull; break;
    case PairScale::Integer: break;
    }
    return limitedTo(RoundHalfEven(scaled), min, max);
}

QString PairText(PairScale scale, int value, const QLocale &locale)
{
    switch (scale) {
    case PairScale::PercentOf255: return FormatUpTo(value / 255.0 * 100.0, 1, locale);
    case PairScale::Tenths: return FormatUpTo(value / 10.0, 1, locale);
    case PairScale::Moon: return FormatUpTo(value * 100.0 / LevelFull, 2, locale);
    case PairScale::Integer: break;
    }
    return QString::number(value);
}

int OrderedLevel(LevelRole moved, int value, int high, int mid, int low)
{
    switch (moved) {
    case LevelRole::High: return std::max(value, mid);
    case LevelRole::Mid:
        // Lowered to the upper level first, then raised to the lower one: when typed values
        // left the other two out of order, the lower level wins.
        value = std::min(value, high);
        return std::max(value, low);
    case LevelRole::Low: return std::min(value, mid);
    }
    return value;
}

// ---------------------------------------------------------------------------
// Temperatures

QString TemperatureValueText(int tenthsCelsius, bool fahrenheit, const QLocale &locale)
{
    // With the factor 9/50 the hundredths digit is always even, so one decimal never meets
    // a tie whatever the rounding mode.
    const double value = fahrenheit ? tenthsCelsius * 9.0 / 50.0 + 32.0 : tenthsCelsius / 10.0;
    return FormatFixed(value, 1, locale);
}

QString TemperatureUnit(bool fahrenheit) { return fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C"); }

std::optional<int> ParseTemperature(const QString &text, bool fahrenheit, const QLocale &locale)
{
    const std::optional<double> number = ParseDecimal(text, locale);
    if (!number)
        return std::nullopt;
    const double tenths = fahrenheit ? (*number - 32.0) / 9.0 * 50.0 : *number * 10.0;
    return limited<int16_t>(RoundHalfEven(tenths));
}

std::optional<int> ParseTenths(const QString &text, int min, int max, const QLocale &locale)
{
    const std::optional<double> number = ParseDecimal(text, locale);
    if (!number)
        return std::nullopt;
    return limitedTo(RoundHalfEven(*number * 10.0), min, max);
}

std::optional<int> ParseLimitedInteger(const QString &text, int min, int max)
{
    const std::optional<long long> value = ParseInteger(text);
    if (!value)
        return std::nullopt;
    return limitedTo(*value, min, max);
}

// ---------------------------------------------------------------------------
// Time zone

namespace {
using ZoneField = int ControllerTimeZone::*;
constexpr ZoneField ZoneFields[9] = {
    &ControllerTimeZone::bias,          &ControllerTimeZone::standardMonth,
    &ControllerTimeZone::standardDay,   &ControllerTimeZone::standardHour,
    &ControllerTimeZone::standardDayOfWeek, &ControllerTimeZone::daylightMonth,
    &ControllerTimeZone::daylightDay,   &ControllerTimeZone::daylightHour,
    &ControllerTimeZone::daylightDayOfWeek,
};
} // namespace

std::optional<ControllerTimeZone> ParseTimeZoneTexts(const QString (&texts)[9])
{
    ControllerTimeZone zone;
    for (int i = 0; i < 9; ++i) {
        const std::optional<long long> value = ParseInteger(texts[i]);
        if (!value)
            return std::nullopt;
        // The bias is a signed 16-bit field, the eight rule fields signed 8-bit ones.
        zone.*ZoneFields[i] = i == 0 ? limited<int16_t>(*value) : limited<int8_t>(*value);
    }
    return zone;
}

void TimeZoneValues(const ControllerTimeZone &zone, int (&values)[9])
{
    for (int i = 0; i < 9; ++i)
        values[i] = zone.*ZoneFields[i];
}

ControllerTimeZone TimeZoneOfExpert(const ExpertRecord &e)
{
    ControllerTimeZone zone;
    zone.bias = e.Bias;
    zone.standardMonth = e.StandardMonth;
    zone.standardDay = e.StandardDay;
    zone.standardHour = e.StandardHour;
    zone.standardDayOfWeek = e.StandardDayOfWeek;
    zone.daylightMonth = e.DaylightMonth;
    zone.daylightDay = e.DaylightDay;
    zone.daylightHour = e.DaylightHour;
    zone.daylightDayOfWeek = e.DaylightDayOfWeek;
    return zone;
}

void StoreTimeZone(ExpertRecord &e, const ControllerTimeZone &zone)
{
    e.Bias = limited<int16_t>(zone.bias);
    e.StandardMonth = limited<int8_t>(zone.standardMonth);
    e.StandardDay = limited<int8_t>(zone.standardDay);
    e.StandardHour = limited<int8_t>(zone.standardHour);
    e.StandardDayOfWeek = limited<int8_t>(zone.standardDayOfWeek);
    e.DaylightMonth = limited<int8_t>(zone.daylightMonth);
    e.DaylightDay = limited<int8_t>(zone.daylightDay);
    e.DaylightHour = limited<int8_t>(zone.daylightHour);
    e.DaylightDayOfWeek = limited<int8_t>(zone.daylightDayOfWeek);
}
