// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/sensor_watch.h"

#include "history/desktop_notifier.h"
#include "link/device_image.h"
#include "presentation/localization.h"
#include "schedule/sensor_chart.h"

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
    applyRange(range);
}

void SensorWatch::applyRange(const AlertRange &range)
{
    const AlertRange before = m_alerts.range();
    const std::vector<AlertEvent> events = m_alerts.setRange(range);
    const AlertRange now = m_alerts.range();
    if (now.enabled != before.enabled || (now.enabled && (now.low != before.low || now.high != before.high))) {
        const auto text = [this](int tenths) { return ChartValueText(tenths, ChartWaterTemp, m_fahrenheit); };
        m_log(now.enabled ? TranslateFmt(QStringLiteral("AlertRangeSet"), {text(now.low), text(now.high)})
                          : Translate(QStringLiteral("AlertRangeOff")));
    }
    report(events);
}

void SensorWatch::setAlertRange(const AlertRange &range)
{
    applyRange(range);
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
    case HistoryRecorder::Event::Written:
        emit rowsWritten();
        return;
    }
    emit fileChanged();
}

void SensorWatch::infoRead(const QString &portEntry, const DeviceImage &image)
{
    const QString controller = HistoryControllerKey(portEntry);
    m_recorder->record(controller, HistoryReadingFrom(image.Info, image.Config.Mode));

    if (controller != m_alertController) {
        // The alerts of the controller before are not followed any more.
        for (const QString &tag : m_notifier->openAlerts())
            m_notifier->alertWithdrawn(tag);
        m_alerts.reset();
        m_alertController = controller;
    }
    m_portEntry = portEntry;
    m_fahrenheit = isFahrenheit(image.Config);
    report(m_alerts.update(image.Info, m_fahrenheit));
}

void SensorWatch::report(const std::vector<AlertEvent> &events)
{
    const QString summary =
        m_portEntry.isEmpty() ? QStringLiteral("Aqualumora") : QStringLiteral("Aqualumora • ") + m_portEntry;
    for (const AlertEvent &event : events) {
        const QString tag = m_alertController + (event.flag ? QStringLiteral("/flag%1").arg(event.flag)
                                                            : QStringLiteral("/water"));
        if (event.withdrawn) {
            m_notifier->alertWithdrawn(tag);
            continue;
        }
        QStringList args = event.args;
        if (event.flag)
            args[0] = Translate(args[0]);
        const QString text = TranslateFmt(event.key, args);
        m_log(text);
        if (event.start)
            m_notifier->alert(tag, summary, text);
        else
            m_notifier->alertEnded(tag, summary, text);
    }
}
