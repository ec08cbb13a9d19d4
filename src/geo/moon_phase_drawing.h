// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small drawing of the moon's phase on the geo page.

#include <QImage>

// Fills the lit part of a moon disc of the given radius around (cx, cy) into image: the half
// limb on the left and the terminator, a half ellipse whose horizontal semi-axis is
// (2 * fraction - 1) * radius; the shape is then turned by rotationDegrees about the centre
// (180 puts the lit part on the right, as for a waxing moon). The polygon is filled without
// antialiasing and blended over what the image holds. Nothing is drawn for a fraction outside
// 0..1 (NaN included) or for a null image.
void DrawMoonPhase(QImage &image, QRgb colour, double fraction, double rotationDegrees, double radius,
                   double cx, double cy);
