// The shell of the simulated machine: special folders, file operations on
// path lists, and starting programs or opening addresses.
#include <algorithm>

#include "platform/sim/machine_state.h"
#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

constexpr std::size_t kMaxShellListUnits = 1 << 20;
constexpr std::uintptr_t kStartedResult = 42;  // any value above 32 means "started"

std::optional<std::vector<std::string>> ReadPathList(const WCHAR* list) {
    std::vector<std::string> paths;
    if (!list) return std::nullopt;
    std::size_t start = 0;
    for (std::size_t i = 0; i < kMaxShellListUnits; ++i) {
        if (list[i] != 0) continue;
        if (i == start) return paths;
        paths.push_back(EncodeUtf8(std::u16string_view(list + start, i - start)));
        start = i + 1;
    }
    return std::nullopt;
}

std::string LastComponent(const WindowsPath& path) {
    return path.components.empty() ? std::string() : path.components.back();
}

// The machine's shell link object: IShellLinkA and IPersistFile on one object.
}  // namespace

// ---- Shell
// ----------------------------------------------------------------------------------------

BOOL SimulatedMachine::SHGetSpecialFolderPathW(HWND, WCHAR* path, int csidl, BOOL create) {
    State& s = *state_;
    if (path) path[0] = 0;
    if (s.Injected(Op::SHGetSpecialFolderPathW)) return FALSE;
    if (!path) return s.Fail(ERROR_INVALID_PARAMETER);
    for (const auto& entry : s.profile.specialFoldersUnresolvable)
        if (ParseInteger(entry) == csidl) return s.Fail(ERROR_FILE_NOT_FOUND);
    std::string folder = SpecialFolderPath(s.profile, csidl);
    if (folder.empty()) return s.Fail(ERROR_INVALID_PARAMETER);
    ResolvedPath r = s.Resolve(folder);
    if (r.error) return s.Fail(r.error);
    if (!r.exists) {
        if (!create) return s.Fail(ERROR_FILE_NOT_FOUND);
        if (DWORD error = s.CreateFolderTree(r)) return s.Fail(error);
    }
    std::u16string wide = Utf8ToWide(folder);
    if (wide.size() >= MAX_PATH) return s.Fail(ERROR_BAD_PATHNAME);
    std::copy(wide.begin(), wide.end(), path);
    path[wide.size()] = 0;
    return TRUE;
}

namespace {

// Checks that nothing at or below a resolved path keeps it from being removed.
DWORD RemovalBlocker(const SimulatedMachine::State& s, const ResolvedPath& r) {
    if (s.IsWriteDenied(r.key)) return ERROR_ACCESS_DENIED;
    auto blocked = [&](const std::string& key) -> DWORD {
        if (s.IsLockedImage(key)) return ERROR_ACCESS_DENIED;
        if (s.HasOpenHandles(key) &&
            s.SharingConflict(key, 0x00010000, FILE_SHARE_READ | FILE_SHARE_WRITE))
            return ERROR_SHARING_VIOLATION;
        return 0;
    };
    if (!r.isDirectory) return blocked(r.key);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(r.host, ec), end; !ec && it != end; it.increment(ec)) {
        std::string key = r.key;
        for (const auto& part : fs::relative(it->path(), r.host))
            key += "\\" + FoldCase(part.string());
        if (DWORD error = blocked(key)) return error;
    }
    return 0;
}

// Moves the read-only marks of `from` (and all below it) to `to`, or drops them.
void CarryAttributes(SimulatedMachine::State& s, const std::string& from, const std::string* to,
                     bool keepSource) {
    std::vector<std::pair<std::string, std::string>> moved;
    for (const auto& key : s.readOnly)
        if (key == from || key.starts_with(from + "\\"))
            moved.emplace_back(key, to ? *to + key.substr(from.size()) : std::string());
    for (const auto& [oldKey, newKey] : moved) {
        if (!keepSource) s.readOnly.erase(oldKey);
        if (to) s.readOnly.insert(newKey);
    }
    if (!moved.empty()) s.SaveAttributes();
}

std::uint64_t TreeSize(const fs::path& host) {
    std::error_code ec;
    if (!fs::is_directory(host, ec)) return fs::file_size(host, ec);
    std::uint64_t total = 0;
    for (fs::recursive_directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) total += it->file_size(ec);
    return total;
}

DWORD CopyTree(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::is_directory(from, ec)) {
        fs::create_directories(to, ec);
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
            if (DWORD error = CopyTree(it->path(), to / it->path().filename())) return error;
        return 0;
    }
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return ERROR_ACCESS_DENIED;
    SetHostFileTime(to, ToFileTime(from));  // a copy keeps its last-write time
    return 0;
}

}  // namespace

