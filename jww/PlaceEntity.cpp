#include "jww/PlaceEntity.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "jww/DimensionText.h"
#include "util/Func_2.h"
#include "util/ImageText.h"
#include "util/Maths.h"

namespace talvine {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDegPerRad = 180.0 / std::numbers::pi;
constexpr double kExact = 1e-14;        // tolerance of "is the identity" and "is diagonal"
constexpr double kMinTextSize = 0.0001;  // smallest width or height of a text
constexpr uint16_t kVerticalText = 0x20;  // sFlg of a text: vertical

double NormAngle(double a) {
    a = std::fmod(a, kTwoPi);
    if (a < 0) a += kTwoPi;
    return a >= kTwoPi ? a - kTwoPi : a;
}
double NormDegrees(double a) {
    a = std::fmod(a, 360.0);
    if (a < 0) a += 360.0;
    return a >= 360.0 ? a - 360.0 : a;
}
// Direction angle of (dx, dy) in [0, 2 pi).
double Direction(double dx, double dy) { return NormAngle(math::Atan2(dy, dx)); }

// ---- Arcs ---------------------------------------------------------------------

// An elliptic arc: E(s) = centre + R(tilt) (a cos s, a f sin s), s from start
// over sweep.
struct EllipseArc {
    double cx, cy, a, f, tilt, start, sweep;
};

void EllipseOffset(const EllipseArc& e, double s, double& dx, double& dy) {
    const double ex = e.a * math::Cos(s), ey = e.a * e.f * math::Sin(s);
    const double c = math::Cos(e.tilt), sn = math::Sin(e.tilt);
    dx = c * ex - sn * ey;
    dy = sn * ex + c * ey;
}

// Carries an ellipse (and, unless full, its arc) through T.
void TransformArc(const TPlacement& T, EllipseArc& e, bool full) {
    // The image of E(s), relative to the new centre.
    auto image = [&](double s, double& ix, double& iy) {
        EllipseOffset(e, s, ix, iy);
        T.MapVector(ix, iy);
    };

    // The new major axis: the farthest image point. A diagonal placement
    // keeps the axes where they are.
    double sBest = 0;
    if (!T.Diagonal(kExact)) {
        double best = -1, step = kPi / 10;
        auto sample = [&](double s) {
            double ix, iy;
            image(s, ix, iy);
            const double d = math::Hypot(ix, iy);
            if (d > best) {
                best = d;
                sBest = s;
            }
        };
        for (int k = 0; k <= 10; ++k) sample(k * step);
        for (int pass = 1; pass < 16; ++pass) {
            const double from = sBest - step;
            step /= 10;
            for (int k = 0; k <= 20; ++k) sample(from + k * step);
        }
    }
    double ax, ay;
    image(sBest, ax, ay);
    const double a2 = math::Hypot(ax, ay);
    const double tilt2 = Direction(ax, ay);
    const double c = math::Cos(tilt2), sn = math::Sin(tilt2);
    // (u, v): an image point in the new axes.
    auto local = [&](double s, double& u, double& v) {
        double ix, iy;
        image(s, ix, iy);
        u = c * ix + sn * iy;
        v = -sn * ix + c * iy;
    };

    // The flattening from the conjugate point: (u, v) lies on the new
    // ellipse, u^2 / a2^2 + v^2 / b2^2 = 1.
    double f2 = e.f;
    if (a2 > 0) {
        double u, v;
        local(sBest + kPi / 2, u, v);
        const double z = std::max(std::sqrt(std::abs(a2 * a2 - u * u)), 1e-12);
        f2 = std::abs(v) / z;
    }

    if (!full) {
        // New parameter of the image of E(s): atan2(v / f2, u), written so
        // that a flattening of 0 cannot divide by zero.
        auto param = [&](double s) {
            double u, v;
            local(s, u, v);
            return NormAngle(math::Atan2(v, u * f2));
        };
        const double s0 = e.sweep < 0 ? e.start + e.sweep : e.start;
        const double s1 = e.sweep < 0 ? e.start : e.start + e.sweep;
        const double p1 = param(s0), p2 = param(s1), pm = param(e.start + e.sweep / 2);
        if (std::abs(e.sweep) >= kTwoPi - 1e-12) {
            // A whole turn stays a whole turn (its two ends map to the same
            // parameter, which would otherwise read as an empty arc).
            e.start = p1;
            e.sweep = kTwoPi;
        } else {
            const double d = NormAngle(p2 - p1), m = NormAngle(pm - p1);
            if (d >= m) {
                e.start = p1;
                e.sweep = d;
            } else {  // the placement mirrors the arc
                e.start = p2;
                e.sweep = NormAngle(p1 - p2);
            }
        }
    }
    T.Map(e.cx, e.cy);
    e.a = a2;
    e.f = f2;
    e.tilt = tilt2;
}

// ---- Texts --------------------------------------------------------------------


// Unit vector of a text's run: from start towards end, or along its angle
// when the two coincide.
void RunDirection(const TEntJwwMoji& m, double& ux, double& uy) {
    const double dx = m.end_x - m.start_x, dy = m.end_y - m.start_y;
    const double len = math::Hypot(dx, dy);
    if (len > 0 && std::isfinite(len)) {
        ux = dx / len;
        uy = dy / len;
    } else {
        ux = math::Cos(m.degKakudo / kDegPerRad);
        uy = math::Sin(m.degKakudo / kDegPerRad);
    }
}

double RoundSize(double v) { return RoundDigits(4, 2, v); }

// Steps shared by texts, image texts and dimension texts: start and end
// mapped, sizes measured through T (unless T is the identity), sizes
// rounded. Returns the unit vector of the new run, also where the new start
// and end coincide.
void TransformTextBox(const TPlacement& T, TEntJwwMoji& m, double& runX, double& runY) {
    const bool vertical = (m.att.sFlg & kVerticalText) != 0;
    if (vertical) std::swap(m.dSizeX, m.dSizeY);
    double ux, uy;
    RunDirection(m, ux, uy);
    double sx = m.start_x, sy = m.start_y, ex = m.end_x, ey = m.end_y;
    T.Map(sx, sy);
    T.Map(ex, ey);
    double wx = ux, wy = uy;  // image of the run direction
    T.MapVector(wx, wy);
    const double wl = math::Hypot(wx, wy);
    if (wl > 0) {
        wx /= wl;
        wy /= wl;
    }
    if (!T.Identity(kExact)) {
        m.dSizeX = std::abs(m.dSizeX) * wl;
        m.dKankaku = std::abs(m.dKankaku) * wl;
        // Height: distance of the image of start + h u-perp from the new run line.
        double hx = -uy * m.dSizeY, hy = ux * m.dSizeY;
        T.MapVector(hx, hy);
        m.dSizeY = wl > 0 ? std::abs(wx * hy - wy * hx) : math::Hypot(hx, hy);
        m.nMojiShu = m.nMojiShu / 1000 * 1000;  // the text type no longer fits
        if (T.Mirrors()) {
            std::swap(sx, ex);
            std::swap(sy, ey);
            wx = -wx;
            wy = -wy;
        }
    }
    m.dSizeX = std::max(RoundSize(m.dSizeX), kMinTextSize);
    m.dSizeY = std::max(RoundSize(m.dSizeY), kMinTextSize);
    m.dKankaku = RoundSize(m.dKankaku);
    if (vertical) std::swap(m.dSizeX, m.dSizeY);
    m.start_x = sx;
    m.start_y = sy;
    m.end_x = ex;
    m.end_y = ey;
    if (wl > 0) {
        runX = wx;
        runY = wy;
    } else {
        runX = 1;
        runY = 0;
    }
}

// Direction of a text's run in degrees, [0, 360).
double RunDegrees(const TEntJwwMoji& m, double runX, double runY) {
    const double dx = m.end_x - m.start_x, dy = m.end_y - m.start_y;
    if (math::Hypot(dx, dy) > 0) return NormDegrees(math::Atan2(dy, dx) * kDegPerRad);
    return NormDegrees(math::Atan2(runY, runX) * kDegPerRad);
}

// An image text: "^@BM" name "," n1 [, n2 ... n6 [, further fields]].
void ExplodeImageText(const TPlacement& T, TEntJwwMoji& m, TImageText image) {
    const std::vector<std::u16string>& fields = image.fields;
    double n[6] = {0, 0, 0, 0, 1.0, 0};  // what an image text lacks reads as these
    for (size_t i = 0; i < fields.size() && i < 6; ++i) n[i] = StrToFloatDef0(fields[i]);
    double q = 1;
    if (fields.size() > 1) {
        if (std::abs(n[0]) <= 1e-14) n[0] = 100;
        q = n[1] / n[0];
    }
    int form = fields.size() == 1 ? 0 : fields.size() < 6 ? 1 : 2;

    const double ox = m.start_x, oy = m.start_y, oex = m.end_x, oey = m.end_y;
    double oldRunX, oldRunY;
    RunDirection(m, oldRunX, oldRunY);
    const double oldDeg = math::Hypot(oex - ox, oey - oy) > 0 ? math::Atan2(oey - oy, oex - ox) * kDegPerRad
                                                             : math::Atan2(oldRunY, oldRunX) * kDegPerRad;
    double runX, runY;
    TransformTextBox(T, m, runX, runY);
    const double newDeg = RunDegrees(m, runX, runY);

    double wx = n[0], wy = 0;
    T.MapVector(wx, wy);
    double W = RoundSize(math::Hypot(wx, wy));
    if (!(W > kMinTextSize)) W = kMinTextSize;
    double H = RoundSize(W * q);
    if (!(H > kMinTextSize)) H = kMinTextSize;

    std::vector<std::u16string> out{GeneralNumber(W)};
    if (form != 0) {
        double r = NormDegrees(newDeg - oldDeg);
        if (r > 180) r -= 360;
        r = RoundDigits(2, 2, r);
        if (std::abs(r) > 1e-12) form = 2;
        if (form == 1) {
            out.push_back(GeneralNumber(H));
            // Third to fifth numbers of a shorter list are carried along.
            out.insert(out.end(), fields.begin() + 2, fields.end());
        } else {
            const double n6 = NormDegrees(n[5] + r);
            for (double v : {H, n[2], n[3], n[4], n6}) out.push_back(GeneralNumber(v));
            if (fields.size() > 6) out.insert(out.end(), fields.begin() + 6, fields.end());
        }
    }
    image.fields = std::move(out);
    m.str = image.Text();
    // The image lies horizontally from the new start.
    m.end_x = m.start_x + AnsiTextWidth(m.str, m.dSizeX, m.dKankaku);
    m.end_y = m.start_y;
    m.degKakudo = 0;
}

void ExplodeText(const TPlacement& T, TEntJwwMoji& m) {
    if (std::optional<TImageText> image = SplitImageText(m.str)) return ExplodeImageText(T, m, std::move(*image));
    double runX, runY;
    TransformTextBox(T, m, runX, runY);
    m.degKakudo = RunDegrees(m, runX, runY);
}

// Half-width characters to full width: ASCII, the space, and half-width
// katakana (with a following voiced or semi-voiced sound mark joined).
// ---- Points and solids ----------------------------------------------------------

void TransformTen(const TPlacement& T, TEntJwwTen& p) {
    T.Map(p.start_x, p.start_y);
    if (p.att.nPenStyle != 100) {
        p.nCode = 0;
        p.radKaitenKaku = 0;
        p.dBairitsu = 1.0;
        return;
    }
    if (!T.Mirrors()) {
        // The symbol turns with the placement's x axis.
        double vx = 10, vy = 0;
        T.MapVector(vx, vy);
        p.radKaitenKaku += Direction(vx, vy);
    } else {
        // A mirrored symbol cannot be stored; it keeps its shape and is
        // turned as its mirror image would be for a symbol symmetric about
        // its own vertical axis: new angle = beta - angle, beta the
        // direction of the image of (-1, 0).
        double vx = -1, vy = 0;
        T.MapVector(vx, vy);
        p.radKaitenKaku = NormAngle(Direction(vx, vy) - p.radKaitenKaku);
    }
}

bool FullCurvedSolid(const TEntJwwSolid& s) {
    const int style = s.att.nPenStyle;
    const double mode = std::trunc(s.DPoint3_y);
    if (style == 111) return mode != 0;
    if (style == 101) return mode == 100;
    const double sweep = s.DPoint3_x;  // 105, 106
    return std::abs(sweep) <= 1e-14 || sweep >= kTwoPi - 1e-14 || sweep <= -(kTwoPi - 1e-14);
}

void TransformSolid(const TPlacement& T, TEntJwwSolid& s) {
    const int style = s.att.nPenStyle;
    if (style <= 100) {
        T.Map(s.start_x, s.start_y);
        T.Map(s.end_x, s.end_y);
        T.Map(s.DPoint2_x, s.DPoint2_y);
        T.Map(s.DPoint3_x, s.DPoint3_y);
        return;
    }
    if (style != 101 && style != 105 && style != 106 && style != 111) return;
    // Centre, radius, flattening, tilt, start, sweep; mode or inner radius.
    EllipseArc e{s.start_x, s.start_y, s.end_x, s.end_y, s.DPoint2_x, s.DPoint2_y, s.DPoint3_x};
    const bool full = FullCurvedSolid(s);
    if (style == 105 || style == 106) {
        const double pr = s.end_x, ph = s.end_y, pri = s.DPoint3_y;
        double fi = ph;
        if (style == 106 && pri != 0) {
            const double f = 1 + (pr * ph - pr) / pri;  // a ring of even width
            if (f > 1e-14) fi = f;
        }
        EllipseArc inner = e;
        inner.a = pri;
        inner.f = fi;
        TransformArc(T, inner, full);
        s.DPoint3_y = inner.a;
    }
    TransformArc(T, e, full);
    s.start_x = e.cx;
    s.start_y = e.cy;
    s.end_x = e.a;
    s.end_y = e.f;
    s.DPoint2_x = e.tilt;
    s.DPoint2_y = e.start;
    s.DPoint3_x = e.sweep;
}

void MapLine(const TPlacement& T, TEntJwwLine& l) {
    T.Map(l.start_x, l.start_y);
    T.Map(l.end_x, l.end_y);
}


}  // namespace

