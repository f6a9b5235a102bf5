// The encoder: round trips, the header it writes, exact longest matches and an
// optimal parse, checked against a brute-force search over every distance.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/szdd.h"
#include "tests/codec/szdd_fixtures.h"
#include "tools/pack/szdd_encoder.h"

namespace swk::codec_test {
namespace {

using Data = std::vector<std::uint8_t>;

Data RandomBytes(std::size_t n, std::uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    Data d(n);
    for (auto& b : d) b = static_cast<std::uint8_t>(rng() % alphabet);
    return d;
}

// Text-like data: words from a small vocabulary with spaces, so that there are
// many partial matches, runs of spaces and matches longer than 18.
Data Words(std::size_t n, std::uint32_t seed) {
    static const char* kWords[] = {"the",   "then", "there", "  ", "theme",
                                   "other", "\n",   "    ",  "a",  "at"};
    std::mt19937 rng(seed);
    Data d;
    while (d.size() < n) {
        const std::string w = std::string(kWords[rng() % 10]) + " ";
        d.insert(d.end(), w.begin(), w.end());
    }
    d.resize(n);
    return d;
}

Data Expand(const Data& file) {
    const auto header = szdd::ReadHeader(file);
    if (!header) return {};
    Data out(header->expandedLength);
    EXPECT_EQ(szdd::Expand(file, out), static_cast<std::int64_t>(out.size()));
    return out;
}

TEST(Encoder, RoundTripsEveryLengthUpTo40) {
    for (std::size_t n = 0; n <= 40; ++n) {
        for (const Data& d :
             {RandomBytes(n, 1), RandomBytes(n, 2, 3), Data(n, ' '), Data(n, 0), Words(n, 3)}) {
            const Data file = szdd::Compress(d);
            ASSERT_EQ(Expand(file), d) << "length " << n;
            const auto header = szdd::ReadHeader(file);
            ASSERT_TRUE(header);
            EXPECT_EQ(header->missingChar, 0);
            EXPECT_EQ(header->expandedLength, n);
        }
    }
}

TEST(Encoder, RoundTripsLargerRandomAndStructuredData) {
    Data mixed = Words(70000, 4);
    const Data noise = RandomBytes(30000, 5);
    mixed.insert(mixed.begin() + 20000, noise.begin(), noise.end());
    mixed.insert(mixed.end(), 9000, 0);
    for (const Data& d :
         {RandomBytes(100000, 6), RandomBytes(100000, 7, 4), Words(100000, 8), mixed}) {
        const Data file = szdd::Compress(d);
        ASSERT_EQ(Expand(file), d);
        EXPECT_EQ(szdd::Compress(d), file) << "two runs differ";
    }
}

// Small inputs of kinds that stress the window model: spaces at the start
// (references into the initial fill), short alphabets (many partial matches),
// and inputs past 4096 bytes (distance 4096 and the end of the initial fill).
TEST(Encoder, FindsExactLongestMatchesAndTheOptimalParse) {
    std::vector<Data> inputs = {Words(600, 10), RandomBytes(500, 11, 2), RandomBytes(500, 12, 5),
                                Data(300, ' '), Words(5200, 13),         RandomBytes(4400, 14, 3)};
    Data periodic = RandomBytes(4096, 15);  // repeats exactly 4096 bytes later
    periodic.insert(periodic.end(), periodic.begin(), periodic.begin() + 200);
    inputs.push_back(periodic);
    Data leadingSpaces(20, ' ');
    const Data words = Words(200, 16);
    leadingSpaces.insert(leadingSpaces.end(), words.begin(), words.end());
    inputs.push_back(leadingSpaces);

    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const Data& d = inputs[k];
        const std::vector<std::size_t> brute = BruteLongest(d);
        const std::vector<szdd::ParseItem> found = szdd::FindLongestMatches(d);
        for (std::size_t i = 0; i < d.size(); ++i) {
            ASSERT_EQ(found[i].length, brute[i]) << "input " << k << " position " << i;
            for (std::size_t j = 0; j < found[i].length;
                 ++j) {  // the reported source really matches
                ASSERT_EQ(TextAt(d, static_cast<std::ptrdiff_t>(i + j) - found[i].distance),
                          d[i + j]);
            }
        }
        const szdd::Parse parse = szdd::OptimalParse(d);
        const std::uint64_t bits = szdd::ParseBits(parse);
        EXPECT_EQ(bits, BruteOptimalBits(d)) << "input " << k;
        EXPECT_EQ(szdd::Compress(d).size(), szdd::kHeaderSize + (bits + 7) / 8) << "input " << k;
        ASSERT_EQ(Expand(szdd::Compress(d)), d);
    }
}

// Sizes that follow from the format: a run uses the full 18-byte reference and
// references into the initial spaces.
TEST(Encoder, UsesLongReferencesAndTheInitialSpaces) {
    struct Case {
        Data input;
        std::size_t dataBytes;
    } cases[] = {
        {Data(4, ' '), 3},   // one reference into the spaces (17 bits)
        {Data(2, ' '), 3},   // two literals (18 bits)
        {Data(54, ' '), 7},  // three references of 18 (51 bits)
        {Data(19, 'x'), 4},  // a literal, then one reference of 18 at distance 1 (26 bits)
    };
    for (const Case& c : cases) {
        const Data file = szdd::Compress(c.input);
        EXPECT_EQ(file.size() - szdd::kHeaderSize, c.dataBytes)
            << c.input.size() << " bytes of " << int(c.input[0]);
        EXPECT_EQ(Expand(file), c.input);
    }
}

}  // namespace
}  // namespace swk::codec_test
