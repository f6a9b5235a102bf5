// Text conversion and free disk space, through the simulated machine's system calls.
#include "paths/text.h"

#include <gtest/gtest.h>

#include <string>

#include "paths/free_space.h"
#include "tests/payload/payload_fixtures.h"

namespace swk {
namespace {

struct TextCase {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class TextConversion : public test::MachineTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextConversion, ConvertsBothWaysAndCountsUnits) {
    const TextCase& c = GetParam();
    WideText wide = Utf8ToUtf16(c.utf8);
    if (c.utf16.empty()) {
        EXPECT_EQ(wide.get(), nullptr);
    } else {
        ASSERT_NE(wide.get(), nullptr);
        EXPECT_EQ(std::u16string(wide.get()), c.utf16);
    }
    EXPECT_EQ(Utf16Length(c.utf8), c.utf16.size());
    EXPECT_EQ(Utf16ToUtf8(std::move(wide)), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Text, TextConversion,
    ::testing::Values(
        TextCase{"Empty", "", u""},
        TextCase{"Ascii", "C:\\Program Files\\Stashwick\\", u"C:\\Program Files\\Stashwick\\"},
        TextCase{"TwoByteSequence", "Caf\xC3\xA9", u"Caf\u00E9"},  // one unit, two bytes
        TextCase{"ThreeByteSequence", "\xE2\x82\xAC 5", u"\u20AC 5"},
        TextCase{"FourByteSequenceIsASurrogatePair", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
        TextCase{"Mixed", "\xC3\xA9\xE2\x82\xAC\xF0\x90\x80\x80", u"\u00E9\u20AC\U00010000"}),
    test::CaseName());

TEST_F(TextConversion, NarrowingStopsAtTheFirstZeroUnit) {
    const char16_t units[] = {u'a', u'b', 0, u'c', u'd'};
    EXPECT_EQ(Utf16ToUtf8(WideText{Sys().SysAllocStringLen(units, 5)}), "ab");
    EXPECT_EQ(Utf16ToUtf8(WideText{}), "");
}

struct SpaceCase {
    const char* name;
    std::uint64_t freeBytes;
    const char* text;
};

class FreeSpace : public test::MachineTest, public ::testing::WithParamInterface<SpaceCase> {};

TEST_P(FreeSpace, WordsTheFreeMegabytesOfThePathsDrive) {
    Machine().Profile().drives[0].freeBytes = GetParam().freeBytes;
    EXPECT_EQ(FreeSpaceText("C:\\Program Files\\Stashwick\\"), GetParam().text) << Describe();
    EXPECT_EQ(FreeSpaceMegabytes("C:\\Program Files\\"), FreeSpaceMegabytes("C:\\"));
}

constexpr std::uint64_t MiB = 1ull << 20;

INSTANTIATE_TEST_SUITE_P(
    Space, FreeSpace,
    ::testing::Values(SpaceCase{"Nothing", 0, ""}, SpaceCase{"LessThanOneMiB", MiB - 1, ""},
                      SpaceCase{"FiveHundred", 500 * MiB + 12345, "500MB free disk space"},
                      SpaceCase{"OneGiBStillInMB", 1024 * MiB, "1024MB free disk space"},
                      SpaceCase{"LastMBValue", 10239 * MiB, "10239MB free disk space"},
                      SpaceCase{"FirstGBValue", 10240 * MiB, "10 GB free disk space"},
                      SpaceCase{"GBRoundsDown", 20479 * MiB, "19 GB free disk space"},
                      SpaceCase{"AboveFourGiB", 4097 * MiB, "4097MB free disk space"},
                      SpaceCase{"Terabytes", 3ull * 1024 * 1024 * MiB, "3072 GB free disk space"}),
    test::CaseName());

TEST_F(FreeSpace, IsNothingWhereTheSystemCannotTell) {
    Machine().Profile().drives[0].freeBytes = 100 * MiB;
    EXPECT_EQ(FreeSpaceMegabytes("Q:\\Somewhere\\"), 0u);  // no such drive
    Machine().Profile().drives[0].mediumPresent = false;
    EXPECT_EQ(FreeSpaceText("C:\\"), "");
}

}  // namespace
}  // namespace swk
