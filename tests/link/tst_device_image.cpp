#include "link/device_image.h"

#include <QTest>
#include <QThread>

#include <array>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// The data part of the link thread's frame buffer.
using Data = std::array<uint8_t, 132>;

std::span<const uint8_t> bytesOf(const Data &d, std::size_t n) { return {d.data(), n}; }

// An Info record as the controller would send it, with the given line count.
Data infoAnswer(uint8_t lineCount)
{
    InfoRecord info{};
    info.LineCount = lineCount;
    info.Hour = 12;
    info.Level[3] = 2048;
    Data d{};
    std::memcpy(d.data(), &info, sizeof info);
    return d;
}

Data lineAnswer(uint8_t index, uint8_t hour)
{
    ScheduleLine line{};
    line.Hour = hour;
    line.Minute = 30;
    line.Alt = int16_t(-1234);
    line.Color16[11] = 100;
    line.Switch = 0x1F;
    Data d{};
    d[0] = index;
    std::memcpy(d.data() + 1, &line, sizeof line);
    return d;
}

// A schedule of n lines as after a download, nothing marked.
void loadSchedule(int n)
{
    const Data info = infoAnswer(uint8_t(n));
    raiseRequest(GetInfo);
    QVERIFY(copyInInfo(bytesOf(info, InfoSize)));
    for (int i = 0; i < n; ++i)
        QVERIFY(copyInScheduleLine(bytesOf(lineAnswer(uint8_t(i), uint8_t(i)), ScheduleFrameSize)));
    QCOMPARE(pendingRequests(), 0u);
}

struct CopyIn {
    std::function<bool(std::span<const uint8_t>)> copy;
    std::size_t size;
    uint8_t *image;
};

CopyIn copyInFor(const QByteArray &record)
{
    if (record == "Info")
        return {copyInInfo, InfoSize, recordBytes(Info).data()};
    if (record == "Config")
        return {copyInConfig, ConfigSize, recordBytes(Config).data()};
    if (record == "Expert")
        return {copyInExpert, ExpertSize, recordBytes(Expert).data()};
    if (record == "ExpertWeather")
        return {copyInExpertWeather, ExpertWeatherSize, recordBytes(ExpertWeather).data()};
    return {copyInChart, ChartSize, recordBytes(Chart).data()};
}

} // namespace

class TestDeviceImage : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDeviceImage(); }

    void startupValues();

    void serving_data();
    void serving();
    void raisingASetBitChangesNothing();
    void raiseIgnoresUnknownBits();

    void copyIn_data();
    void copyIn();
    void editDuringReadIsKept();
    void copyInRejectsShortData();

    void infoCopyInResizesAllTables();
    void lineCountZeroEmptiesTables();
    void shrinkingDropsMarks();

    void copyOutClearsOnlyItsBit_data();
    void copyOutClearsOnlyItsBit();
    void copyOutRejectsShortBuffer();
    void noChangeMarkers_data();
    void noChangeMarkers();

    void scheduleCopyOutOrder();
    void scheduleCopyOutNone();
    void scheduleCopyOutStaysBelowLineCount();
    void markLines();

    void scheduleLineCopyIn_data();
    void scheduleLineCopyIn();
    void downloadKeepsChangedLine();

    void wholeWordWrite();

    void waitReturnsAtOnceWhenPending();
    void waitTimesOutWhenIdle();
    void raiseWakesWaiter();
    void wakeReleasesWaiter();
};

void TestDeviceImage::startupValues()
{
    setStartupValues();
    QCOMPARE(int(Config.Lat), 501);
    QCOMPARE(int(Config.Lon), 85);
    for (int i = 0; i < ChartSampleCount; ++i) {
        QCOMPARE(recordBytes(Chart)[2 * i], uint8_t(0xFF));
        QCOMPARE(recordBytes(Chart)[2 * i + 1], uint8_t(0x7F));
    }
    QCOMPARE(pendingRequests(), 0u);
    QCOMPARE(int(Info.LineCount), 0);
}

