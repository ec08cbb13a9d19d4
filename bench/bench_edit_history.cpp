// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What keeping edits for undo costs an edit: medians of several runs of
//  (a) a slider drag: 2000 level edits of one channel (they join one step);
//  (b) a cell typed: 2000 schedule-line edits of one line (one step);
//  (c) 2000 edits, each its own step (sealed in between, as clicks do),
// with a 255-line schedule, each with the history listening and, in the same process, without
// (the baseline), and the ratio of the two; then that the stack keeps its limit of steps.
#include "link/edit_history.h"

#include "bench_common.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int Lines = 255;
constexpr int Edits = 2000;

void load(DeviceModel &model)
{
    DeviceImage &d = model.imageForLoading();
    d.Info.LineCount = uint8_t(Lines);
    d.resizeSchedule(Lines);
    for (int i = 0; i < Lines; ++i)
        d.Schedule[std::size_t(i)].Hour = uint8_t(i * 24 / Lines);
}

enum class Kind { Drag, Cell, Steps };

// Microseconds per edit.
double run(Kind kind, bool withHistory)
{
    DeviceModel model;
    load(model);
    std::unique_ptr<EditHistory> history;
    if (withHistory)
        history = std::make_unique<EditHistory>(model);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Edits; ++i) {
        switch (kind) {
        case Kind::Drag: model.setLevel(3, uint16_t(i % 4096)); break;
        case Kind::Cell: model.editScheduleLine(7, [i](ScheduleLine &s) { s.Minute = uint8_t(i % 60); }); break;
        case Kind::Steps:
            if (history)
                history->seal();
            model.editScheduleLine(i % Lines, [i](ScheduleLine &s) { s.Color16[0] = uint8_t(1 + i % 100); });
            break;
        }
    }
    return double(t.nsecsElapsed()) / 1000.0 / Edits;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const struct {
        Kind kind;
        const char *name;
    } kinds[] = {{Kind::Drag, "slider drag (one step)"}, {Kind::Cell, "cell typed (one step)"},
                 {Kind::Steps, "one step each"}};
    std::printf("edit cost, %d edits, %d lines, median of 7 runs (us per edit)\n", Edits, Lines);
    for (const auto &k : kinds) {
        std::vector<double> with, without;
        for (int r = 0; r < 7; ++r) {
            without.push_back(run(k.kind, false));
            with.push_back(run(k.kind, true));
        }
        const double a = median(with), b = median(without);
        std::printf("  %-24s with history %7.2f   without %7.2f   ratio %.2f\n", k.name, a, b, b > 0 ? a / b : 0.0);
    }
    // A full stack: 500 single-byte steps; their size is what QUndoStack holds for them.
    DeviceModel model;
    load(model);
    EditHistory history(model);
    for (int i = 0; i < 600; ++i) {
        history.seal();
        model.editScheduleLine(i % Lines, [i](ScheduleLine &s) { s.Color16[1] = uint8_t(1 + i % 100); });
    }
    std::printf("steps kept: %d (limit %d)\n", history.stack().count(), history.stack().undoLimit());
    return 0;
}
