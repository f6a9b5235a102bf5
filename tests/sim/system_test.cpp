// Text conversion, system strings, version data, resources, LZ expansion, the
// semaphore, the platform check, the clock, privileges, restart and the profile.
#include <cstring>

#include "platform/sim/version_block.h"
#include "platform/szdd.h"
#include "tests/sim/machine_fixture.h"

namespace swk::sim::test {
namespace {

// ---- Text conversion -----------------------------------------------------------------------

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class Utf8ToWide : public MachineTest, public ::testing::WithParamInterface<Utf8Case> {};

TEST_P(Utf8ToWide, ConvertsLikeWindowsWithoutFlags) {
    const Utf8Case& c = GetParam();
    int needed = machine_->MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(),
                                               static_cast<int>(c.utf8.size()), nullptr, 0);
    EXPECT_EQ(needed, static_cast<int>(c.utf16.size()));
    std::u16string out(c.utf16.size() + 4, u'#');
    EXPECT_EQ(
        machine_->MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(), static_cast<int>(c.utf8.size()),
                                      out.data(), static_cast<int>(out.size())),
        needed);
    EXPECT_EQ(out.substr(0, needed), c.utf16);
    // Zero-terminated input: the terminator is converted and counted.
    EXPECT_EQ(machine_->MultiByteToWideChar(CP_UTF8, 0, c.utf8.c_str(), -1, nullptr, 0),
              static_cast<int>(DecodeUtf8(std::string_view(c.utf8.c_str())).size() + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToWide,
    ::testing::Values(Utf8Case{"Ascii", "C:\\x.txt", u"C:\\x.txt"},
                      Utf8Case{"TwoBytes", "J\xC3\xBCrgen", u"J\u00FCrgen"},
                      Utf8Case{"ThreeBytes", "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
                      Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
                      Utf8Case{"LoneLead", "a\xC3", u"a\uFFFD"},
                      Utf8Case{"TruncatedThree", "\xE2\x82z", u"\uFFFDz"},
                      Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"StrayContinuation", "\x80x", u"\uFFFDx"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(MachineTest, WideToUtf8ReplacesUnpairedSurrogatesAndChecksItsArguments) {
    const char16_t text[] = {u'a', 0xD800, u'b', 0xDC00, 0xD83D, 0xDE00, 0};
    char out[32] = {};
    int n = machine_->WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    EXPECT_EQ(std::string(out, n), std::string("a\xEF\xBF\xBD"
                                               "b\xEF\xBF\xBD\xF0\x9F\x98\x80",
                                               12) +
                                       '\0');
    EXPECT_EQ(machine_->WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), n);
    EXPECT_EQ(machine_->WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(machine_->GetLastError(), 122u);
    BOOL usedDefault = FALSE;
    EXPECT_EQ(
        machine_->WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, &usedDefault),
        0);
    EXPECT_EQ(machine_->GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(machine_->MultiByteToWideChar(CP_UTF8, 0, "", 0, nullptr, 0), 0);
    EXPECT_EQ(machine_->GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(MachineTest, SystemStringsAreCountedAndTerminated) {
    BSTR text = machine_->SysAllocStringLen(u"abc\0def", 7);
    ASSERT_NE(text, nullptr);
    std::uint32_t byteCount;
    std::memcpy(&byteCount, reinterpret_cast<const char*>(text) - 4, 4);
    EXPECT_EQ(byteCount, 14u);
    EXPECT_EQ(text[7], 0);
    BSTR copy = machine_->SysAllocString(u"xyz");
    EXPECT_EQ(std::u16string(copy), u"xyz");
    EXPECT_EQ(machine_->SysAllocString(nullptr), nullptr);
    EXPECT_EQ(machine_->LiveSystemStrings(), 2u);
    machine_->SysFreeString(text);
    machine_->SysFreeString(copy);
    machine_->SysFreeString(nullptr);
    EXPECT_EQ(machine_->LiveSystemStrings(), 0u);
}

// ---- Version data and resources
// -------------------------------------------------------------------

std::string QueryText(SimulatedMachine& m, std::vector<std::uint8_t>& block, const char* key) {
    void* value = nullptr;
    UINT length = 0;
    std::string sub = std::string("\\StringFileInfo\\040904B0\\") + key;
    if (!m.VerQueryValueA(block.data(), sub.c_str(), &value, &length))
        return value ? "(set on failure)" : "(none)";
    return static_cast<const char*>(value);
}

TEST_F(MachineTest, VersionBlockOfTheSetupCarriesItsStringsAndFixedInfo) {
    const char* path = "C:\\Users\\User\\Downloads\\StashwickSetup.exe";
    DWORD handle = 7;
    DWORD size = machine_->GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(handle, 0u);
    std::vector<std::uint8_t> block(size);
    ASSERT_TRUE(machine_->GetFileVersionInfoA(path, handle, size, block.data()));
    EXPECT_EQ(QueryText(*machine_, block, "FileVersion"), "4, 5, 0, 0");
    EXPECT_EQ(QueryText(*machine_, block, "specialbuild"), "0");
    EXPECT_EQ(QueryText(*machine_, block, "ProductName"), "(none)");

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(machine_->VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, kFixedFileInfoSize);
    std::uint32_t fixed[13];
    std::memcpy(fixed, value, sizeof fixed);
    EXPECT_EQ(fixed[0], kFixedFileInfoSignature);
    EXPECT_EQ(fixed[2], (4u << 16) | 5u);
    EXPECT_EQ(fixed[7] & kFileFlagSpecialBuild, kFileFlagSpecialBuild);
    ASSERT_TRUE(
        machine_->VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(length, 4u);

    machine_->SetOwnModule("D:\\setup.exe", {},
                           {{"FileVersion", "5, 0, 1, 2"}, {"SpecialBuild", "Jürgen 日本"}});
    EXPECT_EQ(machine_->GetFileVersionInfoSizeA(path, &handle), 0u)
        << "the old path is no longer the setup";
    size = machine_->GetFileVersionInfoSizeA("d:\\SETUP.EXE", &handle);
    block.assign(size, 0);
    machine_->GetFileVersionInfoA("D:\\setup.exe", 0, size, block.data());
    EXPECT_EQ(QueryText(*machine_, block, "SpecialBuild"), "Jürgen 日本");
    EXPECT_EQ(QueryText(*machine_, block, "FileVersion"), "5, 0, 1, 2");
}

TEST_F(MachineTest, RcdataResourcesOfTheSetupStayReadable) {
    machine_->SetOwnModule("C:\\setup.exe", {{129, Bytes("container bytes")}}, {});
    HRSRC found =
        machine_->FindResourceA(NO_MODULE, MAKEINTRESOURCEA(129), MAKEINTRESOURCEA(RT_RCDATA_ID));
    ASSERT_NE(found, HRSRC{0});
    EXPECT_EQ(machine_->SizeofResource(NO_MODULE, found), 15u);
    const void* bytes = machine_->LockResource(machine_->LoadResource(NO_MODULE, found));
    ASSERT_NE(bytes, nullptr);
    machine_->SetOwnModule("C:\\setup.exe", {{129, Bytes("other")}}, {});
    EXPECT_EQ(std::memcmp(bytes, "container bytes", 15), 0)
        << "locked bytes live as long as the process";
    EXPECT_EQ(
        machine_->FindResourceA(NO_MODULE, MAKEINTRESOURCEA(130), MAKEINTRESOURCEA(RT_RCDATA_ID)),
        HRSRC{0});
    EXPECT_EQ(machine_->FindResourceA(NO_MODULE, MAKEINTRESOURCEA(129), MAKEINTRESOURCEA(3)),
              HRSRC{0});
}

// ---- LZ expansion
// ---------------------------------------------------------------------------------------

// An SZDD file of literals only: a flag byte 0xFF before every eight bytes.
std::vector<std::uint8_t> LiteralSzdd(std::string_view text) {
    std::vector<std::uint8_t> file(szdd::kSignature.begin(), szdd::kSignature.end());
    file.push_back(szdd::kModeA);
    file.push_back(0);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(text.size() >> (8 * i)));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 8 == 0) file.push_back(0xFF);
        file.push_back(static_cast<std::uint8_t>(text[i]));
    }
    return file;
}

class LzExpansion : public MachineTest {
protected:
    INT OpenLz(std::string_view path) {
        OFSTRUCT record{};
        record.cBytes = sizeof record;
        record.fFixedDisk = 1;
        return machine_->LZOpenFileW(W(path).c_str(), &record, OF_READ | OF_SHARE_DENY_WRITE);
    }
};

TEST_F(LzExpansion, ReadsTheExpandedFileFromItsStartInSteps) {
    const std::string text = "The quick brown fox jumps over the lazy dog";
    machine_->PutFile("C:\\t\\x.tmp", LiteralSzdd(text));
    INT lz = OpenLz("C:\\t\\x.tmp");
    ASSERT_GE(lz, 0);
    std::vector<char> out(100);
    EXPECT_EQ(machine_->LZRead(lz, out.data(), 10), 10);
    EXPECT_EQ(machine_->LZRead(lz, out.data() + 10, 100), static_cast<INT>(text.size() - 10));
    EXPECT_EQ(std::string(out.data(), text.size()), text);
    EXPECT_EQ(machine_->LZRead(lz, out.data(), 10), 0);
    machine_->LZClose(lz);
    EXPECT_LT(machine_->LZRead(-1, out.data(), 10), 0);
    EXPECT_LT(machine_->LZRead(lz, out.data(), 10), 0) << "a closed handle reads nothing";
}

TEST_F(LzExpansion, BadDataAndMissingFilesGiveNegativeResults) {
    auto truncated = LiteralSzdd("0123456789abcdef");
    truncated.resize(truncated.size() - 4);
    machine_->PutFile("C:\\t\\short.tmp", truncated);
    auto otherMode = LiteralSzdd("abc");
    otherMode[8] = 'B';
    machine_->PutFile("C:\\t\\mode.tmp", otherMode);
    machine_->PutFile("C:\\t\\plain.txt", Bytes("plain"));
    std::vector<char> out(64);
    for (const char* path : {"C:\\t\\short.tmp", "C:\\t\\mode.tmp"}) {
        INT lz = OpenLz(path);
        ASSERT_GE(lz, 0);
        EXPECT_LT(machine_->LZRead(lz, out.data(), 64), 0) << path;
        machine_->LZClose(lz);
    }
    INT lz = OpenLz("C:\\t\\plain.txt");
    EXPECT_EQ(machine_->LZRead(lz, out.data(), 64), 5) << "an uncompressed file reads as it is";
    machine_->LZClose(lz);
    EXPECT_LT(OpenLz("C:\\t\\none.tmp"), 0);
    EXPECT_EQ(machine_->GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(LzExpansion, EachOpenReadsItsOwnFileWhateverWasOpenedBefore) {
    // Long files first, then shorter ones, with one still open while another is
    // read: every read gives exactly its own file, no bytes of an earlier one.
    const std::string longText(5000, 'L');
    machine_->PutFile("C:\\t\\long.tmp", LiteralSzdd(longText));
    machine_->PutFile("C:\\t\\long.txt", Bytes(longText));
    machine_->PutFile("C:\\t\\short.tmp", LiteralSzdd("short"));
    machine_->PutFile("C:\\t\\tiny.txt", Bytes("ab"));
    const std::pair<const char*, std::string> reads[] = {
        {"C:\\t\\long.tmp", longText}, {"C:\\t\\short.tmp", "short"}, {"C:\\t\\long.txt", longText},
        {"C:\\t\\tiny.txt", "ab"},     {"C:\\t\\short.tmp", "short"},
    };
    INT held = OpenLz("C:\\t\\long.txt");
    ASSERT_GE(held, 0);
    for (const auto& [path, expected] : reads) {
        std::vector<char> out(8000, '#');
        INT lz = OpenLz(path);
        ASSERT_GE(lz, 0) << path;
        EXPECT_EQ(machine_->LZRead(lz, out.data(), 8000), static_cast<INT>(expected.size()))
            << path;
        EXPECT_EQ(std::string(out.data(), expected.size()), expected) << path;
        EXPECT_EQ(out[expected.size()], '#') << path << ": nothing written past the file";
        machine_->LZClose(lz);
    }
    std::vector<char> out(8000);
    EXPECT_EQ(machine_->LZRead(held, out.data(), 8000), static_cast<INT>(longText.size()));
    EXPECT_EQ(std::string(out.data(), longText.size()), longText);
    machine_->LZClose(held);
}

TEST_F(LzExpansion, AnOpenLzFileKeepsWritersOut) {
    machine_->PutFile("C:\\t\\x.tmp", LiteralSzdd("abc"));
    INT lz = OpenLz("C:\\t\\x.tmp");
    ASSERT_GE(lz, 0);
    EXPECT_EQ(Open("C:\\t\\x.tmp", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(machine_->GetLastError(), ERROR_SHARING_VIOLATION);
    INT second = OpenLz("C:\\t\\x.tmp");
    EXPECT_GE(second, 0) << "readers share it";
    machine_->LZClose(second);
    machine_->LZClose(lz);
    HANDLE h = Open("C:\\t\\x.tmp", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    machine_->CloseHandle(h);
}

// ---- Semaphore, platform, clock, privileges, restart
// --------------------------------------------------

TEST_F(MachineTest, ProductSemaphoreOpensOnlyWhenPresent) {
    const std::string name(kProductSemaphoreName);
    EXPECT_EQ(machine_->OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, name.c_str()), NO_HANDLE);
    EXPECT_EQ(machine_->GetLastError(), ERROR_FILE_NOT_FOUND);
    machine_->SetSemaphore(true);
    EXPECT_EQ(machine_->OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE,
                                       "5e8d1f07-c2a4-4b9e-a3d6-7f10b82c94e5"),
              NO_HANDLE)
        << "object names keep their case";
    HANDLE h = machine_->OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(h, NO_HANDLE);
    LONG previous = -1;
    EXPECT_TRUE(machine_->ReleaseSemaphore(h, 1, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(machine_->SemaphoreCount(), 1);
    EXPECT_TRUE(machine_->CloseHandle(h));
    EXPECT_FALSE(machine_->ReleaseSemaphore(h, 1, nullptr));
}

TEST_F(MachineTest, VersionCheckWantsTheRecordSize) {
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(machine_->GetVersionExA(&info));
    machine_->Profile().platformId = VER_PLATFORM_WIN32_WINDOWS;
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(machine_->GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwBuildNumber, 7601u);
}

TEST_F(MachineTest, LocalTimeComesFromTheProfile) {
    machine_->Profile().localTime = "2014-09-04 14:05:09";
    SYSTEMTIME t;
    machine_->GetLocalTime(&t);
    EXPECT_EQ(t.wYear, 2014);
    EXPECT_EQ(t.wMonth, 9);
    EXPECT_EQ(t.wDay, 4);
    EXPECT_EQ(t.wDayOfWeek, 4) << "a Thursday";
    EXPECT_EQ(t.wHour, 14);
    EXPECT_EQ(t.wMinute, 5);
    EXPECT_EQ(t.wSecond, 9);
}

struct RestartCase {
    const char* name;
    bool hasPrivilege, exitFails;
    DWORD adjustError;
    bool restarts;
};

class Restart : public MachineTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(Restart, PrivilegeDecidesWhetherWindowsRestarts) {
    const RestartCase& c = GetParam();
    machine_->Profile().hasShutdownPrivilege = c.hasPrivilege;
    machine_->Profile().exitWindowsFails = c.exitFails;
    HANDLE token = NO_HANDLE;
    ASSERT_TRUE(machine_->OpenProcessToken(machine_->GetCurrentProcess(),
                                           TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    ASSERT_TRUE(
        machine_->LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid));
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    EXPECT_TRUE(machine_->AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr));
    EXPECT_EQ(machine_->GetLastError(), c.adjustError);
    EXPECT_TRUE(machine_->CloseHandle(token));
    EXPECT_EQ(machine_->ExitWindowsEx(EWX_REBOOT, 0) != FALSE, c.restarts);
    EXPECT_EQ(machine_->Journal(),
              c.restarts ? std::vector<std::string>{"restart"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, Restart,
                         ::testing::Values(RestartCase{"Held", true, false, 0, true},
                                           RestartCase{"NotHeld", false, false,
                                                       ERROR_NOT_ALL_ASSIGNED, false},
                                           RestartCase{"CallFails", true, true, 0, false}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// ---- The profile
// ----------------------------------------------------------------------------------------------

TEST(Profile, EveryFieldSurvivesTheIniFile) {
    MachineProfile p;
    p.platformId = 1;
    p.majorVersion = 4, p.minorVersion = 10, p.buildNumber = 2222;
    p.userName = "Jürgen Example";
    p.isAdmin = false, p.hasShutdownPrivilege = false, p.exitWindowsFails = true;
    p.lowIntegrityShellFolder = false, p.productSemaphore = true, p.wow64 = true;
    p.drives = {DriveProfile{'C', DRIVE_FIXED, true, 1000, 500},
                DriveProfile{'E', DRIVE_CDROM, false}};
    p.localTime = "2014-09-04 14:05:09";
    p.registerServerResults = {{"swk.ocx", E_FAIL}, {"other.dll", 1}};
    p.specialFoldersUnresolvable = {"35", "5"};
    p.registryKeysDenyCreate = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\A B"};
    p.registryKeysDenyDelete = {"HKEY_CURRENT_USER\\Software\\C"};
    p.pathsDenyWrite = {"C:\\Program Files\\X Y"};
    p.runningPrograms = {"C:\\a.exe", "C:\\b.exe"};
    p.specialFolders = {{CSIDL_PROGRAM_FILES, "D:\\Program Files"}};
    std::string ini = ProfileToIni(p);
    MachineProfile back = ProfileFromIni(ini);
    EXPECT_EQ(ProfileToIni(back), ini);
    EXPECT_EQ(back.userName, "Jürgen Example");
    EXPECT_EQ(back.drives.size(), 2u);
    EXPECT_EQ(back.drives[0].fillsAfterBytes, 500u);
    EXPECT_FALSE(back.drives[1].freeBytes);
    EXPECT_EQ(back.registerServerResults.at("swk.ocx"), E_FAIL);
    EXPECT_EQ(back.pathsDenyWrite, p.pathsDenyWrite);
    EXPECT_EQ(SpecialFolderPath(back, CSIDL_PROGRAM_FILES), "D:\\Program Files");
    EXPECT_TRUE(back.wow64);
}

TEST(Profile, SettingsAreCheckedOneByOne) {
    MachineProfile p;
    EXPECT_TRUE(ApplyProfileSetting(p, "drive", "d type=5 medium=0"));
    EXPECT_EQ(p.drives.back().letter, 'D');
    EXPECT_FALSE(ApplyProfileSetting(p, "drive", "D kind=5"));
    EXPECT_FALSE(ApplyProfileSetting(p, "isAdmin", "maybe"));
    EXPECT_FALSE(ApplyProfileSetting(p, "noSuchKey", "1"));
    EXPECT_TRUE(ApplyProfileSetting(p, "registerServerResult", "swk.ocx 0x80004005"));
    EXPECT_EQ(p.registerServerResults.at("swk.ocx"), E_FAIL);
}

TEST_F(MachineTest, SavedProfileIsWhatTheNextOpenSees) {
    machine_->Profile().userName = "Other";
    machine_->Profile().drives[0].freeBytes = 42;
    machine_->SaveProfile();
    Reopen();
    EXPECT_EQ(machine_->Profile().userName, "Other");
    ULARGE_INTEGER free;
    ASSERT_TRUE(machine_->GetDiskFreeSpaceExA("C:\\", &free, nullptr, nullptr));
    EXPECT_EQ(free.QuadPart, 42u);
}

}  // namespace
}  // namespace swk::sim::test
