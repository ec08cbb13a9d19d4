// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "presentation/settings_convert.h"

class DeviceModel;
struct DeviceImage;
class LabeledEdit;
class QGroupBox;
class QGridLayout;
class QSlider;
class QWidget;

// A track bar and a labelled edit bound to one field of the device image: "trb" + name and
// "edt" + name. The user's changes reach the field only from the control that has the
// keyboard focus, so values the program shows are never sent back; refreshes skip the
// focused control.
class SettingsPair {
public:
    struct Range {
        int min = 0;
        int max = 0;
        int pageStep = 1;
        int tickInterval = 1;
    };
    struct Binding {
        // The field as a track-bar position; nullopt leaves the controls as they are.
        std::function<std::optional<int>(const DeviceImage &)> get;
        // Stores a position the user chose, inside the model's edit.
        std::function<void(DeviceImage &, int)> set;
        // The write bits of the edit (DeviceModel::editSetting).
        uint32_t request = 0;
    };

    SettingsPair(DeviceModel &model, QWidget *parent, const QString &name, const QString &caption, Range range,
                 PairScale scale, Binding binding);

    SettingsPair(const SettingsPair &) = delete;
    SettingsPair &operator=(const SettingsPair &) = delete;

    QSlider *slider() const { return m_slider; }
    LabeledEdit *edit() const { return m_edit; }
    int position() const;

    // A slider move is limited by this first (the order of three levels); identity if unset.
    std::function<int(int)> limitMove;
    // Runs after every change the user made, after the model's edit.
    std::function<void()> afterChange;
    // The edit shows the slider's (limited) position rather than the raw field.
    bool editShowsPosition = false;

    // The refresh: each control unless it has the focus; with evenFocused both, without
    // letting the change reach the handlers.
    void show(bool evenFocused = false);
    // Both controls show value, whatever has the focus (e.g. "Realtime").
    void setBoth(int value);

    // Places the edit in column `column` and the slider in the next one.
    void addTo(QGridLayout *grid, int row, int column = 0);

private:
    void sliderMoved();
    void editChanged();
    void store(int value);

    DeviceModel &m_model;
    QSlider *m_slider;
    LabeledEdit *m_edit;
    Range m_range;
    PairScale m_scale;
    Binding m_binding;
};

// A group box for rows of pairs: a grid whose slider column takes the spare width.
QGroupBox *PairGroup(QWidget *page, const char *name, const char *title);

// A binding for one field, chosen by select (a lambda taking `auto &image` and returning a
// reference into it, so that it serves the shown and the edited image alike).
template <class Select>
SettingsPair::Binding FieldBinding(Select select, uint32_t request)
{
    return SettingsPair::Binding{
        [select](const DeviceImage &d) { return std::optional<int>(int(select(d))); },
        // Assigned as the field's type assigns an int (the wire types have their own).
        [select](DeviceImage &d, int value) { select(d) = value; },
        request};
}
