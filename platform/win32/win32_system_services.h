// The real Windows backend of SystemServices: each operation forwards to the
// Windows call of the same name. Narrow text goes unchanged to the A calls,
// UTF-16 text to the W calls; handles cross by value.
//
// Two operations are not the system's own:
// - LZOpenFileW/LZRead/LZClose decode SZDD files with our decoder
//   (platform/szdd.h), reading the file through CreateFileW with its UTF-16
//   path. The system's LZ open call squeezes the path through a 128-byte ANSI
//   record, so a long profile path, or one outside the ANSI code page, could
//   never be opened.
// - The version calls live in version.dll, which is not a KnownDLL: it is
//   loaded from the system folder on first use (see safe_dll_loading.h).
#pragma once

#include "platform/system_services.h"

namespace swk::win32 {

class Win32SystemServices final : public SystemServices {
public:
    // Registry
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

    // Files, folders and drives
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

    // The setup's own resources
    HRSRC FindResourceA(HMODULE module, const char* name, const char* type) override;
    DWORD SizeofResource(HMODULE module, HRSRC resource) override;
    HGLOBAL LoadResource(HMODULE module, HRSRC resource) override;
    const void* LockResource(HGLOBAL loaded) override;

    // LZ expansion (our decoder, see above)
    INT LZOpenFileW(const WCHAR* path, OFSTRUCT* record, WORD style) override;
    INT LZRead(INT lzFile, char* buffer, INT count) override;
    void LZClose(INT lzFile) override;

    // Version data
    DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) override;
    BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data) override;
    BOOL VerQueryValueA(const void* block, const char* subBlock, void** value,
                        UINT* length) override;

    // Text conversion and system strings
    int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int textLength,
                            WCHAR* wide, int wideLength) override;
    int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideLength,
                            char* text, int textLength, const char* defaultChar,
                            BOOL* usedDefault) override;
    BSTR SysAllocString(const WCHAR* text) override;
    BSTR SysAllocStringLen(const WCHAR* text, UINT length) override;
    void SysFreeString(BSTR text) override;

    // Shell
    BOOL SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create) override;
    int SHFileOperationW(SHFILEOPSTRUCTW* operation) override;
    HINSTANCE ShellExecuteW(HWND owner, const WCHAR* verb, const WCHAR* file,
                            const WCHAR* parameters, const WCHAR* directory,
                            int showCommand) override;

    // COM, shell links and component self-registration
    HRESULT CoInitialize(void* reserved) override;
    void CoUninitialize() override;
    HRESULT CoCreateInstance(const GUID& classId, void* outer, DWORD context,
                             const GUID& interfaceId, void** object) override;
    HMODULE LoadLibraryA(const char* path) override;
    FARPROC GetProcAddress(HMODULE module, const char* name) override;
    HRESULT CallDllRegisterServer(FARPROC entryPoint) override;
    void CoFreeLibrary(HMODULE module) override;

    // The product's running-instance semaphore
    HANDLE OpenSemaphoreA(DWORD access, BOOL inherit, const char* name) override;
    BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) override;

    // Platform, time, privileges and restart
    BOOL GetVersionExA(OSVERSIONINFOA* info) override;
    void GetLocalTime(SYSTEMTIME* time) override;
    HANDLE GetCurrentProcess() override;
    BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override;
    BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) override;
    BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                               DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                               DWORD* returnLength) override;
    BOOL ExitWindowsEx(UINT flags, DWORD reason) override;
};

}  // namespace swk::win32
