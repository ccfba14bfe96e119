// The entity builder: entities with validated attributes appended to the top
// level or to a block definition, with the drawing order kept in step.
//
// Every AddEnt operation and its AddBlk twin build the same record with one
// maker below and hand it to AddTop (the top level; EntNo and the arrays
// grow in steps of 1000) or AddToDef (definition bdn; steps of 500).
//
// The file is long because the builder's public list is: each kind has its
// top-level and definition twins, texts two forms, dimensions five, solids
// six, each with the full list of attribute parameters. Each operation is a
// line or two into one maker; the makers and attribute rules come first.
//
// fl bits and the sFlg bits they set, by kind (base value first):
//
//   bit    line    arc/point  text    solid/insert/def  dim. line  dim. point
//   base   0       0          0 *     0                 0x2000     0x0040
//   1      0x0020  0x0020     -       0x0020            0x0020     0x0020
//   2      0x2000  0x0040     0x4010  0x2000            -          -
//   4      0x0800  0x0010     0x0020  0x0800            0x0800     0x0010
//   8      0x8000  (a)        0x0040  0x1000            0x8000     (b)
//   16     0x1000  0x0080     0x0080  (c)               0x1000     0x0080
//   text only, bits 32 .. 2048: 0x0100 0x0200 0x0400 0x1000 0x8000 0x2000 0x0800
//
//   * dimension text 0x4010. (a) arc: full circle; point: temporary point.
//   (b) end point: temporary point. (c) insert: pen style | 0x40.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <unordered_map>

#include "jww/JwDocument.h"
#include "util/Func_2.h"
#include "util/Maths.h"

