#include "app/model_host.h"

#include <utility>

namespace swk::app {

std::string_view ActionName(UserAction action) {
    switch (action) {
        case UserAction::ClickOk:
            return "click OK";
        case UserAction::PressEnter:
            return "Enter";
        case UserAction::ClickCancel:
            return "click Cancel";
        case UserAction::PressEscape:
            return "Escape";
        case UserAction::CloseBox:
            return "close box";
        case UserAction::ClickRestart:
            return "click Restart Windows";
        case UserAction::AnswerOk:
            return "answer OK";
        case UserAction::AnswerYes:
            return "answer Yes";
        case UserAction::AnswerNo:
            return "answer No";
    }
    return "?";
}

ModelDialogHost::ModelDialogHost(std::string applicationName)
    : applicationName_(std::move(applicationName)) {}

int ModelDialogHost::RunModal(DialogHandler& handler) {
    // A fresh window from the template, as the dialog manager would make it.
    controls_.clear();
    for (const ControlTemplate& control : SetupDialogTemplate().controls) {
        controls_.push_back(ControlState{
            control.id, control.kind, std::string(control.name), std::string(control.text),
            control.visible, control.enabled, DialogUnitsToPixels(control.units), control.style});
    }
    endResult_.reset();
    handler_ = &handler;

    handler.OnInitDialog();
    AfterStep("open");
    while (!endResult_) {
        const std::optional<int> command = WaitForCommand();
        if (!command) break;
        handler.OnCommand(*command);
        AfterStep("command " + std::to_string(*command));
    }
    handler_ = nullptr;
    return endResult_.value_or(-1);
}

void ModelDialogHost::EndDialog(int result) {
    if (!endResult_) endResult_ = result;
}

ControlState* ModelDialogHost::FindMutable(int id) {
    for (ControlState& control : controls_)
        if (control.id == id) return &control;
    AddProblem("no control with id " + std::to_string(id));
    return nullptr;
}

const ControlState* ModelDialogHost::Find(int id) const {
    for (const ControlState& control : controls_)
        if (control.id == id) return &control;
    return nullptr;
}

void ModelDialogHost::SetText(int id, std::string_view text) {
    if (ControlState* control = FindMutable(id)) control->text = text;
}

std::string ModelDialogHost::GetText(int id) const {
    const ControlState* control = Find(id);
    return control ? control->text : std::string();
}

void ModelDialogHost::SetVisible(int id, bool visible) {
    if (ControlState* control = FindMutable(id)) control->visible = visible;
}

void ModelDialogHost::SetEnabled(int id, bool enabled) {
    if (ControlState* control = FindMutable(id)) control->enabled = enabled;
}

Rect ModelDialogHost::ClientRectOf(int id) const {
    const ControlState* control = Find(id);
    return control ? control->pixels : Rect{};
}

void ModelDialogHost::Move(int id, Rect pixels, bool /*repaint*/) {
    if (ControlState* control = FindMutable(id)) control->pixels = pixels;
}

void ModelDialogHost::CreateNoFocusButton(int id, Rect pixels, DWORD style, int iconId) {
    ControlState button;
    button.id = id;
    button.kind = ControlKind::IconButton;
    button.name = "BrowseButton";
    button.visible = (style & WS_VISIBLE) != 0;
    button.enabled = (style & WS_DISABLED) == 0;
    button.pixels = pixels;
    button.style = style;
    button.iconId = iconId;
    button.noFocus = true;
    controls_.push_back(std::move(button));
}

void ModelDialogHost::SetWaitCursor(bool on) {
    if (on) {
        ++waitCursorDepth_;
        ++waitCursorShows_;
    } else if (waitCursorDepth_ > 0) {
        --waitCursorDepth_;
    }
}

MessageAnswer ModelDialogHost::Show(std::string_view text, MessageButtons buttons) {
    MessageRecord record{applicationName_, std::string(text), buttons, MessageAnswer::Ok};
    record.answer = WaitForAnswer(record);
    messages_.push_back(record);
    return record.answer;
}

std::optional<int> ModelDialogHost::CommandFor(UserAction action) {
    const auto usable = [this](int id) {
        const ControlState* control = Find(id);
        return control != nullptr && control->visible && control->enabled;
    };
    switch (action) {
        case UserAction::ClickOk:
        case UserAction::PressEnter:  // the default button, only while enabled
            if (usable(kOkButton)) return kOkButton;
            AddProblem(std::string(ActionName(action)) + ": the OK button is not usable");
            return std::nullopt;
        case UserAction::ClickCancel:
            if (usable(kCancelButton)) return kCancelButton;
            AddProblem("click Cancel: the Cancel button is not usable");
            return std::nullopt;
        case UserAction::PressEscape:
        case UserAction::CloseBox:  // both deliver Cancel, even with the button hidden
            return kCancelButton;
        case UserAction::ClickRestart:
            if (usable(kRestartButton)) return kRestartButton;
            AddProblem("click Restart Windows: the button is not usable");
            return std::nullopt;
        default:
            AddProblem(std::string(ActionName(action)) + ": no message box is open");
            return std::nullopt;
    }
}

void ModelDialogHost::AddProblem(std::string problem) {
    problems_.push_back(std::move(problem));
}

}  // namespace swk::app
