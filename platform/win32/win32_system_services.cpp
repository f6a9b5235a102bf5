#include "platform/win32/win32_system_services.h"

#include <cstdint>

#include "platform/win32/lz_files.h"
#include "platform/win32/safe_dll_loading.h"
#include "platform/win32/shell_link_adapter.h"
#include "platform/win32/windows_api.h"

namespace swk::win32 {
namespace {

// ---- Our handles and the system's, by value ------------------------------------
template <class Real, class Ours>
Real Real_(Ours handle) {
    return reinterpret_cast<Real>(static_cast<std::uintptr_t>(handle));
}
template <class Ours, class Real>
Ours Ours_(Real handle) {
    return Ours{reinterpret_cast<std::uintptr_t>(handle)};
}
::HKEY Key(HKEY key) {
    return Real_<::HKEY>(key);
}
::HANDLE Handle(HANDLE handle) {
    return Real_<::HANDLE>(handle);
}
::HMODULE Module(HMODULE module) {
    return Real_<::HMODULE>(module);
}
::HWND Window(HWND window) {
    return Real_<::HWND>(window);
}

// ---- UTF-16 text: char16_t on our side, wchar_t on the system's ----------------
const wchar_t* Wide(const WCHAR* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
wchar_t* Wide(WCHAR* text) {
    return reinterpret_cast<wchar_t*>(text);
}

// ---- Records copied field by field ----------------------------------------------
::FILETIME RealTime(const FILETIME& time) {
    return {time.dwLowDateTime, time.dwHighDateTime};
}
FILETIME OurTime(const ::FILETIME& time) {
    return {time.dwLowDateTime, time.dwHighDateTime};
}

void StoreKey(::HKEY real, HKEY* result) {
    if (result != nullptr) *result = Ours_<HKEY>(real);
}

// ---- version.dll, loaded from the system folder on first use --------------------
struct VersionFunctions {
    ::DWORD(WINAPI* getSize)(const char*, ::DWORD*) = nullptr;
    ::BOOL(WINAPI* getInfo)(const char*, ::DWORD, ::DWORD, void*) = nullptr;
    ::BOOL(WINAPI* query)(const void*, const char*, void**, ::UINT*) = nullptr;
};

template <class Function>
void Bind(::HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const VersionFunctions& Version() {
    static const VersionFunctions functions = [] {
        VersionFunctions f;
        if (::HMODULE module = LoadSystemLibrary(L"version.dll")) {
            Bind(module, "GetFileVersionInfoSizeA", f.getSize);
            Bind(module, "GetFileVersionInfoA", f.getInfo);
            Bind(module, "VerQueryValueA", f.query);
        }
        return f;
    }();
    return functions;
}

}  // namespace

// ---- Registry ------------------------------------------------------------------------
LONG Win32SystemServices::RegOpenKeyA(HKEY parent, const char* subKey, HKEY* result) {
    ::HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyA(Key(parent), subKey, &opened);
    StoreKey(opened, result);
    return status;
}

LONG Win32SystemServices::RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved,
                                          char* keyClass, DWORD options, REGSAM access,
                                          void* security, HKEY* result, DWORD* disposition) {
    ::HKEY created = nullptr;
    const LONG status = ::RegCreateKeyExA(Key(parent), subKey, reserved, keyClass, options, access,
                                          static_cast<::SECURITY_ATTRIBUTES*>(security), &created,
                                          reinterpret_cast<::DWORD*>(disposition));
    StoreKey(created, result);
    return status;
}

LONG Win32SystemServices::RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved,
                                           DWORD* type, BYTE* data, DWORD* dataSize) {
    return ::RegQueryValueExA(Key(key), valueName, reinterpret_cast<::DWORD*>(reserved),
                              reinterpret_cast<::DWORD*>(type), data,
                              reinterpret_cast<::DWORD*>(dataSize));
}

LONG Win32SystemServices::RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* reserved,
                                           DWORD* type, BYTE* data, DWORD* dataSize) {
    return ::RegQueryValueExW(Key(key), Wide(valueName), reinterpret_cast<::DWORD*>(reserved),
                              reinterpret_cast<::DWORD*>(type), data,
                              reinterpret_cast<::DWORD*>(dataSize));
}

