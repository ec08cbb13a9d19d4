#pragma once
#include <QObject>

#include <functional>

class ImageView;
class QAction;
class QMenu;
class TfrmLumora;

// The Chart page: the sensor chart image and its pop-up menu for the chart source.
class ChartPage : public QObject {
    Q_OBJECT
public:
    explicit ChartPage(TfrmLumora *window);

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

private:
    void chooseSource(int source);

    TfrmLumora *w;
    QAction *m_items[4] = {};   // by source: water, board, voltage, slave
};
