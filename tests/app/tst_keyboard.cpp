// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The window by keyboard alone: the focus moves only by Tab and the window's keys, and every
// edit is typed into the focused control and must reach the simulated controller.
#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>
#include <QToolTip>
#include <QHelpEvent>
#include <QTest>

#include "app/page_tabs.h"
#include "pages/schedule_grid.h"
#include "pages/visualize_page.h"
#include "sim_fixture.h"
#include "theme_palettes.h"
#include "widgets/image_view.h"

namespace {

QWidget *focused() { return QApplication::focusWidget(); }
void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(focused(), Qt::Key(k), modifiers);
}

// Shows the page by its own key, then tabs on until the focus is on `target` (or inside it).
bool tabTo(TfrmLumora *w, const char *page, QWidget *target)
{
    const QKeySequence shortcut = PageShortcut(w->page(QString::fromLatin1(page)));
    QTest::keySequence(focused() ? focused() : w, shortcut);
    if (w->pc->currentWidget() != w->page(QString::fromLatin1(page)))
        return false;
    for (int i = 0; i < 60; ++i) {
        if (focused() == target || target->isAncestorOf(focused()))
            return true;
        key(Qt::Key_Tab);
    }
    return false;
}

int minutesOf(const ScheduleLine &s) { return s.Hour * 60 + s.Minute; }

} // namespace

class TstKeyboard : public QObject {
    Q_OBJECT
private slots:
    void wholeEditByKeyboard();
    void focusIsVisible_data();
    void focusIsVisible();
};

void TstKeyboard::wholeEditByKeyboard()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    TfrmLumora *win = w.get();
    SimulatedController &controller = sim(win);
    // The page's key is told in its tab's tool tip.
    QTabBar *tabs = win->pc->tabBar();
    QHelpEvent tip(QEvent::ToolTip, tabs->tabRect(2).center(), tabs->mapToGlobal(tabs->tabRect(2).center()));
    QCoreApplication::sendEvent(tabs, &tip);
    QTRY_VERIFY2(QToolTip::text().contains(PageShortcut(win->pc->widget(2)).toString(QKeySequence::NativeText)), qPrintable(QToolTip::text()));

    // Mode switch by the menu's key.
    key(Qt::Key_F1, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.config().Mode), int(ModeManual), 5000);

    // A channel level: the slider's arrow key.
    auto *slider = win->findChild<QSlider *>("trb0");
    QTRY_VERIFY_WITH_TIMEOUT(slider->isEnabled(), 5000);
    QVERIFY(tabTo(win, "tsChannels", slider));
    key(Qt::Key_PageUp);
    const int level = slider->value();
    QVERIFY(level > 0);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.info().Level[0]), level, 5000);

    // A schedule cell: Tab from the time to channel A, type, Enter; typed again and Escape
    // gives the line back; Space on a switch toggles it.
    QVERIFY(tabTo(win, "tsSchedule", win->schedule->sgSchedule));
    key(Qt::Key_Tab);
    QTest::keyClicks(focused(), QStringLiteral("37"));
    key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.schedule()[0].Color16[0]), 37, 5000);
    key(Qt::Key_Return);
    QVERIFY(qobject_cast<QLineEdit *>(focused()));
    QTest::keyClicks(focused(), QStringLiteral("99"));
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.schedule()[0].Color16[0]), 99, 5000);
    key(Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.schedule()[0].Color16[0]), 37, 5000);
    const uint8_t switches = controller.schedule()[0].Switch;
    for (int column = ScheduleGrid::FirstLevelColumn + 1; column < ScheduleGrid::FirstSwitchColumn; ++column)
        key(Qt::Key_Tab);
    key(Qt::Key_Escape);
    key(Qt::Key_Right);
    key(Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.schedule()[0].Switch), int(switches ^ SwitchBacklight), 5000);
    // Backtab from the first cell leaves the grid.
    QVERIFY(tabTo(win, "tsSchedule", win->schedule->sgSchedule));
    key(Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(qobject_cast<QLineEdit *>(focused()));
    key(Qt::Key_Backtab);
    QVERIFY(focused() != win->schedule->sgSchedule && !win->schedule->sgSchedule->isAncestorOf(focused()));

    // A curve point: the second line's point of channel A, a level step up and an hour on.
    QVERIFY(tabTo(win, "tsVisualize", win->visualize->img));
    key(Qt::Key_PageDown);
    QCOMPARE(win->visualize->selectedLine(), 1);
    const ScheduleLine before = controller.schedule()[1];
    key(Qt::Key_Up);
    key(Qt::Key_Right, Qt::ShiftModifier);
    const int minutes = std::min(minutesOf(before) + VisualizePage::BigTimeStepMinutes, 1440);
    QTRY_COMPARE_WITH_TIMEOUT(minutesOf(controller.schedule()[1]), minutes, 5000);
    QCOMPARE(int(controller.schedule()[1].Color16[0]), std::min(before.Color16[0] + VisualizePage::LevelStep, 100));
}

void TstKeyboard::focusIsVisible_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TstKeyboard::focusIsVisible()
{
    // The chart's frame and the cell editor's border are the highlight colour once the
    // keys reach them, and only then.
    QFETCH(bool, dark);
    useTheme(dark);
    auto w = makeConnectedWindow();
    QVERIFY(w);
    const QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    ImageView *chart = w->visualize->img;
    QVERIFY(tabTo(w.get(), "tsVisualize", chart));
    QCOMPARE(chart->grab().toImage().pixelColor(0, chart->height() / 2), highlight);
    savePicture(w.get(), w->size(), dark ? "keyboard_chart_dark" : "keyboard_chart_light");
    QVERIFY(tabTo(w.get(), "tsSchedule", w->schedule->sgSchedule));
    auto *editor = qobject_cast<QLineEdit *>(focused());
    QVERIFY(editor);
    QCOMPARE(editor->grab().toImage().pixelColor(0, editor->height() / 2), highlight);
    savePicture(w.get(), w->size(), dark ? "keyboard_grid_dark" : "keyboard_grid_light");
    QVERIFY(chart->grab().toImage().pixelColor(0, chart->height() / 2) != highlight);
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
