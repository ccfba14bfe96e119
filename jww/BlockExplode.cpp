// Block explode and whole-drawing transforms.
//
// A block tree node places its definition through
//   T(X, Y) = (x + r1 X + r2 Y,  y + r3 X + r4 Y).
// Exploding copies every member of the definition of every node, carries it
// through T and appends it to the top level:
//   line, solid corners, points     the positions are mapped
//   arc, arc-shaped solid           the ellipse is mapped: new centre, major
//                                   axis (searched where T is not diagonal),
//                                   flattening from a conjugate point, and
//                                   start and sweep re-parametrised; a
//                                   mirroring T reverses the sweep
//   text                            start and end mapped; sizes measured
//                                   through T; swapped ends when T mirrors
//   image text                      the image width and rotation in its string
//   dimension                       its parts as above; a value text marked
//                                   for it is measured and formatted anew
// A placement mirrors when its determinant r1 r4 - r2 r3 is negative.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "jww/JwDocument.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"
#include "util/Maths.h"

namespace talvine {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDegPerRad = 180.0 / std::numbers::pi;
constexpr double kExact = 1e-14;        // tolerance of "is the identity" and "is diagonal"
constexpr double kMinTextSize = 0.0001;  // smallest width or height of a text
constexpr int32_t kGrowStep = 1000;
constexpr uint16_t kVerticalText = 0x20;  // sFlg of a text: vertical
constexpr uint8_t kOwnLayers = 0x40;      // pen style of a node: members keep their layers

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

struct Placement {
    double x, y, r1, r2, r3, r4;

