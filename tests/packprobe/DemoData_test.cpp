// The sample files of demo/data/gz: how they are made and what the analysis
// reports for each of them.
//
// Regenerate them with
//   PACKPROBE_DEMO_OUT=demo/data/gz build/<preset>/bin/packprobe_DemoData_test --gtest_filter=DemoData.Generate
#include "packprobe/core/GzAnalysis.h"

#include "GzTestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace packprobe;

using namespace packprobe;

using namespace GzTest;

namespace {

constexpr char DemoPassword[] = "secret";
constexpr quint32 DemoTime = 1765000000; // 2025-12-06 05:46:40

QByteArray DemoText()
{
    QByteArray text = "Vaultkeep backup report\n=======================\n\n";
    text += SampleText(20000, 7);
    return text;
}

struct DemoFile
{
    const char *name;
    QByteArray (*make)();
    TAnalysisStage stage;
    const char *password;
};

QByteArray MakePlain()
{
    TGzWriteOptions o = PlainOptions("Documents\\report.txt");
    o.UnixTime = DemoTime;
    return WriteGz(DemoText(), o);
}

QByteArray MakeEncrypted()
{
    TGzWriteOptions o = EncryptedOptions(DemoPassword, 3, "Documents\\report.txt");
    o.UnixTime = DemoTime;
    return WriteGz(DemoText(), o);
}

// The plain sample whose deflate data breaks off in the middle with a block
// of the reserved type 3: unpacking fails with "Could not read from file".
QByteArray MakeDamaged()
{
    const QByteArray text = DemoText();
    const QByteArray plain = MakePlain();
    const qsizetype headerLength = 10 + 2 + 20 + qsizetype(qstrlen("Documents\\report.txt")) + 1;
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray half(int(text.size()), Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.constData()));
    s.avail_in = uInt(text.size() / 2);
    s.next_out = reinterpret_cast<Bytef *>(half.data());
    s.avail_out = uInt(half.size());
    deflate(&s, Z_FULL_FLUSH);
    half.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return plain.left(headerLength) + half + QByteArray("\x07 broken off", 12) + plain.right(8);
}

QByteArray MakeGzip()
{
    TGzWriteOptions o;
    o.StoredName = "notes.txt";
    o.UnixTime = DemoTime;
    o.Os = 3;
    o.SizeSubfield = false;
    o.Level = 9;
    return WriteGz(SampleText(8000, 3), o);
}

const DemoFile DemoFiles[] = {
    {"vaultkeep-plain.gz", MakePlain, TAnalysisStage::Done, nullptr},
    {"vaultkeep-secret.gze", MakeEncrypted, TAnalysisStage::Done, DemoPassword},
    {"damaged.gz", MakeDamaged, TAnalysisStage::UnpackError, nullptr},
    {"plain-gzip.gz", MakeGzip, TAnalysisStage::Done, nullptr},
};

QString DemoFolder()
{
    return QDir::cleanPath(QStringLiteral(MP_TEST_DATA_DIR "/../../../demo/data/gz"));
}

class Password : public IPasswordProvider
{
public:
    explicit Password(const char *password) : FPassword(password) {}
    bool AskPassword(const QString &, QByteArray &password) override
    {
        password = FPassword ? QByteArray(FPassword) : QByteArray("wrong");
        return true;
    }

private:
    const char *FPassword;
};

TEST(DemoData, Generate)
{
    const QString out = qEnvironmentVariable("PACKPROBE_DEMO_OUT");
    if (out.isEmpty())
        GTEST_SKIP() << "set PACKPROBE_DEMO_OUT to the folder to write the samples to";
    ASSERT_TRUE(QDir().mkpath(out));
    for (const DemoFile &demo : DemoFiles) {
        QFile file(QDir(out).filePath(demo.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray bytes = demo.make();
        ASSERT_FALSE(bytes.isEmpty());
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
}

TEST(DemoData, SamplesGiveTheirReports)
{
    for (const DemoFile &demo : DemoFiles) {
        const QString name = QDir(DemoFolder()).filePath(demo.name);
        if (!QFile::exists(name))
            GTEST_SKIP() << "no demo data in " << DemoFolder().toStdString();
        TGzAnalyzer analyzer;
        Password password(demo.password);
        const TAnalysisReport report = analyzer.AnalyzeFile(name, password);
        EXPECT_EQ(report.Stage, demo.stage) << demo.name << ": " << report.Message.toStdString();
        if (demo.stage == TAnalysisStage::Done) {
            QIODevice *data = analyzer.UnpackedData();
            ASSERT_NE(data, nullptr) << demo.name;
            EXPECT_EQ(data->readAll().size(), report.Header->USize) << demo.name;
        }
    }
}

} // namespace
