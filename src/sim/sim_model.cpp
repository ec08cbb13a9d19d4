// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/sim_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace sim {

namespace {

constexpr double Deg = std::numbers::pi / 180.0;

// Channel layout of the factory lamp: two cold white, two warm white, two blue, two
// royal blue, red, green, UV and a moonlight channel.
enum ChannelKind { White, Blue, Tint, Violet, Moon };
constexpr ChannelKind Kinds[ChannelCount] = {White, White, White, White, Blue, Blue,
                                             Blue,  Blue,  Tint,  Tint,  Violet, Moon};
constexpr uint8_t FactoryColours[ChannelCount] = {7, 7, 8, 8, 4, 4, 11, 11, 2, 3, 5, 6};

int16_t clampSensor(long value)
{
    // Never produce the no-value marker by accident.
    return int16_t(std::clamp<long>(value, -32768, NoValue16 - 1));
}

double minuteOfDay(const QDateTime &wall)
{
    return wall.time().msecsSinceStartOfDay() / 60000.0;
}

// Sine wave over the day with its peak at the given hour.
double daily(const QDateTime &wall, double peakHour)
{
    return std::sin(2 * std::numbers::pi * (minuteOfDay(wall) - (peakHour - 6) * 60) / 1440.0);
}

ScheduleState interpolate(const std::vector<ScheduleLine> &lines, const std::vector<double> &pos,
                          double x)
{
    ScheduleState state;
    const int n = int(lines.size());
    if (n == 0)
        return state;
    // The last line at or before x, looking only as far as the lines stay in order.
    int k = -1;
    for (int i = 0; i < n; ++i) {
        if (pos[size_t(i)] <= x)
            k = i;
        else
            break;
    }
    const ScheduleLine *from;
    const ScheduleLine *to;
    double x0;
    double x1;
    if (k < 0) { // before the first line: coming from where the previous day ended
        from = &lines[size_t(n - 1)];
        to = &lines[0];
        x0 = 0;
        x1 = pos[0];
        state.activeLine = n - 1;
    } else if (k == n - 1) {
        from = to = &lines[size_t(k)];
        x0 = x1 = pos[size_t(k)];
        state.activeLine = k;
    } else {
        from = &lines[size_t(k)];
        to = &lines[size_t(k + 1)];
        x0 = pos[size_t(k)];
        x1 = pos[size_t(k + 1)];
        state.activeLine = k;
    }
    const double f = x1 > x0 ? std::clamp((x - x0) / (x1 - x0), 0.0, 1.0) : 0.0;
    for (int c = 0; c < ChannelCount; ++c) {
        const double a = std::min<int>(from->Color16[c], 100);
        const double b = std::min<int>(to->Color16[c], 100);
        const double percent = a + (b - a) * f;
        state.levels[size_t(c)] = uint16_t(std::lround(percent * LevelFull / 100.0));
    }
    return state;
}

double altitudeDegrees(int16_t stored)
{
    if (stored > 10000 || stored < -10000)
        return 0; // unreadable: taken as the horizon
    return std::asin(stored / 10000.0) / Deg;
}

} // namespace

InfoRecord defaultInfo()
{
    InfoRecord info;
    std::memset(&info, 0, sizeof info);
    info.WaterTemp = 251;
    info.Reserved44[0] = uint8_t(352 & 0xFF); // board temperature, 35.2 degC
    info.Reserved44[1] = uint8_t(352 >> 8);
    info.InputVoltage = 1205;
    info.SlaveTemp = 298;
    return info;
}

ConfigRecord defaultConfig()
{
    ConfigRecord config;
    std::memset(&config, 0, sizeof config);
    config.Mode = ModeAuto;
    config.Flag = 0;
    config.FanLow = 77; // 30 %
    config.FanHigh = 204; // 80 %
    config.LCDBLMin = 26;
    config.LCDBLMax = 230;
    config.TimeLapse = 1;
    std::copy(std::begin(FactoryColours), std::end(FactoryColours), config.ColorName);
    config.CloudP = 12; // about 20 clouds a day
    config.CloudD = 873; // lasting about a minute
    config.StormP = 2; // about two thunderstorms a week
    config.StormD = 466; // lasting about half an hour
    config.Lat = 501;
    config.Lon = 85;
    return config;
}

