// The machine as a whole: creating and opening it, and the helpers that its
// operations share.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
constexpr std::string_view kLowIntegrityValue = "{A520A1A4-1780-4FF6-BD18-167343C5AF16}";
constexpr std::string_view kShellFolders =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

std::string ReadHostText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

// Writes a file so that a reader sees either the old or the new contents, also
// when the process dies half-way: a temporary file, written in full, renamed over
// the old one. A rename of a closed file is enough for that (the kernel keeps the
// data); no fsync, since surviving a power cut is not what a simulation needs and
// an fsync per registry change made registry-heavy tests many times slower.
// A write that fails leaves the old file in place.
void WriteAtomically(const fs::path& file, std::string_view text) {
    fs::path temporary = file;
    temporary += ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool complete = ::close(fd) == 0 && done == text.size();
    std::error_code ec;
    if (complete)
        fs::rename(temporary, file, ec);
    else
        fs::remove(temporary, ec);
}

// An entry of a host folder as stored, and whether it is a folder itself.
struct StoredEntry {
    std::string name;
    bool isFolder = false;
};

std::optional<StoredEntry> FindEntry(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    // The name as given is the usual case and costs one stat; the folder's
    // entries are compared without case only when it is not there as given.
    const fs::file_status status = fs::status(folder / name, ec);
    if (fs::exists(status)) return StoredEntry{std::string(name), fs::is_directory(status)};
    std::string wanted = FoldCase(name);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (FoldCase(entry) == wanted) return StoredEntry{entry, it->is_directory(ec)};
    }
    return std::nullopt;
}

RegistryValue TextValue(std::string_view text) {
    RegistryValue v{REG_SZ, {text.begin(), text.end()}};
    v.data.push_back(0);
    return v;
}

}  // namespace

// ---- Free helpers ----------------------------------------------------------------

std::string PathKey(const WindowsPath& path) {
    return FoldCase(path.Text());
}

std::uint64_t ToFileTime(const fs::path& host) {
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return 0;
    std::int64_t ns =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    std::int64_t units = ns >= 0 ? ns / 100 : -((-ns + 99) / 100);
    return static_cast<std::uint64_t>(units + kUnixEpochTicks);
}

bool SetHostFileTime(const fs::path& host, std::uint64_t ticks) {
    std::int64_t ns = (static_cast<std::int64_t>(ticks) - kUnixEpochTicks) * 100;
    std::int64_t seconds = ns >= 0 ? ns / 1000000000 : -((-ns + 999999999) / 1000000000);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(ns - seconds * 1000000000);
    return ::utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
}

