// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/backup_history.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/ini_file.h"
#include "files/settings_file.h"

namespace {

using Value = std::optional<int64_t>;

constexpr std::array<const char *, 7> ReasonKeys = {
    "Disconnect", "Closing", "PortChange", "BeforeFirmwareUpdate", "BeforeImport", "BeforeRestore", "ByHand",
};

// ---------------------------------------------------------------------------------------
// A state reduced to the values that are compared: one slot per settings key, and per
// schedule line one slot per line key.

struct LineValues {
    int index = 0;
    std::vector<Value> values;   // ScheduleLineKeys() order
};

} // namespace

struct BackupStateValues {
    std::vector<Value> settings;   // SettingsKeys() order
    std::vector<LineValues> lines;   // by line index
    int present = 0;   // keys present, integer or not
};

namespace {

using StateValues = BackupStateValues;

// A schedule section's line index: the decimal number without sign or leading zeros, as
// the imports name the sections; -1 for any other name.
int lineIndexOf(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 5 || (name.size() > 1 && name[0] == '0'))
        return -1;
    int index = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return -1;
        index = index * 10 + (c - '0');
    }
    return index;
}

Value integerOf(const std::optional<QString> &text, int *present)
{
    if (!text)
        return std::nullopt;
    ++*present;
    return ParseIniInteger(*text);
}

StateValues valuesOf(const IniFile &ini)
{
    StateValues state;
    for (const IniKey &k : SettingsKeys())
        state.settings.push_back(integerOf(ini.value(QString::fromLatin1(k.section), k.key), &state.present));
    for (const QString &name : ini.sectionNames()) {
        const int index = lineIndexOf(name.toLatin1());
        if (index < 0)
            continue;
        LineValues line{index, {}};
        for (const IniKey &k : ScheduleLineKeys())
            line.values.push_back(integerOf(ini.value(name, k.key), &state.present));
        state.lines.push_back(std::move(line));
    }
    std::sort(state.lines.begin(), state.lines.end(),
              [](const LineValues &a, const LineValues &b) { return a.index < b.index; });
    return state;
}

// Walks both states in the order of CompareStates; calls differ(section, key, now, backup)
// for each differing value and returns how many values were compared.
template <class OnDifference>
int compareValues(const StateValues &now, const StateValues &backup, OnDifference differ)
{
    const auto settingsKeys = SettingsKeys();
    const auto lineKeys = ScheduleLineKeys();
    int compared = 0;
    for (std::size_t i = 0; i < settingsKeys.size(); ++i, ++compared)
        if (now.settings[i] != backup.settings[i])
            differ(settingsKeys[i].section, i, -1, now.settings[i], backup.settings[i]);
    static const std::vector<Value> absent(lineKeys.size());
    auto a = now.lines.begin();
    auto b = backup.lines.begin();
    while (a != now.lines.end() || b != backup.lines.end()) {
        const int index = (b == backup.lines.end() || (a != now.lines.end() && a->index <= b->index)) ? a->index
                                                                                                      : b->index;
        const bool inNow = a != now.lines.end() && a->index == index;
        const bool inBackup = b != backup.lines.end() && b->index == index;
        const std::vector<Value> &x = inNow ? a->values : absent;
        const std::vector<Value> &y = inBackup ? b->values : absent;
        for (std::size_t k = 0; k < lineKeys.size(); ++k, ++compared)
            if (x[k] != y[k])
                differ(nullptr, k, index, x[k], y[k]);
        a += inNow;
        b += inBackup;
    }
    return compared;
}

int countDifferences(const StateValues &now, const StateValues &backup, int *compared = nullptr)
{
    int count = 0;
    const int n = compareValues(now, backup, [&](const char *, std::size_t, int, const Value &, const Value &) {
        ++count;
    });
    if (compared)
        *compared = n;
    return count;
}

int nonZeroLevels(const StateValues &state)
{
    int count = 0;
    const auto settingsKeys = SettingsKeys();
    for (std::size_t i = 0; i < settingsKeys.size(); ++i)
        if (settingsKeys[i].key.startsWith(QLatin1String("MoonColor16")) && state.settings[i].value_or(0) != 0)
            ++count;
    const auto lineKeys = ScheduleLineKeys();
    for (const LineValues &line : state.lines)
        for (std::size_t k = 0; k < lineKeys.size(); ++k)
            if (lineKeys[k].key.startsWith(QLatin1String("Color16")) && line.values[k].value_or(0) != 0)
                ++count;
    return count;
}

