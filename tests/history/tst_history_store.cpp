// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The history file, the minute aggregation, the alerts and the CSV; and what a killed
// writer, a damaged file and a read-only folder do to the history.
#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QSqlError>
#include <QStandardPaths>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <map>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "history/history_alerts.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "program_env.h"

namespace {

HistoryRow row(qint64 minute, int16_t water, int16_t slave = NoValue16, int16_t voltage = 1200, uint8_t flags = 0)
{
    HistoryRow r;
    r.minute = minute;
    r.water = water;
    r.slave = slave;
    r.voltage = voltage;
    r.errorFlags = flags;
    r.mode = 1;
    for (int i = 0; i < ChannelCount; ++i)
        r.levels[size_t(i)] = uint16_t(i * 300 + minute % 7);
    return r;
}

HistoryReading reading(int16_t water, uint8_t flags = 0, int16_t voltage = 1200)
{
    HistoryReading r;
    r.water = water;
    r.voltage = voltage;
    r.errorFlags = flags;
    return r;
}

QString integrity(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    db.setDatabaseName(path);
    QString result = QStringLiteral("cannot open");
    if (db.open()) {
        QSqlQuery q(db);
        result = q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next() ? q.value(0).toString() : q.lastError().text();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return result;
}

// The child side of killedWhileWriting: records a minute every few milliseconds and says
// how many rows are on disk after each write.
int runWriterChild(const QString &path)
{
    std::atomic<qint64> now{qint64(1'700'000'000'000)};
    HistoryRecorder recorder(path, {}, [&now] { return now.load(); });
    for (int i = 0;; ++i) {
        recorder.record(QStringLiteral("ttyUSB0"), reading(int16_t(250 + i % 10)));
        now += 20'000; // three readings a minute
        if (i % 3 == 2) {
            recorder.flush();
            std::printf("written %lld\n", static_cast<long long>(recorder.rowsWritten()));
            std::fflush(stdout);
        }
    }
}

} // namespace

class TstHistoryStore : public QObject {
    Q_OBJECT
private slots:
    void controllerKey_data();
    void controllerKey();
    void minuteAggregation();
    void writeAndRead();
    void bucketsMatchTheMinutes();
    void notOurFile_data();
    void notOurFile();
    void busyFileStays();
    void readOnlyFolder();
    void readOnlyFolderChild();
    void killedWhileWriting();
    void csv();
    void alerts_data();
    void alerts();
};

void TstHistoryStore::controllerKey_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("key");
    QTest::newRow("serial") << "ttyUSB0 (FT232R USB UART)" << "ttyUSB0";
    QTest::newRow("path") << "/dev/pts/3 (Simulated controller)" << "/dev/pts/3";
    QTest::newRow("bluetooth") << "00:11:22:aa:bb:cc (Aqualumora, Bluetooth)" << "00:11:22:AA:BB:CC";
    QTest::newRow("rfcomm with address") << "rfcomm0 (00:11:22:AA:BB:CC)" << "rfcomm0 00:11:22:AA:BB:CC";
    QTest::newRow("bare name") << "COM5" << "COM5";
}

void TstHistoryStore::controllerKey()
{
    QFETCH(QString, entry);
    QFETCH(QString, key);
    QCOMPARE(HistoryControllerKey(entry), key);
}

