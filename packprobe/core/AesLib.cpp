#include "packprobe/core/AesLib.h"

#include "foundation/Progress.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace packprobe {

using namespace foundation;

namespace AesDetail {
void CipherCtxDeleter::operator()(EVP_CIPHER_CTX *p) const { EVP_CIPHER_CTX_free(p); }
void CipherDeleter::operator()(EVP_CIPHER *p) const { EVP_CIPHER_free(p); }
void MacCtxDeleter::operator()(EVP_MAC_CTX *p) const { EVP_MAC_CTX_free(p); }
void MacDeleter::operator()(EVP_MAC *p) const { EVP_MAC_free(p); }
} // namespace AesDetail

namespace {

constexpr int AesBlock = 16;
constexpr int Sha1Length = 20;
constexpr int MaxDerivedLength = 2 * 32 + TCrypt::VerifierLength;
// HMAC and key stream are applied in slices of this size so that the data
// is still in the cache for the second pass.
constexpr qsizetype CacheSlice = 64 * 1024;

const char *CipherName(int mode)
{
    switch (mode) {
    case 1: return "AES-128-ECB";
    case 2: return "AES-192-ECB";
    case 3: return "AES-256-ECB";
    default: return nullptr;
    }
}

// Wipes a stack buffer when leaving the scope.
template <std::size_t N>
struct TWipedBytes {
    std::array<uchar, N> Bytes{};
    ~TWipedBytes() { OPENSSL_cleanse(Bytes.data(), Bytes.size()); }
};

// Reads until n bytes are there, the source ends (short count) or fails (-1).
qint64 ReadFully(QIODevice &source, uchar *data, qint64 n)
{
    qint64 got = 0;
    while (got < n) {
        const qint64 r = source.read(reinterpret_cast<char *>(data) + got, n - got);
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += r;
    }
    return got;
}

// A short write loses data, so it counts as a failure.
bool WriteFully(QIODevice &dest, const uchar *data, qint64 n)
{
    return n == 0 || dest.write(reinterpret_cast<const char *>(data), n) == n;
}

void XorBytes(uchar *data, const uchar *key, qsizetype n)
{
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 a, b;
        std::memcpy(&a, data + i, 8);
        std::memcpy(&b, key + i, 8);
        a ^= b;
        std::memcpy(data + i, &a, 8);
    }
    for (; i < n; ++i)
        data[i] ^= key[i];
}

} // namespace

// ---------------------------------------------------------------------------
// TCrypt

TCrypt::TCrypt(const QByteArray &Password, int AMode, int ABufSize)
{
    const int pwdLen = int(std::min<qsizetype>(Password.size(), MaxPasswordLength));
    std::memcpy(FPwd.data(), Password.constData(), size_t(pwdLen));
    FCryptCtx.PwdLen = pwdLen;
    CBufSize = ABufSize > 0 ? ABufSize : DefaultBufSize;
    CBuffer = std::make_unique<uchar[]>(size_t(CBufSize));
    SetKeyMode(AMode);
    FFixedKey = true;
}

TCrypt::~TCrypt()
{
    ClearKeys();
    OPENSSL_cleanse(FPwd.data(), FPwd.size());
    if (CBuffer)
        OPENSSL_cleanse(CBuffer.get(), size_t(CBufSize));
}

void TCrypt::SetKeyMode(int AMode)
{
    if (AMode >= 1 && AMode <= 3) {
        FMode = AMode;
    } else {
        const int len = FCryptCtx.PwdLen;
        FMode = len < 32 ? 1 : (len < 48 ? 2 : 3);
        FFixedKey = false;
    }
    FCryptCtx.Mode = FMode;
}

int TCrypt::SaltLength(int AMode)
{
    return (AMode >= 1 && AMode <= 3) ? 4 + 4 * AMode : 0;
}

int TCrypt::KeyLength(int AMode)
{
    return (AMode >= 1 && AMode <= 3) ? 8 + 8 * AMode : 0;
}

bool TCrypt::Pbkdf2HmacSha1(const uchar *password, int passwordLength, const uchar *salt, int saltLength,
                            int iterations, uchar *out, int outLength)
{
    static const char empty = 0;
    const char *pass = passwordLength > 0 ? reinterpret_cast<const char *>(password) : &empty;
    return passwordLength >= 0 && saltLength >= 0 && iterations > 0 && outLength > 0
           && PKCS5_PBKDF2_HMAC(pass, passwordLength, saltLength > 0 ? salt : reinterpret_cast<const uchar *>(&empty),
                                saltLength, iterations, EVP_sha1(), outLength, out) == 1;
}

