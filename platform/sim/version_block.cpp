#include "platform/sim/version_block.h"

#include <cstring>

#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

constexpr std::uint8_t kScratchTag[4] = {'S', 'W', 'K', 'A'};
constexpr std::size_t kNodeHeaderSize = 6;

std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

void PutU16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void AppendU32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void AppendWide(std::vector<std::uint8_t>& b, std::u16string_view text) {
    for (char16_t u : text) {
        b.push_back(static_cast<std::uint8_t>(u));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    b.push_back(0);
    b.push_back(0);
}

std::vector<std::uint8_t> Node(std::string_view key, bool isText, std::uint16_t valueLength,
                               const std::vector<std::uint8_t>& value,
                               const std::vector<std::vector<std::uint8_t>>& children) {
    std::vector<std::uint8_t> b(kNodeHeaderSize, 0);
    AppendWide(b, DecodeUtf8(key));
    b.resize(Align4(b.size()), 0);
    b.insert(b.end(), value.begin(), value.end());
    for (const auto& child : children) {
        b.resize(Align4(b.size()), 0);
        b.insert(b.end(), child.begin(), child.end());
    }
    PutU16(b, 0, static_cast<std::uint16_t>(b.size()));
    PutU16(b, 2, valueLength);
    PutU16(b, 4, isText ? 1 : 0);
    return b;
}

std::vector<std::uint8_t> FixedFileInfo() {
    std::vector<std::uint8_t> v;
    for (std::uint32_t field :
         {kFixedFileInfoSignature, 0x00010000u, kFileVersionMS, kFileVersionLS, kFileVersionMS,
          kFileVersionLS, 0x3Fu, kFileFlagSpecialBuild, 0x00040004u /* NT, 32-bit Windows */,
          1u /* application */, 0u, 0u, 0u})
        AppendU32(v, field);
    return v;
}

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// One node of a block, its fields checked against the bounds of its parent.
struct ParsedNode {
    std::size_t start = 0, end = 0;
    std::u16string key;
    bool isText = false;
    std::size_t valueOffset = 0, valueBytes = 0, valueLength = 0, childrenOffset = 0;
};

std::optional<ParsedNode> ParseNode(const std::uint8_t* block, std::size_t start,
                                    std::size_t limit) {
    if (start + kNodeHeaderSize > limit) return std::nullopt;
    ParsedNode node;
    node.start = start;
    std::size_t length = ReadU16(block + start);
    if (length < kNodeHeaderSize || start + length > limit) return std::nullopt;
    node.end = start + length;
    node.valueLength = ReadU16(block + start + 2);
    node.isText = ReadU16(block + start + 4) == 1;
    std::size_t pos = start + kNodeHeaderSize;
    for (;; pos += 2) {
        if (pos + 2 > node.end) return std::nullopt;
        char16_t unit = ReadU16(block + pos);
        if (unit == 0) break;
        node.key.push_back(unit);
    }
    node.valueOffset = Align4(pos + 2);
    node.valueBytes = node.isText ? node.valueLength * 2 : node.valueLength;
    if (node.valueOffset > node.end) node.valueOffset = node.end;
    if (node.valueOffset + node.valueBytes > node.end)
        node.valueBytes = node.end - node.valueOffset;
    node.childrenOffset = Align4(node.valueOffset + node.valueBytes);
    return node;
}

std::optional<ParsedNode> FindChild(const std::uint8_t* block, const ParsedNode& parent,
                                    std::string_view name) {
    std::string wanted = FoldCase(name);
    for (std::size_t at = parent.childrenOffset; at < parent.end;) {
        auto child = ParseNode(block, at, parent.end);
        if (!child) return std::nullopt;
        if (FoldCase(EncodeUtf8(child->key)) == wanted) return child;
        at = Align4(child->end);
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::uint8_t> BuildVersionBlock(const std::map<std::string, std::string>& strings) {
    std::vector<std::vector<std::uint8_t>> stringNodes;
    for (const auto& [key, text] : strings) {
        std::vector<std::uint8_t> value;
        std::u16string wide = DecodeUtf8(text);
        AppendWide(value, wide);
        stringNodes.push_back(
            Node(key, true, static_cast<std::uint16_t>(wide.size() + 1), value, {}));
    }
    auto table = Node(kStringTableName, true, 0, {}, stringNodes);
    auto stringInfo = Node("StringFileInfo", true, 0, {}, {table});
    auto translation = Node("Translation", false, 4, {0x09, 0x04, 0xB0, 0x04}, {});
    auto varInfo = Node("VarFileInfo", true, 0, {}, {translation});
    return Node("VS_VERSION_INFO", false, kFixedFileInfoSize, FixedFileInfo(),
                {stringInfo, varInfo});
}

std::uint32_t VersionBufferSize(std::span<const std::uint8_t> block) {
    return static_cast<std::uint32_t>(Align4(block.size()) + 8 + 2 * block.size());
}

void CopyVersionBuffer(std::span<const std::uint8_t> block, std::span<std::uint8_t> out) {
    std::vector<std::uint8_t> whole(block.begin(), block.end());
    whole.resize(Align4(whole.size()), 0);
    if (out.size() >= whole.size() + 8) {
        whole.insert(whole.end(), std::begin(kScratchTag), std::end(kScratchTag));
        AppendU32(whole, static_cast<std::uint32_t>(out.size() - whole.size() - 4));
    }
    std::memcpy(out.data(), whole.data(), std::min(whole.size(), out.size()));
}

std::optional<VersionValue> QueryVersionValue(void* bufferStart, std::string_view subBlock) {
    auto* block = static_cast<std::uint8_t*>(bufferStart);
    if (!block) return std::nullopt;
    std::size_t blockLength = ReadU16(block);
    auto node = ParseNode(block, 0, blockLength);
    if (!node) return std::nullopt;
    std::size_t pos = 0;
    while (pos < subBlock.size()) {
        std::size_t end = subBlock.find('\\', pos);
        if (end == std::string_view::npos) end = subBlock.size();
        if (end > pos) {
            node = FindChild(block, *node, subBlock.substr(pos, end - pos));
            if (!node) return std::nullopt;
        }
        pos = end + 1;
    }
    if (!node->isText)
        return VersionValue{block + node->valueOffset,
                            static_cast<std::uint32_t>(node->valueBytes)};

    // Text: convert into the scratch area at 3/2 of the value's offset, where a
    // UTF-8 form of up to three bytes per UTF-16 unit never overlaps another.
    std::size_t tagAt = Align4(blockLength);
    if (std::memcmp(block + tagAt, kScratchTag, 4) != 0) return std::nullopt;
    std::size_t scratchSize = block[tagAt + 4] | (block[tagAt + 5] << 8) |
                              (block[tagAt + 6] << 16) |
                              (static_cast<std::size_t>(block[tagAt + 7]) << 24);
    std::u16string wide;
    for (std::size_t i = 0; i + 2 <= node->valueBytes; i += 2) {
        char16_t unit = ReadU16(block + node->valueOffset + i);
        if (unit == 0) break;
        wide.push_back(unit);
    }
    std::string narrow = EncodeUtf8(wide);
    std::size_t at = node->valueOffset / 2 * 3;
    if (at + narrow.size() + 1 > scratchSize) return std::nullopt;
    char* text = reinterpret_cast<char*>(block + tagAt + 8 + at);
    std::memcpy(text, narrow.data(), narrow.size());
    text[narrow.size()] = '\0';
    return VersionValue{text, static_cast<std::uint32_t>(narrow.size() + 1)};
}

}  // namespace swk::sim
