// Test tools: a SystemServices that passes every call on to another one (the
// simulated machine), and a counting decorator built on it that tells whether
// the logic closed every registry key it opened and freed every module it
// loaded.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/system_services.h"

namespace swk::test {

class ForwardingServices : public SystemServices {
public:
    explicit ForwardingServices(SystemServices& target) : target_(target) {}

    LONG RegOpenKeyA(HKEY parent, const char* subKey, HKEY* result) override {
        return target_.RegOpenKeyA(parent, subKey, result);
    }
    LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved, char* keyClass,
                         DWORD options, REGSAM access, void* security, HKEY* result,
                         DWORD* disposition) override {
        return target_.RegCreateKeyExA(parent, subKey, reserved, keyClass, options, access,
                                       security, result, disposition);
    }
    LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* dataSize) override {
        return target_.RegQueryValueExA(key, valueName, reserved, type, data, dataSize);
    }
    LONG RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD* reserved, DWORD* type,
                          BYTE* data, DWORD* dataSize) override {
        return target_.RegQueryValueExW(key, valueName, reserved, type, data, dataSize);
    }
    LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                        const BYTE* data, DWORD dataSize) override {
        return target_.RegSetValueExA(key, valueName, reserved, type, data, dataSize);
    }
    LONG RegDeleteKeyA(HKEY parent, const char* subKey) override {
        return target_.RegDeleteKeyA(parent, subKey);
    }
    LONG RegCloseKey(HKEY key) override { return target_.RegCloseKey(key); }
    HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD shareMode, void* security,
                       DWORD creation, DWORD flags, HANDLE templateFile) override {
        return target_.CreateFileW(path, access, shareMode, security, creation, flags,
                                   templateFile);
    }
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                   void* overlapped) override {
        return target_.WriteFile(file, buffer, size, written, overlapped);
    }
    BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                     const FILETIME* lastWrite) override {
        return target_.SetFileTime(file, creation, lastAccess, lastWrite);
    }
    BOOL CloseHandle(HANDLE handle) override { return target_.CloseHandle(handle); }
    BOOL DeleteFileW(const WCHAR* path) override { return target_.DeleteFileW(path); }
    BOOL GetFileAttributesExW(const WCHAR* path, int infoLevel,
                              WIN32_FILE_ATTRIBUTE_DATA* info) override {
        return target_.GetFileAttributesExW(path, infoLevel, info);
    }
    BOOL CreateDirectoryW(const WCHAR* path, void* security) override {
        return target_.CreateDirectoryW(path, security);
    }
    DWORD GetLastError() override { return target_.GetLastError(); }
    UINT GetDriveTypeA(const char* rootPath) override { return target_.GetDriveTypeA(rootPath); }
    BOOL GetDiskFreeSpaceExA(const char* path, ULARGE_INTEGER* freeToCaller,
                             ULARGE_INTEGER* totalBytes, ULARGE_INTEGER* totalFree) override {
        return target_.GetDiskFreeSpaceExA(path, freeToCaller, totalBytes, totalFree);
    }
    DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) override {
        return target_.GetModuleFileNameA(module, buffer, size);
    }
    HRSRC FindResourceA(HMODULE module, const char* name, const char* type) override {
        return target_.FindResourceA(module, name, type);
    }
    DWORD SizeofResource(HMODULE module, HRSRC resource) override {
        return target_.SizeofResource(module, resource);
    }
    HGLOBAL LoadResource(HMODULE module, HRSRC resource) override {
        return target_.LoadResource(module, resource);
    }
    const void* LockResource(HGLOBAL loaded) override { return target_.LockResource(loaded); }
    INT LZOpenFileW(const WCHAR* path, OFSTRUCT* record, WORD style) override {
        return target_.LZOpenFileW(path, record, style);
    }
    INT LZRead(INT lzFile, char* buffer, INT count) override {
        return target_.LZRead(lzFile, buffer, count);
    }
    void LZClose(INT lzFile) override { target_.LZClose(lzFile); }
    DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) override {
        return target_.GetFileVersionInfoSizeA(path, handle);
    }
    BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data) override {
        return target_.GetFileVersionInfoA(path, handle, size, data);
    }
    BOOL VerQueryValueA(const void* block, const char* subBlock, void** value,
                        UINT* length) override {
        return target_.VerQueryValueA(block, subBlock, value, length);
    }
    int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int textLength,
                            WCHAR* wide, int wideLength) override {
        return target_.MultiByteToWideChar(codePage, flags, text, textLength, wide, wideLength);
    }
    int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideLength,
                            char* text, int textLength, const char* defaultChar,
                            BOOL* usedDefault) override {
        return target_.WideCharToMultiByte(codePage, flags, wide, wideLength, text, textLength,
                                           defaultChar, usedDefault);
    }
    BSTR SysAllocString(const WCHAR* text) override { return target_.SysAllocString(text); }
    BSTR SysAllocStringLen(const WCHAR* text, UINT length) override {
        return target_.SysAllocStringLen(text, length);
    }
    void SysFreeString(BSTR text) override { target_.SysFreeString(text); }
    BOOL SHGetSpecialFolderPathW(HWND owner, WCHAR* path, int csidl, BOOL create) override {
        return target_.SHGetSpecialFolderPathW(owner, path, csidl, create);
    }
    int SHFileOperationW(SHFILEOPSTRUCTW* operation) override {
        return target_.SHFileOperationW(operation);
    }
    HINSTANCE ShellExecuteW(HWND owner, const WCHAR* verb, const WCHAR* file,
                            const WCHAR* parameters, const WCHAR* directory,
                            int showCommand) override {
        return target_.ShellExecuteW(owner, verb, file, parameters, directory, showCommand);
    }
    HRESULT CoInitialize(void* reserved) override { return target_.CoInitialize(reserved); }
    void CoUninitialize() override { target_.CoUninitialize(); }
    HRESULT CoCreateInstance(const GUID& classId, void* outer, DWORD context,
                             const GUID& interfaceId, void** object) override {
        return target_.CoCreateInstance(classId, outer, context, interfaceId, object);
    }
    HMODULE LoadLibraryA(const char* path) override { return target_.LoadLibraryA(path); }
    FARPROC GetProcAddress(HMODULE module, const char* name) override {
        return target_.GetProcAddress(module, name);
    }
    HRESULT CallDllRegisterServer(FARPROC entryPoint) override {
        return target_.CallDllRegisterServer(entryPoint);
    }
    void CoFreeLibrary(HMODULE module) override { target_.CoFreeLibrary(module); }
    HANDLE OpenSemaphoreA(DWORD access, BOOL inherit, const char* name) override {
        return target_.OpenSemaphoreA(access, inherit, name);
    }
    BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) override {
        return target_.ReleaseSemaphore(semaphore, releaseCount, previousCount);
    }
    BOOL GetVersionExA(OSVERSIONINFOA* info) override { return target_.GetVersionExA(info); }
    void GetLocalTime(SYSTEMTIME* time) override { target_.GetLocalTime(time); }
    HANDLE GetCurrentProcess() override { return target_.GetCurrentProcess(); }
    BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override {
        return target_.OpenProcessToken(process, access, token);
    }
    BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) override {
        return target_.LookupPrivilegeValueA(systemName, name, luid);
    }
    BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                               DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                               DWORD* returnLength) override {
        return target_.AdjustTokenPrivileges(token, disableAll, newState, bufferLength,
                                             previousState, returnLength);
    }
    BOOL ExitWindowsEx(UINT flags, DWORD reason) override {
        return target_.ExitWindowsEx(flags, reason);
    }

