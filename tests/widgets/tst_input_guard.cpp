// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractSlider>
#include <QComboBox>
#include <QDateEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include "link/device_model.h"
#include "widgets/input_guard.h"
#include "window_fixture.h"

namespace {

// Counts the wheel turns that reach a widget.
class WheelCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel)
            ++count;
        return false;
    }
};

// A wheel turn as the window system delivers it: spontaneous, so that a widget that does
// not take it passes it on to its parents.
void turnWheel(QWidget *widget, int steps)
{
    const QPointF at = QPointF(widget->rect().center());
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    // sendEvent would mark it as the program's own again; QTest delivers its key events so.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(widget, &wheel);
}

QString valueOf(QWidget *control)
{
    if (auto *slider = qobject_cast<QAbstractSlider *>(control))
        return QString::number(slider->value());
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return QString::number(combo->currentIndex());
    if (auto *date = qobject_cast<QDateEdit *>(control))
        return date->date().toString(Qt::ISODate);
    return QString();
}

} // namespace

class TstInputGuard : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { w.reset(); }
    void onlyTheFocusedControlChanges_data();
    void onlyTheFocusedControlChanges();
    void scrollBarsKeepTheWheel();

private:
    std::unique_ptr<TfrmLumora> w;
};

void TstInputGuard::init()
{
    w = makeWindow({"-english"});
    w->resize(1009, 680);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    DeviceImage &image = w->model().imageForLoading();
    image.Config.Mode = 0;
    image.Config.ColorName[0] = 2;
    image.Info.Level[0] = 1000;
    w->SetConnected(true);
    w->ShowConfig();
    w->ShowInfo();
}

void TstInputGuard::onlyTheFocusedControlChanges_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<uint>("request");   // what a change by the user raises
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QString>("input");   // "wheel", a key, or "Ctrl+PgDown"
    QTest::addColumn<bool>("changes");
    struct Control {
        const char *page;
        const char *name;
        uint request;
    };
    const Control controls[] = {
        {"tsChannels", "trb0", SetInfoLevels},
        {"tsChannels", "cmbName0", SetConfig},
        {"tsGeo", "dtp", SetInfoTime},
    };
    for (const Control &c : controls) {
        const auto row = [&](const char *what, bool focused, const char *input, bool changes) {
            QTest::addRow("%s, %s", c.name, what)
                << QString::fromLatin1(c.page) << QString::fromLatin1(c.name) << c.request << focused
                << QString::fromLatin1(input) << changes;
        };
        row("wheel without focus", false, "wheel", false);
        row("arrow key without focus", false, "Up", false);
        row("page key without focus", false, "Ctrl+PgDown", false);
        row("wheel with focus", true, "wheel", true);
        row("arrow key with focus", true, "Up", true);
        row("page key with focus", true, "Ctrl+PgDown", false);
    }
}

void TstInputGuard::onlyTheFocusedControlChanges()
{
    QFETCH(QString, page);
    QFETCH(QString, control);
    QFETCH(uint, request);
    QFETCH(bool, focused);
    QFETCH(QString, input);
    QFETCH(bool, changes);
    w->SelectPage(w->page(page));
    auto *widget = w->findChild<QWidget *>(control);
    QVERIFY(widget);
    QVERIFY(widget->isEnabled());
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(2);   // room both ways
    QWidget *other = w->findChild<QWidget *>(page == u"tsGeo" ? QStringLiteral("btnNow") : QStringLiteral("btnOff5"));
    (focused ? widget : other)->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(widget->hasFocus(), focused);
    WheelCounter parent;
    widget->parentWidget()->installEventFilter(&parent);
    w->model().replaceRequests(0);
    const QString before = valueOf(widget);

    if (input == u"wheel")
        turnWheel(widget, -1);
    else if (input == u"Up")
        QTest::keyClick(widget, Qt::Key_Up);
    else
        QTest::keyClick(widget, Qt::Key_PageDown, Qt::ControlModifier);
    QCoreApplication::processEvents();

    QCOMPARE(valueOf(widget) != before, changes);
    QCOMPARE(bool(w->model().pendingRequests() & request), changes);
    // Never taken by the wheel: an unfocused control leaves the turn to the page. The page
    // key is the window's, whatever has the focus: the next page is shown.
    QVERIFY(input == u"Ctrl+PgDown" ? w->pc->currentWidget() != w->page(page) : widget->hasFocus() == focused);
    if (input == u"wheel")
        QCOMPARE(parent.count, focused ? 0 : 1);
}

void TstInputGuard::scrollBarsKeepTheWheel()
{
    QVERIFY(!InputGuard::isGuarded(w->mem->verticalScrollBar()));
    QVERIFY(InputGuard::isGuarded(w->findChild<QSlider *>(QStringLiteral("trb0"))));
    for (int i = 0; i < 200; ++i)
        w->AddLog(QStringLiteral("line"));
    w->SelectPage(w->page(QStringLiteral("tsMessages")));
    QScrollBar *bar = w->mem->verticalScrollBar();
    bar->setValue(bar->maximum());
    const int bottom = bar->value();
    turnWheel(bar, 1);
    QVERIFY(bar->value() < bottom);
}

QTEST_MAIN(TstInputGuard)
#include "tst_input_guard.moc"
