#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

namespace packprobe {

// What the header of one gz file of the backup program says about the packed
// file. Created empty; filled by GetGzInfo / ReadGzInfo.
struct TGzFileInfo
{
    QString Filename;          // FNAME decoded by the OS byte; empty without FNAME
    quint32 UnixTime = 0;      // MTIME as stored
    quint16 Attr = 0xFFFF;     // attribute word of the gz file itself (Windows bit values)
    qint64 Count = 0;          // set to 1 by the reader
    qint64 CSize = 0;          // size of the data region (from the size subfield, else derived)
    qint64 USize = 0;          // uncompressed size (from the size subfield, else the trailer's)
    bool Encrypted = false;    // EncMode >= 0
    qint32 EncMode = -1;       // key mode from "QX" when FLG bit 0x20 is set, else -1
    bool USizeStored = false;  // USize came from the size subfield (not the trailer)
    bool CSizeStored = false;  // CSize came from the size subfield (not derived)
};

// Codes of the header reader (same numbers as the file error codes).
inline constexpr int GzHeaderOk = 0;
inline constexpr int GzHeaderReadError = 4;   // "Could not read from file"
inline constexpr int GzHeaderIllegal = 8;     // "Illegal file header"

// Longest stored file name accepted in FNAME; a longer one makes the header
// unreadable (code 4) instead of growing without bound.
inline constexpr int MaxGzNameBytes = 0x10000;
// Longest comment skipped in FCOMMENT; a longer one makes the header
// unreadable (code 4) instead of scanning a damaged file to its end.
inline constexpr int MaxGzCommentBytes = 0x100000;

// FLG bits.
inline constexpr quint8 GzFlagHeaderCrc = 0x02;
inline constexpr quint8 GzFlagExtra = 0x04;
inline constexpr quint8 GzFlagName = 0x08;
inline constexpr quint8 GzFlagComment = 0x10;
inline constexpr quint8 GzFlagEncrypted = 0x20;

// Subfield identifiers (SI1 in the low byte).
inline constexpr quint16 GzSubfieldSizes = 0x0001;
inline constexpr quint16 GzSubfieldKeyMode = 0x5851; // "QX"

// Reads the gz header from the device's current position and leaves it at the
// first data byte. Returns 0, 8 when the file does not start with 1F 8B (also
// for a file shorter than 2 bytes) or 4 when the header is cut short, a
// subfield runs past the extra field, the name is longer than MaxGzNameBytes,
// the comment longer than MaxGzCommentBytes, or reading or seeking fails. keyModeWord receives the stored "QX" value
// whatever the flags say (0 when absent).
int ReadGzHeader(QIODevice &stream, QString &name, quint32 &unixTime, qint32 &encMode,
                 qint64 &cSize, qint64 &uSize);
int ReadGzHeader(QIODevice &stream, QString &name, quint32 &unixTime, qint32 &encMode,
                 qint64 &cSize, qint64 &uSize, quint16 &keyModeWord);

// Count := 1, Attr := 0xFFFF, then ReadGzHeader into the record; Encrypted is
// EncMode >= 0. False on any non-zero code (lastCode receives it when given).
bool GetGzInfo(QIODevice &stream, TGzFileInfo &info, int *lastCode = nullptr);

// Opens the named file for shared reading (through LongPathName), runs
// GetGzInfo and on success sets Attr from the file's own attribute word.
// A failure to open throws EExtFileStreamError.
bool ReadGzInfo(const QString &fileName, TGzFileInfo &info, int *lastCode = nullptr);

// Reads CRC-32 and size modulo 2^32 from the last 8 bytes. False for a file
// shorter than 8 bytes or a failed read. A failure to open throws
// EExtFileStreamError.
bool ReadGzTrailer(const QString &fileName, quint32 &checksum, quint32 &size);

// The text for a file error code (error number, severity, operation) with up
// to two file names. Never fails.
QString FileErrorText(quint32 code, const QString &firstName = QString(),
                      const QString &secondName = QString());

// Windows rule for names beyond the classic length limit: "\\?\" for drive
// names of 248 characters or more, "\\?\UNC\" for network names. Platform
// independent so that it can be checked everywhere.
QString WindowsLongPathName(const QString &name);

// The name as the platform's file functions accept it: WindowsLongPathName on
// Windows, the name unchanged elsewhere.
QString LongPathName(const QString &name);

// Attribute word of the file itself (a link is not followed) with Windows bit
// values: read-only 0x1, hidden 0x2, system 0x4, directory 0x10, archive
// 0x20, reparse point 0x400. 0xFFFFFFFF when the file cannot be queried.
quint32 FileAttributesNoFollow(const QString &fileName);

// Decodes bytes of the system's 8-bit legacy code page (the ANSI code page on
// Windows, Windows-1252 elsewhere) and encodes back; characters outside the
// code page become '?'.
QString LegacyCodePageToUnicode(const QByteArray &bytes);
QByteArray UnicodeToLegacyCodePage(const QString &text);

// True for the system's error numbers of a full disk or an exhausted quota.
bool IsDiskFullError(int errorNumber);

} // namespace packprobe
