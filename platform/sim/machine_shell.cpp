// Text conversion and system strings, the shell (special folders, file
// operations, execution), COM with its shell link object, component modules,
// the product semaphore, the platform check, the clock, privileges and restart.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/sim/machine_state.h"
#include "platform/sim/pe_image.h"
#include "platform/sim/shell_link_file.h"
#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

constexpr DWORD kMbErrInvalidChars = 0x8;
constexpr DWORD kWcErrInvalidChars = 0x80;
constexpr DWORD kErrorInvalidFlags = 1004;
constexpr DWORD kErrorNoUnicodeTranslation = 1113;
constexpr HRESULT kPointerError = static_cast<HRESULT>(0x80004003u);     // E_POINTER
constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFFu);       // E_UNEXPECTED
constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);    // CLASS_E_NOAGGREGATION
constexpr std::size_t kMaxShellListUnits = 1 << 20;
constexpr std::uintptr_t kStartedResult = 42;  // any value above 32 means "started"
constexpr UINT kMaxSystemStringLength = 1u << 28;

HRESULT AsHResult(DWORD error) {
    return (error & 0x80000000u) ? static_cast<HRESULT>(error) : HRESULT_FROM_WIN32(error);
}

std::size_t WideLength(const WCHAR* text) {
    std::size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// A shell path list: paths each ending in a zero unit, the list in a second one.
std::optional<std::vector<std::string>> ReadPathList(const WCHAR* list) {
    std::vector<std::string> paths;
    if (!list) return std::nullopt;
    std::size_t start = 0;
    for (std::size_t i = 0; i < kMaxShellListUnits; ++i) {
        if (list[i] != 0) continue;
        if (i == start) return paths;
        paths.push_back(EncodeUtf8(std::u16string_view(list + start, i - start)));
        start = i + 1;
    }
    return std::nullopt;
}

std::string LastComponent(const WindowsPath& path) {
    return path.components.empty() ? std::string() : path.components.back();
}

// The machine's shell link object: IShellLinkA and IPersistFile on one object.
class SimShellLink final : public IShellLinkA, public IPersistFile {
public:
    SimShellLink(SimulatedMachine::State* state, std::shared_ptr<int> live)
        : state_(state), live_(std::move(live)) {
        ++*live_;
    }
    HRESULT SetArguments(const char* arguments) override {
        return Store(link_.arguments, arguments);
    }
    HRESULT SetPath(const char* path) override { return Store(link_.target, path); }
    HRESULT SetDescription(const char* description) override {
        return Store(link_.description, description);
    }
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (!object) return kPointerError;
        *object = nullptr;
        if (iid == IID_IPersistFile)
            *object = static_cast<IPersistFile*>(this);
        else if (iid == IID_IShellLinkA)
            *object = static_cast<IShellLinkA*>(this);
        else
            return E_NOINTERFACE;
        ++references_;
        return S_OK;
    }
    HRESULT Save(const WCHAR* fileName, BOOL) override {
        if (*live_ < 0) return kUnexpected;  // the machine is gone
        if (auto error = state_->faults.Check(Op::ShellLinkSave)) return AsHResult(*error);
        if (!fileName) return kInvalidArgument;
        std::vector<std::uint8_t> bytes = EncodeShellLink(link_);
        if (bytes.empty()) return kInvalidArgument;
        DWORD error = state_->WriteWholeFile(WideToUtf8(fileName), bytes);
        return error ? HRESULT_FROM_WIN32(error) : S_OK;
    }
    DWORD Release() override {
        DWORD left = static_cast<DWORD>(--references_);
        if (left == 0) {
            if (*live_ > 0) --*live_;
            delete this;
        }
        return left;
    }

private:
    HRESULT Store(std::string& field, const char* text) {
        if (!text) return kInvalidArgument;
        field = text;
        return S_OK;
    }
    SimulatedMachine::State* state_;
    std::shared_ptr<int> live_;
    int references_ = 1;
    ShellLinkData link_;
};

}  // namespace

