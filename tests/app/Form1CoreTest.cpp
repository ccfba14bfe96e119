// The window's logic through a fake view: the life cycle, settings and
// controls, intake with folders, the output-folder choice, progress, the
// log and closing during a run. No window toolkit.
#include "app/Form1Core.h"

#include <filesystem>
#include <functional>

#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

// Controls as plain fields; every call into the view is recorded.
struct FakeView : TForm1View {
    int choice = 0;
    bool specifiedEnabled = true;
    std::u16string edit, label1, preFolder;
    bool check = false;
    std::vector<std::u16string> styleList;
    int styleSelected = -2;
    TWindowPlace place{};
    std::vector<std::u16string> toolkitStyles{u"Fusion", u"windows"};
    std::vector<std::u16string> applied;
    std::string desktop, documents;
    bool drops = false;
    std::vector<std::u16string> log;
    std::vector<std::string> events;  // tab, status and run events in order
    std::u16string status;
    std::vector<std::u16string> messages;
    std::function<TFolderAnswer(const std::string&)> folderDialog;
    std::function<bool(const TOpenDialogRequest&, TOpenDialogAnswer&)> openDialog;
    std::function<bool()> escape = [] { return false; };
    int closeLater = 0;

    int FolderChoice() const override { return choice; }
    void SetFolderChoice(int c) override { choice = c; }
    void EnableSpecifiedFolder(bool e) override { specifiedEnabled = e; }
    std::u16string EditFl1Text() const override { return edit; }
    void SetEditFl1Text(const std::u16string& t) override { edit = t; }
    std::u16string Label1Text() const override { return label1; }
    void SetLabel1Text(const std::u16string& t) override { label1 = t; }
    std::u16string LabelPreFolderText() const override { return preFolder; }
    void SetLabelPreFolderText(const std::u16string& t) override { preFolder = t; }
    bool CheckBox1Checked() const override { return check; }
    void SetCheckBox1Checked(bool c) override { check = c; }
    void SetStyleList(const std::vector<std::u16string>& n, int s) override { styleList = n, styleSelected = s; }
    TWindowPlace WindowPlace() const override { return place; }
    void SetWindowPlace(const TWindowPlace& p) override { place = p; }
    std::vector<std::u16string> ToolkitStyles() const override { return toolkitStyles; }
    bool ApplyStyle(const std::u16string& n) override {
        applied.push_back(n);
        return n != u"Broken";
    }
    std::string DesktopFolder() const override { return desktop; }
    std::string DocumentsFolder() const override { return documents; }
    void AcceptDrops() override { drops = true; }
    void ClearLog() override { log.clear(); }
    void AppendLog(const std::vector<std::u16string>& lines) override {
        log.insert(log.end(), lines.begin(), lines.end());
        events.push_back("log " + std::to_string(lines.size()));
    }
    void ShowLogTab() override { events.push_back("tab"); }
    void SetStatusText(const std::u16string& t) override {
        status = t;
        events.push_back("status " + Utf16ToUtf8(t));
    }
    void ShowFolderMissing(const std::u16string& m) override { messages.push_back(m); }
    TFolderAnswer BrowseForFolder(const std::string& start) override {
        return folderDialog ? folderDialog(start) : TFolderAnswer{TFolderAnswer::kCancelled, {}};
    }
    bool ExecuteOpenDialog(const TOpenDialogRequest& r, TOpenDialogAnswer& a) override {
        return openDialog && openDialog(r, a);
    }
    void BeginRun() override { events.push_back("begin"); }
    void EndRun() override { events.push_back("end"); }
    bool PollEscape() override { return escape(); }
    void CloseLater() override { ++closeLater; }
    std::vector<std::string> opened;
    bool OpenWithSystem(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
};

struct CoreFixture {
    TempDir root, src, out;
    FakeView view;
    TForm1Paths paths;

