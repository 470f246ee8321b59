#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// Raw deflate decoding and the CRC-32 of gzip behind one small interface,
// with two backends: zlib everywhere, and Intel's ISA-L (hand-vectorised,
// about twice as fast) where the build found it. The build picks the default
// backend (the CMake option MP_WITH_ISAL, on where libisal is found); one
// stream is always decoded and checksummed by one backend, never a mix.
//
// Both give the same results for every complete stream, for an invalid one
// (an error) and for data after the stream's end. They may stop at different
// bytes of a damaged or cut stream: zlib hands out every byte it could decode
// before the damage or the cut, ISA-L keeps back the last bits it could not
// yet decode as a whole symbol. The outcome (error, or a stream cut short)
// is the same; the count of bytes produced before it can differ by a few.

namespace packprobe {

enum class TInflateBackend { Zlib, Isal };

// One raw deflate stream (no zlib or gzip wrapper) being decoded.
class IRawInflater
{
public:
    enum class TResult {
        NeedInput,  // the output has room but the input is used up
        OutputFull, // the output is full; call again with more room
        StreamEnd,  // the stream ended; InputLeft() bytes follow it
        DataError   // not a valid deflate stream
    };

    virtual ~IRawInflater() = default;
    // The next input; valid until the inflater has used it up.
    virtual void SetInput(const uchar *data, qint64 length) = 0;
    // Bytes of the input not used (after StreamEnd: the bytes after the
    // stream's end, possibly more than the last input held).
    virtual qint64 InputLeft() const = 0;
    // Decodes into out (capacity bytes); produced receives the bytes written.
    virtual TResult Inflate(uchar *out, qint64 capacity, qint64 &produced) = 0;
};

// An inflater of the given backend; nullptr when that backend is not built
// in or cannot be set up.
std::unique_ptr<IRawInflater> NewRawInflater(TInflateBackend backend);

// CRC-32 of gzip continued over the bytes (start with 0).
quint32 UpdateCrc32(TInflateBackend backend, quint32 crc, const uchar *data, qint64 length);

bool InflateBackendAvailable(TInflateBackend backend);
// The backend chosen at build time.
TInflateBackend DefaultInflateBackend();
// "zlib" or "ISA-L".
QString InflateBackendName(TInflateBackend backend);

} // namespace packprobe
