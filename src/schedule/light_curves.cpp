// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/light_curves.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "astro/astro.h"
#include "astro/timezone.h"
#include "presentation/number_format.h"

const ChannelColours &PaletteFor(int colourIndex)
{
    if (colourIndex < 0 || colourIndex >= int(ChannelPalette.size()))
        colourIndex = 0;
    return ChannelPalette[std::size_t(colourIndex)];
}

namespace curves {

namespace {

constexpr QRgb Background = 0xFF000000;
constexpr QRgb GridColour = 0xFF101010;
constexpr QRgb LabelColour = 0xFF808080;
constexpr QRgb MarkerColour = 0xFFC0C0C0;

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// Text with its top-left corner at (x, y).
void drawTextAt(QPainter &p, const QFontMetrics &fm, double x, double y, const QString &text)
{
    p.drawText(QPointF(x, y + fm.ascent()), text);
}

void drawBackground(QPainter &p, const ChartGeometry &g, const ChartInput &in)
{
    const int w = g.width;
    const int h = g.height;
    const double wp = g.plotWidth();
    const double hp = g.plotHeight();
    p.fillRect(QRect(0, 0, w, h), QColor::fromRgba(Background));

    p.setPen(QPen(QColor::fromRgba(GridColour), 0));
    std::array<int, 25> xs{};
    for (int i = 0; i <= 24; ++i) {
        xs[std::size_t(i)] = int(RoundHalfEven(i * wp / 24)) + Margin;
        p.drawLine(xs[std::size_t(i)], Margin, xs[std::size_t(i)], h - 21);
    }
    std::array<int, 11> ys{};
    for (int j = 0; j <= 10; ++j) {
        ys[std::size_t(j)] = int(RoundHalfEven(j * hp / 10 + Margin));
        p.drawLine(Margin, ys[std::size_t(j)], w - Margin, ys[std::size_t(j)]);
    }

    const QFontMetrics fm(p.font());
    p.setPen(QColor::fromRgba(LabelColour));
    const double bottomTop = h - fm.height();
    for (int i = 0; i <= 24; ++i) {
        QString text;
        if (!in.geo)
            text = QString::number(i);
        else
            text = QString::number(i <= 12 ? 15 * i - 90 : 270 - 15 * i) + QChar(0x00B0);
        const double x = xs[std::size_t(i)] - 5;
        drawTextAt(p, fm, x, 1, text);
        drawTextAt(p, fm, x, bottomTop, text);
    }
    for (int j = 1; j <= 9; ++j) {
        const QString text = QString::number(100 - 10 * j) + QLatin1Char('%');
        const double y = ys[std::size_t(j)] - 6;
        drawTextAt(p, fm, w - fm.horizontalAdvance(text), y, text);
        drawTextAt(p, fm, 0, y, text);
    }

    if (in.markerX && std::isfinite(*in.markerX) && *in.markerX >= 0 && *in.markerX <= w) {
        const int x = int(RoundHalfEven(*in.markerX));
        p.setPen(QPen(QColor::fromRgba(MarkerColour), 0));
        p.drawLine(x, 0, x, h);
    }
}

void drawDragLabel(QPainter &p, const QString &text)
{
    const QFontMetrics fm(p.font());
    p.fillRect(QRect(0, 0, fm.horizontalAdvance(text), fm.height()), QColor(Qt::white));
    p.setPen(QColor(Qt::black));
    drawTextAt(p, fm, 0, 0, text);
}

void drawCurves(QPainter &p, const ChartGeometry &g, const ChartInput &in, std::vector<CurvePoint> &points)
{
    const std::size_t n = in.lines.size();
    const std::vector<double> xs = LineXPositions(in.lines, in.geo, g);
    const int top = std::clamp(in.visualChannel, 0, ChannelCount - 1);
    QPolygonF polygon;
    polygon.reserve(qsizetype(n) + 3);

    for (int step = 1; step <= ChannelCount; ++step) {
        const int c = (top + step) % ChannelCount;
        const bool isTop = c == top;
        const ChannelColours &colours = PaletteFor(in.colourIndex[std::size_t(c)]);

        polygon.clear();
        // The curve enters the day at the level with which the previous day ended.
        polygon.append(QPointF(Margin, g.levelY(in.lines[n - 1].Color16[c])));
        for (std::size_t k = 0; k < n; ++k) {
            const double y = g.levelY(in.lines[k].Color16[c]);
            points[k].x = float(xs[k]);
            points[k].y[std::size_t(c)] = float(y);
            polygon.append(QPointF(xs[k], y));
            if (isTop) {
                p.setRenderHint(QPainter::Antialiasing, false);
                p.fillRect(QRect(int(RoundHalfEven(xs[k] - 5)), int(RoundHalfEven(y - 5)), HandleSize, HandleSize),
                           QColor::fromRgba(colours.curve));
                if (int(k) == in.selectedLine) {
                    // Black in white, so the ring shows on every curve colour and on the
                    // dark chart.
                    const QRect handle(int(RoundHalfEven(xs[k] - 5)), int(RoundHalfEven(y - 5)), HandleSize, HandleSize);
                    p.setBrush(Qt::NoBrush);
                    p.setPen(QPen(QColor(Qt::white), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
                    p.drawRect(handle.adjusted(-4, -4, 3, 3));
                    p.setPen(QPen(QColor(Qt::black), 1));
                    p.drawRect(handle.adjusted(-2, -2, 1, 1));
                }
                if (int(k) == in.dragLine)
                    drawDragLabel(p, DragLabelText(in.lines[k], c, in.geo));
            }
        }

        p.setRenderHint(QPainter::Antialiasing, true);
        // Half a pixel puts one-pixel strokes on whole pixels, so flat stretches stay sharp.
        p.save();
        p.translate(0.5, 0.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor::fromRgba(isTop ? colours.curve : colours.fill), 1));
        p.drawPolyline(polygon);
        if (isTop) {
            polygon.append(QPointF(g.width - Margin, g.height - Margin));
            polygon.append(QPointF(Margin, g.height - Margin));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor::fromRgba(colours.fill));
            // The area's only slanted edge lies under the outline just drawn in the same
            // hue, where a faint fill changes nothing; smoothing it would cost more than
            // a third of the whole drawing.
            p.setRenderHint(QPainter::Antialiasing, false);
            p.drawPolygon(polygon);
        }
        p.restore();
    }
}

} // namespace

std::optional<double> AltitudeDegrees(int stored)
{
    if (stored < -10000 || stored > 10000)
        return std::nullopt;
    return std::asin(stored / 10000.0) * 180 / astro::Pi;
}

int16_t StoredAltitude(double degrees)
{
    degrees = std::clamp(degrees, -90.0, 90.0);
    return int16_t(RoundHalfEven(std::sin(degrees * astro::Pi / 180) * 10000));
}

namespace {
// placed, when given, tells the lines that one of the two sides reached.
std::vector<double> geoPlacement(std::span<const ScheduleLine> lines, std::vector<bool> *placed)
{
    const std::size_t n = lines.size();
    std::vector<double> p(n, 0.0);
    if (placed)
        placed->assign(n, n < 2);
    if (n < 2)
        return p;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        p[k] = AltitudeDegrees(lines[k].Alt).value_or(0) + 90;
        if (placed)
            (*placed)[k] = true;
        if (int16_t(lines[k + 1].Alt) < int16_t(lines[k].Alt))
            break;
    }
    for (std::size_t k = n - 1; k >= 1; --k) {
        p[k] = 270 - AltitudeDegrees(lines[k].Alt).value_or(0);
        if (placed)
            (*placed)[k] = true;
        if (int16_t(lines[k].Alt) > int16_t(lines[k - 1].Alt))
            break;
    }
    return p;
}
} // namespace

