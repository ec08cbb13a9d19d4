// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/indicator_style.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include "presentation/contrast.h"

namespace {

QRgb mixed(QRgb from, QRgb to, double t)
{
    const auto part = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
    return qRgb(part(qRed(from), qRed(to)), part(qGreen(from), qGreen(to)), part(qBlue(from), qBlue(to)));
}

void wrapApplicationStyle()
{
    QStyle *style = QApplication::style();
    if (!style || qobject_cast<IndicatorStyle *>(style))
        return;
    if (QStyle *base = QStyleFactory::create(style->name()))
        QApplication::setStyle(new IndicatorStyle(base));
}

class StyleFollower : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange && !m_queued) {
            m_queued = true;
            // After the change has gone through: the new style is in place then.
            QMetaObject::invokeMethod(this, [this] {
                m_queued = false;
                wrapApplicationStyle();
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_queued = false;
};

} // namespace

QColor IndicatorOutline(const QPalette &palette, QPalette::ColorGroup group)
{
    const QRgb window = palette.color(group, QPalette::Window).rgb();
    const QRgb enabled = contrast::LegibleOn(
        window, mixed(window, palette.color(QPalette::Active, QPalette::WindowText).rgb(), 0.5), IndicatorMinimumRatio);
    if (group != QPalette::Disabled)
        return QColor(enabled);
    return QColor(contrast::DisabledOn(window, enabled, IndicatorMinimumRatio));
}

void IndicatorStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                   const QWidget *widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton)
        return;
    const QPalette::ColorGroup group = !(option->state & State_Enabled) ? QPalette::Disabled
                                       : (option->state & State_Active) ? QPalette::Active
                                                                        : QPalette::Inactive;
    painter->save();
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(IndicatorOutline(option->palette, group), 1.0));
    if (element == PE_IndicatorCheckBox) {
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    } else {
        // The circle of the common styles: centred, one pixel inside the rectangle; a little
        // more than a pixel wide, so that its smoothed edge keeps the colour's contrast.
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(IndicatorOutline(option->palette, group), 1.5));
        const QRectF r = QRectF(option->rect).adjusted(1, 1, -1, -1);
        const double size = std::min(r.width(), r.height());
        painter->drawEllipse(QRectF(r.center().x() - size / 2 + 0.5, r.center().y() - size / 2 + 0.5, size - 1, size - 1));
    }
    painter->restore();
}

void UseLegibleIndicators(QWidget *window)
{
    wrapApplicationStyle();
    if (window)
        window->installEventFilter(new StyleFollower(window));
}
