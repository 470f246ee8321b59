#include "foundation/FileUtils.h"

#include "foundation/FileUtils_p.h"
#include "foundation/LangUtils.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cmath>
#include <vector>

namespace foundation {

using namespace FileUtilsPlatform;

// ---------------------------------------------------------------------------
// Errors

EExtFileStreamError::EExtFileStreamError(const QString &msg, int error)
    : std::runtime_error(msg.toStdString()), ErrorCode(error), FMessage(msg), FEnglishMessage(msg)
{
}

EExtFileStreamError::EExtFileStreamError(const QString &msg, const QString &englishMsg, int error)
    : std::runtime_error(msg.toStdString()), ErrorCode(error), FMessage(msg),
      FEnglishMessage(englishMsg)
{
}

QString ErrorMessageOf(const std::exception &error)
{
    if (const auto *fileError = dynamic_cast<const EExtFileStreamError *>(&error))
        return fileError->Message();
    return QString::fromLocal8Bit(error.what());
}

QString EExtFileStreamError::FormatTranslated(const char *text, const TFormatArgs &args)
{
    return SafeFormatArgs(Translate(text), args);
}

namespace FileUtilsPlatform {

QString FullPathForMessage(const QString &name)
{
    return QDir::toNativeSeparators(QFileInfo(name).absoluteFilePath());
}

void RaiseStreamError(const QString &name, bool create, int error)
{
    const char *text = create ? N_("Cannot create file \"%s\". %s") : N_("Cannot open file \"%s\". %s");
    throw EExtFileStreamError::CreateResFmt(text, error, FullPathForMessage(name),
                                            SystemErrorText(error));
}

} // namespace FileUtilsPlatform

std::unique_ptr<TExtFileStream> TExtFileStream::CreateNew(const QString &name, quint32 rights)
{
    return std::unique_ptr<TExtFileStream>(new TExtFileStream(name, rights, CreateNewTag{}));
}

qint32 TExtFileStream::Read(void *buffer, qint32 count)
{
    qint32 done = 0;
    return Read(buffer, count, done) == 0 ? done : -1;
}

qint32 TExtFileStream::Write(const void *buffer, qint32 count)
{
    qint32 done = 0;
    return Write(buffer, count, done) == 0 ? done : -1;
}

bool TExtFileStream::SetPosition(qint64 position)
{
    return position >= 0 && Seek(position, soFromBeginning) == position;
}

// ---------------------------------------------------------------------------
// Attribute letters

QString AttributeText(quint16 attributes)
{
    QString text;
    text += (attributes & faReadOnly) ? QLatin1Char('r') : QLatin1Char('-');
    text += (attributes & faArchive) ? QLatin1Char('a') : QLatin1Char('-');
    text += (attributes & faHidden) ? QLatin1Char('h') : QLatin1Char('-');
    text += (attributes & faSysFile) ? QLatin1Char('s') : QLatin1Char('-');
    if (attributes & faReparsePoint)
        text += QLatin1Char('L');
    return text;
}

// ---------------------------------------------------------------------------
// Times

namespace {

constexpr qint64 TicksPerMs = 10000;
constexpr qint64 MsPerDay = 86400000;
// Days from 1601-01-01 (file time zero) to 1899-12-30 (date-time zero).
constexpr qint64 FileTimeToDateTimeDays = 109205;
// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr qint64 UnixEpochMs = 11644473600000;
// 10000-01-01 00:00 as milliseconds since 1601-01-01: the first instant a
// date-time value (years 1 to 9999) cannot hold.
constexpr qint64 Year10000Ms = (2958466 + FileTimeToDateTimeDays) * MsPerDay;

TDateTimeValue CurrentLocalDateTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 localMs = now.toMSecsSinceEpoch() + qint64(now.offsetFromUtc()) * 1000;
    return double(localMs) / MsPerDay + 25569.0;
}

} // namespace

TDateTimeValue UnixToDateTime(quint32 seconds)
{
    return double(seconds) / 86400.0 + 25569.0;
}

bool FileTimeToDateTime(TFileTime time, TDateTimeValue &value)
{
    if (time >= TFileTime(Year10000Ms) * TicksPerMs) {
        value = CurrentLocalDateTime();
        return false;
    }
    const qint64 ms = qint64(time / TicksPerMs);
    // Whole days and the time of day separately, so that the fraction keeps
    // millisecond precision.
    const qint64 days = ms / MsPerDay - FileTimeToDateTimeDays;
    const qint64 msOfDay = ms % MsPerDay;
    if (days >= 0) {
        value = double(days) + double(msOfDay) / MsPerDay;
    } else {
        // Before 1899-12-30 the date part counts backwards but the time of
        // day still counts forwards (-1.25 is 1899-12-29 06:00).
        value = double(days) - double(msOfDay) / MsPerDay;
    }
    return true;
}

