// The install attempt and sequence on the simulated machine: a first install,
// a reinstallation, and every row of the failure table through fault injection.
#include <gtest/gtest.h>

#include "app/install_sequence.h"
#include "paths/known_folders.h"
#include "platform/sim/shell_link_file.h"
#include "tests/app/setup_fixture.h"

namespace swk::test {
namespace {

using namespace app;

constexpr std::string_view kAppPaths =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe";
constexpr std::string_view kUninstall =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stashwick";
constexpr std::string_view kAddOnClass =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}";
constexpr std::string_view kSharedData = "C:\\ProgramData\\Tarnwell\\Stashwick\\";
constexpr std::string_view kSuccess =
    "The program has been successfully installed\r\n\r\nA shortcut (named Stashwick) can be found "
    "on Windows Desktop and in \"Programs\" of Windows \"Start\".";
constexpr std::string_view kRunning =
    "SWK program or a program hosting SWK add-on is running\r\nCannot setup SWK program while a "
    "hosting program of a previous installation of SWK is running\r\n\r\nIf the hosting program "
    "is invisible or cannot be closed, please wait or try to setup again after shutting down and "
    "restarting Windows";
const std::vector<std::uint8_t> kUsersPages = {'m', 'y', ' ', 'p', 'a', 'g', 'e', 's', 0, 1, 2};
const std::string kBackup = "C:\\Users\\User\\Documents\\Pages_2014_09_04 09_05_07.swk";

std::string Text(const std::optional<sim::RegistryValue>& value) {
    return value ? value->Text() : "<missing>";
}

class InstallTest : public SetupTest {
protected:
    std::string Value(std::string_view key, std::string_view name) {
        return Text(Machine().ReadValue(key, name));
    }
    std::string UserData() { return KnownFolders().UserDataFolder; }
    // The user's store of saved pages, as the product keeps it.
    void PutUsersPages() { Machine().PutFile(UserData() + "swk.bin", kUsersPages); }
};

TEST_F(InstallTest, FirstInstallWritesFilesRecordsAndRegistrations) {
    RunWizard({kOk, kEscape, kEscape});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Host().Snapshots()[1].Find(kInfoText)->text, kSuccess);

    const std::vector<std::string> targets = TargetPaths();
    ASSERT_EQ(targets.size(), 11u);
    EXPECT_EQ(targets[0], std::string(kProgramFolder) + "swk.exe");
    EXPECT_EQ(targets[6], std::string(kSharedData) + "swk.bin");
    EXPECT_EQ(targets[10], std::string(kProgramFolder) + "cmptree.exe");
    for (const std::string& target : targets) EXPECT_TRUE(Machine().Exists(target)) << target;
    // cmptree.exe carries its own entry time, not the one set before extraction.
    EXPECT_NE(Machine().Stat(targets[10])->lastWriteTime, 0x01CEE13A32F40EF2ull);
    EXPECT_FALSE(Machine().Exists(UserData() + "prog.tmp"));

    // The user's copies.
    for (const char* sample : {"samples1.swk", "samples2.swk", "samples3.swk"})
        EXPECT_TRUE(Machine().Exists(std::string("C:\\Users\\User\\Documents\\") + sample));
    EXPECT_EQ(Machine().ReadFileBytes(UserData() + "swk.bin"), Machine().ReadFileBytes(targets[6]));

    // The records.
    EXPECT_EQ(Value(kUninstall, "DisplayName"), "Stashwick");
    EXPECT_EQ(Value(kUninstall, "UninstallString"), std::string(kProgramFolder) + "Uninstall.exe");
    EXPECT_EQ(Value(kAppPaths, ""), std::string(kProgramFolder) + "swk.exe");
    EXPECT_EQ(Value(kAppPaths, "Path"), "C:\\Program Files\\Tarnwell\\Stashwick");
    EXPECT_EQ(Value(kAppPaths, "ProgramData"), "C:\\ProgramData\\Tarnwell\\Stashwick");
    EXPECT_EQ(Value(kAppPaths, "FileVersion"), "4, 5, 0, 0");
    EXPECT_EQ(Value(kAppPaths, "SpecialBuild"), "0");
    EXPECT_EQ(Dialog().specialBuild, "0");
    EXPECT_EQ(Dialog().fileVersion, "4, 5, 0, 0");
    const auto& folders = KnownFolders();
    for (const std::string& link : {folders.CommonDesktopFolder, folders.CommonProgramsMenuFolder,
                                    folders.CommonStartupFolder}) {
        const auto bytes = Machine().ReadFileBytes(link + "Stashwick.lnk");
        ASSERT_TRUE(bytes) << link;
        EXPECT_EQ(sim::DecodeShellLink(*bytes)->target, targets[0]);
    }
    EXPECT_TRUE(Machine().KeyExists(kAddOnClass));
    EXPECT_EQ(JournalCount("swkh.exe"), 1);
    EXPECT_EQ(JournalCount("register " + std::string(kProgramFolder) + "swk.ocx"), 1);
    EXPECT_EQ(JournalCount("register " + std::string(kProgramFolder) + "swk.dll"), 1);
    EXPECT_EQ(Host().WaitCursorShows(), 1);
    EXPECT_FALSE(Host().WaitCursorOn());
}

