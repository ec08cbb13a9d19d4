// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's log categories, one per subsystem. Every line the program logs goes to the
// Messages page and, through its category, to standard error with exactly the same text
// (the journal picks it up there). QT_LOGGING_RULES can silence a category on standard
// error, e.g. "aqualumora.history.info=false"; the Messages page keeps every line.
//
// The link's trace (every exchange's bytes) is the debug level of aqualumora.link.trace,
// off unless the switch -debug (or the menu item) turns it on.

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcLinkTrace)
Q_DECLARE_LOGGING_CATEGORY(lcBluetooth)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
Q_DECLARE_LOGGING_CATEGORY(lcFiles)
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
Q_DECLARE_LOGGING_CATEGORY(lcMqtt)

// Routes the program's categories to standard error as bare lines (the time stamp is part
// of the line); other messages go on to the handler that was installed before. Once.
void InstallLogOutput();

// One finished log line (time stamp included) of a category, on standard error when the
// category is enabled for type.
void WriteLogLine(const QLoggingCategory &category, QtMsgType type, const QString &line);

// One message as the window's log would show it (time stamp first; one line per line of
// the text), on standard error through its category. For a program without a window.
void LogMessage(const QLoggingCategory &category, const QString &text, QtMsgType type = QtInfoMsg);
// Whether the link's trace is on; set by -debug and the menu item.
bool LinkTraceOn();
void SetLinkTrace(bool on);
