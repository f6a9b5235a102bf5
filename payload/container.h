// The payload container: every product file, compressed, in one block of bytes
// that the setup carries as its RCDATA resource. All integers little-endian, no
// padding; no names, no count, no checksum — entry k goes to target k.
//
//   container   entry 1 ... entry N, then the end marker (u32 0)
//
//   entry       offset  size          field
//               0       8             fileTime      FILETIME ticks, low half first
//               8       4             streamLength  u32; 0 ends the walk
//               12      streamLength  stream        an SZDD file without its first
//                                                   four bytes (the letters "SZDD")
//
// The walk takes one entry per target and never reads outside the container: a
// head that does not fit but starts with the end marker ends it as complete; a
// truncated head, or a stream longer than the bytes left, ends it as damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/win_types.h"

namespace swk {

// ---- Layout -----------------------------------------------------------------
inline constexpr std::size_t kEntryTimeSize = 8;
inline constexpr std::size_t kStreamLengthSize = 4;
inline constexpr std::size_t kEntryHeadSize = kEntryTimeSize + kStreamLengthSize;
inline constexpr std::size_t kEndMarkerSize = 4;
inline constexpr std::uint32_t kSzddLetters = 0x44445A53;  // "SZDD" written little-endian
inline constexpr int kPayloadResourceId = 129;

// ---- Types ------------------------------------------------------------------
struct PayloadEntry {
    FILETIME fileTime;
    std::span<const std::uint8_t> stream;  // a view into the container's bytes
};

enum class WalkResult {
    Complete,  // one entry per target, or the end marker / a zero length came first
    Stopped,   // the handler refused an entry
    Damaged,   // the container ended inside an entry
};

// The container's bytes, consumed from its front: either the reader's own copy,
// or a view of bytes that outlive the walk (the locked resource). Consuming moves
// a cursor; the bytes are never shifted, so a walk costs one pass.
class PayloadContainer {
public:
    enum class Take { Entry, End, Damaged };

    explicit PayloadContainer(std::vector<std::uint8_t> bytes)
        : copy_(std::move(bytes)), bytes_(copy_) {}
    explicit PayloadContainer(std::span<const std::uint8_t> lasting) : bytes_(lasting) {}
    PayloadContainer(const PayloadContainer&) = delete;  // bytes_ may point into copy_
    PayloadContainer& operator=(const PayloadContainer&) = delete;

    std::size_t Remaining() const { return bytes_.size() - front_; }

    // Takes the next entry from the front. End: the end marker or a zero
    // streamLength; Damaged: the bytes left cannot hold the entry (nothing is
    // read past the end either way).
    Take TakeEntry(PayloadEntry& entry);

private:
    std::span<const std::uint8_t> Front(std::size_t n) const;
    void RemoveFront(std::size_t n) { front_ += n; }

    std::vector<std::uint8_t> copy_;
    std::span<const std::uint8_t> bytes_;
    std::size_t front_ = 0;
};

// Called once per entry with the entry's number k (0-based); false stops the walk.
using EntryHandler = std::function<bool(std::size_t k, const PayloadEntry& entry)>;

// ---- Operations, in the order the extraction uses them ------------------------

// Locates RCDATA `resourceId` in the setup's own executable and locks it: its
// bytes, readable for the life of the process; nothing when the resource is
// missing or cannot be loaded.
std::optional<std::span<const std::uint8_t>> LockContainerResource(int resourceId);

// Takes up to `targetCount` entries and hands each to `handler`.
WalkResult WalkContainer(PayloadContainer& container, std::size_t targetCount,
                         const EntryHandler& handler);

// Byte-buffer operations.
void AppendU32(std::vector<std::uint8_t>& buffer, std::uint32_t value);
void AppendBytes(std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t> bytes);

// Empties `image` and fills it with the complete SZDD file of `stream`: the
// letters "SZDD" followed by the stream. Keeps the buffer's capacity for reuse.
void RebuildCompressedFile(std::vector<std::uint8_t>& image, std::span<const std::uint8_t> stream);

}  // namespace swk
