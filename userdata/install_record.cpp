#include "userdata/install_record.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "paths/known_folders.h"
#include "paths/path_checks.h"
#include "platform/system_services.h"

namespace swk {
namespace {

// GetModuleFileNameA's buffer, in bytes.
constexpr DWORD kModulePathBufferBytes = 260;

// Bytes of `data` up to the first zero byte, at most `size`.
std::string TextUpToZero(const char* data, std::size_t size) {
    return std::string(data, std::find(data, data + size, '\0'));
}

}  // namespace

std::string ReadAppPathValue(std::string_view exeName, std::string_view valueName) {
    const std::string exe(exeName);
    std::array<const char*, kAppPathsKeyLevels.size() + 1> levels{};
    std::copy(kAppPathsKeyLevels.begin(), kAppPathsKeyLevels.end(), levels.begin());
    levels.back() = exe.c_str();

    // Open HKLM\SOFTWARE\...\App Paths\<exe> one level at a time, each only
    // when the one above it opened.
    std::array<HKEY, levels.size()> opened{};
    std::size_t openCount = 0;
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (const char* level : levels) {
        HKEY key = NO_KEY;
        if (Sys().RegOpenKeyA(parent, level, &key) != ERROR_SUCCESS) break;
        opened[openCount++] = key;
        parent = key;
    }

    std::string result;
    if (openCount == levels.size()) {
        std::array<char, kAppPathValueBufferBytes> buffer{};
        DWORD size = static_cast<DWORD>(buffer.size());
        const std::string name(valueName);
        if (Sys().RegQueryValueExA(parent, name.c_str(), nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer.data()),
                                   &size) == ERROR_SUCCESS) {
            result = TextUpToZero(buffer.data(), std::min<std::size_t>(size, buffer.size()));
        }
    }

    // Close the keys, the innermost first.
    while (openCount > 0) Sys().RegCloseKey(opened[--openCount]);
    return result;
}

void ReadPreviousInstallPath() {
    KnownFolders().PreviousInstallPath = ReadAppPathValue(kMainProgramName, kAppPathValue);
}

std::string ReadOwnVersionString(std::string_view key) {
    std::array<char, kModulePathBufferBytes + 1> modulePath{};
    Sys().GetModuleFileNameA(NO_MODULE, modulePath.data(), kModulePathBufferBytes);

    DWORD handle = 0;
    const DWORD size = Sys().GetFileVersionInfoSizeA(modulePath.data(), &handle);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    Sys().GetFileVersionInfoA(modulePath.data(), handle, size, block.data());

    const std::string subBlock = kVersionStringTable + std::string(key);
    void* value = nullptr;
    UINT length = 0;
    Sys().VerQueryValueA(block.data(), subBlock.c_str(), &value, &length);
    if (value == nullptr) return {};

    // Read no further than the version block when the value lies inside it,
    // else no further than the length the query reported.
    const auto* text = static_cast<const char*>(value);
    const auto* blockBegin = reinterpret_cast<const char*>(block.data());
    const auto* blockEnd = blockBegin + block.size();
    const bool insideBlock =
        !std::less<const char*>{}(text, blockBegin) && std::less<const char*>{}(text, blockEnd);
    const std::size_t limit = insideBlock ? static_cast<std::size_t>(blockEnd - text) : length;
    return TrimWhiteSpace(TextUpToZero(text, limit));
}

}  // namespace swk
