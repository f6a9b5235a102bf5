// Seeding of the installing user's data: copies of the sample files go into the
// user's documents, and the data and help files into the user's data folder
// unless the user has them already (a user's own swk.bin is never replaced).
#pragma once

#include <string_view>

namespace swk {

// Copies the five files from SharedDataFolder; every failure is passed over.
void SeedUserData();

// Copies one file to a folder or to a full file path, replacing a file of the
// same name and creating a missing target folder, without asking or showing
// anything. Returns the shell's result (0 = done).
int CopyWithShell(std::string_view source, std::string_view target);

}  // namespace swk
