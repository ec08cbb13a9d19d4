// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "files/ini_file.h"
#include "files/settings_file.h"
#include "history/history_store.h"
#include "link/port_claim.h"
#include "mqtt/mosquitto_broker.h"
#include "mqtt/mqtt_client.h"
#include "mqtt/mqtt_settings.h"
#include "presentation/localization.h"
#include "program_env.h"
#include "service/controller_state.h"
#include "service/ha_bridge.h"
#include "service/link_service.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <csignal>

namespace {

QJsonObject json(const std::optional<QByteArray> &payload)
{
    return payload ? QJsonDocument::fromJson(*payload).object() : QJsonObject();
}

// A simulated controller on a pseudo-terminal reached through a link that stays where it is
// when the device vanishes and comes back.
struct Tank {
    explicit Tank(const QString &link)
    {
        port.setLinkPath(link);
        port.start();
    }
    SimulatedController &sim() { return port.controller(); }
    void setMode(uint8_t mode)
    {
        ConfigRecord config = sim().config();
        config.Mode = mode;
        sim().setConfig(config);
    }
    SimulatorPort port;
};

// Messages on topic are read until one is value (a retained older one may come first).
bool waitValue(TestSubscriber &sub, const QString &topic, const QByteArray &value, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired())
        if (sub.waitFor(topic, int(std::max<qint64>(1, deadline.remainingTime()))) == value)
            return true;
    return false;
}

// The newest message on topic.
std::optional<QByteArray> lastOf(TestSubscriber &sub, const QString &topic)
{
    std::optional<QByteArray> last = sub.waitFor(topic, 3000);
    while (std::optional<QByteArray> next = sub.waitFor(topic, 200))
        last = next;
    return last;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs = 10000)
{
    for (int waited = 0; waited < timeoutMs && !done(); waited += 10)
        QTest::qWait(10);
    return done();
}

} // namespace

class TstService : public QObject
{
    Q_OBJECT

    QTemporaryDir home;

    // The bridge of one service for one tank, on the broker.
    struct Bridged {
        Bridged(Tank &tank, const MqttSettings &settings, const QString &dataDir)
            : service([&] {
                  ServiceOptions o;
                  o.portEntry = tank.port.portPath();
                  o.historyPath = dataDir + QStringLiteral("/history.sqlite");
                  o.programFolder = dataDir + u'/';
                  o.backupRoot = dataDir + QStringLiteral("/backups");
                  return o;
              }()),
              bridge(service, client, settings)
        {
            client.setWill(bridge.availabilityTopic(), "offline", true);
            client.start(settings, QStringLiteral("tst-service"), nullptr);
            service.start();
        }
        ~Bridged() { service.stop(); }
        LinkService service;
        MqttClient client;
        HaBridge bridge;
    };

    QProcess *program(const QStringList &args, const QString &dataHome = QString())
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = privateProgramEnvironment(dataHome.isEmpty() ? home.path() : dataHome);
        // Neither a display nor a platform: the program must not need one.
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(AQ_PROGRAM), args);
        return p;
    }

