// Whole-run extraction benchmark: ExtractPayload of the corpus container on a
// simulated machine in /tmp, against writing the same bytes with plain file
// writes, plus the run's peak heap use against the buffers the extraction must
// hold (container copy + one compressed image + the output buffer + one file).
// Times are medians of several runs; compare the printed ratios, which come from
// the same run, never absolute times across runs.
//
//   swk_bench_extraction [corpus folder] [runs]
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "paths/text.h"
#include "payload/container.h"
#include "payload/extraction.h"
#include "payload/file_utils.h"
#include "platform/sim/simulated_machine.h"
#include "platform/system_services.h"
#include "platform/szdd.h"
#include "tools/pack/szdd_encoder.h"

// ---- Counting allocator: current and peak bytes on the heap ------------------------
namespace {
std::atomic<std::size_t> gCurrent{0};
std::atomic<std::size_t> gPeak{0};

void* CountedAlloc(std::size_t size) {
    void* block = std::malloc(size + 16);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = gCurrent += size;
    std::size_t peak = gPeak.load();
    while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + 16;
}

void CountedFree(void* pointer) {
    if (pointer == nullptr) return;
    void* block = static_cast<char*>(pointer) - 16;
    gCurrent -= *static_cast<std::size_t*>(block);
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
    return CountedAlloc(size);
}
void* operator new[](std::size_t size) {
    return CountedAlloc(size);
}
void operator delete(void* pointer) noexcept {
    CountedFree(pointer);
}
void operator delete[](void* pointer) noexcept {
    CountedFree(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    CountedFree(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    CountedFree(pointer);
}

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The product files in container order, with the folder each goes to.
struct Product {
    const char* name;
    const char* folder;
};
constexpr Product kProducts[] = {
    {"swk.exe", "C:\\Program Files\\Stashwick\\"},
    {"swkh.exe", "C:\\Program Files\\Stashwick\\"},
    {"Uninstall.exe", "C:\\Program Files\\Stashwick\\"},
    {"swk.dll", "C:\\Program Files\\Stashwick\\"},
    {"swk.ocx", "C:\\Program Files\\Stashwick\\"},
    {"help.bin", "C:\\ProgramData\\Stashwick\\"},
    {"swk.bin", "C:\\ProgramData\\Stashwick\\"},
    {"samples1.swk", "C:\\ProgramData\\Stashwick\\"},
    {"samples2.swk", "C:\\ProgramData\\Stashwick\\"},
    {"samples3.swk", "C:\\ProgramData\\Stashwick\\"},
    {"cmptree.exe", "C:\\Program Files\\Stashwick\\"},
};
constexpr const char* kTemporaryPath = "C:\\Users\\User\\AppData\\Local\\Stashwick\\prog.tmp";

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

struct Corpus {
    std::vector<Bytes> files;
    Bytes container;
    std::size_t largestStream = 0;
    std::size_t largestFile = 0;
};

// Packs the corpus as the packer does: time, then the SZDD file without its first
// four bytes, behind its length; the end marker last. Cached in /tmp, as the
// encoder's optimal parse takes a while.
Corpus PackCorpus(const std::filesystem::path& folder) {
    Corpus corpus;
    for (const Product& p : kProducts) corpus.files.push_back(ReadAll(folder / p.name));
    const auto cache = std::filesystem::temp_directory_path() / "swk-bench-corpus-container.bin";
    if (std::filesystem::exists(cache)) corpus.container = ReadAll(cache);
    std::uint64_t fileTime = 0x01CFC82DB4AEB480ull;
    if (corpus.container.empty()) {
        for (const Bytes& file : corpus.files) {
            const Bytes szdd = swk::szdd::Compress(file);
            PutU32(corpus.container, static_cast<std::uint32_t>(fileTime));
            PutU32(corpus.container, static_cast<std::uint32_t>(fileTime >> 32));
            PutU32(corpus.container, static_cast<std::uint32_t>(szdd.size() - 4));
            corpus.container.insert(corpus.container.end(), szdd.begin() + 4, szdd.end());
            fileTime += 6'718'750;
        }
        PutU32(corpus.container, 0);
        std::ofstream(cache, std::ios::binary)
            .write(reinterpret_cast<const char*>(corpus.container.data()),
                   static_cast<std::streamsize>(corpus.container.size()));
    }
    // Walk the container once for the largest stream.
    swk::PayloadContainer walk(corpus.container);
    swk::WalkContainer(walk, std::size(kProducts), [&](std::size_t, const swk::PayloadEntry& e) {
        corpus.largestStream = std::max(corpus.largestStream, e.stream.size());
        return true;
    });
    for (const Bytes& file : corpus.files)
        corpus.largestFile = std::max(corpus.largestFile, file.size());
    return corpus;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Peak heap of the system's LZ layer alone (the simulated one keeps its own copy
// of the compressed file), for the largest entry, with the output buffer already
// allocated: the part of the run's peak that is not the extraction's. Measured on
// a machine of its own, so that a buffer the layer kept from earlier runs is
// counted as the layer's.
std::size_t LzLayerPeak(const Corpus& corpus, const std::filesystem::path& folder,
                        const char* temporaryPath) {
    auto machine = swk::sim::SimulatedMachine::Create(folder, swk::sim::MachineProfile{});
    swk::ScopedSystemServices services(*machine);
    machine->PutFolder("C:\\Users\\User\\AppData\\Local\\Stashwick");
    swk::PayloadContainer walk(corpus.container);
    std::vector<std::uint8_t> image;
    swk::WalkContainer(walk, std::size(kProducts), [&](std::size_t, const swk::PayloadEntry& e) {
        if (e.stream.size() == corpus.largestStream) swk::RebuildCompressedFile(image, e.stream);
        return true;
    });
    swk::WriteNewFile(temporaryPath, image);
    std::vector<char> output(swk::kExtractionBufferSize);
    const swk::WideText path = swk::Utf8ToUtf16(temporaryPath);
    const std::size_t base = gCurrent.load();
    gPeak = base;
    swk::OFSTRUCT record{};
    record.cBytes = 136;
    record.fFixedDisk = 1;
    const swk::INT lzFile =
        swk::Sys().LZOpenFileW(path.get(), &record, swk::OF_READ | swk::OF_SHARE_DENY_WRITE);
    swk::Sys().LZRead(lzFile, output.data(), static_cast<swk::INT>(output.size()));
    swk::Sys().LZClose(lzFile);
    const std::size_t peak = gPeak.load() - base;
    swk::Sys().DeleteFileW(path.get());
    return peak;
}

long MaxRssKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The least this extraction's steps can cost: for each entry, the compressed file
// written to a temporary file and read back, expanded by the same decoder, and the
// target written, all with plain file calls, no system layer in between, and every
// buffer allocated and touched before the clock starts (the extraction itself pays
// for fresh pages, which on these machines cost microseconds each).
class PlainSteps {
public:
    PlainSteps(const Corpus& corpus, std::filesystem::path folder)
        : corpus_(corpus), folder_(std::move(folder)) {
        image_.reserve(corpus.largestStream + 16);
        readBack_.resize(corpus.largestStream + 16);
        output_.resize(swk::kExtractionBufferSize);
        std::filesystem::create_directories(folder_);
    }

    void Run() {
        const auto temporary = folder_ / "prog.tmp";
        swk::PayloadContainer walk(corpus_.container);
        swk::WalkContainer(
            walk, std::size(kProducts), [&](std::size_t k, const swk::PayloadEntry& e) {
                swk::RebuildCompressedFile(image_, e.stream);
                WriteFile(temporary, image_);
                std::ifstream(temporary, std::ios::binary)
                    .read(reinterpret_cast<char*>(readBack_.data()),
                          static_cast<std::streamsize>(image_.size()));
                const std::int64_t count = swk::szdd::Expand(
                    std::span<const std::uint8_t>(readBack_.data(), image_.size()), output_);
                WriteFile(folder_ / kProducts[k].name,
                          std::span<const std::uint8_t>(
                              output_.data(),
                              static_cast<std::size_t>(std::max<std::int64_t>(count, 0))));
                return true;
            });
        std::filesystem::remove(temporary);
    }

private:
    static void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    const Corpus& corpus_;
    std::filesystem::path folder_;
    Bytes image_, readBack_, output_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path corpusFolder = argc > 1 ? argv[1] : "/work/shared/bench/corpus";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const Corpus corpus = PackCorpus(corpusFolder);
    std::size_t totalBytes = 0;
    for (const Bytes& file : corpus.files) totalBytes += file.size();

    const auto root = std::filesystem::temp_directory_path() /
                      ("swk-bench-extraction-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    auto machine = swk::sim::SimulatedMachine::Create(root / "machine", swk::sim::MachineProfile{});
    swk::ScopedSystemServices services(*machine);
    machine->PutFolder("C:\\Program Files\\Stashwick");
    machine->PutFolder("C:\\ProgramData\\Stashwick");
    machine->PutFolder("C:\\Users\\User\\AppData\\Local\\Stashwick");
    machine->SetOwnModule("C:\\Setup\\StashwickSetup.exe",
                          {{swk::kPayloadResourceId, corpus.container}}, {});
    std::vector<std::string> targets;
    for (const Product& p : kProducts) targets.push_back(std::string(p.folder) + p.name);

    // Plain writes of the same bytes, for the baseline.
    const auto plainFolder = root / "plain";
    std::filesystem::create_directories(plainFolder);
    PlainSteps plainSteps(corpus, root / "floor");
    plainSteps.Run();  // the files exist, as the plain writes' files do after their first run
    std::vector<double> extractSeconds, plainSeconds, floorSeconds, extractCpu, plainCpu;
    std::size_t extraPeak = 0;
    long rssDelta = 0;
    for (int run = 0; run < runs; ++run) {
        const long rssBefore = MaxRssKilobytes();
        const std::size_t base = gCurrent.load();
        gPeak = base;
        const auto start = Clock::now();
        const double cpuStart = CpuSeconds();
        const bool done = swk::ExtractPayload(targets, kTemporaryPath, swk::kPayloadResourceId);
        extractCpu.push_back(CpuSeconds() - cpuStart);
        extractSeconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        extraPeak = std::max(extraPeak, gPeak.load() - base);
        if (run == 0) rssDelta = MaxRssKilobytes() - rssBefore;
        if (!done) {
            std::fprintf(stderr, "extraction failed\n%s\n", machine->Describe().c_str());
            return 1;
        }

        const auto plainStart = Clock::now();
        const double plainCpuStart = CpuSeconds();
        for (std::size_t k = 0; k < corpus.files.size(); ++k) {
            std::ofstream out(plainFolder / kProducts[k].name, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(corpus.files[k].data()),
                      static_cast<std::streamsize>(corpus.files[k].size()));
        }
        plainCpu.push_back(CpuSeconds() - plainCpuStart);
        plainSeconds.push_back(std::chrono::duration<double>(Clock::now() - plainStart).count());

        const auto floorStart = Clock::now();
        plainSteps.Run();
        floorSeconds.push_back(std::chrono::duration<double>(Clock::now() - floorStart).count());
    }
    // The extracted files must be the corpus, byte for byte.
    for (std::size_t k = 0; k < corpus.files.size(); ++k) {
        if (machine->ReadFileBytes(targets[k]) != corpus.files[k]) {
            std::fprintf(stderr, "%s differs from the corpus\n", targets[k].c_str());
            return 1;
        }
    }

    const std::size_t prescribed = corpus.container.size() + (corpus.largestStream + 4) +
                                   swk::kExtractionBufferSize + corpus.largestFile;
    const std::size_t lzPeak = LzLayerPeak(corpus, root / "lz-machine", kTemporaryPath);
    // The output buffer comes from calloc, which the counting allocator does not
    // see: it is counted whole here, although only its touched pages take memory.
    const std::size_t runPeak = extraPeak + swk::kExtractionBufferSize;
    const std::size_t ownPeak = runPeak - std::min(lzPeak, runPeak);
    const double extract = Median(extractSeconds), plain = Median(plainSeconds);
    const double extractCpuMedian = Median(extractCpu), plainCpuMedian = Median(plainCpu);
    const double mb = static_cast<double>(totalBytes) / 1e6;
    std::printf("corpus: %zu bytes in %zu files, container %zu bytes, %d runs (medians)\n",
                totalBytes, corpus.files.size(), corpus.container.size(), runs);
    std::printf("extraction:   wall %8.1f ms (%6.1f MB/s)   cpu %8.1f ms (%6.1f MB/s)\n",
                extract * 1e3, mb / extract, extractCpuMedian * 1e3, mb / extractCpuMedian);
    std::printf("plain writes: wall %8.1f ms (%6.1f MB/s)   cpu %8.1f ms (%6.1f MB/s)\n",
                plain * 1e3, mb / plain, plainCpuMedian * 1e3, mb / plainCpuMedian);
    std::printf("ratio extraction / plain writes: wall %.2f, cpu %.2f\n", extract / plain,
                extractCpuMedian / plainCpuMedian);
    const double floorWall = Median(floorSeconds);
    std::printf(
        "the same steps with plain calls (temporary file, decoder, target): wall %8.1f ms\n",
        floorWall * 1e3);
    std::printf(
        "  ratio to plain writes %.2f (no extraction of this design gets below it); "
        "extraction / these steps %.2f\n",
        floorWall / plain, extract / floorWall);
    std::printf(
        "prescribed buffers (container + largest image + output + largest file): %zu bytes\n",
        prescribed);
    std::printf("peak heap of the whole run (output buffer counted whole): %zu bytes, ratio %.3f\n",
                runPeak, static_cast<double>(runPeak) / static_cast<double>(prescribed));
    std::printf("  of which the simulated LZ layer's own copies: %zu bytes\n", lzPeak);
    std::printf("  the extraction's own peak: %zu bytes, ratio %.3f (target <= 1.10)\n", ownPeak,
                static_cast<double>(ownPeak) / static_cast<double>(prescribed));
    std::printf("max RSS growth in the first run: %ld KiB\n", rssDelta);

    machine.reset();
    std::filesystem::remove_all(root);
    return 0;
}