std::vector<std::uint8_t> ReadHostFile(const fs::path& host) {
    // One read into a buffer of the file's size; empty when it cannot be read.
    std::ifstream in(host, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size <= 0 || !in.seekg(0)) return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::string WideToUtf8(const WCHAR* text) {
    if (!text) return {};
    std::size_t n = 0;
    while (n < 32768 && text[n] != 0) ++n;
    return EncodeUtf8(std::u16string_view(text, n));
}

std::u16string Utf8ToWide(std::string_view text) {
    return DecodeUtf8(text);
}

// ---- Faults ----------------------------------------------------------------------

void Faults::FailCall(Op op, int nth, bool persistent, std::uint32_t error) {
    rules_.push_back(Rule{op, nth, persistent, error});
}

void Faults::Clear() {
    rules_.clear();
    calls_.clear();
    fired_ = 0;
}

int Faults::FiredCount() const {
    return fired_;
}

std::optional<std::uint32_t> Faults::Check(Op op) {
    int call = ++calls_[op];
    for (const Rule& rule : rules_) {
        if (rule.op == op && (call == rule.nth || (rule.persistent && call >= rule.nth))) {
            ++fired_;
            return rule.error;
        }
    }
    return std::nullopt;
}

std::string RegistryValue::Text() const {
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

// ---- State helpers -----------------------------------------------------------------

const DriveProfile* SimulatedMachine::State::Drive(char letter) const {
    for (const auto& d : profile.drives)
        if (d.letter == letter) return &d;
    return nullptr;
}

ResolvedPath SimulatedMachine::State::Resolve(std::string_view windowsPath, bool forCall) const {
    ResolvedPath r;
    if (forCall && (windowsPath.starts_with("\\\\") || windowsPath.starts_with("//"))) {
        r.error = kErrorBadNetPath;  // the machine has no network
        return r;
    }
    r.path = ParseWindowsPath(windowsPath);
    if (!r.path.valid) {
        r.error = ERROR_INVALID_NAME;
        return r;
    }
    if (forCall && DecodeUtf8(r.path.Text()).size() >= MAX_PATH) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
    }
    const DriveProfile* drive = Drive(r.path.drive);
    if (!drive) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
    }
    if (!drive->mediumPresent) {
        r.error = ERROR_NOT_READY;
        return r;
    }
    r.key = PathKey(r.path);
    fs::path current = folder / std::string(1, r.path.drive);
    std::error_code ec;
    fs::create_directories(current, ec);
    // Each step knows from the lookup before it whether the folder it searches
    // exists and is a folder, so every component costs one lookup.
    bool present = true;
    bool isFolder = fs::is_directory(current, ec);
    r.parentExists = true;
    for (std::size_t i = 0; i < r.path.components.size(); ++i) {
        const std::string& name = r.path.components[i];
        bool parentIsFolder = present && isFolder;
        if (i + 1 == r.path.components.size()) r.parentExists = parentIsFolder;
        auto stored = parentIsFolder ? FindEntry(current, name) : std::nullopt;
        current /= stored ? stored->name : name;
        present = stored.has_value();
        isFolder = present && stored->isFolder;
    }
    r.host = current;
    r.exists = present;
    r.isDirectory = present && isFolder;
    return r;
}

bool SimulatedMachine::State::IsWriteDenied(const std::string& key) const {
    for (const auto& denied : profile.pathsDenyWrite) {
        std::string k = PathKey(ParseWindowsPath(denied));
        if (key == k || key.starts_with(k.ends_with('\\') ? k : k + "\\")) return true;
    }
    return false;
}

bool SimulatedMachine::State::IsLockedImage(const std::string& key) const {
    if (startedPrograms.contains(key)) return true;
    for (const auto& program : profile.runningPrograms)
        if (PathKey(ParseWindowsPath(program)) == key) return true;
    return std::ranges::any_of(modules, [&](const auto& m) { return m.second.key == key; });
}

