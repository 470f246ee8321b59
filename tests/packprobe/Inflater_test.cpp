// Both inflate backends over one table of streams: every result of the
// unpacking must be the same, whichever backend decodes.
#include "packprobe/core/GzUnpack.h"
#include "packprobe/core/Inflater.h"

#include "GzTestFiles.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <functional>

using namespace packprobe;

using namespace packprobe;

using namespace GzTest;
using packprobe::TInflateBackend;

namespace {

QByteArray Noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return bytes;
}

QByteArray FlipByte(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x5A);
    return bytes;
}

// More than 4 GiB of zeros from a few MiB of deflate data.
QByteArray ZerosBeyondFourGiB()
{
    return RawDeflateOfZeros(66);
}

// How a stream of the table is expected to end.
enum class TShape { Complete, CutShort, Damaged };

struct StreamCase
{
    const char *label;
    TShape shape;
    std::function<QByteArray()> make; // the deflate data (and what follows it)
    qint64 plainSize;                 // for Complete: the bytes it inflates to (-1: unchecked)
    qint64 deflateSize;               // for Complete: where the stream ends (-1: whole input)
    bool slow = false;
};

const QByteArray &Text()
{
    static const QByteArray text = SampleText(3 * UnpackBufferSize + 4321, 7);
    return text;
}

std::vector<StreamCase> Cases()
{
    const QByteArray &text = Text();
    const QByteArray dynamic = RawDeflate(text);
    const QByteArray exact = SampleText(UnpackBufferSize, 3);
    const QByteArray noisy = Noise(200000, 9);
    const QByteArray noisyDeflate = RawDeflate(noisy);
    return {
        {"Stored", TShape::Complete, [=] { return RawDeflate(noisy, 0); },
         noisy.size(), -1},
        {"FixedBlocks", TShape::Complete, [=] { return RawDeflate(text, 6, Z_FIXED); }, text.size(), -1},
        {"DynamicBlocks", TShape::Complete, [=] { return dynamic; }, text.size(), -1},
        {"Empty", TShape::Complete, [] { return RawDeflate({}); }, 0, -1},
        {"ExactlyOneBuffer", TShape::Complete, [=] { return RawDeflate(exact); }, exact.size(), -1},
        {"JunkAfterTheEnd", TShape::Complete, [=] { return dynamic + QByteArray("junk after it"); },
         text.size(), dynamic.size()},
        {"JunkAfterNoisyStream", TShape::Complete,
         [=] { return noisyDeflate + Noise(3 * InflateInputPiece, 4); }, noisy.size(),
         noisyDeflate.size()},
        {"BeyondFourGiB", TShape::Complete, [] { return ZerosBeyondFourGiB(); },
         qint64(66) * 64 * 1024 * 1024, -1, true},
        {"CutInTheMiddle", TShape::CutShort, [=] { return dynamic.left(dynamic.size() / 2); }, -1, -1},
        {"CutOneByteShort", TShape::CutShort, [=] { return dynamic.chopped(1); }, -1, -1},
        {"CutAfterThreeBytes", TShape::CutShort, [=] { return dynamic.left(3); }, -1, -1},
        {"DamagedFirstBlockHeader", TShape::Damaged, [=] { return FlipByte(dynamic, 1); }, -1, -1},
        {"DamagedEarly", TShape::Damaged, [=] { return FlipByte(dynamic, 300); }, -1, -1},
        {"DamagedInTheMiddle", TShape::Damaged, [=] { return FlipByte(dynamic, dynamic.size() / 2); },
         -1, -1},
        {"DamagedNearTheEnd", TShape::Damaged, [=] { return FlipByte(dynamic, dynamic.size() - 3); },
         -1, -1},
        {"ReservedBlockType", TShape::Damaged, [] { return QByteArray(64, '\xFF'); }, -1, -1},
    };
}

struct Outcome
{
    int code = -1;
    quint32 crc = 0;
    qint64 size = 0;
    qint64 position = 0;
    QByteArray output;
};

