#include "foundation/IniFile.h"
#include "support/TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <ostream>

using namespace foundation;

// Readable failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class IniFileTest : public TempDirTest
{
protected:
    QString file() const { return path(QStringLiteral("settings.ini")); }
    QByteArray contents() const { return readFile(file()); }
};

// ---- Reading ------------------------------------------------------------

struct ReadCase
{
    const char *name;
    const char *content;
    const char *section;
    const char *key;
    const char *expected; // nullptr: the default
};

constexpr ReadCase ReadCases[] = {
    {"Plain", "[Language]\nLangID=de\n", "Language", "LangID", "de"},
    {"SectionCaseIgnored", "[LANGUAGE]\nLangID=de\n", "language", "LangID", "de"},
    {"KeyCaseIgnored", "[Language]\nLANGID=de\n", "Language", "langid", "de"},
    {"CrLfLines", "[A]\r\nk=v\r\n", "A", "k", "v"},
    {"LoneCrLines", "[A]\rk=v\r", "A", "k", "v"},
    {"NoFinalLineBreak", "[A]\nk=v", "A", "k", "v"},
    {"BlanksAroundNamesAndValue", "  [ A ]  \n  k  =  v w  \n", "A", "k", "v w"},
    {"QuotedValueKeepsBlanks", "[A]\nk=\" v \"\n", "A", "k", " v "},
    {"LoneQuote", "[A]\nk=\"\n", "A", "k", "\""},
    {"EmptyValue", "[A]\nk=\n", "A", "k", ""},
    {"ValueWithEquals", "[A]\nk=a=b\n", "A", "k", "a=b"},
    {"SectionNameUpToLastBracket", "[a]b]\nk=v\n", "a]b", "k", "v"},
    {"FirstKeyWins", "[A]\nk=1\nK=2\n", "A", "k", "1"},
    {"FirstSectionWins", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
    {"KeyOfOtherSection", "[A]\nx=1\n[B]\nk=2\n", "A", "k", nullptr},
    {"KeyBeforeAnySection", "k=1\n[A]\nx=2\n", "A", "k", nullptr},
    {"CommentLine", "[A]\n;k=1\n#k=2\nk=3\n", "A", "k", "3"},
    {"LineWithoutEquals", "[A]\nk\nk=4\n", "A", "k", "4"},
    {"HeaderWithoutBracketIsNoSection", "[A]\n[B\nk=5\n", "A", "k", "5"},
    {"MissingSection", "[A]\nk=1\n", "B", "k", nullptr},
    {"EmptyFile", "", "A", "k", nullptr},
    {"Utf8", "[A]\nk=Gr\xC3\xBC\xC3\x9F""e\n", "A", "k", "Gr\xC3\xBC\xC3\x9F""e"},
    {"Utf8Bom", "\xEF\xBB\xBF[A]\nk=\xE2\x82\xAC\n", "A", "k", "\xE2\x82\xAC"},
    {"Latin1Fallback", "[A]\nk=Gr\xFC\xDF""e\n", "A", "k", "Gr\xC3\xBC\xC3\x9F""e"},
    {"Utf8BesideALatin1Line", "[A]\nk=Gr\xC3\xBC\xC3\x9F""e\nx=\xFC\n", "A", "k", "Gr\xC3\xBC\xC3\x9F""e"},
    {"Latin1LineBesideUtf8", "[A]\nx=\xE2\x82\xAC\nk=\xFC\n", "A", "k", "\xC3\xBC"},
};

class IniFileReadTest : public IniFileTest, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(IniFileReadTest, ReadsValueOrDefault)
{
    const ReadCase &c = GetParam();
    writeFile(QStringLiteral("settings.ini"), QByteArray(c.content));
    const TIniFile ini(file());
    const QString def = QStringLiteral("<default>");
    const QString expected = c.expected ? QString::fromUtf8(c.expected) : def;
    EXPECT_EQ(ini.ReadString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), def), expected);
    EXPECT_EQ(ini.ValueExists(QString::fromUtf8(c.section), QString::fromUtf8(c.key)),
              c.expected != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniFileReadTest, ::testing::ValuesIn(ReadCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(IniFileTest, ReadsUtf16WithByteOrderMark)
{
    const QString text = QStringLiteral("[Language]\r\nLangID=\u00e9t\r\n");
    QStringEncoder le(QStringConverter::Utf16LE);
    QStringEncoder be(QStringConverter::Utf16BE);
    writeFile(QStringLiteral("le.ini"), QByteArray("\xFF\xFE") + QByteArray(le.encode(text)));
    writeFile(QStringLiteral("be.ini"), QByteArray("\xFE\xFF") + QByteArray(be.encode(text)));
    EXPECT_EQ(TIniFile(path(QStringLiteral("le.ini"))).ReadString("Language", "LangID", ""),
              QStringLiteral("\u00e9t"));
    EXPECT_EQ(TIniFile(path(QStringLiteral("be.ini"))).ReadString("Language", "LangID", ""),
              QStringLiteral("\u00e9t"));
}

TEST_F(IniFileTest, LoneUtf16SurrogatesReadAsReplacementCharacter)
{
    // "[A\xDEDE]" "k=v": a low surrogate without its high one.
    writeFile(QStringLiteral("settings.ini"),
              QByteArray("\xFF\xFE[\0A\0\xDE\xDE]\0\n\0k\0=\0v\0", 18));
    TIniFile ini(file());
    const QString section = QStringLiteral("A\uFFFD");
    EXPECT_EQ(ini.ReadSections(), QStringList({section}));
    ASSERT_TRUE(ini.WriteString(section, "x", "1"));
    EXPECT_EQ(ini.ReadSections(), QStringList({section}));
    EXPECT_EQ(ini.ReadString(section, "k", ""), QStringLiteral("v"));
}

TEST_F(IniFileTest, MissingOrUnreadableFileReadsAsDefaults)
{
    const TIniFile missing(path(QStringLiteral("nothing.ini")));
    EXPECT_EQ(missing.ReadString("A", "k", "d"), QStringLiteral("d"));
    EXPECT_EQ(missing.ReadInteger("A", "k", 7), 7);
    EXPECT_TRUE(missing.ReadBool("A", "k", true));
    EXPECT_FALSE(missing.SectionExists("A"));
    EXPECT_TRUE(missing.ReadSections().isEmpty());

    // A folder in place of the file.
    TIniFile folder(dir());
    EXPECT_EQ(folder.ReadString("A", "k", "d"), QStringLiteral("d"));
    EXPECT_FALSE(folder.WriteString("A", "k", "v"));
}

#ifndef _WIN32
TEST_F(IniFileTest, PipeReadsAsDefaultsWithoutBlockingAndIsNotReplaced)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
    TIniFile ini(file());
    EXPECT_EQ(ini.ReadString("A", "k", "d"), QStringLiteral("d"));
    EXPECT_FALSE(ini.WriteString("A", "k", "v"));
    EXPECT_FALSE(QFileInfo(file()).isFile());
}
#endif

TEST_F(IniFileTest, OversizedFileReadsAsEmptyAndIsNotRewritten)
{
    QByteArray big("[A]\nk=v\n");
    big.append(QByteArray(TIniFile::MaxFileSize, ';'));
    writeFile(QStringLiteral("settings.ini"), big);
    TIniFile ini(file());
    EXPECT_EQ(ini.ReadString("A", "k", "d"), QStringLiteral("d"));
    EXPECT_FALSE(ini.WriteString("A", "k", "w"));
    EXPECT_EQ(contents().size(), big.size());
}

TEST_F(IniFileTest, ListsSectionsAndKeysOnceInFileOrder)
{
    writeFile(QStringLiteral("settings.ini"),
              "[Config]\nTop=1\nLeft=2\nTOP=3\n; note\n[GzFiles]\nf1=a\n[config]\nWidth=4\n");
    const TIniFile ini(file());
    EXPECT_EQ(ini.ReadSections(), QStringList({"Config", "GzFiles"}));
    EXPECT_EQ(ini.ReadSection("CONFIG"), QStringList({"Top", "Left"}));
    EXPECT_TRUE(ini.ReadSection("none").isEmpty());
    EXPECT_TRUE(ini.SectionExists("gzfiles"));
    EXPECT_FALSE(ini.SectionExists("Gz"));
}

// ---- Integers -------------------------------------------------------------

struct IntegerCase
{
    const char *value;
    int expected; // with default -99
};

constexpr IntegerCase IntegerCases[] = {
    {"0", 0},           {"42", 42},           {" 42 ", 42},           {"-17", -17},
    {"+5", 5},          {"$1F", 31},          {"$1f", 31},            {"0x1F", 31},
    {"0X10", 16},       {"-$10", -16},        {"$FFFFFFFF", -1},      {"$7FFFFFFF", 2147483647},
    {"2147483647", 2147483647},               {"-2147483648", -2147483647 - 1},
    {"2147483648", -99}, {"-2147483649", -99}, {"$100000000", -99},    {"12a", -99},
    {"1.5", -99},       {"", -99},            {"$", -99},             {"0x", -99},
    {"--1", -99},       {"abc", -99},         {"1 2", -99},           {"99999999999999999999999", -99},
};

class IniFileIntegerTest : public IniFileTest, public ::testing::WithParamInterface<IntegerCase>
{
};

TEST_P(IniFileIntegerTest, ReadsIntegerOrDefault)
{
    const IntegerCase &c = GetParam();
    writeFile(QStringLiteral("settings.ini"), QByteArray("[A]\nn=") + c.value + "\n");
    EXPECT_EQ(TIniFile(file()).ReadInteger("A", "n", -99), c.expected) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniFileIntegerTest, ::testing::ValuesIn(IntegerCases));

TEST_F(IniFileTest, BoolIsAnIntegerNotZero)
{
    writeFile(QStringLiteral("settings.ini"), "[A]\nt=1\nm=-3\nf=0\nw=yes\n");
    const TIniFile ini(file());
    EXPECT_TRUE(ini.ReadBool("A", "t", false));
    EXPECT_TRUE(ini.ReadBool("A", "m", false));
    EXPECT_FALSE(ini.ReadBool("A", "f", true));
    EXPECT_TRUE(ini.ReadBool("A", "w", true));
    EXPECT_FALSE(ini.ReadBool("A", "w", false));
}

// ---- Writing ---------------------------------------------------------------

TEST_F(IniFileTest, WriteCreatesFileAndSection)
{
    TIniFile ini(file());
    ASSERT_TRUE(ini.WriteString("Config", "Dir", "/home/u"));
    ASSERT_TRUE(ini.WriteInteger("Config", "Top", -5));
    ASSERT_TRUE(ini.WriteBool("Other", "Flag", true));
#ifdef _WIN32
    EXPECT_EQ(contents(), "[Config]\r\nDir=/home/u\r\nTop=-5\r\n\r\n[Other]\r\nFlag=1\r\n");
#else
    EXPECT_EQ(contents(), "[Config]\nDir=/home/u\nTop=-5\n\n[Other]\nFlag=1\n");
#endif
    EXPECT_EQ(ini.ReadInteger("config", "top", 0), -5);
    EXPECT_TRUE(ini.ReadBool("other", "flag", false));
}

TEST_F(IniFileTest, WriteKeepsOtherLinesAsTheyWere)
{
    const QByteArray original = "; header comment\r\n"
                                "[A]\r\n"
                                "  Key = old  \r\n"
                                "other=\"quoted\"\r\n"
                                "junk line\r\n"
                                "\r\n"
                                "[B]\r\n"
                                "x=1";
    writeFile(QStringLiteral("settings.ini"), original);
    TIniFile ini(file());
    ASSERT_TRUE(ini.WriteString("a", "KEY", "new"));
    ASSERT_TRUE(ini.WriteString("A", "added", "2"));
    ASSERT_TRUE(ini.WriteString("B", "y", "3"));
    EXPECT_EQ(contents(), "; header comment\r\n"
                          "[A]\r\n"
                          "Key=new\r\n"
                          "other=\"quoted\"\r\n"
                          "junk line\r\n"
                          "added=2\r\n"
                          "\r\n"
                          "[B]\r\n"
                          "x=1\r\n"
                          "y=3\r\n");
}

TEST_F(IniFileTest, UnchangedValueLeavesFileUntouched)
{
    writeFile(QStringLiteral("settings.ini"), "[A]\nk = v\n");
    TIniFile ini(file());
    ASSERT_TRUE(ini.WriteString("A", "k", "v"));
    EXPECT_EQ(contents(), "[A]\nk=v\n");
    ASSERT_TRUE(ini.WriteString("A", "k", "v"));
    EXPECT_EQ(contents(), "[A]\nk=v\n");
}

TEST_F(IniFileTest, EveryValueReadsBackAsWritten)
{
    const QStringList values = {"", " lead", "trail ", "\"q\"", "\"", "a=b", "; not a comment",
                                "[x]", QStringLiteral("\u00fc\u20ac\U0001F600"), "$10", "  "};
    TIniFile ini(file());
    for (const QString &value : values) {
        ASSERT_TRUE(ini.WriteString("S", "k", value)) << value.toStdString();
        EXPECT_EQ(ini.ReadString("S", "k", "<none>"), value) << value.toStdString();
    }
}

TEST_F(IniFileTest, WrittenAsUtf8KeepingAUtf8ByteOrderMark)
{
    writeFile(QStringLiteral("bom.ini"), "\xEF\xBB\xBF[A]\nk=1\n");
    TIniFile bom(path(QStringLiteral("bom.ini")));
    ASSERT_TRUE(bom.WriteString("A", "k", QStringLiteral("\u00e4")));
    EXPECT_EQ(readFile(bom.FileName()), "\xEF\xBB\xBF[A]\nk=\xC3\xA4\n");

    QStringEncoder le(QStringConverter::Utf16LE);
    writeFile(QStringLiteral("utf16.ini"),
              QByteArray("\xFF\xFE") + QByteArray(le.encode(QStringLiteral("[A]\nk=1\n"))));
    TIniFile utf16(path(QStringLiteral("utf16.ini")));
    ASSERT_TRUE(utf16.WriteString("A", "k", QStringLiteral("\u00e4")));
    EXPECT_EQ(readFile(utf16.FileName()), "[A]\nk=\xC3\xA4\n");
}

TEST_F(IniFileTest, RewriteKeepsUtf8LinesBesideALatin1Line)
{
    writeFile(QStringLiteral("settings.ini"), "[A]\nk=\xE2\x82\xAC\nedited=\xFC\n");
    TIniFile ini(file());
    ASSERT_TRUE(ini.WriteString("A", "n", "1"));
    EXPECT_EQ(contents(), "[A]\nk=\xE2\x82\xAC\nedited=\xC3\xBC\nn=1\n");
}

TEST_F(IniFileTest, RefusesNamesAndValuesThatCannotBeStored)
{
    writeFile(QStringLiteral("settings.ini"), "[A]\nk=v\n");
    TIniFile ini(file());
    EXPECT_FALSE(ini.WriteString("A", "k", "two\nlines"));
    EXPECT_FALSE(ini.WriteString("A", "k", "cr\rvalue"));
    EXPECT_FALSE(ini.WriteString("A", "a=b", "v"));
    EXPECT_FALSE(ini.WriteString("A", "[B]", "v"));
    EXPECT_FALSE(ini.WriteString("A", ";c", "v"));
    EXPECT_FALSE(ini.WriteString("A", " ", "v"));
    EXPECT_FALSE(ini.WriteString("", "k", "v"));
    EXPECT_FALSE(ini.WriteString("A\n[B", "k", "v"));
    EXPECT_EQ(contents(), "[A]\nk=v\n");
}

#ifndef _WIN32
// Users keep settings files behind links and with private permissions; the
// atomic replacement must not turn the link into a file or widen the rights.
TEST_F(IniFileTest, WriteGoesThroughALinkAndKeepsPermissions)
{
    const QString target = writeFile(QStringLiteral("real.ini"), "[A]\nk=1\n");
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::link(target, file()));
    TIniFile ini(file());
    ASSERT_TRUE(ini.WriteString("A", "k", "2"));
    EXPECT_TRUE(QFileInfo(file()).isSymLink());
    EXPECT_EQ(readFile(target), "[A]\nk=2\n");
    const QFile::Permissions groupAndOthers(0x0077);
    EXPECT_EQ(QFileInfo(target).permissions() & groupAndOthers, QFile::Permissions());
}
#endif

