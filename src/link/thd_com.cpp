// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/thd_com.h"

#include "presentation/localization.h"
#include "link/device_model.h"
#include "link/serial_port.h"
#include "link/transport.h"

#include <QDateTime>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <exception>
#include <limits>

#include <unistd.h>

namespace {

QMutex firmwareTransferMutex;
FirmwareTransferFn defaultFirmwareTransfer;

// Granularity of the interruptible pauses.
constexpr int PauseSliceMs = 10;

std::atomic<quint64> nextLinkSerial{1};

const QString ProductName = QStringLiteral("Aqualumora 1.x");

// The read that brings a record back from the controller after its write was dropped.
uint32_t readBitFor(uint32_t writeBit)
{
    switch (writeBit) {
    case SetConfig: return GetConfig;
    case SetExpert: return GetExpert;
    case SetExpertWeather: return GetExpertWeather;
    case SetSchedule: return GetSchedule;
    default: return GetInfo;
    }
}

// The record a write bit carries, as the INI files name it.
QString recordName(uint32_t writeBit)
{
    switch (writeBit) {
    case SetConfig: return QStringLiteral("Config");
    case SetExpert: return QStringLiteral("Expert");
    case SetExpertWeather: return QStringLiteral("ExpertWeather");
    default: return QStringLiteral("Info");
    }
}

constexpr std::size_t ClockOffset = offsetof(InfoRecord, Centisecond);
constexpr std::size_t ClockBytes = offsetof(InfoRecord, Year) + 1 - ClockOffset;
static_assert(ClockBytes == 7);

} // namespace

void SetFirmwareTransfer(FirmwareTransferFn fn)
{
    QMutexLocker lock(&firmwareTransferMutex);
    defaultFirmwareTransfer = std::move(fn);
}

TthdCom::TthdCom(LinkHost *host, const LinkTimings &timings, QObject *parent, TransportFactory factory)
    : QThread(parent), m_gate(host ? host->gate() : nullptr),
      m_requests(host ? host->model().sharedRequests() : std::make_shared<RequestWord>()), m_timings(timings),
      m_transportFactory(factory ? std::move(factory) : TransportFactory(CreateTransport)),
      m_serial(nextLinkSerial.fetch_add(1))
{
    QMutexLocker lock(&firmwareTransferMutex);
    m_firmwareTransfer = defaultFirmwareTransfer;
    m_clock.start();
}

TthdCom::~TthdCom()
{
    m_abandon = true;
    Terminate();
    if (m_gate) {
        // Release a hand-over that is waiting for this (UI) thread.
        QMutexLocker lock(&m_gate->mutex);
        m_gate->changed.wakeAll();
    }
    wait();
    // Destroyed on the host's thread while the final reports were waiting for it: they
    // were given up above to avoid a deadlock, so deliver them here, in their order.
    if (!m_gate || !m_ran)
        return;
    QMutexLocker lock(&m_gate->mutex);
    LinkHost *host = m_gate->host;
    if (!host || host->thread() != QThread::currentThread())
        return;
    lock.unlock();
    // Reports the thread queued before it was given up come first.
    RunQueuedOnHost(m_gate);
    lock.relock();
    if (m_gate->host != host)
        return;
    lock.unlock();
    if (!m_finalStatusShown)
        host->connectionChanged(m_serial, ConnectionState::notConnected(PortName()),
                                m_finalStatus.isEmpty() ? TranslateFmt("DisconnectedFrom", {PortName()}) : m_finalStatus);
    if (!m_finalDisconnectShown)
        host->setConnected(false);
}

std::unique_ptr<TthdCom> TthdCom::Create(const QString &entry, bool traceOn, LinkHost *host,
                                         const LinkTimings &timings, TransportFactory factory)
{
    auto thread = std::make_unique<TthdCom>(host, timings, nullptr, std::move(factory));
    thread->setEntry(entry, traceOn);
    thread->start();
    return thread;
}

QString TthdCom::PortFromEntry(const QString &entry)
{
    const qsizetype blank = entry.indexOf(u' ');
    return blank < 0 ? entry : entry.left(blank);
}

void TthdCom::setEntry(const QString &entry, bool traceOn)
{
    QMutexLocker lock(&m_entryMutex);
    m_portName = PortFromEntry(entry);
    m_traceOn = traceOn;
}

