// Block structures far larger than their files: each is read, measured and
// converted within bounded work and memory, or refused cleanly.
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <climits>
#include <filesystem>
#include <fstream>

#include "app/BatchRun.h"
#include "bench/HostileShapes.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

using bench::THostileShape;

template <class Doc>
struct Format;
template <>
struct Format<TJwwData> {
    static constexpr const char* kExt = ".jww";
};
template <>
struct Format<TJwsData> {
    static constexpr const char* kExt = ".jws";
};

template <class Doc>
class HostileBlocks : public ::testing::Test {
protected:
    // The shape written as a file of version 600; its path.
    std::string Write(const THostileShape& shape, const std::string& name) {
        Doc d;
        d.DataDefaultSet();
        EXPECT_TRUE(bench::MakeHostileShape(d, shape));
        const std::string path = src.File(name + Format<Doc>::kExt);
        EXPECT_TRUE(d.FileOut(path, 600)) << d.LastError;
        return path;
    }
    // Converts path into out/; the result text.
    std::u16string Convert(const std::string& path) {
        TBatchRun run(work.path());
        std::string dst = out.File(std::filesystem::path(path).filename().string());
        return run.RunProc1(path, dst, true);
    }
    bool OutputEmpty() const { return std::filesystem::is_empty(out.path()); }

    TempDir src, out, work;
};

using Documents = ::testing::Types<TJwwData, TJwsData>;
class DocumentNames {
public:
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, TJwwData> ? "Drawing" : "Figure";
    }
};
TYPED_TEST_SUITE(HostileBlocks, Documents, DocumentNames);

constexpr double kTol = 1e-9;

// 19 two-fold levels: 262,144 placements of the leaf in 524,287 nodes.
TYPED_TEST(HostileBlocks, LongLeafNameIsHeldOnce) {
    const THostileShape shape = bench::LongNameShape();
    const std::string path = this->Write(shape, "long-name");
    TypeParam d;
    ASSERT_TRUE(d.FileIn(path)) << d.LastError;
    ASSERT_EQ(d.EntBlockTreeN, bench::TreeNodes(shape));
    const TEntJwwBlockTree& leaf = d.EntBlockTree[static_cast<size_t>(d.EntBlockTreeN - 1)];
    EXPECT_EQ(leaf.name.str(), d.EntBlockDef[static_cast<size_t>(leaf.defno)].strName);
    EXPECT_GT(leaf.name.str().size(), 20000u);
    ASSERT_TRUE(d.GetMinMaxZahyo());
    EXPECT_NEAR(d.myMaxWx, 1805, kTol);  // 18 levels of offsets 0 or 100, then the leaf's line to x 5
    EXPECT_EQ(d.GetElementNum(-1, -1).n1a, bench::LeafPlacements(shape));

    EXPECT_EQ(this->Convert(path), kResultDone);
    TypeParam back;
    ASSERT_TRUE(back.FileIn(this->out.File(std::filesystem::path(path).filename().string())));
    EXPECT_EQ(back.EntBlockDefN, shape.definitions);
    EXPECT_EQ(back.EntBlockTreeN, d.EntBlockTreeN);
}

// The same levels over a leaf of 1,200 lines: 314,572,800 placed lines,
// measured and counted once per definition.
TYPED_TEST(HostileBlocks, ManyLeafLinesAreMeasuredOncePerDefinition) {
    const THostileShape shape = bench::ManyLinesShape();
    const std::string path = this->Write(shape, "many-lines");
    TypeParam d;
    ASSERT_TRUE(d.FileIn(path)) << d.LastError;
    ASSERT_TRUE(d.GetMinMaxZahyo());
    // Leaf lines run from (k 37 mod 101, k 53 mod 97) by (5, 3).
    EXPECT_NEAR(d.myMinWx, 0, kTol);
    EXPECT_NEAR(d.myMinWy, 0, kTol);
    EXPECT_NEAR(d.myMaxWx, 1800 + 105, kTol);
    EXPECT_NEAR(d.myMaxWy, 99, kTol);
    const auto c = d.GetElementNum(-1, -1);
    EXPECT_EQ(c.n1, 1);
    EXPECT_EQ(c.n1a, bench::LeafPlacements(shape) * 1200);
    EXPECT_EQ(d.GetElementCNum(1).n1a, c.n1a);
    EXPECT_EQ(d.GetElementCNum(2).n1a, 0);
    EXPECT_EQ(this->Convert(path), kResultDone);

    // Exploding every placement would need hundreds of millions of lines.
    const int32_t lines = d.EntLineN, nodes = d.EntBlockTreeN;
    EXPECT_FALSE(d.BlockExplode());
    EXPECT_EQ(d.LastFailure, TJwFailure::kTooComplex);
    EXPECT_EQ(d.EntLineN, lines);
    EXPECT_EQ(d.EntBlockTreeN, nodes);
}

