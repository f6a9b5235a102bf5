// The inside of a SimulatedMachine, shared by the files that implement its
// operations (machine.cpp, machine_files.cpp, machine_registry.cpp,
// machine_shell.cpp). Not part of the public API.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/registry_store.h"
#include "platform/sim/simulated_machine.h"
#include "platform/sim/windows_path.h"

namespace swk::sim {

namespace fs = std::filesystem;

inline constexpr std::string_view kProfileFile = "profile.ini";
inline constexpr std::string_view kAttributesFile = "attributes.txt";
inline constexpr std::string_view kJournalFile = "journal.txt";
inline constexpr std::string_view kRegistryFolder = "registry";
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorBadNetPath = 53;
inline constexpr DWORD kErrorFilenameTooLong = 206;           // ERROR_FILENAME_EXCED_RANGE
inline constexpr std::size_t kMaxFolderPath = MAX_PATH - 12;  // room for an 8.3 name below it
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorKeyDeleted = 1018;
inline constexpr DWORD kErrorResourceTypeNotFound = 1813;
inline constexpr DWORD kErrorResourceNameNotFound = 1814;
inline constexpr DWORD kErrorNoSuchPrivilege = 1313;
inline constexpr LUID kShutdownPrivilege = {19, 0};

// A Windows path looked up on the host: which of its parts exist.
struct ResolvedPath {
    DWORD error = 0;  // 123 invalid name, 3 no such drive or too long, 21 not ready, 53 network
    WindowsPath path;
    fs::path host;    // existing components in their stored case, the rest as given
    std::string key;  // the path without case: identity for locks and attributes
    bool exists = false;
    bool isDirectory = false;
    bool parentExists = false;  // the folder that would hold it exists
    DWORD MissingError() const {
        return parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
};

struct OpenFile {
    std::string key;
    fs::path host;
    char drive = 'C';
    int fd = -1;
    DWORD access = 0, share = 0;
};

// Allocates bytes without zero-filling them: for buffers that a read fills
// before anything looks at them.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};
using ReadBuffer = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

struct LzFile {
    std::string key;
    ReadBuffer bytes;  // the whole file as read at open
    std::uint64_t position = 0;
};

enum class HandleKind { File, Semaphore, Token };
struct KernelObject {
    HandleKind kind = HandleKind::File;
    OpenFile file;
};

struct LoadedModule {
    std::string path, fileName, key;
    std::vector<std::string> exports;
    int references = 0;
};
struct EntryPoint {
    HMODULE module{};
    std::string name;
};

struct SimulatedMachine::State {
    fs::path folder;
    MachineProfile profile;
    Faults faults;
    DWORD lastError = 0;

    std::string ownModulePath;
    std::vector<std::shared_ptr<std::vector<std::uint8_t>>> keptResources;  // live for the process
    std::map<int, std::shared_ptr<std::vector<std::uint8_t>>> rcdata;
    std::map<std::string, std::string> versionStrings = {{"FileVersion", "4, 5, 0, 0"},
                                                         {"SpecialBuild", "0"}};

    RegistryStore registry;
    std::map<std::uintptr_t, KeyAddress> keys;
    std::uintptr_t nextKey = 0x1000;

    std::set<std::string> readOnly;         // keys of read-only files
    std::set<std::string> startedPrograms;  // keys of programs ShellExecuteW started
    std::map<std::uintptr_t, KernelObject> handles;
    std::uintptr_t nextHandle = 0x100;
    std::map<INT, LzFile> lzFiles;
    INT nextLz = 0;
    ReadBuffer lzSpareBytes;  // a closed LZ file's buffer, kept for the next open
    std::map<char, std::uint64_t> bytesWritten;  // per drive, for fillsAfterBytes
    std::int32_t semaphoreCount = 0;
    bool shutdownPrivilegeEnabled = false;

    int comInitCount = 0;
    std::shared_ptr<int> liveComObjects = std::make_shared<int>(0);
    std::map<std::uintptr_t, LoadedModule> modules;
    std::uintptr_t nextModule = 0x10000000;
    std::map<std::uintptr_t, EntryPoint> entryPoints;
    std::set<const void*> systemStrings;

    // ---- helpers shared by the operation files ----
    // Calls refuse paths as Windows does without long-path support (MAX_PATH
    // UTF-16 units, network paths); the inspection helpers take any length.
    ResolvedPath Resolve(std::string_view windowsPath, bool forCall = true) const;
    const DriveProfile* Drive(char letter) const;
    bool IsWriteDenied(const std::string& key) const;  // profile.pathsDenyWrite
    bool IsLockedImage(const std::string& key) const;  // running program or loaded module
    DWORD SharingConflict(const std::string& key, DWORD access, DWORD share) const;  // 0 or 32
    bool HasOpenHandles(const std::string& key) const;
    bool Fail(DWORD error);                // sets the last error, returns false
    std::optional<DWORD> Injected(Op op);  // counted fault, last error set

    void SaveAttributes() const;
    void SaveRegistry(RegistryRoot root) const;
    void AppendJournal(std::string_view line) const;
    // Files written by the machine itself (shell copies, links): 0 or a Win32 error.
    DWORD WriteWholeFile(std::string_view windowsPath, std::span<const std::uint8_t> bytes);
    DWORD CreateFolderTree(const ResolvedPath& folder);
};

std::string PathKey(const WindowsPath& path);
std::uint64_t ToFileTime(const fs::path& host);  // last-write time in ticks, 0 when missing
bool SetHostFileTime(const fs::path& host, std::uint64_t ticks);
std::vector<std::uint8_t> ReadHostFile(const fs::path& host);
std::string ReadHostText(const fs::path& host);
std::string WideToUtf8(const WCHAR* text);  // zero-terminated; empty for null
std::u16string Utf8ToWide(std::string_view text);

}  // namespace swk::sim
