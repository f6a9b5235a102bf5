// profile.ini: reading, writing and the Windows 7 special folder defaults.
#include <cctype>
#include <sstream>

#include "platform/sim/sim_text.h"
#include "platform/sim/simulated_machine.h"

namespace swk::sim {
namespace {

// Special folders of program files beyond the ones the setup asks for.
constexpr int kCsidlProgramFilesX86 = 0x2a;
constexpr int kCsidlProgramFilesCommon = 0x2b;
constexpr int kCsidlProgramFilesCommonX86 = 0x2c;
constexpr const char* kProgramFiles = "C:\\Program Files";
constexpr const char* kProgramFilesX86 = "C:\\Program Files (x86)";

std::optional<bool> ParseFlag(std::string_view value) {
    std::string v = FoldCase(Trim(value));
    if (v == "1" || v == "TRUE" || v == "YES") return true;
    if (v == "0" || v == "FALSE" || v == "NO") return false;
    return std::nullopt;
}

template <typename Number>
bool SetNumber(Number& field, std::string_view value) {
    auto n = ParseInteger(value);
    if (!n) return false;
    field = static_cast<Number>(*n);
    return true;
}

// "C type=5 medium=0 free=100 fillsAfter=20": adds the drive or replaces the one
// with the same letter.
bool ApplyDrive(std::vector<DriveProfile>& drives, std::string_view value) {
    std::istringstream in{std::string(value)};
    std::string word;
    if (!(in >> word) || word.size() != 1 || !std::isalpha(static_cast<unsigned char>(word[0])))
        return false;
    DriveProfile drive;
    drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    while (in >> word) {
        std::size_t eq = word.find('=');
        if (eq == std::string::npos) return false;
        std::string key = word.substr(0, eq), v = word.substr(eq + 1);
        auto n = ParseInteger(v);
        if (!n || *n < 0) return false;
        if (key == "type")
            drive.type = static_cast<unsigned>(*n);
        else if (key == "medium")
            drive.mediumPresent = *n != 0;
        else if (key == "free")
            drive.freeBytes = static_cast<std::uint64_t>(*n);
        else if (key == "fillsAfter")
            drive.fillsAfterBytes = static_cast<std::uint64_t>(*n);
        else
            return false;
    }
    std::erase_if(drives, [&](const DriveProfile& d) { return d.letter == drive.letter; });
    drives.push_back(drive);
    return true;
}

// "swk.ocx 0x80004005" or "38 D:\Apps": a first word and the rest of the line.
std::optional<std::pair<std::string, std::string>> SplitFirstWord(std::string_view value) {
    std::string text = Trim(value);
    std::size_t space = text.find_first_of(" \t");
    if (space == std::string::npos) return std::nullopt;
    return std::make_pair(text.substr(0, space), Trim(text.substr(space + 1)));
}

}  // namespace

bool ApplyProfileSetting(MachineProfile& p, std::string_view keyText, std::string_view valueText) {
    std::string key = Trim(keyText), value = Trim(valueText);
    auto flag = [&](bool& field) {
        auto f = ParseFlag(value);
        if (f) field = *f;
        return f.has_value();
    };
    if (key == "platformId") return SetNumber(p.platformId, value);
    if (key == "majorVersion") return SetNumber(p.majorVersion, value);
    if (key == "minorVersion") return SetNumber(p.minorVersion, value);
    if (key == "buildNumber") return SetNumber(p.buildNumber, value);
    if (key == "userName") return !value.empty() && (p.userName = value, true);
    if (key == "isAdmin") return flag(p.isAdmin);
    if (key == "hasShutdownPrivilege") return flag(p.hasShutdownPrivilege);
    if (key == "exitWindowsFails") return flag(p.exitWindowsFails);
    if (key == "lowIntegrityShellFolder") return flag(p.lowIntegrityShellFolder);
    if (key == "productSemaphore") return flag(p.productSemaphore);
    if (key == "wow64") return flag(p.wow64);
    if (key == "localTime") return (p.localTime = value, true);
    if (key == "drive") return ApplyDrive(p.drives, value);
    if (key == "registerServerResult" || key == "specialFolder") {
        auto parts = SplitFirstWord(value);
        if (!parts) return false;
        auto n = ParseInteger(key == "specialFolder" ? parts->first : parts->second);
        if (!n) return false;
        if (key == "specialFolder")
            p.specialFolders[static_cast<int>(*n)] = parts->second;
        else
            p.registerServerResults[parts->first] = static_cast<std::int32_t>(*n);
        return true;
    }
    std::set<std::string>* list = key == "specialFolderUnresolvable" ? &p.specialFoldersUnresolvable
                                  : key == "registryKeyDenyCreate"   ? &p.registryKeysDenyCreate
                                  : key == "registryKeyDenyDelete"   ? &p.registryKeysDenyDelete
                                  : key == "pathDenyWrite"           ? &p.pathsDenyWrite
                                  : key == "runningProgram"          ? &p.runningPrograms
                                                                     : nullptr;
    if (!list || value.empty()) return false;
    list->insert(value);
    return true;
}

MachineProfile ProfileFromIni(std::string_view text) {
    MachineProfile profile;
    profile.drives.clear();
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';') continue;
        std::size_t eq = t.find('=');
        if (eq != std::string::npos)
            ApplyProfileSetting(profile, t.substr(0, eq), t.substr(eq + 1));
    }
    if (profile.drives.empty()) profile.drives.push_back(DriveProfile{});
    return profile;
}

