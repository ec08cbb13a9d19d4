// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
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

// The 1000 x 500 map is the reference; a map drawn at another size W x H (in device pixels)
// scales the same projection, so a place keeps its spot relative to the map.
inline constexpr QSize ReferenceMapSize(geomap::Width, geomap::Height);

// Map pixel of a place: x = round((lon + 180) * W / 360), y = round((90 - lat) * H / 180),
// halves to even. Not limited: places off the map give pixels off the map.
QPoint MapPixelForPlace(double latitude, double longitude, QSize map = ReferenceMapSize);
// Place of a map pixel; the pixel is first limited to 0..W and 0..H. Pixel (x, y) stands for
// the place at its centre.
GeoPlace PlaceForMapPixel(int x, int y, QSize map = ReferenceMapSize);

// The map's size in an area of that many device pixels: the whole area while its width is
// between MinMapAspect and MaxMapAspect times its height (the map then fills the page, its
// east-west scale at most 1.3 times the true 2:1 one), else the largest map of the nearest
// of those shapes; at least 2 x 1.
inline constexpr double MinMapAspect = 1.5;
inline constexpr double MaxMapAspect = 2.6;
QSize MapSizeWithin(QSize area);

// The land polygons drawn over the sea, antialiased, with a faint graticule every 30 degrees,
// size in device pixels; the image carries the device pixel ratio, which also widens the
// coast and grid lines. Polygons that cross the 180th meridian or enclose a pole are drawn
// whole.
QImage RenderWorldMap(const QList<GeoPolygon> &land, QSize size = ReferenceMapSize, qreal ratio = 1);

// The map from the built-in land data at the reference size, drawn once per process. When the
// data cannot be read the map shows the sea and the graticule only.
const QImage &BuiltInWorldMap();
// The same at another size and ratio; the land data is decoded once per process and the last
// drawing is kept, so asking again for the same size draws nothing.
QImage BuiltInWorldMap(QSize size, qreal ratio);

// The cross-hair across the whole map at the place's pixel and a red square centred on it (at
// ratio 1 the lines are one pixel wide and the square 5 x 5, wider at higher ratios so that
// they look the same); everything off the image is clipped.
void DrawPlaceMarker(QImage &map, double latitude, double longitude);