LONG Win32SystemServices::RegSetValueExA(HKEY key, const char* valueName, DWORD reserved,
                                         DWORD type, const BYTE* data, DWORD dataSize) {
    return ::RegSetValueExA(Key(key), valueName, reserved, type, data, dataSize);
}

LONG Win32SystemServices::RegDeleteKeyA(HKEY parent, const char* subKey) {
    return ::RegDeleteKeyA(Key(parent), subKey);
}

LONG Win32SystemServices::RegCloseKey(HKEY key) {
    return ::RegCloseKey(Key(key));
}

// ---- Files, folders and drives ---------------------------------------------------------
HANDLE Win32SystemServices::CreateFileW(const WCHAR* path, DWORD access, DWORD shareMode,
                                        void* security, DWORD creation, DWORD flags,
                                        HANDLE templateFile) {
    return Ours_<HANDLE>(::CreateFileW(Wide(path), access, shareMode,
                                       static_cast<::SECURITY_ATTRIBUTES*>(security), creation,
                                       flags, Handle(templateFile)));
}

BOOL Win32SystemServices::WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                                    void* overlapped) {
    return ::WriteFile(Handle(file), buffer, size, reinterpret_cast<::DWORD*>(written),
                       static_cast<::OVERLAPPED*>(overlapped));
}

BOOL Win32SystemServices::SetFileTime(HANDLE file, const FILETIME* creation,
                                      const FILETIME* lastAccess, const FILETIME* lastWrite) {
    const ::FILETIME times[3] = {creation ? RealTime(*creation) : ::FILETIME{},
                                 lastAccess ? RealTime(*lastAccess) : ::FILETIME{},
                                 lastWrite ? RealTime(*lastWrite) : ::FILETIME{}};
    return ::SetFileTime(Handle(file), creation ? &times[0] : nullptr,
                         lastAccess ? &times[1] : nullptr, lastWrite ? &times[2] : nullptr);
}

BOOL Win32SystemServices::CloseHandle(HANDLE handle) {
    return ::CloseHandle(Handle(handle));
}

BOOL Win32SystemServices::DeleteFileW(const WCHAR* path) {
    return ::DeleteFileW(Wide(path));
}

BOOL Win32SystemServices::GetFileAttributesExW(const WCHAR* path, int infoLevel,
                                               WIN32_FILE_ATTRIBUTE_DATA* info) {
    ::WIN32_FILE_ATTRIBUTE_DATA real{};
    const BOOL found =
        ::GetFileAttributesExW(Wide(path), static_cast<::GET_FILEEX_INFO_LEVELS>(infoLevel), &real);
    if (found && info != nullptr) {
        info->dwFileAttributes = real.dwFileAttributes;
        info->ftCreationTime = OurTime(real.ftCreationTime);
        info->ftLastAccessTime = OurTime(real.ftLastAccessTime);
        info->ftLastWriteTime = OurTime(real.ftLastWriteTime);
        info->nFileSizeHigh = real.nFileSizeHigh;
        info->nFileSizeLow = real.nFileSizeLow;
    }
    return found;
}

BOOL Win32SystemServices::CreateDirectoryW(const WCHAR* path, void* security) {
    return ::CreateDirectoryW(Wide(path), static_cast<::SECURITY_ATTRIBUTES*>(security));
}

DWORD Win32SystemServices::GetLastError() {
    return ::GetLastError();
}

UINT Win32SystemServices::GetDriveTypeA(const char* rootPath) {
    return ::GetDriveTypeA(rootPath);
}

