#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;
class TEncryption;

// Unpacking of the data of one gz file: raw inflate (after decryption for an
// encrypted file) into an output file, with the CRC-32 and the sizes the data
// actually gives. Decryption and inflate run in one pass: no decrypted
// intermediate file is ever written.

// Size of one piece of inflated data (and of the work buffers).
inline constexpr qint64 UnpackBufferSize = 0x80000;
// Largest piece of compressed input handed to inflate at once.
inline constexpr qint64 InflateInputPiece = 0x10000;

// Result codes (file error numbers).
inline constexpr int UnpackOk = 0;
inline constexpr int UnpackCreateError = 1;    // output file cannot be created
inline constexpr int UnpackOpenError = 2;      // gz file cannot be opened
inline constexpr int UnpackReadError = 4;      // inflate or read error
inline constexpr int UnpackWriteError = 5;     // writing raised an error
inline constexpr int UnpackLowDiskSpace = 7;   // the output took fewer bytes
inline constexpr int UnpackDecryptError = 11;  // wrong password or damaged container
inline constexpr int UnpackUserBreak = 128;    // cancelled

// Progress and cancellation of one unpacking. Both are called from the
// thread that unpacks, once per buffer.
class IUnpackMonitor
{
public:
    virtual ~IUnpackMonitor() = default;
    // bytesDone: bytes of the gz file's data region processed so far, of total.
    virtual void progress(qint64 bytesDone, qint64 total) = 0;
    // True to stop: the unpacking ends with UnpackUserBreak and an empty output.
    virtual bool cancelRequested() = 0;
};

// Key mode for a password: 0 when empty, 3 with 16 bytes or more, else 1.
int KeyModeFromPassword(const QByteArray &password);

// Inflates raw deflate data that starts at the source's current position and
// is at most compressedLength bytes long (0 or less: up to the end of the
// source) into dest (nullptr: counted only). checksum and uncompressedSize
// are updated. When the deflate stream ends the source stands on the first
// byte after it. A stream cut short is no error. Returns 0, 4 (inflate or
// read error), 5 (write error), 7 (short write) or 128 (cancelled).
int InflateToStream(QIODevice &source, QIODevice *dest, quint32 &checksum, qint64 compressedLength,
                    qint64 &uncompressedSize, IUnpackMonitor *monitor = nullptr);

// Unpacks the gz file into outName (created or replaced, owner-only
// permissions where the platform has them). encryption (nullptr for a plain
// file) is created by the caller with the password; it is tried first with
// the key mode stored in the header's "QX" subfield (when 1, 2 or 3), then
// with its own mode. Returns 0 or 1, 2, 4, 5, 7, 11, 128. For an encrypted
// file the checksum is 0 and the compressed size the container's length. On
// 11 and 128 the output file is left empty.
int UnpackGzFile(const QString &gzName, const QString &outName, TEncryption *encryption,
                 quint32 &checksum, qint64 &compressedSize, qint64 &uncompressedSize,
                 IUnpackMonitor *monitor = nullptr);
