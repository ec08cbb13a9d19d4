// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/number_format.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace {
QLocale plain(QLocale locale)
{
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}
} // namespace

QString FormatFixed(double value, int decimals, const QLocale &locale)
{
    QString text = plain(locale).toString(value, 'f', decimals);
    // "-0.0" says nothing a user needs to know.
    if (text.startsWith(locale.negativeSign())) {
        bool allZero = true;
        for (QChar c : text)
            if (c.isDigit() && c != u'0')
                allZero = false;
        if (allZero)
            text.remove(0, locale.negativeSign().size());
    }
    return text;
}

QString FormatUpTo(double value, int maxDecimals, const QLocale &locale)
{
    QString text = FormatFixed(value, maxDecimals, locale);
    const QString point = locale.decimalPoint();
    if (maxDecimals > 0 && text.contains(point)) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    return text;
}

std::optional<double> ParseDecimal(const QString &text, const QLocale &locale)
{
    bool ok = false;
    const double value = plain(locale).toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long long> ParseInteger(const QString &text)
{
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

long long RoundHalfEven(double value)
{
    // nearbyint rounds in the current mode; the default mode sends halves to even.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    if (rounded >= 9.2e18)
        return 9'200'000'000'000'000'000LL;
    if (rounded <= -9.2e18)
        return -9'200'000'000'000'000'000LL;
    return static_cast<long long>(rounded);
}

QString LevelPercentText(int level, const QLocale &locale) { return FormatUpTo(level / LevelPerPercent, 2, locale); }

uint16_t PercentToLevel(double percent)
{
    return static_cast<uint16_t>(std::clamp<long long>(RoundHalfEven(percent * LevelPerPercent), 0, 4096));
}
