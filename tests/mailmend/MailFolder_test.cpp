#include "mailmend/core/MailFolder.h"
#include "tests/mailmend/MailFolderModel.h"

#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <cstring>
#include <iterator>
#include <string_view>

#include <csignal>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

using namespace std::string_view_literals;

namespace {

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

QStringList TempFilesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.mailmend-*")}, QDir::Files | QDir::Hidden);
}

class MailFolderTest : public TempDirTest
{
protected:
    // Scans and restores a folder file holding input; returns the file after.
    QByteArray Recover(const QByteArray &input, bool markUnread, qint64 &count)
    {
        const QString file = writeFile(QStringLiteral("Inbox"), input);
        const TScanResult scan = ScanMailFolder(file);
        EXPECT_EQ(scan.LineCount, MailFolderModel::Rewrite(input, markUnread).Lines);
        count = RestoreMailFolder(scan, file, markUnread);
        EXPECT_EQ(count, scan.DeletedCount);
        EXPECT_TRUE(TempFilesIn(dir()).isEmpty());
        const QByteArray output = readFile(file);
        if (count > 0) {
            EXPECT_EQ(output.size(), scan.OutputSize);
        }
        return output;
    }
};

// ---------------------------------------------------------------------------
// Status values, header forms and line ends (8-bit text)

struct TRewriteCase
{
    const char *name;
    std::string_view input;
    std::string_view expected; // the file after the recovery
    bool markUnread;
    int deleted;
};

