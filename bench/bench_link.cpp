// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Link benchmarks against the simulated controller on a pseudo-terminal:
//  (a) full download of a 20-line schedule at line speed with 15 ms latency per answer,
//      as a ratio to the wire limit (sum over exchanges of request and answer bytes / 11520
//      + latency);
//  (b) time from raising a request bit on an idle connected link to the first request byte
//      on the wire;
//  (c) CPU time of the idle connected link thread over 10 s.
#include "bench_common.h"
#include "link/device_model.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <QEventLoop>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class BenchHost : public LinkHost
{
public:
    std::atomic<int> weatherShown{0};
    std::atomic<bool> connected{false};
    Clock::time_point done;  // the first ExpertWeather was shown: the download is complete

    void setConnected(bool c) override { connected = c; }
    void recordRead(uint32_t bit, bool) override
    {
        if (bit != GetExpertWeather)
            return;
        if (weatherShown == 0)
            done = Clock::now();
        ++weatherShown;
    }
};

// (a)
void benchDownload()
{
    constexpr int Runs = 9;
    constexpr int LatencyMs = 15;
    std::vector<double> ratios, times, late, between, head, tail;
    double limitMs = 0;
    for (int run = 0; run < Runs; ++run) {
        SimulatorPort sim;
        if (!startSlowSimulator(sim, LatencyMs))
            return;
        BenchHost host;
        auto exchangeTimes = std::make_shared<ExchangeTimes>();
        auto thread = TthdCom::Create(sim.portPath(), false, &host, {}, timedTransports(exchangeTimes));
        spin([&] { return host.weatherShown > 0; }, 30000);
        thread->Stop();
        spin([&] { return thread->Finished(); }, 5000);
        thread.reset();

        int exchanges = 0;
        limitMs = wireLimitMs(sim.controller(), LatencyMs, &exchanges);
        if (host.weatherShown == 0)
            continue;
        // From the moment the port is open until the last record of the download is shown.
        const double ms = std::chrono::duration<double, std::milli>(host.done - exchangeTimes->opened).count();
        times.push_back(ms);
        ratios.push_back(ms / limitMs);
        const DownloadSplit split = splitDownload(*exchangeTimes, host.done, LatencyMs, exchanges);
        late.push_back(split.lateAnswers);
        between.push_back(split.between);
        head.push_back(split.head);
        tail.push_back(split.tail);
        if (run == 0)
            std::printf("(a) exchanges in the download: %d, wire limit %.1f ms\n", exchanges, limitMs);
    }
    std::printf("(a) beyond the wire, medians: answers later than the line %.2f ms, link thread between "
                "exchanges %.2f ms, open to first request %.2f ms, last answer to shown %.2f ms\n",
                median(late), median(between), median(head), median(tail));
    std::printf("(a) full download, 20 lines: median %.1f ms, ratio to wire limit median %.3f (max %.3f); target <= 1.05\n",
                median(times), median(ratios), ratios.empty() ? 0.0 : *std::max_element(ratios.begin(), ratios.end()));
}

// A controller on a pty that notes when the first byte of each line arrives.
class TimedPeer
{
public:
    TimedPeer()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        m_path = QString::fromLocal8Bit(ptsname(m_master));
        m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(m_slave, &t);
        cfmakeraw(&t);
        tcsetattr(m_slave, TCSANOW, &t);
        m_thread = std::thread([this] { loop(); });
    }
    ~TimedPeer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_slave);
        ::close(m_master);
    }
    QString path() const { return m_path; }
    SimulatedController &controller() { return m_sim; }
    // Time of the first byte of the next line that begins with prefix, after arm().
    void arm(const char *prefix)
    {
        m_prefix = prefix;
        m_hit = Clock::time_point{};
        m_armed = true;
    }
    Clock::time_point hit() const { return m_hit.load(); }

