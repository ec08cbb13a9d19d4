// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The link thread against the simulated controller on a pseudo-terminal.
#include "presentation/localization.h"
#include "link/device_model.h"
#include "link/firmware.h"
#include "link/serial_port.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// Records what the link thread hands over, as the window would show it.
class TestHost : public LinkHost
{
public:
    QStringList log;        // every line the log would get (status texts included)
    QStringList status;     // status panel texts
    QList<bool> connected;  // setConnected calls
    int infoShown = 0, configShown = 0, expertShown = 0, weatherShown = 0, gridFilled = 0, chartDrawn = 0;
    std::function<void()> onStatus;

    void addLog(const QString &t) override { log << t; }
    void setStatusText(const QString &t) override
    {
        status << t;
        log << t;
        if (onStatus)
            onStatus();
    }
    void setConnected(bool c) override { connected << c; }
    // Every read the window would refresh after, copied or not.
    void recordRead(uint32_t bit, bool) override
    {
        switch (bit) {
        case GetInfo: ++infoShown; break;
        case GetConfig: ++configShown; break;
        case GetExpert: ++expertShown; break;
        case GetExpertWeather: ++weatherShown; break;
        case GetChart: ++chartDrawn; break;
        default: break;
        }
    }

    TestHost()
    {
        QObject::connect(&model(), &DeviceModel::changed, this, [this](const DeviceChange &change) {
            if (change.origin == DeviceChange::Origin::Controller && (change.parts & PartSchedule))
                ++gridFilled;
        });
    }
};

LinkTimings fastTimings()
{
    LinkTimings t;
    t.readTimeoutMs = 250;
    t.writeTimeoutMs = 250;
    t.idleSleepMs = 5;  // the poll every 25 passes comes four times as often
    t.openRetryWaitMs = 60;
    t.lostDeviceWaitMs = 60;
    t.bootloaderWaitMs = 30;
    return t;
}

std::vector<ScheduleLine> makeLines(int count)
{
    std::vector<ScheduleLine> lines(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ScheduleLine &l = lines[size_t(i)];
        l.Hour = uint8_t(i % 24);
        l.Minute = uint8_t((i * 7) % 60);
        l.Alt = int16_t(100 * i - 500);
        for (int c = 0; c < ChannelCount; ++c)
            l.Color16[c] = uint8_t((i + c * 3) % 101);
        l.Switch = uint8_t(0x20 | (i & 0x1F));
    }
    return lines;
}

// What the controller received, as codes ("80", "83", "7F01", ...), oldest first.
QStringList codesOf(const SimulatedController &sim)
{
    QStringList out;
    const auto frames = sim.frames();
    for (const SimFrame &f : frames)
        out << QString::fromLatin1(f.text.startsWith("7F") ? f.text.left(4) : f.text.left(2));
    return out;
}

QByteArray lastFrameWith(const SimulatedController &sim, const QByteArray &code)
{
    const auto frames = sim.frames();
    for (auto it = frames.crbegin(); it != frames.crend(); ++it)
        if (it->text.startsWith(code))
            return it->text;
    return {};
}

bool sameBytes(const void *a, const void *b, size_t n) { return std::memcmp(a, b, n) == 0; }

// Positions in the frame log of the frames whose text starts with code.
QList<qsizetype> framesWith(const QList<SimFrame> &frames, const QByteArray &code)
{
    QList<qsizetype> at;
    for (qsizetype i = 0; i < frames.size(); ++i)
        if (frames[i].text.startsWith(code))
            at << i;
    return at;
}

// The controller's clock carried by an "01" frame.
QDateTime clockOf(const QByteArray &frameText)
{
    const QByteArray bytes = QByteArray::fromHex(frameText.mid(2));
    InfoRecord info{};
    std::memcpy(&info, bytes.constData(), std::min<size_t>(sizeof info, size_t(bytes.size())));
    return QDateTime(controllerDate(info), controllerTime(info), Qt::UTC);
}

} // namespace

class tst_ThdCom : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fullDownloadInOrder();
    void twoControllersStayApart();
    void tracesNamesAndLines();
    void periodicPoll();
    void identification_data();
    void identification();
    void firmwareUpdateRoundTrip();
    void lineCountZero();
    void infoWriteVariantsOnTheWire_data();
    void infoWriteVariantsOnTheWire();
    void recordWritesOnTheWire_data();
    void recordWritesOnTheWire();
    void finalSetSchedulePassSendsNothing();
    void unacknowledgedWritesAreRepeated_data();
    void unacknowledgedWritesAreRepeated();
    void refusedWriteIsBoundedAndPollsGoOn_data();
    void refusedWriteIsBoundedAndPollsGoOn();
    void repeatedWriteCarriesWhatIsCurrent_data();
    void repeatedWriteCarriesWhatIsCurrent();
    void newConnectionStartsClean_data();
    void newConnectionStartsClean();
    void serviceOrderOnTheWire();
    void productionTimings();
    void garbledAnswersRecover_data();
    void garbledAnswersRecover();
    void silenceClosesAndReconnects();
    void portCannotBeOpened();
    void portSwitch();
    void stopDuringScheduleDownload();
    void controllerVanishesAndComesBack();
    void destroyHostDuringExchange();
    void destroyHostWhileHandOverPending();
    void destroyThreadWhileHandOverPending();
    void raisedBitServedWithoutIdleWait();