constexpr TRewriteCase RewriteCases[] = {
    {"ReadDeleted", "X-Mozilla-Status: 0009\r\n", "X-Mozilla-Status: 0001\r\n", false, 1},
    {"ReadDeletedUnread", "X-Mozilla-Status: 0009\r\n", "X-Mozilla-Status: 0000\r\n", true, 1},
    {"Replied", "X-Mozilla-Status: 0019\r\n", "X-Mozilla-Status: 0011\r\n", false, 1},
    {"RepliedUnread", "X-Mozilla-Status: 0019\r\n", "X-Mozilla-Status: 0010\r\n", true, 1},
    {"OnlyDeleted", "X-Mozilla-Status: 0008\r\n", "X-Mozilla-Status: 0000\r\n", false, 1},
    {"LowerHex", "X-Mozilla-Status: 000b\r\n", "X-Mozilla-Status: 0003\r\n", false, 1},
    {"UpperHexUnread", "X-Mozilla-Status: 000B\r\n", "X-Mozilla-Status: 0002\r\n", true, 1},
    {"LowerCaseNoBlankComma", "x-mozilla-status:0009,extra\r\n", "X-Mozilla-Status: 0001\r\n", false, 1},
    {"MoreDigits", "X-Mozilla-Status: 10009\r\n", "X-Mozilla-Status: 10001\r\n", false, 1},
    {"ShortValue", "X-Mozilla-Status: 8\r\n", "X-Mozilla-Status: 0000\r\n", false, 1},
    {"ControlCharsBeforeValue", "X-Mozilla-Status:\t\0 0009\r\n"sv, "X-Mozilla-Status: 0001\r\n", false, 1},
    {"TrailingBlanksDropped", "X-Mozilla-Status: 0009  \r\n", "X-Mozilla-Status: 0001\r\n", false, 1},
    {"BlankThenComma", "X-Mozilla-Status: 0009 ,x\r\n", "X-Mozilla-Status: 0001\r\n", false, 1},
    {"NotDeleted", "X-Mozilla-Status: 0011\r\nX-Mozilla-Status: 1001\r\n", "X-Mozilla-Status: 0011\r\nX-Mozilla-Status: 1001\r\n", false, 0},
    {"LeadingBlank", " X-Mozilla-Status: 0009\r\n", " X-Mozilla-Status: 0009\r\n", false, 0},
    {"Status2", "X-Mozilla-Status2: 00000008\r\n", "X-Mozilla-Status2: 00000008\r\n", false, 0},
    {"EmptyValue", "X-Mozilla-Status:\r\nX-Mozilla-Status: ,9\n", "X-Mozilla-Status:\r\nX-Mozilla-Status: ,9\n", false, 0},
    {"NotHex", "X-Mozilla-Status: 00z9\nX-Mozilla-Status: 0x09\n", "X-Mozilla-Status: 00z9\nX-Mozilla-Status: 0x09\n", false, 0},
    {"TextAfterBlank", "X-Mozilla-Status: 0009 x\n", "X-Mozilla-Status: 0009 x\n", false, 0},
    {"Over32Bits", "X-Mozilla-Status: 100000008\n", "X-Mozilla-Status: 100000008\n", false, 0},
    {"LfOnly", "X-Mozilla-Status: 0008\nline\n", "X-Mozilla-Status: 0000\r\nline\r\n", false, 1},
    {"LoneCr", "a\rX-Mozilla-Status: 0008\rb", "a\r\nX-Mozilla-Status: 0000\r\nb\r\n", false, 1},
    {"LfCrIsTwoBreaks", "X-Mozilla-Status: 0008\n\rz\n", "X-Mozilla-Status: 0000\r\n\r\nz\r\n", false, 1},
    {"NoBreakAtEnd", "a\r\nX-Mozilla-Status: 0008", "a\r\nX-Mozilla-Status: 0000\r\n", false, 1},
    {"CrAtEnd", "X-Mozilla-Status: 0008\r", "X-Mozilla-Status: 0000\r\n", false, 1},
    {"EmptyLinesKept", "\n\nX-Mozilla-Status: 0008\n\n", "\r\n\r\nX-Mozilla-Status: 0000\r\n\r\n", false, 1},
    {"StatusInBody", "From a\nX-Mozilla-Status: 0001\n\nX-Mozilla-Status: 0009\n", "From a\r\nX-Mozilla-Status: 0001\r\n\r\nX-Mozilla-Status: 0001\r\n", false, 1},
    {"NulAndInvalidBytesPass", "X-Mozilla-Status: 0008\n\0\xff\xfe\x81 \xc3(\n\0"sv, "X-Mozilla-Status: 0000\r\n\0\xff\xfe\x81 \xc3(\r\n\0\r\n"sv, false, 1},
    {"Utf8BomKept", "\xEF\xBB\xBFX-Mozilla-Status: 0009\nGr\xC3\xBC\xC3\x9F\xC3" "e\n", "\xEF\xBB\xBFX-Mozilla-Status: 0001\r\nGr\xC3\xBC\xC3\x9F\xC3" "e\r\n", false, 1},
};

class MailFolderRewrite : public MailFolderTest, public ::testing::WithParamInterface<TRewriteCase>
{
};

TEST_P(MailFolderRewrite, GivesTheRewrittenFile)
{
    const TRewriteCase &c = GetParam();
    qint64 count = -1;
    EXPECT_EQ(Recover(Bytes(c.input), c.markUnread, count), Bytes(c.expected));
    EXPECT_EQ(count, c.deleted);
    EXPECT_EQ(MailFolderModel::Rewrite(Bytes(c.input), c.markUnread).Output, Bytes(c.expected))
        << "the reference model disagrees with the case";
}

