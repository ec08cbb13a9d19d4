// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule grid: filling, typing that stores at once, the ON/OFF cells, the active line,
// moving lines, the column menu and the refill rules. It is built on a stand-in for the
// window; the refills that follow page changes and imports, and the pictures, need the window.

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/ini_commands.h"
#include "link/device_model.h"
#include "pages/modes.h"
#include "schedule/light_curves.h"
#include "pages/schedule_grid.h"
#include "presentation/localization.h"
#include "fake_page_host.h"
#include "window_fixture.h"

namespace {

// A plausible day: night, sunrise, noon, sunset, night. Channel c has level(k) − 6c.
void SetTenLineSchedule(DeviceImage &image)
{
    const int rows[10][4] = {{0, 0, -18, 0},   {6, 30, -6, 20}, {7, 30, 0, 40},  {9, 0, 15, 70},  {12, 0, 45, 100},
                             {14, 0, 55, 100}, {17, 0, 30, 90}, {19, 30, 5, 55}, {21, 0, -8, 25}, {24, 0, -20, 0}};
    const uint8_t switches[10] = {0x00, 0x20, 0x60, 0xE0, 0xE0, 0xE0, 0xE0, 0x60, 0x20, 0x00};
    image.resizeSchedule(10);
    image.Info.LineCount = 10;
    for (int k = 0; k < 10; ++k) {
        ScheduleLine &s = image.Schedule[std::size_t(k)];
        s.Hour = uint8_t(rows[k][0]);
        s.Minute = uint8_t(rows[k][1]);
        s.Alt = curves::StoredAltitude(rows[k][2]);
        for (int c = 0; c < 12; ++c)
            s.Color16[c] = uint8_t(std::max(0, rows[k][3] - 6 * c));
        s.Switch = uint8_t(switches[k] | 0x03); // the controller's own bits ride along
    }
    const uint8_t colours[12] = {8, 7, 4, 11, 5, 2, 3, 12, 14, 15, 9, 6};
    std::copy(std::begin(colours), std::end(colours), image.Config.ColorName);
}

} // namespace

class TstScheduleGrid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        w.reset();
        host.reset();
    }
    void emptySchedule();
    void fillShowsEveryField();
    void typedValue_data();
    void typedValue();
    void switchCells();
    void onlyTimeAndLevelsTakeTheCursor();
    void activeLine();
    void dragLineFiveOntoLineTwo();
    void columnMenu();
    void pasteAndSwap_data();
    void pasteAndSwap();
    void refillSkippedWhileDownloading();
    void modeChangeFromElsewhereRefills_data();
    void modeChangeFromElsewhereRefills();
    void staleGridIsReadAsShown();
    void outOfOrderIsMarked();
    void pictures_data();
    void pictures();

