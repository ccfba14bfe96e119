#include "app/Render.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <unordered_map>

#include "app/BatchRun.h"
#include "app/DimensionExplode.h"
#include "app/Intake.h"
#include "app/OpenSource.h"
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
    double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
};

// The absolute placement of a node of the block tree.
TMatrix Placement(const TEntJwwBlockTree& n) { return TMatrix{n.r1, n.r3, n.r2, n.r4, n.x, n.y}; }

// sFlg of a text: its characters stand one below the other.
constexpr uint16_t kVerticalText = 0x20;

// ---- Image files ---------------------------------------------------------
//
// Images larger than TJwDocument::kMaxImageBytes are not drawn (nor
// unpacked): the picture would hold them a third larger.

// The type of an image by its first bytes; "" for anything a picture cannot
// show, which is then never taken into one.
std::string ImageMime(const std::string& b) {
    using namespace std::string_view_literals;
    auto starts = [&b](std::string_view magic, size_t at = 0) {
        return b.size() >= at + magic.size() && std::string_view(b).substr(at, magic.size()) == magic;
    };
    if (starts("\x89PNG\r\n\x1a\n"sv)) return "image/png";
    if (starts("\xff\xd8\xff"sv)) return "image/jpeg";
    if (starts("GIF87a"sv) || starts("GIF89a"sv)) return "image/gif";
    if (starts("RIFF"sv) && starts("WEBP"sv, 8)) return "image/webp";
    // "BM" alone begins many files: the size of the header that follows the
    // file header must also be one that bitmaps use.
    if (starts("BM"sv) && b.size() >= 18) {
        const uint32_t info = static_cast<uint8_t>(b[14]) | static_cast<uint8_t>(b[15]) << 8 |
                              static_cast<uint32_t>(static_cast<uint8_t>(b[16])) << 16 |
                              static_cast<uint32_t>(static_cast<uint8_t>(b[17])) << 24;
        for (uint32_t size : {12u, 40u, 52u, 56u, 64u, 108u, 124u})
            if (info == size) return "image/bmp";
    }
    return "";
}

// The image in the file at path; nullptr when there is none, it cannot be
// read whole, it is too large or it is not an image.
std::shared_ptr<const TImageData> LoadImage(const std::string& path) {
    if (!platform::FileExists(path)) return nullptr;
    platform::File f = platform::File::OpenRead(path);
    const long long size = f.IsOpen() ? f.Size() : -1;
    if (size <= 0 || size > TJwDocument::kMaxImageBytes) return nullptr;
    auto image = std::make_shared<TImageData>();
    image->bytes.resize(static_cast<size_t>(size));
    for (size_t got = 0; got < image->bytes.size();) {
        const long long n = f.Read(image->bytes.data() + got, image->bytes.size() - got);
        if (n <= 0) return nullptr;
        got += static_cast<size_t>(n);
    }
    image->mime = ImageMime(image->bytes);
    return image->mime.empty() ? nullptr : image;
}

// A stored name without its ".gz" (any case): the uncompressed file's name.
std::u16string PlainImageName(const std::u16string& name) {
    try {
        if (GetLowerExt(name) == u".gz") return name.substr(0, name.size() - 3);
    } catch (const std::invalid_argument&) {
    }
    return name;
}

// The images that image texts name, each looked up and read once.
class TImageFiles {
public:
    TImageFiles(const TJwDocument& doc, const std::string& drawingFolder) : doc_(doc), folder_(drawingFolder) {}

    // The image of a path as it stands in an image text; nullptr when none.
    std::shared_ptr<const TImageData> Find(const std::u16string& name) {
        auto [it, fresh] = found_.try_emplace(name);
        if (fresh) it->second = Look(name);
        return it->second;
    }

private:
    std::shared_ptr<const TImageData> Look(const std::u16string& name) const {
        static const std::u16string kBound = u"%temp%";
        if (name.compare(0, kBound.size(), kBound) == 0) return Bound(name.substr(kBound.size()));
        for (const std::string& path : OnDisk(name))
            if (auto image = LoadImage(path)) return image;
        // A drawing saved with its image paths cut to file names may still
        // carry the images.
        return Bound(ExtractFileNameSafe(name));
    }

