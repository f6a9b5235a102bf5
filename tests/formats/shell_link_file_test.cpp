#include "platform/sim/shell_link_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace swk::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

struct LinkCase {
    const char* name;
    ShellLinkData link;
    // lnkinfo 20181227 decodes surrogate pairs 0x3FF code points too low; the round
    // trip and WritesSurrogatePairsAsUtf16 cover those texts.
    bool lnkinfoReadsIt = true;
};

const LinkCase kLinks[] = {
    {"desktop shortcut", {"C:\\Program Files\\Stashwick\\swk.exe", "", "Stashwick"}},
    {"start-up shortcut", {"C:\\Program Files\\Stashwick\\swk.exe", "/Restart", "Stashwick setup"}},
    {"two-byte letters", {"C:\\Programme\\Stäshwick Ünd Co\\swk.exe", "/Restart", "Stäshwick"}},
    {"three-byte letters", {"D:\\应用\\Stashwick\\swk.exe", "--開く \"a b\"", "保存したページ"}},
    {"surrogate pairs", {"C:\\Apps\\\U0001F4DA\\swk.exe", "\U0001F600", "Books \U0001F4DA"}, false},
    {"empty description", {"C:\\a.exe", "x", ""}},
};

TEST(ShellLinkFile, DecodesWhatItEncodes) {
    for (const LinkCase& c : kLinks) {
        SCOPED_TRACE(c.name);
        const Bytes file = EncodeShellLink(c.link);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(DecodeShellLink(file), c.link);
    }
}