private:
    // The grid alone, connected in that mode, with its page in front.
    void start(int mode, bool withLines = true)
    {
        LoadLanguageTable(LanguageEnglish);
        host = std::make_unique<FakePageHost>(QStringList{"tsChannels", "tsSchedule"});
        sched = new ScheduleGrid(*host, host->model);   // belongs to the host's window
        host->window()->show();
        host->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host->window()));
        if (withLines)
            SetTenLineSchedule(image());
        image().Config.Mode = uint8_t(mode);
        host->connected = true;
        EnableState state;
        state.connected = true;
        state.mode = mode;
        sched->applyEnabling(state);
        showConfig();
        host->selectPage(host->page("tsSchedule"));
        fill();
        model().replaceRequests(0);
    }
    void startWindow(const QString &language, int mode, bool withLines = true)
    {
        w = makeWindow({language});
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        if (withLines)
            SetTenLineSchedule(image());
        image().Config.Mode = uint8_t(mode);
        w->SetConnected(true);
        w->ShowConfig();
        w->SelectPage(w->page("tsSchedule"));
        w->FillScheduleGrid();
        model().replaceRequests(0);
    }
    // A read of the schedule, of Config and of Info as the window passes it on.
    void fill() { w ? w->FillScheduleGrid() : sched->FillScheduleGrid(); }
    void showConfig() { w ? w->ShowConfig() : sched->refresh(RefreshConfig | RefreshChannelNames); }
    void showInfo() { w ? w->ShowInfo() : sched->refresh(RefreshInfo); }
    QLineEdit *openEditor(int column, int line)
    {
        grid()->setFocus();
        grid()->setCurrentCell(line, column);
        QLineEdit *editor = grid()->currentEditor();
        if (editor)
            editor->clear();
        return editor;
    }
    void closeEditor()
    {
        if (QLineEdit *editor = grid()->currentEditor()) {
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!grid()->currentEditor()); // the view closes it on its next turn
        }
    }
    void click(Qt::MouseButton button, int column, int line)
    {
        const QPoint at = grid()->visualRect(grid()->model()->index(line, column)).center();
        QTest::mouseClick(grid()->viewport(), button, {}, at);
    }
    QPoint header(int column)
    {
        return QPoint(grid()->horizontalHeader()->sectionViewportPosition(column) + 10, 5);
    }
    ScheduleGrid *page() { return w ? w->schedule : sched; }
    DeviceModel &model() { return w ? w->model() : host->model; }
    // The image as loaded: what a case writes here is a starting state, not an edit.
    DeviceImage &image() { return model().imageForLoading(); }
    ScheduleGridWidget *grid() { return page()->sgSchedule; }
    QString cell(int column, int gridRow) { return page()->cellText(column, gridRow); }
    std::vector<int> dirtyLines()
    {
        std::vector<int> lines;
        for (std::size_t k = 0; k < image().ScheduleDirty.size(); ++k)
            if (image().ScheduleDirty[k])
                lines.push_back(int(k));
        return lines;
    }

    std::unique_ptr<FakePageHost> host;
    ScheduleGrid *sched = nullptr;
    std::unique_ptr<TfrmLumora> w;
};

void TstScheduleGrid::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TstScheduleGrid::emptySchedule()
{
    start(ModeAuto, false);
    QCOMPARE(page()->gridRowCount(), 2);
    QCOMPARE(cell(0, 0), QString("Line"));
    for (int column = 0; column < 17; ++column)
        QVERIFY(cell(column, 1).isEmpty());
    // The extra row takes nothing: no editor, no toggle, no active line.
    QVERIFY(!openEditor(1, 0));
    click(Qt::LeftButton, 14, 0);
    click(Qt::RightButton, 0, 0);
    page()->StoreScheduleLine(0);
    QVERIFY(cell(14, 1).isEmpty());
    QCOMPARE(model().pendingRequests(), 0u);
}

void TstScheduleGrid::fillShowsEveryField()
{
    start(ModeAuto);
    image().Schedule[3].Alt = int16_t(12000); // no sine at all
    fill();
    QCOMPARE(page()->gridRowCount(), 11);
    QCOMPARE(grid()->columnCount(), 17);
    QCOMPARE(cell(1, 0), QString("Time"));
    QCOMPARE(cell(0, 10), QString("9"));
    QCOMPARE(cell(1, 2), QString("06:30"));
    QCOMPARE(cell(1, 10), QString("24:00"));
    QCOMPARE(cell(2, 6), QString("100"));
    QCOMPARE(cell(14, 1), QString("OFF"));
    QCOMPARE(cell(15, 3), QString("ON"));
    QCOMPARE(cell(16, 3), QString("OFF"));
    image().Config.Mode = ModeGeo;
    fill();
    QCOMPARE(cell(1, 0), QString("Alt"));
    QCOMPARE(cell(1, 5), QString("45"));
    QCOMPARE(cell(1, 4), QString("0"));
    QCOMPARE(cell(1, 1), QString("-18"));
}

