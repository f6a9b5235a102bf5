// Reading the previous installation's App Paths record and the setup's own
// version strings.
#include "userdata/install_record.h"

#include <gtest/gtest.h>

#include "paths/known_folders.h"
#include "tests/paths/test_machine.h"
#include "tests/registration/forwarding_services.h"

namespace swk {
namespace {

using sim::Op;
using sim::RegistryValue;
using testing::TestMachine;

constexpr const char* kRecordKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe";

RegistryValue Text(std::string_view text, bool terminated = true) {
    RegistryValue value{REG_SZ, TestMachine::Bytes(text)};
    if (terminated) value.data.push_back(0);
    return value;
}

TEST(InstallRecord, PathValueOfEveryShape) {
    struct Case {
        const char* what;
        std::optional<RegistryValue> stored;  // nothing: no "Path" value
        std::string expected;
    };
    const std::string path260(260, 'p');
    RegistryValue binary{REG_BINARY, TestMachine::Bytes("C:\\Bin")};  // no terminator
    RegistryValue expand = Text("C:\\Exp");
    expand.type = REG_EXPAND_SZ;
    const Case cases[] = {
        {"missing", std::nullopt, ""},
        {"empty", Text(""), ""},
        {"plain", Text("C:\\Program Files\\Tarnwell\\Stashwick"),
         "C:\\Program Files\\Tarnwell\\Stashwick"},
        {"non-ASCII", Text("C:\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E"), "C:\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E"},
        {"260 characters fit", Text(path260), path260},
        {"261 characters do not", Text(path260 + "q"), ""},
        {"binary", binary, "C:\\Bin"},
        {"expandable", expand, "C:\\Exp"},
        {"stops at the first zero", Text(std::string("C:\\A\0B", 6)), "C:\\A"},
    };
    for (const Case& c : cases) {
        TestMachine machine;
        machine->PutKey(kRecordKey);
        if (c.stored) machine->PutValue(kRecordKey, "Path", *c.stored);
        ReadPreviousInstallPath();
        EXPECT_EQ(KnownFolders().PreviousInstallPath, c.expected) << c.what;
        EXPECT_EQ(ReadAppPathValue("swk.exe", "Path"), c.expected) << c.what;
    }
}

TEST(InstallRecord, DefaultValueAndOtherPrograms) {
    TestMachine machine;
    machine->PutValue(kRecordKey, "", Text("C:\\P\\swk.exe"));
    EXPECT_EQ(ReadAppPathValue("swk.exe", ""), "C:\\P\\swk.exe");
    EXPECT_EQ(ReadAppPathValue("other.exe", ""), "");
    EXPECT_EQ(ReadAppPathValue("swk.exe", "ProgramData"), "");
}

TEST(InstallRecord, NoKeyOrAnUnopenableLevelReadsAsNoRecord) {
    {
        TestMachine machine;
        ReadPreviousInstallPath();
        EXPECT_EQ(KnownFolders().PreviousInstallPath, "");
    }
    for (int level = 1; level <= 6; ++level) {
        TestMachine machine;
        machine->PutValue(kRecordKey, "Path", Text("C:\\P"));
        machine->Fault().FailCall(Op::RegOpenKeyA, level, false, ERROR_FILE_NOT_FOUND);
        test::HandleCountingServices counting(*machine);
        {
            ScopedSystemServices services(counting);
            EXPECT_EQ(ReadAppPathValue("swk.exe", "Path"), "") << "level " << level;
        }
        EXPECT_EQ(machine->Fault().FiredCount(), 1);
        EXPECT_EQ(counting.keysOpened, level - 1);
        EXPECT_EQ(counting.keysClosed, counting.keysOpened) << "level " << level;
        EXPECT_EQ(ReadAppPathValue("swk.exe", "Path"), "C:\\P") << "after level " << level;
    }
}

TEST(VersionStrings, TrimmedAtBothEndsOnly) {
    TestMachine machine;
    machine->SetOwnModule("C:\\Setup \xC3\xA9\\StashwickSetup.exe", {},
                          {{"FileVersion", "4, 5, 0, 0"},
                           {"SpecialBuild", " \t0\r\n"},
                           {"Comments", "\v inner  blanks stay \f"}});
    EXPECT_EQ(ReadOwnVersionString("FileVersion"), "4, 5, 0, 0");
    EXPECT_EQ(ReadOwnVersionString("SpecialBuild"), "0");
    EXPECT_EQ(ReadOwnVersionString("Comments"), "inner  blanks stay");
    EXPECT_EQ(ReadOwnVersionString("ProductName"), "");
}

TEST(VersionStrings, MissingVersionDataGivesEmptyText) {
    TestMachine machine;
    machine->SetOwnModule("C:\\Setup\\StashwickSetup.exe", {}, {{"FileVersion", "4, 5, 0, 0"}});
    machine->Fault().FailCall(Op::GetFileVersionInfoSizeA, 1);
    EXPECT_EQ(ReadOwnVersionString("FileVersion"), "");
    EXPECT_EQ(machine->Fault().FiredCount(), 1);
    EXPECT_EQ(ReadOwnVersionString("SpecialBuild"), "");  // the block lacks it
}

}  // namespace
}  // namespace swk