void TthdCom::SwitchPort(const QString &entry, bool traceOn)
{
    if (Finished())
        return;
    setEntry(entry, traceOn);
    m_requests->wake();
}

void TthdCom::Terminate()
{
    qint64 expected = -1;
    m_stopRequestedAt.compare_exchange_strong(expected, m_clock.elapsed());
    requestInterruption();
    m_requests->wake();
}

bool TthdCom::PortOpen() const { return m_port && m_port->isOpen(); }

QString TthdCom::PortName() const
{
    QMutexLocker lock(&m_entryMutex);
    return m_portName;
}

bool TthdCom::TraceOn() const
{
    QMutexLocker lock(&m_entryMutex);
    return m_traceOn;
}

bool TthdCom::stopCheck() const
{
    if (!isInterruptionRequested())
        return false;
    const qint64 at = m_stopRequestedAt.load();
    return at < 0 || m_abandon || m_hostGone || m_clock.elapsed() - at >= m_timings.stopGraceMs;
}

bool TthdCom::pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (Terminated())
            return true;
        QThread::msleep(std::min<qint64>(PauseSliceMs, ms - timer.elapsed()));
    }
    return Terminated();
}

// --- hand-overs --------------------------------------------------------------------------

bool TthdCom::Synchronize(const std::function<void(LinkHost &)> &fn, std::function<void(LinkHost &)> then)
{
    if (m_hostGone)
        return false;
    if (RunOnHost(m_gate, fn, std::move(then), [this] { return m_abandon.load(); }))
        return true;
    hostLost();
    return false;
}

void TthdCom::Post(std::function<void(LinkHost &)> fn)
{
    if (m_hostGone)
        return;
    // Once the thread is being destroyed nothing new is queued: the destructor delivers
    // what was queued before, then the closing reports.
    if (m_abandon || !PostToHost(m_gate, std::move(fn)))
        hostLost();
}

void TthdCom::hostLost()
{
    // Nobody to report to any more: never touch the host again, and end.
    m_hostGone = true;
    requestInterruption();
}

void TthdCom::TraceLine(const QString &text)
{
    Post([text](LinkHost &h) { h.addLog(text); });
}

void TthdCom::TraceDebug(const QString &text)
{
    Post([text](LinkHost &h) { h.addTrace(text); });
}

void TthdCom::StatusLine(const QString &text)
{
    Post([text](LinkHost &h) { h.setStatusText(text); });
}

void TthdCom::ReportConnected(bool connected)
{
    Post([connected](LinkHost &h) { h.setConnected(connected); });
}

void TthdCom::ReportState(const ConnectionState &state, const QString &statusLine)
{
    Post([serial = m_serial, state, statusLine](LinkHost &h) { h.connectionChanged(serial, state, statusLine); });
}

void TthdCom::ProgressReport(qint64 done, qint64 total, const QString &text)
{
    // Waited for: a stop the window asks for on seeing a block's report is noticed before
    // the next block goes out.
    Synchronize([&](LinkHost &h) {
        h.setTaskbarProgress(done, total);
        h.addLog(text);
    });
}

QString TthdCom::ChooseFirmwareFile()
{
    QString name;
    Synchronize([&name](LinkHost &h) { name = h.chooseFirmwareFile(); });
    return name;
}

void TthdCom::traceName(const char *name)
{
    if (TraceOn())
        TraceDebug(QString::fromLatin1(name));
}

// --- Execute -----------------------------------------------------------------------------

void TthdCom::run()
{
    m_ran = true;
    try {
        Execute();
    } catch (const std::exception &e) {
        // Serial failures are handled where they happen; anything else must not take the
        // process down with it.
        TraceLine(QString::fromLocal8Bit(e.what()));
    }
    m_protocol.reset();
    m_port.reset();
    m_claim.release();
    m_finished = true;
    m_finalStatus = TranslateFmt("DisconnectedFrom", {PortName()});
    m_finalStatusShown = Synchronize([this](LinkHost &h) {
        h.connectionChanged(m_serial, ConnectionState::notConnected(PortName()), m_finalStatus);
    });
    m_finalDisconnectShown = Synchronize([](LinkHost &h) { h.setConnected(false); });
}

