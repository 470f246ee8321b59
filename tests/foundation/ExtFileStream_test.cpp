#include "foundation/FileUtils.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

using namespace foundation;

namespace {

class ExtFileStreamTest : public TempDirTest
{
};

// Runs make() and returns the error it raised; fails the test when it raises none.
template <typename F>
EExtFileStreamError ExpectStreamError(F make)
{
    try {
        make();
    } catch (const EExtFileStreamError &e) {
        return e;
    }
    ADD_FAILURE() << "no EExtFileStreamError raised";
    return EExtFileStreamError(QString(), 0);
}

TEST_F(ExtFileStreamTest, CreateWriteReadBack)
{
    const QString name = path("data.bin");
    const QByteArray payload("0123456789abcdef");
    {
        TExtFileStream out(name, fmCreate);
        EXPECT_EQ(out.FileName(), name);
        qint32 written = 0;
        EXPECT_EQ(out.Write(payload.constData(), qint32(payload.size()), written), 0);
        EXPECT_EQ(written, payload.size());
        EXPECT_EQ(out.Size(), payload.size());
        EXPECT_EQ(out.Position(), payload.size());
    }
    TExtFileStream in(name, fmOpenRead | fmShareDenyNone);
    char buffer[64] = {};
    qint32 readCount = -5;
    EXPECT_EQ(in.Read(buffer, 10, readCount), 0);
    EXPECT_EQ(readCount, 10);
    EXPECT_EQ(QByteArray(buffer, 10), payload.left(10));
    // The rest comes as a short read, then the end of the file as 0 with 0.
    EXPECT_EQ(in.Read(buffer, 64, readCount), 0);
    EXPECT_EQ(readCount, 6);
    EXPECT_EQ(in.Read(buffer, 64, readCount), 0);
    EXPECT_EQ(readCount, 0);
    EXPECT_EQ(in.Seek(4, soFromBeginning), 4);
    EXPECT_EQ(in.Read(buffer, 2), 2);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("45"));
    EXPECT_EQ(in.Seek(-3, soFromEnd), 13);
    EXPECT_EQ(in.Seek(1, soFromCurrent), 14);
}

TEST_F(ExtFileStreamTest, CreateReplacesExistingContents)
{
    const QString name = writeFile("old.txt", QByteArray(1000, 'x'));
    {
        TExtFileStream out(name, fmCreate);
        EXPECT_EQ(out.Size(), 0);
        EXPECT_EQ(out.Write("new", 3), 3);
    }
    EXPECT_EQ(readFile(name), QByteArray("new"));
}

TEST_F(ExtFileStreamTest, CreateInMissingFolderNamesFullPathAndErrno)
{
    const QString name = path("missing/sub/file.bin");
    const EExtFileStreamError e = ExpectStreamError([&] { TExtFileStream s(name, fmCreate); });
    EXPECT_EQ(e.ErrorCode, ENOENT);
    const QString expected = QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(QDir::toNativeSeparators(name),
                                      QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_EQ(e.Message(), expected);
    EXPECT_STREQ(e.what(), expected.toStdString().c_str());
}

TEST_F(ExtFileStreamTest, RelativeNameIsReportedWithFullPath)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir()));
    const EExtFileStreamError e
        = ExpectStreamError([] { TExtFileStream s(QStringLiteral("absent.gz"), fmOpenRead); });
    QDir::setCurrent(previous);
    EXPECT_EQ(e.ErrorCode, ENOENT);
    EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot open file \"%1\". ")
                                           .arg(QDir::toNativeSeparators(path("absent.gz")))))
        << e.Message().toStdString();
}

TEST_F(ExtFileStreamTest, FolderIsNoStream)
{
    const EExtFileStreamError opened
        = ExpectStreamError([&] { TExtFileStream s(dir(), fmOpenRead | fmShareDenyNone); });
    EXPECT_EQ(opened.ErrorCode, EISDIR);
    const EExtFileStreamError created = ExpectStreamError([&] { TExtFileStream s(dir(), fmCreate); });
    EXPECT_EQ(created.ErrorCode, EISDIR);
    EXPECT_TRUE(created.Message().startsWith(QStringLiteral("Cannot create file")));
}

TEST_F(ExtFileStreamTest, InvalidAccessModeIsRefused)
{
    const QString name = writeFile("a.txt", "a");
    const EExtFileStreamError e = ExpectStreamError([&] { TExtFileStream s(name, 0x0003); });
    EXPECT_EQ(e.ErrorCode, EINVAL);
}

