#include "platform/sim/sim_text.h"

#include <charconv>

namespace swk::sim {
namespace {

// Length of a UTF-8 sequence by its lead byte and the range its second byte
// must fall into (so overlong forms and encoded surrogates are refused early).
struct LeadByte {
    int length;
    std::uint8_t secondLow, secondHigh;
};

std::optional<LeadByte> ClassifyLead(std::uint8_t b) {
    if (b >= 0xC2 && b <= 0xDF) return LeadByte{2, 0x80, 0xBF};
    if (b == 0xE0) return LeadByte{3, 0xA0, 0xBF};
    if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) return LeadByte{3, 0x80, 0xBF};
    if (b == 0xED) return LeadByte{3, 0x80, 0x9F};
    if (b == 0xF0) return LeadByte{4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return LeadByte{4, 0x80, 0xBF};
    if (b == 0xF4) return LeadByte{4, 0x80, 0x8F};
    return std::nullopt;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t FoldCodePoint(char32_t cp) {
    if (cp >= 'a' && cp <= 'z') return cp - 32;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;  // Latin-1
    if (cp == 0xFF) return 0x178;
    if (cp >= 0x100 && cp <= 0x17F && cp != 0x131 && cp != 0x138 && cp != 0x149 && cp != 0x17F) {
        // Latin Extended-A pairs: even upper / odd lower, except the two odd-started runs.
        bool oddRun = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
        bool isLower = oddRun ? (cp % 2 == 0) : (cp % 2 == 1);
        return isLower ? cp - 1 : cp;
    }
    if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 32;  // Greek
    if (cp >= 0x430 && cp <= 0x44F) return cp - 32;                 // Cyrillic
    if (cp >= 0x450 && cp <= 0x45F) return cp - 80;
    return cp;
}

}  // namespace

std::u16string DecodeUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<std::uint8_t>(text[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        auto lead = ClassifyLead(b);
        if (!lead) {
            out.push_back(kReplacementChar);
            ++i;
            continue;
        }
        char32_t cp = b & (0xFF >> (lead->length + 1));
        std::size_t taken = 1;
        bool complete = true;
        for (int k = 1; k < lead->length; ++k) {
            if (i + taken >= text.size()) {
                complete = false;
                break;
            }
            auto c = static_cast<std::uint8_t>(text[i + taken]);
            std::uint8_t low = k == 1 ? lead->secondLow : 0x80;
            std::uint8_t high = k == 1 ? lead->secondHigh : 0xBF;
            if (c < low || c > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
            ++taken;
        }
        if (complete)
            AppendCodePoint(out, cp);
        else
            out.push_back(kReplacementChar);
        i += taken;
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, kReplacementChar);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::string FoldCase(std::string_view utf8) {
    std::u16string wide = DecodeUtf8(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t u = wide[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size()) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
            continue;
        }
        AppendUtf8(out, FoldCodePoint(u));
    }
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return FoldCase(a) == FoldCase(b);
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    std::string t = Trim(text);
    bool negative = !t.empty() && t[0] == '-';
    std::string_view digits = negative ? std::string_view(t).substr(1) : std::string_view(t);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    auto signedValue = static_cast<std::int64_t>(value);
    return negative ? -signedValue : signedValue;
}

std::string Trim(std::string_view text) {
    std::size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(b, e - b + 1));
}

}  // namespace swk::sim
