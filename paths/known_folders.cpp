#include "paths/known_folders.h"

#include <algorithm>
#include <array>

#include "paths/text.h"
#include "platform/system_services.h"

namespace swk {
namespace {

// A UTF-16 buffer of `units` units (no terminator needed) as UTF-8 text.
std::string WideBufferToUtf8(const WCHAR* buffer, std::size_t units) {
    if (units == 0) return {};
    return Utf16ToUtf8(WideText(Sys().SysAllocStringLen(buffer, static_cast<UINT>(units))));
}

// Units up to the first zero unit, at most `limit`.
std::size_t BoundedWideLength(const WCHAR* buffer, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && buffer[n] != 0) ++n;
    return n;
}

}  // namespace

KnownFolderTable& KnownFolders() {
    static KnownFolderTable table;
    return table;
}

std::string& SetupPath() {
    static std::string setupPath;
    return setupPath;
}

void ResetKnownFolders() {
    KnownFolders() = KnownFolderTable{};
    SetupPath().clear();
}

std::string SpecialFolderPath(int csidl) {
    // One unit more than the system may fill, so the text is always terminated.
    std::array<WCHAR, kFolderBufferUnits + 1> buffer{};
    // The call's own result is not consulted: a failed lookup leaves the buffer empty.
    Sys().SHGetSpecialFolderPathW(NO_WINDOW, buffer.data(), csidl, TRUE);
    return WideBufferToUtf8(buffer.data(), BoundedWideLength(buffer.data(), kFolderBufferUnits));
}

std::string ReadShellFolderValue(std::string_view valueName) {
    HKEY key = NO_KEY;
    if (Sys().RegOpenKeyA(HKEY_CURRENT_USER, kShellFoldersKey, &key) != ERROR_SUCCESS) return {};

    std::string result;
    std::array<WCHAR, kFolderBufferUnits> buffer{};
    DWORD size = static_cast<DWORD>(sizeof(buffer));  // 522 bytes
    {
        WideText name = Utf8ToUtf16(valueName);
        const WCHAR* namePointer = name.get() != nullptr ? name.get() : u"";
        LONG status = Sys().RegQueryValueExW(key, namePointer, nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (status == ERROR_SUCCESS) {
            std::size_t returnedUnits = std::min<std::size_t>(size / sizeof(WCHAR), buffer.size());
            result =
                WideBufferToUtf8(buffer.data(), BoundedWideLength(buffer.data(), returnedUnits));
        }
    }
    Sys().RegCloseKey(key);
    return result;
}

void ResolveKnownFolders(std::string_view productName) {
    const std::string suffix =
        "\\" + std::string(kMakerName) + "\\" + std::string(productName) + "\\";
    KnownFolderTable& folders = KnownFolders();

    // The separator or suffix is appended as is: a folder reported as a drive
    // root ends up with two backslashes, and a failed lookup leaves "\" or the
    // suffix alone.
    folders.SharedDataFolder = SpecialFolderPath(CSIDL_COMMON_APPDATA) + suffix;
    folders.DefaultProgramRoot = SpecialFolderPath(CSIDL_PROGRAM_FILES) + suffix;
    folders.CommonProgramsMenuFolder = SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + "\\";
    folders.CommonDesktopFolder = SpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\";
    folders.DocumentsFolder = SpecialFolderPath(CSIDL_PERSONAL) + "\\";
    folders.CommonStartupFolder = SpecialFolderPath(CSIDL_COMMON_STARTUP) + "\\";
    folders.LocalDataFolder = SpecialFolderPath(CSIDL_LOCAL_APPDATA) + suffix;

    const std::string lowData = ReadShellFolderValue(kLowDataShellFolderValue);
    folders.LowDataFolder = lowData.empty() ? folders.LocalDataFolder : lowData + suffix;
    folders.UserDataFolder = folders.LowDataFolder;
}

}  // namespace swk
