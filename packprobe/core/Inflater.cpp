#include "packprobe/core/Inflater.h"

#include <zlib.h>

#include <limits>

namespace packprobe {

#ifdef MP_HAVE_ISAL
// Inflater_isal.cpp.
std::unique_ptr<IRawInflater> NewIsalInflater();
quint32 IsalCrc32(quint32 crc, const uchar *data, qint64 length);
#endif

namespace {

// zlib takes lengths of 32 bits at a time.
constexpr qint64 MaxZlibChunk = std::numeric_limits<uInt>::max();

class TZlibInflater final : public IRawInflater
{
public:
    TZlibInflater() = default;
    ~TZlibInflater() override
    {
        if (FReady)
            inflateEnd(&FStream);
    }
    TZlibInflater(const TZlibInflater &) = delete;
    TZlibInflater &operator=(const TZlibInflater &) = delete;

    bool Init()
    {
        FReady = inflateInit2(&FStream, -MAX_WBITS) == Z_OK;
        return FReady;
    }

    void SetInput(const uchar *data, qint64 length) override
    {
        FStream.next_in = const_cast<Bytef *>(data);
        FStream.avail_in = uInt(qMin(length, MaxZlibChunk));
    }
    qint64 InputLeft() const override { return FStream.avail_in; }

    TResult Inflate(uchar *out, qint64 capacity, qint64 &produced) override
    {
        FStream.next_out = out;
        FStream.avail_out = uInt(qMin(capacity, MaxZlibChunk));
        const uInt before = FStream.avail_out;
        const int result = inflate(&FStream, Z_NO_FLUSH);
        produced = qint64(before - FStream.avail_out);
        if (result == Z_STREAM_END)
            return TResult::StreamEnd;
        // Z_BUF_ERROR only says that no progress was possible.
        if (result != Z_OK && result != Z_BUF_ERROR)
            return TResult::DataError;
        if (FStream.avail_out == 0)
            return TResult::OutputFull;
        if (FStream.avail_in > 0)
            return TResult::DataError; // room and input, yet no progress
        return TResult::NeedInput;
    }

private:
    z_stream FStream{};
    bool FReady = false;
};

} // namespace

std::unique_ptr<IRawInflater> NewRawInflater(TInflateBackend backend)
{
    if (backend == TInflateBackend::Isal) {
#ifdef MP_HAVE_ISAL
        return NewIsalInflater();
#else
        return nullptr;
#endif
    }
    auto inflater = std::make_unique<TZlibInflater>();
    if (!inflater->Init())
        return nullptr;
    return inflater;
}

quint32 UpdateCrc32(TInflateBackend backend, quint32 crc, const uchar *data, qint64 length)
{
#ifdef MP_HAVE_ISAL
    if (backend == TInflateBackend::Isal)
        return IsalCrc32(crc, data, length);
#else
    Q_UNUSED(backend);
#endif
    return quint32(crc32_z(crc, data, size_t(length)));
}

bool InflateBackendAvailable(TInflateBackend backend)
{
#ifdef MP_HAVE_ISAL
    Q_UNUSED(backend);
    return true;
#else
    return backend == TInflateBackend::Zlib;
#endif
}

TInflateBackend DefaultInflateBackend()
{
#ifdef MP_HAVE_ISAL
    return TInflateBackend::Isal;
#else
    return TInflateBackend::Zlib;
#endif
}

QString InflateBackendName(TInflateBackend backend)
{
    return backend == TInflateBackend::Isal ? QStringLiteral("ISA-L") : QStringLiteral("zlib");
}

} // namespace packprobe