INSTANTIATE_TEST_SUITE_P(Cases, MailFolderRewrite, ::testing::ValuesIn(RewriteCases),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// UTF-16: the same rules on 16-bit units; invalid units pass through.

struct TUtf16Case
{
    const char *name;
    bool bigEndian;
};

class MailFolderUtf16 : public MailFolderTest, public ::testing::WithParamInterface<TUtf16Case>
{
protected:
    QByteArray Encode(const std::u16string &text) const
    {
        QByteArray out = GetParam().bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        for (const char16_t c : text) {
            if (GetParam().bigEndian)
                out.append(char(c >> 8)).append(char(c & 0xFF));
            else
                out.append(char(c & 0xFF)).append(char(c >> 8));
        }
        return out;
    }
};

TEST_P(MailFolderUtf16, RewritesUnitsAndKeepsTheMark)
{
    // A lone surrogate and a NUL unit are no valid text but must survive;
    // the unit 0x0A0D holds the bytes of CR and LF without being a break.
    const std::u16string input(u"From x\nX-Mozilla-Status: 0009\n\xD800\0\x0A0D\u00FC\rX-Mozilla-Status: 0001"sv);
    const std::u16string expected(
        u"From x\r\nX-Mozilla-Status: 0001\r\n\xD800\0\x0A0D\u00FC\r\nX-Mozilla-Status: 0001\r\n"sv);
    qint64 count = 0;
    EXPECT_EQ(Recover(Encode(input), false, count), Encode(expected));
    EXPECT_EQ(count, 1);
}

TEST_P(MailFolderUtf16, KeepsAnOddLastByte)
{
    const QByteArray input = Encode(u"X-Mozilla-Status: 0008\n") + QByteArray("\x41", 1);
    qint64 count = 0;
    EXPECT_EQ(Recover(input, false, count), Encode(u"X-Mozilla-Status: 0000\r\n") + QByteArray("\x41", 1));
}

constexpr TUtf16Case Utf16Cases[] = {{"LittleEndian", false}, {"BigEndian", true}};
INSTANTIATE_TEST_SUITE_P(Layouts, MailFolderUtf16, ::testing::ValuesIn(Utf16Cases),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Lines that cross the 1 MiB read buffers

class MailFolderBufferEdges : public MailFolderTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(MailFolderBufferEdges, AgreeWithTheModel)
{
    // The interesting text starts `shift` bytes before the first buffer ends.
    const int shift = GetParam();
    const qsizetype boundary = qsizetype(1) << 20;
    for (const char *tail : {"\r\nX-Mozilla-Status: 0009,abc\r\nmore\nX-Mozilla-Status: 0008",
                             "\r\n\rline\n\r\nx\rX-Mozilla-Status: 0008\r\r\n\n\rplain\r",
                             "\rX-Mozilla-Status:          0019   \r\r\n",
                             "\nX-Mozilla-Status: 0001\r\n"}) {
        QByteArray input(boundary - shift, 'a');
        input.append(tail);
        const MailFolderModel::TModelResult model = MailFolderModel::Rewrite(input, true);
        qint64 count = 0;
        const QByteArray output = Recover(input, true, count);
        EXPECT_EQ(count, model.Deleted) << tail;
        EXPECT_TRUE(output == model.Output) << "shift " << shift << " tail " << tail;
    }
}

INSTANTIATE_TEST_SUITE_P(Shifts, MailFolderBufferEdges, ::testing::Values(1, 2, 3, 5, 9, 17, 18, 19, 25, 40));

TEST_F(MailFolderTest, RandomTextAgreesWithTheModel)
{
    // Short lines with every kind of break, and status lines among them, at
    // all alignments and across buffers.
    static const char *const pieces[] = {"\n", "\r", "\r\n", "\n\r", "a", "plain text ", "x", "X",
                                         "X-Mozilla-Status: 0009", "x-mozilla-status:0008,", "X-Mozilla-Status2: 8",
                                         "X-Mozilla-Status: 0001", "\0", "\xff"};
    QRandomGenerator random(4711);
    for (int round = 0; round < 3; ++round) {
        QByteArray input;
        while (input.size() < (2 << 20) + 777 * round) {
            const char *piece = pieces[random.bounded(int(std::size(pieces)))];
            input.append(piece, *piece ? qsizetype(std::strlen(piece)) : 1);
        }
        for (const bool unread : {false, true}) {
            const MailFolderModel::TModelResult model = MailFolderModel::Rewrite(input, unread);
            qint64 count = 0;
            EXPECT_TRUE(Recover(input, unread, count) == model.Output) << "round " << round;
            EXPECT_EQ(count, model.Deleted);
        }
    }
}

TEST_F(MailFolderTest, RandomUtf16TextAgreesWithTheModel)
{
    // The same pieces as 16-bit units, with units that hold the bytes of CR
    // and LF without being breaks, across the read buffers at odd and even
    // positions (the text after the mark, and a dangling last byte).
    static const char16_t *const pieces[] = {u"\n", u"\r", u"\r\n", u"\n\r", u"a", u"plain text ", u"x", u"X",
                                             u"X-Mozilla-Status: 0009", u"x-mozilla-status:0008,",
                                             u"X-Mozilla-Status2: 8", u"X-Mozilla-Status: 0001", u"\x0D0A",
                                             u"\x0A00", u"\x000D\x0A0D", u"\xD800"};
    QRandomGenerator random(815);
    for (const bool bigEndian : {false, true}) {
        QByteArray input = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        while (input.size() < (3 << 20)) {
            for (const char16_t *c = pieces[random.bounded(int(std::size(pieces)))]; *c; ++c) {
                const char hi = char(*c >> 8), lo = char(*c & 0xFF);
                input.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
            }
        }
        input.append('\x41');
        const MailFolderModel::TModelResult model = MailFolderModel::Rewrite(input, true);
        qint64 count = 0;
        EXPECT_TRUE(Recover(input, true, count) == model.Output) << (bigEndian ? "big" : "little") << " endian";
        EXPECT_EQ(count, model.Deleted);
        EXPECT_GT(count, 0);
    }
}

TEST_F(MailFolderTest, StatusLineLongerThanABufferCounts)
{
    // The value is decided only after many blanks that cross a buffer.
    QByteArray input("X-Mozilla-Status:");
    input.append(QByteArray((1 << 20) - 20, 'x')).append("\n");
    input.append(QByteArray((1 << 20) - 10, 'y'));
    input.append("\nX-Mozilla-Status:").append(QByteArray(3000, ' ')).append("0009\n");
    input.append("X-Mozilla-Status:").append(QByteArray(MaxStatusLineHead, ' ')).append("0009\n");
    const MailFolderModel::TModelResult model = MailFolderModel::Rewrite(input, false);
    qint64 count = 0;
    EXPECT_TRUE(Recover(input, false, count) == model.Output);
    EXPECT_EQ(count, 1); // the value beyond MaxStatusLineHead is not read
}

// ---------------------------------------------------------------------------
// What the scan reports

TEST_F(MailFolderTest, ScanReportsLinesOffsetsAndOutputSize)
{
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\nbody\rX-Mozilla-Status: 0008,x\n";
    const QString file = writeFile(QStringLiteral("Sent"), input);
    std::vector<std::tuple<qint64, qint64, quint32>> seen;
    qint64 lastDone = -1;
    const TScanResult scan = ScanMailFolder(
        file,
        [&](qint64 done, qint64 total) {
            EXPECT_EQ(total, input.size());
            lastDone = done;
            return true;
        },
        [&](qint64 line, qint64 offset, quint32 value) { seen.emplace_back(line, offset, value); });
    EXPECT_EQ(lastDone, input.size());
    EXPECT_EQ(scan.Encoding, TFolderEncoding::Ansi);
    EXPECT_EQ(scan.LineCount, 4);
    EXPECT_EQ(scan.DeletedCount, 2);
    const std::vector<std::tuple<qint64, qint64, quint32>> expected{{1, 7, 0x9}, {3, 35, 0x8}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(scan.OutputSize, MailFolderModel::Rewrite(input, false).Output.size());
}

TEST_F(MailFolderTest, NothingDeletedLeavesTheFileUntouched)
{
    for (const QByteArray &input : {QByteArray(), QByteArray("From a\nno status\n"),
                                    QByteArray("X-Mozilla-Status: 0001\nX-Mozilla-Status: 0011\n")}) {
        const QString file = writeFile(QStringLiteral("Drafts"), input);
        const QString index = writeFile(QStringLiteral("Drafts.msf"), "index");
        const TFileIdentity before = FileIdentityOf(file);
        const TScanResult scan = ScanMailFolder(file);
        EXPECT_EQ(scan.DeletedCount, 0);
        EXPECT_EQ(RestoreMailFolder(scan, file, true), 0);
        EXPECT_EQ(FileIdentityOf(file), before);
        EXPECT_TRUE(QFileInfo::exists(index));
    }
}

TEST_F(MailFolderTest, MissingFileCannotBeOpened)
{
    const QString file = path(QStringLiteral("Missing"));
    try {
        ScanMailFolder(file);
        FAIL() << "no error";
    } catch (const EExtFileStreamError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot open file \"") + file + QStringLiteral("\". ")))
            << e.message().toStdString();
        EXPECT_EQ(e.ErrorCode, ENOENT);
    }
}

