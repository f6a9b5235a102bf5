#include "userdata/shell_path_list.h"

#include "paths/text.h"
#include "platform/system_services.h"

namespace swk {
namespace {

// The status for a zero result whose aborted flag is set.
constexpr int kOperationAborted = static_cast<int>(ERROR_CANCELLED);

}  // namespace

std::optional<std::u16string> ShellPathList(std::span<const std::string> paths) {
    std::u16string list;
    for (const std::string& path : paths) {
        const WideText wide = Utf8ToUtf16(path);
        if (wide.empty()) return std::nullopt;
        const std::u16string_view units(wide.get(), Utf16Length(path));
        if (units.find(u'\0') != std::u16string_view::npos) return std::nullopt;
        list.append(units);
        list.push_back(u'\0');
    }
    list.push_back(u'\0');
    return list;
}

int RunShellFileOperation(UINT operation, std::span<const std::string> sources,
                          std::span<const std::string> targets, FILEOP_FLAGS flags) {
    const std::optional<std::u16string> from = ShellPathList(sources);
    std::optional<std::u16string> to;
    if (!targets.empty()) to = ShellPathList(targets);
    if (!from || (!targets.empty() && !to)) return kBadPathList;

    SHFILEOPSTRUCTW request{};
    request.hwnd = NO_WINDOW;
    request.wFunc = operation;
    request.pFrom = from->c_str();
    request.pTo = to ? to->c_str() : nullptr;
    request.fFlags = flags;
    const int result = Sys().SHFileOperationW(&request);
    if (result == 0 && request.fAnyOperationsAborted != FALSE) return kOperationAborted;
    return result;
}

}  // namespace swk
