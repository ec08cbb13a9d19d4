// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class QWidget;

// Names a view that shows a picture and describes in a sentence what the picture shows,
// telling assistive technology only when either text really changed (the views redraw
// far more often than what they say changes).
void SetAccessibleSummary(QWidget *view, const QString &name, const QString &summary);

// A slider whose position is not the number its page shows (a level 0..4096 shown as
// 0..100 %, tenths shown as seconds) carries the factor between them in this property;
// assistive technology then reads and sets the value in the page's units.
inline constexpr const char *AccessibleScaleProperty = "accessibleScale";
// Makes the above take effect; call once before the first window is shown.
void InstallScaledSliderAccessibility();
