// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QActionGroup>
#include <QMenu>
#include <QSlider>
#include <QSettings>
#include <QTest>

#include "link/ports.h"
#include "sim_fixture.h"

class TstWindowLink : public QObject {
    Q_OBJECT
private slots:
    void init() { ForgetPort(); }
    void simulatorConnectsAndDownloads();
    void connectionMenuListsSimulator();
    void disconnectForgetsPort();
    void debugSwitchDisconnects();
    void simulatorPortIsNeverRemembered();
    void portRememberedAfterTheHandOver_data();
    void portRememberedAfterTheHandOver();
    void doubleClickReconnects();
    void oneDoubleClickOneReconnect();
    void closingDuringExchangeDoesNotHang();
    void sliderDragReachesController();
    void modeItemReachesController();
    void saveShowsSavingNotice();
    void pictures();
};

void TstWindowLink::simulatorConnectsAndDownloads()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    const QString log = w->mem->toPlainText();
    const QString port = w->Simulator()->portPath();
    QVERIFY(log.contains(QStringLiteral("Connected to Aqualumora 1.x.5 on ") + port));
    const int schedule = log.indexOf(QStringLiteral("Downloading schedule..."));
    QVERIFY(schedule > 0);
    QVERIFY(log.indexOf(QStringLiteral("Done."), schedule) > schedule);
    // The built-in simulator's pseudo-terminal is never remembered.
    QVERIFY(!log.contains(QStringLiteral("Written to registry: ")));
    // The status bar shows the controller's clock, the caption its status line.
    QVERIFY(!w->sbPanel[1]->text().isEmpty());
    QVERIFY(w->windowTitle().startsWith(QStringLiteral("Lumora \u2022 Aqualumora 1.x.5 \u2022 ") + port));
    QVERIFY(w->action("mnuRefresh")->isEnabled());
    const DeviceImage &image = w->device();
    QCOMPARE(int(image.Info.LineCount), int(sim(w.get()).schedule().size()));
    QCOMPARE(int(image.Schedule.size()), int(image.Info.LineCount));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QVERIFY(!settings.contains("Port"));
}

void TstWindowLink::simulatorPortIsNeverRemembered()
{
    // A port remembered before, then a run with the simulator: the old port stays.
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
        settings.setValue("Port", QStringLiteral("rfcomm0 (Bluetooth serial)"));
    }
    {
        auto w = makeConnectedWindow();
        QVERIFY(w);
        w->close();
    }
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QCOMPARE(settings.value("Port").toString(), QStringLiteral("rfcomm0 (Bluetooth serial)"));

    // What an earlier version stored after such a run is not used: the next start opens no
    // terminal that happens to have that number now.
    settings.setValue("Port", QStringLiteral("/dev/pts/3 (Simulated controller)"));
    settings.sync();
    auto w = makeWindow({"-english"});
    QVERIFY(w->PortName.isEmpty());
    QVERIFY(!w->LinkRunning());
}

void TstWindowLink::portRememberedAfterTheHandOver_data()
{
    QTest::addColumn<QString>("portAfter");
    QTest::addColumn<QString>("remembered");
    QTest::newRow("same port") << "ttyUSB7 (USB serial)" << "ttyUSB7 (USB serial)";
    QTest::newRow("disconnected meanwhile") << "" << "";
    QTest::newRow("other port chosen meanwhile") << "ttyUSB8 (USB serial)" << "";
}

void TstWindowLink::portRememberedAfterTheHandOver()
{
    // The write waits for the event loop; what happened in between decides.
    QFETCH(QString, portAfter);
    QFETCH(QString, remembered);
    auto w = makeWindow({"-english"});
    w->PortName = QStringLiteral("ttyUSB7 (USB serial)");
    w->RememberPort();
    w->PortName = portAfter;
    QCoreApplication::processEvents();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QCOMPARE(settings.value("Port").toString(), remembered);
    QCOMPARE(w->mem->toPlainText().contains(QStringLiteral("Written to registry: ttyUSB7")), !remembered.isEmpty());
}

void TstWindowLink::connectionMenuListsSimulator()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->mnuConnectionClick();
    const QString entry = w->Simulator()->portPath() + QStringLiteral(" (Simulated controller)");
    QVERIFY(w->PortList.contains(entry));
    QMenu *submenu = w->action("mnuConnect")->menu();
    bool ticked = false;
    for (QAction *item : submenu->actions()) {
        if (item->text() == entry)
            ticked = item->isChecked();
        QVERIFY(item->actionGroup() && item->actionGroup()->isExclusive());   // radio marks
    }
    QVERIFY(ticked);
    // Opening the menu again lists the ports anew, in one group.
    w->mnuConnectionClick();
    QCOMPARE(submenu->findChildren<QActionGroup *>().size(), 1);
    QVERIFY(w->action("mnuDisconnect")->isEnabled());
    // Choosing the ticked entry again does nothing.
    const QString before = w->mem->toPlainText();
    w->ConnectToEntry(entry);
    QCOMPARE(w->mem->toPlainText(), before);
}

