// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ha_bridge.h"

#include "files/settings_file.h"
#include "mqtt/mqtt_client.h"
#include "presentation/app_info.h"
#include "presentation/localization.h"
#include "presentation/log_categories.h"
#include "service/controller_state.h"
#include "service/ha_command.h"
#include "service/link_service.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray compact(const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }
QByteArray onOff(bool on) { return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF"); }
QByteArray number(const std::optional<double> &value)
{
    // Already rounded to hundredths: the shortest form ("24.8", "12.04", "25").
    return value ? QByteArray::number(*value, 'g', 10) : QByteArrayLiteral("unknown");
}

QString channelObject(int channel) { return QStringLiteral("channel_") + ChannelLetter(channel).toLower(); }

// Clock offsets within this of the last one published are the same reading: the controller's
// clock has whole seconds and is read at some moment of its second.
constexpr qint64 ClockOffsetStepSeconds = 2;

} // namespace

QString HaBridge::controllerId(const QString &portEntry)
{
    // Home Assistant takes only letters, digits, "_" and "-" in an object's id.
    return SafePortName(portEntry).replace(u'.', u'_');
}

QString HaBridge::clientId(const QString &portEntry, const QString &hostName)
{
    const QByteArray key = hostName.toUtf8() + '\n' + controllerId(portEntry).toUtf8();
    return QStringLiteral("aqualumora-") +
        QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(12));
}

HaBridge::HaBridge(LinkService &service, MqttClient &client, const MqttSettings &settings, QObject *parent)
    : QObject(parent), m_service(service), m_client(client), m_settings(settings)
{
    m_id = controllerId(service.portEntry());
    m_base = settings.topicPrefix + u'/' + m_id;
    // The default prefix "aqualumora" gives "aqualumora_ttyUSB0", as before prefixes counted.
    m_node = settings.topicPrefix;
    for (QChar &c : m_node)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_' && c != u'-')
            c = u'_';
    m_node += u'_' + m_id;
    m_levelTimer.setSingleShot(true);
    connect(&m_levelTimer, &QTimer::timeout, this, &HaBridge::flushLevels);
    connect(&m_client, &MqttClient::connected, this, &HaBridge::publishAll);
    connect(&m_client, &MqttClient::messageReceived, this, &HaBridge::onMessage);
    connect(&m_service.model(), &DeviceModel::changed, this, &HaBridge::onModelChanged);
    connect(&m_service, &LinkService::connectedChanged, this, [this](bool connected) {
        publishValue(QStringLiteral("availability"), connected ? "online" : "offline", false);
        if (connected)
            publishDiscovery();   // the firmware version in the device may have changed
    });
    // Home Assistant says "online" here when it (re)starts; it gets everything again then.
    m_client.subscribe(statusTopic());
    if (!settings.readOnly) {
        m_client.subscribe(m_base + QStringLiteral("/+/set"));
        m_client.subscribe(m_base + QStringLiteral("/+/+/set"));
        m_client.subscribe(m_base + QStringLiteral("/set_clock/press"));
    }
}

void HaBridge::publishAll()
{
    m_published.clear();
    publishDiscovery();
    publishValue(QStringLiteral("availability"), m_service.isConnected() ? "online" : "offline", true);
    if (m_service.isConnected())
        publishState(true);
}

void HaBridge::publishOffline() { publishValue(QStringLiteral("availability"), "offline", true); }

