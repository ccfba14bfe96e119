#include "app/window/Unit1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <stdexcept>

#include "app/BatchRun.h"
#include "jww/DisplayTables.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

const char16_t kFolderDialogText[] = u"変換後のファイルを保存するフォルダを指定して下さい";
const char16_t kOpenDialogTitle[] = u"変換元ファイルを指定";

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
QString Q(const char16_t* s) { return QString::fromUtf16(s); }
std::u16string U16(const QString& s) { return s.toStdU16String(); }
// Paths in the form the core and the file system use.
std::string Path(const QString& s) { return QFile::encodeName(s).toStdString(); }
QString FromPath(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }
QString WithDelim(const QString& folder) { return FromPath(AddPathDelim(Path(folder))); }

bool IsDir(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

// The style Qt chose for this system before the window changed anything:
// what "Windows", the plain system look, stands for.
QString SystemStyleName() {
    static const QString name = QApplication::style() ? QApplication::style()->name() : QString();
    return name;
}

// A per-user folder for converted files: the system's, or the home folder
// on a system without one.
std::string UserFolder(const std::string& folder) {
    if (!folder.empty() && platform::DirExists(folder)) return folder;
    return Path(QDir::homePath());
}

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
    }
}

}  // namespace

const char16_t* const TForm1::kOpenFilter =
    u"Jw_cad ファイル(*.jw?)|*.jww;*.jws|Jw_cad 図面ファイル|*.jww|Jw_cad 図形ファイル|*.jws|全てのファイル(*.*)|*.*";

TFormOptions TFormOptions::FromApplication() {
    TFormOptions o;
    const TSettingsFiles files = LocateSettingsFiles(Path(QCoreApplication::applicationFilePath()));
    o.settingsLoad = files.load;
    o.settingsSave = files.save;
    const QString dir = WithDelim(QCoreApplication::applicationDirPath());
    o.programFolder = platform::IsDirWritable(Path(dir)) ? dir : WithDelim(QDir::homePath());
    o.arguments = QCoreApplication::arguments().mid(1);
    return o;
}

TForm1::TForm1(TFormOptions options, QWidget* parent) : QMainWindow(parent), options_(std::move(options)) {
    CreateComponents();
    FormCreate();
}

TForm1::~TForm1() {
    FormClose();
    qApp->removeEventFilter(this);
}

// ---- Components ---------------------------------------------------------

