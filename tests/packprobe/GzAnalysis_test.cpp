#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzUnpack.h"

#include "GzTestFiles.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "foundation/FileUtils.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace foundation;
using namespace packprobe;

using namespace GzTest;

namespace {

class FixedPassword : public IPasswordProvider
{
public:
    explicit FixedPassword(std::optional<QByteArray> password) : FPassword(std::move(password)) {}
    bool AskPassword(const QString &, QByteArray &password) override
    {
        ++asked;
        if (!FPassword)
            return false;
        password = *FPassword;
        return true;
    }
    int asked = 0;

private:
    std::optional<QByteArray> FPassword;
};

QStringList Fields(const QList<TReportRow> &rows)
{
    QStringList fields;
    for (const TReportRow &row : rows)
        fields.append(row.Field);
    return fields;
}

QString Value(const QList<TReportRow> &rows, const QString &field)
{
    for (const TReportRow &row : rows) {
        if (row.Field == field)
            return row.Value;
    }
    return QStringLiteral("<missing>");
}

QByteArray Unpacked(TGzAnalyzer &analyzer)
{
    QIODevice *data = analyzer.UnpackedData();
    return data ? data->readAll() : QByteArray("<none>");
}

class GzAnalysisTest : public TempDirTest
{
protected:
    // Scratch data goes to a temporary folder of the test's own, so that
    // what it leaves there can be seen.
    void SetUp() override
    {
        TempDirTest::SetUp();
        QDir().mkpath(path("tmp"));
        temp.emplace("TMPDIR", path("tmp"));
    }
    QStringList leftInTemp() const
    {
        return QDir(path("tmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    std::optional<ScopedEnv> temp;
    TGzAnalyzer analyzer;
};

TEST_F(GzAnalysisTest, PlainFileGivesSixTwoAndThreeRows)
{
    const QByteArray plain = SampleText(1234567);
    const QString file = writeFile("plain.gz", WriteGz(plain, PlainOptions("docs/report.txt")));
    FixedPassword passwords(QByteArray("unused"));
    const TAnalysisReport report = analyzer.AnalyzeFile(file, passwords);

    ASSERT_TRUE(report.Succeeded()) << report.Message.toStdString();
    EXPECT_EQ(passwords.asked, 0);
    EXPECT_EQ(Fields(report.HeaderRows), (QStringList{"Filename", "Timestamp", "Attributes",
                                                      "Compressed size", "Uncompressed size",
                                                      "Encrypted"}));
    EXPECT_EQ(Fields(report.TrailerRows), (QStringList{"Checksum", "Size mod 2^32"}));
    EXPECT_EQ(Fields(report.DataRows),
              (QStringList{"Checksum", "Compressed size", "Uncompressed size"}));
    EXPECT_EQ(Value(report.HeaderRows, "Filename"), "docs/report.txt");
    EXPECT_EQ(Value(report.HeaderRows, "Uncompressed size"), "1 234 567");
    EXPECT_EQ(Value(report.HeaderRows, "Encrypted"), "no");
    EXPECT_EQ(Value(report.HeaderRows, "Attributes"), "-a--");
    EXPECT_EQ(Value(report.TrailerRows, "Checksum"), FormatChecksum(Crc(plain)));
    EXPECT_EQ(Value(report.DataRows, "Checksum"), FormatChecksum(Crc(plain)));
    EXPECT_EQ(Value(report.DataRows, "Uncompressed size"), "1 234 567");
    EXPECT_EQ(Value(report.DataRows, "Compressed size"), Value(report.HeaderRows, "Compressed size"));
    EXPECT_TRUE(report.Message.isEmpty());
    EXPECT_EQ(report.SaveEnabled, std::optional<bool>(true));
    EXPECT_EQ(report.SaveName, "report.txt");
    EXPECT_EQ(Unpacked(analyzer), plain);
}

TEST_F(GzAnalysisTest, EncryptedFileGivesSevenOneAndTwoRowsAndAsksOnce)
{
    const QByteArray plain = SampleText(70000);
    const QString file = writeFile("secret.gze", WriteGz(plain, EncryptedOptions("geheim", 2)));
    FixedPassword passwords(QByteArray("geheim"));
    const TAnalysisReport report = analyzer.AnalyzeFile(file, passwords);

    ASSERT_TRUE(report.Succeeded()) << report.Message.toStdString();
    EXPECT_EQ(passwords.asked, 1);
    EXPECT_EQ(report.HeaderRows.size(), 7);
    EXPECT_EQ(Value(report.HeaderRows, "Encrypted"), "yes");
    EXPECT_EQ(Value(report.HeaderRows, "Encryption depth"), "192 bit");
    EXPECT_EQ(Fields(report.TrailerRows), QStringList{"Size mod 2^32"});
    EXPECT_EQ(Fields(report.DataRows), (QStringList{"Compressed size", "Uncompressed size"}));
    EXPECT_EQ(Unpacked(analyzer), plain);
}

TEST_F(GzAnalysisTest, NoPasswordAndWrongPassword)
{
    const QString file = writeFile("secret.gze", WriteGz(SampleText(1000), EncryptedOptions("pw", 1)));
    FixedPassword none(std::nullopt);
    TAnalysisReport report = analyzer.AnalyzeFile(file, none);
    EXPECT_EQ(report.Stage, TAnalysisStage::NoPassword);
    EXPECT_EQ(report.DataRows.size(), 1);
    EXPECT_EQ(Value(report.DataRows, "Error"), "No password");
    EXPECT_EQ(report.SaveEnabled, std::optional<bool>(false));
    EXPECT_TRUE(report.Message.isEmpty());
    EXPECT_EQ(report.HeaderRows.size(), 7);

    FixedPassword wrong(QByteArray("wrong"));
    report = analyzer.AnalyzeFile(file, wrong);
    EXPECT_EQ(report.Stage, TAnalysisStage::UnpackError);
    EXPECT_EQ(report.ErrorCode, 11u);
    EXPECT_EQ(Value(report.DataRows, "Error"), "Decryption failed");
    EXPECT_EQ(report.Message, "Error unpacking file: Decryption failed");
    EXPECT_EQ(report.SaveEnabled, std::optional<bool>(false));
    EXPECT_FALSE(analyzer.HasUnpackedData());
    EXPECT_THROW(analyzer.SaveUnpackedData(path("saved.txt")), ECopyError);
}

TEST_F(GzAnalysisTest, EarlyStopsLeaveTheSaveButtonAlone)
{
    FixedPassword passwords(std::nullopt);
    TAnalysisReport report = analyzer.AnalyzeFile(path("missing.gz"), passwords);
    EXPECT_EQ(report.Stage, TAnalysisStage::FileNotFound);
    EXPECT_EQ(report.Message, "File not found!");
    EXPECT_FALSE(report.ListsCleared);
    EXPECT_FALSE(report.SaveEnabled.has_value());

    report = analyzer.AnalyzeFile(QString(), passwords);
    EXPECT_EQ(report.Message, "File not found!");

    report = analyzer.AnalyzeFile(writeFile("text.gz", "not a gz file"), passwords);
    EXPECT_EQ(report.Stage, TAnalysisStage::HeaderError);
    EXPECT_EQ(report.Message, "Error reading gz header!");
    EXPECT_EQ(report.ErrorCode, 8u);
    EXPECT_TRUE(report.ListsCleared);
    EXPECT_TRUE(report.HeaderRows.isEmpty());
    EXPECT_FALSE(report.SaveEnabled.has_value());

    report = analyzer.AnalyzeFile(dir(), passwords);
    EXPECT_EQ(report.Stage, TAnalysisStage::NotRegularFile);
    EXPECT_EQ(report.Message, "Not a regular file!");
    EXPECT_FALSE(report.ListsCleared);
    EXPECT_EQ(report.Verdict.State, packprobe::TVerdictState::Error);
}

#ifndef Q_OS_WIN
TEST_F(GzAnalysisTest, FifoIsNotARegularFileAndIsNeverOpened)
{
    const QString fifo = path("pipe.gz");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    FixedPassword passwords(std::nullopt);
    // Opening the FIFO for reading would block here: no writer ever comes.
    const TAnalysisReport report = analyzer.AnalyzeFile(fifo, passwords);
    EXPECT_EQ(report.Stage, TAnalysisStage::NotRegularFile);
    EXPECT_EQ(report.ErrorTextEnglish, "Not a regular file!");
}
#endif

TEST_F(GzAnalysisTest, ErrorTextsComeInEnglishToo)
{
    FixedPassword passwords(std::nullopt);
    TAnalysisReport report = analyzer.AnalyzeFile(path("missing.gz"), passwords);
    EXPECT_EQ(report.ErrorTextEnglish, "File not found!");
    QByteArray gz = WriteGz(SampleText(50000), PlainOptions());
    gz.truncate(60);
    gz.append(QByteArray(40, '\xFF'));
    report = analyzer.AnalyzeFile(writeFile("damaged.gz", gz), passwords);
    EXPECT_EQ(report.ErrorTextEnglish, "Could not read from file");
    report = analyzer.AnalyzeFile(writeFile("s.gze", WriteGz("x", EncryptedOptions("pw", 1))),
                                  passwords);
    EXPECT_EQ(report.ErrorTextEnglish, "No password");
}

TEST_F(GzAnalysisTest, FileThatCannotBeOpenedReportsTheSystemReason)
{
    const QString file = writeFile("locked.gz", WriteGz("abc", PlainOptions()));
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::Permissions()));
    if (QFile f(file); f.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "the file stays readable (running with administrator rights)";
    FixedPassword passwords(std::nullopt);
    const TAnalysisReport report = analyzer.AnalyzeFile(file, passwords);
    EXPECT_EQ(report.Stage, TAnalysisStage::OpenError);
    EXPECT_EQ(report.ErrorCode, 2u);
    EXPECT_TRUE(report.Message.startsWith("Cannot open file \"")) << report.Message.toStdString();
    EXPECT_TRUE(report.Message.contains("locked.gz")) << report.Message.toStdString();
    EXPECT_TRUE(report.ListsCleared);
    EXPECT_TRUE(report.HeaderRows.isEmpty());
    EXPECT_FALSE(report.SaveEnabled.has_value());
}

TEST_F(GzAnalysisTest, DamagedDataIsReportedWithTheCodeText)
{
    QByteArray gz = WriteGz(SampleText(50000), PlainOptions());
    gz.truncate(60);
    gz.append(QByteArray(40, '\xFF'));
    FixedPassword passwords(std::nullopt);
    const TAnalysisReport report = analyzer.AnalyzeFile(writeFile("damaged.gz", gz), passwords);
    EXPECT_EQ(report.Stage, TAnalysisStage::UnpackError);
    EXPECT_EQ(report.Message, "Error unpacking file: Could not read from file");
    EXPECT_EQ(Fields(report.DataRows), QStringList{"Error"});
    EXPECT_EQ(report.TrailerRows.size(), 2);
}

TEST_F(GzAnalysisTest, SavesTheUnpackedDataOfTheLastSuccess)
{
    const QByteArray plain = SampleText(300000);
    FixedPassword passwords(std::nullopt);
    ASSERT_TRUE(analyzer.AnalyzeFile(writeFile("a.gz", WriteGz(plain, PlainOptions())), passwords)
                    .Succeeded());
    // A later failure before unpacking keeps the data.
    analyzer.AnalyzeFile(writeFile("bad.gz", "xx"), passwords);
    const QString saved = path("out/saved.txt");
    QDir().mkpath(path("out"));
    analyzer.SaveUnpackedData(saved);
    EXPECT_EQ(readFile(saved), plain);
}

class SaveRefusals : public GzAnalysisTest
{
protected:
    void SetUp() override
    {
        GzAnalysisTest::SetUp();
        plain = SampleText(20000);
        gzBytes = WriteGz(plain, PlainOptions());
        analysed = writeFile("backup.gz", gzBytes);
        FixedPassword passwords(std::nullopt);
        ASSERT_TRUE(analyzer.AnalyzeFile(analysed, passwords).Succeeded());
    }
    // The message of the refusal, empty when the save went through.
    QString saveTo(const QString &destination, bool replace)
    {
        try {
            analyzer.SaveUnpackedData(destination, replace);
        } catch (const ECopyError &error) {
            return error.Message();
        }
        return QString();
    }
    QByteArray plain;
    QByteArray gzBytes;
    QString analysed;
};

TEST_F(SaveRefusals, TheAnalysedFileUnderAnyName)
{
    ASSERT_TRUE(QFile::link(analysed, path("symlink.gz")));
    ASSERT_TRUE(QDir().mkpath(path("sub")));
    QStringList names{analysed, path("symlink.gz"), path("sub/../backup.gz"), path("./backup.gz")};
#ifndef Q_OS_WIN
    ASSERT_EQ(::link(QFile::encodeName(analysed).constData(),
                     QFile::encodeName(path("hardlink.gz")).constData()),
              0);
    names.append(path("hardlink.gz"));
#endif
    for (const QString &name : names) {
        EXPECT_TRUE(analyzer.IsAnalysedFile(name)) << name.toStdString();
        for (const bool replace : {false, true}) {
            const QString message = saveTo(name, replace);
            EXPECT_TRUE(message.contains("it is the analysed file")) << message.toStdString();
        }
    }
    EXPECT_EQ(readFile(analysed), gzBytes);
    EXPECT_FALSE(analyzer.IsAnalysedFile(path("other.gz")));
}

TEST_F(SaveRefusals, AlsoTheFileWhoseDataIsKept)
{
    // After an analysis that stopped early the data of the earlier file is
    // still what would be saved; neither file may be overwritten with it.
    FixedPassword passwords(std::nullopt);
    const QString later = writeFile("later.gz", "no gz");
    analyzer.AnalyzeFile(later, passwords);
    EXPECT_TRUE(saveTo(analysed, true).contains("it is the analysed file"));
    EXPECT_TRUE(saveTo(later, true).contains("it is the analysed file"));
}

TEST_F(SaveRefusals, AnExistingFileOnlyWhenReplacing)
{
    const QString existing = writeFile("existing.txt", "keep me");
    ASSERT_TRUE(QFile::setPermissions(existing, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ReadGroup));
    const QFileDevice::Permissions before = QFileInfo(existing).permissions();
    const QString message = saveTo(existing, false);
    EXPECT_TRUE(message.contains("the file exists")) << message.toStdString();
    EXPECT_EQ(readFile(existing), "keep me");

    EXPECT_EQ(saveTo(existing, true), QString());
    EXPECT_EQ(readFile(existing), plain);
    EXPECT_EQ(QFileInfo(existing).permissions(), before);
}

TEST_F(SaveRefusals, AWriteProtectedFileEvenWhenReplacing)
{
    const QString locked = writeFile("locked.txt", "keep me");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadUser
                                                  | QFileDevice::ReadGroup));
    const QString message = saveTo(locked, true);
    EXPECT_TRUE(message.startsWith("Cannot replace \"")) << message.toStdString();
    EXPECT_EQ(readFile(locked), "keep me");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(SaveRefusals, FailuresGiveTheSystemsReason)
{
    const QString message = saveTo(path("nodir/sub/out"), false);
    // The system's text for the missing folder.
    EXPECT_TRUE(message.contains(SystemErrorText(2))) << message.toStdString();
}

TEST_F(SaveRefusals, ANewFileIsWritten)
{
    EXPECT_EQ(saveTo(path("new.txt"), false), QString());
    EXPECT_EQ(readFile(path("new.txt")), plain);
}

TEST_F(GzAnalysisTest, ScratchDataHasNoNameAndIsPerAnalyzer)
{
    FixedPassword passwords(std::nullopt);
    TGzAnalyzer other;
    const QString file = writeFile("a.gz", WriteGz("one", PlainOptions()));
    ASSERT_TRUE(analyzer.AnalyzeFile(file, passwords).Succeeded());
    ASSERT_TRUE(other.AnalyzeFile(writeFile("b.gz", WriteGz("two", PlainOptions())), passwords)
                    .Succeeded());
    EXPECT_EQ(Unpacked(analyzer), "one");
    EXPECT_EQ(Unpacked(other), "two");
#ifdef Q_OS_LINUX
    EXPECT_EQ(leftInTemp(), QStringList());
#endif
}

TEST_F(GzAnalysisTest, CountOnlyWritesNothing)
{
    const QByteArray plain = SampleText(600000);
    TGzAnalyzer counting(TDataTarget::CountOnly);
    FixedPassword passwords(std::nullopt);
    const TAnalysisReport report =
        counting.AnalyzeFile(writeFile("a.gz", WriteGz(plain, PlainOptions())), passwords);
    ASSERT_TRUE(report.Succeeded());
    EXPECT_EQ(report.Computed->UncompressedSize, plain.size());
    EXPECT_EQ(report.Computed->Checksum, Crc(plain));
    EXPECT_EQ(report.SaveEnabled, std::optional<bool>(false));
    EXPECT_FALSE(counting.HasUnpackedData());
    EXPECT_EQ(leftInTemp(), QStringList());
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.gz"});
}

TEST_F(GzAnalysisTest, SaveNextToWritesTheFileOnceAndNamesItOnSave)
{
    const QByteArray plain = SampleText(700000);
    const QString file = writeFile("a.gz", WriteGz(plain, PlainOptions()));
    const QString destination = path("saved.txt");
    writeFile("saved.txt", "old contents");
    TGzAnalyzer saving(TDataTarget::CountOnly);
    saving.SaveNextTo(destination);
    FixedPassword passwords(std::nullopt);
    ASSERT_TRUE(saving.AnalyzeFile(file, passwords).Succeeded());
    // Unpacked, but not under its name yet.
    EXPECT_EQ(readFile(destination), "old contents");
    saving.SaveUnpackedData(destination, true); // replacing was allowed
    EXPECT_EQ(readFile(destination), plain);
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.gz", "saved.txt"}));
    EXPECT_FALSE(saving.HasUnpackedData());

    // Not saved: nothing stays.
    saving.SaveNextTo(path("never.txt"));
    ASSERT_TRUE(saving.AnalyzeFile(file, passwords).Succeeded());
    saving.AnalyzeFile(file, passwords); // the next analysis replaces it
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.gz", "saved.txt"}));
}

TEST_F(GzAnalysisTest, FailedUnpackingLeavesNoSavedFile)
{
    const QByteArray plain = SampleText(300000);
    const QString file = writeFile("s.gze", WriteGz(plain, EncryptedOptions("right", 1)));
    TGzAnalyzer saving(TDataTarget::CountOnly);
    saving.SaveNextTo(path("out.txt"));
    FixedPassword wrong(QByteArray("wrong"));
    EXPECT_EQ(saving.AnalyzeFile(file, wrong).ErrorCode, 11u);
    EXPECT_FALSE(saving.HasUnpackedData());
    EXPECT_THROW(saving.SaveUnpackedData(path("out.txt")), ECopyError);
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden), QStringList{"s.gze"});
}

