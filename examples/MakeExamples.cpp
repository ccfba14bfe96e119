// Makes the example drawing and figure of examples/: a small floor plan
// with plain and SXF dimensions, dimensions inside block definitions,
// Japanese texts and a dimension without text. Both are built with the
// documents' entity builder on the settings of a new drawing or figure.
//
// They are what Jw_cad itself stores: coordinates, text heights and pen
// widths are millimetres on paper. The drawing lies on an A4 sheet (297 x
// 210, named in its header) centred on the origin; the figure, which names no
// paper, fits on one too. The real length of a line is its length times the
// scale of its layer group (1/50 here: the 3.6 m room is 72 units wide), and
// each dimension's text reads its measured length times that scale.
//
//   talvine-examples DIR          write plan.jww and door.jws into DIR
//   talvine-examples --show FILE  read a drawing or figure and list its content
#include <cstdio>
#include <string>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"

using namespace talvine;

namespace {

const std::u16string kFont = u"ＭＳ ゴシック";

// The scale of layer group 0, the only one in use: 1/50.
constexpr double kScale = 50;

// Layers of the examples (group 0).
constexpr int kWallLayer = 0;
constexpr int kTextLayer = 1;
constexpr int kDimensionLayer = 2;
constexpr int kFrameLayer = 15;

// Pen widths, in 1/100 mm.
constexpr int kFrameWidth = 70;
constexpr int kWallWidth = 50;
constexpr int kFittingWidth = 25;
constexpr int kDimensionWidth = 13;

// A dimension's text: its format bits (stored as the text's pen width); 0
// writes the value as it is, 8 in full-width digits.
constexpr int kPlainDigits = 0;
constexpr int kFullWidthDigits = 8;

// Extension lines of SXF dimensions start this far from the measured point
// and end this far beyond the dimension line; texts stand this far above
// their dimension line (paper mm).
constexpr double kExtensionGap = 1;
constexpr double kExtensionOvershoot = 1;
constexpr double kTextLift = 0.5;

// Adds to the top level of a document (bdn -1) or to its definition bdn.
class Builder {
public:
    Builder(TJwDocument& d, int bdn) : d_(d), bdn_(bdn) {}

    bool Line(int layer, int width, double x1, double y1, double x2, double y2) {
        return bdn_ < 0 ? d_.AddEntLine(0, 0, layer, 2, 1, width, 0, x1, y1, x2, y2)
                        : d_.AddBlkLine(bdn_, 0, 0, layer, 2, 1, width, 0, x1, y1, x2, y2);
    }

    // A rectangle of four lines.
    bool Rectangle(int layer, int width, double x1, double y1, double x2, double y2) {
        return Line(layer, width, x1, y1, x2, y1) && Line(layer, width, x2, y1, x2, y2) &&
               Line(layer, width, x2, y2, x1, y2) && Line(layer, width, x1, y2, x1, y1);
    }

    // A quarter circle of radius r about (x, y), dashed.
    bool Swing(double x, double y, double r) {
        return bdn_ < 0 ? d_.AddEntArc(0, 0, kWallLayer, 2, 2, kFittingWidth, 0, x, y, r, 1, 0, 90, 0)
                        : d_.AddBlkArc(bdn_, 0, 0, kWallLayer, 2, 2, kFittingWidth, 0, x, y, r, 1, 0, 90, 0);
    }

    // A text of the given height (mm) with its lower left corner at (x, y).
    bool Text(double x, double y, const std::u16string& s, double size) {
        return bdn_ < 0 ? d_.AddEntMoji(0, 0, kTextLayer, 1, 1, 0, 0, 0, x, y, size, size, 0.5, 0, kFont, s)
                        : d_.AddBlkMoji(bdn_, 0, 0, kTextLayer, 1, 1, 0, 0, 0, x, y, size, size, 0.5, 0, kFont, s);
    }

    // A horizontal dimension from x1 to x2 at height y, its text (text type
    // 2, 2.5 mm) centred above the line.
    bool Dimension(double x1, double x2, double y, const std::u16string& s, int format = kPlainDigits) {
        const double tx = (x1 + x2) / 2, ty = y + kTextLift;
        return bdn_ < 0 ? d_.AddEntSunpo(0, 0, kDimensionLayer, 3, 1, kDimensionWidth, 0, x1, y, x2, y, 3, 2, format,
                                         0, 2, tx, ty, 0, 0, 0, 0, kFont, s)
                        : d_.AddBlkSunpo(bdn_, 0, 0, kDimensionLayer, 3, 1, kDimensionWidth, 0, x1, y, x2, y, 3, 2,
                                         format, 0, 2, tx, ty, 0, 0, 0, 0, kFont, s);
    }

