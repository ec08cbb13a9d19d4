#include <QTest>

#include "files/ini_file.h"

class TstIniFile : public QObject {
    Q_OBJECT
private slots:
    void integers_data();
    void integers();
    void lookup_data();
    void lookup();
    void codePageRoundTripsEveryByte();
    void rewriteKeepsEverythingElse();
    void newKeysGoToTheirSection();
};

void TstIniFile::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("value");
    QTest::newRow("decimal") << "42" << true << qint64(42);
    QTest::newRow("plus") << "+5" << true << qint64(5);
    QTest::newRow("0x") << "0x0C" << true << qint64(12);
    QTest::newRow("dollar") << "$7FFF" << true << qint64(32767);
    QTest::newRow("negative hex") << "-$10" << true << qint64(-16);
    QTest::newRow("32-bit unsigned top") << "0xFFFFFFFF" << true << qint64(4294967295LL);
    QTest::newRow("32-bit signed bottom") << "-2147483648" << true << qint64(-2147483648LL);
    QTest::newRow("beyond 32 bits") << "4294967296" << false << qint64(0);
    QTest::newRow("below 32 bits") << "-2147483649" << false << qint64(0);
    QTest::newRow("many digits") << QString(5000, u'9') << false << qint64(0);
    QTest::newRow("prefix only") << "0x" << false << qint64(0);
    QTest::newRow("decimal point") << "1.5" << false << qint64(0);
    QTest::newRow("hex digit in decimal") << "12a" << false << qint64(0);
    QTest::newRow("non-ASCII digit") << QStringLiteral("\u0661") << false << qint64(0);
}

void TstIniFile::integers()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, value);
    const auto parsed = ParseIniInteger(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void TstIniFile::lookup_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");   // null: absent
    const QByteArray text = "; comment\r\n"
                            "Stray=1\r\n"
                            "[Config]\r\n"
                            "  Mode = 2  \r\n"
                            "Flag=\"5\"\r\n"
                            ";FanLow=9\r\n"
                            "FanLow=3\r\n"
                            "FanLow=4\r\n"
                            "=7\r\n"
                            "junk line\r\n"
                            "[ weather ] trailing\r\n"
                            "CloudP=0x10\r\n"
                            "[CONFIG]\r\n"
                            "FanHigh=8\r\n"
                            "[Open\r\n"
                            "Key=a=b\r\n";
    QTest::newRow("trimmed") << text << "Config" << "Mode" << "2";
    QTest::newRow("letter case") << text << "cOnFiG" << "MODE" << "2";
    QTest::newRow("quotes stripped") << text << "Config" << "Flag" << "5";
    QTest::newRow("comment is no key, first key counts") << text << "Config" << "FanLow" << "3";
    QTest::newRow("first section of a name counts") << text << "Config" << "FanHigh" << QString();
    QTest::newRow("header with blanks and tail") << text << "Weather" << "CloudP" << "0x10";
    QTest::newRow("keys before any section") << text << "" << "Stray" << QString();
    QTest::newRow("unclosed header") << text << "Open" << "Key" << "a=b";
    QTest::newRow("missing section") << text << "Names" << "Mode" << QString();
}

void TstIniFile::lookup()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const IniFile ini = IniFile::parse(file);
    const auto value = ini.value(section, key);
    QCOMPARE(value.has_value(), !expected.isNull());
    if (value)
        QCOMPARE(*value, expected);
}

void TstIniFile::codePageRoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(EncodeWindows1252(DecodeWindows1252(all)), all);
    // A file full of arbitrary bytes comes back byte for byte when nothing is written.
    QByteArray lines;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            lines.append(char(b));
    lines += "\r\n[x]\r\n" + lines + "\r\n";
    QCOMPARE(IniFile::parse(lines).toBytes(), lines);
    QCOMPARE(DecodeWindows1252("\x80\x95\x9F"), QStringLiteral("\u20AC\u2022\u0178"));
    QCOMPARE(EncodeWindows1252(u"\u20AC\u00B0\u4E2D"), QByteArray("\x80\xB0?"));
}

void TstIniFile::rewriteKeepsEverythingElse()
{
    const QByteArray text = "; kept\r\n[Mine]\r\nfanlow = 1 ; old\r\nOther=x\r\n\r\n[Foreign]\r\nA=b\r\n";
    IniFile ini = IniFile::parse(text);
    ini.setInteger(QStringLiteral("MINE"), QStringLiteral("FanLow"), -3);
    QCOMPARE(ini.toBytes(), QByteArray("; kept\r\n[Mine]\r\nfanlow =-3\r\nOther=x\r\n\r\n[Foreign]\r\nA=b\r\n"));
}

void TstIniFile::newKeysGoToTheirSection()
{
    IniFile ini = IniFile::parse("[A]\r\nx=1\r\n; about B\r\n[B]\r\ny=2\r\n");
    ini.setInteger(QStringLiteral("A"), QStringLiteral("z"), 3);
    ini.setInteger(QStringLiteral("A"), QStringLiteral("w"), 4);
    ini.setInteger(QStringLiteral("C"), QStringLiteral("v"), 5);
    ini.setInteger(QStringLiteral("A"), QStringLiteral("z"), 6);
    QCOMPARE(ini.toBytes(), QByteArray("[A]\r\nx=1\r\nz=6\r\nw=4\r\n; about B\r\n[B]\r\ny=2\r\n[C]\r\nv=5\r\n"));
    QCOMPARE(ini.sectionNames(), QStringList({"A", "B", "C"}));
    QCOMPARE(ini.keys(QStringLiteral("a")), QStringList({"x", "z", "w"}));

    IniFile unix = IniFile::parse("[A]\nx=1");   // the file's own line ends are kept
    unix.setInteger(QStringLiteral("A"), QStringLiteral("y"), 2);
    QCOMPARE(unix.toBytes(), QByteArray("[A]\nx=1\ny=2\n"));
}

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"