bool looksLost(const StateValues &download, const StateValues &backup)
{
    int compared = 0;
    const int differing = countDifferences(download, backup, &compared);
    if (2 * differing <= compared)
        return false;
    return backup.lines.size() > download.lines.size() || nonZeroLevels(backup) > nonZeroLevels(download);
}

// ---------------------------------------------------------------------------------------
// Reading a copy straight from its bytes. A restore list reads hundreds of copies, so this
// does not build an IniFile but follows its rules: lines end in CR LF, LF or CR; a UTF-8
// byte-order mark is skipped; names are trimmed and matched without regard to letter case;
// of repeated sections and keys the first counts; a value is trimmed, loses one pair of
// enclosing quotes and is read by ParseIniInteger.

enum Meta {
    MetaProduct, MetaReason, MetaTaken, MetaPort, MetaProgram, MetaDevice, MetaFirmware, MetaLines, MetaValues, MetaCount
};
constexpr std::array<const char *, MetaCount> MetaKeys = {"Product", "Reason",   "Taken", "Port",  "Program",
                                                          "Device",  "Firmware", "Lines", "Values"};

struct ParsedCopy {
    CopyCondition condition = CopyCondition::Inaccessible;
    StateValues state;
    std::array<QString, MetaCount> meta;
    std::array<bool, MetaCount> hasMeta{};
    // Read from the metadata once, for the listings that follow.
    QDateTime taken;   // invalid when not recorded
    BackupReason reason = BackupReason::Unknown;
    ControllerFirmware firmware;
};

// The blanks QString::trimmed removes, as bytes of Windows-1252 (0xA0 is the no-break space).
bool isBlank(uint8_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0; }

QByteArrayView trimmed(QByteArrayView v)
{
    qsizetype begin = 0, end = v.size();
    while (begin < end && isBlank(uint8_t(v[begin])))
        ++begin;
    while (end > begin && isBlank(uint8_t(v[end - 1])))
        --end;
    return v.sliced(begin, end - begin);
}

QByteArrayView unquoted(QByteArrayView v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.sliced(1, v.size() - 2);
    return v;
}

Value integerOf(QByteArrayView raw)
{
    const QByteArrayView text = unquoted(trimmed(raw));
    // An integer holds only ASCII (and perhaps no-break spaces around it), so every other
    // byte above 0x7F means "not an integer" without decoding it.
    std::array<char16_t, 64> buffer;
    if (text.size() > qsizetype(buffer.size()))
        return ParseIniInteger(DecodeWindows1252(text));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uint8_t c = uint8_t(text[i]);
        if (c >= 0x80 && c != 0xA0)
            return std::nullopt;
        buffer[std::size_t(i)] = c;
    }
    return ParseIniInteger(QStringView(buffer.data(), text.size()));
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

QByteArray lowerAscii(QByteArrayView v)
{
    QByteArray lower(v.data(), v.size());
    for (char &c : lower)
        c = lowerAscii(c);
    return lower;
}

// The entry of a name, looked up without allocating: a name longer than every one in the
// tables cannot be among them.
int lookUp(const QHash<QByteArray, int> &table, QByteArrayView name)
{
    std::array<char, 32> lower;
    if (name.size() > qsizetype(lower.size()))
        return -1;
    for (qsizetype i = 0; i < name.size(); ++i)
        lower[std::size_t(i)] = lowerAscii(name[i]);
    return table.value(QByteArray::fromRawData(lower.data(), name.size()), -1);
}

struct KeyTables {
    static constexpr int BackupSection = int(std::size(SettingsSections));
    QHash<QByteArray, int> sections;   // lower-case name -> settings section 0..4, BackupSection
    std::array<QHash<QByteArray, int>, std::size(SettingsSections)> settings;   // -> SettingsKeys() index
    QHash<QByteArray, int> lineKeys;   // -> ScheduleLineKeys() index
    QHash<QByteArray, int> metaKeys;   // -> Meta

