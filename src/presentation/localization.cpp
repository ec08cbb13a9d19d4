// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/localization.h"

#include "files/ini_file.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <array>
#include <mutex>

// The tables are compiled into the core library; a static library drops the resource's
// registration unless something refers to it, so it is registered here explicitly.
static void registerLanguageResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(lang); });
}

namespace {

struct ColorInfo {
    const char *key;
    quint32 tint;
};

constexpr std::array<ColorInfo, ColorCount> Colors{{
    {"ColorUnnamed", 0xFFFFFF},
    {"ColorWhite", 0xFFFFFF},
    {"ColorRed", 0xFF8080},
    {"ColorGreen", 0x80FF80},
    {"ColorBlue", 0x8080FF},
    {"ColorUV", 0xC080FF},
    {"ColorMoonLight", 0xFFFFFF},
    {"ColorColdWhite", 0xF0F0FF},
    {"ColorWarmWhite", 0xFFFFE0},
    {"ColorYellow", 0xFFFF00},
    {"ColorPurple", 0xFF80C0},
    {"ColorRoyalBlue", 0xA080FF},
    {"ColorCyan", 0x80FFFF},
    {"ColorViolet", 0xC080FF},
    {"ColorOrange", 0xFFC080},
    {"ColorDeepRed", 0xC08080},
}};

const ColorInfo &colorInfo(int index)
{
    return (index >= 0 && index < ColorCount) ? Colors[size_t(index)] : Colors[0];
}

// The current table. Lookups copy the pointer under the lock and read without it, so
// a reload never pulls a table away from under a running lookup.
QMutex tableMutex;
std::shared_ptr<const LanguageTable> currentTable;
int currentLanguage = LanguageUndecided;

std::shared_ptr<const LanguageTable> loadTable(int language)
{
    return std::make_shared<const LanguageTable>(
        LanguageTable::fromFile(LanguageResourcePath(language)));
}

} // namespace

LanguageTable LanguageTable::parse(const QByteArray &utf8)
{
    // One INI reader for the whole program; the tables only keep their own index for
    // the lookups. Repeated sections are read as one.
    const IniFile ini = IniFile::parse(utf8, IniFile::Encoding::Utf8);
    LanguageTable table;
    for (const QString &name : ini.sectionNames()) {
        Section section{name, {}, {}};
        for (IniFile::Entry &entry : ini.mergedEntries(name)) {
            section.index.insert(entry.key.toLower(), section.entries.size());
            section.entries.append(Entry{std::move(entry.key), std::move(entry.value)});
        }
        table.m_sections.append(std::move(section));
    }
    return table;
}

LanguageTable LanguageTable::fromFile(const QString &path, bool *ok)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? parse(file.readAll()) : LanguageTable();
}

QStringList LanguageTable::sectionNames() const
{
    QStringList names;
    for (const Section &s : m_sections)
        names.append(s.name);
    return names;
}

const LanguageTable::Section *LanguageTable::findSection(const QString &name) const
{
    for (const Section &s : m_sections) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    }
    return nullptr;
}

QList<LanguageTable::Entry> LanguageTable::entries(const QString &section) const
{
    const Section *s = findSection(section);
    return s ? s->entries : QList<Entry>();
}

bool LanguageTable::contains(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    return s && s->index.contains(key.toLower());
}

QString LanguageTable::value(const QString &section, const QString &key,
                             const QString &fallback) const
{
    const Section *s = findSection(section);
    if (!s)
        return fallback;
    const auto it = s->index.constFind(key.toLower());
    return it == s->index.cend() ? fallback : s->entries.at(*it).value;
}

int ChooseLanguage(int requested, QLocale::Language systemLanguage)
{
    if (requested == LanguageUndecided)
        return systemLanguage == QLocale::German ? LanguageGerman : LanguageEnglish;
    return requested == LanguageGerman ? LanguageGerman : LanguageEnglish;
}

QString LanguageResourcePath(int language)
{
    registerLanguageResources();
    return language == LanguageGerman ? QStringLiteral(":/lang/german.ini")
                                      : QStringLiteral(":/lang/english.ini");
}

int LoadLanguageTable(int language)
{
    const int chosen = ChooseLanguage(language);
    auto table = loadTable(chosen);
    QMutexLocker lock(&tableMutex);
    currentTable = std::move(table);
    currentLanguage = chosen;
    return chosen;
}

int CurrentLanguage()
{
    QMutexLocker lock(&tableMutex);
    return currentLanguage == LanguageUndecided ? LanguageEnglish : currentLanguage;
}

std::shared_ptr<const LanguageTable> CurrentLanguageTable()
{
    {
        QMutexLocker lock(&tableMutex);
        if (currentTable)
            return currentTable;
    }
    // Nothing chosen yet (a test, or a text needed before start-up finished): English,
    // without fixing the choice, so that a later LoadLanguageTable still decides.
    static const std::shared_ptr<const LanguageTable> fallback = loadTable(LanguageEnglish);
    return fallback;
}

QList<LanguageTable::Entry> FormCaptionEntries()
{
    return CurrentLanguageTable()->entries(QLatin1String(FormSection));
}

QString ExpandLineBreaks(const QString &text)
{
    QString result = text;
    result.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return result;
}

QString FormatText(const QString &text, const QStringList &args)
{
    if (!text.contains(QLatin1Char('%')))
        return text;
    QString result;
    result.reserve(text.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('%')) {
            result.append(c);
            continue;
        }
        const QChar conversion = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (conversion == QLatin1Char('%')) {
            result.append(QLatin1Char('%'));
        } else if (conversion == QLatin1Char('s') && next < args.size()) {
            result.append(args.at(next++));
        } else {
            return text; // missing argument or a conversion the texts do not use
        }
        ++i;
    }
    return result;
}

QString TranslateFmt(const QString &key, const QStringList &args)
{
    const QString text =
        CurrentLanguageTable()->value(QLatin1String(MessagesSection), key, key);
    return FormatText(ExpandLineBreaks(text), args);
}

QString Translate(const QString &key)
{
    return TranslateFmt(key, {});
}

QString ChannelLetter(int index)
{
    if (index < 0 || index > 25)
        return QStringLiteral("?");
    return QString(QChar(u'A' + index));
}

QString ChannelCaption(int channel, int colour) { return ChannelLetter(channel) + QStringLiteral(": ") + ColorName(colour); }

QString ColorKey(int index)
{
    return QLatin1String(colorInfo(index).key);
}

QString ColorName(int index)
{
    return Translate(ColorKey(index));
}

QStringList ColorNames()
{
    QStringList names;
    for (int i = 0; i < ColorCount; ++i)
        names.append(ColorName(i));
    return names;
}

quint32 ColorTintRgb(int index)
{
    return colorInfo(index).tint;
}

QColor ColorTint(int index)
{
    return QColor::fromRgb(QRgb(0xFF000000u | ColorTintRgb(index)));
}
