// talvine_bench: write and read throughput of a large drawing, and the peak
// memory of one read.
//
// The drawing (bench/LargeDrawing.h) is written into a folder of its own,
// removed at the end. Write and read are timed with Google Benchmark; the
// peak memory is taken in a child process (this program again, started with
// --read-once FILE) that does nothing but read the file once, so that the
// generated drawing held by this process does not count.
//
// Then the file is converted end to end by the real talvine-cli, several
// times, each into a fresh folder, next to as many copies of it with cp; the
// median times give the throughput and the ratio to cp. Both programs are
// started by a small child (this program again, with --measure), whose wait4
// gives their peak memory unmixed with this process's.
//
// talvine_bench --hostile runs only the last part; talvine_bench
// --write-drawing FILE [TIMES] only writes the drawing (or one TIMES as
// large), for profiling.
//
// Then many small files in one run (the examples, copied into a tree):
// 2,500 and 10,000 of them (each the best of three runs), so that the time
// per file shows whether a run stays linear in its number of files, the
// 10,000 also with one file per core at once (-j 0), and an archive of
// 4,300 files with -j 1 and -j 0; and the
// drawing at four times its size against the drawing itself.
//
// Throughput is in MB/s with MB = 10^6 bytes, of the size of the file. The
// output ends with these lines for scripts:
//   read_MBps=<number>
//   write_MBps=<number>
//   read_peak_rss_over_file=<number>
//   verify_overhead=<ratio of the conversion with the check of its output to one without>
//   hostile_fanout_s=<seconds>     the small files with huge block structures
//   hostile_fanout_peak_mb=<MB>    (bench/HostileShapes.h): worst time and memory
//   batch_files_per_s=<number>     of the 10,000 small files, one at a time (-j 1)
//   batch_files_per_s_j0=<number>  of the same, one per core at once (-j 0)
//   tree_4300_s=<seconds>          an archive of 4,300 files (215 in 4 folders,
//   tree_4300_s_j0=<seconds>       copied 20 times), -j 1 and -j 0
//   batch_linearity=<ratio of the time per file of 10,000 files to that of 2,500>
//   scale_4x=<ratio of the conversion time of the drawing four times as large>
//   convert_over_cp=<number>
//   convert_MBps=<number>
//   convert_peak_rss_over_file=<number>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/HostileShapes.h"
#include "bench/LargeDrawing.h"
#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"
#include "util/Platform.h"

#ifndef TALVINE_CLI_PATH
#error "TALVINE_CLI_PATH must name the talvine-cli executable"
#endif

extern char** environ;

namespace talvine::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kReadOnceFlag = "--read-once";
constexpr const char* kMeasureFlag = "--measure";
constexpr int kVersion = 700;
constexpr int kIterations = 4;
constexpr int kRepetitions = 3;
constexpr int kConvertRuns = 5;
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

// Runs this program again with args and collects its standard output; false
// when it cannot be started or waited for.
bool RunSelf(const std::vector<std::string>& args, std::string& out, int& status) {
    const std::string self = SelfPath();
    if (self.empty()) return false;
    std::vector<std::string> all{self};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc == 0) {
        char buf[256];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    return rc == 0 && waitpid(pid, &status, 0) == pid;
}

// Runs this program with --read-once file and collects what it reports.
ChildResult ReadInChild(const std::string& file) {
    ChildResult res;
    std::string out;
    int status = 0;
    const auto t0 = Clock::now();
    if (!RunSelf({kReadOnceFlag, file}, out, status)) return res;
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
    // A new, empty folder inside; "" when it cannot be created.
    std::string NewFolder(const std::string& name) const {
        std::error_code ec;
        const std::string p = File(name);
        fs::remove_all(p, ec);
        return fs::create_directory(p, ec) ? p + "/" : std::string();
    }

private:
    std::string path_;
};

// One run of another program.
struct SpawnResult {
    bool waited = false;
    int status = 0;  // as wait4 gives it
    double seconds = 0;
    double cpuSeconds = 0;    // the child's user + system time
    long long maxRssKb = -1;  // the child's ru_maxrss