std::vector<double> GeoPathPositions(std::span<const ScheduleLine> lines) { return geoPlacement(lines, nullptr); }

std::vector<int> LinesOutOfOrder(std::span<const ScheduleLine> lines, bool geo)
{
    std::vector<double> at(lines.size());
    std::vector<bool> placed(lines.size(), true);
    if (geo)
        at = geoPlacement(lines, &placed);
    else
        for (std::size_t k = 0; k < lines.size(); ++k)
            at[k] = lines[k].Hour * 60 + lines[k].Minute;
    std::vector<int> out;
    for (std::size_t k = 1; k < lines.size(); ++k)
        if (!placed[k] || at[k] < at[k - 1])
            out.push_back(int(k));
    return out;
}

std::vector<double> LineXPositions(std::span<const ScheduleLine> lines, bool geo, const ChartGeometry &g)
{
    std::vector<double> xs(lines.size());
    if (geo) {
        const std::vector<double> p = GeoPathPositions(lines);
        for (std::size_t k = 0; k < lines.size(); ++k)
            xs[k] = g.pathX(p[k]);
    } else {
        for (std::size_t k = 0; k < lines.size(); ++k)
            xs[k] = g.minutesX(lines[k].Hour * 60 + lines[k].Minute);
    }
    return xs;
}

double TimeMarkerX(const ChartGeometry &g, int hour, int minute) { return g.minutesX(hour * 60 + minute); }