    // The same as an SXF dimension of points measured at height y0, with
    // extension lines between them and the dimension line; end points and
    // reference points plain.
    bool SxfDimension(double x1, double x2, double y, double y0, const std::u16string& s) {
        const double tx = (x1 + x2) / 2, ty = y + kTextLift;
        constexpr int w = kDimensionWidth;
        return bdn_ < 0 ? d_.AddEntSunpo(0, 0, kDimensionLayer, 3, 1, w, 0, x1, y, x2, y, 3, 2, kPlainDigits, 0, 2, tx,
                                         ty, 0, 0, 0, 0, kFont, s, kExtensionGap, kExtensionOvershoot,
                                         1, 3, 1, w, 0, 1, 3, 1, w, 0,
                                         1, 3, 0, 0, 0, 1, 1, 3, 0, 0, 0, 1,
                                         1, 3, 0, 0, 0, x1, y0, 1, 1, 3, 0, 0, 0, x2, y0, 1)
                        : d_.AddBlkSunpo(bdn_, 0, 0, kDimensionLayer, 3, 1, w, 0, x1, y, x2, y, 3, 2, kPlainDigits,
                                         0, 2, tx, ty, 0, 0, 0, 0, kFont, s, kExtensionGap, kExtensionOvershoot,
                                         1, 3, 1, w, 0, 1, 3, 1, w, 0,
                                         1, 3, 0, 0, 0, 1, 1, 3, 0, 0, 0, 1,
                                         1, 3, 0, 0, 0, x1, y0, 1, 1, 3, 0, 0, 0, x2, y0, 1);
    }

private:
    TJwDocument& d_;
    int bdn_;
};

// The door of 800 mm (16 units at 1/50), hinged at the origin and opening
// upwards: the open leaf, its swing, its name and its width measured 4 mm
// below the wall.
constexpr double kDoor = 800 / kScale;

bool FillDoor(Builder b, bool sxf) {
    return b.Line(kWallLayer, kFittingWidth, 0, 0, 0, kDoor) && b.Swing(0, 0, kDoor) &&
           b.Text(2, 2, u"片開き戸", 2.5) &&
           (sxf ? b.SxfDimension(0, kDoor, -4, 0, u"800") : b.Dimension(0, kDoor, -4, u"800"));
}

// The door definition, shared by the drawing and the figure; its index.
int AddDoorDefinition(TJwDocument& d, bool sxf) {
    if (!d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"扉")) return -1;
    const int bdn = d.EntBlockDefN - 1;
    if (!FillDoor(Builder(d, bdn), sxf)) return -1;
    d.AddBlkDefPost(bdn);
    return bdn;
}

bool WriteDrawing(const std::string& path) {
    TJwwData d;
    d.DataDefaultSet();
    d.Enthd.jwVer = 700;
    d.Enthd.strMemo = u"Talvine の見本図面";
    d.Enthd.nZumen = 4;  // A4, 297 x 210 mm
    d.EntLgrp[0].adScale = kScale;
    d.EntLgrp[0].aStrGLayName = u"平面図";
    d.EntLay[kWallLayer].aStrLayName = u"壁";
    d.EntLay[kTextLayer].aStrLayName = u"文字";
    d.EntLay[kDimensionLayer].aStrLayName = u"寸法";
    d.EntLay[kFrameLayer].aStrLayName = u"図枠";
    if (!d.AddEntPre()) return false;

    // A room of 3 600 x 2 700 mm (72 x 54 units) with its dimensions below
    // it and the door 600 mm from its left corner; a frame 10 mm inside the
    // sheet with the title in its lower right corner.
    constexpr double x0 = -36, y0 = -20, x1 = x0 + 3600 / kScale, y1 = y0 + 2700 / kScale;
    constexpr double xm = (x0 + x1) / 2;
    Builder top(d, -1);
    const int door = AddDoorDefinition(d, true);
    const bool ok = door >= 0 && top.Rectangle(kFrameLayer, kFrameWidth, -138.5, -95, 138.5, 95) &&
                    top.Text(85, -90, u"会議室 平面図 S=1/50", 3.5) &&
                    top.Rectangle(kWallLayer, kWallWidth, x0, y0, x1, y1) &&
                    d.AddEntBlock(0, 0, kWallLayer, 1, 1, 0, 0, d.GetBlkNumber(door), x0 + 600 / kScale, y0, 1, 1, 0) &&
                    top.Text(xm - 10, y0 + 25, u"会議室 ①", 5) &&
                    top.Dimension(x0, x1, y0 - 16, u"3600") &&               // plain dimension
                    top.SxfDimension(x0, xm, y0 - 10, y0, u"1800") &&         // SXF dimension
                    top.SxfDimension(xm, x1, y0 - 10, y0, u"");               // SXF dimension without text
    return d.AddEntPost() && ok && d.FileOut(path, 700);
}