TFileTime DateTimeToFileTime(TDateTimeValue value)
{
    if (!std::isfinite(value))
        return 0;
    const double wholeDays = std::trunc(value);
    qint64 msOfDay = qint64(std::llround(std::fabs(value - wholeDays) * MsPerDay));
    qint64 days = qint64(wholeDays);
    if (msOfDay >= MsPerDay) { // rounding reached the next day
        msOfDay -= MsPerDay;
        days += value >= 0 ? 1 : -1;
    }
    const qint64 ms = (days + FileTimeToDateTimeDays) * MsPerDay + msOfDay;
    if (days < -FileTimeToDateTimeDays || ms >= Year10000Ms)
        return 0;
    return TFileTime(ms) * TicksPerMs;
}

TFileTime CurrentFileTime()
{
    return TFileTime(QDateTime::currentMSecsSinceEpoch() + UnixEpochMs) * TicksPerMs;
}

TFileTime GetFileTimeStamp(const QString &name)
{
    TFileData data;
    return GetFileData(name, data, true) == 0 ? data.LastWriteTime : 0;
}

qint32 SetFileTimeStamp(const QString &name, TFileTime time, bool check)
{
    if (check) {
        // File times are UTC, so they are checked against the current UTC
        // time, and the replacement is the current time as a true UTC file
        // time. A time of 0 means "unknown" and is replaced as well.
        TDateTimeValue value = 0;
        const TFileTime latest = CurrentFileTime() + TFileTime(MsPerDay) * TicksPerMs;
        if (time == 0 || !FileTimeToDateTime(time, value) || time > latest)
            time = CurrentFileTime();
    }
    return SetLastWriteTime(name, time);
}

// ---------------------------------------------------------------------------
// Copy

namespace {

[[noreturn]] void RaiseCopyError(const char *text, const QString &name, int error)
{
    throw ECopyError::CreateResFmt(text, error, QDir::toNativeSeparators(name));
}

// A new file beside target that takes target's name only when complete
// (Commit). It is removed on every other way out. The object must be declared
// before the stream that writes the file: Windows cannot delete a file that is
// still open, so the stream has to be closed first.
class TReplacement
{
public:
    TReplacement() = default;
    ~TReplacement()
    {
        if (!FTempName.isEmpty())
            RemoveFileQuietly(FTempName);
    }
    TReplacement(const TReplacement &) = delete;
    TReplacement &operator=(const TReplacement &) = delete;

    // Creates the hidden file under a name nobody uses, with the permissions
    // (and, where allowed, the owner) of the file it will replace; raises
    // EExtFileStreamError.
    std::unique_ptr<TExtFileStream> Create(const QString &target)
    {
        std::unique_ptr<TExtFileStream> stream = CreateTempBeside(target, FTempName);
        FTarget = target;
        InheritFileSecurity(target, *stream);
        return stream;
    }

    const QString &TempName() const { return FTempName; }

    // Gives the closed file the target's name; 0 or the error number. An
    // existing target is made replaceable only now, so that a failure before
    // leaves it exactly as it was.
    qint32 Commit()
    {
        if (const qint32 error = PrepareReplace(FTarget))
            return error;
        if (const qint32 error = RenameOver(FTempName, FTarget))
            return error;
        FTempName.clear();
        SyncFolderOf(FTarget);
        return 0;
    }

private:
    // The target's name is shortened so that the temporary name stays within
    // the file systems' 255-byte limit.
    static std::unique_ptr<TExtFileStream> CreateTempBeside(const QString &target, QString &tempName)
    {
        const QFileInfo info(target);
        QString stem = info.fileName().left(64);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
        for (int attempt = 0;; ++attempt) {
            const QString suffix = QString::number(QRandomGenerator::global()->generate64(), 36);
            tempName = info.dir().filePath(QLatin1Char('.') + stem + QLatin1Char('.') + suffix
                                           + QStringLiteral(".part"));
            try {
                return TExtFileStream::CreateNew(tempName);
            } catch (const EExtFileStreamError &e) {
                tempName.clear();
                if (e.ErrorCode != FileExistsError || attempt >= 16)
                    throw;
            }
        }
    }

