// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/page_tabs.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeySequence>
#include <QPointer>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleFactory>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>

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

// Each page's own key, by the sheet's object name: Alt and a digit for the pages shown at
// start, in tab order, Alt and a letter for the few shown by a switch. The menu bar takes
// Alt and the first letter of its titles (C, F, O, H; V, D, O, H in German), so no letter
// of those is used.
struct PageKey {
    const char *page;
    QKeyCombination key;
};
constexpr PageKey PageKeys[] = {
    {"tsChannels", Qt::ALT | Qt::Key_1},     {"tsChannelsGL", Qt::ALT | Qt::Key_2},
    {"tsSchedule", Qt::ALT | Qt::Key_3},     {"tsVisualize", Qt::ALT | Qt::Key_4},
    {"tsGeo", Qt::ALT | Qt::Key_5},          {"tsConfig", Qt::ALT | Qt::Key_6},
    {"tsTemp", Qt::ALT | Qt::Key_7},         {"tsWeather", Qt::ALT | Qt::Key_8},
    {"tsWeatherDelay", Qt::ALT | Qt::Key_9}, {"tsMoon", Qt::ALT | Qt::Key_0},
    {"tsExpert", Qt::ALT | Qt::Key_E},       {"tsBalance", Qt::ALT | Qt::Key_B},
    {"tsRC433", Qt::ALT | Qt::Key_R},        {"tsMessages", Qt::ALT | Qt::Key_M},
};

// The tab's tool tip (the language table's hint) followed by its page's key, so the key is
// told in every language without a text of its own.
class TabKeyTips : public QObject {
public:
    explicit TabKeyTips(QTabWidget *pages) : QObject(pages->tabBar()), m_pages(pages) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto *help = static_cast<QHelpEvent *>(event);
        QTabBar *bar = m_pages->tabBar();
        const int index = bar->tabAt(help->pos());
        if (index < 0)
            return false;
        const QKeySequence key = PageShortcut(m_pages->widget(index));
        const QString hint = m_pages->tabToolTip(index);
        if (key.isEmpty())
            return false;
        const QString keyText = key.toString(QKeySequence::NativeText);
        QToolTip::showText(help->globalPos(), hint.isEmpty() ? keyText : hint + QStringLiteral(" (") + keyText + u')',
                           bar, bar->tabRect(index));
        return true;
    }

private:
    QTabWidget *m_pages;
};

} // namespace

QKeySequence PageShortcut(const QWidget *page)
{
    if (!page)
        return {};
    for (const PageKey &entry : PageKeys)
        if (page->objectName() == QLatin1String(entry.page))
            return QKeySequence(entry.key);
    return {};
}

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
    // The keys desktops and browsers use for the next and the previous tab.
    add(QKeySequence(Qt::CTRL | Qt::Key_PageDown), +1);
    add(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);

    // A page's own key shows it while its tab is shown and enabled, and puts the focus on
    // its first control, so that Tab goes on from there.
    for (int index = 0; index < pages->count(); ++index) {
        const QPointer<QWidget> page(pages->widget(index));
        const QKeySequence key = PageShortcut(page);
        if (key.isEmpty())
            continue;
        auto *shortcut = new QShortcut(key, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, pages, [target, page] {
            if (!target || !page)
                return;
            const int at = target->indexOf(page);
            if (at < 0 || !target->isTabVisible(at) || !target->isTabEnabled(at))
                return;
            target->setCurrentIndex(at);
            QWidget *first = page->nextInFocusChain();
            while (first && first != page && page->isAncestorOf(first) &&
                   !(first->isVisible() && first->isEnabled() && (first->focusPolicy() & Qt::TabFocus)))
                first = first->nextInFocusChain();
            if (first && page->isAncestorOf(first))
                first->setFocus(Qt::ShortcutFocusReason);
            else
                target->tabBar()->setFocus(Qt::ShortcutFocusReason);
        });
    }
    bar->installEventFilter(new TabKeyTips(pages));
}
