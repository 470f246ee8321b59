#pragma once

// Encrypted data container of encrypted gz files: a random salt, a two-byte
// password verifier, the data encrypted with AES in counter mode (little-endian
// 64-bit counter in bytes 0-7 of the counter block, bytes 8-15 zero), and the
// first 10 bytes of HMAC-SHA1 over the ciphertext. This is the AES layout of
// encrypted zip entries (AE-1/AE-2):
//
//   salt (8/12/16) | verifier (2) | ciphertext (N) | authentication code (10)
//
// Keys come from PBKDF2-HMAC-SHA1 (1000 iterations) over the password and the
// salt: AES key, HMAC key (both of the key length) and the verifier. All
// primitives come from OpenSSL 3 through its EVP interfaces.
//
// Two ways to use a TEncryption object:
//  - whole streams: EncryptStream[Ex] / DecryptStream[Ex] over QIODevices;
//  - buffer by buffer, for callers that process the plaintext on the fly
//    (decrypt-and-inflate in one pass):
//
//      TEncryption crypt(password, mode, 0x80000);
//      // header = the first crypt.GetHeaderSize() bytes of the container
//      if (!crypt.BeginDecrypt(header, crypt.GetHeaderSize())) -> wrong password
//      // then, for each piece of the N ciphertext bytes, in order:
//      crypt.DecryptBlock(piece, pieceLength);      // in place
//      // finally, the last GetTrailerSize() bytes of the container:
//      if (!crypt.FinishDecrypt(code, crypt.GetTrailerSize())) -> damaged/forged
//
//    Plaintext handed out before FinishDecrypt returned true is unauthenticated:
//    treat it as invalid unless FinishDecrypt succeeds. BeginDecrypt may be
//    called again (for instance after SetKeyMode with another mode) to start
//    over; it re-derives all keys and resets counter and HMAC.
//    The writing side is BeginEncrypt / EncryptBlock / FinishEncrypt.
//
// One object serves one container at a time and holds no locks: it may be
// driven from a worker thread as long as only one thread uses it at a time.
// Secrets (password, derived keys,
// key stream, work buffer) are overwritten before they are released.

#include <QByteArray>
#include <QIODevice>
#include <QtGlobal>

#include <openssl/types.h>

#include <array>
#include <functional>
#include <memory>

namespace foundation {
class IProgressMonitor;
}

namespace packprobe {

// What a progress callback is told the operation is doing (values 0 to 12).
enum TFileAction : int {
    acNone,
    acCopy,
    acCompress,
    acUnCompress,
    acEncrypt,
    acDecrypt,
    acVerify,
    acZipVerify,
    acAddVerify,
    acFtpWrite,
    acFtpRead,
    acScan,
    acSegmentCopy
};

// Progress callback: action, bytes processed so far, speed-limit flag (only
// passed through).
using TFileProgressEvent = std::function<void(TFileAction AAction, qint64 ACount, bool ASpeedLimit)>;

// Cancel callback: returns true to cancel.
using TStatusEvent = std::function<bool()>;

// Result of the stream operations.
enum TOpResult : int { orOk, orError, orUserBreak };


// Frees the calling thread's cryptography state (its error queue). The
// library frees it itself when a thread ends, but a pooled worker thread can
// end after the library's own clean-up at exit, and its state would then be
// lost; a worker calls this when its task is done.
void ReleaseCryptoThreadState();

// The stream operations' callbacks fed from the one monitor shape of all
// long work: progress as ACount of total bytes, cancel as the monitor's
// request. A null monitor gives empty callbacks.
TFileProgressEvent ProgressEventFor(foundation::IProgressMonitor *monitor, qint64 total);
TStatusEvent CancelEventFor(const foundation::IProgressMonitor *monitor);


namespace AesDetail {
struct CipherCtxDeleter { void operator()(EVP_CIPHER_CTX *p) const; };
struct CipherDeleter { void operator()(EVP_CIPHER *p) const; };
struct MacCtxDeleter { void operator()(EVP_MAC_CTX *p) const; };
struct MacDeleter { void operator()(EVP_MAC *p) const; };
} // namespace AesDetail

// Cipher state of one container: key schedule (inside the EVP cipher context),
// counter, key stream generated ahead, HMAC state, password length, key mode.
struct TFCryptContext {
    // Counter blocks are encrypted in batches of this many bytes.
    static constexpr qsizetype KeyStreamBatch = 16 * 1024;

    std::unique_ptr<EVP_CIPHER, AesDetail::CipherDeleter> Cipher;
    std::unique_ptr<EVP_CIPHER_CTX, AesDetail::CipherCtxDeleter> CipherCtx;
    std::unique_ptr<EVP_MAC, AesDetail::MacDeleter> Mac;
    std::unique_ptr<EVP_MAC_CTX, AesDetail::MacCtxDeleter> MacCtx;
    quint64 Counter = 0;                            // number of counter blocks used so far
    std::array<uchar, KeyStreamBatch> KeyStream{};  // key stream generated ahead
    qsizetype KeyStreamPos = 0;                     // next unused key-stream byte
    qsizetype KeyStreamLen = 0;                     // valid key-stream bytes
    std::array<uchar, 2> Verifier{};                // derived password verifier
    int PwdLen = 0;
    int Mode = 0;
    bool Keyed = false;   // keys derived for the current container
    bool Failed = false;  // a primitive failed since the keys were derived; stays set
};

class TCrypt
{
public:
    static constexpr int MaxPasswordLength = 128;
    static constexpr int DefaultBufSize = 0x80000;
    static constexpr int MacLength = 10;
    static constexpr int VerifierLength = 2;