    // A bound image by name: its file in the document's folder, else the
    // first image whose stored name begins with it, as the writer matches
    // them (a text names plan.jpg, the drawing stores plan.jpg.gz).
    std::shared_ptr<const TImageData> Bound(const std::u16string& name) const {
        if (doc_.BindImageFolder.empty() || !TJwDocument::IsSafeImageName(name)) return nullptr;
        if (auto image = LoadImage(doc_.ImagePath(name))) return image;
        const std::u16string upper = UpperStr(name);
        const size_t n = std::min(doc_.BindImage.size(), static_cast<size_t>(std::max(doc_.BindImageN, 0)));
        for (size_t i = 0; i < n; ++i) {
            if (UpperStr(doc_.BindImage[i].Fname).compare(0, upper.size(), upper) != 0) continue;
            const std::u16string plain = PlainImageName(doc_.BindImage[i].Fname);
            return TJwDocument::IsSafeImageName(plain) ? LoadImage(doc_.ImagePath(plain)) : nullptr;
        }
        return nullptr;
    }

    // Where a file named by a path may be, in order: the path itself when
    // absolute, else relative to the drawing's folder; its file name in the
    // drawing's folder. A network path (two separators first) is only
    // looked for by its file name: drawing a file from elsewhere must not
    // make the system connect to a server that file names.
    std::vector<std::string> OnDisk(const std::u16string& name) const {
        std::vector<std::string> paths;
        std::string path = Utf16ToUtf8(name);
        // Drawings come from Windows, where either slash separates folders.
        const char sep = platform::PathSeparator();
        for (char& c : path)
            if (c == '\\' || c == '/') c = sep;
        const bool drive = path.size() >= 2 && path[1] == ':';
        const bool network = path.size() >= 2 && path[0] == sep && path[1] == sep;
        if (!path.empty() && path[0] == sep) {
            if (!network) paths.push_back(path);
        } else if (drive) {
            if (sep == '\\' && path.size() >= 3 && path[2] == sep) paths.push_back(path);
        } else if (!path.empty() && !folder_.empty()) {
            paths.push_back(folder_ + path);
        }
        const std::u16string file = ExtractFileNameSafe(name);
        if (!file.empty() && !folder_.empty()) paths.push_back(folder_ + Utf16ToUtf8(file));
        return paths;
    }

    const TJwDocument& doc_;
    const std::string folder_;
    std::unordered_map<std::u16string, std::shared_ptr<const TImageData>> found_;
};

