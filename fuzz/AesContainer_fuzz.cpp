// Reads arbitrary bytes as an encrypted data container, through the stream
// reader and through the buffer-by-buffer interface.
//
// Input: byte 0 = key mode (0-3) and flags, byte 1 = work-buffer size and
// length variant, then the container. With flag 0x10 the verifier is patched
// to the one the password derives for the given salt, so that inputs get past
// the password check into the data and code paths.

#include "packprobe/core/AesLib.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstring>

using namespace packprobe;

using namespace packprobe;

namespace {

const QByteArray Password = "fuzz password";

void PatchVerifier(QByteArray &container, int mode)
{
    const int saltLen = TCrypt::SaltLength(mode);
    const int keyLen = TCrypt::KeyLength(mode);
    if (container.size() < saltLen + 2)
        return;
    uchar derived[2 * 32 + 2];
    if (!TCrypt::Pbkdf2HmacSha1(reinterpret_cast<const uchar *>(Password.constData()), int(Password.size()),
                                reinterpret_cast<const uchar *>(container.constData()), saltLen,
                                TCrypt::Pbkdf2Iterations, derived, 2 * keyLen + 2))
        return;
    std::memcpy(container.data() + saltLen, derived + 2 * keyLen, 2);
}

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void FuzzStream(const QByteArray &containerBytes, int mode, int bufSize, qint64 sLength, bool withDest)
{
    QByteArray container = containerBytes;
    QBuffer in(&container);
    in.open(QIODevice::ReadOnly);
    QByteArray plain;
    QBuffer out(&plain);
    out.open(QIODevice::WriteOnly);
    TEncryption crypt(Password, mode, bufSize);
    int cancelAfter = container.size() % 7;  // sometimes cancel midway
    const TOpResult result = crypt.DecryptStreamEx(in, withDest ? &out : nullptr, sLength, false,
                                                   [&] { return cancelAfter-- == 1; });
    Check(result == orOk || result == orError || result == orUserBreak);
    const qint64 headerAndCode = crypt.GetHeaderSize() + crypt.GetTrailerSize();
    Check(plain.size() <= std::max<qint64>(0, sLength - headerAndCode));
    Check(in.pos() <= container.size());
    if (result == orOk)
        Check(in.pos() == sLength);
}

void FuzzPieces(const QByteArray &containerBytes, int mode, int piece)
{
    TEncryption crypt(Password, mode, 64);
    const qsizetype header = crypt.GetHeaderSize();
    const qsizetype code = crypt.GetTrailerSize();
    if (containerBytes.size() < header + code)
        return;
    QByteArray data = containerBytes;
    uchar *bytes = reinterpret_cast<uchar *>(data.data());
    if (!crypt.BeginDecrypt(bytes, header))
        return;
    const qsizetype end = data.size() - code;
    for (qsizetype pos = header; pos < end; pos += piece)
        Check(crypt.DecryptBlock(bytes + pos, std::min<qsizetype>(piece, end - pos)));
    (void)crypt.FinishDecrypt(bytes + end, code);
    Check(!crypt.DecryptBlock(bytes, 1));  // the container has ended: keys are gone
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 1 << 20)
        return 0;
    const int mode = data[0] & 0x03;
    const bool patch = data[0] & 0x10;
    const bool withDest = data[0] & 0x20;
    const int bufSize = 1 + (data[1] & 0x3f) * 37;
    QByteArray container(reinterpret_cast<const char *>(data) + 2, qsizetype(size - 2));

    const int effectiveMode = TEncryption(Password, mode, 1).KeyMode();
    if (patch)
        PatchVerifier(container, effectiveMode);

    // Length variants: exact, too short, too long, and far too short.
    qint64 sLength = container.size();
    switch (data[1] >> 6) {
    case 1: sLength -= 1 + data[0] % 16; break;
    case 2: sLength += 1 + data[0] % 16; break;
    case 3: sLength = data[0] % 24; break;
    default: break;
    }
    FuzzStream(container, mode, bufSize, sLength, withDest);
    FuzzPieces(container, effectiveMode, 1 + data[1] % 23);
    return 0;
}
