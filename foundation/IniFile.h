#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace foundation {

// Settings file in the INI form:
//
//   [Section]
//   Key=Value
//
// Section and key names are compared without regard to letter case; when a
// section or key occurs more than once, the first occurrence counts. Reading
// never fails: a missing or unreadable file, section or key gives the default
// passed by the caller. There is no cache: every call opens the file by name,
// reads or rewrites it and closes it again.
//
// Files are read as UTF-8 (a UTF-8, UTF-16 LE or UTF-16 BE byte-order mark is
// honoured; a line that is not valid UTF-8 is read as Latin-1) and written as
// UTF-8. Writing replaces the file atomically and keeps every other line as it
// was. Blanks around names and values are not significant; a value that needs
// them, or that is itself enclosed in double quotes, is written in double
// quotes, so that every value reads back as written.
// Thunderbird's profiles.ini has other rules (quotes kept, no "#" comments) and its own reader.

// The text of one settings file, held in memory with every line as it was
// read. TIniFile reads it from the file for every access; it is also the place
// to test or fuzz the format without a file.
class TIniDocument
{
public:
    // Nothing when the bytes are more than TIniFile::MaxFileSize.
    static std::optional<TIniDocument> FromBytes(const QByteArray &bytes);
    // UTF-8, with the byte-order mark when the text had a UTF-8 one.
    QByteArray ToBytes() const;

    std::optional<QString> Value(const QString &section, const QString &key) const;
    QStringList ReadSection(const QString &section) const;
    QStringList ReadSections() const;
    bool SectionExists(const QString &section) const;

    // True when the names and the value can be stored in one line each.
    static bool IsStorable(const QString &section, const QString &key, const QString &value);
    // These return true when the text changed. WriteString expects a storable
    // entry and changes nothing otherwise.
    bool WriteString(const QString &section, const QString &key, const QString &value);
    bool EraseSection(const QString &section);
    bool DeleteKey(const QString &section, const QString &key);

private:
    struct TLine
    {
        QString text;   // without its line break
        QString ending; // CR LF, LF, CR, or empty for a last line without one
    };
    struct TRange
    {
        qsizetype header = -1;
        qsizetype end = -1;
        bool Found() const { return header >= 0; }
    };

    TRange FindSection(const QString &section, qsizetype from = 0) const;
    qsizetype FindKey(const TRange &range, const QString &key, QString *name = nullptr,
                      QString *value = nullptr) const;
    void AppendLine(const QString &text);
    template <typename Drop>
    bool RemoveLines(Drop drop, const QString &section);

    QList<TLine> FLines;
    QString FEnding;
    bool FUtf8Bom = false;
};

class TIniFile
{
public:
    explicit TIniFile(const QString &fileName);

    QString FileName() const { return FFileName; }

    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // Decimal, or hexadecimal marked with "$" or "0x" (a 32-bit pattern:
    // $FFFFFFFF is -1); anything else, or a value out of range, gives def.
    int ReadInteger(const QString &section, const QString &key, int def) const;
    // An integer value; non-zero is true. Anything else gives def.
    bool ReadBool(const QString &section, const QString &key, bool def) const;

    // Writes create the file and the section when missing and replace an
    // existing value. They return false, leaving the file untouched, when the
    // file cannot be read or written, or when a name or value cannot be
    // stored in one line of the format (line breaks, empty names, "=" in a
    // key, a key that starts with "[", ";" or "#"). A section name may hold
    // "]": its header ends at the line's last one.
    bool WriteString(const QString &section, const QString &key, const QString &value);
    bool WriteInteger(const QString &section, const QString &key, int value);
    bool WriteBool(const QString &section, const QString &key, bool value);

    // Removes the section with all its keys (every occurrence of it).
    bool EraseSection(const QString &section);
    // Removes one key (every occurrence of it in the section).
    bool DeleteKey(const QString &section, const QString &key);

    // Names of the keys of the section, in file order, each name once.
    QStringList ReadSection(const QString &section) const;
    // Names of all sections, in file order, each name once.
    QStringList ReadSections() const;
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // Files larger than this are not parsed: they read as empty and are never
    // rewritten.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

private:
    QString FFileName;
};

} // namespace foundation
