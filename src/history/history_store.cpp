// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTextStream>
#include <QVariant>

#include <atomic>

namespace {

// "AqLm": tells our file apart from any other SQLite database at the same path.
constexpr int ApplicationId = 0x41714C6D;
constexpr int SchemaVersion = 1;

QString newConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("aq-history-%1").arg(counter.fetch_add(1));
}

QVariant sensorValue(int16_t v) { return v == NoValue16 ? QVariant(QMetaType(QMetaType::Int)) : QVariant(int(v)); }
int16_t sensorFrom(const QVariant &v) { return v.isNull() ? NoValue16 : int16_t(v.toInt()); }
double realFrom(const QVariant &v) { return v.isNull() ? HistoryBucket::None : v.toDouble(); }

QByteArray levelBlob(const std::array<uint16_t, ChannelCount> &levels)
{
    QByteArray blob(ChannelCount * 2, '\0');
    for (int i = 0; i < ChannelCount; ++i) {
        blob[2 * i] = char(levels[size_t(i)] & 0xFF);
        blob[2 * i + 1] = char(levels[size_t(i)] >> 8);
    }
    return blob;
}

std::array<uint16_t, ChannelCount> levelsFrom(const QByteArray &blob)
{
    std::array<uint16_t, ChannelCount> levels{};
    for (int i = 0; i < ChannelCount && 2 * i + 1 < blob.size(); ++i)
        levels[size_t(i)] = uint16_t(uint8_t(blob[2 * i]) | (uint8_t(blob[2 * i + 1]) << 8));
    return levels;
}

// SQLite has no bitwise-OR aggregate; the OR of eight one-bit maxima is the same.
const char *FlagsOr = "(max(flags&1)|max(flags&2)|max(flags&4)|max(flags&8)|max(flags&16)|max(flags&32)"
                      "|max(flags&64)|max(flags&128))";

} // namespace

int16_t HistoryMean(qint64 sum, int count)
{
    if (count <= 0)
        return NoValue16;
    const double mean = double(sum) / double(count);
    return int16_t(std::nearbyint(mean)); // the default rounding mode: halves to even
}

HistoryStore::HistoryStore() : m_connection(newConnectionName()) {}

HistoryStore::~HistoryStore() { close(); }

QString HistoryStore::defaultPath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return {};
    return base + QStringLiteral("/Aqualumora/history.sqlite");
}

bool HistoryStore::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

void HistoryStore::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryStore::openConnection(const QString &path)
{
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid()) {
        m_error = QStringLiteral("the SQLite driver of Qt is not installed (libqt6sql6-sqlite)");
        return false;
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    return true;
}

bool HistoryStore::exec(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(sql)) {
        m_error = q.lastError().text();
        return false;
    }
    return true;
}

// True for our own file in good order and for an empty database; bad is set for a file
// that is damaged or someone else's.
bool HistoryStore::isHistoryFile(bool &bad)
{
    bad = false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    const auto failed = [&] {
        m_error = q.lastError().text();
        // Only "not a database" and "malformed" say the file itself is bad; busy, locked or
        // unreadable (another instance, a read-only folder) leave a good file where it is.
        const int code = q.lastError().nativeErrorCode().toInt() & 0xFF;
        bad = code == 26 /* SQLITE_NOTADB */ || code == 11 /* SQLITE_CORRUPT */;
        return false;
    };
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next())
        return failed();
    const int id = q.value(0).toInt();
    if (id != ApplicationId) {
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
            return failed();
        bad = id != 0 || q.value(0).toInt() != 0;
        if (bad)
            m_error = QStringLiteral("not a history of this program");
        return !bad;
    }
    // Damage inside an otherwise readable file shows here, before anything is added to it.
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
        return failed();
    if (q.value(0).toString() != QLatin1String("ok")) {
        m_error = q.value(0).toString();
        bad = true;
        return false;
    }
    return true;
}

