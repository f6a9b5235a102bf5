#include "platform/sim/wow64_registry.h"

#include <cstddef>
#include <string>
#include <vector>

#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

// A key whose view a 32-bit caller gets, and what its subkeys inherit unless
// a deeper row says otherwise. Keys below no row are shared.
struct ViewRule {
    RegistryRoot root;
    std::string_view path;
    bool redirected;
};

constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;

// Windows 7 and later.
constexpr ViewRule kViewRules[] = {
    {kMachine, "SOFTWARE", true},
    {kMachine, "SOFTWARE\\Classes", false},
    {kMachine, "SOFTWARE\\Classes\\Appid", false},
    {kMachine, "SOFTWARE\\Classes\\CLSID", true},
    {kMachine, "SOFTWARE\\Classes\\DirectShow", true},
    {kMachine, "SOFTWARE\\Classes\\HCP", false},
    {kMachine, "SOFTWARE\\Classes\\Interface", true},
    {kMachine, "SOFTWARE\\Classes\\Media Type", true},
    {kMachine, "SOFTWARE\\Classes\\MediaFoundation", true},
    {kMachine, "SOFTWARE\\Clients", false},
    {kMachine, "SOFTWARE\\Microsoft\\COM3", false},
    {kMachine, "SOFTWARE\\Microsoft\\Cryptography\\Calais\\Current", false},
    {kMachine, "SOFTWARE\\Microsoft\\Cryptography\\Calais\\Readers", false},
    {kMachine, "SOFTWARE\\Microsoft\\Cryptography\\Services", false},
    {kMachine, "SOFTWARE\\Microsoft\\CTF\\SystemShared", false},
    {kMachine, "SOFTWARE\\Microsoft\\CTF\\TIP", false},
    {kMachine, "SOFTWARE\\Microsoft\\DFS", false},
    {kMachine, "SOFTWARE\\Microsoft\\Driver Signing", false},
    {kMachine, "SOFTWARE\\Microsoft\\EnterpriseCertificates", false},
    {kMachine, "SOFTWARE\\Microsoft\\EventSystem", false},
    {kMachine, "SOFTWARE\\Microsoft\\MSMQ", false},
    {kMachine, "SOFTWARE\\Microsoft\\Non-Driver Signing", false},
    {kMachine, "SOFTWARE\\Microsoft\\Notepad\\DefaultFonts", false},
    {kMachine, "SOFTWARE\\Microsoft\\OLE", false},
    {kMachine, "SOFTWARE\\Microsoft\\RAS", false},
    {kMachine, "SOFTWARE\\Microsoft\\RPC", false},
    {kMachine, "SOFTWARE\\Microsoft\\SOFTWARE\\Microsoft\\Shared Tools\\MSInfo", false},
    {kMachine, "SOFTWARE\\Microsoft\\SystemCertificates", false},
    {kMachine, "SOFTWARE\\Microsoft\\TermServLicensing", false},
    {kMachine, "SOFTWARE\\Microsoft\\TransactionServer", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
     false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Group Policy", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Console", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontDpi", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontMapper", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
     false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Language Pack", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", false},
    {kMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones", false},
    {kMachine, "SOFTWARE\\Policies", false},
    {kMachine, "SOFTWARE\\RegisteredApplications", false},
    {kUser, "SOFTWARE\\Classes\\CLSID", true},
    {kUser, "SOFTWARE\\Classes\\DirectShow", true},
    {kUser, "SOFTWARE\\Classes\\Interface", true},
    {kUser, "SOFTWARE\\Classes\\Media Type", true},
    {kUser, "SOFTWARE\\Classes\\MediaFoundation", true},
    {kUser, "SOFTWARE\\Classes\\Appid", false},
};

// The count of the rule's components when they begin `folded`, else 0.
std::size_t MatchedDepth(std::string_view rulePath, const std::vector<std::string>& folded) {
    std::size_t depth = 0, start = 0;
    while (start <= rulePath.size()) {
        std::size_t end = rulePath.find('\\', start);
        if (end == std::string_view::npos) end = rulePath.size();
        if (depth >= folded.size() ||
            FoldCase(rulePath.substr(start, end - start)) != folded[depth])
            return 0;
        ++depth;
        start = end + 1;
    }
    return depth;
}

// The deepest rule above or at the key decides; no rule: shared.
bool IsRedirected(const KeyAddress& address) {
    std::vector<std::string> folded;
    for (const auto& name : address.components) folded.push_back(FoldCase(name));
    std::size_t deepest = 0;
    bool redirected = false;
    for (const ViewRule& rule : kViewRules) {
        if (rule.root != address.root) continue;
        std::size_t depth = MatchedDepth(rule.path, folded);
        if (depth > deepest) deepest = depth, redirected = rule.redirected;
    }
    return redirected;
}

}  // namespace

KeyAddress Wow64StoredAddress(const KeyAddress& address) {
    if (!IsRedirected(address)) return address;
    // The 32-bit copy of SOFTWARE is SOFTWARE\Wow6432Node; that of a class key
    // is below Classes, as SOFTWARE\Wow6432Node\Classes links to
    // SOFTWARE\Classes\Wow6432Node.
    const auto& parts = address.components;
    std::size_t at = parts.size() > 1 && EqualNoCase(parts[1], "Classes") ? 2 : 1;
    // A caller that names the 32-bit copy itself is not sent further.
    if (at < parts.size() && EqualNoCase(parts[at], kWow64Node)) return address;
    KeyAddress stored = address;
    stored.components.insert(stored.components.begin() + static_cast<std::ptrdiff_t>(at),
                             std::string(kWow64Node));
    return stored;
}

}  // namespace swk::sim
