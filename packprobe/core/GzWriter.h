#pragma once

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

namespace packprobe {

// Writes gz files in the backup program's layout: the size subfield (data
// region length, then uncompressed length), the "QX" key-mode subfield and
// FLG bit 0x20 for an encrypted file whose deflate data is wrapped in the AES
// container. Used for sample files, tests and benchmarks.

struct TGzWriteOptions
{
    QByteArray StoredName;      // FNAME bytes; no FNAME field when empty
    QByteArray Comment;         // FCOMMENT bytes; none when empty
    quint32 UnixTime = 0;
    quint8 Os = 0;              // 0: name in the legacy code page; else UTF-8
    bool SizeSubfield = true;   // the 0x01 0x00 subfield with both sizes
    bool HeaderCrc = false;     // FHCRC (two bytes, the low half of the header's CRC-32)
    int Level = 6;              // deflate level
    bool Encrypt = false;
    QByteArray Password;        // for Encrypt
    int KeyMode = 3;            // 1, 2 or 3 for Encrypt; stored in "QX"
    quint16 StoredKeyMode = 0xFFFF; // value written to "QX" (0xFFFF: KeyMode)
};

// Reads source to its end and writes the gz file to dest, which must be
// seekable when the size subfield is written (it is filled in at the end).
// False when reading, writing, compressing or encrypting fails.
bool WriteGzFile(QIODevice &source, QIODevice &dest, const TGzWriteOptions &options);

} // namespace packprobe
