#include "app/install_sequence.h"

#include <cstdint>

#include "app/setup_dialog.h"
#include "paths/known_folders.h"
#include "paths/path_checks.h"
#include "payload/extraction.h"
#include "payload/file_utils.h"
#include "platform/system_services.h"
#include "registration/browser_addon.h"
#include "registration/install_records.h"
#include "userdata/install_record.h"
#include "userdata/saved_pages.h"
#include "userdata/user_data.h"

namespace swk::app {
namespace {

// True when a product program is running. The semaphore is only probed: its
// count is raised once and the handle closed; the setup never waits on it.
bool ProductIsRunning() {
    SystemServices& sys = Sys();
    const HANDLE semaphore = sys.OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, kProductSemaphoreName);
    if (semaphore == NO_HANDLE) return false;
    LONG previousCount = 0;
    sys.ReleaseSemaphore(semaphore, 1, &previousCount);
    sys.CloseHandle(semaphore);
    return true;
}

// SharedDataFolder and ProgramFolder are both checked, whatever the first
// answer; UserDataFolder only when both said yes.
bool EnsureTargetFolders() {
    const auto& folders = KnownFolders();
    const bool sharedData = EnsureFolder(folders.SharedDataFolder);
    const bool program = EnsureFolder(folders.ProgramFolder);
    if (!sharedData || !program) return false;
    return EnsureFolder(folders.UserDataFolder);
}

void RegisterComponents(SetupDialog& dialog) {
    const std::string& programFolder = KnownFolders().ProgramFolder;
    WaitCursor waitCursor(dialog.Host());
    for (const ProductComponent& component : ProductComponents) {  // swk.ocx, then swk.dll
        if (RegisterComponent(programFolder + std::string(component.fileName)) != 0)
            ShowMessage(component.errorText);
    }
}

}  // namespace

std::vector<std::string> InstallTargets() {
    const auto& folders = KnownFolders();
    std::vector<std::string> targets;
    targets.reserve(kTargetFiles.size());
    for (const TargetFile& file : kTargetFiles) {
        const std::string& folder =
            file.folder == TargetFolder::Program ? folders.ProgramFolder : folders.SharedDataFolder;
        targets.push_back(folder + std::string(file.name));
    }
    return targets;
}

void RunInstallAttempt(SetupDialog& dialog) {
    if (ProductIsRunning()) {
        ShowMessage(kProductRunningMessage);
        return;  // nothing changed; busy was never set
    }
    dialog.busy = 1;

    auto& folders = KnownFolders();
    folders.ProgramFolder =
        StripTrailingBackslash(dialog.Host().GetText(kPathField)) + std::string(kProductSubfolder);

    const bool installed = EnsureTargetFolders() && RunInstallSequence(dialog);
    if (!installed) {
        ShowMessage(kErrorInInstallation);
        dialog.busy = 0;
        return;  // the first page stays as it was; nothing written is undone
    }

    const auto started = static_cast<std::uintptr_t>(ShellOpen(folders.ProgramFolder + "swkh.exe"));
    RemoveAddOnMenuEntries();
    RegisterProductAddOn();
    dialog.ShowInstallResultPage(started > 32 ? kInstalledText : kNotProperlyInstalledText);
}

bool RunInstallSequence(SetupDialog& dialog) {
    const auto& folders = KnownFolders();
    PreserveSavedPages();  // not examined

    const std::vector<std::string> targets = InstallTargets();
    // Normally already deleted by the preservation; a missing file is no error.
    SetFileLastWriteTime(folders.ProgramFolder + "cmptree.exe", kCmptreeTime);

    if (!ExtractPayload(targets, folders.UserDataFolder + std::string(kTemporaryFileName),
                        kPayloadResourceId))
        return false;  // nothing is recorded or registered

    SeedUserData();
    Sys().CoInitialize(nullptr);  // not examined
    WriteUninstallEntry();
    CreateProductShortcuts();
    dialog.specialBuild = ReadOwnVersionString("SpecialBuild");
    dialog.fileVersion = ReadOwnVersionString("FileVersion");
    WriteAppPathsEntry(dialog.specialBuild, dialog.fileVersion);
    RegisterComponents(dialog);
    Sys().CoUninitialize();
    return true;
}

}  // namespace swk::app
