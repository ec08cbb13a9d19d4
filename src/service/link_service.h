// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One controller without a window: the link thread and the device model the window would
// have, the download's state, the backups, and the sensor history with its alerts. The
// background service (--headless) runs one for the day; a one-shot command runs one for a
// single action. Lives on the thread that runs the event loop (the main thread).

#include "files/backup_history.h"
#include "files/backup_writer.h"
#include "link/device_model.h"
#include "link/thd_com.h"
#include "presentation/download_gate.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class SensorWatch;

struct ServiceOptions {
    QString portEntry;
    bool trace = false;
    // The service never gives up: failed attempts and lost links are retried with a pause
    // that grows from 1 s to 60 s. A one-shot command tries as the window does, then fails.
    bool keepTrying = true;
    bool recordHistory = true;
    bool backupOnStop = true;   // Backup_<port>.ini and a dated copy when stopped
    QString historyPath;     // empty: the user's history file
    QString programFolder;   // Backup_<port>.ini; empty: the user's data folder
    QString backupRoot;      // the dated copies; empty: their usual folder
    LinkTimings timings;     // keepTrying sets the attempts and the growing pause
    TransportFactory transports;   // tests
};

class LinkService : public QObject
{
    Q_OBJECT
public:
    explicit LinkService(ServiceOptions options, QObject *parent = nullptr);
    // Ends the link (without a backup: stop() writes it) and waits for the thread.
    ~LinkService() override;

    DeviceModel &model() { return m_model; }
    const DeviceImage &device() const { return m_model.image(); }

    void start();
    // Writes the backups (once the whole state of the controller has been read), then ends
    // the link; stopped() follows when the link thread has ended.
    void stop(BackupReason reason = BackupReason::Closing);

    // Identified as this product with the expected firmware.
    bool isConnected() const { return m_connected; }
    // The image holds the whole state of the connected controller.
    bool isComplete() const;
    ControllerFirmware firmware() const;
    QString portEntry() const { return m_options.portEntry; }

    // The alert range, as the settings file holds it now (SIGHUP).
    void reloadSettings();
    // A dated copy now (--backup); the result says where.
    StoreResult storeCopy(BackupReason reason);

    // Why the link failed, in one line: the last status and the cause logged before it
    // ("Error while connecting to ttyUSB0: ttyUSB0 is in use by ...").
    QString failureLine() const;

    // For the host: the link's reports.
    void linkConnected(bool connected);
    void linkStatus(const QString &text);
    void linkLog(const QString &text);
    DownloadGate &download() { return m_download; }
    void checkComplete();

signals:
    void connectedChanged(bool connected);
    // The download of this connection became complete.
    void downloadComplete();
    // The link thread ended on its own (attempts used up, other hardware).
    void linkEnded();
    void stopped();

private:
    void startLink();
    void linkFinished();

    ServiceOptions m_options;
    DeviceModel m_model;
    std::unique_ptr<LinkHost> m_host;
    std::unique_ptr<TthdCom> m_link;
    DownloadGate m_download;
    BackupHistory m_history;
    BackupWriter m_backups;
    SensorWatch *m_sensors = nullptr;
    QTimer m_restart;
    int m_restartDelayMs = 1000;
    bool m_connected = false;
    bool m_completeSaid = false;
    bool m_stopping = false;
    QString m_lastStatus;
    QString m_cause;   // the last line that was not a status line
};

// "-simulator": a simulated controller on a pseudo-terminal for the service's own tests and
// for trying the program out; its port entry, or empty (with the reason logged).
class SimulatorPort;
QString StartSimulatorFor(std::unique_ptr<SimulatorPort> &simulator);
