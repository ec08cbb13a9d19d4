// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "link/link_host.h"
#include "link/port_claim.h"
#include "link/protocol.h"
#include "link/records.h"
#include "link/request_word.h"
#include "link/transport.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <utility>

class DeviceModel;
class TthdCom;

// Waits and time-outs of the link thread. The program uses the defaults; tests shorten them.
struct LinkTimings
{
    int readTimeoutMs = 5000;      // total read time-out of one answer
    int writeTimeoutMs = 5000;
    int openRetryWaitMs = 1000;    // between two open attempts
    int lostDeviceWaitMs = 1000;   // after "Connection error or wrong serial port"
    // Open attempts before the thread gives up; 0: it never does (the background service).
    int openAttempts = 5;
    // When above the two waits: each failed attempt in a row (an open, or a connection that
    // found no controller) doubles the wait before the next, up to this; the first
    // identified controller starts again from the short wait.
    int retryWaitMaxMs = 0;
    int idleSleepMs = 20;          // a pass with nothing to do
    int bootloaderWaitMs = 500;    // after "7F00"
    int pollEveryPasses = 25;      // Info and Config poll
    // After a stop request an answer already on its way may still arrive within this time;
    // a read that waits longer gives up, so a silent controller never delays closing.
    int stopGraceMs = 200;
};

// The firmware transfer run by request bit FirmwareUpdate once the bootloader has answered
// "GetBootInfo" (BootInfo is filled then). It runs on the link thread.
using FirmwareTransferFn = std::function<void(TthdCom &)>;
// Installed once by the firmware code; every link thread created afterwards uses it.
void SetFirmwareTransfer(FirmwareTransferFn fn);

// The link thread: owns the serial port of one connection, identifies the controller,
// downloads the device image, serves the request bits and polls the live state. It serves
// the request word of its host's model (LinkHost::model) and reaches the model's image only
// in hand-overs to the host's (UI) thread.
class TthdCom : public QThread
{
    Q_OBJECT
public:
    // The transports come from factory (one for each port name the thread connects to);
    // without one, CreateTransport makes them.
    explicit TthdCom(LinkHost *host, const LinkTimings &timings = {}, QObject *parent = nullptr,
                     TransportFactory factory = {});
    // Stops the thread and waits for it; a hand-over the thread is waiting in is abandoned,
    // so this never deadlocks when called on the UI thread. The closing reports ("Disconnected
    // from", disconnected) still reach a living host: given up by the thread, they are
    // delivered here.
    ~TthdCom() override;

    // Creates a thread for a port-list entry ("ttyUSB0 (FT232R USB UART)"; the part before
    // the first blank is the port) and starts it.
    static std::unique_ptr<TthdCom> Create(const QString &entry, bool traceOn, LinkHost *host,
                                           const LinkTimings &timings = {}, TransportFactory factory = {});
    // Sets port and trace flag before start() (Create does both).
    void setEntry(const QString &entry, bool traceOn);

    // Hands a running thread a new entry; it reconnects at the top of its next pass.
    void SwitchPort(const QString &entry, bool traceOn);
    // Asks the thread to end; does not wait.
    void Stop() { Terminate(); }
    void Terminate();
    bool Terminated() const { return isInterruptionRequested(); }
    // The run has ended; the window may start a new thread.
    bool Finished() const { return m_finished.load(); }

    QString PortName() const;
    bool TraceOn() const;
    // The entry's port part: the text before the first blank, or the whole text.
    static QString PortFromEntry(const QString &entry);

    // State of the last identification (read on the link thread, or after it finished).
    uint8_t DeviceType() const { return m_deviceType.load(); }
    uint8_t FirmwareVersion() const { return m_firmwareVersion.load(); }
    bool FirmwareMode() const { return m_firmwareMode.load(); }
    bool BootloaderMode() const { return m_bootloaderMode.load(); }

    void setFirmwareTransfer(FirmwareTransferFn fn) { m_firmwareTransfer = std::move(fn); }

    // A write the controller does not acknowledge goes out at most this often in all; then
    // it is dropped with a log line, and the record is read back from the controller.
    static constexpr int MaxWriteAttempts = 3;

    // --- for the firmware transfer, on the link thread only ---
    LinkProtocol &protocol() { return *m_protocol; }
    LinkFrame &frameBuffer() { return m_frame; }
    const BootInfo &bootInfoRecord() const { return m_bootInfo; }
    // False once the serial port has been closed (a serial-layer failure or silence).
    bool PortOpen() const;
    // Log line / status text (status panel and log) / taskbar progress with a log line.
    // Log and status lines are queued for the host and the thread goes on; they reach it in
    // the order of every hand-over, queued or waited for. A progress report is waited for.
    void TraceLine(const QString &text);
    // A line of the trace itself (the exchanges' names and bytes).
    void TraceDebug(const QString &text);
    void StatusLine(const QString &text);
    void ProgressReport(qint64 done, qint64 total, const QString &text);
    // Runs the window's firmware file dialog; empty when cancelled or no window.
    QString ChooseFirmwareFile();
    void ReportConnected(bool connected);
    // The connection's state with the status line that announces it (see ConnectionState).
    void ReportState(const ConnectionState &state, const QString &statusLine);
    // Tells this thread's reports from those of every other link thread of the process.
    quint64 Serial() const { return m_serial; }
    // Blocking hand-over to the host. False when the host is gone (or the thread is being
    // destroyed): fn did not run, and the thread stops using the host and ends. then, when
    // given, runs on the host right after fn, but the thread does not wait for it: what
    // must be done before the thread goes on (copying data in or out, the request word)
    // belongs in fn, what only shows the result (refreshing the window) in then.
    bool Synchronize(const std::function<void(LinkHost &)> &fn, std::function<void(LinkHost &)> then = {});
    // Queues fn for the host without waiting; fn keeps what it needs by value.
    void Post(std::function<void(LinkHost &)> fn);

protected:
    void run() override;

private:
    enum class Pass { Idle, Served, End };