std::string ProfileToIni(const MachineProfile& p) {
    std::ostringstream out;
    out << "# Simulated Windows machine. One \"key = value\" per line; list keys repeat.\n"
        << "platformId = " << p.platformId << "\n"
        << "majorVersion = " << p.majorVersion << "\n"
        << "minorVersion = " << p.minorVersion << "\n"
        << "buildNumber = " << p.buildNumber << "\n"
        << "userName = " << p.userName << "\n"
        << "isAdmin = " << p.isAdmin << "\n"
        << "hasShutdownPrivilege = " << p.hasShutdownPrivilege << "\n"
        << "exitWindowsFails = " << p.exitWindowsFails << "\n"
        << "lowIntegrityShellFolder = " << p.lowIntegrityShellFolder << "\n"
        << "productSemaphore = " << p.productSemaphore << "\n"
        << "wow64 = " << p.wow64 << "\n"
        << "localTime = " << p.localTime << "\n";
    for (const auto& d : p.drives) {
        out << "drive = " << d.letter << " type=" << d.type << " medium=" << d.mediumPresent;
        if (d.freeBytes) out << " free=" << *d.freeBytes;
        if (d.fillsAfterBytes) out << " fillsAfter=" << *d.fillsAfterBytes;
        out << "\n";
    }
    for (const auto& [name, hr] : p.registerServerResults)
        out << "registerServerResult = " << name << " " << hr << "\n";
    for (const auto& [csidl, path] : p.specialFolders)
        out << "specialFolder = " << csidl << " " << path << "\n";
    auto list = [&](const char* key, const std::set<std::string>& items) {
        for (const auto& item : items) out << key << " = " << item << "\n";
    };
    list("specialFolderUnresolvable", p.specialFoldersUnresolvable);
    list("registryKeyDenyCreate", p.registryKeysDenyCreate);
    list("registryKeyDenyDelete", p.registryKeysDenyDelete);
    list("pathDenyWrite", p.pathsDenyWrite);
    list("runningProgram", p.runningPrograms);
    return out.str();
}

std::string SpecialFolderPath(const MachineProfile& p, int csidl) {
    if (auto it = p.specialFolders.find(csidl); it != p.specialFolders.end()) return it->second;
    const std::string user = "C:\\Users\\" + p.userName;
    const std::string programs = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    // The setup is a 32-bit program: on 64-bit Windows its program files folders
    // are the 32-bit ones, whichever of the two numbers it asks for. The other
    // folders are the same for 32-bit and 64-bit programs.
    const std::string programFiles = p.wow64 ? kProgramFilesX86 : kProgramFiles;
    switch (csidl) {
        case CSIDL_PERSONAL:
            return user + "\\Documents";
        case CSIDL_COMMON_PROGRAMS:
            return programs;
        case CSIDL_COMMON_STARTUP:
            return programs + "\\Startup";
        case CSIDL_COMMON_DESKTOPDIRECTORY:
            return "C:\\Users\\Public\\Desktop";
        case CSIDL_LOCAL_APPDATA:
            return user + "\\AppData\\Local";
        case CSIDL_COMMON_APPDATA:
            return "C:\\ProgramData";
        case CSIDL_PROGRAM_FILES:
        case kCsidlProgramFilesX86:
            return programFiles;
        case kCsidlProgramFilesCommon:
        case kCsidlProgramFilesCommonX86:
            return programFiles + "\\Common Files";
        default:
            return {};
    }
}

}  // namespace swk::sim
