// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/world_map.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "presentation/number_format.h"

// The resource lives in a static library: its registration has to be pulled in by name.
static void InitMapResource() { Q_INIT_RESOURCE(map); }

namespace {

using Arc = QList<QPointF>;

// Nested geometry collections deeper than this are refused rather than followed.
constexpr int MaxCollectionDepth = 32;

struct Transform {
    bool quantized = false;
    double scaleX = 1, scaleY = 1, translateX = 0, translateY = 0;
};

bool readPair(const QJsonValue &value, double &a, double &b)
{
    const QJsonArray pair = value.toArray();
    if (!value.isArray() || pair.size() < 2 || !pair[0].isDouble() || !pair[1].isDouble())
        return false;
    a = pair[0].toDouble();
    b = pair[1].toDouble();
    return std::isfinite(a) && std::isfinite(b);
}

class Decoder {
public:
    QString error;
    QList<GeoPolygon> polygons;

    bool readTransform(const QJsonObject &topology)
    {
        if (!topology.contains(QLatin1String("transform")))
            return true;
        const QJsonObject t = topology.value(QLatin1String("transform")).toObject();
        if (!readPair(t.value(QLatin1String("scale")), m_transform.scaleX, m_transform.scaleY) ||
            !readPair(t.value(QLatin1String("translate")), m_transform.translateX, m_transform.translateY))
            return fail(QStringLiteral("invalid transform"));
        m_transform.quantized = true;
        return true;
    }

    bool readArcs(const QJsonValue &value)
    {
        if (!value.isArray())
            return fail(QStringLiteral("no arcs"));
        const QJsonArray arcs = value.toArray();
        m_arcs.reserve(arcs.size());
        for (const QJsonValue &arcValue : arcs) {
            if (!arcValue.isArray())
                return fail(QStringLiteral("an arc is not an array"));
            const QJsonArray positions = arcValue.toArray();
            Arc arc;
            arc.reserve(positions.size());
            double x = 0, y = 0;
            for (const QJsonValue &position : positions) {
                double a = 0, b = 0;
                if (!readPair(position, a, b))
                    return fail(QStringLiteral("invalid position in an arc"));
                if (m_transform.quantized) {
                    // Quantized arcs hold the first position and then differences.
                    x += a;
                    y += b;
                    arc.append(QPointF(x * m_transform.scaleX + m_transform.translateX,
                                       y * m_transform.scaleY + m_transform.translateY));
                } else {
                    arc.append(QPointF(a, b));
                }
            }
            m_arcs.append(arc);
        }
        return true;
    }

    bool readGeometry(const QJsonValue &value, int depth)
    {
        if (!value.isObject())
            return fail(QStringLiteral("a geometry is not an object"));
        const QJsonObject geometry = value.toObject();
        const QString type = geometry.value(QLatin1String("type")).toString();
        const QJsonValue arcs = geometry.value(QLatin1String("arcs"));
        if (type == u"GeometryCollection") {
            if (depth >= MaxCollectionDepth)
                return fail(QStringLiteral("geometry collections nested too deeply"));
            const QJsonValue members = geometry.value(QLatin1String("geometries"));
            if (!members.isArray())
                return fail(QStringLiteral("a geometry collection without geometries"));
            for (const QJsonValue &member : members.toArray())
                if (!readGeometry(member, depth + 1))
                    return false;
            return true;
        }
        if (type == u"Polygon")
            return readPolygon(arcs);
        if (type == u"MultiPolygon") {
            if (!arcs.isArray())
                return fail(QStringLiteral("a multipolygon without arcs"));
            for (const QJsonValue &polygon : arcs.toArray())
                if (!readPolygon(polygon))
                    return false;
            return true;
        }
        // Points, lines and null geometries have no area on the map.
        return true;
    }

private:
    bool fail(const QString &text)
    {
        if (error.isEmpty())
            error = text;
        return false;
    }

    bool readPolygon(const QJsonValue &value)
    {
        if (!value.isArray())
            return fail(QStringLiteral("a polygon is not an array of rings"));
        GeoPolygon polygon;
        for (const QJsonValue &ringValue : value.toArray()) {
            QList<QPointF> ring;
            if (!readRing(ringValue, ring))
                return false;
            // A ring without area (possible after quantization) is left out; without its
            // outer ring the polygon's holes mean nothing either.
            if (ring.size() < 4) {
                if (polygon.rings.isEmpty())
                    return true;
                continue;
            }
            polygon.rings.append(ring);
        }
        if (!polygon.rings.isEmpty())
            polygons.append(polygon);
        return true;
    }

    bool readRing(const QJsonValue &value, QList<QPointF> &ring)
    {
        if (!value.isArray())
            return fail(QStringLiteral("a ring is not an array of arc indices"));
        for (const QJsonValue &indexValue : value.toArray()) {
            const double number = indexValue.toDouble(std::nan(""));
            const qsizetype count = m_arcs.size();
            if (!indexValue.isDouble() || number != std::floor(number) || number < -double(count) ||
                number >= double(count))
                return fail(QStringLiteral("invalid arc index"));
            const auto index = qsizetype(number);
            const Arc &arc = m_arcs[index >= 0 ? index : ~index];
            if (arc.isEmpty())
                continue;
            // Consecutive arcs share their joining position; it is kept once.
            if (!ring.isEmpty())
                ring.removeLast();
            if (index >= 0)
                ring.append(arc);
            else
                std::reverse_copy(arc.begin(), arc.end(), std::back_inserter(ring));
        }
        return true;
    }