// ---------------------------------------------------------------------------
// Index file

struct TIndexCase
{
    const char *folder;
    const char *index; // empty: no index file is deleted
};

constexpr TIndexCase IndexCases[] = {
    {"Inbox", "Inbox.msf"},
    {"Archive.2023", "Archive.2023.msf"},
    {"Trash.MSF", ""},
    {"old.msf", ""},
    {"name.", "name.msf"},
};

class MailIndexName : public ::testing::TestWithParam<TIndexCase>
{
};

TEST_P(MailIndexName, AddsTheExtension)
{
    const QString folder = QStringLiteral("/mail/Local Folders.sbd/") + QLatin1String(GetParam().folder);
    const QString expected = *GetParam().index
                                 ? QStringLiteral("/mail/Local Folders.sbd/") + QLatin1String(GetParam().index)
                                 : QString();
    EXPECT_EQ(MailIndexFileName(folder), expected);
}

INSTANTIATE_TEST_SUITE_P(Names, MailIndexName, ::testing::ValuesIn(IndexCases));

TEST_F(MailFolderTest, RestoreDeletesTheIndexButNeverTheFolder)
{
    const QString inbox = writeFile(QStringLiteral("Inbox"), "X-Mozilla-Status: 0009\n");
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(inbox), inbox, false), 1);
    EXPECT_FALSE(QFileInfo::exists(index));

    // A folder file that is itself named like an index keeps existing.
    const QString odd = writeFile(QStringLiteral("odd.msf"), "X-Mozilla-Status: 0009\n");
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(odd), odd, false), 1);
    EXPECT_EQ(readFile(odd), QByteArray("X-Mozilla-Status: 0001\r\n"));

    // Without an index file the count is still returned.
    const QString sent = writeFile(QStringLiteral("Sent"), "X-Mozilla-Status: 0008\n");
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(sent), sent, false), 1);
}

