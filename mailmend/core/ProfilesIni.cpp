#include "mailmend/core/ProfilesIni.h"

#include "foundation/PathUtils.h"
#include "foundation/StringUtils.h"
#include "foundation/TextEncoding.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace mailmend {

using namespace foundation;

TThunderbirdFiles::TThunderbirdFiles(const QString &thunderbirdFolder)
    : TbApp(AddBackslash(thunderbirdFolder)), TbProf(TbApp + QStringLiteral("profiles.ini"))
{
}

// ---------------------------------------------------------------------------

TMemIniFile::TMemIniFile(const QString &text)
{
    TSection *current = nullptr;
    bool ignoreSection = true; // lines before the first section
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QString line = text.mid(pos, end - pos).trimmed();
        pos = end;
        if (pos < text.size() && text[pos] == u'\r')
            ++pos;
        if (pos < text.size() && text[pos] == u'\n')
            ++pos;

        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString name = line.mid(1, line.size() - 2).trimmed();
            const QString folded = name.toCaseFolded();
            ignoreSection = FSectionIndex.contains(folded); // the first occurrence counts
            if (!ignoreSection) {
                FSectionIndex.insert(folded, FSections.size());
                FSections.push_back({name, {}, {}});
                current = &FSections.back();
            }
            continue;
        }
        if (ignoreSection || !current)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString folded = key.toCaseFolded();
        if (!current->KeyIndex.contains(folded)) {
            current->KeyIndex.insert(folded, current->Keys.size());
            current->Keys.emplace_back(key, line.mid(eq + 1).trimmed());
        }
    }
}

const TMemIniFile::TSection *TMemIniFile::Find(const QString &section) const
{
    const auto it = FSectionIndex.constFind(section.toCaseFolded());
    return it == FSectionIndex.constEnd() ? nullptr : &FSections[*it];
}

const QString *TMemIniFile::FindValue(const QString &section, const QString &key) const
{
    const TSection *s = Find(section);
    if (!s)
        return nullptr;
    const auto it = s->KeyIndex.constFind(key.toCaseFolded());
    return it == s->KeyIndex.constEnd() ? nullptr : &s->Keys[*it].second;
}

QStringList ProfileSections(const TMemIniFile &ini)
{
    static const QString Prefix = QStringLiteral("Profile");
    std::vector<std::pair<QString, QString>> numbered; // digits, section
    for (const QString &section : ini.Sections()) {
        if (!section.startsWith(Prefix, Qt::CaseInsensitive) || section.size() == Prefix.size())
            continue;
        const QString digits = section.mid(Prefix.size());
        const bool decimal = std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (decimal && (digits.size() == 1 || digits[0] != u'0'))
            numbered.emplace_back(digits, section);
    }
    // Numbers of any length: shorter is smaller, else the digits decide.
    std::sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) {
        return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
    });
    QStringList sections;
    for (const auto &entry : numbered)
        sections.append(entry.second);
    return sections;
}

QStringList TMemIniFile::Sections() const
{
    QStringList names;
    for (const TSection &s : FSections)
        names.append(s.Name);
    return names;
}

QString TMemIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    const QString *value = FindValue(section, key);
    return value ? *value : def;
}

bool TMemIniFile::ValueExists(const QString &section, const QString &key) const
{
    return FindValue(section, key) != nullptr;
}

qint64 TMemIniFile::ReadInteger(const QString &section, const QString &key, qint64 def) const
{
    const QString *value = FindValue(section, key);
    if (!value)
        return def;
    bool ok = false;
    qint64 number = 0;
    if (value->startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        number = value->mid(2).toLongLong(&ok, 16);
    else
        number = value->toLongLong(&ok, 10);
    return ok ? number : def;
}

// ---------------------------------------------------------------------------

QString DecodeIniText(const QByteArray &bytes, bool forceUtf8, TIniEncoding &encoding)
{
    const TByteOrderMark mark = DetectByteOrderMark(bytes);
    const QByteArray text = bytes.mid(ByteOrderMarkSize(mark));
    if (forceUtf8) {
        encoding = TIniEncoding::Utf8;
        return QString::fromUtf8(mark == TByteOrderMark::Utf8 ? text : bytes);
    }
    switch (mark) {
    case TByteOrderMark::Utf8:
        encoding = TIniEncoding::Utf8;
        return QString::fromUtf8(text);
    case TByteOrderMark::Utf16LE:
    case TByteOrderMark::Utf16BE: {
        const bool big = mark == TByteOrderMark::Utf16BE;
        encoding = big ? TIniEncoding::Utf16BE : TIniEncoding::Utf16LE;
        QStringDecoder decoder(big ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                               QStringConverter::Flag::Stateless);
        return decoder(text);
    }
    case TByteOrderMark::None:
        break;
    }
    encoding = TIniEncoding::Ansi;
    return Cp1252ToUnicode(bytes);
}

bool ReadProfilesIni(TProfileList &list, TThunderbirdFiles &files, bool forceUtf8)
{
    QByteArray bytes;
    QFile file(files.TbProf);
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(MaxProfilesIniSize);
    const TMemIniFile ini(DecodeIniText(bytes, forceUtf8, files.TbEnc));

    list.Clear();
    list.InstallDefaults.clear();
    bool result = true;
    const bool eightBit = files.TbEnc == TIniEncoding::Ansi;
    for (const QString &section : ProfileSections(ini)) {
        const QString name = ini.ReadString(section, QStringLiteral("Name"), QStringLiteral("default"));
        const QString path = ini.ReadString(section, QStringLiteral("Path"), QString());
        if (eightBit && (IsMisreadUtf8(name) || IsMisreadUtf8(path)))
            result = false;
        if (path.isEmpty())
            continue; // else the Thunderbird folder itself would pass as the profile
        const bool relative = ini.ReadBool(section, QStringLiteral("IsRelative"), true);
        const bool isDefault = ini.ReadBool(section, QStringLiteral("Default"), false);
        // A relative path is relative to the Thunderbird folder even when the
        // file says it is not, never to the current folder.
        const bool belowThunderbird = relative || QDir::isRelativePath(path);
        const QString full = belowThunderbird ? files.TbApp + ReplaceChar(path, u'/', PathDelim) : path;
        if (QFileInfo(full).isDir() && list.NotInList(name))
            list.AddProfile(name, path, full, relative, isDefault);
    }
    for (const QString &section : ini.Sections()) {
        if (section.startsWith(QStringLiteral("Install"), Qt::CaseInsensitive)) {
            const QString path = ini.ReadString(section, QStringLiteral("Default"), QString());
            if (!path.isEmpty())
                list.InstallDefaults.append(path);
        }
    }
    return result;
}

bool LoadProfiles(TProfileList &list, TThunderbirdFiles &files)
{
    if (!QFileInfo(files.TbProf).isFile())
        return false;
    // The default remembered before this load; a misread first reading must
    // not leave its garbled name as the default of the second one.
    const QString previousDefault = list.DefProfile;
    if (!ReadProfilesIni(list, files, false)) {
        list.DefProfile = previousDefault;
        ReadProfilesIni(list, files, true);
    }
    if (!list.IsEmpty())
        list.DefaultProfile();
    return !list.IsEmpty();
}

} // namespace mailmend
