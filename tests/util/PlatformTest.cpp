// Code page 932 conversion and casing of the POSIX text services.
#include "util/Platform.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace talvine::platform {
namespace {

std::u16string Decode(const std::string& bytes) { return AnsiToWide(bytes.data(), bytes.size()); }

TEST(Cp932, RoundTripsAsWindowsMapsThem) {
    struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"\u2460", "\x87\x40"},  // circled 1, NEC row 13
        {u"\uFF5E", "\x81\x60"},  // fullwidth tilde
        {u"\u2225", "\x81\x61"},  // parallel to
        {u"\uFFE2", "\x81\xCA"},  // fullwidth not sign
        {u"\uFF0D", "\x81\x7C"},  // fullwidth hyphen-minus
        {u"\u2160", "\x87\x54"},  // Roman numeral one
        {u"\u2170", "\xFA\x40"},  // small Roman one, IBM extension
        {u"\u7E8A", "\xFA\x5C"},  // IBM extension kanji
        {u"\uE000", "\xF0\x40"},  // user-defined area
        {u"\uFF71", "\xB1"},      // half-width katakana
        {u"\\~", "\x5C\x7E"},     // ASCII, not yen sign and overline
        {u"A\u6F22\u5B57z", "A\x8A\xBF\x8E\x9Az"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideToAnsi(c.text), c.bytes) << int(c.text[0]);
        EXPECT_EQ(Decode(c.bytes), c.text) << int(c.text[0]);
    }
}

// Duplicate codes decode as Windows does and encode to the code Windows
// prefers: JIS over NEC row 13, NEC row 13 over IBM, IBM over NEC-selected.
TEST(Cp932, DuplicatesEncodeToThePreferredCode) {
    struct {
        std::string bytes;
        std::u16string text;
        std::string reencoded;
    } cases[] = {
        {"\x87\x9A", u"\u2235", "\x81\xE6"},  // because
        {"\x87\x90", u"\u2252", "\x81\xE0"},  // nearly equal
        {"\x87\x92", u"\u222B", "\x81\xE7"},  // integral
        {"\xFA\x4A", u"\u2160", "\x87\x54"},  // IBM Roman one
        {"\xFA\x58", u"\u3231", "\x87\x8A"},  // parenthesised kabu
        {"\xFA\x54", u"\uFFE2", "\x81\xCA"},  // IBM not sign
        {"\xED\x40", u"\u7E8A", "\xFA\x5C"},  // NEC-selected kanji
        {"\xEE\xEF", u"\u2170", "\xFA\x40"},  // NEC-selected Roman
        {"\xEE\xF9", u"\uFFE2", "\x81\xCA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.bytes), c.text) << int(c.text[0]);
        EXPECT_EQ(WideToAnsi(c.text), c.reencoded) << int(c.text[0]);
    }
}

TEST(Cp932, UnmappableCharacterBecomesOneQuestionMark) {
    EXPECT_EQ(WideToAnsi(u"\u0100"), "?");
    EXPECT_EQ(WideToAnsi(u"a\U0001F600b"), "a?b");  // a pair is one character
    EXPECT_EQ(WideToAnsi(u"\U0001F600\U0001F600"), "??");
    EXPECT_EQ(WideToAnsi(std::u16string(u"x\xD800y")), "x?y");             // lone high
    EXPECT_EQ(WideToAnsi(std::u16string(u"x\xDC00")), "x?");               // lone low
    EXPECT_EQ(WideToAnsi(std::u16string(u"\u3042\xD800")), "\x82\xA0?");  // cut-off pair
}

TEST(Cp932, UndecodableBytesBecomeMiddleDot) {
    EXPECT_EQ(Decode("\x80"), u"\u30FB");
    EXPECT_EQ(Decode("a\xA0" "b\xFD\xFE\xFF"), u"a\u30FBb\u30FB\u30FB\u30FB");
    EXPECT_EQ(Decode("\x81\x20"), u"\u30FB ");  // bad trail byte: only the lead is lost
    EXPECT_EQ(Decode("A\x82"), u"A\u30FB");     // lead byte cut off at the end
    EXPECT_EQ(Decode("\x85\x40z"), u"\u30FBz");  // unassigned pair: one character
}

TEST(Cp932, LongTextsConvertCompletely) {
    std::u16string text, expected;
    for (int i = 0; i < 5000; ++i) {
        text += u"\u3042b\U0001F600\uFF71";
        expected += u"\u3042b?\uFF71";
    }
    std::string bytes = WideToAnsi(text);
    ASSERT_EQ(bytes.size(), 5000u * 5);
    EXPECT_EQ(Decode(bytes), expected);
}

TEST(Cp932, ThreadsConvertIndependently) {
    const std::u16string text = u"\u6F22\u5B57\u2460abc\uFF71\U0001F600";
    const std::string bytes = WideToAnsi(text);
    const std::u16string back = Decode(bytes);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i)
                if (WideToAnsi(text) != bytes || Decode(bytes) != back) ++failures[t];
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(Casing, MapsEveryCodePoint) {
    struct {
        std::u16string text, upper, lower;
    } cases[] = {
        {u"Plan.JWW", u"PLAN.JWW", u"plan.jww"},
        {u"\uFF21\uFF41", u"\uFF21\uFF21", u"\uFF41\uFF41"},  // fullwidth
        {u"\u00E9\u03B1\u00C9", u"\u00C9\u0391\u00C9", u"\u00E9\u03B1\u00E9"},
        {u"\U00010428x", u"\U00010400X", u"\U00010428x"},  // Deseret, a surrogate pair
        {u"\u6F22\u3042", u"\u6F22\u3042", u"\u6F22\u3042"},
        {std::u16string(u"a\xD800" "b"), std::u16string(u"A\xD800" "B"),
         std::u16string(u"a\xD800" "b")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UpperCase(c.text), c.upper) << int(c.text[0]);
        EXPECT_EQ(LowerCase(c.text), c.lower) << int(c.text[0]);
    }
}

}  // namespace
}  // namespace talvine::platform
