#include "app/Render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>

#include "app/DimensionExplode.h"
#include "jww/DisplayTables.h"
#include "util/Platform.h"
#include "util/Func_2.h"
#include "util/Maths.h"

namespace talvine {

namespace {

constexpr double kPi = 3.14159265358979323846;

// x' = a x + c y + e, y' = b x + d y + f.
struct TMatrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    void Apply(double x, double y, double& ox, double& oy) const {
        ox = a * x + c * y + e;
        oy = b * x + d * y + f;
    }
    TMatrix Then(const TMatrix& m) const {  // this, then m
        TMatrix r;
        r.a = m.a * a + m.c * b;
        r.b = m.b * a + m.d * b;
        r.c = m.a * c + m.c * d;
        r.d = m.b * c + m.d * d;
        r.e = m.a * e + m.c * f + m.e;
        r.f = m.b * e + m.d * f + m.f;
        return r;
    }
    double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
};

TMatrix Scaling(double s) { return TMatrix{s, 0, 0, s, 0, 0}; }

// A placement: scale, then rotate, then move to the insertion point.
TMatrix Placement(const TEntJwwBlock& b) {
    const double cs = math::Cos(b.radKaitenKaku), sn = math::Sin(b.radKaitenKaku);
    return TMatrix{cs * b.dBairitsuX, sn * b.dBairitsuX, -sn * b.dBairitsuY, cs * b.dBairitsuY, b.DPKijunTen_x,
                   b.DPKijunTen_y};
}

class TCollector {
public:
    TCollector(const TJwDocument& doc, const TRenderOptions& options, std::vector<TPrimitive>& out)
        : doc_(doc), options_(options), out_(out) {
        for (size_t i = 0; i < doc.EntBlockDef.size() && static_cast<int32_t>(i) < doc.EntBlockDefN; ++i)
            byNumber_.try_emplace(doc.EntBlockDef[i].nNumber, static_cast<int32_t>(i));
    }

    bool Top() {
        const TEntityLists L = const_cast<TJwDocument&>(doc_).TopLists();
        return List(L, static_cast<int32_t>(L.No.size()), 0, TMatrix{}, -1, 0);
    }

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

    void Put(TPrimitive& p, const TMatrix& m, double x, double y) const {
        double ox, oy;
        m.Apply(x, y, ox, oy);
        p.xy.push_back(ox);
        p.xy.push_back(oy);
    }

    bool Line(const TEntJwwLine& l, const TMatrix& m, bool added) {
        TPrimitive p = Start(TPrimitive::kLine, l.att, added);
        Put(p, m, l.start_x, l.start_y);
        Put(p, m, l.end_x, l.end_y);
        return Add(std::move(p));
    }

