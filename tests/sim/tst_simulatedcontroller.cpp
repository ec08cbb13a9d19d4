// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated controller driven byte by byte, with its own clock under the test's control.

#include <cstring>
#include <memory>

#include <QtTest>

#include "sim/simulated_controller.h"

Q_DECLARE_METATYPE(SimFault)

namespace {

const QDateTime Start(QDate(2026, 6, 21), QTime(14, 0), Qt::UTC);

struct Rig {
    qint64 t = 0;
    std::unique_ptr<SimulatedController> c;
    Rig() { c = std::make_unique<SimulatedController>([this] { return t; }, Start); }
    QByteArray send(const QByteArray &line) { return c->feed(line + '\n'); }
};

// The data part of a read answer, decoded with Qt's own hex reader (not the controller's).
QByteArray dataOf(const QByteArray &answer)
{
    return QByteArray::fromHex(answer.mid(2, answer.size() - 3));
}

template <class R>
QByteArray raw(const R &r)
{
    return QByteArray(reinterpret_cast<const char *>(&r), sizeof r);
}

template <class R>
R recordOf(const QByteArray &answer)
{
    R r;
    const QByteArray d = dataOf(answer);
    Q_ASSERT(d.size() == sizeof r);
    std::memcpy(&r, d.constData(), sizeof r);
    return r;
}

template <class R>
QByteArray writeFrame(const char *code, const R &r)
{
    return QByteArray(code) + raw(r).toHex().toUpper();
}

InfoRecord noChangeInfo()
{
    InfoRecord info;
    std::memset(&info, 0, sizeof info);
    info.Minute = NoChangeMinute;
    info.ActiveLine = int8_t(NoChangeActiveLine);
    for (auto &level : info.Level)
        level = NoChangeLevel;
    return info;
}

void setMode(SimulatedController &c, uint8_t mode)
{
    ConfigRecord config = c.config();
    config.Mode = mode;
    c.setConfig(config);
}

} // namespace

class TestSimulatedController : public QObject
{
    Q_OBJECT

private slots:
    void readAnswers_data();
    void readAnswers();
    void rejectedFrames_data();
    void rejectedFrames();
    void linesInPieces();
    void infoWrite_data();
    void infoWrite();
    void scheduleReadsLineAfterLine();
    void weatherToggles_data();
    void weatherToggles();
    void savingFlagForOneSecond();
    void clockRunsWithTimeLapse();
    void geoLevelsFollowSun();
    void chartIsRecordedNewestFirst();
    void answerFaults_data();
    void answerFaults();
    void faultCountOnlyCountsApplicableFrames();
    void refusedWritesEveryTime();
    void identityOverride();
    void bootloaderFlow();
    void bootloaderRejectsBadBlocks_data();
    void bootloaderRejectsBadBlocks();
    void randomInputNeverBreaksIt();
};

void TestSimulatedController::readAnswers_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("length");
    QTest::newRow("GetDevice") << QByteArray("80") << 7;
    QTest::newRow("GetInfo") << QByteArray("81") << 103;
    QTest::newRow("GetConfig") << QByteArray("82") << 65;
    QTest::newRow("GetSchedule") << QByteArray("83") << 39;
    QTest::newRow("GetExpert") << QByteArray("85") << 91;
    QTest::newRow("GetExpertWeather") << QByteArray("86") << 141;
    QTest::newRow("GetChart") << QByteArray("87") << 163;
}

void TestSimulatedController::readAnswers()
{
    QFETCH(QByteArray, code);
    QFETCH(int, length);
    Rig rig;
    const QByteArray answer = rig.send(code);
    QCOMPARE(answer.size(), length);
    QCOMPARE(answer.left(2), code);
    QCOMPARE(answer.back(), '\r');
    const QByteArray digits = answer.mid(2, length - 3);
    QCOMPARE(digits, digits.toUpper());
    QCOMPARE(dataOf(answer).toHex().toUpper(), digits); // every pair is hexadecimal

    const QByteArray data = dataOf(answer);
    if (code == "80")
        QCOMPARE(data, QByteArray::fromHex("0105"));
    else if (code == "81")
        QCOMPARE(data, raw(rig.c->info()));
    else if (code == "82")
        QCOMPARE(data, raw(rig.c->config()));
    else if (code == "83")
        QCOMPARE(data, QByteArray(1, 0) + raw(rig.c->schedule().at(0)));
    else if (code == "85")
        QCOMPARE(data, raw(rig.c->expert()));
    else if (code == "86")
        QCOMPARE(data, raw(rig.c->expertWeather()));
    else
        QCOMPARE(data, raw(rig.c->chart()));
}

