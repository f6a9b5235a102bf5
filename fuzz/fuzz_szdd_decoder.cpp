// Fuzz target for the SZDD decoder: the input is a whole SZDD file. The fast
// decoder must agree with the plain ring decoder on the result and, when it
// succeeds, on every byte, and must leave the bytes past its count alone.
// AddressSanitizer catches any read past the input or write past the output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/szdd.h"
#include "tests/codec/szdd_fixtures.h"

namespace {
constexpr std::size_t kMaxOutput = 1 << 16;  // keeps one run short
constexpr std::uint8_t kGuard = 0xA5;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    // The header's length, bounded by what the data can expand to (9 bytes a
    // byte) so that buffers stay small; now and then a buffer that ends early.
    std::size_t outSize = std::min<std::size_t>(kMaxOutput, 9 * size + 18);
    if (const auto header = swk::szdd::ReadHeader(file)) {
        outSize = std::min<std::size_t>(header->expandedLength, outSize);
        if (size % 3 == 0) outSize /= 2;
    }
    std::vector<std::uint8_t> fast(outSize + 32, kGuard);
    std::vector<std::uint8_t> plain(outSize);
    const std::int64_t got = swk::szdd::Expand(file, std::span(fast).first(outSize));
    const std::int64_t expected = swk::codec_test::ReferenceExpand(file, plain);
    if (got != expected) std::abort();
    if (got < 0) return 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(got); ++k) {
        if (fast[k] != plain[k]) std::abort();
    }
    for (std::size_t k = static_cast<std::size_t>(got); k < fast.size(); ++k) {
        if (fast[k] != kGuard) std::abort();
    }
    return 0;
}
