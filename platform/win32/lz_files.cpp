#include "platform/win32/lz_files.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "platform/szdd.h"
#include "platform/win32/windows_api.h"

namespace swk::win32 {
namespace {

struct LzFile {
    bool open = false;
    std::vector<std::uint8_t> compressed;  // the whole file as read from disk
    bool isSzdd = false;                   // otherwise read back as it is
    std::uint64_t position = 0;            // in the expanded file
};

std::array<LzFile, kMaxOpenLzFiles>& Files() {
    static std::array<LzFile, kMaxOpenLzFiles> files;
    return files;
}

LzFile* Find(INT lzFile) {
    const INT slot = lzFile - kFirstLzHandle;
    if (slot < 0 || slot >= kMaxOpenLzFiles) return nullptr;
    LzFile& file = Files()[static_cast<std::size_t>(slot)];
    return file.open ? &file : nullptr;
}

// Reads the whole file; false when it cannot be opened, is too large or a read fails.
bool ReadWholeFile(const WCHAR* path, std::vector<std::uint8_t>& bytes, ::DWORD& error) {
    ::HANDLE file =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_READ, FILE_SHARE_READ,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == reinterpret_cast<::HANDLE>(static_cast<std::intptr_t>(-1))) {
        error = ::GetLastError();
        return false;
    }
    bool ok = false;
    ::LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
        static_cast<std::uint64_t>(size.QuadPart) <= kMaxCompressedFileSize) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        std::size_t done = 0;
        ok = true;
        while (ok && done < bytes.size()) {
            const ::DWORD chunk =
                static_cast<::DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
            ::DWORD got = 0;
            ok = ::ReadFile(file, bytes.data() + done, chunk, &got, nullptr) && got == chunk;
            done += got;
        }
    }
    if (!ok) error = ::GetLastError();
    ::CloseHandle(file);
    return ok;
}

// The expanded bytes [position, position + out.size()) of an SZDD file. Decoding
// always starts at the beginning of the data; a read from the start decodes
// straight into the caller's buffer.
std::int64_t ExpandRange(const LzFile& file, std::span<std::uint8_t> out) {
    if (file.position == 0) return szdd::Expand(file.compressed, out);
    std::vector<std::uint8_t> scratch;
    const std::uint64_t end = file.position + out.size();
    if (end > std::size_t(-1) / 2) return static_cast<std::int64_t>(szdd::ExpandError::Truncated);
    scratch.resize(static_cast<std::size_t>(end));
    const std::int64_t produced = szdd::Expand(file.compressed, scratch);
    if (produced < 0) return produced;
    if (static_cast<std::uint64_t>(produced) <= file.position) return 0;
    const std::size_t count = static_cast<std::size_t>(produced - file.position);
    std::memcpy(out.data(), scratch.data() + file.position, count);
    return static_cast<std::int64_t>(count);
}

}  // namespace

INT OpenLzFile(const WCHAR* path, OFSTRUCT* record) {
    auto& files = Files();
    auto freeSlot =
        std::find_if(files.begin(), files.end(), [](const LzFile& f) { return !f.open; });
    if (freeSlot == files.end()) return LZERROR_GLOBALLOC;

    LzFile file;
    ::DWORD error = 0;
    if (path == nullptr || !ReadWholeFile(path, file.compressed, error)) {
        if (record != nullptr) record->nErrCode = static_cast<WORD>(error);
        return LZERROR_BADINHANDLE;
    }
    // A file without the SZDD signature is read back unchanged, as the
    // system's LZ layer does with files that were never compressed.
    file.isSzdd = szdd::ReadHeader(file.compressed).has_value();
    file.open = true;
    *freeSlot = std::move(file);
    return kFirstLzHandle + static_cast<INT>(freeSlot - files.begin());
}

INT ReadLzFile(INT lzFile, char* buffer, INT count) {
    LzFile* file = Find(lzFile);
    if (file == nullptr) return LZERROR_BADINHANDLE;
    if (buffer == nullptr || count < 0) return LZERROR_BADVALUE;
    std::span<std::uint8_t> out(reinterpret_cast<std::uint8_t*>(buffer),
                                static_cast<std::size_t>(count));

    std::int64_t produced = 0;
    if (file->isSzdd) {
        produced = ExpandRange(*file, out);
        if (produced == static_cast<std::int64_t>(szdd::ExpandError::BadHeader))
            return LZERROR_UNKNOWNALG;
        if (produced < 0) return LZERROR_READ;
    } else if (file->position < file->compressed.size()) {
        produced = static_cast<std::int64_t>(
            std::min<std::uint64_t>(out.size(), file->compressed.size() - file->position));
        std::memcpy(out.data(), file->compressed.data() + file->position,
                    static_cast<std::size_t>(produced));
    }
    file->position += static_cast<std::uint64_t>(produced);
    return static_cast<INT>(produced);
}

void CloseLzFile(INT lzFile) {
    if (LzFile* file = Find(lzFile)) *file = LzFile{};
}

}  // namespace swk::win32
