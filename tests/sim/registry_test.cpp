// The simulated registry: results of the registry calls, the .reg files that
// keep it, and the refusals a profile can inject.
#include <fstream>
#include <sstream>

#include "platform/sim/registry_store.h"
#include "tests/sim/machine_fixture.h"

namespace swk::sim::test {
namespace {

const char* kAppKey = "SOFTWARE\\Tarnwell\\Stashwick";

class Registry : public MachineTest {
protected:
    MachineProfile ProfileForTest() override {
        MachineProfile p;
        p.registryKeysDenyCreate = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies"};
        p.registryKeysDenyDelete = {"HKEY_CURRENT_USER\\Software\\Pinned"};
        return p;
    }
    HKEY Create(HKEY root, const char* subKey, DWORD* disposition = nullptr) {
        HKEY key = NO_KEY;
        EXPECT_EQ(machine_->RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    LONG SetText(HKEY key, const char* name, std::string_view text) {
        std::string data(text);
        return machine_->RegSetValueExA(key, name, 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(data.c_str()),
                                        static_cast<DWORD>(data.size() + 1));
    }
    std::string RegFile(const char* name) {
        std::ifstream in(machine_->Folder() / "registry" / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(Registry, ValuesSurviveReopeningAndNamesIgnoreCase) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, kAppKey, &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(SetText(key, "Path", "C:\\Program Files\\Tarnwell \"quoted\""), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "", "default text"), ERROR_SUCCESS);
    DWORD one = 1;
    ASSERT_EQ(
        machine_->RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
        ERROR_SUCCESS);
    EXPECT_EQ(machine_->RegCloseKey(key), ERROR_SUCCESS);
    Reopen();

    HKEY again = NO_KEY;
    ASSERT_EQ(machine_->RegOpenKeyA(HKEY_LOCAL_MACHINE, "software\\TARNWELL\\stashwick", &again),
              ERROR_SUCCESS);
    char buffer[261] = {};
    DWORD size = sizeof buffer, type = 0;
    ASSERT_EQ(machine_->RegQueryValueExA(again, "PATH", nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_STREQ(buffer, "C:\\Program Files\\Tarnwell \"quoted\"");
    EXPECT_EQ(size, 35u);
    size = sizeof buffer;
    ASSERT_EQ(machine_->RegQueryValueExA(again, nullptr, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "default text");
    EXPECT_EQ(machine_->ReadValue("HKLM\\SOFTWARE\\Tarnwell\\Stashwick", "count")->data,
              (std::vector<std::uint8_t>{1, 0, 0, 0}));
    Create(HKEY_LOCAL_MACHINE, "Software\\tarnwell\\STASHWICK", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_NE(RegFile("HKLM.reg").find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwell\\Stashwick]"),
              std::string::npos)
        << "a key keeps the case it was created with";
}

TEST_F(Registry, EveryChangeIsWrittenAtOnceWithoutLeavingATemporaryFile) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Tarnwell");
    SetText(key, "Name", "value");
    EXPECT_NE(RegFile("HKCU.reg").find("\"Name\"=\"value\""), std::string::npos);
    EXPECT_TRUE(RegFile("HKCU.reg").starts_with("Windows Registry Editor Version 5.00"));
    for (const auto& entry : std::filesystem::directory_iterator(machine_->Folder() / "registry"))
        EXPECT_EQ(entry.path().extension(), ".reg") << entry.path();
}

TEST_F(Registry, QueryReportsSizesMissingValuesAndShortBuffers) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Q");
    SetText(key, "Long", "0123456789");
    DWORD size = 0, type = 0;
    EXPECT_EQ(machine_->RegQueryValueExA(key, "Long", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 11u);
    char small[4];
    size = sizeof small;
    EXPECT_EQ(machine_->RegQueryValueExA(key, "Long", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(small), &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 11u);
    size = sizeof small;
    EXPECT_EQ(machine_->RegQueryValueExA(key, "None", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(small), &size),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    WCHAR wide[4];
    size = sizeof wide;
    EXPECT_EQ(machine_->RegQueryValueExW(key, W("Long").c_str(), nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(wide), &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 22u) << "the wide form needs two bytes per unit";
}

TEST_F(Registry, WideQueryConvertsNarrowStoredTextToUtf16) {
    HKEY key = Create(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    SetText(key, "Mine", "C:\\Users\\Jürgen\\日本\\😀");
    WCHAR wide[261] = {};
    DWORD size = sizeof wide, type = 0;
    ASSERT_EQ(machine_->RegQueryValueExW(key, W("mine").c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(wide), &size),
              ERROR_SUCCESS);
    std::u16string expected = W("C:\\Users\\Jürgen\\日本\\😀");
    EXPECT_EQ(std::u16string(wide), expected);
    EXPECT_EQ(size, (expected.size() + 1) * 2);
    // The machine's own low-integrity folder value, read the same way.
    size = sizeof wide;
    ASSERT_EQ(machine_->RegQueryValueExW(key, W("{A520A1A4-1780-4FF6-BD18-167343C5AF16}").c_str(),
                                         nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(wide), W("C:\\Users\\User\\AppData\\LocalLow"));
}

TEST_F(Registry, OpenFindsExistingKeysOnly) {
    Create(HKEY_LOCAL_MACHINE, kAppKey);
    HKEY key = HKEY{99};
    EXPECT_EQ(machine_->RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwell\\Other", &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(key, NO_KEY);
    EXPECT_EQ(machine_->RegOpenKeyA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", &key),
              static_cast<LONG>(ERROR_BAD_PATHNAME));
    ASSERT_EQ(machine_->RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tarnwell", &key), ERROR_SUCCESS);
    HKEY child = NO_KEY;
    ASSERT_EQ(machine_->RegOpenKeyA(key, "Stashwick", &child), ERROR_SUCCESS);
    HKEY same = NO_KEY;
    EXPECT_EQ(machine_->RegOpenKeyA(child, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, child);
    EXPECT_EQ(machine_->RegOpenKeyA(HKEY_CURRENT_USER, nullptr, &same), ERROR_SUCCESS);
    EXPECT_EQ(same, HKEY_CURRENT_USER);
    EXPECT_EQ(machine_->RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(machine_->RegCloseKey(child), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(machine_->RegOpenKeyA(HKEY_DYN_DATA, "x", &same),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(machine_->RegCreateKeyExA(HKEY_PERFORMANCE_DATA, "x", 0, nullptr, 0, KEY_WRITE,
                                        nullptr, &same, nullptr),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
}

TEST_F(Registry, ClassesRootIsAViewOfMachineClasses) {
    HKEY key = Create(HKEY_CLASSES_ROOT, "CLSID\\{0}");
    SetText(key, "", "class");
    EXPECT_EQ(machine_->ReadValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0}", "")->Text(),
              "class");
    EXPECT_TRUE(machine_->KeyExists("HKEY_CLASSES_ROOT\\clsid\\{0}"));
}

struct DeleteCase {
    const char* name;
    HKEY root;
    const char* subKey;
    LONG result;
};

class RegistryDelete : public Registry, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(RegistryDelete, DeletesLeafKeysOnly) {
    const DeleteCase& c = GetParam();
    Create(HKEY_CURRENT_USER, "Software\\Tree\\Leaf");
    Create(HKEY_CURRENT_USER, "Software\\Pinned\\Below");
    Create(HKEY_CURRENT_USER, "Software\\Single");
    EXPECT_EQ(machine_->RegDeleteKeyA(c.root, c.subKey), c.result);
    std::string path = std::string("HKEY_CURRENT_USER\\") + c.subKey;
    if (c.result == ERROR_SUCCESS) {
        EXPECT_FALSE(machine_->KeyExists(path));
        Reopen();
        EXPECT_FALSE(machine_->KeyExists(path)) << "the deletion is kept in the .reg file";
    } else if (c.result != static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
        EXPECT_TRUE(machine_->KeyExists(path));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistryDelete,
    ::testing::Values(DeleteCase{"Leaf", HKEY_CURRENT_USER, "Software\\Tree\\LEAF", ERROR_SUCCESS},
                      DeleteCase{"Single", HKEY_CURRENT_USER, "software\\single", ERROR_SUCCESS},
                      DeleteCase{"Missing", HKEY_CURRENT_USER, "Software\\None",
                                 static_cast<LONG>(ERROR_FILE_NOT_FOUND)},
                      DeleteCase{"HasSubkeys", HKEY_CURRENT_USER, "Software\\Tree",
                                 static_cast<LONG>(ERROR_ACCESS_DENIED)},
                      DeleteCase{"Denied", HKEY_CURRENT_USER, "Software\\Pinned\\Below",
                                 static_cast<LONG>(ERROR_ACCESS_DENIED)},
                      DeleteCase{"Root", HKEY_CURRENT_USER, "",
                                 static_cast<LONG>(ERROR_ACCESS_DENIED)}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(Registry, DeniedKeysRefuseCreationAndWritingBelowThem) {
    HKEY key = NO_KEY;
    for (const char* subKey : {"SOFTWARE\\Policies", "SOFTWARE\\policies\\Tarnwell\\X"})
        EXPECT_EQ(machine_->RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_WRITE,
                                            nullptr, &key, nullptr),
                  static_cast<LONG>(ERROR_ACCESS_DENIED))
            << subKey;
    EXPECT_FALSE(machine_->KeyExists("HKLM\\SOFTWARE\\Policies"));
    machine_->PutKey("HKLM\\SOFTWARE\\Policies");
    ASSERT_EQ(machine_->RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies", &key), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "x", "y"), static_cast<LONG>(ERROR_ACCESS_DENIED));
}

TEST_F(Registry, KeysStopAt512LevelsAndNamesAt255Characters) {
    std::string path;
    for (int level = 1; level <= 512; ++level) path += level == 1 ? "K" : "\\K";
    machine_->PutKey("HKEY_CURRENT_USER\\" + path);
    HKEY key = NO_KEY;
    ASSERT_EQ(machine_->RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                        nullptr, &key, nullptr),
              ERROR_SUCCESS);
    HKEY deeper = NO_KEY;
    EXPECT_EQ(
        machine_->RegCreateKeyExA(key, "K", 0, nullptr, 0, KEY_WRITE, nullptr, &deeper, nullptr),
        static_cast<LONG>(ERROR_INVALID_PARAMETER));
    machine_->RegCloseKey(key);
    std::string longName(256, 'n');
    EXPECT_EQ(machine_->RegCreateKeyExA(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0,
                                        KEY_WRITE, nullptr, &deeper, nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    longName.pop_back();
    EXPECT_EQ(machine_->RegCreateKeyExA(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0,
                                        KEY_WRITE, nullptr, &deeper, nullptr),
              ERROR_SUCCESS);
}

TEST_F(Registry, KeyDeletedUnderAnOpenHandle) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Gone");
    ASSERT_EQ(machine_->RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Gone"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "x", "y"), 1018);
}

TEST_F(Registry, InjectedFaultsAreReturnedAsTheStatus) {
    machine_->Fault().FailCall(Op::RegCreateKeyExA, 1, false, ERROR_ACCESS_DENIED);
    machine_->Fault().FailCall(Op::RegSetValueExA, 1, false, ERROR_NOT_ENOUGH_MEMORY);
    HKEY key = NO_KEY;
    EXPECT_EQ(machine_->RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\F", 0, nullptr, 0, KEY_WRITE,
                                        nullptr, &key, nullptr),
              static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(machine_->KeyExists("HKCU\\Software\\F"));
    key = Create(HKEY_CURRENT_USER, "Software\\F");
    EXPECT_EQ(SetText(key, "x", "y"), static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_FALSE(machine_->ReadValue("HKCU\\Software\\F", "x"));
}

// ---- The .reg text ----------------------------------------------------------------------------

TEST(RegText, EveryValueTypeSurvivesExportAndImport) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n"
        "@=\"default\"\r\n"
        "\"Quote\"=\"a \\\"b\\\" C:\\\\dir\\\\\"\r\n"
        "\"Dword\"=dword:0000002a\r\n"
        "\"Bin\"=hex:00,ff,10\r\n"
        "\"Expand\"=hex(2):25,00,41,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,62,\\\r\n"
        "  00,00,00\r\n"
        "\"Lines\"=hex(1):61,0a,62,00\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n\r\n";
    RegistryStore store;
    EXPECT_EQ(store.Import(text), 0);
    const RegistryKey* key = store.Find(*ParseKeyPath("HKLM\\software\\t"));
    ASSERT_TRUE(key);
    EXPECT_EQ(key->Value("")->Text(), "default");
    EXPECT_EQ(key->Value("quote")->Text(), "a \"b\" C:\\dir\\");
    EXPECT_EQ(key->Value("Dword")->data, (std::vector<std::uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(key->Value("Bin")->type, REG_BINARY);
    EXPECT_EQ(key->Value("Multi")->type, REG_MULTI_SZ);
    EXPECT_EQ(key->Value("Multi")->data, (std::vector<std::uint8_t>{0x61, 0, 0x62, 0, 0, 0}));
    EXPECT_EQ(key->Value("Lines")->Text(), "a\nb");
    EXPECT_EQ(key->Value("Q")->type, REG_QWORD);

    RegistryStore again;
    EXPECT_EQ(again.Import(store.Export(RegistryRoot::LocalMachine)), 0);
    EXPECT_EQ(again.Export(RegistryRoot::LocalMachine), store.Export(RegistryRoot::LocalMachine));
}

TEST(RegText, UnreadableLinesAreCountedAndSkipped) {
    RegistryStore store;
    EXPECT_EQ(
        store.Import("Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\X]\n\"a\"=\"b\"\n"
                     "[HKEY_USERS\\Y]\n\"n\"=dword:zz\n\"unterminated=\"x\"\n\"ok\"=\"fine\"\n"),
        4);
    EXPECT_EQ(store.Find(*ParseKeyPath("HKEY_USERS\\Y"))->Value("ok")->Text(), "fine");
}

}  // namespace
}  // namespace swk::sim::test
