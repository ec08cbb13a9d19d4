// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/page.h"

#include "link/device_model.h"

EnableState CurrentEnableState(const DeviceImage &image, bool connected)
{
    EnableState state;
    state.connected = connected;
    state.mode = image.Config.Mode;
    state.sensor = connected && image.Info.WaterTemp != NoValue16;
    state.slave = connected && image.Info.SlaveTemp != NoValue16;
    state.fanMode = image.Expert.FanMode;
    return state;
}

void Page::refresh(unsigned what)
{
    if (what & RefreshConfig)
        showConfig();
    if (what & RefreshChannelNames)
        showChannelNames();
    if (what & RefreshExpert)
        showExpert();
    if (what & RefreshExpertWeather)
        showExpertWeather();
    if (what & RefreshSchedule)
        showSchedule();
    if (what & RefreshChart)
        showChart();
    if (what & RefreshInfo)
        showInfo();
}

void Page::pageShown(QWidget *, unsigned missed) { refresh(missed); }
