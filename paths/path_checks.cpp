#include "paths/path_checks.h"

#include <utility>

#include "paths/text.h"
#include "platform/system_services.h"

namespace swk {
namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kForbiddenInName = "\\/:*?\"<>|";

// A wide text for a W call; empty text is passed as "" rather than null.
const WCHAR* WidePointer(const WideText& text) {
    return text.get() != nullptr ? text.get() : u"";
}

bool IsDriveLetter(char c) {
    return c >= 'A' && c <= 'Z';
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Asks the system for the type of the drive named by `driveName` ("C:").
UINT DriveTypeOf(std::string_view driveName) {
    const std::string root = std::string(driveName) + "\\";
    return Sys().GetDriveTypeA(root.c_str());
}

}  // namespace

// ---- Text operations ----------------------------------------------------------------

std::string TrimWhiteSpace(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    return std::string(text.substr(first, last - first + 1));
}

std::string StripTrailingBackslash(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return std::string(path);
}

std::string SplitLastComponent(std::string& path, char separator) {
    const std::size_t at = path.rfind(separator);
    if (at == std::string::npos) return std::exchange(path, std::string());
    std::string tail = path.substr(at + 1);
    path.erase(at);
    return tail;
}

std::string SplitFirstComponent(std::string& path, char separator) {
    const std::size_t at = path.find(separator);
    if (at == std::string::npos) return std::exchange(path, std::string());
    std::string head = path.substr(0, at);
    path.erase(0, at + 1);
    return head;
}

// ---- Checks -------------------------------------------------------------------------

bool IsValidPathComponent(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || kForbiddenInName.find(c) != std::string_view::npos) return false;
    }
    return true;
}

bool IsWellFormedPath(std::string_view path) {
    const std::size_t units = Utf16Length(path);
    if (units == 0 || units >= kPathLengthLimit) return false;
    if (path.back() == '\\') return false;

    std::string rest(path);
    for (char& c : rest) c = AsciiUpper(c);

    // A drive prefix, "X:" alone or "X:\", must name a letter; any other path
    // keeps its full text, so a relative path of valid names passes.
    if (rest.size() == 2 && rest[1] == ':') {
        if (!IsDriveLetter(rest[0])) return false;
        rest.clear();
    } else if (rest.size() > 2 && rest[1] == ':' && rest[2] == '\\') {
        if (!IsDriveLetter(rest[0])) return false;
        rest.erase(0, 3);
    }

    // Each round removes at least one byte, so the walk ends.
    while (!rest.empty()) {
        const std::string component = SplitFirstComponent(rest, '\\');
        if (!IsValidPathComponent(component)) return false;  // empty ones included
    }
    return true;
}

bool EntryExists(std::string_view path) {
    if (path.empty()) return false;  // names no file or folder
    const WideText widePath = Utf8ToUtf16(path);
    WIN32_FILE_ATTRIBUTE_DATA info{};
    return Sys().GetFileAttributesExW(WidePointer(widePath), GetFileExInfoStandard, &info) != 0;
}

bool PathExists(std::string_view path) {
    const std::string stripped = StripTrailingBackslash(path);
    if (!stripped.empty() && stripped.back() == ':') {
        switch (DriveTypeOf(stripped)) {
            case DRIVE_REMOVABLE:
            case DRIVE_FIXED:
            case DRIVE_REMOTE:
            case DRIVE_CDROM:
                return true;
            default:
                return false;
        }
    }
    return EntryExists(stripped);
}

bool IsExistingPath(std::string_view path) {
    const std::string trimmed = TrimWhiteSpace(path);
    return Utf16Length(trimmed) <= kExistingPathMaxLength && PathExists(trimmed);
}

// ---- Folder creation ----------------------------------------------------------------

DWORD CreateFolderPath(std::string_view path) {
    std::string folder = StripTrailingBackslash(TrimWhiteSpace(path));
    if (Utf16Length(folder) >= kPathLengthLimit) return kFolderPathTooLong;
    if (!IsWellFormedPath(folder)) return kFolderPathMalformed;

    DWORD error = ERROR_SUCCESS;
    {
        const WideText wideFolder = Utf8ToUtf16(folder);
        if (Sys().CreateDirectoryW(WidePointer(wideFolder), nullptr) != 0) return kFolderCreated;
        error = Sys().GetLastError();
    }
    if (error == ERROR_ALREADY_EXISTS) return kFolderCreated;
    if (error != ERROR_PATH_NOT_FOUND) return kFolderRefused;

    // The parent is missing: make it first, then retry this level. Each call
    // works on a strictly shorter parent, so the depth is bounded by the number
    // of components; a path without "\" has an empty parent, which is malformed.
    const std::string last = SplitLastComponent(folder, '\\');
    DWORD result = CreateFolderPath(folder);
    if (result == kFolderCreated) result = CreateFolderPath(folder + "\\" + last);
    return result;
}

bool EnsureFolder(std::string_view path) {
    const std::string folder = StripTrailingBackslash(path);
    if (IsExistingPath(folder)) return true;

    const std::size_t units = Utf16Length(folder);
    if (units < 2) return false;
    if (units == 2) {
        // A bare drive name that IsExistingPath refused; a CD-ROM or RAM disk is no.
        const UINT type = DriveTypeOf(folder);
        return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_REMOTE;
    }
    // Longer than IsExistingPath accepts, or really missing.
    if (EntryExists(folder)) return true;
    return CreateFolderPath(folder) == kFolderCreated;
}

// ---- Shell --------------------------------------------------------------------------

std::uintptr_t ShellOpen(std::string_view target, HWND owner) {
    const WideText wideTarget = Utf8ToUtf16(target);
    const HINSTANCE result =
        Sys().ShellExecuteW(owner, u"open", WidePointer(wideTarget), nullptr, nullptr, SW_RESTORE);
    return static_cast<std::uintptr_t>(result);
}

}  // namespace swk