Outcome Inflate(const QByteArray &input, TInflateBackend backend, bool keepOutput)
{
    QByteArray bytes = input;
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    Outcome outcome;
    QBuffer sink(&outcome.output);
    sink.open(QIODevice::WriteOnly);
    TUnpackOptions options;
    options.Backend = backend;
    outcome.code = InflateToStream(source, keepOutput ? &sink : nullptr, outcome.crc, 0,
                                   outcome.size, options);
    outcome.position = source.pos();
    return outcome;
}

class BothBackends : public ::testing::TestWithParam<StreamCase>
{
protected:
    void SetUp() override
    {
        if (!packprobe::InflateBackendAvailable(TInflateBackend::Isal))
            GTEST_SKIP() << "this build has no ISA-L backend";
        if (GetParam().slow && qEnvironmentVariableIsSet("PACKPROBE_SKIP_SLOW_TESTS"))
            GTEST_SKIP() << "PACKPROBE_SKIP_SLOW_TESTS is set";
    }
};

TEST_P(BothBackends, GiveTheSameResults)
{
    const StreamCase &c = GetParam();
    const QByteArray input = c.make();
    const bool keep = !c.slow;
    const Outcome zlib = Inflate(input, TInflateBackend::Zlib, keep);
    const Outcome isal = Inflate(input, TInflateBackend::Isal, keep);

    EXPECT_EQ(isal.code, zlib.code);
    switch (c.shape) {
    case TShape::Complete:
        ASSERT_EQ(zlib.code, UnpackOk);
        EXPECT_EQ(zlib.size, c.plainSize);
        EXPECT_EQ(isal.size, zlib.size);
        EXPECT_EQ(isal.crc, zlib.crc);
        EXPECT_EQ(zlib.position, c.deflateSize < 0 ? input.size() : c.deflateSize);
        EXPECT_EQ(isal.position, zlib.position);
        EXPECT_TRUE(isal.output == zlib.output);
        if (keep) {
            EXPECT_EQ(zlib.crc, Crc(zlib.output));
        }
        break;
    case TShape::CutShort:
        // Not an error: what could be decoded is counted. ISA-L may keep back
        // the bits of the last, incomplete symbol that zlib still decoded.
        ASSERT_EQ(zlib.code, UnpackOk);
        EXPECT_LE(isal.size, zlib.size);
        EXPECT_TRUE(Text().startsWith(zlib.output));
        EXPECT_TRUE(Text().startsWith(isal.output));
        EXPECT_EQ(isal.crc, Crc(isal.output));
        EXPECT_EQ(zlib.crc, Crc(zlib.output));
        EXPECT_EQ(isal.position, input.size());
        break;
    case TShape::Damaged:
        // Damage the decoder cannot see decodes to the same wrong bytes with
        // both; damage it sees stops both with the read error, and what came
        // before it agrees.
        if (zlib.code == UnpackOk) {
            EXPECT_TRUE(isal.output == zlib.output);
            EXPECT_EQ(isal.position, zlib.position);
        } else {
            EXPECT_EQ(zlib.code, UnpackReadError);
            EXPECT_TRUE(zlib.output.startsWith(isal.output) || isal.output.startsWith(zlib.output));
        }
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BothBackends, ::testing::ValuesIn(Cases()),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(InflateBackends, DefaultIsAvailableAndCrcsAgree)
{
    EXPECT_TRUE(packprobe::InflateBackendAvailable(packprobe::DefaultInflateBackend()));
    EXPECT_TRUE(packprobe::InflateBackendAvailable(TInflateBackend::Zlib));
    const QByteArray text = SampleText(100001);
    const auto *data = reinterpret_cast<const uchar *>(text.constData());
    for (const TInflateBackend backend : {TInflateBackend::Zlib, TInflateBackend::Isal}) {
        if (!packprobe::InflateBackendAvailable(backend))
            continue;
        EXPECT_EQ(packprobe::UpdateCrc32(backend, 0, data, text.size()), Crc(text));
        // Continued over two pieces.
        const quint32 first = packprobe::UpdateCrc32(backend, 0, data, 777);
        EXPECT_EQ(packprobe::UpdateCrc32(backend, first, data + 777, text.size() - 777), Crc(text));
        EXPECT_EQ(packprobe::UpdateCrc32(backend, 0, data, 0), 0u);
    }
}

} // namespace
