// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/taskbar_indicator.h"

#include "presentation/app_info.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QPainter>
#include <QVariantMap>

TaskbarIndicator::TaskbarIndicator(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("taskbarIndicator"));
    setFixedSize(sizeHint());
}

void TaskbarIndicator::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    update();
    publish();
}

void TaskbarIndicator::setProgress(qint64 done, qint64 total)
{
    m_done = done;
    m_total = total;
    update();
    publish();
}

void TaskbarIndicator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect frame = rect().adjusted(0, 1, -1, -2);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(frame);
    QColor fill;
    switch (m_state) {
    case State::NoLink: fill = QColor(0xd0, 0x30, 0x30); break;
    case State::Connecting: fill = QColor(0xe0, 0xb0, 0x20); break;
    case State::Connected: fill = QColor(0x30, 0xa0, 0x40); break;
    }
    const double share = m_total > 0 ? qBound(0.0, double(m_done) / double(m_total), 1.0) : 0.0;
    QRect bar = frame.adjusted(1, 1, 0, 0);
    bar.setWidth(int(bar.width() * share));
    p.fillRect(bar, fill);
}

void TaskbarIndicator::publish()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/com/aqualumora/launcher"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    const double share = m_total > 0 ? qBound(0.0, double(m_done) / double(m_total), 1.0) : 0.0;
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), share);
    // A full bar says nothing a launcher needs to show; only transfers are published.
    properties.insert(QStringLiteral("progress-visible"), m_state == State::Connected && share < 1.0);
    // The launcher finds the entry by the name of the installed desktop file.
    signal << QStringLiteral("application://%1.desktop").arg(QString::fromLatin1(AppInfo::AppId)) << properties;
    bus.send(signal);
}
