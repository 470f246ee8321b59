#include "packprobe/core/GzUnpack.h"

#include "packprobe/core/AesLib.h"
#include "packprobe/core/Channel.h"
#include "packprobe/core/ExtFileDevice.h"
#include "packprobe/core/ExtFileTools.h"

#include "foundation/Progress.h"

#include <QFileDevice>
#include <QIODevice>

#include <array>
#include <atomic>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace packprobe {

using namespace foundation;

// Unpacking runs as a small pipeline so that it keeps pace with the inflate
// backend alone: the calling thread only inflates; a reader thread reads the
// input ahead (and authenticates and decrypts an encrypted container), a
// writer thread computes the CRC-32 and writes the output buffers (or only
// counts them). Memory stays bounded by a fixed set of buffers per stage,
// passed between the threads through two channels each.

namespace {

using packprobe::IRawInflater;
using packprobe::TChannel;
using packprobe::TInflateBackend;

constexpr int OutputBufferCount = 3;
constexpr int InputPieceCount = 8;
constexpr quint32 ScratchFileRights = 0600;

// A filled buffer, or (Data null) the end of what a stage produces.
struct TPiece
{
    uchar *Data = nullptr;
    qint64 Length = 0;
};
using TPieceChannel = TChannel<TPiece>;

// count buffers of size bytes, handed to the free channel; wiped when
// released, since they may hold decrypted data.
class TBufferSet
{
public:
    TBufferSet(int count, qint64 size, TPieceChannel &free) : FSize(size)
    {
        for (int i = 0; i < count; ++i) {
            FBuffers.emplace_back(new uchar[size_t(size)]);
            free.Push({FBuffers.back().get(), size});
        }
    }
    ~TBufferSet()
    {
        for (auto &buffer : FBuffers)
            std::fill_n(buffer.get(), FSize, uchar(0));
    }
    TBufferSet(const TBufferSet &) = delete;
    TBufferSet &operator=(const TBufferSet &) = delete;

private:
    qint64 FSize;
    std::vector<std::unique_ptr<uchar[]>> FBuffers;
};

// Reads the input on a thread of its own, ahead of inflate, in pieces of at
// most InflateInputPiece bytes, at most limit bytes in all (-1: up to the end
// of the device).
//
// Encrypted container (crypt given, limit = ciphertext length): every piece is
// fed to the authentication code and decrypted; the stored code that follows
// the ciphertext is checked at the end. A container that ends early fails.
class TReadAhead
{
public:
    TReadAhead(QIODevice &device, TEncryption *crypt, qint64 limit, qint64 doneBase)
        : FDevice(device), FCrypt(crypt), FLimit(limit), FDoneBase(doneBase),
          FStart(device.pos()), FBuffers(InputPieceCount, InflateInputPiece, FFree)
    {
        FThread = std::thread([this] { Run(); });
    }
    ~TReadAhead() { Stop(); }
    TReadAhead(const TReadAhead &) = delete;
    TReadAhead &operator=(const TReadAhead &) = delete;

    // The next piece in order; Data null at the end of the input.
    TPiece Next()
    {
        const std::optional<TPiece> piece = FFull.Pop();
        if (!piece || !piece->Data) {
            FEnded = true;
            return {};
        }
        FHandedOut += piece->Length;
        return *piece;
    }
    void GiveBack(const TPiece &piece) { FFree.Push(piece); }

    // Stops reading ahead and waits for the thread.
    void Stop()
    {
        FFree.Close();
        if (FThread.joinable())
            FThread.join();
    }
    // The deflate stream ended with unused bytes of what was handed out left
    // over. Plain data: the device then stands on the first of them. A
    // container is read on to its end (Drain), since its code covers all.
    void StreamEnded(qint64 unused)
    {
        FUsedByStream = FHandedOut - unused;
        if (FCrypt)
            return;
        Stop();
        FDevice.seek(FStart + FHandedOut - unused);
    }
    // Reads (and authenticates) the rest of the input without handing it
    // out, reporting progress; false when the monitor cancelled.
    bool Drain(foundation::IProgressMonitor *monitor, qint64 total)
    {
        while (!FEnded) {
            const TPiece piece = Next();
            if (piece.Data)
                GiveBack(piece);
            foundation::ReportProgress(monitor, Done(), total);
            if (foundation::IsCancelRequested(monitor))
                return false;
        }
        Stop();
        return true;
    }