void TestDeviceImage::serving_data()
{
    QTest::addColumn<uint>("word");
    QTest::addColumn<uint>("bit");
    QTest::addColumn<bool>("served");

    QTest::newRow("GetInfo alone") << GetInfo << GetInfo << true;
    QTest::newRow("GetInfo, time write") << (GetInfo | SetInfoTime) << GetInfo << false;
    QTest::newRow("GetInfo, level write") << (GetInfo | SetInfoLevels) << GetInfo << false;
    QTest::newRow("GetInfo, line write") << (GetInfo | SetInfoActiveLine) << GetInfo << false;
    QTest::newRow("GetInfo, other writes") << (GetInfo | SetConfig | SetExpert | SetSchedule) << GetInfo << true;
    QTest::newRow("GetConfig alone") << GetConfig << GetConfig << true;
    QTest::newRow("GetConfig, write") << (GetConfig | SetConfig) << GetConfig << false;
    QTest::newRow("GetConfig, Info writes") << (GetConfig | SetInfoAny) << GetConfig << true;
    QTest::newRow("GetSchedule alone") << GetSchedule << GetSchedule << true;
    QTest::newRow("GetSchedule, write") << (GetSchedule | SetSchedule) << GetSchedule << false;
    QTest::newRow("GetExpert, write") << (GetExpert | SetExpert) << GetExpert << false;
    QTest::newRow("GetExpert, weather write") << (GetExpert | SetExpertWeather) << GetExpert << true;
    QTest::newRow("GetExpertWeather, write") << (GetExpertWeather | SetExpertWeather) << GetExpertWeather << false;
    QTest::newRow("GetExpertWeather alone") << GetExpertWeather << GetExpertWeather << true;
    QTest::newRow("GetChart with chart source") << ChartSource << GetChart << true;
    QTest::newRow("SetExpert with chart source") << ChartSource << SetExpert << true;
    QTest::newRow("SetConfig, everything") << AllRequestBits << SetConfig << true;
    QTest::newRow("SetInfoTime, everything") << AllRequestBits << SetInfoTime << true;
    QTest::newRow("FirmwareUpdate") << FirmwareUpdate << FirmwareUpdate << true;
    QTest::newRow("SaveEEPROM") << (SaveEEPROM | GetInfo) << SaveEEPROM << true;
    QTest::newRow("ToggleStorm") << ToggleStorm << ToggleStorm << true;
    QTest::newRow("not raised") << (AllRequestBits & ~ToggleCloud) << ToggleCloud << false;
    QTest::newRow("GetChart not raised") << Refresh << GetChart << false;
    QTest::newRow("nothing") << 0u << GetInfo << false;
}

void TestDeviceImage::serving()
{
    QFETCH(uint, word);
    QFETCH(uint, bit);
    QFETCH(bool, served);
    setRequestFlags(word);
    QCOMPARE(shouldServe(bit), served);
    QCOMPARE(pendingRequests(), uint32_t(word)); // testing changes nothing
}

void TestDeviceImage::raisingASetBitChangesNothing()
{
    raiseRequest(SetConfig);
    raiseRequest(SetConfig);
    QCOMPARE(pendingRequests(), SetConfig);
    Data d{};
    QVERIFY(copyOutConfig(d));
    QVERIFY(!shouldServe(SetConfig)); // one transfer for both raises
}

void TestDeviceImage::raiseIgnoresUnknownBits()
{
    raiseRequest(0xFFFE0000u);
    QCOMPARE(pendingRequests(), 0u);
    setRequestFlags(0xFFFFFFFFu);
    QCOMPARE(pendingRequests(), AllRequestBits);
}

void TestDeviceImage::copyIn_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<uint>("before");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<uint>("after");

    QTest::newRow("Info") << QByteArray("Info") << Poll << true << GetConfig;
    QTest::newRow("Info, time write") << QByteArray("Info") << (GetInfo | SetInfoTime) << false << SetInfoTime;
    QTest::newRow("Info, level write") << QByteArray("Info") << (GetInfo | SetInfoLevels) << false << SetInfoLevels;
    QTest::newRow("Info, line write") << QByteArray("Info") << (GetInfo | SetInfoActiveLine) << false << SetInfoActiveLine;
    QTest::newRow("Info, Config write") << QByteArray("Info") << (GetInfo | SetConfig) << true << SetConfig;
    QTest::newRow("Config") << QByteArray("Config") << FullDownload << true << (FullDownload & ~GetConfig);
    QTest::newRow("Config, write") << QByteArray("Config") << (GetConfig | SetConfig) << false << SetConfig;
    QTest::newRow("Config, Info write") << QByteArray("Config") << (GetConfig | SetInfoLevels) << true << SetInfoLevels;
    QTest::newRow("Expert") << QByteArray("Expert") << GetExpert << true << 0u;
    QTest::newRow("Expert, write") << QByteArray("Expert") << (GetExpert | SetExpert) << false << SetExpert;
    QTest::newRow("ExpertWeather") << QByteArray("ExpertWeather") << GetExpertWeather << true << 0u;
    QTest::newRow("ExpertWeather, write") << QByteArray("ExpertWeather") << (GetExpertWeather | SetExpertWeather) << false << SetExpertWeather;
    QTest::newRow("Chart") << QByteArray("Chart") << ChartSource << true << SetExpert;
    QTest::newRow("Chart, every write") << QByteArray("Chart") << AllRequestBits << true << (AllRequestBits & ~GetChart);
    // A record that arrives without its bit (raised again and served meanwhile) is still taken.
    QTest::newRow("Config, bit not set") << QByteArray("Config") << 0u << true << 0u;
}

