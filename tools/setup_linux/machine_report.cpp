#include "tools/setup_linux/machine_report.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "platform/sim/shell_link_file.h"

namespace swk::setup_linux {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kUnixEpochTicks = 116'444'736'000'000'000;

std::string Upper(std::string_view text) {
    std::string upper;
    for (const char c : text)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::string FileName(std::string_view path) {
    const auto slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           Upper(text.substr(text.size() - tail.size())) == Upper(tail);
}

// The quoted name at the start of `line` (escapes \\ and \" undone) and the
// position after its closing quote; nothing when the line has no such name.
std::optional<std::pair<std::string, std::size_t>> QuotedName(std::string_view line) {
    if (line.empty() || line[0] != '"') return std::nullopt;
    std::string name;
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            name += line[++i];
        } else if (line[i] == '"') {
            return std::make_pair(name, i + 1);
        } else {
            name += line[i];
        }
    }
    return std::nullopt;
}

}  // namespace

std::map<std::string, std::map<std::string, std::string>> ParseRegText(const std::string& text) {
    std::map<std::string, std::map<std::string, std::string>> keys;
    std::istringstream in(text);
    std::string line;
    std::string key;
    std::string pending;  // a value line continued with a trailing backslash
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!pending.empty()) {
            const auto first = line.find_first_not_of(' ');
            line = pending + (first == std::string::npos ? "" : line.substr(first));
            pending.clear();
        }
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            pending = line.substr(0, line.size() - 1);
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            keys[key];
        } else if (!key.empty() && line.rfind("@=", 0) == 0) {
            keys[key]["@"] = line.substr(2);
        } else if (!key.empty()) {
            if (const auto name = QuotedName(line);
                name && name->second < line.size() && line[name->second] == '=')
                keys[key][name->first] = line.substr(name->second + 1);
        }
    }
    return keys;
}

MachineState CaptureState(const sim::SimulatedMachine& machine) {
    MachineState state;
    for (const sim::FileState& file : machine.ListFiles())
        state.files[Upper(file.windowsPath)] = file;
    state.registry = ParseRegText(machine.ExportRegistry());
    state.journal = machine.Journal();
    return state;
}

std::string FileTimeText(std::uint64_t ticks) {
    if (ticks < kUnixEpochTicks) return "(before 1970)";
    const std::time_t seconds =
        static_cast<std::time_t>((ticks - kUnixEpochTicks) / kTicksPerSecond);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%07llu UTC", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<unsigned long long>(ticks % kTicksPerSecond));
    return text;
}

void PrintChanges(const sim::SimulatedMachine& machine, const MachineState& before,
                  const MachineState& after, std::ostream& out) {
    out << "\nWhat the setup did to the machine " << machine.Folder().string() << ":\n";

    out << "\nFiles written:\n";
    std::vector<const sim::FileState*> backups;
    std::vector<const sim::FileState*> shortcuts;
    int count = 0;
    for (const auto& [key, file] : after.files) {
        const auto old = before.files.find(key);
        if (old != before.files.end() && old->second.size == file.size &&
            old->second.lastWriteTime == file.lastWriteTime)
            continue;
        out << "  " << file.windowsPath << "  " << file.size << " bytes  "
            << FileTimeText(file.lastWriteTime) << (old == before.files.end() ? "" : "  (replaced)")
            << "\n";
        ++count;
        const std::string name = FileName(file.windowsPath);
        if (EndsWith(name, ".lnk")) shortcuts.push_back(&file);
        if (Upper(name).rfind("PAGES_", 0) == 0 && EndsWith(name, ".swk")) backups.push_back(&file);
    }
    if (count == 0) out << "  none\n";

    out << "\nFiles removed:\n";
    count = 0;
    for (const auto& [key, file] : before.files) {
        if (after.files.count(key)) continue;
        out << "  " << file.windowsPath << "\n";
        ++count;
    }
    if (count == 0) out << "  none\n";

    out << "\nRegistry values written:\n";
    count = 0;
    for (const auto& [key, values] : after.registry) {
        const auto oldKey = before.registry.find(key);
        for (const auto& [name, data] : values) {
            if (oldKey != before.registry.end()) {
                const auto oldValue = oldKey->second.find(name);
                if (oldValue != oldKey->second.end() && oldValue->second == data) continue;
            }
            out << "  [" << key << "]  " << (name == "@" ? "@" : "\"" + name + "\"") << " = "
                << data << "\n";
            ++count;
        }
    }
    if (count == 0) out << "  none\n";

    out << "\nRegistry keys removed:\n";
    count = 0;
    for (const auto& [key, values] : before.registry) {
        if (after.registry.count(key)) continue;
        out << "  [" << key << "]\n";
        ++count;
    }
    if (count == 0) out << "  none\n";

    out << "\nShortcuts:\n";
    for (const sim::FileState* file : shortcuts) {
        const auto bytes = machine.ReadFileBytes(file->windowsPath);
        const auto link = bytes ? sim::DecodeShellLink(*bytes) : std::nullopt;
        out << "  " << file->windowsPath << "\n";
        if (link)
            out << "      -> " << link->target
                << (link->arguments.empty() ? "" : " " + link->arguments) << "  (\""
                << link->description << "\")\n";
    }
    if (shortcuts.empty()) out << "  none\n";

    out << "\nPrograms started and other requests:\n";
    for (std::size_t i = before.journal.size(); i < after.journal.size(); ++i)
        out << "  " << after.journal[i] << "\n";
    if (after.journal.size() <= before.journal.size()) out << "  none\n";

    out << "\nBackup of saved pages:\n";
    for (const sim::FileState* file : backups)
        out << "  " << file->windowsPath << "  " << file->size << " bytes\n";
    if (backups.empty()) out << "  none\n";
}

}  // namespace swk::setup_linux
