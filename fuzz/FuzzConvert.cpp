// The whole conversion of one file, as the batch run does it: read, measure,
// explode the dimensions, write, read back and check. Either the file fails
// and nothing is left behind, or the output reads back without a single
// dimension. An output that fails its check is a finding: the reader and
// the writer disagree about a file the reader accepted.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/BatchRun.h"
#include "fuzz/FuzzFiles.h"

using namespace talvine;

namespace {

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "conversion invariant broken: %s\n", what);
    std::abort();
}

bool HoldsDimensions(const TJwDocument& d) {
    if (d.EntSunpoN != 0) return true;
    for (int32_t i = 0; i < d.EntBlockDefN && static_cast<size_t>(i) < d.EntBlockDef.size(); ++i)
        if (d.EntBlockDef[static_cast<size_t>(i)].mSunpoN != 0) return true;
    return false;
}

template <class Doc>
void CheckOutput(const std::string& path) {
    Doc back;
    if (!back.FileIn(path)) Finding("the output cannot be read");
    if (HoldsDimensions(back)) Finding("the output holds dimensions");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string work = fuzz::ScratchDir() + "work/";
    static const std::string out = fuzz::ScratchDir() + "out/";
    static TBatchRun* run = [] {
        std::filesystem::create_directory(work);
        std::filesystem::create_directory(out);
        return new TBatchRun(work);
    }();
    // The reader is chosen by the extension, as in the batch run; the bytes
    // decide which one to try.
    const bool figure = size >= 7 && std::string(reinterpret_cast<const char*>(data), 7) == "JwsData";
    const std::string name = figure ? "in.jws" : "in.jww";
    const std::string src = fuzz::InputFile(name, data, size);
    std::string dst = out + name;
    const TFileResult r = run->ConvertFile(src, dst, (size & 1) != 0);
    if (r.failure == TFileFailure::kVerifyFailed) {
        std::fprintf(stderr, "%s\n", r.detail.c_str());
        Finding("the output failed its check");
    }
    dst = r.dst;
    if (r.done) {
        if (figure)
            CheckOutput<TJwsData>(dst);
        else
            CheckOutput<TJwwData>(dst);
        fuzz::EmptyDir(out);
    } else if (!fuzz::IsEmptyDir(out)) {
        Finding("a failed conversion left a file");
    }
    if (!fuzz::IsEmptyDir(work)) Finding("bound images were left in the work folder");
    return 0;
}