void TestSimulatedController::rejectedFrames_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("lower-case code") << QByteArray("7f01");
    QTest::newRow("empty line") << QByteArray();
    QTest::newRow("odd length") << QByteArray("021");
    QTest::newRow("not hexadecimal") << QByteArray("8G");
    QTest::newRow("carriage return kept in line") << QByteArray("81\r");
    QTest::newRow("read with data") << QByteArray("8100");
    QTest::newRow("write one byte short") << QByteArray("01") + QByteArray(98, '0');
    QTest::newRow("unknown command") << QByteArray("84");
    QTest::newRow("unknown 7F sub-command") << QByteArray("7F04");
    QTest::newRow("schedule index = line count") << QByteArray("030A") + QByteArray(34, '0');
    QTest::newRow("bootloader block to firmware") << QByteArray("02") + QByteArray(132, '0');
    QTest::newRow("overlong line") << QByteArray(300, '8');
}

void TestSimulatedController::rejectedFrames()
{
    QFETCH(QByteArray, line);
    Rig rig;
    const ConfigRecord config = rig.c->config();
    const auto schedule = rig.c->schedule();
    QCOMPARE(rig.send(line), QByteArray());
    QCOMPARE(rig.c->rejectedCount(), 1);
    QVERIFY(!rig.c->frames().last().accepted);
    QVERIFY(!rig.c->frames().last().note.isEmpty());
    QCOMPARE(raw(rig.c->config()), raw(config));
    QCOMPARE(rig.c->schedule().size(), schedule.size());
    QCOMPARE(raw(rig.c->schedule().back()), raw(schedule.back()));
    QVERIFY(!rig.c->inBootloader());
    // The next good frame is served as usual.
    QCOMPARE(rig.send("80"), QByteArray("800105\r"));
}

void TestSimulatedController::linesInPieces()
{
    Rig rig;
    QCOMPARE(rig.c->feed("8"), QByteArray());
    QCOMPARE(rig.c->feed("0\n8"), QByteArray("800105\r"));
    QCOMPARE(rig.c->feed("0\n80\n"), QByteArray("800105\r800105\r"));
    rig.c->feed("8");
    rig.c->resetInput(); // the line went down in the middle of a frame
    QCOMPARE(rig.c->feed("80\n"), QByteArray("800105\r"));
}

void TestSimulatedController::infoWrite_data()
{
    QTest::addColumn<int>("day"); // of February 2024 with the clock group; 0 = no-change marker
    QTest::addColumn<QList<int>>("levels"); // -1 = no-change marker
    QTest::addColumn<int>("activeLine"); // -1 = no-change marker
    QTest::addColumn<bool>("valid");
    const QList<int> none(12, -1);
    QList<int> all;
    for (int c = 0; c < 12; ++c)
        all << c * 300;
    QList<int> some = none;
    some[0] = 4096;
    some[11] = 1;
    QTest::newRow("time variant") << 29 << none << -1 << true;
    QTest::newRow("level variant") << 0 << all << -1 << true;
    QTest::newRow("active-line variant") << 0 << none << 7 << true;
    QTest::newRow("single levels, field by field") << 0 << some << -1 << true;
    QTest::newRow("all groups") << 29 << all << 3 << true;
    // A write that cannot be applied as a whole is neither applied nor acknowledged.
    QTest::newRow("30 February") << 30 << all << -1 << false;
    QTest::newRow("active line = line count") << 0 << all << 10 << false;
}

