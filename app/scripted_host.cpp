#include "app/scripted_host.h"

#include <utility>

namespace swk::app {

const ControlState* Snapshot::Find(int id) const {
    for (const ControlState& control : controls)
        if (control.id == id) return &control;
    return nullptr;
}

ScriptedHost::ScriptedHost(std::string applicationName, std::vector<UserAction> script)
    : ModelDialogHost(std::move(applicationName)), script_(script.begin(), script.end()) {}

void ScriptedHost::DeliverCommand(int id) {
    if (DialogHandler* handler = Handler()) handler->OnCommand(id);
}

std::vector<std::string> ScriptedHost::MessageTexts() const {
    std::vector<std::string> texts;
    for (const MessageRecord& message : Messages()) texts.push_back(message.text);
    return texts;
}

std::optional<int> ScriptedHost::WaitForCommand() {
    if (stopped_) return std::nullopt;
    if (script_.empty()) {
        AddProblem("the script ran out while the wizard waits");
        return std::nullopt;
    }
    const UserAction action = script_.front();
    script_.pop_front();
    return CommandFor(action);  // a problem when the action does not fit
}

MessageAnswer ScriptedHost::WaitForAnswer(const MessageRecord& record) {
    if (hook_) hook_(record);
    const MessageAnswer fallback =
        record.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    if (script_.empty()) {
        AddProblem("the script ran out at the message \"" + record.text + "\"");
        stopped_ = true;
        return fallback;
    }
    const UserAction action = script_.front();
    script_.pop_front();
    if (record.buttons == MessageButtons::Ok && action == UserAction::AnswerOk)
        return MessageAnswer::Ok;
    if (record.buttons == MessageButtons::YesNo && action == UserAction::AnswerYes)
        return MessageAnswer::Yes;
    if (record.buttons == MessageButtons::YesNo && action == UserAction::AnswerNo)
        return MessageAnswer::No;
    AddProblem(std::string(ActionName(action)) + " does not fit the message \"" + record.text +
               "\"");
    stopped_ = true;
    return fallback;
}

void ScriptedHost::AfterStep(std::string_view step) {
    snapshots_.push_back(Snapshot{std::string(step), Controls()});
}

}  // namespace swk::app
