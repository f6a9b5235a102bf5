// The LZ expansion operations, done with our SZDD decoder instead of the
// system's. An open call reads the whole compressed file through CreateFileW
// with its UTF-16 path, sharing it for reading only (others may read, nobody may
// write while we hold it), then closes it; reads decode from that copy. So no
// path length limit and no ANSI code page stand between a user and the file.
//
// Handles are small non-negative numbers; errors are the LZERROR_* values.
#pragma once

#include "platform/win_types.h"

namespace swk::win32 {

inline constexpr int kMaxOpenLzFiles = 16;
inline constexpr INT kFirstLzHandle = 0x400;
// A compressed file larger than this is refused (the setup's own are far smaller).
inline constexpr std::uint64_t kMaxCompressedFileSize = 256u * 1024u * 1024u;

// The file at `path` ready for reading; a negative LZERROR_* value when it cannot be
// opened or read. `record`, when given, gets its error field set on failure.
INT OpenLzFile(const WCHAR* path, OFSTRUCT* record);

// Up to `count` bytes of the expanded file from the current position; the count
// delivered (0 at the end), or a negative LZERROR_* value.
INT ReadLzFile(INT lzFile, char* buffer, INT count);

void CloseLzFile(INT lzFile);

}  // namespace swk::win32
