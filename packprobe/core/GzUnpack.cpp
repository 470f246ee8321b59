#include "packprobe/core/GzUnpack.h"

#include "packprobe/core/AesLib.h"
#include "packprobe/core/ExtFileDevice.h"
#include "packprobe/core/ExtFileTools.h"

#include <QIODevice>

#include <zlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Unpacking runs as a small pipeline so that it keeps pace with zlib alone:
// the calling thread only inflates; a reader thread reads the input ahead
// (and authenticates and decrypts an encrypted container), a writer thread
// computes the CRC-32 and writes the output buffers. Memory stays
// bounded by a fixed number of buffers in each stage.

namespace {

constexpr int OutputBufferCount = 3;
constexpr int InputPieceCount = 8;
constexpr quint32 ScratchFileRights = 0600;

struct TInflateDeleter
{
    void operator()(z_stream *stream) const
    {
        inflateEnd(stream);
        delete stream;
    }
};
using TInflatePtr = std::unique_ptr<z_stream, TInflateDeleter>;

TInflatePtr NewRawInflate()
{
    auto *stream = new z_stream{};
    if (inflateInit2(stream, -MAX_WBITS) != Z_OK) {
        delete stream;
        return nullptr;
    }
    return TInflatePtr(stream);
}

// Compressed input for inflate, one piece at a time.
class TDeflateSource
{
public:
    virtual ~TDeflateSource() = default;
    // The next piece (valid until the next call): its length, 0 when the
    // input is exhausted, -1 when it cannot be read.
    virtual qint64 next(const uchar *&data) = 0;
    // The deflate stream ended with unusedCount bytes of the last piece left.
    virtual void streamEnded(qint64 unusedCount) = 0;
    // Bytes of the data region processed so far (for progress).
    virtual qint64 done() const = 0;
};

// Reads the input on a thread of its own, ahead of inflate, in pieces of at
// most InflateInputPiece bytes, at most limit bytes in all (-1: up to the end
// of the device).
//
// Plain deflate data: when the stream ends, reading stops and the device is
// moved back to the first byte inflate did not use.
// Encrypted container (crypt given, limit = ciphertext length): every piece is
// fed to the authentication code and decrypted; after inflate has finished,
// the rest of the ciphertext is still read (the code covers all of it) and the
// stored code that follows it is checked. A container that ends early fails.
class TReadAheadSource final : public TDeflateSource
{
public:
    TReadAheadSource(QIODevice &device, TEncryption *crypt, qint64 limit, qint64 doneBase)
        : m_device(device), m_crypt(crypt), m_limit(limit), m_doneBase(doneBase),
          m_start(device.pos())
    {
        for (int i = 0; i < InputPieceCount; ++i) {
            m_storage.emplace_back(new uchar[InflateInputPiece]);
            m_free.push_back(m_storage.back().get());
        }
        m_thread = std::thread([this] { run(); });
    }
    ~TReadAheadSource() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_cancel = true;
            m_wantData = false;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        if (m_crypt) {
            for (auto &piece : m_storage)
                std::fill_n(piece.get(), InflateInputPiece, uchar(0));
        }
    }

    qint64 next(const uchar *&data) override
    {
        std::unique_lock lock(m_mutex);
        releaseCurrent();
        m_changed.wait(lock, [this] { return !m_full.empty() || m_finished; });
        if (m_full.empty())
            return m_readFailed ? -1 : 0;
        auto [piece, length] = m_full.front();
        m_full.pop_front();
        m_current = piece;
        m_handedOut += length;
        data = piece;
        return length;
    }
    void streamEnded(qint64 unusedCount) override
    {
        stopData();
        if (m_crypt)
            return;
        waitFinished(nullptr, 0);
        m_device.seek(m_start + m_handedOut - unusedCount);
    }
    qint64 done() const override { return m_doneBase + m_read.load(); }

    // Waits for the reader, reporting progress meanwhile. 0 when it ended
    // well (for a container: read whole, code matching), 11 for a container
    // that did not, 128 when the monitor cancelled.
    int finish(IUnpackMonitor *monitor, qint64 total)
    {
        stopData();
        if (!waitFinished(monitor, total))
            return UnpackUserBreak;
        if (!m_crypt)
            return UnpackOk;
        return m_authenticated ? UnpackOk : UnpackDecryptError;
    }