bool HistoryStore::createSchema()
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next()) {
        m_error = q.lastError().text();
        return false;
    }
    if (q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        m_error = QStringLiteral("journal mode %1 instead of WAL").arg(q.value(0).toString());
        return false;
    }
    // With WAL, NORMAL loses nothing committed when the program dies; only a power cut may
    // take the last transactions, never the file.
    return exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
        && exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId))
        && exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion))
        && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS controller("
                               "id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, last INTEGER)"))
        && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS minute("
                               "controller INTEGER NOT NULL, t INTEGER NOT NULL, water INTEGER, slave INTEGER,"
                               " voltage INTEGER, flags INTEGER NOT NULL, mode INTEGER NOT NULL,"
                               " levels BLOB NOT NULL, PRIMARY KEY(controller, t)) WITHOUT ROWID"))
        && exec(QStringLiteral("CREATE TABLE IF NOT EXISTS hour("
                               "controller INTEGER NOT NULL, t INTEGER NOT NULL, n INTEGER NOT NULL,"
                               " water_n INTEGER, water_sum REAL, water_min INTEGER, water_max INTEGER,"
                               " slave_n INTEGER, slave_sum REAL, slave_min INTEGER, slave_max INTEGER,"
                               " voltage_n INTEGER, voltage_sum REAL, voltage_min INTEGER, voltage_max INTEGER,"
                               " flags INTEGER NOT NULL, PRIMARY KEY(controller, t)) WITHOUT ROWID"));
}

HistoryStore::OpenResult HistoryStore::openForWriting(const QString &path)
{
    m_error.clear();
    m_movedTo.clear();
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        m_error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return OpenResult::Failed;
    }
    if (!openConnection(path))
        return OpenResult::Failed;
    bool bad = false;
    if (!isHistoryFile(bad)) {
        close();
        // Only a file that is there and bad or someone else's is moved; a folder we may not
        // write to also fails to read (no -shm file), and then the file stays where it is.
        if (!bad || !info.exists() || !QFileInfo(info.absolutePath()).isWritable())
            return OpenResult::Failed;
        const QString reason = m_error;
        const QString target = path + QStringLiteral(".unreadable-")
                             + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(path, target)) {
            m_error = QStringLiteral("cannot move %1 aside (%2)").arg(path, reason);
            return OpenResult::Failed;
        }
        // A journal beside a moved file belongs to it and must not be applied to the new one.
        for (const char *suffix : {"-wal", "-shm"}) {
            const QString side = path + QLatin1String(suffix);
            if (QFile::exists(side) && !QFile::rename(side, target + QLatin1String(suffix)))
                QFile::remove(side);
        }
        m_movedTo = target;
        if (!openConnection(path) || !createSchema()) {
            close();
            return OpenResult::Failed;
        }
        return OpenResult::MovedAside;
    }
    if (!createSchema()) {
        close();
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

bool HistoryStore::openForReading(const QString &path)
{
    m_error.clear();
    if (!QFileInfo::exists(path)) {
        m_error = QStringLiteral("no history yet");
        return false;
    }
    if (!openConnection(path))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next() || q.value(0).toInt() != ApplicationId) {
        m_error = q.lastError().text();
        close();
        return false;
    }
    exec(QStringLiteral("PRAGMA query_only=1"));
    return true;
}

qint64 HistoryStore::controllerId(const QString &controller, bool create)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id FROM controller WHERE name=?"));
    q.addBindValue(controller);
    if (q.exec() && q.next())
        return q.value(0).toLongLong();
    if (!create)
        return -1;
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO controller(name) VALUES(?)"));
    insert.addBindValue(controller);
    if (!insert.exec()) {
        m_error = insert.lastError().text();
        return -1;
    }
    return insert.lastInsertId().toLongLong();
}

