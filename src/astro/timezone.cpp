// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "astro/timezone.h"

#include <algorithm>

namespace {

// Wall-clock values are carried in QDateTimes marked as UTC so that no zone rule can
// shift or reject them (02:30 on a spring-forward day is a perfectly good rule time).
QDateTime WallClock(const QDate& date, const QTime& time)
{
    return QDateTime(date, time.isValid() ? time : QTime(0, 0), QTimeZone::utc());
}

TimeZoneRule RuleAt(const QDateTime& wallClock)
{
    const QDate d = wallClock.date();
    const QTime t = wallClock.time();
    TimeZoneRule rule;
    rule.month = d.month();
    rule.dayOfWeek = d.dayOfWeek() % 7;
    // A day in the month's last week is written as "the last such weekday" so that the rule
    // also fits the years in which that weekday falls on another date.
    rule.occurrence = d.day() + 7 > d.daysInMonth() ? 5 : (d.day() - 1) / 7 + 1;
    rule.hour = t.hour();
    rule.minute = t.minute();
    rule.second = t.second();
    rule.millisecond = t.msec();
    return rule;
}

struct Change {
    QDateTime wallClock;  // local time in force before the change
    int before = 0;       // seconds east of UTC
    int after = 0;
};

}  // namespace

QDateTime TransitionDate(const TimeZoneRule& rule, int year)
{
    if (rule.month < 1 || rule.month > 12 || rule.dayOfWeek < 0 || rule.dayOfWeek > 6 || rule.occurrence < 1)
        return {};
    const QDate first(year, rule.month, 1);
    if (!first.isValid())
        return {};
    const int firstDow = first.dayOfWeek() % 7;
    int day = 1 + (rule.dayOfWeek - firstDow + 7) % 7 + 7 * (std::min(rule.occurrence, 5) - 1);
    while (day > first.daysInMonth())
        day -= 7;
    const qint64 ms = ((qint64(rule.hour) * 60 + rule.minute) * 60 + rule.second) * 1000 + rule.millisecond;
    return WallClock(QDate(year, rule.month, day), QTime(0, 0)).addMSecs(ms);
}

int UtcOffsetForDate(const TimeZoneInfo& info, const QDate& date, const QTime& time)
{
    if (!info.hasDaylightTime() || !date.isValid())
        return -info.bias;
    const QDateTime s = TransitionDate(info.standardDate, date.year());
    const QDateTime d = TransitionDate(info.daylightDate, date.year());
    if (!s.isValid() || !d.isValid())
        return -info.bias - info.standardBias;
    const QDateTime t = WallClock(date, time);
    // Northern zones have daylight time inside the calendar year; southern ones (daylight
    // transition later in the year than the standard one) from d to the year's end and from
    // the year's start to s.
    const bool daylight = d <= s ? (t >= d && t < s) : (t >= d || t < s);
    return daylight ? -info.bias - info.daylightBias : -info.bias - info.standardBias;
}

int UtcOffsetForDate(const TimeZoneInfo& info, const QDateTime& localDateTime)
{
    return UtcOffsetForDate(info, localDateTime.date(), localDateTime.time());
}

std::optional<TimeZoneInfo> TimeZoneInfoForYear(const QTimeZone& zone, int year)
{
    const QDate jan1(year, 1, 1);
    if (!zone.isValid() || !jan1.isValid())
        return std::nullopt;

    TimeZoneInfo info;
    // Every real offset lies within a day of UTC, so this window holds the whole local year.
    const QDateTime from = WallClock(jan1, QTime(0, 0)).addDays(-2);
    const QDateTime to = WallClock(jan1.addYears(1), QTime(0, 0)).addDays(2);
    QList<Change> ups, downs;
    for (const QTimeZone::OffsetData& t : zone.transitions(from, to)) {
        Change c;
        c.before = zone.offsetFromUtc(t.atUtc.addMSecs(-1));
        c.after = t.offsetFromUtc;
        c.wallClock = t.atUtc.toUTC().addSecs(c.before);
        if (c.wallClock.date().year() != year || c.before == c.after)
            continue;  // outside the year, or only a change of name
        (c.after > c.before ? ups : downs).append(c);
    }

    if (ups.isEmpty() && downs.isEmpty()) {
        info.bias = -zone.offsetFromUtc(WallClock(jan1, QTime(12, 0))) / 60;
        return info;
    }
    // Two rules cannot describe more than two changes a year; the first change into daylight
    // time and the last one out of it bound the daylight period in either hemisphere.
    if (!ups.isEmpty() && !downs.isEmpty()) {
        const Change& up = ups.first();
        const Change& down = downs.last();
        info.bias = -down.after / 60;
        info.daylightBias = -(up.after - down.after) / 60;
        info.daylightDate = RuleAt(up.wallClock);
        info.standardDate = RuleAt(down.wallClock);
    } else if (!ups.isEmpty()) {
        // Daylight time (or a new, later offset) from the change to the end of the year.
        const Change& up = ups.first();
        info.bias = -up.before / 60;
        info.daylightBias = -(up.after - up.before) / 60;
        info.daylightDate = RuleAt(up.wallClock);
        info.standardDate = RuleAt(WallClock(QDate(year, 12, 31), QTime(23, 59, 59, 999)));
    } else {
        // Daylight time from the start of the year until the change.
        const Change& down = downs.last();
        info.bias = -down.after / 60;
        info.daylightBias = -(down.before - down.after) / 60;
        info.daylightDate = RuleAt(WallClock(jan1, QTime(0, 0)));
        info.standardDate = RuleAt(down.wallClock);
    }
    return info;
}

std::optional<TimeZoneInfo> SystemTimeZoneInfo(int year)
{
    return TimeZoneInfoForYear(QTimeZone::systemTimeZone(), year);
}

int UtcOffsetForDate(const QDate& date, const QTime& time)
{
    if (!date.isValid())
        return 0;
    const std::optional<TimeZoneInfo> info = SystemTimeZoneInfo(date.year());
    return info ? UtcOffsetForDate(*info, date, time) : 0;
}

ControllerTimeZone ControllerTimeZoneFromInfo(const TimeZoneInfo& info)
{
    auto dayOfMonth = [](const TimeZoneRule& r) {
        int day = std::min(r.occurrence * 7, 31);
        if (r.month == 4 || r.month == 6 || r.month == 9 || r.month == 11)
            day = std::min(day, 30);
        else if (r.month == 2)
            day = std::min(day, 28);
        return day;
    };
    ControllerTimeZone c;
    c.bias = -info.bias;
    c.standardMonth = info.standardDate.month;
    c.standardDay = dayOfMonth(info.standardDate);
    c.standardHour = info.standardDate.hour;
    c.standardDayOfWeek = info.standardDate.dayOfWeek;
    c.daylightMonth = info.daylightDate.month;
    c.daylightDay = dayOfMonth(info.daylightDate);
    c.daylightHour = info.daylightDate.hour;
    c.daylightDayOfWeek = info.daylightDate.dayOfWeek;
    return c;
}