void TestSimulatedController::infoWrite()
{
    QFETCH(int, day);
    QFETCH(QList<int>, levels);
    QFETCH(int, activeLine);
    QFETCH(bool, valid);
    Rig rig;
    setMode(*rig.c, ModeManual);
    InfoRecord before = rig.c->info();
    for (int c = 0; c < 12; ++c)
        before.Level[c] = uint16_t(1000 + c);
    before.ActiveLine = 2;
    rig.c->setInfo(before);

    InfoRecord sent = noChangeInfo();
    if (day) {
        sent.Centisecond = 50;
        sent.Second = 30;
        sent.Minute = 5;
        sent.Hour = 7;
        sent.Day = uint8_t(day);
        sent.Month = 2;
        sent.Year = 24;
    }
    for (int c = 0; c < 12; ++c)
        if (levels[c] >= 0)
            sent.Level[c] = uint16_t(levels[c]);
    if (activeLine >= 0)
        sent.ActiveLine = int8_t(activeLine);
    QCOMPARE(rig.send(writeFrame("01", sent)), valid ? QByteArray("*") : QByteArray());
    QCOMPARE(rig.c->rejectedCount(), valid ? 0 : 1);

    const InfoRecord after = rig.c->info();
    const bool clockSet = valid && day;
    QCOMPARE(rig.c->deviceTime(),
             clockSet ? QDateTime(QDate(2024, 2, 29), QTime(7, 5, 30, 500), Qt::UTC) : Start);
    for (int c = 0; c < 12; ++c)
        QCOMPARE(int(after.Level[c]), valid && levels[c] >= 0 ? levels[c] : 1000 + c);
    QCOMPARE(int(after.ActiveLine), valid && activeLine >= 0 ? activeLine : 2);
}

void TestSimulatedController::scheduleReadsLineAfterLine()
{
    Rig rig;
    const auto lines = rig.c->schedule();
    QCOMPARE(int(lines.size()), 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(dataOf(rig.send("83")), QByteArray(1, char(i)) + raw(lines[size_t(i)]));
    QCOMPARE(dataOf(rig.send("83")).at(0), char(0)); // wraps round
    rig.send("83");
    rig.send("81"); // any other command starts the next download at line 0
    QCOMPARE(dataOf(rig.send("83")).at(0), char(0));

    ScheduleLine line = lines[3];
    line.Hour = 9;
    line.Switch = 0x1F; // the controller's own bits are carried as they are
    QCOMPARE(rig.send(QByteArray("0303") + raw(line).toHex().toUpper()), QByteArray("*"));
    QCOMPARE(raw(rig.c->schedule().at(3)), raw(line));

    rig.c->setSchedule({});
    QCOMPARE(rig.c->info().LineCount, 0);
    QCOMPARE(dataOf(rig.send("83")).at(0), char(0xFF));
}

void TestSimulatedController::weatherToggles_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("bit");
    QTest::newRow("cloud in Auto") << int(ModeAuto) << QByteArray("7F02") << int(StateCloud);
    QTest::newRow("storm in Geo") << int(ModeGeo) << QByteArray("7F03") << int(StateStorm);
    QTest::newRow("cloud in Manual") << int(ModeManual) << QByteArray("7F02") << 0;
    QTest::newRow("storm in Flash") << int(ModeFlash) << QByteArray("7F03") << 0;
}

void TestSimulatedController::weatherToggles()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, command);
    QFETCH(int, bit);
    Rig rig;
    setMode(*rig.c, uint8_t(mode));
    QCOMPARE(rig.send(command), QByteArray("*")); // acknowledged in every mode
    QCOMPARE(recordOf<InfoRecord>(rig.send("81")).StateFlags & 0x03, bit);
    rig.send(command);
    QCOMPARE(rig.c->info().StateFlags & 0x03, 0);
    if (bit) {
        // A cloud dims the channels that take weather to its remaining brightness.
        ExpertWeatherRecord w = rig.c->expertWeather();
        w.CloudAlpha = w.StormAlpha = 50;
        w.WeatherDelay[1] = 255;
        w.Balance[2] = 50;
        rig.c->setExpertWeather(w);
        setMode(*rig.c, ModeAuto); // 14:00 is the noon line: white at 100 %
        rig.send(command);
        QCOMPARE(int(rig.c->info().Level[0]), 2048);
        QCOMPARE(int(rig.c->info().Level[1]), 4096);
        QCOMPARE(int(rig.c->info().Level[2]), 1024); // white balance as well
        setMode(*rig.c, ModeManual); // leaving the schedule modes ends the event
        setMode(*rig.c, ModeAuto);
        QCOMPARE(rig.c->info().StateFlags & 0x03, 0);
    }
}

