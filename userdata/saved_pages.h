// Preservation of the user's saved pages before a new installation unpacks
// fresh data files: the old data files are deleted and the saved-pages store
// (swk.bin in UserDataFolder) is moved to a time-stamped backup in the
// user's documents folder. No backup is ever overwritten.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// ---- Names --------------------------------------------------------------------------
inline constexpr const char* kSavedPagesStore = "swk.bin";
// strftime notation of the backup name, from the local time.
inline constexpr const char* kBackupNameFormat = "Pages_%Y_%m_%d %H_%M_%S.swk";
inline constexpr std::string_view kBackupExtension = ".swk";
// When a backup of the same name exists, " (2)", " (3)", ... go before the
// extension, up to this number.
inline constexpr int kMaxBackupNameNumber = 999;
// kQuietFileOperation | FOF_MULTIDESTFILES: each source has its own target file.
inline constexpr FILEOP_FLAGS kMoveFlags = 0x2615;

// ---- Operations ---------------------------------------------------------------------
// Deletes the old data files and moves the saved-pages store to a backup. Every
// step runs whatever the steps before it reported; nothing is shown.
void PreserveSavedPages();

// The backup name for local time `time`: "Pages_2014_09_04 14_05_09.swk".
std::string BackupName(const SYSTEMTIME& time);
// The first of "<name>", "<stem> (2).swk", ... that does not exist in `folder`;
// empty text when every candidate up to kMaxBackupNameNumber exists.
std::string FreeBackupName(std::string_view folder, std::string_view name);

// Deletes one file for good (no recycle bin): 0 when the shell reports it done.
int ShellDeleteFile(std::string_view path);
// Moves sources[k] to targets[k]: 0 when the shell reports every move done.
// Needs at least as many targets as sources.
int ShellMoveFiles(std::span<const std::string> sources, std::span<const std::string> targets);

}  // namespace swk
