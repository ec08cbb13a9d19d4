// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/thd_discover.h"
#include "link/ports.h"

#include <QDeadlineTimer>
#include <QMetaObject>

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "presentation/localization.h"
#include "presentation/log_text.h"

void DiscoverHost::bringToFront() {}

namespace {

// Thrown on the worker when its window has gone away: nobody would see another line,
// so the run unwinds at once. Deliberately not a std::exception, which the run's guarded
// blocks report and carry on from.
struct RunCancelled
{
};

constexpr int NameQueryAttempts = 10;
constexpr int DisconnectQueries = 10;
constexpr int PairAttempts = 5;
constexpr int ServiceAttempts = 5;
constexpr int RemoveAttempts = 5;
constexpr int MaxNameLength = 248;
constexpr int SleepStepMs = 20;

// Closes the search however the listing loop is left.
class SearchGuard
{
public:
    SearchGuard(BluetoothApi &api, BluetoothApi::SearchHandle handle) : m_api(api), m_handle(handle) {}
    ~SearchGuard() { close(); }
    void close()
    {
        if (m_handle)
            m_api.findDeviceClose(m_handle);
        m_handle = 0;
    }

private:
    BluetoothApi &m_api;
    BluetoothApi::SearchHandle m_handle;
};

// A name goes into the log between quotes; a control character or line separator in it
// would otherwise start a line of its own that looks like the program's.
QString Printable(const QString &name) { return EscapeForLog(name); }

QString Quoted(const QString &name) { return u'"' + Printable(name) + u'"'; }

QString LastUsedPart(const QDateTime &lastUsed)
{
    if (!lastUsed.isValid() || lastUsed.date().year() <= 2000)
        return QString();
    return QStringLiteral(", ") + ShortDateLongTime(lastUsed.toLocalTime());
}

QString ExceptionText(const std::exception &e) { return QString::fromLocal8Bit(e.what()); }

} // namespace

TthdDiscover::TthdDiscover(bool installRun, std::shared_ptr<BluetoothApi> api, DiscoverHost *host,
                           const DiscoverTimings &timings, DiscoverSleeper sleeper)
    : InstallRun(installRun),
      m_api(std::move(api)),
      m_gate(host ? host->gate() : nullptr),
      m_timings(timings),
      m_sleeper(std::move(sleeper))
{
}

TthdDiscover::~TthdDiscover()
{
    requestInterruption();
    wait();
}

std::unique_ptr<TthdDiscover> TthdDiscover::Create(bool installRun, std::shared_ptr<BluetoothApi> api,
                                                   DiscoverHost *host, const DiscoverTimings &timings,
                                                   DiscoverSleeper sleeper)
{
    auto run = std::make_unique<TthdDiscover>(installRun, std::move(api), host, timings, std::move(sleeper));
    run->start();
    return run;
}

void TthdDiscover::abandon(std::unique_ptr<TthdDiscover> run, int graceMs)
{
    if (!run)
        return;
    run->requestInterruption();
    if (run->wait(QDeadlineTimer(qMax(0, graceMs))))
        return;   // the unique_ptr deletes it here
    TthdDiscover *orphan = run.release();
    orphan->setParent(nullptr);
    connect(orphan, &QThread::finished, orphan, &QObject::deleteLater);
    // It may have ended between the check and the connection.
    if (orphan->isFinished())
        orphan->deleteLater();
}

void TthdDiscover::run()
{
    try {
        try {
            if (!m_api)
                throw std::runtime_error("No Bluetooth functions");
            if (InstallRun)
                InstallDevices();
            else
                RemoveDevices();
        } catch (const std::exception &e) {
            Report(ExceptionText(e));
        }
    } catch (const RunCancelled &) {
    } catch (...) {
        // Nothing may escape a thread; an unknown failure just ends the run.
    }
    // Let go of the Bluetooth stack here, on the worker: releasing the pairing agent waits
    // for BlueZ, and the window must not be the one waiting.
    m_api.reset();
    m_finished = true;
}

