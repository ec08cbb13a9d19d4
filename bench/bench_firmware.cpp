// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware transfer benchmark: a 31 KB image (addresses 0 ... 31743, 496 blocks) sent to the
// simulated bootloader on a pseudo-terminal, both directions paced at line speed, with 15 ms
// latency per answer. Reported as a ratio to the wire limit of the block exchanges that ran:
// per exchange the 135-byte request line and the acknowledgement at 11520 bytes per second,
// plus the latency.
#include "link/device_model.h"
#include "link/firmware.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int LatencyMs = 15;
constexpr int32_t End = 31743;

class BenchHost : public LinkHost
{
public:
    QString file;
    QElapsedTimer clock;
    qint64 startedMs = -1, endedMs = -1;
    bool finished = false;

    void setStatusText(const QString &t) override
    {
        if (t.startsWith(QStringLiteral("Starting firmware update")))
            startedMs = clock.elapsed();
        else if (t.startsWith(QStringLiteral("Firmware ")))
            finished = true;
    }
    void addLog(const QString &t) override
    {
        if (t == QStringLiteral("Resetting..."))
            endedMs = clock.elapsed();
    }
    QString chooseFirmwareFile() override { return file; }
};

bool writeImage(const QString &path)
{
    QByteArray out;
    auto le32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(char(uint8_t(v >> (8 * i))));
    };
    le32(0);
    le32(uint32_t(End));
    uint32_t sum = uint32_t(End);
    for (int a = 0; a <= End; ++a) {
        const uint8_t b = uint8_t(a * 131 + (a >> 8));
        out.append(char(b));
        sum += b;
    }
    le32(sum);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

void spin(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Aqualumora1x5.chx"));
    if (!dir.isValid() || !writeImage(file)) {
        std::printf("cannot write the firmware file\n");
        return 1;
    }
    InstallFirmwareTransfer();

    constexpr int Runs = 3;
    std::vector<double> ratios, times;
    for (int run = 0; run < Runs; ++run) {
        SimulatorPort sim;
        sim.controller().setInBootloader(true);
        sim.controller().setThrottle(true);
        sim.controller().setLatencyMs(LatencyMs);
        if (!sim.start()) {
            std::printf("simulator: %s\n", qPrintable(sim.errorString()));
            return 1;
        }
        BenchHost host;
        host.file = file;
        host.clock.start();
        auto thread = TthdCom::Create(sim.portPath(), false, &host);
        spin([&] { return host.finished; }, 60000);
        thread->Stop();
        spin([&] { return thread->Finished(); }, 5000);
        thread.reset();
        if (!host.finished || host.startedMs < 0 || host.endedMs < 0) {
            std::printf("run %d: the transfer did not finish\n", run);
            continue;
        }

        double limitMs = 0;
        int blocks = 0;
        for (const SimFrame &f : sim.controller().frames()) {
            if (!f.bootloader || !f.text.startsWith("02"))
                continue;
            ++blocks;
            limitMs += 1000.0 * double(f.text.size() + 1 + f.answer.size()) / SimulatedController::LineBytesPerSecond +
                       LatencyMs;
        }
        const double ms = double(host.endedMs - host.startedMs);
        times.push_back(ms);
        ratios.push_back(ms / limitMs);
        if (run == 0)
            std::printf("blocks: %d, wire limit %.1f ms\n", blocks, limitMs);
    }
    std::printf("31 KB firmware transfer: median %.1f ms, ratio to wire limit median %.3f (max %.3f); target <= 1.15\n",
                median(times), median(ratios), ratios.empty() ? 0.0 : *std::max_element(ratios.begin(), ratios.end()));
    return 0;
}
