// The swkpack tool, run as a program: pack, list, verify and extract with
// times; refusals with messages naming the line; determinism; damaged input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tools/pack/container_file.h"
#include "tools/pack/manifest.h"

namespace swk::pack {
namespace {

namespace fs = std::filesystem;
using Data = std::vector<std::uint8_t>;

struct ToolRun {
    int status = -1;  // exit status; -1 when the program did not exit normally (a crash)
    std::string output;
};

ToolRun Swkpack(const std::string& arguments) {
    ToolRun run;
    FILE* pipe = popen((std::string(SWKPACK_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
    const int raw = pclose(pipe);
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    return run;
}

void WriteFile(const fs::path& path, const Data& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
void WriteText(const fs::path& path, const std::string& text) {
    WriteFile(path, Data(text.begin(), text.end()));
}
Data ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Data(std::istreambuf_iterator<char>(in), {});
}

std::uint64_t LastWriteFileTime(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return static_cast<std::uint64_t>(
        (std::int64_t{st.st_mtim.tv_sec} * 10'000'000 + st.st_mtim.tv_nsec / 100) +
        kUnixEpochFileTime);
}

class SwkpackTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("swk_swkpack_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "in" / "sub");
        std::mt19937 rng(5);
        Data random(30000);
        for (auto& b : random) b = static_cast<std::uint8_t>(rng() % 7);
        files_ = {{"in/sub/data file.bin", random, "2011-05-11 09:43:08"},
                  {"in/readme.txt", Data(3000, 'r'), "2014-09-04 10:45:44.015625"},
                  {"in/tiny", Data{'x'}, "2013-11-14 13:05:31.9531250"}};
        std::string manifest = "# test payload\n\n";
        for (const auto& f : files_) {
            WriteFile(dir_ / f.path, f.bytes);
            manifest += f.path + "   " + f.time + "\n";
        }
        WriteText(dir_ / "manifest.txt", manifest);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string P(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }

    struct File {
        std::string path;
        Data bytes;
        std::string time;
    };
    fs::path dir_;
    std::vector<File> files_;
};

TEST_F(SwkpackTest, PackListVerifyExtractRoundTripWithTimes) {
    ASSERT_EQ(Swkpack("pack " + P("manifest.txt") + " " + P("c.bin")).status, 0);
    const ToolRun list = Swkpack("list " + P("c.bin"));
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_NE(list.output.find("2014-09-04 10:45:44.0156250"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("end marker at offset"), std::string::npos) << list.output;
    const ToolRun verify = Swkpack("verify " + P("c.bin"));
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_NE(verify.output.find("3 entries"), std::string::npos) << verify.output;

    ASSERT_EQ(Swkpack("extract " + P("c.bin") + " " + P("named") + " " + P("manifest.txt")).status,
              0);
    ASSERT_EQ(Swkpack("extract " + P("c.bin") + " " + P("numbered")).status, 0);
    for (std::size_t k = 0; k < files_.size(); ++k) {
        const std::string date = files_[k].time.substr(0, 10), time = files_[k].time.substr(11);
        const fs::path named = dir_ / "named" / fs::path(files_[k].path).filename();
        const fs::path numbered = dir_ / "numbered" / ("0" + std::to_string(k + 1));
        for (const fs::path& out : {named, numbered}) {
            EXPECT_EQ(ReadFile(out), files_[k].bytes) << out;
            EXPECT_EQ(LastWriteFileTime(out), ParseFileTime(date, time)) << out;
        }
    }
}

TEST_F(SwkpackTest, SameInputsGiveTheSameBytes) {
    ASSERT_EQ(Swkpack("pack " + P("manifest.txt") + " " + P("a.bin")).status, 0);
    // A copy of the whole tree elsewhere: relative paths follow the manifest.
    fs::create_directories(dir_ / "copy");
    fs::copy(dir_ / "in", dir_ / "copy" / "in", fs::copy_options::recursive);
    fs::copy(dir_ / "manifest.txt", dir_ / "copy" / "manifest.txt");
    ASSERT_EQ(Swkpack("pack " + P("copy/manifest.txt") + " " + P("b.bin")).status, 0);
    ASSERT_EQ(Swkpack("pack " + P("manifest.txt") + " " + P("c.bin")).status, 0);
    EXPECT_EQ(ReadFile(dir_ / "a.bin"), ReadFile(dir_ / "b.bin"));
    EXPECT_EQ(ReadFile(dir_ / "a.bin"), ReadFile(dir_ / "c.bin"));
}

TEST_F(SwkpackTest, RefusesBadManifestsNamingTheLine) {
    std::filesystem::resize_file(dir_ / "in" / "tiny", 0);
    WriteFile(dir_ / "in" / "big", {});
    fs::resize_file(dir_ / "in" / "big", kMaxFileLength + 1);
    WriteFile(dir_ / "in" / "limit", {});
    fs::resize_file(dir_ / "in" / "limit", 100);
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {
        {"in/missing 2014-01-01 00:00:00", "line 3: "},
        {"in/readme.txt 2014-02-30 00:00:00", "line 3: bad time"},
        {"in/readme.txt 2014-01-01 00:00:00.12345678", "line 3: bad time"},
        {"in/readme.txt", "line 3: "},
        {"in/big 2014-01-01 00:00:00", "20000001 bytes, more than the limit of 20000000"},
        {"in/tiny 2014-01-01 00:00:00", "line 3: "},  // empty files expand to nothing: refused
    };
    for (const Case& c : cases) {
        WriteText(dir_ / "bad.txt",
                  std::string("# header\nin/limit 2014-01-01 00:00:00\n") + c.line + "\n");
        const ToolRun run = Swkpack("pack " + P("bad.txt") + " " + P("out.bin"));
        EXPECT_EQ(run.status, 1) << c.line;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.line << " -> " << run.output;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.bin"));
}

// Truncations, flipped bytes and garbage: every command says what is wrong and
// exits with 1, never crashes or hangs.
TEST_F(SwkpackTest, DamagedContainersAreReportedNotCrashedOn) {
    ASSERT_EQ(Swkpack("pack " + P("manifest.txt") + " " + P("c.bin")).status, 0);
    const Data good = ReadFile(dir_ / "c.bin");
    std::vector<Data> damaged;
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{12}, std::size_t{20},
                            good.size() / 2, good.size() - 5, good.size() - 1}) {
        damaged.emplace_back(good.begin(), good.begin() + cut);
    }
    for (std::size_t at :
         {std::size_t{8}, std::size_t{11}, std::size_t{12}, std::size_t{16}, std::size_t{20}}) {
        Data flipped = good;
        flipped[at] ^= 0xFF;
        damaged.push_back(flipped);
    }
    std::mt19937 rng(3);
    Data garbage(5000);
    for (auto& b : garbage) b = static_cast<std::uint8_t>(rng());
    damaged.push_back(garbage);
    for (std::size_t k = 0; k < damaged.size(); ++k) {
        WriteFile(dir_ / "d.bin", damaged[k]);
        for (const std::string command : {"list", "verify", "extract"}) {
            const std::string extra = command == "extract" ? " " + P("x") : "";
            const ToolRun run = Swkpack(command + " " + P("d.bin") + extra);
            EXPECT_EQ(run.status, 1) << command << " on damage " << k << ": " << run.output;
            EXPECT_NE(run.output.find("swkpack: "), std::string::npos)
                << command << " on damage " << k;
        }
    }
}

TEST_F(SwkpackTest, CompressAndExpandSingleFiles) {
    ASSERT_EQ(Swkpack("compress " + P("in/sub/data file.bin") + " " + P("one.sz")).status, 0);
    ASSERT_EQ(Swkpack("expand " + P("one.sz") + " " + P("one.out")).status, 0);
    EXPECT_EQ(ReadFile(dir_ / "one.out"), files_[0].bytes);
    Data cut = ReadFile(dir_ / "one.sz");
    cut.resize(cut.size() - 3);
    WriteFile(dir_ / "cut.sz", cut);
    const ToolRun run = Swkpack("expand " + P("cut.sz") + " " + P("cut.out"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("truncated"), std::string::npos) << run.output;
    EXPECT_EQ(Swkpack("frobnicate").status, 2);
}

}  // namespace
}  // namespace swk::pack
