// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "presentation/localization.h"
#include "widgets/widgets.h"
#include "fake_page_host.h"
#include "link/device_model.h"
#include "pages/channels_page.h"
#include "pages/modes.h"
#include "pages/weather_page.h"
#include "window_fixture.h"

// The channel pages, the mode commands and the weather triggers, built on a stand-in for
// the window. The renaming of a channel on other pages and the pictures need the window.
class TstChannelsPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typedPercent_data();
    void typedPercent();
    void unfocusedEditSendsNothing();
    void sliderToOwnPositionSendsNothing();
    void onOffButtons();
    void allChannelsSwitchPage();
    void autoModeDisablesButFollows();
    void colourNameRenamesEverywhere();
    void flashDropsPendingAutoKeeps();
    void sameModeSendsConfigAgain();
    void refreshDoesNotReadChart();
    void irDialogNoChangesNothing();
    void triggerButtonsFollowMode();
    void panelTwo();
    void pictures();

private:
    // Read as the user sees them, with their page in front.
    QSlider *slider(int i) { return shown(host->window()->findChild<QSlider *>(QStringLiteral("trb%1").arg(i))); }
    LabeledEdit *edit(int i) { return shown(host->window()->findChild<LabeledEdit *>(QStringLiteral("edt%1").arg(i))); }
    template <class T> T *shown(T *control)
    {
        for (QWidget *sheet : channels->sheets())
            if (sheet->isAncestorOf(control))
                host->selectPage(sheet);
        return control;
    }
    QWidget *sheet(const char *name) { return host->page(QString::fromLatin1(name)); }
    QAction *item(const char *name) { return host->action(QString::fromLatin1(name)); }
    // What the window does on a connection and on a read of Config.
    void setConnected(bool connected)
    {
        host->connected = connected;
        EnableState state;
        state.connected = connected;
        state.mode = image().Config.Mode;
        for (Page *part : parts)
            part->applyEnabling(state);
    }
    void connectIn(int mode)
    {
        image().Config.Mode = uint8_t(mode);
        setConnected(true);
        for (Page *part : parts)
            part->refresh(RefreshConfig | RefreshChannelNames);
        model().replaceRequests(0);
    }
    // The whole window, for the cases that look across its pages.
    void openWindow()
    {
        w = makeWindow({"-english"});
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void connectWindowIn(int mode)
    {
        w->model().imageForLoading().Config.Mode = uint8_t(mode);
        w->SetConnected(true);
        w->ShowConfig();
        w->model().replaceRequests(0);
    }
    // The stand-in's model: the image as loaded (no edit) and its requests.
    DeviceModel &model() { return host->model; }
    DeviceImage &image() { return host->loaded(); }
    std::unique_ptr<FakePageHost> host;
    ChannelsPage *channels = nullptr;
    ModeCommands *modes = nullptr;
    WeatherPage *weather = nullptr;
    QList<Page *> parts;
    std::unique_ptr<TfrmLumora> w;
};

void TstChannelsPage::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    LoadLanguageTable(LanguageEnglish);
    host = std::make_unique<FakePageHost>(QStringList{"tsMessages", "tsChannels", "tsChannelsGL", "tsSchedule",
                                                      "tsGeo", "tsConfig", "tsWeather"});
    // The parts belong to the host's window.
    channels = new ChannelsPage(*host, host->model);
    modes = new ModeCommands(*host, host->model);
    weather = new WeatherPage(*host, host->model);
    parts = {channels, modes, weather};
    channels->fillColourLists();
    setConnected(false);
    host->window()->show();
    host->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(host->window()));
}

void TstChannelsPage::cleanup()
{
    w.reset();
    parts.clear();
    host.reset();
}

void TstChannelsPage::typedPercent_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("sent");
    QTest::newRow("50") << "50" << 2048 << true;
    QTest::newRow("33.3") << "33.3" << 1364 << true;
    QTest::newRow("not a number") << "abc" << 0 << false;
    QTest::newRow("above 100") << "250" << 4096 << true;
    QTest::newRow("negative") << "-10" << 0 << true;
}

void TstChannelsPage::typedPercent()
{
    QFETCH(QString, typed);
    connectIn(ModeManual);
    host->selectPage(sheet("tsChannels"));
    LabeledEdit *e = edit(2);
    e->edit()->setFocus();
    e->edit()->clear();
    model().replaceRequests(0);
    QTest::keyClicks(e->edit(), typed);
    QTEST(int(image().Info.Level[2]), "level");
    QTEST(model().isRequestPending(SetInfoLevels), "sent");
    QCOMPARE(e->text(), typed);
    QTEST(slider(2)->value(), "level");
}

void TstChannelsPage::unfocusedEditSendsNothing()
{
    connectIn(ModeManual);
    edit(1)->setText(QStringLiteral("77"));
    QCOMPARE(int(image().Info.Level[1]), 0);
    QVERIFY(!model().isRequestPending(SetInfoLevels));
}

