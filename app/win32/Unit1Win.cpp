// The main window TForm1 as a native Windows window: the same form as the
// Qt window (captions, the 464 x 442 client area, no maximise button, the
// tab strip at the bottom, "ＭＳ ゴシック" 13 px where that font is installed, else the
// system's message font: WindowFont.h), built from the system's own
// controls. Its logic is TForm1Core's (app/Form1Core.h); this file creates
// the controls, implements TForm1View over them and forwards their events.
//
// A run happens on this thread, one file after another. Before each file
// the pending messages are taken: painting goes on, but keyboard and mouse
// input meant for the window (and drops) is thrown away; Escape is seen
// through the key's asynchronous state and through a key press among the
// thrown-away input, and stops the run before the next file.
#include "util/WindowsApi.h"
#include <windowsx.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <uxtheme.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/Form1Core.h"
#include "app/Settings.h"
#include "app/win32/WindowFont.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {
namespace {

constexpr wchar_t kWindowClass[] = L"TalvineTForm1";
constexpr UINT kMsgRunProc = WM_APP + 1;  // start RunProc from the message loop

enum ControlId : int {
    kIdGroupBoxFold = 100,
    kIdRadioButtonFl1,
    kIdRadioButtonFl2,
    kIdRadioButtonFl3,
    kIdRadioButtonFl4,
    kIdRadioButtonFl5,
    kIdEditFl1,
    kIdButtonFl1,
    kIdLabelPreFolder,
    kIdPanel1,
    kIdLabel2,
    kIdLabel3,
    kIdPageControl1,
    kIdLabel7,
    kIdComboBoxSc1,
    kIdLabel8,
    kIdCheckBox1,
    kIdLabel4,
    kIdListBox1,
    kIdStatusBar1,
};

// Window texts are UTF-16 on both sides; wchar_t is 16 bits here.
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
std::u16string U16(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
std::string Utf8(const wchar_t* s) { return Utf16ToUtf8(U16(s)); }
std::u16string Wide(const std::string& utf8) { return Utf8ToUtf16(utf8); }

std::u16string TextOf(HWND h) {
    const int n = GetWindowTextLengthW(h);
    std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(h, buf.data(), n + 1);
    buf.resize(static_cast<size_t>(n));
    return U16(buf.c_str());
}

std::string FullPath(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return Utf8(path.c_str());
    std::wstring buf(n, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), n, buf.data(), nullptr);
    buf.resize(got);
    return Utf8(buf.c_str());
}

// Releases a COM interface when it goes out of scope.
template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    T** operator&() { return &p; }
    explicit operator bool() const { return p != nullptr; }
};

std::string ItemPath(IShellItem* item) {
    PWSTR name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || name == nullptr) return {};
    std::string path = Utf8(name);
    CoTaskMemFree(name);
    return path;
}

void SetStartFolder(IFileDialog* dialog, const std::string& folder) {
    if (folder.empty() || !platform::DirExists(folder)) return;
    ComPtr<IShellItem> item;
    const std::u16string w = Wide(folder);
    if (SUCCEEDED(SHCreateItemFromParsingName(W(w), nullptr, IID_IShellItem, reinterpret_cast<void**>(&item))))
        dialog->SetFolder(item.p);
}

// The per-monitor DPI calls of Windows 10, where the system has them (the
// manifest asks for per-monitor awareness); older systems scale for us.
UINT DpiOf(HWND hwnd) {
    using Fn = UINT(WINAPI*)(HWND);
    static const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = fn ? fn(hwnd) : 0;
    return dpi == 0 ? 96 : dpi;
}

