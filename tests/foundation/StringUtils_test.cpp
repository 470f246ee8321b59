#include "foundation/StringUtils.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace foundation;

namespace {

// Sets the default locale for one test and restores the previous one.
class ScopedLocale
{
public:
    explicit ScopedLocale(const QLocale &locale) : FPrevious(QLocale()) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(FPrevious); }

private:
    QLocale FPrevious;
};

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

QString ErrorFor(const char *pattern)
{
    return QStringLiteral("Format error: ") + QString::fromUtf8(pattern);
}

struct TFormatCase
{
    const char *pattern;
    TFormatArgs args;
    const char *expected; // nullptr: the pattern does not fit its arguments
};

void PrintTo(const TFormatCase &c, std::ostream *os)
{
    *os << '"' << c.pattern << "\" with " << c.args.size() << " argument(s)";
}

class SafeFormatTest : public ::testing::TestWithParam<TFormatCase>
{
protected:
    ScopedLocale FLocale{English};
};

TEST_P(SafeFormatTest, FormatsOrReportsTheMisfit)
{
    const TFormatCase &c = GetParam();
    const QString expected = c.expected ? QString::fromUtf8(c.expected) : ErrorFor(c.pattern);
    EXPECT_EQ(SafeFormatArgs(QString::fromUtf8(c.pattern), c.args), expected);
}

constexpr qint64 Int64Min = std::numeric_limits<qint64>::min();
constexpr quint64 UInt64Max = std::numeric_limits<quint64>::max();

const TFormatCase FittingCases[] = {
    {"plain text", {}, "plain text"},
    {"", {}, ""},
    {"%d", {42}, "42"},
    {"%d", {-42}, "-42"},
    {"%5d|", {42}, "   42|"},
    {"%-5d|", {42}, "42   |"},
    {"%2d", {12345}, "12345"},
    {"%.4d", {-5}, "-0005"},
    {"%6.4d", {5}, "  0005"},
    {"%.0d", {0}, "0"},
    {"%d", {Int64Min}, "-9223372036854775808"},
    {"%d", {4000000000u}, "4000000000"},
    {"%d", {UInt64Max}, "18446744073709551615"},
    {"%u", {7}, "7"},
    {"%u", {-1}, "4294967295"},
    {"%u", {qint64(-1)}, "18446744073709551615"},
    {"%.3u", {7u}, "007"},
    {"%x", {255}, "FF"},
    {"%.4x", {255}, "00FF"},
    {"%x", {-1}, "FFFFFFFF"},
    {"%x", {qint64(-1)}, "FFFFFFFFFFFFFFFF"},
    {"%s", {QStringLiteral("abc")}, "abc"},
    {"%.2s", {QStringLiteral("abc")}, "ab"},
    {"%.9s", {QStringLiteral("abc")}, "abc"},
    {"%5s|", {QStringLiteral("abc")}, "  abc|"},
    {"%-5s|", {QStringLiteral("abc")}, "abc  |"},
    {"%s", {QString()}, ""},
    {"%f", {1.5}, "1.50"},
    {"%.0f", {2.5}, "3"},
    {"%.3f", {-1.5}, "-1.500"},
    {"%8.2f", {3.14159}, "    3.14"},
    {"%f", {std::nan("")}, "NAN"},
    {"%f", {-std::numeric_limits<double>::infinity()}, "-INF"},
    {"%n", {1234567.891}, "1,234,567.89"},
    {"%.0n", {12345.0}, "12,345"},
    {"%.0n", {-1234.0}, "-1,234"},
    {"%.0n", {999.0}, "999"},
    {"%%", {}, "%"},
    {"100%% of %s", {QStringLiteral("x")}, "100% of x"},
    {"%1:s %0:s", {QStringLiteral("a"), QStringLiteral("b")}, "b a"},
    {"%1:s %s", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, "b c"},
    {"%0:s%0:s", {QStringLiteral("a")}, "aa"},
    {"%1:-3d|", {1, 2}, "2  |"},
    {"%d", {1, 2}, "1"},
    {"%s: %d files, %.1f%%", {QStringLiteral("dir"), 3, 99.5}, "dir: 3 files, 99.5%"},
};
INSTANTIATE_TEST_SUITE_P(Fitting, SafeFormatTest, ::testing::ValuesIn(FittingCases));

