// What belongs to the writer alone: object numbering, skipped entries, block
// renumbering, the SXF split for old versions, text clean-up and options,
// and leaving nothing behind when the output fails.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "jww/JwwFormat.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

// The bytes of the entity section written for d (after its header).
Bytes SectionOf(TJwwData& d, int ver, const TempDir& dir) {
    EXPECT_TRUE(d.FileOut(dir.File("full.jww"), ver));
    const Bytes full = ReadAll(dir.File("full.jww"));
    return Bytes(full.begin() + static_cast<long>(HeaderBytes(ver).size()), full.end());
}

TEST(Writer, ClassTagsAndObjectIndices) {
    TempDir dir;
    TJwwData d = TablesOnly(600);
    Add(d.TopLists(), TEntJwwLine{Attr(), 1, 2, 3, 4});
    TEntJwwTen p;
    p.att = Attr();
    Add(d.TopLists(), p);
    Add(d.TopLists(), TEntJwwLine{Attr(), 5, 6, 7, 8});
    SyncCounts(d);
    const Bytes s = SectionOf(d, 600, dir);
    ByteBuilder want;
    want.u16(3).newClass("CDataSen", 600).attr(600, Attr()).f64(1).f64(2).f64(3).f64(4);  // class 1, object 2
    want.newClass("CDataTen", 600).attr(600, Attr()).f64(0).f64(0).u32(0);                 // class 3, object 4
    want.classRef(1).attr(600, Attr()).f64(5).f64(6).f64(7).f64(8);
    want.u16(0);
    EXPECT_EQ(s, want.bytes());
}

TEST(Writer, EmptyAndDanglingEntriesAreLeftOut) {
    TempDir dir;
    TJwwData d = SampleDrawing(600);
    const int32_t before = d.Enthd.n1;
    // What the dimension explode leaves: kind 0 where the dimensions were.
    int dims = 0;
    for (auto& e : d.EntNo) {
        if (e.EntType == kEntSunpo) {
            e = TEntJwwNo{0, 0};
            ++dims;
        }
    }
    d.EntNo.push_back({kEntLine, 999});  // beyond the line count
    d.EntNo.push_back({9, 0});           // unknown kind
    d.Enthd.n1 += 2;
    TJwwData back = RoundTrip(d, 600, dir);
    EXPECT_EQ(back.Enthd.n1, before - dims);
    EXPECT_EQ(back.EntSunpoN, 0);
    EXPECT_EQ(back.EntLineN, d.EntLineN);
}

TEST(Writer, OnlyPlacedDefinitionsAreWrittenAndRenumbered) {
    TempDir dir;
    TJwwData d = TablesOnly(600);
    const int a = AddBlockDef(d, u"A");
    const int b = AddBlockDef(d, u"B");
    d.EntBlockDef[static_cast<size_t>(a)].nNumber = 5;
    d.EntBlockDef[static_cast<size_t>(b)].nNumber = 9;
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(a)]), TEntJwwLine{Attr(), 0, 0, 1, 1});
    Add(d.TopLists(), Insert(5, 10, 10));
    Add(d.TopLists(), Insert(77, 0, 0));  // no definition has 77
    SyncCounts(d);
    EXPECT_EQ(d.EntBlockNum, 1);
    EXPECT_EQ(d.ChangeBlockNo(5), 0u);
    EXPECT_EQ(d.ChangeBlockNo(77), 0u);
    TJwwData back = RoundTrip(d, 600, dir);
    ASSERT_EQ(back.EntBlockDefN, 1);
    EXPECT_EQ(back.EntBlockDef[0].strName, u"A");
    EXPECT_EQ(back.EntBlockDef[0].nNumber, 0u);
    EXPECT_EQ(back.EntBlock[0].nNumber, 0u);
    EXPECT_EQ(back.EntBlock[1].nNumber, 0u);
}

TEST(Writer, NestedInsertsAreRenumberedToo) {
    TempDir dir;
    TJwwData d = TablesOnly(700);
    for (const char16_t* name : {u"unused", u"outer", u"inner"}) AddBlockDef(d, name);
    for (int i = 0; i < 3; ++i) d.EntBlockDef[static_cast<size_t>(i)].nNumber = static_cast<uint32_t>(40 + i);
    Add(ListsOf(d.EntBlockDef[1]), Insert(42, 1, 1));
    Add(ListsOf(d.EntBlockDef[2]), TEntJwwLine{Attr(), 0, 0, 1, 1});
    Add(d.TopLists(), Insert(41, 0, 0));
    SyncCounts(d);
    TJwwData back = RoundTrip(d, 700, dir);
    ASSERT_EQ(back.EntBlockDefN, 2);
    EXPECT_EQ(back.EntBlockDef[0].strName, u"outer");
    EXPECT_EQ(back.EntBlockDef[0].nNumber, 0u);
    EXPECT_EQ(back.EntBlockDef[0].mBlock[0].nNumber, 1u);
    EXPECT_EQ(back.EntBlockDef[1].nNumber, 1u);
    EXPECT_EQ(back.EntBlock[0].nNumber, 0u);
    EXPECT_EQ(back.EntBlockTreeN, 2);
}

