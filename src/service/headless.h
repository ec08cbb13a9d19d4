// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program without its window: the background service (--headless) and the one-shot
// commands for scripts (--status, --export, --import, --set-clock, --backup). Both run in
// a QCoreApplication, so they need no display.

struct CommandLine;

// Runs the service or the command the command line asks for; the exit status.
int RunWithoutWindow(const CommandLine &cmd);
