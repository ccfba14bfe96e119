// Writes the files the page's test feeds to the page and to talvine-cli:
// the sample drawing in every version of the drawing format and the sample
// figure in every version of the figure format, all with Japanese names;
// a folder tree whose two subfolders hold files of the same names; and
// broken files (cut short, a figure named .jww, an empty file, a file that
// is no drawing at all); and small drawings with huge block structures.
//
//   talvine-web-set DIR
//   talvine-web-set --large FILE FACTOR   the bench's large drawing, every
//                                        count times FACTOR
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/HostileShapes.h"
#include "bench/LargeDrawing.h"
#include "tests/jww/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace talvine;
using namespace talvine::test;

bool Drawing(const fs::path& path, int ver) {
    TJwwData d = SampleDrawing(ver);
    return d.FileOut(path.string(), ver);
}

bool Figure(const fs::path& path, int ver) {
    TJwsData f = SampleFigure(ver);
    return f.FileOut(path.string(), ver);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--large") {
        TJwwData d = bench::MakeLargeDrawing(bench::LargeDrawingSize{}.Scaled(std::stod(argv[3])));
        return d.FileOut(argv[2], 700) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvine-web-set DIR\n");
        return 2;
    }
    const fs::path dir = fs::path(argv[1]);
    const fs::path versions = dir / fs::path("版");
    const fs::path tree = dir / fs::path("現場A");
    const fs::path broken = dir / fs::path("壊れた");
    for (const fs::path& p : {versions, tree / fs::path("平面"), tree / fs::path("立面"), broken})
        fs::create_directories(p);
    bool ok = true;
    for (int ver : {220, 223, 225, 230, 231, 300, 351, 420, 600, 700})
        ok = ok && Drawing(versions / fs::path("平面図_" + std::to_string(ver) + ".jww"), ver);
    for (int ver : {230, 300, 351, 420, 600, 700})
        ok = ok && Figure(versions / fs::path("部品_" + std::to_string(ver) + ".jws"), ver);
    ok = ok && Drawing(tree / fs::path("平面") / fs::path("一階.jww"), 700);
    ok = ok && Figure(tree / fs::path("平面") / fs::path("F-2406.jws"), 600);
    ok = ok && Drawing(tree / fs::path("立面") / fs::path("一階.jww"), 600);
    ok = ok && Figure(tree / fs::path("立面") / fs::path("F-2406.jws"), 700);

    // Cut short: the first half of a drawing.
    const std::string whole = (broken / "whole.jww").string();
    ok = ok && Drawing(whole, 700);
    Bytes bytes = ReadAll(whole);
    fs::remove(whole);
    bytes.resize(bytes.size() / 2);
    WriteAll((broken / fs::path("途中まで.jww")).string(), bytes);
    // A figure named .jww.
    ok = ok && Figure(broken / fs::path("図形.jww"), 600);
    WriteAll((broken / fs::path("空.jws")).string(), Bytes{});
    WriteAll((broken / fs::path("文書.jww")).string(), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    WriteAll((dir / fs::path("メモ.txt")).string(), Bytes{'m', 'e', 'm', 'o', '\n'});
    // A few kilobytes that place one block hundreds of thousands of times,
    // and a chain that would place it beyond any count.
    auto hostile = [&](const char* name, const bench::THostileShape& shape) {
        TJwwData d;
        d.DataDefaultSet();
        return bench::MakeHostileShape(d, shape) && d.FileOut((broken / fs::path(name)).string(), 600);
    };
    bench::THostileShape runaway;
    runaway.definitions = 40;
    runaway.fanOut = 4;
    ok = ok && hostile("長い名前.jww", bench::LongNameShape()) && hostile("多くの線.jww", bench::ManyLinesShape()) &&
         hostile("際限なし.jww", runaway);
    // Many small files, for a run long enough to be stopped.
    const fs::path many = dir / fs::path("多数");
    fs::create_directories(many);
    ok = ok && Figure(many / "000.jws", 600);
    for (int k = 1; k < 400 && ok; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "%03d.jws", k);
        ok = fs::copy_file(many / "000.jws", many / name);
    }
    if (!ok) {
        std::fprintf(stderr, "talvine-web-set: a file could not be written\n");
        return 1;
    }
    return 0;
}
