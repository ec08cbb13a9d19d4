#include "pages/page.h"

#include "link/device_image.h"

EnableState CurrentEnableState(bool connected)
{
    EnableState state;
    state.connected = connected;
    state.mode = Config.Mode;
    state.sensor = connected && Info.WaterTemp != NoValue16;
    state.slave = connected && Info.SlaveTemp != NoValue16;
    state.fanMode = Expert.FanMode;
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
