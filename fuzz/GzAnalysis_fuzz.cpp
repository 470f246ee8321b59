// Analyses an arbitrary file: header, trailer, decryption and unpacking, and
// both report forms. For inputs that claim to be encrypted the password
// verifier is patched to match the fuzzer's password, so that the
// decrypt-and-inflate path is reached.
#include "packprobe/core/AesLib.h"
#include "packprobe/core/ExtFileTools.h"
#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzReport.h"
#include "packprobe/core/GzUnpack.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstring>

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
    bool askPassword(const QString &, QByteArray &password) override
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
        QFile unpacked(analyzer.ScratchFile());
        Check(unpacked.size() == report.Computed->UncompressedSize);
    }
    Check(!FormatReportText(report).isEmpty());
    Check(!FormatReportJson(report).isEmpty());
    return 0;
}
