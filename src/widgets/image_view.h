// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture drawn elsewhere, shown in a widget: the world map, the moon, the light curves and
// the sensor chart. The pages draw into a QImage (plain code, testable without widgets); this
// view only shows it and passes the mouse and the keys on. With the focus it draws a frame
// in the highlight colour over the picture's edge, which no picture paints over.

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QWidget>

class QKeyEvent;

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(const QString &objectName, QWidget *parent = nullptr);

    // Shows the image centred in the view at its device-independent size (its device pixel
    // ratio taken into account); the rest of the view shows the background. Repaints once.
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }

    // The view's own image, as large as the view in device pixels, for drawing in place: an
    // image of the right size and ratio is kept, so a redraw allocates nothing. Call update()
    // after drawing.
    QImage &prepareImage();

    // The view's size in device pixels and its device pixel ratio.
    QSize pixelSize() const;
    qreal pixelRatio() const { return devicePixelRatioF(); }

    // Where the image lies in widget coordinates: centred, its corner on a device pixel.
    QRectF imageRect() const;
    // The image's device pixel under a widget position (fractional, not limited to the image).
    QPointF imagePixelAt(QPointF position) const;
    // The widget position of the centre of an image pixel.
    QPointF positionOfImagePixel(QPoint pixel) const;

    // Fills the view where no image is (default: the palette's window colour).
    void setBackground(const QColor &colour);
    // Whether a double click is passed on (otherwise it counts as a second press).
    void setReportsDoubleClicks(bool on) { m_doubleClicks = on; }

    static constexpr int FocusFrameWidth = 2;

signals:
    void pressed(QPointF position, Qt::MouseButton button);
    void moved(QPointF position);
    void released(QPointF position, Qt::MouseButton button);
    void doubleClicked(QPointF position);
    void left();
    void contextMenuRequested(QPoint globalPosition);
    // Shown, resized while visible or moved to a screen of another pixel ratio: the picture
    // must be drawn for the view's present size. During a live resize (a run of resizes in
    // quick succession) the present picture is shown scaled instead, and this comes once the
    // size has settled.
    void needsDrawing();
    // A key pressed while the view has the focus; a receiver that acts on it accepts it,
    // any other goes on to the parent.
    void keyPressed(QKeyEvent *event);
    // The focus came or went (the picture may mark what the keys act on).
    void focusChanged(bool focused);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QImage m_image;
    QColor m_background;
    bool m_doubleClicks = false;
    // Live resize: when the last resize was handled, how many came quickly in a row, and the
    // timer that draws anew once they stop.
    QElapsedTimer m_sinceResize;
    int m_quickResizes = 0;
    QTimer *m_settle = nullptr;
    bool m_interim = false;   // m_image is of an earlier size and shown scaled
};
