// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "astro/astro.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

using namespace astro;

namespace {

// Sun, epoch 1990 January 0.0.
constexpr double Epoch1990 = 2447891.5;
constexpr double J2000 = 2451545.0;
constexpr double DaysPerCentury = 36525.0;
constexpr double SunDailyMotion = 0.017202791632524147456;
constexpr double SunLongitudeAtEpoch = 4.876507578297350598;
constexpr double SunPerigeeAtEpoch = 4.935239984568769;
constexpr double SunEccentricity = 0.016713;

// Earth.
constexpr double EarthRadiusKm = 6378.137;
constexpr double EarthAxisRatio = 0.9966471893352525;

// Sidereal time.
constexpr double SiderealPerSolar = 1.002737909;
constexpr double SolarPerSidereal = 0.9972695663;
constexpr double LongitudeRate = 1.002738;
constexpr double InterpolationConstant = 24.07;
constexpr double WrapThresholdHours = 18.0;

// Moon, epoch 1990 January 0.0.
constexpr double MoonMeanLongitudeAtEpoch = 5.556284436750021;
constexpr double MoonPerigeeAtEpoch = 0.6342598060246726;
constexpr double MoonNodeAtEpoch = 5.559050068029439;
constexpr double MoonInclination = 0.08980410151894616;
constexpr double MoonDailyMotion = 0.22997150421858627457;
constexpr double MoonPerigeeDailyMotion = 0.0019443683452210149;
constexpr double MoonNodeDailyMotion = 0.0009242199067718253;
constexpr double Evection = 0.022233749341155764481;
constexpr double AnnualEquation = 0.0032428217502054645;
constexpr double ThirdCorrection = 0.006457718232379019;
constexpr double EquationOfCentre = 0.109756775340915409777;
constexpr double FourthCorrection = 0.0037350045992678655;
constexpr double Variation = 0.011489502465878671605;
constexpr double NodeCorrection = 0.002792526803190927323;
constexpr double MoonEccentricity = 0.0549;
constexpr double MoonSemiMajorAxisKm = 384401.0;

// Rounding can push a sine a hair beyond +-1 (a body in the zenith); arcsin would then give NaN
// and the whole view would show garbage for what is really +-90 degrees.
double SafeAsin(double x)
{
    return std::asin(std::clamp(x, -1.0, 1.0));
}

double Frac(double x)
{
    return x - std::floor(x);
}

// Julian centuries from J2000 of the 0 h UT before jd.
double CenturiesAtMidnight(double jd)
{
    return (std::floor(jd - 0.5) + 0.5 - J2000) / DaysPerCentury;
}

double SiderealAtMidnight(double t)
{
    return t * (t * 2.5862e-5 + 2400.051336) + 6.697374558;
}

std::array<double*, 4> Events(RiseSetTimes& r)
{
    return {&r.rise, &r.set, &r.transit, &r.lowerTransit};
}

// Universal hours of the sun's events for the UT day of jd0, as RiseSetFromPositions gives them.
RiseSetTimes SunRiseSetUniversal(double latitude, double longitude, double deltaTSeconds, double jd0)
{
    const double m = std::floor(jd0 - 0.5) + 0.5;
    BodyPosition p1, p2;
    SunPosition(p1, m + deltaTSeconds / 86400.0, 0, 0);
    SunPosition(p2, m + 1 + deltaTSeconds / 86400.0, 0, 0);
    return RiseSetFromPositions(p1, p2, 1, latitude, longitude, m);
}

RiseSetTimes MoonRiseSetUniversal(double latitude, double longitude, double deltaTSeconds, double jd0)
{
    const double m = std::floor(jd0 - 0.5) + 0.5;
    const BodyPosition noObserver;
    BodyPosition s1, s2, q1, q2;
    SunPosition(s1, m + deltaTSeconds / 86400.0, 0, 0);
    MoonPosition(q1, s1, noObserver, m + deltaTSeconds / 86400.0, 0);
    SunPosition(s2, m + 0.5 + deltaTSeconds / 86400.0, 0, 0);
    MoonPosition(q2, s2, noObserver, m + 0.5 + deltaTSeconds / 86400.0, 0);
    return RiseSetFromPositions(q1, q2, 0.5, latitude, longitude, m);
}

}  // namespace

