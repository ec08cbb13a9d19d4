#include "pages/settings_pages.h"

#include "app/frm_lumora.h"
#include "link/device_image.h"
#include "pages/channel_settings_pages.h"
#include "pages/config_page.h"
#include "pages/expert_page.h"
#include "pages/weather_page.h"

SettingsPages::SettingsPages(TfrmLumora *window)
    : QObject(window),
      config(new ConfigPage(window)),
      weather(new WeatherPage(window)),
      channels(new ChannelSettingsPages(window)),
      expert(new ExpertPage(window)),
      w(window)
{
}

void SettingsPages::showInfo()
{
    expert->showInfo();
    weather->showRatios();
}

void SettingsPages::showConfig()
{
    config->showConfig();
    weather->showConfig();
    expert->showConfig();
}

void SettingsPages::showExpert()
{
    config->showExpert();
    channels->showExpert();
    expert->showExpert();
}

void SettingsPages::showExpertWeather()
{
    try {
        if (w->pc->currentWidget() == w->page(QStringLiteral("tsMessages"))) {
            const char *target = Config.Mode == ModeAuto  ? "tsSchedule"
                                 : Config.Mode == ModeGeo ? "tsGeo"
                                                          : "tsChannels";
            w->SelectPage(w->page(QString::fromLatin1(target)));
        }
        weather->showExpertWeather();
        channels->showExpertWeather();
        expert->showExpertWeather();
        w->RememberPort();
    } catch (...) {
        // A refresh that fails leaves the controls as they were; the next read tries again.
    }
}

void SettingsPages::btnRealtimeClick() { config->btnRealtimeClick(); }
