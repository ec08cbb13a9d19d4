// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/edit_commands.h"

#include "app/frm_lumora.h"
#include "presentation/localization.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

namespace {

// The name of the control the user edits with, for a step the history cannot name by what
// it changed: its accessible name, else its buddy label's or its own text.
QString ControlName(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (!widget->accessibleName().isEmpty())
            return widget->accessibleName();
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget); button && !button->text().isEmpty())
            return QString(button->text()).remove(QLatin1Char('&'));
        if (widget->isWindow())
            break;
    }
    return {};
}

} // namespace

EditCommands::EditCommands(TfrmLumora *window) : QObject(window), Page(window->model()), w(window), m_history(window->model())
{
    m_undo = w->action(QStringLiteral("mnuUndo"));
    m_redo = w->action(QStringLiteral("mnuRedo"));
    if (m_undo)
        connect(m_undo, &QAction::triggered, this, &EditCommands::mnuUndoClick);
    if (m_redo)
        connect(m_redo, &QAction::triggered, this, &EditCommands::mnuRedoClick);
    QUndoStack &stack = m_history.stack();
    connect(&stack, &QUndoStack::indexChanged, this, &EditCommands::updateActions);
    connect(&stack, &QUndoStack::cleanChanged, this, &EditCommands::updateActions);
    connect(&m_history, &EditHistory::applied, this, [this](const QString &text) { w->AddLog(text); });
    m_history.setConfirm([this](const QString &question, bool undo) {
        return w->ConfirmYesNo &&
               w->ConfirmYesNo(question, Translate(undo ? QStringLiteral("UndoMenuEmpty") : QStringLiteral("RedoMenuEmpty")));
    });
    m_history.setContextName([] { return ControlName(QApplication::focusWidget()); });
    // A step ends where the user turns to something else.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this] { m_history.seal(); });
    updateActions();
}

EditCommands::~EditCommands()
{
    if (qApp)
        qApp->removeEventFilter(this);
    // The stack clears itself when it goes, after the window's actions are gone.
    disconnect(&m_history.stack(), nullptr, this, nullptr);
}

bool EditCommands::eventFilter(QObject *, QEvent *event)
{
    // Ctrl+Z in a text field of the window is the Edit menu's too (app/window_shortcuts.h).
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
        m_history.seal();
    return false;
}

bool EditCommands::isTextField(const QObject *object) const
{
    const auto *widget = qobject_cast<const QWidget *>(object);
    return widget && (qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)) &&
           widget->window() == w;
}

void EditCommands::step(bool back)
{
    if (!m_connected)
        return;
    // A control being typed in shows no refresh of its own value; it lets go of the focus
    // while the step is taken and gets it back after. A cell editor closes, and the grid
    // takes the focus.
    QPointer<QWidget> focus = QApplication::focusWidget();
    if (!isTextField(focus))
        focus = nullptr;
    if (focus) {
        for (QWidget *p = focus->parentWidget(); p; p = p->parentWidget()) {
            if (auto *view = qobject_cast<QAbstractItemView *>(p)) {
                focus = view;
                break;
            }
        }
        QApplication::focusWidget()->clearFocus();
    }
    if (back)
        m_history.undo();
    else
        m_history.redo();
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
}

void EditCommands::applyEnabling(const EnableState &state)
{
    // A new connection downloads everything anew: the steps belonged to what was there.
    if (state.connected && !m_connected)
        m_history.clear();
    m_connected = state.connected;
    updateActions();
}

void EditCommands::updateActions()
{
    QUndoStack &stack = m_history.stack();
    const auto label = [](const char *menuKey, const char *key, const QString &text) {
        return text.isEmpty() ? Translate(QString::fromLatin1(menuKey)) : TranslateFmt(QString::fromLatin1(key), {text});
    };
    if (m_undo) {
        m_undo->setEnabled(m_connected && stack.canUndo());
        m_undo->setText(label("UndoMenuEmpty", "UndoMenu", stack.canUndo() ? stack.undoText() : QString()));
    }
    if (m_redo) {
        m_redo->setEnabled(m_connected && stack.canRedo());
        m_redo->setText(label("RedoMenuEmpty", "RedoMenu", stack.canRedo() ? stack.redoText() : QString()));
    }
}

void EditCommands::mnuUndoClick() { step(true); }
void EditCommands::mnuRedoClick() { step(false); }
