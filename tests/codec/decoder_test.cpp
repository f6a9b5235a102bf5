// The fast decoder against the plain ring-window decoder, on fixtures named for
// what they exercise and on random streams.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "platform/szdd.h"
#include "tests/codec/szdd_fixtures.h"

namespace swk::codec_test {
namespace {

constexpr std::int64_t kBadHeader = static_cast<std::int64_t>(szdd::ExpandError::BadHeader);
constexpr std::int64_t kTruncated = static_cast<std::int64_t>(szdd::ExpandError::Truncated);
constexpr std::uint8_t kGuard = 0xCC;

std::vector<std::uint8_t> PatternBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 % 251);
    return bytes;
}

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct DecodeCase {
    const char* name;
    std::vector<std::uint8_t> file;
    std::int64_t result;                                // count or error
    std::vector<std::uint8_t> expected;                 // the output, when result >= 0
    std::optional<std::size_t> outSize = std::nullopt;  // default: the expected length
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<DecodeCase> Cases() {
    std::vector<DecodeCase> cases;
    auto add = [&](const char* name, const SzddBuilder& b, std::vector<std::uint8_t> expected) {
        const auto size = static_cast<std::int64_t>(expected.size());
        cases.push_back({name, b.Finish(), size, std::move(expected)});
    };
    add("LiteralsOnly", SzddBuilder().Literals("hello"), Bytes("hello"));
    add("OverlapCopyDistanceOne", SzddBuilder().Literal('a').Back(1, 18),
        Bytes(std::string(19, 'a')));
    add("OverlapCopyDistanceThree", SzddBuilder().Literals("abc").Back(3, 18),
        Bytes("abcabcabcabcabcabcabc"));
    add("ReferenceIntoInitialSpaces", SzddBuilder().Reference(0, 5).Literal('!'), Bytes("     !"));
    add("ReferenceFromSpacesIntoOutput", SzddBuilder().Literals("ab").Reference(4078, 6),
        Bytes("ab  ab  "));
    add("ReferenceToTheWritePosition", SzddBuilder().Literals("xy").Reference(4082, 4),
        Bytes("xy    "));
    add("FinalFlagByteWithBitsLeft", SzddBuilder().Literals("abc"), Bytes("abc"));
    add("EmptyFile", SzddBuilder(), {});
    add("WindowWrapDuringCopy", SzddBuilder().Literals("0123456789ABCDEF").Reference(4090, 12),
        Bytes("0123456789ABCDEFABCDEFABCDEF"));
    {
        // 4200 bytes out; position 4094 last held output byte 14 + 4096.
        const std::vector<std::uint8_t> literals = PatternBytes(4200);
        SzddBuilder b;
        for (std::uint8_t byte : literals) b.Literal(byte);
        b.Reference(4094, 5);
        std::vector<std::uint8_t> expected = literals;
        for (std::size_t k = 0; k < 5; ++k) expected.push_back(literals[4110 + k]);
        add("ReferenceAcrossTheRingEndAfterAFullWindow", b, expected);
    }
    cases.push_back({"HeaderLengthSmallerThanData", SzddBuilder().Literals("abcdef").Finish(4), 4,
                     Bytes("abcd")});
    cases.push_back({"HeaderLengthEndsInsideAReference",
                     SzddBuilder().Literals("ab").Back(2, 10).Finish(5), 5, Bytes("ababa")});
    cases.push_back({"OutputBufferSmallerThanFile", SzddBuilder().Literals("abcdef").Finish(), 3,
                     Bytes("abc"), 3});
    cases.push_back({"OutputBufferEndsInsideAReference",
                     SzddBuilder().Literal('z').Back(1, 18).Finish(), 7, Bytes("zzzzzzz"), 7});

    std::vector<std::uint8_t> badSignature = SzddBuilder().Literals("abc").Finish();
    badSignature[5] ^= 1;
    cases.push_back({"BadSignature", badSignature, kBadHeader, {}});
    cases.push_back({"BadMode", SzddBuilder().Literals("abc").Finish(3, 'B'), kBadHeader, {}});
    std::vector<std::uint8_t> shortHeader = SzddBuilder().Finish(0);
    shortHeader.pop_back();
    cases.push_back({"ShorterThanTheHeader", shortHeader, kBadHeader, {}});
    cases.push_back({"HeaderLengthLargerThanData",
                     SzddBuilder().Literals("abc").Finish(10),
                     kTruncated,
                     {},
                     10});
    cases.push_back({"NoDataAtAll", SzddBuilder().Finish(5), kTruncated, {}, 5});
    cases.push_back({"TruncatedMidReference",
                     SzddBuilder().Literals("ab").Back(2, 5).Cut(1).Finish(7),
                     kTruncated,
                     {},
                     7});
    cases.push_back({"TruncatedAfterAFlagByte",
                     SzddBuilder().Literals("abcdefgh").Literal('i').Cut(1).Finish(9),
                     kTruncated,
                     {},
                     9});
    cases.push_back({"TruncatedInTheFastLoopRange",
                     Concat(SzddBuilder().Literal('q').Back(1, 18).Finish(400000),
                            std::vector<std::uint8_t>(40, 0)),
                     kTruncated,
                     {},
                     400000});
    return cases;
}

class DecoderFixture : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecoderFixture, MatchesReferenceAndExpectation) {
    const DecodeCase& c = GetParam();
    const std::size_t outSize = c.outSize.value_or(c.expected.size());
    std::vector<std::uint8_t> fast(outSize + 64, kGuard);
    std::vector<std::uint8_t> plain(outSize, kGuard);
    const std::int64_t got = szdd::Expand(c.file, std::span(fast).first(outSize));
    EXPECT_EQ(got, c.result);
    EXPECT_EQ(ReferenceExpand(c.file, plain), c.result);
    if (c.result < 0) return;
    const auto count = static_cast<std::size_t>(c.result);
    EXPECT_EQ(std::vector<std::uint8_t>(fast.begin(), fast.begin() + count), c.expected);
    EXPECT_EQ(std::vector<std::uint8_t>(plain.begin(), plain.begin() + count), c.expected);
    for (std::size_t k = count; k < fast.size(); ++k)
        ASSERT_EQ(fast[k], kGuard) << "byte " << k << " was written";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecoderFixture, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<DecodeCase>& p) {
                             return std::string(p.param.name);
                         });