// A thousand placements, each with its own rotation, of a leaf of 40,000
// lines: no two placements share their extremes, and carrying every line
// through every placement is beyond the work allowance. The read succeeds;
// the extents, the explode and so the conversion give up, leaving nothing.
TYPED_TEST(HostileBlocks, TurnedPlacementsBeyondTheAllowanceFailCleanly) {
    THostileShape shape;
    shape.definitions = 2;
    shape.fanOut = 1000;
    shape.leafLines = 40'000;
    shape.turnEveryPlacement = true;
    const std::string path = this->Write(shape, "turned");
    TypeParam d;
    ASSERT_TRUE(d.FileIn(path)) << d.LastError;
    d.myMaxWx = 12345;
    EXPECT_FALSE(d.GetMinMaxZahyo());
    EXPECT_EQ(d.LastFailure, TJwFailure::kTooComplex);
    EXPECT_EQ(d.myMaxWx, 12345);  // left as it was
    EXPECT_FALSE(d.BlockExplode());
    EXPECT_EQ(d.LastFailure, TJwFailure::kTooComplex);
    EXPECT_EQ(this->Convert(path), kResultFailed);
    EXPECT_TRUE(this->OutputEmpty());
}

// 21 two-fold levels would be 2,097,151 nodes: the tree is cut, the read
// fails as too complex, and the document stays usable.
TYPED_TEST(HostileBlocks, TreeBeyondTheNodeLimitFailsTheRead) {
    THostileShape shape;
    shape.definitions = 21;
    const std::string path = this->Write(shape, "deep");
    TypeParam d;
    EXPECT_FALSE(d.FileIn(path));
    EXPECT_EQ(d.LastFailure, TJwFailure::kTooComplex);
    EXPECT_TRUE(d.bBlockTreeCut);
    EXPECT_LE(d.EntBlockTreeN, TJwDocument::kMaxBlockTreeNodes);
    EXPECT_EQ(d.EntBlockDefN, 21);
    EXPECT_EQ(d.EntBlockNum, 21);  // the marks are complete
    EXPECT_FALSE(d.GetMinMaxZahyo());
    EXPECT_EQ(this->Convert(path), kResultFailed);
    EXPECT_TRUE(this->OutputEmpty());

    // The same document reads an ordinary file afterwards.
    const std::string small = this->Write(THostileShape{3, 2, 1, 1, false}, "small");
    EXPECT_TRUE(d.FileIn(small));
    EXPECT_FALSE(d.bBlockTreeCut);
    EXPECT_EQ(d.EntBlockTreeN, 7);
    EXPECT_TRUE(d.GetMinMaxZahyo());
    // And an emptied document is no longer marked.
    EXPECT_FALSE(d.FileIn(path));
    d.DataFree();
    EXPECT_FALSE(d.bBlockTreeCut);
    EXPECT_TRUE(d.GetMinMaxZahyo());
}

// 262,144 placements of 10,000 lines are more lines than a count can hold:
// the count stays at its top instead of wrapping round.
TEST(HostileCounts, CountsBeyondTheirRangeStayAtTheTop) {
    THostileShape shape;
    shape.leafLines = 10'000;
    TJwwData d;
    d.DataDefaultSet();
    ASSERT_TRUE(bench::MakeHostileShape(d, shape));
    const auto c = d.GetElementNum(-1, -1);
    EXPECT_EQ(c.n1a, INT32_MAX);
    EXPECT_EQ(c.n1, 1);
    EXPECT_EQ(c.n2a, 0);
}

// An address-space limit of a child process (POSIX only).
#ifndef _WIN32
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressLimitWorks = false;  // the sanitizer reserves its own address space
#else
constexpr bool kAddressLimitWorks = true;
#endif

// Virtual memory of this process in bytes.
long long VmSize() {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        long long kb;
        if (key == "VmSize:" && in >> kb) return kb * 1024;
    }
    return -1;
}

// Runs body in a child whose address space may grow by only room bytes;
// body's result is the child's exit code, which is returned.
template <class Body>
int InLimitedChild(long long room, Body body) {
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const long long limit = VmSize() + room;
        struct rlimit lim = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        setrlimit(RLIMIT_AS, &lim);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Memory runs out inside an operation: it returns false, names the failure,
// and the document can be emptied and used again.
TYPED_TEST(HostileBlocks, AllocationFailureIsReportedAndLeavesTheDocumentUsable) {
    if (!kAddressLimitWorks) GTEST_SKIP() << "an address-space limit does not work under AddressSanitizer";
    // 2,000 lines placed 1,000 times: 2 million lines to explode, within the
    // work allowance but far beyond 16 MB.
    THostileShape shape;
    shape.definitions = 2;
    shape.fanOut = 1000;
    shape.leafLines = 2000;
    const std::string path = this->Write(shape, "explode");
    const std::string again = this->src.File(std::string("again") + Format<TypeParam>::kExt);
    TypeParam d;
    ASSERT_TRUE(d.FileIn(path));
    const int code = InLimitedChild(16 << 20, [&] {
        if (d.BlockExplode()) return 1;
        if (d.LastFailure != TJwFailure::kOutOfMemory) return 2;
        d.DataFree();
        if (!d.FileIn(path) || d.EntBlockTreeN != 1001) return 3;
        if (!d.GetMinMaxZahyo() || !d.FileOut(again, 600)) return 4;
        return 0;
    });
    EXPECT_EQ(code, 0);
}
#endif

}  // namespace
}  // namespace talvine::test