void TestDeviceImage::copyIn()
{
    QFETCH(QByteArray, record);
    QFETCH(uint, before);
    QFETCH(bool, copied);
    QFETCH(uint, after);

    const CopyIn c = copyInFor(record);
    Data answer{};
    for (std::size_t i = 0; i < c.size; ++i)
        answer[i] = uint8_t(0xA0 + i);
    answer[0] = 4; // a small LineCount for Info
    std::vector<uint8_t> old(c.image, c.image + c.size);

    setRequestFlags(before);
    QCOMPARE(c.copy(bytesOf(answer, c.size)), copied);
    QCOMPARE(pendingRequests(), uint32_t(after));
    const std::vector<uint8_t> now(c.image, c.image + c.size);
    if (copied)
        QVERIFY(now == std::vector<uint8_t>(answer.begin(), answer.begin() + c.size));
    else
        QVERIFY(now == old);
}

void TestDeviceImage::editDuringReadIsKept()
{
    // The window raises SetConfig while a GetConfig answer is on its way.
    raiseRequest(Poll);
    Config.FanLow = 77;
    raiseRequest(SetConfig);

    ConfigRecord device{};
    device.FanLow = 10;
    Data answer{};
    std::memcpy(answer.data(), &device, sizeof device);
    QVERIFY(!copyInConfig(bytesOf(answer, ConfigSize)));
    QCOMPARE(int(Config.FanLow), 77);

    // The next pass sends the window's values.
    QVERIFY(shouldServe(SetConfig));
    Data out{};
    QVERIFY(copyOutConfig(out));
    QCOMPARE(int(out[offsetof(ConfigRecord, FanLow)]), 77);
    QCOMPARE(pendingRequests(), GetInfo);
}

void TestDeviceImage::copyInRejectsShortData()
{
    raiseRequest(FullDownload);
    Data d{};
    QVERIFY(!copyInInfo(bytesOf(d, InfoSize - 1)));
    QVERIFY(!copyInConfig(bytesOf(d, 0)));
    QVERIFY(!copyInChart(bytesOf(d, ChartSize - 1)));
    QVERIFY(!copyInScheduleLine(bytesOf(d, ScheduleFrameSize - 1)));
    // As for a failed read: the bits stay for another try.
    QCOMPARE(pendingRequests(), FullDownload);
}

void TestDeviceImage::infoCopyInResizesAllTables()
{
    loadSchedule(3);
    ScheduleDirty[1] = 1;
    CurvePoints[2] = QPoint(5, 6);

    raiseRequest(GetInfo);
    QVERIFY(copyInInfo(bytesOf(infoAnswer(8), InfoSize)));
    QCOMPARE(Schedule.size(), std::size_t(8));
    QCOMPARE(ScheduleDirty.size(), std::size_t(8));
    QCOMPARE(CurvePoints.size(), std::size_t(8));
    // Existing elements kept, new ones zero.
    QCOMPARE(int(Schedule[2].Hour), 2);
    QCOMPARE(int(Schedule[0].Alt), -1234);
    QCOMPARE(int(ScheduleDirty[1]), 1);
    QCOMPARE(CurvePoints[2], QPoint(5, 6));
    for (std::size_t i = 3; i < 8; ++i) {
        QCOMPARE(int(Schedule[i].Hour), 0);
        QCOMPARE(int(Schedule[i].Switch), 0);
        QCOMPARE(int(ScheduleDirty[i]), 0);
        QCOMPARE(CurvePoints[i], QPoint());
    }

    // A discarded Info resizes nothing.
    raiseRequest(GetInfo | SetInfoLevels);
    QVERIFY(!copyInInfo(bytesOf(infoAnswer(2), InfoSize)));
    QCOMPARE(Schedule.size(), std::size_t(8));
    QCOMPARE(int(Info.LineCount), 8);
}