int TCrypt::GetHeaderSize() const
{
    return SaltLength(FMode) + VerifierLength;
}

void TCrypt::ClearKeys()
{
    TFCryptContext &c = FCryptCtx;
    c.CipherCtx.reset();  // the free wipes the key schedule
    c.MacCtx.reset();     // the free wipes the HMAC key state
    OPENSSL_cleanse(c.KeyStream.data(), c.KeyStream.size());
    OPENSSL_cleanse(c.Verifier.data(), c.Verifier.size());
    c.KeyStreamPos = c.KeyStreamLen = 0;
    c.Counter = 0;
    c.Keyed = false;
}

bool TCrypt::DeriveKeys(const uchar *salt)
{
    ClearKeys();
    TFCryptContext &c = FCryptCtx;
    c.Failed = true;  // until every step below succeeded
    c.Mode = FMode;
    const int keyLen = KeyLength(FMode);
    const int saltLen = SaltLength(FMode);
    const int derivedLen = 2 * keyLen + VerifierLength;

    TWipedBytes<MaxDerivedLength> derived;
    if (!Pbkdf2HmacSha1(FPwd.data(), c.PwdLen, salt, saltLen, Pbkdf2Iterations, derived.Bytes.data(),
                        derivedLen))
        return false;

    c.Cipher.reset(EVP_CIPHER_fetch(nullptr, CipherName(FMode), nullptr));
    c.CipherCtx.reset(EVP_CIPHER_CTX_new());
    if (!c.Cipher || !c.CipherCtx
        || EVP_EncryptInit_ex2(c.CipherCtx.get(), c.Cipher.get(), derived.Bytes.data(), nullptr, nullptr) != 1
        || EVP_CIPHER_CTX_set_padding(c.CipherCtx.get(), 0) != 1)
        return false;

    if (!c.Mac)
        c.Mac.reset(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
    if (!c.Mac)
        return false;
    c.MacCtx.reset(EVP_MAC_CTX_new(c.Mac.get()));
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end(),
    };
    if (!c.MacCtx
        || EVP_MAC_init(c.MacCtx.get(), derived.Bytes.data() + keyLen, size_t(keyLen), params) != 1)
        return false;

    std::memcpy(c.Verifier.data(), derived.Bytes.data() + 2 * keyLen, VerifierLength);
    c.Keyed = true;
    c.Failed = false;
    return true;
}

bool TCrypt::RefillKeyStream()
{
    TFCryptContext &c = FCryptCtx;
    uchar *ks = c.KeyStream.data();
    constexpr qsizetype blocks = TFCryptContext::KeyStreamBatch / AesBlock;
    // A local copy of the counter: stores through ks could alias the member.
    quint64 counter = c.Counter;
    for (qsizetype i = 0; i < blocks; ++i) {
        qToLittleEndian<quint64>(++counter, ks + i * AesBlock);
        std::memset(ks + i * AesBlock + 8, 0, 8);
    }
    c.Counter = counter;
    int outLen = 0;
    if (EVP_EncryptUpdate(c.CipherCtx.get(), ks, &outLen, ks, int(TFCryptContext::KeyStreamBatch)) != 1
        || outLen != int(TFCryptContext::KeyStreamBatch)) {
        OPENSSL_cleanse(ks, size_t(TFCryptContext::KeyStreamBatch));
        c.KeyStreamPos = c.KeyStreamLen = 0;
        return false;
    }
    c.KeyStreamPos = 0;
    c.KeyStreamLen = TFCryptContext::KeyStreamBatch;
    return true;
}

bool TCrypt::ApplyKeyStream(uchar *data, qsizetype n)
{
    TFCryptContext &c = FCryptCtx;
    while (n > 0) {
        if (c.KeyStreamPos == c.KeyStreamLen && !RefillKeyStream())
            return false;
        const qsizetype take = std::min(n, c.KeyStreamLen - c.KeyStreamPos);
        XorBytes(data, c.KeyStream.data() + c.KeyStreamPos, take);
        c.KeyStreamPos += take;
        data += take;
        n -= take;
    }
    return true;
}

