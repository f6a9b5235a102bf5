// SZDD files, compression mode 'A' (LZSS with a 4096-byte window).
//
//   offset  size  content
//   0       8     signature "SZDD" 88 F0 27 33
//   8       1     mode, 'A' (0x41)
//   9       1     last character of the file name that compression replaced (0 here)
//   10      4     u32 little-endian: length of the expanded file
//   14      ...   LZSS data: groups of one flag byte and up to eight items, flag bits
//                 taken from the least significant up; a set bit is a literal byte, a
//                 clear bit a two-byte reference: position = b0 | (b1 & 0xF0) << 4,
//                 length = (b1 & 0x0F) + 3. The window starts filled with spaces and the
//                 first output byte goes to position 4096 - 16.
//
// The decoder is the one behind the LZ expansion operations of both backends and
// behind the packer's tools. It never reads outside its input, never writes outside
// its output, and reports malformed input as an error value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace swk::szdd {

inline constexpr std::array<std::uint8_t, 8> kSignature = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
inline constexpr std::uint8_t kModeA = 'A';
inline constexpr std::size_t kHeaderSize = 14;
inline constexpr std::size_t kWindowSize = 4096;
inline constexpr std::uint8_t kWindowFill = 0x20;
inline constexpr std::size_t kWindowStart = kWindowSize - 16;
inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;

struct Header {
    std::uint8_t mode = 0;
    std::uint8_t missingChar = 0;
    std::uint32_t expandedLength = 0;
};

// The header of a complete SZDD file, or nothing when the signature, the mode or the
// size does not fit.
std::optional<Header> ReadHeader(std::span<const std::uint8_t> file);

enum class ExpandError : int {
    BadHeader = -1,  // no SZDD signature, not mode 'A', shorter than the header
    Truncated = -2,  // the data ended before the header's length was reached
};

// Expands a complete SZDD mode 'A' file into `out`. Produces
// min(header length, out.size()) bytes and returns that count, or a negative
// ExpandError value. Bytes of `out` past the returned count are left untouched.
std::int64_t Expand(std::span<const std::uint8_t> file, std::span<std::uint8_t> out);

}  // namespace swk::szdd
