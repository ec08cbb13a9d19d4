// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/weather_page.h"

#include <QGridLayout>
#include <QSlider>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>

#include "presentation/localization.h"
#include "widgets/widgets.h"
#include "link/device_model.h"
#include "pages/modes.h"
#include "pages/page_host.h"
#include "pages/settings_pair.h"

namespace {

using Range = SettingsPair::Range;
using Binding = SettingsPair::Binding;

constexpr Range AlphaRange{0, 100, 10, 10};
constexpr Range StepRange{1, 5000, 1000, 1000};

std::unique_ptr<SettingsPair> pair(DeviceModel &model, QWidget *parent, const char *name, const char *caption,
                                   Range range, Binding binding)
{
    return std::make_unique<SettingsPair>(model, parent, QString::fromLatin1(name), QString::fromUtf8(caption),
                                          range, PairScale::Integer, std::move(binding));
}

QLabel *ratioLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// The pairs, then the ratio text beside the trigger button.
void fill(QGroupBox *box, std::initializer_list<SettingsPair *> pairs, QLabel *ratio, QPushButton *trigger)
{
    auto *grid = static_cast<QGridLayout *>(box->layout());
    int row = 0;
    for (SettingsPair *p : pairs)
        p->addTo(grid, row++);
    grid->setRowStretch(row++, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(ratio, 1);
    if (trigger)
        bottom->addWidget(trigger);
    grid->addLayout(bottom, row, 0, 1, 2);
}

bool weatherMode(const DeviceImage &d) { return d.Config.Mode == ModeAuto || d.Config.Mode == ModeGeo; }

} // namespace

WeatherPage::WeatherPage(PageHost &host, DeviceModel &model) : QObject(host.window()), Page(model), w(host), m_sheet(host.page(QStringLiteral("tsWeather")))
{
    QWidget *page = m_sheet;
    QGroupBox *clouds = PairGroup(page, "gbxCloud", "Clouds");
    QGroupBox *storms = PairGroup(page, "gbxStorm", "Thunderstorms");

    // Count and duration: the edit shows what the slider can show, and a change of either
    // recomputes both probabilities.
    const auto storeClouds = [this](DeviceImage &d, int) { this->storeClouds(d.Config); };
    const auto storeStorms = [this](DeviceImage &d, int) { this->storeStorms(d.Config); };
    m_cloudCount = pair(model, clouds, "CloudCount", "Average number per day", Range{0, 3000, 100, 100},
                        Binding{[](const DeviceImage &d) {
                                    return std::optional<int>(int(CloudCountFromP(d.Config.CloudP)));
                                },
                                storeClouds, SetConfig});
    m_cloudSeconds = pair(model, clouds, "CloudSeconds", "Average duration in seconds", Range{1, 900, 60, 60},
                          Binding{[](const DeviceImage &d) -> std::optional<int> {
                                      if (const auto s = CloudSecondsFromD(d.Config.CloudD))
                                          return int(*s);
                                      return std::nullopt;
                                  },
                                  storeClouds, SetConfig});
    m_stormCount = pair(model, storms, "StormCount", "Average count per week", Range{0, 1000, 100, 100},
                        Binding{[](const DeviceImage &d) {
                                    return std::optional<int>(int(StormCountFromP(d.Config.StormP)));
                                },
                                storeStorms, SetConfig});
    m_stormMinutes = pair(model, storms, "StormMinutes", "Average duration in minutes", Range{1, 200, 60, 60},
                          Binding{[](const DeviceImage &d) -> std::optional<int> {
                                      if (const auto m = StormMinutesFromD(d.Config.StormD))
                                          return int(*m);
                                      return std::nullopt;
                                  },
                                  storeStorms, SetConfig});
    for (SettingsPair *p : {m_cloudCount.get(), m_cloudSeconds.get(), m_stormCount.get(), m_stormMinutes.get()}) {
        p->editShowsPosition = true;
        p->afterChange = [this] { showRatios(); };
    }

    m_cloudAlpha = pair(model, clouds, "CloudAlpha", "Remaining brightness (%)", AlphaRange,
                        FieldBinding([](auto &d) -> auto & { return d.ExpertWeather.CloudAlpha; }, SetExpertWeather));
    m_cloudStep = pair(model, clouds, "CloudStep", "Dimming speed", StepRange,
                       FieldBinding([](auto &d) -> auto & { return d.ExpertWeather.CloudStep; }, SetExpertWeather));
    m_stormAlpha = pair(model, storms, "StormAlpha", "Remaining brightness (%)", AlphaRange,
                        FieldBinding([](auto &d) -> auto & { return d.ExpertWeather.StormAlpha; }, SetExpertWeather));
    m_stormStep = pair(model, storms, "StormStep", "Dimming speed", StepRange,
                       FieldBinding([](auto &d) -> auto & { return d.ExpertWeather.StormStep; }, SetExpertWeather));
    m_lightning = pair(model, storms, "LightningP", "Lightning frequency", Range{0, 5000, 1000, 1000},
                       FieldBinding([](auto &d) -> auto & { return d.ExpertWeather.LightningP; }, SetExpertWeather));
    m_cloudStep->edit()->setHint(QStringLiteral("The higher the quicker the brightness changes"));
    m_stormStep->edit()->setHint(QStringLiteral("The higher the quicker the brightness changes."));
    m_lightning->edit()->setHint(
        QStringLiteral("The higher the more frequently lightning will appear during a thunderstorm."));

    m_cloudRatio = ratioLabel(clouds, "lblCloudRatio");
    m_stormRatio = ratioLabel(storms, "lblStormRatio");
    // The controller starts or ends an event at once (modes Auto and Geo).
    btnCloud = new QPushButton(QStringLiteral("Trigger/stop now"), page);
    btnCloud->setObjectName(QStringLiteral("btnCloud"));
    btnStorm = new QPushButton(QStringLiteral("Trigger/stop now"), page);
    btnStorm->setObjectName(QStringLiteral("btnStorm"));
    connect(btnCloud, &QPushButton::clicked, this, [this] { this->model().request(ToggleCloud); });
    connect(btnStorm, &QPushButton::clicked, this, [this] { this->model().request(ToggleStorm); });
    fill(clouds, {m_cloudCount.get(), m_cloudSeconds.get(), m_cloudAlpha.get(), m_cloudStep.get()}, m_cloudRatio,
         btnCloud);
    fill(storms, {m_stormCount.get(), m_stormMinutes.get(), m_stormAlpha.get(), m_stormStep.get(), m_lightning.get()},
         m_stormRatio, btnStorm);
    // Tab: the clouds' column down to its button, then the storms' column.
    QWidget::setTabOrder(m_cloudStep->slider(), btnCloud);
    QWidget *previous = btnCloud;
    for (SettingsPair *p : {m_stormCount.get(), m_stormMinutes.get(), m_stormAlpha.get(), m_stormStep.get(), m_lightning.get()}) {
        QWidget::setTabOrder(previous, p->edit()->edit());
        QWidget::setTabOrder(p->edit()->edit(), p->slider());
        previous = p->slider();
    }
    QWidget::setTabOrder(previous, btnStorm);

    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(clouds, 1, Qt::AlignTop);
    layout->addWidget(storms, 1, Qt::AlignTop);
}

WeatherPage::~WeatherPage() = default;

void WeatherPage::storeClouds(ConfigRecord &c) const
{
    c.CloudP = CloudPFromCount(m_cloudCount->position());
    c.CloudD = CloudDFromSeconds(m_cloudSeconds->position());
}

void WeatherPage::storeStorms(ConfigRecord &c) const
{
    c.StormP = StormPFromCount(m_stormCount->position());
    c.StormD = StormDFromMinutes(m_stormMinutes->position());
}

void WeatherPage::showConfig()
{
    for (SettingsPair *p : {m_cloudCount.get(), m_cloudSeconds.get(), m_stormCount.get(), m_stormMinutes.get()})
        p->show();
    showRatios();
}

void WeatherPage::showExpertWeather()
{
    for (SettingsPair *p : {m_cloudAlpha.get(), m_cloudStep.get(), m_stormAlpha.get(), m_stormStep.get(),
                            m_lightning.get()})
        p->show();
}

void WeatherPage::showRatios()
{
    const bool events = weatherMode(device());
    m_cloudRatio->setText(EventLabelText(EventRatioText(Translate(QStringLiteral("CloudRatio")), device().Config.CloudP,
                                                        device().Config.CloudD),
                                         Translate(QStringLiteral("CloudActiveNow")),
                                         events && (device().Info.StateFlags & StateCloud)));
    m_stormRatio->setText(EventLabelText(EventRatioText(Translate(QStringLiteral("StormRatio")), device().Config.StormP,
                                                        device().Config.StormD),
                                         Translate(QStringLiteral("StormActiveNow")),
                                         events && (device().Info.StateFlags & StateStorm)));
}

void WeatherPage::applyEnabling(const EnableState &state) { m_rules.apply(w, sheets(), state); }
