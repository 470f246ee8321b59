#include "packprobe/core/Leftovers.h"
#include "packprobe/core/PendingFile.h"

#include "foundation/FileUtils.h"

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace foundation;
using namespace packprobe;

using packprobe::TPendingFile;
using TNaming = TPendingFile::TNaming;

namespace {

class PendingFileTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        QDir().mkpath(path("tmp"));
        QDir().mkpath(path("out"));
        temp.emplace("TMPDIR", path("tmp"));
    }
    QStringList entries(const QString &folder) const
    {
        return QDir(path(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    std::optional<ScopedEnv> temp;
};

constexpr TNaming Namings[] = {TNaming::UnnamedWhereOffered, TNaming::Named};

class BothNamings : public PendingFileTest, public ::testing::WithParamInterface<TNaming>
{
};

TEST_P(BothNamings, ScratchDataReadsBackAndLeavesNothing)
{
    {
        const auto scratch = TPendingFile::CreateScratch(GetParam());
        ASSERT_EQ(scratch->Device().write("scratch data"), 12);
        ASSERT_TRUE(scratch->Device().seek(0));
        EXPECT_EQ(scratch->Device().readAll(), "scratch data");
        if (GetParam() == TNaming::Named) {
            // A private folder of its own, owner-only.
            const QFileInfo folder(QFileInfo(scratch->TemporaryName()).absolutePath());
            EXPECT_TRUE(folder.fileName().startsWith("packprobe-")) << folder.fileName().toStdString();
#ifdef Q_OS_UNIX
            EXPECT_EQ(folder.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif
        }
#ifdef Q_OS_LINUX
        if (GetParam() == TNaming::UnnamedWhereOffered) {
            EXPECT_EQ(entries("tmp"), QStringList());
        }
#endif
    }
    EXPECT_EQ(entries("tmp"), QStringList());
}

TEST_P(BothNamings, SavedFileAppearsWholeOnCommitAndReplaces)
{
    const QString destination = path("out/data.txt");
    writeFile("out/data.txt", "old");
    const auto pending = TPendingFile::CreateBeside(destination, GetParam());
    ASSERT_EQ(pending->Device().write("new contents"), 12);
    EXPECT_EQ(readFile(destination), "old");
    pending->Commit();
    EXPECT_EQ(readFile(destination), "new contents");
    EXPECT_EQ(entries("out"), QStringList{"data.txt"});
}

TEST_P(BothNamings, UncommittedSaveLeavesNothing)
{
    {
        const auto pending = TPendingFile::CreateBeside(path("out/data.txt"), GetParam());
        pending->Device().write("partial");
    }
    EXPECT_EQ(entries("out"), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Naming, BothNamings, ::testing::ValuesIn(Namings),
                         [](const auto &info) {
                             return info.param == TNaming::Named ? "Named" : "Unnamed";
                         });

#ifdef Q_OS_UNIX
TEST_P(BothNamings, ReplacedFileKeepsItsPermissions)
{
    const QString destination = path("out/data.txt");
    writeFile("out/data.txt", "old");
    const auto rights = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                        | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(destination, rights));
    const auto pending = TPendingFile::CreateBeside(destination, GetParam());
    pending->Device().write("new");
    pending->Commit();
    EXPECT_EQ(QFile::permissions(destination), rights);
}

TEST_F(PendingFileTest, DeviceIsWrittenInPlace)
{
    const auto pending = TPendingFile::CreateBeside("/dev/null");
    EXPECT_EQ(pending->Device().write("gone"), 4);
    pending->Commit();
    EXPECT_TRUE(QFileInfo("/dev/null").exists());
    EXPECT_FALSE(QFileInfo("/dev/null").isFile());
}
#endif

TEST_F(PendingFileTest, MissingFolderThrowsWithTheSystemError)
{
    EXPECT_THROW(TPendingFile::CreateBeside(path("no/such/folder/x.txt")), EExtFileStreamError);
    EXPECT_THROW(TPendingFile::CreateBeside(path("no/such/folder/x.txt"), TNaming::Named),
                 EExtFileStreamError);
}

#ifdef Q_OS_UNIX
TEST_F(PendingFileTest, StaleScratchFoldersOfEndedProcessesAreRemoved)
{
    // A process that has certainly ended: a child that was waited for.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const QString stale = QStringLiteral("packprobe-%1-abc123").arg(child);
    const QString own = QStringLiteral("packprobe-%1-def456").arg(getpid());
    const QString foreign = QStringLiteral("packprobe-unrelated");
    for (const QString &name : {stale, own, foreign})
        QDir().mkpath(path("tmp/" + name));
    writeFile("tmp/" + stale + "/unpacked.tmp", "left over");

    packprobe::RemoveStaleScratchFolders();
    EXPECT_EQ(entries("tmp"), (QStringList{own, foreign}));
}

// A signal that ends the program removes named scratch data first.
TEST_F(PendingFileTest, TerminationSignalRemovesNamedScratchData)
{
    const pid_t child = fork();
    if (child == 0) {
        const auto scratch = TPendingFile::CreateScratch(TNaming::Named);
        scratch->Device().write("secret plaintext");
        const auto saved = TPendingFile::CreateBeside(path("out/data.txt"), TNaming::Named);
        saved->Device().write("partial");
        ::raise(SIGTERM);
        _exit(3); // not reached
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(entries("tmp"), QStringList());
    EXPECT_EQ(entries("out"), QStringList());
}
#endif

} // namespace
