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

TEST(SendTo, InstallMakesAShortcutToTheWindowAndRemoveTakesItAway) {
    // The window program in a folder of its own, as unpacked. (Its name is
    // ASCII: Wine keeps a shortcut's path in the ANSI code page, which
    // under a UTF-8 locale has no kana; Windows keeps the path whole.)
    const std::string dir = AddPathDelim(platform::TempDir()) + "Talvine SendTo " + std::to_string(platform::ProcessId());
    ASSERT_TRUE(platform::ForceDirectories(dir));
    const std::string exe = dir + "\\talvine.exe";
    {
        platform::File f = platform::File::CreateNew(exe);
        ASSERT_TRUE(f.IsOpen());
    }
    const TSendToResult installed = InstallSendTo(exe);
    ASSERT_TRUE(installed.ok) << installed.error;
    EXPECT_EQ(installed.path, SendToShortcutPath());
    EXPECT_NE(installed.path.find("SendTo"), std::string::npos) << installed.path;
    EXPECT_TRUE(platform::FileExists(installed.path));
    EXPECT_EQ(TargetOf(installed.path), Wide(exe));

    const TSendToResult removed = RemoveSendTo();
    EXPECT_TRUE(removed.ok) << removed.error;
    EXPECT_FALSE(platform::FileExists(installed.path));
    EXPECT_TRUE(RemoveSendTo().ok) << "removing what is not there is no failure";

    // A program that is not there gets no shortcut.
    EXPECT_FALSE(InstallSendTo(dir + "\\missing.exe").ok);
    EXPECT_FALSE(platform::FileExists(installed.path));
    platform::RemoveFile(exe);
    platform::RemoveDir(dir);
}

}  // namespace
}  // namespace talvine