void TstScheduleGrid::typedValue_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored"); // time: minutes of the day; Geo: the sine; else the level
    QTest::addColumn<QString>("shown");
    // Line 4 holds 12:00, 45°, channel C at 88 %.
    QTest::newRow("7:5") << int(ModeAuto) << 1 << "7:5" << 7 * 60 + 5 << "07:05";
    QTest::newRow("no colon: minute only") << int(ModeAuto) << 1 << "30" << 12 * 60 + 30 << "12:30";
    QTest::newRow("hour above 24") << int(ModeAuto) << 1 << "25:10" << 1440 << "24:00";
    QTest::newRow("minute beyond a byte") << int(ModeAuto) << 1 << "8:300" << 8 * 60 + 59 << "08:59";
    QTest::newRow("hour unreadable") << int(ModeAuto) << 1 << "x:15" << 12 * 60 + 15 << "12:15";
    QTest::newRow("Geo 30") << int(ModeGeo) << 1 << "30" << 5000 << "30";
    QTest::newRow("Geo beyond the zenith") << int(ModeGeo) << 1 << "120" << 10000 << "90";
    QTest::newRow("Geo unreadable") << int(ModeGeo) << 1 << "high" << 7071 << "45";
    QTest::newRow("12,5 to even") << int(ModeGeo) << 4 << "12,5" << 12 << "12";
    QTest::newRow("13,5 to even") << int(ModeAuto) << 4 << "13,5" << 14 << "14";
    QTest::newRow("level above 100") << int(ModeAuto) << 4 << "300" << 100 << "100";
    QTest::newRow("negative level") << int(ModeAuto) << 4 << "-3" << 0 << "0";
}

void TstScheduleGrid::typedValue()
{
    QFETCH(int, mode);
    QFETCH(int, column);
    QFETCH(QString, typed);
    if (typed.contains(u','))
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    start(mode);
    const ScheduleLine before = image().Schedule[4];
    QLineEdit *editor = openEditor(column, 4);
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    const ScheduleLine &s = image().Schedule[4];
    if (column == 4)
        QTEST(int(s.Color16[2]), "stored");
    else if (mode == ModeGeo)
        QTEST(int(s.Alt), "stored");
    else
        QTEST(s.Hour * 60 + s.Minute, "stored");
    // Every other field stays.
    QCOMPARE(int(s.Color16[3]), int(before.Color16[3]));
    QCOMPARE(int(s.Switch), int(before.Switch));
    if (column != 1 || mode != ModeGeo)
        QCOMPARE(int(s.Alt), int(before.Alt)); // also not nudged by reading its text back
    if (column != 1 || mode == ModeGeo)
        QCOMPARE(s.Hour * 60 + s.Minute, before.Hour * 60 + before.Minute);
    QCOMPARE(dirtyLines(), std::vector<int>{4});
    QVERIFY(model().isRequestPending(SetSchedule));
    closeEditor();
    QTEST(cell(column, 5), "shown");
    fill();
    QTEST(cell(column, 5), "shown");
}

void TstScheduleGrid::switchCells()
{
    start(ModeAuto);
    const uint8_t switches = image().Schedule[2].Switch;
    QCOMPARE(cell(15, 3), QString("ON"));
    for (const char *text : {"OFF", "ON"}) {
        image().ScheduleDirty.assign(10, 0);
        model().replaceRequests(0);
        click(Qt::LeftButton, 15, 2);
        QCOMPARE(cell(15, 3), QString(text));
        QCOMPARE(bool(image().Schedule[2].Switch & SwitchClouds), QString(text) == "ON");
        QCOMPARE(image().Schedule[2].Switch & ~SwitchClouds, switches & ~SwitchClouds); // bits 0..4 untouched
        QCOMPARE(dirtyLines(), std::vector<int>{2});
        QVERIFY(model().isRequestPending(SetSchedule));
    }
    // Another language's OFF is stored as ON and toggles to ON.
    page()->setCellText(14, 1, "AUS");
    page()->StoreScheduleLine(0);
    QVERIFY(image().Schedule[0].Switch & SwitchBacklight);
    click(Qt::LeftButton, 14, 0);
    QCOMPARE(cell(14, 1), QString("ON"));
    // The header row toggles nothing.
    QTest::mouseClick(grid()->horizontalHeader()->viewport(), Qt::LeftButton, {}, header(15));
    QCOMPARE(cell(15, 3), QString("ON"));
}

