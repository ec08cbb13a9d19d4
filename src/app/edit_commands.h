// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Edit menu: undo and redo of the user's edits in the window (link/edit_history.h),
// named by what they change. A step ends when the focus moves or a mouse button goes down,
// so typing into one cell or dragging one slider is one step.

#include "link/edit_history.h"
#include "pages/page.h"

#include <QObject>

class QAction;
class TfrmLumora;

class EditCommands : public QObject, public Page
{
    Q_OBJECT
public:
    explicit EditCommands(TfrmLumora *window);
    ~EditCommands() override;

    void applyEnabling(const EnableState &state) override;
    EditHistory &history() { return m_history; }

    void mnuUndoClick();
    void mnuRedoClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateActions();
    void step(bool back);
    bool isTextField(const QObject *object) const;

    TfrmLumora *w;
    EditHistory m_history;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    bool m_connected = false;
};
