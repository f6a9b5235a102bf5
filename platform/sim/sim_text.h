// Text helpers of the simulated machine: UTF-8 <-> UTF-16 with the replacement
// rules of the Windows conversion calls, and the case folding that Windows uses
// to compare file, key and value names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace swk::sim {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// UTF-8 to UTF-16. Each maximal ill-formed subsequence becomes one U+FFFD
// (overlong forms, encoded surrogates and code points above U+10FFFF included).
std::u16string DecodeUtf8(std::string_view text);
// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

// Folds a name for comparison: ASCII and the common Latin, Greek and Cyrillic
// letters compare without case, like names on a Windows volume or registry.
std::string FoldCase(std::string_view utf8);
bool EqualNoCase(std::string_view a, std::string_view b);

// "0x1F" or "31" or "-2147467259" as a number; nothing when not a number.
std::optional<std::int64_t> ParseInteger(std::string_view text);
std::string Trim(std::string_view text);

}  // namespace swk::sim
