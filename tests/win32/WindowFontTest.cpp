// The window's font shows Latin letters, digits and Japanese on this
// installation: every character of a label is drawn as a glyph of its own,
// never as the box a font without that character draws for all alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/win32/WindowFont.h"

namespace talvine {
namespace {

constexpr int kCell = 48;

// The pixels of character c drawn in font f, black on white.
std::vector<uint32_t> Glyph(HFONT f, wchar_t c) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kCell;
    bi.bmiHeader.biHeight = -kCell;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> pixels;
    if (bmp != nullptr && bits != nullptr) {
        HGDIOBJ oldBmp = SelectObject(dc, bmp);
        PatBlt(dc, 0, 0, kCell, kCell, WHITENESS);
        HGDIOBJ oldFont = SelectObject(dc, f);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutW(dc, 8, 8, &c, 1);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        pixels.assign(p, p + kCell * kCell);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBmp);
        DeleteObject(bmp);
    }
    DeleteDC(dc);
    for (uint32_t& v : pixels) v &= 0xFFFFFF;
    return pixels;
}

bool Blank(const std::vector<uint32_t>& pixels) {
    for (uint32_t v : pixels)
        if (v != 0xFFFFFF) return false;
    return true;
}

struct LabelCase {
    const char* name;
    const wchar_t* text;  // distinct characters, no spaces
};

class WindowFont : public ::testing::TestWithParam<LabelCase> {};

TEST_P(WindowFont, DrawsEveryCharacterOfALabelAsAGlyphOfItsOwn) {
    const LOGFONTW face = WindowFontFace();
    for (const int pixels : {12, 13}) {
        HFONT f = CreateWindowFont(face, pixels, false);
        ASSERT_NE(f, nullptr);
        std::set<std::vector<uint32_t>> glyphs;
        const std::wstring text = GetParam().text;
        for (wchar_t c : text) {
            const std::vector<uint32_t> g = Glyph(f, c);
            ASSERT_EQ(g.size(), static_cast<size_t>(kCell * kCell));
            EXPECT_FALSE(Blank(g)) << "character U+" << std::hex << static_cast<unsigned>(c) << " draws nothing";
            glyphs.insert(g);
        }
        DeleteObject(f);
        EXPECT_EQ(glyphs.size(), text.size()) << "characters share a glyph (drawn as boxes?) in \""
                                              << std::string(face.lfFaceName, face.lfFaceName + wcslen(face.lfFaceName))
                                              << "\" at " << pixels << " px";
    }
}

INSTANTIATE_TEST_SUITE_P(Labels, WindowFont,
                         ::testing::Values(LabelCase{"AsciiOfTheLabels", L"SXF0123456789JW/(L)"},
                                           LabelCase{"JapaneseOfTheLabels", L"\x5BF8\x6CD5\x56F3\x5F62\x57FA\x6E96\x70B9\x4EEE\x4FDD\x5B58\x30ED\x30B0"}),
                         [](const ::testing::TestParamInfo<LabelCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvine
