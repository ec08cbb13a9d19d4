// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ini_file.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Unicode of the bytes 0x80..0x9F; the undefined ones keep their C1 control.
constexpr std::array<char16_t, 32> HighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,   // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,   // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,   // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,   // 98..9F
};

char encodeChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (std::size_t i = 0; i < HighTable.size(); ++i)
        if (HighTable[i] == c)
            return char(0x80 + i);
    return '?';
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QStringView unquoted(QStringView value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        out[i] = (b >= 0x80 && b <= 0x9F) ? QChar(HighTable[b - 0x80]) : QChar(b);
    }
    return text;
}

QByteArray EncodeWindows1252(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = encodeChar(text[i].unicode());
    return bytes;
}

std::optional<int64_t> ParseIniInteger(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    int base = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        text = text.mid(2);
    } else if (text.startsWith(u'$')) {
        base = 16;
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // 2^32 - 1 is the largest magnitude any field can take; stopping there also keeps the
    // accumulator far from overflow however many digits follow.
    constexpr int64_t Limit = 0xFFFFFFFFLL;
    int64_t value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > Limit)
            return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000LL)
            return std::nullopt;
        value = -value;
    }
    return value;
}

IniFile::Line IniFile::makeLine(const QString &text)
{
    Line line;
    line.text = text;
    const QStringView trimmed = QStringView(text).trimmed();
    if (trimmed.isEmpty() || trimmed.front() == u'[' || trimmed.front() == u';' || trimmed.front() == u'#')
        return line;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return line;
    const QString key = text.left(equals).trimmed();
    if (key.isEmpty())
        return line;
    line.key = key;
    line.equalsAt = int(equals);
    return line;
}

void IniFile::addLine(const QString &text)
{
    if (m_sections.empty())
        m_sections.push_back(Section{});
    const QStringView trimmed = QStringView(text).trimmed();
    if (trimmed.startsWith(u'[')) {
        QStringView name = trimmed.mid(1);
        const qsizetype close = name.indexOf(u']');
        if (close >= 0)
            name = name.left(close);
        Section section;
        section.name = name.trimmed().toString();
        if (section.name.isNull())
            section.name = QLatin1String("");   // "[]" is a section, unlike the preamble
        section.lines.push_back(Line{text, QString(), -1});
        m_sections.push_back(std::move(section));
        return;
    }
    Section &section = m_sections.back();
    Line line = makeLine(text);
    if (!line.key.isNull()) {
        const QString lower = line.key.toLower();
        const int index = int(section.lines.size());
        if (!section.keyIndex.contains(lower))
            section.keyIndex.insert(lower, index);
        section.lastKeyLine = index;
    }
    section.lines.push_back(std::move(line));
}

IniFile IniFile::parse(QByteArrayView bytes, Encoding encoding)
{
    IniFile ini;
    ini.m_encoding = encoding;
    ini.m_sections.push_back(Section{});
    // Editors that save as UTF-8 often put a byte-order mark first; read as Windows-1252 it
    // would become part of the first line and hide the first section. It is kept for saving.
    if (bytes.startsWith(QByteArrayView("\xEF\xBB\xBF"))) {
        ini.m_byteOrderMark = true;
        bytes = bytes.sliced(3);
    }
    // The first line end found decides how new lines end.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ini.m_lineEnd = QByteArrayLiteral("\n");
            break;
        }
        if (bytes[i] == '\r') {
            ini.m_lineEnd = (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? QByteArrayLiteral("\r\n")
                                                                          : QByteArrayLiteral("\r");
            break;
        }
    }
    IniLineReader lines(bytes);
    QByteArrayView line;
    while (lines.next(line))
        ini.addLine(encoding == Encoding::Utf8 ? QString::fromUtf8(line) : DecodeWindows1252(line));
    // The first section of a name counts.
    for (int i = int(ini.m_sections.size()) - 1; i >= 1; --i)
        ini.m_sectionIndex.insert(ini.m_sections[i].name.toLower(), i);
    return ini;
}

IniFile::LoadResult IniFile::load(const QString &path, IniFile *ini)
{
    *ini = IniFile();
    const QFileInfo info(path);
    if (!info.exists())
        return LoadResult::Missing;
    // Folders, pipes and devices are no settings files; opening a pipe could block.
    if (!info.isFile())
        return LoadResult::Unreadable;
    if (info.size() > MaxFileSize)
        return LoadResult::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
    if (bytes.size() > MaxFileSize)
        return LoadResult::TooLarge;
    *ini = parse(bytes);
    return LoadResult::Loaded;
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    const auto it = m_sectionIndex.constFind(name.toLower());
    return it == m_sectionIndex.cend() ? nullptr : &m_sections[*it];
}

