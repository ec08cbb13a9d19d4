#include "pages/page.h"

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
