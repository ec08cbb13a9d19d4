#pragma once
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

// "[<short date> <long time>] " in the given locale's formats.
QString LogPrefix(const QDateTime &when, const QLocale &locale = QLocale());

// The log lines a message becomes: one per line of the message (CR LF, LF or CR),
// each with the same prefix. An empty message gives one line holding the prefix.
QStringList LogLines(const QString &message, const QDateTime &when, const QLocale &locale = QLocale());

// The locale's long time format without a time-zone field, as desktop clocks show it.
QString LongTimeFormat(const QLocale &locale = QLocale());

// Short date and long time of a moment, separated by a blank (status bar, file info).
QString ShortDateLongTime(const QDateTime &when, const QLocale &locale = QLocale());
