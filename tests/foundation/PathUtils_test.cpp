#include "foundation/PathUtils.h"

#include "support/TempDir.h"
#include "support/ScopedEnv.h"

#include <QDir>
#include <gtest/gtest.h>

#include <optional>

using namespace foundation;

namespace {

} // namespace

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

void PrintTo(const TPathStyle &style, std::ostream *os)
{
    *os << (style.windows ? "windows" : "posix");
}

namespace {

// The cases below that hold for both path forms are written with "/" as the
// separator and run once per form, "/" turned into the form's separator.
QString InForm(const char *text, const TPathStyle &style)
{
    QString result = QString::fromUtf8(text);
    result.replace(u'/', style.delim);
    return result;
}

const char *FormName(const TPathStyle &style)
{
    return style.windows ? "windows" : "posix";
}

// ---- rules shared by both forms ---------------------------------------------

struct TExtensionCase
{
    const char *name;
    const char *extension; // GetExtension
    const char *removed;   // RemoveExtension
};

class ExtensionTest
    : public ::testing::TestWithParam<std::tuple<TPathStyle, TExtensionCase>>
{
};

TEST_P(ExtensionTest, ScansBackToTheDotOrSeparator)
{
    const auto &[style, c] = GetParam();
    SCOPED_TRACE(FormName(style));
    EXPECT_EQ(PathRules::GetExtension(InForm(c.name, style), style), InForm(c.extension, style));
    EXPECT_EQ(PathRules::RemoveExtension(InForm(c.name, style), style), InForm(c.removed, style));
}

constexpr TExtensionCase ExtensionCases[] = {
    {"/dir.x/file", "", "/dir.x/file"},
    {"archive.tar.gz", "gz", "archive.tar"},
    {".profile", "profile", ""},
    {"name.", "", "name"},
    {"noext", "", "noext"},
    {"", "", ""},
    {"/dir/a.b", "b", "/dir/a"},
    {"C:/dir/Inbox.msf", "msf", "C:/dir/Inbox"},
};

struct TSetExtensionCase
{
    const char *name;
    const char *extension;
    int mode;
    const char *expected;
};

class SetExtensionTest
    : public ::testing::TestWithParam<std::tuple<TPathStyle, TSetExtensionCase>>
{
};

TEST_P(SetExtensionTest, FollowsTheMode)
{
    const auto &[style, c] = GetParam();
    SCOPED_TRACE(FormName(style));
    EXPECT_EQ(PathRules::SetExtension(InForm(c.name, style), QString::fromUtf8(c.extension),
                                      c.mode, style),
              InForm(c.expected, style));
}

constexpr TSetExtensionCase SetExtensionCases[] = {
    {"Inbox", "msf", seAddUnlessPresent, "Inbox.msf"},
    {"Archive.2023", "msf", seAddUnlessPresent, "Archive.2023.msf"},
    {"Trash.MSF", "msf", seAddUnlessPresent, "Trash.MSF"},
    {"name.", "msf", seAddUnlessPresent, "name.msf"},
    {"a.msf", ".msf", seAddUnlessPresent, "a.msf.msf"},
    {"/mail.msf/Inbox", "msf", seAddUnlessPresent, "/mail.msf/Inbox.msf"},
    {"a.txt", "cfg", seReplace, "a.cfg"},
    {"a.txt", ".cfg", seReplace, "a.cfg"},
    {"a.msf", "msf", seAdd, "a.msf.msf"},
    {"a", ".msf", seAdd, "a.msf"},
    {"a.b", "c", 7, "a.b.c"},
    {"", "msf", seAdd, ""},
    {"a", "", seAdd, "a"},
};

struct TReplaceExtensionCase
{
    const char *name;
    const char *extension;
    const char *expected;
};

class ReplaceExtensionTest
    : public ::testing::TestWithParam<std::tuple<TPathStyle, TReplaceExtensionCase>>
{
};

TEST_P(ReplaceExtensionTest, SwapsOrDropsTheExtension)
{
    const auto &[style, c] = GetParam();
    SCOPED_TRACE(FormName(style));
    EXPECT_EQ(PathRules::ReplaceExtension(InForm(c.name, style), QString::fromUtf8(c.extension),
                                          style),
              InForm(c.expected, style));
}

constexpr TReplaceExtensionCase ReplaceExtensionCases[] = {
    {"a.txt", ".cfg", "a.cfg"},
    {"a.txt", "cfg", "a.cfg"},
    {"a.txt", "", "a"},
    {"a.txt", ".", "a"},
    {"", "cfg", ""},
    {"/dir.x/file", "cfg", "/dir.x/file.cfg"},
};

struct TJoinCase
{
    const char *folder;
    const char *name;
    const char *joined;      // JoinPath
    const char *withDelim;   // AddBackslash(folder)
};

class JoinPathTest : public ::testing::TestWithParam<std::tuple<TPathStyle, TJoinCase>>
{
};

TEST_P(JoinPathTest, PutsOneSeparatorBetween)
{
    const auto &[style, c] = GetParam();
    SCOPED_TRACE(FormName(style));
    EXPECT_EQ(PathRules::JoinPath(InForm(c.folder, style), InForm(c.name, style), style),
              InForm(c.joined, style));
    EXPECT_EQ(PathRules::AddBackslash(InForm(c.folder, style), style), InForm(c.withDelim, style));
}

constexpr TJoinCase JoinCases[] = {
    {"/x/", "y", "/x/y", "/x/"},
    {"/x", "y", "/x/y", "/x/"},
    {"", "y", "y", ""},
    {"/x", "", "/x", "/x/"},
    {"", "", "", ""},
    {"x", "y/z", "x/y/z", "x/"},
};

struct TMakeFileNameCase
{
    const char *folder;
    const char *name;
    const char *extension;
    const char *expected;
};

class MakeFileNameTest
    : public ::testing::TestWithParam<std::tuple<TPathStyle, TMakeFileNameCase>>
{
};

TEST_P(MakeFileNameTest, BuildsTheFileName)
{
    const auto &[style, c] = GetParam();
    SCOPED_TRACE(FormName(style));
    EXPECT_EQ(PathRules::MakeFileName(InForm(c.folder, style), InForm(c.name, style),
                                      QString::fromUtf8(c.extension), style),
              InForm(c.expected, style));
}

constexpr TMakeFileNameCase MakeFileNameCases[] = {
    {"/cfg", "tool", ".ini", "/cfg/tool.ini"},
    {"/cfg/", "tool.old", "ini", "/cfg/tool.old"},
    {"", "tool", "ini", "tool.ini"},
    {"/cfg", "/etc/x", "ini", "/etc/x.ini"},
    {"cfg", "tool", "", "cfg/tool"},
    {"/cfg", "tool", ".", "/cfg/tool"},
    {"/c.d", "tool", "ini", "/c.d/tool.ini"},
};

struct TParentCase
{
    const char *path;
    const char *parent;
};

class ParentFolderTest : public ::testing::TestWithParam<std::tuple<TPathStyle, TParentCase>>
{
};

TEST_P(ParentFolderTest, DropsTheLastEntry)
{
    const auto &[style, c] = GetParam();
    SCOPED_TRACE(FormName(style));
    EXPECT_EQ(PathRules::ParentFolder(InForm(c.path, style), style), InForm(c.parent, style));
}

constexpr TParentCase SharedParentCases[] = {
    {"/a/b/", "/a"},
    {"/a/b/c", "/a/b"},
    {"a/b", "a"},
    {"a/b/", "a"},
    {"a", "a"},
    {"", ""},
};

const auto BothForms = ::testing::Values(PosixPathStyle, WindowsPathStyle);

INSTANTIATE_TEST_SUITE_P(BothForms, ExtensionTest,
                         ::testing::Combine(BothForms, ::testing::ValuesIn(ExtensionCases)));
INSTANTIATE_TEST_SUITE_P(BothForms, SetExtensionTest,
                         ::testing::Combine(BothForms, ::testing::ValuesIn(SetExtensionCases)));
INSTANTIATE_TEST_SUITE_P(BothForms, ReplaceExtensionTest,
                         ::testing::Combine(BothForms,
                                            ::testing::ValuesIn(ReplaceExtensionCases)));
INSTANTIATE_TEST_SUITE_P(BothForms, JoinPathTest,
                         ::testing::Combine(BothForms, ::testing::ValuesIn(JoinCases)));
INSTANTIATE_TEST_SUITE_P(BothForms, MakeFileNameTest,
                         ::testing::Combine(BothForms, ::testing::ValuesIn(MakeFileNameCases)));
INSTANTIATE_TEST_SUITE_P(BothForms, ParentFolderTest,
                         ::testing::Combine(BothForms, ::testing::ValuesIn(SharedParentCases)));

// ---- rules of one form --------------------------------------------------------

constexpr TParentCase WindowsParentCases[] = {
    {"C:\\a\\b\\", "C:\\a"},
    {"C:\\a", "C:"},
    {"C:\\", "C:"},
    {"C:", "C:"},
    {"\\a", "\\a"},
    {"\\", "\\"},
    {"\\\\server\\share\\dir", "\\\\server\\share"},
    {"\\\\server\\share\\", "\\\\server\\share"},
    {"\\\\server\\share", "\\\\server\\share"},
    {"\\\\server", "\\\\server"},
    {"\\\\?\\C:\\x\\y", "\\\\?\\C:\\x"},
    {"\\\\?\\C:\\x", "\\\\?\\C:"},
    {"\\\\?\\C:\\", "\\\\?\\C:"},
    {"\\\\?\\UNC\\srv\\share\\x", "\\\\?\\UNC\\srv\\share"},
    {"\\\\?\\unc\\srv\\share", "\\\\?\\unc\\srv\\share"},
};
INSTANTIATE_TEST_SUITE_P(Windows, ParentFolderTest,
                         ::testing::Combine(::testing::Values(WindowsPathStyle),
                                            ::testing::ValuesIn(WindowsParentCases)));

constexpr TParentCase PosixParentCases[] = {
    {"/home/user/", "/home"},
    {"/home", "/"}, // the root keeps its separator
    {"/home/", "/"},
    {"/", "/"},
    {"a\\b", "a\\b"}, // "\" is an ordinary character here
};
INSTANTIATE_TEST_SUITE_P(Posix, ParentFolderTest,
                         ::testing::Combine(::testing::Values(PosixPathStyle),
                                            ::testing::ValuesIn(PosixParentCases)));

constexpr TMakeFileNameCase WindowsMakeFileNameCases[] = {
    {"C:\\cfg", "tool", ".ini", "C:\\cfg\\tool.ini"},
    {"C:\\cfg\\", "tool.old", "ini", "C:\\cfg\\tool.old"},
    {"C:\\cfg", "D:\\x", "ini", "D:\\x.ini"},
    {"C:\\cfg", "D:x", "ini", "D:x.ini"},
    {"C:\\cfg", "\\\\srv\\share\\x", "ini", "\\\\srv\\share\\x.ini"},
};
INSTANTIATE_TEST_SUITE_P(Windows, MakeFileNameTest,
                         ::testing::Combine(::testing::Values(WindowsPathStyle),
                                            ::testing::ValuesIn(WindowsMakeFileNameCases)));

constexpr TMakeFileNameCase PosixMakeFileNameCases[] = {
    {"/cfg", "a:b", "ini", "/cfg/a:b.ini"}, // ":" marks nothing here
    {"/cfg", "\\x", "ini", "/cfg/\\x.ini"},
};
INSTANTIATE_TEST_SUITE_P(Posix, MakeFileNameTest,
                         ::testing::Combine(::testing::Values(PosixPathStyle),
                                            ::testing::ValuesIn(PosixMakeFileNameCases)));

TEST(PathForms, OtherSeparatorIsAnOrdinaryCharacter)
{
    EXPECT_EQ(PathRules::GetExtension(QStringLiteral("dir.x\\file"), PosixPathStyle),
              QStringLiteral("x\\file"));
    EXPECT_EQ(PathRules::GetExtension(QStringLiteral("dir.x/file"), WindowsPathStyle),
              QStringLiteral("x/file"));
    EXPECT_EQ(PathRules::AddBackslash(QStringLiteral("C:\\x/"), WindowsPathStyle),
              QStringLiteral("C:\\x/\\"));
}

TEST(PathForms, RootLengths)
{
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("/a"), PosixPathStyle), 1);
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("a/b"), PosixPathStyle), 0);
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("C:\\a"), WindowsPathStyle), 2);
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("\\\\srv\\share\\a"), WindowsPathStyle), 11);
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("\\\\?\\D:\\a"), WindowsPathStyle), 6);
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("\\\\?\\UNC\\s\\h\\a"), WindowsPathStyle), 11);
    EXPECT_EQ(PathRules::RootLength(QStringLiteral("1:\\a"), WindowsPathStyle), 0);
}

