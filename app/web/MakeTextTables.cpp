// Writes the tables of code page 932 and of letter case that the
// WebAssembly build converts with (util/PlatformWasmText.cpp), taken from
// this system's own conversions (util/PlatformPosixText.cpp: iconv's CP932
// and the case mapping of the C library's UTF-8 locale), so that the page
// gives the very bytes and names of the Linux build. Runs on the build
// machine while the WebAssembly build is made.
//
//   make-text-tables OUTPUT.inc
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/Platform.h"

namespace {

using talvine::platform::AnsiToWide;
using talvine::platform::LowerCase;
using talvine::platform::UpperCase;
using talvine::platform::WideToAnsi;

bool IsLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

[[noreturn]] void Fail(const char* what, unsigned value) {
    std::fprintf(stderr, "make-text-tables: %s 0x%X\n", what, value);
    std::exit(1);
}

void Table(std::FILE* out, const char* decl, const std::string& values) {
    std::fprintf(out, "%s = {%s};\n", decl, values.c_str());
}

std::string Hex(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X,", v);
    return buf;
}

// The code points whose case mapping is another code point, as pairs.
template <class Map>
std::string CasePairs(Map map, int& count) {
    std::string values;
    count = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::u16string s;
        if (c >= 0x10000) {
            s += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            s += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            s += static_cast<char16_t>(c);
        }
        const std::u16string m = map(s);
        char32_t to = m[0];
        if (m.size() == 2) to = 0x10000 + ((static_cast<char32_t>(m[0]) - 0xD800) << 10) + (m[1] - 0xDC00);
        if (to != c) {
            values += Hex(static_cast<unsigned>(c)) + Hex(static_cast<unsigned>(to));
            ++count;
        }
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-text-tables OUTPUT.inc\n");
        return 2;
    }
    // Single bytes (lead bytes decode only with the byte after them).
    std::string single;
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const std::u16string w = IsLead(b) ? u"\u30FB" : AnsiToWide(&byte, 1);
        if (w.size() != 1) Fail("a single byte does not decode to one unit:", static_cast<unsigned>(b));
        single += Hex(w[0]);
    }
    // Every lead byte with every byte after it.
    std::string pairs;
    for (int lead = 0; lead < 256; ++lead) {
        if (!IsLead(lead)) continue;
        for (int trail = 0; trail < 256; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string w = AnsiToWide(bytes, 2);
            if (w.size() != 1) Fail("a pair does not decode to one unit:", static_cast<unsigned>(lead << 8 | trail));
            pairs += Hex(w[0]);
        }
    }
    // Every UTF-16 unit: its one or two bytes (a value above 0xFF is a lead
    // and a trail byte; what the code page lacks is '?').
    std::string encode;
    for (unsigned u = 0; u < 0x10000; ++u) {
        const std::string b = WideToAnsi(std::u16string(1, static_cast<char16_t>(u)));
        unsigned v = 0;
        if (b.size() == 1) {
            v = static_cast<unsigned char>(b[0]);
        } else if (b.size() == 2) {
            v = static_cast<unsigned char>(b[0]) << 8 | static_cast<unsigned char>(b[1]);
            if (v < 0x100) Fail("a two-byte code below 0x100:", u);
        } else {
            Fail("a unit does not encode to one or two bytes:", u);
        }
        encode += Hex(v);
    }
    int upperN = 0, lowerN = 0;
    const std::string upper = CasePairs([](const std::u16string& s) { return UpperCase(s); }, upperN);
    const std::string lower = CasePairs([](const std::u16string& s) { return LowerCase(s); }, lowerN);

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Made by app/web/MakeTextTables.cpp from this system's conversions. Do not edit.\n");
    Table(out, "const uint16_t kDecodeSingle[256]", single);
    Table(out, "const uint16_t kDecodePair[60 * 256]", pairs);
    Table(out, "const uint16_t kEncode[65536]", encode);
    Table(out, ("const uint32_t kUpper[" + std::to_string(upperN * 2) + "]").c_str(), upper);
    Table(out, ("const uint32_t kLower[" + std::to_string(lowerN * 2) + "]").c_str(), lower);
    return std::fclose(out) == 0 ? 0 : 1;
}
