#include "app/window/Unit1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
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
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
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
#include "app/window/WindowSetup.h"
#include "jww/DisplayTables.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {


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

// A per-user folder for converted files: the shell's, or the home folder
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

TFormOptions TFormOptions::FromApplication() {
    TFormOptions o;
    const TForm1Paths paths =
        Form1PathsForExecutable(Path(QCoreApplication::applicationFilePath()), Path(WithDelim(QDir::homePath())));
    o.settingsLoad = paths.settingsLoad;
    o.settingsSave = paths.settingsSave;
    o.programFolder = FromPath(paths.programFolder);
    o.arguments = QCoreApplication::arguments().mid(1);
    return o;
}

TForm1::TForm1(TFormOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      core_(*this, TForm1Paths{options_.settingsLoad, options_.settingsSave, Path(options_.programFolder),
                               options_.workFolder}),
      gstyle(core_.gstyle),
      Fidx(core_.Fidx),
      FList(core_.FList) {
    CreateComponents();
    core_.FormCreate();
}

TForm1::~TForm1() {
    core_.FormClose();
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
    // Every line is one text line: its height is not measured line by line,
    // which keeps a log of a hundred thousand lines quick.
    ListBox1->setUniformItemSizes(true);
    // A right click on a file's lines: its output folder, or it before and
    // after its conversion.
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox1, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int line = ListBox1->indexAt(at).row();
        const TForm1Core::TLogFile* file = core_.LogFileAt(line);
        if (file == nullptr || core_.Running()) return;
        QMenu menu(this);
        QAction* open = menu.addAction(Q(TForm1Core::kOpenFolderItem));
        open->setEnabled(file->done);
        QAction* compare = menu.addAction(Q(TForm1Core::kCompareItem));
        QAction* chosen = menu.exec(ListBox1->viewport()->mapToGlobal(at));
        if (chosen == open) core_.OpenOutputFolder(line);
        else if (chosen == compare) core_.ShowComparison(line);
    });
    auto* log = new QVBoxLayout(TabSheet2);
    log->setContentsMargins(0, 0, 0, 0);
    log->addWidget(ListBox1);
    PageControl1->addTab(TabSheet2, Q(u"ログ(&L)"));
    column->addWidget(PageControl1, 1);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1Text = named(new QLabel(Q(kStatusBarText), StatusBar1), "StatusBar1Text");
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

    connect(folderGroup_, &QButtonGroup::buttonToggled, this, [this] { core_.RadioButtonFl1Click(); });
    connect(ButtonFl1, &QPushButton::clicked, this, [this] { core_.ButtonFl1Click(); });
    connect(ComboBoxSc1, &QComboBox::activated, this, [this](int index) { core_.ComboBoxSc1Select(index); });
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

QStringList TForm1::ScreenStyles() { return ScreenStyleNames(QStyleFactory::keys(), SystemStyleName()); }

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

// ---- Life cycle: Qt's events onto the core --------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    std::vector<std::string> arguments;
    // A relative path of the command line is taken from the current folder.
    for (const QString& arg : options_.arguments)
        if (!arg.isEmpty()) arguments.push_back(Path(QFileInfo(arg).absoluteFilePath()));
    // Started from the event loop, so that the window is on screen first.
    if (core_.FormShow(arguments)) QTimer::singleShot(0, this, [this] { core_.RunProc(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!core_.CloseRequested()) {
        event->ignore();  // the run stops before its next file, then the window closes
        return;
    }
    core_.FormClose();
    event->accept();
}

void TForm1::PickupFile(const QString& fn) {
    if (!fn.isEmpty()) core_.PickupFile(Path(QFileInfo(fn).absoluteFilePath()));
}

void TForm1::WMDropFiles(const QStringList& paths) {
    std::vector<std::string> list;
    for (const QString& p : paths)
        if (!p.isEmpty()) list.push_back(Path(QFileInfo(p).absoluteFilePath()));
    core_.WMDropFiles(list);
}

void TForm1::Label3Click() { core_.Label3Click(); }
void TForm1::RunProc() { core_.RunProc(); }
void TForm1::OpenDatFile(const std::string& path) { core_.OpenDatFile(path); }
bool TForm1::SaveDatFile(const std::string& path) { return core_.SaveDatFile(path); }

QStringList TForm1::LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!core_.Running() && !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!core_.Running() && !LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // The drag source waits for the drop to end: the run starts afterwards.
    QTimer::singleShot(0, this, [this, paths] { WMDropFiles(paths); });
}