// ---- Primitives ------------------------------------------------------------

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
        double ux, uy, vx, vy;
        m.Apply(0, 0, ux, uy);
        const double rad = t.degKakudo * kPi / 180;
        m.Apply(math::Cos(rad), math::Sin(rad), vx, vy);
        p.degrees = math::Atan2(vy - uy, vx - ux) * 180 / kPi;
        // The run as the record measures it (a vertical text stacks its
        // characters, each as long as it is high), stretched as the block
        // stretches the run's direction.
        const double run = (t.att.sFlg & kVerticalText) != 0
                               ? TextWidthFull(t.str, std::fabs(t.dSizeY), t.dKankaku)
                               : TextWidth(t.str, std::fabs(t.dSizeX), t.dKankaku);
        p.length = run * std::hypot(vx - ux, vy - uy);
        return Add(std::move(p));
    }

    // An image text places the image its path names; nothing is drawn when
    // the image cannot be found or has no area.
    //
    //   P3 +-------------+ P2
    //      |    image    | h        P0: the text's start
    //   P0 +-------------+ P1       P0 -> P1: w long, turned by the sixth
    //            w                  number (degrees, counterclockwise)
    bool Image(const TEntJwwMoji& t, const TMatrix& m) {
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

    // One list being drawn: the top level (list 0, node -1) or the
    // definition of block-tree node `node` (list 1 + its index), placed by m;
    // next is the entry of its order list to draw next.
    struct TFrame {
        TEntityLists lists;
        int32_t n;
        int list;
        TMatrix m;
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
    static const TEntJwwAttr* AttrOf(const TEntityLists& L, const TEntJwwNo& e) {
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
        const TEntityLists& L = f.lists;
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
                TEntJwwBlockDef& def = const_cast<TEntJwwBlockDef&>(doc_.EntBlockDef[static_cast<size_t>(n.defno)]);
                stack.push_back(TFrame{ListsOf(def), def.N, 1 + n.defno, Placement(n), node});
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
    TEntityLists top = const_cast<TJwDocument&>(doc_).TopLists();
    stack.push_back(TFrame{top, static_cast<int32_t>(top.No.size()), 0, TMatrix{}, -1});
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

std::string Base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
        if (n > 1) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (n > 2) v |= static_cast<uint8_t>(bytes[i + 2]);
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += n > 1 ? kDigits[v >> 6 & 63] : '=';
        out += n > 2 ? kDigits[v & 63] : '=';
    }
    return out;
}

// An image on its corners. SVG draws an image upright in a rectangle, top
// left (x, y): the rectangle takes the image's width and height, and a
// transform about that corner turns it (rotate) or, when a block mirrors,
// shears or stretches it, maps it onto the parallelogram (matrix).
void ImageElement(std::string& s, const TPrimitive& p) {
    if (!p.image || p.xy.size() < 8) return;
    // Corners on the SVG's y-down axis.
    const double x0 = p.xy[0], y0 = -p.xy[1], x1 = p.xy[2], y1 = -p.xy[3], x3 = p.xy[6], y3 = -p.xy[7];
    const double w = std::hypot(x1 - x0, y1 - y0), h = std::hypot(x0 - x3, y0 - y3);
    if (!(w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h))) return;
    // Unit vectors along the image's top edge (a, b) and down its side (c, d).
    const double a = (x1 - x0) / w, b = (y1 - y0) / w, c = (x0 - x3) / h, d = (y0 - y3) / h;
    constexpr double kEps = 1e-9;
    s += "<image x=\"" + Num(x3) + "\" y=\"" + Num(y3) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
         "\" preserveAspectRatio=\"none\"";
    const bool turnOnly = std::fabs(a - d) < kEps && std::fabs(b + c) < kEps;
    if (turnOnly && (std::fabs(b) >= kEps || a < 0)) {
        double degrees = math::Atan2(b, a) * 180 / kPi;
        if (degrees <= -180 + kEps) degrees += 360;  // half a turn either way: 180
        s += " transform=\"rotate(" + Num(degrees) + " " + Num(x3) + " " + Num(y3) + ")\"";
    } else if (!turnOnly) {
        const double e = x3 - (a * x3 + c * y3), f = y3 - (b * x3 + d * y3);
        s += " transform=\"matrix(" + Num(a) + " " + Num(b) + " " + Num(c) + " " + Num(d) + " " + Num(e) + " " +
             Num(f) + ")\"";
    }
    s += " xlink:href=\"data:" + p.image->mime + ";base64," + Base64(p.image->bytes) + "\"/>\n";
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
    // "x,y x,y ...", y down as SVG has it.
    auto points = [](const std::vector<double>& xy) {
        std::string list;
        for (size_t i = 0; i + 1 < xy.size(); i += 2) {
            if (i) list += ' ';
            list += Num(xy[i]) + "," + Num(-xy[i + 1]);
        }
        return list;
    };
    switch (p.kind) {
        case TPrimitive::kLine:
            s += "<line x1=\"" + Num(p.xy[0]) + "\" y1=\"" + Num(-p.xy[1]) + "\" x2=\"" + Num(p.xy[2]) + "\" y2=\"" +
                 Num(-p.xy[3]) + "\"";
            Stroke(s, p, unit);
            s += "/>\n";
            break;
        case TPrimitive::kCurve:
            s += "<polyline points=\"" + points(p.xy) + "\"";
            Stroke(s, p, unit);
            s += "/>\n";
            break;
        case TPrimitive::kPoint:
            s += "<circle cx=\"" + Num(p.xy[0]) + "\" cy=\"" + Num(-p.xy[1]) + "\" r=\"" + Num(unit * 2) +
                 "\" fill=\"" + Colour(p.added ? kAddedColour : p.temporary ? 0xA0A0A0 : p.rgb) + "\"/>\n";
            break;
        case TPrimitive::kSolid:
            s += "<polygon points=\"" + points(p.xy) + "\" fill=\"" + Colour(p.added ? kAddedColour : p.rgb) + "\"/>\n";
            break;
        case TPrimitive::kText: {
            if (p.text.empty() || p.height <= 0) break;
            const double length = p.length;
            s += "<text x=\"" + Num(p.xy[0]) + "\" y=\"" + Num(-p.xy[1]) + "\" font-size=\"" + Num(p.height) + "\"";
            s += " font-family=\"" + Escaped(p.font) + ", IPAGothic, sans-serif\"";
            if (p.degrees != 0)
                s += " transform=\"rotate(" + Num(-p.degrees) + " " + Num(p.xy[0]) + " " + Num(-p.xy[1]) + ")\"";
            if (length > 0 && std::isfinite(length))
                s += " textLength=\"" + Num(length) + "\" lengthAdjust=\"spacingAndGlyphs\"";
            s += " fill=\"" + Colour(p.added ? kAddedColour : p.rgb) + "\">" + Escaped(p.text) + "</text>\n";
            break;
        }
        case TPrimitive::kImage: ImageElement(s, p); break;
    }
}

}  // namespace

