// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/input_guard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

InputGuard::InputGuard(QObject *parent) : QObject(parent) {}

bool InputGuard::isGuarded(const QObject *object)
{
    // Scroll bars are what the wheel is for.
    if (qobject_cast<const QScrollBar *>(object))
        return false;
    return qobject_cast<const QAbstractSlider *>(object) || qobject_cast<const QComboBox *>(object) ||
           qobject_cast<const QAbstractSpinBox *>(object);
}

void InputGuard::guard(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : std::as_const(widgets)) {
        if (!isGuarded(widget))
            continue;
        // A wheel turn would otherwise hand the focus over first, and then count as the
        // user's change.
        if (widget->focusPolicy() == Qt::WheelFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(this);
    }
}

bool InputGuard::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return false;
    switch (event->type()) {
    case QEvent::Wheel:
        if (!widget->hasFocus()) {
            // Ignored and filtered: the application hands the turn on to the parents.
            event->ignore();
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (!widget->hasFocus()) {
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}
