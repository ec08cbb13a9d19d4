// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

class ChannelSettingsPages;
class ConfigPage;
class ExpertPage;
class Page;
class DeviceModel;
class PageHost;
class WeatherPage;

// The settings pages together (Configuration, Weather, Delays, Moon, White balance, Expert
// options, JMP pin, 433 MHz), built in one go; each is a part of its own.
class SettingsPages : public QObject {
    Q_OBJECT
public:
    SettingsPages(PageHost &host, DeviceModel &model);

    ConfigPage *config = nullptr;
    WeatherPage *weather = nullptr;
    ChannelSettingsPages *channels = nullptr;
    ExpertPage *expert = nullptr;
};
