#pragma once
// What several benchmarks share: the event loop of the UI thread, a schedule to load, the
// simulated controller at line speed, and the statistics they print.
#include "link/records.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

// Runs the UI thread's event loop until done() (looked at least every 2 ms) or the time-out.
inline void spin(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(2);
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A schedule of n lines, one an hour, each with its own first colour value.
inline std::vector<ScheduleLine> lines(int n)
{
    std::vector<ScheduleLine> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        v[size_t(i)].Hour = uint8_t(i);
        v[size_t(i)].Color16[0] = uint8_t(i * 5);
    }
    return v;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Starts the simulated controller with a 20-line schedule, at line speed and with latencyMs
// before each answer. Says why when it cannot.
inline bool startSlowSimulator(SimulatorPort &sim, int latencyMs)
{
    sim.controller().setSchedule(lines(20));
    sim.controller().setThrottle(true);
    sim.controller().setLatencyMs(latencyMs);
    if (sim.start())
        return true;
    std::printf("simulator: %s\n", qPrintable(sim.errorString()));
    return false;
}

// The wire limit of the exchanges of the full download that ran: request and answer bytes at
// line speed plus the latency of each answer.
inline double wireLimitMs(const SimulatedController &sim, int latencyMs, int *exchanges)
{
    double limit = 0;
    *exchanges = 0;
    for (const SimFrame &f : sim.frames()) {
        if (f.answer.isEmpty())
            continue;
        ++*exchanges;
        limit += 1000.0 * double(f.text.size() + 1 + f.answer.size()) / SimulatedController::LineBytesPerSecond +
                 latencyMs;
        if (f.text.startsWith("86"))
            break;
    }
    return limit;
}