    KeyTables()
    {
        for (int s = 0; s < BackupSection; ++s)
            sections.insert(lowerAscii(SettingsSections[s]), s);
        sections.insert(lowerAscii(BackupMetadataSection), BackupSection);
        const auto keys = SettingsKeys();
        for (std::size_t i = 0; i < keys.size(); ++i)
            settings[std::size_t(sections.value(lowerAscii(keys[i].section)))].insert(
                lowerAscii(keys[i].key.toLatin1()), int(i));
        const auto line = ScheduleLineKeys();
        for (std::size_t i = 0; i < line.size(); ++i)
            lineKeys.insert(lowerAscii(line[i].key.toLatin1()), int(i));
        for (int m = 0; m < MetaCount; ++m)
            metaKeys.insert(lowerAscii(MetaKeys[std::size_t(m)]), m);
    }
};

const KeyTables &keyTables()
{
    static const KeyTables tables;
    return tables;
}

// How far a text line is from what an INI file holds; anything else makes the file Damaged.
enum class LineKind { Blank, Section, Comment, Key, Garbage };

ParsedCopy parseCopy(QByteArrayView bytes)
{
    ParsedCopy copy;
    const KeyTables &tables = keyTables();
    if (bytes.startsWith(QByteArrayView("\xEF\xBB\xBF")))
        bytes = bytes.sliced(3);
    if (std::memchr(bytes.data(), 0, std::size_t(bytes.size()))) {
        copy.condition = CopyCondition::Damaged;
        return copy;
    }
    const auto settingsKeys = SettingsKeys();
    const std::size_t lineKeyCount = ScheduleLineKeys().size();
    copy.state.settings.assign(settingsKeys.size(), std::nullopt);
    std::vector<bool> settingSeen(settingsKeys.size());
    std::vector<bool> lineSeen;   // lineKeyCount per line, in the order the lines came
    std::array<bool, KeyTables::BackupSection + 1> sectionSeen{};
    std::vector<bool> linesSeen;   // by line index
    // The section the following keys belong to: -1 none of ours (or a repeated one),
    // 0..4 a settings section, BackupSection the metadata, BackupSection + 1 a line.
    int section = -1;
    std::size_t line = 0;   // the line's position in copy.state.lines
    bool anyContent = false;

    IniLineReader reader(bytes);
    QByteArrayView text;
    while (reader.next(text)) {

        const QByteArrayView t = trimmed(text);
        if (t.isEmpty())
            continue;
        anyContent = true;
        if (t.front() == '[') {
            const qsizetype close = t.indexOf(']');
            if (close < 0) {
                copy.condition = CopyCondition::Damaged;
                return copy;
            }
            const QByteArrayView name = trimmed(t.sliced(1, close - 1));
            const int index = lineIndexOf(name);
            section = -1;
            if (index >= 0) {
                if (std::size_t(index) >= linesSeen.size())
                    linesSeen.resize(std::size_t(index) + 1);
                if (!linesSeen[std::size_t(index)]) {
                    linesSeen[std::size_t(index)] = true;
                    section = KeyTables::BackupSection + 1;
                    line = copy.state.lines.size();
                    copy.state.lines.push_back(LineValues{index, std::vector<Value>(lineKeyCount)});
                    lineSeen.resize(lineSeen.size() + lineKeyCount);
                }
            } else if (const int s = lookUp(tables.sections, name); s >= 0) {
                if (!sectionSeen[std::size_t(s)])
                    section = s;
                sectionSeen[std::size_t(s)] = true;
            }
            continue;
        }
        if (t.front() == ';' || t.front() == '#')
            continue;
        const qsizetype equals = text.indexOf('=');
        const QByteArrayView key = equals > 0 ? trimmed(text.first(equals)) : QByteArrayView();
        if (key.isEmpty()) {
            copy.condition = CopyCondition::Damaged;
            return copy;
        }
        if (section < 0)
            continue;
        const QByteArrayView raw = text.sliced(equals + 1);
        if (section < KeyTables::BackupSection) {
            const int i = lookUp(tables.settings[std::size_t(section)], key);
            if (i >= 0 && !settingSeen[std::size_t(i)]) {
                settingSeen[std::size_t(i)] = true;
                ++copy.state.present;
                copy.state.settings[std::size_t(i)] = integerOf(raw);
            }
        } else if (section == KeyTables::BackupSection) {
            const int m = lookUp(tables.metaKeys, key);
            if (m >= 0 && !copy.hasMeta[std::size_t(m)]) {
                copy.hasMeta[std::size_t(m)] = true;
                copy.meta[std::size_t(m)] = DecodeWindows1252(unquoted(trimmed(raw)));
            }
        } else {
            const int k = lookUp(tables.lineKeys, key);
            if (k >= 0 && !lineSeen[line * lineKeyCount + std::size_t(k)]) {
                lineSeen[line * lineKeyCount + std::size_t(k)] = true;
                ++copy.state.present;
                copy.state.lines[line].values[std::size_t(k)] = integerOf(raw);
            }
        }
    }

    if (!anyContent) {
        copy.condition = CopyCondition::Truncated;
        return copy;
    }
    if (!sectionSeen[KeyTables::BackupSection] || copy.meta[MetaProduct] != QLatin1String(BackupProduct)) {
        copy.condition = CopyCondition::Foreign;
        return copy;
    }
    copy.condition = CopyCondition::Readable;
    for (int s = 0; s < KeyTables::BackupSection; ++s)
        if (!sectionSeen[std::size_t(s)])
            copy.condition = CopyCondition::Truncated;
    // A copy cut off has lost sections or keys that its metadata count.
    const Value lines = ParseIniInteger(copy.meta[MetaLines]), values = ParseIniInteger(copy.meta[MetaValues]);
    if ((lines && int64_t(copy.state.lines.size()) < *lines) || (values && copy.state.present < *values))
        copy.condition = CopyCondition::Truncated;
    std::sort(copy.state.lines.begin(), copy.state.lines.end(),
              [](const LineValues &a, const LineValues &b) { return a.index < b.index; });
    return copy;
}

// ---------------------------------------------------------------------------------------
// Names and times

// "yyyy-MM-dd_HH-mm-ss.ini" or with "_NN" (two or more digits) before ".ini"; the local
// date and time, or nothing for any other name.
std::optional<std::pair<QDate, QTime>> timeOfName(QStringView name)
{
    if (!name.endsWith(QLatin1String(".ini")))
        return std::nullopt;
    const QStringView stem = name.first(name.size() - 4);
    if (stem.size() != 19 && stem.size() < 22)
        return std::nullopt;
    static constexpr char Pattern[] = "dddd-dd-dd_dd-dd-dd";
    for (qsizetype i = 0; i < stem.size(); ++i) {
        const char expected = i < 19 ? Pattern[i] : i == 19 ? '_' : 'd';
        const char16_t c = stem[i].unicode();
        if (expected == 'd' ? (c < '0' || c > '9') : c != char16_t(expected))
            return std::nullopt;
    }
    const QDate date(stem.first(4).toInt(), stem.sliced(5, 2).toInt(), stem.sliced(8, 2).toInt());
    const QTime time(stem.sliced(11, 2).toInt(), stem.sliced(14, 2).toInt(), stem.sliced(17, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return std::pair{date, time};
}

// t as seen in the time zone (or offset, or local time) of ref.
QDateTime inZoneOf(const QDateTime &t, const QDateTime &ref)
{
    switch (ref.timeSpec()) {
    case Qt::TimeZone: return t.toTimeZone(ref.timeZone());
    case Qt::OffsetFromUTC: return t.toOffsetFromUtc(ref.offsetFromUtc());
    case Qt::UTC: return t.toUTC();
    case Qt::LocalTime: break;
    }
    return t.toLocalTime();
}

QDateTime makeInZoneOf(QDate date, QTime time, const QDateTime &ref)
{
    switch (ref.timeSpec()) {
    case Qt::TimeZone: return QDateTime(date, time, ref.timeZone());
    case Qt::OffsetFromUTC: return QDateTime(date, time, Qt::OffsetFromUTC, ref.offsetFromUtc());
    case Qt::UTC: return QDateTime(date, time, Qt::UTC);
    case Qt::LocalTime: break;
    }
    return QDateTime(date, time);
}

QString isoWithOffset(const QDateTime &t)
{
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

StoreFailure causeOf(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT: return StoreFailure::NoSpace;
    case EROFS:
    case EACCES:
    case EPERM: return StoreFailure::NotWritable;
    default: return StoreFailure::Other;
    }
}

StoreResult failed(int error, const QString &text = QString())
{
    StoreResult r;
    r.outcome = StoreResult::Failed;
    r.failure = error ? causeOf(error) : StoreFailure::Other;
    r.error = error;
    r.errorText = text.isEmpty() ? qt_error_string(error) : text;
    return r;
}

// mkdir -p that keeps the errno of the step that failed; 0 when the folder exists.
int makeFolders(const QByteArray &path)
{
    if (::mkdir(path.constData(), 0777) == 0)
        return 0;
    int error = errno;
    if (error == ENOENT) {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash <= 0)
            return error;
        if (const int parent = makeFolders(path.left(slash)))
            return parent;
        if (::mkdir(path.constData(), 0777) == 0)
            return 0;
        error = errno;
    }
    struct stat st;
    if (error == EEXIST)
        return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return error;
}

// Reads a whole regular file of at most IniFile::MaxFileSize bytes, through an open
// descriptor so that what was checked is what is read.
CopyCondition readSmallFile(int dirFd, const QByteArray &name, QByteArray *bytes)
{
    const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return CopyCondition::Inaccessible;
    CopyCondition result = CopyCondition::Readable;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = CopyCondition::Inaccessible;
    } else if (st.st_size > IniFile::MaxFileSize) {
        result = CopyCondition::Oversized;
    } else {
        bytes->resize(qsizetype(st.st_size) + 1);
        qsizetype got = 0;
        while (got < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + got, std::size_t(bytes->size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = CopyCondition::Inaccessible;
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        bytes->resize(got);
        if (got > IniFile::MaxFileSize)
            result = CopyCondition::Oversized;   // grew while being read
    }
    ::close(fd);
    return result;
}

} // namespace

// ---------------------------------------------------------------------------------------

QString BackupReasonKey(BackupReason reason)
{
    const auto i = std::size_t(reason);
    return i < ReasonKeys.size() ? QString::fromLatin1(ReasonKeys[i]) : QStringLiteral("Unknown");
}

BackupReason BackupReasonFromKey(QStringView key)
{
    for (std::size_t i = 0; i < ReasonKeys.size(); ++i)
        if (key.compare(QLatin1String(ReasonKeys[i]), Qt::CaseInsensitive) == 0)
            return BackupReason(i);
    return BackupReason::Unknown;
}

StateComparison CompareStates(const IniFile &now, const IniFile &backup)
{
    StateComparison result;
    const auto settingsKeys = SettingsKeys();
    const auto lineKeys = ScheduleLineKeys();
    result.compared = compareValues(valuesOf(now), valuesOf(backup),
                                    [&](const char *section, std::size_t key, int line, const Value &a, const Value &b) {
                                        result.differences.append(StateDifference{
                                            section ? QString::fromLatin1(section) : QString::number(line),
                                            section ? settingsKeys[key].key : lineKeys[key].key, a, b});
                                    });
    return result;
}

bool LooksLikeLostSettings(const IniFile &download, const IniFile &backup)
{
    return looksLost(valuesOf(download), valuesOf(backup));
}

// A parsed copy is kept while its file has the same identity, size and time.
struct BackupHistory::Cache {
    struct Entry {
        dev_t device;
        ino_t inode;
        off_t size;
        timespec mtime;
        std::shared_ptr<const ParsedCopy> parsed;
    };
    QHash<QString, Entry> entries;

    // A copy listed with what was parsed of it.
    struct Listed {
        BackupCopy copy;
        QString fileName;
        std::shared_ptr<const ParsedCopy> parsed;
    };
    std::vector<Listed> scan(const QString &root, const QString &folderName);
};

std::vector<BackupHistory::Cache::Listed> BackupHistory::Cache::scan(const QString &root, const QString &folderName)
{
    std::vector<Listed> listed;
    const QString folder = root + u'/' + folderName;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return listed;
    const int dirFd = ::dirfd(dir);
    QSet<QString> present;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray rawName(e->d_name);
        if (rawName.startsWith('.') || rawName.size() < 5 || !rawName.right(4).toLower().endsWith(".ini"))
            continue;
        struct stat st;
        if (::fstatat(dirFd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        const QString name = QFile::decodeName(rawName);
        const QString path = folder + u'/' + name;
        present.insert(path);
        Entry &entry = entries[path];
        if (!entry.parsed || entry.device != st.st_dev || entry.inode != st.st_ino || entry.size != st.st_size ||
            entry.mtime.tv_sec != st.st_mtim.tv_sec || entry.mtime.tv_nsec != st.st_mtim.tv_nsec) {
            auto parsed = std::make_shared<ParsedCopy>();
            QByteArray bytes;
            parsed->condition = readSmallFile(dirFd, rawName, &bytes);
            if (parsed->condition == CopyCondition::Readable)
                *parsed = parseCopy(bytes);
            if (parsed->hasMeta[MetaReason])
                parsed->reason = BackupReasonFromKey(parsed->meta[MetaReason]);
            parsed->firmware.deviceType = int(ParseIniInteger(parsed->meta[MetaDevice]).value_or(-1));
            parsed->firmware.version = int(ParseIniInteger(parsed->meta[MetaFirmware]).value_or(-1));
            parsed->taken = QDateTime::fromString(parsed->meta[MetaTaken], Qt::ISODate);
            entry = Entry{st.st_dev, st.st_ino, st.st_size, st.st_mtim, std::move(parsed)};
        }
        const ParsedCopy &p = *entry.parsed;
        BackupCopy copy;
        copy.path = path;
        copy.controller = folderName;
        copy.condition = p.condition;
        copy.port = p.meta[MetaPort];
        copy.program = p.meta[MetaProgram];
        copy.reason = p.reason;
        copy.firmware = p.firmware;
        copy.scheduleLines = int(p.state.lines.size());
        copy.taken = p.taken;
        if (!copy.taken.isValid())
            if (const auto t = timeOfName(name))
                copy.taken = QDateTime(t->first, t->second);
        listed.push_back(Listed{std::move(copy), name, entry.parsed});
    }
    ::closedir(dir);
    // Files gone from this folder leave the cache.
    const QString prefix = folder + u'/';
    for (auto it = entries.begin(); it != entries.end();)
        it = it.key().startsWith(prefix) && !present.contains(it.key()) ? entries.erase(it) : std::next(it);
    std::sort(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) {
        if (a.copy.taken.isValid() != b.copy.taken.isValid())
            return a.copy.taken.isValid();
        if (a.copy.taken != b.copy.taken)
            return a.copy.taken > b.copy.taken;
        return a.fileName > b.fileName;
    });
    return listed;
}

QString BackupHistory::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Aqualumora/backups");
}