BOOL Win32SystemServices::GetDiskFreeSpaceExA(const char* path, ULARGE_INTEGER* freeToCaller,
                                              ULARGE_INTEGER* totalBytes,
                                              ULARGE_INTEGER* totalFree) {
    ::ULARGE_INTEGER counts[3] = {};
    const BOOL ok = ::GetDiskFreeSpaceExA(path, &counts[0], &counts[1], &counts[2]);
    if (ok && freeToCaller != nullptr) freeToCaller->QuadPart = counts[0].QuadPart;
    if (ok && totalBytes != nullptr) totalBytes->QuadPart = counts[1].QuadPart;
    if (ok && totalFree != nullptr) totalFree->QuadPart = counts[2].QuadPart;
    return ok;
}

DWORD Win32SystemServices::GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    return ::GetModuleFileNameA(Module(module), buffer, size);
}

// ---- The setup's own resources ------------------------------------------------------------
HRSRC Win32SystemServices::FindResourceA(HMODULE module, const char* name, const char* type) {
    return Ours_<HRSRC>(::FindResourceA(Module(module), name, type));
}

DWORD Win32SystemServices::SizeofResource(HMODULE module, HRSRC resource) {
    return ::SizeofResource(Module(module), Real_<::HRSRC>(resource));
}

HGLOBAL Win32SystemServices::LoadResource(HMODULE module, HRSRC resource) {
    return Ours_<HGLOBAL>(::LoadResource(Module(module), Real_<::HRSRC>(resource)));
}

const void* Win32SystemServices::LockResource(HGLOBAL loaded) {
    return ::LockResource(Real_<::HGLOBAL>(loaded));
}

// ---- LZ expansion --------------------------------------------------------------------------
INT Win32SystemServices::LZOpenFileW(const WCHAR* path, OFSTRUCT* record, WORD /*style*/) {
    return OpenLzFile(path, record);  // always read-only, deny-write
}

INT Win32SystemServices::LZRead(INT lzFile, char* buffer, INT count) {
    return ReadLzFile(lzFile, buffer, count);
}

void Win32SystemServices::LZClose(INT lzFile) {
    CloseLzFile(lzFile);
}

// ---- Version data ----------------------------------------------------------------------------
DWORD Win32SystemServices::GetFileVersionInfoSizeA(const char* path, DWORD* handle) {
    auto function = Version().getSize;
    return function ? function(path, reinterpret_cast<::DWORD*>(handle)) : 0;
}

BOOL Win32SystemServices::GetFileVersionInfoA(const char* path, DWORD handle, DWORD size,
                                              void* data) {
    auto function = Version().getInfo;
    return function ? function(path, handle, size, data) : FALSE;
}

BOOL Win32SystemServices::VerQueryValueA(const void* block, const char* subBlock, void** value,
                                         UINT* length) {
    auto function = Version().query;
    return function ? function(block, subBlock, value, reinterpret_cast<::UINT*>(length)) : FALSE;
}

// ---- Text conversion and system strings --------------------------------------------------------
int Win32SystemServices::MultiByteToWideChar(UINT codePage, DWORD flags, const char* text,
                                             int textLength, WCHAR* wide, int wideLength) {
    return ::MultiByteToWideChar(codePage, flags, text, textLength, Wide(wide), wideLength);
}

int Win32SystemServices::WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide,
                                             int wideLength, char* text, int textLength,
                                             const char* defaultChar, BOOL* usedDefault) {
    return ::WideCharToMultiByte(codePage, flags, Wide(wide), wideLength, text, textLength,
                                 defaultChar, reinterpret_cast<::BOOL*>(usedDefault));
}

BSTR Win32SystemServices::SysAllocString(const WCHAR* text) {
    return reinterpret_cast<BSTR>(::SysAllocString(Wide(text)));
}

BSTR Win32SystemServices::SysAllocStringLen(const WCHAR* text, UINT length) {
    return reinterpret_cast<BSTR>(::SysAllocStringLen(Wide(text), length));
}

