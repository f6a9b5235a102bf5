// swkmachine: creates a simulated Windows machine in a folder, or prints one.
//
//   swkmachine create DIR [key=value ...]   a new machine; settings as in profile.ini
//   swkmachine show DIR                      profile, files, registry and journal
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/sim/simulated_machine.h"

namespace {

constexpr int kUsageError = 2;

int Usage() {
    std::cerr << "usage: swkmachine create DIR [key=value ...]\n"
                 "       swkmachine show DIR\n"
                 "keys: see profile.ini of a created machine\n";
    return kUsageError;
}

bool HoldsMachine(const std::filesystem::path& folder) {
    return std::filesystem::exists(folder / "profile.ini");
}

int Create(const std::filesystem::path& folder, int argc, char** argv) {
    if (HoldsMachine(folder)) {
        std::cerr << "swkmachine: " << folder.string() << " already holds a machine\n";
        return 1;
    }
    swk::sim::MachineProfile profile;
    for (int i = 0; i < argc; ++i) {
        std::string_view setting = argv[i];
        std::size_t eq = setting.find('=');
        if (eq == std::string_view::npos ||
            !swk::sim::ApplyProfileSetting(profile, setting.substr(0, eq),
                                           setting.substr(eq + 1))) {
            std::cerr << "swkmachine: cannot apply setting \"" << setting << "\"\n";
            return kUsageError;
        }
    }
    auto machine = swk::sim::SimulatedMachine::Create(folder, profile);
    std::cout << "created " << machine->Folder().string() << "\n";
    return 0;
}

int Show(const std::filesystem::path& folder) {
    if (!HoldsMachine(folder)) {
        std::cerr << "swkmachine: " << folder.string() << " holds no machine\n";
        return 1;
    }
    std::cout << swk::sim::SimulatedMachine::Open(folder)->Describe();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string_view command = argv[1];
    std::filesystem::path folder = argv[2];
    if (command == "create") return Create(folder, argc - 3, argv + 3);
    if (command == "show" && argc == 3) return Show(folder);
    return Usage();
}
