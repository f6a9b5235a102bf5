// The completion page: the latest-version address, the restart button and
// the restart, and "Run Program".
#include <gtest/gtest.h>

#include "app/install_sequence.h"
#include "paths/known_folders.h"
#include "resources/sample_payload.h"
#include "tests/app/setup_fixture.h"

namespace swk::test {
namespace {

using namespace app;

constexpr std::string_view kAddress = "http://updates.tarnwell.example/init.asp?P=5&V=4.5";

TEST(LatestVersionAddressTest, AppendsTheSpecialBuildOnlyWhenThereIsOne) {
    EXPECT_EQ(LatestVersionAddress("0"), std::string(kAddress) + "&A=0");
    EXPECT_EQ(LatestVersionAddress(""), kAddress);
}

TEST(MinimisedIconTest, CentresTheIconTruncatingTowardZero) {
    EXPECT_EQ(MinimisedIconPosition(100, 50, 32, 32).x, 34);  // 69 / 2
    EXPECT_EQ(MinimisedIconPosition(100, 50, 32, 32).y, 9);   // 19 / 2
    EXPECT_EQ(MinimisedIconPosition(20, 20, 32, 32).x, -5);   // -11 / 2 toward zero
}

TEST_F(SetupTest, NextOpensTheLatestVersionPageWithTheSpecialBuild) {
    RunWizard({kOk, kOk, kCancel});
    EXPECT_EQ(JournalCount(std::string(kAddress) + "&A=0"), 1);
    EXPECT_EQ(Dialog().page, 2);
}

TEST_F(SetupTest, WithoutSpecialBuildTheAddressHasNoBuildPart) {
    const auto payload = SamplePayload();
    Machine().SetOwnModule("C:\\Users\\User\\Downloads\\StashwickSetup.exe",
                           {{kPayloadResourceId, {payload.begin(), payload.end()}}},
                           {{"FileVersion", "4, 5, 0, 0"}});
    RunWizard({kOk, kOk, kCancel});
    EXPECT_EQ(Dialog().specialBuild, "");
    EXPECT_EQ(JournalCount(kAddress), 1);
    EXPECT_EQ(JournalCount("&A="), 0);
}

struct PrivilegeCase {
    std::string name;
    bool hasPrivilege;
    std::optional<sim::Op> failing;
    bool restartShown;
};

class RestartButtonTest : public SetupTest, public ::testing::WithParamInterface<PrivilegeCase> {};

TEST_P(RestartButtonTest, ShowsOnlyWhenTheShutdownPrivilegeIsEnabled) {
    Profile().hasShutdownPrivilege = GetParam().hasPrivilege;
    if (GetParam().failing) Machine().Fault().FailCall(*GetParam().failing, 1);
    RunWizard({kOk, kOk, kCancel});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Host().Snapshots()[2].Find(kRestartButton)->visible, GetParam().restartShown);
    EXPECT_EQ(Host().Snapshots()[2].Find(kOkButton)->text, "Run Program");
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, RestartButtonTest,
    ::testing::Values(PrivilegeCase{"held", true, std::nullopt, true},
                      PrivilegeCase{"not_held", false, std::nullopt, false},
                      PrivilegeCase{"token_refused", true, sim::Op::OpenProcessToken, false},
                      PrivilegeCase{"adjust_failed", true, sim::Op::AdjustTokenPrivileges, false}),
    [](const auto& param) { return param.param.name; });

TEST_F(SetupTest, RestartAsksTheSystemToRestart) {
    RunWizardUnchecked({kOk, kOk, kRestart});  // the machine restarts; the script ends there
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(JournalCount("restart"), 1);
}

TEST_F(SetupTest, RestartRefusedShowsErrorRebootAndStaysOnPageTwo) {
    Profile().exitWindowsFails = true;
    RunWizard({kOk, kOk, kRestart, kAnswerOk, kOk});
    EXPECT_EQ(Messages(), std::vector<std::string>{"error reboot"});
    const Snapshot& after = Host().Snapshots()[3];
    EXPECT_EQ(after.Find(kOkButton)->text, "Run Program");
    EXPECT_TRUE(after.Find(kOkButton)->enabled);
    EXPECT_TRUE(after.Find(kCancelButton)->visible);
    EXPECT_TRUE(after.Find(kRestartButton)->visible);
    EXPECT_EQ(Dialog().page, 2);
    // "Run Program" still works: it starts swk.exe and ends the setup.
    EXPECT_EQ(JournalCount(std::string(kProgramFolder) + "swk.exe"), 1);
}

}  // namespace
}  // namespace swk::test