void HaBridge::publishDiscovery()
{
    const DeviceImage &image = m_service.device();
    QJsonObject device;
    device[QStringLiteral("identifiers")] = QJsonArray{m_node};
    device[QStringLiteral("name")] = QStringLiteral("Aqualumora ") + m_service.portEntry().section(u' ', 0, 0);
    device[QStringLiteral("model")] = QStringLiteral("Aqualumora 1.x");
    const int firmware = m_service.firmware().version;
    if (firmware >= 0)
        device[QStringLiteral("sw_version")] = QStringLiteral("1.x.%1").arg(firmware);

    const bool commands = !m_settings.readOnly;
    const auto entity = [&](const QString &component, const QString &object, const QString &name, QJsonObject config) {
        config[QStringLiteral("name")] = name;
        config[QStringLiteral("unique_id")] = m_node + u'_' + object;
        config[QStringLiteral("availability_topic")] = availabilityTopic();
        config[QStringLiteral("device")] = device;
        const QByteArray payload = compact(config);
        const QString topic = QStringLiteral("%1/%2/%3/%4/config").arg(m_settings.discoveryPrefix, component, m_node, object);
        if (m_published.value(topic) != payload && m_client.publish(topic, payload, true))
            m_published.insert(topic, payload);
    };
    const auto topics = [&](const QString &state, bool withCommand) {
        QJsonObject config;
        config[QStringLiteral("state_topic")] = m_base + u'/' + state;
        if (withCommand && commands)
            config[QStringLiteral("command_topic")] = m_base + u'/' + state + QStringLiteral("/set");
        return config;
    };

    for (int i = 0; i < ChannelCount; ++i) {
        const QString state = QStringLiteral("channel/") + ChannelLetter(i).toLower();
        if (commands) {
            QJsonObject config = topics(state, true);
            config[QStringLiteral("schema")] = QStringLiteral("json");
            // Dimmable only, said the way Home Assistant reads it today (color modes); the
            // older brightness flag stays for installations from before them.
            config[QStringLiteral("supported_color_modes")] = QJsonArray{QStringLiteral("brightness")};
            config[QStringLiteral("brightness")] = true;
            config[QStringLiteral("brightness_scale")] = LevelFull;
            entity(QStringLiteral("light"), channelObject(i), ChannelName(image, i), config);
        } else {
            // Without commands a light cannot be offered; the level is a sensor then.
            QJsonObject config = topics(state, false);
            config[QStringLiteral("unit_of_measurement")] = QStringLiteral("%");
            config[QStringLiteral("value_template")] = QStringLiteral("{{ (value_json.brightness / 40.96) | round(1) }}");
            entity(QStringLiteral("sensor"), channelObject(i), ChannelName(image, i), config);
        }
    }
    QJsonObject mode = topics(QStringLiteral("mode"), true);
    QJsonArray options;
    for (int m = 0; m < 5; ++m)
        options.append(ModeName(m));
    mode[QStringLiteral("options")] = options;
    entity(commands ? QStringLiteral("select") : QStringLiteral("sensor"), QStringLiteral("mode"), QStringLiteral("Mode"),
           commands ? mode : topics(QStringLiteral("mode"), false));
    for (const auto &[object, name] : {std::pair{QStringLiteral("clouds"), QStringLiteral("Clouds")},
                                       std::pair{QStringLiteral("thunderstorm"), QStringLiteral("Thunderstorm")}})
        entity(commands ? QStringLiteral("switch") : QStringLiteral("binary_sensor"), object, name, topics(object, true));

    QJsonObject water = topics(QStringLiteral("water_temperature"), false);
    water[QStringLiteral("device_class")] = QStringLiteral("temperature");
    water[QStringLiteral("unit_of_measurement")] = QStringLiteral("°C");
    water[QStringLiteral("state_class")] = QStringLiteral("measurement");
    entity(QStringLiteral("sensor"), QStringLiteral("water_temperature"), QStringLiteral("Water temperature"), water);
    QJsonObject voltage = topics(QStringLiteral("supply_voltage"), false);
    voltage[QStringLiteral("device_class")] = QStringLiteral("voltage");
    voltage[QStringLiteral("unit_of_measurement")] = QStringLiteral("V");
    voltage[QStringLiteral("state_class")] = QStringLiteral("measurement");
    entity(QStringLiteral("sensor"), QStringLiteral("supply_voltage"), QStringLiteral("Supply voltage"), voltage);
    QJsonObject offset = topics(QStringLiteral("clock_offset"), false);
    offset[QStringLiteral("device_class")] = QStringLiteral("duration");
    offset[QStringLiteral("unit_of_measurement")] = QStringLiteral("s");
    offset[QStringLiteral("entity_category")] = QStringLiteral("diagnostic");
    entity(QStringLiteral("sensor"), QStringLiteral("clock_offset"), QStringLiteral("Clock offset"), offset);
    for (const auto &[object, name] : {std::pair{QStringLiteral("fan"), QStringLiteral("Fan")},
                                       std::pair{QStringLiteral("cooler"), QStringLiteral("Cooler")},
                                       std::pair{QStringLiteral("heater"), QStringLiteral("Heater")}}) {
        QJsonObject config = topics(object, false);
        config[QStringLiteral("device_class")] = QStringLiteral("running");
        entity(QStringLiteral("binary_sensor"), object, name, config);
    }
    if (commands) {
        QJsonObject button;
        button[QStringLiteral("command_topic")] = m_base + QStringLiteral("/set_clock/press");
        button[QStringLiteral("entity_category")] = QStringLiteral("config");
        entity(QStringLiteral("button"), QStringLiteral("set_clock"), QStringLiteral("Set clock from this computer"), button);
    }
}

