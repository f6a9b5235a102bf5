#include "tests/registration/machine_fixture.h"

#include <cstdlib>
#include <string>

#include "paths/known_folders.h"
#include "registration/registry_table.h"

namespace swk::test {

sim::RegistryValue StringValue(std::string_view text) {
    sim::RegistryValue value;
    value.type = REG_SZ;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return value;
}

sim::RegistryValue DwordValue(std::uint32_t number) {
    sim::RegistryValue value;
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) {
        value.data.push_back(static_cast<std::uint8_t>(number >> shift));
    }
    return value;
}

std::string Show(const std::optional<sim::RegistryValue>& value) {
    if (!value) return "<missing>";
    std::string text = "type " + std::to_string(value->type) + " bytes";
    for (std::uint8_t byte : value->data) text += " " + std::to_string(byte);
    if (value->type == REG_SZ) text += " \"" + value->Text() + "\"";
    return text;
}

void MachineTest::SetUp() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "swk-registration-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    machine_ = sim::SimulatedMachine::Create(folder_, sim::MachineProfile{});
    ASSERT_NE(machine_, nullptr);
    services_ = std::make_unique<ScopedSystemServices>(*machine_);

    ResetRegistryEntryTable();
    ResetKnownFolders();
    KnownFolderTable& folders = KnownFolders();
    folders.ProgramFolder = kProgramFolder;
    folders.SharedDataFolder = kSharedDataFolder;
    folders.CommonDesktopFolder = kDesktopFolder;
    folders.CommonProgramsMenuFolder = kProgramsMenuFolder;
    folders.CommonStartupFolder = kStartupFolder;
}

void MachineTest::TearDown() {
    services_.reset();
    machine_.reset();
    ResetRegistryEntryTable();
    ResetKnownFolders();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string MachineTest::Value(std::string_view keyPath, std::string_view valueName) const {
    return Show(machine_->ReadValue(keyPath, valueName));
}

}  // namespace swk::test
