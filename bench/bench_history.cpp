// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor history: a year of minute rows (525,600) on disk, the year view read and drawn
// against the day view as baseline, and what recording a poll costs the hand-over that the
// link thread waits in.
#include "bench_common.h"

#include "history/history_chart.h"
#include "history/history_recorder.h"
#include "history/history_store.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>

namespace {

constexpr qint64 YearMinutes = 365 * 1440;

double viewMs(HistoryStore &store, const QString &key, qint64 end, qint64 span, QSize size)
{
    QElapsedTimer t;
    t.start();
    HistoryChartInput in;
    in.from = double(end - span);
    in.to = double(end);
    in.bucketMinutes = HistoryBucketMinutes(double(span), HistoryGeometry(size, in.from, in.to).plot.width());
    in.buckets = store.buckets(key, end - span, end, in.bucketMinutes);
    in.seriesNames[0] = QStringLiteral("Thermavis");
    const QImage image = DrawHistoryChart(in, size, 1.0, QFont());
    if (image.isNull() || in.buckets.empty())
        std::printf("nothing drawn\n");
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QString key = QStringLiteral("ttyUSB0");
    const qint64 start = QDateTime(QDate(2025, 1, 1), QTime(0, 0)).toSecsSinceEpoch() / 60;

    // A year as the recorder writes it, a day per transaction here to keep the set-up short.
    QElapsedTimer fill;
    fill.start();
    {
        HistoryStore store;
        if (store.openForWriting(path) != HistoryStore::OpenResult::Opened) {
            std::printf("cannot open %s: %s\n", qPrintable(path), qPrintable(store.errorText()));
            return 1;
        }
        std::vector<HistoryRow> day;
        for (qint64 m = 0; m < YearMinutes; ++m) {
            HistoryRow r;
            r.minute = start + m;
            r.water = int16_t(250 + std::lround(15 * std::sin(double(m) / 1440 * 2 * M_PI)) + m % 3);
            r.slave = int16_t(240 + m % 7);
            r.voltage = int16_t(1200 + m % 11);
            r.mode = 1;
            for (int i = 0; i < ChannelCount; ++i)
                r.levels[size_t(i)] = uint16_t((m * (i + 1)) % 4097);
            day.push_back(r);
            if (day.size() == 1440) {
                store.write(key, day);
                day.clear();
            }
        }
    }
    const double fillSeconds = double(fill.elapsed()) / 1000.0;
    const double mb = double(QFileInfo(path).size()) / 1e6;
    std::printf("year of minute rows: %lld rows written in %.1f s, file %.1f MB (limit 40 MB)\n",
                static_cast<long long>(YearMinutes), fillSeconds, mb);

    // Year view and day view (baseline), query and draw at 1000 x 500.
    HistoryStore reader;
    if (!reader.openForReading(path))
        return 1;
    const qint64 end = start + YearMinutes;
    const QSize size(1000, 500);
    std::vector<double> year, month, day;
    for (int i = 0; i < 15; ++i) {
        year.push_back(viewMs(reader, key, end, YearMinutes, size));
        month.push_back(viewMs(reader, key, end, 31 * 1440, size));
        day.push_back(viewMs(reader, key, end, 1440, size));
    }
    std::printf("view query+draw median: year %.2f ms (limit 50 ms), month %.2f ms, day %.2f ms (baseline); "
                "year/day %.2f\n",
                median(year), median(month), median(day), median(year) / median(day));

    // Recording: the call in the Info hand-over, a poll every half second of clock, so that
    // a minute is finished every 120 calls and goes to the writer thread.
    InfoRecord info{};
    info.WaterTemp = 251;
    info.InputVoltage = 1199;
    info.SlaveTemp = NoValue16;
    std::vector<double> perCall, baseline;
    {
        qint64 clock = (end + 10) * 60'000;
        HistoryRecorder recorder(path, {}, [&clock] { return clock += 500; });
        while (!recorder.ready())
            QThread::msleep(5);
        const int calls = 200'000;
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < calls; ++i) {
                info.Level[0] = uint16_t(i);
                recorder.record(key, HistoryReadingFrom(info, 1));
            }
            perCall.push_back(double(t.nsecsElapsed()) / calls);
            // Baseline: only copying the reading out of the record, which any hand-over does.
            volatile int sink = 0;
            t.restart();
            for (int i = 0; i < calls; ++i) {
                info.Level[0] = uint16_t(i);
                sink = sink + HistoryReadingFrom(info, 1).levels[0];
            }
            baseline.push_back(double(t.nsecsElapsed()) / calls);
            recorder.flush();
        }
    }
    std::printf("recording one poll in the hand-over, median: %.0f ns (copying the reading alone %.0f ns); "
                "per minute of polls (120) %.1f us, %.5f %% of the minute\n",
                median(perCall), median(baseline), median(perCall) * 120 / 1000,
                median(perCall) * 120 / 60e9 * 100);
    return 0;
}
