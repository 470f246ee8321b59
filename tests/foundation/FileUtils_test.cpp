#include "foundation/FileUtils.h"

#include "foundation/LangUtils.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace foundation;

namespace {

constexpr TFileTime TicksPerSecond = 10000000;
constexpr TFileTime TicksPerDay = 86400 * TicksPerSecond;
constexpr TFileTime UnixEpochFileTime = 116444736000000000;

bool RunningAsRoot()
{
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

mode_t ModeOf(const QString &name)
{
    struct stat st = {};
    EXPECT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0) << name.toStdString();
    return st.st_mode & 07777;
}

void ChangeMode(const QString &name, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), mode), 0) << name.toStdString();
}

// ---------------------------------------------------------------------------
// Attribute letters and date-time conversions

struct AttributeTextCase
{
    quint16 attributes;
    const char *text;
};

constexpr AttributeTextCase AttributeTextCases[] = {
    {0x0000, "----"}, {0x0020, "-a--"}, {0x0001 | 0x0002 | 0x0004, "r-hs"},
    {0x0420, "-a--L"}, {0x0401, "r---L"}, {0x0010, "----"}, {0xFFFF, "rahsL"},
};

class AttributeTextTest : public ::testing::TestWithParam<AttributeTextCase>
{
};

TEST_P(AttributeTextTest, Letters)
{
    EXPECT_EQ(AttributeText(GetParam().attributes), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Words, AttributeTextTest, ::testing::ValuesIn(AttributeTextCases));

TEST(SystemErrorText, IsThePlatformsTextAlsoForZero)
{
    for (const int error : {0, ENOENT, EACCES, ENOSPC, EISDIR})
        EXPECT_EQ(SystemErrorText(error), QString::fromLocal8Bit(std::strerror(error))) << error;
}

TEST(DateTimeConversion, UnixTimes)
{
    EXPECT_DOUBLE_EQ(UnixToDateTime(0), 25569.0);
    EXPECT_DOUBLE_EQ(UnixToDateTime(43200), 25569.5);
    EXPECT_DOUBLE_EQ(UnixToDateTime(86400 * 3 + 21600), 25572.25);
    // The whole unsigned range, no wrap to negative.
    EXPECT_DOUBLE_EQ(UnixToDateTime(0xFFFFFFFFu), 4294967295.0 / 86400.0 + 25569.0);
}

TEST(DateTimeConversion, FileTimesAndDateTimes)
{
    TDateTimeValue value = -1;
    EXPECT_TRUE(FileTimeToDateTime(UnixEpochFileTime, value));
    EXPECT_DOUBLE_EQ(value, 25569.0);
    EXPECT_TRUE(FileTimeToDateTime(UnixEpochFileTime + TicksPerDay / 2, value));
    EXPECT_DOUBLE_EQ(value, 25569.5);
    EXPECT_TRUE(FileTimeToDateTime(0, value)); // 1601-01-01
    EXPECT_DOUBLE_EQ(value, -109205.0);
    // 1899-12-29 06:00 is -1.25: the date counts backwards, the time forwards.
    const TFileTime dec29 = TFileTime(109204) * TicksPerDay + TicksPerDay / 4;
    EXPECT_TRUE(FileTimeToDateTime(dec29, value));
    EXPECT_DOUBLE_EQ(value, -1.25);
    EXPECT_EQ(DateTimeToFileTime(-1.25), dec29);

    EXPECT_EQ(DateTimeToFileTime(25569.0), UnixEpochFileTime);
    EXPECT_EQ(DateTimeToFileTime(25569.5), UnixEpochFileTime + TicksPerDay / 2);
    // Millisecond precision both ways.
    const TFileTime withMs = UnixEpochFileTime + 123456789 * TFileTime(10000);
    ASSERT_TRUE(FileTimeToDateTime(withMs, value));
    EXPECT_EQ(DateTimeToFileTime(value), withMs);

    // Out of the date-time range.
    EXPECT_FALSE(FileTimeToDateTime(0xFFFFFFFFFFFFFFFFull, value));
    EXPECT_EQ(DateTimeToFileTime(-109206.0), 0u);
    EXPECT_EQ(DateTimeToFileTime(2958466.0), 0u);
}

// ---------------------------------------------------------------------------
// Attribute words, file data, links

class FileUtilsTest : public TempDirTest
{
protected:
    QString makeLink(const QString &target, const QString &name)
    {
        const QString link = path(name);
        EXPECT_TRUE(QFile::link(target, link)) << link.toStdString();
        return link;
    }
};

#ifndef _WIN32
TEST_F(FileUtilsTest, AttributeWordOfPosixFiles)
{
    const QString file = writeFile("plain.txt", "x");
    const QString hidden = writeFile(".hidden", "x");
    const QString readOnly = writeFile("ro.txt", "x");
    ChangeMode(readOnly, 0444);
    ASSERT_TRUE(QDir(dir()).mkdir("sub"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);

    EXPECT_EQ(GetFileAttributesOf(file), faArchive);
    EXPECT_EQ(GetFileAttributesOf(hidden), faArchive | faHidden);
    EXPECT_EQ(GetFileAttributesOf(readOnly), faArchive | faReadOnly);
    EXPECT_EQ(GetFileAttributesOf(path("sub")), faDirectory);
    EXPECT_EQ(GetFileAttributesOf(path("fifo")), faSysFile);
    EXPECT_EQ(GetFileAttributesOf(path("absent")), faInvalid);
    EXPECT_EQ(GetFileAttributesOf(QString()), faInvalid);

    // Links are described themselves, not followed.
    EXPECT_EQ(GetFileAttributesOf(makeLink(readOnly, "to-file")), faArchive | faReparsePoint);
    EXPECT_EQ(GetFileAttributesOf(makeLink(path("sub"), "to-dir")), faDirectory | faReparsePoint);
    EXPECT_EQ(GetFileAttributesOf(makeLink(path("absent"), "dangling")), faArchive | faReparsePoint);
    EXPECT_EQ(AttributeText(quint16(GetFileAttributesOf(path("to-file")))), QStringLiteral("-a--L"));
}
#endif

TEST_F(FileUtilsTest, SetReadOnlyAttribute)
{
    const QString file = writeFile("f.txt", "x");
    ChangeMode(file, 0664);
    EXPECT_EQ(SetFileAttributesOf(file, faArchive | faReadOnly), 0);
    EXPECT_EQ(ModeOf(file), mode_t(0444));
    EXPECT_EQ(GetFileAttributesOf(file), faArchive | faReadOnly);
    EXPECT_EQ(SetFileAttributesOf(file, faArchive), 0);
    EXPECT_EQ(ModeOf(file), mode_t(0644));
    EXPECT_EQ(GetFileAttributesOf(file), faArchive);
    EXPECT_EQ(SetFileAttributesOf(path("absent"), faArchive), ENOENT);

    // The attributes of a link are its own: its target stays writable.
    EXPECT_EQ(SetFileAttributesOf(makeLink(file, "link.txt"), faArchive | faReadOnly), 0);
    EXPECT_EQ(ModeOf(file), mode_t(0644));
}

TEST_F(FileUtilsTest, FileDataFollowsLinksToFinalTarget)
{
    const QString target = writeFile("target.bin", QByteArray(1234, 'x'));
    const QString link1 = makeLink(target, "link1");
    const QString link2 = makeLink(QStringLiteral("link1"), "link2"); // relative, two levels
    ASSERT_EQ(SetFileTimeStamp(target, UnixEpochFileTime + 1000 * TicksPerSecond, false), 0);

    TFileData data;
    ASSERT_EQ(GetFileData(link2, data, true), 0);
    EXPECT_EQ(data.Size, 1234u);
    EXPECT_EQ(data.Attributes, faArchive);
    EXPECT_EQ(data.LastWriteTime, UnixEpochFileTime + 1000 * TicksPerSecond);
    EXPECT_EQ(GetFileTimeStamp(link2), UnixEpochFileTime + 1000 * TicksPerSecond);

    ASSERT_EQ(GetFileData(link2, data, false), 0);
    EXPECT_EQ(data.Attributes, faArchive | faReparsePoint);

    EXPECT_EQ(GetFileData(path("absent"), data, true), ENOENT);
    EXPECT_EQ(GetFileData(makeLink(path("absent"), "dangling"), data, true), ENOENT);
    EXPECT_EQ(GetFileTimeStamp(path("absent")), 0u);

    EXPECT_TRUE(FindFileData(link1, data));
    EXPECT_EQ(data.Attributes, faArchive | faReparsePoint);
    EXPECT_FALSE(FindFileData(dir(), data));
    EXPECT_FALSE(FindFileData(makeLink(dir(), "folder-link"), data)); // a folder's entry too
    EXPECT_FALSE(FindFileData(path("absent"), data));
}

TEST_F(FileUtilsTest, LinkTargetIsFinalAbsoluteTarget)
{
    const QString target = writeFile("t.txt", "x");
    ASSERT_TRUE(QDir(dir()).mkdir("d"));
    makeLink(QStringLiteral("t.txt"), "rel");
    const QString chain = makeLink(path("rel"), "chain");
    const QString folderLink = makeLink(path("d"), "dlink");
    const QString canonicalTarget = QFileInfo(target).canonicalFilePath();

    QString result;
    EXPECT_TRUE(GetLinkTarget(chain, result));
    EXPECT_EQ(result, canonicalTarget);
    EXPECT_TRUE(GetLinkTarget(path("rel"), result));
    EXPECT_EQ(result, canonicalTarget);
    EXPECT_TRUE(GetLinkTarget(folderLink, result));
    EXPECT_EQ(result, QFileInfo(path("d")).canonicalFilePath());

    result = QStringLiteral("unchanged");
    EXPECT_FALSE(GetLinkTarget(target, result));
    EXPECT_FALSE(GetLinkTarget(makeLink(path("gone"), "dangling"), result));
    EXPECT_FALSE(GetLinkTarget(path("absent"), result));
    EXPECT_EQ(result, QStringLiteral("unchanged"));
}

// ---------------------------------------------------------------------------
// Time stamps

TEST_F(FileUtilsTest, TimeStampPlausibility)
{
    const QString file = writeFile("stamp.txt", "x");
    const TFileTime now = CurrentFileTime();
    const TFileTime tolerance = 60 * TicksPerSecond;

    // Half a day ahead is kept.
    const TFileTime halfDay = now + TicksPerDay / 2;
    EXPECT_EQ(SetFileTimeStamp(file, halfDay, true), 0);
    EXPECT_EQ(GetFileTimeStamp(file), halfDay);

    // Two days ahead is replaced by the current time (UTC, as every file time).
    EXPECT_EQ(SetFileTimeStamp(file, now + 2 * TicksPerDay, true), 0);
    TFileTime stamped = GetFileTimeStamp(file);
    EXPECT_GE(stamped + tolerance, now);
    EXPECT_LE(stamped, CurrentFileTime() + tolerance);
    EXPECT_EQ(QFileInfo(file).lastModified().toUTC().secsTo(QDateTime::currentDateTimeUtc()) / 60, 0);

    // An unknown time (0) is replaced too; without the check anything goes.
    EXPECT_EQ(SetFileTimeStamp(file, 0, true), 0);
    stamped = GetFileTimeStamp(file);
    EXPECT_GE(stamped + tolerance, now);
    EXPECT_EQ(SetFileTimeStamp(file, now + 400 * TicksPerDay, false), 0);
    EXPECT_EQ(GetFileTimeStamp(file), now + 400 * TicksPerDay);

    // A time in the past stays, to the 100 ns tick.
    const TFileTime past = UnixEpochFileTime + 1234567891234567ull;
    EXPECT_EQ(SetFileTimeStamp(file, past, true), 0);
    EXPECT_EQ(GetFileTimeStamp(file), past);

    EXPECT_EQ(SetFileTimeStamp(path("absent"), past, true), ENOENT);
}

TEST_F(FileUtilsTest, SetTimeStampKeepsAccessTime)
{
    const QString file = writeFile("a.txt", "x");
    TFileData before;
    ASSERT_EQ(GetFileData(file, before, false), 0);
    ASSERT_EQ(SetFileTimeStamp(file, UnixEpochFileTime, false), 0);
    TFileData after;
    ASSERT_EQ(GetFileData(file, after, false), 0);
    EXPECT_EQ(after.LastWriteTime, UnixEpochFileTime);
    EXPECT_EQ(after.LastAccessTime, before.LastAccessTime);
}

// ---------------------------------------------------------------------------
// Copy

struct CopyFailure
{
    QString message;
    int code = 0;
};

CopyFailure ExpectCopyError(const QString &source, const QString &destination,
                            qint32 attributes = -1, qint32 bufferSize = 4096)
{
    try {
        CopyFileData(source, destination, attributes, bufferSize);
    } catch (const ECopyError &e) {
        return {e.Message(), e.ErrorCode};
    } catch (const std::exception &e) {
        ADD_FAILURE() << "unexpected exception " << e.what();
        return {};
    }
    ADD_FAILURE() << "no ECopyError raised";
    return {};
}

QString Quoted(const char *pattern, const QString &name)
{
    return QString::fromUtf8(pattern).arg(QDir::toNativeSeparators(name));
}

class CopyFileDataTest : public FileUtilsTest
{
protected:
    // Names in the folder that a copy may have left behind (temporary files).
    QStringList leftovers() const
    {
        return QDir(dir()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
    }
};

TEST_F(CopyFileDataTest, CopiesDataTimeAndAttributes)
{
    QByteArray data;
    for (int i = 0; i < 10000; ++i)
        data.append(char(i * 7));
    const QString source = writeFile("src.bin", data);
    const TFileTime time = UnixEpochFileTime + 1500000000ull * TicksPerSecond + 1234567;
    ASSERT_EQ(SetFileTimeStamp(source, time, false), 0);

    const QString destination = path("dst.bin");
    EXPECT_NO_THROW(CopyFileData(source, destination, -1, 4096));
    EXPECT_EQ(readFile(destination), data);
    EXPECT_EQ(GetFileTimeStamp(destination), time);
    EXPECT_EQ(GetFileAttributesOf(destination), faArchive);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(CopyFileDataTest, SizesAroundTheBufferSize)
{
    for (const int size : {0, 1, 4095, 4096, 8192, 8193}) {
        const QByteArray data(size, 'q');
        const QString source = writeFile(QStringLiteral("s%1").arg(size), data);
        const QString destination = path(QStringLiteral("d%1").arg(size));
        EXPECT_NO_THROW(CopyFileData(source, destination, -1, 4096)) << size;
        EXPECT_EQ(readFile(destination), data) << size;
    }
}

TEST_F(CopyFileDataTest, LongestDestinationNames)
{
    const QString source = writeFile("s.txt", "long");
    const QString ascii = path(QString(255, QLatin1Char('n')));
    const QString wide = path(QString(126, QChar(0x00FC)) + QStringLiteral("end")); // 255 bytes in UTF-8
    EXPECT_NO_THROW(CopyFileData(source, ascii));
    EXPECT_NO_THROW(CopyFileData(source, wide));
    EXPECT_EQ(readFile(ascii), QByteArray("long"));
    EXPECT_EQ(readFile(wide), QByteArray("long"));
}

TEST_F(CopyFileDataTest, NonPositiveBufferSizeUsesDefault)
{
    const QString source = writeFile("s.txt", "some data");
    EXPECT_NO_THROW(CopyFileData(source, path("d0.txt"), -1, 0));
    EXPECT_NO_THROW(CopyFileData(source, path("d1.txt"), -1, -5));
    EXPECT_EQ(readFile(path("d0.txt")), QByteArray("some data"));
    EXPECT_EQ(readFile(path("d1.txt")), QByteArray("some data"));
}

TEST_F(CopyFileDataTest, ReplacesReadOnlyDestinationAndTakesSourceAttributes)
{
    const QString source = writeFile("src.txt", "new contents");
    const QString destination = writeFile("dst.txt", "old");
    ChangeMode(destination, 0444);
    EXPECT_NO_THROW(CopyFileData(source, destination));
    EXPECT_EQ(readFile(destination), QByteArray("new contents"));
    EXPECT_EQ(GetFileAttributesOf(destination), faArchive); // the source's: writable

    // A read-only source (or given read-only attributes) gives a read-only copy.
    ChangeMode(source, 0444);
    EXPECT_NO_THROW(CopyFileData(source, destination));
    EXPECT_EQ(GetFileAttributesOf(destination), faArchive | faReadOnly);
    ChangeMode(source, 0644);
    EXPECT_NO_THROW(CopyFileData(source, path("given.txt"), faArchive | faReadOnly));
    EXPECT_EQ(GetFileAttributesOf(path("given.txt")), faArchive | faReadOnly);
}

TEST_F(CopyFileDataTest, ReplacedDestinationKeepsItsPermissions)
{
    const QString source = writeFile("src.txt", "secret");
    ChangeMode(source, 0644);
    const QString destination = writeFile("private.txt", "old secret");
    ChangeMode(destination, 0600);
    EXPECT_NO_THROW(CopyFileData(source, destination));
    EXPECT_EQ(ModeOf(destination), mode_t(0600));
}

TEST_F(CopyFileDataTest, SameFileDoesNothing)
{
    const QString source = writeFile("same.txt", "unchanged");
    const TFileTime time = UnixEpochFileTime;
    ASSERT_EQ(SetFileTimeStamp(source, time, false), 0);
    EXPECT_NO_THROW(CopyFileData(source, source));
    EXPECT_NO_THROW(CopyFileData(source, makeLink(source, "link.txt")));
#ifndef _WIN32
    ASSERT_TRUE(::link(QFile::encodeName(source).constData(),
                       QFile::encodeName(path("hard.txt")).constData()) == 0);
    EXPECT_NO_THROW(CopyFileData(source, path("hard.txt")));
#endif
    EXPECT_EQ(readFile(source), QByteArray("unchanged"));
    EXPECT_EQ(GetFileTimeStamp(source), time);
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
}

TEST_F(CopyFileDataTest, NameDifferingInCaseIsAnotherFileHere)
{
    // On a case-sensitive file system "A.txt" and "a.txt" are two files; the
    // copy must not be skipped.
    const QString source = writeFile("a.txt", "lower");
    EXPECT_NO_THROW(CopyFileData(source, path("A.txt")));
    EXPECT_EQ(readFile(path("A.txt")), QByteArray("lower"));
}

TEST_F(CopyFileDataTest, LinkDestinationIsWrittenThrough)
{
    const QString source = writeFile("src.txt", "through");
    const QString target = writeFile("target.txt", "old");
    const QString link = makeLink(QStringLiteral("target.txt"), "link.txt");
    EXPECT_NO_THROW(CopyFileData(source, link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), QByteArray("through"));
}

TEST_F(CopyFileDataTest, LinkSourceGivesTargetDataAndTime)
{
    const QString target = writeFile("target.txt", "linked data");
    ASSERT_EQ(SetFileTimeStamp(target, UnixEpochFileTime + 99 * TicksPerSecond, false), 0);
    const QString link = makeLink(target, "link.txt");
    EXPECT_NO_THROW(CopyFileData(link, path("copy.txt")));
    EXPECT_EQ(readFile(path("copy.txt")), QByteArray("linked data"));
    EXPECT_EQ(GetFileTimeStamp(path("copy.txt")), UnixEpochFileTime + 99 * TicksPerSecond);
    EXPECT_FALSE(QFileInfo(path("copy.txt")).isSymLink());
}

TEST_F(CopyFileDataTest, FutureSourceTimeIsReplacedByNow)
{
    const QString source = writeFile("future.txt", "x");
    const TFileTime now = CurrentFileTime();
    ASSERT_EQ(SetFileTimeStamp(source, now + 2 * TicksPerDay, false), 0);
    EXPECT_NO_THROW(CopyFileData(source, path("copy.txt")));
    const TFileTime stamped = GetFileTimeStamp(path("copy.txt"));
    EXPECT_GE(stamped + 60 * TicksPerSecond, now);
    EXPECT_LE(stamped, CurrentFileTime() + 60 * TicksPerSecond);
}

TEST_F(CopyFileDataTest, MissingSourceOrDestinationName)
{
    const QString missing = path("absent.txt");
    CopyFailure f = ExpectCopyError(missing, path("d.txt"));
    EXPECT_EQ(f.message, Quoted("File not found: \"%1\"", missing));
    EXPECT_EQ(f.code, 2);

    const QString source = writeFile("s.txt", "x");
    f = ExpectCopyError(source, QString());
    EXPECT_EQ(f.message, Quoted("File not found: \"%1\"", source));
    EXPECT_EQ(f.code, 2);

    ASSERT_TRUE(QDir(dir()).mkdir("folder"));
    f = ExpectCopyError(path("folder"), path("d.txt"));
    EXPECT_EQ(f.code, 2);
    EXPECT_FALSE(QFileInfo::exists(path("d.txt")));
}

TEST_F(CopyFileDataTest, SourceThatCannotBeOpened)
{
    const QString source = writeFile("locked.txt", "x");
    // Held exclusively by another stream: the shared open is refused.
    TExtFileStream holder(source, fmOpenReadWrite | fmShareExclusive);
    CopyFailure f = ExpectCopyError(source, path("d.txt"));
    EXPECT_EQ(f.message, Quoted("Error opening \"%1\"", source));
    EXPECT_EQ(f.code, EWOULDBLOCK);
    EXPECT_FALSE(QFileInfo::exists(path("d.txt")));
}

TEST_F(CopyFileDataTest, UnreadableSource)
{
    if (RunningAsRoot())
        GTEST_SKIP() << "permissions do not apply to root";
    const QString source = writeFile("secret.txt", "x");
    ChangeMode(source, 0000);
    CopyFailure f = ExpectCopyError(source, path("d.txt"));
    EXPECT_EQ(f.message, Quoted("Error opening \"%1\"", source));
    EXPECT_EQ(f.code, EACCES);
}

TEST_F(CopyFileDataTest, DestinationThatCannotBeCreated)
{
    const QString source = writeFile("s.txt", "x");

    const QString inMissingFolder = path("missing/d.txt");
    CopyFailure f = ExpectCopyError(source, inMissingFolder);
    EXPECT_EQ(f.message, Quoted("Error creating \"%1\"", inMissingFolder));
    EXPECT_EQ(f.code, ENOENT);

    ASSERT_TRUE(QDir(dir()).mkdir("folder"));
    f = ExpectCopyError(source, path("folder"));
    EXPECT_EQ(f.message, Quoted("Error creating \"%1\"", path("folder")));
    EXPECT_EQ(f.code, EISDIR);
    EXPECT_TRUE(QFileInfo(path("folder")).isDir());
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(CopyFileDataTest, UnwritableDestinationFolder)
{
    const QString source = writeFile("s.txt", "x");
    QString folder = path("readonly");
    if (RunningAsRoot()) {
        folder = QStringLiteral("/sys"); // refuses new files even to root
    } else {
        ASSERT_TRUE(QDir(dir()).mkdir("readonly"));
        ChangeMode(folder, 0555);
    }
    const QString destination = folder + QStringLiteral("/d.txt");
    CopyFailure f = ExpectCopyError(source, destination);
    EXPECT_EQ(f.message, Quoted("Error creating \"%1\"", destination));
    EXPECT_EQ(f.code, EACCES);
    if (!RunningAsRoot())
        ChangeMode(folder, 0755);
}

#ifdef __linux__
TEST_F(CopyFileDataTest, ReadErrorLeavesNoDestination)
{
    // /proc/self/mem is a regular file whose first page is unmapped: reading
    // it fails with EIO.
    const QString source = QStringLiteral("/proc/self/mem");
    const QString destination = path("mem.bin");
    CopyFailure f = ExpectCopyError(source, destination);
    EXPECT_EQ(f.message, Quoted("Error reading from \"%1\"", source));
    EXPECT_EQ(f.code, EIO);
    EXPECT_FALSE(QFileInfo::exists(destination));
    EXPECT_TRUE(leftovers().isEmpty());
}
#endif

TEST_F(CopyFileDataTest, WriteErrorOnFullDevice)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    const QString source = writeFile("s.bin", QByteArray(10000, 'x'));
    CopyFailure f = ExpectCopyError(source, QStringLiteral("/dev/full"));
    EXPECT_EQ(f.message, Quoted("Error writing to \"%1\"", QStringLiteral("/dev/full")));
    EXPECT_EQ(f.code, ENOSPC);
}

#ifndef _WIN32
// Limits the size of files this process may write; restores the limit after.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = FSaved;
        limit.rlim_cur = bytes;
        FActive = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FOldHandler);
    }
    bool Active() const { return FActive; }

private:
    struct rlimit FSaved = {};
    void (*FOldHandler)(int) = nullptr;
    bool FActive = false;
};

TEST_F(CopyFileDataTest, WriteErrorKeepsExistingDestinationAndLeavesNoPartialFile)
{
    const QString source = writeFile("big.bin", QByteArray(20000, 'n'));
    const QString destination = writeFile("dst.bin", "the old destination");
    CopyFailure f;
    {
        TFileSizeLimit limit(5000);
        ASSERT_TRUE(limit.Active());
        f = ExpectCopyError(source, destination, -1, 4096);
    }
    EXPECT_EQ(f.message, Quoted("Error writing to \"%1\"", destination));
    EXPECT_EQ(f.code, EFBIG);
    EXPECT_EQ(readFile(destination), QByteArray("the old destination"));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();

    // Without an old destination none is left either.
    {
        TFileSizeLimit limit(5000);
        f = ExpectCopyError(source, path("new.bin"), -1, 4096);
    }
    EXPECT_EQ(f.code, EFBIG);
    EXPECT_FALSE(QFileInfo::exists(path("new.bin")));
    EXPECT_TRUE(leftovers().isEmpty());
}
#endif

// ---------------------------------------------------------------------------
// Atomic writes

using WriteFileAtomicallyTest = CopyFileDataTest;

TEST_F(WriteFileAtomicallyTest, CreatesOrReplacesTheFileKeepingItsPermissions)
{
    const QString name = path("new.txt");
    ASSERT_EQ(WriteFileAtomically(name, "first"), 0);
    EXPECT_EQ(readFile(name), QByteArray("first"));

    ChangeMode(name, 0600);
    const QByteArray big(3 * DefaultCopyBufferSize + 17, 'b');
    ASSERT_EQ(WriteFileAtomically(name, big), 0);
    EXPECT_EQ(readFile(name), big);
    EXPECT_EQ(ModeOf(name), mode_t(0600));

    ASSERT_EQ(WriteFileAtomically(name, QByteArray()), 0);
    EXPECT_EQ(QFileInfo(name).size(), 0);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(WriteFileAtomicallyTest, ReplacesTheTargetOfALink)
{
    const QString target = writeFile("target.txt", "old");
    const QString link = makeLink(target, "link.txt");
    ASSERT_EQ(WriteFileAtomically(link, "new"), 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), QByteArray("new"));
}

TEST_F(WriteFileAtomicallyTest, FailuresLeaveTheOldFileAndNoTemporaryFile)
{
    ASSERT_TRUE(QDir(dir()).mkdir("folder"));
    EXPECT_EQ(WriteFileAtomically(path("folder"), "x"), EISDIR);
    EXPECT_TRUE(QFileInfo(path("folder")).isDir());

    EXPECT_EQ(WriteFileAtomically(path("missing/file.txt"), "x"), ENOENT);
    EXPECT_FALSE(QFileInfo::exists(path("missing")));

#ifndef _WIN32
    const QString name = writeFile("kept.txt", "the old text");
    {
        TFileSizeLimit limit(5000);
        ASSERT_TRUE(limit.Active());
        EXPECT_EQ(WriteFileAtomically(name, QByteArray(20000, 'n')), EFBIG);
    }
    EXPECT_EQ(readFile(name), QByteArray("the old text"));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(' ').toStdString();
#endif
}

// The copy and stream messages are library texts: translated, then formatted.
class GermanFileMessagesTest : public CopyFileDataTest
{
protected:
    void SetUp() override
    {
        CopyFileDataTest::SetUp();
        UseLanguage(QStringLiteral("de"));
        AddLibraryDomain(UnitsTextDomain);
    }
    void TearDown() override
    {
        qunsetenv("LANGUAGE");
        ResetTranslationForTesting();
        UseLanguage(QString());
    }
};

TEST_F(GermanFileMessagesTest, MessagesComeFromTheCatalogue)
{
    // A name with format characters is an argument, never part of the pattern.
    const QString missing = path("100%s %d.txt");
    CopyFailure f = ExpectCopyError(missing, path("d.txt"));
    EXPECT_EQ(f.message, Quoted("Datei nicht gefunden: \"%1\"", missing));
    EXPECT_EQ(f.code, 2);

    const QString source = writeFile("s.txt", "x");
    const QString inMissingFolder = path("missing/d.txt");
    f = ExpectCopyError(source, inMissingFolder);
    EXPECT_EQ(f.message, Quoted("Fehler beim Erstellen von \"%1\"", inMissingFolder));

    try {
        TExtFileStream stream(missing, fmOpenRead | fmShareDenyNone);
        ADD_FAILURE() << "opened a missing file";
    } catch (const EExtFileStreamError &e) {
        EXPECT_TRUE(e.Message().startsWith(
            Quoted("Die Datei \"%1\" kann nicht ge\u00f6ffnet werden. ", missing)))
            << e.Message().toStdString();
        EXPECT_EQ(e.ErrorCode, ENOENT);
    }
}

// ---------------------------------------------------------------------------
// Shortcuts and recycle bin

TEST_F(FileUtilsTest, ShortcutsAreReportedAsUnsupported)
{
    QString target = QStringLiteral("t"), arguments = QStringLiteral("a"),
            folder = QStringLiteral("f"), description = QStringLiteral("d");
    bool runAsAdmin = true;
    EXPECT_EQ(GetShortcutInfo(path("absent.lnk"), target, arguments, folder, description, runAsAdmin), 2);
    EXPECT_TRUE(target.isEmpty() && arguments.isEmpty() && folder.isEmpty() && description.isEmpty());
    EXPECT_FALSE(runAsAdmin);
    EXPECT_FALSE(GetShortcutInfo(path("absent.lnk"), target, arguments, folder, description));

    const QString lnk = writeFile("target.lnk", "L");
    EXPECT_LT(GetShortcutInfo(lnk, target, arguments, folder, description, runAsAdmin), 0);
    EXPECT_FALSE(GetShortcutInfo(lnk, target, arguments, folder, description));
}

// Points the user's data folder (home trash) elsewhere and works in the test's
// folder for the lifetime of the object.
class TTrashEnvironment
{
public:
    TTrashEnvironment(const QString &dataHome, const QString &workFolder)
        : FHadDataHome(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
          FSavedDataHome(qgetenv("XDG_DATA_HOME")), FSavedCurrent(QDir::currentPath())
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
        QDir::setCurrent(workFolder);
    }
    ~TTrashEnvironment()
    {
        QDir::setCurrent(FSavedCurrent);
        if (FHadDataHome)
            qputenv("XDG_DATA_HOME", FSavedDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
    }

private:
    bool FHadDataHome;
    QByteArray FSavedDataHome;
    QString FSavedCurrent;
};

TEST_F(FileUtilsTest, RecycleFolderMovesFolderToTrash)
{
    writeFile("work/keep.txt", "x");
    writeFile("doomed/inner/file.txt", "content");
    qint32 result, missing, notFolder;
    {
        // The data folder does not exist yet.
        TTrashEnvironment env(path("xdg"), path("work"));
        result = RecycleFolder(0, path("doomed") + QLatin1Char('/'));
        missing = RecycleFolder(0, path("never-there"));
        notFolder = RecycleFolder(0, writeFile("plain.txt", "x"));
    }
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(QFileInfo::exists(path("doomed")));
    EXPECT_TRUE(QFileInfo::exists(path("xdg/Trash/files/doomed/inner/file.txt")));
    EXPECT_TRUE(QFileInfo::exists(path("xdg/Trash/info/doomed.trashinfo")));
    EXPECT_EQ(missing, ENOENT);
    EXPECT_EQ(notFolder, ENOTDIR);
    EXPECT_TRUE(QFileInfo::exists(path("plain.txt")));
}

TEST_F(FileUtilsTest, RecycleFolderWithoutReachableTrashKeepsFolder)
{
    writeFile("work/keep.txt", "x");
    writeFile("doomed/file.txt", "content");
    const QString blocker = writeFile("blocker", "a file where the data folder should be");
    qint32 result;
    {
        TTrashEnvironment env(blocker + QStringLiteral("/xdg"), path("work"));
        result = RecycleFolder(0, path("doomed"));
    }
    EXPECT_NE(result, 0);
    EXPECT_EQ(readFile(path("doomed/file.txt")), QByteArray("content"));
    EXPECT_EQ(QDir(path("work")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("keep.txt")});
}

} // namespace
