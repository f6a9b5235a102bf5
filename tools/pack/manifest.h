// The packer's manifest: which product files go into the container, in which
// order, and the last-write time each one is to receive.
//
//   # a comment; blank lines are skipped
//   bin/swk.exe        2014-09-04 10:49:17.0000000
//   data/help file.bin 2014-09-04 10:45:44.015625
//
// A line is a path, then a date and a time in UTC: YYYY-MM-DD HH:MM:SS with an
// optional fraction of 1 to 7 digits (100-ns ticks). The last two fields are
// the time; the path is the rest of the line with outer blanks removed, so it
// may contain spaces. Relative paths are relative to the manifest's folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swk::pack {

// Ticks of 100 ns between 1601-01-01 and 1970-01-01.
inline constexpr std::int64_t kUnixEpochFileTime = 116444736000000000;

// "YYYY-MM-DD HH:MM:SS.fffffff" (years 1601 to 9999) as a FILETIME.
std::optional<std::uint64_t> ParseFileTime(std::string_view date, std::string_view time);

// A FILETIME as "YYYY-MM-DD HH:MM:SS.fffffff".
std::string FormatFileTime(std::uint64_t fileTime);

struct ManifestEntry {
    std::filesystem::path path;
    std::uint64_t fileTime = 0;
    int line = 0;
};

struct Manifest {
    std::vector<ManifestEntry> entries;
    std::string error;  // "line N: ..." when a line does not parse; empty otherwise
};

Manifest ParseManifest(std::string_view text, const std::filesystem::path& folder);

}  // namespace swk::pack
