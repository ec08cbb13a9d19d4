// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <thread>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "files/backup_history.h"
#include "files/ini_file.h"
#include "files/settings_file.h"

namespace {

const QString Port = QStringLiteral("/dev/rfcomm0");

QDateTime at(const QString &local, const QByteArray &zone = "Europe/Berlin")
{
    const QDateTime t = QDateTime::fromString(local, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QDateTime(t.date(), t.time(), QTimeZone(zone));
}

QString nameOf(QString local) { return local.replace(' ', '_').replace(':', '-') + ".ini"; }

// A complete state with `lines` schedule lines; seed 0 gives the all-zero state of a reset
// controller, every other seed other values (levels never zero).
IniFile state(int lines, int seed = 1)
{
    IniFile ini;
    int i = 0;
    for (const IniKey &k : SettingsKeys())
        ini.setInteger(k.section, k.key, seed ? (seed * 7 + i++) % 97 + 1 : 0);
    for (int l = 0; l < lines; ++l)
        for (const IniKey &k : ScheduleLineKeys())
            ini.setInteger(QString::number(l), k.key, seed ? (seed + l + i++) % 90 + 1 : 0);
    return ini;
}

QByteArray copyBytes(const QByteArray &metaExtra = "Device=1\r\nFirmware=5\r\n")
{
    return "[Backup]\r\nProduct=Aqualumora 1.x\r\nReason=ByHand\r\nLines=2\r\nValues=" +
           QByteArray::number(SettingsKeys().size() + 2 * ScheduleLineKeys().size()) + "\r\n" + metaExtra +
           state(2).toBytes();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Runs work on a thread without the capabilities that let root write anywhere (they are
// per thread), so that a folder's permission bits hold as they do for a user.
void withoutOverride(const std::function<void()> &work)
{
    std::thread t([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (syscall(SYS_capget, &header, data) == 0) {
            data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
            syscall(SYS_capset, &header, data);
        }
        work();
    });
    t.join();
}

} // namespace

class TstBackupHistory : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BackupHistory> m_history;

    StoreResult put(const IniFile &s, const QString &when, BackupReason reason = BackupReason::Disconnect,
                    const QByteArray &zone = "Europe/Berlin")
    {
        return m_history->store(Port, s, BackupInfo{reason, "1.5", {1, 5}}, at(when, zone));
    }
    QString folder() const { return m_history->controllerFolder(Port); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_history = std::make_unique<BackupHistory>(m_dir->filePath("backups"));
    }

    void factoryResetConnect_data()
    {
        QTest::addColumn<int>("secondLines");
        QTest::addColumn<int>("secondSeed");
        QTest::addColumn<BackupReason>("reason");
        QTest::addColumn<bool>("offered");
        QTest::newRow("reset stored at disconnect") << 0 << 0 << BackupReason::Disconnect << true;
        QTest::newRow("reset stored before an update") << 0 << 0 << BackupReason::BeforeFirmwareUpdate << true;
        QTest::newRow("reset saved by hand") << 0 << 0 << BackupReason::ByHand << false;
        QTest::newRow("lines zeroed") << 24 << 0 << BackupReason::Closing << true;
        QTest::newRow("a few lines removed") << 20 << 1 << BackupReason::Disconnect << false;
    }
    void factoryResetConnect()
    {
        QFETCH(int, secondLines);
        QFETCH(int, secondSeed);
        QFETCH(BackupReason, reason);
        QFETCH(bool, offered);
        const IniFile full = state(24), second = state(secondLines, secondSeed);
        QCOMPARE(put(full, "2026-03-01 10:00:00").outcome, StoreResult::Stored);
        QCOMPARE(put(second, "2026-03-01 10:05:00", reason).outcome, StoreResult::Stored);
        QCOMPARE(put(second, "2026-03-01 10:09:00").outcome, StoreResult::Identical);
        const QList<BackupCopy> copies = m_history->copies(Port);
        QCOMPARE(copies.size(), 2);
        QCOMPARE(copies[1].path, folder() + "/2026-03-01_10-00-00.ini");
        const auto offer = m_history->copyToOfferAfterLoss(Port, second);
        QCOMPARE(offer.has_value(), offered);
        if (offered) {
            QCOMPARE(offer->path, copies[1].path);
            QCOMPARE(CompareStates(full, m_history->readCopy(offer->path).value()).count(), 0);
        }
    }

    void identicalStates_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("upperCase");
        QTest::addColumn<bool>("identical");
        QTest::newRow("same values") << "^$" << "" << false << true;
        QTest::newRow("letter case of names") << "^$" << "" << true << true;
        QTest::newRow("hexadecimal") << "^Mode=(\\d+)" << "Mode=0x0\\1" << false << true;
        QTest::newRow("quoted values") << "=(\\d+)\\r$" << "=\"\\1\"\r" << false << true;
        QTest::newRow("unknown key") << "^\\[Names\\]" << "[Names]\r\nExtra=9" << false << true;
        QTest::newRow("repeated key") << "^(Bias=.*)$" << "\\1\nBias=1" << false << true;
        QTest::newRow("key in a repeated section") << "^(Bias=.*)$" << "[TimeZone]\n\\1" << false << false;
        QTest::newRow("no-break spaces, CR line ends") << "=(\\d+)\r\n" << "\u00a0=\u00a0\\1\u00a0\r" << false << true;
        QTest::newRow("one value") << "^Bias=\\d+" << "Bias=-1" << false << false;
        QTest::newRow("one key fewer") << "^Bias=\\d+\\r$" << "" << false << false;
        QTest::newRow("one line more") << "^\\[0\\]" << "[24]\r\nHour=1\r\n[0]" << false << false;
    }
    void identicalStates()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, replacement);
        QFETCH(bool, upperCase);
        QFETCH(bool, identical);
        // The copy on disk is the odd spelling: the listing reads it without IniFile, the
        // state to store is an IniFile, and both must read alike.
        QString text = QString::fromLatin1(state(24).toBytes());
        text.replace(QRegularExpression(pattern, QRegularExpression::MultilineOption), replacement);
        if (upperCase)
            text = text.toUpper();
        const IniFile first = IniFile::parse(text.toLatin1()), second = state(24);
        QCOMPARE(put(first, "2026-03-01 10:00:00", BackupReason::ByHand).outcome, StoreResult::Stored);
        const StoreResult r = m_history->store(Port, second, {BackupReason::Disconnect, "2.0", {1, 4}},
                                               at("2026-03-01 10:00:00"));
        QCOMPARE(r.outcome, identical ? StoreResult::Identical : StoreResult::Stored);
        const QList<BackupCopy> copies = m_history->copies(Port, {{}, &second});
        QCOMPARE(copies.last().differences, CompareStates(second, first).count());
        QCOMPARE(copies.size(), identical ? 1 : 2);
        if (!identical)
            QCOMPARE(QFileInfo(r.path).fileName(), "2026-03-01_10-00-00_02.ini");
    }

    void differences_data()
    {
        QTest::addColumn<QByteArray>("now");
        QTest::addColumn<QByteArray>("backup");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("lines");
        QTest::newRow("spelled differently") << QByteArray("[Config]\nMode=12") << QByteArray("[ config ]\nMODE = 0x0C")
                                             << QStringList() << 0;
        QTest::newRow("settings in written order") << QByteArray("[Weather]\nCloudP=1\n[Config]\nMode=1\n[RC5]\nUp=x")
                                                   << QByteArray("[RC5]\nUp=2")
                                                   << QStringList{"Config/Mode 1 -", "Weather/CloudP 1 -", "RC5/Up - 2"} << 0;
        QTest::newRow("lines of either") << QByteArray("[2]\nHour=5\n[0]\nSwitch=1") << QByteArray("[0]\nSwitch=1\nAlt=-3")
                                         << QStringList{"0/Alt - -3", "2/Hour 5 -"} << 2;
        QTest::newRow("not lines") << QByteArray("[01]\nHour=1\n[Extra]\nMode=3\n[-1]\nHour=2") << QByteArray()
                                   << QStringList() << 0;
    }
    void differences()
    {
        QFETCH(QByteArray, now);
        QFETCH(QByteArray, backup);
        QFETCH(QStringList, expected);
        QFETCH(int, lines);
        const StateComparison c = CompareStates(IniFile::parse(now), IniFile::parse(backup));
        QStringList got;
        const auto text = [](std::optional<int64_t> v) { return v ? QString::number(*v) : QStringLiteral("-"); };
        for (const StateDifference &d : c.differences)
            got << d.section + '/' + d.key + ' ' + text(d.now) + ' ' + text(d.backup);
        QCOMPARE(got, expected);
        QCOMPARE(c.count(), expected.size());
        QCOMPARE(c.compared, int(SettingsKeys().size() + lines * ScheduleLineKeys().size()));
    }

    void lostSettings_data()
    {
        QTest::addColumn<QList<int>>("download");   // lines, seed
        QTest::addColumn<QList<int>>("backup");
        QTest::addColumn<bool>("lost");
        QTest::newRow("factory reset") << QList<int>{0, 0} << QList<int>{24, 1} << true;
        QTest::newRow("levels zeroed") << QList<int>{24, 0} << QList<int>{24, 1} << true;
        QTest::newRow("unchanged") << QList<int>{24, 1} << QList<int>{24, 1} << false;
        QTest::newRow("lines added since") << QList<int>{24, 1} << QList<int>{12, 1} << false;
        QTest::newRow("backup holds less") << QList<int>{24, 2} << QList<int>{2, 1} << false;
    }
    void lostSettings()
    {
        QFETCH(QList<int>, download);
        QFETCH(QList<int>, backup);
        QFETCH(bool, lost);
        QCOMPARE(LooksLikeLostSettings(state(download[0], download[1]), state(backup[0], backup[1])), lost);
    }

    void retention_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QStringList>("old");    // stored first, oldest first
        QTest::addColumn<QString>("now");
        QTest::addColumn<QStringList>("kept");   // of the old ones
        QTest::addColumn<int>("recent");         // daily copies before now, stored after the old ones
        QStringList twelve;
        for (int day = 1; day <= 12; ++day)
            twelve << QStringLiteral("2020-05-%1 12:00:00").arg(day, 2, 10, QChar('0'));
        QTest::newRow("newest ten whatever their age") << QByteArray("UTC") << twelve << "2026-01-01 00:00:00"
                                                       << twelve.mid(2) << 0;
        QTest::newRow("months and the year end, local")
            << QByteArray("Europe/Berlin")
            << QStringList{"2025-12-15 12:00:00", "2025-12-31 23:30:00", "2026-01-01 00:30:00", "2026-01-31 23:59:59",
                           "2026-02-01 00:00:00"}
            << "2026-06-20 12:00:00" << QStringList{"2025-12-31 23:30:00", "2026-01-31 23:59:59", "2026-02-01 00:00:00"} << 10;
        QTest::newRow("30 days by the clock, into summer time")
            << QByteArray("Europe/Berlin") << QStringList{"2026-03-16 11:30:00", "2026-03-16 12:30:00", "2026-03-20 12:00:00"}
            << "2026-04-15 12:00:00" << QStringList{"2026-03-16 12:30:00", "2026-03-20 12:00:00"} << 10;
        QTest::newRow("30 days by the clock, into winter time")
            << QByteArray("Europe/Berlin") << QStringList{"2026-10-16 11:30:00", "2026-10-16 12:30:00", "2026-10-20 12:00:00"}
            << "2026-11-15 12:00:00" << QStringList{"2026-10-16 12:30:00", "2026-10-20 12:00:00"} << 10;
        QTest::newRow("southern summer time") << QByteArray("Australia/Sydney")
            << QStringList{"2026-03-05 12:00:00", "2026-04-04 11:30:00", "2026-04-04 12:30:00"} << "2026-05-04 12:00:00"
            << QStringList{"2026-03-05 12:00:00", "2026-04-04 12:30:00"} << 10;
    }
    void retention()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, old);
        QFETCH(QString, now);
        QFETCH(QStringList, kept);
        QFETCH(int, recent);
        int seed = 1;
        QStringList expected;
        for (const QString &t : old)
            QCOMPARE(put(state(2, seed++), t, BackupReason::Disconnect, zone).outcome, StoreResult::Stored);
        for (const QString &t : kept)
            expected << nameOf(t);
        for (int day = recent; day >= 1; --day) {
            const QString t = at(now, zone).addDays(-day).toString("yyyy-MM-dd HH:mm:ss");
            QCOMPARE(put(state(2, seed++), t, BackupReason::Disconnect, zone).outcome, StoreResult::Stored);
            expected << nameOf(t);
        }
        m_history->applyRetention(Port, at(now, zone));
        QCOMPARE(entries(folder()), expected);
    }

    void dailyFor400Days_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
        QTest::newRow("Sydney") << QByteArray("Australia/Sydney");
    }
    void dailyFor400Days()
    {
        QFETCH(QByteArray, zone);
        const QDate last(2027, 1, 10);
        QStringList expected;
        for (int i = 0; i < 400; ++i) {
            const QDate d = last.addDays(i - 399);
            const QString t = d.toString("yyyy-MM-dd") + " 12:00:00";
            QCOMPARE(put(state(1, i + 1), t, BackupReason::Closing, zone).outcome, StoreResult::Stored);
            if (d >= last.addDays(-30) || d.day() == d.daysInMonth())
                expected << nameOf(t);
        }
        QCOMPARE(entries(folder()), expected);
        QCOMPARE(expected.size(), 31 + 12);   // Dec 11 to Jan 10, and the ends of Dec 2025 .. Nov 2026
    }

    void failedStore_data()
    {
        QTest::addColumn<StoreStep>("step");
        QTest::addColumn<int>("error");   // 0: the folder is made read-only instead
        QTest::addColumn<StoreFailure>("failure");
        QTest::newRow("disk full while writing") << StoreStep::Write << ENOSPC << StoreFailure::NoSpace;
        QTest::newRow("quota at the flush") << StoreStep::Sync << EDQUOT << StoreFailure::NoSpace;
        QTest::newRow("read-only file system") << StoreStep::CreateTemporary << EROFS << StoreFailure::NotWritable;
        QTest::newRow("no folder") << StoreStep::CreateFolder << EACCES << StoreFailure::NotWritable;
        QTest::newRow("I/O error at the rename") << StoreStep::Publish << EIO << StoreFailure::Other;
        QTest::newRow("read-only folder") << StoreStep::CreateTemporary << 0 << StoreFailure::NotWritable;
    }
    void failedStore()
    {
        QFETCH(StoreStep, step);
        QFETCH(int, error);
        QFETCH(StoreFailure, failure);
        QCOMPARE(put(state(24), "2026-03-01 10:00:00").outcome, StoreResult::Stored);
        const QStringList before = entries(folder());
        const QByteArray oldBytes = readAll(folder() + '/' + before.value(0));
        m_history->setFaultInjector([&](StoreStep s) { return s == step ? error : 0; });
        StoreResult r;
        if (error) {
            r = put(state(0, 0), "2026-03-02 10:00:00");
        } else {
            QVERIFY(::chmod(QFile::encodeName(folder()), 0555) == 0);
            bool writable = false;
            withoutOverride([&] {
                QFile probe(folder() + "/probe");
                writable = probe.open(QIODevice::WriteOnly) && probe.remove();
                r = put(state(0, 0), "2026-03-02 10:00:00");
            });
            ::chmod(QFile::encodeName(folder()), 0755);
            if (writable)
                QSKIP("this process writes into read-only folders");
        }
        QCOMPARE(r.outcome, StoreResult::Failed);
        QCOMPARE(r.failure, failure);
        QCOMPARE(r.errorText, qt_error_string(error ? error : EACCES));
        QCOMPARE(entries(folder()), before);
        QCOMPARE(readAll(folder() + '/' + before.value(0)), oldBytes);
        m_history->setFaultInjector({});
        QCOMPARE(put(state(0, 0), "2026-03-02 10:00:00").outcome, StoreResult::Stored);
    }

    void unreadableCopies_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CopyCondition>("condition");
        QTest::addColumn<bool>("firmwareDiffers");
        const QByteArray good = copyBytes();
        QTest::newRow("readable") << good << CopyCondition::Readable << false;
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + good << CopyCondition::Readable << false;
        QTest::newRow("other firmware") << copyBytes("Device=1\r\nFirmware=4\r\n") << CopyCondition::Readable << true;
        QTest::newRow("binary") << QByteArray("[Backup]\0\x01\x02", 11) << CopyCondition::Damaged << true;
        QTest::newRow("not an INI") << QByteArray("Dear diary,\r\ntoday...\r\n") << CopyCondition::Damaged << true;
        QTest::newRow("no metadata") << state(2).toBytes() << CopyCondition::Foreign << true;
        QTest::newRow("other product") << QByteArray(good).replace("Aqualumora 1.x", "Fishlight 2") << CopyCondition::Foreign
                                       << false;
        QTest::newRow("empty") << QByteArray() << CopyCondition::Truncated << true;
        QTest::newRow("lines cut off") << good.left(good.indexOf("[1]")) << CopyCondition::Truncated << false;
        QTest::newRow("last key cut off") << good.left(good.lastIndexOf("Switch")) << CopyCondition::Truncated << false;
        QTest::newRow("settings missing") << QByteArray(good).replace("[RC5]", "[RC6]") << CopyCondition::Truncated << false;
        QTest::newRow("oversized") << good + QByteArray(IniFile::MaxFileSize, ';') << CopyCondition::Oversized << true;
    }
    void unreadableCopies()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(CopyCondition, condition);
        QFETCH(bool, firmwareDiffers);
        for (int day = 1; day <= 10; ++day)
            QCOMPARE(put(state(3, day), QStringLiteral("2026-03-%1 10:00:00").arg(day, 2, 10, QChar('0'))).outcome,
                     StoreResult::Stored);
        const QStringList names{"2020-01-01_12-00-00.ini", "2020-01-02_12-00-00.ini"};
        for (const QString &name : names)
            writeFile(folder() + '/' + name, bytes);
        const QList<BackupCopy> copies = m_history->copies(Port, {ControllerFirmware{1, 5}, nullptr});
        QCOMPARE(copies.size(), 12);
        const BackupCopy &copy = copies.last();
        QCOMPARE(copy.path, folder() + '/' + names[0]);
        QCOMPARE(copy.condition, condition);
        QCOMPARE(copy.firmwareDiffers, firmwareDiffers);
        QCOMPARE(m_history->readCopy(copy.path).has_value(), copy.restorable());
        // The retention removes the older of two readable copies of one old month, never an
        // unreadable one.
        m_history->applyRetention(Port, at("2026-03-11 10:00:00"));
        QCOMPARE(QFile::exists(copy.path), condition != CopyCondition::Readable);
        QVERIFY(QFile::exists(folder() + '/' + names[1]));
    }

    void oddNames()
    {
        const QStringList odd{"-rf.ini", "a b.ini", "\u00fcber \u2603.ini", "line\nbreak.ini", "--.ini", "x.INI"};
        const QStringList folders{"with space", "-n", "new\nline", "\u00e4\u00f6"};
        for (const QString &f : folders)
            for (const QString &name : odd)
                writeFile(m_dir->filePath("backups/" + f + '/' + name), copyBytes());
        writeFile(m_dir->filePath("backups/-n/notes.txt"), "x");
        QCOMPARE(m_history->store("..", state(2), {}, at("2026-03-01 10:00:00")).outcome, StoreResult::Stored);
        QVERIFY(QFile::exists(m_dir->filePath("backups/__/2026-03-01_10-00-00.ini")));
        const QList<BackupCopy> copies = m_history->allCopies();
        QCOMPARE(copies.size(), int(folders.size() * odd.size()) + 1);
        for (const BackupCopy &c : copies)
            QVERIFY2(c.restorable() && m_history->readCopy(c.path), qPrintable(c.path));
        QCOMPARE(m_history->applyRetention("-n", at("2030-01-01 00:00:00")), QStringList());
        QCOMPARE(m_history->allCopies().size(), copies.size());
    }
};

QTEST_GUILESS_MAIN(TstBackupHistory)
#include "tst_backup_history.moc"
