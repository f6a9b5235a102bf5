#include "registration/install_records.h"

#include "paths/known_folders.h"
#include "paths/path_checks.h"
#include "paths/text.h"
#include "platform/system_services.h"
#include "registration/registry_text.h"

namespace swk {
namespace {

struct RegistryTextValue {
    std::string text;
    std::string data;
};

template <std::size_t N>
int WriteValues(const std::array<RegistryTextValue, N>& values) {
    int failures = 0;
    for (const RegistryTextValue& value : values) {
        if (WriteRegistryText(value.text, value.data) != 1) ++failures;
    }
    return failures;
}

}  // namespace

int WriteUninstallEntry() {
    const std::string key(kUninstallKeyText);
    const std::string uninstaller =
        KnownFolders().ProgramFolder + std::string(kUninstallerFileName);
    const std::array<RegistryTextValue, 3> values = {{
        {key + "\\DisplayName", std::string(kProductName)},
        {key + "\\DisplayIcon", uninstaller},
        {key + "\\UninstallString", uninstaller},
    }};
    return WriteValues(values);
}

int CreateProductShortcuts() {
    const auto& folders = KnownFolders();
    const std::string program = folders.ProgramFolder + std::string(kProgramFileName);
    const std::string linkName = std::string(kProductName) + ".lnk";
    const std::string description(kShortcutDescription);
    const HRESULT results[] = {
        CreateShortcut(program, folders.CommonDesktopFolder + linkName, description, ""),
        CreateShortcut(program, folders.CommonProgramsMenuFolder + linkName, description, ""),
        CreateShortcut(program, folders.CommonStartupFolder + linkName,
                       std::string(kStartupShortcutDescription),
                       std::string(kStartupShortcutArguments)),
    };
    int failures = 0;
    for (HRESULT result : results) {
        if (FAILED(result)) ++failures;
    }
    return failures;
}

int WriteAppPathsEntry(std::string_view specialBuild, std::string_view fileVersion) {
    const auto& folders = KnownFolders();
    const std::string key(kAppPathsKeyText);
    const std::array<RegistryTextValue, 5> values = {{
        {key + "\\", folders.ProgramFolder + std::string(kProgramFileName)},  // default value
        {key + "\\ProgramData", StripTrailingBackslash(folders.SharedDataFolder)},
        {key + "\\FileVersion", std::string(fileVersion)},
        {key + "\\Path", StripTrailingBackslash(folders.ProgramFolder)},
        {key + "\\SpecialBuild", std::string(specialBuild)},
    }};
    return WriteValues(values);
}

HRESULT CreateShortcut(const std::string& target, const std::string& linkPath,
                       const std::string& description, const std::string& arguments) {
    void* object = nullptr;
    const HRESULT created = Sys().CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                   IID_IShellLinkA, &object);
    if (FAILED(created) || object == nullptr) return FAILED(created) ? created : E_NOINTERFACE;
    auto* link = static_cast<IShellLinkA*>(object);

    // The results of these three calls are not examined; no working folder,
    // icon, hot key or show command is set, so the shell's defaults apply.
    if (!arguments.empty()) link->SetArguments(arguments.c_str());
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());

    void* fileObject = nullptr;
    const HRESULT queried = link->QueryInterface(IID_IPersistFile, &fileObject);
    if (FAILED(queried) || fileObject == nullptr) {
        link->Release();
        return FAILED(queried) ? queried : E_NOINTERFACE;
    }
    auto* file = static_cast<IPersistFile*>(fileObject);

    WideText widePath = Utf8ToUtf16(linkPath);
    const HRESULT saved = file->Save(widePath.get() != nullptr ? widePath.get() : u"", TRUE);
    file->Release();
    widePath = WideText();  // frees the wide path
    link->Release();
    return saved;
}

int RegisterComponent(const std::string& modulePath) {
    const HMODULE module = Sys().LoadLibraryA(modulePath.c_str());
    if (module == NO_MODULE) return kComponentNotLoaded;

    const std::string entryName(kRegisterServerEntryPoint);
    const FARPROC entryPoint = Sys().GetProcAddress(module, entryName.c_str());
    if (entryPoint == NO_PROC) {
        Sys().CoFreeLibrary(module);
        return kComponentNoEntryPoint;
    }

    const HRESULT result = Sys().CallDllRegisterServer(entryPoint);
    Sys().CoFreeLibrary(module);
    return FAILED(result) ? kComponentRegistrationFailed : kComponentRegistered;
}

}  // namespace swk
