#include "app/win32/WindowFont.h"

#include <cstdint>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace talvine {

namespace {

constexpr wchar_t kMsGothic[] = L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF";  // "ＭＳ ゴシック"

// Characters of the window's labels: Latin letters, digits and signs, and
// kana and kanji.
constexpr wchar_t kLatinSample[] = L"SXF0123JW/(L)";
constexpr wchar_t kJapaneseSample[] = L"\x5BF8\x6CD5\x56F3\x5F62\x4FDD\x5B58\x30ED\x30B0";  // 寸法図形保存ログ
constexpr int kCell = 32;

// Whether the face draws every character of sample as a glyph of its own,
// none of them blank. A font that lacks a character draws the same box for
// all it lacks; font linking, where the system has it, is part of the
// drawing, as for the controls.
bool DrawsEach(const LOGFONTW& face, const wchar_t* sample) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kCell;
    bi.bmiHeader.biHeight = -kCell;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HFONT font = CreateWindowFont(face, 13, false);
    bool each = bmp != nullptr && bits != nullptr && font != nullptr;
    if (each) {
        HGDIOBJ oldBmp = SelectObject(dc, bmp);
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        std::set<std::vector<uint32_t>> glyphs;
        const size_t n = wcslen(sample);
        for (size_t i = 0; i < n && each; ++i) {
            PatBlt(dc, 0, 0, kCell, kCell, WHITENESS);
            TextOutW(dc, 4, 4, sample + i, 1);
            GdiFlush();
            const uint32_t* p = static_cast<const uint32_t*>(bits);
            std::vector<uint32_t> glyph(p, p + kCell * kCell);
            bool ink = false;
            for (uint32_t& v : glyph) {
                v &= 0xFFFFFF;
                ink = ink || v != 0xFFFFFF;
            }
            each = ink && glyphs.insert(std::move(glyph)).second;
        }
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBmp);
    }
    if (font != nullptr) DeleteObject(font);
    if (bmp != nullptr) DeleteObject(bmp);
    DeleteDC(dc);
    return each;
}

bool ReadsJapanese(const LOGFONTW& face) { return DrawsEach(face, kLatinSample) && DrawsEach(face, kJapaneseSample); }

LOGFONTW Named(const wchar_t* family, BYTE charSet, BYTE pitch) {
    LOGFONTW lf{};
    lf.lfCharSet = charSet;
    lf.lfPitchAndFamily = pitch;
    wcsncpy(lf.lfFaceName, family, LF_FACESIZE - 1);
    return lf;
}

LOGFONTW MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW lf = Named(L"MS Shell Dlg 2", DEFAULT_CHARSET, 0);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) lf = metrics.lfMessageFont;
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = FALSE;
    return lf;
}

// Families that say they hold Japanese, in the order the system lists them
// (vertical "@" variants left out).
std::vector<std::wstring> JapaneseFamilies() {
    LOGFONTW lf{};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::vector<std::wstring> families;
    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesExW(
        dc, &lf,
        [](const LOGFONTW* f, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
            auto& out = *reinterpret_cast<std::vector<std::wstring>*>(p);
            const std::wstring name = f->lfFaceName;
            if (!name.empty() && name[0] != L'@') {
                bool seen = false;
                for (const std::wstring& n : out) seen = seen || n == name;
                if (!seen) out.push_back(name);
            }
            return 1;
        },
        reinterpret_cast<LPARAM>(&families), 0);
    DeleteDC(dc);
    return families;
}

}  // namespace

bool FontInstalled(const wchar_t* family) {
    LOGFONTW lf = Named(family, DEFAULT_CHARSET, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &lf,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
            *reinterpret_cast<bool*>(p) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    DeleteDC(dc);
    return found;
}

LOGFONTW WindowFontFace() {
    if (FontInstalled(kMsGothic)) {
        const LOGFONTW gothic = Named(kMsGothic, SHIFTJIS_CHARSET, FIXED_PITCH | FF_MODERN);
        if (ReadsJapanese(gothic)) return gothic;
    }
    const LOGFONTW message = MessageFont();
    if (ReadsJapanese(message)) return message;
    // No font linking brings Japanese into the message font here (a
    // system without the supplemental fonts, or Wine): the first installed
    // Japanese font that shows Latin letters too.
    for (const std::wstring& family : JapaneseFamilies()) {
        const LOGFONTW lf = Named(family.c_str(), SHIFTJIS_CHARSET, DEFAULT_PITCH);
        if (ReadsJapanese(lf)) return lf;
    }
    return message;
}

HFONT CreateWindowFont(const LOGFONTW& face, int pixels, bool underline) {
    LOGFONTW lf = face;
    lf.lfHeight = -pixels;
    lf.lfWidth = 0;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    return CreateFontIndirectW(&lf);
}

}  // namespace talvine
