#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "util/Func_2.h"
#include "util/ImageText.h"

namespace talvine {
namespace {

std::string Show(const std::u16string& t) { return Utf16ToUtf8(t); }

TEST(ImageText, ParseImageText) {
    struct {
        std::u16string text;
        int result;
        std::u16string name;
        std::vector<double> d;
        std::vector<int32_t> n;
    } cases[] = {
        {u"^@BMimg.bmp,100,80", 1, u"img.bmp", {100, 80, 0, 0, 1, 0}, {-1, -1, -1}},
        {u"^@BMC:\\a\\p.jpg,50.5", 1, u"C:\\a\\p.jpg", {50.5, 50.5, 0, 0, 1, 0}, {-1, -1, -1}},
        {u"^@BMp,1,2,3,4,5,6,7,8,9,junk,10", 0, u"p", {1, 2, 3, 4, 5, 6}, {7, 8, 9}},
        {u"^@BMp,1,2,3,4,5,6,7", 0, u"p", {1, 2, 3, 4, 5, 6}, {7, 0, 0}},
        {u"^@BMp,1,2,x", 0, u"p", {1, 2, 0, 0, 1, 0}, {-1, -1, -1}},
        {u"^@BMp,1,", 1, u"p", {1, 0, 0, 0, 1, 0}, {-1, -1, -1}},
        {u"^@BMnocomma", 1, u"", {0, 0, 0, 0, 1, 0}, {-1, -1, -1}},
        {u"^@B,1,2", 1, u"", {0, 0, 0, 0, 1, 0}, {-1, -1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.text));
        TImageTextInfo i = ParseImageText(c.text);
        EXPECT_EQ(i.result, c.result);
        EXPECT_EQ(i.name, c.name);
        EXPECT_EQ(std::vector<double>(i.d, i.d + 6), c.d);
        EXPECT_EQ(std::vector<int32_t>(i.n, i.n + 3), c.n);
    }
}

// Splitting and joining give every image text back as it was, whatever its
// fields hold; texts without the prefix or a comma are no image texts.
TEST(ImageText, SplitAndJoinGiveTheTextBack) {
    struct {
        std::u16string text;
        std::u16string name;
        std::vector<std::u16string> fields;
    } cases[] = {
        {u"^@BMimg.bmp,100,80", u"img.bmp", {u"100", u"80"}},
        {u"^@BM%temp%窓.jpg,1,2,3,4,5,6,7,8,9,x", u"%temp%窓.jpg", {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"x"}},
        {u"^@BM,", u"", {u""}},
        {u"^@BMp,,", u"p", {u"", u""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.text));
        const std::optional<TImageText> t = SplitImageText(c.text);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->name, c.name);
        EXPECT_EQ(t->fields, c.fields);
        EXPECT_EQ(t->Text(), c.text);
    }
    for (const std::u16string text : {u"^@BMnocomma", u"^@B,1", u"", u"x^@BMp,1"}) {
        SCOPED_TRACE(Show(text));
        EXPECT_FALSE(SplitImageText(text).has_value());
    }
}

TEST(ImageText, BoundImageName) {
    EXPECT_EQ(BoundImageName(u"^@BM%temp%plan.jpg,100"), u"plan.jpg");
    EXPECT_EQ(BoundImageName(u"^@BM%temp%,100"), u"");
    EXPECT_EQ(BoundImageName(u"^@BM%temp%plan.jpg"), std::nullopt);  // no comma
    EXPECT_EQ(BoundImageName(u"^@BM%temp%"), std::nullopt);
    EXPECT_EQ(BoundImageName(u"^@BMplan.jpg,100"), std::nullopt);   // on disk
    EXPECT_EQ(BoundImageName(u"^@BM%TEMP%plan.jpg,100"), std::nullopt);
}

}  // namespace
}  // namespace talvine
