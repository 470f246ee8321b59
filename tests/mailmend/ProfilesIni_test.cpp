#include "mailmend/core/ProfilesIni.h"

#include "foundation/PathUtils.h"
#include "support/TempDir.h"

#include <QDir>

using namespace foundation;
using namespace mailmend;

namespace {

class ProfilesIniTest : public TempDirTest
{
protected:
    // Writes profiles.ini into the test folder (Thunderbird's folder) and
    // creates the given profile folders below it.
    void Prepare(const QByteArray &ini, const QStringList &folders)
    {
        writeFile(QStringLiteral("profiles.ini"), ini);
        for (const QString &folder : folders)
            QDir(dir()).mkpath(folder);
    }

    bool Load()
    {
        files = TThunderbirdFiles(dir());
        return LoadProfiles(list, files);
    }

    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < list.Count(); ++i)
            names.append(list.Name(i));
        return names;
    }

    TProfileList list;
    TThunderbirdFiles files;
};

TEST_F(ProfilesIniTest, ReadsEveryNumberedSectionInNumberOrder)
{
    // Eleven profiles and more: Profile10 and later count too, in the order
    // of their numbers; gaps are allowed, leading zeros and other names are
    // not profile sections.
    Prepare("[Profile10]\nName=k\nPath=Profiles/k\n"
            "[Profile0]\nName=a\nPath=Profiles/a\n"
            "[profile2]\nName=c\nPath=Profiles/c\n"
            "[Profile123456789012345678901]\nName=huge\nPath=Profiles/a\n"
            "[Profile9]\nName=i\nPath=Profiles/a\n"
            "[Profile01]\nName=zero\nPath=Profiles/a\n"
            "[Profile]\nName=none\nPath=Profiles/a\n"
            "[Profile3x]\nName=x\nPath=Profiles/a\n",
            {QStringLiteral("Profiles/a"), QStringLiteral("Profiles/c"), QStringLiteral("Profiles/k")});
    EXPECT_TRUE(Load());
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("i"), QStringLiteral("k"),
                                    QStringLiteral("huge")}));
}