bool HistoryStore::write(const QString &controller, const std::vector<HistoryRow> &rows)
{
    if (rows.empty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen()) {
        m_error = QStringLiteral("not open");
        return false;
    }
    // The write lock is taken at the start: a transaction that reads first and writes later
    // cannot wait for another program's writer (SQLite answers "locked" at once to keep the
    // two from waiting for each other), while BEGIN IMMEDIATE waits the busy time-out.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const auto fail = [&](const QSqlQuery &q) {
        m_error = q.lastError().text();
        db.rollback();
        return false;
    };
    const qint64 id = controllerId(controller, true);
    if (id < 0) {
        db.rollback();
        return false;
    }
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT OR REPLACE INTO minute(controller,t,water,slave,voltage,flags,mode,levels)"
                                  " VALUES(?,?,?,?,?,?,?,?)"));
    std::vector<qint64> hours;
    qint64 last = 0;
    for (const HistoryRow &row : rows) {
        insert.bindValue(0, id);
        insert.bindValue(1, row.minute);
        insert.bindValue(2, sensorValue(row.water));
        insert.bindValue(3, sensorValue(row.slave));
        insert.bindValue(4, sensorValue(row.voltage));
        insert.bindValue(5, int(row.errorFlags));
        insert.bindValue(6, int(row.mode));
        insert.bindValue(7, levelBlob(row.levels));
        if (!insert.exec())
            return fail(insert);
        const qint64 hour = row.minute / 60 * 60;
        if (hours.empty() || hours.back() != hour)
            hours.push_back(hour);
        last = std::max(last, row.minute);
    }
    std::sort(hours.begin(), hours.end());
    hours.erase(std::unique(hours.begin(), hours.end()), hours.end());
    QSqlQuery summary(db);
    summary.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO hour SELECT controller, :h, count(*),"
        " count(water), total(water), min(water), max(water),"
        " count(slave), total(slave), min(slave), max(slave),"
        " count(voltage), total(voltage), min(voltage), max(voltage), %1"
        " FROM minute WHERE controller=:c AND t>=:h AND t<:h+60 GROUP BY controller").arg(QLatin1String(FlagsOr)));
    for (qint64 hour : hours) {
        summary.bindValue(QStringLiteral(":h"), hour);
        summary.bindValue(QStringLiteral(":c"), id);
        if (!summary.exec())
            return fail(summary);
    }
    QSqlQuery touch(db);
    touch.prepare(QStringLiteral("UPDATE controller SET last=max(coalesce(last,0),?) WHERE id=?"));
    touch.addBindValue(last);
    touch.addBindValue(id);
    if (!touch.exec())
        return fail(touch);
    if (!db.commit()) {
        m_error = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

QStringList HistoryStore::controllers()
{
    QStringList names;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (q.exec(QStringLiteral("SELECT name FROM controller WHERE last IS NOT NULL ORDER BY last DESC, id")))
        while (q.next())
            names << q.value(0).toString();
    return names;
}

std::vector<HistoryRow> HistoryStore::rows(const QString &controller, qint64 fromMinute, qint64 toMinute)
{
    std::vector<HistoryRow> result;
    const qint64 id = controllerId(controller, false);
    if (id < 0)
        return result;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT t,water,slave,voltage,flags,mode,levels FROM minute"
                             " WHERE controller=? AND t>=? AND t<? ORDER BY t"));
    q.addBindValue(id);
    q.addBindValue(fromMinute);
    q.addBindValue(toMinute);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return result;
    }
    while (q.next()) {
        HistoryRow row;
        row.minute = q.value(0).toLongLong();
        row.water = sensorFrom(q.value(1));
        row.slave = sensorFrom(q.value(2));
        row.voltage = sensorFrom(q.value(3));
        row.errorFlags = uint8_t(q.value(4).toInt());
        row.mode = uint8_t(q.value(5).toInt());
        row.levels = levelsFrom(q.value(6).toByteArray());
        result.push_back(row);
    }
    return result;
}

