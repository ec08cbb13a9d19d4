// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_chart.h"

#include "schedule/sensor_chart.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

constexpr int MarginLeft = 56;
constexpr int MarginRight = 56;
constexpr int MarginTop = 22;
constexpr int MarginBottom = 22;

// The controller chart's source of each series, for its colour.
constexpr uint8_t SeriesSource[HistorySeriesCount] = {ChartWaterTemp, ChartSlaveTemp, ChartInputVoltage};

double meanOf(const HistoryBucket &b, int s) { return s == HistoryWater ? b.water : s == HistorySlave ? b.slave : b.voltage; }
double minOf(const HistoryBucket &b, int s)
{
    return s == HistoryWater ? b.waterMin : s == HistorySlave ? b.slaveMin : b.voltageMin;
}
double maxOf(const HistoryBucket &b, int s)
{
    return s == HistoryWater ? b.waterMax : s == HistorySlave ? b.slaveMax : b.voltageMax;
}

QString valueText(double raw, int series, bool fahrenheit)
{
    const int r = int(std::lround(raw));
    return ChartValueText(r, series == HistoryVoltage ? ChartInputVoltage : ChartWaterTemp, fahrenheit);
}

QDateTime localTime(double minute) { return QDateTime::fromSecsSinceEpoch(qint64(std::floor(minute)) * 60, Qt::LocalTime); }

// A value scale: range rounded outward, and a label step giving a handful of labels.
struct Scale {
    double lo = 0, hi = 1, step = 1;
    bool valid = false;
};

Scale scaleFor(double lo, double hi, int plotHeight, int lineHeight)
{
    Scale s;
    if (!(lo <= hi))
        return s;
    // A tenth of the data's range on either side, at least half a degree (half a volt).
    const double pad = std::max((hi - lo) * 0.1, 5.0);
    lo -= pad;
    hi += pad;
    const int maxLabels = std::max(2, plotHeight / std::max(1, 2 * lineHeight));
    for (double step : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0}) {
        s.step = step;
        if ((hi - lo) / step <= maxLabels)
            break;
    }
    s.lo = std::floor(lo / s.step) * s.step;
    s.hi = std::ceil(hi / s.step) * s.step;
    s.valid = true;
    return s;
}

// The locale's short time without seconds ("14:05", "2:05 PM").
QString timeText(const QLocale &locale, const QTime &time)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QStringLiteral(":ss"));
    return locale.toString(time, format);
}

QString dateTimeText(const QLocale &locale, const QDateTime &t)
{
    return locale.toString(t.date(), QLocale::ShortFormat) + u' ' + timeText(locale, t.time());
}

// Time label steps in minutes; 43200 stands for calendar months.
constexpr int TimeSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880, 10080, 20160, 43200, 129600};

} // namespace

QString HistoryTimeText(const QDateTime &t) { return dateTimeText(QLocale(), t); }

HistoryChartGeometry HistoryGeometry(QSize size, double from, double to)
{
    HistoryChartGeometry g;
    g.plot = QRect(MarginLeft, MarginTop, std::max(1, size.width() - MarginLeft - MarginRight),
                   std::max(1, size.height() - MarginTop - MarginBottom));
    g.from = from;
    g.to = to > from ? to : from + 1;
    return g;
}

namespace {

// The last recorded minute may lag this far behind the clock while recording goes on: the
// running minute is written when it ends, and the writer takes a moment.
constexpr double LiveSlackMinutes = 3;

// Where the data's time ends for the view: now while recording goes on.
double rightLimit(double now, const HistoryExtent &data, bool &live)
{
    live = data.end >= now - LiveSlackMinutes;
    return live ? std::max(now, data.end) : data.end;
}

} // namespace

HistoryWindow HistoryFitSpan(double span, double now, const HistoryExtent &data)
{
    if (!data.any)
        return {now - span, now, true};
    bool live = false;
    const double right = rightLimit(now, data, live);
    const double from = std::min(std::max(right - span, data.first), right - HistoryMinSpan);
    return {from, right, live};
}