bool TForm1::IsMine(QObject* object) const {
    if (object == this) return true;
    if (auto* w = qobject_cast<QWidget*>(object)) return isAncestorOf(w);
    if (auto* win = qobject_cast<QWindow*>(object)) return win == windowHandle();
    return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (core_.Running()) {
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

// ---- The view: controls ----------------------------------------------------

int TForm1::FolderChoice() const {
    const int id = folderGroup_->checkedId();
    return id < 0 ? 0 : id;
}

void TForm1::SetFolderChoice(int choice) {
    // An exclusive group keeps one button checked; the settings may leave none.
    const QSignalBlocker quiet(folderGroup_);
    folderGroup_->setExclusive(false);
    for (QAbstractButton* b : folderGroup_->buttons()) b->setChecked(folderGroup_->id(b) == choice);
    folderGroup_->setExclusive(true);
}

void TForm1::EnableSpecifiedFolder(bool enabled) {
    EditFl1->setEnabled(enabled);
    ButtonFl1->setEnabled(enabled);
}

std::u16string TForm1::EditFl1Text() const { return U16(EditFl1->text()); }
void TForm1::SetEditFl1Text(const std::u16string& text) { EditFl1->setText(Q(text)); }
std::u16string TForm1::Label1Text() const { return U16(Label1->text()); }
void TForm1::SetLabel1Text(const std::u16string& text) { Label1->setText(Q(text)); }
std::u16string TForm1::LabelPreFolderText() const { return U16(LabelPreFolder->text()); }
void TForm1::SetLabelPreFolderText(const std::u16string& text) { LabelPreFolder->setText(Q(text)); }
bool TForm1::CheckBox1Checked() const { return CheckBox1->isChecked(); }
void TForm1::SetCheckBox1Checked(bool checked) { CheckBox1->setChecked(checked); }

void TForm1::SetStyleList(const std::vector<std::u16string>& names, int selected) {
    const QSignalBlocker quiet(ComboBoxSc1);
    ComboBoxSc1->clear();
    for (const std::u16string& n : names) ComboBoxSc1->addItem(Q(n));
    ComboBoxSc1->setCurrentIndex(selected);
}

TWindowPlace TForm1::WindowPlace() const {
    // The outer frame: its place, and the client area plus the Windows frame.
    return {pos().x(), pos().y(), width() + kFrameWidth, height() + kFrameHeight};
}

void TForm1::SetWindowPlace(const TWindowPlace& p) {
    // The settings keep the outer size of the Windows program's window.
    const QSize client(p.width - kFrameWidth, p.height - kFrameHeight);
    resize(client.expandedTo(minimumSizeHint()));
    const QRect frame(p.x, p.y, width() + kFrameWidth, height() + kFrameHeight);
    // A place on no screen (a monitor since removed) is left to the system.
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(frame.adjusted(0, 0, -frame.width() / 2, -frame.height() / 2))) {
            move(p.x, p.y);
            break;
        }
    }
}

// ---- The view: the toolkit -------------------------------------------------

std::vector<std::u16string> TForm1::ToolkitStyles() const {
    std::vector<std::u16string> names;
    for (const QString& key : QStyleFactory::keys()) names.push_back(U16(key));
    return names;
}

bool TForm1::ApplyStyle(const std::u16string& style) {
    SystemStyleName();  // remember the system's style before changing it
    const QString name = style == kDefaultStyleName ? SystemStyleName() : Q(style);
    if (name.isEmpty() || QApplication::style()->name().compare(name, Qt::CaseInsensitive) == 0) return true;
    if (QApplication::setStyle(name)) return true;
    if (!SystemStyleName().isEmpty()) QApplication::setStyle(SystemStyleName());
    return false;
}