namespace talvine {

namespace {

constexpr int32_t kTopStep = 1000;
constexpr int32_t kDefStep = 500;
constexpr double kPi = 3.14159265358979323846;

double Rad(double deg) { return deg * kPi / 180.0; }

// ---- Attributes ----

struct FlagBit {
    int bit;
    uint16_t value;
};
constexpr FlagBit kLineFlags[] = {{1, 0x0020}, {2, 0x2000}, {4, 0x0800}, {8, 0x8000}, {16, 0x1000}};
constexpr FlagBit kArcPointFlags[] = {{1, 0x0020}, {2, 0x0040}, {4, 0x0010}, {16, 0x0080}};
constexpr FlagBit kTextFlags[] = {{2, 0x4010},   {4, 0x0020},   {8, 0x0040},   {16, 0x0080},
                                  {32, 0x0100},  {64, 0x0200},  {128, 0x0400}, {256, 0x1000},
                                  {512, 0x8000}, {1024, 0x2000}, {2048, 0x0800}};
constexpr FlagBit kSolidFlags[] = {{1, 0x0020}, {2, 0x2000}, {4, 0x0800}, {8, 0x1000}};
constexpr FlagBit kDimLineFlags[] = {{1, 0x0020}, {4, 0x0800}, {8, 0x8000}, {16, 0x1000}};
constexpr FlagBit kDimPointFlags[] = {{1, 0x0020}, {4, 0x0010}, {16, 0x0080}};

constexpr uint16_t kDimLineBase = 0x2000;
constexpr uint16_t kDimTextBase = 0x4010;
constexpr uint16_t kDimPointBase = 0x0040;
constexpr uint8_t kSymbolPoint = 100;

uint16_t Flags(uint16_t base, int fl, std::span<const FlagBit> table) {
    for (const FlagBit& f : table)
        if (fl & f.bit) base = static_cast<uint16_t>(base | f.value);
    return base;
}

uint16_t Layer(int v) { return static_cast<uint16_t>(v >= 0 && v <= 15 ? v : 0); }

// Colours 1..10 and 101..356 stay, anything else becomes the default colour.
uint16_t PenColor(int co) {
    uint16_t c = static_cast<uint16_t>(co >= 0 && co <= 0xFFFF ? co : 0);
    CheckPenColor(c);
    return c;
}

// Styles 1..9, 11..19 and 31..62 stay, anything else becomes the default style.
uint8_t PenStyle(int tp) {
    uint16_t unusedColor = 1;
    uint8_t s = static_cast<uint8_t>(tp >= 0 && tp <= 0xFF ? tp : 0);
    CheckPenColorStyle(unusedColor, s);
    return s;
}

// The width field holds 0..65535; 0 is the width of the pen colour.
uint16_t Width(int wd) { return static_cast<uint16_t>(std::clamp(wd, 0, 0xFFFF)); }

// Attribute block from the common parameters with the pen-colour and
// pen-style rules; sFlg 0.
TEntJwwAttr Attr(int cn, int lg, int ly, int co, int tp, int wd) {
    TEntJwwAttr a;
    a.lGroup = static_cast<uint32_t>(cn);
    a.nGLayer = Layer(lg);
    a.nLayer = Layer(ly);
    a.nPenColor = PenColor(co);
    a.nPenStyle = PenStyle(tp);
    a.nPenWidth = Width(wd);
    return a;
}

// A symbol scale or a point code as stored.
double Scale(double pb) { return pb >= 1e-10 ? pb : 1.0; }  // NaN too
uint32_t Code(int code) { return static_cast<uint32_t>(code); }
uint8_t PointStyle(int code) { return code != 0 ? kSymbolPoint : 1; }

// Direction of (dx, dy) in [0, 2 pi); 0 for a vector shorter than 1e-14 in
// both coordinates.
double Direction(double dx, double dy) {
    if (std::fabs(dx) < 1e-14 && std::fabs(dy) < 1e-14) return 0;
    double a = math::Atan2(dy, dx);
    if (a < 0) a += 2 * kPi;
    return a >= 2 * kPi ? 0 : a;
}

// ---- Appending ----

struct Target {
    TEntityLists L;
    int32_t& order;  // entries of L.No
    int32_t step;
};

template <class T>
bool Append(const Target& t, T rec) {
    return AppendEntity(t.L, t.order, std::move(rec), t.step);
}

// Runs an addition; running out of memory gives false.
template <class F>
bool Guard(F&& add) noexcept {
    try {
        return add();
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

Target Top(TJwDocument& d) { return Target{d.TopLists(), d.HeaderN1(), kTopStep}; }

TEntJwwBlockDef* DefAt(TJwDocument& d, int bdn) {
    const int32_t n = std::min<int32_t>(d.EntBlockDefN, static_cast<int32_t>(d.EntBlockDef.size()));
    return bdn >= 0 && bdn < n ? &d.EntBlockDef[static_cast<size_t>(bdn)] : nullptr;
}

// The record made by make(), appended to the top level.
template <class Make>
bool AddTop(TJwDocument& d, Make&& make) {
    return Guard([&] { return Append(Top(d), make()); });
}

// The same for definition bdn; false without change when there is none.
template <class Make>
bool AddToDef(TJwDocument& d, int bdn, Make&& make) {
    return Guard([&] {
        TEntJwwBlockDef* def = DefAt(d, bdn);
        return def != nullptr && Append(Target{ListsOf(*def), def->N, kDefStep}, make());
    });
}

// ---- Block numbers ----

// Index of the definition an insert of number n places (the first with that
// number, as the block tree resolves it), or -1.
int DefOfNumber(const TJwDocument& d, int64_t n) {
    const int32_t defs = std::min<int32_t>(d.EntBlockDefN, static_cast<int32_t>(d.EntBlockDef.size()));
    for (int32_t i = 0; i < defs; ++i)
        if (d.EntBlockDef[static_cast<size_t>(i)].nNumber == n) return i;
    return -1;
}

// True when definition `from` is definition `target` or places it, directly
// or through further definitions.
bool Reaches(const TJwDocument& d, int from, int target) {
    const int32_t defs = std::min<int32_t>(d.EntBlockDefN, static_cast<int32_t>(d.EntBlockDef.size()));
    std::unordered_map<uint32_t, int> byNumber;  // the first definition of each number
    for (int32_t i = 0; i < defs; ++i) byNumber.try_emplace(d.EntBlockDef[static_cast<size_t>(i)].nNumber, i);
    std::vector<bool> seen(static_cast<size_t>(defs), false);
    std::vector<int> todo{from};
    seen[static_cast<size_t>(from)] = true;
    while (!todo.empty()) {
        const int k = todo.back();
        todo.pop_back();
        if (k == target) return true;
        const TEntJwwBlockDef& def = d.EntBlockDef[static_cast<size_t>(k)];
        const int32_t inserts = std::min<int32_t>(def.mBlockN, static_cast<int32_t>(def.mBlock.size()));
        for (int32_t i = 0; i < inserts; ++i) {
            const auto next = byNumber.find(def.mBlock[static_cast<size_t>(i)].nNumber);
            if (next != byNumber.end() && !seen[static_cast<size_t>(next->second)]) {
                seen[static_cast<size_t>(next->second)] = true;
                todo.push_back(next->second);
            }
        }
    }
    return false;
}

// ---- Makers ----

TEntJwwLine MakeLine(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                     double py2) {
    TEntJwwLine e;
    e.att = Attr(cn, lg, ly, co, tp, wd);
    e.att.sFlg = Flags(0, fl, kLineFlags);
    e.start_x = px1;
    e.start_y = py1;
    e.end_x = px2;
    e.end_y = py2;
    return e;
}

TEntJwwEnko MakeArc(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pr,
                    double ph, double psa, double pda, double pka) {
    TEntJwwEnko e;
    e.att = Attr(cn, lg, ly, co, tp, wd);
    e.att.sFlg = Flags(0, fl, kArcPointFlags);
    e.start_x = px;
    e.start_y = py;
    e.dHankei = pr;
    e.dHenpeiRitsu = ph;
    e.radKatamukiKaku = Rad(pka);
    const bool full = (fl & 8) != 0;
    e.radKaishiKaku = full ? 0 : Rad(psa);
    e.radEnkoKaku = full ? 2 * kPi : Rad(pda);
    e.bZenEnFlg = full ? 1 : 0;
    return e;
}

TEntJwwTen MakeTen(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pa,
                   double pb) {
    const bool temporary = (fl & 8) != 0;
    const int code = temporary || tp < -7 || tp > 11 ? 0 : tp;
    TEntJwwTen e;
    e.att = Attr(cn, lg, ly, co, 1, wd);
    e.att.nPenStyle = PointStyle(code);
    e.att.sFlg = Flags(0, fl, kArcPointFlags);
    e.start_x = px;
    e.start_y = py;
    e.bKariten = temporary ? 1 : 0;
    e.nCode = Code(code);
    e.radKaitenKaku = Rad(pa);
    e.dBairitsu = Scale(pb);
    return e;
}

// Size, spacing and colour of a text after the text-type lookup: a type
// ms mod 10000 of 1..10 takes its values from EntMoj; any other keeps the
// given ones and ms keeps only its digits above the lowest four.
struct TextStyle {
    int co;
    int ms;
    double pw, ph, pd;
};

TextStyle LookUpTextType(const std::vector<TEntJwwMojiType>& types, int co, int ms, double pw, double ph, double pd) {
    TextStyle st{co, ms, pw, ph, pd};
    const int t = ms % 10000;  // the sign of ms
    if (t >= 1 && t <= 10) {
        // Without the table the given values stay.
        if (static_cast<size_t>(t) <= types.size()) {
            const TEntJwwMojiType& m = types[static_cast<size_t>(t - 1)];
            st.pw = m.adMojiX;
            st.ph = m.adMojiY;
            st.pd = m.adMojiD;
            st.co = m.anMojiCol;
        }
    } else {
        st.ms = ms / 10000 * 10000;
    }
    return st;
}

int Anchor(int tp) { return tp >= 1 && tp <= 9 ? tp : 1; }

struct Corners {
    double x1, y1, x2, y2;
};

// Start and end of a text whose anchor k (1..9: columns left, centre, right;
// rows bottom, middle, top) lies at (px, py), turned by pa degrees. A
// vertical text measures its length with the full width of each character
// from its height and its cross size from its width.
Corners PlaceText(const std::u16string& ps, const TextStyle& st, int k, bool vertical, double px, double py,
                  double pa) {
    double L = 0, H = 0;
    if (vertical) {
        L = CharCount(ps) > 0 ? TextWidthFull(ps, st.ph, st.pd) : 0;
        H = st.pw;
    } else {
        L = TextWidth(ps, st.pw, st.pd);
        H = st.ph;
    }
    const int col = (k - 1) % 3, row = (k - 1) / 3;
    const double dx = col == 0 ? 0 : col == 1 ? -L / 2 : -L;
    const double dy = row == 0 ? 0 : row == 1 ? -H / 2 : -H;
    const double c = math::Cos(Rad(pa)), s = math::Sin(Rad(pa));
    Corners r;
    r.x1 = px + dx * c - dy * s;
    r.y1 = py + dx * s + dy * c;
    if (k == 3) {
        r.x2 = px;
        r.y2 = py;
    } else {
        r.x2 = r.x1 + L * c;
        r.y2 = r.y1 + L * s;
    }
    return r;
}

// A text record of the resolved style at the given corners.
TEntJwwMoji TextRecord(const TEntJwwAttr& att, const TextStyle& st, const Corners& p, double pa,
                       const std::u16string& pf, const std::u16string& ps) {
    TEntJwwMoji e;
    e.att = att;
    e.start_x = p.x1;
    e.start_y = p.y1;
    e.end_x = p.x2;
    e.end_y = p.y2;
    e.nMojiShu = static_cast<uint32_t>(st.ms);
    e.dSizeX = st.pw;
    e.dSizeY = st.ph;
    e.dKankaku = st.pd;
    e.degKakudo = pa;
    e.strFontName = pf;
    e.str = ps;
    return e;
}

// A text: its corners given, or (anchored) placed at its anchor (px1, py1).
TEntJwwMoji MakeMoji(const std::vector<TEntJwwMojiType>& types, int cn, int lg, int ly, int co, int tp, int wd,
                     int fl, int ms, bool anchored, double px1, double py1, double px2, double py2, double pw,
                     double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps) {
    const TextStyle st = LookUpTextType(types, co, ms, pw, ph, pd);
    const int k = Anchor(tp);
    TEntJwwAttr att = Attr(cn, lg, ly, st.co, 1, wd);
    att.nPenStyle = static_cast<uint8_t>(k);
    att.sFlg = Flags(0, fl, kTextFlags);
    const Corners p = anchored ? PlaceText(ps, st, k, (fl & 4) != 0, px1, py1, pa) : Corners{px1, py1, px2, py2};
    return TextRecord(att, st, p, pa, pf, ps);
}

// ---- Dimensions ----

// One part of an SXF dimension as passed: extension lines use the
// coordinates, points the scale (reference points also x1, y1).
struct DimPart {
    int ex = 0, co = 0, tp = 0, wd = 0, fl = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0, pb = 0;
};

// Every parameter of a dimension in its fullest form; the plain forms leave
// every part at ex 0.
struct DimArgs {
    int cn, lg, ly, co, tp, wd, fl;
    double px1, py1, px2, py2;
    int co2, tp2, wd2, fl2, ms;
    bool anchored;  // text at anchor (tx1, ty1), else between the corners
    double tx1, ty1, tx2, ty2;
    double pw, ph, pd, pa;
    const std::u16string& pf;
    const std::u16string& ps;
    DimPart ho1, ho2, te1, te2, kt1, kt2;
};

DimPart Ext(int ex, int co, int tp, int wd, int fl, double x1, double y1, double x2, double y2) {
    return DimPart{ex, co, tp, wd, fl, x1, y1, x2, y2, 0};
}
DimPart EndPt(int ex, int co, int tp, int wd, int fl, double pb) { return DimPart{ex, co, tp, wd, fl, 0, 0, 0, 0, pb}; }
DimPart RefPt(int ex, int co, int tp, int wd, int fl, double x, double y, double pb) {
    return DimPart{ex, co, tp, wd, fl, x, y, 0, 0, pb};
}

// Extension line from the reference point K towards the measured point P:
// from d1 beyond K to d2 beyond P.
void ComputeExtension(DimPart& ho, double px, double py, double kx, double ky, double d1, double d2) {
    const double a = Direction(px - kx, py - ky);
    const double ux = math::Cos(a), uy = math::Sin(a);
    const double D = math::Hypot(px - kx, py - ky);
    ho.x1 = kx + d1 * ux;
    ho.y1 = ky + d1 * uy;
    ho.x2 = kx + (D + d2) * ux;
    ho.y2 = ky + (D + d2) * uy;
}

void FillExtension(TEntJwwLine& ho, const DimPart& p) {
    if (p.ex != 0) {
        ho.att.nPenColor = PenColor(p.co);
        ho.att.nPenStyle = PenStyle(p.tp);
        ho.att.nPenWidth = Width(p.wd);
        ho.att.sFlg = Flags(kDimLineBase, p.fl, kDimLineFlags);
        ho.start_x = p.x1;
        ho.start_y = p.y1;
        ho.end_x = p.x2;
        ho.end_y = p.y2;
    }
}

// An end point (reference false) at (x, y) turned by angle, or a reference
// point at its own coordinates.
void FillPoint(TEntJwwTen& te, const DimPart& p, bool reference, double x, double y, double angle) {
    if (p.ex == 0) return;
    const bool bit8 = (p.fl & 8) != 0;
    int code = bit8 ? 0 : p.tp;
    if (code < -7 || code > (reference ? 0 : 11)) code = 0;
    te.att.nPenColor = PenColor(p.co);
    te.att.nPenStyle = PointStyle(code);
    te.att.nPenWidth = Width(p.wd);
    te.att.sFlg = Flags(kDimPointBase, p.fl, kDimPointFlags);
    te.start_x = reference ? p.x1 : x;
    te.start_y = reference ? p.y1 : y;
    te.bKariten = reference || bit8 ? 1 : 0;
    te.nCode = Code(code);
    te.radKaitenKaku = reference ? 0 : angle;
    te.dBairitsu = Scale(p.pb);
}

TEntJwwSunpo MakeSunpo(const std::vector<TEntJwwMojiType>& types, const DimArgs& a) {
    TEntJwwSunpo e;
    e.att = Attr(a.cn, a.lg, a.ly, a.co, a.tp, a.wd);
    e.att.sFlg = kDimLineBase;

    e.Sen.att = e.att;
    e.Sen.att.sFlg = Flags(kDimLineBase, a.fl, kDimLineFlags);
    e.Sen.start_x = a.px1;
    e.Sen.start_y = a.py1;
    e.Sen.end_x = a.px2;
    e.Sen.end_y = a.py2;

    const int k = Anchor(a.tp2);
    const TextStyle st = LookUpTextType(types, a.co2, a.ms, a.pw, a.ph, a.pd);
    TEntJwwAttr textAtt = Attr(a.cn, a.lg, a.ly, st.co, k, a.wd2);
    textAtt.sFlg = Flags(kDimTextBase, a.fl2, kTextFlags);
    const Corners p = a.anchored ? PlaceText(a.ps, st, k, (a.fl2 & 4) != 0, a.tx1, a.ty1, a.pa)
                                 : Corners{a.tx1, a.ty1, a.tx2, a.ty2};
    e.Moji = TextRecord(textAtt, st, p, a.pa, a.pf, a.ps);

    // The parts start as copies of the dimension's attribute at the origin.
    e.Ho1 = e.Ho2 = TEntJwwLine{e.att};
    TEntJwwTen unused;
    unused.att = e.att;
    unused.att.nPenStyle = 0;
    e.Te1 = e.Te2 = e.Kt1 = e.Kt2 = unused;
    const DimPart* parts[6] = {&a.ho1, &a.ho2, &a.te1, &a.te2, &a.kt1, &a.kt2};
    e.bSxfMode = std::any_of(parts, parts + 6, [](const DimPart* q) { return q->ex != 0; }) ? 1 : 0;

    FillExtension(e.Ho1, a.ho1);
    FillExtension(e.Ho2, a.ho2);
    const double toP1 = Direction(a.px1 - a.px2, a.py1 - a.py2);
    const double toP2 = Direction(a.px2 - a.px1, a.py2 - a.py1);
    FillPoint(e.Te1, a.te1, false, a.px1, a.py1, a.te1.ex == 1 ? toP1 : toP2);
    FillPoint(e.Te2, a.te2, false, a.px2, a.py2, a.te2.ex == 1 ? toP2 : toP1);
    FillPoint(e.Kt1, a.kt1, true, 0, 0, 0);
    FillPoint(e.Kt2, a.kt2, true, 0, 0, 0);
    return e;
}

// ---- Solids and inserts ----

int FillColor(int fc) { return fc >= 0 && fc <= 0xFFFFFF ? fc : 0; }

// A solid with the given pen style; the corners are left to the caller.
TEntJwwSolid SolidBase(int cn, int lg, int ly, int co, uint8_t style, int wd, int fl, int fc) {
    TEntJwwSolid e;
    e.att = Attr(cn, lg, ly, co, 1, wd);
    e.att.nPenStyle = style;
    e.att.sFlg = Flags(0, fl, kSolidFlags);
    e.Color = co == 10 ? static_cast<uint32_t>(FillColor(fc)) : 0;
    return e;
}

// Styles up to 100 follow the pen-style rule; 101..255 (the curved solids'
// shapes) stay. A style above 255 cannot be stored and follows the rule too.
uint8_t SolidStyle(int tp) { return tp > 100 && tp <= 0xFF ? static_cast<uint8_t>(tp) : PenStyle(tp); }

TEntJwwSolid MakeSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                       double px2, double py2, double px3, double py3, double px4, double py4) {
    TEntJwwSolid e = SolidBase(cn, lg, ly, co, SolidStyle(tp), wd, fl, fc);
    e.start_x = px1;
    e.start_y = py1;
    e.end_x = px2;
    e.end_y = py2;
    e.DPoint2_x = px3;
    e.DPoint2_y = py3;
    e.DPoint3_x = px4;
    e.DPoint3_y = py4;
    return e;
}

// A curved solid: centre, radius and flattening, then three more values
// pairs as the shape stores them.
TEntJwwSolid MakeCurvedSolid(int cn, int lg, int ly, int co, uint8_t style, int wd, int fl, int fc, double px,
                             double py, double pr, double ph, double p2x, double p2y, double p3x, double p3y) {
    TEntJwwSolid e = SolidBase(cn, lg, ly, co, style, wd, fl, fc);
    e.start_x = px;
    e.start_y = py;
    e.end_x = pr;
    e.end_y = ph;
    e.DPoint2_x = p2x;
    e.DPoint2_y = p2y;
    e.DPoint3_x = p3x;
    e.DPoint3_y = p3y;
    return e;
}

TEntJwwSolid MakeSolidC(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                        double pr, double ph, double pka, double psa, double pda) {
    double s = 100, start = 0, sweep = 2 * kPi;
    if (tp >= 1 && tp <= 3) {
        s = tp == 1 ? 0 : tp == 2 ? 5 : -1;
        start = Rad(psa);
        sweep = Rad(pda);
    }
    return MakeCurvedSolid(cn, lg, ly, co, 101, wd, fl, fc, px, py, pr, ph, Rad(pka), start, sweep, s);
}

TEntJwwSolid MakeSolidD(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                        double pr, double pri, double ph, double pka, double psa, double pda) {
    return MakeCurvedSolid(cn, lg, ly, co, tp == 2 ? 106 : 105, wd, fl, fc, px, py, pr, ph, Rad(pka), Rad(psa),
                           Rad(pda), pri);
}

double BlockScale(double s) { return std::fabs(s) >= 1e-10 ? s : 1.0; }  // NaN too

TEntJwwBlock MakeBlock(int cn, int lg, int ly, int co, int tp, int wd, int fl, int bn, double px, double py,
                       double pbx, double pby, double pa) {
    TEntJwwBlock e;
    e.att = Attr(cn, lg, ly, co, tp, wd);
    if (fl & 16) e.att.nPenStyle = static_cast<uint8_t>(e.att.nPenStyle | 0x40);
    e.att.sFlg = Flags(0, fl, kSolidFlags);
    e.DPKijunTen_x = px;
    e.DPKijunTen_y = py;
    e.dBairitsuX = BlockScale(pbx);
    e.dBairitsuY = BlockScale(pby);
    e.radKaitenKaku = Rad(pa);
    e.nNumber = static_cast<uint32_t>(bn);
    return e;
}

// ---- Trimming ----

// Cuts the order list and every list to its count, giving back spare room.
void TrimAll(const TEntityLists& L, int32_t order) {
    TrimTo(L.No, order, true);
    TrimLists(L, true);
}

void ReserveLists(TEntityLists L, int32_t order, int32_t extra) {
    auto room = [extra](int32_t n) { return static_cast<size_t>(std::max(n, 0)) + static_cast<size_t>(extra); };
    L.No.resize(room(order));
    L.Line.resize(room(L.LineN));
    L.Enko.resize(room(L.EnkoN));
    L.Ten.resize(room(L.TenN));
    L.Moji.resize(room(L.MojiN));
    L.Sunpo.resize(room(L.SunpoN));
    L.Solid.resize(room(L.SolidN));
    L.Block.resize(room(L.BlockN));
}

// The definitions the bracket operations cover: the first n2.
int32_t BracketedDefs(const TJwDocument& d, int32_t n2) {
    return std::clamp<int32_t>(std::min(n2, d.EntBlockDefN), 0, static_cast<int32_t>(d.EntBlockDef.size()));
}

}  // namespace

// ---- Bracket operations ----

bool TJwDocument::AddEntPre() {
    return Guard([&] {
        ReserveLists(TopLists(), HeaderN1(), kTopStep);
        for (int32_t i = 0, n = BracketedDefs(*this, HeaderN2()); i < n; ++i) {
            TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(i)];
            ReserveLists(ListsOf(def), def.N, kDefStep);
        }
        return true;
    });
}

bool TJwDocument::AddEntPost() {
    const bool ok = Guard([&] {
        TrimAll(TopLists(), HeaderN1());
        for (int32_t i = 0, n = BracketedDefs(*this, HeaderN2()); i < n; ++i) {
            TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(i)];
            TrimAll(ListsOf(def), def.N);
        }
        return true;
    });
    MakeBlockTree();
    return ok && !bBlockTreeCut;
}

