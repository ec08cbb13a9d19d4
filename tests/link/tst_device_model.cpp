// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/device_model.h"

#include <QTest>
#include <QThread>

#include <array>
#include <cstring>
#include <functional>
#include <memory>

namespace {

using Data = std::array<uint8_t, 132>; // the data part of the link thread's frame buffer

std::span<const uint8_t> first(const Data &d, std::size_t n) { return {d.data(), n}; }

Data infoAnswer(uint8_t lineCount)
{
    InfoRecord info{};
    info.LineCount = lineCount;
    Data d{};
    std::memcpy(d.data(), &info, sizeof info);
    return d;
}

Data lineAnswer(uint8_t index, uint8_t hour)
{
    ScheduleLine line{};
    line.Hour = hour;
    line.Alt = int16_t(-1234);
    line.Switch = 0x1F;
    Data d{};
    d[0] = index;
    std::memcpy(d.data() + 1, &line, sizeof line);
    return d;
}

// Whether a pass may serve the bit: raised, and no write that holds the read back.
bool isServed(uint32_t word, uint32_t bit) { return (word & bit) != 0 && (word & WritesBlockingRead(bit)) == 0; }

// A downloaded schedule of n lines whose Hour is the line number; no bits left.
void loadSchedule(DeviceModel *model, int n)
{
    const auto img = [model]() -> DeviceImage & { return model->imageForLoading(); };
    model->request(GetInfo);
    QVERIFY(model->copyIn(GetInfo, first(infoAnswer(uint8_t(n)), InfoSize)));
    for (int i = 0; i < n; ++i) {
        if (i < 128)
            QVERIFY(model->copyInScheduleLine(first(lineAnswer(uint8_t(i), uint8_t(i)), ScheduleFrameSize)));
        else // the signed index cannot address these lines
            img().Schedule[std::size_t(i)].Hour = uint8_t(i);
    }
    QCOMPARE(model->pendingRequests(), 0u);
}

} // namespace

class TestDeviceModel : public QObject {
    Q_OBJECT

private slots:
    // A fresh controller for every case.
    void init() { model = std::make_unique<DeviceModel>(); }

    void startupValues()
    {
        model->setStartupValues();
        QCOMPARE(int(img().Config.Lat), 501);
        QCOMPARE(int(img().Config.Lon), 85);
        for (const lei16 &s : img().Chart.Sample)
            QCOMPARE(int(s), 0x7FFF);
    }

    void serving_data()
    {
        QTest::addColumn<uint>("word");
        QTest::addColumn<uint>("bit");
        QTest::addColumn<bool>("served");
        QTest::newRow("GetInfo") << GetInfo << GetInfo << true;
        QTest::newRow("GetInfo, time write") << (GetInfo | SetInfoTime) << GetInfo << false;
        QTest::newRow("GetInfo, level write") << (GetInfo | SetInfoLevels) << GetInfo << false;
        QTest::newRow("GetInfo, line write") << (GetInfo | SetInfoActiveLine) << GetInfo << false;
        QTest::newRow("GetInfo, other writes") << (GetInfo | SetConfig | SetSchedule) << GetInfo << true;
        QTest::newRow("GetConfig, write") << (GetConfig | SetConfig) << GetConfig << false;
        QTest::newRow("GetConfig, Info writes") << (GetConfig | SetInfoAny) << GetConfig << true;
        QTest::newRow("GetSchedule, write") << (GetSchedule | SetSchedule) << GetSchedule << false;
        QTest::newRow("GetExpert, write") << (GetExpert | SetExpert) << GetExpert << false;
        QTest::newRow("GetExpertWeather, write") << (GetExpertWeather | SetExpertWeather) << GetExpertWeather << false;
        QTest::newRow("GetChart, Expert write") << ChartSource << GetChart << true;
        QTest::newRow("SetConfig, everything") << AllRequestBits << SetConfig << true;
        QTest::newRow("FirmwareUpdate") << FirmwareUpdate << FirmwareUpdate << true;
        QTest::newRow("not raised") << (AllRequestBits & ~ToggleCloud) << ToggleCloud << false;
    }

    void serving()
    {
        QFETCH(uint, word);
        QFETCH(uint, bit);
        QFETCH(bool, served);
        model->replaceRequests(word);
        QCOMPARE(isServed(model->pendingRequests(), bit), served);
        QCOMPARE(model->pendingRequests(), uint32_t(word));
    }