// ---------------------------------------------------------------------------
// Safety of the rewrite (POSIX: permission bits, time stamps, signals and
// resource limits are set through the POSIX interfaces)

#if !defined(_WIN32)

TEST_F(MailFolderTest, KeepsPermissionBits)
{
    const QString file = writeFile(QStringLiteral("Inbox"), "X-Mozilla-Status: 0009\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    RestoreMailFolder(ScanMailFolder(file), file, false);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(MailFolderTest, ReplacesTheFileBehindALink)
{
    QDir(dir()).mkdir(QStringLiteral("real"));
    const QString real = writeFile(QStringLiteral("real/Inbox"), "X-Mozilla-Status: 0009\n");
    const QString link = path(QStringLiteral("Inbox"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(link), link, false), 1);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(real), QByteArray("X-Mozilla-Status: 0001\r\n"));
}

TEST_F(MailFolderTest, ChangedAfterScanIsNotWritten)
{
    const QByteArray original = "X-Mozilla-Status: 0009\nbody\n";
    const QString file = writeFile(QStringLiteral("Inbox"), original);
    const TScanResult scan = ScanMailFolder(file);

    // A mail appended after the scan.
    const QByteArray appended = original + "From b\nX-Mozilla-Status: 0000\n";
    writeFile(QStringLiteral("Inbox"), appended);
    EXPECT_THROW(RestoreMailFolder(scan, file, false), EMailFolderChanged);
    EXPECT_EQ(readFile(file), appended);

    // Same size and time stamp, but the listed line is no longer deleted:
    // the rewrite notices it in the text itself.
    const QString other = writeFile(QStringLiteral("Trash"), original);
    const TScanResult otherScan = ScanMailFolder(other);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(other).constData(), &st), 0);
    QByteArray undeleted = original;
    undeleted.replace("0009", "0001");
    writeFile(QStringLiteral("Trash"), undeleted);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(other).constData(), times, 0), 0);
    try {
        RestoreMailFolder(otherScan, other, false);
        FAIL() << "no error";
    } catch (const EMailFolderChanged &e) {
        EXPECT_TRUE(e.message().contains(other)) << e.message().toStdString();
    }
    EXPECT_EQ(readFile(other), undeleted);
    EXPECT_TRUE(TempFilesIn(dir()).isEmpty());
}

