// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a window goes on the screen, as plain rectangle arithmetic.
#include <QRect>

// The frame (the window with its title bar and borders) moved, and if need be shrunk, so
// that it lies wholly inside `available` (the screen without its panels): a window larger
// than the area takes the whole area; a window partly or wholly off the area is moved just
// far enough onto it. An empty frame becomes `available` itself.
QRect FitFrame(QRect frame, const QRect &available);

// `frame` centred on `available`, after FitFrame.
QRect CentreFrame(const QRect &frame, const QRect &available);
