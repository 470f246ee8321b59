#include "packprobe/core/AesLib.h"
#include "packprobe/core/ExtFileTools.h"
#include "packprobe/core/GzUnpack.h"

#include "foundation/Progress.h"

#include "GzTestFiles.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

using namespace foundation;
using namespace packprobe;

using namespace GzTest;

namespace {

class GzUnpackTest : public TempDirTest
{
protected:
    struct Result
    {
        int code = -1;
        quint32 crc = 0;
        qint64 cSize = -1;
        qint64 uSize = -1;
        QByteArray output;
    };

    Result unpack(const QByteArray &gzBytes, TEncryption *encryption = nullptr,
                  foundation::IProgressMonitor *monitor = nullptr)
    {
        const QString gz = writeFile("in.gz", gzBytes);
        const QString out = path("out.bin");
        Result r;
        r.code = UnpackGzFile(gz, out, encryption, r.crc, r.cSize, r.uSize, TUnpackOptions{monitor});
        if (QFile::exists(out))
            r.output = readFile(out);
        return r;
    }

    // The folder holds only the input and the output: no intermediate file.
    void expectNoOtherFiles()
    {
        const QStringList names = QDir(dir()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(names, (QStringList{"in.gz", "out.bin"}));
    }
};

// Sizes around the buffer boundaries of the unpacking.
constexpr qint64 PlainSizes[] = {0, 1, 1000, UnpackBufferSize - 1, UnpackBufferSize,
                                 UnpackBufferSize + 1, 3 * UnpackBufferSize + 12345};

class PlainSizes_ : public GzUnpackTest, public ::testing::WithParamInterface<qint64>
{
};

TEST_P(PlainSizes_, UnpacksWithChecksumAndSizes)
{
    const QByteArray plain = SampleText(GetParam(), quint32(GetParam()));
    const QByteArray gz = WriteGz(plain, PlainOptions());
    const Result r = unpack(gz);
    ASSERT_EQ(r.code, UnpackOk);
    EXPECT_EQ(r.output, plain);
    EXPECT_EQ(r.crc, Crc(plain));
    EXPECT_EQ(r.uSize, plain.size());
    EXPECT_EQ(r.cSize, gz.size() - (10 + 2 + 20 + 9) - 8);
    expectNoOtherFiles();

    // Counted only, nothing written: the same checksum and sizes.
    quint32 crc = 0;
    qint64 cSize = -1;
    qint64 uSize = -1;
    ASSERT_EQ(UnpackGzData(path("in.gz"), nullptr, nullptr, crc, cSize, uSize), UnpackOk);
    EXPECT_EQ(crc, r.crc);
    EXPECT_EQ(uSize, r.uSize);
    EXPECT_EQ(cSize, r.cSize);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PlainSizes_, ::testing::ValuesIn(PlainSizes));

TEST_F(GzUnpackTest, EmptyMemberFromHandBuiltBytes)
{
    const QByteArray gz = FixedHeader(0) + RawDeflate({}) + Trailer({});
    const Result r = unpack(gz);
    ASSERT_EQ(r.code, UnpackOk);
    EXPECT_EQ(r.uSize, 0);
    EXPECT_EQ(r.crc, 0u);
    EXPECT_EQ(r.cSize, RawDeflate({}).size());
    EXPECT_TRUE(r.output.isEmpty());
}

TEST_F(GzUnpackTest, BytesAfterTheDeflateDataAreNotCounted)
{
    const QByteArray plain = SampleText(5000);
    const QByteArray deflate = RawDeflate(plain);
    const QByteArray gz = FixedHeader(0) + deflate + QByteArray("garbage after the stream")
                          + Trailer(plain);
    const Result r = unpack(gz);
    ASSERT_EQ(r.code, UnpackOk);
    EXPECT_EQ(r.cSize, deflate.size());
    EXPECT_EQ(r.output, plain);
}

TEST_F(GzUnpackTest, StreamCutShortIsNoError)
{
    const QByteArray plain = SampleText(300000);
    const QByteArray deflate = RawDeflate(plain);
    const QByteArray gz = FixedHeader(0) + deflate.left(deflate.size() / 2) + Trailer(plain);
    const Result r = unpack(gz);
    ASSERT_EQ(r.code, UnpackOk);
    EXPECT_LT(r.uSize, plain.size());
    EXPECT_GT(r.uSize, 0);
    EXPECT_EQ(r.output, plain.left(r.uSize));
    EXPECT_EQ(r.crc, Crc(r.output));
}

// Deflate blocks of the bytes, flushed to a byte boundary and not final, so
// that more data can follow.
QByteArray FlushedDeflate(const QByteArray &data)
{
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&s, uLong(data.size()))) + 64, Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FULL_FLUSH);
    out.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return out;
}

