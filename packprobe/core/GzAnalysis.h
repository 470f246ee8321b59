#pragma once

#include "packprobe/core/ExtFileTools.h"
#include "packprobe/core/GzUnpack.h"
#include "packprobe/core/GzVerdict.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace foundation {
class IProgressMonitor;
}
class QIODevice;

namespace packprobe {

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
    virtual bool AskPassword(const QString &fileName, QByteArray &password) = 0;
};

struct TReportRow
{
    QString Field;
    QString Value;
};

// How far an analysis got.
enum class TAnalysisStage {
    FileNotFound,   // nothing read; the lists keep their contents
    NotRegularFile, // a folder, FIFO or device: never opened; the lists keep their contents
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
    // The "Error" row's value or the message's text without its lead-in,
    // translated and in English (for output that scripts read).
    QString ErrorText;
    QString ErrorTextEnglish;
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

    // What unpacking saw besides the rows (filled when Stage is Done).
    TUnpackFacts Facts;
    // A further gzip member follows the first member's trailer.
    bool FurtherMember = false;
    // Whether the file can be trusted; every analysis has one.
    packprobe::TGzVerdict Verdict;

    bool Succeeded() const { return Stage == TAnalysisStage::Done; }
};

// The row texts (shared with the window).
QString FormatGzTimestamp(quint32 unixTime);
QString FormatChecksum(quint32 checksum);
QString FormatSizeGrouped(qint64 size);
QString EncryptionDepthName(qint32 encMode);
// The last component of a stored name, whatever separators it uses; empty
// for a name that has none usable ("", ".", "..").
QString SafeSaveName(const QString &storedName);

// What an analysis does with the unpacked data.
enum class TDataTarget {
    CountOnly, // nothing is written: checksum and sizes only
    Scratch    // kept as unnamed scratch data until it is saved or replaced
};

class TPendingFile;

// Throws ECopyError when the unpacked data of analysedFile must not be saved
// to destination: it is analysedFile itself however it is spelt (links,
// other spellings of the path), or an existing file while replace is false,
// or an existing file that is write-protected (also with replace; the
// message gives the system's reason). Devices and FIFOs are written in
// place and pass.
void CheckSaveTarget(const QString &destination, const QString &analysedFile, bool replace);

// Analyses gz files and keeps the unpacked data of the last successful one.
//
// The window: AnalyzeFile (target Scratch), then SaveUnpackedData(path) when
// the user saves; the scratch data has no name on disk (PendingFile.h) and
// goes with the analyzer or the next analysis.
// The command line: target CountOnly for a report (nothing is written), or
// SaveNextTo(path) before AnalyzeFile and SaveUnpackedData(path) after it:
// the data is then written once, straight into its destination's folder, and
// appears under its name only when it is saved.
class TGzAnalyzer
{
public:
    explicit TGzAnalyzer(TDataTarget target = TDataTarget::Scratch);
    ~TGzAnalyzer();

    TGzAnalyzer(const TGzAnalyzer &) = delete;
    TGzAnalyzer &operator=(const TGzAnalyzer &) = delete;

    // Cancelling through the monitor ends the analysis with code 128
    // ("Terminated by user") and keeps no data.
    TAnalysisReport AnalyzeFile(const QString &fileName, IPasswordProvider &passwords,
                                foundation::IProgressMonitor *monitor = nullptr);

    // The next analysis writes its data beside destination (see above).
    void SaveNextTo(const QString &destination);

    // True after a successful unpacking whose data is kept.
    bool HasUnpackedData() const;
    // The unpacked data for reading, positioned at its start; nullptr when
    // there is none.
    QIODevice *UnpackedData();
    // Saves the unpacked data to destination, replacing a file of that name;
    // the file appears only when it is complete. Throws ECopyError on failure
    // ("Low disk space" with the path when the disk fills; nothing is left
    // behind), and when nothing has been unpacked.
    // Refused (ECopyError, see CheckSaveTarget) for the analysed file under
    // any name, an existing file unless replace, a write-protected one always;
    // every failure gives the system's reason.
    void SaveUnpackedData(const QString &destination, bool replace = false);
    // True when name denotes the file analysed last or the one whose data
    // is kept, however it is spelt (links, other spellings of the path).
    bool IsAnalysedFile(const QString &name) const;

private:
    TAnalysisReport Analyze(const QString &fileName, IPasswordProvider &passwords,
                            foundation::IProgressMonitor *monitor);
    void ReadHeaderRows(TAnalysisReport &report);
    bool ReadTrailerRows(TAnalysisReport &report);
    void Unpack(TAnalysisReport &report, IPasswordProvider &passwords,
                foundation::IProgressMonitor *monitor);
    // The file for the data of this analysis (nullptr for CountOnly); sets
    // the code, the path for messages and the system's error number when it
    // cannot be made.
    std::unique_ptr<packprobe::TPendingFile> NewDataFile(const TGzFileInfo &info,
                                                         const QString &destination, int &code,
                                                         QString &path, int &systemError);
    void Fail(TAnalysisReport &report, TAnalysisStage stage, quint32 code, const char *message);
    void Fail(TAnalysisReport &report, TAnalysisStage stage, quint32 code, const QString &message,
              const QString &englishText);
    void CheckFurtherMember(TAnalysisReport &report) const;

    const TDataTarget FTarget;
    QString FSaveNextTo;
    std::unique_ptr<packprobe::TPendingFile> FData;
    QString FDataDestination; // the destination FData was made beside
    QString FAnalysedFile;    // the file analysed last
    QString FUnpackedFile;    // the file whose data FData holds
};

} // namespace packprobe
