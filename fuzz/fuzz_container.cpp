// Fuzz target for the container walk: the first input byte is the number of
// targets, the rest is the container. Every byte of every entry handed out is
// read, so AddressSanitizer sees any view that reaches past the container, and
// the walk must account for no more bytes than the container holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "payload/container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t targets = data[0];
    const std::size_t containerSize = size - 1;
    swk::PayloadContainer container(std::vector<std::uint8_t>(data + 1, data + size));

    std::size_t consumed = 0;
    std::size_t entries = 0;
    std::vector<std::uint8_t> image;
    unsigned checksum = 0;
    const swk::WalkResult result =
        swk::WalkContainer(container, targets, [&](std::size_t k, const swk::PayloadEntry& entry) {
            if (k != entries) std::abort();
            ++entries;
            consumed += swk::kEntryHeadSize + entry.stream.size();
            for (std::uint8_t byte : entry.stream) checksum += byte;
            swk::RebuildCompressedFile(image, entry.stream);
            if (image.size() != entry.stream.size() + 4) std::abort();
            return (checksum & 0xFF) != 0xA5;  // stop now and then, as a failing entry would
        });

    if (entries > targets || consumed > containerSize) std::abort();
    if (consumed + container.Remaining() > containerSize) std::abort();
    if (result == swk::WalkResult::Complete && entries < targets) {
        // Only the end marker, or an entry head with a zero length, ends a walk early.
        const std::uint8_t* head = data + 1 + consumed;
        const std::size_t left = containerSize - consumed;
        auto zeroAt = [&](std::size_t offset) {
            return left >= offset + 4 &&
                   (head[offset] | head[offset + 1] | head[offset + 2] | head[offset + 3]) == 0;
        };
        const bool endMarker = left < swk::kEntryHeadSize ? zeroAt(0) : zeroAt(8);
        if (!endMarker) std::abort();
    }
    return 0;
}