void HaBridge::publishValue(const QString &subtopic, const QByteArray &payload, bool force)
{
    const QString topic = m_base + u'/' + subtopic;
    if (!force && m_published.value(topic) == payload)
        return;
    if (m_client.publish(topic, payload, true))
        m_published.insert(topic, payload);
}

void HaBridge::onModelChanged(const DeviceChange &)
{
    // The lights are named by the colour names of Config, which the first download (and
    // any edit of them) brings after the connection is announced.
    const DeviceImage &image = m_service.device();
    const QByteArray names(reinterpret_cast<const char *>(image.Config.ColorName), sizeof image.Config.ColorName);
    if (names != m_discoveredNames) {
        m_discoveredNames = names;
        publishDiscovery();
    }
    if (m_service.isConnected())
        publishState(false);
}

void HaBridge::publishState(bool force)
{
    const DeviceImage &image = m_service.device();
    const InfoRecord &info = image.Info;
    for (int i = 0; i < ChannelCount; ++i) {
        const uint16_t level = std::min<uint16_t>(info.Level[i], LevelFull);
        if (level > 0)
            m_lastLit[size_t(i)] = level;
        QJsonObject state;
        state[QStringLiteral("state")] = level > 0 ? QStringLiteral("ON") : QStringLiteral("OFF");
        state[QStringLiteral("brightness")] = int(level);
        state[QStringLiteral("color_mode")] = QStringLiteral("brightness");
        publishValue(QStringLiteral("channel/") + ChannelLetter(i).toLower(), compact(state), force);
    }
    publishValue(QStringLiteral("mode"), ModeName(image.Config.Mode).toUtf8(), force);
    publishValue(QStringLiteral("clouds"), onOff(info.StateFlags & StateCloud), force);
    publishValue(QStringLiteral("thunderstorm"), onOff(info.StateFlags & StateStorm), force);
    publishValue(QStringLiteral("water_temperature"), number(WaterTemperature(info)), force);
    publishValue(QStringLiteral("supply_voltage"), number(SupplyVoltage(info)), force);
    m_fanOn = FanRunning(image, m_fanOn);
    publishValue(QStringLiteral("fan"), onOff(m_fanOn), force);
    publishValue(QStringLiteral("cooler"), onOff(info.StateFlags & StateCooler), force);
    publishValue(QStringLiteral("heater"), onOff(info.StateFlags & StateHeater), force);
    if (const std::optional<qint64> offset = ControllerClockOffset(info, QDateTime::currentDateTime())) {
        if (force || !m_clockOffsetKnown || std::abs(*offset - m_clockOffset) >= ClockOffsetStepSeconds) {
            m_clockOffset = *offset;
            m_clockOffsetKnown = true;
            publishValue(QStringLiteral("clock_offset"), QByteArray::number(*offset), force);
        }
    }
}

