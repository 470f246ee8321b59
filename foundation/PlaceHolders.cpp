#include "foundation/PlaceHolders.h"

#include "foundation/ExecutablePath.h"
#include "foundation/PathUtils.h"

#include <QHash>

namespace foundation {

namespace {

struct TPlaceholderEntry
{
    const char *name;
    bool isFolder; // folder values lose their trailing separator
    QString (*value)();
};

template <int Identifier>
QString SpecialFolder()
{
    return GetSpecialFolder(Identifier);
}

template <int Kind>
QString ProgramFiles()
{
    return GetProgramFilesFolder(Kind);
}

QString Nothing()
{
    return {};
}

// In the order of replacement.
constexpr TPlaceholderEntry Entries[] = {
    {"%perspath%", true, &SpecialFolder<sfDocuments>},
    {"%apppath%", true, &SpecialFolder<sfAppData>},
    {"%profile%", true, &SpecialFolder<sfProfile>},
    {"%desktop%", true, &SpecialFolder<sfDesktop>},
    {"%favorites%", true, &SpecialFolder<sfFavorites>},
    {"%progfiles%", true, &ProgramFiles<pfPrograms>},
    {"%progpath%", true, &ExecutableFolder},
    {"%username%", false, &CurrentUserName},
    {"%computername%", false, &ComputerName},
    {"%user%", false, &Nothing},
    {"%computer%", false, &Nothing},
    {"%appdata%", true, &SpecialFolder<sfAppData>},
    {"%localappdata%", true, &SpecialFolder<sfLocalAppData>},
    {"%allusersprofile%", true, &GetAllUsersFolder},
    {"%public%", true, &GetPublicFolder},
    {"%programfiles%", true, &ProgramFiles<pfPrograms64>},
    {"%commonprogramfiles%", true, &ProgramFiles<pfCommonFiles64>},
    {"%programfiles(x86)%", true, &ProgramFiles<pfPrograms32>},
    {"%commonprogramfiles(x86)%", true, &ProgramFiles<pfCommonFiles32>},
    {"%programdata%", true, &GetAllUsersFolder},
    {"%userprofile%", true, &SpecialFolder<sfProfile>},
};

const TPlaceholderEntry *FindEntry(const QString &placeholder)
{
    for (const TPlaceholderEntry &entry : Entries) {
        if (placeholder.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString RawValue(const QString &placeholder)
{
    const TPlaceholderEntry *entry = FindEntry(placeholder);
    return entry ? entry->value() : QString();
}

QString WithoutTrailingDelim(const TPlaceholderEntry &entry, QString value)
{
    if (entry.isFolder && value.endsWith(PathDelim))
        value.chop(1);
    return value;
}

} // namespace

const QStringList &PlaceholderNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const TPlaceholderEntry &entry : Entries)
            list << QLatin1String(entry.name);
        return list;
    }();
    return names;
}

QString PlaceholderValue(const QString &placeholder)
{
    const TPlaceholderEntry *entry = FindEntry(placeholder);
    return entry ? WithoutTrailingDelim(*entry, entry->value()) : QString();
}

QString ExpandPlaceholders(const QString &text)
{
    return ExpandPlaceholders(text, &RawValue);
}

// One pass over the text: a placeholder is the text from one "%" to the next
// one, so at most one name of the table can start at any "%". Each value is
// looked up once, when its placeholder first occurs, and is not scanned for
// placeholders again. Folder values lose one trailing separator.
QString ExpandPlaceholders(const QString &text, const TPlaceholderLookup &lookup)
{
    if (text.isEmpty() || !text.contains(u'%'))
        return text;
    QHash<QString, QString> values;
    QString result;
    result.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(u'%', pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'%', open + 1);
        if (close < 0) {
            result += QStringView(text).mid(pos);
            break;
        }
        result += QStringView(text).mid(pos, open - pos);
        const QString candidate = text.mid(open, close - open + 1);
        const TPlaceholderEntry *entry = FindEntry(candidate);
        if (!entry) {
            // Not a placeholder; its closing "%" may open the next one.
            result += u'%';
            pos = open + 1;
            continue;
        }
        const QString name = QLatin1String(entry->name);
        auto found = values.find(name);
        if (found == values.end())
            found = values.insert(name, WithoutTrailingDelim(*entry, lookup(name)));
        result += found.value();
        pos = close + 1;
    }
    return result;
}

} // namespace foundation
