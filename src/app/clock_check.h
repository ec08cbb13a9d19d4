// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How far the controller's clock is from this computer's: shown in the status bar from the
// first complete download on (label lblClockOffset), and, where it is more than a minute off,
// one log line per download that names the menu command that sets it. The clock is never set
// without the user.
#include <QString>
#include <QtGlobal>

class TfrmLumora;

// "on time", "12 s ahead", "3 min behind", "5 h ahead": the status bar's words.
QString ClockOffsetText(qint64 seconds);
// Beyond this the log suggests setting the clock.
inline constexpr qint64 ClockOffsetWorthSetting = 60;

void InstallClockCheck(TfrmLumora *window);
