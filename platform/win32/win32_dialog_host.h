// The Win32 host of the setup wizard: dialog 102 from the executable's
// resources, run modally by the system's dialog manager.
//
// - Commands: OK (id 1, also Enter) reaches the wizard only while the OK button
//   is enabled; Cancel (id 2) also for Escape and the close box, even with the
//   Cancel button hidden; any other button while it is visible and enabled.
// - The browse button is a NoFocusButton: a push button whose window procedure
//   consumes WM_SETFOCUS, so it never takes the focus or draws a focus rectangle.
// - Minimised, the window paints the application icon centred; it is also the
//   drag icon.
// - Message boxes are titled with the application name, carry the warning icon
//   and are owned by the active window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/dialog_host.h"

namespace swk::win32 {

class Win32DialogHost final : public app::DialogHost {
public:
    // `instance`: the executable's module handle (its resources hold dialog 102
    // and the icons); `applicationName`: the message box title.
    Win32DialogHost(void* instance, std::string applicationName);

    int RunModal(app::DialogHandler& handler) override;
    void EndDialog(int result) override;

    const std::string& ApplicationName() const override { return applicationName_; }
    void SetWindowIcons(int iconId) override;

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) const override;
    void SetVisible(int id, bool visible) override;
    void SetEnabled(int id, bool enabled) override;
    app::Rect ClientRectOf(int id) const override;
    void Move(int id, app::Rect pixels, bool repaint) override;
    void CreateNoFocusButton(int id, app::Rect pixels, DWORD style, int iconId) override;

    void SetWaitCursor(bool on) override;

    MessageAnswer Show(std::string_view text, MessageButtons buttons) override;

    // The window procedure's side (called from the dialog procedure).
    std::intptr_t HandleMessage(void* window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);

private:
    void* instance_;
    std::string applicationName_;
    app::DialogHandler* handler_ = nullptr;
    void* window_ = nullptr;
    void* icon_ = nullptr;
    int waitCursorDepth_ = 0;
};

// The application name for the running executable: its file name without the
// folder and the extension ("StashwickSetup").
std::string RunningApplicationName();

}  // namespace swk::win32
