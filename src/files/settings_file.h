// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller's settings and schedule as an INI file: which key holds which record
// field, and the moves between the device image and such a file (export, the two
// imports, the automatic backup).
//
// Every value is the field's integer as it is stored, with no scaling. Reading takes a
// missing key or a non-integer value as absent and keeps the field as it was; a present
// value is cut to the field's width (300 in an 8-bit field becomes 44).

#include <QString>

#include <cstdint>
#include <span>

class IniFile;
struct DeviceImage;

// Sections of the settings, in the order a new file gets them; the schedule follows with
// one section per line, named "0", "1", ...
inline constexpr const char *SettingsSections[] = {"Config", "Weather", "Names", "RC5", "TimeZone"};

enum class IniRecord : uint8_t { Config, Expert, ExpertWeather, ScheduleLine };

struct IniKey {
    const char *section;   // null for the schedule line sections
    QString key;
    IniRecord record;
    uint16_t offset;
    uint8_t width;   // 1 or 2 bytes
    bool isSigned;   // how the value is written: signed fields may be negative
};

// The settings keys in the order they are written; the schedule line keys.
std::span<const IniKey> SettingsKeys();
std::span<const IniKey> ScheduleLineKeys();

// Writes every settings key and one section per schedule line from the image.
void WriteImageToIni(IniFile &ini, const DeviceImage &image);
// Reads the settings sections into Config, Expert and ExpertWeather.
void ReadSettingsFromIni(const IniFile &ini, DeviceImage &image);
// Reads the schedule sections into the lines the image has; sections beyond them are
// ignored, so a file never changes the number of lines.
void ReadScheduleFromIni(const IniFile &ini, DeviceImage &image);

enum class SettingsWriteResult { Written, Unreadable, TooLarge, WriteFailed };
// What to do with a file that is, or would become, larger than the import reads.
enum class OversizedFile {
    Keep,         // leave it as it is and report TooLarge
    StartAfresh,  // replace it by a file with only the image's sections
};
// Updates (or creates) the file with the whole image, keeping whatever else it holds.
// An existing file that cannot be read is left alone rather than replaced by a file that
// would lose its contents; so is every file when the new one could not be written whole.
// The file written is never larger than the import reads.
SettingsWriteResult WriteSettingsFileChecked(const QString &fileName, const DeviceImage &image,
                                             OversizedFile oversized);
// WriteSettingsFileChecked keeping an oversized file; whether the file was written.
bool WriteSettingsFile(const QString &fileName, const DeviceImage &image);

// The port part of a port-list entry (up to the first blank) made safe as a file name: a
// leading "/dev/" is dropped and every character outside A-Z a-z 0-9 . _ - becomes "_".
// Empty when there is no port.
QString SafePortName(const QString &portEntry);
// folder + "Backup_" + SafePortName(port) + ".ini"; empty when there is no port.
QString BackupFilePath(const QString &folder, const QString &portEntry);
// Writes the backup of the image for that port; false when there is no port or the file
// could not be written. An oversized backup is started afresh.
bool WriteBackupFile(const QString &folder, const QString &portEntry, const DeviceImage &image);
