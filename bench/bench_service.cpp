// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The program without its window.
//   a  a brightness command published on the broker -> the level write on the wire, with the
//      simulated controller at 115200 baud (real line speed); median and 90th percentile.
//   b  the headless program idle and connected: share of one core over 20 s, and its
//      resident memory; on its own and with the Home Assistant bridge on a broker.
// Needs mosquitto (tools/bootstrap.sh installs it). Usage: bench_service [a|b]
#include "bench_common.h"

#include "mqtt/mosquitto_broker.h"
#include "presentation/localization.h"
#include "service/ha_bridge.h"
#include "service/link_service.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

void commandToWire()
{
    MosquittoBroker broker;
    if (!broker.start()) {
        std::printf("broker: %s\n", qPrintable(broker.error()));
        return;
    }
    QTemporaryDir dir;
    SimulatorPort port;
    port.start();
    SimulatedController &sim = port.controller();
    sim.setThrottle(true);
    ConfigRecord config = sim.config();
    config.Mode = ModeManual;
    sim.setConfig(config);

    ServiceOptions options;
    options.portEntry = port.portPath();
    options.historyPath = dir.filePath("history.sqlite");
    options.programFolder = dir.path() + u'/';
    options.backupRoot = dir.filePath("backups");
    LinkService service(options);
    MqttClient client;
    HaBridge bridge(service, client, broker.settings());
    client.start(broker.settings(), QStringLiteral("bench-service"), nullptr);
    service.start();
    TestSubscriber ha(broker.settings());
    ha.collect(QStringLiteral("aqualumora/#"));
    spin([&] { return service.isComplete() && client.isConnected(); }, 20000);
    const QString topic = bridge.baseTopic() + QStringLiteral("/channel/a/set");
    std::vector<double> ms;
    for (int i = 0; i < 21; ++i) {
        const int level = 1000 + (i % 2) * 1000;
        QTest::qWait(300);   // the link idle, as between two commands of a user
        QElapsedTimer t;
        t.start();
        ha.client.publish(topic, QByteArray(R"({"brightness":)") + QByteArray::number(level) + '}', false);
        while (sim.info().Level[0] != level && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("command -> wire: median %.1f ms, p90 %.1f ms (%zu runs, 115200 baud)\n", median(ms),
                percentile(ms, 0.9), ms.size());
    service.stop();
}

qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void idleService(bool withBroker)
{
    MosquittoBroker broker;
    if (withBroker && !broker.start()) {
        std::printf("broker: %s\n", qPrintable(broker.error()));
        return;
    }
    std::vector<double> shares;
    std::vector<double> rss;
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir home;
        SimulatorPort port;
        port.start();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath("config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath("data"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        p.setProcessEnvironment(env);
        p.setStandardErrorFile(QProcess::nullDevice());
        QStringList args{QStringLiteral("--headless"), port.portPath()};
        if (withBroker)
            args << QStringLiteral("--mqtt=mqtt://127.0.0.1:%1").arg(broker.port());
        p.start(QStringLiteral(AQ_PROGRAM_PATH), args);
        spin([&] { return port.controller().commandCount("86") > 0; }, 20000);
        QTest::qWait(3000);
        const long hz = ::sysconf(_SC_CLK_TCK);
        const qint64 before = cpuTicks(p.processId());
        QElapsedTimer t;
        t.start();
        QTest::qWait(20000);
        const qint64 after = cpuTicks(p.processId());
        shares.push_back(100.0 * double(after - before) / double(hz) / (t.elapsed() / 1000.0));
        rss.push_back(residentKb(p.processId()) / 1024.0);
        p.terminate();
        p.waitForFinished(5000);
    }
    std::printf("headless idle and connected%s: median %.2f %% of a core, %.1f MB resident (%zu runs of 20 s)\n",
                withBroker ? " with the MQTT bridge" : "", median(shares), median(rss), shares.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    LoadLanguageTable(LanguageEnglish);
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("ab");
    if (which.contains(u'a'))
        commandToWire();
    if (which.contains(u'b')) {
        idleService(false);
        idleService(true);
    }
    return 0;
}
