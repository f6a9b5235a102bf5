// The payload container that a Linux build of the setup carries: the eleven
// product files (the stand-ins, or those of SWK_PAYLOAD_DIR) packed at build time
// and linked into the executable as read-only data.
#pragma once

#include <cstdint>
#include <span>

namespace swk {

std::span<const std::uint8_t> SamplePayload();

}  // namespace swk
