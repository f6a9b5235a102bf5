// The browser add-on's registration and cleanup against the simulated
// machine: every row read back from the machine's registry, a second
// registration, a refused extension key, and the cleanup of the menu keys.
#include "registration/browser_addon.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "registration/registry_table.h"
#include "tests/registration/forwarding_services.h"
#include "tests/registration/machine_fixture.h"

namespace swk::test {
namespace {

#define CLASS_ID "{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}"
#define CLASS_KEY "CLSID\\" CLASS_ID
#define SERVER_KEY CLASS_KEY "\\InprocServer32"
#define EXTENSIONS "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\"
#define SAVE_BUTTON EXTENSIONS "{6E3B17D3-84C9-4F05-A1E6-3D92B07C5F18}"
#define PANE_BUTTON EXTENSIONS "{6E3B17D4-84C9-4F05-A1E6-3D92B07C5F18}"
#define RUN_BUTTON EXTENSIONS "{6E3B17D5-84C9-4F05-A1E6-3D92B07C5F18}"
#define MENU "Software\\Microsoft\\Internet Explorer\\MenuExt\\SWK: "
#define SCRIPT_CLASS "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"
#define BAR_CLASS "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}"
#define PF "C:\\Apps\\Stashwick\\"

struct AddOnRow {
    int row;
    HKEY root;
    const char* rootName;
    const char* keyPath;
    const char* valueName;
    const char* text;  // nullptr: a REG_DWORD of `number`
    std::uint32_t number = 0;
};

constexpr const char* kClasses = "HKEY_CLASSES_ROOT";
constexpr const char* kMachine = "HKEY_LOCAL_MACHINE";
constexpr const char* kUser = "HKEY_CURRENT_USER";

const AddOnRow kAddOnRows[] = {
    {1, HKEY_CLASSES_ROOT, kClasses, CLASS_KEY, "", "Tarnwell Stashwick"},
    {2, HKEY_CLASSES_ROOT, kClasses, SERVER_KEY, "", PF "swk.dll"},
    {3, HKEY_CLASSES_ROOT, kClasses, SERVER_KEY, "ThreadingModel", "Apartment"},
    {4, HKEY_LOCAL_MACHINE, kMachine, SAVE_BUTTON, "CLSID", SCRIPT_CLASS},
    {5, HKEY_LOCAL_MACHINE, kMachine, SAVE_BUTTON, "ButtonText", "Save Page"},
    {6, HKEY_LOCAL_MACHINE, kMachine, SAVE_BUTTON, "HotIcon", PF "swk.dll,199"},
    {7, HKEY_LOCAL_MACHINE, kMachine, SAVE_BUTTON, "Icon", PF "swk.dll,199"},
    {8, HKEY_LOCAL_MACHINE, kMachine, SAVE_BUTTON, "Default Visible", "Yes"},
    {9, HKEY_LOCAL_MACHINE, kMachine, SAVE_BUTTON, "Script", "res://" PF "\\swk.ocx/205"},
    {10, HKEY_LOCAL_MACHINE, kMachine, PANE_BUTTON, "CLSID", BAR_CLASS},
    {11, HKEY_LOCAL_MACHINE, kMachine, PANE_BUTTON, "ButtonText", "SWK Pane"},
    {12, HKEY_LOCAL_MACHINE, kMachine, PANE_BUTTON, "HotIcon", PF "swk.dll,314"},
    {13, HKEY_LOCAL_MACHINE, kMachine, PANE_BUTTON, "Icon", PF "swk.dll,314"},
    {14, HKEY_LOCAL_MACHINE, kMachine, PANE_BUTTON, "Default Visible", "Yes"},
    {15, HKEY_LOCAL_MACHINE, kMachine, PANE_BUTTON, "BandCLSID", CLASS_ID},
    {16, HKEY_LOCAL_MACHINE, kMachine, RUN_BUTTON, "CLSID", SCRIPT_CLASS},
    {17, HKEY_LOCAL_MACHINE, kMachine, RUN_BUTTON, "ButtonText", "Run SWK"},
    {18, HKEY_LOCAL_MACHINE, kMachine, RUN_BUTTON, "HotIcon", PF "swk.dll,316"},
    {19, HKEY_LOCAL_MACHINE, kMachine, RUN_BUTTON, "Icon", PF "swk.dll,316"},
    {20, HKEY_LOCAL_MACHINE, kMachine, RUN_BUTTON, "Default Visible", "Yes"},
    {21, HKEY_LOCAL_MACHINE, kMachine, RUN_BUTTON, "Exec", PF "swk.exe"},
    {22, HKEY_CURRENT_USER, kUser, MENU "Pass Page", "", "res://" PF "swk.ocx/204"},
    {23, HKEY_CURRENT_USER, kUser, MENU "Pass Page", "Contexts", nullptr, 1},
    {24, HKEY_CURRENT_USER, kUser, MENU "Save Page", "", "res://" PF "swk.ocx/203"},
    {25, HKEY_CURRENT_USER, kUser, MENU "Save Page", "Contexts", nullptr, 1},
};

std::string KeyText(const AddOnRow& row) {
    return std::string(row.rootName) + "\\" + row.keyPath;
}

sim::RegistryValue Expected(const AddOnRow& row) {
    return row.text != nullptr ? StringValue(row.text) : DwordValue(row.number);
}

std::string MenuKeyText(const char* entryName) {
    return std::string(kUser) + "\\" MENU + entryName;
}

TEST(GuidToTextTest, FormatsEveryFieldInUpperCaseHex) {
    EXPECT_EQ(GuidToText(AddOnComponentClassId), CLASS_ID);
    EXPECT_EQ(GuidToText(SavePageButtonId), "{6E3B17D3-84C9-4F05-A1E6-3D92B07C5F18}");
    EXPECT_EQ(GuidToText(PaneButtonId), "{6E3B17D4-84C9-4F05-A1E6-3D92B07C5F18}");
    EXPECT_EQ(GuidToText(RunButtonId), "{6E3B17D5-84C9-4F05-A1E6-3D92B07C5F18}");
    const GUID padded = {
        0x0A0B0C0D, 0x0E0F, 0x00AB, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF}};
    EXPECT_EQ(GuidToText(padded), "{0A0B0C0D-0E0F-00AB-0001-0203040506FF}");
    const GUID all = {0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(GuidToText(all).size(), 38u);
}

// ---- Registration, row by row -------------------------------------------------------

void PrintTo(const AddOnRow& c, std::ostream* os) {
    *os << "row " << c.row;
}

class AddOnRowTest : public MachineTest, public ::testing::WithParamInterface<AddOnRow> {};

TEST_P(AddOnRowTest, RowIsListedInItsPlaceAndWrittenToTheMachine) {
    const AddOnRow& expected = GetParam();
    ASSERT_EQ(RegisterProductAddOn(), 1) << Describe();

    const RegistryEntry& entry = RegistryEntryTable()[expected.row - 1];
    EXPECT_EQ(entry.root, expected.root);
    EXPECT_EQ(entry.keyPath, expected.keyPath);
    EXPECT_EQ(entry.valueName, expected.valueName);
    EXPECT_EQ(entry.stringData, expected.text != nullptr ? expected.text : "");
    EXPECT_EQ(entry.dwordData, expected.number);
    EXPECT_EQ(Value(KeyText(expected), expected.valueName), Show(Expected(expected)));
}

INSTANTIATE_TEST_SUITE_P(Rows, AddOnRowTest, ::testing::ValuesIn(kAddOnRows),
                         [](const auto& caseInfo) {
                             return "Row" + std::to_string(caseInfo.param.row);
                         });

// ---- Registration as a whole ----------------------------------------------------------

using AddOnRegistrationTest = MachineTest;

TEST_F(AddOnRegistrationTest, ListEndsAfterTwentyFiveRowsAndEveryKeyIsClosed) {
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(RegisterProductAddOn(), 1);
    EXPECT_EQ(RegistryEntryTable()[25].root, NO_KEY);
    EXPECT_EQ(counting.keysOpened, 25);
    EXPECT_EQ(counting.keysClosed, 25);
}

TEST_F(AddOnRegistrationTest, SecondRegistrationOverwritesTheSameValues) {
    ASSERT_EQ(RegisterProductAddOn(), 1);
    const std::string first = Machine().ExportRegistry();
    EXPECT_EQ(RegisterProductAddOn(), 1);
    EXPECT_EQ(Machine().ExportRegistry(), first);
}

TEST_F(AddOnRegistrationTest, RefusedExtensionKeyKeepsTheClassRowsAndWritesNothingAfter) {
    Profile().registryKeysDenyCreate.insert(std::string(kMachine) + "\\" SAVE_BUTTON);

    EXPECT_EQ(RegisterProductAddOn(), 0);
    for (const AddOnRow& row : kAddOnRows) {
        const std::string actual = Value(KeyText(row), row.valueName);
        if (row.row <= 3) {
            EXPECT_EQ(actual, Show(Expected(row))) << "row " << row.row;
        } else {
            EXPECT_EQ(actual, "<missing>") << "row " << row.row;
        }
    }
    EXPECT_FALSE(Machine().KeyExists(std::string(kMachine) + "\\" PANE_BUTTON));
    EXPECT_FALSE(Machine().KeyExists(MenuKeyText("Pass Page"))) << Describe();
}

// Fails the nth key creation, then the nth value write, for n = 1, 2, ... until
// no fault fires. Every value starts out stale: a refused key ends the pass with
// 0 and no row from it on is written; a refused value is the only one left stale
// and the pass still returns 1.
TEST_F(AddOnRegistrationTest, EveryRefusedKeyOrValueLeavesExactlyTheRowsBeforeIt) {
    for (const sim::Op op : {sim::Op::RegCreateKeyExA, sim::Op::RegSetValueExA}) {
        for (int failing = 1;; ++failing) {
            for (const AddOnRow& row : kAddOnRows) {
                Machine().PutValue(KeyText(row), row.valueName, StringValue("stale"));
            }
            Machine().Fault().Clear();
            Machine().Fault().FailCall(op, failing);
            const int result = RegisterProductAddOn();
            if (Machine().Fault().FiredCount() == 0) {
                EXPECT_EQ(result, 1);
                EXPECT_EQ(failing, 26);  // one key and one value per row
                break;
            }
            const bool keyRefused = op == sim::Op::RegCreateKeyExA;
            EXPECT_EQ(result, keyRefused ? 0 : 1) << "call " << failing;
            for (const AddOnRow& row : kAddOnRows) {
                const bool written = keyRefused ? row.row < failing : row.row != failing;
                EXPECT_EQ(Value(KeyText(row), row.valueName),
                          Show(written ? Expected(row) : StringValue("stale")))
                    << "call " << failing << ", row " << row.row;
            }
        }
    }
}

// ---- Cleanup of the menu entries ---------------------------------------------------------

const char* const kMenuEntries[] = {"Pass Page",    "Save Page",      "Save Link",
                                    "Save Picture", "Mark Selection", "Cache Page"};

struct CleanupCase {
    const char* name;
    unsigned present;  // bit i: entry i of kMenuEntries exists before the cleanup
    int undeletable;   // index of an entry that cannot be deleted, or -1
    int failures;
};

const CleanupCase kCleanupCases[] = {
    {"NonePresent", 0x00, -1, 0},   {"SomePresent", 0x15, -1, 0},     {"AllPresent", 0x3F, -1, 0},
    {"OneUndeletable", 0x3F, 2, 1}, {"FirstUndeletable", 0x3F, 0, 1},
};

void PrintTo(const CleanupCase& c, std::ostream* os) {
    *os << c.name;
}

class AddOnCleanupTest : public MachineTest, public ::testing::WithParamInterface<CleanupCase> {
protected:
    // Keys beside the six that the cleanup must leave alone.
    const std::string otherEntry_ = MenuKeyText("Other Entry");
    const std::string otherAddOn_ =
        std::string(kUser) + "\\Software\\Microsoft\\Internet Explorer\\MenuExt\\Other Add-On";
    const std::string machineEntry_ = std::string(kMachine) + "\\" MENU "Pass Page";
};

TEST_P(AddOnCleanupTest, RemovesTheSixEntriesAndCountsRealFailures) {
    const CleanupCase& c = GetParam();
    for (int i = 0; i < 6; ++i) {
        if (c.present & (1u << i))
            Machine().PutValue(MenuKeyText(kMenuEntries[i]), "", StringValue("old"));
    }
    if (c.undeletable >= 0)
        Profile().registryKeysDenyDelete.insert(MenuKeyText(kMenuEntries[c.undeletable]));
    Machine().PutValue(otherEntry_, "", StringValue("other"));
    Machine().PutValue(otherAddOn_, "", StringValue("other"));
    Machine().PutKey(machineEntry_);

    EXPECT_EQ(RemoveAddOnMenuEntries(), c.failures);
    EXPECT_EQ(RegistryEntryTable()[6].root, NO_KEY);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Machine().KeyExists(MenuKeyText(kMenuEntries[i])), i == c.undeletable)
            << kMenuEntries[i] << "\n"
            << Describe();
    }
    EXPECT_EQ(Value(otherEntry_, ""), Show(StringValue("other")));
    EXPECT_EQ(Value(otherAddOn_, ""), Show(StringValue("other")));
    EXPECT_TRUE(Machine().KeyExists(machineEntry_));
}

INSTANTIATE_TEST_SUITE_P(Cases, AddOnCleanupTest, ::testing::ValuesIn(kCleanupCases),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(AddOnRegistrationTest, CleanupThenRegistrationLeavesOnlyTheTwoEntriesItWrites) {
    for (const char* entry : kMenuEntries)
        Machine().PutValue(MenuKeyText(entry), "", StringValue("old"));

    EXPECT_EQ(RemoveAddOnMenuEntries(), 0);
    EXPECT_EQ(RegisterProductAddOn(), 1);
    for (const char* entry : kMenuEntries) {
        const bool written = std::string(entry) == "Pass Page" || std::string(entry) == "Save Page";
        EXPECT_EQ(Machine().KeyExists(MenuKeyText(entry)), written) << entry;
    }
    EXPECT_EQ(Value(MenuKeyText("Save Page"), ""), Show(StringValue("res://" PF "swk.ocx/203")));
}

}  // namespace
}  // namespace swk::test