void TForm1::CreateComponents() {
    setObjectName("Form1");
    setWindowTitle(kWindowCaption);
    // System menu, minimise and close; no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(JapaneseFont(13));

    auto named = [](auto* w, const char* name) {
        w->setObjectName(name);
        return w;
    };
    auto* client = named(new QWidget(this), "ClientArea");
    setCentralWidget(client);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(4, 4, 4, 0);
    column->setSpacing(4);

    // Output folder.
    GroupBoxFold = named(new QGroupBox(Q(u"保存先(&F)"), client), "GroupBoxFold");
    RadioButtonFl1 = named(new QRadioButton(Q(u"デスクトップ"), GroupBoxFold), "RadioButtonFl1");
    RadioButtonFl2 = named(new QRadioButton(Q(u"マイドキュメント"), GroupBoxFold), "RadioButtonFl2");
    RadioButtonFl3 = named(new QRadioButton(Q(u"元ファイルのフォルダ"), GroupBoxFold), "RadioButtonFl3");
    RadioButtonFl4 = named(new QRadioButton(Q(u"指定フォルダ"), GroupBoxFold), "RadioButtonFl4");
    EditFl1 = named(new QLineEdit(GroupBoxFold), "EditFl1");
    EditFl1->setAcceptDrops(false);  // a file dropped here goes to the window
    ButtonFl1 = named(new QPushButton(Q(u"参照"), GroupBoxFold), "ButtonFl1");
    RadioButtonFl5 = named(new QRadioButton(Q(u"毎回指定"), GroupBoxFold), "RadioButtonFl5");
    LabelPreFolder = named(new QLabel(GroupBoxFold), "LabelPreFolder");
    LabelPreFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // long paths do not widen the window
    folderGroup_ = new QButtonGroup(this);
    int id = 1;
    for (QRadioButton* b : {RadioButtonFl1, RadioButtonFl2, RadioButtonFl3, RadioButtonFl4, RadioButtonFl5})
        folderGroup_->addButton(b, id++);
    auto* grid = new QGridLayout(GroupBoxFold);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setVerticalSpacing(2);
    grid->addWidget(RadioButtonFl1, 0, 0, 1, 3);
    grid->addWidget(RadioButtonFl2, 1, 0, 1, 3);
    grid->addWidget(RadioButtonFl3, 2, 0, 1, 3);
    grid->addWidget(RadioButtonFl4, 3, 0);
    grid->addWidget(EditFl1, 3, 1);
    grid->addWidget(ButtonFl1, 3, 2);
    grid->addWidget(RadioButtonFl5, 4, 0);
    grid->addWidget(LabelPreFolder, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    column->addWidget(GroupBoxFold);

    // Drop instructions and the link to the file dialog.
    Panel1 = named(new QFrame(client), "Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(6, 8, 6, 8);
    panel->setSpacing(6);
    Label2 = named(new QLabel(Q(u"エクスプローラ等からドラッグ＆ドロップするか、または、"), Panel1), "Label2");
    Label2->setAlignment(Qt::AlignCenter);
    Label3 = named(new QLabel(Q(u"ここをクリックして変換するファイルを選択して下さい。"), Panel1), "Label3");
    Label3->setAlignment(Qt::AlignCenter);
    QPalette link = Label3->palette();
    link.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label3->setPalette(link);
    QFont underlined = Label3->font();
    underlined.setUnderline(true);
    Label3->setFont(underlined);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->installEventFilter(this);
    auto* open = new QShortcut(QKeySequence::Open, this);  // Ctrl+O opens the dialog too
    connect(open, &QShortcut::activated, this, [this] { Label3Click(); });
    Label1 = named(new QLabel(Panel1), "Label1");
    Label1->setVisible(false);
    Label1->setEnabled(false);
    panel->addWidget(Label2);
    panel->addWidget(Label3);
    column->addWidget(Panel1);

    // The two tabs, the strip at the bottom.
    PageControl1 = named(new QTabWidget(client), "PageControl1");
    PageControl1->setTabPosition(QTabWidget::South);
    TabSheet1 = named(new QWidget, "TabSheet1");
    Label7 = named(new QLabel(Q(u"画面スタイル："), TabSheet1), "Label7");
    ComboBoxSc1 = named(new QComboBox(TabSheet1), "ComboBoxSc1");
    ComboBoxSc1->setEditable(false);
    ComboBoxSc1->setMinimumContentsLength(16);
    Label8 = named(new QLabel(Q(u"※次回起動時に有効"), TabSheet1), "Label8");
    CheckBox1 = named(new QCheckBox(Q(u"SXF寸法図形基準点に仮点作図する"), TabSheet1), "CheckBox1");
    CheckBox1->setChecked(true);
    Label4 = named(new QLabel(Q(u"※変換対象は JWW/JWSのみ"), TabSheet1), "Label4");
    auto* settings = new QVBoxLayout(TabSheet1);
    settings->setContentsMargins(10, 10, 10, 10);
    settings->setSpacing(10);
    auto* styleRow = new QHBoxLayout;
    styleRow->addWidget(Label7);
    styleRow->addWidget(ComboBoxSc1);
    styleRow->addWidget(Label8);
    styleRow->addStretch(1);
    settings->addLayout(styleRow);
    settings->addWidget(CheckBox1);
    settings->addWidget(Label4);
    settings->addStretch(1);
    PageControl1->addTab(TabSheet1, Q(u"設定(&S)"));

    TabSheet2 = named(new QWidget, "TabSheet2");
    ListBox1 = named(new QListWidget(TabSheet2), "ListBox1");
    ListBox1->setFont(JapaneseFont(12));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* log = new QVBoxLayout(TabSheet2);
    log->setContentsMargins(0, 0, 0, 0);
    log->addWidget(ListBox1);
    PageControl1->addTab(TabSheet2, Q(u"ログ(&L)"));
    column->addWidget(PageControl1, 1);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1Text =
        named(new QLabel(Q(u"※保存先フォルダに同じ名前のファイルが存在する場合は名前に枝番が付きます"), StatusBar1),
              "StatusBar1Text");
    // One size smaller than the window's font, so that the whole note fits.
    StatusBar1Text->setFont(JapaneseFont(12));
    StatusBar1Text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // clipped, never widening
    StatusBar1->addWidget(StatusBar1Text, 1);
    setStatusBar(StatusBar1);

    OpenDialog1 = named(new QFileDialog(this, Q(kOpenDialogTitle)), "OpenDialog1");
    OpenDialog1->setFileMode(QFileDialog::ExistingFiles);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setOption(QFileDialog::HideNameFilterDetails, true);
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog, !options_.nativeDialogs);

    connect(folderGroup_, &QButtonGroup::buttonToggled, this, [this] { RadioButtonFl1Click(); });
    connect(ButtonFl1, &QPushButton::clicked, this, [this] { BrowseForFolder1Execute(); });
    connect(ComboBoxSc1, &QComboBox::activated, this, [this](int index) { ComboBoxSc1Select(index); });
}

QFont TForm1::JapaneseFont(int pixelSize) {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        // The Windows program's font, then fonts made to stand in for it.
        for (const char16_t* f : {u"ＭＳ ゴシック", u"MS Gothic", u"IPAGothic", u"IPAゴシック", u"VL Gothic",
                                  u"TakaoGothic", u"Noto Sans Mono CJK JP", u"Noto Sans CJK JP"}) {
            if (installed.contains(Q(f), Qt::CaseInsensitive)) return Q(f);
        }
        const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
        return japanese.isEmpty() ? QString() : japanese.first();
    }();
    QFont font = family.isEmpty() ? QApplication::font() : QFont(family);
    font.setPixelSize(pixelSize);
    return font;
}

