#include "packprobe/core/AesLib.h"

#include "support/TempDir.h"

#include "foundation/Progress.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using namespace foundation;
using namespace packprobe;

using namespace packprobe;

namespace {

uchar *Bytes(QByteArray &a) { return reinterpret_cast<uchar *>(a.data()); }
const uchar *Bytes(const QByteArray &a) { return reinterpret_cast<const uchar *>(a.constData()); }
QByteArray Hex(std::string_view hex) { return QByteArray::fromHex(QByteArray(hex.data(), qsizetype(hex.size()))); }

QByteArray RandomBytes(qsizetype n, quint32 seed)
{
    QByteArray data(n, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qsizetype i = 0; i < n; ++i)
        data[i] = char(gen.bounded(256));
    return data;
}

struct TEncrypted {
    TOpResult Result;
    QByteArray Container;
};

TEncrypted Encrypt(const QByteArray &password, int mode, int bufSize, const QByteArray &plain,
                   const TStatusEvent &cancel = {}, TEncryption *useObject = nullptr)
{
    QByteArray source = plain;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    TEncrypted result{orError, {}};
    QBuffer out(&result.Container);
    out.open(QIODevice::WriteOnly);
    TEncryption own(password, mode, bufSize);
    TEncryption &crypt = useObject ? *useObject : own;
    result.Result = crypt.EncryptStreamEx(in, out, false, cancel);
    return result;
}

struct TDecrypted {
    TOpResult Result;
    QByteArray Plain;
    qint64 SourcePos;  // where the source stood afterwards
};

TDecrypted Decrypt(const QByteArray &password, int mode, int bufSize, const QByteArray &container,
                   qint64 sLength = -1, const TStatusEvent &cancel = {}, TEncryption *useObject = nullptr)
{
    QByteArray source = container;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    TDecrypted result{orError, {}, 0};
    QBuffer out(&result.Plain);
    out.open(QIODevice::WriteOnly);
    TEncryption own(password, mode, bufSize);
    TEncryption &crypt = useObject ? *useObject : own;
    result.Result = crypt.DecryptStreamEx(in, &out, sLength < 0 ? container.size() : sLength, true, cancel);
    result.SourcePos = in.pos();
    return result;
}

class AesLibTest : public TempDirTest
{
};

// --- PBKDF2-HMAC-SHA1, RFC 6070 ------------------------------------------

struct TPbkdf2Case {
    std::string_view Password;
    std::string_view Salt;
    int Iterations;
    std::string_view Expected;
};

constexpr TPbkdf2Case Pbkdf2Cases[] = {
    {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
    {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
    {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
    {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
     "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
    {std::string_view("pass\0word", 9), std::string_view("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
};

class AesPbkdf2Test : public TempDirTest, public testing::WithParamInterface<TPbkdf2Case>
{
};

TEST_P(AesPbkdf2Test, MatchesRfc6070)
{
    const TPbkdf2Case &c = GetParam();
    const QByteArray expected = Hex(c.Expected);
    QByteArray out(expected.size(), '\0');
    ASSERT_TRUE(TCrypt::Pbkdf2HmacSha1(reinterpret_cast<const uchar *>(c.Password.data()), int(c.Password.size()),
                                       reinterpret_cast<const uchar *>(c.Salt.data()), int(c.Salt.size()),
                                       c.Iterations, Bytes(out), int(out.size())));
    EXPECT_EQ(out.toHex(), expected.toHex());
}

INSTANTIATE_TEST_SUITE_P(Rfc6070, AesPbkdf2Test, testing::ValuesIn(Pbkdf2Cases),
                         [](const auto &info) { return "Vector" + std::to_string(info.index + 1); });

// --- Known containers ------------------------------------------------------
// Computed independently: PBKDF2-HMAC-SHA1 (1000 iterations), AES-ECB over
// counter blocks 01 00.., 02 00.. and HMAC-SHA1 cut to 10 bytes.

constexpr std::string_view KnownPlainHex =  // "Counter mode crosses block borders!!!" (37 bytes)
    "436f756e746572206d6f64652063726f7373657320626c6f636b20626f7264657273212121";

struct TKnownContainer {
    int Mode;
    std::string_view PasswordHex;
    std::string_view SaltHex;
    std::string_view VerifierHex;
    std::string_view KeyStreamHex;  // first two key-stream blocks
    std::string_view CipherHex;
    std::string_view CodeHex;
};

constexpr TKnownContainer KnownContainers[] = {
    {1, "636f727265637420686f727365", "1011121314151617", "9b27",
     "7ce63786be0d27ee02bfddc658d2dbcb05c9fb8415776127a4b50512a25ca2bd",
     "3f8942e8ca6855ce6fd0b9a378b1a9a476ba9ef735150d48c7de2570cd2ec6d8fc093bd169", "4e28a0b1769e9137f553"},
    {2, "6261747465727920737461706c652030313233343536373839206162636465666768696a", "101112131415161718191a1b",
     "bf4c", "42f71e05040f83f34caf406a777869fed53303ef944b614e845e2116338d3f75",
     "01986b6b706af1d321c0240f571b1b91a640669cb4290d21e73501745cff5b10f5b9297fc5", "61bb1faa17046ca92c71"},
    {3,
     "e4f6fc2070617373776f7264207769746820382d6269742062797465732c206c6f6e6720656e6f75676820666f72203438",
     "101112131415161718191a1b1c1d1e1f", "15de",
     "62b08dc008c5deef2d975fdb007daefdb4618257d8d34a7ff62802d5d764f78f",
     "21dff8ae7ca0accf40f83bbe201edc92c712e724f8b12610954322b7b81693eae874d81a20", "d5e205771f0b90d56c8c"},
};

class AesKnownContainerTest : public TempDirTest, public testing::WithParamInterface<TKnownContainer>
{
protected:
    QByteArray Password() const { return Hex(GetParam().PasswordHex); }
    QByteArray Header() const { return Hex(GetParam().SaltHex) + Hex(GetParam().VerifierHex); }
    QByteArray Container() const
    {
        return Header() + Hex(GetParam().CipherHex) + Hex(GetParam().CodeHex);
    }
};

TEST_P(AesKnownContainerTest, KeyStreamStartsWithCounterOne)
{
    TEncryption crypt(Password(), GetParam().Mode, 64);
    const QByteArray header = Header();
    ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), header.size()));
    QByteArray zeros(32, '\0');
    ASSERT_TRUE(crypt.DecryptBlock(Bytes(zeros), zeros.size()));
    EXPECT_EQ(zeros.toHex(), Hex(GetParam().KeyStreamHex).toHex());
}

TEST_P(AesKnownContainerTest, DecryptsInAnyPieces)
{
    const QByteArray header = Header();
    const QByteArray code = Hex(GetParam().CodeHex);
    for (const qsizetype piece : {1, 5, 16, 17, 37}) {
        SCOPED_TRACE(piece);
        TEncryption crypt(Password(), GetParam().Mode, 64);
        ASSERT_EQ(crypt.GetHeaderSize(), header.size());
        ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), header.size()));
        QByteArray data = Hex(GetParam().CipherHex);
        for (qsizetype pos = 0; pos < data.size(); pos += piece)
            ASSERT_TRUE(crypt.DecryptBlock(Bytes(data) + pos, std::min(piece, data.size() - pos)));
        EXPECT_EQ(data.toHex(), Hex(KnownPlainHex).toHex());
        EXPECT_TRUE(crypt.FinishDecrypt(Bytes(code), code.size()));
    }
}

TEST_P(AesKnownContainerTest, StreamDecryptionAcceptsKnownContainer)
{
    const TDecrypted d = Decrypt(Password(), GetParam().Mode, 16, Container());
    EXPECT_EQ(d.Result, orOk);
    EXPECT_EQ(d.Plain.toHex(), Hex(KnownPlainHex).toHex());
    EXPECT_EQ(d.SourcePos, Container().size());
}

TEST_P(AesKnownContainerTest, EncryptionMatchesKnownCiphertextAndCode)
{
    // The writer draws its own salt, so the known ciphertext is checked by
    // re-encrypting through the reader's keys: CTR is its own inverse.
    TEncryption crypt(Password(), GetParam().Mode, 64);
    const QByteArray header = Header();
    ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), header.size()));
    QByteArray data = Hex(KnownPlainHex);
    ASSERT_TRUE(crypt.DecryptBlock(Bytes(data), data.size()));  // XORs the same key stream
    EXPECT_EQ(data.toHex(), Hex(GetParam().CipherHex).toHex());
}

