#pragma once

#include "foundation/FileUtils.h"
#include "mailmend/core/MailFileIo.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <stdexcept>

// Scan and rewrite of one Thunderbird mbox folder file.
//
// The folder is processed as a stream and never held in memory: the scan
// counts the status lines whose deleted flag is set and keeps a fingerprint of
// their positions and values; the rewrite streams the folder into a new file
// beside it, checks that it met exactly the lines the scan found, and only
// then replaces the folder. Bytes (or 16-bit units of a UTF-16 folder) that
// are not part of a rewritten status line or a line break pass through
// unchanged, NUL bytes and invalid sequences included.

// Flags of a status value.
inline constexpr quint32 MailFlagRead = 0x0001;
inline constexpr quint32 MailFlagDeleted = 0x0008;

// A status line whose value part is not decided within this many code units
// from the start of the line is taken as unreadable (never deleted), so that
// the rewrite never has to hold more than this of one line.
inline constexpr int MaxStatusLineHead = 4096;

enum class TFolderEncoding {
    Ansi,    // no byte-order mark: 8-bit text
    Utf8,    // EF BB BF
    Utf16LE, // FF FE
    Utf16BE, // FE FF
};

// What the scan found, and what the rewrite needs to recognise the folder.
struct TScanResult
{
    QString FileName;            // the folder file as scanned
    TFolderEncoding Encoding = TFolderEncoding::Ansi;
    int BomSize = 0;             // bytes of the byte-order mark (0 without one)
    TFileIdentity Identity;      // size, time and file id when it was read
    qint64 LineCount = 0;
    qint64 DeletedCount = 0;     // length of the deleted-line list
    quint64 DeletedFingerprint = 0; // over index, offset and value of every deleted line
    qint64 OutputSize = 0;       // exact size of the rewritten file
};

// Progress of a scan or rewrite: bytes done of total. Returning false cancels
// the operation; it is called once per buffer.
using TMailProgress = std::function<bool(qint64 done, qint64 total)>;

// Told about every deleted status line the scan finds: its 0-based line index,
// the byte offset where the line starts and its status value.
using TDeletedLineFunc = std::function<void(qint64 line, qint64 offset, quint32 value)>;

// An error of reading or writing a folder that is not an open or create
// failure: "Stream write error", a folder changed since its scan.
class EMailFolderError : public EExtFileStreamError
{
public:
    using EExtFileStreamError::EExtFileStreamError;
};

// The folder changed between scan and rewrite; nothing was written.
class EMailFolderChanged : public EMailFolderError
{
public:
    using EMailFolderError::EMailFolderError;
};

// The progress callback asked to stop; nothing was written.
class EMailFolderCancelled : public std::runtime_error
{
public:
    EMailFolderCancelled() : std::runtime_error("mail folder operation cancelled") {}
};

// Reads the folder file and finds its deleted status lines. Raises
// EExtFileStreamError "Cannot open file \"%s\". %s", EMailFolderError on a
// read error, EMailFolderCancelled when progress cancels.
TScanResult ScanMailFolder(const QString &path, const TMailProgress &progress = {},
                           const TDeletedLineFunc &onDeleted = {});

// Clears the deleted flag (and with markUnread the read flag) of every
// deleted status line, replaces the folder file with the rewritten text and
// deletes its index file; returns the number of rewritten lines. A scan
// without deleted lines returns 0 and writes nothing.
// The folder is replaced only after the whole new file is written and synced;
// on every failure the folder stays byte for byte as it was and no temporary
// file is left. Raises EExtFileStreamError "Cannot open file ..." and
// "Cannot create file ...", EMailFolderChanged when the folder is not the one
// scanned, EMailFolderError "Stream write error..." (a full disk included),
// EMailFolderCancelled.
qint64 RestoreMailFolder(const TScanResult &scan, const QString &path, bool markUnread,
                         const TMailProgress &progress = {});

// The index file Thunderbird keeps for a folder file: the path with ".msf"
// added by the add rule of SetExtension. Empty when that rule would give the
// folder file itself (a folder file whose extension already is msf).
QString MailIndexFileName(const QString &folderPath);

// The status line written for a value: "X-Mozilla-Status: " and at least four
// lower-case hex digits.
QByteArray StatusLineText(quint32 value);

// The value a rewritten deleted line gets.
inline quint32 RestoredStatusValue(quint32 value, bool markUnread)
{
    return value & ~(MailFlagDeleted | (markUnread ? MailFlagRead : 0u));
}
