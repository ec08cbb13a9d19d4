// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/geo_view.h"

#include <algorithm>
#include <cmath>

#include "presentation/localization.h"
#include "geo/moon_phase_drawing.h"
#include "astro/timezone.h"
#include "presentation/number_format.h"

namespace {

// Appends pieces to the text until a value turns out not to be finite.
class TextBuilder {
public:
    bool ok = true;
    QString text;

    void literal(const QString &piece)
    {
        if (ok)
            text += piece;
    }
    void key(const char *messageKey) { literal(Translate(QString::fromLatin1(messageKey))); }
    // "Label: value°" for an angle in radians.
    void angle(const char *messageKey, double radians)
    {
        if (!check(radians))
            return;
        key(messageKey);
        literal(QStringLiteral(": ") + FormatUpTo(radians * astro::DegPerRad, 1) + QStringLiteral("°"));
    }
    bool check(double value)
    {
        if (!std::isfinite(value))
            ok = false;
        return ok;
    }
};

bool hasRiseAndSet(const RiseSetTimes &times)
{
    return std::abs(times.rise - times.set) > astro::PolarThresholdHours;
}

}  // namespace

QString GeoViewText(const SkyView &sky, bool *complete)
{
    TextBuilder t;
    const QString sep = QStringLiteral(", ");

    t.key("Sun");
    t.literal(QStringLiteral(": "));
    t.angle("Azimuth", sky.sun.azimuth);
    t.literal(sep);
    t.angle("Altitude", sky.sun.altitude);
    const RiseSetTimes &sun = sky.sunTimes;
    if (t.check(sun.rise) && t.check(sun.set) && hasRiseAndSet(sun)) {
        double length = sun.set - sun.rise;
        if (length < 0)
            length += 24;
        t.literal(sep);
        t.key("Rise");
        t.literal(QStringLiteral(": ") + FormatHours(sun.rise) + sep);
        t.key("Set");
        t.literal(QStringLiteral(": ") + FormatHours(sun.set) + sep);
        t.key("DayLength");
        t.literal(QStringLiteral(": ") + FormatHours(length) + u' ');
        t.key("Hours");
    }
    t.literal(QStringLiteral("\n"));

    t.key("Moon");
    t.literal(QStringLiteral(": "));
    t.angle("Azimuth", sky.moon.azimuth);
    t.literal(sep);
    t.angle("Altitude", sky.moon.altitude);
    const RiseSetTimes &moon = sky.moonTimes;
    if (t.check(moon.rise) && t.check(moon.set) && hasRiseAndSet(moon)) {
        t.literal(sep);
        t.key("Rise");
        t.literal(QStringLiteral(": ") + FormatHours(moon.rise) + sep);
        t.key("Set");
        t.literal(QStringLiteral(": ") + FormatHours(moon.set));
    }
    if (t.check(sky.moon.illuminatedFraction)) {
        t.literal(sep);
        t.key("Phase");
        t.literal(QStringLiteral(": ") + FormatUpTo(sky.moon.illuminatedFraction * 100, 1) + u'%');
    }
    if (complete)
        *complete = t.ok;
    return t.text;
}

GeoViewResult ComputeGeoView(const ConfigRecord &config, const InfoRecord &info)
{
    GeoViewResult view;
    const QDate date(controllerYear(info), info.Month, info.Day);
    if (!date.isValid() || info.Hour > 23 || info.Minute > 59)
        return view;
    const QTime time(info.Hour, info.Minute);
    const int offset = UtcOffsetForDate(date, time);
    view.sky = ComputeSky(int16_t(config.Lat) * 0.1, int16_t(config.Lon) * 0.1, date.year(), date.month(), date.day(),
                          time.hour(), time.minute(), offset);
    view.computed = true;
    view.text = GeoViewText(view.sky, &view.complete);
    return view;
}

QImage MoonPhaseImage(const GeoViewResult &view, qreal ratio)
{
    if (!(ratio >= 1 && ratio <= 8))
        ratio = 1;
    const int size = int(std::lround(geoview::MoonImageSize * ratio));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!view.computed || !view.complete || !std::isfinite(view.sky.moon.phaseAngle))
        return image;
    // Drawn in the image's own pixels; the ratio is set afterwards so the painter adds no scale.
    const double centre = size / 2.0;
    DrawMoonPhase(image, geoview::MoonColour, view.sky.moon.illuminatedFraction,
                  IsWaxing(view.sky.moon.phaseAngle) ? 180.0 : 0.0, geoview::MoonRadius * ratio, centre, centre);
    image.setDevicePixelRatio(ratio);
    return image;
}

std::optional<ClockTime> ParseClockText(const QString &text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const std::optional<long long> hour = ParseInteger(text.left(colon));
    const std::optional<long long> minute = ParseInteger(text.mid(colon + 1));
    if (!hour || !minute || *hour < 0 || *hour > 23 || *minute < 0 || *minute > 59)
        return std::nullopt;
    return ClockTime{int(*hour), int(*minute)};
}

QString ClockText(int hour, int minute)
{
    return QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}

std::optional<PlaceTenths> ParsePlaceTexts(const QString &latitude, const QString &longitude)
{
    const std::optional<double> lat = ParseDecimal(latitude);
    const std::optional<double> lon = ParseDecimal(longitude);
    if (!lat || !lon)
        return std::nullopt;
    return PlaceTenths{int16_t(std::clamp<long long>(RoundHalfEven(*lat * 10), -900, 900)),
                       int16_t(std::clamp<long long>(RoundHalfEven(*lon * 10), -1800, 1800))};
}

QString CoordinateText(int tenths) { return FormatUpTo(tenths * 0.1, 1); }

QString MousePositionText(double latitude, double longitude)
{
    return Translate(QStringLiteral("MousePosition")) + QStringLiteral(": ") + Translate(QStringLiteral("Latitude")) +
           QStringLiteral(": ") + FormatUpTo(latitude, 1) + QStringLiteral("°, ") +
           Translate(QStringLiteral("Longitude")) + QStringLiteral(": ") + FormatUpTo(longitude, 1) +
           QStringLiteral("°");
}