QString BackupHistory::controllerFolderName(const QString &portEntry)
{
    QString name = SafePortName(portEntry);
    if (!name.isEmpty() && name.count(u'.') == name.size())
        name.fill(u'_');
    return name;
}

BackupHistory::BackupHistory(QString root) : m_root(std::move(root)), m_cache(std::make_unique<Cache>())
{
    while (m_root.size() > 1 && m_root.endsWith(u'/'))
        m_root.chop(1);
}

BackupHistory::~BackupHistory() = default;

QString BackupHistory::controllerFolder(const QString &portEntry) const
{
    const QString name = controllerFolderName(portEntry);
    return name.isEmpty() ? QString() : m_root + u'/' + name;
}

QList<BackupCopy> BackupHistory::listFolder(const QString &folderName, const ListContext &context,
                                            const StateValues *connected) const
{
    QList<BackupCopy> result;
    for (Cache::Listed &item : m_cache->scan(m_root, folderName)) {
        BackupCopy &copy = item.copy;
        if (context.connected)
            copy.firmwareDiffers = copy.firmware != *context.connected;
        if (connected && copy.restorable())
            copy.differences = countDifferences(*connected, item.parsed->state);
        result.append(std::move(copy));
    }
    return result;
}

QList<BackupCopy> BackupHistory::copies(const QString &portEntry, const ListContext &context) const
{
    const QString folderName = controllerFolderName(portEntry);
    if (folderName.isEmpty())
        return {};
    const std::optional<StateValues> connected =
        context.connectedState ? std::optional(valuesOf(*context.connectedState)) : std::nullopt;
    return listFolder(folderName, context, connected ? &*connected : nullptr);
}

