// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/restore_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "files/restore_check.h"
#include "presentation/localization.h"

namespace {

constexpr int PathRole = Qt::UserRole;

QTreeWidget *makeList(QWidget *parent, const char *name, std::initializer_list<const char *> headerKeys)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    QStringList headers;
    for (const char *key : headerKeys)
        headers << Translate(QString::fromLatin1(key));
    list->setHeaderLabels(headers);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Numbers stay beside their headers; the room left over is after the last column.
    list->header()->setStretchLastSection(false);
    return list;
}

QString sectionText(const QString &section)
{
    return RestoreSectionOf(section) == RestoreSchedule
               ? TranslateFmt(QStringLiteral("PreviewScheduleLine"), {QString::number(section.toInt() + 1)})
               : section;
}

} // namespace

QString BackupReasonText(BackupReason reason)
{
    return Translate(QStringLiteral("BackupReason") + BackupReasonKey(reason));
}

QString CopyConditionText(CopyCondition condition)
{
    switch (condition) {
    case CopyCondition::Readable: return QString();
    case CopyCondition::Damaged: return Translate(QStringLiteral("CopyDamaged"));
    case CopyCondition::Foreign: return Translate(QStringLiteral("CopyForeign"));
    case CopyCondition::Truncated: return Translate(QStringLiteral("CopyTruncated"));
    case CopyCondition::Oversized: return Translate(QStringLiteral("CopyOversized"));
    case CopyCondition::Inaccessible: return Translate(QStringLiteral("CopyInaccessible"));
    }
    return QString();
}

QString ValueText(const std::optional<int64_t> &value)
{
    return value ? QString::number(*value) : QStringLiteral("\u2014");
}

QString TakenText(const QDateTime &taken)
{
    return taken.isValid() ? QLocale().toString(taken, QLocale::ShortFormat) : QStringLiteral("?");
}

CopyListDialog::CopyListDialog(QWidget *parent, const QList<BackupCopy> &copies) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgRestoreList"));
    setWindowTitle(Translate(QStringLiteral("RestoreListCaption")));
    auto *layout = new QVBoxLayout(this);
    list = makeList(this, "lstCopies",
                    {"RestoreColDate", "RestoreColPort", "RestoreColReason", "RestoreColDiffers", "RestoreColState"});
    for (const BackupCopy &copy : copies) {
        QString port = copy.port.isEmpty() ? copy.controller : copy.port.section(u' ', 0, 0);
        QString differs;
        if (copy.restorable())
            differs = copy.differences < 0 ? QStringLiteral("?") : QString::number(copy.differences);
        QString state = CopyConditionText(copy.condition);
        if (copy.restorable() && copy.firmwareDiffers)
            state = Translate(QStringLiteral("CopyOtherFirmware"));
        auto *item = new QTreeWidgetItem(list, {TakenText(copy.taken), port, BackupReasonText(copy.reason), differs, state});
        item->setData(0, PathRole, copy.path);
        item->setToolTip(0, copy.path);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        if (!copy.restorable())
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);   // greyed, never chosen
    }
    layout->addWidget(list);
    if (copies.isEmpty())
        layout->addWidget(new QLabel(Translate(QStringLiteral("RestoreListEmpty")), this));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    btnChoose = buttons->addButton(Translate(QStringLiteral("RestoreShowDifferences")), QDialogButtonBox::AcceptRole);
    btnChoose->setObjectName(QStringLiteral("btnChooseCopy"));
    btnChoose->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QTreeWidget::currentItemChanged, this, [this] { btnChoose->setEnabled(!chosenPath().isEmpty()); });
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (!chosenPath().isEmpty())
            accept();
    });
    layout->addWidget(buttons);
    resize(720, 420);
}

QString CopyListDialog::chosenPath() const
{
    const QTreeWidgetItem *item = list->currentItem();
    return item && (item->flags() & Qt::ItemIsEnabled) ? item->data(0, PathRole).toString() : QString();
}

PreviewDialog::PreviewDialog(QWidget *parent, const RestorePreview &preview, bool readOnly) : QDialog(parent)
{
    setObjectName(readOnly ? QStringLiteral("dlgCompare") : QStringLiteral("dlgRestorePreview"));
    const QString name = preview.copy ? TakenText(preview.copy->taken) : preview.path;
    setWindowTitle(TranslateFmt(QString::fromLatin1(readOnly ? "CompareCaption" : "PreviewCaption"), {name}));
    auto *layout = new QVBoxLayout(this);
    auto *summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("lblPreviewSummary"));
    summary->setWordWrap(true);
    QStringList notes;
    notes << (preview.comparison.count() == 0
                  ? Translate(QStringLiteral("PreviewNoDifference"))
                  : TranslateFmt(QStringLiteral("PreviewSummary"),
                                 {QString::number(preview.comparison.count()), QString::number(preview.comparison.compared)}));
    if (preview.firmwareDiffers && preview.copy)
        notes << TranslateFmt(QStringLiteral("PreviewFirmwareDiffers"),
                              {QString::number(preview.copy->firmware.deviceType), QString::number(preview.copy->firmware.version)});
    if (preview.backupLines > preview.controllerLines)
        notes << TranslateFmt(QStringLiteral("PreviewLines"), {QString::number(preview.backupLines),
                                                              QString::number(preview.controllerLines)});
    summary->setText(notes.join(u'\n'));
    layout->addWidget(summary);

    list = makeList(this, "lstDifferences", {"PreviewColSection", "PreviewColKey", "PreviewColNow", "PreviewColBackup"});
    for (const StateDifference &d : preview.comparison.differences) {
        auto *item = new QTreeWidgetItem(list, {sectionText(d.section), d.key, ValueText(d.now), ValueText(d.backup)});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    }
    layout->addWidget(list);

    auto *buttons = new QDialogButtonBox(readOnly ? QDialogButtonBox::Close : QDialogButtonBox::Cancel, this);
    if (!readOnly) {
        auto *choice = new QHBoxLayout;
        choice->addWidget(new QLabel(Translate(QStringLiteral("PreviewChoose")), this));
        for (RestoreSection section : RestoreSectionOrder) {
            auto *box = new QCheckBox(section == RestoreSchedule ? Translate(QStringLiteral("PreviewSchedule"))
                                                                 : RestoreSectionName(section),
                                      this);
            box->setObjectName(QStringLiteral("cbxRestore") + RestoreSectionName(section));
            box->setProperty("section", unsigned(section));
            // Only a section that differs can be restored; all of them are checked at first.
            const bool differs = preview.differing & section;
            box->setEnabled(differs);
            box->setChecked(differs);
            choice->addWidget(box);
            sections << box;
        }
        choice->addStretch(1);
        layout->addLayout(choice);
        btnRestore = buttons->addButton(Translate(QStringLiteral("PreviewRestoreButton")), QDialogButtonBox::AcceptRole);
        btnRestore->setObjectName(QStringLiteral("btnRestore"));
        const auto enable = [this] { btnRestore->setEnabled(chosenSections() != 0); };
        for (QCheckBox *box : std::as_const(sections))
            connect(box, &QCheckBox::toggled, this, enable);
        enable();
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 480);
}

unsigned PreviewDialog::chosenSections() const
{
    unsigned chosen = 0;
    for (const QCheckBox *box : sections)
        if (box->isChecked() && box->isEnabled())
            chosen |= box->property("section").toUInt();
    return chosen;
}
