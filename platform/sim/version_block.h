// Version data: the VS_VERSIONINFO block of an executable and the look-up of a
// value in it by sub-block path ("\\", "\\StringFileInfo\\040904B0\\FileVersion",
// "\\VarFileInfo\\Translation").
//
// Every node of the block:
//   offset  size  content
//   0       2     wLength: bytes of the node with its children
//   2       2     wValueLength: bytes of a binary value, UTF-16 units of a text value
//   4       2     wType: 0 binary, 1 text
//   6       ...   szKey: UTF-16, zero-terminated; then padding to a 4-byte boundary
//   ...           the value, padding to a 4-byte boundary, then the child nodes
//                 (each starting on a 4-byte boundary)
//
// The block handed to callers is followed by a scratch area (tag "SWKA", its
// size, then the space) into which the narrow query writes text values as UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swk::sim {

inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr std::uint32_t kFileFlagSpecialBuild = 0x20;      // VS_FF_SPECIALBUILD
inline constexpr std::uint32_t kFileVersionMS = (4u << 16) | 5u;  // 4.5.0.0
inline constexpr std::uint32_t kFileVersionLS = 0;
inline constexpr std::string_view kStringTableName = "040904B0";
inline constexpr std::size_t kFixedFileInfoSize = 52;

// The block with VS_FIXEDFILEINFO 4.5.0.0 and the strings in StringFileInfo\040904B0.
std::vector<std::uint8_t> BuildVersionBlock(const std::map<std::string, std::string>& strings);
// Bytes a caller needs for the block and its scratch area.
std::uint32_t VersionBufferSize(std::span<const std::uint8_t> block);
// Copies as much of block + scratch area as fits into `out`.
void CopyVersionBuffer(std::span<const std::uint8_t> block, std::span<std::uint8_t> out);

struct VersionValue {
    const void* data = nullptr;
    std::uint32_t length = 0;  // bytes of a binary value; characters of text, terminator included
};
// Looks a value up in a buffer filled by CopyVersionBuffer; `bufferStart` is
// trusted to hold at least the block's own wLength bytes. Text values are
// converted to UTF-8 into the scratch area.
std::optional<VersionValue> QueryVersionValue(void* bufferStart, std::string_view subBlock);

}  // namespace swk::sim