TEST_F(GzAnalysisTest, HeaderSizeBeyondTheFreeSpaceGivesLowDiskSpaceBeforeUnpacking)
{
    // The header claims far more than any disk here holds.
    const QByteArray plain = SampleText(5000);
    QByteArray gz = WriteGz(plain, PlainOptions());
    const qsizetype sizes = gz.indexOf(QByteArray("\x01\x00\x10\x00", 4));
    ASSERT_GT(sizes, 0);
    QByteArray huge;
    PutLe64(huge, qint64(1) << 60);
    gz.replace(sizes + 4 + 8, 8, huge);
    const QString file = writeFile("huge.gz", gz);

    FixedPassword passwords(std::nullopt);
    TAnalysisReport report = analyzer.AnalyzeFile(file, passwords);
    EXPECT_EQ(report.ErrorCode, quint32(UnpackLowDiskSpace));
    EXPECT_TRUE(report.ErrorText.startsWith("Low disk space: \"")) << report.ErrorText.toStdString();
    EXPECT_FALSE(analyzer.HasUnpackedData());
    EXPECT_EQ(leftInTemp(), QStringList());

    // A report alone writes nothing, so it needs no room.
    TGzAnalyzer counting(TDataTarget::CountOnly);
    report = counting.AnalyzeFile(file, passwords);
    EXPECT_TRUE(report.Succeeded()) << report.Message.toStdString();
}

