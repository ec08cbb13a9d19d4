// The schedule grid in the window: filling, typing that stores at once, the ON/OFF cells,
// the active line, moving lines, the column menu and the refill rules.

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include "link/device_image.h"
#include "pages/modes.h"
#include "schedule/schedule_grid.h"
#include "window_fixture.h"

namespace {

// A plausible day: night, sunrise, noon, sunset, night.
void SetTenLineSchedule()
{
    struct Row {
        int hour, minute, degrees;
        std::array<int, 12> levels;
        uint8_t sw;
    };
    const Row rows[10] = {
        {0, 0, -18, {0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, 0x00},
        {6, 30, -6, {0, 0, 5, 10, 5, 0, 0, 0, 0, 0, 0, 0}, 0x20},
        {7, 30, 0, {10, 10, 20, 30, 10, 5, 5, 0, 0, 0, 0, 0}, 0x60},
        {9, 0, 15, {50, 45, 60, 70, 40, 30, 20, 10, 0, 0, 0, 0}, 0xE0},
        {12, 0, 45, {90, 85, 95, 100, 80, 60, 40, 20, 0, 0, 0, 0}, 0xE0},
        {14, 0, 55, {100, 100, 100, 100, 90, 70, 50, 30, 0, 0, 0, 0}, 0xE0},
        {17, 0, 30, {70, 65, 80, 90, 70, 50, 30, 15, 0, 0, 0, 0}, 0xE0},
        {19, 30, 5, {20, 15, 40, 60, 30, 10, 5, 0, 0, 0, 0, 0}, 0x60},
        {21, 0, -8, {0, 0, 5, 10, 10, 0, 0, 0, 0, 0, 0, 0}, 0x20},
        {24, 0, -20, {0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, 0x00},
    };
    Schedule.resize(10);
    ScheduleDirty.assign(10, 0);
    CurvePoints.resize(10);
    Info.LineCount = 10;
    for (int k = 0; k < 10; ++k) {
        ScheduleLine &s = Schedule[std::size_t(k)];
        s.Hour = uint8_t(rows[k].hour);
        s.Minute = uint8_t(rows[k].minute);
        s.Alt = int16_t(std::lround(std::sin(rows[k].degrees * M_PI / 180) * 10000));
        for (int c = 0; c < 12; ++c)
            s.Color16[c] = uint8_t(rows[k].levels[std::size_t(c)]);
        s.Switch = uint8_t(rows[k].sw | 0x03); // the controller's own bits ride along
    }
    const uint8_t colours[12] = {8, 7, 4, 11, 5, 2, 3, 12, 14, 15, 9, 6};
    std::copy(std::begin(colours), std::end(colours), Config.ColorName);
}

} // namespace

class TstScheduleGrid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptySchedule();
    void fillShowsEveryField();
    void typedTime_data();
    void typedTime();
    void typedAltitude_data();
    void typedAltitude();
    void typedLevel_data();
    void typedLevel();
    void switchCellsToggle();
    void foreignSwitchWordIsOn();
    void switchAndLineColumnsTakeNoCursor();
    void rightClickChoosesActiveLine();
    void highlightFollowsShowInfo();
    void dragLineFiveOntoLineTwo();
    void moveDownwards();
    void columnMenuEnabling();
    void pasteAndSwap_data();
    void pasteAndSwap();
    void refillSkippedWhileDownloading();
    void headersFollowLanguageAndMode();
    void pictures_data();
    void pictures();

private:
    void connectIn(int mode)
    {
        Config.Mode = uint8_t(mode);
        w->SetConnected(true);
        setRequestFlags(0);
    }
    void showGrid()
    {
        w->SelectPage(w->page("tsSchedule"));
        w->FillScheduleGrid();
        QCoreApplication::processEvents();
    }
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
    QPoint cellCentre(int column, int line)
    {
        return grid()->visualRect(grid()->model()->index(line, column)).center();
    }
    ScheduleGrid *page() { return w->schedule; }
    ScheduleGridWidget *grid() { return w->schedule->sgSchedule; }
    QString cell(int column, int gridRow) { return page()->cellText(column, gridRow); }
    std::vector<int> dirtyLines()
    {
        std::vector<int> lines;
        for (std::size_t k = 0; k < ScheduleDirty.size(); ++k)
            if (ScheduleDirty[k])
                lines.push_back(int(k));
        return lines;
    }

    std::unique_ptr<TfrmLumora> w;
};

void TstScheduleGrid::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    resetDeviceImage();
    w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void TstScheduleGrid::cleanup() { w.reset(); }

void TstScheduleGrid::emptySchedule()
{
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(page()->gridRowCount(), 2);
    QCOMPARE(grid()->columnCount(), 17);
    QCOMPARE(cell(0, 0), QString("Line"));
    QCOMPARE(cell(1, 0), QString("Time"));
    for (int column = 0; column < 17; ++column)
        QVERIFY(cell(column, 1).isEmpty());
    // The extra row takes nothing: no editor, no toggle, no active line.
    QVERIFY(!openEditor(1, 0));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(14, 0));
    QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, cellCentre(0, 0));
    page()->StoreScheduleLine(0);
    QVERIFY(cell(14, 1).isEmpty());
    QCOMPARE(pendingRequests(), 0u);
}

