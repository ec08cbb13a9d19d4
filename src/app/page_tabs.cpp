// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/page_tabs.h"

#include <QApplication>
#include <QKeySequence>
#include <QPointer>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>

namespace {

// Tabs of a side tab bar with their text written across instead of along the bar: the
// tab's size is the text's, turned back, and its label is drawn as on a top tab bar.
class CrossTextTabStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_TabBarTab && isSideTab(option))
            result.transpose();
        return result;
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_TabBarTabLabel && isSideTab(option)) {
            QStyleOptionTab across(*qstyleoption_cast<const QStyleOptionTab *>(option));
            across.shape = QTabBar::RoundedNorth;
            QProxyStyle::drawControl(element, &across, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    static bool isSideTab(const QStyleOption *option)
    {
        const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
        return tab && (tab->shape == QTabBar::RoundedWest || tab->shape == QTabBar::RoundedEast ||
                       tab->shape == QTabBar::TriangularWest || tab->shape == QTabBar::TriangularEast);
    }
};

} // namespace

int NeighbourPage(const QTabWidget *pages, int step)
{
    const int count = pages->count();
    const int current = pages->currentIndex();
    if (count == 0)
        return -1;
    for (int i = 1; i < count; ++i) {
        const int index = ((current + step * i) % count + count) % count;
        if (pages->isTabVisible(index) && pages->isTabEnabled(index))
            return index;
    }
    return current;
}

void SetUpPageTabs(QWidget *window, QTabWidget *pages)
{
    pages->setTabPosition(QTabWidget::West);
    pages->setElideMode(Qt::ElideNone);
    QTabBar *bar = pages->tabBar();
    // The proxy follows the application's style (Fusion, Breeze, …), not a style of its own.
    auto *style = new CrossTextTabStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(bar);
    bar->setStyle(style);

    // A window-wide shortcut: the tab widget's own Ctrl+Tab works only while the focus is
    // inside it, not in the menu bar, the status bar or after a click on a page's background.
    const QPointer<QTabWidget> target(pages);
    auto add = [&](QKeySequence key, int step) {
        auto *shortcut = new QShortcut(key, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, pages, [target, step] {
            if (target)
                target->setCurrentIndex(NeighbourPage(target, step));
        });
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_Tab), +1);
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
}