TEST_F(MailFolderTest, CancelledRewriteLeavesTheOriginal)
{
    QByteArray input;
    for (int i = 0; i < 60000; ++i)
        input.append("From x\nX-Mozilla-Status: 0009\nSubject: a mail of some length\n\nbody\n");
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const TScanResult scan = ScanMailFolder(file);
    int calls = 0;
    EXPECT_THROW(RestoreMailFolder(scan, file, false, [&](qint64, qint64) { return ++calls < 2; }),
                 EMailFolderCancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(readFile(file) == input);
    EXPECT_TRUE(QFileInfo::exists(index));
    EXPECT_TRUE(TempFilesIn(dir()).isEmpty());
}

TEST_F(MailFolderTest, UnwritableFolderCannotBeCreated)
{
    QDir(dir()).mkdir(QStringLiteral("locked"));
    const QString folder = path(QStringLiteral("locked"));
    const QByteArray input = "X-Mozilla-Status: 0009\n";
    const QString file = writeFile(QStringLiteral("locked/Inbox"), input);
    const QByteArray folderName = QFile::encodeName(folder);
    ASSERT_EQ(::chmod(folderName.constData(), 0555), 0);
    bool immutable = false;
    if (::access(folderName.constData(), W_OK) == 0) {
        // Permission bits do not stop a privileged user; the immutable flag does.
#if defined(__linux__)
        const int fd = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            ::close(fd);
#endif
        if (!immutable) {
            ::chmod(folderName.constData(), 0755);
            GTEST_SKIP() << "this user can write to any folder";
        }
    }
    QString message;
    try {
        RestoreMailFolder(ScanMailFolder(file), file, false);
    } catch (const EExtFileStreamError &e) {
        message = e.message();
    }
#if defined(__linux__)
    if (immutable) {
        const int fd = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
    }
#endif
    ::chmod(folderName.constData(), 0755);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create file \"") + file + QStringLiteral("\". ")))
        << message.toStdString();
    EXPECT_EQ(readFile(file), input);
    EXPECT_TRUE(TempFilesIn(folder).isEmpty());
}

#if defined(__linux__)
// Sets or clears the immutable flag of a file; false when the file system or
// the user cannot.
bool SetImmutable(const QByteArray &name, bool on)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}
#endif