void TthdCom::useTransportFor(const QString &portName)
{
    if (m_port && m_port->name() == portName)
        return;
    m_protocol.reset();
    m_port = m_transportFactory(portName);
    m_port->setReadTimeout(m_timings.readTimeoutMs);
    m_port->setWriteTimeout(m_timings.writeTimeoutMs);
    m_port->setStopCheck([this] { return stopCheck(); });
    m_protocol = std::make_unique<LinkProtocol>(
        *m_port, m_frame, [this](const QString &t) { TraceLine(t); }, [this](const QString &t) { TraceDebug(t); });
    m_protocol->stopCheck = [this] { return Terminated(); };
}

void TthdCom::Execute()
{
    useTransportFor(PortName());

    for (;;) {
        // Connection attempt.
        startClean();
        m_deviceType = DeviceTypeNone;
        m_firmwareVersion = DeviceTypeNone;
        m_firmwareMode = false;
        m_bootloaderMode = false;
        const ConnectionState attempt = ConnectionState::connecting(PortName(), ++m_attempt);
        ReportState(attempt, attempt.statusLine());
        if (!openWithAttempts())
            return;

        Identify();
        int pollCounter = 0;
        for (;;) {
            if (Terminated())
                return;
            const QString wanted = PortName();
            if (m_port->name() != wanted) {
                ReportConnected(false);
                m_port->close();
                m_attempt = 0;   // a new port: its attempts count from the first
                break;
            }
            if (m_deviceType == DeviceTypeNone) {
                const ConnectionState lost = ConnectionState::lost(m_port->name(), m_attempt);
                ReportState(lost, lost.statusLine());
                if (pause(retryWait(m_timings.lostDeviceWaitMs)))
                    return;
                m_port->close();
                break;
            }
            if (++pollCounter >= m_timings.pollEveryPasses) {
                pollCounter = 0;
                if (m_firmwareMode) {
                    // A poll whose reads did not get through since the last refusal does
                    // not hold the refused write back any longer.
                    if (m_heldWrites != 0 && m_heldPollRaised)
                        releaseHeldWrites();
                    else if (m_heldWrites != 0)
                        m_heldPollRaised = true;
                    m_requests->raise(Poll);
                } else if (m_bootloaderMode) {
                    m_requests->raise(FirmwareUpdate);
                } else {
                    Identify();
                }
            }
            // The poll after a refusal is through: the refused write may go out again.
            if (m_heldWrites != 0 && m_heldPollRaised && (m_requests->pending() & Poll) == 0)
                releaseHeldWrites();
            const Pass pass = servePass();
            if (pass == Pass::End)
                return;
            if (pass == Pass::Idle)
                pollCounter = idleUntilPoll(pollCounter);
        }
        if (Terminated())
            return;
    }
}

int TthdCom::idleUntilPoll(int pollCounter)
{
    // Passes that find nothing to do only count towards the next poll, one per idle sleep.
    // Several are slept through in one wait, which a raised bit, a port switch or a stop
    // ends at once (each wakes the waiters), so the poll comes when the passes would have
    // brought it, and the idle link wakes a few times a second instead of fifty. The wait
    // stays short enough that a request word changed without the wake-up is still seen soon.
    constexpr int MaxIdleWaitMs = 250;
    const int sleep = std::max(1, m_timings.idleSleepMs);
    const int passes = std::max(1, std::min(m_timings.pollEveryPasses - pollCounter, MaxIdleWaitMs / sleep));
    QElapsedTimer idle;
    idle.start();
    m_requests->waitForRequest(int(std::min<qint64>(qint64(passes) * sleep, std::numeric_limits<int>::max())), m_heldWrites);
    // The passes that would have slept meanwhile; the next pass counts itself.
    const int slept = int(std::min<qint64>(passes, (idle.elapsed() + sleep / 2) / sleep));
    return pollCounter + std::max(0, slept - 1);
}

int TthdCom::retryWait(int baseMs)
{
    const int failed = std::min(m_failedInARow++, 16);
    if (m_timings.retryWaitMaxMs <= baseMs)
        return baseMs;
    return int(std::min<qint64>(qint64(baseMs) << failed, m_timings.retryWaitMaxMs));
}

