#include "platform/sim/shell_link_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace swk::sim {
namespace {

constexpr std::array<std::uint8_t, 16> kLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kShowNormal = 1;  // SW_SHOWNORMAL
constexpr std::uint32_t kLinkInfoHeaderSizeUnicode = 0x24;
constexpr std::uint32_t kLinkInfoHeaderSizeAnsi = 0x1C;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLink = 0x2;
constexpr std::uint32_t kVolumeIdSize = 0x11;  // header of 16 bytes and an empty label
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::size_t kMaxStringUnits = 0xFFFF;

// ---- Text: UTF-8 on our side, UTF-16 in the file ---------------------------------

std::optional<std::u16string> ToUtf16(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || text.size() - i < length) return std::nullopt;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Unpaired surrogates become U+FFFD.
std::string FromUtf16(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string FromLatin1(std::string_view text) {
    std::string out;
    for (char c : text) AppendUtf8(out, static_cast<std::uint8_t>(c));
    return out;
}

// What a code-page conversion makes of the path: '?' for every unit it cannot map.
std::string ToAnsi(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) ++i;  // one '?' per pair
    }
    return out;
}

// ---- Writing -----------------------------------------------------------------------

class ByteWriter {
public:
    void U16(std::uint32_t value) { Le(value, 2); }
    void U32(std::uint32_t value) { Le(value, 4); }
    void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void Bytes(std::span<const std::uint8_t> data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    void Ansi(std::string_view text) {  // zero-terminated
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
    }
    void Utf16(std::u16string_view text) {
        for (char16_t unit : text) U16(unit);
    }
    void PatchU32(std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i)
            bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    void Le(std::uint32_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    std::vector<std::uint8_t> bytes_;
};

void WriteHeader(ByteWriter& out, std::uint32_t flags) {
    out.U32(kShellLinkHeaderSize);
    out.Bytes(kLinkClsid);
    out.U32(flags);
    out.U32(0);     // file attributes
    out.Zeros(24);  // creation, access and write times
    out.U32(0);     // file size
    out.U32(0);     // icon index
    out.U32(kShowNormal);
    out.U16(0);     // hot key
    out.Zeros(10);  // reserved
}

// LinkInfo with the 0x24-byte header: VolumeID, then the ANSI path and suffix, then
// the Unicode path and suffix. Offsets count from the start of the LinkInfo.
void WriteLinkInfo(ByteWriter& out, std::u16string_view target) {
    const std::string ansi = ToAnsi(target);
    const std::uint32_t volumeId = kLinkInfoHeaderSizeUnicode;
    const std::uint32_t basePath = volumeId + kVolumeIdSize;
    const std::uint32_t suffix = basePath + static_cast<std::uint32_t>(ansi.size()) + 1;
    const std::uint32_t basePathUnicode = suffix + 1;
    const std::uint32_t suffixUnicode =
        basePathUnicode + 2 * (static_cast<std::uint32_t>(target.size()) + 1);
    const std::uint32_t size = suffixUnicode + 2;

    out.U32(size);
    out.U32(kLinkInfoHeaderSizeUnicode);
    out.U32(kVolumeIdAndLocalBasePath);
    out.U32(volumeId);
    out.U32(basePath);
    out.U32(0);  // no network link
    out.U32(suffix);
    out.U32(basePathUnicode);
    out.U32(suffixUnicode);
    // VolumeID: size, drive type, serial number, label offset, empty label.
    out.U32(kVolumeIdSize);
    out.U32(kDriveFixed);
    out.U32(0);
    out.U32(0x10);
    out.Ansi("");
    out.Ansi(ansi);
    out.Ansi("");  // common path suffix
    out.Utf16(target);
    out.U16(0);
    out.U16(0);  // common path suffix, Unicode
}

void WriteString(ByteWriter& out, std::u16string_view text) {
    out.U16(static_cast<std::uint32_t>(text.size()));
    out.Utf16(text);
}

// ---- Reading -----------------------------------------------------------------------

// Bounded little-endian reads over one block of the file; a failed read leaves the
// value empty.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::uint32_t> U16(std::uint64_t at) const { return Le(at, 2); }
    std::optional<std::uint32_t> U32(std::uint64_t at) const { return Le(at, 4); }
    bool Has(std::uint64_t at, std::uint64_t count) const {
        return at <= bytes_.size() && bytes_.size() - at >= count;
    }
    std::span<const std::uint8_t> Block(std::uint64_t at, std::uint64_t count) const {
        return bytes_.subspan(at, count);
    }
    // Zero-terminated texts that end inside the block.
    std::optional<std::string> AnsiZ(std::uint64_t at) const {
        std::string text;
        for (; at < bytes_.size(); ++at) {
            if (bytes_[at] == 0) return FromLatin1(text);
            text.push_back(static_cast<char>(bytes_[at]));
        }
        return std::nullopt;
    }
    std::optional<std::string> Utf16Z(std::uint64_t at) const {
        std::u16string text;
        for (; Has(at, 2); at += 2) {
            const auto unit = static_cast<char16_t>(*U16(at));
            if (unit == 0) return FromUtf16(text);
            text.push_back(unit);
        }
        return std::nullopt;
    }
    std::optional<std::string> Counted(std::uint64_t at, std::uint32_t count, bool unicode) const {
        if (!Has(at, std::uint64_t{count} * (unicode ? 2 : 1))) return std::nullopt;
        if (!unicode)
            return FromLatin1(std::string_view(reinterpret_cast<const char*>(&bytes_[at]), count));
        std::u16string text;
        for (std::uint32_t i = 0; i < count; ++i)
            text.push_back(static_cast<char16_t>(*U16(at + 2 * i)));
        return FromUtf16(text);
    }

private:
    std::optional<std::uint32_t> Le(std::uint64_t at, std::size_t size) const {
        if (!Has(at, size)) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{bytes_[at + i]} << (8 * i);
        return value;
    }
    std::span<const std::uint8_t> bytes_;
};

// The target of a LinkInfo block: the local base path followed by the common path
// suffix (Unicode fields preferred), or a network share name and the suffix.
std::optional<std::string> ReadLinkInfoTarget(const ByteReader& info) {
    const auto headerSize = info.U32(4);
    const auto flags = info.U32(8);
    if (!headerSize || !flags || *headerSize < kLinkInfoHeaderSizeAnsi) return std::nullopt;
    const bool unicode = *headerSize >= kLinkInfoHeaderSizeUnicode;

    const auto suffixAt = info.U32(unicode ? 32 : 24);
    std::optional<std::string> suffix;
    if (unicode && suffixAt && *suffixAt != 0) {
        suffix = info.Utf16Z(*suffixAt);
    } else if (const auto ansiAt = info.U32(24); ansiAt && *ansiAt != 0) {
        suffix = info.AnsiZ(*ansiAt);
    } else {
        suffix = std::string();
    }
    if (!suffix) return std::nullopt;

    if (*flags & kVolumeIdAndLocalBasePath) {
        std::optional<std::string> base;
        const auto unicodeAt = unicode ? info.U32(28) : std::nullopt;
        if (unicodeAt && *unicodeAt != 0) {
            base = info.Utf16Z(*unicodeAt);
        } else if (const auto ansiAt = info.U32(16)) {
            base = info.AnsiZ(*ansiAt);
        }
        if (!base) return std::nullopt;
        return *base + *suffix;
    }
    if (*flags & kCommonNetworkRelativeLink) {
        const auto linkAt = info.U32(20);
        if (!linkAt) return std::nullopt;
        const auto netNameAt = info.U32(std::uint64_t{*linkAt} + 8);
        if (!netNameAt) return std::nullopt;
        auto share = info.AnsiZ(std::uint64_t{*linkAt} + *netNameAt);
        if (!share) return std::nullopt;
        return suffix->empty() ? *share : *share + "\\" + *suffix;
    }
    return std::string();
}

}  // namespace

