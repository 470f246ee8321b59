#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <type_traits>
#include <variant>

namespace foundation {

// One typed argument of SafeFormat. Integers keep their width and signedness,
// because "%u" and "%x" show a negative 32-bit value as its 32-bit two's
// complement and a negative 64-bit value as its 64-bit one.
using TFormatArg = std::variant<int, unsigned, qint64, quint64, double, QString>;
using TFormatArgs = QList<TFormatArg>;

// Separators that "%f" and "%n" use. An empty text means "the default
// locale's" (QLocale() at the time of formatting).
struct TFormatSettings
{
    QString decimalSeparator;
    QString thousandSeparator;
};

// Formats a pattern of the syntax
//   "%" [index ":"] ["-"] [width] ["." precision] type
// with the types d u x s f n, and "%%" for a literal percent sign. The index
// counts from 0 and makes the following placeholders continue after it. The
// width pads with blanks (on the right with "-"). The precision is the least
// number of digits for d, u and x, the most characters for s, and the number
// of decimals for f and n (2 when absent). x writes upper-case digits; d, u
// and x take any integer argument, s only text, f and n only floating point.
// A pattern that does not fit its arguments (unknown or malformed placeholder,
// wrong argument type, too few arguments, a width, precision or index above
// MaxFormatWidth) gives the translated "Format error: " followed by the
// pattern. Never throws.
QString SafeFormatArgs(const QString &pattern, const TFormatArgs &args);
QString SafeFormatArgs(const QString &pattern, const TFormatArgs &args,
                       const TFormatSettings &settings);

// Same as SafeFormatArgs but reports a misfit by returning false instead of
// building the error text (used by callers that have a fallback).
bool TryFormatArgs(const QString &pattern, const TFormatArgs &args,
                   const TFormatSettings &settings, QString &result);

// Largest width, precision or argument index a pattern may ask for; bounds
// the output of patterns that come from translation catalogues.
inline constexpr int MaxFormatWidth = 4096;

namespace StringUtilsDetail {

template <typename T>
TFormatArg ToFormatArg(const T &value)
{
    using V = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<V, QString>) {
        return value;
    } else if constexpr (std::is_same_v<V, const char *> || std::is_same_v<V, char *>) {
        return QString::fromUtf8(value);
    } else if constexpr (std::is_array_v<V>
                         && std::is_same_v<std::remove_cv_t<std::remove_extent_t<V>>, char>) {
        return QString::fromUtf8(value);
    } else if constexpr (std::is_same_v<V, QChar>) {
        return QString(value);
    } else if constexpr (std::is_same_v<V, bool> || std::is_same_v<V, char>
                         || std::is_same_v<V, char16_t> || std::is_same_v<V, char32_t>
                         || std::is_same_v<V, wchar_t>) {
        static_assert(!sizeof(V), "SafeFormat: pass bool and character values as int or QString");
        return 0;
    } else if constexpr (std::is_integral_v<V> && std::is_signed_v<V>) {
        if constexpr (sizeof(V) <= sizeof(int))
            return static_cast<int>(value);
        else
            return static_cast<qint64>(value);
    } else if constexpr (std::is_integral_v<V> && std::is_unsigned_v<V>) {
        if constexpr (sizeof(V) <= sizeof(unsigned))
            return static_cast<unsigned>(value);
        else
            return static_cast<quint64>(value);
    } else if constexpr (std::is_floating_point_v<V>) {
        return static_cast<double>(value);
    } else if constexpr (std::is_enum_v<V>) {
        return ToFormatArg(static_cast<std::underlying_type_t<V>>(value));
    } else {
        static_assert(!sizeof(V), "SafeFormat: unsupported argument type");
        return 0;
    }
}

} // namespace StringUtilsDetail

// Typed front end of SafeFormatArgs: int, unsigned, qint64, quint64, double,
// QString and const char* (UTF-8) are accepted. Never throws.
template <typename... Args>
QString SafeFormat(const QString &pattern, const Args &...args)
{
    return SafeFormatArgs(pattern, TFormatArgs{StringUtilsDetail::ToFormatArg(args)...});
}

// count 1 -> oneText unchanged; count 0 with a non-empty noneText -> noneText;
// otherwise manyText formatted with count ("%u"). With grouping, counts of
// 10000 and more are written with the locale's thousands separator: every
// "%u" becomes "%.0n" and gets the count as a floating-point value. When that
// pattern does not fit (a translation that writes the count as "%d"), the
// count is written without separators instead of as a format error.
QString PluralText(const QString &none, const QString &one, const QString &many, int count,
                   bool grouping);

QString ChooseText(bool flag, const QString &ifTrue, const QString &ifFalse);

// A copy of text with every code unit equal to from replaced by to.
QString ReplaceChar(const QString &text, QChar from, QChar to);

// Text from a file for one line of terminal output: every control character
// (line breaks, tabs, escape sequences) written as \xNN and every direction
// control (embeddings, overrides, isolates, directional marks) as \uNNNN, so
// that the text stays on its line, reads in the order it is stored ("evil
// \u202Etxt.exe" cannot pass for "evilexe.txt") and nothing reaches the
// terminal as a command.
QString EscapeControlChars(const QString &text);

// True when some code unit with the top bits 11 is directly followed by one with
// the top bits 10: what a UTF-8 lead and continuation byte leave behind after
// being decoded as 8-bit text. The follower also counts when it is what
// Windows-1252 makes of a byte 0x80-0x9F (U+20AC for 0x80, U+201A for 0x82, ...),
// so that text decoded with that code page ("Å‚" for "ł") is recognised too.
bool IsMisreadUtf8(const QString &text);

} // namespace foundation
