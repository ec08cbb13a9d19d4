#pragma once
// What several benchmarks share: the event loop of the UI thread, a schedule to load, and
// the statistics they print.
#include "link/records.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdint>
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
