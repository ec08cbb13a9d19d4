// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/channels_page.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSlider>
#include <QLabel>

#include "presentation/localization.h"
#include "widgets/accessible_summary.h"
#include "widgets/tint.h"
#include "widgets/widgets.h"
#include "link/device_model.h"
#include "pages/page_host.h"
#include "presentation/number_format.h"

namespace {
QString n(const char *prefix, int i) { return QString::fromLatin1(prefix) + QString::number(i); }

bool listShown(const QComboBox *combo) { return combo && combo->view() && combo->view()->isVisible(); }
} // namespace

template <class T> T *ChannelsPage::control(const QString &name)
{
    QPointer<QObject> &found = m_controls[name];
    for (QWidget *sheet : m_sheets)
        if (!found)
            found = sheet->findChild<T *>(name);
    return qobject_cast<T *>(found.data());
}

ChannelsPage::ChannelsPage(PageHost &host, DeviceModel &model)
    : QObject(host.window()), Page(model),
      w(host),
      m_sheets{host.page(QStringLiteral("tsChannels")), host.page(QStringLiteral("tsChannelsGL"))}
{
    buildPage(m_sheets[0], 0);
    buildPage(m_sheets[1], 6);

    auto on = [this](const char *item, void (ChannelsPage::*handler)()) {
        connect(w.action(QString::fromLatin1(item)), &QAction::triggered, this, handler);
    };
    on("mnuAllOff", &ChannelsPage::mnuAllOffClick);
    on("mnuAll20", &ChannelsPage::mnuAll20Click);
    on("mnuAllOn", &ChannelsPage::mnuAllOnClick);
    on("mnuStepBig", &ChannelsPage::mnuStepBigClick);
}

void ChannelsPage::buildPage(QWidget *page, int firstChannel)
{
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    for (int row = 0; row < 6; ++row) {
        const int i = firstChannel + row;
        auto *name = new QLabel(QStringLiteral("Label for channel %1").arg(ChannelLetter(i)), page);
        name->setObjectName(n("lblName", i));
        auto *colour = new QComboBox(page);
        colour->setObjectName(n("cmbName", i));
        colour->setMinimumContentsLength(12);
        auto *slider = new QSlider(Qt::Horizontal, page);
        slider->setObjectName(n("trb", i));
        slider->setRange(0, LevelFull);
        slider->setPageStep(128);
        slider->setSingleStep(16);
        slider->setTickInterval(512);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setMinimumWidth(240);
        slider->setProperty("accessibleRange", QStringList{LevelPercentText(0), LevelPercentText(LevelFull)});
        slider->setProperty(AccessibleScaleProperty, 1.0 / LevelPerPercent);
        auto *percent = new LabeledEdit(n("edt", i), page, LabeledEdit::LabelRight);
        percent->setCaption(QStringLiteral("%"));
        percent->edit()->setFixedWidth(64);
        percent->edit()->setAlignment(Qt::AlignRight);
        percent->setText(QStringLiteral("0"));
        auto *off = new QPushButton(QStringLiteral("OFF"), page);
        off->setObjectName(n("btnOff", i));
        auto *onButton = new QPushButton(QStringLiteral("ON"), page);
        onButton->setObjectName(n("btnOn", i));

        // Row pairs: the name above, the controls below, so that six channels fill the page.
        grid->addWidget(name, row * 2, 0, 1, 2);
        grid->addWidget(colour, row * 2 + 1, 0);
        grid->addWidget(slider, row * 2 + 1, 1);
        grid->addWidget(percent, row * 2 + 1, 2);
        grid->addWidget(off, row * 2 + 1, 3);
        grid->addWidget(onButton, row * 2 + 1, 4);
        grid->setRowMinimumHeight(row * 2 + 1, 34);

        connect(slider, &QSlider::valueChanged, this, [this, i] { trbAChange(i); });
        connect(percent, &LabeledEdit::textChanged, this, [this, i] { edtAChange(i); });
        connect(off, &QPushButton::clicked, this, [this, i] { btnOffAClick(i); });
        connect(onButton, &QPushButton::clicked, this, [this, i] { btnOnAClick(i); });
        // activated: only a choice the user made, never an index set by a refresh.
        connect(colour, &QComboBox::activated, this, [this, i] { cmbNameAChange(i); });
    }
    grid->setRowStretch(12, 1);
}