// ---- Text conversion and system strings ----------------------------------------------------

int SimulatedMachine::MultiByteToWideChar(UINT codePage, DWORD flags, const char* text,
                                          int textLength, WCHAR* wide, int wideLength) {
    State& s = *state_;
    if (codePage != CP_UTF8 || !text || textLength == 0 || textLength < -1 || wideLength < 0 ||
        (!wide && wideLength != 0))
        return s.Fail(ERROR_INVALID_PARAMETER), 0;
    if (flags & ~kMbErrInvalidChars) return s.Fail(kErrorInvalidFlags), 0;
    std::string_view input(
        text, textLength == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(textLength));
    std::u16string out = DecodeUtf8(input);
    if ((flags & kMbErrInvalidChars) && EncodeUtf8(out) != input)
        return s.Fail(kErrorNoUnicodeTranslation), 0;
    if (wideLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(wideLength))
        return s.Fail(kErrorInsufficientBuffer), 0;
    std::copy(out.begin(), out.end(), wide);
    return static_cast<int>(out.size());
}

int SimulatedMachine::WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide,
                                          int wideLength, char* text, int textLength,
                                          const char* defaultChar, BOOL* usedDefault) {
    State& s = *state_;
    // UTF-8 has no default character: both slots must be empty.
    if (codePage != CP_UTF8 || !wide || wideLength == 0 || wideLength < -1 || textLength < 0 ||
        (!text && textLength != 0) || defaultChar || usedDefault)
        return s.Fail(ERROR_INVALID_PARAMETER), 0;
    if (flags & ~kWcErrInvalidChars) return s.Fail(kErrorInvalidFlags), 0;
    std::u16string_view input(
        wide, wideLength == -1 ? WideLength(wide) + 1 : static_cast<std::size_t>(wideLength));
    std::string out = EncodeUtf8(input);
    if ((flags & kWcErrInvalidChars) && DecodeUtf8(out) != input)
        return s.Fail(kErrorNoUnicodeTranslation), 0;
    if (textLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(textLength))
        return s.Fail(kErrorInsufficientBuffer), 0;
    std::memcpy(text, out.data(), out.size());
    return static_cast<int>(out.size());
}

BSTR SimulatedMachine::SysAllocString(const WCHAR* text) {
    return text ? SysAllocStringLen(text, static_cast<UINT>(WideLength(text))) : nullptr;
}

// A system string: a 4-byte byte count, the UTF-16 units, a zero unit; the
// caller holds a pointer to the first unit.
BSTR SimulatedMachine::SysAllocStringLen(const WCHAR* text, UINT length) {
    if (length > kMaxSystemStringLength) return nullptr;
    std::size_t words = (4 + (std::size_t{length} + 1) * 2 + 3) / 4;
    auto* block = new std::uint32_t[words]();
    block[0] = length * 2;
    auto* units = reinterpret_cast<WCHAR*>(block + 1);
    if (text) std::copy(text, text + length, units);
    units[length] = 0;
    state_->systemStrings.insert(block);
    return units;
}

void SimulatedMachine::SysFreeString(BSTR text) {
    if (!text) return;
    auto* block = reinterpret_cast<std::uint32_t*>(text) - 1;
    if (state_->systemStrings.erase(block)) delete[] block;
}

// ---- Shell
// ----------------------------------------------------------------------------------------

BOOL SimulatedMachine::SHGetSpecialFolderPathW(HWND, WCHAR* path, int csidl, BOOL create) {
    State& s = *state_;
    if (path) path[0] = 0;
    if (s.Injected(Op::SHGetSpecialFolderPathW)) return FALSE;
    if (!path) return s.Fail(ERROR_INVALID_PARAMETER);
    for (const auto& entry : s.profile.specialFoldersUnresolvable)
        if (ParseInteger(entry) == csidl) return s.Fail(ERROR_FILE_NOT_FOUND);
    std::string folder = SpecialFolderPath(s.profile, csidl);
    if (folder.empty()) return s.Fail(ERROR_INVALID_PARAMETER);
    ResolvedPath r = s.Resolve(folder);
    if (r.error) return s.Fail(r.error);
    if (!r.exists) {
        if (!create) return s.Fail(ERROR_FILE_NOT_FOUND);
        if (DWORD error = s.CreateFolderTree(r)) return s.Fail(error);
    }
    std::u16string wide = Utf8ToWide(folder);
    if (wide.size() >= MAX_PATH) return s.Fail(ERROR_BAD_PATHNAME);
    std::copy(wide.begin(), wide.end(), path);
    path[wide.size()] = 0;
    return TRUE;
}

