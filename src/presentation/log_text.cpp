// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/log_text.h"

#include <QRegularExpression>

namespace {

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void appendEscaped(QString &out, char16_t c)
{
    switch (c) {
    case u'\r': out += QLatin1String("\\r"); return;
    case u'\n': out += QLatin1String("\\n"); return;
    case u'\t': out += QLatin1String("\\t"); return;
    default: break;
    }
    static constexpr char Hex[] = "0123456789ABCDEF";
    if (c <= 0xFF) {
        out += QLatin1String("\\x");
    } else {
        out += QLatin1String("\\u");
        out += QLatin1Char(Hex[(c >> 12) & 0xF]);
        out += QLatin1Char(Hex[(c >> 8) & 0xF]);
    }
    out += QLatin1Char(Hex[(c >> 4) & 0xF]);
    out += QLatin1Char(Hex[c & 0xF]);
}

// Escapes what needsEscape says, except the characters in keep.
QString escaped(QStringView text, QStringView keep = {})
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (needsEscape(c) && !keep.contains(ch))
            appendEscaped(out, c);
        else
            out += ch;
    }
    return out;
}

} // namespace

QString EscapeForLog(QStringView text) { return escaped(text); }

QString EscapeForLog(QByteArrayView bytes) { return escaped(QString::fromLatin1(bytes)); }

QString LongTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    // Qt's long formats end in a time-zone name ("t", "tttt"); a log does not need it.
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

QString ShortDateLongTime(const QDateTime &when, const QLocale &locale)
{
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(when.time(), LongTimeFormat(locale));
}

QString LogPrefix(const QDateTime &when, const QLocale &locale)
{
    return u'[' + ShortDateLongTime(when, locale) + QStringLiteral("] ");
}

QStringList LogLines(const QString &message, const QDateTime &when, const QLocale &locale)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    const QString prefix = LogPrefix(when, locale);
    QStringList lines = message.split(lineBreak);
    for (QString &line : lines)
        line = prefix + escaped(line, u"\t");
    return lines;
}
