// Installation records against the simulated machine: the uninstall and App
// Paths values read back from its registry, the shortcut files decoded from
// its disk, and the results of component self-registration.
#include "registration/install_records.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/shell_link_file.h"
#include "tests/registration/forwarding_services.h"
#include "tests/registration/machine_fixture.h"
#include "tests/registration/test_modules.h"

namespace swk::test {
namespace {

#define UNINSTALL \
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stashwick"
#define APP_PATHS \
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe"

// ---- Registry records ------------------------------------------------------------------

struct RecordValue {
    const char* key;
    const char* valueName;
    const char* data;
};

const RecordValue kRecordValues[] = {
    {UNINSTALL, "DisplayName", "Stashwick"},
    {UNINSTALL, "DisplayIcon", "C:\\Apps\\Stashwick\\Uninstall.exe"},
    {UNINSTALL, "UninstallString", "C:\\Apps\\Stashwick\\Uninstall.exe"},
    {APP_PATHS, "", "C:\\Apps\\Stashwick\\swk.exe"},
    {APP_PATHS, "ProgramData", "C:\\ProgramData\\Tarnwell\\Stashwick"},
    {APP_PATHS, "FileVersion", "4, 5, 0, 0"},
    {APP_PATHS, "Path", "C:\\Apps\\Stashwick"},
    {APP_PATHS, "SpecialBuild", "0"},
};

void PrintTo(const RecordValue& c, std::ostream* os) {
    *os << c.key << "\\" << c.valueName;
}

class RecordValueTest : public MachineTest, public ::testing::WithParamInterface<RecordValue> {};

TEST_P(RecordValueTest, IsWrittenAsString) {
    const RecordValue& expected = GetParam();
    EXPECT_EQ(WriteUninstallEntry(), 0);
    EXPECT_EQ(WriteAppPathsEntry("0", "4, 5, 0, 0"), 0);
    EXPECT_EQ(Value(expected.key, expected.valueName), Show(StringValue(expected.data)))
        << Describe();
}

INSTANTIATE_TEST_SUITE_P(Values, RecordValueTest, ::testing::ValuesIn(kRecordValues),
                         [](const auto& caseInfo) {
                             std::string name =
                                 std::string(caseInfo.param.key)
                                     .substr(std::string(caseInfo.param.key).rfind('\\') + 1) +
                                 caseInfo.param.valueName;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

using InstallRecordsTest = MachineTest;

TEST_F(InstallRecordsTest, RecordsCloseEveryKeyTheyOpen) {
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);
    EXPECT_EQ(WriteUninstallEntry(), 0);
    EXPECT_EQ(WriteAppPathsEntry("0", "4, 5, 0, 0"), 0);
    EXPECT_GT(counting.keysOpened, 0);
    EXPECT_EQ(counting.keysOpened, counting.keysClosed);
}

TEST_F(InstallRecordsTest, RefusedValueIsCountedAndTheNextOnesAreStillWritten) {
    Machine().Fault().FailCall(sim::Op::RegSetValueExA, 2);  // "ProgramData"

    EXPECT_EQ(WriteAppPathsEntry("0", "4, 5, 0, 0"), 1);
    EXPECT_EQ(Value(APP_PATHS, "ProgramData"), "<missing>");
    EXPECT_EQ(Value(APP_PATHS, ""), Show(StringValue("C:\\Apps\\Stashwick\\swk.exe")));
    EXPECT_EQ(Value(APP_PATHS, "SpecialBuild"), Show(StringValue("0"))) << Describe();
}

// ---- Shortcuts ----------------------------------------------------------------------------

class ShortcutTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        for (std::string_view folder : {kDesktopFolder, kProgramsMenuFolder, kStartupFolder}) {
            Machine().PutFolder(folder);
        }
        Sys().CoInitialize(nullptr);  // the install sequence opens COM before the links
    }
    void TearDown() override {
        // Every link object released and every wide path freed, whatever the outcome.
        EXPECT_EQ(Machine().LiveComObjects(), 0);
        EXPECT_EQ(Machine().LiveSystemStrings(), 0u);
        Sys().CoUninitialize();
        MachineTest::TearDown();
    }
    std::optional<sim::ShellLinkData> Link(std::string_view folder) {
        const auto bytes = Machine().ReadFileBytes(std::string(folder) + "Stashwick.lnk");
        if (!bytes) return std::nullopt;
        return sim::DecodeShellLink(*bytes);
    }