TEST(ShellLinkFile, WritesTheHeaderFlagsAndBothLocalPaths) {
    const Bytes plain = EncodeShellLink({"C:\\P\\swk.exe", "", "d"});
    const Bytes wide = EncodeShellLink({"C:\\Pä\\swk.exe", "/Restart", "d"});
    for (const Bytes* file : {&plain, &wide}) {
        ASSERT_GE(file->size(), 0x4Cu + 0x24u);
        EXPECT_EQ(Get32(*file, 0), 0x4Cu);
        EXPECT_EQ(Bytes(file->begin() + 4, file->begin() + 20),
                  (Bytes{0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
        EXPECT_EQ(Get32(*file, 0x4C + 4), 0x24u) << "LinkInfo header with the Unicode offsets";
        EXPECT_EQ(Get32(*file, file->size() - 4), 0u) << "terminal block";
    }
    // Arguments and description are written only when there are some.
    EXPECT_EQ(Get32(plain, 0x14), kLinkFlagHasLinkInfo | kLinkFlagHasName | kLinkFlagIsUnicode);
    EXPECT_EQ(Get32(wide, 0x14),
              kLinkFlagHasLinkInfo | kLinkFlagHasName | kLinkFlagIsUnicode | kLinkFlagHasArguments);
    EXPECT_EQ(Get32(EncodeShellLink({"C:\\a.exe", "", ""}), 0x14),
              kLinkFlagHasLinkInfo | kLinkFlagIsUnicode);

    // The ANSI path is the text itself when it is ASCII, with '?' for a letter that
    // is not.
    auto ansiPath = [](const Bytes& file) {
        return std::string(reinterpret_cast<const char*>(&file[0x4C + Get32(file, 0x4C + 16)]));
    };
    EXPECT_EQ(ansiPath(plain), "C:\\P\\swk.exe");
    EXPECT_EQ(ansiPath(wide), "C:\\P?\\swk.exe");
}

TEST(ShellLinkFile, WritesSurrogatePairsAsUtf16) {
    const Bytes file = EncodeShellLink({"C:\\\U0001F4DA", "", ""});
    const Bytes unicodePath = {'C', 0, ':', 0, '\\', 0, 0x3D, 0xD8, 0xDA, 0xDC, 0, 0};
    const std::size_t at = 0x4C + Get32(file, 0x4C + 28);
    ASSERT_LE(at + unicodePath.size(), file.size());
    EXPECT_EQ(Bytes(file.begin() + at, file.begin() + at + unicodePath.size()), unicodePath);
}

TEST(ShellLinkFile, RefusesTextsTheFormatCannotHold) {
    EXPECT_TRUE(EncodeShellLink({"C:\\\xC3(.exe", "", "d"}).empty()) << "invalid UTF-8";
    EXPECT_TRUE(EncodeShellLink({"C:\\a.exe", "\xED\xA0\x80", "d"}).empty()) << "encoded surrogate";
    EXPECT_TRUE(EncodeShellLink({"C:\\a.exe", "", std::string(65536, 'x')}).empty());
    EXPECT_FALSE(EncodeShellLink({"C:\\a.exe", "", std::string(65535, 'x')}).empty());
}

TEST(ShellLinkFile, RejectsDamagedFiles) {
    const Bytes file = EncodeShellLink(kLinks[1].link);
    // Every structure up to the last string is needed; only the terminal block may go.
    for (std::size_t length = 0; length + 4 < file.size(); ++length) {
        EXPECT_FALSE(DecodeShellLink(std::span(file.data(), length)).has_value()) << length;
    }
    Bytes wrongSize = file;
    wrongSize[0] = 0x4D;
    EXPECT_FALSE(DecodeShellLink(wrongSize).has_value());
    Bytes wrongClass = file;
    wrongClass[4] = 0x02;
    EXPECT_FALSE(DecodeShellLink(wrongClass).has_value());
    Bytes pathOutside = file;
    pathOutside[0x4C + 28] = 0xF0;  // LocalBasePathOffsetUnicode past the LinkInfo
    EXPECT_FALSE(DecodeShellLink(pathOutside).has_value());
}

// A link in the older style: an item ID list, the 0x1C LinkInfo header with ANSI
// paths only, a working folder, ANSI string data.
TEST(ShellLinkFile, ReadsAnsiLinksWithAnItemIdList) {
    Bytes file(0x4C, 0);
    file[0] = 0x4C;
    const std::uint8_t clsid[] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    std::copy(std::begin(clsid), std::end(clsid), file.begin() + 4);
    file[0x14] = kLinkFlagHasLinkTargetIdList | kLinkFlagHasLinkInfo | kLinkFlagHasName |
                 kLinkFlagHasWorkingDir | kLinkFlagHasArguments;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto putText = [&](const std::string& s, bool terminate) {
        file.insert(file.end(), s.begin(), s.end());
        if (terminate) file.push_back(0);
    };
    // Item ID list: size 6, one item of size 4 with two bytes, terminator.
    for (std::uint8_t b : {6, 0, 4, 0, 0xAA, 0xBB, 0, 0}) file.push_back(b);
    // LinkInfo: header 0x1C, VolumeID at 0x1C (17 bytes), base path, suffix.
    const std::string base = "C:\\Windows\\", suffix = "n\xE9.exe";  // Latin-1 e-acute
    const std::uint32_t basePath = 0x1C + 17,
                        suffixAt = basePath + static_cast<std::uint32_t>(base.size()) + 1;
    put32(suffixAt + static_cast<std::uint32_t>(suffix.size()) + 1);
    put32(0x1C);
    put32(1);
    put32(0x1C);
    put32(basePath);
    put32(0);
    put32(suffixAt);
    put32(17), put32(3), put32(0x1234), put32(0x10), file.push_back(0);
    putText(base, true);
    putText(suffix, true);
    for (const std::string s : {"Editor", "C:\\", "a.txt"}) {
        file.push_back(static_cast<std::uint8_t>(s.size()));
        file.push_back(0);
        putText(s, false);
    }
    put32(0);

    const auto link = DecodeShellLink(file);
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, "C:\\Windows\\n\u00E9.exe");
    EXPECT_EQ(link->arguments, "a.txt");
    EXPECT_EQ(link->description, "Editor");
}

// The link files are read by an independent reader of the format.
TEST(ShellLinkFile, IndependentReaderSeesTargetArgumentsAndDescription) {
    if (std::string(SWK_LNKINFO).empty()) GTEST_SKIP() << "lnkinfo is not installed";
    const auto folder =
        std::filesystem::temp_directory_path() / ("swk_lnk_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const LinkCase& c : kLinks) {
        if (!c.lnkinfoReadsIt) continue;
        SCOPED_TRACE(c.name);
        const auto path = folder / "link.lnk";
        const Bytes bytes = EncodeShellLink(c.link);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));

        std::string report;
        const std::string command = std::string(SWK_LNKINFO) + " '" + path.string() + "' 2>&1";
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[512];
            while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
                report.append(buffer, n);
            pclose(pipe);
        }
        auto field = [&](const std::string& label) -> std::string {
            const auto at = report.find("\t" + label);
            if (at == std::string::npos) return "(absent)";
            const auto start = report.find(": ", at) + 2;
            return report.substr(start, report.find('\n', start) - start);
        };
        EXPECT_EQ(field("Local path"), c.link.target) << report;
        EXPECT_EQ(field("Command line arguments"),
                  c.link.arguments.empty() ? "(absent)" : c.link.arguments)
            << report;
        EXPECT_EQ(field("Description"),
                  c.link.description.empty() ? "(absent)" : c.link.description)
            << report;
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace swk::sim
