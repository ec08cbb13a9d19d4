// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArrayView>
// INI text files as the controller's settings are exchanged in: 8-bit Windows-1252 text,
// "[Section]" lines and "key=value" lines, names matched without regard to letter case.
//
// The file is held in memory line by line, exactly as read, so that writing a value
// touches only that value's line: every other section, key, comment and odd line of a
// file survives a rewrite. Saving goes through a temporary file in the target's folder
// that is renamed over the target only when every byte of it was written, so a crash or a
// full disk never leaves half a file nor replaces a good one.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Windows-1252 <-> Unicode. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 controls of the same number, as Windows itself does, so
// every byte survives a decode and encode. Characters outside the code page become "?".
QString DecodeWindows1252(QByteArrayView bytes);
QByteArray EncodeWindows1252(QStringView text);

// An integer value as INI files hold it: optional blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "0x" or "$". Anything else, or a value outside the
// 32-bit range (signed or unsigned), is not an integer.
std::optional<int64_t> ParseIniInteger(QStringView text);

// Writes bytes to path through a temporary file beside it, renamed over path only after
// every byte was written and flushed to the disk; otherwise path is left as it was and
// false returned. The new file keeps the permissions of the one it replaces.
bool WriteFileAtomically(const QString &path, QByteArrayView bytes);

class IniFile {
public:
    // Files larger than this are not read: nothing the program writes comes near it, and a
    // stray multi-gigabyte file must not take the program's memory.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    IniFile() = default;

    // How the bytes of a file map to text: settings files are Windows-1252; the program's
    // own language tables are UTF-8.
    enum class Encoding { Windows1252, Utf8 };

    // The text of a file; lines may end in CR LF, LF or CR. A UTF-8 byte-order mark at the
    // start is skipped (and written again by toBytes, which also keeps the encoding).
    static IniFile parse(QByteArrayView bytes, Encoding encoding = Encoding::Windows1252);

    enum class LoadResult { Loaded, Missing, Unreadable, TooLarge };
    // Reads the file into *ini. A missing file gives an empty one; an unreadable or too
    // large file gives an empty one as well but says so, so that a writer can refuse to
    // replace what it could not read.
    static LoadResult load(const QString &path, IniFile *ini);

    // The value of key in section; the first section of that name and, in it, the first
    // key of that name count. Null when absent.
    std::optional<QString> value(const QString &section, const QString &key) const;
    // The value as an integer; nullopt when the key is missing or not an integer.
    std::optional<int64_t> integer(const QString &section, const QString &key) const;
    int64_t integer(const QString &section, const QString &key, int64_t fallback) const
    {
        return integer(section, key).value_or(fallback);
    }

    // Replaces the key's value in place, or adds the key at the end of the section, or
    // the section at the end of the file. Names keep the spelling they already have.
    void setValue(const QString &section, const QString &key, const QString &value);
    void setInteger(const QString &section, const QString &key, int64_t value)
    {
        setValue(section, key, QString::number(value));
    }

    bool hasSection(const QString &section) const;
    // Section names in file order, as spelled in the file (a repeated name once).
    QStringList sectionNames() const;
    // Keys of a section in file order (the first section of that name).
    QStringList keys(const QString &section) const;

    struct Entry {
        QString key;     // as spelled
        QString value;   // trimmed, as stored: quotes are kept
    };
    // The entries of every section of that name taken together, in file order; of keys
    // equal but for letter case the first counts. For tables that a person may have split
    // into several sections of one name (the language tables), unlike value(), which reads
    // the first section only as the settings files expect.
    QList<Entry> mergedEntries(const QString &section) const;

    // The whole text in Windows-1252, with the line ends of the file that was read
    // (CR LF for a new file).
    QByteArray toBytes() const;
    // Saves atomically; false when the file could not be written (the old file then
    // stays as it was).
    bool save(const QString &path) const;

private:
    struct Line {
        QString text;   // as read, without the line end
        QString key;    // for a key line: the key as spelled, trimmed; else null
        int equalsAt = -1;   // for a key line: position of the "=" in text
    };
    struct Section {
        QString name;   // null for the lines before the first section
        std::vector<Line> lines;   // [0] is the header line, except in the preamble
        QHash<QString, int> keyIndex;   // lower-case key -> first line with that key
        int lastKeyLine = 0;   // new keys go after this line
    };

    static Line makeLine(const QString &text);
    void addLine(const QString &text);
    const Section *findSection(const QString &name) const;
    Section *findSection(const QString &name);

    std::vector<Section> m_sections;
    QHash<QString, int> m_sectionIndex;   // lower-case name -> first section with that name
    QByteArray m_lineEnd = QByteArrayLiteral("\r\n");
    bool m_byteOrderMark = false;
    Encoding m_encoding = Encoding::Windows1252;
};

// The lines of an INI text in turn, each without its end (CR, LF or CR LF).
class IniLineReader
{
public:
    explicit IniLineReader(QByteArrayView bytes) : m_bytes(bytes) {}
    bool next(QByteArrayView &line)
    {
        const qsizetype size = m_bytes.size();
        if (m_start >= size)
            return false;
        qsizetype end = m_start;
        while (end < size && m_bytes[end] != '\n' && m_bytes[end] != '\r')
            ++end;
        line = m_bytes.sliced(m_start, end - m_start);
        if (end < size && m_bytes[end] == '\r' && end + 1 < size && m_bytes[end + 1] == '\n')
            ++end;
        m_start = end + 1;
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_start = 0;
};