    const sim::ShellLinkData program_{"C:\\Apps\\Stashwick\\swk.exe", "", "Stashwick"};
    const sim::ShellLinkData startup_{"C:\\Apps\\Stashwick\\swk.exe", "/Restart",
                                      "Stashwick setup"};
};

TEST_F(ShortcutTest, MakesThreeLinksToTheProgram) {
    EXPECT_EQ(CreateProductShortcuts(), 0);
    EXPECT_EQ(Link(kDesktopFolder), program_) << Describe();
    EXPECT_EQ(Link(kProgramsMenuFolder), program_);
    EXPECT_EQ(Link(kStartupFolder), startup_);
}

TEST_F(ShortcutTest, FailedLinkObjectIsReturnedAndTheNextLinkIsStillMade) {
    Machine().Fault().FailCall(sim::Op::CoCreateInstance, 1, false, ERROR_ACCESS_DENIED);

    EXPECT_EQ(CreateProductShortcuts(), 1);
    EXPECT_EQ(Link(kDesktopFolder), std::nullopt);
    EXPECT_EQ(Link(kProgramsMenuFolder), program_) << Describe();
    EXPECT_EQ(Link(kStartupFolder), startup_);
}

TEST_F(ShortcutTest, ResultIsTheFailureOfCreatingOrSaving) {
    const std::string target = "C:\\Apps\\Stashwick\\swk.exe";
    const std::string link = std::string(kDesktopFolder) + "Stashwick.lnk";

    Machine().Fault().FailCall(sim::Op::CoCreateInstance, 1, false,
                               static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG));
    EXPECT_EQ(CreateShortcut(target, link, "d", ""), REGDB_E_CLASSNOTREG);
    Machine().Fault().FailCall(sim::Op::ShellLinkSave, 1, false, ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateShortcut(target, link, "d", ""), E_ACCESSDENIED);
    EXPECT_FALSE(Machine().Exists(link)) << Describe();

    EXPECT_EQ(CreateShortcut(target, link, "d", ""), S_OK);
    EXPECT_TRUE(Machine().Exists(link));
}

// ---- Component self-registration ----------------------------------------------------------

struct ComponentCase {
    const char* name;
    std::optional<std::vector<std::string>> exports;  // nothing: no file; {"!"}: not a module
    HRESULT registerResult;
    int expected;
};

const ComponentCase kComponentCases[] = {
    {"MissingFile", std::nullopt, S_OK, kComponentNotLoaded},
    {"NotAnImage", std::vector<std::string>{"!"}, S_OK, kComponentNotLoaded},
    {"NoEntryPoint", std::vector<std::string>{"DllGetClassObject", "DllCanUnloadNow"}, S_OK,
     kComponentNoEntryPoint},
    {"Registered", std::vector<std::string>{"DllGetClassObject", "DllRegisterServer"}, S_OK,
     kComponentRegistered},
    {"PositiveSuccessCode", std::vector<std::string>{"DllRegisterServer"}, S_FALSE,
     kComponentRegistered},
    {"FailureCode", std::vector<std::string>{"DllRegisterServer"}, E_ACCESSDENIED,
     kComponentRegistrationFailed},
};

void PrintTo(const ComponentCase& c, std::ostream* os) {
    *os << c.name;
}

class ComponentTest : public MachineTest, public ::testing::WithParamInterface<ComponentCase> {};

TEST_P(ComponentTest, ResultTellsHowFarRegistrationGot) {
    const ComponentCase& c = GetParam();
    const std::string module = "C:\\Apps\\Stashwick\\swk.ocx";
    if (c.exports == std::vector<std::string>{"!"}) {
        const std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ',
                                                'm', 'o', 'd', 'u', 'l', 'e'};
        Machine().PutFile(module, text);
    } else if (c.exports) {
        Machine().PutFile(module, DllImageWithExports(*c.exports));
    }
    Profile().registerServerResults["swk.ocx"] = c.registerResult;
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(RegisterComponent(module), c.expected) << Describe();
    EXPECT_EQ(counting.modulesLoaded, counting.modulesFreed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ComponentTest, ::testing::ValuesIn(kComponentCases),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(InstallRecordsTest, FailedFirstComponentDoesNotStopTheSecond) {
    const std::vector<std::string> registrable = {"DllRegisterServer"};
    Machine().PutFile("C:\\Apps\\Stashwick\\swk.dll", DllImageWithExports(registrable));

    std::vector<std::string> messages;
    for (const ProductComponent& component : ProductComponents) {
        const std::string path = std::string(kProgramFolder) + std::string(component.fileName);
        if (RegisterComponent(path) != kComponentRegistered)
            messages.emplace_back(component.errorText);
    }
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Registering swk.ocx"});
}

}  // namespace
}  // namespace swk::test