void TstHistoryStore::minuteAggregation()
{
    MinuteAggregator a;
    HistoryRow done;
    QVERIFY(!a.add(100, reading(250, 0x01), done));
    HistoryReading second = reading(NoValue16, 0x40, 1201);
    second.mode = 2;
    second.levels[3] = 4096;
    QVERIFY(!a.add(100, second, done));
    QVERIFY(!a.add(100, reading(253, 0, NoValue16), done));
    // The next minute closes this one: water (250 + 253) / 2 = 251.5 -> 252 (halves to even),
    // the missing readings left out, flags OR-ed, mode and levels of the last reading.
    QVERIFY(a.add(101, reading(260), done));
    QCOMPARE(done.minute, qint64(100));
    QCOMPARE(done.water, int16_t(252));
    QCOMPARE(done.voltage, int16_t(1200)); // (1200 + 1201) / 2 = 1200.5 -> 1200
    QCOMPARE(done.slave, NoValue16);
    QCOMPARE(done.errorFlags, uint8_t(0x41));
    QCOMPARE(done.mode, uint8_t(0));
    QCOMPARE(done.levels[3], uint16_t(0));
    // The flags of one minute do not carry into the next.
    QVERIFY(a.take(done));
    QCOMPARE(done.minute, qint64(101));
    QCOMPARE(done.errorFlags, uint8_t(0));
    QVERIFY(!a.take(done));
}

void TstHistoryStore::writeAndRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/history.sqlite"));
    HistoryStore store;
    QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Opened);
    const std::vector<HistoryRow> a = {row(1000, 250, 240, 1190, 0x08), row(1001, NoValue16), row(1003, 252)};
    QVERIFY(store.write(QStringLiteral("ttyUSB0"), a));
    QVERIFY(store.write(QStringLiteral("00:11:22:AA:BB:CC"), {row(1002, 230)}));
    // A second row for a minute replaces the first.
    QVERIFY(store.write(QStringLiteral("ttyUSB0"), {row(1003, 260)}));
    QCOMPARE(store.rows(QStringLiteral("ttyUSB0"), 0, 2000),
             (std::vector<HistoryRow>{a[0], a[1], row(1003, 260)}));
    QCOMPARE(store.rows(QStringLiteral("ttyUSB0"), 1001, 1003).size(), size_t(1));
    QCOMPARE(store.controllers(), QStringList({"ttyUSB0", "00:11:22:AA:BB:CC"}));
    qint64 first = 0, last = 0;
    QVERIFY(store.recordedSpan(QStringLiteral("ttyUSB0"), first, last));
    QCOMPARE(first, qint64(1000));
    QCOMPARE(last, qint64(1003));
    QVERIFY(store.rows(QStringLiteral("unknown"), 0, 2000).empty());

    // A reader sees what the writer committed, while the writer is still open (WAL).
    HistoryStore reader;
    QVERIFY(reader.openForReading(path));
    QCOMPARE(reader.rows(QStringLiteral("ttyUSB0"), 0, 2000).size(), size_t(3));
    QVERIFY(!reader.write(QStringLiteral("ttyUSB0"), {row(1004, 1)}));
}

void TstHistoryStore::bucketsMatchTheMinutes()
{
    QTemporaryDir dir;
    HistoryStore store;
    QCOMPARE(store.openForWriting(dir.filePath(QStringLiteral("h.sqlite"))), HistoryStore::OpenResult::Opened);
    // Three days with a gap of two hours; values that make every mean, low and high differ.
    std::vector<HistoryRow> rows;
    const qint64 start = 29'000'000; // a whole day in minutes
    for (qint64 m = start; m < start + 3 * 1440; ++m) {
        if (m >= start + 600 && m < start + 720)
            continue;
        rows.push_back(row(m, int16_t(200 + (m * 37) % 101), m % 5 ? int16_t(180 + m % 13) : NoValue16, int16_t(1100 + m % 50),
                           m == start + 1000 ? 0x02 : 0));
    }
    // Written in pieces, as the recorder does, so that hours are summed more than once.
    for (size_t i = 0; i < rows.size(); i += 500)
        QVERIFY(store.write(QStringLiteral("c"), std::vector<HistoryRow>(rows.begin() + long(i),
                                                                          rows.begin() + long(std::min(rows.size(), i + 500)))));
    for (int width : {1, 7, 60, 180, 1440}) {
        const auto buckets = store.buckets(QStringLiteral("c"), start, start + 3 * 1440, width);
        // The same figures straight from the minutes.
        std::map<qint64, std::vector<HistoryRow>> expected;
        for (const HistoryRow &r : rows)
            expected[r.minute / width * width].push_back(r);
        QCOMPARE(buckets.size(), expected.size());
        for (const HistoryBucket &b : buckets) {
            const auto &in = expected[b.minute];
            QCOMPARE(b.minutes, int(in.size()));
            double sum = 0, n = 0, lo = 1e9, hi = -1e9, slaveN = 0;
            uint8_t flags = 0;
            for (const HistoryRow &r : in) {
                sum += r.water;
                ++n;
                lo = std::min(lo, double(r.water));
                hi = std::max(hi, double(r.water));
                slaveN += r.slave != NoValue16;
                flags |= r.errorFlags;
            }
            QVERIFY2(std::abs(b.water - sum / n) < 1e-9, qPrintable(QString::number(width)));
            QCOMPARE(b.waterMin, lo);
            QCOMPARE(b.waterMax, hi);
            QCOMPARE(std::isnan(b.slave), slaveN == 0);
            QCOMPARE(b.errorFlags, flags);
        }
        if (width == 60) // the gap: hours 10 and 11 of the first day have no bucket
            QVERIFY(std::none_of(buckets.begin(), buckets.end(),
                                 [&](const HistoryBucket &b) { return b.minute == start + 600 || b.minute == start + 660; }));
    }
}

