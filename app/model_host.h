// A dialog host without a real window: it keeps every control of dialog 102
// as plain state (text, visibility, enabled state, pixel rectangle), runs the
// modal loop and records each message box. The scripted and terminal hosts
// build on it and add only where commands and answers come from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_host.h"

namespace swk::app {

struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::StaticText;
    std::string name;
    std::string text;
    bool visible = true;
    bool enabled = true;
    Rect pixels;
    DWORD style = 0;
    int iconId = 0;        // image of an icon button
    bool noFocus = false;  // a NoFocusButton: never takes the keyboard focus
    friend bool operator==(const ControlState&, const ControlState&) = default;
};

struct MessageRecord {
    std::string title;
    std::string text;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer answer = MessageAnswer::Ok;
};

// What the user can do while the wizard waits, and answers to message boxes.
enum class UserAction {
    ClickOk,
    PressEnter,
    ClickCancel,
    PressEscape,
    CloseBox,
    ClickRestart,
    AnswerOk,
    AnswerYes,
    AnswerNo,
};
std::string_view ActionName(UserAction action);

class ModelDialogHost : public DialogHost {
public:
    explicit ModelDialogHost(std::string applicationName);

    // ---- DialogHost ---------------------------------------------------------------
    int RunModal(DialogHandler& handler) override;
    void EndDialog(int result) override;
    const std::string& ApplicationName() const override { return applicationName_; }
    void SetWindowIcons(int iconId) override { windowIconId_ = iconId; }
    void SetText(int id, std::string_view text) override;
    std::string GetText(int id) const override;
    void SetVisible(int id, bool visible) override;
    void SetEnabled(int id, bool enabled) override;
    Rect ClientRectOf(int id) const override;
    void Move(int id, Rect pixels, bool repaint) override;
    void CreateNoFocusButton(int id, Rect pixels, DWORD style, int iconId) override;
    void SetWaitCursor(bool on) override;
    MessageAnswer Show(std::string_view text, MessageButtons buttons) override;

    // ---- Inspection -------------------------------------------------------------------
    const std::vector<ControlState>& Controls() const { return controls_; }
    const ControlState* Find(int id) const;
    const std::vector<MessageRecord>& Messages() const { return messages_; }
    int WindowIconId() const { return windowIconId_; }
    int WaitCursorShows() const { return waitCursorShows_; }
    bool WaitCursorOn() const { return waitCursorDepth_ > 0; }
    // Problems of the run itself: an unknown control id, an action that did not
    // fit the moment, input that ran out. Empty for a clean run.
    const std::vector<std::string>& Problems() const { return problems_; }
    bool Running() const { return handler_ != nullptr; }

    // The command a user action delivers now, or a problem when the action is
    // not possible (a hidden or disabled button, an answer while no box is up).
    std::optional<int> CommandFor(UserAction action);

protected:
    // Where commands come from: the next command, or nothing to stop the run.
    virtual std::optional<int> WaitForCommand() = 0;
    // Where answers come from; `record` already holds title, text and buttons.
    virtual MessageAnswer WaitForAnswer(const MessageRecord& record) = 0;
    // Called after each handler call returns (a place to draw or snapshot).
    virtual void AfterStep(std::string_view step) { (void)step; }

    void AddProblem(std::string problem);
    DialogHandler* Handler() const { return handler_; }

private:
    ControlState* FindMutable(int id);

    std::string applicationName_;
    std::vector<ControlState> controls_;
    std::vector<MessageRecord> messages_;
    std::vector<std::string> problems_;
    DialogHandler* handler_ = nullptr;
    std::optional<int> endResult_;
    int windowIconId_ = 0;
    int waitCursorDepth_ = 0;
    int waitCursorShows_ = 0;
};

}  // namespace swk::app
