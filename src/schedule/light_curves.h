// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The light-curve chart of the day schedule: its geometry, where each schedule line sits
// (by clock time, or on the sun's path in mode Geo), the position marker, hit testing and
// the clamping of a dragged point, and the drawing itself into an image. No widgets here:
// the Visualization page shows the image and feeds it the mouse.

#include <QFont>
#include <QImage>
#include <QLocale>
#include <QPointF>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/records.h"

// Colours of a channel colour index, 0xAARRGGBB. Pastel: grid cells and edit boxes;
// curve: the outline and handles of the edited channel; fill: its area and the outlines
// of the others.
struct ChannelColours {
    quint32 pastel;
    quint32 curve;
    quint32 fill;
};

inline constexpr std::array<ChannelColours, 16> ChannelPalette = {{
    {0xFFFFFFFF, 0xFFFFFFFF, 0x20FFFFFF}, // unnamed
    {0xFFFFFFFF, 0xFFFFFFFF, 0x20FFFFFF}, // white
    {0xFFFF8080, 0xFFFF0000, 0x20FF0000}, // red
    {0xFF80FF80, 0xFF00FF00, 0x2000FF00}, // green
    {0xFF8080FF, 0xFF0000FF, 0x200000FF}, // blue
    {0xFFC080FF, 0xFFC000FF, 0x20C000FF}, // UV
    {0xFFFFFFFF, 0xFFFFFFFF, 0x20FFFFFF}, // moonlight
    {0xFFF0F0FF, 0xFFF0F0FF, 0x20F0F0FF}, // cold white
    {0xFFFFFFE0, 0xFFFFFFE0, 0x20FFFFE0}, // warm white
    {0xFFFFFF00, 0xFFFFFF00, 0x20FFFF00}, // yellow
    {0xFFFF80C0, 0xFFFF0080, 0x20FF0080}, // purple
    {0xFFA080FF, 0xFF4000FF, 0x204000FF}, // royal blue
    {0xFF80FFFF, 0xFF00FFFF, 0x2000FFFF}, // cyan
    {0xFFC080FF, 0xFFC000FF, 0x20C000FF}, // violet
    {0xFFFFC080, 0xFFFFC000, 0x20FFC000}, // orange
    {0xFFC08080, 0xFFC00000, 0x20C00000}, // deep red
}};

// The palette row of a colour index; a stored index beyond the table gets row 0.
const ChannelColours &PaletteFor(int colourIndex);

namespace curves {

inline constexpr int Margin = 20;
// A press within this distance (in both directions) of a point grabs it.
inline constexpr int HitRadius = 8;
inline constexpr int HandleSize = 10;
inline constexpr int MinutesPerDay = 1440;

struct ChartGeometry {
    int width = 0;
    int height = 0;

