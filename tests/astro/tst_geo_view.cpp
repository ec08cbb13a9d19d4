#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <limits>
#include <time.h>

#include "app/localization.h"
#include "astro/geo_view.h"
#include "astro/moon_phase_drawing.h"
#include "pages/number_format.h"

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
constexpr QRgb Yellow = geoview::MoonColour;

SkyView sky(double sunAz, double sunAlt, RiseSetTimes sunTimes, double moonAz, double moonAlt,
            RiseSetTimes moonTimes, double fraction)
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
    i.Year = int8_t(year - 2000);
    i.Month = uint8_t(month);
    i.Day = uint8_t(day);
    i.Hour = uint8_t(hour);
    i.Minute = uint8_t(minute);
    return i;
}

QString sunLine(const QString &text) { return text.section(u'\n', 0, 0); }
QString moonLine(const QString &text) { return text.section(u'\n', 1, 1); }

}  // namespace

Q_DECLARE_METATYPE(SkyView)
Q_DECLARE_METATYPE(InfoRecord)

class TstGeoView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void text_data();
    void text();
    void textReadsLikeTheExample_data();
    void textReadsLikeTheExample();
    void germanText();
    void polarDayHasNoRiseOrSet();
    void dayWithoutMoonrise();
    void invalidClockShowsNothing_data();
    void invalidClockShowsNothing();
    void moonDrawing_data();
    void moonDrawing();
    void moonImageSide_data();
    void moonImageSide();
    void nowClock_data();
    void nowClock();
    void clockText_data();
    void clockText();
    void placeTexts_data();
    void placeTexts();
    void mousePositionText();
};

void TstGeoView::initTestCase()
{
    // Times of day in these tests are universal time.
    qputenv("TZ", "UTC");
    tzset();
}

void TstGeoView::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    LoadLanguageTable(LanguageEnglish);
}

void TstGeoView::text_data()
{
    QTest::addColumn<SkyView>("view");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("complete");
    const RiseSetTimes sunTimes{6.9667, 18.5167, 12.7, 0.7};
    const RiseSetTimes moonTimes{19.7333, 7.2, 1.5, 13.5};
    QTest::newRow("sun and moon rise and set")
        << sky(231.44, 12.66, sunTimes, 102.5, -8.1, moonTimes, 0.973)
        << QStringLiteral("Sun: Azimuth: 231.4°, Alt: 12.7°, Rise: 06:58, Set: 18:31, Length of day: 11:33 hours\n"
                          "Moon: Azimuth: 102.5°, Alt: -8.1°, Rise: 19:44, Set: 07:12, Phase: 97.3%")
        << true;
    QTest::newRow("sunset after midnight: day length over midnight")
        << sky(0, 0, {20.0, 2.5, 23, 11}, 0, 0, {astro::NoEvent, astro::NoEvent, 0, 0}, 0.5)
        << QStringLiteral("Sun: Azimuth: 0°, Alt: 0°, Rise: 20:00, Set: 02:30, Length of day: 06:30 hours\n"
                          "Moon: Azimuth: 0°, Alt: 0°, Phase: 50%")
        << true;
    QTest::newRow("polar day: sun without rise and set")
        << sky(180, 23.5, {3.0, 3.005, 11, 23}, 10, 1, {astro::NoEvent, 5.25, 0, 0}, 0)
        << QStringLiteral("Sun: Azimuth: 180°, Alt: 23.5°\n"
                          "Moon: Azimuth: 10°, Alt: 1°, Rise: --:--, Set: 05:15, Phase: 0%")
        << true;
    QTest::newRow("moon without set")
        << sky(90, -0.04, sunTimes, 359.96, 45, {12.0, astro::NoEvent, 0, 0}, 1)
        << QStringLiteral("Sun: Azimuth: 90°, Alt: 0°, Rise: 06:58, Set: 18:31, Length of day: 11:33 hours\n"
                          "Moon: Azimuth: 360°, Alt: 45°, Rise: 12:00, Set: --:--, Phase: 100%")
        << true;
    QTest::newRow("failed sun altitude: the text stops")
        << sky(120, Nan, sunTimes, 0, 0, moonTimes, 0.5) << QStringLiteral("Sun: Azimuth: 120°, ") << false;
    QTest::newRow("failed moon rise: the moon line stops")
        << sky(120, 10, sunTimes, 5, 6, {Nan, 4, 0, 0}, 0.5)
        << QStringLiteral("Sun: Azimuth: 120°, Alt: 10°, Rise: 06:58, Set: 18:31, Length of day: 11:33 hours\n"
                          "Moon: Azimuth: 5°, Alt: 6°")
        << false;
}

