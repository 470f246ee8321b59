#include "mailmend/core/MailFolder.h"
#include "tests/mailmend/MailFolderModel.h"

#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QThread>

#include <atomic>
#include <cstring>
#include <iterator>
#include <string_view>
#include <thread>

#include <csignal>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#endif

using namespace foundation;
using namespace mailmend;

using namespace std::string_view_literals;

namespace {

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// The scan's records in the model's shape.
std::vector<MailFolderModel::TModelMail> Records(const TScanResult &scan)
{
    std::vector<MailFolderModel::TModelMail> records;
    for (const TDeletedMail &mail : scan.Mails)
        records.push_back({mail.SeparatorOffset, mail.DigitOffset, mail.Size, mail.Status, mail.Digit});
    return records;
}

class MailFolderTest : public TempDirTest
{
protected:
    // Scans and recovers a folder file holding input, checks the scan
    // against the model, and returns the file afterwards.
    QByteArray Recover(const QByteArray &input, bool markUnread, qint64 &count)
    {
        const QString file = writeFile(QStringLiteral("Inbox"), input);
        const TScanResult scan = ScanMailFolder(file);
        const MailFolderModel::TModelResult model = MailFolderModel::Scan(input, markUnread);
        EXPECT_EQ(scan.MessageCount, model.Messages);
        EXPECT_TRUE(Records(scan) == model.Deleted);
        for (size_t i = 0; i < scan.Mails.size(); ++i)
            EXPECT_EQ(scan.Mails[i].Number, qint64(i) + 1);
        count = RestoreMailFolder(scan, file, markUnread);
        EXPECT_EQ(count, scan.DeletedCount());
        return readFile(file);
    }
};

// ---------------------------------------------------------------------------
// The rules on small folders (8-bit text): only the last digit of the first
// status line of a header block changes.

struct TRuleCase
{
    const char *name;
    std::string_view input;
    bool unread;
    std::string_view expected;
    qint64 count;
};

constexpr TRuleCase RuleCases[] = {
    {"ReadAndDeleted", "From a\nX-Mozilla-Status: 0009\n\nbody\n", false, "From a\nX-Mozilla-Status: 0001\n\nbody\n", 1},
    {"ReadAndDeletedUnread", "From a\nX-Mozilla-Status: 0009\n\nbody\n", true, "From a\nX-Mozilla-Status: 0000\n\nbody\n", 1},
    {"RepliedReadDeleted", "From a\nX-Mozilla-Status: 000b\n", false, "From a\nX-Mozilla-Status: 0003\n", 1},
    {"RepliedReadDeletedUnread", "From a\nX-Mozilla-Status: 000b\n", true, "From a\nX-Mozilla-Status: 0002\n", 1},
    {"UpperCaseDigit", "From a\nX-Mozilla-Status: 000B\n", false, "From a\nX-Mozilla-Status: 0003\n", 1},
    {"UpperCaseDigitUnread", "From a\nX-Mozilla-Status: 001F\n", true, "From a\nX-Mozilla-Status: 0016\n", 1},
    {"HigherFlagsKept", "From a\nX-Mozilla-Status: 0019\n", false, "From a\nX-Mozilla-Status: 0011\n", 1},
    {"MoreThanFourDigits", "From a\nX-Mozilla-Status: 10008\n", false, "From a\nX-Mozilla-Status: 10000\n", 1},
    {"NotDeleted", "From a\nX-Mozilla-Status: 0011\n\nFrom b\nX-Mozilla-Status: 1001\n", false,
     "From a\nX-Mozilla-Status: 0011\n\nFrom b\nX-Mozilla-Status: 1001\n", 0},
    {"StatusLineInBody", "From a\nX-Mozilla-Status: 0001\n\nX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status: 0001\n\nX-Mozilla-Status: 0009\n", 0},
    {"ForwardedHeaderAfterDeleted", "From a\nX-Mozilla-Status: 0009\n\nX-Mozilla-Status: 0008\n", false,
     "From a\nX-Mozilla-Status: 0001\n\nX-Mozilla-Status: 0008\n", 1},
    {"SecondStatusLineInOneBlock", "From a\nX-Mozilla-Status: 0001\nX-Mozilla-Status: 0009\n\n", false,
     "From a\nX-Mozilla-Status: 0001\nX-Mozilla-Status: 0009\n\n", 0},
    {"UnreadableFirstStatusLine", "From a\nX-Mozilla-Status: zz\nX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status: zz\nX-Mozilla-Status: 0009\n", 0},
    {"NoFromLine", "X-Mozilla-Status: 0009\nSubject: s\n\nX-Mozilla-Status: 0008\n", false,
     "X-Mozilla-Status: 0001\nSubject: s\n\nX-Mozilla-Status: 0008\n", 1},
    {"TextBeforeFirstFrom", "X-Mozilla-Status: 0008\n\nFrom a\nX-Mozilla-Status: 0009\n", false,
     "X-Mozilla-Status: 0000\n\nFrom a\nX-Mozilla-Status: 0001\n", 2},
    {"LfLineEndsStay", "From a\nSubject: s\nX-Mozilla-Status: 0009\n\nx\n", false,
     "From a\nSubject: s\nX-Mozilla-Status: 0001\n\nx\n", 1},
    {"CrLfLineEndsStay", "From a\r\nX-Mozilla-Status: 0009\r\n\r\nX-Mozilla-Status: 0009\r\n", false,
     "From a\r\nX-Mozilla-Status: 0001\r\n\r\nX-Mozilla-Status: 0009\r\n", 1},
    {"LoneCrLineEndsStay", "From a\rX-Mozilla-Status: 0008\r\rbody\rFrom b\rX-Mozilla-Status: 0009\r", false,
     "From a\rX-Mozilla-Status: 0000\r\rbody\rFrom b\rX-Mozilla-Status: 0001\r", 2},
    {"LfCrIsTwoBreaks", "From a\nX-Mozilla-Status: 0001\n\rX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status: 0001\n\rX-Mozilla-Status: 0009\n", 0},
    {"TextAfterComma", "From a\nx-mozilla-status:0009,extra\n", false, "From a\nx-mozilla-status:0001,extra\n", 1},
    {"BlanksAroundValue", "From a\nX-Mozilla-Status:\t  0009  \n", false, "From a\nX-Mozilla-Status:\t  0001  \n", 1},
    {"NoFinalLineBreak", "From a\nX-Mozilla-Status: 0009", false, "From a\nX-Mozilla-Status: 0001", 1},
    {"BlankBeforeHeaderName", "From a\n X-Mozilla-Status: 0009\n", false, "From a\n X-Mozilla-Status: 0009\n", 0},
    {"Status2Ignored", "From a\nX-Mozilla-Status2: 00080000\nX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status2: 00080000\nX-Mozilla-Status: 0001\n", 1},
    {"EmptyLineEndsHeader", "From a\nSubject: s\n\nX-Mozilla-Status: 0009\n", false,
     "From a\nSubject: s\n\nX-Mozilla-Status: 0009\n", 0},
    {"FromInHeaderStartsMessage", "From a\nSubject: s\nFrom b\nX-Mozilla-Status: 0009\n", false,
     "From a\nSubject: s\nFrom b\nX-Mozilla-Status: 0001\n", 1},
    {"QuotedFromStartsNothing", "From a\nX-Mozilla-Status: 0001\n\n>From b\nX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status: 0001\n\n>From b\nX-Mozilla-Status: 0009\n", 0},
    {"FromNeedsItsBlank", "From a\nX-Mozilla-Status: 0001\n\nFromage\nX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status: 0001\n\nFromage\nX-Mozilla-Status: 0009\n", 0},
    {"FromInOtherCase", "From a\nX-Mozilla-Status: 0001\n\nfrom b\nX-Mozilla-Status: 0009\n", false,
     "From a\nX-Mozilla-Status: 0001\n\nfrom b\nX-Mozilla-Status: 0009\n", 0},
    {"NulAndInvalidBytesStay", "From a\nX-Mozilla-Status: 0009\n\n\0\xff\xfe\r\n\0", false,
     "From a\nX-Mozilla-Status: 0001\n\n\0\xff\xfe\r\n\0", 1},
    {"Utf8MarkStays", "\xEF\xBB\xBF" "From a\nX-Mozilla-Status: 0009\n", false,
     "\xEF\xBB\xBF" "From a\nX-Mozilla-Status: 0001\n", 1},
    {"EmptyValue", "From a\nX-Mozilla-Status: ,0009\n", false, "From a\nX-Mozilla-Status: ,0009\n", 0},
    {"ValueTooLarge", "From a\nX-Mozilla-Status: 100000008\n", false, "From a\nX-Mozilla-Status: 100000008\n", 0},
    {"EmptyFile", "", false, "", 0},
};

class MailFolderRules : public MailFolderTest, public ::testing::WithParamInterface<TRuleCase>
{
};

TEST_P(MailFolderRules, ChangeOnlyTheDigit)
{
    const TRuleCase &c = GetParam();
    qint64 count = -1;
    const QByteArray output = Recover(Bytes(c.input), c.unread, count);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(output, Bytes(c.expected));
    EXPECT_EQ(MailFolderModel::Scan(Bytes(c.input), c.unread).Recovered, Bytes(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, MailFolderRules, ::testing::ValuesIn(RuleCases),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// UTF-16: one 16-bit unit changes; the mark and an odd last byte stay.

QByteArray Utf16(std::u16string_view text, bool bigEndian)
{
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (const char16_t c : text) {
        const char hi = char(c >> 8), lo = char(c & 0xFF);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

struct TUtf16Case
{
    const char *name;
    bool bigEndian;
};

class MailFolderUtf16 : public MailFolderTest, public ::testing::WithParamInterface<TUtf16Case>
{
};

TEST_P(MailFolderUtf16, ChangesOneUnit)
{
    const bool big = GetParam().bigEndian;
    // U+0A0D and U+0D0A hold the bytes of CR and LF without being breaks.
    const QByteArray input =
        Utf16(u"From a\r\nSubject: \x0A0D\x0D0A\r\nX-Mozilla-Status: 000b\r\n\r\nFrom b\nX-Mozilla-Status: 0008\n", big)
        + "\x41";
    qint64 count = 0;
    const QByteArray output = Recover(input, true, count);
    EXPECT_EQ(count, 2);
    const QByteArray expected =
        Utf16(u"From a\r\nSubject: \x0A0D\x0D0A\r\nX-Mozilla-Status: 0002\r\n\r\nFrom b\nX-Mozilla-Status: 0000\n", big)
        + "\x41";
    EXPECT_EQ(output, expected);
}

constexpr TUtf16Case Utf16Cases[] = {{"LittleEndian", false}, {"BigEndian", true}};
INSTANTIATE_TEST_SUITE_P(Layouts, MailFolderUtf16, ::testing::ValuesIn(Utf16Cases),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// What the scan records

TEST_F(MailFolderTest, ScanRecordsEveryDeletedMail)
{
    const QByteArray input = "preamble\n\n"                                  // message 1, offset 0
                             "From a\nX-Mozilla-Status: 0009\nSubject: one\n\nbody\n" // 2: deleted
                             "From b\nX-Mozilla-Status: 0001\n\n"             // 3
                             "From c\nX-Mozilla-Status: 000B\n\nlast";        // 4: deleted
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const TScanResult scan = ScanMailFolder(file);
    EXPECT_EQ(scan.FileName, file);
    EXPECT_EQ(scan.MessageCount, 4);
    EXPECT_EQ(scan.Encoding, TFolderEncoding::Ansi);
    EXPECT_EQ(scan.Identity, FileIdentityOf(file));
    ASSERT_EQ(scan.DeletedCount(), 2);
    const qint64 a = input.indexOf("From a"), b = input.indexOf("From b"), c = input.indexOf("From c");
    const TDeletedMail &first = scan.Mails[0];
    EXPECT_EQ(first.Number, 1);
    EXPECT_EQ(first.SeparatorOffset, a);
    EXPECT_EQ(first.DigitOffset, input.indexOf("0009") + 3);
    EXPECT_EQ(first.Size, b - a);
    EXPECT_EQ(first.Status, 9u);
    EXPECT_EQ(first.Digit, '9');
    const TDeletedMail &second = scan.Mails[1];
    EXPECT_EQ(second.Number, 2);
    EXPECT_EQ(second.SeparatorOffset, c);
    EXPECT_EQ(second.DigitOffset, input.indexOf("000B") + 3);
    EXPECT_EQ(second.Size, input.size() - c);
    EXPECT_EQ(second.Status, 0xBu);
    EXPECT_EQ(second.Digit, 'B');
    EXPECT_TRUE(scan.Summaries.empty());
    EXPECT_EQ(scan.SummaryOf(1), nullptr);
    EXPECT_EQ(scan.MailOf(2), &scan.Mails[1]);
    EXPECT_EQ(scan.MailOf(3), nullptr);
    EXPECT_EQ(scan.MailOf(0), nullptr);
}

TEST_F(MailFolderTest, ScanReadsSummariesOfDeletedMails)
{
    const QByteArray input = "From a\nDate: Tue, 5 Mar 2024 09:15:00 +0100\nFrom: =?UTF-8?B?SsO2cmc=?= <j@example.org>\n"
                             "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?=\n aus Bern\nX-Mozilla-Status: 0009\n\n"
                             "Subject: not this one\n"
                             "From b\nSubject: kept\nX-Mozilla-Status: 0001\n\n"
                             "From c\nX-Mozilla-Status: 0008\nSubject: no break at the end";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const TScanResult scan = ScanMailFolder(file, nullptr, TScanDetail::Summaries);
    ASSERT_EQ(scan.DeletedCount(), 2);
    ASSERT_EQ(scan.Summaries.size(), 2u);
    const TMailSummary *first = scan.SummaryOf(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Date.toString(Qt::ISODate), QStringLiteral("2024-03-05T09:15:00+01:00"));
    EXPECT_EQ(first->From, QStringLiteral("Jörg <j@example.org>"));
    EXPECT_EQ(first->Subject, QStringLiteral("Grüße aus Bern"));
    const TMailSummary *second = scan.SummaryOf(2);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->Date.isValid());
    EXPECT_EQ(second->From, QString());
    EXPECT_EQ(second->Subject, QStringLiteral("no break at the end"));
}

TEST_F(MailFolderTest, SummaryFieldsAreTheFirstOfTheirNameWithNulBytesAsBlanks)
{
    static const char text[] = "From a\r\nX-Mozilla-Status: 0009\r\nsubject: first\0half\r\n\tfolded\r\n"
                               "Subject: second\r\nFROM: Ann <a@example.org>\r\nDate: nonsense\r\n\r\nbody\r\n";
    const QByteArray input(text, sizeof text - 1);
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const TScanResult scan = ScanMailFolder(file, nullptr, TScanDetail::Summaries);
    const TMailSummary *summary = scan.SummaryOf(1);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->Subject, QStringLiteral("first half\tfolded"));
    EXPECT_EQ(summary->From, QStringLiteral("Ann <a@example.org>"));
    EXPECT_FALSE(summary->Date.isValid());
}

TEST_F(MailFolderTest, LongHeaderBlockIsCutForTheSummaryOnly)
{
    // The status line comes after more than 64 KiB of header: it still
    // counts, while the summary reads the first 64 KiB only.
    QByteArray input = "From a\nSubject: early\n";
    while (input.size() < MaxSummaryHeaderBytes + 100)
        input.append("X-Filler: ").append(QByteArray(70, 'f')).append('\n');
    input.append("Date: Tue, 5 Mar 2024 09:15:00 +0000\nX-Mozilla-Status: 0009\n\nbody\n");
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const TScanResult scan = ScanMailFolder(file, nullptr, TScanDetail::Summaries);
    ASSERT_EQ(scan.DeletedCount(), 1);
    EXPECT_EQ(scan.SummaryOf(1)->Subject, QStringLiteral("early"));
    EXPECT_FALSE(scan.SummaryOf(1)->Date.isValid());
}

TEST_F(MailFolderTest, StatusValueText)
{
    EXPECT_EQ(StatusValueText(0x9), QStringLiteral("0009"));
    EXPECT_EQ(StatusValueText(0x1000B), QStringLiteral("1000b"));
    EXPECT_EQ(RestoredStatusDigit(0xF, false), '7');
    EXPECT_EQ(RestoredStatusDigit(0xF, true), '6');
    EXPECT_EQ(RestoredStatusDigit(0x8, true), '0');
}

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
    for (const char *tail : {"\r\nFrom x\r\nX-Mozilla-Status: 0009,abc\r\nmore\nX-Mozilla-Status: 0008",
                             "\n\nFrom \rX-Mozilla-Status: 0008\r\r\nFrom y\n\rplain\r",
                             "\rFrom z\rX-Mozilla-Status:          0019   \r\r\n",
                             "\nFrom a\nX-Mozilla-Status: 0001\r\n"}) {
        QByteArray input = "From start\n\n";
        input.append(QByteArray(boundary - shift - input.size(), 'a'));
        input.append(tail);
        const MailFolderModel::TModelResult model = MailFolderModel::Scan(input, true);
        qint64 count = 0;
        const QByteArray output = Recover(input, true, count);
        EXPECT_EQ(count, qint64(model.Deleted.size())) << tail;
        EXPECT_TRUE(output == model.Recovered) << "shift " << shift << " tail " << tail;
    }
}

INSTANTIATE_TEST_SUITE_P(Shifts, MailFolderBufferEdges, ::testing::Values(1, 2, 3, 5, 6, 9, 17, 18, 19, 25, 40));

// Collects what a streamed scan hands over.
class TCollectingSink final : public IDeletedMailSink
{
public:
    void DeletedMail(const TDeletedMail &mail, const TMailSummary *summary) override
    {
        Mails.push_back(mail);
        Subjects.append(summary ? summary->Subject : QStringLiteral("(none)"));
    }
    std::vector<TDeletedMail> Mails;
    QStringList Subjects;
};

TEST_F(MailFolderTest, StreamedScanHandsOverWhatAKeptScanHolds)
{
    const QByteArray input = "text before\nX-Mozilla-Status: 0008\n\nFrom a\nSubject: one\nX-Mozilla-Status: 0009\n\n"
                             "body\nFrom b\nX-Mozilla-Status: 0001\nSubject: kept\n\n"
                             "From c\nX-Mozilla-Status: 000c\nSubject: three\n\nlast body";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    for (const TScanDetail detail : {TScanDetail::StatusOnly, TScanDetail::Summaries}) {
        const TScanResult kept = ScanMailFolder(file, nullptr, detail);
        TCollectingSink sink;
        EXPECT_EQ(ScanMailFolder(file, sink, nullptr, detail), 3);
        ASSERT_EQ(sink.Mails.size(), kept.Mails.size());
        for (size_t i = 0; i < sink.Mails.size(); ++i) {
            EXPECT_EQ(sink.Mails[i].Number, kept.Mails[i].Number);
            EXPECT_EQ(sink.Mails[i].SeparatorOffset, kept.Mails[i].SeparatorOffset);
            EXPECT_EQ(sink.Mails[i].DigitOffset, kept.Mails[i].DigitOffset);
            EXPECT_EQ(sink.Mails[i].Size, kept.Mails[i].Size);
            EXPECT_EQ(sink.Mails[i].Status, kept.Mails[i].Status);
        }
        const QStringList subjects = detail == TScanDetail::Summaries
                                         ? QStringList{QString(), QStringLiteral("one"), QStringLiteral("three")}
                                         : QStringList{QStringLiteral("(none)"), QStringLiteral("(none)"),
                                                       QStringLiteral("(none)")};
        EXPECT_EQ(sink.Subjects, subjects);
    }
}

// Summaries are decoded beside the scan and come back later: with far more
// deleted mails than are decoded at a time, each still belongs to its mail,
// kept or streamed.
TEST_F(MailFolderTest, SummariesStayWithTheirMailsInLargeFolders)
{
    QByteArray input;
    QStringList expected;
    for (int n = 0; n < 700; ++n) {
        const bool deleted = n % 5 != 0;
        input += "From - x\r\nX-Mozilla-Status: " + QByteArray(deleted ? "0009" : "0001") + "\r\nSubject: mail "
                 + QByteArray::number(n) + "\r\n\r\nbody " + QByteArray::number(n) + "\r\n";
        if (deleted)
            expected.append(QStringLiteral("mail %1").arg(n));
    }
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const TScanResult kept = ScanMailFolder(file, nullptr, TScanDetail::Summaries);
    ASSERT_EQ(kept.Summaries.size(), size_t(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i)
        ASSERT_EQ(kept.Summaries[size_t(i)].Subject, expected[i]) << i;
    TCollectingSink sink;
    EXPECT_EQ(ScanMailFolder(file, sink, nullptr, TScanDetail::Summaries), expected.size());
    EXPECT_EQ(sink.Subjects, expected);
    for (size_t i = 0; i < sink.Mails.size(); ++i)
        ASSERT_EQ(sink.Mails[i].Number, qint64(i + 1));
}

TEST_F(MailFolderTest, RandomTextAgreesWithTheModel)
{
    // Short pieces with every kind of break, separators and status lines
    // among them, at all alignments and across buffers.
    static const char *const pieces[] = {"\n", "\r", "\r\n", "\n\r", "\n\n", "a", "plain text ", "x", "X", "F",
                                         "From ", "From a\n", ">From b\n", "Fro", "X-Mozilla-Status: 0009",
                                         "x-mozilla-status:0008,", "X-Mozilla-Status2: 8", "X-Mozilla-Status: 0001",
                                         "X-Mozilla-Status: 000F", "Subject: s\n", "\0", "\xff"};
    QRandomGenerator random(4711);
    for (int round = 0; round < 3; ++round) {
        QByteArray input;
        while (input.size() < (2 << 20) + 777 * round) {
            const char *piece = pieces[random.bounded(int(std::size(pieces)))];
            input.append(piece, *piece ? qsizetype(std::strlen(piece)) : 1);
        }
        for (const bool unread : {false, true}) {
            const MailFolderModel::TModelResult model = MailFolderModel::Scan(input, unread);
            qint64 count = 0;
            EXPECT_TRUE(Recover(input, unread, count) == model.Recovered) << "round " << round;
            EXPECT_EQ(count, qint64(model.Deleted.size()));
            EXPECT_GT(count, 0);
        }
    }
}

TEST_F(MailFolderTest, RandomUtf16TextAgreesWithTheModel)
{
    // The same as 16-bit units, with units that hold the bytes of CR and LF
    // without being breaks, and a dangling last byte.
    static const char16_t *const pieces[] = {u"\n", u"\r", u"\r\n", u"\n\r", u"\n\n", u"a", u"plain text ", u"x",
                                             u"F", u"From ", u"From a\n", u"X-Mozilla-Status: 0009",
                                             u"x-mozilla-status:0008,", u"X-Mozilla-Status2: 8",
                                             u"X-Mozilla-Status: 0001", u"\x0D0A", u"\x0A00", u"\x000D\x0A0D",
                                             u"\x4600", u"\xD800"};
    QRandomGenerator random(815);
    for (const bool bigEndian : {false, true}) {
        std::u16string text;
        while (text.size() < (3 << 19)) {
            for (const char16_t *c = pieces[random.bounded(int(std::size(pieces)))]; *c; ++c)
                text.push_back(*c);
        }
        const QByteArray input = Utf16(text, bigEndian) + "\x41";
        const MailFolderModel::TModelResult model = MailFolderModel::Scan(input, true);
        qint64 count = 0;
        EXPECT_TRUE(Recover(input, true, count) == model.Recovered) << (bigEndian ? "big" : "little") << " endian";
        EXPECT_EQ(count, qint64(model.Deleted.size()));
        EXPECT_GT(count, 0);
    }
}

TEST_F(MailFolderTest, LinesLongerThanABuffer)
{
    // A long body line, a long header line before the status line, and
    // status values decided just within and just beyond the line head.
    QByteArray input("From a\nX-Long: ");
    input.append(QByteArray((1 << 20) + 20, 'x')).append("\nX-Mozilla-Status: 0009\n\n");
    input.append(QByteArray((1 << 20) - 10, 'y'));
    input.append("\nFrom b\nX-Mozilla-Status:").append(QByteArray(3000, ' ')).append("0009\n");
    input.append("From c\nX-Mozilla-Status:").append(QByteArray(MaxStatusLineHead, ' ')).append("0009\n");
    input.append("From d\nX-Mozilla-Status: 0009,").append(QByteArray(2 << 20, 'z')).append("\n");
    const MailFolderModel::TModelResult model = MailFolderModel::Scan(input, false);
    ASSERT_EQ(model.Deleted.size(), 3u);
    qint64 count = 0;
    EXPECT_TRUE(Recover(input, false, count) == model.Recovered);
    EXPECT_EQ(count, 3);
}

// ---------------------------------------------------------------------------
// Selective recovery

TEST_F(MailFolderTest, RecoversOnlyTheChosenMails)
{
    QByteArray input;
    for (int i = 1; i <= 5; ++i)
        input.append("From m").append(QByteArray::number(i)).append("\nX-Mozilla-Status: 0009\n\nbody\n");
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const TScanResult scan = ScanMailFolder(file);
    ASSERT_EQ(scan.DeletedCount(), 5);
    EXPECT_EQ(RestoreMailFolder(scan, file, false, TMailSelection::Numbers({4, 2, 4})), 2);
    QByteArray expected = input;
    for (const qint64 n : {2, 4})
        expected[scan.Mails[size_t(n - 1)].DigitOffset] = '1';
    EXPECT_EQ(readFile(file), expected);
    EXPECT_FALSE(QFileInfo::exists(index));
}

TEST_F(MailFolderTest, UnknownNumberWritesNothing)
{
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\n\nFrom b\nX-Mozilla-Status: 0009\n";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const TScanResult scan = ScanMailFolder(file);
    for (const std::vector<qint64> &numbers : {std::vector<qint64>{1, 3}, std::vector<qint64>{0}}) {
        EXPECT_THROW(RestoreMailFolder(scan, file, false, TMailSelection::Numbers(numbers)), EMailSelectionError);
        EXPECT_EQ(readFile(file), input);
        EXPECT_TRUE(QFileInfo::exists(index));
    }
}

// ---------------------------------------------------------------------------
// The folder must still be the scanned one

#if !defined(_WIN32)

// Writes bytes at an offset of a file and gives it back its modification
// time, so that only the content tells the change.
void PatchKeepingTime(const QString &file, qint64 offset, const QByteArray &bytes)
{
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(offset));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
}

enum class TChange { Digit, Size, Replaced, Time };

struct TChangeCase
{
    const char *name;
    TChange change;
};

class MailFolderChanged : public MailFolderTest, public ::testing::WithParamInterface<TChangeCase>
{
};

TEST_P(MailFolderChanged, IsRefusedWithoutWriting)
{
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\n\nFrom b\nX-Mozilla-Status: 0009\n";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const TScanResult scan = ScanMailFolder(file);
    QByteArray changed = input;
    switch (GetParam().change) {
    case TChange::Digit: // the second mail was recovered meanwhile
        changed[scan.Mails[1].DigitOffset] = '1';
        PatchKeepingTime(file, scan.Mails[1].DigitOffset, "1");
        break;
    case TChange::Size:
        changed.append("From c\n");
        PatchKeepingTime(file, input.size(), "From c\n");
        break;
    case TChange::Replaced: { // the same text in a new file of the same time
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        const QString other = writeFile(QStringLiteral("Other"), input);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(other).constData(), times, 0), 0);
        ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()), 0);
        break;
    }
    case TChange::Time:
        QThread::msleep(10);
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.seek(0));
            ASSERT_EQ(f.write("F"), 1); // same byte, new time
        }
        break;
    }
    EXPECT_THROW(RestoreMailFolder(scan, file, false), EMailFolderChanged);
    EXPECT_EQ(readFile(file), changed);
    EXPECT_TRUE(QFileInfo::exists(index));
    // A new scan sees the change and recovers what is left.
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(file), file, false),
              GetParam().change == TChange::Digit ? 1 : 2);
}

