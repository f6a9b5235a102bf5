// Shell link (.lnk) files in the published Shell Link binary format, as the
// simulated machine writes them for IPersistFile::Save and reads them back for
// inspection. The texts are UTF-8 on our side and UTF-16 in the file.
//
//   ShellLinkHeader   0x4C bytes: header size, link CLSID 00021401-0000-0000-C000-000000000046,
//                     link flags, attributes, three times, file size, icon index,
//                     show command, hot key, reserved
//   LinkInfo          target as a local path: VolumeID, LocalBasePath (ANSI) and, with
//                     the 0x24-byte LinkInfo header, LocalBasePathUnicode
//   StringData        u16 count of UTF-16 units, then the units (no terminator):
//                     NAME_STRING (description), COMMAND_LINE_ARGUMENTS
//   ExtraData         the terminal block, a u32 zero
//
// Written: HasLinkInfo | IsUnicode, plus HasName and HasArguments when the
// description and the arguments are not empty; no item ID list, working folder or icon. The ANSI
// path holds the target when it is ASCII, else the target with '?' for each non-ASCII unit (as a
// code-page conversion would); the Unicode path always holds the exact target.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swk::sim {

inline constexpr std::uint32_t kShellLinkHeaderSize = 0x4C;
inline constexpr std::uint32_t kLinkFlagHasLinkTargetIdList = 0x01;
inline constexpr std::uint32_t kLinkFlagHasLinkInfo = 0x02;
inline constexpr std::uint32_t kLinkFlagHasName = 0x04;
inline constexpr std::uint32_t kLinkFlagHasRelativePath = 0x08;
inline constexpr std::uint32_t kLinkFlagHasWorkingDir = 0x10;
inline constexpr std::uint32_t kLinkFlagHasArguments = 0x20;
inline constexpr std::uint32_t kLinkFlagHasIconLocation = 0x40;
inline constexpr std::uint32_t kLinkFlagIsUnicode = 0x80;

struct ShellLinkData {
    std::string target;     // the local path the link points at
    std::string arguments;  // empty: none
    std::string description;

    bool operator==(const ShellLinkData&) const = default;
};

// The bytes of a .lnk file for `link`. Empty when a text is not valid UTF-8, or the
// description or the arguments do not fit a string's u16 count (65535 UTF-16 units).
std::vector<std::uint8_t> EncodeShellLink(const ShellLinkData& link);

// Reads a .lnk file: this encoder's output and other real link files (an item ID
// list is skipped, a network target is read as its share name and suffix, ANSI
// string data is taken as Latin-1). Nothing when the header is wrong or a
// structure runs past the bytes.
std::optional<ShellLinkData> DecodeShellLink(std::span<const std::uint8_t> file);

}  // namespace swk::sim