    // Every bit raised at once: each pass serves one, and the copy-out or copy-in clears it.
    void serviceOrderOfAllBits()
    {
        const uint32_t order[] = {SetConfig, GetConfig, SetInfoTime, SetInfoLevels, SetInfoActiveLine,
                                  GetInfo, SetExpert, GetExpert, SetSchedule, GetSchedule, GetChart,
                                  SetExpertWeather, GetExpertWeather, SaveEEPROM, ToggleCloud, ToggleStorm,
                                  FirmwareUpdate};
        uint32_t word = AllRequestBits;
        for (const uint32_t bit : order) {
            QCOMPARE(nextDueRequest(word), bit);
            word &= ~bit;
        }
        QCOMPARE(word, 0u);
        QCOMPARE(nextDueRequest(word), 0u);
        QCOMPARE(nextDueRequest(0xFFFE0000u), 0u);
    }

    // A refused write waiting for its next attempt lets everything behind it through,
    // its own read included (whose answer the set bit still keeps out of the image).
    void heldWrites_data()
    {
        QTest::addColumn<uint>("word");
        QTest::addColumn<uint>("held");
        QTest::addColumn<uint>("next");
        QTest::newRow("config poll") << (SetConfig | Poll) << uint(SetConfig) << GetConfig;
        QTest::newRow("info poll") << (SetInfoTime | GetInfo) << uint(SetInfoTime) << GetInfo;
        QTest::newRow("other Info write") << (SetInfoTime | SetInfoLevels | GetInfo) << uint(SetInfoTime)
                                          << SetInfoLevels;
        QTest::newRow("schedule download") << (SetSchedule | GetSchedule) << uint(SetSchedule) << GetSchedule;
        QTest::newRow("commands") << (SetExpertWeather | ToggleStorm) << uint(SetExpertWeather) << ToggleStorm;
        QTest::newRow("nothing else") << uint(SetExpert) << uint(SetExpert) << 0u;
        QTest::newRow("held but not raised") << uint(GetExpert) << uint(SetExpert) << GetExpert;
    }

    void heldWrites()
    {
        QFETCH(uint, word);
        QFETCH(uint, held);
        QFETCH(uint, next);
        QCOMPARE(nextDueRequest(word, held), uint32_t(next));
        // Held bits do not end an idle wait.
        model->replaceRequests(held);
        QVERIFY(!model->requests().waitForRequest(1, held));
        QVERIFY(model->requests().waitForRequest(1));
    }

    void newConnectionStartsClean()
    {
        loadSchedule(model.get(), 4);
        model->markScheduleLinesChanged({1, 3}, SetConfig | GetChart);
        model->resetForNewConnection();
        QCOMPARE(model->pendingRequests(), 0u);
        QCOMPARE(img().ScheduleDirty, std::vector<uint8_t>(4, 0));
        // The full download that follows takes every line the controller sends.
        model->request(GetSchedule);
        QVERIFY(model->copyInScheduleLine(first(lineAnswer(1, 17), ScheduleFrameSize)));
        QCOMPARE(img().Schedule[1].Hour, uint8_t(17));
        QCOMPARE(model->pendingRequests(), GetSchedule);
    }

    void raisingASetBitChangesNothing()
    {
        model->request(SetConfig);
        model->request(SetConfig | 0xFFFE0000u); // bits 17..31 are never raised
        QCOMPARE(model->pendingRequests(), SetConfig);
        Data d{};
        QVERIFY(model->copyOutConfig(d));
        QVERIFY(!isServed(model->pendingRequests(), SetConfig)); // one transfer for both raises
    }

