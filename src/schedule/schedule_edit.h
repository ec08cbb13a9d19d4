// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPoint>

#include <vector>

// What the schedule's editors share while the user edits: the channel the light curves
// edit, the schedule line being dragged there, where the lines were drawn and the channel
// copied in the grid's column menu. Plain state, owned by the window and handed to the
// pages that edit the schedule.
struct ScheduleEdit {
    int visualChannel = 0;   // 0..11
    int dragLine = -1;       // a schedule line while a point is dragged, else -1
    int copiedChannel = -1;  // 0..11 after "Copy" in the column menu, else -1
    // The light curves' last drawing: one point per schedule line, on the curve of
    // visualChannel.
    std::vector<QPoint> curvePoints;
};
