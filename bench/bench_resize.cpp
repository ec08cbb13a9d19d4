// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Live resize of the pages that draw: the window (offscreen, on the simulated controller with
// the whole image downloaded) grows from 800 x 500 to 1600 x 1000 in 20 steps and shrinks back,
// five times, on the geo page (the world map), the visualization (the light curves) and the
// chart (the sensor history). One step is the resize, the events it posts and a repaint of the
// window, as a window manager's live resize asks for; reported per page as median and worst.
// A last figure is the redraw once the resize has settled (the full-quality picture).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>

#include "app/frm_lumora.h"
#include "bench_common.h"
#include "link/device_model.h"

namespace {

QSize stepSize(int step, int steps)
{
    const QSize from(800, 500), to(1600, 1000);
    const double f = double(step) / steps;
    return QSize(int(from.width() + (to.width() - from.width()) * f), int(from.height() + (to.height() - from.height()) * f));
}

void benchPage(TfrmLumora &window, const char *pageName)
{
    window.SelectPage(window.page(QString::fromLatin1(pageName)));
    window.resize(800, 500);
    QTest::qWait(300);
    std::vector<double> steps;
    constexpr int Steps = 20;
    for (int round = 0; round < 5; ++round) {
        for (int i = 1; i <= 2 * Steps; ++i) {
            const QSize size = stepSize(i <= Steps ? i : 2 * Steps - i, Steps);
            QElapsedTimer t;
            t.start();
            window.resize(size);
            QCoreApplication::sendPostedEvents();
            window.repaint();
            steps.push_back(t.nsecsElapsed() / 1e6);
            // A window manager's next step comes about a frame later.
            QTest::qWait(16);
        }
    }
    // Settled: the timers that follow a resize have run; the redraw they cause.
    window.resize(1600, 1000);
    QElapsedTimer settle;
    settle.start();
    QCoreApplication::sendPostedEvents();
    window.repaint();
    const double first = settle.nsecsElapsed() / 1e6;
    QTest::qWait(400);
    settle.restart();
    window.repaint();
    std::printf("%-12s resize step: median %6.2f ms, worst %6.2f ms (%zu steps); at rest: %.2f ms, repaint %.2f ms\n",
                pageName, median(steps), *std::max_element(steps.begin(), steps.end()), steps.size(), first,
                settle.nsecsElapsed() / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    QDir::setCurrent(home.path());
    QApplication app(argc, argv);
    TfrmLumora window({QStringLiteral("-english"), QStringLiteral("-simulator")});
    window.show();
    spin([&] { return window.IsConnected() && window.ImageComplete(); }, 20000);
    if (!window.ImageComplete()) {
        std::fprintf(stderr, "the simulated controller was not downloaded\n");
        return 1;
    }
    const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    // The messages page draws nothing of its own: what a step costs the window itself.
    for (const char *page : {"tsMessages", "tsGeo", "tsVisualize", "tsTemp"})
        if (only.isEmpty() || only == page)
            benchPage(window, page);
    return 0;
}
