// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

#include "files/ini_file.h"

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// While it lives, this process cannot write files beyond `bytes`: a write past that fails
// as on a full disk (EFBIG; the signal that would end the process is ignored).
class FullDisk {
public:
    explicit FullDisk(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

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
    void byteOrderMarkIsSkippedAndKept();
    void mergedEntries_data();
    void mergedEntries();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void saveFollowsLinkAndKeepsPermissions();
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

void TstIniFile::byteOrderMarkIsSkippedAndKept()
{
    const QByteArray text = "\xEF\xBB\xBF[Config]\r\nMode=2\r\n[Names]\r\nColorName0=5\r\n";
    IniFile ini = IniFile::parse(text);
    QCOMPARE(ini.sectionNames(), QStringList({"Config", "Names"}));
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("Mode")), std::optional<int64_t>(2));
    // Written back, the file is what it was, mark included.
    QCOMPARE(ini.toBytes(), text);
    ini.setInteger(QStringLiteral("Config"), QStringLiteral("Mode"), 1);
    QCOMPARE(ini.toBytes(), QByteArray("\xEF\xBB\xBF[Config]\r\nMode=1\r\n[Names]\r\nColorName0=5\r\n"));
    // Only at the very start is it a mark.
    QCOMPARE(IniFile::parse("[A]\nx=\xEF\xBB\xBF").value(QStringLiteral("A"), QStringLiteral("x"))->size(), 3);
    QVERIFY(IniFile::parse("\xEF\xBB\xBF").sectionNames().isEmpty());
}

void TstIniFile::mergedEntries_data()
{
    // The language tables read through these: UTF-8 text, the entries of repeated sections
    // together, values as stored (quotes kept), first of equal keys counts.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("entries");   // key=value pairs of [Messages] joined by "|"
    QTest::newRow("UTF-8") << QByteArray("[Messages]\nGr\xC3\xB6\xC3\x9F" "e=\xE2\x82\xAC 5\n") << "Größe=€ 5";
    QTest::newRow("quotes kept") << QByteArray("[Messages]\nA=\"x\"\nB='y'\n") << "A=\"x\"|B='y'";
    QTest::newRow("sections merge, first wins")
        << QByteArray("[messages]\nB=1\n[X]\nA=0\n[Messages]\nA=x\nb=2\n") << "B=1|A=x";
    QTest::newRow("trimmed, comments and junk skipped")
        << QByteArray("A=0\n [Messages] \n ;C=1\n#D=1\njunk\n=y\n  E  =  x y  \r\n") << "E=x y";
    QTest::newRow("no such section") << QByteArray("[Other]\nA=1\n") << "";
}

void TstIniFile::mergedEntries()
{
    QFETCH(QByteArray, text);
    const IniFile ini = IniFile::parse(text, IniFile::Encoding::Utf8);
    QStringList pairs;
    for (const IniFile::Entry &entry : ini.mergedEntries(QStringLiteral("MESSAGES")))
        pairs.append(entry.key + u'=' + entry.value);
    QTEST(pairs.join(u'|'), "entries");
    // A UTF-8 file is written back as UTF-8, byte for byte.
    QCOMPARE(ini.toBytes().replace("\r\n", "\n"), QByteArray(text).replace("\r\n", "\n"));
    // The settings' reading is untouched: the first section of a name counts.
    if (QTest::currentDataTag() == QByteArrayLiteral("sections merge, first wins")) {
        QCOMPARE(ini.value(QStringLiteral("Messages"), QStringLiteral("A")), std::nullopt);
        QCOMPARE(ini.value(QStringLiteral("Messages"), QStringLiteral("B")), QStringLiteral("1"));
    }
}

void TstIniFile::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<int>("newSize");
    QTest::addColumn<int>("room");   // bytes the "disk" takes before it is full
    // A small file fails only when the buffered bytes are flushed; a large one on the way.
    QTest::newRow("small, no room") << 600 << 0;
    QTest::newRow("small, half the room") << 600 << 300;
    QTest::newRow("large, no room") << 300000 << 0;
    QTest::newRow("large, part of it") << 300000 << 100000;
}

void TstIniFile::fullDiskKeepsTheOldFile()
{
    QFETCH(int, newSize);
    QFETCH(int, room);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Backup_ttyUSB0.ini"));
    const QByteArray good = "[Config]\r\nMode=1\r\nFanLow=77\r\n";
    QVERIFY(WriteFileAtomically(path, good));
    QCOMPARE(readAll(path), good);

    IniFile ini = IniFile::parse(good);
    ini.setValue(QStringLiteral("Extra"), QStringLiteral("Text"), QString(newSize, u'x'));
    bool saved = true;
    {
        FullDisk full{rlim_t(room)};
        QVERIFY(full.ok());
        saved = ini.save(path);
    }
    QVERIFY(!saved);
    QCOMPARE(readAll(path), good);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Backup_ttyUSB0.ini")});
    // With room again the same save goes through.
    QVERIFY(ini.save(path));
    QCOMPARE(readAll(path), ini.toBytes());
}

void TstIniFile::saveFollowsLinkAndKeepsPermissions()
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.ini"));
    const QString link = dir.filePath(QStringLiteral("link.ini"));
    QVERIFY(WriteFileAtomically(real, "[A]\r\n"));
    QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::link(real, link));
    QVERIFY(WriteFileAtomically(link, "[B]\r\n"));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(real), QByteArray("[B]\r\n"));
    const QFile::Permissions permissions = QFile::permissions(real);
    QVERIFY(permissions.testFlags(QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(!(permissions & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
    // A folder that does not exist cannot be written to.
    QVERIFY(!WriteFileAtomically(dir.filePath(QStringLiteral("missing/x.ini")), "x"));
}

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"
