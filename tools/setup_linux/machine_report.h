// What a run of the setup did to a simulated machine: the machine's files,
// registry and journal before and after, compared, and printed as the files
// written (sizes and times), files removed, registry values written, keys
// removed, shortcuts, programs started and the backup of saved pages.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/simulated_machine.h"

namespace swk::setup_linux {

struct MachineState {
    std::map<std::string, sim::FileState> files;  // by upper-cased Windows path
    // Registry: key path → value name ("@" for the default value) → data as .reg text.
    std::map<std::string, std::map<std::string, std::string>> registry;
    std::vector<std::string> journal;
};

MachineState CaptureState(const sim::SimulatedMachine& machine);

// Parses .reg export text into keys and values.
std::map<std::string, std::map<std::string, std::string>> ParseRegText(const std::string& text);

// FILETIME ticks as "YYYY-MM-DD HH:MM:SS.fffffff UTC".
std::string FileTimeText(std::uint64_t ticks);

void PrintChanges(const sim::SimulatedMachine& machine, const MachineState& before,
                  const MachineState& after, std::ostream& out);

}  // namespace swk::setup_linux
