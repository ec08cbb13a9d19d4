// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the whole window, offscreen:
//  (a) the real window connected to the simulated controller at line speed (115200 baud) with
//      15 ms latency per answer: what each record's hand-over costs the link thread (from a
//      worker thread spaced like the link thread's exchanges: the wait for the copy-in, and for
//      comparison copy-in and the window's refresh waited for at once), the time of the
//      window's refresh inside the hand-overs of a real download, and the full download of 20
//      schedule lines as a ratio to the wire limit, with where the time beyond it went;
//  (b) the built program idle and connected (-simulator): % of one core over 20 s, from
//      /proc/<pid>/stat, with the share of each of its threads;
//  (c) time from the start of a process to the first paint of the shown window.
// Usage: bench_window [a|b|c] [program for (b)]
#include "bench_common.h"
#include "app/application.h"
#include "presentation/app_info.h"
#include "app/frm_lumora.h"
#include "app/window_link_host.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "link/records.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

const char *nameOfRead(uint32_t readBit)
{
    switch (readBit) {
    case GetInfo: return "Info";
    case GetConfig: return "Config";
    case GetExpert: return "Expert";
    case GetExpertWeather: return "ExpertWeather";
    case GetChart: return "Chart";
    default: return "other";
    }
}

// The window's link host, timing each refresh it runs for the link thread: from the report
// of a read (or of the schedule download's end) until the window has shown the model's
// change that follows it.
class TimingHost : public WindowLinkHost
{
public:
    explicit TimingHost(TfrmLumora *window) : WindowLinkHost(window, window->model())
    {
        // Connected after the window's own slot: runs when the window's refresh is done.
        connect(&model(), &DeviceModel::changed, this, [this](const DeviceChange &change) {
            if (change.origin == DeviceChange::Origin::Controller)
                finish();
        });
    }
    QMap<QString, std::vector<double>> refreshMs;
    std::atomic<int> weatherShown{0};
    Clock::time_point done;  // the first ExpertWeather was shown: the download is complete

    void setStatusText(const QString &t) override
    {
        start("status text");
        WindowLinkHost::setStatusText(t);
        finish();
    }
    void recordRead(uint32_t readBit, bool copied) override
    {
        start(nameOfRead(readBit));
        WindowLinkHost::recordRead(readBit, copied);
        if (!copied)  // dropped: no change follows
            finish();
    }
    void scheduleDownloaded(bool complete) override
    {
        start("schedule grid");
        WindowLinkHost::scheduleDownloaded(complete);
    }

private:
    void start(const char *name)
    {
        m_name = name;
        m_t0 = Clock::now();
    }
    void finish()
    {
        if (!m_name)
            return;
        refreshMs[QString::fromLatin1(m_name)].push_back(msSince(m_t0));
        if (std::strcmp(m_name, "ExpertWeather") == 0) {
            if (weatherShown == 0)
                done = Clock::now();
            ++weatherShown;
        }
        m_name = nullptr;
    }

    const char *m_name = nullptr;
    Clock::time_point m_t0;
};

// A record's hand-over as the link thread makes it: the copy-in, which the thread waits
// for, and the window's refresh, which follows on the UI thread while the thread goes on.
struct Record {
    const char *name;
    std::function<void(LinkHost &)> copyIn;
    std::function<void(LinkHost &)> show;
    int answerBytes;  // of the read that brings the record
};