TEST_F(InstallTest, ReinstallKeepsTheOldSavedPagesAndRewritesEverything) {
    InstallOnce();
    const auto firstFiles = Machine().ListFiles();
    const std::string firstRegistry = Machine().ExportRegistry();
    PutUsersPages();
    Machine().PutFile("C:\\Users\\User\\Documents\\samples1.swk", kUsersPages);
    Machine().PutFile(std::string(kProgramFolder) + "swk.exe", kUsersPages);  // some old program

    RunWizard({kYes, kOk, kEscape, kEscape});
    ASSERT_EQ(Host().Messages().size(), 1u);
    EXPECT_EQ(Host().Messages()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(Machine().ReadFileBytes(kBackup), kUsersPages);
    EXPECT_EQ(Machine().ReadFileBytes(UserData() + "swk.bin"),
              Machine().ReadFileBytes(std::string(kSharedData) + "swk.bin"));
    // Every file as after the first install (same bytes, same times), plus the backup.
    std::vector<sim::FileState> files = Machine().ListFiles();
    std::erase_if(files, [](const sim::FileState& file) { return file.windowsPath == kBackup; });
    ASSERT_EQ(files.size(), firstFiles.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i].windowsPath, firstFiles[i].windowsPath);
        EXPECT_EQ(files[i].size, firstFiles[i].size) << files[i].windowsPath;
        if (files[i].windowsPath.find(".lnk") == std::string::npos) {
            EXPECT_EQ(files[i].lastWriteTime, firstFiles[i].lastWriteTime) << files[i].windowsPath;
        }
    }
    EXPECT_EQ(Machine().ExportRegistry(), firstRegistry);
}

TEST_F(InstallTest, RunningProductRefusesWithoutChangesAndTheNextOkInstalls) {
    Profile().productSemaphore = true;
    const std::string registry = Machine().ExportRegistry();
    int shown = 0;
    RunWizard({kOk, kAnswerOk, kOk, kEscape, kEscape}, [&](ScriptedHost&, const MessageRecord&) {
        ++shown;
        // The first page is usable again, nothing has changed.
        EXPECT_EQ(Dialog().busy, 0);
        EXPECT_FALSE(Machine().Exists(std::string(kProgramFolder)));
        EXPECT_EQ(Machine().ExportRegistry(), registry);
        Machine().SetSemaphore(false);  // the product ends
    });
    EXPECT_EQ(Messages(), std::vector<std::string>{std::string(kRunning)});
    EXPECT_EQ(Machine().SemaphoreCount(), 1);
    EXPECT_EQ(Host().Snapshots()[1].Find(kOkButton)->text, "OK");  // still page 0
    EXPECT_EQ(Dialog().page, 2);
    EXPECT_TRUE(Machine().Exists(std::string(kProgramFolder) + "swk.exe"));
}

TEST_F(InstallTest, SharedDataFolderRefusedStillChecksTheProgramFolderOnly) {
    Profile().pathsDenyWrite.insert("C:\\ProgramData\\Tarnwell");
    RunWizard({kOk, kAnswerOk, kCancel});
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error in installation"});
    EXPECT_TRUE(Machine().Exists(std::string(kProgramFolder)));
    EXPECT_FALSE(Machine().Exists(UserData()));
    EXPECT_FALSE(Machine().Exists(std::string(kProgramFolder) + "swk.exe"));
    EXPECT_EQ(Dialog().page, 0);
    EXPECT_EQ(Dialog().busy, 0);
    EXPECT_TRUE(Host().Snapshots()[1].Find(kOkButton)->enabled);
}

// Entry 7 (swk.bin in the shared data folder) fails, over an installed
// machine: at the target's open (one message) or in the decompression (the
// extraction's own message, then the attempt's).
struct EntrySevenCase {
    sim::Op op;
    int nth;  // the entry-7 call of that operation
    int messages;
};

class ExtractionFailureTest : public InstallTest,
                              public ::testing::WithParamInterface<EntrySevenCase> {};

TEST_P(ExtractionFailureTest, LeavesEarlierTargetsAndRecordsNothing) {
    InstallOnce();
    PutUsersPages();
    const std::vector<std::string> targets = TargetPaths();
    for (int k = 0; k < 6; ++k) Machine().PutFile(targets[k], kUsersPages);  // old versions
    const std::string registry = Machine().ExportRegistry();
    const std::size_t journal = Machine().Journal().size();
    // Calls are counted from here; the cmptree.exe time is the first file opened.
    Machine().Fault().Clear();
    Machine().Fault().FailCall(GetParam().op, GetParam().nth);

    std::vector<UserAction> script = {kYes, kOk};
    script.insert(script.end(), GetParam().messages, kAnswerOk);
    script.push_back(kCancel);
    RunWizard(script);
    EXPECT_EQ(Machine().Fault().FiredCount(), 1);
    EXPECT_EQ(Messages().size(), 1u + GetParam().messages);
    for (std::size_t i = 1; i < Messages().size(); ++i)
        EXPECT_EQ(Messages()[i], "Error in installation");
    EXPECT_EQ(Dialog().page, 0);

    for (int k = 0; k < 6; ++k)
        EXPECT_NE(Machine().ReadFileBytes(targets[k]), kUsersPages) << targets[k];
    for (int k = 7; k < 11; ++k) EXPECT_FALSE(Machine().Exists(targets[k])) << targets[k];
    EXPECT_EQ(Machine().ExportRegistry(), registry);  // nothing recorded or registered
    EXPECT_EQ(Machine().Journal().size(), journal);
    EXPECT_EQ(Machine().ReadFileBytes(kBackup), kUsersPages);
}

