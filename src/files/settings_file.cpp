// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/settings_file.h"

#include <QDir>

#include <cstddef>
#include <vector>

#include "files/ini_file.h"
#include "link/device_image.h"

namespace {

IniKey key(const char *section, QAnyStringView name, IniRecord record, std::size_t offset, int width, bool isSigned)
{
    return IniKey{section, name.toString(), record, uint16_t(offset), uint8_t(width), isSigned};
}

std::vector<IniKey> buildSettingsKeys()
{
    using R = IniRecord;
    std::vector<IniKey> keys;
    auto u8 = [&](const char *s, const char *k, R r, std::size_t o) { keys.push_back(key(s, k, r, o, 1, false)); };
    auto i8 = [&](const char *s, const char *k, R r, std::size_t o) { keys.push_back(key(s, k, r, o, 1, true)); };
    auto u16 = [&](const char *s, const char *k, R r, std::size_t o) { keys.push_back(key(s, k, r, o, 2, false)); };
    auto i16 = [&](const char *s, const char *k, R r, std::size_t o) { keys.push_back(key(s, k, r, o, 2, true)); };

    const char *c = "Config";
    u8(c, "Mode", R::Config, offsetof(ConfigRecord, Mode));
    u8(c, "Flag", R::Config, offsetof(ConfigRecord, Flag));
    u8(c, "FanLow", R::Config, offsetof(ConfigRecord, FanLow));
    u8(c, "FanHigh", R::Config, offsetof(ConfigRecord, FanHigh));
    u8(c, "FanOff", R::Expert, offsetof(ExpertRecord, FanOff));
    u8(c, "FanMode", R::Expert, offsetof(ExpertRecord, FanMode));
    i16(c, "TempWaterLow", R::Expert, offsetof(ExpertRecord, TempWaterLow));
    i16(c, "TempWaterHigh", R::Expert, offsetof(ExpertRecord, TempWaterHigh));
    u8(c, "LCDBLMin", R::Config, offsetof(ConfigRecord, LCDBLMin));
    u8(c, "LCDBLMax", R::Config, offsetof(ConfigRecord, LCDBLMax));
    u8(c, "TimeLapse", R::Config, offsetof(ConfigRecord, TimeLapse));
    i16(c, "Lat", R::Config, offsetof(ConfigRecord, Lat));
    i16(c, "Lon", R::Config, offsetof(ConfigRecord, Lon));
    u8(c, "ChartMode", R::Expert, offsetof(ExpertRecord, ChartMode));
    u16(c, "ChartInterval", R::Expert, offsetof(ExpertRecord, ChartInterval));
    u8(c, "ChartScale", R::Expert, offsetof(ExpertRecord, ChartScale));
    u8(c, "PWMPrescaler", R::Expert, offsetof(ExpertRecord, PWMPrescaler));
    u8(c, "TWIBitrate", R::Expert, offsetof(ExpertRecord, TWIBitrate));
    u8(c, "RandomInit", R::Expert, offsetof(ExpertRecord, RandomInit));
    u8(c, "LCDBLNight", R::Expert, offsetof(ExpertRecord, LCDBLNight));
    i8(c, "TempOffset", R::Expert, offsetof(ExpertRecord, TempOffset));
    i16(c, "CloudTempWater", R::Expert, offsetof(ExpertRecord, CloudTempWater));
    i8(c, "BalanceSumRamp", R::Expert, offsetof(ExpertRecord, BalanceSumRamp));

    const char *w = "Weather";
    u16(w, "CloudP", R::Config, offsetof(ConfigRecord, CloudP));
    u16(w, "CloudD", R::Config, offsetof(ConfigRecord, CloudD));
    u16(w, "StormP", R::Config, offsetof(ConfigRecord, StormP));
    u16(w, "StormD", R::Config, offsetof(ConfigRecord, StormD));
    u16(w, "CloudStep", R::ExpertWeather, offsetof(ExpertWeatherRecord, CloudStep));
    u16(w, "StormStep", R::ExpertWeather, offsetof(ExpertWeatherRecord, StormStep));
    u8(w, "CloudAlpha", R::ExpertWeather, offsetof(ExpertWeatherRecord, CloudAlpha));
    u8(w, "StormAlpha", R::ExpertWeather, offsetof(ExpertWeatherRecord, StormAlpha));
    u16(w, "LightningP", R::ExpertWeather, offsetof(ExpertWeatherRecord, LightningP));
    // The four per-channel families go channel by channel.
    for (int i = 0; i < ChannelCount; ++i) {
        const QByteArray n = QByteArray::number(i);
        keys.push_back(key(w, QLatin1String("Balance" + n), R::ExpertWeather,
                           offsetof(ExpertWeatherRecord, Balance) + i, 1, false));
        keys.push_back(key(w, QLatin1String("MoonColor16" + n), R::ExpertWeather,
                           offsetof(ExpertWeatherRecord, MoonColor16) + 2 * i, 2, true));
        keys.push_back(key(w, QLatin1String("WeatherDelay" + n), R::ExpertWeather,
                           offsetof(ExpertWeatherRecord, WeatherDelay) + i, 1, false));
        keys.push_back(key(w, QLatin1String("LightningMask" + n), R::ExpertWeather,
                           offsetof(ExpertWeatherRecord, LightningMask) + i, 1, false));
    }
    u8(w, "BalanceSum", R::ExpertWeather, offsetof(ExpertWeatherRecord, BalanceSum));

    for (int i = 0; i < ChannelCount; ++i)
        keys.push_back(key("Names", QLatin1String("ColorName" + QByteArray::number(i)), R::Config,
                           offsetof(ConfigRecord, ColorName) + i, 1, false));

    const char *rc5[] = {"Up", "Down", "Left", "Right", "Previous", "Next", "Settings", "Step"};
    for (int i = 0; i < RC5KeyCount; ++i)
        u16("RC5", rc5[i], R::Expert, offsetof(ExpertRecord, RC5Code) + 2 * i);

    const char *z = "TimeZone";
    i8(z, "StandardMonth", R::Expert, offsetof(ExpertRecord, StandardMonth));
    i8(z, "StandardDay", R::Expert, offsetof(ExpertRecord, StandardDay));
    i8(z, "StandardHour", R::Expert, offsetof(ExpertRecord, StandardHour));
    i8(z, "StandardDayOfWeek", R::Expert, offsetof(ExpertRecord, StandardDayOfWeek));
    i8(z, "DaylightMonth", R::Expert, offsetof(ExpertRecord, DaylightMonth));
    i8(z, "DaylightDay", R::Expert, offsetof(ExpertRecord, DaylightDay));
    i8(z, "DaylightHour", R::Expert, offsetof(ExpertRecord, DaylightHour));
    i8(z, "DaylightDayOfWeek", R::Expert, offsetof(ExpertRecord, DaylightDayOfWeek));
    i16(z, "Bias", R::Expert, offsetof(ExpertRecord, Bias));
    return keys;
}

std::vector<IniKey> buildScheduleLineKeys()
{
    std::vector<IniKey> keys;
    const auto R = IniRecord::ScheduleLine;
    keys.push_back(key(nullptr, "Hour", R, offsetof(ScheduleLine, Hour), 1, true));
    keys.push_back(key(nullptr, "Minute", R, offsetof(ScheduleLine, Minute), 1, true));
    keys.push_back(key(nullptr, "Alt", R, offsetof(ScheduleLine, Alt), 2, true));
    for (int i = 0; i < ChannelCount; ++i)
        keys.push_back(key(nullptr, QLatin1String("Color16" + QByteArray::number(i)), R,
                           offsetof(ScheduleLine, Color16) + i, 1, false));
    keys.push_back(key(nullptr, "Switch", R, offsetof(ScheduleLine, Switch), 1, false));
    return keys;
}

template <class Image>
auto *recordOf(Image &image, IniRecord record)
{
    switch (record) {
    case IniRecord::Config: return recordBytes(image.Config).data();
    case IniRecord::Expert: return recordBytes(image.Expert).data();
    case IniRecord::ExpertWeather: return recordBytes(image.ExpertWeather).data();
    case IniRecord::ScheduleLine: break;
    }
    return decltype(recordBytes(image.Config).data())(nullptr);
}

int64_t readValue(const uint8_t *record, const IniKey &k)
{
    const uint8_t *p = record + k.offset;
    if (k.width == 1)
        return k.isSigned ? int64_t(int8_t(p[0])) : int64_t(p[0]);
    const uint16_t v = uint16_t(p[0] | (p[1] << 8));
    return k.isSigned ? int64_t(int16_t(v)) : int64_t(v);
}

// Keeps the low bits that fit the field, as an integer cast would.
void storeValue(uint8_t *record, const IniKey &k, int64_t value)
{
    uint8_t *p = record + k.offset;
    p[0] = uint8_t(uint64_t(value));
    if (k.width == 2)
        p[1] = uint8_t(uint64_t(value) >> 8);
}

} // namespace