namespace {

// Checks that nothing at or below a resolved path keeps it from being removed.
DWORD RemovalBlocker(const SimulatedMachine::State& s, const ResolvedPath& r) {
    if (s.IsWriteDenied(r.key)) return ERROR_ACCESS_DENIED;
    auto blocked = [&](const std::string& key) -> DWORD {
        if (s.IsLockedImage(key)) return ERROR_ACCESS_DENIED;
        if (s.HasOpenHandles(key) &&
            s.SharingConflict(key, 0x00010000, FILE_SHARE_READ | FILE_SHARE_WRITE))
            return ERROR_SHARING_VIOLATION;
        return 0;
    };
    if (!r.isDirectory) return blocked(r.key);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(r.host, ec), end; !ec && it != end; it.increment(ec)) {
        std::string key = r.key;
        for (const auto& part : fs::relative(it->path(), r.host))
            key += "\\" + FoldCase(part.string());
        if (DWORD error = blocked(key)) return error;
    }
    return 0;
}

// Moves the read-only marks of `from` (and all below it) to `to`, or drops them.
void CarryAttributes(SimulatedMachine::State& s, const std::string& from, const std::string* to,
                     bool keepSource) {
    std::vector<std::pair<std::string, std::string>> moved;
    for (const auto& key : s.readOnly)
        if (key == from || key.starts_with(from + "\\"))
            moved.emplace_back(key, to ? *to + key.substr(from.size()) : std::string());
    for (const auto& [oldKey, newKey] : moved) {
        if (!keepSource) s.readOnly.erase(oldKey);
        if (to) s.readOnly.insert(newKey);
    }
    if (!moved.empty()) s.SaveAttributes();
}

std::uint64_t TreeSize(const fs::path& host) {
    std::error_code ec;
    if (!fs::is_directory(host, ec)) return fs::file_size(host, ec);
    std::uint64_t total = 0;
    for (fs::recursive_directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) total += it->file_size(ec);
    return total;
}

DWORD CopyTree(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::is_directory(from, ec)) {
        fs::create_directories(to, ec);
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
            if (DWORD error = CopyTree(it->path(), to / it->path().filename())) return error;
        return 0;
    }
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return ERROR_ACCESS_DENIED;
    SetHostFileTime(to, ToFileTime(from));  // a copy keeps its last-write time
    return 0;
}

}  // namespace

