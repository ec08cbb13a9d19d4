// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar beyond its three panels: the connection state in words, the first-start
// line on the Messages page and the short life of "Done.".
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyle>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTest>

#include "app/frm_lumora.h"
#include "presentation/download_progress.h"
#include "app/clock_check.h"
#include "app/taskbar_indicator.h"
#include "sim_fixture.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "window_fixture.h"

class TstStatusBar : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ForgetPort();   // a port remembered by an earlier case would start a link
    }
    void cleanup() { w.reset(); }

    void connectionInWords_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("notConnected");
        QTest::addColumn<QString>("connected");
        QTest::newRow("english") << "-english" << "Not connected" << "Connected to COM5";
        QTest::newRow("german") << "-german" << "Nicht verbunden" << "Verbunden mit COM5";
    }
    void connectionInWords()
    {
        QFETCH(QString, language);
        QFETCH(QString, notConnected);
        QFETCH(QString, connected);
        w = makeWindow({language});
        QCOMPARE(w->lblConnection->text(), notConnected);
        QCOMPARE(w->lblConnection->toolTip(), w->lblConnection->text());
        QCOMPARE(w->taskbar->toolTip(), w->lblConnection->text());
        w->PortName = QStringLiteral("COM5 (Simulated)");
        w->SetConnected(true);
        w->ShowConnection(ConnectionState::connected(QStringLiteral("COM5")));
        QCOMPARE(w->lblConnection->text(), connected);
        // The tool tip adds the whole port entry.
        QCOMPARE(w->lblConnection->toolTip(), connected + u'\n' + w->PortName);
        w->SetConnected(false);
        w->ShowConnection(ConnectionState::notConnected(QStringLiteral("COM5")));
        QCOMPARE(w->lblConnection->text(), notConnected);
    }

    void firstStartLeadsToConnectTo()
    {
        w = makeWindow({"-english"});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
        QVERIFY(w->btnConnectHint->isVisible());
        QVERIFY(w->btnConnectHint->text().contains(QStringLiteral("Connection \u2192 Connect to")));
        QMenu *connection = w->action(QStringLiteral("mnuConnection"))->menu();
        QTest::mouseClick(w->btnConnectHint, Qt::LeftButton);
        QTRY_VERIFY(connection->isVisible());
        QCOMPARE(connection->activeAction(), w->action(QStringLiteral("mnuConnect")));
        connection->close();
        w->menuBar()->setActiveAction(nullptr);
        // Once connected, the line has done its work.
        w->SetConnected(true);
        QVERIFY(!w->btnConnectHint->isVisible());
        w->SetConnected(false);
        QVERIFY(!w->btnConnectHint->isVisible());
    }

    void noHintWithAPort()
    {
        // A port on the command line: the link starts at once, no first-start line.
        w = makeWindow({"-english", "/dev/aq-no-such-port"});
        QVERIFY(w->btnConnectHint->isHidden());
        w->StopLink();
    }

    void doneGoesAwayOtherStatusStays()
    {
        w = makeWindow({"-english"});
        w->DoneStatusMs = 20;
        w->SetStatusText(QStringLiteral("Done."));
        QCOMPARE(w->sbPanel[0]->text(), QStringLiteral("Done."));
        QTRY_VERIFY(w->sbPanel[0]->text().isEmpty());
        // A later status replaces "Done." before its time is up and stays.
        w->SetStatusText(QStringLiteral("Done."));
        w->SetStatusText(QStringLiteral("Disconnected from COM5"));
        QTest::qWait(100);
        QCOMPARE(w->sbPanel[0]->text(), QStringLiteral("Disconnected from COM5"));
        QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Disconnected from COM5")));
    }

    // Records count once however often the poll reads them; lines count as read; the
    // download ends with the weather record, and nothing counts before it starts.
    void progressCounts()
    {
        DownloadProgress p;
        p.recordRead(DownloadProgress::Config);
        p.scheduleLineRead(1, 4);
        QVERIFY(!p.active());
        QCOMPARE(p.done(), 0);
        p.start();
        p.recordRead(DownloadProgress::Config);
        p.recordRead(DownloadProgress::Info);
        p.recordRead(DownloadProgress::Info);
        p.recordRead(DownloadProgress::Config);
        QCOMPARE(p.done(), 2);
        QCOMPARE(p.total(), 5);
        QCOMPARE(p.text(), QStringLiteral("Downloading from the controller: 2 of 5"));
        p.scheduleLineRead(1, 4);
        QCOMPARE(p.done(), 3);
        QCOMPARE(p.total(), 9);
        QCOMPARE(p.text(), QStringLiteral("Downloading schedule line 2 of 4"));
        p.scheduleLineRead(9, 4);   // never beyond the count
        QCOMPARE(p.done(), 6);
        QCOMPARE(p.text(), QStringLiteral("Downloading from the controller: 6 of 9"));
        p.recordRead(DownloadProgress::Chart);
        QCOMPARE(p.done(), 7);
        p.recordRead(DownloadProgress::ExpertWeather);
        QVERIFY(!p.active());
    }

    // The hand-overs of a full download, in their order, drive the bar in the status bar.
    void progressBarFollowsTheDownload()
    {
        w = makeWindow({"-english"});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TestLinkHost host(w.get());
        QVERIFY(!w->pbDownload->isVisible());
        w->PortName = QStringLiteral("COM5");
        host.setConnected(true);
        QVERIFY(w->pbDownload->isVisible());
        host.read(GetConfig);
        host.read(GetInfo);
        host.read(GetExpert);
        QCOMPARE(w->pbDownload->value(), 3);
        host.scheduleLineRead(1, 2);
        QCOMPARE(w->pbDownload->maximum(), 7);
        QCOMPARE(w->pbDownload->text(), QStringLiteral("Downloading schedule line 2 of 2"));
        QCOMPARE(w->taskbar->done(), 1);
        QCOMPARE(w->taskbar->total(), 2);
        host.scheduleLineRead(2, 2);
        host.scheduleRead(true);
        QCOMPARE(w->taskbar->done(), w->taskbar->total());
        host.read(GetChart);
        QCOMPARE(w->pbDownload->value(), 6);
        host.read(GetExpertWeather);
        QVERIFY(!w->pbDownload->isVisible());
        // A broken connection takes the bar away too.
        host.setConnected(true);
        QVERIFY(w->pbDownload->isVisible());
        host.setConnected(false);
        QVERIFY(!w->pbDownload->isVisible());
    }

    void progressGoneAfterRealDownload()
    {
        w = makeConnectedWindow();
        QVERIFY(w);
        QVERIFY(!w->pbDownload->isVisible());
        QCOMPARE(w->taskbar->done(), w->taskbar->total());
    }

    // Only stored settings count; the live levels and the clock do not.
    void unsavedCountsStoredRecords_data()
    {
        QTest::addColumn<uint>("bit");
        QTest::addColumn<bool>("unsaved");
        QTest::newRow("config") << uint(SetConfig) << true;
        QTest::newRow("schedule line") << uint(SetSchedule) << true;
        QTest::newRow("expert") << uint(SetExpert) << true;
        QTest::newRow("weather") << uint(SetExpertWeather) << true;
        QTest::newRow("levels") << uint(SetInfoLevels) << false;
        QTest::newRow("clock") << uint(SetInfoTime) << false;
        QTest::newRow("active line") << uint(SetInfoActiveLine) << false;
    }
    void unsavedCountsStoredRecords()
    {
        QFETCH(uint, bit);
        QFETCH(bool, unsaved);
        w = makeWindow({"-german"});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TestLinkHost host(w.get());
        host.recordSent(bit);
        QCOMPARE(w->UnsavedChanges(), unsaved);
        QCOMPARE(w->lblUnsaved->isVisible(), unsaved);
        QCOMPARE(w->lblUnsaved->text(), QStringLiteral("Nicht dauerhaft gespeichert"));
        host.settingsSaved();
        QVERIFY(!w->lblUnsaved->isVisible());
    }

    // With the simulated controller: a sent change shows, a save takes it away, and a
    // disconnect with a change left unsaved says so once in the log; a reconnect shows it again.
    void unsavedUntilSaved()
    {
        w = makeConnectedWindow();
        QVERIFY(w);
        QVERIFY(!w->UnsavedChanges());   // the download itself sends nothing
        w->action("mnuModeGeo")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->lblUnsaved->isVisible(), 5000);
        QCOMPARE(w->lblUnsaved->text(), QStringLiteral("Not saved permanently"));
        w->action("mnuSaveEEPROM")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->lblUnsaved->isVisible(), 5000);
        w->action("mnuModeAuto")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->UnsavedChanges(), 5000);
        const QString notice = QStringLiteral("The controller keeps them only until it is switched off.");
        QVERIFY(!w->mem->toPlainText().contains(notice));
        const QString port = w->PortName;
        w->action("mnuDisconnect")->trigger();
        QTRY_VERIFY(!w->LinkRunning());
        QTRY_VERIFY(!w->IsConnected());
        QCOMPARE(w->mem->toPlainText().count(notice), 1);
        QVERIFY(!w->lblUnsaved->isVisible());
        // The controller still holds them: connected again, the marker is back until a save.
        w->ConnectToEntry(port);
        QTRY_VERIFY_WITH_TIMEOUT(w->IsConnected() && w->lblUnsaved->isVisible(), 10000);
        w->action("mnuSaveEEPROM")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->lblUnsaved->isVisible(), 5000);
    }

    // Unsaved settings are the controller's: its marker, not another's, shows on a reconnect.
    void unsavedIsPerController()
    {
        w = makeWindow({"-english"});
        TestLinkHost host(w.get());
        const auto at = [&](const char *entry) {
            host.setConnected(false);
            w->PortName = QString::fromLatin1(entry);
            host.setConnected(true);
            return w->UnsavedChanges();
        };
        at("ttyUSB0 (FT232R USB UART)");
        host.recordSent(SetConfig);
        QVERIFY(!at("ttyUSB1 (FT232R USB UART)") && at("ttyUSB0 (USB serial)"));
        QVERIFY(!at("00:11:22:AA:BB:CC (Aqualumora, Bluetooth)"));
    }

    void closingWithUnsavedChangesSaysSo()
    {
        w = makeWindow({"-english"});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->RecordSent(SetSchedule);
        w->close();
        QCOMPARE(w->mem->toPlainText().count(QStringLiteral("Save settings permanently")), 1);
    }

    // The new parts of the window in both languages, light and dark (Fusion), for the eye.
    void pictures_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("dark");
        for (const char *language : {"english", "german"})
            for (bool dark : {false, true})
                QTest::addRow("%s_%s", language, dark ? "dark" : "light") << QString::fromLatin1(language) << dark;
    }
    void pictures()
    {
        QFETCH(QString, language);
        QFETCH(bool, dark);
        const QPalette oldPalette = QApplication::palette();
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        const QString tag = language + (dark ? QStringLiteral("_dark") : QStringLiteral("_light"));
        w = makeWindow({u'-' + language});
        for (int i = 0; i < 30; ++i)
            w->AddLog(QStringLiteral("A long line to show the wrapping of the log: ") + QString(i % 7 == 0 ? 160 : 20, u'x'));
        savePicture(w.get(), QSize(1009, 680), QStringLiteral("firststart_") + tag);
        // The log's context menu over the log.
        w->mem->selectAll();
        std::unique_ptr<QMenu> menu(w->mem->createLogMenu());
        menu->popup(w->mem->mapToGlobal(QPoint(200, 120)));
        QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
        save(menu->grab(), QStringLiteral("logmenu_") + tag);
        menu.reset();
        // Connected, downloading the schedule, with changes not yet saved.
        TestLinkHost host(w.get());
        w->PortName = QStringLiteral("rfcomm0 (Aqualumora)");
        host.setConnected(true);
        host.read(GetConfig);
        host.read(GetInfo);
        host.read(GetExpert);
        host.scheduleLineRead(5, 12);
        host.recordSent(SetConfig);
        QCoreApplication::processEvents();
        save(w->grab(), QStringLiteral("downloading_") + tag);
        save(w->sb->grab(), QStringLiteral("statusbar_") + tag);
        QMessageBox *about = w->ShowAbout();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        save(about->grab(), QStringLiteral("about_") + tag);
        about->close();
        host.setConnected(false);
        w.reset();
        QApplication::setPalette(oldPalette);
    }

