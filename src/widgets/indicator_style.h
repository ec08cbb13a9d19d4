// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Check boxes and radio buttons whose indicators stand out from the window. A style may
// outline them in a shade of the window colour itself (Fusion's dark theme draws them at
// 1.2:1, next to invisible); here the style draws them as usual and then an outline that
// reaches the contrast graphics need (3:1), fainter but still as strong while disabled.
#include <QPalette>
#include <QProxyStyle>

class QWidget;

inline constexpr double IndicatorMinimumRatio = 3.0;

class IndicatorStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};

// The outline of an indicator on the window colour of `group`.
QColor IndicatorOutline(const QPalette &palette, QPalette::ColorGroup group);

// The application's style wrapped in an IndicatorStyle; again whenever the style of
// `window` changes (a theme change at run time may bring a new one).
void UseLegibleIndicators(QWidget *window);
