// Interoperability of the encrypted data container with 7-Zip: an AES zip
// entry (WinZip AE-x) carries salt, verifier, ciphertext and authentication
// code in the same layout. 7-Zip writes entries that we decrypt, and accepts
// entries that we write, wrapped in a minimal zip archive.

#include "packprobe/core/AesLib.h"

#include "support/TempDir.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtEndian>

#include <gtest/gtest.h>

#include <optional>

using namespace packprobe;

using namespace packprobe;

namespace {

constexpr quint16 AesExtraId = 0x9901;
constexpr quint16 AesMethod = 99;
constexpr quint16 StoreMethod = 0;

QByteArray RandomText(qsizetype n, quint32 seed)
{
    static const char words[][8] = {"alpha ", "beta ", "gamma ", "delta\n", "data ", "gz ", "0123 ", "xyz "};
    QRandomGenerator gen(seed);
    QByteArray text;
    while (text.size() < n)
        text += words[gen.bounded(8)];
    text.truncate(n);
    return text;
}

// What the zip local header and its AES extra field say about one entry.
struct TZipAesEntry {
    int Strength = 0;       // 1, 2, 3 = AES-128/192/256
    int VendorVersion = 0;  // 1 = AE-1, 2 = AE-2
    quint16 ActualMethod = 0;
    quint32 Crc = 0;
    quint32 UncompressedSize = 0;
    QByteArray Container;   // salt, verifier, ciphertext, code
};

quint16 U16(const QByteArray &a, qsizetype at) { return qFromLittleEndian<quint16>(a.constData() + at); }
quint32 U32(const QByteArray &a, qsizetype at) { return qFromLittleEndian<quint32>(a.constData() + at); }

// Parses the first local file header of a zip archive (bounded reads; any
// inconsistency gives nothing).
std::optional<TZipAesEntry> ParseFirstAesEntry(const QByteArray &zip)
{
    constexpr qsizetype fixed = 30;
    if (zip.size() < fixed || U32(zip, 0) != 0x04034b50)
        return std::nullopt;
    const quint16 flags = U16(zip, 6);
    const quint16 method = U16(zip, 8);
    const quint32 compressed = U32(zip, 18);
    const quint16 nameLen = U16(zip, 26);
    const quint16 extraLen = U16(zip, 28);
    if (method != AesMethod || (flags & 0x1) == 0 || (flags & 0x8) != 0)
        return std::nullopt;  // not AES, or sizes only in a data descriptor
    const qsizetype extraStart = fixed + nameLen;
    const qsizetype dataStart = extraStart + extraLen;
    if (dataStart + qsizetype(compressed) > zip.size())
        return std::nullopt;

    TZipAesEntry entry;
    entry.Crc = U32(zip, 14);
    entry.UncompressedSize = U32(zip, 22);
    for (qsizetype at = extraStart; at + 4 <= dataStart;) {
        const quint16 id = U16(zip, at);
        const quint16 size = U16(zip, at + 2);
        if (at + 4 + size > dataStart)
            return std::nullopt;
        if (id == AesExtraId && size >= 7 && zip.mid(at + 6, 2) == "AE") {
            entry.VendorVersion = U16(zip, at + 4);
            entry.Strength = quint8(zip[at + 8]);
            entry.ActualMethod = U16(zip, at + 9);
        }
        at += 4 + size;
    }
    if (entry.Strength < 1 || entry.Strength > 3)
        return std::nullopt;
    entry.Container = zip.mid(dataStart, compressed);
    return entry;
}

void AppendU16(QByteArray &a, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    a.append(b, 2);
}

void AppendU32(QByteArray &a, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    a.append(b, 4);
}

// A one-entry zip archive: stored (not compressed) data in an AE-2 AES
// container, so the CRC fields stay 0 and the code alone protects the data.
QByteArray WrapInZip(const QByteArray &name, int strength, const QByteArray &container, quint32 plainSize)
{
    QByteArray extra;
    AppendU16(extra, AesExtraId);
    AppendU16(extra, 7);
    AppendU16(extra, 2);  // AE-2
    extra += "AE";
    extra += char(strength);
    AppendU16(extra, StoreMethod);

    constexpr quint16 dosTime = 0;
    constexpr quint16 dosDate = ((2026 - 1980) << 9) | (1 << 5) | 1;
    auto common = [&](QByteArray &h) {
        AppendU16(h, 51);  // version needed: AES
        AppendU16(h, 0x1); // encrypted
        AppendU16(h, AesMethod);
        AppendU16(h, dosTime);
        AppendU16(h, dosDate);
        AppendU32(h, 0);   // CRC: not stored for AE-2
        AppendU32(h, quint32(container.size()));
        AppendU32(h, plainSize);
        AppendU16(h, quint16(name.size()));
        AppendU16(h, quint16(extra.size()));
    };

    QByteArray zip;
    AppendU32(zip, 0x04034b50);
    common(zip);
    zip += name + extra + container;

    const quint32 centralStart = quint32(zip.size());
    AppendU32(zip, 0x02014b50);
    AppendU16(zip, (3 << 8) | 63);  // made by: Unix, 6.3
    common(zip);
    AppendU16(zip, 0);  // comment length
    AppendU16(zip, 0);  // disk number
    AppendU16(zip, 0);  // internal attributes
    AppendU32(zip, 0100644u << 16);
    AppendU32(zip, 0);  // local header offset
    zip += name + extra;
    const quint32 centralSize = quint32(zip.size()) - centralStart;

    AppendU32(zip, 0x06054b50);
    AppendU16(zip, 0);
    AppendU16(zip, 0);
    AppendU16(zip, 1);
    AppendU16(zip, 1);
    AppendU32(zip, centralSize);
    AppendU32(zip, centralStart);
    AppendU16(zip, 0);
    return zip;
}

struct TRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

class AesInteropTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        FSevenZip = QStandardPaths::findExecutable("7z");
        if (FSevenZip.isEmpty())
            GTEST_SKIP() << "7z is not on PATH";
    }

    TRun SevenZip(const QStringList &args) const
    {
        QProcess p;
        p.setWorkingDirectory(dir());
        p.start(FSevenZip, args);
        TRun run;
        if (!p.waitForFinished(120000))
            return run;
        run.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.Out = p.readAllStandardOutput();
        run.Err = p.readAllStandardError();
        return run;
    }

    QString FSevenZip;
};

