#include "app/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "util/Func_2.h"
#include "util/Maths.h"
#include "util/NumberText.h"

namespace talvine {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Num(double v) {
    if (!std::isfinite(v)) v = 0;
    std::string s = FixedText(v, 4);
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

}  // namespace talvine
