// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/sensor_chart.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "presentation/contrast.h"
#include "presentation/number_format.h"

namespace {

constexpr int MinutesPerDay = 1440;

// Time on the axis: minutes since 30 December 1899, 00:00, on the wall clock (no time
// zone, no daylight saving). Interval multiples are counted from that day, so the samples'
// times match those the controller's own day arithmetic produces.
const QDate AxisEpoch(1899, 12, 30);

long long axisMinutes(const QDateTime &t)
{
    return AxisEpoch.daysTo(t.date()) * MinutesPerDay + t.time().msecsSinceStartOfDay() / 60000;
}

QDateTime axisTime(long long minutes)
{
    long long days = minutes / MinutesPerDay;
    long long rest = minutes % MinutesPerDay;
    if (rest < 0) {
        rest += MinutesPerDay;
        --days;
    }
    return QDateTime(AxisEpoch.addDays(days), QTime(0, 0).addSecs(int(rest) * 60));
}

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

QString defaultTimeText(const QDateTime &t) { return QLocale().toString(t.time(), QLocale::ShortFormat); }
QString defaultDateText(const QDateTime &t) { return QLocale().toString(t.date(), QLocale::ShortFormat); }

} // namespace

ChartRange ChartValueRange(int minSample, int maxSample)
{
    // 5 % outward: shrinking a positive lower bound and growing a negative one. The
    // factors swap below zero; applied the same way there they would pull both bounds
    // towards zero, giving an empty or inverted range for readings below -10.0.
    const double loFactor = minSample >= 0 ? 0.095 : 0.105;
    const double hiFactor = maxSample >= 0 ? 0.105 : 0.095;
    ChartRange r;
    r.lo = int(std::floor(minSample * loFactor - 0.5)) * 10;
    r.hi = int(std::ceil(maxSample * hiFactor + 0.5)) * 10;
    return r;
}

int ChartGridStep(int d)
{
    if (d > 40000) return 4000;
    if (d > 20000) return 2000;
    if (d > 10000) return 1000;
    if (d > 4000) return 400;
    if (d > 2000) return 200;
    if (d > 1000) return 100;
    if (d > 400) return 20;
    if (d > 200) return 10;
    if (d > 100) return 5;
    if (d > 40) return 2;
    return 1;
}

int ChartLabelStepMinutes(int span)
{
    if (span <= 120) return 15;
    if (span <= 240) return 30;
    if (span <= 480) return 60;
    if (span <= 1440) return 240;
    return MinutesPerDay;
}

QDateTime ChartNow(const InfoRecord &info, const QDateTime &computerNow)
{
    const QTime clock = controllerTime(info);
    if (!clock.isValid())
        return computerNow;
    return QDateTime(computerNow.date(), clock);
}

QString ChartValueText(int sample, uint8_t source, bool fahrenheit)
{
    if (source == ChartInputVoltage)
        return FormatFixed(sample / 100.0, 2) + QStringLiteral(" V");
    return temperatureText(sample, fahrenheit);
}

QRgb ChartLineColor(uint8_t source)
{
    const ChartColours light;
    return source < light.line.size() ? light.line[source] : light.line[ChartWaterTemp];
}

ChartColours ChartColoursFor(QRgb background, QRgb text)
{
    ChartColours c;
    if (contrast::RelativeLuminance(background) >= 0.4)
        return c;
    const auto mix = [](QRgb from, QRgb to, double t) {
        const auto part = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
        return qRgb(part(qRed(from), qRed(to)), part(qGreen(from), qGreen(to)), part(qBlue(from), qBlue(to)));
    };
    c.background = qRgb(qRed(background), qGreen(background), qBlue(background));
    // On white the grid is a fifth and a sixteenth of the way to black; the same towards the text.
    c.majorGrid = mix(c.background, text, 0.2);
    c.minorGrid = mix(c.background, text, 0.07);
    c.band = mix(c.background, qRgb(255, 0, 0), 0.12);
    c.label = contrast::LegibleOn(c.background, mix(c.background, text, 0.6));
    for (QRgb &line : c.line)
        line = line == 0xFF000000 ? contrast::TextOn(c.background, text) : contrast::LegibleOn(c.background, line);
    return c;
}

