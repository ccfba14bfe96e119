#include "app/Form1Core.h"

#include <algorithm>

#include "app/Render.h"
#include "jww/DisplayTables.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

std::u16string U16(const std::string& s) { return Utf8ToUtf16(s); }
std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::u16string Lower(const std::u16string& s) {
    std::u16string t = s;
    for (char16_t& c : t)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return t;
}

}  // namespace

TForm1Paths Form1PathsForExecutable(const std::string& executablePath, const std::string& homeFolder) {
    TForm1Paths paths;
    const TSettingsFiles files = LocateSettingsFiles(executablePath);
    paths.settingsLoad = files.load;
    paths.settingsSave = files.save;
    const std::string folder = executablePath.substr(0, executablePath.size() - FileNamePart(executablePath).size());
    paths.programFolder = IsInstalledProgramFolder(folder) ? AddPathDelim(homeFolder) : folder;
    return paths;
}

TForm1Core::TForm1Core(TForm1View& view, TForm1Paths paths) : view_(view), paths_(std::move(paths)) {}

TForm1Core::~TForm1Core() { FormClose(); }

// ---- Life cycle ------------------------------------------------------------

void TForm1Core::FormCreate() {
    created_ = true;
    workFolder_ = paths_.workFolder;
    if (workFolder_.empty()) {
        workFolder_ = MakeWorkFolder();
        ownWorkFolder_ = true;
    } else {
        RemoveStaleWorkFolders();
        platform::ForceDirectories(workFolder_);  // a failure shows later as a failed file
    }
    OpenDatFile(paths_.settingsLoad);

    styles_ = StyleList(view_.ToolkitStyles());
    if (std::find(styles_.begin(), styles_.end(), gstyle) == styles_.end()) gstyle = kDefaultStyleName;
    if (!view_.ApplyStyle(gstyle)) gstyle = kDefaultStyleName;
    view_.SetStyleList(styles_, static_cast<int>(std::find(styles_.begin(), styles_.end(), gstyle) - styles_.begin()));
    view_.SetWindowPlace({Fm1x, Fm1y, Fm1w, Fm1h});
}

std::vector<std::u16string> TForm1Core::StyleList(const std::vector<std::u16string>& toolkitStyles) {
    std::vector<std::u16string> names{kDefaultStyleName};
    for (const std::u16string& name : toolkitStyles)
        if (Lower(name) != Lower(kDefaultStyleName)) names.push_back(name);
    return names;
}

bool TForm1Core::FormShow(const std::vector<std::string>& arguments) {
    ResetUtilDefaults();
    ResetLayerAttrTable();
    run_ = std::make_unique<TBatchRun>(workFolder_);
    view_.AcceptDrops();
    ClearIntake();
    for (const std::string& arg : arguments) PickupFile(arg);
    return offered_;  // what was skipped is logged too
}

void TForm1Core::FormClose() {
    if (closed_) return;
    closed_ = true;
    run_.reset();  // empties and destroys the documents, deleting extracted images
    for (const std::string& f : comparisonFiles_) platform::RemoveFile(f);
    if (ownWorkFolder_)
        RemoveWorkFolder(workFolder_);
    else if (!workFolder_.empty())
        platform::RemoveDir(workFolder_);
    FList.clear();
    // A window that never got its controls filled (its creation failed) has
    // nothing to keep: the settings file stays as it is.
    if (created_) SaveDatFile(paths_.settingsSave);
}

bool TForm1Core::CloseRequested() {
    if (!running_) return true;
    closePending_ = true;
    return false;
}

// ---- Settings ----------------------------------------------------------------

void TForm1Core::OpenDatFile(const std::string& path) {
    const TSettings s = talvine::OpenDatFile(path, U16(paths_.programFolder));
    Fm1x = s.Fm1x;
    Fm1y = s.Fm1y;
    Fm1w = s.Fm1w;
    Fm1h = s.Fm1h;
    SetFolderChoice(s.folderChoice);
    view_.SetEditFl1Text(s.EditFl1);
    view_.SetLabel1Text(s.Label1);
    view_.SetLabelPreFolderText(s.LabelPreFolder);
    Fidx = s.Fidx;
    gstyle = s.gstyle;
    view_.SetCheckBox1Checked(s.CheckBox1);
}

