#include "paths/text.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

#include "platform/system_services.h"

namespace swk {
namespace {

// Four UTF-8 bytes always suffice for one UTF-16 unit. Up to this many bytes the
// conversion goes straight into an estimated buffer; beyond it the exact size is
// asked for first, so a huge text does not get a buffer four times its size.
constexpr std::uint64_t kUtf8BytesPerUnit = 4;
constexpr std::uint64_t kEstimatedBufferLimit = 41'943'040;

// Units before the first zero unit. A system string always ends in a zero unit.
std::size_t UnitsBeforeZero(const WCHAR* text) {
    std::size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

}  // namespace

WideText::~WideText() {
    if (text_ != nullptr) Sys().SysFreeString(text_);
}

WideText& WideText::operator=(WideText&& other) noexcept {
    if (this != &other) {
        if (text_ != nullptr) Sys().SysFreeString(text_);
        text_ = other.Release();
    }
    return *this;
}

BSTR WideText::Release() {
    BSTR text = text_;
    text_ = nullptr;
    return text;
}

WideText Utf8ToUtf16(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return WideText{};
    const int narrowLength = static_cast<int>(text.size());

    // First call sizes the result, second converts into a system string of that size.
    const int units = Sys().MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, nullptr, 0);
    if (units <= 0) return WideText{};
    WideText wide{Sys().SysAllocStringLen(nullptr, static_cast<UINT>(units))};
    if (wide.get() == nullptr) return WideText{};
    const int converted = Sys().MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength,
                                                    const_cast<WCHAR*>(wide.get()), units);
    if (converted <= 0) return WideText{};
    return wide;
}

std::string Utf16ToUtf8(WideText text) {
    // `text` is released when it goes out of scope, on every path below.
    if (text.get() == nullptr) return {};
    const std::size_t units = UnitsBeforeZero(text.get());
    if (units == 0 || units > static_cast<std::size_t>(INT_MAX)) return {};
    const int wideLength = static_cast<int>(units);

    std::uint64_t size = kUtf8BytesPerUnit * units;
    if (size > kEstimatedBufferLimit) {
        size = static_cast<std::uint64_t>(
            std::max(0, Sys().WideCharToMultiByte(CP_UTF8, 0, text.get(), wideLength, nullptr, 0,
                                                  nullptr, nullptr)));
    }
    if (size == 0 || size > static_cast<std::uint64_t>(INT_MAX)) return {};

    std::string narrow;
    try {
        narrow.resize(static_cast<std::size_t>(size));  // the string keeps its own terminator
    } catch (const std::bad_alloc&) {
        return {};
    }
    const int written = Sys().WideCharToMultiByte(CP_UTF8, 0, text.get(), wideLength, narrow.data(),
                                                  static_cast<int>(size), nullptr, nullptr);
    if (written <= 0) return {};
    narrow.resize(static_cast<std::size_t>(written));
    return narrow;
}

std::size_t Utf16Length(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return 0;
    const int units = Sys().MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                static_cast<int>(text.size()), nullptr, 0);
    return units > 0 ? static_cast<std::size_t>(units) : 0;
}

}  // namespace swk
