// The export names of a Windows executable image, read from its bytes. The
// simulated machine uses them to decide whether a module "loads" and whether it
// has a named entry point (LoadLibraryA / GetProcAddress).
//
//   where                          size  content
//   0                              2     "MZ"
//   0x3C                           4     e_lfanew: file offset of the PE signature
//   e_lfanew                       4     "PE\0\0"
//   e_lfanew + 4                   20    file header: +2 section count, +16 optional header size
//   e_lfanew + 24                  ...   optional header: +0 magic 0x10B (PE32) or 0x20B (PE32+);
//                                        data directory count at +92 / +108, directories at
//                                        +96 / +112, 8 bytes each (RVA, size); 0 is the exports
//   after the optional header      40 each  section table: +8 virtual size, +12 RVA,
//                                        +16 raw size, +20 file offset of the raw data
//   export directory (40 bytes)          +24 name count, +32 RVA of the name RVA array
//
// Addresses inside the image (RVAs) are turned into file offsets through the section
// table; every read is checked against the bytes given.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swk::sim {

inline constexpr std::uint16_t kPe32Magic = 0x10B;
inline constexpr std::uint16_t kPe32PlusMagic = 0x20B;

// The names in the image's export directory, in the order of its name table.
//   nothing      - the bytes are not a PE image (no "MZ", e_lfanew outside the bytes,
//                  no "PE\0\0", unknown optional header magic, a section table that
//                  does not fit): a loader would refuse it.
//   empty list   - a PE image without an export directory, or one whose export
//                  directory cannot be read (points outside every section, name
//                  table or a name running past its section).
std::optional<std::vector<std::string>> PeExportNames(std::span<const std::uint8_t> image);

}  // namespace swk::sim
