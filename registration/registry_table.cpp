#include "registration/registry_table.h"

#include <optional>
#include <utility>

#include "platform/system_services.h"

namespace swk {
namespace {

bool IsInsideTable(int next) {
    return next >= 0 && next < kRegistryTableRows;
}

// Number of rows before the end row, or nothing when the list has no end row
// inside the table (it overflowed).
std::optional<int> ListLength(const RegistryEntryRows& rows) {
    for (int row = 0; row < kRegistryTableRows; ++row) {
        if (rows[row].root == NO_KEY) return row;
    }
    return std::nullopt;
}

LONG WriteValue(HKEY key, const RegistryEntry& entry) {
    if (!entry.stringData.empty()) {
        const auto* bytes = reinterpret_cast<const BYTE*>(entry.stringData.c_str());
        return Sys().RegSetValueExA(key, entry.valueName.c_str(), 0, REG_SZ, bytes,
                                    static_cast<DWORD>(entry.stringData.size() + 1));
    }
    const DWORD value = entry.dwordData;
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return Sys().RegSetValueExA(key, entry.valueName.c_str(), 0, REG_DWORD, bytes, 4);
}

}  // namespace

RegistryEntryRows& RegistryEntryTable() {
    static RegistryEntryRows rows;
    return rows;
}

void ResetRegistryEntryTable() {
    RegistryEntryTable().fill(RegistryEntry{});
}

bool AddRegistryValue(int& next, HKEY root, std::string keyPath, std::string valueName,
                      std::string stringData, DWORD dwordData) {
    if (!IsInsideTable(next)) return false;
    RegistryEntry& entry = RegistryEntryTable()[next];
    entry.root = root;
    entry.keyPath = std::move(keyPath);
    entry.valueName = std::move(valueName);
    entry.stringData = std::move(stringData);
    entry.dwordData = dwordData;
    ++next;
    return true;
}

bool AddRegistryKey(int& next, HKEY root, std::string keyPath) {
    if (!IsInsideTable(next)) return false;
    RegistryEntry& entry = RegistryEntryTable()[next];
    entry.root = root;
    entry.keyPath = std::move(keyPath);
    ++next;
    return true;
}

int WriteRegistryEntries() {
    const RegistryEntryRows& rows = RegistryEntryTable();
    const std::optional<int> length = ListLength(rows);
    if (!length) return 0;  // an overflowed list is never written in part
    for (int row = 0; row < *length; ++row) {
        const RegistryEntry& entry = rows[row];
        HKEY key = NO_KEY;
        DWORD disposition = 0;
        if (Sys().RegCreateKeyExA(entry.root, entry.keyPath.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                  &disposition) != ERROR_SUCCESS) {
            return 0;
        }
        WriteValue(key, entry);  // a failed value write passes silently
        Sys().RegCloseKey(key);
    }
    return 1;
}

int DeleteRegistryKeys() {
    const RegistryEntryRows& rows = RegistryEntryTable();
    const std::optional<int> length = ListLength(rows);
    if (!length) return kRegistryTableRows;  // an overflowed list is never deleted in part
    int failures = 0;
    for (int row = 0; row < *length; ++row) {
        const LONG result = Sys().RegDeleteKeyA(rows[row].root, rows[row].keyPath.c_str());
        if (result != ERROR_SUCCESS && result != static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
            ++failures;
        }
    }
    return failures;
}

}  // namespace swk
