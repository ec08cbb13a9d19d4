// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/link_host.h"
#include "link/device_model.h"

#include <QMetaObject>
#include <QThread>

#include <exception>

LinkHost::LinkHost(QObject *parent)
    : QObject(parent), m_ownModel(std::make_unique<DeviceModel>()), m_model(m_ownModel.get()),
      m_gate(std::make_shared<LinkHostGate>())
{
    m_gate->host = this;
}

LinkHost::LinkHost(DeviceModel &model, QObject *parent)
    : QObject(parent), m_model(&model), m_gate(std::make_shared<LinkHostGate>())
{
    m_gate->host = this;
}

LinkHost::~LinkHost()
{
    detachLink();
}

void LinkHost::detachLink()
{
    QMutexLocker lock(&m_gate->mutex);
    m_gate->host = nullptr;
    // Nothing queued runs any more; a waiter sees the host gone and gives up.
    m_gate->queue.clear();
    m_gate->changed.wakeAll();
}

void LinkHost::addLog(const QString &) {}
void LinkHost::addTrace(const QString &text) { addLog(text); }
void LinkHost::setStatusText(const QString &) {}
void LinkHost::setConnected(bool) {}
void LinkHost::connectionChanged(quint64, const ConnectionState &, const QString &statusLine)
{
    if (!statusLine.isEmpty())
        setStatusText(statusLine);
}
void LinkHost::recordRead(uint32_t, bool) {}
void LinkHost::scheduleDownloaded(bool) {}
void LinkHost::scheduleLineRead(int, int) {}
void LinkHost::recordSent(uint32_t) {}
void LinkHost::settingsSaved() {}
void LinkHost::setTaskbarProgress(qint64, qint64) {}
QString LinkHost::chooseFirmwareFile() { return {}; }

enum class CallState { Pending, Running, Done, Cancelled };

// One call for the host. A waited-for call points at its caller's function, which lives as
// long as the caller waits (until the call is Done or the caller has set Cancelled).
struct HostCall
{
    const std::function<void(LinkHost &)> *waited = nullptr;
    std::function<void(LinkHost &)> owned;  // a posted call's function
    std::function<void(LinkHost &)> then;   // runs after waited or owned; nobody waits for it
    CallState state = CallState::Pending;
};

namespace {

// How often a waiting hand-over re-evaluates its abandon condition.
constexpr unsigned long AbandonPollMs = 20;

void runGuarded(LinkHost &host, const std::function<void(LinkHost &)> &fn)
{
    // An exception on the UI thread is logged there and the program goes on.
    try {
        fn(host);
    } catch (const std::exception &e) {
        host.addLog(QString::fromLocal8Bit(e.what()));
    } catch (...) {
    }
}

// Runs the queue on the host's thread; lock holds gate->mutex and holds it again on return.
void drain(LinkHostGate &gate, QMutexLocker<QMutex> &lock)
{
    while (!gate.queue.empty() && gate.host) {
        const std::shared_ptr<HostCall> call = gate.queue.front();
        gate.queue.pop_front();
        if (call->state != CallState::Pending)
            continue;  // given up by its waiter; its function may be gone
        call->state = CallState::Running;
        LinkHost *host = gate.host;
        lock.unlock();
        runGuarded(*host, call->waited ? *call->waited : call->owned);
        lock.relock();
        call->state = CallState::Done;
        if (call->waited)
            gate.changed.wakeAll();
        if (call->then && gate.host) {
            host = gate.host;
            lock.unlock();
            runGuarded(*host, call->then);
            lock.relock();
        }
    }
}

// Appends a call for a host living on another thread and makes sure the queue gets run
// there. Called with the gate locked, while gate.host is set.
void enqueue(const std::shared_ptr<LinkHostGate> &gate, std::shared_ptr<HostCall> call)
{
    gate->queue.push_back(std::move(call));
    if (gate->drainPosted)
        return;
    gate->drainPosted = true;
    // Posted while the gate is locked: the host's destructor takes the same lock before
    // anything is torn down, so the receiver is alive at the moment of posting. Should it
    // die before the call runs, Qt drops the posted call and the detach has emptied the
    // queue and woken every waiter.
    QMetaObject::invokeMethod(
        gate->host,
        [gate]() {
            QMutexLocker l(&gate->mutex);
            gate->drainPosted = false;
            drain(*gate, l);
        },
        Qt::QueuedConnection);
}

bool onHostThread(const LinkHostGate &gate)
{
    return gate.host->thread() == QThread::currentThread();
}

} // namespace

bool RunOnHost(const std::shared_ptr<LinkHostGate> &gate, const std::function<void(LinkHost &)> &fn,
               const std::function<bool()> &abandon)
{
    return RunOnHost(gate, fn, {}, abandon);
}

bool RunOnHost(const std::shared_ptr<LinkHostGate> &gate, const std::function<void(LinkHost &)> &fn,
               std::function<void(LinkHost &)> then, const std::function<bool()> &abandon)
{
    if (!gate)
        return false;
    QMutexLocker lock(&gate->mutex);
    if (!gate->host)
        return false;
    auto call = std::make_shared<HostCall>();
    call->waited = &fn;
    call->then = std::move(then);
    if (onHostThread(*gate)) {
        // What was handed in before goes first, then this call, at once.
        gate->queue.push_back(call);
        drain(*gate, lock);
        return call->state == CallState::Done;
    }
    enqueue(gate, call);
    while (call->state == CallState::Pending || call->state == CallState::Running) {
        // Once running, the call is finished whatever happens: the UI thread is in it.
        if (call->state == CallState::Pending && (!gate->host || (abandon && abandon()))) {
            call->state = CallState::Cancelled;
            return false;
        }
        gate->changed.wait(&gate->mutex, AbandonPollMs);
    }
    return call->state == CallState::Done;
}

bool PostToHost(const std::shared_ptr<LinkHostGate> &gate, std::function<void(LinkHost &)> fn)
{
    if (!gate)
        return false;
    QMutexLocker lock(&gate->mutex);
    if (!gate->host)
        return false;
    auto call = std::make_shared<HostCall>();
    call->owned = std::move(fn);
    if (onHostThread(*gate)) {
        gate->queue.push_back(std::move(call));
        drain(*gate, lock);
    } else {
        enqueue(gate, std::move(call));
    }
    return true;
}

void RunQueuedOnHost(const std::shared_ptr<LinkHostGate> &gate)
{
    if (!gate)
        return;
    QMutexLocker lock(&gate->mutex);
    if (gate->host && onHostThread(*gate))
        drain(*gate, lock);
}
