// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Which device-dependent controls the connection state enables, as a whole.
//
// The table below is written from the rules for the window's enabling, not from the window's own
// table: every control by object name with the condition under which it is enabled. For each
// state the rules tell apart (connected or not, the operating mode, water and slave sensor
// present, the fan mode and its radio button) the window goes through the opposite connection
// state first, so that a rule which only ever enables (or only disables) shows up too.

#include <QAbstractButton>
#include <QAction>
#include <QTest>
#include <QWidget>

#include "app/frm_lumora.h"
#include "link/device_model.h"
#include "window_fixture.h"

namespace {

enum class When {
    Connected,      // C
    Manual,         // C and the mode is Manual
    FanOff,         // C and the fan mode is not 1 (sensor controlled)
    WeatherButton,  // C and the mode is Auto or Geo
    Sensor,         // C and a water temperature is reported
    SensorNotLed,   // Sensor and "guided by brightness" is not checked
    Slave,          // C and a slave temperature is reported
    Never,          // disabled whatever the state
    Always,         // not device-dependent: enabled whatever the state
};

struct Control {
    const char *name;  // a trailing '#' stands for the twelve channels 0..11
    When when;
};

// clang-format off
const Control Table[] = {
    // Menu items.
    {"mnuScheduleImport", When::Connected}, {"mnuConfigImport", When::Connected},
    {"mnuScheduleConfigExport", When::Connected},
    {"mnuModeManual", When::Connected}, {"mnuModeAuto", When::Connected}, {"mnuModeGeo", When::Connected},
    {"mnuModeRGBDemo", When::Connected}, {"mnuModeFlash", When::Connected},
    {"mnuRefresh", When::Connected}, {"mnuSaveEEPROM", When::Connected}, {"mnuStepBig", When::Connected},
    {"mnuIRLearn", When::Connected}, {"mnuHealth", When::Connected}, {"mnuLoadReef", When::Connected},
    {"mnuAllOff", When::Connected}, {"mnuAll20", When::Connected}, {"mnuAllOn", When::Connected},
    {"mnuSetTimeDate", When::Connected},
    // Channels.
    {"lblName#", When::Connected}, {"cmbName#", When::Connected},
    {"trb#", When::Manual}, {"edt#", When::Manual}, {"btnOff#", When::Manual}, {"btnOn#", When::Manual},
    // Schedule and visualization.
    {"tsSchedule", When::Connected}, {"memDescription", When::Connected},
    {"tsVisualize", When::Connected}, {"lblVisualize", When::Connected}, {"cmbVisualize", When::Connected},
    {"cbxTimeLock", When::Connected},
    // Configuration: time lapse, display backlight, fan.
    {"trbTimeLapse", When::Connected}, {"btnRealtime", When::Connected}, {"edtTimeLapse", When::Connected},
    {"edtLCDBLMax", When::Connected}, {"edtLCDBLMin", When::Connected}, {"edtLCDBLNight", When::Connected},
    {"trbLCDBLMax", When::Connected}, {"trbLCDBLMin", When::Connected}, {"trbLCDBLNight", When::Connected},
    {"edtFanHigh", When::Connected}, {"edtFanLow", When::Connected},
    {"trbFanHigh", When::Connected}, {"trbFanLow", When::Connected},
    {"edtFanOff", When::FanOff}, {"trbFanOff", When::FanOff},
    // Weather.
    {"trbCloudCount", When::Connected}, {"edtCloudCount", When::Connected},
    {"trbCloudSeconds", When::Connected}, {"edtCloudSeconds", When::Connected},
    {"trbStormCount", When::Connected}, {"edtStormCount", When::Connected},
    {"trbStormMinutes", When::Connected}, {"edtStormMinutes", When::Connected},
    {"lblCloudRatio", When::Connected}, {"lblStormRatio", When::Connected},
    {"edtCloudAlpha", When::Connected}, {"trbCloudAlpha", When::Connected},
    {"edtStormAlpha", When::Connected}, {"trbStormAlpha", When::Connected},
    {"edtCloudStep", When::Connected}, {"trbCloudStep", When::Connected},
    {"edtStormStep", When::Connected}, {"trbStormStep", When::Connected},
    {"edtLightningP", When::Connected}, {"trbLightningP", When::Connected},
    {"btnCloud", When::WeatherButton}, {"btnStorm", When::WeatherButton},
    // Delays and moon.
    {"lblWeatherDelay", When::Connected}, {"edtWeatherDelay#", When::Connected},
    {"trbWeatherDelay#", When::Connected},
    {"lblMoon", When::Connected}, {"edtMoon#", When::Connected}, {"trbMoon#", When::Connected},
    // Chart and expert options.
    {"imgTemp", When::Connected}, {"edtPWMPrescaler", When::Connected}, {"lblPWMPrescaler", When::Connected},
    {"edtTWIBitrate", When::Connected}, {"lblTWIBitrate", When::Connected},
    {"edtTempOffset", When::Sensor}, {"edtCloudTempWater", When::Sensor},
    {"rbtFMOWater", When::Sensor}, {"rbtFMOWaterMaster", When::Sensor}, {"rbtCHMTempWater", When::Sensor},
    {"rbtJMPCooler", When::Sensor}, {"rbtJMPHeater", When::Sensor},
    {"edtTempCoolLow", When::Sensor}, {"edtTempCoolHigh", When::Sensor},
    {"edtTempHeatLow", When::Sensor}, {"edtTempHeatHigh", When::Sensor},
    {"edtTempWaterLow", When::SensorNotLed}, {"edtTempWaterHigh", When::SensorNotLed},
    {"rbtCHMTempSlave", When::Slave},
    {"edtBalanceSumRamp", When::Connected}, {"rbtFMOLED", When::Connected}, {"rbtCHMVoltage", When::Connected},
    {"edtChartInterval", When::Connected}, {"edtChartScale", When::Connected},
    {"edtLightningMask#", When::Connected}, {"edtRandomInit", When::Connected},
    {"edtTimeZoneBias", When::Connected},
    {"edtTimeZoneStandardMonth", When::Connected}, {"edtTimeZoneStandardDay", When::Connected},
    {"edtTimeZoneStandardHour", When::Connected}, {"edtTimeZoneStandardDayOfWeek", When::Connected},
    {"edtTimeZoneDaylightMonth", When::Connected}, {"edtTimeZoneDaylightDay", When::Connected},
    {"edtTimeZoneDaylightHour", When::Connected}, {"edtTimeZoneDaylightDayOfWeek", When::Connected},
    {"btnApplyTZI", When::Connected}, {"lblLanguage", When::Connected}, {"cmbLanguage", When::Connected},
    {"rbtCelsius", When::Connected}, {"rbtFahrenheit", When::Connected},
    {"rbt12h", When::Connected}, {"rbt24h", When::Connected}, {"rbt16x2", When::Connected},
    {"rbt20x4", When::Connected},
    // White balance.
    {"lblBalance", When::Connected}, {"edtBalance#", When::Connected}, {"trbBalance#", When::Connected},
    {"edtBalanceSum", When::Connected}, {"trbBalanceSum", When::Connected},
    // JMP pin and 433 MHz.
    {"rbtJMPIRLearn", When::Connected}, {"rbtJMPCloud", When::Connected}, {"rbtJMPStorm", When::Connected},
    {"rbtJMPLightning", When::Connected}, {"rbtJMPTimer", When::Connected}, {"rbtJMPServo", When::Connected},
    {"rbtJMPPWM", When::Connected}, {"lblJMPWarning1", When::Connected}, {"lblJMPWarning2", When::Connected},
    {"memRC433", When::Connected},
    {"cbxRC433System1", When::Connected}, {"cbxRC433System2", When::Connected},
    {"cbxRC433System3", When::Connected}, {"cbxRC433System4", When::Connected},
    {"cbxRC433System5", When::Connected},
    // Outside the rules: the 433 MHz page and its menu item stay disabled for good; the other
    // pages, the Help menu and the items that work without a device are never disabled.
    {"tsRC433", When::Never}, {"mnuShowRC433", When::Never},
    {"tsChannels", When::Always}, {"tsChannelsGL", When::Always}, {"tsGeo", When::Always},
    {"tsConfig", When::Always}, {"tsTemp", When::Always}, {"tsWeather", When::Always},
    {"tsWeatherDelay", When::Always}, {"tsMoon", When::Always}, {"tsExpert", When::Always},
    {"tsBalance", When::Always}, {"tsJMP", When::Always}, {"tsMessages", When::Always},
    {"mnuShowExpert", When::Always}, {"mnuDebug", When::Always}, {"mnuExit", When::Always},
    {"mnuHardware", When::Always}, {"mnuSoftware", When::Always}, {"mnuFAQ", When::Always},
};
// clang-format on

struct State {
    bool connected = false;
    int mode = 0;        // Config "Mode"
    bool sensor = false; // Info water temperature reported
    bool slave = false;  // Info slave temperature reported
    int fanMode = 0;     // Expert "FanMode"; its radio button is checked (the LED one for 0)
};

bool Expected(When when, const State &s)
{
    const bool c = s.connected;
    switch (when) {
    case When::Connected: return c;
    case When::Manual: return c && s.mode == 0;
    case When::FanOff: return c && s.fanMode != 1;
    case When::WeatherButton: return c && (s.mode == 1 || s.mode == 2);
    case When::Sensor: return c && s.sensor;
    case When::SensorNotLed: return c && s.sensor && s.fanMode != 0;
    case When::Slave: return c && s.slave;
    case When::Never: return false;
    case When::Always: return true;
    }
    return false;
}

QStringList Names(const Control &control)
{
    const QString name = QString::fromLatin1(control.name);
    if (!name.endsWith(u'#'))
        return {name};
    QStringList names;
    for (int i = 0; i < 12; ++i)
        names << name.chopped(1) + QString::number(i);
    return names;
}

// The state the control itself was given. A widget's isEnabled() also reflects its ancestors,
// and the 433 MHz page is disabled for good; its controls still follow the rules.
bool OwnEnabled(QObject *object)
{
    if (auto *widget = qobject_cast<QWidget *>(object))
        return !widget->testAttribute(Qt::WA_ForceDisabled);
    if (auto *item = qobject_cast<QAction *>(object))
        return item->isEnabled();
    return false;
}

QWidget *AncestorPage(QObject *object)
{
    for (QObject *o = object; o; o = o->parent())
        if (o->objectName().startsWith(QStringLiteral("ts")))
            return qobject_cast<QWidget *>(o);
    return nullptr;
}

}  // namespace

