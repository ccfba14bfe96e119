// talvine-cli: converts drawings and figures from the command line.
//
//   talvine-cli [options] FILE|FOLDER...
//   talvine-cli -j 0 -r -o OUT FOLDER...   (several files at once)
//   talvine-cli --info [-r] [--json|--brief] FILE|FOLDER...
//
// Prints the log of the run (UTF-8) as each file finishes, a reason for
// every failed file on standard error, and a summary at the end. Exit
// status: 0 when every file was converted or left alone as asked
// (--skip-unchanged, --resume), 1 when any failed or a named input was
// skipped (or the log or the report could not be written), 2 on a usage
// error or an output folder that cannot be made or written, 130 when
// interrupted.
//
// The options are parsed and the run is driven by CliMain(), which takes
// the arguments as UTF-8 strings; main() only hands them over.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/BatchRun.h"
#include "app/FileInfo.h"
#include "app/RunReport.h"
#include "app/SendTo.h"
#include "app/Render.h"
#include "util/Func_2.h"
#include "util/Platform.h"

using namespace talvine;

namespace {

constexpr char kVersion[] = TALVINE_VERSION;  // the project's version, from the build

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Standard output and standard error, as UTF-8 text (on a Windows console
// through its Unicode output). Every line the tool prints goes through these
// two.
bool g_outFailed = false;
int g_outError = 0;  // errno of the first failed write
void Out(const std::string& text) {
    if (!platform::WriteStd(platform::StdStream::kOut, text) && !g_outFailed) {
        g_outFailed = true;
        g_outError = errno;
    }
}
void Err(const std::string& text) { platform::WriteStd(platform::StdStream::kErr, text); }

const char kUsage[] =
    "Usage: talvine-cli [options] FILE|FOLDER...\n"
    "       talvine-cli --info [-r] [--json | --brief] FILE|FOLDER...\n"
    "       talvine-cli --render OUT.svg | --compare OUT.svg FILE\n"
    "       talvine-cli --render-dir DIR FILE...\n"
    "       talvine-cli --sendto install | remove\n"
    "Turns every dimension of Jw_cad drawings (.jww) and figures (.jws) into plain\n"
    "lines, texts and points, and writes each result as a new file of the same\n"
    "format and version. Existing files are never overwritten: a taken name gets\n"
    "a branch number (plan~1.jww).\n"
    "\n"
    "Options:\n"
    "  -o, --output-dir DIR     write the results into DIR, created when missing\n"
    "                           (default: beside each source); with -r the files of\n"
    "                           a folder keep their subfolders below DIR\n"
    "  -r, --recursive          take the .jww and .jws files in named folders, at any depth\n"
    "  -j, --jobs N             convert up to N files at once (default 1; 0: one per\n"
    "                           core); the log, the report and the outputs are those\n"
    "                           of one file after another, and a file too large to\n"
    "                           share the memory with others is converted alone\n"
    "      --skip-unchanged     write nothing for a file without dimensions\n"
    "      --resume             skip every file whose output exists and is not older\n"
    "                           than the file (to finish a stopped run), and outputs\n"
    "                           of an earlier run beside their sources (plan~1.jww\n"
    "                           without dimensions)\n"
    "      --report FILE        write one row per file into FILE (.csv, UTF-8 with a\n"
    "                           byte-order mark, or .jsonl / .json, one JSON object a\n"
    "                           line); FILE must not exist yet\n"
    "      --no-verify          do not read each output back to check it (faster)\n"
    "      --reference-points   turn SXF reference points into temporary points (default)\n"
    "      --no-reference-points\n"
    "                           leave SXF reference points out\n"
    "  -q, --quiet              print only failed and skipped files and the summary\n"
    "      --info               convert nothing; describe each file instead: format and\n"
    "                           version, entities of the drawing and of placed blocks,\n"
    "                           what the conversion will make of the dimensions, layer\n"
    "                           group scales, extents, paper, block definitions, fonts\n"
    "                           and bound images; with -r also the files of folders,\n"
    "                           and a summary at the end\n"
    "      --json               with --info: one JSON object per line and file\n"
    "      --render OUT.svg     convert nothing; draw the file as an SVG picture (OUT.svg\n"
    "                           must not exist yet)\n"
    "      --render-dir DIR     the same for several files, each into DIR/NAME.svg (a\n"
    "                           taken name gets a branch number: NAME~1.svg)\n"
    "      --compare OUT.svg    convert in memory and draw the file before and after side\n"
    "                           by side, what the conversion made in orange\n"
    "      --temporary-points   with the pictures: draw temporary points too\n"
    "      --brief              with --info: one line per file\n"
    "      --sendto install     (Windows) add \"Talvine（寸法図形を分解）\" to Explorer's\n"
    "                           Send to (送る) menu: files sent to it open in talvine.exe\n"
    "                           beside this program and are converted there\n"
    "      --sendto remove      take it out of the menu again\n"
    "  -h, --help               show this help and exit\n"
    "  -V, --version            show the version and exit\n"
    "\n"
    "The log (three lines a file, what each conversion made, the summary) goes to\n"
    "standard output and messages to standard error: keep them with\n"
    "  talvine-cli ... > log.txt 2>&1\n"
    "or keep a table of the run with --report FILE. Ctrl-C stops the run before\n"
    "the next file (with -j, once the files in progress are done).\n"
    "\n"
    "Exit status:\n"
    "  0    every file was converted, or left alone as asked (--skip-unchanged,\n"
    "       --resume)\n"
    "  1    a file failed, a named input was skipped (a folder without -r, a missing\n"
    "       file, not a .jww or .jws file), or the log or the report could not be\n"
    "       written\n"
    "  2    usage error (unknown option, an output folder that cannot be created or\n"
    "       written, a report that exists)\n"
    "  130  interrupted (Ctrl-C, or terminated)\n";

// Digits only, as a number; -1 otherwise.
long long ParseWholeNumber(const std::string& s) {
    long long v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return s.empty() ? -1 : v;
}

struct TCliOptions {
    TRunSettings settings;
    std::vector<std::string> named;
    bool recursive = false, quiet = false;
    bool info = false, json = false, brief = false;
    bool conversionOption = false;
    bool help = false, version = false;
    std::string reportFile;  // --report
    std::string sendTo;      // --sendto: "install" or "remove"
    // Pictures instead of a conversion.
    std::string renderFile, renderDir, compareFile;
    TRenderOptions render;
};

// Parses the arguments (without the program's path). Returns false with a
// message on a usage error.
bool ParseArguments(const std::vector<std::string>& args, TCliOptions& o, std::string& error) {
    o.settings.folderMode = TOutputFolder::kSource;
    bool optionsEnded = false;
    // -j N: a whole number from 0 (one per core).
    auto jobs = [&](const std::string& value, const char* option) {
        const long long n = value.empty() || value.size() > 6 ? -1 : ParseWholeNumber(value);
        if (n < 0) {
            error = std::string("option ") + option + " needs a number of files (0: one per core), not '" + value + "'";
            return false;
        }
        o.settings.jobs = static_cast<int>(n);
        o.conversionOption = true;
        return true;
    };
    auto outputDir = [&](const std::string& dir) {
        o.settings.folderMode = TOutputFolder::kSpecified;
        o.settings.specifiedDir = dir;
        o.conversionOption = true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            o.named.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a.rfind("--", 0) == 0) {
            const size_t eq = a.find('=');
            const std::string name = a.substr(0, eq);
            if (name == "--output-dir" || name == "--render" || name == "--render-dir" || name == "--compare" ||
                name == "--report" || name == "--sendto" || name == "--jobs") {
                std::string value;
                if (eq != std::string::npos) {
                    value = a.substr(eq + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    error = "option " + name +
                            (name == "--output-dir" || name == "--render-dir" ? " needs a folder"
                             : name == "--sendto"                             ? " needs install or remove"
                             : name == "--jobs"                               ? " needs a number"
                                                                              : " needs a file");
                    return false;
                }
                if (name == "--output-dir") outputDir(value);
                else if (name == "--jobs") {
                    if (!jobs(value, "--jobs")) return false;
                } else if (name == "--sendto") {
                    if (value != "install" && value != "remove") {
                        error = "option --sendto needs install or remove, not " + value;
                        return false;
                    }
                    o.sendTo = value;
                } else if (name == "--report") {
                    o.reportFile = value;
                    o.conversionOption = true;
                } else if (name == "--render") o.renderFile = value;
                else if (name == "--render-dir") o.renderDir = value;
                else o.compareFile = value;
                continue;
            }
            if (eq != std::string::npos) {
                error = "option " + name + " takes no value";
                return false;
            }
            if (a == "--help") o.help = true;
            else if (a == "--version") o.version = true;
            else if (a == "--temporary-points") o.render.temporaryPoints = true;
            else if (a == "--recursive") o.recursive = true;
            else if (a == "--quiet") o.quiet = true;
            else if (a == "--skip-unchanged") o.settings.skipUnchanged = o.conversionOption = true;
            else if (a == "--resume") o.settings.resume = o.conversionOption = true;
            else if (a == "--no-verify") {
                o.settings.verify = false;
                o.conversionOption = true;
            }
            else if (a == "--reference-points") o.settings.referencePoints = o.conversionOption = true;
            else if (a == "--no-reference-points") {
                o.settings.referencePoints = false;
                o.conversionOption = true;
            } else if (a == "--info") o.info = true;
            else if (a == "--json") o.json = true;
            else if (a == "--brief") o.brief = true;
            else {
                error = "unknown option " + a;
                return false;
            }
        } else {
            // Short options, bundled or not: -rq, -oDIR, -o DIR.
            for (size_t k = 1; k < a.size(); ++k) {
                const char c = a[k];
                if (c == 'o') {
                    if (k + 1 < a.size()) {
                        outputDir(a.substr(k + 1));
                    } else if (i + 1 < args.size()) {
                        outputDir(args[++i]);
                    } else {
                        error = "option -o needs a folder";
                        return false;
                    }
                    break;
                }
                if (c == 'j') {
                    if (k + 1 < a.size()) {
                        if (!jobs(a.substr(k + 1), "-j")) return false;
                    } else if (i + 1 < args.size()) {
                        if (!jobs(args[++i], "-j")) return false;
                    } else {
                        error = "option -j needs a number";
                        return false;
                    }
                    break;
                }
                if (c == 'h') o.help = true;
                else if (c == 'V') o.version = true;
                else if (c == 'r') o.recursive = true;
                else if (c == 'q') o.quiet = true;
                else {
                    error = std::string("unknown option -") + c;
                    return false;
                }
            }
        }
    }
    if (o.help || o.version) return true;
    const bool anythingElse = !o.named.empty() || o.recursive || o.quiet || o.info || o.json || o.brief ||
                              o.conversionOption || !o.renderFile.empty() || !o.renderDir.empty() ||
                              !o.compareFile.empty() || o.render.temporaryPoints;
    if (!o.sendTo.empty()) {
        if (!anythingElse) return true;
        error = "--sendto takes nothing else";
        return false;
    }
    if ((o.json || o.brief) && !o.info) {
        error = std::string(o.json ? "--json" : "--brief") + " needs --info";
        return false;
    }
    if (o.json && o.brief) {
        error = "--json and --brief exclude each other";
        return false;
    }
    if (o.info && o.conversionOption) {
        error = "--info converts nothing; it takes no conversion options";
        return false;
    }
    const int pictures = !o.renderFile.empty() + !o.renderDir.empty() + !o.compareFile.empty();
    if (pictures > 1) {
        error = "--render, --render-dir and --compare exclude each other";
        return false;
    }
    if (pictures == 1 && (o.info || o.conversionOption || o.recursive)) {
        error = "pictures convert nothing; --render, --render-dir and --compare take no other options";
        return false;
    }
    if (o.render.temporaryPoints && pictures == 0) {
        error = "--temporary-points needs --render, --render-dir or --compare";
        return false;
    }
    if ((!o.renderFile.empty() || !o.compareFile.empty()) && o.named.size() > 1) {
        error = "--render and --compare draw one file; use --render-dir for several";
        return false;
    }
    // A picture never takes the place of a drawing: with the arguments
    // swapped, the file to draw would be the target.
    if (const std::string& target = o.renderFile.empty() ? o.compareFile : o.renderFile; IsJwName(target)) {
        error = std::string(o.renderFile.empty() ? "--compare" : "--render") +
                " would write its picture over a drawing or figure: " + target +
                " (the SVG comes first, then the file to draw)";
        return false;
    }
    if (!o.renderDir.empty() && !platform::DirExists(o.renderDir)) {
        error = "the folder for the pictures does not exist: " + o.renderDir;
        return false;
    }
    if (o.named.empty()) {
        error = "no file named";
        return false;
    }
    if (o.settings.folderMode == TOutputFolder::kSpecified) {
        const std::string& dir = o.settings.specifiedDir;
        if (dir.empty()) {
            error = "option -o needs a folder";
            return false;
        }
        if (platform::FileExists(dir)) {
            error = "-o names a file, not a folder: " + dir;
            return false;
        }
        // A missing folder is created by the run, once there is a file to convert.
        o.settings.prepareFolder = true;
    }
    if (!o.reportFile.empty()) {
        TRunReport::Format format;
        if (!TRunReport::FormatOf(o.reportFile, format)) {
            error = "the report must be named .csv, .jsonl or .json: " + o.reportFile;
            return false;
        }
        // A report is never written over a file, an earlier report included.
        if (platform::FileExists(o.reportFile) || platform::DirExists(o.reportFile)) {
            error = "the report exists, not replaced: " + o.reportFile;
            return false;
        }
    }
    return true;
}

int UsageError(const std::string& message) {
    Err("talvine-cli: " + message + "\nTry 'talvine-cli --help'.\n");
    return kExitUsage;
}

// --render, --render-dir and --compare: pictures as SVG; 1 when any file
// could not be drawn or its picture not written. A picture is published as
// a conversion's output is, never replacing a file: a named target that
// exists is an error, a taken name in --render-dir gets a branch number.
int RunPictures(const TCliOptions& o) {
    platform::InstallInterruptHandlers();
    int status = kExitOk;
    for (size_t i = 0; i < o.named.size(); ++i) {
        if (platform::InterruptRequested()) {
            const size_t left = o.named.size() - i;
            Err("talvine-cli: interrupted; " + std::to_string(left) + " of " + std::to_string(o.named.size()) +
                (o.named.size() == 1 ? " file" : " files") + " not drawn\n");
            return kExitInterrupted;
        }
        const std::string& src = o.named[i];
        std::string out = o.renderFile.empty() ? o.compareFile : o.renderFile;
        const bool branch = !o.renderDir.empty();
        if (branch) {
            size_t start = src.size();
            while (start > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(src[start - 1]))) --start;
            const std::string name = src.substr(start);
            const size_t dot = name.find_last_of('.');
            const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
            out = AddPathDelim(o.renderDir) + stem + ".svg";
        } else if (platform::FileExists(out) || platform::DirExists(out)) {
            // Told before the file is drawn: nothing would be written.
            Err("talvine-cli: " + out + " exists, not replaced\n");
            status = kExitSomeFailed;
            continue;
        }
        std::string svg, error;
        if (!RenderFile(src, !o.compareFile.empty(), o.render, svg, error) ||
            !PublishSvg(out, svg, branch, error)) {
            Err("talvine-cli: " + error + "\n");
            status = kExitSomeFailed;
            continue;
        }
        if (!o.quiet) Out(src + " -> " + out + "\n");
    }
    return status;
}

// --info: describes each file; 1 when any could not be read. With -r the
// files of named folders too, and a summary at the end.
int RunInfo(const TCliOptions& o) {
    int status = kExitOk;
    std::vector<std::string> files;
    for (const std::string& path : o.named) {
        if (o.recursive && platform::DirExists(path)) {
            TIntake intake;
            PickupPath(path, true, intake);
            files.insert(files.end(), intake.files.begin(), intake.files.end());
        } else {
            files.push_back(path);  // read whatever its name, as named
        }
    }
    TInventory inventory;
    for (const std::string& path : files) {
        TFileInfo info;
        std::string error;
        if (!CollectFileInfo(path, info, error)) {
            Err("talvine-cli: cannot read " + path + ": " + error + "\n");
            inventory.AddUnreadable(path, error);
            status = kExitSomeFailed;
            continue;
        }
        inventory.Add(info);
        Out(o.json ? FileInfoJson(info) : o.brief ? FileInfoBrief(info) : FileInfoText(info));
        std::fflush(stdout);
    }
    if (o.recursive) {
        if (files.empty()) Err("talvine-cli: no .jww or .jws file found\n");
        Out(o.json ? InventoryJson(inventory) : InventoryText(inventory));
    }
    return status;
}

std::string Utf8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::string InterruptedEnglish(int left, int total) {
    return "talvine-cli: interrupted; " + std::to_string(left) + " of " + std::to_string(total) +
           (total == 1 ? " file" : " files") + " not converted\n";
}

int RunConversion(TCliOptions& o) {
    // The same filter as files dropped on the window, and folders with -r.
    TIntake intake;
    for (const std::string& path : o.named) PickupPath(path, o.recursive, intake);
    for (const auto& r : intake.refused)
        Err("talvine-cli: skipped " + r.path + ": " + SkipTextEnglish(r.kind) + "\n");
    if (intake.files.empty()) Err("talvine-cli: no .jww or .jws file found\n");
    const int skipped = static_cast<int>(intake.refused.size());

    TRunReport report;
    if (!o.reportFile.empty()) {
        std::string error;
        if (!report.Create(o.reportFile, error)) return UsageError(error);
    }

    platform::InstallInterruptHandlers();
    const std::string work = MakeWorkFolder();
    platform::SetCleanupFolder(work);

    const bool counter = !o.quiet && platform::StdoutIsTerminal();
    std::vector<std::u16string> pending;  // the lines of the file in progress
    bool inFile = false;
    int index = 0, total = 0;
    TRunSummary sofar;  // for the termination texts
    TRunCallbacks cb;
    cb.log = [&](const std::u16string& line) {
        if (inFile) pending.push_back(line);
        else Out(Utf8(line) + "\n");
        std::fflush(stdout);
    };
    cb.abortRequested = [] { return platform::InterruptRequested(); };
    cb.abortLine = StoppedText;
    cb.folderMissing = [&](const std::u16string& message) { Err(Utf8(message) + "\n"); };
    // What a termination leaves on the screen: the files not logged yet
    // count as left (their outputs are removed or, when already published,
    // found by --resume).
    auto terminationTexts = [&](int left) {
        TRunSummary t = sofar;
        t.aborted = true;
        t.left = left;
        platform::SetTerminationTexts(Utf8(StoppedText(t.left)) + "\n" + Utf8(SummaryText(t)) + "\n",
                                      InterruptedEnglish(t.left, total) + "talvine-cli: " + SummaryTextEnglish(t) + "\n");
    };
    cb.runStarting = [&](int n) {
        total = n;
        sofar.started = true;
        sofar.total = n;
        terminationTexts(n);
    };
    // A skipped input's lines are shown even when quiet: like a failure, it
    // needs looking at.
    cb.inputSkipped = [&](const TIntake::Refusal& r) {
        ++sofar.skipped;
        report.Add(r);
        terminationTexts(total);
    };
    cb.fileStarting = [&](int i, int, const std::string&) {
        index = i;
        inFile = true;
        pending.clear();
    };
    cb.fileDone = [&](const TFileResult& r) {
        inFile = false;
        if (!o.quiet || !(r.done || r.unchanged || r.resumed)) {
            std::string text;
            for (size_t k = 0; k < pending.size(); ++k) {
                if (k == 0 && counter) {
                    text += '[';
                    text += std::to_string(index + 1);
                    text += '/';
                    text += std::to_string(total);
                    text += "] ";
                }
                text += Utf8(pending[k]) + "\n";
            }
            Out(text);
            std::fflush(stdout);
        }
        pending.clear();
        if (!r.done && !r.unchanged && !r.resumed)
            Err("talvine-cli: " + r.src + ": " + FailureTextEnglish(r.failure, r.detail) + "\n");
        report.Add(r);
        sofar.Add(r);
        terminationTexts(total - index - 1);
    };
    TBatchRun run(work);
    TRunSummary summary = run.RunProc(intake, o.settings, cb);
    RemoveWorkFolder(work);
    platform::SetCleanupFolder("");
    const bool reportWritten = report.IsOpen() ? report.Close() : true;
    if (!reportWritten) Err("talvine-cli: cannot write the report " + o.reportFile + "\n");
    if (summary.folderFailure != TFileFailure::kNone) {
        if (!o.reportFile.empty()) platform::RemoveFile(o.reportFile);  // empty: nothing was converted
        Err("talvine-cli: " + FailureTextEnglish(summary.folderFailure, summary.folderDetail) + "\n");
        return kExitUsage;
    }
    if (summary.aborted) Err(InterruptedEnglish(summary.left, summary.total));
    Err("talvine-cli: " + SummaryTextEnglish(summary) + "\n");

    if (summary.aborted) return kExitInterrupted;
    if (!intake.files.empty() && !summary.started) return kExitUsage;  // the output folder went away
    // Files left alone on request (--skip-unchanged, --resume) were handled as asked.
    return summary.failed == 0 && skipped == 0 && reportWritten ? kExitOk : kExitSomeFailed;
}

// --sendto install / remove: the shortcut in Explorer's Send to menu to the
// window beside this program.
int RunSendTo(const std::string& action) {
    const TSendToResult r = action == "install" ? InstallSendTo(platform::ExecutableDir() + "talvine.exe")
                                                : RemoveSendTo();
    if (!r.ok) {
        Err("talvine-cli: " + r.error + "\n");
        return kExitSomeFailed;
    }
    Out(action == "install" ? "「送る」メニューに追加しました: " + r.path + "\n" + "added to the Send to menu: " + r.path + "\n"
                            : "「送る」メニューから削除しました: " + r.path + "\n" + "removed from the Send to menu: " + r.path + "\n");
    return kExitOk;
}

}  // namespace

