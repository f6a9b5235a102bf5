// Safe DLL loading for a setup that runs with administrator rights from a
// folder anyone may write to (Downloads). A DLL named like a system one and
// dropped beside the setup must never be loaded.
//
// - The executable imports only KnownDLLs (kernel32, user32, gdi32, advapi32,
//   shell32, ole32, oleaut32), which the loader always takes from the system.
// - RestrictDllSearchToSystemFolder() runs first thing in the program: from then
//   on every DLL loaded by name, by us or by the system on our behalf (the shell
//   link object, the themed controls), comes from the system folder only.
// - Any other system DLL (version.dll) is loaded on first use through
//   LoadSystemLibrary, by its full path in the system folder.
//
// Windows Vista and Server 2008 (6.0) get the search restriction from an update
// that breaks the shell's link object when the restriction is on: creating a
// shortcut then fails. There the setup removes the current folder from the
// search (SetDllDirectoryW with empty text) and loads the system DLLs that the
// shell and the controls pull in by their full paths before anything asks for
// them, so that a later load by name finds them already in the process.
#pragma once

#include "platform/win32/windows_api.h"

namespace swk::win32 {

enum class DllSearchMode {
    SystemFolderOnly,     // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
    PreloadedFromSystem,  // Vista, or a system without SetDefaultDllDirectories
};

// Call before anything else in the program. Returns the mode that took effect.
DllSearchMode RestrictDllSearchToSystemFolder();

// The mode chosen by RestrictDllSearchToSystemFolder (SystemFolderOnly before it ran).
DllSearchMode CurrentDllSearchMode();

// Loads a system DLL such as L"version.dll" by its full path in the system folder.
::HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace swk::win32