void TthdCom::reportBusy(const QString &port, const PortHolder &holder)
{
    const QString text = PortBusyText(port, holder);
    // One line: who holds the port, then what kind of program that is and what to do.
    if (text != m_lastBusyText)
        TraceLine(text + u' ' + PortHolderRemedy(HolderKindOf(holder.program), port,
                                                 UsbIdsOf(m_port ? m_port->devicePath() : port)));
    m_lastBusyText = text;
}

bool TthdCom::openWithAttempts()
{
    for (int attempt = 1;; ++attempt) {
        const QString port = PortName();
        bool busy = false;
        // Another instance of this program holds the port: it is named, and trying again and
        // again would only repeat that. The claim of an own thread that is still ending (a
        // quick suspend and resume) goes away by itself.
        if (const std::optional<PortHolder> holder = m_claim.acquire(port)) {
            if (holder->pid != qint64(::getpid())) {
                reportBusy(port, *holder);
                busy = true;
            }
        } else {
            try {
                useTransportFor(port);
                m_port->open();
                m_lastBusyText.clear();
                // Open is not connected: only the controller's answer (Identify) says that.
                TraceLine(TranslateFmt("PortOpened", {port}));
                return true;
            } catch (const SerialError &e) {
                // Some other program has the serial device open.
                const QString device = m_port ? m_port->devicePath() : QString();
                const std::vector<qint64> holders =
                    e.code() == EBUSY && !device.isEmpty() ? ProcessesHolding(device) : std::vector<qint64>{};
                if (!holders.empty()) {
                    reportBusy(port, DescribeProcess(holders.front()));
                    busy = true;
                } else {
                    TraceLine(e.text());
                    // Busy, and no process of this user has it: a system service likely does.
                    const std::optional<HolderKind> service =
                        e.code() == EBUSY ? PortTakingService() : std::optional<HolderKind>{};
                    const QString remedy = service ? PortHolderRemedy(*service, port, UsbIdsOf(device)) : QString();
                    if (!remedy.isEmpty() && remedy != m_lastBusyText)
                        TraceLine(remedy);
                    if (!remedy.isEmpty())
                        m_lastBusyText = remedy;
                }
            }
        }
        const bool lastAttempt = busy ? m_timings.openAttempts > 0 : attempt == m_timings.openAttempts;
        if (!(busy && lastAttempt) && pause(retryWait(m_timings.openRetryWaitMs)))
            return false;
        if (lastAttempt) {
            ReportState(ConnectionState::notConnected(port), TranslateFmt("ErrorConnectingTo", {port}));
            const QString remedy = busy || !m_port ? QString() : m_port->accessRemedy();
            if (!remedy.isEmpty())
                TraceLine(remedy);
            return false;
        }
        if (!busy)
            ReportState(ConnectionState::connecting(port, ++m_attempt), Translate("TryingAgain"));
        if (Terminated())
            return false;
    }
}

void TthdCom::Identify()
{
    try {
        traceName(LinkCommands::GetDevice.traceName);
        m_protocol->traceOn = TraceOn();
        bool answered = false;
        for (int attempt = 0; attempt < 5; ++attempt) {
            // A closed port (silence, or a failed serial layer) cannot answer: give up, the
            // next pass reconnects.
            if (!m_port->isOpen())
                break;
            if (m_protocol->ExchangeGet(LinkCommands::GetDevice)) {
                answered = true;
                break;
            }
            TraceLine(Translate("TimeoutWhileWaiting"));
            m_frame[2] = m_frame[3] = 0xFF;
            if (Terminated() || !m_port->isOpen())
                break;
        }
        if (!answered)
            m_frame[2] = m_frame[3] = 0xFF;

        const uint8_t type = m_frame[2];
        const uint8_t version = m_frame[3];
        if (type == m_deviceType && version == m_firmwareVersion)
            return;
        m_deviceType = type;
        m_firmwareVersion = version;
        m_firmwareMode = false;
        m_bootloaderMode = false;
        startClean();

        const QString port = PortName();
        bool firmwareMode = false, bootloaderMode = false;
        if (type == DeviceTypeThisProduct) {
            if (version == ExpectedFirmwareVersion) {
                ReportConnected(true);
                m_requests->replace(FullDownload);
                ReportState(ConnectionState::connected(port),
                            TranslateFmt("ConnectedToOn", {ProductName + u'.' + QString::number(version), port}));
                firmwareMode = true;
            } else {
                ReportConnected(false);
                ReportState(ConnectionState::connected(port),
                            TranslateFmt("DetectedWrongVersionOn", {ProductName + u'.' + QString::number(version), port}));
            }
            m_attempt = 0;
        } else if (type == DeviceTypeBootloader) {
            ReportConnected(false);
            ReportState(ConnectionState::connected(port),
                        TranslateFmt("ConnectedToBootloaderOn", {QStringLiteral("Aqualumora"), port}));
            bootloaderMode = true;
            m_attempt = 0;
        } else if (type == DeviceTypeNone) {
            ReportConnected(false);
        } else {
            ReportConnected(false);
            StatusLine(TranslateFmt("OtherHardware", {hardwareName(type)}));
            Terminate();
        }
        // The window has shown a new identity before the thread's state (FirmwareMode,
        // BootloaderMode) tells it; once a connection the wait costs little.
        Synchronize([](LinkHost &) {});
        m_firmwareMode = firmwareMode;
        m_bootloaderMode = bootloaderMode;
        if (firmwareMode || bootloaderMode)
            m_failedInARow = 0;
    } catch (const std::exception &e) {
        TraceLine(QString::fromLocal8Bit(e.what()));
    }
}

