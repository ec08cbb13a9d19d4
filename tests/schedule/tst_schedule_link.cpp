// The schedule pages against the simulated controller: what the download shows, and edits
// in the grid and the chart arriving in the controller.

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "schedule/schedule_grid.h"
#include "schedule/visualize_page.h"
#include "sim_fixture.h"

class TstScheduleLink : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void downloadFillsGridAndChart();
    void typedLevelReachesController();
    void draggedPointReachesController();
    void columnPasteReachesController();
};

void TstScheduleLink::downloadFillsGridAndChart()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    const std::vector<ScheduleLine> lines = sim(w.get()).schedule();
    QVERIFY(!lines.empty());
    ScheduleGrid *grid = w->schedule;
    QCOMPARE(grid->gridRowCount(), int(lines.size()) + 1);
    const ScheduleLine &last = lines.back();
    QCOMPARE(grid->cellText(1, int(lines.size())),
             QStringLiteral("%1:%2").arg(last.Hour, 2, 10, QChar('0')).arg(last.Minute, 2, 10, QChar('0')));
    QCOMPARE(grid->cellText(2, 1), QString::number(lines[0].Color16[0]));
    QCOMPARE(w->visualize->points().size(), lines.size());
}

void TstScheduleLink::typedLevelReachesController()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->SelectPage(w->page("tsSchedule"));
    ScheduleGridWidget *grid = w->schedule->sgSchedule;
    grid->setFocus();
    grid->setCurrentCell(3, 4); // line 3, channel C
    QLineEdit *editor = grid->currentEditor();
    QVERIFY(editor);
    editor->clear();
    QTest::keyClicks(editor, "37");
    QVERIFY(waitForIdleLink());
    QTRY_COMPARE(int(sim(w.get()).schedule()[3].Color16[2]), 37);
}

void TstScheduleLink::draggedPointReachesController()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->SelectPage(w->page("tsVisualize"));
    w->visualize->cbxTimeLock->setChecked(true);
    w->visualize->DrawLightCurves();
    QWidget *img = w->visualize->img;
    const curves::CurvePoint &p = w->visualize->points()[4];
    const QPoint grab(int(std::lround(p.x)), int(std::lround(p.y[0])));
    const ScheduleLine before = sim(w.get()).schedule()[4];
    QTest::mousePress(img, Qt::LeftButton, {}, grab);
    QCOMPARE(w->DragLine, 4);
    QTest::mouseMove(img, QPoint(grab.x(), -30));
    QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(grab.x(), -30));
    QVERIFY(waitForIdleLink());
    QTRY_COMPARE(int(sim(w.get()).schedule()[4].Color16[0]), 100);
    const ScheduleLine after = sim(w.get()).schedule()[4];
    QCOMPARE(int(after.Hour), int(before.Hour));
    QCOMPARE(int(after.Minute), int(before.Minute));
}

void TstScheduleLink::columnPasteReachesController()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->SelectPage(w->page("tsSchedule"));
    ScheduleGrid *grid = w->schedule;
    const std::vector<ScheduleLine> before = sim(w.get()).schedule();
    const uint8_t sourceColour = sim(w.get()).config().ColorName[0];
    grid->PopupChannel = 0;
    grid->mnuCopyColClick();
    grid->PopupChannel = 9;
    grid->mnuPasteColClick();
    QVERIFY(waitForIdleLink());
    QTRY_COMPARE(int(sim(w.get()).config().ColorName[9]), int(sourceColour));
    const std::vector<ScheduleLine> after = sim(w.get()).schedule();
    QCOMPARE(after.size(), before.size());
    for (std::size_t k = 0; k < after.size(); ++k)
        QCOMPARE(int(after[k].Color16[9]), int(before[k].Color16[0]));
}

QTEST_MAIN(TstScheduleLink)
#include "tst_schedule_link.moc"