constexpr TChangeCase ChangeCases[] = {
    {"DigitChanged", TChange::Digit},
    {"SizeChanged", TChange::Size},
    {"FileReplaced", TChange::Replaced},
    {"TimeChanged", TChange::Time},
};
INSTANTIATE_TEST_SUITE_P(Changes, MailFolderChanged, ::testing::ValuesIn(ChangeCases),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// In place: the file keeps what makes it itself

TEST_F(MailFolderTest, KeepsInodeLinksPermissionsAndAttributes)
{
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\n\nbody\n";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QByteArray name = QFile::encodeName(file);
    const QByteArray link = QFile::encodeName(path(QStringLiteral("Inbox.link")));
    ASSERT_EQ(::link(name.constData(), link.constData()), 0);
    ASSERT_EQ(::chmod(name.constData(), 0640), 0);
    bool haveAttribute = false;
#if defined(__linux__)
    haveAttribute = ::setxattr(name.constData(), "user.mailmend-test", "kept", 4, 0) == 0;
#endif
    struct stat before;
    ASSERT_EQ(::stat(name.constData(), &before), 0);

    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(file), file, false), 1);

    struct stat after;
    ASSERT_EQ(::stat(name.constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    const QByteArray expected = "From a\nX-Mozilla-Status: 0001\n\nbody\n";
    EXPECT_EQ(readFile(file), expected);
    EXPECT_EQ(readFile(QFile::decodeName(link)), expected);
#if defined(__linux__)
    if (haveAttribute) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(name.constData(), "user.mailmend-test", value, sizeof value), 4);
        EXPECT_EQ(std::string_view(value, 4), "kept"sv);
    }
