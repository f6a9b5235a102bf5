#include "tools/standins/pe_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace swk::standins {
namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kPeOffset = 0x40;
constexpr std::uint32_t kOptionalHeaderSize = 0xE0;  // PE32 with 16 data directories
constexpr std::uint32_t kDirectoryCount = 16;
constexpr std::uint32_t kTextRva = 0x1000;
constexpr std::uint32_t kTextOffset = 0x200;
constexpr std::uint32_t kRdataRva = 0x2000;
constexpr std::uint32_t kRdataOffset = 0x400;
constexpr std::uint32_t kStubSize = 16;
constexpr std::uint32_t kExportDirectorySize = 40;

constexpr std::uint16_t kCharExecutable = 0x0002;
constexpr std::uint16_t kCharRelocsStripped = 0x0001;
constexpr std::uint16_t kChar32BitMachine = 0x0100;
constexpr std::uint16_t kCharDll = 0x2000;
constexpr std::uint32_t kTextCharacteristics = 0x60000020;   // code, execute, read
constexpr std::uint32_t kRdataCharacteristics = 0x40000040;  // initialised data, read

constexpr std::array<std::uint8_t, 3> kReturnZero = {0x31, 0xC0, 0xC3};  // xor eax,eax; ret
constexpr std::array<std::uint8_t, 8> kDllMainReturnTrue = {0xB8, 0x01, 0x00, 0x00, 0x00,
                                                            0xC2, 0x0C, 0x00};  // mov eax,1; ret 12

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// Little-endian writes into a buffer that grows to fit.
class Image {
public:
    void Put(std::size_t at, std::uint32_t value, std::size_t size) {
        Grow(at + size);
        for (std::size_t i = 0; i < size; ++i)
            bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void U16(std::size_t at, std::uint32_t value) { Put(at, value, 2); }
    void U32(std::size_t at, std::uint32_t value) { Put(at, value, 4); }
    void Bytes(std::size_t at, const std::uint8_t* data, std::size_t size) {
        Grow(at + size);
        std::copy(data, data + size, bytes_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    void Text(std::size_t at, const std::string& text) {  // zero-terminated
        Bytes(at, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        Put(at + text.size(), 0, 1);
    }
    void Grow(std::size_t size) {
        if (bytes_.size() < size) bytes_.resize(size, 0);
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// .rdata of a DLL after the note: directory, address, name and ordinal tables, then
// the module name and the export names. Returns the end offset inside .rdata.
std::uint32_t WriteExportDirectory(Image& image, std::uint32_t start, const std::string& moduleName,
                                   const std::vector<std::string>& names) {
    const auto count = static_cast<std::uint32_t>(names.size());
    const std::uint32_t functions = start + kExportDirectorySize;
    const std::uint32_t nameTable = functions + 4 * count;
    const std::uint32_t ordinals = nameTable + 4 * count;
    std::uint32_t strings = ordinals + 2 * count;

    auto at = [](std::uint32_t rdata) { return std::size_t{kRdataOffset} + rdata; };
    auto rva = [](std::uint32_t rdata) { return kRdataRva + rdata; };
    image.U32(at(start) + 12, rva(strings));  // module name
    image.U32(at(start) + 16, 1);             // ordinal base
    image.U32(at(start) + 20, count);         // functions
    image.U32(at(start) + 24, count);         // names
    image.U32(at(start) + 28, rva(functions));
    image.U32(at(start) + 32, rva(nameTable));
    image.U32(at(start) + 36, rva(ordinals));
    image.Text(at(strings), moduleName);
    strings += static_cast<std::uint32_t>(moduleName.size()) + 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        image.U32(at(functions) + 4 * i, kTextRva + kStubSize * (i + 1));
        image.U32(at(nameTable) + 4 * i, rva(strings));
        image.U16(at(ordinals) + 2 * i, i);
        image.Text(at(strings), names[i]);
        strings += static_cast<std::uint32_t>(names[i].size()) + 1;
    }
    return strings;
}

void WriteSectionHeader(Image& image, std::size_t at, const char* name, std::uint32_t virtualSize,
                        std::uint32_t rva, std::uint32_t rawOffset, std::uint32_t characteristics) {
    image.Text(at, name);
    image.U32(at + 8, virtualSize);
    image.U32(at + 12, rva);
    image.U32(at + 16, AlignUp(virtualSize, kFileAlignment));
    image.U32(at + 20, rawOffset);
    image.U32(at + 36, characteristics);
}

}  // namespace

std::vector<std::uint8_t> BuildPe32Image(const PeImageRequest& request) {
    std::vector<std::string> exports = request.dll ? request.exports : std::vector<std::string>{};
    std::sort(exports.begin(), exports.end());
    const auto exportCount = static_cast<std::uint32_t>(exports.size());
    if ((exports.size() + 1) * kStubSize > kFileAlignment) return {};
    Image image;

    // .text: the entry point, then one stub per export.
    if (request.dll) {
        image.Bytes(kTextOffset, kDllMainReturnTrue.data(), kDllMainReturnTrue.size());
    } else {
        image.Bytes(kTextOffset, kReturnZero.data(), kReturnZero.size());
    }
    for (std::uint32_t i = 0; i < exportCount; ++i) {
        image.Bytes(kTextOffset + kStubSize * (i + 1), kReturnZero.data(), kReturnZero.size());
    }
    const std::uint32_t textSize = kStubSize * (exportCount + 1);

    // .rdata: the note, then the export directory on a 4-byte boundary.
    image.Text(kRdataOffset, request.note);
    std::uint32_t rdataSize = static_cast<std::uint32_t>(request.note.size()) + 1;
    std::uint32_t exportStart = 0;
    if (request.dll) {
        exportStart = AlignUp(rdataSize, 4);
        rdataSize = WriteExportDirectory(image, exportStart, request.moduleName, exports);
    }
    image.Grow(kRdataOffset + AlignUp(rdataSize, kFileAlignment));

    // Headers, now that the sizes are known.
    image.Text(0, "MZ");
    image.U32(0x3C, kPeOffset);
    image.Text(kPeOffset, "PE");
    const std::size_t fileHeader = kPeOffset + 4;
    image.U16(fileHeader, kMachineI386);
    image.U16(fileHeader + 2, 2);  // sections
    image.U16(fileHeader + 16, kOptionalHeaderSize);
    image.U16(fileHeader + 18,
              kCharExecutable | kChar32BitMachine | (request.dll ? kCharDll : kCharRelocsStripped));

    const std::size_t optional = fileHeader + 20;
    image.U16(optional, 0x10B);                                   // PE32
    image.U32(optional + 4, AlignUp(textSize, kFileAlignment));   // size of code
    image.U32(optional + 8, AlignUp(rdataSize, kFileAlignment));  // size of initialised data
    image.U32(optional + 16, kTextRva);                           // entry point
    image.U32(optional + 20, kTextRva);                           // base of code
    image.U32(optional + 24, kRdataRva);                          // base of data
    image.U32(optional + 28, request.dll ? kDllImageBase : kExeImageBase);
    image.U32(optional + 32, kSectionAlignment);
    image.U32(optional + 36, kFileAlignment);
    image.U16(optional + 40, 4);  // operating system version 4.0
    image.U16(optional + 48, 4);  // subsystem version 4.0
    image.U32(optional + 56, kRdataRva + AlignUp(rdataSize, kSectionAlignment));  // size of image
    image.U32(optional + 60, kTextOffset);                                        // size of headers
    image.U16(optional + 68, kSubsystemWindowsGui);
    image.U32(optional + 72, 0x100000);  // stack reserve
    image.U32(optional + 76, 0x1000);    // stack commit
    image.U32(optional + 80, 0x100000);  // heap reserve
    image.U32(optional + 84, 0x1000);    // heap commit
    image.U32(optional + 92, kDirectoryCount);
    if (request.dll) {
        image.U32(optional + 96, kRdataRva + exportStart);
        image.U32(optional + 100, rdataSize - exportStart);
    }

    const std::size_t sections = optional + kOptionalHeaderSize;
    WriteSectionHeader(image, sections, ".text", textSize, kTextRva, kTextOffset,
                       kTextCharacteristics);
    WriteSectionHeader(image, sections + 40, ".rdata", rdataSize, kRdataRva, kRdataOffset,
                       kRdataCharacteristics);
    return image.Take();
}

}  // namespace swk::standins
