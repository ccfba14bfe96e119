// The shortcut in Explorer's Send to (送る) menu: selected files sent to it
// start the window with them, as if dropped on its icon. Windows only;
// elsewhere both calls fail with a message saying so.
#pragma once

#include <string>

namespace talvine {

// The shortcut's name in the menu.
inline constexpr char16_t kSendToName[] = u"Talvine（寸法図形を分解）";

struct TSendToResult {
    bool ok = false;
    std::string path;   // the shortcut's file (UTF-8)
    std::string error;  // in English, when not ok
};

// Creates (or replaces) the shortcut in the user's Send to folder, starting
// windowExe (UTF-8 path) with the files sent to it.
TSendToResult InstallSendTo(const std::string& windowExe);
// Removes it; ok as well when there was none.
TSendToResult RemoveSendTo();
// Where the shortcut lies (empty when the folder is unknown).
std::string SendToShortcutPath();

}  // namespace talvine