DWORD SimulatedMachine::State::SharingConflict(const std::string& key, DWORD access,
                                               DWORD share) const {
    constexpr DWORD kDeleteAccess = 0x00010000;
    auto conflicts = [&](DWORD otherAccess, DWORD otherShare) {
        return ((access & GENERIC_READ) && !(otherShare & FILE_SHARE_READ)) ||
               ((access & GENERIC_WRITE) && !(otherShare & FILE_SHARE_WRITE)) ||
               ((access & kDeleteAccess) && !(otherShare & FILE_SHARE_DELETE)) ||
               ((otherAccess & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
               ((otherAccess & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
    };
    for (const auto& [value, object] : handles)
        if (object.kind == HandleKind::File && object.file.key == key &&
            conflicts(object.file.access, object.file.share))
            return ERROR_SHARING_VIOLATION;
    for (const auto& [value, lz] : lzFiles)
        if (lz.key == key && conflicts(GENERIC_READ, FILE_SHARE_READ))
            return ERROR_SHARING_VIOLATION;
    return 0;
}

bool SimulatedMachine::State::HasOpenHandles(const std::string& key) const {
    for (const auto& [value, object] : handles)
        if (object.kind == HandleKind::File && object.file.key == key) return true;
    return std::ranges::any_of(lzFiles, [&](const auto& lz) { return lz.second.key == key; });
}

bool SimulatedMachine::State::Fail(DWORD error) {
    lastError = error;
    return false;
}

std::optional<DWORD> SimulatedMachine::State::Injected(Op op) {
    auto error = faults.Check(op);
    if (error) lastError = *error;
    return error;
}

void SimulatedMachine::State::SaveAttributes() const {
    std::string text;
    for (const auto& key : readOnly) text += "readonly " + key + "\n";
    WriteAtomically(folder / kAttributesFile, text);
}

void SimulatedMachine::State::SaveRegistry(RegistryRoot root) const {
    WriteAtomically(folder / kRegistryFolder / RootFileName(root), registry.Export(root));
}

void SimulatedMachine::State::AppendJournal(std::string_view line) const {
    std::ofstream out(folder / kJournalFile, std::ios::app | std::ios::binary);
    out << line << "\n";
}

DWORD SimulatedMachine::State::CreateFolderTree(const ResolvedPath& target) {
    if (target.error) return target.error;
    if (target.exists) return target.isDirectory ? 0 : ERROR_ALREADY_EXISTS;
    if (IsWriteDenied(target.key)) return ERROR_ACCESS_DENIED;
    std::error_code ec;
    fs::create_directories(target.host, ec);
    return ec ? ERROR_PATH_NOT_FOUND : 0;
}

DWORD SimulatedMachine::State::WriteWholeFile(std::string_view windowsPath,
                                              std::span<const std::uint8_t> bytes) {
    ResolvedPath target = Resolve(windowsPath);
    if (target.error) return target.error;
    if (target.path.IsRoot() || target.isDirectory) return ERROR_ACCESS_DENIED;
    if (!target.exists && !target.parentExists) return ERROR_PATH_NOT_FOUND;
    if (IsWriteDenied(target.key) || readOnly.contains(target.key)) return ERROR_ACCESS_DENIED;
    if (IsLockedImage(target.key) || SharingConflict(target.key, GENERIC_WRITE, 0))
        return ERROR_SHARING_VIOLATION;
    const DriveProfile* drive = Drive(target.path.drive);
    std::uint64_t& written = bytesWritten[target.path.drive];
    std::size_t allowed = bytes.size();
    if (drive->fillsAfterBytes)
        allowed = static_cast<std::size_t>(std::min<std::uint64_t>(
            allowed, *drive->fillsAfterBytes - std::min(written, *drive->fillsAfterBytes)));
    std::ofstream out(target.host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(allowed));
    written += allowed;
    if (!out) return ERROR_ACCESS_DENIED;
    return allowed < bytes.size() ? ERROR_DISK_FULL : 0;
}

// ---- Creating and opening ----------------------------------------------------------

SimulatedMachine::SimulatedMachine() : state_(std::make_unique<State>()) {}

SimulatedMachine::~SimulatedMachine() {
    for (auto& [value, object] : state_->handles)
        if (object.kind == HandleKind::File && object.file.fd >= 0) ::close(object.file.fd);
    for (const void* text : state_->systemStrings) delete[] static_cast<const std::uint32_t*>(text);
    *state_->liveComObjects = -1;  // links still held by a caller may no longer save
}

std::unique_ptr<SimulatedMachine> SimulatedMachine::Create(const fs::path& folder,
                                                           const MachineProfile& profile) {
    std::error_code ec;
    fs::create_directories(folder / kRegistryFolder, ec);
    {
        std::ofstream(folder / kProfileFile, std::ios::binary) << ProfileToIni(profile);
        std::ofstream(folder / kAttributesFile, std::ios::binary);
        std::ofstream(folder / kJournalFile, std::ios::binary);
    }
    for (RegistryRoot root : kAllRoots) {
        fs::path file = folder / kRegistryFolder / RootFileName(root);
        std::ofstream(file, std::ios::binary) << kRegFileHeader << "\r\n\r\n";
    }
    auto machine = Open(folder);
    // A freshly installed Windows 7: the shell's folders, the user's downloads,
    // and the registry keys every installation has.
    const std::string user = "C:\\Users\\" + profile.userName;
    for (int csidl : {CSIDL_PERSONAL, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP,
                      CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                      CSIDL_PROGRAM_FILES})
        machine->PutFolder(SpecialFolderPath(profile, csidl));
    // 64-bit Windows has both program files folders; the 32-bit one is the setup's.
    for (const std::string& folderPath :
         {user + "\\Downloads", user + "\\AppData\\LocalLow", std::string("C:\\Windows\\System32"),
          std::string("C:\\Program Files")})
        machine->PutFolder(folderPath);
    // The registry is filled in memory and written once per root.
    RegistryStore& registry = machine->state_->registry;
    for (std::string_view key : {"HKLM\\SOFTWARE\\Classes",
                                 "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                                 "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                 "HKU\\.DEFAULT\\Software"})
        registry.Create(*ParseKeyPath(key));
    if (profile.wow64)  // the registry's 32-bit view and its copies of the same keys
        for (std::string_view key :
             {"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
              "HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID"})
            registry.Create(*ParseKeyPath(key));
    RegistryKey* shellFolders = registry.Create(*ParseKeyPath(kShellFolders));
    auto put = [&](std::string_view name, const std::string& text) {
        shellFolders->values[FoldCase(name)] = {std::string(name), TextValue(text)};
    };
    put("Personal", SpecialFolderPath(profile, CSIDL_PERSONAL));
    put("Local AppData", SpecialFolderPath(profile, CSIDL_LOCAL_APPDATA));
    if (profile.lowIntegrityShellFolder) put(kLowIntegrityValue, user + "\\AppData\\LocalLow");
    for (RegistryRoot root : kAllRoots) machine->state_->SaveRegistry(root);
    return machine;
}

std::unique_ptr<SimulatedMachine> SimulatedMachine::Open(const fs::path& folder) {
    if (!fs::exists(folder / kProfileFile)) return Create(folder, MachineProfile{});
    std::unique_ptr<SimulatedMachine> machine(new SimulatedMachine());
    State& s = *machine->state_;
    s.folder = folder;
    s.profile = ProfileFromIni(ReadHostText(folder / kProfileFile));
    for (RegistryRoot root : kAllRoots)
        s.registry.Import(ReadHostText(folder / kRegistryFolder / RootFileName(root)));
    std::istringstream attributes(ReadHostText(folder / kAttributesFile));
    for (std::string line; std::getline(attributes, line);)
        if (line.starts_with("readonly ")) s.readOnly.insert(FoldCase(line.substr(9)));
    for (const auto& drive : s.profile.drives)
        fs::create_directories(folder / std::string(1, drive.letter));
    return machine;
}

const fs::path& SimulatedMachine::Folder() const {
    return state_->folder;
}
MachineProfile& SimulatedMachine::Profile() {
    return state_->profile;
}
Faults& SimulatedMachine::Fault() {
    return state_->faults;
}

void SimulatedMachine::SaveProfile() {
    WriteAtomically(state_->folder / kProfileFile, ProfileToIni(state_->profile));
}

void SimulatedMachine::SetOwnModule(std::string windowsPath,
                                    std::map<int, std::vector<std::uint8_t>> rcdata,
                                    std::map<std::string, std::string> versionStrings) {
    State& s = *state_;
    s.ownModulePath = std::move(windowsPath);
    s.rcdata.clear();
    for (auto& [id, bytes] : rcdata) {
        auto kept = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
        s.keptResources.push_back(kept);  // pointers handed out stay valid
        s.rcdata[id] = kept;
    }
    s.versionStrings = std::move(versionStrings);
}

}  // namespace swk::sim
