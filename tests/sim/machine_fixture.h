// A fresh simulated machine in a temporary folder per test, and small helpers
// for the UTF-16 arguments of the wide calls.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_text.h"
#include "platform/sim/simulated_machine.h"

namespace swk::sim::test {

inline std::u16string W(std::string_view text) {
    return DecodeUtf8(text);
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

inline std::filesystem::path MakeTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "swk-sim-XXXXXX").string();
    return mkdtemp(pattern.data());
}

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder();
        machine_ = SimulatedMachine::Create(folder_ / "machine", ProfileForTest());
    }
    void TearDown() override {
        if (HasFailure() && machine_) std::cerr << machine_->Describe();
        machine_.reset();
        std::filesystem::remove_all(folder_);
    }
    virtual MachineProfile ProfileForTest() { return MachineProfile{}; }

    // Reopens the machine from its folder, as a later process would see it.
    void Reopen() {
        machine_.reset();
        machine_ = SimulatedMachine::Open(folder_ / "machine");
    }

    HANDLE Open(std::string_view path, DWORD access, DWORD share, DWORD creation) {
        return machine_->CreateFileW(W(path).c_str(), access, share, nullptr, creation,
                                     FILE_ATTRIBUTE_NORMAL, NO_HANDLE);
    }

    std::filesystem::path folder_;
    std::unique_ptr<SimulatedMachine> machine_;
};

}  // namespace swk::sim::test
