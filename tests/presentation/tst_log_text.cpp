// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What reaches the message log from outside the program: never a cut line, never a line
// of its own.
#include "presentation/log_text.h"

#include <QTest>

class TstLogText : public QObject
{
    Q_OBJECT

private slots:
    void escapeForLog_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("Aqualumora 1.x") << QStringLiteral("Aqualumora 1.x");
        QTest::newRow("line ends") << QStringLiteral("a\r\nb\tc") << QStringLiteral("a\\r\\nb\\tc");
        QTest::newRow("null") << QString(QChar(0)) + u'x' << QStringLiteral("\\x00x");
        QTest::newRow("escape and DEL") << QStringLiteral("\x1b[2J\x7f") << QStringLiteral("\\x1B[2J\\x7F");
        QTest::newRow("C1 next line") << QStringLiteral("a\u0085b") << QStringLiteral("a\\x85b");
        QTest::newRow("separators") << QStringLiteral("a\u2028b\u2029c") << QStringLiteral("a\\u2028b\\u2029c");
        QTest::newRow("other text kept") << QStringLiteral("Zeitplan \u00e4\u20ac %1 %s")
                                         << QStringLiteral("Zeitplan \u00e4\u20ac %1 %s");
    }
    void escapeForLog()
    {
        QFETCH(QString, text);
        QTEST(EscapeForLog(text), "shown");
    }

    void bytesAreLatin1()
    {
        QCOMPARE(EscapeForLog(QByteArrayView("80\x00\xe4\r", 5)), QStringLiteral("80\\x00\u00e4\\r"));
    }

    // The program's own line breaks still make lines; nothing else does, and nothing is
    // left in a line that would cut it short on its way to standard error.
    void logLinesStayWhole_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("bodies");
        QTest::newRow("separator") << QStringLiteral("Device \"A\u2028[01.01.26 00:00:00] Done.\"")
                                   << QStringList{QStringLiteral("Device \"A\\u2028[01.01.26 00:00:00] Done.\"")};
        QTest::newRow("null") << QStringLiteral("'$") + QChar(0) + QStringLiteral("1'")
                              << QStringList{QStringLiteral("'$\\x001'")};
        QTest::newRow("break kept") << QStringLiteral("one\ntwo\x01") << QStringList{"one", "two\\x01"};
        QTest::newRow("tab kept") << QStringLiteral("a\tb") << QStringList{QStringLiteral("a\tb")};
    }
    void logLinesStayWhole()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, bodies);
        const QLocale locale(QLocale::German, QLocale::Germany);
        const QDateTime when(QDate(2026, 3, 9), QTime(7, 5, 3));
        const QString prefix = LogPrefix(when, locale);
        QStringList expected;
        for (const QString &body : bodies)
            expected << prefix + body;
        QCOMPARE(LogLines(message, when, locale), expected);
    }
};

QTEST_GUILESS_MAIN(TstLogText)
#include "tst_log_text.moc"