bool WriteFigure(const std::string& path) {
    TJwsData f;
    f.DataDefaultSet();
    f.EntLgrp[0].adScale = kScale;
    if (!f.AddEntPre()) return false;
    // The door with its SXF dimension, the half width above it in full-width
    // digits, and beside it the door definition placed once more.
    Builder top(f, -1);
    const int door = AddDoorDefinition(f, false);
    const bool ok = door >= 0 && FillDoor(top, true) &&
                    top.Dimension(0, 400 / kScale, kDoor + 3, u"４００", kFullWidthDigits) &&
                    f.AddEntBlock(0, 0, kWallLayer, 1, 1, 0, 0, f.GetBlkNumber(door), 1200 / kScale, 0, 1, 1, 0);
    // A figure cut from a drawing keeps the definitions of that drawing
    // that nothing in the figure places, as Jw_cad stores them: here the
    // drawing's sheet frame. (This program's writer stores only the
    // definitions in use, so the figure marks every one as such.)
    const bool sheet = f.AddBlkDef(0, 0, kFrameLayer, 1, 1, 0, 0, 4, u"SHEET") &&
                       Builder(f, f.EntBlockDefN - 1).Rectangle(kFrameLayer, kFrameWidth, -138.5, -95, 138.5, 95);
    if (sheet) f.AddBlkDefPost(f.EntBlockDefN - 1);
    // The figure's extents are stored by AddEntPost.
    if (!f.AddEntPost() || !ok || !sheet) return false;
    int32_t next = 0;
    for (auto& def : f.EntBlockDef) {
        def.ref_flag = true;
        def.ref_no = next++;
    }
    return f.FileOut(path, 600);
}

void Show(const TJwDocument& d, const char* format, int version) {
    std::printf("  %s version %d: %d lines, %d arcs, %d points, %d texts, %d dimensions, %d solids, "
                "%d block inserts, %d block definitions\n",
                format, version, d.EntLineN, d.EntEnkoN, d.EntTenN, d.EntMojiN, d.EntSunpoN, d.EntSolidN,
                d.EntBlockN, d.EntBlockDefN);
    for (const auto& def : d.EntBlockDef) {
        std::printf("    definition \"%s\": %d entries, %d dimensions\n", Utf16ToUtf8(def.strName).c_str(), def.N,
                    def.mSunpoN);
    }
}

int ShowFile(const std::string& path) {
    std::printf("%s\n", path.c_str());
    if (TJwwData::FileCheck(path)) {
        TJwwData d;
        if (!d.FileIn(path)) return std::printf("  cannot be read (%s)\n", d.LastError.c_str()), 1;
        Show(d, "drawing", d.Enthd.jwVer);
    } else if (TJwsData::FileCheck(path)) {
        TJwsData f;
        if (!f.FileIn(path)) return std::printf("  cannot be read (%s)\n", f.LastError.c_str()), 1;
        Show(f, "figure", f.Enthd.jwVer);
    } else {
        std::printf("  not a drawing or a figure\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--show") {
        int rc = 0;
        for (int i = 2; i < argc; ++i) rc |= ShowFile(argv[i]);
        return rc;
    }
    const std::string usage = "usage: talvine-examples DIR | --show FILE...\n";
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(usage.c_str(), stdout);
        return 0;
    }
    // An option it does not know is no folder to write into.
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(usage.c_str(), stderr);
        return 2;
    }
    const std::string dir = AddPathDelim(argv[1]);
    if (!ForceDirSafe(dir) || !WriteDrawing(dir + "plan.jww") || !WriteFigure(dir + "door.jws")) {
        std::fprintf(stderr, "talvine-examples: cannot write the examples into %s\n", dir.c_str());
        return 1;
    }
    std::printf("wrote %splan.jww and %sdoor.jws\n", dir.c_str(), dir.c_str());
    return 0;
}
