// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/settings_pages.h"

#include <QWidget>

#include "pages/channel_settings_pages.h"
#include "pages/config_page.h"
#include "pages/expert_page.h"
#include "pages/page_host.h"
#include "pages/weather_page.h"

SettingsPages::SettingsPages(PageHost &host, DeviceModel &model)
    : QObject(host.window()),
      config(new ConfigPage(host, model)),
      weather(new WeatherPage(host, model)),
      channels(new ChannelSettingsPages(host, model)),
      expert(new ExpertPage(host, model))
{
}
