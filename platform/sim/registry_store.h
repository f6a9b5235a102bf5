// The simulated registry: a tree of keys per root, names compared without case
// and kept with the case they were created with, and the .reg text that the
// machine keeps on disk ("Windows Registry Editor Version 5.00", UTF-8):
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Key]      a key (every key is written)
//   @="text"                               the default value, REG_SZ
//   "Name"="C:\\Path \"quoted\""           REG_SZ, with \\ and \" escapes
//   "Count"=dword:0000002a                 REG_DWORD
//   "Data"=hex:01,02                       REG_BINARY
//   "Other"=hex(2):41,00                   any other type N: the stored bytes
//
// String data is stored as the bytes the narrow calls wrote (UTF-8 and a zero);
// text that a quoted string cannot carry is written as hex(1).
// HKEY_CLASSES_ROOT is not a root of its own: its paths address
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/simulated_machine.h"

namespace swk::sim {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxKeyNameLength = 255;

enum class RegistryRoot { LocalMachine, CurrentUser, Users, CurrentConfig };
inline constexpr std::array<RegistryRoot, 4> kAllRoots = {
    RegistryRoot::LocalMachine, RegistryRoot::CurrentUser, RegistryRoot::Users,
    RegistryRoot::CurrentConfig};

std::string_view RootName(RegistryRoot root);      // "HKEY_LOCAL_MACHINE"
std::string_view RootFileName(RegistryRoot root);  // "HKLM.reg"

// A key path split into its root and its components.
struct KeyAddress {
    RegistryRoot root = RegistryRoot::LocalMachine;
    std::vector<std::string> components;
    std::string Text() const;  // "HKEY_LOCAL_MACHINE\SOFTWARE\Key"
};
// "HKEY_CURRENT_USER\Software\X" (or HKCU\...; HKEY_CLASSES_ROOT maps into HKLM).
std::optional<KeyAddress> ParseKeyPath(std::string_view path);
// Subkey text "A\B\C": nothing when it starts with a backslash or is too deep.
std::optional<std::vector<std::string>> SplitSubKey(std::string_view subKey);

struct RegistryKey {
    std::string name;
    std::map<std::string, std::unique_ptr<RegistryKey>> subkeys;  // by folded name
    struct NamedValue {
        std::string name;
        RegistryValue value;
    };
    std::map<std::string, NamedValue> values;  // by folded name

    RegistryKey* Child(std::string_view childName) const;
    const RegistryValue* Value(std::string_view valueName) const;
};

class RegistryStore {
public:
    RegistryKey* Find(const KeyAddress& address);
    const RegistryKey* Find(const KeyAddress& address) const;
    // Creates every missing level; `created` tells whether the last one was new.
    RegistryKey* Create(const KeyAddress& address, bool* created = nullptr);
    // Removes the key and everything below it; false when it does not exist.
    bool Remove(const KeyAddress& address);

    std::string Export(RegistryRoot root) const;
    // Adds the keys and values of .reg text; returns the count of lines it could not read.
    int Import(std::string_view text);

private:
    RegistryKey& Root(RegistryRoot root);
    const RegistryKey& Root(RegistryRoot root) const;
    std::array<RegistryKey, kAllRoots.size()> roots_;
};

}  // namespace swk::sim