    void Execute();
    bool openWithAttempts();
    // The wait after a failed attempt: base, doubled with every failed attempt in a row.
    int retryWait(int baseMs);
    // The port is held by another process: says who, once for each holder.
    void reportBusy(const QString &port, const PortHolder &holder);
    // After a pass with nothing to do: waits, and returns the pass counter moved on by the
    // idle passes the wait stood for.
    int idleUntilPoll(int pollCounter);
    // Makes the transport for the current port name, unless the one at hand has that name.
    void useTransportFor(const QString &portName);
    void Identify();
    Pass servePass();
    Pass downloadSchedule();
    bool writeRecord(const LinkCommand &cmd, uint32_t bit,
                     const std::function<bool(DeviceModel &, std::span<uint8_t>)> &copyOut);
    void writeScheduleLine();
    // A read of the record of request bit `bit`; on success copyInRead.
    bool readRecord(const LinkCommand &cmd, uint32_t bit);
    // The model copies the answer in while the thread waits; the host's report and the
    // model's change signal follow without it.
    void copyInRead(uint32_t bit, std::span<const uint8_t> data);
    void sendSubCommand(const LinkCommand &cmd, uint32_t bit, uint8_t value);
    void serveFirmwareUpdate();
    void reidentify();
    void traceName(const char *name);
    void hostLost();
    // Sleeps up to ms; returns true (early) when the thread is told to stop.
    bool pause(int ms);
    bool stopCheck() const;
    // Every connection attempt and every new identity: the request word, the ScheduleDirty
    // marks and what is known about refused writes start from nothing.
    void startClean();
    // A write was acknowledged / was not: see MaxWriteAttempts. line is the schedule line
    // of a SetSchedule write, -1 for a record.
    void writeAcknowledged(uint32_t bit, int line);
    void writeRefused(uint32_t bit, int line);
    void releaseHeldWrites();
    // A repeated time write carries the clock as it is now, not as it was at the first try.
    void freshenTimeWrite(bool repeat);
    std::span<uint8_t> frameData() { return {m_frame.data() + FrameDataOffset, size_t(MaxFrameData)}; }

    std::shared_ptr<LinkHostGate> m_gate;
    // The host model's request word: raised by its edits, served here.
    std::shared_ptr<RequestWord> m_requests;
    const LinkTimings m_timings;
    FirmwareTransferFn m_firmwareTransfer;

    mutable QMutex m_entryMutex;  // guards m_portName and m_traceOn
    QString m_portName;
    bool m_traceOn = false;

    TransportFactory m_transportFactory;
    std::unique_ptr<LinkTransport> m_port;
    // This process's claim on the port it is connected to (see PortClaim).
    PortClaim m_claim;
    int m_failedInARow = 0;
    // Attempts to reach the controller since it last answered (or since the port changed).
    int m_attempt = 0;
    const quint64 m_serial;
    QString m_lastBusyText;
    std::unique_ptr<LinkProtocol> m_protocol;
    LinkFrame m_frame{};
    BootInfo m_bootInfo{};

    // Refused writes: failed attempts so far, by (request bit, schedule line or -1).
    std::map<std::pair<uint32_t, int>, int> m_refusedWrites;
    // Write bits raised again after a refusal that wait for the next poll before their
    // next attempt, so that a refusing controller never starves the polls.
    uint32_t m_heldWrites = 0;
    bool m_heldPollRaised = false;
    // The clock bytes of the first try of a pending time write and when they were copied.
    std::array<uint8_t, 7> m_timeWriteClock{};
    qint64 m_timeWriteAt = -1;

    std::atomic<uint8_t> m_deviceType{DeviceTypeNone};
    std::atomic<uint8_t> m_firmwareVersion{DeviceTypeNone};
    std::atomic<bool> m_firmwareMode{false};
    std::atomic<bool> m_bootloaderMode{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_hostGone{false};
    std::atomic<bool> m_abandon{false};
    std::atomic<qint64> m_stopRequestedAt{-1};  // on m_clock, -1 = none
    // The closing "Disconnected from" and disconnect reports, and whether they arrived.
    QString m_finalStatus;
    std::atomic<bool> m_ran{false};
    std::atomic<bool> m_finalStatusShown{false};
    std::atomic<bool> m_finalDisconnectShown{false};
    QElapsedTimer m_clock;
};