// ---- Block definitions ----

bool TJwDocument::AddBlkDef(int cn, int lg, int ly, int co, int tp, int wd, int fl, int bf,
                            const std::u16string& ps) {
    return Guard([&] {
        const int32_t n = EntBlockDefN;
        if (n < 0 || n == INT32_MAX || HeaderN2() == INT32_MAX) return false;
        const int kind = bf >= 1 && bf <= 4 ? bf : 4;
        std::u16string name = ps;
        if (UpperStr(ps).find(u"@@SFIG") == std::u16string::npos) name += u"@@SfigorgFlag@@" + IntToStrDec(kind);
        TEntJwwBlockDef def;
        def.strName = FreeBlkName(name);  // throws when memory runs out, caught below
        // One more than the largest number in use.
        int64_t number = 0;
        for (int32_t i = 0, m = std::min<int32_t>(n, static_cast<int32_t>(EntBlockDef.size())); i < m; ++i)
            number = std::max<int64_t>(number, static_cast<int64_t>(EntBlockDef[static_cast<size_t>(i)].nNumber) + 1);
        if (number > UINT32_MAX) return false;
        def.nNumber = static_cast<uint32_t>(number);
        def.att = Attr(cn, lg, ly, co, tp, wd);
        def.att.sFlg = Flags(0, fl, kSolidFlags);
        EntBlockDef.resize(static_cast<size_t>(n) + 1);
        EntBlockDef[static_cast<size_t>(n)] = std::move(def);
        EntBlockDefN = n + 1;
        ++HeaderN2();
        return true;
    });
}