    qint64 Done() const { return FDoneBase + FRead.load(); }
    // Input bytes the deflate stream took up to its end marker.
    qint64 UsedByStream() const { return FUsedByStream; }
    // Valid after the end of the input was handed out.
    bool ReadFailed() const { return FReadFailed; }
    bool Authenticated() const { return FAuthenticated; }

private:
    void Run()
    {
        qint64 remaining = FLimit < 0 ? std::numeric_limits<qint64>::max() : FLimit;
        bool failed = false;
        bool stopped = false;
        while (remaining > 0) {
            const std::optional<TPiece> free = FFree.Pop();
            if (!free) {
                stopped = true;
                break;
            }
            const qint64 wanted = qMin(remaining, InflateInputPiece);
            const qint64 got = FDevice.read(reinterpret_cast<char *>(free->Data), wanted);
            const bool ended = got == 0 && !FCrypt;
            if (got <= 0 || (FCrypt && !FCrypt->DecryptBlock(free->Data, got))) {
                failed = !ended;
                break;
            }
            remaining -= got;
            FRead += got;
            FFull.Push({free->Data, got});
        }
        if (FCrypt && !failed && !stopped)
            FAuthenticated = CheckCode();
        FReadFailed = failed;
        FFull.Push({});
    }
    bool CheckCode()
    {
        std::array<uchar, TCrypt::MacLength> code{};
        const qint64 got = FDevice.read(reinterpret_cast<char *>(code.data()), qint64(code.size()));
        if (got != qint64(code.size()))
            return false;
        FRead += got;
        return FCrypt->FinishDecrypt(code.data(), got);
    }

    QIODevice &FDevice;
    TEncryption *const FCrypt;
    const qint64 FLimit;
    const qint64 FDoneBase;
    const qint64 FStart;
    TPieceChannel FFree;
    TPieceChannel FFull;
    TBufferSet FBuffers;
    std::atomic<qint64> FRead{0};
    // Written by the thread before it hands out the end, read after.
    bool FReadFailed = false;
    bool FAuthenticated = false;
    // Inflate's thread only.
    qint64 FHandedOut = 0;
    qint64 FUsedByStream = 0;
    bool FEnded = false;
    std::thread FThread;
};

// Takes inflated buffers, updates the CRC-32 and writes them, on a thread of
// its own; after the first failed write it drops what follows. When nothing
// is written (only the checksum and the size are wanted) it works at once,
// on the caller's thread, in one buffer: the CRC-32 then reads data still in
// the processor's cache, where a second thread would fetch every byte from
// the other core's cache.
class TWriteBehind
{
public:
    TWriteBehind(QIODevice *dest, TInflateBackend backend, bool withChecksum, quint32 checksum)
        : FDest(dest), FBackend(backend), FWithChecksum(withChecksum), FChecksum(checksum),
          FAtOnce(!dest), FBuffers(FAtOnce ? 1 : OutputBufferCount, UnpackBufferSize, FFree)
    {
        if (FAtOnce)
            FOnlyBuffer = FFree.Pop()->Data;
        else
            FThread = std::thread([this] { Run(); });
    }
    ~TWriteBehind() { Finish(); }
    TWriteBehind(const TWriteBehind &) = delete;
    TWriteBehind &operator=(const TWriteBehind &) = delete;

    uchar *Acquire() { return FAtOnce ? FOnlyBuffer : FFree.Pop()->Data; }
    void Submit(uchar *buffer, qint64 length)
    {
        if (FAtOnce)
            Handle(buffer, length);
        else
            FFull.Push({buffer, length});
    }
    void GiveBack(uchar *buffer)
    {
        if (!FAtOnce)
            FFree.Push({buffer, UnpackBufferSize});
    }
    int Code() const { return FCode.load(); }
    // Waits until every submitted buffer is handled.
    void Finish()
    {
        if (!FThread.joinable())
            return;
        FFull.Push({});
        FThread.join();
    }
    quint32 Checksum() const { return FChecksum; }
    qint64 Written() const { return FWritten; }

private:
    void Run()
    {
        for (;;) {
            const TPiece piece = *FFull.Pop();
            if (!piece.Data)
                return;
            if (FCode.load() == UnpackOk)
                Handle(piece.Data, piece.Length);
            GiveBack(piece.Data);
        }
    }
    void Handle(const uchar *data, qint64 length)
    {
        if (FWithChecksum)
            FChecksum = packprobe::UpdateCrc32(FBackend, FChecksum, data, length);
        if (!FDest) {
            FWritten += length;
            return;
        }
        const qint64 written = FDest->write(reinterpret_cast<const char *>(data), length);
        if (written < 0) {
            FCode = WriteFailedForSpace(*FDest) ? UnpackLowDiskSpace : UnpackWriteError;
            return;
        }
        FWritten += written;
        if (written < length)
            FCode = UnpackLowDiskSpace;
    }

