// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sensor history and the alerts for one program that hears controllers (the window or
// the background service): every freshly read Info is recorded and checked against the
// alert range; an alert gives a log line and a desktop notification, once when it begins
// and once when it ends. The range is kept in a settings file of its own.

#include "history/history_alerts.h"
#include "history/history_recorder.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class DesktopNotifier;
struct DeviceImage;

class SensorWatch : public QObject
{
    Q_OBJECT
public:
    // A line for the log (the history's category); called on the watch's thread.
    using LogFn = std::function<void(const QString &)>;
    SensorWatch(const QString &path, LogFn log, QObject *parent = nullptr);
    // Writes what is queued and stops the writer, while this object is whole.
    ~SensorWatch() override;

    // A freshly read Info of the controller on portEntry is in image.
    void infoRead(const QString &portEntry, const DeviceImage &image);

    void setAlertRange(const AlertRange &range); // also remembered in the settings
    AlertRange alertRange() const { return m_alerts.range(); }
    // The range as the settings file holds it now (another program may have changed it).
    void reloadAlertRange();

    HistoryRecorder *recorder() const { return m_recorder.get(); }
    DesktopNotifier *notifier() const { return m_notifier; }
    // Another way to notify (tests: a private bus); the watch does not take it over.
    void setNotifier(DesktopNotifier *notifier) { m_notifier = notifier; }
    // Milliseconds since the epoch of a reading; by default the system's clock.
    std::function<qint64()> Clock;

signals:
    // The history file was opened, or a new one started: what shows it reads it again.
    void fileChanged();
    // New rows are in the file.
    void rowsWritten();

private:
    void recorderEvent(HistoryRecorder::Event event, const QString &detail);
    // Logs a changed range, then reports what it ended or began.
    void applyRange(const AlertRange &range);
    // Log lines and notifications of alert events of the present controller.
    void report(const std::vector<AlertEvent> &events);

    LogFn m_log;
    std::unique_ptr<HistoryRecorder> m_recorder;
    DesktopNotifier *m_notifier = nullptr;
    AlertMonitor m_alerts;
    QString m_alertController;
    QString m_portEntry;
    bool m_fahrenheit = false;
};
