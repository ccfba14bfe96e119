// Extents of a drawing or figure, the drawing's paper size, the font list and
// the hand-over of layer attributes to the display tables.
//
// Extents are the axis-parallel box around these sample points:
//   line          start and end
//   arc           73 points over the sweep; 4 (0, 90, 180, 270 degrees in
//                 the ellipse's own frame) on a full circle or ellipse
//   point         its position
//   text          start and end, and start + (w, h) for an image text; none
//                 when end equals start or the text runs (0, 0)-(0.01, 0.01)
//   dimension     ends of Sen and Moji; ends of Ho1 and Ho2 when SXF
//   solid         four corners; an arc-shaped solid (style >= 101) 73 arc
//                 samples and, by its mode, its centre or its tangent point
//   block insert  nothing itself; the definition's contents count at every
//                 node of the block tree, through the node's placement
// Points not finite or beyond +-5e11 are ignored; the box stays within +-1e8.
// A box that is a single point is widened by 10 on every side.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "jww/DisplayTables.h"
#include "jww/JwDocument.h"
#include "jww/Placement.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"
#include "util/ImageText.h"
#include "util/Maths.h"

namespace talvine {

namespace {

constexpr double kUsableLimit = 5e11;  // points beyond are ignored
constexpr double kBoxLimit = 1e8;      // the box is cut to +-kBoxLimit
constexpr double kSame = 1e-12;        // coordinates this close are equal
constexpr double kParallel = 1e-9;     // sine of the angle below which tangents are parallel
constexpr double kWiden = 10.0;
constexpr int kArcSteps = 72;                            // 73 samples per arc
constexpr double kFullTurnStep = std::numbers::pi / 36;  // 5 degrees

bool Usable(double x, double y) {
    return IsFiniteNum(x) && IsFiniteNum(y) && std::abs(x) <= kUsableLimit && std::abs(y) <= kUsableLimit;
}
bool Near(double a, double b) { return std::abs(a - b) <= kSame; }
bool SamePoint(double x1, double y1, double x2, double y2) { return Near(x1, x2) && Near(y1, y2); }

// A text from (0, 0) to (0.01, 0.01) marks no geometry.
bool IsMarkerText(const TEntJwwMoji& m) {
    return SamePoint(m.start_x, m.start_y, 0, 0) && SamePoint(m.end_x, m.end_y, 0.01, 0.01);
}

// The box of one computation. Until the first usable point it is empty.
class Box {
public:
    bool Empty() const { return empty_; }
    void Seed(double x, double y) {
        if (!Usable(x, y)) return;
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        empty_ = false;
        Limit();
    }
    void Extend(double x, double y) {
        if (!Usable(x, y)) return;
        if (empty_) return Seed(x, y);
        minX_ = std::min(minX_, x);
        maxX_ = std::max(maxX_, x);
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
        Limit();
    }
    // The final box: (0, 0) when nothing was added; widened when a point.
    void Result(double& minX, double& minY, double& maxX, double& maxY) const {
        minX = empty_ ? 0 : minX_;
        minY = empty_ ? 0 : minY_;
        maxX = empty_ ? 0 : maxX_;
        maxY = empty_ ? 0 : maxY_;
        if (Near(maxX, minX) && Near(maxY, minY)) {
            minX -= kWiden;
            minY -= kWiden;
            maxX += kWiden;
            maxY += kWiden;
        }
    }

private:
    // Both ends of both ranges are cut to +-kBoxLimit, so a box far outside
    // the limit collapses onto it instead of turning inside out.
    void Limit() {
        minX_ = std::clamp(minX_, -kBoxLimit, kBoxLimit);
        minY_ = std::clamp(minY_, -kBoxLimit, kBoxLimit);
        maxX_ = std::clamp(maxX_, -kBoxLimit, kBoxLimit);
        maxY_ = std::clamp(maxY_, -kBoxLimit, kBoxLimit);
    }

    bool empty_ = true;
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

// Hands the usable sample points of entities to a sink, sink(x, y).
template <class Sink>
class Walker {
public:
    explicit Walker(Sink& sink) : sink_(sink) {}

    void Point(double x, double y) {
        if (!Usable(x, y)) return;
        sink_(x, y);
    }

    void Line(const TEntJwwLine& e) {
        Point(e.start_x, e.start_y);
        Point(e.end_x, e.end_y);
    }

