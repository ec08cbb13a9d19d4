// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The backup history in the window, end to end with a simulated controller: the offer after
// a loss, the restore and its read-back check, a full disk, copies that cannot be read.
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cerrno>
#include <cstddef>

#include "app/backup_commands.h"
#include "app/frm_lumora.h"
#include "app/ini_commands.h"
#include "app/restore_dialog.h"
#include "files/restore_check.h"
#include "link/device_image.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

namespace {

// Saves a picture of a widget when AQ_PICTURE_DIR is set, to look at by eye.
void picture(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("AQ_PICTURE_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    widget->grab().save(dir + u'/' + name + QStringLiteral(".png"));
}

// A window on the port with the controller's whole state downloaded; null on timeout.
std::unique_ptr<TfrmLumora> connectedWindow(const QString &port)
{
    auto w = std::make_unique<TfrmLumora>(QStringList{QStringLiteral("-english"), port});
    for (int i = 0; i < 1000; ++i, QTest::qWait(10))
        if (w->IsConnected() && w->ImageComplete() && !(w->model().pendingRequests() & FullDownload))
            return w;
    return nullptr;
}

QString log(const TfrmLumora &w) { return w.mem->toPlainText(); }

} // namespace

class TstBackupRestore : public QObject {
    Q_OBJECT
private slots:
    void init();
    void lossIsOfferedRestoredAndChecked_data();
    void lossIsOfferedRestoredAndChecked();
    void fullDiskKeepsOlderCopiesAndSaysSoOnce();
    void unreadableCopiesAreNeverRestored();

private:
    std::shared_ptr<SimulatedController> controller;
    std::unique_ptr<SimulatorPort> port;
};

void TstBackupRestore::init()
{
    QDir(BackupHistory::defaultRoot()).removeRecursively();
    controller = std::make_shared<SimulatedController>();
    port = std::make_unique<SimulatorPort>(controller);
    QVERIFY(port->start());
}

void TstBackupRestore::lossIsOfferedRestoredAndChecked_data()
{
    QTest::addColumn<unsigned>("chosen");
    QTest::addColumn<QStringList>("written");   // command codes sent once each
    QTest::addColumn<QStringList>("unsent");
    QTest::newRow("everything") << unsigned(RestoreEverything) << QStringList{"02", "05", "06", "03"} << QStringList{};
    QTest::newRow("schedule only") << unsigned(RestoreSchedule) << QStringList{"03"} << QStringList{"02", "05", "06"};
    QTest::newRow("config only") << unsigned(RestoreConfig) << QStringList{"02", "05", "06"} << QStringList{"03"};
}

void TstBackupRestore::lossIsOfferedRestoredAndChecked()
{
    QFETCH(unsigned, chosen);
    QFETCH(QStringList, written);
    QFETCH(QStringList, unsent);
    // A good state: the full schedule, and a fan level the controller will refuse later.
    ConfigRecord config = controller->config();
    config.FanHigh = 201;
    controller->setConfig(config);
    const std::vector<ScheduleLine> goodSchedule = controller->schedule();
    QVERIFY(goodSchedule.size() > 1);
    {
        auto w = connectedWindow(port->slavePath());
        QVERIFY(w);
        w->close();
    }
    // Switched off without saving, or reset: the controller comes back empty, and from now
    // on takes no fan level above 200.
    controller->loseSettings();
    controller->setWriteAdjuster([](uint8_t code, std::vector<uint8_t> &data) {
        if (code == 0x02)
            data[offsetof(ConfigRecord, FanHigh)] = std::min<uint8_t>(data[offsetof(ConfigRecord, FanHigh)], 200);
    });
    auto w = connectedWindow(port->slavePath());
    QVERIFY(w);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    BackupCommands *backups = w->backups;
    QTRY_VERIFY(!w->barRestore->isHidden());
    const QString offered = backups->OfferedPath();
    QVERIFY(QFile::exists(offered));
    QVERIFY(backups->lblBar->text().contains(TakenText(backups->history().copies(w->PortName).constLast().taken)));
    QVERIFY(log(*w).contains(QStringLiteral("looks as if it has lost its settings")));
    picture(w->barRestore, QStringLiteral("restore_bar"));

    RestorePreview seen;
    backups->ChooseSections = [&](const RestorePreview &preview) -> std::optional<unsigned> {
        seen = preview;
        PreviewDialog dialog(w.get(), preview, false);
        dialog.show();
        picture(&dialog, QStringLiteral("restore_preview"));
        return chosen;
    };
    controller->clearHistory();
    QTest::mouseClick(backups->btnBarRestore, Qt::LeftButton);
    QCOMPARE(seen.path, offered);
    QCOMPARE(seen.differing & (RestoreConfig | RestoreSchedule), unsigned(RestoreConfig | RestoreSchedule));
    QCOMPARE(seen.backupLines, int(goodSchedule.size()));
    QCOMPARE(seen.controllerLines, 1);
    QVERIFY(backups->CheckPending());
    QVERIFY(w->barRestore->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(!backups->CheckPending(), 10000);

    // Exactly the records of the chosen sections went out, each once; the controller has
    // one line, and only that one was written.
    for (const QString &code : written)
        QCOMPARE(controller->commandCount(code), 1);
    for (const QString &code : unsent)
        QCOMPARE(controller->commandCount(code), 0);
    if (chosen & RestoreSchedule)
        QCOMPARE(QByteArray((const char *)&controller->schedule()[0], sizeof(ScheduleLine)),
                 QByteArray((const char *)&goodSchedule[0], sizeof(ScheduleLine)));
    if (chosen & RestoreConfig) {
        QVERIFY(log(*w).contains(QStringLiteral("did not take 1 of the")));
        QVERIFY(log(*w).contains(QStringLiteral("[Config] FanHigh: wanted 201, got 200")));
    } else {
        QVERIFY(log(*w).contains(QStringLiteral("Restored and checked: the controller holds all")));
    }
    // The copy restored from is still there, with the state from before the loss beside it.
    QVERIFY(QFile::exists(offered));
    const QList<BackupCopy> copies = backups->history().copies(w->PortName);
    QCOMPARE(copies.size(), 2);
    QCOMPARE(copies.constFirst().reason, BackupReason::BeforeRestore);

    // Dismissed, an offer stays away for that controller.
    backups->downloadCompleted();
    if (!w->barRestore->isHidden()) {
        QTest::mouseClick(backups->btnBarDismiss, Qt::LeftButton);
        backups->downloadCompleted();
        QVERIFY(w->barRestore->isHidden());
    }
}

void TstBackupRestore::fullDiskKeepsOlderCopiesAndSaysSoOnce()
{
    auto w = connectedWindow(port->slavePath());
    QVERIFY(w);
    BackupCommands *backups = w->backups;
    QVERIFY(backups->storeCopy(BackupReason::ByHand));
    const QList<BackupCopy> before = backups->history().copies(w->PortName);
    QCOMPARE(before.size(), 1);
    const QByteArray good = [&] {
        QFile f(before[0].path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    backups->history().setFaultInjector([](StoreStep step) { return step == StoreStep::Write ? ENOSPC : 0; });
    w->model().editConfig([](ConfigRecord &c) { c.FanLow = uint8_t(c.FanLow + 1); });
    w->action(QStringLiteral("mnuBackupNow"))->trigger();
    w->WriteBackupFile(w->PortName, BackupReason::Disconnect);
    w->action(QStringLiteral("mnuBackupNow"))->trigger();
    QCOMPARE(log(*w).count(QStringLiteral("the disk is full")), 1);
    const QList<BackupCopy> after = backups->history().copies(w->PortName);
    QCOMPARE(after.size(), 1);
    QFile f(after[0].path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), good);

    // Compared with the controller, that copy shows the one value changed since.
    backups->history().setFaultInjector({});
    w->iniCommands->ChooseFile = [&](const IniCommands::FileDialogRequest &) { return before[0].path; };
    RestorePreview shown;
    backups->ShowComparison = [&](const RestorePreview &preview) { shown = preview; };
    w->action(QStringLiteral("mnuCompareBackup"))->trigger();
    QCOMPARE(shown.comparison.count(), 1);
    QCOMPARE(shown.comparison.differences[0].key, QStringLiteral("FanLow"));
}

void TstBackupRestore::unreadableCopiesAreNeverRestored()
{
    auto w = connectedWindow(port->slavePath());
    QVERIFY(w);
    BackupCommands *backups = w->backups;
    QVERIFY(backups->storeCopy(BackupReason::ByHand));
    const QString folder = backups->history().controllerFolder(w->PortName);
    const QString damaged = folder + QStringLiteral("/2020-01-01_00-00-00.ini");
    QFile f(damaged);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x00\x01\x02 not a settings file", 24));
    f.close();

    QList<BackupCopy> listed;
    backups->ChooseCopy = [&](const QList<BackupCopy> &copies) {
        listed = copies;
        CopyListDialog dialog(w.get(), copies);
        dialog.show();
        picture(&dialog, QStringLiteral("restore_list"));
        // The damaged copy is greyed and cannot be chosen; the good one can.
        for (int i = 0; i < dialog.list->topLevelItemCount(); ++i)
            if (bool(dialog.list->topLevelItem(i)->flags() & Qt::ItemIsEnabled) != copies[i].restorable())
                return QStringLiteral("wrongly offered");
        dialog.list->setCurrentItem(dialog.list->topLevelItem(0));
        if (dialog.chosenPath() != copies[0].path || !dialog.btnChoose->isEnabled())
            return QStringLiteral("not offered");
        return damaged;
    };
    bool asked = false;
    backups->ChooseSections = [&](const RestorePreview &) { asked = true; return std::optional<unsigned>(RestoreEverything); };
    controller->clearHistory();
    w->action(QStringLiteral("mnuRestoreBackup"))->trigger();
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed[1].condition, CopyCondition::Damaged);
    QCOMPARE(listed[0].differences, 0);
    QVERIFY(!asked);
    QVERIFY(log(*w).contains(damaged + QStringLiteral(" cannot be restored: Damaged")));
    QCOMPARE(controller->commandCount(QStringLiteral("02")), 0);
    QVERIFY(QFile::exists(damaged));
}

QTEST_MAIN(TstBackupRestore)
#include "tst_backup_restore.moc"
