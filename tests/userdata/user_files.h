// A machine with the known folders resolved and the files an earlier
// installation and its user leave behind.
#pragma once

#include <map>
#include <string>

#include "paths/known_folders.h"
#include "tests/paths/test_machine.h"

namespace swk::testing {

// Windows path -> content of every file on the machine.
inline std::map<std::string, std::string> AllFiles(TestMachine& machine) {
    std::map<std::string, std::string> files;
    for (const sim::FileState& file : machine->ListFiles())
        files[file.windowsPath] = machine.Read(file.windowsPath);
    return files;
}

// Puts the data files, samples and the user's saved pages of an earlier
// installation, plus files of the user's own that nothing may touch.
inline void PutEarlierInstallation(TestMachine& machine) {
    const KnownFolderTable& f = KnownFolders();
    for (const char* name : {"swk.aws", "default.aws", "help.bin"})
        machine.Put(f.UserDataFolder + name, std::string("old user ") + name);
    machine.Put(f.UserDataFolder + "swk.bin", "the user's saved pages");
    for (const char* name : {"help.bin", "swk.bin", "samples1.swk", "samples2.swk", "samples3.swk"})
        machine.Put(f.SharedDataFolder + name, std::string("old shared ") + name);
    for (const char* name : {"samples1.swk", "samples2.swk", "samples3.swk"})
        machine.Put(f.DocumentsFolder + name, std::string("old document ") + name);
    machine.Put(f.ProgramFolder + "cmptree.exe", "old cmptree");
    machine.Put(f.ProgramFolder + "swk.exe", "old program");
    machine.Put(f.DocumentsFolder + "my notes.swk", "the user's own file");
    machine.Put(f.UserDataFolder + "settings.dat", "the user's settings");
}

}  // namespace swk::testing