void Win32SystemServices::SysFreeString(BSTR text) {
    ::SysFreeString(Wide(text));
}

// ---- Shell
// -----------------------------------------------------------------------------------------
BOOL Win32SystemServices::SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create) {
    return ::SHGetSpecialFolderPathW(Window(owner), Wide(path), csidl, create);
}

int Win32SystemServices::SHFileOperationW(SHFILEOPSTRUCTW* operation) {
    ::SHFILEOPSTRUCTW real{};
    real.hwnd = Window(operation->hwnd);
    real.wFunc = operation->wFunc;
    real.pFrom = Wide(operation->pFrom);
    real.pTo = Wide(operation->pTo);
    real.fFlags = operation->fFlags;
    real.lpszProgressTitle = Wide(operation->lpszProgressTitle);
    const int result = ::SHFileOperationW(&real);
    operation->fAnyOperationsAborted = real.fAnyOperationsAborted;
    operation->hNameMappings = real.hNameMappings;
    return result;
}

HINSTANCE Win32SystemServices::ShellExecuteW(HWND owner, const WCHAR* verb, const WCHAR* file,
                                             const WCHAR* parameters, const WCHAR* directory,
                                             int showCommand) {
    return Ours_<HINSTANCE>(::ShellExecuteW(Window(owner), Wide(verb), Wide(file), Wide(parameters),
                                            Wide(directory), showCommand));
}

// ---- COM, shell links and component self-registration
// ----------------------------------------------
HRESULT Win32SystemServices::CoInitialize(void* reserved) {
    return ::CoInitialize(reserved);
}

void Win32SystemServices::CoUninitialize() {
    ::CoUninitialize();
}

HRESULT Win32SystemServices::CoCreateInstance(const GUID& classId, void* outer, DWORD context,
                                              const GUID& interfaceId, void** object) {
    if (object == nullptr) return E_FAIL;
    *object = nullptr;
    // The logic asks for nothing else; any other class would need its own adapter.
    if (!(classId == CLSID_ShellLink) || !(interfaceId == IID_IShellLinkA))
        return REGDB_E_CLASSNOTREG;
    return CreateShellLink(static_cast<::IUnknown*>(outer), context, object);
}

HMODULE Win32SystemServices::LoadLibraryA(const char* path) {
    // With the search restricted to the system folder, a component's own
    // dependencies are looked for beside it (its folder is the program folder the
    // setup has just written) and in the system folder.
    constexpr ::DWORD kSearchDllLoadDirAndDefaults = 0x00000100 | 0x00001000;
    if (CurrentDllSearchMode() == DllSearchMode::SystemFolderOnly)
        return Ours_<HMODULE>(::LoadLibraryExA(path, nullptr, kSearchDllLoadDirAndDefaults));
    return Ours_<HMODULE>(::LoadLibraryA(path));
}

FARPROC Win32SystemServices::GetProcAddress(HMODULE module, const char* name) {
    return FARPROC{reinterpret_cast<std::uintptr_t>(::GetProcAddress(Module(module), name))};
}

HRESULT Win32SystemServices::CallDllRegisterServer(FARPROC entryPoint) {
    using Entry = ::HRESULT(__stdcall*)();
    return reinterpret_cast<Entry>(static_cast<std::uintptr_t>(entryPoint))();
}

void Win32SystemServices::CoFreeLibrary(HMODULE module) {
    ::CoFreeLibrary(Module(module));
}

// ---- The product's running-instance semaphore
// ------------------------------------------------------
HANDLE Win32SystemServices::OpenSemaphoreA(DWORD access, BOOL inherit, const char* name) {
    return Ours_<HANDLE>(::OpenSemaphoreA(access, inherit, name));
}

BOOL Win32SystemServices::ReleaseSemaphore(HANDLE semaphore, LONG releaseCount,
                                           LONG* previousCount) {
    ::LONG previous = 0;
    const BOOL ok = ::ReleaseSemaphore(Handle(semaphore), releaseCount, &previous);
    if (previousCount != nullptr) *previousCount = previous;
    return ok;
}

