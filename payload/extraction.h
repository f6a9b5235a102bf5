// Unpacking the payload container into the product's files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace swk {

// The output buffer every entry is expanded into; no product file may be larger.
inline constexpr std::size_t kExtractionBufferSize = 20'000'000;

// Unpacks entry k of container resource `resourceId` into targets[k], through the
// temporary compressed file `temporaryPath`, and gives each file its entry's time
// as last-write time. The folders must exist. True when the walk completed (the
// temporary file is then deleted). A missing or damaged container, a temporary
// file that cannot be written, or an entry that does not expand shows "Error in
// installation"; a target that cannot be written fails silently (the caller
// reports it). Files written before a failure stay in place.
bool ExtractPayload(const std::vector<std::string>& targets, std::string_view temporaryPath,
                    int resourceId);

}  // namespace swk