void TstHistoryStore::notOurFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("moved");
    QTest::newRow("garbage") << QByteArray(5000, 'x') << true;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("another program's database") << QByteArray("foreign") << true;
    QTest::newRow("damaged history") << QByteArray("damaged") << true;
}

void TstHistoryStore::notOurFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, moved);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    if (content == "foreign") {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes(text TEXT)")));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    } else if (content == "damaged") {
        {
            HistoryStore store;
            QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Opened);
            std::vector<HistoryRow> rows;
            for (int m = 0; m < 5000; ++m)
                rows.push_back(row(m, 250));
            QVERIFY(store.write(QStringLiteral("c"), rows));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 8192);
        // Pages of the minute rows in the middle of the file; the file's header stays intact.
        file.seek(file.size() / 2 / 4096 * 4096);
        file.write(QByteArray(3 * 4096, '\xA5'));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    HistoryStore store;
    const HistoryStore::OpenResult result = store.openForWriting(path);
    QCOMPARE(result, moved ? HistoryStore::OpenResult::MovedAside : HistoryStore::OpenResult::Opened);
    if (moved) {
        QVERIFY(store.movedTo().startsWith(path + QStringLiteral(".unreadable-")));
        QVERIFY(QFile::exists(store.movedTo()));
    }
    // Either way a working history is at the path now.
    QVERIFY(store.write(QStringLiteral("c"), {row(7, 251)}));
    QCOMPARE(store.rows(QStringLiteral("c"), 0, 10).size(), size_t(1));
    store.close();
    QCOMPARE(integrity(path), QStringLiteral("ok"));
}

void TstHistoryStore::busyFileStays()
{
    // Another program holding the file locked is no reason to move a good history aside.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    {
        HistoryStore store;
        QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Opened);
        QVERIFY(store.write(QStringLiteral("c"), {row(7, 251)}));
    }
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QSqlQuery q(holder);
        QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
        QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO controller(name) VALUES('x')")));
        HistoryStore store;
        QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Failed);
        QVERIFY(store.movedTo().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.unreadable-*")}), QStringList());
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        q = QSqlQuery();
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    HistoryStore store;
    QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Opened);
    QCOMPARE(store.rows(QStringLiteral("c"), 0, 10).size(), size_t(1));
}

