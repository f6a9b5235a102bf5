// The registry as a 32-bit program sees it on 64-bit Windows (Windows 7 and
// later). Most of HKLM\SOFTWARE has a separate 32-bit copy below
// HKLM\SOFTWARE\Wow6432Node; a list of keys is shared by both views; the COM
// class keys have their 32-bit copy below Classes\Wow6432Node:
//
//   the 32-bit caller names                          the key kept at
//   HKLM\SOFTWARE\Tarnwell                           HKLM\SOFTWARE\Wow6432Node\Tarnwell
//   HKLM\SOFTWARE\...\CurrentVersion\App Paths\x     the same (shared)
//   HKLM\SOFTWARE\Classes\.txt                       the same (shared)
//   HKLM\SOFTWARE\Classes\CLSID\{...}                HKLM\SOFTWARE\Classes\Wow6432Node\CLSID\{...}
//   HKCU\Software\...                                the same (shared)
//   HKCU\Software\Classes\CLSID\{...}                HKCU\Software\Classes\Wow6432Node\CLSID\{...}
//
// The mapping depends on the whole path only, so a walk one level at a time
// reaches the same keys as one call with the whole path. docs/wow64.md lists
// the keys and where the list comes from.
#pragma once

#include <string_view>

#include "platform/sim/registry_store.h"

namespace swk::sim {

inline constexpr std::string_view kWow64Node = "Wow6432Node";

// Where Windows keeps the key that a 32-bit caller names by `address`.
KeyAddress Wow64StoredAddress(const KeyAddress& address);

}  // namespace swk::sim