void TJwDocument::AddBlkDefPost(int bdn) {
    TEntJwwBlockDef* def = DefAt(*this, bdn);
    if (def == nullptr) return;
    Guard([&] {
        TrimAll(ListsOf(*def), def->N);
        return true;
    });
}

// ---- Adding operations: top level and definition twins ----

bool TJwDocument::AddEntLine(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                             double px2, double py2) {
    return AddTop(*this, [&] { return MakeLine(cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2); });
}
bool TJwDocument::AddBlkLine(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1,
                             double py1, double px2, double py2) {
    return AddToDef(*this, bdn, [&] { return MakeLine(cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2); });
}

bool TJwDocument::AddEntArc(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pr,
                            double ph, double psa, double pda, double pka) {
    return AddTop(*this, [&] { return MakeArc(cn, lg, ly, co, tp, wd, fl, px, py, pr, ph, psa, pda, pka); });
}
bool TJwDocument::AddBlkArc(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py,
                            double pr, double ph, double psa, double pda, double pka) {
    return AddToDef(*this, bdn, [&] { return MakeArc(cn, lg, ly, co, tp, wd, fl, px, py, pr, ph, psa, pda, pka); });
}

bool TJwDocument::AddEntTen(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pa,
                            double pb) {
    return AddTop(*this, [&] { return MakeTen(cn, lg, ly, co, tp, wd, fl, px, py, pa, pb); });
}
bool TJwDocument::AddBlkTen(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py,
                            double pa, double pb) {
    return AddToDef(*this, bdn, [&] { return MakeTen(cn, lg, ly, co, tp, wd, fl, px, py, pa, pb); });
}

