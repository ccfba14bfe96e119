// The window on Qt's offscreen platform: the folder controls, the settings
// it loads and saves, drops, the dialogs, runs from the command line and a
// run stopped with Escape.
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <vector>

#include "app/Settings.h"
#include "app/window/Unit1.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

using namespace talvine;

namespace {

std::string Path(const QString& s) { return QFile::encodeName(s).toStdString(); }
QString S(const char16_t* s) { return QString::fromUtf16(s); }

// Sources, outputs, the work folder and the settings file of one test.
struct Sandbox {
    QTemporaryDir root;
    QString src = root.path() + "/src/", out = root.path() + "/出力/", work = root.path() + "/work/",
            program = root.path() + "/prog/", settings = program + "talvine.dat";

    Sandbox() {
        for (const QString& d : {src, out, work, program}) QDir().mkpath(d);
    }
    QString Drawing(const QString& name) {
        TJwwData d = test::SampleDrawing(700);
        if (!d.FileOut(Path(src + name), 700)) qWarning("cannot write %s", qPrintable(name));
        return src + name;
    }
    QString Figure(const QString& name) {
        TJwsData f = test::SampleFigure(600);
        if (!f.FileOut(Path(src + name), 600)) qWarning("cannot write %s", qPrintable(name));
        return src + name;
    }
    // Settings with the given output-folder choice; choice 4 sends outputs to out.
    void WriteSettings(int choice = 4, const QString& specified = QString()) {
        TSettings s = DefaultSettings(program.toStdU16String());
        s.folderChoice = choice;
        s.EditFl1 = (specified.isNull() ? out : specified).toStdU16String();
        SaveDatFile(Path(settings), s);
    }
    TFormOptions Options(const QStringList& arguments = {}) const {
        TFormOptions o;
        o.settingsLoad = o.settingsSave = Path(settings);
        o.programFolder = program;
        o.workFolder = Path(work);
        o.arguments = arguments;
        o.nativeDialogs = false;
        return o;
    }
};

QStringList Log(const TForm1& form) {
    QStringList lines;
    for (int i = 0; i < form.ListBox1->count(); ++i) lines << form.ListBox1->item(i)->text();
    return lines;
}

// What converting the sample drawing (or figure) makes of its dimensions.
TExplodeCounts SampleCounts(bool figure) {
    if (figure) {
        TJwsData f = test::SampleFigure(600);
        return ExplodeDimensions(f, true);
    }
    TJwwData d = test::SampleDrawing(700);
    return ExplodeDimensions(d, true);
}

// The four log lines of a converted sample.
QStringList Entry(const QString& src, const QString& dst) {
    const bool figure = src.endsWith(".jws", Qt::CaseInsensitive);
    return {src, S(u"→ ") + dst, S(u"\u3000…… 変換完了"),
            S(u"\u3000") + QString::fromStdU16String(CountsText(SampleCounts(figure)))};
}

// The lines of a named input the run does not convert.
QStringList Skipped(const QString& path, const std::u16string& reason) {
    return {path, S(u"→ （書き出しなし）"), S(u"\u3000…… スキップ"),
            S(u"\u3000原因：") + QString::fromStdU16String(reason)};
}

// The summary line of a run of samples.
QString Summary(const QStringList& converted, int left = -1, int skipped = 0) {
    TRunSummary s;
    s.skipped = skipped;
    s.converted = static_cast<int>(converted.size());
    for (const QString& f : converted) s.dimensions += SampleCounts(f.endsWith(".jws", Qt::CaseInsensitive)).dimensions;
    s.aborted = left >= 0;
    s.left = left;
    return QString::fromStdU16String(SummaryText(s));
}

// Runs f on the next modal dialog once it is shown.
void WhenModal(std::function<void(QWidget*)> f) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start();
}

// A drop of files from the file manager: the drag enters, then drops.
void Drop(TForm1& form, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &enter);
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &drop);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void ShapeOfTheWindow();
    void FolderControlsFollowTheChoice();
    void SettingsRoundTripThroughTheWindow();
    void StyleChoiceTakesEffectAtTheNextStart();
    void DropConvertsOnlyTheDrawings();
    void CommandLineFilesAreConvertedAtStart();
    void EscapeStopsTheRunBeforeTheNextFile();
    void MissingSpecifiedFolderShowsAMessageAndRunsNothing();
    void OpenDialogRemembersItsFolderAndFilter();
    void AskEveryTimeUsesTheChosenFolder();
    void ProgressShowsWhileARunGoes();
    void ALargeDropLogsInAppendsAtTheEnd();
    void AHundredThousandLogLinesStayCheap();
};