void TestDeviceImage::lineCountZeroEmptiesTables()
{
    loadSchedule(5);
    raiseRequest(GetInfo);
    QVERIFY(copyInInfo(bytesOf(infoAnswer(0), InfoSize)));
    QVERIFY(Schedule.empty());
    QVERIFY(ScheduleDirty.empty());
    QVERIFY(CurvePoints.empty());

    markAllScheduleLinesChanged();
    QCOMPARE(pendingRequests(), 0u);
    raiseRequest(SetSchedule);
    Data d{};
    QVERIFY(!copyOutScheduleLine(d));
    QCOMPARE(pendingRequests(), 0u);
    QVERIFY(!copyInScheduleLine(bytesOf(lineAnswer(0, 1), ScheduleFrameSize)));
}

void TestDeviceImage::shrinkingDropsMarks()
{
    loadSchedule(10);
    markScheduleLinesChanged({7, 8});
    raiseRequest(GetInfo);
    QVERIFY(copyInInfo(bytesOf(infoAnswer(6), InfoSize)));
    QCOMPARE(ScheduleDirty.size(), std::size_t(6));

    // Those lines are never sent.
    Data d{};
    QVERIFY(!copyOutScheduleLine(d));
    QCOMPARE(pendingRequests(), 0u);

    // Growing again brings back fresh, unmarked lines.
    raiseRequest(GetInfo);
    QVERIFY(copyInInfo(bytesOf(infoAnswer(10), InfoSize)));
    QCOMPARE(int(ScheduleDirty[7]), 0);
    QCOMPARE(int(ScheduleDirty[8]), 0);
    QCOMPARE(int(Schedule[7].Hour), 0);
}

void TestDeviceImage::copyOutClearsOnlyItsBit_data()
{
    QTest::addColumn<uint>("bit");
    QTest::newRow("time") << SetInfoTime;
    QTest::newRow("levels") << SetInfoLevels;
    QTest::newRow("active line") << SetInfoActiveLine;
    QTest::newRow("Config") << SetConfig;
    QTest::newRow("Expert") << SetExpert;
    QTest::newRow("ExpertWeather") << SetExpertWeather;
}

void TestDeviceImage::copyOutClearsOnlyItsBit()
{
    QFETCH(uint, bit);
    for (std::size_t i = 0; i < InfoSize; ++i)
        recordBytes(Info)[i] = uint8_t(i + 1);
    for (std::size_t i = 0; i < ConfigSize; ++i)
        recordBytes(Config)[i] = uint8_t(i + 2);
    for (std::size_t i = 0; i < ExpertSize; ++i)
        recordBytes(Expert)[i] = uint8_t(i + 3);
    for (std::size_t i = 0; i < ExpertWeatherSize; ++i)
        recordBytes(ExpertWeather)[i] = uint8_t(i + 4);

    setRequestFlags(AllRequestBits);
    Data d;
    d.fill(0xEE);
    std::span<const uint8_t> image;
    bool ok = false;
    if (bit & SetInfoAny) {
        ok = copyOutInfo(bit, d);
        image = recordBytes(Info);
    } else if (bit == SetConfig) {
        ok = copyOutConfig(d);
        image = recordBytes(Config);
    } else if (bit == SetExpert) {
        ok = copyOutExpert(d);
        image = recordBytes(Expert);
    } else {
        ok = copyOutExpertWeather(d);
        image = recordBytes(ExpertWeather);
    }
    QVERIFY(ok);
    QCOMPARE(pendingRequests(), AllRequestBits & ~uint32_t(bit));
    QVERIFY(std::equal(image.begin(), image.end(), d.begin()));
    QCOMPARE(d[image.size()], uint8_t(0xEE)); // nothing written past the record
}

void TestDeviceImage::copyOutRejectsShortBuffer()
{
    loadSchedule(2);
    setRequestFlags(SetConfig | SetInfoTime | SetSchedule);
    markScheduleLinesChanged({1});
    std::array<uint8_t, 17> small{};
    QVERIFY(!copyOutConfig(std::span<uint8_t>(small.data(), ConfigSize - 1)));
    QVERIFY(!copyOutInfo(SetInfoTime, small));
    QVERIFY(!copyOutScheduleLine(small));
    QCOMPARE(pendingRequests(), SetConfig | SetInfoTime | SetSchedule);
    QCOMPARE(int(ScheduleDirty[1]), 1);
}

