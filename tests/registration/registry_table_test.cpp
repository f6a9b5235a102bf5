// The registry entry table's write and delete passes against the simulated
// machine: end rows, DWORD rows, lists of different lengths, the 100-row
// limit, and failures in the middle of a pass.
#include "registration/registry_table.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/registration/forwarding_services.h"
#include "tests/registration/machine_fixture.h"

namespace swk::test {
namespace {

constexpr const char* kTestKey = "Software\\Tarnwell\\TableTest";
const std::string kTestKeyText = std::string("HKEY_CURRENT_USER\\") + kTestKey;

std::string NumberedKey(int number) {
    return std::string(kTestKey) + "\\Key" + std::to_string(number);
}
std::string NumberedKeyText(int number) {
    return "HKEY_CURRENT_USER\\" + NumberedKey(number);
}

void EndValueList(int& next) {
    ASSERT_TRUE(AddRegistryValue(next, NO_KEY, "", "", "", 0));
}
void EndKeyList(int& next) {
    ASSERT_TRUE(AddRegistryKey(next, NO_KEY, ""));
}

using RegistryTableTest = MachineTest;

TEST_F(RegistryTableTest, ListOfTheEndRowAloneWritesAndDeletesNothing) {
    Machine().PutValue(kTestKeyText, "Kept", StringValue("yes"));
    const std::string before = Machine().ExportRegistry();
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    int next = 0;
    EndValueList(next);
    EXPECT_EQ(WriteRegistryEntries(), 1);
    EXPECT_EQ(DeleteRegistryKeys(), 0);
    EXPECT_EQ(counting.keysOpened, 0);
    EXPECT_EQ(Machine().ExportRegistry(), before);
}

TEST_F(RegistryTableTest, WritesTextAsStringAndEmptyTextAsDword) {
    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);

    int next = 0;
    AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey, "Text", "abc", 7);
    AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey, "Zero", "", 0);
    AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey, "Number", "", 0x01020304);
    AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey + std::string("\\Deeper\\Still"), "", "d",
                     0);
    EndValueList(next);
    EXPECT_EQ(next, 5);

    EXPECT_EQ(WriteRegistryEntries(), 1) << Describe();
    EXPECT_EQ(Value(kTestKeyText, "Text"), Show(StringValue("abc")));
    EXPECT_EQ(Value(kTestKeyText, "Zero"), Show(DwordValue(0)));
    EXPECT_EQ(Value(kTestKeyText, "Number"), Show(DwordValue(0x01020304)));
    EXPECT_EQ(Value(kTestKeyText + "\\Deeper\\Still", ""), Show(StringValue("d")));
    EXPECT_EQ(counting.keysOpened, 4);
    EXPECT_EQ(counting.keysClosed, 4);
}

TEST_F(RegistryTableTest, ShorterListAfterLongerOneStopsAtItsOwnEndRow) {
    int next = 0;
    for (int number = 1; number <= 3; ++number) {
        AddRegistryValue(next, HKEY_CURRENT_USER, NumberedKey(number), "", "long list", 0);
    }
    EndValueList(next);
    ASSERT_EQ(WriteRegistryEntries(), 1);

    HandleCountingServices counting(Machine());
    ScopedSystemServices scope(counting);
    next = 0;
    AddRegistryValue(next, HKEY_CURRENT_USER, NumberedKey(4), "", "short list", 0);
    EndValueList(next);
    EXPECT_EQ(WriteRegistryEntries(), 1);
    EXPECT_EQ(counting.createdKeys, std::vector<std::string>{NumberedKey(4)});

    next = 0;
    AddRegistryKey(next, HKEY_CURRENT_USER, NumberedKey(1));
    EndKeyList(next);
    EXPECT_EQ(DeleteRegistryKeys(), 0);
    EXPECT_FALSE(Machine().KeyExists(NumberedKeyText(1)));
    EXPECT_TRUE(Machine().KeyExists(NumberedKeyText(2))) << Describe();
    EXPECT_TRUE(Machine().KeyExists(NumberedKeyText(3)));
    EXPECT_TRUE(Machine().KeyExists(NumberedKeyText(4)));
}

