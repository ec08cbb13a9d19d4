// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sensor chart: the controller's last 40 samples of one quantity (water, board or
// slave temperature, or the input voltage) as a line chart over time.
//
// Drawing is split in two: PlanSensorChart works out every line, label and point from
// the records (plain arithmetic, checked by tests), PaintSensorChart puts a plan on an
// image.

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "link/records.h"

// Plot margins in pixels; the plot of a W x H image is (W - 80) x (H - 41).
inline constexpr int ChartMarginLeft = 40;
inline constexpr int ChartMarginRight = 40;
inline constexpr int ChartMarginTop = 20;
inline constexpr int ChartMarginBottom = 20;

// Samples are in tenths of a degree; 600 is the temperature above which the chart is tinted.
inline constexpr int ChartHotTemperature = 600;

struct ChartRange {
    int lo = 0;
    int hi = 0;
    bool operator==(const ChartRange &) const = default;
};

// The value range shown for the smallest and largest sample: about 5 % wider on each side,
// rounded outward to multiples of 10 raw units (whole degrees, tenths of a volt). Always
// lo < min and max < hi, also for samples below zero.
ChartRange ChartValueRange(int minSample, int maxSample);
// Raw units between two value grid lines for a range of d = hi - lo.
int ChartGridStep(int range);
// Minutes between two time labels for a chart spanning `spanMinutes`.
int ChartLabelStepMinutes(int spanMinutes);

// The chart's "now": today's date (of computerNow) with the controller's time of day;
// computerNow itself when the controller's clock fields are not a valid time.
QDateTime ChartNow(const InfoRecord &info, const QDateTime &computerNow);

// Text of a sample: "25.0°C" / "77.0°F" for temperatures, "12.34 V" for the voltage.
QString ChartValueText(int sample, uint8_t source, bool fahrenheit);
// Curve colour of a source (ARGB).
QRgb ChartLineColor(uint8_t source);

// The chart's colours. The defaults are the chart's own on white; ChartColoursFor gives
// those of a dark theme.
struct ChartColours {
    QRgb background = 0xFFFFFFFF;
    QRgb band = 0xFFFFF0F0; // above the hot temperature
    QRgb majorGrid = 0xFFD0D0D0;
    QRgb minorGrid = 0xFFF0F0F0;
    QRgb label = 0xFF808080;
    std::array<QRgb, 4> line = {0xFF0000FF, 0xFFFF0000, 0xFF000000, 0xFFFF8000}; // by source
    bool operator==(const ChartColours &) const = default;
};

// The colours for a theme's field background and text: on a light background the chart's
// own; on a dark one the theme's background, grid lines as faint as on white, and labels
// and curves (whose newest value is text, too) moved just far enough to be readable.
ChartColours ChartColoursFor(QRgb background, QRgb text);

struct ChartText {
    QPointF anchor;   // x: left edge, right edge or centre (by alignment); y: top
    Qt::Alignment align = Qt::AlignLeft;
    QString text;
    QRgb color = 0;
};

struct ChartLine {
    QPointF from, to;
    QRgb color = 0;
};

struct SensorChartPlan {
    QSize size;
    ChartColours colours;
    bool empty = true;   // only `message`, centred, on white
    QString message;

    ChartRange range;
    int step = 0;   // value grid step in raw units
    int labelStepMinutes = 0;
    double bandBottom = 0;   // tinted band from the top down to this y; none when <= 0
    std::vector<ChartLine> lines;   // time grid, then value grid
    std::vector<ChartText> texts;   // time labels, value labels, then the newest value
    QRgb curveColor = 0;
    QPolygonF curve;   // oldest to newest, missing samples left out
};

struct SensorChartInput {
    ChartRecord chart;
    uint8_t source = ChartWaterTemp;
    uint16_t intervalMinutes = 0;
    bool fahrenheit = false;
    QDateTime now;   // see ChartNow
    QString notConnectedText;
    ChartColours colours;
    // Label texts of the time axis, by default the short time and short date of QLocale().
    QString (*timeText)(const QDateTime &) = nullptr;
    QString (*dateText)(const QDateTime &) = nullptr;
};

// lineHeight: the label font's line height, used to keep value labels from overlapping.
SensorChartPlan PlanSensorChart(const SensorChartInput &input, QSize size, int lineHeight);

// Paints the plan on the image (which must already have plan.size in device-independent
// pixels) with the given font.
void PaintSensorChart(QImage &image, const SensorChartPlan &plan, const QFont &font);

// The whole chart from the device image at `size` logical pixels and the pixel ratio of
// the screen; the font is the label font (size 8 points).
QImage DrawSensorChartImage(const InfoRecord &info, const ConfigRecord &config, const ExpertRecord &expert,
                            const ChartRecord &chart, QSize size, qreal devicePixelRatio, const QFont &font,
                            const QString &notConnectedText, const QDateTime &computerNow,
                            const ChartColours &colours = {});
