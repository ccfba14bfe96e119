// The main window TForm1 in Qt 6 Widgets: the output-folder choice, the
// drop area and the link that opens the file dialog, the settings and log
// tabs, and the status bar. Its logic (life cycle, settings, intake, the
// run and its feedback) is TForm1Core's (app/Form1Core.h); this class
// builds the widgets, maps them onto TForm1View and forwards its events.
//
// A run happens on this thread, one file after another. The files' lines
// appear as they finish, a few times a second, and the status bar shows
// "n / N: name", but user
// input does not reach the window: while a run goes, an application-wide
// event filter swallows every mouse, keyboard and drop event meant for this
// window and only notes whether Escape was pressed. Pending input is taken
// from the system queue just before each file, so a press of Escape at any
// moment stops the run before the next file, never inside one. Closing the
// window during a run stops it the same way; the window closes when the run
// has ended.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/Form1Core.h"
#include "app/Settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;

namespace talvine {

// Where the window keeps its state; FromApplication() gives the real
// program's places, tests give their own.
struct TFormOptions {
    std::string settingsLoad;  // the settings file read at creation
    std::string settingsSave;  // the settings file written
    // The program's folder with a trailing separator: the default
    // ask-every-time folder and the folder dialogs' fallback start. For an
    // installed copy whose folder cannot be written, the user's home.
    QString programFolder;
    std::string workFolder;  // bound images while converting; "" creates one
    QStringList arguments;   // the command line after the program's own path
    bool nativeDialogs = true;

    static TFormOptions FromApplication();
};

class TForm1 : public QMainWindow, public TForm1View {
    Q_OBJECT

    // First, so that the references below bind to a constructed core.
    TFormOptions options_;
    TForm1Core core_;

public:
    explicit TForm1(TFormOptions options, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Components ----
    QGroupBox* GroupBoxFold;
    QRadioButton* RadioButtonFl1;  // デスクトップ
    QRadioButton* RadioButtonFl2;  // マイドキュメント
    QRadioButton* RadioButtonFl3;  // 元ファイルのフォルダ
    QRadioButton* RadioButtonFl4;  // 指定フォルダ
    QLineEdit* EditFl1;
    QPushButton* ButtonFl1;
    QRadioButton* RadioButtonFl5;  // 毎回指定
    QLabel* LabelPreFolder;
    QFrame* Panel1;
    QLabel* Label2;
    QLabel* Label3;  // the link that opens the file dialog
    QLabel* Label1;  // hidden: the folder of the file last picked
    QTabWidget* PageControl1;
    QWidget* TabSheet1;  // 設定(&S)
    QLabel* Label7;
    QComboBox* ComboBoxSc1;
    QLabel* Label8;
    QCheckBox* CheckBox1;
    QLabel* Label4;
    QWidget* TabSheet2;  // ログ(&L)
    QListWidget* ListBox1;
    QStatusBar* StatusBar1;
    QLabel* StatusBar1Text;
    QFileDialog* OpenDialog1;

    // ---- Fields (the core's) ----
    TForm1Core& Core() { return core_; }
    std::u16string& gstyle;  // the style applied at start
    int32_t& Fidx;
    std::vector<std::string>& FList;  // paths admitted by PickupFile
    int FListN() const { return core_.FListN(); }

    // ---- File intake and the run (forwarded to the core) ----
    // Admits an existing .jww or .jws file, or the ones in a folder, into FList.
    void PickupFile(const QString& fn);
    // A drop of paths: replaces the list and starts a run.
    void WMDropFiles(const QStringList& paths);
    // The open-file dialog; on OK replaces the list and starts a run.
    void Label3Click();
    // Converts FList; does nothing while a run goes or when FList is empty.
    void RunProc();
    bool Running() const { return core_.Running(); }

    // ---- Settings ----
    void OpenDatFile(const std::string& path);
    bool SaveDatFile(const std::string& path);
    const std::string& SettingsFile() const { return options_.settingsSave; }
    const std::string& WorkFolder() const { return core_.WorkFolder(); }

    // "Windows" (the system's own look) followed by Qt's styles that look
    // different from it.
    static QStringList ScreenStyles();
    // The filters of the open-file dialog, in Qt's form.
    static QStringList OpenDialogFilters();
    // The window font: "ＭＳ ゴシック", else an installed Japanese font.
    static QFont JapaneseFont(int pixelSize);

    // Width and height the Windows program adds to the client area: the
    // settings keep the outer size, as the Windows program does.
    static constexpr int kFrameWidth = 16;
    static constexpr int kFrameHeight = 38;

    // ---- TForm1View ----
    int FolderChoice() const override;
    void SetFolderChoice(int choice) override;
    void EnableSpecifiedFolder(bool enabled) override;
    std::u16string EditFl1Text() const override;
    void SetEditFl1Text(const std::u16string& text) override;
    std::u16string Label1Text() const override;
    void SetLabel1Text(const std::u16string& text) override;
    std::u16string LabelPreFolderText() const override;
    void SetLabelPreFolderText(const std::u16string& text) override;
    bool CheckBox1Checked() const override;
    void SetCheckBox1Checked(bool checked) override;
    void SetStyleList(const std::vector<std::u16string>& names, int selected) override;
    TWindowPlace WindowPlace() const override;
    void SetWindowPlace(const TWindowPlace& place) override;
    std::vector<std::u16string> ToolkitStyles() const override;
    bool ApplyStyle(const std::u16string& name) override;
    std::string DesktopFolder() const override;
    std::string DocumentsFolder() const override;
    void AcceptDrops() override;
    void ClearLog() override;
    void AppendLog(const std::vector<std::u16string>& lines) override;
    void ShowLogTab() override;
    void SetStatusText(const std::u16string& text) override;
    void ShowFolderMissing(const std::u16string& message) override;
    TFolderAnswer BrowseForFolder(const std::string& start) override;
    bool ExecuteOpenDialog(const TOpenDialogRequest& request, TOpenDialogAnswer& answer) override;
    void BeginRun() override;
    void EndRun() override;
    bool PollEscape() override;
    void CloseLater() override;
    bool OpenWithSystem(const std::string& path) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    bool IsMine(QObject* object) const;
    static QStringList LocalFiles(const QMimeData* data);

    QButtonGroup* folderGroup_ = nullptr;
    bool shown_ = false;
    bool escapePressed_ = false;
    // Pending input is taken at most this often between files.
    static constexpr int kPollEveryMs = 20;
    QElapsedTimer sincePoll_;
};

}  // namespace talvine