    CoreFixture() {
        paths.settingsLoad = paths.settingsSave = root.File("talvine.dat");
        paths.programFolder = root.path();
        paths.workFolder = root.File("work/");
        view.desktop = out.path();
    }
    void Settings(int choice, const std::string& specified = "") {
        TSettings s = DefaultSettings(Utf8ToUtf16(root.path()));
        s.folderChoice = choice;
        s.EditFl1 = Utf8ToUtf16(specified);
        s.gstyle = u"Fusion";
        s.Fm1x = 7;
        ASSERT_TRUE(SaveDatFile(paths.settingsLoad, s));
    }
    std::string Drawing(const std::string& name) {
        fs::create_directories(fs::path(src.File(name)).parent_path());
        TJwwData d = SampleDrawing(700);
        EXPECT_TRUE(d.FileOut(src.File(name), 700));
        return src.File(name);
    }
};

TEST(Form1Core, CreateShowsTheSettingsAndCloseSavesThem) {
    CoreFixture f;
    f.Settings(4, f.out.path());
    {
        TForm1Core core(f.view, f.paths);
        core.FormCreate();
        EXPECT_EQ(f.view.choice, 4);
        EXPECT_TRUE(f.view.specifiedEnabled);  // follows the choice set in code
        EXPECT_EQ(f.view.edit, Utf8ToUtf16(f.out.path()));
        EXPECT_EQ(f.view.place.x, 7);
        // "Windows" first, the toolkit's own "windows" not twice.
        EXPECT_EQ(f.view.styleList, (std::vector<std::u16string>{u"Windows", u"Fusion"}));
        EXPECT_EQ(f.view.styleSelected, 1);
        EXPECT_EQ(f.view.applied, std::vector<std::u16string>{u"Fusion"});
        // A missing file is logged as skipped by the run that follows.
        EXPECT_TRUE(core.FormShow({f.src.File("none.jww")}));
        EXPECT_TRUE(f.view.drops);

        f.view.choice = 3;
        core.RadioButtonFl1Click();
        EXPECT_FALSE(f.view.specifiedEnabled);
        core.ComboBoxSc1Select(0);
        f.view.place = {1, 2, 300, 400};
        f.view.check = true;
    }  // closes
    const TSettings s = OpenDatFile(f.paths.settingsSave, u"");
    EXPECT_EQ(s.folderChoice, 3);
    EXPECT_EQ(s.gstyle, u"Windows");
    EXPECT_TRUE(s.Fm1x == 1 && s.Fm1y == 2 && s.Fm1w == 300 && s.Fm1h == 400);
    EXPECT_TRUE(s.CheckBox1);
    EXPECT_FALSE(fs::exists(f.paths.workFolder));  // removed when empty

    // A style the toolkit cannot apply falls back to "Windows".
    FakeView v;
    v.toolkitStyles = {u"Broken"};
    TSettings b = DefaultSettings(u"");
    b.gstyle = u"Broken";
    ASSERT_TRUE(SaveDatFile(f.paths.settingsLoad, b));
    TForm1Core core(v, f.paths);
    core.FormCreate();
    EXPECT_EQ(core.gstyle, u"Windows");
}

// A window whose creation failed before FormCreate leaves the settings
// file as it was, and the places come from the program's path.
TEST(Form1Core, AWindowNeverCreatedKeepsTheSettingsFile) {
    CoreFixture f;
    f.Settings(4, f.out.path());
    const Bytes before = ReadAll(f.paths.settingsLoad);
    { TForm1Core core(f.view, f.paths); }
    EXPECT_EQ(ReadAll(f.paths.settingsSave), before);

    const TForm1Paths own = Form1PathsForExecutable(f.root.File("talvine.exe"), f.out.path());
    EXPECT_EQ(own.settingsLoad, f.root.File("talvine.dat"));
    EXPECT_EQ(own.settingsSave, own.settingsLoad);
    EXPECT_EQ(own.programFolder, f.root.path());
}

TEST(Form1Core, ARunShowsTheLogTabFirstAndProgressPerFile) {
    CoreFixture f;
    f.Settings(1);
    const std::string a = f.Drawing("a.jww"), b = f.Drawing("sub/b.jws.jww");
    TForm1Core core(f.view, f.paths);
    core.FormCreate();
    ASSERT_TRUE(core.FormShow({a, f.src.path()}));  // a folder gives its drawings
    EXPECT_EQ(core.FList, (std::vector<std::string>{a, a, b}));
    // The first file's lines at once, the rest together at the end: a run
    // shorter than the interval shows nothing between.
    core.showEveryMs = 1'000'000;
    core.RunProc();
    const std::vector<std::string> expected = {"begin", "tab",
                                               "status 1 / 3: a.jww", "log 4",
                                               "status 3 / 3: b.jws.jww", "log 9", "tab", "end",
                                               "status " + Utf16ToUtf8(kStatusBarText)};
    EXPECT_EQ(f.view.events, expected);
    EXPECT_EQ(f.view.log[1], u"→ " + Utf8ToUtf16(f.out.File("a.jww")));
    EXPECT_EQ(f.view.log[12].rfind(u"変換 3・失敗 0", 0), 0u);
    // The dropped folder's files keep its tree below a folder of its name.
    const std::string name = fs::path(FsPath(f.src.path())).parent_path().filename().string();
    EXPECT_TRUE(fs::exists(f.out.File(name + "/a.jww")));
    EXPECT_TRUE(fs::exists(f.out.File(name + "/sub/b.jws.jww")));
    EXPECT_EQ(f.view.log[5], u"→ " + Utf8ToUtf16(f.out.File(name + "/a.jww")));
    // Shown after every file when it is always time.
    f.view.events.clear();
    core.showEveryMs = 0;
    core.RunProc();
    EXPECT_EQ(std::count(f.view.events.begin(), f.view.events.end(), "log 4"), 3);
}

// A right click on a file's lines of the log opens its output folder or
// shows it before and after its conversion.
TEST(Form1Core, TheLogsMenuOpensTheOutputFolderAndTheComparison) {
    CoreFixture f;
    f.Settings(1);
    const std::string a = f.Drawing("a.jww");
    WriteAll(f.src.File("bad.jww"), Bytes{'x'});
    TForm1Core core(f.view, f.paths);
    core.FormCreate();
    ASSERT_TRUE(core.FormShow({a, f.src.File("bad.jww")}));
    core.RunProc();
    // a.jww: lines 0-3, bad.jww: lines 4-8 (with its reason), the summary 9.
    ASSERT_NE(core.LogFileAt(3), nullptr);
    EXPECT_EQ(core.LogFileAt(3)->src, a);
    EXPECT_EQ(core.LogFileAt(4)->src, f.src.File("bad.jww"));
    EXPECT_EQ(core.LogFileAt(9), nullptr);
    EXPECT_TRUE(core.OpenOutputFolder(1));
    EXPECT_FALSE(core.OpenOutputFolder(5));  // nothing was written
    EXPECT_FALSE(core.ShowComparison(5));    // nor can it be drawn
    ASSERT_TRUE(core.ShowComparison(0));
    ASSERT_EQ(f.view.opened.size(), 2u);
    EXPECT_EQ(f.view.opened[0], f.out.path());
    const std::string svg = f.view.opened[1];
    EXPECT_EQ(svg.rfind(core.WorkFolder(), 0), 0u);
    const Bytes picture = ReadAll(svg);
    EXPECT_NE(std::string(picture.begin(), picture.end()).find("変換後"), std::string::npos);
    core.FormClose();
    EXPECT_FALSE(fs::exists(svg));  // pictures go with the work folder
}

TEST(Form1Core, FolderChoiceMessagesAndTheAskedFolder) {
    CoreFixture f;
    const std::string a = f.Drawing("a.jww");
    TForm1Core core(f.view, f.paths);
    core.FormCreate();
    core.FormShow({});

    f.view.choice = 4;
    f.view.edit.clear();
    core.WMDropFiles({a});
    ASSERT_EQ(f.view.messages.size(), 1u);
    EXPECT_EQ(f.view.messages[0], kFolderEmptyMessage);  // not "/"
    f.view.edit = Utf8ToUtf16(f.out.File("gone"));
    core.WMDropFiles({a});
    EXPECT_EQ(f.view.messages[1], std::u16string(kFolderMissingMessage) + u"\r\n" + Utf8ToUtf16(f.out.File("gone/")));
    EXPECT_TRUE(f.view.log.empty());

    // Ask every time: the dialog starts at the last folder (or the program's).
    f.view.choice = 5;
    f.view.preFolder = u"/no/such/folder/";
    std::string started;
    f.view.folderDialog = [&](const std::string& s) {
        started = s;
        return TFolderAnswer{TFolderAnswer::kAccepted, f.out.path().substr(0, f.out.path().size() - 1)};
    };
    core.WMDropFiles({a});
    EXPECT_EQ(started, f.root.path());
    EXPECT_EQ(f.view.preFolder, Utf8ToUtf16(f.out.path()));
    EXPECT_TRUE(fs::exists(f.out.File("a.jww")));

    // ButtonFl1 sets the specified folder with its separator.
    f.view.edit.clear();
    core.ButtonFl1Click();
    EXPECT_EQ(f.view.edit, Utf8ToUtf16(f.out.path()));
}

TEST(Form1Core, OpenDialogRemembersItsFolderAndFilter) {
    CoreFixture f;
    f.Settings(1);
    const std::string a = f.Drawing("a.jww");
    TForm1Core core(f.view, f.paths);
    core.FormCreate();
    core.FormShow({});
    core.Fidx = 9;
    f.view.label1 = u"/no/such/folder/";
    TOpenDialogRequest seen;
    f.view.openDialog = [&](const TOpenDialogRequest& r, TOpenDialogAnswer&) {
        seen = r;
        return false;
    };
    core.Label3Click();
    EXPECT_EQ(seen.startFolder, "");  // not a folder: the front end's default
    EXPECT_EQ(seen.filterIndex, kOpenFilterCount);
    EXPECT_EQ(seen.fileName, u"\u3000");
    EXPECT_EQ(core.Fidx, 9);  // cancelled: unchanged

    f.view.openDialog = [&](const TOpenDialogRequest&, TOpenDialogAnswer& ans) {
        ans.files = {a, f.src.File("notes.txt")};
        ans.filterIndex = 2;
        return true;
    };
    core.Label3Click();
    EXPECT_EQ(f.view.label1, Utf8ToUtf16(f.src.path()));
    EXPECT_EQ(core.Fidx, 2);
    EXPECT_EQ(core.FList, std::vector<std::string>{a});
    EXPECT_TRUE(fs::exists(f.out.File("a.jww")));
}

// What a drop leaves alone is logged in the words of the command-line tool
// and counted as it counts it; a drop without a drawing says so.
TEST(Form1Core, ADropWithoutDrawingsLogsWhatItSkipped) {
    CoreFixture f;
    f.Settings(5);  // no folder dialog when nothing is converted
    WriteAll(f.src.File("notes.txt"), Bytes{'x'});
    fs::create_directories(FsPath(f.src.File("empty")));
    TForm1Core core(f.view, f.paths);
    core.FormCreate();
    core.FormShow({});
    core.WMDropFiles({f.src.File("notes.txt"), f.src.File("empty")});
    const std::vector<std::u16string> expected = {
        Utf8ToUtf16(f.src.File("notes.txt")), u"→ （書き出しなし）", u"\u3000…… スキップ",
        u"\u3000原因：.jww・.jws のファイルではありません", u"変換する .jww・.jws のファイルが見つかりませんでした",
        u"変換 0・失敗 0・スキップ 1、寸法 0 を分解"};
    EXPECT_EQ(f.view.log, expected);
    EXPECT_EQ(std::count(f.view.events.begin(), f.view.events.end(), "tab"), 2);
}

TEST(Form1Core, EscapeAndClosingStopTheRunBeforeTheNextFile) {
    CoreFixture f;
    f.Settings(1);
    const std::string a = f.Drawing("a.jww"), b = f.Drawing("b.jww");
    TForm1Core core(f.view, f.paths);
    core.FormCreate();
    core.FormShow({});
    int polls = 0;
    f.view.escape = [&] { return ++polls == 2; };
    core.WMDropFiles({a, b});
    EXPECT_EQ(f.view.log[4], kLogAborted);
    EXPECT_FALSE(fs::exists(f.out.File("b.jww")));

    // A close request during a run: refused, the run stops, then the window closes.
    f.view.escape = [&] {
        EXPECT_FALSE(core.CloseRequested());
        f.view.escape = [] { return false; };
        return false;
    };
    core.WMDropFiles({a, b});
    EXPECT_EQ(f.view.closeLater, 1);
    EXPECT_FALSE(fs::exists(f.out.File("b.jww")));
    EXPECT_TRUE(core.CloseRequested());
}

}  // namespace
}  // namespace talvine::test
