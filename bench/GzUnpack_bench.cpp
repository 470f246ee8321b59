// Speed of the packprobe program against peers, measured in the same run on
// the same data, with the ratios it aims at:
//   checking:   packprobe --report          vs  igzip -t, pigz -t, gzip -t
//   unpacking:  packprobe --report --save   vs  igzip -dc > file, pigz -dc, gzip -dc
//   encrypted:  --report of an AES-256 file vs  --report of the same data plain
//               (and 7z x -so of an AES-256 zip > file, for reference)
//   backup set: --verify -j 2 of 40 files of 25 MiB vs --verify -j 1 (one
//               after another) of the same files
// and packprobe's peak memory. Data: realistic text, PACKPROBE_BENCH_BYTES
// bytes of output (default 1 GiB). Each
// command runs PACKPROBE_BENCH_RUNS times (default 3); the best time counts.
#include "packprobe/core/AesLib.h"
#include "packprobe/core/ExtFileDevice.h"
#include "packprobe/core/GzUnpack.h"
#include "packprobe/core/GzWriter.h"
#include "packprobe/core/Inflater.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <sys/resource.h>

#include <cstdio>
#include <functional>
#include <optional>

using namespace foundation;
using namespace packprobe;

namespace {

constexpr char Password[] = "bench password 123";

qint64 EnvNumber(const char *name, qint64 fallback)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value > 0 ? value : fallback;
}

// Text with the statistics of prose and logs: words of varied length and
// frequency, numbers, punctuation, line structure. Compresses about 3:1.
class TextSource
{
public:
    explicit TextSource(qint64 size) : FLeft(size) {}

    QByteArray next(qint64 max)
    {
        static const char *const words[] = {
            "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with",
            "be", "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which",
            "but", "have", "an", "had", "they", "you", "were", "their", "one", "all", "we",
            "backup", "archive", "restore", "volume", "encrypted", "schedule", "incremental",
            "differential", "checksum", "verification", "destination", "source", "folder",
            "document", "spreadsheet", "presentation", "photograph", "Vaultkeep", "Monday",
            "Tuesday", "Wednesday", "Thursday", "Friday", "January", "December", "network",
            "server", "account", "password", "settings", "configuration", "application"};
        constexpr quint32 count = sizeof(words) / sizeof(words[0]);
        QByteArray out;
        const qint64 wanted = qMin(max, FLeft);
        out.reserve(wanted + 64);
        while (out.size() < wanted) {
            const quint32 r = step();
            // Zipf-like: low indices far more often.
            const quint32 index = quint32((quint64(r % 1000) * (r % 1000)) * count / 1000000);
            out.append(words[index % count]);
            const quint32 p = step() % 100;
            if (p < 4)
                out.append(QByteArray::number(step() % 100000));
            if (p < 8) {
                out.append(", ");
            } else if (p < 12) {
                out.append(".\n");
            } else if (p < 13) {
                out.append(":\n\t");
            } else {
                out.append(' ');
            }
        }
        out.truncate(wanted);
        FLeft -= out.size();
        return out;
    }
    bool atEnd() const { return FLeft == 0; }

private:
    quint32 step()
    {
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return FState;
    }
    qint64 FLeft;
    quint32 FState = 2463534242u;
};

bool WriteText(const QString &name, qint64 size)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    TextSource text(size);
    while (!text.atEnd()) {
        const QByteArray piece = text.next(1 << 22);
        if (file.write(piece) != piece.size())
            return false;
    }
    return true;
}

bool WritePlainGz(const QString &text, const QString &gz)
{
    QFile in(text);
    QFile out(gz);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    TGzWriteOptions options;
    options.StoredName = "bench.txt";
    options.Level = 6;
    return WriteGzFile(in, out, options);
}

