#include "mailmend/core/FolderFiles.h"

#include "foundation/PathUtils.h"

#include <gtest/gtest.h>

using namespace foundation;
using namespace mailmend;

namespace {

QString Native(const char *path)
{
    return QString::fromUtf8(path).replace(u'/', PathDelim);
}

struct TListedCase
{
    const char *name;
    const char *path;
    bool isFolder;
    bool listed;
};

class ListedFolderItemTest : public ::testing::TestWithParam<TListedCase>
{
};

TEST_P(ListedFolderItemTest, AdmitsFoldersAndFilesWithoutExtension)
{
    const TListedCase &c = GetParam();
    EXPECT_EQ(mailmend::IsListedFolderItem(Native(c.path), c.isFolder), c.listed);
}

constexpr TListedCase ListedCases[] = {
    {"FolderFile", "/p/Mail/Local Folders/Inbox", false, true},
    {"IndexFile", "/p/Mail/Local Folders/Inbox.msf", false, false},
    {"NameWithDot", "/p/Mail/Local Folders/Some.folder", false, false},
    {"HiddenFile", "/p/Mail/Local Folders/.hidden", false, false},
    {"TrailingDot", "/p/Mail/Local Folders/Inbox.", false, false},
    {"DotOnlyInFolderName", "/p/Mail/pop.example.org/Inbox", false, true},
    {"SubfolderDirectory", "/p/Mail/Local Folders/Inbox.sbd", true, true},
    {"NameWithBlanks", "/p/Mail/Local Folders/Old mails 2023", false, true},
};

INSTANTIATE_TEST_SUITE_P(Items, ListedFolderItemTest, ::testing::ValuesIn(ListedCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct TImapCase
{
    const char *name;
    const char *path;
    bool imap;
};

class ImapFolderFileTest : public ::testing::TestWithParam<TImapCase>
{
};

TEST_P(ImapFolderFileTest, RecognisesFilesBelowImapMail)
{
    const TImapCase &c = GetParam();
    EXPECT_EQ(mailmend::IsImapFolderFile(Native(c.path)), c.imap);
}

constexpr TImapCase ImapCases[] = {
    {"ServerInbox", "/home/u/.thunderbird/p/ImapMail/imap.example.org/INBOX", true},
    {"ServerSubfolder", "/p/ImapMail/imap.example.org/INBOX.sbd/Work", true},
    {"LocalFolder", "/home/u/.thunderbird/p/Mail/Local Folders/Inbox", false},
    {"PopAccount", "/p/Mail/pop.example.org/Inbox", false},
    {"FileNamedImapMail", "/p/Mail/Local Folders/ImapMail", false},
    {"SimilarFolderName", "/p/ImapMailOld/x/INBOX", false},
};

INSTANTIATE_TEST_SUITE_P(Paths, ImapFolderFileTest, ::testing::ValuesIn(ImapCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ImapFolderWarning, NamesTheFolderAndTheServer)
{
    const QString text = mailmend::ImapFolderWarningText(Native("/p/ImapMail/imap.example.org/INBOX"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Mailfolder: \"INBOX\"\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("IMAP")));
}

} // namespace