void WindowTest::ShapeOfTheWindow() {
    Sandbox box;
    TForm1 form(box.Options());
    form.show();
    QCOMPARE(form.size(), QSize(464, 442));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.PageControl1->tabPosition(), QTabWidget::South);
    QVERIFY(QFontDatabase::writingSystems(form.font().family()).contains(QFontDatabase::Japanese));
    const auto top = [&](QWidget* w) { return w->mapTo(&form, QPoint(0, 0)).y(); };
    QVERIFY(top(form.GroupBoxFold) < top(form.Panel1) && top(form.Panel1) < top(form.PageControl1));
    QVERIFY(!form.Label1->isVisible());
}

void WindowTest::FolderControlsFollowTheChoice() {
    // The choice loaded from the settings (0: none checked), then clicks.
    for (int choice = 0; choice <= 5; ++choice) {
        Sandbox box;
        box.WriteSettings(choice);
        TForm1 form(box.Options());
        QCOMPARE(form.EditFl1->isEnabled(), choice == 4);
        QCOMPARE(form.ButtonFl1->isEnabled(), choice == 4);
        QCOMPARE(form.RadioButtonFl3->isChecked(), choice == 3);
        QCOMPARE(form.RadioButtonFl1->isChecked(), choice == 1);
        form.show();
        form.RadioButtonFl4->click();
        QVERIFY(form.EditFl1->isEnabled() && form.ButtonFl1->isEnabled());
        form.RadioButtonFl3->click();
        QVERIFY(!form.EditFl1->isEnabled() && !form.ButtonFl1->isEnabled() && !form.RadioButtonFl4->isChecked());
    }
}

void WindowTest::SettingsRoundTripThroughTheWindow() {
    Sandbox box;
    TSettings s = DefaultSettings(u"");
    s.Fm1x = 30;
    s.Fm1y = 40;
    s.Fm1w = 600;
    s.Fm1h = 520;
    s.folderChoice = 5;
    s.EditFl1 = u"/srv/図面/出力/";
    s.gstyle = u"NoSuchStyle";
    QVERIFY(SaveDatFile(Path(box.settings), s));
    {
        TForm1 form(box.Options());
        // The file keeps the outer size, as the Windows program does.
        QCOMPARE(form.size(), QSize(600 - TForm1::kFrameWidth, 520 - TForm1::kFrameHeight));
        QCOMPARE(form.pos(), QPoint(30, 40));
        QCOMPARE(QString::fromStdU16String(form.gstyle), QString("Windows"));  // unknown here
        form.show();
        form.close();  // saves
    }
    const TSettings r = OpenDatFile(Path(box.settings), u"");
    QVERIFY(r.Fm1x == 30 && r.Fm1y == 40 && r.Fm1w == 600 && r.Fm1h == 520);
    QVERIFY(r.folderChoice == 5 && r.EditFl1 == s.EditFl1 && r.gstyle == u"Windows");

    // A broken file of four lines, the size 0 × 0: every control still shows.
    QFile f(box.settings);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("70\r\n80\r\n0\r\n0\r\n");
    f.close();
    TForm1 form(box.Options());
    QVERIFY(!form.RadioButtonFl1->isChecked() && !form.RadioButtonFl5->isChecked());
    QVERIFY(form.height() >= form.minimumSizeHint().height() && form.width() >= form.minimumSizeHint().width());
}

void WindowTest::StyleChoiceTakesEffectAtTheNextStart() {
    if (!QStyleFactory::keys().contains("Fusion")) QSKIP("no Fusion style here");
    Sandbox box;
    const QString system = QApplication::style()->name();
    {
        TForm1 form(box.Options());
        QCOMPARE(TForm1::ScreenStyles().first(), QString("Windows"));
        QCOMPARE(TForm1::ScreenStyles().count("Windows"), 1);
        const int fusion = form.ComboBoxSc1->findText("Fusion");
        form.ComboBoxSc1->setCurrentIndex(fusion);
        emit form.ComboBoxSc1->activated(fusion);
        QCOMPARE(QApplication::style()->name(), system);  // not yet
    }
    {
        TForm1 form(box.Options());
        QCOMPARE(QApplication::style()->name(), QString("fusion"));
        form.gstyle = u"Windows";
    }
    TForm1 form(box.Options());
    QCOMPARE(QApplication::style()->name(), system);  // the system's own look again
}

