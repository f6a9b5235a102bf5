// Module images for the component-registration tests: a minimal 32-bit DLL
// whose export table names the given entry points, each pointing at a stub
// that returns S_OK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swk::test {

std::vector<std::uint8_t> DllImageWithExports(const std::vector<std::string>& exportNames);

}  // namespace swk::test
