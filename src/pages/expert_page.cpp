// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/expert_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "presentation/localization.h"
#include "widgets/tint.h"
#include "widgets/widgets.h"
#include "link/device_model.h"
#include "presentation/number_format.h"
#include "pages/page_host.h"
#include "presentation/settings_convert.h"

namespace {

QString latin(const char *text) { return QString::fromLatin1(text); }

// The stated ranges of the expert fields; values outside them are limited, not wrapped.
constexpr int PrescalerMin = 3, PrescalerMax = 255;
constexpr int BitrateMin = 10, BitrateMax = 255;
constexpr int ChartScaleMin = 1, ChartScaleMax = 255; // tenths: 0.1 to 25.5

LabeledEdit *makeEdit(QWidget *parent, const QString &name, const QString &caption,
                      LabeledEdit::LabelPosition position = LabeledEdit::LabelAbove, int width = 72)
{
    auto *edit = new LabeledEdit(name, parent, position);
    edit->setCaption(caption);
    edit->edit()->setFixedWidth(width);
    edit->edit()->setAlignment(Qt::AlignRight);
    if (position == LabeledEdit::LabelAbove)
        edit->layout()->setAlignment(edit->edit(), Qt::AlignLeft);
    return edit;
}

QRadioButton *makeRadio(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QRadioButton(QString::fromUtf8(caption), parent);
    button->setObjectName(latin(name));
    return button;
}

QGroupBox *makeGroup(QWidget *parent, const char *name, const char *title)
{
    auto *box = new QGroupBox(QString::fromUtf8(title), parent);
    box->setObjectName(latin(name));
    return box;
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *text)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(latin(name));
    label->setWordWrap(true);
    return label;
}

// Checks the button of value, or none when value names no button (an unknown mode from
// the controller). Auto-exclusive buttons cannot be unchecked directly.
void checkOne(const std::vector<QRadioButton *> &buttons, int value)
{
    if (value >= 0 && value < int(buttons.size()) && buttons[value]) {
        buttons[value]->setChecked(true);
        return;
    }
    for (QRadioButton *button : buttons) {
        if (button && button->isChecked()) {
            button->setAutoExclusive(false);
            button->setChecked(false);
            button->setAutoExclusive(true);
        }
    }
}

const char *const ZoneEditNames[9] = {
    "edtTimeZoneBias",          "edtTimeZoneStandardMonth",     "edtTimeZoneStandardDay",
    "edtTimeZoneStandardHour",  "edtTimeZoneStandardDayOfWeek", "edtTimeZoneDaylightMonth",
    "edtTimeZoneDaylightDay",   "edtTimeZoneDaylightHour",      "edtTimeZoneDaylightDayOfWeek",
};
const char *const ZoneEditCaptions[9] = {
    "UTC+x (minutes)", "Standard month", "Standard day", "Standard hour", "Standard day of week (0 = Sunday)",
    "DST month",       "DST day",        "DST hour",     "DST day of week (0 = Sunday)",
};

} // namespace

ExpertPage::ExpertPage(PageHost &host, DeviceModel &model)
    : QObject(host.window()), Page(model),
      w(host),
      m_sheets{host.page(QStringLiteral("tsExpert")), host.page(QStringLiteral("tsJMP")),
               host.page(QStringLiteral("tsRC433"))}
{
    SystemTimeZone = [] { return SystemTimeZoneInfo(QDate::currentDate().year()); };
    buildExpert(m_sheets[0]);
    buildJmp(m_sheets[1]);
    buildRc433(m_sheets[2]);
}

ExpertPage::~ExpertPage() = default;

LabeledEdit *ExpertPage::addFieldEdit(QWidget *parent, const char *name, const char *caption, FieldEdit field,
                                      int position)
{
    field.edit = makeEdit(parent, latin(name), QString::fromUtf8(caption), LabeledEdit::LabelPosition(position));
    const std::size_t index = m_fields.size();
    m_fields.push_back(std::move(field));
    connect(m_fields.back().edit, &LabeledEdit::textChanged, this, [this, index] { fieldEditChange(m_fields[index]); });
    return m_fields.back().edit;
}

