#include "util/WindowsApi.h"
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "app/SendTo.h"
#include "util/Func_2.h"

namespace talvine {

namespace {

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::wstring Wide(const std::string& utf8) { return Wide(Utf8ToUtf16(utf8)); }
std::string Utf8(const std::wstring& w) { return Utf16ToUtf8(std::u16string(w.begin(), w.end())); }

std::wstring SendToFolder() {
    PWSTR folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, KF_FLAG_CREATE, nullptr, &folder)) && folder != nullptr)
        path = folder;
    CoTaskMemFree(folder);
    return path;
}

std::wstring ShortcutOf(const std::wstring& folder) {
    return folder.empty() ? std::wstring() : folder + L"\\" + Wide(std::u16string(kSendToName)) + L".lnk";
}

// COM for the calls of one function.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

private:
    HRESULT hr_;
};

std::string Failed(const std::string& what, HRESULT hr) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    return what + " failed (" + code + ")";
}

// Sets r.path to the shortcut's; false, with r.error, when there is none.
bool Located(TSendToResult& r, const std::wstring& link) {
    if (link.empty()) {
        r.error = "the Send to folder is unknown";
        return false;
    }
    r.path = Utf8(link);
    return true;
}

}  // namespace

std::string SendToShortcutPath() { return Utf8(ShortcutOf(SendToFolder())); }

TSendToResult InstallSendTo(const std::string& windowExe) {
    TSendToResult r;
    const std::wstring link = ShortcutOf(SendToFolder());
    if (!Located(r, link)) return r;
    const std::wstring exe = Wide(windowExe);
    if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        r.error = "there is no " + windowExe;
        return r;
    }
    std::wstring dir = exe.substr(0, exe.find_last_of(L"\\/"));

    ComScope com;
    IShellLinkW* shell = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shell));
    if (FAILED(hr)) {
        r.error = Failed("creating a shortcut", hr);
        return r;
    }
    shell->SetPath(exe.c_str());
    shell->SetWorkingDirectory(dir.c_str());
    shell->SetIconLocation(exe.c_str(), 0);
    shell->SetDescription(Wide(std::u16string(u"寸法図形を線・文字・点に分解します")).c_str());
    IPersistFile* file = nullptr;
    hr = shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        hr = file->Save(link.c_str(), TRUE);
        file->Release();
    }
    shell->Release();
    if (FAILED(hr)) {
        r.error = Failed("saving " + r.path, hr);
        return r;
    }
    r.ok = true;
    return r;
}

TSendToResult RemoveSendTo() {
    TSendToResult r;
    const std::wstring link = ShortcutOf(SendToFolder());
    if (!Located(r, link)) return r;
    if (DeleteFileW(link.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
        r.ok = true;
    } else {
        r.error = "cannot remove " + r.path;
    }
    return r;
}

}  // namespace talvine
