// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPlainTextEdit>

#include <functional>

class QAction;

// The message log on the Messages page: read-only, long lines wrapped at the page's width,
// and bounded to MaxLines lines (the oldest go first, so that a long session with trace
// lines neither fills the memory nor slows the window). Appending a line adds one block
// and never rewrites the text.
//
// Its context menu offers Copy, Select all, Save as… and Clear; the menu items are named
// (mnuLogCopy …) so that the language table gives them their captions.
class TLogMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int MaxLines = 10000;

    explicit TLogMemo(QWidget *parent = nullptr);

    // Appends one line (no line breaks inside).
    void appendLine(const QString &line);

    // The file Save as… writes: asked in a dialog unless tests replace it; empty: cancelled.
    std::function<QString(const QString &suggestedPath)> ChooseSaveFile;
    // Where Save as… reports which file it wrote, or that it could not.
    std::function<void(const QString &)> Log;
    // The folder the save dialog starts in.
    QString Folder;

    // Writes the whole log to path (UTF-8, one line per line, atomically: an existing file
    // is replaced only by a complete new one). Reports the outcome through Log.
    bool saveTo(const QString &path);
    void saveAs();

    // The menu the context menu shows (built anew on each request; caller owns it).
    QMenu *createLogMenu();

    QAction *copyAction() const { return m_copy; }
    QAction *selectAllAction() const { return m_selectAll; }
    QAction *saveAsAction() const { return m_saveAs; }
    QAction *clearAction() const { return m_clear; }

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QAction *m_copy;
    QAction *m_selectAll;
    QAction *m_saveAs;
    QAction *m_clear;
};

// The file name Save as… suggests for a log saved at the given moment.
QString SuggestedLogFileName(const QDateTime &when);
