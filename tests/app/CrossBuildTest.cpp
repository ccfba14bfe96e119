// One result on every system: generated drawings and figures are converted
// and described, and the report (every output's bytes and every --info
// JSON line) is the same on every build. With TALVINE_CROSS_BUILD_REPORT set
// the report is also written to that file, so that the reports of two builds
// (the Linux one and the Windows one under Wine) can be compared byte for byte.
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "app/BatchRun.h"
#include "app/FileInfo.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"
#include "util/Maths.h"

namespace talvine::test {
namespace {

// A deterministic sequence of its own: the standard distributions may
// differ between libraries.
class Sequence {
public:
    double Next(double lo, double hi) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * static_cast<double>(state_ >> 11) * 0x1p-53;
    }

private:
    uint64_t state_ = 20261209;
};

// Arcs, elliptic arcs, arc-shaped solids with tangent corners and rotated,
// scaled block inserts at the angles where the C libraries round sine and
// cosine differently (multiples of 22.5 degrees) and at arbitrary ones;
// texts with the code page's single bytes of their own.
TJwwData GeometryDrawing() {
    TJwwData d = SampleDrawing(700);
    Sequence seq;
    TEntityLists top = d.TopLists();
    const double step = std::numbers::pi / 8;
    const int def = AddBlockDef(d, u"部品");
    {
        TEntityLists L = ListsOf(d.EntBlockDef[static_cast<size_t>(def)]);
        Add(L, TEntJwwEnko{Attr(1, 1), 3, 4, 7, step, 3 * step, step, 0.6, 0});
        Add(L, TEntJwwLine{Attr(1, 2), -5, -5, 12, 9});
        Add(L, Dimension(0, 0, 12, 0, u"12", true));
    }
    for (int k = 0; k < 48; ++k) {
        const double a = k * step, b = seq.Next(-7, 7);
        Add(top, TEntJwwEnko{Attr(1, 1), seq.Next(-1e4, 1e4), seq.Next(-1e4, 1e4), seq.Next(0.1, 5e3), a,
                             (k % 16 + 1) * step, k % 2 ? b : a, k % 3 ? 1.0 : seq.Next(0.1, 3), 0});
        // Arc-shaped solid whose corner is where the end tangents meet.
        Add(top, TEntJwwSolid{Attr(101, 1), seq.Next(-100, 100), seq.Next(-100, 100), seq.Next(1, 500),
                              seq.Next(0.2, 2), a, b, (k % 16 + 1) * step, -1, 0});
        Add(top, Insert(static_cast<uint32_t>(def), seq.Next(-1e3, 1e3), seq.Next(-1e3, 1e3), seq.Next(0.1, 4),
                        seq.Next(0.1, 4), k % 2 ? a : b));
        Add(top, Dimension(0, k, math::Cos(a) * 100, math::Sin(b) * 100, u"", k % 2 == 0));
    }
    Add(top, Text(0, -50, u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3 〜 ¥", Attr(1, 1)));
    SyncCounts(d);
    return d;
}

// The text of a JSON report without the folder it was made in.
std::string WithoutFolder(std::string json, const std::string& folder) {
    std::string escaped;
    for (char c : folder) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    for (size_t p; (p = json.find(escaped)) != std::string::npos;) json.erase(p, escaped.size());
    return json;
}

std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::string Describe(const std::string& path, const std::string& folder) {
    TFileInfo info;
    std::string error;
    if (!CollectFileInfo(path, info, error)) return "unreadable: " + error + "\n";
    return WithoutFolder(FileInfoJson(info), folder);
}

TEST(CrossBuild, ConversionsAndReports) {
    TempDir dir;
    std::vector<std::string> files;
    auto drawing = [&](TJwwData d, int ver, const std::string& name) {
        ASSERT_TRUE(d.FileOut(dir.File(name), ver)) << name;
        files.push_back(dir.File(name));
    };
    drawing(SampleDrawing(420), 420, "sample420.jww");
    drawing(SampleDrawing(600), 600, "sample600.jww");
    drawing(SampleDrawing(700), 700, "sample700.jww");
    drawing(GeometryDrawing(), 700, "geometry.jww");
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("figure.jws"), 600));
    files.push_back(dir.File("figure.jws"));

    TRunSettings settings;
    settings.folderMode = TOutputFolder::kSpecified;
    settings.specifiedDir = dir.File("out");
    ASSERT_TRUE(ForceDirSafe(settings.specifiedDir));
    TRunCallbacks cb;
    cb.log = [](const std::u16string&) {};
    const std::string work = dir.File("work");
    ASSERT_TRUE(ForceDirSafe(work));
    TRunSummary summary;
    {
        TBatchRun run(work);
        summary = run.RunProc(files, settings, cb);
    }
    EXPECT_EQ(summary.converted, static_cast<int>(files.size()));

    std::string report;
    for (const std::string& src : files) {
        const std::string name = src.substr(dir.path().size());
        const std::string out = AddPathDelim(settings.specifiedDir) + name;
        const Bytes bytes = ReadAll(out);
        ASSERT_FALSE(bytes.empty()) << name;
        report += name + " " + Hex(bytes) + "\n";
        report += Describe(src, dir.path());
        report += Describe(out, AddPathDelim(settings.specifiedDir));
    }
    // The texts of the code page's single bytes survive the conversion.
    EXPECT_NE(report.find("geometry.jww"), std::string::npos);

    if (const char* path = std::getenv("TALVINE_CROSS_BUILD_REPORT"); path && *path) {
        std::FILE* fp = std::fopen(path, "wb");
        ASSERT_NE(fp, nullptr) << path;
        EXPECT_EQ(std::fwrite(report.data(), 1, report.size(), fp), report.size());
        EXPECT_EQ(std::fclose(fp), 0);
    }
}

}  // namespace
}  // namespace talvine::test
