// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "link/records.h"

// Status panel 2: the mode name and the letters of the active conditions (clouds and
// thunderstorms only in Auto and Geo), or "Saving" alone while the controller saves.
// A mode outside 0..4 keeps the name shown before (previousModeName) in front of the
// letters, so repeated refreshes never pile letters up.
QString ModeStatusText(const ConfigRecord &config, const InfoRecord &info, const QString &previousModeName);

// Message key of a mode's name, empty outside 0..4.
QString ModeKey(int mode);

// Starting or aborting IR pairing: bit 12 of each of the eight remote-control codes flips.
void ToggleIrPairing(ExpertRecord &expert);