int SimulatedMachine::SHFileOperationW(SHFILEOPSTRUCTW* operation) {
    State& s = *state_;
    if (!operation) return static_cast<int>(ERROR_INVALID_PARAMETER);
    operation->fAnyOperationsAborted = FALSE;
    if (auto error = s.Injected(Op::SHFileOperationW)) return static_cast<int>(*error);
    auto sources = ReadPathList(operation->pFrom);
    if (!sources || sources->empty()) return static_cast<int>(ERROR_INVALID_PARAMETER);

    // Deletion is final: the machine has no recycle bin, whatever the flags say.
    auto remove = [&](const std::string& source) -> DWORD {
        ResolvedPath r = s.Resolve(source);
        if (r.error) return r.error;
        if (!r.exists) return r.MissingError();
        if (r.path.IsRoot()) return ERROR_ACCESS_DENIED;
        if (DWORD blocker = RemovalBlocker(s, r)) return blocker;
        std::error_code ec;
        fs::remove_all(r.host, ec);
        CarryAttributes(s, r.key, nullptr, false);
        return ec ? ERROR_ACCESS_DENIED : 0;
    };
    auto transfer = [&](const std::string& source, const std::string& target, bool move) -> DWORD {
        ResolvedPath from = s.Resolve(source), to = s.Resolve(target);
        if (from.error) return from.error;
        if (!from.exists) return from.MissingError();
        if (to.error) return to.error;
        if (from.key == to.key) return 0;
        if (from.path.IsRoot() || to.path.IsRoot() || to.key.starts_with(from.key + "\\"))
            return ERROR_ACCESS_DENIED;
        if (move)
            if (DWORD blocker = RemovalBlocker(s, from)) return blocker;
        if (s.IsWriteDenied(to.key)) return ERROR_ACCESS_DENIED;
        if (to.exists) {
            if (to.isDirectory != from.isDirectory) return ERROR_ACCESS_DENIED;
            if (DWORD blocker = RemovalBlocker(s, to)) return blocker;
        }
        const DriveProfile* drive = s.Drive(to.path.drive);
        std::uint64_t size = move && from.path.drive == to.path.drive ? 0 : TreeSize(from.host);
        std::uint64_t& used = s.bytesWritten[to.path.drive];
        if (drive->fillsAfterBytes && used + size > *drive->fillsAfterBytes) return ERROR_DISK_FULL;
        std::error_code ec;
        fs::create_directories(to.host.parent_path(),
                               ec);  // target folders are made without asking
        if (to.exists && !to.isDirectory) fs::remove(to.host, ec);
        CarryAttributes(s, to.key, nullptr, false);
        used += size;
        if (!move) {
            if (DWORD error = CopyTree(from.host, to.host)) return error;
            CarryAttributes(s, from.key, &to.key, true);
            return 0;
        }
        fs::rename(from.host, to.host, ec);
        if (ec) {
            if (DWORD error = CopyTree(from.host, to.host)) return error;
            fs::remove_all(from.host, ec);
        }
        CarryAttributes(s, from.key, &to.key, false);
        return 0;
    };

    DWORD result = 0;
    if (operation->wFunc == FO_DELETE) {
        for (const auto& source : *sources)
            if ((result = remove(source)) != 0) break;
    } else if (operation->wFunc == FO_MOVE || operation->wFunc == FO_COPY ||
               operation->wFunc == FO_RENAME) {
        auto targets = ReadPathList(operation->pTo);
        bool perFile = (operation->fFlags & FOF_MULTIDESTFILES) || operation->wFunc == FO_RENAME;
        if (!targets || targets->empty() || (perFile && targets->size() < sources->size()))
            return static_cast<int>(ERROR_INVALID_PARAMETER);
        // One target: a folder receives the sources by name, a single source may be renamed.
        ResolvedPath single = s.Resolve(targets->front());
        bool intoFolder =
            !perFile && (sources->size() > 1 || (single.exists && single.isDirectory));
        for (std::size_t i = 0; i < sources->size() && result == 0; ++i) {
            std::string target = perFile ? (*targets)[i] : targets->front();
            if (intoFolder) target += "\\" + LastComponent(ParseWindowsPath((*sources)[i]));
            result = transfer((*sources)[i], target, operation->wFunc != FO_COPY);
        }
    } else {
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    if (result) operation->fAnyOperationsAborted = TRUE;
    return static_cast<int>(result);
}

HINSTANCE SimulatedMachine::ShellExecuteW(HWND, const WCHAR*, const WCHAR* file,
                                          const WCHAR* parameters, const WCHAR*, int) {
    State& s = *state_;
    if (auto error = s.Injected(Op::ShellExecuteW))
        return HINSTANCE{*error <= 32 ? *error : SE_ERR_ACCESSDENIED};
    std::string text = WideToUtf8(file);
    std::string folded = FoldCase(text);
    if (folded.starts_with("HTTP://") || folded.starts_with("HTTPS://")) {
        s.AppendJournal("open " + text);
        return HINSTANCE{kStartedResult};
    }
    ResolvedPath r = s.Resolve(text);
    if (text.empty() || r.error || !r.exists) {
        DWORD error = text.empty() ? ERROR_FILE_NOT_FOUND : r.error ? r.error : r.MissingError();
        s.Fail(error);
        return HINSTANCE{error == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF};
    }
    if (r.isDirectory) {
        s.AppendJournal("open " + text);
        return HINSTANCE{kStartedResult};
    }
    std::string arguments = WideToUtf8(parameters);
    s.AppendJournal("start " + text + (arguments.empty() ? "" : " " + arguments));
    // A started program stays running for the rest of this process; its file is in use.
    if (FoldCase(text).ends_with(".EXE")) s.startedPrograms.insert(r.key);
    return HINSTANCE{kStartedResult};
}

}  // namespace swk::sim
