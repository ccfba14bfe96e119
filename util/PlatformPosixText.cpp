// Text services for POSIX systems: code page 932 through the C library's
// iconv ("CP932", the Windows flavour of Shift_JIS) and linguistic casing
// through the wide-character functions of a UTF-8 locale.
#include "util/Platform.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include "util/CaseWalk.h"

namespace talvine::platform {

namespace {

constexpr char16_t kUndecodable = u'\u30FB';  // what Windows puts for bad bytes
constexpr char kUnmappable = '?';

const char* NativeUtf16Name() {
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The two converters of one thread, opened on first use and closed when the
// thread ends. iconv descriptors must not be shared between threads.
struct Cp932Converters {
    iconv_t toCp932 = kNoConverter;
    iconv_t fromCp932 = kNoConverter;

    Cp932Converters() {
        toCp932 = iconv_open("CP932", NativeUtf16Name());
        fromCp932 = iconv_open(NativeUtf16Name(), "CP932");
    }
    ~Cp932Converters() {
        if (toCp932 != kNoConverter) iconv_close(toCp932);
        if (fromCp932 != kNoConverter) iconv_close(fromCp932);
    }
    Cp932Converters(const Cp932Converters&) = delete;
    Cp932Converters& operator=(const Cp932Converters&) = delete;
};

Cp932Converters& Converters() {
    thread_local Cp932Converters converters;
    return converters;
}

using case_walk::IsHighSurrogate;
using case_walk::IsLowSurrogate;
using case_walk::MapCase;

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The single bytes that Windows' code page 932 gives characters of their own
// (iconv rejects them): 0x80 and 0xA0, 0xFD to 0xFF. 0 for any other byte.
char16_t SingleByteOfItsOwn(unsigned char b) {
    switch (b) {
        case 0x80: return u'\u0080';
        case 0xA0: return u'\uF8F0';
        case 0xFD: return u'\uF8F1';
        case 0xFE: return u'\uF8F2';
        case 0xFF: return u'\uF8F3';
        default: return 0;
    }
}

// The other way round: the byte of one of those characters, 0 for others.
char ByteOfItsOwn(char16_t c) {
    for (int b : {0x80, 0xA0, 0xFD, 0xFE, 0xFF})
        if (SingleByteOfItsOwn(static_cast<unsigned char>(b)) == c) return static_cast<char>(b);
    return 0;
}

// Used only when the C library has no CP932 converter: ASCII passes, every
// other character becomes the replacement.
std::string WideToAnsiAsciiOnly(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else {
            if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
            out.push_back(kUnmappable);
        }
    }
    return out;
}

std::u16string AnsiToWideAsciiOnly(const char* bytes, size_t n) {
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(b < 0x80 ? static_cast<char16_t>(b) : kUndecodable);
    }
    return out;
}

// Grows the output buffer of an iconv loop, keeping the write position.
template <typename Buffer>
void GrowOutput(Buffer& buf, char*& outPtr, size_t& outLeft) {
    char* base = reinterpret_cast<char*>(buf.data());
    size_t used = static_cast<size_t>(outPtr - base);
    size_t oldBytes = buf.size() * sizeof(typename Buffer::value_type);
    buf.resize(buf.size() * 2 + 16);
    size_t newBytes = buf.size() * sizeof(typename Buffer::value_type);
    outPtr = reinterpret_cast<char*>(buf.data()) + used;
    outLeft += newBytes - oldBytes;
}

// The UTF-8 locale whose case tables the casing functions use, or nullptr.
class CaseLocale {
public:
    CaseLocale() {
        loc_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (!loc_) loc_ = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
    }
    ~CaseLocale() {
        if (loc_) freelocale(loc_);
    }
    CaseLocale(const CaseLocale&) = delete;
    CaseLocale& operator=(const CaseLocale&) = delete;
    locale_t get() const { return loc_; }

private:
    locale_t loc_ = nullptr;
};

locale_t GetCaseLocale() {
    static CaseLocale locale;
    return locale.get();
}

}  // namespace

