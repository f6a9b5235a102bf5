// A simulated machine in a fresh temporary folder, installed as the process's
// SystemServices for the life of the object, with an empty KnownFolders table.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paths/known_folders.h"
#include "platform/sim/simulated_machine.h"
#include "platform/system_services.h"

namespace swk::testing {

class TestMachine {
public:
    explicit TestMachine(const sim::MachineProfile& profile = sim::MachineProfile{})
        : folder_(MakeTempFolder()),
          machine_(sim::SimulatedMachine::Create(folder_, profile)),
          services_(*machine_) {
        ResetKnownFolders();
    }
    ~TestMachine() {
        ResetKnownFolders();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    sim::SimulatedMachine& operator*() { return *machine_; }
    sim::SimulatedMachine* operator->() { return machine_.get(); }

    void Put(std::string_view windowsPath, std::string_view text) {
        machine_->PutFile(windowsPath, Bytes(text));
    }
    // The file's content as text; "<missing>" when there is no such file.
    std::string Read(std::string_view windowsPath) const {
        const auto bytes = machine_->ReadFileBytes(windowsPath);
        if (!bytes) return "<missing>";
        return std::string(bytes->begin(), bytes->end());
    }

    static std::vector<std::uint8_t> Bytes(std::string_view text) {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }

private:
    static std::filesystem::path MakeTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "swk-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }

    std::filesystem::path folder_;
    std::unique_ptr<sim::SimulatedMachine> machine_;
    ScopedSystemServices services_;
};

// "C:\" followed by folders of accented letters (two bytes, one UTF-16 unit each)
// and one character outside the BMP (four bytes, two units), exactly `units`
// UTF-16 units long. Each folder name stays well below the host's name limit.
inline std::string PathOfUnits(std::size_t units) {
    std::string path = "C:\\\xF0\x9D\x84\x9E";  // "C:\" + U+1D11E: 5 units
    std::size_t length = 5;
    std::size_t inName = 2;
    while (length < units) {
        if (inName >= 60 && units - length >= 2) {
            path += "\\";
            inName = 0;
        } else {
            path += "\xC3\xA9";  // é
            ++inName;
        }
        ++length;
    }
    return path;
}

}  // namespace swk::testing