TEST(NativePathFunctions, UseThePlatformSeparator)
{
    EXPECT_EQ(AddBackslash(QStringLiteral("a")), QStringLiteral("a") + PathDelim);
    EXPECT_EQ(JoinPath(QStringLiteral("a"), QStringLiteral("b")),
              QStringLiteral("a") + PathDelim + QStringLiteral("b"));
    EXPECT_EQ(SetExtension(QStringLiteral("Inbox"), QStringLiteral("msf"), seAddUnlessPresent),
              QStringLiteral("Inbox.msf"));
#ifndef _WIN32
    EXPECT_EQ(PathDelim, QChar(u'/'));
    EXPECT_EQ(ParentFolder(QStringLiteral("/home")), QStringLiteral("/"));
    EXPECT_EQ(MakeFileName(QStringLiteral("/cfg"), QStringLiteral("tool"), QStringLiteral("ini")),
              QStringLiteral("/cfg/tool.ini"));
    EXPECT_EQ(GetExtension(QStringLiteral("a.b\\c")), QStringLiteral("b\\c"));
    EXPECT_EQ(RemoveExtension(QStringLiteral("/x.y/z")), QStringLiteral("/x.y/z"));
    EXPECT_EQ(ReplaceExtension(QStringLiteral("/x/a.txt"), QStringLiteral("cfg")),
              QStringLiteral("/x/a.cfg"));
#else
    EXPECT_EQ(ParentFolder(QStringLiteral("C:\\a")), QStringLiteral("C:"));
#endif
}