TEST_F(MailFolderTest, WriteProtectedFileCannotBeCreated)
{
    // The rename would replace a write-protected file all the same; it is
    // refused before anything is written, as creating it anew would be.
    const QByteArray input = "X-Mozilla-Status: 0009\n";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const QByteArray name = QFile::encodeName(file);
    ASSERT_EQ(::chmod(name.constData(), 0444), 0);
    bool immutable = false;
    if (::access(name.constData(), W_OK) == 0) {
#if defined(__linux__)
        immutable = SetImmutable(name, true);
#endif
        if (!immutable) {
            ::chmod(name.constData(), 0644);
            GTEST_SKIP() << "this user can write to any file";
        }
    }
    const TScanResult scan = ScanMailFolder(file);
    QString message;
    try {
        RestoreMailFolder(scan, file, false);
    } catch (const EExtFileStreamError &e) {
        message = e.message();
    }
#if defined(__linux__)
    if (immutable)
        SetImmutable(name, false);
#endif
    ::chmod(name.constData(), 0644);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create file \"") + file + QStringLiteral("\". ")))
        << message.toStdString();
    EXPECT_EQ(readFile(file), input);
    EXPECT_TRUE(QFileInfo::exists(index));
    EXPECT_TRUE(TempFilesIn(dir()).isEmpty());
}

TEST_F(MailFolderTest, WriteErrorLeavesTheOriginal)
{
    // A file size limit makes the write fail part way, as a full disk does.
    QByteArray input;
    while (input.size() < (3 << 20))
        input.append("From x\nX-Mozilla-Status: 0009\nSubject: s\n\nbody\n");
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const TScanResult scan = ScanMailFolder(file);
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 1 << 20;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    try {
        RestoreMailFolder(scan, file, false);
    } catch (const EMailFolderError &e) {
        message = e.message();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Stream write error: \"") + file)) << message.toStdString();
    EXPECT_TRUE(readFile(file) == input);
    EXPECT_TRUE(TempFilesIn(dir()).isEmpty());
}

TEST_F(MailFolderTest, StaleTemporaryFilesAreRemovedLiveOnesKept)
{
    const QString file = writeFile(QStringLiteral("Inbox"), "X-Mozilla-Status: 0009\n");
    const QString stale = writeFile(QStringLiteral(".Inbox.mailmend-dead.tmp"), "half");
    const QString foreign = writeFile(QStringLiteral(".Sent.mailmend-dead.tmp"), "other folder");
    {
        TReplacementFile live(file);
        EXPECT_EQ(RemoveStaleReplacements(file), 1);
        EXPECT_FALSE(QFileInfo::exists(stale));
        EXPECT_TRUE(QFileInfo::exists(live.TempName()));
        EXPECT_TRUE(QFileInfo::exists(foreign));
    }
    writeFile(QStringLiteral(".Inbox.mailmend-dead.tmp"), "half");
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(file), file, false), 1);
    EXPECT_EQ(TempFilesIn(dir()), QStringList{QStringLiteral(".Sent.mailmend-dead.tmp")});
}

// ---------------------------------------------------------------------------
// A rewrite killed at random points: the folder is always either the old or
// the new file. The child is this test program, started with the folder in
// MAILMEND_KILL_CHILD; it scans, reports on stdout, and rewrites.

TEST(MailFolderKillChild, Rewrite)
{
    const QString folder = qEnvironmentVariable("MAILMEND_KILL_CHILD");
    if (folder.isEmpty())
        GTEST_SKIP() << "only run as the child of MailFolderTest.KilledRewriteLeavesOldOrNewFile";
    const TScanResult scan = ScanMailFolder(folder);
    ::write(STDOUT_FILENO, "S", 1);
    RestoreMailFolder(scan, folder, false, [](qint64, qint64) {
        ::write(STDOUT_FILENO, "P", 1);
        return true;
    });
}