private:
    // Starts a simulator and a link thread on it and waits for the full download.
    bool connectAndDownload(int lines = 3);

    // The controller's state as the host's model holds it.
    DeviceModel &model() { return m_host->model(); }
    DeviceImage &img() { return model().imageForLoading(); }

    std::unique_ptr<SimulatorPort> m_sim;
    std::unique_ptr<TestHost> m_host;
    std::unique_ptr<TthdCom> m_thread;
};

void tst_ThdCom::init()
{
    m_host = std::make_unique<TestHost>();
    m_sim = std::make_unique<SimulatorPort>();
    QVERIFY(m_sim->start());
}

void tst_ThdCom::cleanup()
{
    if (m_thread) {
        m_thread->Stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
    }
    m_thread.reset();
    m_host.reset();
    m_sim.reset();
}

bool tst_ThdCom::connectAndDownload(int lines)
{
    m_sim->controller().setSchedule(makeLines(lines));
    m_thread = TthdCom::Create(m_sim->portPath() + QStringLiteral(" (Simulated controller)"), false,
                               m_host.get(), fastTimings());
    QElapsedTimer t;
    t.start();
    while (m_host->weatherShown == 0 && t.elapsed() < 10000)
        QTest::qWait(5);
    return m_host->weatherShown > 0;
}

void tst_ThdCom::fullDownloadInOrder()
{
    QVERIFY(connectAndDownload(4));
    QStringList expected{"80", "82", "81", "85", "83", "83", "83", "83", "87", "86"};
    QCOMPARE(codesOf(m_sim->controller()).mid(0, expected.size()), expected);

    const QString port = m_sim->portPath();
    QCOMPARE(m_thread->PortName(), port);
    QCOMPARE(m_host->status.mid(0, 8),
             (QStringList{QStringLiteral("Connecting to %1...").arg(port),
                          QStringLiteral("Connected to Aqualumora 1.x.5 on %1").arg(port),
                          QStringLiteral("Downloading schedule..."), QStringLiteral("Done."),
                          QStringLiteral("Downloading chart..."), QStringLiteral("Done.")})
                 .mid(0, 8));
    QCOMPARE(m_host->connected.value(0), true);
    QCOMPARE(m_host->gridFilled, 1);
    QCOMPARE(m_host->chartDrawn, 1);

    // The image holds what the controller has.
    const SimulatedController &sim = m_sim->controller();
    const ConfigRecord config = sim.config();
    QVERIFY(sameBytes(&img().Config, &config, sizeof config));
    const ExpertRecord expert = sim.expert();
    QVERIFY(sameBytes(&img().Expert, &expert, sizeof expert));
    const ExpertWeatherRecord weather = sim.expertWeather();
    QVERIFY(sameBytes(&img().ExpertWeather, &weather, sizeof weather));
    const auto lines = sim.schedule();
    QCOMPARE(img().Schedule.size(), size_t(4));
    QVERIFY(sameBytes(img().Schedule.data(), lines.data(), 4 * sizeof(ScheduleLine)));
    QCOMPARE(model().pendingRequests() & FullDownload, 0u);
}

// Two controllers, each with its model and link thread, in one process: an edit of one
// reaches only its own controller, and each image holds what its own controller has.
void tst_ThdCom::twoControllersStayApart()
{
    QVERIFY(connectAndDownload(2));
    SimulatorPort otherSim;
    QVERIFY(otherSim.start());
    otherSim.controller().setSchedule(makeLines(5));
    TestHost otherHost;
    auto other = TthdCom::Create(otherSim.portPath(), false, &otherHost, fastTimings());
    QTRY_VERIFY_WITH_TIMEOUT(otherHost.weatherShown > 0, 10000);
    QCOMPARE(otherHost.model().image().Schedule.size(), size_t(5));
    QCOMPARE(model().image().Schedule.size(), size_t(2));

    m_sim->controller().clearHistory();
    otherSim.controller().clearHistory();
    model().setLevel(3, 1234);
    QTRY_VERIFY_WITH_TIMEOUT(!lastFrameWith(m_sim->controller(), "01").isEmpty(), 5000);
    InfoRecord sent{};
    const QByteArray bytes = QByteArray::fromHex(lastFrameWith(m_sim->controller(), "01").mid(2));
    std::memcpy(&sent, bytes.constData(), std::min<size_t>(sizeof sent, size_t(bytes.size())));
    QCOMPARE(int(sent.Level[3]), 1234);
    QTest::qWait(200);  // a few polls of the other link
    QVERIFY(!codesOf(otherSim.controller()).contains(QStringLiteral("01")));
    QCOMPARE(otherHost.model().pendingRequests() & SetInfoAny, 0u);
    other->Stop();
    QTRY_VERIFY_WITH_TIMEOUT(other->Finished(), 5000);
}

void tst_ThdCom::tracesNamesAndLines()
{
    m_sim->controller().setSchedule(makeLines(1));
    m_thread = TthdCom::Create(m_sim->portPath(), true, m_host.get(), fastTimings());
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown > 0, 10000);
    const QStringList &log = m_host->log;
    const qsizetype device = log.indexOf(QStringLiteral("GetDevice"));
    QVERIFY(device >= 0);
    QCOMPARE(log.value(device + 1), QStringLiteral("OUT: \"80\" ") + log.value(device + 1).mid(10));
    QVERIFY(log.value(device + 2).startsWith(QStringLiteral("IN: \"800105\\r\" ")));
    for (const char *name : {"GetConfig", "GetInfo", "GetExpert", "GetSchedule", "GetChart", "GetExpertWeather"}) {
        const qsizetype at = log.indexOf(QString::fromLatin1(name));
        QVERIFY2(at > device, name);
        QVERIFY(log.value(at + 1).startsWith(QStringLiteral("OUT: \"")));
        QVERIFY(log.value(at + 2).startsWith(QStringLiteral("IN: \"")));
    }
}

