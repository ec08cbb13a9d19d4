// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

// Number formats of the window, in the default locale (the system's unless a test sets
// another with QLocale::setDefault).

// A value with at most maxDecimals decimals and no trailing zeros ("0.##" for 2, "0.#" for 1).
QString FormatUpTo(double value, int maxDecimals, const QLocale &locale = QLocale());
// A value with exactly `decimals` decimals ("0.0" for 1, "0.00" for 2).
QString FormatFixed(double value, int decimals, const QLocale &locale = QLocale());

// A decimal number typed by the user, with the locale's decimal separator. Group
// separators are refused, so "12.5" never reads as 125 where "," is the decimal sign.
std::optional<double> ParseDecimal(const QString &text, const QLocale &locale = QLocale());
// A whole number in decimal; surrounding blanks are allowed.
std::optional<long long> ParseInteger(const QString &text);

// Nearest whole number, halves to the even neighbour.
long long RoundHalfEven(double value);

// Channel and moonlight levels: 0..4096 for 0..100 %.
inline constexpr double LevelPerPercent = 40.96;
// The level as shown: level / 40.96 formatted "0.##".
QString LevelPercentText(int level, const QLocale &locale = QLocale());
// The level for a typed percentage: round(percent * 40.96), limited to 0..4096.
uint16_t PercentToLevel(double percent);
