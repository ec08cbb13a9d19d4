// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QIcon>

// The program's icon (an aquarium lamp), built into the program so that the window shows it
// also when it runs from its build folder.
QIcon AppIcon();
