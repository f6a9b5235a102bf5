// The shell's file operation with its path lists: each path as UTF-16 followed
// by one zero unit, and one more zero unit after the last path.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI |
// FOF_NO_CONNECTED_ELEMENTS: no window, yes to everything, final deletions.
inline constexpr FILEOP_FLAGS kQuietFileOperation = FOF_SILENT | FOF_NOCONFIRMATION |
                                                    FOF_NOCONFIRMMKDIR | FOF_NOERRORUI |
                                                    FOF_NO_CONNECTED_ELEMENTS;  // 0x2614
// The status returned without calling the shell when a list cannot be built.
inline constexpr int kBadPathList = static_cast<int>(ERROR_INVALID_PARAMETER);

// The list of `paths` in order. Nothing when a path is empty or does not
// convert to UTF-16 without a zero unit: such a path would end the list early
// and shift every later source against its target.
std::optional<std::u16string> ShellPathList(std::span<const std::string> paths);

// SHFileOperationW with no window, `operation` (FO_*), the two lists built from
// `sources` and `targets` (no target list when `targets` is empty) and `flags`.
// Returns the shell's result, non-zero also for a zero result whose aborted
// flag is set, and kBadPathList when a list cannot be built.
int RunShellFileOperation(UINT operation, std::span<const std::string> sources,
                          std::span<const std::string> targets, FILEOP_FLAGS flags);

}  // namespace swk