TEST_F(MailFolderTest, KilledRewriteLeavesOldOrNewFile)
{
    QByteArray original;
    original.reserve(48 << 20);
    quint32 n = 0;
    while (original.size() < (48 << 20)) {
        original.append("From - Mon Jan 1 00:00:00 2024\nX-Mozilla-Status: ");
        original.append(n % 10 == 0 ? "0009" : "0001");
        original.append("\nSubject: mail ").append(QByteArray::number(n++)).append("\n\n");
        original.append(QByteArray(400 + int(n % 700), char('a' + n % 26))).append("\n\n");
    }
    const QByteArray expected = MailFolderModel::Rewrite(original, false).Output;
    const QString file = path(QStringLiteral("Inbox"));
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 8; ++round) {
        writeFile(QStringLiteral("Inbox"), original);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MAILMEND_KILL_CHILD"), file);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=MailFolderKillChild.Rewrite")});
        ASSERT_TRUE(child.waitForStarted());
        // Wait until the child rewrites, then kill it after a random number
        // of buffers (one buffer is 1 MiB of the 48 MiB folder); the last
        // rounds kill it late, around the rename.
        const int buffers = round < 6 ? int(QRandomGenerator::global()->bounded(1, 48)) : 47 + round;
        int seen = 0;
        while (child.state() == QProcess::Running && seen < buffers) {
            child.waitForReadyRead(100);
            seen += int(child.readAll().count('P'));
        }
        if (round >= 6)
            QThread::usleep(QRandomGenerator::global()->bounded(20000));
        const qint64 pid = child.processId();
        if (pid > 0 && child.state() == QProcess::Running)
            ::kill(pid_t(pid), SIGKILL);
        child.waitForFinished();
        const QByteArray after = readFile(file);
        const bool isOld = after == original;
        const bool isNew = after == expected;
        EXPECT_TRUE(isOld || isNew) << "round " << round << ": the folder is a mix, size " << after.size();
        sawOld += isOld;
        sawNew += isNew;
        // A killed writer may leave its temporary file; the next run removes it.
        RemoveStaleReplacements(file);
        EXPECT_TRUE(TempFilesIn(dir()).isEmpty()) << "round " << round;
    }
    EXPECT_GT(sawOld, 0);
}

#endif // !_WIN32

// ---------------------------------------------------------------------------
// More than 4 GiB: offsets and line numbers stay 64-bit. The folder is a
// sparse file (a long run of NUL bytes between two mails).

TEST_F(MailFolderTest, FolderLargerThan4GiB)
{
    const qint64 hole = (qint64(1) << 32) + 4096;
    const qint64 needed = 3 * hole; // the sparse original, the rewrite and room
    if (FreeDiskSpace(dir()) < needed)
        GTEST_SKIP() << "not enough free disk space for a 4 GiB rewrite";
    const QByteArray head = "From a\nX-Mozilla-Status: 0009\n";
    const QByteArray tail = "\nFrom b\nX-Mozilla-Status: 000b\n";
    const QString file = writeFile(QStringLiteral("Big"), head);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(head.size() + hole));
        ASSERT_TRUE(f.seek(head.size() + hole));
        ASSERT_EQ(f.write(tail), tail.size());
    }
    std::vector<std::pair<qint64, qint64>> lines;
    const TScanResult scan =
        ScanMailFolder(file, {}, [&](qint64 line, qint64 offset, quint32) { lines.emplace_back(line, offset); });
    const qint64 lastOffset = head.size() + hole + 8;
    const std::vector<std::pair<qint64, qint64>> expectedLines{{1, 7}, {4, lastOffset}};
    EXPECT_EQ(lines, expectedLines);
    EXPECT_EQ(RestoreMailFolder(scan, file, false), 2);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), scan.OutputSize);
    EXPECT_EQ(f.read(head.size() + 2), QByteArray("From a\r\nX-Mozilla-Status: 0001\r\n"));
    ASSERT_TRUE(f.seek(scan.OutputSize - 34));
    EXPECT_EQ(f.readAll(), QByteArray("\r\nFrom b\r\nX-Mozilla-Status: 0003\r\n"));
}

} // namespace