    void copyIn_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<uint>("before");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<uint>("after");
        QTest::newRow("Info") << QByteArray("Info") << Poll << true << GetConfig;
        QTest::newRow("img().Info, time write") << QByteArray("Info") << (GetInfo | SetInfoTime) << false << SetInfoTime;
        QTest::newRow("img().Info, line write") << QByteArray("Info") << (GetInfo | SetInfoActiveLine) << false << SetInfoActiveLine;
        QTest::newRow("img().Info, Config write") << QByteArray("Info") << (GetInfo | SetConfig) << true << SetConfig;
        QTest::newRow("Config") << QByteArray("Config") << FullDownload << true << (FullDownload & ~GetConfig);
        QTest::newRow("img().Config, write") << QByteArray("Config") << (GetConfig | SetConfig) << false << SetConfig;
        QTest::newRow("img().Expert, write") << QByteArray("Expert") << (GetExpert | SetExpert) << false << SetExpert;
        QTest::newRow("ExpertWeather") << QByteArray("ExpertWeather") << GetExpertWeather << true << 0u;
        QTest::newRow("img().ExpertWeather, write") << QByteArray("ExpertWeather") << (GetExpertWeather | SetExpertWeather) << false << SetExpertWeather;
        QTest::newRow("img().Chart, every write") << QByteArray("Chart") << AllRequestBits << true << (AllRequestBits & ~GetChart);
    }

    void copyIn()
    {
        QFETCH(QByteArray, record);
        QFETCH(uint, before);
        QFETCH(bool, copied);
        QFETCH(uint, after);
        struct Target {
            std::function<bool(std::span<const uint8_t>)> copy;
            std::span<uint8_t> image;
        };
        const QHash<QByteArray, Target> targets = {
            {"Info", {copyInOf(GetInfo), recordBytes(img().Info)}},
            {"Config", {copyInOf(GetConfig), recordBytes(img().Config)}},
            {"Expert", {copyInOf(GetExpert), recordBytes(img().Expert)}},
            {"ExpertWeather", {copyInOf(GetExpertWeather), recordBytes(img().ExpertWeather)}},
            {"Chart", {copyInOf(GetChart), recordBytes(img().Chart)}}};
        const Target t = targets.value(record);
        Data answer;
        for (std::size_t i = 0; i < answer.size(); ++i)
            answer[i] = uint8_t(0xA0 + i);
        const std::vector<uint8_t> old(t.image.begin(), t.image.end());

        model->replaceRequests(before);
        QCOMPARE(t.copy(first(answer, t.image.size())), copied);
        QCOMPARE(model->pendingRequests(), uint32_t(after));
        QVERIFY(std::equal(t.image.begin(), t.image.end(), copied ? answer.data() : old.data()));
    }

    void editDuringReadIsKept()
    {
        model->request(Poll);
        img().Config.FanLow = 77; // the window's edit while the GetConfig answer is on its way
        model->request(SetConfig);
        Data answer{};
        answer[offsetof(ConfigRecord, FanLow)] = 10;
        QVERIFY(!model->copyIn(GetConfig, first(answer, ConfigSize)));
        QCOMPARE(int(img().Config.FanLow), 77);
        QVERIFY(isServed(model->pendingRequests(), SetConfig)); // the next pass sends the window's values
        Data out{};
        QVERIFY(model->copyOutConfig(out));
        QCOMPARE(int(out[offsetof(ConfigRecord, FanLow)]), 77);
    }

    void shortBuffersChangeNothing()
    {
        loadSchedule(model.get(), 2);
        model->replaceRequests(FullDownload);
        Data d{};
        QVERIFY(!model->copyIn(GetInfo, first(d, InfoSize - 1)));
        QVERIFY(!model->copyIn(GetChart, first(d, 0)));
        QVERIFY(!model->copyInScheduleLine(first(d, ScheduleFrameSize - 1)));
        QCOMPARE(model->pendingRequests(), FullDownload); // as after a failed read

        model->replaceRequests(0);
        model->markScheduleLinesChanged({1}, SetConfig | SetInfoTime);
        std::array<uint8_t, 17> small{};
        QVERIFY(!model->copyOutConfig(small));
        QVERIFY(!model->copyOutInfo(SetInfoTime, small));
        QVERIFY(!model->copyOutScheduleLine(small));
        QCOMPARE(model->pendingRequests(), SetConfig | SetInfoTime | SetSchedule);
        QCOMPARE(int(img().ScheduleDirty[1]), 1);
    }

    void infoCopyInResizesAllTables()
    {
        loadSchedule(model.get(), 3);
        img().ScheduleDirty[1] = 1;
        model->request(GetInfo);
        QVERIFY(model->copyIn(GetInfo, first(infoAnswer(8), InfoSize)));
        QCOMPARE(img().Schedule.size(), std::size_t(8));
        QCOMPARE(img().ScheduleDirty, std::vector<uint8_t>({0, 1, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(int(img().Schedule[2].Hour), 2);
        QCOMPARE(int(img().Schedule[3].Alt), 0); // new lines are zero

        model->request(GetInfo | SetInfoLevels); // a discarded Info resizes nothing
        QVERIFY(!model->copyIn(GetInfo, first(infoAnswer(2), InfoSize)));
        QCOMPARE(img().Schedule.size(), std::size_t(8));

        model->replaceRequests(GetInfo);
        QVERIFY(model->copyIn(GetInfo, first(infoAnswer(0), InfoSize)));
        QVERIFY(img().Schedule.empty() && img().ScheduleDirty.empty());
        model->markAllScheduleLinesChanged();
        QCOMPARE(model->pendingRequests(), 0u);
        QVERIFY(!model->copyInScheduleLine(first(lineAnswer(0, 1), ScheduleFrameSize)));
    }

    void shrinkingDropsMarks()
    {
        loadSchedule(model.get(), 10);
        model->markScheduleLinesChanged({7, 8});
        model->request(GetInfo);
        QVERIFY(model->copyIn(GetInfo, first(infoAnswer(6), InfoSize)));
        Data d{};
        QVERIFY(!model->copyOutScheduleLine(d)); // lines 7 and 8 are never sent
        QCOMPARE(model->pendingRequests(), 0u);
        model->request(GetInfo);
        QVERIFY(model->copyIn(GetInfo, first(infoAnswer(10), InfoSize)));
        QCOMPARE(int(img().ScheduleDirty[7]) + int(img().ScheduleDirty[8]) + int(img().Schedule[7].Hour), 0);
    }

    void infoCopyOutAndMarkers_data()
    {
        QTest::addColumn<uint>("variant");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("activeLine");
        QTest::newRow("time") << SetInfoTime << 7 << 0xFFFF << 0xFF;
        QTest::newRow("levels") << SetInfoLevels << 0xFF << 1000 << 0xFF;
        QTest::newRow("active line") << SetInfoActiveLine << 0xFF << 0xFFFF << 3;
    }

    void infoCopyOutAndMarkers()
    {
        QFETCH(uint, variant);
        QFETCH(int, minute);
        QFETCH(int, level);
        QFETCH(int, activeLine);
        img().Info.ActiveLine = 3;
        img().Info.Minute = 7;
        img().Info.Hour = 8;
        for (le16 &l : img().Info.Level)
            l = 1000;
        model->replaceRequests(SetInfoAny | GetInfo);
        Data d;
        d.fill(0xEE);
        QVERIFY(model->copyOutInfo(variant, d));
        QCOMPARE(model->pendingRequests(), (SetInfoAny | GetInfo) & ~uint32_t(variant));
        QVERIFY(std::equal(d.begin(), d.begin() + InfoSize, recordBytes(img().Info).begin()));
        QCOMPARE(d[InfoSize], uint8_t(0xEE));

        applyNoChangeMarkers(d, variant);
        InfoRecord sent;
        std::memcpy(&sent, d.data(), sizeof sent);
        QCOMPARE(int(sent.Minute), minute);
        QCOMPARE(int(uint8_t(sent.ActiveLine)), activeLine);
        for (const le16 &l : sent.Level)
            QCOMPARE(int(l), level);
        QCOMPARE(int(sent.Hour), 8); // the rest of the clock travels as it is
    }

    void recordCopyOut()
    {
        recordBytes(img().Expert)[43] = 0x43;
        recordBytes(img().ExpertWeather)[68] = 0x68;
        img().Config.Lat = int16_t(-5);
        model->replaceRequests(ImportConfig | GetInfo);
        Data d{};
        QVERIFY(model->copyOutExpert(d));
        QCOMPARE(int(d[43]), 0x43);
        QVERIFY(model->copyOutExpertWeather(d));
        QCOMPARE(int(d[68]), 0x68);
        QVERIFY(model->copyOutConfig(d));
        QCOMPARE(int(d[27]) | int(d[28]) << 8, 0xFFFB);
        QCOMPARE(model->pendingRequests(), GetInfo);
    }

    void scheduleCopyOut()
    {
        loadSchedule(model.get(), 10);
        model->markScheduleLinesChanged({7});
        model->markScheduleLinesChanged({2, 5});
        QList<int> sent;
        Data d{};
        while (model->copyOutScheduleLine(d) && sent.size() < 4) {
            sent << d[0];
            QCOMPARE(int(d[1]), int(d[0])); // Hour of the line that belongs to the index
            QCOMPARE(int(d[17]), 0x1F);
            QCOMPARE(model->pendingRequests(), SetSchedule); // until a pass finds nothing
        }
        QCOMPARE(sent, QList<int>({2, 5, 7}));
        QCOMPARE(model->pendingRequests(), 0u);

        // Nothing marked: the bit goes, the buffer is left alone.
        model->replaceRequests(SetSchedule | GetChart);
        d.fill(0x55);
        QVERIFY(!model->copyOutScheduleLine(d));
        QCOMPARE(model->pendingRequests(), GetChart);
        QCOMPARE(d[0], uint8_t(0x55));

        // A LineCount larger than the tables (no Info copied yet) never reads beyond them.
        model = std::make_unique<DeviceModel>();
        img().Info.LineCount = 20;
        model->request(SetSchedule);
        QVERIFY(!model->copyOutScheduleLine(d));
    }

    void markingLines()
    {
        loadSchedule(model.get(), 4);
        model->markScheduleLinesChanged({-1, 4, 100});
        QCOMPARE(model->pendingRequests(), 0u);
        model->markScheduleLinesChanged({3, 9}, SetConfig);
        QCOMPARE(model->pendingRequests(), ColumnPaste);
        QCOMPARE(img().ScheduleDirty, std::vector<uint8_t>({0, 0, 0, 1}));
        // RGB demo / Flash keep only SetConfig; the mark stays and goes out later.
        model->replaceRequests(SetConfig);
        QCOMPARE(int(img().ScheduleDirty[3]), 1);
        model->request(SetSchedule);
        Data d{};
        QVERIFY(model->copyOutScheduleLine(d));
        QCOMPARE(int(d[0]), 3);
    }

    void scheduleLineCopyIn_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("stored");
        QTest::newRow("first") << 10 << 0 << true;
        QTest::newRow("last") << 10 << 9 << true;
        QTest::newRow("equal to length") << 10 << 10 << false;
        QTest::newRow("0xFF is -1") << 10 << 0xFF << false;
        QTest::newRow("0x7F in a long table") << 200 << 0x7F << true;
        QTest::newRow("0x80 is -128 in a long table") << 200 << 0x80 << false;
        QTest::newRow("0xC8 is -56 in a long table") << 255 << 0xC8 << false;
        QTest::newRow("0xFF is -1 in the longest table") << 255 << 0xFF << false;
    }

    void scheduleLineCopyIn()
    {
        QFETCH(int, lines);
        QFETCH(int, index);
        QFETCH(bool, stored);
        loadSchedule(model.get(), lines);
        model->replaceRequests(GetSchedule);
        QCOMPARE(model->copyInScheduleLine(first(lineAnswer(uint8_t(index), 23), ScheduleFrameSize)), stored);
        QCOMPARE(model->pendingRequests(), GetSchedule); // no bits touched
        QCOMPARE(img().Schedule.size(), std::size_t(lines));
        for (int i = 0; i < lines; ++i)
            QCOMPARE(int(img().Schedule[std::size_t(i)].Hour), stored && i == index ? 23 : uint8_t(i));
    }

    void downloadKeepsChangedLine()
    {
        loadSchedule(model.get(), 5);
        img().Schedule[3].Hour = 21; // edited while the download runs
        model->markScheduleLinesChanged({3});
        model->replaceRequests(GetSchedule); // e.g. after a reconnection dropped SetSchedule
        QVERIFY(!model->copyInScheduleLine(first(lineAnswer(3, 9), ScheduleFrameSize)));
        QVERIFY(model->copyInScheduleLine(first(lineAnswer(4, 9), ScheduleFrameSize)));
        QCOMPARE(int(img().Schedule[3].Hour), 21);
        QCOMPARE(model->pendingRequests(), GetSchedule | SetSchedule); // the edit still goes out
        Data d{};
        QVERIFY(model->copyOutScheduleLine(d));
        QCOMPARE(int(d[0]), 3);
        QCOMPARE(int(d[1]), 21);
    }

    void waitSeesPendingBit()
    {
        QVERIFY(!model->requests().waitForRequest(1));
        model->request(ToggleCloud);
        QVERIFY(model->requests().waitForRequest(60000)); // would hang if the pending bit were missed
    }

    void raiseWakesWaiter()
    {
        bool result = false;
        std::unique_ptr<QThread> waiter(QThread::create([&result, this] { result = model->requests().waitForRequest(60000); }));
        waiter->start();
        model->request(GetChart); // before or during the wait: either way it is seen
        QVERIFY(waiter->wait(10000));
        QVERIFY(result);
    }

    void wakeReleasesWaiter()
    {
        bool result = true;
        std::unique_ptr<QThread> waiter(QThread::create([&result, this] { result = model->requests().waitForRequest(60000); }));
        waiter->start();
        for (int i = 0; i < 1000 && !waiter->wait(10); ++i) // it may not be waiting yet
            model->requests().wake();
        QVERIFY(waiter->isFinished());
        QVERIFY(!result);
    }

    // Every edit changes the image, raises the transfers that send it and says so once.
    void editsSayWhatChanged_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<uint>("raised");
        QTest::addColumn<int>("origin");
        QTest::addColumn<uint>("parts");
        QTest::addColumn<QList<int>>("lines");
        const int edit = int(DeviceChange::Origin::Edit), command = int(DeviceChange::Origin::Command);
        QTest::newRow("level") << 0 << SetInfoLevels << edit << uint(PartInfo) << QList<int>{};
        QTest::newRow("colour name") << 1 << SetConfig << command << uint(PartChannelNames) << QList<int>{};
        QTest::newRow("schedule line") << 2 << SetSchedule << edit << uint(PartSchedule) << QList<int>{2};
        QTest::newRow("line moved") << 3 << SetSchedule << edit << uint(PartSchedule) << QList<int>{0, 1, 2};
        QTest::newRow("columns") << 4 << ColumnPaste << command << uint(PartChannelNames | PartSchedule)
                                 << QList<int>{0, 1, 2, 3};
        QTest::newRow("import") << 5 << ImportConfig << command
                                << uint(PartConfig | PartExpert | PartExpertWeather) << QList<int>{};
        QTest::newRow("chart source") << 6 << ChartSource << edit << uint(PartExpert) << QList<int>{};
        QTest::newRow("unsent setting") << 7 << 0u << edit << uint(PartExpert) << QList<int>{};
    }

    void editsSayWhatChanged()
    {
        QFETCH(int, edit);
        QFETCH(uint, raised);
        QFETCH(int, origin);
        QFETCH(uint, parts);
        QFETCH(QList<int>, lines);
        loadSchedule(model.get(), 4);
        QList<DeviceChange> seen;
        connect(model.get(), &DeviceModel::changed, this, [&seen](const DeviceChange &c) { seen << c; });
        const std::function<void()> edits[] = {
            [&] { model->setLevel(5, 4000); },
            [&] { model->setChannelName(1, 9); },
            [&] { ScheduleLine noon{};
                noon.Hour = 12;
                model->setScheduleLine(2, noon); },
            [&] { model->moveScheduleLine(0, 2); },
            [&] { model->editColumns([](ConfigRecord &c, std::vector<ScheduleLine> &) { c.ColorName[0] = 3; }); },
            [&] { model->importSettings([](DeviceImage &d) { d.Expert.FanMode = 2; }); },
            [&] { model->editSetting(ChartSource, [](DeviceImage &d) { d.Expert.ChartMode = 1; }); },
            [&] { model->editSetting(SetExpert, [](DeviceImage &d) { d.Expert.FanMode = 1; }, DeviceChange::Origin::Edit, false); },
        };
        edits[edit]();
        QCOMPARE(model->pendingRequests(), uint32_t(raised));
        QCOMPARE(seen.size(), 1);
        QCOMPARE(int(seen[0].origin), origin);
        QCOMPARE(seen[0].parts, parts);
        QCOMPARE(seen[0].lines, lines);
        if (edit == 3) // line 0 went to the place of line 2, the others moved up
            QCOMPARE((QList<int>{img().Schedule[0].Hour, img().Schedule[1].Hour, img().Schedule[2].Hour}),
                     (QList<int>{1, 2, 0}));
        // Requests alone change nothing that a view shows.
        model->request(GetChart | SaveEEPROM);
        QCOMPARE(seen.size(), 1);
    }

private:
    DeviceImage &img() { return model->imageForLoading(); }
    std::function<bool(std::span<const uint8_t>)> copyInOf(uint32_t readBit)
    {
        return [this, readBit](std::span<const uint8_t> d) { return model->copyIn(readBit, d); };
    }

    std::unique_ptr<DeviceModel> model;
};

QTEST_GUILESS_MAIN(TestDeviceModel)
#include "tst_device_model.moc"