void ExpertPage::buildExpert(QWidget *page)
{
    // The page holds more than fits at the window's smallest size: it scrolls.
    auto *outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(page);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto *content = new QWidget(scroll);
    scroll->setWidget(content);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto integer = [](int min, int max) {
        return [min, max](const QString &text) { return ParseLimitedInteger(text, min, max); };
    };
    auto fahrenheit = [this] { return isFahrenheit(device().Config); };

    // Timing and calibration (left), time zone (right).
    auto *top = new QHBoxLayout;
    top->setSpacing(16);
    auto *timing = new QVBoxLayout;
    timing->setSpacing(6);
    timing->addWidget(makeLabel(content, "lblPWMPrescaler", "If flickering or noises occur, try another value:"));
    LabeledEdit *prescaler = addFieldEdit(
        content, "edtPWMPrescaler", "PWM prescaler (frequency=25MHz/4096/(prescaler+1); 3 to 255)",
        {nullptr, integer(PrescalerMin, PrescalerMax), [](ExpertRecord &e, int v) { e.PWMPrescaler = uint8_t(v); },
         [](const ExpertRecord &e) { return QString::number(e.PWMPrescaler); }});
    prescaler->setHint(QStringLiteral("1.5kHz -> 3; 1kHz -> 5; 600Hz -> 9; 300Hz -> 19"));
    timing->addWidget(prescaler);
    timing->addSpacing(8);
    timing->addWidget(makeLabel(content, "lblTWIBitrate", "If bus malfunctions occur, try another value:"));
    LabeledEdit *bitrate = addFieldEdit(
        content, "edtTWIBitrate", "TWI bitrate (frequency=2500kHz/(bitrate+2); 10 to 255)",
        {nullptr, integer(BitrateMin, BitrateMax), [](ExpertRecord &e, int v) { e.TWIBitrate = uint8_t(v); },
         [](const ExpertRecord &e) { return QString::number(e.TWIBitrate); }});
    bitrate->setHint(QStringLiteral("25kHz -> 98; 50kHz -> 48; 100kHz -> 23"));
    timing->addWidget(bitrate);
    timing->addSpacing(8);
    LabeledEdit *offset = addFieldEdit(
        content, "edtTempOffset", "Calibration offset for Thermavis (Temperature sensor; \u00B0C)",
        {nullptr, [](const QString &t) { return ParseTenths(t, INT8_MIN, INT8_MAX); },
         [](ExpertRecord &e, int v) { e.TempOffset = int8_t(v); }, [](const ExpertRecord &e) { return TemperatureValueText(e.TempOffset, false); }});
    offset->setHint(QStringLiteral("The value entered here will be added to the measurement before display."));
    timing->addWidget(offset);
    // The long captions of the narrow column wrap rather than widen the page.
    for (LabeledEdit *edit : {prescaler, bitrate, offset})
        edit->label()->setWordWrap(true);

    auto *language = new QHBoxLayout;
    language->addWidget(makeLabel(content, "lblLanguage", "Language used on the display"));
    auto *languages = new QComboBox(content);
    languages->setObjectName(QStringLiteral("cmbLanguage"));
    languages->addItems({QStringLiteral("English"), QStringLiteral("Deutsch")});
    language->addWidget(languages);
    language->addStretch(1);
    timing->addLayout(language);
    timing->addStretch(1);
    top->addLayout(timing, 1);

    QGroupBox *zone = makeGroup(content, "gbxTimeZone", "Local timezone and begin and end of standard time and DST");
    auto *zoneGrid = new QGridLayout(zone);
    zoneGrid->setVerticalSpacing(4);
    for (int i = 0; i < 9; ++i) {
        m_zone[i] = makeEdit(zone, latin(ZoneEditNames[i]), latin(ZoneEditCaptions[i]), LabeledEdit::LabelLeft, 56);
        connect(m_zone[i], &LabeledEdit::textChanged, this, [this, i] { edtTimeZoneBiasChange(i); });
        // The bias first, then the standard-time rule, a gap, the daylight-saving rule.
        zoneGrid->addWidget(m_zone[i], i == 0 ? 0 : i < 5 ? i + 1 : i + 2, 0);
    }
    zoneGrid->setRowMinimumHeight(1, 8);
    zoneGrid->setRowMinimumHeight(6, 8);
    auto *apply = new QPushButton(QStringLiteral("Get from Windows"), zone);
    apply->setObjectName(QStringLiteral("btnApplyTZI"));
    apply->setToolTip(QStringLiteral("Applies the time zone data of this system."));
    connect(apply, &QPushButton::clicked, this, &ExpertPage::btnApplyTZIClick);
    zoneGrid->setRowMinimumHeight(11, 8);
    zoneGrid->addWidget(apply, 12, 0, Qt::AlignRight);
    top->addWidget(zone, 1, Qt::AlignTop);
    layout->addLayout(top);

    // Fan mode with the water-temperature hysteresis.
    QGroupBox *fanMode = makeGroup(content, "gbxFanMode", "Fan mode");
    auto *fanLayout = new QGridLayout(fanMode);
    m_fanMode = {makeRadio(fanMode, "rbtFMOLED", "Guided by brightness (for LED cooling)"),
                 makeRadio(fanMode, "rbtFMOWater", "Controlled by Thermavis with hysteresis"),
                 makeRadio(fanMode, "rbtFMOWaterMaster", "Master: Controlled by Thermavis, Slave: Guided by brightness")};
    for (int mode = 0; mode < 3; ++mode) {
        fanLayout->addWidget(m_fanMode[mode], mode, 0, 1, 3);
        connect(m_fanMode[mode], &QRadioButton::toggled, this, [this, mode](bool on) {
            if (on)
                fanModeClick(mode);
        });
    }
    auto temperature = [fahrenheit](lei16 ExpertRecord::*field) {
        return FieldEdit{nullptr, [fahrenheit](const QString &t) { return ParseTemperature(t, fahrenheit()); },
                         [field](ExpertRecord &e, int v) { e.*field = int16_t(v); },
                         [field, fahrenheit](const ExpertRecord &e) { return TemperatureValueText(e.*field, fahrenheit()); }};
    };
    // One caption for both edits, in one row: caption, lower, upper, unit.
    m_waterLow = addFieldEdit(fanMode, "edtTempWaterLow",
                              "Lower (stopping) and upper (starting) temperature of the hysteresis",
                              temperature(&ExpertRecord::TempWaterLow), LabeledEdit::LabelLeft);
    m_waterHigh = addFieldEdit(fanMode, "edtTempWaterHigh", "\u00B0C", temperature(&ExpertRecord::TempWaterHigh),
                               LabeledEdit::LabelRight);
    m_unitEdits.push_back(m_waterHigh);
    fanLayout->setRowMinimumHeight(3, 6);
    fanLayout->addWidget(m_waterLow, 4, 0);
    fanLayout->addWidget(m_waterHigh, 4, 1);
    fanLayout->setColumnStretch(2, 1);
    layout->addWidget(fanMode);

    QGroupBox *cloudTemp = makeGroup(content, "gbxCloudTemp", "Trigger clouds above certain temperatures");
    auto *cloudTempLayout = new QHBoxLayout(cloudTemp);
    cloudTempLayout->addWidget(addFieldEdit(
        cloudTemp, "edtCloudTempWater", "Water temperature (Thermavis)",
        {nullptr, [](const QString &t) { return ParseTenths(t, INT16_MIN, INT16_MAX); },
         [](ExpertRecord &e, int v) { e.CloudTempWater = int16_t(v); },
         [](const ExpertRecord &e) { return TemperatureValueText(e.CloudTempWater, false); }}));
    // The board's own temperature as a trigger is not offered by this program.
    cloudTempLayout->addWidget(makeEdit(cloudTemp, QStringLiteral("edtCloudTempBoard"), QStringLiteral("Board temperature")));
    cloudTempLayout->addStretch(1);
    layout->addWidget(cloudTemp);


    // Chart source, interval and scale.
    QGroupBox *chart = makeGroup(content, "gbxChartMode", "Data source for the chart (the value will also appear on the display)");
    auto *chartLayout = new QGridLayout(chart);
    m_chartMode = {makeRadio(chart, "rbtCHMTempWater", "Water temperature (Thermavis)"),
                   makeRadio(chart, "rbtCHMTempBoard", "Board temperature"),
                   makeRadio(chart, "rbtCHMVoltage", "Input voltage"),
                   makeRadio(chart, "rbtCHMTempSlave",
                             "Slave temperature (measurements will only make sense if a single slave board is connected)")};
    for (int source = 0; source < 4; ++source) {
        chartLayout->addWidget(m_chartMode[source], source, 0, 1, 3);
        if (source == ChartBoardTemp)
            continue; // hidden, and inert: this program does not chart the board's temperature
        connect(m_chartMode[source], &QRadioButton::toggled, this, [this, source](bool on) {
            if (on)
                chartModeClick(source);
        });
    }
    chartLayout->setRowMinimumHeight(4, 6);
    chartLayout->addWidget(addFieldEdit(chart, "edtChartInterval", "Recording interval (minutes)",
                                        {nullptr, integer(0, UINT16_MAX),
                                         [](ExpertRecord &e, int v) { e.ChartInterval = uint16_t(v); },
                                         [](const ExpertRecord &e) { return QString::number(e.ChartInterval); }}),
                           5, 0, Qt::AlignTop);
    LabeledEdit *scale = addFieldEdit(
        chart, "edtChartScale", "Chart scale (\u00B0C)",
        {nullptr, [](const QString &t) { return ParseTenths(t, ChartScaleMin, ChartScaleMax); },
         [](ExpertRecord &e, int v) { e.ChartScale = uint8_t(v); }, [](const ExpertRecord &e) { return FormatUpTo(e.ChartScale / 10.0, 1); }});
    scale->setHint(QStringLiteral("Vertical chart division. Range: 0.1 to 25.5\u00B0C."));
    chartLayout->addWidget(scale, 5, 1, Qt::AlignTop);
    chartLayout->setColumnStretch(2, 1);
    chartLayout->setHorizontalSpacing(24);
    layout->addWidget(chart);

    // Lightning masks and the random seed.
    QGroupBox *masks = makeGroup(content, "gbxLightningMask", "Lightning: Bit mask (0 to 255)");
    auto *maskGrid = new QGridLayout(masks);
    for (int i = 0; i < ChannelCount; ++i) {
        m_masks[i] = makeEdit(masks, QStringLiteral("edtLightningMask%1").arg(i), ChannelLetter(i),
                              LabeledEdit::LabelAbove, 48);
        connect(m_masks[i], &LabeledEdit::textChanged, this, [this, i] { edtLightningMask0Change(i); });
        maskGrid->addWidget(m_masks[i], 0, i);
    }
    maskGrid->setColumnStretch(ChannelCount, 1);
    layout->addWidget(masks);
    LabeledEdit *seed = addFieldEdit(
        content, "edtRandomInit", "Random generator seed (to synchronize multiple masters enter identical values >0)",
        {nullptr, integer(0, UINT8_MAX), [](ExpertRecord &e, int v) { e.RandomInit = uint8_t(v); },
         [](const ExpertRecord &e) { return QString::number(e.RandomInit); }});
    seed->label()->setWordWrap(true);
    layout->addWidget(seed);

    // Display options that the controller takes from elsewhere in this version; hidden.
    auto *formats = new QHBoxLayout;
    auto radioGroup = [&](const char *name, const char *title, std::initializer_list<std::pair<const char *, const char *>> buttons) {
        QGroupBox *box = makeGroup(content, name, title);
        auto *boxLayout = new QVBoxLayout(box);
        for (const auto &[buttonName, caption] : buttons)
            boxLayout->addWidget(makeRadio(box, buttonName, caption));
        formats->addWidget(box);
    };
    radioGroup("gbxTemperatureUnit", "Temperature unit",
               {{"rbtCelsius", "Degree Celsius"}, {"rbtFahrenheit", "Degree Fahrenheit"}});
    radioGroup("gbxTimeFormat", "Time format", {{"rbt12h", "1-12 AM/PM"}, {"rbt24h", "0-23"}});
    radioGroup("gbxLCDFormat", "Display format",
               {{"rbt16x2", "16x2 (2 lines, 16 characters)"}, {"rbt20x4", "20x4 (4 lines, 20 characters)"}});
    formats->addStretch(1);
    layout->addLayout(formats);
    layout->addStretch(1);
}