TEST_P(AesKnownContainerTest, RejectsCodeWithOneFlippedBit)
{
    TEncryption crypt(Password(), GetParam().Mode, 64);
    const QByteArray header = Header();
    ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), header.size()));
    QByteArray data = Hex(GetParam().CipherHex);
    ASSERT_TRUE(crypt.DecryptBlock(Bytes(data), data.size()));
    QByteArray code = Hex(GetParam().CodeHex);
    code[9] = char(code[9] ^ 0x01);
    EXPECT_FALSE(crypt.FinishDecrypt(Bytes(code), code.size()));
}

INSTANTIATE_TEST_SUITE_P(Modes, AesKnownContainerTest, testing::ValuesIn(KnownContainers),
                         [](const auto &info) { return "Mode" + std::to_string(info.param.Mode); });

// Counter blocks 255 -> 256 carry from byte 0 into byte 1; 1024 -> 1026 cross
// the border of a batch of generated key stream.
class AesCounterTest : public TempDirTest
{
};

TEST_F(AesCounterTest, CarriesLittleEndianAcrossBytesAndBatches)
{
    const TKnownContainer &k = KnownContainers[0];
    const QByteArray header = Hex(k.SaltHex) + Hex(k.VerifierHex);
    const std::pair<int, std::string_view> expected[] = {
        {255, "f89f078666123978131c224b0fb25313"},  {256, "4988da91ce4648134b5848905cb957d7"},
        {257, "a2736068e46e47672157acf7fffa228a"},  {1024, "799be8d2ebec31d5b979b380d6015e0b"},
        {1025, "5ee0437f906db713798f95fe7c5a4804"}, {1026, "a3b3b98d34d39d312421a0076d13c1a0"},
    };
    for (const qsizetype piece : {qsizetype(4099), qsizetype(1026 * 16)}) {
        SCOPED_TRACE(piece);
        TEncryption crypt(Hex(k.PasswordHex), k.Mode, 64);
        ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), header.size()));
        QByteArray stream(1026 * 16, '\0');
        for (qsizetype pos = 0; pos < stream.size(); pos += piece)
            ASSERT_TRUE(crypt.DecryptBlock(Bytes(stream) + pos, std::min(piece, stream.size() - pos)));
        for (const auto &[counter, hex] : expected)
            EXPECT_EQ(stream.mid((counter - 1) * 16, 16).toHex(), QByteArray(hex.data(), qsizetype(hex.size())))
                << "counter " << counter;
    }
}

