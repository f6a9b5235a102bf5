#include "tools/pack/container_file.h"

#include <algorithm>
#include <optional>

#include "platform/szdd.h"
#include "tools/pack/szdd_encoder.h"

namespace swk::pack {
namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::string At(std::size_t offset) {
    return " at offset " + std::to_string(offset);
}

}  // namespace

std::vector<std::uint8_t> MakeStream(std::span<const std::uint8_t> content) {
    std::vector<std::uint8_t> file = szdd::Compress(content);
    file.erase(file.begin(), file.begin() + kDroppedSignature);
    return file;
}

std::vector<std::uint8_t> WriteContainer(std::span<const PackedEntry> entries) {
    std::vector<std::uint8_t> out;
    for (const PackedEntry& entry : entries) {
        AppendU32(out, static_cast<std::uint32_t>(entry.fileTime));
        AppendU32(out, static_cast<std::uint32_t>(entry.fileTime >> 32));
        AppendU32(out, static_cast<std::uint32_t>(entry.stream.size()));
        out.insert(out.end(), entry.stream.begin(), entry.stream.end());
    }
    AppendU32(out, 0);
    return out;
}

ContainerView ReadContainer(std::span<const std::uint8_t> container) {
    ContainerView view;
    std::size_t offset = 0;
    for (;;) {
        const std::size_t left = container.size() - offset;
        const std::string entryName = "entry " + std::to_string(view.entries.size() + 1);
        if (left == kEndMarkerSize && ReadU32(container.data() + offset) == 0) return view;
        if (left < kEntryHeadSize) {
            view.error =
                left == 0
                    ? "the end marker is missing" + At(offset)
                    : "truncated: " + std::to_string(left) +
                          " bytes where an entry head (12) or the end marker (4) was expected" +
                          At(offset);
            return view;
        }
        const std::uint8_t* head = container.data() + offset;
        const std::uint64_t fileTime = ReadU32(head) | std::uint64_t{ReadU32(head + 4)} << 32;
        const std::uint32_t streamLength = ReadU32(head + 8);
        if (streamLength == 0) {
            view.error = entryName + " has stream length 0 (a 12-byte end)" + At(offset) +
                         "; expected the 4-byte end marker";
            return view;
        }
        if (streamLength > left - kEntryHeadSize) {
            view.error = entryName + ": stream length " + std::to_string(streamLength) +
                         " runs past the end (" + std::to_string(left - kEntryHeadSize) +
                         " bytes left)" + At(offset);
            return view;
        }
        view.entries.push_back(
            {offset, fileTime, container.subspan(offset + kEntryHeadSize, streamLength)});
        offset += kEntryHeadSize + streamLength;
    }
}

std::vector<std::uint8_t> RebuildSzddFile(std::span<const std::uint8_t> stream) {
    std::vector<std::uint8_t> file(szdd::kSignature.begin(),
                                   szdd::kSignature.begin() + kDroppedSignature);
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

std::uint64_t MaxExpandedLength(std::uint64_t dataBytes) {
    // A two-byte reference gives at most 18 bytes; flag bytes only lower this.
    return dataBytes * (szdd::kMaxMatch / 2);
}

Expanded ExpandSzddFile(std::span<const std::uint8_t> file, std::uint64_t maxLength) {
    Expanded result;
    const std::optional<szdd::Header> header = szdd::ReadHeader(file);
    if (!header) {
        result.error = file.size() < szdd::kHeaderSize ? "too short for an SZDD header"
                       : !std::equal(szdd::kSignature.begin(), szdd::kSignature.end(), file.begin())
                           ? "no SZDD signature"
                           : "not compression mode 'A'";
        return result;
    }
    const std::uint64_t length = header->expandedLength;
    if (length > maxLength) {
        result.error = "header gives " + std::to_string(length) +
                       " bytes, more than the limit of " + std::to_string(maxLength);
        return result;
    }
    const std::uint64_t possible = MaxExpandedLength(file.size() - szdd::kHeaderSize);
    if (length > possible) {
        result.error = "truncated: header gives " + std::to_string(length) + " bytes but " +
                       std::to_string(file.size() - szdd::kHeaderSize) +
                       " bytes of data expand to at most " + std::to_string(possible);
        return result;
    }
    result.bytes.resize(length);
    const std::int64_t got = szdd::Expand(file, result.bytes);
    if (got < 0) {
        result.bytes.clear();
        result.error =
            "truncated: the data ends before the header's " + std::to_string(length) + " bytes";
    }
    return result;
}

}  // namespace swk::pack