TSettings TForm1Core::CurrentSettings() const {
    TSettings s;
    const TWindowPlace p = view_.WindowPlace();
    s.Fm1x = p.x;
    s.Fm1y = p.y;
    s.Fm1w = p.width;
    s.Fm1h = p.height;
    s.folderChoice = view_.FolderChoice();
    s.EditFl1 = view_.EditFl1Text();
    s.Label1 = view_.Label1Text();
    s.LabelPreFolder = view_.LabelPreFolderText();
    s.Fidx = Fidx;
    s.gstyle = gstyle;
    s.CheckBox1 = view_.CheckBox1Checked();
    return s;
}

bool TForm1Core::SaveDatFile(const std::string& path) const { return talvine::SaveDatFile(path, CurrentSettings()); }

// ---- Output-folder controls -----------------------------------------------

void TForm1Core::SetFolderChoice(int choice) {
    view_.SetFolderChoice(choice >= 1 && choice <= 5 ? choice : 0);
    RadioButtonFl1Click();  // the enabled state follows a choice set in code too
}

void TForm1Core::RadioButtonFl1Click() { view_.EnableSpecifiedFolder(view_.FolderChoice() == 4); }

std::string TForm1Core::FolderOrProgram(const std::u16string& folder) const {
    const std::string f = U8(folder);
    return !f.empty() && platform::DirExists(f) ? f : paths_.programFolder;
}

void TForm1Core::ButtonFl1Click() {
    const TFolderAnswer a = view_.BrowseForFolder(FolderOrProgram(view_.EditFl1Text()));
    if (a.status == TFolderAnswer::kAccepted) view_.SetEditFl1Text(U16(AddPathDelim(a.folder)));
}

void TForm1Core::ComboBoxSc1Select(int index) {
    // Applied at the next start.
    if (index >= 0 && static_cast<size_t>(index) < styles_.size()) gstyle = styles_[static_cast<size_t>(index)];
}

// ---- File intake -------------------------------------------------------------

void TForm1Core::ClearIntake() {
    FList.clear();
    subfolders_.clear();
    refused_.clear();
    offered_ = false;
}

void TForm1Core::PickupFile(const std::string& path) {
    if (path.empty()) return;
    offered_ = true;
    TIntake intake;
    intake.treeUnderFolderName = true;
    PickupPath(path, true, intake);  // dropped folders give their drawings and figures
    // FList may have been changed by hand: the trees stay only while they match it.
    if (subfolders_.size() == FList.size())
        subfolders_.insert(subfolders_.end(), intake.subfolders.begin(), intake.subfolders.end());
    FList.insert(FList.end(), intake.files.begin(), intake.files.end());
    refused_.insert(refused_.end(), intake.refused.begin(), intake.refused.end());
}

void TForm1Core::WMDropFiles(const std::vector<std::string>& paths) {
    if (running_) return;
    ClearIntake();
    for (const std::string& p : paths) PickupFile(p);
    if (offered_) RunProc();
}

void TForm1Core::Label3Click() {
    if (running_) return;
    TOpenDialogRequest request;
    const std::string start = U8(view_.Label1Text());
    request.startFolder = platform::DirExists(start) ? start : std::string();
    request.filter = kOpenFilter;
    request.filterIndex = std::clamp<int32_t>(Fidx, 1, kOpenFilterCount);
    request.fileName = kOpenDialogFileName;
    TOpenDialogAnswer answer;
    if (!view_.ExecuteOpenDialog(request, answer) || answer.files.empty()) return;
    const std::string& first = answer.files.front();
    view_.SetLabel1Text(U16(first.substr(0, first.size() - FileNamePart(first).size())));
    Fidx = answer.filterIndex;
    ClearIntake();
    for (const std::string& f : answer.files) PickupFile(f);
    if (offered_) RunProc();
}

// ---- The run -------------------------------------------------------------------

std::u16string TForm1Core::ProgressText(int index, int total, const std::string& src) {
    return U16(std::to_string(index + 1)) + u" / " + U16(std::to_string(total)) + u": " + U16(FileNamePart(src));
}