void TstHistoryStore::readOnlyFolder()
{
    // Root may write anywhere: the check then runs as the user nobody, in a child.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Aqualumora"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    if (::getuid() != 0) {
        std::vector<QString> events;
        {
            HistoryRecorder recorder(folder + QStringLiteral("/history.sqlite"),
                                     [&](HistoryRecorder::Event, const QString &detail) { events.push_back(detail); });
            recorder.record(QStringLiteral("c"), reading(250), 0);
            recorder.record(QStringLiteral("c"), reading(250), 60'000);
            recorder.flush();
            QVERIFY(recorder.unavailable());
        }
        QCOMPARE(events.size(), size_t(1));
        return;
    }
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("no user nobody or no setpriv");
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AQ_HISTORY_READONLY"), folder);
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=%1").arg(nobody->pw_uid), QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                 QStringLiteral("readOnlyFolderChild")});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
    QVERIFY2(child.exitCode() == 0, out.constData());
    QVERIFY2(out.contains("PASS   : TstHistoryStore::readOnlyFolderChild"), out.constData());
}

void TstHistoryStore::readOnlyFolderChild()
{
    const QString folder = qEnvironmentVariable("AQ_HISTORY_READONLY");
    if (folder.isEmpty())
        QSKIP("runs as a child of readOnlyFolder");
    std::vector<QString> events;
    {
        HistoryRecorder recorder(folder + QStringLiteral("/history.sqlite"),
                                 [&](HistoryRecorder::Event e, const QString &detail) {
                                     QCOMPARE(e, HistoryRecorder::Event::Unavailable);
                                     events.push_back(detail);
                                 });
        for (int i = 0; i < 5; ++i)
            recorder.record(QStringLiteral("c"), reading(250), i * 60'000);
        recorder.flush();
        QVERIFY(recorder.unavailable());
    }
    // One report, whatever is recorded afterwards; no file left behind.
    QCOMPARE(events.size(), size_t(1));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/history.sqlite")));
}

void TstHistoryStore::killedWhileWriting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    for (int round = 0; round < 3; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("AQ_HISTORY_WRITER"), path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted(10000));
        // Kill it somewhere in the middle of its writes, at a different point every round.
        qint64 reported = 0;
        QString lines;
        while (reported < 40 + 37 * round) {
            QVERIFY2(child.waitForReadyRead(20000), qPrintable(lines));
            while (child.canReadLine()) {
                const QString line = QString::fromLatin1(child.readLine()).trimmed();
                lines += line + u'\n';
                if (line.startsWith(QStringLiteral("written ")))
                    reported = line.mid(8).toLongLong();
            }
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        QCOMPARE(integrity(path), QStringLiteral("ok"));
        HistoryStore store;
        QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Opened);
        // Every minute reported written is there; the rounds overwrite the same minutes.
        const auto rows = store.rows(QStringLiteral("ttyUSB0"), 0, std::numeric_limits<qint64>::max());
        QVERIFY2(qint64(rows.size()) >= reported, qPrintable(QString::number(rows.size())));
        for (size_t i = 1; i < rows.size(); ++i)
            QCOMPARE(rows[i].minute, rows[i - 1].minute + 1);
    }
}

void TstHistoryStore::csv()
{
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    QLocale::setDefault(QLocale(QLocale::German));
    HistoryRow r = row(QDateTime(QDate(2026, 7, 1), QTime(12, 34), QTimeZone::utc()).toSecsSinceEpoch() / 60, 255, -15, 1234,
                       0x41);
    r.levels = {4096, 2048, 0, 1, 0, 0, 0, 0, 0, 0, 0, 409};
    HistoryRow winter = row(QDateTime(QDate(2026, 12, 24), QTime(23, 0), QTimeZone::utc()).toSecsSinceEpoch() / 60,
                            NoValue16, NoValue16, NoValue16);
    winter.levels = {};
    winter.mode = 0;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(WriteHistoryCsv(out, {r, winter}));
    const QStringList lines = QString::fromUtf8(out.data()).split(u'\n');
    QLocale::setDefault(QLocale::c());
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("time,water_temperature_c,slave_temperature_c,input_voltage_v,error_flags,mode,"
                                      "level_A_percent,level_B_percent,level_C_percent,level_D_percent,level_E_percent,"
                                      "level_F_percent,level_G_percent,level_H_percent,level_I_percent,level_J_percent,"
                                      "level_K_percent,level_L_percent"));
    QCOMPARE(lines[1], QStringLiteral("2026-07-01T14:34:00+02:00,25.5,-1.5,12.34,65,1,100.00,50.00,0.00,0.02,0.00,0.00,"
                                      "0.00,0.00,0.00,0.00,0.00,9.99"));
    QCOMPARE(lines[2], QStringLiteral("2026-12-25T00:00:00+01:00,,,,0,0,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,"
                                      "0.00,0.00,0.00"));
    QCOMPARE(lines[3], QString());
}

