// Our IShellLinkA and IPersistFile (platform/win_types.h) around the shell's
// real link object. Each adapter owns one reference to the real interface and
// deletes itself on its last Release.
#pragma once

#include "platform/win32/windows_api.h"

namespace swk::win32 {

// Creates the shell's link object and wraps it; E_OUTOFMEMORY or the system's
// result on failure, with *object left null.
HRESULT CreateShellLink(::IUnknown* outer, DWORD context, void** object);

}  // namespace swk::win32
