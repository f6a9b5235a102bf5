// The few Windows types, constants and records that the portable logic passes
// to SystemServices. Written from the published API reference; the layouts
// that cross into a real Windows call (OSVERSIONINFOA, SHFILEOPSTRUCTW, ...)
// are only read field by field by the Win32 backend, never reinterpreted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace swk {

// ---- Scalar types -----------------------------------------------------------
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using REGSAM = std::uint32_t;
using WCHAR = char16_t;
using BSTR = WCHAR*;  // counted UTF-16 text from SysAllocString*; null = empty

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// ---- Opaque handles -----------------------------------------------------------
// Each kind of handle is a distinct type so that a key can never be passed
// where a file is expected. The values are whatever the backend hands out.
enum class HKEY : std::uintptr_t {};
enum class HANDLE : std::uintptr_t {};
enum class HMODULE : std::uintptr_t {};
enum class HRSRC : std::uintptr_t {};
enum class HGLOBAL : std::uintptr_t {};
enum class HWND : std::uintptr_t {};
enum class HINSTANCE : std::uintptr_t {};  // ShellExecuteW result: > 32 = started
enum class FARPROC : std::uintptr_t {};

// Predefined roots carry the same bit pattern as on Windows: a 32-bit value,
// sign-extended on 64-bit builds.
constexpr HKEY PredefinedKey(std::uint32_t value) {
    return HKEY{static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)))};
}
inline constexpr HKEY HKEY_CLASSES_ROOT = PredefinedKey(0x80000000u);
inline constexpr HKEY HKEY_CURRENT_USER = PredefinedKey(0x80000001u);
inline constexpr HKEY HKEY_LOCAL_MACHINE = PredefinedKey(0x80000002u);
inline constexpr HKEY HKEY_USERS = PredefinedKey(0x80000003u);
inline constexpr HKEY HKEY_PERFORMANCE_DATA = PredefinedKey(0x80000004u);
inline constexpr HKEY HKEY_CURRENT_CONFIG = PredefinedKey(0x80000005u);
inline constexpr HKEY HKEY_DYN_DATA = PredefinedKey(0x80000006u);
inline constexpr HKEY NO_KEY = HKEY{0};

inline constexpr HANDLE NO_HANDLE = HANDLE{0};
inline constexpr HANDLE INVALID_HANDLE_VALUE = HANDLE{~std::uintptr_t{0}};
inline constexpr HMODULE NO_MODULE = HMODULE{0};
inline constexpr HWND NO_WINDOW = HWND{0};
inline constexpr FARPROC NO_PROC = FARPROC{0};

// A numeric resource identifier or type passed where a name is expected.
inline const char* MAKEINTRESOURCEA(std::uint16_t id) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id));  // NOLINT
}
inline bool IS_INTRESOURCE(const char* name) {
    return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;  // NOLINT
}
inline constexpr std::uint16_t RT_RCDATA_ID = 10;

// ---- Error numbers ------------------------------------------------------------
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_BAD_LENGTH = 24;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr DWORD ERROR_PRIVILEGE_NOT_HELD = 1314;
inline constexpr DWORD ERROR_CANCELLED = 1223;

// ---- HRESULTs -----------------------------------------------------------------
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
    return error == 0 ? S_OK : static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

// ---- Registry -----------------------------------------------------------------
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// ---- Files --------------------------------------------------------------------
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};
constexpr std::uint64_t FileTimeValue(FILETIME t) {
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}
constexpr FILETIME MakeFileTime(std::uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline constexpr int GetFileExInfoStandard = 0;
struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
};

struct ULARGE_INTEGER {
    std::uint64_t QuadPart = 0;
};

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

// ---- LZ expansion -------------------------------------------------------------
inline constexpr std::size_t OFS_MAXPATHNAME = 128;
struct OFSTRUCT {  // 136 bytes, as the LZ open call expects
    BYTE cBytes = 0;
    BYTE fFixedDisk = 0;
    WORD nErrCode = 0;
    WORD Reserved1 = 0;
    WORD Reserved2 = 0;
    char szPathName[OFS_MAXPATHNAME] = {};
};
static_assert(sizeof(OFSTRUCT) == 136);
inline constexpr WORD OF_READ = 0x0000;
inline constexpr WORD OF_SHARE_DENY_WRITE = 0x0020;
// LZ error results (negative)
inline constexpr INT LZERROR_BADINHANDLE = -1;
inline constexpr INT LZERROR_BADOUTHANDLE = -2;
inline constexpr INT LZERROR_READ = -3;
inline constexpr INT LZERROR_WRITE = -4;
inline constexpr INT LZERROR_GLOBALLOC = -5;
inline constexpr INT LZERROR_BADVALUE = -7;
inline constexpr INT LZERROR_UNKNOWNALG = -8;

