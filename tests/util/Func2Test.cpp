// Text, number and file-name utilities.
#include "util/Func_2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/Platform.h"

namespace talvine {
namespace {

namespace fs = std::filesystem;

std::string Show(const std::u16string& t) { return Utf16ToUtf8(t); }

TEST(Text, RemoveBlanksAndSanitize) {
    struct {
        std::u16string in, blanksRemoved, sanitized;
    } cases[] = {
        {u"", u"", u""},
        {u"\u3000", u"", u"\u3000"},
        {u" a\u3000b ", u"ab", u" a\u3000b "},
        {u"^m", u"^m", u" "},
        {u"A\\nB", u"A\\nB", u"AB"},
        {u"a\tb\r\n", u"ab", u"ab"},
        {u"\t", u"", u" "},
        {u"^^mm\\\\nn", u"^^mm\\\\nn", u"^m\\n"},  // what a dropped pair leaves is not re-scanned
        {u"x^", u"x^", u"x^"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.in));
        EXPECT_EQ(RemoveBlanks(c.in), c.blanksRemoved);
        EXPECT_EQ(SanitizeText(c.in), c.sanitized);
    }
}

TEST(Text, SurrogatePairsCountAsOneCharacter) {
    const std::u16string t = u"a\U0001F600b";
    EXPECT_EQ(CharCount(t), 3);
    EXPECT_EQ(SurrogateKind(t, 1), 1);
    EXPECT_EQ(SurrogateKind(t, 2), 2);
    EXPECT_EQ(SurrogateKind(t, 4), -1);
    EXPECT_EQ(SurrogateKind(t, -1), -1);
    const std::u16string lone(u"\xDC00\xD800");  // reversed: two lone units
    EXPECT_EQ(CharCount(lone), 2);
    EXPECT_EQ(SurrogateKind(lone, 0), 0);
    EXPECT_EQ(SurrogateKind(lone, 1), 0);
}

TEST(Text, Widths) {
    struct {
        std::u16string text;
        double width, ansiWidth;  // w = 2, s = 1
    } cases[] = {
        {u"", 0, 0},
        {u"ab", 2.5, 2.5},
        {u"\u6F22\u5B57", 5, 5},
        {u"a\u3042", 3.5, 3.5},
        {u"\u3042a", 4, 4},
        {u"\uFF71\uFF72", 2.5, 2.5},                       // half-width katakana
        {u"\U0001F600a", 4, 4},                            // "??" in ANSI, as on Windows
        {u"a\tb", 1 + 0.5 + 0 + 1 + 1, 1 + 0.5 + 1 + 0.5 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Show(c.text));
        EXPECT_DOUBLE_EQ(TextWidth(c.text, 2, 1), c.width);
        EXPECT_DOUBLE_EQ(AnsiTextWidth(c.text, 2, 1), c.ansiWidth);
    }
}

TEST(CodePages, AsciiFastPathAgreesWithConverter) {
    std::u16string ascii;
    for (char16_t c = 1; c < 0x80; ++c) ascii.push_back(c);
    ByteArray bytes = StrToAnsiBytes(ascii);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), platform::WideToAnsi(ascii));
    EXPECT_EQ(AnsiBytesToStr(bytes),
              platform::AnsiToWide(reinterpret_cast<char*>(bytes.data()), bytes.size()));
    // A mixed text takes the converter; its ASCII must come out the same.
    const std::u16string mixed = ascii + u"\u3042" + ascii;
    ByteArray mixedBytes = StrToAnsiBytes(mixed);
    ASSERT_EQ(mixedBytes.size(), 2 * ascii.size() + 2);
    EXPECT_EQ(AnsiBytesToStr(mixedBytes), mixed);
}

// Texts convert character by character through a memo of the converter's
// answers; every byte pair, every single byte and every UTF-16 unit, in
// one text each way, must come out as the converter gives the whole text.
TEST(CodePages, CharacterMemoAgreesWithTheConverterOnEveryCode) {
    ByteArray all;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 1; trail <= 0xFF; ++trail) {
            all.push_back(static_cast<uint8_t>(lead));
            all.push_back(static_cast<uint8_t>(trail));
        }
    }
    all.push_back(0x82);  // a lead byte at the end
    EXPECT_EQ(AnsiBytesToStr(all), platform::AnsiToWide(reinterpret_cast<const char*>(all.data()), all.size()));
    all.pop_back();
    // Asked a second time, from the memo.
    EXPECT_EQ(AnsiBytesToStr(all), platform::AnsiToWide(reinterpret_cast<const char*>(all.data()), all.size()));

    std::u16string units;
    for (char32_t c = 1; c <= 0xFFFF; ++c) units.push_back(static_cast<char16_t>(c));
    const std::string expected = platform::WideToAnsi(units);
    for (int pass = 0; pass < 2; ++pass) {
        const ByteArray bytes = StrToAnsiBytes(units);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    }
}

