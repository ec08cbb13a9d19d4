// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/settings_pair.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

#include "presentation/number_format.h"
#include "widgets/accessible_summary.h"
#include "widgets/widgets.h"
#include "link/device_model.h"

SettingsPair::SettingsPair(DeviceModel &model, QWidget *parent, const QString &name, const QString &caption,
                           Range range, PairScale scale, Binding binding)
    : m_model(model),
      m_slider(new QSlider(Qt::Horizontal, parent)),
      m_edit(new LabeledEdit(QStringLiteral("edt") + name, parent)),
      m_range(range),
      m_scale(scale),
      m_binding(std::move(binding))
{
    m_slider->setObjectName(QStringLiteral("trb") + name);
    m_slider->setRange(range.min, range.max);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(range.pageStep);
    m_slider->setTickInterval(range.tickInterval);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setMinimumWidth(80);
    m_edit->setCaption(caption);
    // What the pair's accessible description gives as the range: as the field shows it.
    m_slider->setProperty("accessibleRange", QStringList{PairText(scale, range.min), PairText(scale, range.max)});
    const double shownPerStep = scale == PairScale::Tenths         ? 0.1
                                : scale == PairScale::PercentOf255 ? 100.0 / 255
                                : scale == PairScale::Moon         ? 1.0 / LevelPerPercent
                                                                   : 1.0;
    if (shownPerStep != 1.0)
        m_slider->setProperty(AccessibleScaleProperty, shownPerStep);
    m_edit->edit()->setFixedWidth(72);
    m_edit->edit()->setAlignment(Qt::AlignRight);

    QObject::connect(m_slider, &QSlider::valueChanged, m_slider, [this] { sliderMoved(); });
    QObject::connect(m_edit, &LabeledEdit::textChanged, m_edit, [this] { editChanged(); });
}

int SettingsPair::position() const { return m_slider->value(); }

void SettingsPair::sliderMoved()
{
    if (!m_slider->hasFocus())
        return;
    int value = m_slider->value();
    if (limitMove) {
        const int limit = std::clamp(limitMove(value), m_range.min, m_range.max);
        if (limit != value) {
            // Moved to the limit before the value is taken; the handler is already running.
            const QSignalBlocker quiet(m_slider);
            m_slider->setValue(limit);
            value = limit;
        }
    }
    m_edit->setText(PairText(m_scale, value));
    store(value);
    if (afterChange)
        afterChange();
}

void SettingsPair::editChanged()
{
    if (!m_edit->editHasFocus())
        return;
    const std::optional<int> value = ParsePairText(m_scale, m_edit->text(), m_range.min, m_range.max);
    if (!value)
        return;
    // The slider has no focus now, so its own handler ignores this.
    m_slider->setValue(*value);
    store(*value);
    if (afterChange)
        afterChange();
}

void SettingsPair::store(int value)
{
    m_model.editSetting(m_binding.request, [&](DeviceImage &d) { m_binding.set(d, value); });
}

void SettingsPair::show(bool evenFocused)
{
    const std::optional<int> field = m_binding.get(m_model.image());
    if (!field)
        return;
    const int position = std::clamp(*field, m_range.min, m_range.max);
    const int shown = editShowsPosition ? position : *field;
    if (evenFocused) {
        const QSignalBlocker quietSlider(m_slider);
        const QSignalBlocker quietEdit(m_edit);
        m_slider->setValue(position);
        m_edit->setText(PairText(m_scale, shown));
        return;
    }
    if (!m_slider->hasFocus())
        m_slider->setValue(position);
    if (!m_edit->editHasFocus())
        m_edit->setText(PairText(m_scale, shown));
}

void SettingsPair::setBoth(int value)
{
    const QSignalBlocker quietSlider(m_slider);
    const QSignalBlocker quietEdit(m_edit);
    m_slider->setValue(value);
    m_edit->setText(PairText(m_scale, m_slider->value()));
}

void SettingsPair::addTo(QGridLayout *grid, int row, int column)
{
    // Tab goes as the eye reads: the pair of the row above, this edit, then its slider.
    if (row > 0)
        if (QLayoutItem *above = grid->itemAtPosition(row - 1, column + 1))
            if (auto *slider = qobject_cast<QSlider *>(above->widget()))
                QWidget::setTabOrder(slider, m_edit->edit());
    QWidget::setTabOrder(m_edit->edit(), m_slider);
    grid->addWidget(m_edit, row, column, Qt::AlignLeft | Qt::AlignBottom);
    grid->addWidget(m_slider, row, column + 1, Qt::AlignBottom);
}

QGroupBox *PairGroup(QWidget *page, const char *name, const char *title)
{
    auto *box = new QGroupBox(QString::fromLatin1(title), page);
    box->setObjectName(QString::fromLatin1(name));
    auto *grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(10);
    return box;
}
