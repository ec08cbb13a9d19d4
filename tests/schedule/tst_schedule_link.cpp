// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Edits in the schedule grid and in the light-curve chart arrive in the simulated controller.

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "pages/schedule_grid.h"
#include "pages/visualize_page.h"
#include "widgets/image_view.h"
#include "sim_fixture.h"

class TstScheduleLink : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void typedLevelReachesController();
    void draggedPointReachesController();
};

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
    QVERIFY(waitForIdleLink(w.get()));
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
    QCOMPARE(w->Edit.dragLine, 4);
    QTest::mouseMove(img, QPoint(grab.x(), -30));
    QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(grab.x(), -30));
    QVERIFY(waitForIdleLink(w.get()));
    QTRY_COMPARE(int(sim(w.get()).schedule()[4].Color16[0]), 100);
    const ScheduleLine after = sim(w.get()).schedule()[4];
    QCOMPARE(int(after.Hour), int(before.Hour));
    QCOMPARE(int(after.Minute), int(before.Minute));
}

QTEST_MAIN(TstScheduleLink)
#include "tst_schedule_link.moc"
