// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "bluetooth/bluetooth_api.h"
#include "link/link_host.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// The window's side of a Bluetooth run: the log (addLog, run on the UI thread while the
// worker waits) and bringing the main window to the front (posted, never waited for).
class DiscoverHost : public LinkHost
{
    Q_OBJECT
public:
    using LinkHost::LinkHost;
    virtual void bringToFront();
};

struct DiscoverTimings
{
    int retryWaitMs = 2000;   // after each failed or unanswered Bluetooth call
};

// Sleeps ms on the worker; the default sleeps in short steps and ends early when the
// thread is told to stop. Tests put one in that only records the wait.
using DiscoverSleeper = std::function<void(int ms)>;

// One installation or removal run of the controller as a Bluetooth device, on its own
// thread. Every line it reports reaches the host's log before the run goes on.
class TthdDiscover : public QThread
{
    Q_OBJECT
public:
    TthdDiscover(bool installRun, std::shared_ptr<BluetoothApi> api, DiscoverHost *host,
                 const DiscoverTimings &timings = {}, DiscoverSleeper sleeper = {});
    // Tells a running thread to stop and waits for it: its waits end at once and a
    // hand-over it is waiting in is given up, so the wait is short unless a system call
    // hangs. Owners that must not wait at all call abandon() instead of destroying it.
    ~TthdDiscover() override;

    // Creates the thread and starts it.
    static std::unique_ptr<TthdDiscover> Create(bool installRun, std::shared_ptr<BluetoothApi> api,
                                                DiscoverHost *host, const DiscoverTimings &timings = {},
                                                DiscoverSleeper sleeper = {});

    // True once the run has ended, whatever the outcome. Written by the worker, read by
    // the UI thread.
    bool Finished() const { return m_finished.load(); }
    const bool InstallRun;
    // The line being handed to the log; written by the worker before each hand-over and
    // read only inside it.
    QString ReportText;

    void Terminate() { requestInterruption(); }
    bool Terminated() const { return isInterruptionRequested(); }

    // Stops the run, gives it graceMs to unwind and lets go of it: a thread still busy in
    // a system call deletes itself once that returns.
    static void abandon(std::unique_ptr<TthdDiscover> run, int graceMs = 0);

    // Texts of the run, in the current language.
    static QString DescriptionLine(const BluetoothDeviceInfo &info);   // installation
    static QString ListingLine(const BluetoothDeviceInfo &info);       // removal
    static QString ErrorLine(const BluetoothResult &result);
    // A name as the stack delivers it: up to the first NUL, at most 248 characters.
    static QString DeviceName(const QString &raw);

protected:
    void run() override;

private:
    void InstallDevices();
    void RemoveDevices();
    void installDevice(BluetoothDeviceInfo &info, const QString &name);
    // "Uninstalling", then up to five removals; true when one succeeded.
    bool removeWithAttempts(const BluetoothDeviceInfo &info, const QString &name);
    void Report(const QString &text);
    void ShowReport(LinkHost &host);
    void BringWindowUp();
    void pause();
    void reportError(const BluetoothResult &result);

    std::shared_ptr<BluetoothApi> m_api;
    std::shared_ptr<LinkHostGate> m_gate;
    const DiscoverTimings m_timings;
    DiscoverSleeper m_sleeper;
    std::atomic<bool> m_finished{false};
};
