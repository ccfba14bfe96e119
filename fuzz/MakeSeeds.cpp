// talvine-fuzz-seeds DIR: writes the seed files of the fuzz targets into DIR,
// all made by this program's own writer: small versions of the benchmark's
// large drawing in several format versions, the same entities as a figure,
// and small nested block structures of both kinds. (The example drawing and
// figure come from talvine-examples.)
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "bench/HostileShapes.h"
#include "bench/LargeDrawing.h"
#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"

using namespace talvine;

namespace {

bool Written(bool ok, const std::string& path, const std::string& error) {
    if (!ok) std::fprintf(stderr, "talvine-fuzz-seeds: cannot write %s: %s\n", path.c_str(), error.c_str());
    return ok;
}

bool WriteDrawing(TJwwData& d, const std::string& path, int ver) {
    return Written(d.FileOut(path, ver), path, d.LastError);
}
bool WriteFigure(TJwsData& d, const std::string& path, int ver) {
    return Written(d.FileOut(path, ver), path, d.LastError);
}

// The drawing's entities and definitions as a figure, with the scales of
// its layer groups.
TJwsData AsFigure(const TJwwData& d) {
    TJwsData f;
    f.DataDefaultSet();
    static_cast<TJwDocument&>(f) = static_cast<const TJwDocument&>(d);
    for (size_t g = 0; g < f.EntLgrp.size() && g < d.EntLgrp.size(); ++g) f.EntLgrp[g].adScale = d.EntLgrp[g].adScale;
    f.Enthd.n1 = d.Enthd.n1;
    f.Enthd.n2 = d.Enthd.n2;
    f.MakeBlockTree();
    return f;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// A file Jw_cad could have written but this program's writer would not:
// names holding "^" sequences and control characters, which the writer
// cleans in one pass. Written with placeholders of the same length, which
// are then replaced in the file's bytes.
bool WriteWithRawNames(TJwDocument& d, const std::string& path, int ver) {
    const std::pair<std::string, std::string> names[] = {
        {"\x04QQQ1", std::string("\x04^^mm")},
        {"\x04QQQ2", std::string("\x04" "A^mB")},
        {"\x05QQQ3", std::string("\x05" "a\x07\x1f^m")},
        {"\x04QQQ4", std::string("\x04^\x01mm")},
    };
    if (auto* w = dynamic_cast<TJwwData*>(&d)) {
        w->EntLay[1].aStrLayName = u"QQQ1";
        w->EntLgrp[1].aStrGLayName = u"QQQ2";
    }
    d.AddEntPre();
    d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 3.5, 3.5, 0.5, 0, u"ＭＳ ゴシック", u"QQQ3");
    d.AddEntSunpo(0, 0, 0, 1, 1, 0, 0, -20, -10, 20, -10, 1, 1, 0, 0, 1, 0, -9, 3.5, 3.5, 0.5, 0, u"QQQ4",
                  u"4000");
    d.AddEntPost();
    if (!Written(d.FileOut(path, ver), path, d.LastError)) return false;
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return Written(false, path, "cannot read it back");
    for (const auto& [from, to] : names)
        if (const size_t at = bytes.find(from); at != std::string::npos) bytes.replace(at, from.size(), to);
    return Written(WriteWholeFile(path, bytes), path, "cannot patch it");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvine-fuzz-seeds DIR\n");
        return 2;
    }
    const std::string dir = AddPathDelim(argv[1]);
    if (!ForceDirSafe(dir)) {
        std::fprintf(stderr, "talvine-fuzz-seeds: cannot create %s\n", dir.c_str());
        return 1;
    }
    bool ok = true;
    for (const double scale : {0.0002, 0.001}) {
        TJwwData d = bench::MakeLargeDrawing(bench::LargeDrawingSize{}.Scaled(scale));
        const std::string name = scale < 0.0005 ? "tiny" : "small";
        for (const int ver : {351, 420, 600, 700}) ok &= WriteDrawing(d, dir + name + "-" + std::to_string(ver) + ".jww", ver);
        TJwsData f = AsFigure(d);
        for (const int ver : {230, 420, 700}) ok &= WriteFigure(f, dir + name + "-" + std::to_string(ver) + ".jws", ver);
    }
    // Nested placements: four two-fold levels over a leaf of three lines,
    // and two levels of placements with their own rotations.
    bench::THostileShape nested{4, 2, 12, 3, false};
    bench::THostileShape turned{2, 5, 3, 4, true};
    for (const auto& [name, shape] : {std::pair{"nested", nested}, std::pair{"turned", turned}}) {
        TJwwData d;
        d.DataDefaultSet();
        ok &= bench::MakeHostileShape(d, shape) && WriteDrawing(d, dir + name + ".jww", 600);
        TJwsData f;
        f.DataDefaultSet();
        ok &= bench::MakeHostileShape(f, shape) && WriteFigure(f, dir + name + ".jws", 600);
    }
    {
        TJwwData d;
        d.DataDefaultSet();
        ok &= WriteWithRawNames(d, dir + "raw-names.jww", 700);
        TJwsData f;
        f.DataDefaultSet();
        ok &= WriteWithRawNames(f, dir + "raw-names.jws", 600);
    }
    if (!ok) return 1;
    std::printf("wrote the seeds into %s\n", dir.c_str());
    return 0;
}