HistoryWindow HistoryClampWindow(double from, double to, double now, const HistoryExtent &data)
{
    double width = std::max(to - from, HistoryMinSpan);
    if (!data.any)
        return {from, from + width, from + width >= now};
    bool live = false;
    const double right = rightLimit(now, data, live);
    const double left = data.first;
    width = std::min(width, std::max(right - left, HistoryMinSpan));
    if (width >= right - left)
        return {right - width, right, live};
    // A window that ends a hair before now (a zoom at the right edge) is meant to end now.
    if (live && right - (from + width) < width * 0.02)
        from = right - width;
    from = std::clamp(from, left, right - width);
    return {from, from + width, live && from + width >= right};
}

int HistoryBucketMinutes(double spanMinutes, int plotWidth)
{
    const double perPixel = spanMinutes / std::max(1, plotWidth);
    int width = std::max(1, int(std::ceil(perPixel)));
    // Above a quarter of an hour whole hours, read from the hourly summary: a month is then
    // 744 summary rows instead of 44,640 minutes.
    if (width > 15)
        width = (width + 59) / 60 * 60;
    return width;
}

bool HistoryGapBetween(qint64 previous, qint64 next, int bucketMinutes)
{
    const qint64 allowed = bucketMinutes == 1 ? 2 : bucketMinutes;
    return next - previous > allowed;
}

int HistoryBucketAt(const std::vector<HistoryBucket> &buckets, int bucketMinutes, double minute)
{
    if (buckets.empty())
        return -1;
    const auto it = std::lower_bound(buckets.begin(), buckets.end(), minute,
                                     [](const HistoryBucket &b, double m) { return double(b.minute) < m; });
    int best = -1;
    double bestDistance = 0;
    for (auto c : {it - 1, it}) {
        if (c < buckets.begin() || c >= buckets.end())
            continue;
        const double centre = double(c->minute) + bucketMinutes / 2.0;
        const double d = std::abs(centre - minute);
        if (best < 0 || d < bestDistance) {
            best = int(c - buckets.begin());
            bestDistance = d;
        }
    }
    return bestDistance <= bucketMinutes ? best : -1;
}

QString HistoryPointText(const HistoryBucket &b, const HistoryChartInput &input)
{
    const QLocale locale;
    QString text = dateTimeText(locale, localTime(double(b.minute)));
    if (input.bucketMinutes > 1) {
        const QDateTime end = localTime(double(b.minute + input.bucketMinutes));
        text += QStringLiteral(" – ")
              + (end.date() == localTime(double(b.minute)).date() ? timeText(locale, end.time()) : dateTimeText(locale, end));
    }
    for (int s = 0; s < HistorySeriesCount; ++s) {
        if (!input.show[s] || std::isnan(meanOf(b, s)))
            continue;
        text += QStringLiteral(" • ") + input.seriesNames[s] + QStringLiteral(": ")
              + valueText(meanOf(b, s), s, input.fahrenheit);
        if (input.bucketMinutes > 1 && minOf(b, s) != maxOf(b, s))
            text += QStringLiteral(" (") + valueText(minOf(b, s), s, input.fahrenheit) + QStringLiteral(" … ")
                  + valueText(maxOf(b, s), s, input.fahrenheit) + u')';
    }
    return text;
}

