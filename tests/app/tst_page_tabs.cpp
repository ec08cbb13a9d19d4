// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The page tabs: all in view at the design and the minimum size in both languages with every
// page shown, and Ctrl+Tab / Ctrl+Shift+Tab from anywhere in the window.
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "app/frm_lumora.h"
#include "app/page_tabs.h"
#include "link/device_image.h"
#include "link/ports.h"
#include "window_fixture.h"

namespace {
const char *const PageNames[] = {"tsChannels", "tsChannelsGL", "tsSchedule", "tsVisualize", "tsGeo",
                                 "tsConfig", "tsTemp", "tsWeather", "tsWeatherDelay", "tsMoon",
                                 "tsExpert", "tsBalance", "tsRC433", "tsMessages"};
}

class TstPageTabs : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ForgetPort();
    }

    void everyTabInView_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("minimum");
        for (const char *language : {"-english", "-german"})
            for (bool minimum : {false, true})
                QTest::addRow("%s %s", language + 1, minimum ? "minimum" : "design")
                    << QString::fromLatin1(language) << minimum;
    }
    void everyTabInView()
    {
        QFETCH(QString, language);
        QFETCH(bool, minimum);
        auto w = makeWindow({QStringLiteral("-expert"), QStringLiteral("-rc433"), language});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->resize(minimum ? w->minimumSizeHint() : QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight));
        QCoreApplication::processEvents();
        QTabBar *bar = w->pc->tabBar();
        QCOMPARE(w->pc->tabPosition(), QTabWidget::West);
        // No scroll arrows: the tab bar's scroll buttons are hidden.
        for (const QToolButton *arrow : bar->findChildren<QToolButton *>())
            QVERIFY2(!arrow->isVisible(), "the tab bar scrolls");
        const QRect inWindow(bar->mapTo(w.get(), QPoint(0, 0)), bar->size());
        QVERIFY(w->rect().contains(inWindow));
        for (const char *name : PageNames) {
            QWidget *page = w->page(QString::fromLatin1(name));
            QVERIFY2(page, name);
            const int index = w->pc->indexOf(page);
            QVERIFY2(w->pc->isTabVisible(index), name);
            const QRect tab = bar->tabRect(index);
            QVERIFY2(bar->rect().contains(tab), name);
            // The caption is written across and fits its tab whole.
            QVERIFY2(tab.width() >= bar->fontMetrics().horizontalAdvance(bar->tabText(index)), name);
            // One click on the tab brings the page.
            QTest::mouseClick(bar, Qt::LeftButton, {}, tab.center());
            if (w->pc->isTabEnabled(index))
                QVERIFY2(w->pc->currentWidget() == page, name);
        }
        // The pages are as wide as the window leaves them, never wider.
        QVERIFY(w->pc->currentWidget()->width() < w->width());
    }

    // Ctrl+Tab goes to the next page and Ctrl+Shift+Tab back, skipping hidden and disabled
    // pages and going round, wherever the focus is.
    void pageShortcuts_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("previous");
        // Not connected, without -expert: Expert options, White balance, JMP pin and 433 MHz
        // are hidden, and the tab of 433 MHz is disabled.
        QTest::newRow("log") << "mem" << "tsMessages" << "tsChannels" << "tsMoon";
        QTest::newRow("level slider") << "trb0" << "tsChannels" << "tsChannelsGL" << "tsMessages";
        QTest::newRow("level field") << "edt0_edit" << "tsChannels" << "tsChannelsGL" << "tsMessages";
        QTest::newRow("schedule grid") << "sgSchedule" << "tsSchedule" << "tsVisualize" << "tsChannelsGL";
        QTest::newRow("tab bar") << "pc-tabbar" << "tsChannelsGL" << "tsSchedule" << "tsChannels";
        QTest::newRow("nothing") << "" << "tsConfig" << "tsTemp" << "tsGeo";
    }
    void pageShortcuts()
    {
        QFETCH(QString, focus);
        QFETCH(QString, start);
        QFETCH(QString, next);
        QFETCH(QString, previous);
        auto w = makeWindow({QStringLiteral("-english")});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QApplication::setActiveWindow(w.get());
        QTabWidget *pc = w->pc;
        for (const char *name : {"tsChannels", "tsChannelsGL", "tsGeo", "tsConfig", "tsMoon"})
            w->page(QString::fromLatin1(name))->setEnabled(true);
        auto focusAndPress = [&](bool back) {
            pc->setCurrentWidget(w->page(start));
            QWidget *target = focus == u"pc-tabbar" ? pc->tabBar() : w->findChild<QWidget *>(focus);
            if (target) {
                // The level controls wait for a connection.
                for (QWidget *p = target; p && p != pc; p = p->parentWidget())
                    p->setEnabled(true);
                target->setFocus();
                QVERIFY(target->hasFocus());
            } else if (QWidget *focused = QApplication::focusWidget()) {
                focused->clearFocus();
            }
            QWidget *receiver = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
            if (back)
                QTest::keyClick(receiver, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
            else
                QTest::keyClick(receiver, Qt::Key_Tab, Qt::ControlModifier);
        };
        focusAndPress(false);
        QCOMPARE(pc->currentWidget()->objectName(), next);
        focusAndPress(true);
        QCOMPARE(pc->currentWidget()->objectName(), previous);
    }

    void neighbourPage()
    {
        QTabWidget pages;
        for (int i = 0; i < 4; ++i)
            pages.addTab(new QWidget, QString::number(i));
        pages.setTabVisible(1, false);
        pages.setTabEnabled(2, false);
        pages.setCurrentIndex(0);
        QCOMPARE(NeighbourPage(&pages, +1), 3);
        QCOMPARE(NeighbourPage(&pages, -1), 3);
        pages.setTabVisible(3, false);
        QCOMPARE(NeighbourPage(&pages, +1), 0);   // no other page to go to
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstPageTabs test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_page_tabs.moc"
