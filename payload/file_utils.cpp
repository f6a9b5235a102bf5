#include "payload/file_utils.h"

#include <limits>

#include "paths/text.h"
#include "platform/system_services.h"

namespace swk {
namespace {

HANDLE OpenForWriting(std::string_view path, DWORD shareMode, DWORD creation) {
    const WideText widePath = Utf8ToUtf16(path);
    if (widePath.get() == nullptr) return INVALID_HANDLE_VALUE;  // an empty path names no file
    return Sys().CreateFileW(widePath.get(), GENERIC_WRITE, shareMode, nullptr, creation,
                             FILE_ATTRIBUTE_NORMAL, NO_HANDLE);
}

}  // namespace

HANDLE CreateFileForWriting(std::string_view path) {
    return OpenForWriting(path, FILE_SHARE_READ, CREATE_ALWAYS);
}

HANDLE OpenFileForWriting(std::string_view path) {
    return OpenForWriting(path, FILE_SHARE_READ, OPEN_EXISTING);
}

bool WriteBuffer(HANDLE file, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
    const DWORD size = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!Sys().WriteFile(file, bytes.data(), size, &written, nullptr)) return false;
    // A call that succeeds but writes less (a full disk) has not written the file.
    return written == size;
}

bool WriteNewFile(std::string_view path, std::span<const std::uint8_t> bytes) {
    const HANDLE file = OpenForWriting(path, 0, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = WriteBuffer(file, bytes);
    Sys().CloseHandle(file);
    return written;
}

bool WriteFileWithTime(std::string_view path, std::span<const std::uint8_t> bytes,
                       FILETIME fileTime) {
    const HANDLE file = CreateFileForWriting(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool done = WriteBuffer(file, bytes);
    if (done) done = Sys().SetFileTime(file, nullptr, nullptr, &fileTime) != FALSE;
    Sys().CloseHandle(file);
    return done;
}

bool SetFileLastWriteTime(std::string_view path, FILETIME fileTime) {
    const HANDLE file = OpenFileForWriting(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool done = Sys().SetFileTime(file, nullptr, nullptr, &fileTime) != FALSE;
    Sys().CloseHandle(file);
    return done;
}

}  // namespace swk
