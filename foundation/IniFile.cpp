#include "foundation/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <climits>
#include <optional>

namespace {

// One line of the file, kept as read so that a rewrite changes only the lines
// it means to change.
struct TLine
{
    QString text;   // without its line break
    QString ending; // "\r\n", "\n", "\r" or empty for a last line without one
};

enum class TLineKind { Other, Section, Key };

struct TParsedLine
{
    TLineKind kind = TLineKind::Other;
    QString name;
    QString value;
};

struct TDocument
{
    QList<TLine> lines;
    QString ending;       // line break for new lines
    bool utf8Bom = false; // kept when the file is rewritten
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

QString DecodeText(const QByteArray &bytes, bool &utf8Bom)
{
    utf8Bom = false;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        utf8Bom = true;
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        return decoder.decode(QByteArrayView(bytes).sliced(3));
    }
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        return decoder.decode(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringConverter::Utf16BE, QStringConverter::Flag::Stateless);
        return decoder.decode(QByteArrayView(bytes).sliced(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Older files were written in an 8-bit code page; Latin-1 keeps every byte.
    return QString::fromLatin1(bytes);
}

QList<TLine> SplitLines(const QString &text)
{
    QList<TLine> lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        qsizetype next = end;
        if (next < size) {
            next += (text[next] == u'\r' && next + 1 < size && text[next + 1] == u'\n') ? 2 : 1;
        }
        lines.append(TLine{text.mid(start, end - start), text.mid(end, next - end)});
        start = next;
    }
    return lines;
}

QString FirstLineEnding(const QList<TLine> &lines)
{
    for (const TLine &line : lines) {
        if (!line.ending.isEmpty())
            return line.ending;
    }
    return NativeLineEnding;
}

// Reads the file. A missing file gives an empty document; an existing file
// that cannot be read, or is too large to be a settings file, gives nothing.
std::optional<TDocument> LoadDocument(const QString &fileName)
{
    TDocument document;
    document.ending = NativeLineEnding;
    QFile file(fileName);
    if (!file.exists())
        return document;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(TIniFile::MaxFileSize + 1);
    if (bytes.size() > TIniFile::MaxFileSize || file.error() != QFileDevice::NoError)
        return std::nullopt;
    document.lines = SplitLines(DecodeText(bytes, document.utf8Bom));
    document.ending = FirstLineEnding(document.lines);
    return document;
}

// Reading never fails: anything that cannot be read is an empty file.
TDocument ReadDocument(const QString &fileName)
{
    return LoadDocument(fileName).value_or(TDocument{});
}

bool SaveDocument(const QString &fileName, const TDocument &document)
{
    QString text;
    for (const TLine &line : document.lines) {
        text += line.text;
        text += line.ending;
    }
    QByteArray bytes = document.utf8Bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bytes += text.toUtf8();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Line range of the first section with the name: [header, end).
struct TSectionRange
{
    qsizetype header = -1;
    qsizetype end = -1;
    bool found() const { return header >= 0; }
};

TSectionRange FindSection(const QList<TLine> &lines, const QString &section, qsizetype from = 0)
{
    TSectionRange range;
    const QString name = section.trimmed();
    for (qsizetype i = from; i < lines.size(); ++i) {
        const TParsedLine parsed = ParseLine(lines[i].text);
        if (parsed.kind != TLineKind::Section)
            continue;
        if (range.found()) {
            range.end = i;
            return range;
        }
        if (SameName(parsed.name, name))
            range.header = i;
    }
    if (range.found())
        range.end = lines.size();
    return range;
}

qsizetype FindKey(const QList<TLine> &lines, const TSectionRange &range, const QString &key,
                  TParsedLine *parsedOut = nullptr)
{
    const QString name = key.trimmed();
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        TParsedLine parsed = ParseLine(lines[i].text);
        if (parsed.kind == TLineKind::Key && SameName(parsed.name, name)) {
            if (parsedOut)
                *parsedOut = std::move(parsed);
            return i;
        }
    }
    return -1;
}

std::optional<QString> LookUp(const QString &fileName, const QString &section, const QString &key)
{
    const TDocument document = ReadDocument(fileName);
    const TSectionRange range = FindSection(document.lines, section);
    if (!range.found())
        return std::nullopt;
    TParsedLine parsed;
    if (FindKey(document.lines, range, key, &parsed) < 0)
        return std::nullopt;
    return parsed.value;
}

bool HasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool IsStorableSection(const QString &section)
{
    return !section.trimmed().isEmpty() && !HasLineBreak(section);
}

// A key must read back as a key of the section: no "=", and nothing that makes
// its line a comment or a section header.
bool IsStorableKey(const QString &key)
{
    const QString name = key.trimmed();
    return !name.isEmpty() && !HasLineBreak(name) && !name.contains(u'=')
        && !name.startsWith(u'[') && !name.startsWith(u';') && !name.startsWith(u'#');
}

// Appends a line; the line before it gets a line break first when it has none.
void AppendLine(TDocument &document, const QString &text)
{
    if (!document.lines.isEmpty() && document.lines.last().ending.isEmpty())
        document.lines.last().ending = document.ending;
    document.lines.append(TLine{text, document.ending});
}

// True when the name was not yet in the set (letter case ignored).
bool AddOnce(QSet<QString> &seen, const QString &name)
{
    const qsizetype before = seen.size();
    seen.insert(name.toCaseFolded());
    return seen.size() != before;
}

std::optional<qint64> ParseInteger(const QString &value)
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
        const qint64 pattern = qint32(quint32(magnitude));
        return negative ? qint64(qint32(0u - quint32(pattern))) : pattern;
    }
    if (negative)
        return magnitude <= quint64(INT_MAX) + 1 ? std::optional<qint64>(-qint64(magnitude)) : std::nullopt;
    return magnitude <= quint64(INT_MAX) ? std::optional<qint64>(qint64(magnitude)) : std::nullopt;
}

} // namespace

