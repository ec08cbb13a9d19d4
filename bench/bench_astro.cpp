// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Times the sky computation the geo page performs on every change of its inputs: sun and moon
// positions and both bodies' rise and set for one place and local time. Also the time-zone
// lookup that precedes it, and the sun position alone (the light-curve marker, once per redraw).
// Prints the median of many runs of each.

#include "astro/astro.h"
#include "astro/timezone.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

volatile double g_sink = 0;  // keeps the optimiser from dropping the work

double MedianMicros(const std::function<void()>& work, int runs, int batch)
{
    std::vector<double> samples;
    samples.reserve(runs);
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < batch; ++i)
            work();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(end - start).count() / batch);
    }
    std::nth_element(samples.begin(), samples.begin() + runs / 2, samples.end());
    return samples[runs / 2];
}

}  // namespace

int main()
{
    // Berlin, 14:35 local time on 21 June 2026 (UTC+2).
    const double latitude = 52.52 * astro::RadPerDeg;
    const double longitude = 13.40 * astro::RadPerDeg;
    const int tz = 2;
    const double jd0 = JulianDay(21, 6, 2026);
    const double jd = jd0 + (14 - tz + 35 / 60.0) / 24;

    const double full = MedianMicros(
        [&] {
            const double theta = LocalSiderealTime(longitude, SiderealTime(jd)) * 15 * astro::RadPerDeg;
            BodyPosition observer, sun, moon;
            RiseSetTimes sunTimes, moonTimes;
            ObserverPosition(observer, longitude, latitude, 0);
            SunPosition(sun, jd + DeltaT(), latitude, theta);
            MoonPosition(moon, sun, observer, jd + DeltaT(), theta);
            SunRiseSet(sunTimes, tz, latitude, longitude, DeltaTSeconds, jd0);
            MoonRiseSet(moonTimes, tz, latitude, longitude, DeltaTSeconds, jd0);
            g_sink = g_sink + sun.altitude + moon.altitude + sunTimes.rise + moonTimes.rise;
        },
        501, 200);

    const double sunOnly = MedianMicros(
        [&] {
            const BodyPosition sun = SunAt(52.52, 13.40, 2026, 6, 21, 14, 35, 120);
            g_sink = g_sink + sun.altitude;
        },
        501, 2000);

    const double offset = MedianMicros(
        [&] { g_sink = g_sink + UtcOffsetForDate(QDate(2026, 6, 21), QTime(14, 35)); }, 101, 20);

    std::printf("sun+moon positions and rise/set (geo page): %8.2f us median\n", full);
    std::printf("sun position only (light-curve marker):     %8.3f us median\n", sunOnly);
    std::printf("UtcOffsetForDate, system zone:              %8.2f us median\n", offset);
    return 0;
}