// The whole tool, on arguments given as UTF-8 (the program's path excluded).
int CliMain(const std::vector<std::string>& args) {
    g_outFailed = false;
    g_outError = 0;
    TCliOptions o;
    std::string error;
    if (!ParseArguments(args, o, error)) return UsageError(error);
    int status;
    if (o.help) {
        Out(kUsage);
        status = kExitOk;
    } else if (o.version) {
        Out(std::string("talvine-cli ") + kVersion + "\n");
        status = kExitOk;
    } else {
        const bool pictures = !o.renderFile.empty() || !o.renderDir.empty() || !o.compareFile.empty();
        status = !o.sendTo.empty() ? RunSendTo(o.sendTo)
                 : pictures        ? RunPictures(o)
                 : o.info          ? RunInfo(o)
                                   : RunConversion(o);
    }
    // A log that could not be written (a full disk, a closed output) is a failure.
    if (!g_outFailed && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
        g_outFailed = true;
        g_outError = errno;
    }
    if (g_outFailed) {
        Err(std::string("talvine-cli: cannot write to standard output") +
            (g_outError ? std::string(": ") + std::strerror(g_outError) : std::string()) + "\n");
        if (status == kExitOk) status = kExitSomeFailed;
    }
    return status;
}

int main(int argc, char** argv) {
    platform::UseUtf8Arguments(argc, argv);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return CliMain(args);
}