void TstChannelsPage::sliderToOwnPositionSendsNothing()
{
    connectIn(ModeManual);
    image().Info.Level[2] = 1000;
    channels->refresh(RefreshInfo);
    QCOMPARE(slider(2)->value(), 1000);
    slider(2)->setFocus();
    slider(2)->setValue(1000);
    QVERIFY(!model().isRequestPending(SetInfoLevels));
    slider(2)->setValue(1128);
    QVERIFY(model().isRequestPending(SetInfoLevels));
    QCOMPARE(int(image().Info.Level[2]), 1128);
    QCOMPARE(edit(2)->text(), QStringLiteral("27.54"));
}

void TstChannelsPage::onOffButtons()
{
    connectIn(ModeManual);
    host->selectPage(sheet("tsChannelsGL"));
    QTest::mouseClick(host->window()->findChild<QPushButton *>("btnOn7"), Qt::LeftButton);
    QCOMPARE(int(image().Info.Level[7]), 4096);
    QCOMPARE(edit(7)->text(), QStringLiteral("100"));
    QCOMPARE(slider(7)->value(), 4096);
    QVERIFY(model().isRequestPending(SetInfoLevels));
    QTest::mouseClick(host->window()->findChild<QPushButton *>("btnOff7"), Qt::LeftButton);
    QCOMPARE(int(image().Info.Level[7]), 0);
    QCOMPARE(edit(7)->text(), QStringLiteral("0"));
}

void TstChannelsPage::allChannelsSwitchPage()
{
    connectIn(ModeAuto);
    host->selectPage(sheet("tsSchedule"));
    item("mnuAll20")->trigger();
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsChannels"));
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(int(image().Info.Level[i]), 819);
        QCOMPARE(edit(i)->text(), QStringLiteral("20"));
    }
    QVERIFY(model().isRequestPending(SetInfoLevels));
    host->selectPage(sheet("tsChannelsGL"));
    item("mnuAllOn")->trigger();
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsChannelsGL"));
    QCOMPARE(int(image().Info.Level[11]), 4096);
    item("mnuAllOff")->trigger();
    QCOMPARE(edit(0)->text(), QStringLiteral("0"));
}

void TstChannelsPage::autoModeDisablesButFollows()
{
    connectIn(ModeAuto);
    QVERIFY(!slider(0)->isEnabled());
    QVERIFY(!edit(0)->isEnabled());
    QVERIFY(!host->window()->findChild<QPushButton *>("btnOn0")->isEnabled());
    image().Info.Level[0] = 819;
    image().Info.Level[11] = 1;
    channels->refresh(RefreshInfo);
    QCOMPARE(slider(0)->value(), 819);
    QCOMPARE(edit(0)->text(), QStringLiteral("20"));
    QCOMPARE(edit(11)->text(), QStringLiteral("0.02"));
    QVERIFY(!model().isRequestPending(SetInfoLevels));
    connectIn(ModeManual);
    QVERIFY(slider(0)->isEnabled());
}

void TstChannelsPage::colourNameRenamesEverywhere()
{
    // The moon phase edits and the visualized channel's list are other pages': the window
    // passes the new name on.
    openWindow();
    connectWindowIn(ModeManual);
    auto *moon = w->findChild<LabeledEdit *>("edtMoon0");
    auto *visualize = w->findChild<QComboBox *>("cmbVisualize");
    QVERIFY(moon && visualize);
    auto *combo = w->findChild<QComboBox *>("cmbName0");
    QCOMPARE(combo->count(), 16);
    QCOMPARE(combo->itemText(2), QStringLiteral("Red"));
    w->SelectPage(w->page("tsChannels"));
    combo->setFocus();
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    QCOMPARE(int(w->device().Config.ColorName[0]), 2);
    QVERIFY(w->model().isRequestPending(SetConfig));
    auto *percent = w->findChild<LabeledEdit *>("edt0");
    showPageOf(w.get(), percent);
    QCOMPARE(moon->caption(), QStringLiteral("A: Red"));
    QCOMPARE(moon->edit()->palette().color(QPalette::Base), QColor(0xFF, 0x80, 0x80));
    QCOMPARE(percent->edit()->palette().color(QPalette::Base), QColor(0xFF, 0x80, 0x80));
    QCOMPARE(visualize->itemText(0), QStringLiteral("A: Red"));
    QCOMPARE(visualize->itemText(1), QStringLiteral("B: Unnamed"));
    // A refresh shows the controller's choice without sending it back.
    w->model().replaceRequests(0);
    w->model().imageForLoading().Config.ColorName[1] = 3;
    w->ShowConfig();
    QCOMPARE(w->findChild<QComboBox *>("cmbName1")->currentIndex(), 3);
    QVERIFY(!w->model().isRequestPending(SetConfig));
}

