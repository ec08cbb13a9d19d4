// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The steps the user can take back. Every edit of the user's reaches the history through
// DeviceModel's recorder hook as the bytes it changed; consecutive edits of the same thing
// (the keystrokes in one cell, the positions of one slider drag) join one step until the
// window seals it (the focus moved, a mouse button went down). Undo and redo write the
// bytes back through DeviceModel::restoreEdited, which sends them as any edit is sent.
//
// A value the controller has changed by itself since the step is not overwritten silently:
// undo and redo first ask the confirm callback, naming what changed.

#include "link/device_model.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <functional>

class EditHistory : public QObject, public EditRecorder
{
    Q_OBJECT
public:
    // Listens to model from now on, until destroyed.
    explicit EditHistory(DeviceModel &model, QObject *parent = nullptr);
    ~EditHistory() override;

    QUndoStack &stack() { return m_stack; }

    // The next edit starts a new step.
    void seal() { ++m_generation; }
    // Forgets every step (another controller, or a new download of this one).
    void clear();

    // Asked before an undo or redo would overwrite what the controller changed by itself:
    // the question's text, and whether it is an undo; true goes on. Without one, the step
    // is not taken.
    void setConfirm(std::function<bool(const QString &question, bool undo)> confirm) { m_confirm = std::move(confirm); }
    // The name of an edit the history cannot name by what it changed (a setting): the
    // window answers with the control being used.
    void setContextName(std::function<QString()> name) { m_contextName = std::move(name); }

    // Take the step back, or do it again. False when there is none or the user declined.
    bool undo();
    bool redo();

    // EditRecorder
    void recordEdit(const EditSnapshot &before, const DeviceImage &after, uint32_t raised) override;
    void beginStep(const QString &name) override;
    void endStep() override;

    int generation() const { return m_generation; }
    DeviceModel &model() { return m_model; }
    QString contextName() const { return m_contextName ? m_contextName() : QString(); }

signals:
    // After an undo or redo: its log text ("Undone: Line 3 time 07:00 → 09:45").
    void applied(const QString &text);

private:
    bool step(bool back);

    DeviceModel &m_model;
    QUndoStack m_stack;
    int m_generation = 0;
    int m_groupDepth = 0;
    bool m_applying = false;
    QString m_groupName;
    class ImageEditCommand *m_group = nullptr;
    std::function<bool(const QString &, bool)> m_confirm;
    std::function<QString()> m_contextName;
};
