// Consistency of the two built-in language tables, read both through the resource
// (what the program uses) and as raw files (what a translator edits).
#include "app/localization.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTest>

namespace {

const char *const Languages[] = {"english", "german"};

QByteArray rawTable(const QString &language)
{
    QFile file(qEnvironmentVariable("AQ_SOURCE_DIR") + QStringLiteral("/assets/lang/")
               + language + QStringLiteral(".ini"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

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

} // namespace

class TestLanguageTables : public QObject {
    Q_OBJECT

private slots:
    void sectionsAndCounts_data();
    void sectionsAndCounts();
    void sameKeysInSameOrder_data();
    void sameKeysInSameOrder();
    void rawFileIsClean_data();
    void rawFileIsClean();
    void placeholdersAndBreaksMatch_data();
    void placeholdersAndBreaksMatch();
    void messagesFormatWithTheirArguments_data();
    void messagesFormatWithTheirArguments();
    void storedTexts_data();
    void storedTexts();
    void colourKeysCloseTheMessages();
    void formKeysHaveKnownForm();
};

void TestLanguageTables::sectionsAndCounts_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("english") << LanguageEnglish;
    QTest::newRow("german") << LanguageGerman;
}

void TestLanguageTables::sectionsAndCounts()
{
    QFETCH(int, language);
    const LanguageTable t = table(language);
    QCOMPARE(t.sectionNames(), QStringList({"Messages", "frmLumora"}));
    QCOMPARE(t.entries("Messages").size(), 127);
    QCOMPARE(t.entries("frmLumora").size(), 158);
    QCOMPARE(t.entries("Messages").first().key, QStringLiteral("Started"));
    QCOMPARE(t.entries("frmLumora").first().key, QStringLiteral("mem.Caption"));
    QCOMPARE(t.entries("frmLumora").last().key, QStringLiteral("edtChartScale.Hint"));
}

void TestLanguageTables::sameKeysInSameOrder_data()
{
    QTest::addColumn<QString>("section");
    QTest::newRow("Messages") << QStringLiteral("Messages");
    QTest::newRow("frmLumora") << QStringLiteral("frmLumora");
}

void TestLanguageTables::sameKeysInSameOrder()
{
    QFETCH(QString, section);
    const QStringList english = keys(table(LanguageEnglish).entries(section));
    const QStringList german = keys(table(LanguageGerman).entries(section));
    QVERIFY(!english.isEmpty());
    QCOMPARE(german, english);
}

void TestLanguageTables::rawFileIsClean_data()
{
    QTest::addColumn<QString>("language");
    for (const char *language : Languages)
        QTest::newRow(language) << QString::fromLatin1(language);
}

// Every line is a section header or key=value with no blanks around either side, the
// text is valid UTF-8 without BOM or CR, no key repeats (keys match case-insensitively),
// and every text is non-empty.
void TestLanguageTables::rawFileIsClean()
{
    QFETCH(QString, language);
    const QByteArray raw = rawTable(language);
    QVERIFY2(!raw.isEmpty(), "set AQ_SOURCE_DIR to the source root");
    QVERIFY(!raw.startsWith("\xEF\xBB\xBF"));
    QVERIFY(!raw.contains('\r'));
    QVERIFY(!raw.contains('\t'));

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(raw);
    QVERIFY(!decoder.hasError());

    static const QRegularExpression entry(QStringLiteral("^([^=\\s]+)=(\\S(?:.*\\S)?)$"));
    QSet<QString> seen;
    QString section;
    const QStringList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const QByteArray where = (language + ":" + QString::number(i + 1)).toUtf8();
        if (line.isEmpty())
            continue;
        if (line.startsWith('[')) {
            QVERIFY2(line.endsWith(']'), where.constData());
            section = line;
            continue;
        }
        QVERIFY2(!section.isEmpty(), where.constData());
        const auto match = entry.match(line);
        QVERIFY2(match.hasMatch(), where.constData());
        const QString key = section + match.captured(1).toLower();
        QVERIFY2(!seen.contains(key), where.constData());
        seen.insert(key);
    }
}

void TestLanguageTables::placeholdersAndBreaksMatch_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    const LanguageTable en = table(LanguageEnglish);
    const LanguageTable de = table(LanguageGerman);
    for (const QString &section : {QStringLiteral("Messages"), QStringLiteral("frmLumora")}) {
        for (const auto &e : en.entries(section)) {
            QTest::addRow("%s/%s", qPrintable(section), qPrintable(e.key))
                << section << e.key << e.value << de.value(section, e.key);
        }
    }
}