void ExpertPage::buildJmp(QWidget *page)
{
    // Present for completeness; nothing here reaches the controller.
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    for (const auto &[name, caption] : std::initializer_list<std::pair<const char *, const char *>>{
             {"rbtJMPIRLearn", "IR remote control pairing (default)"},
             {"rbtJMPCloud", "Pull pin to ground during a cloud"},
             {"rbtJMPStorm", "Pull pin to ground during a thunderstorm"},
             {"rbtJMPLightning", "Pull pin to ground during a lightning"}})
        layout->addWidget(makeRadio(page, name, caption));
    layout->addWidget(makeRadio(page, "rbtJMPCooler", "Pull pin to ground when temperature exceeds a value (cooler)"));
    auto hysteresis = [&](const char *low, const char *high, const char *caption) {
        auto *row = new QHBoxLayout;
        row->setContentsMargins(24, 0, 0, 0);
        row->addWidget(makeEdit(page, latin(low), QString::fromUtf8(caption), LabeledEdit::LabelLeft, 56));
        LabeledEdit *upper = makeEdit(page, latin(high), TemperatureUnit(false), LabeledEdit::LabelRight, 56);
        m_unitEdits.push_back(upper);
        row->addWidget(upper);
        row->addStretch(1);
        layout->addLayout(row);
    };
    hysteresis("edtTempCoolLow", "edtTempCoolHigh", "Lower and upper temperature of the hysteresis for the cooler");
    layout->addWidget(makeRadio(page, "rbtJMPHeater", "Pull pin to ground when temperature falls below a value (heater)"));
    hysteresis("edtTempHeatLow", "edtTempHeatHigh", "Lower and upper temperature of the hysteresis for the heater");
    layout->addWidget(
        makeRadio(page, "rbtJMPTimer", "Scheduled (see \"Schedule\", column \"JMP pin\", in hundredths of a second)"));
    layout->addWidget(makeRadio(page, "rbtJMPServo",
                                "Servo (see \"Schedule\", column \"JMP pin\", possible values 800 to 2200\u00B5s)"));
    layout->addWidget(
        makeRadio(page, "rbtJMPPWM", "PWM (see \"Schedule\", column \"JMP pin\", possible values 0 to 1000)"));
    page->findChild<QRadioButton *>(QStringLiteral("rbtJMPIRLearn"))->setChecked(true);

    layout->addSpacing(12);
    QLabel *caution = makeLabel(page, "lblJMPWarning1", "CAUTION:");
    QFont bold = caution->font();
    bold.setBold(true);
    caution->setFont(bold);
    layout->addWidget(caution);
    layout->addWidget(makeLabel(page, "lblJMPWarning2",
                                "In these modes link port pin 5 will become an active low output, i.e. it will be "
                                "pulled to ground during the events given. There is an example schematic on the right."));
    layout->addStretch(1);
}

