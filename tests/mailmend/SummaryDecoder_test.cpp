#include "mailmend/core/SummaryDecoder.h"

#include <gtest/gtest.h>

#include <memory>

using namespace mailmend;

namespace {

QByteArray Block(int n)
{
    return "From: a@example.org\r\nSubject: mail " + QByteArray::number(n) + "\r\n";
}

class SummaryDecoderTest : public ::testing::TestWithParam<bool>
{
};

// Many more blocks than travel at once, taken now and then while more are
// given: every summary comes back once, in the order given.
TEST_P(SummaryDecoderTest, SummariesComeBackInTheOrderGiven)
{
    constexpr int Count = 1000;
    TSummaryDecoder decoder(GetParam());
    QStringList subjects;
    const TSummaryDecoder::TTake take = [&](TMailSummary &&summary) { subjects.append(summary.Subject); };
    for (int n = 0; n < Count; ++n) {
        decoder.Submit(Block(n));
        if (n % 7 == 0)
            decoder.TakeReady(take);
    }
    decoder.TakeAll(take);
    ASSERT_EQ(subjects.size(), Count);
    for (int n = 0; n < Count; ++n)
        ASSERT_EQ(subjects[n], QStringLiteral("mail %1").arg(n));
    decoder.TakeAll(take);
    EXPECT_EQ(subjects.size(), Count);
}

// A scan that stops early (cancelled, or a read error) drops the decoder
// with blocks still on their way; that must end, not wait for a taker.
TEST_P(SummaryDecoderTest, DroppedWithBlocksOnTheirWay)
{
    auto decoder = std::make_unique<TSummaryDecoder>(GetParam());
    QStringList subjects;
    for (int n = 0; n < 500; ++n)
        decoder->Submit(Block(n));
    decoder->TakeReady([&](TMailSummary &&summary) { subjects.append(summary.Subject); });
    decoder.reset();
    // What was ready by then is the start of the sequence.
    for (qsizetype n = 0; n < subjects.size(); ++n)
        ASSERT_EQ(subjects[n], QStringLiteral("mail %1").arg(n));
}

INSTANTIATE_TEST_SUITE_P(Modes, SummaryDecoderTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? std::string("OwnThread") : std::string("AtOnce");
                         });

} // namespace
