// Portable sine, cosine, arctangent and hypotenuse: the algorithms and
// coefficients of fdlibm (k_sin.c, k_cos.c, e_rem_pio2.c, s_atan.c,
// e_atan2.c), written over the C++ standard's exact operations.
//
// ====================================================
// Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
// Developed at SunPro, a Sun Microsystems, Inc. business.
// Permission to use, copy, modify, and distribute this
// software is freely granted, provided that this notice
// is preserved.
// ====================================================
//
// This file must be compiled without contraction of a*b+c into one fused
// operation (the build passes -ffp-contract=off), or results would depend on
// the processor's instruction set.
#include "util/Maths.h"

#include <cmath>
#include <utility>

namespace talvine::math {

namespace {

// ---- Reduction by pi/2 ---------------------------------------------------

constexpr double kInvPio2 = 6.36619772367581382433e-01;  // 0x3FE45F30 6DC9C883
constexpr double kPio2_1 = 1.57079632673412561417e+00;   // first 33 bits of pi/2
constexpr double kPio2_1t = 6.07710050650619224932e-11;  // pi/2 - kPio2_1
constexpr double kPio2_2 = 6.07710050630396597660e-11;   // second 33 bits
constexpr double kPio2_2t = 2.02226624879595063154e-21;  // pi/2 - (kPio2_1 + kPio2_2)
constexpr double kPio2_3 = 2.02226624871116645580e-21;   // third 33 bits
constexpr double kPio2_3t = 8.47842766036889956997e-32;  // pi/2 - (kPio2_1 + kPio2_2 + kPio2_3)
constexpr double kTwoPi = 6.28318530717958647692e+00;

// Beyond this the three-part reduction loses its guarantee.
constexpr double kMediumLimit = 8.0e5;

// x = n * pi/2 + (y0 + y1) with |y0 + y1| <= pi/4; returns n.
int ReducePio2(double x, double& y0, double& y1) {
    if (!(std::abs(x) <= kMediumLimit)) {
        // Angles this large carry no meaning in a drawing: fold them exactly
        // (fmod is exact) into one turn first, so the result stays the same
        // on every system.
        x = std::fmod(x, kTwoPi);
    }
    const double fn = std::nearbyint(x * kInvPio2);
    const int n = static_cast<int>(fn);
    double r = x - fn * kPio2_1;
    double w = fn * kPio2_1t;
    y0 = r - w;
    // Cancellation in r - w: take the next 33 bits of pi/2, up to twice.
    const int ex = std::ilogb(x);
    if (x != 0 && ex - std::ilogb(y0) > 16) {
        double t = r;
        w = fn * kPio2_2;
        r = t - w;
        w = fn * kPio2_2t - ((t - r) - w);
        y0 = r - w;
        if (ex - std::ilogb(y0) > 49) {
            t = r;
            w = fn * kPio2_3;
            r = t - w;
            w = fn * kPio2_3t - ((t - r) - w);
            y0 = r - w;
        }
    }
    y1 = (r - y0) - w;
    return n;
}

// ---- Kernels on [-pi/4, pi/4] (x + y, y the tail of x) -------------------

constexpr double kS1 = -1.66666666666666324348e-01, kS2 = 8.33333333332248946124e-03,
                 kS3 = -1.98412698298579493134e-04, kS4 = 2.75573137070700676789e-06,
                 kS5 = -2.50507602534068634195e-08, kS6 = 1.58969099521155010221e-10;

double KernelSin(double x, double y, bool hasTail) {
    const double z = x * x;
    const double v = z * x;
    const double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)));
    if (!hasTail) return x + v * (kS1 + z * r);
    return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}

constexpr double kC1 = 4.16666666666666019037e-02, kC2 = -1.38888888888741095749e-03,
                 kC3 = 2.48015872894767294178e-05, kC4 = -2.75573143513906633035e-07,
                 kC5 = 2.08757232129817482790e-09, kC6 = -1.13596475577881948265e-11;

double KernelCos(double x, double y) {
    const double z = x * x;
    const double w = z * z;
    const double r = z * (kC1 + z * (kC2 + z * kC3)) + w * w * (kC4 + z * (kC5 + z * kC6));
    const double hz = 0.5 * z;
    const double one = 1.0 - hz;
    return one + (((1.0 - one) - hz) + (z * r - x * y));
}

// ---- Arctangent ----------------------------------------------------------

constexpr double kAtanHi[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01, 9.82793723247329054082e-01,
                              1.57079632679489655800e+00};
constexpr double kAtanLo[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17, 1.39033110312309984516e-17,
                              6.12323399573676603587e-17};
constexpr double kAT[] = {3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
                          -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
                          6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
                          -3.65315727442169155270e-02, 1.62858201153657823623e-02};

