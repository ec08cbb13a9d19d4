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
#include "link/ports.h"
#include "app/taskbar_indicator.h"
#include "link/pty_peer.h"
#include "window_fixture.h"

namespace {

// Claims every key the control is asked about, as a line edit claims Ctrl+E, Ctrl+K, Ctrl+U
// and Ctrl+D under X11's key bindings: the window's keys must win all the same.
class ClaimsEveryKey : public QObject {
protected:
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
    QTest::addColumn<QString>("item");     // the menu item that must (not) run; none: a page key
    QTest::addColumn<QString>("result");   // the page shown afterwards, or "runs" / "stays"
    using QKS = QKeySequence;
    QTest::newRow("slider, next page") << "tsChannels" << "trb0" << QKS(Qt::CTRL | Qt::Key_PageDown) << "" << "tsChannelsGL";
    QTest::newRow("grid, previous page") << "tsSchedule" << "sgSchedule" << QKS(Qt::CTRL | Qt::Key_PageUp) << "" << "tsChannelsGL";
    QTest::newRow("geo time slider") << "tsGeo" << "trbTime" << QKS(Qt::CTRL | Qt::Key_PageDown) << "" << "tsConfig";
    QTest::newRow("field, page digit") << "tsChannels" << "edt0" << QKS(Qt::ALT | Qt::Key_3) << "" << "tsSchedule";
    QTest::newRow("field, export") << "tsChannels" << "edt0" << QKS(Qt::CTRL | Qt::Key_E) << "mnuScheduleConfigExport" << "runs";
    QTest::newRow("field, all on") << "tsChannels" << "edt0" << QKS(Qt::CTRL | Qt::Key_1) << "mnuAllOn" << "runs";
    QTest::newRow("log, mode") << "tsMessages" << "mem" << QKS(Qt::CTRL | Qt::Key_F1) << "mnuModeManual" << "runs";
    // Copying in a field stays copying, also in the read-only log.
    QTest::newRow("field, copy") << "tsChannels" << "edt0" << QKS(Qt::CTRL | Qt::Key_C) << "mnuSetTimeDate" << "stays";
    QTest::newRow("log, copy") << "tsMessages" << "mem" << QKS(Qt::CTRL | Qt::Key_C) << "mnuSetTimeDate" << "stays";
}

void TstWindowShell::windowKeysWin()
{
    QFETCH(QString, page);
    QFETCH(QString, control);
    QFETCH(QKeySequence, key);
    QFETCH(QString, item);
    QFETCH(QString, result);
    auto w = makeWindow({"-english"});
    w->iniCommands->ChooseFile = [](const IniCommands::FileDialogRequest &) { return QString(); };
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->model().imageForLoading().Config.Mode = 0;   // Manual: the channel controls are enabled
    w->SetConnected(true);
    w->SelectPage(w->page(page));
    auto *target = w->findChild<QWidget *>(control);
    QVERIFY(target && target->isEnabled());
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    ClaimsEveryKey claim;
    target->installEventFilter(&claim);
    QSignalSpy ran(item.isEmpty() ? w->action("mnuExit") : w->action(item), &QAction::triggered);
    QTest::keySequence(target, key);
    if (item.isEmpty())
        QCOMPARE(w->pc->currentWidget()->objectName(), result);
    else
        QCOMPARE(ran.count(), result == u"runs" ? 1 : 0);
}

// A port where nothing answers: every attempt is counted and the status bar, the Messages
// page and the log say the same at every step; Ctrl+D, pressed in the log, ends it at once.
void TstWindowShell::oneConnectionState()
{
    PtyPeer silent;
    QVERIFY(silent.ok());
    auto w = makeWindow({"-english"});
    w->Timings.readTimeoutMs = 200;
    w->Timings.lostDeviceWaitMs = 50;
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const QString port = silent.slavePath();
    // The words beside the indicator, the line on the Messages page, the status panel and the
    // log's last line about the connection (the trace lines between them aside).
    const auto agree = [&] {
        const ConnectionState &state = w->Connection();
        const QString panel = w->sbPanel[0]->text();
        const QStringList log = w->mem->toPlainText().split(u'\n');
        const auto last = std::find_if(log.rbegin(), log.rend(), [](const QString &line) {
            return line.contains(QRegularExpression(QStringLiteral("] (Connecting to|Connection error|Disconnected)")));
        });
        return w->lblConnection->text() == state.text() && w->btnConnectHint->text().startsWith(state.text()) &&
               (state.phase() == ConnectionState::Phase::Connecting ? panel.startsWith(state.text().chopped(3))
                                                                     : panel == state.statusLine()) &&
               last != log.rend() && last->endsWith(QStringLiteral("] ") + panel);
    };
    w->mnuConnectionClick();   // the menu the port is chosen in, opened while nothing runs
    w->ConnectToEntry(port + QStringLiteral(" (no controller)"));
    QVERIFY(agree());
    QTRY_VERIFY_WITH_TIMEOUT(w->Connection().attempt() >= 3, 10000);
    QVERIFY(agree());
    QCOMPARE(w->lblConnection->text(), QStringLiteral("Connecting to %1 (attempt %2)...").arg(port).arg(w->Connection().attempt()));
    QVERIFY(!w->mem->toPlainText().contains(QStringLiteral("Connected to ") + port));

    w->SelectPage(w->page(QStringLiteral("tsMessages")));
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
