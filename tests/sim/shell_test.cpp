// The shell, COM links and component modules of the simulated machine.
#include <array>
#include <cstdio>

#include "platform/sim/shell_link_file.h"
#include "tests/sim/machine_fixture.h"
#ifdef SWK_HAVE_STANDINS
#include "tools/standins/pe_writer.h"
#endif

namespace swk::sim::test {
namespace {

constexpr std::uint64_t kSomeTime = 0x01CEE13A32F40EF2;

// A shell path list: each path, a zero unit, and one more zero at the end.
std::u16string PathList(std::initializer_list<std::string_view> paths) {
    std::u16string list;
    for (auto p : paths) {
        list += W(p);
        list.push_back(0);
    }
    list.push_back(0);
    return list;
}

// ---- Special folders ----------------------------------------------------------------

struct FolderCase {
    int csidl;
    const char* path;
};

class SpecialFolders : public MachineTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(SpecialFolders, ResolveToWindows7DefaultsAndCreateMissingOnes) {
    std::filesystem::remove_all(machine_->HostPath(GetParam().path));
    WCHAR buffer[261] = {};
    ASSERT_TRUE(machine_->SHGetSpecialFolderPathW(NO_WINDOW, buffer, GetParam().csidl, TRUE));
    EXPECT_EQ(std::u16string(buffer), W(GetParam().path));
    EXPECT_TRUE(machine_->Exists(GetParam().path));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpecialFolders,
    ::testing::Values(FolderCase{CSIDL_PERSONAL, "C:\\Users\\User\\Documents"},
                      FolderCase{CSIDL_COMMON_PROGRAMS,
                                 "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
                      FolderCase{
                          CSIDL_COMMON_STARTUP,
                          "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
                      FolderCase{CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
                      FolderCase{CSIDL_LOCAL_APPDATA, "C:\\Users\\User\\AppData\\Local"},
                      FolderCase{CSIDL_COMMON_APPDATA, "C:\\ProgramData"},
                      FolderCase{CSIDL_PROGRAM_FILES, "C:\\Program Files"}));

TEST_F(MachineTest, UnresolvableSpecialFolderLeavesAnEmptyBuffer) {
    machine_->Profile().specialFoldersUnresolvable = {"35"};
    WCHAR buffer[261];
    buffer[0] = 'x';
    EXPECT_FALSE(machine_->SHGetSpecialFolderPathW(NO_WINDOW, buffer, CSIDL_COMMON_APPDATA, TRUE));
    EXPECT_EQ(buffer[0], 0);
    std::filesystem::remove_all(machine_->HostPath("C:\\Users\\User\\Documents"));
    EXPECT_FALSE(machine_->SHGetSpecialFolderPathW(NO_WINDOW, buffer, CSIDL_PERSONAL, FALSE))
        << "without the create flag a missing folder is not made";
    EXPECT_FALSE(machine_->Exists("C:\\Users\\User\\Documents"));
    machine_->Profile().wow64 = true;
    ASSERT_TRUE(machine_->SHGetSpecialFolderPathW(NO_WINDOW, buffer, CSIDL_PROGRAM_FILES, TRUE));
    EXPECT_EQ(std::u16string(buffer), W("C:\\Program Files (x86)"));
}

// ---- SHFileOperationW ------------------------------------------------------------------

class ShellFileOperations : public MachineTest {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.runningPrograms = {"C:\\App\\run.exe"};
        return p;
    }
    int Run(UINT function, const std::u16string& from, const std::u16string& to, FILEOP_FLAGS flags,
            bool* aborted) {
        SHFILEOPSTRUCTW op;
        op.wFunc = function;
        op.pFrom = from.c_str();
        op.pTo = to.empty() ? nullptr : to.c_str();
        op.fFlags = flags;
        int result = machine_->SHFileOperationW(&op);
        *aborted = op.fAnyOperationsAborted != FALSE;
        return result;
    }
    static constexpr FILEOP_FLAGS kFlags = 0x2614;
};

TEST_F(ShellFileOperations, DeleteRemovesFilesAndFoldersForGood) {
    machine_->PutFile("C:\\Data\\a.txt", Bytes("a"));
    machine_->SetReadOnly("C:\\Data\\a.txt", true);
    machine_->PutFile("C:\\Tree\\sub\\b.txt", Bytes("b"));
    bool aborted = true;
    EXPECT_EQ(Run(FO_DELETE, PathList({"c:\\data\\A.TXT"}), {}, kFlags, &aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_FALSE(machine_->Exists("C:\\Data\\a.txt"));
    EXPECT_EQ(Run(FO_DELETE, PathList({"C:\\Tree"}), {}, kFlags | FOF_ALLOWUNDO, &aborted), 0);
    EXPECT_FALSE(machine_->Exists("C:\\Tree"));
    EXPECT_EQ(Run(FO_DELETE, PathList({"C:\\Data\\a.txt"}), {}, kFlags, &aborted),
              static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(aborted);
}

TEST_F(ShellFileOperations, FilesInUseAreNotDeletedOrMoved) {
    machine_->PutFile("C:\\App\\run.exe", Bytes("MZ"));
    machine_->PutFile("C:\\App\\open.bin", Bytes("x"));
    HANDLE h = Open("C:\\App\\open.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    bool aborted = false;
    EXPECT_EQ(Run(FO_DELETE, PathList({"C:\\App\\run.exe"}), {}, kFlags, &aborted),
              static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(aborted);
    EXPECT_NE(Run(FO_MOVE, PathList({"C:\\App\\open.bin"}), PathList({"C:\\o.bin"}),
                  kFlags | FOF_MULTIDESTFILES, &aborted),
              0);
    EXPECT_NE(Run(FO_DELETE, PathList({"C:\\App"}), {}, kFlags, &aborted), 0)
        << "a folder holding files in use stays";
    EXPECT_TRUE(machine_->Exists("C:\\App\\run.exe"));
    EXPECT_TRUE(machine_->Exists("C:\\App\\open.bin"));
    machine_->CloseHandle(h);
}

TEST_F(ShellFileOperations, MoveToFullTargetPathsMakesFoldersAndKeepsTimes) {
    machine_->PutFile("C:\\U\\swk.bin", Bytes("pages"), kSomeTime);
    machine_->PutFile("C:\\U\\two.bin", Bytes("two"), kSomeTime + 1);
    machine_->PutFile("C:\\Docs\\Pages_2014_09_04 14_05_09.swk", Bytes("older"));
    bool aborted = true;
    EXPECT_EQ(Run(FO_MOVE, PathList({"C:\\U\\swk.bin", "C:\\U\\two.bin"}),
                  PathList({"C:\\Docs\\Pages_2014_09_04 14_05_09.swk", "C:\\New\\Deep\\two.bin"}),
                  kFlags | FOF_MULTIDESTFILES, &aborted),
              0);
    EXPECT_FALSE(aborted);
    EXPECT_FALSE(machine_->Exists("C:\\U\\swk.bin"));
    EXPECT_EQ(machine_->ReadFileBytes("C:\\Docs\\Pages_2014_09_04 14_05_09.swk"), Bytes("pages"));
    EXPECT_EQ(machine_->Stat("C:\\Docs\\Pages_2014_09_04 14_05_09.swk")->lastWriteTime, kSomeTime);
    EXPECT_EQ(machine_->Stat("C:\\New\\Deep\\two.bin")->lastWriteTime, kSomeTime + 1);
    EXPECT_EQ(Run(FO_MOVE, PathList({"C:\\U\\swk.bin"}), PathList({"C:\\x.bin"}),
                  kFlags | FOF_MULTIDESTFILES, &aborted),
              static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(aborted);
}

TEST_F(ShellFileOperations, CopyIntoAFolderKeepsTheSourceAndItsAttributes) {
    machine_->PutFile("C:\\S\\a.txt", Bytes("a"), kSomeTime);
    machine_->SetReadOnly("C:\\S\\a.txt", true);
    machine_->PutFolder("C:\\T");
    bool aborted = true;
    EXPECT_EQ(Run(FO_COPY, PathList({"C:\\S\\a.txt"}), PathList({"C:\\T"}), kFlags, &aborted), 0);
    EXPECT_TRUE(machine_->Exists("C:\\S\\a.txt"));
    auto copy = machine_->Stat("C:\\T\\a.txt");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->lastWriteTime, kSomeTime);
    EXPECT_TRUE(copy->readOnly);
}

TEST_F(ShellFileOperations, FaultsAndBadListsFail) {
    machine_->Fault().FailCall(Op::SHFileOperationW, 1, false, ERROR_ACCESS_DENIED);
    machine_->PutFile("C:\\a.txt", Bytes("a"));
    bool aborted = false;
    EXPECT_EQ(Run(FO_DELETE, PathList({"C:\\a.txt"}), {}, kFlags, &aborted),
              static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(machine_->Exists("C:\\a.txt"));
    EXPECT_EQ(Run(FO_DELETE, PathList({}), {}, kFlags, &aborted),
              static_cast<int>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Run(FO_MOVE, PathList({"C:\\a.txt"}), {}, kFlags, &aborted),
              static_cast<int>(ERROR_INVALID_PARAMETER));
}

// ---- ShellExecuteW
// -------------------------------------------------------------------------------

TEST_F(MachineTest, ShellExecuteStartsProgramsOpensAddressesAndLocksStartedFiles) {
    machine_->PutFile("C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe", Bytes("MZ"));
    auto run = [&](std::string_view file) {
        return static_cast<std::uintptr_t>(machine_->ShellExecuteW(
            NO_WINDOW, W("open").c_str(), W(file).c_str(), nullptr, nullptr, SW_RESTORE));
    };
    EXPECT_GT(run("https://example.invalid/latest"), 32u);
    EXPECT_GT(run("C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe"), 32u);
    EXPECT_EQ(run("C:\\Program Files\\Tarnwell\\Stashwick\\none.exe"), SE_ERR_FNF);
    EXPECT_EQ(run("C:\\Nowhere\\none.exe"), SE_ERR_PNF);
    EXPECT_EQ(machine_->Journal(),
              (std::vector<std::string>{"open https://example.invalid/latest",
                                        "start C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe"}));
    EXPECT_EQ(
        Open("C:\\Program Files\\Tarnwell\\Stashwick\\SWK.EXE", GENERIC_WRITE, 0, CREATE_ALWAYS),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(machine_->GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(
        machine_->DeleteFileW(W("C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe").c_str()));
}

// ---- COM and shell links
// --------------------------------------------------------------------------

TEST_F(MachineTest, ShellLinkNeedsComAndSavesARealLinkFile) {
    void* object = nullptr;
    EXPECT_EQ(machine_->CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(machine_->CoInitialize(nullptr), S_OK);
    ASSERT_EQ(machine_->CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, &object),
              S_OK);
    auto* link = static_cast<IShellLinkA*>(object);
    link->SetArguments("-tray");
    link->SetPath("C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe");
    link->SetDescription("Stashwick pages");
    void* persistObject = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, &persistObject), S_OK);
    auto* persist = static_cast<IPersistFile*>(persistObject);
    const std::string lnk = "C:\\Users\\Public\\Desktop\\Stashwick.lnk";
    EXPECT_EQ(persist->Save(W(lnk).c_str(), TRUE), S_OK);
    EXPECT_EQ(machine_->LiveComObjects(), 1);
    persist->Release();
    link->Release();
    EXPECT_EQ(machine_->LiveComObjects(), 0);
    machine_->CoUninitialize();

    auto bytes = machine_->ReadFileBytes(lnk);
    ASSERT_TRUE(bytes);
    auto decoded = DecodeShellLink(*bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, (ShellLinkData{"C:\\Program Files\\Tarnwell\\Stashwick\\swk.exe", "-tray",
                                       "Stashwick pages"}));

    // An independent reader of link files sees the same target and texts.
    std::string command = "lnkinfo '" + machine_->HostPath(lnk).string() + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 512> chunk;
        while (fgets(chunk.data(), chunk.size(), pipe)) output += chunk.data();
        pclose(pipe);
    }
    if (output.find("not found") != std::string::npos) GTEST_SKIP() << "lnkinfo is not installed";
    EXPECT_NE(output.find("swk.exe"), std::string::npos) << output;
    EXPECT_NE(output.find("Stashwick pages"), std::string::npos) << output;
    EXPECT_NE(output.find("-tray"), std::string::npos) << output;
}

TEST_F(MachineTest, ShellLinkSaveFaultsAndRefusedFoldersFailWithAnHResult) {
    machine_->CoInitialize(nullptr);
    machine_->Profile().pathsDenyWrite = {"C:\\Users\\Public\\Desktop"};
    machine_->Fault().FailCall(Op::ShellLinkSave, 1, false, ERROR_DISK_FULL);
    void* object = nullptr;
    ASSERT_EQ(machine_->CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, &object),
              S_OK);
    auto* link = static_cast<IShellLinkA*>(object);
    link->SetPath("C:\\x.exe");
    void* persistObject = nullptr;
    link->QueryInterface(IID_IPersistFile, &persistObject);
    auto* persist = static_cast<IPersistFile*>(persistObject);
    EXPECT_EQ(persist->Save(W("C:\\ok.lnk").c_str(), TRUE), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_FALSE(machine_->Exists("C:\\ok.lnk"));
    EXPECT_EQ(persist->Save(W("C:\\Users\\Public\\Desktop\\x.lnk").c_str(), TRUE), E_ACCESSDENIED);
    EXPECT_EQ(persist->Save(W("C:\\NoFolder\\x.lnk").c_str(), TRUE),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(persist->Save(W("C:\\ok.lnk").c_str(), TRUE), S_OK);
    persist->Release();
    link->Release();
    EXPECT_EQ(machine_->CoCreateInstance(IID_IPersistFile, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkA, &object),
              REGDB_E_CLASSNOTREG);
}

// ---- Component modules
// ---------------------------------------------------------------------------

TEST_F(MachineTest, LoadLibraryRefusesMissingFilesAndNonImages) {
    machine_->PutFile("C:\\x\\text.dll", Bytes("not an image"));
    EXPECT_EQ(machine_->LoadLibraryA("C:\\x\\none.dll"), NO_MODULE);
    EXPECT_EQ(machine_->GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(machine_->LoadLibraryA("C:\\x\\text.dll"), NO_MODULE);
    EXPECT_EQ(machine_->GetLastError(), ERROR_BAD_EXE_FORMAT);
}

#ifdef SWK_HAVE_STANDINS
TEST_F(MachineTest, ComponentsRegisterThroughTheirExportAndReportTheProfilesResult) {
    const std::string ocx = "C:\\Program Files\\Tarnwell\\Stashwick\\swk.ocx";
    const std::string dll = "C:\\Program Files\\Tarnwell\\Stashwick\\helper.dll";
    machine_->PutFile(ocx,
                      standins::BuildPe32Image(
                          {true, "swk.ocx", "", {"DllRegisterServer", "DllUnregisterServer"}}));
    machine_->PutFile(dll, standins::BuildPe32Image({true, "helper.dll", "", {"Other"}}));
    machine_->Profile().registerServerResults["SWK.OCX"] = E_FAIL;

    HMODULE module = machine_->LoadLibraryA(ocx.c_str());
    ASSERT_NE(module, NO_MODULE);
    FARPROC entry = machine_->GetProcAddress(module, "DllRegisterServer");
    ASSERT_NE(entry, NO_PROC);
    EXPECT_EQ(machine_->CallDllRegisterServer(entry), E_FAIL);
    EXPECT_FALSE(machine_->DeleteFileW(W(ocx).c_str())) << "a loaded module's file is in use";
    machine_->CoFreeLibrary(module);
    EXPECT_EQ(machine_->CallDllRegisterServer(entry), E_FAIL)
        << "the entry point left with its module";

    HMODULE helper = machine_->LoadLibraryA(dll.c_str());
    ASSERT_NE(helper, NO_MODULE);
    EXPECT_EQ(machine_->GetProcAddress(helper, "DllRegisterServer"), NO_PROC);
    EXPECT_EQ(machine_->GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(machine_->GetProcAddress(helper, "other"), NO_PROC) << "export names keep their case";
    machine_->Profile().registerServerResults.clear();
    module = machine_->LoadLibraryA(ocx.c_str());
    EXPECT_EQ(
        machine_->CallDllRegisterServer(machine_->GetProcAddress(module, "DllRegisterServer")),
        S_OK);
    machine_->CoFreeLibrary(module);
    machine_->CoFreeLibrary(helper);
    EXPECT_TRUE(machine_->DeleteFileW(W(ocx).c_str()));
    EXPECT_EQ(machine_->Journal(),
              (std::vector<std::string>{"register " + ocx, "register " + ocx}));
}
#endif

}  // namespace
}  // namespace swk::sim::test
