// Writing whole files and setting their last-write time. Paths are UTF-8 and
// converted to UTF-16 for each wide call; handles are INVALID_HANDLE_VALUE when
// there is none. These utilities never show messages.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// Write access, others may read; an existing file is emptied and reused, a
// missing one created. Used for every extracted target.
HANDLE CreateFileForWriting(std::string_view path);

// Write access, others may read; only an existing file is opened.
HANDLE OpenFileForWriting(std::string_view path);

// One WriteFile call for the whole buffer. True only when the call succeeds and
// reports every byte written: a short write is a failure.
bool WriteBuffer(HANDLE file, std::span<const std::uint8_t> bytes);

// Creates (or empties) the file with no sharing at all and writes the bytes.
// Used for the temporary compressed file.
bool WriteNewFile(std::string_view path, std::span<const std::uint8_t> bytes);

// CreateFileForWriting, WriteBuffer, then the last-write time (creation and
// last-access times untouched). True only when all three succeeded.
bool WriteFileWithTime(std::string_view path, std::span<const std::uint8_t> bytes,
                       FILETIME fileTime);

// Sets only the last-write time of an existing file; never creates the file and
// never touches its contents.
bool SetFileLastWriteTime(std::string_view path, FILETIME fileTime);

}  // namespace swk
