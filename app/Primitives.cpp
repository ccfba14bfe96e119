#include "app/Primitives.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/DimensionExplode.h"
#include "app/PictureImages.h"
#include "jww/DisplayTables.h"
#include "jww/Placement.h"
#include "util/Func_2.h"
#include "util/ImageText.h"
#include "util/Maths.h"

namespace talvine {

namespace {

constexpr double kPi = 3.14159265358979323846;

// sFlg of a text: its characters stand one below the other.
constexpr uint16_t kVerticalText = 0x20;

class TCollector {
public:
    TCollector(const TJwDocument& doc, const TRenderOptions& options, std::vector<TPrimitive>& out)
        : doc_(doc), options_(options), out_(out), images_(doc, options.drawingFolder) {
        // The nodes a node's definition places follow one another, in the
        // order of the definition's inserts; the tree is breadth-first, so
        // the first node naming k as its parent begins k's.
        const size_t nodes = Used(doc.EntBlockTree, doc.EntBlockTreeN);
        firstChild_.assign(nodes, -1);
        for (size_t i = 0; i < nodes; ++i) {
            const int32_t parent = doc.EntBlockTree[i].parent;
            if (parent >= 0 && static_cast<size_t>(parent) < i && firstChild_[static_cast<size_t>(parent)] < 0)
                firstChild_[static_cast<size_t>(parent)] = static_cast<int32_t>(i);
        }
    }

    bool Top();

private:
    static int LayerOf(const TEntJwwAttr& a) { return (a.nGLayer & 15) * 16 + (a.nLayer & 15); }

    bool Hidden(const TEntJwwAttr& a) const {
        return DisplayLayers()[static_cast<size_t>(LayerOf(a))].state == 3;
    }
    static const std::vector<TLayerAttr>& DisplayLayers() { return LayerAttrTable(); }

    // The pen of an entity: colour and width.
    void Pen(const TEntJwwAttr& a, TPrimitive& p) const {
        const TDisplaySetup& disp = DisplaySetup();
        const int c = a.nPenColor;
        const bool valid = (c >= 1 && c <= 9) || (c >= 101 && c <= 356);
        const TDisplayPen& pen = disp.pens[static_cast<size_t>(valid && c != 9 ? c : 1)];
        p.rgb = pen.argb & 0xFFFFFF;
        p.width = a.nPenWidth > 0 ? a.nPenWidth * 0.01 : pen.width;
        const int t = a.nPenStyle;
        if (t >= 2 && static_cast<size_t>(t) < disp.lineTypes.size()) p.dashes = disp.lineTypes[static_cast<size_t>(t)].dashes;
    }

    bool Add(TPrimitive&& p) {
        if (out_.size() >= options_.maxPrimitives) return false;
        out_.push_back(std::move(p));
        return true;
    }

    TPrimitive Start(TPrimitive::Kind kind, const TEntJwwAttr& a, bool added) const {
        TPrimitive p;
        p.kind = kind;
        Pen(a, p);
        p.added = added;
        return p;
    }

    void Put(TPrimitive& p, const TPlacement& m, double x, double y) const {
        m.Map(x, y);
        p.xy.push_back(x);
        p.xy.push_back(y);
    }

    bool Line(const TEntJwwLine& l, const TPlacement& m, bool added) {
        TPrimitive p = Start(TPrimitive::kLine, l.att, added);
        Put(p, m, l.start_x, l.start_y);
        Put(p, m, l.end_x, l.end_y);
        return Add(std::move(p));
    }

