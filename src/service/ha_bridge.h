// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One controller on an MQTT broker the way Home Assistant discovers it: one device with
// twelve lights (one per channel, named by its colour name), the operating mode as a select,
// clouds and thunderstorm as switches, water temperature, supply voltage and the offset of
// the controller's clock as sensors, fan, cooler and heater as binary sensors, and a button
// that sets the controller's clock from this computer. Its availability is "online" while
// the controller is connected and "offline" otherwise (also as the broker's last will).
//
// Topics, below <prefix>/<controller> (e.g. aqualumora/ttyUSB0):
//   availability                  online | offline
//   channel/<a..l>, .../set        {"state":"ON","brightness":0..4096} (the state also says
//                                  "color_mode":"brightness")
//   mode, mode/set                 Manual | Auto | Geo | RGBDemo | Flash
//   clouds, thunderstorm (+ /set)  ON | OFF
//   water_temperature, supply_voltage, clock_offset, fan, cooler, heater
//   set_clock/press                PRESS
// and the retained configurations <discovery>/<component>/aqualumora_<controller>/<object>/config.
//
// State is published retained and only when it changed (from the model's change signal).
// Commands go through the model's typed edits, as the window's controls do; a burst of level
// commands is folded into one write per turn (the latest level per channel wins), and level
// writes leave room for the controller's poll. A command that cannot be taken is dropped
// with a log line (at most one every few seconds) and writes nothing.

#include "mqtt/mqtt_settings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

class LinkService;
class MqttClient;
struct DeviceChange;

class HaBridge : public QObject
{
    Q_OBJECT
public:
    HaBridge(LinkService &service, MqttClient &client, const MqttSettings &settings, QObject *parent = nullptr);

    // The controller's name in topics: its port, made safe ("ttyUSB0", "00_11_22_AA_BB_CC").
    static QString controllerId(const QString &portEntry);
    // The client id on the broker, unique per computer and port and no longer than the 23
    // characters every broker must take: two computers with a ttyUSB0 each on one broker would
    // otherwise throw each other off, over and over.
    static QString clientId(const QString &portEntry, const QString &hostName);
    // The object id in discovery topics, unique ids and the device's identifier:
    // "aqualumora_ttyUSB0", or with another topic prefix "<prefix>_ttyUSB0", so that two
    // computers whose controllers share a port name appear as two devices once each has a
    // prefix of its own.
    QString nodeId() const { return m_node; }
    QString baseTopic() const { return m_base; }
    QString availabilityTopic() const { return m_base + QStringLiteral("/availability"); }

    // The broker (re)connected: configurations, availability and the whole state again.
    void publishAll();
    // "offline" now (the program ends).
    void publishOffline();

    // Payloads a command topic accepts at most.
    static constexpr int MaxCommandPayload = 256;
    // Level writes follow each other no faster than this, so the poll gets its turn.
    static constexpr int LevelWriteSpacingMs = 100;
    static constexpr int DropLogIntervalMs = 5000;

    // Commands dropped so far (tests).
    int droppedCommands() const { return m_dropped; }

private:
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    QString statusTopic() const { return m_settings.discoveryPrefix + QStringLiteral("/status"); }
    void onModelChanged(const DeviceChange &change);
    void publishDiscovery();
    void publishState(bool force);
    void publishValue(const QString &subtopic, const QByteArray &payload, bool force);
    void drop(const QString &why);
    void flushLevels();
    void command(const QString &what, const QByteArray &payload);

    LinkService &m_service;
    MqttClient &m_client;
    MqttSettings m_settings;
    QString m_id;
    QString m_base;
    QString m_node;
    QHash<QString, QByteArray> m_published;
    QByteArray m_discoveredNames;   // the colour names the configurations carry
    std::array<std::optional<uint16_t>, 12> m_pendingLevels{};
    std::array<uint16_t, 12> m_lastLit{};
    QTimer m_levelTimer;
    QElapsedTimer m_sinceLevelWrite;
    QElapsedTimer m_sinceDropLog;
    int m_dropped = 0;
    int m_droppedUnsaid = 0;
    bool m_fanOn = false;
    qint64 m_clockOffset = 0;
    bool m_clockOffsetKnown = false;
};