private:
    void loop()
    {
        bool lineStart = true;
        Clock::time_point lineTime{};
        QByteArray line;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0)
                continue;
            const auto now = Clock::now();
            char buf[512];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                continue;
            for (ssize_t i = 0; i < n; ++i) {
                if (lineStart)
                    lineTime = now;
                lineStart = buf[i] == '\n';
                line.append(buf[i]);
                if (buf[i] == '\n') {
                    if (m_armed && line.startsWith(m_prefix)) {
                        m_hit = lineTime;
                        m_armed = false;
                    }
                    line.clear();
                }
            }
            const QByteArray answer = m_sim.feed(QByteArrayView(buf, n));
            if (!answer.isEmpty() && ::write(m_master, answer.constData(), size_t(answer.size())) < 0)
                continue;
        }
    }

    SimulatedController m_sim;
    int m_master = -1, m_slave = -1;
    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_armed{false};
    const char *m_prefix = "";
    std::atomic<Clock::time_point> m_hit{};
};

// (b)
void benchWakeLatency()
{
    TimedPeer peer;
    peer.controller().setSchedule(lines(2));
    BenchHost host;
    auto thread = TthdCom::Create(peer.path(), false, &host);
    spin([&] { return host.weatherShown > 0; }, 10000);
    std::vector<double> us;
    for (int i = 0; i < 100; ++i) {
        // Let the link go idle (and the poll come and go) in between.
        spin([] { return false; }, 15 + (i * 7) % 40);
        peer.arm("7F01");
        const auto t0 = Clock::now();
        host.model().request(SaveEEPROM);
        spin([&] { return peer.hit() != Clock::time_point{}; }, 2000);
        const auto t1 = peer.hit();
        if (t1 != Clock::time_point{})
            us.push_back(double(std::chrono::duration_cast<std::chrono::microseconds>(t1 - t0).count()));
    }
    thread->Stop();
    spin([&] { return thread->Finished(); }, 5000);
    thread.reset();
    std::printf("(b) raise to first request byte: median %.2f ms, 90th percentile %.2f ms (%zu samples); target median <= 2 ms\n",
                median(us) / 1000.0, percentile(us, 0.9) / 1000.0, us.size());
}

// CPU ticks (user + system) of the threads named name, from /proc.
long threadTicks(const char *name)
{
    long ticks = 0;
    const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name)
            continue;
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        // Fields after the parenthesised name: state is field 3, utime 14, stime 15.
        const QList<QByteArray> f = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 12)
            ticks += f[11].toLong() + f[12].toLong();
    }
    return ticks;
}

// (c)
void benchIdleCpu()
{
    SimulatorPort sim;
    sim.controller().setSchedule(lines(2));
    if (!sim.start())
        return;
    BenchHost host;
    auto thread = TthdCom::Create(sim.portPath(), false, &host);
    thread->setObjectName(QStringLiteral("TthdCom"));
    spin([&] { return host.weatherShown > 0; }, 10000);
    const long hz = sysconf(_SC_CLK_TCK);
    const long before = threadTicks("TthdCom");
    const std::clock_t processBefore = std::clock();
    QElapsedTimer wall;
    wall.start();
    {
        // The UI thread idles in its event loop, as in the program.
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double linkCpu = double(threadTicks("TthdCom") - before) / double(hz);
    const double processCpu = double(std::clock() - processBefore) / CLOCKS_PER_SEC;
    thread->Stop();
    spin([&] { return thread->Finished(); }, 5000);
    thread.reset();
    std::printf("(c) idle connected link over %.1f s: link thread %.2f %% of one core; whole process incl. "
                "simulator and UI thread %.2f %%; target <= 2 %%\n",
                seconds, 100.0 * linkCpu / seconds, 100.0 * processCpu / seconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (only.isEmpty() || only == "a")
        benchDownload();
    if (only.isEmpty() || only == "b")
        benchWakeLatency();
    if (only.isEmpty() || only == "c")
        benchIdleCpu();
    return 0;
}
