// Analyses an arbitrary file: header, trailer, decryption and unpacking (with
// the build's inflate backend, ISA-L where it was found), and both report
// forms. For inputs that claim to be encrypted the password verifier is
// patched to match the fuzzer's password, so that the decrypt-and-inflate path
// is reached. Where both backends are built in, the data is also unpacked
// with each and the results compared.
#include "packprobe/core/AesLib.h"
#include "packprobe/core/ExtFileTools.h"
#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzReport.h"
#include "packprobe/core/GzUnpack.h"
#include "packprobe/core/Inflater.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace packprobe;

using namespace packprobe;

namespace {

const QByteArray Password = "fuzz";

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

class FuzzPassword : public IPasswordProvider
{
public:
    bool AskPassword(const QString &, QByteArray &password) override
    {
        password = Password;
        return true;
    }
};

void PatchVerifier(QByteArray &file)
{
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    TGzFileInfo info;
    if (!GetGzInfo(buffer, info) || !info.Encrypted)
        return;
    const qint64 start = buffer.pos();
    buffer.close();
    const int mode = info.EncMode >= 1 && info.EncMode <= 3 ? info.EncMode : 1;
    const int saltLength = TCrypt::SaltLength(mode);
    const int keyLength = TCrypt::KeyLength(mode);
    if (file.size() < start + saltLength + 2)
        return;
    uchar derived[2 * 32 + 2];
    if (!TCrypt::Pbkdf2HmacSha1(reinterpret_cast<const uchar *>(Password.constData()),
                                int(Password.size()),
                                reinterpret_cast<const uchar *>(file.constData()) + start,
                                saltLength, TCrypt::Pbkdf2Iterations, derived, 2 * keyLength + 2))
        return;
    std::memcpy(file.data() + start + saltLength, derived + 2 * keyLength, 2);
}

struct TOutcome
{
    int code = 0;
    quint32 crc = 0;
    qint64 compressed = 0;
    qint64 uncompressed = 0;
};

TOutcome Unpack(const QString &name, packprobe::TInflateBackend backend)
{
    TOutcome outcome;
    TEncryption crypt(Password, KeyModeFromPassword(Password), int(UnpackBufferSize));
    TGzFileInfo info;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || !GetGzInfo(file, info))
        return outcome;
    TUnpackOptions options;
    options.Backend = backend;
    outcome.code = UnpackGzData(name, nullptr, info.Encrypted ? &crypt : nullptr, outcome.crc,
                                outcome.compressed, outcome.uncompressed, options);
    return outcome;
}

// Both backends give the same code, checksum and sizes. Where a stream is cut
// short or damaged they may stop at different bytes: then the sizes may
// differ, and the one may still wait for input (no error, the stream cut
// short) where the other already saw the damage.
void CompareBackends(const QString &name, qint64 fileSize)
{
    using packprobe::TInflateBackend;
    if (!packprobe::InflateBackendAvailable(TInflateBackend::Isal))
        return;
    const TOutcome zlib = Unpack(name, TInflateBackend::Zlib);
    const TOutcome isal = Unpack(name, TInflateBackend::Isal);
    if (zlib.code != isal.code) {
        const bool cutVersusDamage = (zlib.code == UnpackOk && isal.code == UnpackReadError)
                                     || (zlib.code == UnpackReadError && isal.code == UnpackOk);
        Check(cutVersusDamage);
        return;
    }
    if (zlib.code != UnpackOk || zlib.uncompressed != isal.uncompressed)
        return;
    Check(zlib.crc == isal.crc);
    Check(zlib.compressed == isal.compressed);
    Check(zlib.compressed <= fileSize);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    static TGzAnalyzer analyzer;
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    PatchVerifier(bytes);
    const QString name = folder.filePath(QStringLiteral("input.gz"));
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }
    FuzzPassword password;
    const TAnalysisReport report = analyzer.AnalyzeFile(name, password);
    Check(!report.Message.isEmpty() || report.Stage == TAnalysisStage::Done
          || report.Stage == TAnalysisStage::NoPassword);
    if (report.Computed) {
        // Output is bounded by what inflate can make of the input.
        Check(report.Computed->UncompressedSize >= 0);
        Check(report.Computed->CompressedSize <= qint64(size));
        QIODevice *unpacked = analyzer.UnpackedData();
        Check(unpacked && unpacked->size() == report.Computed->UncompressedSize);
    }
    CompareBackends(name, qint64(size));
    Check(!FormatReportText(report).isEmpty());
    Check(!FormatReportJson(report).isEmpty());
    return 0;
}
