// Test helpers for SZDD data: a plain ring-window decoder to compare the fast one
// against, and a builder that writes files item by item.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/szdd.h"

namespace swk::codec_test {

// Decodes the way the format describes it, one byte at a time through a
// 4096-byte ring of spaces. Same contract as szdd::Expand.
inline std::int64_t ReferenceExpand(std::span<const std::uint8_t> file,
                                    std::span<std::uint8_t> out) {
    if (file.size() < 14) return -1;
    const std::uint8_t signature[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
    for (int k = 0; k < 8; ++k) {
        if (file[k] != signature[k]) return -1;
    }
    if (file[8] != 'A') return -1;
    const std::uint32_t length =
        file[10] | file[11] << 8 | file[12] << 16 | std::uint32_t{file[13]} << 24;
    const std::size_t target = std::min<std::size_t>(length, out.size());
    std::uint8_t window[4096];
    std::fill(std::begin(window), std::end(window), ' ');
    std::size_t write = 4096 - 16;
    std::size_t produced = 0;
    std::size_t in = 14;
    auto put = [&](std::uint8_t b) {
        out[produced++] = b;
        window[write] = b;
        write = (write + 1) % 4096;
    };
    while (produced < target) {
        if (in >= file.size()) return -2;
        const std::uint8_t flags = file[in++];
        for (int bit = 0; bit < 8 && produced < target; ++bit) {
            if (flags >> bit & 1) {
                if (in >= file.size()) return -2;
                put(file[in++]);
            } else {
                if (in + 1 >= file.size()) return -2;
                const std::size_t position = file[in] | (file[in + 1] & 0xF0) << 4;
                const std::size_t count = (file[in + 1] & 0x0F) + 3;
                in += 2;
                for (std::size_t k = 0; k < count && produced < target; ++k)
                    put(window[(position + k) % 4096]);
            }
        }
    }
    return static_cast<std::int64_t>(produced);
}

// Builds an SZDD file item by item; Finish() writes the header with the given
// length (or the length the items decode to).
class SzddBuilder {
public:
    SzddBuilder& Literal(std::uint8_t byte) {
        NextItem(true);
        data_.push_back(byte);
        decoded_ += 1;
        return *this;
    }
    SzddBuilder& Literals(const std::string& text) {
        for (char c : text) Literal(static_cast<std::uint8_t>(c));
        return *this;
    }
    // A reference to absolute window position `position` of `length` bytes.
    SzddBuilder& Reference(std::size_t position, std::size_t length) {
        NextItem(false);
        data_.push_back(static_cast<std::uint8_t>(position & 0xFF));
        data_.push_back(static_cast<std::uint8_t>((position >> 4 & 0xF0) | (length - 3)));
        decoded_ += length;
        return *this;
    }
    // A reference `distance` bytes back from the current output position.
    SzddBuilder& Back(std::size_t distance, std::size_t length) {
        return Reference((4080 + decoded_ - distance) % 4096, length);
    }
    // Drops the last `count` bytes of the data (to cut an item in half).
    SzddBuilder& Cut(std::size_t count) {
        data_.resize(data_.size() - count);
        return *this;
    }
    std::size_t decoded() const { return decoded_; }

    std::vector<std::uint8_t> Finish() const {
        return Finish(static_cast<std::uint32_t>(decoded_));
    }
    std::vector<std::uint8_t> Finish(std::uint32_t headerLength, std::uint8_t mode = 'A') const {
        std::vector<std::uint8_t> file(szdd::kSignature.begin(), szdd::kSignature.end());
        file.push_back(mode);
        file.push_back(0);
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back(static_cast<std::uint8_t>(headerLength >> shift));
        file.insert(file.end(), data_.begin(), data_.end());
        return file;
    }

private:
    void NextItem(bool literal) {
        if (items_ % 8 == 0) {
            flagAt_ = data_.size();
            data_.push_back(0);
        }
        if (literal) data_[flagAt_] |= static_cast<std::uint8_t>(1u << (items_ % 8));
        ++items_;
    }

    std::vector<std::uint8_t> data_;
    std::size_t items_ = 0;
    std::size_t flagAt_ = 0;
    std::size_t decoded_ = 0;
};

// The byte at text position x: the initial spaces before the data.
inline std::uint8_t TextAt(std::span<const std::uint8_t> d, std::ptrdiff_t x) {
    return x < 0 ? ' ' : d[static_cast<std::size_t>(x)];
}

// Longest match (0, or 3 to 18) at every position, by trying every distance
// 1..4096 against the window the decoder holds.
inline std::vector<std::size_t> BruteLongest(std::span<const std::uint8_t> d) {
    std::vector<std::size_t> longest(d.size(), 0);
    for (std::size_t i = 0; i < d.size(); ++i) {
        const std::size_t limit = std::min<std::size_t>(18, d.size() - i);
        for (std::ptrdiff_t dist = 1; dist <= 4096; ++dist) {
            std::size_t len = 0;
            while (len < limit &&
                   TextAt(d, static_cast<std::ptrdiff_t>(i + len) - dist) == d[i + len])
                ++len;
            longest[i] = std::max(longest[i], len >= 3 ? len : 0);
            if (longest[i] == limit) break;
        }
    }
    return longest;
}

// Fewest bits (9 a literal, 17 a reference) for the data, by a backward pass
// over the brute-force matches.
inline std::uint64_t BruteOptimalBits(std::span<const std::uint8_t> d) {
    const std::vector<std::size_t> longest = BruteLongest(d);
    std::vector<std::uint64_t> best(d.size() + 1, 0);
    for (std::size_t i = d.size(); i-- > 0;) {
        best[i] = 9 + best[i + 1];
        for (std::size_t len = 3; len <= longest[i]; ++len)
            best[i] = std::min(best[i], 17 + best[i + len]);
    }
    return best[0];
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace swk::codec_test
