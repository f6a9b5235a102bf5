// WriteRegistryText against the simulated machine: how a text addresses its
// root, keys and value, what it creates, what it refuses, and that every key
// it opens is closed again.
#include "registration/registry_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/registration/forwarding_services.h"
#include "tests/registration/machine_fixture.h"

namespace swk::test {
namespace {

struct TextCase {
    const char* name;
    const char* text;
    const char* data;
    int result;
    const char* key;  // where the value must land; nullptr when nothing is written
    const char* valueName;
};

const TextCase kTextCases[] = {
    {"NamedValue", "HKEY_CURRENT_USER\\Software\\Tarnwell\\Name", "x", 1,
     "HKEY_CURRENT_USER\\Software\\Tarnwell", "Name"},
    {"MissingMiddleKeysAreCreated", "HKEY_CURRENT_USER\\Software\\New\\Middle\\Leaf\\Name", "y", 1,
     "HKEY_CURRENT_USER\\Software\\New\\Middle\\Leaf", "Name"},
    {"TrailingBackslashWritesDefaultValue",
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe\\",
     "C:\\Apps\\swk.exe", 1,
     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe", ""},
    {"RootNameAloneWritesRootDefaultValue", "HKEY_CURRENT_USER", "root", 1, "HKEY_CURRENT_USER",
     ""},
    {"EmptyDataIsAnEmptyString", "HKEY_CURRENT_USER\\Software\\Tarnwell\\Empty", "", 1,
     "HKEY_CURRENT_USER\\Software\\Tarnwell", "Empty"},
    {"ClassesRoot", "HKEY_CLASSES_ROOT\\CLSID\\{X}\\Name", "c", 1, "HKEY_CLASSES_ROOT\\CLSID\\{X}",
     "Name"},
    {"LowerCaseRootIsRefused", "hkey_current_user\\Software\\Tarnwell\\Name", "x", 0, nullptr,
     nullptr},
    {"UnknownRootIsRefused", "HKEY_SOMEWHERE\\Software\\Name", "x", 0, nullptr, nullptr},
    {"EmptyTextIsRefused", "", "x", 0, nullptr, nullptr},
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class RegistryTextTest : public MachineTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(RegistryTextTest, WritesTheAddressedValueAndClosesEveryKey) {
    const TextCase& c = GetParam();
    Machine().PutValue("HKEY_CURRENT_USER\\Software\\Tarnwell", "Existing", StringValue("kept"));
    const std::string before = Machine().ExportRegistry();
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(WriteRegistryText(c.text, c.data), c.result);
    if (c.key != nullptr) {
        EXPECT_EQ(Value(c.key, c.valueName), Show(StringValue(c.data))) << Describe();
        EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Tarnwell", "Existing"),
                  Show(StringValue("kept")));
    } else {
        EXPECT_EQ(Machine().ExportRegistry(), before);
    }
    EXPECT_EQ(counting.keysOpened, counting.keysClosed);
}

INSTANTIATE_TEST_SUITE_P(Texts, RegistryTextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

using RegistryTextWalkTest = MachineTest;

TEST_F(RegistryTextWalkTest, OpensOneKeyPerLevelAndHoldsAtMostOnePerLevel) {
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(WriteRegistryText("HKEY_CURRENT_USER\\A\\B\\C\\D\\Name", "v"), 1);
    EXPECT_EQ(counting.keysOpened, 4);
    EXPECT_EQ(counting.keysClosed, 4);
    EXPECT_LE(counting.mostKeysOpen, 4);
    // The second time every key exists and is opened, not created.
    counting.createdKeys.clear();
    EXPECT_EQ(WriteRegistryText("HKEY_CURRENT_USER\\A\\B\\C\\D\\Name", "w"), 1);
    EXPECT_TRUE(counting.createdKeys.empty());
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\A\\B\\C\\D", "Name"), Show(StringValue("w")));
}

TEST_F(RegistryTextWalkTest, PathDeeperThanTheRegistryAllowsIsRefusedUntouched) {
    std::string text = "HKEY_CURRENT_USER";
    for (std::size_t level = 0; level <= kMaxRegistryTextLevels; ++level) text += "\\K";
    text += "\\Name";
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(WriteRegistryText(text, "v"), 0);
    EXPECT_EQ(counting.keysOpened, 0);
    EXPECT_FALSE(Machine().KeyExists("HKEY_CURRENT_USER\\K"));
}

TEST_F(RegistryTextWalkTest, KeyThatCannotBeCreatedFailsAndKeepsTheKeysBeforeIt) {
    Profile().registryKeysDenyCreate.insert("HKEY_CURRENT_USER\\Software\\Denied");
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(WriteRegistryText("HKEY_CURRENT_USER\\Software\\Denied\\Deeper\\Name", "v"), 0);
    EXPECT_TRUE(Machine().KeyExists("HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(Machine().KeyExists("HKEY_CURRENT_USER\\Software\\Denied")) << Describe();
    EXPECT_EQ(counting.keysOpened, counting.keysClosed);
}

TEST_F(RegistryTextWalkTest, OpenRefusedForAnotherReasonIsNotTurnedIntoCreate) {
    Machine().PutKey("HKEY_CURRENT_USER\\Software");
    Machine().Fault().FailCall(sim::Op::RegOpenKeyA, 2, false, ERROR_ACCESS_DENIED);
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(WriteRegistryText("HKEY_CURRENT_USER\\Software\\Tarnwell\\Name", "v"), 0);
    EXPECT_EQ(Machine().Fault().FiredCount(), 1);
    EXPECT_EQ(counting.createdKeys, std::vector<std::string>{});
    EXPECT_FALSE(Machine().KeyExists("HKEY_CURRENT_USER\\Software\\Tarnwell"));
    EXPECT_EQ(counting.keysOpened, counting.keysClosed);
}

TEST_F(RegistryTextWalkTest, FailedValueWriteIsReportedAndClosesTheKeys) {
    Machine().Fault().FailCall(sim::Op::RegSetValueExA, 1);
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    EXPECT_EQ(WriteRegistryText("HKEY_CURRENT_USER\\Software\\Tarnwell\\Name", "v"), 0);
    EXPECT_EQ(Value("HKEY_CURRENT_USER\\Software\\Tarnwell", "Name"), "<missing>");
    EXPECT_EQ(counting.keysOpened, 2);
    EXPECT_EQ(counting.keysClosed, 2);
}

}  // namespace
}  // namespace swk::test
