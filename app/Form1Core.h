// The main window's logic, free of any window toolkit: the life cycle
// (create, show, close), the settings and the controls that show them, file
// intake (PickupFile, drops with folders, the open-file dialog), the
// output-folder choice and its message, and the run with its progress, log,
// reasons and summary. A front end (the Qt window; a native Windows one)
// builds the controls, implements TForm1View over them, and forwards its
// events to TForm1Core; it holds no logic of its own.
//
// What a front end does:
//   - construct TForm1Core(view, paths), then call FormCreate() once its
//     controls exist;
//   - on the first show, call FormShow(arguments); when it returns true,
//     call RunProc() once the window is on screen (from the event loop);
//   - forward the events: a click on any of the five radio buttons to
//     RadioButtonFl1Click(), ButtonFl1 to ButtonFl1Click(), a selection in
//     ComboBoxSc1 to ComboBoxSc1Select(index), a click on Label3 to
//     Label3Click(), dropped paths to WMDropFiles(paths);
//   - on a request to close, ask CloseRequested(): false means a run goes
//     on (it stops before the next file and the core calls CloseLater());
//     on true call FormClose() and close.
// Paths are UTF-8; texts shown in controls are UTF-16.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/BatchRun.h"
#include "app/Settings.h"

namespace talvine {

// The window's title and caption (the caption names the version).
inline constexpr char kApplicationTitle[] = "Talvine";
inline constexpr char kWindowCaption[] = "Talvine Ver.1.10";
inline constexpr char16_t kFolderDialogText[] = u"変換後のファイルを保存するフォルダを指定して下さい";
inline constexpr char16_t kOpenDialogTitle[] = u"変換元ファイルを指定";
// The filters of the open-file dialog: description|patterns pairs.
inline constexpr char16_t kOpenFilter[] =
    u"Jw_cad ファイル(*.jw?)|*.jww;*.jws|Jw_cad 図面ファイル|*.jww|Jw_cad 図形ファイル|*.jws|全てのファイル(*.*)|*.*";
inline constexpr int kOpenFilterCount = 4;
inline constexpr char16_t kOpenDialogFileName[] = u"\u3000";
inline constexpr char16_t kStatusBarText[] = u"※保存先フォルダに同じ名前のファイルが存在する場合は名前に枝番が付きます";

// The window's outer frame, as the settings file keeps it.
struct TWindowPlace {
    int32_t x = 50, y = 50, width = 480, height = 480;
};

// The open-file dialog: what to show, and what the user picked.
struct TOpenDialogRequest {
    std::string startFolder;   // "" or not a folder: the front end's own default
    std::u16string filter;     // kOpenFilter
    int filterIndex = 1;       // 1-based, within 1..kOpenFilterCount
    std::u16string fileName;   // kOpenDialogFileName
};
struct TOpenDialogAnswer {
    std::vector<std::string> files;  // full paths, in the dialog's order
    int filterIndex = 1;             // the filter left selected, 1-based
};

// What a front end supplies.
class TForm1View {
public:
    virtual ~TForm1View() = default;

    // ---- Controls that hold settings (set without raising their events) ----
    // The checked output-folder choice: 1..5 for RadioButtonFl1..5, 0 for none.
    virtual int FolderChoice() const = 0;
    virtual void SetFolderChoice(int choice) = 0;
    // EditFl1 and ButtonFl1 together.
    virtual void EnableSpecifiedFolder(bool enabled) = 0;
    virtual std::u16string EditFl1Text() const = 0;
    virtual void SetEditFl1Text(const std::u16string& text) = 0;
    virtual std::u16string Label1Text() const = 0;  // the hidden label
    virtual void SetLabel1Text(const std::u16string& text) = 0;
    virtual std::u16string LabelPreFolderText() const = 0;
    virtual void SetLabelPreFolderText(const std::u16string& text) = 0;
    virtual bool CheckBox1Checked() const = 0;
    virtual void SetCheckBox1Checked(bool checked) = 0;
    // Fills ComboBoxSc1 with names and selects item selected (-1: none).
    virtual void SetStyleList(const std::vector<std::u16string>& names, int selected) = 0;
    // The outer frame of the window: where it is and how large.
    virtual TWindowPlace WindowPlace() const = 0;
    virtual void SetWindowPlace(const TWindowPlace& place) = 0;

