// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/image_view.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// A resize this soon after the last one counts as a step of a live resize; from the third such
// step on, the picture (a map or a chart costs tens of milliseconds at a large size) is only
// scaled, and drawn anew SettleMs after the last step. A single resize draws at once.
constexpr int QuickResizeMs = 50;
constexpr int QuickResizesBeforeScaling = 2;
constexpr int SettleMs = 120;
} // namespace

ImageView::ImageView(const QString &objectName, QWidget *parent) : QWidget(parent)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(SettleMs);
    connect(m_settle, &QTimer::timeout, this, [this] {
        m_interim = false;
        m_quickResizes = 0;
        if (isVisible())
            emit needsDrawing();
        update();
    });
}

void ImageView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

QSize ImageView::pixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(std::max(1, int(std::lround(width() * ratio))), std::max(1, int(std::lround(height() * ratio))));
}

QImage &ImageView::prepareImage()
{
    const qreal ratio = devicePixelRatioF();
    const QSize size = pixelSize();
    if (m_image.size() != size || m_image.devicePixelRatio() != ratio) {
        m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_image.setDevicePixelRatio(ratio);
        m_image.fill(Qt::black);
    }
    return m_image;
}

QRectF ImageView::imageRect() const
{
    if (m_image.isNull())
        return QRectF();
    // Centred, the corner on a screen pixel, so that an image drawn at the screen's ratio is
    // shown pixel for pixel (no resampling).
    const qreal ratio = devicePixelRatioF();
    const QSizeF size = m_image.deviceIndependentSize();
    const double left = std::floor((width() - size.width()) / 2 * ratio) / ratio;
    const double top = std::floor((height() - size.height()) / 2 * ratio) / ratio;
    return QRectF(QPointF(left, top), size);
}

QPointF ImageView::imagePixelAt(QPointF position) const
{
    return (position - imageRect().topLeft()) * m_image.devicePixelRatio();
}

QPointF ImageView::positionOfImagePixel(QPoint pixel) const
{
    return imageRect().topLeft() + (QPointF(pixel) + QPointF(0.5, 0.5)) / m_image.devicePixelRatio();
}

void ImageView::setBackground(const QColor &colour)
{
    m_background = colour;
    // A transparent background lets the parent show through (the moon's transparent image).
    setAttribute(Qt::WA_OpaquePaintEvent, !colour.isValid() || colour.alpha() == 255);
    update();
}

bool ImageView::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    // Sent when the window moves to another screen, whose pixel ratio may differ.
    if (event->type() == QEvent::ScreenChangeInternal && isVisible())
        emit needsDrawing();
    // A theme change at run time: pictures drawn in the theme's colours are drawn anew.
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) && isVisible())
        emit needsDrawing();
    return handled;
}

void ImageView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_interim && !m_image.isNull()) {
        // The earlier picture, scaled to fit with its shape kept, until the size settles.
        const QSizeF fit = m_image.deviceIndependentSize().scaled(QSizeF(width(), height()), Qt::KeepAspectRatio);
        const QRectF at(QPointF((width() - fit.width()) / 2, (height() - fit.height()) / 2), fit);
        painter.fillRect(rect(), m_background.isValid() ? QBrush(m_background) : palette().window());
        painter.drawImage(at, m_image);
        return;
    }
    const QRectF at = imageRect();
    if (!at.contains(QRectF(rect())) || m_image.hasAlphaChannel())
        painter.fillRect(rect(), m_background.isValid() ? QBrush(m_background) : palette().window());
    if (!m_image.isNull())
        painter.drawImage(at.topLeft(), m_image);
    if (hasFocus()) {
        // 2 px, inside the view: the highlight reads on the light and the dark theme alike.
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight), FocusFrameWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const qreal half = FocusFrameWidth / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
    }
}

void ImageView::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
    emit keyPressed(event);
    if (!event->isAccepted())
        QWidget::keyPressEvent(event);
}

void ImageView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    emit focusChanged(true);
}

void ImageView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
    emit focusChanged(false);
}

void ImageView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    emit pressed(event->position(), event->button());
}

void ImageView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    emit moved(event->position());
}

void ImageView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    emit released(event->position(), event->button());
}

void ImageView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_doubleClicks) {
        event->accept();
        emit doubleClicked(event->position());
    } else {
        mousePressEvent(event);
    }
}

void ImageView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    emit left();
}

void ImageView::contextMenuEvent(QContextMenuEvent *event)
{
    // Without a menu of its own the request goes on to the parent.
    if (!isSignalConnected(QMetaMethod::fromSignal(&ImageView::contextMenuRequested))) {
        event->ignore();
        return;
    }
    event->accept();
    emit contextMenuRequested(event->globalPos());
}

void ImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isVisible())
        return;
    const bool quick = m_sinceResize.isValid() && m_sinceResize.elapsed() < QuickResizeMs;
    m_quickResizes = quick ? m_quickResizes + 1 : 0;
    if (m_quickResizes >= QuickResizesBeforeScaling && !m_image.isNull()) {
        m_interim = true;
        m_settle->start();
        update();
    } else {
        m_settle->stop();
        m_interim = false;
        emit needsDrawing();
    }
    // Counted from the end of the handling: a slow drawing does not hide the next quick step.
    m_sinceResize.start();
}

void ImageView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_settle->stop();
    m_interim = false;
    m_quickResizes = 0;
    emit needsDrawing();
}
