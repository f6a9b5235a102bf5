// The windows of the setup process as the driver sees them: the wizard (found
// by its caption) and message boxes (a top-level dialog of the process with a
// static text control 65535). Every wait polls with a bound.
#pragma once

#include <windows.h>

#include <string>

namespace swk::driver {

inline constexpr const wchar_t* kWizardCaption =
    L"SWK Program (and SWK Internet Explorer addon) Setup";
inline constexpr int kMessageTextId = 65535;
inline constexpr DWORD kPollMilliseconds = 50;
inline constexpr UINT kSendTimeoutMs = 30000;
inline constexpr DWORD_PTR kMaxTextUnits = 32 * 1024;

struct SetupProcess {
    HANDLE process = nullptr;
    DWORD id = 0;
};

// The visible wizard window of the process, or null.
HWND FindWizard(const SetupProcess& setup);
// A visible message box of the process, or null.
HWND FindMessageBox(const SetupProcess& setup);

// Polls `find` until it gives a window or `timeoutMs` passes (or the process ends).
template <class Find>
HWND WaitForWindow(const SetupProcess& setup, Find find, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND found = find(setup)) return found;
        if (WaitForSingleObject(setup.process, 0) == WAIT_OBJECT_0) return nullptr;
        if (GetTickCount64() >= end) return nullptr;
        Sleep(kPollMilliseconds);
    }
}

// Returns once the window's thread has finished what it was doing (a command
// handler, say) and takes messages again, possibly in a message box's loop.
bool WaitUntilIdle(HWND window);

// The text of a window as UTF-8, with carriage returns and line feeds written
// as \r and \n, so that it fits on one line.
std::string WindowTextLine(HWND window);

// Saves the window's picture as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const wchar_t* path);

}  // namespace swk::driver
