// Hand-made payload bytes for the tests: SZDD streams of literals (no encoder
// needed) and containers built from a few entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swk::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes BytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A container stream (an SZDD file without its first four bytes) holding `content`
// as literals only: groups of a 0xFF flag byte and up to eight literal bytes.
// `headerLength` overrides the length the header announces.
Bytes LiteralStream(std::span<const std::uint8_t> content,
                    std::optional<std::uint32_t> headerLength = std::nullopt);

struct EntrySpec {
    std::uint64_t fileTime = 0;
    Bytes stream;
    std::optional<std::uint32_t> streamLength;  // overrides the true length (damaged containers)
};

// Entries in order, then the end marker unless `endMarker` is false.
Bytes BuildContainer(const std::vector<EntrySpec>& entries, bool endMarker = true);

// Names parameterised cases after their `name` field.
struct CaseName {
    template <class Info>
    std::string operator()(const Info& p) const {
        return p.param.name;
    }
};

}  // namespace swk::test