    // ---- The toolkit ----
    // Its themes, besides the system's own look ("Windows").
    virtual std::vector<std::u16string> ToolkitStyles() const = 0;
    // Applies a style to the application ("Windows": the system's look);
    // false when it cannot.
    virtual bool ApplyStyle(const std::u16string& name) = 0;
    // This user's desktop and documents folders (an equivalent per-user
    // folder, such as the home folder, on a system without them).
    virtual std::string DesktopFolder() const = 0;
    virtual std::string DocumentsFolder() const = 0;
    // Starts accepting files dropped from the shell.
    virtual void AcceptDrops() = 0;

    // ---- Feedback ----
    virtual void ClearLog() = 0;
    // Appends lines to ListBox1 at once, scrolls to the last and repaints
    // now. While a run goes the core hands over the lines gathered since
    // the last call, at most a few times a second (TForm1Core::kShowEveryMs).
    virtual void AppendLog(const std::vector<std::u16string>& lines) = 0;
    virtual void ShowLogTab() = 0;      // PageControl1 to tab 1
    virtual void SetStatusText(const std::u16string& text) = 0;  // StatusBar1
    // The message box of an unusable specified folder (lines separated by CR LF).
    virtual void ShowFolderMissing(const std::u16string& message) = 0;

    // ---- Dialogs ----
    // The folder dialog (text kFolderDialogText), opened at start.
    virtual TFolderAnswer BrowseForFolder(const std::string& start) = 0;
    // The open-file dialog (title kOpenDialogTitle, multiple selection, files
    // must exist); false when cancelled.
    virtual bool ExecuteOpenDialog(const TOpenDialogRequest& request, TOpenDialogAnswer& answer) = 0;

    // ---- During a run ----
    // From BeginRun to EndRun no user input reaches the window's controls,
    // but a press of Escape is noted.
    virtual void BeginRun() = 0;
    virtual void EndRun() = 0;
    // Takes the input that is pending (so that the window repaints and
    // Escape is seen); true when Escape was pressed since BeginRun.
    virtual bool PollEscape() = 0;
    // Closes the window once control is back in its event loop.
    virtual void CloseLater() = 0;

    // ---- The system ----
    // Opens a folder or file with the system's own program for it (the file
    // manager, the picture viewer); false when it cannot.
    virtual bool OpenWithSystem(const std::string& path) = 0;
};

// Where the window keeps its state.
struct TForm1Paths {
    std::string settingsLoad;  // the settings file read at creation
    std::string settingsSave;  // the settings file written
    // The program's folder with a trailing separator: the default
    // ask-every-time folder and the folder dialogs' fallback start.
    std::string programFolder;
    std::string workFolder;  // bound images while converting; "" makes one of its own
};

// The places of the program at executablePath: its settings file
// (LocateSettingsFiles), and its own folder as the program folder, or
// homeFolder for an installed copy (IsInstalledProgramFolder), whose
// folder the user cannot write. The work folder is left to the core.
TForm1Paths Form1PathsForExecutable(const std::string& executablePath, const std::string& homeFolder);

class TForm1Core {
public:
    TForm1Core(TForm1View& view, TForm1Paths paths);
    ~TForm1Core();
    TForm1Core(const TForm1Core&) = delete;
    TForm1Core& operator=(const TForm1Core&) = delete;

    // ---- Life cycle ----
    // Work folder, settings into the controls, the style list and style,
    // the window's place.
    void FormCreate();
    // Documents, drops, and the command line (absolute paths) through
    // PickupFile. True when the command line named anything: the front end
    // then calls RunProc once the window is on screen.
    bool FormShow(const std::vector<std::string>& arguments);
    // Documents, work folder, settings (saved only when FormCreate ran).
    // Once only; also run by the destructor.
    void FormClose();
    // False while a run goes: the run then stops before its next file and
    // the window is closed afterwards (CloseLater).
    bool CloseRequested();

    // ---- Events ----
    void RadioButtonFl1Click();
    void ButtonFl1Click();  // BrowseForFolder1
    void ComboBoxSc1Select(int index);
    void Label3Click();
    void WMDropFiles(const std::vector<std::string>& paths);