TEST(CodePages, TextsEndAtTheFirstNul) {
    EXPECT_EQ(AnsiBytesToStr(ByteArray{'A', 0, 'B'}), u"A");
    EXPECT_EQ(AnsiBytesToStr(ByteArray{0x82, 0xA0, 0, 0x82, 0xA2}), u"\u3042");
    EXPECT_EQ(AnsiByteLen(u"\u3042\u3044A"), 5);
    EXPECT_EQ(AnsiByteLen(std::u16string(u"A\0B", 3)), 1);
    EXPECT_EQ(StrToWideBytes(u"A\u3042"), (ByteArray{0x41, 0x00, 0x42, 0x30}));
    EXPECT_EQ(WideBytesToStr(ByteArray{0x41, 0x00, 0x42, 0x30, 0x43}), u"A\u3042");
    EXPECT_EQ(WideBytesToStr(ByteArray{0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), u"A");
    EXPECT_EQ(WideBytesToStr(ByteArray{0x00, 0x01}), u"\u0100");  // a zero byte is no NUL unit
}

TEST(CodePages, Utf8IllFormedInputBecomesReplacement) {
    EXPECT_EQ(Utf8ToUtf16("a\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80"), u"a\u00E9\u6F22\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");                      // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");            // surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98" "a"), u"\uFFFDa");                   // truncated
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // > U+10FFFF
    EXPECT_EQ(Utf16ToUtf8(u"a\u00E9\U0001F600"), "a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(u"\xD800" "a")), "\xEF\xBF\xBD" "a");
}

TEST(CodePages, HexUtf8) {
    EXPECT_EQ(EncodeHexUtf8(u"C:\\"), u"433A5C");
    EXPECT_EQ(EncodeHexUtf8(u""), u"");
    const std::u16string folder = u"C:\\\u56F3\u9762\\\U0001F600";
    EXPECT_EQ(DecodeHexUtf8(EncodeHexUtf8(folder)), folder);
    EXPECT_EQ(DecodeHexUtf8(u"41"), u"A");
    EXPECT_EQ(DecodeHexUtf8(u"4"), u"");
    EXPECT_EQ(DecodeHexUtf8(u"41ZZ42"), u"A");
    EXPECT_EQ(DecodeHexUtf8(u"c3a9"), u"\u00E9");
    EXPECT_EQ(DecodeHexUtf8(u"FF"), u"?");
    EXPECT_EQ(DecodeHexUtf8(u"41C3"), u"?");  // cut-off sequence
}

TEST(Numbers, StrToBool) {
    for (const char16_t* t :
         {u"on", u"Tr", u"\u25CB", u"t", u"TRUE", u"1", u"\uFF11", u"\u771F", u"\u6B63"})
        EXPECT_TRUE(StrToBool(t)) << Show(t);
    for (const char16_t* t : {u"", u"yes", u"0", u"TRUEX", u" 1", u"off"})
        EXPECT_FALSE(StrToBool(t)) << Show(t);
}

TEST(Numbers, StrToIntDef0) {
    struct {
        std::u16string text;
        int32_t value;
    } cases[] = {
        {u"", 0}, {u"12a", 0}, {u"-5", -5}, {u"+7", 7}, {u"  42", 42}, {u"42 ", 0}, {u"-", 0},
        {u"$1F", 31}, {u"$ff", 255}, {u"-$10", -16}, {u"$", 0}, {u"$FFFFFFFF", -1},
        {u"$100000000", 0}, {u"2147483647", 2147483647}, {u"2147483648", 0},
        {u"-2147483648", INT32_MIN}, {u"99999999999999999999", 0}, {u"\uFF11", 0}, {u"1.0", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToIntDef0(c.text), c.value) << Show(c.text);
}

TEST(Numbers, StrToFloatDef0) {
    struct {
        std::u16string text;
        double value;
    } cases[] = {
        {u"1.5", 1.5}, {u"-0.25", -0.25}, {u"+3", 3}, {u" 2 ", 2}, {u"1e3", 1000},
        {u"2.5E-1", 0.25}, {u".5", 0.5}, {u"5.", 5}, {u"", 0}, {u"1,5", 0}, {u"abc", 0},
        {u".", 0}, {u"1e", 0}, {u"inf", 0}, {u"nan", 0}, {u"0x10", 0}, {u"1e999", 0},
        {u"1 2", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(StrToFloatDef0(c.text), c.value) << Show(c.text);
}

TEST(Numbers, RoundDigits) {
    EXPECT_DOUBLE_EQ(RoundDigits(0, 0, 2.9), 2);
    EXPECT_DOUBLE_EQ(RoundDigits(0, 2, -2.5), -3);
    EXPECT_DOUBLE_EQ(RoundDigits(0, 2, 2.4), 2);
    EXPECT_DOUBLE_EQ(RoundDigits(1, 1, 0.11), 0.2);
    EXPECT_DOUBLE_EQ(RoundDigits(1, 1, 0.1), 0.1);  // exact values stay
    EXPECT_DOUBLE_EQ(RoundDigits(4, 2, 1.23456), 1.2346);
    EXPECT_DOUBLE_EQ(RoundDigits(10, 0, 1.9), 1);   // digits out of range: scale 1
    EXPECT_FALSE(std::signbit(RoundDigits(2, 0, 0.001)));
}

TEST(Attributes, PenColourAndStyleFallBackToDefaults) {
    ResetUtilDefaults();
    SetDefaultPenColor(7);
    SetDefaultPenStyle(3);
    auto colour = [](uint16_t c) { CheckPenColor(c); return c; };
    auto style = [](uint8_t s) {
        uint16_t c = 0;
        CheckPenColorStyle(c, s);
        EXPECT_EQ(c, 7);
        return s;
    };
    for (uint16_t c : {1, 10, 101, 356}) EXPECT_EQ(colour(c), c);
    for (uint16_t c : {0, 11, 100, 357, 65535}) EXPECT_EQ(colour(c), 7) << c;
    for (uint8_t s : {1, 9, 11, 19, 31, 62}) EXPECT_EQ(style(s), s);
    for (uint8_t s : {0, 10, 20, 25, 30, 63}) EXPECT_EQ(style(s), 3) << int(s);
    ResetUtilDefaults();
    EXPECT_EQ(DefaultPenColor(), 1);
    EXPECT_EQ(DefaultPenStyle(), 1);
}

TEST(Attributes, TextSubstitutionNeedsSwitchAndPrefix) {
    ResetUtilDefaults();
    AddTextSubstitution(u"%%d", u"2024");
    AddTextSubstitution(u"x", u"y");
    EXPECT_EQ(ApplyTextSubstitution(u"%%d"), u"%%d");  // switched off
    SetTextSubstitution(true);
    EXPECT_EQ(ApplyTextSubstitution(u"%%d"), u"2024");
    EXPECT_EQ(ApplyTextSubstitution(u"%%d "), u"%%d ");
    EXPECT_EQ(ApplyTextSubstitution(u"x"), u"x");  // keys without "%%" never apply
    ResetUtilDefaults();
    SetTextSubstitution(true);
    EXPECT_EQ(ApplyTextSubstitution(u"%%d"), u"%%d");  // emptied
    ResetUtilDefaults();
}

TEST(Patterns, LineTypeDashes) {
    EXPECT_EQ(ColorRefToArgb(0x00112233u), 0xFF332211u);
    struct {
        uint32_t pattern;
        std::vector<double> dashes;  // unit 1
    } cases[] = {
        {0xFF00FF00u, {8, -8}}, {0xFFFFFFFFu, {32}}, {0xFFFF0000u, {16, -16}},
        {0xF0F0F0F0u, {4, -4}}, {0xCCCCCCCCu, {2, -2}}, {0x88888888u, {1, -3}},
        {0x55555555u, {-1, 1}}, {0xFFFFFFFEu, {31, -1}}, {0x00000000u, {-2}},
        {0xFF0FFF0Fu, {8, -4, 4}},
    };
    double out[32];
    for (const auto& c : cases) {
        int n = LineTypeDashes(c.pattern, 1.0, out);
        EXPECT_EQ(std::vector<double>(out, out + n), c.dashes) << std::hex << c.pattern;
    }
    // The longest result: 32 one-bit runs but the last two bits equal.
    ASSERT_EQ(LineTypeDashes(0xAAAAAAABu, 0.5, out), 31);
    EXPECT_EQ(out[29], -0.5);
    EXPECT_EQ(out[30], 1.0);
}

TEST(FileNames, OsPaths) {
    const std::string sep(1, platform::PathSeparator());
    EXPECT_EQ(AddPathDelim("a\\"), "a\\");
    EXPECT_EQ(AddPathDelim("a/"), "a/");
    EXPECT_EQ(AddPathDelim("a"), "a" + sep);
    EXPECT_EQ(AddPathDelim(""), sep);
    EXPECT_EQ(GetLowerExt(std::string("/d/Plan.JWW")), ".jww");
    EXPECT_EQ(GetLowerExt(std::string("/d.v2/Plan")), "");  // dot in a folder
    EXPECT_EQ(GetLowerExt(std::string("a.tar.GZ")), ".gz");
    EXPECT_EQ(GetLowerExt(std::string("a.\xEF\xBC\xA1")), ".\xEF\xBD\x81");  // fullwidth A
    EXPECT_THROW(GetLowerExt(std::string("a\tb.jww")), std::invalid_argument);
    EXPECT_EQ(ChangeExtSafe("/d/a.jww", ".bak"), "/d/a.bak");
    EXPECT_EQ(ChangeExtSafe("/d/a.jww", "bak"), "/d/a.bak");
    EXPECT_EQ(ChangeExtSafe("/d/a.jww", ""), "/d/a");
    EXPECT_EQ(ChangeExtSafe("/d.x/a", ".jws"), "/d.x/a.jws");
    EXPECT_EQ(ChangeExtSafe("/d/a\n", ".jws"), "");
}

TEST(FileNames, NamesStoredInDrawings) {
    EXPECT_EQ(GetLowerExt(u"C:\\img\\Plan.JPG.GZ"), u".gz");
    EXPECT_EQ(GetLowerExt(u"C:\\img.d\\plan"), u"");
    EXPECT_EQ(GetLowerExt(u"a.b:c"), u"");
    EXPECT_THROW(GetLowerExt(u"a?.gz"), std::invalid_argument);
    EXPECT_THROW(GetLowerExt(u"a\x01.gz"), std::invalid_argument);
    EXPECT_EQ(ExtractFileNameSafe(u"C:\\img\\a.jpg"), u"a.jpg");
    EXPECT_EQ(ExtractFileNameSafe(u"x/y/b.png"), u"b.png");
    EXPECT_EQ(ExtractFileNameSafe(u"C:c.bmp"), u"c.bmp");
    EXPECT_EQ(ExtractFileNameSafe(u"C:\\a|b\\c.bmp"), u"");
}

class BranchName : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("talvine_util_" + std::to_string(platform::ProcessId()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Touch(const std::string& path) { std::ofstream(path).put('x'); }

    fs::path dir_;
};

TEST_F(BranchName, FirstFreeNumber) {
    const std::string plan = Path("Plan.JWW");
    EXPECT_EQ(GetBranchFileName(plan), plan);  // free: unchanged, case kept
    Touch(plan);
    EXPECT_EQ(GetBranchFileName(plan), Path("Plan~1.jww"));
    Touch(Path("Plan~1.jww"));
    Touch(Path("Plan~3.jww"));
    EXPECT_EQ(GetBranchFileName(plan), Path("Plan~2.jww"));

    ASSERT_TRUE(ForceDirSafe(Path("d.v2")));
    Touch(Path("d.v2/name"));
    EXPECT_EQ(GetBranchFileName(Path("d.v2/name")), Path("d.v2/name~1"));
    EXPECT_EQ(GetBranchFileName(Path("d.v2")), Path("d.v2"));  // a folder is not a file
}

// Every number taken, told by a set of names: the search ends after 99 999
// numbers with nothing, and finds the last one when only it is free.
TEST(BranchNameSearch, AllNumbersTaken) {
    const std::string a = "dir/a.JWW";
    std::set<std::string> taken{a};
    for (int n = 1; n <= 99999; ++n) taken.insert("dir/a~" + std::to_string(n) + ".jww");
    int asked = 0;
    auto isTaken = [&](const std::string& p) { return ++asked, taken.count(p) > 0; };
    EXPECT_EQ(GetBranchFileName(a, isTaken), "");
    EXPECT_EQ(asked, 100000);
    taken.erase("dir/a~99999.jww");
    EXPECT_EQ(GetBranchFileName(a, isTaken), "dir/a~99999.jww");
}

#ifndef _WIN32
// The same with real files. Hard links are far cheaper to make than new
// files; four targets keep each one below the file system's link limit.
// (Windows allows 1 023 links a file and makes each name slowly in a folder
// this full, so there the search is tested with the set of names above.)
TEST_F(BranchName, AllNumbersTaken) {
    const std::string a = Path("a.jww");
    std::vector<std::string> targets;
    for (int k = 0; k < 4; ++k) {
        targets.push_back(Path("seed" + std::to_string(k)));
        Touch(targets.back());
    }
    std::error_code ec;
    fs::create_hard_link(targets[0], a, ec);
    if (ec) GTEST_SKIP() << "no hard links here: " << ec.message();
    for (int n = 1; n <= 99999; ++n)
        fs::create_hard_link(targets[n % 4], Path("a~" + std::to_string(n) + ".jww"));
    EXPECT_EQ(GetBranchFileName(a), "");
    ASSERT_TRUE(DeleteFileSafe(Path("a~99999.jww")));
    EXPECT_EQ(GetBranchFileName(a), Path("a~99999.jww"));
}
#endif

}  // namespace
}  // namespace talvine