double Atan(double x) {
    if (std::isnan(x)) return x;
    const double ax = std::abs(x);
    if (ax >= 0x1p66) return std::copysign(kAtanHi[3] + kAtanLo[3], x);
    int id;
    double t;
    if (ax < 0.4375) {
        if (ax < 0x1p-27) return x;
        id = -1;
        t = x;
    } else if (ax < 1.1875) {
        if (ax < 0.6875) {
            id = 0;
            t = (2.0 * ax - 1.0) / (2.0 + ax);
        } else {
            id = 1;
            t = (ax - 1.0) / (ax + 1.0);
        }
    } else if (ax < 2.4375) {
        id = 2;
        t = (ax - 1.5) / (1.0 + 1.5 * ax);
    } else {
        id = 3;
        t = -1.0 / ax;
    }
    const double z = t * t;
    const double w = z * z;
    const double s1 = z * (kAT[0] + w * (kAT[2] + w * (kAT[4] + w * (kAT[6] + w * (kAT[8] + w * kAT[10])))));
    const double s2 = w * (kAT[1] + w * (kAT[3] + w * (kAT[5] + w * (kAT[7] + w * kAT[9]))));
    if (id < 0) return t - t * (s1 + s2);
    const double r = kAtanHi[id] - ((t * (s1 + s2) - kAtanLo[id]) - t);
    return std::copysign(r, x);
}

constexpr double kPi = 3.1415926535897931160e+00;
constexpr double kPiLo = 1.2246467991473531772e-16;
constexpr double kPio2 = 1.5707963267948965580e+00;
constexpr double kPio4 = 7.8539816339744827900e-01;

}  // namespace

double Sin(double x) {
    if (std::isnan(x) || std::isinf(x)) return x - x;
    if (std::abs(x) <= kPio4) return std::abs(x) < 0x1p-27 ? x : KernelSin(x, 0, false);
    double y0, y1;
    switch (ReducePio2(x, y0, y1) & 3) {
        case 0: return KernelSin(y0, y1, true);
        case 1: return KernelCos(y0, y1);
        case 2: return -KernelSin(y0, y1, true);
        default: return -KernelCos(y0, y1);
    }
}

double Cos(double x) {
    if (std::isnan(x) || std::isinf(x)) return x - x;
    if (std::abs(x) <= kPio4) return std::abs(x) < 0x1p-27 ? 1.0 : KernelCos(x, 0);
    double y0, y1;
    switch (ReducePio2(x, y0, y1) & 3) {
        case 0: return KernelCos(y0, y1);
        case 1: return -KernelSin(y0, y1, true);
        case 2: return -KernelCos(y0, y1);
        default: return KernelSin(y0, y1, true);
    }
}

double Atan2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    if (x == 1.0) return Atan(y);
    // Quadrant: bit 0 the sign of y, bit 1 the sign of x.
    const int m = (std::signbit(y) ? 1 : 0) | (std::signbit(x) ? 2 : 0);
    if (y == 0) {
        switch (m) {
            case 0:
            case 1: return y;
            case 2: return kPi;
            default: return -kPi;
        }
    }
    if (x == 0) return m & 1 ? -kPio2 : kPio2;
    if (std::isinf(x)) {
        if (std::isinf(y)) {
            switch (m) {
                case 0: return kPio4;
                case 1: return -kPio4;
                case 2: return 3.0 * kPio4;
                default: return -3.0 * kPio4;
            }
        }
        switch (m) {
            case 0: return 0.0;
            case 1: return -0.0;
            case 2: return kPi;
            default: return -kPi;
        }
    }
    if (std::isinf(y)) return m & 1 ? -kPio2 : kPio2;
    const int k = std::ilogb(y) - std::ilogb(x);
    double z;
    if (k > 60) {
        z = kPio2 + 0.5 * kPiLo;
    } else if ((m & 2) && k < -60) {
        z = 0.0;
    } else {
        z = Atan(std::abs(y / x));
    }
    switch (m) {
        case 0: return z;
        case 1: return -z;
        case 2: return kPi - (z - kPiLo);
        default: return (z - kPiLo) - kPi;
    }
}

double Hypot(double x, double y) {
    x = std::abs(x);
    y = std::abs(y);
    if (std::isinf(x) || std::isinf(y)) return HUGE_VAL;
    if (std::isnan(x) || std::isnan(y)) return x + y;
    if (x < y) std::swap(x, y);
    if (y == 0) return x;
    // Scale by a power of two (exact) so that neither square overflows or
    // underflows, take the correctly rounded root, scale back.
    const int e = std::ilogb(x);
    const double sx = std::scalbn(x, -e), sy = std::scalbn(y, -e);
    return std::scalbn(std::sqrt(sx * sx + sy * sy), e);
}

}  // namespace talvine::math
