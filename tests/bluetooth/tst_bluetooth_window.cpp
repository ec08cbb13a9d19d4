// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QSettings>
#include <QTest>

#include <atomic>
#include <stdexcept>

#include "app/bluetooth_setup.h"
#include "bluetooth/fake_bluetooth_api.h"
#include "link/ports.h"
#include "sim_fixture.h"

namespace {

const QString Scanning = QStringLiteral("Scanning for devices...");
const QString ScanFinished = QStringLiteral("Scan finished. If the device could not be found");
const QString RemovalFinished = QStringLiteral("Scan finished. If the device could not be uninstalled");

// Holds the run in its first wait until released (or until the run is told to stop).
struct Gate
{
    std::atomic<bool> open{false};
    DiscoverSleeper sleeper()
    {
        return [this](int) {
            while (!open && !QThread::currentThread()->isInterruptionRequested())
                QThread::msleep(1);
        };
    }
};

std::shared_ptr<FakeBluetoothApi> useFake(TfrmLumora *w, const QList<FakeBluetoothApi::Device> &devices = {})
{
    auto api = std::make_shared<FakeBluetoothApi>();
    api->devices = devices;
    w->bluetooth->ApiFactory = [api] { return api; };
    w->bluetooth->Sleeper = [](int) {};
    return api;
}

FakeBluetoothApi::Device namelessDevice()
{
    auto d = FakeBluetoothApi::device(QStringLiteral("00:11:22:AA:BB:CC"), QStringLiteral("Aqualumora"));
    d.nameFromQuery = 0;
    return d;
}

QString currentPage(TfrmLumora *w) { return w->pc->currentWidget()->objectName(); }

bool bothEnabled(TfrmLumora *w, bool enabled)
{
    return w->action("mnuDiscover")->isEnabled() == enabled && w->action("mnuRemove")->isEnabled() == enabled;
}

} // namespace

class TstBluetoothWindow : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        ForgetPort();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void oneRunAtATime();
    void failedStartIsLogged();
    void removalForgetsThePort();
    void removalWhileConnectedEndsTheLinkFirst();
    void pairingBringsTheWindowUp();
    void closingDuringARunNeitherHangsNorCrashes();
};

void TstBluetoothWindow::oneRunAtATime()
{
    auto w = makeWindow({"-english"});
    auto api = useFake(w.get(), {namelessDevice()});
    Gate gate;
    w->bluetooth->Sleeper = gate.sleeper();
    w->show();

    w->action("mnuDiscover")->trigger();
    QCOMPARE(currentPage(w.get()), QStringLiteral("tsMessages"));
    TthdDiscover *run = w->bluetooth->Run();
    QVERIFY(run && run->InstallRun);
    QTRY_VERIFY(w->mem->toPlainText().contains(QStringLiteral("No name was transmitted. Trying again...")));
    w->mnuConnectionClick();
    QVERIFY(bothEnabled(w.get(), false));

    // The entries are disabled now; should a click reach a handler anyway, it only
    // shows the log.
    for (const bool install : {true, false}) {
        w->SelectPage(w->page("tsChannels"));
        if (install)
            w->mnuDiscoverClick();
        else
            w->mnuRemoveClick();
        QCOMPARE(currentPage(w.get()), QStringLiteral("tsMessages"));
        QCOMPARE(w->bluetooth->Run(), run);
    }
    QCOMPARE(api->traceMatching("FindFirst").size(), 1);

    gate.open = true;
    QTRY_VERIFY(run->Finished());
    QTRY_VERIFY(bothEnabled(w.get(), true));
    w->mnuConnectionClick();
    QVERIFY(bothEnabled(w.get(), true));
    const QString log = w->mem->toPlainText();
    QVERIFY(log.indexOf(Scanning) < log.indexOf(ScanFinished));
    // The two-line closing text arrives as two time-stamped lines.
    QVERIFY(log.contains(QStringLiteral("] the control panel for manual detection. The pairing code is always 7391")));
    savePicture(w.get(), QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight), QStringLiteral("bluetooth_log"));

    // Once finished, the next click starts a new run.
    w->action("mnuDiscover")->trigger();
    QVERIFY(w->bluetooth->Run());
    QTRY_VERIFY(w->bluetooth->Run()->Finished());
    QCOMPARE(api->traceMatching("FindFirst").size(), 2);
}

