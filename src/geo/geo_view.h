// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the geo page shows, computed without widgets: the sky for the configured place at the
// controller's clock, its two-line text, the moon drawing, and the conversions of the page's
// edits.

#include <QDateTime>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

#include "astro/astro.h"
#include "link/records.h"

namespace geoview {
inline constexpr int MoonImageSize = 60;
inline constexpr QRgb MoonColour = 0xFFE0E000;
inline constexpr double MoonRadius = 20;
}  // namespace geoview

// The two lines below the map, joined by a line break:
//   Sun: Azimuth: a°, Alt: h°[, Rise: hh:mm, Set: hh:mm, Length of day: hh:mm hours]
//   Moon: Azimuth: a°, Alt: h°[, Rise: hh:mm, Set: hh:mm], Phase: p%
// Rise and set are left out while the body neither rises nor sets. The text stops before the
// first value that did not compute (not finite), so a failed computation never shows a number.
// *complete tells whether every value was finite.
QString GeoViewText(const SkyView &sky, bool *complete = nullptr);

struct GeoViewResult {
    bool computed = false;  // false: the clock holds no valid date and time
    SkyView sky;
    QString text;           // GeoViewText; empty when not computed
    bool complete = false;  // every value of the text was finite
};

// The sky for "Lat"/"Lon" of config and the local date and time of info (read in this
// computer's time zone).
GeoViewResult ComputeGeoView(const ConfigRecord &config, const InfoRecord &info);

// The moon drawing: a transparent 60 x 60 image with the lit part in yellow, on the right while
// the moon waxes and on the left while it wanes. Only transparent for a failed computation.
// At a device pixel ratio above 1 the image has that many times the pixels (same drawing).
QImage MoonPhaseImage(const GeoViewResult &view, qreal ratio = 1);


struct ClockTime {
    int hour = 0;
    int minute = 0;
};
// "HH:MM" as typed: the hour up to the first ":" and the minute after it, each a whole number
// ("7:5" is 07:05). nullopt without ":", when either part does not convert, or for an hour
// outside 0..23 or a minute outside 0..59, which the controller's clock cannot hold.
std::optional<ClockTime> ParseClockText(const QString &text);
// Two two-digit numbers joined by ":".
QString ClockText(int hour, int minute);

struct PlaceTenths {
    int16_t lat = 0;
    int16_t lon = 0;
};
// Typed coordinates in degrees (the locale's decimal separator) as tenths of a degree,
// latitude limited to -90..90 and longitude to -180..180. nullopt when either is not a number.
std::optional<PlaceTenths> ParsePlaceTexts(const QString &latitude, const QString &longitude);
// A coordinate in tenths of a degree as shown in the edits ("0.#").
QString CoordinateText(int tenths);
// The mouse position text of status panel 0.
QString MousePositionText(double latitude, double longitude);
