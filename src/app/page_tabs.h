// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's page tabs: one column at the window's left edge, every caption written
// across, so that all pages' tabs stay in view at any window size and in any language; and
// Ctrl+Tab / Ctrl+Shift+Tab and Ctrl+PageDown / Ctrl+PageUp switching pages wherever the
// focus is in the window, and a key
// of its own for every page (Alt+1 …), told in the tab's tool tip.
#include <QKeySequence>
class QTabWidget;
class QWidget;

// Arranges `pages` so and adds the page shortcuts to `window`.
void SetUpPageTabs(QWidget *window, QTabWidget *pages);

// The next (step +1) or previous (-1) page after the current one that is shown and enabled,
// going round at either end; the current index when there is no other such page.
int NeighbourPage(const QTabWidget *pages, int step);

// The key that shows the page (a sheet of the window's tab widget); empty for none.
QKeySequence PageShortcut(const QWidget *page);
