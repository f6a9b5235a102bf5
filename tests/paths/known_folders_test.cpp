// Resolution of the known folders on both layouts of the "Shell Folders" key,
// with failed lookups and non-ASCII user names.
#include "paths/known_folders.h"

#include <gtest/gtest.h>

#include "paths/path_checks.h"
#include "tests/paths/test_machine.h"
#include "tests/registration/forwarding_services.h"

namespace swk {
namespace {

using sim::MachineProfile;
using testing::TestMachine;

constexpr const char* kShellFoldersKeyPath =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kSuffix = "\\Tarnwell\\Stashwick\\";

MachineProfile WithUser(std::string userName, bool lowIntegrityShellFolder) {
    MachineProfile profile;
    profile.userName = std::move(userName);
    profile.lowIntegrityShellFolder = lowIntegrityShellFolder;
    return profile;
}

// The machine's own path of a special folder, as its profile describes it.
std::string Base(TestMachine& machine, int csidl) {
    return sim::SpecialFolderPath(machine->Profile(), csidl);
}

// The low-integrity folder the machine's "Shell Folders" value names.
std::string LowIntegrityFolder(TestMachine& machine) {
    const auto value =
        machine->ReadValue(kShellFoldersKeyPath, std::string(kLowDataShellFolderValue));
    return value ? value->Text() : std::string();
}

class KnownFoldersByUser : public ::testing::TestWithParam<std::string> {};

TEST_P(KnownFoldersByUser, WithTheLowIntegrityFolder) {
    TestMachine machine(WithUser(GetParam(), /*lowIntegrityShellFolder=*/true));
    const std::string lowFolder = LowIntegrityFolder(machine);
    ASSERT_FALSE(lowFolder.empty()) << machine->Describe();

    ResolveKnownFolders("Stashwick");
    const KnownFolderTable& folders = KnownFolders();

    EXPECT_EQ(folders.LowDataFolder, lowFolder + kSuffix);
    EXPECT_EQ(folders.UserDataFolder, folders.LowDataFolder);
    EXPECT_EQ(folders.LocalDataFolder, Base(machine, CSIDL_LOCAL_APPDATA) + kSuffix);
    EXPECT_NE(folders.LocalDataFolder, folders.LowDataFolder);
    // The user's own folders carry the user's name, converted back unchanged.
    EXPECT_NE(folders.DocumentsFolder.find(GetParam()), std::string::npos)
        << folders.DocumentsFolder;
    EXPECT_NE(folders.UserDataFolder.find(GetParam()), std::string::npos);
    EXPECT_TRUE(folders.ProgramFolder.empty());
    EXPECT_TRUE(folders.PreviousInstallPath.empty());

    const std::pair<const std::string*, std::string> entries[] = {
        {&folders.SharedDataFolder, Base(machine, CSIDL_COMMON_APPDATA) + kSuffix},
        {&folders.DefaultProgramRoot, Base(machine, CSIDL_PROGRAM_FILES) + kSuffix},
        {&folders.CommonProgramsMenuFolder, Base(machine, CSIDL_COMMON_PROGRAMS) + "\\"},
        {&folders.CommonDesktopFolder, Base(machine, CSIDL_COMMON_DESKTOPDIRECTORY) + "\\"},
        {&folders.DocumentsFolder, Base(machine, CSIDL_PERSONAL) + "\\"},
        {&folders.CommonStartupFolder, Base(machine, CSIDL_COMMON_STARTUP) + "\\"},
    };
    for (const auto& [entry, expected] : entries) {
        EXPECT_EQ(*entry, expected);
        // A real folder of the machine followed by the separator or suffix.
        EXPECT_TRUE(machine->Exists(expected.substr(0, expected.find(kSuffix))))
            << expected << "\n"
            << machine->Describe();
    }
}

TEST_P(KnownFoldersByUser, WithoutTheLowIntegrityFolder) {
    TestMachine machine(WithUser(GetParam(), /*lowIntegrityShellFolder=*/false));
    ResolveKnownFolders("Stashwick");

    const KnownFolderTable& folders = KnownFolders();
    EXPECT_EQ(folders.LocalDataFolder, Base(machine, CSIDL_LOCAL_APPDATA) + kSuffix);
    EXPECT_EQ(folders.LowDataFolder, folders.LocalDataFolder);
    EXPECT_EQ(folders.UserDataFolder, folders.LocalDataFolder);
    EXPECT_NE(folders.UserDataFolder.find(GetParam()), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Users, KnownFoldersByUser,
                         ::testing::Values("User", "Zo\xC3\xAB M\xC3\xBCller",
                                           "\xE5\xB1\xB1\xE7\x94\xB0\xF0\x9F\x98\x80"));

TEST(KnownFolders, EmptyOrOversizedShellFolderValueFallsBackToLocalData) {
    const std::vector<sim::RegistryValue> values = {
        sim::RegistryValue{REG_SZ, {0, 0}},                                   // empty text
        sim::RegistryValue{REG_SZ, std::vector<std::uint8_t>(2 * 262, 'a')},  // 262 units
    };
    for (const sim::RegistryValue& value : values) {
        TestMachine machine;
        machine->PutValue(kShellFoldersKeyPath, std::string(kLowDataShellFolderValue), value);
        ResolveKnownFolders("Stashwick");
        EXPECT_EQ(KnownFolders().LowDataFolder, KnownFolders().LocalDataFolder)
            << value.data.size() << " bytes";
        EXPECT_EQ(KnownFolders().UserDataFolder, KnownFolders().LocalDataFolder);
    }
}

TEST(KnownFolders, ShellFolderValueOfAnyTypeIsReadAsText) {
    TestMachine machine;
    const std::u16string folder = u"E:\\Low \u00e9\U0001D11E";
    sim::RegistryValue value{REG_BINARY, {}};  // UTF-16 bytes, as the system keeps them
    for (char16_t unit : folder) {             // no terminator: the text ends with the data
        value.data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        value.data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    machine->PutValue(kShellFoldersKeyPath, std::string(kLowDataShellFolderValue), value);
    EXPECT_EQ(ReadShellFolderValue(kLowDataShellFolderValue), "E:\\Low \xC3\xA9\xF0\x9D\x84\x9E");
    EXPECT_EQ(ReadShellFolderValue("{no such value}"), "");
}

TEST(KnownFolders, ShellFolderKeyIsClosedWhateverTheQueryGives) {
    TestMachine machine;
    machine->Fault().FailCall(sim::Op::RegQueryValueExW, 2);
    test::HandleCountingServices counting(*machine);
    ScopedSystemServices services(counting);

    EXPECT_NE(ReadShellFolderValue(kLowDataShellFolderValue), "");
    EXPECT_EQ(ReadShellFolderValue(kLowDataShellFolderValue), "");  // the failed query
    EXPECT_EQ(ReadShellFolderValue("{no such value}"), "");
    EXPECT_EQ(counting.keysOpened, 3);
    EXPECT_EQ(counting.keysClosed, 3);
}

TEST(KnownFolders, UnresolvableSpecialFolderLeavesSeparatorOrSuffixAlone) {
    MachineProfile profile;
    profile.specialFoldersUnresolvable = {std::to_string(CSIDL_COMMON_APPDATA),
                                          std::to_string(CSIDL_PERSONAL),
                                          std::to_string(CSIDL_LOCAL_APPDATA)};
    profile.lowIntegrityShellFolder = false;
    TestMachine machine(profile);

    ResolveKnownFolders("Stashwick");
    const KnownFolderTable& folders = KnownFolders();
    EXPECT_EQ(folders.SharedDataFolder, kSuffix);
    EXPECT_EQ(folders.DocumentsFolder, "\\");
    EXPECT_EQ(folders.LocalDataFolder, kSuffix);
    EXPECT_EQ(folders.UserDataFolder, kSuffix);
    EXPECT_NE(folders.DefaultProgramRoot, kSuffix);  // the others still resolve
}

TEST(KnownFolders, ResolvingRecreatesABaseFolderButNoProductLevel) {
    TestMachine machine;
    const std::string startup = Base(machine, CSIDL_COMMON_STARTUP);
    std::filesystem::remove_all(machine->HostPath(startup));
    ASSERT_FALSE(machine->Exists(startup));

    ResolveKnownFolders("Stashwick");
    EXPECT_TRUE(machine->Exists(startup)) << machine->Describe();
    EXPECT_FALSE(machine->Exists(Base(machine, CSIDL_COMMON_APPDATA) + "\\Tarnwell"));
    EXPECT_FALSE(machine->Exists(Base(machine, CSIDL_PROGRAM_FILES) + "\\Tarnwell"));
}

TEST(KnownFolders, ADriveRootKeepsItsBackslashBeforeTheSeparator) {
    MachineProfile profile;
    profile.specialFolders[CSIDL_PERSONAL] = "C:\\";
    profile.specialFolders[CSIDL_COMMON_APPDATA] = "C:\\";
    TestMachine machine(profile);
    ResolveKnownFolders("Stashwick");
    EXPECT_EQ(KnownFolders().DocumentsFolder, "C:\\\\");
    EXPECT_EQ(KnownFolders().SharedDataFolder, "C:\\\\Tarnwell\\Stashwick\\");
}

TEST(KnownFolders, ProductNameChangesOnlySuffixedEntries) {
    TestMachine machine;
    ResolveKnownFolders("Stashwick");
    const KnownFolderTable first = KnownFolders();
    ResolveKnownFolders("Other \xC3\xA9");
    const KnownFolderTable& second = KnownFolders();

    auto swapped = [](std::string text) {
        const std::size_t at = text.rfind("\\Stashwick\\");
        return text.replace(at, 11, "\\Other \xC3\xA9\\");
    };
    EXPECT_EQ(second.SharedDataFolder, swapped(first.SharedDataFolder));
    EXPECT_EQ(second.DefaultProgramRoot, swapped(first.DefaultProgramRoot));
    EXPECT_EQ(second.LocalDataFolder, swapped(first.LocalDataFolder));
    EXPECT_EQ(second.UserDataFolder, swapped(first.UserDataFolder));
    EXPECT_EQ(second.DocumentsFolder, first.DocumentsFolder);
    EXPECT_EQ(second.CommonDesktopFolder, first.CommonDesktopFolder);
    EXPECT_EQ(second.CommonProgramsMenuFolder, first.CommonProgramsMenuFolder);
    EXPECT_EQ(second.CommonStartupFolder, first.CommonStartupFolder);
}

}  // namespace
}  // namespace swk
