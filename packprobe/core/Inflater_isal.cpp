// The ISA-L backend of the inflater (built only where libisal was found).
#include "packprobe/core/Inflater.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <limits>

namespace packprobe {

namespace {

constexpr qint64 MaxIsalChunk = std::numeric_limits<uint32_t>::max();

class TIsalInflater final : public IRawInflater
{
public:
    // The state is large (tens of KiB): kept on the heap with its owner.
    TIsalInflater() { isal_inflate_init(&FState); }

    void SetInput(const uchar *data, qint64 length) override
    {
        FState.next_in = const_cast<uint8_t *>(data);
        FState.avail_in = uint32_t(qMin(length, MaxIsalChunk));
    }
    qint64 InputLeft() const override
    {
        // After the end of a raw stream the whole bytes still in the bit
        // buffer were read ahead and belong to what follows the stream.
        if (FState.block_state == ISAL_BLOCK_FINISH)
            return qint64(FState.avail_in) + FState.read_in_length / 8;
        return FState.avail_in;
    }

    TResult Inflate(uchar *out, qint64 capacity, qint64 &produced) override
    {
        FState.next_out = out;
        FState.avail_out = uint32_t(qMin(capacity, MaxIsalChunk));
        const uint32_t room = FState.avail_out;
        for (;;) {
            const uint32_t inBefore = FState.avail_in;
            const uint32_t outBefore = FState.avail_out;
            const int result = isal_inflate(&FState);
            produced = qint64(room - FState.avail_out);
            if (result < 0)
                return TResult::DataError;
            if (FState.block_state == ISAL_BLOCK_FINISH)
                return TResult::StreamEnd;
            if (FState.avail_out == 0)
                return TResult::OutputFull;
            if (FState.avail_in == 0)
                return TResult::NeedInput;
            if (FState.avail_in == inBefore && FState.avail_out == outBefore)
                return TResult::DataError; // room and input, yet no progress
        }
    }

private:
    inflate_state FState{};
};

} // namespace

std::unique_ptr<IRawInflater> NewIsalInflater()
{
    return std::make_unique<TIsalInflater>();
}

quint32 IsalCrc32(quint32 crc, const uchar *data, qint64 length)
{
    while (length > 0) {
        const qint64 piece = qMin(length, MaxIsalChunk);
        crc = crc32_gzip_refl(crc, data, uint64_t(piece));
        data += piece;
        length -= piece;
    }
    return crc;
}

} // namespace packprobe