void TestDeviceImage::noChangeMarkers_data()
{
    QTest::addColumn<uint>("variant");
    QTest::addColumn<bool>("keepsClock");
    QTest::addColumn<bool>("keepsLevels");
    QTest::addColumn<bool>("keepsActiveLine");
    QTest::newRow("time") << SetInfoTime << true << false << false;
    QTest::newRow("levels") << SetInfoLevels << false << true << false;
    QTest::newRow("active line") << SetInfoActiveLine << false << false << true;
}

void TestDeviceImage::noChangeMarkers()
{
    QFETCH(uint, variant);
    QFETCH(bool, keepsClock);
    QFETCH(bool, keepsLevels);
    QFETCH(bool, keepsActiveLine);

    Info.ActiveLine = 3;
    Info.Centisecond = 5;
    Info.Second = 6;
    Info.Minute = 7;
    Info.Hour = 8;
    Info.Day = 9;
    Info.Month = 10;
    Info.Year = 25;
    for (int i = 0; i < ChannelCount; ++i)
        Info.Level[i] = uint16_t(100 * i);
    raiseRequest(variant);
    Data d{};
    QVERIFY(copyOutInfo(variant, d));
    applyNoChangeMarkers(d, variant);
    InfoRecord sent;
    std::memcpy(&sent, d.data(), sizeof sent);

    QCOMPARE(int(sent.Minute), keepsClock ? 7 : 0xFF);
    QCOMPARE(int(uint8_t(sent.ActiveLine)), keepsActiveLine ? 3 : 0xFF);
    for (int i = 0; i < ChannelCount; ++i)
        QCOMPARE(int(sent.Level[i]), keepsLevels ? 100 * i : 0xFFFF);
    // The rest of the clock travels unchanged in every variant.
    QCOMPARE(int(sent.Centisecond), 5);
    QCOMPARE(int(sent.Hour), 8);
    QCOMPARE(int(sent.Year), 25);
    QCOMPARE(pendingRequests(), 0u);
}

void TestDeviceImage::scheduleCopyOutOrder()
{
    loadSchedule(10);
    markScheduleLinesChanged({7});
    markScheduleLinesChanged({2, 5});
    QCOMPARE(pendingRequests(), SetSchedule);

    QList<int> sent;
    Data d{};
    while (copyOutScheduleLine(d)) {
        sent << d[0];
        ScheduleLine line;
        std::memcpy(&line, d.data() + 1, sizeof line);
        QCOMPARE(int(line.Hour), int(d[0]));
        QCOMPARE(int(line.Alt), -1234);
        QCOMPARE(int(line.Color16[11]), 100);
        QCOMPARE(int(line.Switch), 0x1F);
        QCOMPARE(pendingRequests(), SetSchedule); // stays until a pass finds nothing
        QVERIFY(sent.size() <= 3);
    }
    QCOMPARE(sent, QList<int>({2, 5, 7}));
    QCOMPARE(pendingRequests(), 0u);
    for (uint8_t m : ScheduleDirty)
        QCOMPARE(int(m), 0);
}

void TestDeviceImage::scheduleCopyOutNone()
{
    loadSchedule(4);
    setRequestFlags(SetSchedule | GetChart);
    Data d;
    d.fill(0x55);
    QVERIFY(!copyOutScheduleLine(d));
    QCOMPARE(pendingRequests(), GetChart);
    QCOMPARE(d[0], uint8_t(0x55)); // nothing to send: the buffer is left alone
}

void TestDeviceImage::scheduleCopyOutStaysBelowLineCount()
{
    // Before any Info has arrived the tables are empty; a stray SetSchedule must not read
    // beyond them, whatever LineCount says.
    Info.LineCount = 20;
    raiseRequest(SetSchedule);
    Data d{};
    QVERIFY(!copyOutScheduleLine(d));
    QCOMPARE(pendingRequests(), 0u);
}

void TestDeviceImage::markLines()
{
    loadSchedule(4);
    markScheduleLinesChanged({-1, 4, 100});
    QCOMPARE(pendingRequests(), 0u);
    markScheduleLinesChanged({3, 9}, SetConfig);
    QCOMPARE(pendingRequests(), ColumnPaste);
    QCOMPARE(std::vector<uint8_t>(ScheduleDirty), std::vector<uint8_t>({0, 0, 0, 1}));
    clearRequests(AllRequestBits);
    markAllScheduleLinesChanged();
    QCOMPARE(pendingRequests(), SetSchedule);
    QCOMPARE(std::vector<uint8_t>(ScheduleDirty), std::vector<uint8_t>({1, 1, 1, 1}));
}