INSTANTIATE_TEST_SUITE_P(
    AtEntrySeven, ExtractionFailureTest,
    ::testing::Values(EntrySevenCase{sim::Op::LZRead, 7, 2},
                      // open of cmptree.exe, then a temporary file and a target per entry
                      EntrySevenCase{sim::Op::CreateFileW, 1 + 2 * 7, 1}));

struct RegistrationCase {
    std::vector<std::string> failing;
    std::vector<std::string> messages;
};

class ComponentFailureTest : public InstallTest,
                             public ::testing::WithParamInterface<RegistrationCase> {};

TEST_P(ComponentFailureTest, ShowsItsMessageAndStillEndsOnTheResultPage) {
    for (const std::string& module : GetParam().failing)
        Profile().registerServerResults[module] = E_FAIL;
    std::vector<UserAction> script = {kOk};
    script.insert(script.end(), GetParam().messages.size(), kAnswerOk);
    script.insert(script.end(), {kEscape, kEscape});
    RunWizard(script);
    EXPECT_EQ(Messages(), GetParam().messages);
    EXPECT_EQ(Host().Snapshots()[1].Find(kInfoText)->text, kSuccess);
    EXPECT_EQ(Value(kAppPaths, "Path"), "C:\\Program Files\\Tarnwell\\Stashwick");
    EXPECT_FALSE(Host().WaitCursorOn());
}

const std::string kOcxError = "Error: Registering swk.ocx";
const std::string kDllError =
    "Error: Registering swk.dll\r\n\r\nClose all Internet Explorer programs before running setup";

INSTANTIATE_TEST_SUITE_P(Modules, ComponentFailureTest,
                         ::testing::Values(RegistrationCase{{"swk.ocx"}, {kOcxError}},
                                           RegistrationCase{{"swk.dll"}, {kDllError}},
                                           RegistrationCase{{"swk.ocx", "swk.dll"},
                                                            {kOcxError, kDllError}}));

TEST_F(InstallTest, CompanionProgramNotStartingGivesTheNotProperlyInstalledPage) {
    Machine().Fault().FailCall(sim::Op::ShellExecuteW, 1);
    RunWizard({kOk, kEscape, kEscape});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Host().Snapshots()[1].Find(kInfoText)->text, "The program is not properly installed");
    EXPECT_EQ(Dialog().page, 2);
    EXPECT_TRUE(Machine().KeyExists(kAddOnClass));  // the add-on is registered all the same
}

TEST_F(InstallTest, RegistryAndShortcutFailuresPassUnnoticed) {
    Profile().registryKeysDenyCreate.insert(std::string(kUninstall));
    Machine().Fault().FailCall(sim::Op::CoCreateInstance, 1);  // the desktop shortcut
    RunWizard({kOk, kEscape, kEscape});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Host().Snapshots()[1].Find(kInfoText)->text, kSuccess);
    EXPECT_FALSE(Machine().KeyExists(kUninstall));
    EXPECT_FALSE(Machine().Exists(KnownFolders().CommonDesktopFolder + "Stashwick.lnk"));
    EXPECT_TRUE(Machine().Exists(KnownFolders().CommonProgramsMenuFolder + "Stashwick.lnk"));
    EXPECT_EQ(Value(kAppPaths, "Path"), "C:\\Program Files\\Tarnwell\\Stashwick");
}

TEST_F(InstallTest, SecondAttemptAfterAFailureBacksUpUnderTheNewTime) {
    InstallOnce();
    PutUsersPages();
    Machine().Fault().Clear();
    Machine().Fault().FailCall(sim::Op::LZRead, 1);
    RunWizard({kYes, kOk, kAnswerOk, kAnswerOk, kOk, kEscape, kEscape},
              [&](ScriptedHost&, const MessageRecord& message) {
                  if (message.text != "Error in installation") return;
                  Profile().localTime = "2014-09-04 09:06:00";
                  Machine().PutFile(UserData() + "swk.bin", std::vector<std::uint8_t>{'2'});
              });
    EXPECT_EQ(Machine().ReadFileBytes(kBackup), kUsersPages);
    EXPECT_EQ(Machine().ReadFileBytes("C:\\Users\\User\\Documents\\Pages_2014_09_04 09_06_00.swk"),
              std::vector<std::uint8_t>{'2'});
    EXPECT_EQ(Dialog().page, 2);
}

}  // namespace
}  // namespace swk::test
