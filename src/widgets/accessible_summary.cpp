// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/accessible_summary.h"

#include <QAbstractSlider>
#include <QAccessibleWidget>
#include <QWidget>

#include <cmath>

#include "presentation/number_format.h"

namespace {

class ScaledSliderInterface : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ScaledSliderInterface(QAbstractSlider *slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return FormatUpTo(currentValue().toDouble(), 2);
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->value() * scale(); }
    void setCurrentValue(const QVariant &value) override
    {
        slider()->setValue(int(std::lround(value.toDouble() / scale())));
    }
    QVariant maximumValue() const override { return slider()->maximum() * scale(); }
    QVariant minimumValue() const override { return slider()->minimum() * scale(); }
    QVariant minimumStepSize() const override { return slider()->singleStep() * scale(); }

private:
    QAbstractSlider *slider() const { return static_cast<QAbstractSlider *>(widget()); }
    double scale() const { return slider()->property(AccessibleScaleProperty).toDouble(); }
};

QAccessibleInterface *scaledSliderFactory(const QString &, QObject *object)
{
    auto *slider = qobject_cast<QAbstractSlider *>(object);
    if (slider && slider->property(AccessibleScaleProperty).toDouble() > 0)
        return new ScaledSliderInterface(slider);
    return nullptr;
}

} // namespace

void InstallScaledSliderAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(scaledSliderFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void SetAccessibleSummary(QWidget *view, const QString &name, const QString &summary)
{
    if (!view)
        return;
    // Both setters send NameChanged / DescriptionChanged themselves, and only on a change.
    view->setAccessibleName(name);
    view->setAccessibleDescription(summary);
}
