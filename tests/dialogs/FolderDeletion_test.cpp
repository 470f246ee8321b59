#include "dialogs/FolderDeletion.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace dialogs;

using namespace dialogs;

namespace {

class FolderDeletion : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        target = path("target");
        QDir().mkpath(target);
    }

    void Delete(const QString &folder, bool deleteTop = true)
    {
        DeleteFolderTree(folder, QString(), deleteTop, counts);
    }

    bool MakeLink(const QString &linkTarget, const QString &linkName)
    {
        return QFile::link(linkTarget, linkName);
    }

    QString target;
    TDeletionCounts counts;
};

// Refuses to delete the files whose names it is given.
class RefusingRemover : public TFolderRemover
{
public:
    explicit RefusingRemover(QStringList names) : FNames(std::move(names)) {}
    bool RemoveFile(const QString &path) override
    {
        if (FNames.contains(QFileInfo(path).fileName()))
            return false;
        return TFolderRemover::RemoveFile(path);
    }

private:
    QStringList FNames;
};

} // namespace

TEST_F(FolderDeletion, CountsFoldersAndFilesAndRemovesTheTop)
{
    writeFile("target/one.txt", "1");
    writeFile("target/two.txt", "2");
    writeFile("target/sub/three.txt", "3");
    Delete(target);
    EXPECT_EQ(counts.Dirs, 2u);
    EXPECT_EQ(counts.Files, 3u);
    EXPECT_EQ(counts.Errors, 0u);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(QFileInfo::exists(dir())) << "nothing above the folder is touched";
}

