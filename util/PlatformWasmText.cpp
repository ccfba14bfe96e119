// Text services of the WebAssembly build: code page 932 and letter case
// through tables that the build makes from the Linux build's own
// conversions (app/web/MakeTextTables.cpp), so that a page converts and
// names files as talvine-cli on Linux does. The C library of emscripten
// has no converter for code page 932.
#include <algorithm>
#include <cstdint>

#include "util/CaseWalk.h"
#include "util/Platform.h"

namespace talvine::platform {

namespace {

#include "TextTables.inc"

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
int LeadIndex(unsigned char b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 0x1F; }

// The mapping of c in a table of (from, to) pairs sorted by from.
char32_t Lookup(const uint32_t* table, size_t values, char32_t c) {
    size_t lo = 0, hi = values / 2;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (table[mid * 2] < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < values / 2 && table[lo * 2] == c ? table[lo * 2 + 1] : c;
}

// text in the case the table gives.
template <size_t N>
std::u16string MapCase(const std::u16string& text, const uint32_t (&table)[N]) {
    return case_walk::MapCase(text, [&table](char32_t c) { return Lookup(table, N, c); });
}

}  // namespace

std::string WideToAnsi(const std::u16string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t u : text) {
        const uint16_t v = kEncode[u];
        if (v > 0xFF) out.push_back(static_cast<char>(v >> 8));
        out.push_back(static_cast<char>(v & 0xFF));
    }
    return out;
}

std::u16string AnsiToWide(const char* bytes, size_t n) {
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!IsLeadByte(b)) {
            out.push_back(kDecodeSingle[b]);
        } else if (i + 1 < n) {
            out.push_back(kDecodePair[LeadIndex(b) * 256 + static_cast<unsigned char>(bytes[++i])]);
        } else {
            out.push_back(u'\u30FB');  // a lead byte at the very end
        }
    }
    return out;
}

std::u16string UpperCase(const std::u16string& text) { return MapCase(text, kUpper); }
std::u16string LowerCase(const std::u16string& text) { return MapCase(text, kLower); }

}  // namespace talvine::platform
