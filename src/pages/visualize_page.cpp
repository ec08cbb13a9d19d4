// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/visualize_page.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "pages/page_host.h"
#include "schedule/schedule_edit.h"
#include "presentation/localization.h"
#include "link/device_model.h"
#include "widgets/accessible_summary.h"
#include "widgets/image_view.h"

// ---------------------------------------------------------------------------
// The page

VisualizePage::VisualizePage(PageHost &host, DeviceModel &model)
    : QObject(host.window()), Page(model), w(host), m_page(host.page(QStringLiteral("tsVisualize")))
{
    auto *layout = new QVBoxLayout(m_page);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(6);

    img = new ImageView(QStringLiteral("img"), m_page);
    img->setCursor(Qt::CrossCursor);
    // Tab reaches the chart: its points are edited by keys too.
    img->setFocusPolicy(Qt::StrongFocus);
    img->setMinimumSize(240, 120);
    img->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(img, 1);

    auto *strip = new QHBoxLayout;
    strip->setContentsMargins(8, 0, 8, 0);
    strip->setSpacing(8);
    lblVisualize = new QLabel(QStringLiteral("Adjust the following channel by click and drag:"), m_page);
    lblVisualize->setObjectName(QStringLiteral("lblVisualize"));
    cmbVisualize = new QComboBox(m_page);
    cmbVisualize->setObjectName(QStringLiteral("cmbVisualize"));
    cmbVisualize->setMinimumContentsLength(16);
    cmbVisualize->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (int i = 0; i < ChannelCount; ++i)
        cmbVisualize->addItem(ChannelCaption(i, device().Config.ColorName[i]));
    cmbVisualize->setCurrentIndex(w.scheduleEdit().visualChannel);
    lblVisualize->setBuddy(cmbVisualize);
    cbxTimeLock = new QCheckBox(QStringLiteral("Lock times"), m_page);
    cbxTimeLock->setObjectName(QStringLiteral("cbxTimeLock"));
    strip->addWidget(lblVisualize);
    strip->addWidget(cmbVisualize);
    strip->addSpacing(16);
    strip->addWidget(cbxTimeLock);
    strip->addStretch(1);
    layout->addLayout(strip);

    tmrVisualize = new QTimer(this);
    tmrVisualize->setObjectName(QStringLiteral("tmrVisualize"));
    tmrVisualize->setInterval(DragRedrawMs);

    connect(img, &ImageView::pressed, this, &VisualizePage::imgMouseDown);
    connect(img, &ImageView::moved, this, &VisualizePage::imgMouseMove);
    connect(img, &ImageView::released, this, &VisualizePage::imgMouseUp);
    connect(img, &ImageView::needsDrawing, this, &VisualizePage::DrawLightCurves);
    connect(img, &ImageView::keyPressed, this, &VisualizePage::imgKeyPress);
    // The ring of the selected point shows only while the keys reach it.
    // Not while the window goes inactive or closes: the focus stays or the page's host is
    // already being torn down.
    connect(img, &ImageView::focusChanged, this, [this](bool focused) {
        if (!img->isActiveWindow())
            return;
        if (focused && m_selectedLine < 0 && !device().Schedule.empty())
            m_selectedLine = 0;
        DrawLightCurves();
    });
    connect(tmrVisualize, &QTimer::timeout, this, &VisualizePage::tmrVisualizeTimer);
    // activated: only a choice of the user, never the index set by a refill of the list.
    connect(cmbVisualize, &QComboBox::activated, this, &VisualizePage::cmbVisualizeChange);
}

bool VisualizePage::isActivePage() const { return w.currentPage() == m_page; }