    QIODevice *const FDest;
    const TInflateBackend FBackend;
    const bool FWithChecksum;
    quint32 FChecksum;
    const bool FAtOnce;
    qint64 FWritten = 0;
    std::atomic<int> FCode{UnpackOk};
    TPieceChannel FFree;
    TPieceChannel FFull;
    TBufferSet FBuffers;
    uchar *FOnlyBuffer = nullptr; // the one buffer when working at once
    std::thread FThread;
};

// How an inflate run ended.
enum class TInflateEnd { StreamEnd, CutShort, DataError, ReadError, Cancelled, WriteFailed };

// Inflates the pieces of the reader into the writer's buffers.
class TInflateRun
{
public:
    TInflateRun(TReadAhead &input, IRawInflater &inflater, TWriteBehind &output,
                foundation::IProgressMonitor *monitor, qint64 total)
        : FInput(input), FInflater(inflater), FOutput(output), FMonitor(monitor),
          FTotal(total)
    {
    }

    TInflateEnd Run()
    {
        for (;;) {
            if (FOutput.Code() != UnpackOk)
                return Finish(TInflateEnd::WriteFailed);
            foundation::ReportProgress(FMonitor, FInput.Done(), FTotal);
            if (foundation::IsCancelRequested(FMonitor))
                return Finish(TInflateEnd::Cancelled);
            uchar *buffer = FOutput.Acquire();
            qint64 produced = 0;
            const std::optional<TInflateEnd> end = Fill(buffer, produced);
            if (end == TInflateEnd::DataError || end == TInflateEnd::ReadError) {
                // What this buffer got before the error is dropped with it.
                FOutput.GiveBack(buffer);
                return Finish(*end);
            }
            FOutput.Submit(buffer, produced);
            if (end)
                return Finish(*end);
        }
    }

private:
    // Fills one output buffer; nullopt when it is full and the stream goes on.
    std::optional<TInflateEnd> Fill(uchar *buffer, qint64 &produced)
    {
        for (;;) {
            qint64 n = 0;
            const auto result = FInflater.Inflate(buffer + produced, UnpackBufferSize - produced, n);
            produced += n;
            switch (result) {
            case IRawInflater::TResult::StreamEnd:
                FInput.StreamEnded(FInflater.InputLeft());
                return TInflateEnd::StreamEnd;
            case IRawInflater::TResult::DataError:
                return TInflateEnd::DataError;
            case IRawInflater::TResult::OutputFull:
                return std::nullopt;
            case IRawInflater::TResult::NeedInput:
                break;
            }
            // The inflater keeps no pointer into input it has used up.
            ReturnPiece();
            FPiece = FInput.Next();
            if (!FPiece.Data)
                return FInput.ReadFailed() ? TInflateEnd::ReadError : TInflateEnd::CutShort;
            FInflater.SetInput(FPiece.Data, FPiece.Length);
        }
    }
    void ReturnPiece()
    {
        if (FPiece.Data)
            FInput.GiveBack(FPiece);
        FPiece = {};
    }
    TInflateEnd Finish(TInflateEnd end)
    {
        ReturnPiece();
        foundation::ReportProgress(FMonitor, FInput.Done(), FTotal);
        return end;
    }