QList<BackupCopy> BackupHistory::allCopies(const ListContext &context) const
{
    QList<BackupCopy> all;
    DIR *dir = ::opendir(QFile::encodeName(m_root).constData());
    if (!dir)
        return all;
    QStringList folders;
    while (const dirent *e = ::readdir(dir)) {
        struct stat st;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0 ||
            ::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode))
            continue;
        folders.append(QFile::decodeName(e->d_name));
    }
    ::closedir(dir);
    const std::optional<StateValues> connected =
        context.connectedState ? std::optional(valuesOf(*context.connectedState)) : std::nullopt;
    for (const QString &folder : folders)
        all.append(listFolder(folder, context, connected ? &*connected : nullptr));
    std::stable_sort(all.begin(), all.end(), [](const BackupCopy &a, const BackupCopy &b) {
        if (a.taken.isValid() != b.taken.isValid())
            return a.taken.isValid();
        return a.taken > b.taken;
    });
    return all;
}

std::optional<IniFile> BackupHistory::readCopy(const QString &path) const
{
    const QByteArray encoded = QFile::encodeName(path);
    QByteArray bytes;
    if (readSmallFile(AT_FDCWD, encoded, &bytes) != CopyCondition::Readable ||
        parseCopy(bytes).condition != CopyCondition::Readable)
        return std::nullopt;
    return IniFile::parse(bytes);
}

