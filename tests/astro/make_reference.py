#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes reference.csv: sun and moon positions and daily events from PyEphem.

Run with Debian's interpreter (python3-ephem):  /usr/bin/python3 tests/astro/make_reference.py

The program's own formulas use the mathematical horizon for the body's centre, without
refraction, and the geocentric moon for rise and set; the reference is computed the same way:
pressure 0 (no refraction), use_center=True, horizon 0 for the sun and, for the moon, a horizon
lowered by the moon's horizontal parallax (a topocentric altitude of -HP is a geocentric
altitude of 0). Positions are topocentric azimuth and altitude, again without refraction.

Rows (all angles in degrees, event times as local clock hours 0..24 of the local day, where the
local day uses the zone offset truncated to whole hours, as the program does):
  pos,<body>,place,lat,lon,tz,year,month,day,hour,minute,azimuth,altitude,fraction
  events,<body>,place,lat,lon,tz,year,month,day,,,rise,set,transit,lowerTransit
An event cell is empty when the event does not happen on that local day; "up" or "down" in the
rise and set cells marks polar day or night, and "edge" in all four cells a day next to the
start or end of a polar day or night (the body only grazes the horizon; no low-precision
interpolation can be expected to agree there).
"""

import csv
import datetime
import math
import os
import random
import zoneinfo

import ephem

PLACES = [
    # name, latitude, longitude, zone
    ("Berlin", 52.52, 13.40, "Europe/Berlin"),
    ("NewYork", 40.71, -74.01, "America/New_York"),
    ("Sydney", -33.87, 151.21, "Australia/Sydney"),
    ("Kolkata", 22.57, 88.36, "Asia/Kolkata"),
    ("CapeTown", -33.92, 18.42, "Africa/Johannesburg"),
    ("BuenosAires", -34.60, -58.38, "America/Argentina/Buenos_Aires"),
    ("Honolulu", 21.31, -157.86, "Pacific/Honolulu"),
    ("Quito", -0.18, -78.47, "America/Guayaquil"),
    ("Greenwich0", 0.0, 0.0, "UTC"),
    ("Reykjavik", 64.15, -21.94, "Atlantic/Reykjavik"),
    ("Tromso", 69.65, 18.96, "Europe/Oslo"),
    ("Longyearbyen", 78.22, 15.65, "Arctic/Longyearbyen"),
    ("McMurdo", -77.85, 166.67, "Antarctica/McMurdo"),
    ("Tokyo", 35.68, 139.69, "Asia/Tokyo"),
    ("Anchorage", 61.22, -149.90, "America/Anchorage"),
    ("Auckland", -36.85, 174.76, "Pacific/Auckland"),
]

FIXED_DATES = [
    (1996, 2, 29), (1999, 8, 11), (2003, 11, 23), (2008, 6, 21), (2010, 12, 21),
    (2014, 3, 20), (2017, 9, 22), (2020, 6, 5), (2021, 12, 4), (2024, 4, 8),
    (2026, 3, 29), (2026, 10, 25), (2030, 7, 15), (2034, 1, 10),
]

LOCAL_TIMES = [(0, 20), (5, 17), (9, 45), (13, 0), (18, 23)]


def tz_hours(zone, y, m, d):
    """Offset at local noon in whole hours, truncated toward zero (the program's convention)."""
    noon = datetime.datetime(y, m, d, 12, 0, tzinfo=zoneinfo.ZoneInfo(zone))
    minutes = int(noon.utcoffset().total_seconds() // 60)
    return int(minutes / 60)


def observer(lat, lon, when, horizon=0.0):
    o = ephem.Observer()
    o.lat = str(lat)
    o.lon = str(lon)
    o.elevation = 0
    o.pressure = 0
    o.temp = 15
    o.horizon = horizon
    o.date = when
    return o


def moon_parallax(lat, lon, when):
    m = ephem.Moon()
    m.compute(observer(lat, lon, when))
    return math.asin(6378.137 / (m.earth_distance * ephem.meters_per_au / 1000.0))


def local_hours(event, start):
    return (float(event) - float(start)) * 24.0


def day_events(body_name, lat, lon, start):
    """Rise, set, transit, lower transit of the local day starting at `start` (ephem date)."""
    end = ephem.Date(start + 1)
    out = []
    for kind in ("rise", "set"):
        try:
            if body_name == "sun":
                o = observer(lat, lon, start, 0.0)
                f = o.next_rising if kind == "rise" else o.next_setting
                t = f(ephem.Sun(), use_center=True)
            else:
                # The geocentric moon on the horizon: lower the horizon by the parallax at the
                # event, found by iteration.
                t = None
                guess = start
                for _ in range(3):
                    o = observer(lat, lon, start, -moon_parallax(lat, lon, guess))
                    f = o.next_rising if kind == "rise" else o.next_setting
                    t = f(ephem.Moon(), use_center=True)
                    guess = t
            out.append(local_hours(t, start) if t < end else "")
        except ephem.AlwaysUpError:
            out.append("up")
        except ephem.NeverUpError:
            out.append("down")
    for kind in ("transit", "antitransit"):
        o = observer(lat, lon, start)
        body = ephem.Sun() if body_name == "sun" else ephem.Moon()
        t = o.next_transit(body) if kind == "transit" else o.next_antitransit(body)
        out.append(local_hours(t, start) if t < end else "")
    return out


def polar_state(body_name, lat, lon, start):
    ev = day_events(body_name, lat, lon, start)
    return ev[0] if ev[0] in ("up", "down") else ev[1] if ev[1] in ("up", "down") else "normal"


def grazes(body_name, lat, lon, start, state):
    """True when a polar day's lowest (or a polar night's highest) point of the body's centre,
    geocentric, lies this close to the horizon: half a degree for the sun, one and a half for the
    moon, whose declination changes by up to 7 degrees a day between the program's positions."""
    o = observer(lat, lon, start)
    body = ephem.Sun() if body_name == "sun" else ephem.Moon()
    o.date = o.next_antitransit(body) if state == "up" else o.next_transit(body)
    body.compute(o)
    alt = math.degrees(body.alt)
    if body_name == "moon":
        alt += math.degrees(moon_parallax(lat, lon, o.date))
    return abs(alt) < (0.5 if body_name == "sun" else 1.5)


def fmt(v):
    return v if isinstance(v, str) else "%.6f" % v


def main():
    rng = random.Random(20260308)
    dates = list(FIXED_DATES)
    for _ in range(10):
        base = datetime.date(1995, 1, 1) + datetime.timedelta(days=rng.randrange(0, 40 * 365))
        dates.append((base.year, base.month, base.day))

    rows = []
    for name, lat, lon, zone in PLACES:
        for (y, m, d) in dates:
            tz = tz_hours(zone, y, m, d)
            start = ephem.Date(datetime.datetime(y, m, d) - datetime.timedelta(hours=tz))
            for body_name in ("sun", "moon"):
                ev = day_events(body_name, lat, lon, start)
                polar = [polar_state(body_name, lat, lon, ephem.Date(start + k)) for k in (-1, 0, 1)]
                if len(set(polar)) > 1 or (polar[1] != "normal" and grazes(body_name, lat, lon, start, polar[1])):
                    ev = ["edge"] * 4
                rows.append(["events", body_name, name, lat, lon, tz, y, m, d, "", ""] + [fmt(v) for v in ev])
            for (hh, mm) in LOCAL_TIMES:
                when = ephem.Date(start + (hh + mm / 60.0) / 24.0)
                o = observer(lat, lon, when)
                for body_name, body in (("sun", ephem.Sun()), ("moon", ephem.Moon())):
                    body.compute(o)
                    frac = body.moon_phase if body_name == "moon" else 0.0
                    rows.append(["pos", body_name, name, lat, lon, tz, y, m, d, hh, mm,
                                 fmt(math.degrees(body.az)), fmt(math.degrees(body.alt)), fmt(frac)])

    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference.csv")
    with open(path, "w", newline="") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(["# generated by make_reference.py with PyEphem " + ephem.__version__])
        w.writerows(rows)
    print("wrote %d rows to %s" % (len(rows), path))


if __name__ == "__main__":
    main()
