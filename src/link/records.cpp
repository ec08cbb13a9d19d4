// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/records.h"

#include <QLocale>

#include "presentation/number_format.h"

#include <algorithm>

#include <cmath>

QString hardwareName(uint8_t type)
{
    if (const char *name = modelNameForType(type))
        return QString::fromLatin1(name);
    return QString::number(type);
}

int32_t readField(const uint8_t *record, const FieldDesc &field)
{
    const uint8_t *p = record + field.offset;
    switch (field.width) {
    case 1:
        return field.isSigned ? int32_t(int8_t(p[0])) : int32_t(p[0]);
    case 2: {
        const uint16_t v = uint16_t(p[0] | (p[1] << 8));
        return field.isSigned ? int32_t(int16_t(v)) : int32_t(v);
    }
    case 4: {
        const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16
            | uint32_t(p[3]) << 24;
        return int32_t(v);
    }
    default:
        return 0;
    }
}

void writeField(uint8_t *record, const FieldDesc &field, int64_t value)
{
    uint8_t *p = record + field.offset;
    const uint64_t v = uint64_t(value);
    for (unsigned i = 0; i < field.width && i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

static bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

const FieldDesc *findField(std::span<const FieldDesc> table, std::string_view key)
{
    for (const FieldDesc &f : table)
        if (equalsIgnoringAsciiCase(f.key, key))
            return &f;
    return nullptr;
}

QDate controllerDate(const InfoRecord &info)
{
    return QDate(controllerYear(info), info.Month, info.Day);
}

QTime controllerTime(const InfoRecord &info)
{
    return QTime(info.Hour, info.Minute, info.Second, info.Centisecond * 10);
}

void SetInfoClock(InfoRecord &info, const QDateTime &now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    info.Day = uint8_t(date.day());
    info.Month = uint8_t(date.month());
    info.Year = int8_t(date.year() - 2000);
    info.Reserved12 = 0;
    info.Hour = uint8_t(time.hour());
    info.Minute = uint8_t(time.minute());
    info.Second = uint8_t(time.second());
    info.Centisecond = uint8_t(std::min<long long>(RoundHalfEven(time.msec() * 0.1), 99));
}

std::optional<qint64> ControllerClockOffset(const InfoRecord &info, const QDateTime &now)
{
    const QDate date = controllerDate(info);
    const QTime time = controllerTime(info);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // Both read as local times of this computer, as the controller's clock is set from one.
    return now.secsTo(QDateTime(date, time));
}

QString temperatureText(int tenthsCelsius, bool fahrenheit)
{
    // With the factor 9/50 the hundredths digit is always even, so rounding to one
    // decimal never meets a tie and the result does not depend on the rounding mode.
    double value = fahrenheit ? tenthsCelsius * 9.0 / 50.0 + 32.0 : tenthsCelsius / 10.0;
    if (std::abs(value) < 0.05)
        value = 0.0; // no "-0.0" for values just below zero
    return QLocale().toString(value, 'f', 1)
        + (fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C"));
}
