// talvine-fuzz-seeds DIR: writes the seed files of the fuzz targets into DIR,
// all made by this program's own writer: small versions of the benchmark's
// large drawing in several format versions, the same entities as a figure,
// and small nested block structures of both kinds. (The example drawing and
// figure come from talvine-examples.)
#include <cstdio>
#include <string>

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
    if (!ok) return 1;
    std::printf("wrote the seeds into %s\n", dir.c_str());
    return 0;
}
