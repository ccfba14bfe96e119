// The walk of a text that changes its letter case, for both text halves of
// the platform layer (iconv's locale on POSIX systems, the tables made from
// it in the WebAssembly build): code point by code point, a surrogate pair
// as one character, a lone surrogate kept as it is.
#pragma once

#include <string>

namespace talvine::platform::case_walk {

inline bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

inline void AppendCodePoint(std::u16string& out, char32_t c) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

// text with every character c replaced by map(c); a result that is no
// character (a surrogate, or beyond U+10FFFF) keeps c.
template <typename MapFn>
std::u16string MapCase(const std::u16string& text, MapFn map) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        char32_t m = c;
        if (!IsHighSurrogate(c) && !IsLowSurrogate(c)) {
            m = map(c);
            if (m > 0x10FFFF || (m >= 0xD800 && m <= 0xDFFF)) m = c;
        }
        AppendCodePoint(out, m);
    }
    return out;
}

}  // namespace talvine::platform::case_walk
