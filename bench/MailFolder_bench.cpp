// Scan and recovery of a large mail folder, measured against peers in the
// same run: the scan against `wc -l` of the same file, the recovery against
// `cp` (and `cp` followed by a sync, since the recovery makes its file
// durable) and against a perl one-liner doing the same rewrite; and the peak
// memory.
//
//   MAILMEND_BENCH_SIZE_MB   folder size in MiB (default 1024)
//   MAILMEND_BENCH_DIR       where the folders are generated (default: temp)
//   MAILMEND_BENCH_PERL=0    skips the perl peer (it takes the longest)
//   MAILMEND_BENCH_RUNS      repetitions, best time counts (default 3)
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
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

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

const char PerlRewrite[] =
    "s/\\r?\\n\\z/\\r\\n/; if (/^x-mozilla-status:[\\x00-\\x20]*([0-9a-f]{1,8})[\\x00-\\x20]*(,|\\r|\\z)/i "
    "&& hex($1) & 8) { $_ = sprintf(\"X-Mozilla-Status: %04x\\r\\n\", hex($1) & ~8) }";

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
    const TTiming cp = Best([&] { Run(QStringLiteral("cp"), {original, copy}); }, [&] { QFile::remove(copy); });
    const TTiming cpSync = Best([&] { Run(QStringLiteral("cp"), {original, copy}) && Run(QStringLiteral("sync"), {copy}); },
                                [&] { QFile::remove(copy); });
    qint64 restored = 0;
    TScanResult workScan;
    const TTiming restore = Best([&] { restored = RestoreMailFolder(workScan, work, false); },
                                 [&] {
                                     Copy(original, work);
                                     workScan = ScanMailFolder(work);
                                 });
    const TTiming both = Best(
        [&] {
            const TScanResult s = ScanMailFolder(work);
            RestoreMailFolder(s, work, false);
        },
        [&] { Copy(original, work); });
    const bool countOk = restored == stats.Deleted && scan.DeletedCount == stats.Deleted;
    const bool sizeOk = QFileInfo(work).size() == scan.OutputSize;

    std::printf("  (ratios: wall / cpu)\n");
    Report("wc -l", wc);
    Report("ScanMailFolder", scanTime, &wc, "wc -l");
    Report("cp", cp);
    Report("cp + sync", cpSync);
    Report("RestoreMailFolder", restore, &cp, "cp");
    Report("", restore, &cpSync, "cp + sync");
    Report("scan + restore", both, &cp, "cp");
    std::printf("  result: %lld lines rewritten (%s), size %s\n", qlonglong(restored), countOk ? "as generated" : "WRONG",
                sizeOk ? "as predicted by the scan" : "WRONG");
    if (qEnvironmentVariable("MAILMEND_BENCH_PERL") != QStringLiteral("0")
        && !QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty()) {
        const QString perlOut = QDir(folder).filePath(QStringLiteral("PerlOut"));
        TTiming perl;
        {
            QElapsedTimer perlTimer;
            const double cpu = CpuSeconds();
            perlTimer.start();
            Run(QStringLiteral("perl"), {QStringLiteral("-pe"), QLatin1String(PerlRewrite), original}, perlOut);
            perl.Wall = double(perlTimer.nsecsElapsed()) / 1e9;
            perl.Cpu = CpuSeconds() - cpu;
        }
        Copy(original, work);
        RestoreMailFolder(ScanMailFolder(work), work, false);
        const bool same = Run(QStringLiteral("cmp"), {QStringLiteral("-s"), perlOut, work});
        Report("perl one-liner (once)", perl);
        std::printf("  mailmend restore is %.1fx (wall) / %.1fx (cpu) faster than perl; outputs %s\n",
                    perl.Wall / restore.Wall, perl.Cpu / restore.Cpu, same ? "identical" : "DIFFER");
        QFile::remove(perlOut);
    }
    std::fflush(stdout);
    QFile::remove(original);
    QFile::remove(work);
    QFile::remove(copy);
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
    const qint64 free = FreeDiskSpace(folder.path());
    if (free >= 0 && free < 5 * (sizeMiB << 20)) {
        sizeMiB = std::max<qint64>(16, free / 5 >> 20);
        std::printf("little free disk space: the folder size is cut to %lld MiB\n", qlonglong(sizeMiB));
    }
    std::printf("Mail folder scan and recovery, %lld MiB, best of %d runs\n", qlonglong(sizeMiB), Runs());
    const double rssBefore = PeakRssMiB();
    BenchVariant(folder.path(), sizeMiB << 20, false);
    BenchVariant(folder.path(), sizeMiB << 20, true);
    std::printf("\npeak resident memory of this process: %.1f MiB (%.1f MiB before the first folder was generated)\n",
                PeakRssMiB(), rssBefore);

    // The command line program on its own, measured by time(1) where both exist.
    const QString mailmend = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mailmend"));
    if (QFileInfo(mailmend).isExecutable() && QFileInfo::exists(QStringLiteral("/usr/bin/time"))) {
        const QString file = QDir(folder.path()).filePath(QStringLiteral("Inbox"));
        TMailFolderGenerator(false).Write(file, sizeMiB << 20);
        QProcess process;
        process.start(QStringLiteral("/usr/bin/time"),
                      {QStringLiteral("-f"), QStringLiteral("%M %e %U %S"), mailmend, QStringLiteral("--recover"),
                       QStringLiteral("--yes"), file});
        process.waitForFinished(-1);
        const QStringList measured = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split(u'\n').last().split(u' ');
        if (measured.size() == 4)
            std::printf("mailmend --recover --yes (scan + restore) on %lld MiB: %.1f MiB peak resident memory, "
                        "%s s wall, %.2f s cpu\n",
                        qlonglong(sizeMiB), measured[0].toDouble() / 1024.0, qPrintable(measured[1]),
                        measured[2].toDouble() + measured[3].toDouble());
    }
    return 0;
}
