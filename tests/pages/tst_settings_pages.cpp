// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTest>

#include <cstring>
#include <ctime>

#include "widgets/widgets.h"
#include "link/device_model.h"
#include "pages/config_page.h"
#include "pages/expert_page.h"
#include "pages/settings_pages.h"
#include "pages/channel_settings_pages.h"
#include "pages/weather_page.h"
#include "presentation/localization.h"
#include "fake_page_host.h"
#include "window_fixture.h"

namespace {

// A field of the image by record and key, as the INI files name it.
int fieldValue(const DeviceImage &image, const QString &record, const QString &key)
{
    const std::string k = key.toStdString();
    if (record == u"Config")
        return readField(recordBytes(image.Config).data(), *findField(ConfigFields, k));
    if (record == u"Expert")
        return readField(recordBytes(image.Expert).data(), *findField(ExpertFields, k));
    return readField(recordBytes(image.ExpertWeather).data(), *findField(ExpertWeatherFields, k));
}

// A record's bytes, to see that nothing in it changed.
template <class R> QByteArray bytesOf(const R &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), sizeof record);
}

void setTz(const QByteArray &id)
{
    qputenv("TZ", id);
    tzset();
}

} // namespace

// The settings pages built on a stand-in for the window. The sensor-dependent enabling (the
// window derives it from the readings), the page chosen after the first download, the
// board line, the Geo page's "Now" and the pictures need the whole window.
class TstSettingsPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_tz = qgetenv("TZ"); }
    void init();
    void cleanup();

    void typedValueReachesField_data();
    void typedValueReachesField();
    void unfocusedEditSendsNothing_data();
    void unfocusedEditSendsNothing();
    void sliderStopsAtNeighbour_data();
    void sliderStopsAtNeighbour();
    void typedLevelIsNotOrdered();
    void cloudsRoundTrip();
    void ratioTexts();
    void balanceSumAlwaysRefreshed();
    void realtime();
    void modeButtons_data();
    void modeButtons();
    void refreshChecksButtonsSilently();
    void sensorDependentControls();
    void fahrenheitHysteresis();
    void timeZoneFromSystem_data();
    void timeZoneFromSystem();
    void timeZoneQueryFailsChangesNothing();
    void timeZoneTypedAllOrNothing();
    void timeZoneRefreshWhileOneHasFocus_data();
    void timeZoneRefreshWhileOneHasFocus();
    void firstDownloadLeavesMessages_data();
    void firstDownloadLeavesMessages();
    void boardLineStaysLast();
    void pictures();

private:
    template <class T = QWidget>
    T *find(const QString &name)
    {
        T *object = root()->findChild<T *>(name);
        if (!object)
            qFatal("no control %s", qPrintable(name));
        // Read as the user sees it, with its page in front.
        selectPage(pageOf(object));
        return object;
    }
    LabeledEdit *edit(const QString &name) { return find<LabeledEdit>(name); }
    // The cases run on the stand-in unless they opened the window.
    QWidget *root() const { return w ? static_cast<QWidget *>(w.get()) : host->window(); }
    QWidget *sheet(const QString &name) const { return w ? w->page(name) : host->page(name); }
    void selectPage(QWidget *sheet)
    {
        if (w)
            w->SelectPage(sheet);
        else
            host->selectPage(sheet);
    }
    QWidget *pageOf(QWidget *control);
    DeviceModel &model() { return w ? w->model() : host->model; }
    // The image as loaded: what a case writes here is a starting state or a read, not an edit.
    DeviceImage &image() { return model().imageForLoading(); }
    int fieldValue(const QString &record, const QString &key) { return ::fieldValue(image(), record, key); }
    void openWindow();
    void connectWindow();
    // A read of these records (Refresh bits), shown as the window shows it.
    void show(unsigned what);
    // The window's enabling from the connection and the image.
    void applyEnabling();
    // Selects the control's page, gives the edit the focus, clears it, types text.
    void typeInto(const QString &name, const QString &text);
    void refreshAll();
    // A real click: the control is scrolled into view first (the expert page scrolls).
    void click(QAbstractButton *button);

    std::unique_ptr<FakePageHost> host;
    SettingsPages *pages = nullptr;
    std::unique_ptr<TfrmLumora> w;
    QByteArray m_tz;
};