    // Keeps the first 128 bytes of the password, allocates a work buffer of
    // ABufSize bytes (a size below 1 gives DefaultBufSize), sets the key mode
    // by the key-mode rule (SetKeyMode), then marks the key as fixed.
    TCrypt(const QByteArray &Password, int AMode, int ABufSize);
    virtual ~TCrypt();

    TCrypt(const TCrypt &) = delete;
    TCrypt &operator=(const TCrypt &) = delete;

    // Key mode 1, 2, 3 = AES-128/192/256.
    int KeyMode() const { return FMode; }
    // 1, 2 or 3 is taken as it is. Any other value chooses the mode from the
    // password length (< 32 bytes: 1; 32-47: 2; 48 and more: 3) and clears FixedKey.
    void SetKeyMode(int AMode);
    bool FixedKey() const { return FFixedKey; }

    // Salt length + 2 (10, 14 or 18).
    int GetHeaderSize() const;
    // Length of the authentication code (10).
    int GetTrailerSize() const { return MacLength; }
    qsizetype BufSize() const { return CBufSize; }

    static int SaltLength(int AMode);  // 8, 12, 16 (0 for an invalid mode)
    static int KeyLength(int AMode);   // 16, 24, 32 (0 for an invalid mode)
    static constexpr int Pbkdf2Iterations = 1000;

    // PBKDF2 with HMAC-SHA1 (the key derivation of the container uses
    // Pbkdf2Iterations and 2 * key length + 2 output bytes). False on failure.
    static bool Pbkdf2HmacSha1(const uchar *password, int passwordLength, const uchar *salt, int saltLength,
                               int iterations, uchar *out, int outLength);

protected:
    // Derives AES key, HMAC key and verifier from password and salt (of
    // SaltLength(FMode) bytes), resets counter and HMAC. False on failure.
    bool DeriveKeys(const uchar *salt);
    // XORs n bytes with the key stream; the stream position carries over.
    bool ApplyKeyStream(uchar *data, qsizetype n);
    bool UpdateMac(const uchar *data, qsizetype n);
    // Writes the 10-byte authentication code of the data fed so far.
    bool FinalMac(uchar *code);
    bool RefillKeyStream();
    // Forgets keys, key stream and verifier.
    void ClearKeys();

    int FMode = 1;
    bool FFixedKey = true;
    TFCryptContext FCryptCtx;
    std::array<uchar, MaxPasswordLength> FPwd{};
    qsizetype CBufSize = 0;
    std::unique_ptr<uchar[]> CBuffer;
};

class TEncryption : public TCrypt
{
public:
    TEncryption(const QByteArray &Password, int AMode, int ABufSize);
    ~TEncryption() override;

    const TFileProgressEvent &OnProgress() const { return FOnProgress; }
    void SetOnProgress(TFileProgressEvent handler) { FOnProgress = std::move(handler); }

    // --- Buffer-by-buffer interface --------------------------------------

    // Draws a new salt, derives the keys and writes salt + verifier
    // (GetHeaderSize() bytes) to header. False if random bytes or the
    // derivation fail (header is then zeroed).
    bool BeginEncrypt(uchar *header);
    // Encrypts BLen bytes in place and feeds the ciphertext to the HMAC. On a
    // failure the buffer is zeroed (plaintext never leaks) and false returned.
    bool EncryptBlock(uchar *Buffer, qsizetype BLen);
    // Writes the authentication code (GetTrailerSize() bytes). False when a
    // step since BeginEncrypt failed.
    bool FinishEncrypt(uchar *code);

    // header: salt followed by the stored verifier; len must be GetHeaderSize().
    // Derives the keys; true when the stored verifier matches the derived one.
    bool BeginDecrypt(const uchar *header, qsizetype len);
    // Feeds BLen ciphertext bytes to the HMAC, then decrypts them in place.
    // False (and the failure flag set) when a primitive fails or no keys are
    // derived.
    bool DecryptBlock(uchar *Buffer, qsizetype BLen);
    // storedCode: the container's last len bytes; len must be GetTrailerSize().
    // True when it equals the code computed over all ciphertext fed, and no
    // step failed. Ends the container: the keys are forgotten.
    bool FinishDecrypt(const uchar *storedCode, qsizetype len);

    // --- Stream interface -------------------------------------------------

    bool WriteHeader(QIODevice &sDest);
    bool WriteTrailer(QIODevice &sDest);
    TOpResult EncryptStreamEx(QIODevice &sSource, QIODevice &sDest, bool SpeedLimit,
                              const TStatusEvent &CancelEncryption);
    bool EncryptStream(QIODevice &sSource, QIODevice &sDest, bool SpeedLimit);

    bool ReadHeader(QIODevice &sSource);
    bool ReadTrailer(QIODevice &sSource);
    // SLength: the container's total length. sDest may be null: the data is
    // then decrypted and authenticated but written nowhere. orError for an
    // SLength below GetHeaderSize() + GetTrailerSize(), a source that ends
    // early, a read or write error, a wrong password or a wrong code.
    TOpResult DecryptStreamEx(QIODevice &sSource, QIODevice *sDest, qint64 SLength, bool SpeedLimit,
                              const TStatusEvent &CancelDecryption);
    bool DecryptStream(QIODevice &sSource, QIODevice *sDest, qint64 SLength, bool SpeedLimit);

private:
    void ReportProgress(TFileAction action, qint64 count, bool speedLimit) const;

    TFileProgressEvent FOnProgress;
};

} // namespace packprobe
