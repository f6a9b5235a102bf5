#include "platform/sim/registry_store.h"

#include <cstdio>
#include <utility>

#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

struct RootSpelling {
    std::string_view longName, shortName;
    RegistryRoot root;
    bool classes;  // HKEY_CLASSES_ROOT: below SOFTWARE\Classes
};
constexpr std::array<RootSpelling, 5> kRootSpellings = {{
    {"HKEY_LOCAL_MACHINE", "HKLM", RegistryRoot::LocalMachine, false},
    {"HKEY_CURRENT_USER", "HKCU", RegistryRoot::CurrentUser, false},
    {"HKEY_USERS", "HKU", RegistryRoot::Users, false},
    {"HKEY_CURRENT_CONFIG", "HKCC", RegistryRoot::CurrentConfig, false},
    {"HKEY_CLASSES_ROOT", "HKCR", RegistryRoot::LocalMachine, true},
}};

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// A REG_SZ value can be written as a quoted string when it is valid UTF-8 text
// ending in its one zero, with no line breaks.
bool IsQuotableText(const RegistryValue& value) {
    const auto& d = value.data;
    if (value.type != REG_SZ || d.empty() || d.back() != 0) return false;
    std::string text(d.begin(), d.end() - 1);
    if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) return false;
    return EncodeUtf8(DecodeUtf8(text)) == text;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i ? ",%02x" : "%02x", bytes[i]);
        out += cell;
    }
    return out;
}

std::string ValueLine(const RegistryKey::NamedValue& nv) {
    std::string line = nv.name.empty() ? "@=" : "\"" + Escape(nv.name) + "\"=";
    const RegistryValue& v = nv.value;
    char number[32];
    if (IsQuotableText(v)) {
        line += "\"" + Escape(std::string(v.data.begin(), v.data.end() - 1)) + "\"";
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        std::uint32_t dw = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                           (static_cast<std::uint32_t>(v.data[3]) << 24);
        std::snprintf(number, sizeof number, "dword:%08x", dw);
        line += number;
    } else if (v.type == REG_BINARY) {
        line += "hex:" + HexBytes(v.data);
    } else {
        std::snprintf(number, sizeof number, "hex(%x):", v.type);
        line += number + HexBytes(v.data);
    }
    return line;
}

void ExportKey(const RegistryKey& key, const std::string& path, std::string& out, bool isRoot) {
    if (!isRoot || !key.values.empty()) {
        out += "[" + path + "]\r\n";
        for (const auto& [folded, nv] : key.values) out += ValueLine(nv) + "\r\n";
        out += "\r\n";
    }
    for (const auto& [folded, child] : key.subkeys)
        ExportKey(*child, path + "\\" + child->name, out, false);
}

// Reads a quoted string starting at text[pos] == '"'; pos ends past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t& pos) {
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < text.size()) c = text[++pos];
        out += c;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadHexList(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::string cell;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : ',';
        if (c == ' ' || c == '\t' || c == '\\' || c == '\r' || c == '\n') continue;
        if (c != ',') {
            cell += c;
            continue;
        }
        if (cell.empty()) continue;
        auto n = ParseInteger("0x" + cell);
        if (!n || *n < 0 || *n > 0xFF) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*n));
        cell.clear();
    }
    return bytes;
}

std::optional<RegistryValue> ReadData(std::string_view data) {
    RegistryValue value;
    if (data.starts_with("\"")) {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || !Trim(data.substr(pos)).empty()) return std::nullopt;
        value.type = REG_SZ;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
        return value;
    }
    if (data.starts_with("dword:")) {
        auto n = ParseInteger("0x" + Trim(data.substr(6)));
        if (!n || *n < 0 || *n > 0xFFFFFFFFll) return std::nullopt;
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(*n >> (8 * i)));
        return value;
    }
    std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view kind = data.substr(0, colon);
    if (kind == "hex") {
        value.type = REG_BINARY;
    } else if (kind.starts_with("hex(") && kind.ends_with(")")) {
        auto n = ParseInteger("0x" + std::string(kind.substr(4, kind.size() - 5)));
        if (!n || *n < 0 || *n > 0xFFFFFFFFll) return std::nullopt;
        value.type = static_cast<std::uint32_t>(*n);
    } else {
        return std::nullopt;
    }
    auto bytes = ReadHexList(data.substr(colon + 1));
    if (!bytes) return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

// Splits .reg text into logical lines: hex data continues over lines ending in '\'.
std::vector<std::string> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        current += line;
        if (!current.empty() && current.back() == '\\' &&
            current.find("=hex") != std::string::npos) {
            current.pop_back();
            continue;
        }
        lines.push_back(std::move(current));
        current.clear();
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return lines;
}

}  // namespace

std::string_view RootName(RegistryRoot root) {
    return kRootSpellings[static_cast<int>(root)].longName;
}

std::string_view RootFileName(RegistryRoot root) {
    static constexpr std::array<std::string_view, 4> kFiles = {"HKLM.reg", "HKCU.reg", "HKU.reg",
                                                               "HKCC.reg"};
    return kFiles[static_cast<int>(root)];
}

