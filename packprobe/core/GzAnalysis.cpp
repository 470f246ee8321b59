#include "packprobe/core/GzAnalysis.h"

#include "packprobe/core/AesLib.h"
#include "packprobe/core/GzUnpack.h"
#include "packprobe/core/PendingFile.h"

#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/NumberUtils.h"
#include "foundation/SecureWipe.h"
#include "foundation/StringUtils.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <QTime>

#include <utility>

namespace packprobe {

using namespace foundation;

using packprobe::TPendingFile;

namespace {

constexpr qint64 SaveBufferSize = 0x80000;
constexpr quint32 FileNotFoundCode = 14;
constexpr quint32 NotRegularFileCode = 2;
constexpr quint32 OpenErrorCode = 2;
constexpr quint32 TrailerErrorCode = 4;

// The locale's long time format without a time-zone part: the stored time
// has no zone, so none is shown.
QString TimeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar ch : format) {
        if (ch == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && ch == QLatin1Char('t'))
            continue;
        result.append(ch);
    }
    return result.trimmed();
}

bool SamePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

[[noreturn]] void ThrowSaveError(int code, const QString &destination, int errorNumber)
{
    throw ECopyError(FileErrorText(quint32(code), QDir::toNativeSeparators(destination)),
                     errorNumber);
}

// Copies source to destination through an unnamed file beside it.
void CopyData(QIODevice &source, const QString &destination)
{
    std::unique_ptr<TPendingFile> target;
    try {
        target = TPendingFile::CreateBeside(destination);
    } catch (const EExtFileStreamError &error) {
        throw ECopyError(error.Message(), error.ErrorCode);
    }
    QByteArray buffer(SaveBufferSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            ThrowSaveError(UnpackReadError, destination, 0);
        if (got == 0)
            break;
        const qint64 written = target->Device().write(buffer.constData(), got);
        if (written != got)
            ThrowSaveError(written >= 0 || WriteFailedForSpace(target->Device()) ? UnpackLowDiskSpace
                                                                                : UnpackWriteError,
                           destination, 0);
    }
    try {
        target->Commit();
    } catch (const EExtFileStreamError &error) {
        throw ECopyError(error.Message(), error.ErrorCode);
    }
}

// The smallest gzip member: a 10-byte header, an empty deflate block of two
// bytes and the 8-byte trailer.
constexpr qint64 SmallestGzMember = 20;

// True when a gzip member starts at offset: the magic bytes and the deflate
// method.
bool GzMemberStartsAt(const QString &fileName, qint64 offset)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return false;
    const QByteArray magic = file.read(3);
    return magic == QByteArray("\x1F\x8B\x08", 3);
}

// Replacing a file that is write-protected is refused, as a plain copy
// refuses it: by what the system says when the file is opened for writing,
// and by the permissions where the system would let an administrator write.
void RefuseWriteProtected(const QString &destination)
{
    try {
        TExtFileStream probe(destination, fmOpenWrite | fmShareDenyNone);
    } catch (const EExtFileStreamError &error) {
        throw ECopyError::CreateResFmt(N_("Cannot replace \"%s\": %s"), error.ErrorCode,
                                       destination, SystemErrorText(error.ErrorCode));
    }
    if (!(QFileInfo(destination).permissions() & QFileDevice::WriteOwner))
        throw ECopyError::CreateResFmt(N_("Cannot replace \"%s\": the file is write-protected."),
                                       0, destination);
}

packprobe::TVerdictInput VerdictInputOf(const TAnalysisReport &report)
{
    packprobe::TVerdictInput input;
    input.Failed = !report.Succeeded();
    input.ErrorText = report.ErrorText;
    input.ErrorTextEnglish = report.ErrorTextEnglish;
    if (input.Failed)
        return input;
    const TGzFileInfo &info = *report.Header;
    input.Encrypted = info.Encrypted;
    input.StreamEnded = report.Facts.StreamEnded;
    input.TrailerChecksum = report.Trailer->Checksum;
    input.TrailerSize = report.Trailer->Size;
    input.ComputedChecksum = report.Computed->Checksum;
    input.ComputedCompressedSize = report.Computed->CompressedSize;
    input.ComputedUncompressedSize = report.Computed->UncompressedSize;
    if (info.CSizeStored)
        input.StoredCompressedSize = info.CSize;
    if (info.USizeStored)
        input.StoredUncompressedSize = info.USize;
    input.BytesAfterStream = report.Facts.BytesAfterStream;
    input.FurtherMember = report.FurtherMember;
    input.StoredKeyMode = info.Encrypted ? info.EncMode : 0;
    input.UsedKeyMode = report.Facts.KeyModeUsed;
    return input;
}

} // namespace

