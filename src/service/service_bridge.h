// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The service's way to the MQTT broker: the settings (file, with --mqtt and
// --mqtt-read-only over it), the client with its last will, and the Home Assistant bridge.
// Nothing runs when no broker is set up.

#include "mqtt/mqtt_settings.h"
#include "presentation/cmdline.h"

#include <QObject>

#include <memory>

class HaBridge;
class LinkService;
class MqttClient;

class ServiceBridge : public QObject
{
    Q_OBJECT
public:
    ServiceBridge(LinkService &service, const CommandLine &cmd, QObject *parent = nullptr);
    ~ServiceBridge() override;

    // False (with the reason on standard error) for a --mqtt that cannot work.
    bool start();
    // "offline", then goodbye to the broker.
    void stop();
    // SIGHUP: the settings file again; a changed broker is connected anew.
    void reload();

    HaBridge *bridge() const { return m_bridge.get(); }

private:
    bool settingsNow(MqttSettings &settings, QString *error) const;
    bool connectTo(const MqttSettings &settings, QString *error);

    LinkService &m_service;
    CommandLine m_cmd;
    MqttSettings m_running;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<HaBridge> m_bridge;
};