    void cancel()
    {
        {
            std::lock_guard lock(m_mutex);
            m_cancel = true;
        }
        stopData();
    }

private:
    // False when cancelled.
    bool waitFinished(IUnpackMonitor *monitor, qint64 total)
    {
        std::unique_lock lock(m_mutex);
        while (!m_finished) {
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
            if (monitor && !m_finished) {
                lock.unlock();
                monitor->progress(done(), total);
                const bool cancel = monitor->cancelRequested();
                lock.lock();
                if (cancel) {
                    m_cancel = true;
                    m_changed.notify_all();
                }
            }
        }
        return !m_cancel;
    }
    void stopData()
    {
        {
            std::lock_guard lock(m_mutex);
            m_wantData = false;
            releaseCurrent();
            for (auto &[piece, length] : m_full)
                m_free.push_back(piece);
            m_full.clear();
        }
        m_changed.notify_all();
    }
    void releaseCurrent()
    {
        if (m_current) {
            m_free.push_back(m_current);
            m_current = nullptr;
            m_changed.notify_all();
        }
    }

    void run()
    {
        qint64 remaining = m_limit < 0 ? std::numeric_limits<qint64>::max() : m_limit;
        bool failed = false;
        while (remaining > 0) {
            uchar *piece = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_free.empty() || m_cancel || !m_wantData; });
                // Plain data is no longer needed once inflate has finished.
                if (m_cancel || (!m_crypt && !m_wantData))
                    break;
                if (m_free.empty()) // draining a container: its pieces all came back
                    continue;
                piece = m_free.front();
                m_free.pop_front();
            }
            const qint64 wanted = qMin(remaining, InflateInputPiece);
            const qint64 got = m_device.read(reinterpret_cast<char *>(piece), wanted);
            const bool ended = got == 0 && !m_crypt;
            const bool ok = got > 0 && (!m_crypt || m_crypt->DecryptBlock(piece, got));
            std::lock_guard lock(m_mutex);
            if (!ok) {
                m_free.push_back(piece);
                failed = !ended;
                break;
            }
            remaining -= got;
            m_read += got;
            if (m_wantData)
                m_full.emplace_back(piece, got);
            else
                m_free.push_back(piece);
            m_changed.notify_all();
        }
        bool authenticated = false;
        if (m_crypt && !failed && remaining <= 0) {
            std::array<uchar, TCrypt::MacLength> code{};
            const qint64 got = m_device.read(reinterpret_cast<char *>(code.data()), qint64(code.size()));
            if (got == qint64(code.size())) {
                m_read += got;
                authenticated = m_crypt->FinishDecrypt(code.data(), got);
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_readFailed = failed;
            m_authenticated = authenticated && !m_cancel;
            m_finished = true;
        }
        m_changed.notify_all();
    }

    QIODevice &m_device;
    TEncryption *const m_crypt;
    const qint64 m_limit;
    const qint64 m_doneBase;
    const qint64 m_start;
    std::vector<std::unique_ptr<uchar[]>> m_storage;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<uchar *> m_free;
    std::deque<std::pair<uchar *, qint64>> m_full;
    uchar *m_current = nullptr;
    qint64 m_handedOut = 0; // bytes given to inflate (inflate's thread only)
    std::atomic<qint64> m_read{0};
    bool m_wantData = true;
    bool m_cancel = false;
    bool m_finished = false;
    bool m_readFailed = false;
    bool m_authenticated = false;
    std::thread m_thread;
};

// Takes inflated buffers, updates the CRC-32 and writes them, on a thread of
// its own. After the first failed write it drops what follows.
class TOutputPipe
{
public:
    TOutputPipe(QIODevice *dest, bool withChecksum, quint32 checksum)
        : m_dest(dest), m_withChecksum(withChecksum), m_checksum(checksum)
    {
        for (int i = 0; i < OutputBufferCount; ++i) {
            m_storage.emplace_back(new uchar[UnpackBufferSize]);
            m_free.push_back(m_storage.back().get());
        }
        m_thread = std::thread([this] { run(); });
    }
    ~TOutputPipe()
    {
        finish();
        for (auto &buffer : m_storage)
            std::fill_n(buffer.get(), UnpackBufferSize, uchar(0));
    }