bool TCrypt::UpdateMac(const uchar *data, qsizetype n)
{
    return n == 0 || EVP_MAC_update(FCryptCtx.MacCtx.get(), data, size_t(n)) == 1;
}

bool TCrypt::FinalMac(uchar *code)
{
    TWipedBytes<Sha1Length> full;
    size_t outLen = 0;
    if (EVP_MAC_final(FCryptCtx.MacCtx.get(), full.Bytes.data(), &outLen, full.Bytes.size()) != 1
        || outLen != Sha1Length)
        return false;
    std::memcpy(code, full.Bytes.data(), MacLength);
    return true;
}

// ---------------------------------------------------------------------------
// TEncryption: buffer-by-buffer interface

TEncryption::TEncryption(const QByteArray &Password, int AMode, int ABufSize)
    : TCrypt(Password, AMode, ABufSize)
{
    // Salts come from OpenSSL's own seeded generator; there is no state here.
}

TEncryption::~TEncryption() = default;

bool TEncryption::BeginEncrypt(uchar *header)
{
    const int saltLen = SaltLength(FMode);
    if (RAND_bytes(header, saltLen) != 1 || !DeriveKeys(header)) {
        std::memset(header, 0, size_t(GetHeaderSize()));
        return false;
    }
    std::memcpy(header + saltLen, FCryptCtx.Verifier.data(), VerifierLength);
    return true;
}

bool TEncryption::EncryptBlock(uchar *Buffer, qsizetype BLen)
{
    TFCryptContext &c = FCryptCtx;
    if (!c.Keyed || c.Failed || !ApplyKeyStream(Buffer, BLen) || !UpdateMac(Buffer, BLen)) {
        c.Failed = true;
        OPENSSL_cleanse(Buffer, size_t(BLen));
        return false;
    }
    return true;
}

bool TEncryption::FinishEncrypt(uchar *code)
{
    TFCryptContext &c = FCryptCtx;
    const bool ok = c.Keyed && !c.Failed && FinalMac(code);
    if (!ok)
        std::memset(code, 0, MacLength);
    ClearKeys();
    return ok;
}

bool TEncryption::BeginDecrypt(const uchar *header, qsizetype len)
{
    if (len != GetHeaderSize()) {
        ClearKeys();
        return false;
    }
    if (!DeriveKeys(header))
        return false;
    const uchar *stored = header + SaltLength(FMode);
    if (CRYPTO_memcmp(stored, FCryptCtx.Verifier.data(), VerifierLength) != 0) {
        ClearKeys();
        return false;
    }
    return true;
}

bool TEncryption::DecryptBlock(uchar *Buffer, qsizetype BLen)
{
    TFCryptContext &c = FCryptCtx;
    if (!c.Keyed || c.Failed) {
        c.Failed = true;
        return false;
    }
    while (BLen > 0) {
        const qsizetype slice = std::min(BLen, CacheSlice);
        if (!UpdateMac(Buffer, slice) || !ApplyKeyStream(Buffer, slice)) {
            c.Failed = true;
            return false;
        }
        Buffer += slice;
        BLen -= slice;
    }
    return true;
}

bool TEncryption::FinishDecrypt(const uchar *storedCode, qsizetype len)
{
    TFCryptContext &c = FCryptCtx;
    TWipedBytes<MacLength> computed;
    const bool ok = len == MacLength && c.Keyed && !c.Failed && FinalMac(computed.Bytes.data())
                    && CRYPTO_memcmp(storedCode, computed.Bytes.data(), MacLength) == 0;
    ClearKeys();
    return ok;
}

// ---------------------------------------------------------------------------
// TEncryption: stream interface

void TEncryption::ReportProgress(TFileAction action, qint64 count, bool speedLimit) const
{
    if (FOnProgress)
        FOnProgress(action, count, speedLimit);
}

bool TEncryption::WriteHeader(QIODevice &sDest)
{
    TWipedBytes<32> header;
    return BeginEncrypt(header.Bytes.data()) && WriteFully(sDest, header.Bytes.data(), GetHeaderSize());
}

bool TEncryption::WriteTrailer(QIODevice &sDest)
{
    std::array<uchar, MacLength> code{};
    return FinishEncrypt(code.data()) && WriteFully(sDest, code.data(), MacLength);
}