TEST_F(GzUnpackTest, InvalidDeflateDataGivesReadErrorAndKeepsEarlierOutput)
{
    const QByteArray plain = SampleText(2 * UnpackBufferSize + 100);
    // Valid blocks, then a final block of the reserved type 3.
    const QByteArray gz = FixedHeader(0) + FlushedDeflate(plain) + QByteArray(1, '\x07')
                          + QByteArray(100, 'x') + Trailer(plain);
    const Result r = unpack(gz);
    EXPECT_EQ(r.code, UnpackReadError);
    EXPECT_EQ(r.output, plain.left(2 * UnpackBufferSize));

    const Result other = unpack(FixedHeader(0, 0, 3, 0) + QByteArray(64, '\xFF') + Trailer({}));
    EXPECT_EQ(other.code, UnpackReadError);
}

TEST_F(GzUnpackTest, MissingInputAndUncreatableOutput)
{
    quint32 crc = 0;
    qint64 c = 0, u = 0;
    EXPECT_EQ(UnpackGzFile(path("missing.gz"), path("out.bin"), nullptr, crc, c, u), UnpackOpenError);
    const QString gz = writeFile("in.gz", WriteGz("abc", PlainOptions()));
    EXPECT_EQ(UnpackGzFile(gz, path("no/folder/out.bin"), nullptr, crc, c, u), UnpackCreateError);
}

#ifdef Q_OS_LINUX
TEST_F(GzUnpackTest, FullDiskGivesLowDiskSpace)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const QString gz = writeFile("in.gz", WriteGz(SampleText(100000), PlainOptions()));
    quint32 crc = 0;
    qint64 c = 0, u = 0;
    EXPECT_EQ(UnpackGzFile(gz, "/dev/full", nullptr, crc, c, u), UnpackLowDiskSpace);
}
#endif

// ---------------------------------------------------------------------------
// Encrypted files

struct KeyCase
{
    const char *label;
    int writtenMode;        // mode used for the container
    quint16 storedMode;     // "QX" value in the header
    const char *password;
    int code;               // expected result
};

constexpr KeyCase KeyCases[] = {
    {"Aes256StoredMode", 3, 3, "a long password of 24 b", UnpackOk},
    {"Aes128ShortPassword", 1, 1, "short", UnpackOk},
    {"Aes192OnlyByStoredMode", 2, 2, "short", UnpackOk},
    {"Aes128LongPasswordByStoredMode", 1, 1, "sixteen or more bytes", UnpackOk},
    {"StoredAutoUsesPasswordRule", 3, 0, "sixteen or more bytes", UnpackOk},
    {"StoredAutoShortPassword", 1, 0, "short", UnpackOk},
    {"StoredAutoCannotOpenAes192", 2, 0, "short", UnpackDecryptError},
    {"WrongStoredModeFallsBackToRule", 1, 3, "short", UnpackOk},
    {"StoredModeOutOfRangeUsesRule", 3, 9, "sixteen or more bytes", UnpackOk},
};

class KeyCases_ : public GzUnpackTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(KeyCases_, OpensWithStoredModeFirstThenPasswordRule)
{
    const KeyCase &c = GetParam();
    const QByteArray plain = SampleText(200000);
    TGzWriteOptions options = EncryptedOptions(c.password, c.writtenMode);
    options.StoredKeyMode = c.storedMode;
    const QByteArray gz = WriteGz(plain, options);
    ASSERT_FALSE(gz.isEmpty());
    const QByteArray password(c.password);
    TEncryption crypt(password, KeyModeFromPassword(password), int(UnpackBufferSize));
    const Result r = unpack(gz, &crypt);
    ASSERT_EQ(r.code, c.code);
    if (c.code == UnpackOk) {
        EXPECT_EQ(r.output, plain);
        EXPECT_EQ(r.crc, 0u);
        EXPECT_EQ(r.uSize, plain.size());
        EXPECT_EQ(r.cSize, gz.size() - (10 + 2 + 20 + 6 + 11) - 8);
    } else {
        EXPECT_TRUE(r.output.isEmpty());
    }
    expectNoOtherFiles();
}

