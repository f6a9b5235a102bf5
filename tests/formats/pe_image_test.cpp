#include "platform/sim/pe_image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/standins/pe_writer.h"
#include "tools/standins/standins.h"

namespace swk::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

// Offsets in the images that BuildPe32Image writes.
constexpr std::size_t kLfanew = 0x3C;
constexpr std::size_t kPeSignature = 0x40;
constexpr std::size_t kSectionCount = 0x46;
constexpr std::size_t kOptionalHeader = 0x58;
constexpr std::size_t kExportEntry = kOptionalHeader + 96;
constexpr std::size_t kRdataHeader = 0x138 + 40;

std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}
void Put(Bytes& bytes, std::size_t at, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

const Names kComponentNames = {"DllRegisterServer", "DllUnregisterServer"};

Bytes Component() {
    return standins::BuildPe32Image({.dll = true,
                                     .moduleName = "test.dll",
                                     .note = "test component",
                                     .exports = kComponentNames});
}

// File offset of the export directory in Component(): .rdata maps RVA 0x2000 to 0x400.
std::size_t ExportDirectory(const Bytes& image) {
    return Get32(image, kExportEntry) - 0x2000 + 0x400;
}

TEST(PeExportNames, ReadsTheExportsOfEveryStandIn) {
    for (const auto& file : standins::kStandInFiles) {
        SCOPED_TRACE(std::string(file.name));
        const auto names = PeExportNames(standins::StandInBytes(file));
        switch (file.kind) {
            case standins::StandInKind::Component:
                ASSERT_TRUE(names.has_value());
                EXPECT_EQ(*names, kComponentNames);
                break;
            case standins::StandInKind::Program:
                ASSERT_TRUE(names.has_value());
                EXPECT_TRUE(names->empty());
                break;
            case standins::StandInKind::Data:
                EXPECT_FALSE(names.has_value());
                break;
        }
    }
}

TEST(PeExportNames, StoresExportsSortedAsLoadersSearchThem) {
    const Bytes image = standins::BuildPe32Image({.dll = true,
                                                  .moduleName = "x.dll",
                                                  .note = "",
                                                  .exports = {"b", "DllRegisterServer", "a"}});
    EXPECT_EQ(PeExportNames(image), (Names{"DllRegisterServer", "a", "b"}));
}

// A PE32+ optional header keeps its data directories 16 bytes further on.
TEST(PeExportNames, ReadsThePe32PlusDirectoryAtItsOwnOffset) {
    Bytes image = Component();
    const std::uint32_t exportRva = Get32(image, kExportEntry);
    const std::uint32_t exportSize = Get32(image, kExportEntry + 4);
    Put(image, kOptionalHeader, kPe32PlusMagic, 2);
    Put(image, kExportEntry, 0, 8);
    Put(image, kOptionalHeader + 108, 16, 4);
    Put(image, kOptionalHeader + 112, exportRva, 4);
    Put(image, kOptionalHeader + 116, exportSize, 4);
    EXPECT_EQ(PeExportNames(image), kComponentNames);

    Put(image, kOptionalHeader, kPe32Magic, 2);  // the same bytes read as PE32: no directory
    EXPECT_EQ(PeExportNames(image), Names{});
}

struct DamageCase {
    const char* name;
    void (*damage)(Bytes&);
    std::optional<Names> expected;
};

const DamageCase kDamageCases[] = {
    {"intact", [](Bytes&) {}, kComponentNames},
    {"empty", [](Bytes& b) { b.clear(); }, std::nullopt},
    {"only MZ", [](Bytes& b) { b.resize(2); }, std::nullopt},
    {"no MZ", [](Bytes& b) { b[0] = 'Z'; }, std::nullopt},
    {"e_lfanew past the end",
     [](Bytes& b) { Put(b, kLfanew, static_cast<std::uint32_t>(b.size()) - 2, 4); }, std::nullopt},
    {"e_lfanew wraps", [](Bytes& b) { Put(b, kLfanew, 0xFFFFFFFE, 4); }, std::nullopt},
    {"no PE signature", [](Bytes& b) { b[kPeSignature + 1] = 'X'; }, std::nullopt},
    {"ROM image magic", [](Bytes& b) { Put(b, kOptionalHeader, 0x107, 2); }, std::nullopt},
    {"section table past the end", [](Bytes& b) { Put(b, kSectionCount, 0xFFFF, 2); },
     std::nullopt},
    {"cut inside the headers", [](Bytes& b) { b.resize(0x150); }, std::nullopt},
    {"no directories", [](Bytes& b) { Put(b, kOptionalHeader + 92, 0, 4); }, Names{}},
    {"no export directory", [](Bytes& b) { Put(b, kExportEntry, 0, 8); }, Names{}},
    {"export directory outside every section", [](Bytes& b) { Put(b, kExportEntry, 0x9000, 4); },
     Names{}},
    {"huge name count", [](Bytes& b) { Put(b, ExportDirectory(b) + 24, 0xFFFFFFFF, 4); }, Names{}},
    {"name table at the section's end",
     [](Bytes& b) { Put(b, ExportDirectory(b) + 32, 0x2000 + Get32(b, kRdataHeader + 8) - 2, 4); },
     Names{}},
    {"name RVA outside every section",
     [](Bytes& b) { Put(b, Get32(b, ExportDirectory(b) + 32) - 0x2000 + 0x400, 0x7FFFFFFF, 4); },
     Names{}},
    // .rdata ends one byte early, inside the last name's terminator.
    {"last name runs past its section",
     [](Bytes& b) { Put(b, kRdataHeader + 8, Get32(b, kRdataHeader + 8) - 1, 4); }, Names{}},
    {"file cut before the last name ends",
     [](Bytes& b) { b.resize(0x400 + Get32(b, kRdataHeader + 8) - 1); }, Names{}},
};

TEST(PeExportNames, HandlesDamagedImages) {
    for (const DamageCase& c : kDamageCases) {
        SCOPED_TRACE(c.name);
        Bytes image = Component();
        c.damage(image);
        EXPECT_EQ(PeExportNames(image), c.expected);
    }
}

// Every prefix of the image and every single damaged byte of its headers and data
// is read without leaving the bytes (the sanitizers watch); what comes back is
// nothing, no names, or names that lie inside the image.
TEST(PeExportNames, StaysInsideTruncatedAndCorruptedImages) {
    const Bytes intact = Component();
    for (std::size_t length = 0; length <= intact.size(); ++length) {
        const Bytes prefix(intact.begin(), intact.begin() + static_cast<std::ptrdiff_t>(length));
        const auto names = PeExportNames(prefix);
        if (length < kRdataHeader + 40) {
            EXPECT_FALSE(names.has_value()) << length;
        }
        if (names && !names->empty()) {
            EXPECT_EQ(*names, kComponentNames) << length;
        }
    }
    for (std::size_t at = 0; at < intact.size(); ++at) {
        for (std::uint8_t value : {0x00, 0x7F, 0xFF}) {
            Bytes image = intact;
            image[at] = value;
            if (const auto names = PeExportNames(image)) {
                for (const auto& name : *names) EXPECT_LT(name.size(), image.size()) << at;
            }
        }
    }
}

// An independent reader of the format sees the same images: PE32, i386, the GUI
// subsystem, and the components' exports.
TEST(PeExportNames, IndependentReaderSeesTheStandIns) {
    if (std::string(SWK_PE_OBJDUMP).empty()) GTEST_SKIP() << "no PE objdump installed";
    const auto folder =
        std::filesystem::temp_directory_path() / ("swk_pe_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const auto& file : standins::kStandInFiles) {
        if (file.kind == standins::StandInKind::Data) continue;
        SCOPED_TRACE(std::string(file.name));
        const Bytes bytes = standins::StandInBytes(file);
        const auto path = folder / file.name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        std::string report;
        const std::string command =
            std::string(SWK_PE_OBJDUMP) + " -p '" + path.string() + "' 2>&1";
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[512];
            while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
                report.append(buffer, n);
            pclose(pipe);
        }
        EXPECT_NE(report.find("file format pei-i386"), std::string::npos) << report;
        EXPECT_NE(report.find("(PE32)"), std::string::npos) << report;
        EXPECT_NE(report.find("(Windows GUI)"), std::string::npos) << report;
        const bool component = file.kind == standins::StandInKind::Component;
        for (const auto& name : kComponentNames) {
            EXPECT_EQ(report.find("] " + name + "\n") != std::string::npos, component) << report;
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace swk::sim
