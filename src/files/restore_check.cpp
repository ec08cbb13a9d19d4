// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/restore_check.h"

#include "files/ini_file.h"
#include "files/settings_file.h"

#include <iterator>

namespace {

bool isLineSection(const QString &section)
{
    bool ok = false;
    const int line = section.toInt(&ok);
    // Lines are named without leading zeros or a sign; "07" or "+1" is no line of ours.
    return ok && line >= 0 && QString::number(line) == section;
}

} // namespace

unsigned RestoreSectionOf(const QString &section)
{
    for (std::size_t i = 0; i < std::size(SettingsSections); ++i)
        if (section.compare(QLatin1String(SettingsSections[i]), Qt::CaseInsensitive) == 0)
            return 1u << i;
    return isLineSection(section) ? RestoreSchedule : 0u;
}

QString RestoreSectionName(RestoreSection section)
{
    for (std::size_t i = 0; i < std::size(SettingsSections); ++i)
        if (section == 1u << i)
            return QString::fromLatin1(SettingsSections[i]);
    return QStringLiteral("Schedule");
}

unsigned DifferingSections(const StateComparison &comparison)
{
    unsigned sections = 0;
    for (const StateDifference &difference : comparison.differences)
        sections |= RestoreSectionOf(difference.section);
    return sections;
}

int ScheduleLinesIn(const IniFile &state)
{
    int lines = 0;
    while (state.hasSection(QString::number(lines)))
        ++lines;
    return lines;
}

StateComparison CompareSections(const IniFile &now, const IniFile &wanted, unsigned sections)
{
    StateComparison all = CompareStates(now, wanted);
    StateComparison result;
    for (StateDifference &difference : all.differences)
        if (RestoreSectionOf(difference.section) & sections)
            result.differences.append(std::move(difference));
    for (const IniKey &key : SettingsKeys())
        if (RestoreSectionOf(QString::fromLatin1(key.section)) & sections)
            ++result.compared;
    if (sections & RestoreSchedule)
        result.compared += std::max(ScheduleLinesIn(now), ScheduleLinesIn(wanted)) * int(ScheduleLineKeys().size());
    return result;
}

IniFile RestoreSubset(const IniFile &state, unsigned sections)
{
    IniFile subset;
    for (const IniKey &key : SettingsKeys()) {
        const QString section = QString::fromLatin1(key.section);
        if (!(RestoreSectionOf(section) & sections))
            continue;
        if (const std::optional<QString> value = state.value(section, key.key))
            subset.setValue(section, key.key, *value);
    }
    if (sections & RestoreSchedule) {
        const int lines = ScheduleLinesIn(state);
        for (int line = 0; line < lines; ++line) {
            const QString section = QString::number(line);
            for (const IniKey &key : ScheduleLineKeys())
                if (const std::optional<QString> value = state.value(section, key.key))
                    subset.setValue(section, key.key, *value);
        }
    }
    return subset;
}
