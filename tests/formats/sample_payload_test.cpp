#include "resources/sample_payload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/szdd.h"
#include "tools/standins/standins.h"

namespace swk {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kEntryHeadSize = 12;

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

// "YYYY-MM-DD HH:MM:SS.fffffff" UTC as 100-ns ticks since 1601-01-01.
std::uint64_t FileTime(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char fraction[8] = {};
    EXPECT_EQ(std::sscanf(std::string(text).c_str(), "%d-%d-%d %d:%d:%d.%7s", &year, &month, &day,
                          &hour, &minute, &second, fraction),
              7);
    using namespace std::chrono;
    const auto days =
        sys_days{std::chrono::year{year} / month / day} - sys_days{1601y / January / 1};
    const std::uint64_t seconds =
        static_cast<std::uint64_t>(days.count()) * 86400 + hour * 3600 + minute * 60 + second;
    std::string ticks = fraction;
    ticks.resize(7, '0');
    return seconds * 10'000'000 + std::stoull(ticks);
}

struct Entry {
    std::uint64_t fileTime = 0;
    Bytes expanded;
};

// Walks the container entry by entry, expanding each stream, up to the end marker.
// Fails the test when a length runs past the container or a stream does not expand.
std::vector<Entry> ReadContainer(std::span<const std::uint8_t> container) {
    std::vector<Entry> entries;
    std::size_t at = 0;
    while (true) {
        EXPECT_LE(at + 4, container.size());
        if (at + 4 > container.size()) return entries;
        if (Get32(container, at) == 0 && at + 4 == container.size()) return entries;  // end marker
        EXPECT_LE(at + kEntryHeadSize, container.size());
        if (at + kEntryHeadSize > container.size()) return entries;
        Entry entry;
        entry.fileTime = Get32(container, at) | std::uint64_t{Get32(container, at + 4)} << 32;
        const std::uint32_t length = Get32(container, at + 8);
        EXPECT_NE(length, 0u);
        EXPECT_LE(length, container.size() - at - kEntryHeadSize);
        if (length == 0 || length > container.size() - at - kEntryHeadSize) return entries;

        Bytes file = {'S', 'Z', 'D', 'D'};
        const auto stream = container.subspan(at + kEntryHeadSize, length);
        file.insert(file.end(), stream.begin(), stream.end());
        const auto header = szdd::ReadHeader(file);
        EXPECT_TRUE(header.has_value()) << "entry " << entries.size();
        if (!header) return entries;
        EXPECT_EQ(header->mode, szdd::kModeA);
        EXPECT_EQ(header->missingChar, 0);
        entry.expanded.resize(header->expandedLength);
        EXPECT_EQ(szdd::Expand(file, entry.expanded), std::int64_t{header->expandedLength});
        entries.push_back(std::move(entry));
        at += kEntryHeadSize + length;
    }
}

TEST(SamplePayload, HoldsTheElevenFilesWithTheirTimesAndAnEndMarker) {
    const auto payload = SamplePayload();
    ASSERT_GE(payload.size(), 4u);
    const std::vector<Entry> entries = ReadContainer(payload);
    ASSERT_EQ(entries.size(), standins::kStandInFiles.size());
#if SWK_SAMPLE_PAYLOAD_IS_STANDINS
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& file = standins::kStandInFiles[i];
        SCOPED_TRACE(std::string(file.name));
        EXPECT_EQ(entries[i].fileTime, FileTime(file.fileTime));
        EXPECT_EQ(entries[i].expanded, standins::StandInBytes(file));
    }
    // swkh.exe's time, worked out by hand: 2014-09-04 10:49:17.671875 UTC.
    EXPECT_EQ(entries[1].fileTime, 130543013576718750u);
#endif
}

}  // namespace
}  // namespace swk