QImage DrawHistoryChart(const HistoryChartInput &in, QSize size, qreal dpr, const QFont &font)
{
    QImage image((QSizeF(size) * dpr).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    const ChartColours &c = in.colours;
    image.fill(QColor::fromRgba(c.background));
    QRgb seriesColor[HistorySeriesCount];
    for (int s = 0; s < HistorySeriesCount; ++s)
        seriesColor[s] = c.line[SeriesSource[s]];
    // Grid lines between the frame's shade and the faint one of the controller chart.
    const QRgb gridLine = qRgb((qRed(c.majorGrid) + qRed(c.minorGrid)) / 2, (qGreen(c.majorGrid) + qGreen(c.minorGrid)) / 2,
                               (qBlue(c.majorGrid) + qBlue(c.minorGrid)) / 2);
    QPainter p(&image);
    p.setFont(font);
    const QFontMetrics fm(font);
    const HistoryChartGeometry g = HistoryGeometry(size, in.from, in.to);
    const QRgb grey = c.label;

    // Scales from what is shown.
    double tLo = INFINITY, tHi = -INFINITY, vLo = INFINITY, vHi = -INFINITY;
    for (const HistoryBucket &b : in.buckets) {
        for (int s = 0; s < HistorySeriesCount; ++s) {
            if (!in.show[s] || std::isnan(meanOf(b, s)))
                continue;
            double &lo = s == HistoryVoltage ? vLo : tLo;
            double &hi = s == HistoryVoltage ? vHi : tHi;
            lo = std::min(lo, minOf(b, s));
            hi = std::max(hi, maxOf(b, s));
        }
    }
    const Scale temp = scaleFor(tLo, tHi, g.plot.height(), fm.height());
    const Scale volt = scaleFor(vLo, vHi, g.plot.height(), fm.height());

    // Time grid and labels (local time).
    p.setPen(QColor::fromRgba(c.majorGrid));
    p.drawRect(g.plot);
    const double span = g.to - g.from;
    int step = TimeSteps[std::size(TimeSteps) - 1];
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("00.00.0000")) + 16;
    for (int candidate : TimeSteps) {
        if (span / candidate * labelWidth <= g.plot.width()) {
            step = candidate;
            break;
        }
    }
    const QLocale locale;
    QDateTime t = localTime(g.from);
    // First label: the step's boundary at or after the left edge, in local time.
    if (step >= 43200) {
        t = QDateTime(QDate(t.date().year(), t.date().month(), 1), QTime(0, 0), Qt::LocalTime);
    } else if (step >= 1440) {
        t = QDateTime(t.date(), QTime(0, 0), Qt::LocalTime);
    } else {
        const int m = t.time().hour() * 60 + t.time().minute();
        t = QDateTime(t.date(), QTime(0, 0), Qt::LocalTime).addSecs(qint64(m / step * step) * 60);
    }
    for (int guard = 0; guard < 400; ++guard) {
        const double minute = double(t.toSecsSinceEpoch()) / 60.0;
        if (minute > g.to)
            break;
        if (minute >= g.from) {
            const double x = g.x(minute);
            p.setPen(QColor::fromRgba(gridLine));
            p.drawLine(QPointF(x, g.plot.top()), QPointF(x, g.plot.bottom()));
            const bool midnight = t.time() == QTime(0, 0);
            const QString label = midnight || step >= 1440 ? locale.toString(t.date(), QLocale::ShortFormat)
                                                           : timeText(locale, t.time());
            p.setPen(QColor::fromRgba(grey));
            const int w = fm.horizontalAdvance(label);
            p.drawText(QPointF(std::clamp(x - w / 2.0, 0.0, double(size.width() - w)), size.height() - fm.descent() - 3),
                       label);
        }
        if (step == 43200)
            t = t.addMonths(1);
        else if (step == 129600)
            t = t.addMonths(3);
        else if (step % 1440 == 0)
            t = t.addDays(step / 1440);
        else
            t = t.addSecs(qint64(step) * 60);
    }

    // Value grid with the temperature labels on the left, the voltage's on the right.
    const auto yOf = [&](const Scale &s, double raw) {
        return g.plot.bottom() - (raw - s.lo) / (s.hi - s.lo) * g.plot.height();
    };
    const auto labels = [&](const Scale &s, bool left, int series) {
        if (!s.valid)
            return;
        for (double r = std::ceil(s.lo / s.step) * s.step; r <= s.hi; r += s.step) {
            const double y = yOf(s, r);
            if (left || !temp.valid) {
                p.setPen(QColor::fromRgba(gridLine));
                p.drawLine(QPointF(g.plot.left(), y), QPointF(g.plot.right(), y));
            }
            const QString label = valueText(r, series, in.fahrenheit);
            p.setPen(QColor::fromRgba(left ? grey : seriesColor[HistoryVoltage]));
            const double x = left ? g.plot.left() - 4 - fm.horizontalAdvance(label) : g.plot.right() + 4;
            p.drawText(QPointF(x, y + fm.ascent() / 2.0 - 1), label);
        }
    };
    labels(temp, true, HistoryWater);
    labels(volt, false, HistoryVoltage);

    if (in.buckets.empty() || (!temp.valid && !volt.valid)) {
        p.setPen(QColor::fromRgba(grey));
        p.drawText(g.plot, Qt::AlignCenter, in.noData);
        return image;
    }

    // Bands, then lines; each broken where nothing was recorded.
    p.setClipRect(g.plot);
    p.setRenderHint(QPainter::Antialiasing);
    for (int s = 0; s < HistorySeriesCount; ++s) {
        if (!in.show[s])
            continue;
        const Scale &scale = s == HistoryVoltage ? volt : temp;
        if (!scale.valid)
            continue;
        QColor band = QColor::fromRgba(seriesColor[s]);
        band.setAlpha(40);
        QColor line = QColor::fromRgba(seriesColor[s]);
        // Each unbroken run is one polyline and one band polygon: far cheaper to rasterize
        // than one path of many sub-paths.
        std::vector<QPolygonF> lines;
        std::vector<QRectF> bars; // lowest to highest of each bucket
        QPolygonF run;
        qint64 previous = 0;
        // The raster engine strokes and fills a long zigzag in time that grows with the square
        // of its length; pieces of a few dozen points, overlapping by one, look the same.
        constexpr qsizetype Piece = 32;
        const auto closeRun = [&] {
            if (run.size() == 1)
                run << run.first() + QPointF(0.5, 0); // a lone point still shows as a short dash
            for (qsizetype i = 0; i + 1 < run.size(); i += Piece)
                lines.push_back(run.mid(i, Piece + 1));
            run.clear();
        };
        for (const HistoryBucket &b : in.buckets) {
            const double mean = meanOf(b, s);
            if (std::isnan(mean)) {
                closeRun();
                continue;
            }
            if (!run.isEmpty() && HistoryGapBetween(previous, b.minute, in.bucketMinutes))
                closeRun();
            const double x = g.x(double(b.minute) + (in.bucketMinutes > 1 ? in.bucketMinutes / 2.0 : 0));
            run << QPointF(x, yOf(scale, mean));
            const double width = std::max(1.0, g.x(double(in.bucketMinutes)) - g.x(0));
            bars.emplace_back(QPointF(x - width / 2, yOf(scale, maxOf(b, s))), QPointF(x + width / 2, yOf(scale, minOf(b, s))));
            previous = b.minute;
        }
        closeRun();
        p.setPen(Qt::NoPen);
        p.setBrush(band);
        // The bands straight into the pixels: a year's worth of tall translucent bars costs
        // the painter tens of milliseconds, this loop a fraction of one.
        p.end();
        const QRect plotPixels = QRectF(QPointF(g.plot.topLeft()) * dpr, QPointF(g.plot.bottomRight()) * dpr).toAlignedRect();
        const QRect devicePlot = plotPixels.intersected(image.rect());
        const uint alpha = uint(band.alpha());
        const uint r = uint(band.red()) * alpha, gr = uint(band.green()) * alpha, bl = uint(band.blue()) * alpha;
        for (const QRectF &bar : bars) {
            const QRect cell = QRectF(bar.topLeft() * dpr, bar.bottomRight() * dpr).toAlignedRect().intersected(devicePlot);
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    const QRgb d = line[x];
                    line[x] = qRgba(int((r + uint(qRed(d)) * (255 - alpha)) / 255),
                                    int((gr + uint(qGreen(d)) * (255 - alpha)) / 255),
                                    int((bl + uint(qBlue(d)) * (255 - alpha)) / 255), 255);
                }
            }
        }
        p.begin(&image);
        p.setFont(font);
        p.setClipRect(g.plot);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(Qt::NoBrush);
        QPen pen(line, 1.0);
        pen.setCosmetic(true);
        p.setPen(pen);
        for (const QPolygonF &poly : lines)
            p.drawPolyline(poly);
    }
    p.setClipping(false);

    // Legend at the top left.
    double x = g.plot.left();
    for (int s = 0; s < HistorySeriesCount; ++s) {
        if (!in.show[s] || in.seriesNames[s].isEmpty())
            continue;
        p.setPen(QColor::fromRgba(seriesColor[s]));
        p.drawText(QPointF(x, MarginTop - fm.descent() - 3), in.seriesNames[s]);
        x += fm.horizontalAdvance(in.seriesNames[s]) + 16;
    }
    return image;
}