void HaBridge::drop(const QString &why)
{
    ++m_dropped;
    // A flood of bad commands gives a line now and then, not a line each.
    if (m_sinceDropLog.isValid() && m_sinceDropLog.elapsed() < DropLogIntervalMs) {
        ++m_droppedUnsaid;
        return;
    }
    QString line = TranslateFmt(QStringLiteral("MqttCommandDropped"), {why});
    if (m_droppedUnsaid > 0)
        line += u' ' + TranslateFmt(QStringLiteral("MqttCommandsDroppedSince"), {QString::number(m_droppedUnsaid)});
    m_droppedUnsaid = 0;
    m_sinceDropLog.start();
    LogMessage(lcMqtt(), line);
}

void HaBridge::onMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    if (topic == statusTopic()) {
        // A retained "online" is as old as the broker's memory; this connection has just
        // published everything anyway.
        if (payload == "online" && !retained && m_client.isConnected())
            publishAll();
        return;
    }
    if (m_settings.readOnly || !topic.startsWith(m_base + u'/'))
        return;
    QString what = topic.mid(m_base.size() + 1);
    if (what.endsWith(QLatin1String("/set")))
        what.chop(4);
    else if (what != QLatin1String("set_clock/press"))
        return;
    // What the topic is and why the command was dropped; never the payload itself.
    // A command kept by the broker was meant for some earlier moment; carried out at every
    // reconnect it would set levels or the clock nobody asked for now.
    if (retained)
        return drop(QStringLiteral("%1: a retained command").arg(what));
    if (payload.size() > MaxCommandPayload)
        return drop(QStringLiteral("%1: payload of %2 bytes").arg(what).arg(payload.size()));
    if (!m_service.isConnected() || !m_service.isComplete())
        return drop(QStringLiteral("%1: the controller is not connected").arg(what));
    command(what, payload.trimmed());
}

void HaBridge::command(const QString &what, const QByteArray &payload)
{
    DeviceModel &model = m_service.model();
    const HaCommand command = ParseHaCommand(what, payload, model.image(), m_lastLit);
    switch (command.kind) {
    case HaCommand::Drop:
        return drop(command.why);
    case HaCommand::Level:
        m_pendingLevels[size_t(command.channel)] = command.level;
        return flushLevels();
    case HaCommand::Mode:
        return model.switchMode(command.mode, DeviceModel::Origin::Command);
    case HaCommand::Weather:
        // The controller knows only "trigger or stop now": a toggle, sent when it changes something.
        if (command.toggle && !model.isRequestPending(command.toggle))
            model.request(command.toggle);
        return;
    case HaCommand::SetClock:
        return model.setClockFromHost(QDateTime::currentDateTime());
    }
}

void HaBridge::flushLevels()
{
    DeviceModel &model = m_service.model();
    // One write carries all twelve levels; while one is on its way, or right after one, the
    // levels wait and fold together, so the poll between the writes is not held off.
    const qint64 since = m_sinceLevelWrite.isValid() ? m_sinceLevelWrite.elapsed() : LevelWriteSpacingMs;
    if (model.isRequestPending(SetInfoLevels) || since < LevelWriteSpacingMs) {
        if (!m_levelTimer.isActive())
            m_levelTimer.start(int(std::max<qint64>(10, LevelWriteSpacingMs - since)));
        return;
    }
    bool any = false;
    for (int i = 0; i < ChannelCount; ++i) {
        if (const std::optional<uint16_t> level = m_pendingLevels[size_t(i)]) {
            model.setLevel(i, *level);
            m_pendingLevels[size_t(i)].reset();
            any = true;
        }
    }
    if (any)
        m_sinceLevelWrite.start();
}
