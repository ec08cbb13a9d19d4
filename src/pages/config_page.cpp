// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/config_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <initializer_list>

#include "widgets/widgets.h"
#include "link/device_model.h"
#include "pages/page_host.h"
#include "pages/settings_pair.h"

namespace {

using Range = SettingsPair::Range;
constexpr Range LevelRange{0, 255, 10, 51};

// A level pair bound to one byte of a record.
template <class Select>
std::unique_ptr<SettingsPair> levelPair(DeviceModel &model, QWidget *parent, const char *name, const char *caption,
                                        Select field, uint32_t request)
{
    return std::make_unique<SettingsPair>(model, parent, QString::fromLatin1(name), QString::fromUtf8(caption),
                                          LevelRange, PairScale::PercentOf255, FieldBinding(field, request));
}

// Three ordered levels: the moved one may not pass its neighbours.
void orderLevels(SettingsPair &high, SettingsPair &mid, SettingsPair &low)
{
    high.limitMove = [&](int v) { return OrderedLevel(LevelRole::High, v, high.position(), mid.position(), low.position()); };
    mid.limitMove = [&](int v) { return OrderedLevel(LevelRole::Mid, v, high.position(), mid.position(), low.position()); };
    low.limitMove = [&](int v) { return OrderedLevel(LevelRole::Low, v, high.position(), mid.position(), low.position()); };
}

void addRows(QGroupBox *box, std::initializer_list<SettingsPair *> pairs)
{
    auto *grid = static_cast<QGridLayout *>(box->layout());
    int row = 0;
    for (SettingsPair *pair : pairs)
        pair->addTo(grid, row++);
    grid->setRowStretch(row, 1);
}

} // namespace

ConfigPage::ConfigPage(PageHost &host, DeviceModel &model)
    : QObject(host.window()), Page(model), w(host), m_sheet(host.page(QStringLiteral("tsConfig")))
{
    QWidget *page = m_sheet;

    QGroupBox *lcd = PairGroup(page, "gbxLCDBL", "Display backlight brightness");
    QGroupBox *fan = PairGroup(page, "gbxFan", "Fan speed");
    m_timeLapse = std::make_unique<SettingsPair>(
        model, page, QStringLiteral("TimeLapse"), QStringLiteral("Time lapse factor"), Range{0, 250, 10, 10},
        PairScale::Integer, FieldBinding([](auto &d) -> auto & { return d.Config.TimeLapse; }, SetConfig));
    m_lcdMax = levelPair(model, lcd, "LCDBLMax", "Bright level (%)",
                         [](auto &d) -> auto & { return d.Config.LCDBLMax; }, SetConfig);
    m_lcdMin = levelPair(model, lcd, "LCDBLMin", "Dim level (%)",
                         [](auto &d) -> auto & { return d.Config.LCDBLMin; }, SetConfig);
    m_lcdNight = levelPair(model, lcd, "LCDBLNight", "When \"OFF\" (see \"Schedule\") (%)",
                           [](auto &d) -> auto & { return d.Expert.LCDBLNight; }, SetExpert);
    m_fanHigh = levelPair(model, fan, "FanHigh", "Fast level (%)",
                          [](auto &d) -> auto & { return d.Config.FanHigh; }, SetConfig);
    m_fanLow = levelPair(model, fan, "FanLow", "Slow level (%)",
                         [](auto &d) -> auto & { return d.Config.FanLow; }, SetConfig);
    m_fanOff = levelPair(model, fan, "FanOff", "When LEDs are off (%)",
                         [](auto &d) -> auto & { return d.Expert.FanOff; }, SetExpert);
    orderLevels(*m_lcdMax, *m_lcdMin, *m_lcdNight);
    orderLevels(*m_fanHigh, *m_fanLow, *m_fanOff);
    addRows(lcd, {m_lcdMax.get(), m_lcdMin.get(), m_lcdNight.get()});
    addRows(fan, {m_fanHigh.get(), m_fanLow.get(), m_fanOff.get()});

    auto *realtime = new QPushButton(QStringLiteral("Realtime"), page);
    realtime->setObjectName(QStringLiteral("btnRealtime"));
    connect(realtime, &QPushButton::clicked, this, &ConfigPage::btnRealtimeClick);

    auto *timeLapse = new QGridLayout;
    timeLapse->setColumnStretch(1, 1);
    m_timeLapse->addTo(timeLapse, 0);
    timeLapse->addWidget(realtime, 0, 2, Qt::AlignBottom);
    QWidget::setTabOrder(m_timeLapse->slider(), realtime);

    auto *groups = new QHBoxLayout;
    groups->setSpacing(12);
    groups->addWidget(lcd, 1);
    groups->addWidget(fan, 1);

    // The window may have given the page a stretch and its status line; the settings go in
    // front of both, so that the status line stays at the bottom.
    auto *layout = qobject_cast<QVBoxLayout *>(page->layout());
    if (!layout) {
        layout = new QVBoxLayout(page);
        layout->addStretch(1);
    }
    layout->setContentsMargins(16, 16, 16, 8);
    layout->insertLayout(0, timeLapse);
    layout->insertSpacing(1, 12);
    layout->insertLayout(2, groups);
}

ConfigPage::~ConfigPage() = default;

void ConfigPage::showConfig()
{
    for (SettingsPair *pair : {m_timeLapse.get(), m_lcdMax.get(), m_lcdMin.get(), m_fanHigh.get(), m_fanLow.get()})
        pair->show();
}

void ConfigPage::showExpert()
{
    m_lcdNight->show();
    m_fanOff->show();
}

void ConfigPage::btnRealtimeClick()
{
    m_timeLapse->setBoth(1);
    model().editConfig([](ConfigRecord &c) { c.TimeLapse = 1; });
}

void ConfigPage::applyEnabling(const EnableState &state) { m_rules.apply(w, sheets(), state); }
