// A Windows machine simulated on Linux: one folder on the host that holds a
// folder per drive (C/, D/ ...), the registry as .reg text (one file per root),
// a profile describing the machine, and a journal of what the machine was asked
// to do (programs started, restart requests). SimulatedMachine implements
// SystemServices on top of it, so the setup's logic runs against it unchanged.
//
//   machine/
//     profile.ini        the machine description (see MachineProfile), editable
//     C/ D/ ...          drive contents; Windows names kept, compared without case
//     registry/HKLM.reg  "Windows Registry Editor Version 5.00" text, UTF-8; also
//     registry/HKCU.reg  HKU.reg and HKCC.reg (HKEY_CLASSES_ROOT is a view of
//                        HKLM\SOFTWARE\Classes), rewritten after every change
//     attributes.txt     read-only flags of files
//     journal.txt        one line per program started, restart requested, ...
//
// Tests open a fresh machine in a temporary folder, adjust its profile and its
// faults, run the logic, and then read the machine back through the inspection
// helpers below. Describe() prints the whole machine, for failure messages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_services.h"

namespace swk::sim {

// Operations that can be made to fail by count (see Faults).
enum class Op {
    RegOpenKeyA,
    RegCreateKeyExA,
    RegQueryValueExA,
    RegQueryValueExW,
    RegSetValueExA,
    RegDeleteKeyA,
    CreateFileW,
    WriteFile,
    SetFileTime,
    DeleteFileW,
    GetFileAttributesExW,
    CreateDirectoryW,
    GetDiskFreeSpaceExA,
    FindResourceA,
    LZOpenFileW,
    LZRead,
    GetFileVersionInfoSizeA,
    SHGetSpecialFolderPathW,
    SHFileOperationW,
    ShellExecuteW,
    CoCreateInstance,
    ShellLinkSave,
    LoadLibraryA,
    GetProcAddress,
    OpenProcessToken,
    AdjustTokenPrivileges,
    ExitWindowsEx,
};

struct DriveProfile {
    char letter = 'C';
    unsigned type = DRIVE_FIXED;                   // DRIVE_FIXED, DRIVE_CDROM, DRIVE_REMOVABLE, ...
    bool mediumPresent = true;                     // false: a CD-ROM drive without a disc
    std::optional<std::uint64_t> freeBytes;        // nothing: the host's real free space (statvfs)
    std::optional<std::uint64_t> fillsAfterBytes;  // writes fail with ERROR_DISK_FULL past this
};

struct MachineProfile {
    // Platform identifier GetVersionExA reports (2 NT, 1 9x, 0 Win32s).
    std::uint32_t platformId = VER_PLATFORM_WIN32_NT;
    std::uint32_t majorVersion = 6, minorVersion = 1, buildNumber = 7601;
    std::string userName = "User";
    bool isAdmin = true;
    bool hasShutdownPrivilege = true;     // false: AdjustTokenPrivileges leaves 1300
    bool exitWindowsFails = false;        // ExitWindowsEx returns 0
    bool lowIntegrityShellFolder = true;  // the "Shell Folders" {A520A1A4-...} value exists
    bool productSemaphore = false;        // the product's running-instance semaphore exists
    // "64-bit Windows running a 32-bit setup": Program Files (x86) and the
    // registry's 32-bit view. Off by default.
    bool wow64 = false;
    std::vector<DriveProfile> drives = {DriveProfile{}};
    // Local time the clock reports ("YYYY-MM-DD HH:MM:SS"); empty: the host's clock.
    std::string localTime;
    // HRESULT that the "DllRegisterServer" of a module returns, by file name
    // (case-insensitive, e.g. "swk.ocx"); S_OK for modules not listed.
    std::map<std::string, std::int32_t> registerServerResults;
    // Injected refusals (Windows paths / registry paths as text, compared without case):
    std::set<std::string> specialFoldersUnresolvable;  // CSIDL numbers as decimal text
    std::set<std::string>
        registryKeysDenyCreate;  // "HKEY_LOCAL_MACHINE\\SOFTWARE\\..." full key paths
    std::set<std::string> registryKeysDenyDelete;
    std::set<std::string> pathsDenyWrite;   // a file, or a folder and all below it
    std::set<std::string> runningPrograms;  // files locked against writing and deletion
    // Special folder paths by CSIDL number, overriding the Windows 7 defaults
    // (which follow userName and wow64).
    std::map<int, std::string> specialFolders;
};

// profile.ini holds one "key = value" per line ('#' starts a comment); list keys
// repeat, one line per element. `swkmachine create DIR key=value` takes the same keys.
//   platformId, majorVersion, minorVersion, buildNumber   numbers
//   userName                                               text
//   isAdmin, hasShutdownPrivilege, exitWindowsFails,
//   lowIntegrityShellFolder, productSemaphore, wow64       0 or 1
//   localTime                                              "YYYY-MM-DD HH:MM:SS" or empty
//   drive = C type=3 medium=1 free=123 fillsAfter=456      one line per drive (free and
//                                                          fillsAfter may be left out)
//   registerServerResult = swk.ocx 0x80004005              file name and HRESULT
//   specialFolderUnresolvable = 35                         CSIDL number
//   specialFolder = 38 D:\Apps                             CSIDL number and path
//   registryKeyDenyCreate, registryKeyDenyDelete           full key path: the key and all below it
//   pathDenyWrite, runningProgram                          Windows path
std::string ProfileToIni(const MachineProfile& profile);
MachineProfile ProfileFromIni(std::string_view text);
// Applies one "key = value" setting; false for an unknown key or a malformed value.
bool ApplyProfileSetting(MachineProfile& profile, std::string_view key, std::string_view value);
// The path of a special folder on this machine ("C:\Program Files"); empty for
// a CSIDL the machine does not know.
std::string SpecialFolderPath(const MachineProfile& profile, int csidl);

// The name of the product's running-instance semaphore, the only named
// semaphore the machine knows.
inline constexpr std::string_view kProductSemaphoreName = "5E8D1F07-C2A4-4b9e-A3D6-7F10B82C94E5";

// Counting faults: make the Nth call (1-based) of an operation fail with an
// error, once or from then on; FiredCount tells how many calls were failed.
class Faults {
public:
    void FailCall(Op op, int nth, bool persistent = false,
                  std::uint32_t error = ERROR_ACCESS_DENIED);
    void Clear();
    int FiredCount() const;
    // Used by the machine: counts the call and says whether it must fail (and with what).
    std::optional<std::uint32_t> Check(Op op);

private:
    struct Rule {
        Op op;
        int nth;
        bool persistent;
        std::uint32_t error;
    };
    std::vector<Rule> rules_;
    std::map<Op, int> calls_;
    int fired_ = 0;
};

struct RegistryValue {
    std::uint32_t type = REG_SZ;
    std::vector<std::uint8_t> data;
    std::string Text() const;  // REG_SZ data as UTF-8 without the terminator
};

struct FileState {
    std::string windowsPath;
    std::uint64_t size = 0;
    std::uint64_t lastWriteTime = 0;  // FILETIME ticks
    bool readOnly = false;
};

class SimulatedMachine final : public SystemServices {
public:
    // Opens the machine in `folder`, creating it with `profile` (or the default
    // profile) when the folder holds no machine yet.
    static std::unique_ptr<SimulatedMachine> Open(const std::filesystem::path& folder);
    static std::unique_ptr<SimulatedMachine> Create(const std::filesystem::path& folder,
                                                    const MachineProfile& profile);
    ~SimulatedMachine() override;

