#pragma once

#include "foundation/FileUtils.h"
#include "foundation/Progress.h"
#include "mailmend/core/MailFileIo.h"
#include "mailmend/core/MailSelection.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <deque>

// Scan and in-place recovery of one Thunderbird mbox folder file.
//
// The folder is read once as a stream and never held in memory. A message
// starts at a line that begins with "From " (or at the start of the file for
// text before the first such line); its header block runs from the line
// after that separator to the first empty line. The first status line of a
// header block is the message's status line; status lines in bodies and
// further ones in the same block are neither counted nor changed.
//
// Recovering a mail changes exactly one character of the folder file: the
// last hexadecimal digit of its status value, which loses the deleted flag
// (and with "mark as unread" the read flag). The digits are written into the
// folder file itself after checking that the file and every digit are still
// as scanned; every other byte, the file's inode, links, owner, permissions
// and extended attributes stay as they were. Since every change is a single
// byte (one 16-bit unit in a UTF-16 folder), an interrupted recovery leaves
// each mail either recovered or not, and running it again completes it.

namespace mailmend {

// Flags of a status value.
inline constexpr quint32 MailFlagRead = 0x0001;
inline constexpr quint32 MailFlagDeleted = 0x0008;

// A status line whose value is not decided within this many code units from
// the start of the line is taken as unreadable (never deleted).
inline constexpr int MaxStatusLineHead = 4096;

// The part of a header block read for a mail's summary (Date, From,
// Subject); a longer block is cut there for the summary only.
inline constexpr qint64 MaxSummaryHeaderBytes = qint64(64) << 10;

enum class TFolderEncoding {
    Ansi,    // no byte-order mark: 8-bit text
    Utf8,    // EF BB BF
    Utf16LE, // FF FE
    Utf16BE, // FE FF
};

// One deleted mail as the scan found it.
struct TDeletedMail
{
    qint64 Number = 0;          // 1-based among the folder's deleted mails, in file order
    qint64 SeparatorOffset = 0; // byte offset of its "From " line; 0 for text before the first one
    qint64 DigitOffset = 0;     // byte offset of the last digit of its status value (of its
                                // 16-bit unit in a UTF-16 folder)
    qint64 Size = 0;            // bytes from its separator to the next message or the end of file
    quint32 Status = 0;         // its status value (always with MailFlagDeleted)
    char Digit = 0;             // that last digit as found in the file ('8'-'9', 'a'-'f', 'A'-'F')
};

// The decoded header fields of one mail, for showing it to the user.
struct TMailSummary
{
    QDateTime Date;  // invalid when the header is missing or cannot be read
    QString From;    // decoded address list, e.g. "Jörg Müller <joerg@example.org>"
    QString Subject; // decoded
};

// What to read besides the status lines.
enum class TScanDetail {
    StatusOnly, // positions and status values (all that recovery needs)
    Summaries,  // also Date, From and Subject of every deleted mail
};

// What the scan found, and what the recovery needs to recognise the folder.
struct TScanResult
{
    QString FileName;                 // the folder file as given to the scan
    TFolderEncoding Encoding = TFolderEncoding::Ansi;
    int BomSize = 0;                  // bytes of the byte-order mark (0 without one)
    TFileIdentity Identity;           // device, file id, size and time when it was read
    qint64 MessageCount = 0;          // messages in the folder, deleted or not
    std::deque<TDeletedMail> Mails;   // the deleted mails in file order; Mails[i].Number == i + 1
    std::deque<TMailSummary> Summaries; // Summaries[i] belongs to Mails[i]; empty with StatusOnly