std::vector<HistoryBucket> HistoryStore::buckets(const QString &controller, qint64 fromMinute, qint64 toMinute,
                                                 int widthMinutes)
{
    std::vector<HistoryBucket> result;
    const qint64 id = controllerId(controller, false);
    if (id < 0 || toMinute <= fromMinute)
        return result;
    qint64 width = std::max(1, widthMinutes);
    QString sql;
    if (width >= 60) {
        width = (width + 59) / 60 * 60;
        sql = QStringLiteral(
            "SELECT t/:w*:w AS k, sum(n),"
            " sum(water_sum)/sum(water_n), min(water_min), max(water_max),"
            " sum(slave_sum)/sum(slave_n), min(slave_min), max(slave_max),"
            " sum(voltage_sum)/sum(voltage_n), min(voltage_min), max(voltage_max), %1"
            " FROM hour WHERE controller=:c AND t>=:f AND t<:e GROUP BY k ORDER BY k");
        fromMinute = fromMinute / 60 * 60;
    } else {
        sql = QStringLiteral(
            "SELECT t/:w*:w AS k, count(*), avg(water), min(water), max(water), avg(slave), min(slave), max(slave),"
            " avg(voltage), min(voltage), max(voltage), %1"
            " FROM minute WHERE controller=:c AND t>=:f AND t<:e GROUP BY k ORDER BY k");
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(sql.arg(QLatin1String(FlagsOr)));
    q.bindValue(QStringLiteral(":w"), width);
    q.bindValue(QStringLiteral(":c"), id);
    q.bindValue(QStringLiteral(":f"), fromMinute / width * width);
    q.bindValue(QStringLiteral(":e"), toMinute);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return result;
    }
    while (q.next()) {
        HistoryBucket b;
        b.minute = q.value(0).toLongLong();
        b.minutes = q.value(1).toInt();
        b.water = realFrom(q.value(2));
        b.waterMin = realFrom(q.value(3));
        b.waterMax = realFrom(q.value(4));
        b.slave = realFrom(q.value(5));
        b.slaveMin = realFrom(q.value(6));
        b.slaveMax = realFrom(q.value(7));
        b.voltage = realFrom(q.value(8));
        b.voltageMin = realFrom(q.value(9));
        b.voltageMax = realFrom(q.value(10));
        b.errorFlags = uint8_t(q.value(11).toInt());
        result.push_back(b);
    }
    return result;
}

bool HistoryStore::recordedSpan(const QString &controller, qint64 &first, qint64 &last)
{
    const qint64 id = controllerId(controller, false);
    if (id < 0)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // Two ordered look-ups use the key; min() and max() together would scan every row.
    q.prepare(QStringLiteral("SELECT t FROM minute WHERE controller=? ORDER BY t LIMIT 1"));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return false;
    first = q.value(0).toLongLong();
    q.prepare(QStringLiteral("SELECT t FROM minute WHERE controller=? ORDER BY t DESC LIMIT 1"));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return false;
    last = q.value(0).toLongLong();
    return true;
}

// ---------------------------------------------------------------------------
// CSV

QString HistoryCsvHeader()
{
    QString header = QStringLiteral("time,water_temperature_c,slave_temperature_c,input_voltage_v,error_flags,mode");
    for (int i = 0; i < ChannelCount; ++i)
        header += QStringLiteral(",level_%1_percent").arg(QChar(u'A' + i));
    return header;
}

QString HistoryCsvLine(const HistoryRow &row)
{
    // QString::number never uses a locale: the decimal separator is always a dot.
    const auto fixed = [](int16_t v, int divisor, int decimals) {
        return v == NoValue16 ? QString() : QString::number(double(v) / divisor, 'f', decimals);
    };
    const QDateTime local = QDateTime::fromSecsSinceEpoch(row.minute * 60, Qt::LocalTime);
    QString line = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
    line += u',' + fixed(row.water, 10, 1) + u',' + fixed(row.slave, 10, 1) + u',' + fixed(row.voltage, 100, 2);
    line += u',' + QString::number(row.errorFlags) + u',' + QString::number(row.mode);
    for (uint16_t level : row.levels)
        line += u',' + QString::number(double(level) * 100.0 / LevelFull, 'f', 2);
    return line;
}

bool WriteHistoryCsv(QIODevice &out, const std::vector<HistoryRow> &rows)
{
    QByteArray text = HistoryCsvHeader().toUtf8() + '\n';
    for (const HistoryRow &row : rows) {
        text += HistoryCsvLine(row).toUtf8() + '\n';
        if (text.size() > (1 << 16)) {
            if (out.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return out.write(text) == text.size();
}
