#include "foundation/NumberUtils.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <limits>

using namespace foundation;

namespace {

constexpr qint64 Int64Min = std::numeric_limits<qint64>::min();
constexpr qint64 Int64Max = std::numeric_limits<qint64>::max();

struct TPadCase
{
    int digits;
    qint64 value;
    const char *expected;
};

class ZeroPaddedTest : public ::testing::TestWithParam<TPadCase>
{
};

TEST_P(ZeroPaddedTest, FillsWithZerosAndNeverCuts)
{
    const TPadCase &c = GetParam();
    EXPECT_EQ(FormatZeroPadded(c.digits, c.value), QString::fromLatin1(c.expected));
}

constexpr TPadCase ZeroPaddedCases[] = {
    {4, 8, "0008"},
    {4, 12345, "12345"},
    {0, 0, "0"},
    {0, 5, "5"},
    {-2, 5, "5"},
    {3, -7, "-007"}, // sign before the zeros; the digits count without it
    {2, -123, "-123"},
    {1, Int64Min, "-9223372036854775808"},
    {20, Int64Max, "09223372036854775807"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ZeroPaddedTest, ::testing::ValuesIn(ZeroPaddedCases));

class PaddedTest : public ::testing::TestWithParam<TPadCase>
{
};

TEST_P(PaddedTest, AlignsInTheField)
{
    const TPadCase &c = GetParam();
    EXPECT_EQ(FormatPadded(c.digits, c.value), QString::fromLatin1(c.expected));
}

constexpr TPadCase PaddedCases[] = {
    {0, 42, "42"},
    {5, 42, "   42"},
    {5, -42, "  -42"},
    {2, 12345, "12345"},
    {-5, 42, "42   "}, // negative width: left-aligned
    {-1, 12345, "12345"},
    {0, Int64Min, "-9223372036854775808"},
};
INSTANTIATE_TEST_SUITE_P(Cases, PaddedTest, ::testing::ValuesIn(PaddedCases));

struct TGroupCase
{
    const char *text;
    int group;
    char16_t separator;
    const char *expected;
};

class GroupSeparatorTest : public ::testing::TestWithParam<TGroupCase>
{
};

TEST_P(GroupSeparatorTest, CountsGroupsFromTheRight)
{
    const TGroupCase &c = GetParam();
    EXPECT_EQ(InsertGroupSeparators(QString::fromLatin1(c.text), c.group, QChar(c.separator)),
              QString::fromLatin1(c.expected));
}

constexpr TGroupCase GroupCases[] = {
    {"1234567", 3, u' ', "1 234 567"},
    {"123", 3, u' ', "123"},
    {"1234", 3, u' ', "1 234"},
    {"-123", 3, u' ', "- 123"}, // the sign counts like a digit
    {"  1234", 3, u' ', "  1 234"},
    {"123456", 2, u'.', "12.34.56"},
    {"12345", 1, u',', "1,2,3,4,5"},
    {"", 3, u' ', ""},
    {"12345", 0, u' ', "12345"},
    {"12345", -3, u' ', "12345"},
};
INSTANTIATE_TEST_SUITE_P(Cases, GroupSeparatorTest, ::testing::ValuesIn(GroupCases));

struct TGroupedCase
{
    int digits;
    int group;
    bool zeroPad;
    qint64 value;
    const char *expected;
};

class FormatGroupedTest : public ::testing::TestWithParam<TGroupedCase>
{
};

TEST_P(FormatGroupedTest, PadsThenGroupsWithBlanks)
{
    const TGroupedCase &c = GetParam();
    EXPECT_EQ(FormatGrouped(c.digits, c.group, c.zeroPad, c.value),
              QString::fromLatin1(c.expected));
}

constexpr TGroupedCase GroupedCases[] = {
    {0, 3, false, 0, "0"},
    {0, 3, false, 999, "999"},
    {0, 3, false, 1000, "1 000"},
    {0, 3, false, 4294967295LL, "4 294 967 295"},
    {0, 3, false, -1234, "-1 234"},
    {6, 3, true, 1234, "001 234"},
    {6, 3, false, 1234, "  1 234"},
    {0, 0, false, 1234567, "1234567"},
    {0, 3, false, Int64Max, "9 223 372 036 854 775 807"},
};
INSTANTIATE_TEST_SUITE_P(Cases, FormatGroupedTest, ::testing::ValuesIn(GroupedCases));

TEST(FormatGroupedLocale, SeparatorIsABlankWhateverTheLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = FormatGrouped(0, 3, false, 1234567);
    QLocale::setDefault(previous);
    EXPECT_EQ(text, QStringLiteral("1 234 567"));
}

struct TSizeCase
{
    bool decimalUnits;
    bool trimWhole;
    char16_t separator;
    qint64 size;
    const char *expected;
};

class FormatSizeTest : public ::testing::TestWithParam<TSizeCase>
{
};

TEST_P(FormatSizeTest, ChoosesUnitAndDecimals)
{
    const TSizeCase &c = GetParam();
    EXPECT_EQ(FormatSize(c.decimalUnits, c.trimWhole, QChar(c.separator), c.size),
              QString::fromLatin1(c.expected));
}

constexpr qint64 KiB = 1024;
constexpr qint64 MiB = 1024 * KiB;
constexpr qint64 GiB = 1024 * MiB;

constexpr TSizeCase SizeCases[] = {
    {false, false, u'.', 0, "0 B"},
    {false, false, u'.', 1023, "1023 B"},
    {false, false, u'.', -1, "-1 B"},
    {false, false, u'.', Int64Min, "-9223372036854775808 B"},
    {false, false, u'.', 1024, "1.00 KiB"},
    {false, false, u'.', 1536, "1.50 KiB"},
    {false, false, u'.', 102400, "100 KiB"},
    {false, false, u'.', 1047552, "1023 KiB"},
    {false, false, u'.', MiB, "1.00 MiB"},
    {false, false, u'.', 10 * MiB, "10.0 MiB"},
    {false, false, u'.', 3 * GiB, "3.00 GiB"},
    {false, false, u'.', 5 * 1024 * GiB, "5120.00 GiB"}, // nothing above GiB
    {false, false, u',', 1536, "1,50 KiB"},
    {true, false, u'.', 999, "999 B"},
    {true, false, u'.', 1000, "1.00 kB"},
    {true, false, u'.', 1500000, "1.50 MB"},
    {true, false, u'.', 2000000000, "2.00 GB"},
    {false, true, u'.', 1024, "1 KiB"},
    {false, true, u'.', 1075, "1.05 KiB"},
    {false, true, u'.', 10291, "10 KiB"},
    {false, true, u'.', 10445, "10.2 KiB"},
    {false, true, u'.', 5 * 1024 * GiB, "5120 GiB"},
    {false, true, u'.', 1023, "1023 B"},
};
INSTANTIATE_TEST_SUITE_P(Cases, FormatSizeTest, ::testing::ValuesIn(SizeCases));

TEST(FormatSizeLocale, NullSeparatorTakesTheLocales)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = FormatSize(false, false, QChar(), 1536);
    const QString forced = FormatSize(false, false, u'.', 1536);
    QLocale::setDefault(previous);
    EXPECT_EQ(german, QStringLiteral("1,50 KiB"));
    EXPECT_EQ(forced, QStringLiteral("1.50 KiB"));
}

} // namespace
