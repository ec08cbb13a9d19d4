// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/contrast.h"

#include <algorithm>
#include <cmath>

namespace contrast {
namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QRgb mix(QRgb from, QRgb to, double t)
{
    auto part = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
    return qRgb(part(qRed(from), qRed(to)), part(qGreen(from), qGreen(to)), part(qBlue(from), qBlue(to)));
}

// The largest t in [0, 1] for which mix(from, to, t) still reaches `minimum` on the
// background, given that t = 0 does. The ratio is monotonic along such a line as long as
// `to` lies on the same side of the background's luminance, which both callers ensure.
double farthest(QRgb background, QRgb from, QRgb to, double minimum)
{
    double good = 0.0;
    double bad = 1.0;
    if (Ratio(background, mix(from, to, 1.0)) >= minimum)
        return 1.0;
    for (int i = 0; i < 24; ++i) {
        const double t = (good + bad) / 2;
        (Ratio(background, mix(from, to, t)) >= minimum ? good : bad) = t;
    }
    return good;
}

} // namespace

double RelativeLuminance(QRgb colour)
{
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) + 0.0722 * linear(qBlue(colour));
}

double Ratio(QRgb a, QRgb b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRgb TextOn(QRgb background, QRgb preferred, double minimum)
{
    preferred = qRgb(qRed(preferred), qGreen(preferred), qBlue(preferred));
    if (Ratio(background, preferred) >= minimum)
        return preferred;
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    return Ratio(background, black) >= Ratio(background, white) ? black : white;
}

QRgb LegibleOn(QRgb background, QRgb text, double minimum)
{
    text = qRgb(qRed(text), qGreen(text), qBlue(text));
    if (Ratio(background, text) >= minimum)
        return text;
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb pole = Ratio(background, black) >= Ratio(background, white) ? black : white;
    // Walk from the pole back towards the wanted colour as far as the ratio allows.
    return mix(pole, text, farthest(background, pole, text, minimum));
}

QRgb DisabledOn(QRgb background, QRgb enabledText, double minimum)
{
    const QRgb legible = TextOn(background, enabledText, minimum);
    return mix(legible, background, farthest(background, legible, background, minimum));
}

} // namespace contrast
