// The simulated 64-bit Windows that runs the 32-bit setup: its folders, the
// registry's 32-bit view as the setup's registry calls see it, and a whole
// installation on such a machine.
#include <gtest/gtest.h>

#include <cstring>

#include "app/install_sequence.h"
#include "app/scripted_host.h"
#include "app/setup_dialog.h"
#include "paths/known_folders.h"
#include "platform/message_box.h"
#include "resources/sample_payload.h"
#include "tests/sim/machine_fixture.h"

namespace swk::sim::test {
namespace {

constexpr std::string_view kAddOnClass = "{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}";

MachineProfile Wow64Profile() {
    MachineProfile profile;
    profile.wow64 = true;
    return profile;
}

// The registry calls of a 32-bit caller, one key path at a time.
class RegistryCaller {
public:
    explicit RegistryCaller(SimulatedMachine& machine) : machine_(machine) {}

    LONG CreateWhole(HKEY root, const std::string& path, std::string_view data) {
        HKEY key = NO_KEY;
        LONG status = machine_.RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                               nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) return status;
        status = SetText(key, data);
        machine_.RegCloseKey(key);
        return status;
    }
    // Opens or creates one level after another, closing each parent, as the
    // setup's registry-text writer does.
    LONG CreateByLevels(HKEY root, const std::string& path, std::string_view data) {
        HKEY parent = root;
        for (const std::string& level : Levels(path)) {
            HKEY key = NO_KEY;
            LONG status = machine_.RegOpenKeyA(parent, level.c_str(), &key);
            if (status == ERROR_FILE_NOT_FOUND)
                status = machine_.RegCreateKeyExA(parent, level.c_str(), 0, nullptr, 0,
                                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
            if (parent != root) machine_.RegCloseKey(parent);
            if (status != ERROR_SUCCESS) return status;
            parent = key;
        }
        LONG status = SetText(parent, data);
        machine_.RegCloseKey(parent);
        return status;
    }
    // The default value of the key, or an error text.
    std::string ReadWhole(HKEY root, const std::string& path) {
        HKEY key = NO_KEY;
        if (LONG status = machine_.RegOpenKeyA(root, path.c_str(), &key))
            return "open failed " + std::to_string(status);
        std::string text = ReadText(key);
        machine_.RegCloseKey(key);
        return text;
    }
    // Opens one level after another, as the previous-installation reader does.
    std::string ReadByLevels(HKEY root, const std::string& path) {
        HKEY parent = root;
        for (const std::string& level : Levels(path)) {
            HKEY key = NO_KEY;
            LONG status = machine_.RegOpenKeyA(parent, level.c_str(), &key);
            if (parent != root) machine_.RegCloseKey(parent);
            if (status != ERROR_SUCCESS) return "open of " + level + " failed";
            parent = key;
        }
        std::string text = ReadText(parent);
        machine_.RegCloseKey(parent);
        return text;
    }

private:
    static std::vector<std::string> Levels(const std::string& path) {
        std::vector<std::string> levels;
        std::size_t start = 0;
        for (std::size_t end; (end = path.find('\\', start)) != std::string::npos; start = end + 1)
            levels.push_back(path.substr(start, end - start));
        levels.push_back(path.substr(start));
        return levels;
    }
    LONG SetText(HKEY key, std::string_view data) {
        std::string bytes(data);
        return machine_.RegSetValueExA(key, "", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(bytes.c_str()),
                                       static_cast<DWORD>(bytes.size() + 1));
    }
    std::string ReadText(HKEY key) {
        char buffer[512] = {};
        DWORD size = sizeof buffer - 1;
        if (LONG status = machine_.RegQueryValueExA(key, "", nullptr, nullptr,
                                                    reinterpret_cast<BYTE*>(buffer), &size))
            return "query failed " + std::to_string(status);
        return std::string(buffer, strnlen(buffer, size));
    }

    SimulatedMachine& machine_;
};

// ---- Folders ---------------------------------------------------------------------------

struct FolderCase {
    int csidl;
    const char* on64;  // on 64-bit Windows, asked by the 32-bit setup
    const char* on32;  // on 32-bit Windows
};

constexpr FolderCase kFolders[] = {
    {CSIDL_PROGRAM_FILES, "C:\\Program Files (x86)", "C:\\Program Files"},
    {0x2a, "C:\\Program Files (x86)", "C:\\Program Files"},  // CSIDL_PROGRAM_FILESX86
    {0x2b, "C:\\Program Files (x86)\\Common Files", "C:\\Program Files\\Common Files"},
    {CSIDL_COMMON_APPDATA, "C:\\ProgramData", "C:\\ProgramData"},
    {CSIDL_LOCAL_APPDATA, "C:\\Users\\User\\AppData\\Local", "C:\\Users\\User\\AppData\\Local"},
    {CSIDL_PERSONAL, "C:\\Users\\User\\Documents", "C:\\Users\\User\\Documents"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop", "C:\\Users\\Public\\Desktop"},
    {CSIDL_COMMON_PROGRAMS, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {CSIDL_COMMON_STARTUP, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
     "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
};

// The folder as the setup asks for it (creating it when missing).
std::string FolderOf(SimulatedMachine& machine, int csidl) {
    WCHAR buffer[MAX_PATH + 1] = {};
    if (!machine.SHGetSpecialFolderPathW(HWND{}, buffer, csidl, TRUE)) return "<none>";
    return EncodeUtf8(std::u16string(buffer));
}

class Wow64Test : public MachineTest {
protected:
    MachineProfile ProfileForTest() override { return Wow64Profile(); }
};

TEST_F(Wow64Test, FoldersOfA64BitMachineAsTheSetupSeesThem) {
    // Both program files folders exist on a fresh machine; the setup gets the 32-bit one.
    EXPECT_TRUE(machine_->Exists("C:\\Program Files"));
    EXPECT_TRUE(machine_->Exists("C:\\Program Files (x86)"));
    for (const FolderCase& c : kFolders) EXPECT_EQ(FolderOf(*machine_, c.csidl), c.on64) << c.csidl;
}

TEST_F(MachineTest, FoldersOfA32BitMachineAreUnchanged) {
    EXPECT_FALSE(machine_->Exists("C:\\Program Files (x86)"));
    for (const FolderCase& c : kFolders) EXPECT_EQ(FolderOf(*machine_, c.csidl), c.on32) << c.csidl;
}

// ---- Where the setup's keys land -------------------------------------------------------

struct KeyCase {
    const char* name;
    HKEY root;
    const char* path;    // as the setup names it below root
    const char* stored;  // where 64-bit Windows keeps it for a 32-bit caller
    const char* named;   // the same path in the 64-bit view, which must stay untouched
};

const KeyCase kKeys[] = {
    {"Uninstall", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stashwick",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
     "Stashwick",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stashwick"},
    // Shared by both views since Windows 7.
    {"AppPaths", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
     "swk.exe"},
    {"ClassThroughClassesRoot", HKEY_CLASSES_ROOT,
     "CLSID\\{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}\\InprocServer32",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\"
     "{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}\\InprocServer32",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}"},
    {"ClassThroughMachine", HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{0}",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{0}",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0}"},
    {"BrowserButton", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{6E3B17D3-84C9-4F05-A1E6-3D92B07C5F18}",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\Extensions\\"
     "{6E3B17D3-84C9-4F05-A1E6-3D92B07C5F18}",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Extensions"},
    // A shared key below a redirected one, whose 32-bit parents a fresh machine lacks.
    {"SharedBelowRedirected", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\D",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\D",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
     "DriveIcons"},
    {"FileTypeIsShared", HKEY_CLASSES_ROOT, ".swk", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.swk",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\.swk"},
    {"NamedNodeIsNotSentFurther", HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Tarnwell",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tarnwell",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Wow6432Node"},
    {"UserMenuEntry", HKEY_CURRENT_USER,
     "Software\\Microsoft\\Internet Explorer\\MenuExt\\SWK: Save Page",
     "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\SWK: Save Page",
     "HKEY_CURRENT_USER\\Software\\Wow6432Node"},
    {"UserClass", HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{0}",
     "HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\CLSID\\{0}",
     "HKEY_CURRENT_USER\\Software\\Classes\\CLSID"},
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

class Wow64KeyTest : public Wow64Test, public ::testing::WithParamInterface<KeyCase> {
protected:
    std::string Stored() const {
        auto value = machine_->ReadValue(GetParam().stored, "");
        return value ? value->Text() : "<missing>";
    }
};

TEST_P(Wow64KeyTest, AWholePathLandsInTheViewAndReadsBackByLevels) {
    const KeyCase& c = GetParam();
    RegistryCaller caller(*machine_);
    ASSERT_EQ(caller.CreateWhole(c.root, c.path, "whole"), ERROR_SUCCESS);
    EXPECT_EQ(Stored(), "whole");
    EXPECT_FALSE(machine_->KeyExists(c.named));
    EXPECT_EQ(caller.ReadByLevels(c.root, c.path), "whole");
    EXPECT_EQ(caller.ReadWhole(c.root, c.path), "whole");
}

TEST_P(Wow64KeyTest, AWalkByLevelsLandsInTheSamePlaceAsTheWholePath) {
    const KeyCase& c = GetParam();
    RegistryCaller caller(*machine_);
    ASSERT_EQ(caller.CreateByLevels(c.root, c.path, "levels"), ERROR_SUCCESS);
    EXPECT_EQ(Stored(), "levels");
    EXPECT_FALSE(machine_->KeyExists(c.named));
    EXPECT_EQ(caller.ReadWhole(c.root, c.path), "levels");
}

TEST_P(Wow64KeyTest, DeletingRemovesTheViewsKeyAndLeavesTheOtherView) {
    const KeyCase& c = GetParam();
    RegistryCaller caller(*machine_);
    machine_->PutValue(c.named, "", RegistryValue{REG_SZ, Bytes(std::string("other") + '\0')});
    ASSERT_EQ(caller.CreateWhole(c.root, c.path, "view"), ERROR_SUCCESS);
    EXPECT_EQ(machine_->RegDeleteKeyA(c.root, c.path), ERROR_SUCCESS);
    EXPECT_FALSE(machine_->KeyExists(c.stored));
    EXPECT_EQ(machine_->ReadValue(c.named, "")->Text(), "other");
    EXPECT_EQ(machine_->RegDeleteKeyA(c.root, c.path), ERROR_FILE_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(SetupKeys, Wow64KeyTest, ::testing::ValuesIn(kKeys),
                         [](const ::testing::TestParamInfo<KeyCase>& row) {
                             return std::string(row.param.name);
                         });

// On 32-bit Windows every key lands where it is named.
TEST_F(MachineTest, KeysOfA32BitMachineLandWhereNamed) {
    RegistryCaller caller(*machine_);
    for (const KeyCase& c : kKeys) {
        ASSERT_EQ(caller.CreateByLevels(c.root, c.path, c.name), ERROR_SUCCESS) << c.name;
        const std::string root = c.root == HKEY_CLASSES_ROOT
                                     ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\"
                                 : c.root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\"
                                                               : "HKEY_LOCAL_MACHINE\\";
        const auto value = machine_->ReadValue(root + c.path, "");
        EXPECT_EQ(value ? value->Text() : "<missing>", c.name);
    }
    EXPECT_FALSE(machine_->KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node"));
}

TEST_F(Wow64Test, OneOpenKeyServesBothViewsBelowIt) {
    // A handle on SOFTWARE is the 32-bit copy; a shared key below it is still the shared one.
    machine_->PutValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tarnwell", "",
                       RegistryValue{REG_SZ, Bytes(std::string("32") + '\0')});
    machine_->PutValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell", "",
                       RegistryValue{REG_SZ, Bytes(std::string("64") + '\0')});
    RegistryCaller caller(*machine_);
    ASSERT_EQ(caller.CreateWhole(HKEY_LOCAL_MACHINE,
                                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe",
                                 "shared"),
              ERROR_SUCCESS);
    HKEY software = NO_KEY;
    ASSERT_EQ(machine_->RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE", &software), ERROR_SUCCESS);
    EXPECT_EQ(caller.ReadWhole(software, "Tarnwell"), "32");
    EXPECT_EQ(caller.ReadWhole(software, "Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe"),
              "shared");
    // The 64-bit copy cannot be reached from the 32-bit view.
    EXPECT_EQ(caller.ReadWhole(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwell"), "32");
    machine_->RegCloseKey(software);
}

TEST_F(Wow64Test, WholePathAndLevelsAgreeWhereThe32BitParentsAreMissing) {
    // Put into the 64-bit view only: the 32-bit view has no Explorer key above it.
    const std::string path =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\E";
    machine_->PutValue("HKEY_LOCAL_MACHINE\\" + path, "",
                       RegistryValue{REG_SZ, Bytes(std::string("64") + '\0')});
    RegistryCaller caller(*machine_);
    EXPECT_EQ(caller.ReadByLevels(HKEY_LOCAL_MACHINE, path), "open of Explorer failed");
    EXPECT_EQ(caller.ReadWhole(HKEY_LOCAL_MACHINE, path), "open failed 2");
}

TEST_F(Wow64Test, RefusalsNameTheKeyWhereItIsKept) {
    machine_->Profile().registryKeysDenyCreate.insert(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer");
    RegistryCaller caller(*machine_);
    EXPECT_EQ(caller.CreateWhole(HKEY_LOCAL_MACHINE,
                                 "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{0}", "x"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(caller.CreateWhole(HKEY_LOCAL_MACHINE,
                                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\S", "x"),
              ERROR_SUCCESS);
}

// ---- A whole installation --------------------------------------------------------------

constexpr std::string_view kProgramFolder = "C:\\Program Files (x86)\\Tarnwell\\Stashwick\\";
constexpr std::string_view kUninstall =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "Stashwick";
constexpr std::string_view kAppPaths =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe";

class Wow64InstallTest : public Wow64Test {
protected:
    void SetUp() override {
        Wow64Test::SetUp();
        machine_->Profile().localTime = "2014-09-04 09:05:07";
        machine_->Profile().drives[0].freeBytes = 50ull << 30;
        machine_->SaveProfile();
        Reopen();
    }
    void TearDown() override {
        ResetKnownFolders();
        Wow64Test::TearDown();
    }
    // Opens the machine afresh (as a later process) and runs the wizard on `script`.
    std::unique_ptr<app::ScriptedHost> RunWizard(std::vector<app::UserAction> script) {
        Reopen();
        const auto payload = SamplePayload();
        machine_->SetOwnModule("C:\\Users\\User\\Downloads\\StashwickSetup.exe",
                               {{app::kPayloadResourceId, {payload.begin(), payload.end()}}},
                               {{"FileVersion", "4, 5, 0, 0"}, {"SpecialBuild", "0"}});
        ScopedSystemServices services(*machine_);
        ResetKnownFolders();
        auto host = std::make_unique<app::ScriptedHost>("StashwickSetup", std::move(script));
        app::SetupDialog dialog(*host);
        ScopedMessageBoxService messages(*host);
        host->RunModal(dialog);
        EXPECT_EQ(host->Remaining(), 0u);
        EXPECT_EQ(dialog.page, 2);
        return host;
    }
    std::string Value(std::string_view key, std::string_view name) {
        auto value = machine_->ReadValue(key, name);
        return value ? value->Text() : "<missing>";
    }
};

TEST_F(Wow64InstallTest, InstallsIntoThe32BitFoldersAndViewAndFindsItselfAgain) {
    using app::UserAction;
    auto first = RunWizard({UserAction::ClickOk, UserAction::PressEscape, UserAction::PressEscape});
    EXPECT_TRUE(first->MessageTexts().empty());
    for (const std::string& target : app::InstallTargets())
        EXPECT_TRUE(machine_->Exists(target)) << target;
    EXPECT_EQ(app::InstallTargets()[0], std::string(kProgramFolder) + "swk.exe");
    EXPECT_FALSE(machine_->Exists("C:\\Program Files\\Tarnwell"));

    EXPECT_EQ(Value(kUninstall, "UninstallString"), std::string(kProgramFolder) + "Uninstall.exe");
    EXPECT_FALSE(machine_->KeyExists(
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stashwick"));
    EXPECT_EQ(Value(kAppPaths, "Path"), "C:\\Program Files (x86)\\Tarnwell\\Stashwick");
    EXPECT_EQ(Value(kAppPaths, ""), std::string(kProgramFolder) + "swk.exe");
    EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\" +
                        std::string(kAddOnClass) + "\\InprocServer32",
                    ""),
              std::string(kProgramFolder) + "swk.dll");
    EXPECT_FALSE(machine_->KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" +
                                     std::string(kAddOnClass)));
    EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\"
                    "Extensions\\{6E3B17D5-84C9-4F05-A1E6-3D92B07C5F18}",
                    "Exec"),
              std::string(kProgramFolder) + "swk.exe");
    EXPECT_FALSE(machine_->KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer"));
    EXPECT_TRUE(machine_->KeyExists(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\SWK: Save Page"));
    EXPECT_FALSE(machine_->KeyExists("HKEY_CURRENT_USER\\Software\\Wow6432Node"));

    // A second run reads the record back through the same view and asks first.
    auto second = RunWizard({UserAction::AnswerYes, UserAction::ClickOk, UserAction::PressEscape,
                             UserAction::PressEscape});
    ASSERT_EQ(second->MessageTexts().size(), 1u);
    EXPECT_NE(second->MessageTexts()[0].find("previous installation"), std::string::npos);
    EXPECT_EQ(KnownFolders().PreviousInstallPath, "C:\\Program Files (x86)\\Tarnwell\\Stashwick");
}

}  // namespace
}  // namespace swk::sim::test