    uchar *acquire()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_free.empty(); });
        uchar *buffer = m_free.front();
        m_free.pop_front();
        return buffer;
    }
    void submit(uchar *buffer, qint64 length)
    {
        {
            std::lock_guard lock(m_mutex);
            m_full.emplace_back(buffer, length);
        }
        m_changed.notify_all();
    }
    void giveBack(uchar *buffer)
    {
        {
            std::lock_guard lock(m_mutex);
            m_free.push_back(buffer);
        }
        m_changed.notify_all();
    }
    int code() const { return m_code.load(); }
    // Waits until every submitted buffer is handled.
    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    quint32 checksum() const { return m_checksum; }
    qint64 written() const { return m_written; }

private:
    void run()
    {
        for (;;) {
            std::pair<uchar *, qint64> job;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_full.empty() || m_closing; });
                if (m_full.empty())
                    return;
                job = m_full.front();
                m_full.pop_front();
            }
            if (m_code.load() == 0)
                handle(job.first, job.second);
            giveBack(job.first);
        }
    }
    void handle(const uchar *data, qint64 length)
    {
        if (m_withChecksum)
            m_checksum = quint32(crc32_z(m_checksum, data, size_t(length)));
        if (!m_dest) {
            m_written += length;
            return;
        }
        const qint64 written = m_dest->write(reinterpret_cast<const char *>(data), length);
        if (written < 0) {
            m_code = UnpackWriteError;
            return;
        }
        m_written += written;
        if (written < length)
            m_code = UnpackLowDiskSpace;
    }

    QIODevice *const m_dest;
    const bool m_withChecksum;
    quint32 m_checksum;
    qint64 m_written = 0;
    std::atomic<int> m_code{0};
    std::vector<std::unique_ptr<uchar[]>> m_storage;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<uchar *> m_free;
    std::deque<std::pair<uchar *, qint64>> m_full;
    bool m_closing = false;
    std::thread m_thread;
};

// Inflates the whole source into the pipe: 0, 4 or 128 (the pipe keeps its
// own write code).
int InflateInto(TDeflateSource &source, TOutputPipe &out, IUnpackMonitor *monitor, qint64 total)
{
    TInflatePtr stream = NewRawInflate();
    if (!stream)
        return UnpackReadError;
    bool ended = false;
    while (!ended && out.code() == 0) {
        if (monitor) {
            monitor->progress(source.done(), total);
            if (monitor->cancelRequested())
                return UnpackUserBreak;
        }
        uchar *buffer = out.acquire();
        stream->next_out = buffer;
        stream->avail_out = uInt(UnpackBufferSize);
        while (stream->avail_out > 0) {
            if (stream->avail_in == 0) {
                const uchar *piece = nullptr;
                const qint64 length = source.next(piece);
                if (length < 0) {
                    out.giveBack(buffer);
                    return UnpackReadError;
                }
                if (length == 0) {
                    ended = true; // the input ends before the stream does: cut short
                    break;
                }
                stream->next_in = const_cast<Bytef *>(piece);
                stream->avail_in = uInt(length);
            }
            const int result = inflate(stream.get(), Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                source.streamEnded(stream->avail_in);
                stream->avail_in = 0;
                ended = true;
                break;
            }
            if ((result != Z_OK && result != Z_BUF_ERROR)
                || (result == Z_BUF_ERROR && stream->avail_in > 0 && stream->avail_out > 0)) {
                // What this piece produced is dropped with the error.
                out.giveBack(buffer);
                return UnpackReadError;
            }
        }
        const qint64 produced = UnpackBufferSize - stream->avail_out;
        out.submit(buffer, produced);
        if (produced < UnpackBufferSize)
            break;
    }
    if (monitor)
        monitor->progress(source.done(), total);
    return UnpackOk;
}