void tst_ThdCom::periodicPoll()
{
    QVERIFY(connectAndDownload());
    SimulatedController &sim = m_sim->controller();
    sim.clearHistory();
    const int infoBefore = m_host->infoShown;
    // Every 25th idle pass.
    QTRY_VERIFY_WITH_TIMEOUT(sim.commandCount("81") >= 2 && sim.commandCount("82") >= 2, 5000);
    // The simulator counts a command before its answer has reached the host.
    QTRY_VERIFY_WITH_TIMEOUT(m_host->infoShown >= infoBefore + 2, 5000);
    // Nothing else is read.
    QCOMPARE(sim.commandCount("83") + sim.commandCount("85") + sim.commandCount("86") + sim.commandCount("87"), 0);
}

void tst_ThdCom::identification_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("ends");

    QTest::newRow("firmware 4") << 1 << 4
                                << QStringLiteral("Aqualumora 1.x.4 on %1 detected (different firmware version). Please "
                                                  "use the correct software version or update the firmware (see menu "
                                                  "\"File\")!")
                                << false;
    QTest::newRow("type 5") << 5 << -1
                            << QStringLiteral("Different hardware \"Aqualumora 2.x\" detected. Please use the correct software!")
                            << true;
    QTest::newRow("type 12") << 12 << -1
                             << QStringLiteral("Different hardware \"12\" detected. Please use the correct software!")
                             << true;
}

void tst_ThdCom::identification()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QString, message);
    QFETCH(bool, ends);

    SimulatedController &sim = m_sim->controller();
    sim.setIdentity(type, version);
    const QString port = m_sim->portPath();
    m_thread = TthdCom::Create(port, false, m_host.get(), fastTimings());
    message = message.contains(u'%') ? message.arg(port) : message;
    QTRY_VERIFY_WITH_TIMEOUT(m_host->status.contains(message), 5000);
    if (ends) {
        QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
        QTRY_COMPARE(m_host->status.last(), QStringLiteral("Disconnected from %1").arg(port));
        QCOMPARE(m_host->connected.last(), false);
    } else {
        // Identification repeats every 25th pass without further messages; nothing is read.
        QTRY_VERIFY_WITH_TIMEOUT(sim.commandCount("80") >= 3, 5000);
        QCOMPARE(m_host->status.count(message), 1);
        QCOMPARE(m_host->status.last(), message);
        QVERIFY(!m_host->connected.contains(true));
        QCOMPARE(codesOf(sim).count(QStringLiteral("80")), codesOf(sim).size());
    }
}

void tst_ThdCom::firmwareUpdateRoundTrip()
{
    // Requested while the firmware runs: restart into the bootloader, identify it, offer
    // the transfer; the transfer here only restarts the controller, which then comes back
    // with its firmware and is downloaded again.
    std::atomic<int> transfers{0};
    std::atomic<uint32_t> flashSize{0};
    m_thread = std::make_unique<TthdCom>(m_host.get(), fastTimings());
    m_thread->setFirmwareTransfer([&](TthdCom &t) {
        ++transfers;
        flashSize = t.bootInfoRecord().FlashSize;
        t.frameBuffer().fill(0);
        t.protocol().ExchangeSet(LinkCommands::BootRestart);
    });
    m_sim->controller().setSchedule(makeLines(1));
    m_thread->setEntry(m_sim->portPath(), false);
    m_thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 1, 10000);

    SimulatedController &sim = m_sim->controller();
    model().request(FirmwareUpdate);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 2, 10000);
    QCOMPARE(transfers.load(), 1);
    QCOMPARE(flashSize.load(), SimulatedController::DefaultFlashSize);
    QCOMPARE(sim.commandCount("7F00"), 1);
    QCOMPARE(sim.commandCount("BL81"), 1);
    QCOMPARE(sim.commandCount("BL01"), 1);
    QVERIFY(m_host->status.contains(QStringLiteral("Connected to Aqualumora bootloader on %1").arg(m_sim->portPath())));
    QCOMPARE(m_host->connected.last(), true);
    QVERIFY(m_thread->FirmwareMode());
}

void tst_ThdCom::lineCountZero()
{
    QVERIFY(connectAndDownload(0));
    QCOMPARE(m_sim->controller().commandCount("83"), 0);
    const qsizetype at = m_host->status.indexOf(QStringLiteral("Downloading schedule..."));
    QVERIFY(at >= 0);
    QCOMPARE(m_host->status.value(at + 1), QStringLiteral("Done."));
    QVERIFY(img().Schedule.empty());
}

void tst_ThdCom::infoWriteVariantsOnTheWire_data()
{
    QTest::addColumn<uint>("bit");
    QTest::newRow("time") << uint(SetInfoTime);
    QTest::newRow("levels") << uint(SetInfoLevels);
    QTest::newRow("active line") << uint(SetInfoActiveLine);
}

