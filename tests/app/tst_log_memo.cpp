// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The message log: its bound, its wrapping, its context menu and Save as….
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "app/frm_lumora.h"
#include "app/log_memo.h"
#include "link/device_image.h"
#include "window_fixture.h"

class TstLogMemo : public QObject {
    Q_OBJECT
private slots:
    void keepsTheNewestLines()
    {
        TLogMemo log;
        for (int i = 0; i < TLogMemo::MaxLines + 50; ++i)
            log.appendLine(QStringLiteral("line %1").arg(i));
        QCOMPARE(log.document()->blockCount(), TLogMemo::MaxLines);
        QCOMPARE(log.document()->firstBlock().text(), QStringLiteral("line 50"));
        QCOMPARE(log.document()->lastBlock().text(), QStringLiteral("line %1").arg(TLogMemo::MaxLines + 49));
    }

    void wrapsAndStaysReadOnly()
    {
        TLogMemo log;
        QVERIFY(log.isReadOnly());
        QCOMPARE(log.lineWrapMode(), QPlainTextEdit::WidgetWidth);
        log.resize(200, 200);
        log.show();
        log.appendLine(QString(400, u'x'));   // one word longer than the view: broken anywhere
        QCoreApplication::processEvents();
        QVERIFY(log.document()->firstBlock().layout()->lineCount() > 1);
    }

    void menuItemsFollowTheText()
    {
        TLogMemo log;
        std::unique_ptr<QMenu> menu(log.createLogMenu());
        QVERIFY(!log.copyAction()->isEnabled());
        QVERIFY(!log.saveAsAction()->isEnabled());
        QVERIFY(!log.clearAction()->isEnabled());
        log.appendLine(QStringLiteral("first"));
        log.appendLine(QStringLiteral("second"));
        menu.reset(log.createLogMenu());
        QVERIFY(!log.copyAction()->isEnabled());
        QVERIFY(log.clearAction()->isEnabled());
        log.selectAllAction()->trigger();
        menu.reset(log.createLogMenu());
        QVERIFY(log.copyAction()->isEnabled());
        log.copyAction()->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("first\nsecond"));
        QCOMPARE(menu->actions().size(), 5);   // Copy, Select all, separator, Save as…, Clear
        log.clearAction()->trigger();
        QVERIFY(log.toPlainText().isEmpty());
    }

    void saveAsWritesAndSaysWhere_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("written") << true;
        QTest::newRow("folder missing") << false;
    }
    void saveAsWritesAndSaysWhere()
    {
        QFETCH(bool, writable);
        QTemporaryDir dir;
        const QString path = dir.filePath(writable ? QStringLiteral("log.txt") : QStringLiteral("missing/log.txt"));
        TLogMemo log;
        QStringList reports;
        log.Log = [&reports](const QString &line) { reports.append(line); };
        QString suggested;
        log.ChooseSaveFile = [&](const QString &s) {
            suggested = s;
            return path;
        };
        log.Folder = dir.path();
        log.appendLine(QStringLiteral("[1.1.26 10:00:00] Grüße"));
        log.appendLine(QStringLiteral("[1.1.26 10:00:01] second"));
        log.saveAsAction()->trigger();
        QVERIFY(suggested.startsWith(dir.path() + QStringLiteral("/Aqualumora_log_")));
        QCOMPARE(reports.size(), 1);
        QFile file(path);
        if (writable) {
            QCOMPARE(reports.first(), QStringLiteral("Log saved to ") + path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll()),
                     QStringLiteral("[1.1.26 10:00:00] Grüße\n[1.1.26 10:00:01] second\n"));
        } else {
            QVERIFY(reports.first().startsWith(QStringLiteral("Could not write ") + path));
            QVERIFY(!file.exists());
        }
    }

    void cancelledDialogWritesNothing()
    {
        TLogMemo log;
        QStringList reports;
        log.Log = [&reports](const QString &line) { reports.append(line); };
        log.ChooseSaveFile = [](const QString &) { return QString(); };
        log.appendLine(QStringLiteral("x"));
        log.saveAs();
        QVERIFY(reports.isEmpty());
    }

    // In the window the menu speaks the table's language, and the log's own behaviour stays.
    void windowLogInGerman()
    {
        auto w = makeWindow({"-german"});
        QVERIFY(w->mem->isReadOnly());
        QCOMPARE(w->mem->copyAction()->text(), QStringLiteral("Kopieren"));
        QCOMPARE(w->mem->saveAsAction()->text(), QStringLiteral("Speichern unter..."));
        QCOMPARE(w->mem->clearAction()->text(), QStringLiteral("Leeren"));
        int clicks = 0;
        w->LogDoubleClick = [&clicks] { ++clicks; };
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::mouseDClick(w->mem->viewport(), Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstLogMemo test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_log_memo.moc"
