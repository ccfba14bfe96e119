// The main window TForm1: the output-folder choice, the drop area and the
// link that opens the file dialog, the settings and log tabs, and the
// status bar. It owns the file list and the batch run (with its two
// documents) and keeps its choices in the settings file (app/Settings.h).
// Files arrive by drag and drop, through the open-file dialog or on the
// command line; each intake replaces the file list and starts a run.
//
// A run happens on this thread, one file after another. Between files the
// window repaints, but user input does not reach it: while a run goes, an
// application-wide event filter swallows every mouse, keyboard and drop
// event meant for this window and only notes whether Escape was pressed.
// Pending input is taken from the system queue just before each file, so a
// press of Escape at any moment stops the run before the next file, never
// inside one. Closing the window during a run stops it the same way; the
// window closes when the run has ended.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

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

class TBatchRun;
struct TFolderAnswer;

inline constexpr char kApplicationTitle[] = "Talvine";
inline constexpr char kWindowCaption[] = "Talvine Ver.1.10";

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

class TForm1 : public QMainWindow {
    Q_OBJECT

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

    // ---- Fields ----
    QString gstyle;  // the style applied at start
    int32_t Fm1x = 50, Fm1y = 50, Fm1w = 480, Fm1h = 480;
    int32_t Fidx = 1;
    std::vector<std::string> FList;  // paths admitted by PickupFile
    int FListN() const { return static_cast<int>(FList.size()); }

    // ---- File intake ----
    // Admits an existing .jww or .jws file (extension in any case) into FList.
    void PickupFile(const QString& fn);
    // A drop of paths: replaces the list and starts a run.
    void WMDropFiles(const QStringList& paths);
    // The open-file dialog; on OK replaces the list and starts a run.
    void Label3Click();
    // Converts FList; does nothing while a run goes or when FList is empty.
    void RunProc();
    bool Running() const { return running_; }

    // ---- Settings ----
    void OpenDatFile(const std::string& path);
    bool SaveDatFile(const std::string& path);
    const std::string& SettingsFile() const { return options_.settingsSave; }
    const std::string& WorkFolder() const { return workFolder_; }

    // "Windows" (the system's own look) followed by Qt's styles that look
    // different from it.
    static QStringList ScreenStyles();
    // The filters of the open-file dialog.
    static const char16_t* const kOpenFilter;
    static QStringList OpenDialogFilters();
    // The window font: "ＭＳ ゴシック", else an installed Japanese font.
    static QFont JapaneseFont(int pixelSize);

    // Width and height the Windows program adds to the client area: the
    // settings keep the outer size, as the Windows program does.
    static constexpr int kFrameWidth = 16;
    static constexpr int kFrameHeight = 38;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void FormCreate();
    void FormShow();
    void FormClose();
    void RadioButtonFl1Click();
    void BrowseForFolder1Accept(const QString& folder);
    void BrowseForFolder2Accept(const QString& folder);
    void ComboBoxSc1Select(int index);
    void BrowseForFolder1Execute();
    TFolderAnswer BrowseForFolder2Execute(const std::string& start);
    QString BrowseForFolder(const QString& start);
    void SetFolderChoice(int choice);
    int FolderChoice() const;
    void ApplyStyle();
    void PlaceWindow();
    TSettings CurrentSettings() const;
    bool IsMine(QObject* object) const;
    static QStringList LocalFiles(const QMimeData* data);

    TFormOptions options_;
    std::string workFolder_;
    bool ownWorkFolder_ = false;
    QButtonGroup* folderGroup_ = nullptr;
    std::unique_ptr<TBatchRun> run_;  // the two documents, from show to close
    bool shown_ = false;
    bool closed_ = false;
    bool running_ = false;
    bool escapePressed_ = false;
    bool closePending_ = false;
};

}  // namespace talvine
