// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QDateTimeEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include "app/application.h"
#include "app/build_info.h"
#include "app/frm_lumora.h"
#include "app/load_language.h"
#include "presentation/localization.h"
#include "widgets/widgets.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "window_fixture.h"

static bool IsMenuItemShownInHelp(TfrmLumora *w, QAction *item)
{
    return w->action("mnuHelp")->menu()->actions().contains(item);
}

class TstFrmLumora : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void startsOnMessagesNotConnected();
    void startupLogOrder();
    void pagesInTabOrder();
    void expertSwitchShowsExpertAndBalanceOnly();
    void germanSwitch();
    void menuShortcuts_data();
    void menuShortcuts();
    void hiddenItemsFireOnShortcut();
    void rc433ItemNeverFires();
    void connectedEnablesByMode();
    void disconnectingSelectsMessages();
    void chartPageRequestsChart();
    void readsRefreshTheShownPageOnly();
    void mouseWheelOnVisualization();
    void languageKeysResolve();
    void statusBarPanels();
    void pictures();
    void escapedExceptionIsLogged();
    void exclusiveChoicesShowRadioMarks();
    void germanDatesAndOwnTexts();
    void aboutBox_data();
    void aboutBox();

private:
    std::unique_ptr<TfrmLumora> w;
};

void TstFrmLumora::cleanup() { w.reset(); }

void TstFrmLumora::startsOnMessagesNotConnected()
{
    w = makeWindow({"-english"});
    QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
    QVERIFY(!w->IsConnected());
    QVERIFY(!w->LinkRunning());
    for (const char *name : {"mnuModeManual", "mnuRefresh", "mnuSaveEEPROM", "mnuAllOn", "mnuScheduleImport",
                             "mnuHealth", "mnuSetTimeDate"})
        QVERIFY2(!w->action(QString::fromLatin1(name))->isEnabled(), name);
    QVERIFY(!w->page("tsSchedule")->isEnabled());
    QVERIFY(!w->page("tsVisualize")->isEnabled());
    QCOMPARE(w->windowTitle(), QStringLiteral("Lumora \u2022 Aqualumora 1.x.5"));
}

void TstFrmLumora::startupLogOrder()
{
    w = makeWindow({"-english"});
    const QStringList lines = w->mem->toPlainText().split(u'\n');
    const int wiring = lines.indexOf(QRegularExpression("^IMPORTANT: BEFORE POWERON.*"));
    QCOMPARE(wiring, 0);
    int parameter = -1, started = -1, file = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].endsWith(QStringLiteral("] Parameter: -english")))
            parameter = i;
        else if (lines[i].endsWith(QStringLiteral("] Aqualumora 1.x.5 started")))
            started = i;
        else if (lines[i].contains(QCoreApplication::applicationFilePath()) && lines[i].endsWith(QStringLiteral(" bytes")))
            file = i;
    }
    QVERIFY(parameter > wiring);
    QVERIFY(started > parameter);
    QVERIFY(file > started);
}

void TstFrmLumora::pagesInTabOrder()
{
    w = makeWindow({"-english"});
    const QStringList expected = {"tsChannels", "tsChannelsGL", "tsSchedule", "tsVisualize", "tsGeo",
                                  "tsConfig", "tsTemp", "tsWeather", "tsWeatherDelay", "tsMoon",
                                  "tsExpert", "tsBalance", "tsJMP", "tsRC433", "tsMessages"};
    const QStringList captions = {"Channels A-F", "Channels G-L", "Schedule", "Visualization", "Geo",
                                  "Configuration", "Chart", "Weather", "Delays", "Moon", "Expert options",
                                  "White balance", "JMP pin", "433 MHz", "Messages"};
    QCOMPARE(w->pc->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(w->pc->widget(i)->objectName(), expected[i]);
        QCOMPARE(w->pc->tabText(i).remove(u'&'), captions[i]);
        const bool hidden = i >= 10 && i <= 13;
        QCOMPARE(w->pc->isTabVisible(i), !hidden);
    }
    QVERIFY(!w->page("tsRC433")->isEnabled());
}

void TstFrmLumora::expertSwitchShowsExpertAndBalanceOnly()
{
    w = makeWindow({"/expert", "-english"});
    QVERIFY(w->pc->isTabVisible(w->pc->indexOf(w->page("tsExpert"))));
    QVERIFY(w->pc->isTabVisible(w->pc->indexOf(w->page("tsBalance"))));
    QVERIFY(!w->pc->isTabVisible(w->pc->indexOf(w->page("tsJMP"))));
    QVERIFY(!w->pc->isTabVisible(w->pc->indexOf(w->page("tsRC433"))));
    w = makeWindow({"-rc433", "-english"});
    QVERIFY(w->pc->isTabVisible(w->pc->indexOf(w->page("tsRC433"))));
    QVERIFY(!w->pc->isTabVisible(w->pc->indexOf(w->page("tsExpert"))));
}

