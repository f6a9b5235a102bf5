// Path text operations and the syntax checks.
#include <gtest/gtest.h>

#include "paths/path_checks.h"
#include "tests/paths/test_machine.h"

namespace swk {
namespace {

using testing::PathOfUnits;
using testing::TestMachine;

TEST(PathText, StripTrailingBackslashRemovesAtMostOne) {
    EXPECT_EQ(StripTrailingBackslash("C:\\"), "C:");
    EXPECT_EQ(StripTrailingBackslash("C:\\a\\\\"), "C:\\a\\");
    EXPECT_EQ(StripTrailingBackslash("C:\\Ab"), "C:\\Ab");
    EXPECT_EQ(StripTrailingBackslash(""), "");
}

TEST(PathText, SplitComponentsAtLastAndFirstSeparator) {
    struct Case {
        std::string path;
        bool last;
        std::string part, rest;
    };
    const Case cases[] = {
        {"C:\\a\\b", true, "b", "C:\\a"},
        {"C:\\a\\b", false, "C:", "a\\b"},
        {"name", true, "name", ""},
        {"name", false, "name", ""},
        {"", true, "", ""},
        {"", false, "", ""},
        {"a\\", true, "", "a"},
        {"\\a", false, "", "a"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\x", false, "HKEY_LOCAL_MACHINE", "SOFTWARE\\x"},
    };
    for (const Case& c : cases) {
        std::string path = c.path;
        const std::string part =
            c.last ? SplitLastComponent(path, '\\') : SplitFirstComponent(path, '\\');
        EXPECT_EQ(part, c.part) << (c.last ? "last of " : "first of ") << c.path;
        EXPECT_EQ(path, c.rest) << (c.last ? "last of " : "first of ") << c.path;
    }
}

TEST(PathText, TrimWhiteSpaceKeepsInnerBlanks) {
    EXPECT_EQ(TrimWhiteSpace(" \t\r\n\v\fC:\\a b \t"), "C:\\a b");
    EXPECT_EQ(TrimWhiteSpace(" \t "), "");
}

TEST(PathChecks, ValidPathComponent) {
    EXPECT_TRUE(IsValidPathComponent("Stashwick"));
    EXPECT_TRUE(IsValidPathComponent("Zo\xC3\xAB \xF0\x9D\x84\x9E (x86)"));
    EXPECT_FALSE(IsValidPathComponent(""));
    for (char bad : std::string("\\/:*?\"<>|\x01\x1F\t"))
        EXPECT_FALSE(IsValidPathComponent(std::string("a") + bad + "b")) << int(bad);
}

TEST(PathChecks, WellFormedPath) {
    TestMachine machine;  // lengths are measured by the system's converter
    struct Case {
        std::string path;
        bool wellFormed;
    };
    const Case cases[] = {
        {"C:", true},
        {"c:\\program files", true},
        {"Tarnwell\\Stashwick", true},
        {"C:\\Users\\Zo\xC3\xAB\\\xF0\x9D\x84\x9E", true},
        {"C:\\", false},   // trailing backslash
        {"1:\\a", false},  // not a drive letter
        {"1:", false},
        {"C:\\a\\\\b", false},  // doubled separator
        {"\\\\server\\share", false},
        {"\\a", false},  // leading separator
        {"C:\\a|b", false},
        {"C:a", false},  // a colon inside a name
        {"", false},
        {PathOfUnits(259), true},
        {PathOfUnits(260), false},
        {PathOfUnits(300), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsWellFormedPath(c.path), c.wellFormed)
            << c.path << " (" << c.path.size() << " bytes)";
}

}  // namespace
}  // namespace swk