#endif
    EXPECT_TRUE(QDir(dir()).entryList(QDir::Files | QDir::Hidden).size() == 2);
}

TEST_F(MailFolderTest, WritesTheFileBehindALinkAndRemovesItsIndex)
{
    QDir(dir()).mkdir(QStringLiteral("profile"));
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\n";
    const QString real = writeFile(QStringLiteral("profile/Inbox"), input);
    const QString realIndex = writeFile(QStringLiteral("profile/Inbox.msf"), "index");
    const QString link = path(QStringLiteral("Shortcut"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(link), link, false), 1);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(real), QByteArray("From a\nX-Mozilla-Status: 0001\n"));
    EXPECT_FALSE(QFileInfo::exists(realIndex));
}

// ---------------------------------------------------------------------------
// What is not a regular file is refused without being opened

struct TSpecialCase
{
    const char *name;
    const char *kind;
};

class MailFolderSpecial : public MailFolderTest, public ::testing::WithParamInterface<TSpecialCase>
{
};

TEST_P(MailFolderSpecial, IsRefused)
{
    const std::string_view kind = GetParam().kind;
    QString target;
    if (kind == "fifo") {
        target = path(QStringLiteral("Pipe"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    } else if (kind == "folder") {
        target = path(QStringLiteral("Folder"));
        ASSERT_TRUE(QDir(dir()).mkdir(QStringLiteral("Folder")));
    } else {
        target = QStringLiteral("/dev/null");
    }
    // A FIFO without a writer would block an open for reading forever.
    QString message;
    try {
        ScanMailFolder(target);
    } catch (const EMailFolderError &e) {
        message = e.Message();
    }
    EXPECT_EQ(message, QStringLiteral("\"") + target
                           + QStringLiteral("\" is not a regular file. Only mail folder files can be scanned and recovered."));
    TScanResult scan;
    scan.FileName = target;
    scan.Mails.push_back(TDeletedMail{1, 0, 0, 1, 8, '8'});
    EXPECT_THROW(RestoreMailFolder(scan, target, false), EMailFolderError);
}

constexpr TSpecialCase SpecialCases[] = {{"Fifo", "fifo"}, {"Folder", "folder"}, {"Device", "device"}};
INSTANTIATE_TEST_SUITE_P(Kinds, MailFolderSpecial, ::testing::ValuesIn(SpecialCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(MailFolderTest, MissingFileCannotBeOpened)
{
    const QString missing = path(QStringLiteral("missing"));
    QString message;
    try {
        ScanMailFolder(missing);
    } catch (const EExtFileStreamError &e) {
        message = e.Message();
    }
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open file \"") + missing + QStringLiteral("\". ")))
        << message.toStdString();
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

TEST_F(MailFolderTest, UnwritableFileIsRefusedBeforeWriting)
{
    const QByteArray input = "From a\nX-Mozilla-Status: 0009\n";
    const QString file = writeFile(QStringLiteral("Inbox"), input);
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const QByteArray name = QFile::encodeName(file);
    ASSERT_EQ(::chmod(name.constData(), 0444), 0);
    bool immutable = false;
    if (::access(name.constData(), W_OK) == 0) {
        // Permission bits do not stop a privileged user; the immutable flag does.
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
        message = e.Message();
    }
#if defined(__linux__)
    if (immutable)
        SetImmutable(name, false);
#endif
    ::chmod(name.constData(), 0644);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open file \"") + file + QStringLiteral("\" for writing. ")))
        << message.toStdString();
    EXPECT_EQ(readFile(file), input);
    EXPECT_TRUE(QFileInfo::exists(index));
}

