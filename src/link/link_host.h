// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <deque>
#include <cstdint>
#include <functional>
#include <memory>

#include "presentation/connection_state.h"

class DeviceModel;
class LinkHost;
struct HostCall;

// Shared between a host and every link thread that reports to it. host is cleared (under
// mutex) when the host goes away; waiters on changed are woken then.
//
// Every call for the host, waited for or not, goes through one queue and runs on the
// host's thread in the order it was handed in: a report posted without waiting can never
// overtake or fall behind a hand-over the link thread waits for.
struct LinkHostGate
{
    QMutex mutex;
    QWaitCondition changed;
    LinkHost *host = nullptr;
    std::deque<std::shared_ptr<HostCall>> queue;
    bool drainPosted = false;  // a call to run the queue is on its way to the host's thread
};

// What the link thread hands over to the window (or to a program without one). Lives on the
// UI thread; every function is called there, in the order the link thread handed the calls
// in. The host holds the device model the link thread serves. The link thread waits while
// data moves between its frame buffer and the model (copy-in, copy-out); log and status
// lines, the connection state, the reports after a read (recordRead) and the model's change
// signal that follows them run while it goes on with the next exchange. They see the image
// as the copy-in left it: anything the link thread changes in it later goes through a
// hand-over queued behind them. The defaults do nothing, so a test host overrides only what
// it looks at.
//
// Lifetime: destroying the host (or calling detachLink() first, which a subclass should
// do at the start of its own destructor) releases a link thread that waits for it; that
// thread never calls the host again and ends.
class LinkHost : public QObject
{
    Q_OBJECT
public:
    // A host with a model of its own.
    explicit LinkHost(QObject *parent = nullptr);
    // A host for a model that outlives it.
    explicit LinkHost(DeviceModel &model, QObject *parent = nullptr);
    ~LinkHost() override;

    DeviceModel &model() const { return *m_model; }

    void detachLink();
    std::shared_ptr<LinkHostGate> gate() const { return m_gate; }

    // One time-stamped line in the message log.
    virtual void addLog(const QString &text);
    // One line of the link's trace (with -debug): the default logs it as any other line.
    virtual void addTrace(const QString &text);
    // Status panel 0 and the log.
    virtual void setStatusText(const QString &text);
    // Enable or disable every device-dependent control.
    virtual void setConnected(bool connected);
    // The connection's state changed; statusLine is what the status panel and the log say of
    // it (may be empty). link is the serial number of the reporting link thread (TthdCom::
    // Serial), so that a host can tell the current link from one that is still ending. The
    // default shows the line with setStatusText.
    virtual void connectionChanged(quint64 link, const ConnectionState &state, const QString &statusLine);
    // A read of the record of readBit (GetInfo, GetConfig, GetExpert, GetExpertWeather,
    // GetChart) got its answer; copied is false when the model dropped it because a write
    // of the record is pending. Told before the model's change signal for it.
    virtual void recordRead(uint32_t readBit, bool copied);
    // The schedule download has ended (before the model's change signal for the table):
    // complete when an answer came for every line.
    virtual void scheduleDownloaded(bool complete);
    // Line done of count of a schedule download has been copied into the image (told in
    // the hand-over that copies it).
    virtual void scheduleLineRead(int done, int count);
    // A write of the record of this request bit is about to go out (told in the hand-over
    // that copies it).
    virtual void recordSent(uint32_t bit);
    // The controller acknowledged "Save settings permanently".
    virtual void settingsSaved();
    virtual void setTaskbarProgress(qint64 done, qint64 total);
    // The firmware file dialog; returns the chosen path or an empty string.
    virtual QString chooseFirmwareFile();

private:
    std::unique_ptr<DeviceModel> m_ownModel;
    DeviceModel *m_model;
    std::shared_ptr<LinkHostGate> m_gate;
};

// Runs fn(host) on the host's thread and waits for it. Returns false, without running fn,
// when the host is gone or goes away before fn starts, or when abandon() turns true while
// fn has not started yet. Called on the host's own thread it runs what is queued, then fn.
bool RunOnHost(const std::shared_ptr<LinkHostGate> &gate, const std::function<void(LinkHost &)> &fn,
               const std::function<bool()> &abandon = {});
// The same, and then(host) runs on the host's thread right after fn, before anything handed
// in later, while the caller no longer waits: the caller waits only for what it needs done
// (copying a record in), not for what follows from it (the window redrawing it). then does
// not run when fn does not.
bool RunOnHost(const std::shared_ptr<LinkHostGate> &gate, const std::function<void(LinkHost &)> &fn,
               std::function<void(LinkHost &)> then, const std::function<bool()> &abandon = {});
// Queues fn(host) for the host's thread and returns at once; fn keeps what it needs by
// value. False when the host is gone. Called on the host's own thread it runs what is
// queued, then fn.
bool PostToHost(const std::shared_ptr<LinkHostGate> &gate, std::function<void(LinkHost &)> fn);
// On the host's thread: runs every call queued so far (those given up by their waiters
// excepted), for example before a link thread's own last words are delivered directly.
void RunQueuedOnHost(const std::shared_ptr<LinkHostGate> &gate);
