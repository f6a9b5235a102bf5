// swk_make_standins OUTDIR: writes the eleven stand-in product files and the
// packer's manifest.txt into OUTDIR (created when missing).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "tools/standins/standins.h"

namespace {

bool WriteBytes(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: swk_make_standins OUTDIR\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "swk_make_standins: cannot create %s: %s\n", argv[1],
                     error.message().c_str());
        return 1;
    }
    for (const auto& file : swk::standins::kStandInFiles) {
        const auto bytes = swk::standins::StandInBytes(file);
        if (bytes.empty() || !WriteBytes(folder / file.name, bytes.data(), bytes.size())) {
            std::fprintf(stderr, "swk_make_standins: cannot write %s\n",
                         std::string(file.name).c_str());
            return 1;
        }
    }
    const std::string manifest = swk::standins::StandInManifest();
    if (!WriteBytes(folder / swk::standins::kManifestName, manifest.data(), manifest.size())) {
        std::fprintf(stderr, "swk_make_standins: cannot write the manifest\n");
        return 1;
    }
    return 0;
}