void ExpertPage::buildRc433(QWidget *page)
{
    // Shown only with the rc433 switch, disabled for good; the check boxes do nothing.
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    auto *memo = new QPlainTextEdit(page);
    memo->setObjectName(QStringLiteral("memRC433"));
    memo->setReadOnly(true);
    layout->addWidget(memo, 1);
    auto *systems = new QHBoxLayout;
    for (int i = 1; i <= 5; ++i) {
        auto *box = new QCheckBox(QString::number(i), page);
        box->setObjectName(QStringLiteral("cbxRC433System%1").arg(i));
        systems->addWidget(box);
    }
    systems->addStretch(1);
    layout->addLayout(systems);
}

// ---------------------------------------------------------------------------
// Changes by the user

void ExpertPage::fieldEditChange(const FieldEdit &field)
{
    if (!field.edit->editHasFocus())
        return;
    const std::optional<int> value = field.parse(field.edit->text());
    if (!value)
        return;
    model().editExpert([&](ExpertRecord &e) { field.store(e, *value); });
}

void ExpertPage::edtLightningMask0Change(int channel)
{
    if (channel < 0 || channel >= ChannelCount || !m_masks[channel]->editHasFocus())
        return;
    const std::optional<int> mask = ParseLimitedInteger(m_masks[channel]->text(), 0, UINT8_MAX);
    if (!mask)
        return;
    model().editExpertWeather([channel, m = uint8_t(*mask)](ExpertWeatherRecord &r) { r.LightningMask[channel] = m; });
}