// ---------------------------------------------------------------------------
// A writer appending to the folder while it is recovered loses nothing: the
// digits are written into the same file the new mail goes to.

TEST_F(MailFolderTest, MailAppendedDuringRecoveryIsKept)
{
    QByteArray original;
    for (int i = 0; original.size() < (8 << 20); ++i)
        original.append("From m\nX-Mozilla-Status: ").append(i % 3 == 0 ? "0009" : "0001").append("\n\n")
            .append(QByteArray(300 + i % 500, 'b')).append('\n');
    const QString file = writeFile(QStringLiteral("Inbox"), original);
    std::atomic<bool> stop = false;
    std::atomic<bool> hold = false;    // the appender is to pause
    std::atomic<bool> holding = false; // it does
    std::atomic<int> appendedMails = 0;
    QByteArray appended;
    std::thread appender([&] {
        const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        for (int n = 0; !stop && fd >= 0; ++n) {
            holding = hold.load();
            if (holding) {
                QThread::msleep(1);
                continue;
            }
            const QByteArray mail = "From new\nX-Mozilla-Status: 0008\nSubject: appended " + QByteArray::number(n)
                                    + "\n\n" + QByteArray(1000 + n % 3000, char('a' + n % 26)) + "\n";
            if (::write(fd, mail.constData(), size_t(mail.size())) != mail.size())
                break;
            appended += mail;
            ++appendedMails;
            QThread::msleep(1); // a few MiB per second at most
        }
        if (fd >= 0)
            ::close(fd);
    });
    // Besides, the recovery itself appends a mail whenever it reports
    // progress, which it does between its writes.
    const int ownFd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(ownFd, 0);
    QByteArray ownMails;
    foundation::TFunctionMonitor appendWhileWriting([&](qint64, qint64) {
        const QByteArray mail = "From own\nX-Mozilla-Status: 0001\n\n" + QByteArray(777, 'o') + "\n";
        ASSERT_EQ(::write(ownFd, mail.constData(), size_t(mail.size())), mail.size());
    });
    int wrote = 0, refused = 0;
    // Every other round the appender pauses, so that those rounds find the
    // folder as scanned and write; in the others it appends all the time.
    for (int round = 0; round < 20; ++round) {
        hold = round % 2 == 0;
        const int before = appendedMails;
        while (hold ? !holding : appendedMails == before)
            QThread::msleep(1);
        try {
            const TScanResult scan = ScanMailFolder(file);
            wrote += RestoreMailFolder(scan, file, false, &appendWhileWriting) > 0;
        } catch (const EMailFolderChanged &) {
            ++refused;
        }
    }
    stop = true;
    appender.join();
    ::close(ownFd);
    const QByteArray after = readFile(file);
    ASSERT_GE(after.size(), original.size() + appended.size());
    // The two writers' mails interleave; rebuild the text from the own
    // mails' fixed form.
    const QByteArray own = "From own\nX-Mozilla-Status: 0001\n\n" + QByteArray(777, 'o') + "\n";
    QByteArray tail = after.mid(original.size());
    tail.replace(own, QByteArray());
    const QByteArray whole = original + appended;
    ASSERT_EQ(original.size() + tail.size(), whole.size());
    const QByteArray afterWithoutOwn = after.left(original.size()) + tail;
    // Every byte is there; only status digits of deleted mails may differ,
    // each recovered or not.
    QByteArray mixed = whole;
    for (const MailFolderModel::TModelMail &mail : MailFolderModel::Scan(whole, false).Deleted) {
        const char now = afterWithoutOwn[mail.DigitOffset];
        if (now == RestoredStatusDigit(mail.Status, false))
            mixed[mail.DigitOffset] = now;
    }
    qsizetype firstDifference = 0;
    while (firstDifference < whole.size() && afterWithoutOwn[firstDifference] == mixed[firstDifference])
        ++firstDifference;
    EXPECT_EQ(firstDifference, whole.size())
        << "changed: " << afterWithoutOwn.mid(firstDifference - 40, 80).toStdString();
    EXPECT_GE(wrote, 1);
    RecordProperty("rounds_written", wrote);
    RecordProperty("rounds_refused", refused);
}

