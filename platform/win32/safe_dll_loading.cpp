#include "platform/win32/safe_dll_loading.h"

#include <cwchar>

namespace swk::win32 {
namespace {

constexpr ::DWORD kSearchSystem32 = 0x00000800;     // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr ::DWORD kAlteredSearchPath = 0x00000008;  // LOAD_WITH_ALTERED_SEARCH_PATH

// System DLLs that the shell link object, the dialog's themed controls and the
// version reader load on demand. Preloaded by full path where the search
// cannot be restricted.
constexpr const wchar_t* kPreloadedSystemDlls[] = {
    L"version.dll",  L"uxtheme.dll", L"comctl32.dll", L"userenv.dll",       L"profapi.dll",
    L"setupapi.dll", L"apphelp.dll", L"propsys.dll",  L"dwmapi.dll",        L"cryptbase.dll",
    L"oleacc.dll",   L"clbcatq.dll", L"linkinfo.dll", L"ntshrui.dll",       L"cscapi.dll",
    L"srvcli.dll",   L"sspicli.dll", L"netutils.dll", L"windowscodecs.dll",
};

DllSearchMode& Mode() {
    static DllSearchMode mode = DllSearchMode::SystemFolderOnly;
    return mode;
}

bool IsWindowsVista() {
    ::OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(&info)) return false;
    return info.dwMajorVersion == 6 && info.dwMinorVersion == 0;
}

using SetDefaultDllDirectoriesFunction = ::BOOL(WINAPI*)(::DWORD);
using SetDllDirectoryFunction = ::BOOL(WINAPI*)(const wchar_t*);

template <class Function>
Function Kernel32Function(const char* name) {
    ::HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));
}

}  // namespace

DllSearchMode RestrictDllSearchToSystemFolder() {
    auto setDefault =
        Kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefault != nullptr && !IsWindowsVista() && setDefault(kSearchSystem32)) {
        Mode() = DllSearchMode::SystemFolderOnly;
        return Mode();
    }
    // Vista, or a system without the restriction: no current folder in the
    // search, and the DLLs we know of loaded from the system folder up front.
    if (auto setDirectory = Kernel32Function<SetDllDirectoryFunction>("SetDllDirectoryW"))
        setDirectory(L"");
    for (const wchar_t* name : kPreloadedSystemDlls) LoadSystemLibrary(name);
    Mode() = DllSearchMode::PreloadedFromSystem;
    return Mode();
}

DllSearchMode CurrentDllSearchMode() {
    return Mode();
}

::HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    wchar_t path[MAX_PATH + 1] = {};
    const ::UINT folderLength = ::GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t nameLength = std::wcslen(fileName);
    if (folderLength == 0 || folderLength + 1 + nameLength >= MAX_PATH) return nullptr;
    path[folderLength] = L'\\';
    std::wmemcpy(path + folderLength + 1, fileName, nameLength + 1);
    return ::LoadLibraryExW(path, nullptr, kAlteredSearchPath);
}

}  // namespace swk::win32
