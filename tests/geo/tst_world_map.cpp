// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include <cmath>
#include <tuple>

#include "geo/world_map.h"

using Rings = QList<QList<QPointF>>;

class TstWorldMap : public QObject {
    Q_OBJECT
private slots:
    void decodeTopology_data();
    void decodeTopology();
    void malformedTopology_data();
    void malformedTopology();
    void projection_data();
    void projection();
    void builtInMap_data();
    void builtInMap();
    void ringsAcrossTheDateLineAndAroundAPole();
    void marker_data();
    void marker();
    void scaledProjection_data();
    void scaledProjection();
    void scaledMap_data();
    void scaledMap();
};

void TstWorldMap::decodeTopology_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QList<Rings>>("expected");
    // A square from two arcs, the second used reversed (-2 is arc 1 backwards).
    QTest::newRow("plain arcs, one reversed")
        << QByteArray(R"({"type":"Topology","objects":{"land":{"type":"Polygon","arcs":[[0,-2]]}},
                       "arcs":[[[0,0],[10,0],[10,10]],[[0,0],[0,10],[10,10]]]})")
        << QList<Rings>{{{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}}};
    // The same square quantized: scale 2, translate (-10, 5), positions after the first are deltas.
    QTest::newRow("quantized")
        << QByteArray(R"({"type":"Topology","transform":{"scale":[2,2],"translate":[-10,5]},
                       "objects":{"land":{"type":"Polygon","arcs":[[0,-2]]}},
                       "arcs":[[[0,0],[5,0],[0,5]],[[0,0],[0,5],[5,0]]]})")
        << QList<Rings>{{{{-10, 5}, {0, 5}, {0, 15}, {-10, 15}, {-10, 5}}}};
    // Nested collection, a hole, a line that is skipped, a ring without area left out, and
    // only the named object.
    QTest::newRow("multipolygon with hole in nested collection")
        << QByteArray(R"({"type":"Topology","objects":{
                         "land":{"type":"GeometryCollection","geometries":[{"type":"LineString","arcs":[2]},
                           {"type":"GeometryCollection","geometries":[
                             {"type":"MultiPolygon","arcs":[[[0],[1]],[[-2]],[[3]]]}]}]},
                         "other":{"type":"Polygon","arcs":[[0]]}},
                       "arcs":[[[0,0],[9,0],[9,9],[0,9],[0,0]],[[3,3],[3,6],[6,6],[3,3]],
                               [[0,0],[1,1]],[[0,0],[1,1],[0,0]]]})")
        << QList<Rings>{{{{0, 0}, {9, 0}, {9, 9}, {0, 9}, {0, 0}}, {{3, 3}, {3, 6}, {6, 6}, {3, 3}}},
                        {{{3, 3}, {6, 6}, {3, 6}, {3, 3}}}};
}

void TstWorldMap::decodeTopology()
{
    QFETCH(QByteArray, json);
    QFETCH(QList<Rings>, expected);
    const TopoJsonResult result = DecodeTopoJson(json, QStringLiteral("land"));
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.polygons.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(result.polygons[i].rings, expected[i]);
}

void TstWorldMap::malformedTopology_data()
{
    QTest::addColumn<QByteArray>("json");
    auto topo = [](const QByteArray &land, const QByteArray &extra = {}) {
        return R"({"type":"Topology",)" + extra + R"("objects":{"land":)" + land +
               R"(},"arcs":[[[0,0],[1,0],[1,1],[0,0]]]})";
    };
    QTest::newRow("not JSON") << QByteArray("{\"type\":");
    QTest::newRow("no arcs") << QByteArray(R"({"type":"Topology","objects":{"land":{}}})");
    QTest::newRow("arc index too high") << topo(R"({"type":"Polygon","arcs":[[1]]})");
    QTest::newRow("reversed index too low") << topo(R"({"type":"Polygon","arcs":[[-2]]})");
    QTest::newRow("fractional index") << topo(R"({"type":"Polygon","arcs":[[0.5]]})");
    QTest::newRow("bad transform") << topo(R"({"type":"Polygon","arcs":[[0]]})", R"("transform":{"scale":[1]},)");
    QTest::newRow("position with one number") << QByteArray(R"({"type":"Topology","objects":{},"arcs":[[[0,0],[1]]]})");
    QTest::newRow("object missing") << QByteArray(R"({"type":"Topology","objects":{},"arcs":[]})");
    QByteArray nested = R"({"type":"Polygon","arcs":[[0]]})";
    for (int i = 0; i < 40; ++i)
        nested = R"({"type":"GeometryCollection","geometries":[)" + nested + "]}";
    QTest::newRow("collections nested too deeply") << topo(nested);
}

void TstWorldMap::malformedTopology()
{
    QFETCH(QByteArray, json);
    const TopoJsonResult result = DecodeTopoJson(json, QStringLiteral("land"));
    QVERIFY(!result.ok());
    QVERIFY(result.polygons.isEmpty());
}

