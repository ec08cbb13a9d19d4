// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What several benchmarks share: the event loop of the UI thread, a schedule to load, the
// simulated controller at line speed, and the statistics they print.
#include "link/records.h"
#include "link/transport.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
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
// line speed (10 bits a byte at 115200 baud) plus the latency of each answer. The simulator
// applies exactly this: it takes a request n / 11520 s after its first byte could start,
// waits the latency, and passes answer byte i on (i + 1) / 11520 s after that.
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

// When the link thread wrote each request and when the read of its answer returned, taken
// from a transport wrapped around the real one.
struct ExchangeTimes {
    using Clock = std::chrono::steady_clock;
    struct Exchange {
        Clock::time_point written;   // the write call returned
        Clock::time_point answered;  // the read call returned
        qint64 requestBytes = 0;
        qint64 answerBytes = 0;
    };
    std::mutex mutex;
    Clock::time_point opened;  // the port was last opened
    std::vector<Exchange> exchanges;
};

class TimedTransport : public LinkTransport
{
public:
    TimedTransport(std::unique_ptr<LinkTransport> inner, std::shared_ptr<ExchangeTimes> times)
        : m_inner(std::move(inner)), m_times(std::move(times))
    {
        setName(m_inner->name());
    }
    void open() override
    {
        m_inner->setName(name());
        m_inner->setReadTimeout(readTimeout());
        m_inner->setStopCheck(m_stopCheck);
        m_inner->open();
        std::lock_guard<std::mutex> lock(m_times->mutex);
        m_times->opened = ExchangeTimes::Clock::now();
        m_times->exchanges.clear();
    }
    void close() override { m_inner->close(); }
    bool isOpen() const override { return m_inner->isOpen(); }
    void clearBuffers() override { m_inner->clearBuffers(); }
    qint64 write(const QByteArray &data) override
    {
        const qint64 n = m_inner->write(data);
        m_pending.written = ExchangeTimes::Clock::now();
        m_pending.requestBytes = n;
        return n;
    }
    qint64 read(char *buf, qint64 count) override
    {
        const qint64 n = m_inner->read(buf, count);
        m_interrupted = m_inner->lastReadInterrupted();
        m_pending.answered = ExchangeTimes::Clock::now();
        m_pending.answerBytes = n;
        std::lock_guard<std::mutex> lock(m_times->mutex);
        m_times->exchanges.push_back(m_pending);
        return n;
    }

private:
    std::unique_ptr<LinkTransport> m_inner;
    std::shared_ptr<ExchangeTimes> m_times;
    ExchangeTimes::Exchange m_pending;
};

inline TransportFactory timedTransports(std::shared_ptr<ExchangeTimes> times)
{
    return [times](const QString &portName) -> std::unique_ptr<LinkTransport> {
        return std::make_unique<TimedTransport>(CreateTransport(portName), times);
    };
}

// Where the time of a download went beyond the wire limit, in ms: answers later than the
// line would bring them (the simulator's and the system's wake-ups), the link thread
// between an answer and its next request, before the first request and after the last
// answer (until the download counts as done).
struct DownloadSplit {
    double lateAnswers = 0, between = 0, head = 0, tail = 0;
};

inline DownloadSplit splitDownload(const ExchangeTimes &times, std::chrono::steady_clock::time_point done,
                                   int latencyMs, int exchanges)
{
    const auto opened = times.opened;
    DownloadSplit s;
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    const size_t n = std::min(times.exchanges.size(), size_t(exchanges));
    if (n == 0)
        return s;
    for (size_t i = 0; i < n; ++i) {
        const auto &e = times.exchanges[i];
        const double wire = 1000.0 * double(e.requestBytes + e.answerBytes) / SimulatedController::LineBytesPerSecond +
                            latencyMs;
        s.lateAnswers += ms(e.answered - e.written) - wire;
        if (i + 1 < n)
            s.between += ms(times.exchanges[i + 1].written - e.answered);
    }
    s.head = ms(times.exchanges[0].written - opened);
    s.tail = ms(done - times.exchanges[n - 1].answered);
    return s;
}
