// Registration of the product's browser add-on: the add-on component's COM
// class, three toolbar buttons and two context-menu entries, written through
// the registry entry table; and the cleanup of the add-on's old context-menu
// keys, which runs right before the registration.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// ---- Identifiers of the product ---------------------------------------------------
// The add-on component's class: the class key and the pane button's band class.
inline constexpr GUID AddOnComponentClassId = {
    0x6E3B17D6, 0x84C9, 0x4F05, {0xA1, 0xE6, 0x3D, 0x92, 0xB0, 0x7C, 0x5F, 0x18}};
// Key names of the three toolbar buttons.
inline constexpr GUID SavePageButtonId = {
    0x6E3B17D3, 0x84C9, 0x4F05, {0xA1, 0xE6, 0x3D, 0x92, 0xB0, 0x7C, 0x5F, 0x18}};
inline constexpr GUID PaneButtonId = {
    0x6E3B17D4, 0x84C9, 0x4F05, {0xA1, 0xE6, 0x3D, 0x92, 0xB0, 0x7C, 0x5F, 0x18}};
inline constexpr GUID RunButtonId = {
    0x6E3B17D5, 0x84C9, 0x4F05, {0xA1, 0xE6, 0x3D, 0x92, 0xB0, 0x7C, 0x5F, 0x18}};

inline constexpr std::string_view kAddOnDisplayName = "Tarnwell Stashwick";

// ---- Identifiers the browser defines ------------------------------------------------
// Toolbar button that runs a script ("Script") or a program ("Exec").
inline constexpr std::string_view kScriptOrExecButtonClass =
    "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
// Toolbar button that shows the explorer bar named by "BandCLSID".
inline constexpr std::string_view kExplorerBarButtonClass =
    "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";

// ---- Registry keys --------------------------------------------------------------------
// Toolbar buttons, below HKEY_LOCAL_MACHINE; followed by a button identifier.
inline constexpr std::string_view kExtensionsKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\";
// Context-menu entries, below HKEY_CURRENT_USER; followed by an entry name.
inline constexpr std::string_view kAddOnMenuKey =
    "Software\\Microsoft\\Internet Explorer\\MenuExt\\SWK: ";
// Every context-menu entry the add-on has had, removed by the cleanup; the
// registration writes the first two again.
inline constexpr std::string_view kAddOnMenuEntries[] = {
    "Pass Page", "Save Page", "Save Link", "Save Picture", "Mark Selection", "Cache Page",
};

// ---- Operations -------------------------------------------------------------------------
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters, upper-case digits.
std::string GuidToText(const GUID& id);

// Deletes the add-on's six context-menu keys of the current user. Returns the
// number of keys whose deletion failed for a reason other than "not found".
int RemoveAddOnMenuEntries();

// Writes the class, button and menu entries for the component `classId` with
// the display name `displayName`, the modules taken from the program folder.
// Returns 1 when every row was written, 0 when a key could not be created or
// opened (the rows before it stay written).
int RegisterBrowserAddOn(const GUID& classId, std::string_view displayName);

// RegisterBrowserAddOn for the product's own component and name.
int RegisterProductAddOn();

}  // namespace swk
