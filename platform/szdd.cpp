// The mode 'A' decoder writes straight into the caller's buffer and uses that
// buffer as its window: window position (4080 + n) mod 4096 holds output byte n,
// so a reference to position p, made when n bytes are out, reads the byte
// D = ((w - p - 1) mod 4096) + 1 places back, where w is the position n goes to.
// A byte D places back from the start of the output is one of the initial
// spaces. Distances stay constant through a copy, so the ring's wrap-around
// needs no special case.
//
// Two loops share the work: a fast one that takes a whole flag byte with its
// eight items while the input holds at least 1 + 8 * 2 more bytes and the output
// has room for 8 * 18 (and a little slack), and a careful one, checking every
// byte, for the ends.
#include "platform/szdd.h"

#include <algorithm>
#include <cstring>

namespace swk::szdd {
namespace {

constexpr std::size_t kItemsPerFlag = 8;
constexpr std::size_t kFastInput = 1 + kItemsPerFlag * 2;
// Room for eight items of 18 bytes, plus the overshoot of an 8-byte-step copy.
constexpr std::size_t kFastOutput = kItemsPerFlag * kMaxMatch + 8;
constexpr std::size_t kWindowMask = kWindowSize - 1;

std::uint32_t ReadU32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

struct Reference {
    std::size_t distance;  // 1 .. 4096
    std::size_t length;    // 3 .. 18
};

Reference DecodeReference(std::uint8_t b0, std::uint8_t b1, std::size_t produced) {
    const std::size_t position = b0 | std::size_t{b1 & 0xF0u} << 4;
    const std::size_t writePosition = (kWindowStart + produced) & kWindowMask;
    return {((writePosition - position - 1) & kWindowMask) + 1, (b1 & 0x0Fu) + kMinMatch};
}

// Copies `length` bytes from `distance` bytes back, byte by byte where they
// overlap, with the initial spaces in front of the output.
void CopyReference(std::uint8_t* out, std::size_t produced, Reference ref, std::size_t length) {
    std::size_t k = 0;
    if (ref.distance > produced) {
        k = std::min(length, ref.distance - produced);
        std::memset(out + produced, kWindowFill, k);
    }
    // From here on the source, produced + k - distance, lies inside the output.
    for (; k < length; ++k) out[produced + k] = out[produced + k - ref.distance];
}

// A reference in the fast loop, where the output has room to spare: copies may
// write up to 24 bytes, the bytes past `length` being scratch that the
// following items overwrite. Sources 8 or more bytes back go in 8-byte steps,
// each step reading only bytes already written.
inline void CopyReferenceFast(std::uint8_t* out, std::size_t produced, Reference ref) {
    std::uint8_t* dst = out + produced;
    if (ref.distance > produced) {
        CopyReference(out, produced, ref, ref.length);
    } else if (ref.distance >= kMaxMatch) {
        std::memcpy(dst, dst - ref.distance, kMaxMatch);
    } else if (ref.distance >= 8) {
        const std::uint8_t* src = dst - ref.distance;
        for (std::size_t k = 0; k < ref.length; k += 8) std::memcpy(dst + k, src + k, 8);
    } else if (ref.distance == 1) {  // a run of one byte, in three 8-byte stores
        const std::uint64_t run = dst[-1] * 0x0101010101010101ull;
        for (std::size_t k = 0; k < kMaxMatch; k += 8) std::memcpy(dst + k, &run, 8);
    } else {
        CopyReference(out, produced, ref, ref.length);
    }
}

struct Cursor {
    const std::uint8_t* in;
    const std::uint8_t* inEnd;
    std::uint8_t* out;
    std::size_t produced;
    std::size_t target;
};

// Whole flag bytes while both ends are far away. Returns with the cursor at the
// start of a flag byte. Works on local copies of the cursor: byte stores through
// `out` could alias it and would force the compiler to reload it.
void DecodeFast(Cursor& c) {
    const std::uint8_t* in = c.in;
    const std::uint8_t* const inEnd = c.inEnd;
    std::uint8_t* const out = c.out;
    std::size_t produced = c.produced;
    const std::size_t target = c.target;
    while (static_cast<std::size_t>(inEnd - in) >= kFastInput && target - produced >= kFastOutput) {
        unsigned flags = *in++;
        if (flags == 0xFF) {  // eight literals
            std::memcpy(out + produced, in, kItemsPerFlag);
            in += kItemsPerFlag;
            produced += kItemsPerFlag;
            continue;
        }
        for (std::size_t item = 0; item < kItemsPerFlag; ++item, flags >>= 1) {
            if (flags & 1u) {
                out[produced++] = *in++;
            } else {
                const Reference ref = DecodeReference(in[0], in[1], produced);
                in += 2;
                CopyReferenceFast(out, produced, ref);
                produced += ref.length;
            }
        }
    }
    c.in = in;
    c.produced = produced;
}

// Item by item with every read and write checked. Returns false when the data
// ends before the target is reached.
bool DecodeCareful(Cursor& c) {
    while (c.produced < c.target) {
        if (c.in == c.inEnd) return false;
        unsigned flags = *c.in++;
        for (std::size_t item = 0; item < kItemsPerFlag && c.produced < c.target;
             ++item, flags >>= 1) {
            if (flags & 1u) {
                if (c.in == c.inEnd) return false;
                c.out[c.produced++] = *c.in++;
            } else {
                if (c.inEnd - c.in < 2) return false;
                const Reference ref = DecodeReference(c.in[0], c.in[1], c.produced);
                c.in += 2;
                const std::size_t length = std::min(ref.length, c.target - c.produced);
                CopyReference(c.out, c.produced, ref, length);
                c.produced += length;
            }
        }
        // Far from both ends again (a long stretch of input near the output's
        // end never gets here): hand back to the fast loop.
        DecodeFast(c);
    }
    return true;
}

}  // namespace

std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderSize) return std::nullopt;
    if (!std::equal(kSignature.begin(), kSignature.end(), file.begin())) return std::nullopt;
    Header header{file[8], file[9], ReadU32(file.data() + 10)};
    if (header.mode != kModeA) return std::nullopt;
    return header;
}

std::int64_t Expand(std::span<const std::uint8_t> file, std::span<std::uint8_t> out) {
    const std::optional<Header> header = ReadHeader(file);
    if (!header) return static_cast<std::int64_t>(ExpandError::BadHeader);
    const std::span<const std::uint8_t> data = file.subspan(kHeaderSize);
    Cursor c{data.data(), data.data() + data.size(), out.data(), 0,
             std::min<std::size_t>(header->expandedLength, out.size())};
    DecodeFast(c);
    if (!DecodeCareful(c)) return static_cast<std::int64_t>(ExpandError::Truncated);
    return static_cast<std::int64_t>(c.produced);
}

}  // namespace swk::szdd