std::string SvgOf(const std::vector<TPicture>& pictures) {
    // One view for all: every sheet united with every primitive; without a
    // sheet, the primitives with a margin.
    TBox box;
    bool sheet = false;
    for (const TPicture& pic : pictures) {
        if (!(pic.paperWidth > 0 && pic.paperHeight > 0)) continue;
        box.Add(-pic.paperWidth / 2, -pic.paperHeight / 2);
        box.Add(pic.paperWidth / 2, pic.paperHeight / 2);
        sheet = true;
    }
    for (const TPicture& pic : pictures)
        for (const TPrimitive& p : pic.primitives) {
            for (size_t i = 0; i + 1 < p.xy.size(); i += 2) box.Add(p.xy[i], p.xy[i + 1]);
            // A text reaches its height above its run.
            if (p.kind == TPrimitive::kText && p.xy.size() >= 4 && p.height > 0 && std::isfinite(p.height)) {
                const double turn = p.degrees * kPi / 180;
                const double ux = -std::sin(turn) * p.height, uy = std::cos(turn) * p.height;
                for (size_t i = 0; i < 4; i += 2) box.Add(p.xy[i] + ux, p.xy[i + 1] + uy);
            }
        }
    if (box.Empty()) box.Add(0, 0);
    double w = box.x1 - box.x0, h = box.y1 - box.y0;
    if (!sheet) {
        // Nothing drawn, or a single point: 10 mm around it, as its extents
        // would be.
        const double margin = std::max(w, h) > 0 ? std::max(w, h) * 0.04 : 10;
        box.x0 -= margin, box.y0 -= margin, box.x1 += margin, box.y1 += margin;
        w = box.x1 - box.x0, h = box.y1 - box.y0;
    }
    const bool captions =
        std::any_of(pictures.begin(), pictures.end(), [](const TPicture& p) { return !p.caption.empty(); });
    const double caption = captions ? std::max(w, h) * 0.05 : 0;
    const double gap = w * 0.05;
    const size_t n = std::max<size_t>(pictures.size(), 1);
    const double totalW = w * static_cast<double>(n) + gap * static_cast<double>(n - 1);
    const double totalH = h + caption;
    // Thin lines: about one pixel of a picture 1600 pixels wide.
    const double unit = std::max(totalW, totalH) / 1600;
    // The size on paper: the view's own, unless it is too long.
    const double shrink = std::min(1.0, kMaxSvgMillimetres / std::max(totalW, totalH));
    // The view's upper left corner on SVG's y-down axis; the first picture
    // stands there, the others to its right.
    const double left = box.x0, top = -box.y1 - caption;

    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
         Num(totalW * shrink) + "mm\" height=\"" + Num(totalH * shrink) + "mm\" viewBox=\"" + Num(left) + " " +
         Num(top) + " " + Num(totalW) + " " + Num(totalH) + "\">\n";
    s += "<rect x=\"" + Num(left) + "\" y=\"" + Num(top) + "\" width=\"" + Num(totalW) + "\" height=\"" +
         Num(totalH) + "\" fill=\"#d8d8d8\"/>\n";
    for (size_t k = 0; k < pictures.size(); ++k) {
        const TPicture& pic = pictures[k];
        const double shift = static_cast<double>(k) * (w + gap);
        s += k == 0 ? std::string("<g>\n") : "<g transform=\"translate(" + Num(shift) + " 0)\">\n";
        s += "<rect x=\"" + Num(box.x0) + "\" y=\"" + Num(-box.y1) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
             "\" fill=\"#ffffff\"/>\n";
        if (pic.paperWidth > 0 && pic.paperHeight > 0)
            s += "<rect x=\"" + Num(-pic.paperWidth / 2) + "\" y=\"" + Num(-pic.paperHeight / 2) + "\" width=\"" +
                 Num(pic.paperWidth) + "\" height=\"" + Num(pic.paperHeight) + "\" fill=\"none\" stroke=\"#9aa4b0\"" +
                 " stroke-width=\"" + Num(unit) + "\"/>\n";
        for (const TPrimitive& p : pic.primitives) Primitive(s, p, unit);
        if (!pic.caption.empty())
            s += "<text x=\"" + Num(box.x0 + w / 2) + "\" y=\"" + Num(top + caption * 0.75) + "\" font-size=\"" +
                 Num(caption * 0.6) + "\" text-anchor=\"middle\" font-family=\"IPAGothic, sans-serif\">" +
                 Escaped(pic.caption) + "</text>\n";
        s += "</g>\n";
    }
    s += "</svg>\n";
    return s;
}

