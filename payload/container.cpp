#include "payload/container.h"

#include "platform/system_services.h"

namespace swk {
namespace {

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

}  // namespace

std::span<const std::uint8_t> PayloadContainer::Front(std::size_t n) const {
    return bytes_.subspan(front_, n);
}

PayloadContainer::Take PayloadContainer::TakeEntry(PayloadEntry& entry) {
    // Every bound is checked here, before any byte is read.
    if (Remaining() < kEntryHeadSize) {
        const bool endMarker = Remaining() >= kEndMarkerSize && ReadU32(Front(kEndMarkerSize)) == 0;
        return endMarker ? Take::End : Take::Damaged;
    }
    const auto time = Front(kEntryTimeSize);
    entry.fileTime = FILETIME{ReadU32(time.first(4)), ReadU32(time.subspan(4, 4))};
    RemoveFront(kEntryTimeSize);

    const std::uint32_t streamLength = ReadU32(Front(kStreamLengthSize));
    if (streamLength == 0) return Take::End;
    RemoveFront(kStreamLengthSize);

    if (streamLength > Remaining()) return Take::Damaged;
    entry.stream = Front(streamLength);
    RemoveFront(streamLength);
    return Take::Entry;
}

std::optional<std::span<const std::uint8_t>> LockContainerResource(int resourceId) {
    if (resourceId < 0 || resourceId > 0xFFFF) return std::nullopt;  // not a numeric identifier
    SystemServices& sys = Sys();
    const HRSRC resource =
        sys.FindResourceA(NO_MODULE, MAKEINTRESOURCEA(static_cast<std::uint16_t>(resourceId)),
                          MAKEINTRESOURCEA(RT_RCDATA_ID));
    if (resource == HRSRC{0}) return std::nullopt;
    const DWORD size = sys.SizeofResource(NO_MODULE, resource);
    const HGLOBAL loaded = sys.LoadResource(NO_MODULE, resource);
    if (loaded == HGLOBAL{0}) return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(sys.LockResource(loaded));
    if (bytes == nullptr && size != 0) return std::nullopt;
    return std::span<const std::uint8_t>(bytes, bytes == nullptr ? 0 : size);
}

WalkResult WalkContainer(PayloadContainer& container, std::size_t targetCount,
                         const EntryHandler& handler) {
    for (std::size_t k = 0; k < targetCount; ++k) {
        PayloadEntry entry{};
        switch (container.TakeEntry(entry)) {
            case PayloadContainer::Take::End:
                return WalkResult::Complete;  // the remaining targets get no file
            case PayloadContainer::Take::Damaged:
                return WalkResult::Damaged;
            case PayloadContainer::Take::Entry:
                break;
        }
        if (!handler(k, entry)) return WalkResult::Stopped;
    }
    return WalkResult::Complete;
}

void AppendU32(std::vector<std::uint8_t>& buffer, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        buffer.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendBytes(std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t> bytes) {
    buffer.insert(buffer.end(), bytes.begin(), bytes.end());
}

void RebuildCompressedFile(std::vector<std::uint8_t>& image, std::span<const std::uint8_t> stream) {
    const std::size_t needed = sizeof kSzddLetters + stream.size();
    // Release a too-small buffer before growing, so the old and new never coexist.
    if (image.capacity() < needed) std::vector<std::uint8_t>().swap(image);
    image.clear();
    image.reserve(needed);
    AppendU32(image, kSzddLetters);
    AppendBytes(image, stream);
}

}  // namespace swk