void TthdCom::reidentify()
{
    // A stopping thread does not re-identify: nobody will use the answer.
    if (!Terminated())
        Identify();
}

// --- the bit tests -------------------------------------------------------------------------

void TthdCom::startClean()
{
    m_refusedWrites.clear();
    m_heldWrites = 0;
    m_heldPollRaised = false;
    m_timeWriteAt = -1;
    // The marks belong to the UI thread; without a window only the word is left to clear.
    if (!Synchronize([](LinkHost &h) { h.model().resetForNewConnection(); }))
        m_requests->replace(0);
}

void TthdCom::writeAcknowledged(uint32_t bit, int line)
{
    m_refusedWrites.erase({bit, line});
    if (bit == SetInfoTime)
        m_timeWriteAt = -1;
}

void TthdCom::writeRefused(uint32_t bit, int line)
{
    const std::pair<uint32_t, int> key{bit, line};
    if (++m_refusedWrites[key] < MaxWriteAttempts) {
        // Raised again (the copy-out cleared it), but held back until the next poll is
        // through; meanwhile the bit keeps older device data out of the image.
        if (line >= 0)
            Synchronize([line](LinkHost &h) { h.model().markScheduleLinesChanged({line}); });
        else
            m_requests->raise(bit);
        m_heldWrites |= bit;
        m_heldPollRaised = false;
        return;
    }
    m_refusedWrites.erase(key);
    if (bit == SetInfoTime)
        m_timeWriteAt = -1;
    TraceLine(line >= 0 ? TranslateFmt(QStringLiteral("ScheduleLineDropped"), {QString::number(line)})
                        : TranslateFmt(QStringLiteral("WriteDropped"), {recordName(bit)}));
    // The image still holds the change the controller refused: read its own values back.
    m_requests->raise(readBitFor(bit));
}

void TthdCom::releaseHeldWrites()
{
    m_heldWrites = 0;
    m_heldPollRaised = false;
    // A write the window withdrew meanwhile (a replaced request word) starts afresh later.
    const uint32_t pending = m_requests->pending();
    std::erase_if(m_refusedWrites, [pending](const auto &entry) { return (pending & entry.first.first) == 0; });
}

void TthdCom::freshenTimeWrite(bool repeat)
{
    uint8_t *clock = m_frame.data() + FrameDataOffset + ClockOffset;
    const qint64 now = m_clock.elapsed();
    // A first try, or the window has set another time since: this clock is the one to send.
    if (!repeat || m_timeWriteAt < 0 || std::memcmp(clock, m_timeWriteClock.data(), ClockBytes) != 0) {
        std::memcpy(m_timeWriteClock.data(), clock, ClockBytes);
        m_timeWriteAt = now;
        return;
    }
    InfoRecord info;
    std::memcpy(&info, m_frame.data() + FrameDataOffset, sizeof info);
    const QDateTime first(controllerDate(info), controllerTime(info), Qt::UTC);
    if (!first.isValid())
        return;
    const QDateTime due = first.addMSecs(now - m_timeWriteAt);
    const int year = due.date().year() - 2000;
    if (year < -128 || year > 127)
        return;
    info.Centisecond = uint8_t(due.time().msec() / 10);
    info.Second = uint8_t(due.time().second());
    info.Minute = uint8_t(due.time().minute());
    info.Hour = uint8_t(due.time().hour());
    info.Day = uint8_t(due.date().day());
    info.Month = uint8_t(due.date().month());
    info.Year = int8_t(year);
    std::memcpy(clock, reinterpret_cast<const uint8_t *>(&info) + ClockOffset, ClockBytes);
}