std::vector<std::uint8_t> EncodeShellLink(const ShellLinkData& link) {
    const auto target = ToUtf16(link.target);
    const auto arguments = ToUtf16(link.arguments);
    const auto description = ToUtf16(link.description);
    if (!target || !arguments || !description) return {};
    if (arguments->size() > kMaxStringUnits || description->size() > kMaxStringUnits) return {};

    // An empty string is left out with its flag: readers expect a present string to
    // hold at least one unit.
    std::uint32_t flags = kLinkFlagHasLinkInfo | kLinkFlagIsUnicode;
    if (!description->empty()) flags |= kLinkFlagHasName;
    if (!arguments->empty()) flags |= kLinkFlagHasArguments;

    ByteWriter out;
    WriteHeader(out, flags);
    WriteLinkInfo(out, *target);
    if (!description->empty()) WriteString(out, *description);
    if (!arguments->empty()) WriteString(out, *arguments);
    out.U32(0);  // terminal block of the extra data
    return out.Take();
}

std::optional<ShellLinkData> DecodeShellLink(std::span<const std::uint8_t> file) {
    const ByteReader reader(file);
    if (reader.U32(0) != kShellLinkHeaderSize || !reader.Has(0, kShellLinkHeaderSize))
        return std::nullopt;
    const auto clsid = reader.Block(4, kLinkClsid.size());
    if (!std::equal(clsid.begin(), clsid.end(), kLinkClsid.begin())) return std::nullopt;
    const std::uint32_t flags = *reader.U32(20);
    std::uint64_t at = kShellLinkHeaderSize;

    // The item ID list is not needed: a u16 size, then that many bytes.
    if (flags & kLinkFlagHasLinkTargetIdList) {
        const auto size = reader.U16(at);
        if (!size || !reader.Has(at + 2, *size)) return std::nullopt;
        at += 2 + *size;
    }

    ShellLinkData link;
    if (flags & kLinkFlagHasLinkInfo) {
        const auto size = reader.U32(at);
        if (!size || *size < kLinkInfoHeaderSizeAnsi || !reader.Has(at, *size)) return std::nullopt;
        auto target = ReadLinkInfoTarget(ByteReader(reader.Block(at, *size)));
        if (!target) return std::nullopt;
        link.target = std::move(*target);
        at += *size;
    }

    // String data, in its fixed order; only the description and arguments are kept.
    const bool unicode = (flags & kLinkFlagIsUnicode) != 0;
    for (std::uint32_t flag : {kLinkFlagHasName, kLinkFlagHasRelativePath, kLinkFlagHasWorkingDir,
                               kLinkFlagHasArguments, kLinkFlagHasIconLocation}) {
        if (!(flags & flag)) continue;
        const auto count = reader.U16(at);
        if (!count) return std::nullopt;
        auto text = reader.Counted(at + 2, *count, unicode);
        if (!text) return std::nullopt;
        at += 2 + std::uint64_t{*count} * (unicode ? 2 : 1);
        if (flag == kLinkFlagHasName) link.description = std::move(*text);
        if (flag == kLinkFlagHasArguments) link.arguments = std::move(*text);
    }
    return link;
}

}  // namespace swk::sim