    // ---- The machine ----------------------------------------------------------
    const std::filesystem::path& Folder() const;
    MachineProfile& Profile();  // changes take effect at once
    void SaveProfile();         // writes profile.ini
    Faults& Fault();
    // The setup program itself: its path on the machine (GetModuleFileNameA), its
    // RCDATA resources by id (the payload container is 129) and the version strings
    // of its version block ("FileVersion", "SpecialBuild").
    void SetOwnModule(std::string windowsPath, std::map<int, std::vector<std::uint8_t>> rcdata,
                      std::map<std::string, std::string> versionStrings);

    // ---- Inspection and preparation (Windows paths, e.g. "C:\\Users\\User\\x.txt") ----
    std::filesystem::path HostPath(
        std::string_view windowsPath) const;  // empty when not on a drive
    bool Exists(std::string_view windowsPath) const;
    std::optional<std::vector<std::uint8_t>> ReadFileBytes(std::string_view windowsPath) const;
    void PutFile(std::string_view windowsPath, std::span<const std::uint8_t> bytes,
                 std::uint64_t lastWriteTime = 0);  // creates folders as needed
    void PutFolder(std::string_view windowsPath);
    std::optional<FileState> Stat(std::string_view windowsPath) const;
    void SetReadOnly(std::string_view windowsPath, bool readOnly);
    std::vector<FileState> ListFiles() const;  // every file on every drive, sorted