void TstFrmLumora::germanSwitch()
{
    w = makeWindow({"-GERMAN"});
    QCOMPARE(w->pc->tabText(w->pc->indexOf(w->page("tsMessages"))).remove(u'&'), QStringLiteral("Meldungen"));
    QVERIFY(w->mem->toPlainText().contains(QStringLiteral("Aqualumora 1.x.5 gestartet")));
    w = makeWindow({"-german", "-english"});
    QVERIFY(w->mem->toPlainText().contains(QStringLiteral("Aqualumora 1.x.5 started")));
}

void TstFrmLumora::menuShortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QKeySequence>("key");
    QTest::newRow("discover") << "mnuDiscover" << QKeySequence("Ctrl+I");
    QTest::newRow("remove") << "mnuRemove" << QKeySequence("Ctrl+U");
    QTest::newRow("disconnect") << "mnuDisconnect" << QKeySequence("Ctrl+D");
    QTest::newRow("schedule import") << "mnuScheduleImport" << QKeySequence("Ctrl+T");
    QTest::newRow("config import") << "mnuConfigImport" << QKeySequence("Ctrl+K");
    QTest::newRow("export") << "mnuScheduleConfigExport" << QKeySequence("Ctrl+E");
    QTest::newRow("firmware") << "mnuFirmwareUpdate" << QKeySequence("Ctrl+F");
    QTest::newRow("exit") << "mnuExit" << QKeySequence("Alt+F4");
    QTest::newRow("manual") << "mnuModeManual" << QKeySequence("Ctrl+F1");
    QTest::newRow("flash") << "mnuModeFlash" << QKeySequence("Ctrl+F5");
    QTest::newRow("all off") << "mnuAllOff" << QKeySequence("Ctrl+0");
    QTest::newRow("all 20") << "mnuAll20" << QKeySequence("Ctrl+2");
    QTest::newRow("all on") << "mnuAllOn" << QKeySequence("Ctrl+1");
    QTest::newRow("time") << "mnuSetTimeDate" << QKeySequence("Ctrl+C");
    QTest::newRow("step") << "mnuStepBig" << QKeySequence("F4");
    QTest::newRow("expert") << "mnuShowExpert" << QKeySequence("F6");
    QTest::newRow("rc433") << "mnuShowRC433" << QKeySequence("F8");
    QTest::newRow("refresh") << "mnuRefresh" << QKeySequence("F5");
    QTest::newRow("save") << "mnuSaveEEPROM" << QKeySequence("Ctrl+S");
    QTest::newRow("ir") << "mnuIRLearn" << QKeySequence("Ctrl+R");
    QTest::newRow("health") << "mnuHealth" << QKeySequence("Ctrl+Shift+Alt+X");
    QTest::newRow("debug") << "mnuDebug" << QKeySequence("Ctrl+Alt+D");
    QTest::newRow("faq") << "mnuFAQ" << QKeySequence("F1");
}

void TstFrmLumora::menuShortcuts()
{
    QFETCH(QString, name);
    QFETCH(QKeySequence, key);
    if (!w)
        w = makeWindow({"-english"});
    QAction *item = w->action(name);
    QVERIFY2(item, qPrintable(name));
    QCOMPARE(item->shortcut(), key);
}

void TstFrmLumora::hiddenItemsFireOnShortcut()
{
    w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QAction *health = w->action("mnuHealth");
    QVERIFY(!TfrmLumora::IsMenuItemShown(health));
    // Disabled while not connected: the shortcut does nothing.
    QTest::keyClick(w.get(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    QVERIFY(!w->pc->isTabVisible(w->pc->indexOf(w->page("tsExpert"))));
    health->setEnabled(true);
    QTest::keyClick(w.get(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    QVERIFY(w->pc->isTabVisible(w->pc->indexOf(w->page("tsExpert"))));
    QVERIFY(w->pc->isTabVisible(w->pc->indexOf(w->page("tsBalance"))));

    QAction *debug = w->action("mnuDebug");
    QVERIFY(!TfrmLumora::IsMenuItemShown(debug));
    QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(w->DebugMessages);
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("Debug messages active")));
    QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(!w->DebugMessages);
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("Debug messages inactive")));
}

