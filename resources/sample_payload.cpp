#include "resources/sample_payload.h"

// Bounds of the packed container, defined by sample_payload.S.
extern "C" const std::uint8_t swk_sample_payload_begin[];
extern "C" const std::uint8_t swk_sample_payload_end[];

namespace swk {

std::span<const std::uint8_t> SamplePayload() {
    return {swk_sample_payload_begin, swk_sample_payload_end};
}

}  // namespace swk