// ---------------------------------------------------------------------------
// A recovery killed at random points leaves every mail recovered or not, and
// a second run completes it. The child is this test program, started with
// the folder in MAILMEND_KILL_CHILD; it scans, says so on stdout, and
// recovers, reporting its progress.

TEST(MailFolderKillChild, Recover)
{
    const QString folder = qEnvironmentVariable("MAILMEND_KILL_CHILD");
    if (folder.isEmpty())
        GTEST_SKIP() << "only run as the child of MailFolderTest.KilledRecoveryIsCompletedByASecondRun";
    const TScanResult scan = ScanMailFolder(folder);
    [[maybe_unused]] auto ignored = ::write(STDOUT_FILENO, "S", 1);
    foundation::TFunctionMonitor monitor([](qint64, qint64) {
        [[maybe_unused]] auto written = ::write(STDOUT_FILENO, "P", 1);
    });
    RestoreMailFolder(scan, folder, false, &monitor);
}

TEST_F(MailFolderTest, KilledRecoveryIsCompletedByASecondRun)
{
    QByteArray original;
    original.reserve(24 << 20);
    for (quint32 n = 0; original.size() < (24 << 20); ++n) {
        original.append("From - Mon Jan 1 00:00:00 2024\nX-Mozilla-Status: ");
        original.append(n % 2 == 0 ? "0009" : "0001");
        original.append("\nSubject: mail ").append(QByteArray::number(n)).append("\n\n");
        original.append(QByteArray(20 + int(n % 200), char('a' + n % 26))).append("\n\n");
    }
    const MailFolderModel::TModelResult model = MailFolderModel::Scan(original, false);
    const QString file = path(QStringLiteral("Inbox"));
    int partial = 0;
    for (int round = 0; round < 6; ++round) {
        writeFile(QStringLiteral("Inbox"), original);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MAILMEND_KILL_CHILD"), file);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=MailFolderKillChild.Recover")});
        ASSERT_TRUE(child.waitForStarted());
        // Kill it after the scan and a random number of progress reports
        // (one per 4096 written digits).
        const int reports = int(QRandomGenerator::global()->bounded(0, 12));
        int seen = -1;
        while (child.state() == QProcess::Running && seen < reports) {
            child.waitForReadyRead(50);
            const QByteArray out = child.readAll();
            if (seen < 0 && out.contains('S'))
                seen = 0;
            if (seen >= 0)
                seen += int(out.count('P'));
        }
        QThread::usleep(QRandomGenerator::global()->bounded(2000));
        const qint64 pid = child.processId();
        if (pid > 0 && child.state() == QProcess::Running)
            ::kill(pid_t(pid), SIGKILL);
        child.waitForFinished();

        const QByteArray after = readFile(file);
        ASSERT_EQ(after.size(), original.size());
        qint64 done = 0;
        QByteArray expected = original;
        for (const MailFolderModel::TModelMail &mail : model.Deleted) {
            const char digit = after[mail.DigitOffset];
            EXPECT_TRUE(digit == mail.Digit || digit == '1') << "round " << round;
            done += digit == '1';
            expected[mail.DigitOffset] = digit;
        }
        EXPECT_TRUE(after == expected) << "round " << round << ": bytes other than status digits changed";
        partial += done > 0 && done < qint64(model.Deleted.size());

        const TScanResult again = ScanMailFolder(file);
        EXPECT_EQ(again.DeletedCount(), qint64(model.Deleted.size()) - done);
        RestoreMailFolder(again, file, false);
        EXPECT_TRUE(readFile(file) == model.Recovered) << "round " << round;
    }
    RecordProperty("partial_rounds", partial);
}

