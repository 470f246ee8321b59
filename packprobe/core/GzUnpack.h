#pragma once

#include "packprobe/core/Inflater.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;
namespace foundation {
class IProgressMonitor;
}

namespace packprobe {

class TEncryption;

// Unpacking of the data of one gz file: raw inflate (after decryption for an
// encrypted file) into an output file, or into nothing when only the checksum
// and sizes are wanted, with the CRC-32 and the sizes the data actually gives.
// Decryption and inflate run in one pass: no decrypted intermediate file is
// ever written.

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
inline constexpr int UnpackLowDiskSpace = 7;   // the disk is full, or the output took fewer bytes
inline constexpr int UnpackDecryptError = 11;  // wrong password or damaged container
inline constexpr int UnpackUserBreak = 128;    // cancelled

// What an unpacking saw besides the values it returns: what a verdict on the
// file needs.
struct TUnpackFacts
{
    bool StreamEnded = false;    // inflate reached the deflate stream's end marker
    qint64 DataStart = 0;        // offset of the first data byte in the gz file
    // Bytes after the end of the deflate stream: up to the trailer (plain
    // file) or to the end of the decrypted container (encrypted file).
    qint64 BytesAfterStream = 0;
    qint32 KeyModeUsed = 0;      // the key mode that opened the container
};

// What an unpacking uses besides its input and output.
struct TUnpackOptions
{
    // Progress in bytes of the gz file's data region, and the cancel request,
    // polled once per buffer from the unpacking threads. A cancelled
    // unpacking ends with UnpackUserBreak.
    foundation::IProgressMonitor *Monitor = nullptr;
    packprobe::TInflateBackend Backend = packprobe::DefaultInflateBackend();
    // Filled when given and the unpacking returns 0.
    TUnpackFacts *Facts = nullptr;
};

// Key mode for a password: 0 when empty, 3 with 16 bytes or more, else 1.
int KeyModeFromPassword(const QByteArray &password);

// Inflates raw deflate data that starts at the source's current position and
// is at most compressedLength bytes long (0 or less: up to the end of the
// source) into dest (nullptr: counted only). checksum and uncompressedSize
// are updated. When the deflate stream ends the source stands on the first
// byte after it. A stream cut short is no error. Returns 0, 4 (inflate or
// read error), 5 (write error), 7 (disk full) or 128 (cancelled).
int InflateToStream(QIODevice &source, QIODevice *dest, quint32 &checksum, qint64 compressedLength,
                    qint64 &uncompressedSize, const TUnpackOptions &options = {});

// Unpacks the data of the gz file into dest, or nowhere when dest is nullptr
// (checksum and sizes only). encryption (nullptr for a plain file) is created
// by the caller with the password; it is tried first with the key mode stored
// in the header's "QX" subfield (when 1, 2 or 3), then with its own mode.
// Returns 0 or 2, 4, 5, 7, 11, 128. For an encrypted file the checksum is 0
// and the compressed size the container's length. On 11 and 128 the sizes
// and checksum are 0 and dest may hold unauthenticated or unfinished data
// that the caller must discard.
int UnpackGzData(const QString &gzName, QIODevice *dest, TEncryption *encryption,
                 quint32 &checksum, qint64 &compressedSize, qint64 &uncompressedSize,
                 const TUnpackOptions &options = {});

// UnpackGzData into the file outName (created or replaced, owner-only
// permissions where the platform has them); 1 when it cannot be created. On
// 11 and 128 the output file is left empty.
int UnpackGzFile(const QString &gzName, const QString &outName, TEncryption *encryption,
                 quint32 &checksum, qint64 &compressedSize, qint64 &uncompressedSize,
                 const TUnpackOptions &options = {});

// True when the last failed write of the device failed because the disk (or
// the user's quota) is full.
bool WriteFailedForSpace(const QIODevice &device);

} // namespace packprobe
