// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>

#include "link/device_model.h"

class QWidget;

// What a refresh brings into the controls: the parts of the device image that changed, as
// the model's change signal names them.
enum Refresh : unsigned {
    RefreshInfo = PartInfo,
    RefreshConfig = PartConfig,
    RefreshChannelNames = PartChannelNames,   // colour names and tints of the twelve channels
    RefreshExpert = PartExpert,
    RefreshExpertWeather = PartExpertWeather,
    RefreshSchedule = PartSchedule,           // the schedule lines (the grid is filled anew)
    RefreshChart = PartChart,                 // the controller's sensor chart
};

// What the enabling rules of the device-dependent controls depend on, taken from the
// connection state and the device image.
struct EnableState {
    bool connected = false;
    int mode = 0;          // Config "Mode"
    bool sensor = false;   // connected and a water temperature is reported
    bool slave = false;    // connected and a slave temperature is reported
    int fanMode = 0;       // Expert "FanMode"

    bool manual() const { return connected && mode == 0; }
    bool weatherTrigger() const { return connected && (mode == 1 || mode == 2); }
    bool operator==(const EnableState &) const = default;
};

// The state the enabling rules see, read from the device image.
EnableState CurrentEnableState(const DeviceImage &image, bool connected);

// One part of the window: a page (or a few pages drawn by the same code) or a set of menu
// commands. The window keeps its parts in tab order and calls them in loops; a part paints
// and enables only its own widgets and reaches the rest of the window through PageHost.
//
// A refresh reaches a part at once while one of its sheets is the current page (or when it
// has no sheet); otherwise the window remembers it and passes it on in pageShown.
//
// A part reads the controller's state from its model and changes it only through the
// model's edits.
class Page {
public:
    explicit Page(DeviceModel &model) : m_model(model) {}
    virtual ~Page() = default;

    // The tab sheets the part draws; none for a command set.
    virtual QList<QWidget *> sheets() const { return {}; }

    // Brings the controls up to date with the records named in `what` (Refresh bits), in
    // the order Config, channel names, Expert, ExpertWeather, schedule, chart, Info.
    void refresh(unsigned what);

    // Enables the part's device-dependent controls; runs whenever the state changes.
    virtual void applyEnabling(const EnableState &) {}

    // One of the part's sheets became the current page; `missed` holds the refreshes that
    // came while none was. The default runs them.
    virtual void pageShown(QWidget *sheet, unsigned missed);

    // The controller's state this part shows and edits.
    DeviceModel &model() const { return m_model; }
    const DeviceImage &device() const { return m_model.image(); }

protected:
    virtual void showInfo() {}
    virtual void showConfig() {}
    virtual void showChannelNames() {}
    virtual void showExpert() {}
    virtual void showExpertWeather() {}
    virtual void showSchedule() {}
    virtual void showChart() {}

private:
    DeviceModel &m_model;
};