// The same deflate data wrapped in an AES-256 container, with the header
// flags and "QX" subfield of an encrypted file.
bool WriteEncryptedGz(const QString &plainGz, const QString &gze)
{
    QFile in(plainGz);
    QFile out(gze);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 headerLength = 10 + 2 + 20 + 10;
    QByteArray header = in.read(headerLength);
    const qint64 deflateLength = in.size() - headerLength - 8;
    TEncryption crypt(Password, 3, 1 << 20);
    std::array<uchar, 18> containerHeader{};
    if (!crypt.BeginEncrypt(containerHeader.data()))
        return false;
    // New header: FLG | 0x20, extra field with sizes and "QX" = 3.
    QByteArray newHeader = header.left(10);
    newHeader[3] = char(quint8(newHeader[3]) | 0x20);
    QByteArray extra = header.mid(12, 20);
    qToLittleEndian<qint64>(deflateLength + 18 + 10, reinterpret_cast<uchar *>(extra.data()) + 4);
    extra.append("QX\x02\x00\x03\x00", 6);
    uchar xlen[2];
    qToLittleEndian<quint16>(quint16(extra.size()), xlen);
    newHeader.append(reinterpret_cast<const char *>(xlen), 2).append(extra).append(header.mid(32));
    out.write(newHeader);
    out.write(reinterpret_cast<const char *>(containerHeader.data()), 18);
    QByteArray piece;
    for (qint64 left = deflateLength; left > 0; left -= piece.size()) {
        piece = in.read(qMin<qint64>(left, 1 << 20));
        if (piece.isEmpty())
            return false;
        crypt.EncryptBlock(reinterpret_cast<uchar *>(piece.data()), piece.size());
        out.write(piece);
    }
    std::array<uchar, 10> code{};
    if (!crypt.FinishEncrypt(code.data()))
        return false;
    out.write(reinterpret_cast<const char *>(code.data()), 10);
    out.write(in.read(8));
    return true;
}

bool Have(const char *program)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

bool Shell(const QString &command)
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForFinished(-1))
        return false;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "failed: %s\n%s\n", qPrintable(command),
                     process.readAllStandardError().constData());
        return false;
    }
    return true;
}

struct Timing
{
    double wall = 1e100; // best wall-clock seconds
    double cpu = 1e100;  // best user + system seconds of this process or its children
};

double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Best times of runs (in-process work counts this process's CPU time, a
// shell command its children's), or nullopt when a run failed.
std::optional<Timing> Best(int runs, bool child, const std::function<bool()> &body)
{
    Timing best;
    const int who = child ? RUSAGE_CHILDREN : RUSAGE_SELF;
    for (int i = 0; i < runs; ++i) {
        const double cpuBefore = CpuSeconds(who);
        QElapsedTimer timer;
        timer.start();
        if (!body())
            return std::nullopt;
        best.wall = qMin(best.wall, double(timer.nsecsElapsed()) / 1e9);
        best.cpu = qMin(best.cpu, CpuSeconds(who) - cpuBefore);
    }
    return best;
}

QString LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()) : QStringLiteral("unknown\n");
}

