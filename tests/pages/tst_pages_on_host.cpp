// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Pages built alone on a stand-in for the window: what each asks of the window, its slice of
// the enabling rules, and refreshes that never send back what they show.
#include <QAction>
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
#include "pages/chart_page.h"
#include "widgets/image_view.h"

class TstPagesOnHost : public QObject {
    Q_OBJECT
private slots:
    void init();
    void channelEnabling_data();
    void channelEnabling();
    void levelsFollowWithoutEcho();
    void colourChoiceRefreshesEveryPart();
    void allChannelsBringChannelsForward();
    void modeItemsSelectTheModesPage_data();
    void modeItemsSelectTheModesPage();
    void modeShownInPanelTwo();
    void chartOpenedAsksForAFreshChart();
};

void TstPagesOnHost::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    LoadLanguageTable(LanguageEnglish);
}

void TstPagesOnHost::channelEnabling_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("levels");
    QTest::addColumn<bool>("names");
    QTest::newRow("not connected, Manual in the image") << false << 0 << false << false;
    QTest::newRow("Manual") << true << 0 << true << true;
    QTest::newRow("Auto") << true << 1 << false << true;
    QTest::newRow("Flash") << true << 4 << false << true;
    QTest::newRow("unknown mode") << true << 9 << false << true;
}

void TstPagesOnHost::channelEnabling()
{
    QFETCH(bool, connected);
    QFETCH(int, mode);
    QFETCH(bool, levels);
    QFETCH(bool, names);
    FakePageHost host({QStringLiteral("tsChannels"), QStringLiteral("tsChannelsGL")});
    ChannelsPage page(host, host.model);
    EnableState state;
    state.connected = connected;
    state.mode = mode;
    // From the opposite state, so that a rule which only ever enables shows up too.
    EnableState opposite = state;
    opposite.connected = !connected;
    opposite.mode = levels ? 1 : 0;
    page.applyEnabling(opposite);
    page.applyEnabling(state);
    QWidget *root = host.window();
    for (int i = 0; i < 12; ++i) {
        for (const char *prefix : {"trb", "edt", "btnOff", "btnOn"})
            QCOMPARE(root->findChild<QWidget *>(QString::fromLatin1(prefix) + QString::number(i))->isEnabled(), levels);
        for (const char *prefix : {"lblName", "cmbName"})
            QCOMPARE(root->findChild<QWidget *>(QString::fromLatin1(prefix) + QString::number(i))->isEnabled(), names);
    }
    for (const char *item : {"mnuAllOff", "mnuAll20", "mnuAllOn", "mnuStepBig"})
        QCOMPARE(host.action(QString::fromLatin1(item))->isEnabled(), names);
}

void TstPagesOnHost::levelsFollowWithoutEcho()
{
    FakePageHost host({QStringLiteral("tsChannels"), QStringLiteral("tsChannelsGL")});
    ChannelsPage page(host, host.model);
    EnableState manual;
    manual.connected = true;
    page.applyEnabling(manual);
    host.window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.window()));
    auto *focused = host.window()->findChild<QSlider *>(QStringLiteral("trb1"));
    focused->setFocus();
    for (int i = 0; i < 12; ++i)
        host.loaded().Info.Level[i] = uint16_t(300 * i + 7);
    host.model.replaceRequests(0);
    page.refresh(RefreshInfo);
    QCOMPARE(host.model.pendingRequests(), 0u);
    QCOMPARE(host.window()->findChild<QSlider *>(QStringLiteral("trb0"))->value(), 7);
    QCOMPARE(host.window()->findChild<QSlider *>(QStringLiteral("trb11"))->value(), 3307);
    QCOMPARE(host.window()->findChild<LabeledEdit *>(QStringLiteral("edt11"))->text(), QStringLiteral("80.74"));
    // The slider the user holds stays where it is.
    QCOMPARE(focused->value(), 0);
}

void TstPagesOnHost::colourChoiceRefreshesEveryPart()
{
    FakePageHost host({QStringLiteral("tsChannels"), QStringLiteral("tsChannelsGL")});
    ChannelsPage page(host, host.model);
    page.fillColourLists();
    auto *combo = host.window()->findChild<QComboBox *>(QStringLiteral("cmbName4"));
    combo->setCurrentIndex(2);
    page.cmbNameAChange(4);
    QCOMPARE(int(host.image().Config.ColorName[4]), 2);
    QCOMPARE(host.model.pendingRequests(), uint32_t(SetConfig));
    // Every place that names the channel is another part's: the window refreshes them.
    QCOMPARE(host.changes, QList<unsigned>{RefreshChannelNames});
}