    void Arc(const TEntJwwEnko& e) {
        const Ellipse el{e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku};
        if (e.bZenEnFlg == 0) {
            Samples(el, e.radKaishiKaku, e.radEnkoKaku / kArcSteps);
        } else {
            for (int k = 0; k < 4; ++k) EllipsePoint(el, k * (std::numbers::pi / 2));
        }
    }

    void Ten(const TEntJwwTen& e) { Point(e.start_x, e.start_y); }

    void Moji(const TEntJwwMoji& e) {
        if (SamePoint(e.start_x, e.start_y, e.end_x, e.end_y) || IsMarkerText(e)) return;
        Point(e.start_x, e.start_y);
        Point(e.end_x, e.end_y);
        if (HasImagePrefix(e.str)) {
            const TImageTextInfo info = ParseImageText(e.str);
            Point(e.start_x + info.d[0], e.start_y + info.d[1]);
        }
    }

    void Sunpo(const TEntJwwSunpo& e) {
        Line(e.Sen);
        Point(e.Moji.start_x, e.Moji.start_y);
        Point(e.Moji.end_x, e.Moji.end_y);
        if (e.bSxfMode != 0) {
            Line(e.Ho1);
            Line(e.Ho2);
        }
    }

    void Solid(const TEntJwwSolid& e) {
        if (e.att.nPenStyle < 101) {
            Point(e.start_x, e.start_y);
            Point(e.end_x, e.end_y);
            Point(e.DPoint2_x, e.DPoint2_y);
            Point(e.DPoint3_x, e.DPoint3_y);
            return;
        }
        // Arc-shaped solid: centre, radius, flattening, tilt, start, sweep, mode.
        const Ellipse el{e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x};
        const double start = e.DPoint2_y, sweep = e.DPoint3_x, mode = e.DPoint3_y;
        const int style = e.att.nPenStyle;
        if (style == 101 && Near(mode, 0)) Point(el.cx, el.cy);
        if (style == 101 && Near(mode, -1)) TangentPoint(el, start, start + sweep);
        const bool fullTurn = (style == 101 || style == 111) && Near(mode, 100);
        Samples(el, start, fullTurn ? kFullTurnStep : sweep / kArcSteps);
    }

    // Every entity of one list, each array by its count.
    void All(const TArray<TEntJwwLine>& line, int32_t lineN, const TArray<TEntJwwEnko>& enko,
             int32_t enkoN, const TArray<TEntJwwTen>& ten, int32_t tenN,
             const TArray<TEntJwwMoji>& moji, int32_t mojiN, const TArray<TEntJwwSunpo>& sunpo,
             int32_t sunpoN, const TArray<TEntJwwSolid>& solid, int32_t solidN) {
        for (size_t i = 0, n = Used(line, lineN); i < n; ++i) Line(line[i]);
        for (size_t i = 0, n = Used(enko, enkoN); i < n; ++i) Arc(enko[i]);
        for (size_t i = 0, n = Used(ten, tenN); i < n; ++i) Ten(ten[i]);
        for (size_t i = 0, n = Used(moji, mojiN); i < n; ++i) Moji(moji[i]);
        for (size_t i = 0, n = Used(sunpo, sunpoN); i < n; ++i) Sunpo(sunpo[i]);
        for (size_t i = 0, n = Used(solid, solidN); i < n; ++i) Solid(solid[i]);
    }

private:
    struct Ellipse {
        double cx, cy, r, f, tilt;
        // Cosine and sine of the tilt, taken once for all its points.
        double cosTilt = math::Cos(tilt), sinTilt = math::Sin(tilt);
    };

    // Point at parameter t of the ellipse: centre + rotation by the tilt of
    // (r cos t, r f sin t).
    void EllipsePoint(const Ellipse& el, double t) {
        const double ex = el.r * math::Cos(t), ey = el.r * el.f * math::Sin(t);
        Local(el, ex, ey);
    }
    void Local(const Ellipse& el, double ex, double ey) {
        const double c = el.cosTilt, s = el.sinTilt;
        Point(el.cx + c * ex - s * ey, el.cy + s * ex + c * ey);
    }
    void Samples(const Ellipse& el, double start, double step) {
        for (int k = 0; k <= kArcSteps; ++k) EllipsePoint(el, start + k * step);
    }
    // Where the tangents at parameters t1 and t2 meet; the centre when they
    // are parallel. Tangents count as parallel up to an angle (kParallel)
    // far above the rounding of sine and cosine: a half or full turn gives
    // the centre however its last bits come out, never a point a rounding
    // error away from infinity.
    void TangentPoint(const Ellipse& el, double t1, double t2) {
        const double p1x = el.r * math::Cos(t1), p1y = el.r * el.f * math::Sin(t1);
        const double p2x = el.r * math::Cos(t2), p2y = el.r * el.f * math::Sin(t2);
        const double d1x = -el.r * math::Sin(t1), d1y = el.r * el.f * math::Cos(t1);
        const double d2x = -el.r * math::Sin(t2), d2y = el.r * el.f * math::Cos(t2);
        const double den = d1x * d2y - d1y * d2x;
        const double lengths = math::Hypot(d1x, d1y) * math::Hypot(d2x, d2y);
        if (!(std::abs(den) > kParallel * lengths)) return Point(el.cx, el.cy);
        const double a = ((p2x - p1x) * d2y - (p2y - p1y) * d2x) / den;
        Local(el, p1x + a * d1x, p1y + a * d1y);
    }

