// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/service_bridge.h"

#include "mqtt/mqtt_client.h"
#include "presentation/localization.h"
#include "presentation/log_categories.h"
#include "service/ha_bridge.h"
#include "service/link_service.h"

#include <QSysInfo>

#include <cstdio>

ServiceBridge::ServiceBridge(LinkService &service, const CommandLine &cmd, QObject *parent)
    : QObject(parent), m_service(service), m_cmd(cmd)
{
}

ServiceBridge::~ServiceBridge()
{
    m_bridge.reset();
    m_client.reset();
}

bool ServiceBridge::settingsNow(MqttSettings &settings, QString *error) const
{
    settings = LoadMqttSettings();
    if (!m_cmd.mqttUrl.isEmpty()) {
        MqttSettings fromUrl;
        if (!ParseMqttUrl(m_cmd.mqttUrl, fromUrl, error))
            return false;
        settings = MergeMqttUrl(settings, fromUrl);
        settings.enabled = true;
    }
    if (m_cmd.mqttReadOnly)
        settings.readOnly = true;
    return true;
}

bool ServiceBridge::start()
{
    MqttSettings settings;
    QString error;
    if (!settingsNow(settings, &error) || !connectTo(settings, &error)) {
        std::fprintf(stderr, "aqualumora: --mqtt: %s\n", qUtf8Printable(error));
        return false;
    }
    return true;
}

bool ServiceBridge::connectTo(const MqttSettings &settings, QString *error)
{
    m_bridge.reset();
    m_client.reset();
    m_running = settings;
    if (!settings.enabled || settings.host.isEmpty())
        return true;
    m_client = std::make_unique<MqttClient>();
    m_bridge = std::make_unique<HaBridge>(m_service, *m_client, settings);
    m_client->setWill(m_bridge->availabilityTopic(), "offline", true);
    connect(m_client.get(), &MqttClient::connected, this, [settings] {
        LogMessage(lcMqtt(), TranslateFmt(QStringLiteral("MqttConnected"), {MqttBrokerForLog(settings)}));
    });
    connect(m_client.get(), &MqttClient::disconnected, this, [settings](const QString &reason) {
        LogMessage(lcMqtt(), TranslateFmt(QStringLiteral("MqttDisconnected"), {MqttBrokerForLog(settings), reason}));
    });
    const QString clientId = HaBridge::clientId(m_service.portEntry(), QSysInfo::machineHostName());
    if (!m_client->start(settings, clientId, error)) {
        m_bridge.reset();
        m_client.reset();
        return false;
    }
    LogMessage(lcMqtt(), TranslateFmt(QStringLiteral("MqttConnecting"), {MqttBrokerForLog(settings)}));
    return true;
}

void ServiceBridge::stop()
{
    if (m_bridge)
        m_bridge->publishOffline();
    // The goodbye goes out after the message queued before it.
    m_bridge.reset();
    m_client.reset();
}

void ServiceBridge::reload()
{
    MqttSettings settings;
    QString error;
    if (!settingsNow(settings, &error)) {
        LogMessage(lcMqtt(), error);
        return;
    }
    if (settings == m_running)
        return;
    if (m_bridge)
        m_bridge->publishOffline();
    if (!connectTo(settings, &error))
        LogMessage(lcMqtt(), error);
}
