#include "userdata/saved_pages.h"

#include <array>
#include <cstdio>

#include "paths/known_folders.h"
#include "paths/path_checks.h"
#include "platform/system_services.h"
#include "userdata/shell_path_list.h"

namespace swk {

static_assert(kMoveFlags == (kQuietFileOperation | FOF_MULTIDESTFILES));

void PreserveSavedPages() {
    const KnownFolderTable& folders = KnownFolders();

    // Data files of the earlier installation.
    ShellDeleteFile(folders.UserDataFolder + "swk.aws");
    ShellDeleteFile(folders.UserDataFolder + "default.aws");
    ShellDeleteFile(folders.SharedDataFolder + "help.bin");
    ShellDeleteFile(folders.UserDataFolder + "help.bin");
    ShellDeleteFile(folders.SharedDataFolder + "swk.bin");

    // The saved-pages store goes to a backup named after the local time, under
    // a name no existing backup holds. When even the last numbered name is
    // taken the store stays where it is rather than replace a backup.
    SYSTEMTIME now{};
    Sys().GetLocalTime(&now);
    const std::string backupName = FreeBackupName(folders.DocumentsFolder, BackupName(now));
    if (!backupName.empty()) {
        const std::array<std::string, 1> sources = {folders.UserDataFolder + kSavedPagesStore};
        const std::array<std::string, 1> targets = {folders.DocumentsFolder + backupName};
        ShellMoveFiles(sources, targets);
    }

    ShellDeleteFile(folders.ProgramFolder + "cmptree.exe");
    for (const char* sample : {"samples1.swk", "samples2.swk", "samples3.swk"})
        ShellDeleteFile(folders.DocumentsFolder + sample);
    for (const char* sample : {"samples1.swk", "samples2.swk", "samples3.swk"})
        ShellDeleteFile(folders.SharedDataFolder + sample);
}

std::string BackupName(const SYSTEMTIME& time) {
    // The same text strftime gives for kBackupNameFormat, built from the
    // system's local time fields directly.
    std::array<char, 64> name{};
    std::snprintf(name.data(), name.size(), "Pages_%04u_%02u_%02u %02u_%02u_%02u.swk",
                  unsigned{time.wYear}, unsigned{time.wMonth}, unsigned{time.wDay},
                  unsigned{time.wHour}, unsigned{time.wMinute}, unsigned{time.wSecond});
    return name.data();
}

std::string FreeBackupName(std::string_view folder, std::string_view name) {
    const std::string folderText(folder);
    if (!EntryExists(folderText + std::string(name))) return std::string(name);

    std::string_view stem = name;
    if (stem.ends_with(kBackupExtension)) stem.remove_suffix(kBackupExtension.size());
    for (int number = 2; number <= kMaxBackupNameNumber; ++number) {
        std::string candidate =
            std::string(stem) + " (" + std::to_string(number) + ")" + std::string(kBackupExtension);
        if (!EntryExists(folderText + candidate)) return candidate;
    }
    return {};
}

int ShellDeleteFile(std::string_view path) {
    const std::array<std::string, 1> sources = {std::string(path)};
    return RunShellFileOperation(FO_DELETE, sources, {}, kQuietFileOperation);
}

int ShellMoveFiles(std::span<const std::string> sources, std::span<const std::string> targets) {
    if (targets.size() < sources.size()) return kBadPathList;
    return RunShellFileOperation(FO_MOVE, sources, targets.first(sources.size()), kMoveFlags);
}

}  // namespace swk
