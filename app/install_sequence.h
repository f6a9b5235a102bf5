// The first page's OK action and the install sequence it runs.
//
// RunInstallAttempt: refuses while a product program runs, derives
// ProgramFolder from the path field, makes sure of the three target folders,
// runs the sequence, then starts swkh.exe, refreshes the browser add-on's
// registration and switches the wizard to its install-result page.
//
// RunInstallSequence: preserves the old saved pages, unpacks the eleven
// product files, seeds the user's data, records the installation and lets the
// two components register themselves. True when the payload was extracted.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace swk::app {

class SetupDialog;

// ---- Names and numbers ----------------------------------------------------------------
// The named semaphore whose existence means a product program is running.
inline constexpr const char* kProductSemaphoreName = "5E8D1F07-C2A4-4b9e-A3D6-7F10B82C94E5";
inline constexpr std::string_view kProductSubfolder = "\\Stashwick\\";
inline constexpr std::string_view kTemporaryFileName = "prog.tmp";
inline constexpr int kPayloadResourceId = 129;
// 2013-11-14 13:05:31.953125 UTC, given to an old cmptree.exe before extraction.
inline constexpr FILETIME kCmptreeTime{0x32F40EF2u, 0x01CEE13Au};

// Where container entry k goes: a folder of KnownFolders and a file name.
enum class TargetFolder { Program, SharedData };
struct TargetFile {
    TargetFolder folder;
    std::string_view name;
};
inline constexpr std::array<TargetFile, 11> kTargetFiles{{
    {TargetFolder::Program, "swk.exe"},
    {TargetFolder::Program, "swkh.exe"},
    {TargetFolder::Program, "Uninstall.exe"},
    {TargetFolder::Program, "swk.dll"},
    {TargetFolder::Program, "swk.ocx"},
    {TargetFolder::SharedData, "help.bin"},
    {TargetFolder::SharedData, "swk.bin"},
    {TargetFolder::SharedData, "samples1.swk"},
    {TargetFolder::SharedData, "samples2.swk"},
    {TargetFolder::SharedData, "samples3.swk"},
    {TargetFolder::Program, "cmptree.exe"},
}};

// ---- Texts ------------------------------------------------------------------------------
inline constexpr std::string_view kProductRunningMessage =
    "SWK program or a program hosting SWK add-on is running\r\nCannot setup SWK program while a "
    "hosting program of a previous installation of SWK is running\r\n\r\nIf the hosting program "
    "is invisible or cannot be closed, please wait or try to setup again after shutting down and "
    "restarting Windows";
inline constexpr std::string_view kInstalledText =
    "The program has been successfully installed\r\n\r\nA shortcut (named Stashwick) can be found "
    "on Windows Desktop and in \"Programs\" of Windows \"Start\".";
inline constexpr std::string_view kNotProperlyInstalledText =
    "The program is not properly installed";

// ---- Operations, in the order they run -------------------------------------------------
void RunInstallAttempt(SetupDialog& dialog);
bool RunInstallSequence(SetupDialog& dialog);

// The eleven full target paths, in container order, from the current KnownFolders.
std::vector<std::string> InstallTargets();

}  // namespace swk::app
