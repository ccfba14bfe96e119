// The portable sine, cosine, arctangent and hypotenuse: exact values where
// the answer is known, and the same bits on every build.
#include "util/Maths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>

namespace talvine::math {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Maths, KnownValues) {
    struct {
        double got, want;
    } cases[] = {
        {Sin(0), 0},
        {Sin(kPi / 2), 1},
        {Cos(0), 1},
        {Cos(kPi), -1},
        {Sin(kPi / 6), 0.49999999999999994},  // pi/6 rounded lies just below
        {Cos(kPi / 2), 6.123233995736766e-17},
        {Sin(kPi), 1.2246467991473532e-16},
        {Atan2(0, -1), kPi},
        {Atan2(-0.0, -1), -kPi},
        {Atan2(1, 0), kPi / 2},
        {Atan2(1, 1), kPi / 4},
        {Atan2(-1, -1), -3 * kPi / 4},
        {Atan2(kInf, kInf), kPi / 4},
        {Atan2(1, -kInf), kPi},
        {Hypot(3, 4), 5},
        {Hypot(-5e-324, 0), 5e-324},
        {Hypot(1e308, 1e308), 1.4142135623730951e308},
        {Hypot(kInf, std::nan("")), kInf},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    EXPECT_TRUE(std::signbit(Sin(-0.0)));
    EXPECT_TRUE(std::isnan(Sin(kInf)));
    EXPECT_TRUE(std::isnan(Atan2(std::nan(""), 1)));
}

TEST(Maths, WithinOneUnitOfTheTrueValue) {
    // Against the C library, itself within a unit: at most two apart.
    auto units = [](double a, double b) {
        int64_t x, y;
        std::memcpy(&x, &a, 8);
        std::memcpy(&y, &b, 8);
        return x > y ? x - y : y - x;
    };
    for (int i = -20000; i <= 20000; ++i) {
        const double x = i * 0.00137;
        EXPECT_LE(units(Sin(x), std::sin(x)), 2) << x;
        EXPECT_LE(units(Cos(x), std::cos(x)), 2) << x;
        EXPECT_LE(units(Atan2(x, 1.5), std::atan2(x, 1.5)), 2) << x;
        EXPECT_LE(units(Hypot(x, 2.5), std::hypot(x, 2.5)), 2) << x;
    }
}

// The bits of many results folded into one number: what every build gives.
TEST(Maths, SameBitsOnEveryBuild) {
    uint64_t digest = 14695981039346656037ull;
    auto mix = [&](double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        digest = (digest ^ bits) * 1099511628211ull;
    };
    for (int i = -50000; i <= 50000; ++i) {
        const double a = i * (kPi / 64) + i * 1e-7;
        mix(Sin(a));
        mix(Cos(a));
        mix(Atan2(i * 0.37, 1000.0 - i * 0.011));
        mix(Hypot(i * 0.37, 1000.0 - i * 0.011));
    }
    EXPECT_EQ(digest, 0x7885b34497eb4312u) << std::hex << digest;
}

}  // namespace
}  // namespace talvine::math