TEST_F(ProfilesIniTest, EmptyPathIsSkipped)
{
    Prepare("[Profile0]\nName=empty\nPath=\n[Profile1]\nName=missing\n[Profile2]\nName=real\nPath=Profiles/r\n",
            {QStringLiteral("Profiles/r")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(Names(), QStringList{QStringLiteral("real")});
}

TEST_F(ProfilesIniTest, RelativePathMarkedAbsoluteStaysBelowThunderbird)
{
    // The current folder holds a folder of the same name; it must not be taken.
    QDir(dir()).mkpath(QStringLiteral("cwd/Profiles/rel"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(path(QStringLiteral("cwd")));
    Prepare("[Profile0]\nName=p\nIsRelative=0\nPath=Profiles/rel\n", {QStringLiteral("Profiles/rel")});
    const bool loaded = Load();
    QDir::setCurrent(previous);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(list.GetFullPath(QStringLiteral("p")), AddBackslash(dir()) + QStringLiteral("Profiles/rel"));
}

TEST_F(ProfilesIniTest, ManyKeysAreReadWithTheFirstOccurrenceWinning)
{
    // A section with tens of thousands of keys, most of them repeated in other
    // letter case, and many sections.
    QByteArray text = "[Profile0]\nName=first\nPath=Profiles/a\n";
    for (int i = 0; i < 30000; ++i)
        text.append("Key").append(QByteArray::number(i)).append("=v\nNAME=later").append(QByteArray::number(i)).append('\n');
    for (int i = 0; i < 2000; ++i)
        text.append("[Other").append(QByteArray::number(i)).append("]\nx=1\n");
    Prepare(text, {QStringLiteral("Profiles/a")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(Names(), QStringList{QStringLiteral("first")});
    const TMemIniFile ini(QString::fromLatin1(text));
    EXPECT_EQ(ini.ReadString(QStringLiteral("profile0"), QStringLiteral("key29999"), QString()), QStringLiteral("v"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("OTHER1999"), QStringLiteral("X"), QString()), QStringLiteral("1"));
}

TEST_F(ProfilesIniTest, RelativeAndAbsolutePaths)
{
    const QString absolute = path(QStringLiteral("elsewhere/x"));
    Prepare("[Profile0]\nName=rel\nPath=Profiles/abcd.default\n"
            "[Profile1]\nName=abs\nIsRelative=0\nPath=" + absolute.toUtf8() + "\n",
            {QStringLiteral("Profiles/abcd.default"), QStringLiteral("elsewhere/x")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(list.GetFullPath(QStringLiteral("REL")), AddBackslash(dir()) + QStringLiteral("Profiles/abcd.default"));
    EXPECT_EQ(list.GetPathName(QStringLiteral("rel")), QStringLiteral("<Thunderbird>/Profiles/abcd.default"));
    EXPECT_EQ(list.GetFullPath(QStringLiteral("abs")), absolute);
    EXPECT_EQ(list.GetPathName(QStringLiteral("abs")), absolute);
    EXPECT_EQ(list.GetPathName(QStringLiteral("none")), QString());
    EXPECT_EQ(list.GetProfileName(QStringLiteral("none")), QStringLiteral("none"));
}

TEST_F(ProfilesIniTest, MissingFoldersAndDuplicateNamesAreLeftOut)
{
    Prepare("[Profile0]\nName=Gone\nPath=Profiles/missing\n"
            "[Profile1]\nName=gone\nPath=Profiles/there\n"
            "[Profile2]\nName=GONE\nPath=Profiles/also\n",
            {QStringLiteral("Profiles/there"), QStringLiteral("Profiles/also")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(Names(), QStringList{QStringLiteral("gone")});
    EXPECT_EQ(list.Profile(0).Path, QStringLiteral("Profiles/there"));
}

TEST_F(ProfilesIniTest, IniRules)
{
    // Keys before the first section and comments are ignored; blanks are
    // trimmed; the first occurrence of a section and of a key counts; flags
    // are decimal or 0x hexadecimal, other text gives the default.
    Prepare("Name=outside\n; comment\n"
            "  [ Profile0 ]  \r\n  name = First  \r\nName=Second\rPath=Profiles/p=q\nIsRelative=0x1\nDefault=yes\n"
            "[profile0]\nName=Again\n",
            {QStringLiteral("Profiles/p=q")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(Names(), QStringList{QStringLiteral("First")});
    EXPECT_TRUE(list.Profile(0).Relative);
    EXPECT_EQ(list.Profile(0).Path, QStringLiteral("Profiles/p=q"));

    const TMemIniFile ini(QStringLiteral("[s]\na=0x1F\nb=-3\nc=12x\nd=\n"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("A"), 7), 31);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("s"), QStringLiteral("b"), 7), -3);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("s"), QStringLiteral("c"), 7), 7);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("s"), QStringLiteral("d"), 7), 7);
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("s"), QStringLiteral("d")));
}

TEST_F(ProfilesIniTest, NoFileLeavesTheListAlone)
{
    files = TThunderbirdFiles(dir());
    list.AddProfile(QStringLiteral("kept"), QStringLiteral("p"), QStringLiteral("/p"), false, false);
    EXPECT_FALSE(LoadProfiles(list, files));
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(ProfilesIniTest, Utf8WithoutMarkIsReadAgainAsUtf8)
{
    Prepare("[Profile0]\nName=J\xC3\xB6rg\nDefault=1\nPath=Profiles/k\xC3\xB6ln\n"
            "[Profile1]\nName=other\nPath=Profiles/other\n",
            {QStringLiteral("Profiles/k\u00F6ln"), QStringLiteral("Profiles/other")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(files.TbEnc, TIniEncoding::Utf8);
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("J\u00F6rg"), QStringLiteral("other")}));
    // The garbled name of the first reading does not stay the default.
    EXPECT_EQ(list.DefProfile, QStringLiteral("J\u00F6rg"));
    EXPECT_EQ(list.GetProfileName(QStringLiteral("J\u00F6rg")), QStringLiteral("Default user"));
}

TEST_F(ProfilesIniTest, EightBitAndUtf16Files)
{
    // Windows-1252 text without a mark: 0xE9 is e acute, 0x80 the euro sign.
    Prepare("[Profile0]\nName=Ren\xE9" "e\x80\nPath=Profiles/p\n", {QStringLiteral("Profiles/p")});
    ASSERT_TRUE(Load());
    EXPECT_EQ(files.TbEnc, TIniEncoding::Ansi);
    EXPECT_EQ(Names(), QStringList{QStringLiteral("Ren\u00E9e\u20AC")});

    const QString text = QStringLiteral("[Profile0]\r\nName=\u00DCber\r\nPath=Profiles/p\r\n");
    for (const bool big : {false, true}) {
        QByteArray bytes = big ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        for (const QChar c : text) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            bytes.append(big ? hi : lo).append(big ? lo : hi);
        }
        Prepare(bytes, {});
        ASSERT_TRUE(Load());
        EXPECT_EQ(files.TbEnc, big ? TIniEncoding::Utf16BE : TIniEncoding::Utf16LE);
        EXPECT_EQ(Names(), QStringList{QStringLiteral("\u00DCber")});
    }
}

// ---------------------------------------------------------------------------
// Which profile is the default

struct TDefaultCase
{
    const char *name;
    const char *ini;
    const char *expected;       // entry name DefaultProfile gives
    const char *shownAsDefault; // entry whose GetProfileName is "Default user"
};

constexpr TDefaultCase DefaultCases[] = {
    {"SingleProfile", "[Profile0]\nName=only\nPath=a.x\n", "only", "only"},
    {"DefaultFlag", "[Profile0]\nName=one\nPath=a.default\n[Profile1]\nName=two\nPath=b.x\nDefault=1\n", "two", "two"},
    {"FirstFlagWins", "[Profile0]\nName=one\nPath=a.x\nDefault=1\n[Profile1]\nName=two\nPath=b.x\nDefault=1\n", "one", "one"},
    {"InstallSection", "[Profile0]\nName=default\nPath=a.default\n[Profile1]\nName=two\nPath=b.default-release\n"
                       "[InstallABC]\nDefault=b.default-release\n", "two", "two"},
    {"FlagBeforeInstall", "[Profile0]\nName=one\nPath=a.x\nDefault=1\n[Profile1]\nName=two\nPath=b.x\n"
                          "[InstallABC]\nDefault=b.x\n", "one", "one"},
    {"NamedDefault", "[Profile0]\nName=one\nPath=a.default\n[Profile1]\nName=DEFAULT\nPath=b.x\n", "DEFAULT", "DEFAULT"},
    {"MissingNameIsDefault", "[Profile0]\nName=one\nPath=a.x\n[Profile1]\nPath=b.x\n", "default", "default"},
    {"DotDefaultExtension", "[Profile0]\nName=one\nPath=a.default-release\n[Profile1]\nName=two\nPath=b.DEFAULT\n", "two", "two"},
    {"FirstEntry", "[Profile0]\nName=one\nPath=a.default-release\n[Profile1]\nName=two\nPath=b.x\n", "one", "one"},
};

class ProfileDefault : public ProfilesIniTest, public ::testing::WithParamInterface<TDefaultCase>
{
};

TEST_P(ProfileDefault, FollowsTheRules)
{
    Prepare(GetParam().ini, {QStringLiteral("a.x"), QStringLiteral("b.x"), QStringLiteral("a.default"),
                             QStringLiteral("b.default-release"), QStringLiteral("a.default-release"),
                             QStringLiteral("b.DEFAULT")});
    ASSERT_TRUE(Load());
    const QString expected = QLatin1String(GetParam().expected);
    EXPECT_EQ(list.DefProfile, expected);
    EXPECT_EQ(list.DefaultProfile(), expected);
    for (int i = 0; i < list.Count(); ++i) {
        const bool isDefault = list.Name(i) == QLatin1String(GetParam().shownAsDefault);
        EXPECT_EQ(list.Profile(i).Default, isDefault) << list.Name(i).toStdString();
        EXPECT_EQ(list.GetProfileName(list.Name(i)) == QStringLiteral("Default user"), isDefault)
            << list.Name(i).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, ProfileDefault, ::testing::ValuesIn(DefaultCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ProfileList, KeepsTheChosenDefaultAcrossReloadsButNotAVanishedOne)
{
    TProfileList list;
    list.AddProfile(QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("/a"), false, false);
    list.AddProfile(QStringLiteral("b"), QStringLiteral("b"), QStringLiteral("/b"), false, false);
    list.SetDefault(QStringLiteral("B"));
    EXPECT_TRUE(list.Profile(1).Default);
    list.Clear();
    list.AddProfile(QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("/a"), false, false);
    list.AddProfile(QStringLiteral("b"), QStringLiteral("b"), QStringLiteral("/b"), false, false);
    EXPECT_EQ(list.DefaultProfile(), QStringLiteral("B"));
    EXPECT_EQ(list.Profile(1).ProfileName, QStringLiteral("Default user"));

    list.Clear();
    list.AddProfile(QStringLiteral("c"), QStringLiteral("c"), QStringLiteral("/c"), false, false);
    list.AddProfile(QStringLiteral("d"), QStringLiteral("d"), QStringLiteral("/d"), false, false);
    EXPECT_EQ(list.DefaultProfile(), QStringLiteral("c"));
}

} // namespace
