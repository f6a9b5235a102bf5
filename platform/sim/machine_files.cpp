// Files, folders, drives, the setup's own module (path, resources, version data)
// and the LZ expansion calls of the simulated machine.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/sim/machine_state.h"
#include "platform/sim/sim_text.h"
#include "platform/sim/version_block.h"
#include "platform/szdd.h"

namespace swk::sim {
namespace {

constexpr DWORD kTruncateExisting = 5;
constexpr std::uintptr_t kResourceBase = 0x50000;
constexpr INT kLzHandleBase = 0x400;

std::string OwnModule(const MachineProfile& profile, const std::string& set) {
    return set.empty() ? "C:\\Users\\" + profile.userName + "\\Downloads\\StashwickSetup.exe" : set;
}

// Faults in the pages of a destination range with one call rather than one page
// fault per page as the range is first written; the contents stay as they are.
// Best effort: a range the kernel will not populate is simply written later.
void PrepareDestination(void* buffer, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    static const auto kPage = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (size == 0 || kPage == 0) return;
    const auto first = reinterpret_cast<std::uintptr_t>(buffer) & ~(kPage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(buffer) + size;
    ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)buffer;
    (void)size;
#endif
}

// Reads the whole host file into `bytes`, reusing its capacity: a buffer kept
// from an earlier file needs no fresh pages. False when the file cannot be read.
bool ReadHostFileInto(const fs::path& host, ReadBuffer& bytes) {
    const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool done = ::fstat(fd, &st) == 0 && st.st_size >= 0;
    const auto size = done ? static_cast<std::size_t>(st.st_size) : 0;
    if (bytes.capacity() < size) {
        ReadBuffer().swap(bytes);  // nothing to keep
        bytes.reserve(size);
        PrepareDestination(bytes.data(), size);
    }
    bytes.resize(size);  // no zero-fill: the read below overwrites every byte
    std::size_t got = 0;
    while (done && got < size) {
        const ssize_t n = ::read(fd, bytes.data() + got, size - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return done && got == size;
}

std::optional<char> DriveOf(const char* path) {
    if (!path) return kCurrentDrive;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    if (letter >= 'A' && letter <= 'Z' && path[1] == ':') return letter;
    if (path[0] == '\\' || path[0] == '/') return kCurrentDrive;
    return std::nullopt;
}

}  // namespace

// ---- Files and folders ---------------------------------------------------------------

HANDLE SimulatedMachine::CreateFileW(const WCHAR* path, DWORD access, DWORD shareMode, void*,
                                     DWORD creation, DWORD, HANDLE) {
    State& s = *state_;
    if (s.Injected(Op::CreateFileW)) return INVALID_HANDLE_VALUE;
    std::string text = WideToUtf8(path);
    if (text.empty()) return s.Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    ResolvedPath r = s.Resolve(text);
    if (r.error) return s.Fail(r.error), INVALID_HANDLE_VALUE;
    if (r.path.IsRoot() || r.isDirectory) return s.Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (!r.exists && !r.parentExists) return s.Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    bool truncates = creation == CREATE_ALWAYS || creation == kTruncateExisting;
    switch (creation) {
        case CREATE_NEW:
            if (r.exists) return s.Fail(kErrorFileExists), INVALID_HANDLE_VALUE;
            break;
        case OPEN_EXISTING:
        case kTruncateExisting:
            if (!r.exists) return s.Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
            break;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            break;
        default:
            return s.Fail(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    }
    bool modifies = (access & GENERIC_WRITE) || truncates || !r.exists;
    if (modifies && (s.IsWriteDenied(r.key) || (r.exists && s.readOnly.contains(r.key))))
        return s.Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (modifies && r.exists && s.IsLockedImage(r.key))
        return s.Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
    if (DWORD conflict =
            s.SharingConflict(r.key, access | (truncates ? GENERIC_WRITE : 0), shareMode))
        return s.Fail(conflict), INVALID_HANDLE_VALUE;

    int flags = O_RDWR | O_CLOEXEC | (r.exists ? 0 : O_CREAT) | (truncates ? O_TRUNC : 0);
    int fd = ::open(r.host.c_str(), flags, 0644);
    if (fd < 0) return s.Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    std::uintptr_t value = s.nextHandle;
    s.nextHandle += 4;
    s.handles[value] = KernelObject{HandleKind::File,
                                    OpenFile{r.key, r.host, r.path.drive, fd, access, shareMode}};
    // Opening over an existing file succeeds and says so.
    s.lastError = r.exists && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS)
                      ? ERROR_ALREADY_EXISTS
                      : 0;
    return HANDLE{value};
}

BOOL SimulatedMachine::WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written,
                                 void*) {
    State& s = *state_;
    if (written) *written = 0;
    if (s.Injected(Op::WriteFile)) return FALSE;
    auto it = s.handles.find(static_cast<std::uintptr_t>(file));
    if (it == s.handles.end() || it->second.kind != HandleKind::File)
        return s.Fail(ERROR_INVALID_HANDLE);
    OpenFile& f = it->second.file;
    if (!(f.access & GENERIC_WRITE)) return s.Fail(ERROR_ACCESS_DENIED);
    if (!buffer && size) return s.Fail(ERROR_INVALID_PARAMETER);
    // A drive that fills takes what still fits, reports that count and fails.
    std::uint64_t& used = s.bytesWritten[f.drive];
    std::uint64_t allowed = size;
    if (const DriveProfile* drive = s.Drive(f.drive); drive && drive->fillsAfterBytes)
        allowed = std::min<std::uint64_t>(
            size, *drive->fillsAfterBytes - std::min(used, *drive->fillsAfterBytes));
    std::uint64_t done = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (done < allowed) {
        ssize_t n = ::write(f.fd, bytes + done, static_cast<std::size_t>(allowed - done));
        if (n <= 0) break;
        done += static_cast<std::uint64_t>(n);
    }
    used += done;
    if (written) *written = static_cast<DWORD>(done);
    if (done < size) return s.Fail(done < allowed ? ERROR_ACCESS_DENIED : ERROR_DISK_FULL);
    return TRUE;
}

BOOL SimulatedMachine::SetFileTime(HANDLE file, const FILETIME*, const FILETIME*,
                                   const FILETIME* lastWrite) {
    State& s = *state_;
    if (s.Injected(Op::SetFileTime)) return FALSE;
    auto it = s.handles.find(static_cast<std::uintptr_t>(file));
    if (it == s.handles.end() || it->second.kind != HandleKind::File)
        return s.Fail(ERROR_INVALID_HANDLE);
    if (!(it->second.file.access & GENERIC_WRITE)) return s.Fail(ERROR_ACCESS_DENIED);
    // The host keeps no creation time; the last-access time is not modelled.
    // A time of 0 leaves the file's time as it is (all ones would stop updates).
    std::uint64_t ticks = lastWrite ? FileTimeValue(*lastWrite) : 0;
    if (ticks != 0 && ticks != ~std::uint64_t{0} && !SetHostFileTime(it->second.file.host, ticks))
        return s.Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

BOOL SimulatedMachine::CloseHandle(HANDLE handle) {
    State& s = *state_;
    if (handle == GetCurrentProcess()) return TRUE;
    auto it = s.handles.find(static_cast<std::uintptr_t>(handle));
    if (it == s.handles.end()) return s.Fail(ERROR_INVALID_HANDLE);
    if (it->second.kind == HandleKind::File && it->second.file.fd >= 0) ::close(it->second.file.fd);
    s.handles.erase(it);
    return TRUE;
}

BOOL SimulatedMachine::DeleteFileW(const WCHAR* path) {
    State& s = *state_;
    if (s.Injected(Op::DeleteFileW)) return FALSE;
    ResolvedPath r = s.Resolve(WideToUtf8(path));
    if (r.error) return s.Fail(r.error);
    if (!r.exists) return s.Fail(r.MissingError());
    if (r.path.IsRoot() || r.isDirectory || s.IsWriteDenied(r.key) || s.readOnly.contains(r.key) ||
        s.IsLockedImage(r.key))
        return s.Fail(ERROR_ACCESS_DENIED);
    if (DWORD conflict =
            s.SharingConflict(r.key, 0x00010000 /* DELETE */, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return s.Fail(conflict);
    std::error_code ec;
    if (!fs::remove(r.host, ec)) return s.Fail(ERROR_ACCESS_DENIED);
    return TRUE;
}

BOOL SimulatedMachine::GetFileAttributesExW(const WCHAR* path, int infoLevel,
                                            WIN32_FILE_ATTRIBUTE_DATA* info) {
    State& s = *state_;
    if (s.Injected(Op::GetFileAttributesExW)) return FALSE;
    if (infoLevel != GetFileExInfoStandard || !info) return s.Fail(ERROR_INVALID_PARAMETER);
    ResolvedPath r = s.Resolve(WideToUtf8(path));
    if (r.error) return s.Fail(r.error);
    if (!r.exists) return s.Fail(r.MissingError());
    std::error_code ec;
    std::uint64_t size = r.isDirectory ? 0 : fs::file_size(r.host, ec);
    FILETIME time = MakeFileTime(ToFileTime(r.host));
    *info = WIN32_FILE_ATTRIBUTE_DATA{};
    info->dwFileAttributes = r.isDirectory                ? FILE_ATTRIBUTE_DIRECTORY
                             : s.readOnly.contains(r.key) ? FILE_ATTRIBUTE_READONLY
                                                          : FILE_ATTRIBUTE_NORMAL;
    info->ftCreationTime = info->ftLastAccessTime = info->ftLastWriteTime = time;
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    return TRUE;
}

BOOL SimulatedMachine::CreateDirectoryW(const WCHAR* path, void*) {
    State& s = *state_;
    if (s.Injected(Op::CreateDirectoryW)) return FALSE;
    ResolvedPath r = s.Resolve(WideToUtf8(path));
    if (r.error) return s.Fail(r.error);
    if (r.path.IsRoot()) return s.Fail(ERROR_ACCESS_DENIED);
    if (Utf8ToWide(r.path.Text()).size() >= kMaxFolderPath) return s.Fail(kErrorFilenameTooLong);
    if (r.exists) return s.Fail(ERROR_ALREADY_EXISTS);
    if (!r.parentExists) return s.Fail(ERROR_PATH_NOT_FOUND);
    if (s.IsWriteDenied(r.key)) return s.Fail(ERROR_ACCESS_DENIED);
    std::error_code ec;
    if (!fs::create_directory(r.host, ec)) return s.Fail(ERROR_ACCESS_DENIED);
    return TRUE;
}

DWORD SimulatedMachine::GetLastError() {
    return state_->lastError;
}

// ---- Drives ---------------------------------------------------------------------------

UINT SimulatedMachine::GetDriveTypeA(const char* rootPath) {
    // Only a root names a drive: "C:\\", "C:/" or "C:"; no path means the current drive.
    char letter = kCurrentDrive;
    if (rootPath) {
        auto isRoot = [](const char* p) {
            return std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
                   (p[2] == '\0' || ((p[2] == '\\' || p[2] == '/') && p[3] == '\0'));
        };
        if (!isRoot(rootPath)) return DRIVE_NO_ROOT_DIR;
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(rootPath[0])));
    }
    const DriveProfile* drive = state_->Drive(letter);
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

BOOL SimulatedMachine::GetDiskFreeSpaceExA(const char* path, ULARGE_INTEGER* freeToCaller,
                                           ULARGE_INTEGER* totalBytes, ULARGE_INTEGER* totalFree) {
    State& s = *state_;
    if (s.Injected(Op::GetDiskFreeSpaceExA)) return FALSE;
    auto letter = DriveOf(path);
    const DriveProfile* drive = letter ? s.Drive(*letter) : nullptr;
    if (!drive) return s.Fail(ERROR_PATH_NOT_FOUND);
    if (!drive->mediumPresent) return s.Fail(ERROR_NOT_READY);
    fs::path host = s.folder / std::string(1, drive->letter);
    struct statvfs vfs {};
    std::uint64_t free = 0, total = 0;
    if (::statvfs(host.c_str(), &vfs) == 0) {
        free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    }
    if (drive->freeBytes) free = *drive->freeBytes;
    total = std::max(total, free);
    if (freeToCaller) freeToCaller->QuadPart = free;
    if (totalBytes) totalBytes->QuadPart = total;
    if (totalFree) totalFree->QuadPart = free;
    return TRUE;
}

DWORD SimulatedMachine::GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    State& s = *state_;
    std::string path;
    if (module == NO_MODULE) {
        path = OwnModule(s.profile, s.ownModulePath);
    } else if (auto it = s.modules.find(static_cast<std::uintptr_t>(module));
               it != s.modules.end()) {
        path = it->second.path;
    } else {
        s.Fail(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!buffer || size == 0) {
        s.Fail(kErrorInsufficientBuffer);
        return 0;
    }
    // A short buffer receives what fits, terminated, and the call reports its size.
    std::size_t n = std::min<std::size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
    if (n < path.size()) {
        s.Fail(kErrorInsufficientBuffer);
        return size;
    }
    return static_cast<DWORD>(n);
}

// ---- The setup's own resources ---------------------------------------------------------

HRSRC SimulatedMachine::FindResourceA(HMODULE module, const char* name, const char* type) {
    State& s = *state_;
    if (s.Injected(Op::FindResourceA)) return HRSRC{0};
    if (module != NO_MODULE || !IS_INTRESOURCE(type) ||
        reinterpret_cast<std::uintptr_t>(type) != RT_RCDATA_ID)
        return s.Fail(kErrorResourceTypeNotFound), HRSRC{0};
    auto id = static_cast<int>(reinterpret_cast<std::uintptr_t>(name));
    if (!IS_INTRESOURCE(name) || !s.rcdata.contains(id))
        return s.Fail(kErrorResourceNameNotFound), HRSRC{0};
    return HRSRC{kResourceBase + static_cast<std::uintptr_t>(id)};
}

DWORD SimulatedMachine::SizeofResource(HMODULE, HRSRC resource) {
    auto it = state_->rcdata.find(
        static_cast<int>(static_cast<std::uintptr_t>(resource) - kResourceBase));
    if (it == state_->rcdata.end()) return state_->Fail(ERROR_INVALID_HANDLE), 0;
    return static_cast<DWORD>(it->second->size());
}

HGLOBAL SimulatedMachine::LoadResource(HMODULE, HRSRC resource) {
    auto it = state_->rcdata.find(
        static_cast<int>(static_cast<std::uintptr_t>(resource) - kResourceBase));
    if (it == state_->rcdata.end()) return state_->Fail(ERROR_INVALID_HANDLE), HGLOBAL{0};
    return HGLOBAL{static_cast<std::uintptr_t>(resource)};
}

const void* SimulatedMachine::LockResource(HGLOBAL loaded) {
    auto it =
        state_->rcdata.find(static_cast<int>(static_cast<std::uintptr_t>(loaded) - kResourceBase));
    if (it == state_->rcdata.end()) return nullptr;
    static const std::uint8_t kEmpty = 0;
    return it->second->empty() ? &kEmpty : it->second->data();
}

// ---- LZ expansion -------------------------------------------------------------------------

INT SimulatedMachine::LZOpenFileW(const WCHAR* path, OFSTRUCT* record, WORD) {
    State& s = *state_;
    auto fail = [&](DWORD error) {
        s.Fail(error);
        if (record) record->nErrCode = static_cast<WORD>(error);
        return LZERROR_BADINHANDLE;
    };
    if (auto error = s.Injected(Op::LZOpenFileW)) return fail(*error);
    std::string text = WideToUtf8(path);
    ResolvedPath r = s.Resolve(text);
    if (r.error) return fail(r.error);
    if (!r.exists) return fail(r.MissingError());
    if (r.isDirectory) return fail(ERROR_ACCESS_DENIED);
    // Opened for reading, denying writers; readers may share it.
    if (DWORD conflict = s.SharingConflict(r.key, GENERIC_READ, FILE_SHARE_READ))
        return fail(conflict);
    // The file is read once, at open, into the buffer that the last close left.
    ReadBuffer bytes = std::move(s.lzSpareBytes);
    if (!ReadHostFileInto(r.host, bytes)) return fail(ERROR_ACCESS_DENIED);
    INT handle = kLzHandleBase + s.nextLz++;
    s.lzFiles[handle] = LzFile{r.key, std::move(bytes), 0};
    if (record) {
        record->cBytes = sizeof(OFSTRUCT);
        record->fFixedDisk = 1;
        record->nErrCode = 0;
        std::size_t n = std::min(text.size(), OFS_MAXPATHNAME - 1);
        std::memcpy(record->szPathName, text.data(), n);
        record->szPathName[n] = '\0';
    }
    return handle;
}

INT SimulatedMachine::LZRead(INT lzFile, char* buffer, INT count) {
    State& s = *state_;
    if (s.Injected(Op::LZRead)) return LZERROR_READ;
    auto it = lzFile < 0 ? s.lzFiles.end() : s.lzFiles.find(lzFile);
    if (it == s.lzFiles.end()) return LZERROR_BADINHANDLE;
    if (!buffer || count < 0) return LZERROR_BADVALUE;
    LzFile& f = it->second;
    std::span<const std::uint8_t> file(f.bytes);
    bool compressed = file.size() >= szdd::kSignature.size() &&
                      std::equal(szdd::kSignature.begin(), szdd::kSignature.end(), file.begin());
    std::uint64_t wanted = f.position + static_cast<std::uint64_t>(count);
    auto* destination = reinterpret_cast<std::uint8_t*>(buffer);
    std::size_t delivered = 0;
    if (compressed) {
        auto header = szdd::ReadHeader(file);
        if (!header)
            return file.size() > 8 && file[8] != szdd::kModeA ? LZERROR_UNKNOWNALG : LZERROR_READ;
        const auto end =
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted, header->expandedLength));
        // A read from the start expands straight into the caller's buffer; a later
        // read expands the file up to its end and delivers the part past the position.
        std::vector<std::uint8_t> expanded;
        std::span<std::uint8_t> target(destination, end);
        if (f.position != 0) {
            expanded.resize(end);
            target = expanded;
        } else {
            PrepareDestination(destination, end);
        }
        std::int64_t n = szdd::Expand(file, target);
        if (n < 0)
            return n == static_cast<int>(szdd::ExpandError::BadHeader) ? LZERROR_UNKNOWNALG
                                                                       : LZERROR_READ;
        const auto length = static_cast<std::size_t>(n);
        const auto from = static_cast<std::size_t>(std::min<std::uint64_t>(f.position, length));
        delivered = length - from;
        if (f.position != 0 && delivered > 0)
            std::memcpy(destination, expanded.data() + from, delivered);
    } else {
        // A file that is not compressed is read as it is.
        const auto end = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, file.size()));
        const auto from = static_cast<std::size_t>(std::min<std::uint64_t>(f.position, end));
        delivered = end - from;
        if (delivered > 0) std::memcpy(destination, file.data() + from, delivered);
    }
    f.position += delivered;
    return static_cast<INT>(delivered);
}

