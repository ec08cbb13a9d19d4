// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

#include <functional>

class ImageView;
#include "pages/enable_rules.h"
#include "pages/page.h"
#include "schedule/sensor_chart.h"

class QAction;
class QMenu;
class PageHost;

// The Chart page: the sensor chart image and its pop-up menu for the chart source.
class ChartPage : public QObject, public Page {
    Q_OBJECT
public:
    ChartPage(PageHost &host, DeviceModel &model);

    QList<QWidget *> sheets() const override { return {m_sheet}; }
    void applyEnabling(const EnableState &state) override;
    void pageShown(QWidget *sheet, unsigned missed) override;

    // Redraws the chart from the device image at the image control's size.
    void DrawSensorChart();

    void imgTempClick();
    // Enables and checks the pop-up's items for the present sensors and source.
    void pumChartPopup();
    void mnuCHMTempWaterClick() { chooseSource(0); }
    void mnuCHMTempBoardClick() {}   // the board temperature is not offered
    void mnuCHMVoltageClick() { chooseSource(2); }
    void mnuCHMTempSlaveClick() { chooseSource(3); }

    // Drawn at its own size in device pixels; a left click reads the chart, a right click
    // opens pumChart.
    ImageView *imgTemp = nullptr;
    QMenu *pumChart = nullptr;
    // Where the pop-up menu opens; tests replace it to inspect the menu without blocking.
    std::function<void(QMenu *, const QPoint &)> ShowPopup;

protected:
    void showChart() override { DrawSensorChart(); }

private:
    void chooseSource(int source);
    // The chart's colours in the present theme.
    ChartColours colours() const;

    PageHost &w;
    QWidget *m_sheet;
    EnableRules m_rules{{"imgTemp", Enable::Connected}};
    QAction *m_items[4] = {};   // by source: water, board, voltage, slave
    ChartColours m_drawnColours;
};
