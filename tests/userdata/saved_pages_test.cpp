// Preservation of the user's saved pages before a new installation.
#include "userdata/saved_pages.h"

#include <gtest/gtest.h>

#include "tests/registration/forwarding_services.h"
#include "tests/userdata/user_files.h"
#include "userdata/shell_path_list.h"

namespace swk {
namespace {

using sim::MachineProfile;
using sim::Op;
using testing::AllFiles;
using testing::PutEarlierInstallation;
using testing::TestMachine;

constexpr const char* kBackup = "Pages_2014_09_04 09_05_07.swk";

MachineProfile At(std::string localTime, std::string userName = "User") {
    MachineProfile profile;
    profile.localTime = std::move(localTime);
    profile.userName = std::move(userName);
    return profile;
}

void ResolveFolders() {
    ResolveKnownFolders("Stashwick");
    KnownFolders().ProgramFolder = KnownFolders().DefaultProgramRoot;
}

// Every file an earlier installation leaves that PreserveSavedPages removes.
std::vector<std::string> NamedFiles() {
    const KnownFolderTable& f = KnownFolders();
    std::vector<std::string> files;
    for (const char* name : {"swk.aws", "default.aws", "help.bin", "swk.bin"})
        files.push_back(f.UserDataFolder + name);
    for (const char* name : {"help.bin", "swk.bin", "samples1.swk", "samples2.swk", "samples3.swk"})
        files.push_back(f.SharedDataFolder + name);
    for (const char* name : {"samples1.swk", "samples2.swk", "samples3.swk"})
        files.push_back(f.DocumentsFolder + name);
    files.push_back(f.ProgramFolder + "cmptree.exe");
    return files;
}

TEST(BackupName, LocalTimeWithLeadingZeros) {
    SYSTEMTIME time{};
    time.wYear = 2014, time.wMonth = 9, time.wDay = 4;
    time.wHour = 9, time.wMinute = 5, time.wSecond = 7;
    EXPECT_EQ(BackupName(time), kBackup);
    time.wYear = 2026, time.wMonth = 12, time.wDay = 31;
    time.wHour = 23, time.wMinute = 59, time.wSecond = 58;
    EXPECT_EQ(BackupName(time), "Pages_2026_12_31 23_59_58.swk");
}

TEST(PreserveSavedPages, FirstInstallationChangesNothing) {
    TestMachine machine(At("2014-09-04 09:05:07"));
    ResolveFolders();
    const auto before = AllFiles(machine);

    PreserveSavedPages();
    EXPECT_EQ(AllFiles(machine), before) << machine->Describe();
    EXPECT_FALSE(machine->Exists(KnownFolders().DocumentsFolder + kBackup));
}

class PreserveByUser : public ::testing::TestWithParam<std::string> {};

TEST_P(PreserveByUser, ReinstallationMovesTheStoreAndDeletesOnlyTheNamedFiles) {
    TestMachine machine(At("2014-09-04 09:05:07", GetParam()));
    ResolveFolders();
    PutEarlierInstallation(machine);
    auto expected = AllFiles(machine);
    for (const std::string& file : NamedFiles()) ASSERT_EQ(expected.erase(file), 1u) << file;
    expected[KnownFolders().DocumentsFolder + kBackup] = "the user's saved pages";

    PreserveSavedPages();

    // Compare without case, as the machine does, through its own listing.
    std::map<std::string, std::string> after;
    for (const auto& [path, content] : AllFiles(machine)) after[path] = content;
    std::map<std::string, std::string> expectedAsListed;
    for (const auto& [path, content] : expected) {
        const auto state = machine->Stat(path);
        ASSERT_TRUE(state.has_value()) << path << " is missing\n" << machine->Describe();
        expectedAsListed[state->windowsPath] = content;
    }
    EXPECT_EQ(after, expectedAsListed) << machine->Describe();
}

INSTANTIATE_TEST_SUITE_P(Users, PreserveByUser,
                         ::testing::Values("User", "Zo\xC3\xAB M\xC3\xBCller",
                                           "\xE5\xB1\xB1\xE7\x94\xB0\xF0\x9F\x98\x80"));

// Records each shell file operation: what, with which flags, on which lists.
class ShellOperationRecorder final : public test::ForwardingServices {
public:
    using ForwardingServices::ForwardingServices;
    struct Request {
        UINT operation;
        FILEOP_FLAGS flags;
        std::u16string from, to;  // the lists as passed, both zero units included
        bool operator==(const Request&) const = default;
    };
    std::vector<Request> requests;