std::string TForm1::DesktopFolder() const { return UserFolder(platform::DesktopDir()); }
std::string TForm1::DocumentsFolder() const { return UserFolder(platform::DocumentsDir()); }
void TForm1::AcceptDrops() { setAcceptDrops(true); }

// ---- The view: feedback and dialogs -----------------------------------------

void TForm1::ClearLog() { ListBox1->clear(); }

void TForm1::AppendLog(const std::vector<std::u16string>& lines) {
    QStringList items;
    items.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::u16string& line : lines) items << Q(line);
    ListBox1->addItems(items);
    ListBox1->scrollToBottom();
    // Painted now; input meanwhile goes to the filter, which keeps it away.
    QCoreApplication::processEvents();
    sincePoll_.start();
}

void TForm1::ShowLogTab() {
    PageControl1->setCurrentIndex(1);
    QCoreApplication::processEvents();
}

void TForm1::SetStatusText(const std::u16string& text) {
    StatusBar1Text->setText(Q(text));
    QCoreApplication::processEvents();
}

void TForm1::ShowFolderMissing(const std::u16string& message) {
    QString text = Q(message);
    text.replace("\r\n", "\n");
    QMessageBox box(QMessageBox::Warning, kApplicationTitle, text, QMessageBox::Ok, this);
    box.exec();
}

TFolderAnswer TForm1::BrowseForFolder(const std::string& start) {
    QFileDialog::Options o = QFileDialog::ShowDirsOnly;
    if (!options_.nativeDialogs) o |= QFileDialog::DontUseNativeDialog;
    const QString from = IsDir(FromPath(start)) ? FromPath(start) : options_.programFolder;
    const QString folder = QFileDialog::getExistingDirectory(this, Q(kFolderDialogText), from, o);
    if (folder.isEmpty()) return {TFolderAnswer::kCancelled, {}};
    return {TFolderAnswer::kAccepted, Path(folder)};
}

bool TForm1::ExecuteOpenDialog(const TOpenDialogRequest& request, TOpenDialogAnswer& answer) {
    const QStringList filters = OpenDialogFilters();
    OpenDialog1->setDirectory(request.startFolder.empty() ? QDir::homePath() : FromPath(request.startFolder));
    OpenDialog1->setNameFilters(filters);
    OpenDialog1->selectNameFilter(filters.value(request.filterIndex - 1));
    OpenDialog1->selectFile(Q(request.fileName));
    if (OpenDialog1->exec() != QDialog::Accepted) return false;
    for (const QString& f : OpenDialog1->selectedFiles()) answer.files.push_back(Path(f));
    // The dialog names its filter without the patterns.
    const QString chosen = OpenDialog1->selectedNameFilter();
    answer.filterIndex = request.filterIndex;
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters[i] == chosen || filters[i].startsWith(chosen + " (")) answer.filterIndex = static_cast<int>(i) + 1;
    return true;
}

// ---- The view: during a run ---------------------------------------------------

void TForm1::BeginRun() {
    escapePressed_ = false;
    sincePoll_.invalidate();
    qApp->installEventFilter(this);
}

void TForm1::EndRun() { qApp->removeEventFilter(this); }

bool TForm1::PollEscape() {
    // Takes the input that arrived since the last look; the filter has noted
    // whether Escape was among it. (With ExcludeUserInputEvents the system
    // would hold a key press back until the run ends, and Escape would come
    // too late.) Between small files only every few milliseconds: a press
    // is still seen before the file after it.
    if (!sincePoll_.isValid() || sincePoll_.elapsed() >= kPollEveryMs) {
        QCoreApplication::processEvents();
        sincePoll_.start();
    }
    return escapePressed_;
}

bool TForm1::OpenWithSystem(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(path)));
}

void TForm1::CloseLater() {
    QTimer::singleShot(0, this, [this] { close(); });
}

}  // namespace talvine