void VisualizePage::DrawLightCurves()
{
    const bool geo = device().Config.Mode == ModeGeo;
    m_geoDrawn = geo;
    cbxTimeLock->setVisible(!geo);

    QImage &image = img->prepareImage();
    const curves::ChartGeometry g = curves::GeometryOf(image);
    curves::ChartInput input;
    input.lines = device().Schedule;
    std::copy(std::begin(device().Config.ColorName), std::end(device().Config.ColorName), input.colourIndex.begin());
    input.geo = geo;
    input.visualChannel = std::clamp(w.scheduleEdit().visualChannel, 0, ChannelCount - 1);
    input.dragLine = w.scheduleEdit().dragLine;
    if (m_selectedLine >= int(device().Schedule.size()))
        m_selectedLine = int(device().Schedule.size()) - 1;
    if (img->hasFocus()) {
        input.selectedLine = m_selectedLine;
        // Its time and level are told as while dragging.
        if (input.dragLine < 0)
            input.dragLine = m_selectedLine;
    }
    input.font = w.window()->font();
    if (geo)
        input.markerX = curves::GeoMarkerX(g, device().Info, device().Config);
    else
        input.markerX = curves::TimeMarkerX(g, device().Info.Hour, device().Info.Minute);
    curves::DrawLightCurves(image, input, m_points);

    // One point per line: that of the channel being edited.
    std::vector<QPoint> &points = w.scheduleEdit().curvePoints;
    points.assign(device().Schedule.size(), QPoint());
    const std::size_t shared = std::min(points.size(), m_points.size());
    for (std::size_t k = 0; k < shared; ++k)
        points[k] = QPoint(int(std::lround(m_points[k].x)),
                                int(std::lround(m_points[k].y[std::size_t(input.visualChannel)])));
    img->update();
    describeCurves(input.visualChannel);
}

void VisualizePage::describeCurves(int channel)
{
    SetAccessibleSummary(img, Translate(QStringLiteral("AccCurvesName")),
                         TranslateFmt(QStringLiteral("AccCurvesSummary"),
                                      {QString::number(device().Schedule.size()),
                                       ChannelCaption(channel, device().Config.ColorName[channel])}));
}

void VisualizePage::showConfig()
{
    // Geo draws altitudes instead of clock times.
    if ((device().Config.Mode == ModeGeo) != m_geoDrawn)
        DrawLightCurves();
}

void VisualizePage::showChannelNames()
{
    if (cmbVisualize->view() && cmbVisualize->view()->isVisible())
        return;
    // The list is filled anew only when a name changed: refilling it with every read of
    // Config would cost more than the rest of the refresh.
    bool sameNames = cmbVisualize->count() == ChannelCount;
    for (int i = 0; sameNames && i < ChannelCount; ++i)
        sameNames = cmbVisualize->itemText(i) == ChannelCaption(i, device().Config.ColorName[i]);
    const QSignalBlocker quiet(cmbVisualize);
    if (!sameNames) {
        cmbVisualize->clear();
        for (int i = 0; i < ChannelCount; ++i)
            cmbVisualize->addItem(ChannelCaption(i, device().Config.ColorName[i]));
    }
    cmbVisualize->setCurrentIndex(w.scheduleEdit().visualChannel);
}

void VisualizePage::pageShown(QWidget *, unsigned missed)
{
    // Showing the image draws it (needsDrawing); only the list may be behind.
    refresh(missed & RefreshChannelNames);
}

void VisualizePage::applyEnabling(const EnableState &state) { m_rules.apply(w, {m_page}, state); }

void VisualizePage::VisualChannelChanged()
{
    if (w.scheduleEdit().visualChannel >= 0 && w.scheduleEdit().visualChannel < cmbVisualize->count()) {
        const QSignalBlocker quiet(cmbVisualize);
        cmbVisualize->setCurrentIndex(w.scheduleEdit().visualChannel);
    }
    DrawLightCurves();
}

void VisualizePage::imgMouseDown(QPointF pos)
{
    if (model().scheduleDownloading())
        return;
    tmrVisualize->start();
    // Points of the last drawing, for lines that still exist.
    const std::size_t count = std::min(m_points.size(), device().Schedule.size());
    const int line = curves::HitTest(std::span(m_points.data(), count), w.scheduleEdit().visualChannel, pos);
    if (line >= 0) {
        w.scheduleEdit().dragLine = line;
        m_drag = curves::StartDrag(device().Schedule[std::size_t(line)], w.scheduleEdit().visualChannel,
                                   curves::GeometryOf(img->image()), pos);
    }
}