TEST_F(RegistryTableTest, ListThatFillsTheTableExactlyIsWritten) {
    int next = 0;
    for (int number = 0; number < kRegistryTableRows - 1; ++number) {
        ASSERT_TRUE(AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey,
                                     "V" + std::to_string(number), "", static_cast<DWORD>(number)));
    }
    EndValueList(next);
    EXPECT_EQ(next, kRegistryTableRows);

    EXPECT_EQ(WriteRegistryEntries(), 1);
    EXPECT_EQ(Value(kTestKeyText, "V98"), Show(DwordValue(98)));
}

TEST_F(RegistryTableTest, RowBeyondTheTableIsRefusedAndTheOverflowedListIsNotRun) {
    Machine().PutKey(NumberedKeyText(0));
    const std::string before = Machine().ExportRegistry();

    int next = 0;
    for (int number = 0; number < kRegistryTableRows; ++number) {
        ASSERT_TRUE(AddRegistryValue(next, HKEY_CURRENT_USER, NumberedKey(number), "", "v", 0));
    }
    EXPECT_FALSE(AddRegistryValue(next, HKEY_CURRENT_USER, "Software\\Row101", "", "v", 0));
    EXPECT_FALSE(AddRegistryKey(next, NO_KEY, ""));
    EXPECT_EQ(next, kRegistryTableRows);
    EXPECT_EQ(RegistryEntryTable().back().keyPath, NumberedKey(kRegistryTableRows - 1));
    int negative = -1;
    EXPECT_FALSE(AddRegistryKey(negative, HKEY_CURRENT_USER, "Software\\Negative"));
    EXPECT_EQ(negative, -1);

    // Without its end row the list is incomplete: neither pass may run part of it.
    EXPECT_EQ(WriteRegistryEntries(), 0);
    EXPECT_EQ(DeleteRegistryKeys(), kRegistryTableRows);
    EXPECT_EQ(Machine().ExportRegistry(), before);
}

TEST_F(RegistryTableTest, WritePassStopsAtTheFirstKeyThatCannotBeCreated) {
    Machine().Fault().FailCall(sim::Op::RegCreateKeyExA, 2);
    int next = 0;
    for (int number = 1; number <= 3; ++number) {
        AddRegistryValue(next, HKEY_CURRENT_USER, NumberedKey(number), "", "v", 0);
    }
    EndValueList(next);

    EXPECT_EQ(WriteRegistryEntries(), 0);
    EXPECT_EQ(Machine().Fault().FiredCount(), 1);
    EXPECT_EQ(Value(NumberedKeyText(1), ""), Show(StringValue("v")));
    EXPECT_FALSE(Machine().KeyExists(NumberedKeyText(2)));
    EXPECT_FALSE(Machine().KeyExists(NumberedKeyText(3))) << Describe();
}

TEST_F(RegistryTableTest, FailedValueWritePassesSilently) {
    Machine().Fault().FailCall(sim::Op::RegSetValueExA, 1);
    int next = 0;
    AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey, "First", "1", 0);
    AddRegistryValue(next, HKEY_CURRENT_USER, kTestKey, "Second", "2", 0);
    EndValueList(next);

    EXPECT_EQ(WriteRegistryEntries(), 1);
    EXPECT_EQ(Value(kTestKeyText, "First"), "<missing>");
    EXPECT_EQ(Value(kTestKeyText, "Second"), Show(StringValue("2")));
}

TEST_F(RegistryTableTest, DeletePassCountsRealFailuresOnlyAndNeverStops) {
    Machine().PutKey(NumberedKeyText(1));
    Machine().PutKey(NumberedKeyText(3));
    Machine().PutKey(NumberedKeyText(4));
    Profile().registryKeysDenyDelete.insert(NumberedKeyText(3));

    int next = 0;
    for (int number = 1; number <= 4; ++number) {
        AddRegistryKey(next, HKEY_CURRENT_USER, NumberedKey(number));  // 2 does not exist
    }
    EndKeyList(next);

    EXPECT_EQ(DeleteRegistryKeys(), 1);
    EXPECT_FALSE(Machine().KeyExists(NumberedKeyText(1)));
    EXPECT_TRUE(Machine().KeyExists(NumberedKeyText(3)));
    EXPECT_FALSE(Machine().KeyExists(NumberedKeyText(4))) << Describe();
}

}  // namespace
}  // namespace swk::test
