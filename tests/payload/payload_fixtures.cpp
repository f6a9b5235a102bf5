#include "tests/payload/payload_fixtures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

namespace swk::test {

void MachineTest::SetUp() {
    static std::atomic<int> counter{0};
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
        if (c == '/') c = '_';
    folder_ =
        std::filesystem::temp_directory_path() / ("swk-payload-" + std::to_string(::getpid()) +
                                                  "-" + std::to_string(counter++) + "-" + name);
    ResetMachine();
}

void MachineTest::ResetMachine() {
    CloseMachine();
    machine_ = sim::SimulatedMachine::Create(folder_, sim::MachineProfile{});
    services_ = std::make_unique<ScopedSystemServices>(*machine_);
    messageService_ = std::make_unique<ScopedMessageBoxService>(messages_);
    messages_.shown.clear();
}

void MachineTest::CloseMachine() {
    messageService_.reset();
    services_.reset();
    machine_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void MachineTest::TearDown() {
    CloseMachine();
}

}  // namespace swk::test
