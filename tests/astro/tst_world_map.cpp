#include <QTest>

#include <cmath>

#include "astro/world_map.h"

namespace {

QList<QPointF> points(std::initializer_list<QPointF> list) { return QList<QPointF>(list); }

// Premultiplied source-over of the marker line colour onto an opaque pixel.
QRgb blendedLine(QRgb under)
{
    const int a = qAlpha(geomap::MarkerLineColour);
    auto mix = [a](int d) { return (255 * a + d * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(under)), mix(qGreen(under)), mix(qBlue(under)));
}

bool near(QRgb a, QRgb b, int tolerance = 2)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && qAlpha(a) == qAlpha(b);
}

QRgb pixelAt(const QImage &map, double latitude, double longitude)
{
    const QPoint p = MapPixelForPlace(latitude, longitude);
    return map.pixel(p);
}

}  // namespace

class TstWorldMap : public QObject {
    Q_OBJECT
private slots:
    void decodeTopology_data();
    void decodeTopology();
    void malformedTopology_data();
    void malformedTopology();
    void pixelToPlace_data();
    void pixelToPlace();
    void placeToPixel_data();
    void placeToPixel();
    void builtInMap_data();
    void builtInMap();
    void ringsAcrossTheDateLineAndAroundAPole();
    void marker_data();
    void marker();
};

void TstWorldMap::decodeTopology_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QList<QList<QList<QPointF>>>>("expected");   // polygons of rings

    // Two arcs make one square: arc 0 from (0,0) over (10,0) to (10,10); arc 1 from (0,0) over
    // (0,10) to (10,10), used reversed (~1 = -2).
    QTest::newRow("plain arcs, one reversed")
        << QByteArray(R"({"type":"Topology","objects":{"land":{"type":"Polygon","arcs":[[0,-2]]}},
                       "arcs":[[[0,0],[10,0],[10,10]],[[0,0],[0,10],[10,10]]]})")
        << QString() << QList<QList<QList<QPointF>>>{{points({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})}};

    // The same square quantized: scale 2, translate (-10, 5); positions are deltas.
    QTest::newRow("quantized, delta-encoded")
        << QByteArray(R"({"type":"Topology","transform":{"scale":[2,2],"translate":[-10,5]},
                       "objects":{"land":{"type":"Polygon","arcs":[[0,-2]]}},
                       "arcs":[[[0,0],[5,0],[0,5]],[[0,0],[0,5],[5,0]]]})")
        << QString() << QList<QList<QList<QPointF>>>{{points({{-10, 5}, {0, 5}, {0, 15}, {-10, 15}, {-10, 5}})}};

    QTest::newRow("multipolygon with a hole, collection, lines skipped")
        << QByteArray(R"({"type":"Topology","objects":{
                         "land":{"type":"GeometryCollection","geometries":[
                           {"type":"LineString","arcs":[2]},
                           {"type":"GeometryCollection","geometries":[
                             {"type":"MultiPolygon","arcs":[[[0],[1]],[[-2]]]}]}]},
                         "other":{"type":"Polygon","arcs":[[1]]}},
                       "arcs":[[[0,0],[9,0],[9,9],[0,9],[0,0]],
                               [[3,3],[3,6],[6,6],[3,3]],
                               [[0,0],[1,1]]]})")
        << QStringLiteral("land")
        << QList<QList<QList<QPointF>>>{
               {points({{0, 0}, {9, 0}, {9, 9}, {0, 9}, {0, 0}}), points({{3, 3}, {3, 6}, {6, 6}, {3, 3}})},
               {points({{3, 3}, {6, 6}, {3, 6}, {3, 3}})}};

    QTest::newRow("every object when none is named")
        << QByteArray(R"({"type":"Topology","objects":{
                         "a":{"type":"Polygon","arcs":[[0]]},"b":{"type":"Point","coordinates":[1,1]}},
                       "arcs":[[[0,0],[1,0],[1,1],[0,0]]]})")
        << QString() << QList<QList<QList<QPointF>>>{{points({{0, 0}, {1, 0}, {1, 1}, {0, 0}})}};

    QTest::newRow("a ring without area is left out")
        << QByteArray(R"({"type":"Topology","objects":{"land":{"type":"MultiPolygon","arcs":[[[0]],[[1]]]}},
                       "arcs":[[[0,0],[1,1],[0,0]],[[0,0],[1,0],[1,1],[0,0]]]})")
        << QString() << QList<QList<QList<QPointF>>>{{points({{0, 0}, {1, 0}, {1, 1}, {0, 0}})}};
}

