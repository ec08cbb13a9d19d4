// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFontMetrics>
#include <QTest>

#include <algorithm>
#include <cmath>

#include "schedule/sensor_chart.h"

namespace {

QString timeText(const QDateTime &t) { return QStringLiteral("T") + t.toString(QStringLiteral("hh:mm")); }
QString dateText(const QDateTime &t) { return QStringLiteral("D") + t.toString(QStringLiteral("yyyy-MM-dd")); }

ChartRecord filled(int value)
{
    ChartRecord chart;
    for (auto &s : chart.Sample)
        s = int16_t(value);
    return chart;
}

SensorChartInput input(const ChartRecord &chart, uint8_t source = ChartWaterTemp, uint16_t interval = 10)
{
    SensorChartInput in;
    in.chart = chart;
    in.source = source;
    in.intervalMinutes = interval;
    in.now = QDateTime(QDate(2026, 3, 10), QTime(13, 37, 20));
    in.notConnectedText = QStringLiteral("not connected");
    in.timeText = timeText;
    in.dateText = dateText;
    return in;
}

const QSize Size(800, 541);   // plot 720 x 500
constexpr int LineHeight = 12;

QStringList textsOf(const SensorChartPlan &plan, QRgb color)
{
    QStringList texts;
    for (const ChartText &t : plan.texts)
        if (t.color == color)
            texts.append(t.text);
    return texts;
}

} // namespace

class TstSensorChart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void range_data();
    void range();
    void rangeAlwaysEnclosesTheSamples();
    void allEqualSamples();
    void newestValueCoversNoLabel_data();
    void newestValueCoversNoLabel();
    void nothingButTheText_data();
    void nothingButTheText();
    void valueTexts_data();
    void valueTexts();
    void band_data();
    void band();
    void timeLabels_data();
    void timeLabels();
    void controllerClockGivesNow();
    void curveSkipsMissingSamples();
    void crowdedValueLabelsAreThinned();
};

void TstSensorChart::initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

void TstSensorChart::range_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    QTest::newRow("25.0 degrees") << 250 << 250 << 230 << 270;
    QTest::newRow("zero") << 0 << 0 << -10 << 10;
    QTest::newRow("12 to 13 volts") << 1200 << 1300 << 1130 << 1370;
    QTest::newRow("across zero") << -50 << 300 << -60 << 320;
    // Below zero the margin still goes outward.
    QTest::newRow("-10.0 degrees") << -100 << -100 << -110 << -90;
    QTest::newRow("-30.0 degrees") << -300 << -300 << -320 << -280;
    QTest::newRow("extremes") << -32768 << 32766 << -34420 << 34410;
}

void TstSensorChart::range()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, lo);
    QFETCH(int, hi);
    QCOMPARE(ChartValueRange(min, max), (ChartRange{lo, hi}));
}

void TstSensorChart::rangeAlwaysEnclosesTheSamples()
{
    for (int v = -32768; v <= 32766; ++v) {
        const ChartRange r = ChartValueRange(v, v);
        if (!(r.lo < v && v < r.hi && r.lo % 10 == 0 && r.hi % 10 == 0))
            QFAIL(qPrintable(QStringLiteral("%1 gives %2..%3").arg(v).arg(r.lo).arg(r.hi)));
    }
}

void TstSensorChart::allEqualSamples()
{
    const SensorChartPlan plan = PlanSensorChart(input(filled(250)), Size, LineHeight);
    QVERIFY(!plan.empty);
    QCOMPARE(plan.range, (ChartRange{230, 270}));
    QCOMPARE(plan.step, 1);
    int major = 0, minor = 0;
    for (const ChartLine &line : plan.lines) {
        if (line.from.y() != line.to.y())
            continue;   // time grid
        (line.color == 0xFFD0D0D0 ? major : minor)++;
        QCOMPARE(line.from.x(), 40.0);
        QCOMPARE(line.to.x(), 760.0);
    }
    QCOMPARE(major, 5);
    QCOMPARE(minor, 36);
    QStringList grey = textsOf(plan, 0xFF808080).filter(QStringLiteral("°C"));
    // 25.0 °C is labelled at the left edge only: at the right the newest value stands there.
    QCOMPARE(grey, QStringList({"23.0°C", "23.0°C", "24.0°C", "24.0°C", "25.0°C", "26.0°C", "26.0°C",
                                "27.0°C", "27.0°C"}));
    QCOMPARE(textsOf(plan, 0xFF0000FF), QStringList{"25.0°C"});
    // y(hi) is the top of the plot, y(lo) its bottom.
    const ChartText &top = plan.texts[plan.texts.size() - 3];
    QCOMPARE(top.anchor.y(), 20.0 - 6);
}