void TestSimulatedController::savingFlagForOneSecond()
{
    Rig rig;
    QCOMPARE(rig.send("7F01"), QByteArray("*"));
    QCOMPARE(rig.c->saveCount(), 1);
    QCOMPARE(recordOf<InfoRecord>(rig.send("81")).StateFlags2 & State2Saving, State2Saving);
    rig.t += 999;
    QVERIFY(rig.c->isSaving());
    rig.t += 1;
    QCOMPARE(recordOf<InfoRecord>(rig.send("81")).StateFlags2 & State2Saving, 0);
}

void TestSimulatedController::clockRunsWithTimeLapse()
{
    Rig rig;
    rig.t += 1500;
    QCOMPARE(rig.c->deviceTime(), Start.addMSecs(1500));
    ConfigRecord config = rig.c->config();
    config.TimeLapse = 60;
    rig.send(writeFrame("02", config));
    rig.t += 1000; // one minute of controller time
    QCOMPARE(rig.c->deviceTime(), Start.addMSecs(61500));
    const InfoRecord info = rig.c->info();
    QCOMPARE(QTime(info.Hour, info.Minute, info.Second, info.Centisecond * 10), QTime(14, 1, 1, 500));
    config.TimeLapse = 0; // stopped
    rig.c->setConfig(config);
    rig.t += 5000;
    QCOMPARE(rig.c->deviceTime(), Start.addMSecs(61500));
}

void TestSimulatedController::geoLevelsFollowSun()
{
    Rig rig;
    setMode(*rig.c, ModeGeo);
    // Central European summer time, 50.1 N 8.5 E: the sun is well up at 14:00.
    QVERIFY(rig.c->info().Level[0] > 3500);
    // Morning and evening with the sun at similar heights use the rising and setting sides.
    rig.c->setDeviceTime(QDateTime(Start.date(), QTime(8, 30), Qt::UTC));
    const int morning = rig.c->info().ActiveLine;
    rig.c->setDeviceTime(QDateTime(Start.date(), QTime(18, 20), Qt::UTC));
    const int evening = rig.c->info().ActiveLine;
    QVERIFY2(morning >= 2 && morning <= 4, qPrintable(QString::number(morning)));
    QVERIFY2(evening >= 5 && evening <= 8, qPrintable(QString::number(evening)));
    rig.c->setDeviceTime(QDateTime(Start.date(), QTime(1, 30), Qt::UTC));
    QCOMPARE(int(rig.c->info().Level[0]), 0);
}

void TestSimulatedController::chartIsRecordedNewestFirst()
{
    Rig rig;
    const ChartRecord before = recordOf<ChartRecord>(rig.send("87"));
    for (int k = 0; k < 40; ++k)
        QVERIFY(qAbs(int(before.Sample[k]) - 251) <= 3);
    rig.t += 36 * 60 * 1000; // one recording interval later
    const ChartRecord after = rig.c->chart();
    for (int k = 0; k + 1 < 40; ++k)
        QCOMPARE(int(after.Sample[k + 1]), int(before.Sample[k]));

    ExpertRecord expert = rig.c->expert();
    expert.ChartMode = ChartInputVoltage;
    rig.c->setExpert(expert);
    QVERIFY(qAbs(int(rig.c->chart().Sample[0]) - 1205) <= 4);

    InfoRecord info = rig.c->info();
    info.InputVoltage = NoValue16;
    rig.c->setInfo(info);
    QCOMPARE(int(rig.c->info().InputVoltage), int(NoValue16));
    QCOMPARE(int(rig.c->chart().Sample[39]), int(NoValue16));
}

void TestSimulatedController::answerFaults_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("silence on read") << SimFault::Silence << QByteArray("80") << QByteArray();
    QTest::newRow("silence on write") << SimFault::Silence << QByteArray("7F02") << QByteArray();
    QTest::newRow("short") << SimFault::ShortAnswer << QByteArray("80") << QByteArray("800105");
    QTest::newRow("long") << SimFault::LongAnswer << QByteArray("80") << QByteArray("80010500\r");
    QTest::newRow("trailing junk") << SimFault::TrailingJunk << QByteArray("80")
                                   << QByteArray("800105\rFF\r");
    QTest::newRow("garbled") << SimFault::GarbledAnswer << QByteArray("80") << QByteArray("80G105\r");
    QTest::newRow("wrong echo") << SimFault::WrongEcho << QByteArray("80") << QByteArray("810105\r");
    QTest::newRow("no ack") << SimFault::NoAck << QByteArray("7F02") << QByteArray();
    QTest::newRow("no ack leaves reads alone") << SimFault::NoAck << QByteArray("80")
                                               << QByteArray("800105\r");
    QTest::newRow("answer faults leave acks alone") << SimFault::ShortAnswer << QByteArray("7F02")
                                                    << QByteArray("*");
}