QString FormatGzTimestamp(quint32 unixTime)
{
    const QDate date = QDate(1970, 1, 1).addDays(qint64(unixTime / 86400));
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(unixTime % 86400) * 1000);
    const QLocale locale;
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (time != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(time, TimeFormatWithoutZone(locale));
    return text;
}

QString FormatChecksum(quint32 checksum)
{
    return QStringLiteral("%1").arg(checksum, 8, 16, QLatin1Char('0')).toUpper();
}

QString FormatSizeGrouped(qint64 size)
{
    return FormatGrouped(0, 3, false, size);
}

QString EncryptionDepthName(qint32 encMode)
{
    // Shown as they are, not translated.
    static const char *const names[] = {"auto", "128 bit", "192 bit", "256 bit"};
    if (encMode >= 0 && encMode <= 3)
        return QString::fromLatin1(names[encMode]);
    return SafeFormat(Translate("unknown (%d)"), encMode);
}

QString SafeSaveName(const QString &storedName)
{
    qsizetype cut = -1;
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        cut = qMax(cut, storedName.lastIndexOf(separator));
    QString name = storedName.mid(cut + 1).trimmed();
    name.remove(QChar(0));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return name;
}

// ---------------------------------------------------------------------------

TGzAnalyzer::TGzAnalyzer(TDataTarget target) : FTarget(target) {}

TGzAnalyzer::~TGzAnalyzer() = default;

void TGzAnalyzer::SaveNextTo(const QString &destination)
{
    FSaveNextTo = destination;
}

bool TGzAnalyzer::HasUnpackedData() const
{
    return FData != nullptr;
}

bool TGzAnalyzer::IsAnalysedFile(const QString &name) const
{
    for (const QString &analysed : {FAnalysedFile, FUnpackedFile}) {
        if (!analysed.isEmpty() && (analysed == name || IsSameFile(analysed, name)))
            return true;
    }
    return false;
}

void CheckSaveTarget(const QString &destination, const QString &analysedFile, bool replace)
{
    if (!analysedFile.isEmpty()
        && (destination == analysedFile || IsSameFile(destination, analysedFile)))
        throw ECopyError::CreateResFmt(
            N_("Cannot save to \"%s\": it is the analysed file, which would be destroyed."), 0,
            destination);
    // Devices and FIFOs are written, not replaced.
    if (!QFileInfo(destination).isFile())
        return;
    if (!replace)
        throw ECopyError::CreateResFmt(N_("Cannot save to \"%s\": the file exists."), 0,
                                       destination);
    RefuseWriteProtected(destination);
}

QIODevice *TGzAnalyzer::UnpackedData()
{
    if (!FData)
        return nullptr;
    FData->Device().seek(0);
    return &FData->Device();
}

void TGzAnalyzer::SaveUnpackedData(const QString &destination, bool replace)
{
    if (!FData)
        throw ECopyError::CreateResFmt(N_("There is no unpacked data to save."), 0);
    CheckSaveTarget(destination, FUnpackedFile, replace);
    CheckSaveTarget(destination, FAnalysedFile, replace);
    if (!FDataDestination.isEmpty() && SamePath(FDataDestination, destination)) {
        // Written beside the destination already: it only gets its name.
        const std::unique_ptr<TPendingFile> data = std::move(FData);
        FDataDestination.clear();
        try {
            data->Commit();
        } catch (const EExtFileStreamError &error) {
            throw ECopyError(error.Message(), error.ErrorCode);
        }
        return;
    }
    CopyData(*UnpackedData(), destination);
}