void TstFrmLumora::rc433ItemNeverFires()
{
    w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->SetConnected(true);
    QAction *rc433 = w->action("mnuShowRC433");
    QVERIFY(!TfrmLumora::IsMenuItemShown(rc433));
    QVERIFY(!TfrmLumora::IsMenuItemShown(w->action("mnuLoadReef")));
    QVERIFY(TfrmLumora::IsMenuItemShown(w->action("mnuRefresh")));
    QVERIFY(!rc433->isEnabled());
    QSignalSpy fired(rc433, &QAction::triggered);
    QTest::keyClick(w.get(), Qt::Key_F8);
    QCOMPARE(fired.count(), 0);
    QVERIFY(!w->pc->isTabVisible(w->pc->indexOf(w->page("tsRC433"))));
}

void TstFrmLumora::connectedEnablesByMode()
{
    w = makeWindow({"-english"});
    w->model().imageForLoading().Config.Mode = ModeAuto;
    w->SetConnected(true);
    QVERIFY(w->action("mnuModeManual")->isEnabled());
    QVERIFY(w->page("tsSchedule")->isEnabled());
    w->SetConnected(false);
    QVERIFY(!w->action("mnuModeManual")->isEnabled());
}

void TstFrmLumora::disconnectingSelectsMessages()
{
    w = makeWindow({"-english"});
    w->SetConnected(true);
    w->SelectPage(w->page("tsConfig"));
    w->SetConnected(false);
    QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
    QVERIFY(w->sbPanel[1]->text().isEmpty());
    QVERIFY(w->lblBoard->text().isEmpty());
    // Already disconnected: a second call leaves the chosen page alone.
    w->SelectPage(w->page("tsConfig"));
    w->SetConnected(false);
    QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsConfig"));
}

void TstFrmLumora::chartPageRequestsChart()
{
    w = makeWindow({"-english"});
    DeviceModel &model = w->model();
    model.replaceRequests(0);
    w->SelectPage(w->page("tsTemp"));
    QVERIFY(model.isRequestPending(GetChart));
    model.replaceRequests(0);
    w->SelectPage(w->page("tsMessages"));
    QVERIFY(!model.isRequestPending(GetChart));
    w->SelectPage(w->page("tsTemp"));
    QVERIFY(model.isRequestPending(GetChart));
}

void TstFrmLumora::mouseWheelOnVisualization()
{
    w = makeWindow({"-english"});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto wheel = [&](int delta) {
        QWidget *target = w->pc->currentWidget();
        const QPointF pos(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    w->SelectPage(w->page("tsConfig"));
    wheel(-120);
    QCOMPARE(w->Edit.visualChannel, 0);
    w->SelectPage(w->page("tsVisualize"));
    wheel(120);
    QCOMPARE(w->Edit.visualChannel, 0);
    for (int i = 0; i < 15; ++i)
        wheel(-120);
    QCOMPARE(w->Edit.visualChannel, 11);
    wheel(120);
    QCOMPARE(w->Edit.visualChannel, 10);
    w->Edit.dragLine = 3;
    wheel(120);
    QCOMPARE(w->Edit.visualChannel, 10);
}

void TstFrmLumora::languageKeysResolve()
{
    // Every caption and hint of both tables reaches a control of a fitting kind; the two
    // buttons of an older window layout are the only ones without a control.
    for (const char *language : {"-english", "-german"}) {
        w = makeWindow({language});
        QCOMPARE(UnresolvedLanguageKeys(w.get()),
                 (QStringList{QStringLiteral("btnUpload.Caption"), QStringLiteral("btnDownload.Caption")}));
    }
}

void TstFrmLumora::statusBarPanels()
{
    w = makeWindow({"-english"});
    w->resize(1009, 700);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(w->sbPanel[1]->width() >= 160);
    QVERIFY(w->sbPanel[2]->width() >= 100);
    QVERIFY(w->sbPanel[0]->x() < w->sbPanel[1]->x());
    w->SetStatusText(QStringLiteral("Connecting to COM5..."));
    QCOMPARE(w->sbPanel[0]->text(), QStringLiteral("Connecting to COM5..."));
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Connecting to COM5...")));
}

void TstFrmLumora::pictures()
{
    w = makeWindow({"-english"});
    savePicture(w.get(), QSize(1009, 655), QStringLiteral("window_messages"));
    savePicture(w.get(), w->minimumSizeHint(), QStringLiteral("window_minimum"));
    // The pages' least width; their tabs stand beside them.
    QVERIFY(w->minimumSizeHint().width() - w->pc->tabBar()->sizeHint().width() <= 800);
}

void TstFrmLumora::escapedExceptionIsLogged()
{
    w = makeWindow({"-english"});
    TApplication::setExceptionSink([this](const QString &text) { w->AddLog(text); });
    bool after = false;
    QTimer::singleShot(0, w.get(), [] { throw std::runtime_error("Range check error"); });
    QTimer::singleShot(5, w.get(), [&after] { after = true; });
    QTRY_VERIFY(after);
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Range check error")));
    TApplication::setExceptionSink({});
}

void TstFrmLumora::germanDatesAndOwnTexts()
{
    const QLocale before;
    w = makeWindow({"-german"});
    QCOMPARE(QLocale().language(), QLocale::German);
    // The log's prefix, from the first line on: "[08.12.26 09:15:35] ".
    const QStringList lines = w->mem->toPlainText().split(u'\n');
    const QString parameter = lines.filter(QStringLiteral("] Parameter: -german")).value(0);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\[\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\] "))
                 .match(parameter)
                 .hasMatch(),
             qPrintable(parameter));
    // Date fields made before the language was known follow it as well.
    for (QDateTimeEdit *edit : w->findChildren<QDateTimeEdit *>())
        QCOMPARE(edit->locale().language(), QLocale::German);
    QCOMPARE(SimulatedPortEntry(QStringLiteral("/dev/pts/4")), QStringLiteral("/dev/pts/4 (Simuliertes Steuergerät)"));
    QVERIFY(!IsRememberablePort(QStringLiteral("/dev/pts/4 (Simuliertes Steuergerät)")));
    // The next window decides afresh; the formats of before come back.
    w.reset();
    QCOMPARE(QLocale(), before);
    w = makeWindow({"-english"});
    QCOMPARE(SimulatedPortEntry(QStringLiteral("/dev/pts/4")), QStringLiteral("/dev/pts/4 (Simulated controller)"));
}

void TstFrmLumora::exclusiveChoicesShowRadioMarks()
{
    // A menu draws radio marks for the items of an exclusive group.
    w = makeWindow({"-english"});
    for (const char *name : {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash",
                             "mnuCHMTempWater", "mnuCHMVoltage", "mnuCHMTempSlave"}) {
        QAction *item = w->action(QString::fromLatin1(name));
        QVERIFY2(item && item->actionGroup() && item->actionGroup()->isExclusive(), name);
    }
    QVERIFY(!w->action("mnuStepBig")->actionGroup());   // a plain on/off item keeps its check mark
}

void TstFrmLumora::aboutBox_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("mapWords");
    QTest::newRow("english") << "-english" << "About Aqualumora 1.x.5" << "public domain";
    QTest::newRow("german") << "-german" << "Über Aqualumora 1.x.5" << "gemeinfrei";
}

