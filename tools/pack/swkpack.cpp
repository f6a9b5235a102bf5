// swkpack: builds and checks the setup's payload container, and compresses or
// expands single SZDD files. See Usage() for the commands.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/szdd.h"
#include "tools/pack/container_file.h"
#include "tools/pack/manifest.h"
#include "tools/pack/szdd_encoder.h"

namespace fs = std::filesystem;
using namespace swk::pack;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] = R"(usage:
  swkpack pack MANIFEST OUT          build a payload container from the files a manifest lists
  swkpack list CONTAINER             show each entry: number, time, stream and expanded length, ratio
  swkpack verify CONTAINER           expand every entry and check it against its header
  swkpack extract CONTAINER DIR [MANIFEST]
                                     write every entry to DIR with its time; names from the
                                     manifest when given (its file names, in order), else 01, 02 ...
  swkpack compress IN OUT            write IN as one SZDD file (mode 'A', smallest possible)
  swkpack expand IN OUT              expand one SZDD file

Manifest: one product file per line, in container order:
  <path> <YYYY-MM-DD> <HH:MM:SS[.fffffff]>
The time is the file's last-write time in UTC, with up to 7 fraction digits
(100-ns ticks). The path is everything before the date (it may contain spaces);
relative paths are relative to the manifest's folder. Lines starting with '#'
and blank lines are skipped. Example:
  # file              last-write time (UTC)
  bin/swk.exe         2014-09-04 10:49:17.0000000
  data/help.bin       2014-09-04 10:45:44.015625

Container: per entry a u64 FILETIME (low half first), a u32 stream length and the
SZDD file without its first 4 bytes; then a u32 0. Files over 20,000,000 bytes and
empty files (the setup takes an entry that expands to nothing for a failure) are
refused. The same manifest and files always give the same bytes.
Progress lines appear when the output is a terminal. Exit status: 0 success,
1 failure (message on stderr), 2 wrong usage.
)";

int Fail(const std::string& message) {
    std::fprintf(stderr, "swkpack: %s\n", message.c_str());
    return kExitFailed;
}

bool ShowProgress() {
    return isatty(STDOUT_FILENO) != 0;
}

// The whole file, or nothing with `error` set; refuses files over `maxBytes`.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const fs::path& path, std::uint64_t maxBytes,
                                                       std::string& error) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        error = path.string() + ": no such file";
        return std::nullopt;
    }
    const std::uint64_t size = fs::file_size(path, ec);
    if (ec) {
        error = path.string() + ": " + ec.message();
        return std::nullopt;
    }
    if (size > maxBytes) {
        error = path.string() + ": " + std::to_string(size) + " bytes, more than the limit of " +
                std::to_string(maxBytes);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(size);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = path.string() + ": cannot be read";
        return std::nullopt;
    }
    return bytes;
}

bool WriteWholeFile(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) error = path.string() + ": cannot be written";
    return static_cast<bool>(out);
}

bool SetLastWriteTime(const fs::path& path, std::uint64_t fileTime, std::string& error) {
    const std::int64_t sinceUnix = static_cast<std::int64_t>(fileTime) - kUnixEpochFileTime;
    std::int64_t seconds = sinceUnix / 10'000'000;
    std::int64_t ticks = sinceUnix % 10'000'000;
    if (ticks < 0) {
        ticks += 10'000'000;
        seconds -= 1;
    }
    const timespec times[2] = {{0, UTIME_OMIT},
                               {static_cast<time_t>(seconds), static_cast<long>(ticks * 100)}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        error = path.string() + ": cannot set its time";
        return false;
    }
    return true;
}

std::optional<Manifest> LoadManifest(const fs::path& path, std::string& error) {
    const auto text = ReadWholeFile(path, 1 << 20, error);
    if (!text) return std::nullopt;
    Manifest manifest =
        ParseManifest(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()),
                      path.parent_path());
    if (!manifest.error.empty()) {
        error = path.string() + ": " + manifest.error;
        return std::nullopt;
    }
    return manifest;
}

