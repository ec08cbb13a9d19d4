// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/edit_history.h"

#include <QTest>

#include <cstring>
#include <functional>

namespace {

// A downloaded image: four lines at 07:00, 09:00, 12:00 and 20:00, the clock at 10:00 on
// 2026-06-01, no request left.
void load(DeviceModel &model)
{
    DeviceImage &d = model.imageForLoading();
    d.setStartupValues();
    d.Info.LineCount = 4;
    d.resizeSchedule(4);
    const int hours[] = {7, 9, 12, 20};
    for (int i = 0; i < 4; ++i) {
        d.Schedule[std::size_t(i)].Hour = uint8_t(hours[i]);
        d.Schedule[std::size_t(i)].Color16[0] = uint8_t(10 * i);
    }
    SetInfoClock(d.Info, QDateTime(QDate(2026, 6, 1), QTime(10, 0)));
    d.Config.Lat = 256;
}

// What the link thread does once it has sent everything: no bit, no line mark left.
void sendAll(DeviceModel &model)
{
    model.replaceRequests(0);
    DeviceImage &d = model.imageForLoading();
    std::fill(d.ScheduleDirty.begin(), d.ScheduleDirty.end(), uint8_t(0));
}

ScheduleLine at(const DeviceModel &model, int line, int hour, int minute)
{
    ScheduleLine s = model.image().Schedule[std::size_t(line)];
    s.Hour = uint8_t(hour);
    s.Minute = uint8_t(minute);
    return s;
}

bool sameEditable(const DeviceImage &a, const DeviceImage &b)
{
    return std::memcmp(&a.Info, &b.Info, sizeof a.Info) == 0 && std::memcmp(&a.Config, &b.Config, sizeof a.Config) == 0 &&
           std::memcmp(&a.Expert, &b.Expert, sizeof a.Expert) == 0 &&
           std::memcmp(a.Schedule.data(), b.Schedule.data(), a.Schedule.size() * sizeof(ScheduleLine)) == 0;
}

struct Scenario
{
    const char *name;
    std::function<void(DeviceModel &, EditHistory &)> edit;
    int steps;
    const char *text;   // of the last step
    uint32_t undoSends; // the bits its undo raises
    int undoLine;       // the line its undo marks, -1 none
};

const Scenario scenarios[] = {
    {"one slider drag", [](DeviceModel &m, EditHistory &) { for (int v : {100, 200, 300}) m.setLevel(1, uint16_t(v)); },
     1, "Channel B level", SetInfoLevels, -1},
    {"two drags", [](DeviceModel &m, EditHistory &h) { m.setLevel(1, 100); h.seal(); m.setLevel(1, 200); },
     2, "Channel B level", SetInfoLevels, -1},
    {"two sliders", [](DeviceModel &m, EditHistory &) { m.setLevel(0, 100); m.setLevel(1, 200); },
     2, "Channel B level", SetInfoLevels, -1},
    {"typing 09:45 into a cell",
     [](DeviceModel &m, EditHistory &) {
         for (auto [h, min] : {std::pair(7, 9), {9, 9}, {9, 4}, {9, 45}})
             m.setScheduleLine(1, at(m, 1, h, min));
     },
     1, "Line 1 time 09:00 \u2192 09:45", SetSchedule, 1},
    {"typed back to where it was",
     [](DeviceModel &m, EditHistory &) { m.setScheduleLine(1, at(m, 1, 9, 30)); m.setScheduleLine(1, at(m, 1, 9, 0)); },
     0, "", 0, -1},
    {"one level of a line", [](DeviceModel &m, EditHistory &) {
         m.editScheduleLine(2, [](ScheduleLine &s) { s.Color16[1] = 55; });
     },
     1, "Line 2 channel B level 0 \u2192 55", SetSchedule, 2},
    {"a point dragged (sent on release)",
     [](DeviceModel &m, EditHistory &) {
         for (int level : {30, 40, 50})
             m.editScheduleLine(3, [level](ScheduleLine &s) { s.Color16[0] = uint8_t(level); }, false);
         m.markScheduleLinesChanged({3});
     },
     1, "Line 3 channel A level 30 \u2192 50", SetSchedule, 3},
    {"a map click", [](DeviceModel &m, EditHistory &) {
         m.editConfig([](ConfigRecord &c) { c.Lat = 123; c.Lon = -456; });
     },
     1, "Position", SetConfig, -1},
    {"an import", [](DeviceModel &m, EditHistory &) {
         const DeviceModel::EditStep step(m, QStringLiteral("Import"));
         m.importSettings([](DeviceImage &d) { d.Config.FanLow = 9; d.Expert.FanMode = 2; });
         m.importSchedule([](DeviceImage &d) { d.Schedule[0].Minute = 30; });
     },
     1, "Import", SetConfig | SetExpert | SetSchedule, 0},
    {"a refresh's value", [](DeviceModel &m, EditHistory &) {
         m.editSetting(SetConfig, [](DeviceImage &d) { d.Config.FanHigh = 7; }, DeviceModel::Origin::Edit, false);
     },
     0, "", 0, -1},
};

} // namespace

class TestEditHistory : public QObject
{
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
    void controllerChangeAsks_data();
    void controllerChangeAsks();
    void clockShiftsFromNow();
    void editAfterUndoIsNewStep();
};