int SimulatedMachine::SHFileOperationW(SHFILEOPSTRUCTW* operation) {
    State& s = *state_;
    if (!operation) return static_cast<int>(ERROR_INVALID_PARAMETER);
    operation->fAnyOperationsAborted = FALSE;
    if (auto error = s.Injected(Op::SHFileOperationW)) return static_cast<int>(*error);
    auto sources = ReadPathList(operation->pFrom);
    if (!sources || sources->empty()) return static_cast<int>(ERROR_INVALID_PARAMETER);

    // Deletion is final: the machine has no recycle bin, whatever the flags say.
    auto remove = [&](const std::string& source) -> DWORD {
        ResolvedPath r = s.Resolve(source);
        if (r.error) return r.error;
        if (!r.exists) return r.MissingError();
        if (r.path.IsRoot()) return ERROR_ACCESS_DENIED;
        if (DWORD blocker = RemovalBlocker(s, r)) return blocker;
        std::error_code ec;
        fs::remove_all(r.host, ec);
        CarryAttributes(s, r.key, nullptr, false);
        return ec ? ERROR_ACCESS_DENIED : 0;
    };
    auto transfer = [&](const std::string& source, const std::string& target, bool move) -> DWORD {
        ResolvedPath from = s.Resolve(source), to = s.Resolve(target);
        if (from.error) return from.error;
        if (!from.exists) return from.MissingError();
        if (to.error) return to.error;
        if (from.key == to.key) return 0;
        if (from.path.IsRoot() || to.path.IsRoot() || to.key.starts_with(from.key + "\\"))
            return ERROR_ACCESS_DENIED;
        if (move)
            if (DWORD blocker = RemovalBlocker(s, from)) return blocker;
        if (s.IsWriteDenied(to.key)) return ERROR_ACCESS_DENIED;
        if (to.exists) {
            if (to.isDirectory != from.isDirectory) return ERROR_ACCESS_DENIED;
            if (DWORD blocker = RemovalBlocker(s, to)) return blocker;
        }
        const DriveProfile* drive = s.Drive(to.path.drive);
        std::uint64_t size = move && from.path.drive == to.path.drive ? 0 : TreeSize(from.host);
        std::uint64_t& used = s.bytesWritten[to.path.drive];
        if (drive->fillsAfterBytes && used + size > *drive->fillsAfterBytes) return ERROR_DISK_FULL;
        std::error_code ec;
        fs::create_directories(to.host.parent_path(),
                               ec);  // target folders are made without asking
        if (to.exists && !to.isDirectory) fs::remove(to.host, ec);
        CarryAttributes(s, to.key, nullptr, false);
        used += size;
        if (!move) {
            if (DWORD error = CopyTree(from.host, to.host)) return error;
            CarryAttributes(s, from.key, &to.key, true);
            return 0;
        }
        fs::rename(from.host, to.host, ec);
        if (ec) {
            if (DWORD error = CopyTree(from.host, to.host)) return error;
            fs::remove_all(from.host, ec);
        }
        CarryAttributes(s, from.key, &to.key, false);
        return 0;
    };

    DWORD result = 0;
    if (operation->wFunc == FO_DELETE) {
        for (const auto& source : *sources)
            if ((result = remove(source)) != 0) break;
    } else if (operation->wFunc == FO_MOVE || operation->wFunc == FO_COPY ||
               operation->wFunc == FO_RENAME) {
        auto targets = ReadPathList(operation->pTo);
        bool perFile = (operation->fFlags & FOF_MULTIDESTFILES) || operation->wFunc == FO_RENAME;
        if (!targets || targets->empty() || (perFile && targets->size() < sources->size()))
            return static_cast<int>(ERROR_INVALID_PARAMETER);
        // One target: a folder receives the sources by name, a single source may be renamed.
        ResolvedPath single = s.Resolve(targets->front());
        bool intoFolder =
            !perFile && (sources->size() > 1 || (single.exists && single.isDirectory));
        for (std::size_t i = 0; i < sources->size() && result == 0; ++i) {
            std::string target = perFile ? (*targets)[i] : targets->front();
            if (intoFolder) target += "\\" + LastComponent(ParseWindowsPath((*sources)[i]));
            result = transfer((*sources)[i], target, operation->wFunc != FO_COPY);
        }
    } else {
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    if (result) operation->fAnyOperationsAborted = TRUE;
    return static_cast<int>(result);
}

HINSTANCE SimulatedMachine::ShellExecuteW(HWND, const WCHAR*, const WCHAR* file,
                                          const WCHAR* parameters, const WCHAR*, int) {
    State& s = *state_;
    if (auto error = s.Injected(Op::ShellExecuteW))
        return HINSTANCE{*error <= 32 ? *error : SE_ERR_ACCESSDENIED};
    std::string text = WideToUtf8(file);
    std::string folded = FoldCase(text);
    if (folded.starts_with("HTTP://") || folded.starts_with("HTTPS://")) {
        s.AppendJournal("open " + text);
        return HINSTANCE{kStartedResult};
    }
    ResolvedPath r = s.Resolve(text);
    if (text.empty() || r.error || !r.exists) {
        DWORD error = text.empty() ? ERROR_FILE_NOT_FOUND : r.error ? r.error : r.MissingError();
        s.Fail(error);
        return HINSTANCE{error == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF};
    }
    if (r.isDirectory) {
        s.AppendJournal("open " + text);
        return HINSTANCE{kStartedResult};
    }
    std::string arguments = WideToUtf8(parameters);
    s.AppendJournal("start " + text + (arguments.empty() ? "" : " " + arguments));
    // A started program stays running for the rest of this process; its file is in use.
    if (FoldCase(text).ends_with(".EXE")) s.startedPrograms.insert(r.key);
    return HINSTANCE{kStartedResult};
}

// ---- COM, shell links and component self-registration --------------------------------------

HRESULT SimulatedMachine::CoInitialize(void*) {
    return ++state_->comInitCount == 1 ? S_OK : S_FALSE;
}

void SimulatedMachine::CoUninitialize() {
    if (state_->comInitCount > 0) --state_->comInitCount;
}

HRESULT SimulatedMachine::CoCreateInstance(const GUID& classId, void* outer, DWORD,
                                           const GUID& interfaceId, void** object) {
    State& s = *state_;
    if (object) *object = nullptr;
    if (auto error = s.faults.Check(Op::CoCreateInstance)) return AsHResult(*error);
    if (!object) return kPointerError;
    if (s.comInitCount <= 0) return CO_E_NOTINITIALIZED;
    if (!(classId == CLSID_ShellLink)) return REGDB_E_CLASSNOTREG;
    if (outer) return kNoAggregation;
    if (!(interfaceId == IID_IShellLinkA) && !(interfaceId == IID_IPersistFile))
        return E_NOINTERFACE;
    auto* link = new SimShellLink(&s, s.liveComObjects);
    if (interfaceId == IID_IShellLinkA)
        *object = static_cast<IShellLinkA*>(link);
    else
        *object = static_cast<IPersistFile*>(link);
    return S_OK;
}

HMODULE SimulatedMachine::LoadLibraryA(const char* path) {
    State& s = *state_;
    if (s.Injected(Op::LoadLibraryA)) return NO_MODULE;
    if (!path) return s.Fail(ERROR_INVALID_PARAMETER), NO_MODULE;
    ResolvedPath r = s.Resolve(path);
    if (r.error == ERROR_INVALID_NAME) return s.Fail(ERROR_INVALID_NAME), NO_MODULE;
    if (r.error || !r.exists || r.isDirectory) return s.Fail(ERROR_MOD_NOT_FOUND), NO_MODULE;
    for (auto& [value, module] : s.modules) {
        if (module.key == r.key) {
            ++module.references;
            return HMODULE{value};
        }
    }
    auto exports = PeExportNames(ReadHostFile(r.host));
    if (!exports) return s.Fail(ERROR_BAD_EXE_FORMAT), NO_MODULE;
    std::uintptr_t value = s.nextModule;
    s.nextModule += 0x10000;
    s.modules[value] = LoadedModule{path, LastComponent(r.path), r.key, std::move(*exports), 1};
    return HMODULE{value};
}

FARPROC SimulatedMachine::GetProcAddress(HMODULE module, const char* name) {
    State& s = *state_;
    if (s.Injected(Op::GetProcAddress)) return NO_PROC;
    auto it = s.modules.find(static_cast<std::uintptr_t>(module));
    if (it == s.modules.end()) return s.Fail(ERROR_INVALID_HANDLE), NO_PROC;
    if (!name || IS_INTRESOURCE(name)) return s.Fail(ERROR_PROC_NOT_FOUND), NO_PROC;
    const auto& exports = it->second.exports;
    auto found =
        std::find(exports.begin(), exports.end(), std::string_view(name));  // names keep their case
    if (found == exports.end()) return s.Fail(ERROR_PROC_NOT_FOUND), NO_PROC;
    std::uintptr_t entry =
        it->first + 0x1000 + static_cast<std::uintptr_t>(found - exports.begin()) * 0x10;
    s.entryPoints[entry] = EntryPoint{module, *found};
    return FARPROC{entry};
}

HRESULT SimulatedMachine::CallDllRegisterServer(FARPROC entryPoint) {
    State& s = *state_;
    auto entry = s.entryPoints.find(static_cast<std::uintptr_t>(entryPoint));
    if (entry == s.entryPoints.end()) return E_FAIL;
    auto module = s.modules.find(static_cast<std::uintptr_t>(entry->second.module));
    if (module == s.modules.end()) return E_FAIL;  // its module was freed
    const LoadedModule& m = module->second;
    if (entry->second.name == "DllUnregisterServer") {
        s.AppendJournal("unregister " + m.path);
        return S_OK;
    }
    s.AppendJournal((entry->second.name == "DllRegisterServer"
                         ? "register "
                         : "call " + entry->second.name + " ") +
                    m.path);
    for (const auto& [fileName, result] : s.profile.registerServerResults)
        if (EqualNoCase(fileName, m.fileName)) return result;
    return S_OK;
}

void SimulatedMachine::CoFreeLibrary(HMODULE module) {
    State& s = *state_;
    auto it = s.modules.find(static_cast<std::uintptr_t>(module));
    if (it == s.modules.end() || --it->second.references > 0) return;
    std::erase_if(s.entryPoints, [&](const auto& e) { return e.second.module == module; });
    s.modules.erase(it);
}

// ---- The product's running-instance semaphore -------------------------------------------------

HANDLE SimulatedMachine::OpenSemaphoreA(DWORD, BOOL, const char* name) {
    State& s = *state_;
    if (!name) return s.Fail(ERROR_INVALID_PARAMETER), NO_HANDLE;
    // Object names keep their case.
    if (!s.profile.productSemaphore || name != kProductSemaphoreName)
        return s.Fail(ERROR_FILE_NOT_FOUND), NO_HANDLE;
    std::uintptr_t value = s.nextHandle;
    s.nextHandle += 4;
    s.handles[value] = KernelObject{HandleKind::Semaphore, {}};
    return HANDLE{value};
}

BOOL SimulatedMachine::ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) {
    State& s = *state_;
    auto it = s.handles.find(static_cast<std::uintptr_t>(semaphore));
    if (it == s.handles.end() || it->second.kind != HandleKind::Semaphore)
        return s.Fail(ERROR_INVALID_HANDLE);
    if (releaseCount <= 0) return s.Fail(ERROR_INVALID_PARAMETER);
    if (previousCount) *previousCount = s.semaphoreCount;
    s.semaphoreCount += releaseCount;
    return TRUE;
}

