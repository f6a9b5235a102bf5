#include "registration/registry_text.h"

#include <algorithm>
#include <utility>

#include "paths/path_checks.h"
#include "platform/system_services.h"

namespace swk {
namespace {

HKEY FindRootKey(std::string_view name) {
    for (const RootKeyName& entry : RootKeyNames) {
        if (entry.name == name) return entry.root;
    }
    return NO_KEY;
}

// Opens `name` below `parent`, creating it when it does not exist. NO_KEY when
// it can be neither opened nor created.
HKEY OpenOrCreateKey(HKEY parent, const std::string& name) {
    HKEY key = NO_KEY;
    const LONG opened = Sys().RegOpenKeyA(parent, name.c_str(), &key);
    if (opened == ERROR_SUCCESS) return key;
    if (opened != static_cast<LONG>(ERROR_FILE_NOT_FOUND) &&
        opened != static_cast<LONG>(ERROR_PATH_NOT_FOUND)) {
        return NO_KEY;
    }
    key = NO_KEY;
    DWORD disposition = 0;
    if (Sys().RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        return NO_KEY;
    }
    return key;
}

int SetStringValue(HKEY key, const std::string& valueName, const std::string& data) {
    const auto* bytes = reinterpret_cast<const BYTE*>(data.c_str());
    const LONG result = Sys().RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, bytes,
                                             static_cast<DWORD>(data.size() + 1));
    return result == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace

int WriteRegistryText(std::string text, const std::string& data, HKEY parent) {
    const bool endsWithSeparator = !text.empty() && text.back() == '\\';
    std::string head = SplitFirstComponent(text, '\\');

    if (parent == NO_KEY) {
        const HKEY root = FindRootKey(head);
        if (root == NO_KEY) return 0;
        const auto levels = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\\'));
        if (levels > kMaxRegistryTextLevels) return 0;
        return WriteRegistryText(std::move(text), data, root);
    }

    if (text.empty() && !endsWithSeparator) {
        return SetStringValue(parent, head, data);  // head names the value
    }

    const HKEY key = OpenOrCreateKey(parent, head);
    if (key == NO_KEY) return 0;
    const int result = WriteRegistryText(std::move(text), data, key);
    Sys().RegCloseKey(key);
    return result;
}

}  // namespace swk