void tst_ThdCom::infoWriteVariantsOnTheWire()
{
    QFETCH(uint, bit);
    QVERIFY(connectAndDownload());
    m_sim->controller().clearHistory();

    // The window's edit, then the request, with no event processing in between.
    img().Info.ActiveLine = 2;
    img().Info.Centisecond = 12;
    img().Info.Second = 34;
    img().Info.Minute = 56;
    img().Info.Hour = 7;
    img().Info.Day = 8;
    img().Info.Month = 9;
    img().Info.Year = 25;
    img().Info.Reserved12 = 0;
    for (int c = 0; c < ChannelCount; ++c)
        img().Info.Level[c] = uint16_t(100 * c + 1);
    InfoRecord expected = img().Info;
    model().request(bit);

    QTRY_VERIFY_WITH_TIMEOUT(!lastFrameWith(m_sim->controller(), "01").isEmpty(), 5000);
    const QByteArray text = lastFrameWith(m_sim->controller(), "01");
    QCOMPARE(text.size(), 2 + 100);
    const QByteArray sent = QByteArray::fromHex(text.mid(2));
    QVERIFY(text.mid(2) == text.mid(2).toUpper());

    if (bit != SetInfoTime)
        expected.Minute = 0xFF;
    if (bit != SetInfoLevels)
        for (auto &l : expected.Level)
            l = 0xFFFF;
    if (bit != SetInfoActiveLine)
        expected.ActiveLine = int8_t(0xFF);
    const QByteArray want(reinterpret_cast<const char *>(&expected), sizeof expected);
    QCOMPARE(sent.toHex(), want.toHex());
    QTRY_VERIFY(!model().isRequestPending(bit));
}

void tst_ThdCom::recordWritesOnTheWire_data()
{
    QTest::addColumn<uint>("bit");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("config") << uint(SetConfig) << QByteArray("02");
    QTest::newRow("expert") << uint(SetExpert) << QByteArray("05");
    QTest::newRow("weather") << uint(SetExpertWeather) << QByteArray("06");
    QTest::newRow("save") << uint(SaveEEPROM) << QByteArray("7F01");
    QTest::newRow("cloud") << uint(ToggleCloud) << QByteArray("7F02");
    QTest::newRow("storm") << uint(ToggleStorm) << QByteArray("7F03");
}

void tst_ThdCom::recordWritesOnTheWire()
{
    QFETCH(uint, bit);
    QFETCH(QByteArray, code);
    QVERIFY(connectAndDownload());
    SimulatedController &sim = m_sim->controller();
    sim.clearHistory();

    QByteArray want = code;
    if (bit == SetConfig) {
        img().Config.FanLow = 77;
        img().Config.Lat = -335;
        want += QByteArray(reinterpret_cast<const char *>(&img().Config), sizeof img().Config).toHex().toUpper();
    } else if (bit == SetExpert) {
        img().Expert.ChartInterval = 1234;
        img().Expert.Bias = -60;
        want += QByteArray(reinterpret_cast<const char *>(&img().Expert), sizeof img().Expert).toHex().toUpper();
    } else if (bit == SetExpertWeather) {
        img().ExpertWeather.WeatherDelay[11] = 255;
        img().ExpertWeather.MoonColor16[0] = 4096;
        want += QByteArray(reinterpret_cast<const char *>(&img().ExpertWeather), sizeof img().ExpertWeather).toHex().toUpper();
    }
    model().request(bit);
    QTRY_VERIFY_WITH_TIMEOUT(!lastFrameWith(sim, code).isEmpty(), 5000);
    QCOMPARE(lastFrameWith(sim, code), want);
    QTRY_VERIFY(!model().isRequestPending(bit));
    if (bit == SetConfig) {
        const ConfigRecord c = sim.config();
        QCOMPARE(c.FanLow, uint8_t(77));
        QCOMPARE(int16_t(c.Lat), int16_t(-335));
    }
}

void tst_ThdCom::finalSetSchedulePassSendsNothing()
{
    QVERIFY(connectAndDownload(5));
    SimulatedController &sim = m_sim->controller();
    sim.clearHistory();
    img().Schedule[1].Hour = 13;
    img().Schedule[3].Minute = 45;
    model().markScheduleLinesChanged({1, 3});
    QTRY_VERIFY_WITH_TIMEOUT(!model().isRequestPending(SetSchedule), 5000);
    // Two lines, one pass each; the third pass found nothing and sent nothing.
    QCOMPARE(sim.commandCount("03"), 2);
    const QStringList codes = codesOf(sim);
    QCOMPARE(codes.count(QStringLiteral("03")), 2);
    QCOMPARE(sim.schedule()[1].Hour, uint8_t(13));
    QCOMPARE(sim.schedule()[3].Minute, uint8_t(45));
    QTest::qWait(200);
    QCOMPARE(sim.commandCount("03"), 2);
}

void tst_ThdCom::unacknowledgedWritesAreRepeated_data()
{
    QTest::addColumn<uint>("bit");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("sent");
    QTest::newRow("config") << uint(SetConfig) << QStringLiteral("02") << 2;
    QTest::newRow("info levels") << uint(SetInfoLevels) << QStringLiteral("01") << 2;
    QTest::newRow("expert") << uint(SetExpert) << QStringLiteral("05") << 2;
    QTest::newRow("weather") << uint(SetExpertWeather) << QStringLiteral("06") << 2;
    QTest::newRow("schedule line") << uint(SetSchedule) << QStringLiteral("03") << 2;
    // Commands, unlike records, are not repeated.
    QTest::newRow("save") << uint(SaveEEPROM) << QStringLiteral("7F01") << 1;
}

