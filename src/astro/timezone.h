// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Time-zone rules in the shape the controller understands: a bias and two yearly transition
// rules (month, n-th weekday, time of day), derived from the system's zone for one year.

#include <QDateTime>
#include <QTimeZone>

#include <optional>

// One yearly transition: the occurrence-th `dayOfWeek` of `month` at the given wall-clock time,
// which is the local time in force just before the transition. month 0 means "no transition".
struct TimeZoneRule {
    int month = 0;        // 1..12, 0 = none
    int occurrence = 0;   // 1..5, 5 = the last one in the month
    int dayOfWeek = 0;    // 0 = Sunday .. 6 = Saturday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const TimeZoneRule&, const TimeZoneRule&) = default;
};

// Biases in minutes with UTC = local time + bias (so Central Europe has bias -60 and
// daylightBias -60).
struct TimeZoneInfo {
    int bias = 0;
    int standardBias = 0;
    int daylightBias = 0;
    TimeZoneRule standardDate;   // start of standard time
    TimeZoneRule daylightDate;   // start of daylight-saving time

    bool hasDaylightTime() const { return daylightDate.month != 0; }
    friend bool operator==(const TimeZoneInfo&, const TimeZoneInfo&) = default;
};

// The wall-clock date and time of a rule's transition in a year (marked as UTC, used only as a
// zone-free container). Invalid for month 0 or an impossible rule.
QDateTime TransitionDate(const TimeZoneRule& rule, int year);

// Minutes to add to UTC to get local time at a local wall-clock date and time (its zone is
// ignored). Zones whose daylight time spans the turn of the year are handled.
int UtcOffsetForDate(const TimeZoneInfo& info, const QDate& date, const QTime& time);
int UtcOffsetForDate(const TimeZoneInfo& info, const QDateTime& localDateTime);

// The rules of a zone as they apply in one year. nullopt for an invalid zone or year.
std::optional<TimeZoneInfo> TimeZoneInfoForYear(const QTimeZone& zone, int year);
// The same for this computer's zone (QTimeZone::systemTimeZone()).
std::optional<TimeZoneInfo> SystemTimeZoneInfo(int year);

// UtcOffsetForDate with this computer's zone and the rules of the date's year; 0 when the
// system zone cannot be read or the date is invalid.
int UtcOffsetForDate(const QDate& date, const QTime& time);

// The nine time-zone fields of the controller's expert record. The controller's "day" is a
// day of the month D selecting the last given weekday on or before D.
struct ControllerTimeZone {
    int bias = 0;  // minutes, local time = UTC + bias
    int standardMonth = 0;
    int standardDay = 0;
    int standardHour = 0;
    int standardDayOfWeek = 0;
    int daylightMonth = 0;
    int daylightDay = 0;
    int daylightHour = 0;
    int daylightDayOfWeek = 0;

    friend bool operator==(const ControllerTimeZone&, const ControllerTimeZone&) = default;
};

// What "Get from Windows" stores: the bias with the controller's sign and each rule's occurrence
// turned into a day of the month. The standard and daylight biases are not transferred.
ControllerTimeZone ControllerTimeZoneFromInfo(const TimeZoneInfo& info);
