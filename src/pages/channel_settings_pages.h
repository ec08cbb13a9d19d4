// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QObject>

#include <array>
#include <memory>

#include "pages/enable_rules.h"
#include "pages/page.h"

class LabeledEdit;
class PageHost;
class SettingsPair;

// The three per-channel settings pages: weather delays (tsWeatherDelay), full-moon
// brightness (tsMoon) and white balance (tsBalance, with the balance sum and its daily ramp).
// The pairs' captions are the channel names.
class ChannelSettingsPages : public QObject, public Page {
    Q_OBJECT
public:
    ChannelSettingsPages(PageHost &host, DeviceModel &model);
    ~ChannelSettingsPages() override;

    QList<QWidget *> sheets() const override { return m_sheets; }
    void applyEnabling(const EnableState &state) override;

    void edtBalanceSumRampChange();

protected:
    // The twelve balance pairs, the balance sum (always, even while it has the focus), the
    // twelve moon pairs and the twelve delay pairs.
    void showExpertWeather() override;
    // The balance sum ramp.
    void showExpert() override;
    // Captions and tints of the twelve pairs of each page.
    void showChannelNames() override;

private:
    PageHost &w;
    QList<QWidget *> m_sheets;
    std::array<std::unique_ptr<SettingsPair>, 12> m_delay, m_moon, m_balance;
    std::unique_ptr<SettingsPair> m_balanceSum;
    LabeledEdit *m_sumRamp = nullptr;
    EnableRules m_rules{
        {"lblWeatherDelay", Enable::Connected}, {"edtWeatherDelay#", Enable::Connected},
        {"trbWeatherDelay#", Enable::Connected}, {"lblMoon", Enable::Connected},
        {"edtMoon#", Enable::Connected}, {"trbMoon#", Enable::Connected},
        {"edtBalanceSumRamp", Enable::Connected},
        {"lblBalance", Enable::Connected}, {"edtBalance#", Enable::Connected}, {"trbBalance#", Enable::Connected},
        {"edtBalanceSum", Enable::Connected}, {"trbBalanceSum", Enable::Connected},
    };
};
