// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Legible text on coloured fields: the contrast of two colours as the web's accessibility
// guidelines define it (relative luminance, ratio 1 … 21), and text colours chosen so that
// they reach a given ratio on a given background. No widgets: the window's tints, the
// schedule grid's cells and status texts all take their text colours from here.
#include <QRgb>

namespace contrast {

// The ratio ordinary text needs against its background.
inline constexpr double MinimumRatio = 4.5;

// Relative luminance 0 (black) … 1 (white) of an sRGB colour; alpha is ignored.
double RelativeLuminance(QRgb colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double Ratio(QRgb a, QRgb b);

// Text for ordinary use: `preferred` when it reaches `minimum` on `background`, otherwise
// black or white, whichever stands out more.
QRgb TextOn(QRgb background, QRgb preferred, double minimum = MinimumRatio);

// A coloured text (an alarm's red) that keeps its colour where it can: `text` itself when it reaches `minimum` on `background`; otherwise `text` moved towards
// black or white (whichever stands out more on the background) just as far as needed.
QRgb LegibleOn(QRgb background, QRgb text, double minimum = MinimumRatio);

// Text of a disabled control: TextOn(background, enabledText), moved towards the
// background as far as it still reaches `minimum` — visibly fainter, never unreadable.
QRgb DisabledOn(QRgb background, QRgb enabledText, double minimum = MinimumRatio);

} // namespace contrast
