// The engine of the page: the batch run and the pictures, called from the
// page's worker (app/web/worker.js) through the functions below. The worker
// puts the dropped files into the in-memory file system below the current
// folder and hands over their names; each run writes its outputs into the
// folder "talvine" beside them, keeping the tree of a dropped folder below
// a folder of its name, as the window does. The worker learns of every log
// line, every file and every output through the functions it supplies to
// the module (Module.onLog, onFileStarting, onFileDone).
#include <emscripten.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Form1Core.h"
#include "app/Render.h"
#include "app/SteppedRun.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace {

using namespace talvine;

// clang-format off
EM_JS(void, JsLog, (const char* line), { Module.onLog(UTF8ToString(line)); });
EM_JS(void, JsFileStarting, (const char* src, const char* progress), {
    Module.onFileStarting(UTF8ToString(src), UTF8ToString(progress));
});
EM_JS(void, JsFileDone, (const char* src, const char* dst, int done), {
    Module.onFileDone(UTF8ToString(src), UTF8ToString(dst), done != 0);
});
// clang-format on

constexpr char kOutputFolder[] = "talvine";

std::unique_ptr<TBatchRun> g_batch;
std::unique_ptr<TSteppedRun> g_run;
std::string g_text;  // the last text handed to the worker

}  // namespace

extern "C" {

// Starts a run over the names (one a line) of the dropped files and
// folders, relative to the current folder. Returns the number of files
// that will be converted; nothing is converted before web_step.
EMSCRIPTEN_KEEPALIVE int web_start(const char* names, int referencePoints) {
    if (!g_batch) {
        platform::ForceDirectories("/tmp/talvine-work");
        g_batch = std::make_unique<TBatchRun>("/tmp/talvine-work");
    }
    TIntake intake;
    intake.treeUnderFolderName = true;  // a dropped folder keeps its name
    std::string all = names;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        if (end > start) PickupPath(all.substr(start, end - start), true, intake);
        start = end + 1;
    }
    // The folder of the outputs is the page's own: the log does not tell
    // of making it.
    platform::ForceDirectories(kOutputFolder);
    TRunSettings settings;
    settings.folderMode = TOutputFolder::kSpecified;
    settings.specifiedDir = kOutputFolder;
    settings.prepareFolder = true;
    settings.referencePoints = referencePoints != 0;
    TRunCallbacks cb;
    cb.log = [](const std::u16string& line) { JsLog(Utf16ToUtf8(line).c_str()); };
    cb.fileStarting = [](int index, int total, const std::string& src) {
        JsFileStarting(src.c_str(), Utf16ToUtf8(TForm1Core::ProgressText(index, total, src)).c_str());
    };
    cb.fileDone = [](const TFileResult& r) { JsFileDone(r.src.c_str(), r.dst.c_str(), r.done ? 1 : 0); };
    cb.folderMissing = [](const std::u16string& message) { JsLog(Utf16ToUtf8(message).c_str()); };
    g_run = std::make_unique<TSteppedRun>(*g_batch, std::move(intake), settings, cb);
    return g_run->Total();
}

// Converts the next file; 0 once the run has ended.
EMSCRIPTEN_KEEPALIVE int web_step() { return g_run && g_run->Step() ? 1 : 0; }

// Ends the run before its next file.
EMSCRIPTEN_KEEPALIVE void web_stop() {
    if (g_run) g_run->Stop();
}

// The picture of the file at src before and after its conversion, as SVG;
// "" when it cannot be drawn (web_last_error tells why).
EMSCRIPTEN_KEEPALIVE const char* web_render(const char* src) {
    std::string svg, error;
    if (!RenderFile(src, true, TRenderOptions{}, svg, error)) {
        g_text = error;
        return "";
    }
    g_text.clear();
    static std::string picture;
    picture = std::move(svg);
    return picture.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* web_last_error() { return g_text.c_str(); }

}  // extern "C"
