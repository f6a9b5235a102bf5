// SetupApp: the process's one application object. Its start checks the
// platform family, runs SetupDialog modally on the given host and returns
// false, so that the process ends when the wizard closes.
#pragma once

#include <string>
#include <string_view>

#include "app/dialog_host.h"

namespace swk::app {

inline constexpr std::string_view kPlatformMessage = "Only Windows 95, 98 , NT4.0, 2000, ME, XP";
// Platform identifier bits accepted: 2 the Windows NT family, 1 the Windows 9x family.
inline constexpr DWORD kAcceptedPlatformBits = 2 | 1;

class SetupDialog;

class SetupApp {
public:
    explicit SetupApp(DialogHost& host) : host_(host) {}

    // The per-instance start: installs the host as the message service, checks
    // the platform, runs the wizard. Always false: the process ends after it.
    bool InitInstance();

    // The wizard while it runs, null otherwise.
    SetupDialog* MainWindow() const { return mainWindow_; }
    // How many times the wizard was opened (0 or 1).
    int WizardRuns() const { return wizardRuns_; }

private:
    DialogHost& host_;
    SetupDialog* mainWindow_ = nullptr;
    int wizardRuns_ = 0;
};

// The message box title: the setup file's own name without its folder and extension.
std::string ApplicationName(std::string_view modulePath);

}  // namespace swk::app
