// The eleven stand-in product files of the Linux sample payload, in container
// order, with the last-write time each entry of the container carries. The
// programs and components are minimal PE32 images (see pe_writer.h); the data files
// are a few KB of deterministic text that says what it stands in for.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace swk::standins {

enum class StandInKind { Program, Component, Data };

struct StandInFile {
    std::string_view name;  // file name, as the install sequence's target list has it
    StandInKind kind;
    std::string_view role;      // what the real file is, written into the stand-in
    std::string_view fileTime;  // UTC "YYYY-MM-DD HH:MM:SS.fffffff", for the manifest
    std::uint32_t dataBytes;    // size of a data file's text; 0 for images
};

inline constexpr std::array<std::string_view, 2> kComponentExports = {"DllRegisterServer",
                                                                      "DllUnregisterServer"};

// Container order: the entry times are those of the shipped container.
inline constexpr std::array<StandInFile, 11> kStandInFiles = {{
    {"swk.exe", StandInKind::Program, "the product's main program", "2014-09-04 10:49:17.0000000",
     0},
    {"swkh.exe", StandInKind::Program, "the companion program that setup starts when it is done",
     "2014-09-04 10:49:17.6718750", 0},
    {"Uninstall.exe", StandInKind::Program, "the uninstaller", "2014-09-04 10:49:18.3750000", 0},
    {"swk.dll", StandInKind::Component, "the browser add-on's COM component",
     "2014-09-04 10:49:17.3437500", 0},
    {"swk.ocx", StandInKind::Component, "the second COM component", "2014-09-04 10:49:18.0000000",
     0},
    {"help.bin", StandInKind::Data, "the help file", "2014-09-04 10:45:44.0156250", 6144},
    {"swk.bin", StandInKind::Data, "a data file of the product", "2011-05-11 09:43:08.0000000",
     4096},
    {"samples1.swk", StandInKind::Data, "a sample file of saved pages",
     "2011-05-11 09:43:08.0000000", 5120},
    {"samples2.swk", StandInKind::Data, "a sample file of saved pages",
     "2013-01-01 12:13:18.0000000", 8192},
    {"samples3.swk", StandInKind::Data, "a sample file of saved pages",
     "2011-05-11 09:43:08.0000000", 3072},
    {"cmptree.exe", StandInKind::Program, "a further program of the product",
     "2013-11-14 12:05:32.0000000", 0},
}};

inline constexpr std::string_view kManifestName = "manifest.txt";

// The bytes of one stand-in file.
std::vector<std::uint8_t> StandInBytes(const StandInFile& file);

// The packer's manifest for the eleven files: one line "<name> <time>" each, in
// container order, names relative to the manifest's folder.
std::string StandInManifest();

}  // namespace swk::standins
