// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ha_command.h"

#include "service/controller_state.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {
HaCommand dropped(const QString &what, const QString &why)
{
    HaCommand command;
    command.why = what + QStringLiteral(": ") + why;
    return command;
}

HaCommand levelCommand(const QString &what, const QByteArray &payload, const DeviceImage &image,
                       const std::array<uint16_t, ChannelCount> &lastLit)
{
    const int channel = what.at(8).unicode() - u'a';
    if (channel < 0 || channel >= ChannelCount)
        return dropped(what, QStringLiteral("no such channel"));
    if (image.Config.Mode != ModeManual)
        return dropped(what, QStringLiteral("levels are set in mode Manual only"));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return dropped(what, QStringLiteral("not a JSON object"));
    const QJsonObject object = doc.object();
    const QString state = object.value(QStringLiteral("state")).toString().toUpper();
    if (object.contains(QStringLiteral("state")) && state != u"ON" && state != u"OFF")
        return dropped(what, QStringLiteral("state must be ON or OFF"));
    HaCommand command;
    command.kind = HaCommand::Level;
    command.channel = channel;
    if (object.contains(QStringLiteral("brightness"))) {
        const QJsonValue value = object.value(QStringLiteral("brightness"));
        const double b = value.toDouble(-1);
        if (!value.isDouble() || b < 0 || b > LevelFull || b != std::floor(b))
            return dropped(what, QStringLiteral("brightness must be a whole number 0..%1").arg(LevelFull));
        command.level = uint16_t(b);
    } else if (state == u"ON") {
        const uint16_t last = lastLit[size_t(channel)];
        command.level = last > 0 ? std::min<uint16_t>(last, LevelFull) : uint16_t(LevelFull);
    } else if (state.isEmpty()) {
        return dropped(what, QStringLiteral("neither state nor brightness"));
    }
    if (state == u"OFF")
        command.level = 0;
    return command;
}
} // namespace

HaCommand ParseHaCommand(const QString &what, const QByteArray &payload, const DeviceImage &image,
                         const std::array<uint16_t, ChannelCount> &lastLit)
{
    if (what.startsWith(QLatin1String("channel/")) && what.size() == 9)
        return levelCommand(what, payload, image, lastLit);
    HaCommand command;
    if (what == u"mode") {
        command.mode = ModeFromName(QString::fromUtf8(payload));
        if (command.mode < 0)
            return dropped(what, QStringLiteral("unknown mode"));
        command.kind = HaCommand::Mode;
        return command;
    }
    if (what == u"clouds" || what == u"thunderstorm") {
        const bool storm = what == u"thunderstorm";
        if (payload != "ON" && payload != "OFF")
            return dropped(what, QStringLiteral("must be ON or OFF"));
        if (image.Config.Mode != ModeAuto && image.Config.Mode != ModeGeo)
            return dropped(what, QStringLiteral("clouds and thunderstorms run in modes Auto and Geo only"));
        const bool on = (image.Info.StateFlags & (storm ? StateStorm : StateCloud)) != 0;
        command.kind = HaCommand::Weather;
        command.toggle = on != (payload == "ON") ? (storm ? ToggleStorm : ToggleCloud) : 0;
        return command;
    }
    if (what == u"set_clock/press") {
        if (payload != "PRESS")
            return dropped(what, QStringLiteral("must be PRESS"));
        command.kind = HaCommand::SetClock;
        return command;
    }
    return dropped(what, QStringLiteral("unknown command"));
}