// ---- Platform, time, privileges and restart
// ------------------------------------------------------------
BOOL Win32SystemServices::GetVersionExA(OSVERSIONINFOA* info) {
    ::OSVERSIONINFOA real{};
    real.dwOSVersionInfoSize = sizeof(real);
    const BOOL ok = ::GetVersionExA(&real);
    if (ok) {
        info->dwMajorVersion = real.dwMajorVersion;
        info->dwMinorVersion = real.dwMinorVersion;
        info->dwBuildNumber = real.dwBuildNumber;
        info->dwPlatformId = real.dwPlatformId;
        static_assert(sizeof(info->szCSDVersion) == sizeof(real.szCSDVersion));
        for (std::size_t i = 0; i < sizeof(real.szCSDVersion); ++i)
            info->szCSDVersion[i] = real.szCSDVersion[i];
    }
    return ok;
}

void Win32SystemServices::GetLocalTime(SYSTEMTIME* time) {
    ::SYSTEMTIME real{};
    ::GetLocalTime(&real);
    *time = SYSTEMTIME{real.wYear, real.wMonth,  real.wDayOfWeek, real.wDay,
                       real.wHour, real.wMinute, real.wSecond,    real.wMilliseconds};
}

HANDLE Win32SystemServices::GetCurrentProcess() {
    return Ours_<HANDLE>(::GetCurrentProcess());
}

BOOL Win32SystemServices::OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
    ::HANDLE opened = nullptr;
    const BOOL ok = ::OpenProcessToken(Handle(process), access, &opened);
    if (token != nullptr) *token = Ours_<HANDLE>(opened);
    return ok;
}

BOOL Win32SystemServices::LookupPrivilegeValueA(const char* systemName, const char* name,
                                                LUID* luid) {
    ::LUID real{};
    const BOOL ok = ::LookupPrivilegeValueA(systemName, name, &real);
    if (luid != nullptr) *luid = LUID{real.LowPart, real.HighPart};
    return ok;
}

BOOL Win32SystemServices::AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                                TOKEN_PRIVILEGES* newState, DWORD /*bufferLength*/,
                                                TOKEN_PRIVILEGES* previousState,
                                                DWORD* returnLength) {
    // Our record has room for one privilege, as has the system's.
    ::TOKEN_PRIVILEGES real{};
    if (newState != nullptr) {
        real.PrivilegeCount = newState->PrivilegeCount > 1 ? 1 : newState->PrivilegeCount;
        real.Privileges[0].Luid =
            ::LUID{newState->Privileges[0].Luid.LowPart, newState->Privileges[0].Luid.HighPart};
        real.Privileges[0].Attributes = newState->Privileges[0].Attributes;
    }
    ::TOKEN_PRIVILEGES previous{};
    ::DWORD length = 0;
    const BOOL ok = ::AdjustTokenPrivileges(
        Handle(token), disableAll, newState ? &real : nullptr, previousState ? sizeof(previous) : 0,
        previousState ? &previous : nullptr, previousState ? &length : nullptr);
    const ::DWORD error = ::GetLastError();
    if (previousState != nullptr) {
        previousState->PrivilegeCount = previous.PrivilegeCount;
        previousState->Privileges[0].Luid =
            LUID{previous.Privileges[0].Luid.LowPart, previous.Privileges[0].Luid.HighPart};
        previousState->Privileges[0].Attributes = previous.Privileges[0].Attributes;
    }
    if (returnLength != nullptr) *returnLength = length;
    ::SetLastError(error);  // the caller reads it right after this call
    return ok;
}

BOOL Win32SystemServices::ExitWindowsEx(UINT flags, DWORD reason) {
    return ::ExitWindowsEx(flags, reason);
}

}  // namespace swk::win32