void TstFrmLumora::aboutBox()
{
    QFETCH(QString, language);
    w = makeWindow({language});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QAction *about = w->action("mnuAbout");
    QVERIFY(about && IsMenuItemShownInHelp(w.get(), about));
    about->trigger();
    auto *box = w->findChild<QMessageBox *>("aboutBox");
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QTEST(box->windowTitle(), "caption");
    const QString text = box->text();
    QVERIFY(text.contains(QStringLiteral(AQ_VERSION)));
    QVERIFY(text.contains(QString::fromLatin1(qVersion())));
    QVERIFY(text.contains(QStringLiteral("Natural Earth")));
    QVERIFY(text.contains(QStringLiteral("ISC")));
    QFETCH(QString, mapWords);
    QVERIFY(text.contains(mapWords));
    QVERIFY(box->detailedText().contains(QStringLiteral("Copyright 2013-2019 Michael Bostock")));
    QVERIFY(box->detailedText().contains(QStringLiteral("Permission to use, copy, modify")));
    QCoreApplication::processEvents();
    if (!qEnvironmentVariable("AQ_PICTURE_DIR").isEmpty())
        box->grab().save(qEnvironmentVariable("AQ_PICTURE_DIR") + QStringLiteral("/about") + language + QStringLiteral(".png"));
    box->close();
}

void TstFrmLumora::readsRefreshTheShownPageOnly()
{
    w = makeWindow({"-english"});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    TestLinkHost host(w.get());
    w->SetConnected(true);
    w->SelectPage(w->page("tsChannels"));
    auto *lat = w->findChild<LabeledEdit *>("edtLat");
    auto *slider = w->findChild<QSlider *>("trb0");
    const QString latBefore = lat->text();
    DeviceImage &image = w->model().imageForLoading();
    image.Config.Lat = 123;
    image.Info.Level[0] = 2048;
    w->model().replaceRequests(0);
    host.read(GetConfig);
    host.read(GetInfo);
    // The page in view follows at once; the others when they are shown.
    QCOMPARE(slider->value(), 2048);
    QCOMPARE(lat->text(), latBefore);
    w->SelectPage(w->page("tsGeo"));
    QCOMPARE(lat->text(), QStringLiteral("12.3"));
    // A read while the page is in view reaches it at once; nothing is sent back.
    image.Config.Lat = -456;
    host.read(GetConfig);
    QCOMPARE(lat->text(), QStringLiteral("-45.6"));
    QCOMPARE(w->model().pendingRequests(), 0u);
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TstFrmLumora test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frm_lumora.moc"
