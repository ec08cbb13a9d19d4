// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_shortcuts.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>

namespace {

bool windowContext(Qt::ShortcutContext context)
{
    return context == Qt::WindowShortcut || context == Qt::ApplicationShortcut;
}

// What a focused control may do with text: edit it, or only select and copy it.
enum class TextUse { None, Read, Edit };

TextUse textUse(const QWidget *focus)
{
    if (const auto *line = qobject_cast<const QLineEdit *>(focus))
        return line->isReadOnly() ? TextUse::Read : TextUse::Edit;
    if (const auto *spin = qobject_cast<const QAbstractSpinBox *>(focus))
        return spin->isReadOnly() ? TextUse::Read : TextUse::Edit;
    if (const auto *combo = qobject_cast<const QComboBox *>(focus))
        return combo->isEditable() ? TextUse::Edit : TextUse::None;
    Qt::TextInteractionFlags flags;
    if (const auto *text = qobject_cast<const QTextEdit *>(focus))
        flags = text->textInteractionFlags();
    else if (const auto *plain = qobject_cast<const QPlainTextEdit *>(focus))
        flags = plain->textInteractionFlags();
    else
        return TextUse::None;
    if (flags & Qt::TextEditable)
        return TextUse::Edit;
    return flags & (Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse) ? TextUse::Read : TextUse::None;
}

} // namespace

WindowShortcuts::WindowShortcuts(QWidget *window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

WindowShortcuts *WindowShortcuts::install(QWidget *window) { return new WindowShortcuts(window); }

bool WindowShortcuts::controlKeeps(const QWidget *focus, const QKeyEvent &key)
{
    // Without Ctrl, Alt or Meta a key is typing or moving in the control: always its own.
    const Qt::KeyboardModifiers chord = key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!chord)
        return true;
    const TextUse use = textUse(focus);
    if (use == TextUse::None)
        return false;
    // A text field keeps copying and selecting (read-only ones too: the log) and, where it
    // can be edited, cutting and pasting, by the platform's keys and by the Ctrl+C, V, X, A
    // that users type everywhere; Ctrl+C in a field copies, it does not set the controller's
    // clock. Undo and redo are the Edit menu's: a field of the window sends what is typed at
    // once, so its own undo would take back characters while the window's takes back the
    // edit, on the controller too. Every other chord is the window's, also those a field
    // binds to line editing on some desktops (Ctrl+E, Ctrl+K, Ctrl+U, Ctrl+D on X11), which
    // are menu keys here.
    if (key.matches(QKeySequence::Copy) || key.matches(QKeySequence::SelectAll))
        return true;
    if (key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo))
        return false;
    if (use == TextUse::Edit && (key.matches(QKeySequence::Cut) || key.matches(QKeySequence::Paste)))
        return true;
    const Qt::KeyboardModifiers shift = key.modifiers() & Qt::ShiftModifier;
    if (chord != Qt::ControlModifier)
        return false;
    switch (key.key()) {
    case Qt::Key_C:
    case Qt::Key_A: return !shift;
    case Qt::Key_V:
    case Qt::Key_X: return use == TextUse::Edit && !shift;
    default: return false;
    }
}

bool WindowShortcuts::windowHasKey(const QWidget *window, const QKeyEvent &key)
{
    const QKeySequence pressed(key.keyCombination());
    QList<QAction *> actions = window->findChildren<QAction *>();
    actions += window->actions();
    for (const QAction *action : std::as_const(actions))
        if (action->isEnabled() && action->isVisible() && windowContext(action->shortcutContext()) &&
            action->shortcuts().contains(pressed))
            return true;
    const QList<QShortcut *> shortcuts = window->findChildren<QShortcut *>();
    for (const QShortcut *shortcut : shortcuts)
        if (shortcut->isEnabled() && windowContext(shortcut->context()) && shortcut->keys().contains(pressed))
            return true;
    return false;
}

bool WindowShortcuts::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != m_window)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // The claim is asked of the focused control first, then of its parents; the control is
    // the one that counts for all of them.
    const QWidget *focus = QApplication::focusWidget();
    if (controlKeeps(focus ? focus : widget, *key) || !windowHasKey(m_window, *key))
        return false;
    // Not claimed by anybody: the shortcut map runs the window's item.
    key->ignore();
    return true;
}