// ---- Platform, time, privileges and restart -----------------------------------------------------

BOOL SimulatedMachine::GetVersionExA(OSVERSIONINFOA* info) {
    State& s = *state_;
    constexpr DWORD kExtendedSize = 156;  // OSVERSIONINFOEXA
    if (!info) return s.Fail(ERROR_INVALID_PARAMETER);
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
        info->dwOSVersionInfoSize != kExtendedSize)
        return s.Fail(kErrorInsufficientBuffer);
    info->dwMajorVersion = s.profile.majorVersion;
    info->dwMinorVersion = s.profile.minorVersion;
    info->dwBuildNumber = s.profile.buildNumber;
    info->dwPlatformId = s.profile.platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

void SimulatedMachine::GetLocalTime(SYSTEMTIME* time) {
    if (!time) return;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
    const std::string& fixed = state_->profile.localTime;
    int read = fixed.empty() ? 0
                             : std::sscanf(fixed.c_str(), "%d-%d-%d %d:%d:%d.%d", &year, &month,
                                           &day, &hour, &minute, &second, &millis);
    if (read < 6) {
        auto now = std::chrono::system_clock::now();
        std::time_t t = std::chrono::system_clock::to_time_t(now);
        std::tm tm{};
        localtime_r(&t, &tm);
        year = tm.tm_year + 1900, month = tm.tm_mon + 1, day = tm.tm_mday;
        hour = tm.tm_hour, minute = tm.tm_min, second = tm.tm_sec;
        millis = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000);
    }
    std::chrono::year_month_day date{std::chrono::year{year},
                                     std::chrono::month{static_cast<unsigned>(month)},
                                     std::chrono::day{static_cast<unsigned>(day)}};
    *time = SYSTEMTIME{
        static_cast<WORD>(year),
        static_cast<WORD>(month),
        static_cast<WORD>(std::chrono::weekday{std::chrono::sys_days{date}}.c_encoding()),
        static_cast<WORD>(day),
        static_cast<WORD>(hour),
        static_cast<WORD>(minute),
        static_cast<WORD>(second),
        static_cast<WORD>(millis)};
}

