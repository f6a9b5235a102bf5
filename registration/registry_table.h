// The process-wide registry entry table: a list of registry rows that a caller
// fills from row 0 and ends with an end row (root NO_KEY), then hands to one of
// two passes. The write pass creates each row's key and writes its value; the
// delete pass removes each row's key. One list is filled and passed at a time.
//
//   int next = 0;
//   AddRegistryValue(next, HKEY_CLASSES_ROOT, "CLSID\\{...}", "", "Name", 0);
//   ...
//   AddRegistryValue(next, NO_KEY, "", "", "", 0);   // end row
//   WriteRegistryEntries();
//
// The table stores no row count: the end row closes the list, and rows behind
// it (left from an earlier, longer list) are never looked at.
//
// Overflow: the table has exactly kRegistryTableRows rows. An add operation on
// a full table refuses the row: it returns false and leaves `next` unchanged.
// A list that overflowed therefore has no end row inside the table, and both
// passes refuse such a list as a whole instead of running a truncated one: the
// write pass writes nothing and returns 0, the delete pass deletes nothing and
// counts every row as failed (returns kRegistryTableRows).
#pragma once

#include <array>
#include <string>

#include "platform/win_types.h"

namespace swk {

inline constexpr int kRegistryTableRows = 100;

// One row. An empty stringData means the value is a REG_DWORD of dwordData, so
// the table never writes an empty REG_SZ text.
struct RegistryEntry {
    HKEY root = NO_KEY;      // NO_KEY marks the end row
    std::string keyPath;     // below root, components separated by a backslash
    std::string valueName;   // empty: the key's default value
    std::string stringData;  // not empty: written as REG_SZ
    DWORD dwordData = 0;     // written as REG_DWORD when stringData is empty
};

using RegistryEntryRows = std::array<RegistryEntry, kRegistryTableRows>;

// The process-wide table, created empty on first use.
RegistryEntryRows& RegistryEntryTable();
// Empties every row again (for tests).
void ResetRegistryEntryTable();

// Sets all five fields of row `next` and increments `next`. Returns false, and
// changes nothing, when `next` is outside the table.
bool AddRegistryValue(int& next, HKEY root, std::string keyPath, std::string valueName,
                      std::string stringData, DWORD dwordData);
// Sets root and keyPath of row `next`, keeps its other fields, and increments
// `next`. Such rows are meant for the delete pass. Refuses like AddRegistryValue.
bool AddRegistryKey(int& next, HKEY root, std::string keyPath);

// The write pass: creates or opens each row's key (KEY_WRITE) and writes its
// value; value-write results are not examined. Returns 1 when every key was
// created or opened, 0 at the first key that failed (rows before it stay
// written, rows after it are not written) or when the list has no end row.
int WriteRegistryEntries();

// The delete pass: deletes each row's key (that key alone, not its subkeys).
// "Deleted" and "not found" both succeed; returns the count of other failures.
// Never stops early.
int DeleteRegistryKeys();

}  // namespace swk
