// Makes the example drawing and figure of examples/: a small floor plan
// with plain and SXF dimensions, dimensions inside block definitions,
// Japanese texts and a dimension without text. Both are built with the
// documents' entity builder on the settings of a new drawing or figure.
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

// Layers of the examples (group 0).
constexpr int kWallLayer = 0;
constexpr int kTextLayer = 1;
constexpr int kDimensionLayer = 2;

// Adds to the top level of a document (bdn -1) or to its definition bdn.
class Builder {
public:
    Builder(TJwDocument& d, int bdn) : d_(d), bdn_(bdn) {}

    bool Line(double x1, double y1, double x2, double y2) {
        return bdn_ < 0 ? d_.AddEntLine(0, 0, kWallLayer, 2, 1, 0, 0, x1, y1, x2, y2)
                        : d_.AddBlkLine(bdn_, 0, 0, kWallLayer, 2, 1, 0, 0, x1, y1, x2, y2);
    }

    // A quarter circle of radius r about (x, y), dashed.
    bool Swing(double x, double y, double r) {
        return bdn_ < 0 ? d_.AddEntArc(0, 0, kWallLayer, 2, 2, 0, 0, x, y, r, 1, 0, 90, 0)
                        : d_.AddBlkArc(bdn_, 0, 0, kWallLayer, 2, 2, 0, 0, x, y, r, 1, 0, 90, 0);
    }

    // A text of the given size with its lower left corner at (x, y).
    bool Text(double x, double y, const std::u16string& s, double size) {
        return bdn_ < 0 ? d_.AddEntMoji(0, 0, kTextLayer, 1, 1, 0, 0, 0, x, y, size, size, 0.5, 0, kFont, s)
                        : d_.AddBlkMoji(bdn_, 0, 0, kTextLayer, 1, 1, 0, 0, 0, x, y, size, size, 0.5, 0, kFont, s);
    }

    // A horizontal dimension from x1 to x2 at height y, its text (text type
    // 2) centred above the line.
    bool Dimension(double x1, double x2, double y, const std::u16string& s) {
        const double tx = (x1 + x2) / 2, ty = y + 1;
        return bdn_ < 0 ? d_.AddEntSunpo(0, 0, kDimensionLayer, 3, 1, 0, 0, x1, y, x2, y, 3, 2, 0, 0, 2, tx, ty, 0,
                                         0, 0, 0, kFont, s)
                        : d_.AddBlkSunpo(bdn_, 0, 0, kDimensionLayer, 3, 1, 0, 0, x1, y, x2, y, 3, 2, 0, 0, 2, tx, ty,
                                         0, 0, 0, 0, kFont, s);
    }

    // The same as an SXF dimension of points measured at height y0: the
    // extension lines start 50 from those points and end 50 beyond the
    // dimension line; end points and reference points plain.
    bool SxfDimension(double x1, double x2, double y, double y0, const std::u16string& s) {
        const double tx = (x1 + x2) / 2, ty = y + 1;
        return bdn_ < 0 ? d_.AddEntSunpo(0, 0, kDimensionLayer, 3, 1, 0, 0, x1, y, x2, y, 3, 2, 0, 0, 2, tx, ty, 0,
                                         0, 0, 0, kFont, s, 50, 50,
                                         1, 3, 1, 0, 0, 1, 3, 1, 0, 0,
                                         1, 3, 0, 0, 0, 1, 1, 3, 0, 0, 0, 1,
                                         1, 3, 0, 0, 0, x1, y0, 1, 1, 3, 0, 0, 0, x2, y0, 1)
                        : d_.AddBlkSunpo(bdn_, 0, 0, kDimensionLayer, 3, 1, 0, 0, x1, y, x2, y, 3, 2, 0, 0, 2, tx, ty,
                                         0, 0, 0, 0, kFont, s, 50, 50,
                                         1, 3, 1, 0, 0, 1, 3, 1, 0, 0,
                                         1, 3, 0, 0, 0, 1, 1, 3, 0, 0, 0, 1,
                                         1, 3, 0, 0, 0, x1, y0, 1, 1, 3, 0, 0, 0, x2, y0, 1);
    }

private:
    TJwDocument& d_;
    int bdn_;
};

// The door: leaf, swing, name and its width.
bool FillDoor(Builder b, bool sxf) {
    return b.Line(0, 0, 800, 0) && b.Swing(0, 0, 800) && b.Text(100, 100, u"片開き戸", 3) &&
           (sxf ? b.SxfDimension(0, 800, -150, 0, u"800") : b.Dimension(0, 800, -150, u"800"));
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
    d.EntLgrp[0].adScale = 50;
    d.EntLgrp[0].aStrGLayName = u"平面図";
    d.EntLay[kWallLayer].aStrLayName = u"壁";
    d.EntLay[kTextLayer].aStrLayName = u"文字";
    d.EntLay[kDimensionLayer].aStrLayName = u"寸法";
    if (!d.AddEntPre()) return false;

    // A room of 3 600 x 2 700 with its dimensions and the door.
    Builder top(d, -1);
    const int door = AddDoorDefinition(d, true);
    const bool ok = door >= 0 && top.Line(0, 0, 3600, 0) && top.Line(3600, 0, 3600, 2700) &&
                    top.Line(3600, 2700, 0, 2700) && top.Line(0, 2700, 0, 0) &&
                    top.Text(1500, 1300, u"会議室 ①", 5) &&
                    top.Dimension(0, 3600, -600, u"3600") &&                // plain dimension
                    top.SxfDimension(0, 1800, -300, 0, u"1800") &&          // SXF dimension
                    top.SxfDimension(1800, 3600, -300, 0, u"") &&           // SXF dimension without text
                    d.AddEntBlock(0, 0, kWallLayer, 1, 1, 0, 0, d.GetBlkNumber(door), 600, 0, 1, 1, 0);
    return d.AddEntPost() && ok && d.FileOut(path, 700);
}

bool WriteFigure(const std::string& path) {
    TJwsData f;
    f.DataDefaultSet();
    if (!f.AddEntPre()) return false;
    Builder top(f, -1);
    const int door = AddDoorDefinition(f, false);
    const bool ok = door >= 0 && FillDoor(top, true) && top.Dimension(0, 400, 950, u"４００") &&
                    f.AddEntBlock(0, 0, kWallLayer, 1, 1, 0, 0, f.GetBlkNumber(door), 1000, 0, 0.5, 0.5, 0);
    // The figure's extents are stored by AddEntPost.
    return f.AddEntPost() && ok && f.FileOut(path, 600);
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvine-examples DIR | --show FILE...\n");
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
