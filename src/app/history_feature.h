// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sensor history in the window: the recorder fed from every read Info, the alerts with
// their desktop notifications, the history view beside the controller's own chart, and the
// File menu's export and alert settings. The window holds it as a child object.

#include "history/history_alerts.h"
#include "history/history_recorder.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QTabWidget;
class TfrmLumora;
class DesktopNotifier;
class HistoryView;
class SensorWatch;

class HistoryFeature : public QObject {
    Q_OBJECT
public:
    HistoryFeature(TfrmLumora *window, const QString &path);
    ~HistoryFeature() override;

    static HistoryFeature *of(const TfrmLumora *window);

    // A freshly read Info was copied into the model (its change signal calls this).
    void infoRead();

    // Export of [fromMinute, toMinute) of a controller; logs the outcome.
    bool exportCsv(const QString &file, const QString &controller, qint64 fromMinute, qint64 toMinute);
    void mnuHistoryExportClick();
    void mnuHistoryAlertsClick();

    void setAlertRange(const AlertRange &range); // also remembered in the settings
    AlertRange alertRange() const;
    // The controller being shown or recorded: the connected one, else the last recorded.
    QString currentController() const;

    HistoryRecorder *recorder() const;
    HistoryView *view = nullptr;
    QTabWidget *tabs = nullptr;
    DesktopNotifier *notifier() const;
    void setNotifier(DesktopNotifier *notifier);
    QAction *mnuHistoryExport = nullptr;
    QAction *mnuHistoryAlerts = nullptr;
    // Milliseconds since the epoch of a reading; tests give the simulated controller's clock.
    std::function<qint64()> Clock;
    // Asks for the export file; tests answer without a dialog. Empty: cancelled.
    std::function<QString(const QString &suggested)> ChooseExportFile;
    // Asks for the span to export; false: cancelled.
    std::function<bool(QString &controller, qint64 &fromMinute, qint64 &toMinute)> ChooseExportSpan;

private:
    void retranslate();

    TfrmLumora *w;
    SensorWatch *m_watch = nullptr;
};

// Creates the history of the window: call once the window's pages and menus exist.
HistoryFeature *InstallHistory(TfrmLumora *window, const QString &path = QString());