    int SHFileOperationW(SHFILEOPSTRUCTW* operation) override {
        requests.push_back(
            {operation->wFunc, operation->fFlags, List(operation->pFrom), List(operation->pTo)});
        return ForwardingServices::SHFileOperationW(operation);
    }

private:
    static std::u16string List(const WCHAR* list) {
        if (list == nullptr) return {};
        std::size_t n = 0;
        while (list[n] != 0 || list[n + 1] != 0) ++n;  // up to the double zero
        return std::u16string(list, n + 2);
    }
};

std::u16string ListOf(std::string_view path) {
    std::u16string list;
    for (char c : path) list.push_back(static_cast<unsigned char>(c));  // ASCII paths only
    return list + u'\0' + u'\0';
}

TEST(PreserveSavedPages, AsksTheShellForEachStepInOrderWithFinalDeletion) {
    MachineProfile profile = At("2014-09-04 09:05:07");
    profile.specialFolders[CSIDL_PERSONAL] = "C:\\Docs";
    TestMachine machine(profile);
    ResolveFolders();
    ShellOperationRecorder recorder(*machine);
    ScopedSystemServices services(recorder);

    PreserveSavedPages();

    const KnownFolderTable& f = KnownFolders();
    const FILEOP_FLAGS quiet = 0x2614;  // no FOF_ALLOWUNDO: nothing goes to a recycle bin
    auto remove = [&](const std::string& path) {
        return ShellOperationRecorder::Request{FO_DELETE, quiet, ListOf(path), {}};
    };
    const std::vector<ShellOperationRecorder::Request> expected = {
        remove(f.UserDataFolder + "swk.aws"),
        remove(f.UserDataFolder + "default.aws"),
        remove(f.SharedDataFolder + "help.bin"),
        remove(f.UserDataFolder + "help.bin"),
        remove(f.SharedDataFolder + "swk.bin"),
        {FO_MOVE, 0x2615, ListOf(f.UserDataFolder + "swk.bin"),
         ListOf("C:\\Docs\\" + std::string(kBackup))},
        remove(f.ProgramFolder + "cmptree.exe"),
        remove("C:\\Docs\\samples1.swk"),
        remove("C:\\Docs\\samples2.swk"),
        remove("C:\\Docs\\samples3.swk"),
        remove(f.SharedDataFolder + "samples1.swk"),
        remove(f.SharedDataFolder + "samples2.swk"),
        remove(f.SharedDataFolder + "samples3.swk"),
    };
    ASSERT_EQ(recorder.requests.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(recorder.requests[i] == expected[i]) << "shell operation " << i + 1;
}

TEST(PreserveSavedPages, NeverOverwritesAnEarlierBackup) {
    TestMachine machine(At("2014-09-04 09:05:07"));
    ResolveFolders();
    const std::string documents = KnownFolders().DocumentsFolder;
    machine.Put(documents + kBackup, "first backup");
    machine.Put(documents + "Pages_2014_09_04 09_05_07 (2).swk", "second backup");

    machine.Put(KnownFolders().UserDataFolder + "swk.bin", "third store");
    PreserveSavedPages();
    machine.Put(KnownFolders().UserDataFolder + "swk.bin", "fourth store");
    PreserveSavedPages();  // within the same second

    EXPECT_EQ(machine.Read(documents + kBackup), "first backup");
    EXPECT_EQ(machine.Read(documents + "Pages_2014_09_04 09_05_07 (2).swk"), "second backup");
    EXPECT_EQ(machine.Read(documents + "Pages_2014_09_04 09_05_07 (3).swk"), "third store");
    EXPECT_EQ(machine.Read(documents + "Pages_2014_09_04 09_05_07 (4).swk"), "fourth store")
        << machine->Describe();
    EXPECT_FALSE(machine->Exists(KnownFolders().UserDataFolder + "swk.bin"));
}

TEST(PreserveSavedPages, FilesInUseStayAndTheOtherStepsStillRun) {
    TestMachine machine(At("2014-09-04 09:05:07"));
    ResolveFolders();
    PutEarlierInstallation(machine);
    const std::string cmptree = KnownFolders().ProgramFolder + "cmptree.exe";
    const std::string aws = KnownFolders().UserDataFolder + "swk.aws";
    machine->Profile().runningPrograms = {cmptree, aws};

    PreserveSavedPages();
    EXPECT_EQ(machine.Read(cmptree), "old cmptree");
    EXPECT_EQ(machine.Read(aws), "old user swk.aws");
    EXPECT_EQ(machine.Read(KnownFolders().DocumentsFolder + kBackup), "the user's saved pages");
    for (const std::string& file : NamedFiles()) {
        if (file == cmptree || file == aws) continue;
        EXPECT_FALSE(machine->Exists(file)) << file << "\n" << machine->Describe();
    }
}

TEST(PreserveSavedPages, SavedPagesSurviveAFailureOfAnyShellOperation) {
    // Fail the shell's Nth operation, N = 1, 2, ... until no fault fires; the
    // user's pages must be in the store or in the backup every time.
    for (int nth = 1;; ++nth) {
        TestMachine machine(At("2014-09-04 09:05:07"));
        ResolveFolders();
        PutEarlierInstallation(machine);
        machine->Fault().FailCall(Op::SHFileOperationW, nth);

        PreserveSavedPages();
        const std::string store = machine.Read(KnownFolders().UserDataFolder + "swk.bin");
        const std::string backup = machine.Read(KnownFolders().DocumentsFolder + kBackup);
        EXPECT_TRUE(store == "the user's saved pages" || backup == "the user's saved pages")
            << "failing call " << nth << "\n"
            << machine->Describe();
        EXPECT_EQ(machine.Read(KnownFolders().DocumentsFolder + "my notes.swk"),
                  "the user's own file");
        if (machine->Fault().FiredCount() == 0) break;
        ASSERT_LT(nth, 50);
    }
}

TEST(ShellFileOperations, DeleteAndMoveReportTheShellResult) {
    TestMachine machine;
    machine.Put("C:\\Data\\a.txt", "a");
    machine.Put("C:\\Data\\b.txt", "b");
    machine.Put("C:\\Data\\\xF0\x9D\x84\x9E.txt", "c");

    EXPECT_EQ(ShellDeleteFile("C:\\Data\\a.txt"), 0);
    EXPECT_FALSE(machine->Exists("C:\\Data\\a.txt"));
    EXPECT_NE(ShellDeleteFile("C:\\Data\\a.txt"), 0);

    const std::vector<std::string> sources = {"C:\\Data\\b.txt", "C:\\Data\\\xF0\x9D\x84\x9E.txt"};
    const std::vector<std::string> targets = {"C:\\New\\1.txt", "C:\\New\\\xC3\xA9.txt",
                                              "C:\\New\\unused.txt"};
    EXPECT_EQ(ShellMoveFiles(sources, targets), 0) << machine->Describe();
    EXPECT_EQ(machine.Read("C:\\New\\1.txt"), "b");
    EXPECT_EQ(machine.Read("C:\\New\\\xC3\xA9.txt"), "c");
    EXPECT_FALSE(machine->Exists("C:\\New\\unused.txt"));
}

TEST(ShellFileOperations, ListsThatWouldMisalignSourcesAndTargetsAreRefused) {
    TestMachine machine;
    machine.Put("C:\\Data\\a.txt", "a");
    machine.Put("C:\\Data\\b.txt", "b");
    machine->Fault().FailCall(Op::SHFileOperationW, 1, /*persistent=*/true);

    // An empty or zero-holding path would end the list early and pair the
    // following sources with the wrong targets.
    const std::vector<std::string> withEmpty = {"C:\\Data\\a.txt", "", "C:\\Data\\b.txt"};
    const std::vector<std::string> withZero = {"C:\\Data\\a.txt", std::string("C:\\x\0y", 6)};
    const std::vector<std::string> targets = {"C:\\New\\1", "C:\\New\\2", "C:\\New\\3"};
    EXPECT_NE(ShellMoveFiles(withEmpty, targets), 0);
    EXPECT_NE(ShellMoveFiles(withZero, targets), 0);
    const std::vector<std::string> two = {"C:\\Data\\a.txt", "C:\\Data\\b.txt"};
    EXPECT_NE(ShellMoveFiles(two, std::span(targets).first(1)), 0);  // too few targets
    EXPECT_NE(ShellDeleteFile(""), 0);
    EXPECT_EQ(machine->Fault().FiredCount(), 0) << "the shell was called";
    EXPECT_EQ(machine.Read("C:\\Data\\a.txt"), "a");

    const std::vector<std::string> good = {"C:\\a", "C:\\\xC3\xA9"};
    EXPECT_EQ(ShellPathList(good), std::u16string(u"C:\\a\0C:\\\u00e9\0\0", 11));
}

}  // namespace
}  // namespace swk