void WindowTest::DropConvertsOnlyTheDrawings() {
    Sandbox box;
    box.WriteSettings();
    const QString jww = box.Drawing("plan.jww");
    const QString txt = box.src + "note.txt";
    QFile(txt).open(QIODevice::WriteOnly);
    const QString folder = box.src + "folder.jww";
    QDir().mkpath(folder);
    TForm1 form(box.Options());
    form.show();

    // Nothing admitted: the log tells what was skipped and that no drawing
    // was found; no settings are written.
    QVERIFY(QFile::remove(box.settings));
    Drop(form, {txt, folder, box.src + "missing.jww"});
    QTRY_COMPARE(form.PageControl1->currentIndex(), 1);
    QCOMPARE(Log(form), Skipped(txt, u".jww・.jws のファイルではありません") +
                            Skipped(box.src + "missing.jww", u"ファイルが見つかりません")
                            << S(u"変換する .jww・.jws のファイルが見つかりませんでした") << Summary({}, -1, 2));
    QVERIFY(!QFile::exists(box.settings));

    Drop(form, {jww, txt, folder});
    QTRY_COMPARE(form.ListBox1->count(), 9);
    QCOMPARE(Log(form), Skipped(txt, u".jww・.jws のファイルではありません") + Entry(jww, box.out + "plan.jww")
                            << Summary({jww}, -1, 1));
    QCOMPARE(QDir(box.out).entryList(QDir::Files).size(), 1);

    // The next drop replaces the list; a taken name gets a branch number.
    const QString figure = box.Figure("DOOR.JWS");
    Drop(form, {figure, jww});
    QTRY_COMPARE(form.ListBox1->count() > 0 ? form.ListBox1->item(0)->text() : QString(), figure);
    QCOMPARE(Log(form),
             Entry(figure, box.out + "DOOR.JWS") + Entry(jww, box.out + "plan~1.jww") << Summary({figure, jww}));
}

void WindowTest::CommandLineFilesAreConvertedAtStart() {
    Sandbox box;
    const QString a = box.Drawing("a.jww"), b = box.Figure("B.JWS");
    // Read from one file, written to another: the run saves the settings.
    TSettings s = DefaultSettings(u"");
    s.folderChoice = 4;
    s.EditFl1 = box.out.toStdU16String();
    QVERIFY(SaveDatFile(Path(box.src + "seed.dat"), s));
    TFormOptions o = box.Options({a, box.src + "notes.txt", b});
    o.settingsLoad = Path(box.src + "seed.dat");

    TForm1 form(o);
    form.show();
    QTRY_COMPARE(form.PageControl1->currentIndex(), 1);
    QCOMPARE(Log(form), Skipped(box.src + "notes.txt", u"ファイルが見つかりません") + Entry(a, box.out + "a.jww") +
                            Entry(b, box.out + "B.JWS")
                            << Summary({a, b}, -1, 1));
    QVERIFY(TJwsData::FileCheck(Path(box.out + "B.JWS")));
    QVERIFY(QFile::exists(box.settings));
    QVERIFY(QDir(box.work).isEmpty());
}

void WindowTest::EscapeStopsTheRunBeforeTheNextFile() {
    Sandbox box;
    box.WriteSettings();
    const QStringList files = {box.Drawing("1.jww"), box.Drawing("2.jww"), box.Drawing("3.jww")};
    const QString other = box.Drawing("other.jww");
    TForm1 form(box.Options());
    form.show();

    int rows = 0;
    bool refused = false;
    QObject::connect(form.ListBox1->model(), &QAbstractItemModel::rowsInserted, &form, [&] {
        if (++rows != 1) return;
        // The first file is done (its lines come at once): Escape; a drop
        // and a second run do not get in.
        QTest::keyClick(form.ListBox1, Qt::Key_Escape);
        form.WMDropFiles({other});
        form.RunProc();
        refused = form.Running() && form.FListN() == 3;
    });
    form.WMDropFiles(files);
    QVERIFY(refused && !form.Running());
    QCOMPARE(Log(form), Entry(files[0], box.out + "1.jww") << S(u"[ESC]を押しましたので中断します。")
                                                           << Summary({files[0]}, 2));
    QCOMPARE(form.PageControl1->currentIndex(), 1);
    QCOMPARE(QDir(box.out).entryList(QDir::Files), QStringList{"1.jww"});

    // Escape pressed before a run does not stop the next one.
    QTest::keyClick(form.ListBox1, Qt::Key_Escape);
    form.WMDropFiles({files[1]});
    QCOMPARE(form.ListBox1->count(), 5);
}

