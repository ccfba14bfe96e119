// Numbers in texts: the same on every system, and those of the C++
// library's own conversions where it has them.
#include "util/NumberText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace talvine {
namespace {

TEST(NumberText, WritesTheTextsOfPrintfAndToChars) {
    struct {
        double v;
        const char *shortest, *general15, *fixed2;
    } cases[] = {
        {0.0, "0", "0", "0.00"},
        {-0.0, "-0", "-0", "-0.00"},
        {0.1, "0.1", "0.1", "0.10"},
        {100, "100", "100", "100.00"},
        {1e15, "1e+15", "1e+15", "1000000000000000.00"},
        {123456, "123456", "123456", "123456.00"},
        {1e-7, "1e-07", "1e-07", "0.00"},
        {1.0 / 3, "0.3333333333333333", "0.333333333333333", "0.33"},
        {1.005, "1.005", "1.005", "1.00"},  // 1.00499999...
        {0.125, "0.125", "0.125", "0.12"},  // ties to even, as printf
        {12345678901234567890.0, "12345678901234567168", "1.23456789012346e+19", "12345678901234567168.00"},
        {5e-324, "5e-324", "4.94065645841247e-324", "0.00"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308", "1.79769313486232e+308", nullptr},
        {-3600.5, "-3600.5", "-3600.5", "-3600.50"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shortest);
        EXPECT_EQ(ShortestText(c.v), c.shortest);
        EXPECT_EQ(GeneralText(c.v, 15), c.general15);
        if (c.fixed2) {
            EXPECT_EQ(FixedText(c.v, 2), c.fixed2);
        }
    }
}

TEST(NumberText, ReadsWholeDecimalNumbersOnly) {
    struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", true, 1.5},      {"-0", true, -0.0},     {"1.", true, 1},        {".5", true, 0.5},
        {"00012", true, 12},     {"1e3", true, 1000},    {"2.5E-1", true, 0.25}, {"1e400", false, 0},
        {"1e-400", false, 0},    {"1e", false, 0},       {"inf", false, 0},      {"nan", false, 0},
        {" 1", false, 0},        {"0x10", false, 0},     {"", false, 0},         {"1,5", false, 0},
        {"4.9e-324", true, 5e-324},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double v = 7;
        EXPECT_EQ(ParseDecimal(c.text, v), c.ok);
        EXPECT_EQ(v, c.ok ? c.value : 7.0);
        if (c.ok) {
            EXPECT_EQ(std::signbit(v), std::signbit(c.value));
        }
    }
}

#if defined(__cpp_lib_to_chars)
// Where the C++ library converts doubles itself, the texts are its texts,
// for doubles of every kind: any bit pattern, whole numbers and
// millimetres.
TEST(NumberText, AgreesWithTheCppLibrary) {
    uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state;
    };
    int checked = 0;
    for (int i = 0; i < 60000; ++i) {
        const uint64_t bits = next();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        const double mm = static_cast<double>(static_cast<int64_t>(next() % 2000000) - 1000000) / 1000;
        for (double x : {v, std::round(v), mm, mm * 1e9}) {
            if (!std::isfinite(x)) continue;
            char buf[400];
            auto r = std::to_chars(buf, buf + sizeof buf, x);
            ASSERT_EQ(ShortestText(x), std::string(buf, r.ptr));
            r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 15);
            ASSERT_EQ(GeneralText(x, 15), std::string(buf, r.ptr));
            r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 3);
            ASSERT_EQ(FixedText(x, 3), std::string(buf, r.ptr));
            const std::string text = ShortestText(x);
            double back = 0;
            ASSERT_TRUE(ParseDecimal(text, back)) << text;
            ASSERT_EQ(back, x) << text;
            ++checked;
        }
    }
    EXPECT_GT(checked, 200000);
}
#endif

}  // namespace
}  // namespace talvine
