// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <memory>

// The two built-in language tables (":/lang/english.ini", ":/lang/german.ini") and the
// lookups every part of the program uses for user-visible texts.
//
// Line breaks: a table text holds the two characters backslash and "n" where a line
// break goes; lookups return a single LF there (Qt's own convention; the message log
// splits lines on CR LF, LF or CR alike).
//
// Threads: the table is chosen once at start-up on the UI thread; after that Translate
// and TranslateFmt may be called from any thread. Reloading later is safe too: a lookup
// works on a snapshot of the table that was current when it started.

// Language numbers.
inline constexpr int LanguageUndecided = -1;
inline constexpr int LanguageEnglish = 0;
inline constexpr int LanguageGerman = 1;

inline constexpr const char *MessagesSection = "Messages";
inline constexpr const char *FormSection = "frmLumora";

// An INI text held in memory in file order. Section and key names are matched without
// regard to letter case; of two equal keys in one section the first counts.
class LanguageTable {
public:
    struct Entry {
        QString key;
        QString value; // as stored: "\n" pairs not yet turned into line breaks
    };

    LanguageTable() = default;

    // UTF-8 text (a leading byte-order mark is skipped). Lines may end in LF or CR LF.
    // Blank lines, lines starting with ";" or "#", lines without "=" and lines before
    // the first section are ignored; key and value are trimmed.
    static LanguageTable parse(const QByteArray &utf8);
    // An empty table when the file cannot be read; *ok tells which.
    static LanguageTable fromFile(const QString &path, bool *ok = nullptr);

    bool isEmpty() const { return m_sections.isEmpty(); }
    QStringList sectionNames() const;
    // Entries of a section in file order; empty for a missing section.
    QList<Entry> entries(const QString &section) const;
    bool contains(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key,
                  const QString &fallback = QString()) const;

private:
    struct Section {
        QString name;
        QList<Entry> entries;
        QHash<QString, qsizetype> index; // lower-case key -> position in entries
    };
    const Section *findSection(const QString &name) const;

    QList<Section> m_sections;
};

// -1: German when the system language is German, otherwise English; 1: German; any
// other value: English.
int ChooseLanguage(int requested, QLocale::Language systemLanguage = QLocale::system().language());

// Resource path of a language's table (":/lang/english.ini" for anything but German).
QString LanguageResourcePath(int language);

// Makes the table of ChooseLanguage(language) the current one and returns the language
// number actually loaded (0 or 1). Until this is first called, lookups use English.
int LoadLanguageTable(int language);
int CurrentLanguage();
std::shared_ptr<const LanguageTable> CurrentLanguageTable();
// The [frmLumora] entries of the current table, in table order.
QList<LanguageTable::Entry> FormCaptionEntries();

// Every backslash-"n" pair becomes a line break.
QString ExpandLineBreaks(const QString &text);

// Fills "%s" placeholders from args, left to right; "%%" stands for "%". Arguments are
// inserted as they are, never scanned for placeholders themselves. Extra arguments are
// ignored. When the text cannot be formatted — more "%s" than arguments, or any other
// "%" sequence such as "%d" or a lone "%" — it is returned unchanged, "%%" included.
QString FormatText(const QString &text, const QStringList &args);

// The [Messages] text of key with line breaks expanded, formatted with args; the key
// itself when the table lacks it.
QString TranslateFmt(const QString &key, const QStringList &args);
// TranslateFmt without arguments: a text with "%s" comes back with the placeholder.
QString Translate(const QString &key);

// "A" for 0 … "L" for 11 (the formula goes on to "Z" for 25); "?" outside 0..25.
QString ChannelLetter(int index);

// Colour names and light tints, indexed by a channel's colour index 0..15.
inline constexpr int ColorCount = 16;
// Message key of a colour ("ColorUnnamed" … "ColorDeepRed"); ColorUnnamed outside 0..15.
QString ColorKey(int index);
// Translated colour name; the ColorUnnamed text outside 0..15.
QString ColorName(int index);
// The sixteen names in index order, as the channel name combo boxes list them.
QStringList ColorNames();
// Background tint of a channel's edits as 0xRRGGBB; white (the unnamed tint) outside 0..15.
quint32 ColorTintRgb(int index);
QColor ColorTint(int index);
// How every place that labels a channel names it: letter, ": " and colour name ("A: Red").
QString ChannelCaption(int channel, int colour);