std::unique_ptr<TPendingFile> TGzAnalyzer::NewDataFile(const TGzFileInfo &info,
                                                       const QString &destination, int &code,
                                                       QString &path, int &systemError)
{
    code = UnpackOk;
    systemError = 0;
    path = destination;
    if (destination.isEmpty() && FTarget == TDataTarget::CountOnly)
        return nullptr;
    std::unique_ptr<TPendingFile> data;
    try {
        data = destination.isEmpty() ? TPendingFile::CreateScratch()
                                     : TPendingFile::CreateBeside(destination);
    } catch (const EExtFileStreamError &error) {
        code = UnpackCreateError;
        systemError = error.ErrorCode;
        if (path.isEmpty())
            path = QDir::toNativeSeparators(QDir::tempPath());
        return nullptr;
    }
    if (path.isEmpty())
        path = QDir::toNativeSeparators(data->Folder());
    const QStorageInfo storage(data->Folder());
    if (info.USizeStored && storage.isValid() && storage.bytesAvailable() >= 0
        && storage.bytesAvailable() < info.USize) {
        code = UnpackLowDiskSpace;
        return nullptr;
    }
    return data;
}

void TGzAnalyzer::Fail(TAnalysisReport &report, TAnalysisStage stage, quint32 code,
                       const char *message)
{
    Fail(report, stage, code, Translate(message), QString::fromUtf8(message));
}

void TGzAnalyzer::Fail(TAnalysisReport &report, TAnalysisStage stage, quint32 code,
                       const QString &message, const QString &englishText)
{
    report.Stage = stage;
    report.ErrorCode = code;
    report.Message = message;
    if (report.ErrorText.isEmpty()) {
        report.ErrorText = message;
        report.ErrorTextEnglish = englishText;
    }
}

TAnalysisReport TGzAnalyzer::AnalyzeFile(const QString &fileName, IPasswordProvider &passwords,
                                         foundation::IProgressMonitor *monitor)
{
    TAnalysisReport report = Analyze(fileName, passwords, monitor);
    report.Verdict = packprobe::JudgeGzFile(VerdictInputOf(report));
    return report;
}

TAnalysisReport TGzAnalyzer::Analyze(const QString &fileName, IPasswordProvider &passwords,
                                     foundation::IProgressMonitor *monitor)
{
    TAnalysisReport report;
    report.FileName = fileName;
    const QFileInfo file(fileName);
    if (fileName.isEmpty() || !file.exists()) {
        report.ListsCleared = false;
        Fail(report, TAnalysisStage::FileNotFound, FileNotFoundCode, N_("File not found!"));
        return report;
    }
    // A folder cannot be read as a file, and opening a FIFO would wait for
    // a writer that may never come.
    if (!file.isFile()) {
        report.ListsCleared = false;
        Fail(report, TAnalysisStage::NotRegularFile, NotRegularFileCode, N_("Not a regular file!"));
        return report;
    }
    FAnalysedFile = fileName;

    try {
        TGzFileInfo info;
        int code = 0;
        if (!ReadGzInfo(fileName, info, &code)) {
            Fail(report, TAnalysisStage::HeaderError, quint32(code), N_("Error reading gz header!"));
            return report;
        }
        report.Header = info;
        report.SaveName = SafeSaveName(info.Filename);
        ReadHeaderRows(report);
        if (!ReadTrailerRows(report))
            return report;
    } catch (const EExtFileStreamError &error) {
        // Locked or unreadable: the system's reason, with the file's name.
        Fail(report, TAnalysisStage::OpenError, OpenErrorCode, error.Message(),
             error.EnglishMessage());
        return report;
    }
    Unpack(report, passwords, monitor);
    if (report.Succeeded())
        CheckFurtherMember(report);
    return report;
}

void TGzAnalyzer::CheckFurtherMember(TAnalysisReport &report) const
{
    // Only plain data shows where its deflate stream ends in the file; the
    // first member's own trailer lies between it and the next member.
    // The bytes after the stream hold the first trailer and the next member
    // but for the last trailer, which is the file's.
    if (report.Header->Encrypted || !report.Facts.StreamEnded
        || report.Facts.BytesAfterStream < SmallestGzMember)
        return;
    const qint64 next = report.Facts.DataStart + report.Computed->CompressedSize + 8;
    report.FurtherMember = GzMemberStartsAt(report.FileName, next);
}

void TGzAnalyzer::ReadHeaderRows(TAnalysisReport &report)
{
    const TGzFileInfo &info = *report.Header;
    auto add = [&report](const char *field, const QString &value) {
        report.HeaderRows.append({Translate(field), value});
    };
    add(N_("Filename"), info.Filename);
    add(N_("Timestamp"), FormatGzTimestamp(info.UnixTime));
    add(N_("Attributes"), AttributeText(info.Attr));
    add(N_("Compressed size"), FormatSizeGrouped(info.CSize));
    add(N_("Uncompressed size"), FormatSizeGrouped(info.USize));
    add(N_("Encrypted"), info.Encrypted ? Translate("yes") : Translate("no"));
    if (info.Encrypted)
        add(N_("Encryption depth"), EncryptionDepthName(info.EncMode));
}

