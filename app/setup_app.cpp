#include "app/setup_app.h"

#include "app/setup_dialog.h"
#include "platform/system_services.h"

namespace swk::app {

bool SetupApp::InitInstance() {
    ScopedMessageBoxService messages(host_);

    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
    Sys().GetVersionExA(&version);
    if ((version.dwPlatformId & kAcceptedPlatformBits) == 0) {
        ShowMessage(kPlatformMessage);
        return false;
    }
    // No dialog of the setup hosts an ActiveX control, so no container support is enabled.

    SetupDialog dialog(host_);
    mainWindow_ = &dialog;
    ++wizardRuns_;
    host_.RunModal(dialog);  // the result is not looked at
    mainWindow_ = nullptr;
    return false;
}

std::string ApplicationName(std::string_view modulePath) {
    const std::size_t slash = modulePath.find_last_of("\\/");
    std::string_view name =
        slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

}  // namespace swk::app