// --- Round trips -------------------------------------------------------------

struct TRoundTripCase {
    int Mode;
    qsizetype Size;
};

constexpr int SmallBuf = 64;
constexpr TRoundTripCase RoundTripCases[] = {
    {1, 0}, {2, 0}, {3, 0},
    {1, 1}, {2, 15}, {3, 17},
    {1, SmallBuf - 1}, {2, SmallBuf}, {3, SmallBuf + 1},
    {1, 3 * SmallBuf}, {2, 5 * SmallBuf + 7}, {3, 1000},
};

class AesRoundTripTest : public TempDirTest, public testing::WithParamInterface<TRoundTripCase>
{
};

TEST_P(AesRoundTripTest, DecryptsWithAnyBufferSize)
{
    const auto [mode, size] = GetParam();
    const QByteArray password = "round trip";
    const QByteArray plain = RandomBytes(size, quint32(size * 7 + mode));
    const TEncrypted e = Encrypt(password, mode, SmallBuf, plain);
    ASSERT_EQ(e.Result, orOk);
    EXPECT_EQ(e.Container.size(), size + TCrypt::SaltLength(mode) + 12);
    if (size >= 16) {
        EXPECT_NE(e.Container.mid(TCrypt::SaltLength(mode) + 2, size), plain);
    }

    for (const int bufSize : {SmallBuf, 7, 0x80000}) {
        SCOPED_TRACE(bufSize);
        const TDecrypted d = Decrypt(password, mode, bufSize, e.Container);
        EXPECT_EQ(d.Result, orOk);
        EXPECT_EQ(d.Plain, plain);
    }
}