// (a)
void benchWindowLink()
{
    constexpr int Runs = 7;
    constexpr int LatencyMs = 15;
    constexpr int Repeats = 40;
    std::vector<double> ratios, times, late, between, head, tail;
    QMap<QString, std::vector<double>> refresh, roundTrip, waited;
    double limitMs = 0;
    int exchanges = 0;
    for (int run = 0; run < Runs; ++run) {
        // The simulator is there before the window, and no port is remembered: the window
        // starts no link of its own, which would compete for the port and the UI thread.
        SimulatorPort sim;
        if (!startSlowSimulator(sim, LatencyMs))
            return;
        ForgetPort();
        auto window = std::make_unique<TfrmLumora>(QStringList{QStringLiteral("-english")});
        window->show();
        QCoreApplication::processEvents();
        TimingHost host(window.get());
        auto exchangeTimes = std::make_shared<ExchangeTimes>();
        auto thread = TthdCom::Create(sim.portPath(), false, &host, {}, timedTransports(exchangeTimes));
        spin([&] { return host.weatherShown > 0; }, 30000);
        limitMs = wireLimitMs(sim.controller(), LatencyMs, &exchanges);
        if (host.weatherShown > 0) {
            // From the moment the port is open until the last record of the download is shown.
            const double ms = std::chrono::duration<double, std::milli>(host.done - exchangeTimes->opened).count();
            times.push_back(ms);
            ratios.push_back(ms / limitMs);
            std::lock_guard<std::mutex> lock(exchangeTimes->mutex);
            const DownloadSplit split = splitDownload(*exchangeTimes, host.done, LatencyMs, exchanges);
            late.push_back(split.lateAnswers);
            between.push_back(split.between);
            head.push_back(split.head);
            tail.push_back(split.tail);
        }
        for (auto it = host.refreshMs.cbegin(); it != host.refreshMs.cend(); ++it)
            refresh[it.key()].insert(refresh[it.key()].end(), it.value().begin(), it.value().end());

        // Each record's hand-over as the link thread pays it, while the link stays connected
        // and polls: copy-in and refresh on the UI thread, the thread waiting for it.
        DeviceModel &model = window->model();
        std::array<uint8_t, 128> config{}, info{}, expert{}, weather{}, chart{};
        model.copyOutConfig(config);
        model.copyOutInfo(SetInfoLevels, info);
        model.copyOutExpert(expert);
        model.copyOutExpertWeather(weather);
        std::memcpy(chart.data(), &model.image().Chart, sizeof(ChartRecord));
        if (model.image().Schedule.size() < 4) {
            std::printf("(a) run %d: the download did not finish\n", run + 1);
            thread->Stop();
            spin([&] { return thread->Finished(); }, 5000);
            continue;
        }
        std::array<uint8_t, ScheduleFrameSize> line{};
        line[0] = 3;
        std::memcpy(line.data() + 1, &model.image().Schedule[3], ScheduleLineSize);
        // A read as the link thread hands it over: the copy-in, then the report and the
        // model's change for it.
        const auto read = [](const char *name, uint32_t bit, std::span<const uint8_t> data, int answerBytes) {
            auto copied = std::make_shared<bool>(false);
            return Record{name, [bit, data, copied](LinkHost &h) { *copied = h.model().copyIn(bit, data); },
                          [bit, copied](LinkHost &h) {
                              h.recordRead(bit, *copied);
                              if (*copied)
                                  h.model().publish(
                                      {DeviceChange::Origin::Controller, DeviceModel::partOfRead(bit), {}});
                          },
                          answerBytes};
        };
        const std::vector<Record> records = {
            read("Config", GetConfig, config, 65),
            read("Info", GetInfo, info, 103),
            read("Expert", GetExpert, expert, 91),
            {"schedule line", [&](LinkHost &h) { h.model().copyInScheduleLine(line); },
             [](LinkHost &h) { h.scheduleLineRead(4, 20); }, 39},
            read("Chart", GetChart, chart, 163),
            read("ExpertWeather", GetExpertWeather, weather, 141),
        };
        std::atomic<bool> done{false};
        QMap<QString, std::vector<double>> trips, waits;
        std::thread worker([&] {
            const auto gate = host.gate();
            for (int i = 0; i < Repeats; ++i) {
                for (const Record &r : records) {
                    // What the link thread waits for, with the exchange that brings the
                    // record (request, latency, answer at line speed) in between ...
                    auto t0 = Clock::now();
                    RunOnHost(gate, r.copyIn, r.show);
                    waits[QString::fromLatin1(r.name)].push_back(msSince(t0));
                    std::this_thread::sleep_for(std::chrono::microseconds(
                        LatencyMs * 1000 + (3 + r.answerBytes) * 1000000 / SimulatedController::LineBytesPerSecond));
                    // ... and the whole of copy-in and refresh, waited for at once.
                    t0 = Clock::now();
                    RunOnHost(gate, [&r](LinkHost &h) {
                        r.copyIn(h);
                        r.show(h);
                    });
                    trips[QString::fromLatin1(r.name)].push_back(msSince(t0));
                    std::this_thread::sleep_for(std::chrono::milliseconds(3));
                }
            }
            done = true;
        });
        spin([&] { return done.load(); }, 60000);
        worker.join();
        for (auto it = trips.cbegin(); it != trips.cend(); ++it)
            roundTrip[it.key()].insert(roundTrip[it.key()].end(), it.value().begin(), it.value().end());
        for (auto it = waits.cbegin(); it != waits.cend(); ++it)
            waited[it.key()].insert(waited[it.key()].end(), it.value().begin(), it.value().end());

        thread->Stop();
        spin([&] { return thread->Finished(); }, 5000);
        thread.reset();
    }
    std::printf("(a) real window, simulated controller at 115200 baud, %d ms latency, %d runs\n", LatencyMs, Runs);
    std::printf("(a) hand-over per record, median / max ms; target median <= 2. What the link thread waits "
                "for (copy-in; the refresh follows without it), then copy-in and refresh waited for at once:\n");
    for (const char *name : {"Config", "Info", "Expert", "schedule line", "Chart", "ExpertWeather"}) {
        const auto &w = waited[QString::fromLatin1(name)];
        const auto &v = roundTrip[QString::fromLatin1(name)];
        std::printf("      %-14s %7.2f / %7.2f   %7.2f / %7.2f  (%zu samples)\n", name, median(w),
                    w.empty() ? 0.0 : *std::max_element(w.begin(), w.end()), median(v),
                    v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()), v.size());
    }
    std::vector<double> save;
    for (int i = 0; i < 40; ++i) {
        const auto t0 = Clock::now();
        SavePort(QStringLiteral("/dev/pts/0 (Simulated controller)"), [](const QString &) {});
        save.push_back(msSince(t0));
    }
    std::printf("      of which remembering the port (SavePort) alone: %.2f ms\n", median(save));
    std::printf("(a) window refresh inside the hand-overs of the full downloads, median ms:\n");
    for (auto it = refresh.cbegin(); it != refresh.cend(); ++it)
        std::printf("      %-14s %7.2f  (%zu samples)\n", qPrintable(it.key()), median(it.value()), it.value().size());
    std::printf("(a) beyond the wire, medians: answers later than the line %.2f ms, link thread between "
                "exchanges %.2f ms, open to first request %.2f ms, last answer to shown %.2f ms\n",
                median(late), median(between), median(head), median(tail));
    std::printf("(a) full download, 20 lines, %d exchanges, wire limit %.1f ms: median %.1f ms, ratio median %.3f "
                "(max %.3f); target <= 1.05\n",
                exchanges, limitMs, median(times), median(ratios),
                ratios.empty() ? 0.0 : *std::max_element(ratios.begin(), ratios.end()));
}

