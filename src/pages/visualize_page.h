// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QImage>
#include <QObject>
#include <QPointF>

#include <vector>

#include "pages/enable_rules.h"
#include "pages/page.h"
#include "schedule/light_curves.h"

class ImageView;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QTimer;
class PageHost;

// The Visualization page: the light curves of the schedule (img), the channel to edit
// (cmbVisualize), "Lock times" (cbxTimeLock) and dragging a point of the edited channel
// to change its level and, by clock time, its time. tmrVisualize redraws while a point is
// being dragged.
class VisualizePage : public QObject, public Page {
    Q_OBJECT
public:
    VisualizePage(PageHost &host, DeviceModel &model);

    QList<QWidget *> sheets() const override { return {m_page}; }
    void applyEnabling(const EnableState &state) override;
    void pageShown(QWidget *sheet, unsigned missed) override;

    static constexpr int DragRedrawMs = 25;

    void DrawLightCurves();
    // The curves described for screen readers.
    void describeCurves(int channel);
    // The marker follows the controller's clock; the curves follow the schedule.
    void showInfo() override { DrawLightCurves(); }
    void showSchedule() override { DrawLightCurves(); }
    void showConfig() override;
    // The channel list ("A: Red" …) and its choice.
    void showChannelNames() override;
    // VisualChannel was changed elsewhere (the mouse wheel): the list follows, the chart
    // is redrawn.
    void VisualChannelChanged();

    void imgMouseDown(QPointF pos);
    void imgMouseMove(QPointF pos);
    void imgMouseUp();
    void tmrVisualizeTimer();
    void cmbVisualizeChange(int index);

    // Keys on the chart (Tab leaves it as ever): PageDown/PageUp pick the next or the
    // previous point, Home/End the first or the last; Left/Right move its time, Up/Down its
    // level, by the small step or, with Shift, the big one. A move is a drag of that point
    // to the new place: the same edit and the same send.
    void imgKeyPress(QKeyEvent *event);
    static constexpr int TimeStepMinutes = 5;
    static constexpr int BigTimeStepMinutes = 60;
    static constexpr int LevelStep = 1;
    static constexpr int BigLevelStep = 10;
    // The point the keys act on (a schedule line), −1 before the chart had the focus.
    int selectedLine() const { return m_selectedLine; }

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
    PageHost &w;
    QWidget *m_page;
    bool m_geoDrawn = false;
    EnableRules m_rules{{"tsVisualize", Enable::Connected}, {"lblVisualize", Enable::Connected},
                        {"cmbVisualize", Enable::Connected}, {"cbxTimeLock", Enable::Connected}};
    std::vector<curves::CurvePoint> m_points;
    int m_selectedLine = -1;
    // The drag of the point of scheduleEdit().dragLine.
    curves::PointDrag m_drag;
};