bool TthdCom::writeRecord(const LinkCommand &cmd, uint32_t bit,
                          const std::function<bool(DeviceModel &, std::span<uint8_t>)> &copyOut)
{
    // Every try copies the image anew: a repeat carries what is current now.
    bool copied = false;
    if (!Synchronize([&](LinkHost &h) {
            copied = copyOut(h.model(), frameData());
            if (copied)
                h.recordSent(bit);
        }) || !copied)
        return false;
    if (bit & SetInfoAny)
        applyNoChangeMarkers(frameData().first(InfoSize), bit);
    if (bit == SetInfoTime)
        freshenTimeWrite(m_refusedWrites.count({bit, -1}) != 0);
    traceName(cmd.traceName);
    if (m_protocol->ExchangeSet(cmd)) {
        writeAcknowledged(bit, -1);
        return true;
    }
    writeRefused(bit, -1);
    reidentify();
    return false;
}

void TthdCom::writeScheduleLine()
{
    bool found = false;
    if (!Synchronize([&](LinkHost &h) {
            found = h.model().copyOutScheduleLine(frameData());
            if (found)
                h.recordSent(SetSchedule);
        }) || !found)
        return;
    const int line = m_frame[FrameDataOffset];
    traceName(LinkCommands::SetSchedule.traceName);
    if (m_protocol->ExchangeSet(LinkCommands::SetSchedule)) {
        writeAcknowledged(SetSchedule, line);
        return;
    }
    writeRefused(SetSchedule, line);
    reidentify();
}

bool TthdCom::readRecord(const LinkCommand &cmd, uint32_t bit)
{
    traceName(cmd.traceName);
    if (!m_protocol->ExchangeGet(cmd)) {
        reidentify();
        return false;
    }
    copyInRead(bit, std::span<const uint8_t>(m_frame.data() + FrameDataOffset, size_t(cmd.dataBytes)));
    return true;
}

void TthdCom::copyInRead(uint32_t bit, std::span<const uint8_t> data)
{
    // The thread waits while the record is copied out of its frame buffer, not while the
    // views redraw it: the report and the change signal overlap the next exchange.
    auto copied = std::make_shared<bool>(false);
    Synchronize([&](LinkHost &h) { *copied = h.model().copyIn(bit, data); },
                [bit, copied](LinkHost &h) {
                    h.recordRead(bit, *copied);
                    if (*copied)
                        h.model().publish({DeviceChange::Origin::Controller, DeviceModel::partOfRead(bit), {}});
                });
}

void TthdCom::sendSubCommand(const LinkCommand &cmd, uint32_t bit, uint8_t value)
{
    m_requests->clear(bit);
    m_frame[FrameDataOffset] = value;
    traceName(cmd.traceName);
    if (!m_protocol->ExchangeSet(cmd)) {
        reidentify();
        return;
    }
    if (bit == SaveEEPROM)
        Post([](LinkHost &h) { h.settingsSaved(); });
}

