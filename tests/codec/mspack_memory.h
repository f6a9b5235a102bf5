// Memory-to-memory SZDD expansion through libmspack, for interoperability tests
// and for the decoder benchmark. libmspack reaches files only through its
// mspack_system callbacks; here a "file name" is the address of a MemoryFile.
#pragma once

#include <mspack.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace swk::codec_test {

struct MemoryFile {
    std::span<const std::uint8_t> input;  // when read
    std::vector<std::uint8_t>* output =
        nullptr;  // when written (appended; reserve ahead for speed)
    std::size_t position = 0;
};

namespace mspack_memory {

inline mspack_file* Open(mspack_system*, const char* name, int) {
    auto* file = reinterpret_cast<MemoryFile*>(const_cast<char*>(name));
    file->position = 0;
    return reinterpret_cast<mspack_file*>(file);
}
inline void Close(mspack_file*) {}
inline int Read(mspack_file* f, void* buffer, int bytes) {
    auto* file = reinterpret_cast<MemoryFile*>(f);
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(bytes), file->input.size() - file->position);
    std::memcpy(buffer, file->input.data() + file->position, n);
    file->position += n;
    return static_cast<int>(n);
}
inline int Write(mspack_file* f, void* buffer, int bytes) {
    auto* file = reinterpret_cast<MemoryFile*>(f);
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    file->output->insert(file->output->end(), p, p + bytes);
    return bytes;
}
inline int Seek(mspack_file* f, off_t offset, int mode) {
    auto* file = reinterpret_cast<MemoryFile*>(f);
    const off_t base = mode == MSPACK_SYS_SEEK_START ? 0
                       : mode == MSPACK_SYS_SEEK_CUR ? static_cast<off_t>(file->position)
                                                     : static_cast<off_t>(file->input.size());
    const off_t to = base + offset;
    if (to < 0 || static_cast<std::size_t>(to) > file->input.size()) return 1;
    file->position = static_cast<std::size_t>(to);
    return 0;
}
inline off_t Tell(mspack_file* f) {
    return static_cast<off_t>(reinterpret_cast<MemoryFile*>(f)->position);
}
inline void Message(mspack_file*, const char*, ...) {}
inline void* Alloc(mspack_system*, size_t bytes) {
    return std::malloc(bytes);
}
inline void Free(void* p) {
    std::free(p);
}
inline void Copy(void* src, void* dst, size_t bytes) {
    std::memmove(dst, src, bytes);
}

inline mspack_system* System() {
    static mspack_system system{Open,    Close, Read, Write, Seek,   Tell,
                                Message, Alloc, Free, Copy,  nullptr};
    return &system;
}

}  // namespace mspack_memory

// Expands a complete SZDD file with libmspack into `out` (cleared first).
// Returns libmspack's error code (MSPACK_ERR_OK = 0 on success).
class MspackSzdd {
public:
    MspackSzdd() : decompressor_(mspack_create_szdd_decompressor(mspack_memory::System())) {}
    ~MspackSzdd() { mspack_destroy_szdd_decompressor(decompressor_); }
    MspackSzdd(const MspackSzdd&) = delete;
    MspackSzdd& operator=(const MspackSzdd&) = delete;

    int Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& out) {
        out.clear();
        MemoryFile in{file, nullptr, 0};
        MemoryFile sink{{}, &out, 0};
        return decompressor_->decompress(decompressor_, reinterpret_cast<const char*>(&in),
                                         reinterpret_cast<const char*>(&sink));
    }

private:
    msszdd_decompressor* decompressor_;
};

}  // namespace swk::codec_test