TOpResult TEncryption::EncryptStreamEx(QIODevice &sSource, QIODevice &sDest, bool SpeedLimit,
                                       const TStatusEvent &CancelEncryption)
{
    if (!WriteHeader(sDest)) {
        ClearKeys();
        return orError;
    }
    uchar *buf = CBuffer.get();
    qint64 count = 0;
    TOpResult result = orOk;
    qint64 n = 0;
    do {
        n = ReadFully(sSource, buf, CBufSize);
        if (n < 0) {
            result = orError;
            break;
        }
        count += n;
        ReportProgress(acEncrypt, count, SpeedLimit);
        if (!EncryptBlock(buf, n) || !WriteFully(sDest, buf, n)) {
            result = orError;
            break;
        }
        if (CancelEncryption && CancelEncryption()) {
            result = orUserBreak;
            break;
        }
    } while (n == CBufSize);

    OPENSSL_cleanse(buf, size_t(CBufSize));
    if (result != orOk) {
        ClearKeys();
        return result;
    }
    return WriteTrailer(sDest) ? orOk : orError;
}

bool TEncryption::EncryptStream(QIODevice &sSource, QIODevice &sDest, bool SpeedLimit)
{
    return EncryptStreamEx(sSource, sDest, SpeedLimit, TStatusEvent()) == orOk;
}

bool TEncryption::ReadHeader(QIODevice &sSource)
{
    TWipedBytes<32> header;
    const qint64 len = GetHeaderSize();
    if (ReadFully(sSource, header.Bytes.data(), len) != len) {
        ClearKeys();
        return false;
    }
    return BeginDecrypt(header.Bytes.data(), len);
}

bool TEncryption::ReadTrailer(QIODevice &sSource)
{
    std::array<uchar, MacLength> stored{};
    if (ReadFully(sSource, stored.data(), MacLength) != MacLength) {
        ClearKeys();
        return false;
    }
    return FinishDecrypt(stored.data(), MacLength);
}

TOpResult TEncryption::DecryptStreamEx(QIODevice &sSource, QIODevice *sDest, qint64 SLength,
                                       bool SpeedLimit, const TStatusEvent &CancelDecryption)
{
    // Too short to hold header and code: nothing is read.
    if (SLength < qint64(GetHeaderSize()) + MacLength)
        return orError;
    if (!ReadHeader(sSource))
        return orError;

    uchar *buf = CBuffer.get();
    qint64 remaining = SLength - GetHeaderSize() - MacLength;
    qint64 count = 0;
    TOpResult result = orOk;
    // Runs at least once, so that empty data is reported and can be cancelled
    // like any other.
    do {
        const qint64 chunk = std::min<qint64>(CBufSize, remaining);
        const qint64 n = ReadFully(sSource, buf, chunk);
        if (n < 0 || (n == 0 && chunk > 0)) {  // read error, or the source ended before the code
            result = orError;
            break;
        }
        count += n;
        ReportProgress(acDecrypt, count, SpeedLimit);
        if (!DecryptBlock(buf, n) || (sDest && !WriteFully(*sDest, buf, n))) {
            result = orError;
            break;
        }
        remaining -= n;
        if (CancelDecryption && CancelDecryption()) {
            result = orUserBreak;
            break;
        }
    } while (remaining > 0);

    OPENSSL_cleanse(buf, size_t(CBufSize));
    if (result != orOk) {
        ClearKeys();
        return result;
    }
    return ReadTrailer(sSource) ? orOk : orError;
}

bool TEncryption::DecryptStream(QIODevice &sSource, QIODevice *sDest, qint64 SLength, bool SpeedLimit)
{
    return DecryptStreamEx(sSource, sDest, SLength, SpeedLimit, TStatusEvent()) == orOk;
}

TFileProgressEvent ProgressEventFor(foundation::IProgressMonitor *monitor, qint64 total)
{
    if (!monitor)
        return {};
    return [monitor, total](TFileAction, qint64 count, bool) { monitor->Progress(count, total); };
}

TStatusEvent CancelEventFor(const foundation::IProgressMonitor *monitor)
{
    if (!monitor)
        return {};
    return [monitor] { return monitor->CancelRequested(); };
}

void ReleaseCryptoThreadState()
{
    OPENSSL_thread_stop();
}

} // namespace packprobe