void VisualizePage::imgMouseMove(QPointF pos)
{
    const int line = w.scheduleEdit().dragLine;
    if (line < 0 || std::size_t(line) >= device().Schedule.size() || model().scheduleDownloading())
        return;
    const curves::ChartGeometry g = curves::GeometryOf(img->image());
    const bool moveTime = !cbxTimeLock->isChecked() && device().Config.Mode != ModeGeo;
    const int channel = w.scheduleEdit().visualChannel;
    // Sent once, when the point is let go.
    model().editScheduleLine(
        line, [&](ScheduleLine &s) { curves::ApplyDrag(s, channel, g, m_drag, pos, moveTime); }, false);
}

void VisualizePage::imgMouseUp()
{
    tmrVisualize->stop();
    if (w.scheduleEdit().dragLine < 0)
        return;
    const int line = w.scheduleEdit().dragLine;
    w.scheduleEdit().dragLine = -1;
    model().markScheduleLinesChanged({line});
    // Once more without the drag label.
    DrawLightCurves();
}

void VisualizePage::tmrVisualizeTimer()
{
    if (w.window()->isVisible())
        DrawLightCurves();
}

void VisualizePage::cmbVisualizeChange(int index)
{
    if (index < 0 || index >= ChannelCount)
        return;
    w.scheduleEdit().visualChannel = index;
    DrawLightCurves();
}

void VisualizePage::imgKeyPress(QKeyEvent *event)
{
    const int lines = int(device().Schedule.size());
    if (lines == 0 || model().scheduleDownloading() || w.scheduleEdit().dragLine >= 0)
        return;
    const bool big = event->modifiers() & Qt::ShiftModifier;
    const int line = std::clamp(m_selectedLine, 0, lines - 1);
    int minutes = 0;
    int level = 0;
    switch (event->key()) {
    case Qt::Key_PageDown: m_selectedLine = (line + 1) % lines; break;
    case Qt::Key_PageUp: m_selectedLine = (line + lines - 1) % lines; break;
    case Qt::Key_Home: m_selectedLine = 0; break;
    case Qt::Key_End: m_selectedLine = lines - 1; break;
    case Qt::Key_Left: minutes = -(big ? BigTimeStepMinutes : TimeStepMinutes); break;
    case Qt::Key_Right: minutes = big ? BigTimeStepMinutes : TimeStepMinutes; break;
    case Qt::Key_Down: level = -(big ? BigLevelStep : LevelStep); break;
    case Qt::Key_Up: level = big ? BigLevelStep : LevelStep; break;
    default: return;
    }
    event->accept();
    if (minutes == 0 && level == 0) {
        DrawLightCurves();
        return;
    }
    m_selectedLine = line;
    // Where the point would be dragged to: the line's present time and level, moved by the
    // step. A locked or Geo time stays, as in a drag.
    const curves::ChartGeometry g = curves::GeometryOf(img->image());
    if (!g.usable())
        return;
    const ScheduleLine &s = device().Schedule[std::size_t(line)];
    const int channel = std::clamp(w.scheduleEdit().visualChannel, 0, ChannelCount - 1);
    const int time = std::clamp(s.Hour * 60 + s.Minute + minutes, 0, curves::MinutesPerDay);
    const int percent = std::clamp(int(s.Color16[channel]) + level, 0, 100);
    // Grabbed right at the point, and with no dead zone: a step smaller than it still moves.
    const QPointF from(g.minutesX(s.Hour * 60 + s.Minute), g.levelY(s.Color16[channel]));
    w.scheduleEdit().dragLine = line;
    m_drag = curves::StartDrag(s, channel, g, from, 0);
    imgMouseMove(QPointF(minutes ? g.minutesX(time) : from.x(), level ? g.levelY(percent) : from.y()));
    imgMouseUp();
}
