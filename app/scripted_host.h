// A host for tests: the user is a script of actions, taken in order, one each
// time the setup waits (a command at the wizard, an answer at a message box).
// It records every message box and every control's state after each step. An
// action that does not fit the moment, or a script that runs out while the
// wizard waits, becomes a problem (Problems()) and stops the run.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/model_host.h"

namespace swk::app {

struct Snapshot {
    std::string step;
    std::vector<ControlState> controls;
    const ControlState* Find(int id) const;
};

class ScriptedHost final : public ModelDialogHost {
public:
    explicit ScriptedHost(std::string applicationName, std::vector<UserAction> script = {});

    void Append(UserAction action) { script_.push_back(action); }
    std::size_t Remaining() const { return script_.size(); }
    const std::vector<Snapshot>& Snapshots() const { return snapshots_; }

    // Called while a message box is open, before it is answered: a test may
    // deliver a command there, as a nested message loop would.
    void OnMessageBox(std::function<void(const MessageRecord&)> hook) { hook_ = std::move(hook); }
    void DeliverCommand(int id);

    // Every message box text, in order.
    std::vector<std::string> MessageTexts() const;

private:
    std::optional<int> WaitForCommand() override;
    MessageAnswer WaitForAnswer(const MessageRecord& record) override;
    void AfterStep(std::string_view step) override;

    std::deque<UserAction> script_;
    std::vector<Snapshot> snapshots_;
    std::function<void(const MessageRecord&)> hook_;
    bool stopped_ = false;
};

}  // namespace swk::app
