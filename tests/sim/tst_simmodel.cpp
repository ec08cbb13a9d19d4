// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the simulated controller computes between frames: time-zone rule, sun, levels.

#include <cmath>
#include <cstring>

#include <QtTest>

#include "sim/sim_model.h"

Q_DECLARE_METATYPE(ExpertRecord)

namespace {

ExpertRecord zone(int bias, int dMonth, int dDay, int dHour, int sMonth, int sDay, int sHour)
{
    ExpertRecord e;
    std::memset(&e, 0, sizeof e);
    e.Bias = int16_t(bias);
    e.DaylightMonth = int8_t(dMonth);
    e.DaylightDay = int8_t(dDay);
    e.DaylightHour = int8_t(dHour);
    e.StandardMonth = int8_t(sMonth);
    e.StandardDay = int8_t(sDay);
    e.StandardHour = int8_t(sHour);
    return e; // days of week 0: Sunday
}

ScheduleLine line(int hour, int minute, double altitude, int level)
{
    ScheduleLine l;
    std::memset(&l, 0, sizeof l);
    l.Hour = uint8_t(hour);
    l.Minute = uint8_t(minute);
    l.Alt = sim::altitudeValue(altitude);
    std::memset(l.Color16, level, sizeof l.Color16);
    return l;
}

} // namespace

class TestSimModel : public QObject
{
    Q_OBJECT

private slots:
    void utcOffset_data();
    void utcOffset();
    void sunAltitude_data();
    void sunAltitude();
    void pathPositions();
    void levelsByTime_data();
    void levelsByTime();
};

void TestSimModel::utcOffset_data()
{
    QTest::addColumn<ExpertRecord>("rule");
    QTest::addColumn<QDateTime>("local");
    QTest::addColumn<int>("offset");
    const ExpertRecord cet = sim::defaultExpert();
    const ExpertRecord sydney = zone(600, 10, 7, 2, 4, 7, 3);
    const ExpertRecord newYork = zone(-300, 3, 14, 2, 11, 7, 2);
    const ExpertRecord india = zone(330, 0, 0, 0, 0, 0, 0);
    const auto at = [](int y, int mo, int d, int h, int mi) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
    };
    QTest::newRow("CET before spring change") << cet << at(2026, 3, 29, 1, 59) << 60;
    QTest::newRow("CET at spring change") << cet << at(2026, 3, 29, 2, 0) << 120;
    QTest::newRow("CET before autumn change") << cet << at(2026, 10, 25, 2, 59) << 120;
    QTest::newRow("CET at autumn change") << cet << at(2026, 10, 25, 3, 0) << 60;
    QTest::newRow("Sydney January") << sydney << at(2026, 1, 15, 12, 0) << 660;
    QTest::newRow("Sydney at October change") << sydney << at(2026, 10, 4, 2, 0) << 660;
    QTest::newRow("Sydney at April change") << sydney << at(2026, 4, 5, 3, 0) << 600;
    QTest::newRow("New York second Sunday of March") << newYork << at(2026, 3, 8, 2, 0) << -240;
    QTest::newRow("India, no daylight time") << india << at(2026, 7, 1, 12, 0) << 330;
    QTest::newRow("unusable month") << zone(60, 13, 31, 2, 10, 31, 3) << at(2026, 7, 1, 12, 0) << 60;
}

void TestSimModel::utcOffset()
{
    QFETCH(ExpertRecord, rule);
    QFETCH(QDateTime, local);
    QFETCH(int, offset);
    QCOMPARE(sim::utcOffsetMinutes(rule, local), offset);
}

void TestSimModel::sunAltitude_data()
{
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<int>("east"); // 1 east, 0 west, -1 too close to the meridian to tell
    const auto at = [](int y, int mo, int d, int h, int mi) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
    };
    // Reference altitudes from an independent ephemeris, without refraction.
    QTest::newRow("midsummer noon") << at(2026, 6, 21, 11, 26) << 50.1 << 8.5 << 63.33 << -1;
    QTest::newRow("midsummer midnight") << at(2026, 6, 21, 23, 26) << 50.1 << 8.5 << -16.46 << -1;
    QTest::newRow("summer morning") << at(2026, 6, 21, 6, 30) << 50.1 << 8.5 << 27.58 << 1;
    QTest::newRow("summer afternoon") << at(2026, 6, 21, 16, 20) << 50.1 << 8.5 << 28.48 << 0;
    QTest::newRow("Sydney summer morning") << at(2025, 12, 31, 22, 0) << -33.9 << 151.2 << 37.19 << 1;
}

void TestSimModel::sunAltitude()
{
    QFETCH(QDateTime, utc);
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(double, altitude);
    QFETCH(int, east);
    const sim::SunAltitude sun = sim::sunAltitude(utc, lat, lon);
    QVERIFY2(std::abs(sun.degrees - altitude) < 0.5, qPrintable(QString::number(sun.degrees)));
    if (east >= 0)
        QCOMPARE(sun.east, east == 1);
}

void TestSimModel::pathPositions()
{
    const std::vector<ScheduleLine> lines = {line(0, 0, -10, 0), line(0, 0, 0, 0), line(0, 0, 20, 0),
                                             line(0, 0, 40, 0),  line(0, 0, 20, 0), line(0, 0, 0, 0),
                                             line(0, 0, -10, 0)};
    const std::vector<double> expected = {80, 90, 110, 230, 250, 270, 280};
    const std::vector<double> pos = sim::sunPathPositions(lines);
    QCOMPARE(pos.size(), expected.size());
    for (size_t k = 0; k < pos.size(); ++k)
        QVERIFY2(std::abs(pos[k] - expected[k]) < 0.01, qPrintable(QString::number(pos[k])));
    QCOMPARE(sim::sunPathPositions({line(0, 0, 30, 0)}), std::vector<double>{0.0});
    // An unreadable altitude counts as the horizon.
    ScheduleLine bad = line(0, 0, 0, 0);
    bad.Alt = 12000;
    QCOMPARE(sim::sunPathPositions({line(0, 0, -10, 0), bad}).back(), 270.0);
}

void TestSimModel::levelsByTime_data()
{
    QTest::addColumn<double>("minute");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("activeLine");
    // Lines 06:00 20 %, 12:00 100 %, 18:00 40 %: the night comes from the day's end.
    QTest::newRow("before first line") << 180.0 << 1229 << 2; // halfway from 40 % to 20 %: 30 %
    QTest::newRow("at first line") << 360.0 << 819 << 0;
    QTest::newRow("between lines") << 540.0 << 2458 << 0; // 60 %
    QTest::newRow("at last line") << 1080.0 << 1638 << 2;
    QTest::newRow("after last line") << 1400.0 << 1638 << 2;
}

void TestSimModel::levelsByTime()
{
    QFETCH(double, minute);
    QFETCH(int, level);
    QFETCH(int, activeLine);
    const std::vector<ScheduleLine> lines = {line(6, 0, 0, 20), line(12, 0, 0, 100), line(18, 0, 0, 40)};
    const sim::ScheduleState state = sim::levelsByTime(lines, minute);
    QCOMPARE(int(state.levels[0]), level);
    QCOMPARE(int(state.levels[11]), level);
    QCOMPARE(state.activeLine, activeLine);
    QCOMPARE(sim::levelsByTime({}, minute).activeLine, -1);
    QCOMPARE(int(sim::levelsByTime({}, minute).levels[0]), 0);
}

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_simmodel.moc"
