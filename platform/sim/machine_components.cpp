// COM with the machine's shell link object, component modules and their
// registration entry points, the product semaphore, the platform check, the
// clock, privileges and restart.
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

constexpr HRESULT kPointerError = static_cast<HRESULT>(0x80004003u);     // E_POINTER
constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFFu);       // E_UNEXPECTED
constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);    // CLASS_E_NOAGGREGATION

HRESULT AsHResult(DWORD error) {
    return (error & 0x80000000u) ? static_cast<HRESULT>(error) : HRESULT_FROM_WIN32(error);
}

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
    s.modules[value] = LoadedModule{path, r.path.components.back(), r.key, std::move(*exports), 1};
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