void TstWorldMap::decodeTopology()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, object);
    QFETCH(QList<QList<QList<QPointF>>>, expected);
    const TopoJsonResult result = DecodeTopoJson(json, object);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.polygons.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(result.polygons[i].rings, expected[i]);
}

void TstWorldMap::malformedTopology_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("object");
    const QByteArray arcs = R"("arcs":[[[0,0],[1,0],[1,1],[0,0]]])";
    auto topo = [&](const QByteArray &land, const QByteArray &extra = QByteArray()) {
        return QByteArray(R"({"type":"Topology",)") + extra + R"("objects":{"land":)" + land + "}," + arcs + "}";
    };
    QTest::newRow("not JSON") << QByteArray("{\"type\":") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("JSON array") << QByteArray("[1,2]") << QString();
    QTest::newRow("not a topology") << QByteArray(R"({"type":"FeatureCollection","features":[]})") << QString();
    QTest::newRow("no arcs") << QByteArray(R"({"type":"Topology","objects":{}})") << QString();
    QTest::newRow("no objects") << (QByteArray(R"({"type":"Topology",)") + arcs + "}") << QString();
    QTest::newRow("arc index too high") << topo(R"({"type":"Polygon","arcs":[[1]]})") << QString();
    QTest::newRow("reversed index too low") << topo(R"({"type":"Polygon","arcs":[[-2]]})") << QString();
    QTest::newRow("fractional index") << topo(R"({"type":"Polygon","arcs":[[0.5]]})") << QString();
    QTest::newRow("index as text") << topo(R"({"type":"Polygon","arcs":[["0"]]})") << QString();
    QTest::newRow("ring not an array") << topo(R"({"type":"Polygon","arcs":[0]})") << QString();
    QTest::newRow("multipolygon without arcs") << topo(R"({"type":"MultiPolygon"})") << QString();
    QTest::newRow("geometry not an object") << topo(R"([0])") << QString();
    QTest::newRow("bad transform")
        << topo(R"({"type":"Polygon","arcs":[[0]]})", R"("transform":{"scale":[1]},)") << QString();
    QTest::newRow("position with one number")
        << QByteArray(R"({"type":"Topology","objects":{},"arcs":[[[0,0],[1]]]})") << QString();
    QTest::newRow("named object missing") << topo(R"({"type":"Polygon","arcs":[[0]]})") << QStringLiteral("sea");
    QByteArray nested = R"({"type":"Polygon","arcs":[[0]]})";
    for (int i = 0; i < 40; ++i)
        nested = R"({"type":"GeometryCollection","geometries":[)" + nested + "]}";
    QTest::newRow("collections nested too deeply") << topo(nested) << QString();
}

void TstWorldMap::malformedTopology()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, object);
    const TopoJsonResult result = DecodeTopoJson(json, object);
    QVERIFY(!result.ok());
    QVERIFY(result.polygons.isEmpty());
}

void TstWorldMap::pixelToPlace_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::newRow("top left") << QPoint(0, 0) << 90.0 << -180.0;
    QTest::newRow("bottom right") << QPoint(1000, 500) << -90.0 << 180.0;
    QTest::newRow("centre") << QPoint(500, 250) << 0.0 << 0.0;
    QTest::newRow("last pixel") << QPoint(999, 499) << -89.64 << 179.64;
    QTest::newRow("beyond top left") << QPoint(-40, -3) << 90.0 << -180.0;
    QTest::newRow("beyond bottom right") << QPoint(1400, 800) << -90.0 << 180.0;
}

void TstWorldMap::pixelToPlace()
{
    QFETCH(QPoint, pixel);
    const GeoPlace place = PlaceForMapPixel(pixel.x(), pixel.y());
    QTEST(place.latitude, "latitude");
    QTEST(place.longitude, "longitude");
}

void TstWorldMap::placeToPixel_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QPoint>("pixel");
    QTest::newRow("corner") << 90.0 << -180.0 << QPoint(0, 0);
    QTest::newRow("far corner") << -90.0 << 180.0 << QPoint(1000, 500);
    QTest::newRow("start-up place") << 50.1 << 8.5 << QPoint(524, 111);
    QTest::newRow("south west") << -33.9 << -70.6 << QPoint(304, 344);
}

void TstWorldMap::placeToPixel()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QTEST(MapPixelForPlace(latitude, longitude), "pixel");
}

