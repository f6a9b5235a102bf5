// Existence checks, folder creation and opening with the shell, on a simulated
// machine with drives of every type.
#include <gtest/gtest.h>

#include "paths/path_checks.h"
#include "tests/paths/test_machine.h"

namespace swk {
namespace {

using sim::DriveProfile;
using sim::MachineProfile;
using sim::Op;
using testing::PathOfUnits;
using testing::TestMachine;

// C: fixed, D: CD-ROM without a disc, E: removable, F: remote, R: RAM disk;
// Q: is not assigned.
MachineProfile AllDriveTypes() {
    MachineProfile profile;
    profile.drives = {
        DriveProfile{.letter = 'C', .type = DRIVE_FIXED},
        DriveProfile{.letter = 'D', .type = DRIVE_CDROM, .mediumPresent = false},
        DriveProfile{.letter = 'E', .type = DRIVE_REMOVABLE},
        DriveProfile{.letter = 'F', .type = DRIVE_REMOTE},
        DriveProfile{.letter = 'R', .type = DRIVE_RAMDISK},
    };
    return profile;
}

TEST(PathExistence, DriveNamesAndRootsByDriveType) {
    TestMachine machine(AllDriveTypes());
    struct Case {
        std::string path;
        bool exists;   // PathExists and IsExistingPath
        bool ensured;  // EnsureFolder
    };
    const Case cases[] = {
        {"C:", true, true},     {"C:\\", true, true},   {"c:", true, true},
        {"D:", true, true},     {"D:\\", true, true},  // a CD-ROM drive, even without a disc
        {"E:", true, true},     {"F:", true, true},     {"R:", false, false},
        {"R:\\", false, false},                          // RAM disks are not accepted
        {"Q:", false, false},   {"Q:\\", false, false},  // no such drive
        {"", false, false},     {"C", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathExists(c.path), c.exists) << c.path << "\n" << machine->Describe();
        EXPECT_EQ(IsExistingPath(c.path), c.exists) << c.path;
        EXPECT_EQ(EnsureFolder(c.path), c.ensured) << c.path;
    }
}

TEST(PathExistence, FilesFoldersAndWhiteSpace) {
    TestMachine machine;
    machine.Put("C:\\Users\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E.txt", "x");

    EXPECT_TRUE(EntryExists("C:\\Users\\Zo\xC3\xAB"));
    EXPECT_TRUE(EntryExists("C:\\users\\ZO\xC3\xAB\\\xF0\x9D\x84\x9E.TXT"));  // without case
    EXPECT_TRUE(PathExists("C:\\Users\\Zo\xC3\xAB\\"));
    EXPECT_TRUE(IsExistingPath("  C:\\Users\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E.txt\t\r\n"));
    EXPECT_FALSE(EntryExists("C:\\Users\\Zoe"));
    EXPECT_FALSE(IsExistingPath("C:\\Users\\Zo\xC3\xAB\\missing.txt"));
}

TEST(PathExistence, IsExistingPathStopsAt251UnitsWhileEnsureFolderGoesOn) {
    TestMachine machine;
    machine->PutFolder(PathOfUnits(251));
    machine->PutFolder(PathOfUnits(252));
    // Nothing may be created for folders that exist already.
    machine->Fault().FailCall(Op::CreateDirectoryW, 1, /*persistent=*/true);

    EXPECT_TRUE(IsExistingPath(PathOfUnits(251)));
    EXPECT_FALSE(IsExistingPath(PathOfUnits(252)));
    EXPECT_TRUE(EntryExists(PathOfUnits(252)));
    EXPECT_TRUE(EnsureFolder(PathOfUnits(251)));
    EXPECT_TRUE(EnsureFolder(PathOfUnits(252) + "\\"));
    EXPECT_EQ(machine->Fault().FiredCount(), 0) << "EnsureFolder tried to create a folder";
}

TEST(FolderCreation, CreatesTheMissingChainOutermostFirst) {
    TestMachine machine;
    const std::string folder = "C:\\Tarnwell \xC3\xA9\\Stashwick\\\xF0\x9D\x84\x9E data";

    EXPECT_EQ(CreateFolderPath(folder + "\\"), kFolderCreated) << machine->Describe();
    EXPECT_TRUE(machine->Exists(folder));
    EXPECT_EQ(CreateFolderPath(folder), kFolderCreated);  // already there
    EXPECT_EQ(CreateFolderPath("  " + folder + " \t"), kFolderCreated);
}

TEST(FolderCreation, AccessDeniedHalfWayKeepsTheOuterLevels) {
    // For C:\a\b\c the calls are: c (path not found), b (path not found), a,
    // then b, then c. Refusing the fourth call leaves a alone on disk.
    TestMachine machine;
    machine->Fault().FailCall(Op::CreateDirectoryW, 4);

    EXPECT_EQ(CreateFolderPath("C:\\a\\b\\c"), kFolderRefused);
    EXPECT_EQ(machine->Fault().FiredCount(), 1);
    EXPECT_TRUE(machine->Exists("C:\\a"));
    EXPECT_FALSE(machine->Exists("C:\\a\\b")) << machine->Describe();
}

TEST(FolderCreation, RefusalsAndBadPathsAreResultCodes) {
    MachineProfile profile;
    profile.pathsDenyWrite = {"C:\\Locked"};
    TestMachine machine(profile);
    machine->PutFolder("C:\\Locked");

    EXPECT_EQ(CreateFolderPath("C:\\Locked\\a\\b"), kFolderRefused);
    EXPECT_FALSE(EnsureFolder("C:\\Locked\\a\\b"));
    EXPECT_FALSE(machine->Exists("C:\\Locked\\a"));
    EXPECT_NE(CreateFolderPath("Q:\\a\\b"), kFolderCreated);  // no such drive
    EXPECT_FALSE(EnsureFolder("Q:\\a"));

    // Malformed and over-long paths never reach the system.
    machine->Fault().FailCall(Op::CreateDirectoryW, 1, /*persistent=*/true);
    EXPECT_EQ(CreateFolderPath("C:\\a?b\\c"), kFolderPathMalformed);
    EXPECT_EQ(CreateFolderPath("C:\\a\\\\b"), kFolderPathMalformed);
    EXPECT_EQ(CreateFolderPath(PathOfUnits(260)), kFolderPathTooLong);
    EXPECT_EQ(CreateFolderPath(PathOfUnits(260) + "\\"), kFolderPathTooLong);
    EXPECT_EQ(machine->Fault().FiredCount(), 0);
}

TEST(FolderCreation, LengthsAreCountedInUtf16Units) {
    // The paths hold about twice as many bytes as UTF-16 units.
    TestMachine machine;
    EXPECT_TRUE(EnsureFolder(PathOfUnits(247))) << machine->Describe();
    EXPECT_TRUE(machine->Exists(PathOfUnits(247)));

    // 259 units pass the checks and reach the system, which refuses folders
    // past 247 units (no room for a file name below them): a refusal, code 5.
    // 260 units never reach it.
    machine->Fault().FailCall(Op::CreateDirectoryW, 1, /*persistent=*/true, ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFolderPath(PathOfUnits(259)), kFolderRefused);
    EXPECT_EQ(machine->Fault().FiredCount(), 1);
    EXPECT_EQ(CreateFolderPath(PathOfUnits(260)), kFolderPathTooLong);
    EXPECT_FALSE(EnsureFolder(PathOfUnits(260)));
    EXPECT_EQ(machine->Fault().FiredCount(), 1);
}

TEST(FolderCreation, EnsureFolderOnAnExistingFolderCreatesNothing) {
    TestMachine machine;
    machine->PutFolder("C:\\Program Files\\Tarnwell\\Stashwick");
    machine->Fault().FailCall(Op::CreateDirectoryW, 1, /*persistent=*/true);

    EXPECT_TRUE(EnsureFolder("C:\\Program Files\\Tarnwell\\Stashwick\\"));
    EXPECT_TRUE(EnsureFolder("C:\\"));
    EXPECT_EQ(machine->Fault().FiredCount(), 0) << "EnsureFolder tried to create a folder";
}

TEST(Shell, ShellOpenPassesTheShellResultBack) {
    TestMachine machine;
    const std::string program = "C:\\Program Files\\Zo\xC3\xAB \xF0\x9D\x84\x9E\\swkh.exe";
    machine.Put(program, "MZ");

    EXPECT_LE(ShellOpen("C:\\Program Files\\missing.exe"), 32u);
    EXPECT_GT(ShellOpen(program), 32u) << machine->Describe();
}

}  // namespace
}  // namespace swk
