// Codec benchmark on the corpus: decoding speed of ours against libmspack's SZDD
// decompressor (both memory to memory, into buffers already touched), our
// compression speed, and compressed sizes against mscompress and against the
// exact optimum. Speeds are medians of repeated runs, in bytes per second of the
// process's CPU time (the machine is shared, wall-clock time mostly measures the
// neighbours); decoding alternates between the two decoders. The closing report
// prints ratios from this one run, which is what to compare.
//
//   swk_bench_codec [--corpus DIR] [--no-mscompress] [benchmark flags]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/szdd.h"
#include "tests/codec/mspack_memory.h"
#include "tests/codec/szdd_fixtures.h"
#include "tools/pack/szdd_encoder.h"

namespace {

namespace fs = std::filesystem;
using Data = std::vector<std::uint8_t>;

constexpr std::size_t kOptimumPrefix =
    64 * 1024;  // brute force is slow: checked on each file's start
constexpr int kRepetitions = 5;

struct CorpusFile {
    std::string name;
    Data bytes;
    Data szdd;  // ours
};

std::vector<CorpusFile>& Corpus() {
    static std::vector<CorpusFile> corpus;
    return corpus;
}

std::size_t CorpusBytes() {
    std::size_t total = 0;
    for (const CorpusFile& f : Corpus()) total += f.bytes.size();
    return total;
}

void DecodeOurs(benchmark::State& state) {
    Data out(20'000'000, 0);  // touched once, like the setup's buffer
    for (auto _ : state) {
        for (const CorpusFile& f : Corpus()) {
            if (swk::szdd::Expand(f.szdd, out) != static_cast<std::int64_t>(f.bytes.size()))
                state.SkipWithError("decode");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(CorpusBytes()));
}

void DecodeLibmspack(benchmark::State& state) {
    swk::codec_test::MspackSzdd mspack;
    Data out;
    out.reserve(20'000'000);
    std::fill_n(std::back_inserter(out), 20'000'000, 0);  // touch the capacity
    for (auto _ : state) {
        for (const CorpusFile& f : Corpus()) {
            if (mspack.Expand(f.szdd, out) != MSPACK_ERR_OK || out.size() != f.bytes.size())
                state.SkipWithError("decode");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(CorpusBytes()));
}

void Compress(benchmark::State& state) {
    for (auto _ : state) {
        for (const CorpusFile& f : Corpus())
            benchmark::DoNotOptimize(swk::szdd::Compress(f.bytes).data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(CorpusBytes()));
}

// Collects the corpus throughput of every run, by benchmark name.
class ThroughputCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const double iterations = static_cast<double>(run.iterations);
            const double bytes = static_cast<double>(CorpusBytes());
            cpu_[run.run_name.function_name].push_back(bytes /
                                                       (run.cpu_accumulated_time / iterations));
            wall_[run.run_name.function_name].push_back(bytes /
                                                        (run.real_accumulated_time / iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Median throughput in bytes per second of the process's CPU time (what
    // the report uses: the machine is shared) or of wall-clock time.
    double Median(const std::string& name) const { return MedianOf(cpu_.at(name)); }
    double WallMedian(const std::string& name) const { return MedianOf(wall_.at(name)); }

private:
    static double MedianOf(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    std::map<std::string, std::vector<double>> cpu_;
    std::map<std::string, std::vector<double>> wall_;
};

// Total stream bytes mscompress makes of the corpus, and the CPU time it takes.
struct OtherTool {
    std::uint64_t streamBytes = 0;
    double seconds = 0;
};

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::optional<OtherTool> RunMscompress() {
    if (std::system("command -v mscompress >/dev/null") != 0) return std::nullopt;
    const fs::path dir =
        fs::temp_directory_path() / ("swk_bench_codec_" + std::to_string(getpid()));
    fs::create_directories(dir);
    OtherTool tool;
    for (const CorpusFile& f : Corpus()) {
        const fs::path copy = dir / f.name;
        std::ofstream(copy, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size());
        const double start = ChildrenCpuSeconds();
        if (std::system(("mscompress '" + copy.string() + "' >/dev/null 2>&1").c_str()) != 0)
            return std::nullopt;
        tool.seconds += ChildrenCpuSeconds() - start;
        tool.streamBytes += fs::file_size(copy.string() + "_") - 4;
    }
    fs::remove_all(dir);
    return tool;
}

void PrintReport(const ThroughputCollector& medians, const std::optional<OtherTool>& mscompress) {
    const double mb = 1e6;
    const double ours = medians.Median("DecodeOurs");
    const double theirs = medians.Median("DecodeLibmspack");
    const double compress = medians.Median("Compress");
    std::uint64_t ourStreams = 0, prefixOurs = 0, prefixOptimum = 0;
    for (const CorpusFile& f : Corpus()) {
        ourStreams += f.szdd.size() - 4;
        const std::span<const std::uint8_t> prefix(f.bytes.data(),
                                                   std::min(f.bytes.size(), kOptimumPrefix));
        prefixOurs += swk::szdd::Compress(prefix).size() - swk::szdd::kHeaderSize;
        prefixOptimum += (swk::codec_test::BruteOptimalBits(prefix) + 7) / 8;
    }
    std::printf(
        "\n== Codec report (%zu files, %zu bytes; medians of %d runs, MB/s of process CPU time)\n",
        Corpus().size(), CorpusBytes(), kRepetitions);
    std::printf("decode, ours          %8.0f MB/s\n", ours / mb);
    std::printf("decode, libmspack     %8.0f MB/s\n", theirs / mb);
    std::printf("decode ratio          %8.2f x libmspack (target 6); by wall-clock time %.2f x\n",
                ours / theirs,
                medians.WallMedian("DecodeOurs") / medians.WallMedian("DecodeLibmspack"));
    std::printf("compress, ours        %8.1f MB/s (target 20)\n", compress / mb);
    std::printf("stream bytes, ours    %8llu\n", static_cast<unsigned long long>(ourStreams));
    if (mscompress) {
        std::printf("stream bytes, mscompress %5llu  (ours/mscompress %.4f)\n",
                    static_cast<unsigned long long>(mscompress->streamBytes),
                    double(ourStreams) / mscompress->streamBytes);
        const double theirSpeed = CorpusBytes() / mscompress->seconds / mb;
        std::printf("compress, mscompress  %8.2f MB/s (ours %.0f x faster)\n", theirSpeed,
                    compress / mb / theirSpeed);
    } else {
        std::printf("mscompress: not run\n");
    }
    std::printf(
        "optimum check         first %zu KiB of each file: ours %llu data bytes, brute-force "
        "optimum %llu (%s)\n",
        kOptimumPrefix / 1024, static_cast<unsigned long long>(prefixOurs),
        static_cast<unsigned long long>(prefixOptimum),
        prefixOurs == prefixOptimum ? "equal" : "DIFFERENT");
}

}  // namespace

int main(int argc, char** argv) {
    fs::path corpusDir = "/work/shared/bench/corpus";
    bool withMscompress = true;
    std::vector<char*> rest = {argv[0]};
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--corpus" && k + 1 < argc) {
            corpusDir = argv[++k];
        } else if (arg == "--no-mscompress") {
            withMscompress = false;
        } else {
            rest.push_back(argv[k]);
        }
    }
    static const char* kOrder[] = {"swk.exe",      "swkh.exe",     "Uninstall.exe", "swk.dll",
                                   "swk.ocx",      "help.bin",     "swk.bin",       "samples1.swk",
                                   "samples2.swk", "samples3.swk", "cmptree.exe"};
    for (const char* name : kOrder) {
        std::ifstream in(corpusDir / name, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "missing corpus file %s\n", (corpusDir / name).c_str());
            return 1;
        }
        CorpusFile f{name, Data(std::istreambuf_iterator<char>(in), {}), {}};
        f.szdd = swk::szdd::Compress(f.bytes);
        Corpus().push_back(std::move(f));
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    // Decoding alternates between the two decoders, so both see the same load.
    for (int k = 0; k < kRepetitions; ++k) {
        benchmark::RegisterBenchmark("DecodeOurs", DecodeOurs)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("DecodeLibmspack", DecodeLibmspack)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Compress", Compress)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(kRepetitions);
    ThroughputCollector medians;
    benchmark::RunSpecifiedBenchmarks(&medians);
    const std::optional<OtherTool> mscompress = withMscompress ? RunMscompress() : std::nullopt;
    PrintReport(medians, mscompress);
    return 0;
}