    bool Arc(const TEntJwwEnko& e, const TMatrix& m, bool added) {
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

    bool Point(const TEntJwwTen& t, const TMatrix& m, bool added) {
        if (t.bKariten != 0 && !options_.temporaryPoints) return true;
        TPrimitive p = Start(TPrimitive::kPoint, t.att, added);
        p.temporary = t.bKariten != 0;
        Put(p, m, t.start_x, t.start_y);
        return Add(std::move(p));
    }

    bool Text(const TEntJwwMoji& t, const TMatrix& m, bool added) {
        // A bound image's placement is not a text to read.
        if (t.str.rfind(u"^@BM", 0) == 0) return true;
        TPrimitive p = Start(TPrimitive::kText, t.att, added);
        Put(p, m, t.start_x, t.start_y);
        Put(p, m, t.end_x, t.end_y);
        const double s = m.Scale() / scale_;  // blocks scale their texts; group scales do not
        p.text = t.str;
        p.font = t.strFontName;
        p.height = std::fabs(t.dSizeY) * s;
        p.charWidth = std::fabs(t.dSizeX) * s;
        p.spacing = t.dKankaku * s;
        double ux, uy, vx, vy;
        m.Apply(0, 0, ux, uy);
        const double rad = t.degKakudo * kPi / 180;
        m.Apply(math::Cos(rad), math::Sin(rad), vx, vy);
        p.degrees = math::Atan2(vy - uy, vx - ux) * 180 / kPi;
        return Add(std::move(p));
    }

    bool Solid(const TEntJwwSolid& s, const TMatrix& m, bool added) {
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
    bool Dimension(const TEntJwwSunpo& d, const TMatrix& m) {
        const size_t first = out_.size();
        const bool ok = DrawDimensionParts(d, m);
        for (size_t i = first; i < out_.size(); ++i) out_[i].fromDimension = true;
        return ok;
    }

    bool DrawDimensionParts(const TEntJwwSunpo& d, const TMatrix& m) {
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

    // The entries of one list; list is 0 for the top level, 1 + d for
    // definition d. At the top level the layer group's scale comes in.
    bool List(const TEntityLists& L, int32_t n, int list, const TMatrix& placed, int32_t topGroup, int depth) {
        const int32_t m = std::min<int32_t>(n, static_cast<int32_t>(L.No.size()));
        for (int32_t i = 0; i < m; ++i) {
            const TEntJwwNo& e = L.No[static_cast<size_t>(i)];
            const int32_t k = e.EntNo;
            auto inRange = [&](int32_t count) { return k >= 0 && k < count; };
            auto added = [&](const std::vector<int32_t>* counts) {
                return options_.before != nullptr && counts != nullptr && static_cast<size_t>(list) < counts->size() &&
                       k >= (*counts)[static_cast<size_t>(list)];
            };
            const TEntJwwAttr* att = nullptr;
            switch (e.EntType) {
                case kEntLine: att = inRange(L.LineN) ? &L.Line[static_cast<size_t>(k)].att : nullptr; break;
                case kEntEnko: att = inRange(L.EnkoN) ? &L.Enko[static_cast<size_t>(k)].att : nullptr; break;
                case kEntTen: att = inRange(L.TenN) ? &L.Ten[static_cast<size_t>(k)].att : nullptr; break;
                case kEntMoji: att = inRange(L.MojiN) ? &L.Moji[static_cast<size_t>(k)].att : nullptr; break;
                case kEntSunpo: att = inRange(L.SunpoN) ? &L.Sunpo[static_cast<size_t>(k)].att : nullptr; break;
                case kEntSolid: att = inRange(L.SolidN) ? &L.Solid[static_cast<size_t>(k)].att : nullptr; break;
                case kEntBlock: att = inRange(L.BlockN) ? &L.Block[static_cast<size_t>(k)].att : nullptr; break;
                default: break;
            }
            if (att == nullptr || Hidden(*att)) continue;
            // The scale of the layer group the entity (at the top) or its
            // outermost block lies in.
            const int32_t group = topGroup >= 0 ? topGroup : (att->nGLayer & 15);
            TMatrix m = placed;
            if (topGroup < 0) {
                scale_ = DisplayLayers()[static_cast<size_t>(LayerOf(*att))].scale;
                m = Scaling(scale_);
            }
            const TListCounts* b = options_.before;
            const size_t u = static_cast<size_t>(k);
            bool ok = true;
            switch (e.EntType) {
                case kEntLine: ok = Line(L.Line[u], m, added(b ? &b->lines : nullptr)); break;
                case kEntEnko: ok = Arc(L.Enko[u], m, false); break;
                case kEntTen: ok = Point(L.Ten[u], m, added(b ? &b->points : nullptr)); break;
                case kEntMoji: ok = Text(L.Moji[u], m, added(b ? &b->texts : nullptr)); break;
                case kEntSunpo: ok = Dimension(L.Sunpo[u], m); break;
                case kEntSolid: ok = Solid(L.Solid[u], m, false); break;
                case kEntBlock: {
                    const TEntJwwBlock& blk = L.Block[u];
                    const auto it = byNumber_.find(blk.nNumber);
                    if (it == byNumber_.end() || depth >= 64) break;
                    const TEntJwwBlockDef& def = doc_.EntBlockDef[static_cast<size_t>(it->second)];
                    TEntityLists inner = ListsOf(const_cast<TEntJwwBlockDef&>(def));
                    ok = List(inner, def.N, 1 + it->second, Placement(blk).Then(m), group, depth + 1);
                    break;
                }
                default: break;
            }
            if (!ok) return false;
        }
        return true;
    }

    const TJwDocument& doc_;
    const TRenderOptions& options_;
    std::vector<TPrimitive>& out_;
    std::unordered_map<uint32_t, int32_t> byNumber_;
    double scale_ = 1;  // of the top-level entity being drawn
};

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

// ---- SVG ---------------------------------------------------------------------

namespace {

std::string Num(double v) {
    if (!std::isfinite(v)) v = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string Colour(uint32_t rgb) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06x", rgb & 0xFFFFFF);
    return buf;
}

std::string Escaped(const std::u16string& text) {
    std::string out;
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                // Control characters are not allowed in XML.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

// The bounding box of every coordinate of the primitives.
struct TBox {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    bool Empty() const { return x0 > x1; }
    void Add(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
};

constexpr uint32_t kAddedColour = 0xE8731A;  // what the conversion made, in orange

void Stroke(std::string& s, const TPrimitive& p, double unit) {
    const uint32_t rgb = p.added ? kAddedColour : p.rgb;
    s += " fill=\"none\" stroke=\"" + Colour(rgb) + "\" stroke-width=\"" + Num(std::max(p.width, unit)) + "\"";
    if (!p.dashes.empty()) {
        s += " stroke-dasharray=\"";
        for (size_t i = 0; i < p.dashes.size(); ++i) {
            if (i) s += ',';
            s += Num(std::max(std::fabs(p.dashes[i]), unit));
        }
        s += "\"";
    }
}

void Primitive(std::string& s, const TPrimitive& p, double unit) {
    auto pt = [](double x, double y) { return Num(x) + "," + Num(-y); };
    switch (p.kind) {
        case TPrimitive::kLine:
            s += "<line x1=\"" + Num(p.xy[0]) + "\" y1=\"" + Num(-p.xy[1]) + "\" x2=\"" + Num(p.xy[2]) + "\" y2=\"" +
                 Num(-p.xy[3]) + "\"";
            Stroke(s, p, unit);
            s += "/>\n";
            break;
        case TPrimitive::kCurve:
            s += "<polyline points=\"";
            for (size_t i = 0; i + 1 < p.xy.size(); i += 2) {
                if (i) s += ' ';
                s += pt(p.xy[i], p.xy[i + 1]);
            }
            s += "\"";
            Stroke(s, p, unit);
            s += "/>\n";
            break;
        case TPrimitive::kPoint:
            s += "<circle cx=\"" + Num(p.xy[0]) + "\" cy=\"" + Num(-p.xy[1]) + "\" r=\"" + Num(unit * 2) +
                 "\" fill=\"" + Colour(p.added ? kAddedColour : p.temporary ? 0xA0A0A0 : p.rgb) + "\"/>\n";
            break;
        case TPrimitive::kSolid:
            s += "<polygon points=\"";
            for (size_t i = 0; i + 1 < p.xy.size(); i += 2) {
                if (i) s += ' ';
                s += pt(p.xy[i], p.xy[i + 1]);
            }
            s += "\" fill=\"" + Colour(p.added ? kAddedColour : p.rgb) + "\"/>\n";
            break;
        case TPrimitive::kText: {
            if (p.text.empty() || p.height <= 0) break;
            const double length = std::hypot(p.xy[2] - p.xy[0], p.xy[3] - p.xy[1]);
            s += "<text x=\"" + Num(p.xy[0]) + "\" y=\"" + Num(-p.xy[1]) + "\" font-size=\"" + Num(p.height) + "\"";
            s += " font-family=\"" + Escaped(p.font) + ", IPAGothic, sans-serif\"";
            if (p.degrees != 0)
                s += " transform=\"rotate(" + Num(-p.degrees) + " " + Num(p.xy[0]) + " " + Num(-p.xy[1]) + ")\"";
            if (length > 0) s += " textLength=\"" + Num(length) + "\" lengthAdjust=\"spacingAndGlyphs\"";
            s += " fill=\"" + Colour(p.added ? kAddedColour : p.rgb) + "\">" + Escaped(p.text) + "</text>\n";
            break;
        }
    }
}

}  // namespace

std::string SvgOf(const std::vector<TPicture>& pictures) {
    // One view for all: the primitives of every picture, else the sheets.
    TBox box;
    for (const TPicture& pic : pictures)
        for (const TPrimitive& p : pic.primitives)
            for (size_t i = 0; i + 1 < p.xy.size(); i += 2) box.Add(p.xy[i], p.xy[i + 1]);
    if (box.Empty()) {
        for (const TPicture& pic : pictures) {
            box.Add(-pic.paperWidth / 2, -pic.paperHeight / 2);
            box.Add(pic.paperWidth / 2, pic.paperHeight / 2);
        }
    }
    if (box.Empty()) box.Add(0, 0);
    double w = box.x1 - box.x0, h = box.y1 - box.y0;
    const double margin = std::max({w, h, 1.0}) * 0.04;
    box.x0 -= margin, box.y0 -= margin, box.x1 += margin, box.y1 += margin;
    w = box.x1 - box.x0, h = box.y1 - box.y0;
    const double caption = std::max(w, h) * 0.05;
    const double gap = w * 0.05;
    const size_t n = std::max<size_t>(pictures.size(), 1);
    const double totalW = w * static_cast<double>(n) + gap * static_cast<double>(n - 1);
    const double totalH = h + caption;
    // Thin lines: about one pixel of a picture 1600 pixels wide.
    const double unit = std::max(totalW, totalH) / 1600;
    const double pixels = 1600.0 / std::max(totalW, totalH);

    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(totalW * pixels) + "\" height=\"" +
         Num(totalH * pixels) + "\" viewBox=\"0 0 " + Num(totalW) + " " + Num(totalH) + "\">\n";
    s += "<rect x=\"0\" y=\"0\" width=\"" + Num(totalW) + "\" height=\"" + Num(totalH) + "\" fill=\"#d8d8d8\"/>\n";
    for (size_t k = 0; k < pictures.size(); ++k) {
        const TPicture& pic = pictures[k];
        const double left = static_cast<double>(k) * (w + gap);
        // The view's top left at (left, caption); y of the drawing grows upwards.
        s += "<g transform=\"translate(" + Num(left - box.x0) + " " + Num(caption + box.y1) + ")\">\n";
        s += "<rect x=\"" + Num(box.x0) + "\" y=\"" + Num(-box.y1) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
             "\" fill=\"#ffffff\"/>\n";
        if (pic.paperWidth > 0 && pic.paperHeight > 0)
            s += "<rect x=\"" + Num(-pic.paperWidth / 2) + "\" y=\"" + Num(-pic.paperHeight / 2) + "\" width=\"" +
                 Num(pic.paperWidth) + "\" height=\"" + Num(pic.paperHeight) + "\" fill=\"none\" stroke=\"#9aa4b0\"" +
                 " stroke-width=\"" + Num(unit) + "\"/>\n";
        for (const TPrimitive& p : pic.primitives) Primitive(s, p, unit);
        s += "</g>\n";
        if (!pic.caption.empty())
            s += "<text x=\"" + Num(left + w / 2) + "\" y=\"" + Num(caption * 0.75) + "\" font-size=\"" +
                 Num(caption * 0.6) + "\" text-anchor=\"middle\" font-family=\"IPAGothic, sans-serif\">" +
                 Escaped(pic.caption) + "</text>\n";
    }
    s += "</svg>\n";
    return s;
}

// ---- Files -------------------------------------------------------------------

namespace {

template <class Doc>
bool PicturesOf(Doc& doc, const std::string& src, bool compare, const TRenderOptions& options,
                std::vector<TPicture>& pictures, std::string& error) {
    doc.BindImageExp = false;
    doc.BindImageExr = false;
    if (!doc.FileIn(src)) {
        error = "cannot read " + src + (doc.LastError.empty() ? "" : ": " + doc.LastError);
        return false;
    }
    double pw = 0, ph = 0;
    if constexpr (std::is_same_v<Doc, TJwwData>) PaperSize(doc, pw, ph);
    TPicture before;
    before.paperWidth = pw, before.paperHeight = ph;
    if (!DrawPrimitives(doc, options, before.primitives)) {
        error = src + " places its blocks too often to be drawn";
        return false;
    }
    if (!compare) {
        pictures.push_back(std::move(before));
        return true;
    }
    before.caption = u"変換前 (before)";
    const TListCounts counts = ListCountsOf(doc);
    ExplodeDimensions(doc, true);
    TRenderOptions marked = options;
    marked.before = &counts;
    TPicture after;
    after.paperWidth = pw, after.paperHeight = ph;
    after.caption = u"変換後 (after): 寸法から作った線・文字・点を橙色で表示";
    if (!DrawPrimitives(doc, marked, after.primitives)) {
        error = src + " places its blocks too often to be drawn";
        return false;
    }
    pictures.push_back(std::move(before));
    pictures.push_back(std::move(after));
    return true;
}

}  // namespace

bool RenderFile(const std::string& src, bool compare, const TRenderOptions& options, std::string& svg,
                std::string& error) {
    std::vector<TPicture> pictures;
    std::string ext;
    try {
        ext = GetLowerExt(src);
    } catch (const std::invalid_argument&) {
    }
    bool ok;
    if (ext == ".jws") {
        TJwsData doc;
        ok = PicturesOf(doc, src, compare, options, pictures, error);
    } else if (ext == ".jww") {
        TJwwData doc;
        ok = PicturesOf(doc, src, compare, options, pictures, error);
    } else {
        error = src + " is not a .jww or .jws file";
        return false;
    }
    if (ok) svg = SvgOf(pictures);
    return ok;
}

bool WriteSvgFile(const std::string& path, const std::string& svg) {
    platform::File f = platform::File::CreateWrite(path);
    return f.IsOpen() && f.Write(svg.data(), svg.size()) && f.Close();
}

}  // namespace talvine
