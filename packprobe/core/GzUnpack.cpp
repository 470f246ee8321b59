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
    TBufferSet(int count, qint64 size, TPieceChannel &free) : m_size(size)
    {
        for (int i = 0; i < count; ++i) {
            m_buffers.emplace_back(new uchar[size_t(size)]);
            free.Push({m_buffers.back().get(), size});
        }
    }
    ~TBufferSet()
    {
        for (auto &buffer : m_buffers)
            std::fill_n(buffer.get(), m_size, uchar(0));
    }
    TBufferSet(const TBufferSet &) = delete;
    TBufferSet &operator=(const TBufferSet &) = delete;

private:
    qint64 m_size;
    std::vector<std::unique_ptr<uchar[]>> m_buffers;
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
        : m_device(device), m_crypt(crypt), m_limit(limit), m_doneBase(doneBase),
          m_start(device.pos()), m_buffers(InputPieceCount, InflateInputPiece, m_free)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~TReadAhead() { Stop(); }
    TReadAhead(const TReadAhead &) = delete;
    TReadAhead &operator=(const TReadAhead &) = delete;

    // The next piece in order; Data null at the end of the input.
    TPiece Next()
    {
        const std::optional<TPiece> piece = m_full.Pop();
        if (!piece || !piece->Data) {
            m_ended = true;
            return {};
        }
        m_handedOut += piece->Length;
        return *piece;
    }
    void GiveBack(const TPiece &piece) { m_free.Push(piece); }

    // Stops reading ahead and waits for the thread.
    void Stop()
    {
        m_free.Close();
        if (m_thread.joinable())
            m_thread.join();
    }
    // The deflate stream ended with unused bytes of what was handed out left
    // over. Plain data: the device then stands on the first of them. A
    // container is read on to its end (Drain), since its code covers all.
    void StreamEnded(qint64 unused)
    {
        m_usedByStream = m_handedOut - unused;
        if (m_crypt)
            return;
        Stop();
        m_device.seek(m_start + m_handedOut - unused);
    }
    // Reads (and authenticates) the rest of the input without handing it
    // out, reporting progress; false when the monitor cancelled.
    bool Drain(foundation::IProgressMonitor *monitor, qint64 total)
    {
        while (!m_ended) {
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

    qint64 Done() const { return m_doneBase + m_read.load(); }
    // Input bytes the deflate stream took up to its end marker.
    qint64 UsedByStream() const { return m_usedByStream; }
    // Valid after the end of the input was handed out.
    bool ReadFailed() const { return m_readFailed; }
    bool Authenticated() const { return m_authenticated; }

private:
    void Run()
    {
        qint64 remaining = m_limit < 0 ? std::numeric_limits<qint64>::max() : m_limit;
        bool failed = false;
        bool stopped = false;
        while (remaining > 0) {
            const std::optional<TPiece> free = m_free.Pop();
            if (!free) {
                stopped = true;
                break;
            }
            const qint64 wanted = qMin(remaining, InflateInputPiece);
            const qint64 got = m_device.read(reinterpret_cast<char *>(free->Data), wanted);
            const bool ended = got == 0 && !m_crypt;
            if (got <= 0 || (m_crypt && !m_crypt->DecryptBlock(free->Data, got))) {
                failed = !ended;
                break;
            }
            remaining -= got;
            m_read += got;
            m_full.Push({free->Data, got});
        }
        if (m_crypt && !failed && !stopped)
            m_authenticated = CheckCode();
        m_readFailed = failed;
        m_full.Push({});
    }
    bool CheckCode()
    {
        std::array<uchar, TCrypt::MacLength> code{};
        const qint64 got = m_device.read(reinterpret_cast<char *>(code.data()), qint64(code.size()));
        if (got != qint64(code.size()))
            return false;
        m_read += got;
        return m_crypt->FinishDecrypt(code.data(), got);
    }

    QIODevice &m_device;
    TEncryption *const m_crypt;
    const qint64 m_limit;
    const qint64 m_doneBase;
    const qint64 m_start;
    TPieceChannel m_free;
    TPieceChannel m_full;
    TBufferSet m_buffers;
    std::atomic<qint64> m_read{0};
    // Written by the thread before it hands out the end, read after.
    bool m_readFailed = false;
    bool m_authenticated = false;
    // Inflate's thread only.
    qint64 m_handedOut = 0;
    qint64 m_usedByStream = 0;
    bool m_ended = false;
    std::thread m_thread;
};

// Takes inflated buffers, updates the CRC-32 and writes them (or only counts
// them), on a thread of its own. After the first failed write it drops what
// follows.
class TWriteBehind
{
public:
    TWriteBehind(QIODevice *dest, TInflateBackend backend, bool withChecksum, quint32 checksum)
        : m_dest(dest), m_backend(backend), m_withChecksum(withChecksum), m_checksum(checksum),
          m_buffers(OutputBufferCount, UnpackBufferSize, m_free)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~TWriteBehind() { Finish(); }
    TWriteBehind(const TWriteBehind &) = delete;
    TWriteBehind &operator=(const TWriteBehind &) = delete;

    uchar *Acquire() { return m_free.Pop()->Data; }
    void Submit(uchar *buffer, qint64 length) { m_full.Push({buffer, length}); }
    void GiveBack(uchar *buffer) { m_free.Push({buffer, UnpackBufferSize}); }
    int Code() const { return m_code.load(); }
    // Waits until every submitted buffer is handled.
    void Finish()
    {
        if (!m_thread.joinable())
            return;
        m_full.Push({});
        m_thread.join();
    }
    quint32 Checksum() const { return m_checksum; }
    qint64 Written() const { return m_written; }

private:
    void Run()
    {
        for (;;) {
            const TPiece piece = *m_full.Pop();
            if (!piece.Data)
                return;
            if (m_code.load() == UnpackOk)
                Handle(piece.Data, piece.Length);
            GiveBack(piece.Data);
        }
    }
    void Handle(const uchar *data, qint64 length)
    {
        if (m_withChecksum)
            m_checksum = packprobe::UpdateCrc32(m_backend, m_checksum, data, length);
        if (!m_dest) {
            m_written += length;
            return;
        }
        const qint64 written = m_dest->write(reinterpret_cast<const char *>(data), length);
        if (written < 0) {
            m_code = WriteFailedForSpace(*m_dest) ? UnpackLowDiskSpace : UnpackWriteError;
            return;
        }
        m_written += written;
        if (written < length)
            m_code = UnpackLowDiskSpace;
    }

    QIODevice *const m_dest;
    const TInflateBackend m_backend;
    const bool m_withChecksum;
    quint32 m_checksum;
    qint64 m_written = 0;
    std::atomic<int> m_code{UnpackOk};
    TPieceChannel m_free;
    TPieceChannel m_full;
    TBufferSet m_buffers;
    std::thread m_thread;
};

// How an inflate run ended.
enum class TInflateEnd { StreamEnd, CutShort, DataError, ReadError, Cancelled, WriteFailed };

// Inflates the pieces of the reader into the writer's buffers.
class TInflateRun
{
public:
    TInflateRun(TReadAhead &input, IRawInflater &inflater, TWriteBehind &output,
                foundation::IProgressMonitor *monitor, qint64 total)
        : m_input(input), m_inflater(inflater), m_output(output), m_monitor(monitor),
          m_total(total)
    {
    }

    TInflateEnd Run()
    {
        for (;;) {
            if (m_output.Code() != UnpackOk)
                return Finish(TInflateEnd::WriteFailed);
            foundation::ReportProgress(m_monitor, m_input.Done(), m_total);
            if (foundation::IsCancelRequested(m_monitor))
                return Finish(TInflateEnd::Cancelled);
            uchar *buffer = m_output.Acquire();
            qint64 produced = 0;
            const std::optional<TInflateEnd> end = Fill(buffer, produced);
            if (end == TInflateEnd::DataError || end == TInflateEnd::ReadError) {
                // What this buffer got before the error is dropped with it.
                m_output.GiveBack(buffer);
                return Finish(*end);
            }
            m_output.Submit(buffer, produced);
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
            const auto result = m_inflater.Inflate(buffer + produced, UnpackBufferSize - produced, n);
            produced += n;
            switch (result) {
            case IRawInflater::TResult::StreamEnd:
                m_input.StreamEnded(m_inflater.InputLeft());
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
            m_piece = m_input.Next();
            if (!m_piece.Data)
                return m_input.ReadFailed() ? TInflateEnd::ReadError : TInflateEnd::CutShort;
            m_inflater.SetInput(m_piece.Data, m_piece.Length);
        }
    }
    void ReturnPiece()
    {
        if (m_piece.Data)
            m_input.GiveBack(m_piece);
        m_piece = {};
    }
    TInflateEnd Finish(TInflateEnd end)
    {
        ReturnPiece();
        foundation::ReportProgress(m_monitor, m_input.Done(), m_total);
        return end;
    }

    TReadAhead &m_input;
    IRawInflater &m_inflater;
    TWriteBehind &m_output;
    foundation::IProgressMonitor *const m_monitor;
    const qint64 m_total;
    TPiece m_piece;
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
        return IsDiskFullError(file->lastErrorNumber());
    return false;
}

} // namespace packprobe
