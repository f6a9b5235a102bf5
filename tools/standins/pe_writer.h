// Minimal PE32 images for i386 with the GUI subsystem: enough for a loader to map
// them and, for a DLL, to find its exports. They stand in for the product's
// programs and components in the sample payload.
//
//   file offset  RVA     content
//   0x000        -       "MZ", e_lfanew = 0x40
//   0x040        -       "PE\0\0", file header, PE32 optional header, two section headers
//   0x200        0x1000  .text: the entry point, then one 16-byte stub per export
//   0x400        0x2000  .rdata: a note saying what the file is, then the export directory
//
// Code: a program's entry point returns 0; a DLL's entry point returns TRUE; every
// export returns 0 (S_OK). .text holds the entry point and at most 31 exports; a
// request for more gives no image (an empty vector). Nothing depends on the time or the machine:
// the same request gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swk::standins {

inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kSubsystemWindowsGui = 2;
inline constexpr std::uint32_t kExeImageBase = 0x00400000;
inline constexpr std::uint32_t kDllImageBase = 0x10000000;

struct PeImageRequest {
    bool dll = false;
    std::string moduleName;            // the DLL name in the export directory
    std::string note;                  // text stored in .rdata
    std::vector<std::string> exports;  // DLLs only; stored sorted, as loaders expect
};

std::vector<std::uint8_t> BuildPe32Image(const PeImageRequest& request);

}  // namespace swk::standins
