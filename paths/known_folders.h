// The folders the setup writes to, resolved once from the system while the
// wizard opens. Entries are UTF-8 text; every folder entry that
// ResolveKnownFolders fills ends with a backslash, so a file path is an entry
// followed directly by a file name.
#pragma once

#include <string>
#include <string_view>

namespace swk {

// ---- Names --------------------------------------------------------------------------
// The maker level between a system folder and the product level.
inline constexpr std::string_view kMakerName = "Tarnwell";
// The current user's shell folder list and the value naming the low-integrity
// local application data folder.
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view kLowDataShellFolderValue =
    "{A520A1A4-1780-4FF6-BD18-167343C5AF16}";
// Buffer of the folder lookups, in UTF-16 units (the shell's MAX_PATH plus one).
inline constexpr std::size_t kFolderBufferUnits = 261;

// ---- The table ----------------------------------------------------------------------
struct KnownFolderTable {
    std::string SharedDataFolder;          // all-users application data + product suffix
    std::string DefaultProgramRoot;        // program files + product suffix
    std::string CommonProgramsMenuFolder;  // all-users programs menu + "\"
    std::string CommonDesktopFolder;       // all-users desktop + "\"
    std::string DocumentsFolder;           // the user's documents + "\"
    std::string CommonStartupFolder;       // all-users start-up folder + "\"
    std::string LocalDataFolder;           // local application data + product suffix
    std::string LowDataFolder;             // low-integrity data + suffix, else LocalDataFolder
    std::string UserDataFolder;            // equals LowDataFolder
    std::string ProgramFolder;             // set by the wizard and the install attempt
    std::string PreviousInstallPath;       // "Path" of an earlier installation's record
};

// The process-wide table, empty until ResolveKnownFolders fills it.
KnownFolderTable& KnownFolders();
// The process-wide setup path: the folder above the product folder.
std::string& SetupPath();
// Empties the table and the setup path (tests start from a fresh process state).
void ResetKnownFolders();

// ---- Operations, in the order the wizard uses them ------------------------------------
// The shell's path of special folder `csidl` (created when missing), without a
// trailing backslash as the system reports it; empty text when it has none.
std::string SpecialFolderPath(int csidl);

// The data of value `valueName` under the current user's "Shell Folders" key;
// empty text when the key or value is missing or the data does not fit 261 units.
std::string ReadShellFolderValue(std::string_view valueName);

// Fills every entry but ProgramFolder and PreviousInstallPath. The product
// suffix is "\" + kMakerName + "\" + productName + "\".
void ResolveKnownFolders(std::string_view productName);

}  // namespace swk
