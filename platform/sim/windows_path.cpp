#include "platform/sim/windows_path.h"

#include <array>

#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsReservedDeviceName(std::string_view name) {
    std::string stem = FoldCase(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    for (auto reserved : kPlain)
        if (stem == reserved) return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string WindowsPath::Text() const {
    std::string text{drive, ':', '\\'};
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) text += '\\';
        text += components[i];
    }
    return text;
}

bool IsForbiddenName(std::string_view name) {
    if (name.empty() || name.size() > kMaxComponentLength) return true;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) return true;
    }
    if (name.back() == '.' || name.back() == ' ') return true;
    return IsReservedDeviceName(name);
}

WindowsPath ParseWindowsPath(std::string_view path) {
    WindowsPath result;
    result.drive = kCurrentDrive;
    if (path.size() >= 2 && path[1] == ':') {
        char letter = path[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
        if (letter < 'A' || letter > 'Z') return result;
        result.drive = letter;
        path.remove_prefix(2);
    }
    std::size_t pos = 0;
    while (pos < path.size()) {
        while (pos < path.size() && IsSeparator(path[pos])) ++pos;
        std::size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string_view name = path.substr(pos, end - pos);
        pos = end;
        if (name.empty()) break;
        if (name == ".") continue;
        if (name == "..") {
            if (!result.components.empty()) result.components.pop_back();
            continue;
        }
        if (IsForbiddenName(name) || result.components.size() >= kMaxPathComponents) return result;
        result.components.emplace_back(name);
    }
    result.valid = true;
    return result;
}

}  // namespace swk::sim
