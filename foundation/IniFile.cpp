#include "foundation/IniFile.h"

#include "foundation/FileUtils.h"
#include "foundation/TextEncoding.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <climits>

namespace foundation {

namespace {

enum class TLineKind { Other, Section, Key };

struct TParsedLine
{
    TLineKind kind = TLineKind::Other;
    QString name;
    QString value;
};

#ifdef _WIN32
const QString NativeLineEnding = QStringLiteral("\r\n");
#else
const QString NativeLineEnding = QStringLiteral("\n");
#endif

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString UnquoteValue(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.mid(1, value.size() - 2);
    return value;
}

// Blanks around a value are not significant, and one pair of enclosing double
// quotes is removed on reading; such values are therefore written quoted.
QString QuoteValue(const QString &value)
{
    const bool needsQuotes = value != value.trimmed()
        || (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'));
    return needsQuotes ? u'"' + value + u'"' : value;
}

TParsedLine ParseLine(const QString &line)
{
    TParsedLine parsed;
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(u';') || text.startsWith(u'#'))
        return parsed;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.lastIndexOf(u']');
        if (close > 0) {
            parsed.kind = TLineKind::Section;
            parsed.name = text.mid(1, close - 1).trimmed();
            return parsed;
        }
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return parsed;
    parsed.name = text.left(equals).trimmed();
    if (parsed.name.isEmpty())
        return parsed;
    parsed.kind = TLineKind::Key;
    parsed.value = UnquoteValue(text.mid(equals + 1).trimmed());
    return parsed;
}

// UTF-16 input may hold surrogates without their partner. They become U+FFFD
// here, as they would on the way out to UTF-8, so that a rewrite keeps every
// other line exactly as it was read.
QString ReplaceLoneSurrogates(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

QString Decode(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return ReplaceLoneSurrogates(decoder.decode(bytes));
}

// One line of an 8-bit file: UTF-8 when it is valid UTF-8, else Latin-1, which
// keeps every byte (older files, or lines added by an editor, use a code page).
QString DecodeUtf8OrLatin1(QByteArrayView line)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                                  | QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8.decode(line);
    return utf8.hasError() ? QString::fromLatin1(line) : text;
}

// Decoded line by line, so that one line in a code page does not turn the
// UTF-8 text of all the others into mojibake (which a rewrite would then
// store for good).
QString DecodeUtf8Lines(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                                  | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        text += DecodeUtf8OrLatin1(bytes.sliced(start, end - start));
        if (end < bytes.size())
            text += QLatin1Char(bytes[end]);
        start = end + 1;
    }
    return text;
}

QString DecodeText(const QByteArray &bytes, bool &utf8Bom)
{
    const TByteOrderMark mark = DetectByteOrderMark(bytes);
    const QByteArrayView text = QByteArrayView(bytes).sliced(ByteOrderMarkSize(mark));
    utf8Bom = mark == TByteOrderMark::Utf8;
    switch (mark) {
    case TByteOrderMark::Utf16LE:
        return Decode(QStringConverter::Utf16LE, text);
    case TByteOrderMark::Utf16BE:
        return Decode(QStringConverter::Utf16BE, text);
    case TByteOrderMark::Utf8:
    case TByteOrderMark::None:
        break;
    }
    return DecodeUtf8Lines(text);
}

bool HasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

// A key must read back as a key of its section: no "=", and nothing that makes
// its line a comment or a section header.
bool IsStorableKey(const QString &key)
{
    const QString name = key.trimmed();
    return !name.isEmpty() && !HasLineBreak(name) && !name.contains(u'=')
        && !name.startsWith(u'[') && !name.startsWith(u';') && !name.startsWith(u'#');
}

// True when the name was not yet in the set (letter case ignored).
bool AddOnce(QSet<QString> &seen, const QString &name)
{
    const qsizetype before = seen.size();
    seen.insert(name.toCaseFolded());
    return seen.size() != before;
}

std::optional<int> ParseInteger(const QString &value)
{
    QString text = value.trimmed();
    bool negative = false;
    if (text.startsWith(u'-') || text.startsWith(u'+')) {
        negative = text.startsWith(u'-');
        text.remove(0, 1);
    }
    int base = 10;
    if (text.startsWith(u'$')) {
        base = 16;
        text.remove(0, 1);
    } else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        text.remove(0, 2);
    }
    if (text.isEmpty() || text.size() > 20)
        return std::nullopt;
    for (const QChar c : text) {
        const bool digit = c >= u'0' && c <= u'9';
        const bool hexLetter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!digit && !(base == 16 && hexLetter))
            return std::nullopt;
    }
    bool ok = false;
    const quint64 magnitude = text.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    if (base == 16) {
        // Hexadecimal values are 32-bit patterns: $FFFFFFFF is -1.
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
        const quint32 pattern = quint32(magnitude);
        return int(negative ? 0u - pattern : pattern);
    }
    if (negative) {
        if (magnitude > quint64(INT_MAX) + 1)
            return std::nullopt;
        return int(-qint64(magnitude));
    }
    if (magnitude > quint64(INT_MAX))
        return std::nullopt;
    return int(magnitude);
}

} // namespace

