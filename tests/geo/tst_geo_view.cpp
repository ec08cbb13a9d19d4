// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QRegularExpression>
#include <QTest>

#include <limits>
#include <time.h>

#include "presentation/localization.h"
#include "geo/geo_view.h"
#include "geo/moon_phase_drawing.h"

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

SkyView sky(double sunAz, double sunAlt, RiseSetTimes sunTimes, double moonAz, double moonAlt, RiseSetTimes moonTimes,
            double fraction)
{
    SkyView s;
    s.sun.azimuth = sunAz * astro::RadPerDeg;
    s.sun.altitude = sunAlt * astro::RadPerDeg;
    s.sunTimes = sunTimes;
    s.moon.azimuth = moonAz * astro::RadPerDeg;
    s.moon.altitude = moonAlt * astro::RadPerDeg;
    s.moonTimes = moonTimes;
    s.moon.illuminatedFraction = fraction;
    return s;
}

ConfigRecord place(int lat, int lon)
{
    ConfigRecord c{};
    c.Lat = int16_t(lat);
    c.Lon = int16_t(lon);
    return c;
}

InfoRecord clock(int year, int month, int day, int hour, int minute)
{
    InfoRecord i{};
    SetInfoClock(i, QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    i.Year = int8_t(year - 2000);
    i.Month = uint8_t(month);
    i.Day = uint8_t(day);
    i.Hour = uint8_t(hour);
    i.Minute = uint8_t(minute);
    return i;
}

void setGerman(bool german)
{
    QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany)
                               : QLocale(QLocale::English, QLocale::UnitedStates));
    LoadLanguageTable(german ? LanguageGerman : LanguageEnglish);
}

}  // namespace

Q_DECLARE_METATYPE(SkyView)
Q_DECLARE_METATYPE(InfoRecord)

class TstGeoView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { setGerman(false); }
    void text_data();
    void text();
    void computedTextReadsLikeTheExample_data();
    void computedTextReadsLikeTheExample();
    void dayWithoutMoonrise();
    void moonDrawing_data();
    void moonDrawing();
    void nowClock_data();
    void nowClock();
};

void TstGeoView::initTestCase()
{
    // Clock times in these tests are universal time.
    qputenv("TZ", "UTC");
    tzset();
}

void TstGeoView::text_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<SkyView>("view");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("complete");
    const RiseSetTimes sunTimes{6.9667, 18.5167, 12.7, 0.7};
    const RiseSetTimes moonTimes{19.7333, 7.2, 1.5, 13.5};
    const SkyView example = sky(231.44, 12.66, sunTimes, 102.5, -8.1, moonTimes, 0.973);
    QTest::newRow("example") << false << example
        << QStringLiteral("Sun: Azimuth: 231.4°, Alt: 12.7°, Rise: 06:58, Set: 18:31, Length of day: 11:33 hours\n"
                          "Moon: Azimuth: 102.5°, Alt: -8.1°, Rise: 19:44, Set: 07:12, Phase: 97.3%") << true;
    QTest::newRow("German") << true << example
        << QStringLiteral("Sonne: Richtung: 231,4°, Höhe: 12,7°, Aufgang: 06:58, Untergang: 18:31, "
                          "Tageslänge: 11:33 Stunden\n"
                          "Mond: Richtung: 102,5°, Höhe: -8,1°, Aufgang: 19:44, Untergang: 07:12, Phase: 97,3%") << true;
    QTest::newRow("day over midnight; moon neither rises nor sets") << false
        << sky(0, -0.04, {20.0, 2.5, 23, 11}, 359.96, 0, {astro::NoEvent, astro::NoEvent, 0, 0}, 0.5)
        << QStringLiteral("Sun: Azimuth: 0°, Alt: 0°, Rise: 20:00, Set: 02:30, Length of day: 06:30 hours\n"
                          "Moon: Azimuth: 360°, Alt: 0°, Phase: 50%") << true;
    QTest::newRow("polar day; moon without rise") << false
        << sky(180, 23.5, {3.0, 3.005, 11, 23}, 10, 1, {astro::NoEvent, 5.25, 0, 0}, 0)
        << QStringLiteral("Sun: Azimuth: 180°, Alt: 23.5°\nMoon: Azimuth: 10°, Alt: 1°, Rise: --:--, Set: 05:15, Phase: 0%")
        << true;
    QTest::newRow("failed value: the text stops before it") << false << sky(120, Nan, sunTimes, 0, 0, moonTimes, 0.5)
        << QStringLiteral("Sun: Azimuth: 120°, ") << false;
    QTest::newRow("failed moon rise") << false << sky(120, 10, {5, 17, 0, 0}, 5, 6, {Nan, 4, 0, 0}, 0.5)
        << QStringLiteral("Sun: Azimuth: 120°, Alt: 10°, Rise: 05:00, Set: 17:00, Length of day: 12:00 hours\n"
                          "Moon: Azimuth: 5°, Alt: 6°") << false;
}

