// The platform layer: code page 932, casing, files and folders.
#include "util/Platform.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "util/WindowsApi.h"
#endif

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "jww/jwwtype.h"
#include "tests/jww/TestFiles.h"

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

// What Windows' own conversion gives for code page 932 where the code page
// has no character: the same on every build.
struct Cp932Case {
    const char* name;
    std::string bytes;
    std::u16string text;
    enum { kDecode = 1, kEncode = 2, kBoth = 3 } way;
};

class Cp932AsWindows : public ::testing::TestWithParam<Cp932Case> {};

TEST_P(Cp932AsWindows, Converts) {
    const Cp932Case& c = GetParam();
    if (c.way & Cp932Case::kDecode) {
        EXPECT_EQ(Decode(c.bytes), c.text);
    }
    if (c.way & Cp932Case::kEncode) {
        EXPECT_EQ(WideToAnsi(c.text), c.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cp932AsWindows,
    ::testing::Values(
        // The five single bytes with characters of their own, both ways.
        Cp932Case{"Byte80", "\x80", u"\u0080", Cp932Case::kBoth},
        Cp932Case{"ByteA0FDtoFF", "a\xA0" "b\xFD\xFE\xFF", u"a\uF8F0b\uF8F1\uF8F2\uF8F3", Cp932Case::kBoth},
        Cp932Case{"ByteA0BeforeKatakana", "\xA0\xA1", u"\uF8F0\uFF61", Cp932Case::kBoth},
        // A lead byte always takes the next byte; an undefined pair is one U+30FB.
        Cp932Case{"LeadBeforeSpace", "\x81\x20", u"\u30FB", Cp932Case::kDecode},
        Cp932Case{"LeadBeforeNewline", "\x81\x0Az", u"\u30FBz", Cp932Case::kDecode},
        Cp932Case{"LeadBefore7F", "\x81\x7F", u"\u30FB", Cp932Case::kDecode},
        Cp932Case{"LeadBeforeFD", "\x81\xFD", u"\u30FB", Cp932Case::kDecode},
        Cp932Case{"UnassignedRow", "\x85\x40z", u"\u30FBz", Cp932Case::kDecode},
        Cp932Case{"UnassignedNecSelected", "\xEB\x40", u"\u30FB", Cp932Case::kDecode},
        Cp932Case{"UnassignedFCFC", "\xFC\xFC", u"\u30FB", Cp932Case::kDecode},
        Cp932Case{"LeadAtTheEnd", "A\x82", u"A\u30FB", Cp932Case::kDecode},
        Cp932Case{"LeadAlone", "\x81", u"\u30FB", Cp932Case::kDecode},
        // What the code page lacks is '?' per UTF-16 unit, never a look-alike.
        Cp932Case{"Unmappable", "?", u"\u0100", Cp932Case::kEncode},
        Cp932Case{"NoBestFitYen", "?", u"\u00A5", Cp932Case::kEncode},
        Cp932Case{"NoBestFitAccent", "?", u"\u00E9", Cp932Case::kEncode},
        Cp932Case{"WaveDashIsNotTilde", "?", u"\u301C", Cp932Case::kEncode},
        Cp932Case{"PairOutsideBmp", "a??b", u"a\U0001F600b", Cp932Case::kEncode},
        Cp932Case{"LoneHigh", "x?y", std::u16string(u"x\xD800y"), Cp932Case::kEncode},
        Cp932Case{"LoneLow", "x?", std::u16string(u"x\xDC00"), Cp932Case::kEncode},
        Cp932Case{"CutOffPair", "\x82\xA0?", std::u16string(u"\u3042\xD800"), Cp932Case::kEncode}),
    [](const ::testing::TestParamInfo<Cp932Case>& info) { return std::string(info.param.name); });

// Every byte, every lead and trail byte pair and every UTF-16 unit, folded
// into one digest: the number is what Windows' own conversion gives.
TEST(Cp932, WholeCodePageAsWindows) {
    uint64_t digest = 14695981039346656037ull;  // FNV-1a
    auto mix = [&](uint64_t v) {
        digest ^= v;
        digest *= 1099511628211ull;
    };
    for (int a = 1; a < 256; ++a) {
        std::string one(1, static_cast<char>(a));
        for (char16_t u : Decode(one)) mix(u);
        mix(0x10000);
        for (int b = 1; b < 256; ++b) {
            const std::string two{static_cast<char>(a), static_cast<char>(b)};
            for (char16_t u : Decode(two)) mix(u);
            mix(0x10000);
        }
    }
    for (char32_t u = 1; u < 0x10000; ++u) {
        for (char c : WideToAnsi(std::u16string(1, static_cast<char16_t>(u)))) mix(static_cast<unsigned char>(c));
        mix(0x100);
    }
    EXPECT_EQ(digest, 0x2c1e62d51bcc20f4u) << std::hex << digest;
}

TEST(Cp932, LongTextsConvertCompletely) {
    std::u16string text, expected;
    for (int i = 0; i < 5000; ++i) {
        text += u"\u3042b\U0001F600\uFF71";
        expected += u"\u3042b??\uFF71";
    }
    std::string bytes = WideToAnsi(text);
    ASSERT_EQ(bytes.size(), 5000u * 6);
    EXPECT_EQ(Decode(bytes), expected);
}

TEST(Cp932, ThreadsConvertIndependently) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "a WebAssembly program without threads";
#endif
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

// ---- Files ---------------------------------------------------------------

std::string Content(const std::string& path) {
    File f = File::OpenRead(path);
    std::string s(64, '\0');
    const long long n = f.Read(s.data(), s.size());
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return s;
}

void Put(const std::string& path, const std::string& text) {
    File f = File::CreateWrite(path);
    ASSERT_TRUE(f.Write(text.data(), text.size()));
    ASSERT_TRUE(f.Close());
}

// Large arrays: zeroed, aligned memory that holds what is put in it; an
// array that grows past large-page size keeps its elements, and room asked
// for beyond what memory can give falls back to ordinary growth.
TEST(LargeArrays, GrowKeepContentAndFallBack) {
    constexpr size_t kBytes = (size_t{3} << 20) + 5;
    auto* p = static_cast<uint8_t*>(platform::AllocateLarge(kBytes));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
    EXPECT_EQ(p[0] | p[kBytes / 2] | p[kBytes - 1], 0);
    p[0] = p[kBytes - 1] = 0xAB;
    EXPECT_EQ(p[0] & p[kBytes - 1], 0xAB);
    platform::FreeLarge(p, kBytes);

    TArray<TEntJwwLine> lines;
    for (int i = 0; i < 100'000; ++i) {
        ReserveMore(lines);
        lines.push_back(TEntJwwLine{{}, double(i), 0, 0, double(-i)});
    }
    ASSERT_EQ(lines.size(), 100'000u);
    EXPECT_EQ(lines[0].start_x, 0);
    EXPECT_EQ(lines[65'535].end_y, -65'535);
    EXPECT_EQ(lines[99'999].start_x, 99'999);

#ifndef TALVINE_ADDRESS_SANITIZER  // which stops the program at such a request
    // A bound far beyond any memory: the list grows as usual instead.
    TArray<TEntJwwSunpo> dims(1000);
    dims.shrink_to_fit();
    const size_t huge = dims.max_size() / 2;  // a count the list may have, but no memory holds
    ReserveMore(dims, 1, huge);
    EXPECT_GE(dims.capacity(), 1001u);
    EXPECT_LT(dims.capacity(), huge);
#endif
}

TEST(Publish, NoReplaceKeepsTheTakenName) {
    test::TempDir dir;
    const std::string tmp = dir.File(".~a.jww.tmp"), dst = dir.File("a.jww");
    Put(tmp, "new");
    Put(dst, "old");
    EXPECT_FALSE(RenameNoReplace(tmp, dst));
    EXPECT_EQ(Content(dst), "old");
    EXPECT_EQ(Content(tmp), "new");
    ASSERT_TRUE(RemoveFile(dst));
    EXPECT_TRUE(RenameNoReplace(tmp, dst));
    EXPECT_EQ(Content(dst), "new");
    EXPECT_FALSE(FileExists(tmp));
    // The replacing rename does replace.
    Put(tmp, "newer");
    EXPECT_TRUE(RenameReplace(tmp, dst));
    EXPECT_EQ(Content(dst), "newer");
}

TEST(Publish, CreateNewRefusesATakenName) {
    test::TempDir dir;
    Put(dir.File("x"), "x");
    EXPECT_FALSE(File::CreateNew(dir.File("x")).IsOpen());
    EXPECT_EQ(Content(dir.File("x")), "x");
    EXPECT_TRUE(File::CreateNew(dir.File("y")).IsOpen());
}

// Why a call failed is told the same way on both systems: a missing file, a
// file another program holds (Windows) or may not be read (POSIX), and a
// full disk (the always-full device; Wine passes it through as Z:\dev\full).
TEST(IoErrors, SayWhyACallFailed) {
    test::TempDir dir;
    ClearLastIoError();
    EXPECT_FALSE(File::OpenRead(dir.File("missing")).IsOpen());
    EXPECT_EQ(LastIoError(), IoError::kNotFound);
    ClearLastIoError();
    EXPECT_EQ(LastIoError(), IoError::kNone);
#ifdef _WIN32
    Put(dir.File("held"), "x");
    HANDLE held = CreateFileW(test::FsPath(dir.File("held")).wstring().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(File::OpenRead(dir.File("held")).IsOpen());
    EXPECT_EQ(LastIoError(), IoError::kPermission);
    CloseHandle(held);
    const std::string full = "Z:\\dev\\full";
#else
    const std::string full = "/dev/full";
#endif
    File f = File::CreateWrite(full);
    if (!f.IsOpen()) GTEST_SKIP() << "no always-full device here";
    const std::string block(64 * 1024, 'x');
    EXPECT_FALSE(f.Write(block.data(), block.size()) && f.Close());
    EXPECT_EQ(LastIoError(), IoError::kNoSpace);
}

TEST(Folders, LongAndJapanesePaths) {
    test::TempDir dir;
    std::string deep = dir.path();
    while (deep.size() < 400) deep += "\xE5\x9B\xB3\xE9\x9D\xA2\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80/";  // 図面フォルダ
    ASSERT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirExists(deep));
    const std::string file = deep + "\xE5\xB9\xB3\xE9\x9D\xA2.jww";  // 平面.jww
    Put(file, "abc");
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(FileSize(file), 3);
    EXPECT_EQ(Content(file), "abc");
    EXPECT_TRUE(IsDirWritable(deep));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(RemoveDir(deep));
    EXPECT_FALSE(RemoveFile(dir.path()));  // a folder is no file
}

TEST(Folders, UserFoldersEndInASeparator) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "a WebAssembly program has no file and no user folders of its own";
#endif
    for (const std::string& d : {TempDir(), ExecutableDir(), UserDataDir("talvine"), UserConfigDir("talvine")}) {
        ASSERT_FALSE(d.empty());
        EXPECT_TRUE(IsPathSeparator(static_cast<unsigned char>(d.back()))) << d;
    }
    for (const std::string& d : {DesktopDir(), DocumentsDir()}) {
        if (!d.empty()) {
            EXPECT_TRUE(IsPathSeparator(static_cast<unsigned char>(d.back()))) << d;
        }
    }
}

#ifdef _WIN32
bool IsHidden(const std::string& path) {
    const DWORD attr = GetFileAttributesW(test::FsPath(path).wstring().c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_HIDDEN) != 0;
}

TEST(Publish, TemporaryFilesAreHiddenAndResultsAreNot) {
    test::TempDir dir;
    const std::string tmp = dir.File(".~a.jww.1-0.tmp"), dst = dir.File("a.jww");
    ASSERT_TRUE(File::CreateNew(tmp).IsOpen());
    EXPECT_TRUE(IsHidden(tmp));
    ASSERT_TRUE(RenameNoReplace(tmp, dst));
    EXPECT_FALSE(IsHidden(dst));
}

// A program that holds the new file for a moment (a virus scanner, an
// indexer) delays the publish but does not make it fail.
TEST(Publish, WaitsForAMomentarySharingViolation) {
    test::TempDir dir;
    const std::string tmp = dir.File(".~b.tmp"), dst = dir.File("b.jww");
    Put(tmp, "data");
    HANDLE h = CreateFileW(test::FsPath(tmp).wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::thread scanner([h] {
        Sleep(150);
        CloseHandle(h);
    });
    const bool published = RenameNoReplace(tmp, dst);
    scanner.join();
    EXPECT_TRUE(published);
    EXPECT_EQ(Content(dst), "data");
}
#endif

}  // namespace
}  // namespace talvine::platform
