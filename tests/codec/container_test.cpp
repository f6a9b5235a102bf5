// The packer's container writer and strict reader, expansion checks, the time
// text and the manifest syntax.
#include <gtest/gtest.h>

#include "tests/codec/szdd_fixtures.h"
#include "tools/pack/container_file.h"
#include "tools/pack/manifest.h"

namespace swk::pack {
namespace {

using Data = std::vector<std::uint8_t>;

std::vector<PackedEntry> SampleEntries() {
    return {{0x01CFC82A3A1E8480ull,
             MakeStream(codec_test::Bytes("first file, first file, first file"))},
            {0x0000000100000002ull, MakeStream(codec_test::Bytes("x"))},
            {0x01CFC82A3A1E8480ull, MakeStream(codec_test::Bytes(std::string(5000, 'z')))}};
}

TEST(Container, WritesTheLayoutAndReadsItBack) {
    const std::vector<PackedEntry> entries = SampleEntries();
    const Data bytes = WriteContainer(entries);
    // First entry head: time low half first, then the stream length.
    EXPECT_EQ(Data(bytes.begin(), bytes.begin() + 8),
              (Data{0x80, 0x84, 0x1E, 0x3A, 0x2A, 0xC8, 0xCF, 0x01}));
    EXPECT_EQ(bytes[8] | bytes[9] << 8 | bytes[10] << 16 | bytes[11] << 24,
              entries[0].stream.size());
    // A stream is an SZDD file from its fifth byte on.
    EXPECT_EQ(Data(bytes.begin() + 12, bytes.begin() + 16), (Data{0x88, 0xF0, 0x27, 0x33}));
    EXPECT_EQ(Data(bytes.end() - 4, bytes.end()), (Data{0, 0, 0, 0}));

    const ContainerView view = ReadContainer(bytes);
    ASSERT_EQ(view.error, "");
    ASSERT_EQ(view.entries.size(), entries.size());
    const char* contents[] = {"first file, first file, first file", "x"};
    for (std::size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(view.entries[k].fileTime, entries[k].fileTime);
        const Expanded expanded =
            ExpandSzddFile(RebuildSzddFile(view.entries[k].stream), kMaxFileLength);
        ASSERT_EQ(expanded.error, "");
        if (k < 2) {
            EXPECT_EQ(expanded.bytes, codec_test::Bytes(contents[k]));
        }
    }
    EXPECT_EQ(ReadContainer(WriteContainer({})).entries.size(), 0u);
}

// Every prefix of a container, and the container with bytes appended, is
// reported as damaged; the reader never reads past the end (ASan watches).
TEST(Container, EveryTruncationAndTrailingBytesAreReported) {
    const Data bytes = WriteContainer(SampleEntries());
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const Data prefix(bytes.begin(), bytes.begin() + size);
        EXPECT_NE(ReadContainer(prefix).error, "") << "prefix of " << size << " bytes";
    }
    Data longer = bytes;
    longer.push_back(0);
    EXPECT_NE(ReadContainer(longer).error, "");
}

TEST(Container, DamagedStreamsAreRefusedWithAReason) {
    const Data good = codec_test::SzddBuilder().Literals("abcdef").Back(6, 18).Finish();
    Data badMode = good;
    badMode[8] = 'B';
    Data badSignature = good;
    badSignature[1] = 'Y';
    const Data truncated(good.begin(), good.end() - 1);
    const Data hugeClaim = codec_test::SzddBuilder().Literals("ab").Finish(4'000'000'000u);
    const Data overLimit = codec_test::SzddBuilder().Literal('a').Finish(kMaxFileLength + 1);
    struct Case {
        const char* name;
        Data file;
        const char* reason;
    } cases[] = {
        {"bad mode", badMode, "mode"},
        {"bad signature", badSignature, "signature"},
        {"truncated", truncated, "truncated"},
        {"huge claim", hugeClaim, "limit"},
        {"over limit", overLimit, "limit"},
        {"short", Data(good.begin(), good.begin() + 10), "short"},
    };
    EXPECT_EQ(ExpandSzddFile(good, kMaxFileLength).error, "");
    for (const Case& c : cases) {
        const Expanded e = ExpandSzddFile(c.file, kMaxFileLength);
        EXPECT_NE(e.error.find(c.reason), std::string::npos) << c.name << ": " << e.error;
        EXPECT_TRUE(e.bytes.empty()) << c.name;
    }
    // A header larger than what the data could ever expand to is refused before
    // any buffer of that size is made.
    const Data claim = codec_test::SzddBuilder().Literals("ab").Finish(1'000'000);
    EXPECT_NE(ExpandSzddFile(claim, 4'000'000'000u).error.find("at most"), std::string::npos);
}

TEST(FileTimeText, ParsesAndFormatsAtTickPrecision) {
    struct Case {
        const char* date;
        const char* time;
        std::uint64_t fileTime;
        const char* formatted;
    } cases[] = {
        {"1601-01-01", "00:00:00", 0, "1601-01-01 00:00:00.0000000"},
        {"1970-01-01", "00:00:00.0000001", 116444736000000001ull, "1970-01-01 00:00:00.0000001"},
        {"2013-11-14", "13:05:31.953125", 0x01CEE13A32F40EF2ull, "2013-11-14 13:05:31.9531250"},
        {"2000-02-29", "23:59:59.9999999", 125963423999999999ull, "2000-02-29 23:59:59.9999999"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseFileTime(c.date, c.time), c.fileTime) << c.date << " " << c.time;
        EXPECT_EQ(FormatFileTime(c.fileTime), c.formatted);
    }
    const char* bad[][2] = {{"2014-13-01", "00:00:00"},  {"2013-02-29", "00:00:00"},
                            {"1600-12-31", "00:00:00"},  {"2014-01-01", "24:00:00"},
                            {"2014-01-01", "10:00:00."}, {"2014-01-01", "10:00:00.12345678"},
                            {"2014-1-01", "10:00:00"},   {"2014-01-01", "10:00"},
                            {"2014-01-01", "10:00:0x"}};
    for (const auto& b : bad) EXPECT_FALSE(ParseFileTime(b[0], b[1])) << b[0] << " " << b[1];
}

TEST(ManifestText, ReadsPathsWithSpacesCommentsAndRelativeFolders) {
    const Manifest m = ParseManifest(
        "# comment\n\n  bin/swk.exe  2014-09-04 10:49:17.0000000\r\n"
        "data/help file.bin 2014-09-04 10:45:44.015625\n/abs/x 2011-05-11 09:43:08\n",
        "/base");
    ASSERT_EQ(m.error, "");
    ASSERT_EQ(m.entries.size(), 3u);
    EXPECT_EQ(m.entries[0].path, "/base/bin/swk.exe");
    EXPECT_EQ(m.entries[0].line, 3);
    EXPECT_EQ(m.entries[1].path, "/base/data/help file.bin");
    EXPECT_EQ(FormatFileTime(m.entries[1].fileTime), "2014-09-04 10:45:44.0156250");
    EXPECT_EQ(m.entries[2].path, "/abs/x");

    EXPECT_EQ(ParseManifest("a 2014-01-01 00:00:00\nb 2014-01-01 25:00:00\n", "/")
                  .error.rfind("line 2: bad time", 0),
              0u);
    EXPECT_EQ(ParseManifest("\n2014-01-01 00:00:00\n", "/").error.rfind("line 2: expected", 0), 0u);
}

}  // namespace
}  // namespace swk::pack
