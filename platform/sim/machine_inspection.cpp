// Inspection and preparation of the machine, for tests and the swkmachine tool:
// files, folders, registry keys and values, the journal, and Describe().
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/sim/machine_state.h"
#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

constexpr std::int64_t kUnixEpochTicks = 116444736000000000;  // 1970-01-01 in FILETIME ticks

std::string FormatFileTime(std::uint64_t ticks) {
    std::int64_t units = static_cast<std::int64_t>(ticks) - kUnixEpochTicks;
    std::int64_t seconds = units >= 0 ? units / 10000000 : -((-units + 9999999) / 10000000);
    auto fraction = static_cast<long>(units - seconds * 10000000);
    std::time_t t = seconds;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%07ld", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, fraction);
    return text;
}

}  // namespace

// ---- Inspection and preparation ---------------------------------------------------

fs::path SimulatedMachine::HostPath(std::string_view windowsPath) const {
    ResolvedPath r = state_->Resolve(windowsPath, false);
    return r.error ? fs::path{} : r.host;
}

bool SimulatedMachine::Exists(std::string_view windowsPath) const {
    ResolvedPath r = state_->Resolve(windowsPath, false);
    return !r.error && r.exists;
}

std::optional<std::vector<std::uint8_t>> SimulatedMachine::ReadFileBytes(
    std::string_view windowsPath) const {
    ResolvedPath r = state_->Resolve(windowsPath, false);
    if (r.error || !r.exists || r.isDirectory) return std::nullopt;
    return ReadHostFile(r.host);
}

void SimulatedMachine::PutFile(std::string_view windowsPath, std::span<const std::uint8_t> bytes,
                               std::uint64_t lastWriteTime) {
    ResolvedPath r = state_->Resolve(windowsPath, false);
    if (r.error || r.path.IsRoot()) return;
    std::error_code ec;
    fs::create_directories(r.host.parent_path(), ec);
    {
        std::ofstream out(r.host, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    if (lastWriteTime) SetHostFileTime(r.host, lastWriteTime);
}

void SimulatedMachine::PutFolder(std::string_view windowsPath) {
    ResolvedPath r = state_->Resolve(windowsPath, false);
    std::error_code ec;
    if (!r.error) fs::create_directories(r.host, ec);
}

std::optional<FileState> SimulatedMachine::Stat(std::string_view windowsPath) const {
    ResolvedPath r = state_->Resolve(windowsPath, false);
    if (r.error || !r.exists) return std::nullopt;
    std::error_code ec;
    fs::path relative = r.host.lexically_relative(state_->folder / std::string(1, r.path.drive));
    WindowsPath stored{r.path.drive, {}, true};
    for (const auto& part : relative)
        if (part != ".") stored.components.push_back(part.string());
    FileState st;
    st.windowsPath = stored.Text();
    st.size = r.isDirectory ? 0 : fs::file_size(r.host, ec);
    st.lastWriteTime = ToFileTime(r.host);
    st.readOnly = state_->readOnly.contains(r.key);
    return st;
}

void SimulatedMachine::SetReadOnly(std::string_view windowsPath, bool readOnly) {
    std::string key = PathKey(ParseWindowsPath(windowsPath));
    if (readOnly)
        state_->readOnly.insert(key);
    else
        state_->readOnly.erase(key);
    state_->SaveAttributes();
}

std::vector<FileState> SimulatedMachine::ListFiles() const {
    std::vector<FileState> files;
    for (const auto& drive : state_->profile.drives) {
        fs::path root = state_->folder / std::string(1, drive.letter);
        std::error_code ec;
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (!it->is_regular_file()) continue;
            std::string windowsPath = std::string{drive.letter, ':'};
            for (const auto& part : it->path().lexically_relative(root))
                windowsPath += "\\" + part.string();
            if (auto st = Stat(windowsPath)) files.push_back(*st);
        }
    }
    std::ranges::sort(files, {}, [](const FileState& f) { return FoldCase(f.windowsPath); });
    return files;
}

bool SimulatedMachine::KeyExists(std::string_view keyPath) const {
    auto address = ParseKeyPath(keyPath);
    return address && state_->registry.Find(*address);
}

std::optional<RegistryValue> SimulatedMachine::ReadValue(std::string_view keyPath,
                                                         std::string_view valueName) const {
    auto address = ParseKeyPath(keyPath);
    const RegistryKey* key = address ? state_->registry.Find(*address) : nullptr;
    const RegistryValue* value = key ? key->Value(valueName) : nullptr;
    return value ? std::optional<RegistryValue>(*value) : std::nullopt;
}

void SimulatedMachine::PutValue(std::string_view keyPath, std::string_view valueName,
                                const RegistryValue& value) {
    auto address = ParseKeyPath(keyPath);
    if (!address) return;
    RegistryKey* key = state_->registry.Create(*address);
    key->values[FoldCase(valueName)] = {std::string(valueName), value};
    state_->SaveRegistry(address->root);
}

void SimulatedMachine::PutKey(std::string_view keyPath) {
    auto address = ParseKeyPath(keyPath);
    if (!address) return;
    state_->registry.Create(*address);
    state_->SaveRegistry(address->root);
}

std::string SimulatedMachine::ExportRegistry() const {
    std::string text;
    for (RegistryRoot root : kAllRoots) text += state_->registry.Export(root);
    return text;
}

std::vector<std::string> SimulatedMachine::Journal() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadHostText(state_->folder / kJournalFile));
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

void SimulatedMachine::SetSemaphore(bool present) {
    state_->profile.productSemaphore = present;
}
std::int32_t SimulatedMachine::SemaphoreCount() const {
    return state_->semaphoreCount;
}

std::size_t SimulatedMachine::LiveSystemStrings() const {
    return state_->systemStrings.size();
}
int SimulatedMachine::LiveComObjects() const {
    return *state_->liveComObjects;
}

std::string SimulatedMachine::Describe() const {
    std::ostringstream out;
    out << "== machine " << state_->folder.string() << "\n== profile.ini\n"
        << ProfileToIni(state_->profile);
    out << "== files\n";
    for (const auto& f : ListFiles())
        out << f.windowsPath << "  " << f.size << " bytes  " << FormatFileTime(f.lastWriteTime)
            << (f.readOnly ? "  read-only" : "") << "\n";
    out << "== folders\n";
    for (const auto& drive : state_->profile.drives) {
        fs::path root = state_->folder / std::string(1, drive.letter);
        std::error_code ec;
        std::vector<std::string> folders;
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (!it->is_directory()) continue;
            std::string windowsPath{drive.letter, ':'};
            for (const auto& part : it->path().lexically_relative(root))
                windowsPath += "\\" + part.string();
            folders.push_back(windowsPath);
        }
        std::ranges::sort(folders);
        for (const auto& f : folders) out << f << "\n";
    }
    out << "== registry\n" << ExportRegistry();
    out << "== journal\n";
    for (const auto& line : Journal()) out << line << "\n";
    return out.str();
}

}  // namespace swk::sim
