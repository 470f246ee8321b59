#pragma once

#include "packprobe/core/GzAnalysis.h"

#include <QString>
#include <QStringList>

#include <atomic>

// Checking a whole backup set: every gz file of the given files and folders
// is analysed without saving anything, several at a time, each in bounded
// memory. The command line (--verify) prints what this reports.

namespace packprobe {

// The files of one check and their sizes when it was planned.
struct TVerifyPlan
{
    QStringList Files;   // in the order given; folders searched, sorted by path
    QList<qint64> Sizes; // Sizes[i] belongs to Files[i]; 0 for a file that is not there
    qint64 TotalBytes = 0;
};

// Files are taken as given (also when they do not exist: the check then
// reports them as not found); folders are searched recursively for files
// ending in ".gz" or ".gze" (any letter case), without following links. A
// file named twice is checked once.
TVerifyPlan PlanVerify(const QStringList &paths);

// The tally of one check.
struct TVerifyTotals
{
    int Planned = 0;    // files of the plan
    int Files = 0;      // files checked to the end
    int Intact = 0;
    int Truncated = 0;
    int Mismatched = 0;
    int Failed = 0;     // verdict error
    qint64 Bytes = 0;   // bytes of the checked files
    qint64 Milliseconds = 0;
    bool Interrupted = false; // stopped before every file was checked

    bool AllIntact() const { return !Interrupted && Intact == Files && Files == Planned; }
};

// Told about the check as it goes, one call at a time (the calls come from
// the checking threads but never overlap).
class IVerifyListener
{
public:
    virtual ~IVerifyListener() = default;
    // One file was checked to the end; files are told in the order of the
    // plan (after a stop, with gaps for the files that were dropped).
    virtual void FileChecked(const TAnalysisReport &report) = 0;
    // Files and bytes done so far; called at most a few times a second.
    virtual void Progress(int filesDone, int files, qint64 bytesDone, qint64 bytes) = 0;
};

// Checks the files of the plan with jobs threads (0 or less: one per core).
// passwords is asked at most once, before the checking starts, when one of
// the files is encrypted (only headers are read to find out); its answer is
// used for every encrypted file. Setting stop ends the check
// early: files being checked are dropped, the totals say Interrupted.
TVerifyTotals RunVerify(const TVerifyPlan &plan, IPasswordProvider &passwords, int jobs,
                        const std::atomic<bool> &stop, IVerifyListener &listener);

} // namespace packprobe