Q_DECLARE_METATYPE(State)

class TstEnabling : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyControlExistsOnce();
    void table_data();
    void table();

private:
    std::unique_ptr<TfrmLumora> w;
};

// A fresh window for every case: no state of an earlier case is left in its image.
void TstEnabling::init() { w = makeWindow({QStringLiteral("-english")}); }

void TstEnabling::cleanup() { w.reset(); }

void TstEnabling::everyControlExistsOnce()
{
    // A control missing or named twice would leave its rule without effect.
    int count = 0;
    for (const Control &control : Table) {
        for (const QString &name : Names(control)) {
            const auto found = w->findChildren<QObject *>(name);
            QVERIFY2(found.size() == 1, qPrintable(name + QStringLiteral(": %1 objects").arg(found.size())));
            QVERIFY2(qobject_cast<QWidget *>(found[0]) || qobject_cast<QAction *>(found[0]), qPrintable(name));
            ++count;
        }
    }
    QVERIFY(count > 250);
}

void TstEnabling::table_data()
{
    QTest::addColumn<State>("state");
    auto row = [](const char *name, bool connected, int mode, bool sensor, bool slave, int fanMode) {
        QTest::newRow(name) << State{connected, mode, sensor, slave, fanMode};
    };
    row("not connected, empty image", false, 0, false, false, 0);
    row("not connected, sensors and Auto in the image", false, 1, true, true, 2);
    row("Manual, no sensors, fan by brightness", true, 0, false, false, 0);
    row("Manual, both sensors, fan by sensor", true, 0, true, true, 1);
    row("Auto, water sensor only, fan master", true, 1, true, false, 2);
    row("Auto, water sensor, fan by brightness", true, 1, true, false, 0);
    row("Geo, slave sensor only, fan by sensor", true, 2, false, true, 1);
    row("Geo, water sensor, fan by sensor", true, 2, true, false, 1);
    row("RGB demo, both sensors, fan by brightness", true, 3, true, true, 0);
    row("Flash, no sensors, fan master", true, 4, false, false, 2);
    row("unknown mode 7, water sensor, unknown fan mode 5", true, 7, true, false, 5);
}

