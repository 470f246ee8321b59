#pragma once

#include "packprobe/core/ExtFileTools.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace foundation {
class IProgressMonitor;
}
class QTemporaryDir;

// The analysis of one gz file: header, trailer and what unpacking the data
// yields, as report rows and the message to show, so that a window or the
// command line only renders them.

// Asked once per analysis of an encrypted file.
class IPasswordProvider
{
public:
    virtual ~IPasswordProvider() = default;
    // The password as bytes of the legacy 8-bit code page; false when the
    // user gives none (the analysis then reports "No password").
    virtual bool askPassword(const QString &fileName, QByteArray &password) = 0;
};

struct TReportRow
{
    QString Field;
    QString Value;
};

// How far an analysis got.
enum class TAnalysisStage {
    FileNotFound,   // nothing read; the lists keep their contents
    OpenError,      // the file exists but cannot be opened
    HeaderError,    // "Error reading gz header!"
    TrailerError,   // "Error reading gz trailer!"
    NoPassword,     // encrypted, no password given
    UnpackError,    // "Error unpacking file: ..."
    Done            // unpacked
};

struct TAnalysisReport
{
    QString FileName;
    TAnalysisStage Stage = TAnalysisStage::FileNotFound;

    std::optional<TGzFileInfo> Header;
    struct TTrailer
    {
        quint32 Checksum = 0;
        quint32 Size = 0;
    };
    std::optional<TTrailer> Trailer;
    struct TComputed
    {
        quint32 Checksum = 0;   // 0 for an encrypted file
        qint64 CompressedSize = 0;
        qint64 UncompressedSize = 0;
    };
    std::optional<TComputed> Computed;

    // File error code of the failure (14 file not found, 2 cannot open, the
    // header reader's 8 or 4, 4 for the trailer, the unpacking's code, 128
    // for no password); 0 when the analysis succeeded.
    quint32 ErrorCode = 0;
    // The "Error" row's value or the message's text without its lead-in.
    QString ErrorText;
    // The message to show, empty when there is none.
    QString Message;

    QList<TReportRow> HeaderRows;
    QList<TReportRow> TrailerRows;
    QList<TReportRow> DataRows;

    // false when the lists keep their previous contents (file not found).
    bool ListsCleared = true;
    // The save button: nullopt leaves it as it was, else enabled or not.
    std::optional<bool> SaveEnabled;
    // The save name to offer: the last path component of the stored name.
    QString SaveName;

    bool succeeded() const { return Stage == TAnalysisStage::Done; }
};

// The row texts (shared with the window).
QString FormatGzTimestamp(quint32 unixTime);
QString FormatChecksum(quint32 checksum);
QString FormatSizeGrouped(qint64 size);
QString EncryptionDepthName(qint32 encMode);
// The last component of a stored name, whatever separators it uses; empty
// for a name that has none usable ("", ".", "..").
QString SafeSaveName(const QString &storedName);

// Owns the private scratch folder (owner-only, unique per analyzer) and the
// unpacked data of the last successful analysis.
class TGzAnalyzer
{
public:
    TGzAnalyzer();
    ~TGzAnalyzer();

    TGzAnalyzer(const TGzAnalyzer &) = delete;
    TGzAnalyzer &operator=(const TGzAnalyzer &) = delete;

    TAnalysisReport AnalyzeFile(const QString &fileName, IPasswordProvider &passwords,
                                foundation::IProgressMonitor *monitor = nullptr);

    // The scratch file holding the last unpacked data (empty when the private
    // folder cannot be made).
    QString ScratchFile() const;
    // True after a successful unpacking.
    bool HasUnpackedData() const { return m_hasData; }
    // Copies the unpacked data to destination (CopyFileData); throws
    // ECopyError on failure, and when nothing has been unpacked.
    void SaveUnpackedData(const QString &destination) const;

private:
    void ReadHeaderRows(TAnalysisReport &report);
    bool ReadTrailerRows(TAnalysisReport &report);
    void Unpack(TAnalysisReport &report, IPasswordProvider &passwords, foundation::IProgressMonitor *monitor);
    void Fail(TAnalysisReport &report, TAnalysisStage stage, quint32 code, const QString &message);

    std::unique_ptr<QTemporaryDir> m_scratchFolder;
    bool m_hasData = false;
};
