#include "payload/extraction.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <span>

#include "paths/text.h"
#include "payload/container.h"
#include "payload/file_utils.h"
#include "platform/message_box.h"
#include "platform/system_services.h"

namespace swk {
namespace {

constexpr BYTE kOfstructSize = 136;
constexpr WORD kLzOpenStyle = OF_READ | OF_SHARE_DENY_WRITE;

// The output buffer comes zero-filled from calloc: the system hands out zero pages
// on first touch, so the part of the 20,000,000 bytes that no entry reaches costs
// neither time nor memory.
struct FreeBytes {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using ZeroFilledBuffer = std::unique_ptr<std::uint8_t[], FreeBytes>;

ZeroFilledBuffer AllocateZeroFilled(std::size_t size) {
    return ZeroFilledBuffer(static_cast<std::uint8_t*>(std::calloc(size, 1)));
}

bool Fail() {
    ShowMessage(kErrorInInstallation);
    return false;
}

// Expands the compressed file at `temporaryPath` into `output`: the count of
// bytes delivered, zero or negative when it could not be opened or read.
INT ExpandTemporaryFile(const WideText& temporaryPath, std::span<std::uint8_t> output) {
    OFSTRUCT record{};
    record.cBytes = kOfstructSize;
    record.fFixedDisk = 1;
    const INT lzFile = Sys().LZOpenFileW(temporaryPath.get(), &record, kLzOpenStyle);
    if (lzFile < 0) return lzFile;  // nothing opened, so nothing to read or close
    const INT count = Sys().LZRead(lzFile, reinterpret_cast<char*>(output.data()),
                                   static_cast<INT>(output.size()));
    Sys().LZClose(lzFile);
    return count;
}

// The working state of one run; every buffer lives for the call only.
struct Extraction {
    const std::vector<std::string>& targets;
    std::string_view temporaryPath;
    WideText wideTemporaryPath;
    ZeroFilledBuffer outputBuffer;
    std::span<std::uint8_t> output;
    std::vector<std::uint8_t> compressedImage;

    // One entry: rebuild the SZDD file, pass it through the temporary file, expand
    // it and write the target with the entry's time.
    bool ExtractEntry(std::size_t k, const PayloadEntry& entry) {
        RebuildCompressedFile(compressedImage, entry.stream);
        if (!WriteNewFile(temporaryPath, compressedImage)) return Fail();

        const INT count = ExpandTemporaryFile(wideTemporaryPath, output);
        if (count <= 0) return Fail();

        // The target gets exactly the expanded bytes: the front of the output buffer.
        const std::size_t length = std::min(static_cast<std::size_t>(count), output.size());
        const std::span<const std::uint8_t> fileBytes = output.first(length);
        return WriteFileWithTime(targets[k], fileBytes, entry.fileTime);
    }
};

}  // namespace

bool ExtractPayload(const std::vector<std::string>& targets, std::string_view temporaryPath,
                    int resourceId) {
    Extraction run{targets, temporaryPath, Utf8ToUtf16(temporaryPath), {}, {}, {}};

    // Once per run, reused for every entry.
    run.outputBuffer = AllocateZeroFilled(kExtractionBufferSize);
    if (!run.outputBuffer) return Fail();
    run.output = std::span<std::uint8_t>(run.outputBuffer.get(), kExtractionBufferSize);

    // The walk reads the locked resource in place rather than a copy of it: the
    // locked bytes stay readable and unchanged for the life of the process, so the
    // walk takes the same entries in the same order and checks the same bounds,
    // without first copying the whole container into fresh memory.
    const std::optional<std::span<const std::uint8_t>> bytes = LockContainerResource(resourceId);
    if (!bytes) return Fail();  // a setup without its payload
    PayloadContainer container(*bytes);

    WalkResult result = WalkResult::Stopped;
    try {
        result = WalkContainer(container, targets.size(),
                               [&run](std::size_t k, const PayloadEntry& entry) {
                                   return run.ExtractEntry(k, entry);
                               });
    } catch (const std::bad_alloc&) {
        return Fail();
    }
    switch (result) {
        case WalkResult::Damaged:
            return Fail();
        case WalkResult::Stopped:
            return false;  // the failing step has shown its message, or leaves it to the caller
        case WalkResult::Complete:
            break;
    }
    if (!run.wideTemporaryPath.empty())
        Sys().DeleteFileW(run.wideTemporaryPath.get());  // result ignored
    return true;
}

}  // namespace swk