namespace {

// The text as iconv encodes it, with '?' for what it rejects.
std::string WideToAnsiIconv(const std::u16string& text) {
    if (text.empty()) return {};
    iconv_t cd = Converters().toCp932;
    if (cd == kNoConverter) return WideToAnsiAsciiOnly(text);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // One UTF-16 unit never needs more than two bytes of code page 932.
    std::string out(text.size() * 2, '\0');
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    const char* inBase = in;
    size_t inLeft = text.size() * sizeof(char16_t);
    char* outPtr = out.data();
    size_t outLeft = out.size();

    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        int err = errno;
        if (err == E2BIG) {
            GrowOutput(out, outPtr, outLeft);
            continue;
        }
        if (err != EILSEQ && err != EINVAL) break;
        // A unit the code page lacks: one '?' (as Windows, unit by unit: a
        // character beyond U+FFFF gives two), unless it is one of the five
        // that Windows gives a single byte of its own.
        const size_t unit = static_cast<size_t>(in - inBase) / sizeof(char16_t);
        const char own = ByteOfItsOwn(text[unit]);
        const size_t skip = std::min(sizeof(char16_t), inLeft);
        in += skip;
        inLeft -= skip;
        if (outLeft == 0) GrowOutput(out, outPtr, outLeft);
        *outPtr++ = own ? own : kUnmappable;
        --outLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(static_cast<size_t>(outPtr - out.data()));
    return out;
}

}  // namespace

std::string WideToAnsi(const std::u16string& text) {
    // iconv also encodes a few characters one way only, to the code of a
    // look-alike (U+301C wave dash as the fullwidth tilde, U+00A5 yen as the
    // backslash ...); Windows refuses them without best fit. Only a character
    // that decodes back to itself is kept.
    std::string bytes = WideToAnsiIconv(text);
    if (AnsiToWide(bytes.data(), bytes.size()) == text) return bytes;
    std::string out;
    out.reserve(bytes.size());
    for (char16_t u : text) {
        std::string b = WideToAnsiIconv(std::u16string(1, u));
        if (AnsiToWide(b.data(), b.size()) != std::u16string(1, u)) b = std::string(1, kUnmappable);
        out += b;
    }
    return out;
}

std::u16string AnsiToWide(const char* bytes, size_t n) {
    if (n == 0) return {};
    iconv_t cd = Converters().fromCp932;
    if (cd == kNoConverter) return AnsiToWideAsciiOnly(bytes, n);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // Every byte or byte pair gives at most one UTF-16 unit.
    std::u16string out(n, u'\0');
    char* in = const_cast<char*>(bytes);
    size_t inLeft = n;
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(char16_t);

    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        int err = errno;
        if (err == E2BIG) {
            GrowOutput(out, outPtr, outLeft);
        } else if (err == EILSEQ || err == EINVAL) {
            // What iconv rejects, decoded as Windows does: a lead byte takes
            // the byte after it, and the pair (or a lead byte at the end)
            // becomes U+30FB; the five single bytes without a character of
            // their own are U+0080 and U+F8F0 to U+F8F3.
            const auto b = static_cast<unsigned char>(in[0]);
            size_t skip = 1;
            char16_t c = kUndecodable;
            if (IsLeadByte(b)) {
                skip = inLeft > 1 ? 2 : 1;
            } else if (char16_t single = SingleByteOfItsOwn(b)) {
                c = single;
            }
            if (outLeft < sizeof(char16_t)) GrowOutput(out, outPtr, outLeft);
            std::memcpy(outPtr, &c, sizeof(char16_t));
            outPtr += sizeof(char16_t);
            outLeft -= sizeof(char16_t);
            in += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            break;
        }
    }
    out.resize(static_cast<size_t>(outPtr - reinterpret_cast<char*>(out.data())) /
               sizeof(char16_t));
    return out;
}

std::u16string UpperCase(const std::u16string& text) {
    locale_t loc = GetCaseLocale();
    if (!loc)
        return MapCase(text, [](char32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return MapCase(text, [loc](char32_t c) {
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), loc));
    });
}

std::u16string LowerCase(const std::u16string& text) {
    locale_t loc = GetCaseLocale();
    if (!loc)
        return MapCase(text, [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return MapCase(text, [loc](char32_t c) {
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), loc));
    });
}

}  // namespace talvine::platform