    QString FTarget;
    QString FTempName;
};

quint16 CopyAttributes(const QString &source, qint32 attributes)
{
    if (attributes >= 0)
        return quint16(attributes & 0xFFFF);
    TFileData data;
    return GetFileData(source, data, true) == 0 ? quint16(data.Attributes & 0xFFFF) : 0;
}

void CopyContents(TExtFileStream &source, TExtFileStream &destination, std::vector<char> &buffer,
                  const QString &sourceName, const QString &destinationName)
{
    const qint32 bufferSize = qint32(buffer.size());
    for (;;) {
        qint32 readCount = 0;
        if (const qint32 error = source.Read(buffer.data(), bufferSize, readCount))
            RaiseCopyError(N_("Error reading from \"%s\""), sourceName, error);
        if (readCount > 0) {
            qint32 writeCount = 0;
            if (const qint32 error = destination.Write(buffer.data(), readCount, writeCount))
                RaiseCopyError(N_("Error writing to \"%s\""), destinationName, error);
            if (writeCount < readCount)
                RaiseCopyError(N_("Error writing to \"%s\""), destinationName, DiskFullError);
        }
        // Read fills the buffer unless the file ends.
        if (readCount < bufferSize)
            break;
    }
}

} // namespace

void CopyFileData(const QString &source, const QString &destination, qint32 attributes,
                  qint32 bufferSize)
{
    if (source == destination || (!destination.isEmpty() && IsSameFile(source, destination)))
        return;
    if (destination.isEmpty() || !QFileInfo(source).isFile())
        RaiseCopyError(N_("File not found: \"%s\""), source, FileNotFoundError);

    if (bufferSize <= 0)
        bufferSize = DefaultCopyBufferSize;
    std::vector<char> buffer(static_cast<size_t>(bufferSize));
    const TFileTime time = GetFileTimeStamp(source);
    const quint16 attr = CopyAttributes(source, attributes);

    std::unique_ptr<TExtFileStream> input;
    try {
        input = std::make_unique<TExtFileStream>(source, fmOpenRead | fmShareDenyNone);
    } catch (const EExtFileStreamError &e) {
        RaiseCopyError(N_("Error opening \"%s\""), source, e.ErrorCode);
    }

    // A regular destination is written under a temporary name and renamed
    // when complete; a device or FIFO is written in place.
    const QString target = CopyTargetOf(destination);
    const bool inPlace = IsSpecialFile(target);
    if (QFileInfo(target).isDir())
        RaiseCopyError(N_("Error creating \"%s\""), destination, FolderInTheWayError);
    TReplacement replacement;
    std::unique_ptr<TExtFileStream> output;
    try {
        output = inPlace ? std::make_unique<TExtFileStream>(target, fmCreate)
                         : replacement.Create(target);
    } catch (const EExtFileStreamError &e) {
        RaiseCopyError(N_("Error creating \"%s\""), destination, e.ErrorCode);
    }

    CopyContents(*input, *output, buffer, source, destination);
    input.reset();
    if (!inPlace) {
        if (const qint32 error = output->Flush())
            RaiseCopyError(N_("Error writing to \"%s\""), destination, error);
    }
    if (const qint32 error = output->Close())
        RaiseCopyError(N_("Error writing to \"%s\""), destination, error);
    output.reset();
    if (inPlace)
        return; // a device keeps its own time and permissions

    if (const qint32 error = SetFileTimeStamp(replacement.TempName(), time, true))
        RaiseCopyError(N_("Error setting timestamps of \"%s\""), destination, error);
    if (const qint32 error = SetFileAttributesOf(replacement.TempName(), attr))
        RaiseCopyError(N_("Error setting attributes of \"%s\""), destination, error);
    if (const qint32 error = replacement.Commit())
        RaiseCopyError(N_("Error creating \"%s\""), destination, error);
}

qint32 WriteFileAtomically(const QString &name, const QByteArray &data)
{
    const QString target = CopyTargetOf(name);
    if (QFileInfo(target).isDir())
        return FolderInTheWayError;
    TReplacement replacement;
    std::unique_ptr<TExtFileStream> output;
    try {
        output = replacement.Create(target);
    } catch (const EExtFileStreamError &e) {
        return e.ErrorCode;
    }
    for (qsizetype done = 0; done < data.size();) {
        const qint32 count = qint32(qMin<qsizetype>(data.size() - done, DefaultCopyBufferSize));
        qint32 written = 0;
        if (const qint32 error = output->Write(data.constData() + done, count, written))
            return error;
        if (written < count)
            return DiskFullError;
        done += written;
    }
    if (const qint32 error = output->Flush())
        return error;
    if (const qint32 error = output->Close())
        return error;
    output.reset();
    return replacement.Commit();
}

// ---------------------------------------------------------------------------
// Shortcuts

bool GetShortcutInfo(const QString &shortcut, QString &target, QString &arguments,
                     QString &workingFolder, QString &description)
{
    bool runAsAdmin = false;
    // A missing file (2) is a failure too, not only a negative status.
    return GetShortcutInfo(shortcut, target, arguments, workingFolder, description, runAsAdmin) == 0;
}

} // namespace foundation