void TstWorldMap::projection_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<bool>("roundTrip");
    QTest::newRow("top left") << QPoint(0, 0) << 90.0 << -180.0 << true;
    QTest::newRow("bottom right") << QPoint(1000, 500) << -90.0 << 180.0 << true;
    QTest::newRow("centre") << QPoint(500, 250) << 0.0 << 0.0 << true;
    QTest::newRow("south west") << QPoint(304, 344) << -33.84 << -70.56 << true;
    QTest::newRow("beyond top left is clamped") << QPoint(-40, -3) << 90.0 << -180.0 << false;
    QTest::newRow("beyond bottom right is clamped") << QPoint(1400, 800) << -90.0 << 180.0 << false;
}

void TstWorldMap::projection()
{
    QFETCH(QPoint, pixel);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    const GeoPlace place = PlaceForMapPixel(pixel.x(), pixel.y());
    QCOMPARE(place.latitude, latitude);
    QCOMPARE(place.longitude, longitude);
    QFETCH(bool, roundTrip);
    if (roundTrip)
        QCOMPARE(MapPixelForPlace(latitude, longitude), pixel);
}

void TstWorldMap::builtInMap_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<bool>("land");
    QTest::newRow("central Europe") << 50.0 << 10.0 << true;
    QTest::newRow("Pacific") << 5.0 << -160.0 << false;
    QTest::newRow("Australia") << -25.0 << 134.0 << true;
    QTest::newRow("Antarctica near the pole") << -87.0 << 40.0 << true;
    QTest::newRow("Siberia west of the date line") << 67.0 << 175.0 << true;
    QTest::newRow("Siberia east of the date line") << 66.5 << -178.0 << true;
    QTest::newRow("Caspian Sea (a hole)") << 42.0 << 50.5 << false;
    QTest::newRow("Arctic Ocean") << 87.0 << 10.0 << false;
}

void TstWorldMap::builtInMap()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(bool, land);
    const QImage &map = BuiltInWorldMap();
    QCOMPARE(map.size(), QSize(geomap::Width, geomap::Height));
    if (const QString dir = qEnvironmentVariable("AQ_PICTURE_DIR"); !dir.isEmpty())
        map.save(dir + QStringLiteral("/world_map.png"));
    QCOMPARE(map.pixel(MapPixelForPlace(latitude, longitude)), land ? geomap::LandColour : geomap::SeaColour);
}

void TstWorldMap::ringsAcrossTheDateLineAndAroundAPole()
{
    // An island from 170 E to 170 W, written as quantized data has it (-180 standing for
    // +180), and a cap around the south pole up to 60 S.
    const QByteArray json = R"({"type":"Topology","objects":{"land":{"type":"MultiPolygon","arcs":[[[0]],[[1]]]}},
        "arcs":[[[170,10],[-180,10],[-170,10],[-170,20],[180,20],[170,20],[170,10]],
                [[-180,-60],[-90,-60],[0,-60],[90,-60],[179,-60],[-180,-60]]]})";
    const TopoJsonResult topology = DecodeTopoJson(json);
    QVERIFY2(topology.ok(), qPrintable(topology.error));
    const QImage map = RenderWorldMap(topology.polygons);
    auto at = [&](double lat, double lon) { return map.pixel(MapPixelForPlace(lat, lon)); };
    QCOMPARE(at(15, 175), geomap::LandColour);
    QCOMPARE(at(15, -175), geomap::LandColour);
    QCOMPARE(at(15, 10), geomap::SeaColour);
    for (double longitude : {-179.0, -100.0, 5.0, 100.0, 179.0}) {
        QCOMPARE(at(-75, longitude), geomap::LandColour);
        QCOMPARE(at(-50, longitude), geomap::SeaColour);
    }
}

void TstWorldMap::marker_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::newRow("start-up place") << 50.1 << 8.5;
    QTest::newRow("top left corner") << 90.0 << -180.0;
    QTest::newRow("bottom right corner") << -90.0 << 180.0;
    QTest::newRow("far off the map") << 3276.7 << -3276.8;
}