    bool Arc(const TEntJwwEnko& e, const TPlacement& m, bool added) {
        TPrimitive p = Start(TPrimitive::kCurve, e.att, added);
        const double sweep = e.bZenEnFlg != 0 ? 2 * kPi : e.radEnkoKaku;
        const double ry = e.dHankei * (e.dHenpeiRitsu > 0 ? e.dHenpeiRitsu : 1);
        const double ct = math::Cos(e.radKatamukiKaku), st = math::Sin(e.radKatamukiKaku);
        const int steps = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / (2 * kPi) * 96)), 2, 96);
        for (int i = 0; i <= steps; ++i) {
            const double t = e.radKaishiKaku + sweep * i / steps;
            const double lx = e.dHankei * math::Cos(t), ly = ry * math::Sin(t);
            Put(p, m, e.start_x + lx * ct - ly * st, e.start_y + lx * st + ly * ct);
        }
        return Add(std::move(p));
    }

    bool Point(const TEntJwwTen& t, const TPlacement& m, bool added) {
        if (t.bKariten != 0 && !options_.temporaryPoints) return true;
        TPrimitive p = Start(TPrimitive::kPoint, t.att, added);
        p.temporary = t.bKariten != 0;
        Put(p, m, t.start_x, t.start_y);
        return Add(std::move(p));
    }

    bool Text(const TEntJwwMoji& t, const TPlacement& m, bool added) {
        // An image's placement is not a text to read (List draws the image
        // of a text entity; a dimension's text places none).
        if (HasImagePrefix(t.str)) return true;
        TPrimitive p = Start(TPrimitive::kText, t.att, added);
        Put(p, m, t.start_x, t.start_y);
        Put(p, m, t.end_x, t.end_y);
        const double s = m.Scale();  // blocks scale their texts
        p.text = t.str;
        p.font = t.strFontName;
        p.height = std::fabs(t.dSizeY) * s;
        p.charWidth = std::fabs(t.dSizeX) * s;
        p.spacing = t.dKankaku * s;
        const double rad = t.degKakudo * kPi / 180;
        double vx = math::Cos(rad), vy = math::Sin(rad);
        m.MapVector(vx, vy);
        p.degrees = math::Atan2(vy, vx) * 180 / kPi;
        // The run as the record measures it (a vertical text stacks its
        // characters, each as long as it is high), stretched as the block
        // stretches the run's direction.
        const double run = (t.att.sFlg & kVerticalText) != 0
                               ? TextWidthFull(t.str, std::fabs(t.dSizeY), t.dKankaku)
                               : TextWidth(t.str, std::fabs(t.dSizeX), t.dKankaku);
        p.length = run * std::hypot(vx, vy);
        return Add(std::move(p));
    }

    // An image text places the image its path names; nothing is drawn when
    // the image cannot be found or has no area.
    //
    //   P3 +-------------+ P2
    //      |    image    | h        P0: the text's start
    //   P0 +-------------+ P1       P0 -> P1: w long, turned by the sixth
    //            w                  number (degrees, counterclockwise)
    bool Image(const TEntJwwMoji& t, const TPlacement& m) {
        const TImageTextInfo info = ParseImageText(t.str);
        const double w = info.d[0], h = info.d[1];
        if (info.name.empty() || !(w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h))) return true;
        std::shared_ptr<const TImageData> image = images_.Find(info.name);
        if (!image) return true;
        const double rad = std::isfinite(info.d[5]) ? info.d[5] * kPi / 180 : 0;
        const double cs = math::Cos(rad), sn = math::Sin(rad);
        TPrimitive p;
        p.kind = TPrimitive::kImage;
        p.image = std::move(image);
        const double x = t.start_x, y = t.start_y;
        Put(p, m, x, y);
        Put(p, m, x + w * cs, y + w * sn);
        Put(p, m, x + w * cs - h * sn, y + w * sn + h * cs);
        Put(p, m, x - h * sn, y + h * cs);
        return Add(std::move(p));
    }

    bool Solid(const TEntJwwSolid& s, const TPlacement& m, bool added) {
        TPrimitive p = Start(TPrimitive::kSolid, s.att, added);
        if (s.att.nPenColor == 10) p.rgb = ((s.Color & 0xFF) << 16) | (s.Color & 0xFF00) | ((s.Color >> 16) & 0xFF);
        Put(p, m, s.start_x, s.start_y);
        Put(p, m, s.end_x, s.end_y);
        Put(p, m, s.DPoint2_x, s.DPoint2_y);
        Put(p, m, s.DPoint3_x, s.DPoint3_y);
        return Add(std::move(p));
    }

    // A dimension draws its line and its text, an SXF one also its
    // extension lines, end points and (temporary) reference points.
    bool Dimension(const TEntJwwSunpo& d, const TPlacement& m) {
        const size_t first = out_.size();
        const bool ok = DrawDimensionParts(d, m);
        for (size_t i = first; i < out_.size(); ++i) out_[i].fromDimension = true;
        return ok;
    }

    bool DrawDimensionParts(const TEntJwwSunpo& d, const TPlacement& m) {
        if (!Line(d.Sen, m, false)) return false;
        if (!RemoveBlanks(d.Moji.str).empty() && !Text(d.Moji, m, false)) return false;
        if (d.bSxfMode == 0) return true;
        for (const TEntJwwLine* h : {&d.Ho1, &d.Ho2})
            if (IsDrawn(*h) && !Line(*h, m, false)) return false;
        for (const TEntJwwTen* t : {&d.Te1, &d.Te2})
            if (!Point(*t, m, false)) return false;
        for (const TEntJwwTen* t : {&d.Kt1, &d.Kt2}) {
            TEntJwwTen k = *t;
            k.bKariten = 1;
            if (!Point(k, m, false)) return false;
        }
        return true;
    }

    // One list being drawn: the top level (list 0, node -1) or the
    // definition of block-tree node `node` (list 1 + its index), placed by m;
    // next is the entry of its order list to draw next.
    struct TFrame {
        TEntityView lists;
        int32_t n;
        int list;
        TPlacement m;
        int32_t node;
        int32_t next = 0;
    };

    // The node of the block tree that places insert k of the list of node
    // (-1: the top level); -1 when the tree has none. Insert k of the drawing
    // is node k; insert k of an expanded node's definition is its k-th
    // child. A node that re-enters its own path has no children, so what
    // its definition places is not drawn, as the tree does not place it.
    int32_t NodeOf(int32_t node, int32_t k) const {
        const int32_t first = node < 0 ? 0 : firstChild_[static_cast<size_t>(node)];
        if (first < 0 || k < 0) return -1;
        const size_t at = static_cast<size_t>(first) + static_cast<size_t>(k);
        if (at >= firstChild_.size() || doc_.EntBlockTree[at].parent != node) return -1;
        return static_cast<int32_t>(at);
    }

    // The entity an entry of the order list names; the attribute block of
    // that entity, nullptr when there is none.
    static const TEntJwwAttr* AttrOf(const TEntityView& L, const TEntJwwNo& e) {
        const int32_t k = e.EntNo;
        auto in = [k](const auto& list, int32_t count) {
            return k >= 0 && static_cast<size_t>(k) < Used(list, count) ? &list[static_cast<size_t>(k)].att : nullptr;
        };
        switch (e.EntType) {
            case kEntLine: return in(L.Line, L.LineN);
            case kEntEnko: return in(L.Enko, L.EnkoN);
            case kEntTen: return in(L.Ten, L.TenN);
            case kEntMoji: return in(L.Moji, L.MojiN);
            case kEntSunpo: return in(L.Sunpo, L.SunpoN);
            case kEntSolid: return in(L.Solid, L.SolidN);
            case kEntBlock: return in(L.Block, L.BlockN);
            default: return nullptr;
        }
    }

    // Draws one entry of the frame's list; a placed block is pushed onto
    // the walk's stack instead, drawn before the rest of the list.
    bool Entry(const TFrame& f, const TEntJwwNo& e, std::vector<TFrame>& stack) {
        const TEntityView& L = f.lists;
        const TEntJwwAttr* att = AttrOf(L, e);
        if (att == nullptr || Hidden(*att)) return true;
        const int32_t k = e.EntNo;
        const size_t u = static_cast<size_t>(k);
        const TListCounts* b = options_.before;
        auto added = [&](const std::vector<int32_t>* counts) {
            return counts != nullptr && static_cast<size_t>(f.list) < counts->size() &&
                   k >= (*counts)[static_cast<size_t>(f.list)];
        };
        switch (e.EntType) {
            case kEntLine: return Line(L.Line[u], f.m, added(b ? &b->lines : nullptr));
            case kEntEnko: return Arc(L.Enko[u], f.m, false);
            case kEntTen: return Point(L.Ten[u], f.m, added(b ? &b->points : nullptr));
            case kEntMoji:
                return HasImagePrefix(L.Moji[u].str) ? Image(L.Moji[u], f.m)
                                                     : Text(L.Moji[u], f.m, added(b ? &b->texts : nullptr));
            case kEntSunpo: return Dimension(L.Sunpo[u], f.m);
            case kEntSolid: return Solid(L.Solid[u], f.m, false);
            case kEntBlock: {
                const int32_t node = NodeOf(f.node, k);
                if (node < 0) return true;
                const TEntJwwBlockTree& n = doc_.EntBlockTree[static_cast<size_t>(node)];
                if (n.defno < 0 || static_cast<size_t>(n.defno) >= Used(doc_.EntBlockDef, doc_.EntBlockDefN))
                    return true;
                const TEntJwwBlockDef& def = doc_.EntBlockDef[static_cast<size_t>(n.defno)];
                stack.push_back(TFrame{ListsOf(def), def.N, 1 + n.defno, PlacementOf(n), node});
                return true;
            }
            default: return true;
        }
    }

    const TJwDocument& doc_;
    const TRenderOptions& options_;
    std::vector<TPrimitive>& out_;
    TImageFiles images_;
    std::vector<int32_t> firstChild_;  // per node of the block tree, -1: none
};

