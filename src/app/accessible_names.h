// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Gives every control of the window that a screen reader would otherwise announce without
// a name, or with a name another control has too ("OFF", "%", a group's title), an
// accessible name of its own in the current language: what it sets and for whom
// ("Channel A level", "Clouds: Dimming speed"), and sliders and their fields the range
// as their accessible description. Names are derived from the captions on screen and the
// object names, so a control added later is covered by the same rules. Call again after
// the captions changed (a new language table).
void ApplyAccessibleNames(QWidget *window);