SensorChartPlan PlanSensorChart(const SensorChartInput &in, QSize size, int lineHeight)
{
    SensorChartPlan plan;
    plan.size = size;
    plan.colours = in.colours;
    const ChartColours &c = in.colours;
    const int W = size.width();
    const int H = size.height();
    const int16_t newest = in.chart.Sample[0];
    if (newest == NoValue16 || in.intervalMinutes == 0) {
        plan.message = in.notConnectedText;
        return plan;
    }
    plan.empty = false;
    const double Wp = W - ChartMarginLeft - ChartMarginRight;
    const double Hp = H - ChartMarginTop - ChartMarginBottom - 1;

    int minSample = newest, maxSample = newest;
    for (int n = 0; n < ChartSampleCount; ++n) {
        const int16_t v = in.chart.Sample[n];
        if (v == NoValue16)
            continue;
        minSample = std::min<int>(minSample, v);
        maxSample = std::max<int>(maxSample, v);
    }
    plan.range = ChartValueRange(minSample, maxSample);
    const int lo = plan.range.lo, hi = plan.range.hi;
    plan.step = ChartGridStep(hi - lo);
    const auto y = [&](double r) { return (1.0 - (r - lo) / double(hi - lo)) * Hp + ChartMarginTop; };

    // Time axis: the newest sample was taken at the last whole interval before now.
    const long long I = in.intervalMinutes;
    const long long tEnd = floorDiv(axisMinutes(in.now), I) * I;
    const long long L = (ChartSampleCount - 1) * I;
    plan.labelStepMinutes = ChartLabelStepMinutes(int(std::min<long long>(L, INT32_MAX)));
    const long long m = plan.labelStepMinutes;

    if (in.source != ChartInputVoltage)
        plan.bandBottom = y(ChartHotTemperature);

    auto timeText = in.timeText ? in.timeText : defaultTimeText;
    auto dateText = in.dateText ? in.dateText : defaultDateText;
    long long t = floorDiv(tEnd, m) * m;
    for (int i = 0; i < 10; ++i, t -= m) {
        const double x = (1.0 - double(tEnd - t) / double(L)) * Wp + ChartMarginLeft;
        if (x < ChartMarginLeft)
            break;
        plan.lines.push_back({QPointF(x, ChartMarginTop), QPointF(x, Hp + ChartMarginTop), c.majorGrid});
        const QDateTime when = axisTime(t);
        const QString text = floorDiv(t, MinutesPerDay) * MinutesPerDay == t ? dateText(when) : timeText(when);
        const double labelX = std::round(x);
        plan.texts.push_back({QPointF(labelX, 1), Qt::AlignHCenter, text, c.label});
        plan.texts.push_back({QPointF(labelX, H - 13), Qt::AlignHCenter, text, c.label});
    }

    // The newest value stands at the right edge level with its point, but clear of the
    // time labels at the top and the bottom; a value label of the right edge that it would
    // cover is left out (the same value is still labelled at the left edge).
    const double newestTop = std::clamp<double>(std::round(y(newest)) - 6, 1.0 + lineHeight,
                                                std::max(1.0 + lineHeight, double(H - 13 - lineHeight)));
    const auto coversNewest = [&](double top) { return std::abs(top - newestTop) < lineHeight; };

    // Value grid from the bottom up. Labels that would run into the one below are left
    // out; every grid line is still drawn.
    double lastLabelTop = 1e9;
    for (long long r = lo; r <= hi; r += plan.step) {
        const double yr = y(double(r));
        const bool major = r % 10 == 0;
        plan.lines.push_back({QPointF(ChartMarginLeft, yr), QPointF(ChartMarginLeft + Wp, yr),
                              major ? c.majorGrid : c.minorGrid});
        if (!major)
            continue;
        const double top = std::round(yr) - 6;
        if (lastLabelTop - top < lineHeight)
            continue;
        lastLabelTop = top;
        const QString text = ChartValueText(int(r), in.source, in.fahrenheit);
        if (!coversNewest(top))
            plan.texts.push_back({QPointF(W, top), Qt::AlignRight, text, c.label});
        plan.texts.push_back({QPointF(0, top), Qt::AlignLeft, text, c.label});
    }

    plan.curveColor = in.source < c.line.size() ? c.line[in.source] : c.line[ChartWaterTemp];
    plan.texts.push_back({QPointF(W, newestTop), Qt::AlignRight, ChartValueText(newest, in.source, in.fahrenheit),
                          plan.curveColor});

    for (int n = ChartSampleCount - 1; n >= 0; --n) {
        const int16_t v = in.chart.Sample[n];
        if (v == NoValue16)
            continue;
        plan.curve.append(QPointF((1.0 - n / double(ChartSampleCount - 1)) * Wp + ChartMarginLeft, y(v)));
    }
    return plan;
}

void PaintSensorChart(QImage &image, const SensorChartPlan &plan, const QFont &font)
{
    QPainter p(&image);
    p.setFont(font);
    const QFontMetrics metrics(font, &image);
    const int W = plan.size.width();
    const int H = plan.size.height();
    p.fillRect(QRect(0, 0, W, H), QColor::fromRgba(plan.colours.background));

    if (plan.empty) {
        const QSize text = metrics.size(Qt::TextSingleLine, plan.message);
        p.setPen(QColor::fromRgba(plan.colours.label));
        p.drawText(QRect((W - text.width()) / 2, (H - text.height()) / 2, text.width(), text.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, plan.message);
        return;
    }

    if (plan.bandBottom > 0)
        p.fillRect(QRectF(0, 0, W, std::min<double>(plan.bandBottom, H)), QColor::fromRgba(plan.colours.band));

    for (const ChartLine &line : plan.lines) {
        p.setPen(QColor::fromRgba(line.color));
        p.drawLine(line.from, line.to);
    }

    for (const ChartText &text : plan.texts) {
        const int width = metrics.horizontalAdvance(text.text);
        double left = text.anchor.x();
        if (text.align & Qt::AlignRight)
            left -= width;
        else if (text.align & Qt::AlignHCenter)
            left -= width / 2.0;
        // Labels of the outermost grid lines stay inside the picture.
        left = std::clamp(left, 0.0, std::max(0.0, double(W - width)));
        p.setPen(QColor::fromRgba(text.color));
        p.drawText(QRectF(left, text.anchor.y(), width + 1, metrics.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text.text);
    }

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor::fromRgba(plan.curveColor), 1.0));
    p.drawPolyline(plan.curve);
}

QImage DrawSensorChartImage(const InfoRecord &info, const ConfigRecord &config, const ExpertRecord &expert,
                            const ChartRecord &chart, QSize size, qreal devicePixelRatio, const QFont &font,
                            const QString &notConnectedText, const QDateTime &computerNow,
                            const ChartColours &colours)
{
    if (size.isEmpty())
        return QImage();
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(ratio);

    SensorChartInput in;
    in.chart = chart;
    in.source = expert.ChartMode;
    in.intervalMinutes = expert.ChartInterval;
    in.fahrenheit = isFahrenheit(config);
    in.now = ChartNow(info, computerNow);
    in.notConnectedText = notConnectedText;
    in.colours = colours;
    const QFontMetrics metrics(font, &image);
    PaintSensorChart(image, PlanSensorChart(in, size, metrics.height()), font);
    return image;
}
