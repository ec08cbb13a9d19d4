// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class QWidget;

// Names a view that shows a picture and describes in a sentence what the picture shows,
// telling assistive technology only when either text really changed (the views redraw
// far more often than what they say changes).
void SetAccessibleSummary(QWidget *view, const QString &name, const QString &summary);