// Random item streams, random positions anywhere in the ring, long enough to run
// the fast loop, to wrap the window many times and to end in the careful loop.
TEST(DecoderRandom, RandomItemStreamsMatchReference) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 60; ++round) {
        SzddBuilder b;
        const int items = std::uniform_int_distribution<int>(0, round < 40 ? 400 : 30000)(rng);
        const int literalShare = std::uniform_int_distribution<int>(0, 100)(rng);
        for (int k = 0; k < items; ++k) {
            if (std::uniform_int_distribution<int>(0, 99)(rng) < literalShare) {
                b.Literal(static_cast<std::uint8_t>(rng()));
            } else if (rng() % 2) {  // near: overlaps and short distances
                b.Back(1 + rng() % 40, 3 + rng() % 16);
            } else {
                b.Reference(rng() % 4096, 3 + rng() % 16);
            }
        }
        const std::vector<std::uint8_t> file = b.Finish();
        for (const std::size_t outSize : {b.decoded(), b.decoded() / 2, b.decoded() + 10}) {
            std::vector<std::uint8_t> fast(outSize + 32, kGuard);
            std::vector<std::uint8_t> plain(outSize, kGuard);
            const std::int64_t got = szdd::Expand(file, std::span(fast).first(outSize));
            ASSERT_EQ(got, ReferenceExpand(file, plain)) << "round " << round;
            ASSERT_EQ(got, static_cast<std::int64_t>(std::min(outSize, b.decoded())));
            ASSERT_TRUE(std::equal(plain.begin(), plain.begin() + got, fast.begin()))
                << "round " << round;
            for (std::size_t k = static_cast<std::size_t>(got); k < fast.size(); ++k)
                ASSERT_EQ(fast[k], kGuard);
        }
    }
}

// Garbage after a valid header: both decoders agree on the result and, when it
// succeeds, on every byte; cutting the data anywhere never reads past the end.
TEST(DecoderRandom, GarbageAndCutsAgreeWithReference) {
    std::mt19937 rng(777);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> data(std::uniform_int_distribution<std::size_t>(0, 3000)(rng));
        for (auto& byte : data) byte = static_cast<std::uint8_t>(rng());
        const auto length = std::uniform_int_distribution<std::uint32_t>(0, 20000)(rng);
        const std::vector<std::uint8_t> whole = Concat(SzddBuilder().Finish(length), data);
        const std::size_t cut = szdd::kHeaderSize + rng() % (data.size() + 1);
        const std::vector<std::uint8_t> file(whole.begin(),
                                             whole.begin() + cut);  // exact-size copy for ASan
        std::vector<std::uint8_t> fast(length), plain(length);
        const std::int64_t got = szdd::Expand(file, fast);
        ASSERT_EQ(got, ReferenceExpand(file, plain)) << "round " << round;
        if (got > 0) {
            ASSERT_TRUE(std::equal(plain.begin(), plain.begin() + got, fast.begin()));
        }
    }
}

}  // namespace
}  // namespace swk::codec_test
