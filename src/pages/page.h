#pragma once
#include <QList>

class QWidget;

// What a refresh brings into the controls: the records of the device image that changed.
enum Refresh : unsigned {
    RefreshInfo = 1u << 0,
    RefreshConfig = 1u << 1,
    RefreshChannelNames = 1u << 2,   // colour names and tints of the twelve channels
    RefreshExpert = 1u << 3,
    RefreshExpertWeather = 1u << 4,
    RefreshSchedule = 1u << 5,       // the schedule lines (the grid is filled anew)
    RefreshChart = 1u << 6,          // the controller's sensor chart
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
EnableState CurrentEnableState(bool connected);

// One part of the window: a page (or a few pages drawn by the same code) or a set of menu
// commands. The window keeps its parts in tab order and calls them in loops; a part paints
// and enables only its own widgets and reaches the rest of the window through PageHost.
//
// A refresh reaches a part at once while one of its sheets is the current page (or when it
// has no sheet); otherwise the window remembers it and passes it on in pageShown.
class Page {
public:
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

protected:
    virtual void showInfo() {}
    virtual void showConfig() {}
    virtual void showChannelNames() {}
    virtual void showExpert() {}
    virtual void showExpertWeather() {}
    virtual void showSchedule() {}
    virtual void showChart() {}
};