void TstGeoView::text()
{
    QFETCH(SkyView, view);
    bool complete = false;
    QTEST(GeoViewText(view, &complete), "expected");
    QTEST(complete, "complete");
}

void TstGeoView::textReadsLikeTheExample_data()
{
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::addColumn<InfoRecord>("info");
    QTest::newRow("start-up place, March afternoon") << 501 << 85 << clock(2024, 3, 20, 16, 0);
    QTest::newRow("southern hemisphere, winter") << -339 << 1512 << clock(2025, 7, 1, 8, 30);
    QTest::newRow("west of Greenwich") << 407 << -740 << clock(2026, 12, 8, 23, 59);
}

void TstGeoView::textReadsLikeTheExample()
{
    QFETCH(int, lat);
    QFETCH(int, lon);
    QFETCH(InfoRecord, info);
    const GeoViewResult view = ComputeGeoView(place(lat, lon), info);
    QVERIFY(view.computed);
    QVERIFY(view.complete);
    static const QRegularExpression shape(QStringLiteral(
        "^Sun: Azimuth: \\d{1,3}(\\.\\d)?°, Alt: -?\\d{1,2}(\\.\\d)?°, Rise: \\d\\d:\\d\\d, Set: \\d\\d:\\d\\d, "
        "Length of day: \\d\\d:\\d\\d hours\\n"
        "Moon: Azimuth: \\d{1,3}(\\.\\d)?°, Alt: -?\\d{1,2}(\\.\\d)?°, (Rise: (\\d\\d:\\d\\d|--:--), "
        "Set: (\\d\\d:\\d\\d|--:--), )?Phase: \\d{1,3}(\\.\\d)?%$"));
    QVERIFY2(shape.match(view.text).hasMatch(), qPrintable(view.text));

    // The numbers are those of the sky for that place and local time.
    const SkyView expected = ComputeSky(lat * 0.1, lon * 0.1, 2000 + info.Year, info.Month, info.Day, info.Hour,
                                        info.Minute, 0);
    QCOMPARE(view.text, GeoViewText(expected));
}

void TstGeoView::germanText()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LoadLanguageTable(LanguageGerman);
    const QString text = GeoViewText(sky(231.44, 12.66, {6.9667, 18.5167, 0, 0}, 102.5, -8.1, {19.7333, 7.2, 0, 0}, 0.973));
    QCOMPARE(text, QStringLiteral("Sonne: Richtung: 231,4°, Höhe: 12,7°, Aufgang: 06:58, Untergang: 18:31, "
                                  "Tageslänge: 11:33 Stunden\n"
                                  "Mond: Richtung: 102,5°, Höhe: -8,1°, Aufgang: 19:44, Untergang: 07:12, Phase: 97,3%"));
}

void TstGeoView::polarDayHasNoRiseOrSet()
{
    for (const InfoRecord &info : {clock(2024, 6, 21, 12, 0), clock(2024, 12, 21, 12, 0)}) {
        const GeoViewResult view = ComputeGeoView(place(800, 150), info);
        QVERIFY(view.complete);
        static const QRegularExpression sunOnly(QStringLiteral("^Sun: Azimuth: [\\d.]+°, Alt: -?[\\d.]+°$"));
        QVERIFY2(sunOnly.match(sunLine(view.text)).hasMatch(), qPrintable(view.text));
        QVERIFY(moonLine(view.text).startsWith(QStringLiteral("Moon: ")));
    }
}

void TstGeoView::dayWithoutMoonrise()
{
    // About once a lunation the moon does not rise on a local day.
    int found = 0;
    for (int day = 1; day <= 31; ++day) {
        const GeoViewResult view = ComputeGeoView(place(501, 85), clock(2024, 1, day, 12, 0));
        if (view.sky.moonTimes.rise != astro::NoEvent)
            continue;
        ++found;
        QVERIFY2(moonLine(view.text).contains(QStringLiteral(", Rise: --:--, Set: ")), qPrintable(view.text));
    }
    QVERIFY(found >= 1);
}

void TstGeoView::invalidClockShowsNothing_data()
{
    QTest::addColumn<InfoRecord>("info");
    QTest::newRow("all zero") << InfoRecord{};
    QTest::newRow("month 13") << clock(2024, 13, 1, 12, 0);
    QTest::newRow("30 February") << clock(2024, 2, 30, 12, 0);
    QTest::newRow("hour 24") << clock(2024, 5, 1, 24, 0);
    QTest::newRow("minute 60") << clock(2024, 5, 1, 10, 60);
}

