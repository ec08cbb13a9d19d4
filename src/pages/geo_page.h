// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QWidget>

#include <cstdint>

#include "geo/world_map.h"

class ImageView;
#include "pages/page.h"

class PageHost;
class LabeledEdit;
class QDateEdit;
class QLabel;
class QPushButton;
class QSlider;

// The Geo page: the place the controller's sun follows (map, latitude and longitude) and the
// controller's date and time, with the sun and the moon seen from that place at that time.
// Every change goes into the device image and is flagged for sending.
class GeoPage : public QObject, public Page {
    Q_OBJECT
public:
    GeoPage(PageHost &host, DeviceModel &model);

    QList<QWidget *> sheets() const override { return {m_sheet}; }
    // The notice that the page changes nothing while no controller is connected.
    void applyEnabling(const EnableState &state) override;
    // The page is drawn from the image whenever it comes into view.
    void pageShown(QWidget *sheet, unsigned missed) override;

    // The map as drawn from the land data; every redraw starts from it. Decoding and drawing
    // it takes long enough to delay the window's first appearance, so it is done on the first
    // call (when the page is first shown), not at start.
    const QImage &WorldMap() const;
    // The map and the moon described for screen readers.
    void describeView(const QString &skyText);

    // Recomputes and redraws the page from the device image.
    void UpdateGeoView();

    // The controller's clock := this computer's, time-lapse off.
    void btnNowClick();

    // Mouse positions in imgGeo's widget coordinates.
    void imgGeoMouseDown(QPointF position);
    void imgGeoMouseMove(QPointF position);
    void imgGeoMouseLeave();
    void edtLatChange();
    void dtpChange();
    void trbTimeChange();
    void edtTimeChange();
    void imgMoonDblClick();

    // The map fills the page's upper part (MapSizeWithin), drawn at that size.
    ImageView *imgGeo = nullptr;
    ImageView *imgMoon = nullptr;
    QLabel *lblGeo = nullptr;
    QLabel *lblGeoOffline = nullptr;
    LabeledEdit *edtLat = nullptr;
    LabeledEdit *edtLon = nullptr;
    LabeledEdit *edtTime = nullptr;
    QDateEdit *dtp = nullptr;
    QSlider *trbTime = nullptr;
    QPushButton *btnNow = nullptr;

protected:
    // Time edit, time slider and date picker, each unless focused; then the view.
    void showInfo() override;
    // Latitude and longitude edits, each unless focused.
    void showConfig() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPage(QWidget *page);
    // The place under a mouse position on the map, as drawn (the reference map's size
    // before the first drawing).
    GeoPlace placeAt(QPointF position) const;
    // The map is drawn anew when the view's size or pixel ratio changed or it is stale.
    void mapNeedsDrawing();
    // The date picker counts as focused while its calendar is open, since a date picked
    // there arrives while the calendar has the focus.
    bool dtpHasFocus() const;
    void showClock(bool unlessFocused);
    void showDate(const QDate &date);

    // The marker drawn on a fresh copy of the map; the map waits while the page is hidden
    // (m_mapStale) and is drawn when the page is shown.
    void drawMap();
    bool mapShown() const;

    PageHost &w;
    QWidget *m_sheet;
    bool m_mapStale = true;
    int16_t m_markerLat = 0, m_markerLon = 0;   // the place marked on the shown map
    bool m_showing = false;   // in pageShown: the view is drawn once at its end
};