ExpertRecord defaultExpert()
{
    ExpertRecord expert;
    std::memset(&expert, 0, sizeof expert);
    expert.FanMode = 1;
    expert.ChartMode = ChartWaterTemp;
    expert.PWMPrescaler = 5; // about 1 kHz
    expert.TWIBitrate = 23; // 100 kHz
    expert.RandomInit = 0;
    expert.FanOff = 0;
    expert.LCDBLNight = 13;
    expert.ChartScale = 5;
    expert.TempOffset = 0;
    expert.BalanceSumRamp = 0;
    expert.TempWaterLow = 255;
    expert.TempWaterHigh = 265;
    expert.CloudTempWater = 285;
    expert.ChartInterval = 36; // forty samples span a day
    // Central European time: daylight time from the last Sunday of March, 02:00, to the
    // last Sunday of October, 03:00.
    expert.StandardMonth = 10;
    expert.StandardDay = 31;
    expert.StandardHour = 3;
    expert.StandardDayOfWeek = 0;
    expert.DaylightMonth = 3;
    expert.DaylightDay = 31;
    expert.DaylightHour = 2;
    expert.DaylightDayOfWeek = 0;
    expert.Bias = 60;
    static constexpr uint16_t Keys[RC5KeyCount] = {0x3010, 0x3011, 0x3015, 0x3016,
                                                   0x3021, 0x3020, 0x303B, 0x300C};
    for (int i = 0; i < RC5KeyCount; ++i)
        expert.RC5Code[i] = Keys[i];
    return expert;
}

ExpertWeatherRecord defaultExpertWeather()
{
    ExpertWeatherRecord w;
    std::memset(&w, 0, sizeof w);
    w.CloudStep = 800;
    w.StormStep = 2500;
    w.LightningP = 300;
    w.CloudAlpha = 60;
    w.StormAlpha = 25;
    w.BalanceSum = 100;
    for (int c = 0; c < ChannelCount; ++c) {
        const ChannelKind kind = Kinds[c];
        w.MoonColor16[c] = kind == Moon ? 200 : kind == Blue ? 80 : kind == Violet ? 40 : 0;
        w.Balance[c] = 100;
        w.LightningMask[c] = kind == White ? 0xFF : 0;
        w.WeatherDelay[c] = uint8_t(c * 4);
    }
    return w;
}

std::vector<ScheduleLine> defaultSchedule()
{
    struct Row {
        int hour, minute;
        double altitude;
        int day, blue, moon;
        uint8_t switches;
    };
    static constexpr Row Rows[] = {
        {0, 0, -12, 0, 0, 10, 0},
        {7, 0, -6, 0, 10, 5, 0},
        {8, 0, 0, 10, 30, 0, SwitchBacklight},
        {9, 30, 15, 40, 60, 0, SwitchBacklight | SwitchClouds},
        {11, 30, 35, 80, 90, 0, SwitchBacklight | SwitchClouds | SwitchStorms},
        {14, 0, 50, 100, 100, 0, SwitchBacklight | SwitchClouds | SwitchStorms},
        {16, 30, 35, 80, 90, 0, SwitchBacklight | SwitchClouds | SwitchStorms},
        {18, 30, 15, 40, 60, 0, SwitchBacklight | SwitchClouds},
        {20, 0, 0, 10, 30, 0, SwitchBacklight},
        {24, 0, -12, 0, 0, 10, 0},
    };
    std::vector<ScheduleLine> lines;
    for (const Row &r : Rows) {
        ScheduleLine line;
        std::memset(&line, 0, sizeof line);
        line.Hour = uint8_t(r.hour);
        line.Minute = uint8_t(r.minute);
        line.Alt = altitudeValue(r.altitude);
        for (int c = 0; c < ChannelCount; ++c) {
            int level = 0;
            switch (Kinds[c]) {
            case White: level = r.day; break;
            case Blue: level = r.blue; break;
            case Tint: level = r.day * 6 / 10; break;
            case Violet: level = r.blue / 2; break;
            case Moon: level = r.moon; break;
            }
            line.Color16[c] = uint8_t(level);
        }
        line.Switch = r.switches;
        lines.push_back(line);
    }
    return lines;
}

int16_t altitudeValue(double degrees)
{
    return int16_t(std::lround(std::sin(degrees * Deg) * 10000.0));
}

ScheduleState levelsByTime(const std::vector<ScheduleLine> &lines, double minuteOfDay)
{
    std::vector<double> pos;
    pos.reserve(lines.size());
    for (const ScheduleLine &line : lines)
        pos.push_back(line.Hour * 60.0 + line.Minute);
    return interpolate(lines, pos, minuteOfDay);
}

std::vector<double> sunPathPositions(const std::vector<ScheduleLine> &lines)
{
    const int n = int(lines.size());
    std::vector<double> pos(size_t(n), 0.0);
    for (int k = 0; k + 1 < n; ++k) {
        pos[size_t(k)] = altitudeDegrees(lines[size_t(k)].Alt) + 90;
        if (int16_t(lines[size_t(k + 1)].Alt) < int16_t(lines[size_t(k)].Alt))
            break;
    }
    // Written last, so the turning point itself lies on the setting side.
    for (int k = n - 1; k >= 1; --k) {
        pos[size_t(k)] = 270 - altitudeDegrees(lines[size_t(k)].Alt);
        if (int16_t(lines[size_t(k)].Alt) > int16_t(lines[size_t(k - 1)].Alt))
            break;
    }
    return pos;
}