// ---- Files -------------------------------------------------------------------

namespace {

constexpr char kImageFolderPrefix[] = "render-";

std::string WithoutSeparator(std::string folder) {
    while (!folder.empty() && platform::IsPathSeparator(static_cast<unsigned char>(folder.back()))) folder.pop_back();
    return folder;
}

// Removes the files in folder, then the folder; true when it is gone.
bool RemoveFolderAndFiles(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (platform::ListDir(folder, entries))
        for (const platform::DirEntry& e : entries)
            if (!e.isDir) platform::RemoveFile(AddPathDelim(folder) + e.name);
    return platform::RemoveDir(WithoutSeparator(folder));
}

// The folders "render-<pid>-<n>" in base of processes that no longer run
// (ended while drawing), with their files.
void RemoveStaleImageFolders(const std::string& base) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDir(base, entries)) return;
    const std::string prefix = kImageFolderPrefix;
    for (const platform::DirEntry& e : entries) {
        if (!e.isDir || e.isLink || e.name.compare(0, prefix.size(), prefix) != 0) continue;
        long long pid = 0;
        size_t i = prefix.size();
        for (; i < e.name.size() && e.name[i] >= '0' && e.name[i] <= '9' && pid < (1LL << 40); ++i)
            pid = pid * 10 + (e.name[i] - '0');
        if (i == prefix.size() || i >= e.name.size() || e.name[i] != '-') continue;
        if (pid <= 0 || pid == platform::ProcessId() || platform::ProcessRunning(pid)) continue;
        RemoveFolderAndFiles(base + e.name);
    }
}