std::optional<BackupCopy> BackupHistory::copyToOfferAfterLoss(const QString &portEntry, const IniFile &download,
                                                              const ListContext &context) const
{
    const QString folderName = controllerFolderName(portEntry);
    if (folderName.isEmpty())
        return std::nullopt;
    const StateValues downloaded = valuesOf(download);
    for (Cache::Listed &item : m_cache->scan(m_root, folderName)) {
        if (!item.copy.restorable())
            continue;
        if (countDifferences(downloaded, item.parsed->state) == 0) {
            switch (item.copy.reason) {
            case BackupReason::Disconnect:
            case BackupReason::Closing:
            case BackupReason::PortChange:
            case BackupReason::BeforeFirmwareUpdate: continue;
            default: return std::nullopt;
            }
        }
        if (!looksLost(downloaded, item.parsed->state))
            return std::nullopt;
        BackupCopy copy = std::move(item.copy);
        if (context.connected)
            copy.firmwareDiffers = copy.firmware != *context.connected;
        copy.differences = countDifferences(downloaded, item.parsed->state);
        return copy;
    }
    return std::nullopt;
}

StoreResult BackupHistory::store(const QString &portEntry, const IniFile &state, const BackupInfo &info,
                                 const QDateTime &now)
{
    const QString folderName = controllerFolderName(portEntry);
    if (folderName.isEmpty())
        return failed(0, QStringLiteral("no port to name the backup after"));
    for (const char *section : SettingsSections)
        if (!state.hasSection(QString::fromLatin1(section)))
            return failed(0, QStringLiteral("the state has no section %1").arg(QLatin1String(section)));
    const StateValues values = valuesOf(state);

    for (const Cache::Listed &item : m_cache->scan(m_root, folderName)) {
        if (!item.copy.restorable())
            continue;
        if (countDifferences(values, item.parsed->state) == 0) {
            StoreResult r;
            r.outcome = StoreResult::Identical;
            r.path = item.copy.path;
            return r;
        }
        break;
    }

    const auto inject = [&](StoreStep step) { return m_inject ? m_inject(step) : 0; };
    const QString folder = m_root + u'/' + folderName;
    const QByteArray folderBytes = QFile::encodeName(folder);
    if (int error = inject(StoreStep::CreateFolder); error || (error = makeFolders(folderBytes)))
        return failed(error);

    const QDateTime local = inZoneOf(now, now);
    QByteArray bytes;
    const auto meta = [&](const char *key, QString value) {
        // A port entry or version may hold any text; a line break would end the value early.
        for (QChar &c : value)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = u' ';
        bytes += key;
        bytes += '=';
        bytes += EncodeWindows1252(value);
        bytes += "\r\n";
    };
    bytes += QByteArrayLiteral("[") + BackupMetadataSection + "]\r\n";
    meta("Product", QString::fromLatin1(BackupProduct));
    meta("Reason", BackupReasonKey(info.reason));
    meta("Taken", isoWithOffset(local));
    meta("Port", portEntry);
    meta("Program", info.program);
    meta("Device", QString::number(info.firmware.deviceType));
    meta("Firmware", QString::number(info.firmware.version));
    meta("Lines", QString::number(values.lines.size()));
    meta("Values", QString::number(values.present));
    bytes += "\r\n";
    QByteArray stateBytes = state.toBytes();
    if (stateBytes.startsWith("\xEF\xBB\xBF"))
        stateBytes.remove(0, 3);
    bytes += stateBytes;
    if (bytes.size() > IniFile::MaxFileSize)
        return failed(EFBIG, QStringLiteral("the copy would be larger than an import reads"));

    // Written in full under a temporary name that listings pass over, then given its name
    // only if that name is free, so that no copy is ever replaced nor left half-written.
    static QAtomicInt counter;
    const QByteArray tempPath = folderBytes + "/.backup-" + QByteArray::number(QCoreApplication::applicationPid()) +
                                '-' + QByteArray::number(counter.fetchAndAddRelaxed(1)) + ".tmp";
    int error = inject(StoreStep::CreateTemporary);
    const int fd = error ? -1 : ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return failed(error ? error : errno);
    const int writeFault = inject(StoreStep::Write);
    const qsizetype toWrite = writeFault ? bytes.size() / 2 : bytes.size();
    for (qsizetype done = 0; !error && done < toWrite;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(toWrite - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : EIO;
        else
            done += n;
    }
    if (!error)
        error = writeFault;
    if (!error && (error = inject(StoreStep::Sync)) == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;

    QString path;
    if (!error && !(error = inject(StoreStep::Publish))) {
        const QString base = folder + u'/' + local.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
        bool hardLink = false;   // the file system cannot rename without replacing
        error = EEXIST;
        for (int n = 1; n < 100 && error == EEXIST; ++n) {
            path = base + (n > 1 ? QStringLiteral("_%1").arg(n, 2, 10, QLatin1Char('0')) : QString()) +
                   QStringLiteral(".ini");
            const QByteArray target = QFile::encodeName(path);
            error = 0;
            if (!hardLink && ::renameat2(AT_FDCWD, tempPath.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) != 0) {
                error = errno;
                hardLink = error == EINVAL || error == ENOSYS || error == ENOTSUP;
            }
            if (hardLink) {
                error = ::link(tempPath.constData(), target.constData()) == 0 ? 0 : errno;
                if (!error)
                    ::unlink(tempPath.constData());
            }
        }
        if (error == EEXIST) {
            ::unlink(tempPath.constData());
            return failed(EEXIST, QStringLiteral("too many copies in one second"));
        }
    }
    if (error) {
        ::unlink(tempPath.constData());
        return failed(error);
    }
    // The new name must survive a crash as well as the bytes.
    if (const int dirFd = ::open(folderBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }

    StoreResult r;
    r.outcome = StoreResult::Stored;
    r.path = path;
    r.removed = applyRetention(portEntry, now);
    return r;
}

QStringList BackupHistory::applyRetention(const QString &portEntry, const QDateTime &now)
{
    QStringList removed;
    const QString folderName = controllerFolderName(portEntry);
    if (folderName.isEmpty())
        return removed;
    struct Candidate {
        QString path;
        QDateTime taken;   // in the zone of now
    };
    std::vector<Candidate> candidates;
    for (const Cache::Listed &item : m_cache->scan(m_root, folderName)) {
        const auto named = timeOfName(item.fileName);
        if (!item.copy.restorable() || !named)
            continue;
        const QDateTime &recorded = item.parsed->taken;
        candidates.push_back({item.copy.path, recorded.isValid() ? inZoneOf(recorded, now)
                                                                 : makeInZoneOf(named->first, named->second, now)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.taken > b.taken; });
    const QDateTime cutoff = inZoneOf(now, now).addDays(-KeepDays);
    std::set<std::pair<int, int>> months;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const QDate date = candidates[i].taken.date();
        const bool newestOfMonth = months.insert({date.year(), date.month()}).second;
        if (i < std::size_t(KeepNewest) || candidates[i].taken >= cutoff || newestOfMonth)
            continue;
        // Only the history's own file goes; a link or folder that took its name stays.
        const QByteArray path = QFile::encodeName(candidates[i].path);
        struct stat st;
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.constData()) == 0)
            removed.append(candidates[i].path);
    }
    if (!removed.isEmpty())
        m_cache->scan(m_root, folderName);   // drops the removed files from the cache
    return removed;
}
