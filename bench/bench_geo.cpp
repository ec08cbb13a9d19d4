// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Geo page benchmarks:
//  (a) UpdateGeoView as the window runs it: map copy, marker, sun and moon with rise and set,
//      the two-line text and the moon drawing, shown in the page's controls;
//  (b) its parts: the sky and text alone, the map copy with the marker, the moon image;
//  (c) the one-time decoding and drawing of the world map when the Geo page is first shown;
//  (d) drawing the map from the land data at the reference 1000 x 500, at the size the map
//      takes on a 1920 x 1080 window and at twice that (2x scale), as a resize does.
// Prints the median and the 90th percentile of each, in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

#include "app/frm_lumora.h"
#include "pages/geo_page.h"
#include "geo/geo_view.h"
#include "geo/world_map.h"
#include "link/device_model.h"
#include "widgets/image_view.h"

namespace {

void report(const char *name, int runs, const std::function<void(int)> &body)
{
    std::vector<double> ms;
    ms.reserve(runs);
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        body(i);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s median %8.3f ms   p90 %8.3f ms   (%d runs)\n", name, ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], runs);
}

}  // namespace

int main(int argc, char **argv)
{
    // A private settings and data folder: the window must not find a remembered port.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    {
        QElapsedTimer timer;
        timer.start();
        const QImage &map = BuiltInWorldMap();
        std::printf("%-40s %8.3f ms (once, %dx%d)\n", "world map decode and draw", timer.nsecsElapsed() / 1e6,
                    map.width(), map.height());
        QFile file(QString::fromLatin1(geomap::LandResource));
        file.open(QIODevice::ReadOnly);
        const QByteArray json = file.readAll();
        TopoJsonResult land;
        report("TopoJSON decode", 10, [&](int) { land = DecodeTopoJson(json, QStringLiteral("land")); });
        report("world map drawing", 10, [&](int) { (void)RenderWorldMap(land.polygons); });
        // The map's size on the Geo page of a 1920 x 1080 window (measured below) and at 2x.
        for (const auto &[name, size, ratio] :
             {std::tuple{"map draw 1000x500", QSize(1000, 500), 1.0}, {"map draw 1904x852 (1920x1080)", QSize(1904, 852), 1.0},
              {"map draw 3808x1704 (1920x1080, 2x)", QSize(3808, 1704), 2.0}})
            report(name, 10, [&](int i) {
                // A size one pixel different each time: the kept drawing never serves.
                (void)BuiltInWorldMap(size - QSize(2 * (i % 2), i % 2), ratio);
            });
    }

    TfrmLumora window({QStringLiteral("-english")});
    window.show();
    window.SelectPage(window.page(QStringLiteral("tsGeo")));
    QCoreApplication::processEvents();
    GeoPage *geo = window.geo;
    window.resize(1920, 1080);
    QCoreApplication::processEvents();
    std::printf("map on a 1920x1080 window: %dx%d\n", geo->imgGeo->image().width(), geo->imgGeo->image().height());
    window.resize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight);
    QCoreApplication::processEvents();
    std::printf("map on a %dx%d window: %dx%d\n", TfrmLumora::DesignWidth, TfrmLumora::DesignHeight,
                geo->imgGeo->image().width(), geo->imgGeo->image().height());

    // Places and times change from run to run, as when the time slider is dragged. The
    // benchmark loads them into the image directly: no edit goes out.
    DeviceImage &image = window.model().imageForLoading();
    ConfigRecord &Config = image.Config;
    InfoRecord &Info = image.Info;
    auto vary = [&](int i) {
        Config.Lat = int16_t(-800 + (i * 37) % 1600);
        Config.Lon = int16_t(-1790 + (i * 53) % 3580);
        Info.Hour = uint8_t(i % 24);
        Info.Minute = uint8_t((i * 7) % 60);
        Info.Day = uint8_t(1 + i % 28);
    };
    report("UpdateGeoView", 500, [&](int i) {
        vary(i);
        geo->UpdateGeoView();
    });
    // As the polled clock does it: the place stays, the map is not copied again.
    report("UpdateGeoView, new clock only", 500, [&](int i) {
        Info.Minute = uint8_t(i % 60);
        geo->UpdateGeoView();
    });
    window.resize(1920, 1080);
    QCoreApplication::processEvents();
    report("UpdateGeoView at 1920x1080", 500, [&](int i) {
        vary(i);
        geo->UpdateGeoView();
    });
    report("UpdateGeoView at 1920x1080, clock only", 500, [&](int i) {
        Info.Minute = uint8_t(i % 60);
        geo->UpdateGeoView();
    });
    window.resize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight);
    QCoreApplication::processEvents();
    report("  sky and text (ComputeGeoView)", 500, [&](int i) {
        vary(i);
        (void)ComputeGeoView(Config, Info);
    });
    report("  map copy and marker", 500, [&](int i) {
        vary(i);
        QImage map = geo->WorldMap();
        DrawPlaceMarker(map, int16_t(Config.Lat) * 0.1, int16_t(Config.Lon) * 0.1);
    });
    const GeoViewResult view = ComputeGeoView(Config, Info);
    report("  moon image", 500, [&](int) { (void)MoonPhaseImage(view); });
    return 0;
}