void tst_ThdCom::unacknowledgedWritesAreRepeated()
{
    QFETCH(uint, bit);
    QFETCH(QString, code);
    QFETCH(int, sent);
    QVERIFY(connectAndDownload(3));
    SimulatedController &sim = m_sim->controller();
    sim.clearHistory();
    sim.setFault(SimFault::NoAck, 1);
    if (bit == SetSchedule) {
        img().Schedule[2].Hour = 21;
        model().markScheduleLinesChanged({2});
    } else {
        model().request(bit);
    }
    // The lost acknowledgement costs one read time-out and an identification.
    QTRY_VERIFY_WITH_TIMEOUT(sim.commandCount(code) == sent && sim.commandCount("80") == 1, 5000);
    QTRY_VERIFY(!model().isRequestPending(bit));
    QTest::qWait(100);
    QCOMPARE(sim.commandCount(code), sent);
    if (bit == SetSchedule)
        QCOMPARE(sim.schedule()[2].Hour, uint8_t(21));
    // The same controller answered: no new download.
    QCOMPARE(sim.commandCount("83"), 0);
}

void tst_ThdCom::refusedWriteIsBoundedAndPollsGoOn_data()
{
    QTest::addColumn<uint>("bit");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("dropped");
    QTest::newRow("config") << uint(SetConfig) << QByteArray("02")
                            << TranslateFmt(QStringLiteral("WriteDropped"), {QStringLiteral("Config")});
    QTest::newRow("time") << uint(SetInfoTime) << QByteArray("01")
                          << TranslateFmt(QStringLiteral("WriteDropped"), {QStringLiteral("Info")});
    QTest::newRow("expert") << uint(SetExpert) << QByteArray("05")
                            << TranslateFmt(QStringLiteral("WriteDropped"), {QStringLiteral("Expert")});
    QTest::newRow("weather") << uint(SetExpertWeather) << QByteArray("06")
                             << TranslateFmt(QStringLiteral("WriteDropped"), {QStringLiteral("ExpertWeather")});
    QTest::newRow("schedule line") << uint(SetSchedule) << QByteArray("03")
                                   << TranslateFmt(QStringLiteral("ScheduleLineDropped"), {QStringLiteral("2")});
}

void tst_ThdCom::refusedWriteIsBoundedAndPollsGoOn()
{
    QFETCH(uint, bit);
    QFETCH(QByteArray, code);
    QFETCH(QString, dropped);
    QVERIFY(connectAndDownload(3));
    SimulatedController &sim = m_sim->controller();
    sim.setRefusedWrites({QString::fromLatin1(code)});
    sim.clearHistory();
    const ConfigRecord deviceConfig = sim.config();
    const ExpertRecord deviceExpert = sim.expert();
    const ScheduleLine deviceLine = sim.schedule()[2];

    switch (bit) {
    case SetConfig:
        img().Config.FanLow = uint8_t(deviceConfig.FanLow + 1);
        model().request(bit);
        break;
    case SetExpert:
        img().Expert.ChartInterval = uint16_t(deviceExpert.ChartInterval + 1);
        model().request(bit);
        break;
    case SetSchedule:
        img().Schedule[2].Hour = uint8_t(deviceLine.Hour + 1);
        model().markScheduleLinesChanged({2});
        break;
    default:
        model().request(bit);
        break;
    }
    // Another request raised while the first attempt waits for its acknowledgement.
    QTRY_VERIFY_WITH_TIMEOUT(!framesWith(sim.frames(), code).isEmpty(), 5000);
    model().request(ToggleCloud);

    QTRY_VERIFY_WITH_TIMEOUT(m_host->log.contains(dropped), 10000);
    QTest::qWait(600);  // room for a fourth attempt that must not come
    const QList<SimFrame> frames = sim.frames();
    const QList<qsizetype> attempts = framesWith(frames, code);
    QCOMPARE(attempts.size(), TthdCom::MaxWriteAttempts);
    QCOMPARE(m_host->log.count(dropped), 1);

    // Between two attempts the poll reads both records, and the other request is served
    // before the last attempt.
    for (qsizetype a = 1; a < attempts.size(); ++a) {
        const QList<SimFrame> between = frames.mid(attempts[a - 1] + 1, attempts[a] - attempts[a - 1] - 1);
        QVERIFY2(!framesWith(between, "81").isEmpty(), qPrintable(QString::number(a)));
        QVERIFY2(!framesWith(between, "82").isEmpty(), qPrintable(QString::number(a)));
    }
    const QList<qsizetype> cloud = framesWith(frames, "7F02");
    QCOMPARE(cloud.size(), 1);
    QVERIFY(cloud.first() < attempts.last());
    // The poll keeps its period: with these timings no gap between two "81" is near 2 s.
    const QList<qsizetype> polls = framesWith(frames, "81");
    QVERIFY(polls.size() >= 3);
    for (qsizetype i = 1; i < polls.size(); ++i)
        QVERIFY2(frames[polls[i]].timeMs - frames[polls[i - 1]].timeMs <= 2000,
                 qPrintable(QString::number(frames[polls[i]].timeMs - frames[polls[i - 1]].timeMs)));

    // The controller's own values are shown again.
    switch (bit) {
    case SetConfig:
        QTRY_COMPARE_WITH_TIMEOUT(img().Config.FanLow, deviceConfig.FanLow, 5000);
        break;
    case SetExpert:
        QTRY_COMPARE_WITH_TIMEOUT(uint16_t(img().Expert.ChartInterval), uint16_t(deviceExpert.ChartInterval), 5000);
        break;
    case SetSchedule:
        QTRY_COMPARE_WITH_TIMEOUT(img().Schedule[2].Hour, deviceLine.Hour, 5000);
        QCOMPARE(img().ScheduleDirty[2], uint8_t(0));
        break;
    default:
        break;
    }
    QTRY_VERIFY_WITH_TIMEOUT((model().pendingRequests() & ~Poll) == 0, 5000);
    QVERIFY(m_thread->FirmwareMode());
}