    void Map(double& px, double& py) const {
        const double X = px, Y = py;
        px = x + r1 * X + r2 * Y;
        py = y + r3 * X + r4 * Y;
    }
    // The linear part only: the image of a difference of two points.
    void MapVector(double& vx, double& vy) const {
        const double X = vx, Y = vy;
        vx = r1 * X + r2 * Y;
        vy = r3 * X + r4 * Y;
    }
    bool Identity() const {
        return std::abs(r1 - 1) <= kExact && std::abs(r4 - 1) <= kExact && std::abs(r2) <= kExact &&
               std::abs(r3) <= kExact;
    }
    bool Diagonal() const {
        return std::abs(std::abs(r1) - std::abs(r4)) <= kExact && std::abs(r2) <= kExact && std::abs(r3) <= kExact;
    }
    bool Mirrors() const { return r1 * r4 - r2 * r3 < 0; }
};

void TakeLayers(TEntJwwAttr& a, bool lf, int l1, int l2) {
    if (lf) return;
    a.nGLayer = static_cast<uint16_t>(l1);
    a.nLayer = static_cast<uint16_t>(l2);
}

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
void TransformArc(const Placement& T, EllipseArc& e, bool full) {
    // The image of E(s), relative to the new centre.
    auto image = [&](double s, double& ix, double& iy) {
        EllipseOffset(e, s, ix, iy);
        T.MapVector(ix, iy);
    };

    // The new major axis: the farthest image point. A diagonal placement
    // keeps the axes where they are.
    double sBest = 0;
    if (!T.Diagonal()) {
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

bool IsImageText(const std::u16string& s) {
    return s.compare(0, kImageTextPrefix.size(), kImageTextPrefix) == 0 && s.find(u',') != std::u16string::npos;
}

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
void TransformTextBox(const Placement& T, TEntJwwMoji& m, double& runX, double& runY) {
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
    if (!T.Identity()) {
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

// Shortest general decimal form (at most 15 significant digits), without
// depending on the locale.
std::u16string GeneralNumber(double v) {
    if (v == 0) v = 0;  // no "-0"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return Utf8ToUtf16(std::string(buf, r.ptr));
}

std::u16string FixedNumber(double v, int decimals) {
    if (v == 0) v = 0;
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return Utf8ToUtf16(std::string(buf, r.ptr));
}

// An image text: "^@BM" name "," n1 [, n2 ... n6 [, further fields]].
void ExplodeImageText(const Placement& T, TEntJwwMoji& m) {
    const size_t comma = m.str.find(u',');
    const std::u16string name = m.str.substr(kImageTextPrefix.size(), comma - kImageTextPrefix.size());
    std::vector<std::u16string> fields;
    for (size_t pos = comma + 1;;) {
        const size_t next = m.str.find(u',', pos);
        fields.push_back(m.str.substr(pos, next == std::u16string::npos ? std::u16string::npos : next - pos));
        if (next == std::u16string::npos) break;
        pos = next + 1;
    }
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

    std::u16string s = kImageTextPrefix;
    s += name;
    s += u',';
    s += GeneralNumber(W);
    if (form != 0) {
        double r = NormDegrees(newDeg - oldDeg);
        if (r > 180) r -= 360;
        r = RoundDigits(2, 2, r);
        if (std::abs(r) > 1e-12) form = 2;
        if (form == 1) {
            s += u',';
            s += GeneralNumber(H);
            // Third to fifth numbers of a shorter list are carried along.
            for (size_t i = 2; i < fields.size(); ++i) {
                s += u',';
                s += fields[i];
            }
        } else {
            const double n6 = NormDegrees(n[5] + r);
            for (double v : {H, n[2], n[3], n[4], n6}) {
                s += u',';
                s += GeneralNumber(v);
            }
            for (size_t i = 6; i < fields.size(); ++i) {
                s += u',';
                s += fields[i];
            }
        }
    }
    m.str = s;
    // The image lies horizontally from the new start.
    m.end_x = m.start_x + AnsiTextWidth(m.str, m.dSizeX, m.dKankaku);
    m.end_y = m.start_y;
    m.degKakudo = 0;
}

void ExplodeText(const Placement& T, TEntJwwMoji& m) {
    if (IsImageText(m.str)) return ExplodeImageText(T, m);
    double runX, runY;
    TransformTextBox(T, m, runX, runY);
    m.degKakudo = RunDegrees(m, runX, runY);
}

// Half-width characters to full width: ASCII, the space, and half-width
// katakana (with a following voiced or semi-voiced sound mark joined).
std::u16string ToFullWidth(const std::u16string& s) {
    static const char16_t kKana[] = {
        u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ', u'ー',
        u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ',
        u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ',
        u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜',
    };
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == u' ') {
            out += u'\u3000';
        } else if (c >= 0x21 && c <= 0x7E) {
            out += static_cast<char16_t>(c - 0x21 + 0xFF01);
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            char16_t k = kKana[c - 0xFF61];
            const char16_t next = i + 1 < s.size() ? s[i + 1] : 0;
            const bool voicable = (c >= 0xFF76 && c <= 0xFF84) || (c >= 0xFF8A && c <= 0xFF8E);  // カ..ト, ハ..ホ
            if (next == 0xFF9E && voicable) {
                k = static_cast<char16_t>(k + 1);
                ++i;
            } else if (next == 0xFF9E && c == 0xFF73) {  // ウ゛
                k = u'ヴ';
                ++i;
            } else if (next == 0xFF9F && c >= 0xFF8A && c <= 0xFF8E) {
                k = static_cast<char16_t>(k + 2);
                ++i;
            }
            out += k;
        } else {
            out += c;
        }
    }
    return out;
}

// Value text of a dimension with format bits F (the text's pen width) and
// flags S (the text's sFlg); length is the measured length times the scale.
std::u16string DimensionValueText(double v, uint16_t F, uint16_t S) {
    if (F & 0x10) v /= 1000;
    const int decimals = (F / 4096) % 10;
    const int mode = (F & 0x100) && !(F & 0x200) ? 0 : (F & 0x200) && !(F & 0x100) ? 1 : 2;
    v = RoundDigits(decimals, mode, v);

    std::u16string s;
    if (F & 0x40) {
        const std::u16string fixed = FixedNumber(v, decimals);
        const size_t dot = fixed.find(u'.');
        const size_t intEnd = dot == std::u16string::npos ? fixed.size() : dot;
        const size_t digitsFrom = !fixed.empty() && fixed[0] == u'-' ? 1 : 0;
        s = fixed.substr(0, digitsFrom);
        for (size_t i = digitsFrom; i < intEnd; ++i) {
            if (i > digitsFrom && (intEnd - i) % 3 == 0) s += u',';
            s += fixed[i];
        }
        s += fixed.substr(intEnd);
        if (!(F & 0x80) && dot != std::u16string::npos) {
            while (!s.empty() && s.back() == u'0') s.pop_back();
            if (!s.empty() && s.back() == u'.') s.pop_back();  // no dangling point
        }
    } else if (F & 0x80) {
        s = FixedNumber(v, decimals);
    } else {
        s = GeneralNumber(v);
    }

    const std::u16string mark = (S & 0x100) ? u"R" : (S & 0x200) ? u"φ" : u"";
    if (!mark.empty()) {
        if (F & 0x400)
            s = mark + s;
        else if (F & 0x800)
            s += mark;
    }
    if (F & 0x8) s = ToFullWidth(s);
    if (F & 0x20) s += (F & 0x10) ? u"ｍ" : u"mm";
    return s;
}

// ---- Appending to the top level -------------------------------------------------

template <class T>
bool AppendTop(TArray<T>& arr, int32_t& count, TArray<TEntJwwNo>& order, int32_t& orderCount, int kind,
               T&& e) {
    if (count < 0) count = 0;
    if (orderCount < 0) orderCount = 0;
    try {
        if (static_cast<size_t>(count) >= arr.size()) arr.resize(static_cast<size_t>(count / kGrowStep * kGrowStep + kGrowStep));
        arr[static_cast<size_t>(count)] = std::move(e);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ++count;
    try {
        if (static_cast<size_t>(orderCount) >= order.size())
            order.resize(static_cast<size_t>(orderCount / kGrowStep * kGrowStep + kGrowStep));
    } catch (const std::bad_alloc&) {
        --count;
        return false;
    }
    order[static_cast<size_t>(orderCount++)] = TEntJwwNo{kind, count - 1};
    return true;
}

template <class T>
void Trim(TArray<T>& v, int32_t n) {
    v.resize(static_cast<size_t>(std::max(n, 0)));
    v.shrink_to_fit();
}

// ---- Points and solids ----------------------------------------------------------

void TransformTen(const Placement& T, TEntJwwTen& p) {
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

void TransformSolid(const Placement& T, TEntJwwSolid& s) {
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

void MapLine(const Placement& T, TEntJwwLine& l) {
    T.Map(l.start_x, l.start_y);
    T.Map(l.end_x, l.end_y);
}

// ---- Whole-drawing transforms ---------------------------------------------------

// Calls pos(x, y) for every position of the top level that MoveEntALL and
// ScaleEntALL change.
template <class Pos>
void ForEachTopPosition(TJwDocument& d, Pos&& pos) {
    for (size_t i = 0, n = Used(d.EntLine, d.EntLineN); i < n; ++i) {
        pos(d.EntLine[i].start_x, d.EntLine[i].start_y);
        pos(d.EntLine[i].end_x, d.EntLine[i].end_y);
    }
    for (size_t i = 0, n = Used(d.EntEnko, d.EntEnkoN); i < n; ++i) pos(d.EntEnko[i].start_x, d.EntEnko[i].start_y);
    for (size_t i = 0, n = Used(d.EntTen, d.EntTenN); i < n; ++i) pos(d.EntTen[i].start_x, d.EntTen[i].start_y);
    for (size_t i = 0, n = Used(d.EntMoji, d.EntMojiN); i < n; ++i) {
        pos(d.EntMoji[i].start_x, d.EntMoji[i].start_y);
        pos(d.EntMoji[i].end_x, d.EntMoji[i].end_y);
    }
    for (size_t i = 0, n = Used(d.EntSunpo, d.EntSunpoN); i < n; ++i) {
        TEntJwwSunpo& s = d.EntSunpo[i];
        pos(s.Sen.start_x, s.Sen.start_y);
        pos(s.Sen.end_x, s.Sen.end_y);
        pos(s.Moji.start_x, s.Moji.start_y);
        pos(s.Moji.end_x, s.Moji.end_y);
        if (s.bSxfMode == 0) continue;
        for (TEntJwwLine* l : {&s.Ho1, &s.Ho2}) {
            pos(l->start_x, l->start_y);
            pos(l->end_x, l->end_y);
        }
        for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) pos(t->start_x, t->start_y);
    }
    for (size_t i = 0, n = Used(d.EntSolid, d.EntSolidN); i < n; ++i) {
        TEntJwwSolid& s = d.EntSolid[i];
        pos(s.start_x, s.start_y);
        if (s.att.nPenStyle > 100) continue;  // the other fields describe the arc
        pos(s.end_x, s.end_y);
        pos(s.DPoint2_x, s.DPoint2_y);
        pos(s.DPoint3_x, s.DPoint3_y);
    }
    for (size_t i = 0, n = Used(d.EntBlock, d.EntBlockN); i < n; ++i)
        pos(d.EntBlock[i].DPKijunTen_x, d.EntBlock[i].DPKijunTen_y);
}

}  // namespace

// ---- Per-kind steps -----------------------------------------------------------------

bool TJwDocument::BlockExplodeLine(double bx, double by, double b1, double b2, double b3, double b4,
                                   const TEntJwwLine& e, bool lf, int l1, int l2) {
    const Placement T{bx, by, b1, b2, b3, b4};
    TEntJwwLine n = e;
    TakeLayers(n.att, lf, l1, l2);
    MapLine(T, n);
    return AppendTop(EntLine, EntLineN, EntNo, HeaderN1(), kEntLine, std::move(n));
}

bool TJwDocument::BlockExplodeEnko(double bx, double by, double b1, double b2, double b3, double b4,
                                   const TEntJwwEnko& e, bool lf, int l1, int l2) {
    const Placement T{bx, by, b1, b2, b3, b4};
    TEntJwwEnko n = e;
    TakeLayers(n.att, lf, l1, l2);
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
    return AppendTop(EntEnko, EntEnkoN, EntNo, HeaderN1(), kEntEnko, std::move(n));
}

bool TJwDocument::BlockExplodeTen(double bx, double by, double b1, double b2, double b3, double b4,
                                  const TEntJwwTen& e, bool lf, int l1, int l2) {
    const Placement T{bx, by, b1, b2, b3, b4};
    TEntJwwTen n = e;
    TakeLayers(n.att, lf, l1, l2);
    TransformTen(T, n);
    return AppendTop(EntTen, EntTenN, EntNo, HeaderN1(), kEntTen, std::move(n));
}

bool TJwDocument::BlockExplodeMoji(double bx, double by, double b1, double b2, double b3, double b4,
                                   const TEntJwwMoji& e, bool lf, int l1, int l2) {
    const Placement T{bx, by, b1, b2, b3, b4};
    try {
        TEntJwwMoji n = e;
        TakeLayers(n.att, lf, l1, l2);
        ExplodeText(T, n);
        return AppendTop(EntMoji, EntMojiN, EntNo, HeaderN1(), kEntMoji, std::move(n));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool TJwDocument::BlockExplodeSunpo(double bx, double by, double b1, double b2, double b3, double b4,
                                    const TEntJwwSunpo& e, bool lf, int l1, int l2) {
    const Placement T{bx, by, b1, b2, b3, b4};
    try {
        TEntJwwSunpo n = e;
        for (TEntJwwAttr* a : {&n.att, &n.Sen.att, &n.Moji.att, &n.Ho1.att, &n.Ho2.att, &n.Te1.att, &n.Te2.att,
                               &n.Kt1.att, &n.Kt2.att})
            TakeLayers(*a, lf, l1, l2);
        MapLine(T, n.Sen);
        if (n.bSxfMode != 0) {
            MapLine(T, n.Ho1);
            MapLine(T, n.Ho2);
            for (TEntJwwTen* p : {&n.Te1, &n.Te2, &n.Kt1, &n.Kt2}) TransformTen(T, *p);
        }
        const uint16_t F = n.Moji.att.nPenWidth;
        if (T.Identity() || !(F & 2) || n.Moji.str.compare(0, kImageTextPrefix.size(), kImageTextPrefix) == 0) {
            ExplodeText(T, n.Moji);
        } else {
            // The value is measured anew, on the scale of the layer group
            // the dimension line now lies on.
            const double length = math::Hypot(n.Sen.end_x - n.Sen.start_x, n.Sen.end_y - n.Sen.start_y);
            double k = LayerGroupScale(n.Sen.att.nGLayer);
            if (!(k > 0)) k = 1.0;
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
        return AppendTop(EntSunpo, EntSunpoN, EntNo, HeaderN1(), kEntSunpo, std::move(n));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool TJwDocument::BlockExplodeSolid(double bx, double by, double b1, double b2, double b3, double b4,
                                    const TEntJwwSolid& e, bool lf, int l1, int l2) {
    const Placement T{bx, by, b1, b2, b3, b4};
    TEntJwwSolid n = e;
    TakeLayers(n.att, lf, l1, l2);
    TransformSolid(T, n);
    return AppendTop(EntSolid, EntSolidN, EntNo, HeaderN1(), kEntSolid, std::move(n));
}

// ---- Block explode ----------------------------------------------------------------------

namespace {

// Memory the copies of a definition's members take, in work units of four
// bytes: what exploding one placement of it costs.
int64_t ExplodeCost(const TEntJwwBlockDef& def) {
    auto n = [](int32_t v) { return std::max<int64_t>(v, 0); };
    int64_t cost = 1 + n(def.N) * static_cast<int64_t>(sizeof(TEntJwwNo) / 4);
    cost += n(def.mLineN) * static_cast<int64_t>(sizeof(TEntJwwLine) / 4);
    cost += n(def.mEnkoN) * static_cast<int64_t>(sizeof(TEntJwwEnko) / 4);
    cost += n(def.mTenN) * static_cast<int64_t>(sizeof(TEntJwwTen) / 4);
    cost += n(def.mSolidN) * static_cast<int64_t>(sizeof(TEntJwwSolid) / 4);
    auto text = [](const TEntJwwMoji& m) {
        return static_cast<int64_t>(sizeof(TEntJwwMoji) / 4 + (m.str.size() + m.strFontName.size()) / 2);
    };
    for (size_t i = 0, c = Used(def.mMoji, def.mMojiN); i < c; ++i) cost += text(def.mMoji[i]);
    for (size_t i = 0, c = Used(def.mSunpo, def.mSunpoN); i < c; ++i)
        cost += static_cast<int64_t>(sizeof(TEntJwwSunpo) / 4) + text(def.mSunpo[i].Moji);
    return cost;
}

}  // namespace

bool TJwDocument::BlockExplode() {
    if (EntBlockTreeN == 0) return true;
    if (bBlockTreeCut) {
        Fail(TJwFailure::kTooComplex);
        return false;
    }
    int32_t& n1 = HeaderN1();
    {
        // What the copies would take, found before anything changes: a few
        // definitions placed through one another many times can ask for
        // more than any drawing holds.
        const size_t defs = Used(EntBlockDef, EntBlockDefN);
        std::vector<int64_t> cost;
        try {
            cost.assign(defs, -1);
        } catch (const std::bad_alloc&) {
            Fail(TJwFailure::kOutOfMemory);
            return false;
        }
        int64_t budget = WorkAllowance();
        int64_t entries = std::max<int64_t>(n1, 0);
        for (size_t t = 0, nodes = Used(EntBlockTree, EntBlockTreeN); t < nodes && budget >= 0; ++t) {
            const int32_t defno = EntBlockTree[t].defno;
            if (defno < 0 || static_cast<size_t>(defno) >= defs) continue;
            int64_t& c = cost[static_cast<size_t>(defno)];
            if (c < 0) c = ExplodeCost(EntBlockDef[static_cast<size_t>(defno)]);
            budget -= c;
            entries += std::max<int32_t>(EntBlockDef[static_cast<size_t>(defno)].N, 0);
        }
        // The order list and every count must stay within their 32-bit range.
        if (budget < 0 || entries > INT32_MAX - kGrowStep) {
            Fail(TJwFailure::kTooComplex);
            return false;
        }
    }
    try {
        EntLine.resize(static_cast<size_t>(std::max(EntLineN, 0) + kGrowStep));
        EntEnko.resize(static_cast<size_t>(std::max(EntEnkoN, 0) + kGrowStep));
        EntTen.resize(static_cast<size_t>(std::max(EntTenN, 0) + kGrowStep));
        EntMoji.resize(static_cast<size_t>(std::max(EntMojiN, 0) + kGrowStep));
        EntSunpo.resize(static_cast<size_t>(std::max(EntSunpoN, 0) + kGrowStep));
        EntSolid.resize(static_cast<size_t>(std::max(EntSolidN, 0) + kGrowStep));
        EntNo.resize(static_cast<size_t>(std::max(n1, 0) + kGrowStep));
    } catch (const std::bad_alloc&) {
        Fail(TJwFailure::kOutOfMemory);
        return false;
    }

    const size_t defCount = Used(EntBlockDef, EntBlockDefN);
    for (size_t t = 0, nodes = Used(EntBlockTree, EntBlockTreeN); t < nodes; ++t) {
        const TEntJwwBlockTree& node = EntBlockTree[t];
        if (node.defno < 0 || static_cast<size_t>(node.defno) >= defCount) continue;
        const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(node.defno)];
        const double x = node.x, y = node.y, r1 = node.r1, r2 = node.r2, r3 = node.r3, r4 = node.r4;
        const bool lf = (node.att.nPenStyle & kOwnLayers) != 0;
        const int l1 = node.att.nGLayer, l2 = node.att.nLayer;
        for (size_t k = 0, entries = Used(def.mNo, def.N); k < entries; ++k) {
            const TEntJwwNo entry = def.mNo[k];
            if (entry.EntNo < 0) continue;
            const size_t i = static_cast<size_t>(entry.EntNo);
            bool ok = true;
            switch (entry.EntType) {
                case kEntLine:
                    if (i < Used(def.mLine, def.mLineN))
                        ok = BlockExplodeLine(x, y, r1, r2, r3, r4, def.mLine[i], lf, l1, l2);
                    break;
                case kEntEnko:
                    if (i < Used(def.mEnko, def.mEnkoN))
                        ok = BlockExplodeEnko(x, y, r1, r2, r3, r4, def.mEnko[i], lf, l1, l2);
                    break;
                case kEntTen:
                    if (i < Used(def.mTen, def.mTenN)) ok = BlockExplodeTen(x, y, r1, r2, r3, r4, def.mTen[i], lf, l1, l2);
                    break;
                case kEntMoji:
                    if (i < Used(def.mMoji, def.mMojiN))
                        ok = BlockExplodeMoji(x, y, r1, r2, r3, r4, def.mMoji[i], lf, l1, l2);
                    break;
                case kEntSunpo:
                    if (i < Used(def.mSunpo, def.mSunpoN))
                        ok = BlockExplodeSunpo(x, y, r1, r2, r3, r4, def.mSunpo[i], lf, l1, l2);
                    break;
                case kEntSolid:
                    if (i < Used(def.mSolid, def.mSolidN))
                        ok = BlockExplodeSolid(x, y, r1, r2, r3, r4, def.mSolid[i], lf, l1, l2);
                    break;
                default:  // nested inserts are nodes of their own
                    break;
            }
            if (!ok) {
                Fail(TJwFailure::kOutOfMemory);
                return false;
            }
        }
    }

    Trim(EntLine, EntLineN);
    Trim(EntEnko, EntEnkoN);
    Trim(EntTen, EntTenN);
    Trim(EntMoji, EntMojiN);
    Trim(EntSunpo, EntSunpoN);
    Trim(EntSolid, EntSolidN);
    Trim(EntNo, n1);

    EntBlockTree.clear();
    EntBlockTreeN = 0;
    EntBlockNum = 0;
    EntBlockDef.clear();
    EntBlockDefN = 0;
    HeaderN2() = 0;
    EntBlock.clear();
    EntBlockN = 0;
    for (TEntJwwNo& e : EntNo) {
        if (e.EntType == kEntBlock) e = TEntJwwNo{};
    }
    return true;
}

// ---- Whole-drawing transforms -------------------------------------------------------------

void TJwDocument::MoveEntALL(double dx, double dy) {
    ForEachTopPosition(*this, [&](double& x, double& y) {
        x += dx;
        y += dy;
    });
}

void TJwDocument::ScaleEntALL(double cx, double cy, double sc) {
    ForEachTopPosition(*this, [&](double& x, double& y) {
        x = cx + sc * (x - cx);
        y = cy + sc * (y - cy);
    });
    for (size_t i = 0, n = Used(EntEnko, EntEnkoN); i < n; ++i) EntEnko[i].dHankei *= sc;
    for (size_t i = 0, n = Used(EntTen, EntTenN); i < n; ++i) EntTen[i].dBairitsu *= sc;
    for (size_t i = 0, n = Used(EntSunpo, EntSunpoN); i < n; ++i) {
        TEntJwwSunpo& s = EntSunpo[i];
        if (s.bSxfMode == 0) continue;
        for (TEntJwwTen* t : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) t->dBairitsu *= sc;
    }
    for (size_t i = 0, n = Used(EntSolid, EntSolidN); i < n; ++i) {
        TEntJwwSolid& s = EntSolid[i];
        if (s.att.nPenStyle <= 100) continue;
        s.end_x *= sc;  // radius
        if (s.att.nPenStyle == 105 || s.att.nPenStyle == 106) s.DPoint3_y *= sc;  // inner radius of a ring
    }
    for (size_t i = 0, n = Used(EntBlock, EntBlockN); i < n; ++i) {
        EntBlock[i].dBairitsuX *= sc;
        EntBlock[i].dBairitsuY *= sc;
    }
}

// ---- Layer-group scales ---------------------------------------------

double TJwDocument::LayerGroupScale(int group) const {
    return group >= 0 && static_cast<size_t>(group) < EntLgrp.size() ? EntLgrp[static_cast<size_t>(group)].adScale
                                                                      : 0;
}

}  // namespace talvine
