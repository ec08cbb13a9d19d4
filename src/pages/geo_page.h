#pragma once
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QWidget>

#include "pages/page.h"

class PageHost;
class LabeledEdit;
class QDateEdit;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;

// The world map at scale 1 (one bitmap pixel per widget pixel), shown in a scroll area.
// Mouse positions are reported in bitmap pixels.
class GeoMapView : public QWidget {
    Q_OBJECT
public:
    explicit GeoMapView(QWidget *parent = nullptr);
    const QImage &image() const { return m_image; }
    // Shows the bitmap; the view repaints once.
    void setImage(const QImage &image);
    QSize sizeHint() const override;

signals:
    void mousePressed(QPoint pixel);
    void mouseMoved(QPoint pixel);
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QImage m_image;
};

// The 60 x 60 moon drawing; a double click is reported.
class MoonView : public QWidget {
    Q_OBJECT
public:
    explicit MoonView(QWidget *parent = nullptr);
    const QImage &image() const { return m_image; }
    void setImage(const QImage &image);

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QImage m_image;
};

// The Geo page: the place the controller's sun follows (map, latitude and longitude) and the
// controller's date and time, with the sun and the moon seen from that place at that time.
// Every change goes into the device image and is flagged for sending.
class GeoPage : public QObject, public Page {
    Q_OBJECT
public:
    explicit GeoPage(PageHost &host);

    QList<QWidget *> sheets() const override { return {m_sheet}; }
    // The notice that the page changes nothing while no controller is connected.
    void applyEnabling(const EnableState &state) override;
    // The page is drawn from the image whenever it comes into view.
    void pageShown(QWidget *sheet, unsigned missed) override;

    // The map as drawn from the land data; every redraw starts from it. Decoding and drawing
    // it takes long enough to delay the window's first appearance, so it is done on the first
    // call (when the page is first shown), not at start.
    const QImage &WorldMap() const;

    // Recomputes and redraws the page from the device image.
    void UpdateGeoView();

    // The controller's clock := this computer's, time-lapse off.
    void btnNowClick();

    void imgGeoMouseDown(QPoint pixel);
    void imgGeoMouseMove(QPoint pixel);
    void imgGeoMouseLeave();
    void edtLatChange();
    void dtpChange();
    void trbTimeChange();
    void edtTimeChange();
    void imgMoonDblClick();

    GeoMapView *imgGeo = nullptr;
    QScrollArea *scrollGeo = nullptr;
    MoonView *imgMoon = nullptr;
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
    // Scrolls the map so that the marker is in view (when the page is shown and after typed
    // coordinates; never on a refresh, which would undo the user's scrolling).
    void revealMarker();
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
    bool m_showing = false;   // in pageShown: the view is drawn once at its end
};