TthdCom::Pass TthdCom::servePass()
{
    m_protocol->traceOn = TraceOn();
    const uint32_t bit = m_requests->nextDue(m_heldWrites);
    switch (bit) {
    case SetConfig:
        writeRecord(LinkCommands::SetConfig, SetConfig,
                    [](DeviceModel &m, std::span<uint8_t> d) { return m.copyOutConfig(d); });
        break;
    case GetConfig:
        readRecord(LinkCommands::GetConfig, GetConfig);
        break;
    case SetInfoTime:
    case SetInfoLevels:
    case SetInfoActiveLine:
        writeRecord(LinkCommands::SetInfo, bit,
                    [bit](DeviceModel &m, std::span<uint8_t> d) { return m.copyOutInfo(bit, d); });
        break;
    case GetInfo:
        readRecord(LinkCommands::GetInfo, GetInfo);
        break;
    case SetExpert:
        writeRecord(LinkCommands::SetExpert, SetExpert,
                    [](DeviceModel &m, std::span<uint8_t> d) { return m.copyOutExpert(d); });
        break;
    case GetExpert:
        readRecord(LinkCommands::GetExpert, GetExpert);
        break;
    case SetSchedule:
        writeScheduleLine();
        break;
    case GetSchedule:
        return downloadSchedule();
    case GetChart: {
        StatusLine(Translate("ReadingChart"));
        traceName(LinkCommands::GetChart.traceName);
        const bool ok = m_protocol->ExchangeGet(LinkCommands::GetChart);
        if (ok)
            copyInRead(GetChart, std::span<const uint8_t>(m_frame.data() + FrameDataOffset, ChartSize));
        StatusLine(Translate("Done"));
        if (!ok)
            reidentify();
        break;
    }
    case SetExpertWeather:
        writeRecord(LinkCommands::SetExpertWeather, SetExpertWeather,
                    [](DeviceModel &m, std::span<uint8_t> d) { return m.copyOutExpertWeather(d); });
        break;
    case GetExpertWeather:
        readRecord(LinkCommands::GetExpertWeather, GetExpertWeather);
        break;
    case SaveEEPROM:
        sendSubCommand(LinkCommands::SaveEEPROM, SaveEEPROM, 0x01);
        break;
    case ToggleCloud:
        sendSubCommand(LinkCommands::ToggleCloud, ToggleCloud, 0x02);
        break;
    case ToggleStorm:
        sendSubCommand(LinkCommands::ToggleStorm, ToggleStorm, 0x03);
        break;
    case FirmwareUpdate:
        serveFirmwareUpdate();
        break;
    default:
        return Pass::Idle;
    }
    return Pass::Served;
}

TthdCom::Pass TthdCom::downloadSchedule()
{
    StatusLine(Translate("ReadingSchedule"));
    // LineCount belongs to the UI thread's image; fetch it there.
    int lineCount = 0;
    Synchronize([&](LinkHost &h) { lineCount = h.model().image().Info.LineCount; });
    bool complete = true;
    QList<int> stored;  // written only in the hand-overs, while this thread waits
    for (int i = 0; i < lineCount; ++i) {
        traceName(LinkCommands::GetSchedule.traceName);
        if (!m_protocol->ExchangeGet(LinkCommands::GetSchedule)) {
            complete = false;
            reidentify();
            break;
        }
        const std::span<const uint8_t> data(m_frame.data() + FrameDataOffset, ScheduleFrameSize);
        const int done = i + 1;
        Synchronize(
            [&](LinkHost &h) {
                if (h.model().copyInScheduleLine(data))
                    stored.append(int8_t(data[0]));
            },
            [done, lineCount](LinkHost &h) { h.scheduleLineRead(done, lineCount); });
        if (Terminated()) {
            m_requests->clear(GetSchedule);
            return Pass::End;
        }
    }
    std::sort(stored.begin(), stored.end());
    stored.erase(std::unique(stored.begin(), stored.end()), stored.end());
    // The table is shown anew after every download, whole or not, with what it holds now.
    Post([complete, stored](LinkHost &h) {
        h.scheduleDownloaded(complete);
        h.model().publish({DeviceChange::Origin::Controller, PartSchedule, stored});
    });
    StatusLine(Translate("Done"));
    m_requests->clear(GetSchedule);
    return Pass::Served;
}

void TthdCom::serveFirmwareUpdate()
{
    bool bootInfo = false;
    if (m_bootloaderMode) {
        traceName(LinkCommands::GetBootInfo.traceName);
        bootInfo = m_protocol->ExchangeGet(LinkCommands::GetBootInfo);
    }
    if (bootInfo) {
        std::memcpy(&m_bootInfo, m_frame.data() + FrameDataOffset, sizeof m_bootInfo);
        if (m_firmwareTransfer)
            m_firmwareTransfer(*this);
    } else {
        traceName("StartBootloader");
        if (m_protocol->StartBootloader(m_timings.bootloaderWaitMs))
            reidentify();  // the identification that follows the restart
    }
    reidentify();
    m_requests->clear(FirmwareUpdate);
}