// CPU ticks (user + system) of a process and of each of its threads, from /proc.
long ticksOf(const QString &statPath)
{
    QFile stat(statPath);
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = stat.readAll();
    // Fields after the parenthesised name: state is field 3, utime 14, stime 15.
    const QList<QByteArray> f = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return f.size() > 12 ? f[11].toLong() + f[12].toLong() : 0;
}

QMap<QString, long> threadTicks(qint64 pid)
{
    QMap<QString, long> ticks;
    const QString dir = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList tasks = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tasks) {
        QFile comm(dir + u'/' + tid + QStringLiteral("/comm"));
        const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : tid;
        ticks[name + QStringLiteral(" [") + tid + u']'] += ticksOf(dir + u'/' + tid + QStringLiteral("/stat"));
    }
    return ticks;
}

// The environment of a started program: offscreen, with settings and data in home.
QProcessEnvironment childEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    return env;
}

// (b)
void benchIdleProgram(const QString &program)
{
    constexpr int Runs = 3;
    constexpr int SettleMs = 8000;  // connect and full download
    constexpr int MeasureMs = 20000;
    if (!QFile::exists(program)) {
        std::printf("(b) program not found: %s\n", qPrintable(program));
        return;
    }
    const long hz = sysconf(_SC_CLK_TCK);
    std::vector<double> percent;
    QMap<QString, std::vector<double>> perThread;
    for (int run = 0; run < Runs; ++run) {
        QTemporaryDir home;
        const QProcessEnvironment env = childEnvironment(home.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home.path());
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(program, {QStringLiteral("-simulator"), QStringLiteral("-english")});
        if (!p.waitForStarted(5000)) {
            std::printf("(b) cannot start %s\n", qPrintable(program));
            return;
        }
        QThread::msleep(SettleMs);
        const QString stat = QStringLiteral("/proc/%1/stat").arg(p.processId());
        const long before = ticksOf(stat);
        const QMap<QString, long> threadsBefore = threadTicks(p.processId());
        QElapsedTimer wall;
        wall.start();
        QThread::msleep(MeasureMs);
        const long after = ticksOf(stat);
        const QMap<QString, long> threadsAfter = threadTicks(p.processId());
        const double seconds = double(wall.elapsed()) / 1000.0;
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(2000);
        }
        percent.push_back(100.0 * double(after - before) / double(hz) / seconds);
        for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it) {
            QString name = it.key().section(u' ', 0, 0);
            perThread[name].push_back(100.0 * double(it.value() - threadsBefore.value(it.key())) / double(hz) /
                                      seconds);
        }
        std::printf("(b) run %d: %.2f %% of one core over %.1f s\n", run + 1, percent.back(), seconds);
    }
    std::printf("(b) idle connected program (-simulator, offscreen): median %.2f %% of one core over %d s; "
                "target <= 0.5 %%\n", median(percent), MeasureMs / 1000);
    std::printf("(b) by thread name (median %%; one clock tick is %.2f %%):\n", 100.0 / double(hz) / (MeasureMs / 1000.0));
    for (auto it = perThread.cbegin(); it != perThread.cend(); ++it)
        std::printf("      %-16s %6.2f\n", qPrintable(it.key()), median(it.value()));
}