struct TInteropCase {
    int Mode;
    qsizetype Size;
};

constexpr TInteropCase InteropCases[] = {
    {1, 0}, {2, 1}, {3, 16}, {1, 1000}, {2, 0x80000}, {3, 3 * 0x80000 + 4321},
};

class AesInteropCaseTest : public AesInteropTest, public testing::WithParamInterface<TInteropCase>
{
};

std::string CaseName(const testing::TestParamInfo<TInteropCase> &info)
{
    return "Mode" + std::to_string(info.param.Mode) + "_Size" + std::to_string(info.param.Size);
}

TEST_P(AesInteropCaseTest, DecryptsWhat7ZipWrote)
{
    const auto [mode, size] = GetParam();
    const QByteArray plain = RandomText(size, quint32(size + mode));
    writeFile("entry.txt", plain);
    const QString method = QStringLiteral("-mem=AES%1").arg(64 + 64 * mode);
    const TRun add = SevenZip({"a", "-tzip", method, "-mm=Copy", "-pinterop pass", "archive.zip", "entry.txt"});
    ASSERT_EQ(add.ExitCode, 0) << add.Out.toStdString() << add.Err.toStdString();

    const std::optional<TZipAesEntry> entry = ParseFirstAesEntry(readFile(path("archive.zip")));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->Strength, mode);
    EXPECT_EQ(entry->ActualMethod, StoreMethod);
    ASSERT_EQ(entry->Container.size(), size + TCrypt::SaltLength(mode) + 12);

    QByteArray container = entry->Container;
    QBuffer in(&container);
    in.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer outDev(&out);
    outDev.open(QIODevice::WriteOnly);
    TEncryption crypt("interop pass", mode, 0x80000);
    EXPECT_EQ(crypt.DecryptStreamEx(in, &outDev, container.size(), false, {}), orOk);
    EXPECT_EQ(out, plain);

    TEncryption wrong("interop pasS", mode, 0x80000);
    in.seek(0);
    EXPECT_EQ(wrong.DecryptStreamEx(in, nullptr, container.size(), false, {}), orError);
}

TEST_P(AesInteropCaseTest, SevenZipAcceptsWhatWeWrote)
{
    const auto [mode, size] = GetParam();
    const QByteArray plain = RandomText(size, quint32(3 * size + mode));
    QByteArray source = plain, container;
    QBuffer in(&source), out(&container);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    TEncryption crypt("interop pass", mode, 0x80000);
    ASSERT_TRUE(crypt.EncryptStream(in, out, false));
    writeFile("ours.zip", WrapInZip("entry.txt", mode, container, quint32(plain.size())));

    const TRun test = SevenZip({"t", "-pinterop pass", "ours.zip"});
    EXPECT_EQ(test.ExitCode, 0) << test.Out.toStdString() << test.Err.toStdString();
    const TRun extract = SevenZip({"x", "-so", "-pinterop pass", "ours.zip"});
    EXPECT_EQ(extract.ExitCode, 0) << extract.Err.toStdString();
    EXPECT_EQ(extract.Out, plain);
}

INSTANTIATE_TEST_SUITE_P(Modes, AesInteropCaseTest, testing::ValuesIn(InteropCases), CaseName);

// 7-Zip really checks what we write: a wrong password and a flipped
// ciphertext bit (caught only by the authentication code, AE-2 has no CRC)
// are both refused.
TEST_F(AesInteropTest, SevenZipRefusesDamagedOrWrongPassword)
{
    const QByteArray plain = RandomText(5000, 17);
    QByteArray source = plain, container;
    QBuffer in(&source), out(&container);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    TEncryption crypt("interop pass", 3, 0x80000);
    ASSERT_TRUE(crypt.EncryptStream(in, out, false));

    writeFile("good.zip", WrapInZip("entry.txt", 3, container, quint32(plain.size())));
    EXPECT_EQ(SevenZip({"t", "-pinterop pass", "good.zip"}).ExitCode, 0);
    EXPECT_NE(SevenZip({"t", "-pother pass", "good.zip"}).ExitCode, 0);

    QByteArray damaged = container;
    damaged[18 + 2500] = char(damaged[18 + 2500] ^ 0x01);
    writeFile("damaged.zip", WrapInZip("entry.txt", 3, damaged, quint32(plain.size())));
    EXPECT_NE(SevenZip({"t", "-pinterop pass", "damaged.zip"}).ExitCode, 0);
}

} // namespace