void TstWorldMap::builtInMap_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<bool>("land");
    QTest::newRow("central Europe") << 50.0 << 10.0 << true;
    QTest::newRow("Pacific") << 5.0 << -160.0 << false;
    QTest::newRow("Atlantic") << 10.0 << -35.0 << false;
    QTest::newRow("Sahara") << 23.0 << 12.0 << true;
    QTest::newRow("Australia") << -25.0 << 134.0 << true;
    QTest::newRow("South America") << -10.0 << -55.0 << true;
    QTest::newRow("Greenland") << 72.0 << -40.0 << true;
    QTest::newRow("Antarctica near the pole") << -87.0 << 40.0 << true;
    QTest::newRow("Antarctica at the date line") << -86.0 << 179.0 << true;
    QTest::newRow("Siberia west of the date line") << 67.0 << 175.0 << true;
    QTest::newRow("Siberia east of the date line") << 66.5 << -178.0 << true;
    QTest::newRow("Bering Sea") << 58.0 << -178.0 << false;
    QTest::newRow("Caspian Sea") << 42.0 << 50.5 << false;
    QTest::newRow("Indian Ocean") << -20.0 << 75.0 << false;
    QTest::newRow("Arctic Ocean") << 87.0 << 10.0 << false;
}

void TstWorldMap::builtInMap()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(bool, land);
    const QImage &map = BuiltInWorldMap();
    QCOMPARE(map.size(), QSize(geomap::Width, geomap::Height));
    if (const QString dir = qEnvironmentVariable("AQ_PICTURE_DIR"); !dir.isEmpty() && qstrcmp(QTest::currentDataTag(), "Sahara") == 0)
        map.save(dir + QStringLiteral("/world_map.png"));
    QCOMPARE(pixelAt(map, latitude, longitude), land ? geomap::LandColour : geomap::SeaColour);
}

void TstWorldMap::ringsAcrossTheDateLineAndAroundAPole()
{
    // An island from 170 E to 170 W, written the way quantized data has it (a point at -180
    // standing for +180), and a cap around the south pole up to 60 S.
    const QByteArray json = R"({"type":"Topology","objects":{"land":{"type":"MultiPolygon","arcs":[[[0]],[[1]]]}},
        "arcs":[[[170,10],[-180,10],[-170,10],[-170,20],[180,20],[170,20],[170,10]],
                [[-180,-60],[-90,-60],[0,-60],[90,-60],[179,-60],[-180,-60]]]})";
    const TopoJsonResult topology = DecodeTopoJson(json);
    QVERIFY2(topology.ok(), qPrintable(topology.error));
    const QImage map = RenderWorldMap(topology.polygons);
    const QRgb land = geomap::LandColour, sea = geomap::SeaColour;
    QCOMPARE(pixelAt(map, 15, 175), land);
    QCOMPARE(pixelAt(map, 15, -175), land);
    QCOMPARE(pixelAt(map, 15, 10), sea);
    QCOMPARE(pixelAt(map, 25, 175), sea);
    for (double longitude : {-179.0, -100.0, 5.0, 100.0, 179.0}) {
        QCOMPARE(pixelAt(map, -75, longitude), land);
        QCOMPARE(pixelAt(map, -50, longitude), sea);
    }
    QCOMPARE(map.pixel(510, geomap::Height - 1), land);
}

void TstWorldMap::marker_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::newRow("start-up place") << 50.1 << 8.5;
    QTest::newRow("top left corner") << 90.0 << -180.0;
    QTest::newRow("bottom right corner") << -90.0 << 180.0;
    QTest::newRow("centre") << 0.0 << 0.0;
    QTest::newRow("far off the map") << 3276.7 << -3276.8;
}

void TstWorldMap::marker()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    const QImage &plain = BuiltInWorldMap();
    QImage map = plain;
    DrawPlaceMarker(map, latitude, longitude);
    QCOMPARE(map.size(), plain.size());
    const QPoint at = MapPixelForPlace(latitude, longitude);
    const QRect square(at.x() - 2, at.y() - 2, 5, 5);
    for (int y = 0; y < map.height(); y += 1) {
        for (int x = 0; x < map.width(); x += (y == at.y() ? 1 : 37)) {
            const QRgb got = map.pixel(x, y);
            const QRgb under = plain.pixel(x, y);
            if (square.contains(x, y))
                QCOMPARE(got, geomap::MarkerColour);
            else if (x == at.x() || y == at.y())
                QVERIFY2(near(got, blendedLine(under)), qPrintable(QStringLiteral("line at %1,%2").arg(x).arg(y)));
            else
                QCOMPARE(got, under);
        }
    }
    if (at.y() >= 0 && at.y() < map.height()) {
        for (int y = 0; y < map.height(); ++y) {
            if (at.x() >= 0 && at.x() < map.width() && !square.contains(at.x(), y))
                QVERIFY(near(map.pixel(at.x(), y), blendedLine(plain.pixel(at.x(), y))));
        }
    }
}

QTEST_MAIN(TstWorldMap)
#include "tst_world_map.moc"
