// Makes the example drawing and figure of examples/: a small floor plan
// with plain and SXF dimensions, dimensions inside block definitions,
// Japanese texts and a dimension without text.
//
//   talvine-examples DIR          write plan.jww and door.jws into DIR
//   talvine-examples --show FILE  read a drawing or figure and list its content
#include <cmath>
#include <cstdio>
#include <string>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"

using namespace talvine;

namespace {

TEntJwwAttr Attr(uint8_t style, uint16_t color, uint16_t layer = 0) {
    TEntJwwAttr a;
    a.nPenStyle = style;
    a.nPenColor = color;
    a.nLayer = layer;
    return a;
}

template <class T>
void Push(std::vector<T>& arr, int32_t& n, std::vector<TEntJwwNo>& no, int kind, const T& e) {
    arr.push_back(e);
    no.push_back(TEntJwwNo{kind, n++});
}

void AddLine(TEntityLists L, double x1, double y1, double x2, double y2, uint16_t color = 2) {
    Push(L.Line, L.LineN, L.No, kEntLine, TEntJwwLine{Attr(1, color), x1, y1, x2, y2});
}

void AddText(TEntityLists L, double x, double y, const std::u16string& s, double size = 3.0) {
    TEntJwwMoji t;
    t.att = Attr(1, 1, 1);
    t.start_x = x;
    t.start_y = y;
    t.dSizeX = t.dSizeY = size;
    t.dKankaku = 0.5;
    t.end_x = x + TextWidth(s, size, 0.5);
    t.end_y = y;
    t.nMojiShu = 3;
    t.strFontName = u"ＭＳ ゴシック";
    t.str = s;
    Push(L.Moji, L.MojiN, L.No, kEntMoji, t);
}

// A horizontal dimension from x1 to x2 at height y, measured from points at
// height y0; SXF dimensions carry their extension lines and points.
void AddDimension(TEntityLists L, double x1, double x2, double y, double y0, const std::u16string& text, bool sxf) {
    TEntJwwSunpo d;
    d.att = Attr(1, 3, 2);
    d.Sen = TEntJwwLine{d.att, x1, y, x2, y};
    d.Moji.att = d.att;
    d.Moji.start_x = (x1 + x2) / 2 - 3;
    d.Moji.start_y = y + 1;
    d.Moji.end_x = d.Moji.start_x + 6;
    d.Moji.end_y = y + 1;
    d.Moji.dSizeX = d.Moji.dSizeY = 2.5;
    d.Moji.nMojiShu = 2;
    d.Moji.strFontName = u"ＭＳ ゴシック";
    d.Moji.str = text;
    d.Ho1 = TEntJwwLine{d.att};
    d.Ho2 = TEntJwwLine{d.att};
    TEntJwwTen p;
    p.att = d.att;
    p.att.nPenStyle = 0;
    d.Te1 = d.Te2 = d.Kt1 = d.Kt2 = p;
    if (sxf) {
        d.bSxfMode = 1;
        d.Ho1 = TEntJwwLine{d.att, x1, y0, x1, y};
        d.Ho2 = TEntJwwLine{d.att, x2, y0, x2, y};
        p.att.nPenStyle = 1;
        d.Te1 = d.Te2 = d.Kt1 = d.Kt2 = p;
        d.Te1.start_x = x1;
        d.Te1.start_y = y;
        d.Te2.start_x = x2;
        d.Te2.start_y = y;
        d.Kt1.start_x = x1;
        d.Kt1.start_y = y0;
        d.Kt2.start_x = x2;
        d.Kt2.start_y = y0;
    }
    Push(L.Sunpo, L.SunpoN, L.No, kEntSunpo, d);
}

// The door definition shared by the drawing and the figure.
void FillDoor(TEntityLists L, bool sxf) {
    AddLine(L, 0, 0, 800, 0);
    TEntJwwEnko swing;
    swing.att = Attr(2, 2);
    swing.dHankei = 800;
    swing.radEnkoKaku = M_PI / 2;
    swing.dHenpeiRitsu = 1;
    Push(L.Enko, L.EnkoN, L.No, kEntEnko, swing);
    AddText(L, 100, 100, u"片開き戸");
    AddDimension(L, 0, 800, -150, 0, u"800", sxf);
}

template <class Doc>
void AddDoorDefinition(Doc& d, bool sxf) {
    TEntJwwBlockDef def;
    def.att = Attr(1, 1);
    def.nNumber = 0;
    def.strName = u"扉";
    d.EntBlockDef.push_back(def);
    d.EntBlockDefN = 1;
    FillDoor(ListsOf(d.EntBlockDef[0]), sxf);
    d.EntBlockDef[0].N = static_cast<int32_t>(d.EntBlockDef[0].mNo.size());
}

template <class Doc>
void Finish(Doc& d) {
    d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
    d.Enthd.n2 = d.EntBlockDefN;
    d.MakeBlockTree();
}

bool WriteDrawing(const std::string& path) {
    TJwwData d;
    d.Enthd.jwVer = 700;
    d.Enthd.strMemo = u"Talvine の見本図面";
    d.EntLgrp.resize(16);
    for (auto& g : d.EntLgrp) g = TEntJwwLayerGroup{2, 0, 50, 0, u""};
    d.EntLgrp[0].aStrGLayName = u"平面図";
    d.EntLay.resize(256);
    for (auto& l : d.EntLay) l.aanLay = 2;
    d.EntLay[0].aStrLayName = u"壁";
    d.EntLay[1].aStrLayName = u"文字";
    d.EntLay[2].aStrLayName = u"寸法";
    d.EntCol.resize(10);
    for (int k = 0; k < 10; ++k) d.EntCol[static_cast<size_t>(k)] = {0, 1, k == 0 ? 0xFFFFFF : 0, 30, 0.5};
    d.EntMoj.resize(10);
    for (int k = 0; k < 10; ++k) d.EntMoj[static_cast<size_t>(k)] = {2.0 + k, 2.0 + k, 0.5, 1};
    d.Enthd.dMojiSizeX = d.Enthd.dMojiSizeY = 3;
    d.Enthd.nPrtDpi = 36;

    TEntityLists top = d.TopLists();
    // A room of 3 600 x 2 700 with its dimensions.
    AddLine(top, 0, 0, 3600, 0);
    AddLine(top, 3600, 0, 3600, 2700);
    AddLine(top, 3600, 2700, 0, 2700);
    AddLine(top, 0, 2700, 0, 0);
    AddText(top, 1500, 1300, u"会議室 ①", 5);
    AddDimension(top, 0, 3600, -600, 0, u"3600", false);       // plain dimension
    AddDimension(top, 0, 1800, -300, 0, u"1800", true);        // SXF dimension
    AddDimension(top, 1800, 3600, -300, 0, u"", true);         // SXF dimension without text
    AddDoorDefinition(d, true);
    TEntJwwBlock door;
    door.att = Attr(1, 1);
    door.DPKijunTen_x = 600;
    door.dBairitsuX = door.dBairitsuY = 1;
    Push(top.Block, top.BlockN, top.No, kEntBlock, door);
    Finish(d);
    return d.FileOut(path, 700);
}

bool WriteFigure(const std::string& path) {
    TJwsData f;
    f.Enthd.jwVer = 600;
    f.EntLgrp.resize(16);
    for (auto& g : f.EntLgrp) g.adScale = 1;
    TEntityLists top = f.TopLists();
    FillDoor(top, true);
    AddDimension(top, 0, 400, 950, 800, u"４００", false);
    AddDoorDefinition(f, false);
    TEntJwwBlock copy;
    copy.att = Attr(1, 1);
    copy.DPKijunTen_x = 1000;
    copy.dBairitsuX = copy.dBairitsuY = 0.5;
    Push(top.Block, top.BlockN, top.No, kEntBlock, copy);
    Finish(f);
    f.Enthd.Mx2 = 1400;
    f.Enthd.My2 = 1000;
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