    Sink& sink_;
};

// Every sample point of a list of entities handed to sink.
template <class Sink>
void WalkTop(const TJwDocument& d, Sink& sink) {
    Walker<Sink> w(sink);
    w.All(d.EntLine, d.EntLineN, d.EntEnko, d.EntEnkoN, d.EntTen, d.EntTenN, d.EntMoji, d.EntMojiN, d.EntSunpo,
          d.EntSunpoN, d.EntSolid, d.EntSolidN);
}
template <class Sink>
void WalkDef(const TEntJwwBlockDef& def, Sink& sink) {
    Walker<Sink> w(sink);
    w.All(def.mLine, def.mLineN, def.mEnko, def.mEnkoN, def.mTen, def.mTenN, def.mMoji, def.mMojiN, def.mSunpo,
          def.mSunpoN, def.mSolid, def.mSolidN);
}

// About how many sample points a definition's contents give: what walking
// it once costs.
int64_t WalkCost(const TEntJwwBlockDef& def) {
    auto n = [](auto v) { return std::max<int64_t>(v, 0); };
    return 1 + 2 * n(def.mLineN) + (kArcSteps + 1) * n(def.mEnkoN) + n(def.mTenN) + 3 * n(def.mMojiN) +
           6 * n(def.mSunpoN) + (kArcSteps + 3) * n(def.mSolidN);
}

// The points of a definition's contents that lie farthest left, right,
// down and up once carried through a linear part. Carried through any
// placement with that linear part, these four give the box of all points,
// since a translation moves every point alike.
struct Extremes {
    bool any = false;
    double px[4] = {}, py[4] = {};  // min u, max u, min v, max v (definition coordinates)
};

class ExtremeSink {
public:
    // Only the linear part of the placement counts.
    explicit ExtremeSink(const TPlacement& T) : T_(T) {}
    void operator()(double x, double y) {
        double u = x, v = y;
        T_.MapVector(u, v);
        if (!e_.any) {
            e_.any = true;
            for (int i = 0; i < 4; ++i) e_.px[i] = x, e_.py[i] = y;
            lo_u_ = hi_u_ = u;
            lo_v_ = hi_v_ = v;
            return;
        }
        if (u < lo_u_) lo_u_ = u, e_.px[0] = x, e_.py[0] = y;
        if (u > hi_u_) hi_u_ = u, e_.px[1] = x, e_.py[1] = y;
        if (v < lo_v_) lo_v_ = v, e_.px[2] = x, e_.py[2] = y;
        if (v > hi_v_) hi_v_ = v, e_.px[3] = x, e_.py[3] = y;
    }
    const Extremes& Result() const { return e_; }

private:
    TPlacement T_;
    Extremes e_;
    double lo_u_ = 0, hi_u_ = 0, lo_v_ = 0, hi_v_ = 0;
};

// Key of a (definition, linear part) pair: the exact bits of the numbers.
struct PlacementKey {
    int32_t defno;
    uint64_t r[4];
    bool operator==(const PlacementKey&) const = default;
};
struct PlacementKeyHash {
    size_t operator()(const PlacementKey& k) const {
        uint64_t h = static_cast<uint64_t>(k.defno) * 0x9E3779B97F4A7C15ULL;
        for (uint64_t v : k.r) h = (h ^ v) * 0x100000001B3ULL + (h >> 29);
        return static_cast<size_t>(h);
    }
};
uint64_t Bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}



}  // namespace

// ---- Extents --------------------------------------------------------------

bool TJwDocument::ComputeExtents(const double* seed) {
    if (bBlockTreeCut) {
        // A tree without every placement would give a box too small.
        Fail(TJwFailure::kTooComplex);
        return false;
    }
    try {
        return ComputeExtentsOf(seed);
    } catch (const std::bad_alloc&) {
        Fail(TJwFailure::kOutOfMemory);
        return false;
    }
}

bool TJwDocument::ComputeExtentsOf(const double* seed) {
    // The accumulators are local: no result depends on an earlier computation.
    Box box;
    if (seed != nullptr) {
        box.Seed(seed[0], seed[1]);
    } else if (Used(EntLine, EntLineN) > 0) {
        box.Seed(EntLine[0].start_x, EntLine[0].start_y);
    } else if (Used(EntEnko, EntEnkoN) > 0) {
        box.Seed(EntEnko[0].start_x, EntEnko[0].start_y);
    } else if (Used(EntTen, EntTenN) > 0) {
        box.Seed(EntTen[0].start_x, EntTen[0].start_y);
    } else if (Used(EntMoji, EntMojiN) > 0) {
        const TEntJwwMoji& m = EntMoji[0];
        if (SamePoint(m.start_x, m.start_y, m.end_x, m.end_y)) {
            // no seed
        } else if (!IsMarkerText(m)) {
            box.Seed(m.start_x, m.start_y);
        } else if (Used(EntSunpo, EntSunpoN) > 0) {
            box.Seed(EntSunpo[0].Sen.start_x, EntSunpo[0].Sen.start_y);
        } else if (Used(EntSolid, EntSolidN) > 0) {
            box.Seed(EntSolid[0].start_x, EntSolid[0].start_y);
        } else if (Used(EntBlock, EntBlockN) > 0) {
            box.Seed(EntBlock[0].DPKijunTen_x, EntBlock[0].DPKijunTen_y);
        }
    }
    // Where no rule seeded the box, the first point any entity contributes
    // starts it (Box::Extend on an empty box).

    auto extend = [&box](double x, double y) { box.Extend(x, y); };
    WalkTop(*this, extend);

    // Placed contents. Walking every point of a definition at every node
    // would cost nodes x points; instead the four extreme points of a
    // definition under a linear part are found once, and each node with
    // that linear part carries only those four. The box is the same, since
    // a point that is extreme before the translation stays extreme after
    // it. Only where a carried extreme point falls outside the usable range
    // (and so would be left out while other points count) is the node's
    // definition walked in full. All of it is paid from the work allowance.
    int64_t budget = WorkAllowance();
    std::unordered_map<PlacementKey, Extremes, PlacementKeyHash> extremes;
    const size_t defCount = Used(EntBlockDef, EntBlockDefN);
    std::vector<int64_t> cost(defCount, -1);
    for (size_t i = 0, n = Used(EntBlockTree, EntBlockTreeN); i < n; ++i) {
        const TEntJwwBlockTree& node = EntBlockTree[i];
        if (node.defno < 0 || static_cast<size_t>(node.defno) >= defCount) continue;
        // A placement that is not finite carries every point out of range.
        const TPlacement T = PlacementOf(node);
        if (!T.Finite()) continue;
        const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(node.defno)];
        int64_t& walk = cost[static_cast<size_t>(node.defno)];
        if (walk < 0) walk = WalkCost(def);

        const PlacementKey key{node.defno, {Bits(node.r1), Bits(node.r2), Bits(node.r3), Bits(node.r4)}};
        auto it = extremes.find(key);
        if (it == extremes.end()) {
            if ((budget -= walk) < 0) break;
            ExtremeSink sink(T);
            WalkDef(def, sink);
            it = extremes.emplace(key, sink.Result()).first;
        }
        const Extremes& e = it->second;
        if (!e.any) continue;
        if ((budget -= 4) < 0) break;
        double mx[4], my[4];
        bool usable = true;
        for (int k = 0; k < 4; ++k) {
            mx[k] = e.px[k];
            my[k] = e.py[k];
            T.Map(mx[k], my[k]);
            usable = usable && Usable(mx[k], my[k]);
        }
        if (usable) {
            for (int k = 0; k < 4; ++k) box.Extend(mx[k], my[k]);
            continue;
        }
        if ((budget -= walk) < 0) break;
        auto placed = [&box, &T](double x, double y) {
            T.Map(x, y);
            box.Extend(x, y);
        };
        WalkDef(def, placed);
    }
    if (budget < 0) {
        Fail(TJwFailure::kTooComplex);
        return false;
    }