void TForm1Core::RunProc() {
    if (running_ || !run_ || (FList.empty() && !offered_)) return;

    TRunSettings s;
    const int choice = view_.FolderChoice();
    s.folderMode = choice >= 1 && choice <= 4 ? static_cast<TOutputFolder>(choice) : TOutputFolder::kAskEveryTime;
    if (s.folderMode == TOutputFolder::kDesktop) s.desktopDir = view_.DesktopFolder();
    if (s.folderMode == TOutputFolder::kDocuments) s.documentsDir = view_.DocumentsFolder();
    s.specifiedDir = U8(view_.EditFl1Text());
    s.preFolder = U8(view_.LabelPreFolderText());
    s.referencePoints = view_.CheckBox1Checked();

    TRunCallbacks cb;
    cb.log = [this](const std::u16string& line) {
        pendingLog_.push_back(line);
        ++logLines_;
    };
    cb.clearLog = [this] {
        view_.ClearLog();
        pendingLog_.clear();
        pendingStatus_.clear();
        linesShown_ = false;
        logLines_ = 0;
        logFiles_.clear();
    };
    cb.runStarting = [this](int) { view_.ShowLogTab(); };
    cb.fileStarting = [this](int i, int n, const std::string& src) {
        if (fileStartingHook) fileStartingHook(i, n);
        pendingStatus_ = ProgressText(i, n, src);
        logFiles_.push_back(TLogFile{logLines_, logLines_, src, {}, false});
        ShowProgress(false);
    };
    cb.fileDone = [this](const TFileResult& r) {
        if (!logFiles_.empty()) {
            TLogFile& f = logFiles_.back();
            f.dst = r.dst;
            f.done = r.done;
        }
        ShowProgress(false);
    };
    cb.abortRequested = [this] { return view_.PollEscape() || closePending_; };
    cb.askFolder = [this](const std::string& start) {
        TFolderAnswer a = view_.BrowseForFolder(FolderOrProgram(U16(start)));
        if (a.status == TFolderAnswer::kAccepted) {
            view_.SetLabelPreFolderText(U16(AddPathDelim(a.folder)));
            a.folder = U8(view_.LabelPreFolderText());
        }
        return a;
    };
    cb.folderMissing = [this](const std::u16string& message) { view_.ShowFolderMissing(message); };
    cb.saveSettings = [this] { SaveDatFile(paths_.settingsSave); };
    cb.showLog = [this] {
        ShowProgress(true);
        view_.ShowLogTab();
    };

    struct Running {
        TForm1Core& core;
        explicit Running(TForm1Core& c) : core(c) {
            core.running_ = true;
            core.view_.BeginRun();
        }
        ~Running() {
            core.view_.EndRun();
            core.view_.SetStatusText(kStatusBarText);
            core.running_ = false;
        }
    };
    TIntake input;
    input.files = FList;
    if (subfolders_.size() == FList.size()) input.subfolders = subfolders_;
    input.refused = refused_;
    {
        Running guard(*this);
        run_->RunProc(input, s, cb);
        ShowProgress(true);  // a run that ended before its first file
    }
    // The last file's lines end where the log does; the summary follows.
    for (size_t i = 0; i + 1 < logFiles_.size(); ++i)
        logFiles_[i].lastLine = logFiles_[i + 1].firstLine - 1;
    if (!logFiles_.empty()) logFiles_.back().lastLine = std::max(logFiles_.back().firstLine, logLines_ - 2);
    if (closePending_) view_.CloseLater();
}

void TForm1Core::ShowProgress(bool now) {
    const auto t = std::chrono::steady_clock::now();
    if (!now && linesShown_ && t - lastShown_ < std::chrono::milliseconds(showEveryMs)) return;
    lastShown_ = t;
    if (!pendingStatus_.empty()) {
        view_.SetStatusText(pendingStatus_);
        pendingStatus_.clear();
    }
    if (!pendingLog_.empty()) {
        view_.AppendLog(pendingLog_);
        pendingLog_.clear();
        linesShown_ = true;
    }
}

// ---- The log's context menu ---------------------------------------------------

const TForm1Core::TLogFile* TForm1Core::LogFileAt(int line) const {
    for (const TLogFile& f : logFiles_)
        if (line >= f.firstLine && line <= f.lastLine) return &f;
    return nullptr;
}

bool TForm1Core::OpenOutputFolder(int line) {
    const TLogFile* f = LogFileAt(line);
    if (f == nullptr || !f->done) return false;
    size_t n = f->dst.size();
    while (n > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(f->dst[n - 1]))) --n;
    return view_.OpenWithSystem(f->dst.substr(0, n));
}

bool TForm1Core::ShowComparison(int line) {
    const TLogFile* f = LogFileAt(line);
    if (f == nullptr || workFolder_.empty()) return false;
    std::string svg, error;
    if (!RenderFile(f->src, true, TRenderOptions{}, svg, error)) {
        view_.SetStatusText(U16(error));
        return false;
    }
    std::string name = FileNamePart(f->src);
    const std::string path = AddPathDelim(workFolder_) + "compare-" + std::to_string(++comparisons_) + "-" + name + ".svg";
    if (!WriteSvgFile(path, svg)) return false;
    comparisonFiles_.push_back(path);
    return view_.OpenWithSystem(path);
}

}  // namespace talvine