void TstScheduleGrid::fillShowsEveryField()
{
    SetTenLineSchedule();
    Schedule[3].Alt = int16_t(12000); // no sine: shown as 0
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(page()->gridRowCount(), 11);
    QCOMPARE(cell(0, 10), QString("9"));
    QCOMPARE(cell(1, 2), QString("06:30"));
    QCOMPARE(cell(1, 10), QString("24:00"));
    QCOMPARE(cell(5, 6), QString("100"));
    QCOMPARE(cell(14, 1), QString("OFF"));
    QCOMPARE(cell(15, 3), QString("ON"));
    QCOMPARE(cell(16, 3), QString("OFF"));
    QCOMPARE(grid()->columnWidth(0), 30);
    QCOMPARE(grid()->columnWidth(1), 46);
    QCOMPARE(grid()->columnWidth(13), 46);
    QCOMPARE(grid()->columnWidth(16), 50);

    Config.Mode = ModeGeo;
    w->FillScheduleGrid();
    QCOMPARE(cell(1, 0), QString("Alt"));
    QCOMPARE(cell(1, 5), QString("45"));
    QCOMPARE(cell(1, 4), QString("0"));
    QCOMPARE(cell(1, 1), QString("-18"));
}

void TstScheduleGrid::typedTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<QString>("shown");
    // The line holds 12:34 before.
    QTest::newRow("7:5") << "7:5" << 7 << 5 << "07:05";
    QTest::newRow("no colon: minute only") << "30" << 12 << 30 << "12:30";
    QTest::newRow("end of the day") << "24:00" << 24 << 0 << "24:00";
    QTest::newRow("hour above 24") << "25:10" << 24 << 0 << "24:00";
    QTest::newRow("minute above 59") << "8:75" << 8 << 59 << "08:59";
    QTest::newRow("minute beyond a byte") << "300" << 12 << 59 << "12:59";
    QTest::newRow("hour unreadable") << "x:15" << 12 << 15 << "12:15";
    QTest::newRow("nothing readable") << "abc" << 12 << 34 << "12:34";
}

void TstScheduleGrid::typedTime()
{
    QFETCH(QString, typed);
    SetTenLineSchedule();
    Schedule[4].Hour = 12;
    Schedule[4].Minute = 34;
    const ScheduleLine before = Schedule[4];
    connectIn(ModeAuto);
    showGrid();
    QLineEdit *editor = openEditor(1, 4);
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    QTEST(int(Schedule[4].Hour), "hour");
    QTEST(int(Schedule[4].Minute), "minute");
    QCOMPARE(int(Schedule[4].Alt), int(before.Alt));
    QVERIFY(std::equal(std::begin(before.Color16), std::end(before.Color16), Schedule[4].Color16));
    QCOMPARE(dirtyLines(), std::vector<int>{4});
    QVERIFY(isRequestPending(SetSchedule));
    closeEditor();
    QTEST(cell(1, 5), "shown");
    w->FillScheduleGrid();
    QTEST(cell(1, 5), "shown");
}

void TstScheduleGrid::typedAltitude_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("30") << "30" << 5000 << "30";
    QTest::newRow("below the horizon") << "-6" << -1045 << "-6";
    QTest::newRow("beyond the zenith") << "120" << 10000 << "90";
    QTest::newRow("not a number") << "high" << 7071 << "45";
}