void TstBluetoothWindow::failedStartIsLogged()
{
    auto w = makeWindow({"-english"});
    w->bluetooth->ApiFactory = []() -> std::shared_ptr<BluetoothApi> {
        throw std::runtime_error("No Bluetooth stack available");
    };
    w->action("mnuDiscover")->trigger();
    QVERIFY(w->mem->toPlainText().contains(QStringLiteral("No Bluetooth stack available")));
    QVERIFY(!w->bluetooth->Running());
    QVERIFY(bothEnabled(w.get(), true));
}

void TstBluetoothWindow::removalForgetsThePort()
{
    SavePort(QStringLiteral("rfcomm0 (Bluetooth serial port)"), [](const QString &) {});
    auto w = makeWindow({"-english"});
    auto api = useFake(w.get());
    w->PortName = QStringLiteral("rfcomm0 (Bluetooth serial port)");
    w->action("mnuRemove")->trigger();
    QVERIFY(w->PortName.isEmpty());
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QVERIFY(!settings.contains("Port"));
    QVERIFY(!w->bluetooth->Run()->InstallRun);
    QTRY_VERIFY(w->bluetooth->Run()->Finished());
    const QString log = w->mem->toPlainText();
    QVERIFY(log.indexOf(QStringLiteral("Listing installed devices...")) < log.indexOf(RemovalFinished));
}

void TstBluetoothWindow::removalWhileConnectedEndsTheLinkFirst()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    QStringList backups;
    w->BackupFileWriter = [&backups](const QString &port) { backups << port; };
    auto api = useFake(w.get(), {FakeBluetoothApi::device(QStringLiteral("00:11:22:AA:BB:CC"),
                                                           QStringLiteral("Aqualumora"), true)});
    std::atomic<bool> linkToldToStop{false};
    std::atomic<int> backupsAtStart{-1};
    TthdCom *link = w->Link();
    api->onSearchStart = [&] {
        // A thread that has ended no longer reports the stop request.
        linkToldToStop = link->Terminated() || link->Finished();
        backupsAtStart = int(backups.size());
    };
    w->action("mnuRemove")->trigger();
    QTRY_VERIFY(w->bluetooth->Run()->Finished());
    QVERIFY(linkToldToStop);
    QCOMPARE(backupsAtStart.load(), 1);
    QCOMPARE(backups, QStringList{w->Simulator()->portPath()});
    QTRY_VERIFY(!w->LinkRunning());
    QTRY_VERIFY(!w->IsConnected());
    QVERIFY(w->PortName.isEmpty());
    QCOMPARE(api->removedAddresses(), QStringList{QStringLiteral("00:11:22:AA:BB:CC")});
    QVERIFY(w->mem->toPlainText().contains(QStringLiteral("Uninstall successfull.")));
}

void TstBluetoothWindow::pairingBringsTheWindowUp()
{
    auto w = makeWindow({"-english"});
    useFake(w.get(), {FakeBluetoothApi::device(QStringLiteral("00:11:22:AA:BB:CC"), QStringLiteral("Aqualumora"))});
    w->show();
    w->showMinimized();
    QVERIFY(w->isMinimized());
    w->action("mnuDiscover")->trigger();
    QTRY_VERIFY(w->bluetooth->Run()->Finished());
    QTRY_VERIFY(!w->isMinimized());
    QVERIFY(w->mem->toPlainText().contains(
        QStringLiteral("Installation started. A new serial port should appear in a few seconds.")));
}

void TstBluetoothWindow::closingDuringARunNeitherHangsNorCrashes()
{
    auto w = makeWindow({"-english"});
    auto api = useFake(w.get(), {namelessDevice()});
    w->bluetooth->Sleeper = {};              // the real, interruptible wait
    w->bluetooth->Timings.retryWaitMs = 600000;
    w->show();
    w->action("mnuDiscover")->trigger();
    QTRY_VERIFY(w->mem->toPlainText().contains(QStringLiteral("No name was transmitted. Trying again...")));
    w->close();
    w.reset();
    QTest::qWait(50);
    QVERIFY(!api->trace().join(u'\n').contains(ScanFinished));
    QCOMPARE(api->traceMatching("GetDeviceInfo").size(), 1);
}

QTEST_MAIN(TstBluetoothWindow)
#include "tst_bluetooth_window.moc"