void TstSensorChart::newestValueCoversNoLabel_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QSize>("size");
    QTest::newRow("12 V supply") << int(ChartInputVoltage) << 1140 << 1260 << Size;
    QTest::newRow("0 to 9 V") << int(ChartInputVoltage) << 0 << 900 << Size;
    QTest::newRow("aquarium water") << int(ChartWaterTemp) << 230 << 270 << Size;
    QTest::newRow("below zero") << int(ChartSlaveTemp) << -120 << 40 << Size;
    QTest::newRow("small picture") << int(ChartWaterTemp) << 240 << 262 << QSize(300, 120);
}

void TstSensorChart::newestValueCoversNoLabel()
{
    QFETCH(int, source);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QSize, size);
    QFont font;
    font.setPointSize(8);
    const QFontMetrics metrics(font);
    // Where each text lands, as the painting puts it.
    const auto rectOf = [&](const ChartText &t) {
        const int width = metrics.horizontalAdvance(t.text);
        double left = t.anchor.x();
        if (t.align & Qt::AlignRight)
            left -= width;
        else if (t.align & Qt::AlignHCenter)
            left -= width / 2.0;
        left = std::clamp(left, 0.0, std::max(0.0, double(size.width() - width)));
        return QRectF(left, t.anchor.y(), width, metrics.height());
    };
    const auto planFor = [&](int newest) {
        ChartRecord chart = filled(low);
        chart.Sample[0] = int16_t(newest);
        chart.Sample[20] = int16_t(high);
        return PlanSensorChart(input(chart, uint8_t(source)), size, metrics.height());
    };
    // Every labelled grid line, and the values next to it.
    std::vector<int> values;
    const ChartRange range = planFor(low).range;
    for (int r = range.lo; r <= range.hi; ++r)
        if (r % 10 == 0)
            for (int v = r - 3; v <= r + 3; ++v)
                if (v >= low && v <= high)
                    values.push_back(v);
    QVERIFY(values.size() > 3);
    for (int newest : values) {
        const SensorChartPlan plan = planFor(newest);
        QCOMPARE(plan.range, range);
        const ChartText &label = plan.texts.back();
        QCOMPARE(label.text, ChartValueText(newest, uint8_t(source), false));
        const QRectF mine = rectOf(label);
        QVERIFY(mine.top() >= 0 && mine.bottom() <= size.height());
        for (std::size_t i = 0; i + 1 < plan.texts.size(); ++i) {
            if (rectOf(plan.texts[i]).intersects(mine))
                QFAIL(qPrintable(QStringLiteral("%1 lies on %2").arg(label.text, plan.texts[i].text)));
        }
    }
}

void TstSensorChart::nothingButTheText_data()
{
    QTest::addColumn<int>("newest");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("empty");
    QTest::newRow("newest missing, older present") << int(NoValue16) << 10 << true;
    QTest::newRow("interval 0") << 250 << 0 << true;
    QTest::newRow("both present") << 250 << 10 << false;
}

void TstSensorChart::nothingButTheText()
{
    QFETCH(int, newest);
    QFETCH(int, interval);
    QFETCH(bool, empty);
    ChartRecord chart = filled(250);
    chart.Sample[0] = int16_t(newest);
    const SensorChartPlan plan = PlanSensorChart(input(chart, ChartWaterTemp, uint16_t(interval)), Size, LineHeight);
    QCOMPARE(plan.empty, empty);
    if (empty) {
        QCOMPARE(plan.message, QStringLiteral("not connected"));
        QVERIFY(plan.lines.empty() && plan.texts.empty() && plan.curve.isEmpty());
    }
}