TEST_F(FolderDeletion, ReadOnlyAndHiddenFilesAndEmptyFoldersGoToo)
{
    const QString readOnly = writeFile("target/deep/er/locked.txt", "x");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadUser));
    writeFile("target/.hidden", "h");
    QDir().mkpath(path("target/empty/emptier"));
    Delete(target);
    EXPECT_EQ(counts.Errors, 0u);
    EXPECT_EQ(counts.Files, 2u);
    EXPECT_EQ(counts.Dirs, 5u); // target, deep, er, empty, emptier
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(FolderDeletion, WithoutDeleteTopTheFolderItselfStays)
{
    writeFile("target/a.txt", "a");
    writeFile("target/sub/b.txt", "b");
    Delete(target, false);
    EXPECT_EQ(counts.Dirs, 1u);
    EXPECT_EQ(counts.Files, 2u);
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_TRUE(QDir(target).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

TEST_F(FolderDeletion, MissingFolderCountsNothing)
{
    Delete(path("nowhere"));
    EXPECT_EQ(counts.Dirs + counts.Files + counts.Errors, 0u);
}

TEST_F(FolderDeletion, UndeletableFileKeepsItsFolderAndEveryFolderAbove)
{
    writeFile("target/top.txt", "t");
    writeFile("target/a/b/stuck.txt", "s");
    writeFile("target/a/b/free.txt", "f");
    writeFile("target/other/gone.txt", "g");
    RefusingRemover remover({"stuck.txt"});
    DeleteFolderTree(target, QString(), true, counts, remover);

    EXPECT_GT(counts.Errors, 0u);
    EXPECT_TRUE(QFileInfo::exists(path("target/a/b/stuck.txt")));
    EXPECT_TRUE(QFileInfo(path("target/a/b")).isDir());
    EXPECT_TRUE(QFileInfo(path("target/a")).isDir());
    EXPECT_TRUE(QFileInfo(target).isDir());
    EXPECT_FALSE(QFileInfo::exists(path("target/a/b/free.txt")));
    EXPECT_FALSE(QFileInfo::exists(path("target/top.txt")));
    EXPECT_FALSE(QFileInfo::exists(path("target/other")));
    EXPECT_EQ(counts.Files, 3u);
    EXPECT_EQ(counts.Dirs, 1u);
}

#ifndef _WIN32
TEST_F(FolderDeletion, FolderWithoutWritePermissionKeepsItsFiles)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    writeFile("target/locked/inside.txt", "i");
    const QString locked = path("target/locked");
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    Delete(target);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_GT(counts.Errors, 0u);
    EXPECT_TRUE(QFileInfo::exists(path("target/locked/inside.txt")));
    EXPECT_TRUE(QFileInfo(target).isDir());
}
#endif

#ifdef __linux__
// Mounts a folder on another for the test's duration (needs the right to
// mount; the test is skipped without it).
class BindMount
{
public:
    BindMount(const QString &source, const QString &mountPoint) : FMountPoint(mountPoint)
    {
        FMounted = QProcess::execute("mount", {"--bind", source, mountPoint}) == 0;
    }
    ~BindMount()
    {
        if (FMounted)
            QProcess::execute("umount", {FMountPoint});
    }
    bool Mounted() const { return FMounted; }

private:
    QString FMountPoint;
    bool FMounted = false;
};

// A bind mount of a folder of the same file system has the same device
// number as its parent and must be recognised all the same.
TEST_F(FolderDeletion, BindMountInsideIsNotEntered)
{
    writeFile("outside/keep.txt", "precious");
    writeFile("target/own.txt", "o");
    QDir().mkpath(path("target/mounted"));
    BindMount mount(path("outside"), path("target/mounted"));
    if (!mount.Mounted())
        GTEST_SKIP() << "no right to mount";
    EXPECT_TRUE(IsMountPoint(target, path("target/mounted")));
    Delete(target);
    EXPECT_GT(counts.Errors, 0u);
    EXPECT_EQ(readFile(path("outside/keep.txt")), "precious");
    EXPECT_FALSE(QFileInfo::exists(path("target/own.txt")));
}

TEST_F(FolderDeletion, MountPointsAreRecognised)
{
    QDir().mkpath(path("target/sub"));
    EXPECT_FALSE(IsMountPoint(target, path("target/sub")));
    EXPECT_TRUE(IsMountPoint("/", "/proc")) << "/proc is a file system of its own";
}
#endif

TEST_F(FolderDeletion, LinkToAFolderOutsideIsRemovedAsALink)
{
    writeFile("outside/keep.txt", "precious");
    writeFile("outside/sub/keep2.txt", "precious");
    writeFile("outside.txt", "file target");
    writeFile("target/own.txt", "o");
    ASSERT_TRUE(MakeLink(path("outside"), path("target/dirlink")));
    ASSERT_TRUE(MakeLink(path("outside.txt"), path("target/filelink")));
    ASSERT_TRUE(MakeLink(path("no-such-thing"), path("target/broken")));

    Delete(target);
    EXPECT_EQ(counts.Errors, 0u);
    EXPECT_EQ(counts.Files, 4u); // own.txt and three links
    EXPECT_EQ(counts.Dirs, 1u);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(readFile(path("outside/keep.txt")), "precious");
    EXPECT_EQ(readFile(path("outside/sub/keep2.txt")), "precious");
    EXPECT_EQ(readFile(path("outside.txt")), "file target");
}

TEST_F(FolderDeletion, ChosenFolderThatIsALinkLosesOnlyTheLink)
{
    writeFile("outside/keep.txt", "precious");
    ASSERT_TRUE(MakeLink(path("outside"), path("chosen")));
    Delete(path("chosen"));
    EXPECT_EQ(counts.Errors, 0u);
    EXPECT_FALSE(QFileInfo(path("chosen")).isSymLink());
    EXPECT_EQ(readFile(path("outside/keep.txt")), "precious");
}

// However the chosen folder is spelled, a link stays a link: a trailing
// separator must not lead the deletion into the link's target.
TEST_F(FolderDeletion, ChosenLinkWithTrailingSeparatorLosesOnlyTheLink)
{
    writeFile("outside/keep.txt", "precious");
    writeFile("outside/sub/keep2.txt", "precious");
    ASSERT_TRUE(MakeLink(path("outside"), path("chosen")));
    Delete(path("chosen") + QStringLiteral("/"));
    EXPECT_EQ(counts.Errors, 0u);
    EXPECT_FALSE(QFileInfo(path("chosen")).isSymLink());
    EXPECT_EQ(readFile(path("outside/keep.txt")), "precious");
    EXPECT_EQ(readFile(path("outside/sub/keep2.txt")), "precious");
}
