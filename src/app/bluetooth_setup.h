// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

#include <functional>
#include <memory>

#include "bluetooth/bluetooth_api.h"
#include "bluetooth/thd_discover.h"

class TfrmLumora;
class WindowDiscoverHost;

// The window's Bluetooth entries of the Connection menu: "Install devices automatically"
// and "Uninstall devices automatically" start one run at a time of TthdDiscover, whose
// lines go to the message log while the window stays usable.
class BluetoothSetup : public QObject
{
    Q_OBJECT
public:
    explicit BluetoothSetup(TfrmLumora *window);
    // A run still going on is told to stop; the window is not held up by it.
    ~BluetoothSetup() override;

    void mnuDiscoverClick();
    // Ends the link first (with its backup) and forgets the remembered port, since the
    // port goes away with the device.
    void mnuRemoveClick();

    // A run exists and has not finished.
    bool Running() const;
    // Both menu entries are enabled exactly while no run is going on.
    void EnableMenuItems();
    // The most recent run, finished or not; null before the first.
    TthdDiscover *Run() const { return m_run.get(); }

    // The Bluetooth stack of each new run; BlueZ on the system bus when unset.
    std::function<std::shared_ptr<BluetoothApi>()> ApiFactory;
    DiscoverTimings Timings;
    DiscoverSleeper Sleeper;
    // How long closing the window lets a run that was told to stop unwind.
    int StopGraceMs = 500;

private:
    void startRun(bool installRun);

    TfrmLumora *w;
    std::unique_ptr<WindowDiscoverHost> m_host;
    std::unique_ptr<TthdDiscover> m_run;
};