void ExpertPage::edtTimeZoneBiasChange(int changed)
{
    // Only the edit being typed in: a refresh rewrites the other eight while the cursor
    // sits in one of them, and that must not raise a write.
    if (changed < 0 || changed >= 9 || !m_zone[changed]->editHasFocus())
        return;
    // All nine or nothing: a rule half taken from the edits would reach the controller with
    // the next Expert write of any other setting.
    QString texts[9];
    for (int i = 0; i < 9; ++i)
        texts[i] = m_zone[i]->text();
    const std::optional<ControllerTimeZone> zone = ParseTimeZoneTexts(texts);
    if (!zone)
        return;
    model().editExpert([&](ExpertRecord &e) { StoreTimeZone(e, *zone); });
}

void ExpertPage::btnApplyTZIClick()
{
    const std::optional<TimeZoneInfo> info = SystemTimeZone ? SystemTimeZone() : std::nullopt;
    if (!info)
        return;
    const ControllerTimeZone zone = ControllerTimeZoneFromInfo(*info);
    ExpertRecord shown = device().Expert;
    StoreTimeZone(shown, zone);
    int values[9];
    TimeZoneValues(TimeZoneOfExpert(shown), values);
    for (int i = 0; i < 9; ++i) {
        const QSignalBlocker quiet(m_zone[i]);
        m_zone[i]->setText(QString::number(values[i]));
    }
    model().editExpert([&](ExpertRecord &e) { StoreTimeZone(e, zone); });
}

