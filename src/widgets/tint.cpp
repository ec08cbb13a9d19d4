// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/tint.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "presentation/contrast.h"

namespace {

constexpr const char *TintProperty = "aqualumoraTint";

// A tint's text colours are chosen against the theme's text colours, so they are chosen again
// when the theme (the application's palette) changes at run time; the widget's own palette
// would otherwise keep those of the theme it was tinted under. The application hears of the
// change; the tinted widgets are found by their property once the change has gone through (a
// theme change may set the style and the palette one after the other).
class TintFollower : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange && !m_queued) {
            m_queued = true;
            QMetaObject::invokeMethod(this, [this] {
                m_queued = false;
                for (QWidget *widget : QApplication::allWidgets())
                    if (const QColor tint = widget->property(TintProperty).value<QColor>(); tint.isValid())
                        SetTint(widget, tint);
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_queued = false;
};

} // namespace

void SetLegibleColours(QPalette &palette, const QPalette &theme, QPalette::ColorRole backgroundRole,
                       QPalette::ColorRole textRole, const QColor &background)
{
    const QRgb base = background.rgb();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, backgroundRole, background);
        palette.setColor(group, textRole, QColor(contrast::TextOn(base, theme.color(group, textRole).rgb())));
    }
    // A disabled field keeps its tint (it still tells which channel it is) and shows a fainter
    // form of the enabled text, never the style's grey that vanishes on colour.
    palette.setColor(QPalette::Disabled, backgroundRole, background);
    palette.setColor(QPalette::Disabled, textRole,
                     QColor(contrast::DisabledOn(base, theme.color(QPalette::Active, textRole).rgb())));
}

void SetTint(QWidget *widget, const QColor &tint)
{
    if (!widget)
        return;
    static TintFollower *follower = nullptr;
    if (!follower) {
        follower = new TintFollower(qApp);
        qApp->installEventFilter(follower);
    }
    widget->setProperty(TintProperty, tint);
    // Only the tint's two roles are set on the widget: a copy of its whole palette would fix
    // every other colour of the theme at hand, and the widget would follow no theme change.
    QPalette palette;
    SetLegibleColours(palette, QApplication::palette(widget), QPalette::Base, QPalette::Text, tint);
    const QPalette &now = widget->palette();
    bool same = widget->testAttribute(Qt::WA_SetPalette);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Text})
            same = same && now.color(group, role) == palette.color(group, role);
    if (!same)
        widget->setPalette(palette);
}
