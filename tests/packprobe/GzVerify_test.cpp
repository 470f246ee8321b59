#include "packprobe/core/GzVerify.h"
#include "packprobe/core/VerifyCli.h"

#include "GzTestFiles.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <mutex>

using namespace GzTest;
using namespace packprobe;

namespace {

class CountingPassword : public IPasswordProvider
{
public:
    explicit CountingPassword(QByteArray password) : FPassword(std::move(password)) {}
    bool AskPassword(const QString &, QByteArray &password) override
    {
        ++asked;
        password = FPassword;
        return !FPassword.isEmpty();
    }
    int asked = 0;

private:
    QByteArray FPassword;
};

class Collector : public IVerifyListener
{
public:
    void FileChecked(const TAnalysisReport &report) override
    {
        states[QFileInfo(report.FileName).fileName()] = report.Verdict.State;
        texts[QFileInfo(report.FileName).fileName()] = VerifyLine(report);
        if (stopAfterFirst)
            stop->store(true);
    }
    void Progress(int filesDone, int files, qint64 bytesDone, qint64 bytes) override
    {
        EXPECT_LE(filesDone, files);
        EXPECT_LE(bytesDone, bytes);
        ++progressCalls;
    }
    std::map<QString, TVerdictState> states;
    std::map<QString, QString> texts;
    int progressCalls = 0;
    bool stopAfterFirst = false;
    std::atomic<bool> *stop = nullptr;
};

class GzVerifyTest : public TempDirTest
{
protected:
    // A small backup set: intact, cut, damaged and encrypted files in a tree.
    void SetUp() override
    {
        TempDirTest::SetUp();
        plain = SampleText(300000);
        const QByteArray gz = WriteGz(plain, PlainOptions());
        QDir().mkpath(path("set/sub/deeper"));
        writeFile("set/intact.gz", gz);
        writeFile("set/sub/UPPER.GZ", gz);
        writeFile("set/sub/cut.gz", gz.left(gz.size() / 2) + gz.right(8));
        QByteArray wrongCrc = gz;
        wrongCrc[wrongCrc.size() - 8] = char(wrongCrc[wrongCrc.size() - 8] ^ 1);
        writeFile("set/sub/deeper/crc.gz", wrongCrc);
        writeFile("set/sub/deeper/secret.gze", WriteGz(plain, EncryptedOptions("right", 3)));
        writeFile("set/sub/deeper/other.gze", WriteGz(plain, EncryptedOptions("another", 1)));
        writeFile("set/notes.txt", "not a gz file");
        writeFile("set/sub/fake.gz", "not a gz file either");
    }
    TVerifyTotals run(const QStringList &paths, int jobs, Collector &collector,
                      CountingPassword &passwords)
    {
        const TVerifyPlan plan = PlanVerify(paths);
        return RunVerify(plan, passwords, jobs, stop, collector);
    }
    QByteArray plain;
    std::atomic<bool> stop{false};
};

TEST_F(GzVerifyTest, PlanFindsGzFilesRecursivelyWithoutLinksOrDuplicates)
{
#ifdef Q_OS_UNIX
    QFile::link(path("set/sub"), path("set/link-to-sub"));
    QFile::link(path("set/intact.gz"), path("set/link.gz"));
#endif
    const TVerifyPlan plan =
        PlanVerify({path("set"), path("set/intact.gz"), path("missing.gz")});
    QStringList names;
    for (const QString &file : plan.Files)
        names.append(QDir(dir()).relativeFilePath(file));
    EXPECT_EQ(names, (QStringList{"set/intact.gz", "set/sub/UPPER.GZ", "set/sub/cut.gz",
                                  "set/sub/deeper/crc.gz", "set/sub/deeper/other.gze",
                                  "set/sub/deeper/secret.gze", "set/sub/fake.gz", "missing.gz"}));
    qint64 total = 0;
    for (const QString &file : plan.Files)
        total += QFileInfo(file).size();
    EXPECT_EQ(plan.TotalBytes, total);
}

struct JobsCase
{
    const char *label;
    int jobs;
};

constexpr JobsCase JobsCases[] = {{"OneAtATime", 1}, {"ThreeAtATime", 3}, {"OnePerCore", 0}};

class VerifyJobs : public GzVerifyTest, public ::testing::WithParamInterface<JobsCase>
{
};

TEST_P(VerifyJobs, EveryFileGetsItsVerdictAndThePasswordIsAskedOnce)
{
    Collector collector;
    CountingPassword passwords("right");
    const TVerifyTotals totals = run({path("set")}, GetParam().jobs, collector, passwords);
    EXPECT_EQ(passwords.asked, 1);
    EXPECT_EQ(totals.Planned, 7);
    EXPECT_EQ(totals.Files, 7);
    EXPECT_EQ(totals.Intact, 3);
    EXPECT_EQ(totals.Truncated, 1);
    EXPECT_EQ(totals.Mismatched, 1);
    EXPECT_EQ(totals.Failed, 2);
    EXPECT_FALSE(totals.Interrupted);
    EXPECT_FALSE(totals.AllIntact());
    EXPECT_EQ(collector.states["intact.gz"], TVerdictState::Intact);
    EXPECT_EQ(collector.states["UPPER.GZ"], TVerdictState::Intact);
    EXPECT_EQ(collector.states["secret.gze"], TVerdictState::Intact);
    EXPECT_EQ(collector.states["cut.gz"], TVerdictState::Truncated);
    EXPECT_EQ(collector.states["crc.gz"], TVerdictState::Mismatch);
    EXPECT_EQ(collector.states["other.gze"], TVerdictState::Error);
    EXPECT_TRUE(collector.texts["other.gze"].endsWith(": Decryption failed"))
        << collector.texts["other.gze"].toStdString();
    EXPECT_EQ(collector.states["fake.gz"], TVerdictState::Error);
    EXPECT_GE(collector.progressCalls, 7);
    // Nothing was written anywhere near the files.
    EXPECT_EQ(QDir(path("set/sub/deeper")).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Table, VerifyJobs, ::testing::ValuesIn(JobsCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(GzVerifyTest, IntactSetWithoutPassword)
{
    Collector collector;
    CountingPassword passwords("");
    const TVerifyTotals totals = run({path("set/intact.gz"), path("set/sub/UPPER.GZ")}, 2, collector,
                                     passwords);
    EXPECT_EQ(passwords.asked, 0);
    EXPECT_TRUE(totals.AllIntact());
    EXPECT_EQ(totals.Bytes, 2 * QFileInfo(path("set/intact.gz")).size());
}

TEST_F(GzVerifyTest, StopEndsTheCheckWithWhatWasChecked)
{
    Collector collector;
    collector.stopAfterFirst = true;
    collector.stop = &stop;
    CountingPassword passwords("right");
    const TVerifyTotals totals = run({path("set")}, 1, collector, passwords);
    EXPECT_EQ(totals.Files, 1);
    EXPECT_EQ(totals.Planned, 7);
    EXPECT_TRUE(totals.Interrupted);
    EXPECT_FALSE(totals.AllIntact());
    EXPECT_NE(VerifySummaryText(totals).indexOf("Interrupted: 1 of 7 files checked."), -1)
        << VerifySummaryText(totals).toStdString();
}

TEST_F(GzVerifyTest, CommandPrintsOneLinePerFileAndTheSummaryLast)
{
    for (const bool json : {false, true}) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        CountingPassword passwords("right");
        TVerifyCommand command;
        command.Paths = {path("set")};
        command.Json = json;
        command.Jobs = 2;
        EXPECT_EQ(RunVerifyCommand(command, passwords, stop, outStream, errStream), 1);
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 8) << out.toStdString();
        EXPECT_TRUE(err.isEmpty()) << err.toStdString(); // no progress line off a terminal
        if (!json) {
            EXPECT_TRUE(lines.last().startsWith(
                "7 files: 3 intact, 1 truncated, 1 mismatched, 2 failed; "))
                << lines.last().toStdString();
            continue;
        }
        QStringList files;
        for (const QString &line : lines.mid(0, 7)) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            files.append(object.value("file").toString());
            EXPECT_TRUE(object.contains("verdict")) << line.toStdString();
        }
        // In the order of the plan, whichever file was done first.
        EXPECT_EQ(files, PlanVerify(command.Paths).Files);
        const QJsonObject summary =
            QJsonDocument::fromJson(lines.last().toUtf8()).object().value("summary").toObject();
        EXPECT_EQ(summary.value("files").toInt(), 7);
        EXPECT_EQ(summary.value("intact").toInt(), 3);
        EXPECT_EQ(summary.value("error").toInt(), 2);
        EXPECT_FALSE(summary.value("interrupted").toBool());
    }
}

TEST_F(GzVerifyTest, NoFilesIsNotSuccess)
{
    QDir().mkpath(path("empty"));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    CountingPassword passwords("");
    TVerifyCommand command;
    command.Paths = {path("empty")};
    EXPECT_EQ(RunVerifyCommand(command, passwords, stop, outStream, errStream), 1);
    EXPECT_TRUE(err.contains("No .gz or .gze files found.")) << err.toStdString();
}

} // namespace
