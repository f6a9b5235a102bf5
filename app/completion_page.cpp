// The wizard's last page (page 2) and the restart command.
#include <string>

#include "app/setup_dialog.h"
#include "paths/path_checks.h"
#include "platform/system_services.h"

namespace swk::app {
namespace {

// True when the shutdown privilege could be enabled in the setup's own token.
// AdjustTokenPrivileges reports success even when it assigned nothing; only
// GetLastError right after it tells whether the privilege is held.
bool EnableShutdownPrivilege() {
    SystemServices& sys = Sys();
    HANDLE token = NO_HANDLE;
    if (!sys.OpenProcessToken(sys.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                              &token))
        return false;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool granted = false;
    if (sys.LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
        sys.AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        granted = sys.GetLastError() == 0;
    }
    sys.CloseHandle(token);  // the token is needed no longer
    return granted;
}

}  // namespace

std::string LatestVersionAddress(std::string_view specialBuild) {
    std::string address(kLatestVersionAddress);
    if (!specialBuild.empty()) address.append("&A=").append(specialBuild);
    return address;
}

void SetupDialog::ShowCompletionPage(bool openLatestVersionPage) {
    host_.SetEnabled(kOkButton, false);  // no second press while the page is being opened
    const std::string address = LatestVersionAddress(specialBuild);
    if (openLatestVersionPage) ShellOpen(address);  // not examined
    host_.SetEnabled(kOkButton, true);
    host_.SetVisible(kCancelButton, true);
    host_.SetText(kOkButton, kRunProgramText);
    host_.SetVisible(kLatestVersionNote, false);

    const bool mayRestart = EnableShutdownPrivilege();

    host_.SetText(kInfoText, kRestartAdvice);  // InfoText keeps its enlarged size
    host_.SetText(kOkButton, kRunProgramText);
    host_.SetText(kCancelButton, kCloseText);
    if (mayRestart) host_.SetVisible(kRestartButton, true);
}

void SetupDialog::RestartWindows() {
    if (!Sys().ExitWindowsEx(EWX_REBOOT, 0)) ShowMessage(kErrorReboot);
    // Otherwise the system restarts; the setup does nothing further of its own.
}

}  // namespace swk::app
