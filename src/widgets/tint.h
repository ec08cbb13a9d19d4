// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Coloured backgrounds on widgets with text that stays legible on them.
#include <QColor>
#include <QPalette>

class QWidget;

// Gives the widget's text field (QPalette::Base) the tint, with text colours that reach
// the readable contrast on it in every state: the theme's own text where it does (a light
// theme), black or white where it does not (white text of a dark theme on a pale tint), and
// a fainter but still legible text while the widget is disabled.
void SetTint(QWidget *widget, const QColor &tint);

// `palette` with the background role set to `background` in every group and the text role
// chosen as SetTint does, starting from the text colours of `theme`.
void SetLegibleColours(QPalette &palette, const QPalette &theme, QPalette::ColorRole backgroundRole,
                       QPalette::ColorRole textRole, const QColor &background);
