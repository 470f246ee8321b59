#include "packprobe/core/ExtFileDevice.h"
#include "packprobe/core/ExtFileTools.h"

#include "GzTestFiles.h"
#include "support/TempDir.h"

#include "foundation/FileUtils.h"

#include <QBuffer>
#include <QFile>

#include <cstring>

using namespace foundation;
using namespace packprobe;

using namespace GzTest;

namespace {

constexpr quint32 TrailerSize = 0x01020304;
constexpr qint64 Derived = -1;
const QByteArray Body("BODY!");

QByteArray WithBodyAndTrailer(QByteArray header)
{
    header.append(Body);
    PutLe32(header, 0xDEADBEEF);
    PutLe32(header, TrailerSize);
    return header;
}

QByteArray KeyModeSubfield(quint16 mode)
{
    QByteArray s("QX", 2);
    PutLe16(s, 2);
    PutLe16(s, mode);
    return s;
}

QByteArray OtherSubfield(const QByteArray &data)
{
    QByteArray s("AB", 2);
    PutLe16(s, quint16(data.size()));
    return s + data;
}

struct HeaderCase
{
    const char *label;
    QByteArray (*header)(); // header bytes; body and trailer are appended
    int code;
    const char *name;       // UTF-8
    qint64 cSize;           // Derived: file size - header length - 8
    qint64 uSize;           // Derived: the trailer's size
    qint32 encMode;
    qint64 headerLength;    // position of the first data byte
};

constexpr HeaderCase HeaderCases[] = {
    {"NoOptionalFields", [] { return FixedHeader(0); }, 0, "", Derived, Derived, -1, 10},
    {"SizesAbove4GiB",
     [] { return FixedHeader(GzFlagExtra) + Extra(SizeSubfield(123456789012LL, 5000000000LL)); },
     0, "", 123456789012LL, 5000000000LL, -1, 10 + 2 + 20},
    {"SizesZeroAreDerived",
     [] { return FixedHeader(GzFlagExtra) + Extra(SizeSubfield(0, 0)); }, 0, "", Derived, Derived,
     -1, 32},
    {"SizeLengthWordIgnored",
     [] { return FixedHeader(GzFlagExtra) + Extra(SizeSubfield(7, 9, 99)); }, 0, "", 7, 9, -1, 32},
    {"EncryptedWithoutKeyMode", [] { return FixedHeader(GzFlagEncrypted); }, 0, "", Derived,
     Derived, 0, 10},
    {"EncryptedKeyMode2",
     [] { return FixedHeader(GzFlagEncrypted | GzFlagExtra) + Extra(KeyModeSubfield(2)); }, 0, "",
     Derived, Derived, 2, 18},
    {"KeyModeWithoutFlagIgnored",
     [] { return FixedHeader(GzFlagExtra) + Extra(KeyModeSubfield(3)); }, 0, "", Derived, Derived,
     -1, 18},
    {"UnknownEmptySubfieldFirst",
     [] {
         return FixedHeader(GzFlagExtra | GzFlagEncrypted)
                + Extra(OtherSubfield({}) + SizeSubfield(11, 22) + KeyModeSubfield(1));
     },
     0, "", 11, 22, 1, 10 + 2 + 4 + 20 + 6},
    {"UnknownSubfieldSkippedByLength",
     [] {
         return FixedHeader(GzFlagExtra | GzFlagEncrypted)
                + Extra(OtherSubfield("xyz") + KeyModeSubfield(3));
     },
     0, "", Derived, Derived, 3, 10 + 2 + 7 + 6},
    {"OneSpareExtraByte",
     [] {
         return FixedHeader(GzFlagExtra | GzFlagName) + Extra(SizeSubfield(5, 6) + "z")
                + QByteArray("n.txt", 6);
     },
     0, "n.txt", 5, 6, -1, 10 + 2 + 21 + 6},
    {"TwoSpareExtraBytes",
     [] {
         return FixedHeader(GzFlagExtra | GzFlagName) + Extra(SizeSubfield(5, 6) + "zz")
                + QByteArray("n.txt", 6);
     },
     0, "n.txt", 5, 6, -1, 10 + 2 + 22 + 6},
    {"AllOptionalFields",
     [] {
         return FixedHeader(GzFlagExtra | GzFlagName | GzFlagComment | GzFlagHeaderCrc)
                + Extra(SizeSubfield(5, 6)) + QByteArray("name", 5) + QByteArray("a comment", 10)
                + QByteArray("\x12\x34", 2);
     },
     0, "name", 5, 6, -1, 10 + 22 + 5 + 10 + 2},
    {"TextAndReservedFlagBitsIgnored", [] { return FixedHeader(0x01 | 0x40 | 0x80); }, 0, "",
     Derived, Derived, -1, 10},
    {"MethodOtherThanDeflatePasses", [] { return FixedHeader(0, 0, 3, 0); }, 0, "", Derived,
     Derived, -1, 10},
    {"SubfieldPastExtraLength",
     [] {
         QByteArray sub = OtherSubfield("abcdef");
         return FixedHeader(GzFlagExtra) + Extra(sub.left(6)) + sub.mid(6);
     },
     4, "", 0, 0, -1, 0},
    {"SizeSubfieldPastExtraLength",
     [] { return FixedHeader(GzFlagExtra) + Extra(SizeSubfield(1, 2).left(12)) + "12345678"; }, 4,
     "", 0, 0, -1, 0},
    {"PartialIdentifierAtEnd", [] { return FixedHeader(GzFlagExtra) + Extra("QX\x02"); }, 4, "", 0,
     0, -1, 0},
    {"NotGzip", [] { return QByteArray("PK\x03\x04 not a gz file"); }, 8, "", 0, 0, -1, 0},
    {"NameTooLong",
     [] { return FixedHeader(GzFlagName) + QByteArray(MaxGzNameBytes + 1, 'n') + QByteArray(1, 0); },
     4, "", 0, 0, -1, 0},
    {"LongestComment",
     [] {
         return FixedHeader(GzFlagComment) + QByteArray(MaxGzCommentBytes, 'c') + QByteArray(1, 0);
     },
     0, "", Derived, Derived, -1, 10 + MaxGzCommentBytes + 1},
    {"CommentTooLong",
     [] {
         return FixedHeader(GzFlagComment) + QByteArray(MaxGzCommentBytes + 1, 'c')
                + QByteArray(1, 0);
     },
     4, "", 0, 0, -1, 0},
};

class GzHeaderCases : public ::testing::TestWithParam<HeaderCase>
{
};

TEST_P(GzHeaderCases, ReadsFieldsAndPosition)
{
    const HeaderCase &c = GetParam();
    QByteArray file = WithBodyAndTrailer(c.header());
    QBuffer buffer(&file);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    QString name = "stale";
    quint32 time = 99;
    qint32 encMode = 77;
    qint64 cSize = -5, uSize = -5;
    ASSERT_EQ(ReadGzHeader(buffer, name, time, encMode, cSize, uSize), c.code);
    if (c.code != 0)
        return;
    EXPECT_EQ(name, QString::fromUtf8(c.name));
    EXPECT_EQ(encMode, c.encMode);
    EXPECT_EQ(buffer.pos(), c.headerLength);
    EXPECT_EQ(cSize, c.cSize == Derived ? file.size() - c.headerLength - 8 : c.cSize);
    EXPECT_EQ(uSize, c.uSize == Derived ? qint64(TrailerSize) : c.uSize);
    EXPECT_EQ(file.mid(buffer.pos(), Body.size()), Body);
}

INSTANTIATE_TEST_SUITE_P(Table, GzHeaderCases, ::testing::ValuesIn(HeaderCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(GzHeader, EveryTruncationOfTheHeaderIsAnError)
{
    const QByteArray header = FixedHeader(GzFlagExtra | GzFlagName | GzFlagComment | GzFlagHeaderCrc)
                              + Extra(OtherSubfield("12") + SizeSubfield(5, 6) + KeyModeSubfield(1))
                              + QByteArray("name", 5) + QByteArray("comment", 8)
                              + QByteArray("\x01\x02", 2);
    for (qsizetype cut = 0; cut < header.size(); ++cut) {
        QByteArray file = header.left(cut);
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        QString name;
        quint32 time = 0;
        qint32 mode = 0;
        qint64 c = 0, u = 0;
        EXPECT_EQ(ReadGzHeader(buffer, name, time, mode, c, u), cut < 2 ? 8 : 4) << "cut " << cut;
    }
}

TEST(GzHeader, DerivedSizesOfAFileShorterThanHeaderAndTrailer)
{
    // Header, then 5 bytes where a data region and an 8-byte trailer belong.
    QByteArray file = FixedHeader(GzFlagName) + QByteArray("n", 2) + QByteArray("\x01\x02\x03\x04\x05", 5);
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    TGzFileInfo info;
    ASSERT_TRUE(GetGzInfo(buffer, info));
    EXPECT_EQ(info.CSize, 5 - 8);
    EXPECT_EQ(info.USize, 0x05040302);
    EXPECT_EQ(buffer.pos(), 12);
}

// A device that delivers the first goodBytes bytes of data and then fails.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(QByteArray data, qint64 goodBytes) : FData(std::move(data)), FGood(goodBytes)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return FData.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 at = pos();
        if (at >= FGood)
            return -1;
        const qint64 n = qMin(maxSize, FGood - at);
        std::memcpy(data, FData.constData() + at, size_t(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray FData;
    qint64 FGood;
};

TEST(GzHeader, ReadErrorsAreCodeFourWhereverTheyHappen)
{
    const QByteArray file = WithBodyAndTrailer(FixedHeader(GzFlagExtra | GzFlagName)
                                               + Extra(SizeSubfield(5, 6)) + QByteArray("n.txt", 6));
    for (const qint64 good : {0, 1, 2, 9, 10, 20, 33, 36}) {
        FailingDevice device(file, good);
        QString name;
        quint32 time = 0;
        qint32 mode = 0;
        qint64 c = 0, u = 0;
        EXPECT_EQ(ReadGzHeader(device, name, time, mode, c, u), GzHeaderReadError) << "good " << good;
    }
    FailingDevice notGz(QByteArray("PK\x03\x04 and more"), 2);
    QString name;
    quint32 time = 0;
    qint32 mode = 0;
    qint64 c = 0, u = 0;
    EXPECT_EQ(ReadGzHeader(notGz, name, time, mode, c, u), GzHeaderIllegal);
}

TEST(GzHeader, NameFollowsTheOsByte)
{
    for (const quint8 os : {quint8(0), quint8(3), quint8(11)}) {
        QByteArray file = WithBodyAndTrailer(FixedHeader(GzFlagName, 0x01020304, os)
                                             + QByteArray("\xC3\xA4\x80.txt", 8));
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        TGzFileInfo info;
        ASSERT_TRUE(GetGzInfo(buffer, info));
        EXPECT_EQ(info.UnixTime, 0x01020304u);
        if (os == 0)
            EXPECT_EQ(info.Filename, QString::fromUtf8("Ã¤€.txt")); // Windows-1252, byte by byte
        else
            EXPECT_EQ(info.Filename, QString::fromUtf8("ä\xEF\xBF\xBD.txt"));
        EXPECT_EQ(info.Count, 1);
        EXPECT_EQ(info.Attr, 0xFFFF);
        EXPECT_FALSE(info.Encrypted);
    }
}

TEST(GzHeader, GetGzInfoMarksEncryptedAndFails)
{
    QByteArray file = WithBodyAndTrailer(FixedHeader(GzFlagEncrypted));
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    TGzFileInfo info;
    ASSERT_TRUE(GetGzInfo(buffer, info));
    EXPECT_TRUE(info.Encrypted);
    EXPECT_EQ(info.EncMode, 0);

    QByteArray bad("\x1F\x8C", 2);
    QBuffer badBuffer(&bad);
    badBuffer.open(QIODevice::ReadOnly);
    int code = 0;
    EXPECT_FALSE(GetGzInfo(badBuffer, info, &code));
    EXPECT_EQ(code, 8);
}

// ---------------------------------------------------------------------------

struct ErrorTextCase
{
    quint32 code;
    const char *first;
    const char *second;
    const char *expected;
};

constexpr ErrorTextCase ErrorTextCases[] = {
    {11, "", "", "Decryption failed"},
    {1, "", "", "Could not create file"},
    {38, "", "", "Error deleting file"},
    {0x101, "", "", "Error - Could not create file"},
    {0x201, "", "", "Warning - Could not create file"},
    {0x301, "", "", "Error(2) - Could not create file"},
    {0x111, "", "", "Error - Timeout error on copying file"},
    {0x401, "", "", "Could not create file"},
    {0x6101, "", "", "Error - Could not create file (-> Decrypt)"},
    {0x7004, "", "b.gz", "Could not read from file (-> Unzip)"},
    {0x1104, "a.gz", "b.gz", "Error - Could not read from file: \"a.gz\" (b.gz) (-> Copy)"},
    {0x0104, "a.gz", "", "Error - Could not read from file: \"a.gz\""},
    {0x0104, "a.gz", "b.gz", "Error - Could not read from file: \"a.gz\" (b.gz)"},
    {0x2005, "a.gz", "", "Could not write to file: \"a.gz\" (-> gzip)"},
    {0x3005, "100%s.gz", "", "Could not write to file: \"100%s.gz\" (-> gunzip)"},
    {0x10027, "", "", "Unknown error code ($00010027)"},
    {0x1FF, "", "", "Error - Unknown error code ($000001ff)"},
    {0x180, "", "", "Error - Terminated by user"},
    {0x9080, "", "", "Terminated by user"},
};

class FileErrorTextCases : public ::testing::TestWithParam<ErrorTextCase>
{
};

TEST_P(FileErrorTextCases, ComposesTheText)
{
    const ErrorTextCase &c = GetParam();
    EXPECT_EQ(FileErrorText(c.code, QString::fromUtf8(c.first), QString::fromUtf8(c.second)).toStdString(),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FileErrorTextCases, ::testing::ValuesIn(ErrorTextCases));

TEST(FileErrorText, NumberZeroIsTheSystemTextForZeroWithoutPrefix)
{
    const QString system = QString::fromLocal8Bit(std::strerror(0));
    EXPECT_EQ(FileErrorText(0x8000), system);
    EXPECT_EQ(FileErrorText(0x100), system);
    EXPECT_EQ(FileErrorText(0x1100), system + " (-> Copy)");
}

// ---------------------------------------------------------------------------

struct LongNameCase
{
    const char *label;
    int length; // 0: name as given; else a drive name padded to this length
    const char *name;
    const char *expected;
};

constexpr LongNameCase LongNameCases[] = {
    {"ShortDriveName", 0, "C:\\data\\x.gz", "C:\\data\\x.gz"},
    {"NetworkName", 0, "\\\\server\\share\\x.gz", "\\\\?\\UNC\\server\\share\\x.gz"},
    {"AlreadyExtended", 0, "\\\\?\\C:\\x.gz", "\\\\?\\C:\\x.gz"},
    {"RelativeName", 0, "x.gz", "x.gz"},
    {"RelativeFolder", 0, "data\\x.gz", "data\\x.gz"},
    {"OneCharacter", 0, "x", "x"},
    {"Empty", 0, "", ""},
    {"DriveName247", 247, "", ""},
    {"DriveName248", 248, "", ""},
};

class LongNameCases_ : public ::testing::TestWithParam<LongNameCase>
{
};

TEST_P(LongNameCases_, FollowsTheWindowsRule)
{
    const LongNameCase &c = GetParam();
    if (c.length == 0) {
        EXPECT_EQ(WindowsLongPathName(QString::fromUtf8(c.name)), QString::fromUtf8(c.expected));
        return;
    }
    QString name = QStringLiteral("C:\\");
    name += QString(c.length - name.size() - 3, QLatin1Char('d')) + QStringLiteral(".gz");
    ASSERT_EQ(name.size(), c.length);
    const QString expected = c.length >= 248 ? QStringLiteral("\\\\?\\") + name : name;
    EXPECT_EQ(WindowsLongPathName(name), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, LongNameCases_, ::testing::ValuesIn(LongNameCases),
                         [](const auto &info) { return std::string(info.param.label); });

#ifndef Q_OS_WIN
TEST(LongPathName, LeavesNamesUnchangedOnThisPlatform)
{
    const QString name = "/tmp/" + QString(300, QLatin1Char('x'));
    EXPECT_EQ(LongPathName(name), name);
}
#endif

// ---------------------------------------------------------------------------

class GzFileTest : public TempDirTest
{
};

TEST_F(GzFileTest, ReadGzInfoFillsAttributesOfTheFileItself)
{
    const QString file = writeFile("plain.gz", WithBodyAndTrailer(FixedHeader(GzFlagName)
                                                                  + QByteArray("x.txt", 6)));
    TGzFileInfo info;
    ASSERT_TRUE(ReadGzInfo(file, info));
    EXPECT_EQ(info.Filename, "x.txt");
    EXPECT_EQ(AttributeText(info.Attr), "-a--");

    QFile::setPermissions(file, QFileDevice::ReadOwner);
    ASSERT_TRUE(ReadGzInfo(file, info));
    EXPECT_EQ(AttributeText(info.Attr), "ra--");

#ifndef Q_OS_WIN
    const QString link = path("link.gz");
    ASSERT_TRUE(QFile::link(file, link));
    ASSERT_TRUE(ReadGzInfo(link, info));
    EXPECT_TRUE(info.Attr & 0x400) << AttributeText(info.Attr).toStdString();
#endif
}

TEST_F(GzFileTest, ReadGzInfoFailsForNonGzAndThrowsForMissingFile)
{
    const QString file = writeFile("text.gz", "just text");
    TGzFileInfo info;
    int code = 0;
    EXPECT_FALSE(ReadGzInfo(file, info, &code));
    EXPECT_EQ(code, 8);
    EXPECT_THROW(ReadGzInfo(path("missing.gz"), info), EExtFileStreamError);
}

TEST_F(GzFileTest, ReadGzTrailerReadsLastEightBytes)
{
    QByteArray bytes("0123456789");
    PutLe32(bytes, 0xABCD);
    PutLe32(bytes, 0xFFFFFFFF);
    quint32 crc = 0, size = 0;
    ASSERT_TRUE(ReadGzTrailer(writeFile("t.gz", bytes), crc, size));
    EXPECT_EQ(crc, 0xABCDu);
    EXPECT_EQ(size, 0xFFFFFFFFu);

    EXPECT_FALSE(ReadGzTrailer(writeFile("short.gz", "1234567"), crc, size));
    EXPECT_THROW(ReadGzTrailer(path("missing.gz"), crc, size), EExtFileStreamError);
}

TEST_F(GzFileTest, RealGzipAndPigzFiles)
{
    const QByteArray plain = SampleText(200000);
    const QString source = writeFile("report.txt", plain);
    for (const QString &program : {QStringLiteral("gzip"), QStringLiteral("pigz")}) {
        const QByteArray gz = CompressWith(program, source, {QStringLiteral("-n"), QStringLiteral("-N")});
        if (gz.isEmpty()) {
            ADD_FAILURE() << program.toStdString() << " is not installed";
            continue;
        }
        EXPECT_EQ(quint8(gz.at(9)), 3) << "OS byte";
        const QString file = writeFile(program + ".gz", gz);
        TGzFileInfo info;
        ASSERT_TRUE(ReadGzInfo(file, info)) << program.toStdString();
        EXPECT_EQ(info.Filename, "report.txt");
        EXPECT_EQ(info.USize, plain.size());
        EXPECT_EQ(info.CSize, gz.size() - (10 + 11) - 8);
        EXPECT_EQ(info.EncMode, -1);
        quint32 crc = 0, size = 0;
        ASSERT_TRUE(ReadGzTrailer(file, crc, size));
        EXPECT_EQ(crc, Crc(plain));
        EXPECT_EQ(size, quint32(plain.size()));
    }
}

TEST_F(GzFileTest, FileDeviceReportsOpenErrorsWithTheSystemNumber)
{
    try {
        TExtFileDevice device(path("no/such/folder/x.gz"), fmCreate);
        FAIL() << "no error";
    } catch (const EExtFileStreamError &error) {
        EXPECT_NE(error.ErrorCode, 0);
        EXPECT_TRUE(error.Message().contains(path("no/such/folder/x.gz"))) << error.Message().toStdString();
    }
}

} // namespace