void TstWorldMap::marker()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    const QImage &plain = BuiltInWorldMap();
    QImage map = plain;
    DrawPlaceMarker(map, latitude, longitude);
    const QPoint at = MapPixelForPlace(latitude, longitude);
    const QRect square(at.x() - 2, at.y() - 2, 5, 5);
    // White at alpha 64 over the map, as premultiplied source-over gives it.
    auto line = [](QRgb under) {
        auto mix = [](int d) { return (255 * 64 + d * 191 + 127) / 255; };
        return qRgb(mix(qRed(under)), mix(qGreen(under)), mix(qBlue(under)));
    };
    auto near = [](QRgb a, QRgb b) {
        return qAbs(qRed(a) - qRed(b)) <= 2 && qAbs(qGreen(a) - qGreen(b)) <= 2 && qAbs(qBlue(a) - qBlue(b)) <= 2;
    };
    for (int y = 0; y < map.height(); ++y) {
        for (int x = 0; x < map.width(); ++x) {
            const QRgb got = map.pixel(x, y), under = plain.pixel(x, y);
            if (square.contains(x, y))
                QCOMPARE(got, geomap::MarkerColour);
            else if (x == at.x() || y == at.y())
                QVERIFY2(near(got, line(under)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            else if (got != under)
                QFAIL(qPrintable(QStringLiteral("changed at %1,%2").arg(x).arg(y)));
        }
    }
}

void TstWorldMap::scaledProjection_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QSize>("map");
    // The map fills the area unless that would stretch it too far from its 2:1 shape.
    QTest::newRow("reference") << QSize(1000, 500) << QSize(1000, 500);
    QTest::newRow("design page") << QSize(993, 427) << QSize(993, 427);
    QTest::newRow("2x page, odd sizes") << QSize(3807, 1701) << QSize(3807, 1701);
    QTest::newRow("very wide") << QSize(1900, 500) << QSize(1300, 500);
    QTest::newRow("tall") << QSize(600, 900) << QSize(600, 400);
    QTest::newRow("tiny") << QSize(1, 0) << QSize(2, 1);
}

void TstWorldMap::scaledProjection()
{
    QFETCH(QSize, area);
    QFETCH(QSize, map);
    QCOMPARE(MapSizeWithin(area), map);
    // Corners and centre keep their places; every pixel of the scaled map picks a place
    // within one pixel of the reference map's pixel at the same spot.
    QCOMPARE(PlaceForMapPixel(0, 0, map).latitude, 90.0);
    QCOMPARE(PlaceForMapPixel(map.width(), map.height(), map).longitude, 180.0);
    const QPoint centre = MapPixelForPlace(0, 0, map);
    QVERIFY(std::abs(centre.x() - map.width() / 2.0) <= 0.5 && std::abs(centre.y() - map.height() / 2.0) <= 0.5);
    for (int x = 0; x < map.width(); x += 7) {
        const int reference = int(std::floor((x + 0.5) * geomap::Width / map.width()));
        const double step = 360.0 / std::min(map.width(), geomap::Width);
        QVERIFY(std::abs(PlaceForMapPixel(x, 0, map).longitude - PlaceForMapPixel(reference, 0).longitude) <= step);
        QCOMPARE(MapPixelForPlace(0, PlaceForMapPixel(x, 0, map).longitude, map).x(), x);
    }
    for (int y = 0; y < map.height(); y += 5) {
        const int reference = int(std::floor((y + 0.5) * geomap::Height / map.height()));
        const double step = 180.0 / std::min(map.height(), geomap::Height);
        QVERIFY(std::abs(PlaceForMapPixel(0, y, map).latitude - PlaceForMapPixel(0, reference).latitude) <= step);
        QCOMPARE(MapPixelForPlace(PlaceForMapPixel(0, y, map).latitude, 0, map).y(), y);
    }
}

void TstWorldMap::scaledMap_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("ratio");
    QTest::newRow("1x page") << QSize(1904, 851) << 1.0;
    QTest::newRow("2x design") << QSize(1986, 854) << 2.0;
}

void TstWorldMap::scaledMap()
{
    // The map drawn from the land data at another size: land and sea where they belong, and
    // a marker that looks as on the reference map (its square five screen pixels wide).
    QFETCH(QSize, size);
    QFETCH(double, ratio);
    const QImage plain = BuiltInWorldMap(size, ratio);
    QCOMPARE(plain.size(), size);
    QCOMPARE(plain.devicePixelRatio(), ratio);
    QCOMPARE(BuiltInWorldMap(size, ratio).cacheKey(), plain.cacheKey());   // kept, not drawn again
    for (const auto &[lat, lon, land] : {std::tuple{50.0, 10.0, true}, {5.0, -160.0, false}, {-25.0, 134.0, true},
                                         {42.0, 50.5, false}, {66.5, -178.0, true}})
        QCOMPARE(plain.pixel(MapPixelForPlace(lat, lon, size)), land ? geomap::LandColour : geomap::SeaColour);

    QImage map = plain;
    DrawPlaceMarker(map, 50.1, 8.5);
    const QPoint at = MapPixelForPlace(50.1, 8.5, size);
    const int half = int(std::floor(5 * ratio / 2));   // odd width: 5 at 1x, 11 at 2x
    for (int d = -half; d <= half; ++d) {
        QCOMPARE(map.pixel(at + QPoint(d, -half)), geomap::MarkerColour);
        QCOMPARE(map.pixel(at + QPoint(half, d)), geomap::MarkerColour);
    }
    QVERIFY(map.pixel(at + QPoint(half + 1, half + 1)) != geomap::MarkerColour);
    QVERIFY(map.pixel(at + QPoint(-half - 1, 0)) != plain.pixel(at + QPoint(-half - 1, 0)));   // the line
    QCOMPARE(map.pixel(at + QPoint(-half - 1, -half - 1)), plain.pixel(at + QPoint(-half - 1, -half - 1)));
}

QTEST_MAIN(TstWorldMap)
#include "tst_world_map.moc"
