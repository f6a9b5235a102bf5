// Free disk space on the drive of a path, in whole MiB, and its wording.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace swk {

// GetDiskFreeSpaceExA of the path's first three characters (its drive root);
// the bytes free to the caller shifted right by 20; 0 when the system cannot tell.
std::uint32_t FreeSpaceMegabytes(std::string_view path);

// "" for 0 MiB, "%dMB free disk space" below 10240 MiB, else "%d GB free disk space"
// with the MiB count divided by 1024.
std::string FreeSpaceText(std::string_view path);

}  // namespace swk