HANDLE SimulatedMachine::GetCurrentProcess() {
    return HANDLE{~std::uintptr_t{0}};
}  // the pseudo-handle

BOOL SimulatedMachine::OpenProcessToken(HANDLE process, DWORD, HANDLE* token) {
    State& s = *state_;
    if (s.Injected(Op::OpenProcessToken)) return FALSE;
    if (!token) return s.Fail(ERROR_INVALID_PARAMETER);
    if (process != GetCurrentProcess()) return s.Fail(ERROR_INVALID_HANDLE);
    std::uintptr_t value = s.nextHandle;
    s.nextHandle += 4;
    s.handles[value] = KernelObject{HandleKind::Token, {}};
    *token = HANDLE{value};
    return TRUE;
}

BOOL SimulatedMachine::LookupPrivilegeValueA(const char*, const char* name, LUID* luid) {
    State& s = *state_;
    if (!name || !luid) return s.Fail(ERROR_INVALID_PARAMETER);
    if (!EqualNoCase(name, SE_SHUTDOWN_NAME)) return s.Fail(kErrorNoSuchPrivilege);
    *luid = kShutdownPrivilege;
    return TRUE;
}

BOOL SimulatedMachine::AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                             TOKEN_PRIVILEGES* newState, DWORD, TOKEN_PRIVILEGES*,
                                             DWORD* returnLength) {
    State& s = *state_;
    if (s.Injected(Op::AdjustTokenPrivileges)) return FALSE;
    auto it = s.handles.find(static_cast<std::uintptr_t>(token));
    if (it == s.handles.end() || it->second.kind != HandleKind::Token)
        return s.Fail(ERROR_INVALID_HANDLE);
    if (returnLength) *returnLength = 0;
    if (disableAll) {
        s.shutdownPrivilegeEnabled = false;
        s.lastError = 0;
        return TRUE;
    }
    if (!newState) return s.Fail(ERROR_INVALID_PARAMETER);
    // The record has room for one privilege; a larger count is not read past it.
    bool assigned = true;
    if (newState->PrivilegeCount >= 1) {
        const LUID_AND_ATTRIBUTES& p = newState->Privileges[0];
        bool isShutdown = p.Luid.LowPart == kShutdownPrivilege.LowPart &&
                          p.Luid.HighPart == kShutdownPrivilege.HighPart;
        assigned = isShutdown && s.profile.hasShutdownPrivilege;
        if (assigned) s.shutdownPrivilegeEnabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    // Success either way; the last error tells whether every privilege was assigned.
    s.lastError = assigned ? 0 : ERROR_NOT_ALL_ASSIGNED;
    return TRUE;
}

BOOL SimulatedMachine::ExitWindowsEx(UINT flags, DWORD) {
    State& s = *state_;
    if (s.Injected(Op::ExitWindowsEx)) return FALSE;
    if (!s.shutdownPrivilegeEnabled) return s.Fail(ERROR_PRIVILEGE_NOT_HELD);
    if (s.profile.exitWindowsFails) return s.Fail(ERROR_ACCESS_DENIED);
    s.AppendJournal((flags & EWX_REBOOT) ? "restart" : "exit " + std::to_string(flags));
    return TRUE;
}

}  // namespace swk::sim