private:
    SystemServices& target_;
};

// Counts the registry keys and modules handed out and given back, and records
// the key paths the logic created or opened, in call order.
class HandleCountingServices final : public ForwardingServices {
public:
    using ForwardingServices::ForwardingServices;

    int keysOpened = 0;                    // successful RegOpenKeyA and RegCreateKeyExA
    int keysClosed = 0;                    // RegCloseKey calls
    int mostKeysOpen = 0;                  // the largest number of keys open at one time
    int modulesLoaded = 0;                 // successful LoadLibraryA
    int modulesFreed = 0;                  // CoFreeLibrary
    std::vector<std::string> createdKeys;  // subkey texts given to RegCreateKeyExA

    LONG RegOpenKeyA(HKEY parent, const char* subKey, HKEY* result) override {
        const LONG status = ForwardingServices::RegOpenKeyA(parent, subKey, result);
        if (status == ERROR_SUCCESS) Opened();
        return status;
    }
    LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved, char* keyClass,
                         DWORD options, REGSAM access, void* security, HKEY* result,
                         DWORD* disposition) override {
        createdKeys.emplace_back(subKey);
        const LONG status = ForwardingServices::RegCreateKeyExA(
            parent, subKey, reserved, keyClass, options, access, security, result, disposition);
        if (status == ERROR_SUCCESS) Opened();
        return status;
    }
    LONG RegCloseKey(HKEY key) override {
        ++keysClosed;
        return ForwardingServices::RegCloseKey(key);
    }
    HMODULE LoadLibraryA(const char* path) override {
        const HMODULE module = ForwardingServices::LoadLibraryA(path);
        if (module != NO_MODULE) ++modulesLoaded;
        return module;
    }
    void CoFreeLibrary(HMODULE module) override {
        ++modulesFreed;
        ForwardingServices::CoFreeLibrary(module);
    }

private:
    void Opened() {
        ++keysOpened;
        mostKeysOpen = std::max(mostKeysOpen, keysOpened - keysClosed);
    }
};

}  // namespace swk::test
