// Windows path rules for the simulated machine: a path names a drive letter and
// a list of components. Backslash and forward slash both separate components;
// "." and ".." are folded; a path without a drive ("\x\y" or "x\y") is taken
// from the root of drive C:, the machine's current drive and folder.
// Components that Windows refuses as file names are reported as invalid.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace swk::sim {

inline constexpr char kCurrentDrive = 'C';
inline constexpr std::size_t kMaxComponentLength = 255;
inline constexpr std::size_t kMaxPathComponents = 512;

struct WindowsPath {
    char drive = 0;                       // upper-case letter
    std::vector<std::string> components;  // empty: the drive root
    bool valid = false;                   // false: ERROR_INVALID_NAME
    bool IsRoot() const { return components.empty(); }
    std::string Text() const;  // "C:\a\b", "C:\" for the root
};

WindowsPath ParseWindowsPath(std::string_view path);
// A name Windows refuses: <>:"|?*, control characters, a trailing dot or
// space, a reserved device name (CON, NUL, COM1 ... with or without extension).
bool IsForbiddenName(std::string_view name);

}  // namespace swk::sim
