#include "foundation/StringUtils.h"

#include "foundation/LangUtils.h"
#include "foundation/TextEncoding.h"

#include <QLocale>

#include <cmath>
#include <optional>

namespace foundation {

namespace {

QString FormatErrorText(const QString &pattern)
{
    return Translate("Format error: ") + pattern;
}

// One parsed placeholder.
struct TPlaceholder
{
    int index = -1;     // -1: the argument after the previous one
    bool leftAlign = false;
    int width = -1;     // -1: none
    int precision = -1; // -1: none
    QChar type;
};

// Reads the pattern one placeholder at a time; every misfit ends the reading
// with a failure that stays set.
class TPatternReader
{
public:
    explicit TPatternReader(const QString &pattern) : FPattern(pattern) {}

    bool atEnd() const { return FPos >= FPattern.size(); }
    QChar peek() const { return atEnd() ? QChar() : FPattern[FPos]; }
    QChar take() { return atEnd() ? QChar() : FPattern[FPos++]; }
    bool takeIf(QChar c)
    {
        if (atEnd() || peek() != c)
            return false;
        ++FPos;
        return true;
    }
    bool atDigit() const { return !atEnd() && peek() >= u'0' && peek() <= u'9'; }

    // Digits up to MaxFormatWidth; nullopt when there are none, failure when
    // the number is larger.
    std::optional<int> number(bool &failed)
    {
        if (!atDigit())
            return std::nullopt;
        int value = 0;
        while (atDigit()) {
            value = value * 10 + (take().unicode() - u'0');
            if (value > MaxFormatWidth) {
                failed = true;
                return std::nullopt;
            }
        }
        return value;
    }

    // Parses what follows a "%" (not "%%"); false for a malformed placeholder.
    bool placeholder(TPlaceholder &spec)
    {
        bool failed = false;
        std::optional<int> first = number(failed);
        if (failed)
            return false;
        if (first && takeIf(u':')) {
            spec.index = *first;
            first.reset();
        }
        if (!first) {
            spec.leftAlign = takeIf(u'-');
            first = number(failed);
            if (failed)
                return false;
        }
        spec.width = first.value_or(-1);
        if (takeIf(u'.')) {
            const std::optional<int> precision = number(failed);
            if (failed || !precision)
                return false;
            spec.precision = *precision;
        }
        if (atEnd())
            return false;
        spec.type = take();
        return true;
    }

private:
    const QString &FPattern;
    qsizetype FPos = 0;
};

QString ZeroFilled(const QString &digits, int minDigits)
{
    return minDigits > digits.size() ? QString(minDigits - digits.size(), u'0') + digits : digits;
}

QString SignedDigits(bool negative, quint64 magnitude, int precision)
{
    const QString digits = ZeroFilled(QString::number(magnitude), precision);
    return negative ? u'-' + digits : digits;
}

quint64 Magnitude(qint64 value)
{
    // Computed in unsigned arithmetic so that the smallest qint64 has one too.
    return value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
}

// The argument as an unsigned number of its own width ("%u", "%x").
std::optional<quint64> AsUnsigned(const TFormatArg &arg)
{
    if (const int *v = std::get_if<int>(&arg))
        return static_cast<unsigned>(*v);
    if (const unsigned *v = std::get_if<unsigned>(&arg))
        return *v;
    if (const qint64 *v = std::get_if<qint64>(&arg))
        return static_cast<quint64>(*v);
    if (const quint64 *v = std::get_if<quint64>(&arg))
        return *v;
    return std::nullopt;
}

std::optional<QString> FormatDecimal(const TFormatArg &arg, int precision)
{
    if (const int *v = std::get_if<int>(&arg))
        return SignedDigits(*v < 0, Magnitude(*v), precision);
    if (const qint64 *v = std::get_if<qint64>(&arg))
        return SignedDigits(*v < 0, Magnitude(*v), precision);
    if (const std::optional<quint64> v = AsUnsigned(arg))
        return SignedDigits(false, *v, precision);
    return std::nullopt;
}

QString InsertThousands(const QString &digits, const QString &separator)
{
    QString result;
    result.reserve(digits.size() + digits.size() / 3 * separator.size());
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            result += separator;
        result += digits[i];
    }
    return result;
}

std::optional<QString> FormatFixed(const TFormatArg &arg, int precision, bool thousands,
                                   const TFormatSettings &settings)
{
    const double *value = std::get_if<double>(&arg);
    if (!value)
        return std::nullopt;
    if (std::isnan(*value))
        return QStringLiteral("NAN");
    if (std::isinf(*value))
        return *value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

    const QString plain = QString::number(*value, 'f', precision < 0 ? 2 : precision);
    const bool negative = plain.startsWith(u'-');
    const QString unsignedText = negative ? plain.mid(1) : plain;
    const qsizetype dot = unsignedText.indexOf(u'.');
    QString whole = dot < 0 ? unsignedText : unsignedText.left(dot);
    const QString decimals = dot < 0 ? QString() : unsignedText.mid(dot + 1);

    const QLocale locale;
    if (thousands) {
        whole = InsertThousands(whole, settings.thousandSeparator.isEmpty()
                                           ? locale.groupSeparator()
                                           : settings.thousandSeparator);
    }
    QString result = negative ? u'-' + whole : whole;
    if (!decimals.isEmpty()) {
        result += settings.decimalSeparator.isEmpty() ? locale.decimalPoint()
                                                      : settings.decimalSeparator;
        result += decimals;
    }
    return result;
}

std::optional<QString> FormatText(const TFormatArg &arg, int precision)
{
    const QString *text = std::get_if<QString>(&arg);
    if (!text)
        return std::nullopt;
    if (precision < 0 || precision >= text->size())
        return *text;
    qsizetype length = precision;
    // Never leave half of a surrogate pair behind.
    if (length > 0 && (*text)[length - 1].isHighSurrogate())
        --length;
    return text->left(length);
}

std::optional<QString> FormatOne(const TPlaceholder &spec, const TFormatArg &arg,
                                 const TFormatSettings &settings)
{
    switch (spec.type.unicode()) {
    case u'd':
        return FormatDecimal(arg, spec.precision);
    case u'u':
        if (const std::optional<quint64> v = AsUnsigned(arg))
            return ZeroFilled(QString::number(*v), spec.precision);
        return std::nullopt;
    case u'x':
        if (const std::optional<quint64> v = AsUnsigned(arg))
            return ZeroFilled(QString::number(*v, 16).toUpper(), spec.precision);
        return std::nullopt;
    case u's':
        return FormatText(arg, spec.precision);
    case u'f':
        return FormatFixed(arg, spec.precision, false, settings);
    case u'n':
        return FormatFixed(arg, spec.precision, true, settings);
    default:
        return std::nullopt;
    }
}

QString Aligned(const QString &text, int width, bool leftAlign)
{
    if (width <= text.size())
        return text;
    const QString fill(width - text.size(), u' ');
    return leftAlign ? text + fill : fill + text;
}

} // namespace

