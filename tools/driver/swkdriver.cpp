// swkdriver: acts as a user of the Windows setup, step by step. Each argument
// is one step; the driver prints what it sees, one line per step, and stops
// with exit code 1 at the first step that cannot be done in time.
//
//   semaphore            create and hold the product's running-instance semaphore
//   start PATH           start the setup (as the shell does, so its manifest counts)
//   wizard               wait for the wizard window
//   box ANSWER           wait for a message box, print its title, owner and text,
//                        answer it: ok, yes or no (buttons 1, 6, 7)
//   no-box MS            fail when a message box shows within MS milliseconds
//   wait ID TEXT         wait until control ID shows TEXT, visible and enabled
//   click ID             click a wizard button (the click is posted: a handler's
//                        message box would block a sent one)
//   escape | close       press Escape / the window's close box
//   print ID             print a control's text and state
//   screenshot FILE      save the wizard's picture as a BMP file
//   layout               print the wizard's client size, style and caption and
//                        every control: id, class, style, client rectangle
//   exit SECONDS         wait for the setup to end
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/driver/driver_windows.h"

namespace swk::driver {
namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr const char* kProductSemaphoreName = "5E8D1F07-C2A4-4b9e-A3D6-7F10B82C94E5";

struct Driver {
    SetupProcess setup;
    HANDLE semaphore = nullptr;
};

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Narrow(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

bool Fail(const std::string& step, const char* why) {
    std::printf("FAIL %s: %s\n", step.c_str(), why);
    std::fflush(stdout);
    return false;
}

HWND Wizard(const Driver& driver) {
    return WaitForWindow(driver.setup, FindWizard, kStepTimeoutMs);
}

bool Start(Driver& driver, const std::string& path) {
    std::wstring file = Wide(path);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || info.hProcess == nullptr) return false;
    driver.setup.process = info.hProcess;
    driver.setup.id = GetProcessId(info.hProcess);
    std::printf("started\n");
    return true;
}

bool AnswerBox(const Driver& driver, const std::string& answer) {
    const int button = answer == "ok" ? IDOK : answer == "yes" ? IDYES : answer == "no" ? IDNO : 0;
    if (button == 0) return false;
    HWND box = WaitForWindow(driver.setup, FindMessageBox, kStepTimeoutMs);
    if (box == nullptr) return false;
    HWND owner = GetWindow(box, GW_OWNER);
    const char* ownerName = owner == nullptr                    ? "none"
                            : owner == FindWizard(driver.setup) ? "wizard"
                                                                : "other";
    std::printf("box title=%s owner=%s text=%s\n", WindowTextLine(box).c_str(), ownerName,
                WindowTextLine(GetDlgItem(box, kMessageTextId)).c_str());
    std::fflush(stdout);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    // Wait until the box is gone, so that the next step sees what follows it.
    const ULONGLONG end = GetTickCount64() + kStepTimeoutMs;
    while (IsWindow(box) && GetTickCount64() < end) Sleep(kPollMilliseconds);
    return !IsWindow(box);
}

bool NoBox(const Driver& driver, DWORD milliseconds) {
    HWND box = WaitForWindow(driver.setup, FindMessageBox, milliseconds);
    if (box == nullptr) return true;
    std::printf("unexpected box text=%s\n",
                WindowTextLine(GetDlgItem(box, kMessageTextId)).c_str());
    return false;
}

bool WaitForControl(const Driver& driver, int id, const std::string& text) {
    const ULONGLONG end = GetTickCount64() + kStepTimeoutMs;
    while (GetTickCount64() < end) {
        if (HWND wizard = FindWizard(driver.setup)) {
            HWND control = GetDlgItem(wizard, id);
            if (control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control) &&
                WindowTextLine(control) == text)
                return WaitUntilIdle(wizard);
        }
        Sleep(kPollMilliseconds);
    }
    return false;
}

bool Click(const Driver& driver, int id) {
    HWND wizard = Wizard(driver);
    if (wizard == nullptr) return false;
    PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(wizard, id)));
    return true;
}