void TestEditHistory::steps_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(scenarios)); ++i)
        QTest::newRow(scenarios[i].name) << i;
}

void TestEditHistory::steps()
{
    QFETCH(int, row);
    const Scenario &s = scenarios[row];
    DeviceModel model;
    load(model);
    EditHistory history(model);
    const DeviceImage original = model.image();
    s.edit(model, history);
    QCOMPARE(history.stack().count(), s.steps);
    if (s.steps == 0)
        return;
    QCOMPARE(history.stack().undoText(), QString::fromUtf8(s.text));
    const DeviceImage edited = model.image();
    sendAll(model);

    // Undo goes out as an edit does: the record or its Info variant, the lines.
    for (int i = 0; i < s.steps; ++i)
        QVERIFY(history.undo());
    QVERIFY(sameEditable(model.image(), original));
    QCOMPARE(model.pendingRequests(), s.undoSends);
    if (s.undoLine >= 0)
        QVERIFY(model.image().ScheduleDirty[std::size_t(s.undoLine)] != 0);
    QVERIFY(!history.undo());
    sendAll(model);
    for (int i = 0; i < s.steps; ++i)
        QVERIFY(history.redo());
    QVERIFY(sameEditable(model.image(), edited));
    QCOMPARE(model.pendingRequests(), s.undoSends);
}

void TestEditHistory::controllerChangeAsks_data()
{
    QTest::addColumn<bool>("wide");
    // A line the controller rewrote, and a two-byte value of which the edit changed only
    // the low byte and the controller only the high one.
    QTest::newRow("schedule line") << false;
    QTest::newRow("other half of a value") << true;
}

void TestEditHistory::controllerChangeAsks()
{
    QFETCH(bool, wide);
    DeviceModel model;
    load(model);
    EditHistory history(model);
    if (wide)
        model.editConfig([](ConfigRecord &c) { c.Lat = 256 + 255; });
    else
        model.setScheduleLine(2, at(model, 2, 13, 15));
    sendAll(model);
    // The controller's own change, as a read brings it.
    if (wide)
        model.imageForLoading().Config.Lat = 512;
    else
        model.imageForLoading().Schedule[2].Minute = 40;
    const DeviceImage changed = model.image();

    QStringList questions;
    bool answer = false;
    history.setConfirm([&](const QString &question, bool undo) {
        questions << question;
        return undo && answer;
    });
    QVERIFY(!history.undo());
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].contains(wide ? QStringLiteral("Position") : QStringLiteral("Line 2")), qPrintable(questions[0]));
    QVERIFY(sameEditable(model.image(), changed));
    QCOMPARE(model.pendingRequests(), 0u);
    QVERIFY(history.stack().canUndo());

    answer = true;
    QVERIFY(history.undo());
    QCOMPARE(int(model.image().Config.Lat), 256);
    QCOMPARE(int(model.image().Schedule[2].Hour), 12);
    QCOMPARE(int(model.image().Schedule[2].Minute), 0);
}

void TestEditHistory::clockShiftsFromNow()
{
    // A slip of the time slider an hour on: undo puts the clock an hour back from where it
    // has run to meanwhile, without asking; the levels the controller changed stay.
    DeviceModel model;
    load(model);
    EditHistory history(model);
    bool asked = false;
    history.setConfirm([&](const QString &, bool) { return asked = true; });
    for (int hour : {10, 11})
        model.editClock([hour](InfoRecord &info) { info.Hour = uint8_t(hour); info.Minute = 30; });
    QCOMPARE(history.stack().count(), 1);
    QCOMPARE(history.stack().undoText(), QStringLiteral("Clock"));
    sendAll(model);
    model.imageForLoading().Info.Minute = 35;
    model.imageForLoading().Info.Level[3] = 77;
    QVERIFY(history.undo());
    QVERIFY(!asked);
    QCOMPARE(controllerTime(model.image().Info), QTime(10, 5));
    QCOMPARE(int(model.image().Info.Level[3]), 77);
    QCOMPARE(model.pendingRequests(), SetInfoTime);
    QVERIFY(history.redo());
    QCOMPARE(controllerTime(model.image().Info), QTime(11, 35));
}

void TestEditHistory::editAfterUndoIsNewStep()
{
    DeviceModel model;
    load(model);
    EditHistory history(model);
    model.setLevel(2, 100);
    model.setLevel(2, 200);
    // A control that follows the undone value and writes it back is no new step.
    const auto echo = connect(&model, &DeviceModel::changed, &model, [&model](const DeviceChange &c) {
        if (c.origin == DeviceChange::Origin::Command)
            model.setLevel(2, uint16_t(model.image().Info.Level[2] + 1));   // its rounding
    });
    QVERIFY(history.undo());
    QVERIFY(history.stack().canRedo());
    disconnect(echo);
    model.setLevel(2, 300);
    QCOMPARE(history.stack().count(), 1);
    QVERIFY(!history.stack().canRedo());
    QVERIFY(history.undo());
    QCOMPARE(int(model.image().Info.Level[2]), 1);
}

QTEST_GUILESS_MAIN(TestEditHistory)
#include "tst_edit_history.moc"
