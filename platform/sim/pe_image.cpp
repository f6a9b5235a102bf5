#include "platform/sim/pe_image.h"

#include <algorithm>
#include <cstddef>

namespace swk::sim {
namespace {

constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kSignatureSize = 4;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionCountOffset = 2;         // in the file header
constexpr std::size_t kOptionalHeaderSizeOffset = 16;  // in the file header
constexpr std::size_t kSizeOfHeadersOffset = 60;       // in the optional header, both kinds
constexpr std::size_t kPe32DirectoryCountOffset = 92;
constexpr std::size_t kPe32PlusDirectoryCountOffset = 108;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kExportDirectorySize = 40;
constexpr std::size_t kExportNameCountOffset = 24;
constexpr std::size_t kExportNamesRvaOffset = 32;

// Little-endian reads that fail instead of reading past the bytes. Offsets are
// 64-bit so that offset + size never wraps.
std::optional<std::uint32_t> ReadLe(std::span<const std::uint8_t> bytes, std::uint64_t offset,
                                    std::size_t size) {
    if (offset > bytes.size() || bytes.size() - offset < size) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{bytes[offset + i]} << (8 * i);
    return value;
}
std::optional<std::uint32_t> U16(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return ReadLe(bytes, offset, 2);
}
std::optional<std::uint32_t> U32(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return ReadLe(bytes, offset, 4);
}

struct Section {
    std::uint32_t rva = 0;
    std::uint32_t extent = 0;  // bytes of the section that the file holds
    std::uint32_t rawOffset = 0;
};

struct ImageLayout {
    std::uint32_t sizeOfHeaders = 0;
    std::uint32_t exportRva = 0;
    std::uint32_t exportSize = 0;
    std::vector<Section> sections;
};

// A stretch of the file: where an RVA lands and where its section's bytes end.
struct FileRange {
    std::uint64_t offset = 0;
    std::uint64_t end = 0;
};

// The headers and the section table, or nothing when this is no PE image.
std::optional<ImageLayout> ReadLayout(std::span<const std::uint8_t> image) {
    if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
    const auto lfanew = U32(image, kLfanewOffset);
    if (!lfanew) return std::nullopt;
    const std::uint64_t peOffset = *lfanew;
    const auto signature = U32(image, peOffset);
    if (!signature || *signature != 0x00004550) return std::nullopt;  // "PE\0\0"

    const std::uint64_t fileHeader = peOffset + kSignatureSize;
    const auto sectionCount = U16(image, fileHeader + kSectionCountOffset);
    const auto optionalSize = U16(image, fileHeader + kOptionalHeaderSizeOffset);
    if (!sectionCount || !optionalSize) return std::nullopt;

    const std::uint64_t optional = fileHeader + kFileHeaderSize;
    const auto magic = U16(image, optional);
    if (!magic || (*magic != kPe32Magic && *magic != kPe32PlusMagic)) return std::nullopt;
    const std::size_t countOffset =
        *magic == kPe32Magic ? kPe32DirectoryCountOffset : kPe32PlusDirectoryCountOffset;

    ImageLayout layout;
    const auto sizeOfHeaders = U32(image, optional + kSizeOfHeadersOffset);
    const auto directoryCount = U32(image, optional + countOffset);
    if (!sizeOfHeaders || !directoryCount) return std::nullopt;
    layout.sizeOfHeaders = *sizeOfHeaders;
    // The export directory is entry 0; it exists only when the optional header
    // declares and holds it.
    const std::uint64_t exportEntry = optional + countOffset + 4;
    if (*directoryCount > 0 && exportEntry + kDirectoryEntrySize <= optional + *optionalSize) {
        layout.exportRva = U32(image, exportEntry).value_or(0);
        layout.exportSize = U32(image, exportEntry + 4).value_or(0);
    }

    const std::uint64_t table = optional + *optionalSize;
    if (table + std::uint64_t{*sectionCount} * kSectionHeaderSize > image.size()) {
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i < *sectionCount; ++i) {
        const std::uint64_t header = table + std::uint64_t{i} * kSectionHeaderSize;
        const std::uint32_t virtualSize = *U32(image, header + 8);
        const std::uint32_t rawSize = *U32(image, header + 16);
        Section section;
        section.rva = *U32(image, header + 12);
        section.rawOffset = *U32(image, header + 20);
        section.extent = virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize);
        layout.sections.push_back(section);
    }
    return layout;
}

// The file bytes behind an RVA, clipped to its section and to the file.
std::optional<FileRange> RvaToFile(const ImageLayout& layout, std::uint64_t fileSize,
                                   std::uint32_t rva) {
    for (const Section& section : layout.sections) {
        if (rva >= section.rva && rva - section.rva < section.extent) {
            FileRange range{std::uint64_t{section.rawOffset} + (rva - section.rva),
                            std::uint64_t{section.rawOffset} + section.extent};
            range.end = std::min(range.end, fileSize);
            if (range.offset >= range.end) return std::nullopt;
            return range;
        }
    }
    if (rva < layout.sizeOfHeaders && rva < fileSize) {
        return FileRange{rva, std::min<std::uint64_t>(layout.sizeOfHeaders, fileSize)};
    }
    return std::nullopt;
}

// A zero-terminated name that ends inside its section.
std::optional<std::string> ReadName(std::span<const std::uint8_t> image, FileRange range) {
    std::string name;
    for (std::uint64_t at = range.offset; at < range.end; ++at) {
        if (image[at] == 0) return name;
        name.push_back(static_cast<char>(image[at]));
    }
    return std::nullopt;
}

// The export directory, its name RVA array, and each name.
std::vector<std::string> ReadExportNames(std::span<const std::uint8_t> image,
                                         const ImageLayout& layout) {
    if (layout.exportRva == 0 || layout.exportSize == 0) return {};
    const auto directory = RvaToFile(layout, image.size(), layout.exportRva);
    if (!directory || directory->end - directory->offset < kExportDirectorySize) return {};
    const std::uint32_t nameCount = *U32(image, directory->offset + kExportNameCountOffset);
    const std::uint32_t namesRva = *U32(image, directory->offset + kExportNamesRvaOffset);
    if (nameCount == 0) return {};

    const auto names = RvaToFile(layout, image.size(), namesRva);
    if (!names || (names->end - names->offset) / 4 < nameCount) return {};
    std::vector<std::string> result;
    result.reserve(nameCount);
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        const std::uint32_t nameRva = *U32(image, names->offset + std::uint64_t{i} * 4);
        const auto where = RvaToFile(layout, image.size(), nameRva);
        if (!where) return {};
        auto name = ReadName(image, *where);
        if (!name) return {};
        result.push_back(std::move(*name));
    }
    return result;
}

}  // namespace

std::optional<std::vector<std::string>> PeExportNames(std::span<const std::uint8_t> image) {
    const auto layout = ReadLayout(image);
    if (!layout) return std::nullopt;
    return ReadExportNames(image, *layout);
}

}  // namespace swk::sim