int InflateSource(TDeflateSource &source, QIODevice *dest, bool withChecksum, quint32 &checksum,
                  qint64 &uncompressedSize, IUnpackMonitor *monitor, qint64 total)
{
    TOutputPipe out(dest, withChecksum, checksum);
    const int inflateCode = InflateInto(source, out, monitor, total);
    out.finish();
    checksum = out.checksum();
    uncompressedSize += out.written();
    return inflateCode != UnpackOk ? inflateCode : out.code();
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

int DecryptAndInflate(QIODevice &gz, QIODevice &out, TEncryption &crypt, qint32 storedMode,
                      qint64 start, qint64 dataLength, qint64 &uncompressedSize,
                      IUnpackMonitor *monitor)
{
    if (!BeginContainer(gz, crypt, storedMode, start, dataLength))
        return UnpackDecryptError;
    const qint64 headerSize = crypt.GetHeaderSize();
    const qint64 cipherLength = dataLength - headerSize - crypt.GetTrailerSize();
    TReadAheadSource source(gz, &crypt, cipherLength, headerSize);
    quint32 unusedChecksum = 0;
    const int inflateCode = InflateSource(source, &out, false, unusedChecksum, uncompressedSize,
                                          monitor, dataLength);
    if (inflateCode == UnpackUserBreak) {
        source.cancel();
        source.finish(nullptr, dataLength);
        return UnpackUserBreak;
    }
    const int containerCode = source.finish(monitor, dataLength);
    return containerCode != UnpackOk ? containerCode : inflateCode;
}

} // namespace

int KeyModeFromPassword(const QByteArray &password)
{
    if (password.isEmpty())
        return 0;
    return password.size() >= 16 ? 3 : 1;
}

int InflateToStream(QIODevice &source, QIODevice *dest, quint32 &checksum, qint64 compressedLength,
                    qint64 &uncompressedSize, IUnpackMonitor *monitor)
{
    TReadAheadSource input(source, nullptr, compressedLength > 0 ? compressedLength : -1, 0);
    return InflateSource(input, dest, true, checksum, uncompressedSize, monitor,
                         qMax<qint64>(compressedLength, 0));
}

int UnpackGzFile(const QString &gzName, const QString &outName, TEncryption *encryption,
                 quint32 &checksum, qint64 &compressedSize, qint64 &uncompressedSize,
                 IUnpackMonitor *monitor)
{
    checksum = 0;
    compressedSize = 0;
    uncompressedSize = 0;

    std::unique_ptr<TExtFileDevice> gz;
    try {
        gz = std::make_unique<TExtFileDevice>(LongPathName(gzName), fmOpenRead | fmShareDenyNone);
    } catch (const EExtFileStreamError &) {
        return UnpackOpenError;
    }
    // The header was read before; a file that changed since then is
    // reported as unreadable instead of being inflated from a wrong place.
    TGzFileInfo info;
    if (!GetGzInfo(*gz, info))
        return UnpackReadError;

    std::unique_ptr<TExtFileDevice> out;
    try {
        out = std::make_unique<TExtFileDevice>(LongPathName(outName), fmCreate, ScratchFileRights);
    } catch (const EExtFileStreamError &) {
        return UnpackCreateError;
    }

    const qint64 start = gz->pos();
    const qint64 dataLength = gz->size() - start - 8;
    int code = UnpackOk;
    if (!encryption) {
        TReadAheadSource input(*gz, nullptr, qMax<qint64>(dataLength, 0), 0);
        code = InflateSource(input, out.get(), true, checksum, uncompressedSize, monitor,
                             qMax<qint64>(dataLength, 0));
    } else {
        code = DecryptAndInflate(*gz, *out, *encryption, info.EncMode, start, dataLength,
                                 uncompressedSize, monitor);
        checksum = 0;
    }

    if (code == UnpackDecryptError || code == UnpackUserBreak) {
        // Unauthenticated or unfinished data is never left behind.
        out->truncate(0);
        uncompressedSize = 0;
        checksum = 0;
    }
    if (code == UnpackOk)
        compressedSize = gz->pos() - start;
    return code;
}
