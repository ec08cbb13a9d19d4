// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Low-precision sun and moon ephemeris for the geo page and the light-curve marker.
//
// Everything here is a pure function on plain records: no state, no Qt widgets, no device image.
// Angles are radians, times of day hours, dates Julian dates. The orbital elements are the
// low-precision ones of the epoch 1990 January 0.0 and are kept exactly as they are: against a
// modern ephemeris the sun is within about 0.05 deg, the moon within a few tenths of a degree,
// rise and set within a minute or two at moderate latitudes (tests/astro measures this).

#include <QString>

struct BodyPosition {
    double latitude = 0;        // body: ecliptic latitude; observer: geographic latitude (north +)
    double longitude = 0;       // body: ecliptic longitude [0, 2pi); observer: longitude (east +)
    double rightAscension = 0;  // [0, 2pi)
    double declination = 0;
    double azimuth = 0;         // [0, 2pi), from north through east
    double altitude = 0;
    double distance = 0;        // km, moon only
    double meanAnomaly = 0;     // sun only, not reduced to one turn
    double phaseAngle = 0;      // moon only: 0 new, pi full, growing while waxing
    double illuminatedFraction = 0;  // moon only, 0..1
    double observerDistance = 0;     // observer only: geocentric distance in km
    bool rising = false;        // east of the meridian (before the upper transit)
};

// Hours of the four daily events. Local results (SunRiseSet, MoonRiseSet) are clock hours
// 0 <= t < 24; MoonRiseSet uses NoEvent for an event that does not happen on that local day.
struct RiseSetTimes {
    double rise = 0;
    double set = 0;
    double transit = 0;       // upper culmination
    double lowerTransit = 0;
};

namespace astro {
inline constexpr double Pi = 3.14159265358979323846;
inline constexpr double TwoPi = 6.283185307179586;
inline constexpr double DegPerRad = 57.295779513082320877;
inline constexpr double HoursPerRad = 3.8197186342054880585;
inline constexpr double RadPerDeg = Pi / 180.0;
inline constexpr double NoEvent = -1.0;
// Sun or moon "no rise and no set" (polar day or night): the two events lie this close together.
inline constexpr double PolarThresholdHours = 1.0 / 120.0;
}  // namespace astro

// Added to universal time before body positions are computed.
inline constexpr double DeltaTSeconds = 65.0;
// The same, in days: jde = jd + DeltaT().
constexpr double DeltaT() { return DeltaTSeconds / 86400.0; }

// x - m * floor(x / m), kept inside [0, m).
double FloorMod(double m, double x);
// "hh:mm" (rounded to the minute, so 23.999 is "24:00"); "--:--" for negative or non-finite hours.
QString FormatHours(double hours);

// Julian date at 0 h UT; valid from March 1900 to February 2100.
double JulianDay(int day, int month, int year);
// Greenwich mean sidereal time in hours.
double SiderealTime(double jd);
// Universal time in hours on the day of jd for a Greenwich sidereal time; not reduced to 0..24.
double SiderealToUniversal(double jd, double gst);
// Local sidereal time in hours; longitude in radians, east positive.
double LocalSiderealTime(double longitude, double gmst);

// Sets right ascension and declination from the ecliptic coordinates.
void EclipticToEquatorial(BodyPosition& position, double jd);
// Sets azimuth, altitude and the rising flag; theta is the local sidereal time as an angle.
void EquatorialToHorizontal(BodyPosition& position, double latitude, double theta);
// Clears the record and fills it for an observer; height in km.
void ObserverPosition(BodyPosition& observer, double longitude, double latitude, double height);
// The sun at jd (dynamical time); latitude and theta only serve the horizontal coordinates.
void SunPosition(BodyPosition& sun, double jd, double latitude, double theta);

// Greenwich sidereal hours of the four events for one position, mathematical horizon.
RiseSetTimes RiseSetSidereal(const BodyPosition& position, double latitude, double longitude);
// Sidereal time of an event between two positions k days apart.
double InterpolateCrossing(double k, double s1, double s2, double g0);
// Universal hours of the events from the body at jdMidnight (p1) and k days later (p2).
RiseSetTimes RiseSetFromPositions(const BodyPosition& p1, const BodyPosition& p2, double k,
                                  double latitude, double longitude, double jdMidnight);
// Sun events as local clock hours of the local date whose 0 h Julian date is jd0.
// tzHours: whole hours east of UTC.
void SunRiseSet(RiseSetTimes& result, int tzHours, double latitude, double longitude,
                double deltaTSeconds, double jd0);

// The moon at jd; sun is SunPosition for the same jd, observer from ObserverPosition.
// theta == 0 means "no observer": geocentric equatorial coordinates, no horizontal ones.
void MoonPosition(BodyPosition& moon, const BodyPosition& sun, const BodyPosition& observer,
                  double jd, double theta);
// Replaces the moon's right ascension and declination by those seen from the observer.
void TopocentricCorrection(BodyPosition& moon, const BodyPosition& observer, double theta);
// Moon events as local clock hours of the local date, astro::NoEvent where none happens.
void MoonRiseSet(RiseSetTimes& result, int tzHours, double latitude, double longitude,
                 double deltaTSeconds, double jd0);

// Phase angle from the moon's true orbital longitude and the sun's ecliptic longitude.
double MoonPhaseAngle(double moonTrueLongitude, double sunLongitude);
// Illuminated fraction 0..1 for a phase angle.
double IlluminatedFraction(double phaseAngle);
// Waxing half of the lunation: the lit part is on the right (northern view).
inline bool IsWaxing(double phaseAngle) { return phaseAngle <= astro::Pi; }

// True when the two events are so close that the body neither rises nor sets (polar day/night).
bool NoRiseOrSet(const RiseSetTimes& times);

// Whole hours of a UTC offset, truncated toward zero (+5:30 gives 5, -3:30 gives -3).
constexpr int TzHoursFromOffset(int utcOffsetMinutes) { return utcOffsetMinutes / 60; }

// The whole sky for a place (degrees) and a local date and time, computed in the order the geo
// page and the light-curve marker rely on.
struct SkyView {
    int tzHours = 0;
    double jd0 = 0;    // 0 h of the local date
    double jd = 0;     // universal time
    double jde = 0;    // jd + DeltaT
    double gmst = 0;   // hours
    double lst = 0;    // hours
    BodyPosition observer;
    BodyPosition sun;
    BodyPosition moon;
    RiseSetTimes sunTimes;
    RiseSetTimes moonTimes;
};
// utcOffsetMinutes: from UtcOffsetForDate for that local date and time.
SkyView ComputeSky(double latitudeDeg, double longitudeDeg, int year, int month, int day,
                   int hour, int minute, int utcOffsetMinutes, bool withRiseSet = true);
// Only the sun's position (the light-curve marker).
BodyPosition SunAt(double latitudeDeg, double longitudeDeg, int year, int month, int day,
                   int hour, int minute, int utcOffsetMinutes);
