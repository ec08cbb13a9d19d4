// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArrayView>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

// "[<short date> <long time>] " in the given locale's formats.
QString LogPrefix(const QDateTime &when, const QLocale &locale = QLocale());

// Text from outside the program (bytes on the wire, a device's name) for one log line:
// control characters (C0, DEL, C1) and the line and paragraph separators U+2028 and U+2029
// are shown escaped (\r, \n, \t, \x00, \u2028), so that such text can neither cut its line
// short nor start a line of its own. The bytes form is read as Latin-1.
QString EscapeForLog(QStringView text);
QString EscapeForLog(QByteArrayView bytes);

// The log lines a message becomes: one per line of the message (CR LF, LF or CR),
// each with the same prefix. An empty message gives one line holding the prefix.
// Any other control character and U+2028/U+2029 left in a line is shown escaped as by
// EscapeForLog, so that every line reaches the log page and standard error whole.
QStringList LogLines(const QString &message, const QDateTime &when, const QLocale &locale = QLocale());

// The locale's long time format without a time-zone field, as desktop clocks show it.
QString LongTimeFormat(const QLocale &locale = QLocale());

// Short date and long time of a moment, separated by a blank (status bar, file info).
QString ShortDateLongTime(const QDateTime &when, const QLocale &locale = QLocale());
