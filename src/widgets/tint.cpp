// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/tint.h"

#include <QApplication>
#include <QWidget>

#include "presentation/contrast.h"

void SetLegibleColours(QPalette &palette, const QPalette &theme, QPalette::ColorRole backgroundRole,
                       QPalette::ColorRole textRole, const QColor &background)
{
    const QRgb base = background.rgb();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, backgroundRole, background);
        palette.setColor(group, textRole, QColor(contrast::TextOn(base, theme.color(group, textRole).rgb())));
    }
    // A disabled field keeps its tint (it still tells which channel it is) and shows a fainter
    // form of the enabled text, never the style's grey that vanishes on colour.
    palette.setColor(QPalette::Disabled, backgroundRole, background);
    palette.setColor(QPalette::Disabled, textRole,
                     QColor(contrast::DisabledOn(base, theme.color(QPalette::Active, textRole).rgb())));
}

void SetTint(QWidget *widget, const QColor &tint)
{
    if (!widget)
        return;
    QPalette palette = widget->palette();
    SetLegibleColours(palette, QApplication::palette(widget), QPalette::Base, QPalette::Text, tint);
    if (palette != widget->palette() || !widget->testAttribute(Qt::WA_SetPalette))
        widget->setPalette(palette);
}
