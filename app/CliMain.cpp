// talvine-cli: converts drawings and figures from the command line.
//
//   talvine-cli [options] FILE...
//   talvine-cli --info [--json] FILE...
//
// Prints the log of the run (UTF-8) as each file finishes. Exit status: 0
// when every file was converted, 1 when any was not, 2 on a usage error.
// With --info nothing is converted: each file is described instead (exit
// status 1 when any file could not be read).
#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "app/BatchRun.h"
#include "app/FileInfo.h"
#include "util/Func_2.h"
#include "util/Platform.h"

using namespace talvine;

namespace {

constexpr char kVersion[] = "0.1.0";

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

// The console or the stream, in UTF-8; see platform::WriteStd.
void Out(const std::string& text) { platform::WriteStd(platform::StdStream::kOut, text); }
void Err(const std::string& text) { platform::WriteStd(platform::StdStream::kErr, text); }

void PrintUsage() {
    Out("Usage: talvine-cli [options] FILE...\n"
        "       talvine-cli --info [--json] FILE...\n"
        "Turns every dimension of Jw_cad drawings (.jww) and figures (.jws) into plain\n"
        "lines, texts and points, and writes each result as a new file of the same\n"
        "format and version. Existing files are never overwritten: a taken name gets\n"
        "a branch number (plan~1.jww).\n"
        "\n"
        "Options:\n"
        "  -o, --output-dir DIR     write the results into DIR (default: beside each source)\n"
        "      --reference-points   turn SXF reference points into temporary points (default)\n"
        "      --no-reference-points\n"
        "                           leave SXF reference points out\n"
        "      --info               convert nothing; describe each file instead: format and\n"
        "                           version, entities of the drawing and of placed blocks,\n"
        "                           dimension parts, extents, paper size, block definitions,\n"
        "                           fonts and bound images\n"
        "      --json               with --info: one JSON object per line and file\n"
        "  -h, --help               show this help and exit\n"
        "      --version            show the version and exit\n"
        "\n"
        "Ctrl-C stops the run before the next file.\n");
}

int UsageError(const std::string& message) {
    Err("talvine-cli: " + message + "\nTry 'talvine-cli --help'.\n");
    return 2;
}

void PrintLine(const std::u16string& line) {
    Out(Utf16ToUtf8(line) + "\n");
}

// --info: describes each file; 1 when any could not be read.
int RunInfo(const std::vector<std::string>& files, bool json) {
    int status = 0;
    for (const std::string& path : files) {
        TFileInfo info;
        std::string error;
        if (!CollectFileInfo(path, info, error)) {
            Err("talvine-cli: cannot read " + path + ": " + error + "\n");
            status = 1;
            continue;
        }
        const std::string report = json ? FileInfoJson(info) : FileInfoText(info);
        Out(report);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    platform::UseUtf8Arguments(argc, argv);
    TRunSettings settings;
    settings.folderMode = TOutputFolder::kSource;
    std::vector<std::string> named;
    bool optionsEnded = false;
    bool info = false, json = false, conversionOption = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            named.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "-h" || a == "--help") {
            PrintUsage();
            return 0;
        } else if (a == "--version") {
            Out(std::string("talvine-cli ") + kVersion + "\n");
            return 0;
        } else if (a == "-o" || a == "--output-dir") {
            if (i + 1 >= argc) return UsageError("option " + a + " needs a folder");
            settings.folderMode = TOutputFolder::kSpecified;
            settings.specifiedDir = argv[++i];
            conversionOption = true;
        } else if (a.rfind("--output-dir=", 0) == 0) {
            settings.folderMode = TOutputFolder::kSpecified;
            settings.specifiedDir = a.substr(13);
            conversionOption = true;
        } else if (a == "--reference-points") {
            settings.referencePoints = true;
            conversionOption = true;
        } else if (a == "--no-reference-points") {
            settings.referencePoints = false;
            conversionOption = true;
        } else if (a == "--info") {
            info = true;
        } else if (a == "--json") {
            json = true;
        } else {
            return UsageError("unknown option " + a);
        }
    }
    if (json && !info) return UsageError("--json needs --info");
    if (info && conversionOption) return UsageError("--info converts nothing; it takes no conversion options");
    if (named.empty()) return UsageError("no file named");
    if (info) return RunInfo(named, json);

    // The same filter as files dropped on the window: existing .jww and .jws files.
    std::vector<std::string> files;
    int skipped = 0;
    for (const std::string& path : named) {
        std::string ext;
        try {
            ext = GetLowerExt(path);
        } catch (const std::invalid_argument&) {
        }
        if ((ext == ".jww" || ext == ".jws") && FileExistsAt(path)) {
            files.push_back(path);
        } else {
            Err("talvine-cli: skipped " + path + ": " +
                (FileExistsAt(path) ? "not a .jww or .jws file" : "no such file") + "\n");
            ++skipped;
        }
    }
    if (files.empty()) return 1;

    bool folderMissing = false;
    TRunCallbacks cb;
    cb.log = PrintLine;
    cb.abortRequested = [] { return g_interrupted.load(); };
    cb.folderMissing = [&](const std::u16string& message) {
        Err(Utf16ToUtf8(message) + "\n");
        folderMissing = true;
    };

    std::signal(SIGINT, OnInterrupt);
#ifdef SIGBREAK
    std::signal(SIGBREAK, OnInterrupt);  // Ctrl-Break on a Windows console
#endif
    const std::string work = MakeWorkFolder();
    TRunSummary summary;
    {
        TBatchRun run(work);
        summary = run.RunProc(files, settings, cb);
    }
    RemoveWorkFolder(work);
    if (folderMissing) return 2;
    return summary.failed == 0 && !summary.aborted && skipped == 0 ? 0 : 1;
}