// ---- TIniDocument ----------------------------------------------------------------

std::optional<TIniDocument> TIniDocument::FromBytes(const QByteArray &bytes)
{
    if (bytes.size() > TIniFile::MaxFileSize)
        return std::nullopt;
    TIniDocument document;
    const QString text = DecodeText(bytes, document.FUtf8Bom);
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        qsizetype next = end;
        if (next < size)
            next += (text[next] == u'\r' && next + 1 < size && text[next + 1] == u'\n') ? 2 : 1;
        document.FLines.append(TLine{text.mid(start, end - start), text.mid(end, next - end)});
        if (document.FEnding.isEmpty() && next > end)
            document.FEnding = text.mid(end, next - end);
        start = next;
    }
    if (document.FEnding.isEmpty())
        document.FEnding = NativeLineEnding;
    return document;
}

QByteArray TIniDocument::ToBytes() const
{
    QString text;
    for (const TLine &line : FLines) {
        text += line.text;
        text += line.ending;
    }
    QByteArray bytes = FUtf8Bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bytes += text.toUtf8();
    return bytes;
}

TIniDocument::TRange TIniDocument::FindSection(const QString &section, qsizetype from) const
{
    TRange range;
    const QString name = section.trimmed();
    for (qsizetype i = from; i < FLines.size(); ++i) {
        const TParsedLine parsed = ParseLine(FLines[i].text);
        if (parsed.kind != TLineKind::Section)
            continue;
        if (range.Found()) {
            range.end = i;
            return range;
        }
        if (SameName(parsed.name, name))
            range.header = i;
    }
    if (range.Found())
        range.end = FLines.size();
    return range;
}

qsizetype TIniDocument::FindKey(const TRange &range, const QString &key, QString *name,
                                QString *value) const
{
    const QString wanted = key.trimmed();
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        TParsedLine parsed = ParseLine(FLines[i].text);
        if (parsed.kind == TLineKind::Key && SameName(parsed.name, wanted)) {
            if (name)
                *name = parsed.name;
            if (value)
                *value = parsed.value;
            return i;
        }
    }
    return -1;
}

void TIniDocument::AppendLine(const QString &text)
{
    if (!FLines.isEmpty() && FLines.last().ending.isEmpty())
        FLines.last().ending = FEnding;
    FLines.append(TLine{text, FEnding});
}

std::optional<QString> TIniDocument::Value(const QString &section, const QString &key) const
{
    const TRange range = FindSection(section);
    QString value;
    if (!range.Found() || FindKey(range, key, nullptr, &value) < 0)
        return std::nullopt;
    return value;
}

QStringList TIniDocument::ReadSection(const QString &section) const
{
    QStringList keys;
    const TRange range = FindSection(section);
    if (!range.Found())
        return keys;
    QSet<QString> seen;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const TParsedLine parsed = ParseLine(FLines[i].text);
        if (parsed.kind == TLineKind::Key && AddOnce(seen, parsed.name))
            keys.append(parsed.name);
    }
    return keys;
}

QStringList TIniDocument::ReadSections() const
{
    QStringList sections;
    QSet<QString> seen;
    for (const TLine &line : FLines) {
        const TParsedLine parsed = ParseLine(line.text);
        if (parsed.kind == TLineKind::Section && AddOnce(seen, parsed.name))
            sections.append(parsed.name);
    }
    return sections;
}

bool TIniDocument::SectionExists(const QString &section) const
{
    return FindSection(section).Found();
}

bool TIniDocument::IsStorable(const QString &section, const QString &key, const QString &value)
{
    return !section.trimmed().isEmpty() && !HasLineBreak(section) && IsStorableKey(key)
        && !HasLineBreak(value);
}