void TthdDiscover::Report(const QString &text)
{
    if (isInterruptionRequested())
        throw RunCancelled{};
    ReportText = text;
    if (!RunOnHost(m_gate, [this](LinkHost &host) { ShowReport(host); }, [this] { return isInterruptionRequested(); }))
        throw RunCancelled{};
}

void TthdDiscover::ShowReport(LinkHost &host) { host.addLog(ReportText); }

void TthdDiscover::BringWindowUp()
{
    if (!m_gate)
        return;
    // Posted under the gate's lock, so the host is alive when the call is queued; Qt drops
    // the call should the host go away before it runs.
    QMutexLocker lock(&m_gate->mutex);
    if (auto *host = static_cast<DiscoverHost *>(m_gate->host))
        QMetaObject::invokeMethod(host, [host] { host->bringToFront(); }, Qt::QueuedConnection);
}

void TthdDiscover::pause()
{
    const int ms = m_timings.retryWaitMs;
    if (m_sleeper) {
        m_sleeper(ms);
    } else {
        QDeadlineTimer deadline(ms);
        while (!isInterruptionRequested() && !deadline.hasExpired())
            QThread::msleep(ulong(std::clamp<qint64>(deadline.remainingTime(), 1, SleepStepMs)));
    }
    if (isInterruptionRequested())
        throw RunCancelled{};
}

QString TthdDiscover::ErrorLine(const BluetoothResult &result)
{
    return TranslateFmt(QStringLiteral("WindowsError"), {result.code, result.text});
}

void TthdDiscover::reportError(const BluetoothResult &result) { Report(ErrorLine(result)); }

QString TthdDiscover::DeviceName(const QString &raw)
{
    qsizetype end = raw.indexOf(QChar(0));
    if (end < 0)
        end = raw.size();
    return raw.left(qMin<qsizetype>(end, MaxNameLength));
}

QString TthdDiscover::DescriptionLine(const BluetoothDeviceInfo &info)
{
    QString line = Quoted(DeviceName(info.name)) + LastUsedPart(info.lastUsed);
    if (info.authenticated)
        line += QStringLiteral(", ") + Translate(QStringLiteral("Installed"));
    if (info.connected)
        line += QStringLiteral(", ") + Translate(QStringLiteral("Connected"));
    return line;
}

QString TthdDiscover::ListingLine(const BluetoothDeviceInfo &info)
{
    QString line = BluetoothAddressText(info.address) + QStringLiteral(", ") + Quoted(DeviceName(info.name)) +
                   LastUsedPart(info.lastUsed);
    if (!info.authenticated)
        line += QStringLiteral(", ") + Translate(QStringLiteral("NotInstalled"));
    if (info.connected)
        line += QStringLiteral(", ") + Translate(QStringLiteral("Connected"));
    return line;
}

void TthdDiscover::InstallDevices()
{
    try {
        Report(Translate(QStringLiteral("DiscoverNearbyDevices")));
        BluetoothDeviceInfo info;
        BluetoothResult result;
        const BluetoothApi::SearchHandle search =
            m_api->findFirstDevice(BluetoothSearchParams::inquiry(), info, result);
        if (!search) {
            if (result.kind != BluetoothResult::Kind::NoMoreItems) {
                reportError(result);
                Report(Translate(QStringLiteral("BluetoothAvailable")));
            }
        } else {
            SearchGuard guard(*m_api, search);
            do {
                Report(TranslateFmt(QStringLiteral("DeviceDetected"), {BluetoothAddressText(info.address)}));
                QString name;
                BluetoothResult query;
                for (int attempt = 0; attempt < NameQueryAttempts; ++attempt) {
                    query = m_api->getDeviceInfo(info);
                    if (!query.ok()) {
                        reportError(query);
                        pause();
                        continue;
                    }
                    name = DeviceName(info.name);
                    if (!name.isEmpty())
                        break;
                    Report(Translate(QStringLiteral("NoDeviceName")));
                    pause();
                }
                if (query.ok() && !name.isEmpty()) {
                    Report(DescriptionLine(info));
                    if (name == QLatin1String(ControllerBluetoothName))
                        installDevice(info, name);
                }
                info = {};
            } while (m_api->findNextDevice(search, info));
            guard.close();
        }
    } catch (const std::exception &e) {
        Report(ExceptionText(e));
    }
    Report(Translate(QStringLiteral("DiscoveryCompleted")));
}

