// Text and file-name utilities; see Func_2.h.
#include "util/Func_2.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "util/NumberText.h"
#include "util/Platform.h"

namespace talvine {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Length in units of the character starting at i (2 for a surrogate pair).
size_t CharLen(const std::u16string& t, size_t i) {
    return (IsHigh(t[i]) && i + 1 < t.size() && IsLow(t[i + 1])) ? 2 : 1;
}

bool IsHalfWidthUnit(char16_t c) {
    return (c >= 0x20 && c <= 0x7E) || (c >= 0xFF61 && c <= 0xFF9F);
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

// Decodes UTF-8. Each maximal ill-formed subpart becomes one U+FFFD; the
// result tells whether the input was well-formed.
bool DecodeUtf8(const unsigned char* s, size_t n, std::u16string& out) {
    bool ok = true;
    out.reserve(out.size() + n);
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int need;
        char32_t c;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the first trail byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            c = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;       // no overlong forms
            if (b == 0xED) hi = 0x9F;       // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            c = b & 0x07;
            if (b == 0xF0) lo = 0x90;       // no overlong forms
            if (b == 0xF4) hi = 0x8F;       // nothing above U+10FFFF
        } else {
            out.push_back(kReplacement);
            ok = false;
            ++i;
            continue;
        }
        size_t j = i + 1;
        int got = 0;
        while (got < need && j < n && s[j] >= lo && s[j] <= hi) {
            c = (c << 6) | (s[j] & 0x3F);
            ++j;
            ++got;
            lo = 0x80;
            hi = 0xBF;
        }
        if (got == need) {
            AppendUtf16(out, c);
        } else {
            out.push_back(kReplacement);
            ok = false;
        }
        i = j;
    }
    return ok;
}

bool IsAsciiSpace(char16_t c) { return c == u' '; }

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// Characters that no name stored in a drawing may hold.
bool IsInvalidNameChar(char16_t c) {
    return c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' ||
           c == u'*';
}

bool HasInvalidNameChars(const std::u16string& name) {
    for (char16_t c : name)
        if (IsInvalidNameChar(c)) return true;
    return false;
}

bool IsStoredNameSeparator(char16_t c) { return c == u'\\' || c == u'/' || c == u':'; }

bool HasControlBytes(const std::string& path) {
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

// Position of the extension's dot in the last component of an OS path, or
// npos when that component holds no dot.
size_t OsExtPos(const std::string& path) {
    for (size_t i = path.size(); i-- > 0;) {
        char c = path[i];
        if (c == '.') return i;
        if (platform::IsPathSeparator(static_cast<unsigned char>(c))) break;
    }
    return std::string::npos;
}

bool IsValidUtf8(const std::string& s) {
    std::u16string scratch;
    return DecodeUtf8(reinterpret_cast<const unsigned char*>(s.data()), s.size(), scratch);
}

// Default attributes and the writer's text-substitution table.
struct UtilState {
    uint16_t penColor = 1;
    uint8_t penStyle = 1;
    bool substitutionOn = false;
    std::vector<std::pair<std::u16string, std::u16string>> substitutions;
};

UtilState& State() {
    static UtilState state;
    return state;
}

}  // namespace

// ---- Text slicing and cleaning ----------------------------------------

std::u16string UpperStr(const std::u16string& text) { return platform::UpperCase(text); }

std::u16string LowerStr(const std::u16string& text) { return platform::LowerCase(text); }

int PosIndex(const std::u16string& part, const std::u16string& text) {
    if (part.empty()) return -1;
    size_t p = text.find(part);
    return p == std::u16string::npos ? -1 : static_cast<int>(p);
}

std::u16string SubStrFrom(const std::u16string& text, int start) {
    if (start < 0) start = 0;
    if (static_cast<size_t>(start) >= text.size()) return {};
    return text.substr(static_cast<size_t>(start));
}

std::u16string SubStr(const std::u16string& text, int start, int count) {
    if (start < 0) start = 0;
    if (count <= 0 || static_cast<size_t>(start) >= text.size()) return {};
    return text.substr(static_cast<size_t>(start), static_cast<size_t>(count));
}

std::u16string RemoveBlanks(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text)
        if (c > 0x20 && c != 0x3000) out.push_back(c);
    return out;
}

std::u16string RemoveCtrlChars(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text)
        if (c >= 0x20) out.push_back(c);
    return out;
}

