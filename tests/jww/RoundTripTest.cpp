// Reading what the writer wrote gives the same document, at every version
// where the layout changes, for drawings and figures alike; writing the same
// document twice gives the same bytes.
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

const int kDrawingVersions[] = {220, 223, 225, 230, 231, 300, 350, 351, 419, 420, 600, 700};
const int kFigureVersions[] = {230, 231, 350, 351, 419, 420, 600, 700};

class DrawingRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(DrawingRoundTrip, ReadsBackWhatWasWritten) {
    const int ver = GetParam();
    TempDir dir;
    TJwwData d = SampleDrawing(ver);
    Bytes first, second;
    TJwwData back = RoundTrip(d, ver, dir, &first);
    ExpectSameDrawing(d, back);
    EXPECT_FALSE(back.MojiEncode);
    EXPECT_EQ(back.Enthd.jwVer, ver);

    // The document read back writes the very same bytes again.
    TJwwData again = RoundTrip(back, ver, dir, &second);
    EXPECT_EQ(first, second);
    ExpectSameDrawing(back, again);
}

TEST_P(DrawingRoundTrip, UnicodeStringsReadBackAndMarkTheDocument) {
    const int ver = GetParam();
    TempDir dir;
    TJwwData d = SampleDrawing(ver);
    // Characters that code page 932 cannot hold survive in UTF-16 strings.
    d.EntMoji[0].str = u"Ünïcødé 😀 寸法";
    d.EntBlockDef[0].strName = u"Tür";
    d.MakeBlockTree();
    d.SetFileOutOption(32);
    TJwwData back = RoundTrip(d, ver, dir);
    EXPECT_TRUE(back.MojiEncode);
    d.MojiEncode = true;
    ExpectSameDrawing(d, back);
}

INSTANTIATE_TEST_SUITE_P(Versions, DrawingRoundTrip, ::testing::ValuesIn(kDrawingVersions),
                         ::testing::PrintToStringParamName());

class FigureRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(FigureRoundTrip, ReadsBackWhatWasWritten) {
    const int ver = GetParam();
    TempDir dir;
    TJwsData d = SampleFigure(ver);
    Bytes first, second;
    TJwsData back = RoundTrip(d, ver, dir, &first);
    ExpectSameFigure(d, back);
    TJwsData again = RoundTrip(back, ver, dir, &second);
    EXPECT_EQ(first, second);
}

INSTANTIATE_TEST_SUITE_P(Versions, FigureRoundTrip, ::testing::ValuesIn(kFigureVersions),
                         ::testing::PrintToStringParamName());

// Older versions written from a newer document: what cannot be stored is
// converted, and the result is stable from then on.
class DowngradeRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(DowngradeRoundTrip, WritingTheReadBackDocumentAgainChangesNothing) {
    const int ver = GetParam();
    TempDir dir;
    TJwwData d = SampleDrawing(700);
    Bytes first, second;
    TJwwData back = RoundTrip(d, ver, dir, &first);
    TJwwData again = RoundTrip(back, ver, dir, &second);
    EXPECT_EQ(first, second);
    ExpectSameDrawing(back, again);
    // Nothing is lost from the drawing order: SXF dimensions gain their parts.
    const int sxfDims = 2;
    EXPECT_EQ(back.Enthd.n1, d.Enthd.n1 + (ver < 420 ? 6 * sxfDims : 0));
    EXPECT_EQ(back.EntBlockDefN, d.EntBlockDefN);
}

INSTANTIATE_TEST_SUITE_P(Versions, DowngradeRoundTrip, ::testing::Values(220, 230, 300, 350, 400, 419, 420, 600),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace talvine::test
