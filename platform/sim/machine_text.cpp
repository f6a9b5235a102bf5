// Text conversion between UTF-8 and UTF-16 with the Windows rules, and the
// counted system strings handed to the wide calls.
#include <algorithm>
#include <cstring>

#include "platform/sim/machine_state.h"
#include "platform/sim/sim_text.h"

namespace swk::sim {
namespace {

constexpr DWORD kMbErrInvalidChars = 0x8;
constexpr DWORD kWcErrInvalidChars = 0x80;
constexpr DWORD kErrorInvalidFlags = 1004;
constexpr DWORD kErrorNoUnicodeTranslation = 1113;
constexpr UINT kMaxSystemStringLength = 1u << 28;

std::size_t WideLength(const WCHAR* text) {
    std::size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// A shell path list: paths each ending in a zero unit, the list in a second one.
}  // namespace

// ---- Text conversion and system strings ----------------------------------------------------

int SimulatedMachine::MultiByteToWideChar(UINT codePage, DWORD flags, const char* text,
                                          int textLength, WCHAR* wide, int wideLength) {
    State& s = *state_;
    if (codePage != CP_UTF8 || !text || textLength == 0 || textLength < -1 || wideLength < 0 ||
        (!wide && wideLength != 0))
        return s.Fail(ERROR_INVALID_PARAMETER), 0;
    if (flags & ~kMbErrInvalidChars) return s.Fail(kErrorInvalidFlags), 0;
    std::string_view input(
        text, textLength == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(textLength));
    std::u16string out = DecodeUtf8(input);
    if ((flags & kMbErrInvalidChars) && EncodeUtf8(out) != input)
        return s.Fail(kErrorNoUnicodeTranslation), 0;
    if (wideLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(wideLength))
        return s.Fail(kErrorInsufficientBuffer), 0;
    std::copy(out.begin(), out.end(), wide);
    return static_cast<int>(out.size());
}

int SimulatedMachine::WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide,
                                          int wideLength, char* text, int textLength,
                                          const char* defaultChar, BOOL* usedDefault) {
    State& s = *state_;
    // UTF-8 has no default character: both slots must be empty.
    if (codePage != CP_UTF8 || !wide || wideLength == 0 || wideLength < -1 || textLength < 0 ||
        (!text && textLength != 0) || defaultChar || usedDefault)
        return s.Fail(ERROR_INVALID_PARAMETER), 0;
    if (flags & ~kWcErrInvalidChars) return s.Fail(kErrorInvalidFlags), 0;
    std::u16string_view input(
        wide, wideLength == -1 ? WideLength(wide) + 1 : static_cast<std::size_t>(wideLength));
    std::string out = EncodeUtf8(input);
    if ((flags & kWcErrInvalidChars) && DecodeUtf8(out) != input)
        return s.Fail(kErrorNoUnicodeTranslation), 0;
    if (textLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(textLength))
        return s.Fail(kErrorInsufficientBuffer), 0;
    std::memcpy(text, out.data(), out.size());
    return static_cast<int>(out.size());
}

BSTR SimulatedMachine::SysAllocString(const WCHAR* text) {
    return text ? SysAllocStringLen(text, static_cast<UINT>(WideLength(text))) : nullptr;
}

// A system string: a 4-byte byte count, the UTF-16 units, a zero unit; the
// caller holds a pointer to the first unit.
BSTR SimulatedMachine::SysAllocStringLen(const WCHAR* text, UINT length) {
    if (length > kMaxSystemStringLength) return nullptr;
    std::size_t words = (4 + (std::size_t{length} + 1) * 2 + 3) / 4;
    auto* block = new std::uint32_t[words]();
    block[0] = length * 2;
    auto* units = reinterpret_cast<WCHAR*>(block + 1);
    if (text) std::copy(text, text + length, units);
    units[length] = 0;
    state_->systemStrings.insert(block);
    return units;
}

void SimulatedMachine::SysFreeString(BSTR text) {
    if (!text) return;
    auto* block = reinterpret_cast<std::uint32_t*>(text) - 1;
    if (state_->systemStrings.erase(block)) delete[] block;
}

}  // namespace swk::sim