void TstSensorChart::valueTexts_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<int>("sample");
    QTest::addColumn<QString>("newest");
    QTest::addColumn<uint>("color");
    QTest::newRow("water") << int(ChartWaterTemp) << false << 250 << "25.0°C" << 0xFF0000FFu;
    QTest::newRow("water in Fahrenheit") << int(ChartWaterTemp) << true << 250 << "77.0°F" << 0xFF0000FFu;
    QTest::newRow("board") << int(ChartBoardTemp) << false << -15 << "-1.5°C" << 0xFFFF0000u;
    QTest::newRow("voltage ignores Fahrenheit") << int(ChartInputVoltage) << true << 1234 << "12.34 V" << 0xFF000000u;
    QTest::newRow("slave") << int(ChartSlaveTemp) << false << 412 << "41.2°C" << 0xFFFF8000u;
}

void TstSensorChart::valueTexts()
{
    QFETCH(int, source);
    QFETCH(bool, fahrenheit);
    QFETCH(int, sample);
    QFETCH(QString, newest);
    QFETCH(uint, color);
    SensorChartInput in = input(filled(sample), uint8_t(source));
    in.fahrenheit = fahrenheit;
    const SensorChartPlan plan = PlanSensorChart(in, Size, LineHeight);
    QCOMPARE(plan.curveColor, QRgb(color));
    QCOMPARE(plan.texts.back().text, newest);
    QCOMPARE(plan.texts.back().align, Qt::AlignRight);
    QCOMPARE(plan.texts.back().anchor.x(), 800.0);
}

void TstSensorChart::band_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("sample");
    QTest::addColumn<int>("band");   // -1 none, 0 partial, 1 beyond the bottom
    QTest::newRow("scale ends below 60 degrees") << int(ChartWaterTemp) << 250 << -1;
    QTest::newRow("around 60 degrees") << int(ChartWaterTemp) << 600 << 0;
    QTest::newRow("all above 60 degrees") << int(ChartSlaveTemp) << 700 << 1;
    QTest::newRow("voltage never") << int(ChartInputVoltage) << 600 << -1;
}

void TstSensorChart::band()
{
    QFETCH(int, source);
    QFETCH(int, sample);
    QFETCH(int, band);
    const SensorChartPlan plan = PlanSensorChart(input(filled(sample), uint8_t(source)), Size, LineHeight);
    if (band < 0)
        QVERIFY(plan.bandBottom <= 0);
    else if (band == 0) {
        // 600 lies in the middle of 560..640.
        QCOMPARE(plan.range, (ChartRange{560, 640}));
        QCOMPARE(plan.bandBottom, 270.0);
    } else
        QVERIFY(plan.bandBottom > Size.height());
}

void TstSensorChart::timeLabels_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<double>("firstX");
    // 60 minutes: the chart spans 39 hours; the newest sample is at 13:00, midnight of the
    // 10th lies 13 hours before it.
    QTest::newRow("60 min: whole days") << 60 << QTime(13, 37, 20) << QStringList({"D2026-03-10", "D2026-03-09"})
                                        << (1 - 13 * 60 / 2340.0) * 720 + 40;
    // 3 minutes: 117 minutes, newest at 10:06.
    QTest::newRow("3 min: quarter hours")
        << 3 << QTime(10, 7, 30)
        << QStringList({"T10:00", "T09:45", "T09:30", "T09:15", "T09:00", "T08:45", "T08:30", "T08:15"})
        << (1 - 6 / 117.0) * 720 + 40;
    QTest::newRow("3 min: midnight shows the date")
        << 3 << QTime(0, 20)
        << QStringList({"T00:15", "D2026-03-10", "T23:45", "T23:30", "T23:15", "T23:00", "T22:45", "T22:30"})
        << (1 - 3 / 117.0) * 720 + 40;
    QTest::newRow("never more than ten") << 65535 << QTime(12, 0)
                                         << QStringList({"D2026-03-10", "D2026-03-09", "D2026-03-08", "D2026-03-07",
                                                         "D2026-03-06", "D2026-03-05", "D2026-03-04", "D2026-03-03",
                                                         "D2026-03-02", "D2026-03-01"})
                                         << -1.0;
}

