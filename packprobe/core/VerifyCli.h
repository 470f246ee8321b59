#pragma once

#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzVerify.h"

#include <QStringList>

#include <atomic>

class QTextStream;

// packprobe --verify PATH... [--json] [-j N]: checks a whole backup set and
// prints one line per file (verdict, name, sizes, and the error or mismatch
// where there is one), then a summary. With json every file is one line
// holding the --report --json object, and the summary the last line.

namespace packprobe {

struct TVerifyCommand
{
    QStringList Paths;
    bool Json = false;
    int Jobs = 0;              // 0: one per core
    bool ShowProgress = false; // a progress line on err (a terminal)
};

// Runs the check; stop (Ctrl+C) ends it early with a summary of what was
// checked. 0 when every file is intact, 1 otherwise.
int RunVerifyCommand(const TVerifyCommand &command, IPasswordProvider &passwords,
                     const std::atomic<bool> &stop, QTextStream &out, QTextStream &err);

// The parts of the text output, for tests and the window alike.
QString VerifyLine(const TAnalysisReport &report);
QString VerifySummaryText(const TVerifyTotals &totals);
QByteArray VerifySummaryJson(const TVerifyTotals &totals);

} // namespace packprobe
