// stashwick-setup: the setup, run against a simulated Windows machine.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/install_sequence.h"
#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "app/terminal_host.h"
#include "platform/sim/simulated_machine.h"
#include "resources/sample_payload.h"
#include "tools/setup_linux/machine_report.h"

namespace {

using namespace swk;

// ---- Exit status ------------------------------------------------------------------
constexpr int kExitInstalled = 0;
constexpr int kExitCancelled = 1;
constexpr int kExitUsage = 2;  // bad arguments, or answer words that did not fit
constexpr int kExitRefused = 3;
constexpr int kExitFailed = 4;

constexpr const char* kHelp = R"(Usage: %s [--machine DIR] [--payload FILE] [--answers WORDS]

Runs the Stashwick setup against a simulated Windows machine and prints what it
did to the machine (files, registry values, shortcuts, programs started, the
backup of saved pages).

  --machine DIR    the machine's folder (default: ./machine); a missing folder is
                   created with the default machine profile
  --payload FILE   a payload container to carry instead of the built-in sample
  --answers WORDS  run without a person: comma-separated words, one each time the
                   setup waits for the user, in order
                     at a message box:  ok, yes, no
                     at the wizard:     ok      (the OK, Next or Run Program button)
                                        cancel  (Cancel or Close, Escape, the close box)
                                        restart (the Restart Windows button)
                   A word that does not fit the moment, running out of words, or
                   words left over at the end stop the run with exit status 2.
  --help           this text

Without --answers the wizard is drawn on the terminal and read from standard
input (keys are shown under the wizard; input may be piped in).

Exit status:
  0  installed (the install-result page was reached)
  1  cancelled before anything was installed
  2  bad arguments or answer words
  3  refused: a product program is running, the platform is not supported, or
     the question about a previous installation was not answered Yes
  4  the installation failed ("Error in installation")
)";

struct Options {
    std::string machine = "machine";
    std::optional<std::string> payload;
    std::optional<std::vector<std::string>> answers;
};

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    std::istringstream in(text);
    while (std::getline(in, word, ',')) {
        const auto first = word.find_first_not_of(" \t");
        const auto last = word.find_last_not_of(" \t");
        words.push_back(first == std::string::npos ? "" : word.substr(first, last - first + 1));
    }
    return words;
}

std::optional<Options> ParseArguments(int argc, char** argv, const std::string& name) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::printf(kHelp, name.c_str());
            std::exit(kExitInstalled);
        } else if (arg == "--machine" && hasValue) {
            options.machine = argv[++i];
        } else if (arg == "--payload" && hasValue) {
            options.payload = argv[++i];
        } else if (arg == "--answers" && hasValue) {
            options.answers = SplitWords(argv[++i]);
        } else {
            std::fprintf(stderr, "%s: unknown or incomplete argument \"%s\" (see --help)\n",
                         name.c_str(), arg.c_str());
            return std::nullopt;
        }
    }
    return options;
}

// Faults in the pages of a fresh buffer with one call rather than one page fault
// per page as it is first written; its contents stay as they are.
void FaultInPages(void* buffer, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (size == 0 || page == 0) return;
    const auto first = reinterpret_cast<std::uintptr_t>(buffer) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(buffer) + size;
    ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);  // best effort
#else
    (void)buffer;
    (void)size;
#endif
}

std::optional<std::vector<std::uint8_t>> ReadPayload(const Options& options) {
    if (!options.payload) {
        const auto sample = SamplePayload();
        return std::vector<std::uint8_t>(sample.begin(), sample.end());
    }
    // One read into a buffer of the file's size, rather than byte by byte into a
    // growing buffer.
    std::ifstream file(*options.payload, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : -1;
    if (size < 0 || !file.seekg(0)) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    FaultInPages(bytes.data(), bytes.capacity());
    bytes.resize(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
    return bytes;
}

bool Shown(const app::ModelDialogHost& host, std::string_view text, bool answeredYes = true) {
    for (const app::MessageRecord& message : host.Messages())
        if (message.text == text && (answeredYes || message.answer != MessageAnswer::Yes))
            return true;
    return false;
}

// What the run came to, read from what the user saw.
int Outcome(const app::ModelDialogHost& host) {
    if (const app::ControlState* ok = host.Find(app::kOkButton); ok && ok->text != "OK")
        return kExitInstalled;  // the install-result page was reached
    if (Shown(host, app::kPlatformMessage)) return kExitRefused;
    if (Shown(host, app::kPreviousInstallationQuestion, false)) return kExitRefused;
    for (auto it = host.Messages().rbegin(); it != host.Messages().rend(); ++it) {
        if (it->text == kErrorInInstallation) return kExitFailed;
        if (it->text == app::kProductRunningMessage) return kExitRefused;
    }
    return kExitCancelled;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = app::ApplicationName(argc > 0 ? argv[0] : "stashwick-setup");
    const std::optional<Options> options = ParseArguments(argc, argv, name);
    if (!options) return kExitUsage;

    std::optional<std::vector<std::uint8_t>> payload = ReadPayload(*options);
    if (!payload) {
        std::fprintf(stderr, "%s: cannot read the payload %s\n", name.c_str(),
                     options->payload->c_str());
        return kExitUsage;
    }
    std::unique_ptr<sim::SimulatedMachine> machine = sim::SimulatedMachine::Open(options->machine);
    if (!machine) {
        std::fprintf(stderr, "%s: cannot open the machine %s\n", name.c_str(),
                     options->machine.c_str());
        return kExitUsage;
    }
    std::map<int, std::vector<std::uint8_t>> resources;
    resources.emplace(app::kPayloadResourceId, std::move(*payload));  // handed over, not copied
    machine->SetOwnModule(
        "C:\\Users\\" + machine->Profile().userName + "\\Downloads\\" + name + ".exe",
        std::move(resources), {{"FileVersion", "4, 5, 0, 0"}, {"SpecialBuild", "0"}});

    const setup_linux::MachineState before = setup_linux::CaptureState(*machine);
    std::unique_ptr<app::TerminalHost> host =
        options->answers ? std::make_unique<app::TerminalHost>(name, *options->answers, std::cout)
                         : std::make_unique<app::TerminalHost>(name, std::cin, std::cout);
    {
        ScopedSystemServices services(*machine);
        app::SetupApp setup(*host);
        setup.InitInstance();
    }
    setup_linux::PrintChanges(*machine, before, setup_linux::CaptureState(*machine), std::cout);

    bool answersWrong = !host->Problems().empty();
    for (const std::string& problem : host->Problems())
        std::fprintf(stderr, "%s: stopped: %s\n", name.c_str(), problem.c_str());
    if (options->answers && !host->LeftoverWords().empty()) {
        std::string leftover;
        for (const std::string& word : host->LeftoverWords())
            leftover += (leftover.empty() ? "" : ",") + word;
        std::fprintf(stderr, "%s: answer words left over: %s\n", name.c_str(), leftover.c_str());
        answersWrong = true;
    }
    if (answersWrong) return kExitUsage;
    return Outcome(*host);
}