void SimulatedMachine::LZClose(INT lzFile) {
    State& s = *state_;
    auto it = s.lzFiles.find(lzFile);
    if (it == s.lzFiles.end()) return;
    // The largest buffer is kept for the next open.
    if (it->second.bytes.capacity() > s.lzSpareBytes.capacity())
        s.lzSpareBytes = std::move(it->second.bytes);
    s.lzFiles.erase(it);
}

// ---- Version data ------------------------------------------------------------------------------

DWORD SimulatedMachine::GetFileVersionInfoSizeA(const char* path, DWORD* handle) {
    State& s = *state_;
    if (handle) *handle = 0;
    if (s.Injected(Op::GetFileVersionInfoSizeA)) return 0;
    std::string own = OwnModule(s.profile, s.ownModulePath);
    if (path && PathKey(ParseWindowsPath(path)) == PathKey(ParseWindowsPath(own)))
        return VersionBufferSize(BuildVersionBlock(s.versionStrings));
    // Other files carry no version block the machine can read.
    ResolvedPath r = s.Resolve(path ? path : "");
    s.Fail(r.error ? r.error : !r.exists ? r.MissingError() : kErrorResourceTypeNotFound);
    return 0;
}

BOOL SimulatedMachine::GetFileVersionInfoA(const char* path, DWORD, DWORD size, void* data) {
    State& s = *state_;
    std::string own = OwnModule(s.profile, s.ownModulePath);
    if (!path || PathKey(ParseWindowsPath(path)) != PathKey(ParseWindowsPath(own)))
        return s.Fail(kErrorResourceTypeNotFound);
    if (!data) return s.Fail(ERROR_INVALID_PARAMETER);
    CopyVersionBuffer(BuildVersionBlock(s.versionStrings),
                      std::span(static_cast<std::uint8_t*>(data), size));
    return TRUE;
}

BOOL SimulatedMachine::VerQueryValueA(const void* block, const char* subBlock, void** value,
                                      UINT* length) {
    if (!block || !subBlock || !value) return FALSE;
    auto found = QueryVersionValue(const_cast<void*>(block), subBlock);
    if (!found) return FALSE;
    *value = const_cast<void*>(found->data);
    if (length) *length = found->length;
    return TRUE;
}

}  // namespace swk::sim