QStringList TForm1::ScreenStyles() {
    QStringList names{Q(kDefaultStyleName)};
    for (const QString& key : QStyleFactory::keys())
        if (key.compare(names.first(), Qt::CaseInsensitive) != 0) names << key;
    return names;
}

QStringList TForm1::OpenDialogFilters() {
    // "description|pattern;pattern|..." as Qt's "description (pattern pattern)".
    const QStringList parts = Q(kOpenFilter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QString p : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            if (p == "*.*") p = "*";  // every file, as on Windows
            patterns << p;
        }
        filters << parts[i] + " (" + patterns.join(u' ') + ")";
    }
    return filters;
}

// ---- Lifecycle ----------------------------------------------------------

void TForm1::FormCreate() {
    workFolder_ = options_.workFolder;
    if (workFolder_.empty()) {
        workFolder_ = MakeWorkFolder();
        ownWorkFolder_ = true;
    } else {
        platform::ForceDirectories(workFolder_);  // a failure shows later as a failed file
    }
    OpenDatFile(options_.settingsLoad);

    ComboBoxSc1->addItems(ScreenStyles());
    ApplyStyle();
    ComboBoxSc1->setCurrentIndex(ComboBoxSc1->findText(gstyle));
    PlaceWindow();
}

void TForm1::ApplyStyle() {
    if (ComboBoxSc1->findText(gstyle) < 0) gstyle = Q(kDefaultStyleName);
    SystemStyleName();  // remember the system's style before changing it
    const QString name = gstyle == Q(kDefaultStyleName) ? SystemStyleName() : gstyle;
    if (name.isEmpty() || QApplication::style()->name().compare(name, Qt::CaseInsensitive) == 0) return;
    if (!QApplication::setStyle(name)) {
        gstyle = Q(kDefaultStyleName);
        if (!SystemStyleName().isEmpty()) QApplication::setStyle(SystemStyleName());
    }
}