// (c), parent side: starts this program in child mode, which reports the time from the
// parent's start call to the window's first paint.
void benchStartup(const QString &self)
{
    constexpr int Runs = 9;
    std::vector<double> total, toMain, build, toPaint;
    for (int run = 0; run < Runs; ++run) {
        QTemporaryDir home;
        QProcessEnvironment env = childEnvironment(home.path());
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        env.insert(QStringLiteral("AQ_BENCH_T0_NS"), QString::number(qint64(now.tv_sec) * 1000000000 + now.tv_nsec));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(self, {QStringLiteral("startup-child")});
        if (!p.waitForFinished(30000)) {
            p.kill();
            continue;
        }
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 4)
            continue;
        toMain.push_back(f[0].toDouble());
        build.push_back(f[1].toDouble());
        toPaint.push_back(f[2].toDouble());
        total.push_back(f[3].toDouble());
    }
    std::printf("(c) start to window painted, %zu runs, medians: process start to main %.1f ms, window "
                "built %.1f ms, shown and painted %.1f ms, total %.1f ms; target <= 150 ms\n",
                total.size(), median(toMain), median(build), median(toPaint), median(total));
}

double msSinceParent()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const qint64 t0 = qEnvironmentVariable("AQ_BENCH_T0_NS").toLongLong();
    return double(qint64(now.tv_sec) * 1000000000 + now.tv_nsec - t0) / 1e6;
}

// Notes the first paint of a widget.
class PaintSpy : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(o, e);
    }
};

// (c), child side: what main() of the program does, up to the first paint.
int startupChild(int argc, char **argv)
{
    const double atMain = msSinceParent();
    QCoreApplication::setOrganizationName(QString::fromLatin1(AppInfo::OrganizationName));
    QCoreApplication::setApplicationName(QStringLiteral("Aqualumora"));
    TApplication app(argc, argv);
    auto window = std::make_unique<TfrmLumora>(QStringList{QStringLiteral("-english")});
    const double built = msSinceParent();
    PaintSpy spy;
    window->installEventFilter(&spy);
    window->show();
    spin([&] { return spy.painted; }, 10000);
    const double shown = msSinceParent();
    std::printf("%.2f %.2f %.2f %.2f\n", atMain, built - atMain, shown - built, shown);
    std::fflush(stdout);
    window.reset();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "startup-child") == 0)
        return startupChild(argc, argv);
    const QString program = QFileInfo(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(AQ_PROGRAM_PATH))
                                .absoluteFilePath();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window remembers the port and writes backups: keep that out of the user's settings.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    QDir::setCurrent(home.path());
    QApplication app(argc, argv);
    const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (only.isEmpty() || only == "a")
        benchWindowLink();
    if (only.isEmpty() || only == "b")
        benchIdleProgram(program);
    if (only.isEmpty() || only == "c")
        benchStartup(QCoreApplication::applicationFilePath());
    return 0;
}
