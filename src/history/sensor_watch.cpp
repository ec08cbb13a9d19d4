// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/sensor_watch.h"

#include "history/desktop_notifier.h"
#include "link/device_image.h"
#include "presentation/localization.h"

#include <QDateTime>
#include <QSettings>

namespace {

// The alert range has a settings file of its own: forgetting the port clears the
// organization's file, and that must not switch the alerts off.
const QString KeyEnabled = QStringLiteral("Alerts/Enabled");
const QString KeyLow = QStringLiteral("Alerts/Low");
const QString KeyHigh = QStringLiteral("Alerts/High");

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"), QStringLiteral("history"));
}

} // namespace

SensorWatch::SensorWatch(const QString &path, LogFn log, QObject *parent) : QObject(parent), m_log(std::move(log))
{
    m_recorder = std::make_unique<HistoryRecorder>(
        path,
        [this](HistoryRecorder::Event event, const QString &detail) {
            // From the writer thread: heard here in the watch's own time.
            QMetaObject::invokeMethod(this, [this, event, detail] { recorderEvent(event, detail); }, Qt::QueuedConnection);
        },
        [this] { return Clock ? Clock() : QDateTime::currentMSecsSinceEpoch(); });
    m_notifier = new DesktopNotifier(this);
    reloadAlertRange();
}

SensorWatch::~SensorWatch() { m_recorder.reset(); }

void SensorWatch::reloadAlertRange()
{
    QSettings s = settings();
    AlertRange range;
    range.enabled = s.value(KeyEnabled, false).toBool();
    range.low = s.value(KeyLow, range.low).toInt();
    range.high = s.value(KeyHigh, range.high).toInt();
    m_alerts.setRange(range);
}

void SensorWatch::setAlertRange(const AlertRange &range)
{
    m_alerts.setRange(range);
    QSettings s = settings();
    s.setValue(KeyEnabled, range.enabled);
    s.setValue(KeyLow, m_alerts.range().low);
    s.setValue(KeyHigh, m_alerts.range().high);
}

void SensorWatch::recorderEvent(HistoryRecorder::Event event, const QString &detail)
{
    switch (event) {
    case HistoryRecorder::Event::Opened:
        break;
    case HistoryRecorder::Event::MovedAside:
        m_log(TranslateFmt(QStringLiteral("HistoryMovedAside"), {detail}));
        break;
    case HistoryRecorder::Event::Unavailable:
        m_log(TranslateFmt(QStringLiteral("HistoryUnavailable"), {detail}));
        return;
    case HistoryRecorder::Event::WriteFailed:
        m_log(TranslateFmt(QStringLiteral("HistoryWriteFailed"), {detail}));
        return;
    }
    emit fileChanged();
}

void SensorWatch::infoRead(const QString &portEntry, const DeviceImage &image)
{
    const QString controller = HistoryControllerKey(portEntry);
    m_recorder->record(controller, HistoryReadingFrom(image.Info, image.Config.Mode));

    if (controller != m_alertController) {
        m_alerts.reset();
        m_alertController = controller;
    }
    for (const AlertEvent &event : m_alerts.update(image.Info, isFahrenheit(image.Config))) {
        QStringList args = event.args;
        if (event.flag)
            args[0] = Translate(args[0]);
        const QString text = TranslateFmt(event.key, args);
        m_log(text);
        m_notifier->notify(portEntry.isEmpty() ? QStringLiteral("Aqualumora") : QStringLiteral("Aqualumora • ") + portEntry,
                           text, event.start);
    }
}
