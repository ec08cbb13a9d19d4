// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "astro/timezone.h"
#include "pages/enable_rules.h"
#include "pages/page.h"

class LabeledEdit;
class QAbstractButton;
class QRadioButton;
class QWidget;
class PageHost;

// The page "Expert options" (PWM and bus timing, sensor calibration, fan mode with its
// hysteresis, chart source and interval, cloud trigger temperature, random seed, lightning
// masks, time-zone rule), plus the pages "JMP pin" and "433 MHz", whose controls have no
// effect in this program.
class ExpertPage : public QObject, public Page {
    Q_OBJECT
public:
    ExpertPage(PageHost &host, DeviceModel &model);
    ~ExpertPage() override;

    QList<QWidget *> sheets() const override { return m_sheets; }
    // Besides the connection: the sensor-dependent controls, and the water-temperature
    // hysteresis unless the fan is guided by brightness.
    void applyEnabling(const EnableState &state) override;

    void rbtFMOLEDClick() { fanModeClick(0); }
    void rbtFMOWaterClick() { fanModeClick(1); }
    void rbtFMOWaterMasterClick() { fanModeClick(2); }
    void btnApplyTZIClick();
    // changed: the index of the edit (0 bias, 1-4 standard, 5-8 daylight) whose text changed.
    void edtTimeZoneBiasChange(int changed);
    void edtLightningMask0Change(int channel);

    // Where "Get from Windows" reads the rules; tests replace it. nullopt: the query failed.
    std::function<std::optional<TimeZoneInfo>()> SystemTimeZone;

protected:
    // Every Expert field into its control, skipping a focused edit.
    void showExpert() override;
    // The twelve lightning masks.
    void showExpertWeather() override;
    // Display, temperature-unit and clock-format buttons from Config "Flag"; the hysteresis
    // temperatures follow a change of unit.
    void showConfig() override;
    // Tints of the lightning masks.
    void showChannelNames() override;

private:
    struct FieldEdit {
        LabeledEdit *edit;
        std::function<std::optional<int>(const QString &)> parse;
        std::function<void(ExpertRecord &, int)> store;
        std::function<QString(const ExpertRecord &)> text;
    };

    void buildExpert(QWidget *page);
    void buildJmp(QWidget *page);
    void buildRc433(QWidget *page);
    // position: a LabeledEdit::LabelPosition.
    LabeledEdit *addFieldEdit(QWidget *parent, const char *name, const char *caption, FieldEdit field,
                              int position = 0);
    void fieldEditChange(const FieldEdit &field);
    void fanModeClick(int mode);
    void chartModeClick(int mode);
    void showTimeZone();
    void showTemperatureUnit();

    PageHost &w;
    QList<QWidget *> m_sheets;
    EnableState m_enabling;
    std::vector<FieldEdit> m_fields;
    std::vector<QRadioButton *> m_fanMode;    // index = mode
    std::vector<QRadioButton *> m_chartMode;  // index = source
    LabeledEdit *m_zone[9] = {};
    LabeledEdit *m_masks[12] = {};
    LabeledEdit *m_waterLow = nullptr, *m_waterHigh = nullptr;
    std::vector<LabeledEdit *> m_unitEdits;   // edits whose caption is the temperature unit
    bool m_showing = false;                   // buttons set by a refresh raise nothing
    bool m_fahrenheitShown = false;
    EnableRules m_rules{
        {"edtPWMPrescaler", Enable::Connected}, {"lblPWMPrescaler", Enable::Connected},
        {"edtTWIBitrate", Enable::Connected}, {"lblTWIBitrate", Enable::Connected},
        {"edtTempOffset", Enable::Sensor}, {"edtCloudTempWater", Enable::Sensor},
        {"rbtFMOWater", Enable::Sensor}, {"rbtFMOWaterMaster", Enable::Sensor},
        {"rbtCHMTempWater", Enable::Sensor}, {"rbtJMPCooler", Enable::Sensor},
        {"rbtJMPHeater", Enable::Sensor}, {"edtTempCoolLow", Enable::Sensor},
        {"edtTempCoolHigh", Enable::Sensor}, {"edtTempHeatLow", Enable::Sensor},
        {"edtTempHeatHigh", Enable::Sensor},
        {"edtTempWaterLow", Enable::SensorNotLed}, {"edtTempWaterHigh", Enable::SensorNotLed},
        {"rbtCHMTempSlave", Enable::Slave},
        {"rbtFMOLED", Enable::Connected}, {"rbtCHMVoltage", Enable::Connected},
        {"edtChartInterval", Enable::Connected}, {"edtChartScale", Enable::Connected},
        {"edtLightningMask#", Enable::Connected}, {"edtRandomInit", Enable::Connected},
        {"edtTimeZoneBias", Enable::Connected},
        {"edtTimeZoneStandardMonth", Enable::Connected}, {"edtTimeZoneStandardDay", Enable::Connected},
        {"edtTimeZoneStandardDayOfWeek", Enable::Connected}, {"edtTimeZoneStandardHour", Enable::Connected},
        {"edtTimeZoneDaylightMonth", Enable::Connected}, {"edtTimeZoneDaylightDay", Enable::Connected},
        {"edtTimeZoneDaylightDayOfWeek", Enable::Connected}, {"edtTimeZoneDaylightHour", Enable::Connected},
        {"btnApplyTZI", Enable::Connected}, {"lblLanguage", Enable::Connected}, {"cmbLanguage", Enable::Connected},
        {"rbtCelsius", Enable::Connected}, {"rbtFahrenheit", Enable::Connected},
        {"rbt12h", Enable::Connected}, {"rbt24h", Enable::Connected},
        {"rbt16x2", Enable::Connected}, {"rbt20x4", Enable::Connected},
        {"rbtJMPIRLearn", Enable::Connected}, {"rbtJMPCloud", Enable::Connected},
        {"rbtJMPStorm", Enable::Connected}, {"rbtJMPLightning", Enable::Connected},
        {"rbtJMPTimer", Enable::Connected}, {"rbtJMPServo", Enable::Connected},
        {"rbtJMPPWM", Enable::Connected}, {"lblJMPWarning1", Enable::Connected},
        {"lblJMPWarning2", Enable::Connected}, {"memRC433", Enable::Connected},
        {"cbxRC433System1", Enable::Connected}, {"cbxRC433System2", Enable::Connected},
        {"cbxRC433System3", Enable::Connected}, {"cbxRC433System4", Enable::Connected},
        {"cbxRC433System5", Enable::Connected},
    };
};