std::optional<ContainerView> LoadContainer(const fs::path& path, std::vector<std::uint8_t>& bytes,
                                           std::string& error) {
    auto read = ReadWholeFile(path, std::uint64_t{1} << 32, error);
    if (!read) return std::nullopt;
    bytes = std::move(*read);
    return ReadContainer(bytes);
}

int Pack(const fs::path& manifestPath, const fs::path& outPath) {
    std::string error;
    const auto manifest = LoadManifest(manifestPath, error);
    if (!manifest) return Fail(error);
    std::vector<PackedEntry> entries;
    for (const ManifestEntry& item : manifest->entries) {
        const auto content = ReadWholeFile(item.path, kMaxFileLength, error);
        const std::string where =
            manifestPath.string() + ": line " + std::to_string(item.line) + ": ";
        if (!content) return Fail(where + error);
        // The setup takes an entry that expands to nothing for a failed one.
        if (content->empty())
            return Fail(where + item.path.string() +
                        ": empty; the setup cannot install an empty file");
        entries.push_back({item.fileTime, MakeStream(*content)});
        if (ShowProgress()) {
            std::printf("%2zu  %s  %10zu -> %10zu  %s\n", entries.size(),
                        FormatFileTime(item.fileTime).c_str(), content->size(),
                        entries.back().stream.size(), item.path.string().c_str());
        }
    }
    if (!WriteWholeFile(outPath, WriteContainer(entries), error)) return Fail(error);
    return kExitOk;
}

std::string EntryName(std::size_t number, const EntryView& entry) {
    return "entry " + std::to_string(number) + " (offset " + std::to_string(entry.offset) + ")";
}

// The table of entries. Each entry is expanded too, so that a damaged one is
// marked and makes the listing fail.
int List(const fs::path& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    const auto view = LoadContainer(path, bytes, error);
    if (!view) return Fail(error);
    std::printf(" #  last-write time (UTC)           stream bytes  expanded bytes  ratio\n");
    std::string damage;
    for (std::size_t k = 0; k < view->entries.size(); ++k) {
        const EntryView& entry = view->entries[k];
        const std::vector<std::uint8_t> file = RebuildSzddFile(entry.stream);
        const auto header = swk::szdd::ReadHeader(file);
        const Expanded expanded = ExpandSzddFile(file, kMaxFileLength);
        const std::string time = FormatFileTime(entry.fileTime);
        if (!expanded.error.empty()) {
            std::printf("%2zu  %s  %12zu  %14s\n", k + 1, time.c_str(), entry.stream.size(),
                        "(damaged)");
            if (damage.empty()) damage = EntryName(k + 1, entry) + ": " + expanded.error;
            continue;
        }
        const double ratio = double(entry.stream.size()) / double(header->expandedLength);
        std::printf("%2zu  %s  %12zu  %14u  %.3f\n", k + 1, time.c_str(), entry.stream.size(),
                    header->expandedLength, ratio);
    }
    if (!view->error.empty()) return Fail(path.string() + ": " + view->error);
    std::printf("end marker at offset %zu, container %zu bytes\n", bytes.size() - kEndMarkerSize,
                bytes.size());
    if (!damage.empty()) return Fail(path.string() + ": " + damage);
    return kExitOk;
}

// Expands every entry; calls `use(k, entry, bytes)` for each good one.
template <typename Use>
int ForEachExpandedEntry(const fs::path& path, Use use) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    const auto view = LoadContainer(path, bytes, error);
    if (!view) return Fail(error);
    for (std::size_t k = 0; k < view->entries.size(); ++k) {
        const EntryView& entry = view->entries[k];
        const Expanded expanded = ExpandSzddFile(RebuildSzddFile(entry.stream), kMaxFileLength);
        if (!expanded.error.empty())
            return Fail(path.string() + ": " + EntryName(k + 1, entry) + ": " + expanded.error);
        if (!use(k, entry, expanded.bytes, error)) return Fail(error);
    }
    if (!view->error.empty()) return Fail(path.string() + ": " + view->error);
    return kExitOk;
}