// ---- Text -----------------------------------------------------------------------
inline constexpr UINT CP_UTF8 = 65001;

// ---- Shell ----------------------------------------------------------------------
inline constexpr int CSIDL_PERSONAL = 0x05;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x17;
inline constexpr int CSIDL_COMMON_STARTUP = 0x18;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x19;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x1c;
inline constexpr int CSIDL_COMMON_APPDATA = 0x23;
inline constexpr int CSIDL_PROGRAM_FILES = 0x26;
inline constexpr std::size_t MAX_PATH = 260;

inline constexpr UINT FO_MOVE = 1;
inline constexpr UINT FO_COPY = 2;
inline constexpr UINT FO_DELETE = 3;
inline constexpr UINT FO_RENAME = 4;
using FILEOP_FLAGS = WORD;
inline constexpr FILEOP_FLAGS FOF_MULTIDESTFILES = 0x1;
inline constexpr FILEOP_FLAGS FOF_SILENT = 0x4;
inline constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x10;
inline constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x40;
inline constexpr FILEOP_FLAGS FOF_NOCONFIRMMKDIR = 0x200;
inline constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x400;
inline constexpr FILEOP_FLAGS FOF_NO_CONNECTED_ELEMENTS = 0x2000;

struct SHFILEOPSTRUCTW {
    HWND hwnd = NO_WINDOW;
    UINT wFunc = 0;
    const WCHAR* pFrom = nullptr;  // list: each path ends in a zero unit, list ends in another
    const WCHAR* pTo = nullptr;
    FILEOP_FLAGS fFlags = 0;
    BOOL fAnyOperationsAborted = FALSE;
    void* hNameMappings = nullptr;
    const WCHAR* lpszProgressTitle = nullptr;
};

inline constexpr int SW_RESTORE = 9;
inline constexpr std::uintptr_t SE_ERR_FNF = 2;
inline constexpr std::uintptr_t SE_ERR_PNF = 3;
inline constexpr std::uintptr_t SE_ERR_ACCESSDENIED = 5;
inline constexpr std::uintptr_t SE_ERR_NOASSOC = 31;

// ---- COM ------------------------------------------------------------------------
struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};
constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr GUID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The two interfaces of the shell's link object that the setup uses, with
// only the methods it calls. The Win32 backend adapts the real COM objects.
class IPersistFile {
public:
    virtual HRESULT Save(const WCHAR* fileName, BOOL remember) = 0;
    virtual DWORD Release() = 0;

protected:
    ~IPersistFile() = default;
};

class IShellLinkA {
public:
    virtual HRESULT SetArguments(const char* arguments) = 0;
    virtual HRESULT SetPath(const char* path) = 0;
    virtual HRESULT SetDescription(const char* description) = 0;
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;  // IID_IPersistFile
    virtual DWORD Release() = 0;

protected:
    ~IShellLinkA() = default;
};

// ---- Semaphore, platform, privileges -----------------------------------------------
inline constexpr DWORD SEMAPHORE_ALL_ACCESS = 0x1F0003;

struct OSVERSIONINFOA {  // 148 bytes
    DWORD dwOSVersionInfoSize = 0;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);
inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

inline constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x20;
inline constexpr DWORD TOKEN_QUERY = 0x8;
inline constexpr DWORD SE_PRIVILEGE_ENABLED = 0x2;
inline constexpr const char* SE_SHUTDOWN_NAME = "SeShutdownPrivilege";
struct LUID {
    DWORD LowPart = 0;
    LONG HighPart = 0;
};
struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes = 0;
};
struct TOKEN_PRIVILEGES {  // with room for the one privilege the setup adjusts
    DWORD PrivilegeCount = 0;
    LUID_AND_ATTRIBUTES Privileges[1];
};
inline constexpr UINT EWX_REBOOT = 0x2;

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;
    WORD wDayOfWeek = 0;
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

}  // namespace swk
