#include "tools/pack/manifest.h"

#include <cstdio>

namespace swk::pack {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// Exactly `width` digits at `at`.
std::optional<unsigned> Digits(std::string_view text, std::size_t at, std::size_t width) {
    if (at + width > text.size()) return std::nullopt;
    unsigned value = 0;
    for (std::size_t k = at; k < at + width; ++k) {
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[k] - '0');
    }
    return value;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Splits off the last blank-separated field of `s`.
std::string_view TakeLastField(std::string_view& s) {
    s = Trim(s);
    std::size_t start = s.size();
    while (start > 0 && !IsBlank(s[start - 1])) --start;
    const std::string_view field = s.substr(start);
    s = s.substr(0, start);
    return field;
}

}  // namespace

std::optional<std::uint64_t> ParseFileTime(std::string_view date, std::string_view time) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
    const auto year = Digits(date, 0, 4), month = Digits(date, 5, 2), day = Digits(date, 8, 2);
    if (!year || !month || !day || *year < 1601 || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month)) {
        return std::nullopt;
    }
    if (time.size() < 8 || time[2] != ':' || time[5] != ':') return std::nullopt;
    const auto hour = Digits(time, 0, 2), minute = Digits(time, 3, 2), second = Digits(time, 6, 2);
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    std::int64_t ticks = 0;
    if (time.size() > 8) {
        const std::size_t digits = time.size() - 9;
        if (time[8] != '.' || digits < 1 || digits > 7) return std::nullopt;
        const auto fraction = Digits(time, 9, digits);
        if (!fraction) return std::nullopt;
        ticks = *fraction;
        for (std::size_t k = digits; k < 7; ++k) ticks *= 10;
    }
    const std::int64_t seconds =
        DaysFromCivil(*year, *month, *day) * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second;
    return static_cast<std::uint64_t>(seconds * kTicksPerSecond + ticks + kUnixEpochFileTime);
}

std::string FormatFileTime(std::uint64_t fileTime) {
    const std::int64_t sinceUnix = static_cast<std::int64_t>(fileTime) - kUnixEpochFileTime;
    std::int64_t seconds = sinceUnix / kTicksPerSecond;
    std::int64_t ticks = sinceUnix % kTicksPerSecond;
    if (ticks < 0) {
        ticks += kTicksPerSecond;
        seconds -= 1;
    }
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t secondOfDay = seconds % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        days -= 1;
    }
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld.%07lld",
                  static_cast<long long>(y), m, d, static_cast<long long>(secondOfDay / 3600),
                  static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60), static_cast<long long>(ticks));
    return text;
}

Manifest ParseManifest(std::string_view text, const std::filesystem::path& folder) {
    Manifest manifest;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        const std::string_view time = TakeLastField(line);
        const std::string_view date = TakeLastField(line);
        const std::string_view path = Trim(line);
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (path.empty()) {
            manifest.error = where + "expected <path> <YYYY-MM-DD> <HH:MM:SS.fffffff>";
            return manifest;
        }
        const std::optional<std::uint64_t> fileTime = ParseFileTime(date, time);
        if (!fileTime) {
            manifest.error = where + "bad time \"" + std::string(date) + " " + std::string(time) +
                             "\" (expected YYYY-MM-DD HH:MM:SS with up to 7 fraction digits, UTC)";
            return manifest;
        }
        std::filesystem::path file{std::string(path)};
        if (file.is_relative()) file = folder / file;
        manifest.entries.push_back({file, *fileTime, lineNumber});
    }
    return manifest;
}

}  // namespace swk::pack