void WindowTest::MissingSpecifiedFolderShowsAMessageAndRunsNothing() {
    Sandbox box;
    const QString gone = box.root.path() + "/gone";
    box.WriteSettings(4, gone);
    QFile f(box.settings);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();
    const QString jww = box.Drawing("plan.jww");
    TForm1 form(box.Options());
    form.show();
    form.ListBox1->addItem("earlier");

    QString message;
    WhenModal([&](QWidget* w) {
        if (auto* m = qobject_cast<QMessageBox*>(w)) message = m->text();
        w->close();
    });
    form.WMDropFiles({jww});
    QCOMPARE(message, S(u"指定したフォルダが見つかりません。\n") + gone + "/");
    QCOMPARE(Log(form), QStringList{"earlier"});
    QCOMPARE(form.PageControl1->currentIndex(), 0);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), saved);
}

void WindowTest::OpenDialogRemembersItsFolderAndFilter() {
    Sandbox box;
    box.WriteSettings();
    box.Drawing("a.jww");
    box.Drawing("B.JWW");
    QFile(box.src + "note.txt").open(QIODevice::WriteOnly);
    TForm1 form(box.Options());
    form.show();
    form.Fidx = 2;
    const QStringList filters = TForm1::OpenDialogFilters();
    QCOMPARE(filters.size(), 4);

    // Cancelled: nothing changes. The dialog opens in Label1 with the filter
    // Fidx and "　" as the file name.
    form.Label1->setText(box.src);
    QString filter, name, start;
    WhenModal([&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        start = d->directory().absolutePath() + "/";
        filter = d->selectedNameFilter();
        name = d->findChild<QLineEdit*>("fileNameEdit")->text();
        d->reject();
    });
    form.Label3Click();
    QVERIFY(form.Fidx == 2 && form.FListN() == 0);
    QVERIFY(filters[1].startsWith(filter + " ("));
    QCOMPARE(name, S(u"\u3000"));
    QCOMPARE(start, box.src);

    // Two drawings picked with the first filter, which lists them in any case.
    form.Label1->clear();
    WhenModal([&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        d->setDirectory(box.src);
        d->selectNameFilter(filters[0]);
        auto* list = d->findChild<QListView*>("listView");
        QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
        d->findChild<QLineEdit*>("fileNameEdit")->setText("\"a.jww\" \"B.JWW\"");
        static_cast<QDialog*>(d)->accept();
    });
    form.Label3Click();
    QCOMPARE(form.ListBox1->count(), 9);
    QCOMPARE(form.Label1->text(), box.src);
    QCOMPARE(form.Fidx, 1);
}

void WindowTest::AskEveryTimeUsesTheChosenFolder() {
    Sandbox box;
    box.WriteSettings(5);
    const QString jww = box.Drawing("plan.jww");
    TForm1 form(box.Options());
    form.show();
    QCOMPARE(form.LabelPreFolder->text(), box.program);

    WhenModal([&](QWidget* w) {
        static_cast<QFileDialog*>(w)->setDirectory(box.out);
        static_cast<QDialog*>(w)->accept();
    });
    form.WMDropFiles({jww});
    QCOMPARE(form.LabelPreFolder->text(), box.out);
    QVERIFY(QFile::exists(box.out + "plan.jww"));

    // Cancelled: the folder chosen last time, which the settings keep.
    WhenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    form.WMDropFiles({jww});
    QVERIFY(QFile::exists(box.out + "plan~1.jww"));
    QVERIFY(OpenDatFile(Path(box.settings), u"").LabelPreFolder == box.out.toStdU16String());
}