#endif // !_WIN32

// ---------------------------------------------------------------------------
// More than 4 GiB: offsets stay 64-bit. The folder is a sparse file (a long
// run of NUL bytes between two mails), changed in place.

TEST_F(MailFolderTest, FolderLargerThan4GiB)
{
    const qint64 hole = (qint64(1) << 32) + 4096;
    if (QStorageInfo(dir()).bytesAvailable() < (qint64(64) << 20))
        GTEST_SKIP() << "not enough free disk space";
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
    const TScanResult scan = ScanMailFolder(file);
    ASSERT_EQ(scan.DeletedCount(), 2);
    const qint64 second = head.size() + hole + 1;
    EXPECT_EQ(scan.Mails[0].Size, second);
    EXPECT_EQ(scan.Mails[1].SeparatorOffset, second);
    EXPECT_EQ(scan.Mails[1].DigitOffset, second + 7 + 21);
    EXPECT_EQ(RestoreMailFolder(scan, file, false), 2);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), head.size() + hole + tail.size());
    EXPECT_EQ(f.read(head.size()), QByteArray("From a\nX-Mozilla-Status: 0001\n"));
    ASSERT_TRUE(f.seek(second - 1));
    EXPECT_EQ(f.readAll(), QByteArray("\nFrom b\nX-Mozilla-Status: 0003\n"));
}