INSTANTIATE_TEST_SUITE_P(Table, KeyCases_, ::testing::ValuesIn(KeyCases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(KeyModeFromPassword, FollowsTheLengthRule)
{
    EXPECT_EQ(KeyModeFromPassword(""), 0);
    EXPECT_EQ(KeyModeFromPassword("x"), 1);
    EXPECT_EQ(KeyModeFromPassword(QByteArray(15, 'x')), 1);
    EXPECT_EQ(KeyModeFromPassword(QByteArray(16, 'x')), 3);
    EXPECT_EQ(KeyModeFromPassword(QByteArray(200, 'x')), 3);
}

class EncryptedDamage : public GzUnpackTest
{
protected:
    void SetUp() override
    {
        GzUnpackTest::SetUp();
        plain = SampleText(3 * UnpackBufferSize);
        gz = WriteGz(plain, EncryptedOptions("password", 1));
        ASSERT_FALSE(gz.isEmpty());
        headerLength = 10 + 2 + 20 + 6 + 11;
    }
    Result unpackWith(const QByteArray &bytes, const QByteArray &password = "password")
    {
        TEncryption crypt(password, KeyModeFromPassword(password), int(UnpackBufferSize));
        return unpack(bytes, &crypt);
    }
    QByteArray plain;
    QByteArray gz;
    qsizetype headerLength = 0;
};

TEST_F(EncryptedDamage, WrongPasswordGivesDecryptionErrorAndEmptyOutput)
{
    const Result r = unpackWith(gz, "wrong");
    EXPECT_EQ(r.code, UnpackDecryptError);
    EXPECT_TRUE(r.output.isEmpty());
    expectNoOtherFiles();
}

TEST_F(EncryptedDamage, FlippedBitsAreCaughtByTheCode)
{
    const qsizetype containerStart = headerLength;
    const qsizetype cipherStart = containerStart + 10;
    const qsizetype codeStart = gz.size() - 8 - 10;
    for (const qsizetype at : {cipherStart, cipherStart + 5000, codeStart - 1, codeStart,
                               codeStart + 9}) {
        QByteArray damaged = gz;
        damaged[at] = char(damaged[at] ^ 0x04);
        const Result r = unpackWith(damaged);
        EXPECT_EQ(r.code, UnpackDecryptError) << "byte " << at;
        EXPECT_TRUE(r.output.isEmpty()) << "byte " << at;
        EXPECT_EQ(r.uSize, 0);
    }
}

TEST_F(EncryptedDamage, ContainerShorterThanItsHeaderAndCode)
{
    const QByteArray shortFile = gz.left(headerLength) + QByteArray(12, 'x') + gz.right(8);
    EXPECT_EQ(unpackWith(shortFile).code, UnpackDecryptError);
}

TEST_F(EncryptedDamage, AuthenticatedGarbageGivesReadError)
{
    // A container written correctly around data that is no deflate stream:
    // the code matches, so the inflate error is reported.
    const QByteArray password("password");
    TEncryption crypt(password, 1, 0x1000);
    std::array<uchar, 18> header{};
    ASSERT_TRUE(crypt.BeginEncrypt(header.data()));
    QByteArray data(1000, '\xFF');
    ASSERT_TRUE(crypt.EncryptBlock(reinterpret_cast<uchar *>(data.data()), data.size()));
    std::array<uchar, 10> code{};
    ASSERT_TRUE(crypt.FinishEncrypt(code.data()));
    QByteArray file = FixedHeader(GzFlagEncrypted)
                      + QByteArray(reinterpret_cast<const char *>(header.data()), 10) + data
                      + QByteArray(reinterpret_cast<const char *>(code.data()), 10) + Trailer({});
    EXPECT_EQ(unpackWith(file).code, UnpackReadError);

    file[file.size() - 9] = char(file[file.size() - 9] ^ 1); // the code, too
    const Result both = unpackWith(file);
    EXPECT_EQ(both.code, UnpackDecryptError);
    EXPECT_TRUE(both.output.isEmpty());
}

// ---------------------------------------------------------------------------
// Progress and cancellation

class CountingMonitor : public foundation::IProgressMonitor
{
public:
    explicit CountingMonitor(int cancelAfter) : FCancelAfter(cancelAfter) {}
    void Progress(qint64 done, qint64 total) override
    {
        EXPECT_LE(done, total);
        EXPECT_GE(done, FLast);
        FLast = done;
        ++calls;
    }
    bool CancelRequested() const override { return ++checks > FCancelAfter; }
    int calls = 0;
    mutable int checks = 0;

private:
    int FCancelAfter;
    qint64 FLast = 0;
};

TEST_F(GzUnpackTest, ProgressReachesTheEndAndCancelLeavesNoOutput)
{
    const QByteArray plain = SampleText(6 * UnpackBufferSize);
    for (const bool encrypted : {false, true}) {
        const QByteArray gz = WriteGz(plain, encrypted ? EncryptedOptions("pw", 1) : PlainOptions());
        TEncryption crypt("pw", 1, int(UnpackBufferSize));
        CountingMonitor all(1000);
        const Result r = unpack(gz, encrypted ? &crypt : nullptr, &all);
        ASSERT_EQ(r.code, UnpackOk);
        EXPECT_GE(all.calls, 6);

        TEncryption crypt2("pw", 1, int(UnpackBufferSize));
        CountingMonitor cancelling(2);
        const Result cancelled = unpack(gz, encrypted ? &crypt2 : nullptr, &cancelling);
        EXPECT_EQ(cancelled.code, UnpackUserBreak) << "encrypted " << encrypted;
        EXPECT_TRUE(cancelled.output.isEmpty());
    }
}

// ---------------------------------------------------------------------------
// InflateToStream on its own

TEST(InflateToStream, LeavesSourceAfterDeflateDataAndHonoursTheLimit)
{
    const QByteArray plain = SampleText(100000);
    const QByteArray deflate = RawDeflate(plain);
    QByteArray bytes = deflate + "TAIL";
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    quint32 crc = 0;
    qint64 size = 0;
    ASSERT_EQ(InflateToStream(source, nullptr, crc, 0, size), UnpackOk);
    EXPECT_EQ(source.pos(), deflate.size());
    EXPECT_EQ(size, plain.size());
    EXPECT_EQ(crc, Crc(plain));

    source.seek(0);
    crc = 0;
    size = 0;
    ASSERT_EQ(InflateToStream(source, nullptr, crc, 1000, size), UnpackOk);
    EXPECT_EQ(source.pos(), 1000);
    EXPECT_LT(size, plain.size());
}

// Data that hardly compresses, so that its deflate stream spans many input
// pieces of the reader.
QByteArray NoisyText(qsizetype size)
{
    QByteArray text(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &c : text) {
        state = state * 1664525u + 1013904223u;
        c = char('a' + (state >> 24) % 26);
    }
    return text;
}

struct PositionCase
{
    const char *label;
    qint64 plainSize;
    qint64 limit;       // compressed-length limit; 0: none
    bool expectEnd;     // the stream ends within the limit
};

constexpr PositionCase PositionCases[] = {
    {"EndsInFirstPiece", 1000, 0, true},
    {"EndsInLaterPiece", 400000, 0, true},
    {"EndsInLaterPieceWithinLimit", 400000, 10000000, true},
    {"LimitInsideFirstPiece", 400000, 1000, false},
    {"LimitOnPieceBoundary", 400000, 2 * InflateInputPiece, false},
    {"LimitInsideLaterPiece", 400000, 2 * InflateInputPiece + 777, false},
};

class SourcePositions : public ::testing::TestWithParam<PositionCase>
{
};

TEST_P(SourcePositions, SourceStandsAfterTheDeflateDataOrAtTheLimit)
{
    const PositionCase &c = GetParam();
    const QByteArray plain = NoisyText(c.plainSize);
    const QByteArray deflate = RawDeflate(plain);
    ASSERT_TRUE(c.expectEnd ? c.limit == 0 || c.limit >= deflate.size() : c.limit < deflate.size());
    QByteArray bytes = QByteArray("HEAD") + deflate + QByteArray(3 * InflateInputPiece, 'T');
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    source.seek(4);
    quint32 crc = 0;
    qint64 size = 0;
    ASSERT_EQ(InflateToStream(source, nullptr, crc, c.limit, size), UnpackOk);
    if (c.expectEnd) {
        EXPECT_EQ(source.pos(), 4 + deflate.size());
        EXPECT_EQ(size, plain.size());
        EXPECT_EQ(crc, Crc(plain));
    } else {
        EXPECT_EQ(source.pos(), 4 + c.limit);
        EXPECT_LT(size, plain.size());
        EXPECT_EQ(crc, Crc(plain.left(size)));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SourcePositions, ::testing::ValuesIn(PositionCases),
                         [](const auto &info) { return std::string(info.param.label); });

} // namespace