void TthdDiscover::installDevice(BluetoothDeviceInfo &info, const QString &name)
{
    if (info.authenticated) {
        // Already paired: make sure its serial port exists. Whether it did already or
        // could not be made, nothing is said; "Uninstall" and a new run start afresh.
        BringWindowUp();
        if (m_api->setServiceState(info, SerialPortServiceClass, true).ok())
            WakePortWatchers();
        return;
    }
    try {
        m_api->enumerateInstalledServices(info);
        Report(TranslateFmt(QStringLiteral("InstallingDevice"), {Printable(name)}));
        bool paired = false;
        for (int attempt = 0; attempt < PairAttempts && !paired; ++attempt) {
            BringWindowUp();
            const BluetoothResult result =
                m_api->authenticateDevice(info, QString::fromLatin1(ControllerPairingCode));
            paired = result.ok();
            if (!paired) {
                reportError(result);
                pause();
            }
        }
        if (!paired)
            return;

        Report(Translate(QStringLiteral("InstallSerialPort")));
        bool enabled = false;
        for (int attempt = 0; attempt < ServiceAttempts && !enabled; ++attempt) {
            BringWindowUp();
            const BluetoothResult result = m_api->setServiceState(info, SerialPortServiceClass, true);
            enabled = result.ok();
            if (!enabled) {
                reportError(result);
                pause();
            }
        }
        if (enabled) {
            // The controller is a port now; no udev notice says so, so the watcher is told.
            WakePortWatchers();
            Report(Translate(QStringLiteral("InstallationStarted")));
            return;
        }
        // Paired without a serial port is of no use; undo the pairing so that the next
        // run starts from scratch.
        try {
            if (removeWithAttempts(info, name))
                Report(Translate(QStringLiteral("TryColdStart")));
        } catch (const std::exception &e) {
            Report(ExceptionText(e));
        }
    } catch (const std::exception &e) {
        Report(ExceptionText(e));
    }
}

bool TthdDiscover::removeWithAttempts(const BluetoothDeviceInfo &info, const QString &name)
{
    Report(TranslateFmt(QStringLiteral("UninstallingDevice"), {Printable(name)}));
    for (int attempt = 0; attempt < RemoveAttempts; ++attempt) {
        const BluetoothResult result = m_api->removeDevice(info.address);
        if (result.ok()) {
            Report(Translate(QStringLiteral("UninstallSuccessful")));
            return true;
        }
        reportError(result);
        pause();
    }
    return false;
}

void TthdDiscover::RemoveDevices()
{
    try {
        Report(Translate(QStringLiteral("ListingInstalledDevices")));
        BluetoothDeviceInfo info;
        BluetoothResult result;
        const BluetoothApi::SearchHandle search =
            m_api->findFirstDevice(BluetoothSearchParams::knownDevices(), info, result);
        if (!search) {
            if (result.kind != BluetoothResult::Kind::NoMoreItems)
                reportError(result);
        } else {
            SearchGuard guard(*m_api, search);
            do {
                Report(ListingLine(info));
                const QString name = DeviceName(info.name);
                if (info.authenticated && name == QLatin1String(ControllerBluetoothName)) {
                    // The serial port of a connected device cannot go; give the user
                    // about twenty seconds to end the connection.
                    for (int query = 0; query < DisconnectQueries; ++query) {
                        const BluetoothResult state = m_api->getDeviceInfo(info);
                        if (!state.ok()) {
                            reportError(state);
                            pause();
                        } else if (info.connected) {
                            Report(Translate(QStringLiteral("DeviceInUse")));
                            pause();
                        }
                    }
                    if (!info.connected) {
                        try {
                            removeWithAttempts(info, name);
                        } catch (const std::exception &e) {
                            Report(ExceptionText(e));
                        }
                    }
                }
                info = {};
            } while (m_api->findNextDevice(search, info));
            guard.close();
        }
    } catch (const std::exception &e) {
        Report(ExceptionText(e));
    }
    Report(Translate(QStringLiteral("RemovalCompleted")));
}