std::u16string SanitizeText(const std::u16string& text) {
    if (text.empty()) return {};
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (i + 1 < text.size() && ((text[i] == u'^' && text[i + 1] == u'm') ||
                                    (text[i] == u'\\' && text[i + 1] == u'n'))) {
            i += 2;
            continue;
        }
        if (text[i] >= 0x20) out.push_back(text[i]);
        ++i;
    }
    if (out.empty()) out.push_back(u' ');
    return out;
}

int CharCount(const std::u16string& text) {
    int n = 0;
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) ++n;
    return n;
}

int SurrogateKind(const std::u16string& text, int index) {
    if (index < 0 || static_cast<size_t>(index) >= text.size()) return -1;
    size_t i = static_cast<size_t>(index);
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) return 1;
    if (IsLow(text[i]) && i > 0 && IsHigh(text[i - 1])) return 2;
    return 0;
}

bool IsHalfWidth(const std::u16string& ch) { return !ch.empty() && IsHalfWidthUnit(ch[0]); }

// ---- Text widths ----------------------------------------------------------

double TextWidth(const std::u16string& text, double w, double s) {
    double width = 0;
    bool first = true;
    bool prevHalf = false;
    for (size_t i = 0; i < text.size();) {
        size_t len = CharLen(text, i);
        char16_t c = text[i];
        bool half = len == 1 && IsHalfWidthUnit(c);
        if (!first) width += prevHalf ? s / 2 : s;
        if (c >= 0x20) width += half ? w / 2 : w;
        first = false;
        prevHalf = half;
        i += len;
    }
    return width;
}

double TextWidthFull(const std::u16string& text, double w, double s) {
    int n = CharCount(text);
    return n * w + (n - 1) * s;
}

double AnsiTextWidth(const std::u16string& text, double w, double s) {
    ByteArray bytes = StrToAnsiBytes(text);
    double width = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        uint8_t b = bytes[i];
        bool dbcs = (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD);
        width += dbcs ? w : w / 2;
        i += dbcs ? 2 : 1;
        if (i < bytes.size()) width += dbcs ? s : s / 2;
    }
    return width;
}

// ---- Code pages --------------------------------------------------------------

std::u16string AnsiBytesToStr(const ByteArray& bytes) {
    return AnsiBytesToStr(bytes.data(), bytes.size());
}

int AnsiByteLen(const std::u16string& text) {
    ByteArray bytes = StrToAnsiBytes(text);
    size_t n = 0;
    while (n < bytes.size() && bytes[n] != 0) ++n;
    return static_cast<int>(n);
}

ByteArray StrToWideBytes(const std::u16string& text) {
    ByteArray out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

void WideBytesToStr(const uint8_t* bytes, size_t n, std::u16string& out) {
    out.clear();
    out.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) {
        char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == 0) break;
        out.push_back(c);
    }
}

std::u16string WideBytesToStr(const uint8_t* bytes, size_t n) {
    std::u16string out;
    WideBytesToStr(bytes, n, out);
    return out;
}

std::u16string WideBytesToStr(const ByteArray& bytes) {
    return WideBytesToStr(bytes.data(), bytes.size());
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
    return out;
}

std::u16string EncodeHexUtf8(const std::u16string& text) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::string utf8 = Utf16ToUtf8(text);
    std::u16string out;
    out.reserve(utf8.size() * 2);
    for (char c : utf8) {
        auto b = static_cast<unsigned char>(c);
        if (b == 0) break;
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

std::u16string DecodeHexUtf8(const std::u16string& text) {
    // A pair that is not hexadecimal, and an odd last digit, give a zero
    // byte, which ends the text.
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int hi = HexDigit(text[i]);
        int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0 || hi + lo == 0) break;
        bytes.push_back(static_cast<unsigned char>(hi * 16 + lo));
    }
    std::u16string out;
    if (!DecodeUtf8(bytes.data(), bytes.size(), out)) return u"?";
    return out;
}

// ---- Numbers in text ---------------------------------------------------

bool StrToBool(const std::u16string& text) {
    static const char16_t* const kTrue[] = {u"T",  u"TR",      u"TRU",     u"TRUE", u"1",
                                            u"\uFF11", u"\u25CB", u"ON", u"\u771F", u"\u6B63"};
    std::u16string upper = UpperStr(text);
    for (const char16_t* t : kTrue)
        if (upper == t) return true;
    return false;
}

std::u16string BoolToStr01(bool b) { return b ? u"1" : u"0"; }

