#include "files/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

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

IniFile IniFile::parse(QByteArrayView bytes)
{
    IniFile ini;
    ini.m_sections.push_back(Section{});
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
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        ini.addLine(DecodeWindows1252(bytes.sliced(start, end - start)));
        if (end < size && bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
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
    if (!info.isFile() || info.size() > MaxFileSize)
        return LoadResult::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize || file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
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
    for (const Section &section : m_sections)
        for (const Line &line : section.lines) {
            bytes += EncodeWindows1252(line.text);
            bytes += m_lineEnd;
        }
    return bytes;
}

bool IniFile::save(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = toBytes();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
