// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

#include "presentation/window_geometry.h"

namespace {

// The window settings sit beside, not in, the remembered port: forgetting the port on a
// disconnect must not forget where the window was.
QSettings placementSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"),
                     QStringLiteral("Window"));
}

constexpr int Far = 1 << 20;   // beyond any desktop; keeps stored numbers from overflowing
// The frame (title bar and borders) counted while the window manager has not told the real
// one: before the window is shown, and on X11 also for a while after, since the frame's size
// comes with a later notice. Counting none then would let the window be as tall as the free
// area, and the window manager's title bar would push the status bar off the screen.
constexpr QSize FrameAllowance(16, 48);

QSize frameExtraOf(const QWidget *window)
{
    const QSize extra = window->frameGeometry().size() - window->size();
    return extra.isNull() ? FrameAllowance : extra;
}

// Under Wayland a window cannot place itself: the compositor decides where it goes, move()
// is ignored and pos() reads as the origin. There only the size, the state and the page are
// restored, and the position stored by a session that could place the window is kept.
bool windowPlacesItself() { return !QGuiApplication::platformName().startsWith(u"wayland"); }

QScreen *screenAt(const QPoint &point)
{
    QScreen *screen = QGuiApplication::screenAt(point);
    return screen ? screen : QGuiApplication::primaryScreen();
}

// The room the pages need: their tabs beside the largest page's least size, and never less
// than the minimum set on them.
QSize leastSize(const QWidget *pages)
{
    QSize least = pages->minimumSizeHint().expandedTo(pages->minimumSize());
    // In a container (with the restore bar above them) the tab widget's own hint counts: a
    // layout takes the minimum set on it instead of its larger hint.
    if (const auto *tabs = pages->findChild<QTabWidget *>(QStringLiteral("pc")))
        least = least.expandedTo(tabs->minimumSizeHint());
    return least;
}

QScrollArea *pageScroller(QMainWindow *window)
{
    auto *scroller = qobject_cast<QScrollArea *>(window->centralWidget());
    return scroller && scroller->objectName() == u"pageScroller" ? scroller : nullptr;
}

// Lets the window become as small as the screen's free area where that is smaller than
// what the pages ask for; the pages then scroll.
void fitMinimumToScreen(QMainWindow *window, const QRect &available)
{
    QScrollArea *scroller = pageScroller(window);
    QWidget *pages = scroller ? scroller->widget() : nullptr;
    if (!pages)
        return;
    // The least size leaves room for a whole title bar even where a frame is told: on X11 the
    // first one told can be a mere border, the title bar comes later. A minimum some pixels
    // too small costs nothing; one too large is a window the screen cannot hold.
    const QSize frameExtra = frameExtraOf(window).expandedTo(FrameAllowance);
    // The menu bar and the status bar above and below the pages.
    int around = 0;
    if (const QWidget *menu = window->menuWidget())
        around += menu->sizeHint().height();
    if (const QWidget *status = window->findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly))
        around += status->sizeHint().height();
    const QSize room = available.size() - frameExtra - QSize(0, around);
    const QSize wanted = leastSize(pages);
    const QSize least = wanted.boundedTo(room.expandedTo(QSize(120, 80)));
    if (scroller->minimumSize() != least) {
        scroller->setMinimumSize(least);
        // The window takes its minimum from its layout only when that runs again.
        if (window->layout())
            window->layout()->activate();
    }
}

} // namespace

void PagesScrollable(QMainWindow *window)
{
    QWidget *pages = window->takeCentralWidget();
    if (!pages)
        return;
    auto *scroller = new QScrollArea(window);
    scroller->setObjectName(QStringLiteral("pageScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(pages);
    window->setCentralWidget(scroller);
    scroller->setMinimumSize(leastSize(pages));
}

void KeepOnScreen(QMainWindow *window, bool centre)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    fitMinimumToScreen(window, available);
    if (window->isMaximized() || window->isFullScreen())
        return;
    // Until the window manager has told the frame, it counts with an allowance, and the shown
    // window is fitted again. pos() and move() are the frame's.
    const QSize extra = frameExtraOf(window);
    const QRect frame(window->pos(), window->size() + extra);
    const QRect fitted = centre ? CentreFrame(frame, available) : FitFrame(frame, available);
    const QSize client = fitted.size() - extra;
    if (client != window->size())
        window->resize(client);
    if (window->pos() != fitted.topLeft() && windowPlacesItself())
        window->move(fitted.topLeft());
}

void KeepOnScreenWhenShown(QMainWindow *window)
{
    const bool restored = [&] {
        const auto *placement = window->findChild<WindowPlacement *>();
        return placement && placement->restored();
    }();
    KeepOnScreen(window, !restored);
    // A window manager tells the frame's size only after the window is mapped.
    QTimer::singleShot(0, window, [window] { KeepOnScreen(window, false); });
}

WindowPlacement::WindowPlacement(QMainWindow *window, QTabWidget *pages)
    : QObject(window), m_window(window), m_pages(pages)
{
    window->installEventFilter(this);
}

QString WindowPlacement::settingsPath() { return placementSettings().fileName(); }

void WindowPlacement::restore()
{
    const QSettings settings = placementSettings();
    auto number = [&](const char *key, int low, int high, bool &ok) {
        const int value = settings.value(QLatin1String(key)).toInt(&ok);
        return std::clamp(value, low, high);
    };
    bool okX = false, okY = false, okW = false, okH = false;
    const int x = number("x", -Far, Far, okX);
    const int y = number("y", -Far, Far, okY);
    const int width = number("width", 1, Far, okW);
    const int height = number("height", 1, Far, okH);
    if (okW && okH)
        m_window->resize(QSize(width, height).expandedTo(m_window->minimumSizeHint()));
    m_restored = okX && okY;
    if (okX && okY && windowPlacesItself()) {
        // The screen the window was on, or the primary one where that is gone.
        QScreen *screen = screenAt(QPoint(x, y) + QPoint(std::min(width, Far) / 2, 16));
        if (screen)
            m_window->setScreen(screen);
        m_window->move(x, y);
        KeepOnScreen(m_window, false);
    } else {
        KeepOnScreen(m_window, true);
    }
    if (settings.value(QStringLiteral("maximized")).toBool())
        m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);

    const QString page = settings.value(QStringLiteral("page")).toString();
    for (int i = 0; m_pages && !page.isEmpty() && i < m_pages->count(); ++i) {
        if (m_pages->widget(i)->objectName() == page && m_pages->isTabVisible(i)) {
            m_pages->setCurrentIndex(i);
            break;
        }
    }
}

void WindowPlacement::save() const
{
    QSettings settings = placementSettings();
    const bool maximized = m_window->isMaximized() || m_window->isFullScreen();
    // A maximized window is remembered with the place it goes back to.
    const QRect normal = maximized ? m_window->normalGeometry() : m_window->geometry();
    // The position is the frame's (what move() takes), the size the window's own.
    const QPoint place = maximized ? normal.topLeft() : m_window->pos();
    if (normal.isValid()) {
        if (windowPlacesItself()) {
            settings.setValue(QStringLiteral("x"), place.x());
            settings.setValue(QStringLiteral("y"), place.y());
        }
        settings.setValue(QStringLiteral("width"), normal.width());
        settings.setValue(QStringLiteral("height"), normal.height());
    }
    settings.setValue(QStringLiteral("maximized"), maximized);
    if (m_pages && m_pages->currentWidget())
        settings.setValue(QStringLiteral("page"), m_pages->currentWidget()->objectName());
    settings.sync();
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close)
        save();
    return QObject::eventFilter(watched, event);
}
