// Match finding over binary search trees of window positions, one tree per
// hash of the first three bytes, ordered by the bytes that follow each position
// (compared up to the longest length allowed there). Each new position becomes
// the root of its tree: the search for it walks down the tree, splitting it into
// the positions that sort before and after it, and meets on the way the nearest
// neighbours in that order, which are the longest matches. Positions deeper in a
// tree are always older, so the walk stops at the first one outside the window;
// there is no depth cut-off and the longest match it reports is exact. A
// position whose bytes equal the new one's for the whole allowed length is
// replaced by it, being farther and no longer needed.
//
// The initial spaces enter as 18 virtual positions in front of the data: a
// source further back than 18 spaces reads only spaces for all of an 18-byte
// match, so it can match no more than the source 18 places before the start.
#include "tools/pack/szdd_encoder.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/szdd.h"

namespace swk::szdd {
namespace {

constexpr std::size_t kVirtualSpaces = kMaxMatch;
constexpr std::size_t kHashBits = 16;
constexpr std::size_t kSlots =
    2 * kWindowSize;  // distinct slots for a position and its farthest source
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

std::uint32_t HashOf(const std::uint8_t* p) {
    const std::uint32_t key = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    return (key * 2654435761u) >> (32 - kHashBits);
}

class MatchFinder {
public:
    explicit MatchFinder(std::span<const std::uint8_t> data)
        : data_(data),
          length_(kVirtualSpaces + data.size()),
          root_(std::size_t{1} << kHashBits, kNone),
          children_(2 * kSlots, kNone) {
        head_.fill(kWindowFill);
        std::copy_n(data.begin(), std::min(data.size(), kMaxMatch), head_.begin() + kVirtualSpaces);
        for (std::size_t j = 0; j < kVirtualSpaces; ++j) FindAndInsertAt(j);
    }

    // The longest match for data position i, which then joins the window.
    // Positions are visited in order.
    ParseItem FindAndInsert(std::size_t i) { return FindAndInsertAt(i + kVirtualSpaces); }

private:
    // Position j of the text "virtual spaces, then the data"; at most 18 bytes
    // are read from it, which for a virtual position stay inside head_.
    const std::uint8_t* TextAt(std::size_t j) const {
        return j < kVirtualSpaces ? head_.data() + j : data_.data() + (j - kVirtualSpaces);
    }

    ParseItem FindAndInsertAt(std::size_t j) {
        const std::size_t limit = std::min(kMaxMatch, length_ - j);
        ParseItem best;
        if (limit < kMinMatch) return best;  // too close to the end to match or be matched
        const std::uint8_t* here = TextAt(j);
        std::uint32_t& root = root_[HashOf(here)];
        std::uint32_t node = root;
        root = static_cast<std::uint32_t>(j);
        // The open links of the two halves: `before` takes positions that sort
        // below the new one, `after` those above it.
        std::uint32_t* before = &children_[2 * (j % kSlots)];
        std::uint32_t* after = before + 1;
        std::size_t beforeLength = 0;  // bytes every position in `before` shares with the new one
        std::size_t afterLength = 0;
        std::size_t bestLength = kMinMatch - 1;
        while (node != kNone && j - node <= kWindowSize) {
            const std::uint8_t* there = TextAt(node);
            std::uint32_t* pair = &children_[2 * (node % kSlots)];
            std::size_t length = std::min(beforeLength, afterLength);
            while (length < limit && there[length] == here[length]) ++length;
            if (length > bestLength) {
                bestLength = length;
                best = {static_cast<std::uint16_t>(j - node), static_cast<std::uint8_t>(length)};
            }
            if (length == limit) {  // equal as far as it matters: the new position replaces it
                *before = pair[0];
                *after = pair[1];
                return best;
            }
            if (there[length] < here[length]) {
                *before = node;
                before = pair + 1;
                node = *before;
                beforeLength = length;
            } else {
                *after = node;
                after = pair;
                node = *after;
                afterLength = length;
            }
        }
        *before = kNone;
        *after = kNone;
        return best;
    }