void TstGeoView::invalidClockShowsNothing()
{
    QFETCH(InfoRecord, info);
    const GeoViewResult view = ComputeGeoView(place(501, 85), info);
    QVERIFY(!view.computed);
    QVERIFY(view.text.isEmpty());
    const QImage moon = MoonPhaseImage(view);
    QCOMPARE(moon.size(), QSize(60, 60));
    QCOMPARE(moon.pixel(30, 30), 0u);
}

void TstGeoView::moonDrawing_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<double>("rotation");
    // Pixels along the middle row of a disc of radius 20 around (30, 30).
    QTest::addColumn<QList<int>>("litColumns");
    QTest::addColumn<QList<int>>("darkColumns");
    QTest::newRow("half, waxing: right half") << 0.5 << 180.0 << QList<int>{33, 40, 48} << QList<int>{12, 20, 27};
    QTest::newRow("half, waning: left half") << 0.5 << 0.0 << QList<int>{12, 20, 27} << QList<int>{33, 40, 48};
    QTest::newRow("full") << 1.0 << 0.0 << QList<int>{12, 30, 48} << QList<int>{5, 55};
    QTest::newRow("full, rotated") << 1.0 << 180.0 << QList<int>{12, 30, 48} << QList<int>{5, 55};
    QTest::newRow("new") << 0.0 << 180.0 << QList<int>{} << QList<int>{12, 30, 48};
    QTest::newRow("waning gibbous: terminator right of centre")
        << 0.75 << 0.0 << QList<int>{12, 30, 37} << QList<int>{43, 48};
    QTest::newRow("waxing crescent: only the right edge")
        << 0.25 << 180.0 << QList<int>{43, 48} << QList<int>{12, 30, 37};
    QTest::newRow("fraction below 0") << -0.01 << 0.0 << QList<int>{} << QList<int>{12, 30, 48};
    QTest::newRow("fraction above 1") << 1.01 << 0.0 << QList<int>{} << QList<int>{12, 30, 48};
    QTest::newRow("fraction NaN") << Nan << 0.0 << QList<int>{} << QList<int>{12, 30, 48};
}

void TstGeoView::moonDrawing()
{
    QFETCH(double, fraction);
    QFETCH(double, rotation);
    QFETCH(QList<int>, litColumns);
    QFETCH(QList<int>, darkColumns);
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    DrawMoonPhase(image, Yellow, fraction, rotation, 20, 30, 30);
    for (int x : litColumns) {
        QCOMPARE(image.pixel(x, 30), Yellow);
        QCOMPARE(image.pixel(x, 24), Yellow);
    }
    for (int x : darkColumns)
        QCOMPARE(image.pixel(x, 30), 0u);
    // Nothing outside the disc, whatever the phase.
    QCOMPARE(image.pixel(30, 5), 0u);
    QCOMPARE(image.pixel(30, 55), 0u);
    QCOMPARE(image.pixel(10, 10), 0u);
}

void TstGeoView::moonImageSide_data()
{
    QTest::addColumn<double>("phaseAngle");
    QTest::addColumn<bool>("litOnRight");
    QTest::newRow("waxing crescent") << astro::Pi / 4 << true;
    QTest::newRow("first quarter") << astro::Pi / 2 << true;
    QTest::newRow("last quarter") << 3 * astro::Pi / 2 << false;
    QTest::newRow("waning crescent") << 7 * astro::Pi / 4 << false;
}

void TstGeoView::moonImageSide()
{
    QFETCH(double, phaseAngle);
    QFETCH(bool, litOnRight);
    GeoViewResult view;
    view.computed = view.complete = true;
    view.sky.moon.phaseAngle = phaseAngle;
    view.sky.moon.illuminatedFraction = IlluminatedFraction(phaseAngle);
    const QImage image = MoonPhaseImage(view);
    QCOMPARE(image.size(), QSize(60, 60));
    QCOMPARE(image.pixel(13, 30) == Yellow, !litOnRight);
    QCOMPARE(image.pixel(47, 30) == Yellow, litOnRight);
    QCOMPARE(image.pixel(0, 0), 0u);
}

void TstGeoView::nowClock_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("centiseconds");
    const QDate date(2026, 12, 8);
    QTest::newRow("0 ms") << QDateTime(date, QTime(1, 2, 3, 0)) << 0;
    QTest::newRow("5 ms, half to even") << QDateTime(date, QTime(1, 2, 3, 5)) << 0;
    QTest::newRow("15 ms, half to even") << QDateTime(date, QTime(1, 2, 3, 15)) << 2;
    QTest::newRow("994 ms") << QDateTime(date, QTime(1, 2, 3, 994)) << 99;
    QTest::newRow("995 ms stays a centisecond") << QDateTime(date, QTime(1, 2, 3, 995)) << 99;
    QTest::newRow("999 ms") << QDateTime(date, QTime(1, 2, 3, 999)) << 99;
}