// The lists drawn depth first, without recursion: a chain of definitions
// placed one inside the next may be as long as there are definitions.
bool TCollector::Top() {
    std::vector<TFrame> stack;
    const TEntityView top = doc_.TopLists();
    stack.push_back(TFrame{top, static_cast<int32_t>(top.No.size()), 0, TPlacement{}, -1});
    while (!stack.empty()) {
        TFrame& f = stack.back();
        const int32_t n = static_cast<int32_t>(std::min(static_cast<size_t>(std::max(f.n, 0)), f.lists.No.size()));
        if (f.next >= n) {
            stack.pop_back();
            continue;
        }
        const TEntJwwNo e = f.lists.No[static_cast<size_t>(f.next++)];
        const TFrame current = f;  // Entry may grow the stack
        if (!Entry(current, e, stack)) return false;
    }
    return true;
}

}  // namespace

bool DrawPrimitives(const TJwwData& doc, const TRenderOptions& options, std::vector<TPrimitive>& out) {
    out.clear();
    ResetDisplaySetup();
    doc.SetGAttLayer();
    doc.FileColorSet();
    doc.FileLtypeSet();
    return TCollector(doc, options, out).Top();
}

bool DrawPrimitives(const TJwsData& doc, const TRenderOptions& options, std::vector<TPrimitive>& out) {
    out.clear();
    // A figure has no pen or line-type tables: the defaults of a new drawing.
    ResetDisplaySetup();
    const TJwwData defaults;
    defaults.FileColorSet();
    defaults.FileLtypeSet();
    doc.SetGAttLayer();
    return TCollector(doc, options, out).Top();
}

TListCounts ListCountsOf(const TJwDocument& doc) {
    TListCounts c;
    c.lines.push_back(doc.EntLineN);
    c.texts.push_back(doc.EntMojiN);
    c.points.push_back(doc.EntTenN);
    for (const TEntJwwBlockDef& d : doc.EntBlockDef) {
        c.lines.push_back(d.mLineN);
        c.texts.push_back(d.mMojiN);
        c.points.push_back(d.mTenN);
    }
    return c;
}

void PaperSize(const TJwwData& doc, double& width, double& height) { doc.GetPaperSize(width, height); }

}  // namespace talvine
