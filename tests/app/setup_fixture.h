// A fresh simulated machine per test, carrying the sample payload as the
// setup's own resource, installed as the process's system services; and a
// wizard run through the scripted host, whose transcript the tests read.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/scripted_host.h"
#include "app/setup_dialog.h"
#include "platform/sim/simulated_machine.h"
#include "platform/system_services.h"

namespace swk::test {

inline constexpr std::string_view kSetupPath = "C:\\Program Files\\Tarnwell\\";
inline constexpr std::string_view kProgramFolder = "C:\\Program Files\\Tarnwell\\Stashwick\\";
inline constexpr std::string_view kAppName = "StashwickSetup";
inline constexpr std::uint64_t kGigabyte = 1ull << 30;
inline constexpr std::uint64_t kMegabyte = 1ull << 20;

using app::UserAction;
inline constexpr UserAction kOk = UserAction::ClickOk;
inline constexpr UserAction kEnter = UserAction::PressEnter;
inline constexpr UserAction kCancel = UserAction::ClickCancel;
inline constexpr UserAction kEscape = UserAction::PressEscape;
inline constexpr UserAction kCloseBox = UserAction::CloseBox;
inline constexpr UserAction kRestart = UserAction::ClickRestart;
inline constexpr UserAction kAnswerOk = UserAction::AnswerOk;
inline constexpr UserAction kYes = UserAction::AnswerYes;
inline constexpr UserAction kNo = UserAction::AnswerNo;

// The eleven file names of an installation, in container order.
std::vector<std::string> TargetPaths();

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sim::SimulatedMachine& Machine() { return *machine_; }
    sim::MachineProfile& Profile() { return machine_->Profile(); }
    void SetFreeSpace(std::uint64_t bytes);

    using MessageHook = std::function<void(app::ScriptedHost&, const app::MessageRecord&)>;
    // Runs the wizard with a fresh dialog and host on `script`; the run's
    // problems (actions that did not fit) and unused steps fail the test.
    void RunWizard(std::vector<UserAction> script, MessageHook onMessage = {});
    // The same, leaving problems and unused steps for the test to look at.
    void RunWizardUnchecked(std::vector<UserAction> script, MessageHook onMessage = {});
    // The whole setup through SetupApp (platform gate included).
    void RunSetup(std::vector<UserAction> script);

    app::ScriptedHost& Host() { return *host_; }
    app::SetupDialog& Dialog() { return *dialog_; }
    std::vector<std::string> Messages() const { return host_->MessageTexts(); }
    std::string InfoText() const { return host_->GetText(app::kInfoText); }
    const app::ControlState& Control(int id) const;

    // Journal lines that mention `text`.
    int JournalCount(std::string_view text) const;
    std::string Describe() const { return machine_->Describe(); }

    // A complete first installation, ended from the completion page; then the
    // machine is opened afresh, as after the programs it started have ended.
    void InstallOnce();
    void ReopenMachine();

private:
    std::filesystem::path folder_;
    std::unique_ptr<sim::SimulatedMachine> machine_;
    std::unique_ptr<ScopedSystemServices> services_;
    std::unique_ptr<app::ScriptedHost> host_;
    std::unique_ptr<app::SetupDialog> dialog_;
};

}  // namespace swk::test