void tst_ThdCom::repeatedWriteCarriesWhatIsCurrent_data()
{
    QTest::addColumn<uint>("bit");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("time") << uint(SetInfoTime) << QByteArray("01");
    QTest::newRow("config") << uint(SetConfig) << QByteArray("02");
}

void tst_ThdCom::repeatedWriteCarriesWhatIsCurrent()
{
    QFETCH(uint, bit);
    QFETCH(QByteArray, code);
    QVERIFY(connectAndDownload());
    SimulatedController &sim = m_sim->controller();
    sim.clearHistory();
    sim.setFault(SimFault::NoAck, 1);
    // "Set current time and date": the PC clock, raised once.
    const QDateTime now(QDate(2026, 12, 31), QTime(23, 59, 59, 900), Qt::UTC);
    img().Info.Centisecond = uint8_t(now.time().msec() / 10);
    img().Info.Second = uint8_t(now.time().second());
    img().Info.Minute = uint8_t(now.time().minute());
    img().Info.Hour = uint8_t(now.time().hour());
    img().Info.Day = uint8_t(now.date().day());
    img().Info.Month = uint8_t(now.date().month());
    img().Info.Year = int8_t(now.date().year() - 2000);
    img().Config.FanLow = 10;
    model().request(bit);

    QTRY_VERIFY_WITH_TIMEOUT(framesWith(sim.frames(), code).size() == 1, 5000);
    img().Config.FanLow = 11;  // edited while the first try waits for its acknowledgement
    QTRY_VERIFY_WITH_TIMEOUT(framesWith(sim.frames(), code).size() == 2, 5000);
    const QList<SimFrame> frames = sim.frames();
    const QList<qsizetype> at = framesWith(frames, code);
    const QByteArray first = frames[at[0]].text, second = frames[at[1]].text;
    if (bit == SetInfoTime) {
        // Not the same bytes again: the clock has run on by the time between the tries.
        QCOMPARE(clockOf(first), now);
        const qint64 ran = clockOf(first).msecsTo(clockOf(second));
        const qint64 between = frames[at[1]].timeMs - frames[at[0]].timeMs;
        QVERIFY2(ran >= 200 && std::abs(ran - between) < 1000,
                 qPrintable(QStringLiteral("%1 ms run, %2 ms between").arg(ran).arg(between)));
        QCOMPARE(clockOf(second).date().year(), 2027);  // over midnight at the end of the year
    } else {
        QCOMPARE(QByteArray::fromHex(first.mid(2)).at(offsetof(ConfigRecord, FanLow)), char(10));
        QCOMPARE(QByteArray::fromHex(second.mid(2)).at(offsetof(ConfigRecord, FanLow)), char(11));
    }
}

void tst_ThdCom::newConnectionStartsClean_data()
{
    QTest::addColumn<bool>("switchPort");
    QTest::newRow("reconnect after a lost device") << false;
    QTest::newRow("port switch") << true;
}

void tst_ThdCom::newConnectionStartsClean()
{
    QFETCH(bool, switchPort);
    QVERIFY(connectAndDownload(3));
    SimulatorPort other;
    QVERIFY(other.start());
    other.controller().setSchedule(makeLines(3));
    SimulatedController &first = m_sim->controller();
    SimulatedController &next = switchPort ? other.controller() : first;
    const int downloads = m_host->weatherShown;

    // The controller stops answering while the window has edits waiting.
    first.setFault(SimFault::Silence);
    img().Schedule[1].Hour = 23;
    img().Config.FanLow = 99;
    model().markScheduleLinesChanged({1}, SetConfig | SetExpert);
    if (switchPort)
        m_thread->SwitchPort(other.portPath(), false);
    else
        QTRY_VERIFY_WITH_TIMEOUT(m_host->status.contains(QStringLiteral("Connection error or wrong serial port")), 5000);
    first.clearFault();
    first.clearHistory();

    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown > downloads, 10000);
    QTest::qWait(300);
    // The full download won; nothing from before was written to the new connection.
    for (const char *code : {"02", "03", "05"})
        QVERIFY2(next.commandCount(QString::fromLatin1(code)) == 0, code);
    QCOMPARE(img().Schedule[1].Hour, next.schedule()[1].Hour);
    QCOMPARE(img().Config.FanLow, next.config().FanLow);
    QCOMPARE(img().ScheduleDirty, std::vector<uint8_t>(3, 0));
    QCOMPARE(model().pendingRequests() & (SetConfig | SetExpert | SetSchedule), 0u);

    // Within the new connection a refused write is repeated as before.
    next.clearHistory();
    next.setFault(SimFault::NoAck, 1);
    img().Schedule[0].Hour = 5;
    model().markScheduleLinesChanged({0});
    QTRY_COMPARE_WITH_TIMEOUT(framesWith(next.frames(), "03").size(), 2, 5000);
    QCOMPARE(next.schedule()[0].Hour, uint8_t(5));
    m_thread->Stop();
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
}