// ---------------------------------------------------------------------------
// The index file

struct TIndexCase
{
    const char *folder;
    const char *index;
};

constexpr TIndexCase IndexCases[] = {
    {"/p/Inbox", "/p/Inbox.msf"},
    {"/p/Archive.2023", "/p/Archive.2023.msf"},
    {"/p/Trailing.", "/p/Trailing.msf"},
    {"/p/Odd.MSF", ""},
};

class MailIndexName : public ::testing::TestWithParam<TIndexCase>
{
};

TEST_P(MailIndexName, AddsTheExtension)
{
    EXPECT_EQ(MailIndexFileName(QLatin1String(GetParam().folder)), QLatin1String(GetParam().index));
}

INSTANTIATE_TEST_SUITE_P(Names, MailIndexName, ::testing::ValuesIn(IndexCases));

TEST_F(MailFolderTest, NothingDeletedLeavesFileAndIndexUntouched)
{
    const QString file = writeFile(QStringLiteral("Inbox"), "From a\nX-Mozilla-Status: 0001\n");
    const QString index = writeFile(QStringLiteral("Inbox.msf"), "index");
    const TFileIdentity before = FileIdentityOf(file);
    QThread::msleep(10);
    EXPECT_EQ(RestoreMailFolder(ScanMailFolder(file), file, false), 0);
    EXPECT_EQ(FileIdentityOf(file), before);
    EXPECT_TRUE(QFileInfo::exists(index));
}

TEST_F(MailFolderTest, CancelledScanEndsWithTheOneCancelError)
{
    const QString file = writeFile(QStringLiteral("Inbox"), QByteArray(3 << 20, 'a'));
    int calls = 0;
    foundation::TFunctionMonitor monitor([&](qint64 done, qint64 total) {
        EXPECT_EQ(total, 3 << 20);
        EXPECT_GT(done, 0);
        ++calls;
    }, [&] { return calls >= 2; });
    EXPECT_THROW(ScanMailFolder(file, &monitor), foundation::ECancelled);
    EXPECT_EQ(calls, 2);
}

} // namespace