TIniFile::TIniFile(const QString &fileName) : m_fileName(fileName) {}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    return LookUp(m_fileName, section, key).value_or(def);
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    const std::optional<QString> value = LookUp(m_fileName, section, key);
    if (!value)
        return def;
    const std::optional<qint64> number = ParseInteger(*value);
    return number ? int(*number) : def;
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    if (!IsStorableSection(section) || !IsStorableKey(key) || HasLineBreak(value))
        return false;
    std::optional<TDocument> document = LoadDocument(m_fileName);
    if (!document)
        return false;
    QList<TLine> &lines = document->lines;
    const QString keyName = key.trimmed();
    const QString valueText = QuoteValue(value);
    const TSectionRange range = FindSection(lines, section);
    if (!range.found()) {
        if (!lines.isEmpty() && !lines.last().text.trimmed().isEmpty())
            AppendLine(*document, QString());
        AppendLine(*document, u'[' + section.trimmed() + u']');
        AppendLine(*document, keyName + u'=' + valueText);
        return SaveDocument(m_fileName, *document);
    }
    TParsedLine existing;
    const qsizetype keyLine = FindKey(lines, range, key, &existing);
    if (keyLine >= 0) {
        const QString newText = existing.name + u'=' + valueText;
        if (lines[keyLine].text == newText)
            return true;
        lines[keyLine].text = newText;
        return SaveDocument(m_fileName, *document);
    }
    // New keys go after the section's last non-blank line, so that a blank
    // line separating it from the next section stays where it is.
    qsizetype insertAt = range.header + 1;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (!lines[i].text.trimmed().isEmpty())
            insertAt = i + 1;
    }
    if (lines[insertAt - 1].ending.isEmpty())
        lines[insertAt - 1].ending = document->ending;
    lines.insert(insertAt, TLine{keyName + u'=' + valueText, document->ending});
    return SaveDocument(m_fileName, *document);
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
    std::optional<TDocument> document = LoadDocument(m_fileName);
    if (!document)
        return false;
    bool changed = false;
    for (TSectionRange range = FindSection(document->lines, section); range.found();
         range = FindSection(document->lines, section, range.header)) {
        document->lines.remove(range.header, range.end - range.header);
        changed = true;
    }
    return !changed || SaveDocument(m_fileName, *document);
}

bool TIniFile::DeleteKey(const QString &section, const QString &key)
{
    std::optional<TDocument> document = LoadDocument(m_fileName);
    if (!document)
        return false;
    bool changed = false;
    for (TSectionRange range = FindSection(document->lines, section); range.found();
         range = FindSection(document->lines, section, range.end)) {
        for (qsizetype line; (line = FindKey(document->lines, range, key)) >= 0;) {
            document->lines.remove(line);
            --range.end;
            changed = true;
        }
    }
    return !changed || SaveDocument(m_fileName, *document);
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    const TDocument document = ReadDocument(m_fileName);
    const TSectionRange range = FindSection(document.lines, section);
    QStringList keys;
    QSet<QString> seen;
    if (!range.found())
        return keys;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const TParsedLine parsed = ParseLine(document.lines[i].text);
        if (parsed.kind == TLineKind::Key && AddOnce(seen, parsed.name))
            keys.append(parsed.name);
    }
    return keys;
}

QStringList TIniFile::ReadSections() const
{
    const TDocument document = ReadDocument(m_fileName);
    QStringList sections;
    QSet<QString> seen;
    for (const TLine &line : document.lines) {
        const TParsedLine parsed = ParseLine(line.text);
        if (parsed.kind == TLineKind::Section && AddOnce(seen, parsed.name))
            sections.append(parsed.name);
    }
    return sections;
}

bool TIniFile::SectionExists(const QString &section) const
{
    return FindSection(ReadDocument(m_fileName).lines, section).found();
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return LookUp(m_fileName, section, key).has_value();
}