void TstGeoView::text()
{
    QFETCH(bool, german);
    QFETCH(SkyView, view);
    setGerman(german);
    bool complete = false;
    QTEST(GeoViewText(view, &complete), "expected");
    QTEST(complete, "complete");
}

void TstGeoView::computedTextReadsLikeTheExample_data()
{
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::addColumn<InfoRecord>("info");
    QTest::addColumn<bool>("sunRisesAndSets");
    QTest::newRow("start-up place, March") << 501 << 85 << clock(2024, 3, 20, 16, 0) << true;
    QTest::newRow("south and east, July") << -339 << 1512 << clock(2025, 7, 1, 8, 30) << true;
    QTest::newRow("west, last minute of the day") << 407 << -740 << clock(2026, 12, 8, 23, 59) << true;
    QTest::newRow("polar day") << 800 << 150 << clock(2024, 6, 21, 12, 0) << false;
    QTest::newRow("polar night") << 800 << 150 << clock(2024, 12, 21, 12, 0) << false;
}

void TstGeoView::computedTextReadsLikeTheExample()
{
    QFETCH(int, lat);
    QFETCH(int, lon);
    QFETCH(InfoRecord, info);
    QFETCH(bool, sunRisesAndSets);
    const GeoViewResult view = ComputeGeoView(place(lat, lon), info);
    QVERIFY(view.computed && view.complete);
    static const QRegularExpression shape(QStringLiteral(
        "^Sun: Azimuth: \\d{1,3}(\\.\\d)?°, Alt: -?\\d{1,2}(\\.\\d)?°(, Rise: \\d\\d:\\d\\d, Set: \\d\\d:\\d\\d, "
        "Length of day: \\d\\d:\\d\\d hours)?\\n"
        "Moon: Azimuth: \\d{1,3}(\\.\\d)?°, Alt: -?\\d{1,2}(\\.\\d)?°, (Rise: (\\d\\d:\\d\\d|--:--), "
        "Set: (\\d\\d:\\d\\d|--:--), )?Phase: \\d{1,3}(\\.\\d)?%$"));
    QVERIFY2(shape.match(view.text).hasMatch(), qPrintable(view.text));
    QCOMPARE(view.text.section(u'\n', 0, 0).contains(QStringLiteral("Rise")), sunRisesAndSets);
    // The values are those of the sky at that place and local time (UTC here).
    QCOMPARE(view.text, GeoViewText(ComputeSky(lat * 0.1, lon * 0.1, 2000 + info.Year, info.Month, info.Day,
                                               info.Hour, info.Minute, 0)));
}

void TstGeoView::dayWithoutMoonrise()
{
    int found = 0;
    for (int day = 1; day <= 31; ++day) {
        const GeoViewResult view = ComputeGeoView(place(501, 85), clock(2024, 1, day, 12, 0));
        if (view.sky.moonTimes.rise == astro::NoEvent) {
            ++found;
            QVERIFY2(view.text.contains(QStringLiteral("\nMoon: ")) && view.text.contains(QStringLiteral(", Rise: --:--, Set: ")),
                     qPrintable(view.text));
        }
    }
    QVERIFY(found >= 1);   // about once a lunation
    // A clock without a valid date or time shows no sky at all.
    for (const InfoRecord &info : {InfoRecord{}, clock(2024, 2, 30, 12, 0), clock(2024, 5, 1, 24, 0)}) {
        const GeoViewResult view = ComputeGeoView(place(501, 85), info);
        QVERIFY(!view.computed && view.text.isEmpty());
        QCOMPARE(MoonPhaseImage(view).pixel(30, 30), 0u);
    }
}