QString SafeFormatArgs(const QString &pattern, const TFormatArgs &args)
{
    return SafeFormatArgs(pattern, args, TFormatSettings{});
}

QString SafeFormatArgs(const QString &pattern, const TFormatArgs &args,
                       const TFormatSettings &settings)
{
    QString result;
    if (TryFormatArgs(pattern, args, settings, result))
        return result;
    return FormatErrorText(pattern);
}

bool TryFormatArgs(const QString &pattern, const TFormatArgs &args,
                   const TFormatSettings &settings, QString &result)
{
    result.clear();
    TPatternReader reader(pattern);
    qsizetype nextArg = 0;
    while (!reader.atEnd()) {
        const QChar c = reader.take();
        if (c != u'%') {
            result += c;
            continue;
        }
        if (reader.takeIf(u'%')) {
            result += u'%';
            continue;
        }
        TPlaceholder spec;
        if (!reader.placeholder(spec))
            return false;
        const qsizetype argIndex = spec.index >= 0 ? spec.index : nextArg;
        if (argIndex >= args.size())
            return false;
        nextArg = argIndex + 1;
        const std::optional<QString> text = FormatOne(spec, args[argIndex], settings);
        if (!text)
            return false;
        result += Aligned(*text, spec.width, spec.leftAlign);
    }
    return true;
}

QString PluralText(const QString &none, const QString &one, const QString &many, int count,
                   bool grouping)
{
    if (count == 1)
        return one;
    if (count == 0 && !none.isEmpty())
        return none;
    if (grouping && count >= 10000) {
        QString grouped = many;
        grouped.replace(QStringLiteral("%u"), QStringLiteral("%.0n"));
        QString result;
        if (TryFormatArgs(grouped, {static_cast<double>(count)}, TFormatSettings{}, result))
            return result;
        // A pattern that names the count in another way ("%d", "%0:u") still
        // gets its number, only without the separators.
    }
    return SafeFormat(many, count);
}

QString ChooseText(bool flag, const QString &ifTrue, const QString &ifFalse)
{
    return flag ? ifTrue : ifFalse;
}

QString ReplaceChar(const QString &text, QChar from, QChar to)
{
    QString result = text;
    result.replace(from, to);
    return result;
}

namespace {

// Characters that reorder the text around them: embeddings, overrides and
// isolates, the directional marks and the Arabic letter mark.
bool IsBidiControl(char16_t ch)
{
    return (ch >= 0x202A && ch <= 0x202E) || (ch >= 0x2066 && ch <= 0x2069) || ch == 0x200E
           || ch == 0x200F || ch == 0x061C;
}

} // namespace

QString EscapeControlChars(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar ch : text) {
        if (ch.category() == QChar::Other_Control)
            result += QStringLiteral("\\x") + QStringLiteral("%1").arg(ch.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else if (IsBidiControl(ch.unicode()))
            result += QStringLiteral("\\u") + QStringLiteral("%1").arg(ch.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        else
            result += ch;
    }
    return result;
}

namespace {

bool IsLeadUnit(char16_t u)
{
    return (u & 0xC0) == 0xC0;
}

// A continuation byte read as 8-bit text: U+0080-U+00BF, or what
// Windows-1252 makes of the bytes 0x80-0x9F.
bool IsContinuationUnit(char16_t u)
{
    return (u & 0xC0) == 0x80 || IsCp1252HighChar(u);
}

} // namespace

bool IsMisreadUtf8(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (IsLeadUnit(text[i].unicode()) && IsContinuationUnit(text[i + 1].unicode()))
            return true;
    }
    return false;
}

} // namespace foundation