std::span<const IniKey> SettingsKeys()
{
    static const std::vector<IniKey> keys = buildSettingsKeys();
    return keys;
}

std::span<const IniKey> ScheduleLineKeys()
{
    static const std::vector<IniKey> keys = buildScheduleLineKeys();
    return keys;
}

void WriteImageToIni(IniFile &ini, const DeviceImage &image)
{
    for (const IniKey &k : SettingsKeys())
        ini.setInteger(QString::fromLatin1(k.section), k.key, readValue(recordOf(image, k.record), k));
    for (std::size_t i = 0; i < image.Schedule.size(); ++i) {
        const QString section = QString::number(i);
        const uint8_t *line = recordBytes(image.Schedule[i]).data();
        for (const IniKey &k : ScheduleLineKeys())
            ini.setInteger(section, k.key, readValue(line, k));
    }
}

void ReadSettingsFromIni(const IniFile &ini, DeviceImage &image)
{
    for (const IniKey &k : SettingsKeys())
        if (const auto value = ini.integer(QString::fromLatin1(k.section), k.key))
            storeValue(recordOf(image, k.record), k, *value);
}

void ReadScheduleFromIni(const IniFile &ini, DeviceImage &image)
{
    for (std::size_t i = 0; i < image.Schedule.size(); ++i) {
        const QString section = QString::number(i);
        if (!ini.hasSection(section))
            continue;
        uint8_t *line = recordBytes(image.Schedule[i]).data();
        for (const IniKey &k : ScheduleLineKeys())
            if (const auto value = ini.integer(section, k.key))
                storeValue(line, k, *value);
    }
}

