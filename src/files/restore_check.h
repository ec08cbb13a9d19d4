// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Restoring a state from a backup copy, widget-free: which sections a restore covers, the
// part of a copy that goes into the image, and the check of what the controller read back
// after it against what was sent.

#include "files/backup_history.h"

#include <QString>
#include <QStringList>

class IniFile;

// The parts of a state a restore may cover: the five settings sections and the schedule.
enum RestoreSection : unsigned {
    RestoreConfig = 1u << 0,
    RestoreWeather = 1u << 1,
    RestoreNames = 1u << 2,
    RestoreRC5 = 1u << 3,
    RestoreTimeZone = 1u << 4,
    RestoreSchedule = 1u << 5,
    RestoreSettings = RestoreConfig | RestoreWeather | RestoreNames | RestoreRC5 | RestoreTimeZone,
    RestoreEverything = RestoreSettings | RestoreSchedule,
};

// The part a section of a state file belongs to: a settings section by name (any letter
// case), a schedule line section ("0", "1", ...) to RestoreSchedule; 0 for anything else.
unsigned RestoreSectionOf(const QString &section);
// The section's name as files spell it ("Config", ...; "Schedule" for the lines).
QString RestoreSectionName(RestoreSection section);
// The parts in the order a restore offers them.
inline constexpr RestoreSection RestoreSectionOrder[] = {RestoreConfig, RestoreWeather, RestoreNames,
                                                          RestoreRC5, RestoreTimeZone, RestoreSchedule};

// The parts in which the comparison found a difference.
unsigned DifferingSections(const StateComparison &comparison);
// The differences of those parts only; compared counts the values of those parts (every
// settings key of a chosen section, every line key of each line present in either state).
StateComparison CompareSections(const IniFile &now, const IniFile &wanted, unsigned sections);

// The known keys of the chosen parts of a state, and nothing else: what a restore reads
// into the image, so that the parts not chosen keep the controller's values.
IniFile RestoreSubset(const IniFile &state, unsigned sections);

// Schedule line sections in the state ("0" ... without a gap from 0).
int ScheduleLinesIn(const IniFile &state);
