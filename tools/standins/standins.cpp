#include "tools/standins/standins.h"

#include "tools/standins/pe_writer.h"

namespace swk::standins {
namespace {

constexpr std::array<std::string_view, 24> kWords = {
    "saved",  "page",    "archive",  "link",     "title", "note",  "folder", "image",
    "text",   "search",  "index",    "bookmark", "web",   "copy",  "keep",   "date",
    "source", "address", "category", "comment",  "table", "frame", "style",  "layout"};

// FNV-1a of the name seeds each file's own word sequence.
std::uint32_t Seed(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return hash;
}

std::string Note(const StandInFile& file) {
    return "Stashwick sample payload: stand-in for " + std::string(file.name) + ", " +
           std::string(file.role) + ". It holds no product code or data; it gives the setup " +
           "something to unpack when it is built without the product files.";
}

// The note, then numbered lines of words from a fixed linear congruential sequence,
// cut to exactly `file.dataBytes` bytes.
std::vector<std::uint8_t> DataText(const StandInFile& file) {
    std::string text = Note(file) + "\r\n\r\n";
    std::uint32_t state = Seed(file.name);
    for (int line = 1; text.size() < file.dataBytes; ++line) {
        text += "entry " + std::to_string(line) + ":";
        for (int word = 0; word < 8; ++word) {
            state = state * 1664525u + 1013904223u;
            text += ' ';
            text += kWords[(state >> 16) % kWords.size()];
        }
        text += "\r\n";
    }
    text.resize(file.dataBytes);
    return {text.begin(), text.end()};
}

}  // namespace

std::vector<std::uint8_t> StandInBytes(const StandInFile& file) {
    switch (file.kind) {
        case StandInKind::Program:
            return BuildPe32Image({.dll = false,
                                   .moduleName = std::string(file.name),
                                   .note = Note(file),
                                   .exports = {}});
        case StandInKind::Component:
            return BuildPe32Image(
                {.dll = true,
                 .moduleName = std::string(file.name),
                 .note = Note(file),
                 .exports = {kComponentExports.begin(), kComponentExports.end()}});
        case StandInKind::Data:
            return DataText(file);
    }
    return {};
}

std::string StandInManifest() {
    std::string text =
        "# Stand-in product files of the Linux sample payload, in container order.\n"
        "# <file> <last-write time, UTC>\n";
    for (const StandInFile& file : kStandInFiles) {
        text += std::string(file.name) + " " + std::string(file.fileTime) + "\n";
    }
    return text;
}

}  // namespace swk::standins
