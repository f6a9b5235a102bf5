// The wizard's pages and transitions, its first page's information text, the
// previous-installation question and the platform gate, end to end through the
// scripted host on the simulated machine.
#include <gtest/gtest.h>

#include "app/install_sequence.h"
#include "app/setup_app.h"
#include "paths/known_folders.h"
#include "tests/app/setup_fixture.h"

namespace swk::test {
namespace {

using namespace app;

constexpr std::string_view kAdvice =
    "\r\nIf you are going to save thousands of pages, it is recommended to select a path with "
    "more than 1 GB free (available) disk space\r\n";
constexpr std::string_view kClosing =
    "\r\nPressing OK installs the Internet Explorer add-on together with the stand-alone "
    "program.\r\nYou can use any or both of them. Uninstall can be done from Control Panel.";
constexpr std::string_view kQuestion =
    "A previous installation of \"Stashwick\" is found.\r\n\r\nOld saved pages will be kept in "
    "<My Documents> folder as\r\nPages.swk file (with current time suffix)\r\n\r\nContinue?";
constexpr std::string_view kSuccess =
    "The program has been successfully installed\r\n\r\nA shortcut (named Stashwick) can be found "
    "on Windows Desktop and in \"Programs\" of Windows \"Start\".";
constexpr std::string_view kRestartParagraph =
    "\r\n\r\nRestarting the system is needed to complete installation of the Internet Explorer "
    "add-on.\r\nIt is not necessary to do it now.\r\n\r\nYou can run the stand alone program "
    "without restarting Windows or simply press \"Close\" button.\r\n\r\nThe Installation will be "
    "completed, next session, when you start the computer.";

std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text += part;
    return text;
}

// ---- The first page ------------------------------------------------------------------

TEST_F(SetupTest, FirstPageShowsTheDefaultPathWithEverythingInItsStartState) {
    RunWizard({kCancel});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Dialog().page, 0);
    EXPECT_EQ(Host().WindowIconId(), kApplicationIconId);

    const ControlState& path = Control(kPathField);
    EXPECT_EQ(path.text, kSetupPath);
    EXPECT_TRUE(path.visible);
    EXPECT_FALSE(path.enabled);

    const ControlState& browse = Control(kBrowseButton);
    EXPECT_EQ(browse.pixels, Control(kBrowsePlaceholder).pixels);
    EXPECT_EQ(browse.style, 0x50000040u);
    EXPECT_EQ(browse.iconId, kBrowseIconId);
    EXPECT_TRUE(browse.noFocus);
    EXPECT_TRUE(browse.text.empty());
    EXPECT_FALSE(browse.enabled);

    EXPECT_EQ(Control(kOkButton).text, "OK");
    EXPECT_TRUE(Control(kOkButton).enabled);
    EXPECT_EQ(Control(kCancelButton).text, "Cancel");
    EXPECT_TRUE(Control(kCancelButton).visible);
    EXPECT_FALSE(Control(kRestartButton).visible);
    EXPECT_FALSE(Control(kLatestVersionNote).visible);
    EXPECT_TRUE(Control(kPathLabel).visible);
    EXPECT_EQ(KnownFolders().ProgramFolder, kProgramFolder);
}

struct FreeSpaceCase {
    std::uint64_t freeBytes;
    std::string info;
    bool okEnabled;
};

class InfoTextTest : public SetupTest, public ::testing::WithParamInterface<FreeSpaceCase> {};