void TstScheduleGrid::typedAltitude()
{
    QFETCH(QString, typed);
    SetTenLineSchedule();
    const ScheduleLine before = Schedule[4];
    connectIn(ModeGeo);
    showGrid();
    QLineEdit *editor = openEditor(1, 4);
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    QTEST(int(Schedule[4].Alt), "stored");
    QCOMPARE(int(Schedule[4].Hour), int(before.Hour));
    QCOMPARE(int(Schedule[4].Minute), int(before.Minute));
    closeEditor();
    w->FillScheduleGrid();
    QTEST(cell(1, 5), "shown");
}

void TstScheduleGrid::typedLevel_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("level");
    QTest::newRow("12,5 to even") << true << "12,5" << 12;
    QTest::newRow("13,5 to even") << true << "13,5" << 14;
    QTest::newRow("12.5 in English") << false << "12.5" << 12;
    QTest::newRow("above 100") << false << "150" << 100;
    QTest::newRow("negative") << false << "-3" << 0;
    QTest::newRow("beyond a byte") << false << "300" << 100;
}

void TstScheduleGrid::typedLevel()
{
    QFETCH(bool, german);
    QFETCH(QString, typed);
    if (german)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QLineEdit *editor = openEditor(7, 2);
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    QTEST(int(Schedule[2].Color16[5]), "level");
    QCOMPARE(int(Schedule[2].Color16[4]), 10);
    QCOMPARE(int(Schedule[2].Hour), 7);
    closeEditor();
    QCOMPARE(cell(7, 3), QString::number(Schedule[2].Color16[5]));
}

void TstScheduleGrid::switchCellsToggle()
{
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(cell(15, 3), QString("ON"));
    const uint8_t switches = Schedule[2].Switch;
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(15, 2));
    QCOMPARE(cell(15, 3), QString("OFF"));
    QCOMPARE(int(Schedule[2].Switch), switches & ~SwitchClouds);
    QCOMPARE(dirtyLines(), std::vector<int>{2});
    QVERIFY(isRequestPending(SetSchedule));

    ScheduleDirty.assign(10, 0);
    setRequestFlags(0);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(15, 2));
    QCOMPARE(cell(15, 3), QString("ON"));
    QCOMPARE(int(Schedule[2].Switch), int(switches)); // bits 0..4 untouched throughout
    QCOMPARE(dirtyLines(), std::vector<int>{2});
    QVERIFY(isRequestPending(SetSchedule));

    // A click on the header row toggles nothing.
    const QPoint header(grid()->horizontalHeader()->sectionViewportPosition(15) + 10, 5);
    QTest::mouseClick(grid()->horizontalHeader()->viewport(), Qt::LeftButton, {}, header);
    QCOMPARE(cell(15, 3), QString("ON"));
}

void TstScheduleGrid::foreignSwitchWordIsOn()
{
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(cell(14, 1), QString("OFF"));
    page()->setCellText(14, 1, "AUS"); // another language's OFF
    page()->StoreScheduleLine(0);
    QVERIFY(Schedule[0].Switch & SwitchBacklight);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(14, 0));
    QCOMPARE(cell(14, 1), QString("ON"));
    QVERIFY(Schedule[0].Switch & SwitchBacklight);
}

void TstScheduleGrid::switchAndLineColumnsTakeNoCursor()
{
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QLineEdit *editor = openEditor(13, 1);
    QVERIFY(editor);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(16, 1));
    QCOMPARE(grid()->currentColumn(), 13);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(0, 1));
    QCOMPARE(grid()->currentColumn(), 13);
    // Tab from the last level cell goes on to the next line's time.
    QTest::keyClick(grid()->currentEditor() ? static_cast<QWidget *>(grid()->currentEditor()) : grid(), Qt::Key_Tab);
    QCOMPARE(grid()->currentRow(), 2);
    QCOMPARE(grid()->currentColumn(), 1);
    QTest::keyClick(grid()->currentEditor(), Qt::Key_Backtab);
    QCOMPARE(grid()->currentRow(), 1);
    QCOMPARE(grid()->currentColumn(), 13);
}

