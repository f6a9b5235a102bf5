// The container walk on hand-built byte arrays: how many entries it hands out,
// what they hold, and how it ends — without a machine.
#include "payload/container.h"

#include <gtest/gtest.h>

#include "tests/payload/container_bytes.h"

namespace swk {
namespace {

using test::BuildContainer;
using test::Bytes;
using test::EntrySpec;

struct Taken {
    std::size_t k;
    std::uint64_t fileTime;
    Bytes stream;
};

struct WalkOutcome {
    WalkResult result;
    std::vector<Taken> taken;
};

WalkOutcome Walk(Bytes bytes, std::size_t targets, std::size_t refuseAt = SIZE_MAX) {
    PayloadContainer container(std::move(bytes));
    WalkOutcome outcome{};
    outcome.result = WalkContainer(container, targets, [&](std::size_t k, const PayloadEntry& e) {
        outcome.taken.push_back(
            {k, FileTimeValue(e.fileTime), Bytes(e.stream.begin(), e.stream.end())});
        return k != refuseAt;
    });
    return outcome;
}

const std::vector<EntrySpec> kThreeEntries = {
    {0x01CFC82DB4AEB480ull, Bytes{1, 2, 3}},
    {0x01CFC82DB4AEB480ull, Bytes{4}},  // the same time twice: times are no keys
    {0x01C84A05C9C6A000ull, Bytes(300, 7)},
};

struct WalkCase {
    const char* name;
    Bytes container;
    std::size_t targets;
    WalkResult result;
    std::size_t entriesTaken;
};

class WalkEnds : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WalkEnds, TakesOneEntryPerTargetAndEndsSafely) {
    const WalkCase& c = GetParam();
    const WalkOutcome outcome = Walk(c.container, c.targets);
    EXPECT_EQ(outcome.result, c.result);
    ASSERT_EQ(outcome.taken.size(), c.entriesTaken);
    for (std::size_t k = 0; k < outcome.taken.size(); ++k) {
        EXPECT_EQ(outcome.taken[k].k, k);
        EXPECT_EQ(outcome.taken[k].stream, kThreeEntries[k].stream);
        EXPECT_EQ(outcome.taken[k].fileTime, kThreeEntries[k].fileTime);
    }
}

Bytes WithoutLast(Bytes bytes, std::size_t n) {
    bytes.resize(bytes.size() - n);
    return bytes;
}

Bytes Append(Bytes bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

std::vector<EntrySpec> LengthAt(std::size_t k, std::uint32_t length) {
    std::vector<EntrySpec> entries = kThreeEntries;
    entries[k].streamLength = length;
    return entries;
}

INSTANTIATE_TEST_SUITE_P(
    Container, WalkEnds,
    ::testing::Values(
        WalkCase{"ZeroTargetsTakeNothing", BuildContainer(kThreeEntries), 0, WalkResult::Complete,
                 0},
        WalkCase{"ZeroTargetsOnAnEmptyContainer", Bytes{}, 0, WalkResult::Complete, 0},
        WalkCase{"AsManyTargetsAsEntries", BuildContainer(kThreeEntries), 3, WalkResult::Complete,
                 3},
        // With exactly as many targets the end marker is never read.
        WalkCase{"NoEndMarkerNeededWhenTargetsMatch", BuildContainer(kThreeEntries, false), 3,
                 WalkResult::Complete, 3},
        WalkCase{"FewerTargetsThanEntries", BuildContainer(kThreeEntries), 2, WalkResult::Complete,
                 2},
        WalkCase{"MoreTargetsEndAtTheEndMarker", BuildContainer(kThreeEntries), 11,
                 WalkResult::Complete, 3},
        WalkCase{"EndMarkerFollowedByStrayBytes",
                 Append(BuildContainer(kThreeEntries), Bytes{9, 9}), 11, WalkResult::Complete, 3},
        WalkCase{"ZeroLengthEndsTheWalkAtThatEntry", BuildContainer(LengthAt(1, 0)), 3,
                 WalkResult::Complete, 1},
        WalkCase{"MoreTargetsWithoutEndMarkerIsDamaged", BuildContainer(kThreeEntries, false), 4,
                 WalkResult::Damaged, 3},
        WalkCase{"TruncatedHeadIsDamaged",
                 WithoutLast(BuildContainer(kThreeEntries, false), 300 + 5), 3, WalkResult::Damaged,
                 2},
        WalkCase{"LengthOneByteBeyondTheEnd", BuildContainer(LengthAt(2, 301), false), 3,
                 WalkResult::Damaged, 2},
        WalkCase{"LengthFarBeyondTheEnd", BuildContainer(LengthAt(0, 0xFFFFFFFFu)), 3,
                 WalkResult::Damaged, 0},
        WalkCase{"EmptyContainerWithTargets", Bytes{}, 1, WalkResult::Damaged, 0}),
    test::CaseName());

TEST(ContainerWalk, StopsAtTheEntryItsHandlerRefuses) {
    const WalkOutcome outcome = Walk(BuildContainer(kThreeEntries), 3, /*refuseAt=*/1);
    EXPECT_EQ(outcome.result, WalkResult::Stopped);
    EXPECT_EQ(outcome.taken.size(), 2u);
}

TEST(ContainerWalk, ReadsTheTimeLowHalfFirst) {
    const Bytes bytes = {0x78, 0x56, 0x34, 0x12, 0xF0, 0xDE, 0xBC, 0x9A, 1, 0, 0, 0, 0xAB};
    PayloadContainer container(bytes);
    PayloadEntry entry{};
    ASSERT_EQ(container.TakeEntry(entry), PayloadContainer::Take::Entry);
    EXPECT_EQ(entry.fileTime.dwLowDateTime, 0x12345678u);
    EXPECT_EQ(entry.fileTime.dwHighDateTime, 0x9ABCDEF0u);
    EXPECT_EQ(Bytes(entry.stream.begin(), entry.stream.end()), Bytes{0xAB});
    EXPECT_EQ(container.Remaining(), 0u);
}

TEST(CompressedImage, IsTheLettersFollowedByTheStreamEachTimeItIsRebuilt) {
    std::vector<std::uint8_t> image;
    RebuildCompressedFile(image, Bytes(100, 0x11));
    RebuildCompressedFile(image, Bytes{0x88, 0xF0});  // a shorter one leaves no tail behind
    EXPECT_EQ(image, (Bytes{'S', 'Z', 'D', 'D', 0x88, 0xF0}));
    RebuildCompressedFile(image, Bytes(5000, 0x22));  // a longer one grows the buffer
    ASSERT_EQ(image.size(), 5004u);
    EXPECT_EQ(image[3], 'D');
    EXPECT_EQ(image.back(), 0x22);
}

}  // namespace
}  // namespace swk
