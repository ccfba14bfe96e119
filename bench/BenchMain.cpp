// talvine_bench: write and read throughput of a large drawing, and the peak
// memory of one read.
//
// The drawing (bench/LargeDrawing.h) is written into a folder of its own,
// removed at the end. Write and read are timed with Google Benchmark; the
// peak memory is taken in a child process (this program again, started with
// --read-once FILE) that does nothing but read the file once, so that the
// generated drawing held by this process does not count.
//
// Throughput is in MB/s with MB = 10^6 bytes, of the size of the file. The
// output ends with three lines for scripts:
//   read_MBps=<number>
//   write_MBps=<number>
//   read_peak_rss_over_file=<number>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/LargeDrawing.h"
#include "jww/JwwUnit.h"
#include "util/Platform.h"

extern char** environ;

namespace talvine::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kReadOnceFlag = "--read-once";
constexpr int kVersion = 700;
constexpr int kIterations = 4;
constexpr int kRepetitions = 3;
constexpr double kMB = 1e6;  // MB here are 10^6 bytes

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A value in kB ("VmHWM:   1234 kB") from /proc/self/status; -1 when absent.
long long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::atoll(line.c_str() + n + 1);
    }
    return -1;
}

// The child: reads the file once and reports its own memory. VmHWM belongs to
// this process's address space alone; ru_maxrss would not do here, since it
// keeps the high-water mark of the address space replaced at exec (the
// parent's, holding the generated drawing).
int ReadOnce(const char* path) {
    const long long baseKb = StatusKb("VmRSS");
    bool ok;
    {
        TJwwData doc;
        ok = doc.FileIn(path);
        if (!ok) std::fprintf(stderr, "read of %s failed: %s\n", path, doc.LastError.c_str());
    }
    std::printf("base_kb=%lld peak_kb=%lld ok=%d\n", baseKb, StatusKb("VmHWM"), ok ? 1 : 0);
    return ok ? 0 : 1;
}

struct ChildResult {
    bool ok = false;
    long long baseKb = -1, peakKb = -1;
    double seconds = 0;
};

std::string SelfPath() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

// Runs this program with --read-once file and collects what it reports.
ChildResult ReadInChild(const std::string& file) {
    ChildResult res;
    const std::string self = SelfPath();
    if (self.empty()) return res;
    int fds[2];
    if (pipe(fds) != 0) return res;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::string a0 = self, a1 = kReadOnceFlag, a2 = file;
    char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
    pid_t pid = -1;
    const auto t0 = Clock::now();
    const int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buf[256];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (rc != 0) return res;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return res;
    res.seconds = Seconds(Clock::now() - t0);
    int okFlag = 0;
    if (std::sscanf(out.c_str(), "base_kb=%lld peak_kb=%lld ok=%d", &res.baseKb, &res.peakKb, &okFlag) == 3)
        res.ok = okFlag == 1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && res.peakKb > 0;
    return res;
}

// A folder of its own in the system's temporary folder, removed with
// everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = platform::TempDir() + "talvine-bench-XXXXXX";
        if (mkdtemp(tmpl.data())) path_ = tmpl + "/";
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !path_.empty(); }
    std::string File(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Seconds of every timed write or read, across repetitions.
struct Timings {
    std::vector<double> write, read;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void SetThroughput(benchmark::State& state, long long fileSize) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * fileSize);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(fileSize) / kMB, benchmark::Counter::kIsIterationInvariantRate);
}

// What both the benchmarks and the summary need.
struct Context {
    TJwwData* doc = nullptr;
    std::string readPath, writePath;
    long long fileSize = 0;
    Timings times;
};

void WriteBench(benchmark::State& state, Context& c) {
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool ok = c.doc->FileOut(c.writePath, kVersion);
        const double s = Seconds(Clock::now() - t0);
        if (!ok) {
            state.SkipWithError(("write failed: " + c.doc->LastError).c_str());
            break;
        }
        state.SetIterationTime(s);
        c.times.write.push_back(s);
    }
    SetThroughput(state, c.fileSize);
}

void ReadBench(benchmark::State& state, Context& c) {
    for (auto _ : state) {
        auto doc = std::make_unique<TJwwData>();
        const auto t0 = Clock::now();
        const bool ok = doc->FileIn(c.readPath);
        const double s = Seconds(Clock::now() - t0);
        if (!ok) {
            state.SkipWithError(("read failed: " + doc->LastError).c_str());
            break;
        }
        state.SetIterationTime(s);
        c.times.read.push_back(s);
        doc.reset();  // freeing the drawing is not part of the read
    }
    SetThroughput(state, c.fileSize);
}

// Checks a drawing read back against the generated one, by counts.
bool SameCounts(const TJwwData& a, const TJwwData& b, std::string& why) {
    std::ostringstream s;
    auto check = [&](const char* what, long long x, long long y) {
        if (x != y) s << what << " " << x << " != " << y << "; ";
    };
    check("order", a.Enthd.n1, b.Enthd.n1);
    check("lines", a.EntLineN, b.EntLineN);
    check("arcs", a.EntEnkoN, b.EntEnkoN);
    check("points", a.EntTenN, b.EntTenN);
    check("texts", a.EntMojiN, b.EntMojiN);
    check("dimensions", a.EntSunpoN, b.EntSunpoN);
    check("solids", a.EntSolidN, b.EntSolidN);
    check("inserts", a.EntBlockN, b.EntBlockN);
    check("block definitions", a.EntBlockDefN, b.EntBlockDefN);
    check("block tree", a.EntBlockTreeN, b.EntBlockTreeN);
    why = s.str();
    return why.empty();
}

