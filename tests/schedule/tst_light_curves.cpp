// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The light-curve chart without a window: line placement on the sun's path, the marker,
// hit testing, drag clamping, the drag label and what the drawing puts into the image.

#include <QGuiApplication>
#include <QImage>
#include <QTest>

#include <ctime>

#include "schedule/light_curves.h"

using namespace curves;

namespace {

ScheduleLine TimeLine(int hour, int minute, int level)
{
    ScheduleLine line{};
    line.Hour = uint8_t(hour);
    line.Minute = uint8_t(minute);
    for (auto &c : line.Color16)
        c = uint8_t(level);
    return line;
}

ScheduleLine GeoLine(int stored)
{
    ScheduleLine line{};
    line.Alt = int16_t(stored);
    return line;
}

std::vector<ScheduleLine> GeoSchedule(const QList<double> &degrees)
{
    std::vector<ScheduleLine> lines;
    for (double d : degrees)
        lines.push_back(GeoLine(StoredAltitude(d)));
    return lines;
}

QRgb Pixel(const QImage &image, double x, double y) { return image.pixel(int(std::lround(x)), int(std::lround(y))); }

void SetTz(const QByteArray &id)
{
    qputenv("TZ", id);
    tzset();
}

} // namespace

class TstLightCurves : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_tz = qgetenv("TZ"); }
    void cleanup() { SetTz(m_tz); }

    void geoPlacement_data();
    void geoPlacement();
    void hitTest();
    void dragClamping_data();
    void dragClamping();
    void dragLabel_data();
    void dragLabel();
    void emptyScheduleDrawsBackgroundOnly();
    void curveStartsAtLastLevel();
    void geoMarkerFromSystemZone();

private:
    QByteArray m_tz;
};

void TstLightCurves::geoPlacement_data()
{
    QTest::addColumn<QList<double>>("degrees");
    QTest::addColumn<QList<double>>("positions");
    QTest::newRow("day arc, highest on the setting side")
        << QList<double>{-10, 0, 20, 40, 20, 0, -10} << QList<double>{80, 90, 110, 230, 250, 270, 280};
    QTest::newRow("single line stays at 0") << QList<double>{30} << QList<double>{0};
    QTest::newRow("only rising") << QList<double>{0, 10, 20} << QList<double>{90, 100, 250};
    QTest::newRow("plateau at the top") << QList<double>{0, 30, 30, 0} << QList<double>{90, 240, 240, 270};
}

void TstLightCurves::geoPlacement()
{
    QFETCH(QList<double>, degrees);
    QFETCH(QList<double>, positions);
    const std::vector<ScheduleLine> lines = GeoSchedule(degrees);
    const std::vector<double> p = GeoPathPositions(lines);
    QCOMPARE(qsizetype(p.size()), positions.size());
    for (qsizetype k = 0; k < positions.size(); ++k)
        QVERIFY2(std::abs(p[std::size_t(k)] - positions[k]) < 0.01, qPrintable(QString::number(p[std::size_t(k)])));
}

void TstLightCurves::hitTest()
{
    std::vector<CurvePoint> points(3);
    for (int k = 0; k < 3; ++k) {
        points[std::size_t(k)].x = float(100 + 4 * k); // overlapping boxes: the first line wins
        points[std::size_t(k)].y.fill(200);
    }
    points[2].y[5] = 50;
    QCOMPARE(HitTest(points, 0, QPointF(104, 200)), 0);
    QCOMPARE(HitTest(points, 0, QPointF(116, 200)), 2);
    QCOMPARE(HitTest(points, 0, QPointF(116.5, 200)), -1);
    QCOMPARE(HitTest(points, 5, QPointF(108, 50)), 2);
    QCOMPARE(HitTest(points, 12, QPointF(100, 200)), -1);
}

void TstLightCurves::dragClamping_data()
{
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<bool>("moveTime");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("level");
    // 1009 × 655: plot 969 × 614. The line holds 07:30 at 33 %.
    QTest::newRow("beyond the right margin") << QPointF(1200, 327) << true << 1440 << 50;
    QTest::newRow("beyond the left margin") << QPointF(-50, 327) << true << 0 << 50;
    QTest::newRow("above the top") << QPointF(504.5, -40) << true << 720 << 100;
    QTest::newRow("below the bottom") << QPointF(504.5, 900) << true << 720 << 0;
    QTest::newRow("half a level to even") << QPointF(20, 20 + 614 * 0.125) << true << 0 << 88; // 87.5
    QTest::newRow("time kept") << QPointF(900, 20) << false << 450 << 100;
}

void TstLightCurves::dragClamping()
{
    QFETCH(QPointF, pos);
    QFETCH(bool, moveTime);
    const ChartGeometry g{1009, 655};
    ScheduleLine line = TimeLine(7, 30, 33);
    line.Alt = 5000;
    // Grabbed right at the point, so the point goes where the pointer goes.
    PointDrag drag = StartDrag(line, 3, g, QPointF(g.minutesX(450), g.levelY(33)));
    QVERIFY(ApplyDrag(line, 3, g, drag, pos, moveTime));
    QCOMPARE(int(line.Alt), 5000);
    QTEST(line.Hour * 60 + line.Minute, "minutes");
    QTEST(int(line.Color16[3]), "level");
    QCOMPARE(int(line.Color16[2]), 33);
    if (line.Hour == 24)
        QCOMPARE(int(line.Minute), 0);
}