const TFormatCase MisfitCases[] = {
    {"%d", {QStringLiteral("text")}, nullptr},
    {"%s", {5}, nullptr},
    {"%f", {5}, nullptr},
    {"%n", {qint64(5)}, nullptr},
    {"%d", {1.5}, nullptr},
    {"%x", {1.5}, nullptr},
    {"%u", {QStringLiteral("1")}, nullptr},
    {"%d", {}, nullptr},
    {"%d %d", {1}, nullptr},
    {"%2:d", {1, 2}, nullptr},
    {"%", {}, nullptr},
    {"abc%", {1}, nullptr},
    {"%5", {1}, nullptr},
    {"%-", {1}, nullptr},
    {"%.d", {1}, nullptr},
    {"%q", {1}, nullptr},
    {"%D", {1}, nullptr},
    {"%*d", {3, 1}, nullptr},
    {"%1:", {1, 2}, nullptr},
    {"%4097d", {1}, nullptr},
    {"%.5000f", {1.0}, nullptr},
    {"%99999999999999999999d", {1}, nullptr},
    {"%99999999999:d", {1}, nullptr},
    {"ok %s then %d", {QStringLiteral("x"), QStringLiteral("y")}, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Misfit, SafeFormatTest, ::testing::ValuesIn(MisfitCases));

TEST(SafeFormatTemplate, TakesTypedArgumentsOfEveryKind)
{
    ScopedLocale locale(English);
    const char *name = "größe";
    EXPECT_EQ(SafeFormat(QStringLiteral("%s=%d"), "x", 5), QStringLiteral("x=5"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%s"), name), QStringLiteral("größe"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%s/%s"), QStringLiteral("a"), QChar(u'b')),
              QStringLiteral("a/b"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%d %u"), long(-3), size_t(9)), QStringLiteral("-3 9"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%d"), short(-2)), QStringLiteral("-2"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%.1f"), 2.25f), QStringLiteral("2.3"));
}

TEST(SafeFormatTemplate, KeepsTheWidthOfIntegersForHexAndUnsigned)
{
    EXPECT_EQ(SafeFormat(QStringLiteral("%x"), -1), QStringLiteral("FFFFFFFF"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%x"), qint64(-1)), QStringLiteral("FFFFFFFFFFFFFFFF"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%u"), std::numeric_limits<quint64>::max()),
              QStringLiteral("18446744073709551615"));
}

TEST(SafeFormatTemplate, MisfitShowsThePatternButNotTheArguments)
{
    const QString result = SafeFormat(QStringLiteral("%d secret"), QStringLiteral("password"));
    EXPECT_EQ(result, QStringLiteral("Format error: %d secret"));
}

