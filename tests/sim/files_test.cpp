// Files, folders and drives of the simulated machine: the results and errors of
// each call, Windows name rules, share modes, times to the tick, disk full.
#include <cstring>

#include "tests/sim/machine_fixture.h"

namespace swk::sim::test {
namespace {

constexpr std::uint64_t kSomeTime = 0x01CEE13A32F40EF2;  // 2013-11-14 13:05:31.953125 UTC
const std::string kDocs = "C:\\Users\\User\\Documents";
// 264 UTF-16 units, in a folder that exists: more than a Windows path may have.
const std::string kLongFolderThere = "C:\\Data\\" + std::string(240, 'n');
const std::string kLongPathText = kLongFolderThere + "\\abcdefghij.txt";
const char* const kLongPath = kLongPathText.c_str();
// 248 units: a folder needs room for a file name below it.
const std::string kLongFolderText = "C:\\Data\\" + std::string(240, 'f');
const char* const kLongFolder = kLongFolderText.c_str();

// ---- CreateFileW: every way it opens or refuses a path -----------------------------

struct OpenCase {
    const char* name;
    const char* path;
    DWORD access, share, creation;
    bool opens;
    DWORD error;  // last error after the call
};

class CreateFileCases : public MachineTest, public ::testing::WithParamInterface<OpenCase> {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.pathsDenyWrite = {"C:\\Locked"};
        p.runningPrograms = {"C:\\Apps\\running.exe"};
        p.drives.push_back(DriveProfile{'E', DRIVE_CDROM, false});
        return p;
    }
};

TEST_P(CreateFileCases, OpensOrFailsWithTheWindowsError) {
    const OpenCase& c = GetParam();
    machine_->PutFile("C:\\Data\\old.txt", Bytes("old contents"));
    machine_->PutFile("C:\\Data\\readonly.txt", Bytes("keep"));
    machine_->SetReadOnly("C:\\Data\\readonly.txt", true);
    machine_->PutFile("C:\\Locked\\file.txt", Bytes("x"));
    machine_->PutFile("C:\\Apps\\running.exe", Bytes("MZ"));
    machine_->PutFolder(kLongFolderThere);
    HANDLE h = Open(c.path, c.access, c.share, c.creation);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(machine_->GetLastError(), c.error);
    if (h != INVALID_HANDLE_VALUE) {
        EXPECT_TRUE(machine_->CloseHandle(h));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CreateFileCases,
    ::testing::Values(OpenCase{"NewFile", "C:\\Data\\new.txt", GENERIC_WRITE, FILE_SHARE_READ,
                               CREATE_ALWAYS, true, 0},
                      OpenCase{"OverExisting", "C:\\Data\\old.txt", GENERIC_WRITE, 0, CREATE_ALWAYS,
                               true, ERROR_ALREADY_EXISTS},
                      OpenCase{"ExistingForWrite", "C:\\Data\\old.txt", GENERIC_WRITE,
                               FILE_SHARE_READ, OPEN_EXISTING, true, 0},
                      OpenCase{"ExistingForRead", "c:/data/OLD.TXT", GENERIC_READ, FILE_SHARE_READ,
                               OPEN_EXISTING, true, 0},
                      OpenCase{"MissingFile", "C:\\Data\\none.txt", GENERIC_WRITE, FILE_SHARE_READ,
                               OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
                      OpenCase{"MissingFolder", "C:\\NoSuch\\x.txt", GENERIC_WRITE, 0,
                               CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
                      OpenCase{"FileAsFolder", "C:\\Data\\old.txt\\x", GENERIC_WRITE, 0,
                               CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
                      OpenCase{"ForbiddenChar", "C:\\Data\\a<b.txt", GENERIC_WRITE, 0,
                               CREATE_ALWAYS, false, ERROR_INVALID_NAME},
                      OpenCase{"DeviceName", "C:\\Data\\con.txt", GENERIC_WRITE, 0, CREATE_ALWAYS,
                               false, ERROR_INVALID_NAME},
                      OpenCase{"TrailingDot", "C:\\Data\\name.", GENERIC_WRITE, 0, CREATE_ALWAYS,
                               false, ERROR_INVALID_NAME},
                      OpenCase{"ControlChar", "C:\\Data\\a\tb", GENERIC_WRITE, 0, CREATE_ALWAYS,
                               false, ERROR_INVALID_NAME},
                      OpenCase{"ReadOnlyFile", "C:\\Data\\readonly.txt", GENERIC_WRITE, 0,
                               CREATE_ALWAYS, false, ERROR_ACCESS_DENIED},
                      OpenCase{"ReadOnlyForRead", "C:\\Data\\readonly.txt", GENERIC_READ,
                               FILE_SHARE_READ, OPEN_EXISTING, true, 0},
                      OpenCase{"DeniedFolder", "C:\\Locked\\new.txt", GENERIC_WRITE, 0,
                               CREATE_ALWAYS, false, ERROR_ACCESS_DENIED},
                      OpenCase{"Folder", "C:\\Data", GENERIC_WRITE, 0, OPEN_EXISTING, false,
                               ERROR_ACCESS_DENIED},
                      OpenCase{"RunningProgram", "C:\\apps\\RUNNING.exe", GENERIC_WRITE, 0,
                               CREATE_ALWAYS, false, ERROR_SHARING_VIOLATION},
                      OpenCase{"UnassignedDrive", "Q:\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS,
                               false, ERROR_PATH_NOT_FOUND},
                      OpenCase{"DriveWithoutDisc", "E:\\x.txt", GENERIC_READ, 0, OPEN_EXISTING,
                               false, ERROR_NOT_READY},
                      OpenCase{"NetworkPath", "\\\\server\\share\\x.txt", GENERIC_READ, 0,
                               OPEN_EXISTING, false, 53},
                      OpenCase{"LongerThanMaxPath", kLongPath, GENERIC_WRITE, 0, CREATE_ALWAYS,
                               false, ERROR_PATH_NOT_FOUND}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(MachineTest, CreateAlwaysEmptiesAnExistingFileAndKeepsItsStoredName) {
    machine_->PutFile("C:\\Data\\Report.TXT", Bytes("old contents"));
    HANDLE h = Open("c:\\DATA\\report.txt", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(machine_->WriteFile(h, "new", 3, &written, nullptr));
    machine_->CloseHandle(h);
    EXPECT_EQ(machine_->ReadFileBytes("C:\\Data\\Report.TXT"), Bytes("new"));
    auto files = machine_->ListFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].windowsPath, "C:\\Data\\Report.TXT");
}

TEST_F(MachineTest, NewNamesJoinExistingFoldersWhateverTheirCase) {
    HANDLE h = Open("C:\\USERS\\user\\documents\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    machine_->CloseHandle(h);
    ASSERT_TRUE(machine_->Stat(kDocs + "\\new.txt"));
    EXPECT_EQ(machine_->Stat(kDocs + "\\NEW.TXT")->windowsPath, kDocs + "\\new.txt");
}

// ---- Share modes and locks ---------------------------------------------------------------

TEST_F(MachineTest, ShareModesDecideWhoElseMayOpenTheFile) {
    machine_->PutFile("C:\\f.bin", Bytes("data"));
    HANDLE exclusive = Open("C:\\f.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("C:\\F.BIN", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(machine_->GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(machine_->DeleteFileW(W("C:\\f.bin").c_str()));
    EXPECT_EQ(machine_->GetLastError(), ERROR_SHARING_VIOLATION);
    OFSTRUCT record{};
    EXPECT_LT(machine_->LZOpenFileW(W("C:\\f.bin").c_str(), &record, OF_READ | OF_SHARE_DENY_WRITE),
              0);
    machine_->CloseHandle(exclusive);

    // A writer that lets readers in: readers that tolerate the writer may open it.
    HANDLE writer = Open("C:\\f.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HANDLE reader =
        Open("C:\\f.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("C:\\f.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE)
        << "a reader that denies writers cannot join an open writer";
    EXPECT_EQ(Open("C:\\f.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE)
        << "a second writer is refused by the first one's share mode";
    machine_->CloseHandle(reader);
    machine_->CloseHandle(writer);
    EXPECT_TRUE(machine_->DeleteFileW(W("C:\\f.bin").c_str()));
}

TEST_F(MachineTest, CloseHandleOfAnUnknownHandleFails) {
    EXPECT_FALSE(machine_->CloseHandle(HANDLE{0x4242}));
    EXPECT_EQ(machine_->GetLastError(), ERROR_INVALID_HANDLE);
}

// ---- Writing, times and disk full ----------------------------------------------------------

TEST_F(MachineTest, LastWriteTimeIsKeptToTheTickAcrossReopening) {
    for (std::uint64_t ticks : {kSomeTime, kSomeTime + 1, std::uint64_t{0x01D0000000000007}}) {
        HANDLE h = Open("C:\\t.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(machine_->WriteFile(h, "abc", 3, &written, nullptr));
        EXPECT_EQ(written, 3u);
        FILETIME time = MakeFileTime(ticks);
        ASSERT_TRUE(machine_->SetFileTime(h, nullptr, nullptr, &time));
        machine_->CloseHandle(h);
        Reopen();
        EXPECT_EQ(machine_->Stat("C:\\t.bin")->lastWriteTime, ticks);
        WIN32_FILE_ATTRIBUTE_DATA info;
        ASSERT_TRUE(
            machine_->GetFileAttributesExW(W("C:\\t.bin").c_str(), GetFileExInfoStandard, &info));
        EXPECT_EQ(FileTimeValue(info.ftLastWriteTime), ticks);
        EXPECT_EQ(info.nFileSizeLow, 3u);
    }
}

TEST_F(MachineTest, ReadOnlyHandlesCannotWriteOrSetTimes) {
    machine_->PutFile("C:\\r.bin", Bytes("abc"), kSomeTime);
    HANDLE h = Open("C:\\r.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    DWORD written = 7;
    EXPECT_FALSE(machine_->WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(machine_->GetLastError(), ERROR_ACCESS_DENIED);
    FILETIME time = MakeFileTime(1);
    EXPECT_FALSE(machine_->SetFileTime(h, nullptr, nullptr, &time));
    machine_->CloseHandle(h);
    EXPECT_EQ(machine_->Stat("C:\\r.bin")->lastWriteTime, kSomeTime);
}

TEST_F(MachineTest, ZeroFileTimeLeavesTheTimeAsItIs) {
    machine_->PutFile("C:\\z.bin", Bytes("abc"), kSomeTime);
    HANDLE h = Open("C:\\z.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    FILETIME zero{};
    EXPECT_TRUE(machine_->SetFileTime(h, nullptr, nullptr, &zero));
    machine_->CloseHandle(h);
    EXPECT_EQ(machine_->Stat("C:\\z.bin")->lastWriteTime, kSomeTime);
}

class FillingDrive : public MachineTest {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.drives[0].fillsAfterBytes = 10;
        return p;
    }
};

TEST_F(FillingDrive, WriteTakesWhatFitsAndFailsWithDiskFull) {
    HANDLE h = Open("C:\\big.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD written = 0;
    EXPECT_TRUE(machine_->WriteFile(h, "1234", 4, &written, nullptr));
    EXPECT_FALSE(machine_->WriteFile(h, "abcdefghij", 10, &written, nullptr));
    EXPECT_EQ(machine_->GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 6u);
    machine_->CloseHandle(h);
    EXPECT_EQ(machine_->ReadFileBytes("C:\\big.bin"), Bytes("1234abcdef"));
}

// ---- Deleting, attributes and folders -----------------------------------------------------------

struct PathCase {
    const char* name;
    const char* path;
    bool succeeds;
    DWORD error;
};

class DeleteFileCases : public MachineTest, public ::testing::WithParamInterface<PathCase> {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.runningPrograms = {"C:\\Apps\\running.exe"};
        p.pathsDenyWrite = {"C:\\Locked\\file.txt"};
        return p;
    }
};

TEST_P(DeleteFileCases, DeletesOrRefuses) {
    const PathCase& c = GetParam();
    machine_->PutFile("C:\\Data\\plain.txt", Bytes("x"));
    machine_->PutFile("C:\\Data\\readonly.txt", Bytes("x"));
    machine_->SetReadOnly("C:\\Data\\readonly.txt", true);
    machine_->PutFile("C:\\Apps\\running.exe", Bytes("MZ"));
    machine_->PutFile("C:\\Locked\\file.txt", Bytes("x"));
    bool existed = machine_->Exists(c.path);
    EXPECT_EQ(machine_->DeleteFileW(W(c.path).c_str()) != FALSE, c.succeeds);
    if (!c.succeeds) {
        EXPECT_EQ(machine_->GetLastError(), c.error);
    }
    EXPECT_EQ(machine_->Exists(c.path), existed && !c.succeeds);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeleteFileCases,
    ::testing::Values(PathCase{"Plain", "c:\\data\\PLAIN.txt", true, 0},
                      PathCase{"Missing", "C:\\Data\\none.txt", false, ERROR_FILE_NOT_FOUND},
                      PathCase{"MissingFolder", "C:\\None\\x.txt", false, ERROR_PATH_NOT_FOUND},
                      PathCase{"Folder", "C:\\Data", false, ERROR_ACCESS_DENIED},
                      PathCase{"ReadOnly", "C:\\Data\\readonly.txt", false, ERROR_ACCESS_DENIED},
                      PathCase{"Running", "C:\\Apps\\running.exe", false, ERROR_ACCESS_DENIED},
                      PathCase{"Denied", "C:\\Locked\\file.txt", false, ERROR_ACCESS_DENIED},
                      PathCase{"BadName", "C:\\Data\\x?.txt", false, ERROR_INVALID_NAME}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

class CreateDirectoryCases : public MachineTest, public ::testing::WithParamInterface<PathCase> {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.pathsDenyWrite = {"C:\\Program Files"};
        return p;
    }
};

TEST_P(CreateDirectoryCases, CreatesOrRefuses) {
    const PathCase& c = GetParam();
    machine_->PutFile("C:\\Data\\file.txt", Bytes("x"));
    EXPECT_EQ(machine_->CreateDirectoryW(W(c.path).c_str(), nullptr) != FALSE, c.succeeds);
    if (c.succeeds) {
        EXPECT_TRUE(machine_->Exists(c.path));
    } else {
        EXPECT_EQ(machine_->GetLastError(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CreateDirectoryCases,
    ::testing::Values(PathCase{"New", "C:\\Data\\Sub\\", true, 0},
                      PathCase{"ForwardSlashes", "C:/Data/Other", true, 0},
                      PathCase{"Exists", "C:\\DATA", false, ERROR_ALREADY_EXISTS},
                      PathCase{"FileThere", "C:\\Data\\file.txt", false, ERROR_ALREADY_EXISTS},
                      PathCase{"ParentMissing", "C:\\A\\B", false, ERROR_PATH_NOT_FOUND},
                      PathCase{"Denied", "C:\\Program Files\\Tarnwell", false, ERROR_ACCESS_DENIED},
                      PathCase{"Root", "C:\\", false, ERROR_ACCESS_DENIED},
                      PathCase{"Reserved", "C:\\Data\\LPT1", false, ERROR_INVALID_NAME},
                      PathCase{"TooLongForAFolder", kLongFolder, false, 206}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(MachineTest, AttributesTellFilesFoldersAndDriveRootsApart) {
    machine_->PutFile("C:\\Data\\f.txt", Bytes("12345"));
    machine_->SetReadOnly("C:\\Data\\f.txt", true);
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(machine_->GetFileAttributesExW(W("C:\\").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(
        machine_->GetFileAttributesExW(W("C:\\data\\").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(
        machine_->GetFileAttributesExW(W("C:\\Data\\F.txt").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(info.nFileSizeLow, 5u);
    EXPECT_FALSE(machine_->GetFileAttributesExW(W("Q:\\").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(machine_->GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(
        machine_->GetFileAttributesExW(W("C:\\Data\\g.txt").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(machine_->GetLastError(), ERROR_FILE_NOT_FOUND);
    Reopen();
    EXPECT_TRUE(machine_->Stat("C:\\Data\\f.txt")->readOnly)
        << "the read-only mark survives reopening";
}

// ---- Drives
// --------------------------------------------------------------------------------------

class Drives : public MachineTest {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.drives[0].freeBytes = 5ull << 30;
        p.drives.push_back(DriveProfile{'D', DRIVE_CDROM, false});
        p.drives.push_back(DriveProfile{'N', DRIVE_REMOTE, true, 1234});
        return p;
    }
};

TEST_F(Drives, DriveTypesOfRootsOnly) {
    EXPECT_EQ(machine_->GetDriveTypeA("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(machine_->GetDriveTypeA("c:"), DRIVE_FIXED);
    EXPECT_EQ(machine_->GetDriveTypeA("D:\\"), DRIVE_CDROM);
    EXPECT_EQ(machine_->GetDriveTypeA("N:/"), DRIVE_REMOTE);
    EXPECT_EQ(machine_->GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(machine_->GetDriveTypeA("C:\\Windows\\"), DRIVE_NO_ROOT_DIR);
}

TEST_F(Drives, FreeSpaceComesFromTheProfileOrFails) {
    ULARGE_INTEGER free, total, totalFree;
    ASSERT_TRUE(machine_->GetDiskFreeSpaceExA("C:\\Program Files\\", &free, &total, &totalFree));
    EXPECT_EQ(free.QuadPart, 5ull << 30);
    EXPECT_GE(total.QuadPart, free.QuadPart);
    ASSERT_TRUE(machine_->GetDiskFreeSpaceExA("n:\\share", &free, nullptr, nullptr));
    EXPECT_EQ(free.QuadPart, 1234u);
    EXPECT_FALSE(machine_->GetDiskFreeSpaceExA("D:\\", &free, &total, &totalFree));
    EXPECT_EQ(machine_->GetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(machine_->GetDiskFreeSpaceExA("Q:\\", &free, &total, &totalFree));
    EXPECT_EQ(machine_->GetLastError(), ERROR_PATH_NOT_FOUND);
}

// ---- Counting faults
// ---------------------------------------------------------------------------------

TEST_F(MachineTest, CountedFaultsFailTheNthCallOnceOrFromThenOn) {
    machine_->Fault().FailCall(Op::CreateDirectoryW, 2, false, ERROR_ACCESS_DENIED);
    machine_->Fault().FailCall(Op::WriteFile, 2, true, ERROR_DISK_FULL);
    std::vector<bool> created;
    for (const char* name : {"C:\\a", "C:\\b", "C:\\c"})
        created.push_back(machine_->CreateDirectoryW(W(name).c_str(), nullptr) != FALSE);
    EXPECT_EQ(created, (std::vector<bool>{true, false, true}));
    EXPECT_FALSE(machine_->Exists("C:\\b"));

    HANDLE h = Open("C:\\w.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD written = 0;
    std::vector<bool> writes;
    for (int i = 0; i < 3; ++i)
        writes.push_back(machine_->WriteFile(h, "x", 1, &written, nullptr) != FALSE);
    EXPECT_EQ(writes, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(machine_->GetLastError(), ERROR_DISK_FULL);
    machine_->CloseHandle(h);
    EXPECT_EQ(machine_->Fault().FiredCount(), 3);
    machine_->Fault().Clear();
    EXPECT_EQ(machine_->Fault().FiredCount(), 0);
}

TEST_F(MachineTest, ModuleFileNameIsTheSetupsPathAndTruncatesLikeWindows) {
    char buffer[260];
    const char* expected = "C:\\Users\\User\\Downloads\\StashwickSetup.exe";
    EXPECT_EQ(machine_->GetModuleFileNameA(NO_MODULE, buffer, 260), std::strlen(expected));
    EXPECT_STREQ(buffer, expected);
    machine_->SetOwnModule("D:\\Setup.exe", {}, {});
    char small[5];
    EXPECT_EQ(machine_->GetModuleFileNameA(NO_MODULE, small, 5), 5u);
    EXPECT_STREQ(small, "D:\\S");
    EXPECT_EQ(machine_->GetLastError(), 122u);
}

}  // namespace
}  // namespace swk::sim::test