void TstEnabling::table()
{
    QFETCH(State, state);
    DeviceImage &image = w->model().imageForLoading();
    image.Config.Mode = uint8_t(state.mode);
    image.Info.WaterTemp = state.sensor ? int16_t(245) : NoValue16;
    image.Info.SlaveTemp = state.slave ? int16_t(231) : NoValue16;
    // Checking a fan-mode button sets the mode, as the user's click does; an unknown mode
    // leaves the last button checked.
    const char *fanButton = state.fanMode == 0 ? "rbtFMOLED" : state.fanMode == 1 ? "rbtFMOWater" : "rbtFMOWaterMaster";
    w->findChild<QAbstractButton *>(fanButton)->setChecked(true);
    image.Expert.FanMode = uint8_t(state.fanMode);

    w->SetConnected(!state.connected);
    w->SetConnected(state.connected);

    QStringList wrong;
    for (const Control &control : Table) {
        const bool expected = Expected(control.when, state);
        for (const QString &name : Names(control)) {
            QObject *object = w->findChild<QObject *>(name);
            if (!object) {
                wrong << name + QStringLiteral(" missing");
                continue;
            }
            if (OwnEnabled(object) != expected) {
                wrong << name + (expected ? QStringLiteral(" disabled") : QStringLiteral(" enabled"));
                continue;
            }
            // An enabled control is usable unless its page is the 433 MHz one: no container in
            // between disables it.
            auto *widget = qobject_cast<QWidget *>(object);
            QWidget *page = AncestorPage(object);
            if (expected && widget && page && page->objectName() != u"tsRC433" && !widget->isEnabled())
                wrong << name + QStringLiteral(" disabled by its container");
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
}

QTEST_MAIN(TstEnabling)
#include "tst_enabling.moc"
