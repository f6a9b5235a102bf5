// The SZDD mode 'A' encoder of the packer: it writes the smallest file the
// format allows for its input.
//
// Cost model. An item costs one flag bit plus its bytes: 9 bits a literal,
// 17 bits a reference. The data's size in bytes is ceil(total bits / 8), so the
// parse with the fewest bits is also the smallest file. The reference's cost
// does not depend on its distance, so what matters at each input position is
// the longest match reachable in the window; every shorter length (down to 3)
// is a match too. A pass over all positions, keeping the cheapest way to reach
// each, finds the exact optimum.
//
// The window is modelled as the decoder holds it: 4096 positions of spaces at
// the start, the first output byte at position 4080, references at distances
// 1 to 4096, reaching into the spaces while fewer than 4096 bytes are out.
//
// Ties between parses of equal cost are broken the same way every time: the
// first way found to reach a position stays unless a later one is strictly
// cheaper; ways are offered from the farthest start and, from one start, from
// the longest reference down, the literal last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace swk::szdd {

inline constexpr std::size_t kLiteralBits = 9;
inline constexpr std::size_t kReferenceBits = 17;

// Largest input the encoder takes: the header holds the length as a u32.
inline constexpr std::uint64_t kMaxEncodeLength = 0xFFFFFFFFu;

// One item of a parse: a literal (length 0) or a reference of `length` bytes
// from `distance` bytes back (1 .. 4096).
struct ParseItem {
    std::uint16_t distance = 0;
    std::uint8_t length = 0;
};

// The longest match at every position of `data`, with one source of that
// length (always the same one for the same input): result[i].length is 0 when
// no match of 3 or more exists.
std::vector<ParseItem> FindLongestMatches(std::span<const std::uint8_t> data);

// A parse, indexed by position: at(i) is the item that starts at position i,
// for the positions where an item starts (walk from 0 with i += max(length, 1)).
// Kept in 2 bits and a little over 2 bytes a position: the encoder holds one for
// the whole input.
class Parse;
Parse OptimalParse(std::span<const std::uint8_t> data);

class Parse {
public:
    explicit Parse(std::size_t positions);
    std::size_t size() const { return references_.size(); }
    ParseItem at(std::size_t position) const;
    void SetReference(std::size_t position, ParseItem item) { references_[position] = Code(item); }
    void SetLiteral(std::size_t position, bool literal);
    bool IsLiteral(std::size_t position) const {
        return literals_[position / 64] >> (position % 64) & 1;
    }
    static std::uint16_t Code(ParseItem item) {
        return static_cast<std::uint16_t>((item.distance - 1) << 4 | (item.length - 3));
    }

private:
    friend Parse OptimalParse(std::span<const std::uint8_t> data);
    std::vector<std::uint16_t> references_;  // (distance - 1) << 4 | (length - 3)
    std::vector<std::uint64_t> literals_;    // one bit a position: a literal, not a reference
};

// The optimal parse of `data`; it holds data.size() + 1 positions.
Parse OptimalParse(std::span<const std::uint8_t> data);

// The size of a parse's data in bits (flag bits included); its size in bytes
// is this rounded up to whole bytes.
std::uint64_t ParseBits(const Parse& parse);

// Appends the LZSS data (no header) for a parse of `data` to `out`.
void AppendEncodedParse(std::span<const std::uint8_t> data, const Parse& parse,
                        std::vector<std::uint8_t>& out);

// A complete SZDD file: header with 0 in the file-name byte and the true
// length, then the optimal data. Inputs longer than kMaxEncodeLength are
// not representable; callers refuse them first.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data);

}  // namespace swk::szdd