void TstPagesOnHost::allChannelsBringChannelsForward()
{
    FakePageHost host({QStringLiteral("tsChannels"), QStringLiteral("tsChannelsGL"), QStringLiteral("tsGeo")});
    ChannelsPage page(host, host.model);
    host.selectPage(host.page(QStringLiteral("tsGeo")));
    host.action(QStringLiteral("mnuAllOn"))->trigger();
    QCOMPARE(host.currentPage()->objectName(), QStringLiteral("tsChannels"));
    for (int i = 0; i < 12; ++i)
        QCOMPARE(int(host.image().Info.Level[i]), LevelFull);
    // The second channel page stays in front.
    host.selectPage(host.page(QStringLiteral("tsChannelsGL")));
    host.action(QStringLiteral("mnuAllOff"))->trigger();
    QCOMPARE(host.currentPage()->objectName(), QStringLiteral("tsChannelsGL"));
    QCOMPARE(int(host.image().Info.Level[11]), 0);
    QVERIFY(host.model.isRequestPending(SetInfoLevels));
}

void TstPagesOnHost::modeItemsSelectTheModesPage_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("page");
    QTest::addColumn<uint32_t>("requests");
    QTest::newRow("Manual") << "mnuModeManual" << 0 << "tsChannels" << uint32_t(SetConfig | SetInfoLevels);
    QTest::newRow("Auto") << "mnuModeAuto" << 1 << "tsSchedule" << uint32_t(SetConfig | SetInfoLevels);
    QTest::newRow("Geo") << "mnuModeGeo" << 2 << "tsGeo" << uint32_t(SetConfig | SetInfoLevels);
    QTest::newRow("RGB demo drops the rest") << "mnuModeRGBDemo" << 3 << "tsChannelsGL" << uint32_t(SetConfig);
    QTest::newRow("Flash drops the rest") << "mnuModeFlash" << 4 << "tsChannels" << uint32_t(SetConfig);
}

void TstPagesOnHost::modeItemsSelectTheModesPage()
{
    QFETCH(QString, item);
    QFETCH(int, mode);
    QFETCH(QString, page);
    QFETCH(uint32_t, requests);
    FakePageHost host({QStringLiteral("tsMessages"), QStringLiteral("tsChannels"), QStringLiteral("tsChannelsGL"),
                       QStringLiteral("tsSchedule"), QStringLiteral("tsGeo")});
    ModeCommands modes(host, host.model);
    host.loaded().Config.Mode = 0;
    host.model.request(SetInfoLevels);
    host.action(item)->trigger();
    QCOMPARE(int(host.image().Config.Mode), mode);
    QCOMPARE(host.currentPage()->objectName(), page);
    QCOMPARE(host.model.pendingRequests(), requests);
    // A real change of mode refreshes the schedule grid (its first column depends on it).
    QCOMPARE(host.changes, mode == 0 ? QList<unsigned>{} : QList<unsigned>{RefreshSchedule});
}

void TstPagesOnHost::modeShownInPanelTwo()
{
    FakePageHost host({});
    ModeCommands modes(host, host.model);
    DeviceImage &image = host.loaded();
    image.Config.Mode = 1;
    image.Info.StateFlags = StateCloud;
    modes.refresh(RefreshConfig);
    QCOMPARE(host.status[2], QStringLiteral("AutoO"));
    // A mode the program does not know keeps the last name.
    image.Config.Mode = 9;
    image.Info.StateFlags = 0;
    modes.refresh(RefreshConfig);
    QCOMPARE(host.status[2], QStringLiteral("Auto"));
    // Info alone does not touch the panel.
    image.Info.StateFlags = StateCloud;
    modes.refresh(RefreshInfo);
    QCOMPARE(host.status[2], QStringLiteral("Auto"));
}

void TstPagesOnHost::chartOpenedAsksForAFreshChart()
{
    FakePageHost host({QStringLiteral("tsTemp")});
    ChartPage chart(host, host.model);
    host.model.replaceRequests(0);
    chart.pageShown(host.page(QStringLiteral("tsTemp")), 0);
    QCOMPARE(host.model.pendingRequests(), uint32_t(GetChart));
    EnableState off;
    chart.applyEnabling(off);
    QVERIFY(!chart.imgTemp->isEnabled());
}

QTEST_MAIN(TstPagesOnHost)
#include "tst_pages_on_host.moc"