void TstScheduleGrid::rightClickChoosesActiveLine()
{
    SetTenLineSchedule();
    Info.ActiveLine = 1;
    connectIn(ModeAuto);
    showGrid();
    QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, cellCentre(0, 6));
    QCOMPARE(int(Info.ActiveLine), 6);
    QCOMPARE(page()->tag(), 6);
    QCOMPARE(pendingRequests(), SetInfoActiveLine);
    QCOMPARE(page()->PopupChannel, -2);
    // Elsewhere in a data row a right click only remembers the column.
    setRequestFlags(0);
    QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, cellCentre(5, 3));
    QCOMPARE(page()->PopupChannel, 3);
    QCOMPARE(int(Info.ActiveLine), 6);
    QCOMPARE(pendingRequests(), 0u);
}

void TstScheduleGrid::highlightFollowsShowInfo()
{
    SetTenLineSchedule();
    Info.ActiveLine = 2;
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(page()->tag(), 2);
    Info.ActiveLine = 7;
    w->ShowInfo();
    QCOMPARE(page()->tag(), 7);
    QCOMPARE(pendingRequests(), 0u);
}

void TstScheduleGrid::dragLineFiveOntoLineTwo()
{
    SetTenLineSchedule();
    std::vector<ScheduleLine> before = Schedule;
    connectIn(ModeAuto);
    showGrid();
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, cellCentre(0, 5));
    QTest::mouseMove(grid()->viewport(), cellCentre(0, 3));
    QTest::mouseMove(grid()->viewport(), cellCentre(0, 2));
    QCOMPARE(grid()->dropRow(), 2);
    QTest::mouseRelease(grid()->viewport(), Qt::LeftButton, {}, cellCentre(0, 2));

    // Lines 2..5 now hold the old lines 5, 2, 3, 4, whole (the altitude, not shown in
    // this mode, and the controller's switch bits included).
    const int order[10] = {0, 1, 5, 2, 3, 4, 6, 7, 8, 9};
    for (int k = 0; k < 10; ++k)
        QVERIFY2(std::memcmp(&Schedule[std::size_t(k)], &before[std::size_t(order[k])], sizeof(ScheduleLine)) == 0,
                 qPrintable(QString("line %1").arg(k)));
    for (int gridRow = 3; gridRow <= 6; ++gridRow)
        QCOMPARE(cell(0, gridRow), QString::number(gridRow - 1));
    QCOMPARE(cell(1, 3), QString("14:00"));
    QCOMPARE(cell(1, 4), QString("07:30"));
    QCOMPARE(dirtyLines(), (std::vector<int>{2, 3, 4, 5}));
    QVERIFY(isRequestPending(SetSchedule));
}

void TstScheduleGrid::moveDownwards()
{
    SetTenLineSchedule();
    std::vector<ScheduleLine> before = Schedule;
    connectIn(ModeGeo);
    showGrid();
    page()->moveRow(2, 4); // line 1 below line 3
    const int order[5] = {0, 2, 3, 1, 4};
    for (int k = 0; k < 5; ++k)
        QVERIFY(std::memcmp(&Schedule[std::size_t(k)], &before[std::size_t(order[k])], sizeof(ScheduleLine)) == 0);
    QCOMPARE(dirtyLines(), (std::vector<int>{1, 2, 3}));
    QCOMPARE(cell(1, 4), QString("-6"));
    // Onto itself: nothing.
    ScheduleDirty.assign(10, 0);
    page()->moveRow(4, 4);
    QVERIFY(dirtyLines().empty());
}