// A folder for the bound images of one drawing while it is drawn, removed
// with its files afterwards: "render-<pid>-<n>" in this user's runtime
// folder. Not the process's work folder (MakeWorkFolder): the window draws
// while its own, of that same name, is in use, and removing it when empty
// would take it from the window.
class TImageFolder {
public:
    TImageFolder() {
        static std::atomic<unsigned> serial{0};
        base_ = platform::UserRuntimeDir("talvine");
        if (base_.empty() || !platform::ForceDirectories(base_)) return;
        RemoveStaleImageFolders(base_);
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string folder = base_ + kImageFolderPrefix + std::to_string(platform::ProcessId()) + "-" +
                                       std::to_string(serial++);
            if (platform::DirExists(folder)) continue;
            if (!platform::ForceDirectories(folder)) return;
            path_ = AddPathDelim(folder);
        }
    }
    ~TImageFolder() {
        if (path_.empty()) return;
        RemoveFolderAndFiles(path_);
        platform::RemoveDir(WithoutSeparator(base_));  // when nothing else is in it
    }
    TImageFolder(const TImageFolder&) = delete;
    TImageFolder& operator=(const TImageFolder&) = delete;
    const std::string& path() const { return path_; }  // "" when none could be made

private:
    std::string base_, path_;
};

template <class Doc>
bool PicturesOf(Doc& doc, platform::File& file, const std::string& src, bool compare, const TRenderOptions& given,
                std::vector<TPicture>& pictures, std::string& error) {
    TRenderOptions options = given;
    if (options.drawingFolder.empty()) {
        size_t n = src.size();
        while (n > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(src[n - 1]))) --n;
        options.drawingFolder = n > 0 ? src.substr(0, n) : std::string(".") + platform::PathSeparator();
    }
    // A drawing's bound images are drawn from files (a figure has none).
    std::optional<TImageFolder> images;
    if constexpr (std::is_same_v<Doc, TJwwData>) images.emplace();
    doc.BindImageFolder = images ? images->path() : std::string();
    doc.BindImageExp = doc.BindImageExr = !doc.BindImageFolder.empty();
    if (!doc.FileIn(file, src)) {
        error = "cannot read " + src + (doc.LastError.empty() ? "" : ": " + doc.LastError);
        return false;
    }
    if (doc.BindImageExp) doc.BindImageExplode();
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
    if (!IsJwName(src)) {
        error = src + " is not a .jww or .jws file";
        return false;
    }
    TSource source = OpenSource(src, true);
    if (source.failure != TFileFailure::kNone) {
        error = "cannot read " + src + ": " + FailureTextEnglish(source.failure, source.detail);
        return false;
    }
    bool ok;
    if (source.kind == TJwKind::kFigure) {
        TJwsData doc;
        ok = PicturesOf(doc, source.file, src, compare, options, pictures, error);
    } else {
        TJwwData doc;
        ok = PicturesOf(doc, source.file, src, compare, options, pictures, error);
    }
    if (ok) svg = SvgOf(pictures);
    return ok;
}

bool PublishSvg(std::string& path, const std::string& svg, bool branch, std::string& error) {
    error.clear();
    auto taken = [](const std::string& p) { return platform::FileExists(p) || platform::DirExists(p); };
    if (taken(path)) {
        if (!branch) {
            error = path + " exists, not replaced";
            return false;
        }
        const std::string free = GetBranchFileName(path);
        if (free.empty()) {
            error = "every branch name of " + path + " is taken";
            return false;
        }
        path = free;
    }
    size_t n = path.size();
    while (n > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(path[n - 1]))) --n;
    const std::string folder = path.substr(0, n);
    platform::File file;
    const std::string tmp = ReserveTempFile(folder, path.substr(n), file);
    bool written = !tmp.empty() && file.Write(svg.data(), svg.size());
    written = file.Close() && written;
    bool published = false;
    while (written && !published) {
        published = platform::RenameNoReplace(tmp, path);
        if (published || !taken(path)) break;
        // Taken meanwhile.
        const std::string free = branch ? GetBranchFileName(path) : std::string();
        if (free.empty()) {
            error = branch ? "every branch name of " + path + " is taken" : path + " exists, not replaced";
            break;
        }
        path = free;
    }
    if (!tmp.empty()) {
        if (!published) platform::RemoveFile(tmp);
        platform::UnregisterTempPath(tmp);
    }
    if (!published && error.empty()) error = "cannot write " + path;
    return published;
}

bool WriteSvgFile(const std::string& path, const std::string& svg) {
    std::string target = path, error;
    return PublishSvg(target, svg, false, error);
}

}  // namespace talvine
