// Registry operations of the simulated machine. Keys are addressed by root and
// path; a handle remembers the path, so a key deleted under an open handle
// reports ERROR_KEY_DELETED. HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA have no
// keys: opening below them finds nothing and writing is refused.
#include <algorithm>
#include <cstring>

#include "platform/sim/machine_state.h"
#include "platform/sim/sim_text.h"

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

// The address of a subkey below a key. A 32-bit program on 64-bit Windows would
// see parts of HKLM\SOFTWARE through the 32-bit view; that redirection goes here.
KeyAddress Below(const KeyAddress& parent, const std::vector<std::string>& parts) {
    KeyAddress address = parent;
    address.components.insert(address.components.end(), parts.begin(), parts.end());
    return address;
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
    if (!s.registry.Find(t.address)) return AsStatus(kErrorKeyDeleted);
    KeyAddress address = Below(t.address, *parts);
    if (!s.registry.Find(address)) return AsStatus(ERROR_FILE_NOT_FOUND);
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
    if (!s.registry.Find(t.address)) return AsStatus(kErrorKeyDeleted);
    KeyAddress address = Below(t.address, *parts);
    // The registry holds 512 levels of keys with names of up to 255 characters.
    if (address.components.size() > kMaxKeyDepth ||
        std::ranges::any_of(
            *parts, [](const std::string& name) { return name.size() > kMaxKeyNameLength; }))
        return AsStatus(ERROR_INVALID_PARAMETER);
    if (IsListed(s.profile.registryKeysDenyCreate, address)) return AsStatus(ERROR_ACCESS_DENIED);
    bool created = false;
    s.registry.Create(address, &created);
    if (created) s.SaveRegistry(address.root);
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
    const RegistryKey* found = s.registry.Find(t.address);
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
    const RegistryKey* found = s.registry.Find(t.address);
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
    RegistryKey* found = s.registry.Find(t.address);
    if (!found) return AsStatus(kErrorKeyDeleted);
    if (IsListed(s.profile.registryKeysDenyCreate, t.address)) return AsStatus(ERROR_ACCESS_DENIED);
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
    KeyAddress address = Below(t.address, *parts);
    const RegistryKey* found = s.registry.Find(address);
    if (!found) return AsStatus(ERROR_FILE_NOT_FOUND);
    // A key with subkeys cannot be deleted in one call.
    if (!found->subkeys.empty() || IsListed(s.profile.registryKeysDenyDelete, address))
        return AsStatus(ERROR_ACCESS_DENIED);
    s.registry.Remove(address);
    s.SaveRegistry(address.root);
    return ERROR_SUCCESS;
}

LONG SimulatedMachine::RegCloseKey(HKEY key) {
    if (IsPredefined(key)) return ERROR_SUCCESS;
    return state_->keys.erase(static_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS
                                                                : AsStatus(ERROR_INVALID_HANDLE);
}

}  // namespace swk::sim