void TestDeviceImage::scheduleLineCopyIn_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("stored");
    QTest::newRow("first") << 0 << true;
    QTest::newRow("last") << 9 << true;
    QTest::newRow("equal to length") << 10 << false;
    QTest::newRow("beyond") << 100 << false;
    QTest::newRow("0xFF is -1") << 0xFF << false;
    QTest::newRow("0x80 is -128") << 0x80 << false;
    QTest::newRow("200 is negative") << 200 << false;
}

void TestDeviceImage::scheduleLineCopyIn()
{
    QFETCH(int, index);
    QFETCH(bool, stored);
    loadSchedule(10);
    const std::vector<ScheduleLine> before = Schedule;
    setRequestFlags(GetSchedule | GetChart);

    QCOMPARE(copyInScheduleLine(bytesOf(lineAnswer(uint8_t(index), 23), ScheduleFrameSize)), stored);
    QCOMPARE(pendingRequests(), GetSchedule | GetChart); // no bits touched
    QCOMPARE(Schedule.size(), std::size_t(10));
    for (std::size_t i = 0; i < Schedule.size(); ++i) {
        const int expectedHour = (stored && int(i) == index) ? 23 : before[i].Hour;
        QCOMPARE(int(Schedule[i].Hour), expectedHour);
    }
}

void TestDeviceImage::downloadKeepsChangedLine()
{
    loadSchedule(5);
    // The user edits line 3 while a download runs (or after a whole-word write dropped
    // SetSchedule but left the mark).
    Schedule[3].Hour = 21;
    markScheduleLinesChanged({3});
    setRequestFlags(GetSchedule);

    QVERIFY(!copyInScheduleLine(bytesOf(lineAnswer(3, 9), ScheduleFrameSize)));
    QVERIFY(copyInScheduleLine(bytesOf(lineAnswer(4, 9), ScheduleFrameSize)));
    QCOMPARE(int(Schedule[3].Hour), 21);
    QCOMPARE(int(Schedule[4].Hour), 9);
    // The edit is still going to be sent.
    QCOMPARE(pendingRequests(), GetSchedule | SetSchedule);
    Data d{};
    QVERIFY(copyOutScheduleLine(d));
    QCOMPARE(int(d[0]), 3);
    QCOMPARE(int(d[1]), 21);
}

void TestDeviceImage::wholeWordWrite()
{
    loadSchedule(4);
    markScheduleLinesChanged({2}, SetExpert | GetChart | SetInfoLevels);
    // RGB demo / Flash: only SetConfig stays; the line mark survives.
    setRequestFlags(SetConfig);
    QCOMPARE(pendingRequests(), SetConfig);
    QCOMPARE(int(ScheduleDirty[2]), 1);
    raiseRequest(SetSchedule);
    Data d{};
    QVERIFY(copyOutScheduleLine(d));
    QCOMPARE(int(d[0]), 2);

    setRequestFlags(FullDownload);
    QCOMPARE(pendingRequests(), FullDownload);
    setRequestFlags(0);
    QCOMPARE(pendingRequests(), 0u);
}

void TestDeviceImage::waitReturnsAtOnceWhenPending()
{
    raiseRequest(ToggleCloud);
    // A long time-out would make the test hang if the pending bit were not seen.
    QVERIFY(waitForRequest(60000));
    QCOMPARE(pendingRequests(), ToggleCloud);
}

void TestDeviceImage::waitTimesOutWhenIdle()
{
    QVERIFY(!waitForRequest(1));
    QVERIFY(!waitForRequest(0));
}

void TestDeviceImage::raiseWakesWaiter()
{
    bool result = false;
    std::unique_ptr<QThread> waiter(QThread::create([&result] { result = waitForRequest(60000); }));
    waiter->start();
    raiseRequest(GetChart); // before or during the wait: either way the waiter sees it
    QVERIFY(waiter->wait(10000));
    QVERIFY(result);
}

void TestDeviceImage::wakeReleasesWaiter()
{
    bool result = true;
    std::unique_ptr<QThread> waiter(QThread::create([&result] { result = waitForRequest(60000); }));
    waiter->start();
    // The waiter may not be waiting yet when the first wake comes; keep waking.
    for (int i = 0; i < 1000 && !waiter->wait(10); ++i)
        wakeRequestWaiters();
    QVERIFY(waiter->isFinished());
    QVERIFY(!result);
}

QTEST_GUILESS_MAIN(TestDeviceImage)
#include "tst_device_image.moc"