bool TJwDocument::AddEntMoji(int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px1, double py1,
                             double px2, double py2, double pw, double ph, double pd, double pa,
                             const std::u16string& pf, const std::u16string& ps) {
    return AddTop(*this, [&] {
        return MakeMoji(EntMoj, cn, lg, ly, co, tp, wd, fl, ms, false, px1, py1, px2, py2, pw, ph, pd, pa, pf, ps);
    });
}
bool TJwDocument::AddBlkMoji(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px1,
                             double py1, double px2, double py2, double pw, double ph, double pd, double pa,
                             const std::u16string& pf, const std::u16string& ps) {
    return AddToDef(*this, bdn, [&] {
        return MakeMoji(EntMoj, cn, lg, ly, co, tp, wd, fl, ms, false, px1, py1, px2, py2, pw, ph, pd, pa, pf, ps);
    });
}

bool TJwDocument::AddEntMoji(int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px, double py,
                             double pw, double ph, double pd, double pa, const std::u16string& pf,
                             const std::u16string& ps) {
    return AddTop(*this, [&] {
        return MakeMoji(EntMoj, cn, lg, ly, co, tp, wd, fl, ms, true, px, py, 0, 0, pw, ph, pd, pa, pf, ps);
    });
}
bool TJwDocument::AddBlkMoji(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px,
                             double py, double pw, double ph, double pd, double pa, const std::u16string& pf,
                             const std::u16string& ps) {
    return AddToDef(*this, bdn, [&] {
        return MakeMoji(EntMoj, cn, lg, ly, co, tp, wd, fl, ms, true, px, py, 0, 0, pw, ph, pd, pa, pf, ps);
    });
}

