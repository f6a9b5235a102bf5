// What the wizard needs of a window toolkit, and nothing more: controls bound
// by numeric id (text, visibility, enabled state, rectangle, move), the
// run-time icon button, window icons, message boxes, the end of the dialog
// and the wait cursor. Three hosts implement it: the Win32 one, the terminal
// one (terminal_host.h) and the scripted one for tests (scripted_host.h).
//
// The host builds its window from SetupDialogTemplate(), calls the handler's
// OnInitDialog once, and then delivers commands until the handler ends the
// dialog: id 1 for the OK button and Enter (only while OK is enabled), id 2
// for the Cancel button, Escape and the window's close box (always, even with
// the Cancel button hidden), and the id of any other button that is clicked
// while it is visible and enabled.
#pragma once

#include <string>
#include <string_view>

#include "app/dialog_template.h"
#include "platform/message_box.h"

namespace swk::app {

// The result every end of the wizard reports (nothing reads it).
inline constexpr int kCancelResult = 2;

// The side of the dialog the host calls.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    virtual void OnInitDialog() = 0;
    virtual void OnCommand(int id) = 0;
};

// The side of the host the dialog calls. Message boxes go through the
// MessageBoxService interface: the host titles each box with the application
// name, adds the warning icon and makes the dialog (or the active window) the
// owner. SetupApp installs the host as the process's message service.
class DialogHost : public MessageBoxService {
public:
    // ---- The modal run ----------------------------------------------------------
    // Creates the window, runs OnInitDialog, delivers commands until EndDialog;
    // returns the result given to EndDialog.
    virtual int RunModal(DialogHandler& handler) = 0;
    // Ends the modal run once the current handler call has returned.
    virtual void EndDialog(int result) = 0;

    // ---- The window ---------------------------------------------------------------
    virtual const std::string& ApplicationName() const = 0;
    // Large and small window icons (also the minimised picture and drag icon).
    virtual void SetWindowIcons(int iconId) = 0;

    // ---- Controls, by id --------------------------------------------------------------
    virtual void SetText(int id, std::string_view text) = 0;
    virtual std::string GetText(int id) const = 0;
    virtual void SetVisible(int id, bool visible) = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
    // The control's window rectangle converted to the dialog's client
    // coordinates, in pixels.
    virtual Rect ClientRectOf(int id) const = 0;
    virtual void Move(int id, Rect pixels, bool repaint) = 0;
    // A push button that consumes the keyboard-focus notification (it never
    // takes the focus or draws a focus rectangle), with no text, the given
    // window style and an icon resource as its image.
    virtual void CreateNoFocusButton(int id, Rect pixels, DWORD style, int iconId) = 0;

    // ---- Feedback --------------------------------------------------------------------
    virtual void SetWaitCursor(bool on) = 0;
};

// Shows the wait cursor for the life of the guard.
class WaitCursor {
public:
    explicit WaitCursor(DialogHost& host) : host_(host) { host_.SetWaitCursor(true); }
    ~WaitCursor() { host_.SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    DialogHost& host_;
};

}  // namespace swk::app