void ExpertPage::fanModeClick(int mode)
{
    // A refresh checks the button of the mode the image holds; only the user's choice is
    // sent, but the image follows every checked button.
    const bool send = !m_showing && m_fanMode[mode]->hasFocus();
    model().editSetting(SetExpert, [mode](DeviceImage &d) { d.Expert.FanMode = uint8_t(mode); },
                        DeviceModel::Origin::Edit, send);
    // The hysteresis edits here and the fan-off level on the Configuration page follow.
    w.enablingChanged();
    applyEnabling(m_enabling);
}

void ExpertPage::chartModeClick(int source)
{
    const bool send = !m_showing && m_chartMode[source]->hasFocus();
    model().editSetting(SetExpert, [source](DeviceImage &d) { d.Expert.ChartMode = uint8_t(source); },
                        DeviceModel::Origin::Edit, send);
}

void ExpertPage::applyEnabling(const EnableState &state)
{
    m_enabling = state;
    m_rules.apply(w, m_sheets, state, m_fanMode[0]->isChecked());
}

// ---------------------------------------------------------------------------
// Refreshes

void ExpertPage::showExpert()
{
    m_showing = true;
    for (const FieldEdit &field : m_fields)
        if (!field.edit->editHasFocus())
            field.edit->setText(field.text(device().Expert));
    checkOne(m_fanMode, device().Expert.FanMode);
    applyEnabling(m_enabling);
    checkOne(m_chartMode, device().Expert.ChartMode);
    showTimeZone();
    m_showing = false;
}

void ExpertPage::showTimeZone()
{
    int values[9];
    TimeZoneValues(TimeZoneOfExpert(device().Expert), values);
    for (int i = 0; i < 9; ++i)
        if (!m_zone[i]->editHasFocus())
            m_zone[i]->setText(QString::number(values[i]));
}

void ExpertPage::showExpertWeather()
{
    for (int i = 0; i < ChannelCount; ++i)
        if (!m_masks[i]->editHasFocus())
            m_masks[i]->setText(QString::number(device().ExpertWeather.LightningMask[i]));
}

void ExpertPage::showConfig()
{
    m_showing = true;
    auto check = [this](const char *on, const char *off, bool first) {
        auto *a = m_sheets[0]->findChild<QRadioButton *>(latin(on));
        auto *b = m_sheets[0]->findChild<QRadioButton *>(latin(off));
        for (QWidget *sheet : m_sheets) {
            a = a ? a : sheet->findChild<QRadioButton *>(latin(on));
            b = b ? b : sheet->findChild<QRadioButton *>(latin(off));
        }
        if (a && b)
            (first ? a : b)->setChecked(true);
    };
    check("rbt20x4", "rbt16x2", device().Config.Flag & FlagDisplay20x4);
    check("rbtFahrenheit", "rbtCelsius", device().Config.Flag & FlagFahrenheit);
    check("rbt12h", "rbt24h", device().Config.Flag & Flag12Hour);
    m_showing = false;
    showTemperatureUnit();
}

void ExpertPage::showTemperatureUnit()
{
    const bool fahrenheit = isFahrenheit(device().Config);
    for (LabeledEdit *edit : m_unitEdits)
        edit->setCaption(TemperatureUnit(fahrenheit));
    if (fahrenheit == m_fahrenheitShown)
        return;
    m_fahrenheitShown = fahrenheit;
    // The stored tenths of a degree Celsius did not change, only how they read.
    for (const FieldEdit &field : m_fields)
        if ((field.edit == m_waterLow || field.edit == m_waterHigh) && !field.edit->editHasFocus())
            field.edit->setText(field.text(device().Expert));
}

void ExpertPage::showChannelNames()
{
    for (int i = 0; i < ChannelCount; ++i)
        SetTint(m_masks[i]->edit(), ColorTint(device().Config.ColorName[i]));
}
