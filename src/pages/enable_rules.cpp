// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/enable_rules.h"

#include <QAction>
#include <QWidget>

#include "pages/page_host.h"

namespace {

QObject *findIn(PageHost &host, const QList<QWidget *> &sheets, const QString &name)
{
    for (QWidget *sheet : sheets) {
        if (sheet->objectName() == name)
            return sheet;
        if (QObject *found = sheet->findChild<QObject *>(name))
            return found;
    }
    return host.action(name);
}

bool allowed(Enable when, const EnableState &s, bool fanByLed)
{
    switch (when) {
    case Enable::Connected: return s.connected;
    case Enable::Manual: return s.manual();
    case Enable::FanOff: return s.connected && s.fanMode != 1;
    case Enable::WeatherTrigger: return s.weatherTrigger();
    case Enable::Sensor: return s.sensor;
    case Enable::SensorNotLed: return s.sensor && !fanByLed;
    case Enable::Slave: return s.slave;
    }
    return false;
}

} // namespace

void EnableRules::resolve(PageHost &host, const QList<QWidget *> &sheets)
{
    m_resolved = true;
    for (const EnableRule &rule : m_rules) {
        const QString name = QString::fromLatin1(rule.name);
        if (name.endsWith(u'#')) {
            for (int i = 0; i < 12; ++i)
                if (QObject *object = findIn(host, sheets, name.chopped(1) + QString::number(i)))
                    m_targets.push_back({object, rule.when});
        } else if (QObject *object = findIn(host, sheets, name)) {
            m_targets.push_back({object, rule.when});
        }
    }
}

void EnableRules::apply(PageHost &host, const QList<QWidget *> &sheets, const EnableState &state, bool fanByLed)
{
    if (!m_resolved)
        resolve(host, sheets);
    for (const Target &target : m_targets) {
        const bool on = allowed(target.when, state, fanByLed);
        if (auto *widget = qobject_cast<QWidget *>(target.object))
            widget->setEnabled(on);
        else if (auto *item = qobject_cast<QAction *>(target.object))
            item->setEnabled(on);
    }
}
