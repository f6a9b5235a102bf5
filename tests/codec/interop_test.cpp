// Our files expand byte for byte with the Debian tools' SZDD expanders
// (msexpand, libmspack), and files made by mscompress expand with ours.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/szdd.h"
#include "tests/codec/mspack_memory.h"
#include "tests/codec/szdd_fixtures.h"
#include "tools/pack/szdd_encoder.h"

namespace swk::codec_test {
namespace {

namespace fs = std::filesystem;
using Data = std::vector<std::uint8_t>;

struct Input {
    std::string name;
    Data bytes;
};

// Inputs that reach every corner of the format: the shortest files, references
// into the initial spaces, runs, references of distance 4096, several windows.
std::vector<Input> Inputs() {
    std::mt19937 rng(99);
    auto random = [&](std::size_t n, unsigned alphabet) {
        Data d(n);
        for (auto& b : d) b = static_cast<std::uint8_t>(rng() % alphabet);
        return d;
    };
    std::vector<Input> inputs;
    for (std::size_t n : {0, 1, 2, 3, 15, 16, 17, 18, 19, 40})
        inputs.push_back({"random" + std::to_string(n), random(n, 4)});
    inputs.push_back({"spaces40", Data(40, ' ')});
    Data leading(30, ' ');
    const Data tail = random(3000, 3);
    leading.insert(leading.end(), tail.begin(), tail.end());
    inputs.push_back({"leadingSpaces", leading});
    Data periodic = random(4096, 256);
    periodic.insert(periodic.end(), periodic.begin(), periodic.begin() + 300);
    inputs.push_back({"distance4096", periodic});
    inputs.push_back({"smallAlphabet60k", random(60000, 6)});
    Data mixed = random(20000, 256);
    mixed.insert(mixed.end(), 5000, 0);
    const Data more = random(20000, 16);
    mixed.insert(mixed.end(), more.begin(), more.end());
    inputs.push_back({"mixed", mixed});
    return inputs;
}

class Scratch {
public:
    Scratch()
        : dir_(fs::temp_directory_path() / ("swk_codec_interop_" + std::to_string(getpid()))) {
        fs::create_directories(dir_);
    }
    ~Scratch() { fs::remove_all(dir_); }
    fs::path Path(const std::string& name) const { return dir_ / name; }

private:
    fs::path dir_;
};

void WriteFile(const fs::path& path, const Data& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Data ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Data(std::istreambuf_iterator<char>(in), {});
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0;
}

TEST(Interop, OurFilesExpandWithLibmspack) {
    MspackSzdd mspack;
    for (const Input& input : Inputs()) {
        Data out;
        ASSERT_EQ(mspack.Expand(szdd::Compress(input.bytes), out), MSPACK_ERR_OK) << input.name;
        EXPECT_EQ(out, input.bytes) << input.name;
    }
}

TEST(Interop, OurFilesExpandWithMsexpand) {
    if (!HaveTool("msexpand")) GTEST_SKIP() << "msexpand is not installed";
    Scratch scratch;
    for (const Input& input : Inputs()) {
        const fs::path packed = scratch.Path(input.name + ".szdd");
        const fs::path expanded = scratch.Path(input.name + ".out");
        WriteFile(packed, szdd::Compress(input.bytes));
        const std::string command =
            "msexpand < '" + packed.string() + "' > '" + expanded.string() + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << input.name;
        EXPECT_EQ(ReadFile(expanded), input.bytes) << input.name;
    }
}

// mscompress mangles inputs shorter than 16 bytes, so only longer ones here.
TEST(Interop, MscompressFilesExpandWithOurs) {
    if (!HaveTool("mscompress")) GTEST_SKIP() << "mscompress is not installed";
    Scratch scratch;
    for (const Input& input : Inputs()) {
        if (input.bytes.size() < 16) continue;
        const fs::path original = scratch.Path(input.name);
        WriteFile(original, input.bytes);
        ASSERT_EQ(std::system(("mscompress '" + original.string() + "' >/dev/null 2>&1").c_str()),
                  0);
        const Data file = ReadFile(original.string() + "_");
        Data fast(input.bytes.size()), plain(input.bytes.size());
        ASSERT_EQ(szdd::Expand(file, fast), static_cast<std::int64_t>(input.bytes.size()))
            << input.name;
        EXPECT_EQ(fast, input.bytes) << input.name;
        EXPECT_EQ(ReferenceExpand(file, plain), static_cast<std::int64_t>(input.bytes.size()));
        // Never larger than what the other tool makes.
        EXPECT_LE(szdd::Compress(input.bytes).size(), file.size()) << input.name;
    }
}

}  // namespace
}  // namespace swk::codec_test