void TestSimulatedController::answerFaults()
{
    QFETCH(SimFault, fault);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    Rig rig;
    rig.c->setFault(fault);
    QCOMPARE(rig.send(request), answer);
    QCOMPARE(rig.send(request), answer); // until cleared
    rig.c->clearFault();
    QCOMPARE(rig.send("80"), QByteArray("800105\r"));
    QCOMPARE(rig.c->rejectedCount(), 0);
    // A lost frame is not served; a lost acknowledgement is.
    if (request == "7F02")
        QCOMPARE(rig.c->commandCount("7F02"), fault == SimFault::Silence ? 0 : 2);
}

void TestSimulatedController::faultCountOnlyCountsApplicableFrames()
{
    Rig rig;
    rig.c->setFault(SimFault::NoAck, 1);
    QCOMPARE(rig.send("80"), QByteArray("800105\r"));
    QCOMPARE(rig.send("7F02"), QByteArray());
    QCOMPARE(rig.send("7F02"), QByteArray("*"));
    QCOMPARE(rig.c->fault(), SimFault::None);
    rig.c->setFault(SimFault::ShortAnswer, 2);
    QCOMPARE(rig.send("80").size(), 6);
    QCOMPARE(rig.send("80").size(), 6);
    QCOMPARE(rig.send("80").size(), 7);
}

void TestSimulatedController::refusedWritesEveryTime()
{
    Rig rig;
    const ConfigRecord before = rig.c->config();
    ConfigRecord changed = before;
    changed.FanLow = uint8_t(before.FanLow + 1);
    rig.c->setRefusedWrites({QStringLiteral("02")});
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rig.send(writeFrame("02", changed)), QByteArray());
    QCOMPARE(rig.c->config().FanLow, before.FanLow);  // never taken
    QCOMPARE(rig.c->commandCount(QStringLiteral("02")), 0);
    QCOMPARE(rig.c->frames().last().note, QStringLiteral("write refused (injected)"));
    QCOMPARE(rig.send("7F02"), QByteArray("*"));  // other writes and reads go on
    QCOMPARE(rig.send("82").left(2), QByteArray("82"));
    rig.c->setRefusedWrites({});
    QCOMPARE(rig.send(writeFrame("02", changed)), QByteArray("*"));
    QCOMPARE(rig.c->config().FanLow, changed.FanLow);
}

void TestSimulatedController::identityOverride()
{
    Rig rig;
    rig.c->setIdentity(1, 4);
    QCOMPARE(rig.send("80"), QByteArray("800104\r"));
    rig.c->setIdentity(12, -1);
    QCOMPARE(rig.send("80"), QByteArray("800C05\r"));
    rig.c->setInBootloader(true); // the bootloader always answers type 0
    QCOMPARE(rig.send("80"), QByteArray("800001\r"));
    rig.c->setInBootloader(false);
    rig.c->setIdentity(-1, -1);
    QCOMPARE(rig.send("80"), QByteArray("800105\r"));
}

