// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's keys work whatever control has the focus. A focused control may claim a key
// before the window's shortcuts see it (Qt's ShortcutOverride): a slider, a grid or a line
// edit would then swallow a menu key, and the user cannot tell which control does. So every
// key of an enabled menu item or window shortcut goes to the window, except the keys a text
// field really needs for editing its text.
#include <QObject>

class QKeyEvent;
class QWidget;

class WindowShortcuts : public QObject {
    Q_OBJECT
public:
    // Gives window's keys priority over its controls' claims, for as long as it lives.
    static WindowShortcuts *install(QWidget *window);

    // Whether the focused control keeps the key although the window has a shortcut for it.
    static bool controlKeeps(const QWidget *focus, const QKeyEvent &key);
    // Whether an enabled action or shortcut of the window reacts to the key.
    static bool windowHasKey(const QWidget *window, const QKeyEvent &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WindowShortcuts(QWidget *window);
    QWidget *m_window;
};
