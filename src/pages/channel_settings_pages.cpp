// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/channel_settings_pages.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "presentation/localization.h"
#include "widgets/tint.h"
#include "widgets/widgets.h"
#include "link/device_model.h"
#include "pages/page_host.h"
#include "pages/settings_pair.h"

namespace {

using Range = SettingsPair::Range;
using Binding = SettingsPair::Binding;

QLabel *explanation(QWidget *page, const char *name, const char *text)
{
    auto *label = new QLabel(QString::fromUtf8(text), page);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Twelve pairs of one kind: channels A-F on the left, G-L on the right.
std::array<std::unique_ptr<SettingsPair>, 12> channelPairs(DeviceModel &model, QWidget *page, QGridLayout *grid,
                                                           const char *prefix, Range range, PairScale scale,
                                                           const std::function<Binding(int)> &binding)
{
    std::array<std::unique_ptr<SettingsPair>, 12> pairs;
    for (int i = 0; i < ChannelCount; ++i) {
        pairs[i] = std::make_unique<SettingsPair>(model, page, QString::fromLatin1(prefix) + QString::number(i),
                                                  ChannelLetter(i), range, scale, binding(i));
        pairs[i]->addTo(grid, i % 6, i < 6 ? 0 : 3);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    grid->setColumnMinimumWidth(2, 24);
    grid->setVerticalSpacing(8);
    return pairs;
}

QGridLayout *pageLayout(QWidget *page, QLabel *text)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(text);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    layout->addStretch(1);
    return grid;
}

} // namespace

ChannelSettingsPages::ChannelSettingsPages(PageHost &host, DeviceModel &model)
    : QObject(host.window()), Page(model),
      w(host),
      m_sheets{host.page(QStringLiteral("tsWeatherDelay")), host.page(QStringLiteral("tsMoon")),
               host.page(QStringLiteral("tsBalance"))}
{
    QWidget *delays = m_sheets[0];
    QGridLayout *delayGrid = pageLayout(
        delays, explanation(delays, "lblWeatherDelay",
                            "To leave the impression of moving weather phenomena, clouds and thunderstorms can be "
                            "delayed per channel. An event will then appear after the given amount of time has "
                            "elapsed. Enter 25.5 to deactivate all weather events for the particular channel. "
                            "Range: 0 to 25.5 seconds."));
    m_delay = channelPairs(model, delays, delayGrid, "WeatherDelay", Range{0, 255, 10, 10}, PairScale::Tenths, [](int i) {
        return Binding{[i](const DeviceImage &d) { return std::optional<int>(d.ExpertWeather.WeatherDelay[i]); },
                       [i](DeviceImage &d, int v) { d.ExpertWeather.WeatherDelay[i] = uint8_t(v); }, SetExpertWeather};
    });

    QWidget *moon = m_sheets[1];
    QGridLayout *moonGrid = pageLayout(
        moon, explanation(moon, "lblMoon",
                          "The following values determine the brightness of a full moon which is directly overhead. "
                          "The actual brightness is calculated proportionately depending on current altitude and "
                          "phase. Range: 0 to 100.00%."));
    m_moon = channelPairs(model, moon, moonGrid, "Moon", Range{0, LevelFull, 128, 512}, PairScale::Moon, [](int i) {
        return Binding{[i](const DeviceImage &d) { return std::optional<int>(d.ExpertWeather.MoonColor16[i]); },
                       [i](DeviceImage &d, int v) { d.ExpertWeather.MoonColor16[i] = uint16_t(v); }, SetExpertWeather};
    });

    QWidget *balance = m_sheets[2];
    QGridLayout *balanceGrid = pageLayout(
        balance, explanation(balance, "lblBalance",
                             "These settings reduce the power of each channel proportionally. They can be used to "
                             "dim the lamp manually without touching the schedule or to adjust the white balance of "
                             "RGB LEDs. Range: 0 to 100%."));
    const Range percent{0, 100, 10, 10};
    m_balance = channelPairs(model, balance, balanceGrid, "Balance", percent, PairScale::Integer, [](int i) {
        return Binding{[i](const DeviceImage &d) { return std::optional<int>(d.ExpertWeather.Balance[i]); },
                       [i](DeviceImage &d, int v) { d.ExpertWeather.Balance[i] = uint8_t(v); }, SetExpertWeather};
    });
    m_balanceSum = std::make_unique<SettingsPair>(
        model, balance, QStringLiteral("BalanceSum"), QStringLiteral("Sum"), percent, PairScale::Integer,
        FieldBinding([](auto &d) -> auto & { return d.ExpertWeather.BalanceSum; }, SetExpertWeather));
    balanceGrid->setRowMinimumHeight(6, 16);
    m_balanceSum->addTo(balanceGrid, 7, 0);

    m_sumRamp = new LabeledEdit(QStringLiteral("edtBalanceSumRamp"), balance);
    m_sumRamp->setCaption(QStringLiteral("White balance sum ramp (% per day)"));
    m_sumRamp->setHint(QStringLiteral("Enter percentage points by which the white balance sum is increased (or "
                                      "decreased on negative values) every day. Range: -100 to 100%."));
    m_sumRamp->edit()->setFixedWidth(72);
    m_sumRamp->edit()->setAlignment(Qt::AlignRight);
    balanceGrid->addWidget(m_sumRamp, 7, 3, 1, 2, Qt::AlignLeft | Qt::AlignBottom);
    connect(m_sumRamp, &LabeledEdit::textChanged, this, &ChannelSettingsPages::edtBalanceSumRampChange);
}

ChannelSettingsPages::~ChannelSettingsPages() = default;

void ChannelSettingsPages::showExpertWeather()
{
    for (auto &p : m_balance)
        p->show();
    // The controller changes the sum by itself (the daily ramp); what it reports wins even
    // over a value being typed.
    m_balanceSum->show(true);
    for (auto &p : m_moon)
        p->show();
    for (auto &p : m_delay)
        p->show();
}

void ChannelSettingsPages::showExpert()
{
    if (!m_sumRamp->editHasFocus())
        m_sumRamp->setText(QString::number(device().Expert.BalanceSumRamp));
}

void ChannelSettingsPages::edtBalanceSumRampChange()
{
    if (!m_sumRamp->editHasFocus())
        return;
    const std::optional<int> ramp = ParseLimitedInteger(m_sumRamp->text(), -100, 100);
    if (!ramp)
        return;
    model().editExpert([r = int8_t(*ramp)](ExpertRecord &e) { e.BalanceSumRamp = r; });
}

void ChannelSettingsPages::showChannelNames()
{
    for (int i = 0; i < ChannelCount; ++i) {
        const int colour = device().Config.ColorName[i];
        const QString caption = ChannelCaption(i, colour);
        for (auto *pairs : {&m_moon, &m_balance, &m_delay}) {
            LabeledEdit *edit = (*pairs)[i]->edit();
            edit->setCaption(caption);
            SetTint(edit->edit(), ColorTint(colour));
        }
    }
}

void ChannelSettingsPages::applyEnabling(const EnableState &state) { m_rules.apply(w, m_sheets, state); }
