// Seeding the installing user's copies of the sample, data and help files.
#include "userdata/user_data.h"

#include <gtest/gtest.h>

#include "tests/userdata/user_files.h"

namespace swk {
namespace {

using sim::MachineProfile;
using testing::PathOfUnits;
using testing::TestMachine;

MachineProfile ForUser(std::string userName) {
    MachineProfile profile;
    profile.userName = std::move(userName);
    return profile;
}

void PutShippedDataFiles(TestMachine& machine, std::initializer_list<const char*> names) {
    for (const char* name : names)
        machine.Put(KnownFolders().SharedDataFolder + name, std::string("shipped ") + name);
}

constexpr std::initializer_list<const char*> kShipped = {"samples1.swk", "samples2.swk",
                                                         "samples3.swk", "swk.bin", "help.bin"};

class SeedByUser : public ::testing::TestWithParam<std::string> {};

TEST_P(SeedByUser, FirstInstallationGivesTheUserEveryFile) {
    TestMachine machine(ForUser(GetParam()));
    ResolveKnownFolders("Stashwick");
    PutShippedDataFiles(machine, kShipped);
    const KnownFolderTable& f = KnownFolders();

    SeedUserData();
    for (const char* sample : {"samples1.swk", "samples2.swk", "samples3.swk"})
        EXPECT_EQ(machine.Read(f.DocumentsFolder + sample), std::string("shipped ") + sample)
            << machine->Describe();
    EXPECT_EQ(machine.Read(f.UserDataFolder + "swk.bin"), "shipped swk.bin");
    EXPECT_EQ(machine.Read(f.UserDataFolder + "help.bin"), "shipped help.bin");
}

INSTANTIATE_TEST_SUITE_P(Users, SeedByUser,
                         ::testing::Values("User", "Zo\xC3\xAB M\xC3\xBCller",
                                           "\xE5\xB1\xB1\xE7\x94\xB0\xF0\x9F\x98\x80"));

TEST(SeedUserData, ReplacesSamplesButKeepsTheUsersOwnDataFiles) {
    TestMachine machine;
    ResolveKnownFolders("Stashwick");
    PutShippedDataFiles(machine, kShipped);
    const KnownFolderTable& f = KnownFolders();
    machine.Put(f.DocumentsFolder + "samples2.swk", "changed by the user");
    machine.Put(f.UserDataFolder + "swk.bin", "the user's saved pages");

    SeedUserData();
    EXPECT_EQ(machine.Read(f.DocumentsFolder + "samples2.swk"), "shipped samples2.swk");
    EXPECT_EQ(machine.Read(f.UserDataFolder + "swk.bin"), "the user's saved pages");
    EXPECT_EQ(machine.Read(f.UserDataFolder + "help.bin"), "shipped help.bin");
}

TEST(SeedUserData, AMissingSourceFailsOnlyItsOwnRow) {
    TestMachine machine;
    ResolveKnownFolders("Stashwick");
    PutShippedDataFiles(machine, {"samples1.swk", "samples3.swk", "help.bin"});
    const KnownFolderTable& f = KnownFolders();

    SeedUserData();
    EXPECT_EQ(machine.Read(f.DocumentsFolder + "samples1.swk"), "shipped samples1.swk");
    EXPECT_FALSE(machine->Exists(f.DocumentsFolder + "samples2.swk"));
    EXPECT_EQ(machine.Read(f.DocumentsFolder + "samples3.swk"), "shipped samples3.swk");
    EXPECT_FALSE(machine->Exists(f.UserDataFolder + "swk.bin"));
    EXPECT_EQ(machine.Read(f.UserDataFolder + "help.bin"), "shipped help.bin");
}

TEST(SeedUserData, KeepsTheUsersStoreInAFolderTooLongForIsExistingPath) {
    // UserDataFolder + "swk.bin" is 255 UTF-16 units: beyond IsExistingPath's
    // 251, within what the system can copy to.
    TestMachine machine;
    ResolveKnownFolders("Stashwick");
    PutShippedDataFiles(machine, kShipped);
    KnownFolders().UserDataFolder = PathOfUnits(247) + "\\";
    const std::string store = KnownFolders().UserDataFolder + "swk.bin";
    machine.Put(store, "the user's saved pages");

    SeedUserData();
    EXPECT_EQ(machine.Read(store), "the user's saved pages");
    // The help file beside it shows that copies into this folder work.
    EXPECT_EQ(machine.Read(KnownFolders().UserDataFolder + "help.bin"), "shipped help.bin")
        << machine->Describe();
}

TEST(CopyWithShell, IntoAFolderOrToAFileInAMissingFolder) {
    TestMachine machine;
    machine.Put("C:\\Src\\\xF0\x9D\x84\x9E.swk", "pages");
    machine->PutFolder("C:\\Docs\\Zo\xC3\xAB");
    machine.Put("C:\\Docs\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E.swk", "older pages");

    EXPECT_EQ(CopyWithShell("C:\\Src\\\xF0\x9D\x84\x9E.swk", "C:\\Docs\\Zo\xC3\xAB\\"), 0);
    EXPECT_EQ(machine.Read("C:\\Docs\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E.swk"), "pages")
        << machine->Describe();
    EXPECT_EQ(CopyWithShell("C:\\Src\\\xF0\x9D\x84\x9E.swk", "C:\\New\\Folder\\copy.swk"), 0);
    EXPECT_EQ(machine.Read("C:\\New\\Folder\\copy.swk"), "pages");
    EXPECT_NE(CopyWithShell("C:\\Src\\missing.swk", "C:\\Docs\\"), 0);
    EXPECT_FALSE(machine->Exists("C:\\Docs\\missing.swk"));
}

}  // namespace
}  // namespace swk
