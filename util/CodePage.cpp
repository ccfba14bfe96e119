// Code page 932 by character. The system's converter (iconv, or Windows'
// own) is asked once per distinct character and its answer remembered, so
// that a drawing's hundred thousand texts cost a converter call for each
// character they use, not for each text.
//
// This gives the converter's own result for the whole text because code
// page 932 is stateless and its characters are found left to right alike
// by both: a byte below 0x80 is a character, a lead byte (0x81-0x9F,
// 0xE0-0xFC) takes the byte after it, any other byte stands alone. A pair
// or byte the converter does not turn into exactly one UTF-16 unit, and a
// lead byte at the end of a text, send the whole text to the converter.
// Encoding goes unit by unit the same way; the converter encodes a text as
// its units one by one (see WideToAnsi).
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// 0..59 for the 60 lead bytes.
size_t LeadIndex(uint8_t b) { return b <= 0x9F ? b - 0x81u : b - 0xE0u + 31; }

// Memo entries: 0 not asked yet, kNone when the converter's answer is not
// one unit (decoding) or more than two bytes (encoding), else kKnown | value.
constexpr uint32_t kKnown = 0x1000000;
constexpr uint32_t kNone = 0x2000000;

struct FreeDeleter {
    void operator()(uint32_t* p) const { std::free(p); }
};

// Zeroed tables, allocated at first use; calloc leaves fresh pages
// untouched, so only the parts of the tables a drawing uses cost memory.
class Cp932Memo {
public:
    // The unit of lead byte lead and trail byte trail, or of a single byte
    // (lead 0); kNone when the text must go to the converter.
    uint32_t Decode(uint8_t lead, uint8_t trail) {
        uint32_t& slot = lead ? Pairs()[LeadIndex(lead) * 256 + trail] : Singles()[trail];
        if (slot == 0) {
            const char bytes[2] = {static_cast<char>(lead ? lead : trail), static_cast<char>(trail)};
            const std::u16string u = platform::AnsiToWide(bytes, lead ? 2 : 1);
            slot = u.size() == 1 ? kKnown | u[0] : kNone;
        }
        return slot;
    }
    // The bytes of unit c: kKnown | count << 16 | second << 8 | first.
    uint32_t Encode(char16_t c) {
        uint32_t& slot = Units()[c];
        if (slot == 0) {
            const std::string b = platform::WideToAnsi(std::u16string(1, c));
            if (b.size() == 1)
                slot = kKnown | 1u << 16 | static_cast<uint8_t>(b[0]);
            else if (b.size() == 2)
                slot = kKnown | 2u << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[1])) << 8 |
                       static_cast<uint8_t>(b[0]);
            else
                slot = kNone;
        }
        return slot;
    }

private:
    static uint32_t* Table(std::unique_ptr<uint32_t[], FreeDeleter>& t, size_t n) {
        if (!t) {
            t.reset(static_cast<uint32_t*>(std::calloc(n, sizeof(uint32_t))));
            if (!t) throw std::bad_alloc();
        }
        return t.get();
    }
    uint32_t* Pairs() { return Table(pairs_, 60 * 256); }
    uint32_t* Singles() { return Table(singles_, 256); }
    uint32_t* Units() { return Table(units_, 0x10000); }

    std::unique_ptr<uint32_t[], FreeDeleter> pairs_, singles_, units_;
};

// Like the converters themselves, one memo per thread.
Cp932Memo& Memo() {
    thread_local Cp932Memo memo;
    return memo;
}

}  // namespace

void AppendAnsiBytes(std::u16string_view text, ByteArray& out) {
    const size_t start = out.size();
    out.resize(start + text.size() * 2);  // at most two bytes a unit
    uint8_t* p = out.data() + start;
    Cp932Memo* memo = nullptr;
    for (char16_t c : text) {
        if (c < 0x80) {
            *p++ = static_cast<uint8_t>(c);
            continue;
        }
        if (!memo) memo = &Memo();
        const uint32_t e = memo->Encode(c);
        if (e == kNone) {
            const std::string whole = platform::WideToAnsi(std::u16string(text));
            out.resize(start);
            out.insert(out.end(), whole.begin(), whole.end());
            return;
        }
        *p++ = static_cast<uint8_t>(e);
        if ((e >> 16 & 3) == 2) *p++ = static_cast<uint8_t>(e >> 8);
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

ByteArray StrToAnsiBytes(const std::u16string& text) {
    ByteArray out;
    AppendAnsiBytes(text, out);
    return out;
}

void AnsiBytesToStr(const uint8_t* bytes, size_t n, std::u16string& out) {
    out.clear();
    if (n == 0) return;
    // Code page 932 never uses a zero byte inside a character.
    if (const void* nul = std::memchr(bytes, 0, n))
        n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes);
    // At most one unit a byte. Decoded on the stack first, so that a text
    // short enough for the string's own room (such as a seven-character
    // font name of thirteen bytes) allocates nothing.
    char16_t local[128];
    std::u16string longer;
    char16_t* units = local;
    if (n > std::size(local)) {
        longer.resize(n);
        units = longer.data();
    }
    size_t k = 0;
    Cp932Memo* memo = nullptr;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            units[k++] = b;
            continue;
        }
        if (!memo) memo = &Memo();
        const bool pair = IsLeadByte(b);
        const uint32_t d = !pair ? memo->Decode(0, b) : i + 1 < n ? memo->Decode(b, bytes[i + 1]) : kNone;
        if (d == kNone) {
            out = platform::AnsiToWide(reinterpret_cast<const char*>(bytes), n);
            return;
        }
        units[k++] = static_cast<char16_t>(d);
        i += pair ? 1 : 0;
    }
    out.assign(units, k);
}

std::u16string AnsiBytesToStr(const uint8_t* bytes, size_t n) {
    std::u16string out;
    AnsiBytesToStr(bytes, n, out);
    return out;
}

}  // namespace talvine