TEST_F(IniFileTest, SectionNamesWithBracketsReadBackAsWritten)
{
    TIniFile ini(file());
    for (const QString &section : {QStringLiteral("a]b"), QStringLiteral("[x"), QStringLiteral("y]")}) {
        ASSERT_TRUE(ini.WriteString(section, "k", section)) << section.toStdString();
        EXPECT_EQ(ini.ReadString(section, "k", "<none>"), section) << section.toStdString();
    }
    EXPECT_EQ(ini.ReadSections(), QStringList({"a]b", "[x", "y]"}));
}

TEST_F(IniFileTest, WriteIntoMissingFolderFailsWithoutCreatingIt)
{
    TIniFile ini(path(QStringLiteral("no/such/folder/settings.ini")));
    EXPECT_FALSE(ini.WriteString("A", "k", "v"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("no"))));
}

TEST_F(IniFileTest, EraseSectionRemovesEveryOccurrenceWithItsKeys)
{
    writeFile(QStringLiteral("settings.ini"), "[A]\na=1\n[B]\nb=2\n[a]\nc=3\n[C]\nd=4\n");
    TIniFile ini(file());
    ASSERT_TRUE(ini.EraseSection("a"));
    EXPECT_EQ(contents(), "[B]\nb=2\n[C]\nd=4\n");
    EXPECT_FALSE(ini.SectionExists("A"));
    EXPECT_EQ(ini.ReadString("A", "c", "gone"), QStringLiteral("gone"));
    ASSERT_TRUE(ini.EraseSection("missing"));
    EXPECT_EQ(contents(), "[B]\nb=2\n[C]\nd=4\n");
    ASSERT_TRUE(ini.EraseSection("C"));
    EXPECT_EQ(contents(), "[B]\nb=2\n");
}

TEST_F(IniFileTest, DeleteKeyRemovesEveryOccurrence)
{
    writeFile(QStringLiteral("settings.ini"), "[A]\nk=1\nx=2\nK=3\n[B]\nk=4\n[a]\nk=5\n");
    TIniFile ini(file());
    ASSERT_TRUE(ini.DeleteKey("A", "k"));
    EXPECT_EQ(contents(), "[A]\nx=2\n[B]\nk=4\n[a]\n");
}

TEST_F(IniFileTest, NoCacheBetweenInstancesOrCalls)
{
    TIniFile writer(file());
    const TIniFile reader(file());
    ASSERT_TRUE(writer.WriteString("A", "k", "1"));
    EXPECT_EQ(reader.ReadString("A", "k", ""), QStringLiteral("1"));
    writeFile(QStringLiteral("settings.ini"), "[A]\nk=2\n");
    EXPECT_EQ(reader.ReadString("A", "k", ""), QStringLiteral("2"));
}

} // namespace
