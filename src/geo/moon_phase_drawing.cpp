// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/moon_phase_drawing.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace {
constexpr double Pi = 3.14159265358979323846;
}

void DrawMoonPhase(QImage &image, QRgb colour, double fraction, double rotationDegrees, double radius,
                   double cx, double cy)
{
    if (image.isNull() || !(fraction >= 0 && fraction <= 1))
        return;
    const double w = (2 * fraction - 1) * radius;
    const double rho = rotationDegrees * Pi / 180;
    const double c = std::cos(rho), s = std::sin(rho);
    QPolygonF polygon;
    polygon.reserve(32);
    auto add = [&](double u, double v) { polygon.append(QPointF(cx + u * c - v * s, cy + u * s + v * c)); };

    // The angle runs in single precision on purpose: the twelfth 15-degree step then falls a
    // hair short of the end of each half, and a thirteenth, cut step adds the end point itself.
    const float step = float(Pi / 12);
    auto walk = [&](float from, float to, double horizontal) {
        float phi = from;
        do {
            phi += step;
            if (phi > to)
                phi = to;
            add(horizontal * std::cos(double(phi)), radius * std::sin(double(phi)));
        } while (phi < to);
    };
    const float limbStart = float(Pi / 2), limbEnd = float(3 * Pi / 2), terminatorEnd = float(5 * Pi / 2);
    add(radius * std::cos(double(limbStart)), radius * std::sin(double(limbStart)));
    walk(limbStart, limbEnd, radius);   // the left half of the limb (before rotation)
    walk(limbEnd, terminatorEnd, w);    // back to the start along the terminator

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(colour));
    painter.drawPolygon(polygon);
}