// Dimension forms 1 and 2.
bool TJwDocument::AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                              double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px3,
                              double py3, double px4, double py4, double pw, double ph, double pd, double pa,
                              const std::u16string& pf, const std::u16string& ps) {
    const DimArgs a{cn,  lg,  ly,  co, tp,  wd,  fl,  px1, py1, px2, py2, co2, tp2, wd2, fl2, ms,
                    false, px3, py3, px4, py4, pw, ph, pd, pa, pf, ps, {}, {}, {}, {}, {}, {}};
    return AddTop(*this, [&] { return MakeSunpo(EntMoj, a); });
}
bool TJwDocument::AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1,
                              double py1, double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms,
                              double px3, double py3, double px4, double py4, double pw, double ph, double pd,
                              double pa, const std::u16string& pf, const std::u16string& ps) {
    const DimArgs a{cn,  lg,  ly,  co, tp,  wd,  fl,  px1, py1, px2, py2, co2, tp2, wd2, fl2, ms,
                    false, px3, py3, px4, py4, pw, ph, pd, pa, pf, ps, {}, {}, {}, {}, {}, {}};
    return AddToDef(*this, bdn, [&] { return MakeSunpo(EntMoj, a); });
}

bool TJwDocument::AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                              double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py,
                              double pw, double ph, double pd, double pa, const std::u16string& pf,
                              const std::u16string& ps) {
    const DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms,
                    true, px, py, 0, 0, pw, ph, pd, pa, pf, ps, {}, {}, {}, {}, {}, {}};
    return AddTop(*this, [&] { return MakeSunpo(EntMoj, a); });
}
bool TJwDocument::AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1,
                              double py1, double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms,
                              double px, double py, double pw, double ph, double pd, double pa,
                              const std::u16string& pf, const std::u16string& ps) {
    const DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms,
                    true, px, py, 0, 0, pw, ph, pd, pa, pf, ps, {}, {}, {}, {}, {}, {}};
    return AddToDef(*this, bdn, [&] { return MakeSunpo(EntMoj, a); });
}

// Dimension forms 3 and 4 (SXF).
bool TJwDocument::AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                              double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px3,
                              double py3, double px4, double py4, double pw, double ph, double pd, double pa,
                              const std::u16string& pf, const std::u16string& ps, int ex3, int co3, int tp3, int wd3,
                              int fl3, double px5, double py5, double px6, double py6, int ex4, int co4, int tp4,
                              int wd4, int fl4, double px7, double py7, double px8, double py8, int ex5, int co5,
                              int tp5, int wd5, int fl5, double pb5, int ex6, int co6, int tp6, int wd6, int fl6,
                              double pb6, int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9,
                              double pb7, int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10,
                              double pb8) {
    const DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, false, px3, py3, px4, py4,
                    pw, ph, pd, pa, pf, ps,
                    Ext(ex3, co3, tp3, wd3, fl3, px5, py5, px6, py6), Ext(ex4, co4, tp4, wd4, fl4, px7, py7, px8, py8),
                    EndPt(ex5, co5, tp5, wd5, fl5, pb5), EndPt(ex6, co6, tp6, wd6, fl6, pb6),
                    RefPt(ex7, co7, tp7, wd7, fl7, px9, py9, pb7), RefPt(ex8, co8, tp8, wd8, fl8, px10, py10, pb8)};
    return AddTop(*this, [&] { return MakeSunpo(EntMoj, a); });
}
bool TJwDocument::AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1,
                              double py1, double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms,
                              double px3, double py3, double px4, double py4, double pw, double ph, double pd,
                              double pa, const std::u16string& pf, const std::u16string& ps, int ex3, int co3,
                              int tp3, int wd3, int fl3, double px5, double py5, double px6, double py6, int ex4,
                              int co4, int tp4, int wd4, int fl4, double px7, double py7, double px8, double py8,
                              int ex5, int co5, int tp5, int wd5, int fl5, double pb5, int ex6, int co6, int tp6,
                              int wd6, int fl6, double pb6, int ex7, int co7, int tp7, int wd7, int fl7, double px9,
                              double py9, double pb7, int ex8, int co8, int tp8, int wd8, int fl8, double px10,
                              double py10, double pb8) {
    const DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, false, px3, py3, px4, py4,
                    pw, ph, pd, pa, pf, ps,
                    Ext(ex3, co3, tp3, wd3, fl3, px5, py5, px6, py6), Ext(ex4, co4, tp4, wd4, fl4, px7, py7, px8, py8),
                    EndPt(ex5, co5, tp5, wd5, fl5, pb5), EndPt(ex6, co6, tp6, wd6, fl6, pb6),
                    RefPt(ex7, co7, tp7, wd7, fl7, px9, py9, pb7), RefPt(ex8, co8, tp8, wd8, fl8, px10, py10, pb8)};
    return AddToDef(*this, bdn, [&] { return MakeSunpo(EntMoj, a); });
}

