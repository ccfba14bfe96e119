#include "app/SendTo.h"

namespace talvine {

namespace {
TSendToResult OnlyOnWindows() { return TSendToResult{false, {}, "the Send to menu exists only on Windows"}; }
}  // namespace

TSendToResult InstallSendTo(const std::string&) { return OnlyOnWindows(); }
TSendToResult RemoveSendTo() { return OnlyOnWindows(); }
std::string SendToShortcutPath() { return {}; }

}  // namespace talvine
