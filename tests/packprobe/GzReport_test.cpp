#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzReport.h"

#include "GzTestFiles.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace packprobe;

using namespace packprobe;

using namespace GzTest;

namespace {

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
    // The message belongs on standard error; the verdict only names the state.
    EXPECT_FALSE(text.contains("Error unpacking file")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\nVerdict:\n  Error\n")) << text.toStdString();

    GivenPassword none(nullptr);
    EXPECT_EQ(FormatReportText(analyzer.AnalyzeFile(path("missing.gz"), none)), "Verdict:\n  Error\n");
}

TEST_F(GzReportTest, TextEndsWithTheVerdictAndItsNotes)
{
    QByteArray gz = WriteGz(SampleText(3000), PlainOptions());
    gz.insert(gz.size() - 8, QByteArray("\0\0\0", 3));
    GivenPassword none(nullptr);
    const QString text = FormatReportText(analyzer.AnalyzeFile(writeFile("j.gz", gz), none));
    EXPECT_TRUE(text.endsWith("\nVerdict:\n  Intact: every stored value agrees with the data\n"
                              "  Bytes between the end of the deflate data and the trailer: 3\n"))
        << text.toStdString();
}

TEST_F(GzReportTest, JsonHasTheVerdictInEnglish)
{
    QByteArray gz = WriteGz(SampleText(3000), PlainOptions());
    gz[gz.size() - 7] = char(gz.at(gz.size() - 7) ^ 0x10);
    QJsonObject verdict = json(writeFile("c.gz", gz))["verdict"].toObject();
    EXPECT_EQ(verdict["state"].toString(), "mismatch");
    EXPECT_EQ(verdict["text"].toString(), "Mismatch: checksum in the trailer");
    EXPECT_TRUE(verdict["notes"].isArray());
    EXPECT_TRUE(verdict["notes"].toArray().isEmpty());

    verdict = json(writeFile("x.gz", gz.left(gz.size() / 2)))["verdict"].toObject();
    EXPECT_EQ(verdict["state"].toString(), "truncated");

    verdict = json(path("missing.gz"))["verdict"].toObject();
    EXPECT_EQ(verdict["state"].toString(), "error");
    EXPECT_EQ(verdict["text"].toString(), "Error: File not found!");
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
    EXPECT_EQ(text.count('\n'), 1 + 6 + 1 + 2 + 1 + 3 + 2);
}

TEST_F(GzReportTest, TextShowsDirectionControlsOfTheStoredNameAsEscapes)
{
    // "invoice\u202Efdp.exe" would read as "invoiceexe.pdf" on a terminal
    // that applies the override; each such character is escaped.
    static const char16_t controls[] = {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066,
                                        0x2067, 0x2068, 0x2069, 0x200E, 0x200F, 0x061C};
    QString name = QStringLiteral("invoice");
    QString expected = name;
    for (const char16_t ch : controls) {
        name += QChar(ch) + QStringLiteral("x");
        expected += QStringLiteral("\\u") + QString::number(quint16(ch), 16).rightJustified(4, '0').toUpper()
                    + QStringLiteral("x");
    }
    name += QStringLiteral(".exe \u05D0");  // Hebrew letters stay as they are
    expected += QStringLiteral(".exe \u05D0");
    TGzWriteOptions options = PlainOptions(name.toUtf8());
    options.Os = 3;
    GivenPassword none(nullptr);
    const TAnalysisReport report = analyzer.AnalyzeFile(writeFile("b.gz", WriteGz("data", options)), none);
    ASSERT_EQ(report.HeaderRows.value(0).Value, name);
    const QString text = FormatReportText(report);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Header:\n  Filename: ") + expected + QLatin1Char('\n')))
        << text.toStdString();
    for (const char16_t ch : controls)
        EXPECT_FALSE(text.contains(QChar(ch))) << int(ch);
}

} // namespace