double FloorMod(double m, double x)
{
    const double r = x - m * std::floor(x / m);
    // A tiny negative x gives exactly m after rounding; callers rely on [0, m) (azimuth 360
    // would print, hour 24 would count as the next day).
    return r >= m ? 0.0 : r;
}

QString FormatHours(double hours)
{
    if (!(hours >= 0) || !std::isfinite(hours))
        return QStringLiteral("--:--");
    double whole = std::trunc(hours);
    double minutes = (hours - whole) * 60.0;
    if (minutes >= 59.5) {
        whole += 1;
        minutes -= 60;
    }
    // nearbyint in the default rounding mode sends halves to the even neighbour; after the
    // carry minutes lie in [-0.5, 59.5), so the result is 0..59.
    const long long m = static_cast<long long>(std::nearbyint(minutes));
    const long long h = static_cast<long long>(std::min(whole, 1e15));
    return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
}

double JulianDay(int day, int month, int year)
{
    // In floating point so that no field value, however wrong, can overflow.
    double y = year;
    double m = month;
    if (month <= 2) {
        y -= 1;
        m += 12;
    }
    return std::trunc(365.25 * (y - 1900)) + std::trunc(30.6001 * (m + 1)) + day + 2414956.5;
}

double SiderealTime(double jd)
{
    const double ut = Frac(jd - 0.5) * 24.0;
    const double t = CenturiesAtMidnight(jd);
    return FloorMod(24, SiderealPerSolar * ut + SiderealAtMidnight(t));
}

double SiderealToUniversal(double jd, double gst)
{
    const double g0 = FloorMod(24, SiderealAtMidnight(CenturiesAtMidnight(jd)));
    return (gst - g0) * SolarPerSidereal;
}

double LocalSiderealTime(double longitude, double gmst)
{
    return FloorMod(24, longitude * DegPerRad / 15.0 + gmst);
}

void EclipticToEquatorial(BodyPosition& position, double jd)
{
    const double t = (jd - J2000) / DaysPerCentury;
    const double eps = (((0.00181 * t - 0.0006) * t - 46.815) * t / 3600.0 + 23.4392916666666666667) * RadPerDeg;
    const double lambda = position.longitude;
    const double beta = position.latitude;
    position.rightAscension =
        FloorMod(TwoPi, std::atan2(std::sin(lambda) * std::cos(eps) - std::tan(beta) * std::sin(eps), std::cos(lambda)));
    position.declination =
        SafeAsin(std::sin(beta) * std::cos(eps) + std::cos(beta) * std::sin(eps) * std::sin(lambda));
}

void EquatorialToHorizontal(BodyPosition& position, double latitude, double theta)
{
    const double h = theta - position.rightAscension;
    const double delta = position.declination;
    const double y = -std::cos(delta) * std::sin(h);
    position.rising = y >= 0;
    position.azimuth = FloorMod(
        TwoPi, std::atan2(y, std::sin(delta) * std::cos(latitude) - std::cos(delta) * std::cos(h) * std::sin(latitude)));
    position.altitude =
        SafeAsin(std::sin(delta) * std::sin(latitude) + std::cos(delta) * std::cos(h) * std::cos(latitude));
}

void ObserverPosition(BodyPosition& observer, double longitude, double latitude, double height)
{
    const double cosPhi = std::cos(latitude);
    const double sinPhi = std::sin(latitude);
    const double f2 = EarthAxisRatio * EarthAxisRatio;
    const double c = 1.0 / std::sqrt(cosPhi * cosPhi + f2 * sinPhi * sinPhi);
    const double a = EarthRadiusKm * c + height;
    const double b = EarthRadiusKm * f2 * c + height;
    observer = BodyPosition{};
    observer.latitude = latitude;
    observer.longitude = longitude;
    observer.observerDistance = std::sqrt(a * a * cosPhi * cosPhi + b * b * sinPhi * sinPhi);
}