void TForm1::PlaceWindow() {
    // The settings keep the outer size of the Windows program's window.
    const QSize client(Fm1w - kFrameWidth, Fm1h - kFrameHeight);
    resize(client.expandedTo(minimumSizeHint()));
    const QRect frame(Fm1x, Fm1y, width() + kFrameWidth, height() + kFrameHeight);
    // A place on no screen (a monitor since removed) is left to the system.
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(frame.adjusted(0, 0, -frame.width() / 2, -frame.height() / 2))) {
            move(Fm1x, Fm1y);
            break;
        }
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::FormShow() {
    ResetUtilDefaults();
    ResetLayerAttrTable();
    run_ = std::make_unique<TBatchRun>(workFolder_);
    setAcceptDrops(true);

    FList.clear();
    for (const QString& arg : options_.arguments) PickupFile(arg);
    // Started from the event loop, so that the window is on screen first.
    if (FListN() > 0) QTimer::singleShot(0, this, [this] { RunProc(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (running_) {
        // Closing during a run stops it before the next file; the window
        // closes when the run has ended.
        closePending_ = true;
        escapePressed_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::FormClose() {
    if (closed_) return;
    closed_ = true;
    run_.reset();  // empties and destroys the documents, deleting extracted images
    if (ownWorkFolder_)
        RemoveWorkFolder(workFolder_);
    else if (!workFolder_.empty())
        platform::RemoveDir(workFolder_);
    FList.clear();
    SaveDatFile(options_.settingsSave);
}

// ---- Settings -----------------------------------------------------------

void TForm1::OpenDatFile(const std::string& path) {
    const TSettings s = talvine::OpenDatFile(path, U16(options_.programFolder));
    Fm1x = s.Fm1x;
    Fm1y = s.Fm1y;
    Fm1w = s.Fm1w;
    Fm1h = s.Fm1h;
    SetFolderChoice(s.folderChoice);
    EditFl1->setText(Q(s.EditFl1));
    Label1->setText(Q(s.Label1));
    LabelPreFolder->setText(Q(s.LabelPreFolder));
    Fidx = s.Fidx;
    gstyle = Q(s.gstyle);
    CheckBox1->setChecked(s.CheckBox1);
}

TSettings TForm1::CurrentSettings() const {
    TSettings s;
    // The outer frame: its place, and the client area plus the Windows frame.
    s.Fm1x = pos().x();
    s.Fm1y = pos().y();
    s.Fm1w = width() + kFrameWidth;
    s.Fm1h = height() + kFrameHeight;
    s.folderChoice = FolderChoice();
    s.EditFl1 = U16(EditFl1->text());
    s.Label1 = U16(Label1->text());
    s.LabelPreFolder = U16(LabelPreFolder->text());
    s.Fidx = Fidx;
    s.gstyle = U16(gstyle);
    s.CheckBox1 = CheckBox1->isChecked();
    return s;
}

bool TForm1::SaveDatFile(const std::string& path) { return talvine::SaveDatFile(path, CurrentSettings()); }

// ---- Output-folder controls ---------------------------------------------

void TForm1::SetFolderChoice(int choice) {
    // An exclusive group keeps one button checked; the settings may leave none.
    folderGroup_->setExclusive(false);
    for (QAbstractButton* b : folderGroup_->buttons()) b->setChecked(folderGroup_->id(b) == choice);
    folderGroup_->setExclusive(true);
    RadioButtonFl1Click();
}

int TForm1::FolderChoice() const {
    const int id = folderGroup_->checkedId();
    return id < 0 ? 0 : id;
}

void TForm1::RadioButtonFl1Click() {
    const bool specified = RadioButtonFl4->isChecked();
    EditFl1->setEnabled(specified);
    ButtonFl1->setEnabled(specified);
}

QString TForm1::BrowseForFolder(const QString& start) {
    QFileDialog::Options o = QFileDialog::ShowDirsOnly;
    if (!options_.nativeDialogs) o |= QFileDialog::DontUseNativeDialog;
    const QString from = IsDir(start) ? start : options_.programFolder;
    return QFileDialog::getExistingDirectory(this, Q(kFolderDialogText), from, o);
}

void TForm1::BrowseForFolder1Execute() {
    const QString folder = BrowseForFolder(EditFl1->text());
    if (!folder.isEmpty()) BrowseForFolder1Accept(folder);
}

void TForm1::BrowseForFolder1Accept(const QString& folder) { EditFl1->setText(WithDelim(folder)); }

TFolderAnswer TForm1::BrowseForFolder2Execute(const std::string& start) {
    TFolderAnswer answer;
    const QString folder = BrowseForFolder(FromPath(start));
    if (folder.isEmpty()) {
        answer.status = TFolderAnswer::kCancelled;
    } else {
        BrowseForFolder2Accept(folder);
        answer.status = TFolderAnswer::kAccepted;
        answer.folder = Path(LabelPreFolder->text());
    }
    return answer;
}

void TForm1::BrowseForFolder2Accept(const QString& folder) { LabelPreFolder->setText(WithDelim(folder)); }

void TForm1::ComboBoxSc1Select(int index) {
    // Applied at the next start.
    if (index >= 0) gstyle = ComboBoxSc1->itemText(index);
}

// ---- File intake --------------------------------------------------------

void TForm1::PickupFile(const QString& fn) {
    if (fn.isEmpty()) return;
    // A relative path of the command line is taken from the current folder.
    const std::string path = Path(QFileInfo(fn).absoluteFilePath());
    std::string ext;
    try {
        ext = GetLowerExt(path);
    } catch (const std::invalid_argument&) {
        return;
    }
    if ((ext == ".jww" || ext == ".jws") && FileExistsAt(path)) FList.push_back(path);
}

void TForm1::WMDropFiles(const QStringList& paths) {
    if (running_) return;
    FList.clear();
    for (const QString& p : paths) PickupFile(p);
    if (FListN() > 0) RunProc();
}

QStringList TForm1::LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!running_ && !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // The drag source waits for the drop to end: the run starts afterwards.
    QTimer::singleShot(0, this, [this, paths] { WMDropFiles(paths); });
}

void TForm1::Label3Click() {
    if (running_) return;
    const QStringList filters = OpenDialogFilters();
    const QString start = Label1->text();
    OpenDialog1->setDirectory(IsDir(start) ? start : QDir::homePath());
    OpenDialog1->setNameFilters(filters);
    OpenDialog1->selectNameFilter(filters.value(std::clamp<int32_t>(Fidx, 1, static_cast<int32_t>(filters.size())) - 1));
    OpenDialog1->selectFile(Q(u"\u3000"));
    if (OpenDialog1->exec() != QDialog::Accepted) return;
    const QStringList files = OpenDialog1->selectedFiles();
    if (files.isEmpty()) return;
    Label1->setText(WithDelim(QFileInfo(files.first()).absolutePath()));
    // The dialog names its filter without the patterns.
    const QString chosen = OpenDialog1->selectedNameFilter();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters[i] == chosen || filters[i].startsWith(chosen + " (")) Fidx = static_cast<int32_t>(i) + 1;
    FList.clear();
    for (const QString& f : files) PickupFile(f);
    if (FListN() > 0) RunProc();
}

// ---- The run ------------------------------------------------------------

bool TForm1::IsMine(QObject* object) const {
    if (object == this) return true;
    if (auto* w = qobject_cast<QWidget*>(object)) return isAncestorOf(w);
    if (auto* win = qobject_cast<QWindow*>(object)) return win == windowHandle();
    return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (running_) {
        if (!IsUserInput(event->type()) || !IsMine(watched)) return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            escapePressed_ = true;
        return true;  // no input reaches the window during a run
    }
    if (watched == Label3 && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton) return false;
        // A click: pressed and released over the label.
        if (event->type() == QEvent::MouseButtonRelease && Label3->rect().contains(m->position().toPoint()))
            Label3Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::RunProc() {
    if (running_ || FList.empty() || !run_) return;

    TRunSettings s;
    const int choice = FolderChoice();
    s.folderMode = choice >= 1 && choice <= 4 ? static_cast<TOutputFolder>(choice) : TOutputFolder::kAskEveryTime;
    if (s.folderMode == TOutputFolder::kDesktop) s.desktopDir = UserFolder(platform::DesktopDir());
    if (s.folderMode == TOutputFolder::kDocuments) s.documentsDir = UserFolder(platform::DocumentsDir());
    s.specifiedDir = Path(EditFl1->text());
    s.preFolder = Path(LabelPreFolder->text());
    s.referencePoints = CheckBox1->isChecked();

    TRunCallbacks cb;
    // Between files the window repaints. Pending events are processed in
    // full, input included: the filter keeps the input from the window. (With
    // ExcludeUserInputEvents the system would hold a key press back until the
    // run ends, and Escape would come too late.)
    cb.log = [this](const std::u16string& line) {
        ListBox1->addItem(Q(line));
        ListBox1->scrollToBottom();
        QCoreApplication::processEvents();
    };
    cb.clearLog = [this] { ListBox1->clear(); };
    cb.abortRequested = [this] {
        // Takes the input that arrived since the last look; the filter has
        // noted whether Escape was among it.
        QCoreApplication::processEvents();
        return escapePressed_;
    };
    cb.askFolder = [this](const std::string& start) { return BrowseForFolder2Execute(start); };
    cb.folderMissing = [this](const std::u16string& message) {
        QString text = Q(message);
        text.replace("\r\n", "\n");
        QMessageBox box(QMessageBox::Warning, kApplicationTitle, text, QMessageBox::Ok, this);
        box.exec();
    };
    cb.saveSettings = [this] { SaveDatFile(options_.settingsSave); };
    cb.showLog = [this] { PageControl1->setCurrentIndex(1); };

    struct Running {
        TForm1* form;
        explicit Running(TForm1* f) : form(f) {
            form->running_ = true;
            form->escapePressed_ = false;
            qApp->installEventFilter(form);
        }
        ~Running() {
            qApp->removeEventFilter(form);
            form->running_ = false;
        }
    };
    const std::vector<std::string> files = FList;
    {
        Running guard(this);
        run_->RunProc(files, s, cb);
    }
    if (closePending_) QTimer::singleShot(0, this, [this] { close(); });
}

}  // namespace talvine
