#include "tests/registration/test_modules.h"

#include <cstddef>

namespace swk::test {
namespace {

//   0x000  DOS header, e_lfanew = 0x40
//   0x040  "PE\0\0", file header (i386, 1 section, DLL), PE32 optional header
//          with 16 data directories; directory 0 (exports) -> the section
//   0x138  one section header ".edata"
//   0x200  the section (RVA 0x1000): export directory, then the function,
//          name and ordinal tables, the names, and a "xor eax,eax; ret" stub
constexpr std::uint32_t kPeOffset = 0x40;
constexpr std::uint32_t kOptionalHeaderSize = 0xE0;
constexpr std::uint32_t kSectionHeaderOffset = kPeOffset + 4 + 20 + kOptionalHeaderSize;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kExportDirectorySize = 40;

void Put16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    Put16(bytes, offset, value);
    Put16(bytes, offset + 2, value >> 16);
}
std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// The export section's bytes, laid out for loading at kSectionRva.
std::vector<std::uint8_t> ExportSection(const std::vector<std::string>& names) {
    const auto count = static_cast<std::uint32_t>(names.size());
    const std::uint32_t functions = kExportDirectorySize;
    const std::uint32_t nameTable = functions + 4 * count;
    const std::uint32_t ordinals = nameTable + 4 * count;
    const std::uint32_t moduleName = ordinals + 2 * count;
    const std::string module = "module.dll";
    std::uint32_t end = moduleName + static_cast<std::uint32_t>(module.size()) + 1;
    std::vector<std::uint32_t> nameOffsets;
    for (const std::string& name : names) {
        nameOffsets.push_back(end);
        end += static_cast<std::uint32_t>(name.size()) + 1;
    }
    const std::uint32_t stub = end;
    std::vector<std::uint8_t> section(stub + 3, 0);
    section[stub] = 0x31;  // xor eax, eax
    section[stub + 1] = 0xC0;
    section[stub + 2] = 0xC3;  // ret

    Put32(section, 12, kSectionRva + moduleName);
    Put32(section, 16, 1);  // ordinal base
    Put32(section, 20, count);
    Put32(section, 24, count);
    Put32(section, 28, kSectionRva + functions);
    Put32(section, 32, kSectionRva + nameTable);
    Put32(section, 36, kSectionRva + ordinals);
    for (std::uint32_t i = 0; i < count; ++i) {
        Put32(section, functions + 4 * i, kSectionRva + stub);
        Put32(section, nameTable + 4 * i, kSectionRva + nameOffsets[i]);
        Put16(section, ordinals + 2 * i, i);
        for (std::size_t c = 0; c < names[i].size(); ++c) section[nameOffsets[i] + c] = names[i][c];
    }
    for (std::size_t c = 0; c < module.size(); ++c) section[moduleName + c] = module[c];
    return section;
}

}  // namespace

std::vector<std::uint8_t> DllImageWithExports(const std::vector<std::string>& exportNames) {
    const std::vector<std::uint8_t> section = ExportSection(exportNames);
    const auto sectionSize = static_cast<std::uint32_t>(section.size());
    const std::uint32_t rawSize = AlignUp(sectionSize, kFileAlignment);
    std::vector<std::uint8_t> image(kFileAlignment + rawSize, 0);

    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeOffset);
    image[kPeOffset] = 'P';
    image[kPeOffset + 1] = 'E';

    const std::size_t file = kPeOffset + 4;
    Put16(image, file, 0x14C);  // i386
    Put16(image, file + 2, 1);  // one section
    Put16(image, file + 16, kOptionalHeaderSize);
    Put16(image, file + 18, 0x2102);  // executable, 32-bit, DLL

    const std::size_t optional = file + 20;
    Put16(image, optional, 0x10B);            // PE32
    Put32(image, optional + 28, 0x10000000);  // image base
    Put32(image, optional + 32, kSectionAlignment);
    Put32(image, optional + 36, kFileAlignment);
    Put16(image, optional + 40, 4);  // operating system version
    Put16(image, optional + 48, 4);  // subsystem version
    Put32(image, optional + 56, kSectionRva + AlignUp(sectionSize, kSectionAlignment));
    Put32(image, optional + 60, kFileAlignment);  // size of headers
    Put16(image, optional + 68, 2);               // GUI subsystem
    Put32(image, optional + 92, 16);              // data directories
    Put32(image, optional + 96, kSectionRva);
    Put32(image, optional + 100, sectionSize);

    const std::size_t header = kSectionHeaderOffset;
    const char name[] = ".edata";
    for (std::size_t c = 0; c + 1 < sizeof name; ++c) image[header + c] = name[c];
    Put32(image, header + 8, sectionSize);
    Put32(image, header + 12, kSectionRva);
    Put32(image, header + 16, rawSize);
    Put32(image, header + 20, kFileAlignment);
    Put32(image, header + 36, 0x60000060);  // code, initialised data, execute, read

    for (std::size_t i = 0; i < section.size(); ++i) image[kFileAlignment + i] = section[i];
    return image;
}

}  // namespace swk::test
