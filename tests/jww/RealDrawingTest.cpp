// The drawings that stand for real ones (the examples, the benchmark's
// drawing, the tests' sample drawing and figure) are what Jw_cad stores:
// coordinates are millimetres on a sheet centred on the origin, and every
// dimension reads its measured length times the scale of its layer group.
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <type_traits>
#include <variant>

#include "bench/LargeDrawing.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

struct Sheet {
    double width = 0, height = 0;  // 0: the paper named in the drawing's header
};
constexpr Sheet kFromHeader{};
constexpr Sheet kA4{297, 210};

using Document = std::variant<TJwwData, TJwsData>;

// The value a dimension of real length v shows: whole millimetres, in
// full-width digits when its format bits (the text's pen width) have 8.
std::u16string ValueText(double v, uint16_t format) {
    const std::string digits = std::to_string(std::llround(v));
    std::u16string s;
    for (char c : digits) s += (format & 8) && c >= '0' && c <= '9' ? static_cast<char16_t>(u'０' + (c - '0')) : c;
    return s;
}

// Checks every dimension of a list that has a text; their number.
int ExpectMeasured(const TArray<TEntJwwSunpo>& dims, int32_t n, const std::vector<TEntJwwLayerGroup>& groups,
                   const std::string& where) {
    int checked = 0;
    for (int32_t i = 0; i < n; ++i) {
        const TEntJwwSunpo& s = dims[static_cast<size_t>(i)];
        if (RemoveBlanks(s.Moji.str).empty()) continue;
        const double scale = groups.at(s.Sen.att.nGLayer & 15).adScale;
        const double v = std::hypot(s.Sen.end_x - s.Sen.start_x, s.Sen.end_y - s.Sen.start_y) * scale;
        SCOPED_TRACE(where + " dimension " + std::to_string(i) + " at 1/" + std::to_string(scale));
        EXPECT_NEAR(v, std::round(v), 1e-6) << "a real length of whole millimetres";
        EXPECT_EQ(Utf16ToUtf8(s.Moji.str), Utf16ToUtf8(ValueText(v, s.Moji.att.nPenWidth)));
        ++checked;
    }
    return checked;
}

template <class Doc>
void ExpectRealDrawing(Doc& d, Sheet sheet) {
    if constexpr (std::is_same_v<Doc, TJwwData>) {
        if (sheet.width == 0) d.GetPaperSize(sheet.width, sheet.height);
    }
    ASSERT_GT(sheet.width, 0);
    ASSERT_TRUE(d.GetMinMaxZahyo());
    EXPECT_GE(d.myMinWx, -sheet.width / 2);
    EXPECT_LE(d.myMaxWx, sheet.width / 2);
    EXPECT_GE(d.myMinWy, -sheet.height / 2);
    EXPECT_LE(d.myMaxWy, sheet.height / 2);

    int checked = ExpectMeasured(d.EntSunpo, d.EntSunpoN, d.EntLgrp, "top-level");
    for (const TEntJwwBlockDef& def : d.EntBlockDef)
        checked += ExpectMeasured(def.mSunpo, def.mSunpoN, d.EntLgrp, "block \"" + Utf16ToUtf8(def.strName) + "\"");
    EXPECT_GT(checked, 0) << "no dimension with a value";
}

struct RealCase {
    const char* name;
    std::function<Document()> make;
    Sheet sheet;
};

#ifdef TALVINE_EXAMPLES_DIR
template <class Doc>
Document ReadExample(const char* name) {
    Doc d;
    EXPECT_TRUE(d.FileIn(std::string(TALVINE_EXAMPLES_DIR) + name)) << name << ": " << d.LastError;
    return d;
}
const RealCase kPlanExample{"PlanExample", [] { return ReadExample<TJwwData>("plan.jww"); }, kFromHeader};
const RealCase kDoorExample{"DoorExample", [] { return ReadExample<TJwsData>("door.jws"); }, kA4};
#else
const RealCase kPlanExample{"PlanExample", nullptr, kFromHeader};
const RealCase kDoorExample{"DoorExample", nullptr, kA4};
#endif

void PrintTo(const RealCase& c, std::ostream* os) { *os << c.name; }

class RealDrawing : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealDrawing, LiesOnItsSheetAndMeasuresItsDimensions) {
    if (!GetParam().make) GTEST_SKIP() << "the examples are read from the source folder on this system only";
    Document doc = GetParam().make();
    const Sheet sheet = GetParam().sheet;
    std::visit([sheet](auto& d) { ExpectRealDrawing(d, sheet); }, doc);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RealDrawing,
    ::testing::Values(kPlanExample, kDoorExample,
                      RealCase{"SampleDrawing", [] { return Document(SampleDrawing(700)); }, kFromHeader},
                      RealCase{"SampleFigure", [] { return Document(SampleFigure(600)); }, kA4},
                      RealCase{"BenchDrawing",
                               [] { return Document(bench::MakeLargeDrawing(bench::LargeDrawingSize{}.Scaled(0.005))); },
                               kFromHeader}),
    [](const auto& info) { return std::string(info.param.name); });

#if defined(TALVINE_EXAMPLES_DIR) && defined(TALVINE_EXAMPLES_PATH)
// The examples in the source folder are what their program writes now.
TEST(Examples, AreWhatTheirProgramWrites) {
    TempDir dir;
    const std::string cmd = std::string("'") + TALVINE_EXAMPLES_PATH + "' '" + dir.path() + "' >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    for (const char* name : {"plan.jww", "door.jws"}) {
        SCOPED_TRACE(name);
        const Bytes written = ReadAll(dir.File(name));
        EXPECT_FALSE(written.empty());
        EXPECT_TRUE(written == ReadAll(std::string(TALVINE_EXAMPLES_DIR) + name))
            << "examples/" << name << " is out of date: run talvine-examples examples";
    }
}
#endif

}  // namespace
}  // namespace talvine::test