void SunPosition(BodyPosition& sun, double jd, double latitude, double theta)
{
    sun = BodyPosition{};
    const double d = jd - Epoch1990;
    const double m = d * SunDailyMotion + SunLongitudeAtEpoch - SunPerigeeAtEpoch;
    sun.meanAnomaly = m;
    const double nu = m + 2 * SunEccentricity * std::sin(m);
    sun.longitude = FloorMod(TwoPi, nu + SunPerigeeAtEpoch);
    sun.latitude = 0;
    EclipticToEquatorial(sun, jd);
    EquatorialToHorizontal(sun, latitude, theta);
}

RiseSetTimes RiseSetSidereal(const BodyPosition& position, double latitude, double longitude)
{
    double c = (0 - std::sin(latitude) * std::sin(position.declination))
               / (std::cos(latitude) * std::cos(position.declination));
    // 0/0 only happens exactly at a pole for a body exactly on the equator: on the horizon all
    // day, treated like "never rises" so that rise and set coincide as in the clamped cases.
    if (std::isnan(c))
        c = 1;
    c = std::clamp(c, -1.0, 1.0);
    const double h = std::acos(c);
    const double base = position.rightAscension - longitude;
    RiseSetTimes r;
    r.transit = FloorMod(24, base * HoursPerRad);
    r.lowerTransit = FloorMod(24, base * HoursPerRad + 12);
    r.rise = FloorMod(24, (-h + base) * HoursPerRad + 24);
    r.set = FloorMod(24, (h + base) * HoursPerRad);
    return r;
}

double InterpolateCrossing(double k, double s1, double s2, double g0)
{
    return (InterpolationConstant * k * s1 - (s2 - s1) * g0) / (InterpolationConstant * k + s1 - s2);
}

RiseSetTimes RiseSetFromPositions(const BodyPosition& p1, const BodyPosition& p2, double k,
                                  double latitude, double longitude, double jdMidnight)
{
    RiseSetTimes r1 = RiseSetSidereal(p1, latitude, longitude);
    RiseSetTimes r2 = RiseSetSidereal(p2, latitude, longitude);
    const auto e1 = Events(r1);
    const auto e2 = Events(r2);
    for (size_t i = 0; i < e1.size(); ++i) {
        if (*e1[i] > *e2[i] && std::abs(*e1[i] - *e2[i]) > WrapThresholdHours)
            *e2[i] += 24;
    }
    // l0 is the sidereal time at local mean midnight; every event is moved into the sidereal
    // day that begins there, so that the results belong to the local day of jdMidnight. l0 lies
    // between -12 and 36 hours and is deliberately not reduced modulo 24: a reduced l0 would move
    // the whole window a day ahead (east) or leave events before it (west), and the day's
    // events would then be another day's.
    const double g0 = SiderealTime(jdMidnight);
    const double l0 = g0 - (longitude * DegPerRad / 15.0) * LongitudeRate;
    for (size_t i = 0; i < e1.size(); ++i) {
        while (*e1[i] < l0) {
            *e1[i] += 24;
            *e2[i] += 24;
        }
        while (*e1[i] >= l0 + 24) {
            *e1[i] -= 24;
            *e2[i] -= 24;
        }
    }
    RiseSetTimes result;
    const auto out = Events(result);
    for (size_t i = 0; i < out.size(); ++i)
        *out[i] = SiderealToUniversal(jdMidnight, InterpolateCrossing(k, *e1[i], *e2[i], g0));
    return result;
}

