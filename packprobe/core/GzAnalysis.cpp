#include "packprobe/core/GzAnalysis.h"

#include "packprobe/core/AesLib.h"
#include "packprobe/core/GzUnpack.h"

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
#include <QTemporaryDir>
#include <QTime>

namespace {

constexpr qint32 SaveBufferSize = 0x40000;
constexpr quint32 FileNotFoundCode = 14;
constexpr quint32 OpenErrorCode = 2;
constexpr quint32 TrailerErrorCode = 4;
constexpr char ScratchName[] = "GzUnpack.tmp";

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

TGzAnalyzer::TGzAnalyzer() = default;

TGzAnalyzer::~TGzAnalyzer()
{
    if (m_scratchFolder)
        QFile::remove(ScratchFile());
}

QString TGzAnalyzer::ScratchFile() const
{
    if (!m_scratchFolder || !m_scratchFolder->isValid())
        return QString();
    return m_scratchFolder->filePath(QString::fromLatin1(ScratchName));
}

void TGzAnalyzer::SaveUnpackedData(const QString &destination) const
{
    if (!m_hasData)
        throw ECopyError(Translate("There is no unpacked data to save."), 0);
    CopyFileData(ScratchFile(), destination, -1, SaveBufferSize);
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

    if (!m_scratchFolder) {
        m_scratchFolder = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("packprobe-XXXXXX")));
        if (m_scratchFolder->isValid())
            QFile::setPermissions(m_scratchFolder->path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ExeOwner);
    }
    m_hasData = false;
    TAnalysisReport::TComputed computed;
    const QString scratch = ScratchFile();
    const int code = scratch.isEmpty()
                         ? UnpackCreateError
                         : UnpackGzFile(report.FileName, scratch, encryption.get(), computed.Checksum,
                                        computed.CompressedSize, computed.UncompressedSize,
                                        TUnpackOptions{monitor});
    encryption.reset();

    report.SaveEnabled = code == UnpackOk;
    if (code != UnpackOk) {
        report.ErrorText = FileErrorText(quint32(code));
        Fail(report, TAnalysisStage::UnpackError, quint32(code),
             Translate("Error unpacking file: ") + report.ErrorText);
        report.DataRows.append({Translate("Error"), report.ErrorText});
        return;
    }
    m_hasData = true;
    report.Stage = TAnalysisStage::Done;
    report.Computed = computed;
    if (!encrypted)
        report.DataRows.append({Translate("Checksum"), FormatChecksum(computed.Checksum)});
    report.DataRows.append({Translate("Compressed size"), FormatSizeGrouped(computed.CompressedSize)});
    report.DataRows.append(
        {Translate("Uncompressed size"), FormatSizeGrouped(computed.UncompressedSize)});
}
