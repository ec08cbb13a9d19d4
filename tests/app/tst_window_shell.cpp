// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The window's keys whatever control has the focus, and one connection state in the status
// bar, on the Messages page and in the log.
#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "app/ini_commands.h"
#include "app/taskbar_indicator.h"
#include "link/ports.h"
#include "link/pty_peer.h"
#include "window_fixture.h"

namespace {
// Claims every key, as a line edit claims Ctrl+E, K, U and D under X11's key bindings.
struct ClaimsEveryKey : QObject {
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return false;
    }
};
} // namespace

class TstWindowShell : public QObject {
    Q_OBJECT
private slots:
    void init() { ForgetPort(); }
    void windowKeysWin_data();
    void windowKeysWin();
    void oneConnectionState();
};

void TstWindowShell::windowKeysWin_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("expected");   // the page shown then, the item run, or !the item kept from running (copy)
    QTest::newRow("slider, next page") << "tsChannels" << "trb0" << QKeySequence(Qt::CTRL | Qt::Key_PageDown) << "tsChannelsGL";
    QTest::newRow("grid, previous page") << "tsSchedule" << "sgSchedule" << QKeySequence(Qt::CTRL | Qt::Key_PageUp) << "tsChannelsGL";
    QTest::newRow("geo time slider") << "tsGeo" << "trbTime" << QKeySequence(Qt::CTRL | Qt::Key_PageDown) << "tsConfig";
    QTest::newRow("field, export") << "tsChannels" << "edt0" << QKeySequence(Qt::CTRL | Qt::Key_E) << "mnuScheduleConfigExport";
    QTest::newRow("log, mode") << "tsMessages" << "mem" << QKeySequence(Qt::CTRL | Qt::Key_F1) << "mnuModeManual";
    QTest::newRow("field, copy") << "tsChannels" << "edt0" << QKeySequence(Qt::CTRL | Qt::Key_C) << "!mnuSetTimeDate";
    QTest::newRow("log, copy") << "tsMessages" << "mem" << QKeySequence(Qt::CTRL | Qt::Key_C) << "!mnuSetTimeDate";
}

void TstWindowShell::windowKeysWin()
{
    QFETCH(QString, page);
    QFETCH(QString, control);
    QFETCH(QKeySequence, key);
    QFETCH(QString, expected);
    auto w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->iniCommands->ChooseFile = [](const IniCommands::FileDialogRequest &) { return QString(); };
    w->model().imageForLoading().Config.Mode = 0;   // Manual: the channel controls are enabled
    w->SetConnected(true);
    w->SelectPage(w->page(page));
    auto *target = w->findChild<QWidget *>(control);
    QVERIFY(target && target->isEnabled());
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    ClaimsEveryKey claim;
    target->installEventFilter(&claim);
    const bool runs = expected.startsWith(u"mnu");
    QAction *item = w->action(runs ? expected : expected.mid(1));
    QSignalSpy ran(item ? item : w->action("mnuExit"), &QAction::triggered);
    QTest::keySequence(target, key);
    if (item)
        QCOMPARE(ran.count(), runs ? 1 : 0);
    else
        QCOMPARE(w->pc->currentWidget()->objectName(), expected);
}

// A port where nothing answers: every attempt is counted and the status bar, the Messages
// page and the log say the same at every step; Ctrl+D, pressed in the log, ends it at once.
void TstWindowShell::oneConnectionState()
{
    PtyPeer silent;
    auto w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(silent.ok() && QTest::qWaitForWindowActive(w.get()));
    w->Timings.readTimeoutMs = 200;
    w->Timings.lostDeviceWaitMs = 50;
    const QString port = silent.slavePath();
    // Indicator's words, Messages page, status panel and the log's last line about the link.
    const auto agree = [&] {
        const ConnectionState &state = w->Connection();
        const QString panel = w->sbPanel[0]->text(), log = w->mem->toPlainText() + u'\n';
        const qsizetype last = log.lastIndexOf(QRegularExpression(QStringLiteral("] (Connecting to|Connection error|Disconnected)")));
        return w->lblConnection->text() == state.text() && w->btnConnectHint->text().startsWith(state.text()) &&
               panel == state.statusLine() && last >= 0 && log.mid(last + 2).startsWith(panel + u'\n');
    };
    w->mnuConnectionClick();   // the menu the port is chosen in, opened while nothing runs
    w->ConnectToEntry(port + QStringLiteral(" (no controller)"));
    QVERIFY(agree());
    QTRY_VERIFY_WITH_TIMEOUT(w->Connection().attempt() >= 3, 10000);
    QVERIFY(agree());
    QCOMPARE(w->lblConnection->text(), QStringLiteral("Connecting to %1 (attempt %2)...").arg(port).arg(w->Connection().attempt()));
    QVERIFY(!w->mem->toPlainText().contains(QStringLiteral("Connected to ") + port));
    w->mem->setFocus();
    QTRY_VERIFY(w->mem->hasFocus());
    ClaimsEveryKey claim;
    w->mem->installEventFilter(&claim);
    QTest::keyClick(w->mem, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(w->Connection(), ConnectionState::notConnected(port));
    QVERIFY(agree());
    QCOMPARE(w->sbPanel[0]->text(), QStringLiteral("Disconnected from ") + port);
    QTRY_VERIFY(!w->LinkRunning());
    // Nothing the ending thread still said brings an attempt back.
    QCOMPARE(w->Connection(), ConnectionState::notConnected(port));
    QVERIFY(agree());
    QCOMPARE(w->taskbar->state(), TaskbarIndicator::State::NoLink);
}

QTEST_MAIN(TstWindowShell)
#include "tst_window_shell.moc"