TEST_P(InfoTextTest, WordsTheFreeSpaceAndEnablesOkOnlyWhenSomeIsFree) {
    SetFreeSpace(GetParam().freeBytes);
    RunWizard({GetParam().okEnabled ? kCancel : kEscape});
    EXPECT_EQ(InfoText(), GetParam().info);
    EXPECT_EQ(Control(kOkButton).enabled, GetParam().okEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    FreeSpace, InfoTextTest,
    ::testing::Values(
        FreeSpaceCase{500 * kMegabyte, Cat({"500MB free disk space\r\n", kAdvice, kClosing}), true},
        FreeSpaceCase{1023 * kMegabyte + kMegabyte - 1,
                      Cat({"1023MB free disk space\r\n", kAdvice, kClosing}), true},
        FreeSpaceCase{1024 * kMegabyte,
                      Cat({"1024MB free disk space\r\n", "\r\n\r\n\r\n", kClosing}), true},
        FreeSpaceCase{10240 * kMegabyte,
                      Cat({"10 GB free disk space\r\n", "\r\n\r\n\r\n", kClosing}), true},
        FreeSpaceCase{kMegabyte - 1, Cat({"\r\n", kAdvice}), false},
        FreeSpaceCase{0, Cat({"\r\n", kAdvice}), false}));

TEST_F(SetupTest, OkCannotBePressedWithoutFreeSpace) {
    SetFreeSpace(0);
    RunWizardUnchecked({kEnter});  // the host refuses Enter while OK is disabled
    EXPECT_EQ(Host().Problems().size(), 1u);
    EXPECT_EQ(Dialog().busy, 0);
    EXPECT_FALSE(Machine().Exists(std::string(kProgramFolder)));
}

// ---- The previous installation -------------------------------------------------------

TEST_F(SetupTest, PreviousInstallationAnsweredYesShowsTheFirstPage) {
    Machine().PutValue(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\swk.exe",
        "Path", sim::RegistryValue{REG_SZ, {'C', ':', '\\', 'X', 0}});
    RunWizard({kYes, kCancel});
    ASSERT_EQ(Host().Messages().size(), 1u);
    EXPECT_EQ(Host().Messages()[0].text, kQuestion);
    EXPECT_EQ(Host().Messages()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(Host().Messages()[0].title, kAppName);
    EXPECT_EQ(Control(kPathField).text, kSetupPath);
    EXPECT_EQ(Host().Snapshots().size(), 2u);  // the first page, then the end
}

TEST_F(SetupTest, PreviousInstallationAnsweredNoEndsTheSetupWithoutChanges) {
    Machine().PutValue(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\swk.exe",
        "Path", sim::RegistryValue{REG_SZ, {'C', ':', '\\', 'X', 0}});
    const auto files = Machine().ListFiles().size();
    const std::string registry = Machine().ExportRegistry();
    RunWizard({kNo});  // no further step: the dialog ends by itself
    EXPECT_EQ(Messages(), std::vector<std::string>{std::string(kQuestion)});
    EXPECT_EQ(Host().Snapshots().size(), 1u);
    EXPECT_EQ(Machine().ListFiles().size(), files);
    EXPECT_EQ(Machine().ExportRegistry(), registry);
}

// ---- Pages and transitions --------------------------------------------------------------

TEST_F(SetupTest, PagesFollowTheirTableFromInstallToRunProgram) {
    RunWizard({kOk, kOk, kOk});
    const auto& steps = Host().Snapshots();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_TRUE(Messages().empty());

    // Page 1: the install result.
    const Snapshot& result = steps[1];
    EXPECT_EQ(result.Find(kInfoText)->text, kSuccess);
    EXPECT_EQ(result.Find(kOkButton)->text, "Next");
    EXPECT_TRUE(result.Find(kOkButton)->enabled);
    EXPECT_FALSE(result.Find(kCancelButton)->visible);
    EXPECT_EQ(result.Find(kCancelButton)->text, "Close");
    EXPECT_FALSE(result.Find(kPathField)->visible);
    EXPECT_FALSE(result.Find(kPathLabel)->visible);
    EXPECT_FALSE(result.Find(kBrowseButton)->visible);
    EXPECT_TRUE(result.Find(kLatestVersionNote)->visible);
    EXPECT_FALSE(result.Find(kRestartButton)->visible);

    // Page 2: completion.
    const Snapshot& completion = steps[2];
    EXPECT_EQ(completion.Find(kInfoText)->text, kRestartParagraph);
    EXPECT_EQ(completion.Find(kOkButton)->text, "Run Program");
    EXPECT_TRUE(completion.Find(kOkButton)->enabled);
    EXPECT_TRUE(completion.Find(kCancelButton)->visible);
    EXPECT_EQ(completion.Find(kCancelButton)->text, "Close");
    EXPECT_FALSE(completion.Find(kLatestVersionNote)->visible);
    EXPECT_TRUE(completion.Find(kRestartButton)->visible);
    EXPECT_EQ(completion.Find(kInfoText)->pixels, result.Find(kInfoText)->pixels);
    EXPECT_EQ(JournalCount("init.asp"), 1);

    for (const Snapshot& step : steps) {  // the setup path can never be changed
        EXPECT_FALSE(step.Find(kPathField)->enabled) << step.step;
        EXPECT_FALSE(step.Find(kBrowseButton)->enabled) << step.step;
    }

    // Run Program: swk.exe is started and the setup ends.
    EXPECT_EQ(Dialog().page, 2);
    EXPECT_EQ(JournalCount(std::string(kProgramFolder) + "swk.exe"), 1) << Describe();
    EXPECT_EQ(Dialog().busy, 0);
}

TEST_F(SetupTest, InfoTextGrowsUpwardToTheClientTopWithItsBottomFixed) {
    RunWizard({kOk, kEscape, kEscape});
    const Rect before = Host().Snapshots()[0].Find(kInfoText)->pixels;
    const Rect after = Host().Snapshots()[1].Find(kInfoText)->pixels;
    EXPECT_EQ(before, (Rect{11, 63, 383, 213}));  // 7,39 248×92 units in MS Sans Serif 8
    // 80 pixels would put the first line of the result text above the window.
    EXPECT_EQ(after, (Rect{11, 0, 383, 213}));
}

TEST(ResultPageInfoRect, TakesEightyPixelsWhereThereIsRoomAndStopsAtTheClientTop) {
    struct Case { Rect firstPage; Rect resultPage; };
    const Case cases[] = {
        {{11, 120, 383, 300}, {11, 40, 383, 300}},  // larger fonts: the full 80 pixels
        {{11, 80, 383, 213}, {11, 0, 383, 213}},    // exactly room for 80
        {{11, 63, 383, 213}, {11, 0, 383, 213}},    // the template at 96 DPI
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResultPageInfoRect(c.firstPage), c.resultPage) << c.firstPage.top;
    }
}

// Escape, the close box and the Close button all deliver Cancel.
class CancelWayTest : public SetupTest, public ::testing::WithParamInterface<UserAction> {};

TEST_P(CancelWayTest, OnPageOneLeadsToPageTwoWithoutTheWebPage) {
    RunWizard({kOk, GetParam(), GetParam() == kCancel ? kEscape : GetParam()});
    EXPECT_EQ(Dialog().page, 2);
    EXPECT_EQ(Host().Snapshots()[2].Find(kOkButton)->text, "Run Program");
    EXPECT_EQ(JournalCount("init.asp"), 0);
    // ...and on page 2 ends the setup without starting the program.
    EXPECT_EQ(JournalCount(std::string(kProgramFolder) + "swk.exe"), 0);
}

TEST_P(CancelWayTest, OnPageZeroEndsTheSetupAtOnce) {
    RunWizard({GetParam()});
    EXPECT_EQ(Dialog().page, 0);
    EXPECT_FALSE(Machine().Exists(std::string(kProgramFolder)));
}

INSTANTIATE_TEST_SUITE_P(Ways, CancelWayTest, ::testing::Values(kEscape, kCloseBox));

TEST_F(SetupTest, TheHiddenCancelButtonCannotBeClickedOnPageOne) {
    RunWizardUnchecked({kOk, kCancel});
    ASSERT_EQ(Host().Problems().size(), 1u);
    EXPECT_EQ(Dialog().page, 1);  // the run stopped at the click
}

TEST_F(SetupTest, OkArrivingDuringAnAttemptIsIgnored) {
    Profile().registerServerResults["swk.ocx"] = E_FAIL;  // a message box during the attempt
    bool delivered = false;
    RunWizard({kOk, kAnswerOk, kEscape, kEscape}, [&](ScriptedHost& host, const MessageRecord&) {
        if (delivered) return;
        delivered = true;
        EXPECT_EQ(Dialog().busy, 1);
        host.DeliverCommand(kOkButton);  // as a nested message loop would deliver it
    });
    EXPECT_TRUE(delivered);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Registering swk.ocx"});
    EXPECT_EQ(Dialog().page, 2);
}

TEST(ApplicationNameTest, IsTheFileNameWithoutFolderAndExtension) {
    EXPECT_EQ(ApplicationName("C:\\Users\\User\\Downloads\\StashwickSetup.exe"), "StashwickSetup");
    EXPECT_EQ(ApplicationName("/usr/local/bin/stashwick-setup"), "stashwick-setup");
    EXPECT_EQ(ApplicationName("setup.v2.exe"), "setup.v2");
    EXPECT_EQ(ApplicationName("./build/.hidden"), ".hidden");
}

// ---- The platform gate --------------------------------------------------------------------

class PlatformGateTest : public SetupTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(PlatformGateTest, OnlyTheNtAndNineXFamiliesOpenTheWizard) {
    Profile().platformId = GetParam();
    const bool accepted = GetParam() != 0;
    RunSetup(accepted ? std::vector<UserAction>{kCancel} : std::vector<UserAction>{kAnswerOk});
    if (accepted) {
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(Host().Snapshots().size(), 2u);
    } else {
        EXPECT_EQ(Messages(),
                  std::vector<std::string>{"Only Windows 95, 98 , NT4.0, 2000, ME, XP"});
        EXPECT_EQ(Host().Messages()[0].title, kAppName);
        EXPECT_TRUE(Host().Snapshots().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Identifiers, PlatformGateTest, ::testing::Values(0u, 1u, 2u, 3u));

}  // namespace
}  // namespace swk::test
