#include "userdata/user_data.h"

#include <array>
#include <string>

#include "paths/known_folders.h"
#include "paths/path_checks.h"
#include "userdata/shell_path_list.h"

namespace swk {

void SeedUserData() {
    const KnownFolderTable& folders = KnownFolders();

    // The shipped samples always replace the user's copies.
    for (const char* sample : {"samples1.swk", "samples2.swk", "samples3.swk"})
        CopyWithShell(folders.SharedDataFolder + sample, folders.DocumentsFolder);

    // The data and help files only when the user has none yet. A file whose
    // path is too long for IsExistingPath is still the user's own: asking the
    // system directly keeps it from being replaced.
    for (const char* name : {"swk.bin", "help.bin"}) {
        const std::string target = folders.UserDataFolder + name;
        if (IsExistingPath(target) || EntryExists(target)) continue;
        CopyWithShell(folders.SharedDataFolder + name, target);
    }
}

int CopyWithShell(std::string_view source, std::string_view target) {
    const std::array<std::string, 1> sources = {std::string(source)};
    const std::array<std::string, 1> targets = {std::string(target)};
    return RunShellFileOperation(FO_COPY, sources, targets, kQuietFileOperation);
}

}  // namespace swk
