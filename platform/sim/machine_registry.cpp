// Registry operations of the simulated machine. Keys are addressed by root and
// path; a handle remembers the path the caller named, so a key deleted under an
// open handle reports ERROR_KEY_DELETED. With the wow64 profile flag every path
// goes through the 32-bit view (wow64_registry.h) when it is used.
// HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA have no keys: opening below them
// finds nothing and writing is refused.
#include <algorithm>
#include <cstring>

#include "platform/sim/machine_state.h"
#include "platform/sim/sim_text.h"
#include "platform/sim/wow64_registry.h"

namespace swk::sim {
namespace {

struct KeyTarget {
    LONG error = ERROR_SUCCESS;
    KeyAddress address;
    bool emptyRoot = false;  // HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA
};

KeyTarget Target(const std::map<std::uintptr_t, KeyAddress>& handles, HKEY key) {
    KeyTarget t;
    if (key == HKEY_CLASSES_ROOT)
        t.address = {RegistryRoot::LocalMachine, {"SOFTWARE", "Classes"}};
    else if (key == HKEY_CURRENT_USER)
        t.address = {RegistryRoot::CurrentUser, {}};
    else if (key == HKEY_LOCAL_MACHINE)
        t.address = {RegistryRoot::LocalMachine, {}};
    else if (key == HKEY_USERS)
        t.address = {RegistryRoot::Users, {}};
    else if (key == HKEY_CURRENT_CONFIG)
        t.address = {RegistryRoot::CurrentConfig, {}};
    else if (key == HKEY_PERFORMANCE_DATA || key == HKEY_DYN_DATA)
        t.emptyRoot = true;
    else if (auto it = handles.find(static_cast<std::uintptr_t>(key)); it != handles.end())
        t.address = it->second;
    else
        t.error = static_cast<LONG>(ERROR_INVALID_HANDLE);
    return t;
}

bool IsPredefined(HKEY key) {
    return (static_cast<std::uintptr_t>(key) & 0x80000000u) != 0;
}

// The address of a subkey below a key, as the caller names it. Handles keep
// these names; where the key is kept is decided at each use (Stored).
KeyAddress Below(const KeyAddress& parent, const std::vector<std::string>& parts) {
    KeyAddress address = parent;
    address.components.insert(address.components.end(), parts.begin(), parts.end());
    return address;
}

// Where the machine keeps a key the caller names: on 64-bit Windows the 32-bit
// setup sees parts of the registry through its 32-bit view.
KeyAddress Stored(const SimulatedMachine::State& s, const KeyAddress& address) {
    return s.profile.wow64 ? Wow64StoredAddress(address) : address;
}

// Calls `visit` with the stored address of every level from the one below
// `parent` down to `address`; stops at the first `false`. A 32-bit view may
// keep consecutive levels in different places (a shared key below a
// redirected one), so each level is looked up on its own; that way one call
// with a whole path finds exactly what a walk one level at a time finds.
template <typename Visit>
bool EachLevel(const SimulatedMachine::State& s, const KeyAddress& parent,
               const KeyAddress& address, Visit visit) {
    if (!s.profile.wow64) return visit(address);
    KeyAddress level = parent;
    for (std::size_t i = parent.components.size(); i < address.components.size(); ++i) {
        level.components.push_back(address.components[i]);
        if (!visit(Wow64StoredAddress(level))) return false;
    }
    return true;
}

// The key at `address` below `parent`, when every level on the way exists.
RegistryKey* FindBelow(SimulatedMachine::State& s, const KeyAddress& parent,
                       const KeyAddress& address) {
    RegistryKey* found = nullptr;
    EachLevel(s, parent, address, [&](const KeyAddress& stored) {
        found = s.registry.Find(stored);
        return found != nullptr;
    });
    return found;
}

// A listed key denies the key itself and every key below it.
bool IsListed(const std::set<std::string>& list, const KeyAddress& address) {
    std::string text = FoldCase(address.Text());
    for (const auto& entry : list) {
        auto listed = ParseKeyPath(entry);
        if (!listed) continue;
        std::string prefix = FoldCase(listed->Text());
        if (text == prefix || text.starts_with(prefix + "\\")) return true;
    }
    return false;
}

LONG CopyData(DWORD valueType, const std::vector<std::uint8_t>& bytes, DWORD* type, BYTE* data,
              DWORD* size) {
    if (type) *type = valueType;
    if (!data) {
        if (size) *size = static_cast<DWORD>(bytes.size());
        return ERROR_SUCCESS;
    }
    if (!size) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    if (*size < bytes.size()) {
        *size = static_cast<DWORD>(bytes.size());
        return static_cast<LONG>(ERROR_MORE_DATA);
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<DWORD>(bytes.size());
    return ERROR_SUCCESS;
}

LONG AsStatus(DWORD error) {
    return static_cast<LONG>(error);
}

}  // namespace

LONG SimulatedMachine::RegOpenKeyA(HKEY parent, const char* subKey, HKEY* result) {
    State& s = *state_;
    if (auto error = s.Injected(Op::RegOpenKeyA)) return AsStatus(*error);
    if (!result) return AsStatus(ERROR_INVALID_PARAMETER);
    *result = NO_KEY;
    KeyTarget t = Target(s.keys, parent);
    if (t.error) return t.error;
    if (!subKey || !*subKey) {  // the parent itself, the same handle
        *result = parent;
        return ERROR_SUCCESS;
    }
    auto parts = SplitSubKey(subKey);
    if (!parts) return AsStatus(ERROR_BAD_PATHNAME);
    if (t.emptyRoot) return AsStatus(ERROR_FILE_NOT_FOUND);
    if (!s.registry.Find(Stored(s, t.address))) return AsStatus(kErrorKeyDeleted);
    KeyAddress address = Below(t.address, *parts);
    if (!FindBelow(s, t.address, address)) return AsStatus(ERROR_FILE_NOT_FOUND);
    s.keys[s.nextKey] = address;
    *result = HKEY{s.nextKey};
    s.nextKey += 4;
    return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegCreateKeyExA(HKEY parent, const char* subKey, DWORD, char*, DWORD, REGSAM,
                                       void*, HKEY* result, DWORD* disposition) {
    State& s = *state_;
    if (auto error = s.Injected(Op::RegCreateKeyExA)) return AsStatus(*error);
    if (!result || !subKey) return AsStatus(ERROR_INVALID_PARAMETER);
    *result = NO_KEY;
    KeyTarget t = Target(s.keys, parent);
    if (t.error) return t.error;
    if (t.emptyRoot) return AsStatus(ERROR_ACCESS_DENIED);
    auto parts = SplitSubKey(subKey);
    if (!parts) return AsStatus(ERROR_BAD_PATHNAME);
    if (!s.registry.Find(Stored(s, t.address))) return AsStatus(kErrorKeyDeleted);
    KeyAddress address = Below(t.address, *parts);
    // The registry holds 512 levels of keys with names of up to 255 characters.
    if (address.components.size() > kMaxKeyDepth ||
        std::ranges::any_of(
            *parts, [](const std::string& name) { return name.size() > kMaxKeyNameLength; }))
        return AsStatus(ERROR_INVALID_PARAMETER);
    if (!EachLevel(s, t.address, address, [&](const KeyAddress& stored) {
            return !IsListed(s.profile.registryKeysDenyCreate, stored);
        }))
        return AsStatus(ERROR_ACCESS_DENIED);
    bool created = false, anyCreated = false;
    EachLevel(s, t.address, address, [&](const KeyAddress& stored) {
        s.registry.Create(stored, &created);
        anyCreated = anyCreated || created;
        return true;
    });
    if (anyCreated) s.SaveRegistry(address.root);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    s.keys[s.nextKey] = address;
    *result = HKEY{s.nextKey};
    s.nextKey += 4;
    return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type,
                                        BYTE* data, DWORD* dataSize) {
    State& s = *state_;
    if (auto error = s.Injected(Op::RegQueryValueExA)) return AsStatus(*error);
    KeyTarget t = Target(s.keys, key);
    if (t.error) return t.error;
    if (t.emptyRoot) return AsStatus(ERROR_FILE_NOT_FOUND);
    const RegistryKey* found = s.registry.Find(Stored(s, t.address));
    if (!found) return AsStatus(kErrorKeyDeleted);
    const RegistryValue* value = found->Value(valueName ? valueName : "");
    if (!value) return AsStatus(ERROR_FILE_NOT_FOUND);
    return CopyData(value->type, value->data, type, data, dataSize);
}

LONG SimulatedMachine::RegQueryValueExW(HKEY key, const WCHAR* valueName, DWORD*, DWORD* type,
                                        BYTE* data, DWORD* dataSize) {
    State& s = *state_;
    if (auto error = s.Injected(Op::RegQueryValueExW)) return AsStatus(*error);
    KeyTarget t = Target(s.keys, key);
    if (t.error) return t.error;
    if (t.emptyRoot) return AsStatus(ERROR_FILE_NOT_FOUND);
    const RegistryKey* found = s.registry.Find(Stored(s, t.address));
    if (!found) return AsStatus(kErrorKeyDeleted);
    const RegistryValue* value = found->Value(WideToUtf8(valueName));
    if (!value) return AsStatus(ERROR_FILE_NOT_FOUND);
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ && value->type != REG_MULTI_SZ)
        return CopyData(value->type, value->data, type, data, dataSize);
    // Text stored by the narrow calls is handed to the wide caller as UTF-16.
    std::u16string wide = DecodeUtf8(
        std::string_view(reinterpret_cast<const char*>(value->data.data()), value->data.size()));
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : wide) {
        bytes.push_back(static_cast<std::uint8_t>(unit));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return CopyData(value->type, bytes, type, data, dataSize);
}

LONG SimulatedMachine::RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type,
                                      const BYTE* data, DWORD dataSize) {
    State& s = *state_;
    if (auto error = s.Injected(Op::RegSetValueExA)) return AsStatus(*error);
    KeyTarget t = Target(s.keys, key);
    if (t.error) return t.error;
    if (t.emptyRoot) return AsStatus(ERROR_ACCESS_DENIED);
    if (!data && dataSize) return AsStatus(ERROR_INVALID_PARAMETER);
    const KeyAddress stored = Stored(s, t.address);
    RegistryKey* found = s.registry.Find(stored);
    if (!found) return AsStatus(kErrorKeyDeleted);
    if (IsListed(s.profile.registryKeysDenyCreate, stored)) return AsStatus(ERROR_ACCESS_DENIED);
    std::string name = valueName ? valueName : "";
    RegistryValue value{type, {}};
    if (dataSize) value.data.assign(data, data + dataSize);
    found->values[FoldCase(name)] = {name, std::move(value)};
    s.SaveRegistry(t.address.root);
    return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegDeleteKeyA(HKEY parent, const char* subKey) {
    State& s = *state_;
    if (auto error = s.Injected(Op::RegDeleteKeyA)) return AsStatus(*error);
    KeyTarget t = Target(s.keys, parent);
    if (t.error) return t.error;
    if (!subKey) return AsStatus(ERROR_INVALID_PARAMETER);
    if (t.emptyRoot || (IsPredefined(parent) && !*subKey)) return AsStatus(ERROR_ACCESS_DENIED);
    auto parts = SplitSubKey(subKey);
    if (!parts) return AsStatus(ERROR_BAD_PATHNAME);
    const KeyAddress address = Below(t.address, *parts);
    const RegistryKey* found = FindBelow(s, t.address, address);
    if (!found) return AsStatus(ERROR_FILE_NOT_FOUND);
    const KeyAddress stored = Stored(s, address);
    // A key with subkeys cannot be deleted in one call.
    if (!found->subkeys.empty() || IsListed(s.profile.registryKeysDenyDelete, stored))
        return AsStatus(ERROR_ACCESS_DENIED);
    s.registry.Remove(stored);
    s.SaveRegistry(stored.root);
    return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegCloseKey(HKEY key) {
    if (IsPredefined(key)) return ERROR_SUCCESS;
    return state_->keys.erase(static_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS
                                                                : AsStatus(ERROR_INVALID_HANDLE);
}

}  // namespace swk::sim
