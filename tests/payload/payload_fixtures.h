// A fresh simulated machine per test, with a recording message service.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "platform/sim/simulated_machine.h"
#include "platform/system_services.h"
#include "tests/payload/container_bytes.h"

namespace swk::test {

class RecordingMessages final : public MessageBoxService {
public:
    MessageAnswer Show(std::string_view text, MessageButtons) override {
        shown.emplace_back(text);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> shown;
};

// A fresh simulated machine in its own temporary folder, installed as the system
// for the fixture's lifetime, with a recording message service.
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sim::SimulatedMachine& Machine() { return *machine_; }
    // Throws the machine away and starts again from the default profile.
    void ResetMachine();
    // The machine as text, for failure messages.
    std::string Describe() const { return machine_->Describe(); }

    RecordingMessages messages_;

private:
    void CloseMachine();

    std::filesystem::path folder_;
    std::unique_ptr<sim::SimulatedMachine> machine_;
    std::unique_ptr<ScopedSystemServices> services_;
    std::unique_ptr<ScopedMessageBoxService> messageService_;
};

}  // namespace swk::test
