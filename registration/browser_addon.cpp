#include "registration/browser_addon.h"

#include <cstdio>

#include "paths/known_folders.h"
#include "registration/registry_table.h"

namespace swk {
namespace {

constexpr DWORD kShowInPageMenu = 1;  // "Contexts": the browser's page context menu

std::string ExtensionKey(const GUID& buttonId) {
    return std::string(kExtensionsKey) + GuidToText(buttonId);
}

std::string MenuKey(std::string_view entryName) {
    return std::string(kAddOnMenuKey) + std::string(entryName);
}

}  // namespace

std::string GuidToText(const GUID& id) {
    char text[39] = {};
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(id.Data1), static_cast<unsigned>(id.Data2),
                  static_cast<unsigned>(id.Data3), id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

int RemoveAddOnMenuEntries() {
    int next = 0;
    for (std::string_view entryName : kAddOnMenuEntries) {
        AddRegistryKey(next, HKEY_CURRENT_USER, MenuKey(entryName));
    }
    AddRegistryKey(next, NO_KEY, "");
    return DeleteRegistryKeys();
}

int RegisterBrowserAddOn(const GUID& classId, std::string_view displayName) {
    const std::string& programFolder = KnownFolders().ProgramFolder;
    const std::string classText = GuidToText(classId);
    const std::string classKey = "CLSID\\" + classText;
    const std::string serverKey = classKey + "\\InprocServer32";
    const std::string dll = programFolder + "swk.dll";
    const std::string ocx = programFolder + "swk.ocx";
    const std::string savePage = ExtensionKey(SavePageButtonId);
    const std::string pane = ExtensionKey(PaneButtonId);
    const std::string run = ExtensionKey(RunButtonId);
    const std::string passPageMenu = MenuKey("Pass Page");
    const std::string savePageMenu = MenuKey("Save Page");
    const std::string scriptClass(kScriptOrExecButtonClass);
    const HKEY classes = HKEY_CLASSES_ROOT;
    const HKEY machine = HKEY_LOCAL_MACHINE;
    const HKEY user = HKEY_CURRENT_USER;

    int next = 0;
    // The add-on component: an in-process server in swk.dll.
    AddRegistryValue(next, classes, classKey, "", std::string(displayName), 0);
    AddRegistryValue(next, classes, serverKey, "", dll, 0);
    AddRegistryValue(next, classes, serverKey, "ThreadingModel", "Apartment", 0);
    // "Save Page" button: runs a script page of swk.ocx. The program folder
    // already ends in a backslash, so this module path holds two in a row.
    AddRegistryValue(next, machine, savePage, "CLSID", scriptClass, 0);
    AddRegistryValue(next, machine, savePage, "ButtonText", "Save Page", 0);
    AddRegistryValue(next, machine, savePage, "HotIcon", dll + ",199", 0);
    AddRegistryValue(next, machine, savePage, "Icon", dll + ",199", 0);
    AddRegistryValue(next, machine, savePage, "Default Visible", "Yes", 0);
    AddRegistryValue(next, machine, savePage, "Script", "res://" + programFolder + "\\swk.ocx/205",
                     0);
    // "SWK Pane" button: shows the add-on component as an explorer bar.
    AddRegistryValue(next, machine, pane, "CLSID", std::string(kExplorerBarButtonClass), 0);
    AddRegistryValue(next, machine, pane, "ButtonText", "SWK Pane", 0);
    AddRegistryValue(next, machine, pane, "HotIcon", dll + ",314", 0);
    AddRegistryValue(next, machine, pane, "Icon", dll + ",314", 0);
    AddRegistryValue(next, machine, pane, "Default Visible", "Yes", 0);
    AddRegistryValue(next, machine, pane, "BandCLSID", classText, 0);
    // "Run SWK" button: starts the program.
    AddRegistryValue(next, machine, run, "CLSID", scriptClass, 0);
    AddRegistryValue(next, machine, run, "ButtonText", "Run SWK", 0);
    AddRegistryValue(next, machine, run, "HotIcon", dll + ",316", 0);
    AddRegistryValue(next, machine, run, "Icon", dll + ",316", 0);
    AddRegistryValue(next, machine, run, "Default Visible", "Yes", 0);
    AddRegistryValue(next, machine, run, "Exec", programFolder + "swk.exe", 0);
    // Context-menu entries of the current user; an empty text makes "Contexts" a DWORD.
    AddRegistryValue(next, user, passPageMenu, "", "res://" + ocx + "/204", 0);
    AddRegistryValue(next, user, passPageMenu, "Contexts", "", kShowInPageMenu);
    AddRegistryValue(next, user, savePageMenu, "", "res://" + ocx + "/203", 0);
    AddRegistryValue(next, user, savePageMenu, "Contexts", "", kShowInPageMenu);
    AddRegistryValue(next, NO_KEY, "", "", "", 0);
    return WriteRegistryEntries();
}

int RegisterProductAddOn() {
    return RegisterBrowserAddOn(AddOnComponentClassId, kAddOnDisplayName);
}

}  // namespace swk
