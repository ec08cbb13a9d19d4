// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialogs of the backup history: the list of copies to restore from, and the preview
// of the differences with the choice of sections (or, for a comparison, the list alone).
#include <QDialog>

#include "app/backup_commands.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

// Every copy of every controller, newest first. Unreadable copies are shown greyed with
// their reason and cannot be chosen.
class CopyListDialog : public QDialog {
    Q_OBJECT
public:
    CopyListDialog(QWidget *parent, const QList<BackupCopy> &copies);
    // The chosen copy's path; empty while none (or an unreadable one) is selected.
    QString chosenPath() const;
    QTreeWidget *list = nullptr;
    QPushButton *btnChoose = nullptr;
};

// The differences controller -> file, section by section; with readOnly false, a check box
// per differing section and a button that restores the checked ones.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    PreviewDialog(QWidget *parent, const RestorePreview &preview, bool readOnly);
    unsigned chosenSections() const;
    QTreeWidget *list = nullptr;
    QPushButton *btnRestore = nullptr;
    QList<QCheckBox *> sections;
};

// Texts shared by the dialogs and the log.
QString BackupReasonText(BackupReason reason);
QString CopyConditionText(CopyCondition condition);
QString ValueText(const std::optional<int64_t> &value);
QString TakenText(const QDateTime &taken);
