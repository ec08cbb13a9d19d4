// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

// An edit with its caption label above it. The object name belongs to the pair, so
// the language table and the enabling rules address it as one control; the edit
// itself is reached through edit().
class LabeledEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    enum LabelPosition { LabelAbove, LabelLeft, LabelRight };
    explicit LabeledEdit(const QString &objectName, QWidget *parent = nullptr,
                         LabelPosition position = LabelAbove);

    QString caption() const { return m_label->text(); }
    void setCaption(const QString &caption) { m_label->setText(caption); }
    void setHint(const QString &hint);

    QString text() const { return m_edit->text(); }
    void setText(const QString &text) { m_edit->setText(text); }
    // True while the user is typing in the edit: change handlers act only then,
    // and refreshes from the device leave it alone.
    bool editHasFocus() const { return m_edit->hasFocus(); }

    QLineEdit *edit() const { return m_edit; }
    QLabel *label() const { return m_label; }

signals:
    void textChanged(const QString &text);

private:
    QLabel *m_label;
    QLineEdit *m_edit;
};

