// The record an installation leaves (the App Paths entry of the product's main
// program) and the setup's own version strings. Readers never fail outward: a
// missing key, value, version block or string gives empty text.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace swk {

// ---- Names --------------------------------------------------------------------------
// The App Paths entry of program P is HKLM\SOFTWARE\...\App Paths\P, opened one level at a time.
inline constexpr std::array<const char*, 5> kAppPathsKeyLevels = {
    "SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "App Paths"};
inline constexpr const char* kMainProgramName = "swk.exe";
inline constexpr const char* kAppPathValue = "Path";
// Registry values are read into a buffer of this many bytes; longer ones read as empty.
inline constexpr std::size_t kAppPathValueBufferBytes = 261;
// The string table of the setup's version block: English (United States), Unicode.
inline constexpr const char* kVersionStringTable = "\\StringFileInfo\\040904B0\\";
inline constexpr const char* kFileVersionKey = "FileVersion";
inline constexpr const char* kSpecialBuildKey = "SpecialBuild";

// ---- Operations ---------------------------------------------------------------------
// Value `valueName` ("" = the default value) of the App Paths entry of `exeName`,
// as text up to its first zero byte, whatever its registry type.
std::string ReadAppPathValue(std::string_view exeName, std::string_view valueName);

// Sets KnownFolders().PreviousInstallPath to the "Path" value of swk.exe's entry.
void ReadPreviousInstallPath();

// String `key` of the running setup's own version block, without white space at
// either end.
std::string ReadOwnVersionString(std::string_view key);

}  // namespace swk