int Run(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    const auto start = Clock::now();

    ScratchDir dir;
    if (!dir.ok()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }

    const LargeDrawingSize size;
    auto t0 = Clock::now();
    TJwwData doc = MakeLargeDrawing(size);
    const double genSeconds = Seconds(Clock::now() - t0);
    if (doc.EntBlockTreeN != ExpectedBlockTreeNodes(size)) {
        std::fprintf(stderr, "block tree has %d nodes, expected %lld\n", doc.EntBlockTreeN,
                     static_cast<long long>(ExpectedBlockTreeNodes(size)));
        return 1;
    }

    Context c;
    c.doc = &doc;
    c.readPath = dir.File("large.jww");
    c.writePath = dir.File("written.jww");
    t0 = Clock::now();
    if (!doc.FileOut(c.readPath, kVersion)) {
        std::fprintf(stderr, "write failed: %s\n", doc.LastError.c_str());
        return 1;
    }
    const double firstWrite = Seconds(Clock::now() - t0);
    c.fileSize = platform::FileSize(c.readPath);
    {
        TJwwData back;
        t0 = Clock::now();
        const bool ok = back.FileIn(c.readPath);
        const double firstRead = Seconds(Clock::now() - t0);
        std::string why;
        if (!ok || !SameCounts(doc, back, why)) {
            std::fprintf(stderr, "reading the file back failed: %s%s\n", back.LastError.c_str(), why.c_str());
            return 1;
        }
        std::printf("Drawing: %d lines, %d texts, %d SXF dimensions, %d arcs, %d points, %d solids,\n"
                    "         %d inserts, %d block definitions, %d block-tree nodes\n"
                    "File:    %lld bytes (%.2f MB), version %d\n"
                    "Setup:   generated in %.2f s, first write %.3f s, first read %.3f s\n\n",
                    doc.EntLineN, doc.EntMojiN, doc.EntSunpoN, doc.EntEnkoN, doc.EntTenN, doc.EntSolidN,
                    doc.EntBlockN, doc.EntBlockDefN, doc.EntBlockTreeN, c.fileSize,
                    static_cast<double>(c.fileSize) / kMB, kVersion, genSeconds, firstWrite, firstRead);
        std::fflush(stdout);
    }

    benchmark::RegisterBenchmark("FileOut/v700", [&c](benchmark::State& s) { WriteBench(s, c); })
        ->Iterations(kIterations)
        ->Repetitions(kRepetitions)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FileIn/v700", [&c](benchmark::State& s) { ReadBench(s, c); })
        ->Iterations(kIterations)
        ->Repetitions(kRepetitions)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(stdout);

    const ChildResult mem = ReadInChild(c.readPath);
    if (!mem.ok) {
        std::fprintf(stderr, "the measuring child process failed\n");
        return 1;
    }

    const double mb = static_cast<double>(c.fileSize) / kMB;
    const double writeMBps = mb / Median(c.times.write);
    const double readMBps = mb / Median(c.times.read);
    const double peakBytes = static_cast<double>(mem.peakKb) * 1024;
    const double ratio = peakBytes / static_cast<double>(c.fileSize);

    std::printf("\nSummary (MB = 10^6 bytes; median of %zu writes and %zu reads)\n", c.times.write.size(),
                c.times.read.size());
    std::printf("  file size                 %12lld bytes  (%.2f MB)\n", c.fileSize, mb);
    std::printf("  write FileOut             %9.2f MB/s   (%.1f ms, best %.1f ms)   target >= 200\n", writeMBps,
                Median(c.times.write) * 1e3,
                *std::min_element(c.times.write.begin(), c.times.write.end()) * 1e3);
    std::printf("  read  FileIn              %9.2f MB/s   (%.1f ms, best %.1f ms)   target >= 200\n", readMBps,
                Median(c.times.read) * 1e3, *std::min_element(c.times.read.begin(), c.times.read.end()) * 1e3);
    std::printf("  peak RSS of one read      %9.2f MB     (process before reading %.2f MB; child ran %.2f s)\n",
                peakBytes / kMB, static_cast<double>(mem.baseKb) * 1024 / kMB, mem.seconds);
    std::printf("  peak RSS / file size      %9.2f        target <= 3\n", ratio);
    std::printf("  total run time            %9.2f s\n\n", Seconds(Clock::now() - start));
    std::printf("read_MBps=%.2f\nwrite_MBps=%.2f\nread_peak_rss_over_file=%.2f\n", readMBps, writeMBps, ratio);
    return 0;
}

}  // namespace
}  // namespace talvine::bench

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], talvine::bench::kReadOnceFlag) == 0)
        return talvine::bench::ReadOnce(argv[2]);
    return talvine::bench::Run(argc, argv);
}
