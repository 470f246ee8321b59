#include "foundation/FileUtils.h"

#include <cerrno>

EExtFileStreamError::EExtFileStreamError(const QString &msg, int error)
    : std::runtime_error(msg.toStdString()), ErrorCode(error), FMessage(msg)
{
}

QString EExtFileStreamError::FormatTranslated(const char *text, const TFormatArgs &args)
{
    return SafeFormatArgs(QString::fromUtf8(text), args);
}

TExtFileStream::TExtFileStream(const QString &name, quint16, quint32) : FFileName(name)
{
    throw EExtFileStreamError(QString(), ENOSYS);
}
TExtFileStream::TExtFileStream(const QString &name, quint32, CreateNewTag) : FFileName(name)
{
    throw EExtFileStreamError(QString(), ENOSYS);
}
TExtFileStream::~TExtFileStream() = default;
std::unique_ptr<TExtFileStream> TExtFileStream::CreateNew(const QString &name, quint32 rights)
{
    return std::unique_ptr<TExtFileStream>(new TExtFileStream(name, rights, CreateNewTag{}));
}
qint32 TExtFileStream::Read(void *, qint32, qint32 &readCount) { readCount = -1; return ENOSYS; }
qint32 TExtFileStream::Write(const void *, qint32, qint32 &writeCount) { writeCount = -1; return ENOSYS; }
qint32 TExtFileStream::Read(void *, qint32) { return -1; }
qint32 TExtFileStream::Write(const void *, qint32) { return -1; }
qint64 TExtFileStream::Seek(qint64, int) { return -1; }
qint64 TExtFileStream::Position() const { return -1; }
bool TExtFileStream::SetPosition(qint64) { return false; }
qint64 TExtFileStream::Size() const { return -1; }
qint32 TExtFileStream::SetSize(qint64) { return ENOSYS; }
qint32 TExtFileStream::Flush() { return ENOSYS; }
qint32 TExtFileStream::Close() { return 0; }

quint32 GetFileAttributesOf(const QString &) { return faInvalid; }
qint32 SetFileAttributesOf(const QString &, quint32) { return ENOSYS; }
QString AttributeText(quint16) { return QString(); }
TDateTimeValue UnixToDateTime(quint32 seconds) { return seconds / 86400.0 + 25569.0; }
bool FileTimeToDateTime(TFileTime, TDateTimeValue &value) { value = 0; return false; }
TFileTime DateTimeToFileTime(TDateTimeValue) { return 0; }
TFileTime CurrentFileTime() { return 0; }
qint32 GetFileData(const QString &, TFileData &, bool) { return ENOSYS; }
bool FindFileData(const QString &, TFileData &) { return false; }
TFileTime GetFileTimeStamp(const QString &) { return 0; }
qint32 SetFileTimeStamp(const QString &, TFileTime, bool) { return ENOSYS; }
void CopyFileData(const QString &, const QString &, qint32, qint32) { throw ECopyError(QString(), ENOSYS); }
bool GetLinkTarget(const QString &, QString &) { return false; }
qint32 GetShortcutInfo(const QString &, QString &, QString &, QString &, QString &, bool &) { return -1; }
bool GetShortcutInfo(const QString &, QString &, QString &, QString &, QString &) { return false; }
qint32 RecycleFolder(quintptr, const QString &) { return ENOSYS; }
