// The window's typeface: "ＭＳ ゴシック" where it is installed, else the
// system's own message font, with the Japanese font Windows links into it
// (font linking). "ＭＳ ゴシック" asked for where it is missing would be
// replaced by whatever the font mapper finds for Shift-JIS, which may have
// no Latin letters at all. A face is taken only when it draws both Latin
// letters and Japanese as glyphs of their own: where neither does (no
// linked Japanese font, as under Wine), the first installed Japanese font
// that does.
#pragma once

#include "util/WindowsApi.h"

namespace talvine {

// The face, chosen once: name, character set and pitch; the height is
// given to CreateWindowFont.
LOGFONTW WindowFontFace();
// The face at the given height in pixels (as the window measures them,
// already scaled for its dots per inch).
HFONT CreateWindowFont(const LOGFONTW& face, int pixels, bool underline);
// True when a font family of this name is installed.
bool FontInstalled(const wchar_t* family);

}  // namespace talvine