void SunRiseSet(RiseSetTimes& result, int tzHours, double latitude, double longitude,
                double deltaTSeconds, double jd0)
{
    const double tz = tzHours;
    RiseSetTimes r = SunRiseSetUniversal(latitude, longitude, deltaTSeconds, jd0);
    const auto ev = Events(r);
    if (tz >= 0 && std::any_of(ev.begin(), ev.end(), [&](double* e) { return *e >= 24 - tz; })) {
        RiseSetTimes next = SunRiseSetUniversal(latitude, longitude, deltaTSeconds, jd0 + 1);
        const auto nv = Events(next);
        for (size_t i = 0; i < ev.size(); ++i) {
            if (*ev[i] >= 24 - tz)
                *ev[i] = *nv[i];
        }
    }
    if (tz < 0 && std::any_of(ev.begin(), ev.end(), [&](double* e) { return *e < -tz; })) {
        RiseSetTimes prev = SunRiseSetUniversal(latitude, longitude, deltaTSeconds, jd0 - 1);
        const auto pv = Events(prev);
        for (size_t i = 0; i < ev.size(); ++i) {
            if (*ev[i] < -tz)
                *ev[i] = *pv[i];
        }
    }
    for (double* e : ev)
        *e = FloorMod(24, *e + tz);
    result = r;
}

void MoonPosition(BodyPosition& moon, const BodyPosition& sun, const BodyPosition& observer,
                  double jd, double theta)
{
    const double sunLongitude = sun.longitude;
    const double sunAnomaly = sun.meanAnomaly;
    moon = BodyPosition{};

    const double d = jd - Epoch1990;
    const double l = MoonDailyMotion * d + MoonMeanLongitudeAtEpoch;
    const double mm = l - MoonPerigeeDailyMotion * d - MoonPerigeeAtEpoch;
    const double n = MoonNodeAtEpoch - MoonNodeDailyMotion * d;
    const double ev = Evection * std::sin(2 * (l - sunLongitude) - mm);
    const double ae = AnnualEquation * std::sin(sunAnomaly);
    const double a3 = ThirdCorrection * std::sin(sunAnomaly);
    const double mmCorr = mm + ev - ae - a3;
    const double ec = EquationOfCentre * std::sin(mmCorr);
    const double a4 = FourthCorrection * std::sin(2 * mmCorr);
    const double l1 = l + ev + ec - ae + a4;
    const double v = Variation * std::sin(2 * (l1 - sunLongitude));
    const double trueLongitude = l1 + v;
    const double node = n - NodeCorrection * std::sin(sunAnomaly);

    const double u = trueLongitude - node;
    moon.longitude = FloorMod(TwoPi, std::atan2(std::sin(u) * std::cos(MoonInclination), std::cos(u)) + node);
    moon.latitude = SafeAsin(std::sin(u) * std::sin(MoonInclination));
    EclipticToEquatorial(moon, jd);
    moon.distance = (1 - MoonEccentricity * MoonEccentricity) / (1 + MoonEccentricity * std::cos(mmCorr + ec))
                    * MoonSemiMajorAxisKm;
    if (theta != 0) {
        TopocentricCorrection(moon, observer, theta);
        EquatorialToHorizontal(moon, observer.latitude, theta);
    }
    moon.phaseAngle = MoonPhaseAngle(trueLongitude, sunLongitude);
    moon.illuminatedFraction = IlluminatedFraction(moon.phaseAngle);
}

void TopocentricCorrection(BodyPosition& moon, const BodyPosition& observer, double theta)
{
    const double alpha = moon.rightAscension;
    const double delta = moon.declination;
    const double dist = moon.distance;
    const double rho = observer.observerDistance;
    const double phi = observer.latitude;
    const double x = std::cos(alpha) * dist * std::cos(delta) - rho * std::cos(phi) * std::cos(theta);
    const double y = std::sin(alpha) * dist * std::cos(delta) - rho * std::cos(phi) * std::sin(theta);
    const double z = dist * std::sin(delta) - rho * std::sin(phi);
    const double r = std::sqrt(x * x + y * y + z * z);
    // r is 0 only for a moon record without a distance; leave such a record as it is.
    if (!(r > 0))
        return;
    moon.declination = SafeAsin(z / r);
    moon.rightAscension = FloorMod(TwoPi, std::atan2(y, x));
}

