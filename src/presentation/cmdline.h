// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

// Result of reading the command line. Every argument is also returned as the
// "Parameter: " log line it produces, in order.
struct CommandLine {
    bool expert = false;
    bool rc433 = false;
    bool debug = false;
    bool simulator = false;
    int language = -1;          // -1 undecided, 0 English, 1 German (last switch wins)
    QString portName;           // last plain argument, empty if none
    // Without the window: the background service, or one command for a script.
    bool headless = false;
    enum class OneShot { None, Status, Export, Import, SetClock, Backup };
    OneShot oneShot = OneShot::None;
    QString file;               // of --export=FILE and --import=FILE
    QString mqttUrl;            // --mqtt=URL
    bool mqttReadOnly = false;  // --mqtt-read-only
    // Wrong usage of the switches above (a second command, a missing file, an unknown
    // switch beside them): the program says it and ends with status 2.
    QString usageError;
    QStringList logLines;       // "Parameter: <argument as given>" for each argument
};

// Arguments without the program name. A switch is an argument of at least two
// characters starting with '-' or '/'; anything else is a port name.
CommandLine ParseCommandLine(const QStringList &arguments);

// Port names are kept as given (Linux device names are case-sensitive), except the
// Windows form COM<digits>, which is upper-cased so that com7 and COM7 are one port, and
// a Bluetooth address (00:11:22:aa:bb:cc), upper-cased as the port list shows it.
QString NormalizePortName(const QString &name);

// --help and --version (also -h, -v, and the words after "-" or "/" in any letter case, as
// the other switches): they print and end the program before any window is made. The first
// one on the command line wins.
enum class InfoRequest { None, Help, Version };
InfoRequest FindInfoRequest(const QStringList &arguments);

// The texts printed for them; the help lists every switch.
QString HelpText();
QString VersionText();
