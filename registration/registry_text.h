// WriteRegistryText: writes one REG_SZ value addressed by a single text of the
// form root name, keys and value name, separated by backslashes:
//
//   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\DisplayName"   value DisplayName
//   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\"              default value of Product
//   "HKEY_CURRENT_USER"                                          default value of the root
//
// Missing keys along the path are created one level at a time; every key the
// writer opens is closed before it returns.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// The deepest key path a text may address, in keys below the root (the
// registry's own limit). Deeper texts are refused before anything is written,
// which also bounds the writer's recursion.
inline constexpr std::size_t kMaxRegistryTextLevels = 512;

// The root names a text may start with, in the order they are compared
// (exactly, case-sensitively), each with its predefined root key.
struct RootKeyName {
    std::string_view name;
    HKEY root;
};
inline constexpr std::array<RootKeyName, 7> RootKeyNames = {{
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
}};

// Writes `data` as REG_SZ (its bytes and a terminating zero) to the value that
// `text` addresses. Returns 1 on success; 0 for an unknown root name, a path
// deeper than kMaxRegistryTextLevels, a key that can be neither opened nor
// created, or a failed value write (keys created before the failure stay). `parent` is the key that
// `text` is relative to; callers leave it out and start with a root name.
int WriteRegistryText(std::string text, const std::string& data, HKEY parent = NO_KEY);

}  // namespace swk
