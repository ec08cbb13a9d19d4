// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/window_geometry.h"

#include <algorithm>

QRect FitFrame(QRect frame, const QRect &available)
{
    if (available.isEmpty())
        return frame;
    if (frame.width() <= 0 || frame.height() <= 0)
        return available;
    frame.setWidth(std::min(frame.width(), available.width()));
    frame.setHeight(std::min(frame.height(), available.height()));
    // Coordinates far outside any screen (a hostile stored value) must not overflow below.
    const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - frame.width());
    const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - frame.height());
    frame.moveTo(x, y);
    return frame;
}

QRect CentreFrame(const QRect &frame, const QRect &available)
{
    QRect fitted = FitFrame(frame, available);
    fitted.moveCenter(available.center());
    return FitFrame(fitted, available);
}