SettingsWriteResult WriteSettingsFileChecked(const QString &fileName, const DeviceImage &image,
                                             OversizedFile oversized)
{
    IniFile ini;
    const IniFile::LoadResult loaded = IniFile::load(fileName, &ini);
    if (loaded == IniFile::LoadResult::Unreadable)
        return SettingsWriteResult::Unreadable;
    bool fresh = false;
    if (loaded == IniFile::LoadResult::TooLarge) {
        if (oversized == OversizedFile::Keep)
            return SettingsWriteResult::TooLarge;
        fresh = true;
    }
    WriteImageToIni(ini, image);
    QByteArray bytes = ini.toBytes();
    // The import reads no file beyond the size limit; what is written here must stay
    // readable, or it could never be imported nor updated again.
    if (bytes.size() > IniFile::MaxFileSize && !fresh) {
        if (oversized == OversizedFile::Keep)
            return SettingsWriteResult::TooLarge;
        fresh = true;
    }
    if (fresh) {
        ini = IniFile();
        WriteImageToIni(ini, image);
        bytes = ini.toBytes();
    }
    return WriteFileAtomically(fileName, bytes) ? SettingsWriteResult::Written : SettingsWriteResult::WriteFailed;
}

bool WriteSettingsFile(const QString &fileName, const DeviceImage &image)
{
    return WriteSettingsFileChecked(fileName, image, OversizedFile::Keep) == SettingsWriteResult::Written;
}

QString SafePortName(const QString &portEntry)
{
    QString port = portEntry.section(u' ', 0, 0);
    if (port.startsWith(QLatin1String("/dev/")))
        port.remove(0, 5);
    for (QChar &c : port) {
        const char16_t u = c.unicode();
        const bool safe = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' ||
                          u == '_' || u == '-';
        if (!safe)
            c = u'_';
    }
    return port;
}

QString BackupFilePath(const QString &folder, const QString &portEntry)
{
    const QString port = SafePortName(portEntry);
    if (port.isEmpty())
        return QString();
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(u'/'))
        path += u'/';
    return path + QStringLiteral("Backup_") + port + QStringLiteral(".ini");
}

bool WriteBackupFile(const QString &folder, const QString &portEntry, const DeviceImage &image)
{
    const QString path = BackupFilePath(folder, portEntry);
    // The backup is the program's own file: when foreign text has swollen it beyond what
    // can be read back, the controller's state matters more than that text.
    return !path.isEmpty() && WriteSettingsFileChecked(path, image, OversizedFile::StartAfresh) == SettingsWriteResult::Written;
}
