// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Consistency of the two built-in language tables, read both through the resource
// (what the program uses) and as raw files (what a translator edits).
#include "presentation/localization.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTest>

namespace {

LanguageTable table(int language)
{
    bool ok = false;
    const LanguageTable t = LanguageTable::fromFile(LanguageResourcePath(language), &ok);
    return ok ? t : LanguageTable();
}

QStringList keys(const QList<LanguageTable::Entry> &entries)
{
    QStringList result;
    for (const auto &e : entries)
        result.append(e.key);
    return result;
}

void addLanguageRows()
{
    QTest::addColumn<int>("language");
    QTest::newRow("english") << LanguageEnglish;
    QTest::newRow("german") << LanguageGerman;
}

} // namespace

class TestLanguageTables : public QObject {
    Q_OBJECT

private slots:
    void sectionsAndKeys_data() { addLanguageRows(); }
    void sectionsAndKeys()
    {
        QFETCH(int, language);
        const LanguageTable t = table(language);
        const LanguageTable english = table(LanguageEnglish);
        QCOMPARE(t.sectionNames(), QStringList({"Messages", "frmLumora"}));
        QCOMPARE(t.entries("Messages").size(), 357);
        QCOMPARE(t.entries("frmLumora").size(), 171);
        QCOMPARE(keys(t.entries("Messages")), keys(english.entries("Messages")));
        QCOMPARE(keys(t.entries("frmLumora")), keys(english.entries("frmLumora")));
        QCOMPARE(t.entries("Messages").first().key, QStringLiteral("Started"));
        QCOMPARE(t.entries("frmLumora").first().key, QStringLiteral("mem.Caption"));
        QCOMPARE(t.entries("frmLumora").last().key, QStringLiteral("edtChartScale.Hint"));
        // ColorName indexes the colour keys: the last sixteen messages, in index order.
        const auto messages = t.entries("Messages");
        for (int i = 0; i < ColorCount; ++i)
            QCOMPARE(messages.at(messages.size() - ColorCount + i).key, ColorKey(i));
    }

    // Every line is a section header or key=value without blanks around either side; the
    // file is UTF-8 without BOM, CR or tabs; no key repeats (keys match in any case).
    void rawFileIsClean_data() { addLanguageRows(); }
    void rawFileIsClean()
    {
        QFETCH(int, language);
        QFile file(qEnvironmentVariable("AQ_SOURCE_DIR") + QStringLiteral("/assets/lang/")
                   + (language ? "german.ini" : "english.ini"));
        QVERIFY2(file.open(QIODevice::ReadOnly), "set AQ_SOURCE_DIR to the source root");
        const QByteArray raw = file.readAll();
        QVERIFY(!raw.startsWith("\xEF\xBB\xBF") && !raw.contains('\r') && !raw.contains('\t'));
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(raw);
        QVERIFY(!decoder.hasError());

        static const QRegularExpression entry(QStringLiteral("^([^=\\s]+)=(\\S(?:.*\\S)?)$"));
        QSet<QString> seen;
        QString section;
        const QStringList lines = text.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString &line = lines.at(i);
            const QByteArray where = QByteArray::number(i + 1) + ": " + line.left(40).toUtf8();
            if (line.isEmpty())
                continue;
            if (line.startsWith('[') && line.endsWith(']')) {
                section = line;
                continue;
            }
            const auto match = entry.match(line);
            QVERIFY2(!section.isEmpty() && match.hasMatch(), where.constData());
            const QString key = section + match.captured(1).toLower();
            QVERIFY2(!seen.contains(key), where.constData());
            seen.insert(key);
        }
    }

    // A different number of "%s" would drop or misplace an argument; of line breaks or
    // ampersands, change a layout or a mnemonic.
    void translationsMatch_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        const LanguageTable en = table(LanguageEnglish);
        const LanguageTable de = table(LanguageGerman);
        for (const QString &section : {QStringLiteral("Messages"), QStringLiteral("frmLumora")}) {
            for (const auto &e : en.entries(section))
                QTest::addRow("%s", qPrintable(e.key)) << e.value << de.value(section, e.key);
        }
    }
    void translationsMatch()
    {
        QFETCH(QString, english);
        QFETCH(QString, german);
        QVERIFY(!german.isEmpty());
        QCOMPARE(german.count(QStringLiteral("%s")), english.count(QStringLiteral("%s")));
        QCOMPARE(german.count(QStringLiteral("\\n")), english.count(QStringLiteral("\\n")));
        QCOMPARE(german.count('&'), english.count('&'));
    }

    // The messages use no placeholder but "%s": with one argument per "%s" each formats
    // (a stray "%" would make the whole text come back unformatted).
    void messagesFormat_data()
    {
        QTest::addColumn<QString>("text");
        for (const int language : {LanguageEnglish, LanguageGerman}) {
            for (const auto &e : table(language).entries("Messages"))
                QTest::addRow("%d/%s", language, qPrintable(e.key)) << e.value;
        }
    }
    void messagesFormat()
    {
        QFETCH(QString, text);
        QStringList args;
        for (qsizetype i = 0; i < text.count(QStringLiteral("%s")); ++i)
            args.append(QStringLiteral("<%1>").arg(i));
        const QString formatted = FormatText(text, args);
        QVERIFY(!formatted.contains(QStringLiteral("%s")));
        for (const QString &arg : args)
            QVERIFY(formatted.contains(arg));
    }

    // The system's own wording survives, odd spellings, double blank and non-ASCII included.
    void storedTexts_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("double blank") << 0 << "Messages/SystemSuspending" << "System is  standby";
        QTest::newRow("seral") << 0 << "Messages/ListingSerialPorts" << "Listing seral ports...";
        QTest::newRow("quotes") << 0 << "Messages/InstallingDevice" << "Adding \"%s\" to the system...";
        QTest::newRow("sharp s") << 1 << "Messages/ColorWhite" << "Reinweiß";
        QTest::newRow("mnemonic") << 0 << "frmLumora/mnuConnection.Caption" << "&Connection";
        QTest::newRow("degree") << 0 << "frmLumora/edtChartScale.Caption" << "Chart scale (°C)";
        QTest::newRow("micro") << 1 << "frmLumora/rbtJMPServo.Caption"
                               << "Servo (siehe \"Zeitplan\", Spalte \"JMP-Pin\", mögliche Werte 800 bis 2200µs)";
    }
    void storedTexts()
    {
        QFETCH(int, language);
        QFETCH(QString, key);
        QTEST(table(language).value(key.section('/', 0, 0), key.section('/', 1)), "expected");
    }
};

QTEST_GUILESS_MAIN(TestLanguageTables)
#include "tst_language_tables.moc"