TEST(EntryNames, DotAndDotDotAreNotReal)
{
    EXPECT_FALSE(IsRealEntryName(QStringLiteral(".")));
    EXPECT_FALSE(IsRealEntryName(QStringLiteral("..")));
    EXPECT_TRUE(IsRealEntryName(QString()));
    EXPECT_TRUE(IsRealEntryName(QStringLiteral("...")));
    EXPECT_TRUE(IsRealEntryName(QStringLiteral(".a")));
}

// ---- platform folders and names -------------------------------------------------

class PlatformFolderTest : public TempDirTest
{
};

#ifndef _WIN32

TEST_F(PlatformFolderTest, AppDataIsTheConfigurationFolder)
{
    ScopedEnv config("XDG_CONFIG_HOME", path("cfg") + u'/');
    EXPECT_EQ(GetAppDataFolder(), path("cfg"));
    EXPECT_EQ(GetSpecialFolder(sfAppData), path("cfg"));
}

TEST_F(PlatformFolderTest, LocalAppDataIsTheDataFolder)
{
    ScopedEnv data("XDG_DATA_HOME", path("share"));
    EXPECT_EQ(GetSpecialFolder(sfLocalAppData), path("share"));
}

TEST_F(PlatformFolderTest, ProfileDocumentsAndDesktopFollowTheHomeFolder)
{
    ScopedEnv home("HOME", dir());
    ScopedEnv config("XDG_CONFIG_HOME", path("cfg"));
    EXPECT_EQ(GetSpecialFolder(sfProfile), dir());
    EXPECT_EQ(GetDocumentsFolder(), path("Documents"));
    EXPECT_EQ(GetSpecialFolder(sfDesktop), path("Desktop"));

    // The user's own folder names count.
    writeFile(QStringLiteral("cfg/user-dirs.dirs"),
              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(GetDocumentsFolder(), path("Dokumente"));
    EXPECT_EQ(GetSpecialFolder(sfDesktop), path("Schreibtisch"));
}

TEST_F(PlatformFolderTest, FoldersWithoutCounterpartAreEmpty)
{
    EXPECT_EQ(GetSpecialFolder(sfFavorites), QString());
    EXPECT_EQ(GetSpecialFolder(sfProgramFilesCommon), QString());
    EXPECT_EQ(GetSpecialFolder(-1), QString());
    EXPECT_EQ(GetSpecialFolder(999), QString());
    EXPECT_EQ(GetWindowsFolder(), QString());
}

TEST_F(PlatformFolderTest, TempFolderEndsWithOneSeparator)
{
    ScopedEnv tmp("TMPDIR", dir());
    EXPECT_EQ(GetTempFolder(), dir() + u'/');
}

TEST_F(PlatformFolderTest, AllUsersAndPublicComeFromTheEnvironment)
{
    {
        ScopedEnv allUsers("ALLUSERSPROFILE", QStringLiteral("/srv/all"));
        ScopedEnv pub("PUBLIC", QStringLiteral("/srv/public"));
        EXPECT_EQ(GetAllUsersFolder(), QStringLiteral("/srv/all"));
        EXPECT_EQ(GetPublicFolder(), QStringLiteral("/srv/public"));
    }
    ScopedEnv allUsers("ALLUSERSPROFILE", std::nullopt);
    ScopedEnv pub("PUBLIC", std::nullopt);
    EXPECT_EQ(GetAllUsersFolder(), GetWindowsFolder());
    EXPECT_EQ(GetPublicFolder(), QString());
}

TEST_F(PlatformFolderTest, NamesAreKnown)
{
    EXPECT_FALSE(ComputerName().isEmpty());
    ScopedEnv user("USER", QStringLiteral("someone"));
    EXPECT_FALSE(CurrentUserName().isEmpty());
}

#endif // !_WIN32

struct TProgramFilesCase
{
    int kind;
    const char *variable; // nullptr: the kind reads none
};

class ProgramFilesTest : public ::testing::TestWithParam<TProgramFilesCase>
{
};

TEST_P(ProgramFilesTest, VariableFirstThenTheFolder)
{
    const TProgramFilesCase &c = GetParam();
    const char *variables[] = {"ProgramFiles(x86)", "CommonProgramFiles(x86)", "ProgramW6432",
                               "CommonProgramW6432"};
    const int fallback = (c.kind == pfCommonFiles || c.kind == pfCommonFiles32
                          || c.kind == pfCommonFiles64)
                             ? sfProgramFilesCommon
                             : sfProgramFiles;
    {
        // Every variable set: only the kind's own one may be used.
        std::vector<std::unique_ptr<ScopedEnv>> all;
        for (const char *name : variables)
            all.push_back(std::make_unique<ScopedEnv>(name, QStringLiteral("/set/") + name));
        const QString expected = c.variable ? QStringLiteral("/set/") + c.variable
                                            : GetSpecialFolder(fallback);
        EXPECT_EQ(GetProgramFilesFolder(c.kind), expected);
    }
    if (c.variable) {
        // Set but empty counts as not set.
        ScopedEnv empty(c.variable, QString());
        EXPECT_EQ(GetProgramFilesFolder(c.kind), GetSpecialFolder(fallback));
    }
}

constexpr TProgramFilesCase ProgramFilesCases[] = {
    {pfPrograms, nullptr},
    {pfCommonFiles, nullptr},
    {pfPrograms32, "ProgramFiles(x86)"},
    {pfCommonFiles32, "CommonProgramFiles(x86)"},
    {pfPrograms64, "ProgramW6432"},
    {pfCommonFiles64, "CommonProgramW6432"},
    {6, nullptr}, // above 5: as kind 0
    {-1, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Kinds, ProgramFilesTest, ::testing::ValuesIn(ProgramFilesCases));

} // namespace