TEST_P(AesRoundTripTest, EncryptionDoesNotDependOnBufferSize)
{
    // The same keys (same salt) must give the same container for any
    // work-buffer size: decrypt the container with the reader, then encrypt
    // through the buffer interface in one call and compare.
    const auto [mode, size] = GetParam();
    const QByteArray plain = RandomBytes(size, 99);
    const TEncrypted e = Encrypt("pieces", mode, 5, plain);
    ASSERT_EQ(e.Result, orOk);
    TEncryption crypt("pieces", mode, 0);
    const QByteArray header = e.Container.left(crypt.GetHeaderSize());
    ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), header.size()));
    QByteArray data = plain;
    ASSERT_TRUE(crypt.DecryptBlock(Bytes(data), data.size()));
    EXPECT_EQ(header + data, e.Container.left(e.Container.size() - 10));
}

INSTANTIATE_TEST_SUITE_P(Sizes, AesRoundTripTest, testing::ValuesIn(RoundTripCases),
                         [](const auto &info) {
                             return "Mode" + std::to_string(info.param.Mode) + "_Size"
                                    + std::to_string(info.param.Size);
                         });

TEST_F(AesLibTest, LargeFileRoundTripThroughFiles)
{
    const QByteArray plain = RandomBytes(3 * 0x80000 + 12345, 7);
    const QString plainName = writeFile("plain.bin", plain);
    {
        QFile in(plainName), out(path("data.aes"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        TEncryption crypt("file password", 3, 0x80000);
        ASSERT_TRUE(crypt.EncryptStream(in, out, false));
    }
    QFile in(path("data.aes")), out(path("plain.out"));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    TEncryption crypt("file password", 3, 0x80000);
    ASSERT_TRUE(crypt.DecryptStream(in, &out, in.size(), false));
    out.close();
    EXPECT_EQ(readFile(path("plain.out")), plain);

    // Without a destination the container is still checked completely.
    ASSERT_TRUE(in.seek(0));
    TEncryption check("file password", 3, 0x80000);
    EXPECT_TRUE(check.DecryptStream(in, nullptr, in.size(), false));
    QByteArray damaged = readFile(path("data.aes"));
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x40);
    QBuffer bad(&damaged);
    bad.open(QIODevice::ReadOnly);
    TEncryption check2("file password", 3, 0x80000);
    EXPECT_FALSE(check2.DecryptStream(bad, nullptr, damaged.size(), false));
}

class AesEncryptionTest : public TempDirTest
{
};

TEST_F(AesEncryptionTest, SamePlaintextGivesNewSaltEachTime)
{
    const QByteArray plain = "identical plaintext, identical password";
    const TEncrypted a = Encrypt("pw", 3, 64, plain);
    const TEncrypted b = Encrypt("pw", 3, 64, plain);
    ASSERT_EQ(a.Result, orOk);
    ASSERT_EQ(b.Result, orOk);
    EXPECT_NE(a.Container.left(16), b.Container.left(16));
    EXPECT_NE(a.Container, b.Container);
    EXPECT_EQ(Decrypt("pw", 3, 64, a.Container).Plain, plain);
    EXPECT_EQ(Decrypt("pw", 3, 64, b.Container).Plain, plain);
}

TEST_F(AesEncryptionTest, OneObjectServesContainersOneAfterAnother)
{
    TEncryption crypt("reused", 2, 32);
    const TEncrypted a = Encrypt("", 0, 0, "first container data", {}, &crypt);
    const TEncrypted b = Encrypt("", 0, 0, "second", {}, &crypt);
    ASSERT_EQ(a.Result, orOk);
    ASSERT_EQ(b.Result, orOk);
    const TDecrypted da = Decrypt("", 0, 0, a.Container, -1, {}, &crypt);
    const TDecrypted db = Decrypt("", 0, 0, b.Container, -1, {}, &crypt);
    EXPECT_EQ(da.Result, orOk);
    EXPECT_EQ(da.Plain, "first container data");
    EXPECT_EQ(db.Result, orOk);
    EXPECT_EQ(db.Plain, "second");
}

// --- Failures ------------------------------------------------------------------

class AesFailureTest : public TempDirTest
{
};

TEST_F(AesFailureTest, WrongPasswordStopsAfterHeader)
{
    const QByteArray plain = RandomBytes(500, 3);
    const TEncrypted e = Encrypt("right", 1, 64, plain);
    ASSERT_EQ(e.Result, orOk);
    // One wrong password out of 65,536 passes the 2-byte verifier; the
    // authentication code must then stop it, so try several.
    int stoppedAtHeader = 0;
    for (int i = 0; i < 8; ++i) {
        const TDecrypted d = Decrypt("wrong" + QByteArray::number(i), 1, 64, e.Container);
        EXPECT_EQ(d.Result, orError);
        if (d.SourcePos == 10 && d.Plain.isEmpty())
            ++stoppedAtHeader;
    }
    EXPECT_GE(stoppedAtHeader, 7);
}

struct TTamperCase {
    const char *Name;
    int Offset;  // >= 0 from the start, < 0 from the end
    bool DataWritten;
};

constexpr TTamperCase TamperCases[] = {
    {"SaltFirstByte", 0, false},        {"VerifierByte", 17, false},
    {"FirstCipherByte", 18, true},      {"LastCipherByte", -11, true},
    {"FirstCodeByte", -10, true},       {"LastCodeByte", -1, true},
};

class AesTamperTest : public TempDirTest, public testing::WithParamInterface<TTamperCase>
{
};

TEST_P(AesTamperTest, FlippedBitIsAnError)
{
    const QByteArray plain = RandomBytes(300, 5);
    const TEncrypted e = Encrypt("tamper", 3, 64, plain);
    ASSERT_EQ(e.Result, orOk);
    QByteArray damaged = e.Container;
    const qsizetype at = GetParam().Offset >= 0 ? GetParam().Offset : damaged.size() + GetParam().Offset;
    damaged[at] = char(damaged[at] ^ 0x08);
    const TDecrypted d = Decrypt("tamper", 3, 64, damaged);
    EXPECT_EQ(d.Result, orError);
    if (GetParam().DataWritten) {
        EXPECT_EQ(d.Plain.size(), plain.size());  // written, but reported invalid
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, AesTamperTest, testing::ValuesIn(TamperCases),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(AesFailureTest, SourceEndingEarlyIsAnError)
{
    const QByteArray plain = RandomBytes(200, 11);
    const TEncrypted e = Encrypt("short", 2, 64, plain);
    ASSERT_EQ(e.Result, orOk);
    for (const qsizetype cut : {1, 9, 10, 11, 100, 210, 223}) {
        SCOPED_TRACE(cut);
        const TDecrypted d = Decrypt("short", 2, 64, e.Container.left(e.Container.size() - cut), e.Container.size());
        EXPECT_EQ(d.Result, orError);
    }
    // A length that claims more than the container has.
    EXPECT_EQ(Decrypt("short", 2, 64, e.Container, e.Container.size() + 1).Result, orError);
}

TEST_F(AesFailureTest, TooShortLengthReadsNothing)
{
    const TEncrypted e = Encrypt("len", 1, 64, QByteArray());
    ASSERT_EQ(e.Result, orOk);
    ASSERT_EQ(e.Container.size(), 20);
    for (const qint64 length : {qint64(-5), qint64(0), qint64(10), qint64(19)}) {
        SCOPED_TRACE(length);
        TEncryption crypt("len", 1, 64);
        QByteArray source = e.Container;
        QBuffer in(&source);
        in.open(QIODevice::ReadOnly);
        EXPECT_EQ(crypt.DecryptStreamEx(in, nullptr, length, false, {}), orError);
        EXPECT_EQ(in.pos(), 0);
    }
    EXPECT_EQ(Decrypt("len", 1, 64, e.Container, 20).Result, orOk);
}

TEST_F(AesFailureTest, StreamErrorsGiveError)
{
    QByteArray plain = "some data to encrypt";
    QByteArray sink;
    QBuffer readOnlyDest(&sink);
    readOnlyDest.open(QIODevice::ReadOnly);
    QBuffer in(&plain);
    in.open(QIODevice::ReadOnly);
    TEncryption writer("pw", 1, 64);
    EXPECT_EQ(writer.EncryptStreamEx(in, readOnlyDest, false, {}), orError);

    const TEncrypted e = Encrypt("pw", 1, 64, plain);
    QByteArray container = e.Container;
    QBuffer source(&container);
    source.open(QIODevice::ReadOnly);
    TEncryption reader("pw", 1, 64);
    EXPECT_EQ(reader.DecryptStreamEx(source, &readOnlyDest, container.size(), false, {}), orError);

    QBuffer closedSource(&plain);
    QByteArray written;
    QBuffer dest(&written);
    dest.open(QIODevice::WriteOnly);
    TEncryption writer2("pw", 1, 64);
    EXPECT_EQ(writer2.EncryptStreamEx(closedSource, dest, false, {}), orError);
    EXPECT_EQ(written.size(), 10);  // the header only: no code for data never read

    QBuffer closed(&container);
    TEncryption reader2("pw", 1, 64);
    QByteArray outBytes;
    QBuffer out(&outBytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(reader2.DecryptStreamEx(closed, &out, container.size(), false, {}), orError);
}

// --- Progress and cancellation ---------------------------------------------------

class AesProgressTest : public TempDirTest
{
};

TEST_F(AesProgressTest, ReportsBytesPerBufferAndPassesSpeedLimit)
{
    const QByteArray plain = RandomBytes(150, 1);
    QByteArray source = plain, container;
    QBuffer in(&source), out(&container);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    std::vector<qint64> counts;
    TEncryption writer("p", 1, 64);
    writer.SetOnProgress([&](TFileAction action, qint64 count, bool speedLimit) {
        EXPECT_EQ(action, acEncrypt);
        EXPECT_FALSE(speedLimit);
        counts.push_back(count);
    });
    ASSERT_TRUE(writer.EncryptStream(in, out, false));
    EXPECT_EQ(counts, (std::vector<qint64>{64, 128, 150}));

    counts.clear();
    QBuffer cin(&container);
    cin.open(QIODevice::ReadOnly);
    TEncryption reader("p", 1, 64);
    reader.SetOnProgress([&](TFileAction action, qint64 count, bool speedLimit) {
        EXPECT_EQ(action, acDecrypt);
        EXPECT_TRUE(speedLimit);
        counts.push_back(count);
    });
    ASSERT_TRUE(reader.DecryptStream(cin, nullptr, container.size(), true));
    EXPECT_EQ(counts, (std::vector<qint64>{64, 128, 150}));
}

TEST_F(AesProgressTest, ExactlyOneBufferEndsWithAnEmptyRead)
{
    const QByteArray plain = RandomBytes(64, 2);
    QByteArray source = plain, container;
    QBuffer in(&source), out(&container);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    std::vector<qint64> counts;
    TEncryption writer("p", 1, 64);
    writer.SetOnProgress([&](TFileAction, qint64 count, bool) { counts.push_back(count); });
    ASSERT_TRUE(writer.EncryptStream(in, out, false));
    EXPECT_EQ(counts, (std::vector<qint64>{64, 64}));
    EXPECT_EQ(Decrypt("p", 1, 64, container).Plain, plain);
}

class AesCancelTest : public TempDirTest
{
};

TEST_F(AesCancelTest, DecryptionStopsWithUserBreak)
{
    const QByteArray plain = RandomBytes(1000, 4);
    const TEncrypted e = Encrypt("cancel", 2, 64, plain);
    int calls = 0;
    const TDecrypted d = Decrypt("cancel", 2, 100, e.Container, -1, [&] { return ++calls == 2; });
    EXPECT_EQ(d.Result, orUserBreak);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(d.Plain, plain.left(200));
    EXPECT_EQ(d.SourcePos, 14 + 200);  // the code is not read
}

TEST_F(AesCancelTest, EmptyDataIsReportedAndCanBeCancelled)
{
    const TEncrypted e = Encrypt("empty", 1, 64, QByteArray());
    std::vector<qint64> counts;
    QByteArray container = e.Container;
    QBuffer in(&container);
    in.open(QIODevice::ReadOnly);
    TEncryption reader("empty", 1, 64);
    reader.SetOnProgress([&](TFileAction, qint64 count, bool) { counts.push_back(count); });
    EXPECT_EQ(reader.DecryptStreamEx(in, nullptr, container.size(), false, [] { return true; }), orUserBreak);
    EXPECT_EQ(counts, (std::vector<qint64>{0}));
}

TEST_F(AesCancelTest, MonitorDrivesProgressAndCancel)
{
    const QByteArray plain = RandomBytes(1000, 5);
    const TEncrypted e = Encrypt("monitor", 1, 64, plain);
    QByteArray container = e.Container;
    std::vector<std::pair<qint64, qint64>> reports;
    bool cancel = false;
    foundation::TFunctionMonitor monitor(
        [&](qint64 done, qint64 total) {
            reports.emplace_back(done, total);
            cancel = done >= 300;
        },
        [&] { return cancel; });
    QBuffer in(&container);
    in.open(QIODevice::ReadOnly);
    TEncryption reader("monitor", 1, 100);
    reader.SetOnProgress(packprobe::ProgressEventFor(&monitor, container.size()));
    EXPECT_EQ(reader.DecryptStreamEx(in, nullptr, container.size(), false,
                                     packprobe::CancelEventFor(&monitor)),
              orUserBreak);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports.back(), std::make_pair(qint64(300), qint64(container.size())));
    EXPECT_FALSE(packprobe::ProgressEventFor(nullptr, 1));
    EXPECT_FALSE(packprobe::CancelEventFor(nullptr));
}

TEST_F(AesCancelTest, EncryptionStopsWithoutTrailer)
{
    const QByteArray plain = RandomBytes(1000, 6);
    int calls = 0;
    const TEncrypted e = Encrypt("cancel", 3, 100, plain, [&] { return ++calls == 3; });
    EXPECT_EQ(e.Result, orUserBreak);
    EXPECT_EQ(e.Container.size(), 18 + 300);
}

// --- Key mode and password ------------------------------------------------------

struct TKeyModeCase {
    int PasswordLength;
    int Mode;
    int Expected;
};

constexpr TKeyModeCase KeyModeCases[] = {
    {0, 0, 1},  {31, 0, 1}, {32, 0, 2}, {47, 0, 2}, {48, 0, 3}, {128, 0, 3}, {200, 0, 3},
    {5, 1, 1},  {5, 2, 2},  {5, 3, 3},  {60, 1, 1}, {40, -1, 2}, {50, 4, 3},
};

class AesKeyModeTest : public TempDirTest, public testing::WithParamInterface<TKeyModeCase>
{
};

TEST_P(AesKeyModeTest, FollowsTheKeyModeRule)
{
    const auto [length, mode, expected] = GetParam();
    TEncryption crypt(QByteArray(length, 'k'), mode, 0);
    EXPECT_EQ(crypt.KeyMode(), expected);
    EXPECT_TRUE(crypt.FixedKey());
    EXPECT_EQ(crypt.GetHeaderSize(), 4 + 4 * expected + 2);
    EXPECT_EQ(crypt.GetTrailerSize(), 10);
    EXPECT_EQ(crypt.BufSize(), 0x80000);
}

INSTANTIATE_TEST_SUITE_P(Lengths, AesKeyModeTest, testing::ValuesIn(KeyModeCases), [](const auto &info) {
    return "Length" + std::to_string(info.param.PasswordLength) + "_Mode"
           + (info.param.Mode < 0 ? "Minus" + std::to_string(-info.param.Mode) : std::to_string(info.param.Mode));
});

class AesKeyModeRuleTest : public TempDirTest
{
};

TEST_F(AesKeyModeRuleTest, AutomaticModeLaterClearsFixedKey)
{
    TEncryption crypt(QByteArray(40, 'x'), 3, 64);
    crypt.SetKeyMode(0);
    EXPECT_EQ(crypt.KeyMode(), 2);
    EXPECT_FALSE(crypt.FixedKey());
    crypt.SetKeyMode(1);
    EXPECT_EQ(crypt.KeyMode(), 1);
}

class AesPasswordTest : public TempDirTest
{
};

TEST_F(AesPasswordTest, OnlyTheFirst128BytesCount)
{
    const QByteArray longPassword = RandomBytes(200, 8);
    const TEncrypted e = Encrypt(longPassword, 3, 64, "payload");
    ASSERT_EQ(e.Result, orOk);
    EXPECT_EQ(Decrypt(longPassword.left(128), 3, 64, e.Container).Result, orOk);
    EXPECT_EQ(Decrypt(longPassword.left(128) + "other tail", 3, 64, e.Container).Result, orOk);
    EXPECT_EQ(Decrypt(longPassword.left(127), 3, 64, e.Container).Result, orError);
}

// --- Buffer-by-buffer interface ------------------------------------------------------

class AesBufferInterfaceTest : public TempDirTest
{
};

TEST_F(AesBufferInterfaceTest, RetriesAnotherModeOnTheSameObject)
{
    const TEncrypted e = Encrypt("mode retry", 2, 64, "written with AES-192");
    ASSERT_EQ(e.Result, orOk);
    TEncryption crypt("mode retry", 1, 64);
    QByteArray header = e.Container.left(18);
    // Mode 1 reads a 10-byte header: the verifier does not match (the
    // chance of a false match is 1 in 65,536 for this fixed container).
    EXPECT_FALSE(crypt.BeginDecrypt(Bytes(header), 10));
    crypt.SetKeyMode(2);
    ASSERT_TRUE(crypt.BeginDecrypt(Bytes(header), crypt.GetHeaderSize()));
    QByteArray data = e.Container.mid(14, e.Container.size() - 24);
    ASSERT_TRUE(crypt.DecryptBlock(Bytes(data), data.size()));
    EXPECT_EQ(data, "written with AES-192");
    const QByteArray code = e.Container.right(10);
    EXPECT_TRUE(crypt.FinishDecrypt(Bytes(code), code.size()));
}

TEST_F(AesBufferInterfaceTest, RejectsMisuse)
{
    TEncryption crypt("misuse", 1, 64);
    QByteArray data = "plaintext that must not leak";
    const QByteArray original = data;
    EXPECT_FALSE(crypt.EncryptBlock(Bytes(data), data.size()));
    EXPECT_EQ(data, QByteArray(original.size(), '\0'));  // wiped, not written as plaintext
    uchar code[10];
    EXPECT_FALSE(crypt.FinishEncrypt(code));

    EXPECT_FALSE(crypt.DecryptBlock(Bytes(data), data.size()));
    EXPECT_FALSE(crypt.FinishDecrypt(code, 10));

    uchar header[18];
    ASSERT_TRUE(crypt.BeginEncrypt(header));
    EXPECT_FALSE(crypt.BeginDecrypt(header, 9));   // wrong header length
    ASSERT_TRUE(crypt.BeginDecrypt(header, 10));
    EXPECT_FALSE(crypt.FinishDecrypt(code, 9));    // wrong code length
    EXPECT_FALSE(crypt.FinishDecrypt(code, 10));   // container already ended
}

TEST_F(AesBufferInterfaceTest, FinishEncryptEndsTheContainer)
{
    TEncryption crypt("once", 3, 64);
    uchar header[18];
    ASSERT_TRUE(crypt.BeginEncrypt(header));
    QByteArray data = "abc";
    ASSERT_TRUE(crypt.EncryptBlock(Bytes(data), data.size()));
    uchar code[10];
    EXPECT_TRUE(crypt.FinishEncrypt(code));
    EXPECT_FALSE(crypt.FinishEncrypt(code));
    const QByteArray container = QByteArray(reinterpret_cast<char *>(header), 18) + data
                                 + QByteArray(reinterpret_cast<char *>(code), 10);
    EXPECT_EQ(Decrypt("once", 3, 64, container).Plain, "abc");
}

} // namespace
