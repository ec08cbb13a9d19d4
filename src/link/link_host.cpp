#include "link/link_host.h"

#include <QMetaObject>
#include <QThread>

#include <exception>

LinkHost::LinkHost(QObject *parent) : QObject(parent), m_gate(std::make_shared<LinkHostGate>())
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
    m_gate->changed.wakeAll();
}

void LinkHost::addLog(const QString &) {}
void LinkHost::setStatusText(const QString &) {}
void LinkHost::setConnected(bool) {}
void LinkHost::showInfo() {}
void LinkHost::showConfig() {}
void LinkHost::showExpert() {}
void LinkHost::showExpertWeather() {}
void LinkHost::fillScheduleGrid() {}
void LinkHost::scheduleDownloaded(bool) {}
void LinkHost::scheduleLineRead(int, int) {}
void LinkHost::recordSent(uint32_t) {}
void LinkHost::settingsSaved() {}
void LinkHost::drawSensorChart() {}
void LinkHost::setTaskbarProgress(qint64, qint64) {}
QString LinkHost::chooseFirmwareFile() { return {}; }

namespace {

enum class CallState { Pending, Running, Done, Cancelled };

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

} // namespace

bool RunOnHost(const std::shared_ptr<LinkHostGate> &gate, const std::function<void(LinkHost &)> &fn,
               const std::function<bool()> &abandon)
{
    if (!gate)
        return false;
    QMutexLocker lock(&gate->mutex);
    LinkHost *host = gate->host;
    if (!host)
        return false;
    if (host->thread() == QThread::currentThread()) {
        lock.unlock();
        runGuarded(*host, fn);
        return true;
    }

    // Posted while the gate is locked: the host's destructor takes the same lock before
    // anything is torn down, so the receiver is alive at the moment of posting. Should it
    // die before the call runs, Qt drops the posted call and the detach wakes us.
    auto state = std::make_shared<CallState>(CallState::Pending);
    const auto *fnp = &fn;
    QMetaObject::invokeMethod(
        host,
        [gate, state, fnp]() {
            QMutexLocker l(&gate->mutex);
            if (*state != CallState::Pending || !gate->host)
                return;  // the waiter has given up; fnp may be gone
            *state = CallState::Running;
            LinkHost *h = gate->host;
            l.unlock();
            runGuarded(*h, *fnp);
            l.relock();
            *state = CallState::Done;
            gate->changed.wakeAll();
        },
        Qt::QueuedConnection);

    while (*state == CallState::Pending || *state == CallState::Running) {
        // Once running, the call is finished whatever happens: the UI thread is in it.
        if (*state == CallState::Pending && (!gate->host || (abandon && abandon()))) {
            *state = CallState::Cancelled;
            return false;
        }
        gate->changed.wait(&gate->mutex, AbandonPollMs);
    }
    return *state == CallState::Done;
}