QString Quote(const QString &path)
{
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

void Row(const char *label, std::optional<Timing> t, qint64 bytes, std::optional<Timing> ours)
{
    if (!t) {
        std::printf("  %-32s  skipped\n", label);
        return;
    }
    std::printf("  %-32s %7.3f s wall %8.1f MB/s  %7.3f s CPU", label, t->wall,
                double(bytes) / t->wall / 1e6, t->cpu);
    if (ours)
        std::printf("   ours/peer: %.2fx wall, %.2fx CPU", ours->wall / t->wall, ours->cpu / t->cpu);
    std::printf("\n");
}

// The packprobe program beside this benchmark (the bench preset builds it).
QString Program()
{
    return Quote(QCoreApplication::applicationDirPath() + QStringLiteral("/packprobe"));
}

// Peak resident memory in MiB of one run of the command (GNU time), or -1.
double PeakMiB(const QString &command, const QDir &work)
{
    if (!QFile::exists(QStringLiteral("/usr/bin/time")))
        return -1;
    const QString report = work.filePath(QStringLiteral("time.txt"));
    if (!Shell(QStringLiteral("/usr/bin/time -f %M -o %1 /bin/sh -c %2")
                   .arg(Quote(report), Quote(command))))
        return -1;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().trimmed().toDouble() / 1024.0;
}

void Ratio(const char *label, const std::optional<Timing> &ours, const std::optional<Timing> &peer,
           double goal)
{
    if (!ours || !peer) {
        std::printf("  %-52s  skipped\n", label);
        return;
    }
    const double ratio = ours->wall / peer->wall;
    std::printf("  %-52s %5.2fx  (goal <= %.2fx) %s\n", label, ratio, goal,
                ratio <= goal ? "met" : "NOT met");
}

std::optional<Timing> Command(int runs, const QString &command)
{
    return Best(runs, true, [&] { return Shell(command); });
}

// A backup set of count gz files of about fileBytes each, in folder: one file
// written, the others copies of it (separate files, not links).
bool PrepareSet(const QDir &folder, int count, qint64 fileBytes)
{
    const QString first = folder.filePath(QStringLiteral("set-000.gz"));
    if (QFileInfo(first).size() > 0 && QFile::exists(folder.filePath(QStringLiteral("set-%1.gz")
                                                                         .arg(count - 1, 3, 10, QLatin1Char('0')))))
        return true;
    folder.mkpath(QStringLiteral("."));
    const QString text = folder.filePath(QStringLiteral("set.txt"));
    // The text compresses about 3.7:1 at level 6.
    if (!WriteText(text, fileBytes * 37 / 10) || !WritePlainGz(text, first))
        return false;
    QFile::remove(text);
    for (int i = 1; i < count; ++i) {
        const QString copy = folder.filePath(QStringLiteral("set-%1.gz").arg(i, 3, 10, QLatin1Char('0')));
        QFile::remove(copy);
        if (!QFile::copy(first, copy))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 size = EnvNumber("PACKPROBE_BENCH_BYTES", qint64(1) << 30);
    const int runs = int(EnvNumber("PACKPROBE_BENCH_RUNS", 3));
    // PACKPROBE_BENCH_DIR keeps the prepared files for later runs.
    const QString keep = qEnvironmentVariable("PACKPROBE_BENCH_DIR");
    QTemporaryDir temporary(QDir::temp().filePath(QStringLiteral("gzbench-XXXXXX")));
    if (keep.isEmpty() && !temporary.isValid())
        return 1;
    const QDir work(keep.isEmpty() ? temporary.path() : keep);
    QDir().mkpath(work.path());
    const QString text = work.filePath("bench.txt");
    const QString gz = work.filePath("bench.gz");
    const QString gze = work.filePath("bench.gze");
    const QString zip = work.filePath("bench.zip");
    const QString out = work.filePath("out.bin");

    const bool have7z = Have("7z");
    const bool prepared = QFile::exists(gz) && QFile::exists(gze) && (!have7z || QFile::exists(zip));
    if (!prepared) {
        std::printf("Preparing %lld bytes of text in %s ...\n", static_cast<long long>(size),
                    qPrintable(work.path()));
        std::fflush(stdout);
        if (!WriteText(text, size) || !WritePlainGz(text, gz) || !WriteEncryptedGz(gz, gze)) {
            std::fprintf(stderr, "cannot prepare the data\n");
            return 1;
        }
        if (have7z)
            Shell(QStringLiteral("cd %1 && 7z a -bd -tzip -mx=5 -mem=AES256 -p'%2' %3 bench.txt >/dev/null")
                      .arg(Quote(work.path()), QString::fromLatin1(Password), Quote(zip)));
        QFile::remove(text);
    }
    std::printf("gz %lld bytes, gze %lld bytes, zip %lld bytes; best of %d runs; inflate backend %s\n"
                "load average before: %s\n",
                static_cast<long long>(QFileInfo(gz).size()), static_cast<long long>(QFileInfo(gze).size()),
                static_cast<long long>(QFileInfo(zip).size()), runs,
                qPrintable(packprobe::InflateBackendName(packprobe::DefaultInflateBackend())),
                qPrintable(LoadAverage().trimmed()));

    const QString program = Program();
    // The password comes from a file, so that the shell runs packprobe itself
    // (and the memory measured is packprobe's).
    const QString passwordFile = work.filePath(QStringLiteral("password.txt"));
    {
        QFile file(passwordFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        file.write(QByteArray(Password) + '\n');
    }
    const QString toOut = QStringLiteral(" > ") + Quote(out);

    std::printf("\nChecking (nothing written), %lld bytes of output:\n", static_cast<long long>(size));
    const auto report = Command(runs, program + " --report " + Quote(gz) + " > /dev/null");
    Row("packprobe --report", report, size, std::nullopt);
    const auto igzipT = Have("igzip") ? Command(runs, "igzip -t " + Quote(gz)) : std::nullopt;
    Row("igzip -t", igzipT, size, report);
    const auto pigzT = Have("pigz") ? Command(runs, "pigz -t " + Quote(gz)) : std::nullopt;
    Row("pigz -t", pigzT, size, report);
    const auto gzipT = Have("gzip") ? Command(runs, "gzip -t " + Quote(gz)) : std::nullopt;
    Row("gzip -t", gzipT, size, report);

    std::printf("\nUnpacking to a file, %lld bytes of output:\n", static_cast<long long>(size));
    const auto save = Command(runs, QStringLiteral("rm -f %1 && %2 --report %3 --save %1 > /dev/null")
                                        .arg(Quote(out), program, Quote(gz)));
    Row("packprobe --report --save", save, size, std::nullopt);
    const auto igzipD = Have("igzip") ? Command(runs, "igzip -dc " + Quote(gz) + toOut) : std::nullopt;
    Row("igzip -dc > file", igzipD, size, save);
    const auto pigzD = Have("pigz") ? Command(runs, "pigz -dc " + Quote(gz) + toOut) : std::nullopt;
    Row("pigz -dc > file", pigzD, size, save);
    const auto gzipD = Have("gzip") ? Command(runs, "gzip -dc " + Quote(gz) + toOut) : std::nullopt;
    Row("gzip -dc > file", gzipD, size, save);

    std::printf("\nEncrypted, AES-256, %lld bytes of output:\n", static_cast<long long>(size));
    const QString encryptedReport =
        program + " --report " + Quote(gze) + " --password-stdin < " + Quote(passwordFile) + " > /dev/null";
    const auto encrypted = Command(runs, encryptedReport);
    Row("packprobe --report (AES-256)", encrypted, size, std::nullopt);
    const auto unpack = Best(runs, false, [&] {
        TEncryption crypt(Password, KeyModeFromPassword(Password), int(UnpackBufferSize));
        quint32 crc = 0;
        qint64 c = 0, u = 0;
        return UnpackGzData(gze, nullptr, &crypt, crc, c, u) == 0 && u == size;
    });
    Row("UnpackGzData in process (AES-256)", unpack, size, std::nullopt);
    if (have7z && QFile::exists(zip))
        Row("7z x -so (AES-256 zip) > file",
            Command(runs, QStringLiteral("7z x -so -p'%1' %2").arg(QString::fromLatin1(Password), Quote(zip))
                              + toOut),
            size, encrypted);

    const int setFiles = int(EnvNumber("PACKPROBE_BENCH_SET_FILES", 40));
    const qint64 setFileBytes = EnvNumber("PACKPROBE_BENCH_SET_FILE_BYTES", qint64(25) << 20);
    const QDir set(work.filePath(QStringLiteral("set")));
    std::optional<Timing> verifyOne;
    std::optional<Timing> verifyTwo;
    if (PrepareSet(set, setFiles, setFileBytes)) {
        qint64 setBytes = 0;
        for (const QFileInfo &file : set.entryInfoList({QStringLiteral("*.gz")}, QDir::Files))
            setBytes += file.size();
        std::printf("\nBackup set, %d files, %lld bytes of gz files:\n", setFiles,
                    static_cast<long long>(setBytes));
        verifyOne = Command(runs, program + " --verify -j 1 " + Quote(set.path()) + " > /dev/null");
        Row("packprobe --verify -j 1", verifyOne, setBytes, std::nullopt);
        verifyTwo = Command(runs, program + " --verify -j 2 " + Quote(set.path()) + " > /dev/null");
        Row("packprobe --verify -j 2", verifyTwo, setBytes, std::nullopt);
    } else {
        std::printf("\nBackup set: cannot prepare the files\n");
    }

    std::printf("\nRatios (wall time, ours / peer):\n");
    Ratio("--report / igzip -t", report, igzipT, 1.0);
    Ratio("--report / pigz -t", report, pigzT, 0.5);
    Ratio("--report / gzip -t", report, gzipT, 0.5);
    Ratio("--report --save / igzip -dc > file", save, igzipD, 1.0);
    Ratio("--report --save / pigz -dc > file", save, pigzD, 0.5);
    Ratio("--report --save / gzip -dc > file", save, gzipD, 0.5);
    Ratio("--report AES-256 / --report plain", encrypted, report, 1.15);
    Ratio("--verify -j 2 / --verify -j 1 (backup set)", verifyTwo, verifyOne, 0.6);

    std::printf("\nPeak resident memory of packprobe (goal <= 64 MiB):\n");
    std::printf("  --report          %6.1f MiB\n", PeakMiB(program + " --report " + Quote(gz) + " > /dev/null", work));
    std::printf("  --report --save   %6.1f MiB\n",
                PeakMiB(QStringLiteral("rm -f %1 && %2 --report %3 --save %1 > /dev/null").arg(Quote(out), program, Quote(gz)), work));
    std::printf("  --report AES-256  %6.1f MiB\n",
                PeakMiB(encryptedReport, work));
    std::printf("  --verify -j 2     %6.1f MiB\n",
                PeakMiB(program + " --verify -j 2 " + Quote(set.path()) + " > /dev/null", work));

    std::printf("\nMachine load average after measuring: %s", qPrintable(LoadAverage()));
    return 0;
}