void MoonRiseSet(RiseSetTimes& result, int tzHours, double latitude, double longitude,
                 double deltaTSeconds, double jd0)
{
    // The moon's events come about 50 minutes later each day, so a local day holds at most one
    // of each and sometimes none. The universal day computed for jd0 is shifted against the
    // local day by the zone offset; an event outside the local day is replaced by the
    // neighbouring day's occurrence when that one falls inside, and otherwise reported as none.
    // Both neighbours are looked at, whichever side of the day the event fell out of: the
    // previous day's occurrence first, as zones east of Greenwich most often need.
    const double tz = tzHours;
    const double dayStart = -tz;
    const double dayEnd = 24 - tz;
    RiseSetTimes r = MoonRiseSetUniversal(latitude, longitude, deltaTSeconds, jd0);
    std::optional<RiseSetTimes> prev, next;
    const std::array<double RiseSetTimes::*, 4> fields = {&RiseSetTimes::transit, &RiseSetTimes::lowerTransit,
                                                          &RiseSetTimes::rise, &RiseSetTimes::set};
    for (double RiseSetTimes::*f : fields) {
        const double e = r.*f;
        if (e >= dayStart && e < dayEnd) {
            r.*f = FloorMod(24, e + tz);
            continue;
        }
        if (!prev)
            prev = MoonRiseSetUniversal(latitude, longitude, deltaTSeconds, jd0 - 1);
        const double p = (*prev).*f - 24;  // the previous day's hour on this day's scale
        if (p >= dayStart && p < dayEnd) {
            r.*f = FloorMod(24, p + tz);
            continue;
        }
        if (!next)
            next = MoonRiseSetUniversal(latitude, longitude, deltaTSeconds, jd0 + 1);
        const double n = (*next).*f + 24;
        r.*f = n >= dayStart && n < dayEnd ? FloorMod(24, n + tz) : NoEvent;
    }
    result = r;
}

double MoonPhaseAngle(double moonTrueLongitude, double sunLongitude)
{
    return FloorMod(TwoPi, moonTrueLongitude - sunLongitude);
}

double IlluminatedFraction(double phaseAngle)
{
    return (1 - std::cos(phaseAngle)) * 0.5;
}

bool NoRiseOrSet(const RiseSetTimes& times)
{
    return !(std::abs(times.rise - times.set) > PolarThresholdHours);
}

SkyView ComputeSky(double latitudeDeg, double longitudeDeg, int year, int month, int day,
                   int hour, int minute, int utcOffsetMinutes, bool withRiseSet)
{
    SkyView s;
    const double latitude = latitudeDeg * RadPerDeg;
    const double longitude = longitudeDeg * RadPerDeg;
    s.tzHours = TzHoursFromOffset(utcOffsetMinutes);
    s.jd0 = JulianDay(day, month, year);
    s.jd = s.jd0 + (hour - s.tzHours + minute / 60.0) / 24.0;
    s.jde = s.jd + DeltaT();
    s.gmst = SiderealTime(s.jd);
    s.lst = LocalSiderealTime(longitude, s.gmst);
    const double theta = s.lst * 15 * RadPerDeg;
    ObserverPosition(s.observer, longitude, latitude, 0);
    SunPosition(s.sun, s.jde, latitude, theta);
    MoonPosition(s.moon, s.sun, s.observer, s.jde, theta);
    if (withRiseSet) {
        SunRiseSet(s.sunTimes, s.tzHours, latitude, longitude, DeltaTSeconds, s.jd0);
        MoonRiseSet(s.moonTimes, s.tzHours, latitude, longitude, DeltaTSeconds, s.jd0);
    }
    return s;
}

BodyPosition SunAt(double latitudeDeg, double longitudeDeg, int year, int month, int day,
                   int hour, int minute, int utcOffsetMinutes)
{
    const double latitude = latitudeDeg * RadPerDeg;
    const double longitude = longitudeDeg * RadPerDeg;
    const int tz = TzHoursFromOffset(utcOffsetMinutes);
    const double jd = JulianDay(day, month, year) + (hour - tz + minute / 60.0) / 24.0;
    const double theta = LocalSiderealTime(longitude, SiderealTime(jd)) * 15 * RadPerDeg;
    BodyPosition sun;
    SunPosition(sun, jd + DeltaT(), latitude, theta);
    return sun;
}