private slots:
    void initTestCase()
    {
        LoadLanguageTable(LanguageEnglish);
        qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    }

    void homeAssistant()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error()));
        TestSubscriber ha(broker.settings());
        QVERIFY(ha.collect(QStringLiteral("homeassistant/#")));
        QVERIFY(ha.collect(QStringLiteral("aqualumora/#")));
        Tank tank(home.filePath(QStringLiteral("tank1")));
        tank.setMode(ModeManual);
        const QString id = HaBridge::controllerId(tank.port.portPath());
        const QString base = QStringLiteral("aqualumora/") + id;
        // A command the broker kept from earlier is not carried out at the subscription.
        ha.client.publish(base + QStringLiteral("/channel/b/set"), R"({"brightness":1234})", true);
        Bridged b(tank, broker.settings(), home.filePath(QStringLiteral("bridge")));

        QVERIFY(waitValue(ha, base + QStringLiteral("/availability"), "online"));
        QVERIFY(waitUntil([&] { return b.service.isComplete(); }));
        // One device: twelve lights named by their colours, mode, switches, sensors, button.
        for (int i = 0; i < ChannelCount; ++i) {
            const QJsonObject light = json(lastOf(ha, QStringLiteral("homeassistant/light/aqualumora_%1/channel_%2/config")
                                                          .arg(id, ChannelLetter(i).toLower())));
            QCOMPARE(light.value("name").toString(), ColorName(tank.sim().config().ColorName[i]));
            QCOMPARE(light.value("brightness_scale").toInt(), LevelFull);
            QCOMPARE(light.value("supported_color_modes").toArray(), QJsonArray{"brightness"});
            QCOMPARE(light.value("device").toObject().value("identifiers").toArray().first().toString(),
                     QStringLiteral("aqualumora_") + id);
            QCOMPARE(light.value("device").toObject().value("sw_version").toString(), QString("1.x.5"));
        }
        // Home Assistant restarted: it is told everything again.
        ha.client.publish(QStringLiteral("homeassistant/status"), "online", false);
        QVERIFY(ha.waitFor(QStringLiteral("homeassistant/light/aqualumora_%1/channel_a/config").arg(id)));
        QCOMPARE(json(ha.waitFor(QStringLiteral("homeassistant/select/aqualumora_%1/mode/config").arg(id)))
                     .value("options").toArray().size(), 5);
        for (const char *entity : {"switch/%1/clouds", "switch/%1/thunderstorm", "sensor/%1/water_temperature",
                                   "sensor/%1/supply_voltage", "sensor/%1/clock_offset", "binary_sensor/%1/fan",
                                   "binary_sensor/%1/cooler", "binary_sensor/%1/heater", "button/%1/set_clock"}) {
            const QString topic = QStringLiteral("homeassistant/") +
                QString::fromLatin1(entity).arg(QStringLiteral("aqualumora_") + id) + QStringLiteral("/config");
            QVERIFY2(ha.waitFor(topic), qPrintable(topic));
        }
        QVERIFY(waitValue(ha, base + QStringLiteral("/mode"), "Manual"));

        // A brightness command reaches the wire; the state follows.
        ha.client.publish(base + QStringLiteral("/channel/c/set"), R"({"state":"ON","brightness":2048})", false);
        QVERIFY(waitUntil([&] { return tank.sim().info().Level[2] == 2048; }));
        QVERIFY(waitValue(ha, base + QStringLiteral("/channel/c"), R"({"brightness":2048,"color_mode":"brightness","state":"ON"})"));

        // Bad commands are dropped and write nothing.
        const int writesBefore = tank.sim().commandCount("01") + tank.sim().commandCount("02");
        const QList<std::pair<QString, QByteArray>> bad = {
            {"/channel/a/set", "{not json"},
            {"/channel/a/set", R"({"brightness":5000})"},
            {"/channel/a/set", R"({"brightness":-1})"},
            {"/channel/a/set", R"({"state":"MAYBE"})"},
            {"/channel/a/set", QByteArray(HaBridge::MaxCommandPayload + 1, 'x')},
            {"/channel/z/set", R"({"state":"ON"})"},
            {"/mode/set", "Disco"},
            {"/clouds/set", "ON"},   // clouds run in Auto and Geo only
            {"/set_clock/press", "NOW"},
        };
        QCOMPARE(b.bridge.droppedCommands(), 1);   // the retained one
        QVERIFY(tank.sim().info().Level[1] != 1234);
        for (const auto &[topic, payload] : bad)
            ha.client.publish(base + topic, payload, false);
        QTRY_COMPARE(b.bridge.droppedCommands(), 1 + int(bad.size()));
        QTest::qWait(300);
        QCOMPARE(tank.sim().commandCount("01") + tank.sim().commandCount("02"), writesBefore);

        // A burst folds into few writes; the latest level wins.
        for (int level = 100; level <= 2000; level += 100)
            ha.client.publish(base + QStringLiteral("/channel/d/set"), QByteArray(R"({"brightness":)") + QByteArray::number(level) + '}', false);
        QVERIFY(waitUntil([&] { return tank.sim().info().Level[3] == 2000; }));
        QVERIFY(tank.sim().commandCount("01") - writesBefore < 10);
        // Read-back polls go on between the writes.
        QVERIFY(tank.sim().commandCount("81") > 0);

        // The controller vanishes: offline; it comes back: online again.
        tank.port.vanish();
        QVERIFY(waitValue(ha, base + QStringLiteral("/availability"), "offline", 15000));
        QVERIFY(tank.port.comeBack().ok);
        QVERIFY(waitValue(ha, base + QStringLiteral("/availability"), "online", 20000));

        // The broker restarts (and forgets every retained message): all is published again.
        QVERIFY(broker.restart());
        QVERIFY(ha.collect(QStringLiteral("aqualumora/#"), 10000));
        QVERIFY(waitValue(ha, base + QStringLiteral("/availability"), "online", 20000));
        QVERIFY(ha.waitFor(QStringLiteral("homeassistant/light/aqualumora_%1/channel_a/config").arg(id), 5000));
        ha.client.publish(base + QStringLiteral("/mode/set"), "Auto", false);
        QVERIFY(waitUntil([&] { return tank.sim().config().Mode == ModeAuto; }));
    }

    void brokerIdentities()
    {
        // Two computers with a ttyUSB0 each on one broker: neither throws the other off, and
        // with a prefix each they are two devices.
        const QString one = HaBridge::clientId(QStringLiteral("ttyUSB0"), QStringLiteral("kitchen"));
        QVERIFY(one != HaBridge::clientId(QStringLiteral("ttyUSB0"), QStringLiteral("hall")));
        QCOMPARE(one, HaBridge::clientId(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("kitchen")));
        QVERIFY(HaBridge::clientId(QStringLiteral("00:11:22:AA:BB:CC"), QString(256, u'h')).size() <= 23);
        ServiceOptions options;
        options.portEntry = QStringLiteral("ttyUSB0");
        options.recordHistory = false;   // nothing is started, so nothing is written either
        LinkService service(options);
        MqttClient client;
        MqttSettings settings;
        settings.topicPrefix = QStringLiteral("tank/kitchen");
        QCOMPARE(HaBridge(service, client, settings).nodeId(), QStringLiteral("tank_kitchen_ttyUSB0"));
    }

    void oneShotCommands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("status") << QStringList{"--status"} << 0 << "";
        QTest::newRow("export") << QStringList{"--export=@/export.ini"} << 0 << "";
        QTest::newRow("import") << QStringList{"--import=@/import.ini"} << 0 << "";
        QTest::newRow("set clock") << QStringList{"--set-clock"} << 0 << "";
        QTest::newRow("backup") << QStringList{"/BACKUP"} << 0 << "";
        QTest::newRow("import of a missing file") << QStringList{"--import=@/none.ini"} << 1 << "Could not read";
        QTest::newRow("port held") << QStringList{"--status", "held"} << 1 << "is in use by";
        QTest::newRow("no controller") << QStringList{"--status", "/dev/aqualumora-none"} << 1 << "Error while connecting";
        QTest::newRow("two commands") << QStringList{"--status", "--backup"} << 2 << "only one of";
        QTest::newRow("file missing") << QStringList{"--export"} << 2 << "needs a file";
        QTest::newRow("unknown switch") << QStringList{"--status", "--colour"} << 2 << "unknown switch";
    }
    void oneShotCommands()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, stderrHas);
        Tank tank(home.filePath(QStringLiteral("tank-oneshot")));
        tank.sim().setDeviceTime(QDateTime::currentDateTime().addSecs(-3600));
        QTemporaryDir files;
        QFile import(files.filePath("import.ini"));
        QVERIFY(import.open(QIODevice::WriteOnly));
        import.write("[Config]\nLat=-337\nLon=1512\n[0]\nHour=7\nMinute=15\n");
        import.close();
        PortClaim claim;
        for (QString &arg : args)
            arg.replace(u'@', files.path());
        if (args.contains("held")) {
            QVERIFY(!claim.acquire(tank.port.portPath()));
            args.replaceInStrings("held", tank.port.portPath());
        } else if (!args.join(u' ').contains("/dev/")) {
            args << tank.port.portPath();
        }
        QProcess *p = program(args);
        QVERIFY(p->waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(p->readAllStandardError());
        const QByteArray out = p->readAllStandardOutput();
        QCOMPARE(p->exitCode(), status);
        if (status != 0)
            QVERIFY2(err.contains(stderrHas) && err.count(u'\n') <= 2, qPrintable(err));
        else
            QVERIFY2(err.isEmpty(), qPrintable(err));
        const QString command = status == 0 ? args.first() : QString();
        if (command == "--status") {
            const QJsonObject s = QJsonDocument::fromJson(out).object();
            QCOMPARE(s.value("product").toString(), QString("Aqualumora 1.x"));
            QCOMPARE(s.value("firmware").toInt(), 5);
            QVERIFY(std::abs(s.value("clockOffsetSeconds").toInt() + 3600) <= 2);
            QCOMPARE(s.value("levels").toArray().size(), ChannelCount);
        } else if (command.startsWith("--export")) {
            IniFile ini;
            QCOMPARE(IniFile::load(files.filePath("export.ini"), &ini), IniFile::LoadResult::Loaded);
            QCOMPARE(ini.integer("Config", "Lat"), std::optional<int64_t>(tank.sim().config().Lat));
        } else if (command.startsWith("--import")) {
            QCOMPARE(int(tank.sim().config().Lat), -337);
            QCOMPARE(int(tank.sim().config().Lon), 1512);
            QCOMPARE(int(tank.sim().schedule().at(0).Hour), 7);
        } else if (command == "--set-clock") {
            QVERIFY(std::abs(tank.sim().deviceTime().secsTo(QDateTime::currentDateTime())) <= 2);
        } else if (command == "/BACKUP") {
            QVERIFY2(QFile::exists(QString::fromLocal8Bit(out.trimmed())), out.constData());
        }
    }

    void twoServicesShareTheHistory()
    {
        Tank one(home.filePath(QStringLiteral("tankA")));
        Tank two(home.filePath(QStringLiteral("tankB")));
        QTemporaryDir shared;
        QList<QProcess *> services;
        for (Tank *tank : {&one, &two})
            services << program({"--headless", tank->port.portPath()}, shared.path());
        QByteArray logs;
        for (QProcess *p : services)
            QVERIFY(waitUntil([p, &logs] { logs += p->readAllStandardError(); return logs.contains("Connected to Aqualumora"); }, 15000)
                    || p->state() == QProcess::Running);
        QVERIFY(waitUntil([&] { return one.sim().commandCount("86") > 0 && two.sim().commandCount("86") > 0; }));
        QTest::qWait(1500);   // a few polls each

        // SIGHUP: both take the broker the settings now name, and say goodbye to it at the end.
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error()));
        TestSubscriber ha(broker.settings());
        QVERIFY(ha.collect(QStringLiteral("aqualumora/#")));
        MqttSettings settings = broker.settings();
        settings.enabled = true;
        qputenv("XDG_CONFIG_HOME", shared.filePath("config").toLocal8Bit());
        const bool saved = SaveMqttSettings(settings, nullptr);
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(saved);
        for (QProcess *p : services)
            ::kill(pid_t(p->processId()), SIGHUP);
        QStringList availability;
        for (Tank *tank : {&one, &two}) {
            availability << QStringLiteral("aqualumora/%1/availability").arg(HaBridge::controllerId(tank->port.portPath()));
            QVERIFY(waitValue(ha, availability.last(), "online"));
        }
        QElapsedTimer stopping;
        stopping.start();
        for (QProcess *p : services)
            ::kill(pid_t(p->processId()), SIGTERM);
        for (QProcess *p : services) {
            QVERIFY(p->waitForFinished(5000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        QVERIFY2(stopping.elapsed() < 2000, qPrintable(QString::number(stopping.elapsed())));
        for (const QString &topic : availability)
            QVERIFY(waitValue(ha, topic, "offline", 3000));
        for (QProcess *p : services)
            logs += p->readAllStandardError();
        HistoryStore store;
        QVERIFY(store.openForReading(shared.filePath("data/Aqualumora/history.sqlite")));
        QVERIFY2(store.controllers().size() == 2, logs.constData());
        for (Tank *tank : {&one, &two})
            QVERIFY(QFile::exists(BackupFilePath(shared.filePath("data/Aqualumora/"), tank->port.portPath())));
    }
};

QTEST_GUILESS_MAIN(TstService)
#include "tst_service.moc"
