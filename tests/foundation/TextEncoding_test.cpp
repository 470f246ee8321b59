#include "foundation/TextEncoding.h"

#include <gtest/gtest.h>

using namespace foundation;


TEST(Cp1252, EveryByteRoundTripsAndOthersBecomeQuestionMarks)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = Cp1252ToUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(UnicodeToCp1252(text), all);
    EXPECT_EQ(text.at(0x80), QChar(0x20AC));
    EXPECT_EQ(UnicodeToCp1252(QString::fromUtf8("a€ä\xE2\x82\xAC\xF0\x9F\x98\x80z")),
              QByteArray("a\x80\xE4\x80?z"));
    EXPECT_EQ(UnicodeToCp1252(QString::fromUtf8("\xD0\x96")), QByteArray("?"));
}

TEST(Cp1252, UndefinedBytesKeepTheirValueAndHighCharsAreRecognised)
{
    for (const uchar b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        const QString text = Cp1252ToUnicode(QByteArray(1, char(b)));
        EXPECT_EQ(text.at(0).unicode(), b);
    }
    EXPECT_TRUE(IsCp1252HighChar(u'\u20AC'));
    EXPECT_TRUE(IsCp1252HighChar(u'\u0178'));
    EXPECT_FALSE(IsCp1252HighChar(u'A'));
    EXPECT_FALSE(IsCp1252HighChar(u'\u00E4'));
}

struct BomCase
{
    const char *name;
    const char *bytes;
    int length;
    TByteOrderMark mark;
    int size;
};

constexpr BomCase BomCases[] = {
    {"Empty", "", 0, TByteOrderMark::None, 0},
    {"PlainText", "abc", 3, TByteOrderMark::None, 0},
    {"Utf8", "\xEF\xBB\xBF" "abc", 6, TByteOrderMark::Utf8, 3},
    {"Utf8MarkAlone", "\xEF\xBB\xBF", 3, TByteOrderMark::Utf8, 3},
    {"Utf8MarkCutShort", "\xEF\xBB", 2, TByteOrderMark::None, 0},
    {"Utf16LE", "\xFF\xFE" "a\0", 4, TByteOrderMark::Utf16LE, 2},
    {"Utf16BE", "\xFE\xFF\0a", 4, TByteOrderMark::Utf16BE, 2},
    {"OneByteOfAMark", "\xFF", 1, TByteOrderMark::None, 0},
    {"MarkNotAtTheStart", "a\xEF\xBB\xBF", 4, TByteOrderMark::None, 0},
};

class ByteOrderMark : public ::testing::TestWithParam<BomCase>
{
};

TEST_P(ByteOrderMark, IsDetectedWithItsSize)
{
    const BomCase &c = GetParam();
    const TByteOrderMark mark = DetectByteOrderMark(QByteArrayView(c.bytes, c.length));
    EXPECT_EQ(mark, c.mark);
    EXPECT_EQ(ByteOrderMarkSize(mark), c.size);
}

INSTANTIATE_TEST_SUITE_P(Cases, ByteOrderMark, ::testing::ValuesIn(BomCases),
                         [](const auto &info) { return std::string(info.param.name); });
