// Scan, listing and in-place recovery of a large mail folder, measured
// against peers in the same run: the scan against `wc -l` of the same file,
// the listing (scan with Date/From/Subject decoded) against the scan, the
// recovery (scan, digit writes and the flush) against `cp` (and `cp`
// followed by a sync); and the peak memory of the command line program, also
// on a folder with one million deleted mails.
//
//   MAILMEND_BENCH_SIZE_MB   folder size in MiB (default 1024)
//   MAILMEND_BENCH_DIR       where the folders are generated (default: temp)
//   MAILMEND_BENCH_RUNS      repetitions, best time counts (default 3)
//   MAILMEND_BENCH_MILLION=0 skips the folder with one million deleted mails
//   bench_MailFolder --generate FILE SIZE_MB [crlf]   only writes a folder

#include "bench/MailFolderGenerator.h"
#include "mailmend/core/MailFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

using namespace foundation;
using namespace mailmend;

namespace {

int Runs()
{
    bool ok = false;
    const int runs = qEnvironmentVariableIntValue("MAILMEND_BENCH_RUNS", &ok);
    return ok && runs > 0 ? runs : 3;
}

// Processor time (user + system) of this process and its finished children.
double CpuSeconds()
{
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage usage;
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                 + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

// Wall-clock and processor seconds. On a busy machine the wall-clock time
// mostly measures the wait for a processor; the processor time does not.
struct TTiming
{
    double Wall = 1e30;
    double Cpu = 1e30;
};

// Best of the runs; prepare runs untimed before each.
TTiming Best(const std::function<void()> &work, const std::function<void()> &prepare = {})
{
    TTiming best;
    for (int i = 0; i < Runs(); ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        const double cpu = CpuSeconds();
        timer.start();
        work();
        best.Wall = std::min(best.Wall, double(timer.nsecsElapsed()) / 1e9);
        best.Cpu = std::min(best.Cpu, CpuSeconds() - cpu);
    }
    return best;
}

void Report(const char *name, const TTiming &t, const TTiming *peer = nullptr, const char *peerName = nullptr)
{
    std::printf("  %-22s %7.3f s wall %7.3f s cpu", name, t.Wall, t.Cpu);
    if (peer)
        std::printf("   %5.2fx / %5.2fx %s", t.Wall / peer->Wall, t.Cpu / peer->Cpu, peerName);
    std::printf("\n");
}

bool Run(const QString &program, const QStringList &arguments, const QString &outputFile = QString())
{
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    else
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

double PeakRssMiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void Copy(const QString &from, const QString &to)
{
    QFile::remove(to);
    Run(QStringLiteral("cp"), {from, to});
}

// Peak resident memory (MiB) and wall seconds of the command line program
// on a folder, measured by time(1); negative when either is missing.
std::pair<double, double> MeasureProgram(const QStringList &arguments)
{
    const QString mailmend = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mailmend"));
    if (!QFileInfo(mailmend).isExecutable() || !QFileInfo::exists(QStringLiteral("/usr/bin/time")))
        return {-1, -1};
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("/usr/bin/time"), QStringList{QStringLiteral("-f"), QStringLiteral("%M %e"), mailmend} + arguments);
    process.waitForFinished(-1);
    const QStringList measured =
        QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split(u'\n').last().split(u' ');
    if (measured.size() != 2)
        return {-1, -1};
    return {measured[0].toDouble() / 1024.0, measured[1].toDouble()};
}

// A copy whose data is on the disk, so that the flush of a recovery writes
// only its own changes.
void DurableCopy(const QString &from, const QString &to)
{
    Copy(from, to);
    Run(QStringLiteral("sync"), {to});
}

void BenchVariant(const QString &folder, qint64 size, bool crlf)
{
    const QString original = QDir(folder).filePath(crlf ? QStringLiteral("InboxCrLf") : QStringLiteral("InboxLf"));
    const QString work = QDir(folder).filePath(QStringLiteral("Work"));
    const QString copy = QDir(folder).filePath(QStringLiteral("Copy"));
    QElapsedTimer timer;
    timer.start();
    const TMailFolderStats stats = TMailFolderGenerator(crlf).Write(original, size);
    std::printf("\n%s line ends: %.0f MiB, %lld mails, %lld deleted (generated in %.1f s)\n", crlf ? "CR LF" : "LF",
                double(stats.Bytes) / 1048576.0, qlonglong(stats.Mails), qlonglong(stats.Deleted),
                double(timer.elapsed()) / 1000.0);
    std::fflush(stdout);

    Run(QStringLiteral("wc"), {QStringLiteral("-l"), original}); // page cache warm for everyone
    const TTiming wc = Best([&] { Run(QStringLiteral("wc"), {QStringLiteral("-l"), original}); });
    TScanResult scan;
    const TTiming scanTime = Best([&] { scan = ScanMailFolder(original); });
    TScanResult listed;
    const TTiming listTime = Best([&] { listed = ScanMailFolder(original, nullptr, TScanDetail::Summaries); });
    const TTiming cp = Best([&] { Run(QStringLiteral("cp"), {original, copy}); }, [&] { QFile::remove(copy); });
    const TTiming cpSync = Best([&] { Run(QStringLiteral("cp"), {original, copy}) && Run(QStringLiteral("sync"), {copy}); },
                                [&] { QFile::remove(copy); });
    qint64 restored = 0;
    TScanResult workScan;
    const TTiming restore = Best([&] { restored = RestoreMailFolder(workScan, work, false); },
                                 [&] {
                                     DurableCopy(original, work);
                                     workScan = ScanMailFolder(work);
                                 });
    const TTiming both = Best(
        [&] {
            const TScanResult s = ScanMailFolder(work);
            RestoreMailFolder(s, work, false);
        },
        [&] { DurableCopy(original, work); });
    const bool countOk = restored == stats.Deleted && scan.DeletedCount() == stats.Deleted
                         && qint64(listed.Summaries.size()) == stats.Deleted;
    const bool sizeOk = QFileInfo(work).size() == QFileInfo(original).size();

    std::printf("  (ratios: wall / cpu)\n");
    Report("wc -l", wc);
    Report("ScanMailFolder", scanTime, &wc, "wc -l");
    Report("listing (summaries)", listTime, &scanTime, "scan");
    Report("cp", cp);
    Report("cp + sync", cpSync);
    Report("RestoreMailFolder", restore, &cp, "cp");
    Report("scan + restore", both, &cp, "cp");
    Report("", both, &cpSync, "cp + sync");
    std::printf("  result: %lld mails recovered (%s), size %s\n", qlonglong(restored),
                countOk ? "as generated" : "WRONG", sizeOk ? "unchanged" : "WRONG");
    std::fflush(stdout);
    QFile::remove(work);
    QFile::remove(copy);

    // The program on its own: peak memory of listing and recovery.
    const auto listed1 = MeasureProgram({QStringLiteral("--list-deleted"), original});
    DurableCopy(original, work);
    const auto recovered1 = MeasureProgram({QStringLiteral("--recover"), QStringLiteral("--yes"), work});
    if (listed1.first >= 0)
        std::printf("  mailmend --list-deleted: %.1f MiB peak memory, %.2f s;  --recover --yes: %.1f MiB, %.2f s\n",
                    listed1.first, listed1.second, recovered1.first, recovered1.second);
    std::fflush(stdout);
    QFile::remove(original);
    QFile::remove(work);
}

// One million small mails, all deleted: the memory the records take.
void BenchMillion(const QString &folder)
{
    const QString file = QDir(folder).filePath(QStringLiteral("Million"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return;
        QByteArray chunk;
        for (int n = 0; n < 1000000; ++n) {
            chunk.append("From - Mon Dec  9 10:00:00 2024\r\nX-Mozilla-Status: 0009\r\nSubject: mail ")
                .append(QByteArray::number(n))
                .append("\r\n\r\nbody\r\n");
            if (chunk.size() > (4 << 20)) {
                out.write(chunk);
                chunk.clear();
            }
        }
        out.write(chunk);
    }
    std::printf("\none million deleted mails (%.0f MiB):\n", double(QFileInfo(file).size()) / 1048576.0);
    const auto listed = MeasureProgram({QStringLiteral("--list-deleted"), file});
    const auto recovered = MeasureProgram({QStringLiteral("--recover"), QStringLiteral("--yes"), file});
    if (listed.first >= 0)
        std::printf("  mailmend --list-deleted: %.1f MiB peak memory, %.2f s;  --recover --yes: %.1f MiB, %.2f s\n",
                    listed.first, listed.second, recovered.first, recovered.second);
    std::fflush(stdout);
    QFile::remove(file);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QStringLiteral("--generate")) {
        const TMailFolderStats stats =
            TMailFolderGenerator(args.size() > 4 && args[4] == QStringLiteral("crlf")).Write(args[2], args[3].toLongLong() << 20);
        std::printf("%lld bytes, %lld mails, %lld deleted\n", qlonglong(stats.Bytes), qlonglong(stats.Mails),
                    qlonglong(stats.Deleted));
        return stats.Bytes > 0 ? 0 : 1;
    }

    bool ok = false;
    qint64 sizeMiB = qEnvironmentVariableIntValue("MAILMEND_BENCH_SIZE_MB", &ok);
    if (!ok || sizeMiB <= 0)
        sizeMiB = 1024;
    const QString base = qEnvironmentVariable("MAILMEND_BENCH_DIR", QDir::tempPath());
    QTemporaryDir folder(QDir(base).filePath(QStringLiteral("mailmend-bench-XXXXXX")));
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(base));
        return 1;
    }
    const qint64 free = QStorageInfo(folder.path()).bytesAvailable();
    if (free >= 0 && free < 4 * (sizeMiB << 20)) {
        sizeMiB = std::max<qint64>(16, free / 4 >> 20);
        std::printf("little free disk space: the folder size is cut to %lld MiB\n", qlonglong(sizeMiB));
    }
    std::printf("Mail folder scan and recovery, %lld MiB, best of %d runs\n", qlonglong(sizeMiB), Runs());
    const double rssBefore = PeakRssMiB();
    BenchVariant(folder.path(), sizeMiB << 20, true);
    BenchVariant(folder.path(), sizeMiB << 20, false);
    std::printf("\npeak resident memory of this process: %.1f MiB (%.1f MiB before the first folder was generated)\n",
                PeakRssMiB(), rssBefore);
    if (qEnvironmentVariable("MAILMEND_BENCH_MILLION") != QStringLiteral("0"))
        BenchMillion(folder.path());
    return 0;
}
