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

using packprobe::TPendingFile;

namespace {

constexpr qint64 SaveBufferSize = 0x80000;
constexpr quint32 FileNotFoundCode = 14;
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
        throw ECopyError(error.message(), error.ErrorCode);
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
        throw ECopyError(error.message(), error.ErrorCode);
    }
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

TGzAnalyzer::TGzAnalyzer(TDataTarget target) : m_target(target) {}

TGzAnalyzer::~TGzAnalyzer() = default;

void TGzAnalyzer::SaveNextTo(const QString &destination)
{
    m_saveNextTo = destination;
}

bool TGzAnalyzer::HasUnpackedData() const
{
    return m_data != nullptr;
}

QIODevice *TGzAnalyzer::UnpackedData()
{
    if (!m_data)
        return nullptr;
    m_data->Device().seek(0);
    return &m_data->Device();
}

void TGzAnalyzer::SaveUnpackedData(const QString &destination)
{
    if (!m_data)
        throw ECopyError(Translate("There is no unpacked data to save."), 0);
    if (!m_dataDestination.isEmpty() && SamePath(m_dataDestination, destination)) {
        // Written beside the destination already: it only gets its name.
        const std::unique_ptr<TPendingFile> data = std::move(m_data);
        m_dataDestination.clear();
        try {
            data->Commit();
        } catch (const EExtFileStreamError &error) {
            throw ECopyError(error.message(), error.ErrorCode);
        }
        return;
    }
    CopyData(*UnpackedData(), destination);
}

std::unique_ptr<TPendingFile> TGzAnalyzer::NewDataFile(const TGzFileInfo &info,
                                                       const QString &destination, int &code,
                                                       QString &path)
{
    code = UnpackOk;
    path = destination;
    if (destination.isEmpty() && m_target == TDataTarget::CountOnly)
        return nullptr;
    std::unique_ptr<TPendingFile> data;
    try {
        data = destination.isEmpty() ? TPendingFile::CreateScratch()
                                     : TPendingFile::CreateBeside(destination);
    } catch (const EExtFileStreamError &) {
        code = UnpackCreateError;
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
                       const QString &message)
{
    report.Stage = stage;
    report.ErrorCode = code;
    report.Message = message;
    if (report.ErrorText.isEmpty())
        report.ErrorText = message;
}

TAnalysisReport TGzAnalyzer::AnalyzeFile(const QString &fileName, IPasswordProvider &passwords,
                                         foundation::IProgressMonitor *monitor)
{
    TAnalysisReport report;
    report.FileName = fileName;
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile()) {
        report.ListsCleared = false;
        Fail(report, TAnalysisStage::FileNotFound, FileNotFoundCode, Translate("File not found!"));
        return report;
    }

    try {
        TGzFileInfo info;
        int code = 0;
        if (!ReadGzInfo(fileName, info, &code)) {
            Fail(report, TAnalysisStage::HeaderError, quint32(code),
                 Translate("Error reading gz header!"));
            return report;
        }
        report.Header = info;
        report.SaveName = SafeSaveName(info.Filename);
        ReadHeaderRows(report);
        if (!ReadTrailerRows(report))
            return report;
    } catch (const EExtFileStreamError &error) {
        // Locked or unreadable: the system's reason, with the file's name.
        Fail(report, TAnalysisStage::OpenError, OpenErrorCode, error.message());
        return report;
    }
    Unpack(report, passwords, monitor);
    return report;
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
        Fail(report, TAnalysisStage::TrailerError, TrailerErrorCode,
             Translate("Error reading gz trailer!"));
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
        const bool given = passwords.askPassword(report.FileName, password);
        if (!given) {
            WipeBytes(password);
            report.SaveEnabled = false;
            report.ErrorCode = UnpackUserBreak;
            report.ErrorText = Translate("No password");
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
    m_data.reset();
    m_dataDestination.clear();
    const QString destination = std::exchange(m_saveNextTo, QString());
    TAnalysisReport::TComputed computed;
    QString dataPath;
    int code = UnpackOk;
    std::unique_ptr<TPendingFile> data = NewDataFile(*report.Header, destination, code, dataPath);
    if (code == UnpackOk)
        code = UnpackGzData(report.FileName, data ? &data->Device() : nullptr, encryption.get(),
                            computed.Checksum, computed.CompressedSize, computed.UncompressedSize,
                            TUnpackOptions{monitor});
    encryption.reset();

    report.SaveEnabled = code == UnpackOk && data;
    if (code != UnpackOk) {
        // Output errors name the place that could not take the data.
        const bool output = code == UnpackCreateError || code == UnpackWriteError
                            || code == UnpackLowDiskSpace;
        report.ErrorText = FileErrorText(quint32(code), output ? dataPath : QString());
        Fail(report, TAnalysisStage::UnpackError, quint32(code),
             Translate("Error unpacking file: ") + report.ErrorText);
        report.DataRows.append({Translate("Error"), report.ErrorText});
        return;
    }
    m_data = std::move(data);
    if (m_data)
        m_dataDestination = destination;
    report.Stage = TAnalysisStage::Done;
    report.Computed = computed;
    if (!encrypted)
        report.DataRows.append({Translate("Checksum"), FormatChecksum(computed.Checksum)});
    report.DataRows.append({Translate("Compressed size"), FormatSizeGrouped(computed.CompressedSize)});
    report.DataRows.append(
        {Translate("Uncompressed size"), FormatSizeGrouped(computed.UncompressedSize)});
}