    // ---- Intake and the run ----
    // Admits an existing .jww or .jws file (extension in any case) into
    // FList; a folder gives its .jww and .jws files, sorted by path, at any
    // depth, and their outputs keep its tree below a folder of its name.
    // Anything else is noted, and the next run logs it as skipped.
    void PickupFile(const std::string& path);
    // Converts FList; nothing while a run goes or when nothing was offered
    // since the last intake. An intake without a drawing or figure logs
    // what it skipped and that none was found.
    void RunProc();
    bool Running() const { return running_; }

    // ---- The log's context menu ----
    // The lines of the log that tell of one file, from the first (its
    // source) to its last; the summary belongs to none.
    struct TLogFile {
        int firstLine = 0, lastLine = 0;
        std::string src, dst;  // dst: "" when none was named
        bool done = false;     // the output exists
    };
    // The file that line (0-based) of the log tells of; nullptr for none.
    const TLogFile* LogFileAt(int line) const;
    // "開く": the output's folder in the file manager (converted files only).
    bool OpenOutputFolder(int line);
    // "比較を表示": the file before and after its conversion, side by side,
    // as a picture in the work folder, opened in the system's viewer.
    bool ShowComparison(int line);
    static constexpr char16_t kOpenFolderItem[] = u"開く";
    static constexpr char16_t kCompareItem[] = u"比較を表示";

    // ---- Settings ----
    void OpenDatFile(const std::string& path);
    bool SaveDatFile(const std::string& path) const;
    TSettings CurrentSettings() const;
    const TForm1Paths& Paths() const { return paths_; }
    const std::string& WorkFolder() const { return workFolder_; }
    const std::vector<std::u16string>& StyleNames() const { return styles_; }

    // ---- Fields ----
    int32_t Fm1x = 50, Fm1y = 50, Fm1w = 480, Fm1h = 480;  // the outer frame as loaded
    std::u16string gstyle = kDefaultStyleName;  // the style applied at start
    int32_t Fidx = 1;                           // filter index of the open-file dialog
    std::vector<std::string> FList;             // paths admitted by PickupFile
    int FListN() const { return static_cast<int>(FList.size()); }

    // The screen styles offered: "Windows" (the system's look) first, then
    // the toolkit's own, without a second "Windows".
    static std::vector<std::u16string> StyleList(const std::vector<std::u16string>& toolkitStyles);
    // The status text while file index of total is converted: "n / N: name".
    static std::u16string ProgressText(int index, int total, const std::string& src);
    // While a run goes, the log's new lines and the status are shown at
    // most this often (the first file's lines at once, the rest at the
    // end): a window that repainted after every file would spend more time
    // on that than on small files.
    static constexpr int kShowEveryMs = 200;
    int showEveryMs = kShowEveryMs;
    // For tests: called before each file of a run (index, total).
    std::function<void(int, int)> fileStartingHook;

private:
    void SetFolderChoice(int choice);
    std::string FolderOrProgram(const std::u16string& folder) const;

    TForm1View& view_;
    TForm1Paths paths_;
    std::string workFolder_;
    bool ownWorkFolder_ = false;
    std::vector<std::u16string> styles_;
    std::unique_ptr<TBatchRun> run_;  // the two documents, from show to close
    // What the intake noted besides FList: the tree of each file below the
    // folder it came from (kept while it matches FList), the inputs it
    // refused, and whether anything was offered at all.
    std::vector<std::string> subfolders_;
    std::vector<TIntake::Refusal> refused_;
    bool offered_ = false;
    void ClearIntake();
    int logLines_ = 0;
    std::vector<TLogFile> logFiles_;
    // What the view has not shown yet, and when it last showed anything.
    std::vector<std::u16string> pendingLog_;
    std::u16string pendingStatus_;
    bool linesShown_ = false;
    std::chrono::steady_clock::time_point lastShown_;
    // Hands the pending lines and status to the view: now, or when it is time.
    void ShowProgress(bool now);
    int comparisons_ = 0;
    std::vector<std::string> comparisonFiles_;  // removed at close
    bool created_ = false;  // FormCreate ran
    bool closed_ = false;
    bool running_ = false;
    bool closePending_ = false;
};

}  // namespace talvine
