// The Send to shortcut: made in the user's Send to folder, starting the
// window program it was given, and gone after its removal.
#include "util/WindowsApi.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/SendTo.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {
namespace {

std::wstring Wide(const std::string& utf8) {
    const std::u16string s = Utf8ToUtf16(utf8);
    return std::wstring(s.begin(), s.end());
}

// The program a shortcut starts; empty when it cannot be read.
std::wstring TargetOf(const std::string& link) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring target;
    IShellLinkW* shell = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(Wide(link).c_str(), STGM_READ)) &&
                SUCCEEDED(shell->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        shell->Release();
    }
    CoUninitialize();
    return target;
}

// Runs the command-line tool at cli with args; its exit status.
int RunTool(const std::string& cli, const std::string& args) {
    const std::string cmd = "\"\"" + cli + "\" " + args + " >nul 2>nul\"";
    return _wsystem(Wide(cmd).c_str());
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileW(Wide(from).c_str(), Wide(to).c_str(), TRUE) != 0;
}

TEST(SendTo, TheToolPutsTheWindowBesideItIntoTheMenuAndTakesItOut) {
    // The programs unpacked into a folder of their own. (Its name is ASCII:
    // Wine keeps a shortcut's path in the ANSI code page, which under a
    // UTF-8 locale has no kana; Windows keeps the path whole.)
    const std::string dir = AddPathDelim(platform::TempDir()) + "Talvine SendTo " + std::to_string(platform::ProcessId());
    ASSERT_TRUE(platform::ForceDirectories(dir));
    const std::string cli = dir + "\\talvine-cli.exe", window = dir + "\\talvine.exe";
    ASSERT_TRUE(CopyFileTo(platform::ExecutableDir() + "talvine-cli.exe", cli));
    {
        platform::File f = platform::File::CreateNew(window);
        ASSERT_TRUE(f.IsOpen());
    }
    const std::string link = SendToShortcutPath();
    ASSERT_FALSE(link.empty());
    EXPECT_NE(link.find("SendTo"), std::string::npos) << link;
    EXPECT_NE(link.find(Utf16ToUtf8(kSendToName)), std::string::npos) << link;

    EXPECT_EQ(RunTool(cli, "--sendto install"), 0);
    EXPECT_TRUE(platform::FileExists(link));
    EXPECT_EQ(TargetOf(link), Wide(window));

    EXPECT_EQ(RunTool(cli, "--sendto remove"), 0);
    EXPECT_FALSE(platform::FileExists(link));
    EXPECT_EQ(RunTool(cli, "--sendto remove"), 0) << "removing what is not there is no failure";

    // Without the window beside it, nothing is made.
    platform::RemoveFile(window);
    EXPECT_NE(RunTool(cli, "--sendto install"), 0);
    EXPECT_FALSE(platform::FileExists(link));
    EXPECT_FALSE(InstallSendTo(window).ok);
    platform::RemoveFile(cli);
    platform::RemoveDir(dir);
}

}  // namespace
}  // namespace talvine
