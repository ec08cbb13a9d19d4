// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/health.h"

#include "presentation/app_info.h"
#include "presentation/localization.h"
#include "presentation/number_format.h"

QString DeviceStatusLine(const QString &portName, const InfoRecord &info, const ConfigRecord &config)
{
    QString line = portName;
    auto append = [&line](const QString &item) {
        if (!line.isEmpty())
            line += AppInfo::Separator;
        line += item;
    };
    static const struct {
        uint8_t bit;
        const char *key;
    } errors[] = {
        {ErrorOvertemperature, "Overtemperature"}, {ErrorUndervoltage, "Undervoltage"},
        {ErrorQuartz, "QuarzError"},               {ErrorCRC, "CRCError"},
        {ErrorRAMFull, "RAMFull"},                 {ErrorRTC, "RTCError"},
        {ErrorPWM, "PWMError"},
    };
    for (const auto &error : errors)
        if (info.ErrorFlags & error.bit)
            append(Translate(QString::fromLatin1(error.key)));
    const bool fahrenheit = isFahrenheit(config);
    if (hasValue(info.WaterTemp))
        append(QStringLiteral("Thermavis: ") + temperatureText(info.WaterTemp, fahrenheit));
    if (hasValue(info.SlaveTemp))
        append(QStringLiteral("Slave: ") + temperatureText(info.SlaveTemp, fahrenheit));
    if (hasValue(info.InputVoltage))
        append(Translate(QStringLiteral("InputVoltage")) + QStringLiteral(": ") +
               FormatFixed(info.InputVoltage / 100.0, 2) + QStringLiteral(" Volt"));
    return line;
}
