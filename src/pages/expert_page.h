#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "astro/timezone.h"

class LabeledEdit;
class QAbstractButton;
class QRadioButton;
class QWidget;
class TfrmLumora;

// The page "Expert options" (PWM and bus timing, sensor calibration, fan mode with its
// hysteresis, chart source and interval, cloud trigger temperature, random seed, lightning
// masks, time-zone rule), plus the pages "JMP pin" and "433 MHz", whose controls have no
// effect in this program.
class ExpertPage : public QObject {
    Q_OBJECT
public:
    explicit ExpertPage(TfrmLumora *window);
    ~ExpertPage() override;

    // Every Expert field into its control, skipping a focused edit.
    void showExpert();
    // The twelve lightning masks.
    void showExpertWeather();
    // Sensor-dependent enabling.
    void showInfo();
    // Display, temperature-unit and clock-format buttons from Config "Flag"; the hysteresis
    // temperatures follow a change of unit.
    void showConfig();

    void rbtFMOLEDClick() { fanModeClick(0); }
    void rbtFMOWaterClick() { fanModeClick(1); }
    void rbtFMOWaterMasterClick() { fanModeClick(2); }
    void btnApplyTZIClick();
    // changed: the index of the edit (0 bias, 1-4 standard, 5-8 daylight) whose text changed.
    void edtTimeZoneBiasChange(int changed);
    void edtLightningMask0Change(int channel);

    // Where "Get from Windows" reads the rules; tests replace it. nullopt: the query failed.
    std::function<std::optional<TimeZoneInfo>()> SystemTimeZone;

private:
    struct FieldEdit {
        LabeledEdit *edit;
        std::function<std::optional<int>(const QString &)> parse;
        std::function<void(int)> store;
        std::function<QString()> text;
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
    // Hysteresis edits and the fan-off level follow the fan mode.
    void applyFanModeEnabling(int mode);
    void showTimeZone();
    void showTemperatureUnit();

    TfrmLumora *w;
    std::vector<FieldEdit> m_fields;
    std::vector<QRadioButton *> m_fanMode;    // index = mode
    std::vector<QRadioButton *> m_chartMode;  // index = source
    LabeledEdit *m_zone[9] = {};
    LabeledEdit *m_masks[12] = {};
    LabeledEdit *m_waterLow = nullptr, *m_waterHigh = nullptr;
    std::vector<LabeledEdit *> m_unitEdits;   // edits whose caption is the temperature unit
    std::vector<QWidget *> m_sensorControls;  // usable only with the water-temperature sensor
    bool m_showing = false;                   // buttons set by a refresh raise nothing
    bool m_fahrenheitShown = false;
};