TEST(SafeFormatLocale, FixedAndGroupedUseTheDefaultLocale)
{
    ScopedLocale locale(German);
    EXPECT_EQ(SafeFormat(QStringLiteral("%f"), 1.5), QStringLiteral("1,50"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%.2n"), 1234.5), QStringLiteral("1.234,50"));
}

TEST(SafeFormatLocale, ExplicitSeparatorsWin)
{
    ScopedLocale locale(English);
    const TFormatSettings settings{QStringLiteral(","), QStringLiteral("'")};
    EXPECT_EQ(SafeFormatArgs(QStringLiteral("%.2n"), {1234567.5}, settings),
              QStringLiteral("1'234'567,50"));
}

TEST(SafeFormatLimits, LargestWidthAndPrecisionAreAccepted)
{
    EXPECT_EQ(SafeFormat(QStringLiteral("%4096d"), 1).size(), MaxFormatWidth);
    EXPECT_EQ(SafeFormat(QStringLiteral("%.4096s"), QStringLiteral("abc")), QStringLiteral("abc"));
    const QString fixed = SafeFormat(QStringLiteral("%.4096f"), 1e300);
    EXPECT_EQ(fixed.size(), 301 + 1 + 4096);
}

TEST(SafeFormatText, PrecisionNeverSplitsASurrogatePair)
{
    const QString text = QStringLiteral("a\U0001F600b"); // a, two code units, b
    EXPECT_EQ(SafeFormat(QStringLiteral("%.2s"), text), QStringLiteral("a"));
    EXPECT_EQ(SafeFormat(QStringLiteral("%.3s"), text), QStringLiteral("a\U0001F600"));
}

struct TPluralCase
{
    const char *none;
    const char *one;
    const char *many;
    int count;
    bool grouping;
    bool german;
    const char *expected;
};

class PluralTextTest : public ::testing::TestWithParam<TPluralCase>
{
};

TEST_P(PluralTextTest, PicksAndFormatsTheSentence)
{
    const TPluralCase &c = GetParam();
    ScopedLocale locale(c.german ? German : English);
    EXPECT_EQ(PluralText(QString::fromUtf8(c.none), QString::fromUtf8(c.one),
                         QString::fromUtf8(c.many), c.count, c.grouping),
              QString::fromUtf8(c.expected));
}

constexpr TPluralCase PluralCases[] = {
    {"", "one mail", "%u mails", 0, true, false, "0 mails"},
    {"no mails", "one mail", "%u mails", 0, true, false, "no mails"},
    {"no mails", "%u mail", "%u mails", 1, true, false, "%u mail"},
    {"", "one mail", "%u mails", 7, true, false, "7 mails"},
    {"", "one mail", "%u mails", 9999, true, false, "9999 mails"},
    {"", "one mail", "%u mails", 10000, true, false, "10,000 mails"},
    {"", "one mail", "%u mails", 10000, true, true, "10.000 mails"},
    {"", "one mail", "%u of %u", 12345, true, false, "Format error: %u of %u"},
    {"", "one mail", "%u mails, %u", 12345, false, false, "Format error: %u mails, %u"},
    {"", "one mail", "%u mails", 1234567, false, false, "1234567 mails"},
    {"", "one mail", "%d mails", -5, true, false, "-5 mails"},
    // A count named by "%d" gets its number, without separators.
    {"", "one mail", "%d mails", 12345, true, false, "12345 mails"},
    {"", "one mail", "%s mails", 3, true, false, "Format error: %s mails"},
};
INSTANTIATE_TEST_SUITE_P(Cases, PluralTextTest, ::testing::ValuesIn(PluralCases));

TEST(SmallTextHelpers, ChooseAndReplace)
{
    EXPECT_EQ(ChooseText(true, QStringLiteral("yes"), QStringLiteral("no")), QStringLiteral("yes"));
    EXPECT_EQ(ChooseText(false, QStringLiteral("yes"), QStringLiteral("no")), QStringLiteral("no"));

    const QString original = QStringLiteral("Profiles/abc/def");
    EXPECT_EQ(ReplaceChar(original, u'/', u'\\'), QStringLiteral("Profiles\\abc\\def"));
    EXPECT_EQ(original, QStringLiteral("Profiles/abc/def"));
    EXPECT_EQ(ReplaceChar(QString(), u'/', u'\\'), QString());
}

struct TMisreadCase
{
    const char16_t *text;
    bool misread;
};

class MisreadUtf8Test : public ::testing::TestWithParam<TMisreadCase>
{
};

TEST_P(MisreadUtf8Test, RecognisesLeadAndContinuationPairs)
{
    EXPECT_EQ(IsMisreadUtf8(QString::fromUtf16(GetParam().text)), GetParam().misread);
}

constexpr TMisreadCase MisreadCases[] = {
    {u"", false},
    {u"default", false},
    {u"M\u00fcller", false},            // correctly decoded
    {u"M\u00c3\u00bcller", true},       // "ü" read as Latin-1
    {u"\u00c3", false},                 // lead at the end
    {u"\u00c3 x", false},               // lead followed by ASCII
    {u"\u00bc\u00c3", false},           // continuation before the lead
    {u"\u00e2\u0080\u00a6", true},      // three-byte sequence, Latin-1
    {u"\u00c5\u201a", true},            // "ł" read as Windows-1252 (0x82)
    {u"\u00c4\u2122", true},            // "ę" read as Windows-1252 (0x99)
    {u"\u00e2\u20ac\u00a6", true},      // "…" read as Windows-1252
    {u"\u00c5\u0081", true},            // "Ł": 0x81 is undefined in Windows-1252
    {u"\u4e2d\u6587", false},           // CJK text
    {u"\u00e9t\u00e9", false},          // genuine Latin-1 text
};
INSTANTIATE_TEST_SUITE_P(Cases, MisreadUtf8Test, ::testing::ValuesIn(MisreadCases));

struct TEscapeCase
{
    const char *name;
    const char16_t *text;
    const char16_t *escaped;
};

class EscapeControlCharsTest : public ::testing::TestWithParam<TEscapeCase>
{
};

TEST_P(EscapeControlCharsTest, KeepsTheTextOnOneLineInItsStoredOrder)
{
    EXPECT_EQ(EscapeControlChars(QString::fromUtf16(GetParam().text)), QString::fromUtf16(GetParam().escaped));
}

constexpr TEscapeCase EscapeCases[] = {
    {"PlainText", u"Caf\u00e9 \u4e2d\u6587", u"Caf\u00e9 \u4e2d\u6587"},
    {"LineBreaksAndTab", u"a\r\nb\tc", u"a\\x0D\\x0Ab\\x09c"},
    {"TerminalEscapeAndDelete", u"\u001b[2J\u007f", u"\\x1B[2J\\x7F"},
    {"C1Control", u"x\u0085y", u"x\\x85y"},
    {"RightToLeftOverride", u"evil\u202etxt.exe", u"evil\\u202Etxt.exe"},
    {"IsolatesAndMarks", u"\u2066\u2069\u200e\u200f\u061c", u"\\u2066\\u2069\\u200E\\u200F\\u061C"},
    {"Empty", u"", u""},
};
INSTANTIATE_TEST_SUITE_P(Cases, EscapeControlCharsTest, ::testing::ValuesIn(EscapeCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
