// The installation records the install sequence writes once the product files
// are in place, and the self-registration of the product's two COM modules:
//
//   1. WriteUninstallEntry()                      uninstall entry, three values
//   2. CreateProductShortcuts()                   desktop, programs menu, start-up
//   3. WriteAppPathsEntry(specialBuild, fileVersion)   App Paths record, five values
//   4. for each of ProductComponents, in order:
//        RegisterComponent(ProgramFolder + fileName) != 0  -> show its errorText
//
// The install sequence owns the order, COM initialisation, the wait cursor and
// the messages; the groups here only do the work and report plain results,
// which the sequence may ignore (every group runs whatever the one before it
// returned).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// ---- Names --------------------------------------------------------------------------
inline constexpr std::string_view kProductName = "Stashwick";
inline constexpr std::string_view kProgramFileName = "swk.exe";
inline constexpr std::string_view kUninstallerFileName = "Uninstall.exe";
inline constexpr std::string_view kUninstallKeyText =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stashwick";
inline constexpr std::string_view kAppPathsKeyText =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\swk.exe";
inline constexpr std::string_view kShortcutDescription = "Stashwick";
inline constexpr std::string_view kStartupShortcutDescription = "Stashwick setup";
inline constexpr std::string_view kStartupShortcutArguments = "/Restart";

// ---- Component self-registration ----------------------------------------------------
inline constexpr std::string_view kRegisterServerEntryPoint = "DllRegisterServer";

// Results of RegisterComponent.
inline constexpr int kComponentRegistered = 0;          // the entry point reported success
inline constexpr int kComponentNotLoaded = 1;           // the module could not be loaded
inline constexpr int kComponentNoEntryPoint = 2;        // no "DllRegisterServer" export
inline constexpr int kComponentRegistrationFailed = 3;  // it returned a negative HRESULT

// The product's modules in the order they register, each with the message the
// install sequence shows when its registration result is not 0.
struct ProductComponent {
    std::string_view fileName;  // in the program folder
    std::string_view errorText;
};
inline constexpr std::array<ProductComponent, 2> ProductComponents = {{
    {"swk.ocx", "Error: Registering swk.ocx"},
    {"swk.dll",
     "Error: Registering swk.dll\r\n\r\nClose all Internet Explorer programs before running setup"},
}};

// ---- Operations, in the order the install sequence uses them ------------------------
// Writes DisplayName, DisplayIcon and UninstallString of the uninstall entry.
// Returns the number of values that could not be written.
int WriteUninstallEntry();

// Makes the three shortcuts to the program (desktop, programs menu, and the
// start-up folder with "/Restart"). Returns the number that failed; a failure
// does not stop the next one.
int CreateProductShortcuts();

// Writes the App Paths record of the program: its default value, ProgramData,
// FileVersion, Path and SpecialBuild. Returns the number of values that could
// not be written.
int WriteAppPathsEntry(std::string_view specialBuild, std::string_view fileVersion);

// Writes a shell link file at `linkPath` to `target` with `description`, and
// `arguments` when they are not empty. Returns the HRESULT of saving the link,
// or the failing HRESULT of creating the link object or reaching its file
// interface (nothing is written then).
HRESULT CreateShortcut(const std::string& target, const std::string& linkPath,
                       const std::string& description, const std::string& arguments);

// Loads the module and runs its "DllRegisterServer". Returns one of the
// kComponent... results above.
int RegisterComponent(const std::string& modulePath);

}  // namespace swk