void ChannelsPage::fillColourLists()
{
    const QStringList names = ColorNames();
    for (int i = 0; i < ChannelCount; ++i) {
        if (auto *combo = control<QComboBox>(n("cmbName", i))) {
            const QSignalBlocker quiet(combo);
            combo->clear();
            combo->addItems(names);
        }
    }
}

void ChannelsPage::trbAChange(int i)
{
    auto *slider = control<QSlider>(n("trb", i));
    if (!slider || !slider->hasFocus())
        return;
    if (slider->value() == device().Info.Level[i])
        return;
    if (auto *edit = control<LabeledEdit>(n("edt", i)))
        edit->setText(LevelPercentText(slider->value()));
    model().setLevel(i, uint16_t(slider->value()));
}

void ChannelsPage::edtAChange(int i)
{
    auto *edit = control<LabeledEdit>(n("edt", i));
    if (!edit || !edit->editHasFocus())
        return;
    const std::optional<double> percent = ParseDecimal(edit->text());
    if (!percent)
        return;
    // A percentage beyond 0..100 would ask the controller for a level it cannot show;
    // it is limited like the slider, while the edit keeps what was typed.
    const uint16_t level = PercentToLevel(*percent);
    if (auto *slider = control<QSlider>(n("trb", i)))
        slider->setValue(level);
    model().setLevel(i, level);
}

void ChannelsPage::showLevel(int i, int level)
{
    if (auto *slider = control<QSlider>(n("trb", i)))
        slider->setValue(level);
    if (auto *edit = control<LabeledEdit>(n("edt", i)))
        edit->setText(LevelPercentText(level));
}

void ChannelsPage::btnOffAClick(int i)
{
    showLevel(i, 0);
    model().setLevel(i, 0);
}

void ChannelsPage::btnOnAClick(int i)
{
    showLevel(i, LevelFull);
    model().setLevel(i, LevelFull);
}

void ChannelsPage::setAll(int level)
{
    if (w.currentPage() != m_sheets[1])
        w.selectPage(m_sheets[0]);
    for (int i = 0; i < ChannelCount; ++i)
        showLevel(i, level);
    model().setAllLevels(uint16_t(level));
}

void ChannelsPage::cmbNameAChange(int i)
{
    auto *combo = control<QComboBox>(n("cmbName", i));
    if (!combo || combo->currentIndex() < 0)
        return;
    model().setChannelName(i, uint8_t(combo->currentIndex()));
}

void ChannelsPage::mnuStepBigClick()
{
    QAction *item = w.action(QStringLiteral("mnuStepBig"));
    // The item is checkable, so the click has already toggled the mark.
    const bool big = item->isChecked();
    model().editConfig([big](ConfigRecord &c) {
        c.Flag = big ? uint8_t(c.Flag | FlagBigStep) : uint8_t(c.Flag & ~FlagBigStep);
    });
}

void ChannelsPage::showInfo()
{
    if (!w.window()->isVisible())
        return;
    for (int i = 0; i < ChannelCount; ++i) {
        auto *slider = control<QSlider>(n("trb", i));
        if (slider && !slider->hasFocus())
            slider->setValue(device().Info.Level[i]);
        auto *edit = control<LabeledEdit>(n("edt", i));
        if (edit && !edit->editHasFocus())
            edit->setText(LevelPercentText(device().Info.Level[i]));
    }
}

void ChannelsPage::applyEnabling(const EnableState &state) { m_rules.apply(w, m_sheets, state); }

void ChannelsPage::showChannelNames()
{
    for (int i = 0; i < ChannelCount; ++i) {
        const int colour = device().Config.ColorName[i];
        if (auto *combo = control<QComboBox>(n("cmbName", i)); combo && !listShown(combo)) {
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(colour < combo->count() ? colour : -1);
        }
        if (auto *edit = control<LabeledEdit>(n("edt", i)))
            SetTint(edit->edit(), ColorTint(colour));
    }
}