void tst_ThdCom::serviceOrderOnTheWire()
{
    // No poll in between: only what was raised goes out.
    LinkTimings timings = fastTimings();
    timings.pollEveryPasses = 1000000;
    m_sim->controller().setSchedule(makeLines(2));
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), timings);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 1, 10000);
    SimulatedController &sim = m_sim->controller();
    QTest::qWait(50);
    sim.clearHistory();

    img().Info.Minute = 30;
    img().Info.ActiveLine = 1;
    // All seventeen at once, in one step of the request word; the marks are this thread's.
    std::fill(img().ScheduleDirty.begin(), img().ScheduleDirty.end(), uint8_t(1));
    model().replaceRequests(AllRequestBits);
    QTRY_VERIFY_WITH_TIMEOUT(sim.commandCount("7F00") == 1, 10000);
    const QStringList expected{"02", "82", "01", "01", "01", "81", "05", "85", "03", "03",
                               "83", "83", "87", "06", "86", "7F01", "7F02", "7F03", "7F00"};
    QCOMPARE(codesOf(sim).mid(0, expected.size()), expected);
    // The three Info writes are the time, level and active-line variants, in that order.
    const QList<SimFrame> frames = sim.frames();
    const QList<qsizetype> info = framesWith(frames, "01");
    const auto minute = [&](qsizetype i) { return QByteArray::fromHex(frames[i].text.mid(2)).at(offsetof(InfoRecord, Minute)); };
    const auto activeLine = [&](qsizetype i) { return QByteArray::fromHex(frames[i].text.mid(2)).at(offsetof(InfoRecord, ActiveLine)); };
    QCOMPARE(info.size(), 3);
    QCOMPARE(minute(info[0]), char(30));
    QCOMPARE(activeLine(info[0]), char(0xFF));
    QCOMPARE(minute(info[1]), char(0xFF));
    QCOMPARE(activeLine(info[1]), char(0xFF));
    QCOMPARE(minute(info[2]), char(0xFF));
    QCOMPARE(activeLine(info[2]), char(1));
}

void tst_ThdCom::productionTimings()
{
    // Tests shorten these; the program runs with them.
    const LinkTimings t;
    QCOMPARE(t.readTimeoutMs, 5000);
    QCOMPARE(t.writeTimeoutMs, 5000);
    QCOMPARE(t.openRetryWaitMs, 1000);
    QCOMPARE(t.lostDeviceWaitMs, 1000);
    QCOMPARE(t.idleSleepMs, 20);
    QCOMPARE(t.bootloaderWaitMs, 500);
    QCOMPARE(t.pollEveryPasses, 25);
    QCOMPARE(FirmwareRetryWaitMs, 500);  // after a block write that was not acknowledged
    QCOMPARE(TSerialPort::DefaultTimeoutMs, 5000);
    TSerialPort port;
    QCOMPARE(port.readTimeout(), 5000);
}

void tst_ThdCom::garbledAnswersRecover_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<int>("reads");
    QTest::newRow("G1") << int(SimFault::GarbledAnswer) << QStringLiteral("is not a valid integer value") << 2;
    QTest::newRow("wrong echo") << int(SimFault::WrongEcho) << QString() << 2;
    QTest::newRow("no line end") << int(SimFault::ShortAnswer) << QString() << 2;
    // A digit where the line end belongs.
    QTest::newRow("long answer") << int(SimFault::LongAnswer) << QString() << 2;
    // The first characters are well-formed: accepted, the rest is purged.
    QTest::newRow("trailing junk") << int(SimFault::TrailingJunk) << QString() << 1;
}

void tst_ThdCom::garbledAnswersRecover()
{
    QFETCH(int, fault);
    QFETCH(QString, logged);
    QFETCH(int, reads);
    QVERIFY(connectAndDownload());
    SimulatedController &sim = m_sim->controller();
    sim.clearHistory();
    const qsizetype logBefore = m_host->log.size();
    sim.setFault(SimFault(fault), 1);
    model().request(GetExpert);
    QTRY_VERIFY_WITH_TIMEOUT(!model().isRequestPending(GetExpert), 5000);
    const QStringList log = m_host->log.mid(logBefore);
    // A failed read is followed by identification and served again in a later pass.
    QCOMPARE(sim.commandCount("85"), reads);
    QCOMPARE(sim.commandCount("80") >= 1, reads > 1);
    if (logged.isEmpty())
        QVERIFY2(log.isEmpty(), qPrintable(log.join(u'|')));
    else
        QVERIFY(log.join(u'|').contains(logged));
    QVERIFY(m_thread->FirmwareMode());
    QCOMPARE(m_host->expertShown, 2);  // the download and the good read; never the bad one
}

void tst_ThdCom::silenceClosesAndReconnects()
{
    QVERIFY(connectAndDownload());
    SimulatedController &sim = m_sim->controller();
    const int downloads = m_host->weatherShown;
    // The controller goes silent for a while (ten read time-outs' worth, scaled down).
    sim.setFault(SimFault::Silence);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->log.contains(QStringLiteral("No data.")), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->status.contains(QStringLiteral("Connection error or wrong serial port")), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_host->connected.last(), false, 5000);
    QTest::qWait(600);
    sim.clearFault();
    // Reconnected and downloaded again.
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown > downloads, 10000);
    QCOMPARE(m_host->connected.last(), true);
    QVERIFY(!m_thread->Finished());
}

void tst_ThdCom::portCannotBeOpened()
{
    const QString port = QStringLiteral("/dev/aq-missing-port");
    m_thread = TthdCom::Create(port, false, m_host.get(), fastTimings());
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
    QTRY_COMPARE(m_host->status.last(), QStringLiteral("Disconnected from %1").arg(port));
    const QString openError = QStringLiteral("Unable to open com port (Error: 2, \"No such file or directory\")");
    QCOMPARE(m_host->log.count(openError), 5);
    QCOMPARE(m_host->status.count(QStringLiteral("Trying again...")), 4);
    QCOMPARE(m_host->status.value(m_host->status.size() - 2), QStringLiteral("Error while connecting to %1").arg(port));
}

