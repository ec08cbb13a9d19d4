// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

class QWidget;

// Keeps the mouse wheel and stray key events from changing a control the user is not
// working in. Sliders, combo boxes and spin boxes (dates included) take the focus only by
// a click or the Tab key, never by a wheel turn; while one of them has no focus, wheel
// turns over it go on to its parent (the page scrolls instead) and key events are not
// taken. With the focus, wheel and keys change it as a drag or a choice from the list
// does. The window's own keys (Ctrl+PageDown to change the page, the menu keys) reach the
// window before any control sees them.
class InputGuard : public QObject {
    Q_OBJECT
public:
    explicit InputGuard(QObject *parent = nullptr);

    // Guards every such control below root (root included) that exists now.
    void guard(QWidget *root);
    // Whether the control is of a kind that is guarded.
    static bool isGuarded(const QObject *object);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