int32_t StrToIntDef0(const std::u16string& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsAsciiSpace(text[i])) ++i;
    bool neg = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        neg = text[i] == u'-';
        ++i;
    }
    uint64_t value = 0;
    if (i < n && text[i] == u'$') {
        ++i;
        if (i == n) return 0;
        for (; i < n; ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) return 0;
            value = value * 16 + static_cast<uint64_t>(d);
            if (value > 0xFFFFFFFFu) return 0;
        }
        // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
    } else {
        if (i == n) return 0;
        for (; i < n; ++i) {
            if (text[i] < u'0' || text[i] > u'9') return 0;
            value = value * 10 + static_cast<uint64_t>(text[i] - u'0');
            if (value > 0x80000000u) return 0;
        }
        if (!neg && value > 0x7FFFFFFFu) return 0;
    }
    uint32_t bits = static_cast<uint32_t>(value);
    if (neg) bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

double StrToFloatDef0(const std::u16string& text) {
    size_t b = 0, e = text.size();
    while (b < e && IsAsciiSpace(text[b])) ++b;
    while (e > b && IsAsciiSpace(text[e - 1])) --e;
    // [sign] digits [. digits] [e [sign] digits], at least one mantissa digit.
    std::string s;
    s.reserve(e - b);
    size_t i = b;
    auto isDigit = [&](size_t k) { return k < e && text[k] >= u'0' && text[k] <= u'9'; };
    if (i < e && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') s.push_back('-');
        ++i;
    }
    size_t mantissaDigits = 0;
    while (isDigit(i)) {
        s.push_back(static_cast<char>(text[i++]));
        ++mantissaDigits;
    }
    if (i < e && text[i] == u'.') {
        s.push_back('.');
        ++i;
        while (isDigit(i)) {
            s.push_back(static_cast<char>(text[i++]));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return 0;
    if (i < e && (text[i] == u'e' || text[i] == u'E')) {
        s.push_back('e');
        ++i;
        if (i < e && (text[i] == u'+' || text[i] == u'-')) s.push_back(static_cast<char>(text[i++]));
        if (!isDigit(i)) return 0;
        while (isDigit(i)) s.push_back(static_cast<char>(text[i++]));
    }
    if (i != e) return 0;
    double value = 0;
    if (!ParseDecimal(s, value)) return 0;
    return value;
}

std::u16string IntToStrDec(int32_t n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

double RoundDigits(int digits, int mode, double x) {
    double scale = 1;
    if (digits >= 1 && digits <= 9)
        for (int k = 0; k < digits; ++k) scale *= 10;
    double v = std::fabs(x) * scale;
    if (mode == 1)
        v += 0.9999999999;
    else if (mode != 0)
        v += 0.5;
    double r = std::trunc(v) / scale;
    return x < 0 ? -r : r;
}

// ---- File names and the file system ---------------------------------------

std::string AddPathDelim(const std::string& path) {
    if (!path.empty() && (path.back() == '\\' || path.back() == '/')) return path;
    return path + platform::PathSeparator();
}

std::string GetLowerExt(const std::string& path) {
    if (HasControlBytes(path)) throw std::invalid_argument("Illegal characters in path");
    size_t dot = OsExtPos(path);
    if (dot == std::string::npos) return {};
    std::string ext = path.substr(dot);
    if (!IsValidUtf8(ext)) {
        // Not text: lower-case the ASCII letters and keep the other bytes.
        for (char& c : ext)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return ext;
    }
    return Utf16ToUtf8(LowerStr(Utf8ToUtf16(ext)));
}

std::u16string GetLowerExt(const std::u16string& name) {
    if (HasInvalidNameChars(name)) throw std::invalid_argument("Illegal characters in path");
    for (size_t i = name.size(); i-- > 0;) {
        if (name[i] == u'.') return LowerStr(name.substr(i));
        if (IsStoredNameSeparator(name[i])) break;
    }
    return {};
}

std::string ChangeExtSafe(const std::string& path, const std::string& ext) {
    if (path.empty() || HasControlBytes(path) || HasControlBytes(ext)) return {};
    for (char c : ext)
        if (platform::IsPathSeparator(static_cast<unsigned char>(c))) return {};
    size_t dot = OsExtPos(path);
    std::string out = dot == std::string::npos ? path : path.substr(0, dot);
    if (!ext.empty()) {
        if (ext[0] != '.') out.push_back('.');
        out += ext;
    }
    return out;
}

std::u16string ExtractFileNameSafe(const std::u16string& path) {
    if (HasInvalidNameChars(path)) return {};
    for (size_t i = path.size(); i-- > 0;)
        if (IsStoredNameSeparator(path[i])) return path.substr(i + 1);
    return path;
}

std::string FileNamePart(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(path[i - 1]))) --i;
    return path.substr(i);
}

std::string FolderPart(const std::string& path) { return path.substr(0, path.size() - FileNamePart(path).size()); }

bool FileExistsAt(const std::string& path) { return !path.empty() && platform::FileExists(path); }

bool ForceDirSafe(const std::string& path) {
    return !path.empty() && platform::ForceDirectories(path);
}

bool DeleteFileSafe(const std::string& path) {
    return !path.empty() && platform::RemoveFile(path);
}

bool RemoveDirSafe(const std::string& path) { return !path.empty() && platform::RemoveDir(path); }

std::string GetBranchFileName(const std::string& path) { return GetBranchFileName(path, FileExistsAt); }

std::string GetBranchFileName(const std::string& path, const std::function<bool(const std::string&)>& taken) {
    if (!taken(path)) return path;
    std::string ext;
    try {
        ext = GetLowerExt(path);
    } catch (const std::exception&) {
        return {};
    }
    size_t dot = OsExtPos(path);
    const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    for (int n = 1; n <= 99999; ++n) {
        std::string candidate = stem + "~" + std::to_string(n) + ext;
        if (!taken(candidate)) return candidate;
    }
    return {};
}

// ---- Attributes of new entities ----------------------------------------

void ResetUtilDefaults() {
    UtilState& st = State();
    st.penColor = 1;
    st.penStyle = 1;
    st.substitutionOn = false;
    st.substitutions.clear();
}

uint16_t DefaultPenColor() { return State().penColor; }
uint8_t DefaultPenStyle() { return State().penStyle; }
void SetDefaultPenColor(uint16_t color) { State().penColor = color; }
void SetDefaultPenStyle(uint8_t style) { State().penStyle = style; }

void CheckPenColor(uint16_t& color) {
    if (!((color >= 1 && color <= 10) || (color >= 101 && color <= 356)))
        color = State().penColor;
}

void CheckPenColorStyle(uint16_t& color, uint8_t& style) {
    CheckPenColor(color);
    if (!((style >= 1 && style <= 9) || (style >= 11 && style <= 19) ||
          (style >= 31 && style <= 62)))
        style = State().penStyle;
}

void FillBytes(uint8_t value, size_t count, ByteArray& bytes) {
    if (count > bytes.size()) count = bytes.size();
    std::memset(bytes.data(), value, count);
}

void SetTextSubstitution(bool on) { State().substitutionOn = on; }

void AddTextSubstitution(const std::u16string& key, const std::u16string& value) {
    State().substitutions.emplace_back(key, value);
}

std::u16string ApplyTextSubstitution(const std::u16string& text) {
    const UtilState& st = State();
    if (!st.substitutionOn || text.size() < 2 || text[0] != u'%' || text[1] != u'%') return text;
    for (const auto& [key, value] : st.substitutions)
        if (key == text) return value;
    return text;
}

// ---- Colours and line patterns ----------------------------------------

uint32_t ColorRefToArgb(uint32_t colorRef) {
    uint32_t r = colorRef & 0xFF;
    uint32_t g = (colorRef >> 8) & 0xFF;
    uint32_t b = (colorRef >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

int LineTypeDashes(uint32_t pattern, double unit, double out[32]) {
    int bits = 32;
    uint32_t p = pattern;
    // Narrow to the shortest repeating period; an all-set half stays whole.
    if ((p >> 16) == (p & 0xFFFF) && (p & 0xFFFF) != 0xFFFF) {
        p &= 0xFFFF;
        bits = 16;
        if ((p >> 8) == (p & 0xFF) && (p & 0xFF) != 0xFF) {
            p &= 0xFF;
            bits = 8;
            if ((p >> 4) == (p & 0xF) && (p & 0xF) != 0xF) {
                p &= 0xF;
                bits = 4;
                if ((p >> 2) == (p & 0x3) && (p & 0x3) != 0x3) {
                    p &= 0x3;
                    bits = 2;
                }
            }
        }
    }
    int count = 0;
    int run = 0;
    bool runSet = false;
    for (int k = bits - 1; k >= 0; --k) {
        bool set = (p >> k) & 1u;
        if (run > 0 && set != runSet) {
            out[count++] = (runSet ? run : -run) * unit;
            run = 0;
        }
        runSet = set;
        ++run;
    }
    out[count++] = (runSet ? run : -run) * unit;
    return count;
}

}  // namespace talvine
