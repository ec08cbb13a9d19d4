// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Schedule benchmarks: medians of several runs of
//  (a) DrawLightCurves for a 255-line schedule at 1009 × 655, time and Geo variant, the
//      chart alone and the page's whole redraw (marker from the system's zone included);
//  (b) FillScheduleGrid for 255 lines (the grid part, then the whole call, which also
//      redraws the chart), in the window shown on the offscreen platform.
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/frm_lumora.h"
#include "link/device_model.h"
#include "schedule/light_curves.h"
#include "pages/schedule_grid.h"
#include "pages/visualize_page.h"
#include "widgets/image_view.h"

namespace {

constexpr int Lines = 255;

// A 255-line schedule, named channels and a clock, loaded as a whole (no edit goes out).
void fillSchedule(DeviceImage &image)
{
    image.resizeSchedule(Lines);
    InfoRecord &Info = image.Info;
    Info.LineCount = uint8_t(Lines);
    for (int k = 0; k < Lines; ++k) {
        ScheduleLine &s = image.Schedule[std::size_t(k)];
        const int minutes = k * 1440 / (Lines - 1);
        s.Hour = uint8_t(minutes / 60);
        s.Minute = uint8_t(minutes % 60);
        s.Alt = curves::StoredAltitude(60 * std::sin(M_PI * k / (Lines - 1)) - 10);
        for (int c = 0; c < 12; ++c)
            s.Color16[c] = uint8_t(50 + 50 * std::sin(k * 0.05 + c));
        s.Switch = uint8_t((k % 8) << 5);
    }
    for (int c = 0; c < 12; ++c)
        image.Config.ColorName[c] = uint8_t(c + 2);
    Info.Year = 25;
    Info.Month = 6;
    Info.Day = 21;
    Info.Hour = 10;
    Info.Minute = 15;
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    work(); // warm caches (fonts, glyphs, allocations)
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void report(const char *what, const std::vector<double> &medians, double target)
{
    std::printf("%-52s", what);
    for (double m : medians)
        std::printf(" %7.3f", m);
    std::vector<double> sorted = medians;
    std::sort(sorted.begin(), sorted.end());
    std::printf("   median %.3f ms (target <= %.0f ms)\n", sorted[sorted.size() / 2], target);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int Rounds = 5;
    constexpr int Runs = 40;

    DeviceImage device;
    fillSchedule(device);
    const ConfigRecord &Config = device.Config;
    const InfoRecord &Info = device.Info;
    QImage image(1009, 655, QImage::Format_ARGB32_Premultiplied);
    std::vector<curves::CurvePoint> points;
    const QFont font = QApplication::font();
    for (bool geo : {false, true}) {
        std::vector<double> medians;
        for (int r = 0; r < Rounds; ++r) {
            medians.push_back(medianMs(Runs, [&] {
                curves::ChartInput in;
                in.lines = device.Schedule;
                std::copy(std::begin(Config.ColorName), std::end(Config.ColorName), in.colourIndex.begin());
                in.geo = geo;
                in.visualChannel = 4;
                in.font = font;
                const curves::ChartGeometry g = curves::GeometryOf(image);
                in.markerX = geo ? curves::GeoMarkerX(g, Info, Config) : curves::TimeMarkerX(g, Info.Hour, Info.Minute);
                curves::DrawLightCurves(image, in, points);
            }));
        }
        report(geo ? "DrawLightCurves 255 lines 1009x655, Geo (chart)" : "DrawLightCurves 255 lines 1009x655, time (chart)",
               medians, 4);
    }

    TfrmLumora window({QStringLiteral("-english")});
    fillSchedule(window.model().imageForLoading());
    window.Edit.curvePoints.assign(Lines, QPoint());
    window.resize(1009, 700);
    window.show();
    window.SetConnected(true);
    QCoreApplication::processEvents();
    window.SelectPage(window.page(QStringLiteral("tsVisualize")));
    QCoreApplication::processEvents();
    const QSize size = window.visualize->img->size();
    std::printf("(visualization image in the window: %d x %d)\n", size.width(), size.height());
    for (int mode : {int(ModeAuto), int(ModeGeo)}) {
        window.model().imageForLoading().Config.Mode = uint8_t(mode);
        std::vector<double> medians;
        for (int r = 0; r < Rounds; ++r)
            medians.push_back(medianMs(Runs, [&] { window.visualize->DrawLightCurves(); }));
        report(mode == ModeGeo ? "page redraw in the window, Geo" : "page redraw in the window, time", medians, 4);
    }

    window.model().imageForLoading().Config.Mode = ModeAuto;
    window.SelectPage(window.page(QStringLiteral("tsSchedule")));
    QCoreApplication::processEvents();
    std::vector<double> whole;
    std::vector<double> gridOnly;
    VisualizePage *chart = window.visualize;
    for (int r = 0; r < Rounds; ++r) {
        whole.push_back(medianMs(Runs, [&] { window.FillScheduleGrid(); }));
        // The grid alone: the chart's redraw is left out for this measurement.
        window.visualize = nullptr;
        gridOnly.push_back(medianMs(Runs, [&] { window.FillScheduleGrid(); }));
        window.visualize = chart;
    }
    report("FillScheduleGrid 255 lines (grid only)", gridOnly, 10);
    report("FillScheduleGrid 255 lines (with chart redraw)", whole, 10);
    return 0;
}