    bool Succeeded() const { return waited && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs args[0] (a path) with stdout and stderr appended to logPath, and waits
// for it with wait4. The time runs from the spawn to the end of the wait.
// The child's ru_maxrss also counts the high-water mark of the address space
// its exec replaced, which for posix_spawn is the caller's: call this only
// from a small process (see RunMeasured).
SpawnResult SpawnAndWait(std::vector<std::string> args, const std::string& logPath) {
    SpawnResult res;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const auto t0 = Clock::now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return res;
    struct rusage ru {};
    pid_t w;
    do {
        w = wait4(pid, &res.status, 0, &ru);
    } while (w < 0 && errno == EINTR);
    res.seconds = Seconds(Clock::now() - t0);
    res.waited = w == pid;
    if (res.waited) {
        res.maxRssKb = ru.ru_maxrss;
        auto tv = [](const timeval& v) { return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) * 1e-6; };
        res.cpuSeconds = tv(ru.ru_utime) + tv(ru.ru_stime);
    }
    return res;
}

// The small process of RunMeasured: this program started with
//   --measure LOG PROGRAM ARGS...
// runs PROGRAM once and prints what SpawnAndWait found.
int Measure(int argc, char** argv) {
    const SpawnResult r = SpawnAndWait(std::vector<std::string>(argv + 3, argv + argc), argv[2]);
    std::printf("waited=%d status=%d seconds=%.9f cpu=%.6f maxrss_kb=%lld\n", r.waited ? 1 : 0, r.status, r.seconds,
                r.cpuSeconds, r.maxRssKb);
    return r.waited ? 0 : 1;
}

// SpawnAndWait(args, logPath) by way of a small child of this program, so
// that the peak RSS is the program's own and not this large process's.
SpawnResult RunMeasured(const std::vector<std::string>& args, const std::string& logPath) {
    std::vector<std::string> all{kMeasureFlag, logPath};
    all.insert(all.end(), args.begin(), args.end());
    std::string out;
    int status = 0, waited = 0;
    SpawnResult res;
    if (!RunSelf(all, out, status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(out.c_str(), "waited=%d status=%d seconds=%lf cpu=%lf maxrss_kb=%lld", &waited, &res.status,
                    &res.seconds, &res.cpuSeconds, &res.maxRssKb) != 5)
        return SpawnResult{};
    res.waited = waited == 1;
    return res;
}

// The end-to-end conversion against cp of the same file.
struct ConvertTimings {
    std::vector<double> cli, cp;
    std::vector<double> cliNoVerify;  // the same conversion with --no-verify
    std::vector<double> cliCpu, cpCpu;  // user + system seconds
    long long cliPeakKb = 0, cpPeakKb = 0;  // highest of all runs
};

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Converts input with talvine-cli kConvertRuns times, each into a fresh
// folder, and copies it with cp as often, alternating. The first output is
// read back once, outside the timing, to see that the dimensions of the top
// level became lines. Returns false (with why) on any failure.
bool ConvertBench(const ScratchDir& dir, const std::string& input, const TJwwData& source, ConvertTimings& t,
                  std::string& why) {
    const std::string log = dir.File("children.log");
    const std::string name = fs::path(input).filename().string();
    const std::string copy = dir.File("copy.jww");
    const long long inSize = platform::FileSize(input);
    auto failed = [&](const std::string& what) {
        why = what + "\n--- output of the programs run:\n" + FileText(log);
        return false;
    };
    for (int i = 0; i < kConvertRuns; ++i) {
        const std::string out = dir.NewFolder("converted-" + std::to_string(i));
        if (out.empty()) return failed("cannot create an output folder");
        const SpawnResult cli = RunMeasured({TALVINE_CLI_PATH, "-o", out, input}, log);
        if (!cli.Succeeded())
            return failed("talvine-cli failed (wait status " + std::to_string(cli.status) + ")");
        const std::string result = out + name;
        if (platform::FileSize(result) <= 0) return failed("talvine-cli wrote no " + result);
        if (i == 0) {
            TJwwData back;
            if (!back.FileIn(result)) return failed("the converted file cannot be read: " + back.LastError);
            if (back.EntSunpoN != 0 || back.EntLineN < source.EntLineN + source.EntSunpoN)
                return failed("the converted file still holds " + std::to_string(back.EntSunpoN) +
                              " dimensions and " + std::to_string(back.EntLineN) + " lines");
        }
        std::error_code ec;
        fs::remove_all(out, ec);
        t.cli.push_back(cli.seconds);
        t.cliCpu.push_back(cli.cpuSeconds);
        t.cliPeakKb = std::max(t.cliPeakKb, cli.maxRssKb);

        // Without the check of the output, for its cost.
        const std::string plain = dir.NewFolder("unchecked-" + std::to_string(i));
        if (plain.empty()) return failed("cannot create an output folder");
        const SpawnResult unchecked = RunMeasured({TALVINE_CLI_PATH, "--no-verify", "-o", plain, input}, log);
        if (!unchecked.Succeeded()) return failed("talvine-cli --no-verify failed");
        fs::remove_all(plain, ec);
        t.cliNoVerify.push_back(unchecked.seconds);

        const SpawnResult cp = RunMeasured({"/bin/cp", input, copy}, log);
        if (!cp.Succeeded() || platform::FileSize(copy) != inSize) return failed("cp failed");
        fs::remove(copy, ec);
        t.cp.push_back(cp.seconds);
        t.cpCpu.push_back(cp.cpuSeconds);
        t.cpPeakKb = std::max(t.cpPeakKb, cp.maxRssKb);
    }
    return true;
}

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
        // Each write makes a new file, as the program's outputs are: the
        // removal of the previous one (the file system freeing its pages)
        // is not part of the write.
        state.PauseTiming();
        platform::RemoveFile(c.writePath);
        state.ResumeTiming();
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

// The hostile shapes, as a drawing and as a figure, each converted and
// reported by talvine-cli in a child; the worst time and peak memory.
struct HostileWorst {
    double seconds = 0;
    long long peakKb = 0;
};

template <class Doc>
bool WriteShape(const bench::THostileShape& shape, const std::string& path) {
    Doc d;
    d.DataDefaultSet();
    return bench::MakeHostileShape(d, shape) && d.FileOut(path, 600);
}

bool HostileBench(const ScratchDir& dir, HostileWorst& worst, std::string& why) {
    const std::string log = dir.File("hostile.log");
    struct Case {
        const char* name;
        bench::THostileShape shape;
    };
    // The two shapes, then two that the program refuses: placements that
    // each turn differently (the extents give up on their work allowance)
    // and 21 levels (the block tree exceeds its node limit).
    const Case cases[] = {{"long-name", bench::LongNameShape()},
                          {"many-lines", bench::ManyLinesShape()},
                          {"turned", bench::THostileShape{2, 1000, 1, 40'000, true}},
                          {"deep", bench::THostileShape{21, 2, 1, 1, false}}};
    std::printf("Hostile block structures, talvine-cli (a failure is the program refusing the file):\n");
    for (const Case& c : cases) {
        for (const char* ext : {".jww", ".jws"}) {
            const std::string file = dir.File(std::string(c.name) + ext);
            const bool written = std::string(ext) == ".jww" ? WriteShape<TJwwData>(c.shape, file)
                                                            : WriteShape<TJwsData>(c.shape, file);
            if (!written) {
                why = "cannot write " + file;
                return false;
            }
            const std::string out = dir.NewFolder(std::string("hostile-") + c.name + (ext + 1));
            const SpawnResult conv = RunMeasured({TALVINE_CLI_PATH, "-o", out, file}, log);
            const SpawnResult info = RunMeasured({TALVINE_CLI_PATH, "--info", file}, log);
            if (!conv.waited || !info.waited) {
                why = "talvine-cli could not be run";
                return false;
            }
            std::printf("  %-10s %s %7lld bytes: convert %6.3f s %7.1f MB (%s), --info %6.3f s %7.1f MB (%s)\n", c.name,
                        ext, platform::FileSize(file), conv.seconds, static_cast<double>(conv.maxRssKb) / 1024,
                        conv.Succeeded() ? "done" : "failed", info.seconds,
                        static_cast<double>(info.maxRssKb) / 1024, info.Succeeded() ? "done" : "failed");
            for (const SpawnResult* r : {&conv, &info}) {
                worst.seconds = std::max(worst.seconds, r->seconds);
                worst.peakKb = std::max(worst.peakKb, r->maxRssKb);
            }
        }
    }
    std::printf("\n");
    std::fflush(stdout);
    return true;
}

// talvine_bench --hostile: only the hostile block structures.
int RunHostile() {
    ScratchDir dir;
    HostileWorst hostile;
    std::string why;
    if (!dir.ok() || !HostileBench(dir, hostile, why)) {
        std::fprintf(stderr, "hostile block structures: %s\n", why.c_str());
        return 1;
    }
    std::printf("hostile_fanout_s=%.3f\nhostile_fanout_peak_mb=%.1f\n", hostile.seconds,
                static_cast<double>(hostile.peakKb) * 1024 / kMB);
    return 0;
}

// Copies of the examples, files of them, in a new folder: spread over
// folders of perFolder files each, and the folders over copies of
// folderCount folders ("copy3/f1/17-plan.jww"), as an archive keeps them;
// "" on failure, with why.
std::string CopyExamples(const ScratchDir& dir, int files, std::string& why, int perFolder = 1000,
                         int folderCount = 10, const std::string& name = "batch-in-") {
    const std::string in = dir.NewFolder(name + std::to_string(files));
    if (in.empty()) {
        why = "cannot create the batch folders";
        return "";
    }
    const char* const examples[] = {"plan.jww", "door.jws"};
    for (int i = 0; i < files; ++i) {
        const int folder = i / perFolder;
        const std::string sub = in + "copy" + std::to_string(folder / folderCount) + "/f" +
                                std::to_string(folder % folderCount) + "/";
        std::error_code ec;
        if (i % perFolder == 0) fs::create_directories(sub, ec);
        const std::string example = examples[i % 2];
        const std::string copy = sub + std::to_string(i) + "-" + example;
        if (!fs::copy_file(std::string(TALVINE_EXAMPLES_DIR) + example, copy, ec)) {
            why = "cannot copy " + example + ": " + ec.message();
            return "";
        }
    }
    return in;
}

// The time of one talvine-cli run converting the files in folder in into a
// new folder with jobs files at once (-j), started with nothing left to
// write back; negative on failure, with why.
double ConvertFolder(const ScratchDir& dir, const std::string& in, int files, int run, std::string& why,
                     int jobs = 1) {
    const std::string out = dir.NewFolder("batch-out-" + std::to_string(files) + "-" + std::to_string(run) + "-j" +
                                          std::to_string(jobs));
    if (out.empty()) {
        why = "cannot create the batch folders";
        return -1;
    }
    sync();
    const SpawnResult r = RunMeasured({TALVINE_CLI_PATH, "-q", "-r", "-j", std::to_string(jobs), "-o", out, in},
                                      dir.File("batch.log"));
    std::error_code ec;
    size_t written = 0;
    for (const auto& e : fs::recursive_directory_iterator(out, ec)) written += e.is_regular_file() ? 1 : 0;
    fs::remove_all(out, ec);
    if (!r.Succeeded() || written != static_cast<size_t>(files)) {
        why = "talvine-cli converted " + std::to_string(written) + " of " + std::to_string(files) + " files\n" +
              FileText(dir.File("batch.log"));
        return -1;
    }
    return r.seconds;
}

// The median time of runs conversions of path into fresh folders, with the
// check of the output; negative on failure.
double MedianConversion(const ScratchDir& dir, const std::string& path, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const std::string out = dir.NewFolder("scaled-" + std::to_string(i));
        const SpawnResult r = RunMeasured({TALVINE_CLI_PATH, "-q", "-o", out, path}, dir.File("scaled.log"));
        std::error_code ec;
        fs::remove_all(out, ec);
        if (!r.Succeeded()) return -1;
        t.push_back(r.seconds);
    }
    return Median(t);
}

// talvine_bench --write-drawing FILE [TIMES]: only writes the bench
// drawing, or one TIMES as large, for profiling the programs on it.
int WriteDrawing(const char* path, int times) {
    TJwwData doc = MakeLargeDrawing(LargeDrawingSize{}.Scaled(times));
    if (doc.FileOut(path, kVersion)) return 0;
    std::fprintf(stderr, "write failed: %s\n", doc.LastError.c_str());
    return 1;
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

    ConvertTimings conv;
    std::string why;
    if (!ConvertBench(dir, c.readPath, doc, conv, why)) {
        std::fprintf(stderr, "end-to-end conversion: %s\n", why.c_str());
        return 1;
    }

    HostileWorst hostile;
    if (!HostileBench(dir, hostile, why)) {
        std::fprintf(stderr, "hostile block structures: %s\n", why.c_str());
        return 1;
    }

    // Many small files in one run.
    constexpr int kBatchSmall = 2'500, kBatchLarge = 10'000;
    // The best of three runs of each, taken in turn: creating and removing
    // thousands of files is slowed now and then by the file system's own
    // work (journal commits, discards), which the best run shows least, and
    // taking them in turn spreads that work over both.
    // The 10,000 also with one file per core (-j 0); and an archive of
    // 4,300 files: 215 files in 4 folders, copied 20 times.
    constexpr int kTree = 4'300;
    double batchSmall = 1e9, batchLarge = 1e9, batchAtOnce = 1e9, tree = 1e9, treeAtOnce = 1e9;
    const std::string smallIn = CopyExamples(dir, kBatchSmall, why);
    const std::string largeIn = smallIn.empty() ? "" : CopyExamples(dir, kBatchLarge, why);
    const std::string treeIn = largeIn.empty() ? "" : CopyExamples(dir, kTree, why, 54, 4, "tree-in-");
    for (int run = 0; run < 3 && why.empty(); ++run) {
        const double small = ConvertFolder(dir, smallIn, kBatchSmall, run, why);
        const double large = why.empty() ? ConvertFolder(dir, largeIn, kBatchLarge, run, why) : -1;
        const double atOnce = why.empty() ? ConvertFolder(dir, largeIn, kBatchLarge, run, why, 0) : -1;
        const double treeOne = why.empty() ? ConvertFolder(dir, treeIn, kTree, run, why) : -1;
        const double treeAll = why.empty() ? ConvertFolder(dir, treeIn, kTree, run, why, 0) : -1;
        batchSmall = std::min(batchSmall, small);
        batchLarge = std::min(batchLarge, large);
        batchAtOnce = std::min(batchAtOnce, atOnce);
        tree = std::min(tree, treeOne);
        treeAtOnce = std::min(treeAtOnce, treeAll);
    }
    std::error_code removed;
    fs::remove_all(smallIn, removed);
    fs::remove_all(largeIn, removed);
    fs::remove_all(treeIn, removed);
    if (!why.empty()) {
        std::fprintf(stderr, "many small files: %s\n", why.c_str());
        return 1;
    }

    // The drawing four times as large, against the drawing itself (both
    // with the check of their output, as talvine-cli runs by default).
    double scale4 = 0;
    long long size4 = 0;
    {
        const std::string big = dir.File("large4.jww");
        {
            TJwwData four = MakeLargeDrawing(size.Scaled(4));
            if (!four.FileOut(big, kVersion)) {
                std::fprintf(stderr, "write of the drawing four times as large failed: %s\n", four.LastError.c_str());
                return 1;
            }
        }
        size4 = platform::FileSize(big);
        const double one = MedianConversion(dir, c.readPath, 3), four = MedianConversion(dir, big, 3);
        std::error_code ec;
        fs::remove(big, ec);
        if (one <= 0 || four <= 0) {
            std::fprintf(stderr, "conversion of the scaled drawings failed\n");
            return 1;
        }
        scale4 = four / one;
    }

    const double mb = static_cast<double>(c.fileSize) / kMB;
    const double writeMBps = mb / Median(c.times.write);
    const double readMBps = mb / Median(c.times.read);
    const double peakBytes = static_cast<double>(mem.peakKb) * 1024;
    const double ratio = peakBytes / static_cast<double>(c.fileSize);

    std::printf("\nSummary (MB = 10^6 bytes; median of %zu writes and %zu reads)\n", c.times.write.size(),
                c.times.read.size());
    std::printf("  file size                 %12lld bytes  (%.2f MB)\n", c.fileSize, mb);
    std::printf("  write FileOut             %9.2f MB/s   (%.1f ms, best %.1f ms)   target >= 1000\n", writeMBps,
                Median(c.times.write) * 1e3,
                *std::min_element(c.times.write.begin(), c.times.write.end()) * 1e3);
    std::printf("  read  FileIn              %9.2f MB/s   (%.1f ms, best %.1f ms)   target >= 1000\n", readMBps,
                Median(c.times.read) * 1e3, *std::min_element(c.times.read.begin(), c.times.read.end()) * 1e3);
    std::printf("  peak RSS of one read      %9.2f MB     (process before reading %.2f MB; child ran %.2f s)\n",
                peakBytes / kMB, static_cast<double>(mem.baseKb) * 1024 / kMB, mem.seconds);
    std::printf("  peak RSS / file size      %9.2f        target <= 3\n", ratio);
    const double cliSeconds = Median(conv.cli), cpSeconds = Median(conv.cp);
    const double convertMBps = mb / cliSeconds;
    const double overCp = cliSeconds / cpSeconds;
    const double cliPeakBytes = static_cast<double>(conv.cliPeakKb) * 1024;
    const double convertRatio = cliPeakBytes / static_cast<double>(c.fileSize);
    std::printf("  talvine-cli end to end    %9.2f MB/s   (%.1f ms, best %.1f ms; median of %zu)\n",
                convertMBps, cliSeconds * 1e3, *std::min_element(conv.cli.begin(), conv.cli.end()) * 1e3,
                conv.cli.size());
    std::printf("  cp of the same file       %9.2f MB/s   (%.1f ms)\n", mb / cpSeconds, cpSeconds * 1e3);
    std::printf("  CPU time, user + system   talvine-cli %.1f ms, cp %.1f ms (medians; less moved by other load)\n",
                Median(conv.cliCpu) * 1e3, Median(conv.cpCpu) * 1e3);
    std::printf("  talvine-cli / cp time     %9.2f        target <= 6 (goal 3)\n", overCp);
    const double verifyOverhead = cliSeconds / Median(conv.cliNoVerify);
    std::printf("  with / without the check  %9.2f        (--no-verify %.1f ms)   target <= 1.3\n", verifyOverhead,
                Median(conv.cliNoVerify) * 1e3);
    std::printf("  peak RSS of talvine-cli   %9.2f MB     (of cp %.2f MB)\n", cliPeakBytes / kMB,
                static_cast<double>(conv.cpPeakKb) * 1024 / kMB);
    std::printf("  its peak RSS / file size  %9.2f        target <= 2.6\n", convertRatio);
    std::printf("  %5d small files, one run %9.2f s    (%.0f files/s; best of 3)\n", kBatchSmall, batchSmall,
                kBatchSmall / batchSmall);
    std::printf("  %5d small files, one run %9.2f s    (%.0f files/s; best of 3)\n", kBatchLarge, batchLarge,
                kBatchLarge / batchLarge);
    std::printf("  %5d small files, -j 0    %9.2f s    (%.0f files/s; best of 3; %u cores)\n", kBatchLarge,
                batchAtOnce, kBatchLarge / batchAtOnce, std::thread::hardware_concurrency());
    std::printf("  tree of %d files, -j 1  %9.2f s    -j 0 %.2f s (best of 3)\n", kTree, tree, treeAtOnce);
    const double linearity = (batchLarge / kBatchLarge) / (batchSmall / kBatchSmall);
    std::printf("  time per file, 10,000 / 2,500 %5.2f        (1: linear)\n", linearity);
    std::printf("  drawing 4 x as large      %9.2f x the time (%.2f MB)   target <= 4.4\n", scale4,
                static_cast<double>(size4) / kMB);
    std::printf("  total run time            %9.2f s\n\n", Seconds(Clock::now() - start));
    std::printf("read_MBps=%.2f\nwrite_MBps=%.2f\nread_peak_rss_over_file=%.2f\n", readMBps, writeMBps, ratio);
    std::printf("verify_overhead=%.2f\n", verifyOverhead);
    // MB here as in the memory lines above: 10^6 bytes.
    std::printf("hostile_fanout_s=%.3f\nhostile_fanout_peak_mb=%.1f\n", hostile.seconds,
                static_cast<double>(hostile.peakKb) * 1024 / kMB);
    std::printf("batch_files_per_s=%.0f\nbatch_files_per_s_j0=%.0f\ntree_4300_s=%.2f\ntree_4300_s_j0=%.2f\n",
                kBatchLarge / batchLarge, kBatchLarge / batchAtOnce, tree, treeAtOnce);
    std::printf("batch_linearity=%.2f\nscale_4x=%.2f\n", linearity, scale4);
    std::printf("convert_over_cp=%.2f\nconvert_MBps=%.2f\nconvert_peak_rss_over_file=%.2f\n", overCp, convertMBps,
                convertRatio);
    return 0;
}

}  // namespace
}  // namespace talvine::bench

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], talvine::bench::kReadOnceFlag) == 0)
        return talvine::bench::ReadOnce(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], talvine::bench::kMeasureFlag) == 0)
        return talvine::bench::Measure(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--hostile") == 0) return talvine::bench::RunHostile();
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--write-drawing") == 0)
        return talvine::bench::WriteDrawing(argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 1);
    return talvine::bench::Run(argc, argv);
}
