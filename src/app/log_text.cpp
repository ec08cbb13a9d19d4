#include "app/log_text.h"

#include <QRegularExpression>

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
        line.prepend(prefix);
    return lines;
}
