#pragma once
#include <QObject>

#include <array>
#include <memory>

class LabeledEdit;
class SettingsPair;
class TfrmLumora;

// The three per-channel settings pages: weather delays (tsWeatherDelay), full-moon
// brightness (tsMoon) and white balance (tsBalance, with the balance sum and its daily ramp).
// The pairs' captions are the channel names, set by the window's ShowChannelNames.
class ChannelSettingsPages : public QObject {
    Q_OBJECT
public:
    explicit ChannelSettingsPages(TfrmLumora *window);
    ~ChannelSettingsPages() override;

    // The twelve balance pairs, the balance sum (always, even while it has the focus), the
    // twelve moon pairs and the twelve delay pairs.
    void showExpertWeather();
    // The balance sum ramp.
    void showExpert();

    void edtBalanceSumRampChange();

private:
    TfrmLumora *w;
    std::array<std::unique_ptr<SettingsPair>, 12> m_delay, m_moon, m_balance;
    std::unique_ptr<SettingsPair> m_balanceSum;
    LabeledEdit *m_sumRamp = nullptr;
};