void TstScheduleGrid::onlyTimeAndLevelsTakeTheCursor()
{
    start(ModeAuto);
    QVERIFY(openEditor(13, 1));
    click(Qt::LeftButton, 16, 1);
    click(Qt::LeftButton, 0, 1);
    QCOMPARE(grid()->currentColumn(), 13);
    // Tab from the last level cell goes on to the next line's time.
    QTest::keyClick(grid()->currentEditor(), Qt::Key_Tab);
    QCOMPARE(grid()->currentRow(), 2);
    QCOMPARE(grid()->currentColumn(), 1);
}

void TstScheduleGrid::activeLine()
{
    start(ModeAuto);
    image().Info.ActiveLine = 2;
    fill();
    QCOMPARE(page()->tag(), 2);
    click(Qt::RightButton, 0, 6);
    QCOMPARE(int(image().Info.ActiveLine), 6);
    QCOMPARE(page()->tag(), 6);
    QCOMPARE(model().pendingRequests(), SetInfoActiveLine);
    // Elsewhere in a data row a right click only remembers the column.
    model().replaceRequests(0);
    click(Qt::RightButton, 5, 3);
    QCOMPARE(page()->PopupChannel, 3);
    QCOMPARE(model().pendingRequests(), 0u);
    // The controller moves on: the highlight follows on ShowInfo.
    image().Info.ActiveLine = 7;
    showInfo();
    QCOMPARE(page()->tag(), 7);
}

void TstScheduleGrid::dragLineFiveOntoLineTwo()
{
    start(ModeAuto);
    const std::vector<ScheduleLine> before = image().Schedule;
    auto at = [this](int line) { return grid()->visualRect(grid()->model()->index(line, 0)).center(); };
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, at(5));
    QTest::mouseMove(grid()->viewport(), at(3));
    QTest::mouseMove(grid()->viewport(), at(2));
    QCOMPARE(grid()->dropRow(), 2);
    QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, at(2));

    // Lines 2..5 now hold the old lines 5, 2, 3, 4, whole: the altitude, not shown in
    // this mode, and the controller's switch bits travel with their line.
    const int order[10] = {0, 1, 5, 2, 3, 4, 6, 7, 8, 9};
    const std::vector<ScheduleLine> &after = image().Schedule;
    for (int k = 0; k < 10; ++k)
        QVERIFY2(std::memcmp(&after[std::size_t(k)], &before[std::size_t(order[k])], sizeof(ScheduleLine)) == 0,
                 qPrintable(QString("line %1").arg(k)));
    for (int gridRow = 3; gridRow <= 6; ++gridRow)
        QCOMPARE(cell(0, gridRow), QString::number(gridRow - 1));
    QCOMPARE(cell(1, 3), QString("14:00"));
    QCOMPARE(dirtyLines(), (std::vector<int>{2, 3, 4, 5}));
    QVERIFY(model().isRequestPending(SetSchedule));
}

void TstScheduleGrid::columnMenu()
{
    start(ModeAuto);
    QAction *paste = host->window()->findChild<QAction *>("mnuPasteCol");
    QAction *swap = host->window()->findChild<QAction *>("mnuSwapCol");
    QVERIFY(paste && swap && host->window()->findChild<QAction *>("mnuCopyCol"));
    QTest::mouseClick(grid()->horizontalHeader()->viewport(), Qt::RightButton, {}, header(4));
    QCOMPARE(page()->PopupChannel, 2);
    QTRY_VERIFY(page()->pumCol->isVisible());
    QVERIFY(!paste->isEnabled() && !swap->isEnabled()); // nothing copied yet
    page()->pumCol->close();
    page()->mnuCopyColClick();
    page()->pumColPopup();
    QVERIFY(paste->isEnabled() && swap->isEnabled());
    // Over the time column the menu does not open.
    QTest::mouseClick(grid()->horizontalHeader()->viewport(), Qt::RightButton, {}, header(1));
    QCOMPARE(page()->PopupChannel, -1);
    QTest::qWait(50);
    QVERIFY(!page()->pumCol->isVisible());
}

void TstScheduleGrid::pasteAndSwap_data()
{
    QTest::addColumn<bool>("swap");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("target");
    QTest::newRow("paste C into F") << false << 2 << 5;
    QTest::newRow("swap C and F") << true << 2 << 5;
    QTest::newRow("paste onto itself") << false << 3 << 3;
}