bool TJwDocument::AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                              double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py,
                              double pw, double ph, double pd, double pa, const std::u16string& pf,
                              const std::u16string& ps, int ex3, int co3, int tp3, int wd3, int fl3, double px5,
                              double py5, double px6, double py6, int ex4, int co4, int tp4, int wd4, int fl4,
                              double px7, double py7, double px8, double py8, int ex5, int co5, int tp5, int wd5,
                              int fl5, double pb5, int ex6, int co6, int tp6, int wd6, int fl6, double pb6, int ex7,
                              int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7, int ex8, int co8,
                              int tp8, int wd8, int fl8, double px10, double py10, double pb8) {
    const DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, true, px, py, 0, 0,
                    pw, ph, pd, pa, pf, ps,
                    Ext(ex3, co3, tp3, wd3, fl3, px5, py5, px6, py6), Ext(ex4, co4, tp4, wd4, fl4, px7, py7, px8, py8),
                    EndPt(ex5, co5, tp5, wd5, fl5, pb5), EndPt(ex6, co6, tp6, wd6, fl6, pb6),
                    RefPt(ex7, co7, tp7, wd7, fl7, px9, py9, pb7), RefPt(ex8, co8, tp8, wd8, fl8, px10, py10, pb8)};
    return AddTop(*this, [&] { return MakeSunpo(EntMoj, a); });
}
bool TJwDocument::AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1,
                              double py1, double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms,
                              double px, double py, double pw, double ph, double pd, double pa,
                              const std::u16string& pf, const std::u16string& ps, int ex3, int co3, int tp3, int wd3,
                              int fl3, double px5, double py5, double px6, double py6, int ex4, int co4, int tp4,
                              int wd4, int fl4, double px7, double py7, double px8, double py8, int ex5, int co5,
                              int tp5, int wd5, int fl5, double pb5, int ex6, int co6, int tp6, int wd6, int fl6,
                              double pb6, int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9,
                              double pb7, int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10,
                              double pb8) {
    const DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, true, px, py, 0, 0,
                    pw, ph, pd, pa, pf, ps,
                    Ext(ex3, co3, tp3, wd3, fl3, px5, py5, px6, py6), Ext(ex4, co4, tp4, wd4, fl4, px7, py7, px8, py8),
                    EndPt(ex5, co5, tp5, wd5, fl5, pb5), EndPt(ex6, co6, tp6, wd6, fl6, pb6),
                    RefPt(ex7, co7, tp7, wd7, fl7, px9, py9, pb7), RefPt(ex8, co8, tp8, wd8, fl8, px10, py10, pb8)};
    return AddToDef(*this, bdn, [&] { return MakeSunpo(EntMoj, a); });
}

// Dimension form 5: form 4 with the extension lines computed.
namespace {
DimArgs Form5(const std::u16string& pf, const std::u16string& ps, int cn, int lg, int ly, int co, int tp, int wd,
              int fl, double px1, double py1, double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms,
              double px, double py, double pw, double ph, double pd, double pa, double d1, double d2, int ex3, int co3,
              int tp3, int wd3, int fl3, int ex4, int co4, int tp4, int wd4, int fl4, int ex5, int co5, int tp5,
              int wd5, int fl5, double pb5, int ex6, int co6, int tp6, int wd6, int fl6, double pb6, int ex7, int co7,
              int tp7, int wd7, int fl7, double px9, double py9, double pb7, int ex8, int co8, int tp8, int wd8,
              int fl8, double px10, double py10, double pb8) {
    DimArgs a{cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, true, px, py, 0, 0,
              pw, ph, pd, pa, pf, ps,
              Ext(ex3, co3, tp3, wd3, fl3, 0, 0, 0, 0), Ext(ex4, co4, tp4, wd4, fl4, 0, 0, 0, 0),
              EndPt(ex5, co5, tp5, wd5, fl5, pb5), EndPt(ex6, co6, tp6, wd6, fl6, pb6),
              RefPt(ex7, co7, tp7, wd7, fl7, px9, py9, pb7), RefPt(ex8, co8, tp8, wd8, fl8, px10, py10, pb8)};
    ComputeExtension(a.ho1, px1, py1, px9, py9, d1, d2);
    ComputeExtension(a.ho2, px2, py2, px10, py10, d1, d2);
    return a;
}
}  // namespace

bool TJwDocument::AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                              double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py,
                              double pw, double ph, double pd, double pa, const std::u16string& pf,
                              const std::u16string& ps, double d1, double d2, int ex3, int co3, int tp3, int wd3,
                              int fl3, int ex4, int co4, int tp4, int wd4, int fl4, int ex5, int co5, int tp5, int wd5,
                              int fl5, double pb5, int ex6, int co6, int tp6, int wd6, int fl6, double pb6, int ex7,
                              int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7, int ex8, int co8,
                              int tp8, int wd8, int fl8, double px10, double py10, double pb8) {
    const DimArgs a = Form5(pf, ps, cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, px, py,
                            pw, ph, pd, pa, d1, d2, ex3, co3, tp3, wd3, fl3, ex4, co4, tp4, wd4, fl4, ex5, co5, tp5,
                            wd5, fl5, pb5, ex6, co6, tp6, wd6, fl6, pb6, ex7, co7, tp7, wd7, fl7, px9, py9, pb7, ex8,
                            co8, tp8, wd8, fl8, px10, py10, pb8);
    return AddTop(*this, [&] { return MakeSunpo(EntMoj, a); });
}
bool TJwDocument::AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1,
                              double py1, double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms,
                              double px, double py, double pw, double ph, double pd, double pa,
                              const std::u16string& pf, const std::u16string& ps, double d1, double d2, int ex3,
                              int co3, int tp3, int wd3, int fl3, int ex4, int co4, int tp4, int wd4, int fl4, int ex5,
                              int co5, int tp5, int wd5, int fl5, double pb5, int ex6, int co6, int tp6, int wd6,
                              int fl6, double pb6, int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9,
                              double pb7, int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10,
                              double pb8) {
    const DimArgs a = Form5(pf, ps, cn, lg, ly, co, tp, wd, fl, px1, py1, px2, py2, co2, tp2, wd2, fl2, ms, px, py,
                            pw, ph, pd, pa, d1, d2, ex3, co3, tp3, wd3, fl3, ex4, co4, tp4, wd4, fl4, ex5, co5, tp5,
                            wd5, fl5, pb5, ex6, co6, tp6, wd6, fl6, pb6, ex7, co7, tp7, wd7, fl7, px9, py9, pb7, ex8,
                            co8, tp8, wd8, fl8, px10, py10, pb8);
    return AddToDef(*this, bdn, [&] { return MakeSunpo(EntMoj, a); });
}