void TstChannelsPage::flashDropsPendingAutoKeeps()
{
    connectIn(ModeManual);
    InfoRecord info = image().Info;
    info.LineCount = 3;
    model().copyIn(GetInfo, recordBytes(info));
    model().markScheduleLinesChanged({1});
    model().request(SetInfoLevels);
    item("mnuModeFlash")->trigger();
    QCOMPARE(model().pendingRequests(), SetConfig);
    QCOMPARE(int(image().Config.Mode), int(ModeFlash));
    QCOMPARE(int(image().ScheduleDirty[1]), 1);   // the mark stays for a later schedule write
    model().request(SetSchedule | SetInfoLevels);
    item("mnuModeAuto")->trigger();
    QCOMPARE(model().pendingRequests(), SetSchedule | SetInfoLevels | SetConfig);
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsSchedule"));
    item("mnuModeGeo")->trigger();
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsGeo"));
    item("mnuModeRGBDemo")->trigger();
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsChannelsGL"));
    item("mnuModeManual")->trigger();
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsChannelsGL"));
}

void TstChannelsPage::sameModeSendsConfigAgain()
{
    connectIn(ModeAuto);
    host->selectPage(sheet("tsConfig"));
    item("mnuModeAuto")->trigger();
    QVERIFY(model().isRequestPending(SetConfig));
    QCOMPARE(host->currentPage()->objectName(), QStringLiteral("tsSchedule"));
}

void TstChannelsPage::refreshDoesNotReadChart()
{
    connectIn(ModeManual);
    item("mnuRefresh")->trigger();
    QCOMPARE(model().pendingRequests(), GetInfo | GetConfig | GetSchedule | GetExpert | GetExpertWeather);
    item("mnuSaveEEPROM")->trigger();
    QVERIFY(model().isRequestPending(SaveEEPROM));
}

void TstChannelsPage::irDialogNoChangesNothing()
{
    connectIn(ModeManual);
    image().Expert.RC5Code[0] = 0x0102;
    host->answer = false;
    item("mnuIRLearn")->trigger();
    QVERIFY(host->asked.startsWith(QStringLiteral("Pair IR remote control|For this, an IR remote")));
    QVERIFY(host->asked.contains(QStringLiteral("While pairing Aqualumora will request")));
    QCOMPARE(uint16_t(image().Expert.RC5Code[0]), uint16_t(0x0102));
    QVERIFY(!model().isRequestPending(SetExpert));
    host->answer = true;
    item("mnuIRLearn")->trigger();
    QCOMPARE(uint16_t(image().Expert.RC5Code[0]), uint16_t(0x1102));
    QVERIFY(model().isRequestPending(SetExpert));
}

void TstChannelsPage::triggerButtonsFollowMode()
{
    QPushButton *cloud = weather->btnCloud;
    QPushButton *storm = weather->btnStorm;
    QVERIFY(cloud && storm);
    QVERIFY(!cloud->isEnabled());
    connectIn(ModeManual);
    QVERIFY(!cloud->isEnabled());
    connectIn(ModeGeo);
    QVERIFY(cloud->isEnabled());
    QVERIFY(storm->isEnabled());
    host->selectPage(sheet("tsWeather"));
    QTest::mouseClick(storm, Qt::LeftButton);
    QVERIFY(model().isRequestPending(ToggleStorm));
    QTest::mouseClick(cloud, Qt::LeftButton);
    QVERIFY(model().isRequestPending(ToggleCloud));
    setConnected(false);
    QVERIFY(!cloud->isEnabled());
}

void TstChannelsPage::panelTwo()
{
    image().Info.StateFlags = StateCloud | StateCooler;
    connectIn(ModeAuto);
    QCOMPARE(host->status[2], QStringLiteral("AutoOC"));
    image().Config.Mode = ModeManual;
    modes->refresh(RefreshConfig);
    QCOMPARE(host->status[2], QStringLiteral("ManualC"));
    image().Info.StateFlags2 = State2Saving;
    modes->refresh(RefreshConfig);
    QCOMPARE(host->status[2], QStringLiteral("Saving"));
}

void TstChannelsPage::pictures()
{
    openWindow();
    connectWindowIn(ModeManual);
    DeviceImage &shown = w->model().imageForLoading();
    for (int i = 0; i < 12; ++i)
        shown.Info.Level[i] = uint16_t(i * 372);
    shown.Config.ColorName[0] = 2;
    shown.Config.ColorName[1] = 3;
    shown.Config.ColorName[2] = 4;
    shown.Config.ColorName[3] = 7;
    w->ShowConfig();
    w->ShowInfo();
    w->SelectPage(w->page("tsChannels"));
    savePicture(w.get(), QSize(1009, 680), QStringLiteral("channels_af"));
    w->SelectPage(w->page("tsChannelsGL"));
    savePicture(w.get(), QSize(1009, 680), QStringLiteral("channels_gl"));
    savePicture(w.get(), w->minimumSizeHint(), QStringLiteral("channels_gl_minimum"));
}

QTEST_MAIN(TstChannelsPage)
#include "tst_channels_page.moc"
