// Path text operations, path checks and folder creation. Paths are UTF-8 text
// with "\" as separator; every length limit is counted in UTF-16 units, since
// paths reach the system's wide calls as UTF-16. Nothing here shows a message:
// each operation reports through its result and the caller decides.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// ---- Limits (UTF-16 units) ----------------------------------------------------------
// A path of this length or longer cannot be created or checked for syntax.
inline constexpr std::size_t kPathLengthLimit = 260;
// The longest path that IsExistingPath accepts.
inline constexpr std::size_t kExistingPathMaxLength = 251;

// ---- Results of CreateFolderPath (Windows error numbers) ------------------------------
inline constexpr DWORD kFolderCreated = ERROR_SUCCESS;         // exists now
inline constexpr DWORD kFolderRefused = ERROR_ACCESS_DENIED;   // any refusal but a missing parent
inline constexpr DWORD kFolderPathTooLong = ERROR_BAD_LENGTH;  // 260 units or more
inline constexpr DWORD kFolderPathMalformed = ERROR_BAD_PATHNAME;  // not IsWellFormedPath

// ---- Text operations ----------------------------------------------------------------
// Removes white space (space, \t, \n, \v, \f, \r) at both ends.
std::string TrimWhiteSpace(std::string_view text);
// Removes one trailing "\" if there is one.
std::string StripTrailingBackslash(std::string_view path);
// Returns the text after the last `separator` and leaves `path` holding the text
// before it; without a separator returns the whole path and empties it.
std::string SplitLastComponent(std::string& path, char separator);
// The same at the first `separator`: returns the text before it and leaves the rest.
std::string SplitFirstComponent(std::string& path, char separator);

// ---- Checks -------------------------------------------------------------------------
// Not empty, no control byte and none of \ / : * ? " < > |; bytes >= 128 pass.
bool IsValidPathComponent(std::string_view name);
// A bare drive name, a drive root followed by names, or a relative path of names;
// shorter than 260 units and without a trailing, leading or doubled "\".
bool IsWellFormedPath(std::string_view path);
// The system can read the attributes of the file or folder.
bool EntryExists(std::string_view path);
// A drive name ("C:" or "C:\") whose drive type is removable, fixed, remote or
// CD-ROM; otherwise EntryExists.
bool PathExists(std::string_view path);
// Trimmed of white space, at most 251 units long, and PathExists.
bool IsExistingPath(std::string_view path);

// ---- Folder creation ----------------------------------------------------------------
// Creates the folder and its missing parents, outermost first. Returns one of the
// kFolder* codes; folders made before a deeper level fails stay on disk.
DWORD CreateFolderPath(std::string_view path);
// Yes when the folder exists at the end, creating it if needed.
bool EnsureFolder(std::string_view path);

// ---- Shell --------------------------------------------------------------------------
// Opens a program or web address with the shell ("open", SW_RESTORE) and returns
// the shell's result unchanged: above 32 means started.
std::uintptr_t ShellOpen(std::string_view target, HWND owner = NO_WINDOW);

}  // namespace swk