bool TIniDocument::WriteString(const QString &section, const QString &key, const QString &value)
{
    if (!IsStorable(section, key, value))
        return false;
    const QString valueText = QuoteValue(value);
    const TRange range = FindSection(section);
    if (!range.Found()) {
        if (!FLines.isEmpty() && !FLines.last().text.trimmed().isEmpty())
            AppendLine(QString());
        AppendLine(u'[' + section.trimmed() + u']');
        AppendLine(key.trimmed() + u'=' + valueText);
        return true;
    }
    QString existingName;
    const qsizetype keyLine = FindKey(range, key, &existingName);
    if (keyLine >= 0) {
        const QString newText = existingName + u'=' + valueText;
        if (FLines[keyLine].text == newText)
            return false;
        FLines[keyLine].text = newText;
        return true;
    }
    // New keys go after the section's last non-blank line, so that a blank
    // line separating it from the next section stays where it is.
    qsizetype insertAt = range.header + 1;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (!FLines[i].text.trimmed().isEmpty())
            insertAt = i + 1;
    }
    if (FLines[insertAt - 1].ending.isEmpty())
        FLines[insertAt - 1].ending = FEnding;
    FLines.insert(insertAt, TLine{key.trimmed() + u'=' + valueText, FEnding});
    return true;
}

// One pass over the lines: drop(parsed line, whether the line lies inside a
// section of that name) decides which lines go.
template <typename Drop>
bool TIniDocument::RemoveLines(Drop drop, const QString &section)
{
    const QString name = section.trimmed();
    QList<TLine> kept;
    kept.reserve(FLines.size());
    bool inSection = false;
    for (TLine &line : FLines) {
        const TParsedLine parsed = ParseLine(line.text);
        if (parsed.kind == TLineKind::Section)
            inSection = false;
        if (!drop(parsed, inSection))
            kept.append(std::move(line));
        if (parsed.kind == TLineKind::Section)
            inSection = SameName(parsed.name, name);
    }
    const bool changed = kept.size() != FLines.size();
    FLines = std::move(kept);
    return changed;
}

bool TIniDocument::EraseSection(const QString &section)
{
    return RemoveLines([&](const TParsedLine &parsed, bool inSection) {
        return inSection || (parsed.kind == TLineKind::Section && SameName(parsed.name, section.trimmed()));
    }, section);
}

bool TIniDocument::DeleteKey(const QString &section, const QString &key)
{
    const QString wanted = key.trimmed();
    return RemoveLines([&](const TParsedLine &parsed, bool inSection) {
        return inSection && parsed.kind == TLineKind::Key && SameName(parsed.name, wanted);
    }, section);
}

// ---- TIniFile ----------------------------------------------------------------------

namespace {

// A missing file is an empty document; an existing file that cannot be read,
// is too large to be a settings file or is no regular file gives nothing. A
// pipe or a terminal would block the read (and a rewrite would replace it).
std::optional<TIniDocument> LoadDocument(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return TIniDocument::FromBytes(QByteArray());
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(TIniFile::MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return TIniDocument::FromBytes(bytes);
}

// Reading never fails: anything that cannot be read is an empty file.
TIniDocument ReadDocument(const QString &fileName)
{
    std::optional<TIniDocument> document = LoadDocument(fileName);
    return document ? *std::move(document) : *TIniDocument::FromBytes(QByteArray());
}

// The new text replaces the file only after it has been written completely.
// A file the user may not write stays as it is, although replacing it by name
// would be possible.
bool SaveDocument(const QString &fileName, const TIniDocument &document)
{
    const QFileInfo info(fileName);
    if (info.exists() && !info.isWritable())
        return false;
    return WriteFileAtomically(fileName, document.ToBytes()) == 0;
}

// Applies a change to the file's text and writes it back when it changed.
template <typename Change>
bool ChangeFile(const QString &fileName, Change change)
{
    std::optional<TIniDocument> document = LoadDocument(fileName);
    if (!document)
        return false;
    return !change(*document) || SaveDocument(fileName, *document);
}

} // namespace

TIniFile::TIniFile(const QString &fileName) : FFileName(fileName) {}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    return ReadDocument(FFileName).Value(section, key).value_or(def);
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    const std::optional<QString> value = ReadDocument(FFileName).Value(section, key);
    if (!value)
        return def;
    return ParseInteger(*value).value_or(def);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    if (!TIniDocument::IsStorable(section, key, value))
        return false;
    return ChangeFile(FFileName, [&](TIniDocument &document) {
        return document.WriteString(section, key, value);
    });
}

bool TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::EraseSection(const QString &section)
{
    return ChangeFile(FFileName,
                      [&](TIniDocument &document) { return document.EraseSection(section); });
}

bool TIniFile::DeleteKey(const QString &section, const QString &key)
{
    return ChangeFile(FFileName,
                      [&](TIniDocument &document) { return document.DeleteKey(section, key); });
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    return ReadDocument(FFileName).ReadSection(section);
}

QStringList TIniFile::ReadSections() const
{
    return ReadDocument(FFileName).ReadSections();
}

bool TIniFile::SectionExists(const QString &section) const
{
    return ReadDocument(FFileName).SectionExists(section);
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return ReadDocument(FFileName).Value(section, key).has_value();
}

} // namespace foundation