IniFile::Section *IniFile::findSection(const QString &name)
{
    const auto it = m_sectionIndex.constFind(name.toLower());
    return it == m_sectionIndex.cend() ? nullptr : &m_sections[*it];
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    if (!s)
        return std::nullopt;
    const auto it = s->keyIndex.constFind(key.toLower());
    if (it == s->keyIndex.cend())
        return std::nullopt;
    const Line &line = s->lines[*it];
    return unquoted(QStringView(line.text).mid(line.equalsAt + 1).trimmed()).toString();
}

std::optional<int64_t> IniFile::integer(const QString &section, const QString &key) const
{
    const std::optional<QString> text = value(section, key);
    if (!text)
        return std::nullopt;
    return ParseIniInteger(*text);
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    if (m_sections.empty())
        m_sections.push_back(Section{});
    Section *s = findSection(section);
    if (!s) {
        Section added;
        added.name = section;
        added.lines.push_back(Line{u'[' + section + u']', QString(), -1});
        m_sectionIndex.insert(section.toLower(), int(m_sections.size()));
        m_sections.push_back(std::move(added));
        s = &m_sections.back();
    }
    const QString lower = key.toLower();
    const auto it = s->keyIndex.constFind(lower);
    if (it != s->keyIndex.cend()) {
        Line &line = s->lines[*it];
        line.text = line.text.left(line.equalsAt + 1) + value;
        return;
    }
    Line line{key + u'=' + value, key, int(key.size())};
    // Right after the section's last key: only comments and blank lines move down, so the
    // key index stays valid.
    const int at = s->lastKeyLine + 1;
    s->lines.insert(s->lines.begin() + at, std::move(line));
    s->keyIndex.insert(lower, at);
    s->lastKeyLine = at;
}

bool IniFile::hasSection(const QString &section) const { return findSection(section) != nullptr; }

QStringList IniFile::sectionNames() const
{
    QStringList names;
    for (std::size_t i = 1; i < m_sections.size(); ++i)
        if (m_sectionIndex.value(m_sections[i].name.toLower()) == int(i))
            names.append(m_sections[i].name);
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList names;
    if (const Section *s = findSection(section))
        for (const Line &line : s->lines)
            if (!line.key.isNull())
                names.append(line.key);
    return names;
}

QByteArray IniFile::toBytes() const
{
    QByteArray bytes;
    if (m_byteOrderMark)
        bytes += "\xEF\xBB\xBF";
    for (const Section &section : m_sections)
        for (const Line &line : section.lines) {
            bytes += m_encoding == Encoding::Utf8 ? line.text.toUtf8() : EncodeWindows1252(line.text);
            bytes += m_lineEnd;
        }
    return bytes;
}

bool IniFile::save(const QString &path) const { return WriteFileAtomically(path, toBytes()); }

bool WriteFileAtomically(const QString &path, QByteArrayView bytes)
{
    // A link is followed: the file it names is replaced, the link stays.
    QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    info = QFileInfo(target);
    const QByteArray targetName = QFile::encodeName(target);

    // The temporary file lies beside the target, so that the rename cannot cross file
    // systems, and its name is unique in this process and among processes.
    static QAtomicInt counter;
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                     QStringLiteral(".%1-%2.tmp")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(counter.fetchAndAddRelaxed(1)));
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = true;
    // The new file keeps the permissions of the one it replaces.
    struct stat old;
    if (::stat(targetName.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= n;
    }
    // A full disk may show only when the data reach it: fsync and close must succeed too
    // before the old file is given up.
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(tempName.constData(), targetName.constData()) != 0)
        ok = false;
    if (!ok)
        ::unlink(tempName.constData());
    return ok;
}

QList<IniFile::Entry> IniFile::mergedEntries(const QString &section) const
{
    QList<Entry> entries;
    QHash<QString, bool> seen;
    // The preamble (index 0) has no name and is never a section.
    for (std::size_t i = 1; i < m_sections.size(); ++i) {
        if (m_sections[i].name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        for (const Line &line : m_sections[i].lines) {
            if (line.key.isNull())
                continue;
            const QString lower = line.key.toLower();
            if (seen.contains(lower))
                continue;
            seen.insert(lower, true);
            entries.append(Entry{line.key, QStringView(line.text).mid(line.equalsAt + 1).trimmed().toString()});
        }
    }
    return entries;
}
