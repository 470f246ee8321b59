#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzVerdict.h"

#include "GzTestFiles.h"
#include "support/TempDir.h"

#include <QProcess>
#include <QStandardPaths>

using namespace GzTest;
using namespace packprobe;

namespace {

const QByteArray &Plain()
{
    static const QByteArray text = SampleText(40000);
    return text;
}

const QByteArray &OtherPlain()
{
    static const QByteArray text = SampleText(3000, 7);
    return text;
}

// A plain member built by hand: header with the size subfield holding the
// given values, the deflate data, `between` and the trailer of plain.
QByteArray HandBuilt(qint64 storedCSize, qint64 storedUSize, const QByteArray &between = {})
{
    QByteArray file = FixedHeader(GzFlagExtra);
    file += Extra(SizeSubfield(storedCSize, storedUSize));
    file += RawDeflate(Plain());
    file += between;
    file += Trailer(Plain());
    return file;
}

qint64 DeflateLength()
{
    return RawDeflate(Plain()).size();
}

QByteArray Intact()
{
    return WriteGz(Plain(), PlainOptions());
}

QByteArray Empty()
{
    return WriteGz(QByteArray(), PlainOptions());
}

QByteArray CutInTheData()
{
    return Intact().left(Intact().size() / 2);
}

QByteArray CutBeforeTheTrailer()
{
    // The deflate data is whole but the trailer is gone: the last eight bytes
    // read as the trailer are the end of the deflate data.
    return Intact().left(Intact().size() - 8);
}

QByteArray WrongTrailerChecksum()
{
    QByteArray file = Intact();
    file[file.size() - 8] = char(file.at(file.size() - 8) ^ 0x01);
    return file;
}

QByteArray WrongTrailerSize()
{
    QByteArray file = Intact();
    file[file.size() - 4] = char(file.at(file.size() - 4) ^ 0x01);
    return file;
}

QByteArray WrongStoredCompressedSize()
{
    return HandBuilt(DeflateLength() + 1, Plain().size());
}

QByteArray WrongStoredUncompressedSize()
{
    return HandBuilt(DeflateLength(), Plain().size() + 0x100000000LL);
}

QByteArray StoredSizesRight()
{
    return HandBuilt(DeflateLength(), Plain().size());
}

QByteArray JunkBeforeTheTrailer()
{
    return HandBuilt(DeflateLength(), Plain().size(), "JUNK");
}

QByteArray JunkWithoutSizeSubfield()
{
    // The header's compressed size is then derived from the file length and
    // includes the junk: it never makes a mismatch.
    QByteArray file = FixedHeader(0);
    file += RawDeflate(Plain());
    file += QByteArray(5, '\0');
    file += Trailer(Plain());
    return file;
}

QByteArray TwoMembers()
{
    return Intact() + WriteGz(OtherPlain(), PlainOptions());
}

QByteArray TwoMembersOfTheSameData()
{
    // The second member's trailer agrees with the first member's data.
    return Intact() + Intact();
}

QByteArray Encrypted()
{
    return WriteGz(Plain(), EncryptedOptions("secret", 1));
}

QByteArray EncryptedKeyModeNamedWrongly()
{
    // Written with AES-256 but the header names AES-128: the container opens
    // with the mode the password gives.
    TGzWriteOptions options = EncryptedOptions("a long password of 32 bytes.....", 3);
    options.StoredKeyMode = 1;
    return WriteGz(Plain(), options);
}

QByteArray EncryptedCutShort()
{
    const QByteArray file = Encrypted();
    return file.left(file.size() - 100) + file.right(8);
}

QByteArray NotGz()
{
    return "this is no gz file";
}

struct TVerdictCase
{
    const char *Name;
    QByteArray (*Make)();
    const char *Password;
    TVerdictState State;
    quint32 Mismatches;
    const char *FirstNote; // English text of the first note, "" for none
};

constexpr const char *NoteJunk4 = "Bytes between the end of the deflate data and the trailer: 4";
constexpr const char *NoteJunk5 = "Bytes between the end of the deflate data and the trailer: 5";
constexpr const char *NoteMember = "A further gzip member follows the first one; only the first was unpacked.";
constexpr const char *NoteKeyMode = "The header names the key mode 128 bit, but the file opened with 256 bit.";

constexpr TVerdictCase VerdictCases[] = {
    {"Intact", Intact, nullptr, TVerdictState::Intact, 0, ""},
    {"EmptyData", Empty, nullptr, TVerdictState::Intact, 0, ""},
    {"StoredSizesAgree", StoredSizesRight, nullptr, TVerdictState::Intact, 0, ""},
    {"CutInTheData", CutInTheData, nullptr, TVerdictState::Truncated, 0, ""},
    {"CutBeforeTheTrailer", CutBeforeTheTrailer, nullptr, TVerdictState::Truncated, 0, ""},
    {"TrailerChecksumDiffers", WrongTrailerChecksum, nullptr, TVerdictState::Mismatch,
     MismatchTrailerChecksum, ""},
    {"TrailerSizeDiffers", WrongTrailerSize, nullptr, TVerdictState::Mismatch, MismatchTrailerSize, ""},
    {"StoredCompressedSizeDiffers", WrongStoredCompressedSize, nullptr, TVerdictState::Mismatch,
     MismatchHeaderCompressedSize, ""},
    {"StoredUncompressedSizeDiffersAbove4GiB", WrongStoredUncompressedSize, nullptr,
     TVerdictState::Mismatch, MismatchHeaderUncompressedSize, ""},
    {"JunkBeforeTheTrailer", JunkBeforeTheTrailer, nullptr, TVerdictState::Intact, 0, NoteJunk4},
    {"JunkWithDerivedHeaderSize", JunkWithoutSizeSubfield, nullptr, TVerdictState::Intact, 0, NoteJunk5},
    {"TwoMembers", TwoMembers, nullptr, TVerdictState::Mismatch,
     MismatchTrailerChecksum | MismatchTrailerSize | MismatchFurtherMember, NoteMember},
    {"TwoMembersOfTheSameData", TwoMembersOfTheSameData, nullptr, TVerdictState::Mismatch,
     MismatchFurtherMember, NoteMember},
    {"Encrypted", Encrypted, "secret", TVerdictState::Intact, 0, ""},
    {"EncryptedKeyModeNamedWrongly", EncryptedKeyModeNamedWrongly, "a long password of 32 bytes.....",
     TVerdictState::Intact, 0, NoteKeyMode},
    {"EncryptedWrongPassword", Encrypted, "wrong", TVerdictState::Error, 0, ""},
    {"EncryptedNoPassword", Encrypted, nullptr, TVerdictState::Error, 0, ""},
    {"EncryptedCutShort", EncryptedCutShort, "secret", TVerdictState::Error, 0, ""},
    {"NotGz", NotGz, nullptr, TVerdictState::Error, 0, ""},
};

class VerdictOfAnalysis : public TempDirTest, public ::testing::WithParamInterface<TVerdictCase>
{
};

TEST_P(VerdictOfAnalysis, JudgesTheFile)
{
    const TVerdictCase &c = GetParam();
    const QString file = writeFile(QStringLiteral("f.gz"), c.Make());
    TGzAnalyzer analyzer;
    GivenPassword passwords(c.Password);
    const TAnalysisReport report = analyzer.AnalyzeFile(file, passwords);
    const TGzVerdict &verdict = report.Verdict;
    EXPECT_EQ(VerdictStateKey(verdict.State), VerdictStateKey(c.State))
        << VerdictText(verdict, TTextForm::English).toStdString();
    EXPECT_EQ(verdict.Mismatches, c.Mismatches);
    const QStringList notes = VerdictNoteTexts(verdict, TTextForm::English);
    if (*c.FirstNote) {
        EXPECT_EQ(notes.value(0), QString::fromUtf8(c.FirstNote));
    } else {
        EXPECT_TRUE(notes.isEmpty()) << notes.join('|').toStdString();
    }
    // The rows stay as they are whatever the verdict says.
    if (report.Succeeded()) {
        EXPECT_EQ(report.DataRows.size(), report.Header->Encrypted ? 2 : 3);
    }
    if (c.State == TVerdictState::Error) {
        EXPECT_EQ(verdict.ErrorText, report.ErrorText);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, VerdictOfAnalysis, ::testing::ValuesIn(VerdictCases),
                         [](const auto &info) { return std::string(info.param.Name); });

// Judged from facts alone, as a batch check that fills them would.
TVerdictInput Agreeing()
{
    TVerdictInput input;
    input.StreamEnded = true;
    input.TrailerChecksum = 0x12345678;
    input.ComputedChecksum = 0x12345678;
    input.TrailerSize = 1000;
    input.ComputedUncompressedSize = 1000;
    input.ComputedCompressedSize = 400;
    return input;
}

TEST(JudgeGzFile, TrailerSizeIsComparedModulo2Pow32)
{
    TVerdictInput input = Agreeing();
    input.ComputedUncompressedSize = 0x100000000LL * 3 + 1000;
    EXPECT_TRUE(JudgeGzFile(input).Intact());
    input.StoredUncompressedSize = 1000;
    EXPECT_EQ(JudgeGzFile(input).Mismatches, quint32(MismatchHeaderUncompressedSize));
}

TEST(JudgeGzFile, EncryptedFilesCompareNoChecksum)
{
    TVerdictInput input = Agreeing();
    input.Encrypted = true;
    input.ComputedChecksum = 0;
    EXPECT_TRUE(JudgeGzFile(input).Intact());
}

TEST(JudgeGzFile, KeyModeNoteOnlyForANamedModeThatDiffers)
{
    TVerdictInput input = Agreeing();
    input.Encrypted = true;
    input.UsedKeyMode = 1;
    input.StoredKeyMode = 0; // automatic: names no mode
    EXPECT_TRUE(JudgeGzFile(input).Notes.isEmpty());
    input.StoredKeyMode = 1;
    EXPECT_TRUE(JudgeGzFile(input).Notes.isEmpty());
    input.StoredKeyMode = 2;
    const TGzVerdict verdict = JudgeGzFile(input);
    ASSERT_EQ(verdict.Notes.size(), 1);
    EXPECT_EQ(VerdictNoteTexts(verdict, TTextForm::English).value(0),
              "The header names the key mode 192 bit, but the file opened with 128 bit.");
    EXPECT_TRUE(verdict.Intact());
}

TEST(JudgeGzFile, TruncationOutranksDisagreement)
{
    TVerdictInput input = Agreeing();
    input.StreamEnded = false;
    input.TrailerChecksum = 1;
    input.BytesAfterStream = 12; // nothing follows a stream that never ended
    const TGzVerdict verdict = JudgeGzFile(input);
    EXPECT_EQ(verdict.State, TVerdictState::Truncated);
    EXPECT_EQ(verdict.Mismatches, 0u);
    EXPECT_TRUE(verdict.Notes.isEmpty());
}

TEST(JudgeGzFile, ErrorKeepsBothTexts)
{
    TVerdictInput input;
    input.Failed = true;
    input.ErrorText = QStringLiteral("Entschlüsselung fehlgeschlagen");
    input.ErrorTextEnglish = QStringLiteral("Decryption failed");
    const TGzVerdict verdict = JudgeGzFile(input);
    EXPECT_EQ(VerdictStateKey(verdict.State), "error");
    EXPECT_EQ(VerdictText(verdict, TTextForm::English), "Error: Decryption failed");
    EXPECT_EQ(VerdictText(verdict), QStringLiteral("Error: Entschlüsselung fehlgeschlagen"));
}

TEST(JudgeGzFile, MismatchNamesEveryValueInOrder)
{
    TGzVerdict verdict;
    verdict.State = TVerdictState::Mismatch;
    verdict.Mismatches = MismatchHeaderCompressedSize | MismatchTrailerChecksum;
    EXPECT_EQ(VerdictText(verdict, TTextForm::English),
              "Mismatch: checksum in the trailer, compressed size in the header");
}

// Files of other programs, made here and never seen before.
class PeerFiles : public TempDirTest
{
protected:
    void expectIntact(const QString &gzFile)
    {
        TGzAnalyzer analyzer;
        GivenPassword none(nullptr);
        const TAnalysisReport report = analyzer.AnalyzeFile(gzFile, none);
        EXPECT_TRUE(report.Verdict.Intact())
            << gzFile.toStdString() << ": "
            << VerdictText(report.Verdict, TTextForm::English).toStdString();
        EXPECT_TRUE(report.Verdict.Notes.isEmpty());
    }
    bool runs(const QString &program, const QStringList &arguments)
    {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return false;
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(60000) && process.exitCode() == 0;
    }
};

TEST_F(PeerFiles, GzipPigzAnd7ZipFilesAreIntact)
{
    const QString source = writeFile(QStringLiteral("data.txt"), SampleText(300000, 3));
    int tried = 0;
    for (const QString &program : {QStringLiteral("gzip"), QStringLiteral("pigz")}) {
        const QByteArray packed = CompressWith(program, source);
        if (packed.isEmpty())
            continue;
        ++tried;
        expectIntact(writeFile(program + QStringLiteral(".gz"), packed));
    }
    if (runs(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-tgzip"),
                                    QStringLiteral("-bd"), path(QStringLiteral("7z.gz")), source})) {
        ++tried;
        expectIntact(path(QStringLiteral("7z.gz")));
    }
    if (tried == 0)
        GTEST_SKIP() << "neither gzip, pigz nor 7z is installed";
}

TEST_F(PeerFiles, ConcatenatedGzipMembersAreNoted)
{
    const QString first = writeFile(QStringLiteral("one.txt"), SampleText(5000, 4));
    const QString second = writeFile(QStringLiteral("two.txt"), SampleText(7000, 5));
    const QByteArray a = CompressWith(QStringLiteral("gzip"), first);
    const QByteArray b = CompressWith(QStringLiteral("gzip"), second);
    if (a.isEmpty() || b.isEmpty())
        GTEST_SKIP() << "gzip is not installed";
    TGzAnalyzer analyzer;
    GivenPassword none(nullptr);
    const TAnalysisReport report = analyzer.AnalyzeFile(writeFile("both.gz", a + b), none);
    EXPECT_EQ(report.Verdict.State, TVerdictState::Mismatch);
    EXPECT_TRUE(report.Verdict.Mismatches & MismatchFurtherMember);
    EXPECT_EQ(VerdictNoteTexts(report.Verdict, TTextForm::English).value(0), NoteMember);
}

} // namespace