TEST_F(ExtFileStreamTest, RightsApplyToCreatedFile)
{
    const QString name = path("private.bin");
    { TExtFileStream out(name, fmCreate, 0600); }
    EXPECT_EQ(QFileInfo(name).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup
                                               | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_TRUE(QFileInfo(name).permissions() & QFile::WriteOwner);
}

TEST_F(ExtFileStreamTest, ReadAndWriteFailuresReturnErrnoWithoutThrowing)
{
    const QString name = writeFile("r.txt", "abc");
    TExtFileStream reader(name, fmOpenRead);
    qint32 count = 0;
    EXPECT_EQ(reader.Write("x", 1, count), EBADF);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(reader.Write("x", 1), -1);

    char buffer[4];
    TExtFileStream writeOnly(writeFile("w.txt", "abc"), fmOpenWrite | fmShareDenyNone);
    EXPECT_EQ(writeOnly.Read(buffer, 4, count), EBADF);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(writeOnly.Read(buffer, -1, count), EINVAL);
}

TEST_F(ExtFileStreamTest, CreateNewRefusesExistingFile)
{
    const QString name = writeFile("exists.txt", "keep");
    const EExtFileStreamError e = ExpectStreamError([&] { TExtFileStream::CreateNew(name); });
    EXPECT_EQ(e.ErrorCode, EEXIST);
    EXPECT_EQ(readFile(name), QByteArray("keep"));
    EXPECT_NE(TExtFileStream::CreateNew(path("fresh.txt")), nullptr);
}

TEST_F(ExtFileStreamTest, PositionsAndSizesBeyondFourGiB)
{
    const QString name = path("sparse.bin");
    constexpr qint64 far = (qint64(1) << 32) + 12345;
    TExtFileStream out(name, fmCreate);
    ASSERT_EQ(out.Seek(far, soFromBeginning), far);
    ASSERT_EQ(out.Write("z", 1), 1);
    EXPECT_EQ(out.Size(), far + 1);
    EXPECT_EQ(out.Position(), far + 1);
    EXPECT_TRUE(out.SetPosition(far));
    char c = 0;
    EXPECT_EQ(out.Read(&c, 1), 1);
    EXPECT_EQ(c, 'z');
    EXPECT_EQ(out.SetSize(10), 0);
    EXPECT_EQ(out.Size(), 10);
}

// Sharing modes become advisory locks between streams.
struct SharingCase
{
    quint16 firstMode;
    quint16 secondMode;
    bool secondOpens;
};

constexpr SharingCase SharingCases[] = {
    {fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareDenyNone, true},
    {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyWrite, true},
    {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
    {fmOpenReadWrite | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
    {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareExclusive, false},
    {fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
    {fmOpenRead, fmOpenRead | fmShareDenyNone, false}, // compat is exclusive
    {fmCreate, fmOpenRead | fmShareDenyNone, false},
    {fmCreate | fmShareDenyNone, fmOpenRead | fmShareDenyNone, true},
};

class ExtFileStreamSharingTest : public TempDirTest, public ::testing::WithParamInterface<SharingCase>
{
};

TEST_P(ExtFileStreamSharingTest, SecondOpenObeysFirstSharing)
{
    const SharingCase c = GetParam();
    const QString name = writeFile("shared.bin", "content");
    TExtFileStream first(name, c.firstMode);
    if (c.secondOpens) {
        EXPECT_NO_THROW({ TExtFileStream second(name, c.secondMode); });
    } else {
        const EExtFileStreamError e = ExpectStreamError([&] { TExtFileStream s(name, c.secondMode); });
        EXPECT_EQ(e.ErrorCode, EWOULDBLOCK);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ExtFileStreamSharingTest, ::testing::ValuesIn(SharingCases));

TEST_F(ExtFileStreamTest, RefusedCreateLeavesLockedFileIntact)
{
    const QString name = writeFile("held.bin", "precious");
    TExtFileStream holder(name, fmOpenRead | fmShareDenyWrite);
    const EExtFileStreamError e = ExpectStreamError([&] { TExtFileStream s(name, fmCreate); });
    EXPECT_EQ(e.ErrorCode, EWOULDBLOCK);
    EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot create file")));
    EXPECT_EQ(readFile(name), QByteArray("precious"));
}

TEST_F(ExtFileStreamTest, CloseReleasesLock)
{
    const QString name = writeFile("lock.bin", "x");
    TExtFileStream first(name, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(first.Handle(), -1);
    EXPECT_NO_THROW({ TExtFileStream again(name, fmOpenReadWrite | fmShareExclusive); });
    char c = 0;
    qint32 count = 0;
    EXPECT_EQ(first.Read(&c, 1, count), EBADF);
}

} // namespace