    double plotWidth() const { return width - 2 * Margin; }
    double plotHeight() const { return height - 2 * Margin - 1; }
    // Too small to place anything: nothing is hit and a drag changes nothing.
    bool usable() const { return plotWidth() > 0 && plotHeight() > 0; }
    // 100 % at the top margin, 0 % one pixel above the bottom margin.
    double levelY(double percent) const { return Margin + (1 - percent / 100) * plotHeight(); }
    // Minutes since midnight; 24:00 lies on the right margin.
    double minutesX(double minutes) const { return Margin + minutes * plotWidth() / MinutesPerDay; }
    // Degrees along the sun's path: 0 = 90° below the horizon rising, 360 = setting.
    double pathX(double degrees) const { return Margin + degrees * plotWidth() / 360; }
};

// The stored sine of a sun altitude (sin × 10000) in degrees; nothing when the value lies
// outside ±10000 and so is no sine at all.
std::optional<double> AltitudeDegrees(int stored);
// The stored form of an altitude in degrees, limited to ±90°.
int16_t StoredAltitude(double degrees);

// Path positions in degrees of the lines of a Geo schedule. The altitudes are taken as
// rising up to the first line followed by a lower one and as setting back from the last
// line to the first one preceded by a lower one; the setting side wins, so the highest
// line is placed on the setting side. A single line stays at 0.
std::vector<double> GeoPathPositions(std::span<const ScheduleLine> lines);

// The lines at which the curve runs backwards, ascending: in the time view a line earlier
// than the one before it; in mode Geo a line placed before the one before it on the sun's
// path, or one that neither side reaches (a dip between two highest points), which is
// drawn at the left margin.
std::vector<int> LinesOutOfOrder(std::span<const ScheduleLine> lines, bool geo);

// The x position of every line in the chosen variant.
std::vector<double> LineXPositions(std::span<const ScheduleLine> lines, bool geo, const ChartGeometry &g);

// Path position of the sun for the Geo marker: altitude + 90 while it rises (east of the
// meridian), 270 − altitude afterwards.
constexpr double SunPathPosition(double altitudeDeg, bool rising)
{
    return rising ? altitudeDeg + 90 : 270 - altitudeDeg;
}

// The marker from the controller's clock: time of day, or the sun's present place on its
// path at the configured position. utcOffsetMinutes is the local zone's offset for that
// date; only whole hours of it count, as on the controller. Nothing when the controller's
// date is no valid date.
double TimeMarkerX(const ChartGeometry &g, int hour, int minute);
std::optional<double> GeoMarkerX(const ChartGeometry &g, const InfoRecord &info, const ConfigRecord &config,
                                 int utcOffsetMinutes);
// GeoMarkerX with this computer's time-zone rules.
std::optional<double> GeoMarkerX(const ChartGeometry &g, const InfoRecord &info, const ConfigRecord &config);

// Drawn positions of one schedule line: its x and the y of each channel's point.
struct CurvePoint {
    float x = 0;
    std::array<float, ChannelCount> y{};
};

// The first line whose point of `channel` lies within HitRadius of pos; −1 when none.
int HitTest(std::span<const CurvePoint> points, int channel, QPointF pos);

// What a point's position means: minutes of the day (0 … 1440) and a level (0 … 100 %),
// both rounded halves to even and kept within the chart.
int DragMinutes(const ChartGeometry &g, double x);
int DragLevel(const ChartGeometry &g, double y);

// How far the pointer may wander along an axis before a drag changes that axis's value: a
// hand dragging straight up is rarely still to the pixel sideways.
inline constexpr double DragDeadZone = 3;

// One point being dragged. The point keeps its offset to the pointer from the press, and
// its values start from what the line held then: the point sits between pixels, so taking
// the pointer itself would move the time of a point dragged straight up. An axis keeps its
// value until the pointer has left the dead zone along it, and whenever the pointer is
// back exactly where it pressed along it.
struct PointDrag {
    QPointF press;
    QPointF grabOffset;   // pointer minus the point, at the press
    int minutes = 0;      // the line's time and level at the press
    int level = 0;
    double deadZone = DragDeadZone;
    bool timeMoves = false;   // the pointer has left the dead zone sideways
    bool levelMoves = false;  // … up or down
};

// A drag of the line's point of `channel` from the pointer at press (the time view's
// place of the point: in mode Geo only the level moves). Keys move a point by exact
// steps and pass no dead zone.
PointDrag StartDrag(const ScheduleLine &line, int channel, const ChartGeometry &g, QPointF press,
                    double deadZone = DragDeadZone);
// The pointer is at pos: the level follows, and the time when asked (never in mode Geo,
// where the altitude stays). False when the chart is too small.
bool ApplyDrag(ScheduleLine &line, int channel, const ChartGeometry &g, PointDrag &drag, QPointF pos, bool moveTime);

// The text of the label shown while a point is dragged: "07:30 45%", or in mode Geo the
// altitude, "30° 45%".
QString DragLabelText(const ScheduleLine &line, int channel, bool geo, const QLocale &locale = QLocale());

struct ChartInput {
    std::span<const ScheduleLine> lines;
    std::array<uint8_t, ChannelCount> colourIndex{};
    bool geo = false;
    int visualChannel = 0;
    int dragLine = -1;
    // The point the keys act on: its handle gets a ring (−1: none).
    int selectedLine = -1;
    std::optional<double> markerX;
    QFont font;
};

// Draws the whole chart into the image, which keeps its size and device pixel ratio; the
// chart is laid out in device-independent pixels. points is resized to the lines and
// rewritten. A failure while drawing ends the drawing and leaves the image usable.
void DrawLightCurves(QImage &image, const ChartInput &input, std::vector<CurvePoint> &points);

// The chart's size in device-independent pixels.
ChartGeometry GeometryOf(const QImage &image);

} // namespace curves