double sunPathPosition(double altitudeDegrees, bool east)
{
    return east ? altitudeDegrees + 90 : 270 - altitudeDegrees;
}

ScheduleState levelsBySun(const std::vector<ScheduleLine> &lines, double altitudeDegrees, bool east)
{
    return interpolate(lines, sunPathPositions(lines), sunPathPosition(altitudeDegrees, east));
}

QDateTime transitionTime(int year, int month, int day, int hour, int dayOfWeek)
{
    if (month < 1 || month > 12 || day < 1)
        return {};
    const int lastDay = QDate(year, month, 1).daysInMonth();
    QDate date(year, month, std::min(day, lastDay));
    if (dayOfWeek >= 0 && dayOfWeek <= 6) {
        while (date.dayOfWeek() % 7 != dayOfWeek) // Qt counts Monday 1 .. Sunday 7
            date = date.addDays(-1);
    }
    return QDateTime(date, QTime(std::clamp(hour, 0, 23), 0), Qt::UTC);
}

int utcOffsetMinutes(const ExpertRecord &expert, const QDateTime &localWall)
{
    const int bias = int16_t(expert.Bias);
    if (expert.DaylightMonth == 0)
        return bias;
    const QDateTime t(localWall.date(), localWall.time(), Qt::UTC);
    const int year = t.date().year();
    const QDateTime daylight = transitionTime(year, expert.DaylightMonth, expert.DaylightDay,
                                              expert.DaylightHour, expert.DaylightDayOfWeek);
    const QDateTime standard = transitionTime(year, expert.StandardMonth, expert.StandardDay,
                                              expert.StandardHour, expert.StandardDayOfWeek);
    if (!daylight.isValid() || !standard.isValid() || daylight == standard)
        return bias;
    const bool summer = daylight < standard ? (t >= daylight && t < standard)
                                            : (t >= daylight || t < standard);
    return bias + (summer ? 60 : 0);
}

SunAltitude sunAltitude(const QDateTime &utc, double latitudeDeg, double longitudeDeg)
{
    const double jd = utc.toMSecsSinceEpoch() / 86400000.0 + 2440587.5;
    const double n = jd - 2451545.0;
    const double meanLongitude = std::fmod(280.460 + 0.9856474 * n, 360.0);
    const double anomaly = (357.528 + 0.9856003 * n) * Deg;
    const double eclipticLongitude =
        (meanLongitude + 1.915 * std::sin(anomaly) + 0.020 * std::sin(2 * anomaly)) * Deg;
    const double obliquity = (23.439 - 0.0000004 * n) * Deg;
    const double rightAscension = std::atan2(std::cos(obliquity) * std::sin(eclipticLongitude),
                                             std::cos(eclipticLongitude));
    const double declination = std::asin(std::sin(obliquity) * std::sin(eclipticLongitude));
    const double siderealDeg = std::fmod(280.46061837 + 360.98564736629 * n, 360.0);
    const double hourAngle = (siderealDeg + longitudeDeg) * Deg - rightAscension;
    const double lat = latitudeDeg * Deg;
    const double sinAlt = std::sin(lat) * std::sin(declination)
        + std::cos(lat) * std::cos(declination) * std::cos(hourAngle);
    SunAltitude sun;
    sun.degrees = std::asin(std::clamp(sinAlt, -1.0, 1.0)) / Deg;
    sun.east = std::sin(hourAngle) < 0;
    return sun;
}

int16_t waterTemperatureAt(int16_t base, const QDateTime &wall)
{
    if (base == NoValue16)
        return NoValue16;
    return clampSensor(base + std::lround(3 * daily(wall, 15)));
}

int16_t boardTemperatureAt(int16_t base, const QDateTime &wall)
{
    if (base == NoValue16)
        return NoValue16;
    return clampSensor(base + std::lround(40 * daily(wall, 14)));
}

int16_t inputVoltageAt(int16_t base, const QDateTime &wall)
{
    if (base == NoValue16)
        return NoValue16;
    // A slow ripple of a few hundredths of a volt every three hours.
    return clampSensor(base + std::lround(4 * std::sin(2 * std::numbers::pi * minuteOfDay(wall) / 180.0)));
}

int16_t slaveTemperatureAt(int16_t base, const QDateTime &wall)
{
    if (base == NoValue16)
        return NoValue16;
    return clampSensor(base + std::lround(6 * daily(wall, 14)));
}

} // namespace sim