    qint64 DeletedCount() const { return qint64(Mails.size()); }
    // The summary of a mail by its number; nullptr without summaries or for
    // a number that is not in the scan.
    const TMailSummary *SummaryOf(qint64 number) const;
    // The mail of a number; nullptr for a number that is not in the scan.
    const TDeletedMail *MailOf(qint64 number) const;
};

// ---------------------------------------------------------------------------
// Errors. All carry a translated message and, where there is one, the
// system's error number (EExtFileStreamError::ErrorCode).

// An error of reading or writing a folder other than failing to open it:
// a read or write error, a path that is not a regular file.
class EMailFolderError : public foundation::EExtFileStreamError
{
public:
    using foundation::EExtFileStreamError::EExtFileStreamError;
};

// The folder is no longer what the scan read (another file, another size or
// time, a status digit that changed); nothing was written.
class EMailFolderChanged : public EMailFolderError
{
public:
    using EMailFolderError::EMailFolderError;
};

// A selection names a mail number the scan does not have; nothing was
// written.
class EMailSelectionError : public EMailFolderError
{
public:
    using EMailFolderError::EMailFolderError;
};

// ---------------------------------------------------------------------------

// Reads the folder file and finds its deleted mails. The path must name a
// regular file (links followed); anything else is refused before it is
// opened. Raises EExtFileStreamError "Cannot open file \"%s\". %s",
// EMailFolderError for a read error or a path that is no regular file, and
// foundation::ECancelled when the monitor asks to stop.
TScanResult ScanMailFolder(const QString &path, foundation::IProgressMonitor *monitor = nullptr,
                           TScanDetail detail = TScanDetail::StatusOnly);

// Told each deleted mail of a streamed scan, in file order, once its size is
// known; summary is nullptr unless the scan reads summaries.
class IDeletedMailSink
{
public:
    virtual ~IDeletedMailSink() = default;
    virtual void DeletedMail(const TDeletedMail &mail, const TMailSummary *summary) = 0;
};

// The scan of ScanMailFolder with every deleted mail handed to sink instead
// of kept: the result's Mails and Summaries stay empty, so that memory does
// not grow with the number of deleted mails (a listing of a folder with a
// million of them). Returns the number of deleted mails.
qint64 ScanMailFolder(const QString &path, IDeletedMailSink &sink, foundation::IProgressMonitor *monitor = nullptr,
                      TScanDetail detail = TScanDetail::StatusOnly);

// Recovers every deleted mail of the scan in the folder file itself, flushes
// the file to disk and deletes its index file; returns the number of mails
// recovered. A scan without deleted mails returns 0 and writes nothing.
// Before the first write the file must still be the scanned one (same file,
// size and modification time) and every digit the one the scan read, else
// EMailFolderChanged is raised and nothing is written. A file that cannot be
// opened for writing raises EExtFileStreamError before anything is written;
// a failed write or flush raises EMailFolderError (each mail is then
// recovered or not; running the recovery again completes it). The monitor
// can cancel (foundation::ECancelled) only before the first write.
qint64 RestoreMailFolder(const TScanResult &scan, const QString &path, bool markUnread,
                         foundation::IProgressMonitor *monitor = nullptr);

// The same for the chosen mails only (numbers of the scan). A number the
// scan does not have raises EMailSelectionError before anything is written.
qint64 RestoreMailFolder(const TScanResult &scan, const QString &path, bool markUnread,
                         const TMailSelection &selection, foundation::IProgressMonitor *monitor = nullptr);

// Raises EMailSelectionError when the selection names a number the scan
// does not have.
void CheckMailSelection(const TScanResult &scan, const TMailSelection &selection);

// The index file Thunderbird keeps for a folder file: the path with ".msf"
// added by the add rule of SetExtension. Empty when that rule would give the
// folder file itself (a folder file whose extension already is msf).
QString MailIndexFileName(const QString &folderPath);

// The digit a recovered mail's status value ends with: the value's last
// digit with the deleted flag (and with markUnread the read flag) cleared,
// always '0' to '7'.
char RestoredStatusDigit(quint32 value, bool markUnread);

// The value a recovered mail's status line reads afterwards.
inline quint32 RestoredStatusValue(quint32 value, bool markUnread)
{
    return value & ~(MailFlagDeleted | (markUnread ? MailFlagRead : 0u));
}

// A status value as shown to the user: at least four lower-case hex digits.
QString StatusValueText(quint32 value);

} // namespace mailmend