void TstGeoView::nowClock()
{
    QFETCH(QDateTime, now);
    InfoRecord info{};
    info.Reserved12 = 0x5A;
    info.Level[0] = 1234;
    SetInfoClock(info, now);
    QCOMPARE(int(info.Year), 26);
    QCOMPARE(int(info.Month), 12);
    QCOMPARE(int(info.Day), 8);
    QCOMPARE(int(info.Reserved12), 0);
    QCOMPARE(int(info.Hour), 1);
    QCOMPARE(int(info.Minute), 2);
    QCOMPARE(int(info.Second), 3);
    QTEST(int(info.Centisecond), "centiseconds");
    QCOMPARE(int(info.Level[0]), 1234);
}

void TstGeoView::clockText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::newRow("7:5") << "7:5" << true << 7 << 5;
    QTest::newRow("23:59") << "23:59" << true << 23 << 59;
    QTest::newRow("00:00") << "00:00" << true << 0 << 0;
    QTest::newRow("blanks") << " 7 : 05 " << true << 7 << 5;
    QTest::newRow("hour 24") << "24:00" << false << 0 << 0;
    QTest::newRow("minute 60") << "12:60" << false << 0 << 0;
    QTest::newRow("negative") << "-1:30" << false << 0 << 0;
    QTest::newRow("no colon") << "1230" << false << 0 << 0;
    QTest::newRow("no minute") << "12:" << false << 0 << 0;
    QTest::newRow("no hour") << ":30" << false << 0 << 0;
    QTest::newRow("two colons") << "1:2:3" << false << 0 << 0;
    QTest::newRow("letters") << "ab:cd" << false << 0 << 0;
    QTest::newRow("huge") << "99999999999999999999:1" << false << 0 << 0;
}

void TstGeoView::clockText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<ClockTime> time = ParseClockText(text);
    QCOMPARE(time.has_value(), valid);
    if (!valid)
        return;
    QTEST(time->hour, "hour");
    QTEST(time->minute, "minute");
    QCOMPARE(ParseClockText(ClockText(time->hour, time->minute))->minute, time->minute);
    QCOMPARE(ClockText(7, 5), QStringLiteral("07:05"));
}

void TstGeoView::placeTexts_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<QString>("lat");
    QTest::addColumn<QString>("lon");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("latTenths");
    QTest::addColumn<int>("lonTenths");
    QTest::newRow("decimal point") << false << "47.5" << "8.2" << true << 475 << 82;
    QTest::newRow("decimal comma") << true << "47,5" << "-8,25" << true << 475 << -82;
    QTest::newRow("point where comma is the separator") << true << "47.5" << "8" << false << 0 << 0;
    QTest::newRow("letters") << false << "abc" << "8" << false << 0 << 0;
    QTest::newRow("empty longitude") << false << "47" << "" << false << 0 << 0;
    QTest::newRow("south west") << false << "-33.86" << "-151.21" << true << -339 << -1512;
    QTest::newRow("latitude limited") << false << "95" << "0" << true << 900 << 0;
    QTest::newRow("longitude limited") << false << "0" << "-200" << true << 0 << -1800;
    QTest::newRow("beyond 16 bits limited") << false << "5000" << "1e6" << true << 900 << 1800;
}

void TstGeoView::placeTexts()
{
    QFETCH(bool, german);
    QFETCH(QString, lat);
    QFETCH(QString, lon);
    QFETCH(bool, valid);
    if (german)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::optional<PlaceTenths> place = ParsePlaceTexts(lat, lon);
    QCOMPARE(place.has_value(), valid);
    if (!valid)
        return;
    QTEST(int(place->lat), "latTenths");
    QTEST(int(place->lon), "lonTenths");
    QCOMPARE(CoordinateText(place->lat), FormatUpTo(place->lat / 10.0, 1));
}

void TstGeoView::mousePositionText()
{
    QCOMPARE(MousePositionText(47.5, 8.2), QStringLiteral("Mouse position: Latitude: 47.5°, Longitude: 8.2°"));
    QCOMPARE(MousePositionText(-90, 180), QStringLiteral("Mouse position: Latitude: -90°, Longitude: 180°"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LoadLanguageTable(LanguageGerman);
    QCOMPARE(MousePositionText(47.5, -8.2), QStringLiteral("Mausposition: Breite: 47,5°, Länge: -8,2°"));
}

QTEST_MAIN(TstGeoView)
#include "tst_geo_view.moc"
