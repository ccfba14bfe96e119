// The texts that place images. A text entity whose string begins "^@BM"
// places the image it names:
//
//   "^@BM" name "," width ["," height ["," n3 "," n4 "," n5 "," degrees
//                                        ["," n7 "," n8 "," n9]]]
//
// and "^@BM%temp%" name "," ... places an image the drawing carries (a bound
// image). Reading, rewriting and writing such texts happen here only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvine {

inline const std::u16string kImageTextPrefix = u"^@BM";
// An image name that begins "%temp%" names a bound image.
inline const std::u16string kBoundImageMark = u"%temp%";
inline const std::u16string kBoundImageTextPrefix = kImageTextPrefix + kBoundImageMark;

// True when the text begins "^@BM": it places an image.
bool HasImagePrefix(const std::u16string& text);

// An image text in its parts: the name between "^@BM" and the first comma,
// and the fields after that comma, split at every further comma.
struct TImageText {
    std::u16string name;
    std::vector<std::u16string> fields;

    // "^@BM" name "," fields joined by commas: the text split into these
    // parts, given back as it was.
    std::u16string Text() const;
};
// nullopt for a text that does not begin "^@BM" or has no comma.
std::optional<TImageText> SplitImageText(const std::u16string& text);

// The name of the bound image the text places (between "^@BM%temp%" and
// the first comma; it may be empty); nullopt when it places none.
std::optional<std::u16string> BoundImageName(const std::u16string& text);

// The numbers of an image text, as a picture and the extents read them.
struct TImageTextInfo {
    int result = 1;              // 1 when the text holds at most two numbers
    std::u16string name;         // image path between "^@BM" and the first comma
    double d[6] = {0, 0, 0, 0, 1.0, 0};  // numbers 1..6
    int32_t n[3] = {-1, -1, -1};         // numbers 7..9
};
TImageTextInfo ParseImageText(const std::u16string& text);

}  // namespace talvine