void TstScheduleGrid::columnMenuEnabling()
{
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QAction *paste = w->findChild<QAction *>("mnuPasteCol");
    QAction *swap = w->findChild<QAction *>("mnuSwapCol");
    QVERIFY(paste && swap && w->findChild<QAction *>("mnuCopyCol"));
    QCOMPARE(w->CopiedChannel, -1);

    QHeaderView *header = grid()->horizontalHeader();
    const QPoint overColumn4(header->sectionViewportPosition(4) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::RightButton, {}, overColumn4);
    QCOMPARE(page()->PopupChannel, 2);
    QTRY_VERIFY(page()->pumCol->isVisible());
    QVERIFY(!paste->isEnabled());
    QVERIFY(!swap->isEnabled());
    page()->pumCol->close();

    // Paste with nothing copied does nothing even when called.
    page()->mnuPasteColClick();
    QCOMPARE(pendingRequests(), 0u);

    page()->mnuCopyColClick();
    QCOMPARE(w->CopiedChannel, 2);
    page()->pumColPopup();
    QVERIFY(paste->isEnabled());
    QVERIFY(swap->isEnabled());

    // Over the time column the menu does not open.
    const QPoint overTime(header->sectionViewportPosition(1) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::RightButton, {}, overTime);
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
    SetTenLineSchedule();
    const std::vector<ScheduleLine> before = Schedule;
    const ConfigRecord config = Config;
    connectIn(ModeAuto);
    showGrid();
    page()->PopupChannel = source;
    page()->mnuCopyColClick();
    page()->PopupChannel = target;
    if (swap)
        page()->mnuSwapColClick();
    else
        page()->mnuPasteColClick();

    for (std::size_t k = 0; k < 10; ++k) {
        QCOMPARE(Schedule[k].Color16[target], before[k].Color16[source]);
        QCOMPARE(Schedule[k].Color16[source], swap ? before[k].Color16[target] : before[k].Color16[source]);
        QCOMPARE(int(Schedule[k].Hour), int(before[k].Hour));
    }
    QCOMPARE(Config.ColorName[target], config.ColorName[source]);
    QCOMPARE(Config.ColorName[source], swap ? config.ColorName[target] : config.ColorName[source]);
    QCOMPARE(dirtyLines().size(), std::size_t(10));
    QCOMPARE(pendingRequests(), ColumnPaste);
    QCOMPARE(w->CopiedChannel, source); // stays for the next paste
    // Grid and header follow at once.
    QCOMPARE(cell(target + 2, 5), QString::number(before[4].Color16[source]));
    QVERIFY(cell(target + 2, 0).startsWith(QChar('A' + target) + QString(": ")));
}

void TstScheduleGrid::refillSkippedWhileDownloading()
{
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(cell(1, 2), QString("06:30"));
    w->SelectPage(w->page("tsChannels"));
    Schedule[1].Minute = 45;

    setRequestFlags(GetSchedule);
    w->SelectPage(w->page("tsSchedule"));
    QCOMPARE(cell(1, 2), QString("06:30"));
    w->modes->SetMode(ModeGeo);
    QCOMPARE(cell(1, 2), QString("06:30"));
    QCOMPARE(cell(1, 0), QString("Time"));

    setRequestFlags(0);
    w->SelectPage(w->page("tsChannels"));
    w->SelectPage(w->page("tsSchedule"));
    QCOMPARE(cell(1, 0), QString("Alt"));
    QCOMPARE(cell(1, 2), QString("-6"));
    w->modes->SetMode(ModeAuto);
    QCOMPARE(cell(1, 2), QString("06:45"));
}

void TstScheduleGrid::headersFollowLanguageAndMode()
{
    w = makeWindow({"-german"});
    w->show();
    SetTenLineSchedule();
    connectIn(ModeAuto);
    showGrid();
    QCOMPARE(cell(0, 0), QString("Zeile"));
    QCOMPARE(cell(1, 0), QString("Zeit"));
    QCOMPARE(cell(14, 0), QString("Display"));
    QCOMPARE(cell(15, 0), QString("Wolken"));
    QCOMPARE(cell(16, 0), QString("Gewitter"));
    QCOMPARE(cell(15, 3), QString("EIN"));
    QCOMPARE(cell(14, 1), QString("AUS"));
    QVERIFY(w->findChild<QPlainTextEdit *>("memDescription")->toPlainText().startsWith("Spalte"));
    // The switch texts are the language's own: "ON" is foreign here and reads as EIN.
    page()->setCellText(14, 1, "OFF");
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(14, 0));
    QCOMPARE(cell(14, 1), QString("EIN"));
    Config.Mode = ModeGeo;
    w->FillScheduleGrid();
    QCOMPARE(cell(1, 0), QString("Höhe"));
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
    w = makeWindow({language});
    w->show();
    SetTenLineSchedule();
    Info.ActiveLine = 4;
    connectIn(ModeAuto);
    w->ShowConfig();
    showGrid();
    grid()->setFocus();
    grid()->setCurrentCell(3, 4);
    savePicture(w.get(), size, "schedule-grid-" + QString(QTest::currentDataTag()));
}

QTEST_MAIN(TstScheduleGrid)
#include "tst_schedule_grid.moc"