void TstWindowLink::disconnectForgetsPort()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->action("mnuDisconnect")->trigger();
    QTRY_VERIFY(!w->LinkRunning());
    QTRY_VERIFY(!w->IsConnected());
    QVERIFY(w->PortName.isEmpty());
    QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
    QTRY_VERIFY(w->mem->toPlainText().contains(QStringLiteral("Disconnected from ")));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QVERIFY(!settings.contains("Port"));
}

void TstWindowLink::debugSwitchDisconnects()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->action("mnuDebug")->trigger();
    QVERIFY(w->DebugMessages);
    QTRY_VERIFY(!w->LinkRunning());
    QTRY_VERIFY(!w->IsConnected());
    QTest::qWait(100);
    QVERIFY(!w->LinkRunning());   // it stays disconnected
}

void TstWindowLink::doubleClickReconnects()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->memDblClick();   // connected: nothing
    w->StopLink();
    QTRY_VERIFY(!w->LinkRunning());
    w->memDblClick();
    QVERIFY(w->LinkRunning());
    QTRY_VERIFY_WITH_TIMEOUT(w->IsConnected(), 10000);
}

void TstWindowLink::oneDoubleClickOneReconnect()
{
    auto w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    int runs = 0;
    w->LogDoubleClick = [&runs] { ++runs; };
    // A real double click, as the window system delivers it (the window's own filter also
    // sees every event of the application by now).
    QTest::mouseDClick(w->mem->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QCoreApplication::processEvents();
    QCOMPARE(runs, 1);
    // Anywhere else in the window it runs nothing.
    QTest::mouseDClick(w->sbPanel[0], Qt::LeftButton);
    QCOMPARE(runs, 1);

    // No port remembered and none to take: the reconnect lists the ports once.
    if (AvailablePortEntries().isEmpty()) {
        w->LogDoubleClick = [&w] { w->memDblClick(); };
        const auto listings = [&w] { return int(w->mem->toPlainText().count(QStringLiteral("Listing seral ports..."))); };
        const int before = listings();
        QTest::mouseDClick(w->mem->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(listings(), before + 1);
        QVERIFY(!w->LinkRunning());
    }
}

void TstWindowLink::closingDuringExchangeDoesNotHang()
{
    for (int round = 0; round < 3; ++round) {
        auto w = makeConnectedWindow();
        QVERIFY(w);
        // A silent controller keeps the link thread inside a read when the window closes.
        sim(w.get()).setFault(SimFault::Silence);
        w->model().request(GetExpert);
        QTest::qWait(20 * round);
        QElapsedTimer timer;
        timer.start();
        w->close();
        w.reset();
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }
}

void TstWindowLink::sliderDragReachesController()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->action("mnuModeManual")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(sim(w.get()).config().Mode == ModeManual, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(w->findChild<QSlider *>("trb0")->isEnabled(), 5000);
    auto *slider = w->findChild<QSlider *>("trb0");
    w->SelectPage(w->page("tsChannels"));
    slider->setFocus();
    const int before = sim(w.get()).commandCount("01");
    slider->setValue(2048);
    QTRY_VERIFY_WITH_TIMEOUT(sim(w.get()).commandCount("01") > before, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(int(sim(w.get()).info().Level[0]), 2048, 5000);
}

void TstWindowLink::modeItemReachesController()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    w->action("mnuModeGeo")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(int(sim(w.get()).config().Mode), int(ModeGeo), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(w->sbPanel[2]->text().startsWith(QStringLiteral("Geo")), 5000);
    w->action("mnuModeAuto")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w->sbPanel[2]->text().startsWith(QStringLiteral("Auto")), 5000);
}

void TstWindowLink::saveShowsSavingNotice()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    const int saves = sim(w.get()).saveCount();
    w->action("mnuSaveEEPROM")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(sim(w.get()).saveCount(), saves + 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w->sbPanel[2]->text(), QStringLiteral("Saving"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(w->sbPanel[2]->text() != QStringLiteral("Saving"), 5000);
}

void TstWindowLink::pictures()
{
    // Every page with the simulated controller's data, in both languages.
    for (const char *language : {"-english", "-german"}) {
        auto w = makeConnectedWindow({QString::fromLatin1(language), QStringLiteral("-expert")});
        QVERIFY(w);
        for (int i = 0; i < w->pc->count(); ++i) {
            if (!w->pc->isTabVisible(i))
                continue;
            QWidget *page = w->pc->widget(i);
            w->SelectPage(page);
            QTest::qWait(50);
            savePicture(w.get(), QSize(1009, 680),
                        QStringLiteral("connected%1_%2").arg(QString::fromLatin1(language), page->objectName()));
        }
        // The light curves on the sun's path.
        w->action("mnuModeGeo")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sim(w.get()).config().Mode == ModeGeo, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(w->sbPanel[2]->text().startsWith(QStringLiteral("Geo")), 5000);
        w->SelectPage(w->page("tsVisualize"));
        QTest::qWait(50);
        savePicture(w.get(), QSize(1009, 680), QStringLiteral("connected%1_tsVisualize_geo").arg(QString::fromLatin1(language)));
    }
}

QTEST_MAIN(TstWindowLink)
#include "tst_window_link.moc"
