// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Edits taken back with the Edit menu's keys, on the simulated controller: what reaches the
// controller is what the user sees again.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "app/edit_commands.h"
#include "pages/schedule_grid.h"
#include "sim_fixture.h"
#include "widgets/image_view.h"

namespace {

QWidget *focused() { return QApplication::focusWidget(); }
void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(focused(), Qt::Key(k), modifiers); }
void undoKey() { key(Qt::Key_Z, Qt::ControlModifier); }
void redoKey() { key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

QString hhmm(const ScheduleLine &s) { return QTime(s.Hour % 24, s.Minute).toString(QStringLiteral("HH:mm")); }

// Opens the editor of a cell by clicking it, as the user does.
QLineEdit *openCell(ScheduleGrid *grid, int line, int column)
{
    QTableWidget *table = grid->sgSchedule;
    const QRect cell = table->visualRect(table->model()->index(line, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    return qobject_cast<QLineEdit *>(focused());
}

QDateTime clockOf(const InfoRecord &info) { return QDateTime(controllerDate(info), controllerTime(info)); }

} // namespace

class TstUndo : public QObject
{
    Q_OBJECT
private slots:
    void scheduleCell();
    void clockAndLevel();
    void controllerChangeIsNotOverwritten();
};

void TstUndo::scheduleCell()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    ScheduleGrid *grid = w->schedule;
    w->SelectPage(w->page(QStringLiteral("tsSchedule")));
    const ScheduleLine old = controller.schedule()[1];
    const QString typed = QStringLiteral("09:45");
    QVERIFY(hhmm(old) != typed);

    // Escape: every keystroke went out at once, and the line before the editor opened
    // goes out again.
    QLineEdit *editor = openCell(grid, 1, ScheduleGrid::TimeColumn);
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, typed);
    QTRY_COMPARE_WITH_TIMEOUT(hhmm(controller.schedule()[1]), typed, 5000);
    key(Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(hhmm(controller.schedule()[1]), hhmm(old), 5000);
    QCOMPARE(grid->cellText(ScheduleGrid::TimeColumn, 2), hhmm(old));
    QCOMPARE(w->edits->history().stack().count(), 0);

    // Typed and confirmed: one step, named by what it changed, taken back and done again
    // from the grid.
    key(Qt::Key_Return);
    editor = qobject_cast<QLineEdit *>(focused());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, typed);
    key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(hhmm(controller.schedule()[1]), typed, 5000);
    QCOMPARE(w->edits->history().stack().count(), 1);
    QAction *undo = w->action(QStringLiteral("mnuUndo"));
    QCOMPARE(undo->text(), QStringLiteral("Undo Line 1 time %1 \u2192 %2").arg(hhmm(old), typed));
    undoKey();
    QTRY_COMPARE_WITH_TIMEOUT(hhmm(controller.schedule()[1]), hhmm(old), 5000);
    QCOMPARE(grid->cellText(ScheduleGrid::TimeColumn, 2), hhmm(old));
    redoKey();
    QTRY_COMPARE_WITH_TIMEOUT(hhmm(controller.schedule()[1]), typed, 5000);
    QCOMPARE(grid->cellText(ScheduleGrid::TimeColumn, 2), typed);
}

void TstUndo::clockAndLevel()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());

    // The Geo time slider an hour on by its key, taken back: the controller's clock runs
    // on from where it was.
    w->SelectPage(w->page(QStringLiteral("tsGeo")));
    auto *slider = w->findChild<QSlider *>(QStringLiteral("trbTime"));
    slider->setFocus();
    const QDateTime before = clockOf(controller.info());
    key(Qt::Key_PageUp);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(clockOf(controller.info()).secsTo(before.addSecs(3600))) < 120, 5000);
    QCOMPARE(w->action(QStringLiteral("mnuUndo"))->text(), QStringLiteral("Undo Clock"));
    undoKey();
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(clockOf(controller.info()).secsTo(before)) < 120, 5000);

    // One drag of a channel's slider is one step.
    key(Qt::Key_F1, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.config().Mode), int(ModeManual), 5000);
    w->SelectPage(w->page(QStringLiteral("tsChannels")));
    auto *level = w->findChild<QSlider *>(QStringLiteral("trb0"));
    QTRY_VERIFY_WITH_TIMEOUT(level->isEnabled(), 5000);
    // The level Manual took over from the schedule, as the window shows it.
    QVERIFY(waitForIdleLink(w.get()));
    // A poll after the switch brings the levels Manual starts from.
    QTest::qWait(1000);
    QVERIFY(waitForIdleLink(w.get()));
    const int oldLevel = w->model().image().Info.Level[0];
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.info().Level[0]), oldLevel, 5000);
    const int steps = w->edits->history().stack().index();
    const QRect groove = level->rect();
    const bool vertical = level->orientation() == Qt::Vertical;
    const QPoint from = level->rect().center();
    QTest::mousePress(level, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 5; ++i)
        QTest::mouseMove(level, from + (vertical ? QPoint(0, -i * groove.height() / 12) : QPoint(i * groove.width() / 12, 0)));
    QTest::mouseRelease(level, Qt::LeftButton, {}, from + (vertical ? QPoint(0, -groove.height() / 2) : QPoint(groove.width() / 2, 0)));
    QTRY_VERIFY_WITH_TIMEOUT(int(controller.info().Level[0]) != oldLevel, 5000);
    QCOMPARE(w->edits->history().stack().index(), steps + 1);
    undoKey();
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.info().Level[0]), oldLevel, 5000);
}

void TstUndo::controllerChangeIsNotOverwritten()
{
    // A map click moves the place; the controller is then set elsewhere by itself. Undo
    // asks first, and declined it leaves the controller's place.
    auto w = makeConnectedWindow();
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    w->SelectPage(w->page(QStringLiteral("tsGeo")));
    ImageView *map = w->findChild<ImageView *>(QStringLiteral("imgGeo"));
    QTest::mouseClick(map, Qt::LeftButton, {}, map->rect().center() + QPoint(map->width() / 5, -map->height() / 5));
    QTRY_VERIFY_WITH_TIMEOUT(controller.config().Lat > 0 && controller.config().Lon > 0, 5000);
    QCOMPARE(w->action(QStringLiteral("mnuUndo"))->text(), QStringLiteral("Undo Position"));
    ConfigRecord elsewhere = controller.config();
    elsewhere.Lat = -333;
    QVERIFY(waitForIdleLink(w.get()));
    controller.setConfig(elsewhere);
    QTRY_COMPARE_WITH_TIMEOUT(int(w->model().image().Config.Lat), -333, 5000);

    QStringList questions;
    w->ConfirmYesNo = [&questions](const QString &text, const QString &) {
        questions << text;
        return false;
    };
    map->setFocus();
    undoKey();
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].contains(QStringLiteral("Position")), qPrintable(questions[0]));
    QVERIFY(waitForIdleLink(w.get()));
    QCOMPARE(int(controller.config().Lat), -333);
    QVERIFY(w->action(QStringLiteral("mnuUndo"))->isEnabled());
}

QTEST_MAIN(TstUndo)
#include "tst_undo.moc"
