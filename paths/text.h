// UTF-8 / UTF-16 conversion through the system's converter and string allocator.
// The setup keeps all text as narrow UTF-8; each wide (W) system call gets a
// WideText made by Utf8ToUtf16 and releases it right after the call.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace swk {

// Owns a system-allocated UTF-16 string (SysAllocStringLen) and frees it with
// SysFreeString. A null text stands for empty text.
class WideText {
public:
    WideText() = default;
    explicit WideText(BSTR text) : text_(text) {}
    ~WideText();
    WideText(WideText&& other) noexcept : text_(other.Release()) {}
    WideText& operator=(WideText&& other) noexcept;
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;

    const WCHAR* get() const { return text_; }
    bool empty() const { return text_ == nullptr || text_[0] == 0; }
    BSTR Release();

private:
    BSTR text_ = nullptr;
};

// MultiByteToWideChar (CP_UTF8, no flags) into a counted system string holding
// exactly the converted units. Empty input, or input that converts to nothing,
// gives a null text.
WideText Utf8ToUtf16(std::string_view text);

// Takes ownership of `text` and releases it in every case. Stops at the first zero
// unit; a null text or a failed conversion gives empty text.
std::string Utf16ToUtf8(WideText text);

// The number of UTF-16 units Utf8ToUtf16 produces for `text`, terminator not counted.
std::size_t Utf16Length(std::string_view text);

}  // namespace swk