    std::span<const std::uint8_t> data_;
    std::size_t length_;                                         // virtual spaces and data
    std::array<std::uint8_t, kVirtualSpaces + kMaxMatch> head_;  // virtual spaces, data's start
    std::vector<std::uint32_t> root_;                            // newest position per hash
    std::vector<std::uint32_t> children_;                        // two links per window slot
};

}  // namespace

std::vector<ParseItem> FindLongestMatches(std::span<const std::uint8_t> data) {
    std::vector<ParseItem> longest(data.size());
    MatchFinder finder(data);
    for (std::size_t i = 0; i < data.size(); ++i) longest[i] = finder.FindAndInsert(i);
    return longest;
}

Parse::Parse(std::size_t positions) : references_(positions), literals_(positions / 64 + 1) {}

ParseItem Parse::at(std::size_t position) const {
    if (IsLiteral(position)) return {};
    const std::uint16_t code = references_[position];
    return {static_cast<std::uint16_t>((code >> 4) + 1),
            static_cast<std::uint8_t>((code & 0xF) + kMinMatch)};
}

void Parse::SetLiteral(std::size_t position, bool literal) {
    const std::uint64_t bit = std::uint64_t{1} << (position % 64);
    literals_[position / 64] =
        literal ? literals_[position / 64] | bit : literals_[position / 64] & ~bit;
}

// A forward pass over the positions: the cheapest way to reach each position is
// settled before the position is left, so the choice of how to arrive there is
// all that needs keeping per position (costs live in a small ring). A position
// p is offered references from p - 18 .. p - 3 first and the literal from p - 1
// last, so the literal's bit is set once and never needs clearing. Walking the
// choices back from the end gives the optimal parse; the walk moves each item
// from the position where it ends to the one where it starts.
Parse OptimalParse(std::span<const std::uint8_t> data) {
    const std::size_t n = data.size();
    constexpr std::size_t kRing = 32;  // more than the longest step, a power of two
    constexpr std::uint64_t kUnreached = std::numeric_limits<std::uint64_t>::max();
    std::array<std::uint64_t, kRing> cost;
    cost.fill(kUnreached);
    cost[0] = 0;
    Parse parse(n + 1);  // first: how the cheapest way reaches each position
    std::uint16_t* arrival = parse.references_.data();
    MatchFinder finder(data);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t here = cost[i % kRing];
        cost[i % kRing] = kUnreached;  // the slot now stands for position i + kRing
        const ParseItem match = finder.FindAndInsert(i);
        // Longest reference first, so that among equal costs it wins.
        const std::uint64_t viaReference = here + kReferenceBits;
        for (std::size_t length = match.length; length >= kMinMatch; --length) {
            std::uint64_t& slot = cost[(i + length) % kRing];
            const std::uint16_t code =
                Parse::Code({match.distance, static_cast<std::uint8_t>(length)});
            const bool better = viaReference < slot;
            slot = better ? viaReference : slot;
            arrival[i + length] = better ? code : arrival[i + length];
        }
        std::uint64_t& next = cost[(i + 1) % kRing];
        if (here + kLiteralBits < next) {
            next = here + kLiteralBits;
            parse.SetLiteral(i + 1, true);
        }
    }
    ParseItem carried = parse.at(n);
    for (std::size_t end = n; end > 0;) {
        const std::size_t start = end - std::max<std::size_t>(carried.length, 1);
        const ParseItem moved = parse.at(start);
        parse.SetLiteral(start, carried.length == 0);
        if (carried.length != 0) parse.SetReference(start, carried);
        carried = moved;
        end = start;
    }
    parse.SetLiteral(n, true);
    return parse;
}

std::uint64_t ParseBits(const Parse& parse) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i + 1 < parse.size();) {
        const ParseItem item = parse.at(i);
        bits += item.length == 0 ? kLiteralBits : kReferenceBits;
        i += std::max<std::size_t>(item.length, 1);
    }
    return bits;
}

void AppendEncodedParse(std::span<const std::uint8_t> data, const Parse& parse,
                        std::vector<std::uint8_t>& out) {
    std::size_t flagAt = 0;
    std::size_t item = 0;
    for (std::size_t position = 0; position < data.size(); ++item) {
        if (item % 8 == 0) {
            flagAt = out.size();
            out.push_back(0);
        }
        const ParseItem it = parse.at(position);
        if (it.length == 0) {
            out[flagAt] |= static_cast<std::uint8_t>(1u << (item % 8));
            out.push_back(data[position]);
            ++position;
        } else {
            const std::size_t windowPosition =
                (kWindowStart + position - it.distance) & (kWindowSize - 1);
            out.push_back(static_cast<std::uint8_t>(windowPosition & 0xFF));
            out.push_back(
                static_cast<std::uint8_t>((windowPosition >> 4 & 0xF0) | (it.length - kMinMatch)));
            position += it.length;
        }
    }
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data) {
    const Parse parse = OptimalParse(data);
    std::vector<std::uint8_t> file;
    file.reserve(kHeaderSize + (ParseBits(parse) + 7) / 8);
    file.assign(kSignature.begin(), kSignature.end());
    const auto length = static_cast<std::uint32_t>(data.size());
    file.push_back(kModeA);
    file.push_back(0);  // no file-name character was replaced
    for (int shift = 0; shift < 32; shift += 8)
        file.push_back(static_cast<std::uint8_t>(length >> shift));
    AppendEncodedParse(data, parse, file);
    return file;
}

}  // namespace swk::szdd