// ---------------------------------------------------------------------------

struct SaveNameCase
{
    const char *stored;
    const char *offered;
};

constexpr SaveNameCase SaveNameCases[] = {
    {"report.txt", "report.txt"},
    {"C:\\Users\\me\\report.txt", "report.txt"},
    {"../../etc/passwd", "passwd"},
    {"/absolute/path/x.doc", "x.doc"},
    {"folder/", ""},
    {"..", ""},
    {"C:evil.txt", "evil.txt"},
    {"", ""},
};

class SaveNames : public ::testing::TestWithParam<SaveNameCase>
{
};

TEST_P(SaveNames, OfferOnlyTheLastComponent)
{
    EXPECT_EQ(SafeSaveName(QString::fromUtf8(GetParam().stored)).toStdString(), GetParam().offered);
}

INSTANTIATE_TEST_SUITE_P(Table, SaveNames, ::testing::ValuesIn(SaveNameCases));

TEST(ReportTexts, FormatsOfTheRows)
{
    EXPECT_EQ(FormatChecksum(43981), "0000ABCD");
    EXPECT_EQ(FormatChecksum(0xFFFFFFFF), "FFFFFFFF");
    EXPECT_EQ(FormatSizeGrouped(1234567), "1 234 567");
    EXPECT_EQ(FormatSizeGrouped(0), "0");
    EXPECT_EQ(EncryptionDepthName(0), "auto");
    EXPECT_EQ(EncryptionDepthName(1), "128 bit");
    EXPECT_EQ(EncryptionDepthName(2), "192 bit");
    EXPECT_EQ(EncryptionDepthName(3), "256 bit");
    EXPECT_EQ(EncryptionDepthName(7), "unknown (7)");

    const QLocale locale;
    EXPECT_EQ(FormatGzTimestamp(0), locale.toString(QDate(1970, 1, 1), QLocale::ShortFormat));
    const QString noon = FormatGzTimestamp(86400 + 43200 + 61);
    EXPECT_TRUE(noon.startsWith(locale.toString(QDate(1970, 1, 2), QLocale::ShortFormat) + " "))
        << noon.toStdString();
    EXPECT_TRUE(noon.contains("12") && noon.contains("01:01")) << noon.toStdString();
}

} // namespace