private:
    static QPalette darkPalette()
    {
        QPalette p;
        p.setColor(QPalette::Window, QColor(53, 53, 53));
        p.setColor(QPalette::WindowText, Qt::white);
        p.setColor(QPalette::Base, QColor(35, 35, 35));
        p.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
        p.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
        p.setColor(QPalette::ToolTipText, Qt::white);
        p.setColor(QPalette::Text, Qt::white);
        p.setColor(QPalette::Button, QColor(53, 53, 53));
        p.setColor(QPalette::ButtonText, Qt::white);
        p.setColor(QPalette::BrightText, Qt::red);
        p.setColor(QPalette::Link, QColor(42, 130, 218));
        p.setColor(QPalette::Highlight, QColor(42, 130, 218));
        p.setColor(QPalette::HighlightedText, Qt::black);
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
        p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
        p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
        return p;
    }
    void clockOffsetInWords_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("on time") << "-english" << qint64(0) << "on time";
        QTest::newRow("seconds ahead") << "-english" << qint64(42) << "42 s ahead";
        QTest::newRow("minutes behind, rounded") << "-english" << qint64(-(3 * 60 + 31)) << "4 min behind";
        QTest::newRow("hours") << "-english" << qint64(5 * 3600 + 100) << "5 h ahead";
        QTest::newRow("days") << "-english" << qint64(-10 * 86400) << "10 days behind";
        QTest::newRow("german") << "-german" << qint64(-120) << "2 min nach";
        QTest::newRow("german days") << "-german" << qint64(4 * 86400) << "4 Tage vor";
    }
    void clockOffsetInWords()
    {
        QFETCH(QString, language);
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        w = makeWindow({language});
        QCOMPARE(ClockOffsetText(seconds), text);
    }

    void clockOffsetAfterDownload()
    {
        w = makeConnectedWindow({"-english"}, false);
        QVERIFY(w);
        auto *offset = w->findChild<QLabel *>(QStringLiteral("lblClockOffset"));
        QVERIFY(offset);
        // The simulated controller keeps this computer's time.
        QTRY_VERIFY(offset->isVisible());
        QVERIFY2(offset->text().contains(QRegularExpression(QStringLiteral("^Controller clock (on time|\\d s (ahead|behind))$"))),
                 qPrintable(offset->text()));
        const QString hint = QStringLiteral("Set the clock with \"Options / Set current time and date\".");
        QVERIFY(!w->mem->toPlainText().contains(hint));

        // Three minutes late, and downloaded anew: the bar and one log line say it; the clock stays.
        sim(w.get()).setDeviceTime(QDateTime::currentDateTime().addSecs(-180));
        w->StopLink();
        QTRY_VERIFY(!w->LinkRunning());
        QVERIFY(!offset->isVisible());
        w->StartLink(w->PortName);
        QTRY_VERIFY_WITH_TIMEOUT(w->IsConnected() && w->ImageComplete(), 10000);
        QTRY_COMPARE(offset->text(), QStringLiteral("Controller clock 3 min behind"));
        QTRY_VERIFY(w->mem->toPlainText().contains(hint));
        QTest::qWait(300);   // polls go on: the line is not repeated
        QCOMPARE(int(w->mem->toPlainText().count(hint)), 1);
        QVERIFY(sim(w.get()).deviceTime() < QDateTime::currentDateTime().addSecs(-170));
    }

    static void save(const QPixmap &picture, const QString &name)
    {
        QVERIFY(!picture.isNull());
        const QString dir = qEnvironmentVariable("AQ_PICTURE_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            picture.save(dir + u'/' + name + QStringLiteral(".png"));
        }
    }

    std::unique_ptr<TfrmLumora> w;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstStatusBar test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_status_bar.moc"
