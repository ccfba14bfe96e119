// talvine_window_bench: the window's pace over a large drop, and what its
// log costs.
//
// The example drawing is copied 5,000 times into a tree of ten folders,
// which is dropped on the window (Qt's offscreen platform unless another is
// set). The time per file is taken in the first and in the last thousand
// files, each as the fastest run of a hundred files in it: a slowdown that
// grows with the log slows every run, a moment of other load on the machine
// only some. The same tree is then converted by the batch run alone, as the
// command-line tool runs it. Last, 100,000 lines are appended to the log of
// a new window and the growth of this process's resident memory is divided
// among them.
//
// The output ends with these lines for scripts:
//   window_pace=<time per file of the last thousand files to the first thousand>
//   batch_pace=<the same of the batch run alone>
//   window_over_batch=<the drop on the window to the batch run alone>
//   window_log_bytes_per_line=<number>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/BatchRun.h"
#include "app/Intake.h"
#include "app/Settings.h"
#include "app/window/Unit1.h"

using namespace talvine;

namespace {

constexpr int kFiles = 5000, kSpan = 1000, kRun = 100;

std::string Path(const QString& s) { return QFile::encodeName(s).toStdString(); }

// Sources, outputs, the work folder and the settings of a window that sends
// its outputs to one folder.
struct Place {
    QTemporaryDir root;
    QString src = root.path() + "/src/", out = root.path() + "/out/", work = root.path() + "/work/",
            program = root.path() + "/prog/";

    Place() {
        for (const QString& d : {src, out, work, program}) QDir().mkpath(d);
        TSettings s = DefaultSettings(program.toStdU16String());
        s.folderChoice = 4;
        s.EditFl1 = out.toStdU16String();
        SaveDatFile(Path(program + "talvine.dat"), s);
    }
    TFormOptions Options() const {
        TFormOptions o;
        o.settingsLoad = o.settingsSave = Path(program + "talvine.dat");
        o.programFolder = program;
        o.workFolder = Path(work);
        o.nativeDialogs = false;
        return o;
    }
};

long long ResidentBytes() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

// The time of a file in the span of kSpan files from `from`, as the fastest
// run of kRun files in it gives it; `ended` is when the last file ended.
double Fastest(const std::vector<qint64>& started, int from, qint64 ended) {
    qint64 best = -1;
    for (int at = from; at + kRun <= from + kSpan; at += kRun) {
        const qint64 end = at + kRun < kFiles ? started[static_cast<size_t>(at + kRun)] : ended;
        const qint64 t = end - started[static_cast<size_t>(at)];
        if (best < 0 || t < best) best = t;
    }
    return static_cast<double>(std::max<qint64>(best, 1)) / kRun;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Place place;
    const QString example = QStringLiteral(TALVINE_EXAMPLES_DIR "plan.jww");
    for (int i = 0; i < kFiles; ++i) {
        const QString folder = place.src + QString::number(i % 10) + "/";
        QDir().mkpath(folder);
        if (!QFile::copy(example, folder + QString::number(i) + ".jww")) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(example));
            return 1;
        }
    }

    std::vector<qint64> started(kFiles, -1);
    QElapsedTimer clock;
    qint64 window = 0;
    {
        TForm1 form(place.Options());
        form.show();
        form.Core().fileStartingHook = [&](int i, int) {
            if (i < kFiles) started[static_cast<size_t>(i)] = clock.nsecsElapsed();
        };
        clock.start();
        form.WMDropFiles({place.src});
        window = clock.nsecsElapsed();
        if (form.ListBox1->count() != 4 * kFiles + 1 || started.back() < 0) {
            std::fprintf(stderr, "the drop converted %d log lines' worth\n", form.ListBox1->count());
            return 1;
        }
    }
    const double early = Fastest(started, 0, window), late = Fastest(started, kFiles - kSpan, window);

    // The same tree by the batch run alone.
    QDir(place.out).removeRecursively();
    QDir().mkpath(place.out);
    TIntake intake;
    intake.treeUnderFolderName = true;
    PickupPath(Path(place.src), true, intake);
    TRunSettings s;
    s.folderMode = TOutputFolder::kSpecified;
    s.specifiedDir = Path(place.out);
    TRunCallbacks cb;
    cb.log = [](const std::u16string&) {};
    std::fill(started.begin(), started.end(), -1);
    cb.fileStarting = [&](int i, int, const std::string&) {
        if (i < kFiles) started[static_cast<size_t>(i)] = clock.nsecsElapsed();
    };
    TBatchRun run(Path(place.work));
    clock.restart();
    const TRunSummary alone = run.RunProc(intake, s, cb);
    const qint64 batch = clock.nsecsElapsed();
    const double batchEarly = Fastest(started, 0, batch), batchLate = Fastest(started, kFiles - kSpan, batch);
    if (alone.converted != kFiles) {
        std::fprintf(stderr, "the batch run converted %d files of %d\n", alone.converted, kFiles);
        return 1;
    }

    // 100,000 log lines in a new window.
    double perLine = 0;
    {
        TForm1 form(place.Options());
        form.show();
        form.ShowLogTab();
        const long long before = ResidentBytes();
        const std::u16string line = u"→ /srv/archive/現場A/平面/2024/F-2406-平面詳細図-改訂3.jww";
        for (int b = 0; b < 250; ++b) form.AppendLog(std::vector<std::u16string>(400, line));
        perLine = static_cast<double>(ResidentBytes() - before) / 100'000;
    }

    std::printf("%d files dropped on the window: %.2f s; the first %d %.3f ms per file, the last %d %.3f ms\n", kFiles,
                window / 1e9, kSpan, early / 1e6, kSpan, late / 1e6);
    std::printf("the same files by the batch run alone: %.2f s; the first %d %.3f ms per file, the last %d %.3f ms\n",
                batch / 1e9, kSpan, batchEarly / 1e6, kSpan, batchLate / 1e6);
    std::printf("window_pace=%.2f\n", late / early);
    std::printf("batch_pace=%.2f\n", batchLate / batchEarly);
    std::printf("window_over_batch=%.2f\n", static_cast<double>(window) / static_cast<double>(batch));
    std::printf("window_log_bytes_per_line=%.0f\n", perLine);
    return 0;
}
