// The block tree, the reference marks and the block-name helpers.
#include <cmath>
#include <numbers>

#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

constexpr double kTol = 1e-9;

TEST(BlockTree, NoInsertsMarksNothing) {
    TJwwData d;
    AddBlockDef(d, u"A");
    d.EntBlockNum = 5;  // stale from an earlier state
    d.MakeBlockTree();
    EXPECT_EQ(d.EntBlockTreeN, 0);
    EXPECT_FALSE(d.EntBlockDef[0].ref_flag);
    EXPECT_EQ(d.EntBlockDef[0].ref_no, -1);
    EXPECT_EQ(d.EntBlockNum, 0);
}

TEST(BlockTree, ReferencedDefinitionsAreNumberedInArrayOrder) {
    TJwwData d;
    AddBlockDef(d, u"nine");
    AddBlockDef(d, u"five");
    AddBlockDef(d, u"five again");
    d.EntBlockDef[0].nNumber = 9;
    d.EntBlockDef[1].nNumber = 5;
    d.EntBlockDef[2].nNumber = 5;  // same number: inserts resolve to the first
    Add(d.TopLists(), Insert(5, 0, 0));
    Add(d.TopLists(), Insert(9, 0, 0));
    Add(d.TopLists(), Insert(5, 0, 0));
    d.MakeBlockTree();
    ASSERT_EQ(d.EntBlockTreeN, 3);
    EXPECT_EQ(d.EntBlockTree[0].defno, 1);
    EXPECT_EQ(d.EntBlockTree[1].defno, 0);
    EXPECT_EQ(d.EntBlockDef[0].ref_no, 0);
    EXPECT_EQ(d.EntBlockDef[1].ref_no, 1);
    EXPECT_FALSE(d.EntBlockDef[2].ref_flag);
    EXPECT_EQ(d.EntBlockNum, 2);
    EXPECT_EQ(d.ChangeBlockNo(9), 0u);
    EXPECT_EQ(d.ChangeBlockNo(5), 1u);
}

TEST(BlockTree, NestedPlacementComposesScaleRotationAndOffset) {
    TJwwData d;
    const int outer = AddBlockDef(d, u"outer");
    const int inner = AddBlockDef(d, u"inner");
    d.EntBlockDef[static_cast<size_t>(outer)].att = Attr(1, 7, 3);
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(outer)]), Insert(static_cast<uint32_t>(inner), 10, 0));
    Add(d.TopLists(), Insert(static_cast<uint32_t>(outer), 100, 50, 2, 3, std::numbers::pi / 2));
    d.MakeBlockTree();
    ASSERT_EQ(d.EntBlockTreeN, 2);
    const TEntJwwBlockTree& n = d.EntBlockTree[1];
    EXPECT_EQ(n.level, 1);
    EXPECT_EQ(n.parent, 0);
    EXPECT_EQ(n.name, u"inner");
    EXPECT_EQ(n.att, d.EntBlockDef[static_cast<size_t>(outer)].att);  // from the containing definition
    EXPECT_NEAR(n.x, 100, kTol);
    EXPECT_NEAR(n.y, 70, kTol);
    EXPECT_NEAR(n.r1, 0, kTol);
    EXPECT_NEAR(n.r2, -3, kTol);
    EXPECT_NEAR(n.r3, 2, kTol);
    EXPECT_NEAR(n.r4, 0, kTol);
}

TEST(BlockTree, DefinitionPlacedOnlyByAnUnplacedDefinitionIsNotMarked) {
    TJwwData d;
    AddBlockDef(d, u"placed");
    AddBlockDef(d, u"container");
    AddBlockDef(d, u"contained");
    Add(ListsOf(d.EntBlockDef[1]), Insert(2, 0, 0));
    Add(d.TopLists(), Insert(0, 0, 0));
    d.MakeBlockTree();
    EXPECT_TRUE(d.EntBlockDef[0].ref_flag);
    EXPECT_FALSE(d.EntBlockDef[1].ref_flag);
    EXPECT_FALSE(d.EntBlockDef[2].ref_flag);
    EXPECT_EQ(d.EntBlockNum, 1);
}

// Definitions that place themselves, directly or through others, stop the
// expansion instead of growing the tree without end; every definition on
// the cycle is still written.
TEST(BlockTree, CyclesStopTheExpansion) {
    TJwwData d;
    AddBlockDef(d, u"self");
    AddBlockDef(d, u"ping");
    AddBlockDef(d, u"pong");
    Add(ListsOf(d.EntBlockDef[0]), Insert(0, 1, 0));
    Add(ListsOf(d.EntBlockDef[1]), Insert(2, 1, 0));
    Add(ListsOf(d.EntBlockDef[2]), Insert(1, 1, 0));
    Add(d.TopLists(), Insert(0, 0, 0));
    Add(d.TopLists(), Insert(1, 0, 0));
    d.MakeBlockTree();
    // self -> self (not expanded); ping -> pong -> ping (not expanded).
    EXPECT_EQ(d.EntBlockTreeN, 5);
    EXPECT_EQ(d.EntBlockNum, 3);
    TempDir dir;
    SyncCounts(d);
    d.EntLgrp.resize(16);
    TJwwData back = RoundTrip(d, 600, dir);
    EXPECT_EQ(back.EntBlockDefN, 3);
    EXPECT_EQ(back.EntBlockTreeN, 5);
}

TEST(BlockTree, RunawayFanOutIsCut) {
    // Ten levels of ten placements each would be 10^10 nodes.
    TJwwData d;
    for (int i = 0; i < 10; ++i) AddBlockDef(d, u"level" + IntToStrDec(i));
    for (int i = 0; i < 9; ++i) {
        for (int k = 0; k < 10; ++k) Add(ListsOf(d.EntBlockDef[static_cast<size_t>(i)]), Insert(i + 1, k, 0));
    }
    Add(d.TopLists(), Insert(0, 0, 0));
    d.MakeBlockTree();
    EXPECT_LE(d.EntBlockTreeN, TJwDocument::kMaxBlockTreeNodes);
    EXPECT_GT(d.EntBlockTreeN, 100000);
    EXPECT_EQ(d.EntBlockNum, 10);  // the marks are complete nevertheless
}

TEST(BlockNames, BaseNamesIgnoreTheFigureSuffix) {
    TJwwData d;
    AddBlockDef(d, u"Window@@SfigorgFlag@@1");
    AddBlockDef(d, u"Door");
    AddBlockDef(d, u"Door~1");
    AddBlockDef(d, u"Gate@@SfigorgFlag@@2");
    EXPECT_EQ(d.GetBlkNo(u"Window"), 0);
    EXPECT_EQ(d.GetBlkNo(u"window"), -1);
    EXPECT_EQ(d.GetBlkNo(u"Door@@sfig"), 1);
    EXPECT_EQ(d.GetBlkName(u"Door"), u"Door~2");
    EXPECT_EQ(d.GetBlkName(u"Gate@@SfigorgFlag@@4"), u"Gate~1@@SfigorgFlag@@4");
    EXPECT_EQ(d.GetBlkName(u"Fence"), u"Fence");
    EXPECT_EQ(d.GetBlkNumber(1), 1);
    EXPECT_EQ(d.GetBlkNumber(4), -1);
    EXPECT_EQ(d.GetBlkNumber(-1), -1);
}

}  // namespace
}  // namespace talvine::test
