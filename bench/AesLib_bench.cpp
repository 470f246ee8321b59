// Throughput of the encrypted data container.
//
//  - DecryptBlock / EncryptBlock in memory, per key mode, with the analyzer's
//    work-buffer size (0x80000): AES-CTR key stream plus HMAC-SHA1.
//  - File to file: DecryptStream of a container file against 7-Zip
//    extracting the same data from a stored AES-256 zip entry
//    (`7z x -so -p... > file`), measured in the same run; the ratios of wall
//    time and of CPU time (user + system, which a busy machine disturbs less)
//    are printed at the end.
//
// AES_BENCH_MB sets the size of the file benchmark (default 256 MiB).

#include "packprobe/core/AesLib.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <ctime>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace packprobe;

using namespace packprobe;

namespace {

constexpr int WorkBuffer = 0x80000;
const QByteArray Password = "benchmark password";

QByteArray TextBlock(qsizetype n, quint32 seed)
{
    static const char *const words[] = {"the ", "backup ", "of ", "files ", "and ", "folders ", "was ",
                                        "written ", "on ", "2026-12-10 ", "with ", "checksum ", "0x1f2e3d4c ",
                                        "size ", "12345678\r\n", "error ", "none\r\n"};
    QRandomGenerator gen(seed);
    QByteArray text;
    text.reserve(n + 16);
    while (text.size() < n)
        text += words[gen.bounded(int(std::size(words)))];
    text.truncate(n);
    return text;
}

void BM_DecryptBlock(benchmark::State &state)
{
    const int mode = int(state.range(0));
    TEncryption crypt(Password, mode, WorkBuffer);
    QByteArray header(crypt.GetHeaderSize(), '\0');
    if (!crypt.BeginEncrypt(reinterpret_cast<uchar *>(header.data()))
        || !crypt.BeginDecrypt(reinterpret_cast<const uchar *>(header.constData()), header.size())) {
        state.SkipWithError("no keys");
        return;
    }
    QByteArray buffer = TextBlock(WorkBuffer, 1);
    for (auto _ : state) {
        crypt.DecryptBlock(reinterpret_cast<uchar *>(buffer.data()), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(BM_DecryptBlock)->Arg(1)->Arg(2)->Arg(3);

void BM_EncryptBlock(benchmark::State &state)
{
    TEncryption crypt(Password, int(state.range(0)), WorkBuffer);
    QByteArray header(crypt.GetHeaderSize(), '\0');
    if (!crypt.BeginEncrypt(reinterpret_cast<uchar *>(header.data()))) {
        state.SkipWithError("no keys");
        return;
    }
    QByteArray buffer = TextBlock(WorkBuffer, 2);
    for (auto _ : state) {
        crypt.EncryptBlock(reinterpret_cast<uchar *>(buffer.data()), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(BM_EncryptBlock)->Arg(1)->Arg(2)->Arg(3);

// Key derivation (PBKDF2, 1000 iterations) and verifier check of one container.
void BM_BeginDecrypt(benchmark::State &state)
{
    TEncryption crypt(Password, 3, WorkBuffer);
    QByteArray header(crypt.GetHeaderSize(), '\0');
    if (!crypt.BeginEncrypt(reinterpret_cast<uchar *>(header.data()))) {
        state.SkipWithError("no keys");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(crypt.BeginDecrypt(reinterpret_cast<const uchar *>(header.constData()), header.size()));
}
BENCHMARK(BM_BeginDecrypt)->Unit(benchmark::kMicrosecond);

// --- File to file against 7-Zip -------------------------------------------------

struct TFileFixture {
    QTemporaryDir Dir;
    QString Plain, Container, Zip, SevenZip;
    qint64 Size = 0;
    bool Ready = false;
    double OursSeconds = 0, PeerSeconds = 0;        // best wall time
    double OursCpuSeconds = 0, PeerCpuSeconds = 0;  // best user + system time
};

// User + system time of this process.
double ProcessCpuSeconds()
{
#ifdef Q_OS_UNIX
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
#else
    return 0;  // not measured: only wall times are compared
#endif
}

// User + system time of all finished child processes.
double ChildrenCpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#else
    return 0;
#endif
}

double Best(double best, double value) { return best == 0 ? value : std::min(best, value); }

TFileFixture &Files(bool prepare = true)
{
    static TFileFixture f;
    if (!prepare || f.Ready || !f.Dir.isValid())
        return f;
    const qint64 mb = qEnvironmentVariableIntValue("AES_BENCH_MB") > 0 ? qEnvironmentVariableIntValue("AES_BENCH_MB") : 256;
    f.Size = mb << 20;
    f.Plain = f.Dir.filePath("data.txt");
    f.Container = f.Dir.filePath("data.aes");
    f.Zip = f.Dir.filePath("data.zip");
    {
        QFile out(f.Plain);
        if (!out.open(QIODevice::WriteOnly))
            return f;
        const QByteArray block = TextBlock(1 << 20, 3);
        for (qint64 i = 0; i < mb; ++i)
            out.write(block);
    }
    {
        QFile in(f.Plain), out(f.Container);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return f;
        TEncryption crypt(Password, 3, WorkBuffer);
        if (!crypt.EncryptStream(in, out, false))
            return f;
    }
    f.SevenZip = QStandardPaths::findExecutable("7z");
    if (!f.SevenZip.isEmpty()) {
        QProcess p;
        p.setWorkingDirectory(f.Dir.path());
        p.start(f.SevenZip, {"a", "-tzip", "-mem=AES256", "-mm=Copy", "-p" + QString::fromLatin1(Password),
                             "data.zip", "data.txt"});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            f.SevenZip.clear();
    }
    f.Ready = true;
    return f;
}

// One timed run each, outputs removed and dirty pages flushed beforehand
// (untimed), so that neither side pays for the other's write-back.
struct TTiming {
    double Wall = 0;
    double Cpu = 0;
};

void Settle(const QString &outName)
{
    QFile::remove(outName);
#ifdef Q_OS_UNIX
    sync();
#endif
}

TTiming DecryptOurs(const TFileFixture &f, const QString &outName, bool &ok)
{
    Settle(outName);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = ProcessCpuSeconds();
    QFile in(f.Container), out(outName);
    ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
    TEncryption crypt(Password, 3, WorkBuffer);
    ok = ok && crypt.DecryptStream(in, &out, in.size(), false);
    out.close();
    return {timer.nsecsElapsed() / 1e9, ProcessCpuSeconds() - cpuStart};
}

TTiming ExtractPeer(const TFileFixture &f, const QString &outName, bool &ok)
{
    Settle(outName);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = ChildrenCpuSeconds();
    QProcess p;
    p.setWorkingDirectory(f.Dir.path());
    p.setStandardOutputFile(outName, QIODevice::Truncate);
    p.start(f.SevenZip, {"x", "-so", "-p" + QString::fromLatin1(Password), "data.zip"});
    ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return {timer.nsecsElapsed() / 1e9, ChildrenCpuSeconds() - cpuStart};
}

// Ours and 7z alternate, three rounds; the best of each counts.
void BM_DecryptFileAgainst7z(benchmark::State &state)
{
    TFileFixture &f = Files();
    if (!f.Ready || f.SevenZip.isEmpty()) {
        state.SkipWithError(f.Ready ? "7z is not available" : "cannot prepare the data");
        return;
    }
    const QString outName = f.Dir.filePath("plain.out");
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            bool ok = false;
            const TTiming peer = ExtractPeer(f, outName, ok);
            if (!ok) {
                state.SkipWithError("7z failed");
                return;
            }
            const TTiming ours = DecryptOurs(f, outName, ok);
            if (!ok) {
                state.SkipWithError("decryption failed");
                return;
            }
            f.PeerSeconds = Best(f.PeerSeconds, peer.Wall);
            f.PeerCpuSeconds = Best(f.PeerCpuSeconds, peer.Cpu);
            f.OursSeconds = Best(f.OursSeconds, ours.Wall);
            f.OursCpuSeconds = Best(f.OursCpuSeconds, ours.Cpu);
        }
    }
    QFile::remove(outName);
    const double mb = double(f.Size) / 1e6;
    state.counters["ours_MBps"] = mb / f.OursSeconds;
    state.counters["7z_MBps"] = mb / f.PeerSeconds;
    state.counters["time_ratio"] = f.OursSeconds / f.PeerSeconds;
}
BENCHMARK(BM_DecryptFileAgainst7z)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const TFileFixture &f = Files(false);
    if (f.OursSeconds > 0 && f.PeerSeconds > 0) {
        const double mb = double(f.Size) / 1e6;
        std::printf("\nDecrypting %.0f MB file to file (best of 3, alternating)\n"
                    "  wall time: ours %.1f MB/s, 7z x -so %.1f MB/s, ratio ours/7z %.2f\n",
                    mb, mb / f.OursSeconds, mb / f.PeerSeconds, f.OursSeconds / f.PeerSeconds);
        if (f.OursCpuSeconds > 0 && f.PeerCpuSeconds > 0)
            std::printf("  CPU time (user + system): ours %.1f MB/s, 7z x -so %.1f MB/s, ratio ours/7z %.2f\n",
                        mb / f.OursCpuSeconds, mb / f.PeerCpuSeconds, f.OursCpuSeconds / f.PeerCpuSeconds);
    }
    return 0;
}