    TReadAhead &FInput;
    IRawInflater &FInflater;
    TWriteBehind &FOutput;
    foundation::IProgressMonitor *const FMonitor;
    const qint64 FTotal;
    TPiece FPiece;
};

struct TInflateOutcome
{
    TInflateEnd End = TInflateEnd::StreamEnd;
    int WriteCode = UnpackOk;
};

// Inflates the reader's input into dest; checksum and size are updated.
TInflateOutcome InflateInput(TReadAhead &input, QIODevice *dest, bool withChecksum,
                             quint32 &checksum, qint64 &uncompressedSize,
                             const TUnpackOptions &options, qint64 total)
{
    const std::unique_ptr<IRawInflater> inflater = packprobe::NewRawInflater(options.Backend);
    if (!inflater)
        return {TInflateEnd::DataError, UnpackOk};
    TWriteBehind output(dest, options.Backend, withChecksum, checksum);
    TInflateOutcome outcome;
    outcome.End = TInflateRun(input, *inflater, output, options.Monitor, total).Run();
    output.Finish();
    checksum = output.Checksum();
    uncompressedSize += output.Written();
    outcome.WriteCode = output.Code();
    return outcome;
}

int InflateCode(const TInflateOutcome &outcome)
{
    switch (outcome.End) {
    case TInflateEnd::StreamEnd:
    case TInflateEnd::CutShort:
        return outcome.WriteCode;
    case TInflateEnd::DataError:
    case TInflateEnd::ReadError:
        return UnpackReadError;
    case TInflateEnd::Cancelled:
        return UnpackUserBreak;
    case TInflateEnd::WriteFailed:
        return outcome.WriteCode;
    }
    return UnpackReadError;
}

// Reads the container header with the stored key mode first (when the header
// names one) and then with the object's own; true when one matched, with the
// device standing on the first ciphertext byte.
bool BeginContainer(QIODevice &gz, TEncryption &crypt, qint32 storedMode, qint64 start,
                    qint64 dataLength)
{
    const int ownMode = crypt.KeyMode();
    std::vector<int> modes;
    if (storedMode >= 1 && storedMode <= 3)
        modes.push_back(storedMode);
    if (modes.empty() || modes.front() != ownMode)
        modes.push_back(ownMode);
    for (const int mode : modes) {
        crypt.SetKeyMode(mode);
        const int headerSize = crypt.GetHeaderSize();
        if (dataLength < headerSize + crypt.GetTrailerSize() || !gz.seek(start))
            continue;
        std::array<uchar, 32> header{};
        if (gz.read(reinterpret_cast<char *>(header.data()), headerSize) == headerSize
            && crypt.BeginDecrypt(header.data(), headerSize))
            return true;
    }
    crypt.SetKeyMode(ownMode);
    return false;
}

int DecryptAndInflate(QIODevice &gz, QIODevice *out, TEncryption &crypt, qint32 storedMode,
                      qint64 start, qint64 dataLength, qint64 &uncompressedSize,
                      const TUnpackOptions &options, TUnpackFacts &facts)
{
    if (!BeginContainer(gz, crypt, storedMode, start, dataLength))
        return UnpackDecryptError;
    const qint64 headerSize = crypt.GetHeaderSize();
    const qint64 cipherLength = dataLength - headerSize - crypt.GetTrailerSize();
    TReadAhead input(gz, &crypt, cipherLength, headerSize);
    quint32 unusedChecksum = 0;
    const TInflateOutcome outcome =
        InflateInput(input, out, false, unusedChecksum, uncompressedSize, options, dataLength);
    if (outcome.End == TInflateEnd::Cancelled)
        return UnpackUserBreak;
    // Whatever inflate made of it, the code decides whether the data can be
    // trusted: the rest of the container is read and authenticated.
    if (!input.Drain(options.Monitor, dataLength))
        return UnpackUserBreak;
    if (!input.Authenticated())
        return UnpackDecryptError;
    facts.StreamEnded = outcome.End == TInflateEnd::StreamEnd;
    facts.BytesAfterStream = facts.StreamEnded ? cipherLength - input.UsedByStream() : 0;
    facts.KeyModeUsed = crypt.KeyMode();
    return InflateCode(outcome);
}

// Opens the gz file for shared reading (nullptr when it cannot be opened)
// and clears the results.
std::unique_ptr<TExtFileDevice> OpenGz(const QString &gzName, quint32 &checksum,
                                       qint64 &compressedSize, qint64 &uncompressedSize)
{
    checksum = 0;
    compressedSize = 0;
    uncompressedSize = 0;
    try {
        return std::make_unique<TExtFileDevice>(LongPathName(gzName), fmOpenRead | fmShareDenyNone);
    } catch (const EExtFileStreamError &) {
        return nullptr;
    }
}

int UnpackOpened(TExtFileDevice &gz, QIODevice *dest, TEncryption *encryption, quint32 &checksum,
                 qint64 &compressedSize, qint64 &uncompressedSize, const TUnpackOptions &options)
{
    // The header was read before; a file that changed since then is
    // reported as unreadable instead of being inflated from a wrong place.
    TGzFileInfo info;
    if (!GetGzInfo(gz, info))
        return UnpackReadError;

    const qint64 start = gz.pos();
    const qint64 dataLength = qMax<qint64>(gz.size() - start - 8, 0);
    TUnpackFacts facts;
    facts.DataStart = start;
    int code = UnpackOk;
    if (!encryption) {
        TReadAhead input(gz, nullptr, dataLength, 0);
        const TInflateOutcome outcome =
            InflateInput(input, dest, true, checksum, uncompressedSize, options, dataLength);
        facts.StreamEnded = outcome.End == TInflateEnd::StreamEnd;
        code = InflateCode(outcome);
    } else {
        code = DecryptAndInflate(gz, dest, *encryption, info.EncMode, start, dataLength,
                                 uncompressedSize, options, facts);
        checksum = 0;
    }
    if (code == UnpackDecryptError || code == UnpackUserBreak) {
        uncompressedSize = 0;
        checksum = 0;
    }
    if (code == UnpackOk) {
        compressedSize = gz.pos() - start;
        if (!encryption && facts.StreamEnded)
            facts.BytesAfterStream = dataLength - compressedSize;
        if (options.Facts)
            *options.Facts = facts;
    }
    return code;
}

} // namespace

