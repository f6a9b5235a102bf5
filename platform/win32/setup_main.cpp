// StashwickSetup.exe: restricts DLL loading to the system folder before
// anything else, installs the real Windows backend and runs the setup.
#include "app/setup_app.h"
#include "platform/win32/safe_dll_loading.h"
#include "platform/win32/win32_dialog_host.h"
#include "platform/win32/win32_system_services.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(::HINSTANCE instance, ::HINSTANCE, ::LPSTR, int) {
    swk::win32::RestrictDllSearchToSystemFolder();

    swk::win32::Win32SystemServices services;
    swk::ScopedSystemServices installed(services);

    swk::win32::Win32DialogHost host(instance, swk::win32::RunningApplicationName());
    swk::app::SetupApp application(host);
    application.InitInstance();  // always false: the process ends with the wizard
    return 0;
}