void TstSensorChart::timeLabels()
{
    QFETCH(int, interval);
    QFETCH(QTime, now);
    QFETCH(QStringList, labels);
    QFETCH(double, firstX);
    SensorChartInput in = input(filled(250), ChartWaterTemp, uint16_t(interval));
    in.now = QDateTime(QDate(2026, 3, 10), now);
    const SensorChartPlan plan = PlanSensorChart(in, Size, LineHeight);
    QCOMPARE(plan.labelStepMinutes, interval == 3 ? 15 : 1440);
    QStringList top, bottom;
    for (const ChartText &t : plan.texts) {
        if (t.anchor.y() == 1)
            top.append(t.text);
        else if (t.anchor.y() == Size.height() - 13)
            bottom.append(t.text);
    }
    if (interval == 65535) {
        // Far too long for the 1-day step: the ten labels all lie on the right.
        QCOMPARE(top.size(), 10);
        return;
    }
    QCOMPARE(top, labels);
    QCOMPARE(bottom, labels);
    const ChartLine &first = plan.lines.front();
    QCOMPARE(first.from.x(), firstX);
    QCOMPARE(first.from.y(), 20.0);
    QCOMPARE(first.to.y(), 520.0);
    QCOMPARE(plan.texts.front().anchor.x(), std::round(firstX));
}

void TstSensorChart::controllerClockGivesNow()
{
    const QDateTime computer(QDate(2026, 5, 1), QTime(8, 0));
    InfoRecord info{};
    info.Hour = 21;
    info.Minute = 15;
    info.Second = 30;
    info.Centisecond = 50;
    QCOMPARE(ChartNow(info, computer), QDateTime(QDate(2026, 5, 1), QTime(21, 15, 30, 500)));
    info.Hour = 24;   // not a time of day: the computer's clock is used
    QCOMPARE(ChartNow(info, computer), computer);
}

void TstSensorChart::curveSkipsMissingSamples()
{
    ChartRecord chart = filled(250);
    chart.Sample[5] = NoValue16;
    chart.Sample[20] = NoValue16;
    chart.Sample[39] = NoValue16;
    chart.Sample[10] = 300;
    const SensorChartPlan plan = PlanSensorChart(input(chart), Size, LineHeight);
    QCOMPARE(plan.curve.size(), 37);
    QCOMPARE(plan.curve.front().x(), (1 - 38 / 39.0) * 720 + 40);   // oldest present sample
    QCOMPARE(plan.curve.back().x(), 760.0);                          // newest at the right edge
    // The missing samples do not pull the range: 250..300 gives 230..320.
    QCOMPARE(plan.range, (ChartRange{230, 320}));
    for (const QPointF &p : plan.curve)
        QVERIFY(p.y() >= 20 && p.y() <= 520);
}

void TstSensorChart::crowdedValueLabelsAreThinned()
{
    // 0 to 9 V: range -10..950, step 20, a labelled line every 10.4 pixels.
    ChartRecord chart = filled(900);
    chart.Sample[1] = 0;
    const SensorChartPlan plan = PlanSensorChart(input(chart, ChartInputVoltage), Size, LineHeight);
    QCOMPARE(plan.step, 20);
    std::vector<double> tops;
    for (const ChartText &t : plan.texts)
        if (t.color == 0xFF808080 && t.align == Qt::AlignLeft)
            tops.push_back(t.anchor.y());
    QVERIFY(tops.size() > 3);
    for (std::size_t i = 1; i < tops.size(); ++i)
        QVERIFY(tops[i - 1] - tops[i] >= LineHeight);
}

QTEST_MAIN(TstSensorChart)
#include "tst_sensor_chart.moc"