int KeyModeFromPassword(const QByteArray &password)
{
    if (password.isEmpty())
        return 0;
    return password.size() >= 16 ? 3 : 1;
}

int InflateToStream(QIODevice &source, QIODevice *dest, quint32 &checksum, qint64 compressedLength,
                    qint64 &uncompressedSize, const TUnpackOptions &options)
{
    TReadAhead input(source, nullptr, compressedLength > 0 ? compressedLength : -1, 0);
    const TInflateOutcome outcome = InflateInput(input, dest, true, checksum, uncompressedSize,
                                                 options, qMax<qint64>(compressedLength, 0));
    return InflateCode(outcome);
}

int UnpackGzData(const QString &gzName, QIODevice *dest, TEncryption *encryption,
                 quint32 &checksum, qint64 &compressedSize, qint64 &uncompressedSize,
                 const TUnpackOptions &options)
{
    const std::unique_ptr<TExtFileDevice> gz = OpenGz(gzName, checksum, compressedSize, uncompressedSize);
    if (!gz)
        return UnpackOpenError;
    return UnpackOpened(*gz, dest, encryption, checksum, compressedSize, uncompressedSize, options);
}

int UnpackGzFile(const QString &gzName, const QString &outName, TEncryption *encryption,
                 quint32 &checksum, qint64 &compressedSize, qint64 &uncompressedSize,
                 const TUnpackOptions &options)
{
    const std::unique_ptr<TExtFileDevice> gz = OpenGz(gzName, checksum, compressedSize, uncompressedSize);
    if (!gz)
        return UnpackOpenError;
    std::unique_ptr<TExtFileDevice> out;
    try {
        out = std::make_unique<TExtFileDevice>(LongPathName(outName), fmCreate, ScratchFileRights);
    } catch (const EExtFileStreamError &) {
        return UnpackCreateError;
    }
    const int code = UnpackOpened(*gz, out.get(), encryption, checksum, compressedSize,
                                  uncompressedSize, options);
    // Unauthenticated or unfinished data is never left behind.
    if (code == UnpackDecryptError || code == UnpackUserBreak)
        out->truncate(0);
    return code;
}

bool WriteFailedForSpace(const QIODevice &device)
{
    if (const auto *file = dynamic_cast<const QFileDevice *>(&device))
        return file->error() == QFileDevice::ResourceError;
    if (const auto *file = dynamic_cast<const TExtFileDevice *>(&device))
        return IsDiskFullError(file->LastErrorNumber());
    return false;
}

} // namespace packprobe
