// The install over an earlier installation with a fault at call 1, 2, 3 ... of
// one operation, until no fault fires. Each run must end either with "Error in
// installation" on the first page or with a complete install on the result
// page, and the user's saved pages must exist somewhere on the machine.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/install_sequence.h"
#include "paths/known_folders.h"
#include "resources/sample_payload.h"
#include "tests/app/setup_fixture.h"

namespace swk::test {
namespace {

using namespace app;

const std::vector<std::uint8_t> kUsersPages = {'o', 'l', 'd', ' ', 'p', 'a', 'g', 'e', 's', 7};
constexpr int kMaxCalls = 200;

class FaultLoopTest : public SetupTest, public ::testing::WithParamInterface<sim::Op> {
protected:
    // An installed machine whose user has saved pages; its record's "Path" is
    // empty so that no question is asked and every run takes the same steps.
    void PrepareBaseline() {
        InstallOnce();
        Machine().PutFile(KnownFolders().UserDataFolder + "swk.bin", kUsersPages);
        Machine().PutValue(
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
            "App Paths\\swk.exe",
            "Path", sim::RegistryValue{REG_SZ, {0}});
        for (const std::string& target : TargetPaths())
            installed_.push_back(*Machine().ReadFileBytes(target));
    }

    // One run on a copy of the baseline with the nth call of `op` failing.
    // Returns false when no fault fired (the loop is over).
    bool RunWithFault(sim::Op op, int nth) {
        const std::filesystem::path copy = Machine().Folder().parent_path() / "run";
        std::filesystem::remove_all(copy);
        std::filesystem::copy(Machine().Folder(), copy, std::filesystem::copy_options::recursive);
        auto machine = sim::SimulatedMachine::Open(copy);
        const auto payload = SamplePayload();
        machine->SetOwnModule("C:\\Users\\User\\Downloads\\StashwickSetup.exe",
                              {{kPayloadResourceId, {payload.begin(), payload.end()}}},
                              {{"FileVersion", "4, 5, 0, 0"}, {"SpecialBuild", "0"}});
        ScopedSystemServices services(*machine);
        ResetKnownFolders();
        machine->Fault().FailCall(op, nth);

        ScriptedHost host(std::string(kAppName), {kOk});
        host.OnMessageBox([&](const MessageRecord&) { host.Append(kAnswerOk); });
        SetupDialog dialog(host);
        {
            ScopedMessageBoxService messages(host);
            host.RunModal(dialog);  // ends when the wizard waits again
        }
        const bool fired = machine->Fault().FiredCount() > 0;
        CheckInvariant(*machine, host, dialog, ::testing::Message() << "call " << nth);
        return fired;
    }

    void CheckInvariant(sim::SimulatedMachine& machine, const ScriptedHost& host,
                        const SetupDialog& dialog, const ::testing::Message& where) {
        SCOPED_TRACE(where);
        const auto texts = host.MessageTexts();
        const bool failed = std::count(texts.begin(), texts.end(), "Error in installation") > 0;
        EXPECT_EQ(dialog.busy, 0);
        if (failed) {
            EXPECT_EQ(dialog.page, 0);
        } else {
            EXPECT_EQ(dialog.page, 1) << machine.Describe();
            const auto targets = TargetPaths();
            for (std::size_t k = 0; k < targets.size(); ++k)
                EXPECT_EQ(machine.ReadFileBytes(targets[k]), installed_[k]) << targets[k];
        }
        bool pagesKept = false;
        for (const sim::FileState& file : machine.ListFiles())
            if (file.size == kUsersPages.size() &&
                machine.ReadFileBytes(file.windowsPath) == kUsersPages)
                pagesKept = true;
        EXPECT_TRUE(pagesKept) << "the user's saved pages are gone\n" << machine.Describe();
    }

    std::vector<std::vector<std::uint8_t>> installed_;
};

TEST_P(FaultLoopTest, EveryCallFailingLeavesAnErrorOrACompleteInstall) {
    PrepareBaseline();
    int nth = 1;
    while (nth <= kMaxCalls && RunWithFault(GetParam(), nth) && !HasFatalFailure()) ++nth;
    EXPECT_GT(nth, 1) << "the operation was never called";
    EXPECT_LE(nth, kMaxCalls);
}

std::string OpName(const ::testing::TestParamInfo<sim::Op>& param) {
    switch (param.param) {
        case sim::Op::CreateFileW:
            return "CreateFileW";
        case sim::Op::WriteFile:
            return "WriteFile";
        case sim::Op::SetFileTime:
            return "SetFileTime";
        case sim::Op::GetFileAttributesExW:
            return "GetFileAttributesExW";
        case sim::Op::FindResourceA:
            return "FindResourceA";
        case sim::Op::LZOpenFileW:
            return "LZOpenFileW";
        case sim::Op::LZRead:
            return "LZRead";
        case sim::Op::SHFileOperationW:
            return "SHFileOperationW";
        default:
            return "op" + std::to_string(param.index);
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultLoopTest,
                         ::testing::Values(sim::Op::CreateFileW, sim::Op::WriteFile,
                                           sim::Op::SetFileTime, sim::Op::GetFileAttributesExW,
                                           sim::Op::FindResourceA, sim::Op::LZOpenFileW,
                                           sim::Op::LZRead, sim::Op::SHFileOperationW),
                         OpName);

}  // namespace
}  // namespace swk::test