bool TGzAnalyzer::ReadTrailerRows(TAnalysisReport &report)
{
    TAnalysisReport::TTrailer trailer;
    if (!ReadGzTrailer(report.FileName, trailer.Checksum, trailer.Size)) {
        Fail(report, TAnalysisStage::TrailerError, TrailerErrorCode, N_("Error reading gz trailer!"));
        return false;
    }
    report.Trailer = trailer;
    if (!report.Header->Encrypted)
        report.TrailerRows.append({Translate("Checksum"), FormatChecksum(trailer.Checksum)});
    report.TrailerRows.append({Translate("Size mod 2^32"), FormatSizeGrouped(trailer.Size)});
    return true;
}

void TGzAnalyzer::Unpack(TAnalysisReport &report, IPasswordProvider &passwords,
                         foundation::IProgressMonitor *monitor)
{
    const bool encrypted = report.Header->Encrypted;
    std::unique_ptr<TEncryption> encryption;
    if (encrypted) {
        QByteArray password;
        const bool given = passwords.AskPassword(report.FileName, password);
        if (!given) {
            WipeBytes(password);
            report.SaveEnabled = false;
            report.ErrorCode = UnpackUserBreak;
            report.ErrorText = Translate("No password");
            report.ErrorTextEnglish = QStringLiteral("No password");
            report.Stage = TAnalysisStage::NoPassword;
            report.DataRows.append({Translate("Error"), report.ErrorText});
            return;
        }
        encryption = std::make_unique<TEncryption>(password, KeyModeFromPassword(password),
                                                   int(UnpackBufferSize));
        WipeBytes(password);
    }

    // The data of an earlier analysis goes now; a file that cannot be
    // unpacked leaves none.
    FData.reset();
    FDataDestination.clear();
    const QString destination = std::exchange(FSaveNextTo, QString());
    TAnalysisReport::TComputed computed;
    TUnpackOptions options;
    options.Monitor = monitor;
    options.Facts = &report.Facts;
    QString dataPath;
    int code = UnpackOk;
    int systemError = 0;
    std::unique_ptr<TPendingFile> data =
        NewDataFile(*report.Header, destination, code, dataPath, systemError);
    if (code == UnpackOk)
        code = UnpackGzData(report.FileName, data ? &data->Device() : nullptr, encryption.get(),
                            computed.Checksum, computed.CompressedSize, computed.UncompressedSize,
                            options);
    encryption.reset();

    report.SaveEnabled = code == UnpackOk && data;
    if (code != UnpackOk) {
        // Output errors name the place that could not take the data.
        const bool output = code == UnpackCreateError || code == UnpackWriteError
                            || code == UnpackLowDiskSpace;
        report.ErrorText = FileErrorText(quint32(code), output ? dataPath : QString());
        {
            const TSourceTextScope english;
            report.ErrorTextEnglish = FileErrorText(quint32(code), output ? dataPath : QString());
        }
        // The system's reason (a missing folder, no permission) tells the user what to change.
        if (systemError != 0) {
            const QString reason = SystemErrorText(systemError);
            report.ErrorText += QLatin1Char(' ') + reason;
            report.ErrorTextEnglish += QLatin1Char(' ') + reason;
        }
        Fail(report, TAnalysisStage::UnpackError, quint32(code),
             Translate("Error unpacking file: ") + report.ErrorText, report.ErrorTextEnglish);
        report.DataRows.append({Translate("Error"), report.ErrorText});
        return;
    }
    FData = std::move(data);
    if (FData)
        FDataDestination = destination;
    FUnpackedFile = report.FileName;
    report.Stage = TAnalysisStage::Done;
    report.Computed = computed;
    if (!encrypted)
        report.DataRows.append({Translate("Checksum"), FormatChecksum(computed.Checksum)});
    report.DataRows.append({Translate("Compressed size"), FormatSizeGrouped(computed.CompressedSize)});
    report.DataRows.append(
        {Translate("Uncompressed size"), FormatSizeGrouped(computed.UncompressedSize)});
}

} // namespace packprobe