std::string KeyAddress::Text() const {
    std::string text(RootName(root));
    for (const auto& c : components) text += "\\" + c;
    return text;
}

std::optional<std::vector<std::string>> SplitSubKey(std::string_view subKey) {
    std::vector<std::string> parts;
    if (subKey.starts_with("\\")) return std::nullopt;
    std::size_t pos = 0;
    while (pos < subKey.size()) {
        std::size_t end = subKey.find('\\', pos);
        if (end == std::string_view::npos) end = subKey.size();
        if (end > pos) parts.emplace_back(subKey.substr(pos, end - pos));
        if (parts.size() > kMaxKeyDepth) return std::nullopt;
        pos = end + 1;
    }
    return parts;
}

std::optional<KeyAddress> ParseKeyPath(std::string_view path) {
    std::size_t cut = path.find('\\');
    std::string_view rootText = path.substr(0, cut);
    for (const auto& spelling : kRootSpellings) {
        if (!EqualNoCase(rootText, spelling.longName) && !EqualNoCase(rootText, spelling.shortName))
            continue;
        KeyAddress address{spelling.root, {}};
        if (spelling.classes) address.components = {"SOFTWARE", "Classes"};
        if (cut != std::string_view::npos) {
            auto rest = SplitSubKey(path.substr(cut + 1));
            if (!rest) return std::nullopt;
            address.components.insert(address.components.end(), rest->begin(), rest->end());
        }
        return address;
    }
    return std::nullopt;
}

RegistryKey* RegistryKey::Child(std::string_view childName) const {
    auto it = subkeys.find(FoldCase(childName));
    return it == subkeys.end() ? nullptr : it->second.get();
}

const RegistryValue* RegistryKey::Value(std::string_view valueName) const {
    auto it = values.find(FoldCase(valueName));
    return it == values.end() ? nullptr : &it->second.value;
}

RegistryKey& RegistryStore::Root(RegistryRoot root) {
    return roots_[static_cast<int>(root)];
}
const RegistryKey& RegistryStore::Root(RegistryRoot root) const {
    return roots_[static_cast<int>(root)];
}

const RegistryKey* RegistryStore::Find(const KeyAddress& address) const {
    const RegistryKey* key = &Root(address.root);
    for (const auto& name : address.components) {
        key = key->Child(name);
        if (!key) return nullptr;
    }
    return key;
}

RegistryKey* RegistryStore::Find(const KeyAddress& address) {
    return const_cast<RegistryKey*>(std::as_const(*this).Find(address));
}

RegistryKey* RegistryStore::Create(const KeyAddress& address, bool* created) {
    RegistryKey* key = &Root(address.root);
    bool madeLast = false;
    for (const auto& name : address.components) {
        RegistryKey* child = key->Child(name);
        madeLast = child == nullptr;
        if (!child) {
            auto fresh = std::make_unique<RegistryKey>();
            fresh->name = name;
            child = fresh.get();
            key->subkeys[FoldCase(name)] = std::move(fresh);
        }
        key = child;
    }
    if (created) *created = madeLast;
    return key;
}

bool RegistryStore::Remove(const KeyAddress& address) {
    if (address.components.empty()) return false;
    KeyAddress parentAddress{address.root,
                             {address.components.begin(), address.components.end() - 1}};
    RegistryKey* parent = Find(parentAddress);
    return parent && parent->subkeys.erase(FoldCase(address.components.back())) > 0;
}

std::string RegistryStore::Export(RegistryRoot root) const {
    std::string out = std::string(kRegFileHeader) + "\r\n\r\n";
    ExportKey(Root(root), std::string(RootName(root)), out, true);
    return out;
}

int RegistryStore::Import(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int unreadable = 0;
    RegistryKey* current = nullptr;
    bool sawHeader = false;
    for (const std::string& line : LogicalLines(text)) {
        if (line.empty() || line[0] == ';') continue;
        if (!sawHeader) {
            sawHeader = true;
            if (line == kRegFileHeader) continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            std::string_view path = std::string_view(line).substr(1, line.size() - 2);
            bool removal = path.starts_with("-");
            auto address = ParseKeyPath(removal ? path.substr(1) : path);
            current = nullptr;
            if (!address)
                ++unreadable;
            else if (removal)
                Remove(*address);
            else
                current = Create(*address);
            continue;
        }
        if (line[0] != '@' && line[0] != '"') {
            ++unreadable;
            continue;
        }
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) {
                ++unreadable;
                continue;
            }
            name = std::move(*quoted);
        }
        if (!current || pos >= line.size() || line[pos] != '=') {
            ++unreadable;
            continue;
        }
        std::string data = Trim(std::string_view(line).substr(pos + 1));
        if (data == "-") {
            current->values.erase(FoldCase(name));
            continue;
        }
        auto value = ReadData(data);
        if (!value) {
            ++unreadable;
            continue;
        }
        current->values[FoldCase(name)] = {name, std::move(*value)};
    }
    return unreadable;
}

}  // namespace swk::sim
