// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/link_service.h"

#include "history/history_store.h"
#include "history/sensor_watch.h"
#include "link/ports.h"
#include "presentation/localization.h"
#include "presentation/log_categories.h"
#include "sim/simulator_port.h"

#include <QDir>
#include <QStandardPaths>

namespace {

constexpr int RestartDelayMaxMs = 60000;

QString defaultProgramFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    const QString folder = data + QStringLiteral("/Aqualumora/");
    QDir().mkpath(folder);
    return folder;
}

// The link thread's view of the service: the same reports the window gets, as log lines.
class ServiceLinkHost : public LinkHost
{
public:
    explicit ServiceLinkHost(LinkService &service) : LinkHost(service.model()), s(service) {}
    ~ServiceLinkHost() override { detachLink(); }

    void addLog(const QString &text) override { s.linkLog(text); }
    void addTrace(const QString &text) override { LogMessage(lcLinkTrace(), text, QtDebugMsg); }
    void setStatusText(const QString &text) override { s.linkStatus(text); }
    void setConnected(bool connected) override { s.linkConnected(connected); }
    void recordRead(uint32_t readBit, bool copied) override
    {
        if (const std::optional<DownloadGate::Record> record = DownloadGate::recordOfRead(readBit)) {
            s.download().recordRead(*record, copied);
            s.checkComplete();
        }
    }
    void scheduleDownloaded(bool complete) override
    {
        s.download().scheduleRead(complete, s.device().Schedule.size());
        s.checkComplete();
    }

private:
    LinkService &s;
};

} // namespace

LinkService::LinkService(ServiceOptions options, QObject *parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_history(m_options.backupRoot.isEmpty() ? BackupHistory::defaultRoot() : m_options.backupRoot),
      m_backups(m_options.programFolder.isEmpty() ? defaultProgramFolder() : m_options.programFolder, &m_history,
                [](const QString &text) { LogMessage(lcFiles(), text); })
{
    m_model.setStartupValues();
    if (m_options.keepTrying) {
        m_options.timings.openAttempts = 0;
        m_options.timings.retryWaitMaxMs = RestartDelayMaxMs;
    }
    if (m_options.recordHistory) {
        m_sensors = new SensorWatch(m_options.historyPath.isEmpty() ? HistoryStore::defaultPath() : m_options.historyPath,
                                    [](const QString &text) { LogMessage(lcHistory(), text); }, this);
        connect(&m_model, &DeviceModel::changed, this, [this](const DeviceChange &change) {
            if (change.origin == DeviceChange::Origin::Controller && (change.parts & PartInfo) && m_connected)
                m_sensors->infoRead(m_options.portEntry, m_model.image());
        });
    }
    m_restart.setSingleShot(true);
    connect(&m_restart, &QTimer::timeout, this, &LinkService::startLink);
}

LinkService::~LinkService()
{
    m_restart.stop();
    m_link.reset();
    m_host.reset();
    delete m_sensors;
}

void LinkService::start()
{
    m_stopping = false;
    startLink();
}

void LinkService::startLink()
{
    if (m_stopping || m_options.portEntry.isEmpty())
        return;
    if (!m_host)
        m_host = std::make_unique<ServiceLinkHost>(*this);
    // A new link starts only once the one before has ended (start, or the restart after it).
    m_link.reset();
    m_download.reset();
    m_link = TthdCom::Create(m_options.portEntry, m_options.trace, m_host.get(), m_options.timings, m_options.transports);
    connect(m_link.get(), &QThread::finished, this, &LinkService::linkFinished);
}

void LinkService::linkFinished()
{
    if (m_stopping) {
        if (!m_link || m_link->Finished())
            emit stopped();
        return;
    }
    emit linkEnded();
    if (!m_options.keepTrying)
        return;
    // The thread ends by itself only for hardware that is not this product; it may be
    // replaced on the same port, so the service looks again, ever less often.
    m_restart.start(m_restartDelayMs);
    m_restartDelayMs = std::min(m_restartDelayMs * 2, RestartDelayMaxMs);
}

void LinkService::stop(BackupReason reason)
{
    if (m_stopping)
        return;
    if (m_options.backupOnStop && isComplete())
        m_backups.writeAutomatic(m_download.port(), m_model.image(), reason, firmware());
    m_stopping = true;
    m_restart.stop();
    if (m_link && !m_link->Finished()) {
        m_link->Terminate();
        return;
    }
    QMetaObject::invokeMethod(this, &LinkService::stopped, Qt::QueuedConnection);
}

bool LinkService::isComplete() const
{
    return m_connected && m_download.complete(m_model.image().Schedule.size()) && m_download.port() == m_options.portEntry;
}

ControllerFirmware LinkService::firmware() const
{
    ControllerFirmware firmware;
    if (m_link && m_link->DeviceType() != DeviceTypeNone) {
        firmware.deviceType = m_link->DeviceType();
        firmware.version = m_link->FirmwareVersion();
    }
    return firmware;
}

StoreResult LinkService::storeCopy(BackupReason reason)
{
    if (!isComplete())
        return {};
    return m_backups.storeCopy(m_download.port(), m_model.image(), reason, firmware());
}

void LinkService::reloadSettings()
{
    if (m_sensors)
        m_sensors->reloadAlertRange();
}

void LinkService::linkConnected(bool connected)
{
    if (connected) {
        m_download.connected(m_options.portEntry);
        m_completeSaid = false;
        m_restartDelayMs = 1000;
    } else {
        m_download.reset();
        if (m_sensors && m_connected)
            m_sensors->recorder()->finishMinute();
    }
    if (connected == m_connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

void LinkService::linkStatus(const QString &text)
{
    // The closing "Disconnected from" says nothing of why.
    if (!m_stopping && text != TranslateFmt(QStringLiteral("DisconnectedFrom"), {m_options.portEntry}))
        m_lastStatus = text;
    LogMessage(lcLink(), text);
}

void LinkService::linkLog(const QString &text)
{
    m_cause = text;
    LogMessage(lcLink(), text);
}

QString LinkService::failureLine() const
{
    if (m_cause.isEmpty() || m_cause == m_lastStatus)
        return m_lastStatus;
    return m_lastStatus.isEmpty() ? m_cause : m_lastStatus + QStringLiteral(": ") + m_cause;
}

void LinkService::checkComplete()
{
    if (m_completeSaid || !isComplete())
        return;
    m_completeSaid = true;
    emit downloadComplete();
}

QString StartSimulatorFor(std::unique_ptr<SimulatorPort> &simulator)
{
    simulator = std::make_unique<SimulatorPort>();
    if (!simulator->start()) {
        LogMessage(lcApp(), simulator->errorString());
        simulator.reset();
        return {};
    }
    return SimulatedPortEntry(simulator->portPath());
}