    // A drawing without a single usable point gets the box around (0, 0).
    box.Result(myMinWx, myMinWy, myMaxWx, myMaxWy);
    return true;
}

bool TJwDocument::GetMinMaxZahyo() {
    double seed[2];
    return ComputeExtents(ExtentSeed(seed[0], seed[1]) ? seed : nullptr);
}

// ---- Paper size -----------------------------------------------------------

void TJwwData::GetPaperSize(double& px, double& py) const {
    struct Paper {
        int code;
        double px, py;
    };
    static constexpr Paper kPapers[] = {
        {1, 841, 594},     {2, 594, 420},      {3, 420, 297},       {4, 297, 210},
        {8, 1682, 1189},   {9, 2378, 1682},    {10, 3364, 2378},    {11, 4756, 3364},
        {12, 10000, 7073}, {13, 50000, 35366}, {14, 100000, 70732},
    };
    px = 1189, py = 841;  // any other code, 0 and 5 to 7 included
    for (const Paper& p : kPapers)
        if (p.code == Enthd.nZumen) px = p.px, py = p.py;
}

// ---- Font list ------------------------------------------------------------

int TJwDocument::GetFontNamesIndex(const std::u16string& s) const {
    size_t skip = 0;
    while (skip < 3 && skip < s.size() && s[skip] == u'@') ++skip;
    const std::u16string name = s.substr(skip);
    const size_t n = Used(FontNames, FontNameN);
    for (size_t i = 0; i < n; ++i)
        if (FontNames[i] == name) return static_cast<int>(i);
    return -1;
}

