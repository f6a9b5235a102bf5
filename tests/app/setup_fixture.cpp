#include "tests/app/setup_fixture.h"

#include <unistd.h>

#include "app/install_sequence.h"
#include "app/setup_app.h"
#include "paths/known_folders.h"
#include "resources/sample_payload.h"

namespace swk::test {

std::vector<std::string> TargetPaths() {
    return app::InstallTargets();
}

void SetupTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "swk-app-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    sim::MachineProfile profile;
    profile.localTime = "2014-09-04 09:05:07";
    profile.drives[0].freeBytes = 50 * kGigabyte;
    machine_ = sim::SimulatedMachine::Create(folder_ / "machine", profile);
    ASSERT_NE(machine_, nullptr);
    ReopenMachine();
}

void SetupTest::ReopenMachine() {
    services_.reset();
    machine_ = sim::SimulatedMachine::Open(folder_ / "machine");
    ASSERT_NE(machine_, nullptr);
    const auto payload = SamplePayload();
    machine_->SetOwnModule("C:\\Users\\User\\Downloads\\StashwickSetup.exe",
                           {{app::kPayloadResourceId, {payload.begin(), payload.end()}}},
                           {{"FileVersion", "4, 5, 0, 0"}, {"SpecialBuild", "0"}});
    services_ = std::make_unique<ScopedSystemServices>(*machine_);
}

void SetupTest::TearDown() {
    if (HasFailure() && machine_) std::cerr << machine_->Describe() << "\n";
    dialog_.reset();
    host_.reset();
    services_.reset();
    machine_.reset();
    ResetKnownFolders();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void SetupTest::SetFreeSpace(std::uint64_t bytes) {
    Profile().drives[0].freeBytes = bytes;
}

void SetupTest::RunWizardUnchecked(std::vector<UserAction> script, MessageHook onMessage) {
    ResetKnownFolders();
    dialog_.reset();
    host_ = std::make_unique<app::ScriptedHost>(std::string(kAppName), std::move(script));
    if (onMessage)
        host_->OnMessageBox(
            [this, onMessage](const app::MessageRecord& record) { onMessage(*host_, record); });
    dialog_ = std::make_unique<app::SetupDialog>(*host_);
    ScopedMessageBoxService messages(*host_);
    host_->RunModal(*dialog_);
}

void SetupTest::RunWizard(std::vector<UserAction> script, MessageHook onMessage) {
    RunWizardUnchecked(std::move(script), std::move(onMessage));
    EXPECT_TRUE(host_->Problems().empty()) << ::testing::PrintToString(host_->Problems());
    EXPECT_EQ(host_->Remaining(), 0u) << "script steps left over";
}

void SetupTest::RunSetup(std::vector<UserAction> script) {
    ResetKnownFolders();
    dialog_.reset();
    host_ = std::make_unique<app::ScriptedHost>(std::string(kAppName), std::move(script));
    app::SetupApp setup(*host_);
    EXPECT_FALSE(setup.InitInstance());
    EXPECT_TRUE(host_->Problems().empty()) << ::testing::PrintToString(host_->Problems());
    EXPECT_EQ(host_->Remaining(), 0u) << "script steps left over";
}

const app::ControlState& SetupTest::Control(int id) const {
    static const app::ControlState missing{};
    const app::ControlState* control = host_->Find(id);
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control ? *control : missing;
}

int SetupTest::JournalCount(std::string_view text) const {
    int count = 0;
    for (const std::string& line : machine_->Journal())
        if (line.find(text) != std::string::npos) ++count;
    return count;
}

void SetupTest::InstallOnce() {
    RunWizard({kOk, kEscape, kEscape});
    ASSERT_EQ(Dialog().page, 2);
    ASSERT_TRUE(Machine().Exists(std::string(kProgramFolder) + "swk.exe"));
    ReopenMachine();
}

}  // namespace swk::test
