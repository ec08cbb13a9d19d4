// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Times what the UI thread does with INI files and the chart: the backup written when the
// window closes (a full schedule of 255 lines, into a new file and over an existing one),
// reading such a file for an import, and drawing the sensor chart at the window's size.
// Prints the median of many runs of each.

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "files/ini_file.h"
#include "files/settings_file.h"
#include "link/device_image.h"
#include "schedule/sensor_chart.h"

namespace {

double MedianMicros(const std::function<void()> &work, int runs)
{
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + runs / 2, samples.end());
    return samples[runs / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    DeviceImage image;
    image.resizeSchedule(255);
    for (std::size_t i = 0; i < image.Schedule.size(); ++i)
        image.Schedule[i].Hour = uint8_t(i % 24);

    int n = 0;
    const double fresh =
        MedianMicros([&] { WriteSettingsFile(dir.filePath(QStringLiteral("new%1.ini").arg(n++)), image); }, 50);
    const QString existing = dir.filePath(QStringLiteral("existing.ini"));
    WriteSettingsFile(existing, image);
    const double over = MedianMicros([&] { WriteSettingsFile(existing, image); }, 50);
    const double read = MedianMicros([&] {
        IniFile ini;
        IniFile::load(existing, &ini);
        ReadSettingsFromIni(ini, image);
        ReadScheduleFromIni(ini, image);
    }, 50);

    for (int i = 0; i < ChartSampleCount; ++i)
        image.Chart.Sample[i] = int16_t(250 + (i * 7) % 30);
    image.Expert.ChartInterval = 10;
    QFont font;
    font.setPointSize(8);
    const double chart = MedianMicros([&] {
        DrawSensorChartImage(image.Info, image.Config, image.Expert, image.Chart, QSize(1001, 600), 1.0, font, QString(),
                             QDateTime::currentDateTime());
    }, 100);

    std::printf("backup of 255 lines, new file:      %8.0f us\n", fresh);
    std::printf("backup of 255 lines, over old file: %8.0f us\n", over);
    std::printf("import of that file:                %8.0f us\n", read);
    std::printf("sensor chart 1001 x 600:            %8.0f us\n", chart);
    return 0;
}
