#include "tests/payload/container_bytes.h"

namespace swk::test {
namespace {

void PutU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

Bytes LiteralStream(std::span<const std::uint8_t> content,
                    std::optional<std::uint32_t> headerLength) {
    Bytes stream = {0x88, 0xF0, 0x27, 0x33, 'A', 0};
    PutU32(stream, headerLength.value_or(static_cast<std::uint32_t>(content.size())));
    for (std::size_t i = 0; i < content.size(); i += 8) {
        stream.push_back(0xFF);
        for (std::size_t j = i; j < content.size() && j < i + 8; ++j) stream.push_back(content[j]);
    }
    return stream;
}

Bytes BuildContainer(const std::vector<EntrySpec>& entries, bool endMarker) {
    Bytes out;
    for (const EntrySpec& entry : entries) {
        PutU32(out, static_cast<std::uint32_t>(entry.fileTime));
        PutU32(out, static_cast<std::uint32_t>(entry.fileTime >> 32));
        PutU32(out, entry.streamLength.value_or(static_cast<std::uint32_t>(entry.stream.size())));
        out.insert(out.end(), entry.stream.begin(), entry.stream.end());
    }
    if (endMarker) PutU32(out, 0);
    return out;
}

}  // namespace swk::test
