// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/log_memo.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMenu>

#include "presentation/localization.h"
#include "files/ini_file.h"

namespace {

QAction *makeItem(QObject *parent, const char *name, const char *caption)
{
    auto *item = new QAction(QString::fromLatin1(caption), parent);
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

} // namespace

QString SuggestedLogFileName(const QDateTime &when)
{
    return QStringLiteral("Aqualumora_log_") + when.toString(QStringLiteral("yyyy-MM-dd_HHmmss")) +
           QStringLiteral(".txt");
}

TLogMemo::TLogMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setMaximumBlockCount(MaxLines);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUndoRedoEnabled(false);   // a log has nothing to undo, and the undo stack would keep every line

    // The captions are the built-in English ones; the language table replaces them.
    m_copy = makeItem(this, "mnuLogCopy", "Copy");
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WidgetShortcut);
    connect(m_copy, &QAction::triggered, this, &QPlainTextEdit::copy);
    addAction(m_copy);
    m_selectAll = makeItem(this, "mnuLogSelectAll", "Select all");
    m_selectAll->setShortcut(QKeySequence::SelectAll);
    m_selectAll->setShortcutContext(Qt::WidgetShortcut);
    connect(m_selectAll, &QAction::triggered, this, &QPlainTextEdit::selectAll);
    addAction(m_selectAll);
    m_saveAs = makeItem(this, "mnuLogSaveAs", "Save as...");
    connect(m_saveAs, &QAction::triggered, this, &TLogMemo::saveAs);
    m_clear = makeItem(this, "mnuLogClear", "Clear");
    connect(m_clear, &QAction::triggered, this, &QPlainTextEdit::clear);

    ChooseSaveFile = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, Translate(QStringLiteral("SaveLogAs")), suggested,
                                            Translate(QStringLiteral("LogFileFilter")));
    };
}

void TLogMemo::appendLine(const QString &line)
{
    // One new block; the view follows the end only while the reader is there.
    appendPlainText(line);
}

bool TLogMemo::saveTo(const QString &path)
{
    QString text = toPlainText();
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        text += u'\n';
    const bool written = WriteFileAtomically(path, text.toUtf8());
    if (Log)
        Log(TranslateFmt(written ? QStringLiteral("LogSaved") : QStringLiteral("LogSaveFailed"),
                         {QDir::toNativeSeparators(path)}));
    return written;
}

void TLogMemo::saveAs()
{
    QString suggested = SuggestedLogFileName(QDateTime::currentDateTime());
    if (!Folder.isEmpty())
        suggested = QDir(Folder).filePath(suggested);
    const QString path = ChooseSaveFile ? ChooseSaveFile(suggested) : QString();
    if (!path.isEmpty())
        saveTo(path);
}

QMenu *TLogMemo::createLogMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("pumLog"));
    m_copy->setEnabled(textCursor().hasSelection());
    const bool hasText = !document()->isEmpty();
    m_selectAll->setEnabled(hasText);
    m_saveAs->setEnabled(hasText);
    m_clear->setEnabled(hasText);
    menu->addAction(m_copy);
    menu->addAction(m_selectAll);
    menu->addSeparator();
    menu->addAction(m_saveAs);
    menu->addAction(m_clear);
    return menu;
}

void TLogMemo::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createLogMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