void TstGeoView::moonDrawing_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<double>("rotation");
    QTest::addColumn<QList<int>>("lit");    // columns of the middle rows inside the lit part
    QTest::addColumn<QList<int>>("dark");
    QTest::newRow("half, waxing: right half") << 0.5 << 180.0 << QList<int>{33, 48} << QList<int>{12, 27};
    QTest::newRow("half, waning: left half") << 0.5 << 0.0 << QList<int>{12, 27} << QList<int>{33, 48};
    QTest::newRow("full") << 1.0 << 0.0 << QList<int>{12, 30, 48} << QList<int>{};
    QTest::newRow("new") << 0.0 << 180.0 << QList<int>{} << QList<int>{12, 30, 48};
    QTest::newRow("waning gibbous") << 0.75 << 0.0 << QList<int>{12, 37} << QList<int>{43, 48};
    QTest::newRow("waxing crescent") << 0.25 << 180.0 << QList<int>{43, 48} << QList<int>{12, 37};
    QTest::newRow("fraction above 1") << 1.01 << 0.0 << QList<int>{} << QList<int>{12, 30, 48};
    QTest::newRow("fraction NaN") << Nan << 0.0 << QList<int>{} << QList<int>{12, 30, 48};
}

void TstGeoView::moonDrawing()
{
    QFETCH(double, fraction);
    QFETCH(double, rotation);
    QFETCH(QList<int>, lit);
    QFETCH(QList<int>, dark);
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    DrawMoonPhase(image, geoview::MoonColour, fraction, rotation, 20, 30, 30);
    for (int y : {24, 30, 36}) {
        for (int x : lit)
            QCOMPARE(image.pixel(x, y), geoview::MoonColour);
        for (int x : dark)
            QCOMPARE(image.pixel(x, y), 0u);
    }
    for (QPoint outside : {QPoint(30, 5), QPoint(30, 55), QPoint(5, 30), QPoint(55, 30), QPoint(10, 10)})
        QCOMPARE(image.pixel(outside), 0u);

    // The page's image puts the lit part on the right while the moon waxes (phase angle <= pi).
    if (fraction == 0.5) {
        GeoViewResult view;
        view.computed = view.complete = true;
        view.sky.moon.phaseAngle = rotation == 180.0 ? astro::Pi / 2 : 3 * astro::Pi / 2;
        view.sky.moon.illuminatedFraction = fraction;
        QCOMPARE(MoonPhaseImage(view), image);
    }
}

void TstGeoView::nowClock_data()
{
    QTest::addColumn<int>("msec");
    QTest::addColumn<int>("centiseconds");
    QTest::newRow("0 ms") << 0 << 0;
    QTest::newRow("5 ms, half to even") << 5 << 0;
    QTest::newRow("15 ms, half to even") << 15 << 2;
    QTest::newRow("994 ms") << 994 << 99;
    QTest::newRow("995 ms stays below 100") << 995 << 99;
}

void TstGeoView::nowClock()
{
    QFETCH(int, msec);
    InfoRecord info{};
    info.Reserved12 = 0x5A;
    info.Level[0] = 1234;
    SetInfoClock(info, QDateTime(QDate(2026, 12, 8), QTime(1, 2, 3, msec)));
    QCOMPARE(controllerDate(info), QDate(2026, 12, 8));
    QCOMPARE(QTime(info.Hour, info.Minute, info.Second), QTime(1, 2, 3));
    QCOMPARE(int(info.Reserved12), 0);
    QCOMPARE(int(info.Level[0]), 1234);
    QTEST(int(info.Centisecond), "centiseconds");
}

QTEST_MAIN(TstGeoView)
#include "tst_geo_view.moc"