void TstScheduleGrid::pasteAndSwap()
{
    QFETCH(bool, swap);
    QFETCH(int, source);
    QFETCH(int, target);
    start(ModeAuto);
    const std::vector<ScheduleLine> before = image().Schedule;
    const ConfigRecord config = image().Config;
    page()->PopupChannel = source;
    page()->mnuCopyColClick();
    page()->PopupChannel = target;
    if (swap)
        page()->mnuSwapColClick();
    else
        page()->mnuPasteColClick();
    for (std::size_t k = 0; k < 10; ++k) {
        QCOMPARE(image().Schedule[k].Color16[target], before[k].Color16[source]);
        QCOMPARE(image().Schedule[k].Color16[source], swap ? before[k].Color16[target] : before[k].Color16[source]);
    }
    QCOMPARE(image().Config.ColorName[target], config.ColorName[source]);
    QCOMPARE(image().Config.ColorName[source], swap ? config.ColorName[target] : config.ColorName[source]);
    QCOMPARE(dirtyLines().size(), std::size_t(10));
    QCOMPARE(model().pendingRequests(), ColumnPaste);
    QCOMPARE(host->edit.copiedChannel, source); // stays for the next paste
    // The channel names are shown on other pages too: the window refreshes every part.
    QCOMPARE(host->changes, QList<unsigned>{RefreshChannelNames | RefreshSchedule});
    page()->refresh(host->changes.last());
    QCOMPARE(cell(target + 2, 5), QString::number(before[4].Color16[source]));
    QVERIFY(cell(target + 2, 0).startsWith(QChar('A' + target) + QString(": ")));
}

void TstScheduleGrid::refillSkippedWhileDownloading()
{
    // The window passes the refreshes a page missed on when it comes into view.
    startWindow("-english", ModeAuto);
    w->SelectPage(w->page("tsChannels"));
    image().Schedule[1].Minute = 45;
    model().replaceRequests(GetSchedule);
    w->SelectPage(w->page("tsSchedule"));
    model().switchMode(ModeGeo);
    QCOMPARE(cell(1, 0), QString("Time"));
    QCOMPARE(cell(1, 2), QString("06:30"));

    model().replaceRequests(0);
    w->SelectPage(w->page("tsChannels"));
    w->SelectPage(w->page("tsSchedule"));
    QCOMPARE(cell(1, 0), QString("Alt"));
    QCOMPARE(cell(1, 2), QString("-6"));
    model().switchMode(ModeAuto);
    QCOMPARE(cell(1, 2), QString("06:45"));
}

void TstScheduleGrid::modeChangeFromElsewhereRefills_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("import, Auto to Geo") << "import" << int(ModeAuto) << int(ModeGeo);
    QTest::newRow("import, Geo to Manual") << "import" << int(ModeGeo) << int(ModeManual);
    QTest::newRow("controller, Auto to Geo") << "controller" << int(ModeAuto) << int(ModeGeo);
    QTest::newRow("controller, Geo to Auto") << "controller" << int(ModeGeo) << int(ModeAuto);
}

void TstScheduleGrid::modeChangeFromElsewhereRefills()
{
    QFETCH(QString, source);
    QFETCH(int, from);
    QFETCH(int, to);
    startWindow("-english", from);   // the import is the window's
    QCOMPARE(cell(1, 0), QString(from == ModeGeo ? "Alt" : "Time"));
    if (source == u"import") {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("mode.ini"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Config]\r\nMode=" + QByteArray::number(to) + "\r\n");
        f.close();
        w->iniCommands->ChooseFile = [file](const IniCommands::FileDialogRequest &) { return file; };
        w->action("mnuConfigImport")->trigger();
    } else {
        // The controller's mode changed (its remote, another program): read with Config.
        image().Config.Mode = uint8_t(to);
        showConfig();
    }
    QCOMPARE(int(image().Config.Mode), to);
    QCOMPARE(cell(1, 0), QString(to == ModeGeo ? "Alt" : "Time"));
    QCOMPARE(cell(1, 2), QString(to == ModeGeo ? "-6" : "06:30"));

    // Typing a level stores the line as it is: neither its time nor its altitude moves.
    const ScheduleLine before = image().Schedule[1];
    QLineEdit *editor = openEditor(2, 1);
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("55"));
    QCOMPARE(int(image().Schedule[1].Color16[0]), 55);
    QCOMPARE(int(image().Schedule[1].Hour), int(before.Hour));
    QCOMPARE(int(image().Schedule[1].Minute), int(before.Minute));
    QCOMPARE(image().Schedule[1].Alt, before.Alt);
}

