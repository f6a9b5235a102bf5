// The payload container as the packer writes and checks it.
//
//   per entry  offset  size  content
//              0       8     fileTime, u64 FILETIME (UTC, 100 ns since 1601), low half first
//              8       4     streamLength, u32
//              12      ...   stream: an SZDD mode 'A' file without its first 4 bytes ("SZDD")
//   end        0       4     u32 0
//
// All integers are little-endian; entries follow each other without padding.
// The reader here is strict: entries, then exactly the end marker, nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace swk::pack {

inline constexpr std::uint32_t kMaxFileLength = 20'000'000;  // the setup's output buffer
inline constexpr std::size_t kEntryHeadSize = 12;
inline constexpr std::size_t kEndMarkerSize = 4;
inline constexpr std::size_t kDroppedSignature = 4;  // "SZDD", left out of each stream

struct PackedEntry {
    std::uint64_t fileTime = 0;
    std::vector<std::uint8_t> stream;
};

// The stream of one product file: its optimal SZDD file without "SZDD".
std::vector<std::uint8_t> MakeStream(std::span<const std::uint8_t> content);

// The whole container: every entry in order, then the end marker.
std::vector<std::uint8_t> WriteContainer(std::span<const PackedEntry> entries);

struct EntryView {
    std::size_t offset = 0;  // of the entry's head in the container
    std::uint64_t fileTime = 0;
    std::span<const std::uint8_t> stream;
};

struct ContainerView {
    std::vector<EntryView> entries;
    std::string error;  // empty when the container is well formed
};

// Walks a container without reading past its end. On damage, `entries` holds
// the entries before the damage and `error` says what and where.
ContainerView ReadContainer(std::span<const std::uint8_t> container);

// A complete SZDD file from a stream: "SZDD" in front.
std::vector<std::uint8_t> RebuildSzddFile(std::span<const std::uint8_t> stream);

struct Expanded {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty on success
};

// Expands a complete SZDD file, checking that it decodes to exactly the length
// its header gives, and that this length is at most `maxLength`.
Expanded ExpandSzddFile(std::span<const std::uint8_t> file, std::uint64_t maxLength);

// A bound on what `dataBytes` bytes of LZSS data can expand to (9 bytes per
// byte: a two-byte reference gives at most 18).
std::uint64_t MaxExpandedLength(std::uint64_t dataBytes);

}  // namespace swk::pack
