#include "packprobe/core/VerifyCli.h"

#include "packprobe/core/GzReport.h"
#include "packprobe/core/GzVerify.h"

#include "foundation/LangUtils.h"
#include "foundation/NumberUtils.h"
#include "foundation/StringUtils.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace packprobe {

using namespace foundation;

namespace {

QString StateWord(TVerdictState state)
{
    return Translate(VerdictStateKey(state));
}

// Wide enough for the longest state word of the language, so the names line up.
int StateColumnWidth()
{
    int width = 0;
    for (const TVerdictState state : {TVerdictState::Intact, TVerdictState::Truncated,
                                      TVerdictState::Mismatch, TVerdictState::Error})
        width = qMax(width, int(StateWord(state).size()));
    return width + 1;
}

QString Size(qint64 bytes)
{
    return FormatSize(false, false, QChar(), bytes);
}

QString Duration(qint64 milliseconds)
{
    const qint64 seconds = (milliseconds + 500) / 1000;
    if (seconds < 60)
        return SafeFormat(Translate("%.2f s"), double(milliseconds) / 1000.0);
    return SafeFormat(Translate("%d min %d s"), seconds / 60, seconds % 60);
}

// Prints results and the progress line. The progress line lives on err and
// is cleared before anything else is printed.
class TVerifyPrinter final : public IVerifyListener
{
public:
    TVerifyPrinter(const TVerifyCommand &command, QTextStream &out, QTextStream &err)
        : FCommand(command), FOut(out), FErr(err)
    {
        FClock.start();
    }
    void FileChecked(const TAnalysisReport &report) override
    {
        ClearProgress();
        if (FCommand.Json)
            FOut << QString::fromUtf8(FormatReportJson(report, QJsonDocument::Compact));
        else
            FOut << VerifyLine(report);
        FOut << '\n';
        FOut.flush();
    }
    void Progress(int filesDone, int files, qint64 bytesDone, qint64 bytes) override
    {
        if (!FCommand.ShowProgress)
            return;
        const double seconds = qMax(0.001, double(FClock.elapsed()) / 1000.0);
        const double rate = double(bytesDone) / seconds;
        QString line = SafeFormat(Translate("%d of %d files, %s of %s, %s/s"), filesDone, files,
                                  Size(bytesDone), Size(bytes), Size(qint64(rate)));
        if (rate > 0 && bytesDone > 0 && bytesDone < bytes)
            line += SafeFormat(Translate(", %s left"),
                               Duration(qint64(double(bytes - bytesDone) / rate * 1000.0)));
        FErr << "\r\x1b[K" << line;
        FErr.flush();
        FShown = true;
    }
    void ClearProgress()
    {
        if (!FShown)
            return;
        FErr << "\r\x1b[K";
        FErr.flush();
        FShown = false;
    }

private:
    const TVerifyCommand &FCommand;
    QTextStream &FOut;
    QTextStream &FErr;
    QElapsedTimer FClock;
    bool FShown = false;
};

} // namespace

QString VerifyLine(const TAnalysisReport &report)
{
    const TGzVerdict &verdict = report.Verdict;
    QString line = StateWord(verdict.State).leftJustified(StateColumnWidth()) + QLatin1Char(' ')
                   + EscapeControlChars(report.FileName);
    if (report.Computed)
        line += SafeFormat(Translate("  %s -> %s bytes"),
                           FormatGrouped(0, 3, false, report.Computed->CompressedSize),
                           FormatGrouped(0, 3, false, report.Computed->UncompressedSize));
    // The state word says it all for intact and truncated files.
    if (verdict.State == TVerdictState::Error)
        line += QStringLiteral(": ") + (report.ErrorText.isEmpty() ? report.Message : report.ErrorText);
    else if (verdict.State == TVerdictState::Mismatch)
        line += QStringLiteral(": ") + MismatchNamesText(verdict);
    return line;
}

QString VerifySummaryText(const TVerifyTotals &totals)
{
    QString text;
    if (totals.Interrupted)
        text += SafeFormat(Translate("Interrupted: %d of %d files checked."), totals.Files,
                           totals.Planned)
                + QLatin1Char('\n');
    const QString files =
        PluralText(QString(), Translate("1 file"), Translate("%u files"), totals.Files, true);
    // Each count in its own form: languages differ in which numbers take the
    // plural (French writes 0 and 1 alike).
    const QString intact = PluralText(Translate("0 intact"), Translate("1 intact"),
                                      Translate("%u intact"), totals.Intact, true);
    const QString truncated = PluralText(Translate("0 truncated"), Translate("1 truncated"),
                                         Translate("%u truncated"), totals.Truncated, true);
    const QString mismatched = PluralText(Translate("0 mismatched"), Translate("1 mismatched"),
                                          Translate("%u mismatched"), totals.Mismatched, true);
    const QString failed = PluralText(Translate("0 failed"), Translate("1 failed"),
                                      Translate("%u failed"), totals.Failed, true);
    // TRANSLATORS: the numbers of files, then of intact, truncated,
    // mismatched and failed files, then the size checked and the time taken.
    text += SafeFormat(Translate("%s: %s, %s, %s, %s; %s checked in %s"), files, intact, truncated,
                       mismatched, failed, Size(totals.Bytes), Duration(totals.Milliseconds));
    return text;
}

QByteArray VerifySummaryJson(const TVerifyTotals &totals)
{
    const QJsonObject summary{
        {QStringLiteral("files"), totals.Files},
        {QStringLiteral("planned"), totals.Planned},
        {QStringLiteral("intact"), totals.Intact},
        {QStringLiteral("truncated"), totals.Truncated},
        {QStringLiteral("mismatch"), totals.Mismatched},
        {QStringLiteral("error"), totals.Failed},
        {QStringLiteral("bytes"), totals.Bytes},
        {QStringLiteral("seconds"), double(totals.Milliseconds) / 1000.0},
        {QStringLiteral("interrupted"), totals.Interrupted},
    };
    return QJsonDocument(QJsonObject{{QStringLiteral("summary"), summary}})
        .toJson(QJsonDocument::Compact);
}

int RunVerifyCommand(const TVerifyCommand &command, IPasswordProvider &passwords,
                     const std::atomic<bool> &stop, QTextStream &out, QTextStream &err)
{
    const TVerifyPlan plan = PlanVerify(command.Paths);
    if (plan.Files.isEmpty()) {
        err << Translate("No .gz or .gze files found.") << '\n';
        err.flush();
        return 1;
    }
    TVerifyPrinter printer(command, out, err);
    const TVerifyTotals totals = RunVerify(plan, passwords, command.Jobs, stop, printer);
    printer.ClearProgress();
    if (command.Json)
        out << QString::fromUtf8(VerifySummaryJson(totals)) << '\n';
    else
        out << VerifySummaryText(totals) << '\n';
    out.flush();
    return totals.AllIntact() ? 0 : 1;
}

} // namespace packprobe