void TstScheduleGrid::staleGridIsReadAsShown()
{
    // The mode changes while a schedule download is pending: the grid keeps its times
    // until the download refills it, and they are read back as times.
    start(ModeAuto);
    image().Schedule[2].Hour = 7;
    image().Schedule[2].Minute = 15;
    fill();
    model().replaceRequests(GetSchedule);
    image().Config.Mode = ModeGeo;
    showConfig();
    QCOMPARE(cell(1, 0), QString("Time"));
    QCOMPARE(cell(1, 3), QString("07:15"));
    const ScheduleLine before = image().Schedule[2];
    QLineEdit *editor = openEditor(3, 2);
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("40"));
    QCOMPARE(int(image().Schedule[2].Color16[1]), 40);
    QCOMPARE(int(image().Schedule[2].Hour), 7);
    QCOMPARE(int(image().Schedule[2].Minute), 15);
    QCOMPARE(image().Schedule[2].Alt, before.Alt);
}

void TstScheduleGrid::outOfOrderIsMarked()
{
    start(ModeAuto);
    host->window()->resize(1009, 700); // every line in view
    image().Schedule[8].Hour = 18;     // before 19:30
    fill();
    auto timeCellMarked = [this](int line) {
        grid()->setCurrentCell(line, 5); // the cursor's own cell is drawn as the cursor
        const QRect at = grid()->visualRect(grid()->model()->index(line, ScheduleGrid::TimeColumn));
        return grid()->viewport()->grab().toImage().pixelColor(at.topLeft() + QPoint(1, 1)) ==
               OutOfOrderCellColours(grid()->palette(), true).background;
    };
    QVERIFY(timeCellMarked(8));
    const struct { int mode, line; const char *typed, *label; bool marked; } steps[] = {
        {ModeAuto, 4, "8:00", "Times out of order: lines 4, 8", true},
        {ModeAuto, 4, "12:30", "Time out of order: line 8", false},
        {ModeAuto, 8, "20:00", "", false},
        {ModeGeo, 4, "-30", "Altitude out of order: line 4", true}, // a dip between two highest points
    };
    for (const auto &step : steps) {
        if (std::exchange(image().Config.Mode, uint8_t(step.mode)) != step.mode)
            fill();
        QLineEdit *editor = openEditor(ScheduleGrid::TimeColumn, step.line);
        QVERIFY(editor);
        QTest::keyClicks(editor, step.typed);
        QCOMPARE(page()->lblScheduleOrder->isVisible() ? page()->lblScheduleOrder->text() : QString(), step.label);
        QCOMPARE(page()->lblScheduleOrder->accessibleName(), step.label); // read out as shown
        QCOMPARE(timeCellMarked(step.line), step.marked);
    }
}

void TstScheduleGrid::pictures_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QSize>("size");
    QTest::newRow("english") << "-english" << QSize(1009, 700);
    QTest::newRow("german") << "-german" << QSize(1009, 700);
    QTest::newRow("english-small") << "-english" << QSize(767, 580);
}

void TstScheduleGrid::pictures()
{
    QFETCH(QString, language);
    QFETCH(QSize, size);
    startWindow(language, ModeAuto);
    image().Info.ActiveLine = 4;
    w->FillScheduleGrid();
    grid()->setFocus();
    grid()->setCurrentCell(3, 4);
    savePicture(w.get(), size, "schedule-grid-" + QString(QTest::currentDataTag()));
}

QTEST_MAIN(TstScheduleGrid)
#include "tst_schedule_grid.moc"