int Verify(const fs::path& path) {
    std::uint64_t total = 0;
    std::size_t count = 0;
    const int status = ForEachExpandedEntry(path, [&](std::size_t k, const EntryView& entry,
                                                      const std::vector<std::uint8_t>& content,
                                                      std::string&) {
        total += content.size();
        ++count;
        if (ShowProgress())
            std::printf("%2zu  ok  %10zu -> %10zu\n", k + 1, entry.stream.size(), content.size());
        return true;
    });
    if (status == kExitOk)
        std::printf("%s: %zu entries, %llu bytes expanded, all match their headers\n",
                    path.string().c_str(), count, static_cast<unsigned long long>(total));
    return status;
}

int Extract(const fs::path& path, const fs::path& dir,
            const std::optional<fs::path>& manifestPath) {
    std::string error;
    std::optional<Manifest> manifest;
    if (manifestPath) {
        manifest = LoadManifest(*manifestPath, error);
        if (!manifest) return Fail(error);
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) return Fail(dir.string() + ": not a folder");
    return ForEachExpandedEntry(
        path, [&](std::size_t k, const EntryView& entry, const std::vector<std::uint8_t>& content,
                  std::string& failure) {
            char number[16];
            std::snprintf(number, sizeof number, "%02zu", k + 1);
            fs::path name = number;
            if (manifest) {
                if (k >= manifest->entries.size()) {
                    failure = "the manifest names fewer files than the container holds";
                    return false;
                }
                name = manifest->entries[k].path.filename();
            }
            const fs::path target = dir / name;
            if (!WriteWholeFile(target, content, failure) ||
                !SetLastWriteTime(target, entry.fileTime, failure)) {
                return false;
            }
            if (ShowProgress())
                std::printf("%2zu  %s  %s\n", k + 1, FormatFileTime(entry.fileTime).c_str(),
                            target.c_str());
            return true;
        });
}

int CompressFile(const fs::path& in, const fs::path& out) {
    std::string error;
    const auto content = ReadWholeFile(in, swk::szdd::kMaxEncodeLength, error);
    if (!content) return Fail(error);
    if (!WriteWholeFile(out, swk::szdd::Compress(*content), error)) return Fail(error);
    return kExitOk;
}

int ExpandFile(const fs::path& in, const fs::path& out) {
    std::string error;
    const auto file = ReadWholeFile(in, std::uint64_t{1} << 32, error);
    if (!file) return Fail(error);
    const Expanded expanded = ExpandSzddFile(*file, swk::szdd::kMaxEncodeLength);
    if (!expanded.error.empty()) return Fail(in.string() + ": " + expanded.error);
    if (!WriteWholeFile(out, expanded.bytes, error)) return Fail(error);
    return kExitOk;
}

int Usage(FILE* to, int status) {
    std::fputs(kUsage, to);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage(stderr, kExitUsage);
    const std::string& command = args[0];
    const std::size_t operands = args.size() - 1;
    if (command == "--help" || command == "-h" || command == "help") return Usage(stdout, kExitOk);
    if (command == "pack" && operands == 2) return Pack(args[1], args[2]);
    if (command == "list" && operands == 1) return List(args[1]);
    if (command == "verify" && operands == 1) return Verify(args[1]);
    if (command == "extract" && (operands == 2 || operands == 3)) {
        return Extract(args[1], args[2],
                       operands == 3 ? std::optional<fs::path>(args[3]) : std::nullopt);
    }
    if (command == "compress" && operands == 2) return CompressFile(args[1], args[2]);
    if (command == "expand" && operands == 2) return ExpandFile(args[1], args[2]);
    return Usage(stderr, kExitUsage);
}