void tst_ThdCom::portSwitch()
{
    QVERIFY(connectAndDownload());
    SimulatorPort other;
    QVERIFY(other.start());
    other.controller().setSchedule(makeLines(2));
    const int downloads = m_host->weatherShown;
    const qsizetype connectedCalls = m_host->connected.size();
    m_thread->SwitchPort(other.portPath() + QStringLiteral(" (Simulated controller)"), false);

    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown > downloads, 10000);
    QCOMPARE(m_thread->PortName(), other.portPath());
    QCOMPARE(m_host->connected.value(connectedCalls), false);  // disabled first
    QVERIFY(m_host->status.contains(QStringLiteral("Connecting to %1...").arg(other.portPath())));
    QVERIFY(m_host->status.contains(QStringLiteral("Connected to Aqualumora 1.x.5 on %1").arg(other.portPath())));
    QCOMPARE(other.controller().commandCount("80"), 1);
    QCOMPARE(other.controller().commandCount("83"), 2);
    QCOMPARE(img().Schedule.size(), size_t(2));
    m_thread->Stop();
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
}

void tst_ThdCom::stopDuringScheduleDownload()
{
    SimulatedController &sim = m_sim->controller();
    sim.setSchedule(makeLines(200));
    sim.setLatencyMs(5);
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), fastTimings());
    QTRY_VERIFY_WITH_TIMEOUT(sim.commandCount("83") >= 5, 10000);
    m_thread->Stop();
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
    QTRY_COMPARE(m_host->status.last(), QStringLiteral("Disconnected from %1").arg(m_sim->portPath()));
    QVERIFY(!model().isRequestPending(GetSchedule));

    // Every line requested was answered and stored: the one in progress completed.
    const int requested = sim.commandCount("83");
    QVERIFY(requested < 200);
    const auto lines = sim.schedule();
    QCOMPARE(img().Schedule.size(), size_t(200));
    QVERIFY(sameBytes(img().Schedule.data(), lines.data(), size_t(requested) * sizeof(ScheduleLine)));
    const ScheduleLine empty{};
    QVERIFY(sameBytes(&img().Schedule[size_t(requested)], &empty, sizeof empty));
    QCOMPARE(m_host->gridFilled, 0);
}

void tst_ThdCom::controllerVanishesAndComesBack()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyAQ0"));
    m_sim->stop();
    m_sim->setLinkPath(link);
    QVERIFY(m_sim->start());
    m_sim->controller().setSchedule(makeLines(2));
    LinkTimings timings = fastTimings();
    timings.openRetryWaitMs = 200;
    m_thread = TthdCom::Create(link, false, m_host.get(), timings);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 1, 10000);

    m_sim->vanish();
    QTRY_COMPARE_WITH_TIMEOUT(m_host->connected.last(), false, 5000);
    QTest::qWait(150);
    QVERIFY(m_sim->comeBack().ok);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 2, 10000);
    QCOMPARE(m_host->connected.last(), true);
    QVERIFY(!m_thread->Finished());
}

void tst_ThdCom::destroyHostDuringExchange()
{
    // Real time-outs: the thread sits in a read of the full default length.
    m_sim->controller().setSchedule(makeLines(1));
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), LinkTimings{});
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 1, 10000);
    m_sim->controller().setFault(SimFault::Silence);
    model().request(GetExpert);
    QTest::qWait(100);
    m_host.reset();  // the window goes while the read waits
    m_thread->Stop();
    QVERIFY(m_thread->wait(3000));
    QVERIFY(m_thread->Finished());
}

void tst_ThdCom::destroyHostWhileHandOverPending()
{
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), fastTimings());
    // No event processing: the thread's first status text waits for this thread.
    QThread::msleep(150);
    m_host.reset();
    QVERIFY(m_thread->wait(3000));
    QVERIFY(m_thread->Finished());
    QCoreApplication::processEvents();  // the dropped call must not run
}

void tst_ThdCom::destroyThreadWhileHandOverPending()
{
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), fastTimings());
    QThread::msleep(150);
    QElapsedTimer t;
    t.start();
    m_thread.reset();  // on the UI thread, while the worker waits for it
    QVERIFY(t.elapsed() < 3000);
    // The given-up "Connecting to" never runs; the closing reports are delivered.
    QCoreApplication::processEvents();
    QCOMPARE(m_host->status, QStringList{QStringLiteral("Disconnected from %1").arg(m_sim->portPath())});
    QCOMPARE(m_host->connected, QList<bool>{false});
}

void tst_ThdCom::raisedBitServedWithoutIdleWait()
{
    // A long idle sleep: only the wake-up can serve the bit quickly.
    LinkTimings timings = fastTimings();
    timings.idleSleepMs = 60000;
    timings.pollEveryPasses = 1000000;
    m_sim->controller().setSchedule(makeLines(1));
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), timings);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->weatherShown == 1, 10000);
    QTest::qWait(50);
    m_sim->controller().clearHistory();
    model().request(SaveEEPROM);
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->controller().commandCount("7F01") == 1, 5000);
    // A stop is noticed at once as well, long before the idle sleep would end.
    m_thread->Stop();
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 5000);
}

QTEST_GUILESS_MAIN(tst_ThdCom)
#include "tst_thd_com.moc"