// Solids.
bool TJwDocument::AddEntSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                              double px2, double py2, double px3, double py3, double px4, double py4) {
    return AddTop(*this,
                  [&] { return MakeSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px3, py3, px4, py4); });
}
bool TJwDocument::AddBlkSolid(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1,
                              double py1, double px2, double py2, double px3, double py3, double px4, double py4) {
    return AddToDef(*this, bdn,
                    [&] { return MakeSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px3, py3, px4, py4); });
}

bool TJwDocument::AddEntSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                              double px2, double py2) {
    return AddTop(*this,
                  [&] { return MakeSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px2, py2, px2, py2); });
}
bool TJwDocument::AddBlkSolid(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1,
                              double py1, double px2, double py2) {
    return AddToDef(*this, bdn,
                    [&] { return MakeSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px2, py2, px2, py2); });
}

bool TJwDocument::AddEntSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                              double px2, double py2, double px3, double py3) {
    return AddTop(*this,
                  [&] { return MakeSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px3, py3, px1, py1); });
}
bool TJwDocument::AddBlkSolid(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1,
                              double py1, double px2, double py2, double px3, double py3) {
    return AddToDef(*this, bdn,
                    [&] { return MakeSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px3, py3, px1, py1); });
}

bool TJwDocument::AddEntSolidA(int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py,
                               double pr, double ph, double pka) {
    return AddTop(*this, [&] {
        return MakeCurvedSolid(cn, lg, ly, co, 111, wd, fl, fc, px, py, pr, ph, Rad(pka), 0, 2 * kPi, 100);
    });
}
bool TJwDocument::AddBlkSolidA(int bdn, int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py,
                               double pr, double ph, double pka) {
    return AddToDef(*this, bdn, [&] {
        return MakeCurvedSolid(cn, lg, ly, co, 111, wd, fl, fc, px, py, pr, ph, Rad(pka), 0, 2 * kPi, 100);
    });
}

bool TJwDocument::AddEntSolidA(int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py,
                               double pr, double ph, double pka, double psa, double pda) {
    return AddTop(*this, [&] {
        return MakeCurvedSolid(cn, lg, ly, co, 111, wd, fl, fc, px, py, pr, ph, Rad(pka), Rad(psa), Rad(pda), 0);
    });
}
bool TJwDocument::AddBlkSolidA(int bdn, int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py,
                               double pr, double ph, double pka, double psa, double pda) {
    return AddToDef(*this, bdn, [&] {
        return MakeCurvedSolid(cn, lg, ly, co, 111, wd, fl, fc, px, py, pr, ph, Rad(pka), Rad(psa), Rad(pda), 0);
    });
}

bool TJwDocument::AddEntSolidC(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                               double pr, double ph, double pka, double psa, double pda) {
    return AddTop(*this, [&] { return MakeSolidC(cn, lg, ly, co, tp, wd, fl, fc, px, py, pr, ph, pka, psa, pda); });
}
bool TJwDocument::AddBlkSolidC(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px,
                               double py, double pr, double ph, double pka, double psa, double pda) {
    return AddToDef(*this, bdn,
                    [&] { return MakeSolidC(cn, lg, ly, co, tp, wd, fl, fc, px, py, pr, ph, pka, psa, pda); });
}

bool TJwDocument::AddEntSolidD(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                               double pr, double pri, double ph, double pka, double psa, double pda) {
    return AddTop(*this,
                  [&] { return MakeSolidD(cn, lg, ly, co, tp, wd, fl, fc, px, py, pr, pri, ph, pka, psa, pda); });
}
bool TJwDocument::AddBlkSolidD(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px,
                               double py, double pr, double pri, double ph, double pka, double psa, double pda) {
    return AddToDef(*this, bdn,
                    [&] { return MakeSolidD(cn, lg, ly, co, tp, wd, fl, fc, px, py, pr, pri, ph, pka, psa, pda); });
}

// Block inserts: the number must name a definition; inside a definition the
// insert must not make the definition place itself.
bool TJwDocument::AddEntBlock(int cn, int lg, int ly, int co, int tp, int wd, int fl, int bn, double px, double py,
                              double pbx, double pby, double pa) {
    if (bn < 0 || DefOfNumber(*this, bn) < 0) return false;
    return AddTop(*this, [&] { return MakeBlock(cn, lg, ly, co, tp, wd, fl, bn, px, py, pbx, pby, pa); });
}
bool TJwDocument::AddBlkBlock(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int bn, double px,
                              double py, double pbx, double pby, double pa) {
    if (DefAt(*this, bdn) == nullptr || bn < 0) return false;
    const int placed = DefOfNumber(*this, bn);
    if (placed < 0) return false;
    bool cycle = true;  // also when the search runs out of memory
    Guard([&] {
        cycle = Reaches(*this, placed, bdn);
        return true;
    });
    if (cycle) return false;
    return AddToDef(*this, bdn, [&] { return MakeBlock(cn, lg, ly, co, tp, wd, fl, bn, px, py, pbx, pby, pa); });
}

}  // namespace talvine