void AdjustFrameForDpi(RECT& r, DWORD style, DWORD exStyle, UINT dpi) {
    using Fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (!fn || !fn(&r, style, FALSE, exStyle, dpi)) AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

// A place on no monitor (one since removed) is left to the system.
bool OnSomeMonitor(const TWindowPlace& p) {
    const RECT r{p.x, p.y, p.x + std::max(1, p.width / 2), p.y + std::max(1, p.height / 2)};
    return MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
}

class TForm1 final : public TForm1View {
public:
    explicit TForm1(TForm1Paths paths) : core_(*this, std::move(paths)) {}
    ~TForm1() override {
        for (HFONT f : {font_, smallFont_, linkFont_})
            if (f) DeleteObject(f);
    }

    bool Create(int nCmdShow, const std::vector<std::string>& arguments);
    int MessageLoop();

    // ---- TForm1View ----
    int FolderChoice() const override {
        for (int i = 0; i < 5; ++i)
            if (SendMessageW(radio_[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return i + 1;
        return 0;
    }
    void SetFolderChoice(int choice) override {
        for (int i = 0; i < 5; ++i) SendMessageW(radio_[i], BM_SETCHECK, i + 1 == choice ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void EnableSpecifiedFolder(bool enabled) override {
        EnableWindow(EditFl1, enabled);
        EnableWindow(ButtonFl1, enabled);
    }
    std::u16string EditFl1Text() const override { return TextOf(EditFl1); }
    void SetEditFl1Text(const std::u16string& text) override { SetWindowTextW(EditFl1, W(text)); }
    std::u16string Label1Text() const override { return Label1; }
    void SetLabel1Text(const std::u16string& text) override { Label1 = text; }
    std::u16string LabelPreFolderText() const override { return TextOf(LabelPreFolder); }
    void SetLabelPreFolderText(const std::u16string& text) override { SetWindowTextW(LabelPreFolder, W(text)); }
    bool CheckBox1Checked() const override { return SendMessageW(CheckBox1, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetCheckBox1Checked(bool checked) override {
        SendMessageW(CheckBox1, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void SetStyleList(const std::vector<std::u16string>& names, int selected) override {
        SendMessageW(ComboBoxSc1, CB_RESETCONTENT, 0, 0);
        for (const std::u16string& n : names)
            SendMessageW(ComboBoxSc1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(n)));
        SendMessageW(ComboBoxSc1, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }
    TWindowPlace WindowPlace() const override {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(Form1, &wp);  // the normal place, also while minimised
        const RECT& r = wp.rcNormalPosition;
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void SetWindowPlace(const TWindowPlace& p) override {
        place_ = p;
        placeSet_ = true;
    }

    // The system's look is the only one: visual styles come from the manifest.
    std::vector<std::u16string> ToolkitStyles() const override { return {}; }
    bool ApplyStyle(const std::u16string& name) override { return name == kDefaultStyleName; }
    std::string DesktopFolder() const override { return platform::DesktopDir(); }
    std::string DocumentsFolder() const override { return platform::DocumentsDir(); }
    void AcceptDrops() override { DragAcceptFiles(Form1, TRUE); }

    void ClearLog() override {
        SendMessageW(ListBox1, LB_RESETCONTENT, 0, 0);
        logExtent_ = 0;
        SendMessageW(ListBox1, LB_SETHORIZONTALEXTENT, 0, 0);
    }
    void AppendLog(const std::vector<std::u16string>& lines) override {
        if (lines.empty()) return;
        // Added without a repaint each, then shown once.
        SendMessageW(ListBox1, WM_SETREDRAW, FALSE, 0);
        LRESULT last = -1;
        int widest = logExtent_;
        HDC dc = GetDC(ListBox1);
        HGDIOBJ old = dc ? SelectObject(dc, smallFont_) : nullptr;
        for (const std::u16string& line : lines) {
            const LRESULT i = SendMessageW(ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(line)));
            if (i >= 0) last = i;
            // Long paths can be scrolled to.
            SIZE size{};
            if (dc && GetTextExtentPoint32W(dc, W(line), static_cast<int>(line.size()), &size))
                widest = std::max(widest, static_cast<int>(size.cx) + Scale(8));
        }
        if (dc) {
            SelectObject(dc, old);
            ReleaseDC(ListBox1, dc);
        }
        if (widest > logExtent_) {
            logExtent_ = widest;
            SendMessageW(ListBox1, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(logExtent_), 0);
        }
        if (last >= 0) SendMessageW(ListBox1, LB_SETTOPINDEX, static_cast<WPARAM>(last), 0);
        SendMessageW(ListBox1, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(ListBox1, nullptr, TRUE);
        UpdateWindow(ListBox1);
    }
    void ShowLogTab() override { SelectTab(1); }
    void SetStatusText(const std::u16string& text) override {
        SendMessageW(StatusBar1, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(W(text)));
        UpdateWindow(StatusBar1);
    }
    void ShowFolderMissing(const std::u16string& message) override {
        MessageBoxW(Form1, W(message), W(Utf8ToUtf16(kApplicationTitle)), MB_OK | MB_ICONWARNING);
    }

    TFolderAnswer BrowseForFolder(const std::string& start) override;
    bool ExecuteOpenDialog(const TOpenDialogRequest& request, TOpenDialogAnswer& answer) override;

    void BeginRun() override {
        running_ = true;
        escape_ = false;
        GetAsyncKeyState(VK_ESCAPE);  // forget a press from before the run
    }
    void EndRun() override { running_ = false; }
    bool PollEscape() override {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (HeldAway(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetAsyncKeyState(VK_ESCAPE) & 0x8000) escape_ = true;
        return escape_;
    }
    void CloseLater() override { PostMessageW(Form1, WM_CLOSE, 0, 0); }
    bool OpenWithSystem(const std::string& path) override {
        const std::u16string w = Wide(path);
        return reinterpret_cast<INT_PTR>(ShellExecuteW(Form1, L"open", W(w), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
    }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void CreateComponents();
    void CreateFonts();
    void ApplyFonts(bool redraw);
    void Layout();
    void SelectTab(int index);
    void OnCommand(int id, int code);
    void OnDropFiles(HDROP drop);
    void OnLogMenu(int x, int y);
    bool HeldAway(const MSG& msg);
    bool IsMine(HWND h) const { return h == Form1 || IsChild(Form1, h); }
    int Scale(int v) const { return MulDiv(v, static_cast<int>(dpi_), 96); }
    HWND Child(const wchar_t* cls, const char16_t* text, DWORD style, int id, DWORD exStyle = 0);

    TForm1Core core_;
    HWND Form1 = nullptr;
    HWND GroupBoxFold = nullptr, EditFl1 = nullptr, ButtonFl1 = nullptr, LabelPreFolder = nullptr;
    HWND radio_[5] = {};
    HWND Panel1 = nullptr, Label2 = nullptr, Label3 = nullptr;
    HWND PageControl1 = nullptr, Label7 = nullptr, ComboBoxSc1 = nullptr, Label8 = nullptr, CheckBox1 = nullptr,
         Label4 = nullptr, ListBox1 = nullptr, StatusBar1 = nullptr;
    std::u16string Label1;  // the hidden label: the folder of the file last picked
    HFONT font_ = nullptr, smallFont_ = nullptr, linkFont_ = nullptr;
    UINT dpi_ = 96;
    int logExtent_ = 0;
    TWindowPlace place_;
    bool placeSet_ = false;
    bool running_ = false;
    bool escape_ = false;
    bool shown_ = false;
};

HWND TForm1::Child(const wchar_t* cls, const char16_t* text, DWORD style, int id, DWORD exStyle) {
    HWND h = CreateWindowExW(exStyle, cls, text ? W(text) : L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Form1,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    return h;
}

bool TForm1::Create(int nCmdShow, const std::vector<std::string>& arguments) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) return false;

    // System menu and minimise; no maximise, a fixed frame.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    Form1 = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, W(Utf8ToUtf16(kWindowCaption)), style, CW_USEDEFAULT,
                            CW_USEDEFAULT, 480, 480, nullptr, nullptr, inst, this);
    if (!Form1) return false;
    dpi_ = DpiOf(Form1);
    CreateFonts();
    CreateComponents();

    core_.FormCreate();  // settings into the controls, the style list, the place
    RECT frame{0, 0, Scale(464), Scale(442)};
    AdjustFrameForDpi(frame, style, WS_EX_CONTROLPARENT, dpi_);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    if (placeSet_ && OnSomeMonitor(place_))
        SetWindowPos(Form1, nullptr, place_.x, place_.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    else
        SetWindowPos(Form1, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    SelectTab(0);

    ShowWindow(Form1, nCmdShow);
    UpdateWindow(Form1);
    shown_ = true;
    if (core_.FormShow(arguments)) PostMessageW(Form1, kMsgRunProc, 0, 0);
    return true;
}

void TForm1::CreateFonts() {
    // The face is chosen once; the sizes follow the window's dots per inch.
    static const LOGFONTW face = WindowFontFace();
    auto make = [this](int px, bool underline) { return CreateWindowFont(face, Scale(px), underline); };
    for (HFONT f : {font_, smallFont_, linkFont_})
        if (f) DeleteObject(f);
    font_ = make(13, false);
    smallFont_ = make(12, false);
    linkFont_ = make(13, true);
}

void TForm1::CreateComponents() {
    GroupBoxFold = Child(WC_BUTTONW, u"保存先(&F)", BS_GROUPBOX, kIdGroupBoxFold);
    const char16_t* radioCaptions[5] = {u"デスクトップ", u"マイドキュメント", u"元ファイルのフォルダ", u"指定フォルダ",
                                        u"毎回指定"};
    for (int i = 0; i < 5; ++i)
        radio_[i] = Child(WC_BUTTONW, radioCaptions[i], BS_RADIOBUTTON | WS_TABSTOP | (i == 0 ? WS_GROUP : 0),
                          kIdRadioButtonFl1 + i);
    EditFl1 = Child(WC_EDITW, nullptr, ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, kIdEditFl1, WS_EX_CLIENTEDGE);
    ButtonFl1 = Child(WC_BUTTONW, u"参照", BS_PUSHBUTTON | WS_TABSTOP, kIdButtonFl1);
    LabelPreFolder = Child(WC_STATICW, nullptr, SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS | SS_NOPREFIX, kIdLabelPreFolder);

    Panel1 = Child(WC_STATICW, nullptr, SS_ETCHEDFRAME, kIdPanel1);
    Label2 = Child(WC_STATICW, u"エクスプローラ等からドラッグ＆ドロップするか、または、", SS_CENTER | SS_NOPREFIX,
                   kIdLabel2);
    Label3 = Child(WC_STATICW, u"ここをクリックして変換するファイルを選択して下さい。", SS_CENTER | SS_NOTIFY | SS_NOPREFIX,
                   kIdLabel3);

    PageControl1 = Child(WC_TABCONTROLW, nullptr, TCS_BOTTOM | WS_CLIPSIBLINGS | WS_TABSTOP, kIdPageControl1);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<wchar_t*>(W(u"設定(&S)"));
    SendMessageW(PageControl1, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));
    tab.pszText = const_cast<wchar_t*>(W(u"ログ(&L)"));
    SendMessageW(PageControl1, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&tab));

    Label7 = Child(WC_STATICW, u"画面スタイル：", SS_LEFT, kIdLabel7);
    ComboBoxSc1 = Child(WC_COMBOBOXW, nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kIdComboBoxSc1);
    Label8 = Child(WC_STATICW, u"※次回起動時に有効", SS_LEFT, kIdLabel8);
    CheckBox1 = Child(WC_BUTTONW, u"SXF寸法図形基準点に仮点作図する", BS_AUTOCHECKBOX | WS_TABSTOP, kIdCheckBox1);
    SetCheckBox1Checked(true);
    Label4 = Child(WC_STATICW, u"※変換対象は JWW/JWSのみ", SS_LEFT, kIdLabel4);
    ListBox1 = Child(WC_LISTBOXW, nullptr,
                     LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | LBS_NOTIFY | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                     kIdListBox1, WS_EX_CLIENTEDGE);

    StatusBar1 = Child(STATUSCLASSNAMEW, nullptr, 0, kIdStatusBar1);
    SendMessageW(StatusBar1, SB_SIMPLE, TRUE, 0);
    SetStatusText(kStatusBarText);

    // The tabs' controls lie above the tab control.
    for (HWND h : {Label7, ComboBoxSc1, Label8, CheckBox1, Label4, ListBox1})
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    ApplyFonts(false);
}

// The window's font on every control; the link, the log and the status bar
// take their own.
void TForm1::ApplyFonts(bool redraw) {
    struct Font {
        HFONT font;
        BOOL redraw;
    } all{font_, redraw};
    EnumChildWindows(
        Form1,
        [](HWND h, LPARAM p) -> BOOL {
            const Font& f = *reinterpret_cast<const Font*>(p);
            SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(f.font), f.redraw);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    SendMessageW(Label3, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_), redraw);
    SendMessageW(ListBox1, WM_SETFONT, reinterpret_cast<WPARAM>(smallFont_), redraw);
    SendMessageW(StatusBar1, WM_SETFONT, reinterpret_cast<WPARAM>(smallFont_), redraw);
}

// Places the controls in the 464 x 442 client area (at 96 dots per inch).
void TForm1::Layout() {
    auto place = [this](HWND h, int x, int y, int w, int hh) {
        SetWindowPos(h, nullptr, Scale(x), Scale(y), Scale(w), Scale(hh), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(GroupBoxFold, 4, 2, 456, 130);
    for (int i = 0; i < 5; ++i) place(radio_[i], 14, 20 + 21 * i, i < 3 ? 300 : 100, 18);
    place(EditFl1, 118, 82, 278, 21);
    place(ButtonFl1, 400, 81, 52, 23);
    place(LabelPreFolder, 118, 106, 334, 16);

    place(Panel1, 4, 136, 456, 56);
    place(Label2, 8, 145, 448, 16);
    place(Label3, 8, 168, 448, 16);

    RECT client;
    GetClientRect(Form1, &client);
    SendMessageW(StatusBar1, WM_SIZE, 0, 0);
    RECT status;
    GetWindowRect(StatusBar1, &status);
    const int statusHeight = status.bottom - status.top;
    const int tabTop = Scale(196);
    const int tabBottom = client.bottom - statusHeight - Scale(2);
    SetWindowPos(PageControl1, nullptr, Scale(4), tabTop, client.right - Scale(8), tabBottom - tabTop,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT page{Scale(4), tabTop, client.right - Scale(4), tabBottom};
    SendMessageW(PageControl1, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));

    const int px = page.left, py = page.top;
    auto inPage = [&](HWND h, int x, int y, int w, int hh) {
        SetWindowPos(h, nullptr, px + Scale(x), py + Scale(y), Scale(w), Scale(hh), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    inPage(Label7, 10, 13, 98, 16);
    inPage(ComboBoxSc1, 110, 9, 170, 200);
    inPage(Label8, 290, 13, 150, 16);
    inPage(CheckBox1, 10, 44, 400, 18);
    inPage(Label4, 10, 74, 400, 16);
    SetWindowPos(ListBox1, nullptr, page.left, page.top, page.right - page.left, page.bottom - page.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::SelectTab(int index) {
    SendMessageW(PageControl1, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (HWND h : {Label7, ComboBoxSc1, Label8, CheckBox1, Label4}) ShowWindow(h, index == 0 ? SW_SHOW : SW_HIDE);
    ShowWindow(ListBox1, index == 1 ? SW_SHOW : SW_HIDE);
    if (shown_) UpdateWindow(Form1);
}

TFolderAnswer TForm1::BrowseForFolder(const std::string& start) {
    TFolderAnswer answer;
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog)))) {
        answer.status = TFolderAnswer::kNotShown;
        return answer;
    }
    FILEOPENDIALOGOPTIONS o = 0;
    dialog->GetOptions(&o);
    dialog->SetOptions(o | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(W(kFolderDialogText));
    SetStartFolder(dialog.p, platform::DirExists(start) ? start : core_.Paths().programFolder);
    answer.status = TFolderAnswer::kCancelled;
    if (dialog->Show(Form1) != S_OK) return answer;
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(&item))) return answer;
    answer.folder = ItemPath(item.p);
    if (!answer.folder.empty()) answer.status = TFolderAnswer::kAccepted;
    return answer;
}

bool TForm1::ExecuteOpenDialog(const TOpenDialogRequest& request, TOpenDialogAnswer& answer) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog))))
        return false;
    // "description|patterns|description|patterns..."
    std::vector<std::u16string> parts;
    for (size_t at = 0;;) {
        const size_t bar = request.filter.find(u'|', at);
        parts.push_back(request.filter.substr(at, bar == std::u16string::npos ? std::u16string::npos : bar - at));
        if (bar == std::u16string::npos) break;
        at = bar + 1;
    }
    std::vector<COMDLG_FILTERSPEC> specs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) specs.push_back({W(parts[i]), W(parts[i + 1])});
    FILEOPENDIALOGOPTIONS o = 0;
    dialog->GetOptions(&o);
    dialog->SetOptions(o | FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST | FOS_FORCEFILESYSTEM);
    dialog->SetTitle(W(kOpenDialogTitle));
    dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    dialog->SetFileTypeIndex(static_cast<UINT>(request.filterIndex));
    dialog->SetFileName(W(request.fileName));
    SetStartFolder(dialog.p, request.startFolder);
    if (dialog->Show(Form1) != S_OK) return false;
    ComPtr<IShellItemArray> items;
    if (FAILED(dialog->GetResults(&items))) return false;
    DWORD n = 0;
    items->GetCount(&n);
    answer.files.clear();
    for (DWORD i = 0; i < n; ++i) {
        ComPtr<IShellItem> item;
        if (SUCCEEDED(items->GetItemAt(i, &item))) {
            std::string path = ItemPath(item.p);
            if (!path.empty()) answer.files.push_back(std::move(path));
        }
    }
    UINT index = 1;
    dialog->GetFileTypeIndex(&index);
    answer.filterIndex = static_cast<int>(index);
    return !answer.files.empty();
}

// During a run: keyboard and mouse input meant for the window, and drops,
// never reach it; a press of Escape among them is noted.
bool TForm1::HeldAway(const MSG& msg) {
    const UINT m = msg.message;
    const bool key = m >= WM_KEYFIRST && m <= WM_KEYLAST;
    const bool mouse = (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK);
    if (m == WM_DROPFILES) {
        DragFinish(reinterpret_cast<HDROP>(msg.wParam));
        return true;
    }
    if (!(key || mouse) || !IsMine(msg.hwnd)) return false;
    if (m == WM_KEYDOWN && msg.wParam == VK_ESCAPE) escape_ = true;
    return true;
}

void TForm1::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
        const UINT len = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
        DragQueryFileW(drop, i, buf.data(), len + 1);
        buf.resize(len);
        paths.push_back(Utf8(buf.c_str()));
    }
    DragFinish(drop);
    if (!running_) core_.WMDropFiles(paths);
}

// A right click on a file's lines of the log: its output folder, or it
// before and after its conversion.
void TForm1::OnLogMenu(int x, int y) {
    POINT at{x, y};
    if (x == -1 && y == -1) {  // from the keyboard: at the selected line
        RECT r{};
        const LRESULT sel = SendMessageW(ListBox1, LB_GETCARETINDEX, 0, 0);
        SendMessageW(ListBox1, LB_GETITEMRECT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(&r));
        at = POINT{r.left + 8, r.bottom};
        ClientToScreen(ListBox1, &at);
    }
    POINT client = at;
    ScreenToClient(ListBox1, &client);
    const LRESULT hit = SendMessageW(ListBox1, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(hit) != 0) return;  // below the last line
    const int line = LOWORD(hit);
    const TForm1Core::TLogFile* file = core_.LogFileAt(line);
    if (file == nullptr) return;
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (file->done ? 0 : MF_GRAYED), 1, W(TForm1Core::kOpenFolderItem));
    AppendMenuW(menu, MF_STRING, 2, W(TForm1Core::kCompareItem));
    const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, Form1, nullptr);
    DestroyMenu(menu);
    if (chosen == 1) core_.OpenOutputFolder(line);
    else if (chosen == 2) core_.ShowComparison(line);
}

void TForm1::OnCommand(int id, int code) {
    if (running_) return;
    if (id >= kIdRadioButtonFl1 && id <= kIdRadioButtonFl5 && (code == BN_CLICKED || code == BN_DOUBLECLICKED)) {
        SetFolderChoice(id - kIdRadioButtonFl1 + 1);
        core_.RadioButtonFl1Click();
    } else if (id == kIdButtonFl1 && code == BN_CLICKED) {
        core_.ButtonFl1Click();
    } else if (id == kIdComboBoxSc1 && code == CBN_SELCHANGE) {
        core_.ComboBoxSc1Select(static_cast<int>(SendMessageW(ComboBoxSc1, CB_GETCURSEL, 0, 0)));
    } else if (id == kIdLabel3 && code == STN_CLICKED) {
        core_.Label3Click();
    }
}

LRESULT CALLBACK TForm1::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        form->Form1 = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return form ? form->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT TForm1::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
            if (hdr->hwndFrom == PageControl1 && hdr->code == TCN_SELCHANGE)
                SelectTab(static_cast<int>(SendMessageW(PageControl1, TCM_GETCURSEL, 0, 0)));
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const HWND control = reinterpret_cast<HWND>(lp);
            HDC dc = reinterpret_cast<HDC>(wp);
            if (control == Label3) {
                SetTextColor(dc, RGB(0, 0, 255));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            // The controls of the settings tab lie on its page, which the
            // visual styles paint in the window colour.
            if (control == Label7 || control == Label8 || control == Label4 || control == CheckBox1) {
                const int colour = IsAppThemed() ? COLOR_WINDOW : COLOR_BTNFACE;
                SetBkColor(dc, GetSysColor(colour));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
            }
            break;
        }
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) == Label3 && !running_) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wp));
            return 0;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wp) == ListBox1 && !running_) {
                OnLogMenu(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
                return 0;
            }
            break;
        case kMsgRunProc:
            core_.RunProc();
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wp);
            CreateFonts();
            ApplyFonts(true);
            const RECT* r = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(Form1, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            return 0;
        }
        case WM_CLOSE:
            if (!core_.CloseRequested()) return 0;  // a run stops first, then closes the window
            core_.FormClose();
            DestroyWindow(Form1);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(Form1, msg, wp, lp);
}

int TForm1::MessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Ctrl+O opens the file dialog, as a click on the link does.
        if (msg.message == WM_KEYDOWN && msg.wParam == 'O' && (GetKeyState(VK_CONTROL) & 0x8000) && IsMine(msg.hwnd)) {
            if (!running_) core_.Label3Click();
            continue;
        }
        if (IsDialogMessageW(Form1, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace
}  // namespace talvine

// The caption names the version; the build's version number must agree.
static_assert(std::string_view(talvine::kWindowCaption) == std::string_view("Talvine Ver." TALVINE_VERSION_SHORT),
              "the window caption and the project version differ");

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int nCmdShow) {
    using namespace talvine;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    // The command line, as UTF-16, after the program's own path.
    std::vector<std::string> arguments;
    int argc = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        for (int i = 1; i < argc; ++i)
            if (argv[i][0] != L'\0') arguments.push_back(FullPath(argv[i]));
        LocalFree(argv);
    }

    int rc = 1;
    {
        TForm1 form(Form1PathsForExecutable(platform::ExecutablePath(), platform::DocumentsDir()));
        if (form.Create(nCmdShow, arguments)) rc = form.MessageLoop();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return rc;
}