    Transform m_transform;
    QList<Arc> m_arcs;
};

// Longitudes of a ring made continuous: a step of more than 180 degrees between neighbours
// is a crossing of the 180th meridian, so the rest of the ring moves by a whole turn. The ring
// is then shifted by whole turns so that its middle lies on the map. Returns the net change
// of longitude around the ring: 0 for an ordinary ring, +-360 for one around a pole.
double unwrapRing(QList<QPointF> &ring)
{
    if (ring.isEmpty())
        return 0;
    double shift = 0;
    double previous = ring.first().x();
    for (qsizetype i = 1; i < ring.size(); ++i) {
        const double original = ring[i].x();
        const double step = original - previous;
        if (step > 180)
            shift -= 360;
        else if (step < -180)
            shift += 360;
        previous = original;
        ring[i].rx() = original + shift;
    }
    double west = ring.first().x(), east = west;
    for (const QPointF &p : ring) {
        west = std::min(west, p.x());
        east = std::max(east, p.x());
    }
    const double middle = (west + east) / 2;
    const double turns = std::floor((middle + 180) / 360);
    if (turns != 0)
        for (QPointF &p : ring)
            p.rx() -= turns * 360;
    return ring.last().x() - ring.first().x();
}

// One polygon as a path in degrees, ready to be drawn at whole-turn offsets.
QPainterPath polygonPath(const GeoPolygon &polygon)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (QList<QPointF> ring : polygon.rings) {
        const double winding = unwrapRing(ring);
        if (std::abs(winding) > 180) {
            // The ring goes once around a pole: close it along the pole's latitude, so that the
            // whole cap between the coast and the pole is inside.
            double latitudeSum = 0;
            for (const QPointF &p : ring)
                latitudeSum += p.y();
            const double pole = latitudeSum < 0 ? -90.0 : 90.0;
            ring.append(QPointF(ring.last().x(), pole));
            ring.append(QPointF(ring.first().x(), pole));
        }
        path.moveTo(ring.first());
        for (qsizetype i = 1; i < ring.size(); ++i)
            path.lineTo(ring[i]);
        path.closeSubpath();
    }
    return path;
}

// Widths in device pixels of a line and of the marker's square that look at a ratio as one
// pixel and five do at ratio 1; odd, so that they stay centred on their pixel.
int oddWidth(double width) { return 2 * int(std::floor(std::max(1.0, width) / 2)) + 1; }

void drawGraticule(QPainter &painter, QSize size, qreal ratio)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor line(0, 0, 0, 30);
    const int width = std::max(1, int(std::lround(ratio))), half = width / 2;
    for (int longitude = -150; longitude < 180; longitude += 30) {
        const int x = int(RoundHalfEven((longitude + 180) * size.width() / 360.0));
        painter.fillRect(QRect(x - half, 0, width, size.height()), line);
    }
    for (int latitude = -60; latitude <= 60; latitude += 30) {
        const int y = int(RoundHalfEven((90 - latitude) * size.height() / 180.0));
        painter.fillRect(QRect(0, y - half, size.width(), width), line);
    }
}

// The land as paths in degrees, made once per data set and then drawn at any size.
struct LandPaths {
    QList<QPainterPath> paths;
    QList<QRectF> bounds;

    explicit LandPaths(const QList<GeoPolygon> &land)
    {
        paths.reserve(land.size());
        bounds.reserve(land.size());
        for (const GeoPolygon &polygon : land) {
            paths.append(polygonPath(polygon));
            bounds.append(paths.last().boundingRect());
        }
    }
};

QImage renderLand(const LandPaths &land, QSize size, qreal ratio)
{
    if (!(ratio > 0))
        ratio = 1;
    QImage map(size, QImage::Format_ARGB32_Premultiplied);
    map.fill(QColor::fromRgba(geomap::SeaColour));
    map.setDevicePixelRatio(ratio);
    if (size.isEmpty())
        return map;
    QPainter painter(&map);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Degrees to device pixels. Pixel (x, y) stands for the place PlaceForMapPixel(x, y), so
    // that place sits at the pixel's centre, half a pixel right of and below its corner. The
    // painter works in device-independent units on an image with a ratio; that scale is
    // undone here so that the map is laid out in the image's own pixels.
    const double sx = size.width() / 360.0, sy = size.height() / 180.0;
    const QTransform toPixels =
        QTransform(sx, 0, 0, -sy, 180 * sx + 0.5, 90 * sy + 0.5) * QTransform::fromScale(1 / ratio, 1 / ratio);
    QPen coast(QColor::fromRgba(geomap::CoastColour));
    coast.setCosmetic(true);
    coast.setWidthF(0.6);   // cosmetic widths are device-independent: ratio times as many pixels
    for (qsizetype i = 0; i < land.paths.size(); ++i) {
        const QPainterPath &path = land.paths[i];
        const QRectF &bounds = land.bounds[i];
        for (double offset : {-360.0, 0.0, 360.0}) {
            if (bounds.right() + offset < -181 || bounds.left() + offset > 181)
                continue;
            painter.setTransform(QTransform::fromTranslate(offset, 0) * toPixels);
            painter.fillPath(path, QColor::fromRgba(geomap::LandColour));
            painter.strokePath(path, coast);
        }
    }
    painter.resetTransform();
    painter.scale(1 / ratio, 1 / ratio);
    drawGraticule(painter, size, ratio);
    return map;
}

