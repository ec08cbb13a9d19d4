#pragma once
#include <QImage>
#include <QObject>
#include <QPointF>

#include <vector>

#include "schedule/light_curves.h"

class ImageView;
class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class TfrmLumora;

// The Visualization page: the light curves of the schedule (img), the channel to edit
// (cmbVisualize), "Lock times" (cbxTimeLock) and dragging a point of the edited channel
// to change its level and, by clock time, its time. tmrVisualize redraws while a point is
// being dragged.
class VisualizePage : public QObject {
    Q_OBJECT
public:
    explicit VisualizePage(TfrmLumora *window);

    static constexpr int DragRedrawMs = 25;

    void DrawLightCurves();
    // ShowInfo: the marker follows the controller's clock while the page is in front.
    void showInfo();
    // VisualChannel was changed elsewhere (the mouse wheel): the list follows, the chart
    // is redrawn.
    void VisualChannelChanged();

    void imgMouseDown(QPointF pos);
    void imgMouseMove(QPointF pos);
    void imgMouseUp();
    void tmrVisualizeTimer();
    void cmbVisualizeChange(int index);

    // Positions of the last drawing, one entry per schedule line.
    const std::vector<curves::CurvePoint> &points() const { return m_points; }
    bool isActivePage() const;

    // Drawn at its own size in device pixels; cross-hair cursor.
    ImageView *img = nullptr;
    QLabel *lblVisualize = nullptr;
    QComboBox *cmbVisualize = nullptr;
    QCheckBox *cbxTimeLock = nullptr;
    QTimer *tmrVisualize = nullptr;

private:
    TfrmLumora *w;
    QWidget *m_page;
    std::vector<curves::CurvePoint> m_points;
};