void TestSimulatedController::bootloaderFlow()
{
    Rig rig;
    ConfigRecord config = rig.c->config();
    config.FanHigh = 3;
    rig.send(writeFrame("02", config));
    rig.send("7F01"); // stored
    config.FanHigh = 4;
    rig.send(writeFrame("02", config)); // not stored
    rig.send("7F00");
    rig.send("01000000000000"); // a cancelled update: restart without any block
    QCOMPARE(int(rig.c->config().FanHigh), 3);

    QCOMPARE(rig.send("7F00"), QByteArray()); // no answer to the bootloader start
    QVERIFY(rig.c->inBootloader());
    QCOMPARE(rig.send("80"), QByteArray("800001\r"));
    QCOMPARE(rig.send("81"), QByteArray("81800000800000\r")); // page 128, flash 32768
    QCOMPARE(rig.send("82"), QByteArray()); // the firmware's commands are gone

    QByteArray block(64, 0);
    for (int i = 0; i < 64; ++i)
        block[i] = char(i + 1);
    const QByteArray blockFrame = "024000" + block.toHex().toUpper(); // address 0x0040
    rig.c->failNextBlockWrites(2);
    QCOMPARE(rig.send(blockFrame), QByteArray());
    QCOMPARE(rig.send(blockFrame), QByteArray());
    QCOMPARE(rig.c->flashImage().mid(0x40, 64), QByteArray(64, char(0xFF)));
    QCOMPARE(rig.send(blockFrame), QByteArray("*"));
    QCOMPARE(rig.c->flashImage().mid(0x40, 64), block);
    QCOMPARE(rig.c->commandCount("BL02"), 1);
    QCOMPARE(rig.c->rejectedCount(), 1); // only the "82"
    QCOMPARE(rig.c->frames().last().text, blockFrame);

    QCOMPARE(rig.send("01000000000000"), QByteArray("*"));
    QVERIFY(!rig.c->inBootloader());
    QCOMPARE(rig.send("80"), QByteArray("800105\r"));
    // A new firmware starts from its defaults, also in what it had stored.
    QVERIFY(rig.c->config().FanHigh != 3);
    QCOMPARE(rig.c->flashImage().mid(0x40, 64), block); // the flash survives
}

void TestSimulatedController::bootloaderRejectsBadBlocks_data()
{
    QTest::addColumn<QByteArray>("frame");
    const QByteArray data(128, '0');
    QTest::newRow("misaligned address") << QByteArray("021000") + data;
    QTest::newRow("bootloader area") << QByteArray("02007C") + data; // 0x7C00 = 31744
    QTest::newRow("beyond the flash") << QByteArray("0200FF") + data;
    QTest::newRow("block one byte short") << QByteArray("020000") + QByteArray(126, '0');
    QTest::newRow("restart with 5 bytes") << QByteArray("010000000000");
    QTest::newRow("SetInfo-sized restart") << QByteArray("01") + QByteArray(100, '0');
}

void TestSimulatedController::bootloaderRejectsBadBlocks()
{
    QFETCH(QByteArray, frame);
    Rig rig;
    rig.c->setInBootloader(true);
    QCOMPARE(rig.send(frame), QByteArray());
    QCOMPARE(rig.c->rejectedCount(), 1);
    QCOMPARE(rig.c->flashImage(), QByteArray(32768, char(0xFF)));
    QVERIFY(rig.c->inBootloader());
    // The last block below the bootloader area is still writable.
    QCOMPARE(rig.send(QByteArray("02C07B") + QByteArray(128, 'A')), QByteArray("*"));
}

void TestSimulatedController::randomInputNeverBreaksIt()
{
    Rig rig;
    // Mostly digits and line feeds, so that many lines reach the command handlers.
    static const char Alphabet[] = "0123456789ABCDEF0123456789ABCDEF78F01\n\n\n\r ga\x00\xFF";
    QRandomGenerator random(7);
    for (int round = 0; round < 4000; ++round) {
        QByteArray chunk;
        const int length = int(random.bounded(1, 160));
        for (int i = 0; i < length; ++i)
            chunk += Alphabet[random.bounded(int(sizeof Alphabet - 1))];
        if (round % 500 == 0)
            rig.c->setInBootloader(round % 1000 == 0);
        rig.t += 7;
        const QByteArray out = rig.c->feed(chunk);
        // Answers are acknowledgement bytes and complete lines of upper-case digits.
        for (char ch : out)
            QVERIFY(ch == '*' || ch == '\r' || (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'));
    }
    QVERIFY(rig.c->frames().size() <= SimulatedController::MaxLoggedFrames);
    rig.c->setInBootloader(false);
    rig.c->resetInput();
    QCOMPARE(rig.send("80"), QByteArray("800105\r"));
    QVERIFY(rig.c->schedule().size() <= 255);
}

QTEST_GUILESS_MAIN(TestSimulatedController)
#include "tst_simulatedcontroller.moc"