// Names of vertical fonts begin with "@". They are looked up without their
// "@" but stored with it, so "@X" is skipped when "X" is listed, and is added
// (again) otherwise; a list can therefore hold "@X" more than once.
void TJwDocument::GetFontNames() {
    try {
        FontNameN = 0;
        FontNames.assign(100, std::u16string());
        // The names listed so far, for a lookup that does not grow with the
        // list (GetFontNamesIndex would make this quadratic).
        std::unordered_map<std::u16string, int32_t> listed;
        auto visit = [&](const std::u16string& name) {
            size_t skip = 0;
            while (skip < 3 && skip < name.size() && name[skip] == u'@') ++skip;
            if (listed.count(name.substr(skip))) return;
            if (static_cast<size_t>(FontNameN) >= FontNames.size()) FontNames.resize(FontNames.size() + 100);
            listed.try_emplace(name, FontNameN);
            FontNames[static_cast<size_t>(FontNameN++)] = name;
        };
        for (size_t i = 0, n = Used(EntMoji, EntMojiN); i < n; ++i) visit(EntMoji[i].strFontName);
        for (size_t i = 0, n = Used(EntSunpo, EntSunpoN); i < n; ++i) visit(EntSunpo[i].Moji.strFontName);
        for (size_t d = 0, nd = Used(EntBlockDef, EntBlockDefN); d < nd; ++d) {
            const TEntJwwBlockDef& def = EntBlockDef[d];
            for (size_t i = 0, n = Used(def.mMoji, def.mMojiN); i < n; ++i) visit(def.mMoji[i].strFontName);
            for (size_t i = 0, n = Used(def.mSunpo, def.mSunpoN); i < n; ++i)
                visit(def.mSunpo[i].Moji.strFontName);
        }
        FontNames.resize(static_cast<size_t>(FontNameN));
    } catch (const std::bad_alloc&) {
        FontNameN = 0;
        FontNames.clear();
        Fail(TJwFailure::kOutOfMemory);
    }
}

// ---- Layer attributes for the display ----------------------------------------

void TJwwData::SetGAttLayer() const {
    ResetLayerAttrTable();
    std::vector<TLayerAttr>& table = LayerAttrTable();
    for (size_t i = 0; i < static_cast<size_t>(kLayerAttrCount); ++i) {
        const size_t g = i / 16;
        // A missing group or layer record counts as editable, scale 1, unnamed.
        const TEntJwwLayerGroup* G = g < EntLgrp.size() ? &EntLgrp[g] : nullptr;
        const TEntJwwLayer* L = i < EntLay.size() ? &EntLay[i] : nullptr;
        const int gs = G != nullptr ? G->anGLay : 2;
        const int ls = L != nullptr ? L->aanLay : 2;
        TLayerAttr& a = table[i];
        a.state = (gs == 0 || ls == 0) ? 3 : (gs == 1 || ls == 1) ? 2 : 1;
        a.scale = GroupScale(G != nullptr ? G->adScale : 1.0);
        if (G != nullptr) a.groupLabel += G->aStrGLayName;
        if (L != nullptr) a.layerLabel += L->aStrLayName;
    }
}


}  // namespace talvine
