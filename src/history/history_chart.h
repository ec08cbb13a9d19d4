// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history chart: water and slave temperature on the left scale, the input voltage on
// the right one, each as its mean line inside a light band from the lowest to the highest
// minute of every bucket; a gap where nothing was recorded.

#include "history/history_store.h"
#include "schedule/sensor_chart.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

enum HistorySeries { HistoryWater = 0, HistorySlave = 1, HistoryVoltage = 2, HistorySeriesCount = 3 };

// Where minutes lie on the picture.
struct HistoryChartGeometry {
    QRect plot;
    double from = 0; // minutes since the epoch at the plot's left edge
    double to = 1; // ... and at its right edge
    double x(double minute) const { return plot.left() + (minute - from) / (to - from) * plot.width(); }
    double minuteAt(double px) const { return from + (px - plot.left()) / plot.width() * (to - from); }
};
HistoryChartGeometry HistoryGeometry(QSize size, double from, double to);

// What the view can show of a controller: its recorded minutes [first, end), end one past
// the last recorded minute.
struct HistoryExtent {
    bool any = false;
    double first = 0;
    double end = 0;
};

// A shown time window in minutes since the epoch; followNow: its right edge is "now" and moves
// with it as new minutes are recorded.
struct HistoryWindow {
    double from = 0;
    double to = 0;
    bool followNow = false;
};

// The narrowest window the view zooms to, in minutes.
inline constexpr double HistoryMinSpan = 10;

// The window a span button (day, week, ...) shows: the last `span` minutes, but no more than
// what was recorded, ending now while recording goes on (the last minute is a few minutes
// old at most) and at the last recorded minute otherwise.
HistoryWindow HistoryFitSpan(double span, double now, const HistoryExtent &data);
// A window after a zoom or a pan, moved onto the data and no wider than it (or the least
// span), so that it never shows empty time beside the recording.
HistoryWindow HistoryClampWindow(double from, double to, double now, const HistoryExtent &data);

// The bucket width for a span drawn on a plot of the given pixel width: about one bucket a
// pixel, at least a minute; above a quarter of an hour, whole hours (the store's summary).
int HistoryBucketMinutes(double spanMinutes, int plotWidth);

// Whether the line breaks between two neighbouring buckets: some bucket between them has
// nothing recorded (for single minutes, a minute may be missed without a break).
bool HistoryGapBetween(qint64 previous, qint64 next, int bucketMinutes);

struct HistoryChartInput {
    std::vector<HistoryBucket> buckets;
    int bucketMinutes = 1;
    double from = 0; // minutes since the epoch
    double to = 1;
    bool fahrenheit = false;
    bool show[HistorySeriesCount] = {true, true, true};
    QString seriesNames[HistorySeriesCount];
    QString noData; // shown when there is nothing to draw
    ChartColours colours; // those of the controller's chart in the theme at hand
};

QImage DrawHistoryChart(const HistoryChartInput &input, QSize size, qreal devicePixelRatio, const QFont &font);

// The locale's short date and time without seconds.
QString HistoryTimeText(const QDateTime &localTime);
// "<time> • <name>: <value> • ..." for a bucket (its start time; a range for wide buckets).
QString HistoryPointText(const HistoryBucket &bucket, const HistoryChartInput &input);
// The bucket nearest to a minute, or -1 when none lies within one bucket width of it.
int HistoryBucketAt(const std::vector<HistoryBucket> &buckets, int bucketMinutes, double minute);