void WindowTest::ProgressShowsWhileARunGoes() {
    Sandbox box;
    box.WriteSettings();
    box.Drawing("a.jww");
    QDir().mkpath(box.src + "sub");
    TJwwData d = test::SampleDrawing(700);
    QVERIFY(d.FileOut(Path(box.src + "sub/b.jww"), 700));
    TForm1 form(box.Options());
    form.show();

    // Seen as lines arrive: the tab, the status bar, the lines so far. The
    // first file's lines come at once, the others (in a run this short)
    // together at the end.
    form.Core().showEveryMs = 1'000'000;
    QStringList seen;
    QObject::connect(form.ListBox1->model(), &QAbstractItemModel::rowsInserted, &form, [&] {
        seen << QString::number(form.PageControl1->currentIndex()) + " " + form.StatusBar1Text->text() + " " +
                    QString::number(form.ListBox1->count());
    });
    form.WMDropFiles({box.src});  // a dropped folder gives its drawings
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[0], QString("1 1 / 2: a.jww 4"));  // the log tab from the first line on
    QCOMPARE(seen[1], QString("1 2 / 2: b.jww 9"));
    QCOMPARE(form.StatusBar1Text->text(), S(kStatusBarText));  // the fixed text again
    // Below a folder of the dropped folder's name, in its tree.
    QVERIFY(QFile::exists(box.out + "src/a.jww") && QFile::exists(box.out + "src/sub/b.jww"));
}

void WindowTest::ALargeDropLogsInAppendsAtTheEnd() {
    // What keeps a large drop's pace: the log's rows are all of one height
    // (no row is measured when the view scrolls), the lines of many files
    // come in one append, and an append adds rows after the last one
    // without resetting or touching those before. The time per file itself
    // is measured by make bench.
    constexpr int kFiles = 5000;
    Sandbox box;
    box.WriteSettings();
    const QString first = box.Drawing("0.jww");
    for (int i = 1; i < kFiles; ++i) {
        const QString folder = box.src + QString::number(i % 10) + "/";
        QDir().mkpath(folder);
        QVERIFY(QFile::copy(first, folder + QString::number(i) + ".jww"));
    }
    TForm1 form(box.Options());
    form.show();
    QVERIFY(form.ListBox1->uniformItemSizes());
    QAbstractItemModel* model = form.ListBox1->model();
    int appends = 0, resets = 0, changes = 0, misplaced = 0;
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, [&](const QModelIndex&, int at, int) {
        ++appends;
        if (at != model->rowCount()) ++misplaced;
    });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [&] { resets += model->rowCount() > 0; });
    connect(model, &QAbstractItemModel::dataChanged, this, [&] { ++changes; });
    form.WMDropFiles({box.src});
    disconnect(model, nullptr, this, nullptr);
    QCOMPARE(form.ListBox1->count(), 4 * kFiles + 1);
    QCOMPARE(resets, 0);
    QCOMPARE(changes, 0);
    QCOMPARE(misplaced, 0);
    // A file converts in well under the time between two appends.
    qInfo("%d appends for %d files", appends, kFiles);
    QVERIFY2(appends <= kFiles / 10, qPrintable(QString("%1 appends for %2 files").arg(appends).arg(kFiles)));
    const QStringList log = Log(form);
    QCOMPARE(log.mid(0, 4), Entry(first, box.out + "src/0.jww"));  // the tree under its folder's name
    QCOMPARE(log.last(), Summary(QStringList(kFiles, first)));
}

// The resident memory of this process, in bytes (0 where it cannot be told).
long long ResidentBytes() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

void WindowTest::AHundredThousandLogLinesStayCheap() {
    // A run of 25,000 files logs 100,000 lines: the log keeps them all,
    // each for little more than its text.
    Sandbox box;
    box.WriteSettings();
    TForm1 form(box.Options());
    form.show();
    form.ShowLogTab();
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer pads and holds back every allocation: no measure of the log's memory");
#endif
    const long long before = ResidentBytes();
    if (before == 0) QSKIP("the memory of this process cannot be told here");
    const std::u16string line = u"→ /srv/archive/現場A/平面/2024/F-2406-平面詳細図-改訂3.jww";
    for (int batch = 0; batch < 250; ++batch) form.AppendLog(std::vector<std::u16string>(400, line));
    QCOMPARE(form.ListBox1->count(), 100'000);
    const double perLine = static_cast<double>(ResidentBytes() - before) / 100'000;
    qInfo("%.0f bytes per log line", perLine);
    QVERIFY2(perLine < 1000, qPrintable(QString("%1 bytes per line").arg(perLine)));
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