void TstHistoryStore::alerts_data()
{
    // Each step: water temperature and error flags of one poll, then the events it raises
    // ("+key arg" a start, "-key arg" an end).
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QList<int>>("water");
    QTest::addColumn<QList<int>>("flags");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("off by default: no temperature alerts")
        << false << QList<int>{250, 300, 300, 250} << QList<int>{0, 0, 0, 0} << QStringList{};
    QTest::newRow("above, once, then back")
        << true << QList<int>{250, 285, 290, 300, 279, 270} << QList<int>{0, 0, 0, 0, 0, 0}
        << QStringList{"+AlertWaterHigh 28.5°C", "-AlertWaterBack 27.0°C"};
    QTest::newRow("wavering on the border is one episode")
        << true << QList<int>{281, 280, 281, 279, 281, 278} << QList<int>{0, 0, 0, 0, 0, 0}
        << QStringList{"+AlertWaterHigh 28.1°C", "-AlertWaterBack 27.8°C"};
    QTest::newRow("below to above")
        << true << QList<int>{230, 231, 290} << QList<int>{0, 0, 0}
        << QStringList{"+AlertWaterLow 23.0°C", "-AlertWaterBack 29.0°C", "+AlertWaterHigh 29.0°C"};
    QTest::newRow("no sensor neither starts nor ends")
        << true << QList<int>{290, NoValue16, NoValue16, 260} << QList<int>{0, 0, 0, 0}
        << QStringList{"+AlertWaterHigh 29.0°C", "-AlertWaterBack 26.0°C"};
    QTest::newRow("error flags, each its own episode; 0x20 is none")
        << false << QList<int>{250, 250, 250, 250, 250} << QList<int>{0, 0x21, 0x03, 0x02, 0x20}
        << QStringList{"+AlertErrorFlag Overtemperature", "+AlertErrorFlag Undervoltage", "-AlertErrorFlagEnd Overtemperature",
                       "-AlertErrorFlagEnd Undervoltage"};
}

void TstHistoryStore::alerts()
{
    QFETCH(bool, enabled);
    QFETCH(QList<int>, water);
    QFETCH(QList<int>, flags);
    QFETCH(QStringList, events);
    AlertMonitor monitor;
    QVERIFY(!monitor.range().enabled);
    if (enabled)
        monitor.setRange({true, 240, 280});
    QStringList seen;
    for (int i = 0; i < water.size(); ++i) {
        InfoRecord info{};
        info.WaterTemp = int16_t(water[i]);
        info.ErrorFlags = uint8_t(flags[i]);
        for (const AlertEvent &e : monitor.update(info, false))
            seen << (e.start ? u'+' : u'-') + e.key + u' ' + e.args.value(0);
    }
    QCOMPARE(seen, events);
    // Fahrenheit texts follow the controller's flag.
    AlertMonitor f;
    f.setRange({true, 240, 280});
    InfoRecord hot{};
    hot.WaterTemp = 300;
    QCOMPARE(f.update(hot, true).at(0).args, QStringList({"86.0°F", "82.4°F"}));
}

int main(int argc, char **argv)
{
    const QString writer = qEnvironmentVariable("AQ_HISTORY_WRITER");
    QCoreApplication app(argc, argv);
    if (!writer.isEmpty())
        return runWriterChild(writer);
    TstHistoryStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history_store.moc"
