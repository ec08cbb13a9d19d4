// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's place on the desktop: it opens inside the available area of its
// screen at any scale factor, with title bar and menu reachable, and opens next time with
// the size, position and page it was closed with.
#include <QObject>
#include <QString>

class QMainWindow;
class QTabWidget;

// Moves and shrinks the window (its frame, title bar included) into the available area of
// its screen; `centre` also centres it there. A screen smaller than the window's minimum
// lowers that minimum: the pages then scroll inside the window (see PagesScrollable).
void KeepOnScreen(QMainWindow *window, bool centre);

// KeepOnScreen for a window being shown: centred unless its WindowPlacement was restored;
// once more when the window manager has told the frame's size.
void KeepOnScreenWhenShown(QMainWindow *window);

// Puts the window's central widget into a frameless scroll area that scrolls only when the
// window had to become smaller than the central widget's minimum size (a small screen at a
// large scale factor); everywhere else it is invisible.
void PagesScrollable(QMainWindow *window);

// Remembers the window's size, position and page in the program's window settings file,
// and brings them back. Values read are checked: a size or position that would put the
// window off the screen is fitted onto it, a page that is unknown or hidden is ignored.
class WindowPlacement : public QObject {
    Q_OBJECT
public:
    WindowPlacement(QMainWindow *window, QTabWidget *pages);

    // Before the window is first shown.
    void restore();
    // Also done when the window closes.
    void save() const;
    // Whether restore() found a stored position.
    bool restored() const { return m_restored; }

    // The file the placement is kept in.
    static QString settingsPath();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMainWindow *m_window;
    QTabWidget *m_pages;
    bool m_restored = false;
};
