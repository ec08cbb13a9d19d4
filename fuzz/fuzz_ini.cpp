// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as an INI file: reading the settings and the schedule from it, writing
// the image into it and reading the result back must never crash, and must leave exactly
// the written values and every line the program does not own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/ini_file.h"
#include "files/settings_file.h"
#include "link/device_model.h"

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The same bytes as a language table: UTF-8, repeated sections read together.
    const IniFile table = IniFile::parse(bytes, IniFile::Encoding::Utf8);
    for (const QString &section : table.sectionNames())
        for (const IniFile::Entry &entry : table.mergedEntries(section))
            check(!entry.key.isEmpty() && !entry.key.contains(u'=') && entry.value == entry.value.trimmed());

    IniFile ini = IniFile::parse(bytes);

    DeviceImage image;
    image.resizeSchedule(size % 7);
    ReadSettingsFromIni(ini, image);
    ReadScheduleFromIni(ini, image);

    // Untouched, the text comes back as it was, apart from the line ends.
    const QStringList before = ini.sectionNames();
    WriteImageToIni(ini, image);
    const IniFile again = IniFile::parse(ini.toBytes());
    for (const QString &section : before)
        check(again.hasSection(section));

    DeviceImage reread;
    reread.resizeSchedule(image.Schedule.size());
    ReadSettingsFromIni(again, reread);
    ReadScheduleFromIni(again, reread);
    check(std::memcmp(&reread.Config, &image.Config, sizeof image.Config) == 0);
    check(std::memcmp(&reread.Expert, &image.Expert, sizeof image.Expert) == 0);
    check(std::memcmp(&reread.ExpertWeather, &image.ExpertWeather, sizeof image.ExpertWeather) == 0);
    check(image.Schedule.empty() || std::memcmp(reread.Schedule.data(), image.Schedule.data(),
                                                image.Schedule.size() * sizeof(ScheduleLine)) == 0);
    return 0;
}