// A German text with a different number of "%s" would drop or misplace an argument;
// a different number of line breaks or ampersands would change a layout or a mnemonic.
void TestLanguageTables::placeholdersAndBreaksMatch()
{
    QFETCH(QString, english);
    QFETCH(QString, german);
    QVERIFY(!german.isEmpty());
    QCOMPARE(german.count(QStringLiteral("%s")), english.count(QStringLiteral("%s")));
    QCOMPARE(german.count(QStringLiteral("\\n")), english.count(QStringLiteral("\\n")));
    QCOMPARE(german.count('&'), english.count('&'));
}

void TestLanguageTables::messagesFormatWithTheirArguments_data()
{
    QTest::addColumn<QString>("text");
    for (const int language : {LanguageEnglish, LanguageGerman}) {
        for (const auto &e : table(language).entries("Messages"))
            QTest::addRow("%d/%s", language, qPrintable(e.key)) << e.value;
    }
}

// The texts use no placeholder but "%s": with one argument per "%s" every text formats,
// and no "%s" survives (a stray "%" would make the whole text come back unformatted).
void TestLanguageTables::messagesFormatWithTheirArguments()
{
    QFETCH(QString, text);
    const int count = int(text.count(QStringLiteral("%s")));
    QStringList args;
    for (int i = 0; i < count; ++i)
        args.append(QStringLiteral("<arg%1>").arg(i));
    const QString formatted = FormatText(text, args);
    QVERIFY(!formatted.contains(QStringLiteral("%s")));
    for (const QString &arg : args)
        QVERIFY(formatted.contains(arg));
}

void TestLanguageTables::storedTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString m = QStringLiteral("Messages");
    const QString f = QStringLiteral("frmLumora");
    // The system's own wording, odd spellings and double blank included.
    QTest::newRow("double blank") << 0 << m << "SystemSuspending" << "System is  standby";
    QTest::newRow("seral") << 0 << m << "ListingSerialPorts" << "Listing seral ports...";
    QTest::newRow("successfull") << 0 << m << "UninstallSuccessful" << "Uninstall successfull.";
    QTest::newRow("quotes kept") << 0 << m << "InstallingDevice" << "Adding \"%s\" to the system...";
    QTest::newRow("umlaut") << 1 << m << "ColorGreen" << "Grün";
    QTest::newRow("sharp s") << 1 << m << "ColorWhite" << "Reinweiß";
    QTest::newRow("de two args") << 1 << m << "ConnectedToOn" << "Verbunden mit %s an %s";
    QTest::newRow("template en") << 0 << f << "lblName0.Caption" << "Label for channel %s";
    QTest::newRow("pages en") << 0 << f << "tsChannels.Caption" << "Channels %s";
    QTest::newRow("mnemonic") << 0 << f << "mnuConnection.Caption" << "&Connection";
    QTest::newRow("degree") << 0 << f << "edtChartScale.Caption" << "Chart scale (°C)";
    QTest::newRow("micro") << 0 << f << "rbtJMPServo.Caption"
                           << "Servo (see \"Schedule\", column \"JMP pin\", possible values 800 to 2200µs)";
    QTest::newRow("typo kept") << 0 << f << "btnCloud.Hint"
                               << "Triggers or stops a cloud immidiately (only in the modes \"Auto\" and \"Geo\")";
}

void TestLanguageTables::storedTexts()
{
    QFETCH(int, language);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(table(language).value(section, key), expected);
}

// ColorName indexes the colour keys; they are the last sixteen messages, in index order.
void TestLanguageTables::colourKeysCloseTheMessages()
{
    const auto messages = table(LanguageEnglish).entries("Messages");
    QVERIFY(messages.size() >= ColorCount);
    for (int i = 0; i < ColorCount; ++i)
        QCOMPARE(messages.at(messages.size() - ColorCount + i).key, ColorKey(i));
}

void TestLanguageTables::formKeysHaveKnownForm()
{
    static const QRegularExpression form(
        QStringLiteral("^(mem|ts|lbl|btn|cbx|edt|gbx|rbt|mnu)[A-Za-z0-9]*\\.(Caption|Hint)$"));
    for (const auto &e : table(LanguageEnglish).entries("frmLumora"))
        QVERIFY2(form.match(e.key).hasMatch(), qPrintable(e.key));
}

QTEST_GUILESS_MAIN(TestLanguageTables)
#include "tst_language_tables.moc"
