// A fresh simulated machine per test, installed as the process's system
// services, with an empty registry entry table and the known folders of a
// typical installation. Registry helpers read values back from the machine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/simulated_machine.h"
#include "platform/system_services.h"

namespace swk::test {

inline constexpr std::string_view kProgramFolder = "C:\\Apps\\Stashwick\\";
inline constexpr std::string_view kSharedDataFolder = "C:\\ProgramData\\Tarnwell\\Stashwick\\";
inline constexpr std::string_view kDesktopFolder = "C:\\Users\\Public\\Desktop\\";
inline constexpr std::string_view kProgramsMenuFolder =
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\";
inline constexpr std::string_view kStartupFolder =
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";

// The bytes a REG_SZ value of `text` holds, and a REG_DWORD of `value`.
sim::RegistryValue StringValue(std::string_view text);
sim::RegistryValue DwordValue(std::uint32_t value);
// "REG_SZ \"...\"", "REG_DWORD 7", "<missing>": for comparisons that explain themselves.
std::string Show(const std::optional<sim::RegistryValue>& value);

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sim::SimulatedMachine& Machine() { return *machine_; }
    sim::MachineProfile& Profile() { return machine_->Profile(); }
    // The value as Show() prints it, so that EXPECT_EQ(Value(...), Show(StringValue(...)))
    // compares type and bytes and prints both readably.
    std::string Value(std::string_view keyPath, std::string_view valueName) const;
    // The whole machine, for failure messages.
    std::string Describe() const { return machine_->Describe(); }

private:
    std::filesystem::path folder_;
    std::unique_ptr<sim::SimulatedMachine> machine_;
    std::unique_ptr<ScopedSystemServices> services_;
};

}  // namespace swk::test