TEST(Writer, SxfDimensionsSplitForOldVersions) {
    TempDir dir;
    TJwwData d = TablesOnly(700);
    Add(d.TopLists(), Dimension(0, 0, 100, 0, u"100", true));
    Add(d.TopLists(), Dimension(0, 10, 50, 10, u"50", false));  // not SXF: no parts
    SyncCounts(d);
    TJwwData back = RoundTrip(d, 400, dir);
    EXPECT_EQ(back.Enthd.n1, 8);
    EXPECT_EQ(back.EntSunpoN, 2);
    ASSERT_EQ(back.EntLineN, 2);
    ASSERT_EQ(back.EntTenN, 4);
    EXPECT_DOUBLE_EQ(back.EntLine[0].start_y, -5);  // Ho1
    EXPECT_DOUBLE_EQ(back.EntLine[1].start_x, 100);  // Ho2
    EXPECT_EQ(back.EntTen[0].bKariten, 0u);           // Te1, Te2 keep theirs
    EXPECT_EQ(back.EntTen[1].bKariten, 0u);
    EXPECT_EQ(back.EntTen[2].bKariten, 1u);           // Kt1, Kt2 temporary
    EXPECT_EQ(back.EntTen[3].bKariten, 1u);
    EXPECT_EQ(back.EntTen[3].nCode, 4u);              // symbol point keeps its symbol
    EXPECT_EQ(back.EntNo, (TArray<TEntJwwNo>{{5, 0}, {1, 0}, {1, 1}, {3, 0}, {3, 1}, {3, 2}, {3, 3}, {5, 1}}));
    EXPECT_EQ(back.EntColS[0], TEntJwwColorExNo{});  // no extended tables below 420
    // A document read from an old version splits nothing.
    back.EntSunpo[0].bSxfMode = 1;
    TJwwData again = RoundTrip(back, 400, dir);
    EXPECT_EQ(again.Enthd.n1, 8);
}

struct TextCase {
    const char* name;
    int opt;
    std::u16string text;
    std::u16string written;
};

class TextOutput : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextOutput, CleansAndAppliesOptions) {
    const TextCase& c = GetParam();
    TempDir dir;
    TJwwData d = TablesOnly(600);
    Add(d.TopLists(), Text(0, 0, c.text));
    TEntJwwSunpo dim = Dimension(0, 0, 1, 0, c.text, false);
    Add(d.TopLists(), dim);
    SyncCounts(d);
    d.SetFileOutOption(c.opt);
    TJwwData back = RoundTrip(d, 600, dir);
    EXPECT_EQ(back.EntMoji[0].str, c.written);
    // Dimension texts take the clean-up but not the image options.
    EXPECT_EQ(back.EntSunpo[0].Moji.str, SanitizeText(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextOutput,
    ::testing::Values(TextCase{"Tab", 0, u"\t", u" "}, TextCase{"Empty", 0, u"", u""},
                      TextCase{"CaretM", 0, u"A^mB", u"AB"}, TextCase{"BackslashN", 0, u"A\\nB", u"AB"},
                      TextCase{"TempPrefix", 8, u"^@BM%temp%plan.jpg,100,80", u"^@BMplan.jpg,100,80"},
                      TextCase{"FileName", 1, u"^@BMC:\\img\\plan.jpg,100,80", u"^@BMplan.jpg,100,80"},
                      TextCase{"FileNameNoComma", 1, u"^@BMC:\\img\\plan.jpg", u"^@BMC:\\img\\plan.jpg"},
                      TextCase{"BothBits", 9, u"^@BM%temp%a/b.png,1,2", u"^@BMb.png,1,2"},
                      TextCase{"UnusedBits", 6, u"^@BM%temp%x,1", u"^@BM%temp%x,1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Writer, OptionIsValidatedAndResetByDataInit) {
    TJwwData d;
    d.SetFileOutOption(63);
    EXPECT_EQ(d.FileOutOpt, 63);
    d.SetFileOutOption(64);
    EXPECT_EQ(d.FileOutOpt, 0);
    d.SetFileOutOption(32);
    d.DataInit();
    EXPECT_EQ(d.FileOutOpt, 0);
}

TEST(Writer, UnwritableTargetFailsAndLeavesNothing) {
    TempDir dir;
    TJwwData d = SampleDrawing(700);
    EXPECT_FALSE(d.FileOut(dir.File("missing/sub/out.jww"), 700));
    EXPECT_EQ(d.LastError, "File I/O Error");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

#ifndef _WIN32
// A write that fails half-way (here: the file-size limit is hit) leaves no
// partial file, and an existing file of that name keeps its content.
// (Windows has no file-size limit of a process to make a write fail.)
TEST(Writer, FailedWriteLeavesNoPartialFile) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "a WebAssembly program starts no processes";
#endif
    TempDir dir;
    const std::string target = dir.File("out.jww");
    WriteAll(target, Bytes{'o', 'l', 'd'});
    TJwwData d = SampleDrawing(700);
    for (int i = 0; i < 20000; ++i) Add(d.TopLists(), TEntJwwLine{Attr(), double(i), 0, 0, 0});
    SyncCounts(d);
    fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &lim);
        const bool ok = d.FileOut(target, 700);
        _exit(ok ? 1 : (d.LastError == "File I/O Error" ? 0 : 2));
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(ReadAll(target), (Bytes{'o', 'l', 'd'}));
}
#endif

TEST(Writer, ReplacesAnExistingFile) {
    TempDir dir;
    WriteAll(dir.File("x.jww"), Bytes(100000, 7));
    TJwwData d = SampleDrawing(600);
    ASSERT_TRUE(d.FileOut(dir.File("x.jww"), 600));
    TJwwData back;
    EXPECT_TRUE(back.FileIn(dir.File("x.jww")));
    EXPECT_EQ(d.Enthd.jwID, "JwwData.");
}

}  // namespace
}  // namespace talvine::test
