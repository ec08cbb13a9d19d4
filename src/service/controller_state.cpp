// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/controller_state.h"

#include "presentation/localization.h"
#include "presentation/mode_text.h"

#include <QJsonArray>

#include <cmath>

double LevelPercent(uint16_t level) { return std::round(std::min<int>(level, LevelFull) * 1000.0 / LevelFull) / 10.0; }

QString ChannelName(const DeviceImage &image, int channel)
{
    const int colour = image.Config.ColorName[channel];
    const QString name = colour < ColorCount ? ColorName(colour) : QString();
    return name.isEmpty() ? QStringLiteral("Channel ") + ChannelLetter(channel) : name;
}

QString ModeName(int mode)
{
    const QString key = ModeKey(mode);
    return key.isEmpty() ? QString() : key.mid(4);
}

int ModeFromName(const QString &name)
{
    for (int mode = 0; mode < 5; ++mode)
        if (ModeName(mode).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return mode;
    return -1;
}

namespace {
std::optional<double> scaled(int16_t value, double factor)
{
    if (!hasValue(value))
        return std::nullopt;
    return std::round(value * factor * 100.0) / 100.0;
}
QJsonValue json(const std::optional<double> &value) { return value ? QJsonValue(*value) : QJsonValue(); }
} // namespace

std::optional<double> WaterTemperature(const InfoRecord &info) { return scaled(info.WaterTemp, 0.1); }
std::optional<double> SlaveTemperature(const InfoRecord &info) { return scaled(info.SlaveTemp, 0.1); }
std::optional<double> SupplyVoltage(const InfoRecord &info) { return scaled(info.InputVoltage, 0.01); }

bool FanRunning(const DeviceImage &image, bool wasOn)
{
    if (image.Expert.FanMode == 0) {
        for (int i = 0; i < ChannelCount; ++i)
            if (image.Info.Level[i] > 0)
                return image.Config.FanLow > 0 || image.Config.FanHigh > 0;
        return image.Expert.FanOff > 0;
    }
    const int16_t water = image.Info.WaterTemp;
    if (!hasValue(water))
        return wasOn;
    if (water >= image.Expert.TempWaterHigh)
        return true;
    if (water <= image.Expert.TempWaterLow)
        return false;
    return wasOn;
}

QJsonObject StatusJson(const DeviceImage &image, const ControllerFacts &facts, const QDateTime &now)
{
    const InfoRecord &info = image.Info;
    QJsonObject status;
    status[QStringLiteral("product")] = QStringLiteral("Aqualumora 1.x");
    status[QStringLiteral("firmware")] = facts.firmwareVersion >= 0 ? QJsonValue(facts.firmwareVersion) : QJsonValue();
    status[QStringLiteral("port")] = facts.port;
    const QDate date = controllerDate(info);
    const QTime time = controllerTime(info);
    status[QStringLiteral("clock")] = date.isValid() && time.isValid()
        ? QJsonValue(QDateTime(date, time).toString(Qt::ISODate)) : QJsonValue();
    const std::optional<qint64> offset = ControllerClockOffset(info, now);
    status[QStringLiteral("clockOffsetSeconds")] = offset ? QJsonValue(*offset) : QJsonValue();
    status[QStringLiteral("mode")] = ModeName(image.Config.Mode);
    status[QStringLiteral("clouds")] = (info.StateFlags & StateCloud) != 0;
    status[QStringLiteral("thunderstorm")] = (info.StateFlags & StateStorm) != 0;
    status[QStringLiteral("cooler")] = (info.StateFlags & StateCooler) != 0;
    status[QStringLiteral("heater")] = (info.StateFlags & StateHeater) != 0;
    status[QStringLiteral("errorFlags")] = int(info.ErrorFlags);
    QJsonArray levels;
    for (int i = 0; i < ChannelCount; ++i) {
        QJsonObject channel;
        channel[QStringLiteral("channel")] = ChannelLetter(i);
        channel[QStringLiteral("name")] = ChannelName(image, i);
        channel[QStringLiteral("level")] = int(info.Level[i]);
        channel[QStringLiteral("percent")] = LevelPercent(info.Level[i]);
        levels.append(channel);
    }
    status[QStringLiteral("levels")] = levels;
    QJsonObject temperatures;
    temperatures[QStringLiteral("water")] = json(WaterTemperature(info));
    temperatures[QStringLiteral("slave")] = json(SlaveTemperature(info));
    status[QStringLiteral("temperaturesCelsius")] = temperatures;
    status[QStringLiteral("supplyVoltage")] = json(SupplyVoltage(info));
    status[QStringLiteral("scheduleLines")] = int(image.Schedule.size());
    return status;
}