std::optional<double> GeoMarkerX(const ChartGeometry &g, const InfoRecord &info, const ConfigRecord &config,
                                 int utcOffsetMinutes)
{
    const int year = 2000 + info.Year;
    if (!QDate::isValid(year, info.Month, info.Day))
        return std::nullopt;
    const BodyPosition sun = SunAt(int16_t(config.Lat) / 10.0, int16_t(config.Lon) / 10.0, year, info.Month,
                                   info.Day, info.Hour, info.Minute, utcOffsetMinutes);
    const double a = sun.altitude * astro::DegPerRad;
    if (!std::isfinite(a))
        return std::nullopt;
    return g.pathX(SunPathPosition(a, sun.rising));
}

std::optional<double> GeoMarkerX(const ChartGeometry &g, const InfoRecord &info, const ConfigRecord &config)
{
    const QDate date(2000 + info.Year, info.Month, info.Day);
    if (!date.isValid())
        return std::nullopt;
    // The zone's rules only need a valid time of day; a garbled clock still gets its date's offset.
    const QTime time(std::min<int>(info.Hour, 23), std::min<int>(info.Minute, 59));
    return GeoMarkerX(g, info, config, UtcOffsetForDate(date, time));
}

int HitTest(std::span<const CurvePoint> points, int channel, QPointF pos)
{
    if (channel < 0 || channel >= ChannelCount)
        return -1;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const double x = points[k].x;
        const double y = points[k].y[std::size_t(channel)];
        if (x - HitRadius <= pos.x() && pos.x() <= x + HitRadius && y - HitRadius <= pos.y() &&
            pos.y() <= y + HitRadius)
            return int(k);
    }
    return -1;
}

int DragMinutes(const ChartGeometry &g, double x)
{
    if (!g.usable() || !std::isfinite(x))
        return 0;
    return int(std::clamp<long long>(RoundHalfEven((x - Margin) * MinutesPerDay / g.plotWidth()), 0, MinutesPerDay));
}

int DragLevel(const ChartGeometry &g, double y)
{
    if (!g.usable() || !std::isfinite(y))
        return 0;
    return int(std::clamp<long long>(RoundHalfEven((1 - (y - Margin) / g.plotHeight()) * 100), 0, 100));
}

PointDrag StartDrag(const ScheduleLine &line, int channel, const ChartGeometry &g, QPointF press, double deadZone)
{
    PointDrag drag;
    drag.press = press;
    drag.minutes = line.Hour * 60 + line.Minute;
    drag.level = line.Color16[std::clamp(channel, 0, ChannelCount - 1)];
    drag.deadZone = deadZone;
    drag.grabOffset = press - QPointF(g.minutesX(drag.minutes), g.levelY(drag.level));
    return drag;
}

bool ApplyDrag(ScheduleLine &line, int channel, const ChartGeometry &g, PointDrag &drag, QPointF pos, bool moveTime)
{
    if (!g.usable() || channel < 0 || channel >= ChannelCount)
        return false;
    const QPointF moved = pos - drag.press;
    drag.timeMoves = drag.timeMoves || std::abs(moved.x()) > drag.deadZone;
    drag.levelMoves = drag.levelMoves || std::abs(moved.y()) > drag.deadZone;
    const QPointF point = pos - drag.grabOffset;
    if (moveTime && drag.timeMoves) {
        const int minutes = moved.x() == 0 ? drag.minutes : DragMinutes(g, point.x());
        line.Hour = uint8_t(minutes / 60);
        line.Minute = uint8_t(minutes % 60);
    }
    if (drag.levelMoves)
        line.Color16[channel] = uint8_t(moved.y() == 0 ? drag.level : DragLevel(g, point.y()));
    return true;
}

QString DragLabelText(const ScheduleLine &line, int channel, bool geo, const QLocale &locale)
{
    const int level = line.Color16[std::clamp(channel, 0, ChannelCount - 1)];
    if (geo) {
        const double altitude = AltitudeDegrees(line.Alt).value_or(0);
        return FormatUpTo(altitude, 2, locale) + QChar(0x00B0) + QLatin1Char(' ') + QString::number(level) +
               QLatin1Char('%');
    }
    return twoDigits(line.Hour) + QLatin1Char(':') + twoDigits(line.Minute) + QLatin1Char(' ') +
           FormatUpTo(level, 2, locale) + QLatin1Char('%');
}

ChartGeometry GeometryOf(const QImage &image)
{
    const QSizeF size = image.deviceIndependentSize();
    return {int(std::lround(size.width())), int(std::lround(size.height()))};
}

void DrawLightCurves(QImage &image, const ChartInput &input, std::vector<CurvePoint> &points)
{
    points.resize(input.lines.size());
    if (image.isNull())
        return;
    const ChartGeometry g = GeometryOf(image);
    try {
        QPainter p(&image);
        p.setFont(input.font);
        drawBackground(p, g, input);
        if (!input.lines.empty())
            drawCurves(p, g, input, points);
    } catch (...) {
        // What was drawn so far stays; the painter has been closed by now.
    }
}

} // namespace curves
