#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzReport.h"

#include "GzTestFiles.h"
#include "support/TempDir.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace GzTest;

namespace {

class GivenPassword : public IPasswordProvider
{
public:
    explicit GivenPassword(const char *password) : m_password(password) {}
    bool askPassword(const QString &, QByteArray &password) override
    {
        if (!m_password)
            return false;
        password = m_password;
        return true;
    }

private:
    const char *m_password;
};

class GzReportTest : public TempDirTest
{
protected:
    QJsonObject json(const QString &file, const char *password = nullptr)
    {
        GivenPassword passwords(password);
        const QByteArray text = FormatReportJson(analyzer.AnalyzeFile(file, passwords));
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
        return doc.object();
    }
    TGzAnalyzer analyzer;
};

TEST_F(GzReportTest, JsonOfPlainFileHasEveryKey)
{
    const QByteArray plain = SampleText(5000);
    TGzWriteOptions options = PlainOptions("a.txt");
    options.UnixTime = 86400 + 3661;
    const QString file = writeFile("a.gz", WriteGz(plain, options));
    const QJsonObject o = json(file);
    EXPECT_EQ(o["file"].toString(), file);
    const QJsonObject header = o["header"].toObject();
    EXPECT_EQ(header["filename"].toString(), "a.txt");
    EXPECT_EQ(header["unix_time"].toInteger(), 86400 + 3661);
    EXPECT_EQ(header["timestamp"].toString(), "1970-01-02T01:01:01");
    EXPECT_EQ(header["attributes"].toString(), "-a--");
    EXPECT_EQ(header["uncompressed_size"].toInteger(), 5000);
    EXPECT_FALSE(header["encrypted"].toBool());
    EXPECT_FALSE(header.contains("key_mode"));
    EXPECT_EQ(o["trailer"].toObject()["crc32"].toString(), FormatChecksum(Crc(plain)));
    EXPECT_EQ(o["trailer"].toObject()["size_mod_2_32"].toInteger(), 5000);
    const QJsonObject computed = o["computed"].toObject();
    EXPECT_EQ(computed["crc32"].toString(), FormatChecksum(Crc(plain)));
    EXPECT_EQ(computed["uncompressed_size"].toInteger(), 5000);
    EXPECT_EQ(computed["compressed_size"].toInteger(), header["compressed_size"].toInteger());
    EXPECT_TRUE(o["error"].isNull());
}

TEST_F(GzReportTest, JsonOfEncryptedFileLeavesOutTheChecksums)
{
    const QString file = writeFile("s.gze", WriteGz(SampleText(5000), EncryptedOptions("pw", 3)));
    QJsonObject o = json(file, "pw");
    EXPECT_EQ(o["header"].toObject()["key_mode"].toInt(), 3);
    EXPECT_TRUE(o["header"].toObject()["encrypted"].toBool());
    EXPECT_FALSE(o["trailer"].toObject().contains("crc32"));
    EXPECT_FALSE(o["computed"].toObject().contains("crc32"));
    EXPECT_TRUE(o["error"].isNull());

    o = json(file, "bad");
    EXPECT_FALSE(o.contains("computed"));
    EXPECT_EQ(o["error"].toObject()["code"].toInt(), 11);
    EXPECT_EQ(o["error"].toObject()["text"].toString(), "Decryption failed");

    o = json(file, nullptr);
    EXPECT_EQ(o["error"].toObject()["text"].toString(), "No password");
}

TEST_F(GzReportTest, JsonOfUnreadableFile)
{
    const QJsonObject o = json(writeFile("x.gz", "plain text"));
    EXPECT_FALSE(o.contains("header"));
    EXPECT_FALSE(o.contains("trailer"));
    EXPECT_EQ(o["error"].toObject()["code"].toInt(), 8);
    EXPECT_EQ(o["error"].toObject()["text"].toString(), "Error reading gz header!");
}

TEST_F(GzReportTest, TextHasHeadingsRowsAndMessage)
{
    const QString file = writeFile("s.gze", WriteGz("data", EncryptedOptions("pw", 1, "n.txt")));
    GivenPassword wrong("nope");
    const QString text = FormatReportText(analyzer.AnalyzeFile(file, wrong));
    EXPECT_TRUE(text.startsWith("Header:\n  Filename: n.txt\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nTrailer:\n  Size mod 2^32: 4\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nValues computed from data:\n  Error: Decryption failed\n"));
    EXPECT_TRUE(text.endsWith("\n\nError unpacking file: Decryption failed\n"));

    GivenPassword none(nullptr);
    EXPECT_EQ(FormatReportText(analyzer.AnalyzeFile(path("missing.gz"), none)), "File not found!\n");
}

TEST_F(GzReportTest, TextShowsControlCharactersOfTheStoredNameAsEscapes)
{
    // A hostile name: a line break that would fake a row, an escape sequence
    // and a C1 control (UTF-8, OS byte 3).
    TGzWriteOptions options = PlainOptions("a\nEncrypted: yes\x1B[31m\xC2\x9B.txt");
    options.Os = 3;
    const QString file = writeFile("n.gz", WriteGz("data", options));
    GivenPassword none(nullptr);
    const TAnalysisReport report = analyzer.AnalyzeFile(file, none);
    ASSERT_EQ(report.HeaderRows.value(0).Value, QString::fromUtf8("a\nEncrypted: yes\x1B[31m\xC2\x9B.txt"));
    const QString text = FormatReportText(report);
    EXPECT_TRUE(text.startsWith("Header:\n  Filename: a\\x0AEncrypted: yes\\x1B[31m\\x9B.txt\n"))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QChar(0x1B)));
    EXPECT_EQ(text.count('\n'), 1 + 6 + 1 + 2 + 1 + 3);
}

} // namespace