void TstLightCurves::dragLabel_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("geo");
    QTest::addColumn<QString>("text");
    QTest::newRow("time") << 0 << false << QString("07:30 45%");
    QTest::newRow("altitude") << 5000 << true << QString("30° 45%");
    QTest::newRow("unreadable altitude") << 12000 << true << QString("0° 45%");
}

void TstLightCurves::dragLabel()
{
    QFETCH(int, stored);
    QFETCH(bool, geo);
    ScheduleLine line = TimeLine(7, 30, 45);
    line.Alt = int16_t(stored);
    QTEST(DragLabelText(line, 4, geo, QLocale(QLocale::English, QLocale::UnitedStates)), "text");
}

void TstLightCurves::emptyScheduleDrawsBackgroundOnly()
{
    QImage image(1009, 655, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    ChartInput input;
    input.markerX = TimeMarkerX(ChartGeometry{1009, 655}, 6, 30);
    std::vector<CurvePoint> points(4);
    DrawLightCurves(image, input, points);
    QVERIFY(points.empty());
    QCOMPARE(image.pixel(500, 300) & 0xFFFFFF, 0x000000u);
    QCOMPARE(image.pixel(20, 300), 0xFF101010u);          // first vertical grid line
    QCOMPARE(image.pixel(300, 634), 0xFF101010u);         // the 0 % line
    const double marker = 20 + 390 * 969 / 1440.0;
    QCOMPARE(Pixel(image, marker, 300), 0xFFC0C0C0u);
    QCOMPARE(Pixel(image, marker, 0), 0xFFC0C0C0u);
    // Nothing but greys: no curve anywhere.
    for (int y = 0; y < 655; y += 7)
        for (int x = 0; x < 1009; x += 7)
            QVERIFY(qRed(image.pixel(x, y)) == qBlue(image.pixel(x, y)));
}

void TstLightCurves::curveStartsAtLastLevel()
{
    const ChartGeometry g{1009, 655};
    QImage image(g.width, g.height, QImage::Format_ARGB32_Premultiplied);
    const std::vector<ScheduleLine> lines = {TimeLine(8, 0, 80), TimeLine(22, 0, 10)};
    ChartInput input;
    input.lines = lines;
    input.colourIndex.fill(2); // red
    std::vector<CurvePoint> points;
    DrawLightCurves(image, input, points);
    QCOMPARE(points.size(), std::size_t(2));
    QCOMPARE(points[1].x, float(g.minutesX(22 * 60)));
    QCOMPARE(points[1].y[0], float(g.levelY(10)));
    // At the left margin the red outline starts at 10 %, not at the first line's 80 %.
    const int y10 = int(std::lround(g.levelY(10)));
    bool redAtStart = false;
    for (int dy = -1; dy <= 1; ++dy)
        redAtStart = redAtStart || (qRed(image.pixel(21, y10 + dy)) > 150 && qGreen(image.pixel(21, y10 + dy)) < 100);
    QVERIFY(redAtStart);
    const QRgb at80 = image.pixel(21, int(std::lround(g.levelY(80))));
    QVERIFY(qRed(at80) - qGreen(at80) < 50);
    // The edited channel's handle: a 10 × 10 square in its curve colour.
    QCOMPARE(Pixel(image, points[0].x - 4, points[0].y[0] - 4), 0xFFFF0000u);
}

void TstLightCurves::geoMarkerFromSystemZone()
{
    const ChartGeometry g{1009, 655};
    InfoRecord info{};
    info.Year = 25;
    info.Month = 1;
    info.Day = 15;
    info.Hour = 14;
    info.Minute = 10;
    ConfigRecord config{};
    config.Lat = 190;
    config.Lon = 728;
    SetTz("Asia/Kolkata");
    const std::optional<double> kolkata = GeoMarkerX(g, info, config);
    SetTz("Etc/GMT-5"); // POSIX sign: UTC+5
    const std::optional<double> plusFive = GeoMarkerX(g, info, config);
    SetTz("Etc/GMT-6");
    const std::optional<double> plusSix = GeoMarkerX(g, info, config);
    QVERIFY(kolkata && plusFive && plusSix);
    QCOMPARE(*kolkata, *plusFive);
    QVERIFY(*plusSix != *plusFive);
    // Afternoon: past the meridian, on the setting half.
    QVERIFY(*kolkata > g.pathX(180));
    info.Day = 30;
    info.Month = 2;
    QVERIFY(!GeoMarkerX(g, info, config)); // no such date: no marker
}

QTEST_MAIN(TstLightCurves)
#include "tst_light_curves.moc"
