// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history view of the Chart page: the recorded water and slave temperature and input
// voltage of one controller over a day, week, month or year. The wheel zooms around the
// mouse, dragging pans, and the value and time under the mouse are shown.

#include "history/history_chart.h"
#include "history/history_store.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QCheckBox;

class HistoryCanvas : public QWidget {
    Q_OBJECT
public:
    explicit HistoryCanvas(QWidget *parent = nullptr);
    void setImage(const QImage &image) { m_image = image; update(); }
    const QImage &image() const { return m_image; }
    double hoverX = -1; // pixel column under the mouse, -1 outside

signals:
    void resized();
    void zoom(double atX, double factor);
    void pan(double pixels);
    void hover(double x);

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void changeEvent(QEvent *) override;
    void wheelEvent(QWheelEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void leaveEvent(QEvent *) override;

private:
    QImage m_image;
    double m_dragX = -1;
};

class HistoryView : public QWidget {
    Q_OBJECT
public:
    enum Span { Day, Week, Month, Year };
    static constexpr double SpanMinutes[4] = {1440, 7 * 1440, 31 * 1440, 365 * 1440};

    explicit HistoryView(QWidget *parent = nullptr);

    // Where the history is and which controller to show (the connected one, else the one
    // recorded last). Reading starts once the file exists.
    void setSource(const QString &path, std::function<QString()> controller);
    std::function<bool()> Fahrenheit;
    std::function<qint64()> Clock; // milliseconds since the epoch; tests set it

    // The span, or less when less was recorded; ending now (see HistoryFitSpan).
    void showSpan(Span span);
    // A window of the user's choice, kept on the data (see HistoryClampWindow).
    void setWindow(double fromMinute, double toMinute);
    // A window that ends now moves with it.
    bool followsNow() const { return m_followNow; }
    double from() const { return m_from; }
    double to() const { return m_to; }
    // Reads the shown window again and redraws (when visible or forced).
    void reload(bool force = false);
    void retranslate();
    void zoomAt(double x, double factor);
    void panBy(double pixels);

    const HistoryChartInput &input() const { return m_input; }
    HistoryCanvas *canvas() const { return m_canvas; }
    QLabel *pointLabel() const { return m_point; }
    QString controller() const { return m_controller; }

    QPushButton *btnExport = nullptr;
    QPushButton *btnAlerts = nullptr;

protected:
    void showEvent(QShowEvent *) override;

private:
    void updatePoint(double x);
    qint64 nowMinute() const;

    QPushButton *m_spans[4] = {};
    QCheckBox *m_series[HistorySeriesCount] = {};
    HistoryCanvas *m_canvas = nullptr;
    QLabel *m_point = nullptr;
    QString m_path;
    std::function<QString()> m_controllerOf;
    std::unique_ptr<HistoryStore> m_store;
    QString m_controller;
    HistoryChartInput m_input;
    // Reads where the controller's recording begins and ends.
    void readExtent();

    double m_from = 0, m_to = 1440;
    bool m_followNow = true;
    double m_spanCap = SpanMinutes[Day]; // a span button's minutes; 0 after a zoom or a pan
    HistoryExtent m_extent;
};