    // Registry paths start with a root name: "HKEY_CURRENT_USER\\Software\\...".
    bool KeyExists(std::string_view keyPath) const;
    std::optional<RegistryValue> ReadValue(std::string_view keyPath,
                                           std::string_view valueName) const;
    void PutValue(std::string_view keyPath, std::string_view valueName, const RegistryValue& value);
    void PutKey(std::string_view keyPath);
    std::string ExportRegistry() const;  // all roots as .reg text

    std::vector<std::string> Journal() const;
    void SetSemaphore(bool present);
    std::int32_t SemaphoreCount() const;  // raised by ReleaseSemaphore

    // Counted objects a caller must release: system strings (SysAllocString*)
    // not yet freed, shell link objects not yet released.
    std::size_t LiveSystemStrings() const;
    int LiveComObjects() const;

    // The whole machine as text: profile, files with sizes and times, registry, journal.
    std::string Describe() const;

    // ---- SystemServices ----------------------------------------------------------
    LONG RegOpenKeyA(HKEY parent, const char* subKey, HKEY* result) override;
    LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved, char* keyClass,
                         DWORD options, REGSAM access, void* security, HKEY* result,
                         DWORD* disposition) override;
    LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* dataSize) override;
    LONG RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* reserved, DWORD* type,
                          BYTE* data, DWORD* dataSize) override;
    LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                        const BYTE* data, DWORD dataSize) override;
    LONG RegDeleteKeyA(HKEY parent, const char* subKey) override;
    LONG RegCloseKey(HKEY key) override;

    HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD shareMode, void* security,
                       DWORD creation, DWORD flags, HANDLE templateFile) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                   void* overlapped) override;
    BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                     const FILETIME* lastWrite) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL DeleteFileW(const WCHAR* path) override;
    BOOL GetFileAttributesExW(const WCHAR* path, int infoLevel,
                              WIN32_FILE_ATTRIBUTE_DATA* info) override;
    BOOL CreateDirectoryW(const WCHAR* path, void* security) override;
    DWORD GetLastError() override;
    UINT GetDriveTypeA(const char* rootPath) override;
    BOOL GetDiskFreeSpaceExA(const char* path, ULARGE_INTEGER* freeToCaller,
                             ULARGE_INTEGER* totalBytes, ULARGE_INTEGER* totalFree) override;
    DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) override;

    HRSRC FindResourceA(HMODULE module, const char* name, const char* type) override;
    DWORD SizeofResource(HMODULE module, HRSRC resource) override;
    HGLOBAL LoadResource(HMODULE module, HRSRC resource) override;
    const void* LockResource(HGLOBAL loaded) override;

    INT LZOpenFileW(const WCHAR* path, OFSTRUCT* record, WORD style) override;
    INT LZRead(INT lzFile, char* buffer, INT count) override;
    void LZClose(INT lzFile) override;

    DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) override;
    BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data) override;
    BOOL VerQueryValueA(const void* block, const char* subBlock, void** value,
                        UINT* length) override;

    int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int textLength,
                            WCHAR* wide, int wideLength) override;
    int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideLength,
                            char* text, int textLength, const char* defaultChar,
                            BOOL* usedDefault) override;
    BSTR SysAllocString(const WCHAR* text) override;
    BSTR SysAllocStringLen(const WCHAR* text, UINT length) override;
    void SysFreeString(BSTR text) override;

    BOOL SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create) override;
    int SHFileOperationW(SHFILEOPSTRUCTW* operation) override;
    HINSTANCE ShellExecuteW(HWND owner, const WCHAR* verb, const WCHAR* file,
                            const WCHAR* parameters, const WCHAR* directory,
                            int showCommand) override;

    HRESULT CoInitialize(void* reserved) override;
    void CoUninitialize() override;
    HRESULT CoCreateInstance(const GUID& classId, void* outer, DWORD context,
                             const GUID& interfaceId, void** object) override;
    HMODULE LoadLibraryA(const char* path) override;
    FARPROC GetProcAddress(HMODULE module, const char* name) override;
    HRESULT CallDllRegisterServer(FARPROC entryPoint) override;
    void CoFreeLibrary(HMODULE module) override;

    HANDLE OpenSemaphoreA(DWORD access, BOOL inherit, const char* name) override;
    BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) override;

    BOOL GetVersionExA(OSVERSIONINFOA* info) override;
    void GetLocalTime(SYSTEMTIME* time) override;
    HANDLE GetCurrentProcess() override;
    BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override;
    BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) override;
    BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                               DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                               DWORD* returnLength) override;
    BOOL ExitWindowsEx(UINT flags, DWORD reason) override;

    // The machine's inside, defined where its operations are implemented.
    struct State;

private:
    SimulatedMachine();
    std::unique_ptr<State> state_;
};

}  // namespace swk::sim
