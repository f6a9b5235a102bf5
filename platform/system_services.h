// SystemServices: every operating-system operation the setup's logic calls,
// under its Windows name, with the Windows parameters and raw results (a LONG
// registry status, a handle or INVALID_HANDLE_VALUE, a BOOL plus GetLastError,
// an HRESULT, the shell's codes). Two backends implement it: the real Win32
// one (platform/win32) and a simulated Windows machine (platform/sim).
//
// The logic reaches the current instance through Sys(); the program's entry
// point installs its backend once with SetSystemServices(), and tests swap in
// a simulated machine with ScopedSystemServices.
#pragma once

#include "platform/win_types.h"

namespace swk {

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // ---- Registry ------------------------------------------------------------
    virtual LONG RegOpenKeyA(HKEY parent, const char* subKey, HKEY* result) = 0;
    virtual LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved, char* keyClass,
                                 DWORD options, REGSAM access, void* security, HKEY* result,
                                 DWORD* disposition) = 0;
    virtual LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                                  BYTE* data, DWORD* dataSize) = 0;
    virtual LONG RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* reserved, DWORD* type,
                                  BYTE* data, DWORD* dataSize) = 0;
    virtual LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                                const BYTE* data, DWORD dataSize) = 0;
    virtual LONG RegDeleteKeyA(HKEY parent, const char* subKey) = 0;
    virtual LONG RegCloseKey(HKEY key) = 0;

    // ---- Files, folders and drives ----------------------------------------------
    virtual HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD shareMode, void* security,
                               DWORD creation, DWORD flags, HANDLE templateFile) = 0;
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                           void* overlapped) = 0;
    virtual BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                             const FILETIME* lastWrite) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOL DeleteFileW(const WCHAR* path) = 0;
    virtual BOOL GetFileAttributesExW(const WCHAR* path, int infoLevel,
                                      WIN32_FILE_ATTRIBUTE_DATA* info) = 0;
    virtual BOOL CreateDirectoryW(const WCHAR* path, void* security) = 0;
    virtual DWORD GetLastError() = 0;
    virtual UINT GetDriveTypeA(const char* rootPath) = 0;
    virtual BOOL GetDiskFreeSpaceExA(const char* path, ULARGE_INTEGER* freeToCaller,
                                     ULARGE_INTEGER* totalBytes, ULARGE_INTEGER* totalFree) = 0;
    virtual DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) = 0;

    // ---- The setup's own resources ---------------------------------------------------
    virtual HRSRC FindResourceA(HMODULE module, const char* name, const char* type) = 0;
    virtual DWORD SizeofResource(HMODULE module, HRSRC resource) = 0;
    virtual HGLOBAL LoadResource(HMODULE module, HRSRC resource) = 0;
    virtual const void* LockResource(HGLOBAL loaded) = 0;

    // ---- LZ expansion of SZDD files -----------------------------------------------
    virtual INT LZOpenFileW(const WCHAR* path, OFSTRUCT* record, WORD style) = 0;
    virtual INT LZRead(INT lzFile, char* buffer, INT count) = 0;
    virtual void LZClose(INT lzFile) = 0;

    // ---- Version data ---------------------------------------------------------------
    virtual DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) = 0;
    virtual BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data) = 0;
    virtual BOOL VerQueryValueA(const void* block, const char* subBlock, void** value,
                                UINT* length) = 0;

    // ---- Text conversion and system strings -------------------------------------------
    virtual int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int textLength,
                                    WCHAR* wide, int wideLength) = 0;
    virtual int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideLength,
                                    char* text, int textLength, const char* defaultChar,
                                    BOOL* usedDefault) = 0;
    virtual BSTR SysAllocString(const WCHAR* text) = 0;
    virtual BSTR SysAllocStringLen(const WCHAR* text, UINT length) = 0;
    virtual void SysFreeString(BSTR text) = 0;

    // ---- Shell ---------------------------------------------------------------------------
    virtual BOOL SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create) = 0;
    virtual int SHFileOperationW(SHFILEOPSTRUCTW* operation) = 0;
    virtual HINSTANCE ShellExecuteW(HWND owner, const WCHAR* verb, const WCHAR* file,
                                    const WCHAR* parameters, const WCHAR* directory,
                                    int showCommand) = 0;

    // ---- COM, shell links and component self-registration -------------------------------
    virtual HRESULT CoInitialize(void* reserved) = 0;
    virtual void CoUninitialize() = 0;
    // Only CLSID_ShellLink / IID_IShellLinkA is asked for; *object receives an IShellLinkA*.
    virtual HRESULT CoCreateInstance(const GUID& classId, void* outer, DWORD context,
                                     const GUID& interfaceId, void** object) = 0;
    virtual HMODULE LoadLibraryA(const char* path) = 0;
    virtual FARPROC GetProcAddress(HMODULE module, const char* name) = 0;
    // Calls an entry point of the form HRESULT __stdcall Entry(void), such as
    // "DllRegisterServer", found with GetProcAddress.
    virtual HRESULT CallDllRegisterServer(FARPROC entryPoint) = 0;
    virtual void CoFreeLibrary(HMODULE module) = 0;

    // ---- The product's running-instance semaphore ---------------------------------------
    virtual HANDLE OpenSemaphoreA(DWORD access, BOOL inherit, const char* name) = 0;
    virtual BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) = 0;

    // ---- Platform, time, privileges and restart ---------------------------------------------
    virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
    virtual void GetLocalTime(SYSTEMTIME* time) = 0;
    virtual HANDLE GetCurrentProcess() = 0;
    virtual BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) = 0;
    virtual BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) = 0;
    virtual BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                                       DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                                       DWORD* returnLength) = 0;
    virtual BOOL ExitWindowsEx(UINT flags, DWORD reason) = 0;
};

// The process-wide instance the logic calls. Null until a backend is installed.
SystemServices& Sys();
void SetSystemServices(SystemServices* services);

// Installs a backend for the lifetime of the guard and restores the previous one.
class ScopedSystemServices {
public:
    explicit ScopedSystemServices(SystemServices& services);
    ~ScopedSystemServices();
    ScopedSystemServices(const ScopedSystemServices&) = delete;
    ScopedSystemServices& operator=(const ScopedSystemServices&) = delete;

private:
    SystemServices* previous_;
};

}  // namespace swk