void Place(const TPlacement& T, TEntJwwLine& l) { MapLine(T, l); }

void Place(const TPlacement& T, TEntJwwEnko& n) {
    EllipseArc arc{n.start_x, n.start_y, n.dHankei, n.dHenpeiRitsu, n.radKatamukiKaku, n.radKaishiKaku,
                   n.radEnkoKaku};
    TransformArc(T, arc, n.bZenEnFlg != 0);
    n.start_x = arc.cx;
    n.start_y = arc.cy;
    n.dHankei = arc.a;
    n.dHenpeiRitsu = arc.f;
    n.radKatamukiKaku = arc.tilt;
    n.radKaishiKaku = arc.start;
    n.radEnkoKaku = arc.sweep;
}

void Place(const TPlacement& T, TEntJwwTen& p) { TransformTen(T, p); }

void Place(const TPlacement& T, TEntJwwMoji& m) { ExplodeText(T, m); }

void Place(const TPlacement& T, TEntJwwSolid& s) { TransformSolid(T, s); }

void Place(const TPlacement& T, TEntJwwSunpo& n, double lineGroupScale) {
    MapLine(T, n.Sen);
    if (n.bSxfMode != 0) {
        MapLine(T, n.Ho1);
        MapLine(T, n.Ho2);
        for (TEntJwwTen* p : {&n.Te1, &n.Te2, &n.Kt1, &n.Kt2}) TransformTen(T, *p);
    }
    const uint16_t F = n.Moji.att.nPenWidth;
    if (T.Identity(kExact) || !(F & 2) || HasImagePrefix(n.Moji.str)) {
        ExplodeText(T, n.Moji);
        return;
    }
    // The value is measured anew, on the scale of the layer group the
    // dimension line now lies on.
    const double length = math::Hypot(n.Sen.end_x - n.Sen.start_x, n.Sen.end_y - n.Sen.start_y);
    const double k = lineGroupScale > 0 ? lineGroupScale : 1.0;
    const double v = length * k;
    if (std::isfinite(v)) n.Moji.str = DimensionValueText(v, F, n.Moji.att.sFlg);
    double runX, runY;
    TransformTextBox(T, n.Moji, runX, runY);
    // Centred on the middle of the transformed text run.
    const double mx = (n.Moji.start_x + n.Moji.end_x) / 2, my = (n.Moji.start_y + n.Moji.end_y) / 2;
    const double L = AnsiTextWidth(n.Moji.str, n.Moji.dSizeX, n.Moji.dKankaku);
    n.Moji.start_x = mx - L / 2 * runX;
    n.Moji.start_y = my - L / 2 * runY;
    n.Moji.end_x = mx + L / 2 * runX;
    n.Moji.end_y = my + L / 2 * runY;
    n.Moji.degKakudo = NormDegrees(math::Atan2(runY, runX) * kDegPerRad);
}

}  // namespace talvine
