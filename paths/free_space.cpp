#include "paths/free_space.h"

#include <cstdio>

#include "platform/system_services.h"

namespace swk {
namespace {

constexpr std::size_t kDriveRootLength = 3;  // letter, colon, backslash
constexpr unsigned kBytesToMegabytesShift = 20;
constexpr std::uint32_t kGigabyteThresholdMegabytes = 10240;
constexpr std::uint32_t kMegabytesPerGigabyte = 1024;

}  // namespace

std::uint32_t FreeSpaceMegabytes(std::string_view path) {
    const std::string root{path.substr(0, kDriveRootLength)};
    ULARGE_INTEGER freeToCaller{};
    ULARGE_INTEGER totalBytes{};
    ULARGE_INTEGER totalFree{};
    if (!Sys().GetDiskFreeSpaceExA(root.c_str(), &freeToCaller, &totalBytes, &totalFree)) return 0;
    // Shift the 64-bit byte count before narrowing, so drives above 4 GiB come out right.
    return static_cast<std::uint32_t>(freeToCaller.QuadPart >> kBytesToMegabytesShift);
}

std::string FreeSpaceText(std::string_view path) {
    const std::uint32_t megabytes = FreeSpaceMegabytes(path);
    if (megabytes == 0) return {};
    char text[64];
    if (megabytes < kGigabyteThresholdMegabytes) {
        std::snprintf(text, sizeof text, "%uMB free disk space", megabytes);
    } else {
        std::snprintf(text, sizeof text, "%u GB free disk space",
                      megabytes / kMegabytesPerGigabyte);
    }
    return text;
}

}  // namespace swk