const LandPaths &builtInLand()
{
    static const LandPaths land = [] {
        InitMapResource();
        QFile file(QString::fromLatin1(geomap::LandResource));
        if (file.open(QIODevice::ReadOnly)) {
            TopoJsonResult decoded = DecodeTopoJson(file.readAll(), QStringLiteral("land"));
            if (decoded.ok())
                return LandPaths(decoded.polygons);
        }
        return LandPaths({});
    }();
    return land;
}

}  // namespace

TopoJsonResult DecodeTopoJson(const QByteArray &json, const QString &objectName)
{
    TopoJsonResult result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = parseError.errorString();
        return result;
    }
    const QJsonObject topology = document.object();
    if (!document.isObject() || topology.value(QLatin1String("type")).toString() != u"Topology") {
        result.error = QStringLiteral("not a topology");
        return result;
    }
    Decoder decoder;
    const QJsonValue objectsValue = topology.value(QLatin1String("objects"));
    bool ok = decoder.readTransform(topology) && decoder.readArcs(topology.value(QLatin1String("arcs")));
    if (ok && !objectsValue.isObject()) {
        decoder.error = QStringLiteral("no objects");
        ok = false;
    }
    if (ok) {
        const QJsonObject objects = objectsValue.toObject();
        if (objectName.isEmpty()) {
            for (auto it = objects.begin(); ok && it != objects.end(); ++it)
                ok = decoder.readGeometry(it.value(), 0);
        } else if (!objects.contains(objectName)) {
            decoder.error = QStringLiteral("no object named %1").arg(objectName);
            ok = false;
        } else {
            ok = decoder.readGeometry(objects.value(objectName), 0);
        }
    }
    if (!ok) {
        result.error = decoder.error.isEmpty() ? QStringLiteral("invalid topology") : decoder.error;
        return result;
    }
    result.polygons = std::move(decoder.polygons);
    return result;
}

QPoint MapPixelForPlace(double latitude, double longitude, QSize map)
{
    return QPoint(int(RoundHalfEven((longitude + 180) * map.width() / 360.0)),
                  int(RoundHalfEven((90 - latitude) * map.height() / 180.0)));
}

GeoPlace PlaceForMapPixel(int x, int y, QSize map)
{
    const int width = std::max(1, map.width()), height = std::max(1, map.height());
    x = std::clamp(x, 0, width);
    y = std::clamp(y, 0, height);
    return {90.0 - y * 180.0 / height, x * 360.0 / width - 180.0};
}

QSize MapSizeWithin(QSize area)
{
    int width = std::max(2, area.width()), height = std::max(1, area.height());
    if (width > MaxMapAspect * height)
        width = int(std::floor(MaxMapAspect * height));
    else if (width < MinMapAspect * height)
        height = int(std::floor(width / MinMapAspect));
    return QSize(std::max(2, width), std::max(1, height));
}

QImage RenderWorldMap(const QList<GeoPolygon> &land, QSize size, qreal ratio)
{
    return renderLand(LandPaths(land), size, ratio);
}

const QImage &BuiltInWorldMap()
{
    static const QImage map = renderLand(builtInLand(), ReferenceMapSize, 1);
    return map;
}

QImage BuiltInWorldMap(QSize size, qreal ratio)
{
    static QMutex lock;
    static QImage last;
    const LandPaths &land = builtInLand();
    QMutexLocker locked(&lock);
    if (last.size() != size || last.devicePixelRatio() != ratio)
        last = renderLand(land, size, ratio);
    return last;
}

void DrawPlaceMarker(QImage &map, double latitude, double longitude)
{
    if (map.isNull())
        return;
    const QPoint at = MapPixelForPlace(latitude, longitude, map.size());
    const qreal ratio = map.devicePixelRatio();
    const int line = oddWidth(ratio), square = oddWidth(5 * ratio);
    QPainter painter(&map);
    painter.scale(1 / ratio, 1 / ratio);   // in the image's own pixels
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QColor lineColour = QColor::fromRgba(geomap::MarkerLineColour);
    painter.fillRect(QRect(0, at.y() - line / 2, map.width(), line), lineColour);
    painter.fillRect(QRect(at.x() - line / 2, 0, line, map.height()), lineColour);
    painter.fillRect(QRect(at.x() - square / 2, at.y() - square / 2, square, square),
                     QColor::fromRgba(geomap::MarkerColour));
}