bool Print(const Driver& driver, int id) {
    HWND wizard = Wizard(driver);
    if (wizard == nullptr) return false;
    HWND control = GetDlgItem(wizard, id);
    if (control == nullptr || !WaitUntilIdle(wizard)) return false;
    std::printf("control %d visible=%d enabled=%d text=%s\n", id, IsWindowVisible(control) ? 1 : 0,
                IsWindowEnabled(control) ? 1 : 0, WindowTextLine(control).c_str());
    return true;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM dialog) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, reinterpret_cast<HWND>(dialog), reinterpret_cast<POINT*>(&rect), 2);
    std::printf("layout control id=%d class=%s style=0x%08lx rect=%ld,%ld,%ld,%ld\n",
                GetDlgCtrlID(control), Narrow(className).c_str(),
                static_cast<unsigned long>(GetWindowLongW(control, GWL_STYLE)), rect.left, rect.top,
                rect.right, rect.bottom);
    return TRUE;
}

bool PrintLayout(const Driver& driver) {
    HWND wizard = Wizard(driver);
    if (wizard == nullptr || !WaitUntilIdle(wizard)) return false;
    RECT client{};
    GetClientRect(wizard, &client);
    std::printf("layout dialog client=%ld,%ld style=0x%08lx caption=%s\n", client.right,
                client.bottom, static_cast<unsigned long>(GetWindowLongW(wizard, GWL_STYLE)),
                WindowTextLine(wizard).c_str());
    EnumChildWindows(wizard, PrintControl, reinterpret_cast<LPARAM>(wizard));
    return true;
}

bool WaitForExit(const Driver& driver, DWORD seconds) {
    if (WaitForSingleObject(driver.setup.process, seconds * 1000) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(driver.setup.process, &code);
    std::printf("exited %lu\n", static_cast<unsigned long>(code));
    return true;
}

bool RunStep(Driver& driver, const std::string& step) {
    const std::size_t space = step.find(' ');
    const std::string verb = step.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : step.substr(space + 1);
    if (verb == "semaphore") {
        driver.semaphore = CreateSemaphoreA(nullptr, 0, 100, kProductSemaphoreName);
        return driver.semaphore != nullptr || Fail(step, "cannot create the semaphore");
    }
    if (verb == "start") return Start(driver, rest) || Fail(step, "cannot start");
    if (driver.setup.process == nullptr) return Fail(step, "nothing started");
    if (verb == "wizard") {
        if (Wizard(driver) == nullptr) return Fail(step, "no wizard");
        std::printf("wizard\n");
        return true;
    }
    if (verb == "box") return AnswerBox(driver, rest) || Fail(step, "no message box");
    if (verb == "no-box")
        return NoBox(driver, static_cast<DWORD>(std::atoi(rest.c_str()))) ||
               Fail(step, "a message box showed");
    if (verb == "wait") {
        const std::size_t at = rest.find(' ');
        const int id = std::atoi(rest.substr(0, at).c_str());
        const std::string text = at == std::string::npos ? std::string() : rest.substr(at + 1);
        return WaitForControl(driver, id, text) || Fail(step, "control not in that state");
    }
    if (verb == "click") return Click(driver, std::atoi(rest.c_str())) || Fail(step, "no wizard");
    if (verb == "escape") return Click(driver, IDCANCEL) || Fail(step, "no wizard");
    if (verb == "close") {
        HWND wizard = Wizard(driver);
        return (wizard != nullptr && PostMessageW(wizard, WM_SYSCOMMAND, SC_CLOSE, 0)) ||
               Fail(step, "no wizard");
    }
    if (verb == "print")
        return Print(driver, std::atoi(rest.c_str())) || Fail(step, "no such control");
    if (verb == "screenshot") {
        HWND wizard = Wizard(driver);
        Sleep(300);  // let the page finish painting
        return (wizard != nullptr && SaveScreenshot(wizard, Wide(rest).c_str())) ||
               Fail(step, "no screenshot");
    }
    if (verb == "layout") return PrintLayout(driver) || Fail(step, "no wizard");
    if (verb == "exit")
        return WaitForExit(driver, static_cast<DWORD>(std::atoi(rest.c_str()))) ||
               Fail(step, "still running");
    return Fail(step, "unknown step");
}

}  // namespace
}  // namespace swk::driver

int wmain(int argc, wchar_t** argv) {
    swk::driver::Driver driver;
    for (int i = 1; i < argc; ++i) {
        const std::string step = swk::driver::Narrow(argv[i]);
        std::printf("> %s\n", step.c_str());
        std::fflush(stdout);
        if (!swk::driver::RunStep(driver, step)) {
            if (driver.setup.process != nullptr) TerminateProcess(driver.setup.process, 1);
            return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}