void TstSettingsPages::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    LoadLanguageTable(LanguageEnglish);
    host = std::make_unique<FakePageHost>(QStringList{"tsMessages", "tsChannels", "tsSchedule", "tsGeo", "tsConfig",
                                                      "tsWeather", "tsWeatherDelay", "tsMoon", "tsBalance",
                                                      "tsExpert", "tsJMP", "tsRC433"});
    pages = new SettingsPages(*host, host->model);   // belongs to the host's window
    applyEnabling();
    host->window()->resize(1009, 680);
    host->window()->show();
    host->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(host->window()));
}

void TstSettingsPages::openWindow()
{
    host.reset();
    pages = nullptr;
    w = makeWindow({"-english", "-expert"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void TstSettingsPages::cleanup()
{
    w.reset();
    host.reset();
    setTz(m_tz);
}

QWidget *TstSettingsPages::pageOf(QWidget *control)
{
    for (QWidget *p = control; p; p = p->parentWidget())
        if (p->objectName().startsWith(u"ts") && sheet(p->objectName()) == p)
            return p;
    return nullptr;
}

void TstSettingsPages::click(QAbstractButton *button)
{
    selectPage(pageOf(button));
    for (QWidget *p = button->parentWidget(); p; p = p->parentWidget())
        if (auto *scroll = qobject_cast<QScrollArea *>(p))
            scroll->ensureWidgetVisible(button);
    // A radio button reacts only on its indicator and text, not on the rest of its row.
    const QPoint at = qobject_cast<QRadioButton *>(button) ? QPoint(8, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

static QList<Page *> partsOf(SettingsPages *pages) { return {pages->config, pages->weather, pages->channels, pages->expert}; }

void TstSettingsPages::applyEnabling()
{
    const EnableState state = CurrentEnableState(host->image(), host->connected);
    for (Page *part : partsOf(pages))
        part->applyEnabling(state);
}

void TstSettingsPages::show(unsigned what)
{
    if (w) {
        if (what & RefreshConfig)
            w->ShowConfig();
        if (what & RefreshExpert)
            w->ShowExpert();
        if (what & RefreshExpertWeather) {
            // The window's own step after every read of the record, before the refresh.
            w->ExpertWeatherArrived();
            w->ShowExpertWeather();
        }
        if (what & RefreshInfo)
            w->ShowInfo();
        return;
    }
    // Every read of Config ends with the channel names.
    if (what & RefreshConfig)
        what |= RefreshChannelNames;
    for (Page *part : partsOf(pages))
        part->refresh(what);
    applyEnabling();
}

void TstSettingsPages::refreshAll()
{
    show(RefreshInfo);
    show(RefreshConfig);
    show(RefreshExpert);
    show(RefreshExpertWeather);
}

void TstSettingsPages::connectWindow()
{
    image().Info.WaterTemp = 250;
    image().Info.SlaveTemp = 300;
    image().Config.Mode = ModeManual;
    if (w) {
        w->SetConnected(true);
    } else {
        host->connected = true;
        applyEnabling();
    }
    refreshAll();
    model().replaceRequests(0);
}

void TstSettingsPages::typeInto(const QString &name, const QString &text)
{
    LabeledEdit *e = edit(name);
    selectPage(pageOf(e));
    QVERIFY2(e->isEnabled(), qPrintable(name));
    e->edit()->setFocus();
    QVERIFY(e->editHasFocus());
    e->edit()->clear();
    model().replaceRequests(0);
    QTest::keyClicks(e->edit(), text);
}

// Each page's edits: the typed text, the field it lands in (limited to the pair's or the
// field's range) and the request bit it raises.
void TstSettingsPages::typedValueReachesField_data()
{
    QTest::addColumn<QString>("editName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<uint32_t>("request");
    auto row = [](const char *tag, const char *name, const char *typed, const char *record, const char *key, int value,
                  uint32_t request) {
        QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(typed) << QString::fromLatin1(record)
                           << QString::fromLatin1(key) << value << request;
    };
    row("time lapse", "edtTimeLapse", "12", "Config", "TimeLapse", 12, SetConfig);
    row("time lapse beyond the slider", "edtTimeLapse", "300", "Config", "TimeLapse", 250, SetConfig);
    row("night 20%", "edtLCDBLNight", "20", "Expert", "LCDBLNight", 51, SetExpert);
    row("slow beyond 100%", "edtFanLow", "120", "Config", "FanLow", 255, SetConfig);
    row("fan off 10%", "edtFanOff", "10", "Expert", "FanOff", 26, SetExpert);
    row("clouds per day", "edtCloudCount", "10", "Config", "CloudP", 6, SetConfig);
    row("cloud seconds", "edtCloudSeconds", "60", "Config", "CloudD", 873, SetConfig);
    row("storms per week", "edtStormCount", "1000", "Config", "StormP", 1387, SetConfig);
    row("storm minutes", "edtStormMinutes", "30", "Config", "StormD", 466, SetConfig);
    row("cloud brightness", "edtCloudAlpha", "40", "ExpertWeather", "CloudAlpha", 40, SetExpertWeather);
    row("largest delay", "edtWeatherDelay3", "25.5", "ExpertWeather", "WeatherDelay3", 255, SetExpertWeather);
    row("moon 37.5%", "edtMoon5", "37.5", "ExpertWeather", "MoonColor165", 1536, SetExpertWeather);
    row("balance", "edtBalance11", "80", "ExpertWeather", "Balance11", 80, SetExpertWeather);
    row("balance sum", "edtBalanceSum", "70", "ExpertWeather", "BalanceSum", 70, SetExpertWeather);
    row("sum ramp limited", "edtBalanceSumRamp", "-150", "Expert", "BalanceSumRamp", -100, SetExpert);
    row("prescaler", "edtPWMPrescaler", "19", "Expert", "PWMPrescaler", 19, SetExpert);
    row("prescaler below its range", "edtPWMPrescaler", "1", "Expert", "PWMPrescaler", 3, SetExpert);
    row("bit rate beyond 8 bits", "edtTWIBitrate", "300", "Expert", "TWIBitrate", 255, SetExpert);
    row("calibration offset", "edtTempOffset", "-1.5", "Expert", "TempOffset", -15, SetExpert);
    row("chart scale beyond 25.5", "edtChartScale", "30", "Expert", "ChartScale", 255, SetExpert);
    row("cloud trigger", "edtCloudTempWater", "28.5", "Expert", "CloudTempWater", 285, SetExpert);
    row("hysteresis upper", "edtTempWaterHigh", "26", "Expert", "TempWaterHigh", 260, SetExpert);
    row("lightning mask", "edtLightningMask4", "170", "ExpertWeather", "LightningMask4", 170, SetExpertWeather);
    row("time-zone bias", "edtTimeZoneBias", "120", "Expert", "Bias", 120, SetExpert);
    row("not a number", "edtMoon0", "abc", "ExpertWeather", "MoonColor160", 0, 0u);
}

void TstSettingsPages::typedValueReachesField()
{
    QFETCH(QString, editName);
    QFETCH(QString, typed);
    QFETCH(QString, record);
    QFETCH(QString, key);
    QFETCH(uint32_t, request);
    connectWindow();
    image().Expert.FanMode = 2; // both the hysteresis and the fan-off level are in use
    show(RefreshExpert);
    typeInto(editName, typed);
    QTEST(fieldValue(record, key), "value");
    QCOMPARE(model().pendingRequests(), request);
    QCOMPARE(edit(editName)->text(), typed);
}

void TstSettingsPages::unfocusedEditSendsNothing_data()
{
    QTest::addColumn<QString>("editName");
    for (const char *name : {"edtPWMPrescaler", "edtLCDBLMin", "edtCloudCount", "edtMoon0", "edtBalanceSum",
                             "edtTimeZoneBias", "edtLightningMask0", "edtBalanceSumRamp"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstSettingsPages::unfocusedEditSendsNothing()
{
    QFETCH(QString, editName);
    connectWindow();
    const QByteArray expert = bytesOf(image().Expert);
    const QByteArray config = bytesOf(image().Config);
    const QByteArray weather = bytesOf(image().ExpertWeather);
    edit(editName)->setText(QStringLiteral("42"));
    QCOMPARE(model().pendingRequests(), 0u);
    QCOMPARE(bytesOf(image().Expert), expert);
    QCOMPARE(bytesOf(image().Config), config);
    QCOMPARE(bytesOf(image().ExpertWeather), weather);
}

// Backlight bright 200, dim 150, night 100; fan fast 200, slow 150, off 100.
void TstSettingsPages::sliderStopsAtNeighbour_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("moveTo");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("editText");
    QTest::newRow("dim below night") << "trbLCDBLMin" << 50 << "Config" << "LCDBLMin" << 100 << "39.2";
    QTest::newRow("bright below dim") << "trbLCDBLMax" << 0 << "Config" << "LCDBLMax" << 150 << "58.8";
    QTest::newRow("night above dim") << "trbLCDBLNight" << 255 << "Expert" << "LCDBLNight" << 150 << "58.8";
    QTest::newRow("slow above fast") << "trbFanLow" << 255 << "Config" << "FanLow" << 200 << "78.4";
    QTest::newRow("fan off above slow") << "trbFanOff" << 200 << "Expert" << "FanOff" << 150 << "58.8";
}

void TstSettingsPages::sliderStopsAtNeighbour()
{
    QFETCH(QString, slider);
    QFETCH(int, moveTo);
    QFETCH(QString, record);
    QFETCH(QString, key);
    image().Config.LCDBLMax = image().Config.FanHigh = 200;
    image().Config.LCDBLMin = image().Config.FanLow = 150;
    image().Expert.LCDBLNight = image().Expert.FanOff = 100;
    connectWindow();
    auto *s = find<QSlider>(slider);
    selectPage(sheet("tsConfig"));
    s->setFocus();
    s->setValue(moveTo);
    QTEST(s->value(), "value");
    QTEST(fieldValue(record, key), "value");
    QCOMPARE(model().pendingRequests(), record == u"Config" ? SetConfig : SetExpert);
    QTEST(edit(QStringLiteral("edt") + slider.mid(3))->text(), "editText");
}

void TstSettingsPages::typedLevelIsNotOrdered()
{
    image().Config.LCDBLMax = 200;
    image().Config.LCDBLMin = 150;
    image().Expert.LCDBLNight = 100;
    connectWindow();
    typeInto(QStringLiteral("edtLCDBLMin"), QStringLiteral("10"));
    QCOMPARE(int(image().Config.LCDBLMin), 26);
    QCOMPARE(find<QSlider>("trbLCDBLMin")->value(), 26);
    QCOMPARE(int(image().Expert.LCDBLNight), 100);
}

void TstSettingsPages::cloudsRoundTrip()
{
    connectWindow();
    typeInto(QStringLiteral("edtCloudSeconds"), QStringLiteral("900"));
    // Moving one slider recomputes both fields from the two positions.
    model().replaceRequests(0);
    auto *count = find<QSlider>("trbCloudCount");
    count->setFocus();
    count->setValue(100);
    QCOMPARE(int(image().Config.CloudP), 60);
    QCOMPARE(int(image().Config.CloudD), 58);
    QCOMPARE(edit("edtCloudCount")->text(), QStringLiteral("100"));
    QCOMPARE(model().pendingRequests(), SetConfig);
    // The read shows what the slider can show; a stored duration of 0 shows nothing.
    selectPage(sheet("tsConfig"));
    image().Config.CloudD = 58;
    show(RefreshConfig);
    QCOMPARE(edit("edtCloudSeconds")->text(), QStringLiteral("900"));
    image().Config.CloudD = 0;
    image().Config.CloudP = 6;
    show(RefreshConfig);
    QCOMPARE(edit("edtCloudSeconds")->text(), QStringLiteral("900"));
    QCOMPARE(edit("edtCloudCount")->text(), QStringLiteral("9"));
}

void TstSettingsPages::ratioTexts()
{
    image().Config.CloudP = 60;
    image().Config.CloudD = 873;
    image().Info.StateFlags = StateCloud | StateStorm;
    connectWindow();
    auto *cloud = find<QLabel>("lblCloudRatio");
    auto *storm = find<QLabel>("lblStormRatio");
    QCOMPARE(cloud->text(), QStringLiteral("Cloud ratio: 6.4%"));   // Manual: no "currently active"
    QCOMPARE(storm->text(), QString());
    image().Config.Mode = ModeAuto;
    show(RefreshConfig);
    QCOMPARE(cloud->text(), QStringLiteral("Cloud currently active \u2022 Cloud ratio: 6.4%"));
    QCOMPARE(storm->text(), QStringLiteral("Thunderstorm currently active"));
    image().Info.StateFlags = 0;
    show(RefreshInfo);
    QCOMPARE(cloud->text(), QStringLiteral("Cloud ratio: 6.4%"));
    // A change on the page updates the text at once.
    typeInto(QStringLiteral("edtStormMinutes"), QStringLiteral("30"));
    QCOMPARE(storm->text(), QStringLiteral("Thunderstorm ratio: 0%"));
}

void TstSettingsPages::balanceSumAlwaysRefreshed()
{
    connectWindow();
    typeInto(QStringLiteral("edtBalanceSum"), QStringLiteral("55"));
    QCOMPARE(int(image().ExpertWeather.BalanceSum), 55);
    model().replaceRequests(0);
    // The controller reports another sum: it replaces the typed text, and showing it is
    // not sent back although the edit has the focus.
    image().ExpertWeather.BalanceSum = 40;
    show(RefreshExpertWeather);
    QVERIFY(edit("edtBalanceSum")->editHasFocus());
    QCOMPARE(edit("edtBalanceSum")->text(), QStringLiteral("40"));
    QCOMPARE(find<QSlider>("trbBalanceSum")->value(), 40);
    QCOMPARE(model().pendingRequests(), 0u);
    QCOMPARE(int(image().ExpertWeather.BalanceSum), 40);

    // Any other focused edit keeps what is being typed.
    typeInto(QStringLiteral("edtBalance0"), QStringLiteral("33"));
    image().ExpertWeather.Balance[0] = 90;
    show(RefreshExpertWeather);
    QCOMPARE(edit("edtBalance0")->text(), QStringLiteral("33"));
    QCOMPARE(find<QSlider>("trbBalance0")->value(), 90);
}

void TstSettingsPages::realtime()
{
    openWindow();   // for the Geo page's "Now"
    image().Config.TimeLapse = 40;
    connectWindow();
    QCOMPARE(edit("edtTimeLapse")->text(), QStringLiteral("40"));
    selectPage(sheet("tsConfig"));
    click(find<QPushButton>("btnRealtime"));
    QCOMPARE(int(image().Config.TimeLapse), 1);
    QCOMPARE(find<QSlider>("trbTimeLapse")->value(), 1);
    QCOMPARE(edit("edtTimeLapse")->text(), QStringLiteral("1"));
    QCOMPARE(model().pendingRequests(), SetConfig);
    // "Now" runs it first.
    image().Config.TimeLapse = 40;
    show(RefreshConfig);
    w->btnNowClick();
    QCOMPARE(edit("edtTimeLapse")->text(), QStringLiteral("1"));
}

void TstSettingsPages::modeButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("hysteresis");
    QTest::addColumn<bool>("fanOff");
    QTest::newRow("by the sensor") << "rbtFMOWater" << "FanMode" << 1 << true << false;
    QTest::newRow("master and slave") << "rbtFMOWaterMaster" << "FanMode" << 2 << true << true;
    QTest::newRow("by brightness") << "rbtFMOLED" << "FanMode" << 0 << false << true;
    QTest::newRow("chart of the voltage") << "rbtCHMVoltage" << "ChartMode" << 2 << false << true;
}

void TstSettingsPages::modeButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, key);
    QFETCH(int, value);
    connectWindow();
    image().Expert.FanMode = image().Expert.ChartMode = 3; // no button is checked: every click is a change
    show(RefreshExpert);
    host->enablingChanges = 0;
    click(find<QRadioButton>(button));
    QCOMPARE(fieldValue(QStringLiteral("Expert"), key), value);
    QCOMPARE(model().pendingRequests(), SetExpert);
    // The fan-off level is the Configuration page's: the window enables it anew.
    QCOMPARE(host->enablingChanges, key == u"FanMode" ? 1 : 0);
    applyEnabling();
    if (key == u"FanMode") {
        QTEST(edit("edtTempWaterHigh")->isEnabled(), "hysteresis");
        QTEST(find<QSlider>("trbFanOff")->isEnabled(), "fanOff");
    }
}

void TstSettingsPages::refreshChecksButtonsSilently()
{
    connectWindow();
    click(find<QRadioButton>("rbtFMOWaterMaster")); // the focus stays on a button
    model().replaceRequests(0);
    image().Expert.FanMode = 1;
    image().Expert.ChartMode = ChartSlaveTemp;
    show(RefreshExpert);
    QVERIFY(find<QRadioButton>("rbtFMOWater")->isChecked());
    QVERIFY(find<QRadioButton>("rbtCHMTempSlave")->isChecked());
    QVERIFY(!edit("edtFanOff")->isEnabled());
    QCOMPARE(model().pendingRequests(), 0u);
    image().Expert.FanMode = 7; // names no button
    show(RefreshExpert);
    for (const char *name : {"rbtFMOLED", "rbtFMOWater", "rbtFMOWaterMaster"})
        QVERIFY(!find<QRadioButton>(QString::fromLatin1(name))->isChecked());
    QCOMPARE(int(image().Expert.FanMode), 7);
}

void TstSettingsPages::sensorDependentControls()
{
    openWindow();
    image().Expert.FanMode = 1;
    connectWindow();
    const char *sensorControls[] = {"edtTempOffset", "rbtFMOWater", "rbtFMOWaterMaster", "edtCloudTempWater",
                                    "rbtCHMTempWater", "edtTempWaterLow", "edtTempWaterHigh"};
    for (const char *name : sensorControls)
        QVERIFY2(find(QString::fromLatin1(name))->isEnabled(), name);
    QVERIFY(find("rbtCHMTempSlave")->isEnabled());
    image().Info.WaterTemp = image().Info.SlaveTemp = NoValue16;
    show(RefreshInfo);
    for (const char *name : sensorControls)
        QVERIFY2(!find(QString::fromLatin1(name))->isEnabled(), name);
    QVERIFY(!find("rbtCHMTempSlave")->isEnabled());
    QVERIFY(find("rbtFMOLED")->isEnabled() && find("rbtCHMVoltage")->isEnabled());
    QVERIFY(find("rbtCHMTempBoard")->isHidden());
}

void TstSettingsPages::fahrenheitHysteresis()
{
    image().Expert.FanMode = 1;
    image().Expert.TempWaterLow = 240;
    image().Expert.TempWaterHigh = 260;
    connectWindow();
    QCOMPARE(edit("edtTempWaterLow")->text(), QStringLiteral("24.0"));
    QCOMPARE(edit("edtTempWaterHigh")->caption(), QStringLiteral("\u00B0C"));
    image().Config.Flag |= FlagFahrenheit;
    show(RefreshConfig);
    QCOMPARE(edit("edtTempWaterLow")->text(), QStringLiteral("75.2"));
    QCOMPARE(edit("edtTempWaterHigh")->caption(), QStringLiteral("\u00B0F"));
    QVERIFY(find<QRadioButton>("rbtFahrenheit")->isChecked());
    typeInto(QStringLiteral("edtTempWaterHigh"), QStringLiteral("77"));
    QCOMPARE(int(image().Expert.TempWaterHigh), 250);
    QCOMPARE(model().pendingRequests(), SetExpert);
    // The offset and the cloud trigger stay in Celsius.
    typeInto(QStringLiteral("edtCloudTempWater"), QStringLiteral("27"));
    QCOMPARE(int(image().Expert.CloudTempWater), 270);
}

void TstSettingsPages::timeZoneFromSystem_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QList<int>>("fields");
    // bias, standard month, day, hour, day of week, daylight month, day, hour, day of week
    QTest::newRow("Central Europe") << QByteArray("Europe/Berlin") << QList<int>{60, 10, 31, 3, 0, 3, 31, 2, 0};
    QTest::newRow("Eastern US") << QByteArray("America/New_York") << QList<int>{-300, 11, 7, 2, 0, 3, 14, 2, 0};
    QTest::newRow("no daylight saving") << QByteArray("Asia/Kolkata") << QList<int>{330, 0, 0, 0, 0, 0, 0, 0, 0};
}

void TstSettingsPages::timeZoneFromSystem()
{
    QFETCH(QByteArray, zone);
    QFETCH(QList<int>, fields);
    setTz(zone);
    connectWindow();
    selectPage(sheet("tsExpert"));
    click(find<QPushButton>("btnApplyTZI"));
    const char *keys[9] = {"Bias", "StandardMonth", "StandardDay", "StandardHour", "StandardDayOfWeek",
                           "DaylightMonth", "DaylightDay", "DaylightHour", "DaylightDayOfWeek"};
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(fieldValue(QStringLiteral("Expert"), QString::fromLatin1(keys[i])), fields[i]);
        QCOMPARE(edit(QStringLiteral("edtTimeZone") + QString::fromLatin1(keys[i]))->text(), QString::number(fields[i]));
    }
    QCOMPARE(model().pendingRequests(), SetExpert);
}

void TstSettingsPages::timeZoneQueryFailsChangesNothing()
{
    image().Expert.Bias = 42;
    connectWindow();
    pages->expert->SystemTimeZone = [] { return std::optional<TimeZoneInfo>(); };
    pages->expert->btnApplyTZIClick();
    QCOMPARE(int(image().Expert.Bias), 42);
    QCOMPARE(edit("edtTimeZoneBias")->text(), QStringLiteral("42"));
    QCOMPARE(model().pendingRequests(), 0u);
}

void TstSettingsPages::timeZoneTypedAllOrNothing()
{
    connectWindow();
    edit("edtTimeZoneDaylightHour")->setText(QStringLiteral("two"));
    typeInto(QStringLiteral("edtTimeZoneBias"), QStringLiteral("60"));
    QCOMPARE(int(image().Expert.Bias), 0);
    QCOMPARE(model().pendingRequests(), 0u);
    edit("edtTimeZoneDaylightHour")->setText(QStringLiteral("2"));
    typeInto(QStringLiteral("edtTimeZoneStandardMonth"), QStringLiteral("10"));
    QCOMPARE(int(image().Expert.Bias), 60);
    QCOMPARE(int(image().Expert.StandardMonth), 10);
    QCOMPARE(int(image().Expert.DaylightHour), 2);
    QCOMPARE(model().pendingRequests(), SetExpert);
}

void TstSettingsPages::timeZoneRefreshWhileOneHasFocus_data()
{
    QTest::addColumn<QString>("focused");
    for (const char *name : {"edtTimeZoneBias", "edtTimeZoneStandardMonth", "edtTimeZoneStandardDay",
                             "edtTimeZoneStandardHour", "edtTimeZoneStandardDayOfWeek", "edtTimeZoneDaylightMonth",
                             "edtTimeZoneDaylightDay", "edtTimeZoneDaylightHour", "edtTimeZoneDaylightDayOfWeek"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstSettingsPages::timeZoneRefreshWhileOneHasFocus()
{
    QFETCH(QString, focused);
    connectWindow();
    LabeledEdit *edit = this->edit(focused);
    selectPage(pageOf(edit));
    edit->edit()->setFocus();
    QVERIFY(edit->editHasFocus());
    const QString typed = edit->text();
    // The controller reports another rule: the other eight edits follow, nothing is sent.
    image().Expert.Bias = -300;
    image().Expert.StandardMonth = 11;
    image().Expert.StandardDay = 7;
    image().Expert.StandardHour = 2;
    image().Expert.StandardDayOfWeek = 0;
    image().Expert.DaylightMonth = 3;
    image().Expert.DaylightDay = 14;
    image().Expert.DaylightHour = 2;
    image().Expert.DaylightDayOfWeek = 0;
    const ExpertRecord reported = image().Expert;
    model().replaceRequests(0);
    show(RefreshExpert);
    QCOMPARE(model().pendingRequests(), 0u);
    QVERIFY(std::memcmp(&image().Expert, &reported, sizeof reported) == 0);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(this->edit(focused == u"edtTimeZoneBias" ? QStringLiteral("edtTimeZoneDaylightDay")
                                                      : QStringLiteral("edtTimeZoneBias"))
                 ->text(),
             focused == u"edtTimeZoneBias" ? QStringLiteral("14") : QStringLiteral("-300"));
    // Typing in the focused edit still sends the rule.
    QTest::keyClick(edit->edit(), Qt::Key_End);
    QTest::keyClicks(edit->edit(), QStringLiteral("1"));
    QVERIFY(model().isRequestPending(SetExpert));
}

void TstSettingsPages::firstDownloadLeavesMessages_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("Auto") << int(ModeAuto) << "tsMessages" << "tsSchedule";
    QTest::newRow("Geo") << int(ModeGeo) << "tsMessages" << "tsGeo";
    QTest::newRow("Manual") << int(ModeManual) << "tsMessages" << "tsChannels";
    QTest::newRow("Flash") << int(ModeFlash) << "tsMessages" << "tsChannels";
    QTest::newRow("another page stays") << int(ModeAuto) << "tsMoon" << "tsMoon";
}

void TstSettingsPages::firstDownloadLeavesMessages()
{
    openWindow();
    QFETCH(int, mode);
    QFETCH(QString, before);
    connectWindow();
    image().Config.Mode = uint8_t(mode);
    selectPage(sheet(before));
    show(RefreshExpertWeather);
    QTEST(w->pc->currentWidget()->objectName(), "after");
}

void TstSettingsPages::boardLineStaysLast()
{
    openWindow();
    QLayout *layout = w->page("tsConfig")->layout();
    QVERIFY(layout);
    QCOMPARE(layout->itemAt(layout->count() - 1)->widget(), w->lblBoard);
    selectPage(sheet("tsConfig"));
    QCoreApplication::processEvents();
    QVERIFY(find("gbxFan")->geometry().bottom() < w->lblBoard->y());
}

void TstSettingsPages::pictures()
{
    host.reset();
    for (const char *language : {"-english", "-german"}) {
        const bool german = QByteArray(language) == "-german";
        QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany) : QLocale(QLocale::English, QLocale::UnitedStates));
        w = makeWindow({language, "-expert"});
        w->show();
        for (int i = 0; i < 12; ++i) {
            image().ExpertWeather.MoonColor16[i] = uint16_t(i * 300);
            image().ExpertWeather.Balance[i] = uint8_t(100 - i * 5);
            image().ExpertWeather.WeatherDelay[i] = uint8_t(i * 20);
            image().ExpertWeather.LightningMask[i] = uint8_t(1 << (i % 8));
        }
        // Values that fill every control of the pages.
        for (int i = 0; i < 12; ++i)
            image().Config.ColorName[i] = uint8_t(i + 1);
        image().Config.FanLow = 100;
        image().Config.FanHigh = 230;
        image().Config.LCDBLMin = 128;
        image().Config.LCDBLMax = 255;
        image().Config.TimeLapse = 1;
        image().Config.CloudP = 60;
        image().Config.CloudD = 873;
        image().Config.StormP = 14;
        image().Config.StormD = 466;
        image().Expert.FanMode = 2;
        image().Expert.PWMPrescaler = 5;
        image().Expert.TWIBitrate = 23;
        image().Expert.LCDBLNight = 20;
        image().Expert.ChartScale = 5;
        image().Expert.TempWaterLow = 250;
        image().Expert.TempWaterHigh = 265;
        image().Expert.Bias = 60;
        image().ExpertWeather.CloudAlpha = 60;
        image().ExpertWeather.StormAlpha = 30;
        image().ExpertWeather.CloudStep = 2000;
        image().ExpertWeather.StormStep = 3000;
        image().ExpertWeather.LightningP = 1200;
        image().ExpertWeather.BalanceSum = 90;
        connectWindow();
        const QString suffix = QString::fromLatin1(language + 1);
        for (const char *name : {"tsConfig", "tsWeather", "tsWeatherDelay", "tsMoon", "tsBalance", "tsExpert"}) {
            w->SelectPage(w->page(QString::fromLatin1(name)));
            savePicture(w.get(), QSize(1009, 680), QString::fromLatin1(name) + u'_' + suffix);
            savePicture(w.get(), w->minimumSizeHint(), QString::fromLatin1(name) + QStringLiteral("_min_") + suffix);
        }
        // The whole of the scrolling expert page.
        selectPage(sheet("tsExpert"));
        QWidget *content = w->page("tsExpert")->findChild<QScrollArea *>()->widget();
        savePicture(content, QSize(content->width(), content->sizeHint().height()), QStringLiteral("tsExpert_all_") + suffix);
    }
}

QTEST_MAIN(TstSettingsPages)
#include "tst_settings_pages.moc"
