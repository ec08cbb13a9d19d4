#pragma once
// The world map of the geo page: land polygons decoded from a TopoJSON topology, drawn in
// equirectangular projection (longitude -180..180 left to right, latitude 90..-90 top to
// bottom), the conversion between map pixels and degrees, and the place marker.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>

namespace geomap {
inline constexpr int Width = 1000;
inline constexpr int Height = 500;

inline constexpr QRgb SeaColour = 0xFF2F6FA8;
inline constexpr QRgb LandColour = 0xFF86AE62;
inline constexpr QRgb CoastColour = 0xFF5E8544;
// The cross-hair lines are white at alpha 64, blended over the map; the square is opaque.
inline constexpr QRgb MarkerLineColour = 0x40FFFFFF;
inline constexpr QRgb MarkerColour = 0xFFFF0000;

// Resource path of the built-in land topology.
inline constexpr const char *LandResource = ":/map/land-50m.json";
}  // namespace geomap

// One polygon: the outer ring first, then its holes. Points are (longitude, latitude) in
// degrees; every ring is closed (its last point repeats the first).
struct GeoPolygon {
    QList<QList<QPointF>> rings;
};

struct TopoJsonResult {
    QList<GeoPolygon> polygons;
    QString error;  // empty on success
    bool ok() const { return error.isEmpty(); }
};

// Decodes the polygons and multipolygons of a TopoJSON topology: of the object objectName, or
// of every object when it is empty. Geometry collections are searched (nested ones too);
// points and lines are skipped. A quantized topology (with "transform") has delta-encoded
// arcs. A negative arc index ~i stands for arc i reversed. Malformed input of any kind gives
// an error text and no polygons.
TopoJsonResult DecodeTopoJson(const QByteArray &json, const QString &objectName = QString());

// A place in degrees.
struct GeoPlace {
    double latitude = 0;
    double longitude = 0;
};

// Map pixel of a place: x = round((lon + 180) * 1000 / 360), y = round((90 - lat) * 500 / 180),
// halves to even. Not limited: places off the map give pixels off the map.
QPoint MapPixelForPlace(double latitude, double longitude);
// Place of a map pixel; the pixel is first limited to 0..1000 and 0..500.
GeoPlace PlaceForMapPixel(int x, int y);

// The land polygons drawn over the sea, antialiased, with a faint graticule every 30 degrees.
// Polygons that cross the 180th meridian or enclose a pole are drawn whole.
QImage RenderWorldMap(const QList<GeoPolygon> &land, QSize size = QSize(geomap::Width, geomap::Height));

// The map from the built-in land data, drawn once per process. When the data cannot be read
// the map shows the sea and the graticule only.
const QImage &BuiltInWorldMap();

// The cross-hair across the whole map at the place's pixel and a 5 x 5 red square centred on
// it; everything off the image is clipped.
void DrawPlaceMarker(QImage &map, double latitude, double longitude);
