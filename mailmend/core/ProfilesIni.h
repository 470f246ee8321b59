#pragma once

#include "mailmend/core/ProfileList.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace mailmend {

// Reading Thunderbird's "profiles.ini" into a TProfileList.

enum class TIniEncoding {
    Ansi,    // 8-bit text, no byte-order mark (Windows-1252, byte for byte)
    Utf8,
    Utf16LE,
    Utf16BE,
};

// Where Thunderbird keeps its profile list, and how it was last read.
struct TThunderbirdFiles
{
    QString TbApp;  // Thunderbird's folder, with a trailing separator
    QString TbProf; // TbApp + "profiles.ini"
    TIniEncoding TbEnc = TIniEncoding::Ansi;

    explicit TThunderbirdFiles(const QString &thunderbirdFolder = QString());
};

// Only this much of a profiles.ini is read; a real one has a few hundred bytes.
inline constexpr qint64 MaxProfilesIniSize = qint64(1) << 20;

// An INI text held in memory, with the rules of profiles.ini: "[name]" starts
// a section, "key = value" defines a key (both trimmed, the value is all after
// the first "="), lines starting with ";" and lines before the first section
// are ignored, names compare without regard to letter case, and of a section
// or key that occurs twice the first occurrence counts.
// Not the settings reader (TIniDocument): profiles.ini keeps quotes in values, knows no "#"
// comments, needs the whole line "[...]" for a section and has 64-bit numbers without "$".
class TMemIniFile
{
public:
    explicit TMemIniFile(const QString &text);

    bool SectionExists(const QString &section) const { return Find(section) != nullptr; }
    QStringList Sections() const;
    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    bool ValueExists(const QString &section, const QString &key) const;
    // Decimal, or hexadecimal after "0x"; def when missing or not a number.
    qint64 ReadInteger(const QString &section, const QString &key, qint64 def) const;
    bool ReadBool(const QString &section, const QString &key, bool def) const
    {
        return ReadInteger(section, key, def ? 1 : 0) != 0;
    }

private:
    // Names are looked up by their case-folded form, so that reading a file
    // takes one pass however many sections and keys it has.
    struct TSection
    {
        QString Name;
        std::vector<std::pair<QString, QString>> Keys;
        QHash<QString, size_t> KeyIndex; // folded key -> index in Keys
    };
    const TSection *Find(const QString &section) const;
    const QString *FindValue(const QString &section, const QString &key) const;

    std::vector<TSection> FSections;
    QHash<QString, size_t> FSectionIndex; // folded name -> index in FSections
};

// The "[ProfileN]" sections of a profiles.ini in the order of N (any
// decimal number without leading zeros).
QStringList ProfileSections(const TMemIniFile &ini);

// Decodes the bytes of an INI file: with forceUtf8 false by its byte-order
// mark (UTF-8, UTF-16 LE, UTF-16 BE), else as 8-bit text; with forceUtf8 as
// UTF-8, skipping a UTF-8 mark.
QString DecodeIniText(const QByteArray &bytes, bool forceUtf8, TIniEncoding &encoding);

// Reads files.TbProf into list (cleared first); false when the text read as
// 8-bit looked like misread UTF-8.
bool ReadProfilesIni(TProfileList &list, TThunderbirdFiles &files, bool forceUtf8);

// Loads the profile list; true when at least one profile was found. Without a
// profiles.ini the list is left as it is.
bool LoadProfiles(TProfileList &list, TThunderbirdFiles &files);

} // namespace mailmend
