// Fuzz target for the SZDD encoder: any input compresses to a file that the
// decoder expands back to the same bytes, with the true length in the header.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/szdd.h"
#include "tools/pack/szdd_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const std::vector<std::uint8_t> file = swk::szdd::Compress(input);
    const auto header = swk::szdd::ReadHeader(file);
    if (!header || header->expandedLength != size || header->missingChar != 0) std::abort();
    std::vector<std::uint8_t> out(size);
    if (swk::szdd::Expand(file, out) != static_cast<std::int64_t>(size)) std::abort();
    if (!std::equal(out.begin(), out.end(), input.begin())) std::abort();
    if (file.size() !=
        swk::szdd::kHeaderSize + (swk::szdd::ParseBits(swk::szdd::OptimalParse(input)) + 7) / 8) {
        std::abort();
    }
    return 0;
}
